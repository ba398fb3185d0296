// The form of the file dialogs: its controls, the tree pane shown or hidden, the keys,
// the type combo, and the validation of what the user typed when OK is chosen.
#include "controls/shell/ImageCombo.h"
#include "controls/shell/ShellCombo.h"
#include "controls/shell/ShellList.h"
#include "controls/shell/ShellTree.h"
#include "controls/shell/ShellUtils.h"
#include "controls/shell/dialogs/DialogTexts.h"
#include "controls/shell/dialogs/Frames.h"
#include "controls/shell/dialogs/MvOpenDlg.h"
#include "controls/shell/dialogs/Splitter.h"
#include "platform/FileSystem.h"
#include "platform/ui/PopupMenu.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace mv {

using platform::faReadOnly;
using platform::FileInfo;
using platform::Fs;

namespace {

constexpr uint16_t KeyF4 = 0x73, KeyF5 = 0x74, KeyF12 = 0x7B;
constexpr int GripSize = 13;

bool EqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

std::string WithSlash(const std::string& path) {
    if (path.empty() || path.back() != '/') return path + "/";
    return path;
}

template <class T> T* Make(TComponent* owner, TWinControl* parent, int left, int top, int width, int height) {
    auto* control = new T(owner);
    control->SetParent(parent);
    control->SetBounds(left, top, width, height);
    return control;
}

// The message the list posts to the form after a click or a key, once the list has
// moved its selection.
constexpr uint32_t WMListSelectionMoved = WM_USER + 0x2A0;

} // namespace

// The form's list: keys go to the form first, and after every click or key the form
// hears that the selection may have moved.
class TMvOpenDlgShellList : public TMvShellList {
public:
    TMvOpenDlgShellList(TComponent* owner, TMvFrmOpenDlg& form) : TMvShellList(owner), FForm(form) {}
    void KeyDown(uint16_t& key, TShiftState shift) override {
        FForm.FormKeyDown(key, shift);
        if (key != 0) TMvShellList::KeyDown(key, shift);
        PostMessage(&FForm, WMListSelectionMoved, 0, 0);
    }
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override {
        TMvShellList::MouseUp(button, shift, x, y);
        PostMessage(&FForm, WMListSelectionMoved, 0, 0);
    }

private:
    TMvFrmOpenDlg& FForm;
};

// The form's tree: keys go to the form first.
class TMvOpenDlgShellTree : public TMvShellTree {
public:
    TMvOpenDlgShellTree(TComponent* owner, TMvFrmOpenDlg& form) : TMvShellTree(owner), FForm(form) {}
    void KeyDown(uint16_t& key, TShiftState shift) override {
        FForm.FormKeyDown(key, shift);
        if (key != 0) TMvShellTree::KeyDown(key, shift);
    }

private:
    TMvFrmOpenDlg& FForm;
};

TMvFrmOpenDlg::TMvFrmOpenDlg(TComponent* owner) : TForm(owner) {
    SetName("MvFrmOpenDlg");
    SetPosition(TPosition::poScreenCenter);
    SetBorderIcons(biSystemMenu | biMaximize);
    SetClientWidth(451);
    SetClientHeight(265);
    BuildControls();
    SetActiveControl(FileNameEdt);
    FormResize();
}

TMvFrmOpenDlg::~TMvFrmOpenDlg() {
    BeginDestruction();
}

