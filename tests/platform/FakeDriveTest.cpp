#include "platform/FakeFileSystem.h"
#include "tests/support/TestSupport.h"

#include <cerrno>
#include <gtest/gtest.h>

using namespace mv::platform;
using mvtest::TempDir;

namespace {
std::string ReadAll(const std::string& path) {
    auto f = Fs().Open(path, OpenMode::Read);
    std::string s(static_cast<size_t>(f->Size()), '\0');
    f->ReadExact(s.data(), s.size());
    return s;
}
void WriteAll(const std::string& path, const std::string& data) {
    auto f = Fs().Open(path, OpenMode::CreateTruncate);
    f->Write(data.data(), data.size());
    f->Close();
}
} // namespace

TEST(FakeDrive, VolumeSpaceAndCapacity) {
    TempDir t;
    FakeFileSystem fake;
    ScopedFileSystem use(fake);
    std::string a = (t / "A").string();
    FakeDrive& drive = fake.AddDrive(a, 5000, DriveKind::Removable, "DISK1", 0x1234ABCD);

    VolumeInfo v;
    int err = 0;
    ASSERT_TRUE(Fs().GetVolumeInfo(a + "/sub/file.zip", v, err));
    EXPECT_EQ(v.Label, "DISK1");
    EXPECT_EQ(v.Serial, 0x1234ABCDu);
    EXPECT_EQ(v.Kind, DriveKind::Removable);
    EXPECT_EQ(v.MountPoint, a);

    WriteAll(a + "/one", std::string(3000, 'x'));
    SpaceInfo s;
    ASSERT_TRUE(Fs().GetSpace(a, s, err));
    EXPECT_EQ(s.TotalBytes, 5000u);
    EXPECT_EQ(s.FreeBytes, 2000u);

    // The disk fills: what fits is written, then the write raises ENOSPC.
    auto f = Fs().Open(a + "/two", OpenMode::CreateNew);
    try {
        f->Write(std::string(2500, 'y').data(), 2500);
        FAIL() << "no error on a full disk";
    } catch (const FileError& e) {
        EXPECT_EQ(e.Code(), ENOSPC);
    }
    EXPECT_EQ(f->Size(), 2000);
    EXPECT_EQ(drive.FreeBytes(), 0u);
}

TEST(FakeDrive, SwapTheMedium) {
    TempDir t;
    FakeFileSystem fake;
    ScopedFileSystem use(fake);
    std::string a = (t / "A").string();
    FakeDrive& drive = fake.AddDrive(a, 1 << 20, DriveKind::Removable, "PKBACK# 001", 1);
    WriteAll(a + "/part", "first disk");
    int second = drive.SwapMedium("PKBACK# 002", 2);
    EXPECT_FALSE(Exists(a + "/part"));
    WriteAll(a + "/part", "second");
    VolumeInfo v;
    int err;
    ASSERT_TRUE(Fs().GetVolumeInfo(a, v, err));
    EXPECT_EQ(v.Label, "PKBACK# 002");
    drive.InsertMedium(0);
    EXPECT_EQ(ReadAll(a + "/part"), "first disk");
    drive.InsertMedium(second);
    EXPECT_EQ(ReadAll(a + "/part"), "second");
    drive.EjectMedium();
    EXPECT_FALSE(Fs().GetVolumeInfo(a, v, err));
    EXPECT_EQ(err, ENOMEDIUM);
    drive.InsertMedium(0);
    drive.FailVolumeReads(2);
    EXPECT_FALSE(Fs().GetVolumeInfo(a, v, err));
    EXPECT_FALSE(Fs().GetVolumeInfo(a, v, err));
    EXPECT_TRUE(Fs().GetVolumeInfo(a, v, err));
    // Labels: refused unless the drive allows them.
    EXPECT_FALSE(Fs().SetVolumeLabel(a, "NEW", err));
    EXPECT_EQ(err, EPERM);
    drive.SetLabelWritable(true);
    EXPECT_TRUE(Fs().SetVolumeLabel(a, "NEW", err));
    EXPECT_EQ(drive.Label(), "NEW");
}

TEST(FakeDrive, FreeSpaceAbove4GiBIsExact) {
    TempDir t;
    FakeFileSystem fake;
    ScopedFileSystem use(fake);
    const uint64_t fiveGiB = uint64_t(5) << 30;
    fake.AddDrive((t / "B").string(), fiveGiB, DriveKind::Fixed, "", 0);
    SpaceInfo s;
    int err;
    ASSERT_TRUE(Fs().GetSpace((t / "B").string(), s, err));
    EXPECT_EQ(s.FreeBytes, fiveGiB);
    EXPECT_EQ(s.TotalBytes, fiveGiB);
}

