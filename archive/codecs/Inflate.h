#pragma once
// Inflate: the decoder of deflated data (ZIP method 8, GZip members, MSZIP).
// See Inflate.cpp for what makes it fast.
#include "archive/codecs/CodecIo.h"

#include <cstddef>
#include <cstdint>

namespace mv {

struct InflateResult {
    uint64_t written = 0;  // bytes handed to the output
    uint64_t consumed = 0; // compressed bytes used up to the end of the last block
    bool complete = false; // the final block was reached (false only when the output asked to stop)
};

// Decodes one deflate stream from `in` to `out`, in pieces of at most 128 KiB.
// Never hands over more than `maxOutput` bytes: a stream that decodes to more is
// stopped with 25109 before the excess is written. A stream that is empty from the
// start gives empty output; one that ends inside a block is 25109. Stops quietly
// when out.Cancelled() answers true (complete then stays false).
InflateResult Inflate(CodecInput& in, CodecOutput& out, uint64_t maxOutput = UINT64_MAX);

// Memory-to-memory form: decodes the stream in src[0, srcSize) into dst, which has
// room for dstCapacity bytes (more output is 25109). Returns the decoded size; the
// compressed bytes used go to *consumed when it is given.
size_t InflateMemory(const uint8_t* src, size_t srcSize, uint8_t* dst, size_t dstCapacity,
                     size_t* consumed = nullptr);

// Whether the decoding loop compiled for BMI2 is in use (chosen at run time when
// the processor has it). The setting turns it off, or back on where the processor
// allows, so that both forms can be checked on one machine.
bool InflateUsesBmi2();
void SetInflateBmi2(bool enabled);

} // namespace mv
