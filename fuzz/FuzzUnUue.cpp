// The uuencode and xxencode reader on arbitrary input: every member is decoded (to a sink that
// keeps the CRC, and for every other input also to files), and the run must
// end with reported errors at worst: no crash, no hang, nothing written
// outside the output folder.
#include "archive/framework/ArcErrors.h"
#include "archive/framework/Crc.h"
#include "archive/readers/UnUue.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fs::path base = [] {
        char templ[] = "/tmp/fuzzUnUue-XXXXXX";
        const char* dir = mkdtemp(templ);
        return fs::path(dir ? dir : "/tmp/fuzzUnUue");
    }();
    const fs::path archive = base / "in.uue";
    const fs::path out = base / "out";
    {
        std::ofstream f(archive, std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    auto run = [&](bool toFiles) {
        std::unique_ptr<mv::TUnBase> z = std::make_unique<mv::TUUDecode>();
        z->SetArchiveFile(archive.string());
        z->FileSpecList() = {"*.*"};
        z->SetExtractDir(out.string());
        z->SetConfirmOverwrites(false);
        z->SetPassword("a");
        z->OnError = [](mv::TObject*, const std::string&, const std::string&, const std::string&, int) {};
        z->OnGetPassword = [](mv::TObject*, const std::string&, std::string& answer, bool& again) {
            answer = "a";
            again = true;
        };
        mv::TUnBase* p = z.get();
        if (!toFiles)
            z->ExtractWriteProc = [p](mv::TArcStream*, mv::TArcStream*, const uint8_t* b, bool, int,
                                      int64_t n, int) -> int64_t {
                uint32_t reg = p->Crc32Register();
                mv::UpdateCRC32(b, static_cast<size_t>(n), reg);
                p->SetCrc32Register(reg);
                return n;
            };
        try {
            if (toFiles)
                z->Extract();
            else
                z->ExtractToSink();
        } catch (const mv::E_RAISE&) {
        }
    };
    run(false);
    if (size & 1) {
        run(true);
        // Only the archive and the output folder may be in the base folder.
        for (auto& e : fs::directory_iterator(base))
            if (e.path() != archive && e.path() != out) __builtin_trap();
        std::error_code ec;
        fs::remove_all(out, ec);
    }
    return 0;
}
