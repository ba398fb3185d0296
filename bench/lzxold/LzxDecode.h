#pragma once
// The LZX codec as it stood before its rewrite for speed, kept so that the
// benchmark can set the old and the new side by side in one run.
// LZX decoder for cabinet folders: LZ77 over a window of 2^15..2^21 bytes with
// three Huffman-coded block kinds (verbatim, aligned offset, uncompressed), three
// repeated offsets and the optional x86 call (E8) translation of each frame.
// A cabinet feeds it one data block at a time; each block decodes to one frame
// of at most 32 KiB. See LzxDecode.cpp for what makes it fast.
#include "archive/codecs/CodecIo.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace mv::lzxold {

// Huffman decoding table of the LZX coders (codes of up to 16 bits, read most
// significant bit first): one lookup for short codes, a canonical walk for long ones.
struct TLzxHuffman {
    static constexpr int kFastBits = 10;
    void Build(const uint8_t* lengths, unsigned count); // throws 25152 for an over-full code
    uint16_t fast[1u << kFastBits];                     // symbol << 5 | length; 0 = long code
    uint16_t firstCode[18];
    uint16_t countOf[18];
    uint16_t offsetOf[18];
    uint16_t sorted[680];
    bool empty = true;
};

class TLzxDecoder {
public:
    // windowBits: 15..21; other values are 25326 (unsupported method).
    explicit TLzxDecoder(unsigned windowBits);
    ~TLzxDecoder();
    // Back to the state of a folder's start.
    void Reset();
    // Decodes the compressed bytes of one data block into outSize (1..32768) bytes.
    // Damaged input is 25139 (or 25152 for a bad code); nothing is read or written
    // outside the given buffers and the window.
    void DecodeFrame(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize);

private:
    struct State;
    std::unique_ptr<State> FState;
};

} // namespace mv::lzxold
