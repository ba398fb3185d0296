#include "controls/shell/ShellTree.h"

#include "controls/shell/ShellCombo.h"
#include "controls/shell/ShellList.h"
#include "controls/shell/SystemImages.h"
#include "platform/desktop/ShellNamespace.h"
#include "platform/ui/MimeData.h"

#include <chrono>

namespace mv {

using namespace desktop;

namespace {
constexpr uint32_t TreeAddMask = 0xF20B0000;     // the folder bits, removable, hidden, share, link
constexpr uint32_t TreeRefreshMask = 0xF3000000; // the folder bits, removable, validate
constexpr uint16_t VK_F2 = 0x71, VK_F5 = 0x74;

uint64_t TickCount() {
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

uint16_t ShortCutOf(uint16_t key, TShiftState shift) {
    uint16_t shortCut = key;
    if (shift & ssShift) shortCut |= scShift;
    if (shift & ssCtrl) shortCut |= scCtrl;
    if (shift & ssAlt) shortCut |= scAlt;
    return shortCut;
}

// The order of two relative lists in a folder, as the folder gives it (0 on failure).
int FolderCompare(const TShellFolder& folder, const TIdList& a, const TIdList& b) {
    int result = 0;
    if (!Succeeded(folder.CompareIDs(0, a, b, result))) return 0;
    return result;
}
} // namespace

class TMvCustomShellTree::TBusy {
public:
    explicit TBusy(TMvCustomShellTree& tree) : FTree(tree) { ++FTree.FBusy; }
    ~TBusy() { --FTree.FBusy; }
    TBusy(const TBusy&) = delete;
    TBusy& operator=(const TBusy&) = delete;

private:
    TMvCustomShellTree& FTree;
};

TMvCustomShellTree::TMvCustomShellTree(TComponent* owner)
    : TMvCustomTreeView(owner), FBaseFolder(std::make_unique<TMvShellLocator>()),
      FCurrentFolder(std::make_unique<TMvShellLocator>()) {
    FBaseFolder->OnChange = [this](TMvShellLocator&) { BaseFolderChanged(); };
    FCurrentFolder->OnChange = [this](TMvShellLocator&) { CurrentFolderChanged(); };
    FLinkTimer.OnTimer = [this] { LinkTick(); };
    SetShowRoot(false);
    SetImages(GetSystemImageList(0));
    if (HasOption(ptstoOleDrop)) RegisterDropTarget(true);
    // The first fill comes once the program runs its messages.
    if (HasOption(ptstoAutoFill)) PostMessage(this, WMChangeNotifyRefresh, 0, 0);
}

TMvCustomShellTree::~TMvCustomShellTree() {
    BeginDestruction();
    FLinkTimer.OnTimer = nullptr;
    FChangeThread.reset();
    if (FDropRegistered) RevokeDragDrop(*this);
    if (FShellList) FShellList->SetTreeLink(nullptr);
    if (FShellCombo) FShellCombo->FShellTree = nullptr;
    {
        TBusy busy(*this);
        // The nodes' records go while this class can still free them.
        Items().Clear();
    }
    if (FDropData) FDropData->Release();
    if (FDropNodeTarget) FDropNodeTarget->Release();
}

// ---- Links and options ----

void TMvCustomShellTree::SetShellList(TMvCustomShellList* value) {
    if (value == FShellList) return;
    if (FShellList) {
        FShellList->SetTreeLink(nullptr);
        FShellList->RemoveFreeNotification(this);
    }
    FShellList = value;
    if (FShellList) {
        FShellList->FreeNotification(this);
        FShellList->SetTreeLink(this);
        if (TTreeNode* node = Selected(); node && ShellData(node)) {
            TBusy busy(*this);
            FShellList->SyncFromTreeNode(node);
        }
    }
}

void TMvCustomShellTree::SetComboLink(TMvCustomShellCombo* combo) {
    if (FShellCombo) FShellCombo->RemoveFreeNotification(this);
    FShellCombo = combo;
    if (FShellCombo) FShellCombo->FreeNotification(this);
}

void TMvCustomShellTree::Notification(TComponent* component, TOperation operation) {
    TMvCustomTreeView::Notification(component, operation);
    if (operation != TOperation::opRemove) return;
    if (component == FShellList) FShellList = nullptr;
    if (component == FShellCombo) FShellCombo = nullptr;
}

void TMvCustomShellTree::SetOptions(TMvShellTreeOptions value) {
    const TMvShellTreeOptions old = FOptions;
    FOptions = value;
    const auto switched = [&](TMvShellTreeOption o) { return ((old ^ value) & PTSTO(o)) != 0; };
    if (switched(ptstoOleDrop)) RegisterDropTarget(HasOption(ptstoOleDrop));
    if (switched(ptstoDynamicRefresh)) {
        if (HasOption(ptstoDynamicRefresh))
            WatchLocalDrives();
        else if (FChangeThread)
            FChangeThread->RemoveAllWatches();
    }
}

// ---- Records ----

TMvShTreeData* TMvCustomShellTree::ShellData(TTreeNode* node) const {
    if (!node || !node->Data()) return nullptr;
    auto* data = static_cast<TMvShTreeData*>(node->Data());
    // Records of this control know it; anything else hung on a node is foreign.
    return FOwnedData.count(data) ? data : nullptr;
}

TMvShTreeData* TMvCustomShellTree::NodeData(TTreeNode* node) const {
    return ShellData(node);
}

TMvShTreeData* TMvCustomShellTree::GetItemData(int index) {
    return ShellData(Items().Item(index));
}

std::string TMvCustomShellTree::GetSelectedPath() {
    TMvShTreeData* data = ShellData(Selected());
    return data ? data->GetPath() : std::string();
}

// ---- Filling ----

void TMvCustomShellTree::BaseFolderChanged() {
    FCurrentFolder->Clear();
    if (HasOption(ptstoAutoFill)) {
        FImmediate = true;
        Refill();
    }
}

void TMvCustomShellTree::CurrentFolderChanged() {
    if (Items().TopCount() > 0) SelectPidl(FCurrentFolder->GetPidl());
}

void TMvCustomShellTree::Refill() {
    if (FDragging || IsEditing()) {
        FRefreshPending = true;
        return;
    }
    {
        TBusy busy(*this);
        SetSelected(nullptr);
        Items().Clear();
    }
    TShellFolderRef root;
    const TIdList base = FBaseFolder->GetPidl();
    if (PidlSize(base) > 2) {
        HRESULT hr = BindToFolder(base, root);
        if (!Succeeded(hr)) throw EShellError(SysErrorText(hr));
    } else
        root = DesktopFolder();
    FillTree(root, nullptr);
    if (!FCurrentFolder->GetPidl().empty())
        SelectPidl(FCurrentFolder->GetPidl());
    else if (TTreeNode* first = Items().GetFirstNode())
        SetSelected(first);
    FlushPendingSync(false);
    if (HasOption(ptstoDynamicRefresh)) WatchLocalDrives();
}

void TMvCustomShellTree::FillTree(TShellFolderRef folder, TTreeNode* node) {
    DoFillStart();
    struct TFillEnd {
        TMvCustomShellTree& Tree;
        ~TFillEnd() { Tree.DoFillComplete(); }
    } fillEnd{*this};
    const bool isRoot = node == nullptr;
    if (isRoot) {
        TIdList abs = CopyPidl(FBaseFolder->GetPidl());
        if (abs.empty()) abs = {0, 0};
        node = Items().AddChild(nullptr, IdListDisplayName(abs, shgdnInFolder));
        node->SetImageIndex(GetPidlIconIndex(abs, shgfiSmallIcon));
        node->SetSelectedIndex(GetPidlIconIndex(abs, shgfiSmallIcon | shgfiOpenIcon));
        auto* data = new TMvShTreeData(this);
        data->Initialize(nullptr, abs);
        data->SetShellFolder(folder);
        FOwnedData.insert(data);
        node->SetData(data);
    }
    if (!folder) {
        node->SetHasChildren(false);
        return;
    }
    uint32_t flags = shcontFolders;
    if (HasOption(ptstoIncludeNonFolders)) flags |= shcontNonFolders;
    if (HasOption(ptstoShowHidden)) flags |= shcontIncludeHidden;
    std::vector<TIdList> children;
    if (!Succeeded(folder->EnumObjects(flags, children))) {
        node->SetHasChildren(false);
        return;
    }
    Items().BeginUpdate();
    for (const TIdList& child : children) {
        TTreeNode* added = nullptr;
        AddFolderNode(folder, node, child, added);
    }
    Items().EndUpdate();
    if (node->Count() == 0) node->SetHasChildren(false);
    SortChildren(node);
    if (isRoot) node->Expand(false);
    if (HasOption(ptstoDynamicRefresh) && FChangeThread) {
        const std::string path = PidlToPath(ShellData(node)->GetAbsoluteIdList());
        if (!path.empty()) StartChangeNotification(path);
    }
}

HRESULT TMvCustomShellTree::AddFolderNode(TShellFolderRef folder, TTreeNode* parent, const TIdList& relative,
                                          TTreeNode*& added) {
    added = nullptr;
    uint32_t attributes = TreeAddMask;
    HRESULT hr = folder->GetAttributesOf({relative}, attributes);
    if (!Succeeded(hr)) return hr;
    bool keep = HasOption(ptstoVirtualFolders) || (attributes & (sfgaoFileSystem | sfgaoFileSysAncestor));
    if (keep) keep = AcceptItem(*folder, folder->AbsoluteIdList(), attributes, relative);
    if (!keep) return S_OK;
    TTreeNode* node = Items().AddChild(parent, GetItemDisplayName(*folder, relative, shgdnInFolder));
    const bool isFolder = attributes & sfgaoFolder, hasSub = attributes & sfgaoHasSubfolder;
    node->SetHasChildren(HasOption(ptstoIncludeNonFolders) ? (isFolder || hasSub) : (isFolder && hasSub));
    if (attributes & sfgaoShare) node->SetOverlayIndex(0);
    else if (attributes & sfgaoLink) node->SetOverlayIndex(1);
    if (attributes & sfgaoHidden) node->SetCut(true);
    auto* data = new TMvShTreeData(this);
    data->Initialize(ShellData(parent), relative);
    FOwnedData.insert(data);
    node->SetData(data);
    DoInsertItem(node);
    added = node;
    return S_OK;
}

void TMvCustomShellTree::SortChildren(TTreeNode* node) {
    TMvShTreeData* data = ShellData(node);
    TShellFolderRef folder = data ? data->GetShellFolder() : nullptr;
    if (!folder) return;
    node->CustomSort([&](TTreeNode* a, TTreeNode* b) {
        TMvShTreeData *da = ShellData(a), *db = ShellData(b);
        if (!da || !db) return 0;
        return FolderCompare(*folder, da->RelIdList(), db->RelIdList());
    });
}

bool TMvCustomShellTree::AcceptItem(const TShellFolder& folder, const TIdList& parentAbsIdList, uint32_t attributes,
                                    const TIdList& relIdList) {
    bool allow = true;
    if (OnAddItem) OnAddItem(this, &folder, parentAbsIdList, relIdList, attributes, allow);
    return allow;
}

void TMvCustomShellTree::DoInsertItem(TTreeNode* node) {
    FLastInserted = node;
    if (OnInsertItem) OnInsertItem(this, node);
}

void TMvCustomShellTree::DoDeleteItem(TTreeNode* node) {
    TMvShTreeData* data = ShellData(node);
    if (!data) return;
    if (OnDeleteItem) OnDeleteItem(this, node, data);
    node->SetData(nullptr);
    FOwnedData.erase(data);
    delete data;
}

void TMvCustomShellTree::Delete(TTreeNode* node) {
    if (node == FLastInserted) FLastInserted = nullptr;
    if (node == FDragNode) FDragNode = nullptr;
    if (node == FDropNode) FDropNode = nullptr;
    TMvCustomTreeView::Delete(node);
    DoDeleteItem(node);
}

void TMvCustomShellTree::DoFillStart() {
    if (OnFillStart) OnFillStart(this);
}

void TMvCustomShellTree::DoFillComplete() {
    if (OnFillComplete) OnFillComplete(this);
}

bool TMvCustomShellTree::CanExpand(TTreeNode* node) {
    if (!TMvCustomTreeView::CanExpand(node)) return false;
    RefillNode(node);
    return true;
}

void TMvCustomShellTree::RefillNode(TTreeNode* node) {
    if (!node || !node->HasChildren() || node->Count() > 0) return;
    TMvShTreeData* data = ShellData(node);
    if (!data) return;
    FillTree(data->GetShellFolder(), node);
}

void TMvCustomShellTree::DoGetImageIndex(TTreeNode* node) {
    if (TMvShTreeData* data = ShellData(node); data && node->ImageIndex() < 0)
        node->SetImageIndex(GetPidlIconIndex(data->GetAbsoluteIdList(), shgfiSmallIcon));
    TMvCustomTreeView::DoGetImageIndex(node);
}

void TMvCustomShellTree::DoGetSelectedIndex(TTreeNode* node) {
    if (TMvShTreeData* data = ShellData(node); data && node->SelectedIndex() < 0)
        node->SetSelectedIndex(GetPidlIconIndex(data->GetAbsoluteIdList(), shgfiSmallIcon | shgfiOpenIcon));
    TMvCustomTreeView::DoGetSelectedIndex(node);
}

// ---- Selection and the linked controls ----

void TMvCustomShellTree::SetPath(const std::string& path) {
    if (FBusy > 0) return;
    FCurrentFolder->SetPath(path);
}

void TMvCustomShellTree::SelectPidl(const TIdList& pidl) {
    if (FBusy > 0) return;
    FImmediate = true;
    const TIdList base = FBaseFolder->GetPidl();
    const TMvIdListArray baseChain(base), target(pidl);
    TTreeNode* first = Items().GetFirstNode();
    while (first && !ShellData(first)) first = first->GetNextSibling();
    if (!first) return;
    if (target.Count() == 0) {
        SetSelected(first);
        FImmediate = false;
        return;
    }
    if (target.Count() <= baseChain.Count()) {
        SetSelected(first);
        FImmediate = false;
        first->Expand(false);
        return;
    }
    TTreeNode* node = first;
    node->Expand(false);
    for (int level = baseChain.Count(); level < target.Count(); ++level) {
        const TIdList item = target.Item(level);
        TShellFolderRef folder = ShellData(node)->GetShellFolder();
        if (!folder) break;
        TTreeNode* found = nullptr;
        for (int i = 0; i < node->Count() && !found; ++i)
            if (TMvShTreeData* d = ShellData(node->Item(i)); d && FolderCompare(*folder, d->RelIdList(), item) == 0)
                found = node->Item(i);
        if (!found) {
            // A hidden or filtered folder appears when it is navigated to.
            if (!Succeeded(AddFolderNode(folder, node, item, found)) || !found) break;
            SortChildren(node);
        }
        node = found;
        const bool last = level == target.Count() - 1;
        if (!last || (FShellList && FShellList->HasOption(ptsloHideFoldersWhenLinkedToTree))) node->Expand(false);
    }
    SetSelected(node);
    // Used by the selection change above, or not needed when the node was selected.
    FImmediate = false;
    node->MakeVisible();
}

void TMvCustomShellTree::NodeClick(TPoint at) {
    TTreeNode* node = GetNodeAt(at.X, at.Y);
    if (node && node != Selected()) FImmediate = true;
}

void TMvCustomShellTree::Change(TTreeNode* node) {
    TMvShTreeData* data = ShellData(node);
    if (FBusy > 0) {
        if (data) {
            TBusy busy(*this);
            FCurrentFolder->SetPidl(data->GetAbsoluteIdList());
        }
        return;
    }
    TMvCustomTreeView::Change(node);
    if (!data) return;
    if (FImmediate || !FShellList) {
        FLinkTimer.Stop();
        MoveLinkedControls(node);
        FImmediate = false;
    } else
        // Keyboard travel moves the list once it rests.
        FLinkTimer.Start(500, 1);
}

void TMvCustomShellTree::MoveLinkedControls(TTreeNode* node) {
    TMvShTreeData* data = ShellData(node);
    if (!data) return;
    TBusy busy(*this);
    FCurrentFolder->SetPidl(data->GetAbsoluteIdList());
    if (FShellList) FShellList->SyncFromTreeNode(node);
    if (FShellCombo) FShellCombo->FolderFromTreeNode(node);
}

void TMvCustomShellTree::LinkTick() {
    FLinkTimer.Stop();
    const int tag = FLinkTimer.Tag();
    FLinkTimer.SetTag(0);
    if (tag == 1) MoveLinkedControls(Selected());
    else if (tag == 2) Refresh();
}

void TMvCustomShellTree::FlushPendingSync(bool cascade) {
    if (cascade) {
        if (FShellList) FShellList->FlushPendingSync(false);
        if (FShellCombo) FShellCombo->FlushPendingSync(false);
    }
    if (FLinkTimer.Enabled()) LinkTick();
}

void TMvCustomShellTree::GoUp(int levels) {
    TTreeNode* node = Selected();
    if (!node) return;
    for (int i = 0; i < levels && node->Parent(); ++i) node = node->Parent();
    FImmediate = true;
    SetSelected(node);
    FImmediate = false;
}

// ---- Refresh ----

void TMvCustomShellTree::Refresh() {
    if (FDragging || IsEditing()) {
        FRefreshPending = true;
        return;
    }
    if (Items().TopCount() == 0) {
        Refill();
        return;
    }
    DoFillStart();
    TTreeNode* remembered = Selected();
    {
        TBusy busy(*this);
        SetSelected(nullptr);
        RefreshNode(Items().GetFirstNode(), remembered);
    }
    FImmediate = true;
    if (remembered) SetSelected(remembered);
    FImmediate = false;
    DoFillComplete();
}

void TMvCustomShellTree::RefreshNode(TTreeNode* node, TTreeNode*& remembered) {
    if (!node || (node->Count() == 0 && node != remembered)) return;
    TMvShTreeData* data = ShellData(node);
    TShellFolderRef folder = data ? data->GetShellFolder() : nullptr;
    if (!folder) return;
    std::vector<TIdList> kept;
    for (int i = node->Count() - 1; i >= 0; --i) {
        TTreeNode* child = node->Item(i);
        TMvShTreeData* childData = ShellData(child);
        if (!childData) continue;
        uint32_t attributes = TreeRefreshMask;
        if (Succeeded(folder->GetAttributesOf({childData->RelIdList()}, attributes))) {
            kept.push_back(childData->RelIdList());
            if (!child->HasChildren() && (attributes & sfgaoHasSubfolder) && (attributes & sfgaoFolder))
                child->SetHasChildren(true);
            continue;
        }
        // Gone: a selection on it or below it moves to its parent.
        if (remembered && (remembered == child || remembered->HasAsParent(child))) remembered = node;
        if (node->Count() == 1) node->DeleteChildren();
        else child->Delete();
    }
    uint32_t flags = shcontFolders;
    if (HasOption(ptstoShowHidden)) flags |= shcontIncludeHidden;
    std::vector<TIdList> present;
    bool added = false;
    if (Succeeded(folder->EnumObjects(flags, present)))
        for (const TIdList& item : present) {
            bool known = false;
            for (const TIdList& k : kept)
                if (FolderCompare(*folder, k, item) == 0) {
                    known = true;
                    break;
                }
            if (known) continue;
            TTreeNode* node2 = nullptr;
            if (Succeeded(AddFolderNode(folder, node, item, node2)) && node2) added = true;
        }
    if (added) SortChildren(node);
    for (int i = 0; i < node->Count(); ++i) RefreshNode(node->Item(i), remembered);
}

void TMvCustomShellTree::RunPendingRefresh() {
    if (!FRefreshPending || FDragging || IsEditing()) return;
    FRefreshPending = false;
    Refresh();
}

// ---- Renaming ----

bool TMvCustomShellTree::CanEdit(TTreeNode* node) {
    TMvShTreeData* data = ShellData(node);
    if (!data) return TMvCustomTreeView::CanEdit(node);
    if (!node->Parent() || !data->CanRename()) return false;
    return TMvCustomTreeView::CanEdit(node);
}

void TMvCustomShellTree::Edit(TTreeNode* node, std::string text) {
    TMvShTreeData* data = ShellData(node);
    if (!data) {
        TMvCustomTreeView::Edit(node, std::move(text));
        return;
    }
    if (OnEdited) OnEdited(this, node, text);
    if (text.empty() || text == node->Text()) return;
    TShellFolderRef parent = data->GetParentFolder();
    if (!parent) return;
    FIgnoreNextNotification = true;
    TBusy busy(*this);
    TIdList renamed;
    // The whole name goes to the namespace: a name it cannot take keeps the old one.
    if (!Succeeded(parent->SetNameOf(data->RelIdList(), text, renamed))) {
        FIgnoreNextNotification = false;
        return;
    }
    for (TTreeNode* n = node->GetFirstChild(); n && n->HasAsParent(node); n = n->GetNext())
        if (TMvShTreeData* d = ShellData(n)) d->Invalidate();
    data->SetRelIdList(renamed);
    node->SetText(GetItemDisplayName(*parent, renamed, shgdnInFolder));
    const TIdList& abs = data->GetAbsoluteIdList();
    FCurrentFolder->SetPidl(abs);
    if (FShellList) FShellList->Folder().SetPidl(abs);
    if (FShellCombo) FShellCombo->CurrentFolder().SetPidl(abs);
}

void TMvCustomShellTree::EditingEnded() {
    RunPendingRefresh();
}

// ---- Keys and verbs ----

void TMvCustomShellTree::KeyDown(uint16_t& key, TShiftState shift) {
    TMvCustomTreeView::KeyDown(key, shift);
    if (key == 0 || !HasOption(ptstoDefaultKeyHandling) || IsEditing()) return;
    const auto& keys = InitDefaultKeys();
    const uint16_t shortCut = ShortCutOf(key, shift);
    const uint16_t given = key;
    key = 0;
    TTreeNode* selected = Selected();
    if (shortCut == keys[dkRename].ShortCut) {
        if (selected) selected->EditText();
    } else if (shortCut == keys[dkRefresh].ShortCut)
        Refresh();
    else if (shortCut == keys[dkCut].ShortCut)
        InvokeCommand(selected, "cut");
    else if (shortCut == keys[dkCopy].ShortCut)
        InvokeCommand(selected, "copy");
    else if (shortCut == keys[dkPaste].ShortCut)
        InvokeCommand(selected, "paste");
    else if (shortCut == keys[dkDelete].ShortCut || (shortCut & ~scShift) == keys[dkDelete].ShortCut)
        InvokeCommand(selected, "delete");
    else
        key = given;
}

HRESULT TMvCustomShellTree::InvokeCommand(TTreeNode* node, const std::string& verb) {
    TMvShTreeData* data = ShellData(node);
    if (!data || !node->Parent()) return 1;
    TShellFolderRef parent = data->GetParentFolder();
    if (!parent) return 1;
    std::unique_ptr<TShellContextMenu> menu;
    std::vector<TShellMenuEntry> entries;
    HRESULT hr = GetContextMenu(parent, {data->RelIdList()}, CMF_EXPLORE | CMF_CANRENAME, FirstShellCommand, menu,
                                entries);
    if (!Succeeded(hr) || !menu) return hr;
    menu->OnRename = [node] { node->EditText(); };
    hr = InvokeVerb(*menu, verb);
    Refresh();
    return hr;
}

bool TMvCustomShellTree::CreateNewFolder() {
    const std::string path = GetSelectedPath();
    if (path.empty()) return false;
    FIgnoreNextNotification = true;
    std::string name;
    if (!mv::CreateNewFolder(path, name)) {
        FIgnoreNextNotification = false;
        return false;
    }
    TTreeNode* selected = Selected();
    Refresh();
    selected = Selected();
    if (!selected) return true;
    RefillNode(selected);
    selected->Expand(false);
    for (int i = 0; i < selected->Count(); ++i)
        if (selected->Item(i)->Text() == name) {
            selected->Item(i)->EditText();
            break;
        }
    return true;
}

// ---- Context menus ----

void TMvCustomShellTree::DoNodeContextMenu(TTreeNode* node, TPoint& point, TPopupMenu*& menu) {
    // The shell's own menu stands in for the popup menu.
    if (HasOption(ptstoContextMenus) && node) {
        ShowShellContextMenu(node, point);
        menu = nullptr;
    }
}

namespace {
std::vector<TTrackMenuEntry> TrackEntries(const std::vector<TShellMenuEntry>& entries) {
    std::vector<TTrackMenuEntry> out;
    for (const TShellMenuEntry& e : entries) {
        TTrackMenuEntry t;
        t.Id = e.Id;
        t.Caption = e.Caption;
        t.Default = e.Default;
        t.Grayed = e.Grayed;
        if (!e.Items.empty()) {
            // Send To: its entries, numbered from 1.
            const auto sendTo = SendToEntries();
            for (size_t i = 0; i < sendTo.size(); ++i) {
                TTrackMenuEntry s;
                s.Id = static_cast<int>(i) + 1;
                s.Caption = SendToCaption(sendTo[i].Name);
                t.Items.push_back(s);
            }
            if (t.Items.empty()) t.Items.push_back(TTrackMenuEntry{0, "", false, true, {}});
        }
        out.push_back(std::move(t));
    }
    return out;
}
} // namespace

std::vector<TTrackMenuEntry> ShellMenuTrackEntries(const std::vector<TShellMenuEntry>& entries) {
    return TrackEntries(entries);
}

void TMvCustomShellTree::ShowShellContextMenu(TTreeNode* node, TPoint point) {
    TMvShTreeData* data = ShellData(node);
    if (!data || !node->Parent() || PidlSize(data->RelIdList()) <= 2) return;
    TShellFolderRef parent = data->GetParentFolder();
    if (!parent) return;
    std::vector<TShellMenuEntry> entries;
    const uint32_t flags = CMF_EXPLORE | (ReadOnly() ? 0 : CMF_CANRENAME);
    if (!Succeeded(GetContextMenu(parent, {data->RelIdList()}, flags, FirstShellCommand, FActiveContextMenu,
                                  entries)) ||
        !FActiveContextMenu)
        return;
    FActiveContextMenu->OnRename = [node] { node->EditText(); };
    TShellContextMenu* menu = FActiveContextMenu.get();
    const int chosen =
        TrackPopupMenu(TrackEntries(entries), ClientToScreen(*this, point), this, [this, menu](int id) {
            std::string help;
            if (id >= FirstShellCommand && Succeeded(menu->GetCommandString(id - FirstShellCommand, GCS_HELPTEXT, help)) &&
                OnPopupHint)
                OnPopupHint(this, help);
        });
    if (chosen >= FirstShellCommand) {
        InvokeVerb(*menu, chosen - FirstShellCommand);
        if (!IsEditing()) Refresh();
    } else if (chosen >= 1)
        SendToTarget(node, chosen - 1);
    FActiveContextMenu.reset();
}

void TMvCustomShellTree::SendToTarget(TTreeNode* node, int index) {
    TMvShTreeData* data = ShellData(node);
    if (!data) return;
    const auto entries = SendToEntries();
    if (index < 0 || index >= static_cast<int>(entries.size())) return;
    TIdList parent = data->ParentData() ? data->ParentData()->GetAbsoluteIdList() : TIdList{0, 0};
    auto* object = new TShellDataObject(parent, {data->RelIdList()});
    object->AddRef();
    DropOnSendToTarget(entries[static_cast<size_t>(index)].Name, *object);
    object->Release();
}

// ---- Drawing ----

TMvCustomDraw* TMvCustomShellTree::HandleCustomDraw(TCustomDrawInfo& info, uint32_t* result) {
    std::unique_ptr<TMvCustomDraw> cd(TMvCustomTreeView::HandleCustomDraw(info, result));
    if (!cd && (OnCustomDrawSh || OnCustomDrawShEx)) cd = CreateCustomDraw(info, result);
    TTreeNode* node = (info.DrawStage & CDDS_ITEM) ? reinterpret_cast<TTreeNode*>(info.ItemSpec) : nullptr;
    if (cd) {
        DoCustomDraw(cd.get(), node, ShellData(node));
        cd->Apply();
    }
    if (info.DrawStage == CDDS_PREPAINT) *result |= CDRF_NOTIFYITEMDRAW;
    return nullptr;
}

void TMvCustomShellTree::DoCustomDraw(TMvCustomDraw* cd, TTreeNode* node, TMvShTreeData* data) {
    if (OnCustomDrawShEx) OnCustomDrawShEx(this, cd, node, data);
    if (OnCustomDrawSh && cd->Info().DrawStage == CDDS_ITEMPREPAINT) OnCustomDrawSh(this, cd, node, data);
}

// ---- Drag and drop ----

void TMvCustomShellTree::BeginDrag(TTreeNode* node, TMouseButton button) {
    if (!HasOption(ptstoOleDrag)) return;
    FDragNode = node;
    node->SetDropTarget(true);
    if (ShellData(node) && node->Parent()) StartOleDrag(node, button);
    if (FDragNode) FDragNode->SetDropTarget(false);
    FDragNode = nullptr;
}

void TMvCustomShellTree::StartOleDrag(TTreeNode* node, TMouseButton /*button*/) {
    TMvShTreeData* data = ShellData(node);
    FDragging = true;
    const TIdList parent = data->ParentData() ? data->ParentData()->GetAbsoluteIdList() : TIdList{0, 0};
    auto* object = new TShellDataObject(parent, {data->RelIdList()});
    object->AddRef();
    uint32_t effects = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    if (TShellFolderRef folder = data->GetParentFolder()) {
        uint32_t mask = sfgaoCanCopy | sfgaoCanMove | sfgaoCanLink;
        if (Succeeded(folder->GetAttributesOf({data->RelIdList()}, mask))) effects = mask & 7;
    }
    const uint32_t effect = ExecDrag(*this, MimeBlocksOf(*object, false), effects);
    object->Release();
    FDragging = false;
    // A drop, or changes that came in while dragging, show now.
    if (effect != DROPEFFECT_NONE || FRefreshPending) {
        FRefreshPending = false;
        Refresh();
    }
}

void TMvCustomShellTree::RegisterDropTarget(bool on) {
    if (on == FDropRegistered) return;
    FDropRegistered = on;
    if (!on) {
        RevokeDragDrop(*this);
        return;
    }
    TDropTargetEvents events;
    events.DragEnter = [this](const TMimeBlocks& blocks, uint32_t keyState, TPoint at, uint32_t effect) {
        TShellDataObject* data = DataObjectFromMime(blocks);
        if (!data) return DROPEFFECT_NONE;
        data->AddRef();
        const uint32_t result = OleDragEnter(data, keyState, at, effect);
        data->Release();
        return result;
    };
    events.DragOver = [this](uint32_t keyState, TPoint at, uint32_t effect) {
        return OleDragOver(keyState, at, effect) & 7;
    };
    events.DragLeave = [this] { OleDragLeave(); };
    events.Drop = [this](const TMimeBlocks& blocks, uint32_t keyState, TPoint at, uint32_t effect) {
        if (!FDropData) {
            TShellDataObject* data = DataObjectFromMime(blocks);
            if (!data) return DROPEFFECT_NONE;
            data->AddRef();
            OleDragEnter(data, keyState, at, effect);
            data->Release();
        }
        return OleDrop(keyState, at, effect);
    };
    RegisterDragDrop(*this, std::move(events));
}

namespace {
// The drop target of a node's folder, with one reference; null when it has none.
TFolderDropTarget* NodeDropTarget(TMvShTreeData* data) {
    TFolderDropTarget* target = nullptr;
    if (!data || !Succeeded(GetPidlDropTarget(data->GetAbsoluteIdList(), target))) return nullptr;
    return target;
}
} // namespace

uint32_t TMvCustomShellTree::OleDragEnter(TShellDataObject* data, uint32_t keyState, TPoint at, uint32_t effect) {
    FLastScrollTick = TickCount();
    if (FDropData) FDropData->Release();
    FDropData = data;
    FDropData->AddRef();
    FDropKeyState = keyState;
    return Probe(keyState, at, effect);
}

uint32_t TMvCustomShellTree::Probe(uint32_t keyState, TPoint at, uint32_t effect) {
    TTreeNode* node = GetNodeAt(at.X, at.Y);
    TMvShTreeData* data = ShellData(node);
    uint32_t answer = DROPEFFECT_NONE;
    TTreeNode* highlighted = FDragNode;
    if (data && node->Parent()) {
        if (TFolderDropTarget* target = NodeDropTarget(data)) {
            answer = effect;
            target->DragEnter(FDropData, keyState, at, answer);
            target->DragLeave();
            target->Release();
        }
        highlighted = node;
    }
    if (highlighted != FDropNode) {
        if (FDropNode) FDropNode->SetDropTarget(false);
        FDropNode = highlighted;
        if (FDropNode) FDropNode->SetDropTarget(true);
    }
    return answer;
}

uint32_t TMvCustomShellTree::OleDragOver(uint32_t keyState, TPoint at, uint32_t effect) {
    if (!FDropData) return DROPEFFECT_NONE;
    uint32_t answer = Probe(keyState, at, effect);
    const uint64_t now = TickCount();
    if (now - FLastScrollTick > 100) {
        if (at.X < 26) ScrollBy(-16, 0);
        else if (at.X > Width() - 26) ScrollBy(16, 0);
        if (at.Y < 20) ScrollBy(0, -1);
        else if (at.Y > Height() - 20) ScrollBy(0, 1);
        FLastScrollTick = now;
    }
    return answer | DROPEFFECT_SCROLL;
}

void TMvCustomShellTree::OleDragLeave() {
    if (FDropData) FDropData->Release();
    FDropData = nullptr;
    if (FDropNode && FDropNode != FDragNode) FDropNode->SetDropTarget(false);
    FDropNode = nullptr;
}

uint32_t TMvCustomShellTree::OleDrop(uint32_t keyState, TPoint at, uint32_t effect) {
    uint32_t answer = DROPEFFECT_NONE;
    TTreeNode* node = GetNodeAt(at.X, at.Y);
    TMvShTreeData* data = ShellData(node);
    if (FDropData && data) {
        if (TFolderDropTarget* target = NodeDropTarget(data)) {
            const uint32_t keys = keyState | (FDropKeyState & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON));
            answer = effect;
            target->DragEnter(FDropData, keys, at, answer);
            target->DragOver(keys, at, answer);
            answer = effect & GetAllowedDropEffects(*FDropData);
            target->Drop(FDropData, keys, at, answer);
            target->Release();
        }
        Refresh();
    }
    OleDragLeave();
    return answer;
}

// ---- Change notification ----

void TMvCustomShellTree::StartChangeNotification(const std::string& path) {
    if (!FChangeThread) FChangeThread = std::make_unique<TChangeHandlerThread>(this, WMShellChangeNotify);
    int slot = -1;
    FChangeThread->AddWatch(AppendTrailingChar(path, '/'),
                            HasOption(ptstoIncludeNonFolders) ? fncFileName | fncDirName : fncDirName, slot, true);
}

void TMvCustomShellTree::WatchLocalDrives() {
    if (!FChangeThread) FChangeThread = std::make_unique<TChangeHandlerThread>(this, WMShellChangeNotify);
    FChangeThread->RemoveAllWatches();
    int slot = -1;
    FChangeThread->AddMountWatch(slot);
    // Every folder the tree has filled is watched (there are no watches of whole trees).
    for (TTreeNode* node = Items().GetFirstNode(); node; node = node->GetNext())
        if (node->Count() > 0)
            if (TMvShTreeData* data = ShellData(node)) {
                const std::string path = PidlToPath(data->GetAbsoluteIdList());
                if (!path.empty()) StartChangeNotification(path);
            }
}

void TMvCustomShellTree::Dispatch(TMessage& message) {
    switch (message.Msg) {
    case WMShellChangeNotify:
        if (FIgnoreNextNotification || FDragging) {
            // A change during a drag shows when the drag ends.
            if (FDragging && !FIgnoreNextNotification) FRefreshPending = true;
            FIgnoreNextNotification = false;
            return;
        }
        FLinkTimer.Start(Focused() ? 400 : 2000, 2);
        return;
    case WMChangeNotifyRefresh:
        if (Items().TopCount() == 0) Refill();
        return;
    default:
        TMvCustomTreeView::Dispatch(message);
    }
}

} // namespace mv
