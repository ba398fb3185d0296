#pragma once
// The bases of the shell tree and list: custom-draw hooks that hand a small drawing
// object to event handlers, a context-menu protocol that lets the owner choose or
// replace the popup menu per node or item (mouse and keyboard), and, for the list, sort
// arrows drawn in the column header.
#include "platform/ui/ListView.h"
#include "platform/ui/PopupMenu.h"
#include "platform/ui/TreeView.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace mv {

// The drawing object of one custom-draw notification: the font and brush the item is
// drawn with, and what the handler wants (item notifications, no default drawing).
class TMvCustomDraw {
public:
    // A brush whose colour changes are noticed.
    class TMvCDBrush {
    public:
        TColor Color() const { return FColor; }
        void SetColor(TColor value);
        std::function<void()> OnChange;

    private:
        friend class TMvCustomDraw;
        TColor FColor = clWindow;
    };

    TMvCustomDraw(const TFont& font, TCustomDrawInfo& info, uint32_t* result);
    virtual ~TMvCustomDraw();
    TMvCustomDraw(const TMvCustomDraw&) = delete;
    TMvCustomDraw& operator=(const TMvCustomDraw&) = delete;

    virtual void Init(TCustomDrawInfo& info, uint32_t* result);
    virtual void CreateFont();
    virtual void CreateBrush();
    virtual void Apply() = 0;
    // 1 pre-paint, 2 post-paint, 4 item pre-paint, 5 item post-paint, else 0.
    int Stage() const;

    const TFont& SourceFont() const { return FSourceFont; }
    TFont& Font() { return *FFont; }
    bool FontChanged() const { return FFontChanged; }
    TMvCDBrush& Brush() { return *FBrush; }
    bool BrushChanged() const { return FBrushChanged; }
    bool NotifyItemDraw = false;
    bool SkipDefault = false;
    TCustomDrawInfo& Info() const { return *FInfo; }
    uint32_t* Result() const { return FResult; }
    TCanvas* Canvas() const { return FInfo->Canvas; }

protected:
    // The common part of Apply: the answer by stage.
    void ApplyCommon();

private:
    const TFont& FSourceFont;
    std::unique_ptr<TFont> FFont;
    bool FFontChanged = false;
    std::unique_ptr<TMvCDBrush> FBrush;
    bool FBrushChanged = false;
    TCustomDrawInfo* FInfo = nullptr;
    uint32_t* FResult = nullptr;
};

class TMvTvCustomDraw : public TMvCustomDraw {
public:
    using TMvCustomDraw::TMvCustomDraw;
    void Apply() override { ApplyCommon(); }
    // The node of an item stage.
    TTreeNode* Node() const { return reinterpret_cast<TTreeNode*>(Info().ItemSpec); }
};

class TMvLvCustomDraw : public TMvCustomDraw {
public:
    using TMvCustomDraw::TMvCustomDraw;
    void Apply() override { ApplyCommon(); }
    // The row of an item stage.
    int Row() const { return static_cast<int>(Info().ItemSpec); }
};

using TMvTvOnNodeContextMenuEvent =
    std::function<void(TComponent* sender, TTreeNode* node, TPoint& pos, TPopupMenu*& menu)>;
using TMvTvCustomDrawEvent = std::function<void(TComponent* sender, TMvCustomDraw* cd, TTreeNode* node)>;

class TMvCustomTreeView : public TTreeView {
public:
    explicit TMvCustomTreeView(TComponent* owner);
    ~TMvCustomTreeView() override;

    TPopupMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(TPopupMenu* value);
    // The colours: the background and the font's colour are the tree's.
    TMvTvOnNodeContextMenuEvent OnNodeContextMenu;
    TMvTvCustomDrawEvent OnCustomDrawItem;
    TMvTvCustomDrawEvent OnCustomDraw;
    // The drawing object of the last notification (for handlers and checks).
    TMvCustomDraw* CurrentCustomDraw() const { return FCustomDraw.get(); }
    uint32_t CustomDraw(TCustomDrawInfo& info) override;
    void KeyDown(uint16_t& key, TShiftState shift) override;

protected:
    virtual TMvCustomDraw* HandleCustomDraw(TCustomDrawInfo& info, uint32_t* result);
    virtual std::unique_ptr<TMvCustomDraw> CreateCustomDraw(TCustomDrawInfo& info, uint32_t* result);
    virtual void DoNodeDeleting(TTreeNode* /*node*/) {}
    virtual void ShowSelectionContextMenu();
    virtual void ShowPopupMenu(TTreeNode* node, TPoint point);
    virtual void DoGetImageIndex(TTreeNode* node) { TTreeView::GetImageIndex(node); }
    virtual void DoGetSelectedIndex(TTreeNode* node) { TTreeView::GetSelectedIndex(node); }
    virtual void DoNodeContextMenu(TTreeNode* node, TPoint& point, TPopupMenu*& menu);
    void Delete(TTreeNode* node) override;
    void GetImageIndex(TTreeNode* node) override { DoGetImageIndex(node); }
    void GetSelectedIndex(TTreeNode* node) override { DoGetSelectedIndex(node); }
    void RightClick(TPoint at) override;
    void RightButtonUp(TPoint at) override;
    void ContextMenu(TPoint at, bool fromKeyboard) override;
    void Notification(TComponent* component, TOperation operation) override;
    // Pops a menu up at a client point for the tree.
    void PopupAt(TPopupMenu* menu, TPoint point);
    bool FRightClickMenuShown = false;

private:
    std::unique_ptr<TMvCustomDraw> FCustomDraw;
    TPopupMenu* FPopupMenu = nullptr;
};

