#include "archive/framework/DiskManager.h"
#include "platform/FakeFileSystem.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace mv;
using namespace mv::platform;
using mvtest::TempDir;

TEST(DiskManager, DiskNumberFromLabelTable) {
    struct Row {
        const char* label;
        int32_t number;
    } rows[] = {
        {"PKBACK# 007", 7},
        {"PKBACK# 001", 1},
        {"DISK1", 0},
        {"PKBACK# ", 0},
        {"PKBACK# 12a", 0},
        {"PKBACK# 001PKBACK# 002", 2},
        {"x PKBACK# 999", 999},
        {"PKBACK# 00000000000000000042", 42},
        {"PKBACK# 99999999999999999999", 0},
        {"", 0},
        {"pkback# 003", 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.label);
        EXPECT_EQ(TDiskManager::DiskNumberFromLabel(r.label), r.number);
    }
    EXPECT_EQ(TDiskManager::SpanDiskLabel(7), "PKBACK# 007");
    EXPECT_EQ(TDiskManager::DiskNumberFromLabel(TDiskManager::SpanDiskLabel(123)), 123);
    EXPECT_EQ(TDiskManager::DriveTypeNameOf(7), "3\xC2\xBD Floppy");
    EXPECT_EQ(TDiskManager::DriveTypeNameOf(4), "Network");
}

TEST(DiskManager, RealMachineDrive) {
    TempDir t;
    TDiskManager dm;
    dm.SetDrive(t.Path().string());
    EXPECT_TRUE(dm.Ready());
    EXPECT_NE(dm.DriveType(), TDiskManager::dtUnknown);
    EXPECT_NE(dm.DriveType(), TDiskManager::dtNoRoot);
    EXPECT_GT(dm.Space().TotalBytes, 0u);
    EXPECT_LE(dm.Space().FreeBytes, dm.Space().TotalBytes);
    EXPECT_EQ(dm.SerialText().size(), 8u);
    EXPECT_FALSE(dm.FileSystemName().empty());
    EXPECT_EQ(dm.DriveTypeName(), TDiskManager::DriveTypeNameOf(dm.DriveType()));
    // The label cannot be written here: answered false, unless it is already the same.
    EXPECT_TRUE(dm.SetVolumeLabel(dm.VolumeLabel()));
    EXPECT_FALSE(dm.SetVolumeLabel("PKBACK# 001"));
    // An empty drive cannot be read; with no handler the answer is cancel at once.
    dm.SetDrive("");
    EXPECT_FALSE(dm.Ready());
}

TEST(DiskManager, WatchesDiskChangesOnAFakeDrive) {
    TempDir t;
    FakeFileSystem fake;
    ScopedFileSystem use(fake);
    std::string a = (t / "A").string();
    FakeDrive& drive = fake.AddDrive(a, uint64_t(5) << 30, DriveKind::Removable, "PKBACK# 001", 0x1234ABCD);

    TDiskManager dm;
    dm.SetDrive(a + "/archive.zip");
    ASSERT_TRUE(dm.Ready());
    EXPECT_EQ(dm.DriveType(), TDiskManager::dtRemovable);
    EXPECT_EQ(dm.DriveTypeName(), "Unknown"); // media type unknown here
    EXPECT_EQ(dm.VolumeLabel(), "PKBACK# 001");
    EXPECT_EQ(dm.DiskNumber(), 1);
    EXPECT_EQ(dm.Serial(), 0x1234ABCDu);
    EXPECT_EQ(dm.SerialText(), "1234ABCD");
    EXPECT_EQ(dm.Space().FreeBytes, uint64_t(5) << 30); // 5 GiB exactly
    EXPECT_EQ(dm.Space().TotalBytes, uint64_t(5) << 30);

    // The user puts in the next disk: reading the drive again tells it apart.
    drive.SwapMedium("PKBACK# 002", 0x22222222);
    ASSERT_TRUE(dm.ReadDiskInfo());
    EXPECT_EQ(dm.DiskNumber(), 2);
    EXPECT_EQ(dm.SerialText(), "22222222");

    // No disk in the drive: asked to retry; the user inserts one and retries.
    drive.EjectMedium();
    int asked = 0;
    std::string askedText;
    dm.OnAskRetry = [&](TDiskManager* sender, const std::string& text, bool& retry) {
        EXPECT_EQ(sender, &dm);
        askedText = text;
        ++asked;
        drive.InsertMedium(0);
        retry = true;
    };
    ASSERT_TRUE(dm.ReadDiskInfo());
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(askedText.rfind(a + "/archive.zip/não está acessível.\n\n", 0), 0u) << askedText;
    EXPECT_EQ(dm.DiskNumber(), 1);

    // A disk that fails twice before it can be read, then is read.
    drive.FailVolumeReads(2);
    asked = 0;
    dm.OnAskRetry = [&](TDiskManager*, const std::string&, bool& retry) {
        ++asked;
        retry = true;
    };
    EXPECT_TRUE(dm.ReadDiskInfo());
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(dm.Ready());

    // The user cancels: not ready.
    drive.EjectMedium();
    dm.OnAskRetry = [&](TDiskManager*, const std::string&, bool& retry) { retry = false; };
    EXPECT_FALSE(dm.ReadDiskInfo());
    EXPECT_FALSE(dm.Ready());
    // Unattended (no handler): the same, at once.
    dm.OnAskRetry = nullptr;
    EXPECT_FALSE(dm.ReadDiskInfo());
    drive.InsertMedium(1);
    EXPECT_TRUE(dm.ReadDiskInfo());
    EXPECT_EQ(dm.DiskNumber(), 2);
}

