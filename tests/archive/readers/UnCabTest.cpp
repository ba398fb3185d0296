// The CAB reader against the corpus (none, MSZIP, LZX, Quantum, the five-cabinet
// set) and gcab cabinets, through the reader table; a single FileSpec, a refused
// next cabinet, traversal names and damaged cabinets.
#include "archive/readers/UnCab.h"
#include "archive/framework/ArcErrors.h"
#include "archive/readers/ReaderFactory.h"
#include "tests/archive/readers/ReaderTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <map>

using namespace mv;
namespace fs = std::filesystem;

namespace {

using readertest::Outcome;
using readertest::Tree;

// Every member through the reader table; without `volumes` no OnNextVolume handler.
Outcome ExtractAll(const fs::path& archive, const fs::path& dir, bool volumes = true,
                   std::vector<std::string> spec = {"*.*"}) {
    return readertest::ExtractAll(archive, dir, {.password = {}, .volumes = volumes, .ends = false, .spec = std::move(spec)});
}

TEST(UnCab, CorpusExtractsByteExactly) {
    int checked = 0;
    for (const auto& e : mvtest::ReadManifest()) {
        if (e.format != "cab" || e.listing.empty()) continue;
        SCOPED_TRACE(e.path);
        mvtest::TempDir dir;
        Outcome o = ExtractAll(mvtest::CorpusDir() / e.path, dir.Path());
        EXPECT_TRUE(o.errors.empty());
        EXPECT_EQ(o.raised, 0);
        auto tree = Tree(dir.Path());
        EXPECT_EQ(tree.size(), e.listing.size());
        for (const auto& m : e.listing) {
            auto it = tree.find(m.name);
            ASSERT_NE(it, tree.end()) << m.name;
            EXPECT_EQ(it->second.size(), m.size) << m.name;
            EXPECT_EQ(mvtest::ReferenceCrc32(it->second.data(), it->second.size()), m.crc) << m.name;
        }
        ++checked;
    }
    EXPECT_GE(checked, 5);
}

TEST(UnCab, GcabCabinetsExtract) {
    MV_REQUIRE_TOOL("gcab");
    mvtest::TempDir dir;
    fs::create_directories(dir / "in/sub");
    auto a = mvtest::TextBytes(90000, 1), b = mvtest::RandomBytes(40000, 2);
    mvtest::WriteFileBytes(dir / "in/a.txt", a);
    mvtest::WriteFileBytes(dir / "in/sub/b.bin", b);
    auto r = mvtest::Run("gcab -c -z z.cab in/a.txt in/sub/b.bin", dir.Path());
    ASSERT_EQ(r.exitCode, 0) << r.output;
    Outcome o = ExtractAll(dir / "z.cab", dir / "out");
    EXPECT_TRUE(o.errors.empty());
    auto tree = Tree(dir / "out");
    EXPECT_EQ(tree["in/a.txt"], a);
    EXPECT_EQ(tree["in/sub/b.bin"], b);
}

TEST(UnCab, SingleFileSpecAndRefusedNextCabinet) {
    mvtest::TempDir dir;
    Outcome o = ExtractAll(mvtest::CorpusDir() / "cab/mszip_lzx_quantum.cab", dir / "one", true, {"qtm.txt"});
    EXPECT_EQ(o.extracted, 1);
    EXPECT_EQ(Tree(dir / "one").size(), 1u);
    // Without a next cabinet the spanning member fails and leaves nothing behind.
    o = ExtractAll(mvtest::CorpusDir() / "cab/split-1.cab", dir / "set", false);
    EXPECT_FALSE(o.errors.empty());
    for (auto& [name, bytes] : Tree(dir / "set")) EXPECT_NE(name, "medium1.bin") << "partial output kept";
}

TEST(UnCab, NotACabinetIsReported) {
    mvtest::TempDir dir;
    std::vector<uint8_t> bad = {'M', 'S', 'C', 'F', 0, 0, 0, 0};
    bad.resize(40, 0);
    bad[25] = 9; // unknown major version
    mvtest::WriteFileBytes(dir / "bad.cab", bad);
    TUnCAB reader;
    reader.SetArchiveFile((dir / "bad.cab").string());
    reader.SetExtractDir((dir / "out").string());
    reader.FileSpecList() = {"*.*"};
    std::vector<int> errors;
    reader.OnError = [&](TObject*, const std::string&, const std::string&, const std::string&, int code) {
        errors.push_back(code);
    };
    try {
        reader.Extract();
    } catch (const E_RAISE&) {
    }
    EXPECT_FALSE(errors.empty());
    EXPECT_FALSE(fs::exists(dir / "out") && !fs::is_empty(dir / "out"));
}

} // namespace
