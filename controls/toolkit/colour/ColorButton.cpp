#include "controls/toolkit/colour/ColorButton.h"

#include "controls/toolkit/colour/ColorMan.h"
#include "controls/toolkit/colour/Gradient.h"
#include "platform/Sound.h"
#include "platform/ui/Drawing.h"
#include "platform/ui/Labels.h"
#include "platform/ui/Timer.h"

namespace mv {
namespace {

// One repeat timer for every button of the process, made with the first button and
// dropped with the last; it works for the button pressed last.
struct RepeatShared {
    std::unique_ptr<TTimer> Timer;
    TColorButton* Target = nullptr;
    int Buttons = 0;
};
RepeatShared& Repeat() {
    static RepeatShared shared;
    return shared;
}

// w one-pixel rings: top and left edges in `top`, bottom and right in `bottom`; the
// rectangle shrinks by w.
void Frame3D(TCanvas& c, TRect& r, TColor top, TColor bottom, int w) {
    c.SetPenWidth(1);
    for (int i = 0; i < w; ++i) {
        c.SetPenColor(top);
        c.Polyline({{r.Left, r.Bottom - 1}, {r.Left, r.Top}, {r.Right - 1, r.Top}});
        c.SetPenColor(bottom);
        c.Polyline({{r.Left, r.Bottom - 1}, {r.Right - 1, r.Bottom - 1}, {r.Right - 1, r.Top - 1}});
        r = {r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1};
    }
}

void Line(TCanvas& c, TColor color, std::vector<TPoint> points) {
    c.SetPenColor(color);
    c.Polyline(points);
}

void Fill(TCanvas& c, const TRect& r, TColor color) {
    c.SetBrushStyle(TBrushStyle::bsSolid);
    c.SetBrushColor(color);
    c.FillRect(r);
}

} // namespace

TColorButton::TColorButton(TComponent* owner) : TGraphicControl(owner), FGlyph(std::make_unique<TBitmap>()) {
    SetBounds(0, 0, 25, 25);
    ++Repeat().Buttons;
    FModel.OnRepaint = [this] { Invalidate(); };
    FModel.OnClick = [this] { TColorButton::Click(); };
    FModel.OnMouseOverSound = [this] {
        if (!FSoundMouseOver.empty() && SoundPlayer()) SoundPlayer()(FSoundMouseOver);
    };
    FModel.OnTellGroup = [this] {
        TWinControl* parent = Parent();
        if (!parent) return;
        for (int i = 0; i < parent->ControlCount(); ++i)
            if (auto* other = dynamic_cast<TColorButton*>(parent->Controls(i)))
                other->FModel.GroupPressed(FModel.GroupIndex(), FModel);
    };
    FModel.OnStartRepeat = [this](int interval) {
        RepeatShared& r = Repeat();
        if (!r.Timer) {
            r.Timer = std::make_unique<TTimer>(nullptr);
            r.Timer->SetEnabled(false);
            r.Timer->OnTimer = [](TComponent*) {
                if (TColorButton* target = Repeat().Target)
                    target->FModel.RepeatTick(GetCaptureControl() == target);
            };
        }
        r.Target = this;
        r.Timer->SetInterval(interval);
        r.Timer->SetEnabled(true);
    };
    FModel.OnStopRepeat = [this] {
        RepeatShared& r = Repeat();
        if (r.Timer && r.Target == this) r.Timer->SetEnabled(false);
    };
    if (auto* form = dynamic_cast<TControl*>(owner)) SetColor(form->Color());
    SetHandlesAccelerator(true);
}

TColorButton::~TColorButton() {
    // The shared timer must never tick for a button that is gone.
    RepeatShared& r = Repeat();
    if (r.Target == this) {
        if (r.Timer) r.Timer->SetEnabled(false);
        r.Target = nullptr;
    }
    if (--r.Buttons == 0) r.Timer.reset();
}

TColorButton* TColorButton::RepeatTarget() { return Repeat().Target; }
bool TColorButton::RepeatRunning() { return Repeat().Timer && Repeat().Timer->Enabled(); }

std::function<void(const std::string&)>& TColorButton::SoundPlayer() {
    static std::function<void(const std::string&)> player = [](const std::string& name) {
        PlayButtonSound(name);
    };
    return player;
}

void TColorButton::SetStyle(TClrButtonStyle value) { FStyle = value; Invalidate(); }
void TColorButton::SetOptions(TButtonOptions value) { FModel.SetOptions(value); Invalidate(); }
void TColorButton::SetLayout(TButtonLayout value) { FLayout = value; Invalidate(); }
void TColorButton::SetMargin(int value) {
    if (value < -1) return;
    FMargin = value;
    Invalidate();
}
void TColorButton::SetSpacing(int value) { FSpacing = value; Invalidate(); }
void TColorButton::SetEstaEmTab(bool value) { FEstaEmTab = value; Invalidate(); }
void TColorButton::SetNumGlyphs(int value) {
    FNumGlyphs = NormalizeNumGlyphs(value, FNumGlyphs);
    Invalidate();
}
void TColorButton::SetGlyph(const TBitmap& value) {
    FGlyph->Assign(value);
    FNumGlyphs = NumGlyphsForStrip(FGlyph->Width(), FGlyph->Height(), FNumGlyphs);
    Invalidate();
}

void TColorButton::Click() {
    if (!FSoundClick.empty() && SoundPlayer()) SoundPlayer()(FSoundClick);
    TGraphicControl::Click();
}

void TColorButton::LeftDoubleClick() {
    if (Down()) DblClick();
}

bool TColorButton::DialogChar(char key) {
    if (IsAccel(key, Caption()) && Enabled()) {
        Click();
        return true;
    }
    return TGraphicControl::DialogChar(key);
}

void TColorButton::SetText(const std::string& value) {
    TGraphicControl::SetText(value);
    Invalidate();
}

void TColorButton::FontChanged() {
    TGraphicControl::FontChanged();
    Invalidate();
}

void TColorButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TGraphicControl::MouseDown(button, shift, x, y);
    FModel.SyncEnabled(Enabled());
    if (button == TMouseButton::mbLeft && Enabled()) SetCaptureControl(this);
    FModel.MouseDown(button);
    if (FModel.State() == TClrButtonState::bsDown) Repaint();
}

