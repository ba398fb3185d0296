// Deflate: our encoder against zlib and libdeflate on the same input at levels
// 1, 6 and 9, in one run. Every output is inflated by zlib and compared with
// the input before any figure is printed. The engines take turns, round after
// round, and each is credited with its fastest round: on a shared machine a
// burst of load then falls on one round of one engine, not on all of its
// figures, and the ratios stay steady from run to run.
#include "Bench.h"

#include "archive/codecs/Deflate.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>

namespace {

namespace fs = std::filesystem;

// Sorted regular files under a folder (optionally with a suffix), read until `limit` bytes.
std::vector<uint8_t> ReadTree(const fs::path& dir, size_t limit, const std::string& suffix) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file(ec) && !it->is_symlink(ec) &&
            (suffix.empty() || it->path().string().ends_with(suffix)))
            files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    std::vector<uint8_t> out;
    for (const auto& f : files) {
        if (out.size() >= limit) break;
        std::ifstream in(f, std::ios::binary);
        out.insert(out.end(), std::istreambuf_iterator<char>(in), {});
    }
    if (out.size() > limit) out.resize(limit);
    return out;
}

// Text (C headers) and binary (programs) interleaved in 1 MiB pieces, so that
// the encoders meet changes of data kind as inside an archive of mixed files.
std::vector<uint8_t> MixedInput(bool quick) {
    size_t total = quick ? (8u << 20) : (56u << 20);
    auto text = ReadTree("/usr/include", total * 6 / 10, ".h");
    auto binary = ReadTree("/usr/bin", total - text.size(), "");
    std::vector<uint8_t> mixed;
    mixed.reserve(text.size() + binary.size());
    size_t t = 0, b = 0;
    const size_t piece = 1u << 20;
    while (t < text.size() || b < binary.size()) {
        for (int k = 0; k < 3 && t < text.size(); ++k) {
            size_t n = std::min(piece, text.size() - t);
            mixed.insert(mixed.end(), text.begin() + t, text.begin() + t + n);
            t += n;
        }
        for (int k = 0; k < 2 && b < binary.size(); ++k) {
            size_t n = std::min(piece, binary.size() - b);
            mixed.insert(mixed.end(), binary.begin() + b, binary.begin() + b + n);
            b += n;
        }
    }
    return mixed;
}

// The source as a writer hands it over: whole blocks copied out of a buffer.
class TBufferInput : public mv::CodecInput {
public:
    explicit TBufferInput(const std::vector<uint8_t>& d) : data(d) {}
    size_t Read(uint8_t* buf, size_t n) override {
        size_t k = std::min(n, data.size() - pos);
        std::memcpy(buf, data.data() + pos, k);
        pos += k;
        return k;
    }

private:
    const std::vector<uint8_t>& data;
    size_t pos = 0;
};

std::vector<uint8_t> Ours(const std::vector<uint8_t>& data, int level, mv::TDeflateEncoder& encoder) {
    TBufferInput in(data);
    mv::MemoryOutput out;
    out.bytes.reserve(data.size() / 2);
    mv::TDeflateOptions o;
    o.Level = level;
    o.WholeMemberStore = false;
    encoder.Deflate(in, out, o);
    return std::move(out.bytes);
}

std::vector<uint8_t> Zlib(const std::vector<uint8_t>& data, int level) {
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("zlib");
    std::vector<uint8_t> out(deflateBound(&z, data.size()));
    z.next_in = const_cast<uint8_t*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    if (deflate(&z, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("zlib deflate");
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

std::vector<uint8_t> Libdeflate(const std::vector<uint8_t>& data, int level) {
    libdeflate_compressor* c = libdeflate_alloc_compressor(level);
    // Left uninitialised, as the other engines' output buffers are: zero-filling
    // the whole bound would charge it for memory the output never uses.
    const size_t bound = libdeflate_deflate_compress_bound(c, data.size());
    std::unique_ptr<uint8_t[]> buf(new uint8_t[bound]);
    size_t n = libdeflate_deflate_compress(c, data.data(), data.size(), buf.get(), bound);
    libdeflate_free_compressor(c);
    return std::vector<uint8_t>(buf.get(), buf.get() + n);
}

bool InflatesTo(const std::vector<uint8_t>& packed, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> out(data.size() + 1);
    z_stream z{};
    inflateInit2(&z, -15);
    z.next_in = const_cast<uint8_t*>(packed.data());
    z.avail_in = static_cast<uInt>(packed.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    int rc = inflate(&z, Z_FINISH);
    bool ok = rc == Z_STREAM_END && z.total_out == data.size() && z.avail_in == 0 &&
              std::memcmp(out.data(), data.data(), data.size()) == 0;
    inflateEnd(&z);
    return ok;
}

void Run(bool quick) {
    auto data = MixedInput(quick);
    std::printf("input: %.1f MB of C headers and programs interleaved in 1 MiB pieces\n", data.size() / 1e6);
    int reps = quick ? 3 : 5;
    std::printf("(raw deflate, memory to memory, no CRC on either side; MB/s of input; engines alternate, "
                "best of %d rounds)\n",
                reps);
    const std::vector<int> widths = {7, 12, 12, 9, 9, 9, 9, 10};
    mvbench::PrintRow({"level", "engine", "bytes", "size/zl", "size/ldf", "MB/s", "speed/zl", "speed/ldf"},
                      widths);
    mv::TDeflateEncoder encoder;
    bool allOk = true;
    for (int level : {1, 6, 9}) {
        struct TRow {
            const char* name;
            std::function<std::vector<uint8_t>()> fn;
            std::vector<uint8_t> out;
            double seconds = 0;
        };
        std::vector<TRow> rows = {
            {"zlib", [&] { return Zlib(data, level); }, {}, 0},
            {"ours", [&] { return Ours(data, level, encoder); }, {}, 0},
            {"libdeflate", [&] { return Libdeflate(data, level); }, {}, 0},
        };
        for (auto& r : rows) {
            r.out = r.fn();
            if (!InflatesTo(r.out, data)) {
                std::printf("level %d %s: OUTPUT DOES NOT INFLATE TO THE INPUT\n", level, r.name);
                allOk = false;
            }
            r.seconds = 0;
        }
        for (int round = 0; round < reps; ++round) {
            for (auto& r : rows) {
                const double t = mvbench::MedianSeconds(1, [&] { r.out = r.fn(); });
                if (round == 0 || t < r.seconds) r.seconds = t;
            }
        }
        const auto& z = rows[0];
        const auto& ld = rows[2];
        for (const auto& r : rows) {
            mvbench::PrintRow({std::to_string(level), r.name, std::to_string(r.out.size()),
                               mvbench::Fixed(double(r.out.size()) / z.out.size(), 4),
                               mvbench::Fixed(double(r.out.size()) / ld.out.size(), 4),
                               mvbench::Fixed(mvbench::MBps(data.size(), r.seconds), 1),
                               mvbench::Fixed(z.seconds / r.seconds, 2),
                               mvbench::Fixed(ld.seconds / r.seconds, 2)},
                              widths);
        }
    }
    std::printf(allOk ? "all outputs verified by zlib inflate\n" : "VERIFICATION FAILED\n");
}

mvbench::SectionRegistrar registrar("deflate", Run);

} // namespace
