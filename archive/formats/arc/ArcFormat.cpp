#include "archive/formats/arc/ArcFormat.h"

#include "archive/framework/Bytes.h"
#include "archive/framework/TextUtils.h"

namespace mv {

TArcRecord ReadArcRecord(const uint8_t* h, size_t available) {
    TArcRecord r;
    if (available < 2 || h[0] != ArcMarker) return r;
    r.Method = h[1];
    if (r.Method == 0) {
        r.Kind = TArcRecordKind::arkEnd;
        return r;
    }
    if (r.Method == ArcMethodDirEnd) {
        r.Kind = TArcRecordKind::arkDirEnd;
        r.HeaderSize = ArcDirEndSize;
        return r;
    }
    r.HeaderSize = r.Method == 1 ? ArcOldHeaderSize : ArcHeaderSize;
    if (available < size_t(r.HeaderSize)) {
        r.Kind = TArcRecordKind::arkShort;
        return r;
    }
    r.Name = ZeroTerminated(h + 2, 13);
    r.PackedSize = LE32(h + 15);
    r.DosDateTime = uint32_t(LE16(h + 19)) << 16 | LE16(h + 21);
    r.Crc = LE16(h + 23);
    r.UnpackedSize = r.Method == 1 ? r.PackedSize : int64_t(LE32(h + 25));
    r.Kind = r.Method == ArcMethodDirStart ? TArcRecordKind::arkDirStart : TArcRecordKind::arkMember;
    return r;
}

std::string ArcParentFolder(const std::string& path) {
    if (path.empty()) return path;
    std::string d = path.substr(0, path.size() - 1);
    const size_t cut = d.find_last_of('\\');
    return cut == std::string::npos ? std::string() : d.substr(0, cut + 1);
}

} // namespace mv
