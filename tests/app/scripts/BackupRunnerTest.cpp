// The backup run: the classification, the three roads, cancel, failures and the
// unattended "/W" run, with the archives checked by unzip and zipinfo.
#include "app/scripts/BackupRunner.h"
#include "app/common/LangStr.h"
#include "app/common/StrUtils.h"
#include "app/scripts/BackupLists.h"
#include "app/scripts/ScriptRun.h"
#include "platform/AppPaths.h"
#include "platform/FakeFileSystem.h"
#include "platform/LocalTime.h"
#include "tests/support/TestSupport.h"
#include "zipwriter/ZipEngine.h"
#include "tests/app/scripts/ScriptTestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <sstream>

namespace mv {
namespace {

namespace fs = mvtest::fs;



// Entry names of an archive, as zipinfo lists them, sorted.
std::vector<std::string> ZipNames(const fs::path& zip) {
    const auto r = mvtest::Run("zipinfo -1 " + mvtest::Quote(zip.string()));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    std::vector<std::string> names;
    std::istringstream in(r.output);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) names.push_back(line);
    std::sort(names.begin(), names.end());
    return names;
}

void ExpectUnzipTestPasses(const fs::path& zip) {
    const auto r = mvtest::Run("unzip -t " + mvtest::Quote(zip.string()));
    EXPECT_EQ(r.exitCode, 0) << r.output;
}

TEST(BackupLists, ClassificationTable) {
    const std::string a = "05/11/1999 14:02/src/a.txt", a2 = "05/11/1999 14:03/src/a.txt";
    const std::string b = "05/11/1999 14:02/src/b.txt", tmp = "05/11/1999 14:02/src/tmp/c.tmp";
    const std::string twin = "05/11/1999 14:02/src/A.txt", gone = "01/01/2000 00:00/D/x.txt";
    const TBackupLists l = BuildBackupLists({a2, b, tmp, b, twin}, {tmp}, {a, b, gone});
    EXPECT_EQ(l.ToZipLines, (std::vector<std::string>{a2, b, twin})); // excluded and twice-found
    EXPECT_EQ(l.ToZipPaths, (std::vector<std::string>{"/src/A.txt", "/src/a.txt", "/src/b.txt"}));
    EXPECT_EQ(l.NewOrChanged,
              (std::vector<std::string>{"/src/a.txt", "/src/A.txt"})); // date +1 min, new twin
    EXPECT_EQ(l.DeletedNames, (std::vector<std::string>{"D/x.txt"}));
    // Same minute: not changed; the sentinel of a run's own minute makes it changed.
    EXPECT_TRUE(BuildBackupLists({a}, {}, {a}).NewOrChanged.empty());
    EXPECT_EQ(BuildBackupLists({a}, {}, {std::string(SentinelBackupDate) + "/src/a.txt"}).NewOrChanged.size(),
              1u);
}

// The runner's vendor zip instance, with a test answer scripted when asked for
// (the library gives 527 on a test only for entries it cannot read at all).
class ScriptedVendor : public TBackupVendor {
public:
    int16_t testAnswer = -1;
    int16_t VzTestZipFile(int16_t all) override {
        return testAnswer >= 0 ? testAnswer : TBackupVendor::VzTestZipFile(all);
    }
};

struct Fixture {
    mvtest::TempDir dir;
    fs::path src = dir / "src";
    fs::path dest = dir / "out" / "backup.zip";
    fs::path sra = dir / "s.sra";
    TZipEngine engine;
    ScriptedVendor vendor;
    std::vector<std::string> warnings;
    int64_t clock = At(2026, 12, 10, 20, 0);