void TMvFrmOpenDlg::BuildControls() {
    LookInTxt = Make<TLabel>(this, this, 8, 8, 60, 13);
    LookInTxt->SetName("LookInTxt");
    MvShellCombo1 = Make<TMvShellCombo>(this, this, 72, 4, 193, 22);
    MvShellCombo1->SetOptions(PTSCO(ptscoAutofill));
    MvShellCombo1->SetDropDownCount(16);
    UpOneLevelBtn = Make<TSpeedButton>(this, this, 272, 4, 23, 22);
    UpOneLevelBtn->SetCaption("\xE2\x86\x91"); // an arrow up
    UpOneLevelBtn->OnClick = [this](TComponent*) {
        MvShellCombo1->GoUp(1);
        MvShellCombo1->FlushPendingSync(true);
    };
    ShowDesktopBtn = Make<TSpeedButton>(this, this, 304, 4, 23, 22);
    ShowDesktopBtn->SetCaption("\xE2\x96\xA3");
    ShowDesktopBtn->OnClick = [this](TComponent*) { MvShellList1->Folder().SetPidl({}); };
    CreateNewFolderBtn = Make<TSpeedButton>(this, this, 336, 4, 23, 22);
    CreateNewFolderBtn->SetCaption("+");
    CreateNewFolderBtn->OnClick = [this](TComponent*) { CreateNewFolderClick(); };
    ShowTreeBtn = Make<TSpeedButton>(this, this, 368, 4, 23, 22);
    ShowTreeBtn->SetCaption("\xE2\x94\x9C");
    ShowTreeBtn->SetGroupIndex(2);
    ShowTreeBtn->SetAllowAllUp(true);
    ShowTreeBtn->OnClick = [this](TComponent* sender) { ShowTreeBtnClick(sender); };
    ListBtn = Make<TSpeedButton>(this, this, 400, 4, 23, 22);
    ListBtn->SetCaption("\xE2\x89\xA1");
    ListBtn->SetGroupIndex(1);
    ListBtn->SetTag(2);
    ListBtn->SetDown(true);
    ListBtn->OnClick = [this](TComponent* sender) { ViewBtnClick(sender); };
    DetailsBtn = Make<TSpeedButton>(this, this, 423, 4, 23, 22);
    DetailsBtn->SetCaption("\xE2\x98\xB0");
    DetailsBtn->SetGroupIndex(1);
    DetailsBtn->SetTag(3);
    DetailsBtn->OnClick = [this](TComponent* sender) { ViewBtnClick(sender); };

    SplitterContainer = Make<TMvGroup>(this, this, 4, 30, 443, 150);
    SplitterContainer->SetFrameStyle(TMvFrameStyle::ptfsNone);
    MvSplitter1 = new TMvSplitter(this);
    MvSplitter1->SetParent(SplitterContainer);
    MvSplitter1->SetAlign(TAlign::alClient);
    MvSplitter1->SetSplitterWidth(5);
    MvSplitter1->SetPaneMinSize(0, 4);
    MvSplitter1->SetPaneMinSize(1, 60);
    MvSplitter1->SetPosition(141);
    MvShellTree1 = new TMvOpenDlgShellTree(this, *this);
    MvShellTree1->SetParent(&MvSplitter1->Pane(0));
    MvShellTree1->SetAlign(TAlign::alClient);
    MvShellTree1->SetOptions(PTSTO(ptstoAutoFill) | PTSTO(ptstoDefaultKeyHandling) |
                             PTSTO(ptstoContextMenus) | PTSTO(ptstoDynamicRefresh));
    MvShellTree1->SetShowRoot(false);
    MvShellTree1->OnChange = [this](TComponent*, TTreeNode*) {
        // Another folder: the typed name no longer applies. The tree selecting again
        // the folder it shows (a refill) is no change, and a proposed name stays.
        const std::string folder = MvShellTree1->GetSelectedPath();
        if (FShownFlag && folder != FTreeFolder) {
            FTreeFolder = folder;
            FSettingEdit = true;
            FileNameEdt->SetTextValue("");
            FSettingEdit = false;
        }
    };
    MvShellList1 = new TMvOpenDlgShellList(this, *this);
    MvShellList1->SetParent(&MvSplitter1->Pane(1));
    MvShellList1->SetAlign(TAlign::alClient);
    MvShellList1->SetOptions(PTSLO(ptsloAutoFill) | PTSLO(ptsloDefaultKeyHandling) |
                             PTSLO(ptsloContextMenus) | PTSLO(ptsloDynamicRefresh));
    // Activating a file closes the dialog with OK instead of opening the file.
    MvShellList1->OnDblClickOpen = [this](TComponent*, bool& handled) {
        handled = true;
        ListSelectionChanged();
        SetModalResult(mrOk);
        bool canClose = true;
        FormCloseQuery(this, canClose);
        if (!canClose) SetModalResult(mrNone);
    };
    MvShellList1->OnFolderChanged = [this](TComponent*) { DoFolderChanged(); };
    MvShellCombo1->SetShellList(MvShellList1);

    Panel1 = Make<TPanel>(this, this, 0, 185, 451, 80);
    Panel1->SetAlign(TAlign::alBottom);
    Panel1->SetBevelOuter(TBevelCut::bvNone);
    FileNameTxt = Make<TLabel>(Panel1, Panel1, 8, 8, 80, 13);
    FilesOfTypeTxt = Make<TLabel>(Panel1, Panel1, 8, 34, 80, 13);
    FileNameEdt = Make<TEdit>(Panel1, Panel1, 96, 4, 264, 21);
    FileNameEdt->SetName("FileNameEdt");
    FileNameEdt->OnChange = [this](TComponent*) {
        if (FShownFlag && !FSettingEdit) FNameFromList = false;
    };
    FileNameCbx = Make<TComboBox>(Panel1, Panel1, 96, 4, 264, 21);
    FileNameCbx->SetVisible(false);
    FileTypesCbx = Make<TMvCombobox>(Panel1, Panel1, 96, 30, 264, 21);
    FileTypesCbx->OnSelEndOk = [this](TComponent* sender) { FileTypesCbxSelEndOk(sender); };
    OpenBtn = Make<TButton>(Panel1, Panel1, 368, 4, 75, 23);
    OpenBtn->SetName("OpenBtn");
    OpenBtn->SetModalResult(mrOk);
    OpenBtn->SetDefault(true);
    // The button closes the form with OK; the validation below may take that back.
    OpenBtn->OnClick = [this](TComponent*) {
        if (ModalResult() != mrOk) return;
        bool canClose = true;
        FormCloseQuery(this, canClose);
        if (!canClose) SetModalResult(mrNone);
    };
    CancelBtn = Make<TButton>(Panel1, Panel1, 368, 30, 75, 23);
    CancelBtn->SetModalResult(mrCancel);
    CancelBtn->SetCancel(true);
    ReadOnlyChk = Make<TCheckBox>(Panel1, Panel1, 96, 56, 200, 17);
    ReadOnlyChk->OnClick = [this](TComponent*) {
        if (ReadOnlyChk->Checked())
            FOptions |= ptofReadOnly;
        else
            FOptions &= ~ptofReadOnly;
    };
    HelpBtn = Make<TButton>(Panel1, Panel1, 368, 56, 75, 23);
    HelpBtn->SetVisible(false);
    HelpBtn->OnClick = [this](TComponent*) {
        bool callHelp = true;
        if (OnHelp) OnHelp(0, DialogHelpContext, callHelp);
    };
    for (TControl* c : std::initializer_list<TControl*>{FileNameEdt, OpenBtn, CancelBtn, ReadOnlyChk})
        c->OnKeyDown = [this](TComponent*, uint16_t& key, TShiftState shift) { FormKeyDown(key, shift); };

    // The list's menu.
    View1Mitm = new TMenuItem(this);
    LargeIcons1Mitm = new TMenuItem(this);
    Smallicons1MItm = new TMenuItem(this);
    List1Mitm = new TMenuItem(this);
    Details1Mitm = new TMenuItem(this);
    int tag = 0;
    for (TMenuItem* item : {LargeIcons1Mitm, Smallicons1MItm, List1Mitm, Details1Mitm}) {
        item->SetTag(tag++);
        item->OnClick = [this](TComponent* sender) { ViewBtnClick(sender); };
        View1Mitm->Add(item);
    }
    List1Mitm->SetChecked(true);
    Paste1Mitm = new TMenuItem(this);
    New1Mitm = new TMenuItem(this);
    Folder1Mitm = new TMenuItem(this);
    Folder1Mitm->OnClick = [this](TComponent*) { CreateNewFolderClick(); };
    New1Mitm->Add(Folder1Mitm);
    Properties1Mitm = new TMenuItem(this);
    Paste1Mitm->OnClick = [this](TComponent*) { MvShellList1->InvokeFolderCommand("paste"); };
    Properties1Mitm->OnClick = [this](TComponent*) { MvShellList1->InvokeFolderCommand("properties"); };
    LvPopup = new TPopupMenu(this);
    for (TMenuItem* item : {View1Mitm, Paste1Mitm, New1Mitm, Properties1Mitm}) LvPopup->Items()->Add(item);
    MvShellList1->SetPopupMenu(LvPopup);
}

