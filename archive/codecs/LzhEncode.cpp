// The -lh5- / fuse compressor: LZ77 over an 8192-byte dictionary with
// matches of 3..256 bytes, one-step lazy matching, and blocks of static
// Huffman codes (literal/length alphabet of 510 symbols, position alphabet of
// 14 bit lengths, both described by a 19-symbol code-length code), codes
// limited to 16 bits.
//
// Why it is fast: matches come from hash chains over three-byte prefixes,
// compared eight bytes at a time, with a bounded chain walk and a shorter
// one once a good match is in hand; positions inside an emitted match are
// only threaded into the chains, never searched; pending codes are kept
// compactly (one flag byte per eight codes) until a block is sent; bits leave
// through a 64-bit accumulator.
//
// The compressor gives up (Unpackable) as soon as the packed bytes would
// reach the count of input bytes read so far, so a file that does not shrink
// costs little and the writer stores it instead.
#include "archive/codecs/LzhEncode.h"
#include "archive/codecs/LzhEncodeTree.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace mv {

namespace {

constexpr int DicBits = 13;
constexpr int DicSize = 1 << DicBits; // 8192
constexpr int MaxMatch = 256;
constexpr int MinMatch = 3;
constexpr int NC = LzhTreeMaxSymbols;
constexpr int NT = 19;
constexpr int NP = DicBits + 1; // 14
constexpr int CBit = 9;
constexpr int TBit = 5;
constexpr int PBit = 4;
constexpr size_t CodeBufferSize = 32768;
constexpr size_t OutputChunk = 32768;
constexpr size_t ReadChunk = 65536;
constexpr int HashBits = 15;
constexpr int MaxChain = 128;
constexpr int GoodLength = 32;
// A 3-byte match this far back costs more bits than three literals.
constexpr int FarMinMatch = 4096;
constexpr int64_t NoPosition = -1;
// Block splitting: segment length in code-buffer bytes, and the bits a
// second set of code tables is taken to cost.
constexpr size_t SegmentBytes = 2048;
constexpr double SplitCostBits = 1600;

inline int BitLength(unsigned v) {
    return v == 0 ? 0 : 32 - __builtin_clz(v);
}

class TLzh5Encoder {
public:
    TLzh5Encoder(CodecInput& input, CodecOutput& output) : FInput(input), FOutput(output) {
        FText.assign(DicSize + ReadChunk + MaxMatch + 16, 0);
        FHead.assign(size_t(1) << HashBits, NoPosition);
        FPrev.assign(DicSize, NoPosition);
        FCodeBuffer.assign(CodeBufferSize, 0);
        FOutBuffer.reserve(OutputChunk);
    }

    TLzhEncodeResult Run(bool fuse) {
        FBase = 0;
        FPos = 0;
        FEnd = 0;
        Fill();
        FRemainder = FEnd - FPos;
        int matchLen = FindMatch(true);
        int matchDist = FMatchDistance;
        if (matchLen > int(FRemainder)) matchLen = int(FRemainder);
        while (FRemainder > 0 && !FUnpackable) {
            int prevLen = matchLen;
            int prevDist = matchDist;
            Advance();
            matchLen = FindMatch(true);
            matchDist = FMatchDistance;
            if (matchLen > int(FRemainder)) matchLen = int(FRemainder);
            if (matchLen > prevLen || prevLen < MinMatch) {
                Output(FText[FPos - 1], 0);
                if (FCodePos > FInCount) FUnpackable = true;
            } else {
                Output(unsigned(prevLen + 253), unsigned(prevDist));
                for (int k = prevLen - 1; k > 0 && !FUnpackable; --k) {
                    Advance();
                    if (k > 1) {
                        FindMatch(false);
                    } else {
                        matchLen = FindMatch(true);
                        matchDist = FMatchDistance;
                    }
                    if (FCodePos > FInCount) FUnpackable = true;
                }
                if (matchLen > int(FRemainder)) matchLen = int(FRemainder);
            }
        }
        if (!FUnpackable) {
            SendBlock();
            // Pad the last byte with zero bits; no byte beyond it (peers check
            // that the packed size holds nothing past the stream).
            FlushBits();
        }
        if (!FUnpackable) {
            FlushOutput();
            if (fuse) {
                const uint8_t zero = 0;
                FOutput.Write(&zero, 1);
                FWritten += 1;
            }
        }
        return {FUnpackable, FWritten};
    }

private:
    // ------------------------------------------------------------ input side

