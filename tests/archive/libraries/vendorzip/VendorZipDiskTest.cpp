// The vendor zip library on fake drives: spanning over removable disks with
// the insert-disk event, and the codes of files that cannot be opened and of
// archives that cannot be written.
#include "VendorZipTestSupport.h"

#include "platform/FakeFileSystem.h"

#include <cerrno>

namespace {

using namespace mv;
using namespace vztest;

TEST(VendorZipDisk, SpansRemovableDisksAskingForEach) {
    mvtest::TempDir dir;
    fs::create_directories(dir / "src");
    std::string files;
    for (int i = 0; i < 3; ++i) {
        mvtest::WriteFileBytes(dir / "src" / ("f" + std::to_string(i) + ".bin"),
                               mvtest::RandomBytes(70000, 30 + i));
        files += (dir / "src" / ("f" + std::to_string(i) + ".bin")).string() + "\r\n";
    }
    for (bool abandon : {false, true}) {
        SCOPED_TRACE(abandon ? "abandoned at the second disk" : "three disks or more");
        platform::FakeFileSystem fake;
        platform::ScopedFileSystem use(fake);
        const fs::path floppy = dir / (abandon ? "floppy1" : "floppy0");
        auto& drive = fake.AddDrive(floppy.string(), 100000, platform::DriveKind::Removable, "", 1);
        drive.SetLabelWritable(true);
        Vz vz;
        VzSetZipFilenameA(vz.h, (floppy / "set.zip").string().c_str());
        VzSetFilesToProcessA(vz.h, files.c_str());
        VzSetPreservePaths(vz.h, 0);
        std::vector<uint32_t> disks;
        vz.Answer = [&](uint32_t e, void* b) {
            if (e != vzev::InsertDisk) return;
            auto& d = *static_cast<TVzInsertDiskBlock*>(b);
            EXPECT_EQ(d.Answer, 1) << "inserted unless answered otherwise";
            disks.push_back(d.DiskNumber);
            d.Answer = 0;
        };
        if (abandon) {
            EXPECT_EQ(VzZip(vz.h), vzr::DiskAbandoned);
            EXPECT_EQ(disks, std::vector<uint32_t>{2});
        } else {
            std::vector<int> media = {drive.CurrentMedium()};
            vz.Answer = [&](uint32_t e, void* b) {
                if (e != vzev::InsertDisk) return;
                auto& d = *static_cast<TVzInsertDiskBlock*>(b);
                disks.push_back(d.DiskNumber);
                media.push_back(drive.SwapMedium("", 100 + d.DiskNumber));
            };
            EXPECT_EQ(VzZip(vz.h), 0) << vz.Dump();
            ASSERT_GE(disks.size(), 2u);
            for (size_t k = 0; k < disks.size(); ++k) EXPECT_EQ(disks[k], k + 2);
            // Read back from the disks: each asked for by its number, 0 for the last.
            for (bool extract : {false, true}) {
                SCOPED_TRACE(extract ? "unzip" : "list");
                disks.clear();
                vz.Clear();
                vz.Answer = [&](uint32_t e, void* b) {
                    if (e != vzev::InsertDisk) return;
                    auto& d = *static_cast<TVzInsertDiskBlock*>(b);
                    disks.push_back(d.DiskNumber);
                    drive.InsertMedium(media[d.DiskNumber == 0 ? media.size() - 1 : d.DiskNumber - 1]);
                };
                drive.InsertMedium(media.back());
                VzSetUnzipToFolderA(vz.h, (dir / "out").string().c_str());
                VzSetFilesToProcessA(vz.h, "");
                EXPECT_EQ(extract ? VzUnzip(vz.h) : VzListZipContents(vz.h), 0) << vz.Dump();
                if (extract) {
                    // The last disk is in the drive: the entries are read from disk 1 on.
                    std::vector<uint32_t> expected;
                    for (uint32_t n = 1; n <= media.size(); ++n) expected.push_back(n);
                    EXPECT_EQ(disks, expected);
                } else {
                    // The directory is on the last disk, the one in the drive.
                    EXPECT_EQ(vz.Of(vzev::Listing).size(), 3u);
                    EXPECT_TRUE(disks.empty());
                }
            }
            for (int i = 0; i < 3; ++i)
                EXPECT_EQ(mvtest::ReadFileBytes(dir / "out" / ("f" + std::to_string(i) + ".bin")),
                          mvtest::ReadFileBytes(dir / "src" / ("f" + std::to_string(i) + ".bin")));
        }
    }
    // Spanning off, or a fixed drive: one file, no disk asked for.
    platform::FakeFileSystem fake;
    platform::ScopedFileSystem use(fake);
    fake.AddDrive((dir / "fixed").string(), 1 << 30, platform::DriveKind::Fixed, "", 2);
    Vz vz;
    VzSetZipFilenameA(vz.h, (dir / "fixed" / "one.zip").string().c_str());
    VzSetFilesToProcessA(vz.h, files.c_str());
    EXPECT_EQ(VzZip(vz.h), 0);
    EXPECT_TRUE(vz.Of(vzev::InsertDisk).empty());
}

TEST(VendorZipDisk, UnreadableFilesAndFailedWrites) {
    Tree t;
    const fs::path zip = t.dir / "f.zip";
    {
        Vz vz;
        VzSetZipFilenameA(vz.h, zip.string().c_str());
        VzSetFilesToProcessA(vz.h, t.s("a.txt").c_str());
        VzSetPreservePaths(vz.h, 0);
        ASSERT_EQ(VzZip(vz.h), 0);
    }
    const auto old = mvtest::ReadFileBytes(zip);
    platform::FakeFileSystem fake;
    platform::ScopedFileSystem use(fake);
    {
        // A file that cannot be opened is skipped with 103; the others are stored.
        fake.FailOpensOf(t.s("b.bin"), EACCES);
        Vz vz;
        VzSetZipFilenameA(vz.h, t.d("g.zip").c_str());
        VzSetFilesToProcessA(vz.h, t.s("*").c_str());
        VzSetPreservePaths(vz.h, 0);
        EXPECT_EQ(VzZip(vz.h), vzr::SomeSkipped) << vz.Dump();
        EXPECT_EQ(vz.Of(vzev::Skipping), std::vector<std::string>{"6 " + t.s("b.bin") + " reason=103"});
        fake.ClearFaults();
        vz.Clear();
        EXPECT_EQ(VzListZipContents(vz.h), 0);
        EXPECT_EQ(vz.Of(vzev::Listing).size(), 2u);
    }
    {
        // A write that fails leaves the old archive as it was.
        fake.FailWritesAfter(1000);
        Vz vz;
        VzSetZipFilenameA(vz.h, zip.string().c_str());
        VzSetFilesToProcessA(vz.h, t.s("b.bin").c_str());
        EXPECT_EQ(VzZip(vz.h), vzr::ZipWriteError);
        fake.ClearFaults();
        EXPECT_EQ(mvtest::ReadFileBytes(zip), old);
    }
    {
        // Zipping into a file that is no zip is refused; it stays as it was.
        mvtest::WriteFileText(t.dir / "text.zip", "not a zip at all, just text that is long enough\n");
        const auto text = mvtest::ReadFileBytes(t.dir / "text.zip");
        Vz vz;
        VzSetZipFilenameA(vz.h, t.d("text.zip").c_str());
        VzSetFilesToProcessA(vz.h, t.s("a.txt").c_str());
        EXPECT_EQ(VzZip(vz.h), vzr::NotAZip);
        EXPECT_EQ(mvtest::ReadFileBytes(t.dir / "text.zip"), text);
    }
}

} // namespace
