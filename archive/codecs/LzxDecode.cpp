// LZX decoder for cabinet folders.
//
// Stream layout: 16-bit little-endian words read most significant bit first.
// A folder starts with the E8 translation flag (and its 32-bit file size); then
// blocks follow, each with a 3-bit kind and a 24-bit uncompressed size. Verbatim
// and aligned blocks carry their main and length trees as deltas against the
// previous block's code lengths, coded by a 20-symbol pretree; aligned blocks
// add an 8-symbol tree for the low three bits of long offsets. Uncompressed
// blocks carry the three repeated offsets and raw bytes.
//
// Fast because: Huffman symbols of up to 12 bits take one table lookup on a
// 64-bit bit buffer that one refill keeps full for a whole match; the window is
// a power-of-two ring twice the needed size, so a match that does not wrap is a
// plain forward copy (8 bytes at a time when it does not overlap itself that
// closely, else by doubling the repeated stretch), a match that runs past the
// frame end never overwrites bytes of the frame still to be handed out, raw
// blocks and frames move as one or two copies.
#include "archive/codecs/LzxDecode.h"
#include "archive/codecs/LzxFormat.h"
#include "resources/ArcErrorNumbers.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace mv {

namespace {

using namespace lzx;

constexpr int kCorrupt = arcerr::CorruptEntry;
constexpr int kBadCode = arcerr::BadDecodeTree;
// Zero bytes a block may be read past its end (the bit buffer's look-ahead).
constexpr size_t kOverread = 16;
// Bytes after the ring, so that match copies may run 8 bytes at a time.
constexpr size_t kRingSlack = 16;

// Bit reader over one data block: a 64-bit buffer topped up a 16-bit word at
// a time, so one refill serves a main symbol, a length symbol and the extra
// bits of an offset. Bytes past the end read as zero; more than a few of them
// mean the block was truncated.
struct BitReader {
    const uint8_t* p = nullptr;
    size_t size = 0;
    size_t pos = 0;
    uint64_t buf = 0;
    int left = 0;

    void Init(const uint8_t* data, size_t n) {
        p = data;
        size = n;
        pos = 0;
        buf = 0;
        left = 0;
    }
    // Brings the buffer above 48 bits.
    void Refill() {
        if (pos + 8 <= size) {
            do {
                buf |= uint64_t(uint32_t(p[pos]) | uint32_t(p[pos + 1]) << 8) << (48 - left);
                pos += 2;
                left += 16;
            } while (left <= 48);
            return;
        }
        while (left <= 48) {
            if (pos >= size + kOverread) throw ECodecError(kCorrupt, "LZX data ends early");
            uint32_t w = 0;
            if (pos < size) w = p[pos];
            if (pos + 1 < size) w |= uint32_t(p[pos + 1]) << 8;
            pos += 2;
            buf |= uint64_t(w) << (48 - left);
            left += 16;
        }
    }
    void Ensure(int n) {
        if (left < n) Refill();
    }
    uint32_t Peek16() {
        Ensure(16);
        return static_cast<uint32_t>(buf >> 48);
    }
    void Remove(int n) {
        buf <<= n;
        left -= n;
    }
    uint32_t Read(int n) {
        if (n == 0) return 0;
        Ensure(n);
        uint32_t v = static_cast<uint32_t>(buf >> (64 - n));
        Remove(n);
        return v;
    }
    // Gives whole buffered words back to the byte stream (for raw bytes).
    void ReturnWords() {
        pos -= static_cast<size_t>(left / 16) * 2;
        buf = 0;
        left = 0;
    }
    uint8_t RawByte() {
        if (pos >= size) throw ECodecError(kCorrupt, "LZX uncompressed block ends early");
        return p[pos++];
    }
};

// Long codes (past the lookup table's bits): a canonical walk.
[[gnu::noinline]] unsigned DecodeLong(const TLzxHuffman& h, BitReader& br, uint32_t peek) {
    for (unsigned len = TLzxHuffman::kFastBits + 1; len <= 16; ++len) {
        uint32_t code = peek >> (16 - len);
        uint32_t d = code - h.firstCode[len];
        if (code >= h.firstCode[len] && d < h.countOf[len]) {
            br.Remove(static_cast<int>(len));
            return h.sorted[h.offsetOf[len] + d];
        }
    }
    throw ECodecError(kBadCode, "LZX code not in the tree");
}

inline unsigned DecodeSymbol(const TLzxHuffman& h, BitReader& br) {
    uint32_t peek = br.Peek16();
    uint16_t e = h.fast[peek >> (16 - TLzxHuffman::kFastBits)];
    if (e != 0) [[likely]] {
        br.Remove(e & 31);
        return e >> 5;
    }
    if (h.empty) throw ECodecError(kBadCode, "LZX symbol from an empty tree");
    return DecodeLong(h, br, peek);
}

} // namespace

