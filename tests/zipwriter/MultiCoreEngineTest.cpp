// Compression on several threads through the zip writer component: the files of
// a run are compressed ahead on the workers and large ones in pieces, yet the
// archive bytes and the events (all on the calling thread, in file order) are
// the same with 1, 2, 3 or 8 threads; peers accept the archive; a cancel stops
// the run at once and leaves the old archive as it was; a file that changes
// before its turn is stored as it stands at its turn.
#include "archive/codecs/DeflatePieces.h"
#include "zipwriter/ZipEngine.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <thread>

using namespace mv;
using namespace mvtest;

namespace {

struct TThreads {
    explicit TThreads(unsigned n) { OverrideCompressionThreads(n); }
    ~TThreads() { OverrideCompressionThreads(0); }
};

// A file of several compression pieces: text with random stretches.
std::vector<uint8_t> BigFile(size_t size) {
    std::vector<uint8_t> d;
    for (uint32_t seed = 1; d.size() < size; ++seed) {
        auto part = seed % 4 == 0 ? RandomBytes(200000, seed) : TextBytes(300000, seed);
        d.insert(d.end(), part.begin(), part.end());
    }
    d.resize(size);
    return d;
}

// A run of many files: text, random, empty, stored by name, exactly one piece,
// one piece and a byte, three pieces and a bit; all with one fixed time.
void MakeRun(const fs::path& dir) {
    fs::create_directories(dir / "a" / "b");
    for (int i = 0; i < 12; ++i) {
        const fs::path sub = i % 3 == 0 ? dir : i % 3 == 1 ? dir / "a" : dir / "a" / "b";
        const uint32_t seed = 200 + static_cast<uint32_t>(i);
        WriteFileBytes(sub / ("t" + std::to_string(i) + ".txt"), TextBytes(2000 + 11000 * size_t(i), seed));
        WriteFileBytes(sub / ("r" + std::to_string(i) + ".dat"), RandomBytes(900 + 800 * size_t(i), seed));
    }
    WriteFileBytes(dir / "empty.txt", {});
    WriteFileBytes(dir / "kept.jpg", TextBytes(7000, 4));
    const auto big = BigFile(3 * kDeflatePieceSize + 4321);
    WriteFileBytes(dir / "a" / "one.txt", std::vector<uint8_t>(big.begin(), big.begin() + kDeflatePieceSize));
    WriteFileBytes(dir / "a" / "oneplus.txt",
                   std::vector<uint8_t>(big.begin(), big.begin() + kDeflatePieceSize + 1));
    WriteFileBytes(dir / "a" / "b" / "big.txt", big);
    const auto when = fs::file_time_type::clock::now() - std::chrono::hours(72);
    for (auto& e : fs::recursive_directory_iterator(dir)) fs::last_write_time(e.path(), when);
}

// A run of the component over `dir` with its events written down as they fire,
// each marked when it came on another thread than the caller's.
struct TLoggedRun {
    std::vector<std::string> events;
    int added = -1;
    bool cancelled = false;
};
TLoggedRun ZipLogged(const fs::path& dir, const fs::path& archive, const std::string& password,
                     const std::function<void(TZipEngine&, const std::string&, size_t)>& onEvent = {}) {
    TLoggedRun r;
    const auto caller = std::this_thread::get_id();
    TZipEngine z;
    auto log = [&](const std::string& what) {
        r.events.push_back(what + (std::this_thread::get_id() == caller ? "" : " (other thread)"));
        if (onEvent) onEvent(z, what, r.events.size());
    };
    z.SetZipName(archive.string());
    z.SetRootDir(dir.string());
    z.SetStorePaths(true);
    z.SetRecurse(true);
    z.SetRelativePaths(true);
    z.SetPackLevel(6);
    z.SetNoCompressList({"*.jpg"});
    z.SetPassword(password);
    z.RandomBytes = [](uint8_t* bytes, size_t n) {
        for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(i * 37 + 11);
    };
    z.SetFilesList({(dir / "*").string()});
    z.OnStartZip = [&](TObject*, const std::string& name, TZipHeaderInfo&, bool&) {
        log("start " + fs::relative(name, dir).string());
    };
    z.OnEndZip = [&](TObject*, const std::string& name, int64_t unpacked, int64_t packed, int64_t) {
        log("end " + fs::relative(name, dir).string() + " " + std::to_string(unpacked) + " " +
            std::to_string(packed));
    };
    z.OnFilePercentDone = [&](TObject*, int p) { log("file " + std::to_string(p)); };
    z.OnTotalPercentDone = [&](TObject*, int p) { log("total " + std::to_string(p)); };
    try {
        r.added = z.Zip();
    } catch (const EUserCanceled&) {
        r.cancelled = true;
    }
    return r;
}

size_t Count(const std::vector<std::string>& events, const std::string& prefix) {
    return static_cast<size_t>(std::count_if(events.begin(), events.end(),
                                             [&](const std::string& e) { return e.starts_with(prefix); }));
}

} // namespace

