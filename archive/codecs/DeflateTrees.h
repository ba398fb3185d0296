#pragma once
// Huffman code construction and the fixed tables of the deflate format
// (RFC 1951), shared by the deflate encoder's block writer.
//
// Code lengths come from Huffman's merging over the symbols sorted by frequency
// (two queues, no heap; a leaf wins a tie, so trees stay flat) and are limited to 15 bits (7 for the code-length code) by
// moving leaves down until the code is exactly complete again; codes are
// canonical and kept bit-reversed, ready for a least-significant-first writer.
#include <cstdint>

namespace mv::deflate {

constexpr int LiteralCodes = 286; // 0..255 literals, 256 end of block, 257..285 lengths
constexpr int DistanceCodes = 30;
constexpr int BitLengthCodes = 19;
constexpr int MaxBits = 15;
constexpr int MaxBitLengthBits = 7;
constexpr int EndOfBlock = 256;

struct TTables {
    uint8_t LengthCode[256]; // match length - 3 -> length code 0..28
    uint8_t DistCode[512];   // see DistCodeOf
    uint16_t BaseLength[29]; // first length - 3 of each length code
    uint16_t BaseDist[30];   // first distance - 1 of each distance code
    uint8_t ExtraLengthBits[29];
    uint8_t ExtraDistBits[30];
    // The fixed codes of block type 1, bit-reversed.
    uint16_t FixedLitCode[288];
    uint8_t FixedLitLen[288];
    uint16_t FixedDistCode[30];
};

// Built once, on first use.
const TTables& Tables();

// Distance code of a distance (given as distance - 1, 0..32767).
// Written as a select rather than a branch: near and far distances alternate
// unpredictably.
inline unsigned DistCodeOf(const TTables& t, unsigned d) {
    const unsigned far = 256 + (d >> 7);
    return t.DistCode[d < 256 ? d : far];
}

// Code lengths for symbols 0..n-1 with the given frequencies, none longer than
// maxBits. At least two symbols always get a code (unused ones are added with
// frequency 1, as inflaters require). Answers the highest symbol with a code.
int BuildLengths(const uint32_t* freq, int n, int maxBits, uint8_t* lengths);

// Canonical codes for the lengths, stored bit-reversed. Throws ECodecError
// 25246 when the lengths do not form a complete code (an internal fault).
void MakeCodes(const uint8_t* lengths, int n, uint16_t* codes);

// Order in which code-length code lengths are sent.
extern const uint8_t BitLengthOrder[BitLengthCodes];

} // namespace mv::deflate
