// The lister's walk of ZIP archives: its start and its step.
#include "archive/formats/lha/LhaHeader.h"
#include "archive/formats/tar/TarFormat.h"
#include "archive/framework/Bytes.h"
#include "archive/framework/DiskManager.h"
#include "archive/framework/SharedRoutines.h"
#include "archive/framework/TextUtils.h"
#include "archive/framework/ZipRecords.h"
#include "archive/lister/ArcLister.h"
#include "archive/lister/ListerWalk.h"
#include "archive/lister/walks/WalkSupport.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <cstring>

namespace mv {

using namespace listerwalk;

class TArcLister::TZipWalk final : public TListerWalk {
public:
    using TListerWalk::TListerWalk;
    void Start() override;
    void Step() override;
    TWalkTrailer Trailer() const override { return TWalkTrailer::ZipRecords; }
    TWalkClosing Closing() const override { return TWalkClosing::LocalEndRecord; }
    void Finish() override;

private:
    bool GatherSpannedDirectory(uint16_t firstDisk, uint16_t lastDisk, int64_t cdOffset, int64_t cdSize,
                                int64_t cdEndOnLast, const std::vector<uint8_t>& endRecord);

    uint8_t FHeadFlag = 0;      // the detection's probe flags, 8 when a central directory was found
    int64_t FZipDelta = 0;      // bytes in front of the ZIP data that its offsets do not count
    int64_t FZipCentralEnd = 0; // where the central directory ends (the end record)
    int64_t FZipCentralStart = 0;
    uint16_t FZipThisDisk = 0;
};

namespace {
// Info-ZIP writes a character it could not store in the OEM name as "#Uxxxx"
// (or "#Lxxxxxx"), its code point in hexadecimal: such names are turned back.
bool HasZipEscapes(const std::string& name) {
    return name.find("#U") != std::string::npos || name.find("#L") != std::string::npos;
}

std::string DecodeZipEscapes(const std::string& utf8) {
    std::string out;
    for (size_t i = 0; i < utf8.size();) {
        size_t digits = 0;
        if (utf8[i] == '#' && i + 1 < utf8.size())
            digits = utf8[i + 1] == 'U' ? 4 : (utf8[i + 1] == 'L' ? 6 : 0);
        if (digits && i + 2 + digits <= utf8.size()) {
            uint32_t cp = 0;
            bool hex = true;
            for (size_t k = 0; k < digits && hex; ++k) {
                char c = utf8[i + 2 + k];
                int v = (c >= '0' && c <= '9')   ? c - '0'
                        : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                        : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                                 : -1;
                if (v < 0) hex = false;
                cp = cp * 16 + static_cast<uint32_t>(v < 0 ? 0 : v);
            }
            if (hex && cp >= 0x80 && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF)) {
                platform::AppendUtf8(out, cp);
                i += 2 + digits;
                continue;
            }
        }
        out += utf8[i++];
    }
    return out;
}
} // namespace

