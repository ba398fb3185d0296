#include "controls/listview/ExtListView.h"

#include "platform/ui/Drawing.h"
#include "platform/ui/Form.h"
#include "platform/ui/ImageList.h"

#include <algorithm>

namespace mv {
namespace {

// Member n of the extended styles and its list-view flag.
constexpr uint32_t StyleFlags[] = {LVS_EX_GRIDLINES,        LVS_EX_SUBITEMIMAGES,   LVS_EX_CHECKBOXES,
                                   LVS_EX_TRACKSELECT,      LVS_EX_HEADERDRAGDROP,  LVS_EX_FULLROWSELECT,
                                   LVS_EX_ONECLICKACTIVATE, LVS_EX_TWOCLICKACTIVATE, LVS_EX_FLATSB,
                                   LVS_EX_UNDERLINEHOT,     LVS_EX_UNDERLINECOLD};

bool IsPermutation(const std::vector<int>& order, int n) {
    if (static_cast<int>(order.size()) != n) return false;
    std::vector<bool> seen(static_cast<size_t>(n), false);
    for (int i : order) {
        if (i < 0 || i >= n || seen[static_cast<size_t>(i)]) return false;
        seen[static_cast<size_t>(i)] = true;
    }
    return true;
}

} // namespace

uint32_t ExtendedStylesToFlags(TLVExtendedStyles styles) {
    uint32_t flags = 0;
    for (size_t n = 0; n < std::size(StyleFlags); ++n)
        if (styles & (1u << n)) flags |= StyleFlags[n];
    return flags;
}

TLVExtendedStyles FlagsToExtendedStyles(uint32_t flags) {
    TLVExtendedStyles styles = 0;
    for (size_t n = 0; n < std::size(StyleFlags); ++n)
        if (flags & StyleFlags[n]) styles |= static_cast<TLVExtendedStyles>(1u << n);
    return styles;
}

TLVExtendedStyles NormaliseExtendedStyles(TLVExtendedStyles styles) {
    if ((styles & LVX(lvxUnderlineCold)) && !(styles & LVX(lvxOneClickActivate))) styles |= LVX(lvxOneClickActivate);
    if ((styles & LVX(lvxUnderlineHot)) && !(styles & (LVX(lvxOneClickActivate) | LVX(lvxTwoClickActivate))))
        styles |= LVX(lvxOneClickActivate);
    return styles;
}

// ---- Column formats and the background image ----

void TExtListColumn::SetImageIndex(int value) {
    FImageIndex = value;
    FView->UpdateColumnImages();
}

void TExtListColumn::SetImageAlignment(TColumnImageAlign value) {
    FImageAlignment = value;
    FView->UpdateColumnImages();
}

void TExtListColumn::Assign(const TExtListColumn& other) {
    FImageIndex = other.FImageIndex;
    FImageAlignment = other.FImageAlignment;
    FView->UpdateColumnImages();
}

TExtListColumn* TExtListColumns::Add() {
    FItems.push_back(std::unique_ptr<TExtListColumn>(new TExtListColumn(FView)));
    FView->UpdateColumnImage(Count() - 1);
    return FItems.back().get();
}

void TExtListColumns::Clear() {
    FItems.clear();
    FView->UpdateColumnImages();
}

void TExtListColumns::Assign(const TExtListColumns& other) {
    FItems.clear();
    for (const auto& item : other.FItems) {
        FItems.push_back(std::unique_ptr<TExtListColumn>(new TExtListColumn(FView)));
        FItems.back()->FImageIndex = item->FImageIndex;
        FItems.back()->FImageAlignment = item->FImageAlignment;
    }
    FView->UpdateColumnImages();
}

void TELVBackgroundImage::SetFilename(const std::string& value) {
    FFilename = value;
    FView->ApplyBackgroundImage();
}

void TELVBackgroundImage::SetTile(bool value) {
    FTile = value;
    FView->ApplyBackgroundImage();
}

void TELVBackgroundImage::SetXOffsetPercent(int value) {
    FXOffsetPercent = value;
    FView->ApplyBackgroundImage();
}

void TELVBackgroundImage::SetYOffsetPercent(int value) {
    FYOffsetPercent = value;
    FView->ApplyBackgroundImage();
}

void TELVBackgroundImage::Assign(const TELVBackgroundImage& other) {
    FFilename = other.FFilename;
    FTile = other.FTile;
    FXOffsetPercent = other.FXOffsetPercent;
    FYOffsetPercent = other.FYOffsetPercent;
    FView->ApplyBackgroundImage();
}

// ---- TCustomExtListView ----

TCustomExtListView::TCustomExtListView(TComponent* owner)
    : TCustomListViewCore(owner), FColumnsFormat(this), FBackgroundImage(this) {
    FSaveSettings = std::make_unique<TExtLVSaveSettings>();
}

TCustomExtListView::~TCustomExtListView() {
    // Saved here, while this class's column order still answers.
    BeginDestruction();
    try {
        AutoSaveSettings();
    } catch (const std::exception& error) {
        if (Application) Application->HandleException(error);
    }
    FSaveSettings->SetAutoSave(false);
}

TLVExtendedStyles TCustomExtListView::ExtendedStyles() const {
    return FlagsToExtendedStyles(ExtendedStyle());
}

void TCustomExtListView::SetExtendedStyles(TLVExtendedStyles value) {
    value = NormaliseExtendedStyles(value);
    if ((value & LVX(lvxSubItemImages)) != (FExtendedStylesCache & LVX(lvxSubItemImages))) Invalidate();
    FExtendedStylesCache = value;
    SetExtendedStyle(ExtendedStylesToFlags(value));
}

void TCustomExtListView::SetVirtualMode(bool value) {
    if (FVirtualMode == value) return;
    FVirtualMode = value;
    Items().Clear();
    SetOwnerData(value);
    if (value && FVirtualItemCount > 0) SetItemCount(FVirtualItemCount, FVirtualItemCountFlags & 3);
}

void TCustomExtListView::SetVirtualItemCount(int count, uint8_t flags) {
    FVirtualItemCount = count;
    FVirtualItemCountFlags = flags;
    SetItemCount(count, flags & 3);
}

int TCustomExtListView::GetNextItemIndex(int startIndex, uint8_t direction, int states) {
    uint32_t flags = LVNI_ALL;
    switch (direction) {
    case 0:
        flags = LVNI_TOLEFT;
        break;
    case 1:
        flags = LVNI_TORIGHT;
        break;
    case 2:
        flags = LVNI_ABOVE;
        break;
    case 3:
        flags = LVNI_BELOW;
        break;
    default:
        break;
    }
    if (states & 2) flags |= LVNI_CUT;
    if (states & 4) flags |= LVNI_DROPHILITED;
    if (states & 8) flags |= LVNI_FOCUSED;
    if (states & 16) flags |= LVNI_SELECTED;
    return GetNextItem(startIndex, flags);
}

bool TCustomExtListView::GetColumnOrder(int count, std::vector<int>& order) {
    std::vector<int> current = ColumnOrder();
    order.resize(static_cast<size_t>(std::max(count, 0)));
    // Positions past the columns get the identity order, never stale values.
    for (size_t p = 0; p < order.size(); ++p) order[p] = p < current.size() ? current[p] : static_cast<int>(p);
    FColumnOrderCache = order;
    return true;
}

bool TCustomExtListView::SetColumnOrder(int count, const std::vector<int>& order) {
    std::vector<int> wanted(order.begin(), order.begin() + std::min<size_t>(order.size(), std::max(count, 0)));
    if (!IsPermutation(wanted, Columns().Count()) || !TListView::SetColumnOrder(wanted)) return false;
    FColumnOrderCache = wanted;
    return true;
}

int TCustomExtListView::GetColumnDisplayPos(int index) {
    if (index < 0 || index >= Columns().Count()) return 0;
    const std::vector<int> order = ColumnOrder();
    for (size_t p = 0; p < order.size(); ++p)
        if (order[p] == index) return static_cast<int>(p);
    return 0;
}

TListColumn* TCustomExtListView::GetColumnAtDisplayPos(int pos) {
    if (pos < 0 || pos >= Columns().Count()) return nullptr;
    return Columns()[ColumnOrder()[static_cast<size_t>(pos)]];
}

std::string TCustomExtListView::GetSubItemText(int index, int subItem) {
    if (index < 0 || index >= RowCount()) return {};
    if (Columns().Count() < subItem + 2) return TCustomListViewCore::GetSubItemText(index, subItem);
    TListColumn* column = GetColumnAtDisplayPos(subItem + 1);
    return TCustomListViewCore::GetSubItemText(index, column->Index() - 1);
}

void TCustomExtListView::UpdateColumnImages() {
    if (OnDrawHeader() || ShowSortArrows()) return;
    for (int i = 0; i < Columns().Count(); ++i) UpdateColumnImage(i);
}

void TCustomExtListView::UpdateColumnImage(int index) {
    if (OnDrawHeader() || ShowSortArrows()) return;
    if (index < 0 || index >= FColumnsFormat.Count() || index >= Columns().Count()) return;
    if (!SmallImages() || SmallImages()->Count() == 0) return;
    const TExtListColumn* format = FColumnsFormat[index];
    if (format->ImageIndex() == -1)
        Columns()[index]->SetImage(0, -1);
    else
        Columns()[index]->SetImage(
            LVCFMT_IMAGE | (format->ImageAlignment() == TColumnImageAlign::ciaRightOfText ? LVCFMT_BITMAP_ON_RIGHT : 0),
            format->ImageIndex());
}

void TCustomExtListView::ApplyBackgroundImage() {
    SetBackgroundImage(FBackgroundImage.Filename(), FBackgroundImage.Tile(), FBackgroundImage.XOffsetPercent(),
                       FBackgroundImage.YOffsetPercent());
}

void TCustomExtListView::SetSmallImages(TImageList* value) {
    TCustomListViewCore::SetSmallImages(value);
    SetHeaderOwnerDrawOn(static_cast<bool>(OnDrawHeader()) || ShowSortArrows());
    UpdateColumnImages();
}

void TCustomExtListView::SetShowSortArrows(bool value) {
    TCustomListViewCore::SetShowSortArrows(value);
    UpdateColumnImages();
}

void TCustomExtListView::SetOnDrawHeader(TLVHDrawItemEvent handler) {
    TCustomListViewCore::SetOnDrawHeader(std::move(handler));
    UpdateColumnImages();
}

void TCustomExtListView::Loaded() {
    TCustomListViewCore::Loaded();
    UpdateColumnImages();
}

bool TCustomExtListView::StoreSettings() {
    const int n = Columns().Count();
    auto& settings = ExtSaveSettings();
    if ((settings.SaveColumnOrder() || settings.SaveColumnSizes()) && n > 0) {
        if (settings.SaveColumnOrder()) {
            std::vector<int> order;
            GetColumnOrder(n, order);
            settings.WriteOrder(order);
        }
        if (settings.SaveColumnSizes()) {
            std::vector<int> widths;
            for (int p = 0; p < n; ++p) widths.push_back(GetColumnAtDisplayPos(p)->Width());
            settings.WriteSizes(widths);
        }
    }
    if (settings.SaveCurrentSort()) settings.WriteSort(CurrentSortAscending(), CurrentSortColumn());
    return true;
}

bool TCustomExtListView::LoadSettings() {
    const int n = Columns().Count();
    auto& settings = ExtSaveSettings();
    if (settings.SaveColumnOrder() && n > 0) {
        // From the identity: a short or damaged value is then no permutation and is
        // ignored as a whole, never handed to the header.
        std::vector<int> order(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) order[static_cast<size_t>(i)] = i;
        settings.ReadOrder(order);
        SetColumnOrder(n, order);
    }
    return TCustomListViewCore::LoadSettings();
}

void TCustomExtListView::AutoSaveSettings() {
    if (FSaveSettings->AutoSave()) StoreSettings();
}

// ---- Notifications ----

void TCustomExtListView::GetDispInfo(TLVItemRequest& request) {
    if (FVirtualMode) DoVMGetItemInfo(request);
}

void TCustomExtListView::DoVMGetItemInfo(TLVItemRequest& request) {
    if (request.Item == -1) return;
    std::string text;
    uint32_t state = request.State, stateMask = request.StateMask;
    TLVVMMaskItems mask = static_cast<TLVVMMaskItems>(request.Mask & 0x1F);
    if (!OnVMGetItemInfo) return;
    OnVMGetItemInfo(this, request.Item, request.SubItem, mask, request.Image, request.Param, state, stateMask,
                    request.Indent, text);
    if (request.Mask & LVIF_TEXT) SetRequestText(request, text);
    request.State = state;
    request.Mask = mask;
    request.StateMask = stateMask;
}

void TCustomExtListView::CacheHint(TLVCacheHint& hint) {
    DoVMCacheHint(hint);
}

void TCustomExtListView::DoVMCacheHint(TLVCacheHint& hint) {
    if (OnVMCacheHint) OnVMCacheHint(this, hint);
}

int TCustomExtListView::FindItem(const TLVFindInfo& info) {
    int found = -1;
    DoVMFindItem(info, found);
    return found;
}

void TCustomExtListView::DoVMFindItem(const TLVFindInfo& info, int& found) {
    if (OnVMFindItem) OnVMFindItem(this, info, found);
}

void TCustomExtListView::ODStateChanged(const TLVStateChange& change) {
    DoVMStateChanged(change);
}

void TCustomExtListView::DoVMStateChanged(const TLVStateChange& change) {
    if (OnVMStateChanged) OnVMStateChanged(this, change);
}

void TCustomExtListView::ItemActivate() {
    DoItemActivate();
}

void TCustomExtListView::DoItemActivate() {
    if (OnItemActivate) OnItemActivate(this);
}

void TCustomExtListView::HotTrack(int& item, int subItem, TPoint at, bool& allowSelect) {
    DoHotTrack(item, subItem, at, allowSelect);
}

void TCustomExtListView::DoHotTrack(int& item, int subItem, TPoint at, bool& allowSelect) {
    if (OnHotTrack) OnHotTrack(this, item, subItem, at, allowSelect);
}

// ---- Owner drawing ----

void TCustomExtListView::DoDrawItem(TCanvas& canvas, int index, const TRect& rect, TOwnerDrawState state,
                                    bool& defaultDrawing, bool& fullRowSelect) {
    fullRowSelect = (ExtendedStyles() & LVX(lvxFullRowSelect)) != 0;
    TCustomListViewCore::DoDrawItem(canvas, index, rect, state, defaultDrawing, fullRowSelect);
}

void TCustomExtListView::DefaultDrawItem(TCanvas& canvas, int index, const TRect& rect, bool fullRowSelect,
                                         TOwnerDrawState state) {
    if (!FVirtualMode) {
        TCustomListViewCore::DefaultDrawItem(canvas, index, rect, fullRowSelect, state);
        return;
    }
    if (Columns().Count() == 0) return;
    const bool focused = Focused();
    if (state & odSelected) {
        if (focused) {
            canvas.SetBrushColor(clHighlight);
            canvas.Font().SetColor(clHighlightText);
        } else if (!HideSelection()) {
            canvas.SetBrushColor(clBtnFace);
            canvas.Font().SetColor(clBtnText);
        }
    }
    int right = rect.Left + GetColumnAtDisplayPos(0)->Width();
    DefaultDrawSubItem(canvas, index, -1, state, Rect(rect.Left, rect.Top, right - 2, rect.Bottom));
    for (int p = 1; p < Columns().Count(); ++p) {
        const int width = GetColumnAtDisplayPos(p)->Width();
        if (!fullRowSelect) {
            canvas.SetBrushColor(clWindow);
            canvas.Font().SetColor(clWindowText);
        }
        DefaultDrawSubItem(canvas, index, p - 1, state, Rect(right + LVCellMargin, rect.Top, right + width, rect.Bottom));
        right += width;
    }
}

void TCustomExtListView::DefaultDrawSubItem(TCanvas& canvas, int index, int subItem, TOwnerDrawState state,
                                            TRect rect) {
    if (!FVirtualMode) {
        TCustomListViewCore::DefaultDrawSubItem(canvas, index, subItem, state, rect);
        return;
    }
    // The owner draws the cells of a virtual list; nothing is drawn by default.
    DoDrawSubItem(canvas, index, subItem, rect, state);
}

void TCustomExtListView::DefaultDrawHeader(TCanvas& canvas, int index, const TRect& rect, bool selected) {
    const TRect r = DrawHeaderFace(canvas, rect, selected);
    if (index < 0 || index >= Columns().Count()) return;
    TListColumn* column = Columns()[index];
    const TAlignment alignment = column->Alignment();
    TRect t = r;
    if (alignment == TAlignment::taLeftJustify) t.Left += 4;
    if (alignment == TAlignment::taRightJustify) t.Right -= 4;
    TImageList* images = SmallImages();
    const bool hasImage = index < FColumnsFormat.Count() && images && FColumnsFormat[index]->ImageIndex() >= 0 &&
                          FColumnsFormat[index]->ImageIndex() < images->Count();
    const bool imageLeft =
        hasImage && FColumnsFormat[index]->ImageAlignment() == TColumnImageAlign::ciaLeftOfText;
    if (hasImage) {
        if (imageLeft)
            t.Left += images->Width() + 4;
        else
            t.Right -= images->Width() + 4;
    }
    const TBitmap* arrow = CurrentArrow();
    const bool withArrow = ShowSortArrows() && index == CurrentSortColumn() &&
                           (AutoColumnSort() != TAutoColumnSort::acsNoSort || static_cast<bool>(OnSortItems)) &&
                           arrow && !arrow->Empty();
    if (withArrow) t.Right = std::max(t.Right - (arrow->Width() + 8), t.Left);
    if (!withArrow && selected) t = Rect(t.Left + 1, t.Top + 1, t.Right + 1, t.Bottom + 1);
    // The text measured and placed by the column's alignment, clipped to the item.
    canvas.Font().SetColor(clBtnText);
    TRect measured = t;
    DrawText(canvas, column->Caption(), measured, DT_CALCRECT | DT_NOPREFIX | DT_SINGLELINE);
    const int width = std::min(measured.Width(), std::max(t.Width(), 0));
    TRect placed = t;
    if (alignment == TAlignment::taRightJustify)
        placed.Left = t.Right - width;
    else if (alignment == TAlignment::taCenter)
        placed.Left = t.Left + (t.Width() - width) / 2;
    placed.Right = placed.Left + width;
    placed.Left = std::max(placed.Left, r.Left);
    placed.Right = std::min(placed.Right, r.Right);
    if (withArrow && selected) placed = Rect(placed.Left + 1, placed.Top + 1, placed.Right + 1, placed.Bottom + 1);
    DrawCellText(canvas, column->Caption(), placed, alignment);
    int edge = placed.Right;
    if (hasImage) {
        const int y = r.Top + (r.Height() - images->Height()) / 2;
        const int imageIndex = FColumnsFormat[index]->ImageIndex();
        if (imageLeft) {
            const int x = placed.Left - 4 - images->Width();
            if (withArrow || x >= r.Left) images->Draw(canvas, x, y, imageIndex);
        } else {
            const int x = placed.Right + 4;
            if (withArrow || x + images->Width() <= r.Right) images->Draw(canvas, x, y, imageIndex);
            edge = std::min(placed.Right + images->Width(), r.Right);
        }
    }
    if (withArrow) {
        const int x = edge + 8;
        const int y = r.Top + (r.Height() - arrow->Height()) / 2;
        if (x + arrow->Width() <= r.Right) canvas.Draw(x, y, *arrow);
    }
}

} // namespace mv
