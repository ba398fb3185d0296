#include "app/dialogs/DiskViewer.h"

#include "app/common/LangStr.h"
#include "app/common/MessageBox.h"
#include "app/common/Sounds.h"
#include "app/dialogs/ShellBrowseParts.h"
#include "app/mainwindow/ArchiveList.h"
#include "app/settings/Options.h"
#include "controls/shell/ShellCombo.h"
#include "controls/shell/ShellData.h"
#include "controls/shell/ShellList.h"
#include "controls/shell/ShellTree.h"
#include "controls/toolkit/files/SHFormatDrive.h"
#include "controls/toolkit/placement/FormPlacement.h"
#include "platform/AppPaths.h"
#include "platform/DriveInfo.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/ui/StdControls.h"
#include "platform/ui/TreeView.h"

#include <algorithm>
#include <memory>

namespace mv {

namespace {

constexpr int32_t sKbytesFree = 360, sMoveToTrash = 3150;
constexpr int DefaultTreeWidth = 169;
constexpr int ButtonSize = 23;
constexpr uint16_t KeyF5 = 0x74;
// The names listed in the delete question; more are counted as "...".
constexpr size_t NamesShown = 12;

TSpeedButton* AddSpeedButton(TForm& form, const std::string& name, int hint, const std::string& symbol) {
    auto* button = new TSpeedButton(&form);
    button->SetName(name);
    button->SetParent(&form);
    button->SetHint(std::to_string(hint));
    button->SetFlat(true);
    button->SetCaption(symbol);
    return button;
}

std::string WithoutTrailingSeparator(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

} // namespace

std::string FreeSpaceText(uint64_t freeBytes) {
    const uint64_t kilobytes = freeBytes / 1024;
    std::string number = FormatThousands(static_cast<int64_t>(kilobytes));
    if (number.empty()) number = "0"; // the pattern's last digit is a "0"
    return number + " " + LoadLangStr(sKbytesFree);
}

TFrmExplorer::TFrmExplorer(TComponent* owner, const std::string& iniFileName)
    : TForm(owner), FIniFileName(iniFileName.empty() ? platform::IniFilePath() : iniFileName) {
    SetName("FrmExplorer");
    SetScaled(false);
    SetBorderStyle(TFormBorderStyle::bsSizeable);
    SetPosition(TPosition::poScreenCenter);
    SetCaption("355");
    SetShowHint(true);

    MvShellCombo1 = new TMvShellCombo(this);
    MvShellCombo1->SetName("MvShellCombo1");
    MvShellCombo1->SetParent(this);
    MvShellCombo1->SetDropDownCount(16);
    UpOneLevelBtn = AddSpeedButton(*this, "UpOneLevelBtn", 154, "");
    ArvoreBtn = AddSpeedButton(*this, "ArvoreBtn", 155, "");
    ArvoreBtn->SetGroupIndex(1);
    ArvoreBtn->SetAllowAllUp(true);
    DeleteBtn = AddSpeedButton(*this, "DeleteBtn", 356, "");
    LargeIconsBtn = AddSpeedButton(*this, "LargeIconsBtn", 157, "");
    SmallIconsBtn = AddSpeedButton(*this, "SmallIconsBtn", 158, "");
    ListBtn = AddSpeedButton(*this, "ListBtn", 159, "");
    DetailsBtn = AddSpeedButton(*this, "DetailsBtn", 160, "");
    BindViewStyleButtons({LargeIconsBtn, SmallIconsBtn, ListBtn, DetailsBtn},
                         [this](int style) { SetViewStyle(style); });

    AddShellBrowser(*this, ArvoreTv, Splitter1, ArquivosLv);
    MvShellCombo1->SetShellTree(ArvoreTv);
    MvShellCombo1->SetShellList(ArquivosLv);

    EspacoLivreEdit = new TEdit(this);
    EspacoLivreEdit->SetName("EspacoLivreEdit");
    EspacoLivreEdit->SetParent(this);
    EspacoLivreEdit->SetReadOnly(true);
    Label1 = new TLabel(this);
    Label1->SetName("Label1");
    Label1->SetParent(this);
    Label1->SetTag(359);
    FormatarBtn = new TBitBtn(this);
    FormatarBtn->SetName("FormatarBtn");
    FormatarBtn->SetParent(this);
    FormatarBtn->SetTag(357);
    FormatarBtn->SetHint("358");
    SairBtn = new TBitBtn(this);
    SairBtn->SetName("SairBtn");
    SairBtn->SetParent(this);
    SairBtn->SetTag(187);
    SairBtn->SetHint("184");
    SairBtn->SetCancel(true);
    SairBtn->SetDefault(true);

    FormPlacement = new TFormPlacement(this);
    FormPlacement->SetName("FormPlacement");

    TranslateForm(*this);
    FixFormFonts(*this);
    UpOneLevelBtn->SetCaption("\u2191");
    ArvoreBtn->SetCaption("\u2261");
    DeleteBtn->SetCaption("\u2717");
    LargeIconsBtn->SetCaption("\u25A0");
    SmallIconsBtn->SetCaption("\u25AA");
    ListBtn->SetCaption("\u25AC");
    DetailsBtn->SetCaption("\u25D8");
    Splitter1->SetCaption("");

    if (ScreenWidth() > 700) {
        SetWidth(714);
        SetHeight(514);
    }
    FormPlacement->SetIniFileName(FIniFileName);
    FormPlacement->SetIniSection("Form Extrair");
    ReadSettings();

    UpOneLevelBtn->OnClick = [this](TComponent*) { UpOneLevelBtnClick(); };
    ArvoreBtn->OnClick = [this](TComponent*) { ArvoreBtnClick(); };
    DeleteBtn->OnClick = [this](TComponent*) { DeleteBtnClick(); };
    FormatarBtn->OnClick = [this](TComponent*) { FormatarBtnClick(); };
    SairBtn->OnClick = [this](TComponent*) { Close(); };
    // The list was filled again (F5, a change on the disk): the free space follows.
    ArquivosLv->OnFillComplete = [this](TComponent*) { UpdateFreeSpace(); };
    ArquivosLv->OnFolderChanged = [this](TComponent*) { UpdateFreeSpace(); };
    ArquivosLv->OnClick = [](TComponent*) { PlaySoundRes("CLEK"); };
    ArvoreTv->OnClick = [](TComponent*) { PlaySoundRes("CLEK"); };
    MvShellCombo1->OnClick = [](TComponent*) { PlaySoundRes("CLEK"); };
    // F5 anywhere in the window shows the folder's contents again.
    OnKeyDown = [this](TComponent*, uint16_t& key, TShiftState) {
        if (key != KeyF5) return;
        key = 0;
        RefreshViews();
    };
    OnShow = [this](TComponent*) {
        SetSoundsEnabled(true);
        UpdateFreeSpace();
    };
    OnClose = [this](TComponent*, TCloseAction&) {
        PlaySoundRes("CLICK");
        WriteSettings();
    };
    Layout();
    // The placement takes over the form's events set above (keeping them).
    FormPlacement->Loaded();
}

TFrmExplorer::~TFrmExplorer() = default;

void TFrmExplorer::Resized() {
    TForm::Resized();
    if (SairBtn) Layout();
}

void TFrmExplorer::Layout() {
    const int w = ClientWidth(), h = ClientHeight();
    const int margin = 8;
    // the combo and the buttons
    int x = w - margin - 7 * ButtonSize - 16;
    MvShellCombo1->SetBounds(margin, margin, std::max(60, x - 2 * margin), 22);
    for (TSpeedButton* b : {UpOneLevelBtn, ArvoreBtn, DeleteBtn}) {
        b->SetBounds(x, margin, ButtonSize, 22);
        x += ButtonSize;
    }
    x += 16;
    for (TSpeedButton* b : {LargeIconsBtn, SmallIconsBtn, ListBtn, DetailsBtn}) {
        b->SetBounds(x, margin, ButtonSize, 22);
        x += ButtonSize;
    }
    // the free space, the hint and the buttons at the bottom
    const int bottom = h - margin - 25;
    EspacoLivreEdit->SetBounds(margin, bottom + 2, 190, 22);
    const int buttonWidth = 170, okWidth = 90;
    SairBtn->SetBounds(w - margin - okWidth, bottom, okWidth, 25);
    FormatarBtn->SetBounds(w - margin - okWidth - 6 - buttonWidth, bottom, buttonWidth, 25);
    Label1->SetBounds(margin + 198, bottom + 6, std::max(20, FormatarBtn->Left() - margin - 204), 16);
    // the tree and the list between them
    const int top = margin + 22 + 6;
    const int paneHeight = bottom - margin - top;
    const bool tree = ArvoreBtn->Down();
    const int treeWidth = tree ? std::min(FTreeWidth, w / 2) : 0;
    if (tree) ArvoreTv->SetBounds(margin, top, treeWidth, paneHeight);
    ArvoreTv->SetVisible(tree);
    const int splitter = tree ? 7 : 0;
    Splitter1->SetBounds(margin + treeWidth, top, splitter, paneHeight);
    Splitter1->SetVisible(tree);
    const int listLeft = margin + treeWidth + splitter;
    ArquivosLv->SetBounds(listLeft, top, w - margin - listLeft, paneHeight);
}

void TFrmExplorer::SetViewStyle(int style) {
    FViewStyle = std::clamp(style, 0, 3);
    TSpeedButton* buttons[] = {LargeIconsBtn, SmallIconsBtn, ListBtn, DetailsBtn};
    buttons[FViewStyle]->SetDown(true);
}

void TFrmExplorer::ReadSettings() {
    platform::IniFile ini(FIniFileName);
    const int width = static_cast<int>(ini.ReadInteger(DiskViewerSection, "Largura Arvore", DefaultTreeWidth));
    FTreeWidth = width > 0 ? width : DefaultTreeWidth;
    ArvoreBtn->SetDown(SimNaoToBool(ini.ReadString(DiskViewerSection, "Arvore", "N")));
    const int style = static_cast<int>(ini.ReadInteger(DiskViewerSection, "Estilo", 4));
    SetViewStyle((style >= 1 && style <= 4 ? style : 4) - 1);
}

void TFrmExplorer::WriteSettings() {
    try {
        platform::IniFile ini(FIniFileName);
        ini.WriteInteger(DiskViewerSection, "Largura Arvore", FTreeWidth);
        ini.WriteString(DiskViewerSection, "Arvore", ArvoreBtn->Down() ? "SIM" : "NAO");
        ini.WriteInteger(DiskViewerSection, "Estilo", FViewStyle + 1);
    } catch (const std::exception&) {
        // the settings file cannot be written: the viewer's look is not kept
    }
}

void TFrmExplorer::SetFolder(const std::string& folder) {
    if (folder.empty()) return;
    const std::string path = WithoutTrailingSeparator(folder);
    ArvoreTv->SetPath(path);
    ArvoreTv->FlushPendingSync(true);
    if (WithoutTrailingSeparator(ArquivosLv->Folder().GetPath()) != path) {
        ArquivosLv->Folder().SetPath(path);
        ArquivosLv->FlushPendingSync(true);
    }
    UpdateFreeSpace();
}

std::string TFrmExplorer::CurrentFolder() {
    std::string folder = ArvoreTv->GetSelectedPath();
    if (folder.empty()) folder = ArquivosLv->Folder().GetPath();
    return folder;
}

void TFrmExplorer::UpdateFreeSpace() {
    const std::string folder = CurrentFolder();
    // No medium, a drive that does not answer, or no folder at all: the field stays empty.
    if (folder.empty() || !platform::DriveAvailable(folder)) {
        EspacoLivreEdit->SetTextValue("");
        return;
    }
    EspacoLivreEdit->SetTextValue(FreeSpaceText(platform::DriveFreeBytes(folder)));
}

void TFrmExplorer::RefreshViews() {
    ArvoreTv->Refresh();
    ArquivosLv->Refresh();
    ArquivosLv->FlushPendingSync(true);
    UpdateFreeSpace();
}

void TFrmExplorer::DeleteBtnClick() {
    PlaySoundRes("LIXO");
    const bool fromTree = ArvoreTv->Visible() && ArvoreTv->Focused();
    std::vector<std::string> names;
    if (fromTree) {
        const std::string path = ArvoreTv->GetSelectedPath();
        if (!path.empty()) names.push_back(path);
    } else {
        for (int row = ArquivosLv->GetNextItem(-1, LVNI_SELECTED); row >= 0;
             row = ArquivosLv->GetNextItem(row, LVNI_SELECTED))
            if (TMvShListData* data = ArquivosLv->GetItemData(row)) names.push_back(data->GetPath());
    }
    names.erase(std::remove(names.begin(), names.end(), std::string()), names.end());
    if (names.empty()) return;
    // The items go to the trash only after the user said yes.
    std::string question = LoadLangStr(sMoveToTrash) + "\n";
    for (size_t i = 0; i < names.size() && i < NamesShown; ++i) question += "\n" + names[i];
    if (names.size() > NamesShown) question += "\n...";
    if (ShowMessageBox(question, mkQuestion, mbYesNo, 0, -1, -1) != mrYes) return;
    if (fromTree) {
        TTreeNode* node = ArvoreTv->Selected();
        ArvoreTv->InvokeCommand(node, "delete");
    } else {
        ArquivosLv->InvokeCommand("delete");
    }
    RefreshViews();
}

void TFrmExplorer::FormatarBtnClick() {
    PlaySoundRes("BEEP");
    TSHFormatDrive format(this);
    format.SetTextBase(LanguageBase());
    format.SetPath(CurrentFolder());
    format.Execute();
    Close();
}

void TFrmExplorer::UpOneLevelBtnClick() {
    PlaySoundRes("CLEK");
    if (ArvoreTv->Selected()) {
        ArvoreTv->GoUp(1);
        ArvoreTv->FlushPendingSync(true);
    } else {
        ArquivosLv->GoUp(1);
        ArquivosLv->FlushPendingSync(true);
    }
    UpdateFreeSpace();
}

void TFrmExplorer::ArvoreBtnClick() {
    PlaySoundRes("CLEK");
    Layout();
}

void ShowDiskViewer(const std::string& folder, bool formatEnabled, const std::string& iniFileName) {
    auto form = std::make_unique<TFrmExplorer>(nullptr, iniFileName);
    form->SetFolder(folder);
    form->FormatarBtn->SetEnabled(formatEnabled && !folder.empty() &&
                                  platform::DriveKindOf(folder) == platform::DriveKind::Removable);
    form->ShowModal();
}

} // namespace mv
