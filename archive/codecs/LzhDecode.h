#pragma once
// Decoder of the block-structured static-Huffman LZ77 data shared by LHA
// (-lh4-, -lh5-, -lh6-, -lh7-), ZOO method 2, BH method 1 (fuse) and ARJ
// methods 1 to 3. The caller picks a parameter set; decryption of the packed
// bytes and the CRC of the output belong to the reader's CodecInput and
// CodecOutput, not to the decoder.
#include "archive/codecs/CodecIo.h"

#include <cstdint>

namespace mv {

// One parameter set per format and method.
struct TLzh3Params {
    uint8_t DicBit;    // position alphabet = DicBit + 1 symbols
    uint8_t PBit;      // width of the position-length count field
    uint32_t RingSize; // history kept for back-references; a longer distance is corrupt input
};

inline constexpr TLzh3Params LzhParamsLh4{12, 4, 26624};
inline constexpr TLzh3Params LzhParamsLh5{13, 4, 26624};
inline constexpr TLzh3Params LzhParamsLh6{16, 5, 32768};
inline constexpr TLzh3Params LzhParamsLh7{16, 5, 65536};
inline constexpr TLzh3Params LzhParamsZoo{13, 4, 26624};  // ZOO method 2
inline constexpr TLzh3Params LzhParamsFuse{13, 4, 26624}; // BH method 1
inline constexpr TLzh3Params LzhParamsArj{16, 5, 26624};  // ARJ methods 1, 2, 3

// Decodes one member: reads packed bytes from `input` until `unpackedSize`
// bytes were written to `output` or an end block (block size 0) is met, and
// returns the count written. Never writes more than `unpackedSize` bytes.
// Errors (ECodecError): 25120 a code-length table that is not a complete code
// or runs past its alphabet; 25139 a distance beyond the history; 25236 the
// packed input ran out well before the declared size was reached. Stops
// quietly, returning the count so far, when output.Cancelled() answers true.
// All state lives in the call: any number of members may decode at once.
uint64_t Lzh3Decode(CodecInput& input, CodecOutput& output, uint64_t unpackedSize, const TLzh3Params& params);

} // namespace mv
