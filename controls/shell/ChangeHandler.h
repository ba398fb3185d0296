#pragma once
// The worker thread that watches folders for a shell tree or list: up to 63 watches
// (slots), each change posted to the owner as one message carrying its slot. The owner
// drives it with three commands (add, remove all, quit), each acknowledged by number.
#include "platform/desktop/ChangeWatch.h"

#include <array>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace mv {

class TControl;

constexpr uint32_t WMShellChangeNotify = 1125;

class TChangeHandlerThread {
public:
    static constexpr int SlotCount = 63;
    // Posts (message, slot, 0) to a control; no control: nothing is posted.
    TChangeHandlerThread(TControl* target, uint32_t message);
    // Hands every change to a function on the worker thread (which must only post).
    using TPoster = std::function<void(uint32_t message, intptr_t slot)>;
    TChangeHandlerThread(TPoster poster, uint32_t message);
    ~TChangeHandlerThread();
    TChangeHandlerThread(const TChangeHandlerThread&) = delete;
    TChangeHandlerThread& operator=(const TChangeHandlerThread&) = delete;

    // Watches a folder (subtree is not watched below the folder itself: the controls watch
    // the folders they show). False for an empty path, a folder that cannot be watched, a
    // full table, or a worker that does not answer within 2 seconds.
    bool AddWatch(const std::string& path, uint32_t filter, int& slot, bool watchSubtree);
    // Watches the mount table, for views of Computer: a slot that changes when a volume
    // is mounted or unmounted.
    bool AddMountWatch(int& slot);
    void RemoveAllWatches();
    // The watches the kernel holds for this worker, for checks.
    int KernelWatchCount() const { return FWaits.KernelWatchCount(); }

private:
    enum : uint8_t { cmdAdd = 0, cmdRemoveAll = 2, cmdQuit = 3 };
    void Start();
    bool Command(uint8_t code);
    void Execute();
    void Post(int slot);
    bool HandOver(int watch, int& slot);

    desktop::TChangeWaitSet FWaits;
    TPoster FPoster;
    uint32_t FMessage;
    std::mutex FLock;
    std::condition_variable FAcknowledged;
    uint64_t FCommandNumber = 0; // of the command handed over last
    uint64_t FAckNumber = 0;     // of the command the worker finished last
    uint8_t FCode = cmdAdd;
    int FPending = -1;           // the watch an add hands over
    int FAddResult = -1;
    std::array<int, SlotCount> FSlots;
    std::thread FWorker;
};

} // namespace mv
