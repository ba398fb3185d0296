// Fuzz target of the archive lister: the input is written as an archive file,
// its type detected and its headers walked (every format, seeded from the
// corpus). The listing must end without a crash, a hang or a read outside the file.
#include "archive/lister/ArcLister.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace {
std::string ArchivePath() {
    static std::string path = [] {
        const char* tmp = std::getenv("TMPDIR");
        return std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz-lister-" + std::to_string(getpid()) + ".arc";
    }();
    return path;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = ArchivePath();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    mv::TArcLister lister;
    lister.SetFileSpec({"*.*"});
    lister.SetShowBlankDirs(size & 1);
    uint64_t sum = 0;
    lister.OnRead = [&](mv::TObject*, int64_t offset, int filenum) {
        const auto& e = lister.EntryInfo();
        sum += e.FileName.size() + e.MethodText.size() + static_cast<uint64_t>(offset) + filenum;
    };
    lister.OnError = [&](mv::TObject*, const std::string&, const std::string&, const std::string&, int code) {
        sum += code;
    };
    lister.SetArchiveFile(path);
    lister.Activate();
    std::remove(path.c_str());
    static volatile uint64_t sink;
    sink = sum;
    return 0;
}
