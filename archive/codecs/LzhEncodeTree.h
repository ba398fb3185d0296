#pragma once
// Huffman code builder of the -lh5- / fuse compressor: a heap-built tree over
// the symbol frequencies, its depths limited to 16 bits by moving codes down
// until the Kraft sum is exact, lengths handed out in order of rising
// frequency, and canonical codes. Kept apart so its limits can be tested.
#include <algorithm>
#include <cstdint>
#include <iterator>

namespace mv {

inline constexpr int LzhTreeMaxSymbols = 510; // the literal/length alphabet, the largest one built

// Builds a Huffman code of at most 16 bits for n symbols. Returns the root:
// a value below n means one symbol only (or symbol 0 when none is used).
class TLzhTreeBuilder {
public:
    int Make(int n, const uint16_t* frequencies, uint8_t* lengths, uint16_t* codes) {
        FN = n;
        for (int i = 0; i < n; ++i) FFreq[i] = frequencies[i];
        FHeapSize = 0;
        FHeap[1] = 0;
        for (int i = 0; i < n; ++i) {
            lengths[i] = 0;
            if (FFreq[i]) FHeap[++FHeapSize] = int16_t(i);
        }
        if (FHeapSize < 2) {
            codes[FHeap[1]] = 0;
            return FHeap[1];
        }
        for (int i = FHeapSize / 2; i >= 1; --i) DownHeap(i);
        int sorted = 0;
        int avail = n;
        int k;
        do {
            int i = FHeap[1];
            if (i < n) FSortOrder[sorted++] = int16_t(i);
            FHeap[1] = FHeap[FHeapSize--];
            DownHeap(1);
            int j = FHeap[1];
            if (j < n) FSortOrder[sorted++] = int16_t(j);
            k = avail++;
            FFreq[k] = FFreq[i] + FFreq[j];
            FHeap[1] = int16_t(k);
            DownHeap(1);
            FLeft[k] = int16_t(i);
            FRight[k] = int16_t(j);
        } while (FHeapSize > 1);
        MakeLengths(k, lengths);
        MakeCodes(n, lengths, codes);
        return k;
    }

    static void MakeCodes(int n, const uint8_t* lengths, uint16_t* codes) {
        uint16_t count[18] = {};
        for (int i = 0; i < n; ++i) count[lengths[i]]++;
        uint16_t start[18];
        start[1] = 0;
        for (int i = 1; i <= 16; ++i) start[i + 1] = uint16_t((start[i] + count[i]) << 1);
        for (int i = 0; i < n; ++i) codes[i] = start[lengths[i]]++;
    }

private:
    void DownHeap(int i) {
        int k = FHeap[i];
        int j;
        while ((j = 2 * i) <= FHeapSize) {
            if (j < FHeapSize && FFreq[FHeap[j]] > FFreq[FHeap[j + 1]]) ++j;
            if (FFreq[k] <= FFreq[FHeap[j]]) break;
            FHeap[i] = FHeap[j];
            i = j;
        }
        FHeap[i] = int16_t(k);
    }
    void CountDepths(int node, int depth) {
        if (node < FN) {
            FDepthCount[depth < 16 ? depth : 16]++;
        } else {
            CountDepths(FLeft[node], depth + 1);
            CountDepths(FRight[node], depth + 1);
        }
    }
    void MakeLengths(int root, uint8_t* lengths) {
        std::fill(std::begin(FDepthCount), std::end(FDepthCount), 0);
        CountDepths(root, 0);
        uint32_t kraft = 0;
        for (int i = 1; i <= 16; ++i) kraft += uint32_t(FDepthCount[i]) << (16 - i);
        for (; kraft > (1u << 16); --kraft) {
            FDepthCount[16]--;
            for (int i = 15; i > 0; --i) {
                if (FDepthCount[i]) {
                    FDepthCount[i]--;
                    FDepthCount[i + 1] += 2;
                    break;
                }
            }
        }
        int s = 0;
        for (int len = 16; len > 0; --len)
            for (int k = FDepthCount[len]; k > 0; --k) lengths[FSortOrder[s++]] = uint8_t(len);
    }

    int FN = 0;
    int FHeapSize = 0;
    uint32_t FFreq[2 * LzhTreeMaxSymbols];
    int16_t FHeap[LzhTreeMaxSymbols + 1];
    int16_t FLeft[2 * LzhTreeMaxSymbols];
    int16_t FRight[2 * LzhTreeMaxSymbols];
    int16_t FSortOrder[LzhTreeMaxSymbols];
    int FDepthCount[17];
};

} // namespace mv
