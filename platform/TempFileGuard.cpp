#include "platform/TempFileGuard.h"

#include <atomic>
#include <csignal>
#include <cstring>
#include <mutex>
#include <unistd.h>

namespace mv::platform {

namespace {

constexpr int kSlots = 64;
constexpr size_t kPathBytes = 4096;

// A slot is free (0), being filled or emptied (1), or holds a path to remove (2).
struct Slot {
    std::atomic<int> state{0};
    char path[kPathBytes];
};

Slot slots[kSlots];
struct sigaction previousInt, previousTerm;
std::once_flag installed;

void RemoveRegistered() {
    for (auto& s : slots)
        if (s.state.load(std::memory_order_acquire) == 2) ::unlink(s.path);
}

void OnStopSignal(int sig, siginfo_t* info, void* context) {
    RemoveRegistered();
    const struct sigaction& before = sig == SIGINT ? previousInt : previousTerm;
    if ((before.sa_flags & SA_SIGINFO) && before.sa_sigaction) {
        before.sa_sigaction(sig, info, context);
        return;
    }
    if (before.sa_handler != SIG_DFL && before.sa_handler != SIG_IGN) {
        before.sa_handler(sig);
        return;
    }
    // The default action: end the process by this very signal.
    ::sigaction(sig, &before, nullptr);
    ::raise(sig);
}

void InstallOne(int sig, struct sigaction& previous) {
    struct sigaction now {};
    if (::sigaction(sig, nullptr, &previous) != 0) return;
    if (!(previous.sa_flags & SA_SIGINFO) && previous.sa_handler == SIG_IGN) return; // ignored stays ignored
    now.sa_sigaction = OnStopSignal;
    now.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&now.sa_mask);
    sigaddset(&now.sa_mask, SIGINT);
    sigaddset(&now.sa_mask, SIGTERM);
    ::sigaction(sig, &now, nullptr);
}

void Install() {
    InstallOne(SIGINT, previousInt);
    InstallOne(SIGTERM, previousTerm);
}

} // namespace

TempFileGuard& TempFileGuard::operator=(TempFileGuard&& other) noexcept {
    if (this != &other) {
        Release();
        slot = other.slot;
        other.slot = -1;
    }
    return *this;
}

void TempFileGuard::Set(const std::string& path) {
    Release();
    if (path.empty() || path.size() >= kPathBytes) return;
    std::call_once(installed, Install);
    for (int i = 0; i < kSlots; ++i) {
        int expected = 0;
        if (!slots[i].state.compare_exchange_strong(expected, 1, std::memory_order_acq_rel)) continue;
        std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
        slots[i].state.store(2, std::memory_order_release);
        slot = i;
        return;
    }
}

void TempFileGuard::Release() {
    if (slot < 0) return;
    slots[slot].state.store(0, std::memory_order_release);
    slot = -1;
}

int RegisteredTempFiles() {
    int n = 0;
    for (auto& s : slots)
        if (s.state.load(std::memory_order_acquire) == 2) ++n;
    return n;
}

} // namespace mv::platform
