// LHA/LZH member headers. Level 0 and 1 start with a one-byte header size;
// level 1 follows its base header with a chain of extended headers that the
// packed size includes; level 2 has a 16-bit total header size and level 3 a
// 32-bit one, both holding their extended headers inside. Every size read
// from the file is checked against what was actually read before use, so a
// damaged header ends as "bad header" instead of a wild read.
#include "archive/formats/lha/LhaHeader.h"

#include "archive/framework/Bytes.h"
#include "archive/framework/SharedRoutines.h"
#include "archive/framework/TextUtils.h"

#include <vector>

namespace mv {

namespace {

constexpr int64_t MaxExtendedHeader = 1 << 20; // level 3 sizes are 32-bit; nothing real comes near
constexpr int MaxExtendedHeaders = 4096;

bool ReadExact(const TLhaReadAt& readAt, int64_t pos, std::vector<uint8_t>& buf, int64_t n) {
    buf.resize(size_t(n));
    return n == 0 || readAt(pos, buf.data(), n) == n;
}

// Names found in the extended headers.
struct TExtendedNames {
    bool HasFileName = false;
    std::string FileName;
    std::string Directory;
    uint32_t UnixMode = 0; // 0x50: the Unix mode
    int64_t UnixTime = -1; // 0x54: the Unix time (level 1)

