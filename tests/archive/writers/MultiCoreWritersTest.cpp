// Compression on several threads through the writers: the GZip and ZIP writers
// write the same bytes with 1, 2 or 8 threads,
// peers accept the result, and a cancel in the middle of a large member leaves
// the old archive as it was. The files of a run are compressed ahead on the
// workers: the archive and the events (all on the calling thread, in the same
// order) are the same whatever the number of threads, a cancel between files
// keeps the old archive, and a file that changes before its turn is stored as
// it stands at its turn.
#include "archive/codecs/DeflatePieces.h"
#include "archive/writers/GZipWriter.h"
#include "archive/writers/ZipWriter.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <thread>

using namespace mv;
using namespace mvtest;

namespace {

// A file of several compression pieces: text with random stretches.
std::vector<uint8_t> BigFile() {
    std::vector<uint8_t> d;
    for (uint32_t seed = 1; d.size() < 3 * kDeflatePieceSize + 5000; ++seed) {
        auto t = seed % 4 == 0 ? RandomBytes(200000, seed) : TextBytes(300000, seed);
        d.insert(d.end(), t.begin(), t.end());
    }
    d.resize(3 * kDeflatePieceSize + 5000);
    return d;
}

// Source files with a fixed modification time, so that archives made at
// different moments hold the same bytes.
void MakeSources(const fs::path& dir) {
    fs::create_directories(dir / "sub");
    WriteFileBytes(dir / "big.txt", BigFile());
    WriteFileBytes(dir / "small.txt", TextBytes(5000, 9));
    WriteFileBytes(dir / "sub" / "mid.bin", RandomBytes(100000, 8));
    const auto when = fs::file_time_type::clock::now() - std::chrono::hours(72);
    for (auto& e : fs::recursive_directory_iterator(dir)) fs::last_write_time(e.path(), when);
}

// A run of many files: text, random, empty, already compressed, exactly one
// piece, one piece and a byte, two pieces and a bit; with fixed times.
void MakeRun(const fs::path& dir,
             fs::file_time_type when = fs::file_time_type::clock::now() - std::chrono::hours(72)) {
    fs::create_directories(dir / "a" / "b");
    for (int i = 0; i < 14; ++i) {
        const fs::path sub = i % 3 == 0 ? dir : i % 3 == 1 ? dir / "a" : dir / "a" / "b";
        const uint32_t seed = 100 + static_cast<uint32_t>(i);
        WriteFileBytes(sub / ("t" + std::to_string(i) + ".txt"), TextBytes(3000 + 9000 * static_cast<size_t>(i), seed));
        WriteFileBytes(sub / ("r" + std::to_string(i) + ".bin"), RandomBytes(1000 + 700 * static_cast<size_t>(i), seed));
    }
    WriteFileBytes(dir / "empty.txt", {});
    WriteFileBytes(dir / "packed.zip", RandomBytes(5000, 3));
    auto big = BigFile();
    WriteFileBytes(dir / "a" / "one.txt", std::vector<uint8_t>(big.begin(), big.begin() + kDeflatePieceSize));
    WriteFileBytes(dir / "a" / "oneplus.txt", std::vector<uint8_t>(big.begin(), big.begin() + kDeflatePieceSize + 1));
    WriteFileBytes(dir / "a" / "b" / "two.txt",
                   std::vector<uint8_t>(big.begin(), big.begin() + 2 * kDeflatePieceSize + 777));
    for (auto& e : fs::recursive_directory_iterator(dir)) fs::last_write_time(e.path(), when);
}

// Zips `dir` with the events written down as they fire (each with a note of
// whether it came on the calling thread); `onBegin` may act on each file's turn.
struct TLoggedZip {
    std::vector<uint8_t> bytes;
    std::vector<std::string> events;
    int error = 0;
};
TLoggedZip ZipLogged(const fs::path& dir, const fs::path& archive,
                     const std::function<void(TZip&, const std::string&, int)>& onBegin = {}) {
    TLoggedZip r;
    const auto caller = std::this_thread::get_id();
    auto where = [&] { return std::this_thread::get_id() == caller ? "" : " (other thread)"; };
    TZip zip;
    zip.SetArchiveFile(archive.string());
    zip.SetRecurseDirs(true);
    zip.SetDeflateLevel(6);
    zip.FileSpecList().push_back((dir / "*").string());
    zip.OnBegin = [&](TObject*, const std::string& name, int count, bool&) {
        r.events.push_back("begin " + name + " " + std::to_string(count) + where());
        if (onBegin) onBegin(zip, name, count);
    };
    zip.OnProgress = [&](TObject*, uint8_t file, uint8_t all) {
        r.events.push_back("progress " + std::to_string(file) + " " + std::to_string(all) + where());
    };
    zip.OnEnd = [&](TObject*, const std::string& name, bool pass) {
        r.events.push_back("end " + name + (pass ? " ok" : " failed") + where());
    };
    zip.Compress();
    r.error = zip.LastError();
    if (fs::exists(archive)) r.bytes = ReadFileBytes(archive);
    return r;
}

struct TThreads {
    explicit TThreads(unsigned n) { OverrideCompressionThreads(n); }
    ~TThreads() { OverrideCompressionThreads(0); }
};

} // namespace