void TArcLister::TZipWalk::Start() {
    FHeadFlag = L.FZipProbeFlags;
    if (L.FArcType == TArcType::atZipMV) {
        // a set spanned over removable disks: its directory is on the last disk
        L.SetDiskDrive();
        if (L.FDiskManager->DriveType() != TDiskManager::dtRemovable) {
            L.FStepSize = 0;
            return;
        }
        if (L.OnGetZipLastDisk) {
            for (int guard = 0; !(L.FZipProbeFlags & 1) && guard < 100; ++guard) {
                bool cancel = true;
                L.OnGetZipLastDisk(&L, cancel);
                if (cancel) {
                    L.FCancel = true;
                    L.FStepSize = 0;
                    return;
                }
                L.DetectArcType();
            }
            if (!L.ReopenNextDisk(L.FArchiveStream)) {
                L.FStepSize = 0;
                return;
            }
            L.FEndOffset = L.FArchiveSize;
            L.ResetWindow();
        }
        FHeadFlag = L.FZipProbeFlags;
    } else if (L.OnCorruptZipHeader && (FHeadFlag & 0x19) != 0x19) {
        bool cancel = true;
        L.OnCorruptZipHeader(&L, FHeadFlag, cancel);
        if (cancel) {
            L.FCancel = true;
            L.FStepSize = 0;
            return;
        }
    }
    L.FEndOffset = L.FArchiveSize;
    FZipDelta = 0;
    FZipCentralEnd = L.FEndOffset;
    // Find the end record from the back of the file: it places the central
    // directory, and, by where that directory really lies, any bytes in front
    // of the archive that its offsets do not count.
    int64_t tail = std::min<int64_t>(L.FEndOffset, 22 + 65535);
    std::vector<uint8_t> t(static_cast<size_t>(tail));
    int64_t eocd = -1;
    if (tail >= 22 && L.ReadExactAt(L.FEndOffset - tail, t.data(), tail)) {
        for (int64_t i = tail - 22; i >= 0; --i) {
            const uint8_t* e = t.data() + i;
            if (e[0] == 'P' && e[1] == 'K' && e[2] == 5 && e[3] == 6 && i + 22 + LE16(e + 20) <= tail) {
                eocd = L.FEndOffset - tail + i;
                break;
            }
        }
    }
    if (eocd >= 0) {
        const uint8_t* e = t.data() + (eocd - (L.FEndOffset - tail));
        int64_t cdSize = LE32(e + 12);
        int64_t cdOffset = LE32(e + 16);
        // the walk needs no entry count (more than 65535 entries leave it at 0xFFFF);
        // a directory that only Zip64 records can place is refused
        if (LE32(e + 12) == 0xFFFFFFFFu || LE32(e + 16) == 0xFFFFFFFFu)
            L.RaiseError(L.FArchiveFile, "Zip64", "0", arcerr::TooLarge);
        // the central directory ends at the end record; an archive with Zip64 end
        // records (more than 65535 entries, or sizes past 4 GiB) is refused as the
        // reader refuses it, not listed in part
        const int64_t cdEnd = eocd;
        uint8_t loc[20];
        if (eocd >= 20 && L.ReadExactAt(eocd - 20, loc, 20) && LE32(loc) == 0x07064B50u)
            L.RaiseError(L.FArchiveFile, "Zip64", "0", arcerr::TooLarge);
        // a set spanned over removable disks whose directory starts on an earlier
        // disk than the last: it is gathered from its disks and walked in memory
        if (L.FArcType == TArcType::atZipMV && LE16(e + 6) < LE16(e + 4)) {
            std::vector<uint8_t> end(e, e + 22);
            if (GatherSpannedDirectory(LE16(e + 6), LE16(e + 4), cdOffset, cdSize, cdEnd, end)) {
                FHeadFlag |= 8;
                L.FStepSize = 46;
                L.FHeaderPos = 1;
            } else {
                L.FStepSize = 0;
            }
            return;
        }
        int64_t cdStart = cdEnd - cdSize;
        uint8_t sig[4] = {};
        if (cdStart >= 0 && (cdSize == 0 || (L.ReadExactAt(cdStart, sig, 4) && LE32(sig) == 0x02014B50))) {
            FZipDelta = cdStart - cdOffset;
            FZipCentralStart = cdStart;
            FZipThisDisk = LE16(e + 4);
            FZipCentralEnd = cdEnd;
            // the central directory is read in blocks of up to 1 MiB: few reads for
            // its records, and the first entries come at once (a whole directory of
            // tens of megabytes read up front held them back for most of a second)
            int64_t block = std::min<int64_t>(cdSize + 64, int64_t(1) << 20);
            if (block > static_cast<int64_t>(L.FWindow.size())) {
                L.FWindow.assign(static_cast<size_t>(block), 0);
                L.ResetWindow();
            }
            FHeadFlag |= 8;
            L.FStepSize = 46;
            L.FHeaderPos = cdStart + 1;
            return;
        }
    }
    if (!(FHeadFlag & 8)) FHeadFlag = 16;
    if (FHeadFlag == 16) {
        // the first local header at or just after where detection placed the data
        // (its offset is 0- or 1-based by the probe that found it)
        int64_t from = std::max<int64_t>(L.FArchiveOffset - 1, 0);
        std::vector<uint8_t> w(
            static_cast<size_t>(std::min<int64_t>(65536, std::max<int64_t>(L.FEndOffset - from, 0))));
        int64_t n = w.empty() ? 0 : L.ReadAt(from, w.data(), static_cast<int64_t>(w.size()));
        for (int64_t i = 0; i + 4 <= n; ++i) {
            if (w[i] == 'P' && w[i + 1] == 'K' && w[i + 2] == 3 && w[i + 3] == 4) {
                L.FStepSize = 30;
                L.FHeaderPos = from + i + 1;
                return;
            }
        }
        L.DoError(L.FVolumeName, "", "0", arcerr::HeaderError);
        L.FErrorReported = true;
        L.FStepSize = 0;
        return;
    }
    L.DoError(L.FVolumeName, "", "0", arcerr::HeaderError);
    L.FErrorReported = true;
    L.FStepSize = 0;
}

