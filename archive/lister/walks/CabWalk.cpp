// The lister's walk of cabinets: its start and its step.
#include "archive/formats/cab/CabFormat.h"
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
    uint8_t fixed[cab::kHeaderSize];
    cab::TCabHeader h;
    if (!ReadExactAt(first ? FHeaderPos - 1 : 0, fixed, sizeof fixed) || !cab::ReadCabFixedHeader(fixed, h)) {
        DoError(FVolumeName, FCabNextDisk, "0", arcerr::HeaderError);
        FErrorReported = true;
        return false;
    }
    int64_t base = first ? FHeaderPos - 1 : 0;
    // The reserve sizes, the cabinet names and the folder records: as many bytes
    // as the longest of them can take.
    const size_t longest = cab::kHeaderSize + 4 + 0xFFFF + 4 * (cab::kMaxNameSize + 1) +
                           size_t(h.folderCount) * (cab::kFolderSize + 0xFF);
    std::vector<uint8_t> prelude(size_t(std::clamp<int64_t>(FEndOffset - base, 0, int64_t(longest))));
    const int64_t got = ReadAt(base, prelude.data(), int64_t(prelude.size()));
    size_t at = 0;
    if (got < int64_t(cab::kHeaderSize) || !cab::ReadCabPrelude(prelude.data(), size_t(got), h, at))
        return TruncatedError(), false;
    FCabNext = h.nextCabinet;
    FCabNextDisk = (h.flags & cab::kFlagNextCabinet) ? h.nextDisk : "0";
    FCabFolderTypes.clear();
    for (const cab::TCabFolderRecord& folder : h.folders) FCabFolderTypes.push_back(folder.compression);
    if (!h.folders.empty()) {
        uint8_t probe[8];
        if (!ReadExactAt(base + h.folders[0].dataOffset, probe, sizeof probe)) {
            DoError(FVolumeName, "", "0", arcerr::ReadError);
            FErrorReported = true;
            return false;
        }
    }
    // the cabinet says how long it is
    if (base + static_cast<int64_t>(h.cabinetSize) > FEndOffset) return TruncatedError(), false;
    FCabVersionMinor = h.versionMinor;
    FCabVersionMajor = h.versionMajor;
    FCabFilesLeft = h.fileCount;
    FStepSize = cab::kFileFixedSize;
    FHeaderPos = base + h.filesOffset + 1;
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
    uint8_t record[cab::kFileFixedSize + cab::kMaxNameSize + 1];
    const int64_t n = ReadAt(FHeaderStart, record, sizeof record);
    size_t at = 0;
    cab::TCabFileRecord f;
    if (n <= 0 || !cab::ReadCabFileRecord(record, size_t(n), at, f)) return TruncatedError();
    FStepOffset = FHeaderStart + int64_t(at);
    --FCabFilesLeft;
    const uint16_t attribs = f.attribs;
    if (attribs & cab::kAttrNameIsUtf8) {
        FEntry.FileName = f.name;
        std::replace(FEntry.FileName.begin(), FEntry.FileName.end(), '/', '\\');
    } else {
        SetEntryName(f.name);
    }
    FireReadFile();
    const uint16_t folder = f.folder;
    // a folder continued from the previous cabinet, or going over this one from
    // the previous to the next: both were listed in an earlier cabinet
    if (folder == cab::kFolderContinuedFromPrev || folder == cab::kFolderContinuedPrevAndNext) return;
    if (!Match()) return;
    uint16_t type = 0;
    if (!FCabFolderTypes.empty()) {
        size_t index = folder == cab::kFolderContinuedToNext ? FCabFolderTypes.size() - 1 : folder;
        type = FCabFolderTypes[std::min(index, FCabFolderTypes.size() - 1)];
    }
    FEntry.DateTime = ConvertDate((static_cast<uint32_t>(f.date) << 16) | f.time);
    FEntry.VersionMadeBy = FCabVersionMinor;
    FEntry.VersionNeeded = FCabVersionMajor;
    FEntry.PackedSize = FEntry.UnpackedSize = f.size;
    FEntry.CRC = 0;
    FEntry.Encrypted = false;
    FEntry.MethodCode = type;
    MethodName(type, 0, FEntry.MethodText);
    FEntry.InternalAttr = attribs;
    FEntry.ExternalAttr = attribs;
    Report(FHeaderStart);
}

} // namespace mv