TEST(MultiCoreWriters, GZipSameBytesForAnyThreadCount) {
    MV_REQUIRE_TOOL("gzip");
    TempDir t;
    MakeSources(t / "src");
    std::vector<uint8_t> first;
    for (unsigned threads : {1u, 2u, 8u}) {
        SCOPED_TRACE(threads);
        TThreads use(threads);
        fs::remove_all(t / "out");
        fs::create_directories(t / "out");
        TGZip gz;
        gz.SetArchiveFile((t / "out" / "x.gz").string());
        gz.FileSpecList().push_back((t / "src" / "big.txt").string());
        gz.Compress();
        ASSERT_EQ(gz.LastError(), 0);
        const fs::path out = t / "out" / "big.txt.gz";
        auto bytes = ReadFileBytes(out);
        if (first.empty()) {
            first = bytes;
            auto r = mvtest::Run("gzip -t " + Quote(out.string()));
            EXPECT_EQ(r.exitCode, 0) << r.output;
            r = mvtest::Run("gzip -dc " + Quote(out.string()) + " > " + Quote((t / "back").string()));
            EXPECT_EQ(r.exitCode, 0) << r.output;
            EXPECT_TRUE(ReadFileBytes(t / "back") == ReadFileBytes(t / "src" / "big.txt"));
            if (RequireTool("7z")) {
                r = mvtest::Run("7z t " + Quote(out.string()));
                EXPECT_EQ(r.exitCode, 0) << r.output;
            }
        } else {
            EXPECT_TRUE(bytes == first);
        }
    }
}

TEST(MultiCoreWriters, ZipSameBytesForAnyThreadCount) {
    MV_REQUIRE_TOOL("unzip");
    TempDir t;
    MakeSources(t / "src");
    std::vector<uint8_t> first;
    for (unsigned threads : {1u, 2u, 8u}) {
        SCOPED_TRACE(threads);
        TThreads use(threads);
        const fs::path archive = t / ("a" + std::to_string(threads) + ".zip");
        TZip zip;
        zip.SetArchiveFile(archive.string());
        zip.SetRecurseDirs(true);
        zip.FileSpecList().push_back((t / "src" / "*").string());
        zip.Compress();
        ASSERT_EQ(zip.LastError(), 0);
        auto bytes = ReadFileBytes(archive);
        if (first.empty()) {
            first = bytes;
            auto r = mvtest::Run("unzip -t " + Quote(archive.string()));
            EXPECT_EQ(r.exitCode, 0) << r.output;
            r = mvtest::Run("unzip -p " + Quote(archive.string()) + " big.txt > " + Quote((t / "back").string()));
            EXPECT_TRUE(ReadFileBytes(t / "back") == ReadFileBytes(t / "src" / "big.txt"));
            if (RequireTool("7z")) {
                r = mvtest::Run("7z t " + Quote(archive.string()));
                EXPECT_EQ(r.exitCode, 0) << r.output;
            }
        } else {
            EXPECT_TRUE(bytes == first);
        }
    }
}

