// Unreduce: ZIP methods 2 to 5. Reducing is a two-stage scheme: bytes are first
// expanded from repeat sequences (the byte 144 introduces a length/distance pair
// whose split depends on the compression factor; 144 followed by 0 is a literal
// 144), and those bytes are coded with "follower sets": for each byte, up to 32
// bytes that often follow it, selected by a short index, else 8 literal bits.
// Distances reach back at most 4096 bytes; bytes before the start are zero.
//
// Speed: one pass with a 4 KiB ring of history and a 32 KiB output buffer; the
// follower sets are a flat table. The method is rare, so clarity comes first.
#include "archive/codecs/Unreduce.h"

#include "archive/codecs/ZipDecodeBits.h"
#include "resources/ArcErrorNumbers.h"

#include <vector>

namespace mv {

namespace {
constexpr uint8_t kDle = 144;
constexpr unsigned kRing = 4096;

// Bits of the index into a follower set of n entries (n >= 1).
unsigned IndexBits(unsigned n) {
    unsigned b = 1;
    while ((1u << b) < n) ++b;
    return b;
}
} // namespace

void Unreduce(CodecInput& in, CodecOutput& out, uint64_t unpackedSize, int factor) {
    if (factor < 1 || factor > 4) throw ECodecError(arcerr::UnknownMethod, "bad reduce factor");
    if (unpackedSize == 0) return;
    ZipBitReader bits(in);
    ZipBoundedOutput output(out, unpackedSize);

    std::vector<uint8_t> followers(256 * 64);
    uint8_t setSize[256];
    for (int j = 255; j >= 0; --j) {
        setSize[j] = static_cast<uint8_t>(bits.Get(6));
        for (unsigned i = 0; i < setSize[j]; ++i) followers[j * 64 + i] = static_cast<uint8_t>(bits.Get(8));
    }

    std::vector<uint8_t> ring(kRing, 0);
    unsigned pos = 0;
    auto emit = [&](uint8_t b) {
        ring[pos] = b;
        pos = (pos + 1) & (kRing - 1);
        return output.Put(b);
    };
    const unsigned lengthMask = 0xFFu >> factor;
    int state = 0;
    unsigned value = 0, length = 0;
    uint8_t last = 0;
    while (!output.Done()) {
        if (output.Cancelled()) return;
        uint8_t c;
        const unsigned n = setSize[last];
        if (n == 0 || bits.Get(1)) {
            c = static_cast<uint8_t>(bits.Get(8));
        } else {
            const unsigned index = bits.Get(IndexBits(n));
            if (index >= n) throw ECodecError(arcerr::BlockError, "follower index outside its set");
            c = followers[last * 64 + index];
        }
        last = c;
        switch (state) {
        case 0:
            if (c == kDle)
                state = 1;
            else
                emit(c);
            break;
        case 1:
            if (c == 0) {
                emit(kDle);
                state = 0;
            } else {
                value = c;
                length = c & lengthMask;
                state = length == lengthMask ? 2 : 3;
            }
            break;
        case 2:
            length += c;
            state = 3;
            break;
        default: {
            const unsigned distance = ((value >> (8 - factor)) << 8) + c + 1;
            for (unsigned k = 0; k < length + 3; ++k)
                if (!emit(ring[(pos - distance) & (kRing - 1)])) break;
            state = 0;
            break;
        }
        }
    }
    output.Flush();
}

} // namespace mv
