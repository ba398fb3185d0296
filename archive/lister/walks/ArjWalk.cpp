// The lister's walk of ARJ archives: its start and its step.
#include "archive/formats/arj/ArjFormat.h"
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

class TArcLister::TArjWalk final : public TListerWalk {
public:
    using TListerWalk::TListerWalk;
    void Start() override;
    void Step() override;
    TWalkTrailer Trailer() const override { return TWalkTrailer::Zeros; }
    TWalkClosing Closing() const override { return TWalkClosing::EndRecord; }

private:
    // Reads the header at pos; false on any failure (the caller tells a damaged
    // header from an archive cut short).
    bool ReadAt(int64_t pos, TArjHeader& header);

    int64_t FAccPacked = 0, FAccUnpacked = 0; // parts of an entry over several volumes
    bool FMultiVolume = false;                // the main header's flag
};

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

// Reads the header at pos; false on any failure (the caller tells a damaged
// header from an archive cut short).
bool TArcLister::TArjWalk::ReadAt(int64_t pos, TArjHeader& h) {
    const auto readAt = [this](int64_t at, uint8_t* buffer, int64_t n) { return L.ReadAt(at, buffer, n); };
    return ReadArjHeader(readAt, pos, L.FEndOffset, h) == TArjHeaderStatus::ahOk;
}

void TArcLister::TArjWalk::Start() {
    TArjHeader main;
    if (!ReadAt(L.FHeaderPos - 1, main) || main.Size() < ArjMinMainSize)
        L.RaiseError(L.FArchiveFile, "", "0", arcerr::HeaderError);
    FMultiVolume = main.Flags() & ArjFlagVolume;
    L.FStepSize = ArjFrameSize;
    L.FHeaderPos = main.DataPos + 1;
}

void TArcLister::TArjWalk::Step() {
    if (LE16(L.FStepBuffer.data()) != ArjHeaderId) return L.HeaderError();
    if (LE16(L.FStepBuffer.data() + 2) == 0) return L.Stop(); // end of the archive
    TArjHeader h;
    if (!ReadAt(L.FHeaderStart, h)) {
        if (L.FHeaderStart + 4 + LE16(L.FStepBuffer.data() + 2) + 4 > L.FEndOffset) return L.TruncatedError();
        return L.HeaderError();
    }
    if (h.Size() < ArjMinLocalSize) return L.HeaderError();
    if (h.FirstSize() < 26 || h.FirstSize() >= h.Size()) return L.HeaderError();
    uint8_t flags = h.Flags();
    const uint8_t fileType = h.FileType();
    const int64_t packed = h.Packed();
    uint32_t crc = h.Crc();
    // A Unix host stores Unix seconds and its own (UTF-8) names.
    const bool unixHost = h.Host() == ArjHostUnix;
    L.FStepOffset = h.DataPos + packed;
    FAccPacked = packed;
    FAccUnpacked = h.Unpacked();
    int64_t reportOffset = L.FHeaderStart;
    if (flags & ArjFlagVolume) {
        // the entry goes on in the following volumes
        for (int guard = 0; guard < 1000 && (flags & ArjFlagVolume); ++guard) {
            std::string volume = L.FVolumeName;
            if (!L.OnNextVolume) {
                L.FCancel = true;
                return L.Stop();
            }
            std::string vname = L.GetNextVolumeName(L.FArchiveFile, L.FVolumeNumber);
            if (!L.RequestVolume(vname, std::to_string(L.FVolumeNumber))) {
                L.FCancel = true;
                return L.Stop();
            }
            if (!L.OpenVolume(vname))
                L.RaiseError(vname, "", std::to_string(L.FVolumeNumber), arcerr::OpenError);
            TArjHeader mainHeader;
            if (!ReadAt(0, mainHeader)) return L.HeaderError();
            const int64_t first = mainHeader.DataPos;
            TArjHeader part;
            if (!ReadAt(first, part) || part.Size() < ArjMinLocalSize) return L.HeaderError();
            flags = part.Flags();
            FAccPacked += part.Packed();
            FAccUnpacked += part.Unpacked();
            // each part carries the CRC of its own piece: the whole file's follows from them
            crc = Crc32Combine(crc, part.Crc(), part.Unpacked());
            L.FStepOffset = part.DataPos + part.Packed();
            L.FHeaderPos = first + 1;
        }
    } else if (FMultiVolume && (flags & ArjFlagExtFile)) {
        return; // begins in a previous volume: reported there
    }
    L.FArjFileType = fileType;
    L.SetEntryName(h.Name(), unixHost);
    L.FireReadFile();
    bool report = (fileType == ArjTypeFolder && L.FShowBlankDirs) || L.Match();
    if (!report) return;
    L.FEntry.DateTime = unixHost ? UnixTimeToDateTime(int64_t(h.DateTime())) : L.ConvertDate(h.DateTime());
    L.FEntry.VersionMadeBy = h.ArjVersion();
    L.FEntry.VersionNeeded = h.MinVersion();
    L.FEntry.PackedSize = FAccPacked;
    L.FEntry.UnpackedSize = FAccUnpacked;
    L.FEntry.CRC = crc;
    L.FEntry.Encrypted = flags & ArjFlagGarbled;
    L.FEntry.MethodCode = h.Method();
    L.MethodName(h.Method(), 0, L.FEntry.MethodText);
    L.FEntry.InternalAttr = h.Mode();
    L.FEntry.ExternalAttr = h.Mode();
    L.Report(reportOffset);
}

std::unique_ptr<TListerWalk> NewArjWalk(TArcLister& lister) {
    return std::make_unique<TArcLister::TArjWalk>(lister);
}

} // namespace mv
