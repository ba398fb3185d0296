#include "controls/shell/ShellList.h"

#include "controls/shell/ShellCombo.h"
#include "controls/shell/SystemImages.h"
#include "platform/RegistryStore.h"
#include "platform/desktop/ShellNamespace.h"
#include "platform/ui/MimeData.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <numeric>
#include <unordered_map>

namespace mv {

using namespace desktop;

namespace {
constexpr uint32_t ListAddMask = 0xF20B0000;
constexpr uint16_t VK_BACK = 0x08, VK_RETURN = 0x0D;
const char* const ExplorerKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer";

// The file columns' titles (Name, Size, Type, Modified), in the namespace's language.
const int32_t FileColumnTitles[4] = {715, 718, 716, 719};
const int DefaultColumnWidths[5] = {200, 60, 100, 120, 50};

// The column widths kept for every list of the process, and the setting they were made
// from.
std::vector<int32_t>& SharedWidths() {
    static std::vector<int32_t> widths;
    return widths;
}
std::vector<uint8_t>& SharedDirectoryCols() {
    static std::vector<uint8_t> copy;
    return copy;
}

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

char Upper(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

// A file mask as the file dialogs take it: '*' any run, '?' one character, letters
// without case; "*.*" also takes names without a dot.
bool MaskMatches(const std::string& mask, const std::string& name) {
    if (mask == "*.*" || mask == "*") return true;
    size_t m = 0, n = 0, starM = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == '?' || Upper(mask[m]) == Upper(name[n]))) {
            ++m;
            ++n;
        } else if (m < mask.size() && mask[m] == '*') {
            starM = m++;
            starN = n;
        } else if (starM != std::string::npos) {
            m = starM + 1;
            n = ++starN;
        } else
            return false;
    }
    while (m < mask.size() && mask[m] == '*') ++m;
    // "name.*" takes "name" too.
    if (m + 2 == mask.size() && mask[m] == '.' && mask[m + 1] == '*') return true;
    return m == mask.size();
}

// The last item of a relative list, decoded.
bool LastItem(const TIdList& relative, TShellItem& item) {
    std::vector<TShellItem> items;
    if (!DecodeIdList(relative, items) || items.empty()) return false;
    item = items.back();
    return true;
}

int FolderCompare(const TShellFolder& folder, const TIdList& a, const TIdList& b) {
    int result = 0;
    if (!Succeeded(folder.CompareIDs(0, a, b, result))) return 0;
    return result;
}
} // namespace

int TDirectoryCols::Width(int column) const {
    if (column < 0 || column > 4) return 0;
    const size_t at = static_cast<size_t>(column) * 2;
    if (at + 1 < Bytes.size()) return Bytes[at] | (Bytes[at + 1] << 8);
    return DefaultColumnWidths[column];
}

