#pragma once
// The cabinet frame decoders (LZX, Quantum) fed arbitrary bytes as a folder of
// data blocks: the first byte picks the window, then each block is a 2-byte
// length, a 2-byte frame size and its bytes. Checks that nothing is read or
// written out of range.
#include "archive/codecs/CodecIo.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace mvfuzz {

template <class Decoder> int FuzzFrameDecoder(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    Decoder decoder(15 + data[0] % 7);
    size_t at = 1;
    std::vector<uint8_t> out;
    try {
        while (at + 4 <= size) {
            size_t n = data[at] | data[at + 1] << 8;
            size_t frame = 1 + ((data[at + 2] | data[at + 3] << 8) & 0x7FFF);
            at += 4;
            if (n > size - at) n = size - at;
            out.assign(frame, 0);
            decoder.DecodeFrame(data + at, n, out.data(), frame);
            at += n;
        }
    } catch (const mv::ECodecError&) {
    }
    return 0;
}

} // namespace mvfuzz
