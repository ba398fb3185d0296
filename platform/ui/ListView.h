#pragma once
// The list view in report style: a header of columns over rows of items, each with a
// caption, sub-item texts and a small image. Two ways of holding rows:
// - standard: the control keeps the items (Items());
// - owner data: the control keeps only a row count and asks its owner for every cell
//   it shows (GetDispInfo), after a hint with the range of rows about to be shown
//   (CacheHint); selection and focus are kept by row number.
// Notifications are typed virtual methods (column click, cell request, cache hint,
// find, state change, activation, hot tracking); rows and header items can be drawn
// by the control's owner through a canvas (owner-drawn rows, owner-drawn header).
#include "platform/ui/Control.h"
#include "platform/ui/CustomDraw.h"
#include "platform/ui/Labels.h"
#include "platform/ui/Lists.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace mv {

class TImageList;
class TListView;

// Item states.
constexpr uint32_t LVIS_FOCUSED = 0x1, LVIS_SELECTED = 0x2, LVIS_CUT = 0x4, LVIS_DROPHILITED = 0x8;
// What a cell request asks for.
constexpr uint32_t LVIF_TEXT = 0x1, LVIF_IMAGE = 0x2, LVIF_PARAM = 0x4, LVIF_STATE = 0x8, LVIF_INDENT = 0x10;
// GetNextItem: a direction and the states the item must have.
constexpr uint32_t LVNI_ALL = 0x0, LVNI_FOCUSED = 0x1, LVNI_SELECTED = 0x2, LVNI_CUT = 0x4,
                   LVNI_DROPHILITED = 0x8, LVNI_ABOVE = 0x100, LVNI_BELOW = 0x200, LVNI_TOLEFT = 0x400,
                   LVNI_TORIGHT = 0x800;
// Extended styles.
constexpr uint32_t LVS_EX_GRIDLINES = 0x1, LVS_EX_SUBITEMIMAGES = 0x2, LVS_EX_CHECKBOXES = 0x4,
                   LVS_EX_TRACKSELECT = 0x8, LVS_EX_HEADERDRAGDROP = 0x10, LVS_EX_FULLROWSELECT = 0x20,
                   LVS_EX_ONECLICKACTIVATE = 0x40, LVS_EX_TWOCLICKACTIVATE = 0x80, LVS_EX_FLATSB = 0x100,
                   LVS_EX_UNDERLINEHOT = 0x800, LVS_EX_UNDERLINECOLD = 0x1000;
// SetItemCount flags: keep what is shown, keep the scroll position.
constexpr uint32_t LVSICF_NOINVALIDATEALL = 0x1, LVSICF_NOSCROLL = 0x2;
// Column formats.
constexpr uint32_t LVCFMT_LEFT = 0x0, LVCFMT_RIGHT = 0x1, LVCFMT_CENTER = 0x2, LVCFMT_IMAGE = 0x800,
                   LVCFMT_BITMAP_ON_RIGHT = 0x1000;

// One column: its title, width, alignment and, in a header that is not owner-drawn,
// an image of the small-image list beside the title.
class TListColumn {
public:
    int Index() const { return FIndex; }
    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& value);
    int Width() const;
    // -1 fits the column to its widest cell, -2 to its widest cell or title.
    void SetWidth(int value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);
    // LVCFMT_IMAGE (with LVCFMT_BITMAP_ON_RIGHT for an image right of the title) and
    // the image index; the alignment bits follow Alignment.
    uint32_t Format() const;
    int ImageIndex() const { return FImageIndex; }
    void SetImage(uint32_t format, int imageIndex);

private:
    friend class TListColumns;
    explicit TListColumn(TListView* view) : FView(view) {}
    TListView* FView;
    int FIndex = 0;
    std::string FCaption;
    int FWidth = 50;
    TAlignment FAlignment = TAlignment::taLeftJustify;
    uint32_t FImageFormat = 0;
    int FImageIndex = -1;
};

class TListColumns {
public:
    explicit TListColumns(TListView* view) : FView(view) {}
    TListColumn* Add();
    int Count() const { return static_cast<int>(FItems.size()); }
    TListColumn* Items(int index) const { return FItems.at(static_cast<size_t>(index)).get(); }
    TListColumn* operator[](int index) const { return Items(index); }
    void Clear();

private:
    TListView* FView;
    std::vector<std::unique_ptr<TListColumn>> FItems;
};

