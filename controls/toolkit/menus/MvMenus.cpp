#include "controls/toolkit/menus/MvMenus.h"

#include "controls/toolkit/checklist/BitmapDrawing.h"
#include "controls/toolkit/files/SmallUtils.h"
#include "platform/ui/Drawing.h"
#include "platform/ui/SysMetrics.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace mv {

namespace {

char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

// The menu font: the class library's sans-serif font at 8 points.
void SetMenuFont(TFont& font) {
    font.Assign(TFont());
    font.SetColor(clMenuText);
}

int CheckWidth() {
    return GetSystemMetrics(SM_CXMENUCHECK);
}

} // namespace

char AcceleratorOf(const std::string& caption) {
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        if (caption[i + 1] == '&') {
            ++i; // "&&" is an "&"
            continue;
        }
        return caption[i + 1];
    }
    return 0;
}

uint32_t MenuCharAnswer(char typed, const std::vector<TMenuCharItem>& items) {
    const char want = Lower(typed);
    for (int pass = 0; pass < 2; ++pass) {
        int first = -1, hilite = -1, target = -1;
        bool select = false, disabledMatch = false;
        for (size_t i = 0; i < items.size(); ++i) {
            const TMenuCharItem& item = items[i];
            char c;
            if (pass == 0) {
                c = AcceleratorOf(item.Caption);
            } else {
                const std::string shown = StripChar(item.Caption, '&');
                c = shown.empty() ? 0 : shown[0];
            }
            if (c == 0 || Lower(c) != want) continue;
            if (item.Disabled) {
                // By first letter, a disabled item closes the menu at once.
                if (pass == 1) return MNC_CLOSE << 16;
                if (first < 0) disabledMatch = true;
                continue;
            }
            if (first < 0)
                first = static_cast<int>(i);
            else
                select = true;
            if (item.Highlighted)
                hilite = static_cast<int>(i);
            else if (hilite >= 0)
                target = static_cast<int>(i);
        }
        if (first >= 0) {
            if (!select) return (MNC_EXECUTE << 16) | static_cast<uint32_t>(first);
            return (MNC_SELECT << 16) | static_cast<uint32_t>(target >= 0 ? target : first);
        }
        if (disabledMatch) return MNC_CLOSE << 16;
    }
    return MNC_IGNORE;
}

TMvMainMenu::TMvMainMenu(TComponent* owner)
    : TComponent(owner), FItems(std::make_unique<TMenuItem>(nullptr)),
      FHook(std::make_unique<TMvWindowHook>(nullptr)) {
    FHook->BeforeMessage = [this](TComponent*, TMessage& msg, bool& handled) { Router(msg, handled); };
}

TMvMainMenu::~TMvMainMenu() {
    BeginDestruction();
    SetStyle(TMvMenuStyle::msStandard);
    if (FImages) RemoveFreeNotification(FImages);
    FImages = nullptr;
    FHook.reset();
}

bool TMvMainMenu::OwnerDraw() const {
    return FStyle != TMvMenuStyle::msStandard || (FImages && FImages->Count() > 0);
}

bool TMvMainMenu::Hooked() const {
    return FHook && FHook->WinControl() != nullptr;
}

void TMvMainMenu::UpdateHook() {
    if (!FHook) return;
    auto* window = dynamic_cast<TWinControl*>(Owner());
    FHook->SetWinControl(OwnerDraw() && !Destroying() ? window : nullptr);
}

void TMvMainMenu::SetStyle(TMvMenuStyle value) {
    FStyle = value;
    UpdateHook();
    RefreshMenu(OwnerDraw());
}

void TMvMainMenu::SetImages(TImageList* value) {
    if (value == FImages) return;
    const bool was = OwnerDraw();
    if (FImages) RemoveFreeNotification(FImages);
    FImages = value;
    if (value) FreeNotification(value);
    UpdateHook();
    if (OwnerDraw() != was) RefreshMenu(OwnerDraw());
}

