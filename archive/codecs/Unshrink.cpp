// Unshrink: ZIP method 1. Shrinking is LZW with codes of 9 to 13 bits: codes
// 0-255 are bytes, 256 is a control code (followed by 1: one bit more per code;
// by 2: partial clear, which frees every code no other code extends), and new
// codes take the lowest free slot from 257 on. A code that is not defined yet
// stands for the previous string plus its own first byte.
//
// Speed: strings are rebuilt from a prefix/suffix table onto a stack and copied
// out through a 32 KiB output buffer; the tables live for one member only. The
// method is rare today, so the code favours plain checks over tricks.
#include "archive/codecs/Unshrink.h"

#include "archive/codecs/ZipDecodeBits.h"
#include "resources/ArcErrorNumbers.h"

#include <vector>

namespace mv {

namespace {
constexpr unsigned kCodes = 8192;
constexpr unsigned kFirstFree = 257;
} // namespace

void Unshrink(CodecInput& in, CodecOutput& out, uint64_t unpackedSize) {
    if (unpackedSize == 0) return;
    ZipBitReader bits(in);
    ZipBoundedOutput output(out, unpackedSize);
    std::vector<uint16_t> prefix(kCodes, 0);
    std::vector<uint8_t> suffix(kCodes, 0);
    std::vector<uint8_t> inUse(kCodes, 0);
    std::vector<uint8_t> stack(kCodes);
    for (unsigned c = 0; c < 256; ++c) {
        inUse[c] = 1;
        suffix[c] = static_cast<uint8_t>(c);
    }
    unsigned codeSize = 9;
    unsigned nextFree = kFirstFree;

    if (!bits.Have(9)) throw ECodecError(arcerr::BlockError, "shrunk data has no first code");
    unsigned previous = bits.Get(9);
    if (previous >= 256)
        throw ECodecError(arcerr::BlockError, "shrunk data starts with a code that is not a byte");
    output.Put(static_cast<uint8_t>(previous));

    while (!output.Done()) {
        if (output.Cancelled()) return;
        const unsigned code = bits.Get(codeSize);
        if (code == 256) {
            const unsigned control = bits.Get(codeSize);
            if (control == 1) {
                if (codeSize == 13) throw ECodecError(arcerr::BlockError, "shrink code size beyond 13 bits");
                ++codeSize;
            } else if (control == 2) {
                // Partial clear: free every code that is no other code's prefix.
                std::vector<uint8_t> isPrefix(kCodes, 0);
                for (unsigned c = kFirstFree; c < kCodes; ++c)
                    if (inUse[c] && prefix[c] >= kFirstFree) isPrefix[prefix[c]] = 1;
                for (unsigned c = kFirstFree; c < kCodes; ++c)
                    if (inUse[c] && !isPrefix[c]) inUse[c] = 0;
                nextFree = kFirstFree;
                while (nextFree < kCodes && inUse[nextFree]) ++nextFree;
            } else {
                throw ECodecError(arcerr::BlockError, "bad shrink control code");
            }
            continue;
        }
        // Rebuild the string of the code (or of the previous code, for a code not yet defined).
        const bool undefined = code >= kFirstFree && !inUse[code];
        unsigned c = undefined ? previous : code;
        size_t depth = 0;
        while (c >= 256) {
            if (c == 256) throw ECodecError(arcerr::BlockError, "bad shrink code");
            if (depth == kCodes - 1) {
                output.Flush();
                throw ECodecError(arcerr::StackOverflow, "shrink string too long");
            }
            stack[depth++] = suffix[c];
            c = prefix[c];
        }
        const uint8_t first = static_cast<uint8_t>(c);
        stack[depth++] = first;
        bool room = true;
        while (depth && room) room = output.Put(stack[--depth]);
        if (undefined && room) output.Put(first);

        if (nextFree < kCodes) {
            prefix[nextFree] = static_cast<uint16_t>(previous);
            suffix[nextFree] = first;
            inUse[nextFree] = 1;
            while (nextFree < kCodes && inUse[nextFree]) ++nextFree;
        }
        previous = code;
    }
    output.Flush();
}

} // namespace mv
