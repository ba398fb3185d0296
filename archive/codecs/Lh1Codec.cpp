// The LHA -lh1- method: LZ77 over a 4096-byte window (the first 4036 bytes
// start as blanks) with matches of 3..60 bytes. Literals and match lengths
// share one adaptive Huffman tree of 314 leaves that both sides update after
// every symbol and rebuild when the root's count reaches 0x8000; the upper
// six bits of a match position take a fixed prefix code of 3..8 bits, the
// lower six bits follow as they are.
//
// What keeps it quick: the tree update moves at most one subtree per level;
// the encoder finds matches with one ordered binary tree per first byte over
// the window; both sides move bits through a 64-bit buffer and bytes through
// 32 KiB buffers. All state belongs to the call, so several members may be
// coded at once.
#include "archive/codecs/Lh1Codec.h"

#include "resources/ArcErrorNumbers.h"

#include <array>
#include <cstring>
#include <memory>
#include <vector>

namespace mv {

namespace {

constexpr int WindowSize = 4096;
constexpr int LookAhead = 60;
constexpr int Threshold = 2;
constexpr int SymbolCount = 256 - Threshold + LookAhead; // 314
constexpr int NodeCount = SymbolCount * 2 - 1;           // 627
constexpr int Root = NodeCount - 1;                      // 626
constexpr uint32_t RebuildLimit = 0x8000;
constexpr int StartPosition = WindowSize - LookAhead; // 4036
constexpr size_t IoChunk = 32768;

// Position code of the upper six bits: lengths and codes, left-aligned in a
// byte, and the inverse tables for the decoder (per leading byte).
struct TPositionCode {
    std::array<uint8_t, 64> Length{};
    std::array<uint8_t, 64> Code{};
    std::array<uint8_t, 256> DecodeUpper{};
    std::array<uint8_t, 256> DecodeLength{};

    TPositionCode() {
        // Counts of codes per length 3..8: 1, 3, 8, 12, 24, 16.
        const int counts[6] = {1, 3, 8, 12, 24, 16};
        int u = 0;
        uint32_t code = 0;
        for (int li = 0; li < 6; ++li) {
            int len = 3 + li;
            for (int k = 0; k < counts[li]; ++k, ++u, ++code) {
                Length[u] = uint8_t(len);
                Code[u] = uint8_t(code << (8 - len));
            }
            code <<= 1;
        }
        for (int v = 0; v < 64; ++v) {
            int len = Length[v];
            int first = Code[v];
            for (int b = first; b < first + (1 << (8 - len)); ++b) {
                DecodeUpper[b] = uint8_t(v);
                DecodeLength[b] = uint8_t(len);
            }
        }
    }
};

const TPositionCode& PositionCode() {
    static const TPositionCode table;
    return table;
}

// The adaptive Huffman tree shared by both directions. Children of a node
// sit at positions Child and Child + 1; Child >= NodeCount names a leaf
// (NodeCount + symbol).
class TAdaptiveTree {
public:
    TAdaptiveTree() {
        for (int i = 0; i < SymbolCount; ++i) {
            FFreq[i] = 1;
            FChild[i] = uint16_t(i + NodeCount);
            FParent[i + NodeCount] = uint16_t(i);
        }
        for (int i = 0, j = SymbolCount; j <= Root; i += 2, ++j) {
            FFreq[j] = FFreq[i] + FFreq[i + 1];
            FChild[j] = uint16_t(i);
            FParent[i] = FParent[i + 1] = uint16_t(j);
        }
        FFreq[NodeCount] = 0xFFFF;
        FParent[Root] = 0;
    }

    uint16_t Child(int node) const { return FChild[node]; }
    uint16_t LeafOf(int symbol) const { return FParent[symbol + NodeCount]; }
    uint16_t Parent(int node) const { return FParent[node]; }

