// The vendor zip library against the engines it stands on, listing: a stored
// ZIP of 50,000 entries listed through VzListZipContents and directly through
// the lister, in one run, interleaved. Both listings are checked (the number of
// entries and the sum of their sizes) before a figure is printed. The zipping
// half is in BenchVendorZip.cpp: the zip writer's and the lister's headers do
// not meet in one file.
#include "Bench.h"

#include "archive/framework/SharedRoutines.h"
#include "archive/libraries/vendorzip/VendorZip.h"
#include "archive/lister/ArcLister.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

void Put16(std::string& s, uint16_t v) {
    s.push_back(char(v & 0xFF)), s.push_back(char(v >> 8));
}
void Put32(std::string& s, uint32_t v) {
    Put16(s, uint16_t(v)), Put16(s, uint16_t(v >> 16));
}

// A stored ZIP of `count` small files in 1000 folders.
void MakeZip(const std::string& path, uint32_t count) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::string central, local;
    uint32_t offset = 0;
    char name[64];
    const uint32_t dosTime = (uint32_t(45) << 25 | 6u << 21 | 15u << 16) | (12u << 11 | 30u << 5);
    for (uint32_t i = 0; i < count; ++i) {
        int n = std::snprintf(name, sizeof name, "d%03u/file%07u.txt", i % 1000, i);
        char data[16];
        int dn = std::snprintf(data, sizeof data, "entry %u\n", i);
        uint32_t crc = uint32_t(crc32(0, reinterpret_cast<const Bytef*>(data), uInt(dn)));
        local.clear();
        Put32(local, 0x04034B50), Put16(local, 10), Put16(local, 0), Put16(local, 0), Put32(local, dosTime);
        Put32(local, crc), Put32(local, dn), Put32(local, dn), Put16(local, uint16_t(n)), Put16(local, 0);
        local.append(name, size_t(n)).append(data, size_t(dn));
        out.write(local.data(), std::streamsize(local.size()));
        Put32(central, 0x02014B50), Put16(central, 0x031E), Put16(central, 10), Put16(central, 0),
            Put16(central, 0);
        Put32(central, dosTime), Put32(central, crc), Put32(central, dn), Put32(central, dn);
        Put16(central, uint16_t(n)), Put16(central, 0), Put16(central, 0), Put16(central, 0),
            Put16(central, 0);
        Put32(central, 0x81A40000u), Put32(central, offset);
        central.append(name, size_t(n));
        offset += uint32_t(local.size());
    }
    out.write(central.data(), std::streamsize(central.size()));
    std::string end;
    Put32(end, 0x06054B50), Put16(end, 0), Put16(end, 0), Put16(end, uint16_t(count)),
        Put16(end, uint16_t(count));
    Put32(end, uint32_t(central.size())), Put32(end, offset), Put16(end, 0);
    out.write(end.data(), std::streamsize(end.size()));
}

struct Listed {
    int entries = 0;
    int64_t bytes = 0;
};

// The same work as the layer's listing done directly on the lister: each entry
// turned into what the program shows of it (name with "/", sizes, ratio,
// attributes, CRC, broken-down time, encryption, folder flag).
struct Row {
    std::string name;
    int64_t size = 0, packed = 0;
    int ratio = 0, year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    uint32_t attributes = 0, crc = 0;
    bool encrypted = false, folder = false;
};

Listed ThroughLister(const std::string& zip) {
    Listed l;
    Row row;
    mv::TArcLister lister;
    lister.SetShowBlankDirs(true);
    lister.FileSpecList() = {"*.*"};
    lister.SetArchiveFile(zip);
    lister.OnRead = [&](mv::TObject*, int64_t, int) {
        const mv::TArcEntryInfo& e = lister.EntryInfo();
        row.name.assign(e.FileName);
        std::replace(row.name.begin(), row.name.end(), '\\', '/');
        row.size = e.UnpackedSize;
        row.packed = e.PackedSize;
        row.ratio = mv::TZipCommon::CompressRatio(e.PackedSize, e.UnpackedSize);
        row.attributes = e.ExternalAttr & 0xFF;
        row.crc = e.CRC;
        mv::DecodeDateTime(e.DateTime, row.year, row.month, row.day, row.hour, row.minute, row.second);
        row.encrypted = e.Encrypted;
        row.folder = (e.ExternalAttr & 0x10) != 0;
        ++l.entries;
        l.bytes += row.size;
    };
    lister.Activate();
    return l;
}

Listed ThroughLayer(uint32_t handle) {
    Listed l;
    mv::VzSetVendorZipWindow(handle, [&](uint32_t event, void* block) {
        if (event != mv::vzev::Listing) return;
        ++l.entries;
        l.bytes += static_cast<mv::TVzListingBlock*>(block)->FileSize;
    });
    if (mv::VzListZipContents(handle) != 0) l.entries = -1;
    return l;
}

void Run(bool quick) {
    const uint32_t count = quick ? 5000 : 50000;
    const std::filesystem::path base =
        std::filesystem::temp_directory_path() / ("mvbench-vzlist-" + std::to_string(::getpid()));
    std::filesystem::create_directories(base);
    const std::string zip = (base / "many.zip").string();
    MakeZip(zip, count);
    mv::VendorZipInitDLL();
    const uint32_t handle = mv::VzCreateVendorZipA();
    mv::VzSetZipFilenameA(handle, zip.c_str());
    const Listed direct = ThroughLister(zip), layer = ThroughLayer(handle);
    if (direct.entries != int(count) || layer.entries != int(count) || direct.bytes != layer.bytes) {
        std::printf("listings disagree (%d, %d entries): no figures\n", direct.entries, layer.entries);
    } else {
        const int reps = quick ? 5 : 31;
        std::vector<double> a, b;
        // Each sample lists the archive `rounds` times; the samples alternate, and
        // so does which of the two goes first.
        const int rounds = 10;
        auto sample = [&](auto&& list) {
            return mvbench::MedianSeconds(1,
                                          [&] {
                                              for (int k = 0; k < rounds; ++k) list();
                                          }) /
                   rounds;
        };
        auto direct = [&] { ThroughLister(zip); };
        auto layered = [&] { ThroughLayer(handle); };
        for (int i = 0; i < reps; ++i) {
            if (i % 2) {
                b.push_back(sample(layered));
                a.push_back(sample(direct));
            } else {
                a.push_back(sample(direct));
                b.push_back(sample(layered));
            }
        }
        std::sort(a.begin(), a.end());
        std::sort(b.begin(), b.end());
        // The fastest sample of each: on a busy machine the closest to the undisturbed cost.
        const double tDirect = a.front(), tLayer = b.front();
        std::vector<int> w = {40, 12, 14};
        mvbench::PrintRow({"listing " + std::to_string(count) + " entries", "seconds", "entries/s"}, w);
        mvbench::PrintRow({"lister directly", mvbench::Fixed(tDirect, 4), mvbench::Fixed(count / tDirect, 0)},
                          w);
        mvbench::PrintRow({"VzListZipContents", mvbench::Fixed(tLayer, 4), mvbench::Fixed(count / tLayer, 0)},
                          w);
        std::printf("  the layer costs %+.1f%% (limit +5%%)\n", 100.0 * (tLayer / tDirect - 1.0));
    }
    mv::VzDestroyVendorZip(handle);
    std::filesystem::remove_all(base);
}

mvbench::SectionRegistrar section("vendor zip library: listing", Run);

} // namespace
