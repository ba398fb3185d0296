#include "archive/formats/bh/BhFormat.h"

#include "archive/framework/Bytes.h"

#include <algorithm>

namespace mv {

int64_t TBhHeader::DataStart() const {
    return std::max<int64_t>(HeaderSize, int64_t(BhHeaderSize) + NameLength);
}

bool ReadBhHeader(const uint8_t* h, TBhHeader& r) {
    r = TBhHeader{};
    if (LE32(h) != BhSignature) return false;
    r.HeaderSize = LE16(h + 4);
    r.VersionMadeBy = h[7];
    r.VersionNeeded = h[8];
    r.Flags = h[9];
    r.Method = h[10];
    r.DosDateTime = LE32(h + 11);
    r.PackedSize = LE32(h + 15);
    r.UnpackedSize = LE32(h + 19);
    r.Crc = LE32(h + 23);
    r.Attributes = LE16(h + 27);
    r.NameLength = LE16(h + 33);
    return r.HeaderSize != 0;
}

} // namespace mv
