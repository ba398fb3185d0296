// Drive questions answered by the real machine.
#include "platform/FileSystem.h"
#include "tests/support/TestSupport.h"

#include <cerrno>
#include <gtest/gtest.h>

using namespace mv::platform;

TEST(RealDrive, TypeSpaceLabelSerialOfTheTempFolder) {
    mvtest::TempDir t;
    VolumeInfo v;
    int err = -1;
    ASSERT_TRUE(Fs().GetVolumeInfo(t.Path().string(), v, err)) << ErrorText(err);
    EXPECT_FALSE(v.MountPoint.empty());
    EXPECT_FALSE(v.FileSystemName.empty());
    EXPECT_GT(v.MaxComponentLength, 0u);
    EXPECT_NE(v.Kind, DriveKind::Unknown);
    EXPECT_NE(v.Kind, DriveKind::NoRoot);
    // Label and serial may be absent (overlay or tmpfs): then both are empty or 0.
    if (v.Uuid.empty()) {
        EXPECT_EQ(v.Serial, 0u);
    }
    std::cout << "mount " << v.MountPoint << " fs " << v.FileSystemName << " kind "
              << static_cast<int>(v.Kind) << " label '" << v.Label << "' uuid '" << v.Uuid << "'\n";

    SpaceInfo s;
    ASSERT_TRUE(Fs().GetSpace(t.Path().string(), s, err));
    EXPECT_GT(s.TotalBytes, 0u);
    EXPECT_LE(s.FreeBytes, s.TotalBytes);
    EXPECT_EQ(s.TotalBytes, s.BlockSize * s.TotalBlocks);

    EXPECT_FALSE(Fs().SetVolumeLabel(t.Path().string(), "NEW", err));
    EXPECT_EQ(err, EPERM);
}

TEST(RealDrive, RootAndProcAndMissingPaths) {
    VolumeInfo v;
    int err;
    ASSERT_TRUE(Fs().GetVolumeInfo("/", v, err));
    EXPECT_EQ(v.MountPoint, "/");
    // A path that does not exist yet belongs to the drive of its nearest folder.
    ASSERT_TRUE(Fs().GetVolumeInfo("/tmp/no/such/folder/x.zip", v, err));
    EXPECT_FALSE(Fs().GetVolumeInfo("", v, err));
    EXPECT_EQ(v.Kind, DriveKind::NoRoot);
    if (Fs().GetVolumeInfo("/proc/self", v, err)) {
        EXPECT_EQ(v.FileSystemName, "proc");
    }
    if (Fs().GetVolumeInfo("/dev/shm", v, err) && v.FileSystemName == "tmpfs") {
        EXPECT_EQ(v.Kind, DriveKind::RamDisk);
    }
}
