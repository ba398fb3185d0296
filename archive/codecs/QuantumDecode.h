#pragma once
// Quantum decoder for cabinet folders: LZ77 over a window of 2^10..2^21 bytes
// whose literals, match lengths and offset slots are coded by an adaptive
// arithmetic coder with seven frequency-sorted models. A cabinet feeds it one
// data block at a time; each block decodes to one frame of at most 32 KiB.
#include "archive/codecs/CodecIo.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace mv {

class TQuantumDecoder {
public:
    // windowBits: 10..21; other values are 25326 (unsupported method).
    explicit TQuantumDecoder(unsigned windowBits);
    ~TQuantumDecoder();
    void Reset();
    // Decodes the compressed bytes of one data block into outSize (1..32768) bytes.
    // Damaged input is 25139; nothing is read or written outside the given buffers.
    void DecodeFrame(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize);

private:
    struct State;
    std::unique_ptr<State> FState;
};

} // namespace mv
