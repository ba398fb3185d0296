// Moving files into an archive honours DeleteOptions (the trash, or deleted for
// good) and VerifyBeforeDelete (a source goes only when the new archive is read
// back holding it); the temporary folder falls back to the system's and a
// missing one is made only when the user says so.
#include "archive/framework/ArcErrors.h"
#include "archive/writers/WriterFactory.h"
#include "platform/FakeFileSystem.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>

using namespace mv;
using namespace mvtest;

namespace {

// XDG_DATA_HOME pointed at a folder of the test for its lifetime.
class ScopedDataHome {
public:
    explicit ScopedDataHome(const fs::path& dir) {
        if (const char* v = std::getenv("XDG_DATA_HOME")) old = v, had = true;
        setenv("XDG_DATA_HOME", dir.c_str(), 1);
    }
    ~ScopedDataHome() {
        if (had)
            setenv("XDG_DATA_HOME", old.c_str(), 1);
        else
            unsetenv("XDG_DATA_HOME");
    }

private:
    std::string old;
    bool had = false;
};

std::string Ext(const std::string& type) {
    return type == "lha" ? "lzh" : type == "gzip" ? "gz" : type;
}

} // namespace

TEST(WriterMove, SourcesGoToTheTrashOrForGoodByDeleteOptions) {
    for (const std::string type : {"zip", "lha", "tar", "tgz", "bh", "cab", "gzip"}) {
        for (TDeleteOptions option : {TDeleteOptions::doAllowUndo, TDeleteOptions::doFinal}) {
            const bool undo = option == TDeleteOptions::doAllowUndo;
            SCOPED_TRACE(type + (undo ? " trash" : " final"));
            TempDir t;
            ScopedDataHome home(t / "data");
            WriteFileBytes(t / "src" / "a.txt", TextBytes(4000, 1));
            auto writer = MakeWriter(type);
            ASSERT_TRUE(writer);
            writer->SetArchiveFile((t / "out" / ("x." + Ext(type))).string());
            fs::create_directories(t / "out");
            writer->SetSwitch(TSwitch::swMove);
            writer->SetDeleteOptions(option);
            writer->FileSpecList().push_back((t / "src" / "a.txt").string());
            writer->Compress();
            EXPECT_EQ(writer->LastError(), 0);
            EXPECT_FALSE(fs::exists(t / "src" / "a.txt"));
            EXPECT_EQ(fs::exists(t / "data" / "Trash" / "files" / "a.txt"), undo);
            EXPECT_EQ(fs::exists(t / "data" / "Trash" / "info" / "a.txt.trashinfo"), undo);
            if (undo) {
                EXPECT_EQ(ReadFileBytes(t / "data" / "Trash" / "files" / "a.txt"), TextBytes(4000, 1));
            }
            // Nothing but the archive is left in its folder (no intermediate tar).
            int files = 0;
            for (auto& e : fs::directory_iterator(t / "out")) files += e.is_regular_file() ? 1 : 0;
            EXPECT_EQ(files, 1);
        }
    }
}

TEST(WriterMove, SourcesStayWhenTheNewArchiveCannotBeReadBack) {
    for (const std::string type : {"zip", "lha", "tar", "bh"}) {
        for (bool verify : {true, false}) {
            SCOPED_TRACE(type + (verify ? " verify" : " no verify"));
            TempDir t;
            WriteFileBytes(t / "src" / "a.txt", TextBytes(4000, 2));
            const std::string archive = (t / ("x." + Ext(type))).string();
            platform::FakeFileSystem fake;
            platform::ScopedFileSystem use(fake);
            // The new archive is written beside and renamed into place; opening
            // it by its name afterwards fails.
            fake.FailOpensOf(archive, EIO);
            auto writer = MakeWriter(type);
            writer->SetArchiveFile(archive);
            writer->SetSwitch(TSwitch::swMove);
            writer->SetDeleteOptions(TDeleteOptions::doFinal);
            writer->SetVerifyBeforeDelete(verify);
            writer->FileSpecList().push_back((t / "src" / "a.txt").string());
            writer->Compress();
            EXPECT_TRUE(fs::exists(archive));
            EXPECT_EQ(fs::exists(t / "src" / "a.txt"), verify);
            if (verify) {
                EXPECT_NE(writer->LastError(), 0);
            }
        }
    }
}

TEST(WriterTempDir, FallsBackAndAsksBeforeMakingAFolder) {
    TempDir t;
    auto writer = MakeWriter("zip");
    const std::string system = platform::Fs().TempDirectory();
    // Empty: the system's folder.
    writer->SetTempDir("");
    EXPECT_EQ(fs::path(writer->TempDir()), fs::path(system + "/"));
    // A missing folder without a handler, or answered no: the system's folder, nothing made.
    const fs::path missing = t / "tmp" / "work";
    writer->SetTempDir(missing.string());
    EXPECT_FALSE(fs::exists(missing));
    EXPECT_EQ(fs::path(writer->TempDir()), fs::path(system + "/"));
    std::string asked;
    writer->OnConfirmCreateTempDir = [&](TObject*, const std::string&, const std::string& text, bool& create) {
        asked = text;
        create = false;
    };
    writer->SetTempDir(missing.string());
    EXPECT_FALSE(fs::exists(missing));
    EXPECT_NE(asked.find(ArcErrorMessage(26899)), std::string::npos) << asked;
    EXPECT_NE(asked.find(missing.string()), std::string::npos) << asked;
    // Answered yes: made and used.
    writer->OnConfirmCreateTempDir = [&](TObject*, const std::string&, const std::string&, bool& create) {
        create = true;
    };
    writer->SetTempDir(missing.string());
    EXPECT_TRUE(fs::is_directory(missing));
    EXPECT_EQ(fs::path(writer->TempDir()), fs::path(missing.string() + "/"));
    // A folder that went away since: the system's folder, and a write on a
    // removable disk (which works through the temporary folder) succeeds.
    fs::remove_all(t / "tmp");
    EXPECT_EQ(fs::path(writer->TempDir()), fs::path(system + "/"));
    platform::FakeFileSystem fake;
    platform::ScopedFileSystem use(fake);
    fake.AddDrive((t / "floppy").string(), 1 << 20, platform::DriveKind::Removable, "", 1).SetLabelWritable(true);
    WriteFileBytes(t / "a.txt", TextBytes(3000, 3));
    writer->SetArchiveFile((t / "floppy" / "x.zip").string());
    writer->FileSpecList().push_back((t / "a.txt").string());
    EXPECT_EQ(writer->Compress(), 1);
    EXPECT_EQ(writer->LastError(), 0);
    EXPECT_TRUE(fs::exists(t / "floppy" / "x.zip"));
}
