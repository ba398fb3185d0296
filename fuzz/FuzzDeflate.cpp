// Deflate encoder on arbitrary input: the first byte picks the level and the
// options, the rest is compressed. It must not crash, must read everything,
// and its output must stay within a small margin of the input's size.
#include "archive/codecs/Deflate.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    mv::TDeflateOptions options;
    options.Level = 1 + data[0] % 9;
    options.WholeMemberStore = (data[0] & 0x10) != 0;
    options.ClassifyText = (data[0] & 0x20) != 0;
    ++data;
    --size;
    mv::MemoryInput in(data, size);
    mv::MemoryOutput out;
    auto result = mv::Deflate(in, out, options);
    if (result.UnpackedSize != size || result.PackedSize != out.bytes.size()) std::abort();
    if (out.bytes.size() > size + size / 8 + 64) std::abort();
    if (result.Unpackable && (out.bytes.size() != size || !options.WholeMemberStore)) std::abort();
    return 0;
}