// --- options, filter, folder ---

void TMvFrmOpenDlg::SetOptions(TMvOpenOptions value) {
    FOptions = value;
    MvShellList1->SetMultiSelect((value & ptofAllowMultiselect) != 0);
    TMvShellTreeOptions tree =
        MvShellTree1->Options() & ~(PTSTO(ptstoOleDrag) | PTSTO(ptstoOleDrop) | PTSTO(ptstoShowHidden));
    TMvShellListOptions list =
        MvShellList1->Options() & ~(PTSLO(ptsloHideFoldersWhenLinkedToTree) | PTSLO(ptsloOleDrag) |
                                    PTSLO(ptsloOleDrop) | PTSLO(ptsloShowHidden));
    if (value & ptofHideFoldersInListWhenTreeVisible) list |= PTSLO(ptsloHideFoldersWhenLinkedToTree);
    if (value & ptofOleDrag) {
        tree |= PTSTO(ptstoOleDrag);
        list |= PTSLO(ptsloOleDrag);
    }
    if (value & ptofOleDrop) {
        tree |= PTSTO(ptstoOleDrop);
        list |= PTSLO(ptsloOleDrop);
    }
    if (value & ptofShowHidden) {
        tree |= PTSTO(ptstoShowHidden);
        list |= PTSLO(ptsloShowHidden);
    }
    MvShellTree1->SetOptions(tree);
    MvShellList1->SetOptions(list);
    ReadOnlyChk->SetVisible(!(value & ptofHideReadOnly));
    ReadOnlyChk->SetChecked((value & ptofReadOnly) != 0);
    HelpBtn->SetVisible((value & ptofShowHelp) != 0);
    SetShowHint((value & ptofShowHints) != 0);
}

