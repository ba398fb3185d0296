// Backup analysis: a script over a tree of 100,000 files (half of them in the last
// backup, a tenth of those changed since), measured side by side with a plain walk
// of the same tree (std::filesystem with one stat per file, the least any analysis
// must do). Prints the time to scan and classify, the time to the first rows (the
// first screen of cells after the sort), a re-sort by size, and the analysis window
// doing all of it with its column widths.
//
// Built as its own program (mvbench_analysis) because the analysis lives in the
// desktop layer: mvbench_analysis [--quick]
#include "app/scripts/BackupAnalysis.h"
#include "app/scripts/FrmAnalise.h"
#include "controls/toolkit/files/TreeScanner.h"
#include "platform/LocalTime.h"
#include "platform/ui/Form.h"

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

double cpuOfLast = 0; // processor time of the last measured step

double Seconds(const std::function<void()>& fn) {
    const std::clock_t c0 = std::clock();
    const auto t0 = std::chrono::steady_clock::now();
    fn();
    cpuOfLast = static_cast<double>(std::clock() - c0) / CLOCKS_PER_SEC;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

} // namespace

int main(int argc, char** argv) {
    using namespace mv;
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    const int files = quick ? 10000 : 100000;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    char pattern[] = "/tmp/mvbench-analysis-XXXXXX";
    const fs::path root = ::mkdtemp(pattern);
    const fs::path src = root / "src";

    // 100 folders of small files; the last backup names every second file, and
    // every twentieth file with another minute.
    std::vector<std::string> last;
    const int64_t stamp = platform::UnixTimeOf({2024, 3, 1, 9, 0, 0});
    for (int i = 0; i < files; ++i) {
        const fs::path dir = src / ("d" + std::to_string(i % 100));
        if (i < 100) fs::create_directories(dir);
        const fs::path file = dir / ("file" + std::to_string(i) + (i % 3 ? ".txt" : ".doc"));
        std::ofstream(file, std::ios::binary) << std::string(static_cast<size_t>(i % 200), 'x');
        fs::last_write_time(file, fs::file_time_type::clock::now());
        if (i % 2 == 0) last.push_back(FormatBackupFileLine(i % 20 == 0 ? stamp : 0, file.string()));
    }
    // The same stamps for the last backup, as the scan will read them.
    for (std::string& line : last) {
        if (line.compare(0, 16, FormatBackupFileLine(stamp, "")) == 0) continue;
        struct stat st {};
        ::stat(BackupLinePath(line).c_str(), &st);
        line = FormatBackupFileLine(st.st_mtime, BackupLinePath(line));
    }
    const std::vector<std::string> script = {"header", "SSS" + src.string() + "/*.*",
                                             "SSN" + src.string() + "/d7/*.*"};

    // Baseline: walk and stat every file.
    size_t walked = 0;
    const double walk = Seconds([&] {
        for (const auto& e : fs::recursive_directory_iterator(src)) {
            struct stat st {};
            if (::stat(e.path().c_str(), &st) == 0 && S_ISREG(st.st_mode)) ++walked;
        }
    });
    const double walkCpu = cpuOfLast;

    // The runner's walk alone (the scan every run and analysis makes).
    size_t scanned = 0;
    TTreeScanner walker;
    const double scan =
        Seconds([&] { ScanScriptItems(script, walker, [&](const TScannedFile&) { ++scanned; }); });
    const double scanCpu = cpuOfLast;

    TBackupAnalysis analysis;
    analysis.SetLastBackup(last);
    TTreeScanner scanner;
    const double classify = Seconds([&] { analysis.Analyse(script, scanner); });
    const double classifyCpu = cpuOfLast;
    std::string sink;
    const double firstRows = Seconds([&] {
        TAnalysisView& v = analysis.Copied();
        v.Sort(0, true);
        for (int i = 0; i < 40 && i < v.Count(); ++i)
            for (int c = 0; c < 5; ++c) sink += v.CellText(i, c);
    });
    const double bySize = Seconds([&] {
        TAnalysisView& v = analysis.Copied();
        v.Sort(2, false);
        for (int i = 0; i < 40 && i < v.Count(); ++i) sink += v.CellText(i, 2);
    });

    EnsureApplication();
    double window = 0, windowCpu = 0;
    {
        TFrmAnalise form(nullptr, (root / "morvelan.ini").string());
        form.ScriptLines().SetLines(script);
        form.SetLastBackup(last);
        window = Seconds([&] { form.Analyse(); });
        windowCpu = cpuOfLast;
    }

    std::printf("Backup analysis of %d files (%zu walked, %zu scanned)\n", files, walked, scanned);
    std::printf("  copied %d, new %d, changed %d, excluded %d\n", analysis.Copied().Count(), analysis.New().Count(),
                analysis.Changed().Count(), analysis.Excluded().Count());
    std::printf("  %-40s %8s %8s\n", "", "wall", "cpu");
    std::printf("  %-40s %8.3f %8.3f s  (1.00x)\n", "walk + stat (baseline)", walk, walkCpu);
    std::printf("  %-40s %8.3f %8.3f s  (%.2fx)\n", "script scan alone (the runner's walk)", scan, scanCpu,
                scan / walk);
    std::printf("  %-40s %8.3f %8.3f s  (%.2fx)\n", "scan + classify", classify, classifyCpu, classify / walk);
    std::printf("  %-40s %8.3f s\n", "first rows (sort by name, 40 rows)", firstRows);
    std::printf("  %-40s %8.3f s\n", "re-sort by size, 40 rows", bySize);
    std::printf("  %-40s %8.3f %8.3f s  (%.2fx)\n", "analysis window (scan, views, widths)", window, windowCpu,
                window / walk);
    fs::remove_all(root);
    return sink.empty() ? 1 : 0;
}