bool ReadDirectoryCols(TDirectoryCols& value) {
    value.Bytes.clear();
    try {
        platform::RegistryStore store;
        if (!store.OpenKeyReadOnly(ExplorerKey) || !store.ValueExists("DirectoryCols")) return false;
        std::vector<uint8_t> bytes = store.ReadBinaryData("DirectoryCols");
        if (bytes.size() > 22) return false;
        value.Bytes = std::move(bytes);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

class TMvCustomShellList::TBusy {
public:
    explicit TBusy(TMvCustomShellList& list) : FList(list) { ++FList.FBusy; }
    ~TBusy() { --FList.FBusy; }
    TBusy(const TBusy&) = delete;
    TBusy& operator=(const TBusy&) = delete;

private:
    TMvCustomShellList& FList;
};

TMvCustomShellList::TMvCustomShellList(TComponent* owner)
    : TMvCustomListView(owner), FFolder(std::make_unique<TMvShellLocator>()) {
    FFolder->OnChange = [this](TMvShellLocator&) { FolderChanged(); };
    FRefreshTimer.OnTimer = [this] { RefreshTick(); };
    SetSmallImages(GetSystemImageList(0));
    SetMultiSelect(true);
    SetExtendedStyle(ExtendedStyle() | LVS_EX_FULLROWSELECT);
    if (HasOption(ptsloOleDrop)) RegisterDropTarget(true);
    if (HasOption(ptsloAutoFill)) PostMessage(this, WMChangeNotifyRefresh, 0, 0);
}

TMvCustomShellList::~TMvCustomShellList() {
    BeginDestruction();
    FRefreshTimer.OnTimer = nullptr;
    SaveColumnWidths();
    FChangeThread.reset();
    if (FDropRegistered) RevokeDragDrop(*this);
    if (FShellTree && FShellTree->FShellList == this) FShellTree->FShellList = nullptr;
    if (FShellCombo && FShellCombo->FShellList == this) FShellCombo->FShellList = nullptr;
    ClearShellItems();
    if (FDropData) FDropData->Release();
    if (FDropItemTarget) FDropItemTarget->Release();
}

// ---- Links and options ----

void TMvCustomShellList::SetTreeLink(TMvCustomShellTree* tree) {
    if (FShellTree) FShellTree->RemoveFreeNotification(this);
    FShellTree = tree;
    if (FShellTree) FShellTree->FreeNotification(this);
}

void TMvCustomShellList::SetComboLink(TMvCustomShellCombo* combo) {
    if (FShellCombo) FShellCombo->RemoveFreeNotification(this);
    FShellCombo = combo;
    if (FShellCombo) FShellCombo->FreeNotification(this);
}

void TMvCustomShellList::Notification(TComponent* component, TOperation operation) {
    TMvCustomListView::Notification(component, operation);
    if (operation != TOperation::opRemove) return;
    if (component == FShellTree) FShellTree = nullptr;
    if (component == FShellCombo) FShellCombo = nullptr;
}

void TMvCustomShellList::SetOptions(TMvShellListOptions value) {
    const TMvShellListOptions old = FOptions;
    FOptions = value;
    const auto switched = [&](TMvShellListOption o) { return ((old ^ value) & PTSLO(o)) != 0; };
    if (switched(ptsloOleDrop)) RegisterDropTarget(HasOption(ptsloOleDrop));
    if (switched(ptsloDynamicRefresh)) {
        if (HasOption(ptsloDynamicRefresh))
            StartChangeNotification();
        else if (FChangeThread)
            FChangeThread->RemoveAllWatches();
    }
    if (switched(ptsloHideFoldersWhenLinkedToTree) || switched(ptsloShowHidden)) Refresh();
}

void TMvCustomShellList::SetFileFilter(const std::string& value) {
    if (value == FFileFilter) return;
    FFileFilter = value;
    FFilterMasks.reset();
    if (!value.empty()) {
        FFilterMasks = std::make_unique<std::vector<std::string>>();
        size_t start = 0;
        while (start <= value.size()) {
            size_t end = value.find(';', start);
            if (end == std::string::npos) end = value.size();
            std::string mask = TrimTrailingBlanks(value.substr(start, end - start));
            while (!mask.empty() && mask.front() == ' ') mask.erase(mask.begin());
            if (!mask.empty()) FFilterMasks->push_back(mask);
            start = end + 1;
        }
    }
    if (HasOption(ptsloAutoFill)) Refill();
}

// ---- Records ----

TMvShListData* TMvCustomShellList::GetItemData(int index) {
    TListItem* item = Items().Item(index);
    if (!item) return nullptr;
    auto* data = reinterpret_cast<TMvShListData*>(item->Data());
    return FOwnedData.count(data) ? data : nullptr;
}

TMvShListData* TMvCustomShellList::GetSelectedData() {
    for (int row = GetNextItem(-1, LVNI_SELECTED); row >= 0; row = GetNextItem(row, LVNI_SELECTED))
        if (TMvShListData* data = GetItemData(row)) return data;
    return nullptr;
}

std::vector<int> TMvCustomShellList::SelectedShellRows() {
    std::vector<int> rows;
    for (int row = GetNextItem(-1, LVNI_SELECTED); row >= 0; row = GetNextItem(row, LVNI_SELECTED))
        if (GetItemData(row)) rows.push_back(row);
    return rows;
}

int TMvCustomShellList::IndexOfName(const std::string& displayName) {
    for (int i = 0; i < Items().Count(); ++i)
        if (TMvShListData* data = GetItemData(i); data && data->GetDisplayName() == displayName) return i;
    return -1;
}

// ---- Filling ----

void TMvCustomShellList::FolderChanged() {
    if (FBusy == 0) {
        TBusy busy(*this);
        if (FShellTree)
            FShellTree->SelectPidl(FFolder->GetPidl());
        else if (FShellCombo)
            FShellCombo->CurrentFolder().SetPidl(FFolder->GetPidl());
    }
    Refill();
    DoFolderChanged();
}

void TMvCustomShellList::SyncFromTreeNode(TTreeNode* node) {
    if (!FShellTree) return;
    if (TMvShTreeData* data = FShellTree->NodeData(node)) FFolder->SetPidl(data->GetAbsoluteIdList());
}

void TMvCustomShellList::Refill() {
    if (FDragging || IsEditing()) {
        FRefreshPending = true;
        return;
    }
    Items().BeginUpdate();
    ClearShellItems();
    Items().EndUpdate();
    TIdList pidl = FFolder->GetPidl();
    if (pidl.empty()) pidl = {0, 0};
    TShellFolderRef folder;
    HRESULT hr = BindToFolder(pidl, folder);
    if (!Succeeded(hr)) throw EShellError(SysErrorText(hr));
    BuildFileFilterSet();
    FillFolder(folder, pidl);
    ClearFileFilterSet();
    if (HasOption(ptsloDynamicRefresh)) StartChangeNotification();
}

void TMvCustomShellList::FillFolder(TShellFolderRef folder, const TIdList& pidl) {
    Items().BeginUpdate();
    DoFillStart();
    const TIdList oldPidl = FFolderPidl;
    const TShellFolderRef oldFolder = FShellFolder;
    try {
        FFolderPidl = CopyPidl(pidl);
        FShellFolder = folder;
        FIcons.clear();
        SetupColumns();
        uint32_t flags = shcontFolders | shcontNonFolders;
        if (HasOption(ptsloShowHidden)) flags |= shcontIncludeHidden;
        std::vector<TIdList> found;
        HRESULT hr = folder->EnumObjects(flags, found);
        if (!Succeeded(hr)) throw EShellError(SysErrorText(hr));
        for (TIdList& relative : found) {
            uint32_t attributes = 0;
            if (!FilterItem(*folder, relative, attributes)) continue;
            auto data = std::make_unique<TMvShListData>(*this);
            data->SetRelIdList(std::move(relative));
            AddShellItem(std::move(data), attributes);
        }
        ApplySort();
        if (Items().Count() > 0) SetItemState(0, LVIS_FOCUSED, LVIS_FOCUSED);
    } catch (...) {
        FFolderPidl = oldPidl;
        FShellFolder = oldFolder;
        Items().EndUpdate();
        DoFillComplete();
        throw;
    }
    Items().EndUpdate();
    DoFillComplete();
}

bool TMvCustomShellList::FilterItem(const TShellFolder& folder, const TIdList& relative, uint32_t& attributes) {
    attributes = ListAddMask;
    if (!Succeeded(folder.GetAttributesOf({relative}, attributes))) return false;
    if (!HasOption(ptsloNonFilesystemAncestors) && !(attributes & (sfgaoFileSystem | sfgaoFileSysAncestor)))
        return false;
    if (HasOption(ptsloHideFoldersWhenLinkedToTree) && FShellTree && (attributes & sfgaoFolder) &&
        (attributes & sfgaoFileSystem) && !(attributes & sfgaoFileSysAncestor))
        return false;
    return AcceptItem(folder, folder.AbsoluteIdList(), attributes, relative);
}

bool TMvCustomShellList::AcceptItem(const TShellFolder& folder, const TIdList& parentAbsIdList, uint32_t attributes,
                                    const TIdList& relIdList) {
    if (FFilterActive && !(attributes & sfgaoFolder)) {
        TShellItem item;
        if (!LastItem(relIdList, item) || !PassesFileFilter(item.Name, attributes)) return false;
    }
    bool allow = true;
    if (OnAddItem) OnAddItem(this, &folder, parentAbsIdList, relIdList, attributes, allow);
    return allow;
}

void TMvCustomShellList::BuildFileFilterSet() {
    FFilterActive = false;
    if (!FFilterMasks || FFilterMasks->empty()) return;
    if (FFilterMasks->size() == 1 && ((*FFilterMasks)[0] == "*" || (*FFilterMasks)[0] == "*.*")) return;
    if (PidlToPath(FFolderPidl.empty() ? FFolder->GetPidl() : FFolder->GetPidl()).empty() &&
        PidlSize(FFolder->GetPidl()) > 2)
        return;
    FFilterActive = true;
}

bool TMvCustomShellList::PassesFileFilter(const std::string& name, uint32_t attributes) {
    if (attributes & sfgaoFolder) return true;
    if (!FFilterMasks) return true;
    for (const std::string& mask : *FFilterMasks)
        if (MaskMatches(mask, name)) return true;
    return false;
}

void TMvCustomShellList::ClearFileFilterSet() {
    FFilterActive = false;
}

void TMvCustomShellList::AddShellItem(std::unique_ptr<TMvShListData> data, uint32_t attributes) {
    TListItem* item = Items().Add();
    TMvShListData* raw = data.release();
    FOwnedData.insert(raw);
    item->SetData(reinterpret_cast<intptr_t>(raw));
    if (attributes & sfgaoShare) item->SetOverlayIndex(0);
    else if (attributes & sfgaoLink) item->SetOverlayIndex(1);
    // The texts come when the row is shown.
    item->SubItems().assign(3, std::string());
}

void TMvCustomShellList::AddNewShellItem(const TIdList& relative) {
    uint32_t attributes = 0;
    if (!FShellFolder || !FilterItem(*FShellFolder, relative, attributes)) return;
    auto data = std::make_unique<TMvShListData>(*this);
    data->SetRelIdList(CopyPidl(relative));
    AddShellItem(std::move(data), attributes);
}

void TMvCustomShellList::DeleteShellItem(int index) {
    TListItem* item = Items().Item(index);
    if (!item) return;
    TMvShListData* data = GetItemData(index);
    if (data) {
        if (OnDeleteItem) OnDeleteItem(this, item, data);
        FOwnedData.erase(data);
        FIcons.erase(data);
        delete data;
    }
    Items().Delete(index);
}

void TMvCustomShellList::ClearShellItems() {
    for (int i = 0; i < Items().Count(); ++i) {
        TListItem* item = Items().Item(i);
        auto* data = reinterpret_cast<TMvShListData*>(item->Data());
        if (!FOwnedData.count(data)) continue;
        if (OnDeleteItem && !Destroying()) OnDeleteItem(this, item, data);
        item->SetData(0);
    }
    for (const TMvShListData* data : FOwnedData) delete data;
    FOwnedData.clear();
    FIcons.clear();
    Items().Clear();
}

std::string TMvCustomShellList::StandardCellText(const TListItem* item, int row, int column) {
    auto* data = reinterpret_cast<TMvShListData*>(item->Data());
    if (!FOwnedData.count(data)) return TMvCustomListView::StandardCellText(item, row, column);
    if (column == 0) return item->Caption().empty() ? data->GetDisplayName() : item->Caption();
    const auto& subs = item->SubItems();
    if (static_cast<size_t>(column) > subs.size()) return {};
    const std::string& own = subs[static_cast<size_t>(column) - 1];
    return own.empty() ? data->GetDetail(column) : own;
}

int TMvCustomShellList::StandardItemImage(const TListItem* item, int row) {
    if (item->ImageIndex() >= 1) return item->ImageIndex();
    auto* data = reinterpret_cast<TMvShListData*>(item->Data());
    if (!FOwnedData.count(data)) return TMvCustomListView::StandardItemImage(item, row);
    auto it = FIcons.find(data);
    if (it != FIcons.end()) return it->second;
    const int icon = GetPidlIconIndex(data->GetAbsoluteIdList(), shgfiSmallIcon);
    FIcons[data] = icon;
    return icon;
}

// ---- Columns ----

void TMvCustomShellList::SaveColumnWidths() {
    if (!FWidthsInStream || Columns().Count() == 0) return;
    auto& widths = SharedWidths();
    widths.clear();
    for (int i = 0; i < Columns().Count(); ++i) widths.push_back(Columns()[i]->Width());
}

void TMvCustomShellList::SetupColumns() {
    SaveColumnWidths();
    Columns().Clear();
    // Every folder of the namespace shows the file columns.
    TDirectoryCols cols;
    const bool read = ReadDirectoryCols(cols);
    for (int i = 0; i < 4; ++i) {
        TListColumn* column = Columns().Add();
        column->SetCaption(desktop::NamespaceText(FileColumnTitles[i]));
        if (i == 1) column->SetAlignment(TAlignment::taRightJustify);
    }
    std::vector<uint8_t> value = read ? cols.Bytes : std::vector<uint8_t>();
    const auto& widths = SharedWidths();
    if (value == SharedDirectoryCols() && !widths.empty()) {
        // The user's setting is unchanged: the widths as the lists left them.
        const size_t n = std::min(widths.size(), static_cast<size_t>(Columns().Count()));
        for (size_t i = 0; i < n; ++i) Columns()[static_cast<int>(i)]->SetWidth(widths[i]);
    } else
        for (int i = 0; i < 4; ++i) Columns()[i]->SetWidth(cols.Width(i));
    SharedDirectoryCols() = value;
    FWidthsInStream = true;
    FColumnSetup = 2;
    UpdateHeaderFormats();
    if (std::abs(FSortColumn) > Columns().Count()) FSortColumn = 1;
    SetSortColumn(FSortColumn == 0 ? -1 : std::abs(FSortColumn) - 1);
    SetSortArrowDown(FSortColumn > 0 ? 1 : 0);
}

// ---- Sorting ----

int TMvCustomShellList::CompareItems(TMvShListData* a, TMvShListData* b) const {
    if (!a || !b || !FShellFolder) return 0;
    const int column = std::abs(FSortColumn) - 1;
    int result = 0;
    if (column > 0) {
        TShellItem ia, ib;
        const bool okA = LastItem(a->RelIdList(), ia), okB = LastItem(b->RelIdList(), ib);
        if (okA && okB) {
            const bool folderA = ia.Kind != TShellItemKind::skFile, folderB = ib.Kind != TShellItemKind::skFile;
            if (folderA != folderB) result = folderA ? -1 : 1;
            else if (column == 1) result = ia.Size < ib.Size ? -1 : (ia.Size > ib.Size ? 1 : 0);
            else if (column == 3) result = ia.Modified < ib.Modified ? -1 : (ia.Modified > ib.Modified ? 1 : 0);
            else if (column == 2) {
                const std::string ta = a->GetDetail(2), tb = b->GetDetail(2);
                result = LocaleCompareText(ta, tb);
            }
        }
    }
    if (result == 0) result = FolderCompare(*FShellFolder, a->RelIdList(), b->RelIdList());
    return FSortColumn < 0 ? -result : result;
}

void TMvCustomShellList::ApplySort() {
    if (FSortColumn == 0 || Items().Count() < 2) return;
    const int n = Items().Count();
    std::vector<int> order(static_cast<size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    std::vector<TMvShListData*> data(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) data[static_cast<size_t>(i)] = GetItemData(i);
    std::stable_sort(order.begin(), order.end(), [&](int x, int y) {
        return CompareItems(data[static_cast<size_t>(x)], data[static_cast<size_t>(y)]) < 0;
    });
    Items().Reorder(order);
}

void TMvCustomShellList::SetSortColumnValue(int value) {
    const bool changed = value != FSortColumn;
    FSortColumn = value;
    SetSortColumn(value == 0 ? -1 : std::abs(value) - 1);
    SetSortArrowDown(value > 0 ? 1 : 0);
    if (changed) ApplySort();
}

void TMvCustomShellList::ColumnClick(int column) {
    TMvCustomListView::ColumnClick(column);
    if (std::abs(FSortColumn) - 1 == column) SetSortColumnValue(-FSortColumn);
    else SetSortColumnValue(column + 1);
}

// ---- Refresh ----

void TMvCustomShellList::Refresh() {
    if (FDragging || IsEditing()) {
        FRefreshPending = true;
        return;
    }
    if (Items().Count() == 0 || !FShellFolder) {
        Refill();
        return;
    }
    DoFillStart();
    BuildFileFilterSet();
    // A: what is shown; B: what is there now.
    TMvPidlList shown;
    shown.SetDuplicates(TDuplicates::dupAccept);
    // Outside the file system items are told apart by the folder; inside, byte for byte,
    // so that a file whose size or time changed is replaced and shows its new details.
    if (PidlToPath(FFolderPidl).empty()) shown.SetShellFolder(FShellFolder);
    for (int i = 0; i < Items().Count(); ++i)
        if (TMvShListData* data = GetItemData(i)) shown.AddObject(CopyPidl(data->RelIdList()), data);
    shown.Sort();
    shown.SetSorted(true);
    uint32_t flags = shcontFolders | shcontNonFolders;
    if (HasOption(ptsloShowHidden)) flags |= shcontIncludeHidden;
    std::vector<TIdList> present;
    if (!Succeeded(FShellFolder->EnumObjects(flags, present))) present.clear();
    for (int i = static_cast<int>(present.size()) - 1; i >= 0; --i) {
        int at = -1;
        if (shown.Find(present[static_cast<size_t>(i)], at)) {
            shown.Delete(at);
            present.erase(present.begin() + i);
        }
    }
    Items().BeginUpdate();
    if (shown.Count() > 0) {
        std::unordered_map<const void*, int> rows;
        for (int i = 0; i < Items().Count(); ++i) rows[reinterpret_cast<const void*>(Items().Item(i)->Data())] = i;
        std::vector<int> gone;
        for (int i = 0; i < shown.Count(); ++i) gone.push_back(rows[shown.Objects(i)]);
        std::sort(gone.rbegin(), gone.rend());
        for (int row : gone) DeleteShellItem(row);
    }
    for (const TIdList& relative : present) AddNewShellItem(relative);
    if (!present.empty()) ApplySort();
    Items().EndUpdate();
    ClearFileFilterSet();
    DoFillComplete();
}

void TMvCustomShellList::RunPendingRefresh() {
    if (!FRefreshPending || FDragging || IsEditing()) return;
    FRefreshPending = false;
    Refresh();
}

void TMvCustomShellList::RefreshTick() {
    FRefreshTimer.Stop();
    {
        TBusy busy(*this);
        FlushPendingSync(true);
    }
    Refresh();
}

void TMvCustomShellList::FlushPendingSync(bool cascade) {
    if (cascade) {
        if (FShellCombo) FShellCombo->FlushPendingSync(false);
        if (FShellTree) FShellTree->FlushPendingSync(false);
    }
    if (FRefreshTimer.Enabled()) RefreshTick();
}

void TMvCustomShellList::StartChangeNotification() {
    FRefreshTimer.Stop();
    if (!FChangeThread)
        FChangeThread = std::make_unique<TChangeHandlerThread>(this, WMShellChangeNotify);
    else
        FChangeThread->RemoveAllWatches();
    int slot = -1;
    const std::string path = PidlToPath(FFolderPidl);
    if (!path.empty())
        // Names, and sizes and times, so that a changed file shows its new details.
        FChangeThread->AddWatch(path, fncFileName | fncDirName | fncSize | fncLastWrite, slot, false);
    else
        FChangeThread->AddMountWatch(slot);
}

bool TMvCustomShellList::IsNetworkFolder() {
    return PidlToPath(FFolderPidl).rfind("//", 0) == 0;
}

// ---- Opening and moving ----

void TMvCustomShellList::ItemActivate() {
    TMvCustomListView::ItemActivate();
    OpenSelection();
}

void TMvCustomShellList::OpenSelection() {
    FlushPendingSync(true);
    const std::vector<int> rows = SelectedShellRows();
    if (rows.size() < 2) {
        int row = ItemFocused();
        if (row < 0 || !ItemState(row, LVIS_SELECTED)) row = GetNextItem(-1, LVNI_SELECTED);
        if (row >= 0) OpenItem(row);
        return;
    }
    bool handled = false;
    DoDblClickOpen(handled);
    if (handled || !FShellFolder) return;
    std::vector<TIdList> items;
    for (int row : rows) items.push_back(GetItemData(row)->RelIdList());
    std::unique_ptr<TShellContextMenu> menu;
    std::vector<TShellMenuEntry> entries;
    if (Succeeded(GetContextMenu(FShellFolder, items, CMF_EXPLORE, FirstShellCommand, menu, entries)) && menu)
        for (const TShellMenuEntry& e : entries)
            if (e.Default && e.Id >= FirstShellCommand) {
                InvokeVerb(*menu, e.Id - FirstShellCommand);
                break;
            }
}

void TMvCustomShellList::OpenItem(int index) {
    FlushPendingSync(true);
    TMvShListData* data = GetItemData(index);
    if (!data) {
        bool handled = false;
        DoDblClickOpen(handled);
        return;
    }
    if (data->IsFolder()) {
        EnterFolder(data->GetAbsoluteIdList());
        return;
    }
    if (data->IsShortcut()) {
        TMvShortcutInfo info;
        if (Succeeded(ResolveShortcut(data->GetPath(), info, true)) && !info.IdList.empty()) {
            uint32_t mask = sfgaoFolder;
            if (ItemAttributes(info.IdList, mask) && (mask & sfgaoFolder)) {
                EnterFolder(info.IdList);
                return;
            }
        }
    }
    bool handled = false;
    DoDblClickOpen(handled);
    if (handled || !FShellFolder) return;
    std::unique_ptr<TShellContextMenu> menu;
    std::vector<TShellMenuEntry> entries;
    if (Succeeded(GetContextMenu(FShellFolder, {data->RelIdList()}, CMF_EXPLORE, FirstShellCommand, menu, entries)) &&
        menu)
        for (const TShellMenuEntry& e : entries)
            if (e.Default && e.Id >= FirstShellCommand) {
                InvokeVerb(*menu, e.Id - FirstShellCommand);
                break;
            }
}

void TMvCustomShellList::EnterFolder(const TIdList& absolute) {
    if (HasOption(ptsloDontChangeFolder)) return;
    const TIdList target = CopyPidl(absolute);
    Items().BeginUpdate();
    ClearShellItems();
    Items().EndUpdate();
    if (FShellTree)
        FShellTree->CurrentFolder().SetPidl(target);
    else if (FShellCombo)
        FShellCombo->CurrentFolder().SetPidl(target);
    else
        FFolder->SetPidl(target);
    // The folder was the same as before: show it again.
    if (Items().Count() == 0 && FFolderPidl == target) Refill();
}

void TMvCustomShellList::GoUp(int levels) {
    if (HasOption(ptsloDontChangeFolder)) return;
    if (FShellTree) {
        FShellTree->GoUp(levels);
        return;
    }
    if (FShellCombo) {
        FShellCombo->GoUp(levels);
        return;
    }
    const TIdList pidl = FFolder->GetPidl();
    const TMvIdListArray chain(pidl);
    FFolder->SetPidl(chain.Ancestor(std::min(levels, chain.Count())));
}

void TMvCustomShellList::DoDblClickOpen(bool& handled) {
    if (OnDblClickOpen) OnDblClickOpen(this, handled);
}

void TMvCustomShellList::DoFillStart() {
    if (OnFillStart) OnFillStart(this);
}

void TMvCustomShellList::DoFillComplete() {
    if (OnFillComplete) OnFillComplete(this);
}

void TMvCustomShellList::DoFolderChanged() {
    if (OnFolderChanged) OnFolderChanged(this);
}

// ---- Keys and verbs ----

void TMvCustomShellList::KeyDown(uint16_t& key, TShiftState shift) {
    TMvCustomListView::KeyDown(key, shift);
    if (key == 0 || !HasOption(ptsloDefaultKeyHandling) || IsEditing()) return;
    const auto& keys = InitDefaultKeys();
    const uint16_t shortCut = ShortCutOf(key, shift);
    const uint16_t given = key;
    key = 0;
    if (shortCut == keys[dkSelectAll].ShortCut)
        SelectAll();
    else if (shortCut == keys[dkRefresh].ShortCut)
        Refill();
    else if (shortCut == keys[dkCopy].ShortCut)
        InvokeCommand("copy");
    else if (shortCut == keys[dkCut].ShortCut)
        InvokeCommand("cut");
    else if (shortCut == keys[dkPaste].ShortCut)
        InvokeFolderCommand("paste");
    else if (shortCut == keys[dkRename].ShortCut) {
        const int row = ItemFocused() >= 0 ? ItemFocused() : GetNextItem(-1, LVNI_SELECTED);
        if (row >= 0) EditCaption(row);
    } else if (shortCut == keys[dkDelete].ShortCut || (shortCut & ~scShift) == keys[dkDelete].ShortCut)
        InvokeCommand("delete");
    else if (given == VK_BACK && (shift & (ssShift | ssCtrl | ssAlt)) == 0)
        GoUp(1);
    else if (given == VK_RETURN && (shift & (ssShift | ssCtrl | ssAlt)) == 0)
        OpenSelection();
    else
        key = given;
}

HRESULT TMvCustomShellList::InvokeCommand(const std::string& verb) {
    const std::vector<int> rows = SelectedShellRows();
    if (rows.empty() || !FShellFolder) return 1;
    std::vector<TIdList> items;
    for (int row : rows) items.push_back(GetItemData(row)->RelIdList());
    std::unique_ptr<TShellContextMenu> menu;
    std::vector<TShellMenuEntry> entries;
    HRESULT hr = GetContextMenu(FShellFolder, items, CMF_EXPLORE | CMF_CANRENAME, FirstShellCommand, menu, entries);
    if (!Succeeded(hr) || !menu) return hr;
    const int focused = ItemFocused();
    menu->OnRename = [this, focused] { EditCaption(focused); };
    hr = InvokeVerb(*menu, verb);
    if (IsNetworkFolder()) Refresh();
    return hr;
}

HRESULT TMvCustomShellList::InvokeFolderCommand(const std::string& verb) {
    TShellFolderRef parentFolder;
    TIdList parent, last;
    HRESULT hr = SplitPidl(FFolderPidl, parentFolder, parent, last);
    if (!Succeeded(hr) || !parentFolder) return hr;
    std::unique_ptr<TShellContextMenu> menu;
    std::vector<TShellMenuEntry> entries;
    hr = GetContextMenu(parentFolder, {last}, CMF_EXPLORE, FirstShellCommand, menu, entries);
    if (!Succeeded(hr) || !menu) return hr;
    hr = InvokeVerb(*menu, verb);
    if (IsNetworkFolder()) Refresh();
    return hr;
}

void TMvCustomShellList::SelectAll() {
    Items().BeginUpdate();
    TListView::SelectAll();
    Items().EndUpdate();
}

bool TMvCustomShellList::CreateNewFolder(bool edit) {
    FIgnoreNextNotification = true;
    std::string name;
    if (!mv::CreateNewFolder(PidlToPath(FFolderPidl), name)) {
        FIgnoreNextNotification = false;
        return false;
    }
    Refresh();
    if (edit) {
        FNewItemName = name;
        PostMessage(this, WMEditNewItem, 0, 0);
    }
    return true;
}

// ---- Context menu ----

void TMvCustomShellList::DoItemContextMenu(TListItem* item, TPoint& point, TPopupMenu*& menu) {
    if (HasOption(ptsloContextMenus) && !FDragging) {
        ShowShellContextMenu(point);
        menu = nullptr;
        return;
    }
    TMvCustomListView::DoItemContextMenu(item, point, menu);
}

void TMvCustomShellList::ShowShellContextMenu(TPoint point) {
    const std::vector<int> rows = SelectedShellRows();
    if (rows.empty() || !FShellFolder) return;
    std::vector<TIdList> items;
    for (int row : rows) items.push_back(GetItemData(row)->RelIdList());
    const int focused = ItemFocused();
    TMvShListData* focusedData = GetItemData(focused);
    uint32_t flags = CMF_EXPLORE;
    if (focusedData && !focusedData->GetPath().empty() && !ReadOnly()) flags |= CMF_CANRENAME;
    std::vector<TShellMenuEntry> entries;
    if (!Succeeded(GetContextMenu(FShellFolder, items, flags, FirstShellCommand, FActiveContextMenu, entries)) ||
        !FActiveContextMenu)
        return;
    FActiveContextMenu->OnRename = [this, focused] { EditCaption(focused); };
    TShellContextMenu* menu = FActiveContextMenu.get();
    const TPoint origin = RowsOrigin();
    const TPoint screen = ClientToScreen(*this, Point(point.X + origin.X, point.Y + origin.Y));
    const int chosen = TrackPopupMenu(ShellMenuTrackEntries(entries), screen, this, [this, menu](int id) {
        std::string help;
        if (id >= FirstShellCommand && Succeeded(menu->GetCommandString(id - FirstShellCommand, GCS_HELPTEXT, help)) &&
            OnPopupHint)
            OnPopupHint(this, help);
    });
    if (chosen >= FirstShellCommand) {
        InvokeVerb(*menu, chosen - FirstShellCommand);
        if (IsNetworkFolder()) Refresh();
    } else if (chosen >= 1) {
        const auto sendTo = SendToEntries();
        if (chosen - 1 < static_cast<int>(sendTo.size())) {
            auto* object = new TShellDataObject(FFolderPidl, items);
            object->AddRef();
            DropOnSendToTarget(sendTo[static_cast<size_t>(chosen - 1)].Name, *object);
            object->Release();
        }
    }
    FActiveContextMenu.reset();
}

// ---- Renaming ----

bool TMvCustomShellList::CanEdit(int index) {
    TMvShListData* data = GetItemData(index);
    if (data && !data->CanRename()) return false;
    return TMvCustomListView::CanEdit(index);
}

void TMvCustomShellList::Edited(int index, std::string text) {
    TMvShListData* data = GetItemData(index);
    TListItem* item = Items().Item(index);
    if (!data || !item) {
        TMvCustomListView::Edited(index, std::move(text));
        return;
    }
    if (OnEdited) OnEdited(this, item, text);
    if (text.empty() || text == data->GetDisplayName() || !FShellFolder) return;
    FIgnoreNextNotification = true;
    TIdList renamed;
    // The whole name goes to the namespace: a name it cannot take keeps the old one.
    if (!Succeeded(FShellFolder->SetNameOf(data->RelIdList(), text, renamed))) {
        FIgnoreNextNotification = false;
        return;
    }
    FIcons.erase(data);
    data->SetRelIdList(renamed);
    item->Changed();
}

void TMvCustomShellList::EditingEnded() {
    RunPendingRefresh();
}

// ---- Drawing ----

TMvCustomDraw* TMvCustomShellList::HandleCustomDraw(TCustomDrawInfo& info, uint32_t* result) {
    std::unique_ptr<TMvCustomDraw> cd(TMvCustomListView::HandleCustomDraw(info, result));
    if (!cd && (OnCustomDrawSh || OnCustomDrawShEx)) cd = CreateCustomDraw(info, result);
    const int row = (info.DrawStage & CDDS_ITEM) ? static_cast<int>(info.ItemSpec) : -1;
    if (cd) {
        DoCustomDraw(cd.get(), Items().Item(row), GetItemData(row));
        cd->Apply();
    }
    if (info.DrawStage & 1) *result |= CDRF_NOTIFYITEMDRAW;
    return nullptr;
}

void TMvCustomShellList::DoCustomDraw(TMvCustomDraw* cd, TListItem* item, TMvShListData* data) {
    if (OnCustomDrawShEx) OnCustomDrawShEx(this, cd, item, data);
    if (OnCustomDrawSh && cd->Info().DrawStage == CDDS_ITEMPREPAINT) OnCustomDrawSh(this, cd, item, data);
}

// ---- Drag and drop ----

void TMvCustomShellList::BeginDrag(int /*index*/, TMouseButton button) {
    if (HasOption(ptsloOleDrag)) StartOleDrag(button);
}

void TMvCustomShellList::StartOleDrag(TMouseButton button) {
    const std::vector<int> rows = SelectedShellRows();
    if (rows.empty() || !FShellFolder) return;
    std::vector<TIdList> items;
    for (int row : rows) items.push_back(GetItemData(row)->RelIdList());
    FDragging = true;
    FOwnDragRight = button == TMouseButton::mbRight;
    auto* object = new TShellDataObject(FFolderPidl, items);
    object->AddRef();
    uint32_t mask = sfgaoCanCopy | sfgaoCanMove | sfgaoCanLink;
    if (!Succeeded(FShellFolder->GetAttributesOf(items, mask))) mask = 0;
    const uint32_t effect = ExecDrag(*this, MimeBlocksOf(*object, false), mask & 7);
    object->Release();
    FDragging = false;
    FOwnDragRight = false;
    // A drop, or changes that came in while dragging, show now.
    if (effect != DROPEFFECT_NONE || FRefreshPending) {
        FRefreshPending = false;
        Refill();
    }
}

void TMvCustomShellList::RegisterDropTarget(bool on) {
    if (on == FDropRegistered) return;
    FDropRegistered = on;
    if (!on) {
        RevokeDragDrop(*this);
        return;
    }
    TDropTargetEvents events;
    // The view hands drags over its rows on with points of the rows' area.
    const auto rowsPoint = [](TPoint at) { return at; };
    events.DragEnter = [this, rowsPoint](const TMimeBlocks& blocks, uint32_t keyState, TPoint at, uint32_t effect) {
        TShellDataObject* data = DataObjectFromMime(blocks);
        if (!data) return DROPEFFECT_NONE;
        data->AddRef();
        const uint32_t result = OleDragEnter(data, keyState, rowsPoint(at), effect);
        data->Release();
        return result;
    };
    events.DragOver = [this, rowsPoint](uint32_t keyState, TPoint at, uint32_t effect) {
        return OleDragOver(keyState, rowsPoint(at), effect) & 7;
    };
    events.DragLeave = [this] { OleDragLeave(); };
    events.Drop = [this, rowsPoint](const TMimeBlocks& blocks, uint32_t keyState, TPoint at, uint32_t effect) {
        if (!FDropData) {
            TShellDataObject* data = DataObjectFromMime(blocks);
            if (!data) return DROPEFFECT_NONE;
            data->AddRef();
            OleDragEnter(data, keyState, rowsPoint(at), effect);
            data->Release();
        }
        return OleDrop(keyState, rowsPoint(at), effect);
    };
    RegisterDragDrop(*this, std::move(events));
}

TFolderDropTarget* TMvCustomShellList::DropTargetAt(TPoint at, int& row) {
    row = GetItemAt(at.X, at.Y);
    TFolderDropTarget* target = nullptr;
    if (TMvShListData* data = GetItemData(row)) {
        if (data->IsFolder() && Succeeded(GetPidlDropTarget(data->GetAbsoluteIdList(), target))) return target;
        row = -1;
    } else
        row = -1;
    if (Succeeded(GetPidlDropTarget(FFolderPidl, target))) return target;
    return nullptr;
}

uint32_t TMvCustomShellList::Probe(uint32_t keyState, TPoint at, uint32_t effect) {
    int row = -1;
    uint32_t answer = DROPEFFECT_NONE;
    if (FDragging && GetItemAt(at.X, at.Y) < 0) {
        // Over its own folder: only a right-button drag offers anything (a copy).
        answer = FOwnDragRight ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    } else if (TFolderDropTarget* target = DropTargetAt(at, row)) {
        answer = effect;
        target->DragEnter(FDropData, keyState, at, answer);
        target->DragLeave();
        target->Release();
    }
    if (row != FDropRow) {
        if (FDropRow >= 0) SetItemState(FDropRow, 0, LVIS_DROPHILITED);
        FDropRow = answer != DROPEFFECT_NONE ? row : -1;
        if (FDropRow >= 0) SetItemState(FDropRow, LVIS_DROPHILITED, LVIS_DROPHILITED);
    }
    return answer;
}

uint32_t TMvCustomShellList::OleDragEnter(TShellDataObject* data, uint32_t keyState, TPoint at, uint32_t effect) {
    FLastScrollTick = TickCount();
    if (FDropData) FDropData->Release();
    FDropData = data;
    FDropData->AddRef();
    FDropKeyState = keyState;
    return Probe(keyState, at, effect);
}

uint32_t TMvCustomShellList::OleDragOver(uint32_t keyState, TPoint at, uint32_t effect) {
    if (!FDropData) return DROPEFFECT_NONE;
    const uint32_t answer = Probe(keyState, at, effect);
    const uint64_t now = TickCount();
    if (now - FLastScrollTick > 100) {
        const TPoint origin = RowsOrigin();
        if (at.Y < 20 && TopIndex() > 0) ScrollToRow(TopIndex() - 1);
        else if (at.Y > Height() - origin.Y - 20) ScrollToRow(TopIndex() + 1);
        FLastScrollTick = now;
    }
    return answer | DROPEFFECT_SCROLL;
}

void TMvCustomShellList::OleDragLeave() {
    if (FDropData) FDropData->Release();
    FDropData = nullptr;
    if (FDropRow >= 0) SetItemState(FDropRow, 0, LVIS_DROPHILITED);
    FDropRow = -1;
}

uint32_t TMvCustomShellList::OleDrop(uint32_t keyState, TPoint at, uint32_t effect) {
    uint32_t answer = DROPEFFECT_NONE;
    if (FDropData) {
        int row = -1;
        TFolderDropTarget* target = nullptr;
        uint32_t allowed = effect;
        if (FDragging && GetItemAt(at.X, at.Y) < 0) {
            // An own right-button drag onto its folder: never a move onto itself.
            if (FOwnDragRight && Succeeded(GetPidlDropTarget(FFolderPidl, target))) allowed &= ~DROPEFFECT_MOVE;
        } else
            target = DropTargetAt(at, row);
        if (target) {
            const uint32_t keys = keyState | (FDropKeyState & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON));
            answer = allowed;
            target->DragEnter(FDropData, keys, at, answer);
            target->DragOver(keys, at, answer);
            answer = allowed & GetAllowedDropEffects(*FDropData);
            target->Drop(FDropData, keys, at, answer);
            target->Release();
            if (IsNetworkFolder()) Refresh();
        }
    }
    OleDragLeave();
    return answer;
}

// ---- Messages ----

void TMvCustomShellList::Dispatch(TMessage& message) {
    switch (message.Msg) {
    case WMShellChangeNotify:
        if (FIgnoreNextNotification || FDragging) {
            // A change during a drag shows when the drag ends.
            if (FDragging && !FIgnoreNextNotification) FRefreshPending = true;
            FIgnoreNextNotification = false;
            return;
        }
        FRefreshTimer.Start(Focused() ? 400 : 2000, 0);
        return;
    case WMEditNewItem: {
        const int row = IndexOfName(FNewItemName);
        if (row >= 0) {
            SetFocus();
            EditCaption(row);
        }
        return;
    }
    case WMChangeNotifyRefresh:
        if (Items().Count() == 0) Refill();
        return;
    case WMGetShellBrowser:
        // There is no file-manager window of this process to hand out.
        message.Result = 0;
        return;
    default:
        TMvCustomListView::Dispatch(message);
    }
}

} // namespace mv
