// Listing a ZIP of many entries: our lister against `unzip -l` and `7z l` on the
// same generated archive in one run, with the time and the peak memory of each.
// Every tool runs in a child process of its own, so each peak is its own; each
// answer is checked (the number of entries) before its time is printed.
#include "Bench.h"

#include "archive/lister/ArcLister.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

void Put16(std::string& s, uint16_t v) {
    s.push_back(char(v & 0xFF)), s.push_back(char(v >> 8));
}
void Put32(std::string& s, uint32_t v) {
    Put16(s, uint16_t(v)), Put16(s, uint16_t(v >> 16));
}

// A stored ZIP of `count` small files in 1000 folders, without Zip64 records
// (the lister refuses them): past 65,535 entries the end record keeps the low 16
// bits of the count, as writers without Zip64 records leave it, which the peers
// accept and the lister does not need; every field of the central directory is exact.
bool MakeZip(const std::string& path, uint32_t count) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::string central, local;
    uint64_t offset = 0;
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
        Put32(central, 0x81A40000u), Put32(central, uint32_t(offset));
        central.append(name, size_t(n));
        offset += local.size();
    }
    out.write(central.data(), std::streamsize(central.size()));
    uint64_t cdOffset = offset, cdSize = central.size();
    std::string end;
    uint16_t entries16 = uint16_t(count & 0xFFFF);
    Put32(end, 0x06054B50), Put16(end, 0), Put16(end, 0), Put16(end, entries16), Put16(end, entries16);
    Put32(end, uint32_t(cdSize)), Put32(end, uint32_t(cdOffset)), Put16(end, 0);
    out.write(end.data(), std::streamsize(end.size()));
    return bool(out);
}

struct ChildRun {
    bool ok = false;
    double seconds = 0;
    double peakMB = 0;
    std::string output;
};

// Runs fn in a child process (its stdout to a file); the wall time and the peak
// resident size of that child alone.
template <typename Fn> ChildRun InChild(Fn fn) {
    ChildRun r;
    char outPath[] = "/tmp/mvbench-lister-out-XXXXXX";
    int fd = mkstemp(outPath);
    if (fd < 0) return r;
    std::fflush(stdout); // nothing of ours may reach the child's output
    auto t0 = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        dup2(fd, 1);
        int devnull = ::open("/dev/null", O_WRONLY);
        if (devnull >= 0) dup2(devnull, 2);
        int code = fn();
        std::fflush(stdout);
        _exit(code);
    }
    int status = 0;
    struct rusage ru {};
    wait4(pid, &status, 0, &ru);
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    r.peakMB = ru.ru_maxrss / 1024.0;
    r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    ::close(fd);
    std::ifstream in(outPath);
    r.output.assign(std::istreambuf_iterator<char>(in), {});
    ::unlink(outPath);
    return r;
}

bool HaveProgram(const char* name) {
    std::string cmd = std::string("command -v ") + name + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

void Run(bool quick) {
    const uint32_t count = quick ? 20000 : 1000000;
    const char* tmp = std::getenv("TMPDIR");
    std::string path =
        std::string(tmp && *tmp ? tmp : "/tmp") + "/mvbench-lister-" + std::to_string(getpid()) + ".zip";
    if (!MakeZip(path, count)) {
        std::printf("cannot write %s\n", path.c_str());
        return;
    }
    std::printf("ZIP of %u entries, %s\n", count, path.c_str());
    std::vector<int> w = {14, 12, 10, 10, 12};
    mvbench::PrintRow({"lister", "entries", "seconds", "peak MB", "vs unzip -l"}, w);

    ChildRun ours = InChild([&] {
        mv::TArcLister lister;
        lister.SetFileSpec({"*.*"});
        uint64_t n = 0, bytes = 0;
        lister.OnRead = [&](mv::TObject*, int64_t, int) {
            ++n;
            bytes += uint64_t(lister.EntryInfo().UnpackedSize);
        };
        lister.SetArchiveFile(path);
        bool ok = lister.Activate() && lister.Completed();
        std::printf("%llu %llu\n", static_cast<unsigned long long>(n),
                    static_cast<unsigned long long>(bytes));
        return ok ? 0 : 1;
    });
    bool oursOk = ours.ok && std::strtoull(ours.output.c_str(), nullptr, 10) == count;

    auto peer = [&](const char* tool, const std::string& cmd, auto countOf) {
        ChildRun r;
        if (!HaveProgram(tool)) return std::make_pair(r, false);
        r = InChild(
            [&] { return execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr)), 127; });
        return std::make_pair(r, r.ok && countOf(r.output) == count);
    };
    auto unzip = peer("unzip", "unzip -l " + path, [](const std::string& out) {
        // the last line: "  total-bytes   N files"
        size_t files = out.rfind(" files");
        size_t start = out.rfind(' ', files == std::string::npos ? 0 : files - 1);
        return files == std::string::npos ? 0u : uint32_t(std::strtoul(out.c_str() + start + 1, nullptr, 10));
    });
    auto sevenZ = peer("7z", "7z l " + path, [](const std::string& out) {
        size_t files = out.rfind(" files");
        size_t start = out.rfind(' ', files == std::string::npos ? 0 : files - 1);
        return files == std::string::npos ? 0u : uint32_t(std::strtoul(out.c_str() + start + 1, nullptr, 10));
    });
    auto row = [&](const char* name, const ChildRun& r, bool ok, bool present) {
        if (!present) {
            mvbench::PrintRow({name, "-", "skipped", "-", "-"}, w);
            return;
        }
        if (!ok) {
            mvbench::PrintRow({name, "WRONG", mvbench::Fixed(r.seconds, 3), mvbench::Fixed(r.peakMB, 1), "-"},
                              w);
            return;
        }
        std::string ratio = unzip.second ? mvbench::Fixed(unzip.first.seconds / r.seconds, 2) + "x" : "-";
        mvbench::PrintRow(
            {name, std::to_string(count), mvbench::Fixed(r.seconds, 3), mvbench::Fixed(r.peakMB, 1), ratio},
            w);
    };
    row("TArcLister", ours, oursOk, true);
    row("unzip -l", unzip.first, unzip.second, HaveProgram("unzip"));
    row("7z l", sevenZ.first, sevenZ.second, HaveProgram("7z"));
    if (!std::getenv("MVBENCH_KEEP")) ::unlink(path.c_str());
}

mvbench::SectionRegistrar reg("lister", Run);

} // namespace
