// The lister's walk of RAR 5 archives: its start and its step.
#include "archive/formats/rar/RarFormat.h"
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

void TArcLister::StepRar5() {
    // CRC32 (4), header size (vint), then the header of that size
    uint64_t headSize = 0;
    size_t prefix = 0;
    if (!ReadRar5HeaderSize(FStepBuffer.data(), 7, headSize, prefix) || headSize < 2 ||
        headSize > Rar5MaxHeaderSize)
        return HeaderError();
    int64_t headerEnd = FHeaderStart + static_cast<int64_t>(prefix) + static_cast<int64_t>(headSize);
    if (headerEnd > FEndOffset) return TruncatedError();
    std::vector<uint8_t> h(static_cast<size_t>(headerEnd - FHeaderStart));
    if (!ReadExactAt(FHeaderStart, h.data(), static_cast<int64_t>(h.size()))) return TruncatedError();
    TRar5Header hd;
    const bool fieldsOk = ReadRar5Header(h.data(), h.size(), hd);
    if (!hd.CrcMatches || !fieldsOk || hd.DataSize > static_cast<uint64_t>(MaxEntrySize))
        return HeaderError();
    FStepOffset = headerEnd + static_cast<int64_t>(hd.DataSize);
    if (hd.Type == Rar5CryptHeader)
        RaiseError(FVolumeName, "", "0", arcerr::PasswordProtected); // encrypted headers
    if (hd.Type == Rar5EndHeader) return Stop();                     // end of the archive
    if (hd.Type == Rar5MainHeader) {
        TByteCursor c(h.data() + hd.FieldsAt, h.size() - hd.FieldsAt);
        const uint64_t archiveFlags = c.VarInt();
        if (c.Ok()) FRarMainFlags = static_cast<uint16_t>(archiveFlags);
        return;
    }
    if (hd.Type != Rar5FileHeader) return; // service headers and others
    TRar5File f;
    if (!ReadRar5File(h.data(), h.size(), hd, f)) return HeaderError();
    if (hd.Flags & Rar5SplitBefore)
        FAccPacked += static_cast<int64_t>(hd.DataSize);
    else
        FAccPacked = static_cast<int64_t>(hd.DataSize);
    if (hd.Flags & Rar5SplitAfter) {
        // goes on in the next volume: reported with its last part
        if (!RarNextVolume()) {
            FCancel = true;
            return Stop();
        }
        return;
    }
    std::string name = f.Name;
    std::replace(name.begin(), name.end(), '/', '\\');
    FEntry.FileName = name;
    FireReadFile();
    bool dir = f.FileFlags & Rar5FileDirectory;
    if (!(dir && FShowBlankDirs) && !Match()) return;
    const int64_t t = (f.FileFlags & Rar5FileHasTime) ? static_cast<int64_t>(f.MTime)
                      : f.HasExtraTime                ? f.ExtraTime
                                                      : -1;
    FEntry.DateTime = t >= 0 ? UnixTimeToDateTime(t) : DateTime1980;
    FEntry.VersionMadeBy = static_cast<uint16_t>(f.CompInfo & 0x3F);
    FEntry.VersionNeeded = 0;
    FEntry.CRC = f.Crc;
    FEntry.Encrypted = f.Encrypted;
    uint32_t attr = static_cast<uint32_t>(f.Attributes);
    FEntry.ExternalAttr = dir ? (f.HostOS == 0 ? (attr | 0x10) : 0x10) : (f.HostOS == 0 ? attr : 0x20);
    uint16_t method = static_cast<uint16_t>('0' + ((f.CompInfo >> 7) & 7));
    FEntry.MethodCode = method;
    MethodName(method, 0, FEntry.MethodText);
    FEntry.InternalAttr = 0;
    FEntry.PackedSize = FAccPacked;
    FEntry.UnpackedSize = (f.FileFlags & Rar5FileUnknownSize)
                              ? 0
                              : static_cast<int64_t>(std::min<uint64_t>(f.UnpSize, MaxEntrySize));
    Report(FHeaderStart);
}

} // namespace mv
