// The ZOO reader: the corpus, and archives built here entry by entry with
// stored, LZW (the test encoder) and LZH (our -lh5- encoder) members, a deleted
// entry, long names, directories and hostile chains; lsar checks what is built.
#include "archive/readers/UnZoo.h"
#include "archive/codecs/LzhEncode.h"
#include "tests/archive/codecs/ZooLzdEncoder.h"
#include "tests/archive/readers/UnArcTestSupport.h"

using namespace oldarc;

namespace {

struct ZooMember {
    std::string shortName, longName, dir;
    uint8_t method;
    std::vector<uint8_t> plain;
    bool deleted = false;
    std::vector<uint8_t> packed = {}; // filled by BuildZoo when empty
};

std::vector<uint8_t> Lh5(const std::vector<uint8_t>& d) {
    mv::MemoryInput in(d);
    mv::MemoryOutput out;
    mv::Lzh5Compress(in, out);
    return out.bytes;
}

std::vector<uint8_t> BuildZoo(std::vector<ZooMember> ms) {
    std::vector<uint8_t> a(42, 0);
    const char* text = "ZOO 2.10 Archive.\x1a";
    std::copy(text, text + 18, a.begin());
    auto set32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) a[at + i] = uint8_t(v >> (8 * i));
    };
    set32(20, 0xFDC4A7DC);
    set32(24, 42);
    set32(28, uint32_t(-42));
    a[32] = 2;
    for (auto& m : ms) {
        if (m.packed.empty())
            m.packed = m.method == 0 ? m.plain : m.method == 1 ? zootest::LzdEncode(m.plain) : Lh5(m.plain);
        const size_t at = a.size();
        std::vector<uint8_t> e;
        Put32(e, 0xFDC4A7DC);
        e.push_back(2);
        e.push_back(m.method);
        Put32(e, 0); // next, set below
        Put32(e, 0); // data offset, set below
        Put16(e, 0x5A21);
        Put16(e, 0x6000);
        Put16(e, RefCrc16(m.plain));
        Put32(e, uint32_t(m.plain.size()));
        Put32(e, uint32_t(m.packed.size()));
        e.push_back(2);
        e.push_back(m.method == 2 ? 1 : 0);
        e.push_back(m.deleted ? 1 : 0);
        e.push_back(0);
        Put32(e, 0);
        Put16(e, 0);
        for (size_t i = 0; i < 13; ++i) e.push_back(i < m.shortName.size() ? uint8_t(m.shortName[i]) : 0);
        const size_t nl = m.longName.empty() ? 0 : m.longName.size() + 1;
        const size_t dl = m.dir.empty() ? 0 : m.dir.size() + 1;
        Put16(e, uint32_t(nl + dl + 2));
        e.push_back(127);
        Put16(e, 0);
        e.push_back(uint8_t(nl));
        e.push_back(uint8_t(dl));
        if (nl) {
            e.insert(e.end(), m.longName.begin(), m.longName.end());
            e.push_back(0);
        }
        if (dl) {
            e.insert(e.end(), m.dir.begin(), m.dir.end());
            e.push_back(0);
        }
        e.push_back(0); // system id
        e.push_back(0);
        const uint32_t data = uint32_t(at + e.size());
        const uint32_t next = uint32_t(data + m.packed.size());
        for (int i = 0; i < 4; ++i) {
            e[6 + i] = uint8_t(next >> (8 * i));
            e[10 + i] = uint8_t(data >> (8 * i));
        }
        a.insert(a.end(), e.begin(), e.end());
        a.insert(a.end(), m.packed.begin(), m.packed.end());
    }
    // the last entry: tag, next 0
    std::vector<uint8_t> last(58, 0);
    for (int i = 0; i < 4; ++i) last[i] = uint8_t(0xFDC4A7DCu >> (8 * i));
    last[4] = 2;
    a.insert(a.end(), last.begin(), last.end());
    return a;
}

} // namespace

TEST(UnZoo, CorpusExtractsByteExactly) {
    const auto rows = CorpusRows("zoo");
    ASSERT_FALSE(rows.empty());
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        mvtest::TempDir dir;
        Outcome o = ExtractAll(mvtest::CorpusDir() / row.path, dir.Path());
        ASSERT_TRUE(o.opened);
        EXPECT_TRUE(o.errors.empty());
        auto tree = Tree(dir.Path());
        ASSERT_EQ(tree.size(), row.listing.size());
        for (const auto& [stored, size, crc] : row.listing) {
            // a stored ".." directory stays inside the target
            const std::string name = fs::path(stored).filename().string();
            ASSERT_TRUE(tree.count(name)) << name;
            EXPECT_EQ(tree[name].size(), size);
            EXPECT_EQ(mvtest::ReferenceCrc32(tree[name].data(), tree[name].size()), crc);
        }
    }
}

