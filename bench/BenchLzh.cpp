// LZH section: the same mixed input is packed by jlha into one -lh5- and one
// -lh6- archive; each is then tested by our LHA reader (decoding to a sink
// that keeps the CRC-16, as `mvarc test` does), by our decoder alone, and by
// `lhasa t` and `7z t`, in the same run.
// Our -lh5- compressor is timed on the same input against jlha's own run.
#include "Bench.h"

#include "archive/codecs/LzhDecode.h"
#include "archive/codecs/LzhEncode.h"
#include "archive/framework/Crc.h"
#include "archive/readers/UnLha.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class TCrcSink : public mv::CodecOutput {
public:
    void Write(const uint8_t* buf, size_t n) override {
        mv::UpdateCRC16(buf, n, crc);
        bytes += n;
    }
    uint16_t crc = 0;
    uint64_t bytes = 0;
};

class TCountSink : public mv::CodecOutput {
public:
    void Write(const uint8_t*, size_t n) override { bytes += n; }
    uint64_t bytes = 0;
};

// Our reader over the whole archive, output to a CRC-16 sink; false on any error.
bool ReaderTest(const fs::path& archive) {
    mv::TUnLHA reader;
    reader.SetArchiveFile(archive.string());
    reader.FileSpecList() = {"*.*"};
    bool ok = true;
    reader.OnError = [&ok](mv::TObject*, const std::string&, const std::string&, const std::string&, int) {
        ok = false;
    };
    mv::TUnLHA* p = &reader;
    reader.ExtractWriteProc = [p](mv::TArcStream*, mv::TArcStream*, const uint8_t* b, bool, int, int64_t n,
                                  int) -> int64_t {
        uint16_t reg = p->Crc16Register();
        mv::UpdateCRC16(b, size_t(n), reg);
        p->SetCrc16Register(reg);
        return n;
    };
    try {
        reader.ExtractToSink();
    } catch (const std::exception&) {
        ok = false;
    }
    return ok && reader.FileCount() == 1;
}

std::vector<uint8_t> ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

bool Have(const char* tool) {
    return std::system((std::string("command -v ") + tool + " >/dev/null").c_str()) == 0;
}

struct TMember {
    std::string method;
    size_t dataAt = 0;
    uint32_t packed = 0;
    uint32_t size = 0;
    uint16_t crc = 0;
};

// The first member of a level-0 archive.
bool FirstMember(const std::vector<uint8_t>& a, TMember& m) {
    if (a.size() < 24 || a[20] != 0) return false;
    auto u32 = [&](size_t i) { return a[i] | a[i + 1] << 8 | a[i + 2] << 16 | uint32_t(a[i + 3]) << 24; };
    m.method.assign(a.begin() + 2, a.begin() + 7);
    m.packed = u32(7);
    m.size = u32(11);
    size_t n = a[21];
    m.crc = uint16_t(a[22 + n] | a[23 + n] << 8);
    m.dataAt = 2 + a[0];
    return m.dataAt + m.packed <= a.size();
}

