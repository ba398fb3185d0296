// Feeds arbitrary bytes to the ARC decoders (the first byte picks the method
// 1..9 and the declared size): every run ends with output or an error number,
// never more output than declared.
#include "archive/codecs/ArcDecode.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t method = static_cast<uint8_t>(1 + data[0] % 9);
    const uint64_t declared = uint64_t(1) << (8 + (data[0] >> 4) % 13); // 256 B .. 1 MiB
    mv::MemoryInput in(data + 1, size - 1);
    mv::MemoryOutput out(declared);
    try {
        const uint64_t n = mv::ArcDecode(method, in, out, declared);
        if (n != out.bytes.size() || n > declared) __builtin_trap();
    } catch (const mv::ECodecError&) {
    }
    return 0;
}
