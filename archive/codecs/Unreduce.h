#pragma once
// Unreduce: decoder of ZIP methods 2 to 5 (reduce with compression factors 1 to 4).
#include "archive/codecs/CodecIo.h"

#include <cstdint>

namespace mv {

// Decodes a reduced member of `unpackedSize` bytes with compression factor
// `factor` (1..4, the method number less one). Stops at that size; input that
// ends before it is 25109.
void Unreduce(CodecInput& in, CodecOutput& out, uint64_t unpackedSize, int factor);

} // namespace mv
