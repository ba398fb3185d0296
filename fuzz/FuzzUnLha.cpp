// Arbitrary bytes as an LHA archive: the header walk and the decoders on
// their own (every header parsed with its extended headers, every member
// decoded by its method, output bounded), then the LHA reader itself, to a
// sink and, for odd sizes, to files, which must stay inside the output folder.
#include "archive/codecs/Lh1Codec.h"
#include "archive/codecs/LzhDecode.h"
#include "archive/framework/ArcErrors.h"
#include "archive/framework/Crc.h"
#include "archive/readers/UnLha.h"
#include "archive/formats/lha/LhaHeader.h"
#include "fuzz/ReaderFuzzHarness.h"

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int64_t fileSize = int64_t(size);
    mv::TLhaReadAt readAt = [&](int64_t pos, uint8_t* buf, int64_t n) -> int64_t {
        if (pos < 0 || pos >= fileSize || n <= 0) return 0;
        int64_t k = std::min(n, fileSize - pos);
        std::memcpy(buf, data + pos, size_t(k));
        return k;
    };
    int64_t pos = 0;
    for (int members = 0; members < 64; ++members) {
        mv::TLhaHeader h;
        if (mv::ReadLhaHeader(readAt, pos, fileSize, h) != mv::TLhaHeaderStatus::lhsOk) break;
        if (h.Next <= pos || h.DataOffset < pos || h.PackedSize < 0) __builtin_trap();
        const int64_t avail = std::max<int64_t>(0, std::min(h.PackedSize, fileSize - h.DataOffset));
        mv::MemoryInput in(data + std::min(h.DataOffset, fileSize), size_t(avail));
        const uint64_t declared = uint64_t(std::min<int64_t>(h.UnpackedSize, 1 << 20));
        mv::MemoryOutput out(declared);
        try {
            switch (h.MethodLetter()) {
            case '1':
                mv::Lh1Decompress(in, out, declared);
                break;
            case '4':
                mv::Lzh3Decode(in, out, declared, mv::LzhParamsLh4);
                break;
            case '5':
                mv::Lzh3Decode(in, out, declared, mv::LzhParamsLh5);
                break;
            case '6':
                mv::Lzh3Decode(in, out, declared, mv::LzhParamsLh6);
                break;
            default:
                break;
            }
        } catch (const mv::ECodecError&) {
        }
        if (out.bytes.size() > declared) __builtin_trap();
        pos = h.Next;
    }

    return mvfuzz::FuzzReader(data, size, "unlha", ".lzh",
                              [] { return std::unique_ptr<mv::TUnBase>(new mv::TUnLHA); });
}
