#pragma once
// The shell tree: the namespace as a tree of folders rooted at BaseFolder (the Desktop
// when empty), filled lazily on expansion, keeping a linked shell list and folder combo
// on the selected folder, offering the shell's context menus and verbs, renaming
// through the namespace, starting and accepting drags, and refreshing itself from
// change notifications.
#include "controls/shell/ChangeHandler.h"
#include "controls/shell/CustomTreeList.h"
#include "controls/shell/ShellCommands.h"
#include "controls/shell/ShellData.h"
#include "controls/shell/ShellLocator.h"
#include "controls/shell/SyncTimer.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

namespace mv {

class TMvCustomShellList;
class TMvCustomShellCombo;

// The program's own messages of the shell controls.
constexpr uint32_t DROPEFFECT_SCROLL = 0x80000000;
constexpr uint32_t WMEditNewItem = 1126, WMChangeNotifyRefresh = 1127, WMGetShellBrowser = 0x407;

enum TMvShellTreeOption : uint8_t {
    ptstoAutoFill,
    ptstoVirtualFolders,
    ptstoDesignInteractive,
    ptstoDefaultKeyHandling,
    ptstoContextMenus,
    ptstoDynamicRefresh,
    ptstoIncludeNonFolders,
    ptstoOleDrag,
    ptstoOleDrop,
    ptstoShowHidden
};
// Bit n for member n.
using TMvShellTreeOptions = uint16_t;
constexpr TMvShellTreeOptions PTSTO(TMvShellTreeOption o) {
    return static_cast<TMvShellTreeOptions>(1u << o);
}
constexpr TMvShellTreeOptions DefaultShellTreeOptions = 955;

// Per enumerated item that passed the attribute filter; allowAdd starts true.
using TMvShAddItemEvent = std::function<void(TComponent* sender, const TShellFolder* parentFolder,
                                             const TIdList& parentAbsIdList, const TIdList& itemRelIdList,
                                             uint32_t attribs, bool& allowAdd)>;
using TMvShTreeInsertItemEvent = std::function<void(TComponent* sender, TTreeNode* node)>;
using TMvShTreeDeleteItemEvent = std::function<void(TComponent* sender, TTreeNode* node, TMvShTreeData* data)>;
using TMvShPopupHintEvent = std::function<void(TComponent* sender, const std::string& hint)>;
using TMvShTvCustomDrawEvent =
    std::function<void(TComponent* sender, TMvCustomDraw* cd, TTreeNode* node, TMvShTreeData* data)>;

// The entries of a shell context menu as a tracked menu, Send To filled in (1..49).
std::vector<TTrackMenuEntry> ShellMenuTrackEntries(const std::vector<TShellMenuEntry>& entries);

class TMvCustomShellTree : public TMvCustomTreeView {
public:
    explicit TMvCustomShellTree(TComponent* owner);
    ~TMvCustomShellTree() override;

    TMvShellLocator& BaseFolder() { return *FBaseFolder; }
    // The folder the tree shows selected.
    TMvShellLocator& CurrentFolder() { return *FCurrentFolder; }
    TMvCustomShellList* ShellList() const { return FShellList; }
    void SetShellList(TMvCustomShellList* value);
    TMvCustomShellCombo* ShellCombo() const { return FShellCombo; }
    TMvShellTreeOptions Options() const { return FOptions; }
    void SetOptions(TMvShellTreeOptions value);
    bool HasOption(TMvShellTreeOption o) const { return (FOptions & PTSTO(o)) != 0; }

    // The file-system path of the selected node; empty when none or not a shell node.
    std::string GetSelectedPath();
    // The record of the node at an absolute index; null for a foreign node.
    TMvShTreeData* GetItemData(int index);
    // The record of a node; null for a foreign node.
    TMvShTreeData* NodeData(TTreeNode* node) const;
    // Selects a folder by its path (unless busy).
    void SetPath(const std::string& path);
    // Selects a folder by its absolute list, adding the nodes on the way.
    void SelectPidl(const TIdList& pidl);
    void Refresh();
    void Refill();
    // Selects the ancestor that many levels up (stops at the root).
    void GoUp(int levels);
    // Runs a verb on a node: the verb's result, 1 when nothing could run it.
    HRESULT InvokeCommand(TTreeNode* node, const std::string& verb);
    bool CreateNewFolder();
    // Runs a pending move of the linked controls now (with cascade the list's and combo's
    // pending work first).
    void FlushPendingSync(bool cascade);
    // The delay timer (tag 1: move the linked controls; tag 2: refresh).
    TMvSyncTimer& LinkTimer() { return FLinkTimer; }
    // The change watcher, once made.
    TChangeHandlerThread* ChangeThread() const { return FChangeThread.get(); }
    bool Busy() const { return FBusy > 0; }

