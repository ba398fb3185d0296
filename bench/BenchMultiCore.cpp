// Compression on every core: the ZIP writer on a generated tree and the GZip
// writer on one large generated file, each with one thread and with one per
// core, against `zip -6` (one core), `7z` (all cores) and `pigz -6` (all
// cores, when installed) on the same input in one run. The tree's files are
// compressed ahead on the workers, its large ones in pieces too. Both of our outputs
// must be byte-identical and pass `unzip -t` / `gzip -t` before any figure is
// printed.
//
// Ours are timed as the best of three runs (other work on a shared machine
// only ever adds time), and beside each the CPU time of the calling thread in
// that run as a share of the one-thread time: the part of the work that stays
// on one thread and bounds the speed-up.
#include "Bench.h"

#include "archive/codecs/DeflatePieces.h"
#include "archive/writers/GZipWriter.h"
#include "archive/writers/ZipWriter.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

double Seconds(const std::function<void()>& fn) {
    auto t0 = std::chrono::steady_clock::now();
    fn();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// The best wall time of `reps` runs, with the calling thread's CPU time in that run.
struct TTiming {
    double seconds = 0;
    double callerCpu = 0;
};
TTiming Best(int reps, const std::function<void()>& fn) {
    TTiming best{1e30, 0};
    for (int i = 0; i < reps; ++i) {
        const double cpu = ThreadCpuSeconds();
        const double t = Seconds(fn);
        if (t < best.seconds) best = {t, ThreadCpuSeconds() - cpu};
    }
    return best;
}

// The command's own redirections stand: only what it would print is dropped.
bool Shell(const std::string& cmd) {
    return std::system(("(" + cmd + ") >/dev/null 2>&1").c_str()) == 0;
}

bool HaveTool(const char* name) {
    return Shell(std::string("command -v ") + name);
}

std::vector<uint8_t> ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Writes `total` bytes of the pool into one file, each 1 MiB slice taken from
// a different place so that the file is not one repeat of the pool.
void MakeFile(const fs::path& path, const std::vector<uint8_t>& pool, uint64_t total, uint64_t seed) {
    std::ofstream out(path, std::ios::binary);
    const size_t slice = 1 << 20;
    uint64_t state = seed;
    for (uint64_t done = 0; done < total;) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        size_t from = static_cast<size_t>((state >> 20) % (pool.size() - slice));
        size_t n = static_cast<size_t>(std::min<uint64_t>(slice, total - done));
        out.write(reinterpret_cast<const char*>(pool.data() + from), static_cast<std::streamsize>(n));
        done += n;
    }
}

// A tree of files from 64 KiB to 16 MiB (sizes spread evenly on a log scale).
uint64_t MakeTree(const fs::path& root, const std::vector<uint8_t>& pool, uint64_t total) {
    uint64_t written = 0, state = 99;
    for (int i = 0; written < total; ++i) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        uint64_t size = uint64_t{65536} << ((state >> 59) % 9);
        size = std::min(size, total - written);
        fs::path dir = root / ("d" + std::to_string(i % 7));
        fs::create_directories(dir);
        MakeFile(dir / ("f" + std::to_string(i) + ".dat"), pool, size, state);
        written += size;
    }
    return written;
}

struct Row {
    std::string label;
    double seconds;
    uint64_t bytes;
    double callerCpu = -1; // ours: the calling thread's CPU seconds
};

void Print(const std::vector<Row>& rows, uint64_t input, double oneThread) {
    const std::vector<int> w = {34, 10, 10, 14, 12, 14};
    mvbench::PrintRow({"", "seconds", "MB/s", "output bytes", "vs 1 thread", "caller CPU %"}, w);
    for (const Row& r : rows) {
        if (r.seconds < 0) {
            mvbench::PrintRow({r.label, "FAILED"}, w);
            continue;
        }
        mvbench::PrintRow({r.label, mvbench::Fixed(r.seconds, 2),
                           mvbench::Fixed(mvbench::MBps(input, r.seconds), 1), std::to_string(r.bytes),
                           mvbench::Fixed(oneThread / r.seconds, 2),
                           r.callerCpu < 0 ? "" : mvbench::Fixed(100 * r.callerCpu / oneThread, 1)},
                          w);
    }
}

