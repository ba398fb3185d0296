// ACE blocks, read field by field from headers whose sizes are checked.
#include "archive/formats/ace/AceFormat.h"

#include "archive/framework/Bytes.h"
#include "archive/framework/Crc.h"

#include <cstring>

namespace mv {

uint16_t AceHeaderSizeOf(const uint8_t* head) {
    return LE16(head + 2);
}

bool ReadAceBlock(const uint8_t* head, const uint8_t* header, size_t size, TAceBlock& b) {
    b = TAceBlock();
    if (size < 3) return false;
    b.H.assign(header, header + size);
    uint32_t reg = CrcSeed;
    UpdateCRC32(header, size, reg);
    b.CrcOk = (reg & 0xFFFF) == LE16(head);
    b.Type = header[0];
    b.Flags = LE16(header + 1);
    if (b.Flags & AceFlagAddSize) {
        const bool wide =
            (b.Type == AceWideFileBlock || b.Type == 4 || b.Type == 5) && (b.Flags & AceFlagWideSizes);
        if (size < (wide ? 11u : 7u)) return false;
        b.AddSize = wide ? LE64(header + 3) : LE32(header + 3);
    }
    return true;
}

bool ReadAceMain(const TAceBlock& b, TAceMain& m) {
    if (b.Type != AceMainBlock || b.H.size() < AceMainMinSize ||
        std::memcmp(b.H.data() + 3, "**ACE**", 7) != 0)
        return false;
    m.Flags = b.Flags;
    m.Version = b.H[11];
    m.Host = b.H[12];
    m.VolumeNumber = b.H[13];
    return true;
}

bool ReadAceFile(const TAceBlock& b, TAceFile& f) {
    f = TAceFile();
    const bool wide = b.Type == AceWideFileBlock;
    if (!b.IsFile() || wide != ((b.Flags & AceFlagWideSizes) != 0) || !(b.Flags & AceFlagAddSize))
        return false;
    const size_t shift = wide ? 8 : 0;
    if (b.H.size() < 31 + shift) return false;
    const uint8_t* h = b.H.data();
    f.Flags = b.Flags;
    f.PackSize = b.AddSize;
    f.UnpSize = wide ? LE64(h + 11) : LE32(h + 7);
    h += shift;
    f.FileTime = LE32(h + 11);
    f.Attr = LE32(h + 15);
    f.Crc = LE32(h + 19);
    f.Method = h[23];
    f.Quality = h[24];
    const size_t nameLen = LE16(h + 29);
    if (31 + shift + nameLen > b.H.size()) return false;
    f.Name.assign(reinterpret_cast<const char*>(h + 31), nameLen);
    const size_t nul = f.Name.find('\0');
    if (nul != std::string::npos) f.Name.resize(nul);
    return true;
}

} // namespace mv
