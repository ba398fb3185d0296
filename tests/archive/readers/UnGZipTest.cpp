// The gzip and .Z reader: every gzip and compress file of the corpus, files
// made in the test by gzip (levels, no name, appended members) and compress,
// a .tar.gz extracted in one step, and damaged or refused files.
#include "archive/readers/UnGZip.h"
#include "archive/framework/ArcErrors.h"
#include "archive/readers/ReaderFactory.h"
#include "tests/archive/readers/ReaderTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <sys/stat.h>

using namespace mv;
namespace fs = std::filesystem;

namespace {

using readertest::Outcome;
using readertest::Tree;

// withTar: the reader of the program (tar archives inside are extracted too).
Outcome Extract(const fs::path& archive, const fs::path& dir, bool withTar = false) {
    std::unique_ptr<TUnBase> reader = withTar ? NewGZipReader() : std::make_unique<TUnGZIP>();
    return readertest::Extract(*reader, archive, dir,
                               {.password = {}, .volumes = false, .ends = false, .raisedAsError = true});
}

} // namespace

TEST(UnGZip, CorpusStreamsByteExact) {
    int seen = 0;
    for (const auto& e : mvtest::ReadManifest()) {
        if (e.format != "gzip" && e.format != "compress") continue;
        if (e.size < 16) continue; // too small for the type detection; decoded in CompressDecodeTest
        SCOPED_TRACE(e.path);
        mvtest::TempDir out;
        Outcome o = Extract(mvtest::CorpusDir() / e.path, out.Path());
        EXPECT_TRUE(o.errors.empty());
        auto tree = Tree(out.Path());
        ASSERT_EQ(tree.size(), 1u);
        const auto& bytes = tree.begin()->second;
        ASSERT_EQ(e.listing.size(), 1u);
        EXPECT_EQ(bytes.size(), e.listing[0].size);
        EXPECT_EQ(mvtest::ReferenceCrc32(bytes.data(), bytes.size()), e.listing[0].crc);
        ++seen;
    }
    EXPECT_GE(seen, 6);
}

TEST(UnGZip, FilesFromGzipAndCompress) {
    MV_REQUIRE_TOOL("gzip");
    MV_REQUIRE_TOOL("compress");
    mvtest::TempDir dir;
    auto data = mvtest::TextBytes(120000, 11);
    auto more = mvtest::RandomBytes(5000, 12);
    mvtest::WriteFileBytes(dir / "data.txt", data);
    mvtest::WriteFileBytes(dir / "more.bin", more);
    struct {
        const char* command;
        const char* archive;
        const char* output;
        bool appended;
    } cases[] = {
        {"gzip -1 -c data.txt > a.gz", "a.gz", "data.txt", false},
        {"gzip -9 -c data.txt > b.gz", "b.gz", "data.txt", false},
        {"gzip -n -c data.txt > plain.txt.gz", "plain.txt.gz", "plain.txt", false},
        {"gzip -c data.txt > c.gz && gzip -c more.bin >> c.gz", "c.gz", "data.txt", true},
        {"compress -b 12 -c data.txt > d.txt.Z", "d.txt.Z", "d.txt", false},
        {"compress -b 16 -c data.txt > e.Z", "e.Z", "e", false},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.command);
        auto r = mvtest::Run(c.command, dir.Path());
        ASSERT_EQ(r.exitCode, 0) << r.output;
        mvtest::TempDir out;
        Outcome o = Extract(dir / c.archive, out.Path());
        EXPECT_TRUE(o.errors.empty());
        auto expect = data;
        if (c.appended) expect.insert(expect.end(), more.begin(), more.end());
        EXPECT_TRUE(mvtest::ReadFileBytes(out / c.output) == expect);
    }
    // The stored time becomes the file's date.
    mvtest::TempDir out;
    mvtest::Run("touch -d '2011-03-13 07:06:40' data.txt && gzip -c data.txt > t.gz", dir.Path());
    Extract(dir / "t.gz", out.Path());
    struct stat a, b;
    ASSERT_EQ(stat((dir / "data.txt").c_str(), &a), 0);
    ASSERT_EQ(stat((out / "data.txt").c_str(), &b), 0);
    EXPECT_LE(std::llabs(int64_t(a.st_mtime) - int64_t(b.st_mtime)), 2);
}

