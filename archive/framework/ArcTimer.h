#pragma once
// The elapsed-time counter of an operation, paused while event handlers run.
// Ticks are milliseconds of a monotonic 64-bit clock, so it never wraps.
#include <cstdint>

namespace mv {

class TArcTimer {
public:
    // Elapsed := 0, start := now.
    void Start();
    // When started: elapsed := (now - start) seconds, start := 0.
    void Stop();
    // When started: remembers the moment of the pause.
    void Pause();
    // When started and paused: the start moves by the length of the pause.
    void Resume();
    // Seconds measured by the last Stop.
    float Elapsed() const { return FElapsed; }
    bool Started() const { return FStartTick != 0; }

private:
    uint64_t Now() const;
    uint64_t FStartTick = 0;
    uint64_t FStopTick = 0;
    uint64_t FPauseTick = 0;
    float FElapsed = 0;
};

} // namespace mv
