// Static-Huffman LZ77 decoder for the LHA -lh4- to -lh7- methods and their
// relatives in ZOO, BH and ARJ. Each block carries a 16-bit code count, the
// code lengths of a code-length alphabet (19 symbols), of the literal/length
// alphabet (510 symbols: 256 literals, then match lengths 3..256) and of the
// position alphabet (bit lengths of the distances); codes are canonical,
// most significant bit first.
//
// Why it is fast: a 64-bit bit buffer refilled eight bytes at a time, so one
// refill covers a whole literal/length + position + extra-bits step; flat
// lookup tables (12-bit root for literals, 10-bit for positions, small
// second-level tables for longer codes) instead of a tree walk per bit; the
// history and the output share one buffer that is flushed in 256 KiB pieces,
// so matches are plain forward copies, eight bytes at a time when the
// distance allows.
//
// Why it is safe: every count, run, symbol and distance read from the stream
// is checked against its table before use, code-length sets must form a
// complete prefix code, the declared size bounds every write, and a stream
// that keeps asking for bits after its packed bytes are exhausted ends with
// an error instead of inventing gigabytes of output.
#include "archive/codecs/LzhDecode.h"
#include "archive/codecs/MsbBitInput.h"
#include "resources/ArcErrorNumbers.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace mv {

namespace {

constexpr int LiteralAlphabet = 510;   // NC
constexpr int CodeLengthAlphabet = 19; // NT
constexpr int MaxCodeLength = 16;

// A canonical Huffman lookup table. An entry holds (symbol << 16) | length for
// a code that fits the root, or (offset << 16) | Link | (sub bits << 8) for the
// second-level table of longer codes sharing that root prefix.
class TDecodeTable {
public:
    static constexpr uint32_t Link = 0x80;

    void Init(int rootBits) {
        FRootBits = rootBits;
        FEntries.assign(size_t(1) << rootBits, 0);
    }
    // Every code reads as `symbol` and takes no bits (the one-symbol form).
    void SetSingle(int symbol) {
        FEntries.resize(size_t(1) << FRootBits);
        std::fill(FEntries.begin(), FEntries.end(), uint32_t(symbol) << 16);
    }
    // Builds the table from code lengths; throws 25120 unless they form a
    // complete prefix code. All lengths zero reads as symbol 0 without bits.
    void Build(const uint8_t* lengths, int count) {
        int perLength[MaxCodeLength + 1] = {};
        for (int i = 0; i < count; ++i) perLength[lengths[i]]++;
        uint32_t kraft = 0;
        for (int len = 1; len <= MaxCodeLength; ++len)
            kraft += uint32_t(perLength[len]) << (MaxCodeLength - len);
        if (kraft == 0) {
            SetSingle(0);
            return;
        }
        if (kraft != (1u << MaxCodeLength))
            throw ECodecError(arcerr::HuffmanError, "incomplete or oversubscribed code");

        // First code of each length, canonical order (by length, then symbol).
        uint32_t next[MaxCodeLength + 2];
        uint32_t code = 0;
        for (int len = 1; len <= MaxCodeLength; ++len) {
            code = (code + (len > 1 ? perLength[len - 1] : 0)) << (len > 1 ? 1 : 0);
            next[len] = code;
        }
        const int root = FRootBits;
        const size_t rootSize = size_t(1) << root;
        // Longest code under each root prefix, to size its second-level table.
        std::vector<uint8_t> subBits(rootSize, 0);
        {
            uint32_t probe[MaxCodeLength + 2];
            std::memcpy(probe, next, sizeof next);
            for (int s = 0; s < count; ++s) {
                int len = lengths[s];
                if (len <= root) continue;
                uint32_t c = probe[len]++;
                uint32_t prefix = c >> (len - root);
                subBits[prefix] = std::max<uint8_t>(subBits[prefix], uint8_t(len - root));
            }
        }
        size_t total = rootSize;
        std::vector<uint32_t> subOffset(rootSize, 0);
        for (size_t p = 0; p < rootSize; ++p) {
            if (!subBits[p]) continue;
            subOffset[p] = uint32_t(total);
            total += size_t(1) << subBits[p];
        }
        FEntries.assign(total, 0);
        for (size_t p = 0; p < rootSize; ++p)
            if (subBits[p]) FEntries[p] = (subOffset[p] << 16) | Link | (uint32_t(subBits[p]) << 8);
        for (int s = 0; s < count; ++s) {
            int len = lengths[s];
            if (!len) continue;
            uint32_t c = next[len]++;
            uint32_t entry = (uint32_t(s) << 16) | uint32_t(len);
            if (len <= root) {
                uint32_t first = c << (root - len);
                uint32_t n = 1u << (root - len);
                for (uint32_t i = 0; i < n; ++i) FEntries[first + i] = entry;
            } else {
                uint32_t prefix = c >> (len - root);
                int sb = subBits[prefix];
                int rest = len - root;
                uint32_t low = c & ((1u << rest) - 1);
                uint32_t first = subOffset[prefix] + (low << (sb - rest));
                uint32_t n = 1u << (sb - rest);
                for (uint32_t i = 0; i < n; ++i) FEntries[first + i] = entry;
            }
        }
    }
    const uint32_t* Data() const { return FEntries.data(); }
    int RootBits() const { return FRootBits; }

