// Fuzz target for our RAR library, its decompressors and the RAR reader. The first
// byte picks the path: an archive walked through the library calls or through the
// reader (the rest of the input is the archive file), or one decompressor fed the
// rest of the input directly.
#include "archive/codecs/CodecIo.h"
#include "archive/readers/UnRar.h"
#include "fuzz/ReaderFuzzHarness.h"
#include "archive/libraries/rar/RarUnpack.h"
#include "archive/libraries/rar/Unrar.h"

#include <string>

using namespace mv;
using namespace mv::unrar;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    uint8_t mode = data[0];
    ++data;
    --size;
    if (mode & 1) {
        static const int versions[] = {15, 20, 29, 50, 70};
        MemoryInput in(data, size);
        MemoryOutput out(1 << 18);
        RarUnpack unpack;
        try {
            unpack.Unpack(versions[(mode >> 1) % 5], false, in, out, 1 << 18);
        } catch (const ECodecError&) {
        }
        return 0;
    }
    if (mode & 2)
        // The reader, every member decoded into a sink that keeps the CRCs (odd sizes to files too).
        return mvfuzz::FuzzReader(
            data, size, "unrar", ".rar", [] { return std::unique_ptr<TUnBase>(new TUnRAR); },
            [](TUnBase& r) { r.SetPasswords({"a"}); });
    const std::string path = mvfuzz::WriteArchive(data, size, "unrar", ".rar").string();
    RAROpenArchiveData od;
    od.ArcName = path;
    RarHandle h = RAROpenArchive(&od);
    if (h) {
        RARSetProcessDataProc(h, mvfuzz::TakeAnyData);
        RARSetChangeVolProc(h, mvfuzz::NoNextVolume);
        RARHeaderData hd;
        for (int i = 0; i < 64 && RARReadHeader(h, &hd) == RAR_SUCCESS; ++i)
            RARProcessFile(h, RAR_TEST);
        RARCloseArchive(h);
    }
    return 0;
}
