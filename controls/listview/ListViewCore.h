#pragma once
// The sorting list view under the archive and analysis lists: a header click sorts by
// that column with the typed "smart" comparison (or the owner's), the sort column and
// direction are remembered and shown by an arrow in the header, rows and header items
// can be drawn by the owner before, instead of or after the default drawing, updates
// are counted so that a re-sort waits for the outermost EndUpdate, and the column
// widths and sort can be kept in the registry store.
//
// The direction flag and the events: CurrentSortAscending set keeps the comparison's
// sign (UpArrow shown), clear negates it. OnSortBegin and OnSortFinished receive the
// inverse of the flag the sort ran with; the application's lists rely on that.
#include "controls/listview/LVSaveSettings.h"
#include "controls/listview/ListViewSort.h"
#include "platform/ui/Graphics.h"
#include "platform/ui/ListView.h"

#include <functional>
#include <memory>
#include <string>

namespace mv {

enum class TLVStyle { lvStandard, lvOwnerDrawFixed };
enum class TAutoColumnSort { acsNoSort, acsSort, acsSortToggle };

using TLVSortStatusEvent = std::function<void(TComponent* sender, int sortColumn, bool ascending)>;
using TLVSortItemsEvent =
    std::function<void(TComponent* sender, TListItem* item1, TListItem* item2, int sortColumn, int& compResult)>;
using TLVMeasureItemEvent = std::function<void(TComponent* control, int& height)>;
using TLVDrawItemEvent = std::function<void(TComponent* control, TCanvas& canvas, int index, const TRect& rect,
                                            TOwnerDrawState state, bool& defaultDrawing, bool& fullRowSelect)>;
using TLVDrawSubItemEvent = std::function<void(TComponent* control, TCanvas& canvas, int index, int subItem,
                                               const TRect& rect, TOwnerDrawState state, bool& defaultDrawing)>;
using TLVAfterDrawItemEvent =
    std::function<void(TComponent* control, TCanvas& canvas, int index, const TRect& rect, TOwnerDrawState state)>;
using TLVHDrawItemEvent = std::function<void(TComponent* control, TCanvas& canvas, int index, TRect& rect,
                                             bool selected, bool& defaultDrawing)>;
using TLVColumnClickEvent = std::function<void(TComponent* sender, TListColumn* column)>;
using TLVInsertEvent = std::function<void(TComponent* sender, TListItem* item)>;

// Margins of owner drawing: around cell texts and beside images.
constexpr int LVCellMargin = 4, LVImageMargin = 2;

// The two arrow drawings on an s x s square of button face (s even): the downward
// triangle (shadow on its right side, highlight on top and left) and the upward one
// (highlight on the left, shadow on the right and bottom). Swapped, the down bitmap
// holds the upward drawing and the up bitmap the downward one.
void DrawDownArrow(TBitmap& bitmap, int s);
void DrawUpArrow(TBitmap& bitmap, int s);
// The size of the arrow bitmaps for a font: the height of "Wy" less 6, rounded up to
// even; 0 or less means no arrows.
int SortArrowSize(const TFont& font);

class TCustomListViewCore : public TListView {
public:
    explicit TCustomListViewCore(TComponent* owner);
    ~TCustomListViewCore() override;

    virtual std::string Version() const { return "TListViewCore v3.52"; }

    TLVStyle Style() const { return FStyle; }
    void SetStyle(TLVStyle value);
    TAutoColumnSort AutoColumnSort() const { return FAutoColumnSort; }
    void SetAutoColumnSort(TAutoColumnSort value);
    TAutoSortStyle AutoSortStyle() const { return FAutoSortStyle; }
    void SetAutoSortStyle(TAutoSortStyle value);
    bool AutoResort() const { return FAutoResort; }
    void SetAutoResort(bool value) { FAutoResort = value; }
    bool AutoSortAscending() const { return FAutoSortAscending; }
    void SetAutoSortAscending(bool value);
    bool CurrentSortAscending() const { return FCurrentSortAscending; }
    void SetCurrentSortAscending(bool value);
    int CurrentSortColumn() const { return FCurrentSortColumn; }
    void SetCurrentSortColumn(int column);
    bool ShowSortArrows() const { return FShowSortArrows; }
    virtual void SetShowSortArrows(bool value);
    bool ReverseSortArrows() const { return FReverseSortArrows; }
    void SetReverseSortArrows(bool value);
    const TBitmap* UpArrow() const { return FUpArrow.get(); }
    const TBitmap* DownArrow() const { return FDownArrow.get(); }
    bool ResortPending() const { return FResortPending; }
    int UpdateCount() const { return FUpdateCount; }
    TLVCoreSaveSettings& SaveSettings() { return *FSaveSettings; }
    // The date layout the smart comparison reads dates with (the user's by default).
    const TLocaleDateFormat& DateFormat() const { return FDateFormat; }
    void SetDateFormat(const TLocaleDateFormat& value) { FDateFormat = value; }

    const TLVHDrawItemEvent& OnDrawHeader() const { return FOnDrawHeader; }
    virtual void SetOnDrawHeader(TLVHDrawItemEvent handler);