enum class TMvLvHeaderSortDisplayMode { ptlvNone, ptlvLeftAlign, ptlvRightOfText, ptlvRightAlign };

using TMvLvOnItemContextMenuEvent =
    std::function<void(TComponent* sender, TListItem* item, TPoint& pos, TPopupMenu*& menu)>;
using TMvLvCustomDrawEvent = std::function<void(TComponent* sender, TMvCustomDraw* cd, TListItem* item)>;

// The box the header's sort arrow is drawn in, built from a rectangle.
TRect SortArrowBox(const TRect& from);
// Draws the arrow of a sort (down: pointing down) in a box.
void DrawSortArrow(TCanvas& canvas, const TRect& box, bool down);
// Draws one header item: the caption with its alignment and, for the sort column when
// the column is wide enough, the sort arrow placed by the mode.
void DrawSortHeaderItem(TCanvas& canvas, const TRect& itemRect, const std::string& caption, TAlignment alignment,
                        TMvLvHeaderSortDisplayMode mode, bool sortColumn, bool arrowDown, int columnWidth);

class TMvCustomListView : public TListView {
public:
    explicit TMvCustomListView(TComponent* owner);
    ~TMvCustomListView() override;

    TPopupMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(TPopupMenu* value);
    int SortColumn() const { return FSortColumnShown; }
    void SetSortColumn(int value);
    uint8_t SortArrowDown() const { return FSortArrowDown; }
    void SetSortArrowDown(uint8_t value);
    TMvLvHeaderSortDisplayMode HeaderSortDisplayMode() const { return FHeaderSortDisplayMode; }
    void SetHeaderSortDisplayMode(TMvLvHeaderSortDisplayMode value);
    // The header items take the sort-arrow drawing (after columns change).
    void UpdateHeaderFormats();

    TMvLvOnItemContextMenuEvent OnItemContextMenu;
    // An edit of an item's caption ended; the text may be changed.
    std::function<void(TComponent* sender, TListItem* item, std::string& text)> OnEdited;
    TMvLvCustomDrawEvent OnCustomDrawItem;
    TMvLvCustomDrawEvent OnCustomDraw;
    TMvCustomDraw* CurrentCustomDraw() const { return FCustomDraw.get(); }
    uint32_t CustomDraw(TCustomDrawInfo& info) override;
    void KeyDown(uint16_t& key, TShiftState shift) override;
    void DrawHeaderItem(TCanvas& canvas, int column, const TRect& rect, bool pressed) override;

protected:
    virtual TMvCustomDraw* HandleCustomDraw(TCustomDrawInfo& info, uint32_t* result);
    virtual std::unique_ptr<TMvCustomDraw> CreateCustomDraw(TCustomDrawInfo& info, uint32_t* result);
    virtual void DoRightClick(TPoint point);
    virtual void ShowPopupMenu(TPoint point);
    virtual void DoItemContextMenu(TListItem* item, TPoint& point, TPopupMenu*& menu);
    void RightClick(TPoint at) override;
    void RightButtonUp(TPoint at) override;
    void ContextMenu(TPoint at, bool fromKeyboard) override;
    void Notification(TComponent* component, TOperation operation) override;
    void PopupAt(TPopupMenu* menu, TPoint point);
    bool FRightClickMenuShown = false;

private:
    std::unique_ptr<TMvCustomDraw> FCustomDraw;
    TPopupMenu* FPopupMenu = nullptr;
    int FSortColumnShown = -1;
    uint8_t FSortArrowDown = 0;
    TMvLvHeaderSortDisplayMode FHeaderSortDisplayMode = TMvLvHeaderSortDisplayMode::ptlvRightOfText;
};

} // namespace mv
