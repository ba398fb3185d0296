#include "archive/readers/UnZip.h"

#include "archive/codecs/ZipDecode.h"
#include "archive/framework/ArcTimer.h"
#include "archive/framework/Crc.h"
#include "archive/framework/DiskManager.h"
#include "archive/framework/SharedRoutines.h"
#include "archive/framework/ZipCrypt.h"
#include "archive/framework/ZipRecords.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace mv {

namespace {
constexpr uint16_t kFlagStrongEncryption = 0x0040;
} // namespace

// The volumes of an archive: one file, or a set split by size into numbered
// parts (name.z01, name.z02, ..., the last one name.zip). Volumes are opened
// when a read reaches them; the last one is the archive the operation opened.
class TZipVolumes {
public:
    TZipVolumes(TArcStream* last, std::string lastName, int lastDisk)
        : last(last), lastName(std::move(lastName)), lastDisk(lastDisk) {}
    int LastDisk() const { return lastDisk; }
    std::string Name(int disk) const {
        if (disk == lastDisk) return lastName;
        const size_t slash = lastName.find_last_of('/');
        const size_t dot = lastName.find_last_of('.');
        std::string base = (dot != std::string::npos && (slash == std::string::npos || dot > slash))
                               ? lastName.substr(0, dot)
                               : lastName;
        const bool upper = dot != std::string::npos && dot + 1 < lastName.size() && lastName[dot + 1] == 'Z';
        std::string number = std::to_string(disk + 1);
        if (number.size() < 2) number = "0" + number;
        return base + (upper ? ".Z" : ".z") + number;
    }
    // Spanned over removable disks: every disk holds a file of the archive's
    // name, and requestDisk brings disk N into the drive (false: cancelled).
    // The last disk is in the drive now.
    void SetRemovable(std::function<bool(int)> request) {
        requestDisk = std::move(request);
        openDisk = lastDisk;
    }
    bool Removable() const { return static_cast<bool>(requestDisk); }
    // The stream of a volume, or nullptr when it cannot be opened.
    TArcStream* Stream(int disk) {
        if (disk < 0 || disk > lastDisk) return nullptr;
        if (requestDisk) {
            if (disk == openDisk) return open ? open.get() : last;
            if (!requestDisk(disk)) return nullptr;
            open = TArcFileStream::OpenRead(lastName); // the same name on every disk
            openDisk = open ? disk : -1;
            return open.get();
        }
        if (disk == lastDisk) return last;
        if (disk != openDisk) {
            open = TArcFileStream::OpenRead(Name(disk));
            openDisk = open ? disk : -1;
        }
        return open.get();
    }
    // Reads count bytes at (disk, offset), going on into the following volumes.
    bool ReadAt(int disk, int64_t offset, uint8_t* buf, size_t count) {
        while (count) {
            TArcStream* s = Stream(disk);
            if (!s) return false;
            const int64_t size = s->Size();
            if (offset >= size) {
                if (disk >= lastDisk) return false;
                offset -= size;
                ++disk;
                continue;
            }
            if (!s->Seek(offset)) return false;
            const size_t k =
                static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(count), size - offset));
            if (s->Read(buf, static_cast<int64_t>(k)) != static_cast<int64_t>(k)) return false;
            buf += k;
            count -= k;
            offset += static_cast<int64_t>(k);
        }
        return true;
    }
    // Moves (disk, offset) on by count bytes across volume ends; false past the set.
    bool Advance(int& disk, int64_t& offset, int64_t count) {
        offset += count;
        for (;;) {
            TArcStream* s = Stream(disk);
            if (!s) return false;
            const int64_t size = s->Size();
            if (offset < size || disk == lastDisk) return offset <= size;
            offset -= size;
            ++disk;
        }
    }

private:
    TArcStream* last;
    std::string lastName;
    int lastDisk;
    std::unique_ptr<TArcStream> open;
    int openDisk = -1;
    std::function<bool(int)> requestDisk;
};

