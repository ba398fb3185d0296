#pragma once
// The RAR decompressors: RAR 1.5, RAR 2.0 (LZ and multimedia), RAR 2.9/3.x (LZ with
// PPMd variant H and the standard filters) and RAR5 (LZ with its filters).
//
// One RarUnpack object decodes the members of one archive in order; it keeps the
// sliding window, the tables and the models between members so solid archives
// continue where the previous member stopped. The object is pure: compressed bytes
// come from a CodecInput, decoded bytes go to a CodecOutput, failures are
// ECodecError with the archive components' numbers.
//
// Fast because: bits are peeked from a byte buffer in one unaligned 32-bit load,
// Huffman symbols are found through a direct lookup table of the first 10 bits,
// matches are copied inside one flat window without per-byte bounds tests, and the
// window grows lazily so small members never pay for a large dictionary.
#include "archive/codecs/CodecIo.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace mv::unrar {

// Error numbers the decoders raise (texts live in the component string tables).
enum : int {
    kErrCorrupt = 25109,     // "Bloco com erros"
    kErrBadTree = 25152,     // invalid decoding tree
    kErrTruncated = 25236,   // read error or unexpected end
    kErrUnsupported = 25326, // compression method not supported
    kErrMemory = 25253,      // not enough memory
};

// MSB-first bit reader over a CodecInput, with byte access for the PPMd range coder.
class RarBitInput {
public:
    void Start(CodecInput* source);
    // The next 16 bits (zero-padded past the end of the data).
    uint32_t Get16() {
        if (addr + 8 > end) Refill();
        uint32_t v = (uint32_t(buf[addr]) << 24) | (uint32_t(buf[addr + 1]) << 16) |
                     (uint32_t(buf[addr + 2]) << 8) | buf[addr + 3];
        return (v << bit) >> 16;
    }
    // The next 32 bits.
    uint32_t Get32() {
        if (addr + 8 > end) Refill();
        uint64_t v = 0;
        for (int i = 0; i < 5; ++i) v = (v << 8) | buf[addr + i];
        return uint32_t(v >> (8 - bit));
    }
    // The next n bits (1..16) as a number, consumed.
    uint32_t Take(unsigned n) {
        uint32_t v = Get16() >> (16 - n);
        Skip(n);
        return v;
    }
    void Skip(unsigned n) {
        n += bit;
        addr += n >> 3;
        bit = n & 7;
    }
    void AlignByte() {
        if (bit) Skip(8 - bit);
    }
    uint8_t GetByte() {
        if (addr + 8 > end) Refill();
        return buf[addr++];
    }
    // True when at least n real bytes are left.
    bool AtLeast(size_t n) {
        if (addr + n + 8 > end) Refill();
        return !eof || base + addr + n <= realEndAbs;
    }
    // Bits consumed since Start.
    uint64_t BitPosition() const { return (base + addr) * 8 + bit; }
    // True once the reader has consumed bits beyond the real data.
    bool PastEnd() const { return eof && base + addr > realEndAbs; }
    // True when no real byte is left.
    bool Exhausted() const { return eof && base + addr >= realEndAbs; }

private:
    void Refill();
    CodecInput* in = nullptr;
    std::vector<uint8_t> buf;
    size_t addr = 0, end = 0;
    unsigned bit = 0;
    uint64_t base = 0; // stream offset of buf[0]
    uint64_t realEndAbs = 0;
    bool eof = false;
};

// Canonical Huffman decoding table in the layout all RAR generations share.
struct RarHuffman {
    static constexpr unsigned kQuickBits = 10;
    uint32_t decodeLen[16] = {};
    uint32_t decodePos[16] = {};
    uint32_t maxNum = 0;
    std::vector<uint16_t> decodeNum;
    uint8_t quickLen[1 << kQuickBits] = {};
    uint16_t quickNum[1 << kQuickBits] = {};
    void Build(const uint8_t* lengths, uint32_t count);
    uint32_t Decode(RarBitInput& in) const {
        uint32_t field = in.Get16() & 0xfffe;
        if (field < decodeLen[kQuickBits]) {
            uint32_t code = field >> (16 - kQuickBits);
            in.Skip(quickLen[code]);
            return quickNum[code];
        }
        return DecodeSlow(in, field);
    }
    uint32_t DecodeSlow(RarBitInput& in, uint32_t field) const;
};

class RarPpmModel;

