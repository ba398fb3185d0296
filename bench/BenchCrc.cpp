// CRC-32: ours against zlib's crc32 and libdeflate's libdeflate_crc32 on the
// same buffers, whole and in the 32 KiB blocks the archive components pass.
#include "Bench.h"

#include "archive/framework/Crc.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>

namespace {

using namespace mvbench;

uint32_t Ours(const uint8_t* p, size_t n, size_t block) {
    uint32_t reg = mv::CrcSeed;
    for (size_t pos = 0; pos < n; pos += block) mv::UpdateCRC32(p + pos, std::min(block, n - pos), reg);
    return ~reg;
}
uint32_t Zlib(const uint8_t* p, size_t n, size_t block) {
    uLong c = crc32(0, nullptr, 0);
    for (size_t pos = 0; pos < n; pos += block)
        c = crc32(c, p + pos, static_cast<uInt>(std::min(block, n - pos)));
    return static_cast<uint32_t>(c);
}
uint32_t Libdeflate(const uint8_t* p, size_t n, size_t block) {
    uint32_t c = 0;
    for (size_t pos = 0; pos < n; pos += block) c = libdeflate_crc32(c, p + pos, std::min(block, n - pos));
    return c;
}

void Run(bool quick) {
    const std::string check = "123456789";
    const uint32_t checkValue = mv::Crc32Of(reinterpret_cast<const uint8_t*>(check.data()), check.size());
    std::printf("check value of \"123456789\": %08X (%s)\n\n", checkValue,
                checkValue == 0xCBF43926u ? "ok" : "WRONG");

    const std::vector<int> widths = {20, 12, 12, 14, 12, 14};
    PrintRow({"input", "ours MB/s", "zlib MB/s", "libdefl MB/s", "ours/zlib", "ours/libdefl"}, widths);
    const int reps = quick ? 7 : 11;
    for (const auto& corpus : StandardCorpora(quick)) {
        const uint8_t* p = corpus.data.data();
        const size_t n = corpus.data.size();
        for (size_t block : {n, size_t(32768), size_t(4096)}) {
            const uint32_t want = Zlib(p, n, n);
            if (Ours(p, n, block) != want || Libdeflate(p, n, block) != want || Zlib(p, n, block) != want) {
                std::printf("%s: CRC MISMATCH, no figures\n", corpus.name.c_str());
                continue;
            }
            // Enough passes that one timed run takes a few milliseconds.
            const int passes = static_cast<int>(std::max<size_t>(1, (quick ? 8u << 20 : 64u << 20) / n));
            // The three are timed in turn within each repetition, so a change in
            // the machine's load falls on all of them alike; medians are compared.
            volatile uint32_t sink = 0;
            uint32_t (*const fns[3])(const uint8_t*, size_t, size_t) = {Ours, Zlib, Libdeflate};
            std::vector<double> seconds[3];
            for (int rep = 0; rep < reps; ++rep) {
                for (int k = 0; k < 3; ++k) {
                    seconds[k].push_back(MedianSeconds(1, [&] {
                        for (int i = 0; i < passes; ++i) sink = sink + fns[k](p, n, block);
                    }));
                }
            }
            auto median = [](std::vector<double> v) {
                std::sort(v.begin(), v.end());
                return v[v.size() / 2];
            };
            const uint64_t bytes = uint64_t(n) * passes;
            const double ours = MBps(bytes, median(seconds[0]));
            const double zlib = MBps(bytes, median(seconds[1]));
            const double libd = MBps(bytes, median(seconds[2]));
            std::string label =
                corpus.name + (block == n ? " whole" : " " + std::to_string(block / 1024) + "K");
            PrintRow({label, Fixed(ours, 0), Fixed(zlib, 0), Fixed(libd, 0), Fixed(ours / zlib, 2),
                      Fixed(ours / libd, 2)},
                     widths);
        }
    }
}

SectionRegistrar registrar("crc32", Run);

} // namespace