void TColorButton::MouseMove(TShiftState shift, int x, int y) {
    TGraphicControl::MouseMove(shift, x, y);
    FModel.MouseMove(x, y, Width(), Height());
}

void TColorButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    TGraphicControl::MouseUp(button, shift, x, y);
    if (GetCaptureControl() == this) ReleaseCapture();
    FModel.MouseUp(button, x, y, Width(), Height());
}

TColor TColorButton::BaseColor() const { return ColorToRGB(Color()); }

void TColorButton::DrawFace(TCanvas& c, TRect& content, TColor C, bool hot, bool pressed) {
    const TRect client{0, 0, Width(), Height()};
    const int L = client.Left, T = client.Top, R = client.Right, B = client.Bottom;
    const TFaceColors f = FaceColors(C, pressed);
    auto Bn = [&](int n) { return Brighten(C, n); };
    auto Dn = [&](int n) { return Darken(C, n); };
    c.SetPenWidth(1);
    c.SetPenStyle(TPenStyle::psSolid);
    TRect r = client;
    TClrButtonStyle style = FStyle == TClrButtonStyle::bsOwnerDraw ? TClrButtonStyle::bsNew : FStyle;
    switch (style) {
    case TClrButtonStyle::bsNew:
        Fill(c, r, C);
        Frame3D(c, r, f.Lt, f.Dk, 1);
        Frame3D(c, r, f.Hi, f.Sh, 1);
        break;
    case TClrButtonStyle::bsWin31:
        c.SetPenColor(Dn(126));
        c.SetBrushStyle(TBrushStyle::bsSolid);
        c.SetBrushColor(C);
        c.Rectangle(r);
        for (TPoint p : {TPoint{L, T}, TPoint{L, B - 1}, TPoint{R - 1, T}, TPoint{R - 1, B - 1}}) c.SetPixel(p.X, p.Y, C);
        r = {L + 1, T + 1, R - 1, B - 1};
        if (!pressed) Frame3D(c, r, Bn(48), Dn(48), 2);
        else Line(c, Dn(48), {{r.Left, r.Bottom - 1}, {r.Left, r.Top}, {r.Right, r.Top}});
        break;
    case TClrButtonStyle::bsEllipse: {
        c.SetBrushStyle(TBrushStyle::bsSolid);
        c.SetBrushColor(C);
        c.SetPenColor(C);
        const TRect e{L + 2, T + 2, R - 2, B - 2};
        c.Ellipse(e);
        c.SetBrushStyle(TBrushStyle::bsClear);
        const TPoint a{4 * (R / 5), B / 5}, b{R / 5, 4 * (B / 5)};
        c.SetPenWidth(2);
        c.SetPenColor(f.Hi);
        c.Arc(e, a, b);
        c.SetPenColor(pressed ? f.Dk : f.Sh);
        c.Arc(e, b, a);
        c.SetPenWidth(1);
        c.SetPenColor(f.Lt);
        c.Arc(e, a, b);
        c.SetPenColor(pressed ? f.Sh : f.Dk);
        c.Arc(e, b, a);
        break;
    }
    case TClrButtonStyle::bsTab:
        Fill(c, r, C);
        Line(c, Bn(24), {{L, B - 2}, {L, T + 2}, {L + 2, T}, {R - 2, T}, {R, T + 2}});
        Line(c, Bn(64), {{L + 1, B - 3}, {L + 1, T + 3}, {L + 3, T + 1}, {R - 3, T + 1}, {R - 1, T + 3}});
        Line(c, Dn(48), {{R - 2, B - 4}, {R - 2, T + 4}});
        Line(c, Dn(128), {{R - 1, B - 3}, {R - 1, T + 3}});
        if (!pressed) Line(c, Bn(64), {{L, B - 2}, {R, B - 2}});
        break;
    case TClrButtonStyle::bsSideDownTab:
        Fill(c, r, C);
        Line(c, Bn(24), {{L, T + 2}, {L, B - 2}, {L + 2, B}});
        Line(c, Bn(64), {{L + 1, T + 3}, {L + 1, B - 3}, {L + 3, B - 1}});
        Line(c, Dn(48), {{L + 2, B - 4}, {L + 4, B - 2}, {R - 4, B - 2}, {R - 2, B - 4}, {R - 2, T + 3}});
        Line(c, Dn(128), {{L + 1, B - 3}, {L + 3, B - 1}, {R - 3, B - 1}, {R - 1, B - 3}, {R - 1, T + 2}});
        if (!pressed) Line(c, Dn(64), {{L, T + 2}, {R, T + 2}});
        break;
    case TClrButtonStyle::bsIE4:
        if (hot || pressed) {
            Frame3D(c, r, f.Hi, f.Dk, 1);
        }
        break;
    case TClrButtonStyle::bsGlass:
        Fill(c, r, clWhite);
        c.SetBrushStyle(TBrushStyle::bsClear);
        if (pressed) {
            c.SetPenColor(Dn(64));
            c.Rectangle({L + 1, T + 1, R - 1, B - 1});
            c.SetPenColor(C);
            c.Rectangle({L, T, R, B});
            Line(c, Dn(128), {{R - 2, T + 2}, {L + 2, T + 2}, {L + 2, B - 2}});
        } else {
            Line(c, Dn(128), {{L, B - 1}, {R - 1, B - 1}, {R - 1, T - 1}});
            c.SetPenColor(Dn(64));
            c.Rectangle({L, T, R - 1, B - 1});
            c.SetPenColor(C);
            c.Rectangle({L + 1, T + 1, R - 2, B - 2});
        }
        break;
    case TClrButtonStyle::bsFlat:
        Frame3D(c, r, f.Hi, f.Sh, 1);
        Fill(c, r, C);
        break;
    case TClrButtonStyle::bsMicroposeGame: {
        c.SetBrushStyle(TBrushStyle::bsSolid);
        c.SetBrushColor(C);
        c.SetPenStyle(TPenStyle::psClear);
        c.RoundRect({L + 1, T + 1, R - 2, B - 2}, 3, 3);
        c.SetPenStyle(TPenStyle::psSolid);
        const int L1 = L + 1, T1 = T + 1, B1 = B - 2;
        const std::vector<TPoint> pts = {{R - 2, T1 + 3}, {R - 5, T1},     {L1 + 3, T1}, {L1, T1 + 3}, {L1, B1 - 3},
                                         {L1 + 3, B1},    {R - 5, B1},     {R - 2, B1 - 3}, {R - 2, T1 + 3}};
        const TColor up[8] = {Dn(24), Bn(48), Bn(64), Bn(48), Dn(24), Dn(48), Dn(64), Dn(48)};
        const TColor down[8] = {Bn(24), Dn(48), Dn(64), Dn(48), Bn(24), Bn(48), Bn(64), Bn(48)};
        c.SetPenWidth(2);
        for (int i = 0; i < 8; ++i) Line(c, pressed ? down[i] : up[i], {pts[i], pts[i + 1]});
        c.SetPenWidth(1);
        break;
    }
    case TClrButtonStyle::bsGradient: {
        r = {L, T, R - 1, B - 1};
        if (!pressed) Frame3D(c, r, Bn(24), Dn(96), 1);
        else Frame3D(c, r, Dn(96), Bn(24), 1);
        r = {r.Left, r.Top, r.Right - 1, r.Bottom - 1};
        c.SetBrushStyle(TBrushStyle::bsSolid);
        if (!pressed) Gradient(c, r, {Bn(24), C, Dn(24), Dn(48)}, 3, 0, 2);
        else Gradient(c, r, {C, Dn(24), Dn(64)}, 2, 0, 2);
        break;
    }
    case TClrButtonStyle::bsOwnerDraw: break;
    }
    content = ContentRect(style, client, pressed);
}