void TLzxHuffman::Build(const uint8_t* lengths, unsigned count) {
    std::memset(countOf, 0, sizeof countOf);
    for (unsigned i = 0; i < count; ++i) countOf[lengths[i]]++;
    countOf[0] = 0;
    uint32_t fill = 0;
    for (unsigned len = 1; len <= 16; ++len) fill += uint32_t(countOf[len]) << (16 - len);
    empty = fill == 0;
    std::memset(fast, 0, sizeof fast);
    if (empty) return;
    if (fill > 65536) throw ECodecError(kBadCode, "LZX tree over-full");
    uint32_t code = 0;
    uint16_t offset = 0;
    for (unsigned len = 1; len <= 16; ++len) {
        firstCode[len] = static_cast<uint16_t>(code);
        offsetOf[len] = offset;
        offset = static_cast<uint16_t>(offset + countOf[len]);
        code = (code + countOf[len]) << 1;
    }
    uint16_t next[18];
    std::memcpy(next, offsetOf, sizeof next);
    for (unsigned i = 0; i < count; ++i)
        if (lengths[i]) sorted[next[lengths[i]]++] = static_cast<uint16_t>(i);
    // Short codes into the lookup table.
    for (unsigned len = 1; len <= static_cast<unsigned>(kFastBits); ++len) {
        for (unsigned k = 0; k < countOf[len]; ++k) {
            uint32_t c = firstCode[len] + k;
            uint16_t sym = sorted[offsetOf[len] + k];
            uint32_t start = c << (kFastBits - len);
            uint32_t n = 1u << (kFastBits - len);
            for (uint32_t j = 0; j < n; ++j) fast[start + j] = static_cast<uint16_t>(sym << 5 | len);
        }
    }
}

struct TLzxDecoder::State {
    unsigned windowBits;
    uint32_t windowSize;
    uint32_t ringMask;
    std::vector<uint8_t> ring;
    unsigned slots;
    unsigned mainSize;

    // Folder state.
    uint64_t total = 0;   // bytes decoded in this folder (window position)
    uint32_t pending = 0; // bytes decoded past the end of the last frame
    uint64_t frameStart = 0;
    bool headerRead = false;
    uint32_t e8Size = 0;
    bool e8 = false;
    uint32_t frameIndex = 0;
    uint32_t r0 = 1, r1 = 1, r2 = 1;
    int blockKind = 0;
    int64_t blockLeft = 0;
    bool blockOdd = false;
    bool padPending = false;
    uint8_t mainLengths[256 + 8 * kMaxSlots];
    uint8_t lengthLengths[kLengthSymbols];
    uint8_t alignedLengths[kAlignedSymbols];
    TLzxHuffman mainTree, lengthTree, alignedTree, pretree;
    BitReader br;

    void Reset() {
        total = 0;
        pending = 0;
        frameStart = 0;
        headerRead = false;
        e8Size = 0;
        e8 = false;
        frameIndex = 0;
        r0 = r1 = r2 = 1;
        blockKind = 0;
        blockLeft = 0;
        blockOdd = false;
        padPending = false;
        std::memset(mainLengths, 0, sizeof mainLengths);
        std::memset(lengthLengths, 0, sizeof lengthLengths);
        mainTree.empty = lengthTree.empty = alignedTree.empty = true;
    }

    void ReadDeltaLengths(uint8_t* lens, unsigned first, unsigned last) {
        uint8_t pl[kPretreeSymbols];
        for (unsigned i = 0; i < kPretreeSymbols; ++i) pl[i] = static_cast<uint8_t>(br.Read(4));
        pretree.Build(pl, kPretreeSymbols);
        for (unsigned x = first; x < last;) {
            unsigned sym = DecodeSymbol(pretree, br);
            if (sym == 17) {
                unsigned run = br.Read(4) + 4;
                for (; run && x < last; --run) lens[x++] = 0;
            } else if (sym == 18) {
                unsigned run = br.Read(5) + 20;
                for (; run && x < last; --run) lens[x++] = 0;
            } else if (sym == 19) {
                unsigned run = br.Read(1) + 4;
                unsigned s2 = DecodeSymbol(pretree, br);
                if (s2 > 16) throw ECodecError(kBadCode, "LZX pretree run of a run");
                uint8_t v = static_cast<uint8_t>((lens[x] + 17 - s2) % 17);
                for (; run && x < last; --run) lens[x++] = v;
            } else {
                lens[x] = static_cast<uint8_t>((lens[x] + 17 - sym) % 17);
                ++x;
            }
        }
    }

