#include "app/search/FormProcura.h"

#include "app/common/LangStr.h"
#include "app/common/MessageBox.h"
#include "app/common/Sounds.h"
#include "app/common/StrUtils.h"
#include "controls/shell/ShellCombo.h"
#include "controls/shell/ShellData.h"
#include "controls/shell/ShellList.h"
#include "controls/toolkit/placement/FormPlacement.h"
#include "platform/AppPaths.h"
#include "platform/FileSystem.h"
#include "platform/ui/StdControls.h"
#include "platform/ui/TreeView.h"

#include <algorithm>
#include <memory>

namespace mv {

namespace {

constexpr int32_t sCancelling = 105, sPasswordPrompt = 181;
// The shell's "My Computer": the drives of the machine.
constexpr int DrivesFolder = 17;
constexpr uint16_t KeyReturn = 0x0D;
constexpr int ButtonSize = 23;

TSpeedButton* AddSpeedButton(TForm& form, const std::string& name, int hint) {
    auto* button = new TSpeedButton(&form);
    button->SetName(name);
    button->SetParent(&form);
    button->SetHint(std::to_string(hint));
    button->SetFlat(true);
    return button;
}

TBitBtn* AddButton(TForm& form, const std::string& name, int caption, int hint) {
    auto* button = new TBitBtn(&form);
    button->SetName(name);
    button->SetParent(&form);
    button->SetTag(caption);
    button->SetHint(std::to_string(hint));
    return button;
}

TCheckBox* AddCheck(TForm& form, const std::string& name, int caption, bool checked) {
    auto* check = new TCheckBox(&form);
    check->SetName(name);
    check->SetParent(&form);
    check->SetTag(caption);
    check->SetChecked(checked);
    check->OnClick = [](TComponent*) { PlaySoundRes("CLEK"); };
    return check;
}

// The small masked input query of the password.
class TPasswordQuery : public TForm {
public:
    TPasswordQuery(const std::string& caption, const std::string& prompt) : TForm(nullptr) {
        SetName("PasswordQuery");
        SetScaled(false);
        SetBorderStyle(TFormBorderStyle::bsDialog);
        SetPosition(TPosition::poScreenCenter);
        SetCaption(caption);
        Prompt = new TLabel(this);
        Prompt->SetName("Prompt");
        Prompt->SetParent(this);
        Prompt->SetCaption(prompt);
        Edit = new TEdit(this);
        Edit->SetName("Edit");
        Edit->SetParent(this);
        Edit->SetPasswordChar('*');
        Ok = new TButton(this);
        Ok->SetName("OkBtn");
        Ok->SetParent(this);
        Ok->SetCaption(StripAmpersand(LoadLangStr(187)));
        Ok->SetModalResult(mrOk);
        Ok->SetDefault(true);
        CancelBtn = new TButton(this);
        CancelBtn->SetName("CancelBtn");
        CancelBtn->SetParent(this);
        CancelBtn->SetCaption(LoadLangStr(25));
        CancelBtn->SetModalResult(mrCancel);
        CancelBtn->SetCancel(true);
        FixFormFonts(*this);
        SetClientWidth(300);
        SetClientHeight(106);
        Prompt->SetBounds(8, 10, 284, 16);
        Edit->SetBounds(8, 32, 284, 22);
        Ok->SetBounds(136, 70, 75, 25);
        CancelBtn->SetBounds(217, 70, 75, 25);
        OnShow = [this](TComponent*) { SetActiveControl(Edit); };
    }
    static std::string StripAmpersand(std::string text) {
        text.erase(std::remove(text.begin(), text.end(), '&'), text.end());
        return text;
    }
    TLabel* Prompt;
    TEdit* Edit;
    TButton* Ok;
    TButton* CancelBtn;
};

} // namespace

bool AskSearchPassword(const std::string& member, std::string& password) {
    TPasswordQuery query(member, LoadLangStr(sPasswordPrompt));
    if (query.ShowModal() != mrOk) return false;
    password = query.Edit->Text();
    return true;
}

TFormProcura::TFormProcura(TComponent* owner, const std::string& iniFileName)
    : TForm(owner), FIniFileName(iniFileName.empty() ? platform::IniFilePath() : iniFileName) {
    SetName("FormProcura");
    SetScaled(false);
    SetBorderStyle(TFormBorderStyle::bsSizeable);
    SetPosition(TPosition::poScreenCenter);
    SetCaption("115");
    SetHelpContext(1014);
    SetShowHint(true);

    Label1 = new TLabel(this);
    Label1->SetName("Label1");
    Label1->SetParent(this);
    Label1->SetTag(164);
    Edit1 = new TEdit(this);
    Edit1->SetName("Edit1");
    Edit1->SetParent(this);
    Edit1->SetMaxLength(255);
    ProcuraBtn = AddButton(*this, "ProcuraBtn", 165, 182);
    ProcuraBtn->SetDefault(true);
    CancelarBtn = AddButton(*this, "CancelarBtn", 25, 183);
    FecharBtn = AddButton(*this, "FecharBtn", 172, 184);
    FecharBtn->SetCancel(true);

    MvShellCombo1 = new TMvShellCombo(this);
    MvShellCombo1->SetName("MvShellCombo1");
    MvShellCombo1->SetParent(this);
    ParentButton = AddSpeedButton(*this, "ParentButton", 154);
    SpeedButton1 = AddSpeedButton(*this, "SpeedButton1", 157);
    SpeedButton2 = AddSpeedButton(*this, "SpeedButton2", 158);
    SpeedButton3 = AddSpeedButton(*this, "SpeedButton3", 159);
    SpeedButton4 = AddSpeedButton(*this, "SpeedButton4", 160);
    int tag = 0;
    for (TSpeedButton* b : {SpeedButton1, SpeedButton2, SpeedButton3, SpeedButton4}) {
        b->SetGroupIndex(1);
        b->SetTag(tag);
        b->OnClick = [this, tag](TComponent*) {
            PlaySoundRes("CLEK");
            SetViewStyle(tag);
        };
        ++tag;
    }
    ArquivosLv = new TMvShellList(this);
    ArquivosLv->SetName("ArquivosLv");
    ArquivosLv->SetParent(this);
    ArquivosLv->SetMultiSelect(true);
    ArquivosLv->SetOptions(ArquivosLv->Options() | PTSLO(ptsloShowHidden));
    ArquivosLv->SetFileFilter("*.*");
    MvShellCombo1->SetShellList(ArquivosLv);

    RadioGroup1 = new TRadioGroup(this);
    RadioGroup1->SetName("RadioGroup1");
    RadioGroup1->SetParent(this);
    RadioGroup1->SetTag(166);
    for (int n = 167; n <= 171; ++n) RadioGroup1->Items().Add(std::to_string(n));
    RadioGroup1->SetItemIndex(0);
    cbDiferencia = AddCheck(*this, "cbDiferencia", 174, false);
    SubPastasChk = AddCheck(*this, "SubPastasChk", 173, true);
    SoCompactadosChk = AddCheck(*this, "SoCompactadosChk", 175, true);

    GroupBox1 = new TGroupBox(this);
    GroupBox1->SetName("GroupBox1");
    GroupBox1->SetParent(this);
    GroupBox1->SetTag(163);
    TreeView1 = new TTreeView(this);
    TreeView1->SetName("TreeView1");
    TreeView1->SetParent(GroupBox1);
    TreeView1->SetReadOnly(true);

    StatusBar1 = new TPanel(this);
    StatusBar1->SetName("StatusBar1");
    StatusBar1->SetParent(this);
    StatusBar1->SetBevelOuter(TBevelCut::bvLowered);
    StatusText = new TLabel(this);
    StatusText->SetName("StatusText");
    StatusText->SetParent(StatusBar1);

    FormPlacement = new TFormPlacement(this);
    FormPlacement->SetName("FormPlacement");

    TranslateForm(*this);
    FixFormFonts(*this);
    ParentButton->SetCaption("\u2191");
    SpeedButton1->SetCaption("\u25A0");
    SpeedButton2->SetCaption("\u25AA");
    SpeedButton3->SetCaption("\u25AC");
    SpeedButton4->SetCaption("\u25D8");
    StatusBar1->SetCaption("");
    StatusText->SetCaption("");
    SetViewStyle(3);

    if (ScreenWidth() > 700) {
        SetWidth(750);
        SetHeight(547);
    }
    FormPlacement->SetIniFileName(FIniFileName);
    FormPlacement->SetIniSection(SearchFormSection);
    CancelarBtn->SetEnabled(false);
    // The pointer over Cancel stays an arrow while the rest of the form shows the hourglass.
    CancelarBtn->SetCursor(TCursor::crArrow);

    FRun.OnStatus = [this](const std::string& text) { SetStatus(text); };
    FRun.OnHit = [this](const TSearchHit& hit) { AddHit(hit); };
    FRun.ProcessMessages = [] {
        if (Application) Application->ProcessMessages();
    };
    FRun.AskPassword = [this](const std::string& member, std::string& password) {
        return AskPassword(member, password);
    };

    ProcuraBtn->OnClick = [this](TComponent*) { ProcuraBtnClick(); };
    CancelarBtn->OnClick = [this](TComponent*) { CancelarBtnClick(); };
    FecharBtn->OnClick = [this](TComponent*) { FecharBtnClick(); };
    ParentButton->OnClick = [this](TComponent*) {
        PlaySoundRes("CLEK");
        ArquivosLv->GoUp(1);
    };
    ArquivosLv->OnClick = [](TComponent*) { PlaySoundRes("CLEK"); };
    MvShellCombo1->OnClick = [](TComponent*) { PlaySoundRes("CLEK"); };
    RadioGroup1->OnClick = [](TComponent*) { PlaySoundRes("CLEK"); };
    TreeView1->OnClick = [](TComponent*) { PlaySoundRes("CLEK"); };
    TreeView1->OnDblClick = [this](TComponent*) { OpenSelectedResult(); };
    TreeView1->OnKeyDown = [this](TComponent*, uint16_t& key, TShiftState) {
        if (key != KeyReturn || !TreeView1->Selected()) return;
        key = 0;
        OpenSelectedResult();
    };
    OnShow = [this](TComponent*) {
        SetSoundsEnabled(true);
        Edit1->SetTextValue(FRun.SearchText());
        SetActiveControl(Edit1);
    };
    // Closing while a search runs stops it first; the form goes only after the search
    // loop has returned (its owner frees it once ShowModal is back).
    OnCloseQuery = [this](TComponent*, bool&) {
        if (FRun.Running()) {
            FClosing = true;
            FRun.Cancel();
        }
    };
    OnClose = [](TComponent*, TCloseAction&) { PlaySoundRes("CLICK"); };
    Layout();
    // The placement takes over the form's events set above (keeping them).
    FormPlacement->Loaded();
}

TFormProcura::~TFormProcura() {
    FRun.Cancel();
}

void TFormProcura::Resized() {
    TForm::Resized();
    if (StatusText) Layout();
}

void TFormProcura::Layout() {
    const int w = ClientWidth(), h = ClientHeight();
    const int margin = 8, buttonWidth = 90, gap = 6;
    // the text and the three buttons
    int x = w - margin - 3 * buttonWidth - 2 * gap;
    Label1->SetBounds(margin, margin + 4, 52, 16);
    Edit1->SetBounds(margin + 56, margin, std::max(60, x - gap - margin - 56), 22);
    for (TBitBtn* b : {ProcuraBtn, CancelarBtn, FecharBtn}) {
        b->SetBounds(x, margin - 1, buttonWidth, 25);
        x += buttonWidth + gap;
    }
    // where to search, left; the options, right
    const int optionsWidth = 210;
    const int top = margin + 22 + 10;
    const int leftWidth = w - 3 * margin - optionsWidth;
    const int buttonsLeft = margin + leftWidth - 5 * ButtonSize;
    MvShellCombo1->SetBounds(margin, top, std::max(60, buttonsLeft - margin - 4), 22);
    x = buttonsLeft;
    for (TSpeedButton* b : {ParentButton, SpeedButton1, SpeedButton2, SpeedButton3, SpeedButton4}) {
        b->SetBounds(x, top, ButtonSize, 22);
        x += ButtonSize;
    }
    const int statusHeight = 22;
    const int resultsTop = std::max(top + 200, (h - statusHeight) / 2);
    ArquivosLv->SetBounds(margin, top + 26, leftWidth, resultsTop - top - 26 - margin);
    const int optionsLeft = 2 * margin + leftWidth;
    RadioGroup1->SetBounds(optionsLeft, top - 4, optionsWidth, 124);
    int y = top + 126;
    for (TCheckBox* c : {cbDiferencia, SubPastasChk, SoCompactadosChk}) {
        c->SetBounds(optionsLeft + 4, y, optionsWidth - 4, 20);
        y += 22;
    }
    // the results, and the status line at the bottom
    GroupBox1->SetBounds(margin, resultsTop, w - 2 * margin, h - statusHeight - 4 - resultsTop);
    TreeView1->SetBounds(8, 18, GroupBox1->Width() - 16, GroupBox1->Height() - 26);
    StatusBar1->SetBounds(0, h - statusHeight, w, statusHeight);
    StatusText->SetBounds(4, 3, w - 8, 16);
}

void TFormProcura::SetViewStyle(int style) {
    FViewStyle = std::clamp(style, 0, 3);
    TSpeedButton* buttons[] = {SpeedButton1, SpeedButton2, SpeedButton3, SpeedButton4};
    buttons[FViewStyle]->SetDown(true);
}

std::string TFormProcura::StatusBarText() const {
    return StatusText->Caption();
}

void TFormProcura::SetStatus(const std::string& text) {
    StatusText->SetCaption(text);
}

void TFormProcura::SetFolder(const std::string& folder) {
    if (folder.empty()) ArquivosLv->Folder().SetSpecialFolder(DrivesFolder);
    else ArquivosLv->Folder().SetPath(folder);
    ArquivosLv->FlushPendingSync(true);
}

std::string TFormProcura::Folder() const {
    return ArquivosLv->Folder().GetPath();
}

TSearchRequest TFormProcura::BuildRequest() {
    TSearchRequest request;
    request.Folder = Folder();
    for (int row = ArquivosLv->GetNextItem(-1, LVNI_SELECTED); row >= 0;
         row = ArquivosLv->GetNextItem(row, LVNI_SELECTED)) {
        TMvShListData* data = ArquivosLv->GetItemData(row);
        if (!data) continue;
        const std::string path = data->GetPath();
        if (path.empty()) continue; // a virtual item has no name to search
        request.Names.push_back(platform::NameOf(path));
        request.NameIsFolder.push_back(platform::IsDirectory(path));
    }
    request.Subfolders = SubPastasChk->Checked();
    request.ArchivesOnly = SoCompactadosChk->Checked();
    request.CaseSensitive = cbDiferencia->Checked();
    request.Mode = std::clamp(RadioGroup1->ItemIndex(), 0, 4);
    request.Text = Edit1->Text();
    return request;
}

void TFormProcura::ProcuraBtnClick() {
    if (FRun.Running()) return;
    PlaySoundRes("BEEP");
    ProcuraBtn->SetEnabled(false);
    CancelarBtn->SetEnabled(true);
    if (TrimText(Edit1->Text()).empty()) Edit1->SetFocus();
    TreeView1->Items().Clear();
    SetCursor(TCursor::crHourGlass);
    try {
        FRun.Execute(BuildRequest());
    } catch (const std::exception&) {
        // the run ends here; what was found stays listed
    }
    SetCursor(TCursor::crDefault);
    CancelarBtn->SetEnabled(false);
    ProcuraBtn->SetEnabled(true);
    if (FClosing) return; // closed in mid-walk: no summary
    ShowMessageBox(SearchSummaryText(FRun.Totals()), mkInformation, mbOKOnly, 0, -1, -1);
}

void TFormProcura::CancelarBtnClick() {
    PlaySoundRes("BEEP");
    SetStatus(LoadLangStr(sCancelling));
    if (Application) Application->ProcessMessages();
    FRun.Cancel();
    if (Application) Application->ProcessMessages();
    SetStatus("");
}

void TFormProcura::FecharBtnClick() {
    SetStatus(LoadLangStr(sCancelling));
    if (FRun.Running()) {
        FClosing = true;
        FRun.Cancel();
    }
    Close();
}

void TFormProcura::AddHit(const TSearchHit& hit) {
    TTreeNode* node = TreeView1->Items().AddChild(nullptr, hit.File);
    for (const std::string& member : hit.Members) TreeView1->Items().AddChild(node, member);
    if (node->Count() > 0) node->Expand(false);
}

bool TFormProcura::AskPassword(const std::string& member, std::string& password) {
    return AskSearchPassword(member, password);
}

void TFormProcura::OpenSelectedResult() {
    TTreeNode* node = TreeView1->Selected();
    if (!node) return;
    while (node->Parent()) node = node->Parent();
    FChosenArchive = node->Text();
    Close(); // a running search stops first
}

bool ShowSearchForm(std::string& chosenArchive, const std::string& folder, const std::string& iniFileName) {
    auto form = std::make_unique<TFormProcura>(nullptr, iniFileName);
    form->SetFolder(folder);
    form->ShowModal();
    chosenArchive = form->ChosenArchive();
    return !chosenArchive.empty();
}

} // namespace mv
