// gzip member headers, every optional field checked against the file's end.
#include "archive/formats/gzip/GZipFormat.h"

#include <algorithm>

namespace mv {

namespace {

// Reads a NUL-ended field at pos; keeps at most GZipMaxText bytes of it in out
// (when given) and moves pos past the NUL. False when the file ends first.
bool ReadZeroEnded(const TReadAt& readAt, int64_t& pos, int64_t fileSize, std::string* out) {
    uint8_t chunk[256];
    while (pos < fileSize) {
        const int64_t got = readAt(pos, chunk, std::min<int64_t>(sizeof chunk, fileSize - pos));
        if (got <= 0) return false;
        for (int64_t i = 0; i < got; ++i) {
            if (chunk[i] == 0) {
                pos += i + 1;
                return true;
            }
            if (out && out->size() < GZipMaxText) out->push_back(static_cast<char>(chunk[i]));
        }
        pos += got;
    }
    return false;
}

} // namespace

TGZipHeaderStatus ReadGZipHeader(const TReadAt& readAt, int64_t pos, int64_t fileSize, TGZipHeader& h) {
    h = TGZipHeader();
    uint8_t b[GZipHeaderSize];
    if (readAt(pos, b, sizeof b) != int64_t(sizeof b)) return TGZipHeaderStatus::ghShort;
    h.Magic = LE16(b);
    h.Method = b[2];
    h.Flags = b[3];
    h.MTime = LE32(b + 4);
    h.ExtraFlags = b[8];
    pos += GZipHeaderSize;
    if (h.Flags & GZipFlagExtra) {
        uint8_t l[2];
        if (readAt(pos, l, 2) != 2) return TGZipHeaderStatus::ghShort;
        pos += 2 + LE16(l);
        if (pos > fileSize) return TGZipHeaderStatus::ghShort;
    }
    if ((h.Flags & GZipFlagName) && !ReadZeroEnded(readAt, pos, fileSize, &h.Name))
        return TGZipHeaderStatus::ghShort;
    if ((h.Flags & GZipFlagComment) && !ReadZeroEnded(readAt, pos, fileSize, nullptr))
        return TGZipHeaderStatus::ghShort;
    if (h.Flags & GZipFlagHeaderCrc) {
        pos += 2;
        if (pos > fileSize) return TGZipHeaderStatus::ghShort;
    }
    h.DataPos = pos;
    return TGZipHeaderStatus::ghOk;
}

void PutGZipHeader(uint8_t* out, uint8_t flags, uint32_t mtime, uint8_t extraFlags, uint8_t host) {
    PutLE16(out, GZipMagic);
    out[2] = GZipMethodDeflate;
    out[3] = flags;
    PutLE32(out + 4, mtime);
    out[8] = extraFlags;
    out[9] = host;
}

} // namespace mv
