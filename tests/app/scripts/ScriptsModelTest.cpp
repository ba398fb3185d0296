// The script windows' rules without a window: the analysis (classification, totals,
// sorting with a 1.5 GB file and ";" in names), the list editor (show, add, toggle,
// OK, transfer), the manager (option rules, last-run labels, keys, launcher,
// scheduler hand-over) and the appearance keys.
#include "app/common/LangStr.h"
#include "app/common/StrUtils.h"
#include "app/scripts/BackupAnalysis.h"
#include "app/scripts/ListEditor.h"
#include "app/scripts/ScriptManager.h"
#include "app/scripts/ScriptsAppearance.h"
#include "controls/toolkit/files/TreeScanner.h"
#include "platform/FakeFileSystem.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/LocalTime.h"
#include "tests/support/DesktopFixture.h"
#include "tests/support/TestSupport.h"
#include "tests/app/scripts/ScriptTestFiles.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace mv {
namespace {

namespace fs = mvtest::fs;



std::vector<std::string> Names(TAnalysisView& v) {
    std::vector<std::string> names;
    for (int i = 0; i < v.Count(); ++i) names.push_back(v.Item(i).Name + v.Item(i).Extension);
    return names;
}

class LanguageGuard {
public:
    LanguageGuard() { SetLanguageBase(lbPortuguese); }
    ~LanguageGuard() { SetLanguageBase(lbPortuguese); }
};

// --- Analysis -------------------------------------------------------------------------

TEST(BackupAnalysis, ClassifiesAgainstTheLastBackup) {
    LanguageGuard language;
    mvtest::TempDir dir;
    const fs::path src = dir / "src";
    const int64_t t = At(2024, 3, 1, 10, 0);
    Touch(src / "same.txt", "unchanged", t);
    Touch(src / "moved.txt", "changed a minute later", t + 60);
    Touch(src / "fresh.doc", "new file", t);
    Touch(src / "tmp/both.tmp", "found by include and exclude", t);
    Touch(dir / "other/only.tmp", "found by an exclude item only", t);
    const std::string s = src.string();
    const std::vector<std::string> script = {
        "header", "SSS" + s + "/*.*", "SSN" + s + "/tmp/*.*", "SNN" + (dir / "other").string() + "/*.tmp"};

    // No last backup: every copied file is new, none changed.
    TBackupAnalysis first;
    TTreeScanner scanner;
    first.Analyse(script, scanner);
    EXPECT_EQ(first.Copied().Count(), 3);
    EXPECT_EQ(first.New().Count(), 3);
    EXPECT_EQ(first.Changed().Count(), 0);
    EXPECT_EQ(first.Excluded().Count(), 2);

    TBackupAnalysis a;
    a.SetLastBackup({FormatBackupFileLine(t, s + "/same.txt") + "  ", FormatBackupFileLine(t, s + "/moved.txt"),
                     FormatBackupFileLine(t, s + "/gone.txt")});
    a.Analyse(script, scanner);
    a.Copied().Sort(0, true);
    EXPECT_EQ(Names(a.Copied()), (std::vector<std::string>{"fresh.doc", "moved.txt", "same.txt"}));
    EXPECT_EQ(Names(a.New()), std::vector<std::string>{"fresh.doc"});
    EXPECT_EQ(Names(a.Changed()), std::vector<std::string>{"moved.txt"});
    a.Excluded().Sort(0, true);
    EXPECT_EQ(Names(a.Excluded()), (std::vector<std::string>{"both.tmp", "only.tmp"}));
    // Copied total: the copied files alone (an exclude-only file lowers nothing).
    EXPECT_EQ(a.CopiedBytes(), std::string("unchanged").size() + std::string("changed a minute later").size() +
                                   std::string("new file").size());
    EXPECT_EQ(TBackupAnalysis::TotalsText(a.Copied().Count(), a.CopiedBytes()), "3 arquivos, 0K");
    EXPECT_EQ(a.Lists().DeletedNames, std::vector<std::string>{ArchiveNameOf(s + "/gone.txt")});
}

TEST(BackupAnalysis, RowsAndSortingByEachColumn) {
    LanguageGuard language;
    TBackupAnalysis a;
    const int64_t t = At(2024, 3, 1, 10, 0);
    // A 1.5 GB file, one just under 1 GB, a 9- and a 10-byte file; ";" and long
    // extensions in names.
    const std::vector<TAnalysisFile> found = {
        {"/d/big;one.iso", 1500000000ull, t + 120, true, FormatBackupFileLine(t + 120, "/d/big;one.iso")},
        {"/d/under.img", 999999999ull, t + 60, true, FormatBackupFileLine(t + 60, "/d/under.img")},
        {"/d/x/nine.TXT", 9, t, true, FormatBackupFileLine(t, "/d/x/nine.TXT")},
        {"/d/ten.docx", 10, t + 180, false, FormatBackupFileLine(t + 180, "/d/ten.docx")},
    };
    a.Classify(found, {});
    TAnalysisView& v = a.Copied();
    ASSERT_EQ(v.Count(), 4);
    const struct {
        int column;
        bool ascending;
        std::vector<std::string> order;
    } cases[] = {
        {0, true, {"big;one.iso", "nine.TXT", "ten.docx", "under.img"}},
        {2, true, {"nine.TXT", "ten.docx", "under.img", "big;one.iso"}},
        {2, false, {"big;one.iso", "under.img", "ten.docx", "nine.TXT"}},
        {3, true, {"nine.TXT", "under.img", "big;one.iso", "ten.docx"}},
        {1, true, {"ten.docx", "under.img", "big;one.iso", "nine.TXT"}},
        {4, true, {"big;one.iso", "under.img", "ten.docx", "nine.TXT"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.column);
        v.Sort(c.column, c.ascending);
        std::vector<std::string> shown;
        for (int i = 0; i < v.Count(); ++i) shown.push_back(v.CellText(i, 0) + v.CellText(i, 1));
        std::vector<std::string> expected;
        for (const std::string& n : c.order) {
            const size_t dot = n.rfind('.');
            const bool three = n.size() - dot == 4;
            std::string ext = n.substr(dot);
            for (char& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
            expected.push_back((three ? n.substr(0, dot) : n) + ext);
        }
        EXPECT_EQ(shown, expected);
    }
    // Cells of one row: name without a three-letter extension, lower-case extension,
    // grouped size, date, folder; an unreadable file shows string 192.
    v.Sort(2, false);
    EXPECT_EQ(v.CellText(0, 0), "big;one");
    EXPECT_EQ(v.CellText(0, 1), ".iso");
    EXPECT_EQ(v.CellText(0, 2), "1.500.000.000");
    EXPECT_EQ(v.CellText(0, 3), "01/03/2024 10:02");
    EXPECT_EQ(v.CellText(0, 4), "/d/");
    EXPECT_EQ(v.CellText(2, 0), "ten.docx");
    EXPECT_EQ(v.CellText(2, 3), "Arquivo Aberto  ");
    EXPECT_EQ(v.CellText(3, 4), "/d/x/");
    EXPECT_EQ(v.CellText(0, 5), "");
    // New files have no size column.
    EXPECT_EQ(a.New().Columns().size(), 4u);
    EXPECT_EQ(a.New().CellText(0, 2).size(), 16u);
    // The widest texts per column; an empty column has none.
    TBackupAnalysis none;
    none.Classify({}, {});
    for (const std::string& w : none.Copied().WidestTexts()) EXPECT_EQ(w, "");
    EXPECT_EQ(v.WidestTexts()[2], "1.500.000.000");
    EXPECT_EQ(TBackupAnalysis::TotalsText(v.Count(), a.CopiedBytes()), "4 arquivos, 2.441.406K");
}

TEST(BackupAnalysis, UnreadableFileShowsItAsOpen) {
    LanguageGuard language;
    mvtest::TempDir dir;
    Touch(dir / "locked.txt", "secret", At(2024, 1, 2, 3, 4));
    Touch(dir / "open.txt", "public", At(2024, 1, 2, 3, 4));
    platform::FakeFileSystem fake;
    fake.FailOpensOf((dir / "locked.txt").string(), EACCES);
    platform::ScopedFileSystem scoped(fake);
    TBackupAnalysis a;
    TTreeScanner scanner;
    a.Analyse({"h", "SNS" + dir.Path().string() + "/*.*"}, scanner);
    ASSERT_EQ(a.Copied().Count(), 2);
    a.Copied().Sort(0, true);
    EXPECT_EQ(a.Copied().CellText(0, 3), LoadLangStr(192));
    EXPECT_EQ(a.Copied().CellText(1, 3), "02/01/2024 03:04");
    EXPECT_EQ(a.Copied().Item(0).Size, 6u);
}

// --- List editor ---------------------------------------------------------------------

TEST(ListEditor, ShowAndOkRoundTrip) {
    TArquivosLb lines;
    lines.SetLines({"HEADER", "SSS/d/*.doc", "SNS/d/*.c", "NNS/d/f.txt", "SSN/d/tmp/*.*", "NNN/d/x.bak"});
    TCheckListModel inc, exc;
    FillItemLists(lines, inc, exc);
    ASSERT_EQ(inc.Count(), 3);
    ASSERT_EQ(exc.Count(), 2);
    EXPECT_EQ(inc.Strings(0), "/d/*.doc");
    EXPECT_EQ(inc.GetItemState(0), TCheckBoxState::cbChecked);
    EXPECT_EQ(inc.GetItemState(1), TCheckBoxState::cbUnchecked);
    EXPECT_EQ(inc.GetItemState(2), TCheckBoxState::cbGrayed);
    EXPECT_EQ(exc.Strings(0), "/d/tmp/*.*");
    EXPECT_EQ(exc.GetItemState(1), TCheckBoxState::cbGrayed);
    // OK writes line 0, the include entries, then the exclude entries.
    exc.Add("/e/*.*");
    StoreItemLists(lines, inc, exc);
    EXPECT_EQ(lines.Lines(), (std::vector<std::string>{"HEADER", "SSS/d/*.doc", "SNS/d/*.c", "NNS/d/f.txt",
                                                       "SSN/d/tmp/*.*", "NNN/d/x.bak", "SNN/e/*.*"}));
}

TEST(ListEditor, MaskAndAddTables) {
    const std::pair<const char*, const char*> masks[] = {
        {"", "*.*"}, {"a", "*.*"}, {".txt", "*.txt"}, {" *.c ", "*.c"}, {"*.doc", "*.doc"}, {"  .h ", "*.h"}};
    for (const auto& [in, out] : masks) EXPECT_EQ(NormaliseFolderMask(in), out) << in;

    TCheckListModel list;
    list.SetAllowGrayed(true);
    const std::vector<TPickedItem> folder = {{"/home/u/Docs", true}};
    EXPECT_TRUE(AnyFolderPicked(folder));
    EXPECT_EQ(AddPickedItems(list, folder, "*.doc", true), 1);
    EXPECT_EQ(AddPickedItems(list, folder, "*.doc", false), 0); // the same text once
    EXPECT_EQ(AddPickedItems(list, folder, "*.txt", false), 1); // another mask: a second entry
    const std::vector<TPickedItem> files = {{"/home/u/a.txt", false}, {"", false}, {"smb://server/x", false}};
    EXPECT_FALSE(AnyFolderPicked(files));
    EXPECT_EQ(AddPickedItems(list, files, "*.*", true), 1); // no local path: skipped
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Strings(0), "/home/u/Docs/*.doc");
    EXPECT_EQ(list.GetItemState(0), TCheckBoxState::cbChecked);
    EXPECT_EQ(list.Strings(1), "/home/u/Docs/*.txt");
    EXPECT_EQ(list.GetItemState(1), TCheckBoxState::cbUnchecked);
    EXPECT_EQ(list.Strings(2), "/home/u/a.txt");
    EXPECT_EQ(list.GetItemState(2), TCheckBoxState::cbGrayed);
    TArquivosLb lines;
    lines.SetLines({"H"});
    StoreItemLists(lines, list, TCheckListModel());
    EXPECT_EQ(lines.Lines()[1], "SSS/home/u/Docs/*.doc");
}

TEST(ListEditor, ClicksKeepEachEntrysKind) {
    TCheckListModel list;
    list.SetAllowGrayed(true);
    AddPickedItems(list, {{"/d", true}, {"/d/f", false}}, "*.*", false);
    TEntryStateRule rule;
    list.OnStateChange = [&](int index) { rule.StateChanged(list, index); };
    const TCheckBoxState folderCycle[] = {TCheckBoxState::cbChecked, TCheckBoxState::cbUnchecked,
                                          TCheckBoxState::cbChecked, TCheckBoxState::cbUnchecked};
    for (TCheckBoxState expected : folderCycle) {
        list.ToggleItem(0);
        EXPECT_EQ(list.GetItemState(0), expected);
    }
    for (int i = 0; i < 3; ++i) {
        list.ToggleItem(1);
        EXPECT_EQ(list.GetItemState(1), TCheckBoxState::cbGrayed);
    }
}

TEST(ListEditor, TransferMovesOnlyTheSelectedEntries) {
    TCheckListModel inc, exc;
    inc.SetAllowGrayed(true);
    exc.SetAllowGrayed(true);
    AddPickedItems(inc, {{"/a", true}}, "*.*", true);
    AddPickedItems(exc, {{"/x", true}, {"/y", false}, {"/a", true}, {"/z", false}}, "*.*", true);
    // Exclude entries 1 (/y) and 2 (/a/*.*, already included) dropped on the include list.
    TransferEntries(exc, {1, 2}, inc);
    ASSERT_EQ(inc.Count(), 2);
    EXPECT_EQ(inc.Strings(1), "/y");
    EXPECT_EQ(inc.GetItemState(1), TCheckBoxState::cbGrayed);
    ASSERT_EQ(exc.Count(), 2); // the unselected ones stay excluded
    EXPECT_EQ(exc.Strings(0), "/x/*.*");
    EXPECT_EQ(exc.Strings(1), "/z");
    RemoveEntries(exc, {1, 1, 7});
    ASSERT_EQ(exc.Count(), 1);
}

// --- Manager --------------------------------------------------------------------------

TEST(ScriptManager, OptionRules) {
    // Destination rule.
    TScriptOptions o;
    o.ClearDisk = true;
    o.VolumeMode = 0;
    ApplyDestinationRule(o, true);
    EXPECT_TRUE(o.ClearDiskEnabled);
    EXPECT_TRUE(o.ClearDisk);
    EXPECT_EQ(o.VolumeMode, 0);
    ApplyDestinationRule(o, false);
    EXPECT_FALSE(o.ClearDiskEnabled);
    EXPECT_FALSE(o.ClearDisk);
    EXPECT_EQ(o.VolumeMode, 1);
    // Update rule.
    const struct {
        bool date;
        int volume;
        bool sfx;
        bool enabled;
    } rows[] = {{false, 1, false, true}, {true, 1, false, false}, {false, 0, false, false},
                {false, 1, true, false}, {true, 0, true, false}};
    for (const auto& r : rows) {
        TScriptOptions u;
        u.UpdateOnly = true;
        u.DateInName = r.date;
        u.VolumeMode = r.volume;
        u.SelfExtracting = r.sfx;
        ApplyUpdateRule(u);
        EXPECT_EQ(u.UpdateEnabled, r.enabled) << r.date << r.volume << r.sfx;
        EXPECT_EQ(u.UpdateOnly, r.enabled);
    }
    // The options go into the header's own columns and nowhere else.
    TScriptHeader h = NewScriptHeader("Diario");
    h.LastStatus = rsDone;
    h.Archive = FitLeft("/b/Diario.zip", shArchiveWidth);
    TScriptOptions set = OptionsOfHeader(h);
    set.Test = false;
    set.UpdateOnly = true;
    StoreOptions(h, set);
    const std::string line = FormatScriptHeader(h);
    EXPECT_EQ(line[0], '0');
    EXPECT_EQ(line[127], '1');
    EXPECT_EQ(line.substr(3, 2), "30");
    EXPECT_EQ(ParseScriptHeader(line).Archive, h.Archive);
}

TEST(ScriptManager, LastRunLabels) {
    LanguageGuard language;
    const struct {
        int status, test;
        int copy;
        bool copyAlert;
        int testText;
        bool testAlert;
    } rows[] = {{0, 3, 442, false, 0, false}, {1, 0, 340, true, 0, false},  {2, 3, 341, true, 0, false},
                {3, 0, 342, false, 443, true}, {3, 1, 342, false, 444, true}, {3, 2, 342, false, 445, true},
                {3, 3, 342, false, 446, false}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.status * 10 + r.test);
        TScriptHeader h;
        h.LastStatus = r.status;
        h.TestStatus = r.test;
        const TRunLabels l = RunLabelsOf(h);
        EXPECT_EQ(l.Copy.Text, LoadLangStr(r.copy));
        EXPECT_EQ(l.Copy.Alert, r.copyAlert);
        EXPECT_EQ(l.Test.Text, r.testText ? LoadLangStr(r.testText) : "");
        EXPECT_EQ(l.Test.Alert, r.testAlert);
        if (r.status == 0) {
            EXPECT_EQ(l.Destination, "");
        }
    }
    TScriptHeader h;
    TRunStatistics run;
    run.Status = rsDone;
    run.TestStatus = tsPassed;
    run.Archive = "/b/Diario.zip";
    run.Finished = At(2024, 3, 1, 22, 5);
    run.ElapsedSeconds = 75;
    run.TotalBytes = 4096 * 1024;
    run.PackedBytes = 1024 * 1024;
    run.Disks = 3;
    run.Files = 12;
    run.Warnings = 2;
    StoreRunStatistics(h, run);
    TRunLabels l = RunLabelsOf(h);
    EXPECT_EQ(l.Destination, "(3 discos) /b/Diario.zip");
    EXPECT_EQ(l.Date, TrimText(h.Date) + "  -  22:05 hs");
    EXPECT_EQ(l.Elapsed, "00:01:15");
    EXPECT_EQ(l.Size, "4096K  -  12 arquivos.");
    EXPECT_EQ(l.Packed, "1024K  (75%)");
    EXPECT_TRUE(l.WarningsEnabled);
    EXPECT_EQ(l.Warnings.Text, LoadLangStr(605) + " (2)");
    EXPECT_TRUE(l.Warnings.Alert);
    run.Disks = 1;
    run.Warnings = 0;
    StoreRunStatistics(h, run);
    l = RunLabelsOf(h);
    EXPECT_EQ(l.Destination, "/b/Diario.zip");
    EXPECT_FALSE(l.WarningsEnabled);
    EXPECT_EQ(l.Warnings.Text, LoadLangStr(604));
}

TEST(ScriptManager, KeysByLanguage) {
    using C = TScriptCommand;
    const struct {
        int32_t base;
        const char* keys;
        std::vector<C> commands;
    } rows[] = {
        {lbPortuguese, "ACDILTEGNPQFHSY",
         {C::scAnalyse, C::scMethod, C::scDestination, C::scWarnings, C::scClearDisk, C::scTest, C::scRun,
          C::scSchedule, C::scNew, C::scAppearance, C::scFiles, C::scNone, C::scNone, C::scNone, C::scNone}},
        {lbEnglish, "acdiltFHNSYEGPQ",
         {C::scAnalyse, C::scMethod, C::scDestination, C::scWarnings, C::scClearDisk, C::scTest, C::scFiles,
          C::scSchedule, C::scNew, C::scRun, C::scAppearance, C::scNone, C::scNone, C::scNone, C::scNone}},
        {lbSpanish, "EHNPGQSY",
         {C::scRun, C::scFiles, C::scNew, C::scAppearance, C::scNone, C::scNone, C::scNone, C::scNone}},
    };
    for (const auto& r : rows)
        for (size_t i = 0; r.keys[i]; ++i)
            EXPECT_EQ(CommandOfKey(r.keys[i], r.base), r.commands[i]) << r.base << " " << r.keys[i];
}

TEST(ScriptManager, DesktopLauncherOfAScript) {
    mvtest::TempDir dir;
    const std::string desktopDir = (dir / "Desktop").string();
    const std::string a = CreateScriptShortcut("a.b", desktopDir, "/opt/mv/bin/morvelan");
    const std::string b = CreateScriptShortcut("a.c", desktopDir, "/opt/mv/bin/morvelan");
    EXPECT_EQ(fs::path(a).filename(), "Script a.b.desktop");
    EXPECT_EQ(fs::path(b).filename(), "Script a.c.desktop");
    const std::string quoted = CreateScriptShortcut("Di\"ário $1", desktopDir, "/opt/mv/bin/morvelan");
    ASSERT_FALSE(quoted.empty());
    const auto bytes = mvtest::ReadFileBytes(a);
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(text.find("[Desktop Entry]"), std::string::npos) << text;
    EXPECT_NE(text.find("Type=Application"), std::string::npos) << text;
    EXPECT_NE(text.find("Name=Script a.b\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Exec=/opt/mv/bin/morvelan /S a.b\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Path=/opt/mv/bin\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Icon=morvelan-script\n"), std::string::npos) << text;
    struct stat st {};
    ASSERT_EQ(::stat(a.c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IXUSR);
    const auto qbytes = mvtest::ReadFileBytes(quoted);
    const std::string qtext(qbytes.begin(), qbytes.end());
    EXPECT_NE(qtext.find("Exec=/opt/mv/bin/morvelan /S \"Di\\\\\"ário \\\\$1\"\n"), std::string::npos) << qtext;
    if (mvtest::HaveTool("desktop-file-validate")) {
        const auto r = mvtest::Run("desktop-file-validate " + mvtest::Quote(a));
        EXPECT_EQ(r.exitCode, 0) << r.output;
    }
}

// A scheduler of our own listening on the socket: it keeps the line it receives.
class FakeScheduler {
public:
    explicit FakeScheduler(const std::string& path) {
        fs::create_directories(fs::path(path).parent_path());
        fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << path;
        EXPECT_EQ(::listen(fd, 1), 0);
        thread = std::thread([this] {
            const int client = ::accept(fd, nullptr, nullptr);
            if (client < 0) return;
            char buffer[256];
            ssize_t n;
            while ((n = ::read(client, buffer, sizeof buffer)) > 0) received.append(buffer, static_cast<size_t>(n));
            ::close(client);
        });
    }
    ~FakeScheduler() {
        if (thread.joinable()) {
            ::shutdown(fd, SHUT_RDWR);
            thread.join();
        }
        ::close(fd);
    }
    std::string Received() {
        thread.join();
        return received;
    }

private:
    int fd = -1;
    std::thread thread;
    std::string received;
};

TEST(ScriptManager, SchedulerHandOver) {
    mvtest::DesktopFixture desktop;
    const std::string socket = SchedulerSocketPath();
    EXPECT_EQ(socket, (desktop.Root() / "run/morvelan/morvelan-schedule").string());
    std::vector<std::string> started;
    auto start = [&](const std::string& program, const std::string& args) { started.push_back(program + " " + args); };
    {
        FakeScheduler scheduler(socket);
        EXPECT_EQ(HandOverToScheduler(socket, "/usr/bin/morvelan-schedule", start), TScheduleResult::srWoken);
        EXPECT_EQ(scheduler.Received(), "Schedule Acorda\n");
        EXPECT_TRUE(started.empty());
    }
    fs::remove(socket);
    EXPECT_EQ(HandOverToScheduler(socket, "/usr/bin/morvelan-schedule", start), TScheduleResult::srStarted);
    EXPECT_EQ(started, std::vector<std::string>{"/usr/bin/morvelan-schedule \"/S\""});
    EXPECT_EQ(HandOverToScheduler(socket, "", start), TScheduleResult::srNotInstalled);
    EXPECT_EQ(started.size(), 1u);
    // Found on the PATH when it is not beside the program.
    const fs::path bin = desktop.Root() / "bin";
    Touch(bin / "morvelan-schedule", "#!/bin/sh\n", At(2024, 1, 1, 0, 0));
    ::chmod((bin / "morvelan-schedule").c_str(), 0755);
    const char* oldPath = std::getenv("PATH");
    const std::string saved = oldPath ? oldPath : "";
    ::setenv("PATH", ("/nonexistent:" + bin.string()).c_str(), 1);
    EXPECT_EQ(FindSchedulerProgram(), (bin / "morvelan-schedule").string());
    ::setenv("PATH", "/nonexistent", 1);
    EXPECT_EQ(FindSchedulerProgram(), "");
    ::setenv("PATH", saved.c_str(), 1);
}

// --- Appearance ----------------------------------------------------------------------

TEST(ScriptsAppearance, DefaultsRoundTripAndCaseInsensitiveKeys) {
    mvtest::TempDir dir;
    const std::string path = (dir / "morvelan.ini").string();
    platform::IniFile ini(path);
    const TScriptsAppearance d = ReadScriptsAppearance(ini);
    EXPECT_FALSE(d.IconsOnly);
    EXPECT_EQ(d.TabPosition, tpLeft);
    EXPECT_EQ(d.TabHeight, 30);
    EXPECT_EQ(d.TabWidth, 90);
    EXPECT_FALSE(d.OppositeSide);

    TScriptsAppearance a{true, tpBottom, 44, 120, true};
    WriteScriptsAppearance(ini, a);
    const TScriptsAppearance b = ReadScriptsAppearance(platform::IniFile(path));
    EXPECT_TRUE(b.IconsOnly);
    EXPECT_EQ(b.TabPosition, tpBottom);
    EXPECT_EQ(b.TabHeight, 44);
    EXPECT_EQ(b.TabWidth, 120);
    EXPECT_TRUE(b.OppositeSide);

    // Other spellings of sections and keys, and the yes letters.
    mvtest::WriteFileText(dir / "other.ini", "[TBACOES]\r\napenas icones=v\r\n[form script]\r\nPOSICAO PASTAS=3\r\n"
                                             "lado oposto=Sim\r\n");
    platform::IniFile other((dir / "other.ini").string());
    const TScriptsAppearance c = ReadScriptsAppearance(other);
    EXPECT_TRUE(c.IconsOnly);
    EXPECT_EQ(c.TabPosition, tpRight);
    EXPECT_TRUE(c.OppositeSide);
    // "tbacoes" of the toolbar positions is the same section as "tbAcoes".
    other.WriteInteger("tbacoes", "FloatRightX", 66);
    EXPECT_EQ(other.ReadInteger("tbAcoes", "floatrightx", 0), 66);
    int sections = 0;
    for (const std::string& name : platform::IniFile((dir / "other.ini").string()).ReadSections())
        sections += name == "TBACOES" || name == "tbacoes" || name == "tbAcoes";
    EXPECT_EQ(sections, 1);
}

TEST(ScriptsAppearance, FloatingShapeTable) {
    const struct {
        int shape;
        int iconValue, iconWidth, captionValue, captionWidth;
    } rows[] = {{fsVertical, 37, 45, 108, 116}, {fsTwoColumns, 66, 74, 208, 216}, {fsThreeColumns, 95, 103, 308, 316}};
    EXPECT_EQ(FloatRightXOfShape(fsHorizontal, true), 0);
    EXPECT_EQ(FloatRightXOfShape(fsHorizontal, false), 0);
    for (const auto& r : rows) {
        EXPECT_EQ(FloatRightXOfShape(r.shape, true), r.iconValue);
        EXPECT_EQ(FloatRightXOfShape(r.shape, false), r.captionValue);
        EXPECT_EQ(ShapeOfFloatingWidth(r.iconWidth, true), r.shape);
        EXPECT_EQ(ShapeOfFloatingWidth(r.captionWidth, false), r.shape);
        EXPECT_EQ(ShapeOfFloatRightX(r.iconValue, true), r.shape);
    }
    EXPECT_EQ(ShapeOfFloatingWidth(500, false), fsHorizontal);
    EXPECT_EQ(ShapeOfFloatingWidth(45, false), fsHorizontal);
}

} // namespace
} // namespace mv
