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
#include <cstring>
#include <queue>

namespace mv {

namespace {

using namespace lzx;

constexpr unsigned kMinMatch = 3;
constexpr unsigned kMaxMatch = 257;
constexpr unsigned kHashBits = 15;
constexpr unsigned kChainDepth = 256;
constexpr unsigned kNiceLength = 128;

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
    std::vector<uint8_t> buf; // history: buf[0] is absolute position `base`
    uint64_t base = 0;
    uint64_t end = 0;
    std::vector<uint32_t> head; // absolute position + 1 of the latest 3-byte prefix
    std::vector<uint32_t> prev; // previous position + 1 with the same prefix
    bool first = true;
    uint32_t r0 = 1, r1 = 1, r2 = 1; // the decoder's repeated offsets, mirrored
    uint8_t prevMain[256 + 8 * kMaxSlots];
    uint8_t prevLength[kLengthSymbols];

    void Reset() {
        base = end = 0;
        std::fill(head.begin(), head.end(), 0);
        std::fill(prev.begin(), prev.end(), 0);
        first = true;
        r0 = r1 = r2 = 1;
        std::memset(prevMain, 0, sizeof prevMain);
        std::memset(prevLength, 0, sizeof prevLength);
    }

    uint32_t Hash(uint64_t pos) const {
        const uint8_t* p = buf.data() + (pos - base);
        return ((uint32_t(p[0]) << 10) ^ (uint32_t(p[1]) << 5) ^ p[2]) & ((1u << kHashBits) - 1);
    }

    void Insert(uint64_t pos) {
        uint32_t h = Hash(pos);
        prev[pos & (windowSize - 1)] = head[h];
        head[h] = static_cast<uint32_t>(pos + 1);
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
    s.buf.assign(s.windowSize + 32768, 0);
    s.head.assign(1u << kHashBits, 0);
    s.prev.assign(s.windowSize, 0);
    s.Reset();
}

TLzxEncoder::~TLzxEncoder() = default;

void TLzxEncoder::Reset() {
    FState->Reset();
}

std::vector<uint8_t> TLzxEncoder::EncodeFrame(const uint8_t* in, size_t n) {
    State& s = *FState;
    if (n == 0 || n > 32768) throw ECodecError(arcerr::BlockError, "LZX frame size out of range");
    // Make room: keep the last window of history.
    if (s.end - s.base + n > s.buf.size()) {
        uint64_t keep = std::min<uint64_t>(s.windowSize, s.end - s.base);
        std::memmove(s.buf.data(), s.buf.data() + (s.end - keep - s.base), keep);
        s.base = s.end - keep;
    }
    std::memcpy(s.buf.data() + (s.end - s.base), in, n);
    const uint64_t frameStart = s.end;
    const uint64_t frameEnd = s.end + n;
    s.end = frameEnd;
    const uint32_t maxDist = s.windowSize - 3;

    std::vector<Symbol> symbols;
    symbols.reserve(n);
    uint32_t mainFreq[256 + 8 * kMaxSlots] = {};
    uint32_t lengthFreq[kLengthSymbols] = {};
    const uint8_t* b = s.buf.data();
    uint64_t inserted = frameStart; // positions below this are in the chains

    auto insertUpTo = [&](uint64_t upTo) {
        for (; inserted < upTo; ++inserted)
            if (frameEnd - inserted >= kMinMatch) s.Insert(inserted);
    };
    struct Match {
        unsigned len = 0;
        uint32_t dist = 0;
        bool repeat = false;
    };
    // The best match at pos: the longest over the hash chain, or the match at
    // the last offset when it is about as long (it costs only a few bits).
    auto find = [&](uint64_t pos) {
        Match best;
        const uint64_t avail = frameEnd - pos;
        if (avail < kMinMatch) return best;
        const unsigned maxLen = static_cast<unsigned>(std::min<uint64_t>(avail, kMaxMatch));
        const uint8_t* cur = b + (pos - s.base);
        uint32_t cand = s.head[s.Hash(pos)];
        for (unsigned depth = 0; cand && depth < kChainDepth; ++depth) {
            uint64_t from = cand - 1;
            if (from < s.base || from >= pos || pos - from > maxDist) break;
            const uint8_t* m = b + (from - s.base);
            if (m[best.len] == cur[best.len]) {
                unsigned len = 0;
                while (len < maxLen && m[len] == cur[len]) ++len;
                if (len > best.len) {
                    best.len = len;
                    best.dist = static_cast<uint32_t>(pos - from);
                    if (len >= kNiceLength || len == maxLen) break;
                }
            }
            uint32_t next = s.prev[from & (s.windowSize - 1)];
            if (next >= cand) break;
            cand = next;
        }
        if (s.r0 <= pos && pos - s.r0 >= s.base && s.r0 <= maxDist) {
            const uint8_t* m = cur - s.r0;
            unsigned len = 0;
            while (len < maxLen && m[len] == cur[len]) ++len;
            if (len >= kMinMatch && (len >= best.len || (len + 2 >= best.len && best.dist > 4096))) {
                best.len = len;
                best.dist = s.r0;
                best.repeat = true;
            }
        }
        if (best.len < kMinMatch) best = Match{};
        return best;
    };

    uint64_t pos = frameStart;
    Match cur = find(pos);
    while (pos < frameEnd) {
        if (cur.len == 0) {
            uint8_t lit = b[pos - s.base];
            symbols.push_back(Symbol{lit, 0, 0, 0});
            mainFreq[lit]++;
            insertUpTo(pos + 1);
            ++pos;
            cur = find(pos);
            continue;
        }
        if (cur.len < 32 && pos + 1 < frameEnd) {
            insertUpTo(pos + 1);
            Match next = find(pos + 1);
            if (next.len > cur.len) {
                uint8_t lit = b[pos - s.base];
                symbols.push_back(Symbol{lit, 0, 0, 0});
                mainFreq[lit]++;
                ++pos;
                cur = next;
                continue;
            }
        }
        unsigned lh = std::min(cur.len - 2, 7u);
        Symbol sym{};
        if (cur.repeat) {
            sym.main = static_cast<uint16_t>(kMainLiterals + lh);
        } else {
            uint32_t formatted = cur.dist + 2;
            unsigned slot = SlotOf(formatted);
            sym = Symbol{static_cast<uint16_t>(kMainLiterals + slot * 8 + lh), 0,
                         formatted - kSlots.base[slot], kSlots.extra[slot]};
            s.r2 = s.r1;
            s.r1 = s.r0;
            s.r0 = cur.dist;
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