    Fixture() {
        Touch(src / "a.txt", "alpha alpha alpha", At(2026, 12, 1, 10, 0));
        Touch(src / "sub" / "b.doc", "beta", At(2026, 12, 1, 10, 0));
        Touch(src / "tmp" / "c.tmp", "gamma", At(2026, 12, 1, 10, 0));
        Touch(src / ".hidden" / "h.txt", "hidden", At(2026, 12, 1, 10, 0));
    }
    std::unique_ptr<TBackupRunner> Runner(bool update = false, bool test = true) {
        auto r = std::make_unique<TBackupRunner>(engine, vendor);
        r->ScriptLines().SetLines({FormatScriptHeader(NewScriptHeader("s")), "SSS" + src.string() + "/*.*",
                                   "SSN" + src.string() + "/tmp/*.*"});
        r->SetLastBackupFile(sra.string());
        r->SetArquivoZip(dest.string());
        r->Options().UpdateOnly = update;
        r->SetTestWanted(test);
        warnings.clear();
        r->SetWarningsList(&warnings);
        r->Now = [this] { return clock; };
        return r;
    }
    // What the manager does after a run: the new ".sra".
    void Keep(const TBackupRunner& r) {
        WriteScriptTextLines(sra.string(), LinesForLastBackup(r.ToZipLines(), clock));
    }
    std::string Name(const std::string& rel) const { return ArchiveNameOf((src / rel).string()); }
};

TEST(BackupRunner, FirstRunThenUpdateRun) {
    MV_REQUIRE_TOOL("zipinfo");
    Fixture f;
    auto r = f.Runner();
    r->Run();
    EXPECT_EQ(r->Record().Status, rsDone);
    EXPECT_EQ(r->Record().TestStatus, tsPassed);
    EXPECT_EQ(r->Record().Files, 3);
    EXPECT_EQ(r->Record().Warnings, 0);
    EXPECT_FALSE(r->Record().UpdateMode);
    EXPECT_EQ(ZipNames(f.dest),
              (std::vector<std::string>{f.Name(".hidden/h.txt"), f.Name("a.txt"), f.Name("sub/b.doc")}));
    ExpectUnzipTestPasses(f.dest);
    ASSERT_EQ(r->ToZipLines().size(), 3u);
    EXPECT_EQ(BackupLinePath(r->ToZipLines()[0]), (f.src / "a.txt").string()); // scan order: files first
    EXPECT_EQ(r->StatusText(), LoadLangStr(345));
    f.Keep(*r);

    // Second run: a.txt changed two minutes later, b.doc deleted, d.txt new.
    Touch(f.src / "a.txt", "alpha changed", At(2026, 12, 1, 10, 2));
    fs::remove(f.src / "sub" / "b.doc");
    Touch(f.src / "d.txt", "delta", At(2026, 12, 2, 9, 0));
    auto u = f.Runner(true);
    std::vector<std::string> added;
    u->OnProgress = [&](const std::string& file, int) { added.push_back(file); };
    u->Run();
    EXPECT_TRUE(u->Record().UpdateMode);
    EXPECT_EQ(u->Record().Status, rsDone);
    std::sort(added.begin(), added.end());
    EXPECT_EQ(added.size(), 2u); // only the changed and the new file are compressed
    EXPECT_EQ(u->Lists().DeletedNames, (std::vector<std::string>{f.Name("sub/b.doc")}));
    EXPECT_EQ(ZipNames(f.dest),
              (std::vector<std::string>{f.Name(".hidden/h.txt"), f.Name("a.txt"), f.Name("d.txt")}));
    const auto p =
        mvtest::Run("unzip -p " + mvtest::Quote(f.dest.string()) + " " + mvtest::Quote(f.Name("a.txt")));
    EXPECT_EQ(p.output, "alpha changed");
    EXPECT_EQ(u->ToZipLines().size(), 3u);
}

TEST(BackupRunner, CancelDuringTheAddKeepsThePreviousArchive) {
    MV_REQUIRE_TOOL("zipinfo");
    Fixture f;
    f.Runner()->Run();
    const auto before = mvtest::ReadFileBytes(f.dest);
    auto r = f.Runner();
    r->OnProgress = [&](const std::string&, int) { r->Cancel(); };
    r->Run();
    EXPECT_EQ(r->Record().Status, rsCancelled);
    EXPECT_EQ(r->Record().Result, 341);
    EXPECT_EQ(r->Record().Files, 0); // no listing
    EXPECT_EQ(r->Record().ZipResultCode, 0);
    EXPECT_TRUE(r->ToZipLines().empty());
    EXPECT_EQ(r->StatusText(), LoadLangStr(341));
    EXPECT_EQ(mvtest::ReadFileBytes(f.dest), before);
    // No temporary files are left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(f.dest.parent_path()), fs::directory_iterator()), 1);
}

TEST(BackupRunner, UnreachableDestinationTouchesNothing) {
    Fixture f;
    platform::FakeFileSystem fake;
    auto& drive = fake.AddDrive((f.dir / "usb").string(), 1 << 20, platform::DriveKind::Removable, "USB", 1);
    drive.EjectMedium();
    platform::ScopedFileSystem use(fake);
    auto r = f.Runner();
    r->SetArquivoZip((f.dir / "usb" / "b.zip").string());
    r->Run();
    EXPECT_EQ(r->Record().Status, rsErrors);
    EXPECT_EQ(r->Record().Warnings, 1);
    EXPECT_EQ(f.warnings, (std::vector<std::string>{LoadLangStr(608)}));
    EXPECT_TRUE(r->ToZipLines().empty());
}

TEST(BackupRunner, TestResultsTable) {
    MV_REQUIRE_TOOL("zipinfo");
    const struct {
        int16_t answer;
        int testStatus, warnings, code, text;
    } cases[] = {
        {107, tsErrors, 1, 107, 343}, // a corrupt archive
        {527, tsErrors, 1, 0, 343},   // some entries not tested: no code is kept
        {0, tsPassed, 0, 0, 345},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        Fixture f;
        f.vendor.testAnswer = c.answer;
        auto r = f.Runner();
        std::vector<std::string> statuses;
        r->OnStatus = [&](const std::string& s) { statuses.push_back(s); };
        r->Run();
        EXPECT_EQ(r->Record().Status, rsDone);
        EXPECT_EQ(r->Record().TestStatus, c.testStatus);
        EXPECT_EQ(r->Record().Warnings, c.warnings);
        EXPECT_EQ(r->Record().TestResultCode, c.code);
        EXPECT_EQ(r->StatusText(), LoadLangStr(c.text));
        EXPECT_EQ(std::count(statuses.begin(), statuses.end(), LoadLangStr(338)), c.answer == 527 ? 1 : 0);
        EXPECT_EQ(ExitCodeOfRun(r->Record()), c.answer == 0 ? ecScriptDone : ecScriptFailed);
    }
}

TEST(BackupRunner, RealTestFindsAFlippedByte) {
    MV_REQUIRE_TOOL("zipinfo");
    Fixture f;
    f.Runner(false, false)->Run();
    auto bytes = mvtest::ReadFileBytes(f.dest);
    // Flip a byte inside the first entry's data (after its 30-byte header and name).
    const size_t at = 30 + f.Name("a.txt").size() + 2;
    bytes[at] ^= 0x55;
    mvtest::WriteFileBytes(f.dest, bytes);
    TBackupVendor vendor;
    vendor.ResetVendorZip(f.dest.string());
    const int16_t code = vendor.VzTestZipFile(1);
    EXPECT_TRUE(code == vzr::CrcError || code == vzr::BadEntry || code == vzr::BadData) << code;
    vendor.ResetVendorZip((f.dir / "nothing.zip").string());
    EXPECT_NE(vendor.VzListZipContents({}), vzr::Ok);

    // The runner's own test finds it too: the byte is flipped once the archive is
    // written; the backup is done and its test failed with the library's code.
    auto r = f.Runner();
    r->OnStatus = [&](const std::string& status) {
        if (status != LoadLangStr(625)) return;
        auto written = mvtest::ReadFileBytes(f.dest);
        written[at] ^= 0x55;
        mvtest::WriteFileBytes(f.dest, written);
    };
    r->Run();
    EXPECT_EQ(r->Record().Status, rsDone);
    EXPECT_EQ(r->Record().TestStatus, tsErrors);
    EXPECT_EQ(r->Record().Warnings, 1);
    EXPECT_EQ(r->Record().TestResultCode, code);
}

// The program's resources as an installed layout: <prefix>/bin/morvelan beside
// <prefix>/share/morvelan with a stand-in stub (a shell script) and an icon.
struct InstalledLayout {
    fs::path prefix;
    std::vector<uint8_t> stub;
    explicit InstalledLayout(const fs::path& at) : prefix(at) {
        fs::create_directories(prefix / "bin");
        fs::create_directories(prefix / "share" / "morvelan");
        mvtest::WriteFileText(prefix / "bin" / "morvelan", "");
        const std::string head = "#!/bin/sh\necho stub\nexit 0\n";
        stub.assign(head.begin(), head.end());
        stub.resize(2048, 0);
        mvtest::WriteFileBytes(prefix / "share" / "morvelan" / "VzSfx32.bin", stub);
        mvtest::WriteFileBytes(prefix / "share" / "morvelan" / "sp.ico", {0, 0, 1, 0, 7, 7});
        platform::SetProgramPath((prefix / "bin" / "morvelan").string());
    }
    ~InstalledLayout() { platform::SetProgramPath(""); }
};

TEST(BackupRunner, SelfExtractingRoadBuildsAnInstallerThroughTheVendorLayer) {
    MV_REQUIRE_TOOL("zipinfo");
    MV_REQUIRE_TOOL("unzip");
    Fixture f;
    InstalledLayout layout(f.dir / "prefix");
    f.engine.SetPackLevel(0); // the script's method does not reach the library
    auto r = f.Runner();
    r->Options().SelfExtracting = true;
    r->SetArquivoZip(TBackupRunner::ArquivoZipEditExit(f.dest.string(), true));
    const fs::path run = f.dir / "out" / "backup.run";
    EXPECT_EQ(r->ArquivoZip(), run.string());
    std::vector<std::string> added;
    r->OnProgress = [&](const std::string& file, int) { added.push_back(file); };
    r->Run();
    EXPECT_EQ(r->Record().Status, rsDone) << (f.warnings.empty() ? "" : f.warnings[0]);
    EXPECT_EQ(r->Record().TestStatus, tsPassed);
    EXPECT_EQ(r->Record().Files, 3);
    EXPECT_EQ(r->Record().TotalSize, 17u + 4u + 6u);
    EXPECT_EQ(r->Record().Warnings, 0);
    EXPECT_EQ(added.size(), 3u);
    EXPECT_EQ(r->StatusText(), LoadLangStr(345));

    // The installer: the stub first, then a zip that the peers read without complaint.
    const auto bytes = mvtest::ReadFileBytes(run);
    ASSERT_GT(bytes.size(), layout.stub.size());
    EXPECT_TRUE(std::equal(layout.stub.begin(), layout.stub.end(), bytes.begin()));
    EXPECT_EQ(fs::status(run).permissions() & fs::perms::all, fs::perms(0755));
    EXPECT_EQ(ZipNames(run),
              (std::vector<std::string>{f.Name(".hidden/h.txt"), f.Name("a.txt"), f.Name("sub/b.doc")}));
    ExpectUnzipTestPasses(run);
    const auto zi = mvtest::Run("zipinfo " + mvtest::Quote(run.string()));
    EXPECT_EQ(zi.output.find("extra bytes"), std::string::npos) << zi.output;
    EXPECT_NE(zi.output.find("defN"), std::string::npos) << zi.output; // level 6, not stored
    const auto p =
        mvtest::Run("unzip -p " + mvtest::Quote(run.string()) + " " + mvtest::Quote(f.Name("a.txt")));
    EXPECT_EQ(p.output, "alpha alpha alpha");
    // The settings block carries the runner's texts, the icon and the auto interface.
    const std::string text(bytes.begin(), bytes.end());
    for (const std::string& field :
         {"string.1=" + std::to_string(LoadLangStr(467).size()) + ":" + LoadLangStr(467) + "\n",
          "button.12=" + std::to_string(LoadLangStr(489).size()) + ":" + LoadLangStr(489) + "\n",
          std::string("message.4=0:\n"), std::string("folder=2:%e\n"), std::string("existing=1:0\n"),
          std::string("ui=4:auto\n"), std::string("icon=6:\0\0\1\0\7\7\n", 14)})
        EXPECT_NE(text.find(field), std::string::npos) << field;
    ASSERT_EQ(r->ToZipLines().size(), 3u);
    f.Keep(*r);

    // A second run replaces the installer whole; an unreadable file is a warning
    // line and stays out of the next last-backup list.
    Touch(f.src / "locked.txt", "secret", At(2026, 12, 1, 10, 0));
    platform::FakeFileSystem fake;
    fake.FailOpensOf((f.src / "locked.txt").string(), EACCES);
    auto again = f.Runner();
    again->Options().SelfExtracting = true;
    again->SetArquivoZip(run.string());
    {
        platform::ScopedFileSystem use(fake);
        again->Run();
    }
    EXPECT_EQ(again->Record().Status, rsDone);
    EXPECT_EQ(again->Record().Files, 3);
    ASSERT_EQ(f.warnings.size(), 2u);
    EXPECT_EQ(f.warnings[0].substr(0, (f.src / "locked.txt").string().size()), (f.src / "locked.txt").string());
    EXPECT_EQ(f.warnings[1], LoadLangStr(293)); // 527 after adding is no silent success
    EXPECT_EQ(again->ToZipLines().size(), 3u);
    EXPECT_EQ(ZipNames(run).size(), 3u);
    ExpectUnzipTestPasses(run);
}

TEST(BackupRunner, SelfExtractingUpdateRunKeepsAWorkingInstaller) {
    MV_REQUIRE_TOOL("zipinfo");
    MV_REQUIRE_TOOL("unzip");
    Fixture f;
    InstalledLayout layout(f.dir / "prefix");
    const fs::path run = f.dir / "out" / "backup.run";
    auto first = f.Runner(true);
    first->Options().SelfExtracting = true;
    first->SetArquivoZip(run.string());
    first->Run();
    ASSERT_EQ(first->Record().Status, rsDone);
    f.Keep(*first);
    Touch(f.src / "a.txt", "alpha changed", At(2026, 12, 1, 10, 2));
    auto r = f.Runner(true);
    r->Options().SelfExtracting = true;
    r->SetArquivoZip(run.string());
    r->Run();
    EXPECT_EQ(r->Record().Status, rsDone);
    EXPECT_EQ(r->Record().TestStatus, tsPassed);
    const auto bytes = mvtest::ReadFileBytes(run);
    ASSERT_GT(bytes.size(), layout.stub.size());
    EXPECT_TRUE(std::equal(layout.stub.begin(), layout.stub.end(), bytes.begin()));
    ExpectUnzipTestPasses(run);
    const auto zi = mvtest::Run("zipinfo " + mvtest::Quote(run.string()));
    EXPECT_EQ(zi.output.find("extra bytes"), std::string::npos) << zi.output;
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(text.rfind("MVSFX1 "), std::string::npos);
    const auto p =
        mvtest::Run("unzip -p " + mvtest::Quote(run.string()) + " " + mvtest::Quote(f.Name("a.txt")));
    EXPECT_EQ(p.output, "alpha changed");
    EXPECT_EQ(fs::status(run).permissions() & fs::perms::all, fs::perms(0755));
}

TEST(BackupRunner, SelfExtractingRoadWithoutTheStubKeepsThePreviousInstaller) {
    MV_REQUIRE_TOOL("zipinfo");
    Fixture f;
    InstalledLayout layout(f.dir / "prefix");
    const fs::path run = f.dir / "out" / "backup.run";
    auto first = f.Runner(false, false);
    first->Options().SelfExtracting = true;
    first->SetArquivoZip(run.string());
    first->Run();
    ASSERT_EQ(first->Record().Status, rsDone);
    const auto before = mvtest::ReadFileBytes(run);

    fs::remove(layout.prefix / "share" / "morvelan" / "VzSfx32.bin");
    auto r = f.Runner();
    r->Options().SelfExtracting = true;
    r->SetArquivoZip(run.string());
    r->Run();
    EXPECT_EQ(r->Record().Status, rsErrors);
    EXPECT_EQ(r->Record().ZipResultCode, vzr::StubMissing);
    EXPECT_EQ(r->Record().TestStatus, tsNotTested);
    EXPECT_TRUE(r->ToZipLines().empty());
    EXPECT_EQ(mvtest::ReadFileBytes(run), before);

    // Cancelled while adding: status 2, no listing, the installer as it was.
    fs::copy_file(layout.prefix / "share" / "morvelan" / "sp.ico",
                  layout.prefix / "share" / "morvelan" / "VzSfx32.bin"); // a stub again
    auto c = f.Runner();
    c->Options().SelfExtracting = true;
    c->SetArquivoZip(run.string());
    c->OnProgress = [&](const std::string&, int) { c->Cancel(); };
    c->Run();
    EXPECT_EQ(c->Record().Status, rsCancelled);
    EXPECT_EQ(c->Record().Result, 341);
    EXPECT_EQ(c->Record().Files, 0);
    EXPECT_EQ(mvtest::ReadFileBytes(run), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(run.parent_path()), fs::directory_iterator()), 1);
}

