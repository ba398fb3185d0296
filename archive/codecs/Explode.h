#pragma once
// Explode: decoder of ZIP method 6 (implode).
#include "archive/codecs/CodecIo.h"

#include <cstdint>

namespace mv {

// Decodes an imploded member of `unpackedSize` bytes. General-purpose flag bit 1
// selects the 8 KiB window (7 low distance bits, else 4 KiB and 6), bit 2 the
// literal tree (three trees, minimum match 3, else two and minimum match 2).
// A tree that cannot be read or is truncated is 25109, one whose codes collide
// or overflow is 25293; input that ends before the unpacked size is 25109.
void Explode(CodecInput& in, CodecOutput& out, uint64_t unpackedSize, uint16_t flags);

} // namespace mv
