// The installer's own rules (codes, arguments, names) and what it does with a
// container holding entries that would land outside the target.
#include "app/packager/stub/SfxContainer.h"
#include "app/packager/stub/SfxRun.h"
#include "archive/framework/Crc.h"
#include "archive/framework/ZipRecords.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/TestSupport.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace mv::sfx {
namespace fs = mvtest::fs;
namespace {

using mvtest::TempDir;

TEST(SfxStub, FolderCodes) {
    ::setenv("HOME", "/home/u", 1);
    ::setenv("XDG_DATA_HOME", "/home/u/.data", 1);
    ::setenv("TMPDIR", "/scratch", 1);
    struct Row {
        std::string in, out;
    };
    const Row rows[] = {
        {"%e", "/opt/inst"},           {"%e\\sub", "/opt/inst/sub"},     {"%t/x", "/scratch/x"},
        {"%s", "/home/u/.local/lib"},  {"%w", "/home/u/.data"},          {"%v\\Apps", "/home/u/Apps"},
        {"%p\\Tool", "/home/u/.local/opt/Tool"}, {"100%%", "100%"},     {"%q stays", "%q stays"},
        {"plain", "plain"},
    };
    for (const Row& r : rows) EXPECT_EQ(ExpandFolderCodes(r.in, "/opt/inst"), r.out) << r.in;
    const std::string random = ExpandFolderCodes("/tmp/%r", "");
    EXPECT_EQ(random.size(), 5u + 8u);
    EXPECT_NE(random, ExpandFolderCodes("/tmp/%r", ""));
    ::unsetenv("TMPDIR");
}

TEST(SfxStub, MessageCodes) {
    const std::map<char, std::string> v = {{'d', "/dest"}, {'f', "a.txt"}, {'e', "107"}, {'n', "2"}};
    EXPECT_EQ(ExpandMessageCodes("Error #%e in %f under %d, disk %n, 5%%", v),
              "Error #107 in a.txt under /dest, disk 2, 5%");
    EXPECT_EQ(ExpandMessageCodes("%s on %x", v), " on %x");
}

TEST(SfxStub, ArgumentsSplitLikeAShellWithoutOne) {
    EXPECT_EQ(SplitArguments("  -a  'b c' \"d \\\"e\\\"\" f\\ g $HOME;ls "),
              (std::vector<std::string>{"-a", "b c", "d \"e\"", "f g", "$HOME;ls"}));
    EXPECT_TRUE(SplitArguments("   ").empty());
    EXPECT_EQ(SplitArguments("''"), std::vector<std::string>{""});
}

TEST(SfxStub, EntryNamesAndDesktopIds) {
    struct Row {
        std::string stored, safe;
    };
    const Row rows[] = {{"a/b.txt", "a/b.txt"}, {"a\\b.txt", "a/b.txt"}, {"./a//b", "a/b"},
                        {"../x", ""},           {"/etc/x", ""},          {"a/../../x", ""},
                        {"C:\\x", ""},          {"dir/", "dir"}};
    for (const Row& r : rows) EXPECT_EQ(SafeEntryName(r.stored), r.safe) << r.stored;
    EXPECT_EQ(DesktopId("My Tools 2.0!"), "my-tools-2-0");
    EXPECT_EQ(DesktopId("***"), "installer");
}

// A container made by hand: the stub, the settings block and a stored zip
// whose names are given as they stand.
void WriteContainer(const fs::path& out, const std::vector<std::pair<std::string, std::string>>& entries,
                    const std::map<std::string, std::string>& settings, const char* stub = "VzSfx16.bin") {
    std::vector<uint8_t> file = mvtest::ReadFileBytes(fs::path(MV_SFX_STUB_DIR) / stub);
    std::vector<uint8_t> block = {'M', 'V', 'S', 'F', 'X', '1', 0};
    for (const auto& [k, v] : settings) {
        const std::string field = k + "=" + std::to_string(v.size()) + ":" + v + "\n";
        block.insert(block.end(), field.begin(), field.end());
    }
    const size_t blockAt = file.size();
    file.insert(file.end(), block.begin(), block.end());
    std::vector<uint8_t> central;
    for (const auto& [name, data] : entries) {
        TZipLocalHeader h;
        h.VersionNeeded = 10;
        h.Crc32 = Crc32Of(reinterpret_cast<const uint8_t*>(data.data()), data.size());
        h.CompressedSize = h.UncompressedSize = static_cast<uint32_t>(data.size());
        h.NameLength = static_cast<uint16_t>(name.size());
        h.DosDateTime = 0x5A210000;
        TZipCentralRecord c;
        c.VersionMadeBy = 0x0314;
        c.VersionNeeded = 10;
        c.Crc32 = h.Crc32;
        c.CompressedSize = c.UncompressedSize = h.UncompressedSize;
        c.NameLength = h.NameLength;
        c.DosDateTime = h.DosDateTime;
        // Folders (names ending in "/") are private to their owner's group.
        c.ExternalAttributes = (name.ends_with("/") ? 040750u : 0100644u) << 16;
        c.LocalHeaderOffset = static_cast<uint32_t>(file.size());
        uint8_t raw[ZipCentralRecordSize];
        WriteZipLocalHeader(h, raw);
        file.insert(file.end(), raw, raw + ZipLocalHeaderSize);
        file.insert(file.end(), name.begin(), name.end());
        file.insert(file.end(), data.begin(), data.end());
        WriteZipCentralRecord(c, raw);
        central.insert(central.end(), raw, raw + ZipCentralRecordSize);
        central.insert(central.end(), name.begin(), name.end());
    }
    char locator[80];
    std::snprintf(locator, sizeof locator, "MVSFX1 %zu %zu %08X", blockAt, block.size(),
                  Crc32Of(block.data(), block.size()));
    const std::string comment = locator;
    TZipEndRecord end;
    end.EntriesOnDisk = end.EntriesTotal = static_cast<uint16_t>(entries.size());
    end.CentralSize = static_cast<uint32_t>(central.size());
    end.CentralOffset = static_cast<uint32_t>(file.size());
    end.CommentLength = static_cast<uint16_t>(comment.size());
    file.insert(file.end(), central.begin(), central.end());
    uint8_t raw[ZipEndRecordSize];
    WriteZipEndRecord(end, raw);
    file.insert(file.end(), raw, raw + ZipEndRecordSize);
    file.insert(file.end(), comment.begin(), comment.end());
    mvtest::WriteFileBytes(out, file);
    fs::permissions(out, fs::perms::owner_all);
}

TEST(SfxStub, EntriesThatWouldLeaveTheTargetAreRefused) {
    TempDir dir;
    fs::create_directories(dir / "deep/target");
    WriteContainer(dir / "hostile.run",
                   {{"ok.txt", "fine"}, {"../evil.txt", "x"}, {"/tmp/mv-sfx-abs.txt", "x"},
                    {"sub/../../../evil2.txt", "x"}, {"sub\\inner.txt", "inner"}},
                   {{"message.1", "Error #%e"}, {"button.0", "OK"}});
    const auto r = mvtest::Run(mvtest::Quote((dir / "hostile.run").string()) + " --quiet --target " +
                               mvtest::Quote((dir / "deep/target").string()));
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_EQ(mvtest::ReadFileBytes(dir / "deep/target/ok.txt").size(), 4u);
    EXPECT_EQ(mvtest::ReadFileBytes(dir / "deep/target/sub/inner.txt").size(), 5u);
    EXPECT_FALSE(fs::exists(dir / "deep/evil.txt"));
    EXPECT_FALSE(fs::exists(dir / "evil2.txt"));
    EXPECT_FALSE(fs::exists("/tmp/mv-sfx-abs.txt"));
}

TEST(SfxStub, ADamagedContainerIsAClearError) {
    TempDir dir;
    WriteContainer(dir / "a.run", {{"a.txt", "data"}}, {});
    auto bytes = mvtest::ReadFileBytes(dir / "a.run");
    bytes[bytes.size() - 30] ^= 0xFF; // inside the end record's locator area
    bytes.erase(bytes.end() - 5, bytes.end()); // and cut the comment short
    mvtest::WriteFileBytes(dir / "a.run", bytes);
    fs::permissions(dir / "a.run", fs::perms::owner_all);
    const auto r = mvtest::Run(mvtest::Quote((dir / "a.run").string()) + " --quiet --target " +
                               mvtest::Quote(dir.Path().string()));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("installer"), std::string::npos) << r.output;
    EXPECT_FALSE(fs::exists(dir / "a.txt"));
}