TEST(BackupRunner, MultiVolumeNeverUpdates) {
    MV_REQUIRE_TOOL("zipinfo");
    Fixture f;
    f.Runner()->Run();
    Touch(f.src / "a.txt", "changed", At(2026, 12, 1, 11, 0));
    auto r = f.Runner(true);
    r->Options().MultiVolume = true;
    r->Run();
    EXPECT_FALSE(r->Record().UpdateMode);
    EXPECT_EQ(r->Record().Status, rsDone) << (f.warnings.empty() ? "" : f.warnings[0]);
    EXPECT_EQ(ZipNames(f.dest).size(), 3u);
    ExpectUnzipTestPasses(f.dest);
}

TEST(BackupRunner, AnUnreadableFileIsAWarningAndStaysOutOfTheList) {
    MV_REQUIRE_TOOL("zipinfo");
    Fixture f;
    Touch(f.src / "locked.txt", "secret", At(2026, 12, 1, 10, 0));
    platform::FakeFileSystem fake;
    fake.FailOpensOf((f.src / "locked.txt").string(), EACCES);
    auto r = f.Runner();
    {
        platform::ScopedFileSystem use(fake);
        r->Run();
    }
    EXPECT_EQ(r->Record().Status, rsDone);
    EXPECT_EQ(r->Record().Warnings, 1);
    ASSERT_EQ(f.warnings.size(), 1u);
    EXPECT_EQ(f.warnings[0].substr(0, f.Name("locked.txt").size() + 5), f.Name("locked.txt") + "  -  ");
    EXPECT_EQ(r->ToZipLines().size(), 3u); // found four, the archive holds three
    EXPECT_EQ(ZipNames(f.dest).size(), 3u);
}

