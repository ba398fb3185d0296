// Adding only files that do not exist writes no archive: a new archive is not
// created empty, an existing one stays byte for byte. An empty list of files
// still writes an empty archive, as asked.
#include "zipwriter/ZipEngine.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace mv;
using namespace mvtest;

TEST(ZipEngineMissingFiles, OnlyMissingFilesWriteNoArchive) {
    TempDir t;
    const fs::path archive = t / "e.zip";
    int missing = 0;
    {
        TZipEngine z;
        z.SetZipName(archive.string());
        z.OnNoSuchFile = [&](TObject*, const std::string&) { ++missing; };
        z.SetFilesList({(t / "nothere.txt").string(), (t / "nor.txt").string()});
        EXPECT_EQ(z.Zip(), 0);
    }
    EXPECT_EQ(missing, 2);
    EXPECT_FALSE(fs::exists(archive));
    // Through mvarc: non-zero, and no archive.
    auto r = mvtest::Run(Quote(MvarcPath()) + " add -E " + Quote(archive.string()) + " " +
                         Quote((t / "nothere.txt").string()));
    EXPECT_NE(r.exitCode, 0) << r.output;
    EXPECT_FALSE(fs::exists(archive));
    // An existing archive stays as it was.
    WriteFileText(t / "a.txt", "a\n");
    r = mvtest::Run(Quote(MvarcPath()) + " add -E " + Quote(archive.string()) + " " + Quote((t / "a.txt").string()));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const auto before = ReadFileBytes(archive);
    r = mvtest::Run(Quote(MvarcPath()) + " add -E " + Quote(archive.string()) + " " +
                    Quote((t / "nothere.txt").string()));
    EXPECT_NE(r.exitCode, 0) << r.output;
    EXPECT_EQ(ReadFileBytes(archive), before);
}

TEST(ZipEngineMissingFiles, AnEmptyListStillWritesAnEmptyArchive) {
    TempDir t;
    TZipEngine z;
    z.SetZipName((t / "empty.zip").string());
    z.SetFilesList({});
    EXPECT_EQ(z.Zip(), 0);
    EXPECT_EQ(fs::file_size(t / "empty.zip"), 22u);
}
