#include "platform/ui/MouseTracker.h"

#include <cstdlib>

namespace mv {

bool TMouseTracker::Press(TMouseButton button, int x, int y) {
    if (FState != TTrackState::tsIdle) return false;
    FState = TTrackState::tsPressed;
    FButton = button;
    FPressedAt = {x, y};
    if (OnCapture) OnCapture(true);
    return true;
}

void TMouseTracker::Move(int x, int y) {
    if (FState == TTrackState::tsPressed) {
        if (std::abs(x - FPressedAt.X) <= FThreshold && std::abs(y - FPressedAt.Y) <= FThreshold) return;
        FState = TTrackState::tsDragging;
        if (OnDragStart) OnDragStart(FPressedAt.X, FPressedAt.Y);
    }
    if (FState == TTrackState::tsDragging && OnDragMove) OnDragMove(x, y);
}

void TMouseTracker::Release(TMouseButton button, int x, int y) {
    if (FState == TTrackState::tsIdle || button != FButton) return;
    const TTrackState was = FState;
    End();
    if (was == TTrackState::tsDragging) {
        if (OnDrop) OnDrop(x, y);
    } else if (OnClick)
        OnClick(x, y);
}

void TMouseTracker::Cancel() {
    if (FState == TTrackState::tsIdle) return;
    End();
    if (OnCancel) OnCancel();
}

void TMouseTracker::End() {
    FState = TTrackState::tsIdle;
    if (OnCapture) OnCapture(false);
}

} // namespace mv
