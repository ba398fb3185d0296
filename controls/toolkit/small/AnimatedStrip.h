#pragma once
// An animation whose frames lie side by side in one bitmap strip: every frame is as
// wide as the control and as high as the strip; a timer steps through them.
#include "platform/ui/Control.h"
#include "platform/ui/Graphics.h"
#include "platform/ui/Timer.h"

#include <memory>

namespace mv {

class TAnimatedStrip : public TGraphicControl {
public:
    explicit TAnimatedStrip(TComponent* owner);
    ~TAnimatedStrip() override;

    TBitmap& BitMap() { return FBitMap; }
    // Copies the strip; the control becomes as high as the strip (30 when it is empty).
    void SetBitMap(const TBitmap& value);
    int FrameCount() const { return FFrameCount; }
    void SetFrameCount(int value);
    int Frame() const { return FFrame; }
    // A negative frame selects the last one; any other is taken modulo FrameCount.
    void SetFrame(int value);
    int Interval() const { return FInterval; }
    void SetInterval(int value);
    bool Loop() const { return FLoop; }
    void SetLoop(bool value) { FLoop = value; }
    bool Reverse() const { return FReverse; }
    void SetReverse(bool value) { FReverse = value; }
    bool Play() const { return FPlay; }
    void SetPlay(bool value);
    TColor TransparentColor() const { return FTransparentColor; }
    void SetTransparentColor(TColor value);
    // The timer that steps the frames; exists only while playing with an interval.
    TTimer* Timer() const { return FTimer.get(); }

    TNotifyEvent OnChangeFrame;

    // One timer step (public so that tests can step without waiting).
    void TimerTick();
    void Paint() override;

protected:
    virtual void DoChangeFrame();

private:
    void FreeTimer();
    void CreateTimer();

    TBitmap FBitMap;
    int FFrameCount = 1;
    int FFrame = 0;
    std::unique_ptr<TTimer> FTimer;
    int FInterval = 0;
    bool FLoop = true;
    bool FReverse = false;
    bool FPlay = false;
    TColor FTransparentColor = -1;
};

} // namespace mv
