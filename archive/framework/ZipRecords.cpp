// Field-by-field encoding and decoding of the ZIP records.
#include "archive/framework/ZipRecords.h"

#include "archive/framework/Crc.h"

namespace mv {

uint16_t ZipDeflateFlagBits(int level) {
    switch (level) {
    case 1:
        return 0x06;
    case 2:
        return 0x04;
    case 9:
        return 0x02;
    default:
        return 0;
    }
}

TZipRecordStatus ReadZipLocalHeader(const uint8_t* buffer, size_t size, TZipLocalHeader& h) {
    if (size < ZipLocalHeaderSize) return TZipRecordStatus::zrShort;
    const uint8_t* p = buffer;
    if (LE32(p) != ZipLocalSignature) return TZipRecordStatus::zrBadSignature;
    h.Signature = LE32(p);
    h.VersionNeeded = LE16(p + 4);
    h.Flags = LE16(p + 6);
    h.Method = LE16(p + 8);
    h.DosDateTime = LE32(p + 10);
    h.Crc32 = LE32(p + 14);
    h.CompressedSize = LE32(p + 18);
    h.UncompressedSize = LE32(p + 22);
    h.NameLength = LE16(p + 26);
    h.ExtraLength = LE16(p + 28);
    if (h.CompressedSize == 0xFFFFFFFF || h.UncompressedSize == 0xFFFFFFFF) return TZipRecordStatus::zrZip64;
    return TZipRecordStatus::zrOk;
}

TZipRecordStatus ReadZipCentralRecord(const uint8_t* buffer, size_t size, TZipCentralRecord& r) {
    if (size < ZipCentralRecordSize) return TZipRecordStatus::zrShort;
    const uint8_t* p = buffer;
    if (LE32(p) != ZipCentralSignature) return TZipRecordStatus::zrBadSignature;
    r.Signature = LE32(p);
    r.VersionMadeBy = LE16(p + 4);
    r.VersionNeeded = LE16(p + 6);
    r.Flags = LE16(p + 8);
    r.Method = LE16(p + 10);
    r.DosDateTime = LE32(p + 12);
    r.Crc32 = LE32(p + 16);
    r.CompressedSize = LE32(p + 20);
    r.UncompressedSize = LE32(p + 24);
    r.NameLength = LE16(p + 28);
    r.ExtraLength = LE16(p + 30);
    r.CommentLength = LE16(p + 32);
    r.DiskNumberStart = LE16(p + 34);
    r.InternalAttributes = LE16(p + 36);
    r.ExternalAttributes = LE32(p + 38);
    r.LocalHeaderOffset = LE32(p + 42);
    if (r.CompressedSize == 0xFFFFFFFF || r.UncompressedSize == 0xFFFFFFFF ||
        r.LocalHeaderOffset == 0xFFFFFFFF || r.DiskNumberStart == 0xFFFF)
        return TZipRecordStatus::zrZip64;
    return TZipRecordStatus::zrOk;
}

TZipRecordStatus ReadZipEndRecord(const uint8_t* buffer, size_t size, TZipEndRecord& r) {
    if (size < ZipEndRecordSize) return TZipRecordStatus::zrShort;
    const uint8_t* p = buffer;
    if (LE32(p) != ZipEndSignature) return TZipRecordStatus::zrBadSignature;
    r.Signature = LE32(p);
    r.ThisDisk = LE16(p + 4);
    r.CentralDisk = LE16(p + 6);
    r.EntriesOnDisk = LE16(p + 8);
    r.EntriesTotal = LE16(p + 10);
    r.CentralSize = LE32(p + 12);
    r.CentralOffset = LE32(p + 16);
    r.CommentLength = LE16(p + 20);
    if (r.ThisDisk == 0xFFFF || r.CentralDisk == 0xFFFF || r.EntriesOnDisk == 0xFFFF ||
        r.EntriesTotal == 0xFFFF || r.CentralSize == 0xFFFFFFFF || r.CentralOffset == 0xFFFFFFFF)
        return TZipRecordStatus::zrZip64;
    return TZipRecordStatus::zrOk;
}

TZipRecordStatus ReadZipDataDescriptor(const uint8_t* buffer, size_t size, bool hasSignature,
                                       TZipDataDescriptor& d) {
    const size_t need = hasSignature ? 16 : 12;
    if (size < need) return TZipRecordStatus::zrShort;
    const uint8_t* p = buffer;
    if (hasSignature) {
        if (LE32(p) != ZipSpanSignature) return TZipRecordStatus::zrBadSignature;
        p += 4;
    }
    d.HasSignature = hasSignature;
    d.Crc32 = LE32(p);
    d.CompressedSize = LE32(p + 4);
    d.UncompressedSize = LE32(p + 8);
    if (d.CompressedSize == 0xFFFFFFFF || d.UncompressedSize == 0xFFFFFFFF) return TZipRecordStatus::zrZip64;
    return TZipRecordStatus::zrOk;
}

void WriteZipLocalHeader(const TZipLocalHeader& h, uint8_t out[ZipLocalHeaderSize]) {
    PutLE32(out, h.Signature);
    PutLE16(out + 4, h.VersionNeeded);
    PutLE16(out + 6, h.Flags);
    PutLE16(out + 8, h.Method);
    PutLE32(out + 10, h.DosDateTime);
    PutLE32(out + 14, h.Crc32);
    PutLE32(out + 18, h.CompressedSize);
    PutLE32(out + 22, h.UncompressedSize);
    PutLE16(out + 26, h.NameLength);
    PutLE16(out + 28, h.ExtraLength);
}

void WriteZipCentralRecord(const TZipCentralRecord& r, uint8_t out[ZipCentralRecordSize]) {
    PutLE32(out, r.Signature);
    PutLE16(out + 4, r.VersionMadeBy);
    PutLE16(out + 6, r.VersionNeeded);
    PutLE16(out + 8, r.Flags);
    PutLE16(out + 10, r.Method);
    PutLE32(out + 12, r.DosDateTime);
    PutLE32(out + 16, r.Crc32);
    PutLE32(out + 20, r.CompressedSize);
    PutLE32(out + 24, r.UncompressedSize);
    PutLE16(out + 28, r.NameLength);
    PutLE16(out + 30, r.ExtraLength);
    PutLE16(out + 32, r.CommentLength);
    PutLE16(out + 34, r.DiskNumberStart);
    PutLE16(out + 36, r.InternalAttributes);
    PutLE32(out + 38, r.ExternalAttributes);
    PutLE32(out + 42, r.LocalHeaderOffset);
}

void WriteZipEndRecord(const TZipEndRecord& r, uint8_t out[ZipEndRecordSize]) {
    PutLE32(out, r.Signature);
    PutLE16(out + 4, r.ThisDisk);
    PutLE16(out + 6, r.CentralDisk);
    PutLE16(out + 8, r.EntriesOnDisk);
    PutLE16(out + 10, r.EntriesTotal);
    PutLE32(out + 12, r.CentralSize);
    PutLE32(out + 16, r.CentralOffset);
    PutLE16(out + 20, r.CommentLength);
}

void WriteZipDataDescriptor(const TZipDataDescriptor& d, uint8_t* out) {
    if (d.HasSignature) {
        PutLE32(out, ZipSpanSignature);
        out += 4;
    }
    PutLE32(out, d.Crc32);
    PutLE32(out + 4, d.CompressedSize);
    PutLE32(out + 8, d.UncompressedSize);
}

bool ZipUnicodePathExtra(const uint8_t* extra, size_t size, const std::string& raw, std::string& utf8) {
    size_t p = 0;
    while (p + 4 <= size) {
        const uint16_t tag = LE16(extra + p);
        const uint16_t length = LE16(extra + p + 2);
        if (p + 4 + length > size) return false;
        if (tag == 0x7075 && length >= 5 && extra[p + 4] == 1 &&
            LE32(extra + p + 5) == Crc32Of(reinterpret_cast<const uint8_t*>(raw.data()), raw.size())) {
            utf8.assign(reinterpret_cast<const char*>(extra + p + 9), length - 5);
            return true;
        }
        p += 4 + length;
    }
    return false;
}

bool ZipUnixTimeExtra(const uint8_t* extra, size_t size, int64_t& mtime) {
    size_t p = 0;
    while (p + 4 <= size) {
        const uint16_t tag = LE16(extra + p);
        const uint16_t length = LE16(extra + p + 2);
        if (p + 4 + length > size) return false;
        // Flags first; bit 0 says the modification time follows.
        if (tag == 0x5455 && length >= 5 && (extra[p + 4] & 1)) {
            mtime = int64_t(LE32(extra + p + 5));
            return true;
        }
        p += 4 + length;
    }
    return false;
}

} // namespace mv
