// The lister's walk of RAR 5 archives: its start and its step.
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

namespace {

// RAR5 variable-length integers: 7 bits per byte, low first, high bit = more.
bool ReadVint(const uint8_t* p, size_t size, size_t& pos, uint64_t& value) {
    value = 0;
    for (int shift = 0; shift < 64 && pos < size; shift += 7) {
        uint8_t b = p[pos++];
        value |= static_cast<uint64_t>(b & 0x7F) << shift;
        if (!(b & 0x80)) return true;
    }
    return false;
}

} // namespace

void TArcLister::StepRar5() {
    // CRC32 (4), header size (vint), then the header of that size
    uint8_t pre[7];
    std::memcpy(pre, FStepBuffer.data(), 7);
    size_t p = 4;
    uint64_t headSize = 0;
    if (!ReadVint(pre, 7, p, headSize) || headSize < 2 || headSize > (2u << 20)) return HeaderError();
    int64_t headerEnd = FHeaderStart + static_cast<int64_t>(p) + static_cast<int64_t>(headSize);
    if (headerEnd > FEndOffset) return TruncatedError();
    std::vector<uint8_t> h(static_cast<size_t>(headerEnd - FHeaderStart));
    if (!ReadExactAt(FHeaderStart, h.data(), static_cast<int64_t>(h.size()))) return TruncatedError();
    if (StandardCrc32(h.data() + 4, h.size() - 4) != LE32(h.data())) return HeaderError();
    size_t q = p;
    uint64_t type = 0, hflags = 0, extraSize = 0, dataSize = 0;
    if (!ReadVint(h.data(), h.size(), q, type) || !ReadVint(h.data(), h.size(), q, hflags))
        return HeaderError();
    if ((hflags & 1) && !ReadVint(h.data(), h.size(), q, extraSize)) return HeaderError();
    if ((hflags & 2) && !ReadVint(h.data(), h.size(), q, dataSize)) return HeaderError();
    if (extraSize > h.size() || dataSize > static_cast<uint64_t>(MaxEntrySize)) return HeaderError();
    FStepOffset = headerEnd + static_cast<int64_t>(dataSize);
    if (type == 4) RaiseError(FVolumeName, "", "0", arcerr::PasswordProtected); // encrypted headers
    if (type == 5) return Stop();                                               // end of the archive
    if (type == 1) {
        uint64_t archiveFlags = 0;
        if (ReadVint(h.data(), h.size(), q, archiveFlags))
            FRarMainFlags = static_cast<uint16_t>(archiveFlags);
        return;
    }
    if (type != 2) return; // service headers and others
    uint64_t fileFlags = 0, unpacked = 0, attributes = 0, compInfo = 0, hostOS = 0, nameLen = 0;
    uint32_t mtime = 0, crc = 0;
    if (!ReadVint(h.data(), h.size(), q, fileFlags) || !ReadVint(h.data(), h.size(), q, unpacked) ||
        !ReadVint(h.data(), h.size(), q, attributes))
        return HeaderError();
    if (fileFlags & 2) {
        if (q + 4 > h.size()) return HeaderError();
        mtime = LE32(h.data() + q);
        q += 4;
    }
    if (fileFlags & 4) {
        if (q + 4 > h.size()) return HeaderError();
        crc = LE32(h.data() + q);
        q += 4;
    }
    if (!ReadVint(h.data(), h.size(), q, compInfo) || !ReadVint(h.data(), h.size(), q, hostOS) ||
        !ReadVint(h.data(), h.size(), q, nameLen) || nameLen > h.size() - q)
        return HeaderError();
    std::string name(reinterpret_cast<const char*>(h.data() + q), static_cast<size_t>(nameLen));
    q += static_cast<size_t>(nameLen);
    // extra area: records of size, type, data; type 1 marks encrypted data, type 3 holds times
    bool encrypted = false;
    int64_t extraTime = -1;
    size_t e = h.size() - static_cast<size_t>(extraSize);
    if (extraSize && e >= q) {
        while (e < h.size()) {
            uint64_t recSize = 0, recType = 0;
            size_t r0 = e;
            if (!ReadVint(h.data(), h.size(), e, recSize) || recSize > h.size() - e) break;
            size_t recEnd = e + static_cast<size_t>(recSize);
            if (!ReadVint(h.data(), recEnd, e, recType)) break;
            if (recType == 1) encrypted = true;
            if (recType == 3) {
                uint64_t tflags = 0;
                if (ReadVint(h.data(), recEnd, e, tflags) && (tflags & 2)) {
                    if ((tflags & 1) && e + 4 <= recEnd)
                        extraTime = LE32(h.data() + e);
                    else if (!(tflags & 1) && e + 8 <= recEnd)
                        extraTime = static_cast<int64_t>(LE64(h.data() + e) / 10000000ULL) - 11644473600LL;
                }
            }
            e = recEnd;
            if (e <= r0) break;
        }
    }
    if (hflags & 0x08)
        FAccPacked += static_cast<int64_t>(dataSize);
    else
        FAccPacked = static_cast<int64_t>(dataSize);
    if (hflags & 0x10) {
        // goes on in the next volume: reported with its last part
        if (!RarNextVolume()) {
            FCancel = true;
            return Stop();
        }
        return;
    }
    std::replace(name.begin(), name.end(), '/', '\\');
    FEntry.FileName = name;
    FireReadFile();
    bool dir = fileFlags & 1;
    if (!(dir && FShowBlankDirs) && !Match()) return;
    int64_t t = (fileFlags & 2) ? static_cast<int64_t>(mtime) : extraTime;
    FEntry.DateTime = t >= 0 ? UnixTimeToDateTime(t) : DateTime1980;
    FEntry.VersionMadeBy = static_cast<uint16_t>(compInfo & 0x3F);
    FEntry.VersionNeeded = 0;
    FEntry.CRC = crc;
    FEntry.Encrypted = encrypted;
    uint32_t attr = static_cast<uint32_t>(attributes);
    FEntry.ExternalAttr = dir ? (hostOS == 0 ? (attr | 0x10) : 0x10) : (hostOS == 0 ? attr : 0x20);
    uint16_t method = static_cast<uint16_t>('0' + ((compInfo >> 7) & 7));
    FEntry.MethodCode = method;
    MethodName(method, 0, FEntry.MethodText);
    FEntry.InternalAttr = 0;
    FEntry.PackedSize = FAccPacked;
    FEntry.UnpackedSize =
        (fileFlags & 8) ? 0 : static_cast<int64_t>(std::min<uint64_t>(unpacked, MaxEntrySize));
    Report(FHeaderStart);
}

} // namespace mv