void TMvFrmOpenDlg::SetFilter(const std::string& filter) {
    FileTypesCbx->ClearItems();
    FMasks.clear();
    for (const TMvFilterEntry& entry : ParseFilter(filter)) {
        FileTypesCbx->AddItem(entry.Description, nullptr);
        FMasks.push_back(entry.Mask);
    }
}

int TMvFrmOpenDlg::FilterIndex() const {
    if (FileTypesCbx->Count() == 0) return 0;
    return FileTypesCbx->ItemIndex() + 1;
}

void TMvFrmOpenDlg::SetFilterIndex(int value) {
    if (value >= 1 && value <= FileTypesCbx->Count()) {
        FileTypesCbx->SetItemIndex(value - 1);
        FileTypesCbxSelEndOk(FileTypesCbx);
    } else if (FileTypesCbx->Count() > 0) {
        FileTypesCbx->SetItemIndex(0);
    }
}

void TMvFrmOpenDlg::FileTypesCbxSelEndOk(TComponent*) {
    if (!FTypedFilter.empty()) FileNameEdt->SetTextValue("");
    FTypedFilter.clear();
    const int index = FileTypesCbx->ItemIndex();
    if (index >= 0 && index < static_cast<int>(FMasks.size()))
        ApplyListFilter(FMasks[static_cast<size_t>(index)]);
    if (FShownFlag) DoTypeChanged();
}

void TMvFrmOpenDlg::ApplyListFilter(const std::string& mask) {
    MvShellList1->SetFileFilter(mask);
}

std::string TMvFrmOpenDlg::ListFileFilter() const {
    return MvShellList1->FileFilter();
}

void TMvFrmOpenDlg::SetInitialDir(const std::string& value) {
    FInitialDir = value;
    if (!value.empty()) NavigateTo(value);
}

std::string TMvFrmOpenDlg::CurrentDir() const {
    return MvShellList1->Folder().GetPath();
}

void TMvFrmOpenDlg::NavigateTo(const std::string& path) {
    MvShellCombo1->CurrentFolder().SetPath(path);
    MvShellCombo1->FlushPendingSync(true);
}

bool TMvFrmOpenDlg::IsFolder(const std::string& path) const {
    FileInfo info;
    return Fs().StatTarget(path, info) && info.IsDirectory;
}

// --- showing, hiding, size ---

void TMvFrmOpenDlg::DoShow() {
    SetCursor(TCursor::crHourGlass);
    TForm::DoShow();
    FileTypesCbx->SetExtendedUI(true);
    if (!(FOptions & ptofAllowTree)) {
        ShowTreeBtn->SetVisible(false);
        const int shift = ListBtn->Left() - ShowTreeBtn->Left();
        ListBtn->SetLeft(ShowTreeBtn->Left());
        DetailsBtn->SetLeft(DetailsBtn->Left() - shift);
    }
    int bottom = 0;
    for (TControl* c : {static_cast<TControl*>(FileNameTxt), static_cast<TControl*>(FilesOfTypeTxt),
                        static_cast<TControl*>(FileNameEdt), static_cast<TControl*>(FileTypesCbx),
                        static_cast<TControl*>(OpenBtn), static_cast<TControl*>(CancelBtn),
                        static_cast<TControl*>(ReadOnlyChk), static_cast<TControl*>(HelpBtn)})
        if (c->Visible()) bottom = std::max(bottom, c->Top() + c->Height());
    Panel1->SetHeight(bottom + 4);
    LocalizeTexts();
    ShowTree((FOptions & ptofShowTree) != 0);
    // The starting folder: the initial folder, else the folder of the name given, else
    // the current directory.
    FTreeFolder = FInitialDir;
    if (FInitialDir.empty()) {
        const std::string name = FileNameEdt->Text();
        const std::string folder = FolderPart(name);
        if (!folder.empty()) {
            NavigateTo(folder);
            FTreeFolder = folder;
            const std::string alone = NamePart(name);
            if (!alone.empty()) FileNameEdt->SetTextValue(alone);
        } else {
            char buffer[4096];
            if (::getcwd(buffer, sizeof buffer)) {
                NavigateTo(buffer);
                FTreeFolder = buffer;
            }
        }
    }
    while (FTreeFolder.size() > 1 && FTreeFolder.back() == '/') FTreeFolder.pop_back();
    FormResize();
    FNameFromList = true;
    FShownFlag = true;
    DoFormShow();
    SetCursor(TCursor::crDefault);
}

