// ARC and PAK member decoders. Input and output both go through 32 KiB buffers
// held in the call, so the inner loops touch only local arrays: the run-length
// step is a small state machine over the output buffer, the squeezed decoder
// walks a validated node array one bit at a time, and the LZW decoders unwind
// their strings onto a fixed stack. Every table index comes from a checked code,
// so damaged data ends with an error number instead of reading out of range.
#include "archive/codecs/ArcDecode.h"

#include "resources/ArcErrorNumbers.h"

#include <array>
#include <vector>

namespace mv {

namespace {

// Packed bytes of the member, one at a time from a buffer; -1 at the end.
class TByteSource {
public:
    explicit TByteSource(CodecInput& in) : in(in) {}
    int Get() {
        if (pos == size) {
            if (ended) return -1;
            size = in.Read(buf.data(), buf.size());
            pos = 0;
            if (size == 0) {
                ended = true;
                return -1;
            }
        }
        return buf[pos++];
    }
    // Up to n bytes into dst; the count read.
    size_t GetBlock(uint8_t* dst, size_t n) {
        size_t k = 0;
        while (k < n) {
            const int c = Get();
            if (c < 0) break;
            dst[k++] = static_cast<uint8_t>(c);
        }
        return k;
    }

private:
    CodecInput& in;
    std::array<uint8_t, 32768> buf{};
    size_t pos = 0, size = 0;
    bool ended = false;
};

// Decoded bytes on their way out: the optional run-length expansion (0x90 n
// repeats the last byte n - 1 more times, 0x90 0 is a literal 0x90), the limit
// of the declared size and the output buffer.
class TByteSink {
public:
    TByteSink(CodecOutput& out, uint64_t limit, bool runLength)
        : out(out), limit(limit), runLength(runLength) {}
    bool Full() const { return written + fill >= limit; }
    bool Stopped() const { return Full() || out.Cancelled(); }
    void Put(uint8_t c) {
        if (!runLength) return Emit(c);
        if (repeat) {
            repeat = false;
            if (c == 0) return Emit(0x90);
            for (unsigned n = c; n > 1 && !Full(); --n) Emit(last);
            return;
        }
        if (c == 0x90) {
            repeat = true;
            return;
        }
        last = c;
        Emit(c);
    }
    uint64_t Finish() {
        Flush();
        return written;
    }

private:
    void Emit(uint8_t c) {
        if (Full()) return;
        buf[fill++] = c;
        if (fill == buf.size()) Flush();
    }
    void Flush() {
        if (fill) out.Write(buf.data(), fill);
        written += fill;
        fill = 0;
    }
    CodecOutput& out;
    uint64_t limit;
    bool runLength;
    bool repeat = false;
    uint8_t last = 0;
    std::array<uint8_t, 32768> buf{};
    size_t fill = 0;
    uint64_t written = 0;
};

void DecodeStored(TByteSource& in, TByteSink& out) {
    int c;
    while (!out.Stopped() && (c = in.Get()) >= 0) out.Put(static_cast<uint8_t>(c));
}

// Squeezed: a node count, the nodes (two signed 16-bit children each), then the
// bits, least significant first. A negative child -(b + 1) is byte b; -257 ends.
void DecodeSqueezed(TByteSource& in, TByteSink& out) {
    auto word = [&]() -> int {
        const int lo = in.Get(), hi = in.Get();
        if (lo < 0 || hi < 0) throw ECodecError(arcerr::BadDecodeTree);
        return lo | hi << 8;
    };
    const int count = word();
    if (count > 256) throw ECodecError(arcerr::BadDecodeTree);
    if (count == 0) return; // the root's children are both the end symbol
    std::vector<int16_t> nodes(static_cast<size_t>(count) * 2);
    for (auto& child : nodes) {
        const int v = static_cast<int16_t>(word());
        if (v >= count || v < -257) throw ECodecError(arcerr::BadDecodeTree);
        child = static_cast<int16_t>(v);
    }
    int node = 0;
    for (;;) {
        const int c = in.Get();
        if (c < 0) return;
        for (int bit = 0; bit < 8; ++bit) {
            const int child = nodes[static_cast<size_t>(node) * 2 + ((c >> bit) & 1)];
            if (child >= 0) {
                node = child;
                continue;
            }
            if (child == -257) return;
            out.Put(static_cast<uint8_t>(-(child + 1)));
            if (out.Stopped()) return;
            node = 0;
        }
    }
}

// Crunched: fixed 12-bit codes over a 4,096-entry table whose slots come from a
// hash of (predecessor, follower); the single bytes are hashed in like any other
// string. Old hash: the middle twelve bits of the square of the 16-bit sum
// with bit 11 set; new hash: the sum times 15073, low twelve bits.
void DecodeCrunched(TByteSource& in, TByteSink& out, bool newHash) {
    constexpr uint16_t kNoPred = 0xFFFF;
    struct TEntry {
        bool used;
        uint16_t next, pred;
        uint8_t follower;
    };
    std::vector<TEntry> tab(4096, TEntry{false, 0, 0, 0});
    int left = 4096;
    auto add = [&](uint16_t pred, uint8_t follower) {
        const uint16_t sum = static_cast<uint16_t>(pred + follower);
        uint32_t slot;
        if (newHash) {
            slot = (static_cast<uint32_t>(sum) * 15073u) & 0xFFF;
        } else {
            const uint32_t x = sum | 0x800u;
            slot = ((x * x) >> 6) & 0xFFF;
        }
        if (tab[slot].used) {
            while (tab[slot].next) slot = tab[slot].next;
            uint32_t probe = (slot + 101) & 0xFFF;
            while (tab[probe].used) probe = (probe + 1) & 0xFFF;
            tab[slot].next = static_cast<uint16_t>(probe);
            slot = probe;
        }
        tab[slot] = TEntry{true, 0, pred, follower};
        --left;
    };
    for (int b = 0; b < 256; ++b) add(kNoPred, static_cast<uint8_t>(b));

    int pending = -1; // the second code of a three-byte pair
    auto code = [&]() -> int {
        if (pending >= 0) {
            const int c = pending;
            pending = -1;
            return c;
        }
        const int b0 = in.Get();
        if (b0 < 0) return -1;
        const int b1 = in.Get();
        if (b1 < 0) return -1;
        const int b2 = in.Get();
        if (b2 >= 0) pending = (b1 & 0xF) << 8 | b2;
        return b0 << 4 | b1 >> 4;
    };
    std::vector<uint8_t> stack(4096);
    int old = code();
    if (old < 0) return;
    if (!tab[old].used || tab[old].pred != kNoPred) throw ECodecError(arcerr::CorruptEntry);
    uint8_t first = tab[old].follower;
    out.Put(first);
    int c;
    while (!out.Stopped() && (c = code()) >= 0) {
        size_t sp = 0;
        int walk = c;
        if (!tab[c].used) {
            walk = old;
            stack[sp++] = first;
        }
        while (tab[walk].pred != kNoPred) {
            if (sp == stack.size()) throw ECodecError(arcerr::StackOverflow);
            stack[sp++] = tab[walk].follower;
            walk = tab[walk].pred;
        }
        if (sp == stack.size()) throw ECodecError(arcerr::StackOverflow);
        first = tab[walk].follower;
        stack[sp++] = first;
        while (sp) out.Put(stack[--sp]);
        if (left > 0) add(static_cast<uint16_t>(old), first);
        if (!tab[c].used) throw ECodecError(arcerr::CorruptEntry); // the new entry must be the code
        old = c;
    }
}

// Dynamic LZW: codes of 9 bits up to maxBits, least significant bit first, read
// in groups of as many bytes as the current width; 256 clears the table and
// skips the rest of its group.
void DecodeDynamic(TByteSource& in, TByteSink& out, int maxBits) {
    const uint32_t maxMax = 1u << maxBits;
    std::vector<uint16_t> prefix(maxMax);
    std::vector<uint8_t> suffix(maxMax);
    for (uint32_t i = 0; i < 256; ++i) suffix[i] = static_cast<uint8_t>(i);
    std::vector<uint8_t> stack(maxMax + 1);
    int bits = 9;
    uint32_t maxCode = (1u << bits) - 1;
    uint32_t freeEnt = 257;
    bool clear = false;
    uint8_t group[16];
    int offset = 0, size = 0; // in bits
    auto code = [&]() -> int {
        if (clear || offset >= size || freeEnt > maxCode) {
            if (freeEnt > maxCode) {
                ++bits;
                maxCode = bits == maxBits ? maxMax : (1u << bits) - 1;
            }
            if (clear) {
                bits = 9;
                maxCode = (1u << bits) - 1;
                clear = false;
            }
            const int got = static_cast<int>(in.GetBlock(group, static_cast<size_t>(bits)));
            if (got <= 0) return -1;
            offset = 0;
            size = (got << 3) - (bits - 1);
        }
        if (offset >= size) return -1;
        uint32_t v = 0;
        const int byte = offset >> 3;
        for (int k = 0; k < 3 && byte + k < bits; ++k) v |= static_cast<uint32_t>(group[byte + k]) << (8 * k);
        v = (v >> (offset & 7)) & ((1u << bits) - 1);
        offset += bits;
        return static_cast<int>(v);
    };
    int old = code();
    if (old < 0) return;
    if (old > 255) throw ECodecError(arcerr::CorruptEntry);
    uint8_t first = static_cast<uint8_t>(old);
    out.Put(first);
    int c;
    while (!out.Stopped() && (c = code()) >= 0) {
        if (c == 256) {
            clear = true;
            freeEnt = 256;
            if ((c = code()) < 0) break;
        }
        const int incode = c;
        size_t sp = 0;
        uint32_t walk = static_cast<uint32_t>(c);
        if (walk > freeEnt) throw ECodecError(arcerr::CorruptEntry);
        if (walk == freeEnt) {
            if (freeEnt >= maxMax) throw ECodecError(arcerr::CorruptEntry);
            stack[sp++] = first;
            walk = static_cast<uint32_t>(old);
        }
        while (walk >= 256) {
            if (sp == stack.size()) throw ECodecError(arcerr::StackOverflow);
            stack[sp++] = suffix[walk];
            walk = prefix[walk];
        }
        if (sp == stack.size()) throw ECodecError(arcerr::StackOverflow);
        first = suffix[walk];
        stack[sp++] = first;
        while (sp) out.Put(stack[--sp]);
        if (freeEnt < maxMax) {
            prefix[freeEnt] = static_cast<uint16_t>(old);
            suffix[freeEnt] = first;
            ++freeEnt;
        }
        old = incode;
    }
}

} // namespace

bool IsArcMethodSupported(uint8_t method) {
    return method >= 1 && method <= 9;
}

uint64_t ArcDecode(uint8_t method, CodecInput& input, CodecOutput& output, uint64_t unpackedSize) {
    if (!IsArcMethodSupported(method)) throw ECodecError(arcerr::UnknownMethod);
    const bool runLength = method == 3 || method == 4 || method == 6 || method == 7 || method == 8;
    TByteSource in(input);
    TByteSink out(output, unpackedSize, runLength);
    switch (method) {
    case 1:
    case 2:
    case 3:
        DecodeStored(in, out);
        break;
    case 4:
        DecodeSqueezed(in, out);
        break;
    case 5:
    case 6:
    case 7:
        DecodeCrunched(in, out, method == 7);
        break;
    case 8: {
        const int width = in.Get();
        if (width < 0) break;
        if (width != 12) throw ECodecError(arcerr::BitCountError);
        DecodeDynamic(in, out, 12);
        break;
    }
    default:
        DecodeDynamic(in, out, 13);
        break;
    }
    return out.Finish();
}

} // namespace mv
