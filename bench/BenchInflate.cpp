// Inflate: our decoder against zlib and libdeflate on the same raw deflate streams
// (zlib levels 1, 6 and 9 of text, of machine code and of the two mixed), whole
// buffer and streaming (64 KiB input pieces, CRC-32 of the output on both sides).
// Every decoder's output is compared with the input before anything is timed. The
// decoders take turns, one run each per round, so that a change in the machine's
// load during the measurement falls on all of them alike, and each is credited
// with its fastest round: a run takes a few milliseconds, so on a shared machine
// a burst of load moves a median by up to a tenth, while it can only lengthen a
// round, never shorten one.
#include "Bench.h"
#include "archive/codecs/Inflate.h"
#include "archive/framework/ArcErrors.h"
#include "archive/framework/Crc.h"
#include "archive/readers/UnZip.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>

using namespace mvbench;

namespace {

// Machine code: the larger programs and libraries of the system, in name order.
std::vector<uint8_t> BinaryInput() {
    std::vector<uint8_t> binary;
    for (const char* dir : {"/usr/lib/x86_64-linux-gnu", "/usr/bin", "/usr/lib"}) {
        std::error_code ec;
        std::vector<std::filesystem::path> files;
        for (auto it = std::filesystem::directory_iterator(dir, ec);
             !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
            if (it->is_regular_file(ec) && it->file_size(ec) > 65536) files.push_back(it->path());
        std::sort(files.begin(), files.end());
        for (const auto& f : files) {
            if (binary.size() >= (24u << 20)) break;
            std::ifstream in(f, std::ios::binary);
            binary.insert(binary.end(), std::istreambuf_iterator<char>(in), {});
        }
        if (binary.size() >= (24u << 20)) break;
    }
    return binary;
}

// Slices of 1 MiB taken in turn from each of the given kinds, up to `size` bytes.
std::vector<uint8_t> Interleave(const std::vector<std::vector<uint8_t>>& kinds, size_t size) {
    std::vector<uint8_t> out;
    out.reserve(size);
    const size_t slice = 1 << 20;
    for (size_t i = 0; out.size() < size; ++i) {
        const auto& k = kinds[i % kinds.size()];
        if (k.empty()) continue;
        const size_t from = (i / kinds.size() * slice) % k.size();
        const size_t n = std::min({slice, k.size() - from, size - out.size()});
        out.insert(out.end(), k.begin() + from, k.begin() + from + n);
    }
    return out;
}

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& data, int level) {
    z_stream z{};
    deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::vector<uint8_t> out(deflateBound(&z, data.size()));
    z.next_in = const_cast<uint8_t*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    if (deflate(&z, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate failed");
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

size_t ZlibWhole(const std::vector<uint8_t>& src, std::vector<uint8_t>& dst) {
    z_stream z{};
    inflateInit2(&z, -15);
    z.next_in = const_cast<uint8_t*>(src.data());
    z.avail_in = static_cast<uInt>(src.size());
    z.next_out = dst.data();
    z.avail_out = static_cast<uInt>(dst.size());
    int rc = inflate(&z, Z_FINISH);
    size_t n = z.total_out;
    inflateEnd(&z);
    if (rc != Z_STREAM_END) throw std::runtime_error("zlib inflate failed");
    return n;
}

constexpr size_t kChunk = 65536;

// Runs each of the functions once per round, in turn, and answers the fastest
// time of each over the rounds.
std::vector<double> TakingTurns(int rounds, const std::vector<std::function<void()>>& fns) {
    std::vector<double> best(fns.size(), 0);
    for (int r = 0; r < rounds; ++r)
        for (size_t i = 0; i < fns.size(); ++i) {
            const double t = MedianSeconds(1, fns[i]);
            if (r == 0 || t < best[i]) best[i] = t;
        }
    return best;
}

// zlib as an extracting tool drives it: 64 KiB in, 64 KiB out, CRC over the output.
uint32_t ZlibStreaming(const std::vector<uint8_t>& src, uint64_t& total) {
    z_stream z{};
    inflateInit2(&z, -15);
    std::vector<uint8_t> out(kChunk);
    uint32_t crc = crc32(0, nullptr, 0);
    size_t pos = 0;
    int rc = Z_OK;
    total = 0;
    while (rc != Z_STREAM_END) {
        if (z.avail_in == 0) {
            size_t n = std::min(kChunk, src.size() - pos);
            z.next_in = const_cast<uint8_t*>(src.data() + pos);
            z.avail_in = static_cast<uInt>(n);
            pos += n;
        }
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        rc = inflate(&z, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END) throw std::runtime_error("zlib inflate failed");
        size_t got = out.size() - z.avail_out;
        crc = crc32(crc, out.data(), static_cast<uInt>(got));
        total += got;
    }
    inflateEnd(&z);
    return crc;
}

// Ours the way a reader drives it: input pieces of 64 KiB, output hook with CRC.
class ChunkInput : public mv::CodecInput {
public:
    explicit ChunkInput(const std::vector<uint8_t>& d) : data(d) {}
    size_t Read(uint8_t* buf, size_t n) override {
        size_t k = std::min({n, kChunk, data.size() - pos});
        std::memcpy(buf, data.data() + pos, k);
        pos += k;
        return k;
    }

private:
    const std::vector<uint8_t>& data;
    size_t pos = 0;
};
class CrcOutput : public mv::CodecOutput {
public:
    void Write(const uint8_t* buf, size_t n) override {
        crc = static_cast<uint32_t>(crc32(crc, buf, static_cast<uInt>(n)));
        total += n;
    }
    uint32_t crc = 0;
    uint64_t total = 0;
};

// A one-member ZIP around a raw deflate stream, written to a temporary file.
std::string WriteZip(const std::vector<uint8_t>& stream, size_t size, uint32_t crc, int level) {
    auto le16 = [](std::vector<uint8_t>& b, uint32_t v) {
        b.push_back(uint8_t(v)), b.push_back(uint8_t(v >> 8));
    };
    auto le32 = [&](std::vector<uint8_t>& b, uint32_t v) { le16(b, v & 0xFFFF), le16(b, v >> 16); };
    const std::string name = "data.bin";
    std::vector<uint8_t> head, central, end;
    le32(head, 0x04034B50), le16(head, 20), le16(head, 0), le16(head, 8), le32(head, 0x5A210000),
        le32(head, crc);
    le32(head, uint32_t(stream.size())), le32(head, uint32_t(size)), le16(head, uint16_t(name.size())),
        le16(head, 0);
    head.insert(head.end(), name.begin(), name.end());
    le32(central, 0x02014B50), le16(central, 20), le16(central, 20), le16(central, 0), le16(central, 8);
    le32(central, 0x5A210000), le32(central, crc), le32(central, uint32_t(stream.size())),
        le32(central, uint32_t(size));
    le16(central, uint16_t(name.size())), le16(central, 0), le16(central, 0), le16(central, 0),
        le16(central, 0);
    le32(central, 0), le32(central, 0);
    central.insert(central.end(), name.begin(), name.end());
    le32(end, 0x06054B50), le16(end, 0), le16(end, 0), le16(end, 1), le16(end, 1),
        le32(end, uint32_t(central.size()));
    le32(end, uint32_t(head.size() + stream.size())), le16(end, 0);
    const std::string path =
        (std::filesystem::temp_directory_path() / ("mvbench-inflate-" + std::to_string(level) + ".zip"))
            .string();
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(head.data()), std::streamsize(head.size()));
    f.write(reinterpret_cast<const char*>(stream.data()), std::streamsize(stream.size()));
    f.write(reinterpret_cast<const char*>(central.data()), std::streamsize(central.size()));
    f.write(reinterpret_cast<const char*>(end.data()), std::streamsize(end.size()));
    return path;
}

// Tests the archive through the ZIP reader: every member decoded to a sink that
// keeps the CRC-32, as the search and the test command do. Answers whether all passed.
bool ReaderTest(const std::string& path) {
    mv::TUnZIP z;
    z.SetArchiveFile(path);
    z.FileSpecList() = {"*.*"};
    mv::TUnZIP* p = &z;
    z.ExtractWriteProc = [p](mv::TArcStream*, mv::TArcStream*, const uint8_t* b, bool, int, int64_t n,
                             int) -> int64_t {
        uint32_t reg = p->Crc32Register();
        mv::UpdateCRC32(b, static_cast<size_t>(n), reg);
        p->SetCrc32Register(reg);
        return n;
    };
    bool ok = true;
    z.OnError = [&](mv::TObject*, const std::string&, const std::string&, const std::string&, int) {
        ok = false;
    };
    z.ExtractToSink();
    return ok && z.FileCount() == 1;
}

void Run(bool quick) {
    const size_t size = quick ? (8u << 20) : (56u << 20);
    // Nine rounds in the quick run too: its inputs take a few milliseconds each.
    const int reps = 9;
    std::vector<uint8_t> text, binary = BinaryInput();
    for (auto& c : StandardCorpora(false))
        if (c.name == "text" || c.name == "headers") text.insert(text.end(), c.data.begin(), c.data.end());
    struct TKind {
        const char* name;
        std::vector<uint8_t> data;
    };
    // Text: licences and C headers; binary: machine code; mixed: the three in turn.
    std::vector<TKind> kinds;
    kinds.push_back({"text", Interleave({text}, std::min(size, text.size()))});
    kinds.push_back({"binary", Interleave({binary}, std::min(size, binary.size()))});
    kinds.push_back(
        {"mixed", Interleave({std::vector<uint8_t>(text.begin(), text.begin() + text.size() / 2),
                              std::vector<uint8_t>(text.begin() + text.size() / 2, text.end()), binary},
                             size)});
    std::printf("inputs: text (licences, C headers), binary (machine code), mixed (the two in 1 MiB\n"
                "slices); output MB/s (fastest of %d rounds)\n",
                reps);
    std::printf(
        "whole: memory to memory; codec: 64 KiB input pieces, CRC-32 of the output; reader: the ZIP\n"
        "reader testing the member from a file (32 KiB reads, CRC-32), against zlib's codec figure\n");
    const std::vector<int> w = {7, 6, 7, 7, 7, 9, 10, 9, 7, 8, 9, 7, 10};
    PrintRow({"input", "level", "ratio", "ours", "zlib", "libdefl", "ours/zlib", "ours/ldf", "codec",
              "zlib-cd", "codec/zl", "reader", "reader/zl"},
             w);
    libdeflate_decompressor* ld = libdeflate_alloc_decompressor();
    for (const auto& kind : kinds) {
        const auto& input = kind.data;
        const uint32_t wantCrc =
            static_cast<uint32_t>(crc32(0, input.data(), static_cast<uInt>(input.size())));
        std::vector<uint8_t> out(input.size());
        for (int level : {1, 6, 9}) {
            auto stream = Deflate(input, level);
            auto check = [&](const char* who, size_t n) {
                if (n != input.size() || std::memcmp(out.data(), input.data(), n) != 0) {
                    std::printf("%s: WRONG OUTPUT at level %d\n", who, level);
                    throw std::runtime_error("inflate output differs");
                }
                std::fill(out.begin(), out.begin() + 4096, 0);
            };
            check("ours", mv::InflateMemory(stream.data(), stream.size(), out.data(), out.size()));
            check("zlib", ZlibWhole(stream, out));
            size_t ldOut = 0;
            if (libdeflate_deflate_decompress(ld, stream.data(), stream.size(), out.data(), out.size(),
                                              &ldOut) != LIBDEFLATE_SUCCESS)
                throw std::runtime_error("libdeflate failed");
            check("libdeflate", ldOut);
            {
                ChunkInput in(stream);
                CrcOutput sink;
                mv::Inflate(in, sink, input.size());
                uint64_t zt = 0;
                if (sink.crc != wantCrc || sink.total != input.size() || ZlibStreaming(stream, zt) != wantCrc)
                    throw std::runtime_error("streaming CRC differs");
            }
            const std::string zipPath = WriteZip(stream, input.size(), wantCrc, level);
            if (!ReaderTest(zipPath)) throw std::runtime_error("the ZIP reader failed the member");
            const auto t = TakingTurns(
                reps, {[&] { mv::InflateMemory(stream.data(), stream.size(), out.data(), out.size()); },
                       [&] { ZlibWhole(stream, out); },
                       [&] {
                           libdeflate_deflate_decompress(ld, stream.data(), stream.size(), out.data(),
                                                         out.size(), &ldOut);
                       },
                       [&] {
                           ChunkInput in(stream);
                           CrcOutput sink;
                           mv::Inflate(in, sink, input.size());
                       },
                       [&] {
                           uint64_t total = 0;
                           ZlibStreaming(stream, total);
                       },
                       [&] { ReaderTest(zipPath); }});
            std::filesystem::remove(zipPath);
            const double tOurs = t[0], tZlib = t[1], tLd = t[2], tOursS = t[3], tZlibS = t[4], tReader = t[5];
            const uint64_t n = input.size();
            PrintRow({kind.name, "-" + std::to_string(level), Fixed(100.0 * stream.size() / n, 1) + "%",
                      Fixed(MBps(n, tOurs), 0), Fixed(MBps(n, tZlib), 0), Fixed(MBps(n, tLd), 0),
                      Fixed(tZlib / tOurs, 2) + "x", Fixed(tLd / tOurs, 2) + "x", Fixed(MBps(n, tOursS), 0),
                      Fixed(MBps(n, tZlibS), 0), Fixed(tZlibS / tOursS, 2) + "x", Fixed(MBps(n, tReader), 0),
                      Fixed(tZlibS / tReader, 2) + "x"},
                     w);
        }
    }
    libdeflate_free_decompressor(ld);
}

SectionRegistrar registrar("inflate", Run);

} // namespace