TEST(ZipEngineThreads, SameArchiveAndEventsForAnyThreadCount) {
    MV_REQUIRE_TOOL("unzip");
    TempDir t;
    MakeRun(t / "src");
    for (const std::string password : {"", "secret"}) {
        SCOPED_TRACE(password);
        std::vector<uint8_t> first;
        std::vector<std::string> firstEvents;
        for (unsigned threads : {1u, 2u, 3u, 8u}) {
            SCOPED_TRACE(threads);
            TThreads use(threads);
            const fs::path archive = t / ("e" + std::to_string(threads) + password + ".zip");
            TLoggedRun got = ZipLogged(t / "src", archive, password);
            ASSERT_EQ(got.added, 29);
            const auto bytes = ReadFileBytes(archive);
            if (threads == 1) {
                first = bytes;
                firstEvents = got.events;
                for (const auto& e : got.events) EXPECT_EQ(e.find("other thread"), std::string::npos) << e;
                EXPECT_EQ(Count(got.events, "start "), 29u);
                const std::string pass = password.empty() ? "" : " -P " + password;
                auto r = mvtest::Run("unzip -tq" + pass + " " + Quote(archive.string()));
                EXPECT_EQ(r.exitCode, 0) << r.output;
                fs::create_directories(t / ("back" + password));
                r = mvtest::Run("unzip -q" + pass + " " + Quote(archive.string()) + " -d " +
                                Quote((t / ("back" + password)).string()));
                EXPECT_EQ(r.exitCode, 0) << r.output;
                for (auto& e : fs::recursive_directory_iterator(t / "src")) {
                    if (!e.is_regular_file()) continue;
                    const fs::path back = t / ("back" + password) / fs::relative(e.path(), t / "src");
                    EXPECT_TRUE(ReadFileBytes(back) == ReadFileBytes(e.path())) << e.path();
                }
            } else {
                EXPECT_TRUE(bytes == first);
                EXPECT_EQ(got.events, firstEvents);
            }
        }
    }
}

TEST(ZipEngineThreads, CancelStopsAtOnceAndKeepsTheOldArchive) {
    TempDir t;
    MakeRun(t / "src");
    WriteFileBytes(t / "lone.txt", TextBytes(3000, 5));
    const fs::path archive = t / "old.zip";
    {
        TZipEngine z;
        z.SetZipName(archive.string());
        z.SetFilesList({(t / "lone.txt").string()});
        ASSERT_EQ(z.Zip(), 1);
    }
    const auto old = ReadFileBytes(archive);
    // Cancelled at the end of a small file, and in the middle of the large one
    // (after its first piece was read).
    struct TCase {
        const char* where;
        std::function<bool(const std::string&, bool inBig)> at;
    };
    const std::vector<TCase> cases = {
        {"between files", [](const std::string& e, bool) { return e.starts_with("end a/t4.txt"); }},
        {"in a large file", [](const std::string& e, bool inBig) { return inBig && e.starts_with("file "); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.where);
        std::vector<std::string> firstEvents;
        for (unsigned threads : {1u, 8u}) {
            SCOPED_TRACE(threads);
            TThreads use(threads);
            bool inBig = false, asked = false;
            size_t askedAt = 0;
            TLoggedRun got =
                ZipLogged(t / "src", archive, "", [&](TZipEngine& z, const std::string& e, size_t n) {
                    if (e.starts_with("start a/b/big.txt")) inBig = true;
                    if (!asked && c.at(e, inBig)) {
                        asked = true;
                        askedAt = n;
                        z.CancelOperation();
                    }
                });
            EXPECT_TRUE(got.cancelled);
            ASSERT_TRUE(asked);
            EXPECT_TRUE(ReadFileBytes(archive) == old);
            // Nothing new starts after the cancel, and the file being read stops
            // within the next piece.
            std::vector<std::string> after(got.events.begin() + static_cast<std::ptrdiff_t>(askedAt),
                                           got.events.end());
            EXPECT_EQ(Count(after, "start "), 0u);
            EXPECT_EQ(Count(after, "end "), 0u);
            EXPECT_LE(Count(after, "file "), 1u);
            if (threads == 1)
                firstEvents = got.events;
            else
                EXPECT_EQ(got.events, firstEvents);
            // Nothing is left beside the archive.
            size_t files = 0;
            for (auto& e : fs::directory_iterator(t.Path())) files += e.is_regular_file() ? 1 : 0;
            EXPECT_EQ(files, 2u); // old.zip and lone.txt
        }
    }
    // The cancel was taken: the next run goes through.
    TZipEngine z;
    z.SetZipName(archive.string());
    z.SetFilesList({(t / "src" / "a" / "t1.txt").string()});
    EXPECT_EQ(z.Zip(), 1);
}

TEST(ZipEngineThreads, AFileChangedBeforeItsTurnIsStoredAsItStandsThen) {
    MV_REQUIRE_TOOL("unzip");
    TempDir t;
    MakeRun(t / "src");
    TThreads use(8);
    const fs::path late = t / "src" / "t9.txt";
    const auto changed = TextBytes(2000 + 11000 * 9, 999);
    bool done = false;
    const fs::path archive = t / "changed.zip";
    TLoggedRun got = ZipLogged(t / "src", archive, "", [&](TZipEngine&, const std::string& e, size_t) {
        // t9.txt comes last: the workers have read it by t3.txt's turn.
        if (!done && e.starts_with("start t3.txt")) {
            done = true;
            WriteFileBytes(late, changed);
        }
    });
    ASSERT_EQ(got.added, 29);
    ASSERT_TRUE(done);
    auto r = mvtest::Run("unzip -tq " + Quote(archive.string()));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    r = mvtest::Run("unzip -p " + Quote(archive.string()) + " t9.txt > " + Quote((t / "back").string()));
    EXPECT_TRUE(ReadFileBytes(t / "back") == changed);
}
