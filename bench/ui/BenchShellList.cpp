// The shell list on a folder of 20,000 files: filling it (enumeration, attributes and
// the first sort by name), showing it, sorting it by each column and back, and
// refreshing it by difference with nothing changed and after 200 files came and 200
// went. The reference is the floor any listing pays: reading the same folder and
// sorting the names, measured in the same run; the ratio says how far above it the
// control stays. Prints one line per operation.
//
// Built as its own program (mvbench_shelllist) on the desktop layer; it runs without a
// display: mvbench_shelllist [--quick] (--quick: 5,000 files)
#include "controls/shell/ShellList.h"
#include "controls/shell/SyncTimer.h"
#include "platform/ui/Form.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace mv;
namespace fs = std::filesystem;

double Milliseconds(const std::function<void()>& fn) {
    const auto t0 = std::chrono::steady_clock::now();
    fn();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

// The floor: the names of the folder, read and sorted.
double Reference(const fs::path& folder) {
    return Milliseconds([&] {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
    });
}

} // namespace

int main(int argc, char** argv) {
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    const int files = quick ? 5000 : 20000;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    char tmpl[] = "/tmp/mvbench-shelllist-XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    const fs::path folder = fs::path(tmpl) / "many";
    fs::create_directories(folder);
    for (int i = 0; i < files; ++i) {
        std::ofstream out(folder / ("file" + std::to_string(i * 7919 % files) + ".dat"));
        out << std::string(static_cast<size_t>(i % 977), 'x');
    }
    for (int i = 0; i < 50; ++i) fs::create_directories(folder / ("folder" + std::to_string(i)));

    TApplication& application = EnsureApplication();
    TMvManualClock clock; // no timers of their own
    TForm form(nullptr);
    form.SetBounds(0, 0, 800, 600);
    TMvShellList list(&form);
    list.SetParent(&form);
    list.SetBounds(0, 0, 800, 600);
    list.SetOptions(list.Options() & ~PTSLO(ptsloDynamicRefresh));

    const double reference = Reference(folder);
    std::printf("%d files and 50 folders\n", files);
    std::printf("%-46s %10s %10s\n", "operation", "ms", "x listing");
    auto row = [&](const char* what, double ms) { std::printf("%-46s %10.1f %10.1f\n", what, ms, ms / reference); };
    row("reference: read the names and sort them", reference);
    row("fill (enumerate, attributes, sort by name)", Milliseconds([&] { list.Folder().SetPath(folder.string()); }));
    row("show and paint the first screen", Milliseconds([&] {
            form.Show();
            application.ProcessMessages();
            list.Repaint();
        }));
    row("sort by size", Milliseconds([&] { list.SetSortColumnValue(2); }));
    row("sort by size, descending", Milliseconds([&] { list.SetSortColumnValue(-2); }));
    row("sort by modification time", Milliseconds([&] { list.SetSortColumnValue(4); }));
    row("sort by name", Milliseconds([&] { list.SetSortColumnValue(1); }));
    row("refresh, nothing changed", Milliseconds([&] { list.Refresh(); }));
    for (int i = 0; i < 200; ++i) {
        fs::remove(folder / ("file" + std::to_string(i) + ".dat"));
        std::ofstream(folder / ("new" + std::to_string(i) + ".dat")) << "n";
    }
    row("refresh, 200 added and 200 deleted", Milliseconds([&] { list.Refresh(); }));
    std::printf("rows shown: %d\n", list.Items().Count());
    std::error_code ec;
    fs::remove_all(tmpl, ec);
    return list.Items().Count() == files + 50 ? 0 : 1;
}