namespace {

struct TEndInfo {
    TZipEndRecord record;
    int64_t position = -1;
    bool zip64 = false;
};

// The end record of the central directory: searched backwards over the last
// 64 KiB + 22 bytes, preferring one whose comment reaches exactly to the end.
TEndInfo FindEndRecord(TArcStream& s) {
    TEndInfo found;
    const int64_t size = s.Size();
    if (size < static_cast<int64_t>(ZipEndRecordSize)) return found;
    const int64_t window = std::min<int64_t>(size, static_cast<int64_t>(ZipMaxEndWindow));
    std::vector<uint8_t> tail(static_cast<size_t>(window));
    if (!s.Seek(size - window) || s.Read(tail.data(), window) != window) return found;
    int64_t loose = -1;
    for (int64_t p = window - static_cast<int64_t>(ZipEndRecordSize); p >= 0; --p) {
        if (LE32(tail.data() + p) != ZipEndSignature) continue;
        const uint16_t commentLength = LE16(tail.data() + p + 20);
        if (p + static_cast<int64_t>(ZipEndRecordSize) + commentLength == window) {
            loose = p;
            break;
        }
        if (loose < 0) loose = p;
    }
    if (loose < 0) return found;
    const auto status =
        ReadZipEndRecord(tail.data() + loose, static_cast<size_t>(window - loose), found.record);
    if (status != TZipRecordStatus::zrOk && status != TZipRecordStatus::zrZip64) return found;
    found.position = size - window + loose;
    found.zip64 = status == TZipRecordStatus::zrZip64;
    if (loose >= static_cast<int64_t>(Zip64LocatorSize) &&
        LE32(tail.data() + loose - Zip64LocatorSize) == Zip64LocatorSignature)
        found.zip64 = true;
    return found;
}

std::string MemberName(const std::string& raw, uint16_t flags, uint16_t madeBy) {
    return (flags & ZipFlagUtf8) ? Utf8ToAnsiPath(raw) : HostNameToAnsiPath(raw, ZipUnixHost(madeBy));
}

} // namespace

TUnZIP::TUnZIP() {
    SetZipCmntBufSize(32000);
}

void TUnZIP::DetectArcType() {
    TUnBase::DetectArcType();
    if (FArcType != TArcType::atUnknown && FArcType != TArcType::atNA) return;
    auto s = TArcFileStream::OpenRead(FArchiveFile);
    if (!s) return;
    const TEndInfo end = FindEndRecord(*s);
    if (end.position < 0) return;
    if (end.record.ThisDisk > 0) {
        FArcType = TArcType::atZip;
        return;
    }
    // Bytes in front of the archive that are not a known stub: the directory
    // stands right before the end record, whatever offset the record names.
    uint8_t sig[4];
    const int64_t dir = end.position - static_cast<int64_t>(end.record.CentralSize);
    if (dir >= 0 && s->Seek(dir) && s->Read(sig, 4) == 4 && LE32(sig) == ZipCentralSignature)
        FArcType = TArcType::atZip;
}
TUnZIP::~TUnZIP() = default;

bool TUnZIP::Select(const TZipMember& m, bool& stop) {
    stop = false;
    if (m.Name.empty()) return false;
    if (!IsFileSpecMatch(m.Name, false)) return false;
    if (FSingleExact) stop = true;
    return true;
}

