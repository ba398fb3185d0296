// The ARJ reader: every ARJ of the corpus, archives made in the test by arj
// (methods 0-4, garbled, volumes, Unix modes and dates, data in front), and
// wrong passwords, missing volumes and damaged headers.
#include "archive/readers/UnArj.h"
#include "archive/framework/ArcErrors.h"
#include "archive/readers/ReaderFactory.h"
#include "tests/archive/readers/ReaderTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sys/stat.h>

using namespace mv;
namespace fs = std::filesystem;

namespace {

using readertest::Outcome;
using readertest::Tree;

// handler: with an OnGetPassword handler that offers `password` once.
Outcome Extract(const fs::path& archive, const fs::path& dir, const std::string& password = {},
                bool handler = true, bool volumes = true) {
    TUnARJ reader;
    return readertest::Extract(reader, archive, dir,
                               {.password = password,
                                .volumes = volumes,
                                .ends = false,
                                .askWithoutPassword = handler,
                                .raisedAsError = true});
}

bool Has(const Outcome& o, int code) {
    return std::find(o.errors.begin(), o.errors.end(), code) != o.errors.end();
}

} // namespace

TEST(UnArj, CorpusByteExact) {
    int seen = 0;
    for (const auto& e : mvtest::ReadManifest()) {
        if (e.format != "arj" || e.path.size() < 4 || e.path.substr(e.path.size() - 4) != ".arj") continue;
        SCOPED_TRACE(e.path);
        mvtest::TempDir out;
        Outcome o = Extract(mvtest::CorpusDir() / e.path, out.Path(), e.password);
        EXPECT_TRUE(o.errors.empty());
        auto tree = Tree(out.Path());
        EXPECT_EQ(tree.size(), e.listing.size());
        for (const auto& m : e.listing) {
            SCOPED_TRACE(m.name);
            ASSERT_TRUE(tree.count(m.name));
            EXPECT_EQ(tree[m.name].size(), m.size);
            EXPECT_EQ(mvtest::ReferenceCrc32(tree[m.name].data(), tree[m.name].size()), m.crc);
        }
        ++seen;
    }
    EXPECT_GE(seen, 9);
}

TEST(UnArj, ArchivesFromArj) {
    MV_REQUIRE_TOOL("arj");
    mvtest::TempDir dir;
    fs::create_directories(dir / "src" / "sub");
    mvtest::WriteFileBytes(dir / "src" / "text.txt", mvtest::TextBytes(60000, 1));
    mvtest::WriteFileBytes(dir / "src" / "random.bin", mvtest::RandomBytes(20000, 2));
    mvtest::WriteFileBytes(dir / "src" / "empty.dat", {});
    mvtest::WriteFileBytes(dir / "src" / "sub" / "group.txt", mvtest::TextBytes(3000, 3));
    chmod((dir / "src" / "sub" / "group.txt").c_str(), 0664); // group-writable: not a folder
    mvtest::Run("touch -d '2011-03-13 07:06:40' text.txt", dir / "src");
    for (int method = 0; method <= 4; ++method) {
        for (bool garbled : {false, true}) {
            if (garbled && method != 0 && method != 1 && method != 4) continue;
            SCOPED_TRACE(std::to_string(method) + (garbled ? " garbled" : ""));
            std::string cmd = "arj a -r -y -m" + std::to_string(method) + (garbled ? " -gsecret" : "") +
                              " ../t.arj text.txt random.bin empty.dat sub/group.txt";
            fs::remove(dir / "t.arj");
            auto r = mvtest::Run(cmd, dir / "src");
            ASSERT_EQ(r.exitCode, 0) << r.output;
            mvtest::TempDir out;
            Outcome o = Extract(dir / "t.arj", out.Path(), garbled ? "secret" : "");
            EXPECT_TRUE(o.errors.empty());
            auto tree = Tree(out.Path());
            EXPECT_EQ(tree.size(), 4u);
            for (auto name : {"text.txt", "random.bin", "empty.dat", "sub/group.txt"})
                EXPECT_EQ(tree[name], mvtest::ReadFileBytes(dir / "src" / name)) << name;
            struct stat a, b;
            ASSERT_EQ(stat((dir / "src" / "text.txt").c_str(), &a), 0);
            ASSERT_EQ(stat((out / "text.txt").c_str(), &b), 0);
            EXPECT_LE(std::llabs(int64_t(a.st_mtime) - int64_t(b.st_mtime)), 2);
        }
    }
    // Wrong password: the CRC fails and 26517 follows; no handler: reported as protected.
    ASSERT_EQ(mvtest::Run("arj a -y -m1 -gsecret ../g.arj text.txt", dir / "src").exitCode, 0);
    mvtest::TempDir wrong;
    Outcome w = Extract(dir / "g.arj", wrong.Path(), "public");
    EXPECT_TRUE(Has(w, 26517));
    EXPECT_TRUE(Tree(wrong.Path()).empty());
    mvtest::TempDir none;
    Outcome n = Extract(dir / "g.arj", none.Path(), "", false);
    EXPECT_TRUE(Has(n, arcerr::PasswordProtected));
    EXPECT_TRUE(Tree(none.Path()).empty());
}

