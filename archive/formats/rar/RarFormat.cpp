// RAR blocks and headers, read field by field through the bounded cursor.
#include "archive/formats/rar/RarFormat.h"

#include "archive/framework/Bytes.h"
#include "archive/framework/Crc.h"
#include "platform/CodePage.h"

#include <cstring>
#include <vector>

namespace mv {

namespace {

void CopyBytes(TByteCursor& c, uint8_t* out, size_t n) {
    const std::string s = c.Bytes(n);
    if (s.size() == n) std::memcpy(out, s.data(), n);
}

constexpr uint64_t FileTimeUnixEpoch = 116444736000000000ull; // 1970-01-01 in 100 ns since 1601
constexpr size_t MaxUnicodeName = 1024;

} // namespace

int RarMarkAt(const uint8_t* p, size_t n) {
    if (n < RarMarkSize || std::memcmp(p, "Rar!\x1A\x07", 6) != 0) return 0;
    if (p[6] == 0) return 4;
    if (p[6] == 1 && n >= Rar5MarkSize && p[7] == 0) return 5;
    return 0;
}

TRarBlockBase ReadRarBlockBase(const uint8_t* p) {
    TRarBlockBase b;
    b.HeadCrc = LE16(p);
    b.Type = p[2];
    b.Flags = LE16(p + 3);
    b.HeadSize = LE16(p + 5);
    return b;
}

bool ReadRarMainHeader(const uint8_t* p, uint16_t& flags, uint16_t& headSize) {
    const TRarBlockBase b = ReadRarBlockBase(p);
    flags = b.Flags;
    headSize = b.HeadSize;
    return b.Type == RarMainBlock && b.HeadSize >= RarMainHeaderSize;
}

uint32_t RarBlockDataSize(const uint8_t* h, size_t size) {
    const TRarBlockBase b = ReadRarBlockBase(h);
    const bool hasData = b.Type == RarFileBlock || b.Type == RarSubBlock || (b.Flags & RarBlockLongData);
    return hasData && size >= RarBlockBaseSize + 4 ? LE32(h + RarBlockBaseSize) : 0;
}

bool RarFileHeaderCrcMatches(const uint8_t* h, size_t size) {
    if (size < RarFileHeaderMinSize) return false;
    const uint16_t stored = LE16(h);
    if ((Crc32Of(h + 2, size - 2) & 0xFFFF) == stored) return true;
    const size_t nameEnd = RarFileHeaderMinSize + LE16(h + 26);
    return (LE16(h + 3) & RarFileComment) && nameEnd <= size &&
           (Crc32Of(h + 2, nameEnd - 2) & 0xFFFF) == stored;
}

bool ReadRarFileHeader(const uint8_t* h, size_t size, TRarFileHeader& f) {
    f = TRarFileHeader();
    if (size < RarFileHeaderMinSize) return false;
    TByteCursor c(h, size);
    c.Skip(3);
    f.Flags = c.U16();
    c.Skip(2);
    f.PackSize = c.U32();
    f.UnpSize = c.U32();
    f.HostOS = c.U8();
    f.FileCrc = c.U32();
    f.FileTime = c.U32();
    f.UnpVer = c.U8();
    f.Method = c.U8();
    const uint16_t nameSize = c.U16();
    f.Attr = c.U32();
    if (f.Flags & RarFileLarge) {
        const uint64_t highPack = c.U32(), highUnp = c.U32();
        f.PackSize |= highPack << 32;
        f.UnpSize |= highUnp << 32;
    }
    f.NameField = c.Bytes(nameSize);
    if (!c.Ok()) return false;
    const std::string& field = f.NameField;
    const size_t zero = field.find('\0');
    f.NameHasNul = zero != std::string::npos;
    f.Name = field.substr(0, zero);
    if ((f.Flags & RarFileUnicode) && f.NameHasNul) {
        const auto* p = reinterpret_cast<const uint8_t*>(field.data());
        f.UnicodeName = DecodeRarUnicodeName(p, zero, p + zero + 1, field.size() - zero - 1);
    }
    if (f.Flags & RarFileSalt) {
        CopyBytes(c, f.Salt, sizeof f.Salt);
        if (!c.Ok()) return false;
        f.HasSalt = true;
    }
    return true;
}

std::string DecodeRarUnicodeName(const uint8_t* name, size_t nameLen, const uint8_t* enc, size_t encSize) {
    std::vector<uint32_t> w;
    size_t encPos = 0;
    auto at = [&](size_t i) -> uint32_t { return i < encSize ? enc[i] : 0; };
    auto oem = [&](size_t i) -> uint32_t { return i < nameLen ? name[i] : 0; };
    if (encSize == 0) return {};
    const uint32_t highByte = at(encPos++);
    uint32_t flags = 0;
    int flagBits = 0;
    while (encPos < encSize && w.size() < MaxUnicodeName) {
        if (flagBits == 0) {
            flags = at(encPos++);
            flagBits = 8;
        }
        switch (flags >> 6) {
        case 0:
            w.push_back(at(encPos++));
            break;
        case 1:
            w.push_back(at(encPos++) + (highByte << 8));
            break;
        case 2:
            w.push_back(at(encPos) + (at(encPos + 1) << 8));
            encPos += 2;
            break;
        case 3: {
            uint32_t length = at(encPos++);
            if (length & 0x80) {
                const uint32_t correction = at(encPos++);
                for (length = (length & 0x7f) + 2; length > 0 && w.size() < MaxUnicodeName; --length)
                    w.push_back(((oem(w.size()) + correction) & 0xff) + (highByte << 8));
            } else {
                for (length += 2; length > 0 && w.size() < MaxUnicodeName; --length)
                    w.push_back(oem(w.size()));
            }
            break;
        }
        }
        flags = (flags << 2) & 0xff;
        flagBits -= 2;
    }
    std::string out;
    for (size_t i = 0; i < w.size(); ++i) {
        uint32_t ch = w[i];
        if (ch == 0) break;
        if (ch >= 0xd800 && ch < 0xdc00 && i + 1 < w.size() && w[i + 1] >= 0xdc00 && w[i + 1] < 0xe000) {
            ch = 0x10000 + ((ch - 0xd800) << 10) + (w[i + 1] - 0xdc00);
            ++i;
        }
        platform::AppendUtf8(out, ch);
    }
    return out;
}

bool ReadRar5HeaderSize(const uint8_t* p, size_t n, uint64_t& size, size_t& prefix) {
    TByteCursor c(p, n);
    c.Skip(4);
    size = c.VarInt();
    prefix = c.Pos();
    return c.Ok();
}

bool ReadRar5Header(const uint8_t* h, size_t size, TRar5Header& r) {
    r = TRar5Header();
    if (size < 4) return false;
    r.Crc = LE32(h);
    r.CrcMatches = Crc32Of(h + 4, size - 4) == r.Crc;
    TByteCursor c(h, size);
    c.Skip(4);
    c.VarInt(); // the size
    r.Type = c.VarInt();
    r.Flags = c.VarInt();
    if (r.Flags & Rar5HasExtra) r.ExtraSize = c.VarInt();
    if (r.Flags & Rar5HasData) r.DataSize = c.VarInt();
    if (!c.Ok() || r.ExtraSize > size) return false;
    r.FieldsAt = c.Pos();
    r.ExtraAt = size - size_t(r.ExtraSize);
    return r.ExtraAt >= r.FieldsAt;
}

namespace {

// The crypt fields from version to salt (and the IV of a file's record); the
// check when the flags announce one.
void ReadCrypt(TByteCursor& c, bool withIv, TRar5Crypt& crypt) {
    crypt.Version = c.VarInt();
    crypt.Flags = c.VarInt();
    crypt.Lg2Count = c.U8();
    CopyBytes(c, crypt.Salt, sizeof crypt.Salt);
    if (withIv) CopyBytes(c, crypt.Iv, sizeof crypt.Iv);
    crypt.Complete = c.Ok() && crypt.Version == 0 && crypt.Lg2Count <= 24;
    if (crypt.Complete && (crypt.Flags & 0x01)) {
        CopyBytes(c, crypt.Check, sizeof crypt.Check);
        crypt.CheckPresent = c.Ok();
    }
}

} // namespace

bool ReadRar5CryptHeader(const uint8_t* h, size_t size, const TRar5Header& header, TRar5Crypt& crypt) {
    crypt = TRar5Crypt();
    TByteCursor c(h + header.FieldsAt, size - header.FieldsAt);
    ReadCrypt(c, false, crypt);
    if (!crypt.Complete) return false;
    if ((crypt.Flags & 0x01) && !crypt.CheckPresent) crypt.Complete = false;
    return true;
}

bool ReadRar5File(const uint8_t* h, size_t size, const TRar5Header& header, TRar5File& f) {
    f = TRar5File();
    TByteCursor c(h + header.FieldsAt, size - header.FieldsAt);
    f.FileFlags = c.VarInt();
    f.UnpSize = c.VarInt();
    f.Attributes = c.VarInt();
    if (f.FileFlags & Rar5FileHasTime) f.MTime = c.U32();
    if (f.FileFlags & Rar5FileHasCrc) f.Crc = c.U32();
    f.CompInfo = c.VarInt();
    f.HostOS = c.VarInt();
    const uint64_t nameLen = c.VarInt();
    if (!c.Ok() || nameLen > c.Left()) return false;
    f.Name = c.Bytes(size_t(nameLen));
    f.NameEnd = header.FieldsAt + c.Pos();
    // The extra area: records of size, type and data (none when the name runs
    // into it).
    TByteCursor x(h + header.ExtraAt, f.NameEnd <= header.ExtraAt ? size - header.ExtraAt : 0);
    while (x.Left() > 0) {
        const uint64_t recSize = x.VarInt();
        const size_t recStart = x.Pos();
        if (!x.Ok() || recSize == 0 || recSize > x.Left()) break;
        TByteCursor r(h + header.ExtraAt + recStart, size_t(recSize));
        const uint64_t recType = r.VarInt();
        if (recType == Rar5ExtraCrypt) {
            f.Encrypted = true;
            ReadCrypt(r, true, f.Crypt);
        } else if (recType == Rar5ExtraTime) {
            const uint64_t timeFlags = r.VarInt();
            if (timeFlags & 0x02) { // the modification time is there
                if (timeFlags & 0x01) {
                    const uint32_t t = r.U32();
                    if (r.Ok()) f.HasExtraTime = true, f.ExtraTime = t;
                } else {
                    const uint64_t ft = r.U64();
                    if (r.Ok()) {
                        f.HasExtraTime = true;
                        f.ExtraTime = int64_t(ft / 10000000) - int64_t(FileTimeUnixEpoch / 10000000);
                    }
                }
            }
        }
        x.Skip(size_t(recSize));
    }
    return true;
}

} // namespace mv