    void Update(int symbol) {
        if (FFreq[Root] == RebuildLimit) Rebuild();
        int c = FParent[symbol + NodeCount];
        do {
            uint32_t k = ++FFreq[c];
            if (k > FFreq[c + 1]) {
                int l = c + 1;
                while (k > FFreq[++l]) {
                }
                --l;
                FFreq[c] = FFreq[l];
                FFreq[l] = k;
                int i = FChild[c];
                FParent[i] = uint16_t(l);
                if (i < NodeCount) FParent[i + 1] = uint16_t(l);
                int j = FChild[l];
                FChild[l] = uint16_t(i);
                FParent[j] = uint16_t(c);
                if (j < NodeCount) FParent[j + 1] = uint16_t(c);
                FChild[c] = uint16_t(j);
                c = l;
            }
            c = FParent[c];
        } while (c != 0);
    }

private:
    void Rebuild() {
        int j = 0;
        for (int i = 0; i < NodeCount; ++i) {
            if (FChild[i] >= NodeCount) {
                FFreq[j] = (FFreq[i] + 1) >> 1;
                FChild[j] = FChild[i];
                ++j;
            }
        }
        for (int i = 0, k = SymbolCount; k < NodeCount; i += 2, ++k) {
            uint32_t f = FFreq[i] + FFreq[i + 1];
            int at = k - 1;
            while (f < FFreq[at]) --at;
            ++at;
            std::memmove(&FFreq[at + 1], &FFreq[at], sizeof(FFreq[0]) * size_t(k - at));
            FFreq[at] = f;
            std::memmove(&FChild[at + 1], &FChild[at], sizeof(FChild[0]) * size_t(k - at));
            FChild[at] = uint16_t(i);
        }
        for (int i = 0; i < NodeCount; ++i) {
            int k = FChild[i];
            if (k >= NodeCount) {
                FParent[k] = uint16_t(i);
            } else {
                FParent[k] = FParent[k + 1] = uint16_t(i);
            }
        }
    }

    uint32_t FFreq[NodeCount + 1];
    uint16_t FChild[NodeCount];
    uint16_t FParent[NodeCount + SymbolCount];
};

// ---------------------------------------------------------------- decoding

class TLh1BitInput {
public:
    explicit TLh1BitInput(CodecInput& input) : FInput(input), FBuffer(IoChunk) {}

    uint32_t Bit() {
        if (FCount == 0) Refill();
        uint32_t b = uint32_t(FBits >> 63);
        FBits <<= 1;
        --FCount;
        return b;
    }
    uint32_t Byte() {
        if (FCount < 8) Refill();
        uint32_t b = uint32_t(FBits >> 56);
        FBits <<= 8;
        FCount -= 8;
        return b;
    }

private:
    static constexpr uint32_t PadLimit = 16;

    void Refill() {
        while (FCount <= 56) {
            if (FNext == FEnd && !FExhausted) {
                size_t n = FInput.Read(FBuffer.data(), FBuffer.size());
                FNext = 0;
                FEnd = n;
                if (n == 0) FExhausted = true;
            }
            uint64_t b = 0;
            if (FNext < FEnd) {
                b = FBuffer[FNext++];
            } else if (++FPadBytes > PadLimit) {
                throw ECodecError(arcerr::ReadError, "packed data ends before the declared size");
            }
            FBits |= b << (56 - FCount);
            FCount += 8;
        }
    }

    CodecInput& FInput;
    std::vector<uint8_t> FBuffer;
    size_t FNext = 0;
    size_t FEnd = 0;
    uint64_t FBits = 0;
    int FCount = 0;
    uint32_t FPadBytes = 0;
    bool FExhausted = false;
};

// ---------------------------------------------------------------- encoding

class TLh1BitOutput {
public:
    explicit TLh1BitOutput(CodecOutput& output) : FOutput(output) { FBuffer.reserve(IoChunk); }

    // Puts the low n bits of value (n <= 32), most significant first.
    void Put(int n, uint32_t value) {
        FBits = (FBits << n) | (value & (n == 32 ? 0xFFFFFFFFu : ((1u << n) - 1)));
        FCount += n;
        while (FCount >= 8) {
            FCount -= 8;
            Emit(uint8_t(FBits >> FCount));
        }
    }
    void Finish() {
        if (FCount > 0) Emit(uint8_t(FBits << (8 - FCount)));
        FCount = 0;
        Flush();
    }
    uint64_t Written() const { return FWritten + FBuffer.size(); }

private:
    void Emit(uint8_t b) {
        FBuffer.push_back(b);
        if (FBuffer.size() == IoChunk) Flush();
    }
    void Flush() {
        if (FBuffer.empty()) return;
        FOutput.Write(FBuffer.data(), FBuffer.size());
        FWritten += FBuffer.size();
        FBuffer.clear();
    }