    TMvShAddItemEvent OnAddItem;
    TMvShTreeDeleteItemEvent OnDeleteItem;
    TMvShTreeInsertItemEvent OnInsertItem;
    TMvShPopupHintEvent OnPopupHint;
    TMvShTvCustomDrawEvent OnCustomDrawSh;
    TMvShTvCustomDrawEvent OnCustomDrawShEx;
    TNotifyEvent OnFillComplete;
    TNotifyEvent OnFillStart;

    void Dispatch(TMessage& message) override;
    void KeyDown(uint16_t& key, TShiftState shift) override;

    // For the combo: links or unlinks it.
    void SetComboLink(TMvCustomShellCombo* combo);

    // The tree as a drop target, at client points: each answer is the drop's effect
    // (the node's folder is asked and let go again while the drag goes on).
    uint32_t OleDragEnter(TShellDataObject* data, uint32_t keyState, TPoint at, uint32_t effect);
    uint32_t OleDragOver(uint32_t keyState, TPoint at, uint32_t effect);
    void OleDragLeave();
    uint32_t OleDrop(uint32_t keyState, TPoint at, uint32_t effect);
    bool Dragging() const { return FDragging; }
    bool RefreshPending() const { return FRefreshPending; }

protected:
    virtual bool AcceptItem(const TShellFolder& folder, const TIdList& parentAbsIdList, uint32_t attributes,
                            const TIdList& relIdList);
    virtual void DoDeleteItem(TTreeNode* node);
    virtual void FillTree(TShellFolderRef folder, TTreeNode* node);
    virtual void DoCustomDraw(TMvCustomDraw* cd, TTreeNode* node, TMvShTreeData* data);
    virtual void DoInsertItem(TTreeNode* node);
    virtual void RefillNode(TTreeNode* node);
    virtual void DoFillComplete();
    virtual void DoFillStart();
    virtual void SendToTarget(TTreeNode* node, int index);
    virtual void StartChangeNotification(const std::string& path);
    virtual void ShowShellContextMenu(TTreeNode* node, TPoint point);

    TMvCustomDraw* HandleCustomDraw(TCustomDrawInfo& info, uint32_t* result) override;
    void DoNodeContextMenu(TTreeNode* node, TPoint& point, TPopupMenu*& menu) override;
    void Notification(TComponent* component, TOperation operation) override;
    bool CanExpand(TTreeNode* node) override;
    bool CanEdit(TTreeNode* node) override;
    void Change(TTreeNode* node) override;
    void Edit(TTreeNode* node, std::string text) override;
    void EditingEnded() override;
    void Delete(TTreeNode* node) override;
    void DoGetImageIndex(TTreeNode* node) override;
    void DoGetSelectedIndex(TTreeNode* node) override;
    void NodeClick(TPoint at) override;
    void BeginDrag(TTreeNode* node, TMouseButton button) override;

private:
    friend class TMvCustomShellList;
    friend class TMvCustomShellCombo;
    class TBusy;
    void BaseFolderChanged();
    void CurrentFolderChanged();
    void LinkTick();
    void MoveLinkedControls(TTreeNode* node);
    HRESULT AddFolderNode(TShellFolderRef folder, TTreeNode* parent, const TIdList& relative,
                          TTreeNode*& added);
    void SortChildren(TTreeNode* node);
    void RefreshNode(TTreeNode* node, TTreeNode*& remembered);
    void WatchLocalDrives();
    void RunPendingRefresh();
    void StartOleDrag(TTreeNode* node, TMouseButton button);
    void RegisterDropTarget(bool on);
    TMvShTreeData* ShellData(TTreeNode* node) const;
    uint32_t Probe(uint32_t keyState, TPoint at, uint32_t effect);

    std::unique_ptr<TMvShellLocator> FBaseFolder;
    std::unique_ptr<TMvShellLocator> FCurrentFolder;
    TMvSyncTimer FLinkTimer;
    TMvCustomShellList* FShellList = nullptr;
    TMvShellTreeOptions FOptions = DefaultShellTreeOptions;
    TMvCustomShellCombo* FShellCombo = nullptr;
    std::unique_ptr<TShellContextMenu> FActiveContextMenu;
    bool FImmediate = false;
    int FBusy = 0;
    bool FIgnoreNextNotification = false;
    std::unique_ptr<TChangeHandlerThread> FChangeThread;
    bool FDragging = false;
    bool FRefreshPending = false;
    TTreeNode* FDragNode = nullptr;
    uint64_t FLastScrollTick = 0;
    TTreeNode* FLastInserted = nullptr;
    bool FDropRegistered = false;
    // A drop in progress: the node's target and what was seen at drag enter.
    TFolderDropTarget* FDropNodeTarget = nullptr;
    TShellDataObject* FDropData = nullptr;
    uint32_t FDropKeyState = 0;
    TTreeNode* FDropNode = nullptr;
    std::unordered_set<const TMvShTreeData*> FOwnedData;
};

class TMvShellTree : public TMvCustomShellTree {
public:
    explicit TMvShellTree(TComponent* owner) : TMvCustomShellTree(owner) {}
};

} // namespace mv
