#pragma once
// Decoders of the ARC (and PAK) methods 1 to 9: stored, run-length packed,
// squeezed (Huffman), crunched with 12-bit codes (old or new hash, with or
// without the run-length step), dynamic LZW of 12 bits with the run-length step,
// and squashed (dynamic LZW of 13 bits). The reader's CodecInput supplies the
// packed bytes of one member and its CodecOutput keeps the CRC-16.
#include "archive/codecs/CodecIo.h"

#include <cstdint>

namespace mv {

// True for the methods ArcDecode knows: 1 to 9.
bool IsArcMethodSupported(uint8_t method);

// Decodes one member of `method` and returns the count of bytes written, which
// never passes `unpackedSize`. The data ends where the packed input ends (or at
// a squeezed stream's end symbol). Errors (ECodecError): 25152 a squeezed tree
// that is not valid, 25134 a dynamic LZW stream whose code width is not 12,
// 25139 an LZW code that is not yet defined, 25298 a string longer than the
// unwind stack, 25326 a method it does not know. All state lives in the call.
uint64_t ArcDecode(uint8_t method, CodecInput& input, CodecOutput& output, uint64_t unpackedSize);

} // namespace mv
