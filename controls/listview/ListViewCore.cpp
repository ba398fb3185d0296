#include "controls/listview/ListViewCore.h"

#include "platform/ui/Drawing.h"
#include "platform/ui/Form.h"
#include "platform/ui/ImageList.h"

#include <algorithm>
#include <cstdlib>

namespace mv {
namespace {

// A line from (x0, y0) towards (x1, y1), the end point itself left out (as lines are
// drawn with a pen that moves to its end).
void Line(TBitmap& bitmap, int x0, int y0, int x1, int y1, TColor color) {
    const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int error = dx + dy;
    while (x0 != x1 || y0 != y1) {
        bitmap.SetPixel(x0, y0, color);
        const int e2 = 2 * error;
        if (e2 >= dy) {
            error += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            error += dx;
            y0 += sy;
        }
    }
}

void Fill(TBitmap& bitmap, int s) {
    bitmap.SetSize(0, 0);
    bitmap.SetSize(s, s);
    const TColor face = ColorToRGB(clBtnFace);
    for (int y = 0; y < s; ++y)
        for (int x = 0; x < s; ++x) bitmap.SetPixel(x, y, face);
}

} // namespace

void DrawDownArrow(TBitmap& bitmap, int s) {
    Fill(bitmap, s);
    const TColor shadow = ColorToRGB(clBtnShadow), light = ColorToRGB(clBtnHighlight);
    Line(bitmap, s / 2, s - 2, s - 1, 0, shadow);
    bitmap.SetPixel(s - 1, 0, shadow);
    Line(bitmap, s - 2, 0, 0, 0, light);
    Line(bitmap, 0, 0, s / 2 - 1, s - 2, light);
    bitmap.SetPixel(s / 2 - 1, s - 2, light);
}

void DrawUpArrow(TBitmap& bitmap, int s) {
    Fill(bitmap, s);
    const TColor shadow = ColorToRGB(clBtnShadow), light = ColorToRGB(clBtnHighlight);
    Line(bitmap, 0, s - 1, s / 2 - 1, 0, light);
    Line(bitmap, s / 2, 0, s - 1, s - 1, shadow);
    Line(bitmap, s - 1, s - 1, -1, s - 1, shadow);
    bitmap.SetPixel(s / 2, 0, ColorToRGB(clBtnFace));
}

int SortArrowSize(const TFont& font) {
    TBitmap probe;
    probe.SetSize(1, 1);
    probe.Canvas().Font().Assign(font);
    int s = probe.Canvas().TextHeight("Wy") - 6;
    if (s <= 0) return 0;
    if (s % 2) ++s;
    return s;
}

// ---- TCustomListViewCore ----

TCustomListViewCore::TCustomListViewCore(TComponent* owner)
    : TListView(owner), FSaveSettings(std::make_unique<TLVCoreSaveSettings>()), FDateFormat(UserDateFormat()) {}

TCustomListViewCore::~TCustomListViewCore() {
    // The window goes now: the settings are saved while the columns still exist.
    BeginDestruction();
    try {
        AutoSaveSettings();
    } catch (const std::exception& error) {
        if (Application) Application->HandleException(error);
    }
}

void TCustomListViewCore::SetStyle(TLVStyle value) {
    if (FStyle == value) return;
    FStyle = value;
    SetOwnerDraw(value == TLVStyle::lvOwnerDrawFixed);
}

void TCustomListViewCore::SetAutoColumnSort(TAutoColumnSort value) {
    if (FAutoColumnSort == value) return;
    FAutoColumnSort = value;
    if (value != TAutoColumnSort::acsNoSort) Resort();
}

void TCustomListViewCore::SetAutoSortStyle(TAutoSortStyle value) {
    if (FAutoSortStyle == value) return;
    FAutoSortStyle = value;
    Resort();
}

void TCustomListViewCore::SetAutoSortAscending(bool value) {
    if (FAutoSortAscending == value) return;
    FAutoSortAscending = value;
    FCurrentSortAscending = value;
}

void TCustomListViewCore::SetCurrentSortAscending(bool value) {
    if (FCurrentSortAscending == value) return;
    FCurrentSortAscending = value;
    InvalidateColumnHeader(FCurrentSortColumn);
}

void TCustomListViewCore::SetCurrentSortColumn(int column) {
    if (FCurrentSortColumn == column) return;
    const int previous = FCurrentSortColumn;
    FCurrentSortColumn = column;
    if (FShowSortArrows) {
        InvalidateColumnHeader(previous);
        InvalidateColumnHeader(column);
    }
}

void TCustomListViewCore::SetShowSortArrows(bool value) {
    FShowSortArrows = value;
    FUpArrow.reset();
    FDownArrow.reset();
    if (value) {
        FUpArrow = std::make_unique<TBitmap>();
        FDownArrow = std::make_unique<TBitmap>();
        CreateSortBitmaps();
        SetHeaderOwnerDrawOn(true);
    } else
        SetHeaderOwnerDrawOn(static_cast<bool>(FOnDrawHeader));
    Invalidate();
}

void TCustomListViewCore::SetReverseSortArrows(bool value) {
    if (FReverseSortArrows == value) return;
    FReverseSortArrows = value;
    if (FShowSortArrows) {
        CreateSortBitmaps();
        InvalidateColumnHeader(FCurrentSortColumn);
    }
}

void TCustomListViewCore::SetOnDrawHeader(TLVHDrawItemEvent handler) {
    FOnDrawHeader = std::move(handler);
    SetHeaderOwnerDrawOn(static_cast<bool>(FOnDrawHeader) || FShowSortArrows);
}

void TCustomListViewCore::SetHeaderOwnerDrawOn(bool on) {
    SetHeaderOwnerDraw(on);
}

void TCustomListViewCore::CreateSortBitmaps() {
    if (!FUpArrow || !FDownArrow) return;
    const int s = SortArrowSize(Font());
    if (s <= 0) {
        FUpArrow->SetSize(0, 0);
        FDownArrow->SetSize(0, 0);
        return;
    }
    if (FReverseSortArrows) {
        DrawUpArrow(*FDownArrow, s);
        DrawDownArrow(*FUpArrow, s);
    } else {
        DrawDownArrow(*FDownArrow, s);
        DrawUpArrow(*FUpArrow, s);
    }
}

void TCustomListViewCore::ApplyBackgroundColor() {
    ApplyColor();
}

// ---- Sorting ----

void TCustomListViewCore::ColumnClick(int column) {
    if (FAutoColumnSort == TAutoColumnSort::acsSortToggle) {
        if (column == FCurrentSortColumn)
            FCurrentSortAscending = !FCurrentSortAscending;
        else
            FCurrentSortAscending = FAutoSortAscending;
    }
    if (OnColumnClick) OnColumnClick(this, column < Columns().Count() ? Columns()[column] : nullptr);
    if (FAutoColumnSort != TAutoColumnSort::acsNoSort && column < Columns().Count())
        SortItems(column, FCurrentSortAscending);
    SetCurrentSortColumn(column);
}

void TCustomListViewCore::SortItems(int column, bool ascending) {
    FResortPending = false;
    SetCurrentSortColumn(column);
    DoSortBegin(column, !ascending);
    const int sign = ascending ? 1 : -1;
    const int subItem = column - 1;
    // Owner data holds no items: the owner sorts its rows in OnSortFinished.
    if (!OwnerData() && Items().Count() > 1) {
        auto& items = Items();
        const bool own = static_cast<bool>(OnSortItems);
        const std::vector<int> order = SafeMergeSortOrder(items.Count(), [&](int a, int b) {
            int result = 0;
            if (own) {
                DoSortItems(items[a], items[b], subItem, result);
            } else
                result = SmartCompare(items[a], items[b], subItem);
            return result * sign;
        });
        items.Reorder(order);
    }
    DoSortFinished(column, !ascending);
}

int TCustomListViewCore::SmartCompare(TListItem* item1, TListItem* item2, int subItemIndex) {
    if (!item1 || !item2) return 0;
    auto textOf = [&](TListItem* item) -> std::string {
        if (subItemIndex < 0) return item->Caption();
        const auto& subs = item->SubItems();
        return static_cast<size_t>(subItemIndex) < subs.size() ? subs[static_cast<size_t>(subItemIndex)]
                                                               : std::string();
    };
    return SmartCompareTexts(textOf(item1), textOf(item2), FAutoSortStyle, FDateFormat);
}

void TCustomListViewCore::DoSortBegin(int column, bool ascending) {
    if (OnSortBegin) OnSortBegin(this, column, ascending);
}

void TCustomListViewCore::DoSortFinished(int column, bool ascending) {
    if (OnSortFinished) OnSortFinished(this, column, ascending);
}

void TCustomListViewCore::DoSortItems(TListItem* item1, TListItem* item2, int sortColumn, int& compResult) {
    if (OnSortItems) OnSortItems(this, item1, item2, sortColumn, compResult);
}

void TCustomListViewCore::SortByColumn(int column, bool ascending) {
    // The flag stored is the direction the sort runs with.
    if (FAutoColumnSort == TAutoColumnSort::acsSortToggle) FCurrentSortAscending = ascending;
    InvalidateColumnHeader(column);
    SortItems(column, ascending);
}

void TCustomListViewCore::Resort() {
    FResortPending = true;
    const bool sortable = (FAutoColumnSort != TAutoColumnSort::acsNoSort && FCurrentSortColumn >= 0 &&
                           FCurrentSortColumn < Columns().Count()) ||
                          static_cast<bool>(OnSortItems);
    if (sortable && FUpdateCount <= 0) SortItems(FCurrentSortColumn, FCurrentSortAscending);
}

void TCustomListViewCore::BeginUpdate() {
    Items().BeginUpdate();
    ++FUpdateCount;
}

void TCustomListViewCore::EndUpdate() {
    FUpdateCount = std::max(0, FUpdateCount - 1);
    if (FUpdateCount == 0 && FResortPending) Resort();
    Items().EndUpdate();
}

void TCustomListViewCore::ResizeColumns(bool toHeader) {
    BeginUpdate();
    for (int i = 0; i < Columns().Count(); ++i) Columns()[i]->SetWidth(toHeader ? -2 : -1);
    EndUpdate();
}

void TCustomListViewCore::ItemInserted(TListItem* item) {
    if (OnInsert) OnInsert(this, item);
    if (FAutoResort) Resort();
}

void TCustomListViewCore::InvalidateColumnHeader(int column) {
    if (column < 0 || column >= Columns().Count()) return;
    TRect r = HeaderItemRect(column);
    r = Rect(r.Left + 2, r.Top + 2, r.Right - 2, r.Bottom - 2);
    InvalidateHeaderRect(r);
}

int TCustomListViewCore::GetColumnDisplayPos(int index) {
    return index;
}

TListColumn* TCustomListViewCore::GetColumnAtDisplayPos(int pos) {
    return pos >= 0 && pos < Columns().Count() ? Columns()[pos] : nullptr;
}

std::string TCustomListViewCore::GetSubItemText(int index, int subItem) {
    if (OwnerData()) return CellText(index, subItem + 1);
    TListItem* item = Items().Item(index);
    if (!item) return {};
    if (subItem < 0) return item->Caption();
    const auto& subs = item->SubItems();
    return static_cast<size_t>(subItem) < subs.size() ? subs[static_cast<size_t>(subItem)] : std::string();
}

// ---- Life cycle and saved settings ----

void TCustomListViewCore::Loaded() {
    ApplyBackgroundColor();
    FUpdateCount = 0;
    const bool loaded = AutoLoadSettings();
    if (!loaded || !FSaveSettings->SaveCurrentSort()) {
        if (Columns().Count() > 0) FCurrentSortColumn = 0;
        Resort();
    }
    SetHeaderOwnerDrawOn(static_cast<bool>(FOnDrawHeader) || FShowSortArrows);
}

void TCustomListViewCore::AutoSaveSettings() {
    if (FSaveSettings->AutoSave()) StoreSettings();
}

bool TCustomListViewCore::StoreSettings() {
    const int n = Columns().Count();
    if (FSaveSettings->SaveColumnSizes() && n > 0) {
        std::vector<int> widths;
        for (int i = 0; i < n; ++i) widths.push_back(Columns()[i]->Width());
        FSaveSettings->WriteSizes(widths);
    }
    if (FSaveSettings->SaveCurrentSort() && n > 0) FSaveSettings->WriteSort(FCurrentSortAscending, FCurrentSortColumn);
    return true;
}

bool TCustomListViewCore::AutoLoadSettings() {
    return FSaveSettings->AutoSave() ? LoadSettings() : false;
}

bool TCustomListViewCore::LoadSettings() {
    const int n = Columns().Count();
    if (FSaveSettings->SaveColumnSizes() && n > 0) {
        std::vector<int> widths;
        for (int p = 0; p < n; ++p) widths.push_back(GetColumnAtDisplayPos(p)->Width());
        FSaveSettings->ReadSizes(widths);
        if (widths[0] != -1)
            for (int p = 0; p < n; ++p) GetColumnAtDisplayPos(p)->SetWidth(widths[static_cast<size_t>(p)]);
    }
    if (FSaveSettings->SaveCurrentSort()) {
        bool ascending = true;
        int column = 0;
        FSaveSettings->ReadSort(ascending, column);
        if (column >= n) column = n - 1;
        if (column < 0) column = 0;
        BeginUpdate();
        try {
            SetCurrentSortAscending(ascending);
            SetCurrentSortColumn(column);
            Resort();
        } catch (...) {
            EndUpdate();
            throw;
        }
        EndUpdate();
    }
    return true;
}

void TCustomListViewCore::DividerDblClick(int column) {
    if (column < Columns().Count()) Columns()[column]->SetWidth(Columns()[column]->Width());
}

// ---- Owner drawing ----

void TCustomListViewCore::MeasureItem(int& height) {
    // The height of "Wy", or the small images' height when they are taller.
    TBitmap probe;
    probe.SetSize(1, 1);
    probe.Canvas().Font().Assign(Font());
    const int h = probe.Canvas().TextHeight("Wy");
    const int image = SmallImages() ? SmallImages()->Height() : 0;
    height = h < image ? image : h + 1;
    DoMeasureItem(height);
}

void TCustomListViewCore::DoMeasureItem(int& height) {
    if (OnMeasureItem) OnMeasureItem(this, height);
}

void TCustomListViewCore::DrawItem(TCanvas& canvas, int index, const TRect& rect, TOwnerDrawState state) {
    canvas.SetBrushColor(clWindow);
    canvas.SetBrushStyle(TBrushStyle::bsSolid);
    canvas.Font().SetColor(clWindowText);
    ProcessDrawItem(canvas, index, rect, false, state);
}

void TCustomListViewCore::DoDrawItem(TCanvas& canvas, int index, const TRect& rect, TOwnerDrawState state,
                                     bool& defaultDrawing, bool& fullRowSelect) {
    if (OnDrawItem) OnDrawItem(this, canvas, index, rect, state, defaultDrawing, fullRowSelect);
}

void TCustomListViewCore::ProcessDrawItem(TCanvas& canvas, int index, const TRect& rect, bool fullRowSelect,
                                          TOwnerDrawState state) {
    bool defaultDrawing = !OnDrawItem;
    DoDrawItem(canvas, index, rect, state, defaultDrawing, fullRowSelect);
    if (!defaultDrawing) return;
    canvas.FillRect(rect);
    if (index < 0) return;
    const bool focused = Focused();
    TRect selection = rect;
    const bool selected = (state & odSelected) && (!HideSelection() || focused);
    if (selected || ((state & odFocused) && focused)) {
        selection.Left = rect.Left + LVCellMargin - LVImageMargin;
        if (SmallImages()) selection.Left += SmallImages()->Width();
        if (!fullRowSelect) {
            const int firstWidth = Columns().Count() > 0 ? GetColumnAtDisplayPos(0)->Width() : 0;
            selection.Right = std::min(selection.Left + canvas.TextWidth(GetSubItemText(index, -1)) + 8,
                                       rect.Left + firstWidth);
        }
    }
    if (selected) {
        canvas.SetBrushColor(focused ? clHighlight : clBtnFace);
        canvas.FillRect(selection);
    }
    DefaultDrawItem(canvas, index, rect, fullRowSelect, state);
    if ((state & odFocused) && focused) canvas.DrawFocusRect(selection);
    DoAfterDefaultDrawItem(canvas, index, rect, state);
}

void TCustomListViewCore::DoAfterDefaultDrawItem(TCanvas& canvas, int index, const TRect& rect,
                                                 TOwnerDrawState state) {
    if (OnAfterDefaultDrawItem) OnAfterDefaultDrawItem(this, canvas, index, rect, state);
}

void TCustomListViewCore::DefaultDrawItem(TCanvas& canvas, int index, const TRect& rect, bool fullRowSelect,
                                          TOwnerDrawState state) {
    TListItem* item = Items().Item(index);
    if (!item || Columns().Count() == 0) return;
    const bool focused = Focused();
    auto selectedColours = [&] {
        if (!(state & odSelected)) return;
        if (focused) {
            canvas.SetBrushColor(clHighlight);
            canvas.Font().SetColor(clHighlightText);
        } else if (!HideSelection()) {
            canvas.SetBrushColor(clBtnFace);
            canvas.Font().SetColor(clBtnText);
        }
    };
    selectedColours();
    canvas.SetBrushStyle(TBrushStyle::bsClear);
    TRect cell = rect;
    cell.Right = rect.Left + GetColumnAtDisplayPos(0)->Width() - 2;
    if (TImageList* images = SmallImages()) {
        const int y = rect.Top + (rect.Height() - images->Height()) / 2;
        images->Draw(canvas, cell.Left + LVImageMargin, y, item->ImageIndex(),
                     focused && (state & odSelected) ? TDrawingStyle::dsSelected : TDrawingStyle::dsTransparent,
                     TImageType::itImage);
        if (item->OverlayIndex() >= 0 && item->OverlayIndex() <= 3)
            images->DrawOverlay(canvas, cell.Left + LVImageMargin, y, item->ImageIndex(), item->OverlayIndex());
        cell.Left += images->Width();
    }
    DefaultDrawSubItem(canvas, index, -1, state, cell);
    int right = rect.Left + GetColumnAtDisplayPos(0)->Width();
    for (int p = 1; p < Columns().Count(); ++p) {
        const int width = GetColumnAtDisplayPos(p)->Width();
        const TRect next = Rect(right + LVCellMargin, rect.Top, right + width, rect.Bottom);
        right += width;
        if (!fullRowSelect) {
            canvas.SetBrushColor(clWindow);
            canvas.Font().SetColor(clWindowText);
        }
        if (static_cast<int>(item->SubItems().size()) >= p)
            DefaultDrawSubItem(canvas, index, p - 1, state, Rect(next.Left - LVCellMargin, next.Top, next.Right, next.Bottom));
    }
}

bool TCustomListViewCore::DoDrawSubItem(TCanvas& canvas, int index, int subItem, const TRect& rect,
                                        TOwnerDrawState state) {
    bool defaultDrawing = !OnDrawSubItem;
    if (OnDrawSubItem) OnDrawSubItem(this, canvas, index, subItem, rect, state, defaultDrawing);
    return defaultDrawing;
}

void TCustomListViewCore::DefaultDrawSubItem(TCanvas& canvas, int index, int subItem, TOwnerDrawState state,
                                             TRect rect) {
    if (!DoDrawSubItem(canvas, index, subItem, rect, state)) return;
    if (subItem >= 0) {
        rect.Left += LVCellMargin;
        rect.Right -= LVCellMargin;
    } else
        rect.Left += LVCellMargin;
    TListColumn* column = GetColumnAtDisplayPos(subItem + 1);
    DrawCellText(canvas, GetSubItemText(index, subItem), rect,
                 column ? column->Alignment() : TAlignment::taLeftJustify);
}

void TCustomListViewCore::DrawCellText(TCanvas& canvas, const std::string& text, TRect rect, TAlignment alignment) {
    uint32_t format = DT_END_ELLIPSIS | DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER;
    if (alignment == TAlignment::taRightJustify) format |= DT_RIGHT;
    if (alignment == TAlignment::taCenter) format |= DT_CENTER;
    canvas.SetBrushStyle(TBrushStyle::bsClear);
    DrawText(canvas, text, rect, format);
}

// ---- Owner-drawn header ----

void TCustomListViewCore::DrawHeaderItem(TCanvas& canvas, int column, const TRect& rect, bool pressed) {
    ProcessDrawHeader(canvas, column, rect, pressed);
}

void TCustomListViewCore::ProcessDrawHeader(TCanvas& canvas, int index, const TRect& rect, bool selected) {
    canvas.Font().Assign(Font());
    canvas.SetBrushStyle(TBrushStyle::bsClear);
    canvas.SetBrushColor(clBtnFace);
    TRect r = rect;
    if (DoDrawHeader(canvas, index, r, selected)) DefaultDrawHeader(canvas, index, r, selected);
}

bool TCustomListViewCore::DoDrawHeader(TCanvas& canvas, int index, TRect& rect, bool selected) {
    bool defaultDrawing = !FOnDrawHeader;
    if (FOnDrawHeader) FOnDrawHeader(this, canvas, index, rect, selected, defaultDrawing);
    return defaultDrawing;
}

TRect TCustomListViewCore::DrawHeaderFace(TCanvas& canvas, const TRect& rect, bool pressed) {
    // The button face with its raised (or, pressed, flat shadow) edge.
    canvas.SetBrushStyle(TBrushStyle::bsSolid);
    canvas.SetBrushColor(clBtnFace);
    TRect edge = rect;
    canvas.FillRect(edge);
    if (pressed) {
        canvas.SetBrushColor(clBtnShadow);
        canvas.FrameRect(edge);
    } else
        DrawEdge(canvas, edge, EDGE_RAISED, BF_RECT);
    TRect r = Rect(rect.Left + 2, rect.Top + 2, rect.Right - 2, rect.Bottom - 2);
    if (pressed) {
        r.Left += 1;
        r.Top += 1;
    }
    canvas.SetBrushStyle(TBrushStyle::bsClear);
    return r;
}

const TBitmap* TCustomListViewCore::CurrentArrow() const {
    return FCurrentSortAscending ? FUpArrow.get() : FDownArrow.get();
}

void TCustomListViewCore::DefaultDrawHeader(TCanvas& canvas, int index, const TRect& rect, bool selected) {
    const TRect r = DrawHeaderFace(canvas, rect, selected);
    if (index < 0 || index >= Columns().Count()) return;
    TListColumn* column = Columns()[index];
    const TAlignment alignment = column->Alignment();
    TRect t = r;
    if (alignment == TAlignment::taLeftJustify) t.Left += 4;
    if (alignment == TAlignment::taRightJustify) t.Right -= 4;
    const TBitmap* arrow = CurrentArrow();
    const bool withArrow = FShowSortArrows && index == FCurrentSortColumn &&
                           FAutoColumnSort != TAutoColumnSort::acsNoSort && arrow && !arrow->Empty();
    canvas.Font().SetColor(clBtnText);
    if (!withArrow) {
        if (selected) t = Rect(t.Left + 1, t.Top + 1, t.Right + 1, t.Bottom + 1);
        DrawCellText(canvas, column->Caption(), t, alignment);
        return;
    }
    const int room = arrow->Width() + 8;
    if (alignment == TAlignment::taRightJustify)
        t.Left = std::min(t.Left + room, t.Right);
    else
        t.Right = std::max(t.Right - room, t.Left);
    TRect measured = t;
    DrawText(canvas, column->Caption(), measured, DT_CALCRECT | DT_NOPREFIX | DT_SINGLELINE);
    const int width = std::min(measured.Width(), t.Width());
    TRect placed = t;
    if (alignment == TAlignment::taRightJustify)
        placed.Left = t.Right - width;
    else if (alignment == TAlignment::taCenter)
        placed.Left = t.Left + (t.Width() - width) / 2;
    placed.Right = placed.Left + width;
    placed.Left = std::max(placed.Left, r.Left);
    placed.Right = std::min(placed.Right, r.Right);
    if (selected) placed = Rect(placed.Left + 1, placed.Top + 1, placed.Right + 1, placed.Bottom + 1);
    DrawCellText(canvas, column->Caption(), placed, alignment);
    const int y = r.Top + (r.Height() - arrow->Height()) / 2;
    if (alignment == TAlignment::taRightJustify) {
        const int x = placed.Left - 8 - arrow->Width();
        if (x >= r.Left) canvas.Draw(x, y, *arrow);
    } else {
        const int x = placed.Right + 8;
        if (x + arrow->Width() <= r.Right) canvas.Draw(x, y, *arrow);
    }
}

} // namespace mv
