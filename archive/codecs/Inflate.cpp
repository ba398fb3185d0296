// Inflate: decoder of the deflate format (RFC 1951), used for ZIP method 8 and
// by every reader whose members are deflated.
//
// Why it is fast:
// - a 64-bit bit buffer refilled eight bytes at a time without branches, so one
//   refill serves a whole length/distance pair (at most 48 bits); the bit count
//   is kept modulo 64, so that a table entry can be subtracted from it whole;
// - lookup tables with an 11-bit first level for literal/length codes and an 8-bit
//   first level for distances; one table entry carries the symbol's base value, its
//   code length and the bits to consume with the extra bits already added, so a
//   symbol costs one lookup and one shift, and its extra bits one mask and one
//   shift (codes longer than the first level take one more lookup); after a
//   literal, the next code's index is one bit-field extraction on processors
//   with BMI, which shortens the chain of dependent steps from code to code;
// - tables built by doubling: the entries of the short codes are written once and
//   the table copied onto its upper half as the code length grows, and the fixed
//   codes' tables are built once for the whole program;
// - a fast loop that runs while at least 16 input bytes and 320 output bytes of
//   room remain, free of bounds checks per byte; it looks the next code up as soon
//   as its bits are known, so the lookup overlaps the work on the current symbol;
//   past the first 32 KiB of output it runs in a copy without the test that a
//   distance stays within the output, since none can then reach before the start;
// - match copies in 16-byte pieces for distances of 16 and more (the first 32
//   bytes without a test, as most matches are short), in eight-byte words for
//   distances of eight to 15 (the first 40 bytes without a test), a byte fill for
//   distance 1, and for shorter periods eight-byte copies that double the
//   repeated stretch;
// - on processors with BMI2 the fast loop runs in a copy compiled for it, chosen
//   at run time;
// - the streaming form decodes into a linear window (32 KiB of history plus 128
//   KiB of new output), so matches never wrap, and hands the output over in large
//   pieces; the history is moved down once per 128 KiB.
// Everything a stream changes lives in one object per call; only the fixed
// codes' tables, which never change, are shared.
#include "archive/codecs/Inflate.h"

#include "resources/ArcErrorNumbers.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <memory>

