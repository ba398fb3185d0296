// Names longer than 255 bytes in the formats whose headers allow them: the
// lister reads the name length as the reader and the writer do (16 bits in
// BH), so a long stored path lists whole.
#include "archive/writers/BhWriter.h"
#include "tests/archive/lister/ListerTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace mvtest;

TEST(ArcListerLongNames, BhNamesOverAByteLong) {
    TempDir t;
    const std::string folder(120, 'a'), sub(120, 'b'), file = std::string(60, 'c') + ".txt";
    WriteFileBytes(t / "src" / folder / sub / file, TextBytes(777, 1));
    WriteFileBytes(t / "src" / "short.txt", TextBytes(55, 2));
    const fs::path archive = t / "long.bh";
    mv::TBlakHole bh;
    bh.SetArchiveFile(archive.string());
    bh.SetRecurseDirs(true);
    bh.FileSpecList().push_back((t / "src" / "*").string());
    bh.Compress();
    ASSERT_EQ(bh.LastError(), 0);
    ListResult r = ListArchive(archive.string());
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.completed);
    ASSERT_EQ(r.entries.size(), 2u);
    std::map<std::string, int64_t> sizes;
    for (const auto& e : r.entries) sizes[e.name.substr(e.name.find_last_of('/') + 1)] = e.unpacked;
    EXPECT_EQ(sizes[file], 777);
    EXPECT_EQ(sizes["short.txt"], 55);
    bool whole = false;
    for (const auto& e : r.entries)
        whole |= e.name.size() > 300 && e.name.find(folder + "/" + sub + "/" + file) != std::string::npos;
    EXPECT_TRUE(whole);
}
