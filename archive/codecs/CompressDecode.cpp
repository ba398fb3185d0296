// Unix compress (.Z) decoder: LZW over codes that grow from 9 bits to the
// file's widest code. Codes are packed least significant bit first in groups
// of eight codes; when the width changes, or a clear code empties the table,
// the rest of the current group is padding and decoding resumes at the next
// group boundary (groups counted from where the width last changed).
//
// Why it is fast: a code is read with one unaligned 32-bit load and a shift
// from a large input buffer; strings are unwound through flat prefix and
// suffix tables onto a stack and copied out in one piece into a 256 KiB output
// buffer, so the output sink sees few large writes.
//
// Why it is safe: the widest code is checked (9..16) before any table is used,
// every code is compared with the next free table entry before it indexes the
// tables, prefix chains strictly descend so the stack cannot overflow, and the
// caller's output bounds how much is produced.
#include "archive/codecs/CompressDecode.h"

#include "resources/ArcErrorNumbers.h"

#include <cstring>
#include <vector>

namespace mv {

namespace {

constexpr uint32_t ClearCode = 256;
constexpr size_t ChunkSize = 64 * 1024;
constexpr size_t OutSize = 256 * 1024;
constexpr size_t TableSize = 65536;

// The packed bytes with an absolute bit position counted from the first code.
class TCodeReader {
public:
    explicit TCodeReader(CodecInput& input) : FInput(input), FBuffer(2 * ChunkSize + 8, 0) {}

    // Reads the next n-bit code into code; false when fewer than n bits are left.
    inline bool Get(int n, uint32_t& code) {
        uint64_t index = (FBitPos >> 3) - FBufferStart;
        if (index + 4 > FSize && !Ensure(n)) return false;
        index = (FBitPos >> 3) - FBufferStart;
        uint32_t v;
        std::memcpy(&v, FBuffer.data() + index, 4);
        code = (v >> (FBitPos & 7)) & ((1u << n) - 1);
        FBitPos += uint64_t(n);
        return true;
    }
    // Moves to the end of the current group of eight n-bit codes. Groups are
    // counted from where the current width began (the start, the last width
    // change or clear), and the next width's groups start here.
    void Align(int n) {
        uint64_t group = uint64_t(n) * 8;
        FBitPos = FGroupStart + (FBitPos - FGroupStart + group - 1) / group * group;
        FGroupStart = FBitPos;
    }
    // Bytes taken from the input so far.
    uint64_t Consumed() const { return FBufferStart + FSize; }

private:
    // Slow path: makes the bytes under the bit position present (up to four
    // of them, zero past the end). False when the next n bits are not all data.
    bool Ensure(int n) {
        uint64_t want = FBitPos >> 3; // first byte needed, absolute
        // Drop what lies before it (skipping input that alignment passed over).
        uint64_t drop = want - FBufferStart;
        if (drop > FSize) drop = FSize;
        std::memmove(FBuffer.data(), FBuffer.data() + drop, FSize - drop);
        FSize -= drop;
        FBufferStart += drop;
        while (!FEnd && (FBufferStart + FSize < want + 4)) {
            size_t got = FInput.Read(FBuffer.data() + FSize, ChunkSize);
            if (got == 0) {
                FEnd = true;
                break;
            }
            FSize += got;
            if (FBufferStart + FSize <= want) { // still short of the position: discard
                FBufferStart += FSize;
                FSize = 0;
            }
        }
        std::memset(FBuffer.data() + FSize, 0, 4);
        if (FBufferStart > want) return false;
        uint64_t haveBits = (FBufferStart + FSize) * 8;
        return FBitPos + uint64_t(n) <= haveBits;
    }

    CodecInput& FInput;
    std::vector<uint8_t> FBuffer;
    uint64_t FBufferStart = 0; // absolute offset of FBuffer[0]
    uint64_t FSize = 0;        // valid bytes in FBuffer
    uint64_t FBitPos = 0;
    uint64_t FGroupStart = 0;
    bool FEnd = false;
};

} // namespace

TCompressResult CompressDecode(CodecInput& input, CodecOutput& output) {
    TCompressResult result;
    uint8_t header[3];
    size_t got = 0;
    while (got < 3) {
        size_t n = input.Read(header + got, 3 - got);
        if (n == 0) throw ECodecError(arcerr::CorruptEntry, "compress header is incomplete");
        got += n;
    }
    const uint8_t mode = header[2];
    if (mode & 0x60) throw ECodecError(arcerr::IncompleteCode, "unknown compress mode bits");
    const int maxBits = mode & 0x1F;
    if (maxBits < 9 || maxBits > 16)
        throw ECodecError(arcerr::BitCountError, "compress code width outside 9..16");
    const bool blockMode = (mode & 0x80) != 0;
    const uint32_t maxMaxCode = 1u << maxBits;

    std::vector<uint16_t> prefix(TableSize, 0);
    std::vector<uint8_t> suffix(TableSize);
    for (uint32_t i = 0; i < 256; ++i) suffix[i] = uint8_t(i);
    std::vector<uint8_t> stack(TableSize + 2);
    uint8_t* const stackEnd = stack.data() + stack.size();
    std::vector<uint8_t> out(OutSize);
    size_t outPos = 0;

    auto flush = [&]() {
        if (outPos) {
            output.Write(out.data(), outPos);
            result.Written += outPos;
            outPos = 0;
        }
    };

    TCodeReader reader(input);
    int width = 9;
    uint32_t maxCode = (1u << width) - 1;
    uint32_t freeEntry = blockMode ? 257 : 256;
    int32_t oldCode = -1;
    uint8_t finChar = 0;
    uint32_t code;

    for (;;) {
        if (freeEntry > maxCode) {
            reader.Align(width);
            ++width;
            maxCode = width == maxBits ? maxMaxCode : (1u << width) - 1;
        }
        if (!reader.Get(width, code)) break;
        if (oldCode < 0) {
            if (code >= 256) throw ECodecError(arcerr::CorruptEntry, "first compress code is not a byte");
            finChar = uint8_t(code);
            oldCode = int32_t(code);
            out[outPos++] = finChar;
            continue;
        }
        if (code == ClearCode && blockMode) {
            std::fill(prefix.begin(), prefix.begin() + 256, 0);
            freeEntry = 256;
            reader.Align(width);
            width = 9;
            maxCode = (1u << width) - 1;
            continue;
        }
        const uint32_t inCode = code;
        uint8_t* sp = stackEnd;
        if (code >= freeEntry) {
            if (code > freeEntry) { // not in the table and not the next entry
                flush();
                return result;
            }
            *--sp = finChar;
            code = uint32_t(oldCode);
        }
        while (code >= 256) {
            *--sp = suffix[code];
            code = prefix[code];
        }
        *--sp = finChar = suffix[code];
        size_t len = size_t(stackEnd - sp);
        if (len > OutSize - outPos) {
            flush();
            if (output.Cancelled()) return result;
        }
        std::memcpy(out.data() + outPos, sp, len);
        outPos += len;
        if (freeEntry < maxMaxCode) {
            prefix[freeEntry] = uint16_t(oldCode);
            suffix[freeEntry] = finChar;
            ++freeEntry;
        }
        oldCode = int32_t(inCode);
    }
    flush();
    result.Complete = true;
    return result;
}

} // namespace mv