TEST(MultiCoreWriters, CancelInALargeMemberKeepsTheOldArchive) {
    TempDir t;
    MakeSources(t / "src");
    const fs::path archive = t / "old.zip";
    {
        TZip zip;
        zip.SetArchiveFile(archive.string());
        zip.FileSpecList().push_back((t / "src" / "small.txt").string());
        zip.Compress();
        ASSERT_EQ(zip.LastError(), 0);
    }
    const auto old = ReadFileBytes(archive);
    for (unsigned threads : {1u, 8u}) {
        SCOPED_TRACE(threads);
        TThreads use(threads);
        TZip zip;
        zip.SetArchiveFile(archive.string());
        zip.FileSpecList().push_back((t / "src" / "big.txt").string());
        int calls = 0;
        zip.OnProgress = [&](TObject*, uint8_t, uint8_t) {
            if (++calls == 3) zip.SetCancel(true);
        };
        zip.Compress();
        EXPECT_EQ(zip.LastError(), 25400);
        EXPECT_TRUE(ReadFileBytes(archive) == old);
    }
}

TEST(MultiCoreWriters, FilesOfARunSameArchiveAndEventsForAnyThreadCount) {
    MV_REQUIRE_TOOL("unzip");
    TempDir t;
    MakeRun(t / "src");
    TLoggedZip first;
    for (unsigned threads : {1u, 2u, 3u, 8u}) {
        SCOPED_TRACE(threads);
        TThreads use(threads);
        const fs::path archive = t / ("a" + std::to_string(threads) + ".zip");
        TLoggedZip got = ZipLogged(t / "src", archive);
        ASSERT_EQ(got.error, 0);
        if (threads == 1) {
            first = got;
            auto r = mvtest::Run("unzip -tq " + Quote(archive.string()));
            EXPECT_EQ(r.exitCode, 0) << r.output;
            fs::create_directories(t / "back");
            r = mvtest::Run("unzip -q " + Quote(archive.string()) + " -d " + Quote((t / "back").string()));
            EXPECT_EQ(r.exitCode, 0) << r.output;
            size_t files = 0;
            for (auto& e : fs::recursive_directory_iterator(t / "src")) {
                if (!e.is_regular_file()) continue;
                ++files;
                EXPECT_TRUE(ReadFileBytes(t / "back" / fs::relative(e.path(), t / "src")) == ReadFileBytes(e.path()))
                    << e.path();
            }
            EXPECT_EQ(files, 33u);
            for (const auto& e : got.events) EXPECT_EQ(e.find("other thread"), std::string::npos) << e;
        } else {
            EXPECT_TRUE(got.bytes == first.bytes);
            EXPECT_EQ(got.events, first.events);
        }
    }
}

TEST(MultiCoreWriters, CancelBetweenFilesOfARunKeepsTheOldArchive) {
    TempDir t;
    MakeRun(t / "src");
    const fs::path archive = t / "old.zip";
    WriteFileBytes(t / "lone.txt", TextBytes(2000, 5));
    {
        TZip zip;
        zip.SetArchiveFile(archive.string());
        zip.FileSpecList().push_back((t / "lone.txt").string());
        zip.Compress();
        ASSERT_EQ(zip.LastError(), 0);
    }
    const auto old = ReadFileBytes(archive);
    std::vector<std::string> firstEvents;
    for (unsigned threads : {1u, 8u}) {
        SCOPED_TRACE(threads);
        TThreads use(threads);
        TLoggedZip got = ZipLogged(t / "src", archive, [](TZip& zip, const std::string&, int count) {
            if (count == 6) zip.SetCancel(true);
        });
        EXPECT_EQ(got.error, 25400);
        EXPECT_TRUE(ReadFileBytes(archive) == old);
        // Nothing after the cancel: the same events with or without workers.
        if (threads == 1)
            firstEvents = got.events;
        else
            EXPECT_EQ(got.events, firstEvents);
        size_t left = 0;
        for (auto& e : fs::directory_iterator(t.Path())) left += e.is_regular_file() ? 1 : 0;
        EXPECT_EQ(left, 2u); // old.zip and lone.txt: no temporary file stays
    }
}