// One row of a standard list view.
class TListItem {
public:
    int Index() const;
    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& value);
    std::vector<std::string>& SubItems() { return FSubItems; }
    const std::vector<std::string>& SubItems() const { return FSubItems; }
    // Call after changing SubItems(), so that the row is shown anew.
    void Changed();
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int value);
    int StateIndex() const { return FStateIndex; }
    void SetStateIndex(int value);
    int OverlayIndex() const { return FOverlayIndex; }
    void SetOverlayIndex(int value);
    intptr_t Data() const { return FData; }
    void SetData(intptr_t value) { FData = value; }
    bool Selected() const;
    void SetSelected(bool value);
    bool Focused() const;
    void SetFocused(bool value);
    TListView* ListView() const { return FView; }

private:
    friend class TListItems;
    explicit TListItem(TListView* view) : FView(view) {}
    TListView* FView;
    std::string FCaption;
    std::vector<std::string> FSubItems;
    int FImageIndex = -1, FStateIndex = -1, FOverlayIndex = -1;
    intptr_t FData = 0;
};

class TListItems {
public:
    explicit TListItems(TListView* view) : FView(view) {}
    TListItem* Add();
    TListItem* Insert(int index);
    void Delete(int index);
    void Clear();
    int Count() const { return static_cast<int>(FItems.size()); }
    TListItem* Item(int index) const;
    TListItem* operator[](int index) const { return Item(index); }
    int IndexOf(const TListItem* item) const;
    // Puts the items in a new order: order[p] is the index of the item that goes to
    // position p. Selection and focus stay with their items. False (and nothing
    // changed) when order is not a permutation of the indexes.
    bool Reorder(const std::vector<int>& order);
    // Changes between BeginUpdate and EndUpdate are shown once, at the end.
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }

private:
    friend class TListView;
    TListView* FView;
    std::vector<std::unique_ptr<TListItem>> FItems;
    int FUpdateCount = 0;
    bool FChangedWhileUpdating = false;
};

// A cell request of an owner-data list view. The control fills the row, column (0 is
// the caption), what it asks for and the item's state as it knows it; the owner fills
// the answer. Text holds at most TextMax - 1 characters and a terminating zero.
struct TLVItemRequest {
    uint32_t Mask = 0;
    int Item = -1;
    int SubItem = 0;
    uint32_t State = 0;
    uint32_t StateMask = 0;
    char* Text = nullptr;
    int TextMax = 0; // characters, the zero included
    int Image = -1;
    intptr_t Param = 0;
    int Indent = 0;
};
// The characters a cell request can hold, the terminating zero included.
constexpr int LVCellTextMax = 260;
// Copies text into a request's buffer: at most TextMax - 1 characters (whole UTF-8
// characters), then a zero.
void SetRequestText(TLVItemRequest& request, const std::string& text);

// The rows about to be shown (first and last, inclusive).
struct TLVCacheHint {
    int From = 0, To = -1;
};
// A search for an item by the start of its caption (typing in the list).
constexpr uint32_t LVFI_PARAM = 0x1, LVFI_STRING = 0x2, LVFI_PARTIAL = 0x8, LVFI_WRAP = 0x20;
struct TLVFindInfo {
    int Start = -1;
    uint32_t Flags = 0;
    std::string Text;
    intptr_t Param = 0;
};
// A range of rows whose states changed together.
struct TLVStateChange {
    int From = 0, To = 0;
    uint32_t NewState = 0, OldState = 0;
};

// How rows are shown: large icons, small icons, list or details (report).
enum class TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };

class TListView : public TWinControl, public TColumnTitles {
public:
    explicit TListView(TComponent* owner);
    ~TListView() override;

    TListColumns& Columns() { return FColumns; }
    const TListColumns& Columns() const { return FColumns; }
    TListItems& Items() { return FItems; }
    const TListItems& Items() const { return FItems; }

    TImageList* SmallImages() const { return FSmallImages; }
    virtual void SetSmallImages(TImageList* value);
    // The images of the large-icon style.
    TImageList* LargeImages() const { return FLargeImages; }
    void SetLargeImages(TImageList* value);
    // Details show the header and every column; the other styles show the names
    // alone, the large-icon style with the large images in taller rows.
    TViewStyle ViewStyle() const { return FViewStyle; }
    void SetViewStyle(TViewStyle value);

    // Owner data: the control keeps a row count only. Switching clears the items.
    bool OwnerData() const { return FOwnerData; }
    void SetOwnerData(bool value);
    // The number of rows in owner-data mode, applied without touching any row; with
    // LVSICF_NOSCROLL the scroll position stays.
    void SetItemCount(int count, uint32_t flags);
    // Rows shown: the items, or the owner-data count.
    int RowCount() const;

