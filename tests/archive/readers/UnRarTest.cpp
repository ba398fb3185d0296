// The RAR reader against the corpus (every RAR generation, solid, volumes, AES data
// and headers), through the reader table and mvarc; passwords, volumes, cancel,
// hostile names and damaged archives end with their error numbers and leave no
// file behind and nothing outside the target folder.
#include "archive/readers/UnRar.h"
#include "archive/framework/ArcErrors.h"
#include "archive/readers/ReaderFactory.h"
#include "tests/archive/readers/ReaderTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>

using namespace mv;
namespace fs = std::filesystem;

namespace {

using readertest::ExtractAll;
using readertest::Outcome;
using readertest::Tree;

struct RarRow {
    std::string path, password;
    std::vector<std::tuple<std::string, uint64_t, uint32_t>> listing;
};

// The RAR rows of the corpus manifest.
std::vector<RarRow> RarRows() {
    std::vector<RarRow> rows;
    std::ifstream in(mvtest::CorpusDir() / "MANIFEST.tsv");
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> c;
        std::stringstream ss(line);
        std::string cell;
        while (std::getline(ss, cell, '\t')) c.push_back(cell);
        if (c.size() < 10 || c[0].rfind("rar/", 0) != 0) continue;
        RarRow row{c[0], c[6], {}};
        std::stringstream ls(c[9]);
        std::string item;
        while (std::getline(ls, item, ';')) {
            while (!item.empty() && item.front() == ' ') item.erase(item.begin());
            size_t p2 = item.rfind('|');
            if (p2 == std::string::npos || p2 == 0) continue;
            size_t p1 = item.rfind('|', p2 - 1);
            if (p1 == std::string::npos) continue;
            row.listing.emplace_back(item.substr(0, p1), std::stoull(item.substr(p1 + 1, p2 - p1 - 1)),
                                     uint32_t(std::stoul(item.substr(p2 + 1), nullptr, 16)));
        }
        rows.push_back(row);
    }
    return rows;
}

} // namespace

// Every RAR of the corpus that the type detection places extracts byte-exactly;
// the members enciphered with the RAR 2.0 cipher end with 25290.
TEST(UnRar, CorpusExtractsByteExactly) {
    int archives = 0;
    for (const auto& row : RarRows()) {
        if (row.listing.empty() || row.path.find(".exe") != std::string::npos) continue;
        SCOPED_TRACE(row.path);
        ++archives;
        mvtest::TempDir dir;
        mvtest::TempDir src;
        // Volumes are taken from beside the first one.
        for (auto& e : fs::directory_iterator(mvtest::CorpusDir() / "rar"))
            fs::copy_file(e.path(), src / e.path().filename().string());
        Outcome o = ExtractAll(src / fs::path(row.path).filename(), dir.Path(), {row.password});
        auto tree = Tree(dir.Path());
        if (row.path.find("rar20_psw") != std::string::npos) {
            EXPECT_EQ(o.extracted, 0);
            EXPECT_TRUE(tree.empty());
            ASSERT_FALSE(o.errors.empty());
            EXPECT_EQ(o.errors[0], arcerr::PasswordProtected);
            continue;
        }
        EXPECT_TRUE(o.errors.empty()) << o.errors[0];
        EXPECT_EQ(o.raised, 0);
        EXPECT_EQ(size_t(o.extracted), row.listing.size());
        for (const auto& [name, size, crc] : row.listing) {
            auto it = tree.find(name);
            ASSERT_NE(it, tree.end()) << name;
            EXPECT_EQ(it->second.size(), size) << name;
            uint32_t got = mvtest::ReferenceCrc32(it->second.data(), it->second.size());
            // rar5_psw lists the keyed form of the CRC; its data is the same as the others'.
            uint32_t want = row.path.find("rar5_psw") == std::string::npos ? crc : 0xc5b7e6a2u;
            EXPECT_EQ(got, want) << name;
        }
        for (const auto& e : o.ends) EXPECT_TRUE(e.second) << e.first;
    }
    EXPECT_GE(archives, 12);
}

