// LZX encoder for cabinet folders.
//
// Each frame becomes one verbatim block: matches of 3..257 bytes found by
// lazy parsing (with the last offset tried as a cheap repeat) over hash chains of 3-byte prefixes reaching
// back over the whole window, then the main and length trees built from the frame's own symbol counts
// (limited to 16 bits), sent as deltas against the previous block's code lengths through a pretree. Matches
// never cross a frame end, so a frame's block ends exactly with its data, padded to a 16-bit word, as the
// decoders of the cabinet format expect. The E8 translation is left off.
//
// Fast because the chains are bounded (256 candidates, stop at 128 bytes), the
// history slides by whole windows, and every frame is coded in one pass over
// a flat symbol list.
#include "archive/codecs/LzxEncode.h"
#include "archive/codecs/LzxFormat.h"
#include "resources/ArcErrorNumbers.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <queue>

namespace mv {

namespace {

using namespace lzx;

constexpr unsigned kMinMatch = 3;
constexpr unsigned kMaxMatch = 257;
constexpr unsigned kFrame = 32768;
constexpr unsigned kSlack = 16;
constexpr unsigned kHashBits = 15;
constexpr unsigned kWays = 32;
constexpr unsigned kLongBits = 16;
constexpr unsigned kLongWays = 16;
constexpr unsigned kHash3Bits = 14;
constexpr unsigned kNiceLength = 96;
constexpr unsigned kLazyLength = 257;
// A 3-byte match further back than this costs more bits than its literals.
constexpr uint32_t kFarThree = 32768;

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

inline uint32_t Hash4(const uint8_t* p) {
    return (Load32(p) * 2654435761u) >> (32 - kHashBits);
}

inline uint32_t Hash8(const uint8_t* p) {
    return static_cast<uint32_t>((Load64(p) * 0x9E3779B97F4A7C15ull) >> (64 - kLongBits));
}

inline uint32_t Hash3(const uint8_t* p) {
    return ((Load32(p) & 0xFFFFFF) * 2654435761u) >> (32 - kHash3Bits);
}

// Length of the common prefix of a and b, at most max; reads up to 7 bytes
// past the shorter end, which the history's slack covers.
inline unsigned MatchLength(const uint8_t* a, const uint8_t* b, unsigned max) {
    unsigned len = 0;
    while (len < max) {
        uint64_t x = Load64(a + len) ^ Load64(b + len);
        if (x) {
            if constexpr (std::endian::native == std::endian::little)
                len += static_cast<unsigned>(std::countr_zero(x)) >> 3;
            else
                len += static_cast<unsigned>(std::countl_zero(x)) >> 3;
            return std::min(len, max);
        }
        len += 8;
    }
    return max;
}

unsigned SlotOf(uint32_t formatted) {
    unsigned lo = 0, hi = kMaxSlots;
    while (lo + 1 < hi) {
        unsigned mid = (lo + hi) / 2;
        if (kSlots.base[mid] <= formatted)
            lo = mid;
        else
            hi = mid;
    }
    return lo;
}

// Huffman code lengths of at most `limit` bits; a tree with fewer than two
// symbols gets partners of its own so that every tree sent is complete.
void BuildLengths(const uint32_t* freq, unsigned n, unsigned limit, uint8_t* lens) {
    std::vector<uint32_t> f(freq, freq + n);
    unsigned used = 0;
    for (unsigned i = 0; i < n; ++i) used += f[i] != 0;
    if (used < 2) {
        for (unsigned i = 0; i < n && used < 2; ++i)
            if (!f[i]) {
                f[i] = 1;
                ++used;
            }
    }
    for (;;) {
        struct Node {
            uint64_t weight;
            int left, right;
        };
        std::vector<Node> nodes;
        using Item = std::pair<uint64_t, int>;
        std::priority_queue<Item, std::vector<Item>, std::greater<Item>> heap;
        std::vector<int> leafOf(n, -1);
        for (unsigned i = 0; i < n; ++i)
            if (f[i]) {
                leafOf[i] = static_cast<int>(nodes.size());
                nodes.push_back({f[i], -1, static_cast<int>(i)});
                heap.push({f[i], leafOf[i]});
            }
        while (heap.size() > 1) {
            auto a = heap.top();
            heap.pop();
            auto b = heap.top();
            heap.pop();
            nodes.push_back({a.first + b.first, a.second, b.second});
            heap.push({a.first + b.first, static_cast<int>(nodes.size()) - 1});
        }
        std::vector<uint8_t> depth(nodes.size(), 0);
        for (int i = static_cast<int>(nodes.size()) - 1; i >= 0; --i)
            if (nodes[i].left >= 0) {
                depth[nodes[i].left] = static_cast<uint8_t>(depth[i] + 1);
                depth[nodes[i].right] = static_cast<uint8_t>(depth[i] + 1);
            }
        unsigned longest = 0;
        for (unsigned i = 0; i < n; ++i) {
            lens[i] = leafOf[i] >= 0 ? depth[leafOf[i]] : 0;
            longest = std::max<unsigned>(longest, lens[i]);
        }
        if (longest <= limit) return;
        for (auto& x : f)
            if (x) x = (x >> 1) | 1;
    }
}

void CodesFromLengths(const uint8_t* lens, unsigned n, uint16_t* codes) {
    uint16_t count[18] = {};
    for (unsigned i = 0; i < n; ++i) count[lens[i]]++;
    count[0] = 0;
    uint16_t next[18] = {};
    uint32_t code = 0;
    for (unsigned len = 1; len <= 16; ++len) {
        next[len] = static_cast<uint16_t>(code);
        code = (code + count[len]) << 1;
    }
    for (unsigned i = 0; i < n; ++i) codes[i] = lens[i] ? next[lens[i]]++ : 0;
}

struct BitWriter {
    std::vector<uint8_t> out;
    uint64_t acc = 0;
    int bits = 0;
    void Put(uint32_t value, int n) {
        if (n == 0) return;
        acc = acc << n | (value & ((1u << n) - 1));
        bits += n;
        while (bits >= 16) {
            uint32_t w = static_cast<uint32_t>(acc >> (bits - 16)) & 0xFFFF;
            out.push_back(static_cast<uint8_t>(w));
            out.push_back(static_cast<uint8_t>(w >> 8));
            bits -= 16;
        }
    }
    void Align() {
        if (bits) Put(0, 16 - bits);
    }
};

struct Symbol {
    uint16_t main;   // main tree symbol
    uint16_t length; // length tree symbol + 1, or 0
    uint32_t extra;  // verbatim offset bits
    uint8_t extraBits;
};

} // namespace

struct TLzxEncoder::State {
    unsigned windowBits;
    uint32_t windowSize;
    unsigned mainSize;
    // History: buf[0] is absolute position `base`. It holds two windows and a
    // frame, so the history slides by a whole window only once per window of
    // input, plus zeroed slack for the 8-byte comparisons past a frame's end.
    std::vector<uint8_t> buf;
    uint64_t base = 0;
    uint64_t end = 0;
    // Per hash of a 4-byte prefix, a bucket of the latest positions + 1 with
    // that hash, used as a ring: newest[h] counts the insertions, so the newest
    // entry is at newest[h] - 1. A bucket's candidates are independent loads,
    // where a hash chain would be a walk of dependent ones.
    std::vector<uint32_t> head;
    std::vector<uint8_t> newest;
    // The same for 8-byte prefixes, fewer entries each.
    std::vector<uint32_t> longHead;
    std::vector<uint8_t> longNewest;
    std::vector<uint32_t> head3; // absolute position + 1 of the latest 3-byte prefix
    bool first = true;
    uint32_t rep[3] = {1, 1, 1}; // the decoder's repeated offsets, mirrored
    uint32_t misses = 0;         // searches in vain since the last match
    uint8_t prevMain[256 + 8 * kMaxSlots];
    uint8_t prevLength[kLengthSymbols];