void TMvMainMenu::ImagesChanged() {
    UpdateHook();
    RefreshMenu(OwnerDraw());
}

void TMvMainMenu::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove && component == FImages) {
        // The list is being destroyed: nothing of it is asked any more.
        FImages = nullptr;
        UpdateHook();
        RefreshMenu(OwnerDraw());
    }
}

void TMvMainMenu::RefreshMenu(bool ownerDraw) {
    // Switching on needs a window that routes the drawing to the menu.
    if (ownerDraw && !Hooked()) return;
    FOwnerDrawn.clear();
    if (!ownerDraw) return;
    std::vector<const TMenuItem*> todo = {FItems.get()};
    while (!todo.empty()) {
        const TMenuItem* item = todo.back();
        todo.pop_back();
        for (int i = item->Count() - 1; i >= 0; --i) {
            FOwnerDrawn.push_back(item->Items(i));
            todo.push_back(item->Items(i));
        }
    }
}

bool TMvMainMenu::ItemOwnerDrawn(const TMenuItem* item) const {
    return std::find(FOwnerDrawn.begin(), FOwnerDrawn.end(), item) != FOwnerDrawn.end();
}

bool TMvMainMenu::HasItem(const TMenuItem* item) const {
    for (const TMenuItem* p = item; p; p = p->ParentItem())
        if (p == FItems.get()) return item != FItems.get();
    return false;
}

bool TMvMainMenu::IsPopup(const TMenuItem* item) const {
    return item->ParentItem() != FItems.get();
}

int TMvMainMenu::Gap() {
    return static_cast<int>(std::lround(0.3 * CheckWidth()));
}

void TMvMainMenu::DoGetImageIndex(TMenuItem* item, TMenuOwnerDrawState state, int& imageIndex) {
    if (FImages && item->Caption() != "-" && OnGetImageIndex) OnGetImageIndex(this, item, state, imageIndex);
}

void TMvMainMenu::DoGetItemParams(TMenuItem* item, TMenuOwnerDrawState state, TFont& font, TColor& color,
                                  const TBitmap*& graphic, int& numGlyphs) {
    if (OnGetItemParams) OnGetItemParams(this, item, state, font, color, graphic, numGlyphs);
    if (item->Caption() == "-") graphic = nullptr;
}

void TMvMainMenu::DoMeasureItem(TMenuItem* item, int& width, int& height) {
    if (OnMeasureItem) OnMeasureItem(this, item, width, height);
}

void TMvMainMenu::Router(TMessage& msg, bool& handled) {
    if (!OwnerDraw()) return;
    switch (msg.Msg) {
    case WM_MEASUREITEM: {
        auto* m = reinterpret_cast<TMeasureItemStruct*>(msg.LParam);
        if (!m || m->CtlType != ODT_MENU || !HasItem(m->Item)) return;
        MeasureItem(m->Item, m->ItemWidth, m->ItemHeight);
        msg.Result = 1;
        handled = true;
        return;
    }
    case WM_DRAWITEM: {
        auto* d = reinterpret_cast<TDrawItemStruct*>(msg.LParam);
        if (!d || d->CtlType != ODT_MENU || !d->Canvas || !HasItem(d->Item)) return;
        DrawItem(*d->Canvas, d->Item, d->RcItem, d->ItemState);
        msg.Result = 1;
        handled = true;
        return;
    }
    case WM_MENUSELECT: {
        auto* s = reinterpret_cast<TMenuSelectStruct*>(msg.LParam);
        if (s) MenuSelect(s->Item, s->ByMouse);
        return; // the form still hears it
    }
    case WM_MENUCHAR: {
        auto* c = reinterpret_cast<TMenuCharStruct*>(msg.LParam);
        if (c) msg.Result = static_cast<intptr_t>(MenuChar(c->Char, c->Items));
        return;
    }
    default:
        return;
    }
}

