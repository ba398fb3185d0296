#include "controls/toolkit/colour/ColorPanel.h"

#include "controls/toolkit/colour/ColorMan.h"
#include "platform/ui/Drawing.h"

namespace mv {
namespace {

void Rings(TCanvas& c, TRect& r, TColor top, TColor bottom, int w) {
    c.SetPenWidth(1);
    c.SetPenStyle(TPenStyle::psSolid);
    for (int i = 0; i < w; ++i) {
        c.SetPenColor(top);
        c.Polyline({{r.Left, r.Bottom - 1}, {r.Left, r.Top}, {r.Right - 1, r.Top}});
        c.SetPenColor(bottom);
        c.Polyline({{r.Left, r.Bottom - 1}, {r.Right - 1, r.Bottom - 1}, {r.Right - 1, r.Top - 1}});
        r = {r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1};
    }
}

} // namespace

TBevelColors ColorPanelBevel(TColor color, TBevelCut cut) {
    const int s = cut == TBevelCut::bvLowered ? -64 : 64;
    return {Brighten(color, s), Darken(color, s)};
}

TColorPanel::TColorPanel(TComponent* owner) : TCustomControl(owner) {
    SetVertScroll(0, 0, 0); // no scroll bar: paint the full width
    if (auto* parentLike = dynamic_cast<TControl*>(owner)) SetColor(parentLike->Color());
    SetCaption("");
}

void TColorPanel::PaintBevels(TRect& r) {
    TCanvas& c = Canvas();
    if (FBevelOuter != TBevelCut::bvNone) {
        const TBevelColors b = ColorPanelBevel(Color(), FBevelOuter);
        Rings(c, r, b.TopLeft, b.BottomRight, FBevelWidth);
    }
    Rings(c, r, Color(), Color(), FBorderWidth);
    if (FBevelInner != TBevelCut::bvNone) {
        const TBevelColors b = ColorPanelBevel(Color(), FBevelInner);
        Rings(c, r, b.TopLeft, b.BottomRight, FBevelWidth);
    }
}

void TColorPanel::Paint() {
    TCanvas& c = Canvas();
    TRect r{0, 0, Width(), Height()};
    FRect = r;
    PaintBevels(r);
    c.SetBrushStyle(TBrushStyle::bsSolid);
    c.SetBrushColor(Color());
    c.FillRect(r);
    c.SetBrushStyle(TBrushStyle::bsClear);
    c.Font().Assign(Font());
    const int h = c.TextHeight("W");
    TRect text{r.Left, (r.Top + r.Bottom - h) / 2, r.Right, 0};
    text.Bottom = text.Top + h;
    const uint32_t align = FAlignment == TAlignment::taLeftJustify    ? DT_LEFT
                           : FAlignment == TAlignment::taRightJustify ? DT_RIGHT
                                                                      : DT_CENTER;
    DrawText(c, Caption(), text, DT_VCENTER | DT_EXPANDTABS | DT_SINGLELINE | align);
}

} // namespace mv
