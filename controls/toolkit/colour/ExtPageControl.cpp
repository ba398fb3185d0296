#include "controls/toolkit/colour/ExtPageControl.h"

#include "platform/ui/Drawing.h"

#include <algorithm>

namespace mv {

TExtTabSheet::TExtTabSheet(TExtPageControl* control) : TCustomControl(control) {
    SetVertScroll(0, 0, 0); // no scroll bar: paint the full width
}

void TExtTabSheet::Paint() {
    Canvas().SetBrushStyle(TBrushStyle::bsSolid);
    Canvas().SetBrushColor(Color());
    Canvas().FillRect({0, 0, Width(), Height()});
}

TExtPageControl::TExtPageControl(TComponent* owner) : TCustomControl(owner) {
    SetVertScroll(0, 0, 0); // no scroll bar: paint the full width
    SetBounds(0, 0, 289, 193);
    FActiveFont.Assign(Font());
    FInactiveFont.Assign(Font());
    FActiveFont.OnChange = [this] { Invalidate(); };
    FInactiveFont.OnChange = [this] { Invalidate(); };
    FModel.OnChange = [this] {
        if (OnChange) OnChange(this);
    };
}

TExtTabSheet* TExtPageControl::AddPage(const std::string& caption) {
    auto* sheet = new TExtTabSheet(this); // owned by the page control
    sheet->SetParent(this);
    sheet->SetColor(Color());
    FSheets.push_back(sheet);
    FModel.Pages().push_back({caption, true, true});
    if (FModel.ActivePage() < 0) FModel.SetActivePage(0);
    ShowActivePage();
    return sheet;
}

void TExtPageControl::SetPageEnabled(int index, bool value) {
    FModel.Pages().at(static_cast<size_t>(index)).Enabled = value;
    Invalidate();
}

void TExtPageControl::SetTabVisible(int index, bool value) {
    FModel.Pages().at(static_cast<size_t>(index)).TabVisible = value;
    ShowActivePage();
}

bool TExtPageControl::SetActivePageIndex(int index) {
    const bool done = FModel.SetActivePage(index);
    if (done) ShowActivePage();
    return done;
}

void TExtPageControl::SetTabPosition(TExtTabPosition value) {
    // One repaint for the whole change, also when it fails half-way.
    LockPaint();
    struct Unlock {
        TExtPageControl* Control;
        ~Unlock() { Control->UnlockPaint(); }
    } unlock{this};
    FModel.SetTabPosition(value);
    ShowActivePage();
}

void TExtPageControl::LockPaint() {
    ++FPaintLock;
}

void TExtPageControl::UnlockPaint() {
    if (FPaintLock > 0) --FPaintLock;
    if (FPaintLock == 0) Invalidate();
}

void TExtPageControl::ReleaseInactivePages() {
    for (int i = 0; i < PageCount(); ++i)
        if (i != ActivePageIndex()) Page(i)->SetVisible(false);
}

void TExtPageControl::PaintTabBackground(TCanvas& canvas, bool active, const TRect& rect) {
    canvas.SetBrushStyle(TBrushStyle::bsSolid);
    canvas.SetBrushColor(active ? FTabActiveColor : FTabInactiveColor);
    canvas.FillRect(rect);
}

TPoint TExtPageControl::TabSize() const {
    // Vertical tabs are laid out turned: the layout's width runs down the side.
    const bool vertical = FModel.Vertical();
    int w = vertical ? FModel.LayoutTabHeight() : FModel.LayoutTabWidth();
    int h = vertical ? FModel.LayoutTabWidth() : FModel.LayoutTabHeight();
    // The tab layout measures with the wider of the two fonts.
    TCanvas active, inactive;
    active.Font().Assign(FActiveFont);
    inactive.Font().Assign(FInactiveFont);
    TCanvas& measure = UseActiveTabFont(active.TextWidth("W"), inactive.TextWidth("W")) ? active : inactive;
    if (h <= 0) h = measure.TextHeight("Wg") + 6;
    if (w <= 0) {
        for (const TExtPage& p : FModel.Pages()) w = std::max(w, measure.TextWidth(p.Caption) + 16);
        if (FGlyphs.NumGlyphs > 0 && !FGlyphs.Glyph->Empty()) w += FGlyphs.Glyph->Width() / FGlyphs.NumGlyphs + FGlyphs.Spacing;
    }
    return {w, h};
}

TRect TExtPageControl::GetTabRect(int tabIndex) const {
    if (tabIndex < 0 || tabIndex >= FModel.TabCount()) return {0, 0, 0, 0};
    const TPoint s = TabSize();
    switch (FModel.TabPosition()) {
    case TExtTabPosition::tabPosLeft: return Bounds(2, 2 + tabIndex * s.Y, s.X, s.Y);
    case TExtTabPosition::tabPosRight: return Bounds(Width() - 2 - s.X, 2 + tabIndex * s.Y, s.X, s.Y);
    case TExtTabPosition::tabPosTop: return Bounds(2 + tabIndex * s.X, 2, s.X, s.Y);
    case TExtTabPosition::tabPosBottom: return Bounds(2 + tabIndex * s.X, Height() - 2 - s.Y, s.X, s.Y);
    }
    return {0, 0, 0, 0};
}

int TExtPageControl::TabAtPoint(TPoint p) const {
    for (int t = 0; t < FModel.TabCount(); ++t)
        if (GetTabRect(t).Contains(p)) return t;
    return -1;
}

TRect TExtPageControl::DisplayRect() const {
    const TPoint s = TabSize();
    // The area the tab layout leaves (4 in from each edge), adjusted as the display.
    TRect r{4, 4, Width() - 4, Height() - 4};
    switch (FModel.TabPosition()) {
    case TExtTabPosition::tabPosLeft: r.Left = 2 + s.X + 2; break;
    case TExtTabPosition::tabPosRight: r.Right = Width() - 2 - s.X - 2; break;
    case TExtTabPosition::tabPosTop: r.Top = 2 + s.Y + 2; break;
    case TExtTabPosition::tabPosBottom: r.Bottom = Height() - 2 - s.Y - 2; break;
    }
    const TRect a = AdjustDisplayRect(r, FModel.TabPosition());
    return {std::max(a.Left, 0), std::max(a.Top, 0), std::min(a.Right, Width()), std::min(a.Bottom, Height())};
}

void TExtPageControl::ShowActivePage() {
    const TRect d = DisplayRect();
    for (size_t i = 0; i < FSheets.size(); ++i) {
        FSheets[i]->SetBounds(d.Left + 2, d.Top + 2, d.Width() - 4, d.Height() - 4);
        FSheets[i]->SetVisible(static_cast<int>(i) == FModel.ActivePage());
    }
    Invalidate();
}

void TExtPageControl::Resized() {
    TCustomControl::Resized();
    ShowActivePage();
}

void TExtPageControl::DrawTabText(const TRect& rect, TPoint offset, TPoint& textPos, bool disabled, int alignment,
                                  const std::string& text) {
    TCanvas& c = Canvas();
    uint32_t format = (FWordWrap ? DT_WORDBREAK : DT_SINGLELINE) |
                      (alignment == 1 ? DT_RIGHT : alignment == 2 ? DT_CENTER : DT_LEFT);
    const TRect R{rect.Left + 2, rect.Top + 2, rect.Right - 2, rect.Bottom - 2};
    TRect measure{R.Left + offset.X, R.Top + offset.Y, R.Right, R.Bottom};
    DrawText(c, text, measure, format | DT_CALCRECT);
    TRect box = TabTextBox(rect, offset, measure.Width(), measure.Height(), alignment, textPos);
    c.SetBrushStyle(TBrushStyle::bsClear);
    if (disabled) {
        const TColor was = c.Font().Color();
        TRect shifted{box.Left + 1, box.Top + 1, box.Right + 1, box.Bottom + 1};
        c.Font().SetColor(clBtnHighlight);
        DrawText(c, text, shifted, format);
        c.Font().SetColor(clBtnShadow);
        DrawText(c, text, box, format);
        c.Font().SetColor(was);
    } else {
        DrawText(c, text, box, format);
    }
}

void TExtPageControl::DrawTab(int pageIndex, const TRect& rect, bool disabled) {
    TCanvas& c = Canvas();
    const std::string& caption = FModel.Pages()[static_cast<size_t>(pageIndex)].Caption;
    const bool vertical = FModel.Vertical();
    const bool hasGlyph = FGlyphs.NumGlyphs > 0 && !FGlyphs.Glyph->Empty();
    TPoint pos;
    if (!hasGlyph) {
        DrawTabText(rect, vertical ? TPoint{8, 0} : TPoint{0, 0}, pos, disabled, vertical ? 0 : 2, caption);
        return;
    }
    if (disabled) {
        DrawTabText(rect, {0, 0}, pos, true, 2, caption);
        return;
    }
    const int iw = FGlyphs.Glyph->Width() / FGlyphs.NumGlyphs, ih = FGlyphs.Glyph->Height();
    const int image = pageIndex; // the page index is its glyph's index
    auto drawGlyph = [&](int x, int y) {
        if (image < FGlyphs.NumGlyphs)
            c.BrushCopy(Bounds(x, y, iw, ih), *FGlyphs.Glyph, Bounds(image * iw, 0, iw, ih), FGlyphs.TransparentColor);
    };
    if (FGlyphs.Position == TExtGlyphs::TExtGlyphPosition::glPosLeft) {
        const int y = rect.Top + (rect.Height() - ih) / 2;
        if (!vertical) {
            DrawTabText(rect, {iw + FGlyphs.Spacing, 0}, pos, false, 2, caption);
            drawGlyph(pos.X, y);
        } else {
            drawGlyph(rect.Left + 8, y);
            DrawTabText(rect, {iw + FGlyphs.Spacing + 8, 0}, pos, false, 0, caption);
        }
    } else {
        DrawTabText(rect, {0, ih + FGlyphs.Spacing}, pos, false, 2, caption);
        drawGlyph(rect.Left + (rect.Width() - iw) / 2, pos.Y);
    }
}

void TExtPageControl::Paint() {
    if (FPaintLock > 0) return;
    TCanvas& c = Canvas();
    // The page area in the control's colour, then around it the parent's colour; the
    // tabs are painted over that.
    const TRect d = DisplayRect();
    c.SetBrushStyle(TBrushStyle::bsSolid);
    c.SetBrushColor(Color());
    c.FillRect(d);
    if (OnDrawBkgndInside) OnDrawBkgndInside(this, c, FModel.ActivePage(), d);
    const TRect client{0, 0, Width(), Height()};
    std::vector<TRect> outside;
    const TRect around[] = {{client.Left, client.Top, client.Right, d.Top},
                            {client.Left, d.Bottom, client.Right, client.Bottom},
                            {client.Left, d.Top, d.Left, d.Bottom},
                            {d.Right, d.Top, client.Right, d.Bottom}};
    for (const TRect& r : around)
        if (r.Right > r.Left && r.Bottom > r.Top) outside.push_back(r);
    c.SetBrushColor(Parent() ? Parent()->Color() : clBtnFace);
    for (const TRect& r : outside) c.FillRect(r);
    if (OnDrawBkgndOutside) OnDrawBkgndOutside(this, c, outside);
    TRect edge = d;
    DrawEdge(c, edge, EDGE_RAISED, BF_RECT);
    const int active = FModel.TabIndexOf(FModel.ActivePage());
    for (int t = 0; t < FModel.TabCount(); ++t) {
        const int page = FModel.TabIndexToPageIndex(t);
        const bool selected = t == active;
        const bool disabled = !FModel.Pages()[static_cast<size_t>(page)].Enabled;
        const TRect bg = GetTabRect(t);
        PaintTabBackground(c, selected, bg);
        TRect frame = bg;
        DrawEdge(c, frame, EDGE_RAISED, BF_RECT);
        c.Font().Assign(selected ? FActiveFont : FInactiveFont);
        if (FHottrack.Enabled && FHottrack.HotTab == t) {
            const TColor hot = selected ? FHottrack.TabActiveColor : FHottrack.TabInactiveColor;
            if (hot != clNone) c.Font().SetColor(hot);
        }
        if (OnDrawTab) OnDrawTab(this, page, selected, bg, bg, disabled);
        else DrawTab(page, bg, disabled);
    }
}

void TExtPageControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TCustomControl::MouseDown(button, shift, x, y);
    if (button != TMouseButton::mbLeft) return;
    const int tab = TabAtPoint({x, y});
    if (tab < 0) return;
    // A click on a disabled page's tab selects nothing (SetActivePage refuses it).
    SetActivePageIndex(FModel.TabIndexToPageIndex(tab));
}

void TExtPageControl::MouseMove(TShiftState shift, int x, int y) {
    TCustomControl::MouseMove(shift, x, y);
    const int tab = TabAtPoint({x, y});
    if (FHottrack.Enabled && tab != FHottrack.HotTab) {
        FHottrack.HotTab = tab;
        Invalidate();
    }
    if (ShowHint() && tab != FHintTab) {
        if (FHintTab == -1 && FOwnHint.empty()) FOwnHint = Hint();
        FHintTab = tab;
        SetHint(FModel.TabHint(tab));
    }
}

void TExtPageControl::MouseLeave() {
    if (FHottrack.HotTab != -1) {
        FHottrack.HotTab = -1;
        Invalidate();
    }
    if (ShowHint()) {
        FHintTab = -1;
        SetHint(FOwnHint);
    }
}

bool TExtPageControl::AcceleratorKey(char key) {
    const int page = FModel.AcceleratorPage(key);
    if (page < 0 || FModel.TabIndexOf(page) < 0) return false;
    SetActivePageIndex(page);
    return true;
}

} // namespace mv
