// Deflate encoder (RFC 1951): LZ77 over a 32 KiB window and per-block Huffman
// coding. Levels 1 and 2 have a quick parser of their own; levels 3..9 use hash
// chains steered by a table of per-level limits.
//
// Layout: a 64 KiB window buffer (two halves) slid by 32 KiB, symbol buffers of
// up to 65535 literals and matches per block, and the match tables of the
// parser in use (0 = no entry). Levels 3..9: hash chains with a head per hash
// value and a link per window position; the level table's good, lazy, nice and
// chain values steer the search: greedy parsing for level 3, one-step lazy
// parsing for 4..9. A match only a byte or two longer than another but much
// farther away is passed over, since its distance costs more bits than the
// length saves. Levels 1 and 2: greedy
// parsing over buckets that each hold the last two positions with the same
// hash of four bytes.
//
// What makes it fast:
// - chains are keyed on a multiplicative hash of the first four bytes, so a
//   chain holds almost only real candidates and ends sooner; the nearest
//   earlier position with the same first three bytes is kept in a table of its
//   own and tried first, so three-byte matches are found as before. The search
//   sees at least the candidates a three-byte chain of the same length would
//   give, and compresses at least as well;
// - a candidate is rejected on two 16-bit loads (the bytes that end the best
//   match so far, then the first two bytes) before it is compared, and the
//   comparison runs 8 bytes at a time, locating the first difference by
//   counting trailing zero bits;
// - the quick parser looks at no more than two candidates, each accepted or
//   rejected on one 32-bit comparison, and asks for the bucket of the next
//   position it will search before it judges the current one, so the bucket's
//   load overlaps that work; at level 1 it puts every position of a match of
//   up to 32 bytes into its table but only every 8th of a longer one (level 2
//   puts them all), searches ever fewer positions
//   while nothing matches (data that does not compress costs little), and runs
//   its loop on locals between refills of the window;
// - the window carries zeroed slack past its end, so the comparisons never
//   need a bounds test (lengths are clipped to the look-ahead afterwards);
// - sliding the window lowers the tables in use with vector instructions;
// - the bit writer keeps 64 bits and stores 8 bytes at once, so a whole match
//   (length code, extra bits, distance code, extra bits) costs one store; it
//   works on locals while it writes a block's symbols;
// - a symbol is kept in 32 bits: the literal or length symbol, the distance
//   code and the distance's extra bits, so that writing it takes table lookups
//   only and no branch on whether it is a literal or a match (the two alternate
//   unpredictably); frequencies are counted as symbols are recorded.
//
// Where blocks end: symbols are gathered in segments of 2048 (8192 for the
// quick parser of levels 1 and 2). At the end of a segment its cost in a block
// of its own is set against its cost as part of the block so far (exact sizes
// from the trees each would get); when apart is cheaper the block is written
// and the segment starts the next one. So a block ends where the data changes
// kind, and runs long over data that does not. A segment whose symbols are
// spread much as the block's are joins it without being costed.
#include "archive/codecs/Deflate.h"

#include "archive/codecs/DeflateTrees.h"
#include "resources/ArcErrorNumbers.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

namespace mv {

using namespace deflate;

namespace {

constexpr uint32_t WSize = 32768;
constexpr uint32_t WMask = WSize - 1;
constexpr uint32_t WindowBytes = 2 * WSize;
constexpr uint32_t HashBits = 15;
constexpr uint32_t HashSize = 1u << HashBits;
constexpr uint32_t NearBits = 15;
// The quick parser's table: buckets of two positions, keyed on four bytes;
// 2^15 of them at level 1 (128 KiB, quick to slide and kept in the
// second-level cache), 2^16 at level 2, which finds more with them.
constexpr uint32_t QuickBucketBits1 = 15, QuickBucketBits2 = 16;
// The quick parser takes the first candidate when it matches this many bytes.
constexpr uint32_t QuickNice = 16;
// Level 1 puts every position of a match of up to this many bytes into the
// table, and of a longer one only some.
constexpr uint32_t QuickInsertAll = 32;
// The older candidate of the quick parser is not taken for one byte more when
// its distance needs more than this many extra bits more than the newer's.
constexpr uint32_t QuickFartherBits = 3;
constexpr uint32_t HashMultiplier = 0x9E3779B1u;
constexpr uint32_t MinMatch = 3;
constexpr uint32_t MaxMatch = 258;
constexpr uint32_t MinLookahead = MaxMatch + MinMatch + 1;
constexpr uint32_t MaxDist = WSize - MinLookahead;
constexpr uint32_t TooFar = 8192;
// A match one byte longer than the one in hand is not taken when its distance
// needs more than this many extra bits more (it would cost more than it saves).
constexpr uint32_t FartherBits = 4;
// The same for the match one position later of the lazy parser, which also
// costs a literal: one byte longer, or two bytes longer.
constexpr int LazyFartherBits1 = 3;
constexpr int LazyFartherBits2 = 7;
constexpr uint32_t LitBufSize = 65536;
// A recorded symbol: bits 0-8 the literal (0..255) or 256 + length - 3; bits
// 9-13 the distance code, NoDistCode for a literal; bits 14-26 the distance's
// extra bits.
constexpr uint32_t NoDistCode = DistanceCodes;
constexpr uint32_t LiteralSymbol(uint32_t c) { return c | (NoDistCode << 9); }
inline bool IsMatchSymbol(uint32_t sym) { return (sym & 0x100) != 0; }
// Symbols are gathered in segments of this many; at the end of each the block
// writer decides whether the segment joins the block or starts a new one. The
// quick parser's are longer: at its speed the costing of short ones would show.
constexpr uint32_t SegmentSymbols = 2048;
constexpr uint32_t QuickSegmentSymbols = 8192;
// A segment is costed only when its symbols are spread over the codes
// differently from the block's by more than this many percent (total
// variation); a segment that looks like the block joins it at once. Costing
// is the dearest part of ending blocks, and a segment this close to its block
// seldom repays a block of its own; levels 7..9 cost more of them.
constexpr uint64_t QuickSimilarPercent = 40;
constexpr uint64_t SimilarPercent = 35;
constexpr uint64_t BestSimilarPercent = 25;
// Zeroed bytes after the window, so that the 8-byte comparisons may run past
// the data at the very end of the input.
constexpr uint32_t WindowSlack = 2 * MaxMatch + 16;
constexpr size_t OutBufSize = 32768;
constexpr size_t OutSlack = 1024;

struct TLevel {
    uint16_t good, lazy, nice, chain;
};
constexpr TLevel LevelTable[10] = {
    {0, 0, 0, 0},    {4, 4, 8, 4},      {4, 5, 16, 8},     {4, 6, 32, 32},       {4, 4, 16, 16},
    {8, 16, 32, 32}, {4, 16, 48, 48}, {8, 32, 128, 256}, {32, 128, 258, 1024}, {32, 258, 258, 1024}};

// The match search is inlined into the parser's loop, where it runs on the
// loop's locals; GCC and Clang would otherwise keep it a call.
#if defined(__GNUC__)
#define MV_DEFLATE_ALWAYS_INLINE __attribute__((always_inline)) inline
#define MV_PREFETCH(p) __builtin_prefetch(p)
#else
#define MV_DEFLATE_ALWAYS_INLINE inline
#define MV_PREFETCH(p) ((void)0)
#endif

inline uint16_t Load16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}
inline uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline uint64_t Load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}
inline void Store64LE(uint8_t* p, uint64_t v) {
    if constexpr (std::endian::native == std::endian::big) {
        for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
    } else {
        std::memcpy(p, &v, 8);
    }
}
// Number of equal leading bytes of a and b, up to max (which is a multiple of 8 plus at most 7).
inline uint32_t MatchLength(const uint8_t* a, const uint8_t* b, uint32_t max) {
    uint32_t len = 0;
    for (;;) {
        uint64_t x = Load64(a + len) ^ Load64(b + len);
        if (x != 0) {
            if constexpr (std::endian::native == std::endian::little)
                len += static_cast<uint32_t>(std::countr_zero(x)) >> 3;
            else
                len += static_cast<uint32_t>(std::countl_zero(x)) >> 3;
            return len < max ? len : max;
        }
        len += 8;
        if (len >= max) return max;
    }
}