// A pending filter over a block of the output (absolute positions).
struct RarFilter {
    uint64_t start = 0;
    uint32_t length = 0;
    int type = 0;          // one of the FilterType values
    uint32_t channels = 0; // delta, audio
    uint32_t width = 0;    // rgb
    uint32_t posR = 0;     // rgb
    bool done = false;
};

class RarUnpack {
public:
    RarUnpack();
    ~RarUnpack();
    RarUnpack(const RarUnpack&) = delete;
    RarUnpack& operator=(const RarUnpack&) = delete;

    // Dictionary for RAR5 members (bytes, from the member header); older methods use 4 MiB.
    // Larger than maxDictionary: kErrMemory.
    void SetDictionary(uint64_t bytes);
    static constexpr uint64_t kMaxDictionary = uint64_t(1) << 32;

    // Decodes one member of `unpackedSize` bytes. version: 15, 20, 26, 29, 36 (RAR 1.5-4
    // unpack versions) or 50 (RAR5 algorithm 0) / 70 (RAR5 algorithm 1). solid: continue
    // from the previous member's state. The output never exceeds unpackedSize.
    void Unpack(int version, bool solid, CodecInput& input, CodecOutput& output, uint64_t unpackedSize);

    // Members of a solid archive follow each other in one stream; the decoder then
    // reads on to each member's end mark so the next one starts in the right state.
    void SetSolidArchive(bool solid) { solidArchive = solid; }

    // Forget all state (a new archive, or after an error in a solid stream).
    void Reset();

    // Filter kinds (standard RAR 2.9 filters and RAR5 filters).
    enum FilterType { fltNone, fltE8, fltE8E9, fltItanium, fltDelta, fltRgb, fltAudio, fltArm };

private:
    friend class RarPpmModel;
    // --- window ---
    void EnsureWindow(uint64_t need);
    uint8_t* win = nullptr;
    std::unique_ptr<uint8_t[]> winStore;
    uint64_t winSize = 0, winMask = 0, dictSize = 0;
    uint64_t unpPos = 0;     // absolute position of the next byte decoded
    uint64_t wrPos = 0;      // absolute position of the next byte to hand out
    uint64_t fileStart = 0;  // absolute position where the current member began
    uint64_t fileEnd = 0;    // fileStart + unpackedSize
    uint64_t writtenAbs = 0; // absolute position of the next byte handed to the output
    uint64_t requestedDict = 0;
    bool started = false;
    bool solidArchive = false;
    bool rar5Filters = false, chainFilters = false;
    CodecOutput* out = nullptr;
    RarBitInput bits;

    // Every byte position at or beyond `limit` needs a window growth or a flush first.
    void PutByte(uint8_t b) {
        if (unpPos >= limit) MakeRoom(1);
        win[unpPos & winMask] = b;
        ++unpPos;
    }
    void CopyString(uint32_t length, uint64_t distance);
    void MakeRoom(uint32_t count);
    void SetLimit();
    uint64_t limit = 0;
    uint64_t nextFlush = 0;
    void Flush(bool final);
    void WriteArea(uint64_t from, uint64_t to);
    void WriteOut(const uint8_t* p, size_t n);
    void ApplyFilter(RarFilter& f, std::vector<uint8_t>& data);
    std::vector<RarFilter> filters;
    std::vector<uint8_t> filterData;
    bool Done() const { return unpPos >= fileEnd; }
    void CheckInput() const {
        if (bits.PastEnd()) throw ECodecError(kErrTruncated, "compressed data ends early");
    }