void TUnZIP::ExtractArchive(std::unique_ptr<TArcStream>& file, TArcStream* stream) {
    (void)stream;
    try {
        if (!file) RaiseError(FArchiveFile, "", "0", arcerr::OpenError);
        TEndInfo end = FindEndRecord(*file);
        std::unique_ptr<TArcStream> lastVolume;
        std::string lastName = FArchiveFile;
        TArcStream* lastStream = file.get();
        if (end.position < 0) {
            // The first part of a split set opened by itself: its end record is in name.zip.
            const size_t dot = FArchiveFile.find_last_of('.');
            if (dot != std::string::npos && dot + 2 < FArchiveFile.size() &&
                (FArchiveFile[dot + 1] == 'z' || FArchiveFile[dot + 1] == 'Z') &&
                IsAllDigits(FArchiveFile.substr(dot + 2))) {
                const std::string candidate =
                    FArchiveFile.substr(0, dot) + (FArchiveFile[dot + 1] == 'Z' ? ".ZIP" : ".zip");
                lastVolume = TArcFileStream::OpenRead(candidate);
                if (lastVolume) {
                    end = FindEndRecord(*lastVolume);
                    if (end.position >= 0) {
                        lastName = candidate;
                        lastStream = lastVolume.get();
                    }
                }
            }
        }
        // A set spanned over removable disks: the directory is on the last disk.
        TDiskManager archiveDrive;
        archiveDrive.SetDrive(
            platform::DirectoryOf(FArchiveFile).empty() ? "." : platform::DirectoryOf(FArchiveFile));
        const bool removable = archiveDrive.DriveType() == TDiskManager::dtRemovable;
        if (end.position < 0 && removable) {
            if (!OnGetZipLastDisk) {
                DoError(FArchiveFile, "OnGetZipLastDisk", "0", arcerr::EventNotAssigned);
                return;
            }
            while (end.position < 0) {
                bool cancel = true;
                FTimer->Pause();
                OnGetZipLastDisk(this, cancel);
                FTimer->Resume();
                if (cancel) return;
                lastVolume = TArcFileStream::OpenRead(FArchiveFile);
                if (!lastVolume) continue;
                lastStream = lastVolume.get();
                end = FindEndRecord(*lastStream);
            }
        }
        if (end.position >= 0 && end.zip64) RaiseError(FArchiveFile, "Zip64", "0", arcerr::TooLarge);

        FSingleExact = SingleExactSpec();
        FFileCount = 0;
        std::vector<TZipMember> members;
        TZipVolumes volumes(lastStream, lastName, end.position >= 0 ? end.record.ThisDisk : 0);
        if (removable && volumes.LastDisk() > 0)
            volumes.SetRemovable([this, &archiveDrive](int disk) { return RequestDisk(archiveDrive, disk); });
        bool central = false;
        if (end.position >= 0) central = CollectFromCentral(volumes, members);
        if (!central) {
            if (OnCorruptZipHeader) {
                bool cancel = true;
                OnCorruptZipHeader(this, FZipProbeFlags, cancel);
                if (cancel) return;
            } else {
                // No directory, or a damaged one: what the local headers give is
                // extracted, but the archive is not whole and the run says so.
                DoError(FArchiveFile, "", "0", end.position < 0 ? arcerr::ReadError : arcerr::HeaderError);
            }
            members.clear();
            CollectFromLocal(volumes, members);
        }

        FTotalPacked = FTotalUnpacked = 0;
        for (const auto& m : members) {
            FTotalPacked += m.PackedSize;
            FTotalUnpacked += m.UnpackedSize;
            FMaxFileDate = std::max(FMaxFileDate, m.DosDate);
        }
        FBytesLeft = FTotalPacked;
        for (const auto& m : members) {
            if (FCancel) break;
            if (!ExtractMember(volumes, m)) break;
        }
    } catch (const E_RAISE&) {
        // reported through OnError already: the operation ends quietly
    }
}