inline uint32_t BucketHash(uint32_t fourBytes, uint32_t bucketBits) {
    return (fourBytes * HashMultiplier) >> (32 - bucketBits);
}

// Lowers every position of a hash table by 32768 after the window slid; the
// ones that fall out of the window become 0 (no entry). Written as a saturating
// subtraction, which compilers turn into vector instructions (eight or more
// entries per instruction); GCC needs to be asked for that at -O2.
#if defined(__GNUC__) && !defined(__clang__)
__attribute__((optimize("tree-vectorize")))
#endif
void Rebase(uint16_t* table, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const uint16_t v = table[i];
        table[i] = static_cast<uint16_t>(v > WSize ? v - WSize : 0);
    }
}

struct ECancelled {};

} // namespace

struct TDeflateEncoder::State {
    // Working memory, allocated once per encoder.
    std::vector<uint8_t> window = std::vector<uint8_t>(WindowBytes + WindowSlack);
    // The match tables are allocated when a member first needs them: the quick
    // parser uses the buckets, the others the chains and the near table.
    std::vector<uint16_t> head, prev, near;
    std::vector<uint16_t> buckets;
    uint32_t nearHead = 0;
    std::vector<uint32_t> syms = std::vector<uint32_t>(LitBufSize);
    std::vector<uint8_t> outBuf = std::vector<uint8_t>(OutBufSize + OutSlack);

    // One member's state.
    CodecInput* in = nullptr;
    CodecOutput* out = nullptr;
    TDeflateOptions options;
    TDeflateResult result;
    const TTables* tables = nullptr;
    uint32_t good = 0, lazy = 0, nice = 0, chain = 0;
    uint32_t strStart = 0, lookahead = 0, matchStart = 0, prevLength = 0;
    int64_t blockStart = 0;
    bool endOfInput = false;
    uint32_t symCount = 0;
    // Frequencies of every symbol in the buffer (block and open segment).
    uint32_t litFreq[LiteralCodes + 2];
    uint32_t distFreq[DistanceCodes];
    // The block so far is symbols [0, segStart) with these frequencies and an
    // estimated coded size of blockBits; the open segment ends at segLimit.
    uint32_t segmentSymbols = SegmentSymbols;
    uint32_t segStart = 0, segLimit = SegmentSymbols;
    uint32_t blockLitFreq[LiteralCodes + 2];
    uint32_t blockDistFreq[DistanceCodes];
    uint64_t blockBits = 0;
    bool blockBitsKnown = false;
    uint64_t bitBuf = 0;
    uint32_t bitCount = 0;
    uint8_t* outPtr = nullptr;
    uint64_t bytesOut = 0; // handed to the output so far

    void Begin(CodecInput& i, CodecOutput& o, const TDeflateOptions& opt) {
        in = &i;
        out = &o;
        options = opt;
        int level = std::clamp(opt.Level, 1, 9);
        options.Level = level;
        good = LevelTable[level].good;
        lazy = LevelTable[level].lazy;
        nice = LevelTable[level].nice;
        chain = LevelTable[level].chain;
        result = TDeflateResult{};
        tables = &Tables();
        strStart = lookahead = matchStart = 0;
        prevLength = MinMatch - 1;
        blockStart = 0;
        endOfInput = false;
        segmentSymbols = QuickParser() ? QuickSegmentSymbols : SegmentSymbols;
        // Only the tables of the level's parser are used (and slid) for this member.
        if (QuickParser()) {
            buckets.assign(2u << QuickBits(), 0);
        } else {
            head.assign(HashSize, 0);
            prev.assign(WSize, 0);
            near.assign(1u << NearBits, 0);
        }
        nearHead = 0;
        bitBuf = 0;
        bitCount = 0;
        outPtr = outBuf.data();
        bytesOut = 0;
        ResetBlock();
    }

