#include "controls/shell/dialogs/Frames.h"

#include "platform/ui/Drawing.h"

namespace mv {
namespace {

int CaptionHeight(const TFont& font) {
    TCanvas measure;
    measure.Font().Assign(font);
    return measure.TextHeight("0");
}

void Poly(TCanvas& c, TColor color, std::vector<TPoint> points) {
    c.SetPenColor(color);
    c.Polyline(points);
}

uint32_t AlignFlag(TAlignment a) {
    return a == TAlignment::taLeftJustify ? DT_LEFT : a == TAlignment::taRightJustify ? DT_RIGHT : DT_CENTER;
}

} // namespace

TRect FrameInsets(TMvFrameStyle style, int captionHeight, bool hasCaption) {
    switch (style) {
    case TMvFrameStyle::ptfsNone: return {0, 0, 0, 0};
    case TMvFrameStyle::ptfsGroup: return {2, hasCaption ? captionHeight : 2, 2, 2};
    case TMvFrameStyle::ptfsLowered:
    case TMvFrameStyle::ptfsRaised: return {2, 2, 2, 2};
    case TMvFrameStyle::ptfsDint:
    case TMvFrameStyle::ptfsBump:
    case TMvFrameStyle::ptfsSingle: return {1, 1, 1, 1};
    case TMvFrameStyle::ptfsHorzLine: return {0, 2, 0, 0};
    case TMvFrameStyle::ptfsHorzEdge: return {0, 2, 0, 2};
    case TMvFrameStyle::ptfsVertLine: return {2, 0, 0, 0};
    case TMvFrameStyle::ptfsVertEdge: return {2, 0, 2, 0};
    }
    return {0, 0, 0, 0};
}

TRect FrameContentRect(TMvFrameStyle style, const TRect& bounds, int captionHeight, bool hasCaption) {
    const TRect in = FrameInsets(style, captionHeight, hasCaption);
    return {bounds.Left + in.Left, bounds.Top + in.Top, bounds.Right - in.Right, bounds.Bottom - in.Bottom};
}

void DrawMvFrame(TCanvas& c, const TRect& rect, TMvFrameStyle style, const std::string& caption, TColor color,
                 bool enabled) {
    // Inclusive corners: the right and bottom edges moved in by one.
    const int L = rect.Left, T = rect.Top, R = rect.Right - 1, B = rect.Bottom - 1;
    const TColor hi = clBtnHighlight, sh = clBtnShadow, dk = cl3DDkShadow, face = clBtnFace;
    c.SetPenWidth(1);
    c.SetPenStyle(TPenStyle::psSolid);
    auto lowered = [&](TColor a, TColor b, TColor d, TColor e) {
        Poly(c, a, {{L, B - 1}, {L, T}, {R, T}});
        Poly(c, b, {{L + 1, B - 2}, {L + 1, T + 1}, {R - 1, T + 1}});
        Poly(c, d, {{L + 1, B - 1}, {R - 1, B - 1}, {R - 1, T}});
        Poly(c, e, {{L, B}, {R, B}, {R, T - 1}});
    };
    switch (style) {
    case TMvFrameStyle::ptfsNone: break;
    case TMvFrameStyle::ptfsGroup: {
        c.SetBrushStyle(TBrushStyle::bsSolid);
        c.SetBrushColor(color);
        c.FillRect({L, T, R, B});
        const int a = caption.empty() ? 2 : c.TextHeight("0");
        const int top = T + a / 2;
        c.SetBrushStyle(TBrushStyle::bsClear);
        c.SetPenColor(hi);
        c.Rectangle({L + 1, top + 1, R + 1, B + 1});
        c.SetPenColor(sh);
        c.Rectangle({L, top, R, B});
        if (!caption.empty()) {
            TRect text{L + 8, T, R - 8, T + a};
            TRect measure = text;
            DrawText(c, caption, measure, DT_SINGLELINE | DT_END_ELLIPSIS | DT_CALCRECT);
            text.Right = std::min(text.Right, measure.Right);
            if (enabled) {
                c.SetBrushStyle(TBrushStyle::bsSolid);
                c.SetBrushColor(color);
                DrawText(c, caption, text, DT_SINGLELINE | DT_END_ELLIPSIS);
            } else {
                c.SetBrushStyle(TBrushStyle::bsClear);
                const TColor was = c.Font().Color();
                TRect shifted{text.Left + 1, text.Top + 1, text.Right + 1, text.Bottom + 1};
                c.Font().SetColor(hi);
                DrawText(c, caption, shifted, DT_SINGLELINE | DT_END_ELLIPSIS);
                c.Font().SetColor(sh);
                DrawText(c, caption, text, DT_SINGLELINE | DT_END_ELLIPSIS);
                c.Font().SetColor(was);
            }
        }
        break;
    }
    case TMvFrameStyle::ptfsLowered: lowered(sh, dk, face, hi); break;
    case TMvFrameStyle::ptfsRaised: lowered(hi, face, sh, dk); break;
    case TMvFrameStyle::ptfsDint:
        Poly(c, sh, {{L, B - 1}, {L, T}, {R, T}});
        Poly(c, hi, {{L, B}, {R, B}, {R, T - 1}});
        break;
    case TMvFrameStyle::ptfsBump:
        Poly(c, hi, {{L, B - 1}, {L, T}, {R, T}});
        Poly(c, sh, {{L, B}, {R, B}, {R, T - 1}});
        break;
    case TMvFrameStyle::ptfsSingle:
        c.SetBrushStyle(TBrushStyle::bsSolid);
        c.SetBrushColor(clWindowFrame);
        c.FrameRect({L, T, R + 1, B + 1});
        break;
    case TMvFrameStyle::ptfsHorzLine:
        Poly(c, sh, {{L, T}, {R + 1, T}});
        Poly(c, hi, {{L, T + 1}, {R + 1, T + 1}});
        break;
    case TMvFrameStyle::ptfsHorzEdge:
        Poly(c, sh, {{L, T}, {R + 1, T}});
        Poly(c, sh, {{L, B - 1}, {R + 1, B - 1}});
        Poly(c, hi, {{L, T + 1}, {R + 1, T + 1}});
        Poly(c, hi, {{L, B}, {R + 1, B}});
        break;
    case TMvFrameStyle::ptfsVertLine:
        Poly(c, sh, {{L, T}, {L, B + 1}});
        Poly(c, hi, {{L + 1, T}, {L + 1, B + 1}});
        break;
    case TMvFrameStyle::ptfsVertEdge:
        Poly(c, sh, {{L, T}, {L, B + 1}});
        Poly(c, sh, {{R - 1, T}, {R - 1, B + 1}});
        Poly(c, hi, {{L + 1, T}, {L + 1, B + 1}});
        Poly(c, hi, {{R, T}, {R, B + 1}});
        break;
    }
}

TMvFrame::TMvFrame(TComponent* owner) : TGraphicControl(owner) { SetBounds(0, 0, 64, 48); }

void TMvFrame::Paint() {
    TCanvas& c = Canvas();
    c.Font().Assign(Font());
    const TRect r{0, 0, Width(), Height()};
    if (Color() != clNone && FDefaultDrawing) {
        c.SetBrushStyle(TBrushStyle::bsSolid);
        c.SetBrushColor(Color());
        c.FillRect(r);
    }
    DrawMvFrame(c, r, FFrameStyle, Caption(), Color(), Enabled());
    if (FFrameStyle == TMvFrameStyle::ptfsGroup) return;
    if (FDefaultDrawing) {
        TRect text{r.Left + FFrameSpace, r.Top, r.Right - FFrameSpace, r.Bottom};
        c.SetBrushStyle(TBrushStyle::bsClear);
        DrawText(c, Caption(), text, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | AlignFlag(FAlignment));
    }
    if (OnPaint) OnPaint(this, c);
}

TMvGroup::TMvGroup(TComponent* owner) : TCustomControl(owner) {
    SetVertScroll(0, 0, 0); // no scroll bar: paint the full width
    SetBounds(0, 0, 64, 48);
    FOrigin = {ClientRect().Left, ClientRect().Top};
}

TRect TMvGroup::ClientRect() {
    return FrameContentRect(FFrameStyle, {0, 0, Width(), Height()}, CaptionHeight(Font()), !Caption().empty());
}

void TMvGroup::PlaceChild(TControl* child, int x, int y, int width, int height) {
    const TRect cr = ClientRect();
    child->SetBounds(cr.Left + x, cr.Top + y, width, height);
}

void TMvGroup::FrameChanged() {
    const TRect cr = ClientRect();
    const int dx = cr.Left - FOrigin.X, dy = cr.Top - FOrigin.Y;
    FOrigin = {cr.Left, cr.Top};
    if (dx != 0 || dy != 0)
        for (int i = 0; i < ControlCount(); ++i) {
            TControl* child = Controls(i);
            child->SetBounds(child->Left() + dx, child->Top() + dy, child->Width(), child->Height());
        }
    Invalidate();
}

void TMvGroup::SetFrameStyle(TMvFrameStyle value) {
    if (value == FFrameStyle) return;
    FFrameStyle = value;
    FrameChanged();
}

void TMvGroup::SetGroupEnabled(bool value) {
    SetEnabled(value);
    for (int i = 0; i < ControlCount(); ++i) Controls(i)->SetEnabled(value);
    Invalidate();
}

void TMvGroup::FontChanged() {
    TCustomControl::FontChanged();
    FrameChanged();
}

void TMvGroup::SetText(const std::string& value) {
    TCustomControl::SetText(value);
    FrameChanged();
}

void TMvGroup::DrawFrame(TCanvas& canvas, const TRect& rect) {
    canvas.Font().Assign(Font());
    DrawMvFrame(canvas, rect, FFrameStyle, Caption(), Color(), Enabled());
}

void TMvGroup::Paint() {
    TCanvas& c = Canvas();
    const TRect whole{0, 0, Width(), Height()};
    if (FDefaultDrawing && Color() != clNone) {
        c.SetBrushStyle(TBrushStyle::bsSolid);
        c.SetBrushColor(Color());
        c.FillRect(whole);
    }
    DrawFrame(c, whole);
    const TRect cr = ClientRect();
    c.Font().Assign(Font());
    if (FDefaultDrawing && FFrameStyle != TMvFrameStyle::ptfsGroup) {
        TRect text{cr.Left + FFrameSpace, cr.Top, cr.Right - FFrameSpace, cr.Bottom};
        c.SetBrushStyle(TBrushStyle::bsClear);
        DrawText(c, Caption(), text, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | AlignFlag(FAlignment));
    }
    if (OnPaint) OnPaint(this, c);
}

} // namespace mv
