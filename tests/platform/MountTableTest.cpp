#include "platform/MountTable.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <unistd.h>

using namespace mv::platform;

TEST(MountTable, ParsesEscapesAndPicksTheLongestMount) {
    const std::string text =
        "22 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
        "30 22 8:17 / /media/usb\\040stick rw,nosuid master:3 - vfat /dev/sdb1 rw,fmask=0022\n"
        "31 22 0:40 / /srv/share ro,relatime - nfs4 server:/export rw\n"
        "32 22 0:41 / /media/usb\\040stick/inner rw - tmpfs tmpfs rw\n"
        "garbage line\n"
        "33 22 11:0 / /media/cdrom ro - iso9660 /dev/sr0 ro\n";
    auto table = ParseMountInfo(text);
    ASSERT_EQ(table.size(), 5u);
    EXPECT_EQ(table[1].MountPoint, "/media/usb stick");
    EXPECT_EQ(table[1].FileSystemName, "vfat");
    EXPECT_EQ(table[1].Major, 8u);
    EXPECT_EQ(table[1].Minor, 17u);
    EXPECT_TRUE(table[2].ReadOnly);
    EXPECT_FALSE(table[1].ReadOnly);

    MountEntry m;
    ASSERT_TRUE(FindMount(table, "/media/usb stick/a/b.zip", m));
    EXPECT_EQ(m.MountPoint, "/media/usb stick");
    ASSERT_TRUE(FindMount(table, "/media/usb stick/inner/x", m));
    EXPECT_EQ(m.FileSystemName, "tmpfs");
    ASSERT_TRUE(FindMount(table, "/media/usb sticky", m));
    EXPECT_EQ(m.MountPoint, "/");
    ASSERT_TRUE(FindMount(table, "/srv/share", m));
    EXPECT_EQ(KindOfMount(m, "/nonexistent-sys"), DriveKind::Remote);
    ASSERT_TRUE(FindMount(table, "/media/cdrom/setup", m));
    EXPECT_EQ(KindOfMount(m, "/nonexistent-sys"), DriveKind::CdRom);
    EXPECT_FALSE(FindMount({}, "/x", m));
}

// A sysfs tree of our own: sdb is removable, its partition sdb1 answers for it.
TEST(MountTable, RemovableFlagFromSysfs) {
    mvtest::TempDir t;
    std::string sys = t.Path().string();
    mvtest::WriteFileText(t / "devices/usb/sdb/removable", "1\n");
    mvtest::WriteFileText(t / "devices/usb/sdb/sdb1/partition", "1\n");
    mvtest::WriteFileText(t / "devices/ata/sda/removable", "0\n");
    mvtest::WriteFileText(t / "devices/ata/sda/sda2/partition", "2\n");
    mvtest::fs::create_directories(t / "dev/block");
    ASSERT_EQ(symlink("../../devices/usb/sdb/sdb1", (t / "dev/block/8:17").c_str()), 0);
    ASSERT_EQ(symlink("../../devices/usb/sdb", (t / "dev/block/8:16").c_str()), 0);
    ASSERT_EQ(symlink("../../devices/ata/sda/sda2", (t / "dev/block/8:2").c_str()), 0);
    EXPECT_TRUE(IsRemovableDevice(sys, 8, 17));
    EXPECT_TRUE(IsRemovableDevice(sys, 8, 16));
    EXPECT_FALSE(IsRemovableDevice(sys, 8, 2));
    EXPECT_FALSE(IsRemovableDevice(sys, 8, 99));
    EXPECT_FALSE(IsRemovableDevice(sys, 0, 40));
    MountEntry m;
    m.FileSystemName = "vfat";
    m.Major = 8;
    m.Minor = 17;
    EXPECT_EQ(KindOfMount(m, sys), DriveKind::Removable);
    m.Minor = 2;
    EXPECT_EQ(KindOfMount(m, sys), DriveKind::Fixed);
}

TEST(MountTable, LabelNamesAndSerials) {
    EXPECT_EQ(UnescapeHex("MY\\x20DISK"), "MY DISK");
    EXPECT_EQ(UnescapeHex("A\\x2"), "A\\x2");
    EXPECT_EQ(SerialFromUuid("ABCD-1234"), 0xABCD1234u);
    EXPECT_EQ(SerialFromUuid("0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0"), 0x0f1e2d3cu);
    EXPECT_EQ(SerialFromUuid(""), 0u);
}
