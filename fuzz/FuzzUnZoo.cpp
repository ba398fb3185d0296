// The ZOO reader on arbitrary archives: every member is decoded into a sink and,
// for every other input, also into files; the run must end with reported errors
// at worst: no crash, no hang, nothing written outside the output folder.
#include "archive/framework/ArcErrors.h"
#include "archive/readers/UnZoo.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fs::path base = [] {
        char templ[] = "/tmp/fuzzunzoo-XXXXXX";
        const char* dir = mkdtemp(templ);
        return fs::path(dir ? dir : "/tmp/fuzzunzoo");
    }();
    const fs::path archive = base / "in.zoo";
    const fs::path out = base / "out";
    {
        std::ofstream f(archive, std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    auto run = [&](bool toFiles) {
        mv::TUnZOO r;
        r.SetArchiveFile(archive.string());
        r.FileSpecList() = {"*.*"};
        r.SetExtractDir(out.string());
        r.SetConfirmOverwrites(false);
        r.SetPasswords({"a"});
        r.OnError = [](mv::TObject*, const std::string&, const std::string&, const std::string&, int) {};
        if (!toFiles)
            r.ExtractWriteProc = [](mv::TArcStream*, mv::TArcStream*, const uint8_t*, bool, int, int64_t n,
                                    int) -> int64_t { return n; };
        try {
            if (toFiles)
                r.Extract();
            else
                r.ExtractToSink();
        } catch (const mv::E_RAISE&) {
        }
    };
    run(false);
    if (size & 1) {
        run(true);
        for (auto& e : fs::directory_iterator(base))
            if (e.path() != archive && e.path() != out) __builtin_trap();
        std::error_code ec;
        fs::remove_all(out, ec);
    }
    return 0;
}
