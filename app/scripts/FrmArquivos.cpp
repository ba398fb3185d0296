#include "app/scripts/FrmArquivos.h"

#include "app/common/LangStr.h"
#include "app/common/MessageBox.h"
#include "app/common/Sounds.h"
#include "app/dialogs/SmallPrompts.h"
#include "app/common/FormBuild.h"
#include "controls/shell/ShellCombo.h"
#include "controls/shell/ShellData.h"
#include "controls/shell/ShellList.h"
#include "controls/toolkit/checklist/CheckListBox.h"
#include "controls/toolkit/placement/FormPlacement.h"
#include "platform/AppPaths.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/ui/FileDrop.h"
#include "platform/ui/PopupMenu.h"
#include "platform/ui/StdControls.h"

#include <algorithm>

namespace mv {

namespace {

constexpr int Margin = 8, ButtonSize = 23;

bool Inside(const TControl& control, TPoint screen) {
    const TPoint p = ScreenToClient(control, screen);
    return p.X >= 0 && p.Y >= 0 && p.X < control.Width() && p.Y < control.Height();
}

} // namespace

TFrmArquivos::TFrmArquivos(TComponent* owner, const std::string& iniFileName)
    : TForm(owner), FIniFileName(iniFileName.empty() ? platform::IniFilePath() : iniFileName) {
    SetName("FrmArquivos");
    SetScaled(false);
    SetPosition(TPosition::poScreenCenter);
    SetCaption(LoadLangStr(47));
    SetShowHint(true);
    SetClientWidth(754);
    SetClientHeight(558);

    MvShellCombo1 = AddControl<TMvShellCombo>(*this, *this, "MvShellCombo1", Margin, Margin, 300, 22);
    auto speed = [this](const char* name, int hint, const std::string& symbol) {
        auto* b = AddControl<TSpeedButton>(*this, *this, name, 0, Margin, ButtonSize, ButtonSize);
        b->SetHint(LoadLangStr(hint));
        b->SetFlat(true);
        b->SetCaption(symbol);
        return b;
    };
    ParentButton = speed("ParentButton", 154, "\u2191");
    SpeedButton1 = speed("SpeedButton1", 157, "\u25a3");
    SpeedButton2 = speed("SpeedButton2", 158, "\u25aa");
    SpeedButton3 = speed("SpeedButton3", 159, "\u2261");
    SpeedButton4 = speed("SpeedButton4", 160, "\u2630");
    CheckBoxBtn = speed("CheckBoxBtn", 228, "\u2611");
    int tag = 0;
    for (TSpeedButton* b : {SpeedButton1, SpeedButton2, SpeedButton3, SpeedButton4}) {
        b->SetGroupIndex(2);
        b->SetTag(tag++);
        b->OnClick = [](TComponent*) { PlaySoundRes("CLEK"); };
    }
    SpeedButton4->SetDown(true);
    CheckBoxBtn->SetGroupIndex(3);
    CheckBoxBtn->SetAllowAllUp(true);
    CheckBoxBtn->OnClick = [](TComponent*) { PlaySoundRes("CLEK"); };

    ArquivosLv = AddControl<TMvShellList>(*this, *this, "ArquivosLv", Margin, 36, FListWidth, 480);
    ArquivosLv->SetMultiSelect(true);
    ArquivosLv->SetFileFilter("*.*");
    ArquivosLv->SetOptions(static_cast<TMvShellListOptions>(
        ArquivosLv->Options() | PTSLO(ptsloShowHidden) | PTSLO(ptsloDefaultKeyHandling) | PTSLO(ptsloDynamicRefresh) |
        PTSLO(ptsloOleDrag)));
    MvShellCombo1->SetShellList(ArquivosLv);
    ArquivosLv->Folder().SetPath(platform::HomeDir());
    ArquivosLv->OnClick = [](TComponent*) { PlaySoundRes("CLEK"); };
    MvShellCombo1->OnClick = [](TComponent*) { PlaySoundRes("CLEK"); };
    ArquivosLv->OnDblClickOpen = [this](TComponent*, bool& handled) {
        // A double click on a file adds it to the include list instead of opening it.
        TMvShListData* data = ArquivosLv->GetSelectedData();
        if (!data || data->IsFolder()) return;
        handled = true;
        AddItems(true, {{data->GetPath(), false}});
    };
    ParentButton->OnClick = [this](TComponent*) {
        PlaySoundRes("CLEK");
        ArquivosLv->GoUp(1);
    };

    IncluidosPn = AddControl<TPanel>(*this, *this, "IncluidosPn", 0, 0, 10, 10);
    IncluidosPn->SetBevelOuter(TBevelCut::bvNone);
    ExcluidosPn = AddControl<TPanel>(*this, *this, "ExcluidosPn", 0, 0, 10, 10);
    ExcluidosPn->SetBevelOuter(TBevelCut::bvNone);
    IncluidosLbl = AddCaptioned<TLabel>(*IncluidosPn, *this, "IncluidosLbl", 0, 0, 260, 16, 225);
    ExcluidosLbl = AddCaptioned<TLabel>(*ExcluidosPn, *this, "ExcluidosLbl", 0, 0, 260, 16, 227);
    AdicionadosLb = AddControl<TMvCheckListBox>(*IncluidosPn, *this, "AdicionadosLb", 36, 18, 200, 100);
    ExcluidosLb = AddControl<TMvCheckListBox>(*ExcluidosPn, *this, "ExcluidosLb", 36, 18, 200, 100);
    AdicionaIncluidosBtn = AddCaptioned<TButton>(*IncluidosPn, *this, "AdicionaIncluidosBtn", 0, 18, 30, 25, 226);
    AdicionaIncluidosBtn->SetHint(LoadLangStr(222));
    RemoveIncluidosBtn = AddControl<TButton>(*IncluidosPn, *this, "RemoveIncluidosBtn", 0, 48, 30, 25);
    RemoveIncluidosBtn->SetCaption("\u2715");
    RemoveIncluidosBtn->SetHint(LoadLangStr(224));
    AdicionaExcluidosBtn = AddCaptioned<TButton>(*ExcluidosPn, *this, "AdicionaExcluidosBtn", 0, 18, 30, 25, 226);
    AdicionaExcluidosBtn->SetHint(LoadLangStr(223));
    RemoveExcluidosBtn = AddControl<TButton>(*ExcluidosPn, *this, "RemoveExcluidosBtn", 0, 48, 30, 25);
    RemoveExcluidosBtn->SetCaption("\u2715");
    RemoveExcluidosBtn->SetHint(LoadLangStr(224));
    AdicionaIncluidosBtn->OnClick = [this](TComponent*) { AdicionaBtnClick(true); };
    AdicionaExcluidosBtn->OnClick = [this](TComponent*) { AdicionaBtnClick(false); };
    RemoveIncluidosBtn->OnClick = [this](TComponent*) { RemoveBtnClick(true); };
    RemoveExcluidosBtn->OnClick = [this](TComponent*) { RemoveBtnClick(false); };
    SetUpList(AdicionadosLb, true);
    SetUpList(ExcluidosLb, false);

    OkBtn = AddCaptioned<TButton>(*this, *this, "OkBtn", 0, 0, 84, 25, 187);
    OkBtn->SetDefault(true);
    OkBtn->OnClick = [this](TComponent*) { OkBtnClick(); };
    CancelBtn = AddCaptioned<TButton>(*this, *this, "CancelBtn", 0, 0, 84, 25, 121);
    CancelBtn->SetCancel(true);
    CancelBtn->OnClick = [this](TComponent*) { SetModalResult(mrCancel); };

    FixFormFonts(*this);
    FormPlacement = new TFormPlacement(this);
    FormPlacement->SetName("FormPlacement");
    FormPlacement->SetIniFileName(FIniFileName);
    FormPlacement->SetIniSection(ListEditorFormSection);
    FormPlacement->MinMaxInfo().SetMinTrackHeight(387);
    FormPlacement->MinMaxInfo().SetMinTrackWidth(632);
    {
        const platform::IniFile ini(FIniFileName);
        FListWidth = static_cast<int>(ini.ReadInteger(ListEditorFormSection, "Largura Grid", FListWidth));
        FExcludeHeight = static_cast<int>(ini.ReadInteger(ListEditorFormSection, "Altura Excluidos", FExcludeHeight));
    }
    OnShow = [this](TComponent*) {
        FShowing = true;
        FillItemLists(FScriptLines, AdicionadosLb->Items(), ExcluidosLb->Items());
        AdicionadosLb->Invalidate();
        ExcluidosLb->Invalidate();
    };
    // A modal end hides the form without closing it: the settings go when it hides.
    OnHide = [this](TComponent*) {
        if (!FShowing) return;
        FShowing = false;
        PlaySoundRes(ModalResult() == mrOk ? "BEEP" : "CLICK");
        WriteSettings();
    };
    FormPlacement->Loaded();
    Layout();
}

TFrmArquivos::~TFrmArquivos() = default;

void TFrmArquivos::SetUpList(TMvCheckListBox* list, bool include) {
    list->SetAllowGrayed(true);
    list->SetHint(LoadLangStr(364));
    TEntryStateRule& rule = include ? FIncludeRule : FExcludeRule;
    list->OnStateChange = [list, &rule](TComponent*, int index) { rule.StateChanged(list->Items(), index); };
    list->OnClick = [](TComponent*) { PlaySoundRes("CLEK"); };
    // Dragging an entry onto the other list moves it there.
    list->OnMouseDown = [this, list](TComponent*, TMouseButton button, TShiftState, int, int) {
        FDragSource = button == TMouseButton::mbLeft ? list : nullptr;
        FDragIndex = list->ItemIndex();
    };
    list->OnMouseUp = [this, list, include](TComponent*, TMouseButton, TShiftState, int x, int y) {
        if (FDragSource != list || FDragIndex < 0) return;
        FDragSource = nullptr;
        TMvCheckListBox* other = ListOf(!include);
        if (Inside(*other, ClientToScreen(*list, {x, y}))) DropFromOtherList(!include);
    };
    auto drop = std::make_unique<TFileDropSite>(
        *list, [this, include](const std::vector<std::string>& files, const TPoint&, bool) { DropFiles(include, files); });
    drop->SetAccept(true);
    (include ? FIncludeDrop : FExcludeDrop) = std::move(drop);
}

void TFrmArquivos::Layout() {
    if (ArquivosLv->Width() > 0 && IncluidosPn->Width() > 10) {
        // Keep the sizes the user gave the panes.
        FListWidth = ArquivosLv->Width();
        FExcludeHeight = ExcluidosPn->Height();
    }
    const int w = ClientWidth(), h = ClientHeight();
    const int listWidth = std::clamp(FListWidth, 150, std::max(150, w - 250));
    const int bottom = h - 25 - 2 * Margin;
    ArquivosLv->SetBounds(Margin, 36, listWidth, bottom - 36);
    MvShellCombo1->SetBounds(Margin, Margin, std::max(80, listWidth - 6 * (ButtonSize + 2)), 22);
    int x = MvShellCombo1->Left() + MvShellCombo1->Width() + 4;
    for (TSpeedButton* b : {ParentButton, SpeedButton1, SpeedButton2, SpeedButton3, SpeedButton4, CheckBoxBtn}) {
        b->SetBounds(x, Margin, ButtonSize, ButtonSize);
        x += ButtonSize + 2;
    }
    const int left = Margin + listWidth + Margin, right = w - Margin;
    const int excludeHeight = std::clamp(FExcludeHeight, 80, std::max(80, bottom - Margin - 80));
    IncluidosPn->SetBounds(left, Margin, right - left, bottom - excludeHeight - 2 * Margin);
    ExcluidosPn->SetBounds(left, bottom - excludeHeight, right - left, excludeHeight);
    for (TPanel* p : {IncluidosPn, ExcluidosPn}) {
        const bool inc = p == IncluidosPn;
        ListOf(inc)->SetBounds(36, 18, p->Width() - 36, p->Height() - 18);
        (inc ? IncluidosLbl : ExcluidosLbl)->SetWidth(p->Width());
    }
    OkBtn->SetBounds(w - Margin - 2 * 84 - 6, h - Margin - 25, 84, 25);
    CancelBtn->SetBounds(w - Margin - 84, h - Margin - 25, 84, 25);
}

void TFrmArquivos::Resized() {
    TForm::Resized();
    if (CancelBtn) Layout();
}

void TFrmArquivos::Reset() {
    AdicionadosLb->Clear();
    ExcluidosLb->Clear();
    FScriptLines.Lines().clear();
}

std::vector<TPickedItem> TFrmArquivos::PickedItems() {
    std::vector<TPickedItem> items;
    for (int i = 0; i < ArquivosLv->Items().Count(); ++i) {
        if (!ArquivosLv->Items()[i]->Selected()) continue;
        TMvShListData* data = ArquivosLv->GetItemData(i);
        if (!data) continue;
        items.push_back({data->GetPath(), data->IsFolder()});
    }
    return items;
}

void TFrmArquivos::AddItems(bool include, const std::vector<TPickedItem>& items) {
    SetCursor(TCursor::crHourGlass);
    std::string mask = "*.*";
    bool subfolders = true;
    if (AnyFolderPicked(items)) {
        TFrmMascara dialog(this);
        dialog.MascaraEdit->SetTextValue("*.*");
        if (dialog.ShowModal() == mrCancel) {
            SetCursor(TCursor::crDefault);
            return;
        }
        mask = NormaliseFolderMask(dialog.MascaraEdit->Text());
        subfolders = dialog.SubPastasChk->Checked();
    }
    TMvCheckListBox* list = ListOf(include);
    if (AddPickedItems(list->Items(), items, mask, subfolders) > 0) PlaySoundRes("BEEP");
    list->Invalidate();
    SetCursor(TCursor::crDefault);
}

void TFrmArquivos::AdicionaBtnClick(bool include) {
    AddItems(include, PickedItems());
}

void TFrmArquivos::RemoveBtnClick(bool include) {
    PlaySoundRes("LIXO");
    TMvCheckListBox* list = ListOf(include);
    RemoveEntries(list->Items(), {list->ItemIndex()});
    list->Invalidate();
}

void TFrmArquivos::DropFiles(bool include, const std::vector<std::string>& paths) {
    std::vector<TPickedItem> items;
    for (const std::string& p : paths) items.push_back({p, platform::IsDirectory(p)});
    AddItems(include, items);
}

void TFrmArquivos::DropFromOtherList(bool include) {
    TMvCheckListBox* from = ListOf(!include);
    TMvCheckListBox* to = ListOf(include);
    TransferEntries(from->Items(), {from->ItemIndex()}, to->Items());
    from->Invalidate();
    to->Invalidate();
}

void TFrmArquivos::OkBtnClick() {
    StoreItemLists(FScriptLines, AdicionadosLb->Items(), ExcluidosLb->Items());
    SetModalResult(mrOk);
}

void TFrmArquivos::WriteSettings() {
    try {
        platform::IniFile ini(FIniFileName);
        ini.WriteInteger(ListEditorFormSection, "Largura Grid", ArquivosLv->Width());
        ini.WriteInteger(ListEditorFormSection, "Altura Excluidos", ExcluidosPn->Height());
    } catch (const std::exception&) {
        // Sizes that cannot be written are not worth an error box when closing.
    }
}

} // namespace mv