    void Reset() {
        base = end = 0;
        std::fill(head.begin(), head.end(), 0);
        std::fill(head3.begin(), head3.end(), 0);
        std::fill(newest.begin(), newest.end(), 0);
        std::fill(longHead.begin(), longHead.end(), 0);
        std::fill(longNewest.begin(), longNewest.end(), 0);
        first = true;
        rep[0] = rep[1] = rep[2] = 1;
        misses = 0;
        std::memset(prevMain, 0, sizeof prevMain);
        std::memset(prevLength, 0, sizeof prevLength);
    }

    // Sends lens[first, last) as pretree-coded deltas against prevLens, with runs
    // of zeros (17, 18) and of equal lengths (19) folded.
    void WriteTree(BitWriter& bw, const uint8_t* lens, uint8_t* prevLens, unsigned first, unsigned last) {
        struct Item {
            uint8_t sym, extra, extraBits, second;
        };
        std::vector<Item> items;
        uint32_t freq[kPretreeSymbols] = {};
        for (unsigned x = first; x < last;) {
            unsigned run = 1;
            while (x + run < last && lens[x + run] == lens[x]) ++run;
            if (lens[x] == 0 && run >= 20) {
                run = std::min(run, 51u);
                items.push_back({18, static_cast<uint8_t>(run - 20), 5, 0});
            } else if (lens[x] == 0 && run >= 4) {
                run = std::min(run, 19u);
                items.push_back({17, static_cast<uint8_t>(run - 4), 4, 0});
            } else if (run >= 4) {
                run = std::min(run, 5u);
                uint8_t d = static_cast<uint8_t>((prevLens[x] + 17 - lens[x]) % 17);
                items.push_back({19, static_cast<uint8_t>(run - 4), 1, d});
                freq[d]++;
            } else {
                run = 1;
                items.push_back({static_cast<uint8_t>((prevLens[x] + 17 - lens[x]) % 17), 0, 0, 0});
            }
            freq[items.back().sym]++;
            x += run;
        }
        uint8_t pl[kPretreeSymbols];
        uint16_t pc[kPretreeSymbols];
        BuildLengths(freq, kPretreeSymbols, 15, pl);
        CodesFromLengths(pl, kPretreeSymbols, pc);
        for (unsigned i = 0; i < kPretreeSymbols; ++i) bw.Put(pl[i], 4);
        for (const Item& it : items) {
            bw.Put(pc[it.sym], pl[it.sym]);
            bw.Put(it.extra, it.extraBits);
            if (it.sym == 19) bw.Put(pc[it.second], pl[it.second]);
        }
        for (unsigned x = first; x < last; ++x) prevLens[x] = lens[x];
    }
};

TLzxEncoder::TLzxEncoder(unsigned windowBits) : FState(std::make_unique<State>()) {
    if (windowBits < 15 || windowBits > 21)
        throw ECodecError(arcerr::UnknownMethod, "LZX window size not supported");
    State& s = *FState;
    s.windowBits = windowBits;
    s.windowSize = 1u << windowBits;
    s.mainSize = kMainLiterals + 8 * SlotsForWindow(windowBits);
    s.buf.assign(2 * size_t{s.windowSize} + kFrame + kSlack, 0);
    s.head.assign(size_t{kWays} << kHashBits, 0);
    s.head3.assign(1u << kHash3Bits, 0);
    s.newest.assign(1u << kHashBits, 0);
    s.longHead.assign(size_t{kLongWays} << kLongBits, 0);
    s.longNewest.assign(1u << kLongBits, 0);
    s.Reset();
}

TLzxEncoder::~TLzxEncoder() = default;

void TLzxEncoder::Reset() {
    FState->Reset();
}

std::vector<uint8_t> TLzxEncoder::EncodeFrame(const uint8_t* in, size_t n) {
    State& s = *FState;
    if (n == 0 || n > kFrame) throw ECodecError(arcerr::BlockError, "LZX frame size out of range");
    // Make room: keep the last window of history.
    if (s.end - s.base + n > s.buf.size() - kSlack) {
        uint64_t keep = std::min<uint64_t>(s.windowSize, s.end - s.base);
        std::memmove(s.buf.data(), s.buf.data() + (s.end - keep - s.base), keep);
        s.base = s.end - keep;
    }
    std::memcpy(s.buf.data() + (s.end - s.base), in, n);
    // Zeroes after the frame: the hashes of its last positions read them.
    std::memset(s.buf.data() + (s.end - s.base) + n, 0, kSlack);
    const uint64_t frameStart = s.end;
    const uint64_t frameEnd = s.end + n;
    s.end = frameEnd;
    const uint32_t maxDist = s.windowSize - 3;

    std::vector<Symbol> symbols;
    symbols.reserve(n);
    uint32_t mainFreq[256 + 8 * kMaxSlots] = {};
    uint32_t lengthFreq[kLengthSymbols] = {};
    uint8_t* const b = s.buf.data() - s.base; // b[pos] is the byte at absolute position pos
    uint32_t* const head = s.head.data();
    uint32_t* const head3 = s.head3.data();
    uint8_t* const newest = s.newest.data();
    uint32_t* const longHead = s.longHead.data();
    uint8_t* const longNewest = s.longNewest.data();
    uint64_t inserted = frameStart; // positions below this are in the chains

    // Matches never run past the frame end; the last few positions of a frame
    // are left out of the chains, since their prefixes are not all in the frame.
    const uint64_t insertEnd = frameEnd >= 4 ? frameEnd - 3 : 0;
    auto insertUpTo = [&](uint64_t upTo) {
        upTo = std::min(upTo, insertEnd);
        for (; inserted < upTo; ++inserted) {
            const uint8_t* p = b + inserted;
            const uint32_t h = Hash4(p);
            head[size_t{h} * kWays + (newest[h]++ & (kWays - 1))] = static_cast<uint32_t>(inserted + 1);
            const uint32_t h8 = Hash8(p);
            longHead[size_t{h8} * kLongWays + (longNewest[h8]++ & (kLongWays - 1))] =
                static_cast<uint32_t>(inserted + 1);
            head3[Hash3(p)] = static_cast<uint32_t>(inserted + 1);
        }
    };
    struct Match {
        unsigned len = 0;
        uint32_t dist = 0;
        int repeat = -1; // which repeated offset, or -1 for a new one
    };
    // The best match at pos: the longest over the hash chain (or the latest
    // 3-byte prefix when nothing longer is near), replaced by a match at one of
    // the repeated offsets when it is about as long, since those cost only a
    // few bits.
    auto find = [&](uint64_t pos) {
        Match best;
        const uint64_t avail = frameEnd - pos;
        if (avail < kMinMatch) return best;
        const unsigned maxLen = static_cast<unsigned>(std::min<uint64_t>(avail, kMaxMatch));
        const uint8_t* cur = b + pos;
        const uint64_t lowest = std::max<uint64_t>(s.base, pos > maxDist ? pos - maxDist : 0);
        if (pos < insertEnd) {
            // Long prefixes first: they find the long matches far back that
            // the short prefixes' buckets have long forgotten.
            const uint32_t h8 = Hash8(cur);
            const uint32_t* longBucket = longHead + size_t{h8} * kLongWays;
            const unsigned longTop = longNewest[h8];
            for (unsigned way = 1; way <= kLongWays; ++way) {
                const uint32_t cand = longBucket[(longTop - way) & (kLongWays - 1)];
                if (!cand) break;
                uint64_t from = cand - 1;
                if (from < lowest || from >= pos) break;
                const uint8_t* m = b + from;
                if (m[best.len] == cur[best.len]) {
                    unsigned len = MatchLength(cur, m, maxLen);
                    if (len > best.len) {
                        best.len = len;
                        best.dist = static_cast<uint32_t>(pos - from);
                        if (len >= kNiceLength) break;
                    }
                }
            }
            const uint32_t h = Hash4(cur);
            const uint32_t* bucket = head + size_t{h} * kWays;
            const uint32_t first4 = Load32(cur);
            const unsigned top = newest[h];
            for (unsigned way = 1; way <= kWays && best.len < kNiceLength; ++way) {
                const uint32_t cand = bucket[(top - way) & (kWays - 1)];
                if (!cand) break;
                uint64_t from = cand - 1;
                if (from < lowest || from >= pos) break;
                const uint8_t* m = b + from;
                if (Load32(m) == first4 && m[best.len] == cur[best.len]) {
                    unsigned len = MatchLength(cur, m, maxLen);
                    if (len > best.len) {
                        best.len = len;
                        best.dist = static_cast<uint32_t>(pos - from);
                        if (len >= kNiceLength) break;
                    }
                }
            }
            if (best.len < 4) {
                uint32_t c3 = head3[Hash3(cur)];
                if (c3) {
                    uint64_t from = c3 - 1;
                    if (from >= lowest && from < pos && pos - from <= kFarThree) {
                        unsigned len = MatchLength(cur, b + from, maxLen);
                        if (len >= kMinMatch && len > best.len) {
                            best.len = len;
                            best.dist = static_cast<uint32_t>(pos - from);
                        }
                    }
                }
            }
        }
        for (int r = 0; r < 3; ++r) {
            const uint32_t d = s.rep[r];
            if (d > maxDist || pos < d || pos - d < s.base) continue;
            unsigned len = MatchLength(cur, cur - d, maxLen);
            if (len < kMinMatch) continue;
            // A new offset costs its slot's extra bits more than a repeat.
            unsigned bonus = best.repeat >= 0 ? 0 : best.dist > 4096 ? 2 : best.dist > 64 ? 1 : 0;
            if (len + bonus > best.len || (best.repeat < 0 && len + bonus == best.len)) {
                best.len = len;
                best.dist = d;
                best.repeat = r;
            }
        }
        if (best.len < kMinMatch) best = Match{};
        return best;
    };

    uint64_t pos = frameStart;
    Match cur = find(pos);
    while (pos < frameEnd) {
        if (cur.len == 0) {
            // On data that does not match, search ever fewer positions (one
            // more skipped per 32 vain searches); the skipped bytes still go
            // into the buckets, so later copies of them are found.
            uint64_t run = 1 + (s.misses++ >> 5);
            do {
                uint8_t lit = b[pos];
                symbols.push_back(Symbol{lit, 0, 0, 0});
                mainFreq[lit]++;
                insertUpTo(pos + 1);
                ++pos;
            } while (--run != 0 && pos < frameEnd);
            cur = find(pos);
            continue;
        }
        s.misses = 0;
        if (cur.len < kLazyLength && pos + 1 < frameEnd) {
            insertUpTo(pos + 1);
            Match next = find(pos + 1);
            if (next.len > cur.len + (next.repeat < 0 && cur.repeat >= 0 ? 1 : 0)) {
                uint8_t lit = b[pos];
                symbols.push_back(Symbol{lit, 0, 0, 0});
                mainFreq[lit]++;
                ++pos;
                cur = next;
                continue;
            }
        }
        unsigned lh = std::min(cur.len - 2, 7u);
        Symbol sym{};
        if (cur.repeat >= 0) {
            sym.main = static_cast<uint16_t>(kMainLiterals + cur.repeat * 8 + lh);
            std::swap(s.rep[0], s.rep[cur.repeat]);
        } else {
            uint32_t formatted = cur.dist + 2;
            unsigned slot = SlotOf(formatted);
            sym = Symbol{static_cast<uint16_t>(kMainLiterals + slot * 8 + lh), 0,
                         formatted - kSlots.base[slot], kSlots.extra[slot]};
            s.rep[2] = s.rep[1];
            s.rep[1] = s.rep[0];
            s.rep[0] = cur.dist;
        }
        if (lh == 7) {
            sym.length = static_cast<uint16_t>(cur.len - 9 + 1);
            lengthFreq[cur.len - 9]++;
        }
        mainFreq[sym.main]++;
        symbols.push_back(sym);
        pos += cur.len;
        insertUpTo(pos);
        cur = find(pos);
    }

    uint8_t mainLens[256 + 8 * kMaxSlots];
    uint16_t mainCodes[256 + 8 * kMaxSlots];
    uint8_t lengthLens[kLengthSymbols];
    uint16_t lengthCodes[kLengthSymbols];
    BuildLengths(mainFreq, s.mainSize, 16, mainLens);
    BuildLengths(lengthFreq, kLengthSymbols, 16, lengthLens);
    CodesFromLengths(mainLens, s.mainSize, mainCodes);
    CodesFromLengths(lengthLens, kLengthSymbols, lengthCodes);

    BitWriter bw;
    bw.out.reserve(n + 256);
    if (s.first) {
        bw.Put(0, 1); // no E8 translation
        s.first = false;
    }
    bw.Put(1, 3); // verbatim block
    bw.Put(static_cast<uint32_t>(n >> 8), 16);
    bw.Put(static_cast<uint32_t>(n & 0xFF), 8);
    s.WriteTree(bw, mainLens, s.prevMain, 0, kMainLiterals);
    s.WriteTree(bw, mainLens, s.prevMain, kMainLiterals, s.mainSize);
    s.WriteTree(bw, lengthLens, s.prevLength, 0, kLengthSymbols);
    for (const Symbol& sym : symbols) {
        bw.Put(mainCodes[sym.main], mainLens[sym.main]);
        if (sym.main < kMainLiterals) continue;
        if (sym.length) bw.Put(lengthCodes[sym.length - 1], lengthLens[sym.length - 1]);
        bw.Put(sym.extra, sym.extraBits);
    }
    bw.Align();
    return std::move(bw.out);
}

} // namespace mv
