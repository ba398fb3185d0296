#include "controls/shell/dialogs/MvFolderBrowseDlg.h"

#include "controls/shell/ShellTree.h"
#include "controls/shell/dialogs/DialogTexts.h"

#include <algorithm>
#include <stdexcept>

namespace mv {

// --- the component ---

TMvCustomFolderBrowseDlg::TMvCustomFolderBrowseDlg(TComponent* owner) : TMvDialog(owner) {
    FTitle.clear();
}

TMvCustomFolderBrowseDlg::~TMvCustomFolderBrowseDlg() = default;

std::string TMvCustomFolderBrowseDlg::GetSelectedPath() {
    return FSelectedFolder.GetPath();
}

bool TMvCustomFolderBrowseDlg::DoExecute() {
    if (FForm) throw std::runtime_error("TMvFolderBrowseDlg form already active");
    return RunForm(
        FForm, CreateForm(), [this](TMvFrmFolderBrowseDlg& form) { InitForm(form); },
        [this](TMvFrmFolderBrowseDlg& form) { ReadForm(form); });
}

std::unique_ptr<TMvFrmFolderBrowseDlg> TMvCustomFolderBrowseDlg::CreateForm() {
    return std::make_unique<TMvFrmFolderBrowseDlg>(nullptr);
}

void TMvCustomFolderBrowseDlg::InitForm(TMvFrmFolderBrowseDlg& form) {
    form.OnSelChange = OnSelChange;
    form.MvShellTree1->OnAddItem = OnAddItem;
    form.MvShellTree1->OnCustomDrawSh = OnTvCustomDrawSh;
    form.MvShellTree1->OnCustomDrawShEx = OnTvCustomDrawShEx;
    form.OnFormShow = OnFormShow;
    form.OnFormClose = OnFormClose;
    form.StatusTxt->SetCaption(FStatusText);
    if (FFormWidth > 0) form.SetWidth(FFormWidth);
    if (FFormHeight > 0) form.SetHeight(FFormHeight);
    form.SetWindowState(FFormWindowState);
    form.SetOptions(FOptions);
    form.SetCaption(FTitle.empty() ? DialogText(dtBrowseCaption) : FTitle);
    form.SetBaseFolder(FBaseFolder);
    form.SetCurrentFolder(FSelectedFolder);
}

void TMvCustomFolderBrowseDlg::ReadForm(TMvFrmFolderBrowseDlg& form) {
    const TWindowPlacement placement = form.GetWindowPlacement();
    FFormWidth = placement.rcNormalPosition.Right - placement.rcNormalPosition.Left;
    FFormHeight = placement.rcNormalPosition.Bottom - placement.rcNormalPosition.Top;
    FFormWindowState = form.WindowState();
    if (form.ModalResult() == mrOk) FSelectedFolder.Assign(&form.CurrentFolder());
}

// --- the form ---

TMvFrmFolderBrowseDlg::TMvFrmFolderBrowseDlg(TComponent* owner) : TForm(owner) {
    SetName("MvFrmFolderBrowseDlg");
    SetPosition(TPosition::poScreenCenter);
    SetBorderIcons(biSystemMenu | biMaximize);
    SetClientWidth(358);
    SetClientHeight(313);
    CreateNewFolderBtn = new TSpeedButton(this);
    CreateNewFolderBtn->SetParent(this);
    CreateNewFolderBtn->SetBounds(304, 2, 23, 22);
    CreateNewFolderBtn->SetCaption("+");
    CreateNewFolderBtn->SetShowHint(true);
    CreateNewFolderBtn->OnClick = [this](TComponent* sender) { CreateBtnClick(sender); };
    DeleteFolderBtn = new TSpeedButton(this);
    DeleteFolderBtn->SetParent(this);
    DeleteFolderBtn->SetBounds(331, 2, 23, 22);
    DeleteFolderBtn->SetCaption("\xC3\x97"); // a multiplication sign
    DeleteFolderBtn->SetShowHint(true);
    DeleteFolderBtn->OnClick = [this](TComponent* sender) { DeleteBtnClick(sender); };
    StatusTxt = new TMvFrame(this);
    StatusTxt->SetParent(this);
    StatusTxt->SetBounds(8, 8, 288, 16);
    StatusTxt->SetFrameStyle(TMvFrameStyle::ptfsNone);
    StatusTxt->SetFrameSpace(0);
    StatusTxt->SetAlignment(TAlignment::taLeftJustify);
    MvShellTree1 = new TMvShellTree(this);
    MvShellTree1->SetParent(this);
    MvShellTree1->SetBounds(8, 28, 342, 242);
    MvShellTree1->SetShowRoot(true);
    MvShellTree1->OnChange = [this](TComponent*, TTreeNode*) { MvShellTree1Change(); };
    ButtonPanel = new TPanel(this);
    ButtonPanel->SetParent(this);
    ButtonPanel->SetBevelOuter(TBevelCut::bvNone);
    ButtonPanel->SetBounds(0, 278, 358, 35);
    ButtonPanel->SetAlign(TAlign::alBottom);
    auto button = [this](int result) {
        auto* b = new TButton(ButtonPanel);
        b->SetParent(ButtonPanel);
        b->SetBounds(0, 6, 75, 23);
        b->SetModalResult(result);
        return b;
    };
    OkBtn = button(mrOk);
    OkBtn->SetDefault(true);
    CancelBtn = button(mrCancel);
    CancelBtn->SetCancel(true);
    CreateBtn = button(mrNone);
    CreateBtn->OnClick = [this](TComponent* sender) { CreateBtnClick(sender); };
    DeleteBtn = button(mrNone);
    DeleteBtn->OnClick = [this](TComponent* sender) { DeleteBtnClick(sender); };
    // The tree is filled when the form is shown, in its final size and folder.
    MvShellTree1->SetOptions(MvShellTree1->Options() & ~PTSTO(ptstoAutoFill));
    FAutoFill = true;
    SetOptions(FOptions);
    FormResize();
}

TMvFrmFolderBrowseDlg::~TMvFrmFolderBrowseDlg() {
    BeginDestruction();
}

void TMvFrmFolderBrowseDlg::SetOptions(TMvFolderBrowseDlgOptions value) {
    FOptions = value;
    // The tree's own options, and those the dialog's options turn on.
    TMvShellTreeOptions tree = PTSTO(ptstoDynamicRefresh);
    if (MvShellTree1->HasOption(ptstoAutoFill)) tree |= PTSTO(ptstoAutoFill);
    const std::pair<TMvFolderBrowseDlgOptions, TMvShellTreeOption> map[] = {
        {ptfbContextMenus, ptstoContextMenus},
        {ptfbIncludeNonFolders, ptstoIncludeNonFolders},
        {ptfbOleDrag, ptstoOleDrag},
        {ptfbOleDrop, ptstoOleDrop},
        {ptfbVirtualFolders, ptstoVirtualFolders},
        {ptfbShowHidden, ptstoShowHidden}};
    for (const auto& [bit, option] : map)
        if (value & bit) tree |= PTSTO(option);
    MvShellTree1->SetOptions(tree);
    MvShellTree1->SetReadOnly((value & ptfbReadOnly) != 0);
    CreateBtn->SetVisible((value & ptfbCreateDeleteButtons) != 0);
    DeleteBtn->SetVisible((value & ptfbCreateDeleteButtons) != 0);
    CreateNewFolderBtn->SetVisible((value & ptfbCreateFolderIcon) != 0);
    DeleteFolderBtn->SetVisible((value & ptfbDeleteFolderIcon) != 0);
    FormResize();
}

void TMvFrmFolderBrowseDlg::SetBaseFolder(TMvShellLocator& value) {
    MvShellTree1->BaseFolder().Assign(&value);
}

void TMvFrmFolderBrowseDlg::SetCurrentFolder(TMvShellLocator& value) {
    FCurrentFolder.Assign(&value);
    MvShellTree1->CurrentFolder().Assign(&value);
}

void TMvFrmFolderBrowseDlg::CreateBtnClick(TComponent*) {
    MvShellTree1->CreateNewFolder();
}

void TMvFrmFolderBrowseDlg::DeleteBtnClick(TComponent*) {
    TTreeNode* node = MvShellTree1->Selected();
    // The root is never deleted from here, whatever enabled the button.
    if (!node || node == MvShellTree1->Items().GetFirstNode()) return;
    MvShellTree1->InvokeCommand(node, "delete");
    MvShellTree1->Refresh();
}

void TMvFrmFolderBrowseDlg::MvShellTree1Change() {
    TTreeNode* node = MvShellTree1->Selected();
    TMvShTreeData* data = node ? MvShellTree1->NodeData(node) : nullptr;
    if (!data) return;
    SelectionChanged(data->GetAbsoluteIdList(), data->GetPath(),
                     node == MvShellTree1->Items().GetFirstNode());
}

void TMvFrmFolderBrowseDlg::SelectionChanged(const TIdList& absolute, const std::string& path,
                                             bool firstNode) {
    FCurrentFolder.SetPidl(absolute);
    const bool canCreate = !path.empty();
    const bool canDelete = canCreate && !firstNode;
    CreateBtn->SetEnabled(canCreate);
    CreateNewFolderBtn->SetEnabled(canCreate);
    DeleteBtn->SetEnabled(canDelete);
    DeleteFolderBtn->SetEnabled(canDelete);
    if (OnSelChange) OnSelChange(this, absolute);
}

void TMvFrmFolderBrowseDlg::DoShow() {
    TForm::DoShow();
    // The tree is filled once the window is up, not while it is being made.
    if (FAutoFill) {
        MvShellTree1->SetOptions(MvShellTree1->Options() | PTSTO(ptstoAutoFill));
        MvShellTree1->Refill();
        FAutoFill = false;
    }
    OkBtn->SetCaption(DialogText(dtOk));
    CancelBtn->SetCaption(DialogText(dtCancel));
    CreateBtn->SetCaption(DialogText(dtCreateFolder));
    DeleteBtn->SetCaption(DialogText(dtDelete));
    CreateNewFolderBtn->SetHint(DialogText(dtCreateFolder) + "|" + DialogText(dtFolderHint));
    DeleteFolderBtn->SetHint(DialogText(dtDelete) + "|" + DialogText(dtDeleteHint));
    if (Caption().empty()) SetCaption(DialogText(dtBrowseCaption));
    FormResize();
    if (OnFormShow) OnFormShow(this);
    SetCursor(TCursor::crDefault);
}

void TMvFrmFolderBrowseDlg::DoHide() {
    TForm::DoHide();
    if (OnFormClose) OnFormClose(this);
}

void TMvFrmFolderBrowseDlg::Resized() {
    TForm::Resized();
    FormResize();
}

void TMvFrmFolderBrowseDlg::FormResize() {
    if (!ButtonPanel || !DeleteBtn) return;
    const int cw = ClientWidth();
    StatusTxt->SetWidth(std::max(0, Width() - 24));
    TControl* tree = MvShellTree1;
    const int treeLeft = tree ? tree->Left() : 8;
    if (tree) {
        const int top = StatusTxt->Top() + StatusTxt->Height() + 8;
        tree->SetBounds(treeLeft, top, std::max(0, Width() - 24), std::max(0, ButtonPanel->Top() - 8 - top));
    }
    if (FOptions & ptfbCreateDeleteButtons) {
        OkBtn->SetLeft(treeLeft);
        CancelBtn->SetLeft(OkBtn->Left() + OkBtn->Width() + 4);
        DeleteBtn->SetLeft(cw - 16 - DeleteBtn->Width());
        CreateBtn->SetLeft(DeleteBtn->Left() - 4 - CreateBtn->Width());
    } else {
        CancelBtn->SetLeft(cw - 16 - CancelBtn->Width());
        OkBtn->SetLeft(CancelBtn->Left() - 4 - OkBtn->Width());
    }
    int edge = cw - 16;
    if (DeleteFolderBtn->Visible()) {
        DeleteFolderBtn->SetLeft(edge - DeleteFolderBtn->Width());
        edge = DeleteFolderBtn->Left() - 8;
    }
    if (CreateNewFolderBtn->Visible()) {
        CreateNewFolderBtn->SetLeft(edge - CreateNewFolderBtn->Width());
        edge = CreateNewFolderBtn->Left() - 4;
    }
    StatusTxt->SetWidth(std::max(0, edge - StatusTxt->Left()));
}

void TMvFrmFolderBrowseDlg::WndProc(TMessage& message) {
    if (message.Msg == WM_GETMINMAXINFO && message.LParam) {
        auto* info = reinterpret_cast<TMinMaxInfo*>(message.LParam);
        TForm::WndProc(message);
        info->ptMinTrackSize = {366, 340};
        return;
    }
    TForm::WndProc(message);
}

} // namespace mv
