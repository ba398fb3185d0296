// Inflate on arbitrary bytes: both forms must agree, stay within the output bound
// and end with a codec error or a result, never a crash.
#include "archive/codecs/Inflate.h"

#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const size_t limit = 1 << 20;
    std::vector<uint8_t> out(limit);
    int memoryCode = 0;
    size_t memorySize = 0;
    try {
        memorySize = mv::InflateMemory(data, size, out.data(), out.size());
    } catch (const mv::ECodecError& e) {
        memoryCode = e.Code();
    }
    mv::MemoryInput in(data, size);
    mv::MemoryOutput sink(limit);
    int streamCode = 0;
    try {
        mv::Inflate(in, sink, limit);
    } catch (const mv::ECodecError& e) {
        streamCode = e.Code();
    }
    if (memoryCode != streamCode) __builtin_trap();
    if (!memoryCode && (sink.bytes.size() != memorySize ||
                        (memorySize && std::memcmp(sink.bytes.data(), out.data(), memorySize))))
        __builtin_trap();
    return 0;
}
