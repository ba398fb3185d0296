// The LHA and BH writers store large files that do not compress (a megabyte
// and more of random bytes) like any other, and the peers read them back.
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace mvtest;

TEST(WriterIncompressible, LargeRandomFilesAreStored) {
    MV_REQUIRE_TOOL("lha");
    for (const std::string type : {"lha", "bh"}) {
        for (size_t size : {size_t(960000), size_t(1200000), size_t(3000000)}) {
            SCOPED_TRACE(type + " " + std::to_string(size));
            TempDir t;
            WriteFileBytes(t / "src" / "r.bin", RandomBytes(size, 7));
            WriteFileBytes(t / "src" / "t.txt", TextBytes(100000, 8));
            const std::string archive = (t / (type == "lha" ? "x.lzh" : "x.bh")).string();
            auto r = mvtest::Run(Quote(MvarcPath()) + " add " + Quote(archive) + " -t " + type + " r.bin t.txt",
                                 t / "src");
            ASSERT_EQ(r.exitCode, 0) << r.output;
            EXPECT_NE(r.output.find("2 added"), std::string::npos) << r.output;
            // The peer for LHA, our reader for BH (no peer writes or reads BH here).
            if (type == "lha")
                r = mvtest::Run("lha xqw=" + Quote((t / "out").string()) + " " + Quote(archive), t.Path());
            else
                r = mvtest::Run(Quote(MvarcPath()) + " extract " + Quote(archive) + " " + Quote((t / "out").string()));
            ASSERT_EQ(r.exitCode, 0) << r.output;
            EXPECT_EQ(ReadFileBytes(t / "out" / "r.bin"), RandomBytes(size, 7));
            EXPECT_EQ(ReadFileBytes(t / "out" / "t.txt"), TextBytes(100000, 8));
        }
    }
}