    void Take(const uint8_t* data, size_t n) {
        if (n == 0) return;
        if (data[0] == 0x50 && n >= 3) {
            UnixMode = LE16(data + 1);
        } else if (data[0] == 0x54 && n >= 5) {
            UnixTime = LE32(data + 1);
        } else if (data[0] == 1) {
            HasFileName = true;
            FileName.assign(reinterpret_cast<const char*>(data + 1), n - 1);
        } else if (data[0] == 2) {
            Directory.assign(reinterpret_cast<const char*>(data + 1), n - 1);
        }
    }
};

// Walks an extended-header chain that starts with `first` at `pos`; each header
// is `size` bytes: type, data, and the size of the next one (sizeWidth bytes).
// limit: the byte after the last one allowed. Answers false on a malformed chain.
bool ReadExtendedChain(const TLhaReadAt& readAt, int64_t pos, int64_t limit, uint32_t first, int sizeWidth,
                       TExtendedNames& names, int64_t& total) {
    total = 0;
    std::vector<uint8_t> buf;
    uint32_t size = first;
    for (int count = 0; size != 0; ++count) {
        if (count >= MaxExtendedHeaders || size < uint32_t(1 + sizeWidth) || size > MaxExtendedHeader)
            return false;
        if (pos + total + size > limit) return false;
        if (!ReadExact(readAt, pos + total, buf, size)) return false;
        names.Take(buf.data(), size - size_t(sizeWidth));
        const uint8_t* next = buf.data() + size - sizeWidth;
        size = sizeWidth == 2 ? LE16(next) : LE32(next);
        total += buf.size();
    }
    return true;
}

} // namespace

char TLhaHeader::MethodLetter() const {
    if (Method[0] == '-' && Method[1] == 'l' && Method[2] == 'h' && Method[4] == '-') return Method[3];
    return 0;
}

std::string LhaDirectoryName(const std::string& stored) {
    std::string out;
    out.reserve(stored.size() + 1);
    for (size_t i = 0; i < stored.size(); ++i) {
        uint8_t c = uint8_t(stored[i]);
        bool lead = (c >= 0x80 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFD);
        if (lead && i + 1 < stored.size()) {
            out += char(c);
            out += stored[++i];
        } else if (c == 0xFF || c == '/' || c == '\\') {
            out += '\\';
        } else {
            out += char(c);
        }
    }
    out = TrimBlanks(out);
    if (!out.empty() && out.back() != '\\') out += '\\';
    return out;
}

TLhaHeaderStatus ReadLhaHeader(const TLhaReadAt& readAt, int64_t pos, int64_t fileSize, TLhaHeader& h) {
    h = TLhaHeader{};
    h.Offset = pos;
    uint8_t b[22];
    if (pos < 0 || fileSize - pos < 22 || readAt(pos, b, 22) != 22) return TLhaHeaderStatus::lhsEnd;
    const uint8_t level = b[20];
    // A zero first byte is the end mark, except for a level-2 header whose
    // 16-bit total size is a multiple of 256.
    if (b[0] == 0 && !(level == 2 && b[1] != 0)) return TLhaHeaderStatus::lhsEnd;
    if (level > 3) return TLhaHeaderStatus::lhsUnsupportedLevel;
    for (int i = 0; i < 5; ++i) h.Method[i] = char(b[2 + i]);
    h.Level = level;
    h.PackedSize = LE32(b + 7);
    h.UnpackedSize = LE32(b + 11);
    h.Attribute = b[19];
    TExtendedNames names;
    std::string baseName;
    std::vector<uint8_t> buf;

    if (level <= 1) {
        const int64_t hs = b[0];
        if (hs < 22 || !ReadExact(readAt, pos, buf, hs + 2)) return TLhaHeaderStatus::lhsBad;
        const size_t nameLen = buf[21];
        if (22 + int64_t(nameLen) + 2 > hs + 2) return TLhaHeaderStatus::lhsBad;
        uint8_t sum = 0;
        for (int64_t i = 2; i < hs + 2; ++i) sum = uint8_t(sum + buf[size_t(i)]);
        h.SumOk = sum == b[1];
        baseName.assign(reinterpret_cast<const char*>(&buf[22]), nameLen);
        for (char& c : baseName)
            if (c == 0) c = ' ';
        h.Crc = LE16(&buf[22 + nameLen]);
        // After the CRC: the writer's host, and on level 0 from a Unix host its
        // extension (version, time, mode, owner, group).
        const size_t extensionAt = 22 + nameLen + 2;
        if (int64_t(extensionAt) < hs + 2) h.Os = buf[extensionAt];
        if (level == 0 && h.Os == LhaOsUnix && int64_t(extensionAt) + 12 <= hs + 2) {
            names.UnixTime = LE32(&buf[extensionAt + 2]);
            names.UnixMode = LE16(&buf[extensionAt + 6]);
        }
        h.DosDateTime = LE32(&buf[15]);
        h.DataOffset = pos + 2 + hs;
        h.Next = h.DataOffset + h.PackedSize;
        if (level == 1) {
            if (hs + 2 < 27 + int64_t(nameLen)) return TLhaHeaderStatus::lhsBad;
            int64_t total = 0;
            if (!ReadExtendedChain(readAt, h.DataOffset, h.DataOffset + h.PackedSize, LE16(&buf[hs]), 2,
                                   names, total))
                return TLhaHeaderStatus::lhsBad;
            h.DataOffset += total;
            h.PackedSize -= total;
        }
    } else {
        const bool three = level == 3;
        const int64_t fixed = three ? 32 : 26;
        if (three && LE16(b) != 4) return TLhaHeaderStatus::lhsBad;
        if (!ReadExact(readAt, pos, buf, fixed)) return TLhaHeaderStatus::lhsBad;
        const int64_t total = three ? int64_t(LE32(&buf[24])) : int64_t(LE16(&buf[0]));
        if (total < fixed || total > MaxExtendedHeader) return TLhaHeaderStatus::lhsBad;
        const uint32_t first = three ? LE32(&buf[28]) : LE16(&buf[24]);
        h.Crc = LE16(&buf[21]);
        h.Os = buf[23];
        h.UnixTime = LE32(&buf[15]);
        int64_t used = 0;
        if (!ReadExtendedChain(readAt, pos + fixed, pos + total, first, three ? 4 : 2, names, used))
            return TLhaHeaderStatus::lhsBad;
        h.DataOffset = pos + total;
        h.Next = h.DataOffset + h.PackedSize;
    }
    std::string fileName = names.HasFileName ? names.FileName : baseName;
    for (char& c : fileName)
        if (c == 0) c = ' ';
    h.RawName = LhaDirectoryName(names.Directory) + fileName;
    h.Name = HostNameToAnsiPath(h.RawName, h.Os == LhaOsUnix);
    h.UnixMode = names.UnixMode;
    h.HasUnixTime = level >= 2;
    if (level <= 1 && names.UnixTime >= 0) {
        h.UnixTime = names.UnixTime;
        h.HasUnixTime = true;
    }
    return TLhaHeaderStatus::lhsOk;
}

} // namespace mv
