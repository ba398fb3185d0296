#include "controls/shell/SyncTimer.h"

#include "platform/ui/Timer.h"

#include <algorithm>

namespace mv {

namespace {
TMvManualClock*& InstalledClock() {
    static TMvManualClock* clock = nullptr;
    return clock;
}
} // namespace

TMvManualClock::TMvManualClock() {
    InstalledClock() = this;
}

TMvManualClock::~TMvManualClock() {
    for (TMvSyncTimer* timer : FTimers) timer->FClock = nullptr;
    if (InstalledClock() == this) InstalledClock() = nullptr;
}

void TMvManualClock::Advance(int64_t milliseconds) {
    const int64_t target = FNow + milliseconds;
    for (;;) {
        TMvSyncTimer* next = nullptr;
        for (TMvSyncTimer* timer : FTimers)
            if (timer->FEnabled && timer->FDue <= target && (!next || timer->FDue < next->FDue)) next = timer;
        if (!next) break;
        FNow = std::max(FNow, next->FDue);
        next->Fire();
    }
    FNow = target;
}

TMvSyncTimer::TMvSyncTimer() {
    if (TMvManualClock* clock = InstalledClock()) {
        FClock = clock;
        clock->FTimers.push_back(this);
        return;
    }
    FTimer = std::make_unique<TTimer>(nullptr);
    FTimer->SetEnabled(false);
    FTimer->OnTimer = [this](TComponent*) { Fire(); };
}

TMvSyncTimer::~TMvSyncTimer() {
    OnTimer = nullptr;
    if (FClock) {
        auto& timers = FClock->FTimers;
        timers.erase(std::remove(timers.begin(), timers.end(), this), timers.end());
    }
}

void TMvSyncTimer::Start(int interval, int tag) {
    FInterval = interval;
    FTag = tag;
    FEnabled = true;
    if (FClock) FDue = FClock->Now() + interval;
    if (FTimer) {
        FTimer->SetEnabled(false);
        FTimer->SetInterval(interval);
        FTimer->SetEnabled(true);
    }
}

void TMvSyncTimer::Stop() {
    FEnabled = false;
    if (FTimer) FTimer->SetEnabled(false);
}

void TMvSyncTimer::Fire() {
    // One shot: the owner's tick reads the tag and clears it.
    Stop();
    if (OnTimer) OnTimer();
}

} // namespace mv