// An atomic replace that fails at any step leaves the old file exactly as it was.
TEST(FakeDrive, AtomicReplaceKeepsOldFileOnInjectedFailure) {
    TempDir t;
    FakeFileSystem fake;
    ScopedFileSystem use(fake);
    std::string target = (t / "arc.zip").string();
    WriteAll(target, "the old archive");
    const std::string fresh(4000, 'n');
    enum { NoSpace, FlushFails, RenameFails } faults[] = {NoSpace, FlushFails, RenameFails};
    for (auto fault : faults) {
        SCOPED_TRACE(static_cast<int>(fault));
        fake.ClearFaults();
        if (fault == NoSpace) fake.FailWritesAfter(1000);
        if (fault == FlushFails) fake.FailFlushes(true);
        if (fault == RenameFails) fake.FailRenames(true);
        EXPECT_THROW(
            {
                AtomicWriter w(target);
                w.Output().Write(fresh.data(), fresh.size());
                w.Commit();
            },
            FileError);
        fake.ClearFaults();
        EXPECT_EQ(ReadAll(target), "the old archive");
        EXPECT_EQ(ListMatching(t.Path().string(), "*").size(), 1u); // no temporary left behind
    }
}

TEST(FakeDrive, ReplaceAcrossDrivesCopiesAndKeepsOldOnFailure) {
    TempDir t;
    FakeFileSystem fake;
    ScopedFileSystem use(fake);
    std::string d = (t / "D").string();
    fake.AddDrive(d, 10000, DriveKind::Removable, "X", 9);
    std::string target = d + "/arc.zip";
    WriteAll(target, "old");
    std::string source = (t / "new.tmp").string();
    WriteAll(source, std::string(20000, 'z')); // does not fit on the drive
    EXPECT_THROW(ReplaceFile(source, target), FileError);
    EXPECT_EQ(ReadAll(target), "old");
    EXPECT_TRUE(Exists(source));
    EXPECT_EQ(ListMatching(d, "*").size(), 1u);

    WriteAll(source, "fits");
    ReplaceFile(source, target); // EXDEV: copied beside the target, renamed
    EXPECT_EQ(ReadAll(target), "fits");
    EXPECT_FALSE(Exists(source));
}

TEST(FakeDrive, ReadErrorsAreReported) {
    TempDir t;
    FakeFileSystem fake;
    ScopedFileSystem use(fake);
    std::string p = (t / "f").string();
    WriteAll(p, std::string(100, 'r'));
    fake.FailReadsAfter(60);
    auto f = Fs().Open(p, OpenMode::Read);
    char buf[100];
    EXPECT_EQ(f->Read(buf, 50), 50u);
    EXPECT_EQ(f->Read(buf, 50), 10u);
    try {
        f->Read(buf, 50);
        FAIL();
    } catch (const FileError& e) {
        EXPECT_EQ(e.Code(), EIO);
    }
}

TEST(FakeDrive, FaultsOfOneFileAndAnEmptyDrive) {
    TempDir t;
    FakeFileSystem fake;
    ScopedFileSystem use(fake);
    std::string p = (t / "source").string(), q = (t / "other").string();
    WriteAll(p, std::string(100, 's'));
    WriteAll(q, std::string(100, 'o'));
    fake.FailReadsOf(p, 40);
    fake.FailOpensOf(q, EACCES);
    auto f = Fs().Open(p, OpenMode::Read);
    char buf[100];
    EXPECT_EQ(f->Read(buf, 100), 40u);
    EXPECT_THROW(f->Read(buf, 100), FileError);
    f->Seek(10);
    EXPECT_EQ(f->Read(buf, 10), 10u); // before the bad spot it reads
    try {
        Fs().Open(q, OpenMode::Read);
        FAIL();
    } catch (const FileError& e) {
        EXPECT_EQ(e.Code(), EACCES);
    }
    fake.ClearFaults();
    EXPECT_EQ(ReadAll(q).size(), 100u);

    std::string a = (t / "A").string();
    FakeDrive& drive = fake.AddDrive(a, 1 << 20, DriveKind::Removable, "D", 1);
    WriteAll(a + "/x", "x");
    drive.EjectMedium();
    EXPECT_FALSE(Exists(a + "/x"));
    try {
        Fs().Open(a + "/x", OpenMode::Read);
        FAIL();
    } catch (const FileError& e) {
        EXPECT_EQ(e.Code(), ENOMEDIUM);
    }
    EXPECT_THROW(Fs().ListDirectory(a), FileError);
    drive.InsertMedium(0);
    EXPECT_EQ(ReadAll(a + "/x"), "x");
}
