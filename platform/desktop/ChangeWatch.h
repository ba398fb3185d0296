#pragma once
// Change notification for folders: one inotify instance holding any number of watches,
// the mount table, and a command event, waited on together by one worker thread. Watches are told apart
// by their watch descriptors; one read of the instance reports each changed watch once.
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace mv::desktop {

// What a watch reports (the change-notification filter bits).
constexpr uint32_t fncFileName = 0x1, fncDirName = 0x2, fncAttributes = 0x4, fncSize = 0x8, fncLastWrite = 0x10;

class TChangeWaitSet {
public:
    TChangeWaitSet();
    ~TChangeWaitSet();
    TChangeWaitSet(const TChangeWaitSet&) = delete;
    TChangeWaitSet& operator=(const TChangeWaitSet&) = delete;

    bool Valid() const { return FInotify >= 0 && FEvent >= 0; }
    // Watches a folder (not its subfolders); the watch descriptor, or -1. Watching the
    // same folder again gives the same descriptor, with the filters joined.
    int AddWatch(const std::string& path, uint32_t filter);
    // Watches the mount table (a volume mounted or unmounted): MountTableWatch, or -1.
    static constexpr int MountTableWatch = 0x7FFFFFFF;
    int AddMountWatch();
    void RemoveWatch(int watch);
    // Sets the command event; any thread.
    void SignalCommand();
    // Waits for the command event or changes. True when the command event was set (it is
    // cleared); changed gets each watch that saw a change its filter takes, once.
    bool Wait(std::vector<int>& changed);
    // The watches the kernel holds for this instance (from /proc), for checks.
    int KernelWatchCount() const;

private:
    int FInotify = -1;
    int FEvent = -1;
    int FMounts = -1; // the mount table, open while watched
    std::mutex FLock;
    std::map<int, uint32_t> FFilters;
};

} // namespace mv::desktop