namespace mv {
namespace {

// The failures by their error numbers: a bad block, a bad code, data ending
// early, a stored length that fails its check; an incomplete code set, a bad
// repeat, bad dynamic block data; bad code-length counts; a table that does
// not fit.
constexpr int kErrBlock = arcerr::BlockError;
constexpr int kErrIncomplete = arcerr::IncompleteCode;
constexpr int kErrCounts = arcerr::InvalidLengths;
constexpr int kErrMemory = arcerr::OutOfMemory;

constexpr unsigned kLitRootBits = 11;

// A table entry is 32 bits. The low five bits are the number of bits the entry
// consumes (code length plus extra bits; the first level's width for a pointer to
// a second-level table); bits 5..7 are zero, so the entry itself can serve as a
// shift count.
//
// Literal entries have bit 31 set, so that the commonest test is a sign test, the
// byte in bits 16..23 and the first level's width in bits 8..15: the low 16 bits
// of a literal entry then say where the next code's index starts and how wide it
// is, in the form the BMI bit-field extraction takes. Other entries: bits 8..11
// the code length alone (the sub-table's width for a pointer), bits 13..15 flags,
// bits 16..30 the value (length or distance base, sub-table offset).
enum : uint32_t {
    kLiteral = 0x80000000u, // a byte of output
    kExceptional = 0x8000u, // not a literal, length or distance: end of block, pointer or invalid
    kSubTable = 0x4000u,    // pointer to a second-level table
    kEndOfBlock = 0x2000u,  // the end-of-block code
};
constexpr uint32_t kInvalidEntry = kExceptional;
constexpr uint32_t MakeMeaning(uint32_t value, uint32_t flags, uint32_t extra) {
    return value << 16 | flags | extra;
}
constexpr uint32_t MakeLiteral(uint32_t byte) {
    return kLiteral | byte << 16 | kLitRootBits << 8;
}
inline uint32_t TotalBits(uint32_t e) {
    return e & 0x1F;
}
inline uint32_t CodeBits(uint32_t e) {
    return (e >> 8) & 0xF;
}
inline uint32_t ValueOf(uint32_t e) {
    return (e >> 16) & 0x7FFF;
}
inline uint8_t LiteralByte(uint32_t e) {
    return static_cast<uint8_t>(e >> 16);
}
// The base value plus the extra bits that follow the code, taken from the bits
// the entry was looked up with.
inline uint32_t BasePlusExtra(uint32_t e, uint64_t bits) {
    return (e >> 16) + static_cast<uint32_t>((bits & ((uint64_t{1} << static_cast<uint8_t>(e)) - 1)) >>
                                             ((e >> 8) & 0x3F));
}

// The base plus extra bits as above, with the extra bits cut out by the BMI2
// instruction made for it (which reads the count from the entry's low byte).
template <bool Bmi2> inline uint32_t BasePlusExtraFast(uint32_t e, uint64_t bits) {
#if defined(__GNUC__) && defined(__x86_64__)
    if constexpr (Bmi2) {
        uint64_t low;
        asm("bzhi %q2, %1, %0" : "=r"(low) : "r"(bits), "r"(e));
        return (e >> 16) + static_cast<uint32_t>(low >> ((e >> 8) & 0x3F));
    }
#endif
    return BasePlusExtra(e, bits);
}

// The first-level index of the code that follows a literal entry, taken from the
// bits the entry was looked up with: one extraction (BMI) instead of a shift and
// a mask. Elsewhere the shift that consumes the entry serves as well.
#if defined(__GNUC__) && defined(__x86_64__)
constexpr bool kHasExtraction = true;
inline uint64_t IndexAfter(uint32_t e, uint64_t bits) {
    uint64_t index;
    asm("bextr %q2, %1, %0" : "=r"(index) : "r"(bits), "r"(e));
    return index;
}
#else
constexpr bool kHasExtraction = false;
inline uint64_t IndexAfter(uint32_t e, uint64_t bits) {
    return (bits >> (e & 63)) & ((uint64_t{1} << kLitRootBits) - 1);
}
#endif

constexpr unsigned kDistRootBits = 8;
constexpr unsigned kCodeLenRootBits = 7;
// Upper bounds: the first level plus, at most, one full sub-table per symbol.
constexpr size_t kLitTableSize = (size_t{1} << kLitRootBits) + 288 * (1 << (15 - kLitRootBits));
constexpr size_t kDistTableSize = (size_t{1} << kDistRootBits) + 32 * (1 << (15 - kDistRootBits));
constexpr size_t kCodeLenTableSize = size_t{1} << kCodeLenRootBits;
// The two tables of a block live in one allocation, the distances' at a fixed
// offset, so that the fast loop reaches both through one pointer.
constexpr size_t kDistOffset = kLitTableSize;
constexpr size_t kTablesSize = kLitTableSize + kDistTableSize;

// Symbol meanings for the three alphabets, computed from the rules of the format.
struct Alphabets {
    std::array<uint32_t, 288> litlen{};
    std::array<uint32_t, 32> dist{};
    std::array<uint32_t, 19> codeLen{};
    std::array<uint8_t, 256> reversed{}; // each byte with its bits in reverse order
};
constexpr Alphabets MakeAlphabets() {
    Alphabets a{};
    for (uint32_t s = 0; s < 256; ++s) a.litlen[s] = MakeLiteral(s);
    a.litlen[256] = MakeMeaning(0, kExceptional | kEndOfBlock, 0);
    // Lengths 3..258: codes 257..284 come in groups of four per extra-bit count; 285 is 258.
    uint32_t base = 3;
    for (uint32_t i = 0; i < 28; ++i) {
        uint32_t extra = i < 8 ? 0 : (i - 4) / 4;
        a.litlen[257 + i] = MakeMeaning(base, 0, extra);
        base += 1u << extra;
    }
    a.litlen[285] = MakeMeaning(258, 0, 0);
    a.litlen[286] = a.litlen[287] = kInvalidEntry;
    // Distances 1..32768: codes 0..29 in pairs per extra-bit count.
    base = 1;
    for (uint32_t i = 0; i < 30; ++i) {
        uint32_t extra = i < 4 ? 0 : (i - 2) / 2;
        a.dist[i] = MakeMeaning(base, 0, extra);
        base += 1u << extra;
    }
    a.dist[30] = a.dist[31] = kInvalidEntry;
    for (uint32_t s = 0; s < 19; ++s) a.codeLen[s] = MakeMeaning(s, 0, 0);
    for (uint32_t v = 0; v < 256; ++v) {
        uint32_t r = 0;
        for (unsigned b = 0; b < 8; ++b) r |= ((v >> b) & 1u) << (7 - b);
        a.reversed[v] = static_cast<uint8_t>(r);
    }
    return a;
}
constexpr Alphabets kAlphabets = MakeAlphabets();

// The low `len` bits of `code` (len <= 15) in reverse order: the stream delivers
// codes most significant bit first into a least-significant-first bit buffer.
inline uint32_t Reversed(uint32_t code, unsigned len) {
    const uint32_t r =
        static_cast<uint32_t>(kAlphabets.reversed[code & 0xFF]) << 8 | kAlphabets.reversed[code >> 8];
    return r >> (16 - len);
}

// A symbol's table entry for a code of `len` bits: the meaning carries its count
// of extra bits in the low byte; the code length is added to it, and for all but
// literals also kept apart as the place where the extra bits start.
inline uint32_t EntryFor(uint32_t meaning, unsigned len) {
    const uint32_t codeLen = (meaning & kLiteral) ? 0 : len << 8;
    return meaning + len + codeLen;
}

enum class BuildResult { Ok, Empty, Bad };

// Builds a decoding table for canonical codes of the given lengths (at most 15 bits).
// The first level is built by doubling: the entries of the codes of each length
// are written into a table as wide as that length, which is then copied onto its
// own upper half for the next length; codes longer than the first level go to
// second-level tables behind pointer entries.
BuildResult BuildTable(uint32_t* table, size_t capacity, unsigned rootBits, const uint8_t* lens, unsigned n,
                       const uint32_t* symbols, bool allowSingleCode) {
    unsigned count[16] = {};
    for (unsigned s = 0; s < n; ++s) count[lens[s]]++;
    count[0] = 0;
    unsigned maxLen = 0;
    for (unsigned len = 15; len >= 1; --len)
        if (count[len]) {
            maxLen = len;
            break;
        }
    const size_t rootSize = size_t{1} << rootBits;
    if (maxLen == 0) {
        std::fill(table, table + rootSize, kInvalidEntry);
        return BuildResult::Empty;
    }
    int left = 1;
    for (unsigned len = 1; len <= 15; ++len) {
        left = (left << 1) - static_cast<int>(count[len]);
        if (left < 0) return BuildResult::Bad; // over-subscribed
    }
    // An incomplete set is accepted only as the single one-bit code the format allows.
    if (left > 0 && !(allowSingleCode && maxLen == 1)) return BuildResult::Bad;

    unsigned offsets[16] = {};
    for (unsigned len = 1; len < 15; ++len) offsets[len + 1] = offsets[len] + count[len];
    uint16_t sorted[288];
    for (unsigned s = 0; s < n; ++s)
        if (lens[s]) sorted[offsets[lens[s]]++] = static_cast<uint16_t>(s);
    const unsigned total = offsets[15];

    // The first level. Only an incomplete set leaves entries unwritten; for the
    // others the doubling copies stale entries only where a longer code will
    // write its own.
    if (left > 0) std::fill(table, table + rootSize, kInvalidEntry);
    unsigned k = 0;
    uint32_t code = 0; // the canonical code of sorted[k]
    size_t size = 2;   // entries written for the current length
    for (unsigned len = 1;; ++len) {
        for (unsigned c = count[len]; c; --c, ++k, ++code)
            table[Reversed(code, len)] = EntryFor(symbols[sorted[k]], len);
        if (len == rootBits) break;
        std::memcpy(table + size, table, size * sizeof(uint32_t));
        size <<= 1;
        code <<= 1;
    }
    if (k < total) {
        // Second-level tables, one per first-level prefix of the longer codes, each as
        // wide as the codes sharing its prefix need.
        unsigned remaining[16];
        std::copy(count, count + 16, remaining);
        size_t used = rootSize;
        uint32_t currentPrefix = UINT32_MAX;
        size_t subOffset = 0;
        unsigned subBits = 0;
        for (unsigned len = rootBits + 1; len <= maxLen; ++len) {
            code <<= 1;
            for (; remaining[len]; --remaining[len], ++k, ++code) {
                const uint32_t reversed = Reversed(code, len);
                const uint32_t prefix = reversed & (static_cast<uint32_t>(rootSize) - 1);
                if (prefix != currentPrefix) {
                    currentPrefix = prefix;
                    unsigned cur = len - rootBits;
                    int room = 1 << cur;
                    while (cur + rootBits < maxLen) {
                        room -= static_cast<int>(remaining[cur + rootBits]);
                        if (room <= 0) break;
                        ++cur;
                        room <<= 1;
                    }
                    subBits = cur;
                    subOffset = used;
                    used += size_t{1} << subBits;
                    if (used > capacity) throw ECodecError(kErrMemory);
                    std::fill(table + subOffset, table + used, kInvalidEntry);
                    table[prefix] = static_cast<uint32_t>(subOffset) << 16 | kExceptional | kSubTable |
                                    subBits << 8 | rootBits;
                }
                const unsigned subLen = len - rootBits;
                const uint32_t entry = EntryFor(symbols[sorted[k]], subLen);
                for (size_t i = reversed >> rootBits; i < (size_t{1} << subBits); i += size_t{1} << subLen)
                    table[subOffset + i] = entry;
            }
        }
    }
    return BuildResult::Ok;
}

// The tables of the fixed codes, built once.
struct FixedTables {
    std::unique_ptr<uint32_t[]> tables{new uint32_t[kTablesSize]};
    FixedTables() {
        uint8_t lens[288];
        std::fill(lens, lens + 144, 8);
        std::fill(lens + 144, lens + 256, 9);
        std::fill(lens + 256, lens + 280, 7);
        std::fill(lens + 280, lens + 288, 8);
        BuildTable(tables.get(), kLitTableSize, kLitRootBits, lens, 288, kAlphabets.litlen.data(), false);
        std::fill(lens, lens + 32, 5);
        BuildTable(tables.get() + kDistOffset, kDistTableSize, kDistRootBits, lens, 32,
                   kAlphabets.dist.data(), false);
    }
};
const FixedTables& Fixed() {
    static const FixedTables tables;
    return tables;
}

inline uint64_t Load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    v = __builtin_bswap64(v);
#endif
    return v;
}
inline void Copy16(uint8_t* d, const uint8_t* s) {
    std::memcpy(d, s, 16);
}
inline void Copy8(uint8_t* d, const uint8_t* s) {
    std::memcpy(d, s, 8);
}

struct StopRequested {};

// The value as it is, hidden from the optimiser, so that a sum built on it is
// computed in the order written.
template <typename T> inline T Opaque(T v) {
#if defined(__GNUC__)
    asm("" : "+r"(v));
#endif
    return v;
}

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define MV_BMI2_TARGET __attribute__((target("bmi,bmi2")))
#define MV_ALWAYS_INLINE __attribute__((always_inline)) inline
// The fast loops start on a 64-byte boundary, so that their layout in the
// processor's fetch windows is the same wherever the linker puts this file.
#define MV_HOT_ALIGN __attribute__((aligned(64)))
bool ProcessorHasBmi2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("bmi");
}
#else
#define MV_BMI2_TARGET
#define MV_ALWAYS_INLINE inline
#define MV_HOT_ALIGN
bool ProcessorHasBmi2() {
    return false;
}
#endif
std::atomic<bool>& Bmi2Enabled() {
    static std::atomic<bool> enabled{ProcessorHasBmi2()};
    return enabled;
}

