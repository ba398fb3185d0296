#pragma once
// Length and short-distance slots of the RAR 2.0 and RAR 2.9 LZ decoders: a slot
// stands for a base value plus a number of extra bits that follow it in the stream.
// Inline so the decoders' loops keep reading them without calls.
#include "archive/libraries/rar/RarUnpack.h"

#include <cstdint>

namespace mv::unrar {

inline constexpr uint32_t kLengthSlots = 28;
inline constexpr uint8_t kLDecode[kLengthSlots] = {0,  1,  2,  3,   4,   5,   6,   7,  8,  10,
                                                   12, 14, 16, 20,  24,  28,  32,  40, 48, 56,
                                                   64, 80, 96, 112, 128, 160, 192, 224};
inline constexpr uint8_t kLBits[kLengthSlots] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2,
                                                 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5};
inline constexpr uint8_t kSDDecode[8] = {0, 4, 8, 16, 32, 64, 128, 192};
inline constexpr uint8_t kSDBits[8] = {2, 2, 3, 4, 5, 6, 6, 6};

// The value of length slot `slot` (below kLengthSlots) before the format's minimum is added.
inline uint32_t SlotLength(RarBitInput& in, uint32_t slot) {
    uint32_t length = kLDecode[slot];
    if (uint32_t b = kLBits[slot]) length += in.Take(b);
    return length;
}

// The distance of short-distance slot `slot` (0..7).
inline uint32_t SlotShortDistance(RarBitInput& in, uint32_t slot) {
    return kSDDecode[slot] + 1u + in.Take(kSDBits[slot]);
}

} // namespace mv::unrar