    bool QuickParser() const { return options.Level <= 2; }
    uint32_t QuickBits() const { return options.Level == 1 ? QuickBucketBits1 : QuickBucketBits2; }

    void ResetBlock() {
        std::fill(std::begin(litFreq), std::end(litFreq), 0);
        std::fill(std::begin(distFreq), std::end(distFreq), 0);
        litFreq[EndOfBlock] = 1;
        symCount = 0;
        segStart = 0;
        segLimit = segmentSymbols;
    }

    // ---- input -------------------------------------------------------------

    // Tops the look-ahead up to MinLookahead bytes, sliding the window by
    // 32 KiB when the position has moved into its upper half and input remains.
    void FillWindow() {
        if (out->Cancelled()) throw ECancelled{};
        uint8_t* w = window.data();
        do {
            if (endOfInput) return;
            uint32_t more = WindowBytes - lookahead - strStart;
            if (strStart >= WSize + MaxDist) {
                std::memcpy(w, w + WSize, WSize);
                matchStart -= WSize;
                strStart -= WSize;
                blockStart -= WSize;
                if (QuickParser()) {
                    Rebase(buckets.data(), buckets.size());
                } else {
                    Rebase(head.data(), head.size());
                    Rebase(prev.data(), prev.size());
                    Rebase(near.data(), near.size());
                }
                more += WSize;
            }
            size_t n = more ? in->Read(w + strStart + lookahead, more) : 0;
            if (n == 0) {
                endOfInput = true;
                // The last positions are hashed and compared with the bytes after
                // the input: zeros, never what an earlier member left there, so
                // that a member's stream never depends on the one before.
                std::memset(w + strStart + lookahead, 0, WindowSlack);
                return;
            }
            if (n > more) throw ECodecError(arcerr::ReadError, "read beyond the requested count");
            lookahead += static_cast<uint32_t>(n);
            result.UnpackedSize += n;
        } while (lookahead < MinLookahead);
    }

    // ---- matching ----------------------------------------------------------

    // Puts the string at position s into the chain of its first four bytes and
    // answers the previous head of that chain (0 = none); nearHead is left at
    // the nearest earlier position with the same first three bytes (by hash).
    inline uint32_t Insert(uint32_t s) {
        TCandidates c = InsertAt(window.data(), s);
        nearHead = c.nearPos;
        return c.chainPos;
    }

    // The candidates of a position: the previous head of its chain and the
    // nearest earlier position with the same first three bytes (0 = none).
    struct TCandidates {
        uint32_t chainPos, nearPos;
    };
    inline TCandidates InsertAt(const uint8_t* w, uint32_t s) {
        const uint32_t v = Load32(w + s);
        const uint32_t h4 = (v * HashMultiplier) >> (32 - HashBits);
        const uint32_t h3 = ((v & 0xFFFFFF) * HashMultiplier) >> (32 - NearBits);
        uint16_t* const heads = head.data();
        uint16_t* const nears = near.data();
        TCandidates c{heads[h4], nears[h3]};
        prev[s & WMask] = static_cast<uint16_t>(c.chainPos);
        heads[h4] = static_cast<uint16_t>(s);
        nears[h3] = static_cast<uint16_t>(s);
        return c;
    }

    // Longest match at strStart longer than prevLength, from the nearest
    // three-byte candidate and the chain from `cur`; sets matchStart. The
    // answer never exceeds the look-ahead.
    uint32_t LongestMatch(uint32_t cur) {
        uint32_t chainLeft = prevLength >= good ? chain >> 2 : chain;
        return FindMatch(window.data(), strStart, lookahead, prevLength, chainLeft,
                         TCandidates{cur, nearHead}, matchStart);
    }

    // Longest match at s longer than `best` (at most `avail` bytes), trying
    // the nearest three-byte candidate (only while nothing of three bytes is
    // known), then at most chainLeft positions of the chain of the first four
    // bytes. A candidate only one byte longer than the match in hand but much
    // farther away is passed over: its distance costs more extra bits than
    // the byte saves. Answers the length (clipped to `avail`) and sets start
    // when a longer match was found.
    MV_DEFLATE_ALWAYS_INLINE uint32_t FindMatch(const uint8_t* w, uint32_t s, uint32_t avail, uint32_t best, uint32_t chainLeft,
                              TCandidates c, uint32_t& start) const {
        const uint8_t* scan = w + s;
        const uint32_t niceLen = nice < avail ? nice : avail;
        const uint32_t limit = s > MaxDist ? s - MaxDist : 0;
        uint32_t bestDistBits = 0; // of the match found here (0 = none yet)
        if (best < MinMatch && c.nearPos > limit) {
            uint32_t len = MatchLength(scan, w + c.nearPos, MaxMatch);
            if (len > best) {
                best = len;
                start = c.nearPos;
                bestDistBits = static_cast<uint32_t>(std::bit_width(s - c.nearPos));
                if (len >= niceLen) return best <= avail ? best : avail;
            }
        }
        const uint16_t* const links = prev.data();
        uint32_t cur = c.chainPos;
        if (cur <= limit || chainLeft == 0) return best <= avail ? best : avail;
        const uint16_t scanStart = Load16(scan);
        uint16_t scanEnd = Load16(scan + best - 1);
        do {
            // The next link is loaded before the candidate is judged: the walk
            // is a chain of dependent loads, and a mispredicted test must not
            // delay the next one.
            const uint32_t next = links[cur & WMask];
            const uint8_t* m = w + cur;
            if (Load16(m + best - 1) == scanEnd && Load16(m) == scanStart) {
                uint32_t len = 2 + MatchLength(scan + 2, m + 2, MaxMatch - 2);
                if (len > best) {
                    const uint32_t distBits = static_cast<uint32_t>(std::bit_width(s - cur));
                    if (len != best + 1 || bestDistBits == 0 || distBits <= bestDistBits + FartherBits) {
                        bestDistBits = distBits;
                        start = cur;
                        best = len;
                        if (len >= niceLen) break;
                        scanEnd = Load16(scan + best - 1);
                    }
                }
            }
            cur = next;
        } while (cur > limit && --chainLeft != 0);
        return best <= avail ? best : avail;
    }

