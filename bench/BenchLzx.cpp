// LZX section: the mixed input coded in 32 KiB frames over a 2 MiB window by
// the encoder as it stood before its rewrite and by the current one (speed and
// output size), then each stream decoded by its own decoder. The current
// output is also written as a one-file cabinet and tested by `cabextract -t`
// and `7z t` in the same run (their figures include reading the cabinet).
#include "Bench.h"

#include "archive/codecs/LzxDecode.h"
#include "archive/codecs/LzxEncode.h"
#include "bench/lzxold/LzxDecode.h"
#include "bench/lzxold/LzxEncode.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Frames = std::vector<std::vector<uint8_t>>;

constexpr unsigned kWindowBits = 21;
constexpr size_t kFrame = 32768;

template <class Encoder>
Frames Encode(const std::vector<uint8_t>& data) {
    Encoder enc(kWindowBits);
    Frames out;
    for (size_t at = 0; at < data.size(); at += kFrame)
        out.push_back(enc.EncodeFrame(data.data() + at, std::min(kFrame, data.size() - at)));
    return out;
}

template <class Decoder>
void Decode(const Frames& frames, std::vector<uint8_t>& out) {
    Decoder dec(kWindowBits);
    for (size_t k = 0; k < frames.size(); ++k) {
        size_t n = std::min(kFrame, out.size() - k * kFrame);
        dec.DecodeFrame(frames[k].data(), frames[k].size(), out.data() + k * kFrame, n);
    }
}

size_t Total(const Frames& frames) {
    size_t n = 0;
    for (auto& f : frames) n += f.size();
    return n;
}

void Put16(std::vector<uint8_t>& v, uint32_t x) {
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
}
void Put32(std::vector<uint8_t>& v, uint32_t x) {
    Put16(v, x & 0xFFFF);
    Put16(v, x >> 16);
}
void PutBytes(std::vector<uint8_t>& v, const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i) v.push_back(p[i]);
}

// A cabinet of one folder holding one file, the frames as its data blocks
// (checksums left at 0, which readers take as "not given").
std::vector<uint8_t> Cabinet(const Frames& frames, size_t size) {
    const std::string name = "data.bin";
    const uint32_t filesAt = 36 + 8;
    const uint32_t dataAt = filesAt + 16 + static_cast<uint32_t>(name.size()) + 1;
    uint32_t total = dataAt;
    for (auto& f : frames) total += 8 + static_cast<uint32_t>(f.size());
    std::vector<uint8_t> c;
    PutBytes(c, reinterpret_cast<const uint8_t*>("MSCF"), 4);
    Put32(c, 0);
    Put32(c, total);
    Put32(c, 0);
    Put32(c, filesAt);
    Put32(c, 0);
    c.push_back(3);
    c.push_back(1);
    Put16(c, 1); // folders
    Put16(c, 1); // files
    Put16(c, 0); // flags
    Put16(c, 0); // set
    Put16(c, 0); // index
    Put32(c, dataAt);
    Put16(c, static_cast<uint32_t>(frames.size()));
    Put16(c, 0x0003 | kWindowBits << 8);
    Put32(c, static_cast<uint32_t>(size));
    Put32(c, 0);
    Put16(c, 0);
    Put16(c, (46 << 9) | (3 << 5) | 14);
    Put16(c, 12 << 11);
    Put16(c, 0x20);
    PutBytes(c, reinterpret_cast<const uint8_t*>(name.c_str()), name.size() + 1);
    for (size_t k = 0; k < frames.size(); ++k) {
        Put32(c, 0);
        Put16(c, static_cast<uint32_t>(frames[k].size()));
        Put16(c, static_cast<uint32_t>(std::min(kFrame, size - k * kFrame)));
        PutBytes(c, frames[k].data(), frames[k].size());
    }
    return c;
}

bool HaveTool(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

void Run(bool quick) {
    auto data = mvbench::InterleavedCorpora(quick);
    data.resize(std::min<size_t>(data.size(), quick ? (4u << 20) : (16u << 20)));
    const int reps = quick ? 1 : 3;
    std::printf("input: %zu bytes of mixed text, headers, random bytes and zeros; window 2 MiB\n", data.size());

    Frames oldFrames, newFrames;
    const double tOldEnc = mvbench::MedianSeconds(1, [&] { oldFrames = Encode<mv::lzxold::TLzxEncoder>(data); });
    const double tNewEnc = mvbench::MedianSeconds(reps, [&] { newFrames = Encode<mv::TLzxEncoder>(data); });

    std::vector<uint8_t> back(data.size());
    Decode<mv::lzxold::TLzxDecoder>(oldFrames, back);
    const bool oldOk = back == data;
    std::fill(back.begin(), back.end(), 0);
    Decode<mv::TLzxDecoder>(newFrames, back);
    const bool newOk = back == data;
    if (!oldOk || !newOk) {
        std::printf("LZX round trip FAILED (before %s, now %s)\n", oldOk ? "ok" : "bad", newOk ? "ok" : "bad");
        return;
    }
    const double tOldDec = mvbench::MedianSeconds(reps, [&] { Decode<mv::lzxold::TLzxDecoder>(oldFrames, back); });
    const double tNewDec = mvbench::MedianSeconds(reps, [&] { Decode<mv::TLzxDecoder>(newFrames, back); });

    const std::vector<int> w = {24, 12, 12, 20};
    mvbench::PrintRow({"", "before", "now", "now/before"}, w);
    mvbench::PrintRow({"encode MB/s", mvbench::Fixed(mvbench::MBps(data.size(), tOldEnc), 1),
                       mvbench::Fixed(mvbench::MBps(data.size(), tNewEnc), 1),
                       mvbench::Fixed(tOldEnc / tNewEnc, 2)},
                      w);
    mvbench::PrintRow({"output bytes", std::to_string(Total(oldFrames)), std::to_string(Total(newFrames)),
                       mvbench::Fixed(double(Total(newFrames)) / double(Total(oldFrames)), 4)},
                      w);
    mvbench::PrintRow({"decode MB/s", mvbench::Fixed(mvbench::MBps(data.size(), tOldDec), 1),
                       mvbench::Fixed(mvbench::MBps(data.size(), tNewDec), 1),
                       mvbench::Fixed(tOldDec / tNewDec, 2)},
                      w);

    // Peers on a cabinet of the current output.
    const fs::path dir = fs::temp_directory_path() / ("mvbench-lzx-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path cab = dir / "data.cab";
    {
        auto bytes = Cabinet(newFrames, data.size());
        std::ofstream(cab, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                   static_cast<std::streamsize>(bytes.size()));
    }
    struct Peer {
        const char* tool;
        std::string command;
    };
    for (const Peer& p : {Peer{"cabextract", "cabextract -q -t " + cab.string()},
                          Peer{"7z", "7z t " + cab.string()}}) {
        if (!HaveTool(p.tool)) {
            std::printf("%-22s not installed\n", p.tool);
            continue;
        }
        const double t = mvbench::TimeCommand(p.command + " >/dev/null 2>&1", reps);
        if (t < 0) {
            std::printf("%-22s FAILED on our cabinet\n", p.tool);
            continue;
        }
        mvbench::PrintRow({std::string(p.tool) + " decode MB/s", "", mvbench::Fixed(mvbench::MBps(data.size(), t), 1),
                           "ours/peer " + mvbench::Fixed(t / tNewDec, 2)},
                          w);
    }
    std::error_code ec;
    fs::remove_all(dir, ec);
}

mvbench::SectionRegistrar registrar("lzx", Run);

} // namespace
