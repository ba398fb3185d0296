// ZOO's LZW decoder. Codes come from a 64-bit bit buffer refilled a byte at a
// time from a 32 KiB input block, strings are unwound onto a fixed stack as long
// as the table is deep, and output collects in a 32 KiB block: the loop touches
// only arrays held by the call. Every code is checked against the next free
// entry, so damaged data ends with an error number, never a stray read.
#include "archive/codecs/ZooLzd.h"

#include "resources/ArcErrorNumbers.h"

#include <array>
#include <vector>

namespace mv {

namespace {

constexpr uint32_t kClear = 256;
constexpr uint32_t kEnd = 257;
constexpr uint32_t kFirstFree = 258;
constexpr uint32_t kTableSize = 8192;

class TBitSource {
public:
    explicit TBitSource(CodecInput& in) : in(in) {}
    // The next code of `bits` bits; false when the input has ended.
    bool Get(int bits, uint32_t& code) {
        while (count < bits) {
            if (pos == size) {
                size = in.Read(buf.data(), buf.size());
                pos = 0;
                if (size == 0) return false;
            }
            acc |= static_cast<uint64_t>(buf[pos++]) << count;
            count += 8;
        }
        code = static_cast<uint32_t>(acc & ((1u << bits) - 1));
        acc >>= bits;
        count -= bits;
        return true;
    }

private:
    CodecInput& in;
    std::array<uint8_t, 32768> buf{};
    size_t pos = 0, size = 0;
    uint64_t acc = 0;
    int count = 0;
};

class TSink {
public:
    TSink(CodecOutput& out, uint64_t limit) : out(out), limit(limit) {}
    bool Full() const { return written + fill >= limit; }
    void Put(uint8_t c) {
        if (Full()) return;
        buf[fill++] = c;
        if (fill == buf.size()) Flush();
    }
    void Flush() {
        if (fill) out.Write(buf.data(), fill);
        written += fill;
        fill = 0;
    }
    uint64_t written = 0;

private:
    CodecOutput& out;
    uint64_t limit;
    std::array<uint8_t, 32768> buf{};
    size_t fill = 0;
};

} // namespace

uint64_t ZooLzdDecode(CodecInput& input, CodecOutput& output, uint64_t unpackedSize) {
    TBitSource in(input);
    TSink out(output, unpackedSize);
    std::vector<uint16_t> prefix(kTableSize);
    std::vector<uint8_t> suffix(kTableSize);
    std::vector<uint8_t> stack(kTableSize + 1);
    int bits = 9;
    uint32_t limit = 512, next = kFirstFree;
    uint32_t old = 0;
    uint8_t first = 0;
    uint32_t code;
    while (!out.Full() && !output.Cancelled() && in.Get(bits, code)) {
        if (code == kClear) {
            bits = 9;
            limit = 512;
            next = kFirstFree;
            if (!in.Get(bits, code) || code == kEnd) break;
            if (code > 255) throw ECodecError(arcerr::CorruptEntry);
            old = code;
            first = static_cast<uint8_t>(code);
            out.Put(first);
            continue;
        }
        if (code == kEnd) break;
        if (code > next) throw ECodecError(arcerr::CorruptEntry);
        const uint32_t incode = code;
        size_t sp = 0;
        uint32_t walk = code;
        if (code == next) {
            stack[sp++] = first;
            walk = old;
        }
        while (walk > 255) {
            if (sp == stack.size()) throw ECodecError(arcerr::StackOverflow);
            stack[sp++] = suffix[walk];
            walk = prefix[walk];
        }
        if (sp == stack.size()) throw ECodecError(arcerr::StackOverflow);
        first = static_cast<uint8_t>(walk);
        stack[sp++] = first;
        while (sp) out.Put(stack[--sp]);
        if (next < kTableSize) { // a full table takes no entries until the next clear
            prefix[next] = static_cast<uint16_t>(old);
            suffix[next] = first;
            ++next;
            if (next >= limit && bits < 13) {
                ++bits;
                limit <<= 1;
            }
        }
        old = incode;
    }
    out.Flush();
    return out.written;
}

} // namespace mv
