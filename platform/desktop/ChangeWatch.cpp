#include "platform/desktop/ChangeWatch.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace mv::desktop {

namespace {
uint32_t InotifyMask(uint32_t filter) {
    uint32_t m = IN_DELETE_SELF | IN_MOVE_SELF;
    if (filter & (fncFileName | fncDirName)) m |= IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
    if (filter & fncAttributes) m |= IN_ATTRIB;
    if (filter & (fncSize | fncLastWrite)) m |= IN_MODIFY | IN_CLOSE_WRITE;
    return m;
}

bool Takes(uint32_t filter, uint32_t mask) {
    if (mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT)) return true;
    if (mask & (IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO))
        return (mask & IN_ISDIR) ? (filter & fncDirName) != 0 : (filter & fncFileName) != 0;
    if (mask & IN_ATTRIB) return (filter & fncAttributes) != 0;
    if (mask & (IN_MODIFY | IN_CLOSE_WRITE)) return (filter & (fncSize | fncLastWrite)) != 0;
    return false;
}
} // namespace

TChangeWaitSet::TChangeWaitSet() {
    FInotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    FEvent = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

TChangeWaitSet::~TChangeWaitSet() {
    if (FInotify >= 0) ::close(FInotify); // ends every watch
    if (FEvent >= 0) ::close(FEvent);
    if (FMounts >= 0) ::close(FMounts);
}

int TChangeWaitSet::AddWatch(const std::string& path, uint32_t filter) {
    if (!Valid() || path.empty()) return -1;
    int wd = ::inotify_add_watch(FInotify, path.c_str(), InotifyMask(filter) | IN_MASK_ADD | IN_ONLYDIR);
    if (wd < 0) return -1;
    std::lock_guard<std::mutex> g(FLock);
    FFilters[wd] |= filter;
    return wd;
}

int TChangeWaitSet::AddMountWatch() {
    if (!Valid()) return -1;
    std::lock_guard<std::mutex> g(FLock);
    // The kernel marks the open table with POLLPRI once the mounts differ from what
    // it was last polled (or opened) with.
    if (FMounts < 0) FMounts = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    return FMounts >= 0 ? MountTableWatch : -1;
}

void TChangeWaitSet::RemoveWatch(int watch) {
    if (watch == MountTableWatch) {
        std::lock_guard<std::mutex> g(FLock);
        if (FMounts >= 0) ::close(FMounts);
        FMounts = -1;
        return;
    }
    if (watch < 0 || FInotify < 0) return;
    ::inotify_rm_watch(FInotify, watch);
    std::lock_guard<std::mutex> g(FLock);
    FFilters.erase(watch);
}

void TChangeWaitSet::SignalCommand() {
    if (FEvent < 0) return;
    uint64_t one = 1;
    while (::write(FEvent, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

bool TChangeWaitSet::Wait(std::vector<int>& changed) {
    changed.clear();
    int mounts;
    {
        std::lock_guard<std::mutex> g(FLock);
        mounts = FMounts;
    }
    pollfd fds[3] = {{FEvent, POLLIN, 0}, {FInotify, POLLIN, 0}, {mounts, POLLPRI, 0}};
    int n = ::poll(fds, mounts >= 0 ? 3 : 2, -1);
    if (n < 0) return false;
    if (mounts >= 0 && (fds[2].revents & (POLLPRI | POLLERR))) changed.push_back(MountTableWatch);
    bool command = false;
    if (fds[0].revents & POLLIN) {
        uint64_t value = 0;
        command = ::read(FEvent, &value, sizeof value) == sizeof value;
    }
    if (fds[1].revents & POLLIN) {
        alignas(inotify_event) char buffer[16384];
        ssize_t got = ::read(FInotify, buffer, sizeof buffer);
        std::lock_guard<std::mutex> g(FLock);
        for (ssize_t at = 0; got > 0 && at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            if (e->mask & IN_Q_OVERFLOW) { // events were lost: every watch may have changed
                for (const auto& [wd, filter] : FFilters) changed.push_back(wd);
                continue;
            }
            auto it = FFilters.find(e->wd);
            if (it != FFilters.end() && Takes(it->second, e->mask)) changed.push_back(e->wd);
            if (e->mask & IN_IGNORED) FFilters.erase(e->wd);
        }
        std::sort(changed.begin(), changed.end());
        changed.erase(std::unique(changed.begin(), changed.end()), changed.end());
    }
    return command;
}

int TChangeWaitSet::KernelWatchCount() const {
    if (FInotify < 0) return 0;
    std::ifstream in("/proc/self/fdinfo/" + std::to_string(FInotify));
    std::string line;
    int count = 0;
    while (std::getline(in, line))
        if (line.rfind("inotify wd:", 0) == 0) ++count;
    return count;
}

} // namespace mv::desktop