    // Decodes one symbol; the caller has refilled the bit input.
    inline uint32_t Decode(TMsbBitInput& in) const {
        uint32_t e = FEntries[in.Peek(FRootBits)];
        if (e & Link) {
            int sb = (e >> 8) & 31;
            e = FEntries[(e >> 16) + uint32_t((in.Bits() << FRootBits) >> (64 - sb))];
        }
        in.Skip(e & 31);
        return e >> 16;
    }

private:
    int FRootBits = 8;
    std::vector<uint32_t> FEntries;
};

class TLzh3Decoder {
public:
    TLzh3Decoder(CodecInput& input, CodecOutput& output, const TLzh3Params& params)
        : FIn(input), FOutput(output), FPositionAlphabet(params.DicBit + 1), FPBit(params.PBit),
          FRingSize(params.RingSize) {
        if (FPositionAlphabet > 31 || FRingSize == 0)
            throw ECodecError(arcerr::CorruptEntry, "bad decoder parameters");
        FLiteral.Init(LiteralRootBits);
        FPosition.Init(PositionRootBits);
        FCodeLength.Init(8);
        FBuffer.assign(size_t(FRingSize) + FlushChunk + MaxMatch + 64, 0);
    }

    uint64_t Run(uint64_t unpackedSize) {
        uint8_t* win = FBuffer.data();
        const size_t history = FRingSize;
        const size_t flushAt = history + FlushChunk;
        size_t pos = history;
        size_t writeFrom = history;
        uint64_t remaining = unpackedSize;
        uint64_t written = 0;
        bool ended = false;
        while (remaining > 0 && !ended) {
            const size_t start = pos;
            // No write ever passes the declared size; a match may run past
            // flushAt into the spare room behind it.
            const size_t room = flushAt + MaxMatch - pos;
            const size_t hardEnd = pos + (remaining < room ? size_t(remaining) : room);
            const size_t stop = std::min(flushAt, hardEnd);
            TMsbBitInput::TState st = FIn.Save();
            const uint32_t* lit = FLiteral.Data();
            const uint32_t* dist = FPosition.Data();
            uint32_t blockLeft = FBlockLeft;
            while (pos < stop) {
                if (blockLeft == 0) {
                    FIn.Load(st);
                    FBlockLeft = 0;
                    const bool more = ReadBlockHeader();
                    st = FIn.Save();
                    blockLeft = FBlockLeft;
                    lit = FLiteral.Data();
                    dist = FPosition.Data();
                    if (!more) {
                        ended = true;
                        break;
                    }
                }
                --blockLeft;
                if (st.End - st.Next >= 8) {
                    uint64_t v;
                    std::memcpy(&v, st.Next, 8);
                    st.Bits |= __builtin_bswap64(v) >> st.Count;
                    st.Next += (63 - st.Count) >> 3;
                    st.Count |= 56;
                } else {
                    FIn.Load(st);
                    FIn.Refill();
                    st = FIn.Save();
                }
                uint32_t e = lit[st.Bits >> (64 - LiteralRootBits)];
                if (e & TDecodeTable::Link)
                    e = lit[(e >> 16) + uint32_t((st.Bits << LiteralRootBits) >> (64 - ((e >> 8) & 31)))];
                st.Bits <<= (e & 31);
                st.Count -= int(e & 31);
                const uint32_t c = e >> 16;
                if (c < 256) {
                    win[pos++] = uint8_t(c);
                    continue;
                }
                size_t len = c - 253;
                e = dist[st.Bits >> (64 - PositionRootBits)];
                if (e & TDecodeTable::Link)
                    e = dist[(e >> 16) + uint32_t((st.Bits << PositionRootBits) >> (64 - ((e >> 8) & 31)))];
                st.Bits <<= (e & 31);
                st.Count -= int(e & 31);
                const uint32_t p = e >> 16;
                uint32_t distance = 0;
                if (p == 1) {
                    distance = 1;
                } else if (p > 1) {
                    distance = (1u << (p - 1)) + uint32_t(st.Bits >> (64 - (p - 1)));
                    st.Bits <<= (p - 1);
                    st.Count -= int(p - 1);
                }
                if (distance >= FRingSize) {
                    FIn.Load(st);
                    throw ECodecError(arcerr::CorruptEntry, "distance beyond the window");
                }
                if (len > hardEnd - pos) len = hardEnd - pos;
                uint8_t* dst = win + pos;
                const uint8_t* src = dst - distance - 1;
                if (distance >= 7) {
                    for (size_t i = 0; i < len; i += 8) std::memcpy(dst + i, src + i, 8);
                } else if (distance == 0) {
                    std::memset(dst, *src, len);
                } else {
                    for (size_t i = 0; i < len; ++i) dst[i] = src[i];
                }
                pos += len;
            }
            FIn.Load(st);
            FBlockLeft = blockLeft;
            remaining -= pos - start;
            if (pos >= flushAt || ended || remaining == 0) {
                FOutput.Write(win + writeFrom, pos - writeFrom);
                written += pos - writeFrom;
                writeFrom = pos;
                if (pos >= flushAt) {
                    std::memmove(win, win + pos - history, history);
                    pos = writeFrom = history;
                }
                if (FOutput.Cancelled()) break;
            }
        }
        return written;
    }

private:
    static constexpr size_t FlushChunk = 256 * 1024;
    static constexpr int LiteralRootBits = 12;
    static constexpr int PositionRootBits = 10;
    static constexpr size_t MaxMatch = 256;