void TMvFrmOpenDlg::DoHide() {
    FShownFlag = false;
    TForm::DoHide();
    DoFormClose();
}

void TMvFrmOpenDlg::LocalizeTexts() {
    CancelBtn->SetCaption(DialogText(dtCancel));
    HelpBtn->SetCaption(DialogText(dtHelp));
    UpOneLevelBtn->SetHint(DialogText(dtUpOneLevel));
    CreateNewFolderBtn->SetHint(DialogText(dtCreateNewFolder));
    ShowDesktopBtn->SetHint(DialogText(dtDesktop));
    ListBtn->SetHint(DialogText(dtListHint) + "|" + DialogText(dtListHintLong));
    DetailsBtn->SetHint(DialogText(dtDetailsHint) + "|" + DialogText(dtDetailsHintLong));
    ReadOnlyChk->SetCaption(DialogText(dtReadOnly));
    FileNameTxt->SetCaption(DialogText(dtFileName));
    ShowTreeBtn->SetHint(DialogText(dtShowTree));
    View1Mitm->SetCaption(DialogText(dtView));
    View1Mitm->SetHint(DialogText(dtViewHint));
    LargeIcons1Mitm->SetCaption(DialogText(dtLargeIcons));
    LargeIcons1Mitm->SetHint(DialogText(dtLargeIconsHint));
    Smallicons1MItm->SetCaption(DialogText(dtSmallIcons));
    Smallicons1MItm->SetHint(DialogText(dtSmallIconsHint));
    List1Mitm->SetCaption(DialogText(dtList));
    List1Mitm->SetHint(DialogText(dtListHintLong));
    Details1Mitm->SetCaption(DialogText(dtDetails));
    Details1Mitm->SetHint(DialogText(dtDetailsHintLong));
    Paste1Mitm->SetCaption(DialogText(dtPaste));
    Paste1Mitm->SetHint(DialogText(dtPasteHint));
    New1Mitm->SetCaption(DialogText(dtNew));
    New1Mitm->SetHint(DialogText(dtNewHint));
    Folder1Mitm->SetCaption(DialogText(dtFolder));
    Folder1Mitm->SetHint(DialogText(dtFolderHint));
    Properties1Mitm->SetCaption(DialogText(dtProperties));
    Properties1Mitm->SetHint(DialogText(dtPropertiesHint));
    // The folder combo starts 8 pixels right of its label, its right edge kept.
    LookInTxt->SetAutoSize(true);
    const int comboRight = MvShellCombo1->Left() + MvShellCombo1->Width();
    const int comboLeft = LookInTxt->Left() + LookInTxt->Width() + 8;
    MvShellCombo1->SetBounds(comboLeft, MvShellCombo1->Top(), std::max(0, comboRight - comboLeft),
                             MvShellCombo1->Height());
    // Labels right-aligned: the fields start 8 pixels right of the wider label.
    for (TLabel* label : {LookInTxt, FileNameTxt, FilesOfTypeTxt}) label->SetAutoSize(true);
    const int labelRight = std::max(FileNameTxt->Left() + FileNameTxt->Width(),
                                    FilesOfTypeTxt->Left() + FilesOfTypeTxt->Width()) +
                           8;
    for (TControl* c : {static_cast<TControl*>(FileNameEdt), static_cast<TControl*>(FileNameCbx),
                        static_cast<TControl*>(FileTypesCbx), static_cast<TControl*>(ReadOnlyChk)}) {
        const int right = c->Left() + c->Width();
        c->SetBounds(labelRight, c->Top(), std::max(0, right - labelRight), c->Height());
    }
}

void TMvFrmOpenDlg::Resized() {
    TForm::Resized();
    FormResize();
}