    // Rows drawn entirely by DrawItem.
    bool OwnerDraw() const { return FOwnerDraw; }
    void SetOwnerDraw(bool value);
    // Header items drawn by DrawHeaderItem.
    bool HeaderOwnerDraw() const { return FHeaderOwnerDraw; }
    void SetHeaderOwnerDraw(bool value);
    uint32_t ExtendedStyle() const { return FExtendedStyle; }
    void SetExtendedStyle(uint32_t value);
    bool HideSelection() const { return FHideSelection; }
    void SetHideSelection(bool value);
    bool MultiSelect() const { return FMultiSelect; }
    void SetMultiSelect(bool value);
    // The time the pointer rests on an item before it is selected by hot tracking
    // (-1: the default).
    int HoverTime() const { return FHoverTime; }
    void SetHoverTime(int value) { FHoverTime = value; }
    int SelectionMark() const { return FSelectionMark; }
    void SetSelectionMark(int value) { FSelectionMark = value; }
    // Paints the rows' background in the control's Color.
    void ApplyColor();
    // A picture under the rows: a local file, tiled or placed by percent offsets.
    void SetBackgroundImage(const std::string& fileName, bool tile, int xPercent, int yPercent);
    const std::string& BackgroundImageFile() const { return FBackgroundFile; }

    // Item states by row, in both modes.
    uint32_t ItemState(int index, uint32_t mask) const;
    void SetItemState(int index, uint32_t state, uint32_t mask);
    int SelCount() const;
    int ItemFocused() const;
    // The next item from start (-1: before the first) in a direction (LVNI_ABOVE,
    // LVNI_BELOW, LVNI_TOLEFT, LVNI_TORIGHT, or none: any later item) that has every
    // state of the flags; -1 when there is none.
    int GetNextItem(int start, uint32_t flags) const;
    void SelectAll();
    void ClearSelection();

    // Column order: entry p is the index of the column shown at position p. False
    // (nothing changed) when the order is not a permutation of the columns.
    std::vector<int> ColumnOrder() const;
    bool SetColumnOrder(const std::vector<int>& order);
    // Repaints part of the header.
    void InvalidateHeaderRect(const TRect& rect);
    // The rectangle of a header item in the header, and the header's height.
    TRect HeaderItemRect(int column) const;
    int HeaderHeight() const;
    // The row's rectangle in the rows' area (below the header); empty when not shown.
    TRect ItemRect(int index) const;
    int RowHeight() const;
    // The top-left corner of the header in the control.
    TPoint HeaderOrigin() const;
    // The top-left corner of the rows' area in the control.
    TPoint RowsOrigin() const;
    int TopIndex() const;
    // The first and last rows that can be seen (-1, -1 with no rows).
    void VisibleRange(int& from, int& to) const;
    void MakeVisible(int index);
    // Scrolls so that the row is the first one shown (as far as the rows allow).
    void ScrollToRow(int index);
    // Repaints the rows; owner data is asked again.
    void UpdateItems();
    // Sets the row height again from MeasureItem (after a font or image change).
    void RemeasureItems();
    // The text of a cell as the control shows it (owner data asked when needed).
    std::string CellText(int row, int column);

    // The header widget and the rows' widget, for tests that drive them with the mouse.
    QWidget* HeaderWidget() const;
    QWidget* RowsWidget() const;

    // TColumnTitles
    int ColumnTitleCount() const override { return FColumns.Count(); }
    std::string ColumnTitle(int index) const override;
    void SetColumnTitle(int index, const std::string& value) override;

