// The change-notification worker on real temporary folders: its 63 slots, no watch left
// behind, one message per change with its slot, and a prompt end.
#include "controls/shell/ChangeHandler.h"
#include "tests/support/TestSupport.h"

#include <condition_variable>
#include <dirent.h>
#include <gtest/gtest.h>
#include <mutex>
#include <cstdlib>

namespace mv {
namespace fs = std::filesystem;
namespace {

// Collects the posted messages; Next waits (with a generous bound) for the next one.
struct Inbox {
    std::mutex lock;
    std::condition_variable arrived;
    std::vector<std::pair<uint32_t, intptr_t>> messages;
    TChangeHandlerThread::TPoster Poster() {
        return [this](uint32_t msg, intptr_t slot) {
            std::lock_guard<std::mutex> g(lock);
            messages.emplace_back(msg, slot);
            arrived.notify_all();
        };
    }
    bool WaitFor(size_t count) {
        std::unique_lock<std::mutex> l(lock);
        return arrived.wait_for(l, std::chrono::seconds(20), [&] { return messages.size() >= count; });
    }
    std::vector<intptr_t> Slots() {
        std::lock_guard<std::mutex> g(lock);
        std::vector<intptr_t> out;
        for (auto& m : messages) out.push_back(m.second);
        return out;
    }
};

int OpenDescriptors() {
    int n = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator("/proc/self/fd")) ++n;
    return n;
}

TEST(ChangeHandler, SixtyThreeSlotsAndNoWatchLeftBehind) {
    mvtest::TempDir dir;
    for (int i = 0; i < 65; ++i) fs::create_directories(dir / ("d" + std::to_string(i)));
    int before = OpenDescriptors();
    {
        Inbox inbox;
        TChangeHandlerThread worker(inbox.Poster(), WMShellChangeNotify);
        int slot = -1;
        EXPECT_FALSE(worker.AddWatch("", 3, slot, false));
        EXPECT_FALSE(worker.AddWatch((dir / "missing").string(), 3, slot, false));
        for (int i = 0; i < 63; ++i) {
            ASSERT_TRUE(worker.AddWatch((dir / ("d" + std::to_string(i))).string(), 3, slot, false));
            EXPECT_EQ(slot, i);
        }
        EXPECT_EQ(worker.KernelWatchCount(), 63);
        slot = 99;
        EXPECT_FALSE(worker.AddWatch((dir / "d63").string(), 3, slot, false));
        EXPECT_EQ(slot, 99);
        EXPECT_EQ(worker.KernelWatchCount(), 63); // the refused watch was ended at once
        worker.RemoveAllWatches();
        EXPECT_EQ(worker.KernelWatchCount(), 0);
        ASSERT_TRUE(worker.AddWatch((dir / "d64").string(), 3, slot, false));
        EXPECT_EQ(slot, 0);
    }
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST(ChangeHandler, OneMessagePerChangeWithItsSlot) {
    mvtest::TempDir dir;
    for (const char* d : {"a", "b", "c", "old"}) fs::create_directories(dir / d);
    Inbox inbox;
    TChangeHandlerThread worker(inbox.Poster(), WMShellChangeNotify);
    int slot = -1;
    ASSERT_TRUE(worker.AddWatch((dir / "old").string(), 3, slot, false));
    worker.RemoveAllWatches();
    int a = -1, b = -1, c = -1;
    ASSERT_TRUE(worker.AddWatch((dir / "a").string(), 3, a, false));
    ASSERT_TRUE(worker.AddWatch((dir / "b").string(), 3, b, false));
    ASSERT_TRUE(worker.AddWatch((dir / "c").string(), 2, c, false)); // folder names only
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 1);
    EXPECT_EQ(c, 2);
    mvtest::WriteFileText(dir / "old/gone.txt", "x"); // no longer watched
    mvtest::WriteFileText(dir / "c/file.txt", "x");   // not what c asked for
    mvtest::WriteFileText(dir / "b/new.txt", "hello"); // create, write, close: one change
    ASSERT_TRUE(inbox.WaitFor(1));
    fs::create_directory(dir / "c/sub"); // a sentinel after it
    ASSERT_TRUE(inbox.WaitFor(2));
    EXPECT_EQ(inbox.Slots(), (std::vector<intptr_t>{1, 2}));
    std::lock_guard<std::mutex> g(inbox.lock);
    for (auto& m : inbox.messages) EXPECT_EQ(m.first, WMShellChangeNotify);
}

// A view of Computer hears a volume mounted and unmounted through the mount table. Mounting
// needs the right to mount (root in a container may lack it): without it only the watch
// itself is checked.
TEST(ChangeHandler, MountTableChangesReachTheirSlot) {
    mvtest::TempDir dir;
    fs::create_directories(dir / "folder");
    fs::create_directories(dir / "mnt");
    Inbox inbox;
    const int before = OpenDescriptors();
    {
        TChangeHandlerThread worker(inbox.Poster(), WMShellChangeNotify);
        int folder = -1, mounts = -1;
        ASSERT_TRUE(worker.AddWatch((dir / "folder").string(), 3, folder, false));
        ASSERT_TRUE(worker.AddMountWatch(mounts));
        EXPECT_EQ(mounts, 1);
        const std::string target = (dir / "mnt").string();
        if (std::system(("mount -t tmpfs morvelan-test '" + target + "' 2>/dev/null").c_str()) != 0) {
            worker.RemoveAllWatches();
        } else {
            ASSERT_TRUE(inbox.WaitFor(1));
            EXPECT_EQ(inbox.Slots().front(), 1);
            ASSERT_EQ(std::system(("umount '" + target + "'").c_str()), 0);
            ASSERT_TRUE(inbox.WaitFor(2));
            for (intptr_t s : inbox.Slots()) EXPECT_EQ(s, 1);
            worker.RemoveAllWatches();
        }
    }
    EXPECT_EQ(OpenDescriptors(), before); // the mount table is closed again
}

TEST(ChangeHandler, EndsAtOnceWhenDestroyed) {
    Inbox inbox;
    for (int i = 0; i < 20; ++i) {
        TChangeHandlerThread worker(inbox.Poster(), WMShellChangeNotify);
    }
    TChangeHandlerThread none(static_cast<TControl*>(nullptr), WMShellChangeNotify);
    SUCCEED();
}

} // namespace
} // namespace mv
