// The lister's walk of RAR archives (1.5 to 4, and the start of every RAR): its start and its step.
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

void TArcLister::StartRar() {
    uint8_t sig[Rar5MarkSize];
    int64_t start = FHeaderPos - 1;
    if (!ReadExactAt(start, sig, sizeof sig)) RaiseError(FArchiveFile, "", "0", arcerr::ReadError);
    if (RarMarkAt(sig, sizeof sig) == 5) {
        FWalk = Walk::Rar5;
        FStepSize = 7;
        FHeaderPos = start + Rar5MarkSize + 1;
        return;
    }
    FWalk = Walk::Rar;
    uint8_t m[RarMainHeaderSize];
    if (!ReadExactAt(start + RarMarkSize, m, sizeof m)) RaiseError(FArchiveFile, "", "0", arcerr::ReadError);
    uint16_t size = 0;
    if (!ReadRarMainHeader(m, FRarMainFlags, size)) RaiseError(FArchiveFile, "", "0", arcerr::HeaderError);
    // headers after the main header are encrypted: nothing can be listed without the password
    if (FRarMainFlags & RarMainEncryptedHeaders) RaiseError(FArchiveFile, "", "0", arcerr::PasswordProtected);
    FStepSize = RarFileHeaderMinSize;
    FHeaderPos = start + RarMarkSize + size + 1;
}

// The next volume of a RAR set: ".partN.rar" names when the archive numbers its
// volumes that way, else the extension sequence .r00, .r01, ...
bool TArcLister::RarNextVolume() {
    if (!OnNextVolume) return false;
    std::string name;
    std::string cur = FVolumeName;
    size_t part = cur.rfind(".part");
    // RAR 5 sets always name their volumes that way; older sets say so in a flag
    if ((FWalk == Walk::Rar5 || (FRarMainFlags & RarMainNewNumbering)) && part != std::string::npos) {
        size_t d = part + 5, e = d;
        while (e < cur.size() && cur[e] >= '0' && cur[e] <= '9') ++e;
        if (e > d) {
            std::string digits = cur.substr(d, e - d);
            long v = std::stol(digits.size() > 9 ? digits.substr(digits.size() - 9) : digits) + 1;
            std::string nd = std::to_string(v);
            while (nd.size() < digits.size()) nd = "0" + nd;
            name = cur.substr(0, d) + nd + cur.substr(e);
        }
    }
    if (name.empty()) name = GetNextVolumeName(FArchiveFile, FVolumeNumber);
    if (!RequestVolume(name, std::to_string(FVolumeNumber))) return false;
    if (!OpenVolume(name)) RaiseError(name, "", std::to_string(FVolumeNumber), arcerr::OpenError);
    if (FWalk == Walk::Rar5) {
        uint8_t sig[Rar5MarkSize];
        if (!ReadExactAt(0, sig, sizeof sig) || RarMarkAt(sig, sizeof sig) != 5)
            RaiseError(name, "", std::to_string(FVolumeNumber), arcerr::HeaderError);
        FStepOffset = Rar5MarkSize;
        FHeaderPos = FStepOffset + 1;
        return true;
    }
    uint8_t m[RarMainHeaderSize];
    if (!ReadExactAt(RarMarkSize, m, sizeof m))
        RaiseError(name, "", std::to_string(FVolumeNumber), arcerr::ReadError);
    uint16_t flags = 0, size = 0;
    if (!ReadRarMainHeader(m, flags, size))
        RaiseError(name, "", std::to_string(FVolumeNumber), arcerr::HeaderError);
    FStepOffset = RarMarkSize + size;
    FHeaderPos = FStepOffset + 1;
    return true;
}

void TArcLister::StepRar() {
    const TRarBlockBase base = ReadRarBlockBase(FStepBuffer.data());
    const uint16_t flags = base.Flags;
    const uint16_t size = base.HeadSize;
    if (size < RarBlockBaseSize) return HeaderError();
    if (base.Type == RarEndBlock) return Stop(); // end of the archive
    if (FHeaderStart + size > FEndOffset) return TruncatedError();
    std::vector<uint8_t> h(size);
    if (!ReadExactAt(FHeaderStart, h.data(), size)) return TruncatedError();
    // a file header of version 2.0 on keeps the low word of the CRC-32 of the
    // header after the CRC field
    if (base.Type == RarFileBlock && size >= RarFileHeaderMinSize && h[24] >= 20 &&
        !(flags & RarFileComment) && !RarFileHeaderCrcMatches(h.data(), size))
        return HeaderError();
    if (base.Type != RarFileBlock) {
        // comments, service blocks, recovery records: stepped over by their sizes
        const int64_t add = (flags & RarBlockLongData) && size >= 11 ? LE32(h.data() + 7) : 0;
        FStepOffset = FHeaderStart + size + add;
        return;
    }
    TRarFileHeader f;
    if (!ReadRarFileHeader(h.data(), size, f)) return HeaderError();
    const int64_t packed = static_cast<int64_t>(f.PackSize), unpacked = static_cast<int64_t>(f.UnpSize);
    if (packed > MaxEntrySize || unpacked > MaxEntrySize) return HeaderError();
    if (flags & RarFileUnicode) {
        // a Unicode name follows the OEM name
        std::string u = f.UnicodeName;
        if (u.empty()) u = Utf8OrOem(f.Name);
        std::replace(u.begin(), u.end(), '/', '\\');
        FEntry.FileName = u;
    } else {
        SetEntryName(f.NameField);
    }
    FStepOffset = FHeaderStart + size + packed;
    FAccUnpacked = unpacked;
    if (flags & RarFileSplitBefore)
        FAccPacked += packed;
    else
        FAccPacked = packed;
    if (flags & RarFileSplitAfter) {
        // goes on in the next volume: the last part reports the entry
        if (!RarNextVolume()) {
            FCancel = true;
            return Stop();
        }
        return;
    }
    FireReadFile();
    bool dir = f.IsDirectory() || (f.HostOS != 3 && (f.Attr & 0x10));
    if (!(dir && FShowBlankDirs) && !Match()) return;
    FEntry.DateTime = ConvertDate(f.FileTime);
    FEntry.VersionMadeBy = f.UnpVer;
    FEntry.VersionNeeded = 0;
    FEntry.CRC = f.FileCrc;
    FEntry.Encrypted = flags & RarFileEncrypted;
    FEntry.ExternalAttr = dir ? (f.Attr | 0x10) : f.Attr;
    FEntry.MethodCode = f.Method;
    MethodName(f.Method, 0, FEntry.MethodText);
    FEntry.InternalAttr = 0;
    FEntry.PackedSize = FAccPacked;
    FEntry.UnpackedSize = FAccUnpacked;
    Report(FHeaderStart);
}

} // namespace mv
