#pragma once
// The tree view: nodes with a caption, an image for the normal and the selected state,
// an overlay, a cut look and an expand button of their own (so that children can be
// added when the node is first expanded). Notifications are typed virtual methods:
// expanding, selection change, click and right click, label editing, drag start,
// deletion of a node, the images asked for when shown, and custom drawing.
#include "platform/ui/Control.h"
#include "platform/ui/CustomDraw.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace mv {

class TImageList;
class TTreeView;

class TTreeNode {
public:
    ~TTreeNode();
    TTreeNode(const TTreeNode&) = delete;
    TTreeNode& operator=(const TTreeNode&) = delete;

    TTreeView* TreeView() const { return FView; }
    TTreeNode* Parent() const { return FParent; }
    const std::string& Text() const { return FText; }
    void SetText(const std::string& value);
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int value);
    int SelectedIndex() const { return FSelectedIndex; }
    void SetSelectedIndex(int value);
    int OverlayIndex() const { return FOverlayIndex; }
    void SetOverlayIndex(int value);
    bool Cut() const { return FCut; }
    void SetCut(bool value);
    // The expand button: shown while set, or while the node has children.
    bool HasChildren() const { return FHasChildren || !FChildren.empty(); }
    void SetHasChildren(bool value);
    void* Data() const { return FData; }
    void SetData(void* value) { FData = value; }

    int Count() const { return static_cast<int>(FChildren.size()); }
    TTreeNode* Item(int index) const { return FChildren.at(static_cast<size_t>(index)).get(); }
    int Index() const;
    int Level() const;
    int AbsoluteIndex() const;
    TTreeNode* GetFirstChild() const { return FChildren.empty() ? nullptr : FChildren.front().get(); }
    TTreeNode* GetNextSibling() const;
    // The next node in display order, expanded or not (children first).
    TTreeNode* GetNext() const;
    bool HasAsParent(const TTreeNode* node) const;

    bool Expanded() const { return FExpanded; }
    // Expands the node (asking CanExpand first); with recurse its whole subtree.
    void Expand(bool recurse);
    void Collapse(bool recurse);
    bool Selected() const;
    bool DropTarget() const;
    void SetDropTarget(bool value);
    void MakeVisible();
    // Starts editing the caption (when CanEdit allows); true when an editor opened.
    bool EditText();
    // Deletes the node with its subtree (Delete is called for every node first).
    void Delete();
    void DeleteChildren();
    // Orders the children by a comparison (negative, 0, positive); the order is stable.
    void CustomSort(const std::function<int(TTreeNode*, TTreeNode*)>& compare);
    // The node's row, or its caption alone, in the client area; empty when not shown.
    TRect DisplayRect(bool textOnly) const;

private:
    friend class TTreeNodes;
    friend class TTreeView;
    friend class TreeViewModel;
    TTreeNode(TTreeView* view, TTreeNode* parent) : FView(view), FParent(parent) {}
    TTreeView* FView;
    TTreeNode* FParent;
    std::string FText;
    int FImageIndex = -1, FSelectedIndex = -1, FOverlayIndex = -1;
    bool FCut = false;
    bool FHasChildren = false;
    bool FExpanded = false;
    void* FData = nullptr;
    std::vector<std::unique_ptr<TTreeNode>> FChildren;
};

class TTreeNodes {
public:
    explicit TTreeNodes(TTreeView* view) : FView(view) {}
    // A node at the end of a parent's children (null parent: the top level).
    TTreeNode* AddChild(TTreeNode* parent, const std::string& text);
    void Clear();
    // All nodes, at every level.
    int Count() const;
    // The node at an absolute index (display order, expanded or not).
    TTreeNode* Item(int absoluteIndex) const;
    TTreeNode* GetFirstNode() const;
    int TopCount() const { return static_cast<int>(FTop.size()); }
    TTreeNode* Top(int index) const { return FTop.at(static_cast<size_t>(index)).get(); }
    void BeginUpdate();
    void EndUpdate();

private:
    friend class TTreeNode;
    friend class TTreeView;
    friend class TreeViewModel;
    std::vector<std::unique_ptr<TTreeNode>>& ChildrenOf(TTreeNode* parent) {
        return parent ? parent->FChildren : FTop;
    }
    TTreeView* FView;
    std::vector<std::unique_ptr<TTreeNode>> FTop;
    int FUpdateCount = 0;
    bool FLayoutPending = false;
};