TEST(BackupRunner, ArchiveNameRules) {
    setenv("HOME", "/home/ana", 1);
    EXPECT_EQ(TBackupRunner::ArquivoZipEditExit("", false), "/home/ana/Backups/Backup.zip");
    EXPECT_EQ(TBackupRunner::ArquivoZipEditExit(" /b/x.rar ", false), "/b/x.zip");
    EXPECT_EQ(TBackupRunner::ArquivoZipEditExit("/b/x.zip", true), "/b/x.run");
    EXPECT_EQ(TBackupRunner::ArquivoZipEditExit("/b.d/x", false), "/b.d/x.zip");
    TScriptHeader h;
    h.Destination = "/b/Diario.zip";
    h.DateInName = true;
    EXPECT_EQ(RunArchiveName(h, At(2026, 3, 4, 5, 6)), "/b/Diario_260304_0506.zip");
    EXPECT_EQ(PackLevelOfMethod(0), 0);
    EXPECT_EQ(PackLevelOfMethod(1), 1);
    EXPECT_EQ(PackLevelOfMethod(2), 6);
    EXPECT_EQ(PackLevelOfMethod(3), 9);
}

TEST(BackupRunner, ClearDiskGuardLeavesAFixedDriveAlone) {
    MV_REQUIRE_TOOL("zipinfo");
    Fixture f;
    Touch(f.dir / "out" / "precious.txt", "keep me", At(2026, 1, 1, 0, 0));
    auto r = f.Runner();
    r->Options().ClearDisk = true;
    r->Run();
    EXPECT_EQ(r->Record().Status, rsDone);
    EXPECT_TRUE(fs::exists(f.dir / "out" / "precious.txt"));
}

