// Feeds arbitrary bytes to ZOO's LZW decoder (the first byte picks the declared
// size): every run ends with output or an error number, never more than declared.
#include "archive/codecs/ZooLzd.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint64_t declared = uint64_t(1) << (8 + data[0] % 13);
    mv::MemoryInput in(data + 1, size - 1);
    mv::MemoryOutput out(declared);
    try {
        const uint64_t n = mv::ZooLzdDecode(in, out, declared);
        if (n != out.bytes.size() || n > declared) __builtin_trap();
    } catch (const mv::ECodecError&) {
    }
    return 0;
}
