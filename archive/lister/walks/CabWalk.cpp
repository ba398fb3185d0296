// The lister's walk of cabinets: its start and its step.
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

void TArcLister::StartCab() {
    if (!OpenCabinet(true)) FStepSize = 0;
}

bool TArcLister::OpenCabinet(bool first) {
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
        if (!OpenCabinet(false)) return Stop();
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

} // namespace mv
