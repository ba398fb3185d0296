// The zip writer component end to end: Zip of a generated tree of thousands
// of files with one thread and with one per core (best of three runs each; the
// two archives must be byte-identical) against `zip -r -6` of the same tree,
// and an update of the large archive (one small file added, every other entry
// copied) against a plain copy of it, in one run. Both archives are tested by
// `unzip -t` before a figure is printed.
#include "Bench.h"

#include "archive/codecs/DeflatePieces.h"
#include "zipwriter/ZipEngine.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

int Shell(const std::string& cmd) {
    return std::system(cmd.c_str());
}

// A tree of text-like files (word salad), program pieces and some random
// bytes, of sizes from a few hundred bytes to a few MB; about `total` bytes.
uint64_t MakeTree(const fs::path& root, uint64_t total, int files) {
    static const char* words[] = {"archive", "entry",  "deflate", "window", "the",  "of",   "and",   "folder",
                                  "disk",    "block",  "header",  "name",   "size", "date", "table", "stream",
                                  "value",   "record", "offset",  "copy",   "file", "part", "key",   "byte"};
    std::vector<uint8_t> program;
    for (const char* p : {"/usr/bin/cmake", "/usr/bin/gdb", "/usr/bin/perl", "/usr/bin/python3"}) {
        std::ifstream in(p, std::ios::binary);
        program.insert(program.end(), std::istreambuf_iterator<char>(in), {});
        if (program.size() > (8u << 20)) break;
    }
    if (program.empty()) program.assign(1 << 20, 7);
    uint64_t state = 12345, written = 0;
    auto next = [&]() { return state = state * 6364136223846793005ull + 1442695040888963407ull; };
    for (int i = 0; i < files; ++i) {
        fs::path dir = root / ("d" + std::to_string(i % 37)) / ("s" + std::to_string(i % 5));
        fs::create_directories(dir);
        uint64_t left = total - std::min(total, written);
        uint64_t size =
            std::min<uint64_t>(left / std::max(1, files - i) * 2 * (next() >> 60) / 8 + 200, left);
        std::vector<uint8_t> data;
        data.reserve(size);
        int kind = int(next() >> 61);
        if (kind < 5) {
            while (data.size() < size) {
                const char* w = words[(next() >> 40) % (sizeof words / sizeof *words)];
                data.insert(data.end(), w, w + std::strlen(w));
                data.push_back((next() >> 58) == 0 ? '\n' : ' ');
            }
        } else if (kind < 7) {
            size_t at = (next() >> 20) % program.size();
            while (data.size() < size) {
                data.push_back(program[at]);
                at = (at + 1) % program.size();
            }
        } else {
            while (data.size() < size) data.push_back(static_cast<uint8_t>(next() >> 56));
        }
        data.resize(size);
        std::ofstream(dir / ("f" + std::to_string(i) + (kind < 5 ? ".txt" : ".bin")), std::ios::binary)
            .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
        written += size;
    }
    return written;
}