TEST(UnArj, VolumesAndMissingVolume) {
    MV_REQUIRE_TOOL("arj");
    mvtest::TempDir dir;
    auto big = mvtest::RandomBytes(25000, 5);
    mvtest::WriteFileBytes(dir / "big.bin", big);
    mvtest::WriteFileBytes(dir / "after.txt", mvtest::TextBytes(500, 6));
    auto r = mvtest::Run("arj a -m1 -v10K -y v.arj big.bin after.txt", dir.Path());
    ASSERT_TRUE(fs::exists(dir / "v.a01")) << r.output;
    ASSERT_TRUE(fs::exists(dir / "v.a02")) << r.output;
    mvtest::TempDir out;
    Outcome o = Extract(dir / "v.arj", out.Path());
    EXPECT_TRUE(o.errors.empty());
    EXPECT_EQ(mvtest::ReadFileBytes(out / "big.bin"), big);
    EXPECT_EQ(mvtest::ReadFileBytes(out / "after.txt"), mvtest::ReadFileBytes(dir / "after.txt"));
    // Without its last volume the split member is not put in place.
    fs::rename(dir / "v.a02", dir / "gone.a02");
    mvtest::TempDir cut;
    Extract(dir / "v.arj", cut.Path());
    EXPECT_FALSE(fs::exists(cut / "big.bin"));
}

TEST(UnArj, FoundBehindOtherDataAndDamage) {
    MV_REQUIRE_TOOL("arj");
    mvtest::TempDir dir;
    mvtest::WriteFileBytes(dir / "f.txt", mvtest::TextBytes(2000, 7));
    ASSERT_EQ(mvtest::Run("arj a -y -m1 a.arj f.txt", dir.Path()).exitCode, 0);
    auto arc = mvtest::ReadFileBytes(dir / "a.arj");
    for (size_t prefix : {size_t(24000), size_t(25100)}) {
        SCOPED_TRACE(prefix);
        std::vector<uint8_t> bytes(prefix, 0);
        bytes.insert(bytes.end(), arc.begin(), arc.end());
        mvtest::WriteFileBytes(dir / "p.arj", bytes);
        mvtest::TempDir out;
        Outcome o = Extract(dir / "p.arj", out.Path());
        if (prefix < 25000) {
            EXPECT_TRUE(o.errors.empty()) << o.errors.front();
            EXPECT_EQ(mvtest::ReadFileBytes(out / "f.txt"), mvtest::ReadFileBytes(dir / "f.txt"));
        } else {
            EXPECT_FALSE(o.errors.empty());
            EXPECT_TRUE(Tree(out.Path()).empty());
        }
    }
    // A damaged packed byte: CRC error 25151 and no file; a damaged local header: 25237.
    const size_t mainSize = 4 + (arc[2] | arc[3] << 8) + 4 + 2;
    auto data = arc;
    data[data.size() - 40] ^= 0x10;
    mvtest::WriteFileBytes(dir / "d.arj", data);
    mvtest::TempDir out;
    Outcome o = Extract(dir / "d.arj", out.Path());
    EXPECT_FALSE(o.errors.empty());
    EXPECT_FALSE(fs::exists(out / "f.txt"));
    auto header = arc;
    header[mainSize + 12] ^= 0x01;
    mvtest::WriteFileBytes(dir / "h.arj", header);
    mvtest::TempDir out2;
    EXPECT_TRUE(Has(Extract(dir / "h.arj", out2.Path()), 25237));
    // Cut in the middle of the packed data.
    auto cutArc = std::vector<uint8_t>(arc.begin(), arc.begin() + mainSize + 200);
    mvtest::WriteFileBytes(dir / "c.arj", cutArc);
    mvtest::TempDir out3;
    EXPECT_FALSE(Extract(dir / "c.arj", out3.Path()).errors.empty());
    EXPECT_TRUE(Tree(out3.Path()).empty());
}

TEST(UnArj, HostileFixture) {
    mvtest::TempDir dir;
    Outcome o = Extract(mvtest::FixtureDir() / "hostile" / "arj_truncated_huge.arj", dir.Path());
    EXPECT_TRUE(Has(o, 25236));
    EXPECT_TRUE(Tree(dir.Path()).empty());
}