void TMvFrmOpenDlg::FormResize() {
    if (!Panel1 || !SplitterContainer) return;
    const int w = ClientWidth();
    const int top = 4 + 22 + 4; // below the folder combo
    SplitterContainer->SetBounds(4, top, std::max(0, w - 8), std::max(0, Panel1->Top() - top));
    const int buttonLeft = w - OpenBtn->Width() - 16;
    for (TControl* c : {static_cast<TControl*>(OpenBtn), static_cast<TControl*>(CancelBtn),
                        static_cast<TControl*>(HelpBtn)})
        c->SetLeft(buttonLeft);
    for (TControl* c : {static_cast<TControl*>(FileNameEdt), static_cast<TControl*>(FileNameCbx),
                        static_cast<TControl*>(FileTypesCbx)})
        c->SetWidth(std::max(0, buttonLeft - 8 - c->Left()));
}

void TMvFrmOpenDlg::WndProc(TMessage& message) {
    if (message.Msg == WM_GETMINMAXINFO && message.LParam) {
        auto* info = reinterpret_cast<TMinMaxInfo*>(message.LParam);
        TForm::WndProc(message);
        info->ptMinTrackSize = {459, 274};
        return;
    }
    if (message.Msg == WMListSelectionMoved) {
        ListSelectionChanged();
        return;
    }
    TForm::WndProc(message);
}

// --- views, tree, keys ---

void TMvFrmOpenDlg::ViewBtnClick(TComponent* sender) {
    const intptr_t tag = sender ? sender->Tag() : 2;
    ListBtn->SetDown(ListBtn->Tag() == tag);
    DetailsBtn->SetDown(DetailsBtn->Tag() == tag);
    for (TMenuItem* item : {LargeIcons1Mitm, Smallicons1MItm, List1Mitm, Details1Mitm})
        item->SetChecked(item->Tag() == tag);
}

void TMvFrmOpenDlg::ShowTreeBtnClick(TComponent*) {
    ShowTree(ShowTreeBtn->Down());
}

void TMvFrmOpenDlg::ShowTree(bool show) {
    const int sw = MvSplitter1->SplitterWidth();
    if (show) {
        if (MvShellCombo1->ShellTree() == MvShellTree1 && MvSplitter1->Position() > -sw) return;
        ShowTreeBtn->SetDown(true);
        try {
            if (MvShellCombo1->ShellTree() != MvShellTree1 && MvShellTree1->ShellList() != MvShellList1) {
                // The first time: the tree starts in the folder shown.
                SetCursor(TCursor::crHourGlass);
                MvShellTree1->CurrentFolder().Assign(&MvShellCombo1->CurrentFolder());
                MvShellCombo1->SetShellList(nullptr);
                MvShellCombo1->SetShellTree(MvShellTree1);
                MvShellTree1->SetShellList(MvShellList1);
                MvSplitter1->SetPaneMinSize(0, 4);
                SetCursor(TCursor::crDefault);
            } else {
                MvShellCombo1->SetShellList(nullptr);
                MvShellCombo1->SetShellTree(MvShellTree1);
                MvShellTree1->SetShellList(MvShellList1);
                MvSplitter1->SetPaneMinSize(0, 4);
            }
            if (MvSplitter1->Position() < 0)
                MvSplitter1->SetPosition(200);
            else
                MvSplitter1->SetPosition(MvSplitter1->Position());
        } catch (...) {
            ShowTreeBtn->SetDown(false);
            SetCursor(TCursor::crDefault);
            throw;
        }
        FOptions |= ptofShowTree;
        MvShellTree1->SetTabStop(true);
    } else {
        ShowTreeBtn->SetDown(false);
        if (MvShellTree1->Focused()) MvShellList1->SetFocus();
        MvShellTree1->SetTabStop(false);
        const std::string folder = CurrentDir();
        MvShellTree1->SetShellList(nullptr);
        MvShellCombo1->SetShellTree(nullptr);
        MvShellCombo1->SetShellList(MvShellList1);
        MvSplitter1->SetPaneMinSize(0, -sw);
        MvSplitter1->SetPosition(-sw);
        FOptions &= ~ptofShowTree;
    }
    if (MvShellList1->Visible() && MvShellList1->HasOption(ptsloHideFoldersWhenLinkedToTree))
        MvShellList1->Refill();
}