TEST(DiskManager, LabelsSpaceAndDriveKinds) {
    TempDir t;
    FakeFileSystem fake;
    ScopedFileSystem use(fake);
    std::string a = (t / "A").string(), n = (t / "N").string(), f = (t / "F").string();
    FakeDrive& removable = fake.AddDrive(a, 1440 * 1024, DriveKind::Removable, "", 7);
    fake.AddDrive(n, 1 << 30, DriveKind::Remote, "", 0);
    fake.AddDrive(f, 1 << 20, DriveKind::Fixed, "DATA", 9);

    TDiskManager dm;
    dm.SetDrive(a);
    EXPECT_FALSE(dm.SetVolumeLabel("PKBACK# 001")); // labels cannot be written
    removable.SetLabelWritable(true);
    EXPECT_TRUE(dm.SetVolumeLabel("PKBACK# 001"));
    EXPECT_EQ(dm.DiskNumber(), 1);
    EXPECT_TRUE(dm.SetVolumeLabel("PKBACK# 001")); // the same label: nothing to do

    // A network drive answers true without reading: space fields 0.
    TDiskSpace space;
    space.FreeBytes = 5;
    EXPECT_TRUE(dm.ReadFreeSpace(n, space));
    EXPECT_EQ(space.FreeBytes, 0u);
    EXPECT_EQ(space.TotalBytes, 0u);
    dm.SetDrive(n);
    EXPECT_EQ(dm.DriveType(), TDiskManager::dtRemote);
    EXPECT_EQ(dm.DriveTypeName(), "Network");
    EXPECT_FALSE(dm.ReadFreeSpaceChecked(n)); // not removable

    dm.SetDrive(f);
    EXPECT_EQ(dm.DriveType(), TDiskManager::dtFixed);
    EXPECT_EQ(dm.DriveTypeName(), "Fixed");
    EXPECT_EQ(dm.VolumeLabel(), "DATA");
    EXPECT_EQ(dm.Space().TotalBytes, uint64_t(1) << 20);
    EXPECT_TRUE(dm.ReadFreeSpace(f, space));
    EXPECT_EQ(space.BytesPerSector, 512u);
    EXPECT_EQ(space.TotalClusters * space.SectorsPerCluster * space.BytesPerSector, uint64_t(1) << 20);

    // The checked space read of a removable drive.
    dm.SetDrive(a);
    EXPECT_TRUE(dm.ReadFreeSpaceChecked(a));
    EXPECT_EQ(dm.Space().TotalBytes, 1440u * 1024u);
}