TEST(BackupRunner, ExitCodeTable) {
    const struct {
        int status, test, code;
    } cases[] = {{3, 0, 168}, {3, 3, 168}, {3, 1, 169}, {3, 2, 169}, {2, 0, 169}, {1, 0, 169}, {0, 0, 169}};
    for (const auto& c : cases) {
        TRunRecord r;
        r.Status = c.status;
        r.TestStatus = c.test;
        EXPECT_EQ(ExitCodeOfRun(r), c.code) << c.status << "/" << c.test;
    }
}

TEST(ScriptRun, HandOverWritesTheRecordAndKeepsTheListOfAnUnfinishedRun) {
    MV_REQUIRE_TOOL("zipinfo");
    Fixture f;
    TScriptStore store((f.dir / "scripts").string());
    std::vector<std::string> names;
    std::string name = "s";
    ASSERT_EQ(store.CreateScript(name, names), TNewScriptResult::nsCreated);
    auto done = f.Runner();
    done->SetLastBackupFile(store.LastBackupPath(name));
    done->Run();
    StoreRunResults(store, name, *done, f.warnings, f.clock, f.clock + 5);
    const auto sra = mvtest::ReadFileBytes(store.LastBackupPath(name));
    EXPECT_EQ(ReadScriptTextLines(store.LastBackupPath(name)).size(), 3u);
    EXPECT_EQ(store.ReadHeader(name).LastStatus, rsDone);

    // Nothing ran: nothing is written.
    auto idle = f.Runner();
    StoreRunResults(store, name, *idle, f.warnings, f.clock, f.clock);
    EXPECT_EQ(store.ReadHeader(name).LastStatus, rsDone);

    // Cancelled: the record says so, the previous archive and its list stay.
    Touch(f.src / "a.txt", "new text", At(2026, 12, 5, 0, 0));
    auto r = f.Runner();
    r->SetLastBackupFile(store.LastBackupPath(name));
    r->OnProgress = [&](const std::string&, int) { r->Cancel(); };
    r->Run();
    StoreRunResults(store, name, *r, f.warnings, f.clock, f.clock);
    EXPECT_EQ(store.ReadHeader(name).LastStatus, rsCancelled);
    EXPECT_EQ(mvtest::ReadFileBytes(store.LastBackupPath(name)), sra);
    EXPECT_FALSE(mvtest::fs::exists(store.WarningsPath(name)));
}