void TMvMainMenu::MeasureItem(TMenuItem* item, int& width, int& height) {
    TCanvas canvas;
    SetMenuFont(canvas.Font());
    TColor color = clMenu;
    const TBitmap* graphic = nullptr;
    int numGlyphs = 1;
    DoGetItemParams(item, 0, canvas.Font(), color, graphic, numGlyphs);
    int imageIndex = -1;
    DoGetImageIndex(item, 0, imageIndex);
    const int g = Gap();
    const bool popup = IsPopup(item);
    const std::string text = StripChar(item->Caption(), '&');
    height = GetSystemMetrics(SM_CYMENU) - 2;
    int m = 0;
    if (item->Default()) canvas.Font().SetStyle(canvas.Font().Style() | fsBold);
    if (popup) {
        width = 2 * g;
        m = FImages ? MaxOfTwo(FMinTextOffset, FImages->Width() + 2) : FMinTextOffset;
        width += canvas.TextWidth(text + "\t\t");
        if (!item->ShortCut().empty()) width += canvas.TextWidth(item->ShortCut());
        if (item->Count() > 0) width += canvas.TextWidth("\t\t");
        if (FShowCheckMarks) width += CheckWidth();
    } else {
        width = canvas.TextWidth(text);
    }
    if (item->Caption() == "-") {
        height = MaxOfTwo(canvas.TextHeight("-") / 2, 9);
        return;
    }
    height = MaxOfTwo(height, canvas.TextHeight(text));
    const bool validImage = FImages && imageIndex >= 0 && imageIndex < FImages->Count();
    if (FImages && (popup || validImage)) {
        width += MaxOfTwo(FImages->Width() + 2, m) + (popup ? 0 : g);
        if (validImage) height = MaxOfTwo(height, FImages->Height() + 4);
    } else if (graphic && !graphic->Empty()) {
        const int cells = numGlyphs >= 2 && numGlyphs <= 5 ? numGlyphs : 1;
        width += MaxOfTwo(graphic->Width() / cells + 2, m) + (popup ? 0 : g);
        height = MaxOfTwo(height, graphic->Height() + 4);
    } else if (m > 0) {
        width += m + (popup ? 0 : g);
    }
    DoMeasureItem(item, width, height);
}

void TMvMainMenu::DrawItem(TCanvas& canvas, TMenuItem* item, const TRect& rect, TMenuOwnerDrawState state) {
    SetMenuFont(canvas.Font());
    canvas.SetBrushStyle(TBrushStyle::bsSolid);
    canvas.SetBrushColor(clMenu);
    const bool buttonStyle = FStyle == TMvMenuStyle::msBtnLowered || FStyle == TMvMenuStyle::msBtnRaised;
    if ((state & odSelected) && !buttonStyle) {
        canvas.SetBrushColor(clHighlight);
        canvas.Font().SetColor(clHighlightText);
    }
    const TRegion clip = TRegion::FromRect(rect);
    canvas.SetClipRegion(&clip);
    FCanvas = &canvas;
    DrawMenuItem(item, rect, state);
    FCanvas = nullptr;
    canvas.SetClipRegion(nullptr);
}

void TMvMainMenu::DrawMenuItem(TMenuItem* item, const TRect& rect, TMenuOwnerDrawState state) {
    if (!FCanvas) return;
    const TBitmap* graphic = nullptr;
    TColor color = FCanvas->BrushColor();
    int numGlyphs = 1;
    DoGetItemParams(item, state, FCanvas->Font(), color, graphic, numGlyphs);
    if (color != clNone) {
        FCanvas->SetBrushColor(color);
        FCanvas->FillRect(rect);
    }
    if (OnDrawItem) {
        OnDrawItem(this, item, rect, state);
        return;
    }
    int imageIndex = -1;
    DoGetImageIndex(item, state, imageIndex);
    const int buttonStyle = FStyle == TMvMenuStyle::msBtnLowered  ? 1
                            : FStyle == TMvMenuStyle::msBtnRaised ? 2
                                                                  : 0;
    PaintItem(item, rect, state, imageIndex, graphic, numGlyphs, buttonStyle);
}

