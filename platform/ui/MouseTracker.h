#pragma once
// Mouse tracking as a state machine: a press, moves, and a release or a cancel (Esc,
// or the capture taken away) are fed in one by one from the control's events; no
// nested message loop runs. A press takes the mouse capture and the end of the track
// gives it back, through OnCapture.
#include "platform/ui/Control.h"

#include <functional>

namespace mv {

enum class TTrackState { tsIdle, tsPressed, tsDragging };

class TMouseTracker {
public:
    // A move further than the threshold (in either direction) from the press starts
    // a drag.
    explicit TMouseTracker(int dragThreshold = 4) : FThreshold(dragThreshold) {}

    TTrackState State() const { return FState; }
    TPoint PressedAt() const { return FPressedAt; }
    TMouseButton Button() const { return FButton; }

    // A press while idle starts a track (true); any other press is ignored.
    bool Press(TMouseButton button, int x, int y);
    void Move(int x, int y);
    // Ends the track: a click when no drag started, else a drop.
    void Release(TMouseButton button, int x, int y);
    // Ends the track without a click or drop.
    void Cancel();

    std::function<void(bool take)> OnCapture;
    std::function<void(int x, int y)> OnDragStart;
    std::function<void(int x, int y)> OnDragMove;
    std::function<void(int x, int y)> OnDrop;
    std::function<void(int x, int y)> OnClick;
    std::function<void()> OnCancel;

private:
    void End();
    int FThreshold;
    TTrackState FState = TTrackState::tsIdle;
    TPoint FPressedAt;
    TMouseButton FButton = TMouseButton::mbLeft;
};

} // namespace mv
