#pragma once
// Shared body of the reader fuzz targets: the input is written as an archive,
// every member is decoded to a sink that keeps the running CRCs, and every
// other input is also extracted to files. The run must end with reported
// errors at worst: no crash, no hang, nothing written outside the output folder.
#include "archive/framework/ArcErrors.h"
#include "archive/framework/Crc.h"
#include "archive/readers/UnBase.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <unistd.h>

namespace mvfuzz {

namespace fs = std::filesystem;

// The scratch folder of a target (made once per process), `tag` naming it.
inline const fs::path& ScratchFolder(const std::string& tag) {
    static const fs::path base = [&] {
        std::string templ = "/tmp/fuzz" + tag + "-XXXXXX";
        const char* dir = mkdtemp(templ.data());
        return fs::path(dir ? std::string(dir) : "/tmp/fuzz" + tag);
    }();
    return base;
}

// Writes the input as the archive file "in<extension>" of the scratch folder.
inline fs::path WriteArchive(const uint8_t* data, size_t size, const std::string& tag,
                             const std::string& extension) {
    const fs::path archive = ScratchFolder(tag) / ("in" + extension);
    std::ofstream f(archive, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return archive;
}

// `tag` names the scratch folder, `extension` the archive file; `make` builds a
// fresh reader, `configure` (optional) sets passwords or other options.
inline int FuzzReader(const uint8_t* data, size_t size, const std::string& tag, const std::string& extension,
                      const std::function<std::unique_ptr<mv::TUnBase>()>& make,
                      const std::function<void(mv::TUnBase&)>& configure = {}) {
    const fs::path& base = ScratchFolder(tag);
    const fs::path archive = WriteArchive(data, size, tag, extension);
    const fs::path out = base / "out";
    auto run = [&](bool toFiles) {
        std::unique_ptr<mv::TUnBase> z = make();
        z->SetArchiveFile(archive.string());
        z->FileSpecList() = {"*.*"};
        z->SetExtractDir(out.string());
        z->SetConfirmOverwrites(false);
        z->OnError = [](mv::TObject*, const std::string&, const std::string&, const std::string&, int) {};
        if (configure) configure(*z);
        mv::TUnBase* p = z.get();
        if (!toFiles)
            z->ExtractWriteProc = [p](mv::TArcStream*, mv::TArcStream*, const uint8_t* b, bool, int,
                                      int64_t n, int) -> int64_t {
                uint32_t reg32 = p->Crc32Register();
                mv::UpdateCRC32(b, static_cast<size_t>(n), reg32);
                p->SetCrc32Register(reg32);
                uint16_t reg16 = p->Crc16Register();
                mv::UpdateCRC16(b, static_cast<size_t>(n), reg16);
                p->SetCrc16Register(reg16);
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

// Callbacks for walking an archive with one of our libraries directly: every
// block of data is taken, and no further volume is offered.
inline int TakeAnyData(unsigned char*, int) {
    return 1;
}
inline int NoNextVolume(char*, int) {
    return 0;
}

// The password setup of readers that ask through OnGetPassword.
inline void AnswerPasswordA(mv::TUnBase& z) {
    z.SetPassword("a");
    z.OnGetPassword = [](mv::TObject*, const std::string&, std::string& answer, bool& again) {
        answer = "a";
        again = true;
    };
}

} // namespace mvfuzz
