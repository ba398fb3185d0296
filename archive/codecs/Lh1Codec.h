#pragma once
// The LHA -lh1- method in both directions: LZ77 over a 4096-byte window with
// matches of 3..60 bytes, literals and lengths coded with one adaptive
// Huffman tree, match positions with a fixed prefix code for their upper six
// bits followed by six plain bits.
#include "archive/codecs/CodecIo.h"

#include <cstdint>

namespace mv {

// Decodes until `unpackedSize` bytes were written to `output` and returns the
// count. Errors (ECodecError): 25236 when the packed input has run out well
// before the declared size. Stops quietly when output.Cancelled() answers true.
uint64_t Lh1Decompress(CodecInput& input, CodecOutput& output, uint64_t unpackedSize);

// Compresses all of `input` into `output` and returns the packed byte count
// (the writer's PackedCount). An empty input writes nothing and returns 0.
// Stops quietly when output.Cancelled() answers true.
uint64_t Lh1Compress(CodecInput& input, CodecOutput& output);

} // namespace mv
