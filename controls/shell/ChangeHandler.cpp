#include "controls/shell/ChangeHandler.h"

#include "platform/ui/Control.h"

#include <chrono>
#include <vector>

namespace mv {

TChangeHandlerThread::TChangeHandlerThread(TControl* target, uint32_t message) : FMessage(message) {
    if (target)
        FPoster = [target](uint32_t msg, intptr_t slot) { PostMessage(target, msg, slot, 0); };
    Start();
}

TChangeHandlerThread::TChangeHandlerThread(TPoster poster, uint32_t message)
    : FPoster(std::move(poster)), FMessage(message) {
    Start();
}

void TChangeHandlerThread::Start() {
    FSlots.fill(-1);
    if (FWaits.Valid()) FWorker = std::thread([this] { Execute(); });
}

TChangeHandlerThread::~TChangeHandlerThread() {
    if (FWorker.joinable()) {
        {
            std::lock_guard<std::mutex> g(FLock);
            FCode = cmdQuit;
            ++FCommandNumber;
        }
        FWaits.SignalCommand();
        // The worker only ever blocks in its wait, which the command event ends: always
        // join, never free what it may still use.
        FWorker.join();
    }
    // The wait set's instance closes with every watch still held.
}

bool TChangeHandlerThread::Command(uint8_t code) {
    uint64_t number;
    {
        std::lock_guard<std::mutex> g(FLock);
        FCode = code;
        number = ++FCommandNumber;
    }
    FWaits.SignalCommand();
    std::unique_lock<std::mutex> lock(FLock);
    // Only this command's own acknowledgement counts, never a late one of an earlier.
    return FAcknowledged.wait_for(lock, std::chrono::milliseconds(2000), [&] { return FAckNumber >= number; });
}

bool TChangeHandlerThread::AddWatch(const std::string& path, uint32_t filter, int& slot, bool) {
    if (path.empty() || !FWorker.joinable()) return false;
    return HandOver(FWaits.AddWatch(path, filter), slot);
}

bool TChangeHandlerThread::AddMountWatch(int& slot) {
    if (!FWorker.joinable()) return false;
    return HandOver(FWaits.AddMountWatch(), slot);
}

// Gives a watch to the worker, which puts it in a free slot.
bool TChangeHandlerThread::HandOver(int watch, int& slot) {
    if (watch < 0) return false;
    {
        std::lock_guard<std::mutex> g(FLock);
        FPending = watch;
    }
    if (!Command(cmdAdd)) return false;
    std::lock_guard<std::mutex> g(FLock);
    if (FAddResult < 0) return false;
    slot = FAddResult;
    return true;
}

void TChangeHandlerThread::RemoveAllWatches() {
    if (FWorker.joinable()) Command(cmdRemoveAll);
}

void TChangeHandlerThread::Post(int slot) {
    if (FPoster) FPoster(FMessage, slot);
}

void TChangeHandlerThread::Execute() {
    std::vector<int> changed;
    auto heldElsewhere = [&](int watch, int except) {
        for (int s = 0; s < SlotCount; ++s)
            if (s != except && FSlots[static_cast<size_t>(s)] == watch) return true;
        return false;
    };
    for (;;) {
        bool command = FWaits.Wait(changed);
        // One message per changed slot and read, in slot order.
        for (int s = 0; s < SlotCount; ++s) {
            int watch = FSlots[static_cast<size_t>(s)];
            if (watch < 0) continue;
            for (int c : changed)
                if (c == watch) {
                    Post(s);
                    break;
                }
        }
        if (!command) continue;
        uint8_t code;
        uint64_t number;
        {
            std::lock_guard<std::mutex> g(FLock);
            code = FCode;
            number = FCommandNumber;
        }
        if (code == cmdQuit) return;
        if (code == cmdAdd) {
            std::lock_guard<std::mutex> g(FLock);
            FAddResult = -1;
            if (FPending >= 0) {
                for (int s = 0; s < SlotCount; ++s)
                    if (FSlots[static_cast<size_t>(s)] < 0) {
                        FSlots[static_cast<size_t>(s)] = FPending;
                        FAddResult = s;
                        break;
                    }
                // A full table ends the handed watch at once rather than leave it held.
                if (FAddResult < 0 && !heldElsewhere(FPending, -1)) FWaits.RemoveWatch(FPending);
                FPending = -1;
            }
        } else if (code == cmdRemoveAll) {
            for (int s = 0; s < SlotCount; ++s) {
                int watch = FSlots[static_cast<size_t>(s)];
                if (watch < 0) continue;
                FSlots[static_cast<size_t>(s)] = -1;
                if (!heldElsewhere(watch, s)) FWaits.RemoveWatch(watch);
            }
        }
        {
            std::lock_guard<std::mutex> g(FLock);
            FAckNumber = number;
        }
        FAcknowledged.notify_all();
    }
}

} // namespace mv
