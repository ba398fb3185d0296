// Unreduce on arbitrary bytes: a codec error or output within the declared size,
// never a crash, a hang or unbounded memory.
#include "archive/codecs/Unreduce.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0; // the first byte picks the variant, the rest is the member's data
    const uint64_t limit = 1 << 18;
    mv::MemoryInput in(data + 1, size - 1);
    mv::MemoryOutput out(limit);
    try {
        mv::Unreduce(in, out, limit, 1 + (data[0] & 3));
    } catch (const mv::ECodecError&) {
    }
    if (out.bytes.size() > limit) __builtin_trap();
    return 0;
}