bool TUnZIP::CollectFromCentral(TZipVolumes& volumes, std::vector<TZipMember>& members) {
    // Find and read the directory: where the end record says, or shifted by the
    // bytes in front of the archive (self-extractor stubs, prefixes).
    TEndInfo end = FindEndRecord(*volumes.Stream(volumes.LastDisk()));
    if (end.position < 0) return false;
    const auto& e = end.record;
    const int64_t dirSize = e.CentralSize;
    int dirDisk = e.CentralDisk;
    int64_t dirOffset = e.CentralOffset;
    int64_t shift = 0;
    if (volumes.LastDisk() == 0) {
        if (end.position < dirSize) return false;
        const int64_t actual = end.position - dirSize;
        if (actual != dirOffset) {
            uint8_t sig[4];
            const bool atStated = volumes.ReadAt(0, dirOffset, sig, 4) && LE32(sig) == ZipCentralSignature;
            if (!atStated || dirSize == 0) {
                shift = actual - dirOffset;
                dirOffset = actual;
            }
        }
        dirDisk = 0;
    }
    // The directory must lie within the volumes: its size is never trusted for memory.
    int64_t available = -dirOffset;
    for (int d = dirDisk; d <= volumes.LastDisk(); ++d) {
        TArcStream* s = volumes.Stream(d);
        if (!s) return false;
        available += s->Size();
    }
    if (dirSize > available || dirOffset < 0) return false;
    std::vector<uint8_t> dir(static_cast<size_t>(dirSize));
    if (dirSize > 0 && !volumes.ReadAt(dirDisk, dirOffset, dir.data(), dir.size())) return false;
    size_t p = 0;
    while (p + ZipCentralRecordSize <= dir.size() && !FCancel) {
        TZipCentralRecord r;
        const auto status = ReadZipCentralRecord(dir.data() + p, dir.size() - p, r);
        if (status != TZipRecordStatus::zrOk && status != TZipRecordStatus::zrZip64) break;
        const size_t nameAt = p + ZipCentralRecordSize;
        const size_t next = nameAt + r.NameLength + r.ExtraLength + r.CommentLength;
        if (next > dir.size()) break;
        TZipMember m;
        m.RawName.assign(reinterpret_cast<const char*>(dir.data() + nameAt), r.NameLength);
        m.Name = MemberName(m.RawName, r.Flags, r.VersionMadeBy);
        std::string utf8;
        if (ZipUnicodePathExtra(dir.data() + nameAt + r.NameLength, r.ExtraLength, m.RawName, utf8))
            m.Name = Utf8ToAnsiPath(utf8);
        p = next;
        // Folders and volume labels have no data to extract.
        if ((r.ExternalAttributes & 0x18) || m.Name.empty() || m.Name.back() == '\\') {
            // A stored folder is made, empty or not; a volume label is not a folder.
            if (!(r.ExternalAttributes & 0x08) && !m.Name.empty()) ExtractFolderEntry(m.Name);
            continue;
        }
        if (status == TZipRecordStatus::zrZip64) {
            DoError(m.Name, "", "0", arcerr::TooLarge);
            continue;
        }
        m.Flags = r.Flags;
        m.Method = r.Method;
        m.DosDate = r.DosDateTime;
        m.Crc = r.Crc32;
        m.PackedSize = r.CompressedSize;
        m.UnpackedSize = r.UncompressedSize;
        // The high word holds a mode only where a Unix host wrote it.
        m.Attributes = ZipUnixHost(r.VersionMadeBy) ? r.ExternalAttributes : (r.ExternalAttributes & 0xFFFFu);
        // A symbolic link stored by a Unix host is never created: it is reported.
        if (FWriteMode == rwFile && ((m.Attributes >> 16) & 0170000) == 0120000) {
            SkipLinkMember(m.Name, "");
            continue;
        }
        ZipUnixTimeExtra(dir.data() + nameAt + r.NameLength, r.ExtraLength, m.UnixTime);
        m.Disk = volumes.LastDisk() == 0 ? 0 : r.DiskNumberStart;
        m.Offset = static_cast<int64_t>(r.LocalHeaderOffset) + shift;
        bool stop = false;
        if (!Select(m, stop)) continue;
        if ((FExtractDriveType == TDiskManager::dtRemovable || FExtractDriveType == TDiskManager::dtCdRom) &&
            (FWriteMode == rwFile || FWriteMode == rwCallStream || FWriteMode == rwMemoryStream)) {
            TDiskSpace space;
            if (FDiskManager->ReadFreeSpace(FExtractDir.empty() ? "." : FExtractDir, space) &&
                static_cast<uint64_t>(m.UnpackedSize) >= space.FreeBytes)
                RaiseError(m.Name, "", "0", arcerr::NotEnoughSpace);
        }
        members.push_back(std::move(m));
        if (stop) return true;
    }
    // Records that end before the directory does: the directory is damaged.
    if (p < dir.size() && !FCancel) DoError(FArchiveFile, "", "0", arcerr::HeaderError);
    return true;
}

