// Huffman code construction for the deflate encoder: lengths by merging over
// sorted frequencies with a length limit, canonical bit-reversed codes, and the format's fixed tables.
// It runs on at most 286 symbols, but several times per block (the encoder
// costs each segment of symbols with it), so the sort of the frequencies is a
// counting sort; the per-byte work is in Deflate.cpp.
#include "archive/codecs/DeflateTrees.h"

#include "archive/codecs/CodecIo.h"
#include "resources/ArcErrorNumbers.h"

#include <algorithm>

namespace mv::deflate {

const uint8_t BitLengthOrder[BitLengthCodes] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                11, 4,  12, 3, 13, 2, 14, 1, 15};

static uint16_t Reverse(unsigned code, int len) {
    unsigned r = 0;
    for (int i = 0; i < len; ++i) {
        r = (r << 1) | (code & 1);
        code >>= 1;
    }
    return static_cast<uint16_t>(r);
}

static TTables BuildTables() {
    TTables t{};
    static const uint8_t extraL[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    static const uint8_t extraD[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                       6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
    std::copy(extraL, extraL + 29, t.ExtraLengthBits);
    std::copy(extraD, extraD + 30, t.ExtraDistBits);
    unsigned length = 0;
    for (int code = 0; code < 28; ++code) {
        t.BaseLength[code] = static_cast<uint16_t>(length);
        for (unsigned n = 0; n < (1u << extraL[code]); ++n)
            t.LengthCode[length++] = static_cast<uint8_t>(code);
    }
    // Length 258 has a code of its own (285) rather than 284 with extra 31.
    t.LengthCode[255] = 28;
    t.BaseLength[28] = 255;
    unsigned dist = 0;
    for (int code = 0; code < 16; ++code) {
        t.BaseDist[code] = static_cast<uint16_t>(dist);
        for (unsigned n = 0; n < (1u << extraD[code]); ++n) t.DistCode[dist++] = static_cast<uint8_t>(code);
    }
    dist >>= 7; // from here on the table is indexed by distance / 128
    for (int code = 16; code < 30; ++code) {
        t.BaseDist[code] = static_cast<uint16_t>(dist << 7);
        for (unsigned n = 0; n < (1u << (extraD[code] - 7)); ++n)
            t.DistCode[256 + dist++] = static_cast<uint8_t>(code);
    }
    uint8_t lens[288];
    for (int i = 0; i < 288; ++i) lens[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
    std::copy(lens, lens + 288, t.FixedLitLen);
    MakeCodes(lens, 288, t.FixedLitCode);
    for (int i = 0; i < 30; ++i) t.FixedDistCode[i] = Reverse(static_cast<unsigned>(i), 5);
    return t;
}

const TTables& Tables() {
    static const TTables tables = BuildTables();
    return tables;
}

// Sorts frequency << 16 | symbol keys. The symbols come in ascending order,
// so a stable sort on the frequency alone gives the order of the whole key:
// two counting passes of 8 bits when all frequencies fit in 16 bits (always
// so for a block of the encoder), a comparison sort otherwise.
static void SortLeaves(uint64_t* leaves, int count) {
    uint64_t maxFreq = 0;
    for (int k = 0; k < count; ++k) maxFreq = std::max(maxFreq, leaves[k] >> 16);
    if (count < 24 || maxFreq > 0xFFFF) {
        std::sort(leaves, leaves + count);
        return;
    }
    uint64_t tmp[LiteralCodes + 2];
    uint64_t* from = leaves;
    uint64_t* to = tmp;
    for (int shift = 16; shift <= 24; shift += 8) {
        if (shift == 24 && maxFreq <= 0xFF) break;
        uint32_t pos[256] = {};
        for (int k = 0; k < count; ++k) ++pos[(from[k] >> shift) & 0xFF];
        uint32_t sum = 0;
        for (uint32_t& p : pos) {
            uint32_t c = p;
            p = sum;
            sum += c;
        }
        for (int k = 0; k < count; ++k) to[pos[(from[k] >> shift) & 0xFF]++] = from[k];
        std::swap(from, to);
    }
    if (from != leaves) std::copy(from, from + count, leaves);
}

int BuildLengths(const uint32_t* freqIn, int n, int maxBits, uint8_t* lengths) {
    // Symbols sorted by frequency (then by symbol), as frequency << 16 | symbol.
    uint64_t leaves[LiteralCodes + 2];
    int count = 0;
    int maxCode = -1;
    for (int i = 0; i < n; ++i) {
        lengths[i] = 0;
        if (freqIn[i] != 0) {
            leaves[count++] = uint64_t{freqIn[i]} << 16 | static_cast<uint64_t>(i);
            maxCode = i;
        }
    }
    // Inflaters want at least two codes; add unused symbols with frequency 1.
    while (count < 2) {
        int node = maxCode < 2 ? ++maxCode : 0;
        leaves[count++] = uint64_t{1} << 16 | static_cast<uint64_t>(node);
    }
    SortLeaves(leaves, count);

    // Huffman's merging with two queues: the leaves in order of frequency and
    // the merged nodes, which are made in order of frequency too, so the two
    // rarest nodes are always at the heads of the queues. A leaf wins a tie,
    // which keeps the tree flat.
    uint64_t weight[LiteralCodes + 2];
    int parent[LiteralCodes + 2];     // of merged node k
    int leafParent[LiteralCodes + 2]; // of leaf k
    int nextLeaf = 0, nextNode = 0, made = 0;
    auto takeRarest = [&](int& child) -> uint64_t {
        if (nextLeaf < count && (nextNode == made || (leaves[nextLeaf] >> 16) <= weight[nextNode])) {
            child = nextLeaf;
            return leaves[nextLeaf++] >> 16;
        }
        child = ~nextNode;
        return weight[nextNode++];
    };
    for (int k = 0; k < count - 1; ++k) {
        int a, b;
        uint64_t wa = takeRarest(a);
        uint64_t wb = takeRarest(b);
        weight[made] = wa + wb;
        for (int c : {a, b}) {
            if (c >= 0)
                leafParent[c] = made;
            else
                parent[~c] = made;
        }
        ++made;
    }
    // Depths from the root down (a parent is always made after its children).
    int depth[LiteralCodes + 2];
    depth[made - 1] = 0;
    for (int k = made - 2; k >= 0; --k) depth[k] = depth[parent[k]] + 1;

    int blCount[MaxBits + 2] = {};
    bool overflow = false;
    for (int k = 0; k < count; ++k) {
        int bits = depth[leafParent[k]] + 1;
        if (bits > maxBits) {
            bits = maxBits;
            overflow = true;
        }
        lengths[leaves[k] & 0xFFFF] = static_cast<uint8_t>(bits);
        ++blCount[bits];
    }
    if (!overflow) return maxCode;

    // Too deep: the clipped code is over-full. Each step moves one leaf from
    // the deepest level below the limit one level down, with a leaf from the
    // limit as its new sibling, which takes one 2^-maxBits unit off the Kraft
    // sum, until the code is exactly complete.
    uint64_t kraft = 0;
    for (int bits = 1; bits <= maxBits; ++bits)
        kraft += static_cast<uint64_t>(blCount[bits]) << (maxBits - bits);
    const uint64_t full = uint64_t{1} << maxBits;
    while (kraft > full) {
        int bits = maxBits - 1;
        while (bits > 0 && blCount[bits] == 0) --bits;
        if (bits == 0 || blCount[maxBits] == 0)
            throw ECodecError(arcerr::InconsistentBitCounts, "inconsistent bit counts");
        --blCount[bits];
        blCount[bits + 1] += 2;
        --blCount[maxBits];
        --kraft;
    }
    // Hand the lengths out again, longest to the rarest leaves.
    int bits = maxBits;
    int left = blCount[bits];
    for (int k = 0; k < count; ++k) {
        while (left == 0) {
            --bits;
            left = blCount[bits];
        }
        lengths[leaves[k] & 0xFFFF] = static_cast<uint8_t>(bits);
        --left;
    }
    return maxCode;
}

void MakeCodes(const uint8_t* lengths, int n, uint16_t* codes) {
    int blCount[MaxBits + 1] = {};
    for (int i = 0; i < n; ++i) ++blCount[lengths[i]];
    blCount[0] = 0;
    unsigned nextCode[MaxBits + 1];
    unsigned code = 0;
    for (int bits = 1; bits <= MaxBits; ++bits) {
        code = (code + blCount[bits - 1]) << 1;
        nextCode[bits] = code;
    }
    // A complete code ends exactly at 2^MaxBits; fewer than two codes is the
    // one-code case inflaters accept for distances only, never built here.
    uint64_t kraft = 0;
    for (int bits = 1; bits <= MaxBits; ++bits)
        kraft += static_cast<uint64_t>(blCount[bits]) << (MaxBits - bits);
    if (kraft != (uint64_t{1} << MaxBits))
        throw ECodecError(arcerr::InconsistentBitCounts, "inconsistent bit counts");
    for (int i = 0; i < n; ++i) {
        int len = lengths[i];
        codes[i] = len ? Reverse(nextCode[len]++, len) : 0;
    }
}

} // namespace mv::deflate
