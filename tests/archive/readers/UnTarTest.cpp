// The tar reader: every tar of the corpus, archives made in the test by GNU
// tar in each of its formats (long names, links, folders, empty and
// 512-byte files) and hostile ones (climbing names, links, damage).
#include "archive/readers/UnTar.h"
#include "archive/framework/ArcErrors.h"
#include "archive/framework/SharedRoutines.h"
#include "tests/archive/readers/ReaderTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <sys/stat.h>

using namespace mv;
namespace fs = std::filesystem;

namespace {

using readertest::Outcome;

Outcome Extract(const fs::path& archive, const fs::path& dir) {
    TUnTAR reader;
    return readertest::Extract(reader, archive, dir,
                               {.password = {}, .volumes = false, .ends = false, .raisedAsError = true});
}

// The regular files below dir (links are not counted).
std::map<std::string, std::vector<uint8_t>> Tree(const fs::path& dir) {
    return readertest::Tree(dir, false);
}

// A header block with a valid checksum.
std::vector<uint8_t> Header(const std::string& name, char type, uint64_t size, const std::string& link = {}) {
    std::vector<uint8_t> h(512, 0);
    std::memcpy(h.data(), name.data(), std::min<size_t>(name.size(), 100));
    std::memcpy(h.data() + 100, "0000644", 7);
    IntToOctalField(size, 12, false, h.data() + 124);
    IntToOctalField(1300000000, 12, false, h.data() + 136);
    h[156] = uint8_t(type);
    std::memcpy(h.data() + 157, link.data(), std::min<size_t>(link.size(), 100));
    std::memcpy(h.data() + 257,
                "ustar\0"
                "00",
                8);
    std::memset(h.data() + 148, ' ', 8);
    uint32_t sum = 0;
    for (uint8_t b : h) sum += b;
    IntToOctalField(sum, 8, true, h.data() + 148);
    return h;
}

void Append(std::vector<uint8_t>& tar, const std::vector<uint8_t>& header, const std::string& data = {}) {
    tar.insert(tar.end(), header.begin(), header.end());
    tar.insert(tar.end(), data.begin(), data.end());
    tar.resize((tar.size() + 511) / 512 * 512, 0);
}

} // namespace

TEST(UnTar, CorpusByteExact) {
    for (const auto& e : mvtest::ReadManifest()) {
        if (e.format != "tar") continue;
        SCOPED_TRACE(e.path);
        mvtest::TempDir out;
        Outcome o = Extract(mvtest::CorpusDir() / e.path, out.Path());
        // Symbolic links are reported, never created: those are the only reports.
        EXPECT_EQ(std::count(o.errors.begin(), o.errors.end(), arcerr::Discarded), long(o.errors.size()));
        auto tree = Tree(out.Path());
        size_t files = 0;
        for (const auto& m : e.listing) {
            if (m.name.empty() || m.name.back() == '/' || (m.crc == 0 && m.size != 0))
                continue; // folders, links
            if (e.path == "tar/gnutar_longnames.tar" && m.size == 0 && m.name.rfind("abcdefghij", 0) == 0)
                continue; // the long symbolic link
            SCOPED_TRACE(m.name);
            ++files;
            ASSERT_TRUE(tree.count(m.name));
            EXPECT_EQ(tree[m.name].size(), m.size);
            EXPECT_EQ(mvtest::ReferenceCrc32(tree[m.name].data(), tree[m.name].size()), m.crc);
        }
        EXPECT_EQ(tree.size(), files);
    }
}

TEST(UnTar, EveryGnuTarFormat) {
    MV_REQUIRE_TOOL("tar");
    mvtest::TempDir dir;
    const std::string longName = std::string(60, 'd') + "/" + std::string(70, 'n') + ".txt";
    fs::create_directories(dir / "src" / "sub" / std::string(60, 'd'));
    mvtest::WriteFileBytes(dir / "src" / "a.txt", mvtest::TextBytes(3000, 1));
    mvtest::WriteFileBytes(dir / "src" / "empty", {});
    mvtest::WriteFileBytes(dir / "src" / "block.bin", mvtest::RandomBytes(512, 2));
    mvtest::WriteFileBytes(dir / "src" / "sub" / longName, mvtest::RandomBytes(700, 3));
    fs::create_symlink("a.txt", dir / "src" / "link");
    fs::create_hard_link(dir / "src" / "a.txt", dir / "src" / "hard.txt");
    mvtest::Run("touch -d '2011-03-13 07:06:40' a.txt", dir / "src");
    for (const char* format : {"v7", "ustar", "gnu", "pax"}) {
        SCOPED_TRACE(format);
        const bool v7 = std::string(format) == "v7";
        std::string list =
            v7 ? "a.txt empty block.bin link hard.txt" : "a.txt empty block.bin link hard.txt sub";
        auto r = mvtest::Run(std::string("tar --format=") + format + " -cf t.tar -C src " + list, dir.Path());
        ASSERT_EQ(r.exitCode, 0) << r.output;
        mvtest::TempDir out;
        TUnTAR reader;
        Outcome o = readertest::Extract(reader, dir / "t.tar", out.Path(),
                                        {.password = {}, .volumes = false, .ends = false, .raisedAsError = true});
        // The symbolic link is reported, not created.
        EXPECT_EQ(o.errors, std::vector<int>{arcerr::Discarded});
        EXPECT_EQ(reader.LinksSkipped(), 1);
        auto tree = Tree(out.Path());
        EXPECT_EQ(tree["a.txt"], mvtest::ReadFileBytes(dir / "src" / "a.txt"));
        EXPECT_EQ(tree["hard.txt"], mvtest::ReadFileBytes(dir / "src" / "a.txt"));
        EXPECT_TRUE(tree.count("empty") && tree["empty"].empty());
        EXPECT_EQ(tree["block.bin"], mvtest::ReadFileBytes(dir / "src" / "block.bin"));
        if (!v7) {
            EXPECT_EQ(tree["sub/" + longName], mvtest::ReadFileBytes(dir / "src" / "sub" / longName));
        }
        EXPECT_FALSE(fs::is_symlink(out / "link"));
        EXPECT_FALSE(fs::exists(out / "link"));
        EXPECT_EQ(tree.size(), v7 ? 4u : 5u);
        struct stat a, b;
        ASSERT_EQ(stat((dir / "src" / "a.txt").c_str(), &a), 0);
        ASSERT_EQ(stat((out / "a.txt").c_str(), &b), 0);
        EXPECT_LE(std::llabs(int64_t(a.st_mtime) - int64_t(b.st_mtime)), 2);
    }
}