TEST(UnGZip, TarGzInOneStep) {
    MV_REQUIRE_TOOL("tar");
    mvtest::TempDir dir;
    fs::create_directories(dir / "src" / "sub");
    mvtest::WriteFileBytes(dir / "src" / "a.txt", mvtest::TextBytes(3000, 1));
    mvtest::WriteFileBytes(dir / "src" / "sub" / "b.bin", mvtest::RandomBytes(1000, 2));
    ASSERT_EQ(mvtest::Run("tar -czf pack.tgz -C src a.txt sub", dir.Path()).exitCode, 0);
    mvtest::TempDir out;
    Outcome o = Extract(dir / "pack.tgz", out.Path(), true);
    EXPECT_TRUE(o.errors.empty());
    EXPECT_EQ(mvtest::ReadFileBytes(out / "a.txt"), mvtest::ReadFileBytes(dir / "src" / "a.txt"));
    EXPECT_EQ(mvtest::ReadFileBytes(out / "sub" / "b.bin"),
              mvtest::ReadFileBytes(dir / "src" / "sub" / "b.bin"));
    EXPECT_TRUE(fs::exists(out / "pack")); // the intermediate tar
}

TEST(UnGZip, DamagedAndRefused) {
    MV_REQUIRE_TOOL("gzip");
    mvtest::TempDir dir;
    mvtest::WriteFileBytes(dir / "d.txt", mvtest::TextBytes(50000, 3));
    ASSERT_EQ(mvtest::Run("gzip -c d.txt > good.gz", dir.Path()).exitCode, 0);
    auto good = mvtest::ReadFileBytes(dir / "good.gz");
    struct {
        const char* name;
        std::vector<uint8_t> bytes;
        int error;
    } cases[] = {
        {"truncated.gz", std::vector<uint8_t>(good.begin(), good.begin() + good.size() / 2), 25109},
        {"crc.gz", good, 25151},
        {"encrypted.gz", good, arcerr::PasswordProtected},
        {"method.gz", good, arcerr::UnknownMethod},
    };
    cases[1].bytes[good.size() - 6] ^= 0x55;
    cases[2].bytes[3] |= 0x20;
    cases[3].bytes[2] = 7;
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        mvtest::WriteFileBytes(dir / c.name, c.bytes);
        mvtest::TempDir out;
        Outcome o = Extract(dir / c.name, out.Path());
        ASSERT_FALSE(o.errors.empty());
        EXPECT_EQ(o.errors.front(), c.error);
        EXPECT_TRUE(Tree(out.Path()).empty()); // nothing partial is left
    }
    // A .Z whose first code is not a byte.
    mvtest::WriteFileBytes(dir / "bad.Z", {0x1F, 0x9D, 0x90, 0x2C, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00,
                                           0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
    mvtest::TempDir out;
    Outcome o = Extract(dir / "bad.Z", out.Path());
    ASSERT_FALSE(o.errors.empty());
    EXPECT_EQ(o.errors.front(), 25139);
}

TEST(UnGZip, StoredNameNeverLeavesTheFolder) {
    mvtest::TempDir dir;
    // A member named "../../evil" (FNAME) holding "hi".
    std::vector<uint8_t> gz = {0x1F, 0x8B, 8, 0x08, 0, 0, 0, 0, 0, 3};
    for (char c : std::string("../../evil")) gz.push_back(uint8_t(c));
    gz.push_back(0);
    std::vector<uint8_t> body = {0xCB, 0xC8, 0x04, 0x00, 0xAC, 0x2A, 0x93, 0xD8, 0x02, 0x00, 0x00, 0x00};
    gz.insert(gz.end(), body.begin(), body.end());
    mvtest::WriteFileBytes(dir / "evil.gz", gz);
    fs::create_directories(dir / "a" / "b");
    Outcome o = Extract(dir / "evil.gz", dir / "a" / "b");
    EXPECT_TRUE(o.errors.empty());
    EXPECT_TRUE(fs::exists(dir / "a" / "b" / "evil"));
    EXPECT_FALSE(fs::exists(dir / "evil"));
}

TEST(UnGZip, HostileFixtures) {
    mvtest::TempDir dir;
    fs::create_directories(dir / "a" / "b");
    Outcome o = Extract(mvtest::FixtureDir() / "hostile" / "gzip_traversal.gz", dir / "a" / "b");
    EXPECT_TRUE(o.errors.empty());
    EXPECT_TRUE(fs::exists(dir / "a" / "b" / "evil"));
    EXPECT_FALSE(fs::exists(dir / "evil"));
    Outcome z = Extract(mvtest::FixtureDir() / "hostile" / "compress_maxbits31.Z", dir / "z");
    ASSERT_FALSE(z.errors.empty());
    EXPECT_EQ(z.errors.front(), 25134);
    EXPECT_TRUE(Tree(dir / "z").empty());
}
