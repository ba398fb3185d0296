// The lister's walk of ARJ archives: its start and its step.
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

// CRC-32 arithmetic over GF(2): the 32x32 bit matrix `mat` times the vector.
uint32_t MatrixTimes(const uint32_t* mat, uint32_t vec) {
    uint32_t sum = 0;
    for (; vec; vec >>= 1, ++mat)
        if (vec & 1) sum ^= *mat;
    return sum;
}

void MatrixSquare(uint32_t* square, const uint32_t* mat) {
    for (int n = 0; n < 32; ++n) square[n] = MatrixTimes(mat, mat[n]);
}

// The CRC-32 of two pieces one after the other from the CRC-32 of each and the
// length of the second: the first CRC is carried through length2 zero bytes by
// squaring the one-bit operator, then the second is added.
uint32_t Crc32Combine(uint32_t crc1, uint32_t crc2, int64_t length2) {
    if (length2 <= 0) return crc1;
    uint32_t even[32], odd[32];
    odd[0] = 0xEDB88320u; // the operator for one zero bit
    uint32_t row = 1;
    for (int n = 1; n < 32; ++n, row <<= 1) odd[n] = row;
    MatrixSquare(even, odd); // two zero bits
    MatrixSquare(odd, even); // four zero bits
    do {
        MatrixSquare(even, odd); // the first pass: one zero byte
        if (length2 & 1) crc1 = MatrixTimes(even, crc1);
        length2 >>= 1;
        if (!length2) break;
        MatrixSquare(odd, even);
        if (length2 & 1) crc1 = MatrixTimes(odd, crc1);
        length2 >>= 1;
    } while (length2);
    return crc1 ^ crc2;
}

} // namespace

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
    // A Unix host stores Unix seconds and its own (UTF-8) names.
    const bool unixHost = basic[3] == 2;
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
            // each part carries the CRC of its own piece: the whole file's follows from them
            crc = Crc32Combine(crc, LE32(part.data() + 20), LE32(part.data() + 16));
            FStepOffset = data + LE32(part.data() + 12);
            FHeaderPos = first + 1;
        }
    } else if (FMultiVolume && (flags & 0x08)) {
        return; // begins in a previous volume: reported there
    }
    FArjFileType = fileType;
    SetEntryName(name, unixHost);
    FireReadFile();
    bool report = (fileType == 3 && FShowBlankDirs) || Match();
    if (!report) return;
    FEntry.DateTime = unixHost ? UnixTimeToDateTime(int64_t(ftime)) : ConvertDate(ftime);
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

} // namespace mv
