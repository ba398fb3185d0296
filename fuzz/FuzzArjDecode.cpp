// Feeds arbitrary bytes to the ARJ method-4 decoder and to the static-Huffman
// decoder with the ARJ parameters (methods 1-3); the first byte picks the
// method and the declared size.
#include "archive/codecs/ArjDecode.h"
#include "archive/codecs/LzhDecode.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint64_t declared = uint64_t(1) << (8 + (data[0] >> 1) % 13); // 256 B .. 1 MiB
    mv::MemoryInput in(data + 1, size - 1);
    mv::MemoryOutput out(declared);
    try {
        uint64_t n = (data[0] & 1) ? mv::ArjDecodeFast(in, out, declared)
                                   : mv::Lzh3Decode(in, out, declared, mv::LzhParamsArj);
        if (n != out.bytes.size() || n > declared) __builtin_trap();
    } catch (const mv::ECodecError&) {
    }
    return 0;
}
