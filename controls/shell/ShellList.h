#pragma once
// The shell list: the items of one folder of the namespace like a file manager's
// window: icons from the system image lists, report columns for file-system folders,
// sorting by any column, a file-mask filter, opening, renaming, new folders, the
// shell's context menus and verbs, drag and drop, and a refresh from change
// notifications by a difference against what is shown.
#include "controls/shell/ChangeHandler.h"
#include "controls/shell/CustomTreeList.h"
#include "controls/shell/ShellCommands.h"
#include "controls/shell/ShellData.h"
#include "controls/shell/ShellLocator.h"
#include "controls/shell/ShellTree.h"
#include "controls/shell/SyncTimer.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <unordered_map>
#include <unordered_set>
#include <string>
#include <vector>

namespace mv {

class TMvCustomShellCombo;

enum TMvShellListOption : uint8_t {
    ptsloAutoFill,
    ptsloNonFilesystemAncestors,
    ptsloDesignInteractive,
    ptsloDefaultKeyHandling,
    ptsloContextMenus,
    ptsloDontChangeFolder,
    ptsloDontGoBelowBase,
    ptsloDynamicRefresh,
    ptsloHideFoldersWhenLinkedToTree,
    ptsloOleDrag,
    ptsloOleDrop,
    ptsloFolderContextMenu,
    ptsloShowHidden
};
using TMvShellListOptions = uint16_t;
constexpr TMvShellListOptions PTSLO(TMvShellListOption o) {
    return static_cast<TMvShellListOptions>(1u << o);
}
constexpr TMvShellListOptions DefaultShellListOptions = 7835;

using TMvShListDeleteItemEvent = std::function<void(TComponent* sender, TListItem* item, TMvShListData* data)>;
using TMvShDblClickOpenEvent = std::function<void(TComponent* sender, bool& handled)>;
using TMvShLvCustomDrawEvent =
    std::function<void(TComponent* sender, TMvCustomDraw* cd, TListItem* item, TMvShListData* data)>;

// The widths of the file columns as the user's file-manager setting gives them: five
// 16-bit widths (name, size, type, modified, one spare), at most 22 bytes.
struct TDirectoryCols {
    std::vector<uint8_t> Bytes;
    // The width of column i (0..3) from the bytes over the defaults 200, 60, 100, 120.
    int Width(int column) const;
};
// Reads the value "DirectoryCols" of the file manager's settings key; false when absent
// or longer than 22 bytes.
bool ReadDirectoryCols(TDirectoryCols& value);

class TMvCustomShellList : public TMvCustomListView, public TMvShListOwner {
public:
    explicit TMvCustomShellList(TComponent* owner);
    ~TMvCustomShellList() override;

    TMvShellLocator& Folder() { return *FFolder; }
    TMvShellListOptions Options() const { return FOptions; }
    void SetOptions(TMvShellListOptions value);
    bool HasOption(TMvShellListOption o) const { return (FOptions & PTSLO(o)) != 0; }
    const std::string& FileFilter() const { return FFileFilter; }
    void SetFileFilter(const std::string& value);
    // Signed 1-based column, negative descending, 0 unsorted.
    int SortColumnValue() const { return FSortColumn; }
    void SetSortColumnValue(int value);
    TMvCustomShellTree* ShellTree() const { return FShellTree; }
    TMvCustomShellCombo* ShellCombo() const { return FShellCombo; }
    // 0 none, 1 the folder's own columns, 2 the file columns.
    int ColumnSetupKind() const { return FColumnSetup; }

    void Refill();
    void Refresh();
    void GoUp(int levels);
    bool CreateNewFolder(bool edit);
    HRESULT InvokeCommand(const std::string& verb);
    HRESULT InvokeFolderCommand(const std::string& verb);
    void SelectAll();
    void OpenSelection();
    // The record of the selected item (the first selected shell item), or null.
    TMvShListData* GetSelectedData();
    TMvShListData* GetItemData(int index);
    // The row showing an item with that display name, or -1.
    int IndexOfName(const std::string& displayName);
    void SyncFromTreeNode(TTreeNode* node);
    void FlushPendingSync(bool cascade);
    TMvSyncTimer& RefreshTimer() { return FRefreshTimer; }
    TChangeHandlerThread* ChangeThread() const { return FChangeThread.get(); }
    bool Busy() const { return FBusy > 0; }

    // TMvShListOwner
    const TIdList& FolderIdList() const override { return FFolderPidl; }
    TShellFolderRef FolderShellFolder() const override { return FShellFolder; }

    TMvShPopupHintEvent OnPopupHint;
    TMvShAddItemEvent OnAddItem;
    TMvShListDeleteItemEvent OnDeleteItem;
    TMvShDblClickOpenEvent OnDblClickOpen;
    TMvShLvCustomDrawEvent OnCustomDrawSh;
    TMvShLvCustomDrawEvent OnCustomDrawShEx;
    TNotifyEvent OnFillComplete;
    TNotifyEvent OnFillStart;
    TNotifyEvent OnFolderChanged;