constexpr size_t kInMargin = 16;   // input bytes the fast loop may read ahead
constexpr size_t kOutMargin = 320; // output room the fast loop needs: literals, a match, overcopy
constexpr size_t kInBufferSize = 32768;
constexpr size_t kHistory = 32768;
constexpr size_t kFresh = 131072;

// The decoder of one stream. Streaming: input from a CodecInput into a 32 KiB
// buffer, output through a sliding window. Memory: input and output are the
// caller's buffers.
template <bool Streaming> class InflateEngine {
public:
    // Memory form.
    InflateEngine(const uint8_t* src, size_t srcSize, uint8_t* dst, size_t dstCapacity)
        : in(src), inEnd(src + srcSize), out(dst), outEnd(dst + dstCapacity), outBase(dst) {
        AllocateTables();
    }
    // Streaming form.
    InflateEngine(CodecInput& source, CodecOutput& sink, uint64_t maxOutput)
        : source(&source), sink(&sink), maxOutput(maxOutput) {
        AllocateTables();
        inBuffer.reset(new uint8_t[kInBufferSize + kInMargin]);
        window.reset(new uint8_t[kHistory + kFresh + kOutMargin]);
        in = inEnd = inBuffer.get();
        out = flushed = outBase = window.get();
        outEnd = window.get() + kHistory + kFresh;
    }

    // Decodes the whole stream; false when the stream was empty from the start.
    bool Run() {
        if (in == inEnd && !RefillInput()) return false;
        bool final = false;
        while (!final) {
            Need(3);
            final = bb & 1;
            const unsigned type = (bb >> 1) & 3;
            Consume(3);
            switch (type) {
            case 0:
                StoredBlock();
                break;
            case 1:
                dataError = kErrBlock;
                HuffmanBlock(Fixed().tables.get());
                break;
            case 2:
                DynamicHeader();
                dataError = kErrIncomplete;
                HuffmanBlock(tables.get());
                break;
            default:
                throw ECodecError(kErrBlock, "invalid deflate block type");
            }
            if constexpr (Streaming)
                if (sink->Cancelled()) throw StopRequested{};
        }
        if constexpr (Streaming) Flush();
        return true;
    }

    uint8_t* OutPosition() const { return out; }
    uint64_t Written() const { return written; }
    // Compressed bytes used: everything read less what still waits in the buffers.
    uint64_t Consumed(uint64_t inputTotal) const {
        const uint64_t realBitBytes = (bc - overrun * 8) >> 3;
        return inputTotal - static_cast<uint64_t>(inEnd - in) - realBitBytes;
    }
    uint64_t ReadTotal() const { return readTotal; }

private:
    void AllocateTables() { tables.reset(new uint32_t[kTablesSize]); }

    // ---- input ----
    bool RefillInput() {
        if constexpr (!Streaming) {
            return false;
        } else {
            if (inEof) return false;
            const size_t keep = static_cast<size_t>(inEnd - in);
            std::memmove(inBuffer.get(), in, keep);
            in = inBuffer.get();
            inEnd = in + keep;
            const size_t n = source->Read(inBuffer.get() + keep, kInBufferSize - keep);
            if (n == 0) {
                inEof = true;
                return false;
            }
            inEnd += n;
            readTotal += n;
            return true;
        }
    }
    // Makes at least n bits (n <= 32) available; past the end of the input, zero
    // bytes stand in, and consuming any of them is the error "data ends early".
    // With eight bytes at hand it takes whole bytes at once, as the fast loop does.
    void Need(unsigned n) {
        if (bc >= n) return;
        if (static_cast<size_t>(inEnd - in) >= 8) {
            bb |= Load64(in) << bc;
            in += (63 - bc) >> 3;
            bc |= 56;
            return;
        }
        while (bc < n) {
            if (in == inEnd && !RefillInput()) {
                ++overrun;
                bc += 8;
                continue;
            }
            bb |= static_cast<uint64_t>(*in++) << bc;
            bc += 8;
        }
    }
    void Consume(unsigned n) {
        bb >>= n;
        bc -= n;
        if (overrun && bc < overrun * 8) throw ECodecError(kErrBlock, "deflate data ends early");
    }

    // ---- output ----
    void Flush() {
        if constexpr (Streaming) {
            const size_t n = static_cast<size_t>(out - flushed);
            if (n == 0) return;
            if (n > maxOutput - written) throw ECodecError(kErrBlock, "output exceeds the declared size");
            sink->Write(flushed, n);
            written += n;
            flushed = out;
            if (sink->Cancelled()) throw StopRequested{};
        }
    }
    // Room for more output: the streaming form flushes and keeps the last 32 KiB as
    // history; the memory form has no more room.
    void MakeRoom() {
        if constexpr (Streaming) {
            Flush();
            if (static_cast<size_t>(out - window.get()) > kHistory) {
                std::memmove(window.get(), out - kHistory, kHistory);
                out = flushed = window.get() + kHistory;
            }
        } else {
            throw ECodecError(kErrBlock, "output exceeds the declared size");
        }
    }
    void PutByte(uint8_t v) {
        if (out == outEnd) MakeRoom();
        *out++ = v;
    }

    // ---- blocks ----
    void StoredBlock() {
        Consume(bc & 7);
        Need(32);
        uint32_t len = bb & 0xFFFF;
        const uint32_t nlen = (bb >> 16) & 0xFFFF;
        Consume(32);
        if (len != (~nlen & 0xFFFF)) throw ECodecError(kErrBlock, "stored block length check failed");
        while (len && bc >= 8) {
            PutByte(static_cast<uint8_t>(bb));
            Consume(8);
            --len;
        }
        if (len == 0) return;
        bb = 0; // bits left above the count describe bytes now copied directly
        while (len) {
            if (in == inEnd && !RefillInput()) throw ECodecError(kErrBlock, "deflate data ends early");
            if (out == outEnd) MakeRoom();
            const size_t k =
                std::min<size_t>({len, static_cast<size_t>(inEnd - in), static_cast<size_t>(outEnd - out)});
            std::memcpy(out, in, k);
            out += k;
            in += k;
            len -= static_cast<uint32_t>(k);
        }
    }

    void DynamicHeader() {
        Need(14);
        const unsigned hlit = (bb & 31) + 257;
        const unsigned hdist = ((bb >> 5) & 31) + 1;
        const unsigned hclen = ((bb >> 10) & 15) + 4;
        Consume(14);
        if (hlit > 286 || hdist > 30)
            throw ECodecError(kErrCounts, "too many literal/length or distance codes");
        static constexpr uint8_t kOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                               11, 4,  12, 3, 13, 2, 14, 1, 15};
        uint8_t clLens[19] = {};
        for (unsigned i = 0; i < hclen; ++i) {
            Need(3);
            clLens[kOrder[i]] = bb & 7;
            Consume(3);
        }
        uint32_t clTable[kCodeLenTableSize];
        if (BuildTable(clTable, kCodeLenTableSize, kCodeLenRootBits, clLens, 19, kAlphabets.codeLen.data(),
                       false) != BuildResult::Ok)
            throw ECodecError(kErrIncomplete, "bad code-length code");
        uint8_t lens[286 + 30];
        const unsigned total = hlit + hdist;
        unsigned i = 0;
        while (i < total) {
            Need(14); // a code-length code and its repeat count
            const uint32_t e = clTable[bb & (kCodeLenTableSize - 1)];
            if (e & kExceptional) throw ECodecError(kErrIncomplete, "bad code-length code");
            Consume(TotalBits(e));
            const unsigned sym = ValueOf(e);
            if (sym < 16) {
                lens[i++] = static_cast<uint8_t>(sym);
                continue;
            }
            unsigned repeat;
            uint8_t value = 0;
            if (sym == 16) {
                if (i == 0) throw ECodecError(kErrIncomplete, "repeat without a previous length");
                value = lens[i - 1];
                repeat = 3 + (bb & 3);
                Consume(2);
            } else if (sym == 17) {
                repeat = 3 + (bb & 7);
                Consume(3);
            } else {
                repeat = 11 + (bb & 127);
                Consume(7);
            }
            if (repeat > total - i) throw ECodecError(kErrIncomplete, "repeat runs past the code lengths");
            std::memset(lens + i, value, repeat);
            i += repeat;
        }
        if (lens[256] == 0) throw ECodecError(kErrIncomplete, "no end-of-block code");
        if (BuildTable(tables.get(), kLitTableSize, kLitRootBits, lens, hlit, kAlphabets.litlen.data(),
                       true) != BuildResult::Ok)
            throw ECodecError(kErrIncomplete, "bad literal/length code");
        if (BuildTable(tables.get() + kDistOffset, kDistTableSize, kDistRootBits, lens + hlit, hdist,
                       kAlphabets.dist.data(), true) == BuildResult::Bad)
            throw ECodecError(kErrIncomplete, "incomplete distance code");
    }

    // Looks a code up with every check left to the caller: `skip` gets the first
    // level's width when the code goes on in a second-level table, else zero.
    static inline uint32_t Lookup(const uint32_t* table, uint64_t bits, unsigned rootBits, unsigned& skip) {
        uint32_t e = table[bits & ((1u << rootBits) - 1)];
        skip = 0;
        if ((e & kLiteral) == 0 && (e & (kExceptional | kSubTable)) == (kExceptional | kSubTable)) {
            skip = rootBits;
            e = table[ValueOf(e) + ((bits >> rootBits) & ((1u << CodeBits(e)) - 1))];
        }
        return e;
    }

    void HuffmanBlock(const uint32_t* lt) {
        for (;;) {
            if (static_cast<size_t>(inEnd - in) < kInMargin) RefillInput();
            if constexpr (Streaming)
                if (static_cast<size_t>(outEnd - out) < kOutMargin) MakeRoom();
            if (static_cast<size_t>(inEnd - in) >= kInMargin &&
                static_cast<size_t>(outEnd - out) >= kOutMargin) {
                // Once 32 KiB lie behind the output position no distance can
                // reach before the start, and the loop need not check.
                const bool fullWindow = static_cast<size_t>(out - outBase) >= kHistory;
                if (useBmi2 ? FastLoopBmi2(lt, fullWindow) : FastLoopPlain(lt, fullWindow)) return;
                continue;
            }
            if (SlowSymbol(lt)) return;
        }
    }

    // Decodes while the margins hold; true when the end-of-block code was read.
    //
    // Bit budget: a refill leaves 64 bits of real input in `bits` (count says at
    // least 56). Between two refills one literal entry and the next lookup (26
    // bits at most), or one length and distance with all their extra bits and the
    // next lookup (20 + 28 + 11 = 59 bits) are taken, so every table index is made
    // of real input and count never drops below zero. One literal per turn of the
    // loop: a chain of tests for "another literal?" mispredicts more than the
    // refill it saves costs.
    //
    // Only the low six bits of `count` are kept exact: entries are subtracted
    // from it whole, and the refill and the shifts read no more than those bits.
    // The refill moves the input position on by seven bytes less the whole bytes
    // still in `count`; the seven are added apart, so that only a shift, a mask
    // and a subtraction lie between the bits a symbol uses up and the address of
    // the next load, which the turns of the loop wait on.
    // The loop is compiled twice: for any processor, and with the BMI2 shifts and
    // bit extraction (three-operand, flag-free), taken when the processor has them.
    MV_HOT_ALIGN bool FastLoopPlain(const uint32_t* lt, bool fullWindow) {
        return fullWindow ? FastLoop<false, true>(lt) : FastLoop<false, false>(lt);
    }
    MV_HOT_ALIGN MV_BMI2_TARGET bool FastLoopBmi2(const uint32_t* lt, bool fullWindow) {
        return fullWindow ? FastLoop<true, true>(lt) : FastLoop<true, false>(lt);
    }

    template <bool Bmi2, bool FullWindow> MV_ALWAYS_INLINE bool FastLoop(const uint32_t* lt) {
        uint64_t bits = bb;
        uint32_t count = bc;
        const uint8_t* ip = in;
        uint8_t* op = out;
        const uint8_t* const ipLimit = inEnd - kInMargin;
        uint8_t* const opLimit = outEnd - kOutMargin;
        const uint8_t* const base = outBase;
        bool endOfBlock = false;
        int error = 0;

#define MV_REFILL()                                                                                          \
    do {                                                                                                     \
        bits |= Load64(ip) << (count & 63);                                                                  \
        ip = Opaque(ip + 7) - ((count >> 3) & 7);                                                            \
        count |= 56;                                                                                         \
    } while (0)
#define MV_CONSUME(entry)                                                                                    \
    do {                                                                                                     \
        bits >>= (entry)&63;                                                                                 \
        count -= (entry);                                                                                    \
    } while (0)

        constexpr uint32_t litMask = (1u << kLitRootBits) - 1;
        constexpr uint32_t distMask = (1u << kDistRootBits) - 1;
        MV_REFILL();
        // The entry for the next code is always looked up ahead, as soon as its bits
        // are known, so the lookup overlaps the work on the current symbol.
        uint32_t e = lt[bits & litMask];
        do {
            MV_REFILL();
            if (__builtin_expect(e & kLiteral, 1)) {
                if constexpr (Bmi2 && kHasExtraction) {
                    const uint64_t next = IndexAfter(e, bits);
                    MV_CONSUME(e);
                    *op++ = LiteralByte(e);
                    e = lt[next];
                } else {
                    MV_CONSUME(e);
                    *op++ = LiteralByte(e);
                    e = lt[bits & litMask];
                }
                continue;
            }
            uint64_t saved = bits;
            MV_CONSUME(e);
            if (__builtin_expect(e & kExceptional, 0)) {
                if (e & kSubTable) {
                    e = lt[ValueOf(e) + (bits & ((1u << CodeBits(e)) - 1))];
                    saved = bits;
                    MV_CONSUME(e);
                    if (e & kLiteral) {
                        *op++ = LiteralByte(e);
                        e = lt[bits & litMask];
                        continue;
                    }
                }
                if (e & kExceptional) {
                    if (e & kEndOfBlock)
                        endOfBlock = true;
                    else
                        error = dataError;
                    break;
                }
            }
            const uint32_t length = BasePlusExtraFast<Bmi2>(e, saved);
            e = lt[kDistOffset + (bits & distMask)];
            if (__builtin_expect(e & kExceptional, 0)) {
                if (!(e & kSubTable)) {
                    error = dataError;
                    break;
                }
                MV_CONSUME(e);
                e = lt[kDistOffset + ValueOf(e) + (bits & ((1u << CodeBits(e)) - 1))];
                if (e & kExceptional) {
                    error = dataError;
                    break;
                }
            }
            saved = bits;
            MV_CONSUME(e);
            const uint32_t distance = BasePlusExtraFast<Bmi2>(e, saved);
            if (!FullWindow && __builtin_expect(distance > static_cast<size_t>(op - base), 0)) {
                error = dataError;
                break;
            }
            e = lt[bits & litMask];
            const uint8_t* from = op - distance;
            uint8_t* const end = op + length;
            if (distance >= 16) {
                Copy16(op, from);
                Copy16(op + 16, from + 16);
                if (length > 32) {
                    op += 32;
                    from += 32;
                    do {
                        Copy16(op, from);
                        Copy16(op + 16, from + 16);
                        op += 32;
                        from += 32;
                    } while (op < end);
                }
            } else if (distance >= 8) {
                Copy8(op, from);
                Copy8(op + 8, from + 8);
                Copy8(op + 16, from + 16);
                Copy8(op + 24, from + 24);
                Copy8(op + 32, from + 32);
                if (length > 40) {
                    op += 40;
                    from += 40;
                    do {
                        Copy8(op, from);
                        Copy8(op + 8, from + 8);
                        op += 16;
                        from += 16;
                    } while (op < end);
                }
            } else if (distance == 1) {
                const uint64_t v = 0x0101010101010101ull * from[0];
                do {
                    std::memcpy(op, &v, 8);
                    std::memcpy(op + 8, &v, 8);
                    op += 16;
                } while (op < end);
            } else {
                // Short period: each eight-byte copy makes the repeated stretch longer
                // until it spans eight bytes, then the copy goes on eight at a time
                // from a multiple of the period back.
                do {
                    Copy8(op, from);
                    op += op - from;
                } while (op - from < 8 && op < end);
                while (op < end) {
                    Copy8(op, from);
                    op += 8;
                    from += 8;
                }
            }
            op = end;
        } while (ip <= ipLimit && op <= opLimit);
#undef MV_CONSUME
#undef MV_REFILL
        bb = bits;
        bc = count & 63;
        in = ip;
        out = op;
        if (error) throw ECodecError(error, "invalid code in deflate data");
        return endOfBlock;
    }

    // One symbol with every check in place, for the ends of the buffers.
    bool SlowSymbol(const uint32_t* lt) {
        const uint32_t* const dt = lt + kDistOffset;
        Need(15);
        unsigned skip;
        uint32_t e = Lookup(lt, bb, kLitRootBits, skip);
        if (e & kLiteral) {
            Consume(skip + TotalBits(e));
            PutByte(LiteralByte(e));
            return false;
        }
        if (e & kExceptional) {
            if (!(e & kEndOfBlock)) throw ECodecError(dataError, "invalid code in deflate data");
            Consume(skip + TotalBits(e));
            return true;
        }
        Need(skip + TotalBits(e));
        const uint32_t length = BasePlusExtra(e, bb >> skip);
        Consume(skip + TotalBits(e));
        Need(15);
        e = Lookup(dt, bb, kDistRootBits, skip);
        if (e & kExceptional) throw ECodecError(dataError, "invalid distance code in deflate data");
        Need(skip + TotalBits(e));
        const uint32_t distance = BasePlusExtra(e, bb >> skip);
        Consume(skip + TotalBits(e));
        if (distance > static_cast<size_t>(out - outBase))
            throw ECodecError(dataError, "distance reaches before the start of the output");
        for (uint32_t k = 0; k < length; ++k) {
            if (out == outEnd) MakeRoom(); // keeps 32 KiB of history below out
            *out = out[-static_cast<ptrdiff_t>(distance)];
            ++out;
        }
        return false;
    }

    // input
    const uint8_t* in = nullptr;
    const uint8_t* inEnd = nullptr;
    uint64_t bb = 0;      // bit buffer; bits above bc are copies of the bytes at `in`, or zero
    unsigned bc = 0;      // valid bits in bb
    unsigned overrun = 0; // zero bytes supplied past the end of the input
    // output
    uint8_t* out = nullptr;
    uint8_t* outEnd = nullptr;
    uint8_t* outBase = nullptr; // the oldest byte a distance may reach
    int dataError = kErrBlock;
    const bool useBmi2 = Bmi2Enabled().load(std::memory_order_relaxed);
    // tables
    std::unique_ptr<uint32_t[]> tables; // literal/length and distance tables of the current block
    // streaming
    CodecInput* source = nullptr;
    CodecOutput* sink = nullptr;
    uint64_t maxOutput = UINT64_MAX;
    std::unique_ptr<uint8_t[]> inBuffer, window;
    bool inEof = false;
    uint64_t readTotal = 0;
    uint8_t* flushed = nullptr;
    uint64_t written = 0;
};

} // namespace

bool InflateUsesBmi2() {
    return Bmi2Enabled().load(std::memory_order_relaxed);
}

void SetInflateBmi2(bool enabled) {
    Bmi2Enabled() = enabled && ProcessorHasBmi2();
}

InflateResult Inflate(CodecInput& in, CodecOutput& out, uint64_t maxOutput) {
    auto engine = std::make_unique<InflateEngine<true>>(in, out, maxOutput);
    InflateResult result;
    try {
        result.complete = true;
        if (engine->Run()) result.consumed = engine->Consumed(engine->ReadTotal());
    } catch (const StopRequested&) {
        result.complete = false;
    }
    result.written = engine->Written();
    return result;
}

size_t InflateMemory(const uint8_t* src, size_t srcSize, uint8_t* dst, size_t dstCapacity, size_t* consumed) {
    InflateEngine<false> engine(src, srcSize, dst, dstCapacity);
    size_t used = 0;
    if (engine.Run()) used = static_cast<size_t>(engine.Consumed(srcSize));
    if (consumed) *consumed = used;
    return static_cast<size_t>(engine.OutPosition() - dst);
}

} // namespace mv