// The unattended run, in process, in a temporary HOME: exit code, archive, run record.
TEST(ScriptRun, HeadlessRunWritesTheArchiveAndTheRecord) {
    MV_REQUIRE_TOOL("zipinfo");
    Fixture f;
    setenv("HOME", f.dir.Path().c_str(), 1);
    const std::string scripts = (f.dir / "data" / "morvelan" / "scripts").string();
    setenv("XDG_DATA_HOME", (f.dir / "data").c_str(), 1);
    EXPECT_EQ(DefaultScriptsFolder(), scripts);
    TScriptStore store(scripts);
    std::vector<std::string> names;
    std::string name = "Diario";
    ASSERT_EQ(store.CreateScript(name, names), TNewScriptResult::nsCreated);
    auto lines = store.ReadScriptLines(name);
    lines.push_back("SSS" + f.src.string() + "/*.*");
    WriteScriptTextLines(store.HeaderPath(name), lines);

    const char* argv[] = {"morvelan", "/W", "diario"};
    EXPECT_EQ(RunScriptHeadless(3, argv), ecScriptDone);
    const fs::path archive = f.dir / "Backups" / "Diario.zip";
    EXPECT_EQ(ZipNames(archive).size(), 4u);
    const TScriptHeader h = store.ReadHeader(name);
    EXPECT_EQ(h.LastStatus, rsDone);
    EXPECT_EQ(h.TestStatus, tsPassed);
    EXPECT_EQ(TrimText(h.Files), "4");
    EXPECT_EQ(TrimText(h.Archive), archive.string());
    EXPECT_EQ(ReadScriptTextLines(store.LastBackupPath(name)).size(), 4u);
    EXPECT_FALSE(fs::exists(store.WarningsPath(name)));

    const char* unknown[] = {"morvelan", "/W", "Semanal"};
    EXPECT_EQ(RunScriptHeadless(3, unknown), ecScriptFailed);
    const char* none[] = {"morvelan", "/W"};
    EXPECT_EQ(RunScriptHeadless(2, none), ecScriptFailed);

    // A failed run (the destination is a folder) exits 169, records its warnings and
    // keeps the previous last-backup list of an update run.
    TScriptHeader u = store.ReadHeader(name);
    u.UpdateOnly = true;
    store.WriteHeader(name, u);
    const auto sraBefore = mvtest::ReadFileBytes(store.LastBackupPath(name));
    fs::remove(archive);
    fs::create_directories(archive / "x");
    Touch(f.src / "new.txt", "n", At(2026, 12, 3, 0, 0));
    EXPECT_EQ(RunScriptHeadless(3, argv), ecScriptFailed);
    EXPECT_EQ(store.ReadHeader(name).LastStatus, rsErrors);
    EXPECT_TRUE(fs::exists(store.WarningsPath(name)));
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(mvtest::ReadFileBytes(store.LastBackupPath(name)), sraBefore);
}

} // namespace
} // namespace mv
