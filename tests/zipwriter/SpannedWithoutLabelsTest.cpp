// A spanned set on media whose labels cannot be written (as here) is read with
// CheckDiskLabels on: the disks are known by their files, a wrong disk is
// asked for again, and a user who never brings the disk is not asked forever.
#include "zipwriter/ZipEngine.h"

#include "platform/FakeFileSystem.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace mv;

TEST(ZipEngineSpanned, ReadWithoutLabelsByTheirFiles) {
    mvtest::TempDir dir;
    std::vector<std::string> files;
    for (int i = 0; i < 300; ++i) {
        std::string name = std::string(140, 'n') + std::to_string(1000 + i) + ".txt";
        mvtest::WriteFileBytes(dir / "src" / name, mvtest::TextBytes(100, 50 + i));
        files.push_back((dir / "src" / name).string());
    }
    platform::FakeFileSystem fake;
    platform::ScopedFileSystem use(fake);
    auto& drive = fake.AddDrive((dir / "floppy").string(), 70000, platform::DriveKind::Removable, "", 1);
    std::vector<int> media = {drive.CurrentMedium()};
    const std::string set = (dir / "floppy" / "set.zip").string();
    {
        TZipEngine z;
        z.SetZipName(set);
        z.SetMultiMode(TMultiMode::mmSpan);
        z.SetPackLevel(0);
        z.OnGetNextDisk = [&](TObject*, int, std::string&) {
            media.push_back(drive.SwapMedium("", 200 + int(media.size())));
        };
        z.SetFilesList(files);
        EXPECT_EQ(z.Zip(), 300);
    }
    ASSERT_GE(media.size(), 3u);
    EXPECT_EQ(drive.Label(), ""); // nothing could label the disks
    for (bool wrongFirst : {false, true}) {
        SCOPED_TRACE(wrongFirst);
        drive.InsertMedium(media.back());
        TZipEngine r;
        ASSERT_TRUE(r.MultiZipInfo().CheckDiskLabels());
        r.SetZipName(set);
        std::vector<int> asked;
        bool wrong = wrongFirst;
        r.OnGetNextDisk = [&](TObject*, int n, std::string&) {
            asked.push_back(n);
            // The user may first put in the first disk instead of the one asked for.
            drive.InsertMedium(media[size_t(wrong && n != 1 ? 0 : n - 1)]);
            wrong = false;
        };
        EXPECT_EQ(r.Count(), 300);
        ASSERT_GE(asked.size(), 1u);
        EXPECT_LE(asked.size(), media.size() + 1);
        if (wrongFirst) {
            ASSERT_GE(asked.size(), 2u);
            EXPECT_EQ(asked[0], asked[1]);
        }
    }
    // A user who keeps an empty disk in the drive: asked a bounded number of times.
    drive.InsertMedium(media.back());
    TZipEngine r;
    r.SetZipName(set);
    int asks = 0;
    r.OnGetNextDisk = [&](TObject*, int, std::string&) {
        ++asks;
        drive.SwapMedium("", 999);
    };
    EXPECT_THROW(r.Count(), EUserCanceled);
    EXPECT_GE(asks, 1);
    EXPECT_LE(asks, 10);
}