void TMvFrmOpenDlg::FormKeyDown(uint16_t& key, TShiftState shift) {
    if (shift & (ssShift | ssCtrl | ssAlt)) return;
    switch (key) {
    case KeyF4:
        if (!MvShellCombo1->DroppedDown()) {
            MvShellCombo1->SetDroppedDown(true);
            MvShellCombo1->SetFocus();
        } else {
            MvShellCombo1->SetDroppedDown(false);
            MvShellList1->SetFocus();
            MvShellCombo1->SyncLinkedControls();
        }
        key = 0;
        break;
    case KeyF5:
        if (!MvShellCombo1->Focused()) MvShellCombo1->Refill();
        if (!MvShellList1->Focused()) MvShellList1->Refill();
        if (MvShellTree1->ShellList() == MvShellList1 && !MvShellTree1->Focused()) MvShellTree1->Refresh();
        break;
    case KeyF12:
        if (FOptions & ptofAllowTree) {
            ShowTree(!(FOptions & ptofShowTree));
            key = 0;
        }
        break;
    default:
        break;
    }
}

void TMvFrmOpenDlg::CreateNewFolderClick() {
    if (MvShellTree1->Focused() ||
        ((FOptions & ptofShowTree) && (FOptions & ptofHideFoldersInListWhenTreeVisible)))
        MvShellTree1->CreateNewFolder();
    else
        MvShellList1->CreateNewFolder(true);
}

void TMvFrmOpenDlg::ListSelectionChanged() {
    if (!FShownFlag) return;
    std::vector<TMvShListData*> files;
    for (int row = MvShellList1->GetNextItem(-1, LVNI_SELECTED); row >= 0;
         row = MvShellList1->GetNextItem(row, LVNI_SELECTED)) {
        TMvShListData* data = MvShellList1->GetItemData(row);
        if (data && !data->IsFolder()) files.push_back(data);
    }
    std::string text;
    if (files.size() >= 2) {
        for (TMvShListData* data : files) {
            if (!text.empty()) text += ' ';
            text += '"' + data->GetFileName() + '"';
        }
    } else if (files.size() == 1) {
        text = files.front()->GetDisplayName();
    }
    if (!files.empty() && text != FileNameEdt->Text()) {
        FSettingEdit = true;
        FileNameEdt->SetTextValue(text);
        FSettingEdit = false;
    }
    FNameFromList = true;
    DoSelectionChanged();
}

void TMvFrmOpenDlg::SelectEditText() {
    FileNameEdt->SetFocus();
    FileNameEdt->SelectAll();
}

// --- events ---

void TMvFrmOpenDlg::DoFormClose() {
    if (OnFormClose) OnFormClose(this);
}
void TMvFrmOpenDlg::DoFolderChanged() {
    if (OnFolderChanged) OnFolderChanged(this);
}
void TMvFrmOpenDlg::DoSelectionChanged() {
    if (OnSelectionChanged) OnSelectionChanged(this);
}
void TMvFrmOpenDlg::DoFormShow() {
    if (OnFormShow) OnFormShow(this);
}
void TMvFrmOpenDlg::DoTypeChanged() {
    if (OnTypeChanged) OnTypeChanged(this);
}

// --- closing with OK ---

void TMvFrmOpenDlg::FormCloseQuery(TComponent*, bool& canClose) {
    const std::string text = FileNameEdt->Text();
    if (HasWildcard(text)) {
        // A typed wildcard filters the list and keeps the dialog open.
        canClose = false;
        const std::string folder = FolderPart(text);
        if (!folder.empty()) {
            const std::string full = CombinePath(CurrentDir(), folder);
            if (IsFolder(full)) NavigateTo(full);
        }
        FTypedFilter = NamePart(text);
        ApplyListFilter(FTypedFilter);
        FSettingEdit = true;
        FileNameEdt->SetTextValue(FTypedFilter);
        FSettingEdit = false;
        SelectEditText();
        return;
    }
    canClose = ValidateNames(text);
    if (canClose && !(FOptions & ptofNoChangeDir)) {
        const std::string dir = CurrentDir();
        if (!dir.empty() && ::chdir(dir.c_str()) != 0) {
            // The current directory stays as it was.
        }
    }
}