    // Sorting.
    virtual void SortItems(int column, bool ascending);
    virtual void SortByColumn(int column, bool ascending);
    virtual void Resort();
    virtual void BeginUpdate();
    virtual void EndUpdate();
    // Every column's width fitted to its contents, or to contents and title.
    virtual void ResizeColumns(bool toHeader);
    virtual void InvalidateColumnHeader(int column);

    // The column shown at a position (null past the end) and a column's position.
    virtual int GetColumnDisplayPos(int index);
    virtual TListColumn* GetColumnAtDisplayPos(int pos);
    // The caption for subItem -1, else the sub-item text.
    virtual std::string GetSubItemText(int index, int subItem);

    // Called once the owner has set the control up (the forms are built in code): the
    // background colour is applied, the saved settings are loaded, and without a saved
    // sort the list is sorted by its first column.
    virtual void Loaded();

    // Saved settings.
    virtual void AutoSaveSettings();
    virtual bool StoreSettings();
    virtual bool AutoLoadSettings();
    virtual bool LoadSettings();

    TLVSortStatusEvent OnSortBegin;
    TLVSortStatusEvent OnSortFinished;
    TLVSortItemsEvent OnSortItems;
    TLVMeasureItemEvent OnMeasureItem;
    TLVDrawItemEvent OnDrawItem;
    TLVDrawSubItemEvent OnDrawSubItem;
    TLVAfterDrawItemEvent OnAfterDefaultDrawItem;
    TLVColumnClickEvent OnColumnClick;
    TLVInsertEvent OnInsert;

    // The list view's notifications.
    void ColumnClick(int column) override;
    void ItemInserted(TListItem* item) override;
    void MeasureItem(int& height) override;
    void DrawItem(TCanvas& canvas, int index, const TRect& rect, TOwnerDrawState state) override;
    void DrawHeaderItem(TCanvas& canvas, int column, const TRect& rect, bool pressed) override;
    void DividerDblClick(int column) override;

protected:
    virtual void DoSortBegin(int column, bool ascending);
    virtual void DoSortFinished(int column, bool ascending);
    virtual void DoSortItems(TListItem* item1, TListItem* item2, int sortColumn, int& compResult);
    virtual void DoMeasureItem(int& height);
    virtual void DefaultDrawItem(TCanvas& canvas, int index, const TRect& rect, bool fullRowSelect,
                                 TOwnerDrawState state);
    virtual void DefaultDrawSubItem(TCanvas& canvas, int index, int subItem, TOwnerDrawState state, TRect rect);
    virtual void ProcessDrawItem(TCanvas& canvas, int index, const TRect& rect, bool fullRowSelect,
                                 TOwnerDrawState state);
    virtual bool DoDrawSubItem(TCanvas& canvas, int index, int subItem, const TRect& rect, TOwnerDrawState state);
    virtual void DoDrawItem(TCanvas& canvas, int index, const TRect& rect, TOwnerDrawState state,
                            bool& defaultDrawing, bool& fullRowSelect);
    virtual void DoAfterDefaultDrawItem(TCanvas& canvas, int index, const TRect& rect, TOwnerDrawState state);
    virtual void ProcessDrawHeader(TCanvas& canvas, int index, const TRect& rect, bool selected);
    virtual bool DoDrawHeader(TCanvas& canvas, int index, TRect& rect, bool selected);
    virtual void DefaultDrawHeader(TCanvas& canvas, int index, const TRect& rect, bool selected);
    virtual void SetHeaderOwnerDrawOn(bool on);
    virtual void CreateSortBitmaps();
    virtual void ApplyBackgroundColor();
    // The comparison of the built-in sort (sign not applied).
    virtual int SmartCompare(TListItem* item1, TListItem* item2, int subItemIndex);
    // Fills a header item's face (pressed: filled, then shrunk) and returns the
    // rectangle left for its contents.
    TRect DrawHeaderFace(TCanvas& canvas, const TRect& rect, bool pressed);
    // The arrow to show: UpArrow when the flag is set, else DownArrow.
    const TBitmap* CurrentArrow() const;
    // Draws a cell text with a column's alignment and the list's text flags.
    void DrawCellText(TCanvas& canvas, const std::string& text, TRect rect, TAlignment alignment);

    std::unique_ptr<TLVCoreSaveSettings> FSaveSettings;

private:
    bool FResortPending = false;
    int FUpdateCount = 1;
    TLVStyle FStyle = TLVStyle::lvStandard;
    TAutoColumnSort FAutoColumnSort = TAutoColumnSort::acsNoSort;
    TAutoSortStyle FAutoSortStyle = TAutoSortStyle::assSmart;
    bool FAutoResort = true;
    bool FAutoSortAscending = true;
    bool FCurrentSortAscending = true;
    int FCurrentSortColumn = -1;
    bool FShowSortArrows = false;
    bool FReverseSortArrows = false;
    std::unique_ptr<TBitmap> FUpArrow, FDownArrow;
    TLVHDrawItemEvent FOnDrawHeader;
    TLocaleDateFormat FDateFormat;
};

} // namespace mv
