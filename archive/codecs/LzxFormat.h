#pragma once
// The constants of the LZX format that its decoder and encoder share: the
// alphabets, and the position slots that split a match offset into a slot and
// its extra bits.
#include <algorithm>
#include <cstdint>

namespace mv::lzx {

constexpr unsigned kMainLiterals = 256;
constexpr unsigned kLengthSymbols = 249;
constexpr unsigned kPretreeSymbols = 20;
constexpr unsigned kAlignedSymbols = 8;
constexpr unsigned kMaxSlots = 50;

struct SlotTables {
    uint32_t base[kMaxSlots + 1];
    uint8_t extra[kMaxSlots + 1];
};

constexpr SlotTables MakeSlots() {
    SlotTables t{};
    uint32_t b = 0;
    for (unsigned i = 0; i <= kMaxSlots; ++i) {
        uint8_t e = i < 4 ? 0 : static_cast<uint8_t>(std::min<unsigned>((i - 2) / 2, 17));
        t.base[i] = b;
        t.extra[i] = e;
        b += 1u << e;
    }
    return t;
}
inline constexpr SlotTables kSlots = MakeSlots();

// Position slots of a window of 2^bits bytes (15..21; larger reads as 21).
constexpr unsigned SlotsForWindow(unsigned bits) {
    constexpr unsigned slots[] = {30, 32, 34, 36, 38, 42, 50};
    return bits <= 15 ? slots[0] : bits >= 21 ? slots[6] : slots[bits - 15];
}

} // namespace mv::lzx