    // --- shared LZ state ---
    uint64_t oldDist[4] = {};
    unsigned oldDistPtr = 0;
    uint64_t lastDist = 0;
    uint32_t lastLength = 0;
    // A fresh RAR 1.5, 2.0 or 2.9 stream starts with no old distances or match.
    void ResetOldDists() {
        for (auto& d : oldDist) d = 0;
        oldDistPtr = 0;
        lastDist = 0;
        lastLength = 0;
    }
    // RAR 2.9 and RAR5 keep the last four distances newest first.
    void PushOldDist(uint64_t distance) {
        oldDist[3] = oldDist[2];
        oldDist[2] = oldDist[1];
        oldDist[1] = oldDist[0];
        oldDist[0] = distance;
    }
    // Moves old distance `n` (0..3) to the front and answers it.
    uint64_t RepeatOldDist(uint32_t n) {
        uint64_t distance = oldDist[n];
        for (uint32_t i = n; i > 0; --i) oldDist[i] = oldDist[i - 1];
        oldDist[0] = distance;
        return distance;
    }
    // The RAR 2.9 and RAR5 loop test: true when the member is complete. Without a
    // following solid member the data beyond the declared size is of no use; within
    // a solid stream we read on to the end-of-member mark so the next member starts
    // in the state the compressor left. Data that ends before the member does throws.
    bool MemberComplete() {
        if (unpPos >= fileEnd && (!solidArchive || unpPos > fileEnd + 0x10000)) return true;
        if (bits.PastEnd()) {
            if (unpPos >= fileEnd) return true;
            throw ECodecError(kErrTruncated, "compressed data ends early");
        }
        return false;
    }
    // Reads the pre-code and with it the code lengths of the LZ tables into table[0..size)
    // (RAR 2.0, 2.9 and RAR5 share this scheme); builds the pre-code table in bd.
    // previous: the lengths of the last tables, to which RAR 2.0 and 2.9 add the ones
    // read (modulo 16); null for RAR5. The caller checks the input afterwards.
    void ReadCodeLengths(uint8_t* table, uint32_t size, const uint8_t* previous, bool rar20);
    // Builds the main, distance, low-distance and repeat tables of RAR 2.9 and RAR5 from
    // consecutive code lengths; the table sizes are the format's.
    void BuildLzTables(const uint8_t* table, uint32_t nc, uint32_t dc, uint32_t ldc, uint32_t rc) {
        ld.Build(table, nc);
        dd.Build(table + nc, dc);
        ldd.Build(table + nc + dc, ldc);
        rd.Build(table + nc + dc + ldc, rc);
    }

    // --- RAR 1.5 ---
    void Unpack15(bool solid);
    void Init15();
    void InitHuff15();
    void CorrHuff15(uint16_t* charSet, uint8_t* numToPlace);
    uint32_t DecodeNum15(uint32_t num, uint32_t startPos, const uint32_t* decTab, const uint32_t* posTab);
    void ShortLZ15();
    void LongLZ15();
    void HuffDecode15();
    void GetFlagsBuf15();
    void Copy15(uint32_t distance, uint32_t length);
    uint16_t chSet[256], chSetA[256], chSetB[256], chSetC[256];
    uint8_t nToPl[256], nToPlB[256], nToPlC[256];
    uint32_t flagBuf = 0, avrPlc = 0, avrPlcB = 0, avrLn1 = 0, avrLn2 = 0, avrLn3 = 0;
    int buf60 = 0, numHuf = 0, stMode = 0, lCount = 0, flagsCnt = 0;
    uint32_t nhfb = 0, nlzb = 0, maxDist3 = 0;

    // --- RAR 2.0 ---
    void Unpack20(bool solid);
    bool ReadTables20();
    uint8_t DecodeAudio20(int delta);
    struct AudioState {
        int k1, k2, k3, k4, k5;
        int d1, d2, d3, d4;
        int lastDelta;
        unsigned dif[11];
        unsigned byteCount;
        int lastChar;
    };
    AudioState aud[4] = {};
    int channelDelta20 = 0;
    unsigned curChannel20 = 0, channels20 = 1;
    bool audioBlock20 = false, tablesRead20 = false;
    uint8_t oldTable20[257 * 4] = {};
    RarHuffman md20[4];

    // --- RAR 2.9 ---
    void Unpack29(bool solid);
    bool ReadTables29();
    bool ReadEndOfBlock29();
    bool ReadVMCode29();
    bool ReadVMCodePPM29();
    bool AddVMCode29(unsigned firstByte, const std::vector<uint8_t>& code);
    int PPMDecodeChar();
    int SafePPMDecodeChar();
    bool tablesRead29 = false;
    bool ppmBlock = false;
    int ppmEscChar = 2;
    uint8_t oldTable29[404] = {};
    uint32_t prevLowDist = 0;
    unsigned lowDistRepCount = 0;
    struct VmFilterDef {
        int type;
    };
    std::vector<VmFilterDef> vmFilters;
    std::vector<uint32_t> vmOldLengths;
    unsigned vmLastFilter = 0;
    std::unique_ptr<RarPpmModel> ppm;

    // --- RAR5 ---
    void Unpack5(bool solid, bool v7);
    bool ReadBlockHeader5();
    void ReadTables5(bool v7);
    bool tablesRead5 = false;
    uint64_t blockEndBits = 0;
    bool blockLast = false, blockTables = false;
    uint32_t SlotToLength5(uint32_t slot);
    uint32_t ReadFilterData5();

    // Tables (RAR 2.x/2.9/5 share the layout of main, distance, low distance, repeat).
    RarHuffman ld, dd, ldd, rd, bd;
};

} // namespace mv::unrar