using TTVChangedEvent = std::function<void(TComponent* sender, TTreeNode* node)>;
using TTVExpandingEvent = std::function<void(TComponent* sender, TTreeNode* node, bool& allowExpansion)>;
using TTVEditingEvent = std::function<void(TComponent* sender, TTreeNode* node, bool& allowEdit)>;
using TTVEditedEvent = std::function<void(TComponent* sender, TTreeNode* node, std::string& text)>;
using TTVExpandedEvent = std::function<void(TComponent* sender, TTreeNode* node)>;

class TTreeView : public TWinControl {
public:
    explicit TTreeView(TComponent* owner);
    ~TTreeView() override;

    TTreeNodes& Items() { return FItems; }
    const TTreeNodes& Items() const { return FItems; }
    TTreeNode* Selected() const { return FSelected; }
    void SetSelected(TTreeNode* node);
    TImageList* Images() const { return FImages; }
    void SetImages(TImageList* value);
    bool ShowRoot() const { return FShowRoot; }
    void SetShowRoot(bool value);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value) { FReadOnly = value; }
    bool HideSelection() const { return FHideSelection; }
    void SetHideSelection(bool value);
    bool IsEditing() const;
    // Ends an edit in progress: kept (true) or thrown away.
    void EndEditing(bool keep);
    // The node at a point of the client area, or null.
    TTreeNode* GetNodeAt(int x, int y) const;
    TTreeNode* DropTarget() const { return FDropTarget; }
    // Scrolls by whole rows (dy) and by pixels (dx).
    void ScrollBy(int dx, int dy);
    void UpdateItems();

    // The rows' widget and the open label editor (null when none), for tests.
    QWidget* RowsWidget() const;
    QWidget* EditorWidget() const;

    TTVChangedEvent OnChange;
    TTVExpandingEvent OnExpanding;
    TTVExpandedEvent OnExpanded;
    TTVEditingEvent OnEditing;
    TTVEditedEvent OnEdited;
    TTVExpandedEvent OnDeletion;
    TTVExpandedEvent OnGetImageIndex;
    TTVExpandedEvent OnGetSelectedIndex;

    // Notifications, overridden by derived controls. The defaults fire the events.
    // A node is about to be expanded; false keeps it closed.
    virtual bool CanExpand(TTreeNode* node);
    virtual void Expanded(TTreeNode* node);
    // The selection moved (node may be null).
    virtual void Change(TTreeNode* node);
    virtual bool CanEdit(TTreeNode* node);
    // An edit ended with a text; the default fires OnEdited and takes the text.
    virtual void Edit(TTreeNode* node, std::string text);
    // The editor closed (after Edit, or without a text).
    virtual void EditingEnded() {}
    // A node is about to be freed.
    virtual void Delete(TTreeNode* node);
    // The images of a node are about to be shown.
    virtual void GetImageIndex(TTreeNode* node);
    virtual void GetSelectedIndex(TTreeNode* node);
    // The left button went down on the client area (before the selection moves).
    virtual void NodeClick(TPoint /*at*/) {}
    // The right button was clicked on the client area.
    virtual void RightClick(TPoint /*at*/) {}
    // The right button went up.
    virtual void RightButtonUp(TPoint /*at*/) {}
    // A context menu is asked for: by the mouse at a client point, or by the keyboard.
    virtual void ContextMenu(TPoint /*at*/, bool /*fromKeyboard*/) {}
    // A node was dragged with a button held.
    virtual void BeginDrag(TTreeNode* /*node*/, TMouseButton /*button*/) {}
    // Custom drawing: once per paint (CDDS_PREPAINT), and for each node when the
    // answer asked for it (CDDS_ITEMPREPAINT); the answer is a set of CDRF_ flags.
    virtual uint32_t CustomDraw(TCustomDrawInfo& /*info*/) { return CDRF_DODEFAULT; }

protected:
    void FontChanged() override;
    void Notification(TComponent* component, TOperation operation) override;

private:
    friend class TTreeNode;
    friend class TTreeNodes;
    friend class TreeViewModel;
    friend class TreeViewWidget;
    friend class TreeViewDelegate;
    struct Impl;
    void NodeChanged(TTreeNode* node);
    void DeleteNode(TTreeNode* node);
    void ForgetNode(TTreeNode* node);
    void SelectionMoved(TTreeNode* node);

    std::unique_ptr<Impl> FImpl;
    TTreeNodes FItems;
    TTreeNode* FSelected = nullptr;
    TTreeNode* FDropTarget = nullptr;
    TImageList* FImages = nullptr;
    bool FShowRoot = true;
    bool FReadOnly = false;
    bool FHideSelection = true;
    bool FClearing = false;
};

} // namespace mv
