// Unshrink on arbitrary bytes: a codec error or output within the declared size,
// never a crash, a hang or unbounded memory.
#include "archive/codecs/Unshrink.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const uint64_t limit = 1 << 18;
    mv::MemoryInput in(data, size);
    mv::MemoryOutput out(limit);
    try {
        mv::Unshrink(in, out, limit);
    } catch (const mv::ECodecError&) {
    }
    if (out.bytes.size() > limit) __builtin_trap();
    return 0;
}
