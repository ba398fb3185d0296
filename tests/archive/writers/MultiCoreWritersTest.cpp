// Compression on several threads through the writers: the GZip and ZIP writers
// write the same bytes with 1, 2 or 8 threads,
// peers accept the result, and a cancel in the middle of a large member leaves
// the old archive as it was.
#include "archive/codecs/DeflatePieces.h"
#include "archive/writers/GZipWriter.h"
#include "archive/writers/ZipWriter.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

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