    // ---- symbols -----------------------------------------------------------

    // Records a literal; answers whether the block must be flushed now.
    inline bool TallyLiteral(uint8_t c) {
        syms[symCount++] = LiteralSymbol(c);
        ++litFreq[c];
        return BlockFull();
    }

    // Records a match of the given distance (1..32768) and length - 3.
    inline bool TallyMatch(uint32_t dist, uint32_t lengthMinus3) {
        syms[symCount++] = CountMatch(*tables, litFreq, distFreq, dist, lengthMinus3);
        return BlockFull();
    }

    // The symbol of a match of the given distance (1..32768) and length - 3,
    // counted in the frequencies.
    static inline uint32_t CountMatch(const TTables& t, uint32_t* litF, uint32_t* distF, uint32_t dist,
                                      uint32_t lengthMinus3) {
        const uint32_t d = dist - 1;
        const uint32_t dc = DistCodeOf(t, d);
        ++litF[t.LengthCode[lengthMinus3] + EndOfBlock + 1];
        ++distF[dc];
        return (256 + lengthMinus3) | (dc << 9) | ((d - t.BaseDist[dc]) << 14);
    }

    // The open segment is full: the parser must call EndSegment.
    inline bool BlockFull() const { return symCount == segLimit; }

    // ---- output ------------------------------------------------------------

    inline void PutBits(uint64_t value, uint32_t count) {
        bitBuf |= value << bitCount;
        bitCount += count;
    }
    // Moves the whole bytes of the bit buffer to the output buffer (at most 7 bits stay).
    inline void FlushBits() {
        Store64LE(outPtr, bitBuf);
        outPtr += bitCount >> 3;
        bitBuf >>= bitCount & 56;
        bitCount &= 7;
    }
    void FlushOut() {
        size_t n = static_cast<size_t>(outPtr - outBuf.data());
        if (n) {
            out->Write(outBuf.data(), n);
            bytesOut += n;
            // Keep the partial byte: it is still in bitBuf and will be stored again.
            outPtr = outBuf.data();
        }
    }
    inline void EnsureOutSpace() {
        if (outPtr - outBuf.data() > static_cast<ptrdiff_t>(OutBufSize)) FlushOut();
    }
    // Pads to a byte boundary.
    void AlignToByte() {
        FlushBits();
        if (bitCount) ++outPtr;
        bitBuf = 0;
        bitCount = 0;
    }
    bool AnythingWritten() const { return bytesOut != 0 || outPtr != outBuf.data() || bitCount != 0; }

    void WriteRaw(const uint8_t* data, size_t n) {
        FlushOut();
        if (n) {
            out->Write(data, n);
            bytesOut += n;
        }
    }

    // ---- blocks ------------------------------------------------------------

    // Writes the symbols of the current block with the given codes. The bit
    // buffer and output pointer live in locals here: the byte stores would
    // otherwise make the compiler reload and store them for every symbol.
    void CompressSymbols(uint32_t count, const uint16_t* litCode, const uint8_t* litLen,
                         const uint16_t* distCode, const uint8_t* distLen) {
        const TTables& t = *tables;
        // Per literal/length index of a symbol: its code, with a length's extra
        // bits already added, and the bits they take; per distance code its
        // code, its length and the bits it takes with its extra bits. The
        // literals' entry NoDistCode writes nothing.
        uint32_t llBits[512];
        uint8_t llCount[512];
        for (int c = 0; c < 256; ++c) {
            llBits[c] = litCode[c];
            llCount[c] = litLen[c];
        }
        for (int l = 0; l < 256; ++l) {
            int code = t.LengthCode[l];
            int sym = code + EndOfBlock + 1;
            llBits[256 + l] = litCode[sym] | (static_cast<uint32_t>(l - t.BaseLength[code]) << litLen[sym]);
            llCount[256 + l] = static_cast<uint8_t>(litLen[sym] + t.ExtraLengthBits[code]);
        }
        uint32_t dBits[NoDistCode + 1];
        uint8_t dLen[NoDistCode + 1], dCount[NoDistCode + 1];
        for (uint32_t c = 0; c < NoDistCode; ++c) {
            dBits[c] = distCode[c];
            dLen[c] = distLen[c];
            dCount[c] = static_cast<uint8_t>(distLen[c] + t.ExtraDistBits[c]);
        }
        dBits[NoDistCode] = dLen[NoDistCode] = dCount[NoDistCode] = 0;
        const uint32_t* symbols = syms.data();
        const uint8_t* const flushAt = outBuf.data() + OutBufSize;
        uint64_t bits = bitBuf;
        uint32_t used = bitCount;
        uint8_t* o = outPtr;
        for (uint32_t i = 0; i < count; ++i) {
            // At most 20 bits for the literal or length and 28 for the
            // distance, on at most 7 left over: one 64-bit store holds them.
            const uint32_t e = symbols[i];
            const uint32_t ll = e & 0x1FF, dc = (e >> 9) & 31;
            const uint64_t distPart = dBits[dc] | (static_cast<uint64_t>(e >> 14) << dLen[dc]);
            bits |= (llBits[ll] | (distPart << llCount[ll])) << used;
            used += llCount[ll] + dCount[dc];
            Store64LE(o, bits);
            o += used >> 3;
            bits >>= used & 56;
            used &= 7;
            if (o > flushAt) {
                outPtr = o;
                FlushOut();
                o = outPtr;
            }
        }
        bitBuf = bits;
        bitCount = used;
        outPtr = o;
        PutBits(litCode[EndOfBlock], litLen[EndOfBlock]);
        FlushBits();
    }

