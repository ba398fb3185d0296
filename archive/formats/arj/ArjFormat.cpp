// ARJ header frames, read with every size checked against the file before use.
#include "archive/formats/arj/ArjFormat.h"

#include "archive/framework/Crc.h"

#include <algorithm>
#include <cstring>

namespace mv {

std::string TArjHeader::Name() const {
    const size_t start = std::min<size_t>(FirstSize(), Basic.size());
    const uint8_t* p = Basic.data() + start;
    const auto* end = static_cast<const uint8_t*>(std::memchr(p, 0, Basic.size() - start));
    return std::string(reinterpret_cast<const char*>(p), end ? size_t(end - p) : Basic.size() - start);
}

TArjHeaderStatus ReadArjHeader(const TReadAt& readAt, int64_t pos, int64_t fileSize, TArjHeader& h) {
    h.Basic.clear();
    uint8_t frame[ArjFrameSize];
    if (readAt(pos, frame, sizeof frame) != int64_t(sizeof frame)) return TArjHeaderStatus::ahShort;
    const uint16_t size = LE16(frame + 2);
    if (LE16(frame) != ArjHeaderId || size > ArjMaxBasicSize) return TArjHeaderStatus::ahBadFrame;
    if (size == 0) return TArjHeaderStatus::ahEnd;
    h.Basic.resize(size);
    uint8_t crc[4];
    if (readAt(pos + 4, h.Basic.data(), size) != size || readAt(pos + 4 + size, crc, 4) != 4)
        return TArjHeaderStatus::ahShort;
    if (Crc32Of(h.Basic.data(), size) != LE32(crc)) return TArjHeaderStatus::ahBadCrc;
    // Extended headers: a size, the header and its CRC, until a size of 0.
    int64_t p = pos + 4 + size + 4;
    for (int n = 0;; ++n) {
        uint8_t s[2];
        if (readAt(p, s, 2) != 2) return TArjHeaderStatus::ahShort;
        p += 2;
        const uint16_t ext = LE16(s);
        if (ext == 0) break;
        p += ext + 4;
        if (n > ArjMaxExtendedHeaders || p > fileSize) return TArjHeaderStatus::ahBadExtended;
    }
    h.DataPos = p;
    return TArjHeaderStatus::ahOk;
}

} // namespace mv
