// The ARC/PAK reader: the corpus, archives made here by arc (every method it
// writes) checked against nomarch, hand-made archives for the forms no tool
// here writes (the 25-byte stored header, crunched methods, PAK directories),
// and damaged or hostile archives.
#include "archive/readers/UnArc.h"
#include "tests/archive/codecs/ArcCrunchEncoder.h"
#include "tests/archive/readers/UnArcTestSupport.h"

#include <set>

using namespace oldarc;

namespace {

// One member of a hand-made archive.
struct Member {
    std::string name;
    uint8_t method;
    std::vector<uint8_t> packed;
    std::vector<uint8_t> plain;
};

std::vector<uint8_t> Header(uint8_t method, const std::string& name, uint32_t packed, uint16_t crc,
                            uint32_t unpacked) {
    std::vector<uint8_t> h = {0x1A, method};
    for (size_t i = 0; i < 13; ++i) h.push_back(i < name.size() ? uint8_t(name[i]) : 0);
    Put32(h, packed);
    Put16(h, 0x5A21); // 2025-01-01
    Put16(h, 0x6000); // 12:00
    Put16(h, crc);
    if (method != 1) Put32(h, unpacked);
    return h;
}

std::vector<uint8_t> Build(const std::vector<Member>& members) {
    std::vector<uint8_t> a;
    for (const auto& m : members) {
        if (m.method == 31) {
            a.insert(a.end(), {0x1A, 0x1F});
            continue;
        }
        const auto h =
            Header(m.method, m.name, uint32_t(m.packed.size()), RefCrc16(m.plain), uint32_t(m.plain.size()));
        a.insert(a.end(), h.begin(), h.end());
        a.insert(a.end(), m.packed.begin(), m.packed.end());
    }
    a.insert(a.end(), {0x1A, 0x00});
    return a;
}

// The method byte of each header of an archive, in order.
std::vector<int> Methods(const std::vector<uint8_t>& a) {
    std::vector<int> out;
    size_t p = 0;
    while (p + 29 <= a.size() && a[p] == 0x1A && a[p + 1] != 0) {
        out.push_back(a[p + 1]);
        const uint32_t packed = a[p + 15] | a[p + 16] << 8 | a[p + 17] << 16 | uint32_t(a[p + 18]) << 24;
        p += (a[p + 1] == 1 ? 25 : 29) + packed;
    }
    return out;
}

} // namespace

TEST(UnArc, CorpusExtractsByteExactlyOrReportsMethod) {
    const auto rows = CorpusRows("arc");
    ASSERT_FALSE(rows.empty());
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        mvtest::TempDir dir;
        Outcome o = ExtractAll(mvtest::CorpusDir() / row.path, dir.Path());
        ASSERT_TRUE(o.opened);
        auto tree = Tree(dir.Path(), true);
        if (row.path.find("encrypted") != std::string::npos) {
            // ARC's password garbling carries no flag: it shows as a CRC failure.
            EXPECT_TRUE(tree.empty());
            ASSERT_EQ(o.ends.size(), 1u);
            EXPECT_FALSE(o.ends[0].second);
            continue;
        }
        if (row.path.find("default") != std::string::npos || row.path.find("crushed") != std::string::npos ||
            row.path.find("pak100") != std::string::npos) {
            // PAK's crushed (10) and distilled (11) methods: an archive that opens
            // with them is a type the readers refuse (25242); inside an ARC they are 25326.
            EXPECT_TRUE(tree.empty());
            ASSERT_FALSE(o.errors.empty());
            for (int e : o.errors) EXPECT_TRUE(e == mv::arcerr::UnknownMethod || e == 25242) << e;
            continue;
        }
        EXPECT_TRUE(o.errors.empty());
        ASSERT_EQ(tree.size(), row.listing.size());
        for (const auto& [stored, size, crc] : row.listing) {
            std::string name = stored;
            for (auto& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            ASSERT_TRUE(tree.count(name)) << name;
            const auto& d = tree[name];
            EXPECT_EQ(d.size(), size) << name;
            EXPECT_EQ(mvtest::ReferenceCrc32(d.data(), d.size()), crc) << name;
        }
    }
}

