// Feeds arbitrary bytes to the static-Huffman LZH decoder under every
// parameter set (the first byte picks the set and the declared size), and
// checks that the -lh5- encoder round-trips the same bytes.
#include "archive/codecs/LzhDecode.h"
#include "archive/codecs/LzhEncode.h"

#include <cstring>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static const mv::TLzh3Params sets[] = {mv::LzhParamsLh4, mv::LzhParamsLh5, mv::LzhParamsLh6,
                                           mv::LzhParamsLh7, mv::LzhParamsArj};
    const mv::TLzh3Params& params = sets[data[0] % 5];
    const uint64_t declared = uint64_t(1) << (10 + (data[0] >> 4) % 11); // 1 KiB .. 1 MiB
    mv::MemoryInput in(data + 1, size - 1);
    mv::MemoryOutput out(declared);
    try {
        uint64_t n = mv::Lzh3Decode(in, out, declared, params);
        if (n != out.bytes.size() || n > declared) __builtin_trap();
    } catch (const mv::ECodecError&) {
    }
    mv::MemoryInput raw(data, size);
    mv::MemoryOutput packed;
    mv::TLzhEncodeResult r = mv::Lzh5Compress(raw, packed);
    if (!r.Unpackable) {
        if (packed.bytes.size() >= size) __builtin_trap();
        mv::MemoryInput again(packed.bytes);
        mv::MemoryOutput back(size);
        mv::Lzh3Decode(again, back, size, mv::LzhParamsLh5);
        if (back.bytes.size() != size || std::memcmp(back.bytes.data(), data, size) != 0) __builtin_trap();
    }
    return 0;
}