bool TMvFrmOpenDlg::ValidateNames(const std::string& text) {
    FResults.clear();
    const std::vector<std::string> names = SplitFileNames(text);
    const std::string dir = WithSlash(CurrentDir());
    bool passed = false;
    for (const std::string& name : names) {
        passed = false;
        if (!(FOptions & ptofNoValidate) && !IsValidFileNameText(text)) {
            ShowDialogMessage(DialogTextWith(dtInvalidName, text), Caption(), TMvDlgMsgKind::dmkWarning,
                              TMvDlgMsgButtons::dmbOK);
            break;
        }
        std::string full = CombinePath(dir, name);
        if (full.empty()) {
            passed = true;
            continue;
        }
        if (IsFolder(full)) {
            // A typed folder is opened and the dialog stays.
            NavigateTo(full);
            SelectEditText();
            break;
        }
        if (!(FOptions & ptofNoDereferenceLinks)) {
            FileInfo info;
            if (Fs().Stat(full, info) && info.IsSymlink) {
                TMvShortcutInfo link;
                if (Succeeded(ResolveShortcut(full, link, false)) && !link.Path.empty()) full = link.Path;
            }
        }
        if (names.size() == 1) {
            TMvShListData* chosen = FNameFromList ? MvShellList1->GetSelectedData() : nullptr;
            if (chosen && !chosen->IsFolder()) {
                full = chosen->GetPath();
            } else {
                bool different = (FOptions & ptofExtensionDifferent) != 0;
                full = ApplyDefaultExt(full, FDefaultExt, IsRegisteredExtension, different);
                if (!FDefaultExt.empty()) {
                    if (different)
                        FOptions |= ptofExtensionDifferent;
                    else
                        FOptions &= ~ptofExtensionDifferent;
                }
                // Only a folder that exists is shown; a missing one is left to the check below.
                const std::string folder = FolderPart(full);
                if (!EqualNoCase(WithSlash(folder), dir) && IsFolder(folder)) NavigateTo(folder);
                // The name as the list shows it (any case): one match is that item, two
                // are a question for the user.
                const std::string alone = NamePart(full);
                int first = -1, matches = 0;
                for (int row = 0; row < MvShellList1->RowCount(); ++row) {
                    TMvShListData* data = MvShellList1->GetItemData(row);
                    if (!data || !EqualNoCase(data->GetDisplayName(), alone)) continue;
                    if (++matches == 1) first = row;
                }
                if (matches > 1) {
                    ShowDialogMessage(DialogTextWith(dtSeveralFiles, alone), Caption(),
                                      TMvDlgMsgKind::dmkWarning, TMvDlgMsgButtons::dmbOK);
                    MvShellList1->ClearSelection();
                    MvShellList1->SetItemState(first, LVIS_SELECTED | LVIS_FOCUSED,
                                               LVIS_SELECTED | LVIS_FOCUSED);
                    MvShellList1->MakeVisible(first);
                    MvShellList1->SetFocus();
                    break;
                }
                if (matches == 1) full = MvShellList1->GetItemData(first)->GetPath();
            }
        }
        if (!CheckFile(full)) break;
        FResults.push_back(full);
        passed = true;
    }
    if (!passed) FResults.clear();
    return passed && !FResults.empty();
}

bool TMvFrmOpenDlg::CheckFile(const std::string& full) {
    FileInfo info;
    const bool exists = Fs().StatTarget(full, info);
    const bool readOnly = exists && (info.Attributes & faReadOnly);
    const std::string folder = FolderPart(full);
    const bool folderExists = folder.empty() || IsFolder(folder);
    const std::string caption = Caption();
    switch (CheckFileCase(FOptions, exists, readOnly, folderExists)) {
    case TMvFileCheck::fcPass:
        return true;
    case TMvFileCheck::fcReadOnly:
        ShowDialogMessage(DialogTextWith(dtReadOnlyFile, full), caption, TMvDlgMsgKind::dmkWarning,
                          TMvDlgMsgButtons::dmbOK);
        return false;
    case TMvFileCheck::fcOverwrite:
        return ShowDialogMessage(DialogTextWith(dtReplaceFile, full), caption, TMvDlgMsgKind::dmkWarning,
                                 TMvDlgMsgButtons::dmbYesNo) == mrYes;
    case TMvFileCheck::fcPathMissing:
        ShowDialogMessage(DialogTextWith(dtPathNotFound, full), caption, TMvDlgMsgKind::dmkWarning,
                          TMvDlgMsgButtons::dmbOK);
        return false;
    case TMvFileCheck::fcFileMissing:
        ShowDialogMessage(DialogTextWith(dtFileNotFound, full), caption, TMvDlgMsgKind::dmkWarning,
                          TMvDlgMsgButtons::dmbOK);
        return false;
    case TMvFileCheck::fcCreate:
        return ShowDialogMessage(DialogTextWith(dtCreateFile, NamePart(full)), caption,
                                 TMvDlgMsgKind::dmkConfirmation, TMvDlgMsgButtons::dmbYesNo) == mrYes;
    }
    return false;
}

} // namespace mv