    CodecOutput& FOutput;
    std::vector<uint8_t> FBuffer;
    uint64_t FBits = 0;
    int FCount = 0;
    uint64_t FWritten = 0;
};

// Ordered binary trees over the window, one per first byte.
class TLh1MatchFinder {
public:
    static constexpr int None = WindowSize;

    TLh1MatchFinder() {
        for (int i = WindowSize + 1; i <= WindowSize + 256; ++i) FRight[i] = None;
        for (int i = 0; i < WindowSize; ++i) FParent[i] = None;
    }

    uint8_t* Text() { return FText; }
    int MatchLength = 0;
    int MatchPosition = 0;

    void Insert(int r) {
        int cmp = 1;
        const uint8_t* key = &FText[r];
        int p = WindowSize + 1 + key[0];
        FRight[r] = FLeft[r] = None;
        MatchLength = 0;
        for (;;) {
            if (cmp >= 0) {
                if (FRight[p] != None) {
                    p = FRight[p];
                } else {
                    FRight[p] = uint16_t(r);
                    FParent[r] = uint16_t(p);
                    return;
                }
            } else {
                if (FLeft[p] != None) {
                    p = FLeft[p];
                } else {
                    FLeft[p] = uint16_t(r);
                    FParent[r] = uint16_t(p);
                    return;
                }
            }
            int i = 1;
            for (; i < LookAhead; ++i) {
                cmp = int(key[i]) - int(FText[p + i]);
                if (cmp != 0) break;
            }
            if (i > Threshold) {
                int distance = ((r - p) & (WindowSize - 1)) - 1;
                if (i > MatchLength) {
                    MatchPosition = distance;
                    MatchLength = i;
                    if (i >= LookAhead) break;
                } else if (i == MatchLength && distance < MatchPosition) {
                    MatchPosition = distance;
                }
            }
        }
        // A full-length match: r takes p's place in the tree.
        FParent[r] = FParent[p];
        FLeft[r] = FLeft[p];
        FRight[r] = FRight[p];
        FParent[FLeft[p]] = uint16_t(r);
        FParent[FRight[p]] = uint16_t(r);
        if (FRight[FParent[p]] == p) {
            FRight[FParent[p]] = uint16_t(r);
        } else {
            FLeft[FParent[p]] = uint16_t(r);
        }
        FParent[p] = None;
    }

