// Many small files: a ZIP of 19,000 stored members (2,000 with --quick) in 190
// folders is extracted by our reader and by unzip, and the same files are
// copied by `cp -r`, in one run. Printed: the median time of each, system
// calls per file (strace -c -f, when strace is installed) and the ratios to
// cp -r. Every output is compared with the source tree before it is timed.
//
// Our extraction is timed in this process; its system calls are counted in a
// child (this program again, asked through MVBENCH_EXTRACT_ZIP to do the one
// extraction and nothing else) so that strace sees only that work.
#include "Bench.h"

#include "archive/readers/UnZip.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

bool Have(const char* tool) {
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// Our extraction of the whole archive into dir: the members put in place, -1 on an error.
int OurExtract(const std::string& archive, const std::string& dir) {
    mv::TUnZIP reader;
    reader.SetArchiveFile(archive);
    reader.SetExtractDir(dir);
    reader.FileSpecList() = {"*.*"};
    reader.SetConfirmOverwrites(false);
    bool ok = true;
    reader.OnError = [&ok](mv::TObject*, const std::string&, const std::string&, const std::string&, int) {
        ok = false;
    };
    try {
        reader.Extract();
    } catch (const std::exception&) {
        ok = false;
    }
    return ok ? reader.ExtractedCount() : -1;
}

// The calls of the "total" line of `strace -c` output; -1 when there is none.
long StraceTotal(const fs::path& report) {
    std::ifstream in(report);
    std::string line, last;
    while (std::getline(in, line))
        if (line.find(" total") != std::string::npos) last = line;
    if (last.empty()) return -1;
    long pct = 0, calls = -1;
    double seconds = 0, perCall = 0;
    if (std::sscanf(last.c_str(), "%ld.%*d %lf %lf %ld", &pct, &seconds, &perCall, &calls) != 4) return -1;
    return calls;
}

// System calls of a command line, all its processes counted; -1 without strace.
long CountCalls(const std::string& command, const fs::path& report) {
    const std::string line = "strace -c -f -o " + report.string() + " " + command + " >/dev/null 2>&1";
    if (std::system(line.c_str()) != 0) return -1;
    return StraceTotal(report);
}

bool SameTree(const fs::path& a, const fs::path& b, size_t files) {
    size_t seen = 0;
    for (auto& e : fs::recursive_directory_iterator(a)) {
        if (!e.is_regular_file()) continue;
        ++seen;
        const fs::path other = b / fs::relative(e.path(), a);
        std::error_code ec;
        if (!fs::is_regular_file(other, ec) || fs::file_size(other, ec) != e.file_size()) return false;
    }
    return seen == files;
}

void Run(bool quick) {
    if (const char* child = std::getenv("MVBENCH_EXTRACT_ZIP")) {
        // The child of the system-call count: one extraction, nothing else.
        const char* dir = std::getenv("MVBENCH_EXTRACT_DIR");
        std::exit(dir && OurExtract(child, dir) > 0 ? 0 : 1);
    }
    if (!Have("zip") || !Have("cp")) {
        std::printf("zip or cp missing: section skipped\n");
        return;
    }
    const int folders = 190, perFolder = quick ? 11 : 100;
    const size_t files = size_t(folders) * perFolder;
    char tmpl[] = "/tmp/mvbench-files-XXXXXX";
    if (!mkdtemp(tmpl)) return;
    const fs::path dir = tmpl;
    uint32_t x = 2463534242u;
    for (int f = 0; f < folders; ++f) {
        const fs::path folder = dir / "src" / ("folder" + std::to_string(f));
        fs::create_directories(folder);
        for (int i = 0; i < perFolder; ++i) {
            x ^= x << 13, x ^= x >> 17, x ^= x << 5;
            std::string bytes(200 + x % 3800, '\0');
            for (auto& c : bytes) c = char('a' + (x = x * 1664525u + 1013904223u) % 26);
            std::ofstream(folder / ("file" + std::to_string(i) + ".txt"), std::ios::binary) << bytes;
        }
    }
    const std::string d = dir.string();
    if (std::system(("cd " + d + "/src && zip -q -0 -r -X ../files.zip .").c_str()) != 0) {
        std::printf("zip failed: section skipped\n");
        fs::remove_all(dir);
        return;
    }
    const std::string zip = d + "/files.zip";
    std::printf("input: %zu files in %d folders, %.1f MB stored\n\n", files, folders,
                double(fs::file_size(zip)) / 1e6);

    const int reps = 3;
    int run = 0;
    auto fresh = [&] { return d + "/out" + std::to_string(run++); };
    auto clean = [&] {
        for (int i = 0; i < run; ++i) fs::remove_all(d + "/out" + std::to_string(i));
        run = 0;
    };
    // Checked first: each way gives the whole tree.
    const std::string ours0 = fresh();
    const bool oursOk = OurExtract(zip, ours0) == int(files) && SameTree(dir / "src", ours0, files);
    const std::string cp0 = fresh();
    const bool cpOk = std::system(("cp -r " + d + "/src " + cp0).c_str()) == 0 && SameTree(dir / "src", cp0, files);
    const bool haveUnzip = Have("unzip");
    const std::string unzip0 = fresh();
    const bool unzipOk = haveUnzip && std::system(("unzip -q -o " + zip + " -d " + unzip0).c_str()) == 0 &&
                         SameTree(dir / "src", unzip0, files);
    clean();
    if (!oursOk || !cpOk) {
        std::printf("output differs from the source (ours %s, cp %s): nothing timed\n", oursOk ? "ok" : "wrong",
                    cpOk ? "ok" : "wrong");
        fs::remove_all(dir);
        return;
    }
    std::vector<double> ours, cp, unzip;
    for (int i = 0; i < reps; ++i) {
        // Each way writes into a new folder; the previous outputs are removed outside the timing.
        std::string out = fresh();
        auto a = std::chrono::steady_clock::now();
        OurExtract(zip, out);
        ours.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - a).count());
        out = fresh();
        cp.push_back(mvbench::TimeCommand("cp -r " + d + "/src " + out, 1));
        if (unzipOk) {
            out = fresh();
            unzip.push_back(mvbench::TimeCommand("unzip -q -o " + zip + " -d " + out, 1));
        }
        clean();
    }
    auto median = [](std::vector<double> v) {
        if (v.empty()) return -1.0;
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    const double tOurs = median(ours), tCp = median(cp), tUnzip = median(unzip);

    long callsOurs = -1, callsCp = -1, callsUnzip = -1;
    if (Have("strace")) {
        char self[4096];
        const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
        if (n > 0) {
            self[n] = '\0';
            callsOurs = CountCalls("env MVBENCH_EXTRACT_ZIP=" + zip + " MVBENCH_EXTRACT_DIR=" + fresh() + " " +
                                       self + " files-extract",
                                   dir / "ours.strace");
        }
        callsCp = CountCalls("cp -r " + d + "/src " + fresh(), dir / "cp.strace");
        if (unzipOk) callsUnzip = CountCalls("unzip -q -o " + zip + " -d " + fresh(), dir / "unzip.strace");
        clean();
    }
    std::vector<int> w = {14, 12, 14, 16, 12};
    mvbench::PrintRow({"", "seconds", "files/s", "calls per file", "time/cp -r"}, w);
    auto row = [&](const char* label, double t, long calls) {
        mvbench::PrintRow({label, t < 0 ? "-" : mvbench::Fixed(t, 3), t <= 0 ? "-" : mvbench::Fixed(files / t, 0),
                           calls < 0 ? "-" : mvbench::Fixed(double(calls) / double(files), 1),
                           t < 0 ? "-" : mvbench::Fixed(t / tCp, 2)},
                          w);
    };
    row("ours", tOurs, callsOurs);
    row("cp -r", tCp, callsCp);
    if (unzipOk) row("unzip", tUnzip, callsUnzip);
    std::printf("\nours/cp -r: %.2fx the time (aim: 1.2x at most)", tOurs / tCp);
    if (callsOurs > 0 && callsCp > 0) std::printf(", %.2fx the system calls", double(callsOurs) / double(callsCp));
    std::printf("\n");
    fs::remove_all(dir);
}

mvbench::SectionRegistrar registrar("files-extract", Run);

} // namespace
