// The GZip writer with daMaxFileDate stamps each member with the newest date of
// the files it compresses.
#include "archive/writers/GZipWriter.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <ctime>
#include <sys/stat.h>
#include <utime.h>

using namespace mv;
using namespace mvtest;

TEST(GZipMaxDate, EveryMemberGetsTheNewestDate) {
    TempDir t;
    WriteFileText(t / "old.txt", "old\n");
    WriteFileText(t / "new.txt", "new\n");
    const time_t older = 1500000000, newer = 1600000000;
    struct utimbuf a{older, older}, b{newer, newer};
    ASSERT_EQ(utime((t / "old.txt").c_str(), &a), 0);
    ASSERT_EQ(utime((t / "new.txt").c_str(), &b), 0);
    TGZip gz;
    gz.SetArchiveFile((t / "x.gz").string());
    gz.SetDateAttribute(TDateAttribute::daMaxFileDate);
    gz.FileSpecList().push_back((t / "*.txt").string());
    EXPECT_EQ(gz.Compress(), 2);
    EXPECT_EQ(gz.LastError(), 0);
    for (const char* name : {"old.txt.gz", "new.txt.gz"}) {
        SCOPED_TRACE(name);
        const auto bytes = ReadFileBytes(t / name);
        ASSERT_GE(bytes.size(), 10u);
        const int64_t stamp = int64_t(bytes[4]) | int64_t(bytes[5]) << 8 | int64_t(bytes[6]) << 16 |
                              int64_t(bytes[7]) << 24;
        // DOS dates keep even seconds.
        EXPECT_LE(std::llabs(stamp - int64_t(newer)), 2) << stamp;
    }
}
