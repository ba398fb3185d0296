// The ACE reader against the corpus (ACE 1.0 and 2.0, solid, stored, encrypted, two
// volumes), through the reader table and mvarc; passwords, volumes, cancel, hostile
// names and damaged archives end with their error numbers and leave no file behind
// and nothing outside the target folder.
#include "archive/readers/UnAce.h"
#include "archive/framework/ArcErrors.h"
#include "archive/readers/ReaderFactory.h"
#include "tests/archive/readers/ReaderTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using namespace mv;
namespace fs = std::filesystem;

namespace {

using readertest::ExtractAll;
using readertest::Outcome;
using readertest::Tree;

// The corpus members' names, sizes and CRCs (the volumes of split.ace joined).
std::map<std::string, std::pair<uint64_t, uint32_t>> Expected(const std::string& rel) {
    std::map<std::string, std::pair<uint64_t, uint32_t>> out;
    for (const auto& e : mvtest::ReadManifest())
        if (e.path == rel || (rel == "ace/split.ace" && e.path == "ace/split.c00"))
            for (const auto& m : e.listing) {
                if (m.size == 0) continue;
                std::string name = m.name;
                std::replace(name.begin(), name.end(), '\\', '/');
                const size_t blank = name.rfind(' ');
                if (blank != std::string::npos) name = name.substr(blank + 1); // "(volume 2 entries) x"
                out[name] = {m.size, m.crc};
            }
    return out;
}

} // namespace

TEST(UnAce, CorpusExtractsByteExactly) {
    const fs::path src = mvtest::CorpusDir() / "ace";
    if (!fs::exists(src)) GTEST_SKIP() << "no corpus";
    for (const char* name : {"license1.ace", "license2.ace", "method1.ace", "method1_solid.ace",
                             "method2.ace", "method2_solid.ace", "store.ace", "split.ace", "encrypted.ace"}) {
        SCOPED_TRACE(name);
        mvtest::TempDir dir;
        const std::string rel = std::string("ace/") + name;
        Outcome o = ExtractAll(src / name, dir.Path(), {rel == "ace/encrypted.ace" ? "test" : ""});
        EXPECT_TRUE(o.errors.empty()) << o.errors[0];
        EXPECT_EQ(o.raised, 0);
        auto tree = Tree(dir.Path());
        auto want = Expected(rel);
        EXPECT_EQ(size_t(o.extracted), want.size());
        for (const auto& [member, sc] : want) {
            auto it = tree.find(member);
            ASSERT_NE(it, tree.end()) << member;
            EXPECT_EQ(it->second.size(), sc.first) << member;
            EXPECT_EQ(mvtest::ReferenceCrc32(it->second.data(), it->second.size()), sc.second) << member;
        }
        for (const auto& e : o.ends) EXPECT_TRUE(e.second) << e.first;
    }
}

TEST(UnAce, MvarcExtractsAndTests) {
    const fs::path src = mvtest::CorpusDir() / "ace";
    if (!fs::exists(src)) GTEST_SKIP() << "no corpus";
    mvtest::TempDir dir;
    auto r = mvtest::Run(mvtest::Quote(mvtest::MvarcPath()) + " extract " +
                         mvtest::Quote((src / "method2_solid.ace").string()) + " " +
                         mvtest::Quote(dir.Path().string()));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    auto bytes = mvtest::ReadFileBytes(dir / "exe" / "test.exe");
    EXPECT_EQ(mvtest::ReferenceCrc32(bytes.data(), bytes.size()), 0xcfb109c8u);
    r = mvtest::Run(mvtest::Quote(mvtest::MvarcPath()) + " test -p test " +
                    mvtest::Quote((src / "encrypted.ace").string()));
    EXPECT_EQ(r.exitCode, 0) << r.output;
}

TEST(UnAce, PasswordsWrongOrMissingEndWith26517AndKeepOldFiles) {
    const fs::path file = mvtest::CorpusDir() / "ace" / "encrypted.ace";
    if (!fs::exists(file)) GTEST_SKIP() << "no corpus";
    mvtest::TempDir dir;
    fs::create_directories(dir / "exe");
    mvtest::WriteFileText(dir / "exe" / "test.exe", "precious");
    Outcome o = ExtractAll(file, dir.Path(), {"wrong"});
    ASSERT_FALSE(o.errors.empty());
    EXPECT_EQ(o.errors.back(), 26517);
    auto bytes = mvtest::ReadFileBytes(dir / "exe" / "test.exe");
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "precious");
    EXPECT_EQ(Tree(dir.Path()).size(), 1u);
    mvtest::TempDir empty;
    o = ExtractAll(file, empty.Path());
    ASSERT_FALSE(o.errors.empty());
    EXPECT_EQ(o.errors.back(), 26517);
    EXPECT_TRUE(Tree(empty.Path()).empty());
}

TEST(UnAce, MissingVolumeEndsWith25172AndLeavesNoPartialFile) {
    const fs::path corpus = mvtest::CorpusDir() / "ace";
    if (!fs::exists(corpus)) GTEST_SKIP() << "no corpus";
    mvtest::TempDir src, dir;
    fs::copy_file(corpus / "split.ace", src / "split.ace");
    Outcome o = ExtractAll(src / "split.ace", dir.Path());
    EXPECT_EQ(o.raised, arcerr::FileNotFound);
    auto tree = Tree(dir.Path());
    EXPECT_EQ(tree.count("jpg/test.jpg"), 0u); // the split member is not left half-written
    // Without OnNextVolume the set ends at the volume change as well.
    fs::copy_file(corpus / "split.c00", src / "split.c00");
    mvtest::TempDir dir2;
    o = ExtractAll(src / "split.ace", dir2.Path(), {"", false});
    EXPECT_EQ(o.raised, arcerr::FileNotFound);
    EXPECT_EQ(Tree(dir2.Path()).count("jpg/test.jpg"), 0u);
}

TEST(UnAce, CancelStopsWithoutPartialFile) {
    const fs::path file = mvtest::CorpusDir() / "ace" / "method1.ace";
    if (!fs::exists(file)) GTEST_SKIP() << "no corpus";
    readertest::ExpectCancelLeavesNothing(file);
}

TEST(UnAce, HostileNamesStayInsideTheTarget) {
    readertest::ExpectHostileNamesStayInside({"ace_dotdot_name.ace", "ace_absolute_name.ace"});
}

TEST(UnAce, DamagedArchivesEndWithErrors) {
    readertest::ExpectDamagedEndWithErrors({
        {"ace_huge_sizes.ace", 25236},
        {"ace_bad_header_crc.ace", 25108},
        {"ace_truncated_lz77.ace", 25236},
    });
}
