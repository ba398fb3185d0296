// The real `morvelan` binary as a child process, in a fresh desktop: "/W" runs a
// backup script without any window and ends with the run's exit code; started with
// an archive under a virtual X server, it shows its window (found by its title) with
// the archive listed, and ends cleanly when the window is closed.
#include "app/scripts/ScriptFiles.h"
#include "app/scripts/ScriptRun.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/DesktopFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace mv {
namespace {

namespace fs = std::filesystem;
using mvtest::Quote;

using mvtest::ProgramPath;
using mvtest::Spawn;
using mvtest::WaitFor;
using mvtest::WindowTool;

TEST(Program, BackupScriptRunsHeadlessWithItsExitCode) {
    MV_REQUIRE_TOOL("unzip");
    ASSERT_TRUE(fs::exists(ProgramPath())) << ProgramPath();
    mvtest::DesktopFixture desktop;
    const fs::path src = desktop.Root() / "src";
    fs::create_directories(src / "sub");
    mvtest::WriteFileText(src / "a.txt", "first file\n");
    mvtest::WriteFileText(src / "b.txt", "second file\n");
    mvtest::WriteFileText(src / "sub/c.txt", "third file\n");
    TScriptStore store(DefaultScriptsFolder());
    std::vector<std::string> names;
    std::string name = "Diario";
    ASSERT_EQ(store.CreateScript(name, names), TNewScriptResult::nsCreated);
    auto lines = store.ReadScriptLines(name);
    lines.push_back("SSS" + src.string() + "/*.*");
    WriteScriptTextLines(store.HeaderPath(name), lines);

    // No display at all: the run needs none. stdin is closed, so a prompt would end it.
    const std::string run = "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen timeout 120 " +
                            Quote(ProgramPath()) + " /W diario </dev/null";
    auto r = mvtest::Run(run);
    EXPECT_EQ(r.exitCode, ecScriptDone) << r.output;
    const fs::path archive = desktop.Home() / "Backups" / "Diario.zip";
    ASSERT_TRUE(fs::exists(archive)) << r.output;
    const auto listing = mvtest::Run("unzip -l " + Quote(archive.string()));
    EXPECT_EQ(listing.exitCode, 0);
    for (const char* file : {"a.txt", "b.txt", "sub/c.txt"})
        EXPECT_NE(listing.output.find(file), std::string::npos) << listing.output;
    EXPECT_EQ(store.ReadHeader(name).LastStatus, rsDone);

    // An unknown script: 169, at once.
    r = mvtest::Run("env -u DISPLAY QT_QPA_PLATFORM=offscreen timeout 60 " + Quote(ProgramPath()) + " /w Semanal </dev/null");
    EXPECT_EQ(r.exitCode, ecScriptFailed) << r.output;
    // No script named: 169, no window, no box waiting for a click.
    r = mvtest::Run("env -u DISPLAY QT_QPA_PLATFORM=offscreen timeout 60 " + Quote(ProgramPath()) + " /W </dev/null");
    EXPECT_EQ(r.exitCode, ecScriptFailed) << r.output;
}

TEST(Program, ShowsItsWindowWithTheArchiveUnderXvfbAndEndsWhenClosed) {
    if (!mvtest::HaveTool("Xvfb")) GTEST_SKIP() << "Xvfb is not installed: the program is not started on a display";
    MV_REQUIRE_TOOL("zip");
    ASSERT_TRUE(fs::exists(ProgramPath())) << ProgramPath();
    mvtest::DesktopFixture desktop;
    mvtest::WriteFileText(desktop.Root() / "one.txt", "one\n");
    mvtest::WriteFileText(desktop.Root() / "two.txt", "two two\n");
    const std::string zip = (desktop.Root() / "shown.zip").string();
    ASSERT_EQ(mvtest::Run("zip -q " + Quote(zip) + " one.txt two.txt", desktop.Root()).exitCode, 0);

    const mvtest::VirtualDisplay screen((desktop.Root() / "xvfb.log").string());
    ASSERT_TRUE(screen.Ready());
    const std::string display = screen.Display();

    const std::string log = (desktop.Root() / "morvelan.log").string();
    const pid_t program = Spawn({ProgramPath(), zip}, {"DISPLAY=" + display, "QT_QPA_PLATFORM=xcb", "MORVELAN_LANG=en"}, log);
    const std::string title = zip + " (*)";
    auto found = mvtest::Run("python3 " + Quote(WindowTool()) + " find --display " + display + " --title " + Quote(title) +
                     " --wait 60");
    EXPECT_EQ(found.exitCode, 0) << found.output;
    // The desktop may add the program's name after the window's own caption.
    EXPECT_EQ(found.output.rfind("Morvelan 3.0.016 - " + title, 0), 0u) << found.output;
    // The caption names the archive once it is listed; the window is on screen as a picture.
    const std::string shot = mvtest::ScreenshotFolder("mainwindow") + "/xvfb-window.png";
    auto grabbed = mvtest::Run("python3 " + Quote(WindowTool()) + " grab --display " + display + " --title " + Quote(title) +
                       " --out " + Quote(shot));
    EXPECT_EQ(grabbed.exitCode, 0) << grabbed.output;
    EXPECT_GT(fs::exists(shot) ? fs::file_size(shot) : 0, 1000u);

    auto closed = mvtest::Run("python3 " + Quote(WindowTool()) + " close --display " + display + " --title " + Quote(title));
    EXPECT_EQ(closed.exitCode, 0) << closed.output;
    const int status = WaitFor(program, 60);
    std::ifstream in(log);
    const std::string output((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(status, 0) << output;
}

} // namespace
} // namespace mv
