#include "controls/toolkit/small/AnimatedStrip.h"

namespace mv {

TAnimatedStrip::TAnimatedStrip(TComponent* owner) : TGraphicControl(owner) {
    SetBounds(0, 0, 30, 30);
}

TAnimatedStrip::~TAnimatedStrip() {
    FreeTimer();
}

void TAnimatedStrip::SetBitMap(const TBitmap& value) {
    FBitMap.Assign(value);
    SetHeight(FBitMap.Height() == 0 ? 30 : FBitMap.Height());
    Invalidate();
}

void TAnimatedStrip::SetFrameCount(int value) {
    // At least one frame: the frame arithmetic divides by the count.
    FFrameCount = value < 1 ? 1 : value;
    if (FFrame >= FFrameCount) SetFrame(FFrame);
}

void TAnimatedStrip::SetFrame(int value) {
    const int frame = value < 0 ? FFrameCount - 1 : value % FFrameCount;
    if (frame == FFrame) return;
    FFrame = frame;
    DoChangeFrame();
    Invalidate();
}

void TAnimatedStrip::DoChangeFrame() {
    if (OnChangeFrame) OnChangeFrame(this);
}

void TAnimatedStrip::FreeTimer() {
    FTimer.reset();
}

void TAnimatedStrip::CreateTimer() {
    FreeTimer();
    FTimer = std::make_unique<TTimer>(nullptr);
    FTimer->SetInterval(FInterval);
    FTimer->OnTimer = [this](TComponent*) { TimerTick(); };
}

void TAnimatedStrip::SetInterval(int value) {
    if (value == FInterval) return;
    FreeTimer();
    FInterval = value;
    if (FPlay && value > 0) CreateTimer();
}

void TAnimatedStrip::SetPlay(bool value) {
    if (value == FPlay) return;
    FPlay = value;
    if (value) {
        if (FInterval > 0) CreateTimer();
    } else {
        FreeTimer();
    }
}

void TAnimatedStrip::SetTransparentColor(TColor value) {
    if (value == FTransparentColor) return;
    FTransparentColor = value;
    Invalidate();
}

void TAnimatedStrip::TimerTick() {
    bool cycleEnded;
    if (!FReverse) {
        SetFrame(FFrame + 1);
        cycleEnded = FFrame == FFrameCount - 1;
    } else {
        SetFrame(FFrame - 1);
        cycleEnded = FFrame == 0;
    }
    if (cycleEnded && !FLoop) SetPlay(false);
}

void TAnimatedStrip::Paint() {
    TCanvas& canvas = Canvas();
    const TRect dest = Rect(0, 0, Width(), Height());
    if (FBitMap.Height() == 0) {
        canvas.SetBrushStyle(TBrushStyle::bsSolid);
        canvas.SetBrushColor(clWhite);
        canvas.FillRect(dest);
        return;
    }
    const TRect source = Bounds(Width() * FFrame, 0, Width(), FBitMap.Height());
    if (FTransparentColor == -1) {
        canvas.CopyRect(dest, FBitMap, source);
    } else {
        canvas.SetBrushColor(Color());
        canvas.BrushCopy(dest, FBitMap, source, FTransparentColor);
    }
}

} // namespace mv
