// The lister's walk of ACE archives: its start and its step.
#include "archive/formats/lha/LhaHeader.h"
#include "archive/formats/tar/TarFormat.h"
#include "archive/framework/Bytes.h"
#include "archive/framework/DiskManager.h"
#include "archive/framework/SharedRoutines.h"
#include "archive/framework/TextUtils.h"
#include "archive/lister/ArcLister.h"
#include "archive/lister/walks/WalkSupport.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <cstring>

namespace mv {

using namespace listerwalk;

bool TArcLister::ReadAceMainHeader(int64_t pos, int64_t& next) {
    uint8_t h[31];
    if (!ReadExactAt(pos, h, 31)) return false;
    uint16_t size = LE16(h + 2);
    if (h[4] != 0 || size < 26 || std::memcmp(h + 7, "**ACE**", 7) != 0) return false;
    if (pos + 4 + size > FEndOffset) return false;
    FAceVersion = h[15];
    FAceHost = h[16];
    // the next block follows the whole header, whatever optional fields it holds
    next = pos + 4 + size;
    return true;
}

void TArcLister::StartAce() {
    FWalk = Walk::Ace;
    int64_t next = 0;
    if (!ReadAceMainHeader(FHeaderPos - 1, next)) {
        HeaderError();
        return;
    }
    FStepSize = 7;
    FHeaderPos = next + 1;
}

void TArcLister::StepAce() {
    const uint8_t* b = FStepBuffer.data();
    uint16_t headSize = LE16(b + 2);
    uint8_t type = b[4];
    uint16_t flags = LE16(b + 5);
    int64_t headerEnd = FHeaderStart + 4 + headSize;
    if (headSize < 3 || headerEnd > FEndOffset) {
        TruncatedError();
        return;
    }
    std::vector<uint8_t> h(static_cast<size_t>(4 + headSize));
    if (!ReadExactAt(FHeaderStart, h.data(), static_cast<int64_t>(h.size()))) {
        TruncatedError();
        return;
    }
    uint32_t reg = CrcSeed;
    UpdateCRC32(h.data() + 4, headSize, reg);
    if ((reg & 0xFFFF) != LE16(h.data())) {
        HeaderError();
        return;
    }
    bool wide = type == 3;
    if (type != 1 && type != 3) {
        // recovery records and other blocks are stepped over by their sizes
        int64_t add = 0;
        if (flags & 1) {
            if (h.size() < 11) return HeaderError();
            add = (type >= 3 && (flags & 4) && h.size() >= 15) ? static_cast<int64_t>(LE64(h.data() + 7))
                                                               : LE32(h.data() + 7);
        }
        if (type == 0) return HeaderError();
        FStepOffset = headerEnd + add;
        return;
    }
    size_t w = wide ? 8 : 0;
    if (h.size() < 35 + 2 * w || (wide && !(flags & 4))) return HeaderError();
    int64_t packed = wide ? static_cast<int64_t>(LE64(h.data() + 7)) : LE32(h.data() + 7);
    int64_t unpacked = wide ? static_cast<int64_t>(LE64(h.data() + 15)) : LE32(h.data() + 11);
    if (packed < 0 || unpacked < 0 || packed > MaxEntrySize || unpacked > MaxEntrySize) return HeaderError();
    uint32_t ftime = LE32(h.data() + 15 + 2 * w);
    uint32_t attr = LE32(h.data() + 19 + 2 * w);
    uint32_t crc = LE32(h.data() + 23 + 2 * w);
    uint8_t quality = h[28 + 2 * w];
    uint16_t nameSize = LE16(h.data() + 33 + 2 * w);
    if (35 + 2 * w + nameSize > h.size()) return HeaderError();
    SetEntryName(std::string(reinterpret_cast<const char*>(h.data() + 35 + 2 * w), nameSize));
    FStepOffset = headerEnd + packed;
    // an entry over several volumes is reported once, by its last part, with the
    // packed sizes of its parts summed
    if (flags & 0x1000)
        FAccPacked += packed;
    else
        FAccPacked = packed;
    FAccUnpacked = unpacked;
    if (flags & 0x2000) {
        std::string name = GetNextVolumeName(FArchiveFile, FVolumeNumber);
        if (!OnNextVolume || !RequestVolume(name, std::to_string(FVolumeNumber))) {
            FCancel = true;
            return Stop();
        }
        if (!OpenVolume(name)) RaiseError(name, "", std::to_string(FVolumeNumber), arcerr::OpenError);
        int64_t next = 0;
        if (!ReadAceMainHeader(0, next)) return HeaderError();
        FStepOffset = next;
        FHeaderPos = next + 1;
        return;
    }
    FireReadFile();
    if (!Match()) return;
    FEntry.DateTime = ConvertDate(ftime);
    FEntry.VersionMadeBy = FEntry.VersionNeeded = FAceVersion;
    FEntry.PackedSize = FAccPacked;
    FEntry.UnpackedSize = FAccUnpacked;
    // the header keeps the CRC register without its final inversion
    FEntry.CRC = crc ^ 0xFFFFFFFFu;
    FEntry.Encrypted = flags & 0x4000;
    FEntry.MethodCode = quality;
    MethodName(quality, 0, FEntry.MethodText);
    FEntry.InternalAttr = static_cast<uint16_t>(attr);
    FEntry.ExternalAttr = attr;
    Report(FHeaderStart);
}

} // namespace mv