// The installer of the desktop (VzSfx32) asks through zenity or kdialog when a
// display is there: each question with its title, text and the author's button
// captions, and each answer (buttons, typed folder, list choice) is honoured.
TEST(SfxStub, DesktopDialogsAskAndTheirAnswersAreHonoured) {
    TempDir dir;
    const std::map<std::string, std::string> settings = {
        {"string.1", "Setup"},           {"message.3", "Welcome"},
        {"message.4", "Licence terms"},  {"message.5", "Choose the folder"},
        {"string.2", "Folder:"},         {"message.10", "%d does not exist. Create it ?"},
        {"message.11", "%f exists."},    {"message.0", "Done in %d"},
        {"folder", (dir / "default").string()},
        {"button.0", "&OK"},             {"button.1", "&Cancel"},
        {"button.5", "&Yes"},            {"button.6", "&No"},
        {"button.7", "&All"},            {"button.8", "N&one"},
        {"button.9", "&Continue"},       {"button.10", "E&xit"},
        {"button.11", "&Agree"},         {"button.12", "&Disagree"}};
    WriteContainer(dir / "setup.run", {{"a.txt", "new a"}, {"sub/", ""}, {"sub/b.txt", "b"}}, settings,
                   "VzSfx32.bin");
    for (const std::string program : {"zenity", "kdialog"}) {
        SCOPED_TRACE(program);
        const bool kde = program == "kdialog";
        mvtest::FakeDialogs fake(dir / program, {program});
        const fs::path target = dir / (program + "-out");
        const std::string t = target.string();

        // A fresh folder: welcome, licence, folder typed, its creation confirmed, done.
        auto r = fake.Run(dir / "setup.run", {"0|", "0|", "0|" + t, "0|", "0|"});
        EXPECT_EQ(r.exitCode, 0) << r.output;
        EXPECT_EQ(mvtest::ReadFileBytes(target / "a.txt").size(), 5u);
        EXPECT_EQ(mvtest::ReadFileBytes(target / "sub/b.txt").size(), 1u);
        EXPECT_EQ(fs::status(target / "sub").permissions(), fs::perms(0750)); // the folder's stored mode
        using Args = std::vector<std::string>;
        const std::vector<Args> expected =
            kde ? std::vector<Args>{
                      {"kdialog", "--title", "Setup", "--yes-label", "Continue", "--no-label", "Exit", "--yesno",
                       "Welcome"},
                      {"kdialog", "--title", "Setup", "--yes-label", "Agree", "--no-label", "Disagree", "--yesno",
                       "Licence terms"},
                      {"kdialog", "--title", "Setup", "--inputbox", "Choose the folder\nFolder:",
                       (dir / "default").string()},
                      {"kdialog", "--title", "Setup", "--yes-label", "Yes", "--no-label", "No", "--yesno",
                       t + " does not exist. Create it ?"},
                      {"kdialog", "--title", "Setup", "--msgbox", "Done in " + t}}
                : std::vector<Args>{
                      {"zenity", "--question", "--title", "Setup", "--text", "Welcome", "--ok-label", "Continue",
                       "--cancel-label", "Exit"},
                      {"zenity", "--question", "--title", "Setup", "--text", "Licence terms", "--ok-label", "Agree",
                       "--cancel-label", "Disagree"},
                      {"zenity", "--entry", "--title", "Setup", "--text", "Choose the folder\nFolder:",
                       "--entry-text", (dir / "default").string()},
                      {"zenity", "--question", "--title", "Setup", "--text", t + " does not exist. Create it ?",
                       "--ok-label", "Yes", "--cancel-label", "No"},
                      {"zenity", "--info", "--title", "Setup", "--text", "Done in " + t}};
        EXPECT_EQ(fake.Calls(), expected);

        // The folder exists with a.txt: the five-way question answered "None" keeps it.
        mvtest::WriteFileText(target / "a.txt", "old");
        fs::remove_all(target / "sub");
        r = fake.Run(dir / "setup.run", {"0|", "0|", "0|" + t, "0|3", "0|"});
        EXPECT_EQ(r.exitCode, 0) << r.output;
        EXPECT_EQ(mvtest::ReadFileBytes(target / "a.txt").size(), 3u);
        EXPECT_TRUE(fs::exists(target / "sub/b.txt"));
        const auto calls = fake.Calls();
        ASSERT_EQ(calls.size(), 5u);
        const Args list = kde ? Args{"kdialog", "--title", "Setup", "--menu", "a.txt exists.", "0", "Yes", "1", "No",
                                     "2", "All", "3", "None", "4", "Cancel"}
                              : Args{"zenity", "--list", "--title", "Setup", "--text", "a.txt exists.", "--column", "#",
                                     "--column", "", "--hide-column", "1", "0", "Yes", "1", "No", "2", "All", "3",
                                     "None", "4", "Cancel"};
        EXPECT_EQ(calls[3], list);

        // The licence declined (the second button, or the window closed): exit 3, nothing written.
        fs::remove_all(target);
        r = fake.Run(dir / "setup.run", {"0|", "1|"});
        EXPECT_EQ(r.exitCode, 3) << r.output;
        EXPECT_FALSE(fs::exists(target));
        EXPECT_EQ(fake.Calls().size(), 2u);

        // The welcome left through its second button: exit 2, nothing more asked.
        r = fake.Run(dir / "setup.run", {"1|"});
        EXPECT_EQ(r.exitCode, 2) << r.output;
        EXPECT_EQ(fake.Calls().size(), 1u);
    }
}

