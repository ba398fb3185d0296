// Deflate encoder on arbitrary input: the first byte picks the level and the
// options, the rest is compressed. It must not crash, must read everything,
// its output must stay within a small margin of the input's size, and our
// inflate must give the input back from it.
#include "archive/codecs/Deflate.h"
#include "archive/codecs/Inflate.h"

#include <cstdlib>
#include <cstring>
#include <vector>

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
    if (result.Unpackable) {
        // stored as it is: the caller writes the member with method 0
        if (size && std::memcmp(out.bytes.data(), data, size) != 0) std::abort();
        return 0;
    }
    std::vector<uint8_t> back(size + 1);
    size_t n = mv::InflateMemory(out.bytes.data(), out.bytes.size(), back.data(), back.size());
    if (n != size || (size && std::memcmp(back.data(), data, size) != 0)) std::abort();
    return 0;
}
