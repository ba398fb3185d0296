// Walks arbitrary bytes as an LHA archive: every header is parsed with its
// extended headers, and every member is decoded by its method (output
// bounded), as the LHA reader does.
#include "archive/codecs/Lh1Codec.h"
#include "archive/codecs/LzhDecode.h"
#include "archive/readers/UnLhaHeader.h"

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
    return 0;
}