void Run(bool quick) {
    const unsigned cores = mv::CompressionThreads();
    const fs::path dir = fs::temp_directory_path() / ("mvbench-cores-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const auto pool = mvbench::InterleavedCorpora(quick);
    std::printf("threads on this machine: %u\n", cores);
    // Other work on the machine takes cores from the many-thread runs first:
    // the load is printed beside the figures.
    auto printLoad = [] {
        std::ifstream in("/proc/loadavg");
        std::string one, five, fifteen;
        if (in >> one >> five >> fifteen)
            std::printf("load average: %s %s %s\n", one.c_str(), five.c_str(), fifteen.c_str());
    };
    printLoad();

    // --- GZip of one large file ---
    {
        const uint64_t size = quick ? (64ull << 20) : (500ull << 20);
        const fs::path src = dir / "big.dat";
        MakeFile(src, pool, size, 7);
        std::vector<Row> rows;
        std::vector<uint8_t> outputs[2];
        const unsigned counts[2] = {1, cores};
        for (int k = 0; k < 2; ++k) {
            mv::OverrideCompressionThreads(counts[k]);
            TTiming t = Best(3, [&] {
                fs::remove(dir / "big.dat.gz");
                mv::TGZip gz;
                gz.SetArchiveFile((dir / "big.gz").string());
                gz.FileSpecList().push_back(src.string());
                gz.Compress();
            });
            outputs[k] = ReadAll(dir / "big.dat.gz");
            rows.push_back({"ours, " + std::to_string(counts[k]) + " thread(s)", t.seconds, outputs[k].size(),
                            t.callerCpu});
        }
        mv::OverrideCompressionThreads(0);
        if (outputs[0].empty() || outputs[0] != outputs[1] || !Shell("gzip -t " + (dir / "big.dat.gz").string())) {
            std::printf("gzip: our outputs differ between thread counts or fail gzip -t\n");
        } else {
            if (HaveTool("pigz")) {
                double t = Seconds([&] { Shell("pigz -6 -c " + src.string() + " > " + (dir / "p.gz").string()); });
                rows.push_back({"pigz -6, all cores", t, fs::file_size(dir / "p.gz")});
            } else {
                std::printf("pigz not installed\n");
            }
            if (HaveTool("7z")) {
                double t = Seconds([&] { Shell("7z a -tgzip -mx=5 -mmt=on " + (dir / "s.gz").string() + " " + src.string()); });
                rows.push_back({"7z -tgzip -mx=5, all cores", t, fs::file_size(dir / "s.gz")});
            }
            std::printf("gzip of a %llu MB file (outputs identical across thread counts, gzip -t passes; "
                        "ours best of 3)\n",
                        static_cast<unsigned long long>(size / 1000000));
            Print(rows, size, rows[0].seconds);
        }
        fs::remove(src);
    }

    // --- ZIP of a tree ---
    {
        const uint64_t total = quick ? (40ull << 20) : (300ull << 20);
        const fs::path tree = dir / "tree";
        const uint64_t size = MakeTree(tree, pool, total);
        std::vector<Row> rows;
        std::vector<uint8_t> outputs[2];
        const unsigned counts[2] = {1, cores};
        for (int k = 0; k < 2; ++k) {
            mv::OverrideCompressionThreads(counts[k]);
            const fs::path archive = dir / ("t" + std::to_string(k) + ".zip");
            TTiming t = Best(3, [&] {
                fs::remove(archive);
                mv::TZip zip;
                zip.SetArchiveFile(archive.string());
                zip.SetRecurseDirs(true);
                zip.SetDeflateLevel(6);
                zip.FileSpecList().push_back((tree / "*").string());
                zip.Compress();
            });
            outputs[k] = ReadAll(archive);
            rows.push_back({"ours, " + std::to_string(counts[k]) + " thread(s)", t.seconds, outputs[k].size(),
                            t.callerCpu});
        }
        mv::OverrideCompressionThreads(0);
        if (outputs[0].empty() || outputs[0] != outputs[1] || !Shell("unzip -tq " + (dir / "t0.zip").string())) {
            std::printf("zip: our outputs differ between thread counts or fail unzip -t\n");
        } else {
            if (HaveTool("zip")) {
                double t = Seconds([&] { Shell("cd " + tree.string() + " && zip -q -r -6 " + (dir / "z.zip").string() + " ."); });
                rows.push_back({"zip -6, one core", t, fs::file_size(dir / "z.zip")});
            }
            if (HaveTool("7z")) {
                double t = Seconds([&] {
                    Shell("cd " + tree.string() + " && 7z a -tzip -mx=5 -mmt=on " + (dir / "s.zip").string() + " .");
                });
                rows.push_back({"7z -tzip -mx=5, all cores", t, fs::file_size(dir / "s.zip")});
            }
            std::printf("zip of a %llu MB tree of 64 KiB..16 MiB files (outputs identical, unzip -t passes; "
                        "ours best of 3)\n",
                        static_cast<unsigned long long>(size / 1000000));
            Print(rows, size, rows[0].seconds);
        }
    }
    printLoad();
    std::error_code ec;
    fs::remove_all(dir, ec);
}

mvbench::SectionRegistrar registrar("multicore", Run);

} // namespace