    void ReadBlockHeader() {
        if (padPending) {
            br.ReturnWords();
            br.RawByte();
            padPending = false;
        }
        blockKind = static_cast<int>(br.Read(3));
        uint32_t size = br.Read(16) << 8;
        size |= br.Read(8);
        if (size == 0 && blockKind != 0) throw ECodecError(kCorrupt, "LZX block of no bytes");
        switch (blockKind) {
        case 2:
            for (unsigned i = 0; i < kAlignedSymbols; ++i)
                alignedLengths[i] = static_cast<uint8_t>(br.Read(3));
            alignedTree.Build(alignedLengths, kAlignedSymbols);
            [[fallthrough]];
        case 1:
            ReadDeltaLengths(mainLengths, 0, kMainLiterals);
            ReadDeltaLengths(mainLengths, kMainLiterals, mainSize);
            mainTree.Build(mainLengths, mainSize);
            ReadDeltaLengths(lengthLengths, 0, kLengthSymbols);
            lengthTree.Build(lengthLengths, kLengthSymbols);
            break;
        case 3: {
            // 1..16 bits of padding to a word boundary, then the three offsets.
            if (br.left % 16)
                br.Remove(br.left % 16);
            else
                br.Read(16);
            br.ReturnWords();
            uint32_t r[3];
            for (uint32_t& v : r) {
                v = br.RawByte();
                v |= uint32_t(br.RawByte()) << 8;
                v |= uint32_t(br.RawByte()) << 16;
                v |= uint32_t(br.RawByte()) << 24;
            }
            if (r[0] == 0 || r[1] == 0 || r[2] == 0) throw ECodecError(kCorrupt, "LZX repeated offset 0");
            r0 = r[0];
            r1 = r[1];
            r2 = r[2];
            blockOdd = size & 1;
            break;
        }
        default:
            throw ECodecError(kCorrupt, "LZX unknown block kind");
        }
        blockLeft += size;
        if (blockLeft <= 0) throw ECodecError(kCorrupt, "LZX match crosses a block");
    }

    // Decodes compressed symbols until `run` bytes are produced (a last match may
    // overrun). The loop works on local copies of the bit reader, the position
    // and the repeated offsets: the ring's byte stores could alias the members,
    // which would otherwise be reloaded after every byte.
    int64_t DecodeRun(int64_t run) {
        if (blockKind == 3) {
            // Raw bytes: copied in at most two stretches (the ring may wrap).
            if (br.pos > br.size || static_cast<uint64_t>(run) > br.size - br.pos)
                throw ECodecError(kCorrupt, "LZX uncompressed block ends early");
            size_t n = static_cast<size_t>(run);
            while (n > 0) {
                const size_t at = total & ringMask;
                const size_t k = std::min(n, size_t{ringMask} + 1 - at);
                std::memcpy(ring.data() + at, br.p + br.pos, k);
                br.pos += k;
                total += k;
                n -= k;
            }
            return run;
        }
        const bool aligned = blockKind == 2;
        BitReader b = br;
        uint8_t* const rp = ring.data();
        const size_t mask = ringMask;
        const uint64_t start = total;
        const uint64_t stop = total + static_cast<uint64_t>(run);
        const uint64_t window = windowSize;
        uint64_t t = total;
        uint32_t x0 = r0, x1 = r1, x2 = r2;
        while (t < stop) {
            unsigned sym = DecodeSymbol(mainTree, b);
            if (sym < kMainLiterals) {
                rp[t++ & mask] = static_cast<uint8_t>(sym);
                continue;
            }
            sym -= kMainLiterals;
            uint32_t length = (sym & 7) + 2;
            const unsigned slot = sym >> 3;
            if ((sym & 7) == 7) length += DecodeSymbol(lengthTree, b);
            uint32_t offset;
            if (slot == 0) {
                offset = x0;
            } else if (slot == 1) {
                offset = x1;
                x1 = x0;
                x0 = offset;
            } else if (slot == 2) {
                offset = x2;
                x2 = x0;
                x0 = offset;
            } else {
                const unsigned extra = kSlots.extra[slot];
                uint32_t v;
                if (aligned && extra >= 3) {
                    v = b.Read(static_cast<int>(extra - 3)) << 3;
                    v += DecodeSymbol(alignedTree, b);
                } else {
                    v = b.Read(static_cast<int>(extra));
                }
                offset = kSlots.base[slot] + v - 2;
                x2 = x1;
                x1 = x0;
                x0 = offset;
            }
            if (offset == 0 || offset > t || offset > window)
                throw ECodecError(kCorrupt, "LZX match before the window");
            const size_t to = t & mask;
            const size_t from = (t - offset) & mask;
            if (to + length <= mask + 1 && from + length <= mask + 1) {
                // Neither end wraps: a plain forward copy, 8 bytes at a time when
                // the source stays 8 bytes behind (the last step may write into
                // bytes not yet decoded, or the slack after the ring: harmless).
                uint8_t* d = rp + to;
                const uint8_t* f = rp + from;
                if (offset >= 8) {
                    for (uint32_t i = 0; i < length; i += 8) std::memcpy(d + i, f + i, 8);
                } else {
                    // A short period: one period, then the stretch made so far
                    // copied after itself, doubling until the match is done.
                    const uint32_t period = std::min(offset, length);
                    for (uint32_t i = 0; i < period; ++i) d[i] = f[i];
                    for (uint32_t span = period; span < length; span *= 2)
                        std::memcpy(d + span, d, std::min(span, length - span));
                }
            } else {
                for (uint32_t i = 0; i < length; ++i) rp[(t + i) & mask] = rp[(t - offset + i) & mask];
            }
            t += length;
        }
        br = b;
        total = t;
        r0 = x0;
        r1 = x1;
        r2 = x2;
        return static_cast<int64_t>(t - start);
    }