    void Fill() {
        while (FEnd < FText.size() - 16 && !FInputDone) {
            size_t n = FInput.Read(FText.data() + FEnd, FText.size() - 16 - FEnd);
            if (n == 0) {
                FInputDone = true;
                break;
            }
            FEnd += n;
            FInCount += n;
        }
    }

    // Moves to the next position, sliding the buffer when the look-ahead runs short.
    void Advance() {
        --FRemainder;
        ++FPos;
        if (!FInputDone && FEnd - FPos < size_t(MaxMatch) && FPos > size_t(DicSize)) {
            size_t shift = FPos - DicSize;
            std::memmove(FText.data(), FText.data() + shift, FEnd - shift);
            FPos -= shift;
            FEnd -= shift;
            FBase += int64_t(shift);
            size_t before = FEnd;
            Fill();
            FRemainder += FEnd - before;
        }
    }

    inline uint32_t Hash(size_t p) const {
        uint32_t v = uint32_t(FText[p]) | uint32_t(FText[p + 1]) << 8 | uint32_t(FText[p + 2]) << 16;
        return (v * 2654435761u) >> (32 - HashBits);
    }

    // Threads the current position into its hash chain; when `search`, returns
    // the longest match (ties: the nearest) and sets FMatchDistance.
    int FindMatch(bool search) {
        FMatchDistance = 0;
        if (FEnd - FPos < size_t(MinMatch)) return 0;
        const uint32_t h = Hash(FPos);
        const int64_t here = FBase + int64_t(FPos);
        int64_t candidate = FHead[h];
        FHead[h] = here;
        FPrev[here & (DicSize - 1)] = candidate;
        if (!search) return 0;
        const int maxLen = int(std::min<size_t>(MaxMatch, FEnd - FPos));
        const uint8_t* cur = FText.data() + FPos;
        int best = 0;
        int chain = FLastLength >= GoodLength ? MaxChain / 4 : MaxChain;
        // Back-references reach at most 8191 bytes: peers keep a window of
        // exactly 8192 bytes and refuse a distance equal to it.
        while (candidate != NoPosition && here - candidate < DicSize && chain-- > 0) {
            const uint8_t* m = FText.data() + (candidate - FBase);
            if (m[best] == cur[best] && m[0] == cur[0] && m[1] == cur[1]) {
                int len = 0;
                while (len < maxLen) {
                    uint64_t a, b;
                    std::memcpy(&a, cur + len, 8);
                    std::memcpy(&b, m + len, 8);
                    uint64_t x = a ^ b;
                    if (x) {
                        len += __builtin_ctzll(x) >> 3;
                        break;
                    }
                    len += 8;
                }
                if (len > maxLen) len = maxLen;
                if (len > best) {
                    best = len;
                    FMatchDistance = int(here - candidate - 1);
                    if (len >= maxLen) break;
                }
            }
            candidate = FPrev[candidate & (DicSize - 1)];
        }
        FLastLength = best;
        if (best < MinMatch || (best == MinMatch && FMatchDistance >= FarMinMatch)) {
            FMatchDistance = 0;
            return 0;
        }
        return best;
    }

    // ------------------------------------------------------------ code buffer