    void Dispatch(TMessage& message) override;
    void KeyDown(uint16_t& key, TShiftState shift) override;
    void ColumnClick(int column) override;
    void ItemActivate() override;
    std::string StandardCellText(const TListItem* item, int row, int column) override;
    int StandardItemImage(const TListItem* item, int row) override;

    // For the tree and the combo: links or unlinks them.
    void SetTreeLink(TMvCustomShellTree* tree);
    void SetComboLink(TMvCustomShellCombo* combo);

    // The list as a drop target, at points of the rows' area (as the tree's).
    uint32_t OleDragEnter(TShellDataObject* data, uint32_t keyState, TPoint at, uint32_t effect);
    uint32_t OleDragOver(uint32_t keyState, TPoint at, uint32_t effect);
    void OleDragLeave();
    uint32_t OleDrop(uint32_t keyState, TPoint at, uint32_t effect);
    bool Dragging() const { return FDragging; }
    bool RefreshPending() const { return FRefreshPending; }

protected:
    virtual bool AcceptItem(const TShellFolder& folder, const TIdList& parentAbsIdList, uint32_t attributes,
                            const TIdList& relIdList);
    virtual void FillFolder(TShellFolderRef folder, const TIdList& pidl);
    virtual void BuildFileFilterSet();
    virtual bool PassesFileFilter(const std::string& name, uint32_t attributes);
    virtual void ClearFileFilterSet();
    virtual void DoDblClickOpen(bool& handled);
    virtual void DoFillComplete();
    virtual void DoFillStart();
    virtual void DoFolderChanged();
    virtual void DoCustomDraw(TMvCustomDraw* cd, TListItem* item, TMvShListData* data);
    virtual void StartChangeNotification();

    TMvCustomDraw* HandleCustomDraw(TCustomDrawInfo& info, uint32_t* result) override;
    void DoItemContextMenu(TListItem* item, TPoint& point, TPopupMenu*& menu) override;
    void Notification(TComponent* component, TOperation operation) override;
    bool CanEdit(int index) override;
    void Edited(int index, std::string text) override;
    void EditingEnded() override;
    void BeginDrag(int index, TMouseButton button) override;

private:
    friend class TMvCustomShellTree;
    friend class TMvCustomShellCombo;
    class TBusy;
    void FolderChanged();
    void SetupColumns();
    void SaveColumnWidths();
    void ApplySort();
    int CompareItems(TMvShListData* a, TMvShListData* b) const;
    bool FilterItem(const TShellFolder& folder, const TIdList& relative, uint32_t& attributes);
    void AddShellItem(std::unique_ptr<TMvShListData> data, uint32_t attributes);
    void AddNewShellItem(const TIdList& relative);
    void DeleteShellItem(int index);
    void ClearShellItems();
    void RefreshTick();
    void OpenItem(int index);
    void EnterFolder(const TIdList& absolute);
    std::vector<int> SelectedShellRows();
    void ShowShellContextMenu(TPoint point);
    void StartOleDrag(TMouseButton button);
    void RegisterDropTarget(bool on);
    void RunPendingRefresh();
    bool IsNetworkFolder();
    uint32_t Probe(uint32_t keyState, TPoint at, uint32_t effect);
    TFolderDropTarget* DropTargetAt(TPoint at, int& row);

    int FColumnSetup = 0;
    bool FWidthsInStream = false;
    TShellFolderRef FShellFolder;
    TIdList FFolderPidl;
    std::unique_ptr<TMvShellLocator> FFolder;
    TMvShellListOptions FOptions = DefaultShellListOptions;
    std::string FFileFilter;
    std::unique_ptr<std::vector<std::string>> FFilterMasks;
    bool FFilterActive = false;
    TMvSyncTimer FRefreshTimer;
    TMvCustomShellTree* FShellTree = nullptr;
    TMvCustomShellCombo* FShellCombo = nullptr;
    std::unique_ptr<TShellContextMenu> FActiveContextMenu;
    int FSortColumn = 1;
    int FBusy = 0;
    bool FIgnoreNextNotification = false;
    std::unique_ptr<TChangeHandlerThread> FChangeThread;
    std::string FNewItemName;
    bool FDragging = false;
    bool FRefreshPending = false;
    bool FDropRegistered = false;
    TFolderDropTarget* FDropItemTarget = nullptr;
    TShellDataObject* FDropData = nullptr;
    uint32_t FDropKeyState = 0;
    int FDropRow = -1;
    bool FOwnDragRight = false;
    uint64_t FLastScrollTick = 0;
    std::unordered_set<const TMvShListData*> FOwnedData;
    std::unordered_map<const TMvShListData*, int> FIcons;
};

class TMvShellList : public TMvCustomShellList {
public:
    explicit TMvShellList(TComponent* owner) : TMvCustomShellList(owner) {}
};

} // namespace mv