void TColorButton::Paint() {
    TCanvas& c = Canvas();
    c.Font().Assign(Font());
    FModel.SyncEnabled(Enabled());
    const TColor C = BaseColor();
    const bool pressed = FModel.Pressed();
    const bool hot = FModel.MouseInControl();
    const TClrButtonState state = FModel.State();
    TRect content;
    if (FStyle == TClrButtonStyle::bsOwnerDraw && OnOwnerDraw) {
        content = {0, 0, Width(), Height()};
        OnOwnerDraw(this, c, content);
    } else {
        DrawFace(c, content, C, hot, pressed);
    }
    const TButtonOptions options = FModel.Options();
    if (state == TClrButtonState::bsExclusive && FStyle != TClrButtonStyle::bsOwnerDraw && (options & boDitherPattern)) {
        TBitmap pattern;
        pattern.SetSize(8, 8);
        const TColor light = Brighten(C, 128);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) pattern.SetPixel(x, y, (x % 2) == (y % 2) ? light : C);
        c.SetBrushBitmap(&pattern);
        const TRect was = content;
        if (FStyle == TClrButtonStyle::bsEllipse) {
            c.SetPenStyle(TPenStyle::psClear);
            c.Ellipse({was.Left + 1, was.Top + 1, was.Right - 2, was.Bottom - 2});
            c.SetPenStyle(TPenStyle::psSolid);
        } else {
            c.FillRect({content.Left, content.Top, content.Right - 1, content.Bottom - 1});
        }
        content = {content.Left, content.Top, content.Right - 1, content.Bottom - 1};
        c.SetBrushBitmap(nullptr);
    }
    if (FEstaEmTab || (hot && Enabled() && state != TClrButtonState::bsDown && FStyle != TClrButtonStyle::bsIE4)) {
        c.SetBrushStyle(TBrushStyle::bsSolid);
        c.SetBrushColor(state == TClrButtonState::bsUp || state == TClrButtonState::bsExclusive ? Brighten(C, 24) : C);
        c.SetPenStyle(TPenStyle::psClear);
        if (FStyle == TClrButtonStyle::bsEllipse)
            c.Ellipse({content.Left + 1, content.Top + 1, content.Right - 1, content.Bottom - 1});
        else
            c.FillRect(content);
        c.SetPenStyle(TPenStyle::psSolid);
    }
    // Glyph and caption.
    const std::string caption = Caption();
    int glyphW = 0, glyphH = 0;
    if (!FGlyph->Empty()) {
        glyphW = FGlyph->Width() / FNumGlyphs;
        glyphH = FGlyph->Height();
    }
    int textW = 0, textH = 0;
    if (!caption.empty()) {
        TRect measure{0, 0, content.Width(), 0};
        DrawText(c, caption, measure, DT_CALCRECT | DT_SINGLELINE);
        textW = std::min(measure.Width(), content.Width());
        textH = measure.Height();
    }
    const TButtonLayoutResult lay =
        CalcButtonLayout(content, glyphW, glyphH, textW, textH, FLayout, FMargin, FSpacing);
    if (glyphW > 0) {
        int index = static_cast<int>(state);
        if (state == TClrButtonState::bsDown && FNumGlyphs < 3) index = 0;
        if (index >= FNumGlyphs) index = 0;
        const TColor key = FGlyph->Transparent() ? FGlyph->TransparentColor() : static_cast<TColor>(0x808000);
        const int gx = lay.GlyphPos.X, gy = lay.GlyphPos.Y;
        if (state == TClrButtonState::bsDisabled && FNumGlyphs == 1) {
            // The up image reduced to its shape, stamped embossed in the button's colours.
            for (const auto& [dx, colour] : {std::pair{1, Brighten(C, 96)}, std::pair{0, Darken(C, 48)}})
                for (int y = 0; y < glyphH; ++y)
                    for (int x = 0; x < glyphW; ++x)
                        if (FGlyph->Pixel(x, y) != ColorToRGB(key)) c.SetPixel(gx + x + dx, gy + y + dx, colour);
        } else if (state == TClrButtonState::bsDisabled) {
            // The second image with white, grey and see-through recoloured from the base colour.
            for (int y = 0; y < glyphH; ++y)
                for (int x = 0; x < glyphW; ++x) {
                    TColor p = FGlyph->Pixel(glyphW + x, y);
                    if (p == ColorToRGB(key)) continue;
                    if (p == clWhite) p = Brighten(C, 96);
                    else if (p == clGray) p = Darken(C, 48);
                    c.SetPixel(gx + x, gy + y, p);
                }
        } else {
            c.BrushCopy(Bounds(gx, gy, glyphW, glyphH), *FGlyph, Bounds(index * glyphW, 0, glyphW, glyphH), key);
        }
    }
    if (!caption.empty()) {
        c.SetBrushStyle(TBrushStyle::bsClear);
        TRect tr = lay.TextRect;
        if (state == TClrButtonState::bsDisabled) {
            TRect shifted{tr.Left + 1, tr.Top + 1, tr.Right + 1, tr.Bottom + 1};
            c.Font().SetColor(Brighten(C, 96));
            DrawText(c, caption, shifted, DT_LEFT);
            c.Font().SetColor(Darken(C, 96));
            DrawText(c, caption, tr, DT_LEFT);
        } else {
            if (options & boAutoBlackWhiteText) c.Font().SetColor(IsLightColor(C) ? clBlack : clWhite);
            DrawText(c, caption, tr, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        }
    }
}

} // namespace mv