void TUnZIP::CollectFromLocal(TZipVolumes& volumes, std::vector<TZipMember>& members) {
    TArcStream* s = volumes.Stream(0);
    if (!s) return;
    const int64_t size = s->Size();
    // Where the local headers begin: after a spanning marker, where detection
    // placed the archive, or at the first local signature of the first 64 KiB.
    int64_t pos = 0;
    uint8_t head[4];
    if (volumes.ReadAt(0, 0, head, 4) && LE32(head) == ZipSpanSignature) pos = 4;
    if (pos == 0) {
        if (FArchiveOffset > 1 && volumes.ReadAt(0, FArchiveOffset - 1, head, 4) &&
            LE32(head) == ZipLocalSignature)
            pos = FArchiveOffset - 1;
        else if (!(volumes.ReadAt(0, 0, head, 4) && LE32(head) == ZipLocalSignature)) {
            std::vector<uint8_t> block(static_cast<size_t>(std::min<int64_t>(size, 65536)));
            if (!volumes.ReadAt(0, 0, block.data(), block.size())) return;
            pos = -1;
            for (size_t i = 0; i + 4 <= block.size(); ++i)
                if (LE32(block.data() + i) == ZipLocalSignature) {
                    pos = static_cast<int64_t>(i);
                    break;
                }
            if (pos < 0) RaiseError(FArchiveFile, "", "0", arcerr::HeaderError);
        }
    }
    std::vector<uint8_t> buffer;
    while (pos + static_cast<int64_t>(ZipLocalHeaderSize) <= size && !FCancel) {
        uint8_t raw[ZipLocalHeaderSize];
        if (!volumes.ReadAt(0, pos, raw, sizeof raw)) break;
        TZipLocalHeader h;
        const auto status = ReadZipLocalHeader(raw, sizeof raw, h);
        if (status != TZipRecordStatus::zrOk && status != TZipRecordStatus::zrZip64) break;
        TZipMember m;
        m.RawName.resize(h.NameLength);
        if (!volumes.ReadAt(0, pos + 30, reinterpret_cast<uint8_t*>(m.RawName.data()), h.NameLength)) break;
        m.Name = MemberName(m.RawName, h.Flags, 0);
        m.Flags = h.Flags;
        m.Method = h.Method;
        m.DosDate = h.DosDateTime;
        m.Crc = h.Crc32;
        m.PackedSize = h.CompressedSize;
        m.UnpackedSize = h.UncompressedSize;
        m.Attributes = 32;
        m.Offset = pos;
        const int64_t data = pos + 30 + h.NameLength + h.ExtraLength;
        int64_t next = data + m.PackedSize;
        if ((h.Flags & ZipFlagDataDescriptor) && h.CompressedSize == 0) {
            // Sizes and CRC follow the data: find the descriptor whose compressed
            // size equals the distance from the data's start.
            bool found = false;
            const size_t block = 65536;
            for (int64_t at = data; at + 16 <= size && !found; at += block - 15) {
                buffer.resize(static_cast<size_t>(std::min<int64_t>(block, size - at)));
                if (!volumes.ReadAt(0, at, buffer.data(), buffer.size())) break;
                for (size_t i = 0; i + 16 <= buffer.size(); ++i) {
                    if (LE32(buffer.data() + i) != ZipSpanSignature) continue;
                    if (LE32(buffer.data() + i + 8) !=
                        static_cast<uint32_t>(at + static_cast<int64_t>(i) - data))
                        continue;
                    m.Crc = LE32(buffer.data() + i + 4);
                    m.PackedSize = LE32(buffer.data() + i + 8);
                    m.UnpackedSize = LE32(buffer.data() + i + 12);
                    next = at + static_cast<int64_t>(i) + 16;
                    found = true;
                    break;
                }
            }
            if (!found) {
                DoError(m.Name, "", "0", arcerr::LocalHeaderMismatch);
                break;
            }
        }
        if (next > size) {
            // The archive ends inside this member's data: it is tried and fails as short.
            bool stop = false;
            if (status == TZipRecordStatus::zrOk && !m.Name.empty() && m.Name.back() != '\\' && Select(m, stop))
                members.push_back(std::move(m));
            break;
        }
        if (next <= pos) break;
        pos = next;
        if (status == TZipRecordStatus::zrZip64) {
            DoError(m.Name, "", "0", arcerr::TooLarge);
            continue;
        }
        if (m.Name.empty() || m.Name.back() == '\\') continue;
        bool stop = false;
        if (!Select(m, stop)) continue;
        members.push_back(std::move(m));
        if (stop) break;
    }
}

bool TUnZIP::RequestDisk(TDiskManager& drive, int disk) {
    // The disk in the drive is disk N of the set when its label says N + 1.
    auto inDrive = [&] {
        drive.ReadDiskInfo();
        return drive.DiskNumber() - 1 == disk && platform::Exists(FArchiveFile);
    };
    if (inDrive()) return true;
    for (;;) {
        bool cancel = true;
        FTimer->Pause();
        if (disk == 0 && OnGetZipFirstDisk) {
            OnGetZipFirstDisk(this, cancel);
        } else if (disk > 0 && OnGetZipNextDisk) {
            OnGetZipNextDisk(this, FArchiveFile, cancel);
        } else {
            FTimer->Resume();
            DoError(FArchiveFile, disk == 0 ? "OnGetZipFirstDisk" : "OnGetZipNextDisk", "0",
                    arcerr::EventNotAssigned);
            return false;
        }
        FTimer->Resume();
        if (cancel) {
            FCancel = true;
            return false;
        }
        if (inDrive()) return true;
        if (drive.VolumeLabel().empty() && drive.Serial() == 0)
            DoError(FArchiveFile, "", std::to_string(disk + 1), arcerr::NoVolumeLabels);
    }
}

bool TUnZIP::TestPassword(const TZipMember& m, uint16_t localFlags, uint32_t localTime, uint32_t localCrc,
                          const uint8_t header[12], const std::string& password) {
    if (password.empty()) return false;
    if (ZipTestEncryptHeader(ZipKeys(), header, localFlags, password, localTime, localCrc)) return true;
    // Some writers check the CRC byte even with a data descriptor: accept that form too.
    if (localFlags & ZipFlagDataDescriptor)
        return ZipTestEncryptHeader(ZipKeys(), header, localFlags & ~ZipFlagDataDescriptor, password,
                                    localTime, m.Crc);
    return false;
}

