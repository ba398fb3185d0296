#include "archive/formats/zoo/ZooFormat.h"

#include "archive/framework/Bytes.h"
#include "archive/framework/TextUtils.h"

#include <algorithm>

namespace mv {

bool ReadZooArchiveHeader(const uint8_t* h, size_t n, TZooArchiveHeader& header) {
    header = TZooArchiveHeader{};
    if (n < ZooArchiveHeaderSize) return false;
    const uint32_t start = LE32(h + 24);
    if (LE32(h + 20) != ZooTag || static_cast<uint32_t>(start + LE32(h + 28)) != 0) return false;
    header.FirstEntry = start;
    if (n >= 41) {
        header.CommentPos = LE32(h + 35);
        header.CommentLength = LE16(h + 39);
    }
    return true;
}

bool ReadZooEntry(const uint8_t* e, size_t n, TZooEntry& r) {
    r = TZooEntry{};
    if (n < 10 || LE32(e) != ZooTag) return false;
    r.Type = e[4];
    r.Method = e[5];
    r.Next = LE32(e + 6);
    if (n < ZooEntryFixedSize) return true; // the end entry may be cut short
    r.DataOffset = LE32(e + 10);
    r.DosDateTime = uint32_t(LE16(e + 14)) << 16 | LE16(e + 16);
    r.Crc = LE16(e + 18);
    r.UnpackedSize = LE32(e + 20);
    r.PackedSize = LE32(e + 24);
    r.VersionMajor = e[28];
    r.VersionMinor = e[29];
    r.Deleted = e[30] != 0;
    r.CommentPos = LE32(e + 32);
    r.CommentLength = LE16(e + 36);
    r.ShortName = ZeroTerminated(e + 38, 13);
    if (r.Type == 2 && n >= ZooEntrySize) {
        r.NameLength = e[56];
        r.DirLength = e[57];
    }
    return true;
}

std::string ZooEntryPath(const TZooEntry& entry, const uint8_t* variable) {
    std::string name = entry.ShortName, dir;
    if (entry.HasVariablePart() && variable) {
        const std::string longName = ZeroTerminated(variable, entry.NameLength);
        if (!longName.empty()) name = longName;
        dir = ZeroTerminated(variable + entry.NameLength, entry.DirLength);
    }
    std::replace(dir.begin(), dir.end(), '/', '\\');
    if (!dir.empty() && dir.back() != '\\') dir.push_back('\\');
    return dir + name;
}

} // namespace mv
