#pragma once
// Unshrink: decoder of ZIP method 1 (shrink, dynamic LZW with partial clearing).
#include "archive/codecs/CodecIo.h"

#include <cstdint>

namespace mv {

// Decodes a shrunk member of `unpackedSize` bytes. Stops at that size; input that
// ends before it is 25109; a bad control code or first code is 25109; a string
// longer than the code table (only possible in damaged data) is 25298.
void Unshrink(CodecInput& in, CodecOutput& out, uint64_t unpackedSize);

} // namespace mv
