// Explode on arbitrary bytes: a codec error or output within the declared size,
// never a crash, a hang or unbounded memory.
#include "archive/codecs/Explode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0; // the first byte picks the variant, the rest is the member's data
    const uint64_t limit = 1 << 18;
    mv::MemoryInput in(data + 1, size - 1);
    mv::MemoryOutput out(limit);
    try {
        mv::Explode(in, out, limit, static_cast<uint16_t>(data[0] & 6));
    } catch (const mv::ECodecError&) {
    }
    if (out.bytes.size() > limit) __builtin_trap();
    return 0;
}