    // Run-length codes the lengths of one tree into code-length symbols.
    // Each token: symbol (0..18) in the low byte, extra-bit value above it.
    static int ScanTree(const uint8_t* lens, int maxCode, uint16_t* tokens, int count, uint32_t* blFreq) {
        int prevLen = -1;
        int nextLen = lens[0];
        int run = 0;
        int maxRun = 7, minRun = 4;
        if (nextLen == 0) maxRun = 138, minRun = 3;
        for (int n = 0; n <= maxCode; ++n) {
            int curLen = nextLen;
            nextLen = n + 1 <= maxCode ? lens[n + 1] : -1;
            if (++run < maxRun && curLen == nextLen) continue;
            if (run < minRun) {
                for (int k = 0; k < run; ++k) tokens[count++] = static_cast<uint16_t>(curLen);
                blFreq[curLen] += static_cast<uint32_t>(run);
            } else if (curLen != 0) {
                if (curLen != prevLen) {
                    tokens[count++] = static_cast<uint16_t>(curLen);
                    ++blFreq[curLen];
                    --run;
                }
                tokens[count++] = static_cast<uint16_t>(16 | ((run - 3) << 8));
                ++blFreq[16];
            } else if (run <= 10) {
                tokens[count++] = static_cast<uint16_t>(17 | ((run - 3) << 8));
                ++blFreq[17];
            } else {
                tokens[count++] = static_cast<uint16_t>(18 | ((run - 11) << 8));
                ++blFreq[18];
            }
            run = 0;
            prevLen = curLen;
            if (nextLen == 0)
                maxRun = 138, minRun = 3;
            else if (curLen == nextLen)
                maxRun = 6, minRun = 3;
            else
                maxRun = 7, minRun = 4;
        }
        return count;
    }

    // The codes of one block and their cost in bits, header included, for the
    // dynamic and the fixed codes.
    struct TBlockPlan {
        uint8_t litLen[LiteralCodes + 2] = {};
        uint8_t distLen[DistanceCodes] = {};
        int maxLit = 0, maxDist = 0, maxBlIndex = 0, tokenCount = 0;
        uint16_t tokens[LiteralCodes + DistanceCodes + 4];
        uint8_t blLen[BitLengthCodes] = {};
        uint64_t dynBits = 0, staticBits = 0;

