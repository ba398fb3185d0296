// The lister's walk of RAR archives (1.5 to 4, and the start of every RAR): its start and its step.
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

} // namespace

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

} // namespace mv