// The directory of a spanned set from the disk it starts on to the last disk,
// which is in the drive: its part on the last disk is read first, then the
// disks from the first one of the directory on are asked for in turn
// (OnGetZipNextDisk with the disk's number). The directory and the end record
// then stand in memory in place of the archive; the offsets of the entries'
// local headers keep referring to their own disks.
bool TArcLister::TZipWalk::GatherSpannedDirectory(uint16_t firstDisk, uint16_t lastDisk, int64_t cdOffset,
                                                  int64_t cdSize, int64_t cdEndOnLast,
                                                  const std::vector<uint8_t>& endRecord) {
    constexpr int64_t MaxDirectory = int64_t(64) << 20;
    if (cdSize > MaxDirectory || cdEndOnLast > cdSize) {
        L.HeaderError();
        return false;
    }
    std::vector<uint8_t> tail(static_cast<size_t>(cdEndOnLast));
    if (!tail.empty() && !L.ReadExactAt(0, tail.data(), cdEndOnLast)) {
        L.TruncatedError();
        return false;
    }
    std::vector<uint8_t> dir;
    dir.reserve(static_cast<size_t>(cdSize + 22));
    const int64_t earlier = cdSize - cdEndOnLast;
    for (uint32_t disk = firstDisk; disk < lastDisk && static_cast<int64_t>(dir.size()) < earlier; ++disk) {
        // disk numbers in the records count from 0, on the labels from 1
        const int32_t wanted = static_cast<int32_t>(disk) + 1;
        for (int guard = 0; L.FDiskManager->DiskNumber() != wanted; ++guard) {
            if (!L.OnGetZipNextDisk || guard >= 100) {
                L.DoError(L.FArchiveFile, "", std::to_string(wanted), arcerr::HeaderError);
                L.FErrorReported = true;
                return false;
            }
            bool cancel = true;
            L.OnGetZipNextDisk(&L, std::to_string(wanted), cancel);
            if (cancel) {
                L.FCancel = true;
                return false;
            }
            L.FDiskManager->ReadDiskInfo();
        }
        if (!L.ReopenNextDisk(L.FArchiveStream)) return false;
        L.ResetWindow();
        const int64_t from = disk == firstDisk ? cdOffset : 0;
        const int64_t count =
            std::min<int64_t>(L.FArchiveSize - from, earlier - static_cast<int64_t>(dir.size()));
        if (from > L.FArchiveSize || count < 0) {
            L.TruncatedError();
            return false;
        }
        const size_t at = dir.size();
        dir.resize(at + static_cast<size_t>(count));
        if (count > 0 && !L.ReadExactAt(from, dir.data() + at, count)) {
            L.TruncatedError();
            return false;
        }
    }
    if (static_cast<int64_t>(dir.size()) != earlier) {
        L.TruncatedError();
        return false;
    }
    dir.insert(dir.end(), tail.begin(), tail.end());
    dir.insert(dir.end(), endRecord.begin(), endRecord.end());
    if (dir.size() < 4 || LE32(dir.data()) != 0x02014B50u) {
        L.HeaderError();
        return false;
    }
    L.CloseArchive(L.FArchiveStream);
    L.FArchiveStream = std::make_unique<TMemoryStream>(std::move(dir));
    L.FArchiveSize = L.FEndOffset = L.FArchiveStream->Size();
    FZipCentralStart = 0;
    FZipCentralEnd = cdSize;
    FZipDelta = 0;
    // no local header lies in memory: the check of their offsets is left out
    FZipThisDisk = 0xFFFF;
    L.FWindow.assign(static_cast<size_t>(std::min<int64_t>(L.FArchiveSize, int64_t(1) << 20)), 0);
    L.ResetWindow();
    return true;
}

