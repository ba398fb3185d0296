// The file copier: its checks and error codes, the progress steps, the four
// actions, and a failed overwrite that keeps the old destination.
#include "controls/toolkit/files/CopyFile.h"
#include "platform/FakeFileSystem.h"
#include "platform/FileSystem.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace mv {
namespace fs = mvtest::fs;
namespace {

using mvtest::ReadFileBytes;
using mvtest::TempDir;
using mvtest::WriteFileBytes;
using mvtest::WriteFileText;

struct Recorder {
    std::vector<std::pair<std::string, int>> errors;
    std::vector<int> progress;
    void Attach(TCopyFile& c) {
        c.OnError = [this](TCopyFile*, const std::string& name, int code) { errors.emplace_back(name, code); };
        c.OnProgress = [this](TCopyFile* s) { progress.push_back(s->Progress()); };
    }
};

TEST(CopyFile, FailuresGiveTheirCodesAndTheirNames) {
    TempDir dir;
    WriteFileText(dir / "a.txt", "alpha");
    WriteFileText(dir / "b.txt", "beta");
    ::symlink((dir / "a.txt").c_str(), (dir / "link.txt").c_str());
    struct Row {
        const char* what;
        TFileAction action;
        std::string source, destination;
        bool overwrite;
        int code;         // -1: fails without an error event
        std::string name; // the file name given with the code
    };
    const std::string d = dir.Path().string();
    const Row rows[] = {
        {"same name", TFileAction::faCopy, d + "/a.txt", d + "/a.txt", true, 3, d + "/a.txt"},
        {"same file through a link", TFileAction::faCopy, d + "/a.txt", d + "/link.txt", true, 3, d + "/link.txt"},
        {"missing source", TFileAction::faCopy, d + "/none.txt", d + "/x.txt", true, 0, d + "/none.txt"},
        {"no destination name", TFileAction::faCopy, d + "/a.txt", d + "/", true, 3, d + "/"},
        {"destination \".\"", TFileAction::faCopy, d + "/a.txt", d + "/sub/.", true, -1, ""},
        {"existing, no overwrite", TFileAction::faCopy, d + "/a.txt", d + "/b.txt", false, 7, d + "/b.txt"},
        {"move onto an existing file", TFileAction::faMove, d + "/a.txt", d + "/b.txt", true, 7, d + "/b.txt"},
        {"rename into another folder", TFileAction::faRename, d + "/a.txt", "/tmp/mv-copy-elsewhere.txt", true, 3,
         "/tmp/mv-copy-elsewhere.txt"},
        {"missing folder, not created", TFileAction::faCopy, d + "/a.txt", d + "/new/x.txt", true, -1, ""},
        {"delete a missing file", TFileAction::faDelete, d + "/none.txt", "", true, 0, d + "/none.txt"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        TCopyFile c;
        Recorder rec;
        rec.Attach(c);
        c.SetAction(r.action);
        c.SetFileSource(r.source);
        c.SetFileDestination(r.destination);
        c.SetOverwrite(r.overwrite);
        EXPECT_FALSE(c.Execute());
        if (r.code < 0) {
            EXPECT_TRUE(rec.errors.empty());
        } else {
            ASSERT_EQ(rec.errors.size(), 1u);
            EXPECT_EQ(rec.errors[0].second, r.code);
            EXPECT_EQ(rec.errors[0].first, r.name);
        }
    }
    EXPECT_EQ(mvtest::ReadFileBytes(dir / "b.txt"), std::vector<uint8_t>({'b', 'e', 't', 'a'}));
    EXPECT_TRUE(fs::exists(dir / "a.txt"));
}

TEST(CopyFile, ProgressStepsFollowTheBufferCount) {
    TempDir dir;
    struct Row {
        size_t size;
        std::vector<int> steps;
    };
    // Size 0: step 50 (0, 50, 100); ten buffers: step 8 (0, 8, ... 88, 100).
    const Row rows[] = {{0, {0, 50, 100}},
                        {10 * 8192, {0, 8, 16, 24, 32, 40, 48, 56, 64, 72, 80, 88, 100}}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.size);
        const auto data = mvtest::RandomBytes(r.size, 7);
        WriteFileBytes(dir / "src.bin", data);
        TCopyFile c;
        Recorder rec;
        rec.Attach(c);
        c.SetFileSource((dir / "src.bin").string());
        c.SetFileDestination((dir / "dst.bin").string());
        ASSERT_TRUE(c.Execute());
        EXPECT_EQ(rec.progress, r.steps);
        EXPECT_EQ(ReadFileBytes(dir / "dst.bin"), data);
    }
}

TEST(CopyFile, CopyKeepsModeAndDateAndMakesFoldersWhenAllowed) {
    TempDir dir;
    WriteFileText(dir / "run.sh", "#!/bin/sh\n");
    ::chmod((dir / "run.sh").c_str(), 0750);
    platform::Fs().SetModTime((dir / "run.sh").string(), 1000000000);
    TCopyFile c;
    std::string asked;
    c.OnCreateDirectory = [&asked](TCopyFile*, const std::string& folder, bool& allow) {
        asked = folder;
        allow = true;
    };
    c.SetFileSource((dir / "run.sh").string());
    c.SetFileDestination((dir / "x/y/run.sh").string());
    ASSERT_TRUE(c.Execute());
    EXPECT_EQ(asked, (dir / "x/y").string());
    struct stat st {};
    ASSERT_EQ(::stat((dir / "x/y/run.sh").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0750u);
    EXPECT_EQ(st.st_mtime, 1000000000);
}

TEST(CopyFile, MoveRenameAndDelete) {
    TempDir dir;
    WriteFileText(dir / "a.txt", "alpha");
    TCopyFile c;
    c.SetAction(TFileAction::faMove);
    c.SetFileSource((dir / "a.txt").string());
    c.SetFileDestination((dir / "sub/a.txt").string());
    c.SetCreateDirectory(true);
    ASSERT_TRUE(c.Execute());
    EXPECT_FALSE(fs::exists(dir / "a.txt"));
    c.SetAction(TFileAction::faRename);
    c.SetFileSource((dir / "sub/a.txt").string());
    c.SetFileDestination((dir / "sub/b.txt").string());
    ASSERT_TRUE(c.Execute());
    EXPECT_EQ(ReadFileBytes(dir / "sub/b.txt").size(), 5u);
    c.SetAction(TFileAction::faDelete);
    c.SetFileSource((dir / "sub/b.txt").string());
    ASSERT_TRUE(c.Execute());
    EXPECT_FALSE(fs::exists(dir / "sub/b.txt"));
}

TEST(CopyFile, AFailedOverwriteKeepsTheOldDestination) {
    TempDir dir;
    WriteFileBytes(dir / "new.bin", std::vector<uint8_t>(100000, 'n'));
    WriteFileBytes(dir / "old.bin", std::vector<uint8_t>(10, 'o'));
    // A disk that fills up in the middle of the copy.
    platform::FakeFileSystem fake;
    platform::ScopedFileSystem use(fake);
    fake.FailWritesAfter(50000);
    TCopyFile c;
    Recorder rec;
    rec.Attach(c);
    c.SetFileSource((dir / "new.bin").string());
    c.SetFileDestination((dir / "old.bin").string());
    EXPECT_FALSE(c.Execute());
    ASSERT_EQ(rec.errors.size(), 1u);
    EXPECT_EQ(rec.errors[0].second, 6);
    EXPECT_EQ(ReadFileBytes(dir / "old.bin"), std::vector<uint8_t>(10, 'o'));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 2);
}

} // namespace
} // namespace mv
