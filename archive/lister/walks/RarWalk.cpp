// The lister's walks of RAR archives: 1.5 to 4 (the start of every RAR), and 5.
#include "archive/formats/rar/RarFormat.h"
#include "archive/framework/Bytes.h"
#include "archive/framework/DiskManager.h"
#include "archive/framework/SharedRoutines.h"
#include "archive/framework/TextUtils.h"
#include "archive/lister/ArcLister.h"
#include "archive/lister/ListerWalk.h"
#include "archive/lister/walks/WalkSupport.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <cstring>

namespace mv {

using namespace listerwalk;

// RAR 1.5 to 4. Every RAR archive starts with this walk, which hands over to the
// walk of RAR 5 when the archive's mark says so.
class TArcLister::TRarWalk final : public TListerWalk {
public:
    using TListerWalk::TListerWalk;
    void Start() override;
    std::unique_ptr<TListerWalk> HandOver() override;
    void Step() override;
    TWalkTrailer Trailer() const override { return TWalkTrailer::RarEndBlock; }
    TWalkClosing Closing() const override { return TWalkClosing::Open; }

    // Opens the next volume of the set and places the lister after its main
    // header; false when the user declined it.
    static bool NextVolume(TArcLister& lister, bool rar5, uint16_t mainFlags);

private:
    bool FRar5 = false; // the mark is RAR 5's: its walk takes over
    uint16_t FRarMainFlags = 0;
    int64_t FAccPacked = 0, FAccUnpacked = 0; // parts of an entry over several volumes
};

void TArcLister::TRarWalk::Start() {
    uint8_t sig[Rar5MarkSize];
    int64_t start = L.FHeaderPos - 1;
    if (!L.ReadExactAt(start, sig, sizeof sig)) L.RaiseError(L.FArchiveFile, "", "0", arcerr::ReadError);
    if (RarMarkAt(sig, sizeof sig) == 5) {
        FRar5 = true;
        L.FStepSize = 7;
        L.FHeaderPos = start + Rar5MarkSize + 1;
        return;
    }
    uint8_t m[RarMainHeaderSize];
    if (!L.ReadExactAt(start + RarMarkSize, m, sizeof m))
        L.RaiseError(L.FArchiveFile, "", "0", arcerr::ReadError);
    uint16_t size = 0;
    if (!ReadRarMainHeader(m, FRarMainFlags, size))
        L.RaiseError(L.FArchiveFile, "", "0", arcerr::HeaderError);
    // headers after the main header are encrypted: nothing can be listed without the password
    if (FRarMainFlags & RarMainEncryptedHeaders)
        L.RaiseError(L.FArchiveFile, "", "0", arcerr::PasswordProtected);
    L.FStepSize = RarFileHeaderMinSize;
    L.FHeaderPos = start + RarMarkSize + size + 1;
}

std::unique_ptr<TListerWalk> TArcLister::TRarWalk::HandOver() {
    return FRar5 ? NewRar5Walk(L) : nullptr;
}

// The next volume of a RAR set: ".partN.rar" names when the archive numbers its
// volumes that way, else the extension sequence .r00, .r01, ...
bool TArcLister::TRarWalk::NextVolume(TArcLister& L, bool rar5, uint16_t mainFlags) {
    if (!L.OnNextVolume) return false;
    std::string name;
    std::string cur = L.FVolumeName;
    size_t part = cur.rfind(".part");
    // RAR 5 sets always name their volumes that way; older sets say so in a flag
    if ((rar5 || (mainFlags & RarMainNewNumbering)) && part != std::string::npos) {
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
    if (name.empty()) name = L.GetNextVolumeName(L.FArchiveFile, L.FVolumeNumber);
    if (!L.RequestVolume(name, std::to_string(L.FVolumeNumber))) return false;
    if (!L.OpenVolume(name)) L.RaiseError(name, "", std::to_string(L.FVolumeNumber), arcerr::OpenError);
    if (rar5) {
        uint8_t sig[Rar5MarkSize];
        if (!L.ReadExactAt(0, sig, sizeof sig) || RarMarkAt(sig, sizeof sig) != 5)
            L.RaiseError(name, "", std::to_string(L.FVolumeNumber), arcerr::HeaderError);
        L.FStepOffset = Rar5MarkSize;
        L.FHeaderPos = L.FStepOffset + 1;
        return true;
    }
    uint8_t m[RarMainHeaderSize];
    if (!L.ReadExactAt(RarMarkSize, m, sizeof m))
        L.RaiseError(name, "", std::to_string(L.FVolumeNumber), arcerr::ReadError);
    uint16_t flags = 0, size = 0;
    if (!ReadRarMainHeader(m, flags, size))
        L.RaiseError(name, "", std::to_string(L.FVolumeNumber), arcerr::HeaderError);
    L.FStepOffset = RarMarkSize + size;
    L.FHeaderPos = L.FStepOffset + 1;
    return true;
}

void TArcLister::TRarWalk::Step() {
    const TRarBlockBase base = ReadRarBlockBase(L.FStepBuffer.data());
    const uint16_t flags = base.Flags;
    const uint16_t size = base.HeadSize;
    if (size < RarBlockBaseSize) return L.HeaderError();
    if (base.Type == RarEndBlock) return L.Stop(); // end of the archive
    if (L.FHeaderStart + size > L.FEndOffset) return L.TruncatedError();
    std::vector<uint8_t> h(size);
    if (!L.ReadExactAt(L.FHeaderStart, h.data(), size)) return L.TruncatedError();
    // a file header of version 2.0 on keeps the low word of the CRC-32 of the
    // header after the CRC field
    if (base.Type == RarFileBlock && size >= RarFileHeaderMinSize && h[24] >= 20 &&
        !(flags & RarFileComment) && !RarFileHeaderCrcMatches(h.data(), size))
        return L.HeaderError();
    if (base.Type != RarFileBlock) {
        // comments, service blocks, recovery records: stepped over by their sizes
        const int64_t add = (flags & RarBlockLongData) && size >= 11 ? LE32(h.data() + 7) : 0;
        L.FStepOffset = L.FHeaderStart + size + add;
        return;
    }
    TRarFileHeader f;
    if (!ReadRarFileHeader(h.data(), size, f)) return L.HeaderError();
    const int64_t packed = static_cast<int64_t>(f.PackSize), unpacked = static_cast<int64_t>(f.UnpSize);
    if (packed > MaxEntrySize || unpacked > MaxEntrySize) return L.HeaderError();
    if (flags & RarFileUnicode) {
        // a Unicode name follows the OEM name
        std::string u = f.UnicodeName;
        if (u.empty()) u = Utf8OrOem(f.Name);
        std::replace(u.begin(), u.end(), '/', '\\');
        L.FEntry.FileName = u;
    } else {
        L.SetEntryName(f.NameField);
    }
    L.FStepOffset = L.FHeaderStart + size + packed;
    FAccUnpacked = unpacked;
    if (flags & RarFileSplitBefore)
        FAccPacked += packed;
    else
        FAccPacked = packed;
    if (flags & RarFileSplitAfter) {
        // goes on in the next volume: the last part reports the entry
        if (!NextVolume(L, false, FRarMainFlags)) {
            L.FCancel = true;
            return L.Stop();
        }
        return;
    }
    L.FireReadFile();
    bool dir = f.IsDirectory() || (f.HostOS != 3 && (f.Attr & 0x10));
    if (!(dir && L.FShowBlankDirs) && !L.Match()) return;
    L.FEntry.DateTime = L.ConvertDate(f.FileTime);
    L.FEntry.VersionMadeBy = f.UnpVer;
    L.FEntry.VersionNeeded = 0;
    L.FEntry.CRC = f.FileCrc;
    L.FEntry.Encrypted = flags & RarFileEncrypted;
    L.FEntry.ExternalAttr = dir ? (f.Attr | 0x10) : f.Attr;
    L.FEntry.MethodCode = f.Method;
    L.MethodName(f.Method, 0, L.FEntry.MethodText);
    L.FEntry.InternalAttr = 0;
    L.FEntry.PackedSize = FAccPacked;
    L.FEntry.UnpackedSize = FAccUnpacked;
    L.Report(L.FHeaderStart);
}

std::unique_ptr<TListerWalk> NewRarWalk(TArcLister& lister) {
    return std::make_unique<TArcLister::TRarWalk>(lister);
}

// RAR 5, handed over by the RAR walk after the archive's mark.
class TArcLister::TRar5Walk final : public TListerWalk {
public:
    using TListerWalk::TListerWalk;
    // The RAR walk placed the first header.
    void Start() override {}
    void Step() override;
    TWalkTrailer Trailer() const override { return TWalkTrailer::Zeros; }
    TWalkClosing Closing() const override { return TWalkClosing::EndRecord; }

private:
    int64_t FAccPacked = 0; // packed parts of an entry over several volumes
};

void TArcLister::TRar5Walk::Step() {
    // CRC32 (4), header size (vint), then the header of that size
    uint64_t headSize = 0;
    size_t prefix = 0;
    if (!ReadRar5HeaderSize(L.FStepBuffer.data(), 7, headSize, prefix) || headSize < 2 ||
        headSize > Rar5MaxHeaderSize)
        return L.HeaderError();
    int64_t headerEnd = L.FHeaderStart + static_cast<int64_t>(prefix) + static_cast<int64_t>(headSize);
    if (headerEnd > L.FEndOffset) return L.TruncatedError();
    std::vector<uint8_t> h(static_cast<size_t>(headerEnd - L.FHeaderStart));
    if (!L.ReadExactAt(L.FHeaderStart, h.data(), static_cast<int64_t>(h.size()))) return L.TruncatedError();
    TRar5Header hd;
    const bool fieldsOk = ReadRar5Header(h.data(), h.size(), hd);
    if (!hd.CrcMatches || !fieldsOk || hd.DataSize > static_cast<uint64_t>(MaxEntrySize))
        return L.HeaderError();
    L.FStepOffset = headerEnd + static_cast<int64_t>(hd.DataSize);
    if (hd.Type == Rar5CryptHeader)
        L.RaiseError(L.FVolumeName, "", "0", arcerr::PasswordProtected); // encrypted headers
    if (hd.Type == Rar5EndHeader) return L.Stop();                       // end of the archive
    if (hd.Type == Rar5MainHeader) return;                               // its flags do not change the walk
    if (hd.Type != Rar5FileHeader) return;                               // service headers and others
    TRar5File f;
    if (!ReadRar5File(h.data(), h.size(), hd, f)) return L.HeaderError();
    if (hd.Flags & Rar5SplitBefore)
        FAccPacked += static_cast<int64_t>(hd.DataSize);
    else
        FAccPacked = static_cast<int64_t>(hd.DataSize);
    if (hd.Flags & Rar5SplitAfter) {
        // goes on in the next volume: reported with its last part
        if (!TRarWalk::NextVolume(L, true, 0)) {
            L.FCancel = true;
            return L.Stop();
        }
        return;
    }
    std::string name = f.Name;
    std::replace(name.begin(), name.end(), '/', '\\');
    L.FEntry.FileName = name;
    L.FireReadFile();
    bool dir = f.FileFlags & Rar5FileDirectory;
    if (!(dir && L.FShowBlankDirs) && !L.Match()) return;
    const int64_t t = (f.FileFlags & Rar5FileHasTime) ? static_cast<int64_t>(f.MTime)
                      : f.HasExtraTime                ? f.ExtraTime
                                                      : -1;
    L.FEntry.DateTime = t >= 0 ? UnixTimeToDateTime(t) : DateTime1980;
    L.FEntry.VersionMadeBy = static_cast<uint16_t>(f.CompInfo & 0x3F);
    L.FEntry.VersionNeeded = 0;
    L.FEntry.CRC = f.Crc;
    L.FEntry.Encrypted = f.Encrypted;
    uint32_t attr = static_cast<uint32_t>(f.Attributes);
    L.FEntry.ExternalAttr = dir ? (f.HostOS == 0 ? (attr | 0x10) : 0x10) : (f.HostOS == 0 ? attr : 0x20);
    uint16_t method = static_cast<uint16_t>('0' + ((f.CompInfo >> 7) & 7));
    L.FEntry.MethodCode = method;
    L.MethodName(method, 0, L.FEntry.MethodText);
    L.FEntry.InternalAttr = 0;
    L.FEntry.PackedSize = FAccPacked;
    L.FEntry.UnpackedSize = (f.FileFlags & Rar5FileUnknownSize)
                                ? 0
                                : static_cast<int64_t>(std::min<uint64_t>(f.UnpSize, MaxEntrySize));
    L.Report(L.FHeaderStart);
}

std::unique_ptr<TListerWalk> NewRar5Walk(TArcLister& lister) {
    return std::make_unique<TArcLister::TRar5Walk>(lister);
}

} // namespace mv
