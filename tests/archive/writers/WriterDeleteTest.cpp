// Deleting entries by name compares whole stored paths: "a.txt" takes the entry
// a.txt and leaves dir/a.txt, in every writer that deletes.
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
