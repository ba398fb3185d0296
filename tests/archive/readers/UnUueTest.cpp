// The uuencode/xxencode reader: the corpus, files made in the test by
// uuencode and uuenview (small and large, UU and XX, three parts), and broken
// or hostile text.
#include "archive/readers/UnUue.h"
#include "archive/framework/ArcErrors.h"
#include "tests/archive/readers/ReaderTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using namespace mv;
namespace fs = std::filesystem;

namespace {

using readertest::Outcome;
using readertest::Tree;

Outcome Extract(const fs::path& archive, const fs::path& dir) {
    TUUDecode reader;
    return readertest::Extract(reader, archive, dir, {.password = {}, .ends = false, .raisedAsError = true});
}

} // namespace

TEST(UnUue, CorpusByteExact) {
    int seen = 0;
    for (const auto& e : mvtest::ReadManifest()) {
        if (e.format != "uue") continue;
        SCOPED_TRACE(e.path);
        mvtest::TempDir out;
        Outcome o = Extract(mvtest::CorpusDir() / e.path, out.Path());
        EXPECT_TRUE(o.errors.empty());
        auto tree = Tree(out.Path());
        ASSERT_EQ(e.listing.size(), 1u);
        ASSERT_TRUE(tree.count(e.listing[0].name));
        const auto& bytes = tree[e.listing[0].name];
        EXPECT_EQ(bytes.size(), e.listing[0].size);
        EXPECT_EQ(mvtest::ReferenceCrc32(bytes.data(), bytes.size()), e.listing[0].crc);
        ++seen;
    }
    EXPECT_GE(seen, 4);
}

TEST(UnUue, FromUuencodeAndUuenview) {
    MV_REQUIRE_TOOL("uuencode");
    MV_REQUIRE_TOOL("uuenview");
    mvtest::TempDir dir;
    auto small = mvtest::TextBytes(6, 1);
    auto large = mvtest::RandomBytes(20000, 2);
    mvtest::WriteFileBytes(dir / "small.txt", small);
    mvtest::WriteFileBytes(dir / "large.bin", large);
    fs::create_directories(dir / "x");
    fs::create_directories(dir / "parts");
    struct {
        const char* command;
        const char* archive;
        const char* output;
        bool isLarge;
    } cases[] = {
        {"uuencode small.txt small.txt > s.uue", "s.uue", "small.txt", false},
        {"uuencode large.bin large.bin > l.uue", "l.uue", "large.bin", true},
        {"uuenview -x -od x small.txt >/dev/null 2>&1", "x/small.001", "small.txt", false},
        {"uuenview -x -od x large.bin >/dev/null 2>&1", "x/large.001", "large.bin", true},
        {"uuenview -u -200 -od parts large.bin >/dev/null 2>&1", "parts/large.001", "large.bin", true},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.command);
        mvtest::Run(c.command, dir.Path());
        ASSERT_TRUE(fs::exists(dir / c.archive));
        mvtest::TempDir out;
        Outcome o = Extract(dir / c.archive, out.Path());
        // Later parts of a split file start without "begin": reported, decoded.
        for (int e : o.errors) EXPECT_EQ(e, 25240);
        EXPECT_EQ(mvtest::ReadFileBytes(out / c.output), c.isLarge ? large : small);
    }
    EXPECT_TRUE(fs::exists(dir / "parts" / "large.003"));
}

TEST(UnUue, BrokenAndHostileText) {
    mvtest::TempDir dir;
    // "begin 0644" with a climbing name, a blank for "`", a short last line, no "end".
    mvtest::WriteFileText(dir / "h.uue", "header\nbegin 0644 ../../up.txt\n#86)C\n\"86( \n`\n");
    Outcome o = Extract(dir / "h.uue", dir / "a" / "b");
    EXPECT_FALSE(fs::exists(dir / "up.txt"));
    EXPECT_FALSE(fs::exists(dir / "a" / "up.txt"));
    EXPECT_EQ(mvtest::ReadFileBytes(dir / "a" / "b" / "up.txt"),
              (std::vector<uint8_t>{'a', 'b', 'c', 'a', 'b'}));
    EXPECT_NE(std::find(o.errors.begin(), o.errors.end(), 25168), o.errors.end());
    // A "table" header gives the alphabet (here the XX one).
    mvtest::WriteFileText(dir / "t.uue",
                          "table\n+-0123456789ABCDEFGHIJKLMNOPQRST\nUVWXYZabcdefghijklmnopqrstuvwxyz\n"
                          "begin 644 t.txt\n4O4JgP4w8\n+\nend\n");
    Outcome t = Extract(dir / "t.uue", dir / "t");
    EXPECT_TRUE(t.errors.empty());
    EXPECT_EQ(mvtest::ReadFileBytes(dir / "t" / "t.txt"),
              (std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o', '\n'}));
    // Over-long lines and a count larger than the line: bounded, no crash.
    std::string lines = "begin 644 l.bin\n_" + std::string(5000, 'A') + "\n_\nend\n";
    mvtest::WriteFileText(dir / "l.uue", lines);
    Extract(dir / "l.uue", dir / "l");
    EXPECT_EQ(mvtest::ReadFileBytes(dir / "l" / "l.bin").size(), 126u);
    // No "begin" at all.
    mvtest::WriteFileText(dir / "n.uue", "just text\n");
    EXPECT_FALSE(Extract(dir / "n.uue", dir / "n").errors.empty());
    EXPECT_TRUE(Tree(dir / "n").empty());
}

TEST(UnUue, PartNames) {
    TUUDecode r;
    EXPECT_EQ(r.PartName("dir/data.uue", 2), "dir/data.uu2");
    EXPECT_EQ(r.PartName("f.001", 2), "f.002");
    EXPECT_EQ(r.PartName("f.001", 12), "f.012");
    EXPECT_EQ(r.PartName("noext", 3), "noext3");
    r.SetNextVolumeName(TNextVolumeName::nvChangeFilename);
    r.SetVolumeLongFilenames(true);
    EXPECT_EQ(r.PartName("data.uue", 2), "dat2.uue");
}

TEST(UnUue, HostileFixture) {
    mvtest::TempDir dir;
    fs::create_directories(dir / "a" / "b");
    Outcome o = Extract(mvtest::FixtureDir() / "hostile" / "uue_traversal.uue", dir / "a" / "b");
    EXPECT_TRUE(fs::exists(dir / "a" / "b" / "evil.txt"));
    EXPECT_FALSE(fs::exists(dir / "evil.txt"));
    EXPECT_EQ(mvtest::ReadFileBytes(dir / "a" / "b" / "evil.txt").size(), 66u);
    EXPECT_NE(std::find(o.errors.begin(), o.errors.end(), 25168), o.errors.end());
}
