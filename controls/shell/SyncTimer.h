#pragma once
// The delay timers of the shell controls (moving a linked list after keyboard travel,
// refreshing after a change notification): restartable one-shot timers with a tag that
// says what the pending tick does. They run on the program's timers, or on a manual
// clock that tests advance by hand, so that delays are checked without waiting.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace mv {

class TTimer;
class TMvSyncTimer;

// A clock advanced by hand: timers started while it is installed fall due on it.
class TMvManualClock {
public:
    TMvManualClock();
    ~TMvManualClock();
    TMvManualClock(const TMvManualClock&) = delete;
    TMvManualClock& operator=(const TMvManualClock&) = delete;
    int64_t Now() const { return FNow; }
    // Moves the time on, firing every timer that falls due on the way, in time order.
    void Advance(int64_t milliseconds);

private:
    friend class TMvSyncTimer;
    int64_t FNow = 0;
    std::vector<TMvSyncTimer*> FTimers;
};

class TMvSyncTimer {
public:
    TMvSyncTimer();
    ~TMvSyncTimer();
    TMvSyncTimer(const TMvSyncTimer&) = delete;
    TMvSyncTimer& operator=(const TMvSyncTimer&) = delete;

    // (Re)starts the timer: one tick after interval milliseconds.
    void Start(int interval, int tag);
    void Stop();
    bool Enabled() const { return FEnabled; }
    int Interval() const { return FInterval; }
    int Tag() const { return FTag; }
    void SetTag(int value) { FTag = value; }
    std::function<void()> OnTimer;

private:
    friend class TMvManualClock;
    void Fire();
    std::unique_ptr<TTimer> FTimer;
    TMvManualClock* FClock = nullptr;
    int64_t FDue = 0;
    bool FEnabled = false;
    int FInterval = 0;
    int FTag = 0;
};

} // namespace mv
