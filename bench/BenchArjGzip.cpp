// ARJ, gzip and .Z section: the same mixed input is packed by arj (-m1, -m4),
// by tar + gzip into a .tar.gz and by compress; each is tested by our reader
// (decoding to a sink that keeps the CRC-32, as `mvarc test` does) and by the
// peer's own decoder (`arj t`, `gzip -dc`, `uncompress -c`) in the same run.
#include "Bench.h"

#include "archive/framework/Crc.h"
#include "archive/readers/UnArj.h"
#include "archive/readers/UnGZip.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

bool Have(const char* tool) {
    return std::system((std::string("command -v ") + tool + " >/dev/null").c_str()) == 0;
}

// Our reader over the whole archive, output to a CRC-32 sink; the bytes
// decoded, or 0 on any error.
template <class TReader> uint64_t ReaderTest(const fs::path& archive) {
    TReader reader;
    reader.SetArchiveFile(archive.string());
    reader.FileSpecList() = {"*.*"};
    bool ok = true;
    uint64_t bytes = 0;
    reader.OnError = [&ok](mv::TObject*, const std::string&, const std::string&, const std::string&, int) {
        ok = false;
    };
    TReader* p = &reader;
    reader.ExtractWriteProc = [p, &bytes](mv::TArcStream*, mv::TArcStream*, const uint8_t* b, bool, int,
                                          int64_t n, int) -> int64_t {
        uint32_t reg = p->Crc32Register();
        mv::UpdateCRC32(b, size_t(n), reg);
        p->SetCrc32Register(reg);
        bytes += uint64_t(n);
        return n;
    };
    try {
        reader.ExtractToSink();
    } catch (const std::exception&) {
        ok = false;
    }
    return ok ? bytes : 0;
}

void Run(bool quick) {
    const int reps = 3;
    char tmpl[] = "/tmp/mvbench-arjgz-XXXXXX";
    if (!mkdtemp(tmpl)) return;
    fs::path dir = tmpl;
    auto input = mvbench::InterleavedCorpora(quick);
    {
        std::ofstream(dir / "mixed.bin", std::ios::binary)
            .write(reinterpret_cast<const char*>(input.data()), long(input.size()));
    }
    const std::string d = dir.string();
    std::printf("input: %.1f MB mixed (text, headers, random, zeros)\n\n", input.size() / 1e6);
    std::vector<int> w = {12, 10, 12, 16, 12, 12};
    mvbench::PrintRow({"archive", "packed", "ours MB/s", "peer", "peer MB/s", "peer/ours"}, w);
    struct TCase {
        const char* label;
        const char* tool;
        std::string make, archive, peer;
        bool arj;
        uint64_t expect;
    } cases[] = {
        {"arj -m1", "arj", "arj a -m1 -y m1.arj mixed.bin >/dev/null", "m1.arj", "arj t m1.arj", true,
         input.size()},
        {"arj -m4", "arj", "arj a -m4 -y m4.arj mixed.bin >/dev/null", "m4.arj", "arj t m4.arj", true,
         input.size()},
        {"tar.gz", "gzip", "tar -cf - mixed.bin | gzip -6 > t.tar.gz", "t.tar.gz", "gzip -dc t.tar.gz", false,
         0},
        {".Z", "compress", "compress -b 16 -c mixed.bin > m.Z", "m.Z", "uncompress -c m.Z", false,
         input.size()},
    };
    for (auto& c : cases) {
        if (!Have(c.tool)) {
            std::printf("%s: %s not installed\n", c.label, c.tool);
            continue;
        }
        if (std::system(("cd " + d + " && (" + c.make + ") 2>/dev/null").c_str()) != 0) {
            std::printf("%s: making the archive failed\n", c.label);
            continue;
        }
        const fs::path archive = dir / c.archive;
        auto test = [&] {
            return c.arj ? ReaderTest<mv::TUnARJ>(archive) : ReaderTest<mv::TUnGZIP>(archive);
        };
        const uint64_t produced = test();
        if (produced == 0 || (c.expect && produced != c.expect)) {
            std::printf("%s: OUR READER FAILED\n", c.label);
            continue;
        }
        double ours = mvbench::MedianSeconds(reps, [&] { test(); });
        double peer = mvbench::TimeCommand("cd " + d + " && " + c.peer + " >/dev/null 2>&1", reps);
        auto speed = [&](double t) {
            return t > 0 ? mvbench::Fixed(mvbench::MBps(produced, t), 1) : std::string("n/a");
        };
        mvbench::PrintRow({c.label,
                           mvbench::Fixed(100.0 * double(fs::file_size(archive)) / double(produced), 1) + "%",
                           speed(ours), c.peer.substr(0, c.peer.rfind(' ')), speed(peer),
                           peer > 0 ? mvbench::Fixed(peer / ours, 2) + "x" : std::string("n/a")},
                          w);
    }
    std::error_code ec;
    if (!std::getenv("MVBENCH_KEEP")) fs::remove_all(dir, ec);
}

mvbench::SectionRegistrar registrar("arj-gzip", Run);

} // namespace