void TMvMainMenu::PaintItem(TMenuItem* item, const TRect& rect, TMenuOwnerDrawState state, int imageIndex,
                            const TBitmap* graphic, int numGlyphs, int buttonStyle) {
    TCanvas& c = *FCanvas;
    const int g = Gap();
    const bool popup = IsPopup(item);
    const bool selected = state & odSelected;
    const bool disabled = state & (odDisabled | odGrayed);
    const bool separator = item->Caption() == "-";
    const bool checkBox = (state & odChecked) && popup && !FShowCheckMarks && buttonStyle == 0;
    const TColor grayText = selected && buttonStyle == 0 ? clGrayText : clBtnShadow;
    const int m = popup ? (FImages ? MaxOfTwo(FMinTextOffset, FImages->Width() + 2) : FMinTextOffset) : 0;
    int cw = 0, x;
    if (popup) {
        cw = FShowCheckMarks ? CheckWidth() : 2;
        x = 2 * g + cw;
    } else {
        x = g + 2;
    }
    if (selected && buttonStyle != 0) {
        const TColor topLeft = buttonStyle == 1 ? clBtnShadow : clBtnHighlight;
        const TColor bottomRight = buttonStyle == 1 ? clBtnHighlight : clBtnShadow;
        c.SetPenWidth(1);
        c.SetPenColor(topLeft);
        c.MoveTo(rect.Left, rect.Bottom - 1);
        c.LineTo(rect.Left, rect.Top);
        c.LineTo(rect.Right - 1, rect.Top);
        c.SetPenColor(bottomRight);
        c.LineTo(rect.Right - 1, rect.Bottom - 1);
        c.LineTo(rect.Left - 1, rect.Bottom - 1);
    }
    // A checked radio item shows a bullet where the others show a check mark.
    const uint32_t mark = item->RadioItem() ? DFCS_MENUBULLET : DFCS_MENUCHECK;
    auto drawCheck = [&](const TRect& box) {
        TRect r = box;
        const TColor brush = c.BrushColor();
        const uint8_t style = c.Font().Style();
        DrawFrameControl(c, r, DFC_MENU, mark | DFCS_TRANSPARENT);
        c.SetBrushColor(brush);
        c.Font().SetStyle(style);
    };
    if ((state & odChecked) && popup && FShowCheckMarks) {
        const int size = CheckWidth();
        const int left = rect.Left + (x - cw) / 2;
        const int top = rect.Top + (rect.Height() - size) / 2;
        drawCheck(Bounds(left, top, size, size));
    }
    const bool validImage = FImages && imageIndex >= 0 && imageIndex < FImages->Count();
    const bool hasGraphic = graphic && !graphic->Empty() && !separator;
    if (!FShowCheckMarks && (validImage || hasGraphic || m > 0)) x = g;
    auto drawBox = [&](const TRect& box) {
        if (!checkBox) return;
        const TColor brush = c.BrushColor();
        if (selected) {
            c.SetBrushColor(clMenu);
            c.FillRect(box);
        } else {
            const auto dither = MakeCheckerPattern(clMenu, clBtnHighlight);
            c.SetBrushBitmap(dither.get());
            c.FillRect(box);
            c.SetBrushBitmap(nullptr);
        }
        c.SetPenWidth(1);
        c.SetPenColor(grayText);
        c.MoveTo(box.Left, box.Bottom - 1);
        c.LineTo(box.Left, box.Top);
        c.LineTo(box.Right - 1, box.Top);
        c.SetPenColor(clBtnHighlight);
        c.LineTo(box.Right - 1, box.Bottom - 1);
        c.LineTo(box.Left - 1, box.Bottom - 1);
        c.SetBrushColor(brush);
    };
    if (validImage) {
        const int w = MaxOfTwo(FImages->Width() + 2, m);
        drawBox(Bounds(rect.Left + x - 1, rect.Top, w + 2, rect.Height()));
        FImages->Draw(c, rect.Left + x + (w - FImages->Width()) / 2,
                      rect.Top + (rect.Height() - FImages->Height()) / 2, imageIndex, !disabled);
        x += g + w;
    } else if (hasGraphic) {
        const int cells = numGlyphs >= 2 && numGlyphs <= 5 ? numGlyphs : 1;
        int cell = disabled ? 1 : (state & odChecked) ? 3 : selected ? 2 : 0;
        if (cell >= cells) cell = 0;
        TBitmap piece;
        CopyBitmapCell(graphic, &piece, cells, 1, cell);
        const int w = MaxOfTwo(piece.Width() + 2, m);
        drawBox(Bounds(rect.Left + x - 1, rect.Top, w + 2, rect.Height()));
        PaintBitmapTransparent(c, rect.Left + x + (w - piece.Width()) / 2,
                               rect.Top + (rect.Height() - piece.Height()) / 2, piece,
                               BottomLeftTransparentColor);
        x += g + w;
    } else if (m > 0) {
        const TRect box = Bounds(rect.Left + x - 1, rect.Top, m + 2, rect.Height());
        drawBox(box);
        if (checkBox) {
            const int size = CheckWidth();
            drawCheck(
                Bounds(box.Left + (box.Width() - size) / 2, box.Top + (box.Height() - size) / 2, size, size));
        }
        x += g + m;
    }
    if (!separator) {
        const std::string caption = item->Caption();
        const int y = rect.Top + (rect.Height() - c.TextHeight("Ay")) / 2;
        const TColor textColor = c.Font().Color();
        c.SetBrushStyle(TBrushStyle::bsClear);
        if (disabled) {
            const bool sameColour = ColorToRGB(clGrayText) == ColorToRGB(clHighlight);
            if (!(selected && buttonStyle == 0) || sameColour) {
                c.Font().SetColor(clBtnHighlight);
                TRect shadow = Rect(rect.Left + x + 1, y + 1, rect.Right + 1, rect.Bottom + 1);
                DrawText(c, caption, shadow, DT_SINGLELINE | DT_EXPANDTABS);
            }
            c.Font().SetColor(grayText);
        }
        // The default item in bold; the shortcut's text at the right of a pop-up's item.
        const uint8_t fontStyle = c.Font().Style();
        if (item->Default()) c.Font().SetStyle(fontStyle | fsBold);
        TRect r = Rect(rect.Left + x, y, rect.Right, rect.Bottom);
        DrawText(c, caption, r, DT_SINGLELINE | DT_EXPANDTABS);
        if (popup && !item->ShortCut().empty()) {
            TRect keys = Rect(rect.Left + x, y, rect.Right - 2 * g - CheckWidth(), rect.Bottom);
            DrawText(c, item->ShortCut(), keys, DT_SINGLELINE | DT_RIGHT);
        }
        c.Font().SetStyle(fontStyle);
        c.Font().SetColor(textColor);
        c.SetBrushStyle(TBrushStyle::bsSolid);
    } else {
        const int y = (rect.Top + rect.Bottom) / 2 - 1;
        c.SetPenWidth(1);
        c.SetPenColor(clBtnShadow);
        c.MoveTo(rect.Left, y);
        c.LineTo(rect.Right, y);
        c.SetPenColor(clBtnHighlight);
        c.MoveTo(rect.Left, y + 1);
        c.LineTo(rect.Right, y + 1);
    }
}

void TMvMainMenu::MenuSelect(TMenuItem* item, bool byMouse) {
    if (FCursor == TCursor::crDefault) return;
    const bool topWithChildren = item && !IsPopup(item) && item->Count() > 0;
    FCurrentCursor = byMouse && item && HasItem(item) && !topWithChildren ? FCursor : TCursor::crDefault;
}

uint32_t TMvMainMenu::MenuChar(char typed, const std::vector<TMenuCharItem>& items) {
    return MenuCharAnswer(typed, items);
}

} // namespace mv
