#pragma once
// The LZX codec as it stood before its rewrite for speed, kept so that the
// benchmark can set the old and the new side by side in one run.
// LZX encoder for cabinet folders: LZ77 with hash chains over a window of
// 2^15..2^21 bytes, written as one verbatim block per 32 KiB frame.
#include "archive/codecs/CodecIo.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace mv::lzxold {

class TLzxEncoder {
public:
    // windowBits: 15..21; other values are 25326.
    explicit TLzxEncoder(unsigned windowBits);
    ~TLzxEncoder();
    // Back to the state of a folder's start.
    void Reset();
    // Compresses one frame of 1..32768 bytes (every frame of a folder but the
    // last holds exactly 32768) into the bytes of one data block.
    std::vector<uint8_t> EncodeFrame(const uint8_t* in, size_t n);

private:
    struct State;
    std::unique_ptr<State> FState;
};

} // namespace mv::lzxold
