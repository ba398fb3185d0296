// Fuzz target for our ACE library, its decompressors and the ACE reader. The first
// byte picks the path: one decompressor fed the rest of the input directly, or an
// archive (the rest of the input) walked through the library calls or the reader.
#include "archive/codecs/CodecIo.h"
#include "archive/readers/UnAce.h"
#include "fuzz/ReaderFuzzHarness.h"
#include "archive/libraries/ace/AceDecode.h"
#include "archive/libraries/ace/Unace.h"

#include <string>

using namespace mv;
using namespace mv::unace;

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
    if (mode & 2)
        // The reader, every member decoded into a sink that keeps the CRCs (odd sizes to files too).
        return mvfuzz::FuzzReader(
            data, size, "unace", ".ace", [] { return std::unique_ptr<TUnBase>(new TUnACE); },
            [](TUnBase& r) { r.SetPasswords({"test"}); });
    const std::string path = mvfuzz::WriteArchive(data, size, "unace", ".ace").string();
    ACEOpenArchiveData od;
    od.ArcName = path;
    od.DataProc = mvfuzz::TakeAnyData;
    od.VolumeProc = mvfuzz::NoNextVolume;
    AceHandle h = ACEOpenArchive(&od);
    if (h) {
        if (mode & 4) ACESetPassword(h, "test");
        ACEHeaderData hd;
        for (int i = 0; i < 64 && ACEReadHeader(h, &hd) == ACE_SUCCESS; ++i)
            ACEProcessFile(h, ACE_TEST);
        ACECloseArchive(h);
    }
    return 0;
}