TEST(MultiCoreWriters, AFileChangedBeforeItsTurnIsStoredAsItStandsThen) {
    MV_REQUIRE_TOOL("unzip");
    TempDir t;
    std::vector<uint8_t> first;
    const auto when = fs::file_time_type::clock::now() - std::chrono::hours(72);
    for (unsigned threads : {1u, 8u}) {
        SCOPED_TRACE(threads);
        TThreads use(threads);
        fs::remove_all(t / "src");
        MakeRun(t / "src", when);
        // Late files are rewritten in place (same size and time, other bytes)
        // as their turn begins: by then the workers have read them ahead, and
        // those bytes no longer hold.
        const std::vector<std::pair<std::string, fs::path>> changed = {
            {"two.txt", t / "src" / "a" / "b" / "two.txt"}, {"r13.bin", t / "src" / "a" / "r13.bin"}};
        auto mutate = [&](const fs::path& p) {
            auto d = ReadFileBytes(p);
            for (size_t i = 0; i < d.size(); i += 4096) d[i] ^= 0x5A;
            std::fstream f(p, std::ios::in | std::ios::out | std::ios::binary);
            f.write(reinterpret_cast<const char*>(d.data()), static_cast<std::streamsize>(d.size()));
            f.close();
            fs::last_write_time(p, when);
        };
        const fs::path archive = t / ("x" + std::to_string(threads) + ".zip");
        TLoggedZip got = ZipLogged(t / "src", archive, [&](TZip&, const std::string& name, int) {
            for (const auto& [n, p] : changed)
                if (name.ends_with(n)) mutate(p);
        });
        ASSERT_EQ(got.error, 0);
        for (const auto& [n, p] : changed) {
            const std::string member = fs::relative(p, t / "src").generic_string();
            auto r = mvtest::Run("unzip -p " + Quote(archive.string()) + " " + Quote(member) + " > " +
                                 Quote((t / "back").string()));
            EXPECT_EQ(r.exitCode, 0) << r.output;
            EXPECT_TRUE(ReadFileBytes(t / "back") == ReadFileBytes(p)) << member;
        }
        if (threads == 1)
            first = got.bytes;
        else
            EXPECT_TRUE(got.bytes == first);
    }
}

TEST(MultiCoreWriters, GZipOfManyFilesSameMembersForAnyThreadCount) {
    MV_REQUIRE_TOOL("gzip");
    TempDir t;
    MakeRun(t / "src");
    std::map<std::string, std::vector<uint8_t>> first;
    for (unsigned threads : {1u, 8u}) {
        SCOPED_TRACE(threads);
        TThreads use(threads);
        const fs::path out = t / ("out" + std::to_string(threads));
        fs::create_directories(out);
        TGZip gz;
        gz.SetArchiveFile((out / "x.gz").string());
        gz.FileSpecList().push_back((t / "src" / "a" / "*").string());
        gz.Compress();
        ASSERT_EQ(gz.LastError(), 0);
        std::map<std::string, std::vector<uint8_t>> got;
        for (auto& e : fs::directory_iterator(out)) got[e.path().filename().string()] = ReadFileBytes(e.path());
        EXPECT_EQ(got.size(), 12u);
        if (threads == 1) {
            first = got;
            auto r = mvtest::Run("gzip -t " + Quote((out / "oneplus.txt.gz").string()) + " " +
                                 Quote((out / "t13.txt.gz").string()));
            EXPECT_EQ(r.exitCode, 0) << r.output;
        } else {
            EXPECT_TRUE(got == first);
        }
    }
}
