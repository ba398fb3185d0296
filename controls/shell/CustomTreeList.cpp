#include "controls/shell/CustomTreeList.h"

#include "platform/ui/Drawing.h"
#include "platform/ui/ImageList.h"

namespace mv {

namespace {
constexpr uint16_t VK_APPS = 0x5D, VK_F10 = 0x79;

// The same font as far as selecting it goes: the colour is the text colour, not part
// of the font.
bool SameFontHandle(const TFont& a, const TFont& b) {
    return a.Name() == b.Name() && a.Size() == b.Size() && a.Style() == b.Style();
}
} // namespace

// ---- TMvCustomDraw ----

void TMvCustomDraw::TMvCDBrush::SetColor(TColor value) {
    FColor = value;
    if (OnChange) OnChange();
}

TMvCustomDraw::TMvCustomDraw(const TFont& font, TCustomDrawInfo& info, uint32_t* result) : FSourceFont(font) {
    Init(info, result);
    CreateBrush();
    CreateFont();
}

TMvCustomDraw::~TMvCustomDraw() = default;

void TMvCustomDraw::Init(TCustomDrawInfo& info, uint32_t* result) {
    FInfo = &info;
    FResult = result;
    FFont.reset();
    FBrush.reset();
    FFontChanged = FBrushChanged = false;
}

void TMvCustomDraw::CreateFont() {
    FFont = std::make_unique<TFont>();
    FFont->Assign(FSourceFont);
    FFont->SetColor(FInfo->TextColor);
    FFont->OnChange = [this] { FFontChanged = true; };
}

void TMvCustomDraw::CreateBrush() {
    FBrush = std::make_unique<TMvCDBrush>();
    FBrush->FColor = FInfo->TextBkColor;
    FBrush->OnChange = [this] { FBrushChanged = true; };
}

int TMvCustomDraw::Stage() const {
    switch (FInfo->DrawStage) {
    case CDDS_PREPAINT:
        return 1;
    case CDDS_POSTPAINT:
        return 2;
    case CDDS_ITEMPREPAINT:
        return 4;
    case CDDS_ITEMPOSTPAINT:
        return 5;
    default:
        return 0;
    }
}

void TMvCustomDraw::ApplyCommon() {
    uint32_t answer = CDRF_DODEFAULT;
    if (Stage() == 1 && NotifyItemDraw) answer |= CDRF_NOTIFYITEMDRAW;
    if (Stage() == 4) {
        if (SkipDefault)
            answer |= CDRF_SKIPDEFAULT;
        else {
            if (FFontChanged) {
                if (!SameFontHandle(*FFont, FInfo->CurrentFont)) {
                    FInfo->CurrentFont.Assign(*FFont);
                    answer |= CDRF_NEWFONT;
                }
                FInfo->TextColor = FFont->Color();
            }
            if (FBrushChanged) FInfo->TextBkColor = FBrush->Color();
        }
    }
    if (FResult) *FResult = answer;
}

// ---- TMvCustomTreeView ----

TMvCustomTreeView::TMvCustomTreeView(TComponent* owner) : TTreeView(owner) {}

TMvCustomTreeView::~TMvCustomTreeView() {
    BeginDestruction();
    FCustomDraw.reset();
}

void TMvCustomTreeView::SetPopupMenu(TPopupMenu* value) {
    if (FPopupMenu) FPopupMenu->RemoveFreeNotification(this);
    FPopupMenu = value;
    if (FPopupMenu) FPopupMenu->FreeNotification(this);
}

void TMvCustomTreeView::Notification(TComponent* component, TOperation operation) {
    TTreeView::Notification(component, operation);
    if (operation == TOperation::opRemove && component == FPopupMenu) FPopupMenu = nullptr;
}

uint32_t TMvCustomTreeView::CustomDraw(TCustomDrawInfo& info) {
    FCustomDraw.reset();
    uint32_t result = CDRF_DODEFAULT;
    TMvCustomDraw* kept = HandleCustomDraw(info, &result);
    if (kept != FCustomDraw.get()) FCustomDraw.reset(kept);
    return result;
}

std::unique_ptr<TMvCustomDraw> TMvCustomTreeView::CreateCustomDraw(TCustomDrawInfo& info, uint32_t* result) {
    auto cd = std::make_unique<TMvTvCustomDraw>(Font(), info, result);
    cd->NotifyItemDraw = true;
    return cd;
}

TMvCustomDraw* TMvCustomTreeView::HandleCustomDraw(TCustomDrawInfo& info, uint32_t* result) {
    TTreeNode* node = (info.DrawStage & CDDS_ITEM) ? reinterpret_cast<TTreeNode*>(info.ItemSpec) : nullptr;
    std::unique_ptr<TMvCustomDraw> cd;
    if (OnCustomDraw) {
        cd = CreateCustomDraw(info, result);
        OnCustomDraw(this, cd.get(), node);
    }
    if (OnCustomDrawItem && info.DrawStage == CDDS_ITEMPREPAINT) {
        if (!cd) cd = CreateCustomDraw(info, result);
        OnCustomDrawItem(this, cd.get(), node);
    }
    if (cd) cd->Apply();
    if ((info.DrawStage & 1) && (OnCustomDraw || OnCustomDrawItem)) *result |= CDRF_NOTIFYITEMDRAW;
    return cd.release();
}

void TMvCustomTreeView::Delete(TTreeNode* node) {
    DoNodeDeleting(node);
    TTreeView::Delete(node);
}

void TMvCustomTreeView::PopupAt(TPopupMenu* menu, TPoint point) {
    if (!menu) return;
    menu->SetPopupComponent(this);
    const TPoint screen = ClientToScreen(*this, point);
    menu->Popup(screen.X, screen.Y);
}

void TMvCustomTreeView::RightClick(TPoint at) {
    if (TTreeNode* node = GetNodeAt(at.X, at.Y)) {
        TPopupMenu* menu = FPopupMenu;
        DoNodeContextMenu(node, at, menu);
        PopupAt(menu, at);
        FRightClickMenuShown = true;
    }
}

void TMvCustomTreeView::RightButtonUp(TPoint at) {
    if (FRightClickMenuShown) {
        // The menu for this click is shown already.
        FRightClickMenuShown = false;
        return;
    }
    (void)at;
}

void TMvCustomTreeView::ContextMenu(TPoint at, bool fromKeyboard) {
    if (Selected() || FRightClickMenuShown) return;
    if (fromKeyboard) ShowSelectionContextMenu();
    else ShowPopupMenu(nullptr, at);
}

void TMvCustomTreeView::KeyDown(uint16_t& key, TShiftState shift) {
    const TShiftState mods = shift & (ssShift | ssAlt | ssCtrl);
    if ((key == VK_APPS && mods == 0) || (key == VK_F10 && mods == ssShift)) {
        key = 0;
        ShowSelectionContextMenu();
    }
    TTreeView::KeyDown(key, shift);
}

void TMvCustomTreeView::ShowSelectionContextMenu() {
    if (TTreeNode* node = Selected()) {
        const TRect r = node->DisplayRect(true);
        ShowPopupMenu(node, Point((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2));
    } else
        PopupAt(FPopupMenu, Point(0, 0));
}

void TMvCustomTreeView::ShowPopupMenu(TTreeNode* node, TPoint point) {
    TPopupMenu* menu = FPopupMenu;
    DoNodeContextMenu(node, point, menu);
    if (menu != FPopupMenu) FRightClickMenuShown = true;
    PopupAt(menu, point);
}

void TMvCustomTreeView::DoNodeContextMenu(TTreeNode* node, TPoint& point, TPopupMenu*& menu) {
    if (OnNodeContextMenu) OnNodeContextMenu(this, node, point, menu);
}

} // namespace mv

namespace mv {

// ---- Header sort arrows ----

TRect SortArrowBox(const TRect& from) {
    // Header rectangles start at the header's top edge (0).
    const int s = (from.Top + from.Bottom) / 2 - 1;
    TRect box;
    box.Left = from.Left;
    box.Right = from.Left + s + 1;
    box.Top = (from.Top + from.Bottom - s) / 2 - 1;
    box.Bottom = box.Top + s;
    return box;
}

void DrawSortArrow(TCanvas& canvas, const TRect& box, bool down) {
    const int h = (box.Height() - 1) | 1;
    const int w = h + 1;
    canvas.SetBrushStyle(TBrushStyle::bsSolid);
    canvas.SetBrushColor(clBtnFace);
    canvas.FillRect(box);
    canvas.SetPenStyle(TPenStyle::psSolid);
    canvas.SetPenWidth(1);
    const int left = box.Left, top = box.Top, right = box.Left + w - 1, bottom = box.Top + h - 1;
    const int middle = box.Left + (w - 1) / 2;
    if (down) {
        canvas.SetPenColor(clBtnShadow);
        canvas.MoveTo(middle, bottom);
        canvas.LineTo(left, top);
        canvas.LineTo(right, top);
        canvas.SetPenColor(clBtnHighlight);
        canvas.MoveTo(middle + 1, bottom);
        canvas.LineTo(right, top);
    } else {
        canvas.SetPenColor(clBtnShadow);
        canvas.MoveTo(middle, top);
        canvas.LineTo(left, bottom);
        canvas.SetPenColor(clBtnHighlight);
        canvas.MoveTo(left, bottom);
        canvas.LineTo(right, bottom);
        canvas.LineTo(middle + 1, top);
    }
}

void DrawSortHeaderItem(TCanvas& canvas, const TRect& itemRect, const std::string& caption, TAlignment alignment,
                        TMvLvHeaderSortDisplayMode mode, bool sortColumn, bool arrowDown, int columnWidth) {
    TRect text = itemRect;
    text.Left += 4;
    text.Right -= 4;
    uint32_t format = DT_END_ELLIPSIS | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
    if (alignment == TAlignment::taRightJustify) format |= DT_RIGHT;
    else if (alignment == TAlignment::taCenter) format |= DT_CENTER;
    canvas.SetBrushStyle(TBrushStyle::bsClear);
    const auto arrowFits = [&](const TRect& box) { return 2 * box.Width() < columnWidth; };
    switch (mode) {
    case TMvLvHeaderSortDisplayMode::ptlvNone:
        DrawText(canvas, caption, text, format);
        return;
    case TMvLvHeaderSortDisplayMode::ptlvLeftAlign:
        if (sortColumn && columnWidth > 15) {
            const TRect box = SortArrowBox(text);
            if (arrowFits(box)) DrawSortArrow(canvas, box, arrowDown);
            text.Left = box.Right + 5;
        }
        canvas.SetBrushStyle(TBrushStyle::bsClear);
        DrawText(canvas, caption, text, format);
        return;
    case TMvLvHeaderSortDisplayMode::ptlvRightOfText:
        if (alignment != TAlignment::taRightJustify) {
            TRect drawn = text;
            DrawText(canvas, caption, drawn, format);
            if (!sortColumn) return;
            TRect measured = text;
            DrawText(canvas, caption, measured, DT_CALCRECT | DT_END_ELLIPSIS | DT_SINGLELINE | DT_RIGHT);
            const int shift = measured.Width() + 5;
            measured.Left += shift;
            measured.Right += shift;
            measured.Top = text.Top;
            measured.Bottom = text.Bottom;
            const TRect box = SortArrowBox(measured);
            if (arrowFits(box) && box.Right <= itemRect.Right) DrawSortArrow(canvas, box, arrowDown);
            return;
        }
        [[fallthrough]];
    case TMvLvHeaderSortDisplayMode::ptlvRightAlign: {
        TRect box = SortArrowBox(text);
        const int shift = (text.Right - 5) - box.Right;
        box.Left += shift;
        box.Right += shift;
        if (sortColumn) {
            if (arrowFits(box)) DrawSortArrow(canvas, box, arrowDown);
            text.Right = box.Left - 4;
        }
        canvas.SetBrushStyle(TBrushStyle::bsClear);
        DrawText(canvas, caption, text, format);
        return;
    }
    }
}

// ---- TMvCustomListView ----

TMvCustomListView::TMvCustomListView(TComponent* owner) : TListView(owner) {
    UpdateHeaderFormats();
}

TMvCustomListView::~TMvCustomListView() {
    BeginDestruction();
    FCustomDraw.reset();
}

void TMvCustomListView::SetPopupMenu(TPopupMenu* value) {
    if (FPopupMenu) FPopupMenu->RemoveFreeNotification(this);
    FPopupMenu = value;
    if (FPopupMenu) FPopupMenu->FreeNotification(this);
}

void TMvCustomListView::Notification(TComponent* component, TOperation operation) {
    TListView::Notification(component, operation);
    if (operation == TOperation::opRemove && component == FPopupMenu) FPopupMenu = nullptr;
}

void TMvCustomListView::SetSortColumn(int value) {
    if (value == FSortColumnShown) return;
    const int old = FSortColumnShown;
    FSortColumnShown = value;
    // Only the two header items concerned are drawn again.
    if (old >= 0 && old < Columns().Count()) InvalidateHeaderRect(HeaderItemRect(old));
    if (value >= 0 && value < Columns().Count()) InvalidateHeaderRect(HeaderItemRect(value));
}

void TMvCustomListView::SetSortArrowDown(uint8_t value) {
    if (value == FSortArrowDown) return;
    FSortArrowDown = value;
    if (FSortColumnShown >= 0 && FSortColumnShown < Columns().Count())
        InvalidateHeaderRect(HeaderItemRect(FSortColumnShown));
}

void TMvCustomListView::SetHeaderSortDisplayMode(TMvLvHeaderSortDisplayMode value) {
    FHeaderSortDisplayMode = value;
    UpdateHeaderFormats();
}

void TMvCustomListView::UpdateHeaderFormats() {
    SetHeaderOwnerDraw(FHeaderSortDisplayMode != TMvLvHeaderSortDisplayMode::ptlvNone);
    for (int i = 0; i < Columns().Count(); ++i) InvalidateHeaderRect(HeaderItemRect(i));
}

void TMvCustomListView::DrawHeaderItem(TCanvas& canvas, int column, const TRect& rect, bool pressed) {
    if (column < 0 || column >= Columns().Count()) return;
    TRect frame = rect;
    canvas.SetBrushStyle(TBrushStyle::bsSolid);
    canvas.SetBrushColor(clBtnFace);
    canvas.FillRect(frame);
    DrawEdge(canvas, frame, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    TRect inner = rect;
    inner.Left += 2;
    inner.Top += 2;
    inner.Right -= 2;
    inner.Bottom -= 2;
    canvas.SetBrushColor(clBtnFace);
    canvas.FillRect(inner);
    canvas.Font().Assign(Font());
    canvas.Font().SetColor(clBtnText);
    const TListColumn* c = Columns()[column];
    DrawSortHeaderItem(canvas, inner, c->Caption(), c->Alignment(), FHeaderSortDisplayMode,
                       column == FSortColumnShown, FSortArrowDown == 1, c->Width());
}

uint32_t TMvCustomListView::CustomDraw(TCustomDrawInfo& info) {
    FCustomDraw.reset();
    uint32_t result = CDRF_DODEFAULT;
    TMvCustomDraw* kept = HandleCustomDraw(info, &result);
    if (kept != FCustomDraw.get()) FCustomDraw.reset(kept);
    return result;
}

std::unique_ptr<TMvCustomDraw> TMvCustomListView::CreateCustomDraw(TCustomDrawInfo& info, uint32_t* result) {
    return std::make_unique<TMvLvCustomDraw>(Font(), info, result);
}

TMvCustomDraw* TMvCustomListView::HandleCustomDraw(TCustomDrawInfo& info, uint32_t* result) {
    TListItem* item = (info.DrawStage & CDDS_ITEM) ? Items().Item(static_cast<int>(info.ItemSpec)) : nullptr;
    std::unique_ptr<TMvCustomDraw> cd;
    if (OnCustomDraw) {
        cd = CreateCustomDraw(info, result);
        OnCustomDraw(this, cd.get(), item);
    }
    if (OnCustomDrawItem && info.DrawStage == CDDS_ITEMPREPAINT) {
        if (!cd) cd = CreateCustomDraw(info, result);
        OnCustomDrawItem(this, cd.get(), item);
    }
    if (cd) cd->Apply();
    // The list always wants to hear of its items.
    if (info.DrawStage & 1) *result |= CDRF_NOTIFYITEMDRAW;
    return cd.release();
}

void TMvCustomListView::PopupAt(TPopupMenu* menu, TPoint point) {
    if (!menu) return;
    menu->SetPopupComponent(this);
    const TPoint origin = RowsOrigin();
    const TPoint screen = ClientToScreen(*this, Point(point.X + origin.X, point.Y + origin.Y));
    menu->Popup(screen.X, screen.Y);
}

void TMvCustomListView::RightClick(TPoint at) {
    DoRightClick(at);
}

void TMvCustomListView::DoRightClick(TPoint point) {
    const int focused = ItemFocused();
    if (focused < 0) {
        PopupAt(FPopupMenu, point);
        return;
    }
    int at = -1;
    if (ItemState(focused, LVIS_SELECTED)) at = focused;
    else if (SelCount() > 0) at = GetNextItem(-1, LVNI_SELECTED);
    if (at < 0) {
        PopupAt(FPopupMenu, point);
        return;
    }
    // The centre of the item's icon.
    const TRect r = ItemRect(at);
    const int icon = SmallImages() ? SmallImages()->Width() : 16;
    point = Point(r.Left + 2 + icon / 2, (r.Top + r.Bottom) / 2);
    ShowPopupMenu(point);
}

void TMvCustomListView::ShowPopupMenu(TPoint point) {
    TPopupMenu* menu = FPopupMenu;
    DoItemContextMenu(Items().Item(ItemFocused()), point, menu);
    FRightClickMenuShown = true;
    PopupAt(menu, point);
}

void TMvCustomListView::DoItemContextMenu(TListItem* item, TPoint& point, TPopupMenu*& menu) {
    if (OnItemContextMenu) OnItemContextMenu(this, item, point, menu);
}

void TMvCustomListView::RightButtonUp(TPoint /*at*/) {
    FRightClickMenuShown = false;
}

void TMvCustomListView::ContextMenu(TPoint at, bool fromKeyboard) {
    if (FRightClickMenuShown || SelCount() == 0 || ItemFocused() < 0) return;
    if (fromKeyboard) DoRightClick(Point(0, 0));
    else ShowPopupMenu(at);
}

void TMvCustomListView::KeyDown(uint16_t& key, TShiftState shift) {
    const TShiftState mods = shift & (ssShift | ssAlt | ssCtrl);
    if ((key == VK_APPS && mods == 0) || (key == VK_F10 && mods == ssShift)) {
        key = 0;
        DoRightClick(Point(0, 0));
    }
    TListView::KeyDown(key, shift);
}

} // namespace mv