    void Output(unsigned c, unsigned p) {
        if ((FOutputMask >>= 1) == 0) {
            FOutputMask = 0x80;
            if (FCodePos >= CodeBufferSize - 24) {
                SendBlock();
                if (FUnpackable) return;
                FCodePos = 0;
                StartSegment();
            } else if (FCodePos - FSegmentStart >= SegmentBytes) {
                EndSegment();
                if (FUnpackable) return;
            }
            FFlagPos = FCodePos++;
            FCodeBuffer[FFlagPos] = 0;
        }
        FCodeBuffer[FCodePos++] = uint8_t(c);
        FLitFreq[c]++;
        FSegLitFreq[c]++;
        if (c >= 256) {
            FCodeBuffer[FFlagPos] |= uint8_t(FOutputMask);
            FCodeBuffer[FCodePos++] = uint8_t(p >> 8);
            FCodeBuffer[FCodePos++] = uint8_t(p);
            FPosFreq[BitLength(p)]++;
            FSegPosFreq[BitLength(p)]++;
        }
    }

    // ------------------------------------------------------------ block splitting
    //
    // The pending codes are looked at in segments of about SegmentBytes. When
    // a segment's statistics differ so much from the block before it that two
    // blocks (with a second set of code tables) are cheaper than one, the block
    // before the segment is sent and the segment starts a new one: mixed input
    // (text, then binary, then runs) gets codes fitted to each part.

    void StartSegment() {
        FSegmentStart = FCodePos;
        std::fill(std::begin(FSegLitFreq), std::end(FSegLitFreq), 0);
        std::fill(std::begin(FSegPosFreq), std::end(FSegPosFreq), 0);
    }

    // Bits of an ideal code for symbols with these counts.
    static double EntropyBits(const uint32_t* f, int n) {
        double total = 0, sum = 0;
        for (int i = 0; i < n; ++i) {
            if (!f[i]) continue;
            total += f[i];
            sum += f[i] * std::log2(double(f[i]));
        }
        return total > 0 ? total * std::log2(total) - sum : 0;
    }

    void EndSegment() {
        if (FSegmentStart > 0) {
            uint32_t before[NC], segment[NC], all[NC];
            uint32_t beforeP[NP], segmentP[NP], allP[NP];
            for (int i = 0; i < NC; ++i) {
                all[i] = FLitFreq[i];
                segment[i] = FSegLitFreq[i];
                before[i] = all[i] - segment[i];
            }
            for (int i = 0; i < NP; ++i) {
                allP[i] = FPosFreq[i];
                segmentP[i] = FSegPosFreq[i];
                beforeP[i] = allP[i] - segmentP[i];
            }
            const double joined = EntropyBits(all, NC) + EntropyBits(allP, NP);
            const double split = EntropyBits(before, NC) + EntropyBits(beforeP, NP) +
                                 EntropyBits(segment, NC) + EntropyBits(segmentP, NP);
            if (joined - split > SplitCostBits) {
                // Send the block up to the segment, then move the segment's codes down.
                for (int i = 0; i < NC; ++i) FLitFreq[i] = uint16_t(before[i]);
                for (int i = 0; i < NP; ++i) FPosFreq[i] = uint16_t(beforeP[i]);
                SendBlock();
                if (FUnpackable) return;
                const size_t length = FCodePos - FSegmentStart;
                std::memmove(FCodeBuffer.data(), FCodeBuffer.data() + FSegmentStart, length);
                FCodePos = length;
                for (int i = 0; i < NC; ++i) FLitFreq[i] = uint16_t(segment[i]);
                for (int i = 0; i < NP; ++i) FPosFreq[i] = uint16_t(segmentP[i]);
            }
        }
        StartSegment();
    }

    // ------------------------------------------------------------ bit output

