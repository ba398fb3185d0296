// Feeds arbitrary bytes to the .Z decoder behind a valid magic; the output is
// capped so that LZW strings of legal but huge expansion end quickly.
#include "archive/codecs/CompressDecode.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> z = {0x1F, 0x9D};
    z.insert(z.end(), data, data + size);
    mv::MemoryInput in(z);
    mv::MemoryOutput out(1 << 22);
    try {
        mv::TCompressResult r = mv::CompressDecode(in, out);
        if (r.Written != out.bytes.size()) __builtin_trap();
    } catch (const mv::ECodecError&) {
    }
    return 0;
}