    void Translate(uint8_t* out, size_t n) {
        if (!e8 || e8Size == 0 || frameIndex >= 32768 || n <= 10) return;
        const int64_t cur = static_cast<int64_t>(frameStart);
        for (size_t i = 0; i < n - 10;) {
            if (out[i] != 0xE8) {
                const void* hit = std::memchr(out + i, 0xE8, n - 10 - i);
                if (!hit) break;
                i = static_cast<size_t>(static_cast<const uint8_t*>(hit) - out);
            }
            int32_t abs = static_cast<int32_t>(uint32_t(out[i + 1]) | uint32_t(out[i + 2]) << 8 |
                                               uint32_t(out[i + 3]) << 16 | uint32_t(out[i + 4]) << 24);
            int64_t pos = cur + static_cast<int64_t>(i);
            if (abs >= -pos && abs < static_cast<int64_t>(e8Size)) {
                int64_t rel = abs >= 0 ? abs - pos : abs + static_cast<int64_t>(e8Size);
                uint32_t r = static_cast<uint32_t>(rel);
                out[i + 1] = static_cast<uint8_t>(r);
                out[i + 2] = static_cast<uint8_t>(r >> 8);
                out[i + 3] = static_cast<uint8_t>(r >> 16);
                out[i + 4] = static_cast<uint8_t>(r >> 24);
            }
            i += 5;
        }
    }
};

TLzxDecoder::TLzxDecoder(unsigned windowBits) : FState(std::make_unique<State>()) {
    if (windowBits < 15 || windowBits > 21)
        throw ECodecError(arcerr::UnknownMethod, "LZX window size not supported");
    State& s = *FState;
    s.windowBits = windowBits;
    s.windowSize = 1u << windowBits;
    s.ring.assign((size_t{2} << windowBits) + kRingSlack, 0);
    s.ringMask = (2u << windowBits) - 1;
    s.slots = SlotsForWindow(windowBits);
    s.mainSize = kMainLiterals + 8 * s.slots;
    s.Reset();
}

TLzxDecoder::~TLzxDecoder() = default;

void TLzxDecoder::Reset() {
    FState->Reset();
}

void TLzxDecoder::DecodeFrame(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize) {
    State& s = *FState;
    if (outSize == 0 || outSize > 32768) throw ECodecError(kCorrupt, "LZX frame size out of range");
    s.br.Init(in, inSize);
    if (!s.headerRead) {
        s.e8 = s.br.Read(1) != 0;
        if (s.e8) {
            uint32_t hi = s.br.Read(16);
            s.e8Size = hi << 16 | s.br.Read(16);
        }
        s.headerRead = true;
    }
    int64_t produced = std::min<int64_t>(s.pending, static_cast<int64_t>(outSize));
    int64_t carried = s.pending - produced;
    while (produced < static_cast<int64_t>(outSize)) {
        if (s.blockLeft <= 0) s.ReadBlockHeader();
        int64_t want = std::min<int64_t>(s.blockLeft, static_cast<int64_t>(outSize) - produced);
        int64_t got = s.DecodeRun(want);
        s.blockLeft -= got;
        produced += got;
        if (s.blockKind == 3 && s.blockLeft == 0 && s.blockOdd) s.padPending = true;
    }
    s.pending = static_cast<uint32_t>(carried + (produced - static_cast<int64_t>(outSize)));
    const size_t at = s.frameStart & s.ringMask;
    const size_t first = std::min(outSize, size_t{s.ringMask} + 1 - at);
    std::memcpy(out, s.ring.data() + at, first);
    std::memcpy(out + first, s.ring.data(), outSize - first);
    s.Translate(out, outSize);
    s.frameStart += outSize;
    s.frameIndex++;
}

} // namespace mv