        void Make(const TTables& t, const uint32_t* litF, const uint32_t* distF) {
            maxLit = BuildLengths(litF, LiteralCodes, MaxBits, litLen);
            maxDist = BuildLengths(distF, DistanceCodes, MaxBits, distLen);
            uint32_t blFreq[BitLengthCodes] = {};
            int litTokens = ScanTree(litLen, maxLit, tokens, 0, blFreq);
            tokenCount = ScanTree(distLen, maxDist, tokens, litTokens, blFreq);
            BuildLengths(blFreq, BitLengthCodes, MaxBitLengthBits, blLen);
            maxBlIndex = BitLengthCodes - 1;
            while (maxBlIndex >= 3 && blLen[BitLengthOrder[maxBlIndex]] == 0) --maxBlIndex;
            dynBits = 3 + 5 + 5 + 4 + 3 * static_cast<uint64_t>(maxBlIndex + 1);
            for (int s = 0; s < BitLengthCodes; ++s)
                dynBits += static_cast<uint64_t>(blFreq[s]) * (blLen[s] + BlExtra[s]);
            staticBits = 3;
            for (int s = 0; s < LiteralCodes; ++s) {
                uint32_t extra = s > EndOfBlock ? t.ExtraLengthBits[s - EndOfBlock - 1] : 0;
                dynBits += static_cast<uint64_t>(litF[s]) * (litLen[s] + extra);
                staticBits += static_cast<uint64_t>(litF[s]) * (t.FixedLitLen[s] + extra);
            }
            for (int s = 0; s < DistanceCodes; ++s) {
                dynBits += static_cast<uint64_t>(distF[s]) * (distLen[s] + t.ExtraDistBits[s]);
                staticBits += static_cast<uint64_t>(distF[s]) * (5 + t.ExtraDistBits[s]);
            }
        }
        uint64_t Bits() const { return std::min(dynBits, staticBits); }
    };
    static constexpr uint8_t BlExtra[BitLengthCodes] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                        0, 0, 0, 0, 0, 0, 2, 3, 7};

    uint64_t BlockBitsOf(const uint32_t* litF, const uint32_t* distF) const {
        TBlockPlan plan;
        plan.Make(*tables, litF, distF);
        return plan.Bits();
    }

    // Input bytes the first `count` symbols of the buffer stand for.
    uint64_t InputLengthOf(uint32_t count) const {
        uint64_t n = 0;
        for (uint32_t i = 0; i < count; ++i) {
            const uint32_t e = syms[i];
            n += 1 + (IsMatchSymbol(e) ? (e & 0xFF) + MinMatch - 1 : 0);
        }
        return n;
    }

    // The open segment is full (or the input ended). A segment whose symbols are
    // coded smaller in a block of their own than as part of the block so far
    // ends that block: the block is written and the segment starts the next.
    // The block is also written when the buffer has no room for one more segment.
    void EndSegment(bool last) {
        if (symCount > segStart) {
            if (segStart == 0) {
                blockBitsKnown = false;
            } else {
                uint32_t segLit[LiteralCodes + 2], segDist[DistanceCodes];
                for (int c = 0; c < LiteralCodes + 2; ++c) segLit[c] = litFreq[c] - blockLitFreq[c];
                for (int c = 0; c < DistanceCodes; ++c) segDist[c] = distFreq[c] - blockDistFreq[c];
                segLit[EndOfBlock] = 1;
                if (LooksLikeBlock(segLit, segDist)) {
                    blockBitsKnown = false;
                } else {
                    if (!blockBitsKnown) blockBits = BlockBitsOf(blockLitFreq, blockDistFreq);
                    uint64_t joined = BlockBitsOf(litFreq, distFreq);
                    uint64_t apart = BlockBitsOf(segLit, segDist);
                    if (blockBits + apart < joined) {
                        WriteHead(segLit, segDist);
                        blockBits = apart;
                    } else {
                        blockBits = joined;
                    }
                    blockBitsKnown = true;
                }
            }
            std::copy(std::begin(litFreq), std::end(litFreq), blockLitFreq);
            std::copy(std::begin(distFreq), std::end(distFreq), blockDistFreq);
            segStart = symCount;
        }
        if (last || symCount + segmentSymbols > LitBufSize - 1) {
            WriteBlock(last, symCount, litFreq, distFreq,
                       static_cast<uint64_t>(static_cast<int64_t>(strStart) - blockStart));
            blockStart = strStart;
            ResetBlock();
        } else {
            segLimit = symCount + segmentSymbols;
        }
    }

    // Whether the open segment's symbols are spread over the codes much as
    // the block's are (their total variation distance is small), so that
    // costing it apart is not worth the trees: it joins the block.
    bool LooksLikeBlock(const uint32_t* segLit, const uint32_t* segDist) const {
        const uint64_t nSeg = symCount - segStart, nBlock = segStart;
        uint64_t diff = 0;
        for (int c = 0; c < LiteralCodes; ++c) {
            const uint64_t a = segLit[c] * nBlock, b = blockLitFreq[c] * nSeg;
            diff += a > b ? a - b : b - a;
        }
        for (int c = 0; c < DistanceCodes; ++c) {
            const uint64_t a = segDist[c] * nBlock, b = blockDistFreq[c] * nSeg;
            diff += a > b ? a - b : b - a;
        }
        const uint64_t similar = QuickParser()         ? QuickSimilarPercent
                                 : options.Level <= 6 ? SimilarPercent
                                                      : BestSimilarPercent;
        return diff * 100 < 2 * similar * nSeg * nBlock;
    }

    // Writes symbols [0, segStart) as a block of their own and moves the open
    // segment (whose frequencies are given) to the start of the buffer.
    void WriteHead(const uint32_t* segLit, const uint32_t* segDist) {
        uint64_t headLength = InputLengthOf(segStart);
        WriteBlock(false, segStart, blockLitFreq, blockDistFreq, headLength);
        blockStart += static_cast<int64_t>(headLength);
        uint32_t rest = symCount - segStart;
        std::memmove(syms.data(), syms.data() + segStart, rest * sizeof(uint32_t));
        symCount = rest;
        std::copy(segLit, segLit + LiteralCodes + 2, litFreq);
        std::copy(segDist, segDist + DistanceCodes, distFreq);
        segStart = 0;
    }

    // Writes the first `count` symbols of the buffer as one block with the
    // given frequencies; they stand for `storedLen` bytes from blockStart.
    void WriteBlock(bool last, uint32_t count, const uint32_t* litF, const uint32_t* distF,
                    uint64_t storedLen) {
        if (options.EndOnByteBoundary) last = false;
        const TTables& t = *tables;
        const uint8_t* data = blockStart >= 0 ? window.data() + blockStart : nullptr;

        if (options.ClassifyText && result.TextKind < 0) {
            uint64_t binary = 0, text = 0;
            for (int c = 0; c < 7; ++c) binary += litF[c];
            for (int c = 7; c < 128; ++c) text += litF[c];
            for (int c = 128; c < 256; ++c) binary += litF[c];
            result.TextKind = (text >> 2) >= binary ? 1 : 0;
        }

        TBlockPlan plan;
        plan.Make(t, litF, distF);
        uint64_t optBytes = (plan.dynBits + 7) >> 3;
        uint64_t staticBytes = (plan.staticBits + 7) >> 3;
        if (staticBytes <= optBytes) optBytes = staticBytes;

        if (last && options.WholeMemberStore && data && blockStart == 0 && !AnythingWritten() &&
            storedLen <= optBytes) {
            // The whole member is in this one block and does not shrink: the raw
            // bytes themselves are the member, stored.
            WriteRaw(data, storedLen);
            result.Unpackable = true;
        } else if (data && storedLen + 4 <= optBytes) {
            WriteStored(data, storedLen, last);
        } else if (staticBytes == optBytes) {
            PutBits((1u << 1) | (last ? 1u : 0u), 3);
            CompressSymbols(count, t.FixedLitCode, t.FixedLitLen, t.FixedDistCode, FixedDistLen());
        } else {
            uint16_t litCode[LiteralCodes + 2];
            uint16_t distCode[DistanceCodes];
            uint16_t blCode[BitLengthCodes];
            MakeCodes(plan.litLen, LiteralCodes, litCode);
            MakeCodes(plan.distLen, DistanceCodes, distCode);
            MakeCodes(plan.blLen, BitLengthCodes, blCode);
            PutBits((2u << 1) | (last ? 1u : 0u), 3);
            PutBits(static_cast<uint32_t>(plan.maxLit + 1 - 257), 5);
            PutBits(static_cast<uint32_t>(plan.maxDist + 1 - 1), 5);
            PutBits(static_cast<uint32_t>(plan.maxBlIndex + 1 - 4), 4);
            FlushBits();
            for (int k = 0; k <= plan.maxBlIndex; ++k) {
                PutBits(plan.blLen[BitLengthOrder[k]], 3);
                FlushBits();
            }
            for (int k = 0; k < plan.tokenCount; ++k) {
                int sym = plan.tokens[k] & 0xFF;
                if (plan.blLen[sym] == 0) throw ECodecError(arcerr::InconsistentBitCounts, "code-length code missing");
                PutBits(blCode[sym], plan.blLen[sym]);
                if (sym >= 16) PutBits(static_cast<uint32_t>(plan.tokens[k] >> 8), BlExtra[sym]);
                FlushBits();
            }
            EnsureOutSpace();
            CompressSymbols(count, litCode, plan.litLen, distCode, plan.distLen);
        }
    }

    static const uint8_t* FixedDistLen() {
        static const uint8_t lens[DistanceCodes] = {5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5,
                                                    5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5};
        return lens;
    }

    // Stored blocks of at most 65535 bytes each; only the final one may be last.
    void WriteStored(const uint8_t* data, uint64_t len, bool last) {
        do {
            uint32_t piece = static_cast<uint32_t>(std::min<uint64_t>(len, 65535));
            len -= piece;
            PutBits(last && len == 0 ? 1u : 0u, 3);
            AlignToByte();
            uint8_t hdr[4] = {static_cast<uint8_t>(piece), static_cast<uint8_t>(piece >> 8),
                              static_cast<uint8_t>(~piece), static_cast<uint8_t>(~piece >> 8)};
            std::memcpy(outPtr, hdr, 4);
            outPtr += 4;
            WriteRaw(data, piece);
            data += piece;
        } while (len != 0);
    }

    void FinishStream() {
        if (options.EndOnByteBoundary) {
            // An empty stored block, not final: a following stream continues on
            // the byte boundary it ends on.
            PutBits(0, 3);
            AlignToByte();
            const uint8_t empty[4] = {0x00, 0x00, 0xFF, 0xFF};
            std::memcpy(outPtr, empty, 4);
            outPtr += 4;
        }
        AlignToByte();
        FlushOut();
    }

    // Puts the tail of the preset history at the start of the window and into
    // the match tables; the input then follows it.
    void LoadDictionary() {
        size_t n = std::min<size_t>(options.DictionarySize, WSize);
        if (!options.Dictionary || n == 0) return;
        std::memcpy(window.data(), options.Dictionary + options.DictionarySize - n, n);
        const uint32_t d = static_cast<uint32_t>(n);
        for (uint32_t p = 0; p + 4 <= d; ++p) {
            if (QuickParser())
                BucketInsert(buckets.data(), window.data(), p, QuickBits());
            else
                Insert(p);
        }
        strStart = d;
        blockStart = d;
    }

    // ---- the two parsers ---------------------------------------------------

    // Puts position p into its bucket of the quick parser's table, as the newer of two.
    static inline void BucketInsert(uint16_t* table, const uint8_t* w, uint32_t p, uint32_t bucketBits) {
        uint16_t* b = table + 2 * BucketHash(Load32(w + p), bucketBits);
        b[1] = b[0];
        b[0] = static_cast<uint16_t>(p);
    }

    // Levels 1 and 2: greedy parsing over a table of two candidates per hash
    // of four bytes. The loop runs on locals until the look-ahead or the symbol buffer
    // runs short, since each symbol store would otherwise force the compiler
    // to reload and store the members.
    // Compiled for each table size, so that the hash is a shift by a constant.
    template <uint32_t BucketBits>
    void DeflateQuick() {
        constexpr uint32_t QuickStep = 8, QuickMissShift = 5;
        const uint32_t insertAll = options.Level == 1 ? QuickInsertAll : MaxMatch;
        const uint8_t* w = window.data();
        uint16_t* table = buckets.data();
        uint32_t* symbols = syms.data();
        const TTables& t = *tables;
        uint32_t misses = 0; // positions searched in vain since the last match
        for (;;) {
            if (lookahead < MinLookahead) {
                FillWindow();
                if (lookahead == 0) break;
            }
            uint32_t s = strStart;
            const uint32_t end = s + lookahead;
            // Past `stop` the look-ahead would fall below MinLookahead; at the
            // end of the input the matches are clipped to the data instead.
            const uint32_t stop = endOfInput ? end : end - MinLookahead + 1;
            uint32_t n = symCount;
            const uint32_t nLimit = segLimit;
            while (s < stop && n < nLimit) {
                uint32_t v = Load32(w + s);
                uint16_t* b = table + 2 * BucketHash(v, BucketBits);
                // The next position's bucket is on its way while this one is judged.
                MV_PREFETCH(table + 2 * BucketHash(Load32(w + s + 1), BucketBits));
                uint32_t c0 = b[0], c1 = b[1];
                b[1] = static_cast<uint16_t>(c0);
                b[0] = static_cast<uint16_t>(s);
                uint32_t limit = s > MaxDist ? s - MaxDist : 0;
                uint32_t best = 0, bestPos = 0;
                // Each candidate is judged on one branch (the window may be
                // read at any entry, stale or empty): separate tests would
                // each be mispredicted in turn.
                if ((c0 > limit) & (Load32(w + c0) == v)) {
                    best = 4 + MatchLength(w + s + 4, w + c0 + 4, MaxMatch - 4);
                    bestPos = c0;
                }
                if ((best < QuickNice) & (c1 > limit) & (Load32(w + c1) == v)) {
                    uint32_t len = 4 + MatchLength(w + s + 4, w + c1 + 4, MaxMatch - 4);
                    // One byte longer but much farther away costs more than it saves.
                    if (best != 0 && len == best + 1 &&
                        static_cast<uint32_t>(std::bit_width(s - c1)) >
                            static_cast<uint32_t>(std::bit_width(s - c0)) + QuickFartherBits)
                        len = 0;
                    if (len > best) best = len, bestPos = c1;
                }
                if (best > end - s) best = end - s;
                if (best >= MinMatch) {
                    // The bucket of the position after the match is on its way
                    // while the positions inside it go into the table.
                    MV_PREFETCH(table + 2 * BucketHash(Load32(w + s + best), BucketBits));
                    symbols[n++] = CountMatch(t, litFreq, distFreq, s - bestPos, best - MinMatch);
                    misses = 0;
                    // The positions inside the match: all of a short one; of a
                    // longer one every 8th and the last, which keeps most of
                    // the gain for a fraction of the work.
                    if (best <= insertAll) {
                        for (uint32_t p = s + 1; p < s + best; ++p) BucketInsert(table, w, p, BucketBits);
                    } else {
                        for (uint32_t p = s + 1; p < s + best - 1; p += QuickStep) BucketInsert(table, w, p, BucketBits);
                        BucketInsert(table, w, s + best - 1, BucketBits);
                    }
                    s += best;
                } else {
                    // On data that does not match, search ever fewer positions
                    // (one more byte skipped per 32 vain searches); the bytes
                    // in between go out as literals. They still go into the
                    // table, which costs little, so that a later copy of them
                    // is found wherever its search lands.
                    uint32_t run = 1 + (misses++ >> QuickMissShift);
                    const uint32_t searched = s;
                    do {
                        if (s != searched) BucketInsert(table, w, s, BucketBits);
                        uint8_t c = w[s++];
                        symbols[n++] = LiteralSymbol(c);
                        ++litFreq[c];
                    } while (--run != 0 && s < stop && n < nLimit);
                }
            }
            lookahead = end - s;
            strStart = s;
            symCount = n;
            if (n == nLimit) EndSegment(false);
        }
        EndSegment(true);
    }

    // Level 3: take the longest match at each position at once.
    void DeflateFast() {
        uint32_t matchLength = 0;
        for (;;) {
            if (lookahead < MinLookahead) {
                FillWindow();
                if (lookahead == 0) break;
            }
            uint32_t hashHead = 0;
            nearHead = 0;
            if (lookahead >= MinMatch) hashHead = Insert(strStart);
            if ((hashHead != 0 && strStart - hashHead <= MaxDist) ||
                (nearHead != 0 && strStart - nearHead <= MaxDist))
                matchLength = LongestMatch(hashHead);
            bool flush;
            if (matchLength >= MinMatch) {
                flush = TallyMatch(strStart - matchStart, matchLength - MinMatch);
                lookahead -= matchLength;
                if (matchLength <= lazy && lookahead >= MinMatch) {
                    --matchLength;
                    do {
                        ++strStart;
                        Insert(strStart);
                    } while (--matchLength != 0);
                    ++strStart;
                } else {
                    strStart += matchLength;
                    matchLength = 0;
                }
            } else {
                flush = TallyLiteral(window[strStart]);
                --lookahead;
                ++strStart;
            }
            if (flush) {
                EndSegment(false);
            }
        }
        EndSegment(true);
    }

    // Levels 4..9: look one position ahead before taking a match, and keep the
    // match of the previous position when the next one is not longer. A match
    // found at s-1 is pending while s is searched for a longer one; the loop
    // runs on locals until the look-ahead or the symbol buffer runs short.
    void DeflateLazy() {
        const uint8_t* w = window.data();
        uint32_t* symbols = syms.data();
        const TTables& t = *tables;
        uint32_t pendLen = 0; // length of the match pending at s-1 (0 = none)
        uint32_t pendStart = 0;
        uint32_t s = strStart;
        for (;;) {
            if (lookahead < MinLookahead) {
                strStart = s;
                matchStart = pendStart;
                FillWindow();
                s = strStart;
                pendStart = matchStart;
                if (lookahead == 0) break;
            }
            const uint32_t end = s + lookahead;
            const uint32_t stop = endOfInput ? end : end - MinLookahead + 1;
            uint32_t n = symCount;
            const uint32_t nLimit = segLimit;
            while (s < stop && n < nLimit) {
                const uint32_t avail = end - s;
                TCandidates c{0, 0};
                if (avail >= MinMatch) c = InsertAt(w, s);
                if (pendLen == 0) {
                    uint32_t start = 0;
                    uint32_t len = avail >= MinMatch ? FindMatch(w, s, avail, MinMatch - 1, chain, c, start) : 0;
                    if (len == MinMatch && s - start > TooFar) len = 0;
                    if (len >= MinMatch) {
                        pendLen = len;
                        pendStart = start;
                    } else {
                        symbols[n++] = LiteralSymbol(w[s]);
                        ++litFreq[w[s]];
                    }
                    ++s;
                    continue;
                }
                uint32_t len = 0, start = 0;
                if (pendLen < lazy && avail >= MinMatch)
                    len = FindMatch(w, s, avail, pendLen, pendLen >= good ? chain >> 2 : chain, c, start);
                if (len > pendLen && len <= pendLen + 2) {
                    // Waiting costs a literal; a match only a byte or two
                    // longer but much farther away does not repay it.
                    const int farther = static_cast<int>(std::bit_width(s - start)) - static_cast<int>(std::bit_width(s - 1 - pendStart));
                    if (farther > (len == pendLen + 1 ? LazyFartherBits1 : LazyFartherBits2)) len = 0;
                }
                if (len > pendLen) {
                    // Longer one byte later: the byte before goes out as a literal.
                    symbols[n++] = LiteralSymbol(w[s - 1]);
                    ++litFreq[w[s - 1]];
                    pendLen = len;
                    pendStart = start;
                    ++s;
                    continue;
                }
                symbols[n++] = CountMatch(t, litFreq, distFreq, s - 1 - pendStart, pendLen - MinMatch);
                // The positions inside the match go into the tables too.
                const uint32_t matchEnd = s - 1 + pendLen;
                const uint32_t lastInsert = std::min(matchEnd - 1, end - MinMatch);
                for (uint32_t p = s + 1; p <= lastInsert; ++p) InsertAt(w, p);
                s = matchEnd;
                pendLen = 0;
            }
            lookahead = end - s;
            symCount = n;
            if (n == nLimit) {
                // The symbols stand for the input up to the pending match.
                strStart = pendLen ? s - 1 : s;
                EndSegment(false);
            }
        }
        strStart = s;
        EndSegment(true);
    }

    void Run() {
        LoadDictionary();
        FillWindow();
        if (lookahead == 0 && options.WholeMemberStore) {
            // Nothing to compress: no output at all, recorded as stored.
            result.Unpackable = true;
            return;
        }
        if (QuickParser())
            QuickBits() == QuickBucketBits1 ? DeflateQuick<QuickBucketBits1>() : DeflateQuick<QuickBucketBits2>();
        else if (options.Level <= 3)
            DeflateFast();
        else
            DeflateLazy();
        FinishStream();
    }
};

TDeflateEncoder::TDeflateEncoder() : FState(std::make_unique<State>()) {}
TDeflateEncoder::~TDeflateEncoder() = default;

TDeflateResult TDeflateEncoder::Deflate(CodecInput& in, CodecOutput& out, const TDeflateOptions& options) {
    State& s = *FState;
    s.Begin(in, out, options);
    try {
        s.Run();
    } catch (const ECancelled&) {
        s.result.Cancelled = true;
    }
    s.result.PackedSize = s.bytesOut;
    return s.result;
}

TDeflateResult Deflate(CodecInput& in, CodecOutput& out, const TDeflateOptions& options) {
    TDeflateEncoder encoder;
    return encoder.Deflate(in, out, options);
}

} // namespace mv
