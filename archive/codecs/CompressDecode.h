#pragma once
// Decoder of unix compress (.Z) files: LZW with codes of 9 up to 16 bits,
// least significant bit first, and in block mode a clear code (256) that
// empties the table. The decoder reads the whole file from its first byte:
// the magic 0x1F 0x9D and the mode byte (bit 0x80 block mode, bits 0x1F the
// widest code).
#include "archive/codecs/CodecIo.h"

#include <cstdint>

namespace mv {

struct TCompressResult {
    uint64_t Written = 0;  // bytes handed to the output
    bool Complete = false; // false: a code beyond the table stopped decoding
                           // (what came before it was written), or cancelled
};

// Errors (ECodecError): 25138 a mode byte with bits 0x60 set; 25134 a widest
// code outside 9..16; 25139 a first code that is not a byte value, or a file
// shorter than its 3-byte header. All state lives in the call.
TCompressResult CompressDecode(CodecInput& input, CodecOutput& output);

} // namespace mv
