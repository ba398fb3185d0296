// Explode: ZIP method 6. Imploded data is a sliding-window (4 or 8 KiB) scheme
// whose literals, match lengths and the high bits of distances are coded with
// Shannon-Fano trees sent at the start in a compact form (runs of equal bit
// lengths). Codes are assigned from the longest bit length down, and arrive most
// significant bit first.
//
// Speed: each tree becomes one flat lookup table indexed by as many bits as its
// longest code, so a symbol costs one peek and one skip; history is an 8 KiB ring
// (zero before the first byte, as the format expects) and output leaves through a
// 32 KiB buffer.
#include "archive/codecs/Explode.h"

#include "archive/codecs/ZipDecodeBits.h"
#include "resources/ArcErrorNumbers.h"

#include <algorithm>
#include <numeric>
#include <vector>

namespace mv {

namespace {
constexpr unsigned kRing = 8192;

class ShannonFanoTable {
public:
    // Reads a tree of n symbols in its compressed form and builds its table.
    void Read(ZipBitReader& bits, unsigned n) {
        std::vector<uint8_t> lens;
        const unsigned groups = bits.Get(8) + 1;
        for (unsigned g = 0; g < groups; ++g) {
            const unsigned b = bits.Get(8);
            const unsigned count = (b >> 4) + 1;
            const uint8_t len = static_cast<uint8_t>((b & 15) + 1);
            if (lens.size() + count > n)
                throw ECodecError(arcerr::BlockError, "implode tree has too many lengths");
            lens.insert(lens.end(), count, len);
        }
        if (lens.size() != n) throw ECodecError(arcerr::BlockError, "implode tree has too few lengths");
        maxLen = *std::max_element(lens.begin(), lens.end());
        // Sort by bit length, stable in symbol order, then hand out codes from the end.
        std::vector<uint16_t> order(n);
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(),
                         [&](uint16_t a, uint16_t b) { return lens[a] < lens[b]; });
        table.assign(size_t{1} << maxLen, 0);
        uint32_t code = 0, increment = 0;
        unsigned lastLen = 0;
        for (size_t i = n; i-- > 0;) {
            const unsigned sym = order[i];
            code += increment;
            if (lens[sym] != lastLen) {
                lastLen = lens[sym];
                increment = 1u << (16 - lastLen);
            }
            if (code > 0xFFFF) throw ECodecError(arcerr::DuplicateShannonFano, "implode tree codes overflow");
            const unsigned len = lens[sym];
            const uint32_t top = code >> (16 - len); // the code, most significant bit first
            uint32_t reversed = 0;
            for (unsigned b = 0; b < len; ++b) reversed |= ((top >> b) & 1u) << (len - 1 - b);
            for (size_t k = reversed; k < table.size(); k += size_t{1} << len) {
                if (table[k])
                    throw ECodecError(arcerr::DuplicateShannonFano, "implode tree defines a code twice");
                table[k] = static_cast<uint16_t>(0x8000 | len << 8 | sym);
            }
        }
    }
    unsigned Decode(ZipBitReader& bits) const {
        const uint16_t e = table[bits.Peek(maxLen)];
        if (!e) throw ECodecError(arcerr::BlockError, "undefined implode code");
        bits.Skip((e >> 8) & 31);
        return e & 0xFF;
    }

private:
    std::vector<uint16_t> table; // 0x8000 | length << 8 | symbol; 0 = no code
    unsigned maxLen = 1;
};
} // namespace

void Explode(CodecInput& in, CodecOutput& out, uint64_t unpackedSize, uint16_t flags) {
    if (unpackedSize == 0) return;
    const bool bigWindow = flags & 2;
    const bool literalTree = flags & 4;
    ZipBitReader bits(in);
    ZipBoundedOutput output(out, unpackedSize);
    ShannonFanoTable literals, lengths, distances;
    if (literalTree) literals.Read(bits, 256);
    lengths.Read(bits, 64);
    distances.Read(bits, 64);
    const unsigned lowBits = bigWindow ? 7 : 6;
    const unsigned minMatch = literalTree ? 3 : 2;

    std::vector<uint8_t> ring(kRing, 0);
    unsigned pos = 0;
    auto emit = [&](uint8_t b) {
        ring[pos] = b;
        pos = (pos + 1) & (kRing - 1);
        return output.Put(b);
    };
    while (!output.Done()) {
        if (output.Cancelled()) return;
        if (bits.Get(1)) {
            emit(static_cast<uint8_t>(literalTree ? literals.Decode(bits) : bits.Get(8)));
            continue;
        }
        const unsigned low = bits.Get(lowBits);
        const unsigned distance = ((distances.Decode(bits) << lowBits) | low) + 1;
        unsigned length = lengths.Decode(bits);
        if (length == 63) length += bits.Get(8);
        length += minMatch;
        for (unsigned k = 0; k < length; ++k)
            if (!emit(ring[(pos - distance) & (kRing - 1)])) break;
    }
    output.Flush();
}

} // namespace mv
