// Writer faults found by outside testing, through mvarc: deleting by name
// compares whole stored paths; a tar.gz keeps its name and its entries.
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace mvtest;

namespace {

std::string Mvarc() { return Quote(MvarcPath()); }

// The stored names mvarc lists, in order.
std::vector<std::string> Names(const fs::path& archive) {
    const auto r = mvtest::Run(Mvarc() + " list " + Quote(archive.string()));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    std::vector<std::string> names;
    std::istringstream in(r.output);
    std::string line;
    while (std::getline(in, line)) {
        const std::string name = line.substr(0, line.find('\t'));
        if (name != "total" && !name.empty() && line.find('\t') != std::string::npos) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(WriterDelete, NameWithoutFolderTakesOnlyTheTopLevelEntry) {
    for (const std::string type : {"zip", "lha", "tar", "bh", "cab"}) {
        SCOPED_TRACE(type);
        TempDir t;
        WriteFileText(t / "src" / "a.txt", "top level\n");
        WriteFileText(t / "src" / "b.txt", "another\n");
        WriteFileText(t / "src" / "dir" / "a.txt", "in a folder\n");
        const std::string ext = type == "lha" ? "lzh" : type;
        const fs::path archive = t / ("x." + ext);
        auto r = mvtest::Run(Mvarc() + " add " + Quote(archive.string()) + " -t " + type + " -r '*'", t / "src");
        ASSERT_EQ(r.exitCode, 0) << r.output;
        ASSERT_EQ(Names(archive), (std::vector<std::string>{"a.txt", "b.txt", "dir/a.txt"}));
        r = mvtest::Run(Mvarc() + " delete " + Quote(archive.string()) + " a.txt");
        EXPECT_EQ(r.exitCode, 0) << r.output;
        EXPECT_NE(r.output.find("1 deleted"), std::string::npos) << r.output;
        EXPECT_EQ(Names(archive), (std::vector<std::string>{"b.txt", "dir/a.txt"}));
    }
}

} // namespace

// A tar.gz keeps its name, and adding to an existing one never replaces it by
// the new files alone: it is refused and the old file stays byte for byte.
TEST(WriterTarGz, KeepsItsNameAndIsNeverReplacedByTheNewFilesAlone) {
    MV_REQUIRE_TOOL("tar");
    for (const std::string name : {"x.tgz", "x.tar.gz"}) {
        SCOPED_TRACE(name);
        TempDir t;
        WriteFileText(t / "one.txt", "one\n");
        WriteFileText(t / "two.txt", "two\n");
        const fs::path archive = t / name;
        auto r = mvtest::Run(Mvarc() + " add " + Quote(archive.string()) + " -t tgz one.txt", t.Path());
        ASSERT_EQ(r.exitCode, 0) << r.output;
        EXPECT_FALSE(fs::exists(t / (name + ".gz")));
        r = mvtest::Run("tar tzf " + Quote(archive.string()));
        EXPECT_EQ(r.exitCode, 0) << r.output;
        EXPECT_EQ(r.output, "one.txt\n");
        const auto before = ReadFileBytes(archive);
        r = mvtest::Run(Mvarc() + " add " + Quote(archive.string()) + " -t tgz two.txt", t.Path());
        EXPECT_NE(r.exitCode, 0) << r.output;
        EXPECT_NE(r.output.find("25242"), std::string::npos) << r.output;
        EXPECT_EQ(ReadFileBytes(archive), before);
        EXPECT_FALSE(fs::exists(t / (name + ".gz")));
    }
}

// mvarc add through the zip writer component fails when a file it was given is missing.
TEST(WriterMvarc, ZipEngineAddOfAMissingFileFails) {
    TempDir t;
    const auto r = mvtest::Run(Mvarc() + " add -E " + Quote((t / "e.zip").string()) + " " +
                               Quote((t / "nothere.txt").string()));
    EXPECT_NE(r.exitCode, 0) << r.output;
}
