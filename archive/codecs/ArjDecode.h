#pragma once
// Decoder of ARJ method 4 ("fastest"): LZ77 with fixed prefix codes. A length
// code is a run of up to seven 1 bits (its width) closed by a 0 unless the run
// is full, then width bits; 0 means a literal byte of 8 bits follows, any
// other value c a match of c + 2 bytes whose distance is coded the same way
// with widths 9 to 13. Methods 1 to 3 use the static-Huffman decoder
// (LzhDecode.h); garbling and the CRC belong to the reader.
#include "archive/codecs/CodecIo.h"

#include <cstdint>

namespace mv {

// Decodes one member part: reads packed bytes from `input` until
// `unpackedSize` bytes were written to `output`, and returns the count written
// (less only when output.Cancelled() answered true). Never writes more than
// `unpackedSize` bytes. Errors (ECodecError): 25139 a match reaching before the
// first byte of the member; 25236 the packed data ran out well before the
// declared size. All state lives in the call.
uint64_t ArjDecodeFast(CodecInput& input, CodecOutput& output, uint64_t unpackedSize);

} // namespace mv