    void Delete(int p) {
        if (FParent[p] == None) return;
        int q;
        if (FRight[p] == None) {
            q = FLeft[p];
        } else if (FLeft[p] == None) {
            q = FRight[p];
        } else {
            q = FLeft[p];
            if (FRight[q] != None) {
                do {
                    q = FRight[q];
                } while (FRight[q] != None);
                FRight[FParent[q]] = FLeft[q];
                FParent[FLeft[q]] = FParent[q];
                FLeft[q] = FLeft[p];
                FParent[FLeft[p]] = uint16_t(q);
            }
            FRight[q] = FRight[p];
            FParent[FRight[p]] = uint16_t(q);
        }
        FParent[q] = FParent[p];
        if (FRight[FParent[p]] == p) {
            FRight[FParent[p]] = uint16_t(q);
        } else {
            FLeft[FParent[p]] = uint16_t(q);
        }
        FParent[p] = None;
    }

private:
    uint8_t FText[WindowSize + LookAhead - 1] = {};
    uint16_t FLeft[WindowSize + 1] = {};
    uint16_t FRight[WindowSize + 257] = {};
    uint16_t FParent[WindowSize + 1] = {};
};

// Buffered byte source for the encoder.
class TByteSource {
public:
    explicit TByteSource(CodecInput& input) : FInput(input), FBuffer(IoChunk) {}
    int Next() {
        if (FNext == FEnd) {
            if (FDone) return -1;
            FEnd = FInput.Read(FBuffer.data(), FBuffer.size());
            FNext = 0;
            if (FEnd == 0) {
                FDone = true;
                return -1;
            }
        }
        return FBuffer[FNext++];
    }

private:
    CodecInput& FInput;
    std::vector<uint8_t> FBuffer;
    size_t FNext = 0;
    size_t FEnd = 0;
    bool FDone = false;
};

} // namespace

uint64_t Lh1Decompress(CodecInput& input, CodecOutput& output, uint64_t unpackedSize) {
    if (unpackedSize == 0) return 0;
    const TPositionCode& pc = PositionCode();
    auto tree = std::make_unique<TAdaptiveTree>();
    TLh1BitInput in(input);
    std::vector<uint8_t> ring(WindowSize, ' ');
    std::vector<uint8_t> out;
    out.reserve(IoChunk + LookAhead);
    uint32_t r = StartPosition;
    uint64_t written = 0;
    while (written + out.size() < unpackedSize) {
        int c = tree->Child(Root);
        while (c < NodeCount) c = tree->Child(c + int(in.Bit()));
        c -= NodeCount;
        tree->Update(c);
        if (c < 256) {
            ring[r] = uint8_t(c);
            r = (r + 1) & (WindowSize - 1);
            out.push_back(uint8_t(c));
        } else {
            uint32_t b = in.Byte();
            uint32_t upper = pc.DecodeUpper[b];
            int extra = pc.DecodeLength[b] - 2;
            while (extra-- > 0) b = (b << 1) | in.Bit();
            uint32_t p = (upper << 6) | (b & 63);
            uint64_t len = uint64_t(c) - 253;
            uint64_t left = unpackedSize - written - out.size();
            if (len > left) len = left;
            uint32_t src = (r - p - 1) & (WindowSize - 1);
            for (uint64_t k = 0; k < len; ++k) {
                uint8_t v = ring[(src + k) & (WindowSize - 1)];
                ring[r] = v;
                r = (r + 1) & (WindowSize - 1);
                out.push_back(v);
            }
        }
        if (out.size() >= IoChunk) {
            output.Write(out.data(), out.size());
            written += out.size();
            out.clear();
            if (output.Cancelled()) return written;
        }
    }
    if (!out.empty()) {
        output.Write(out.data(), out.size());
        written += out.size();
    }
    return written;
}

uint64_t Lh1Compress(CodecInput& input, CodecOutput& output) {
    const TPositionCode& pc = PositionCode();
    auto tree = std::make_unique<TAdaptiveTree>();
    auto finder = std::make_unique<TLh1MatchFinder>();
    TByteSource source(input);
    TLh1BitOutput bits(output);
    uint8_t* text = finder->Text();

    auto encodeSymbol = [&](int symbol) {
        // Collect the path leaf to root, then send it root first.
        uint32_t path = 0;
        int length = 0;
        int k = tree->LeafOf(symbol);
        do {
            path |= uint32_t(k & 1) << length;
            ++length;
            k = tree->Parent(k);
        } while (k != Root);
        bits.Put(length, path);
        tree->Update(symbol);
    };
    auto encodePosition = [&](int p) {
        int upper = p >> 6;
        bits.Put(pc.Length[upper], pc.Code[upper] >> (8 - pc.Length[upper]));
        bits.Put(6, uint32_t(p & 63));
    };

    std::memset(text, ' ', StartPosition);
    int s = 0;
    int r = StartPosition;
    int len = 0;
    for (; len < LookAhead; ++len) {
        int c = source.Next();
        if (c < 0) break;
        text[r + len] = uint8_t(c);
    }
    if (len == 0) return 0;
    // Mirror of the window's first bytes behind its end, for comparisons that
    // run past the end.
    std::memcpy(text + WindowSize, text, LookAhead - 1);
    for (int i = 1; i <= LookAhead; ++i) finder->Insert(r - i);
    finder->Insert(r);
    uint32_t steps = 0;
    do {
        if (finder->MatchLength > len) finder->MatchLength = len;
        if (finder->MatchLength <= Threshold) {
            finder->MatchLength = 1;
            encodeSymbol(text[r]);
        } else {
            encodeSymbol(255 - Threshold + finder->MatchLength);
            encodePosition(finder->MatchPosition);
        }
        const int last = finder->MatchLength;
        int i = 0;
        for (; i < last; ++i) {
            int c = source.Next();
            if (c < 0) break;
            finder->Delete(s);
            text[s] = uint8_t(c);
            if (s < LookAhead - 1) text[s + WindowSize] = uint8_t(c);
            s = (s + 1) & (WindowSize - 1);
            r = (r + 1) & (WindowSize - 1);
            finder->Insert(r);
        }
        for (; i < last; ++i) {
            finder->Delete(s);
            s = (s + 1) & (WindowSize - 1);
            r = (r + 1) & (WindowSize - 1);
            if (--len) finder->Insert(r);
        }
        if ((++steps & 0xFFF) == 0 && output.Cancelled()) return bits.Written();
    } while (len > 0);
    bits.Finish();
    return bits.Written();
}

} // namespace mv