TEST(UnZoo, BuiltArchivesExtractByteExactly) {
    const auto text = mvtest::TextBytes(60000, 11);
    const auto small = mvtest::TextBytes(700, 12);
    std::vector<ZooMember> ms = {
        {"OLD.TXT", "", "", 0, {'o', 'l', 'd'}, true},
        {"STORED.TXT", "", "", 0, small},
        {"LZW.TXT", "", "", 1, text},
        {"LZH.TXT", "", "", 2, text},
        {"LONGNA~1.TXT", "long name.txt", "sub/dir", 1, small},
        {"OLD.TXT", "", "", 0, {'n', 'e', 'w'}},
    };
    mvtest::TempDir dir;
    const auto archive = dir / "t.zoo";
    mvtest::WriteFileBytes(archive, BuildZoo(ms));
    mvtest::TempDir out;
    Outcome o = ExtractAll(archive, out.Path());
    EXPECT_TRUE(o.errors.empty());
    auto tree = Tree(out.Path());
    EXPECT_EQ(tree.size(), 5u);
    EXPECT_EQ(tree["STORED.TXT"], small);
    EXPECT_EQ(tree["LZW.TXT"], text);
    EXPECT_EQ(tree["LZH.TXT"], text);
    EXPECT_EQ(tree["sub/dir/long name.txt"], small);
    EXPECT_EQ(tree["OLD.TXT"], (std::vector<uint8_t>{'n', 'e', 'w'})); // the deleted generation stays out
    if (mvtest::RequireTool("lsar")) {
        auto r = mvtest::Run("lsar -t " + mvtest::Quote(archive.string()));
        EXPECT_EQ(r.exitCode, 0) << r.output;
    }
    // An archive whose first entry is the last one: no members, no error.
    mvtest::WriteFileBytes(dir / "empty.zoo", BuildZoo({}));
    mvtest::TempDir none;
    o = ExtractAll(dir / "empty.zoo", none.Path());
    EXPECT_TRUE(o.errors.empty());
    EXPECT_TRUE(Tree(none.Path()).empty());
}

TEST(UnZoo, DamagedAndHostileArchives) {
    mvtest::TempDir dir;
    {
        // An unknown method: 25326, the next member still extracts.
        ZooMember odd{"ODD.TXT", "", "", 7, {'x'}};
        odd.packed = {'x'};
        mvtest::WriteFileBytes(dir / "m.zoo", BuildZoo({odd, {"OK.TXT", "", "", 0, {'k'}}}));
        mvtest::TempDir out;
        Outcome o = ExtractAll(dir / "m.zoo", out.Path());
        EXPECT_EQ(o.errors, std::vector<int>{25326});
        EXPECT_EQ(Tree(out.Path()).size(), 1u);
    }
    {
        // Truncated LZW data: a failed check, no file.
        auto a = BuildZoo({{"CUT.TXT", "", "", 1, mvtest::TextBytes(8000, 1)}});
        mvtest::WriteFileBytes(dir / "cut.zoo", std::vector<uint8_t>(a.begin(), a.end() - 58 - 2000));
        mvtest::TempDir out;
        Outcome o = ExtractAll(dir / "cut.zoo", out.Path());
        EXPECT_TRUE(Tree(out.Path()).empty());
        ASSERT_FALSE(o.ends.empty());
        EXPECT_FALSE(o.ends[0].second);
    }
    const auto fixtures = mvtest::FixtureDir() / "hostile";
    {
        // An entry whose next offset points back at itself: the walk ends with 25108.
        mvtest::TempDir out;
        Outcome o = ExtractAll(fixtures / "zoo_loop.zoo", out.Path());
        ASSERT_FALSE(o.errors.empty());
        EXPECT_EQ(o.errors.back(), 25108);
        EXPECT_EQ(Tree(out.Path()).size(), 1u);
    }
    {
        // Directory "../../x" and long name "../evil.txt": extracted inside the target.
        mvtest::TempDir out;
        Outcome o = ExtractAll(fixtures / "zoo_traversal.zoo", out.Path());
        auto tree = Tree(out.Path());
        ASSERT_EQ(tree.size(), 1u);
        EXPECT_EQ(tree.begin()->first, "x/evil.txt");
    }
}