void Run(bool quick) {
    if (Shell("command -v zip >/dev/null && command -v unzip >/dev/null") != 0) {
        std::printf("zip or unzip missing: section skipped\n");
        return;
    }
    const uint64_t total = quick ? (10u << 20) : (210u << 20);
    const int files = quick ? 600 : 4000;
    fs::path base = fs::temp_directory_path() / ("mvbench-zipengine-" + std::to_string(::getpid()));
    fs::remove_all(base);
    fs::create_directories(base);
    const fs::path tree = base / "tree";
    const uint64_t bytes = MakeTree(tree, total, files);
    const std::string ours = (base / "ours.zip").string(), theirs = (base / "theirs.zip").string();

    double tZip = Seconds([&] { Shell("cd '" + base.string() + "' && zip -r -q -6 theirs.zip tree"); });
    // One thread, then one per core; the all-core archive goes on to the update.
    const unsigned cores = mv::CompressionThreads();
    const unsigned counts[2] = {1, cores};
    double times[2] = {0, 0};
    std::vector<uint8_t> archives[2];
    for (int k = 0; k < 2; ++k) {
        mv::OverrideCompressionThreads(counts[k]);
        times[k] = 1e30;
        for (int rep = 0; rep < 3; ++rep) {
            fs::remove(ours);
            times[k] = std::min(times[k], Seconds([&] {
                                    mv::TZipEngine z;
                                    z.SetZipName(ours);
                                    z.SetPackLevel(6);
                                    z.SetStorePaths(true);
                                    z.SetRecurse(true);
                                    z.SetRootDir(base.string());
                                    z.SetFilesList({(tree / "*").string()});
                                    z.Zip();
                                }));
        }
        std::ifstream in(ours, std::ios::binary);
        archives[k].assign(std::istreambuf_iterator<char>(in), {});
    }
    mv::OverrideCompressionThreads(0);
    if (archives[0].empty() || archives[0] != archives[1]) {
        std::printf("our archives differ between thread counts: no figures\n");
        fs::remove_all(base);
        return;
    }
    if (Shell("unzip -tq '" + ours + "' >/dev/null") != 0) {
        std::printf("our archive fails unzip -t: no figures\n");
        fs::remove_all(base);
        return;
    }
    const double tOurs = times[1];
    const double sOurs = double(fs::file_size(ours)), sZip = double(fs::file_size(theirs));
    std::vector<int> w = {34, 12, 12, 12, 12};
    mvbench::PrintRow({"zip writer component", "seconds", "MB/s", "ratio %", "vs 1 thread"}, w);
    for (int k = 0; k < 2; ++k)
        mvbench::PrintRow(
            {"Zip of " + std::to_string(files) + " files, " + std::to_string(counts[k]) + " thr",
             mvbench::Fixed(times[k], 2), mvbench::Fixed(mvbench::MBps(bytes, times[k]), 1),
             mvbench::Fixed(100 * sOurs / bytes, 2), mvbench::Fixed(times[0] / times[k], 2)},
            w);
    mvbench::PrintRow({"zip -r -6 of the same tree", mvbench::Fixed(tZip, 2),
                       mvbench::Fixed(mvbench::MBps(bytes, tZip), 1), mvbench::Fixed(100 * sZip / bytes, 2),
                       mvbench::Fixed(times[0] / tZip, 2)},
                      w);
    std::printf(
        "  speed ours (%u threads)/zip %.2f, size ours/zip %.4f (%.1f MB in, archives identical for 1 "
        "and %u threads)\n",
        cores, tZip / tOurs, sOurs / sZip, bytes / 1e6, cores);

    // Update: one small new file; every other entry is copied as it stands.
    std::ofstream(tree / "new.txt") << "one more file\n";
    double tCopy = Seconds([&] { fs::copy_file(ours, base / "copy.zip"); });
    double tUpdate = Seconds([&] {
        mv::TZipEngine z;
        z.SetZipName(ours);
        z.SetStorePaths(true);
        z.SetRootDir(base.string());
        z.SetRelativePaths(true);
        z.SetFilesList({(tree / "new.txt").string()});
        z.Zip();
    });
    if (Shell("unzip -tq '" + ours + "' >/dev/null") != 0) std::printf("updated archive fails unzip -t\n");
    mvbench::PrintRow({"update (1 file added)", mvbench::Fixed(tUpdate, 2),
                       mvbench::Fixed(mvbench::MBps(uint64_t(sOurs), tUpdate), 1), ""},
                      w);
    mvbench::PrintRow({"plain copy of the archive", mvbench::Fixed(tCopy, 2),
                       mvbench::Fixed(mvbench::MBps(uint64_t(sOurs), tCopy), 1), ""},
                      w);
    fs::remove_all(base);
}

mvbench::SectionRegistrar section("zip writer component", Run);

} // namespace
