// ARJ volumes made by arj: a file split across them lists once, with its
// whole size and the CRC-32 of the whole file.
#include "tests/archive/lister/ListerTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

TEST(ArcListerArjVolumes, SplitMemberListsWithTheWholeFilesCrc) {
    MV_REQUIRE_TOOL("arj");
    mvtest::TempDir t;
    const auto big = mvtest::RandomBytes(150000, 31);
    const auto small = mvtest::TextBytes(5000, 32);
    mvtest::WriteFileBytes(t / "big.bin", big);
    mvtest::WriteFileBytes(t / "small.txt", small);
    for (const std::string method : {"-m0", "-m1"}) {
        SCOPED_TRACE(method);
        const std::string name = "v" + method.substr(2);
        auto r = mvtest::Run("arj a -y -v60k " + method + " " + name + ".arj big.bin small.txt", t.Path());
        ASSERT_EQ(r.exitCode, 0) << r.output;
        ASSERT_TRUE(std::filesystem::exists(t / (name + ".a01")));
        auto listed = mvtest::ListArchive((t / (name + ".arj")).string());
        EXPECT_TRUE(listed.errors.empty());
        ASSERT_EQ(listed.entries.size(), 2u);
        EXPECT_EQ(listed.entries[0].name, "big.bin");
        EXPECT_EQ(listed.entries[0].unpacked, 150000);
        EXPECT_EQ(listed.entries[0].crc, mvtest::ReferenceCrc32(big.data(), big.size()));
        EXPECT_EQ(listed.entries[1].name, "small.txt");
        EXPECT_EQ(listed.entries[1].crc, mvtest::ReferenceCrc32(small.data(), small.size()));
    }
}