    void PutBits(int n, uint32_t x) {
        FBits = (FBits << n) | (x & ((1u << n) - 1));
        FBitCount += n;
        while (FBitCount >= 8) {
            FBitCount -= 8;
            EmitByte(uint8_t(FBits >> FBitCount));
        }
    }
    void FlushBits() {
        if (FBitCount > 0) EmitByte(uint8_t(FBits << (8 - FBitCount)));
        FBitCount = 0;
    }
    // The packed stream must stay shorter than the input read so far; when it
    // would not, the file is better stored.
    void EmitByte(uint8_t b) {
        if (FOutCount + 1 >= FInCount) {
            FUnpackable = true;
            return;
        }
        ++FOutCount;
        FOutBuffer.push_back(b);
        if (FOutBuffer.size() >= OutputChunk) FlushOutput();
    }
    void FlushOutput() {
        if (FOutBuffer.empty()) return;
        FOutput.Write(FOutBuffer.data(), FOutBuffer.size());
        FWritten += FOutBuffer.size();
        FOutBuffer.clear();
    }

    // ------------------------------------------------------------ blocks

    void CountCodeLengthFrequencies() {
        std::fill(std::begin(FCodeLenFreq), std::end(FCodeLenFreq), 0);
        int n = NC;
        while (n > 0 && FLitLen[n - 1] == 0) --n;
        int i = 0;
        while (i < n) {
            int k = FLitLen[i++];
            if (k == 0) {
                int count = 1;
                while (i < n && FLitLen[i] == 0) {
                    ++i;
                    ++count;
                }
                if (count <= 2) {
                    FCodeLenFreq[0] += uint16_t(count);
                } else if (count <= 18) {
                    FCodeLenFreq[1]++;
                } else if (count == 19) {
                    FCodeLenFreq[0]++;
                    FCodeLenFreq[1]++;
                } else {
                    FCodeLenFreq[2]++;
                }
            } else {
                FCodeLenFreq[k + 2]++;
            }
        }
    }

    void WriteAuxLengths(const uint8_t* lengths, int n, int countBits, int special) {
        while (n > 0 && lengths[n - 1] == 0) --n;
        PutBits(countBits, uint32_t(n));
        int i = 0;
        while (i < n) {
            int k = lengths[i++];
            if (k <= 6) {
                PutBits(3, uint32_t(k));
            } else {
                PutBits(k - 3, (1u << (k - 3)) - 2);
            }
            if (i == special) {
                while (i < 6 && lengths[i] == 0) ++i;
                PutBits(2, uint32_t(i - 3) & 3);
            }
        }
    }

    void WriteLiteralLengths() {
        int n = NC;
        while (n > 0 && FLitLen[n - 1] == 0) --n;
        PutBits(CBit, uint32_t(n));
        int i = 0;
        while (i < n) {
            int k = FLitLen[i++];
            if (k == 0) {
                int count = 1;
                while (i < n && FLitLen[i] == 0) {
                    ++i;
                    ++count;
                }
                if (count <= 2) {
                    for (int j = 0; j < count; ++j) PutBits(FCodeLenLen[0], FCodeLenCode[0]);
                } else if (count <= 18) {
                    PutBits(FCodeLenLen[1], FCodeLenCode[1]);
                    PutBits(4, uint32_t(count - 3));
                } else if (count == 19) {
                    PutBits(FCodeLenLen[0], FCodeLenCode[0]);
                    PutBits(FCodeLenLen[1], FCodeLenCode[1]);
                    PutBits(4, 15);
                } else {
                    PutBits(FCodeLenLen[2], FCodeLenCode[2]);
                    PutBits(CBit, uint32_t(count - 20));
                }
            } else {
                PutBits(FCodeLenLen[k + 2], FCodeLenCode[k + 2]);
            }
        }
    }

