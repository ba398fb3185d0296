#pragma once
// Balloon hints: every hint of the application shown as a speech balloon whose tail
// points at the mouse. TBalloonHint, placed on the main form, holds the balloon's look,
// sets the hint timing, follows the mouse and makes TBalloonHintWindow the application's
// hint window class; the window looks its settings up at each hint.
#include "platform/ui/Component.h"
#include "platform/ui/Graphics.h"
#include "platform/ui/Labels.h"
#include "platform/ui/MouseWatch.h"
#include "platform/ui/WindowShape.h"

#include "controls/toolkit/hints/BalloonGeometry.h"

#include <string>
#include <vector>

namespace mv {

class TBalloonHint : public TComponent {
public:
    explicit TBalloonHint(TComponent* owner);
    ~TBalloonHint() override;

    TColor HintColor() const { return FHintColor; }
    void SetHintColor(TColor value) { FHintColor = value; }
    bool HintShadowOn() const { return FHintShadowOn; }
    void SetHintShadowOn(bool value) { FHintShadowOn = value; }
    int HintPauseTime() const { return FHintPauseTime; }
    // Also sets the application's hint pause.
    void SetHintPauseTime(int value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value) { FAlignment = value; }
    const TPen& Pen() const { return FPen; }
    void SetPen(const TPen& value) { FPen.Assign(value); }
    const TBrush& Brush() const { return FBrush; }
    void SetBrush(const TBrush& value) { FBrush.Assign(value); }
    TFont& Font() { return FFont; }
    const TFont& Font() const { return FFont; }
    void SetFont(const TFont& value) { FFont.Assign(value); }
    // The picture drawn left of the text; empty for none.
    TBitmap& Icon() { return FIcon; }
    const TBitmap& Icon() const { return FIcon; }
    void SetIcon(const TBitmap& value) { FIcon.Assign(value); }

    // The last mouse position the component saw (screen co-ordinates).
    TPoint MousePos() const { return FMouse; }
    // True for a component that follows the mouse (every one but the starting look).
    bool Watching() const { return FInstalled; }

    // The settings of the balloons now: the first TBalloonHint owned by the main form,
    // else one left at the values a new component starts with.
    static const TBalloonHint& Current();

private:
    struct TDefaults {};
    TBalloonHint(TComponent* owner, TDefaults); // the look alone: installs nothing
    void Watch(const TPoint& screen);

    TColor FHintColor = 65280;
    bool FHintShadowOn = true;
    int FHintPauseTime = 200;
    TAlignment FAlignment = TAlignment::taLeftJustify;
    TPen FPen;
    TBrush FBrush;
    TFont FFont;
    TBitmap FIcon;
    TPoint FMouse;
    TMouseWatchHandler FSavedHandler;
    bool FInstalled = false;
};

class TBalloonHintWindow : public THintWindow {
public:
    explicit TBalloonHintWindow(TComponent* owner);

    void ActivateHint(const TRect& rect, const std::string& hint) override;
    void Paint() override;

    // The shape of the balloon shown last.
    const TBalloonLayout& Layout() const { return FLayout; }
    const std::vector<TPoint>& Outline() const { return FLayout.Outline; }

private:
    TLineMeasure Measure();
    TBalloonLayout FLayout;
};

} // namespace mv
