#pragma once
// A fresh desktop for one test: HOME and every XDG folder variable point into a
// temporary tree (restored afterwards), so that desktop entries, MIME packages,
// mimeapps.list, action files and the program's settings land there. Plus the folder
// the desktop tests put their screenshots in (build/screenshots/<area>).
#include "tests/support/TestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <sys/stat.h>

namespace mvtest {

class DesktopFixture {
public:
    DesktopFixture() {
        Set("HOME", (dir / "home").string());
        Set("XDG_CONFIG_HOME", (dir / "home/.config").string());
        Set("XDG_DATA_HOME", (dir / "home/.local/share").string());
        Set("XDG_CONFIG_DIRS", (dir / "etc/xdg").string());
        Set("XDG_DATA_DIRS", (dir / "usr/share").string());
        Set("XDG_RUNTIME_DIR", (dir / "run").string());
        Set("XDG_CURRENT_DESKTOP", "");
        Set("DESKTOP_SESSION", "");
        Set("KDE_FULL_SESSION", "");
        Set("GNOME_DESKTOP_SESSION_ID", "");
        for (const char* d : {"home/.config", "home/.local/share", "home/Desktop", "etc/xdg", "usr/share", "run"})
            fs::create_directories(dir / d);
        ::chmod((dir / "run").c_str(), 0700);
    }
    ~DesktopFixture() {
        for (const auto& [name, value] : saved) {
            if (value) ::setenv(name.c_str(), value->c_str(), 1);
            else ::unsetenv(name.c_str());
        }
    }
    DesktopFixture(const DesktopFixture&) = delete;
    DesktopFixture& operator=(const DesktopFixture&) = delete;

    fs::path Root() const { return dir.Path(); }
    fs::path Home() const { return dir / "home"; }
    fs::path Config() const { return dir / "home/.config"; }
    fs::path Data() const { return dir / "home/.local/share"; }

private:
    void Set(const std::string& name, const std::string& value) {
        if (!saved.count(name)) {
            const char* old = std::getenv(name.c_str());
            saved[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value.empty()) ::unsetenv(name.c_str());
        else ::setenv(name.c_str(), value.c_str(), 1);
    }
    TempDir dir;
    std::map<std::string, std::optional<std::string>> saved;
};

// build/screenshots/<area>: the test programs live in build/tests.
inline std::string ScreenshotFolder(const std::string& area) {
    const fs::path exe = fs::read_symlink("/proc/self/exe");
    const fs::path folder = exe.parent_path().parent_path() / "screenshots" / area;
    fs::create_directories(folder);
    return folder.string();
}

// Fails the test (never skips) when a peer tool is missing.
#define MV_NEED_TOOL(name) ASSERT_TRUE(::mvtest::HaveTool(name)) << "peer tool " << name << " is not installed"

} // namespace mvtest
