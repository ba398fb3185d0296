// Updating a ZIP on a removable disk when the new archive no longer fits: every
// next disk is asked for, a disk still in the drive is never written over, the
// set is complete before success is reported, and moved sources are deleted
// only after that.
#include "archive/writers/ZipWriter.h"

#include "archive/framework/ZipRecords.h"
#include "platform/FakeFileSystem.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace mv;
using namespace mvtest;

namespace {

struct TSpanRun {
    int error = 0;
    int asked = 0;
    std::vector<int> media; // the media written, in order
};

// A small archive on a fresh removable disk of 65000 bytes, then new.bin
// (100000 random bytes) moved into it. answer(asked) decides what the user does
// when a disk is asked for: 0 swap in a new disk, 1 leave the disk in, 2 cancel.
TSpanRun MoveIntoArchiveOnFloppy(TempDir& t, platform::FakeFileSystem& fake, bool withHandler,
                                 const std::function<int(int)>& answer) {
    WriteFileBytes(t / "src" / "old.bin", RandomBytes(20000, 21));
    WriteFileBytes(t / "src" / "new.bin", RandomBytes(100000, 22));
    auto& drive = fake.AddDrive((t / "floppy").string(), 65000, platform::DriveKind::Removable, "", 1);
    drive.SetLabelWritable(true);
    const std::string archive = (t / "floppy" / "set.zip").string();
    {
        TZip zip;
        zip.SetArchiveFile(archive);
        zip.FileSpecList().push_back((t / "src" / "old.bin").string());
        zip.Compress();
        EXPECT_EQ(zip.LastError(), 0);
    }
    TSpanRun run;
    run.media.push_back(drive.CurrentMedium());
    TZip zip;
    zip.SetArchiveFile(archive);
    zip.SetSwitch(TSwitch::swMove);
    zip.FileSpecList().push_back((t / "src" / "new.bin").string());
    if (withHandler)
        zip.OnInsertDiskette = [&](TObject*, const std::string&, int64_t, int64_t, bool& cancel) {
            ++run.asked;
            cancel = true;
            if (run.asked > 20) return; // a loop that never ends fails the test, not the run
            switch (answer(run.asked)) {
            case 0:
                run.media.push_back(drive.SwapMedium("", static_cast<uint32_t>(100 + run.asked)));
                cancel = false;
                break;
            case 1:
                cancel = false;
                break;
            default:
                break;
            }
        };
    zip.Compress();
    run.error = zip.LastError();
    return run;
}

// Joins the parts of a spanned set read from the media and lists it with unzip.
void ExpectCompleteSet(TempDir& t, platform::FakeFileSystem& fake, const std::vector<int>& media) {
    auto* drive = fake.DriveOf((t / "floppy").string());
    ASSERT_NE(drive, nullptr);
    std::vector<std::vector<uint8_t>> parts;
    for (int m : media) {
        drive->InsertMedium(m);
        parts.push_back(ReadFileBytes(t / "floppy" / "set.zip"));
    }
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(LE32(parts[0].data()), ZipSpanSignature);
    WriteFileBytes(t / "j" / "set.z01", parts[0]);
    WriteFileBytes(t / "j" / "set.zip", parts[1]);
    auto r = mvtest::Run("zip -q -s 0 set.zip --out joined.zip && unzip -q joined.zip -d out", t / "j");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(ReadFileBytes(t / "j" / "out" / "old.bin"), RandomBytes(20000, 21));
    EXPECT_EQ(ReadFileBytes(t / "j" / "out" / "new.bin"), RandomBytes(100000, 22));
}

} // namespace

TEST(ZipSpanUpdate, AsksForTheNextDiskAndDeletesTheSourceAfterACompleteSet) {
    MV_REQUIRE_TOOL("zip");
    MV_REQUIRE_TOOL("unzip");
    TempDir t;
    platform::FakeFileSystem fake;
    platform::ScopedFileSystem use(fake);
    TSpanRun run = MoveIntoArchiveOnFloppy(t, fake, true, [](int) { return 0; });
    EXPECT_EQ(run.error, 0);
    EXPECT_EQ(run.asked, 1);
    EXPECT_FALSE(fs::exists(t / "src" / "new.bin"));
    ExpectCompleteSet(t, fake, run.media);
}

TEST(ZipSpanUpdate, ADiskLeftInTheDriveIsNotWrittenOver) {
    MV_REQUIRE_TOOL("zip");
    MV_REQUIRE_TOOL("unzip");
    TempDir t;
    platform::FakeFileSystem fake;
    platform::ScopedFileSystem use(fake);
    // The first answer leaves the written disk in the drive: asked again.
    TSpanRun run = MoveIntoArchiveOnFloppy(t, fake, true, [](int asked) { return asked == 1 ? 1 : 0; });
    EXPECT_EQ(run.error, 0);
    EXPECT_EQ(run.asked, 2);
    EXPECT_FALSE(fs::exists(t / "src" / "new.bin"));
    ExpectCompleteSet(t, fake, run.media);
}

TEST(ZipSpanUpdate, AnIncompleteSetIsAnErrorAndKeepsTheSources) {
    // The user cancels the second disk; a user who never changes the disk gives up as well.
    for (int answer : {2, 1}) {
        SCOPED_TRACE(answer);
        TempDir u;
        platform::FakeFileSystem f2;
        platform::ScopedFileSystem use2(f2);
        TSpanRun run = MoveIntoArchiveOnFloppy(u, f2, true, [answer](int) { return answer; });
        EXPECT_NE(run.error, 0);
        EXPECT_GE(run.asked, 1);
        EXPECT_LE(run.asked, 20);
        EXPECT_TRUE(fs::exists(u / "src" / "new.bin"));
    }
}

TEST(ZipSpanUpdate, WithoutADiskHandlerItIsRefusedBeforeWriting) {
    TempDir t;
    platform::FakeFileSystem fake;
    platform::ScopedFileSystem use(fake);
    WriteFileBytes(t / "src" / "old.bin", RandomBytes(20000, 21));
    fake.AddDrive((t / "floppy").string(), 65000, platform::DriveKind::Removable, "", 1).SetLabelWritable(true);
    const fs::path archive = t / "floppy" / "set.zip";
    {
        TZip zip;
        zip.SetArchiveFile(archive.string());
        zip.FileSpecList().push_back((t / "src" / "old.bin").string());
        zip.Compress();
        ASSERT_EQ(zip.LastError(), 0);
    }
    const auto before = ReadFileBytes(archive);
    WriteFileBytes(t / "src" / "new.bin", RandomBytes(100000, 22));
    TZip zip;
    zip.SetArchiveFile(archive.string());
    zip.SetSwitch(TSwitch::swMove);
    zip.FileSpecList().push_back((t / "src" / "new.bin").string());
    zip.Compress();
    EXPECT_EQ(zip.LastError(), 25270);
    EXPECT_EQ(ReadFileBytes(archive), before);
    EXPECT_TRUE(fs::exists(t / "src" / "new.bin"));
}
