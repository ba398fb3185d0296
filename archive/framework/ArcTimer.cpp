#include "archive/framework/ArcTimer.h"

#include "platform/LocalTime.h"

namespace mv {

// A tick of 0 means "not started", so the clock is shifted by one.
uint64_t TArcTimer::Now() const {
    return platform::TickCountMs() + 1;
}

void TArcTimer::Start() {
    FElapsed = 0;
    FStartTick = Now();
    FPauseTick = 0;
}

void TArcTimer::Stop() {
    if (!FStartTick) return;
    FStopTick = Now();
    FElapsed = static_cast<float>(static_cast<double>(FStopTick - FStartTick) * 0.001);
    FStartTick = 0;
    FPauseTick = 0;
}

void TArcTimer::Pause() {
    if (FStartTick) FPauseTick = Now();
}

void TArcTimer::Resume() {
    if (!FStartTick || !FPauseTick) return;
    FStartTick += Now() - FPauseTick;
    FPauseTick = 0;
}

} // namespace mv