void TArcLister::TZipWalk::Step() {
    const uint8_t* r = L.FStepBuffer.data();
    uint32_t sig = LE32(r);
    bool central = L.FStepSize == int64_t(ZipCentralRecordSize);
    if (sig != (central ? ZipCentralSignature : ZipLocalSignature)) {
        bool end = central
                       ? L.FHeaderStart >= FZipCentralEnd
                       : (sig == ZipCentralSignature || sig == ZipEndSignature || sig == Zip64EndSignature);
        if (!end) return L.HeaderError();
        // a local walk is taken when no end record was found: the archive ends short
        if (!central) return L.TruncatedError();
        return L.Stop();
    }
    if (!central) {
        // the signature is checked above: the record is read (zrOk) or needs Zip64
        TZipLocalHeader local;
        if (ReadZipLocalHeader(r, L.FStepBuffer.size(), local) != TZipRecordStatus::zrOk)
            L.RaiseError(L.FArchiveFile, "Zip64", "0", arcerr::TooLarge);
        const uint16_t flags = local.Flags;
        const uint16_t method = local.Method;
        const uint32_t dos = local.DosDateTime;
        uint32_t crc = local.Crc32;
        int64_t packed = local.CompressedSize;
        int64_t unpacked = local.UncompressedSize;
        const uint16_t nameLen = local.NameLength, extraLen = local.ExtraLength;
        std::string name(nameLen, '\0');
        if (!L.ReadExactAt(L.FStepOffset, name.data(), nameLen)) return L.TruncatedError();
        int64_t dataStart = L.FStepOffset + nameLen + extraLen;
        if ((flags & 8) && packed == 0) {
            // sizes follow the data in a descriptor: find the descriptor whose
            // packed size equals its distance from the data
            int64_t p = dataStart;
            bool found = false;
            std::vector<uint8_t> chunk(65536 + 16);
            while (p < L.FEndOffset && !found && !L.FCancel) {
                int64_t n = L.ReadAt(p, chunk.data(), static_cast<int64_t>(chunk.size()));
                if (n < 16) break;
                for (int64_t i = 0; i + 16 <= n; ++i) {
                    const uint8_t* d = chunk.data() + i;
                    if (d[0] == 'P' && d[1] == 'K' && d[2] == 7 && d[3] == 8 &&
                        LE32(d + 8) == (p + i) - dataStart) {
                        crc = LE32(d + 4);
                        packed = LE32(d + 8);
                        unpacked = LE32(d + 12);
                        found = true;
                        break;
                    }
                }
                p += n - 15;
            }
            if (!found) return L.TruncatedError();
            L.FStepOffset = dataStart + packed + 16;
        } else {
            L.FStepOffset = dataStart + packed;
        }
        if (flags & 0x800) {
            std::replace(name.begin(), name.end(), '/', '\\');
            L.FEntry.FileName = name;
        } else {
            L.SetEntryName(name);
        }
        L.FireReadFile();
        if (!L.Match()) return;
        L.FEntry.DateTime = L.ConvertDate(dos);
        L.FEntry.VersionMadeBy = L.FEntry.VersionNeeded = local.VersionNeeded;
        L.FEntry.PackedSize = packed;
        L.FEntry.UnpackedSize = unpacked;
        L.FEntry.CRC = crc;
        L.FEntry.Encrypted = flags & ZipFlagEncrypted;
        L.FEntry.InternalAttr = 0;
        L.FEntry.ExternalAttr = 0;
        L.FEntry.MethodCode = method;
        L.MethodName(method, flags, L.FEntry.MethodText);
        L.Report(L.FHeaderStart);
        return;
    }
    // the signature is checked above; Zip64 values are refused once the record's
    // variable part is known to be there
    TZipCentralRecord c;
    ReadZipCentralRecord(r, L.FStepBuffer.size(), c);
    const uint16_t flags = c.Flags;
    const uint16_t nameLen = c.NameLength, extraLen = c.ExtraLength, commentLen = c.CommentLength;
    int64_t varEnd = L.FStepOffset + nameLen + extraLen + commentLen;
    if (varEnd > FZipCentralEnd && varEnd > L.FEndOffset) return L.TruncatedError();
    std::string name(nameLen, '\0');
    if (!L.ReadExactAt(L.FStepOffset, name.data(), nameLen)) return L.TruncatedError();
    std::string extra(extraLen, '\0');
    if (extraLen && !L.ReadExactAt(L.FStepOffset + nameLen, extra.data(), extraLen))
        return L.TruncatedError();
    if (commentLen) {
        L.FEntryComment.assign(commentLen, '\0');
        if (!L.ReadExactAt(L.FStepOffset + nameLen + extraLen, L.FEntryComment.data(), commentLen))
            return L.TruncatedError();
    }
    L.FStepOffset = varEnd;
    if (NeedsZip64(c.CompressedSize) || NeedsZip64(c.UncompressedSize) || NeedsZip64(c.LocalHeaderOffset))
        L.RaiseError(L.FArchiveFile, "Zip64", "0", arcerr::TooLarge);
    std::string unicodeName;
    if (flags & 0x800) {
        std::replace(name.begin(), name.end(), '/', '\\');
        L.FEntry.FileName = std::move(name);
    } else if (ZipUnicodePathExtra(reinterpret_cast<const uint8_t*>(extra.data()), extra.size(), name,
                                   unicodeName)) {
        L.FEntry.FileName = Utf8ToAnsiPath(unicodeName);
    } else {
        L.SetEntryName(name, ZipUnixHost(c.VersionMadeBy));
        if (HasZipEscapes(L.FEntry.FileName)) L.FEntry.FileName = DecodeZipEscapes(L.FEntry.FileName);
    }
    L.FireReadFile();
    if (!L.Match()) return;
    const uint32_t ext = c.ExternalAttributes;
    bool dir = (ext & 0x10) || (!L.FEntry.FileName.empty() && L.FEntry.FileName.back() == '\\');
    L.FEntry.ExternalAttr = (ext & 0xFFFF) | (dir ? 0x10 : 0);
    L.FEntry.DateTime = L.ConvertDate(c.DosDateTime);
    L.FEntry.VersionMadeBy = c.VersionMadeBy;
    L.FEntry.VersionNeeded = c.VersionNeeded;
    L.FEntry.PackedSize = c.CompressedSize;
    L.FEntry.UnpackedSize = c.UncompressedSize;
    L.FEntry.CRC = c.Crc32;
    L.FEntry.Encrypted = flags & ZipFlagEncrypted;
    L.FEntry.MethodCode = c.Method;
    L.MethodName(L.FEntry.MethodCode, flags, L.FEntry.MethodText);
    L.FEntry.InternalAttr = c.InternalAttributes;
    int64_t offset = static_cast<int64_t>(c.LocalHeaderOffset) + FZipDelta;
    // a local header on this disk lies before the central directory
    if (c.DiskNumberStart == FZipThisDisk && (offset < 0 || offset + 30 > FZipCentralStart))
        return L.HeaderError();
    if (dir) {
        if (L.FShowBlankDirs) L.Report(offset, false);
        return;
    }
    L.Report(offset);
}

// A ZIP of no (listed) entry is reported, though not as a failure.
void TArcLister::TZipWalk::Finish() {
    if (L.FFileCount == 0 && !L.FErrorReported && !L.FCancel)
        L.DoError(L.FVolumeName, "", "0", arcerr::HeaderError);
}

std::unique_ptr<TListerWalk> NewZipWalk(TArcLister& lister) {
    return std::make_unique<TArcLister::TZipWalk>(lister);
}

} // namespace mv
