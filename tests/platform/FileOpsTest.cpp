// Folder deletion that never follows a link and survives what it cannot delete, the
// write-when-changed helper, and the freedesktop trash.
#include "platform/FileOps.h"

#include "platform/AppPaths.h"
#include "platform/DriveInfo.h"
#include "platform/FakeFileSystem.h"
#include "tests/support/DesktopFixture.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace mv::platform {
namespace {

using mvtest::DesktopFixture;
using mvtest::TempDir;
namespace fs = std::filesystem;

TEST(FileOps, DeleteFolderNeverFollowsALinkOutOfTheFolder) {
    TempDir t;
    const fs::path outside = t / "outside";
    fs::create_directories(outside / "deep");
    mvtest::WriteFileText(outside / "keep.txt", "precious");
    mvtest::WriteFileText(outside / "deep/keep2.txt", "precious");

    const fs::path victim = t / "victim";
    fs::create_directories(victim / "sub/ro");
    mvtest::WriteFileText(victim / "a.txt", "a");
    mvtest::WriteFileText(victim / "sub/readonly.txt", "r");
    fs::permissions(victim / "sub/readonly.txt", fs::perms::owner_read);
    mvtest::WriteFileText(victim / "sub/ro/inner.txt", "i");
    fs::permissions(victim / "sub/ro", fs::perms::owner_read | fs::perms::owner_exec); // read-only folder
    fs::create_directory_symlink(outside, victim / "link-to-outside");
    fs::create_symlink(outside / "keep.txt", victim / "sub/file-link");

    EXPECT_TRUE(DeleteFolder(victim.string(), false));
    EXPECT_TRUE(fs::exists(victim));
    EXPECT_TRUE(fs::is_empty(victim));
    EXPECT_EQ(mvtest::ReadFileBytes(outside / "keep.txt").size(), 8u);
    EXPECT_TRUE(fs::exists(outside / "deep/keep2.txt"));

    // The folder itself, and a link given as the folder: the link goes, its target stays.
    EXPECT_TRUE(DeleteFolder(victim.string(), true));
    EXPECT_FALSE(fs::exists(victim));
    fs::create_directory_symlink(outside, t / "top-link");
    EXPECT_TRUE(DeleteFolder((t / "top-link").string(), true));
    EXPECT_FALSE(fs::exists(fs::symlink_status(t / "top-link")));
    EXPECT_TRUE(fs::exists(outside / "deep/keep2.txt"));
    EXPECT_TRUE(DeleteFolder((t / "missing").string(), true));
}

// A file system on which one folder cannot be removed (busy, a mount point).
class StuckFolderFileSystem : public FakeFileSystem {
public:
    void RemoveDirectory(const std::string& path) override {
        if (NameOf(path) == "stuck") throw FileError(EBUSY, path, "busy");
        FakeFileSystem::RemoveDirectory(path);
    }
};

TEST(FileOps, DeleteFolderGoesOnPastWhatItCannotDelete) {
    TempDir t;
    StuckFolderFileSystem stuck;
    ScopedFileSystem use(stuck);
    const std::string root = (t / "victim").string();
    ForceDirectories(root + "/a/stuck");
    ForceDirectories(root + "/z");
    WriteTextFileIfChanged(root + "/a/stuck/f.txt", "f");
    WriteTextFileIfChanged(root + "/a/g.txt", "g");
    WriteTextFileIfChanged(root + "/z/h.txt", "h");
    EXPECT_FALSE(DeleteFolder(root, true)); // no exception, and the rest is gone
    EXPECT_TRUE(fs::exists(root + "/a/stuck"));
    EXPECT_FALSE(fs::exists(root + "/a/stuck/f.txt"));
    EXPECT_FALSE(fs::exists(root + "/a/g.txt"));
    EXPECT_FALSE(fs::exists(root + "/z"));
}

TEST(FileOps, WriteTextFileIfChangedKeepsAnUnchangedFile) {
    TempDir t;
    const std::string path = (t / "a/b/c.txt").string();
    EXPECT_TRUE(WriteTextFileIfChanged(path, "one\n", 0755));
    struct stat first{};
    ::stat(path.c_str(), &first);
    EXPECT_EQ(first.st_mode & 07777, 0755u);
    EXPECT_FALSE(WriteTextFileIfChanged(path, "one\n", 0755));
    struct stat second{};
    ::stat(path.c_str(), &second);
    EXPECT_EQ(first.st_mtim.tv_nsec, second.st_mtim.tv_nsec);
    EXPECT_EQ(first.st_ino, second.st_ino);
    EXPECT_TRUE(WriteTextFileIfChanged(path, "two\n"));
    std::string text;
    EXPECT_TRUE(ReadTextFile(path, text));
    EXPECT_EQ(text, "two\n");
}

TEST(FileOps, TrashKeepsTheItemAndItsRecord) {
    DesktopFixture desk;
    const fs::path work = desk.Home() / "work";
    fs::create_directories(work / "folder");
    mvtest::WriteFileText(work / "a b%.zip", "zip");
    mvtest::WriteFileText(work / "folder/x", "x");

    std::string error;
    ASSERT_TRUE(MoveToTrash((work / "a b%.zip").string(), error)) << error;
    EXPECT_EQ(TrashDirFor(work.string()), (desk.Data() / "Trash").string());
    EXPECT_FALSE(fs::exists(work / "a b%.zip"));
    EXPECT_TRUE(fs::exists(desk.Data() / "Trash/files/a b%.zip"));
    std::string info;
    ASSERT_TRUE(ReadTextFile((desk.Data() / "Trash/info/a b%.zip.trashinfo").string(), info));
    EXPECT_EQ(info.rfind("[Trash Info]\nPath=", 0), 0u);
    EXPECT_NE(info.find("/work/a%20b%25.zip\nDeletionDate="), std::string::npos) << info;

    // A second item of the same name gets a name of its own.
    mvtest::WriteFileText(work / "a b%.zip", "zip2");
    ASSERT_TRUE(MoveToTrash((work / "a b%.zip").string(), error)) << error;
    EXPECT_TRUE(fs::exists(desk.Data() / "Trash/files/a b%.zip.2"));
    EXPECT_TRUE(fs::exists(desk.Data() / "Trash/info/a b%.zip.2.trashinfo"));

    ASSERT_TRUE(MoveToTrash((work / "folder").string(), error)) << error;
    EXPECT_TRUE(fs::exists(desk.Data() / "Trash/files/folder/x"));
    EXPECT_FALSE(MoveToTrash((work / "missing").string(), error));
    EXPECT_FALSE(error.empty());
}

TEST(DriveInfo, AvailabilityKindAndPathTables) {
    TempDir t;
    FakeFileSystem fake;
    ScopedFileSystem use(fake);
    const std::string removable = (t / "usb").string(), fixed = (t / "disk").string(),
                      empty = (t / "cd").string();
    fake.AddDrive(removable, 1 << 20, DriveKind::Removable, "USB", 1);
    fake.AddDrive(fixed, 1 << 20, DriveKind::Fixed, "DISK", 2);
    fake.AddDrive(empty, 1 << 20, DriveKind::CdRom, "CD", 3).EjectMedium();
    ForceDirectories(removable + "/folder");
    fs::create_directories(t / "locked");
    fs::permissions(t / "locked", fs::perms::owner_read);

    struct Case {
        std::string path;
        bool drive, folder;
        DriveKind kind;
    };
    const Case cases[] = {
        {removable + "/folder/archive.zip", true, false, DriveKind::Removable},
        {removable + "/folder", true, true, DriveKind::Removable},
        {fixed, true, true, DriveKind::Fixed},
        {empty + "/archive.zip", false, false, DriveKind::NoRoot},
        {empty, false, false, DriveKind::NoRoot},
        {(t / "missing/folder").string(), true, false, DriveKind::NoRoot},
        {"", false, false, DriveKind::NoRoot},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(DriveAvailable(c.path), c.drive);
        EXPECT_EQ(FolderAvailable(c.path), c.folder);
        if (c.kind != DriveKind::NoRoot || c.path.empty() || c.path.rfind(empty, 0) == 0) {
            EXPECT_EQ(DriveKindOf(c.path), c.kind);
        }
    }
    if (geteuid() != 0) {
        EXPECT_FALSE(FolderAvailable((t / "locked").string()));
    }
    EXPECT_GT(DriveFreeBytes(removable), 0u);
    EXPECT_EQ(DriveFreeBytes(empty), 0u);

    const std::pair<const char*, const char*> paths[] = {
        {"/media/usb/a.zip", "media/usb/a.zip"}, {"/", ""}, {"relative/x", "relative/x"}, {"//x", "x"}};
    for (const auto& [in, out] : paths) EXPECT_EQ(PathWithoutDrive(in), out) << in;
}

} // namespace
} // namespace mv::platform
