// The vendor zip library against the engines it stands on, zipping: a tree of
// about 200 MB zipped through VzZip and directly through the zip writer
// component (same level, same stored names), in one run, alternating. Both
// archives must pass `unzip -t` and hold the same entries before a figure is
// printed. The listing half is in BenchVendorZipList.cpp.
#include "Bench.h"

#include "archive/libraries/vendorzip/VendorZip.h"
#include "zipwriter/ZipEngine.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// Files of words (most), of repeated program bytes and of random bytes, from a
// few hundred bytes to a few MB; about `total` bytes in `files` files.
uint64_t MakeTree(const fs::path& root, uint64_t total, int files) {
    static const char* words[] = {"archive", "entry", "deflate", "window", "the",  "of",   "and",   "folder",
                                  "disk",    "block", "header",  "name",   "size", "date", "table", "stream"};
    std::vector<uint8_t> program;
    for (const char* p : {"/usr/bin/cmake", "/usr/bin/perl"}) {
        std::ifstream in(p, std::ios::binary);
        program.insert(program.end(), std::istreambuf_iterator<char>(in), {});
        if (program.size() > (4u << 20)) break;
    }
    if (program.empty()) program.assign(1 << 20, 7);
    uint64_t state = 99, written = 0;
    auto next = [&]() { return state = state * 6364136223846793005ull + 1442695040888963407ull; };
    for (int i = 0; i < files; ++i) {
        fs::path dir = root / ("d" + std::to_string(i % 23)) / ("s" + std::to_string(i % 4));
        fs::create_directories(dir);
        const uint64_t left = total - std::min(total, written);
        const uint64_t size =
            std::min<uint64_t>(left / std::max(1, files - i) * 2 * (next() >> 60) / 8 + 200, left);
        std::vector<uint8_t> data;
        data.reserve(size);
        const int kind = int(next() >> 61);
        while (data.size() < size) {
            if (kind < 5) {
                const char* w = words[(next() >> 40) % (sizeof words / sizeof *words)];
                data.insert(data.end(), w, w + std::strlen(w));
                data.push_back((next() >> 58) == 0 ? '\n' : ' ');
            } else if (kind < 7) {
                size_t at = (next() >> 20) % program.size();
                for (int k = 0; k < 4096 && data.size() < size; ++k)
                    data.push_back(program[(at + k) % program.size()]);
            } else {
                data.push_back(static_cast<uint8_t>(next() >> 56));
            }
        }
        data.resize(size);
        std::ofstream(dir / ("f" + std::to_string(i) + (kind < 5 ? ".txt" : ".bin")), std::ios::binary)
            .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
        written += size;
    }
    return written;
}

int Shell(const std::string& cmd) {
    return std::system(cmd.c_str());
}

std::string Names(const std::string& zip) {
    mv::TZipEngine z;
    z.SetZipName(zip);
    std::vector<std::string> names;
    for (int i = 0; i < z.Count(); ++i) names.push_back(z.Entry(i).FullName());
    std::sort(names.begin(), names.end());
    std::string all;
    for (const auto& n : names) all += n + "\n";
    return all;
}

void Run(bool quick) {
    if (Shell("command -v unzip >/dev/null") != 0) {
        std::printf("unzip missing: section skipped\n");
        return;
    }
    const uint64_t total = quick ? (10u << 20) : (200u << 20);
    const int files = quick ? 600 : 4000;
    const fs::path base = fs::temp_directory_path() / ("mvbench-vzzip-" + std::to_string(::getpid()));
    fs::remove_all(base);
    const fs::path tree = base / "tree";
    const uint64_t bytes = MakeTree(tree, total, files);
    const std::string direct = (base / "direct.zip").string(), layer = (base / "layer.zip").string();

    auto zipDirect = [&] {
        fs::remove(direct);
        mv::TZipEngine z;
        z.SetZipName(direct);
        z.SetPackLevel(6);
        z.SetStorePaths(true);
        z.SetRecurse(true);
        z.SetZipAction(mv::TZipAction::zaReplace);
        z.SetFilesList({(tree / "*").string()});
        z.Zip();
    };
    mv::VendorZipInitDLL();
    const uint32_t handle = mv::VzCreateVendorZipA();
    int64_t events = 0;
    mv::VzSetVendorZipWindow(handle, [&](uint32_t, void*) { ++events; });
    mv::VzSetZipFilenameA(handle, layer.c_str());
    mv::VzSetFilesToProcessA(handle, tree.string().c_str());
    int16_t code = 0;
    auto zipLayer = [&] {
        fs::remove(layer);
        code = mv::VzZip(handle);
    };
    const int reps = quick ? 3 : 5;
    std::vector<double> a, b;
    for (int i = 0; i < reps; ++i) {
        a.push_back(mvbench::MedianSeconds(1, zipDirect));
        b.push_back(mvbench::MedianSeconds(1, zipLayer));
    }
    if (code != 0 || Shell("unzip -tq '" + direct + "' >/dev/null") != 0 ||
        Shell("unzip -tq '" + layer + "' >/dev/null") != 0 || Names(direct) != Names(layer)) {
        std::printf("the archives fail unzip -t or differ (code %d): no figures\n", code);
    } else {
        std::sort(a.begin(), a.end());
        std::sort(b.begin(), b.end());
        // The fastest sample of each: on a busy machine the closest to the undisturbed cost.
        const double tDirect = a.front(), tLayer = b.front();
        std::vector<int> w = {40, 12, 12, 12};
        mvbench::PrintRow(
            {"zipping " + std::to_string(files) + " files, level 6", "seconds", "MB/s", "size MB"}, w);
        mvbench::PrintRow({"zip writer component directly", mvbench::Fixed(tDirect, 2),
                           mvbench::Fixed(mvbench::MBps(bytes, tDirect), 1),
                           mvbench::Fixed(double(fs::file_size(direct)) / 1e6, 2)},
                          w);
        mvbench::PrintRow({"VzZip", mvbench::Fixed(tLayer, 2),
                           mvbench::Fixed(mvbench::MBps(bytes, tLayer), 1),
                           mvbench::Fixed(double(fs::file_size(layer)) / 1e6, 2)},
                          w);
        std::printf("  the layer costs %+.1f%% (limit +5%%), %.1f MB in, %lld events\n",
                    100.0 * (tLayer / tDirect - 1.0), bytes / 1e6, static_cast<long long>(events / reps));
    }
    mv::VzDestroyVendorZip(handle);
    fs::remove_all(base);
}

mvbench::SectionRegistrar section("vendor zip library: zipping", Run);

} // namespace
