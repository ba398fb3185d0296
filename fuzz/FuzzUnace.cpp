// Fuzz target for our ACE library, its decompressors and the ACE reader. The first
// byte picks the path: one decompressor fed the rest of the input directly, or an
// archive (the rest of the input) walked through the library calls or the reader.
#include "archive/codecs/CodecIo.h"
#include "archive/framework/ArcErrors.h"
#include "archive/framework/Crc.h"
#include "archive/readers/UnAce.h"
#include "platform/unace/AceDecode.h"
#include "platform/unace/Unace.h"

#include <cstdio>
#include <string>
#include <unistd.h>

using namespace mv;
using namespace mv::unace;

namespace {
int Data(unsigned char*, int) {
    return 1;
}
int Volume(char*, int) {
    return 0;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint8_t mode = data[0];
    ++data;
    --size;
    if (mode & 1) {
        MemoryInput in(data, size);
        MemoryOutput out(1 << 18);
        AceDecoder d;
        try {
            d.Decode((mode & 2) ? 2 : 1, in, out, 1 << 18);
        } catch (const ECodecError&) {
        }
        return 0;
    }
    static std::string path = "/tmp/fuzz_unace_" + std::to_string(getpid()) + ".ace";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    if (mode & 2) {
        // The reader, every member decoded into a sink that keeps the CRC.
        TUnACE r;
        r.SetArchiveFile(path);
        r.FileSpecList() = {"*.*"};
        r.SetPasswords({"test"});
        r.OnError = [](TObject*, const std::string&, const std::string&, const std::string&, int) {};
        TUnACE* p = &r;
        r.ExtractWriteProc = [p](TArcStream*, TArcStream*, const uint8_t* b, bool, int, int64_t n,
                                 int) -> int64_t {
            uint32_t reg = p->Crc32Register();
            UpdateCRC32(b, static_cast<size_t>(n), reg);
            p->SetCrc32Register(reg);
            return n;
        };
        try {
            r.ExtractToSink();
        } catch (const E_RAISE&) {
        }
        return 0;
    }
    ACEOpenArchiveData od;
    od.ArcName = path;
    od.DataProc = Data;
    od.VolumeProc = Volume;
    AceHandle h = ACEOpenArchive(&od);
    if (h) {
        if (mode & 4) ACESetPassword(h, "test");
        ACEHeaderData hd;
        for (int i = 0; i < 64 && ACEReadHeader(h, &hd) == ACE_SUCCESS; ++i)
            ACEProcessFile(h, ACE_TEST, nullptr);
        ACECloseArchive(h);
    }
    return 0;
}
