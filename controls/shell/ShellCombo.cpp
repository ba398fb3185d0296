#include "controls/shell/ShellCombo.h"

#include "controls/shell/ShellList.h"
#include "controls/shell/ShellTree.h"
#include "controls/shell/SystemImages.h"
#include "platform/desktop/ShellNamespace.h"

#include <algorithm>

namespace mv {

using namespace desktop;

namespace {
constexpr uint32_t ComboAddMask = 0xF00B0000;   // the folder bits, hidden, share, link
constexpr uint32_t ComboChainMask = 0xB00B0000; // the same without the file-system bit

int FolderCompare(const TShellFolder& folder, const TIdList& a, const TIdList& b) {
    int result = 0;
    if (!Succeeded(folder.CompareIDs(0, a, b, result))) return 0;
    return result;
}

// The items of a folder sorted by the folder's own order. The order is a comparison
// object handed to the sort (one sort never sees another's folder).
void SortPidls(const TShellFolder& folder, std::vector<TIdList>& items) {
    std::stable_sort(items.begin(), items.end(),
                     [&](const TIdList& a, const TIdList& b) { return FolderCompare(folder, a, b) < 0; });
}
} // namespace

class TMvCustomShellCombo::TBusy {
public:
    explicit TBusy(TMvCustomShellCombo& combo) : FCombo(combo) { ++FCombo.FBusy; }
    ~TBusy() { --FCombo.FBusy; }
    TBusy(const TBusy&) = delete;
    TBusy& operator=(const TBusy&) = delete;

private:
    TMvCustomShellCombo& FCombo;
};

TMvCustomShellCombo::TMvCustomShellCombo(TComponent* owner)
    : TMvCustomImageCombo(owner), FCurrentFolder(std::make_unique<TMvShellLocator>()) {
    SetImages(GetSystemImageList(0));
    FCurrentFolder->OnChange = [this](TMvShellLocator&) { SyncLinkedControls(); };
    if (FOptions & PTSCO(ptscoAutofill)) Refill();
}

TMvCustomShellCombo::~TMvCustomShellCombo() {
    BeginDestruction();
    if (FShellTree && FShellTree->FShellCombo == this) FShellTree->FShellCombo = nullptr;
    if (FShellList && FShellList->FShellCombo == this) FShellList->FShellCombo = nullptr;
    // The records go while this class can still free them.
    ClearItems();
}

// ---- Links ----

void TMvCustomShellCombo::SetShellTree(TMvCustomShellTree* value) {
    if (FShellList || value == FShellTree) return;
    if (FShellTree) {
        FShellTree->SetComboLink(nullptr);
        FShellTree->RemoveFreeNotification(this);
    }
    FShellTree = value;
    if (FShellTree) {
        FShellTree->FreeNotification(this);
        FShellTree->SetComboLink(this);
    }
}

void TMvCustomShellCombo::SetShellList(TMvCustomShellList* value) {
    if (FShellTree || value == FShellList) return;
    if (FShellList) {
        FShellList->SetComboLink(nullptr);
        FShellList->RemoveFreeNotification(this);
    }
    FShellList = value;
    if (FShellList) {
        FShellList->FreeNotification(this);
        FShellList->SetComboLink(this);
    }
}

void TMvCustomShellCombo::Notification(TComponent* component, TOperation operation) {
    TMvCustomImageCombo::Notification(component, operation);
    if (operation != TOperation::opRemove) return;
    if (component == FShellTree) FShellTree = nullptr;
    if (component == FShellList) FShellList = nullptr;
}

TMvShComboData* TMvCustomShellCombo::ComboData(int index) const {
    TMvImageComboItem* item = index >= 0 && index < Count() ? Item(index) : nullptr;
    return item ? static_cast<TMvShComboData*>(item->Data()) : nullptr;
}

// ---- Following the linked controls ----

void TMvCustomShellCombo::SyncLinkedControls() {
    if (FBusy > 0) return;
    {
        TBusy busy(*this);
        const TIdList pidl = FCurrentFolder->GetPidl();
        if (FShellTree) {
            if (FShellTree->Busy()) {
                if (FShellTree->ShellList())
                    FShellTree->ShellList()->Folder().SetPidl(FShellTree->CurrentFolder().GetPidl());
            } else
                FShellTree->CurrentFolder().SetPidl(pidl);
        } else if (FShellList)
            FShellList->Folder().SetPidl(pidl);
    }
    Refill();
}

void TMvCustomShellCombo::FolderFromTreeNode(TTreeNode* node) {
    if (!FShellTree || !node) return;
    if (TMvShTreeData* data = FShellTree->NodeData(node)) FCurrentFolder->SetPidl(data->GetAbsoluteIdList());
}

void TMvCustomShellCombo::FlushPendingSync(bool cascade) {
    if (!cascade) return;
    if (FShellTree) FShellTree->FlushPendingSync(false);
    if (FShellList) FShellList->FlushPendingSync(false);
}

void TMvCustomShellCombo::DoSelEndOk() {
    TMvCustomImageCombo::DoSelEndOk();
    if (TMvShComboData* data = ComboData(ItemIndex())) FCurrentFolder->SetPidl(data->AbsIdList());
}

void TMvCustomShellCombo::GoUp(int levels) {
    const int selected = ItemIndex();
    if (selected < 0) return;
    const int depth = Item(selected)->Indent();
    int i = selected;
    while (i > 0 && Item(i)->Indent() >= depth - levels + 1) --i;
    if (i != selected)
        if (TMvShComboData* data = ComboData(i)) FCurrentFolder->SetPidl(data->AbsIdList());
}

void TMvCustomShellCombo::Loaded() {
    if (!(FOptions & PTSCO(ptscoAutofill))) return;
    {
        TBusy busy(*this);
        Refill();
    }
    if (FShellTree) {
        FShellTree->CurrentFolder().SetPidl(FCurrentFolder->GetPidl());
        FShellTree->Refresh();
    } else if (FShellList)
        FShellList->Folder().SetPidl(FCurrentFolder->GetPidl());
}

// ---- Filling ----

void TMvCustomShellCombo::Refill() {
    {
        TBusy busy(*this);
        SetItemIndex(-1);
        ClearItems();
    }
    TBusy busy(*this);
    const TIdList current = FCurrentFolder->GetPidl();
    const TMvIdListArray array(current);
    std::vector<TIdList> chain;
    for (int i = 0; i < array.Count(); ++i) chain.push_back(array.Item(i));
    FFollowingChain = !chain.empty();
    FChainSelected = false;
    FillCombo(DesktopFolder(), {}, chain, -1);
    if (ItemIndex() < 0 && Count() > 0) SetItemIndex(0);
    Invalidate();
}

bool TMvCustomShellCombo::DoAddItem(const TShellFolder&, const TIdList&, uint32_t, const TIdList&) {
    return true;
}

TMvImageComboItem* TMvCustomShellCombo::AddFolderItem(TShellFolderRef folder, const TIdList& parentPidl,
                                                      const TIdList& relative, uint32_t attributes, int indent,
                                                      bool current, int nameKind) {
    const TIdList abs = ConcatPidls(parentPidl, relative);
    const std::string caption = GetItemDisplayName(*folder, relative, nameKind);
    const int image = GetPidlIconIndex(abs, shgfiSmallIcon | (current ? shgfiOpenIcon : 0));
    TMvImageComboItem* item = AddImageItem(caption, image, indent);
    auto* data = new TMvShComboData(this);
    data->Initialize(folder, parentPidl, relative);
    item->SetData(data);
    if (attributes & sfgaoShare) item->SetOverlayIndex(0);
    else if (attributes & sfgaoLink) item->SetOverlayIndex(1);
    return item;
}

void TMvCustomShellCombo::FillCombo(TShellFolderRef folder, const TIdList& parentPidl,
                                    const std::vector<TIdList>& chain, int level) {
    TIdList computer;
    HRESULT hr = GetSpecialFolderPidl(csidlDrives, computer);
    if (!Succeeded(hr)) throw EShellError(SysErrorText(hr));
    TIdList parent = parentPidl;
    if (level < 0) {
        const TIdList desktop{0, 0};
        TMvImageComboItem* item =
            AddImageItem(IdListDisplayName(desktop, shgdnNormal), GetPidlIconIndex(desktop, shgfiSmallIcon), 0);
        auto* data = new TMvShComboData(this);
        data->Initialize(folder, {}, desktop);
        item->SetData(data);
        level = 1;
        parent = desktop;
    }
    std::vector<TIdList> children;
    hr = folder->EnumObjects(shcontFolders, children);
    if (!Succeeded(hr)) throw EShellError(SysErrorText(hr));
    SortPidls(*folder, children);
    bool chainMatched = false;
    for (const TIdList& child : children) {
        uint32_t attributes = ComboAddMask;
        if (!Succeeded(folder->GetAttributesOf({child}, attributes))) continue;
        bool keep = (FOptions & PTSCO(ptscoNonFilesystemAncestors)) ||
                    (attributes & (sfgaoFileSystem | sfgaoFileSysAncestor));
        if (!keep || !DoAddItem(*folder, parent, attributes, child)) continue;
        const TIdList abs = ConcatPidls(parent, child);
        const int size = static_cast<int>(chain.size());
        const bool onChain = FFollowingChain && size >= level &&
                             FolderCompare(*folder, chain[static_cast<size_t>(level) - 1], child) == 0;
        const bool last = onChain && size == level;
        TMvImageComboItem* item = AddFolderItem(folder, parent, child, attributes, level, last, shgdnInFolder);
        const bool isComputer = level == 1 && ComparePidls(abs, computer) == 0;
        if (onChain) {
            chainMatched = true;
            if (last) {
                SetItemIndex(item->Index());
                FChainSelected = true;
                FFollowingChain = false;
            } else if (!isComputer) {
                TShellFolderRef sub;
                if (Succeeded(folder->BindToObject(child, sub)) && sub) AddChainItems(sub, abs, chain, level + 1);
                FFollowingChain = false;
            }
        }
        // The volumes are always listed; a chain through one goes on from there.
        if (isComputer) {
            TShellFolderRef drives;
            if (Succeeded(folder->BindToObject(child, drives)) && drives) FillCombo(drives, abs, chain, level + 1);
        }
    }
    // A first chain entry the listing did not show (hidden, or outside the file system):
    // it and the rest of the chain are added by binding, so the current folder is still
    // the selected item.
    if (level == 1 && FFollowingChain && !chainMatched && !chain.empty()) {
        AddChainItems(folder, parent, chain, 1);
        FFollowingChain = false;
    }
}

void TMvCustomShellCombo::AddChainItems(TShellFolderRef folder, const TIdList& parentPidl,
                                        const std::vector<TIdList>& chain, int level) {
    TIdList parent = parentPidl;
    TMvImageComboItem* lastItem = nullptr;
    for (int n = level; n <= static_cast<int>(chain.size()); ++n) {
        if (!folder) break;
        const TIdList& entry = chain[static_cast<size_t>(n) - 1];
        uint32_t attributes = ComboChainMask;
        if (!Succeeded(folder->GetAttributesOf({entry}, attributes))) break;
        const bool last = n == static_cast<int>(chain.size());
        lastItem = AddFolderItem(folder, parent, entry, attributes, n, last, shgdnInFolder);
        TShellFolderRef next;
        if (!last && !Succeeded(folder->BindToObject(entry, next))) next.reset();
        parent = ConcatPidls(parent, entry);
        folder = next;
    }
    if (lastItem) {
        SetItemIndex(lastItem->Index());
        FChainSelected = true;
    }
}

void TMvCustomShellCombo::DoDeleteItem(void* data) {
    auto* item = static_cast<TMvImageComboItem*>(data);
    auto* record = item ? static_cast<TMvShComboData*>(item->Data()) : nullptr;
    TMvCustomImageCombo::DoDeleteItem(data);
    delete record;
}

} // namespace mv
