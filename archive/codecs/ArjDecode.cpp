// ARJ method 4 decoder.
//
// Why it is fast: the codes are unary prefixes plus plain bits, so a step is
// one count of leading 1 bits on the top byte of a 64-bit bit buffer and one
// shift; a refill of eight bytes covers a whole literal or match step (at most
// 32 bits). History and output share one buffer that is handed on in 256 KiB
// pieces, so a match is a forward copy inside that buffer with no ring wrap.
//
// Why it is safe: a distance must stay inside the bytes decoded so far (the
// original ring was never initialised, so a reach before the start reads
// garbage there), the declared size bounds every write, and a stream that keeps
// asking for bits long after its packed bytes end stops with an error.
#include "archive/codecs/ArjDecode.h"
#include "archive/codecs/MsbBitInput.h"
#include "resources/ArcErrorNumbers.h"

#include <bit>
#include <cstring>
#include <vector>

namespace mv {

namespace {

// Longest match: length code (2^7 - 1) + 127, plus 2.
constexpr size_t MaxMatch = 256;
// Farthest distance: position code (2^13 - 512) + 8191, plus 1.
constexpr size_t MaxDistance = 15872;
constexpr size_t FlushSize = 256 * 1024;
constexpr size_t KeepSize = 16384; // history kept at the front after a flush

} // namespace

uint64_t ArjDecodeFast(CodecInput& input, CodecOutput& output, uint64_t unpackedSize) {
    TMsbBitInput bits(input);
    std::vector<uint8_t> window(FlushSize + KeepSize + MaxMatch + 8);
    uint8_t* const base = window.data();
    size_t pos = 0;       // next free byte of the window
    size_t flushed = 0;   // window bytes already handed on
    uint64_t base0 = 0;   // member offset of window[0]
    uint64_t written = 0; // bytes handed to output

    auto flush = [&]() {
        if (pos > flushed) {
            output.Write(base + flushed, pos - flushed);
            written += pos - flushed;
            flushed = pos;
        }
    };

    while (base0 + pos < unpackedSize) {
        if (pos >= FlushSize + KeepSize) {
            flush();
            if (output.Cancelled()) return written;
            std::memmove(base, base + pos - KeepSize, KeepSize);
            base0 += pos - KeepSize;
            pos = flushed = KeepSize;
        }
        bits.Refill();
        // Length code: width = leading 1 bits, at most 7; a 0 closes a shorter run.
        int width = std::countl_one(uint8_t(bits.Top8()));
        if (width > 7) width = 7;
        bits.Skip(width < 7 ? width + 1 : 7);
        uint32_t c = (1u << width) - 1 + bits.Peek(width);
        bits.Skip(width);
        if (c == 0) {
            base[pos++] = uint8_t(bits.Peek(8));
            bits.Skip(8);
            continue;
        }
        // Position code: widths 9 to 13.
        int extra = std::countl_one(uint8_t(bits.Top8()));
        if (extra > 4) extra = 4;
        bits.Skip(extra < 4 ? extra + 1 : 4);
        int pwidth = 9 + extra;
        size_t distance = (1u << pwidth) - 512 + bits.Peek(pwidth) + 1;
        bits.Skip(pwidth);
        if (distance > base0 + pos)
            throw ECodecError(arcerr::CorruptEntry, "match reaches before the member's start");
        uint64_t left = unpackedSize - (base0 + pos);
        size_t length = c + 2;
        if (length > left) length = size_t(left);
        const uint8_t* from = base + pos - distance;
        uint8_t* to = base + pos;
        if (distance >= 8) {
            // Eight bytes at a time; the window has MaxMatch bytes of slack.
            for (size_t i = 0; i < length; i += 8) std::memcpy(to + i, from + i, 8);
        } else {
            for (size_t i = 0; i < length; ++i) to[i] = from[i];
        }
        pos += length;
    }
    static_assert(MaxDistance <= KeepSize);
    flush();
    return written;
}

} // namespace mv