// Where the dialogs cannot be used the installer asks in the terminal: no display,
// neither program installed, the terminal-only stub, or a dialog program that
// fails (an error status is never taken for an answer).
TEST(SfxStub, TerminalWhenTheDesktopDialogsCannotAsk) {
    TempDir dir;
    const std::map<std::string, std::string> settings = {
        {"string.1", "Setup"}, {"message.3", "Welcome"}, {"message.4", "Licence terms"},
        {"button.11", "&Agree"}, {"button.12", "&Disagree"}, {"button.9", "&Continue"}, {"button.10", "E&xit"}};
    WriteContainer(dir / "32.run", {{"a.txt", "data"}}, settings, "VzSfx32.bin");
    WriteContainer(dir / "16.run", {{"a.txt", "data"}}, settings, "VzSfx16.bin");
    struct Row {
        const char* what;
        const char* installer;
        std::vector<std::string> programs; // the stand-ins on PATH
        std::string env;
        size_t calls;     // dialog calls made
        bool fellBack;    // the "asking here instead" note
    };
    const Row rows[] = {
        {"no display", "32.run", {"zenity", "kdialog"}, "", 0, false},
        {"no dialog program", "32.run", {}, "DISPLAY=:99", 0, false},
        {"terminal-only stub", "16.run", {"zenity"}, "DISPLAY=:99", 0, false},
        {"zenity fails", "32.run", {"zenity"}, "DISPLAY=:99", 1, true},
        {"kdialog fails", "32.run", {"kdialog"}, "WAYLAND_DISPLAY=wayland-0 XDG_CURRENT_DESKTOP=KDE", 1, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const fs::path work = dir / row.what;
        mvtest::FakeDialogs fake(work, row.programs);
        const fs::path target = work / "out";
        fs::create_directories(target);
        // The answers typed at the terminal: on past the welcome, and the licence agreed to.
        const auto run = fake.Run(dir / row.installer, {"255|", "255|"}, "Continue\nAgree\n", row.env,
                                  "--target " + mvtest::Quote(target.string()));
        EXPECT_EQ(run.exitCode, 0) << run.output;
        EXPECT_NE(run.output.find("== Setup ==\nLicence terms\n  1) Agree\n  2) Disagree"), std::string::npos)
            << run.output;
        EXPECT_EQ(mvtest::ReadFileBytes(target / "a.txt").size(), 4u);
        EXPECT_EQ(fake.Calls().size(), row.calls);
        EXPECT_EQ(run.output.find("asking here instead") != std::string::npos, row.fellBack) << run.output;
    }
}

} // namespace
} // namespace mv::sfx
