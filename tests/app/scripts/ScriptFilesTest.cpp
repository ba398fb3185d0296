// Backup script files: the header's columns, item lines, last-backup lines, the
// name rules, the list file and the atomic rewrites.
#include "app/scripts/ScriptFiles.h"
#include "app/common/LangStr.h"
#include "platform/FakeFileSystem.h"
#include "platform/LocalTime.h"
#include "tests/support/TestSupport.h"
#include "tests/app/scripts/ScriptTestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>

namespace mv {
namespace {


std::string Cols(const std::string& line, size_t first, size_t last) {
    return CharSubstr(line, first - 1, last - first + 1);
}

TEST(ScriptFiles, GoldenNewHeaderWithLinuxDestination) {
    setenv("HOME", "/home/ana", 1);
    const std::string line = FormatScriptHeader(NewScriptHeader("Diario"));
    const std::string dest = "/home/ana/Backups/Diario.zip";
    EXPECT_EQ(CharCount(line), 639 + dest.size());
    EXPECT_EQ(Cols(line, 1, 5), "12000");
    EXPECT_EQ(Cols(line, 6, 89), std::string(84, ' '));
    EXPECT_EQ(Cols(line, 90, 97), "00:00:00");
    EXPECT_EQ(Cols(line, 98, 117), "       1       1   1");
    EXPECT_EQ(Cols(line, 118, 126), std::string(9, ' '));
    EXPECT_EQ(Cols(line, 127, 128), "10");
    EXPECT_EQ(Cols(line, 129, 134), "000000");
    EXPECT_EQ(Cols(line, 135, 136), "00");
    EXPECT_EQ(Cols(line, 137, 639), std::string(503, ' '));
    EXPECT_EQ(CharSubstr(line, 639), dest);
}

TEST(ScriptFiles, HeaderRoundTripKeepsStatisticsAsRead) {
    TScriptHeader h = NewScriptHeader("x");
    h.TestAfterBackup = false;
    h.Method = 3;
    h.ClearDisk = true;
    h.LastStatus = 3;
    h.TestStatus = 1;
    h.Archive = FitLeft("/b/x.zip", 65);
    h.Date = "10/12/2026 Qui";
    h.Time = "19:40";
    h.Elapsed = "00:01:02";
    h.TotalK = "00000123";
    h.PackedK = "00000045";
    h.Disks = "2   ";
    h.Files = "17       ";
    h.VolumeMode = 0;
    h.UpdateOnly = true;
    h.Warnings = "3     ";
    h.SelfExtracting = true;
    h.DateInName = true;
    h.Destination = "/mnt/dados/x.zip";
    const std::string line = FormatScriptHeader(h);
    const TScriptHeader r = ParseScriptHeader(line);
    EXPECT_EQ(FormatScriptHeader(r), line);
    EXPECT_EQ(r.Method, 3);
    EXPECT_TRUE(r.ClearDisk && r.UpdateOnly && r.SelfExtracting && r.DateInName && !r.TestAfterBackup);
    EXPECT_EQ(r.VolumeMode, 0);
    EXPECT_EQ(HeaderWarnings(r), 3);
    EXPECT_EQ(r.Destination, "/mnt/dados/x.zip");

    // Changing options leaves columns 4-126 and 129-134 as they were.
    TScriptHeader changed = r;
    changed.Method = 0;
    changed.UpdateOnly = false;
    changed.Destination = "/elsewhere.zip";
    const std::string again = FormatScriptHeader(changed);
    EXPECT_EQ(Cols(again, 4, 126), Cols(line, 4, 126));
    EXPECT_EQ(Cols(again, 129, 134), Cols(line, 129, 134));
}

TEST(ScriptFiles, FieldsAreFittedSoTheDestinationStaysAtColumn640) {
    TScriptHeader h = NewScriptHeader("x");
    TRunStatistics run;
    run.Status = rsDone;
    run.TestStatus = tsPassed;
    run.Archive = "/" + std::string(200, 'a') + "/tail.zip";
    run.Finished = At(2026, 12, 10, 19, 40);
    run.ElapsedSeconds = 3 * 3600 + 62;
    run.TotalBytes = 300ull * 1024 * 1024 * 1024 * 1024; // beyond eight digits of K
    run.PackedBytes = 5 * 1024 + 1000;
    run.Disks = 123456;
    run.Files = 42;
    run.Warnings = 7;
    StoreRunStatistics(h, run);
    const std::string line = FormatScriptHeader(h);
    EXPECT_EQ(CharSubstr(line, 639), h.Destination);
    EXPECT_EQ(Cols(line, 4, 5), "33");
    EXPECT_EQ(Cols(line, 6, 70).substr(0, 3), "...");
    EXPECT_EQ(Cols(line, 6, 70).substr(57), "tail.zip");
    EXPECT_EQ(Cols(line, 90, 97), "03:01:02");
    EXPECT_EQ(Cols(line, 98, 105), "99999999");
    EXPECT_EQ(Cols(line, 106, 113), "00000005");
    EXPECT_EQ(Cols(line, 114, 117), "9999");
    EXPECT_EQ(Cols(line, 118, 126), "42       ");
    EXPECT_EQ(Cols(line, 129, 134), "7     ");
    const TScriptHeader r = ParseScriptHeader(line);
    EXPECT_TRUE(r.TestAfterBackup);
    EXPECT_EQ(r.VolumeMode, 1);
}

TEST(ScriptFiles, DateFieldIsFourteenCharactersInEveryLanguage) {
    const int64_t saturday = At(2026, 12, 12, 8, 5);
    const struct {
        int32_t base;
        const char* text;
    } cases[] = {
        {lbPortuguese, "12/12/2026 Sáb"}, {lbEnglish, "12/12/2026 Sat"}, {lbSpanish, "12/12/2026 Sáb"}};
    const int32_t old = LanguageBase();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.base);
        SetLanguageBase(c.base);
        EXPECT_EQ(FormatScriptDate(saturday), c.text);
        EXPECT_EQ(CharCount(FormatScriptDate(saturday)), 14u);
    }
    SetLanguageBase(old);
    EXPECT_EQ(FormatScriptTime(saturday), "08:05");
}