// mvarc extract and test take RAR archives.
TEST(UnRar, MvarcExtractsAndTests) {
    mvtest::TempDir dir;
    auto r = mvtest::Run(mvtest::Quote(mvtest::MvarcPath()) + " extract " +
                         mvtest::Quote((mvtest::CorpusDir() / "rar/rar2x_sc.rar").string()) + " " +
                         mvtest::Quote(dir.Path().string()));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    auto bytes = mvtest::ReadFileBytes(dir / "exe" / "test.exe");
    EXPECT_EQ(mvtest::ReferenceCrc32(bytes.data(), bytes.size()), 0xcfb109c8u);
    r = mvtest::Run(mvtest::Quote(mvtest::MvarcPath()) + " test -p password " +
                    mvtest::Quote((mvtest::CorpusDir() / "rar/rar5_hpsw.rar").string()));
    EXPECT_EQ(r.exitCode, 0) << r.output;
}

TEST(UnRar, PasswordsWrongOrMissingEndWith26517AndKeepOldFiles) {
    mvtest::TempDir dir;
    mvtest::WriteFileText(dir / "stest1.txt", "precious");
    // A wrong answer: the member fails, the old file stays.
    Outcome o = ExtractAll(mvtest::CorpusDir() / "rar/rar5_psw.rar", dir.Path(), {"wrong"});
    ASSERT_FALSE(o.errors.empty());
    EXPECT_EQ(o.errors.back(), 26517);
    auto bytes = mvtest::ReadFileBytes(dir / "stest1.txt");
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "precious");
    EXPECT_EQ(Tree(dir.Path()).size(), 1u);
    // No handler at all: 26517 as well, nothing written.
    mvtest::TempDir empty;
    o = ExtractAll(mvtest::CorpusDir() / "rar/rar3_hpsw.rar", empty.Path());
    ASSERT_FALSE(o.errors.empty());
    EXPECT_EQ(o.errors.back(), 26517);
    EXPECT_TRUE(Tree(empty.Path()).empty());
}

TEST(UnRar, MissingVolumeEndsWith25135AndLeavesNoFile) {
    mvtest::TempDir src, dir;
    fs::copy_file(mvtest::CorpusDir() / "rar/rar3_vols.part1.rar", src / "rar3_vols.part1.rar");
    Outcome o = ExtractAll(src / "rar3_vols.part1.rar", dir.Path());
    EXPECT_EQ(o.raised, 25135);
    EXPECT_TRUE(Tree(dir.Path()).empty());
    // Without OnNextVolume the set ends at the first volume change too.
    for (const char* p : {"rar3_vols.part2.rar", "rar3_vols.part3.rar"})
        fs::copy_file(mvtest::CorpusDir() / "rar" / p, src / p);
    o = ExtractAll(src / "rar3_vols.part1.rar", dir.Path(), {"", false});
    EXPECT_EQ(o.raised, 25135);
    EXPECT_TRUE(Tree(dir.Path()).empty());
}

TEST(UnRar, CancelStopsWithoutPartialFile) {
    readertest::ExpectCancelLeavesNothing(mvtest::CorpusDir() / "rar/rar15_sc.rar");
}

// Names that climb out of the target or are absolute land inside it.
TEST(UnRar, HostileNamesStayInsideTheTarget) {
    readertest::ExpectHostileNamesStayInside({"rar4_dotdot_name.rar", "rar4_absolute_name.rar"});
}

// Damaged and hostile archives end with error numbers and leave no partial file.
TEST(UnRar, DamagedArchivesEndWithErrors) {
    readertest::ExpectDamagedEndWithErrors({
        {"rar4_huge_sizes.rar", 25236},
        {"rar29_bomb_truncated.rar", 25108},
        {"rar5_huge_dictionary.rar", 25108},
        {"rar4_header_size_zero.rar", 25108},
    });
}
