#pragma once
// The ZIP method decoders behind one call: the reader hands over a member's
// compressed bytes (already decrypted) and gets its uncompressed bytes.
#include "archive/codecs/CodecIo.h"

#include <cstdint>

namespace mv {

// True for the methods DecodeZipData knows: 0 stored, 1 shrunk, 2-5 reduced,
// 6 imploded, 8 deflated.
bool IsZipMethodSupported(uint16_t method);

// Decodes one member: `flags` are the member's general-purpose flags (implode
// reads its window size and tree count from them), `unpackedSize` its declared
// size, which no method passes. An unknown method is 25326.
void DecodeZipData(uint16_t method, uint16_t flags, CodecInput& in, CodecOutput& out, uint64_t unpackedSize);

} // namespace mv
