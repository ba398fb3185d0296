// Feeds arbitrary bytes to the -lh1- decoder, and checks that the -lh1-
// encoder round-trips the same bytes.
#include "archive/codecs/Lh1Codec.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint64_t declared = uint64_t(1) << (10 + data[0] % 9); // 1 KiB .. 256 KiB
    {
        mv::MemoryInput in(data + 1, size - 1);
        mv::MemoryOutput out(declared);
        try {
            mv::Lh1Decompress(in, out, declared);
        } catch (const mv::ECodecError&) {
        }
        if (out.bytes.size() > declared) __builtin_trap();
    }
    mv::MemoryInput raw(data, size);
    mv::MemoryOutput packed;
    mv::Lh1Compress(raw, packed);
    mv::MemoryInput again(packed.bytes);
    mv::MemoryOutput back(size);
    mv::Lh1Decompress(again, back, size);
    if (back.bytes.size() != size || std::memcmp(back.bytes.data(), data, size) != 0) __builtin_trap();
    return 0;
}
