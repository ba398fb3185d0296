// The header walk of each archive family: its start (archive header, first
// entry header, step record size) and its step (interpret the header just read,
// read its variable parts, report or skip the entry, move to the next header).
// Every size field is checked against the file before it moves the walk.
#include "archive/formats/lha/LhaHeader.h"
#include "archive/formats/tar/TarFormat.h"
#include "archive/framework/Bytes.h"
#include "archive/framework/Crc.h"
#include "archive/framework/DiskManager.h"
#include "archive/framework/SharedRoutines.h"
#include "archive/framework/TextUtils.h"
#include "archive/lister/ArcLister.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <cstring>

namespace mv {

namespace {

uint32_t StandardCrc32(const uint8_t* p, size_t n) {
    uint32_t reg = CrcSeed;
    UpdateCRC32(p, n, reg);
    return reg ^ 0xFFFFFFFFu;
}

// Sizes over this are no quantity of any of the listed formats and no file this
// system handles: they mark a hostile or broken header.
constexpr int64_t MaxEntrySize = int64_t(1) << 62;

// RAR 2.x/3.x Unicode names: the OEM name, a NUL, then the Unicode form packed
// against the OEM bytes (a high byte, then per character 2-bit opcodes).
std::string DecodeRarUnicodeName(const uint8_t* name, size_t size) {
    size_t oemLen = 0;
    while (oemLen < size && name[oemLen]) ++oemLen;
    if (oemLen + 1 >= size) return {};
    const uint8_t* enc = name + oemLen + 1;
    size_t encSize = size - oemLen - 1;
    size_t ep = 0;
    std::string out;
    if (encSize == 0) return {};
    uint8_t high = enc[ep++];
    uint8_t flags = 0;
    int flagBits = 0;
    size_t dp = 0; // characters produced (also the OEM index they pair with)
    while (ep < encSize && dp < 4096) {
        if (flagBits == 0) {
            flags = enc[ep++];
            flagBits = 8;
        }
        flagBits -= 2;
        switch ((flags >> flagBits) & 3) {
        case 0:
            if (ep >= encSize) return out;
            platform::AppendUtf8(out, enc[ep++]);
            ++dp;
            break;
        case 1:
            if (ep >= encSize) return out;
            platform::AppendUtf8(out, enc[ep++] + (static_cast<uint32_t>(high) << 8));
            ++dp;
            break;
        case 2:
            if (ep + 1 >= encSize) return out;
            platform::AppendUtf8(out, LE16(enc + ep));
            ep += 2;
            ++dp;
            break;
        case 3: {
            if (ep >= encSize) return out;
            uint8_t length = enc[ep++];
            if (length & 0x80) {
                if (ep >= encSize) return out;
                uint8_t correction = enc[ep++];
                for (int k = 0; k < (length & 0x7F) + 2 && dp < oemLen; ++k, ++dp)
                    platform::AppendUtf8(out, ((name[dp] + correction) & 0xFF) +
                                                  (static_cast<uint32_t>(high) << 8));
            } else {
                for (int k = 0; k < length + 2 && dp < oemLen; ++k, ++dp) platform::AppendUtf8(out, name[dp]);
            }
            break;
        }
        }
    }
    return out;
}

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

// Folder of a path with its "/" (empty when none).
std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

} // namespace

// ================================================================ ACE

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

// ================================================================ ARC / PAK

void TArcLister::StepArc() {
    std::vector<uint8_t>& rec = FStepBuffer;
    bool isArc = FArcType == TArcType::atArc || FArcType == TArcType::atArcExe;
    if (rec[0] != 0x1A) return HeaderError();
    uint8_t method = rec[1];
    if (method == 0) return Stop();
    if (isArc && method == 31) {
        // end of a directory: the marker is two bytes; the next header follows it
        FStepOffset = FHeaderStart + 2;
        if (FArcDirectory.size() > 1) {
            std::string d = FArcDirectory.substr(0, FArcDirectory.size() - 1);
            size_t bs = d.find_last_of('\\');
            FArcDirectory = bs == std::string::npos ? std::string() : d.substr(0, bs + 1);
        } else {
            FArcDirectory.clear();
        }
        return;
    }
    FArcHeaderMethod = method;
    int64_t packed = LE32(rec.data() + 15);
    uint32_t dos = (static_cast<uint32_t>(LE16(rec.data() + 19)) << 16) | LE16(rec.data() + 21);
    uint16_t crc = LE16(rec.data() + 23);
    int64_t unpacked = LE32(rec.data() + 25);
    if (method == 1) {
        // the oldest stored form has a 25-byte header without the original size
        FStepOffset = FHeaderStart + 25;
        unpacked = packed;
    }
    SetEntryName(ZeroTerminated(rec.data() + 2, 13));
    bool dirEntry = isArc && method == 30;
    if (dirEntry) {
        FArcDirectory += FEntry.FileName + "\\";
        FEntry.FileName.clear();
        packed = unpacked = 0;
    }
    if (isArc) FEntry.FileName = FArcDirectory + FEntry.FileName;
    FireReadFile();
    bool report = (dirEntry && FShowBlankDirs) || (!dirEntry && Match());
    if (report) {
        FEntry.DateTime = ConvertDate(dos);
        FEntry.VersionMadeBy = FEntry.VersionNeeded = 0;
        FEntry.PackedSize = packed;
        FEntry.UnpackedSize = unpacked;
        FEntry.CRC = crc;
        FEntry.Encrypted = false;
        FEntry.MethodCode = method;
        MethodName(method, 0, FEntry.MethodText);
        FEntry.InternalAttr = FEntry.ExternalAttr = dirEntry ? 16 : 32;
        Report(FHeaderStart);
    }
    FStepOffset += packed;
}

// ================================================================ ARJ

// Reads the header at pos (id, size, basic header, its CRC, extended headers);
// `next` is where the data of the entry (or the next header) begins.
bool TArcLister::ReadArjHeader(int64_t pos, std::vector<uint8_t>& basic, int64_t& next) {
    uint8_t h[4];
    if (!ReadExactAt(pos, h, 4)) return false;
    uint16_t size = LE16(h + 2);
    if (LE16(h) != 0xEA60 || size == 0 || size > 2600) return false;
    basic.resize(size);
    uint8_t crc[4];
    if (!ReadExactAt(pos + 4, basic.data(), size) || !ReadExactAt(pos + 4 + size, crc, 4)) return false;
    if (StandardCrc32(basic.data(), size) != LE32(crc)) return false;
    int64_t p = pos + 4 + size + 4;
    // extended headers: a size, the header and its CRC, until a size of 0
    for (int guard = 0; guard < 1000; ++guard) {
        uint8_t e[2];
        if (!ReadExactAt(p, e, 2)) return false;
        uint16_t ext = LE16(e);
        p += 2;
        if (ext == 0) {
            next = p;
            return true;
        }
        p += ext + 4;
        if (p > FEndOffset) return false;
    }
    return false;
}

void TArcLister::StartArj() {
    FWalk = Walk::Arj;
    std::vector<uint8_t> basic;
    int64_t next = 0;
    if (!ReadArjHeader(FHeaderPos - 1, basic, next) || basic.size() < 11)
        RaiseError(FArchiveFile, "", "0", arcerr::HeaderError);
    FMultiVolume = basic[4] & 0x04;
    FStepSize = 4;
    FHeaderPos = next + 1;
}

void TArcLister::StepArj() {
    if (LE16(FStepBuffer.data()) != 0xEA60) return HeaderError();
    if (LE16(FStepBuffer.data() + 2) == 0) return Stop(); // end of the archive
    std::vector<uint8_t> basic;
    int64_t next = 0;
    if (!ReadArjHeader(FHeaderStart, basic, next)) {
        if (FHeaderStart + 4 + LE16(FStepBuffer.data() + 2) + 4 > FEndOffset) return TruncatedError();
        return HeaderError();
    }
    if (basic.size() < 30) return HeaderError();
    uint8_t firstSize = basic[0];
    if (firstSize < 26 || firstSize >= basic.size()) return HeaderError();
    uint8_t flags = basic[4];
    uint8_t method = basic[5];
    uint8_t fileType = basic[6];
    int64_t packed = LE32(basic.data() + 12);
    int64_t unpacked = LE32(basic.data() + 16);
    uint32_t crc = LE32(basic.data() + 20);
    uint16_t access = LE16(basic.data() + 26);
    uint8_t vMade = basic[1], vNeed = basic[2];
    uint32_t ftime = LE32(basic.data() + 8);
    std::string name = ZeroTerminated(basic.data() + firstSize, basic.size() - firstSize);
    FStepOffset = next + packed;
    FAccPacked = packed;
    FAccUnpacked = unpacked;
    int64_t reportOffset = FHeaderStart;
    if (flags & 0x04) {
        // the entry goes on in the following volumes
        for (int guard = 0; guard < 1000 && (flags & 0x04); ++guard) {
            std::string volume = FVolumeName;
            if (!OnNextVolume) {
                FCancel = true;
                return Stop();
            }
            std::string vname = GetNextVolumeName(FArchiveFile, FVolumeNumber);
            if (!RequestVolume(vname, std::to_string(FVolumeNumber))) {
                FCancel = true;
                return Stop();
            }
            if (!OpenVolume(vname)) RaiseError(vname, "", std::to_string(FVolumeNumber), arcerr::OpenError);
            std::vector<uint8_t> mainHeader;
            int64_t first = 0;
            if (!ReadArjHeader(0, mainHeader, first)) return HeaderError();
            std::vector<uint8_t> part;
            int64_t data = 0;
            if (!ReadArjHeader(first, part, data) || part.size() < 30) return HeaderError();
            flags = part[4];
            FAccPacked += LE32(part.data() + 12);
            FAccUnpacked += LE32(part.data() + 16);
            crc = LE32(part.data() + 20);
            FStepOffset = data + LE32(part.data() + 12);
            FHeaderPos = first + 1;
        }
    } else if (FMultiVolume && (flags & 0x08)) {
        return; // begins in a previous volume: reported there
    }
    FArjFileType = fileType;
    SetEntryName(name);
    FireReadFile();
    bool report = (fileType == 3 && FShowBlankDirs) || Match();
    if (!report) return;
    FEntry.DateTime = ConvertDate(ftime);
    FEntry.VersionMadeBy = vMade;
    FEntry.VersionNeeded = vNeed;
    FEntry.PackedSize = FAccPacked;
    FEntry.UnpackedSize = FAccUnpacked;
    FEntry.CRC = crc;
    FEntry.Encrypted = flags & 0x01;
    FEntry.MethodCode = method;
    MethodName(method, 0, FEntry.MethodText);
    FEntry.InternalAttr = access;
    FEntry.ExternalAttr = access;
    Report(reportOffset);
}

// ================================================================ BH

void TArcLister::StepBh() {
    const uint8_t* r = FStepBuffer.data();
    if (LE32(r) != 0x07054842 || LE16(r + 4) == 0) return Stop();
    uint8_t nameLen = r[33];
    uint8_t name[256];
    if (!ReadExactAt(FStepOffset, name, nameLen)) return TruncatedError();
    FStepOffset += nameLen;
    int64_t packed = LE32(r + 15);
    SetEntryName(FixedName(name, nameLen));
    FireReadFile();
    if (Match()) {
        FEntry.DateTime = ConvertDate(LE32(r + 11));
        FEntry.VersionMadeBy = r[7];
        FEntry.VersionNeeded = r[8];
        FEntry.PackedSize = packed;
        FEntry.UnpackedSize = LE32(r + 19);
        FEntry.CRC = LE32(r + 23);
        FEntry.Encrypted = r[9] & 1;
        FEntry.MethodCode = r[10];
        MethodName(r[10], r[9], FEntry.MethodText);
        FEntry.InternalAttr = LE16(r + 27);
        FEntry.ExternalAttr = LE16(r + 27);
        Report(FHeaderStart);
    }
    FStepOffset += packed;
}

// ================================================================ CAB

bool TArcLister::StartCab(bool first) {
    uint8_t h[36];
    if (!ReadExactAt(first ? FHeaderPos - 1 : 0, h, 36) || std::memcmp(h, "MSCF", 4) != 0) {
        DoError(FVolumeName, FCabNextDisk, "0", arcerr::HeaderError);
        FErrorReported = true;
        return false;
    }
    int64_t base = first ? FHeaderPos - 1 : 0;
    int64_t pos = base + 36;
    uint16_t flags = LE16(h + 30);
    uint8_t folderReserve = 0;
    if (flags & 4) {
        uint8_t r[4];
        if (!ReadExactAt(pos, r, 4)) return TruncatedError(), false;
        folderReserve = r[2];
        pos += 4 + LE16(r);
    }
    auto readName = [&](std::string& s) {
        uint8_t buf[256];
        int64_t n = ReadAt(pos, buf, 256);
        if (n <= 0) return false;
        size_t k = 0;
        while (k < static_cast<size_t>(n) && buf[k]) ++k;
        if (k == static_cast<size_t>(n)) return false;
        s.assign(reinterpret_cast<const char*>(buf), k);
        pos += static_cast<int64_t>(k) + 1;
        return true;
    };
    std::string prev, prevDisk;
    FCabNext.clear();
    FCabNextDisk = "0";
    if ((flags & 1) && (!readName(prev) || !readName(prevDisk))) return TruncatedError(), false;
    if ((flags & 2) && (!readName(FCabNext) || !readName(FCabNextDisk))) return TruncatedError(), false;
    uint16_t folders = LE16(h + 26);
    FCabFolderTypes.clear();
    for (int i = 0; i < folders; ++i) {
        uint8_t fr[8];
        if (!ReadExactAt(pos, fr, 8)) return TruncatedError(), false;
        FCabFolderTypes.push_back(LE16(fr + 6));
        if (i == 0) {
            uint8_t probe[8];
            int64_t dataOffset = base + LE32(fr);
            if (!ReadExactAt(dataOffset, probe, 8)) {
                DoError(FVolumeName, "", "0", arcerr::ReadError);
                FErrorReported = true;
                return false;
            }
        }
        pos += 8 + folderReserve;
    }
    // the cabinet says how long it is
    if (base + static_cast<int64_t>(LE32(h + 8)) > FEndOffset) return TruncatedError(), false;
    FCabVersionMinor = h[24];
    FCabVersionMajor = h[25];
    FCabFilesLeft = LE16(h + 28);
    FStepSize = 16;
    FHeaderPos = base + LE32(h + 16) + 1;
    return true;
}

void TArcLister::StepCab() {
    if (FCabFilesLeft <= 0) {
        // this cabinet is done: go on with the next one of the set
        if (FCabNext.empty()) return Stop();
        std::string next = FolderOf(FArchiveFile) + FCabNext;
        if (!platform::Exists(next)) {
            // cabinets name each other as on a system that ignores case
            auto found = platform::ListMatching(
                platform::DirectoryOf(next).empty() ? "." : platform::DirectoryOf(next),
                platform::NameOf(next));
            if (found.size() == 1) next = FolderOf(FArchiveFile) + found[0].Name;
        }
        FVisitedCabinets.insert(FVolumeName);
        for (const auto& v : FVisitedCabinets)
            if (EqualNoCase(v, next)) return Stop(); // a set that names itself or loops
        if (!RequestVolume(next, FCabNextDisk)) {
            FCancel = true;
            return Stop();
        }
        std::string disk = FCabNextDisk;
        if (!OpenVolume(next)) {
            OpenVolume(FArchiveFile);
            RaiseError(next, "", "0", arcerr::ReadError);
        }
        if (!StartCab(false)) return Stop();
        FStepOffset = FHeaderPos - 1;
        return;
    }
    const uint8_t* r = FStepBuffer.data();
    uint8_t buf[257];
    int64_t n = ReadAt(FStepOffset, buf, 256);
    size_t k = 0;
    while (k < static_cast<size_t>(std::max<int64_t>(n, 0)) && buf[k]) ++k;
    if (n <= 0 || k == static_cast<size_t>(n)) return TruncatedError();
    FStepOffset += static_cast<int64_t>(k) + 1;
    --FCabFilesLeft;
    std::string raw(reinterpret_cast<const char*>(buf), k);
    uint16_t attribs = LE16(r + 14);
    if (attribs & 0x80) {
        // the name is UTF-8
        FEntry.FileName = raw;
        std::replace(FEntry.FileName.begin(), FEntry.FileName.end(), '/', '\\');
    } else {
        SetEntryName(raw);
    }
    FireReadFile();
    uint16_t folder = LE16(r + 8);
    // 0xFFFD continues from the previous cabinet and 0xFFFF goes over it from the
    // previous to the next: both were listed in an earlier cabinet
    if (folder == 0xFFFD || folder == 0xFFFF) return;
    if (!Match()) return;
    uint16_t type = 0;
    if (!FCabFolderTypes.empty()) {
        size_t index = folder == 0xFFFE ? FCabFolderTypes.size() - 1 : folder;
        type = FCabFolderTypes[std::min(index, FCabFolderTypes.size() - 1)];
    }
    FEntry.DateTime = ConvertDate((static_cast<uint32_t>(LE16(r + 10)) << 16) | LE16(r + 12));
    FEntry.VersionMadeBy = FCabVersionMinor;
    FEntry.VersionNeeded = FCabVersionMajor;
    FEntry.PackedSize = FEntry.UnpackedSize = LE32(r);
    FEntry.CRC = 0;
    FEntry.Encrypted = false;
    FEntry.MethodCode = type;
    MethodName(type, 0, FEntry.MethodText);
    FEntry.InternalAttr = attribs;
    FEntry.ExternalAttr = attribs;
    Report(FHeaderStart);
}

// ================================================================ GZip and compress

void TArcLister::StepGZip() {
    const uint8_t* r = FStepBuffer.data();
    uint16_t magic = LE16(r);
    if (magic != 0x1E1F && magic != 0x8B1F && magic != 0x9D1F && magic != 0x9E1F && magic != 0xA01F)
        return HeaderError();
    FGZipMagic = magic;
    bool gzip = magic == 0x8B1F || magic == 0x9E1F;
    uint8_t method = r[2];
    uint8_t flags = r[3];
    int64_t pos = FHeaderStart + 10;
    FEntry.CRC = 0;
    FEntry.Encrypted = false;
    if (gzip) {
        if (flags & 0x04) {
            uint8_t x[2];
            if (!ReadExactAt(pos, x, 2)) return TruncatedError();
            pos += 2 + LE16(x);
        }
        FEntry.DateTime = UnixTimeToDateTime(LE32(r + 4));
    } else if (magic == 0x9D1F) {
        platform::FileInfo info;
        FEntry.DateTime =
            platform::Fs().Stat(FArchiveFile, info) ? UnixTimeToDateTime(info.ModTime) : DateTime1980;
    } else {
        FEntry.DateTime = UnixTimeToDateTime(LE32(r + 4));
    }
    std::string name;
    if (gzip && (flags & 0x08)) {
        uint8_t buf[256];
        int64_t n = ReadAt(pos, buf, 256);
        if (n <= 0) return TruncatedError();
        size_t k = 0;
        while (k < static_cast<size_t>(n) && buf[k]) ++k;
        name.assign(reinterpret_cast<const char*>(buf), k);
        // a longer stored name is cut at 255 bytes; the header goes on after its NUL
        if (k == static_cast<size_t>(n)) {
            int64_t p = pos + n;
            uint8_t c = 1;
            while (c && p < FEndOffset && ReadExactAt(p, &c, 1)) ++p;
            pos = p;
        } else {
            pos += static_cast<int64_t>(k) + 1;
        }
    } else {
        std::string file = platform::NameOf(FArchiveFile);
        size_t dot = file.find_last_of('.');
        name = dot == std::string::npos ? file : file.substr(0, dot);
    }
    if (gzip && (flags & 0x10)) { // comment
        uint8_t c = 1;
        while (c && pos < FEndOffset && ReadExactAt(pos, &c, 1)) ++pos;
    }
    if (gzip && (flags & 0x02)) pos += 2; // header CRC
    if (gzip) {
        if (pos + 8 > FEndOffset) return TruncatedError();
        uint8_t t[8];
        if (!ReadExactAt(FEndOffset - 8, t, 8)) return TruncatedError();
        int64_t trailerStart = FEndOffset - 8;
        if (LE32(t) == 0x00008B1F && FEndOffset >= 12) {
            // a member that carries its name in a trailer after the data
            uint8_t l[4];
            if (!ReadExactAt(FEndOffset - 12, l, 4)) return TruncatedError();
            int64_t len = LE32(l);
            if (len < 8 || FEndOffset - len - 16 < pos) return HeaderError();
            uint8_t nb[256];
            uint8_t nameLen = static_cast<uint8_t>(len & 0xFF);
            if (!ReadExactAt(FEndOffset - len - 8, nb, nameLen)) return TruncatedError();
            name = FixedName(nb, nameLen);
            trailerStart = FEndOffset - len - 16;
            if (!ReadExactAt(trailerStart, t, 8)) return TruncatedError();
        }
        FEntry.CRC = LE32(t);
        FEntry.UnpackedSize = LE32(t + 4);
        FEntry.PackedSize = trailerStart - pos;
        FEntry.Encrypted = flags & 0x20;
    } else {
        FEntry.PackedSize = FEntry.UnpackedSize = FEndOffset - 10;
    }
    SetEntryName(name);
    ++FFileCount;
    FireReadFile();
    if (OnRead) {
        platform::FileInfo info;
        uint32_t attr = platform::Fs().Stat(FArchiveFile, info) ? info.Attributes : 0;
        FEntry.ExternalAttr = (attr == 0 || attr == 63 || attr == 128) ? 0 : attr;
        FEntry.MethodCode = method;
        MethodName(method, flags, FEntry.MethodText);
        FTotalPacked += FEntry.PackedSize;
        FTotalUnpacked += FEntry.UnpackedSize;
        Report(FHeaderStart, false);
    }
    // one entry per file
    FStepOffset = FEndOffset;
    Stop();
}

// ================================================================ HA

void TArcLister::StepHa() {
    if (FHaCount <= 0) return Stop();
    const uint8_t* r = FStepBuffer.data();
    uint8_t vm = r[1];
    int64_t packed = LE32(r + 2);
    int64_t unpacked = LE32(r + 6);
    uint32_t crc = LE32(r + 10);
    uint32_t time = LE32(r + 14);
    uint8_t buf[512];
    int64_t n = ReadAt(FStepOffset, buf, sizeof buf);
    if (n <= 0) return TruncatedError();
    size_t p = 0;
    auto cstr = [&](std::string& s) {
        size_t k = p;
        while (k < static_cast<size_t>(n) && buf[k]) ++k;
        if (k >= static_cast<size_t>(n)) return false;
        s.assign(reinterpret_cast<const char*>(buf + p), k - p);
        p = k + 1;
        return true;
    };
    std::string path, name;
    if (!cstr(path) || !cstr(name) || p >= static_cast<size_t>(n)) return TruncatedError();
    uint8_t machineLen = buf[p];
    // the next window starts one byte before the next header
    FStepOffset += static_cast<int64_t>(p) + 1 + machineLen + packed - 1;
    if (--FHaCount == 0) {
        // the last entry: its data must end with the file
        if (FStepOffset + 1 > FEndOffset) return TruncatedError();
        FStepOffset = FEndOffset;
    }
    for (char& c : path)
        if (static_cast<unsigned char>(c) == 0xFF) c = '/';
    SetEntryName(path + name);
    FireReadFile();
    uint8_t method = vm & 0x0F;
    if (!Match()) return;
    FEntry.DateTime = UnixTimeToDateTime(time);
    FEntry.VersionMadeBy = FEntry.VersionNeeded = vm >> 4;
    FEntry.PackedSize = packed;
    FEntry.UnpackedSize = unpacked;
    FEntry.CRC = crc;
    FEntry.Encrypted = false;
    FEntry.MethodCode = method;
    MethodName(method, 0, FEntry.MethodText);
    FEntry.InternalAttr = FEntry.ExternalAttr = 32;
    Report(FHeaderStart + 1);
}

// ================================================================ LHA / LZH

void TArcLister::StartLha() {
    FWalk = Walk::Lha;
    FStepSize = 22;
    uint8_t first = 0;
    if (ReadExactAt(FHeaderPos - 1, &first, 1) && first == 0 && FHeaderPos - 1 + 128 < FEndOffset)
        FHeaderPos += 128;
}

void TArcLister::StepLha() {
    TLhaHeader h;
    const auto readAt = [this](int64_t pos, uint8_t* buffer, int64_t n) { return ReadAt(pos, buffer, n); };
    switch (ReadLhaHeader(readAt, FHeaderStart, FEndOffset, h)) {
    case TLhaHeaderStatus::lhsOk:
        break;
    case TLhaHeaderStatus::lhsEnd:
        return Stop(); // end of the archive
    case TLhaHeaderStatus::lhsUnsupportedLevel:
        if (!FErrorReported) {
            FErrorReported = true;
            DoError(FVolumeName, "", "0", arcerr::VersionNotSupported);
        }
        return Stop();
    case TLhaHeaderStatus::lhsBad:
        return HeaderError();
    }
    if (h.Method[0] != '-' || h.Method[4] != '-' || !h.SumOk) return HeaderError();
    FStepOffset = h.Next;
    SetEntryName(h.RawName);
    FireReadFile();
    if (!Match()) return;
    FEntry.DateTime = h.Level >= 2 ? UnixTimeToDateTime(h.UnixTime) : ConvertDate(h.DosDateTime);
    FEntry.VersionMadeBy = FEntry.VersionNeeded = 0;
    FEntry.PackedSize = std::min(h.PackedSize, h.UnpackedSize);
    FEntry.UnpackedSize = h.UnpackedSize;
    FEntry.CRC = h.Crc;
    FEntry.Encrypted = false;
    const uint8_t method = static_cast<uint8_t>(h.Method[3]);
    FEntry.MethodCode = method;
    MethodName(method, 0, FEntry.MethodText);
    FEntry.InternalAttr = 32;
    FEntry.ExternalAttr = h.Attribute;
    Report(FHeaderStart);
}

// ================================================================ MsGZ (InstallShield)

void TArcLister::StartMsGZ() {
    FWalk = Walk::MsGZ;
    FStepSize = 29;
    uint8_t h[255];
    if (!ReadExactAt(FHeaderPos - 1, h, 255)) return TruncatedError();
    // the directory table (offset at 41, count at 49) and the file table after it
    int64_t dirOffset = LE32(h + 41);
    uint16_t dirCount = LE16(h + 49);
    if (dirOffset <= 0 || dirOffset >= FEndOffset) return TruncatedError();
    int64_t pos = dirOffset;
    for (int i = 0; i < dirCount; ++i) {
        // file count (2), record length (2), name length (2), name, padding
        uint8_t r[6];
        if (!ReadExactAt(pos, r, 6)) return TruncatedError();
        uint16_t len = LE16(r + 2), nameLen = LE16(r + 4);
        if (len < 6 || nameLen > len - 6) return HeaderError();
        std::string name(nameLen, '\0');
        if (!ReadExactAt(pos + 6, name.data(), nameLen)) return TruncatedError();
        FMsGZDirs.push_back(name);
        pos += len;
    }
    // each file record begins with a byte the walk does not use: the step record
    // starts one byte into it
    FHeaderPos = pos + 2;
}

void TArcLister::StepMsGZ() {
    const uint8_t* r = FStepBuffer.data();
    uint16_t dirIndex = LE16(r);
    int64_t unpacked = LE32(r + 2);
    int64_t packed = LE32(r + 6);
    int64_t offset = LE32(r + 10);
    uint32_t dos = LE32(r + 14);
    uint32_t attr = LE32(r + 18);
    int64_t recordLength = LE16(r + 22);
    uint8_t nameLen = r[28];
    if (recordLength < 30 + nameLen) return HeaderError();
    uint8_t name[256];
    if (!ReadExactAt(FStepOffset, name, nameLen)) return TruncatedError();
    std::string n = FixedName(name, nameLen);
    // a directory index outside the table leaves the name without a folder
    if (dirIndex < FMsGZDirs.size() && !FMsGZDirs[dirIndex].empty()) n = FMsGZDirs[dirIndex] + "\\" + n;
    SetEntryName(n);
    // the next window, one byte into the next record (the last record ends the file)
    FStepOffset = FHeaderStart + recordLength;
    if (FStepOffset == FEndOffset + 1) FStepOffset = FEndOffset;
    FireReadFile();
    if (!Match()) return;
    FEntry.UnpackedSize = unpacked;
    FEntry.PackedSize = packed;
    FEntry.CRC = 0;
    FEntry.Encrypted = false;
    FEntry.MethodText.clear();
    FEntry.MethodCode = 0;
    FEntry.ExternalAttr = attr;
    FEntry.InternalAttr = static_cast<uint16_t>(attr);
    // date first, then time
    FEntry.DateTime = ConvertDate((dos << 16) | (dos >> 16));
    Report(offset);
}

// ================================================================ RAR 1.5 to 4

void TArcLister::StartRar() {
    uint8_t sig[8];
    int64_t start = FHeaderPos - 1;
    if (!ReadExactAt(start, sig, 8)) RaiseError(FArchiveFile, "", "0", arcerr::ReadError);
    if (std::memcmp(sig, "Rar!\x1A\x07\x01\x00", 8) == 0) {
        FWalk = Walk::Rar5;
        FStepSize = 7;
        FHeaderPos = start + 8 + 1;
        return;
    }
    FWalk = Walk::Rar;
    uint8_t m[13];
    if (!ReadExactAt(start + 7, m, 13)) RaiseError(FArchiveFile, "", "0", arcerr::ReadError);
    if (m[2] != 0x73) RaiseError(FArchiveFile, "", "0", arcerr::HeaderError);
    FRarMainFlags = LE16(m + 3);
    uint16_t size = LE16(m + 5);
    if (size < 13) RaiseError(FArchiveFile, "", "0", arcerr::HeaderError);
    // headers after the main header are encrypted: nothing can be listed without the password
    if (FRarMainFlags & 0x80) RaiseError(FArchiveFile, "", "0", arcerr::PasswordProtected);
    FStepSize = 32;
    FHeaderPos = start + 7 + size + 1;
}

// The next volume of a RAR set: ".partN.rar" names when the archive numbers its
// volumes that way, else the extension sequence .r00, .r01, ...
bool TArcLister::RarNextVolume() {
    if (!OnNextVolume) return false;
    std::string name;
    std::string cur = FVolumeName;
    size_t part = cur.rfind(".part");
    // RAR 5 sets always name their volumes that way; older sets say so in a flag
    if ((FWalk == Walk::Rar5 || (FRarMainFlags & 0x10)) && part != std::string::npos) {
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
        uint8_t sig[8];
        if (!ReadExactAt(0, sig, 8) || std::memcmp(sig, "Rar!\x1A\x07\x01\x00", 8) != 0)
            RaiseError(name, "", std::to_string(FVolumeNumber), arcerr::HeaderError);
        FStepOffset = 8;
        FHeaderPos = 9;
        return true;
    }
    uint8_t m[13];
    if (!ReadExactAt(7, m, 13)) RaiseError(name, "", std::to_string(FVolumeNumber), arcerr::ReadError);
    uint16_t size = LE16(m + 5);
    if (m[2] != 0x73 || size < 13) RaiseError(name, "", std::to_string(FVolumeNumber), arcerr::HeaderError);
    FStepOffset = 7 + size;
    FHeaderPos = FStepOffset + 1;
    return true;
}

void TArcLister::StepRar() {
    const uint8_t* r = FStepBuffer.data();
    uint8_t type = r[2];
    uint16_t flags = LE16(r + 3);
    uint16_t size = LE16(r + 5);
    if (size < 7) return HeaderError();
    if (type == 0x7B) return Stop(); // end of the archive
    if (FHeaderStart + size > FEndOffset) return TruncatedError();
    std::vector<uint8_t> h(size);
    if (!ReadExactAt(FHeaderStart, h.data(), size)) return TruncatedError();
    // a file header of version 2.0 on keeps the low word of the CRC-32 of the
    // header after the CRC field
    if (type == 0x74 && size >= 32 && h[24] >= 20 && !(flags & 0x08)) {
        uint32_t crc = StandardCrc32(h.data() + 2, size - 2u);
        if ((crc & 0xFFFF) != LE16(r)) return HeaderError();
    }
    int64_t add = (flags & 0x8000) && size >= 11 ? LE32(h.data() + 7) : 0;
    if (type != 0x74) {
        // comments, service blocks, recovery records: stepped over by their sizes
        FStepOffset = FHeaderStart + size + add;
        return;
    }
    if (size < 32) return HeaderError();
    int64_t packed = LE32(h.data() + 7);
    int64_t unpacked = LE32(h.data() + 11);
    size_t nameAt = 32;
    if (flags & 0x100) {
        if (size < 40) return HeaderError();
        packed |= static_cast<int64_t>(LE32(h.data() + 32)) << 32;
        unpacked |= static_cast<int64_t>(LE32(h.data() + 36)) << 32;
        nameAt = 40;
    }
    if (packed > MaxEntrySize || unpacked > MaxEntrySize) return HeaderError();
    uint16_t nameSize = LE16(h.data() + 26);
    if (nameAt + nameSize > size) return HeaderError();
    const uint8_t* nm = h.data() + nameAt;
    if (flags & 0x200) {
        // a Unicode name follows the OEM name
        std::string u = DecodeRarUnicodeName(nm, nameSize);
        size_t oemLen = 0;
        while (oemLen < nameSize && nm[oemLen]) ++oemLen;
        if (u.empty()) {
            std::string raw(reinterpret_cast<const char*>(nm), oemLen);
            if (IsValidUtf8(raw))
                u = raw;
            else
                u = platform::OemToUtf8(raw);
        }
        std::replace(u.begin(), u.end(), '/', '\\');
        FEntry.FileName = u;
    } else {
        SetEntryName(std::string(reinterpret_cast<const char*>(nm), nameSize));
    }
    FStepOffset = FHeaderStart + size + packed;
    FAccUnpacked = unpacked;
    if (flags & 0x01)
        FAccPacked += packed;
    else
        FAccPacked = packed;
    uint8_t host = h[15];
    uint32_t fileCrc = LE32(h.data() + 16);
    uint32_t ftime = LE32(h.data() + 20);
    uint8_t version = h[24];
    uint8_t method = h[25];
    uint32_t attr = LE32(h.data() + 28);
    std::string name = FEntry.FileName;
    if (flags & 0x02) {
        // goes on in the next volume: the last part reports the entry
        if (!RarNextVolume()) {
            FCancel = true;
            return Stop();
        }
        return;
    }
    FireReadFile();
    bool dir = (flags & 0xE0) == 0xE0 || (host != 3 && (attr & 0x10));
    if (!(dir && FShowBlankDirs) && !Match()) return;
    FEntry.DateTime = ConvertDate(ftime);
    FEntry.VersionMadeBy = version;
    FEntry.VersionNeeded = 0;
    FEntry.CRC = fileCrc;
    FEntry.Encrypted = flags & 0x04;
    FEntry.ExternalAttr = dir ? (attr | 0x10) : attr;
    FEntry.MethodCode = method;
    MethodName(method, 0, FEntry.MethodText);
    FEntry.InternalAttr = 0;
    FEntry.PackedSize = FAccPacked;
    FEntry.UnpackedSize = FAccUnpacked;
    Report(FHeaderStart);
}

// ================================================================ RAR 5

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

// ================================================================ TAR

void TArcLister::StepTar() {
    const uint8_t* h = FStepBuffer.data();
    if (TarIsZeroBlock(h)) return Stop(); // end blocks
    int64_t stored = 0;
    if (!TarChecksumMatches(h, &stored)) return HeaderError();
    TTarHeader header = ReadTarHeader(h);
    if (!header.SizeValid || header.Size > MaxEntrySize) return HeaderError();
    const int64_t dataStart = FStepOffset;
    if (TarIsMetaRecord(header.Type)) {
        const int64_t dataEnd = dataStart + header.PaddedSize();
        if (dataEnd > FEndOffset) return TruncatedError();
        FStepOffset = dataEnd;
        if (header.Type == TarTypeLongName || header.Type == TarTypeLongLink || header.Type == TarTypePax) {
            if (header.Size > TarMaxRecord) return HeaderError();
            std::string data(static_cast<size_t>(header.Size), '\0');
            if (!ReadExactAt(dataStart, data.data(), header.Size)) return HeaderError();
            FTarPending->Take(header.Type, data);
        }
        return;
    }
    FTarPending->Apply(header);
    std::string name = header.Name;
    std::replace(name.begin(), name.end(), '/', '\\');
    name = TrimBlanks(name);
    if (name.empty()) return Stop();
    if (IsValidUtf8(name))
        FEntry.FileName = name;
    else
        SetEntryName(name);
    FStepOffset = dataStart + header.PaddedSize();
    FireReadFile();
    if (!IsFileSpecMatch(FEntry.FileName, !FShowBlankDirs)) return;
    if (!TarIsFileMember(header.Type)) return;
    FEntry.DateTime = header.MTime > 0 ? UnixTimeToDateTime(header.MTime) : DateTime1980;
    FEntry.PackedSize = FEntry.UnpackedSize = header.Size;
    FEntry.CRC = static_cast<uint32_t>(stored);
    FEntry.Encrypted = false;
    FEntry.MethodCode = 0;
    MethodName(0, 0, FEntry.MethodText);
    FEntry.InternalAttr = 0;
    FEntry.ExternalAttr = 0;
    FEntry.VersionMadeBy = FEntry.VersionNeeded = 0;
    Report(FHeaderStart);
}

// ================================================================ UUE

void TArcLister::ListUue() {
    FWalk = Walk::None;
    FStepSize = 0;
    int64_t n = std::min<int64_t>(FArchiveSize, 32768);
    std::vector<uint8_t> buf(static_cast<size_t>(n));
    if (ReadAt(0, buf.data(), n) != n) return TruncatedError();
    std::string text(buf.begin(), buf.end());
    size_t at = std::string::npos;
    for (size_t pos = 0; pos + 6 <= text.size(); ++pos) {
        if ((pos == 0 || text[pos - 1] == '\n') && text.compare(pos, 6, "begin ") == 0) {
            at = pos;
            break;
        }
    }
    if (at == std::string::npos) {
        DoError(FVolumeName, "", "0", arcerr::NoBeginLine); // no begin line
        FErrorReported = true;
        return;
    }
    // "begin MODE NAME": the name is the rest of the line, cut at its first blank
    size_t modeStart = at + 6;
    while (modeStart < text.size() && text[modeStart] == ' ') ++modeStart;
    size_t blank = text.find(' ', modeStart);
    size_t eol = text.find_first_of("\r\n", modeStart);
    if (blank == std::string::npos || (eol != std::string::npos && blank > eol)) {
        DoError(FVolumeName, "", "0", arcerr::HeaderError);
        FErrorReported = true;
        return;
    }
    size_t nameStart = blank + 1;
    size_t nameEnd = eol == std::string::npos ? text.size() : eol;
    std::string name = text.substr(nameStart, std::min<size_t>(nameEnd - nameStart, 255));
    size_t cut = name.find(' ');
    if (cut != std::string::npos) name.resize(cut);
    FEntry.FileName = name;
    FireReadFile();
    if (FListMode != 0 && FListMode != 2) return;
    platform::FileInfo info;
    FEntry.DateTime =
        platform::Fs().Stat(FArchiveFile, info) ? UnixTimeToDateTime(info.ModTime) : DateTime1980;
    FEntry.VersionMadeBy = FEntry.VersionNeeded = 0;
    FEntry.PackedSize = FEntry.UnpackedSize = FArchiveSize;
    FEntry.CRC = 0;
    FEntry.Encrypted = false;
    FEntry.MethodText.clear();
    FEntry.MethodCode = 0;
    FEntry.InternalAttr = FEntry.ExternalAttr = 32;
    Report(0);
}

// ================================================================ ZIP

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

void TArcLister::StartZip() {
    FWalk = Walk::Zip;
    FHeadFlag = FZipProbeFlags;
    if (FArcType == TArcType::atZipMV) {
        // a set spanned over removable disks: its directory is on the last disk
        SetDiskDrive();
        if (FDiskManager->DriveType() != TDiskManager::dtRemovable) {
            FStepSize = 0;
            return;
        }
        if (OnGetZipLastDisk) {
            for (int guard = 0; !(FZipProbeFlags & 1) && guard < 100; ++guard) {
                bool cancel = true;
                OnGetZipLastDisk(this, cancel);
                if (cancel) {
                    FCancel = true;
                    FStepSize = 0;
                    return;
                }
                DetectArcType();
            }
            if (!ReopenNextDisk(FArchiveStream)) {
                FStepSize = 0;
                return;
            }
            FEndOffset = FArchiveSize;
            ResetWindow();
        }
        FHeadFlag = FZipProbeFlags;
    } else if (OnCorruptZipHeader && (FHeadFlag & 0x19) != 0x19) {
        bool cancel = true;
        OnCorruptZipHeader(this, FHeadFlag, cancel);
        if (cancel) {
            FCancel = true;
            FStepSize = 0;
            return;
        }
    }
    FEndOffset = FArchiveSize;
    FZipDelta = 0;
    FZipCentralEnd = FEndOffset;
    // Find the end record from the back of the file: it places the central
    // directory, and, by where that directory really lies, any bytes in front
    // of the archive that its offsets do not count.
    int64_t tail = std::min<int64_t>(FEndOffset, 22 + 65535);
    std::vector<uint8_t> t(static_cast<size_t>(tail));
    int64_t eocd = -1;
    if (tail >= 22 && ReadExactAt(FEndOffset - tail, t.data(), tail)) {
        for (int64_t i = tail - 22; i >= 0; --i) {
            const uint8_t* e = t.data() + i;
            if (e[0] == 'P' && e[1] == 'K' && e[2] == 5 && e[3] == 6 && i + 22 + LE16(e + 20) <= tail) {
                eocd = FEndOffset - tail + i;
                break;
            }
        }
    }
    if (eocd >= 0) {
        const uint8_t* e = t.data() + (eocd - (FEndOffset - tail));
        int64_t cdSize = LE32(e + 12);
        int64_t cdOffset = LE32(e + 16);
        // the walk needs no entry count (more than 65535 entries leave it at 0xFFFF);
        // a directory that only Zip64 records can place is refused
        if (LE32(e + 12) == 0xFFFFFFFFu || LE32(e + 16) == 0xFFFFFFFFu)
            RaiseError(FArchiveFile, "Zip64", "0", arcerr::TooLarge);
        // the central directory ends at the end record, or at the Zip64 end record
        // that a locator in front of it names
        int64_t cdEnd = eocd;
        uint8_t loc[20];
        if (eocd >= 20 + 56 && ReadExactAt(eocd - 20, loc, 20) && LE32(loc) == 0x07064B50u) {
            int64_t z = static_cast<int64_t>(std::min<uint64_t>(LE64(loc + 8), uint64_t(MaxEntrySize)));
            uint8_t zs[4];
            if (z < eocd - 20 && ReadExactAt(z, zs, 4) && LE32(zs) == 0x06064B50u)
                cdEnd = z;
            else
                cdEnd = eocd - 20 - 56;
        }
        // a set spanned over removable disks whose directory starts on an earlier
        // disk than the last: it is gathered from its disks and walked in memory
        if (FArcType == TArcType::atZipMV && LE16(e + 6) < LE16(e + 4)) {
            std::vector<uint8_t> end(e, e + 22);
            if (GatherSpannedDirectory(LE16(e + 6), LE16(e + 4), cdOffset, cdSize, cdEnd, end)) {
                FHeadFlag |= 8;
                FStepSize = 46;
                FHeaderPos = 1;
            } else {
                FStepSize = 0;
            }
            return;
        }
        int64_t cdStart = cdEnd - cdSize;
        uint8_t sig[4] = {};
        if (cdStart >= 0 && (cdSize == 0 || (ReadExactAt(cdStart, sig, 4) && LE32(sig) == 0x02014B50))) {
            FZipDelta = cdStart - cdOffset;
            FZipCentralStart = cdStart;
            FZipThisDisk = LE16(e + 4);
            FZipCentralEnd = cdEnd;
            // the whole central directory is read in one block (up to 64 MiB)
            int64_t block = std::min<int64_t>(cdSize + 64, int64_t(64) << 20);
            if (block > static_cast<int64_t>(FWindow.size())) {
                FWindow.assign(static_cast<size_t>(block), 0);
                ResetWindow();
            }
            FHeadFlag |= 8;
            FStepSize = 46;
            FHeaderPos = cdStart + 1;
            return;
        }
    }
    if (!(FHeadFlag & 8)) FHeadFlag = 16;
    if (FHeadFlag == 16) {
        // the first local header at or just after where detection placed the data
        // (its offset is 0- or 1-based by the probe that found it)
        int64_t from = std::max<int64_t>(FArchiveOffset - 1, 0);
        std::vector<uint8_t> w(
            static_cast<size_t>(std::min<int64_t>(65536, std::max<int64_t>(FEndOffset - from, 0))));
        int64_t n = w.empty() ? 0 : ReadAt(from, w.data(), static_cast<int64_t>(w.size()));
        for (int64_t i = 0; i + 4 <= n; ++i) {
            if (w[i] == 'P' && w[i + 1] == 'K' && w[i + 2] == 3 && w[i + 3] == 4) {
                FStepSize = 30;
                FHeaderPos = from + i + 1;
                return;
            }
        }
        DoError(FVolumeName, "", "0", arcerr::HeaderError);
        FErrorReported = true;
        FStepSize = 0;
        return;
    }
    DoError(FVolumeName, "", "0", arcerr::HeaderError);
    FErrorReported = true;
    FStepSize = 0;
}

// The directory of a spanned set from the disk it starts on to the last disk,
// which is in the drive: its part on the last disk is read first, then the
// disks from the first one of the directory on are asked for in turn
// (OnGetZipNextDisk with the disk's number). The directory and the end record
// then stand in memory in place of the archive; the offsets of the entries'
// local headers keep referring to their own disks.
bool TArcLister::GatherSpannedDirectory(uint16_t firstDisk, uint16_t lastDisk, int64_t cdOffset,
                                        int64_t cdSize, int64_t cdEndOnLast,
                                        const std::vector<uint8_t>& endRecord) {
    constexpr int64_t MaxDirectory = int64_t(64) << 20;
    if (cdSize > MaxDirectory || cdEndOnLast > cdSize) {
        HeaderError();
        return false;
    }
    std::vector<uint8_t> tail(static_cast<size_t>(cdEndOnLast));
    if (!tail.empty() && !ReadExactAt(0, tail.data(), cdEndOnLast)) {
        TruncatedError();
        return false;
    }
    std::vector<uint8_t> dir;
    dir.reserve(static_cast<size_t>(cdSize + 22));
    const int64_t earlier = cdSize - cdEndOnLast;
    for (uint32_t disk = firstDisk; disk < lastDisk && static_cast<int64_t>(dir.size()) < earlier; ++disk) {
        // disk numbers in the records count from 0, on the labels from 1
        const int32_t wanted = static_cast<int32_t>(disk) + 1;
        for (int guard = 0; FDiskManager->DiskNumber() != wanted; ++guard) {
            if (!OnGetZipNextDisk || guard >= 100) {
                DoError(FArchiveFile, "", std::to_string(wanted), arcerr::HeaderError);
                FErrorReported = true;
                return false;
            }
            bool cancel = true;
            OnGetZipNextDisk(this, std::to_string(wanted), cancel);
            if (cancel) {
                FCancel = true;
                return false;
            }
            FDiskManager->ReadDiskInfo();
        }
        if (!ReopenNextDisk(FArchiveStream)) return false;
        ResetWindow();
        const int64_t from = disk == firstDisk ? cdOffset : 0;
        const int64_t count =
            std::min<int64_t>(FArchiveSize - from, earlier - static_cast<int64_t>(dir.size()));
        if (from > FArchiveSize || count < 0) {
            TruncatedError();
            return false;
        }
        const size_t at = dir.size();
        dir.resize(at + static_cast<size_t>(count));
        if (count > 0 && !ReadExactAt(from, dir.data() + at, count)) {
            TruncatedError();
            return false;
        }
    }
    if (static_cast<int64_t>(dir.size()) != earlier) {
        TruncatedError();
        return false;
    }
    dir.insert(dir.end(), tail.begin(), tail.end());
    dir.insert(dir.end(), endRecord.begin(), endRecord.end());
    if (dir.size() < 4 || LE32(dir.data()) != 0x02014B50u) {
        HeaderError();
        return false;
    }
    CloseArchive(FArchiveStream);
    FArchiveStream = std::make_unique<TMemoryStream>(std::move(dir));
    FArchiveSize = FEndOffset = FArchiveStream->Size();
    FZipCentralStart = 0;
    FZipCentralEnd = cdSize;
    FZipDelta = 0;
    // no local header lies in memory: the check of their offsets is left out
    FZipThisDisk = 0xFFFF;
    FWindow.assign(static_cast<size_t>(std::min<int64_t>(FArchiveSize, int64_t(1) << 20)), 0);
    ResetWindow();
    return true;
}

void TArcLister::StepZip() {
    const uint8_t* r = FStepBuffer.data();
    uint32_t sig = LE32(r);
    bool central = FStepSize == 46;
    if (sig != (central ? 0x02014B50u : 0x04034B50u)) {
        bool end = central ? FHeaderStart >= FZipCentralEnd
                           : (sig == 0x02014B50u || sig == 0x06054B50u || sig == 0x06064B50u);
        if (!end) return HeaderError();
        // a local walk is taken when no end record was found: the archive ends short
        if (!central) return TruncatedError();
        return Stop();
    }
    if (!central) {
        uint16_t flags = LE16(r + 6);
        uint16_t method = LE16(r + 8);
        uint32_t dos = (static_cast<uint32_t>(LE16(r + 12)) << 16) | LE16(r + 10);
        uint32_t crc = LE32(r + 14);
        int64_t packed = LE32(r + 18);
        int64_t unpacked = LE32(r + 22);
        uint16_t nameLen = LE16(r + 26), extraLen = LE16(r + 28);
        if (LE32(r + 18) == 0xFFFFFFFFu || LE32(r + 22) == 0xFFFFFFFFu)
            RaiseError(FArchiveFile, "Zip64", "0", arcerr::TooLarge);
        std::string name(nameLen, '\0');
        if (!ReadExactAt(FStepOffset, name.data(), nameLen)) return TruncatedError();
        int64_t dataStart = FStepOffset + nameLen + extraLen;
        if ((flags & 8) && packed == 0) {
            // sizes follow the data in a descriptor: find the descriptor whose
            // packed size equals its distance from the data
            int64_t p = dataStart;
            bool found = false;
            std::vector<uint8_t> chunk(65536 + 16);
            while (p < FEndOffset && !found && !FCancel) {
                int64_t n = ReadAt(p, chunk.data(), static_cast<int64_t>(chunk.size()));
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
            if (!found) return TruncatedError();
            FStepOffset = dataStart + packed + 16;
        } else {
            FStepOffset = dataStart + packed;
        }
        if (flags & 0x800) {
            std::replace(name.begin(), name.end(), '/', '\\');
            FEntry.FileName = name;
        } else {
            SetEntryName(name);
        }
        FireReadFile();
        if (!Match()) return;
        FEntry.DateTime = ConvertDate(dos);
        FEntry.VersionMadeBy = FEntry.VersionNeeded = LE16(r + 4);
        FEntry.PackedSize = packed;
        FEntry.UnpackedSize = unpacked;
        FEntry.CRC = crc;
        FEntry.Encrypted = flags & 1;
        FEntry.InternalAttr = 0;
        FEntry.ExternalAttr = 0;
        FEntry.MethodCode = method;
        MethodName(method, flags, FEntry.MethodText);
        Report(FHeaderStart);
        return;
    }
    uint16_t flags = LE16(r + 8);
    uint16_t nameLen = LE16(r + 28), extraLen = LE16(r + 30), commentLen = LE16(r + 32);
    int64_t varEnd = FStepOffset + nameLen + extraLen + commentLen;
    if (varEnd > FZipCentralEnd && varEnd > FEndOffset) return TruncatedError();
    std::string name(nameLen, '\0');
    if (!ReadExactAt(FStepOffset, name.data(), nameLen)) return TruncatedError();
    if (commentLen) {
        FEntryComment.assign(commentLen, '\0');
        if (!ReadExactAt(FStepOffset + nameLen + extraLen, FEntryComment.data(), commentLen))
            return TruncatedError();
    }
    FStepOffset = varEnd;
    if (LE32(r + 20) == 0xFFFFFFFFu || LE32(r + 24) == 0xFFFFFFFFu || LE32(r + 42) == 0xFFFFFFFFu)
        RaiseError(FArchiveFile, "Zip64", "0", arcerr::TooLarge);
    if (flags & 0x800) {
        std::replace(name.begin(), name.end(), '/', '\\');
        FEntry.FileName = std::move(name);
    } else {
        SetEntryName(name);
        if (HasZipEscapes(FEntry.FileName)) FEntry.FileName = DecodeZipEscapes(FEntry.FileName);
    }
    FireReadFile();
    if (!Match()) return;
    uint32_t ext = LE32(r + 38);
    bool dir = (ext & 0x10) || (!FEntry.FileName.empty() && FEntry.FileName.back() == '\\');
    FEntry.ExternalAttr = (ext & 0xFFFF) | (dir ? 0x10 : 0);
    FEntry.DateTime = ConvertDate((static_cast<uint32_t>(LE16(r + 14)) << 16) | LE16(r + 12));
    FEntry.VersionMadeBy = LE16(r + 4);
    FEntry.VersionNeeded = LE16(r + 6);
    FEntry.PackedSize = LE32(r + 20);
    FEntry.UnpackedSize = LE32(r + 24);
    FEntry.CRC = LE32(r + 16);
    FEntry.Encrypted = flags & 1;
    FEntry.MethodCode = LE16(r + 10);
    MethodName(FEntry.MethodCode, flags, FEntry.MethodText);
    FEntry.InternalAttr = LE16(r + 36);
    int64_t offset = static_cast<int64_t>(LE32(r + 42)) + FZipDelta;
    // a local header on this disk lies before the central directory
    if (LE16(r + 34) == FZipThisDisk && (offset < 0 || offset + 30 > FZipCentralStart)) return HeaderError();
    if (dir) {
        if (FShowBlankDirs) Report(offset, false);
        return;
    }
    Report(offset);
}

// ================================================================ ZOO

void TArcLister::StepZoo() {
    const uint8_t* r = FStepBuffer.data();
    if (FHeaderStart == 0) {
        // the archive header: its start offset and the check that is its negation
        uint32_t start = LE32(r + 24), minus = LE32(r + 28);
        if (LE32(r + 20) != 0xFDC4A7DCu || static_cast<uint32_t>(start + minus) != 0) return HeaderError();
        uint16_t commentLen = LE16(r + 39);
        int64_t commentPos = LE32(r + 35);
        if (commentLen && commentPos > 0 && commentPos + commentLen <= FEndOffset) {
            FArchiveComment.assign(commentLen, '\0');
            ReadExactAt(commentPos, FArchiveComment.data(), commentLen);
        }
        if (start < 34 || start >= FEndOffset) return HeaderError();
        FStepOffset = start;
        return;
    }
    if (LE32(r) != 0xFDC4A7DCu) return HeaderError();
    uint8_t type = r[4];
    uint8_t method = r[5];
    int64_t next = LE32(r + 6);
    if (next == 0) return Stop(); // the end entry carries no file
    if (next <= FHeaderStart) return HeaderError();
    FStepOffset = next;
    if (r[30]) return; // deleted entry
    uint16_t commentLen = LE16(r + 36);
    int64_t commentPos = LE32(r + 32);
    if (commentLen && commentPos > 0 && commentPos + commentLen <= FEndOffset) {
        FEntryComment.assign(commentLen, '\0');
        ReadExactAt(commentPos, FEntryComment.data(), commentLen);
    }
    std::string shortName = ZeroTerminated(r + 38, 13);
    std::string longName, dir;
    if (type == 2) {
        uint8_t lens[2];
        if (!ReadExactAt(FHeaderStart + 56, lens, 2)) return TruncatedError();
        uint8_t nameLen = lens[0], dirLen = lens[1];
        std::vector<uint8_t> v(nameLen + dirLen);
        if (!v.empty() && !ReadExactAt(FHeaderStart + 58, v.data(), static_cast<int64_t>(v.size())))
            return TruncatedError();
        longName = ZeroTerminated(v.data(), nameLen);
        dir = ZeroTerminated(v.data() + nameLen, dirLen);
    }
    std::string name;
    if (!dir.empty()) {
        std::replace(dir.begin(), dir.end(), '/', '\\');
        name = dir + "\\";
    }
    name += longName.empty() ? shortName : longName;
    SetEntryName(name);
    FireReadFile();
    if (!Match()) return;
    FEntry.DateTime = ConvertDate((static_cast<uint32_t>(LE16(r + 14)) << 16) | LE16(r + 16));
    FEntry.VersionMadeBy = r[28];
    FEntry.VersionNeeded = r[29];
    FEntry.PackedSize = LE32(r + 24);
    FEntry.UnpackedSize = LE32(r + 20);
    FEntry.CRC = LE16(r + 18);
    FEntry.Encrypted = false;
    FEntry.MethodCode = method;
    MethodName(method, 0, FEntry.MethodText);
    FEntry.InternalAttr = 0;
    FEntry.ExternalAttr = 0;
    Report(FHeaderStart);
}

} // namespace mv