    void SendBlock() {
        const int root = FTree.Make(NC, FLitFreq, FLitLen, FLitCode);
        uint32_t codes = 0;
        for (int i = 0; i < NC; ++i) codes += FLitFreq[i];
        PutBits(16, codes);
        if (root >= NC) {
            CountCodeLengthFrequencies();
            const int r2 = FTree.Make(NT, FCodeLenFreq, FCodeLenLen, FCodeLenCode);
            if (r2 >= NT) {
                WriteAuxLengths(FCodeLenLen, NT, TBit, 3);
            } else {
                PutBits(TBit, 0);
                PutBits(TBit, uint32_t(r2));
            }
            WriteLiteralLengths();
        } else {
            PutBits(TBit, 0);
            PutBits(TBit, 0);
            PutBits(CBit, 0);
            PutBits(CBit, uint32_t(root));
        }
        const int r3 = FTree.Make(NP, FPosFreq, FPosLen, FPosCode);
        if (r3 >= NP) {
            WriteAuxLengths(FPosLen, NP, PBit, -1);
        } else {
            PutBits(PBit, 0);
            PutBits(PBit, uint32_t(r3));
        }
        size_t at = 0;
        unsigned flags = 0;
        for (uint32_t i = 0; i < codes && !FUnpackable; ++i) {
            if ((i & 7) == 0)
                flags = FCodeBuffer[at++];
            else
                flags <<= 1;
            if (flags & 0x80) {
                unsigned c = FCodeBuffer[at++] + 256u;
                PutBits(FLitLen[c], FLitCode[c]);
                unsigned p = unsigned(FCodeBuffer[at]) << 8 | FCodeBuffer[at + 1];
                at += 2;
                int y = BitLength(p);
                PutBits(FPosLen[y], FPosCode[y]);
                if (y > 1) PutBits(y - 1, p);
            } else {
                unsigned c = FCodeBuffer[at++];
                PutBits(FLitLen[c], FLitCode[c]);
            }
        }
        std::fill(std::begin(FLitFreq), std::end(FLitFreq), 0);
        std::fill(std::begin(FPosFreq), std::end(FPosFreq), 0);
        if (FOutput.Cancelled()) FUnpackable = true;
    }

    CodecInput& FInput;
    CodecOutput& FOutput;

    std::vector<uint8_t> FText;
    size_t FPos = 0;
    size_t FEnd = 0;
    size_t FRemainder = 0;
    int64_t FBase = 0;
    bool FInputDone = false;
    std::vector<int64_t> FHead;
    std::vector<int64_t> FPrev;
    int FMatchDistance = 0;
    int FLastLength = 0;

    std::vector<uint8_t> FCodeBuffer;
    size_t FCodePos = 0;
    size_t FFlagPos = 0;
    unsigned FOutputMask = 0;

    size_t FSegmentStart = 0;
    uint32_t FSegLitFreq[NC] = {};
    uint32_t FSegPosFreq[NP] = {};
    uint16_t FLitFreq[2 * NC] = {};
    uint16_t FPosFreq[2 * NP] = {};
    uint16_t FCodeLenFreq[2 * NT] = {};
    uint8_t FLitLen[NC] = {};
    uint16_t FLitCode[NC] = {};
    uint8_t FPosLen[NP + 1] = {};
    uint16_t FPosCode[NP + 1] = {};
    uint8_t FCodeLenLen[NT] = {};
    uint16_t FCodeLenCode[NT] = {};
    TLzhTreeBuilder FTree;

    uint64_t FBits = 0;
    int FBitCount = 0;
    uint64_t FInCount = 0;
    uint64_t FOutCount = 0;
    std::vector<uint8_t> FOutBuffer;
    uint64_t FWritten = 0;
    bool FUnpackable = false;
};

} // namespace

TLzhEncodeResult Lzh5Compress(CodecInput& input, CodecOutput& output) {
    auto encoder = std::make_unique<TLzh5Encoder>(input, output);
    return encoder->Run(false);
}

TLzhEncodeResult FuseCompress(CodecInput& input, CodecOutput& output) {
    auto encoder = std::make_unique<TLzh5Encoder>(input, output);
    return encoder->Run(true);
}

} // namespace mv
