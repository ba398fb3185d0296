#include "controls/toolkit/hints/BalloonHint.h"

#include "platform/ui/Form.h"

namespace mv {

namespace {

void SetLook(TPen& pen, TBrush& brush) {
    pen.Color = 0xFFFFFF;
    brush.Color = 65280;
}

} // namespace

TBalloonHint::TBalloonHint(TComponent* owner, TDefaults) : TComponent(owner) {
    SetLook(FPen, FBrush);
}

TBalloonHint::TBalloonHint(TComponent* owner) : TBalloonHint(owner, TDefaults{}) {
    THintSettings& hints = ApplicationHints();
    hints.HintPause = 200;
    hints.HintHidePause = 5000;
    FSavedHandler = SetMouseWatchHandler([this](const TPoint& p) { Watch(p); });
    FInstalled = true;
    // Hints off while the class changes, so that the next hint gets a new window.
    const bool showHint = hints.ShowHint;
    hints.ShowHint = false;
    SetHintWindowClass([] { return std::make_unique<TBalloonHintWindow>(nullptr); });
    hints.ShowHint = showHint;
}

TBalloonHint::~TBalloonHint() {
    BeginDestruction();
    // The watch gets back the handler it had; the hint window class stays.
    if (FInstalled) SetMouseWatchHandler(std::move(FSavedHandler));
}

void TBalloonHint::Watch(const TPoint& screen) {
    FMouse = screen;
    if (FSavedHandler) FSavedHandler(screen);
}

void TBalloonHint::SetHintPauseTime(int value) {
    if (value == FHintPauseTime) return;
    FHintPauseTime = value;
    ApplicationHints().HintPause = value;
}

const TBalloonHint& TBalloonHint::Current() {
    if (Application && Application->MainForm()) {
        const TForm* form = Application->MainForm();
        for (int i = 0; i < form->ComponentCount(); ++i)
            if (auto* hint = dynamic_cast<const TBalloonHint*>(form->Components(i))) return *hint;
    }
    // A hint shown after the component has gone, or without one: the starting look.
    static const TBalloonHint* defaults = new TBalloonHint(nullptr, TDefaults{});
    return *defaults;
}

TBalloonHintWindow::TBalloonHintWindow(TComponent* owner) : THintWindow(owner) {
    SetBorder(false);
}

TLineMeasure TBalloonHintWindow::Measure() {
    return [this](const std::string& line) {
        return TPoint{Canvas().TextWidth(line), Canvas().TextHeight(line)};
    };
}

void TBalloonHintWindow::ActivateHint(const TRect& rect, const std::string& hint) {
    const TBalloonHint& settings = TBalloonHint::Current();
    SetCaption(hint);
    Canvas().Font().Assign(settings.Font());
    TBalloonInput in;
    in.HintRect = rect;
    in.Text = MeasureHintText(hint, Measure());
    if (!settings.Icon().Empty()) {
        in.IconWidth = settings.Icon().Width();
        in.IconHeight = settings.Icon().Height();
    }
    in.Mouse = settings.Watching() ? settings.MousePos() : LastMousePosition();
    in.ScreenWidth = ScreenWidth();
    in.ShadowOn = settings.HintShadowOn();
    FLayout = LayoutBalloon(in);
    SetBounds(FLayout.Bounds.Left, FLayout.Bounds.Top, FLayout.Bounds.Width(), FLayout.Bounds.Height());
    SetWindowRgn(&FLayout.Region);
    ShowNoActivate();
}

void TBalloonHintWindow::Paint() {
    const TBalloonHint& settings = TBalloonHint::Current();
    TCanvas& c = Canvas();
    c.SetPenColor(settings.Pen().Color);
    c.SetPenWidth(settings.Pen().Width);
    c.SetPenStyle(settings.Pen().Style);
    // What the region holds outside the outline (the shadow) stays black.
    c.SetBrushStyle(TBrushStyle::bsSolid);
    c.SetBrushColor(clBlack);
    c.FillRect(Rect(0, 0, Width(), Height()));
    c.SetBrushStyle(settings.Brush().Style);
    c.SetBrushColor(settings.HintColor());
    if (!FLayout.Outline.empty()) c.Polygon(FLayout.Outline);
    c.SetBrushStyle(TBrushStyle::bsClear);
    c.Font().Assign(settings.Font());
    TRect text = FLayout.TextRect;
    const TBitmap& icon = settings.Icon();
    if (!icon.Empty()) {
        const int iw = icon.Width();
        const int x = (text.Width() - ((3 * iw) / 2 + FLayout.TextWidth)) / 2 + (3 * iw) / 8;
        const int y = text.Top + (text.Height() - FLayout.TextHeight) / 2;
        c.Draw(x, y, icon);
        text.Left += (3 * iw) / 2;
    }
    const int alignment = settings.Alignment() == TAlignment::taRightJustify ? 1
                          : settings.Alignment() == TAlignment::taCenter     ? 2
                                                                             : 0;
    for (const TPlacedLine& line :
         PlaceHintLines(Caption(), text, alignment, {FLayout.TextWidth, FLayout.TextHeight}, Measure()))
        c.TextOut(line.At.X, line.At.Y, line.Text);
    c.SetBrushStyle(TBrushStyle::bsSolid);
}

} // namespace mv