TEST(ScriptFiles, DamagedHeadersReadDefaults) {
    const struct {
        const char* line;
        int method, status, test;
        bool testAfter;
    } cases[] = {
        {"", 2, 0, 0, false},
        {"1x0ab", 2, 0, 0, true},
        {"091  short", 2, 0, 0, false},
        {"1122", 1, 2, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const TScriptHeader h = ParseScriptHeader(c.line);
        EXPECT_EQ(h.Method, c.method);
        EXPECT_EQ(h.LastStatus, c.status);
        EXPECT_EQ(h.TestStatus, c.test);
        EXPECT_EQ(h.TestAfterBackup, c.testAfter);
        EXPECT_EQ(h.Destination, "");
    }
}

TEST(ScriptFiles, LegacyEightBitHeaderReads) {
    mvtest::TempDir dir;
    std::string header = FormatScriptHeader(NewScriptHeader("x"));
    header = header.substr(0, 639) + "/dados/relat\xF3rio \x80.zip"; // Windows-1252
    mvtest::WriteFileText(dir / "x.srp", header + "\r\nSSS/dados/*.*\r\n");
    const auto lines = ReadScriptTextLines((dir / "x.srp").string());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(ParseScriptHeader(lines[0]).Destination, "/dados/relatório €.zip");
    EXPECT_EQ(lines[1], "SSS/dados/*.*");
}

TEST(ScriptFiles, ItemLinesAndHowTheyAreScanned) {
    const struct {
        const char* line;
        bool folder, recurse, include;
        const char* folderPart;
        const char* mask;
    } cases[] = {
        {"SSS/src/*.*", true, true, true, "/src", "*.*"},
        {"SNN/src/tmp/*.tmp", true, false, false, "/src/tmp", "*.tmp"},
        {"NNS/home/ana/a.doc", false, false, true, "/home/ana", "a.doc"},
        {"SSS/src/ ", true, true, true, "/src", "*.*"},
        {"sSS/x/*.*", false, true, true, "/x", "*.*"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const TScriptItem item = ParseScriptItem(c.line);
        EXPECT_EQ(item.FolderItem, c.folder);
        EXPECT_EQ(item.Recurse, c.recurse);
        EXPECT_EQ(item.Include, c.include);
        if (c.line[0] != 's') { // flags compare exactly
            EXPECT_EQ(FormatScriptItem(item), c.line);
        }
        const TItemScan scan = ItemScanOf(item);
        EXPECT_EQ(scan.Folder, c.folderPart);
        EXPECT_EQ(scan.Mask, c.mask);
        EXPECT_EQ(scan.Recurse, c.recurse);
    }
    TArquivosLb lb;
    lb.Lines().push_back("header");
    lb.Lines().push_back("NSN/x");
    lb.AddEntry(true, false, "/d/*.doc", true);
    EXPECT_EQ(lb.Lines()[2], "SNS/d/*.doc");
    EXPECT_FALSE(lb.NotGrayed(1));
    EXPECT_TRUE(lb.Recurse(1));
    EXPECT_FALSE(lb.Include(1));
    EXPECT_EQ(lb.GetFileName(1), "/x");
}

TEST(ScriptFiles, BackupLinesAndTheSameMinuteRule) {
    const int64_t t = At(1999, 11, 5, 14, 2, 30);
    const std::string line = FormatBackupFileLine(t, "/Docs/a.doc");
    EXPECT_EQ(line, "05/11/1999 14:02/Docs/a.doc");
    EXPECT_EQ(BackupLineDate(line), "05/11/1999 14:02");
    EXPECT_EQ(BackupLinePath(line), "/Docs/a.doc");
    EXPECT_EQ(ArchiveNameOf("/Dados/x.txt"), "Dados/x.txt");

    // A run that started at 14:02:10: files stamped 14:02 or later get the sentinel.
    const std::vector<std::string> lines = {FormatBackupFileLine(At(1999, 11, 5, 14, 1, 59), "/a"),
                                            FormatBackupFileLine(At(1999, 11, 5, 14, 2, 0), "/b"),
                                            FormatBackupFileLine(At(1999, 11, 6, 0, 0, 0), "/c")};
    const auto kept = LinesForLastBackup(lines, At(1999, 11, 5, 14, 2, 10));
    EXPECT_EQ(kept[0], lines[0]);
    EXPECT_EQ(kept[1], std::string(SentinelBackupDate) + "/b");
    EXPECT_EQ(kept[2], std::string(SentinelBackupDate) + "/c");
    EXPECT_EQ(FormatBackupWarningLine("a/b.txt", "Erro"), "a/b.txt  -  Erro");
}

TEST(ScriptFiles, NameRules) {
    mvtest::TempDir dir;
    TScriptStore store((dir / "scripts").string());
    std::vector<std::string> names;
    std::string name = "  Diario  ";
    ASSERT_EQ(store.CreateScript(name, names), TNewScriptResult::nsCreated);
    EXPECT_EQ(name, "Diario");
    const struct {
        std::string name;
        TNewScriptResult result;
        std::string stored;
    } cases[] = {
        {"a:b", TNewScriptResult::nsForbiddenChar, ""},
        {"a/b", TNewScriptResult::nsForbiddenChar, ""},
        {"   ", TNewScriptResult::nsEmpty, ""},
        {"diario", TNewScriptResult::nsDuplicate, ""},
        {"a.b", TNewScriptResult::nsCreated, "a.b"},
        {std::string(31, 'z'), TNewScriptResult::nsCreated, std::string(30, 'z')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string n = c.name;
        EXPECT_EQ(store.CreateScript(n, names), c.result);
        if (c.result == TNewScriptResult::nsCreated) {
            EXPECT_EQ(n, c.stored);
            EXPECT_TRUE(mvtest::fs::exists(dir / "scripts" / (c.stored + ".srp")));
        }
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Diario", "a.b", std::string(30, 'z')}));
    EXPECT_EQ(store.ReadScriptList(), names);
    EXPECT_EQ(store.ReadHeader("a.b").Destination, std::string(getenv("HOME")) + "/Backups/a.b.zip");
    EXPECT_EQ(std::string(ForbiddenScriptNameChars), "\\/:*?\"<>|");
}

TEST(ScriptFiles, DeleteRemovesExactlyTheCreatedNamesAndTheListIsPruned) {
    mvtest::TempDir dir;
    TScriptStore store(dir.Path().string());
    std::vector<std::string> names;
    std::string a = "Diario", b = "Semanal", c = "Mensal";
    store.CreateScript(a, names);
    store.CreateScript(b, names);
    store.CreateScript(c, names);
    mvtest::WriteFileText(dir / "Diario.sra", "x\r\n");
    mvtest::WriteFileText(dir / "Diario.SRA", "someone else's\r\n");
    store.DeleteScript("Diario", names);
    EXPECT_FALSE(mvtest::fs::exists(dir / "Diario.srp"));
    EXPECT_FALSE(mvtest::fs::exists(dir / "Diario.sra"));
    EXPECT_TRUE(mvtest::fs::exists(dir / "Diario.SRA"));
    EXPECT_EQ(store.ReadScriptList(), (std::vector<std::string>{"Semanal", "Mensal"}));

    // A header deleted by hand: the name is dropped at read and gone at the next rewrite.
    mvtest::fs::remove(dir / "Semanal.srp");
    names = store.ReadScriptList();
    EXPECT_EQ(names, (std::vector<std::string>{"Mensal"}));
    std::string d = "Novo";
    store.CreateScript(d, names);
    EXPECT_EQ(ReadScriptTextLines(store.ListPath()), (std::vector<std::string>{"Mensal", "Novo"}));
    const auto bytes = mvtest::ReadFileBytes(dir / "Morvelan.SRL");
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "Mensal\r\nNovo\r\n");
}

TEST(ScriptFiles, HeaderRewriteKeepsItemsAndAFailedWriteKeepsTheOldFile) {
    mvtest::TempDir dir;
    TScriptStore store(dir.Path().string());
    std::vector<std::string> names;
    std::string n = "x";
    store.CreateScript(n, names);
    auto lines = store.ReadScriptLines("x");
    lines.push_back("SSS/src/*.*");
    WriteScriptTextLines(store.HeaderPath("x"), lines);
    TScriptHeader h = store.ReadHeader("x");
    h.Method = 0;
    store.WriteHeader("x", h);
    EXPECT_EQ(store.ReadScriptLines("x")[1], "SSS/src/*.*");
    EXPECT_EQ(store.ReadHeader("x").Method, 0);

    const auto before = mvtest::ReadFileBytes(dir / "x.srp");
    // A full disk on the write: the old file stays byte for byte.
    platform::FakeFileSystem fake;
    fake.FailWritesAfter(10);
    {
        platform::ScopedFileSystem use(fake);
        h.Method = 1;
        EXPECT_THROW(store.WriteHeader("x", h), platform::FileError);
    }
    EXPECT_EQ(mvtest::ReadFileBytes(dir / "x.srp"), before);
    EXPECT_EQ(std::distance(mvtest::fs::directory_iterator(dir.Path()), mvtest::fs::directory_iterator()), 2);
    // A read-only folder on the real disk.
    if (geteuid() != 0) {
        chmod(dir.Path().c_str(), 0555);
        EXPECT_THROW(store.WriteHeader("x", h), platform::FileError);
        chmod(dir.Path().c_str(), 0755);
        EXPECT_EQ(mvtest::ReadFileBytes(dir / "x.srp"), before);
    }
}

} // namespace
} // namespace mv
