// The self-extractor stubs: their size on disk, and how long an installer takes
// from its start to its first question (the introduction, answered "Exit" from
// a scripted answers file), beside the time of a whole quiet extraction and of
// `unzip -t` on the same installer. The installer is built by the vendor zip
// library from 200 small files; each run is checked (exit code and extracted
// files) before a figure is printed.
#include "Bench.h"

#include "archive/libraries/vendorzip/VendorZip.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

void Run(bool quick) {
    const fs::path stubs = MV_SFX_STUB_DIR;
    const fs::path dir = fs::temp_directory_path() / ("mvbench-sfx-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "src");
    for (int i = 0; i < 200; ++i) {
        std::ofstream f(dir / "src" / ("file" + std::to_string(i) + ".txt"));
        for (int k = 0; k < 200; ++k) f << "line " << k << " of file " << i << "\n";
    }
    std::ofstream(dir / "answers.txt") << "Exit\n";
    const int reps = quick ? 5 : 20;
    mvbench::PrintRow({"stub", "size KiB", "to first question ms", "quiet install ms", "unzip -t ms"},
                      {12, 10, 22, 18, 12});
    for (const char* name : {"VzSfx32.bin", "VzSfx16.bin"}) {
        const fs::path installer = dir / (std::string(name) + ".run");
        mv::VendorZipInitDLL();
        const uint32_t h = mv::VzCreateVendorZipA();
        mv::VzSetSfxBinaryModuleA(h, (stubs / name).c_str());
        mv::VzSetSfxMessagesA(h, 3, "Installs 200 files.");
        mv::VzSetSfxDefaultUnzipToFolderA(h, "%e");
        mv::VzSetZipFilenameA(h, installer.c_str());
        mv::VzSetFilesToProcessA(h, (dir.string() + "/src/*").c_str());
        mv::VzSetPreservePaths(h, 0);
        const int16_t r = mv::VzZip(h);
        mv::VzDestroyVendorZip(h);
        if (r != 0) {
            std::printf("  %s: the installer could not be built (%d)\n", name, r);
            continue;
        }
        const std::string env = "env -u DISPLAY -u WAYLAND_DISPLAY MORVELAN_SFX_ANSWERS=" + (dir / "answers.txt").string();
        if (std::system((env + " " + installer.string() + " >/dev/null 2>&1; test $? -eq 2").c_str()) != 0) {
            std::printf("  %s: the first question did not end the run as asked\n", name);
            continue;
        }
        const fs::path out = dir / "out";
        const std::string quiet = installer.string() + " --quiet --target " + out.string() + " >/dev/null 2>&1";
        fs::remove_all(out);
        if (std::system(quiet.c_str()) != 0 || !fs::exists(out / "file199.txt")) {
            std::printf("  %s: the quiet install failed\n", name);
            continue;
        }
        const double first = mvbench::TimeCommand(env + " " + installer.string() + " >/dev/null 2>&1 || true", reps);
        const double whole = mvbench::TimeCommand("rm -rf " + out.string() + " && " + quiet, reps);
        const double unzip = mvbench::TimeCommand("unzip -tqq " + installer.string(), reps);
        char size[32], a[32], b[32], c[32];
        std::snprintf(size, sizeof size, "%.0f", fs::file_size(stubs / name) / 1024.0);
        std::snprintf(a, sizeof a, "%.2f", first * 1000);
        std::snprintf(b, sizeof b, "%.2f", whole * 1000);
        std::snprintf(c, sizeof c, "%.2f", unzip * 1000);
        mvbench::PrintRow({name, size, a, b, c}, {12, 10, 22, 18, 12});
    }
    fs::remove_all(dir);
}

mvbench::SectionRegistrar registrar("sfx-stub", Run);

} // namespace