    // Notifications, overridden by the derived controls. The defaults do nothing.
    // A header item was clicked.
    virtual void ColumnClick(int /*column*/) {}
    // The user dragged a header item to another position.
    virtual void ColumnMoved() {}
    // A double click on the divider right of a header item.
    virtual void DividerDblClick(int /*column*/) {}
    // A cell of an owner-data list is needed.
    virtual void GetDispInfo(TLVItemRequest& /*request*/) {}
    // Rows From..To are about to be asked for.
    virtual void CacheHint(TLVCacheHint& /*hint*/) {}
    // Owner data: find an item (typing in the list); the index found or -1.
    virtual int FindItem(const TLVFindInfo& /*info*/) { return -1; }
    // Owner data: a range of rows changed state together.
    virtual void ODStateChanged(const TLVStateChange& /*change*/) {}
    // An item was activated (double click or Enter).
    virtual void ItemActivate() {}
    // The pointer moved over an item with hot tracking; AllowSelect false keeps it
    // from being selected; the item may be changed.
    virtual void HotTrack(int& /*item*/, int /*subItem*/, TPoint /*at*/, bool& /*allowSelect*/) {}
    // A standard item was inserted.
    virtual void ItemInserted(TListItem* /*item*/) {}
    // Owner-drawn rows: the height of a row, and the drawing of one row.
    virtual void MeasureItem(int& /*height*/) {}
    virtual void DrawItem(TCanvas& /*canvas*/, int /*index*/, const TRect& /*rect*/, TOwnerDrawState /*state*/) {}
    // Owner-drawn header: one item, pressed or not.
    virtual void DrawHeaderItem(TCanvas& /*canvas*/, int /*column*/, const TRect& /*rect*/, bool /*pressed*/) {}
    // A standard item's text and image as shown; the defaults give what the item holds.
    virtual std::string StandardCellText(const TListItem* item, int row, int column);
    virtual int StandardItemImage(const TListItem* item, int /*row*/) { return item->ImageIndex(); }
    // Custom drawing: once per paint (CDDS_PREPAINT) and, when that answer asks for it,
    // once per row (CDDS_ITEMPREPAINT); the answer is a set of CDRF_ flags.
    virtual uint32_t CustomDraw(TCustomDrawInfo& /*info*/) { return CDRF_DODEFAULT; }
    // Caption editing of a standard item: allowed?, the text the edit ended with (the
    // default takes it), and the editor closed.
    virtual bool CanEdit(int /*index*/) { return !FReadOnly; }
    virtual void Edited(int index, std::string text);
    virtual void EditingEnded() {}
    // An item was dragged with a button held.
    virtual void BeginDrag(int /*index*/, TMouseButton /*button*/) {}
    // The selected rows changed (both modes).
    virtual void SelectionChanged() {}
    // The right button went down, and up, over the rows (points in the rows' area).
    virtual void RightClick(TPoint /*at*/) {}
    virtual void RightButtonUp(TPoint /*at*/) {}
    // A context menu is asked for: by the mouse at a point of the rows' area, or by the
    // keyboard.
    virtual void ContextMenu(TPoint /*at*/, bool /*fromKeyboard*/) {}

    // Starts editing an item's caption (when CanEdit allows); true when an editor opened.
    bool EditCaption(int index);
    bool IsEditing() const;
    // Ends an edit in progress: kept (true) or thrown away.
    void EndEditing(bool keep);
    // The open caption editor, or null.
    QWidget* EditorWidget() const;
    // The row at a point of the rows' area, or -1.
    int GetItemAt(int x, int y) const;
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value) { FReadOnly = value; }

protected:
    void FontChanged() override;
    void Notification(TComponent* component, TOperation operation) override;

private:
    friend class TListColumn;
    friend class TListColumns;
    friend class TListItem;
    friend class TListItems;
    friend class ListViewModel;
    friend class ListViewTable;
    friend class ListViewHeader;
    friend class ListViewDelegate;
    struct Impl;
    void ColumnsChanged();
    void ItemsReset();
    void RowChanged(int index);
    void RowsInserted(int first, int last);
    void RowsRemoved(int first, int last);
    void ApplyExtendedStyle();
    void ApplyViewStyle();
    int DefaultRowHeight() const;

    std::unique_ptr<Impl> FImpl;
    TListColumns FColumns;
    TListItems FItems;
    TImageList* FSmallImages = nullptr;
    TImageList* FLargeImages = nullptr;
    TViewStyle FViewStyle = TViewStyle::vsReport;
    bool FOwnerData = false;
    int FItemCount = 0;
    bool FOwnerDraw = false;
    bool FHeaderOwnerDraw = false;
    uint32_t FExtendedStyle = 0;
    bool FHideSelection = true;
    bool FMultiSelect = true;
    int FHoverTime = -1;
    int FSelectionMark = -1;
    std::string FBackgroundFile;
    bool FReadOnly = false;
    bool FBackgroundTile = false;
    int FBackgroundX = 0, FBackgroundY = 0;
};

// The locale's short date layout, as the list's text comparisons read dates.
struct TLocaleDateFormat {
    char DateSeparator = '/';
    char TimeSeparator = ':';
    std::string ShortDateFormat = "dd/MM/yyyy";
};
// The date layout of the user's locale.
TLocaleDateFormat UserDateFormat();
// The locale's comparison of two texts (letters by the locale's rules, case as a
// last resort): -1, 0 or 1.
int LocaleCompareText(const std::string& a, const std::string& b);

} // namespace mv