    // Reads a block's code count and its three code-length sets; false at the
    // end block (count 0).
    bool ReadBlockHeader() {
        FBlockLeft = FIn.Get(16);
        if (FBlockLeft == 0) return false;
        ReadAuxLengths(FCodeLength, CodeLengthAlphabet, 5, 3);
        ReadLiteralLengths();
        ReadAuxLengths(FPosition, FPositionAlphabet, FPBit, -1);
        return true;
    }

    void ReadAuxLengths(TDecodeTable& table, int alphabet, int countBits, int special) {
        int n = int(FIn.Get(countBits));
        if (n == 0) {
            int c = int(FIn.Get(countBits));
            if (c >= alphabet) throw ECodecError(arcerr::HuffmanError, "single code out of range");
            table.SetSingle(c);
            return;
        }
        if (n > alphabet) throw ECodecError(arcerr::HuffmanError, "too many code lengths");
        uint8_t lengths[32] = {};
        int i = 0;
        while (i < n) {
            FIn.Refill();
            int c = int(FIn.Peek(3));
            if (c == 7) {
                // Unary extension: each further 1 bit adds one to the length.
                uint64_t rest = FIn.Bits() << 3;
                while (rest & (uint64_t(1) << 63)) {
                    ++c;
                    if (c > MaxCodeLength) throw ECodecError(arcerr::HuffmanError, "code length over 16");
                    rest <<= 1;
                }
                FIn.Skip(c - 3);
            } else {
                FIn.Skip(3);
            }
            lengths[i++] = uint8_t(c);
            if (i == special) {
                int zeros = int(FIn.Get(2));
                while (zeros-- > 0 && i < alphabet) lengths[i++] = 0;
            }
        }
        table.Build(lengths, alphabet);
    }

    void ReadLiteralLengths() {
        int n = int(FIn.Get(9));
        if (n == 0) {
            int c = int(FIn.Get(9));
            if (c >= LiteralAlphabet) throw ECodecError(arcerr::HuffmanError, "single literal out of range");
            FLiteral.SetSingle(c);
            return;
        }
        if (n > LiteralAlphabet) throw ECodecError(arcerr::HuffmanError, "too many literal lengths");
        uint8_t lengths[LiteralAlphabet] = {};
        int i = 0;
        while (i < n) {
            FIn.Refill();
            int c = int(FCodeLength.Decode(FIn));
            if (c <= 2) {
                int run = c == 0 ? 1 : c == 1 ? int(FIn.Get(4)) + 3 : int(FIn.Get(9)) + 20;
                if (run > n - i) throw ECodecError(arcerr::HuffmanError, "zero run past the literal lengths");
                i += run; // lengths are already zero
            } else {
                lengths[i++] = uint8_t(c - 2);
            }
        }
        FLiteral.Build(lengths, LiteralAlphabet);
    }

    TMsbBitInput FIn;
    CodecOutput& FOutput;
    const int FPositionAlphabet;
    const int FPBit;
    const uint32_t FRingSize;
    uint32_t FBlockLeft = 0;
    TDecodeTable FLiteral;
    TDecodeTable FPosition;
    TDecodeTable FCodeLength;
    std::vector<uint8_t> FBuffer;
};

} // namespace

uint64_t Lzh3Decode(CodecInput& input, CodecOutput& output, uint64_t unpackedSize,
                    const TLzh3Params& params) {
    if (unpackedSize == 0) return 0;
    TLzh3Decoder decoder(input, output, params);
    return decoder.Run(unpackedSize);
}

} // namespace mv