TEST(UnArc, ArcMadeArchivesMatchNomarch) {
    MV_REQUIRE_TOOL("arc");
    MV_REQUIRE_TOOL("nomarch");
    mvtest::TempDir src;
    std::map<std::string, std::vector<uint8_t>> files;
    files["TEXT.TXT"] = mvtest::TextBytes(30000, 1);
    files["RUNS.DAT"] = std::vector<uint8_t>(250, 'A');
    {
        // skewed random bytes: squeezing pays, LZW does not
        auto r = mvtest::RandomBytes(6000, 5);
        for (auto& b : r) b = uint8_t((b & 0x7) == 0 ? b : b & 3);
        files["SKEW.BIN"] = r;
    }
    files["RAND.BIN"] = mvtest::RandomBytes(3000, 9);
    files["EMPTY.TXT"] = {};
    std::string names;
    for (const auto& [n, d] : files) {
        mvtest::WriteFileBytes(src / n, d);
        names += " " + n;
    }
    std::set<int> seen;
    for (const std::string cmd : {"a", "aq", "as"}) {
        SCOPED_TRACE(cmd);
        const auto archive = src / ("T" + cmd + ".ARC");
        auto r = mvtest::Run("arc " + cmd + " " + mvtest::Quote(archive.string()) + names + " </dev/null",
                             src.Path());
        ASSERT_TRUE(fs::exists(archive)) << r.output;
        for (int m : Methods(mvtest::ReadFileBytes(archive))) seen.insert(m);
        mvtest::TempDir out, peer;
        Outcome o = ExtractAll(archive, out.Path());
        EXPECT_TRUE(o.errors.empty());
        auto tree = Tree(out.Path());
        mvtest::Run("nomarch " + mvtest::Quote(archive.string()) + " >/dev/null 2>&1", peer.Path());
        auto peerTree = Tree(peer.Path(), true);
        for (const auto& [n, d] : files) {
            EXPECT_EQ(tree[n], d) << n;
            std::string lower = n;
            for (auto& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (peerTree.count(lower)) {
                EXPECT_EQ(peerTree[lower], tree[n]) << n;
            } else {
                EXPECT_TRUE(d.empty()) << n;
            }
        }
    }
    for (int m : {2, 3, 4, 8, 9}) EXPECT_TRUE(seen.count(m)) << "method " << m;
}

TEST(UnArc, HandMadeFormsNoToolWrites) {
    const auto text = mvtest::TextBytes(9000, 4);
    std::vector<Member> ms;
    ms.push_back({"OLD.TXT", 1, {'o', 'l', 'd'}, {'o', 'l', 'd'}});
    for (uint8_t method : {5, 6, 7}) {
        const std::string name = "CR" + std::to_string(method) + ".TXT";
        ms.push_back({name, method, arctest::Crunch(text, method), text});
    }
    ms.push_back({"SUB", 30, {}, {}});
    ms.push_back({"DEEP", 30, {}, {}});
    ms.push_back({"IN.TXT", 2, {'i', 'n'}, {'i', 'n'}});
    ms.push_back({"", 31, {}, {}});
    ms.push_back({"MID.TXT", 3, {'m', 0x90, 0, 'x', 0x90, 3}, {'m', 0x90, 'x', 'x', 'x'}});
    ms.push_back({"", 31, {}, {}});
    ms.push_back({"TOP.TXT", 4, {0, 0}, {}});
    ms.push_back({"CRUSH.TXT", 10, {'c'}, {'c'}}); // PAK's crushed method: 25326, the walk goes on
    ms.push_back({"LAST.TXT", 2, {'l'}, {'l'}});
    mvtest::TempDir dir;
    const auto archive = dir / "HAND.ARC";
    mvtest::WriteFileBytes(archive, Build(ms));
    mvtest::TempDir out;
    Outcome o = ExtractAll(archive, out.Path());
    EXPECT_EQ(o.errors, std::vector<int>{mv::arcerr::UnknownMethod});
    auto tree = Tree(out.Path());
    EXPECT_TRUE(tree.count("LAST.TXT"));
    EXPECT_EQ(tree["OLD.TXT"], (std::vector<uint8_t>{'o', 'l', 'd'}));
    for (int m : {5, 6, 7}) EXPECT_EQ(tree["CR" + std::to_string(m) + ".TXT"], text) << m;
    EXPECT_EQ(tree["SUB/DEEP/IN.TXT"], (std::vector<uint8_t>{'i', 'n'}));
    EXPECT_EQ(tree["SUB/MID.TXT"], (std::vector<uint8_t>{'m', 0x90, 'x', 'x', 'x'}));
    EXPECT_TRUE(tree.count("TOP.TXT"));
    EXPECT_EQ(tree.size(), 8u);
    if (mvtest::HaveTool("arc")) {
        // The crunched members made here are the ones arc itself reads.
        mvtest::TempDir peer;
        std::vector<Member> crunched(ms.begin() + 1, ms.begin() + 4);
        mvtest::WriteFileBytes(peer / "CR.ARC", Build(crunched));
        auto r = mvtest::Run("arc x CR.ARC </dev/null", peer.Path());
        for (int m : {5, 6, 7})
            EXPECT_EQ(mvtest::ReadFileBytes(peer / ("CR" + std::to_string(m) + ".TXT")), text)
                << m << r.output;
    }
}

TEST(UnArc, HostileArchivesStayInsideAndEnd) {
    mvtest::TempDir dir;
    const auto fixtures = mvtest::FixtureDir() / "hostile";
    {
        // PAK directory "..", stored member: lands inside the target.
        mvtest::TempDir out;
        Outcome o = ExtractAll(fixtures / "arc_traversal.arc", out.Path());
        auto tree = Tree(out.Path());
        EXPECT_EQ(tree.size(), 1u);
        EXPECT_TRUE(tree.count("EVIL.TXT"));
        EXPECT_FALSE(fs::exists(out.Path().parent_path() / "EVIL.TXT"));
    }
    {
        // A packed size of 0xFFFFFFFF: the walk ends, the member fails its check.
        mvtest::TempDir out;
        Outcome o = ExtractAll(fixtures / "arc_huge_packed.arc", out.Path());
        EXPECT_TRUE(Tree(out.Path()).empty());
        ASSERT_EQ(o.ends.size(), 1u);
        EXPECT_FALSE(o.ends[0].second);
    }
    {
        // Squeezed member with a child index beyond its nodes: 25152.
        mvtest::TempDir out;
        Outcome o = ExtractAll(fixtures / "arc_bad_squeeze.arc", out.Path());
        EXPECT_TRUE(Tree(out.Path()).empty());
        ASSERT_FALSE(o.errors.empty());
        EXPECT_EQ(o.errors[0], 25152);
    }
    {
        // Truncated crunched data: the archive cut short (25236), a CRC failure
        // (25151 without an OnEnd handler), no file.
        auto a =
            Build({{"T.TXT", 6, arctest::Crunch(mvtest::TextBytes(4000, 2), 6), mvtest::TextBytes(4000, 2)}});
        a.resize(a.size() / 2);
        mvtest::WriteFileBytes(dir / "CUT.ARC", a);
        mvtest::TempDir out;
        Options opt;
        opt.endHandler = false;
        Outcome o = ExtractAll(dir / "CUT.ARC", out.Path(), opt);
        EXPECT_TRUE(Tree(out.Path()).empty());
        EXPECT_EQ(o.errors, (std::vector<int>{25236, 25151}));
    }
}