void Run(bool quick) {
    if (!Have("lha")) {
        std::printf("jlha (lha) not installed: section skipped\n");
        return;
    }
    const int reps = quick ? 3 : 3;
    char tmpl[] = "/tmp/mvbench-lzh-XXXXXX";
    if (!mkdtemp(tmpl)) return;
    fs::path dir = tmpl;
    auto input = mvbench::InterleavedCorpora(quick);
    {
        std::ofstream(dir / "mixed.bin", std::ios::binary)
            .write(reinterpret_cast<const char*>(input.data()), long(input.size()));
    }
    std::printf("input: %.1f MB mixed (text, headers, random, zeros)\n\n", input.size() / 1e6);
    std::vector<int> w = {10, 10, 12, 12, 12, 12, 10, 10};
    mvbench::PrintRow(
        {"method", "packed", "reader MB/s", "codec MB/s", "lhasa MB/s", "7z MB/s", "vs lhasa", "vs 7z"}, w);
    double jlhaSeconds = 0;
    for (const char* opt : {"c0", "c0o6"}) {
        const std::string name = std::string(opt) + ".lzh";
        auto t0 = std::chrono::steady_clock::now();
        std::string make =
            "cd " + dir.string() + " && lha " + opt + " " + name + " mixed.bin </dev/null >/dev/null 2>&1";
        if (std::system(make.c_str()) != 0) {
            std::printf("%s: jlha failed\n", opt);
            continue;
        }
        if (std::string(opt) == "c0")
            jlhaSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        auto archive = ReadAll(dir / name);
        TMember m;
        if (!FirstMember(archive, m)) {
            std::printf("%s: unexpected archive layout\n", opt);
            continue;
        }
        const mv::TLzh3Params params = m.method == "-lh6-" ? mv::LzhParamsLh6 : mv::LzhParamsLh5;
        auto decode = [&](TCrcSink& sink) {
            mv::MemoryInput in(archive.data() + m.dataAt, m.packed);
            mv::Lzh3Decode(in, sink, m.size, params);
        };
        TCrcSink check;
        decode(check);
        if (check.bytes != input.size() || check.crc != m.crc) {
            std::printf("%s: OUR OUTPUT IS WRONG (%llu bytes, crc %04x vs %04x)\n", m.method.c_str(),
                        (unsigned long long)check.bytes, check.crc, m.crc);
            continue;
        }
        if (!ReaderTest(dir / name)) {
            std::printf("%s: OUR READER FAILED\n", m.method.c_str());
            continue;
        }
        double ours = mvbench::MedianSeconds(reps, [&] { ReaderTest(dir / name); });
        double codec = mvbench::MedianSeconds(reps, [&] {
            TCrcSink sink;
            decode(sink);
        });
        double lhasa =
            Have("lhasa")
                ? mvbench::TimeCommand("lhasa t " + (dir / name).string() + " >/dev/null 2>&1", reps)
                : -1;
        double sevenZ = Have("7z")
                            ? mvbench::TimeCommand("7z t " + (dir / name).string() + " >/dev/null 2>&1", reps)
                            : -1;
        auto speed = [&](double t) {
            return t > 0 ? mvbench::Fixed(mvbench::MBps(input.size(), t), 1) : std::string("n/a");
        };
        auto ratio = [&](double t) { return t > 0 ? mvbench::Fixed(t / ours, 2) + "x" : std::string("n/a"); };
        mvbench::PrintRow({m.method, mvbench::Fixed(100.0 * m.packed / input.size(), 1) + "%", speed(ours),
                           speed(codec), speed(lhasa), speed(sevenZ), ratio(lhasa), ratio(sevenZ)},
                          w);
    }

    // Compression: ours against jlha's single run on the same file.
    TCountSink packed;
    mv::TLzhEncodeResult result;
    double enc = mvbench::MedianSeconds(quick ? 1 : 2, [&] {
        TCountSink sink;
        mv::MemoryInput in(input);
        result = mv::Lzh5Compress(in, sink);
        packed = sink;
    });
    TMember jm;
    auto jarchive = ReadAll(dir / "c0.lzh");
    std::printf("\n");
    mvbench::PrintRow({"-lh5- out", "ours size", "jlha size", "ours MB/s", "jlha MB/s", "speed", ""}, w);
    if (FirstMember(jarchive, jm) && !result.Unpackable)
        mvbench::PrintRow({"", mvbench::Fixed(100.0 * packed.bytes / input.size(), 2) + "%",
                           mvbench::Fixed(100.0 * jm.packed / input.size(), 2) + "%",
                           mvbench::Fixed(mvbench::MBps(input.size(), enc), 1),
                           mvbench::Fixed(mvbench::MBps(input.size(), jlhaSeconds), 1),
                           mvbench::Fixed(jlhaSeconds / enc, 2) + "x", ""},
                          w);
    fs::remove_all(dir);
}

mvbench::SectionRegistrar reg("lzh", Run);

} // namespace
