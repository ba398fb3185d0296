// Cabinet records read field by field from buffers whose ends are checked.
#include "archive/formats/cab/CabFormat.h"

#include <algorithm>
#include <cstring>

namespace mv::cab {

namespace {

// A NUL-ended name of at most kMaxNameSize bytes at p[at, end); at moves past the NUL.
bool TakeName(const uint8_t* p, size_t end, size_t& at, std::string& name) {
    const size_t limit = std::min(end, at + kMaxNameSize + 1);
    size_t i = at;
    while (i < limit && p[i]) ++i;
    if (i >= limit) return false;
    name.assign(reinterpret_cast<const char*>(p + at), i - at);
    at = i + 1;
    return true;
}

} // namespace

bool ReadCabFixedHeader(const uint8_t* fixed, TCabHeader& h) {
    if (std::memcmp(fixed, "MSCF", 4) != 0) return false;
    h.cabinetSize = LE32(fixed + 8);
    h.filesOffset = LE32(fixed + 16);
    h.versionMinor = fixed[24];
    h.versionMajor = fixed[25];
    h.folderCount = LE16(fixed + 26);
    h.fileCount = LE16(fixed + 28);
    h.flags = LE16(fixed + 30);
    h.setID = LE16(fixed + 32);
    h.iCabinet = LE16(fixed + 34);
    return true;
}

bool ReadCabPrelude(const uint8_t* p, size_t end, TCabHeader& h, size_t& at) {
    at = kHeaderSize;
    if (h.flags & kFlagReserve) {
        if (at + 4 > end) return false;
        h.reserveHeader = LE16(p + at);
        h.reserveFolder = p[at + 2];
        h.reserveData = p[at + 3];
        at += 4 + h.reserveHeader;
    }
    if ((h.flags & kFlagPrevCabinet) &&
        (!TakeName(p, end, at, h.prevCabinet) || !TakeName(p, end, at, h.prevDisk)))
        return false;
    if ((h.flags & kFlagNextCabinet) &&
        (!TakeName(p, end, at, h.nextCabinet) || !TakeName(p, end, at, h.nextDisk)))
        return false;
    h.folders.clear();
    for (unsigned i = 0; i < h.folderCount; ++i) {
        if (at + kFolderSize > end) return false;
        TCabFolderRecord f;
        f.dataOffset = LE32(p + at);
        f.blockCount = LE16(p + at + 4);
        f.compression = LE16(p + at + 6);
        at += kFolderSize + h.reserveFolder;
        h.folders.push_back(f);
    }
    return true;
}

bool ReadCabFileRecord(const uint8_t* p, size_t end, size_t& at, TCabFileRecord& f) {
    if (at > end || end - at < kFileFixedSize) return false;
    f.size = LE32(p + at);
    f.folderOffset = LE32(p + at + 4);
    f.folder = LE16(p + at + 8);
    f.date = LE16(p + at + 10);
    f.time = LE16(p + at + 12);
    f.attribs = LE16(p + at + 14);
    at += kFileFixedSize;
    return TakeName(p, end, at, f.name);
}

} // namespace mv::cab