int TUnZIP::AcceptPassword(const TZipMember& m, uint16_t localFlags, uint32_t localTime, uint32_t localCrc,
                           const uint8_t header[12]) {
    return FindPassword(m.Name, [&](const std::string& p) {
        return TestPassword(m, localFlags, localTime, localCrc, header, p);
    });
}

bool TUnZIP::ExtractMember(TZipVolumes& volumes, const TZipMember& m) {
    uint8_t raw[ZipLocalHeaderSize];
    TZipLocalHeader h;
    const bool readable = volumes.ReadAt(m.Disk, m.Offset, raw, sizeof raw);
    const auto status = readable ? ReadZipLocalHeader(raw, sizeof raw, h) : TZipRecordStatus::zrShort;
    if (status != TZipRecordStatus::zrOk && status != TZipRecordStatus::zrZip64) {
        DoError(m.Name, "", "0", arcerr::LocalHeaderMismatch);
        FBytesLeft -= m.PackedSize;
        return true;
    }
    // The local name must be the one the central directory selected.
    std::string localName(h.NameLength, '\0');
    if (!volumes.ReadAt(m.Disk, m.Offset + 30, reinterpret_cast<uint8_t*>(localName.data()), h.NameLength) ||
        localName != m.RawName) {
        DoError(m.Name, "", "0", arcerr::LocalHeaderMismatch);
        FBytesLeft -= m.PackedSize;
        return true;
    }
    std::string name;
    const TMemberDecision decision = BeginMember(m.Name, ConvertDate(m.DosDate), m.PackedSize, name);
    if (decision != TMemberDecision::mdExtract) return decision == TMemberDecision::mdSkip;
    const std::string reportName = ReportName(name);

    if (!IsZipMethodSupported(m.Method) || (m.Flags & kFlagStrongEncryption)) {
        RefuseMember(reportName, arcerr::UnknownMethod, m.PackedSize);
        return true;
    }

    int disk = m.Disk;
    int64_t dataOffset = m.Offset;
    if (!volumes.Advance(disk, dataOffset, 30 + h.NameLength + h.ExtraLength)) {
        DoError(reportName, "", "0", arcerr::LocalHeaderMismatch);
        return true;
    }
    TArcStream* in = volumes.Stream(disk);
    if (!in || !in->Seek(dataOffset))
        RaiseError(volumes.Name(disk), "", std::to_string(disk), arcerr::ReadError);
    FMemberBytesLeft = m.PackedSize;
    FMemberPackedTotal = m.PackedSize;
    TMemberInput input(*this, in, nullptr, false);
    input.NextVolume = [&]() -> TArcStream* {
        if (disk >= volumes.LastDisk()) return nullptr; // the set ends here: the member is short
        TArcStream* s = volumes.Stream(++disk);
        if (!s) RaiseError(volumes.Name(disk), "", std::to_string(disk), arcerr::FileNotFound);
        s->Seek(0);
        return s;
    };

    const bool encrypted = m.Flags & ZipFlagEncrypted;
    if (encrypted) {
        uint8_t header[ZipEncryptHeaderSize];
        const size_t got = input.ReadFull(header, sizeof header);
        const int accepted =
            got == sizeof header ? AcceptPassword(m, h.Flags, h.DosDateTime, h.Crc32, header) : 0;
        if (accepted != 1) {
            CloseMemberInput();
            if (accepted < 0) {
                if (OnEnd) OnEnd(this, reportName, false);
                return false;
            }
            return true;
        }
        input.SetDecrypt(true);
    }

    std::unique_ptr<TArcStream> out;
    if (!OpenMemberOutput(out, m.UnpackedSize)) {
        CloseMemberInput();
        return true;
    }
    bool decoded = DecodeZipMember(input, out, m.Method, m.Flags, m.UnpackedSize, reportName);
    if (FCancel) decoded = false;
    CloseMemberInput();
    const uint32_t crc = Crc32Register() ^ 0xFFFFFFFFu;
    const bool crcPass = decoded && crc == m.Crc;
    return EndMember(out, m.Attributes, m.DosDate, name, reportName, decoded, crcPass, m.UnixTime);
}

} // namespace mv
