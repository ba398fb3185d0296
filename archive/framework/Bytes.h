#pragma once
// Byte-order helpers and bounded views over bytes read from an archive. Every
// format's records are little-endian (the few big-endian fields have their own
// helpers); nothing here casts a struct over a buffer, and the view and the
// cursor never read outside the bytes they were given.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace mv {

// Reads up to n bytes at absolute position pos of an archive; the count read
// (0 or less when nothing could be read). The header parsers of the formats read
// through it, from a file, a stream or the lister's window alike.
using TReadAt = std::function<int64_t(int64_t pos, uint8_t* buffer, int64_t n)>;

// --- Fields of a buffer the caller has already checked ---

inline uint16_t LE16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t LE32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline uint64_t LE64(const uint8_t* p) {
    return LE32(p) | (uint64_t(LE32(p + 4)) << 32);
}
inline uint16_t BE16(const uint8_t* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}
inline uint32_t BE32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}
inline void PutLE16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutLE32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// A read-only view of bytes; every read outside it answers 0.
class TByteView {
public:
    TByteView(const uint8_t* data, size_t size) : FData(data), FSize(size) {}
    size_t Size() const { return FSize; }
    const uint8_t* Data() const { return FData; }
    // True when count bytes stand at offset.
    bool Has(size_t offset, size_t count) const { return offset <= FSize && count <= FSize - offset; }
    uint8_t U8(size_t offset) const { return Has(offset, 1) ? FData[offset] : 0; }
    uint16_t U16(size_t offset) const { return Has(offset, 2) ? LE16(FData + offset) : 0; }
    uint32_t U32(size_t offset) const { return Has(offset, 4) ? LE32(FData + offset) : 0; }
    uint64_t U64(size_t offset) const { return Has(offset, 8) ? LE64(FData + offset) : 0; }
    // True when the bytes of text stand at offset.
    bool Matches(size_t offset, const char* text, size_t length) const;

private:
    const uint8_t* FData;
    size_t FSize;
};

// Reads fields one after the other from a view. A read past the end answers 0
// and clears Ok(), which stays cleared: a parser reads a whole record and
// tests Ok() once.
class TByteCursor {
public:
    TByteCursor(const uint8_t* data, size_t size) : FView(data, size) {}
    explicit TByteCursor(TByteView view) : FView(view) {}
    bool Ok() const { return FOk; }
    size_t Pos() const { return FPos; }
    size_t Left() const { return FPos <= FView.Size() ? FView.Size() - FPos : 0; }
    uint8_t U8() { return Take(1) ? FView.U8(FPos - 1) : 0; }
    uint16_t U16() { return Take(2) ? FView.U16(FPos - 2) : 0; }
    uint32_t U32() { return Take(4) ? FView.U32(FPos - 4) : 0; }
    uint64_t U64() { return Take(8) ? FView.U64(FPos - 8) : 0; }
    // A 7-bit variable-length number, low group first (high bit: more follow).
    uint64_t VarInt();
    // count raw bytes (empty and not Ok() when fewer are left).
    std::string Bytes(size_t count);
    void Skip(size_t count) { Take(count); }

private:
    bool Take(size_t count) {
        if (!FOk || !FView.Has(FPos, count)) return FOk = false;
        FPos += count;
        return true;
    }
    TByteView FView;
    size_t FPos = 0;
    bool FOk = true;
};

} // namespace mv
