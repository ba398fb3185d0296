#pragma once
// Temporary files that must not outlive a run stopped by SIGINT or SIGTERM.
//
// A file is registered while it exists under its temporary name (the new
// archive written beside the old one, a member being extracted beside its
// target). When one of the two signals arrives, its handler removes every
// registered file (unlink is safe in a signal handler), puts back the action
// that was there before and raises the signal again, so the process ends as
// the signal asks (or the program's own handler runs).
//
// The registry is a fixed table: registering takes no system call and no lock
// that a signal could interrupt halfway. A path too long for a slot, or a
// table already full, is simply not registered.
#include <string>

namespace mv::platform {

// Registers a path while it lives (or until Release). Movable, not copyable.
class TempFileGuard {
public:
    TempFileGuard() = default;
    explicit TempFileGuard(const std::string& path) { Set(path); }
    ~TempFileGuard() { Release(); }
    TempFileGuard(TempFileGuard&& other) noexcept : slot(other.slot) { other.slot = -1; }
    TempFileGuard& operator=(TempFileGuard&& other) noexcept;
    TempFileGuard(const TempFileGuard&) = delete;
    TempFileGuard& operator=(const TempFileGuard&) = delete;

    // Registers path in place of what was registered before.
    void Set(const std::string& path);
    // The file is gone or has its final name: no longer removed on a signal.
    void Release();
    bool Registered() const { return slot >= 0; }

private:
    int slot = -1;
};

// The number of paths registered now (for tests).
int RegisteredTempFiles();

} // namespace mv::platform