TEST(UnTar, HostileArchivesStayInside) {
    mvtest::TempDir dir;
    std::vector<uint8_t> tar;
    Append(tar, Header("../../escape.txt", '0', 3), "abc");
    Append(tar, Header("/abs/path.txt", '0', 3), "def");
    Append(tar, Header("up", '2', 0, "../../.."));        // a symbolic link out of the folder
    Append(tar, Header("up/through.txt", '0', 3), "ghi"); // written through it?
    Append(tar, Header("hard", '1', 0, "/etc/passwd"));   // a hard link to outside
    auto huge = Header("huge", '0', 0);
    std::memset(huge.data() + 124, 0, 12);
    huge[124] = 0x80; // base-256 size far beyond the file
    huge[130] = 0x7F;
    std::memset(huge.data() + 148, ' ', 8);
    uint32_t sum = 0;
    for (uint8_t b : huge) sum += b;
    IntToOctalField(sum, 8, true, huge.data() + 148);
    Append(tar, huge);
    mvtest::WriteFileBytes(dir / "hostile.tar", tar);
    fs::create_directories(dir / "a" / "b");
    Outcome o = Extract(dir / "hostile.tar", dir / "a" / "b");
    EXPECT_FALSE(fs::exists(dir / "escape.txt"));
    EXPECT_FALSE(fs::exists(dir / "a" / "escape.txt"));
    EXPECT_TRUE(fs::exists(dir / "a" / "b" / "escape.txt"));
    EXPECT_TRUE(fs::exists(dir / "a" / "b" / "abs" / "path.txt"));
    EXPECT_FALSE(fs::exists(dir / "a" / "b" / "hard"));
    EXPECT_FALSE(fs::exists(dir / "through.txt"));
    EXPECT_FALSE(fs::is_symlink(dir / "a" / "b" / "up"));
    // The hard link to outside and the symbolic link are both reported.
    EXPECT_EQ(std::count(o.errors.begin(), o.errors.end(), 26800), 2);
    EXPECT_NE(std::find(o.errors.begin(), o.errors.end(), arcerr::ReadError), o.errors.end()); // huge
}

TEST(UnTar, DamagedBlocksAreSkipped) {
    std::vector<uint8_t> tar;
    Append(tar, Header("one.txt", '0', 5), "first");
    Append(tar, Header("two.txt", '0', 6), "second");
    tar[512 + 512 + 10] ^= 0x40; // the second header's checksum fails
    Append(tar, Header("three.txt", '0', 5), "third");
    mvtest::TempDir dir;
    mvtest::WriteFileBytes(dir / "t.tar", tar);
    Outcome o = Extract(dir / "t.tar", dir / "out");
    auto tree = Tree(dir / "out");
    EXPECT_EQ(tree.size(), 2u);
    EXPECT_TRUE(tree.count("one.txt") && tree.count("three.txt"));
    // Cut inside the last member's data: that member fails, the others stay.
    tar.resize(512 * 5 + 2);
    mvtest::WriteFileBytes(dir / "cut.tar", tar);
    Outcome c = Extract(dir / "cut.tar", dir / "cut");
    EXPECT_EQ(Tree(dir / "cut").size(), 1u);
    EXPECT_FALSE(c.errors.empty());
}

TEST(UnTar, HostileFixture) {
    mvtest::TempDir dir;
    fs::create_directories(dir / "a" / "b");
    Outcome o = Extract(mvtest::FixtureDir() / "hostile" / "tar_traversal_links.tar", dir / "a" / "b");
    EXPECT_TRUE(fs::exists(dir / "a" / "b" / "escape.txt"));
    EXPECT_TRUE(fs::exists(dir / "a" / "b" / "abs" / "path.txt"));
    EXPECT_FALSE(fs::exists(dir / "a" / "escape.txt"));
    EXPECT_FALSE(fs::exists(dir / "through.txt"));
    EXPECT_FALSE(fs::is_symlink(dir / "a" / "b" / "up"));
    EXPECT_FALSE(fs::exists(dir / "a" / "b" / "hard"));
    EXPECT_NE(std::find(o.errors.begin(), o.errors.end(), 26800), o.errors.end());
}
