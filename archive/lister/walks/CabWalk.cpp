// The lister's walk of cabinets: its start and its step.
#include "archive/formats/cab/CabFormat.h"
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
#include <set>

namespace mv {

using namespace listerwalk;

class TArcLister::TCabWalk final : public TListerWalk {
public:
    using TListerWalk::TListerWalk;
    void Start() override;
    void Step() override;
    TWalkTrailer Trailer() const override { return TWalkTrailer::Anything; }
    TWalkClosing Closing() const override { return TWalkClosing::CountedEntries; }
    int EntriesLeft() const override { return FCabFilesLeft; }

private:
    // Reads the header of the first cabinet (at the detected start) or of the
    // next one of the set (at 0) and places the walk on its first file record.
    bool OpenCabinet(bool first);

    std::set<std::string> FVisitedCabinets;
    int FCabFilesLeft = 0;
    uint8_t FCabVersionMinor = 0, FCabVersionMajor = 0;
    std::string FCabNext, FCabNextDisk;
    std::vector<uint16_t> FCabFolderTypes;
};

void TArcLister::TCabWalk::Start() {
    if (!OpenCabinet(true)) L.FStepSize = 0;
}

bool TArcLister::TCabWalk::OpenCabinet(bool first) {
    uint8_t fixed[cab::kHeaderSize];
    cab::TCabHeader h;
    if (!L.ReadExactAt(first ? L.FHeaderPos - 1 : 0, fixed, sizeof fixed) ||
        !cab::ReadCabFixedHeader(fixed, h)) {
        L.DoError(L.FVolumeName, FCabNextDisk, "0", arcerr::HeaderError);
        L.FErrorReported = true;
        return false;
    }
    int64_t base = first ? L.FHeaderPos - 1 : 0;
    // The reserve sizes, the cabinet names and the folder records: as many bytes
    // as the longest of them can take.
    const size_t longest = cab::kHeaderSize + 4 + 0xFFFF + 4 * (cab::kMaxNameSize + 1) +
                           size_t(h.folderCount) * (cab::kFolderSize + 0xFF);
    std::vector<uint8_t> prelude(size_t(std::clamp<int64_t>(L.FEndOffset - base, 0, int64_t(longest))));
    const int64_t got = L.ReadAt(base, prelude.data(), int64_t(prelude.size()));
    size_t at = 0;
    if (got < int64_t(cab::kHeaderSize) || !cab::ReadCabPrelude(prelude.data(), size_t(got), h, at))
        return L.TruncatedError(), false;
    FCabNext = h.nextCabinet;
    FCabNextDisk = (h.flags & cab::kFlagNextCabinet) ? h.nextDisk : "0";
    FCabFolderTypes.clear();
    for (const cab::TCabFolderRecord& folder : h.folders) FCabFolderTypes.push_back(folder.compression);
    if (!h.folders.empty()) {
        uint8_t probe[8];
        if (!L.ReadExactAt(base + h.folders[0].dataOffset, probe, sizeof probe)) {
            L.DoError(L.FVolumeName, "", "0", arcerr::ReadError);
            L.FErrorReported = true;
            return false;
        }
    }
    // the cabinet says how long it is
    if (base + static_cast<int64_t>(h.cabinetSize) > L.FEndOffset) return L.TruncatedError(), false;
    FCabVersionMinor = h.versionMinor;
    FCabVersionMajor = h.versionMajor;
    FCabFilesLeft = h.fileCount;
    L.FStepSize = cab::kFileFixedSize;
    L.FHeaderPos = base + h.filesOffset + 1;
    return true;
}

void TArcLister::TCabWalk::Step() {
    if (FCabFilesLeft <= 0) {
        // this cabinet is done: go on with the next one of the set
        if (FCabNext.empty()) return L.Stop();
        std::string next = FolderOf(L.FArchiveFile) + FCabNext;
        if (!platform::Exists(next)) {
            // cabinets name each other as on a system that ignores case
            auto found = platform::ListMatching(
                platform::DirectoryOf(next).empty() ? "." : platform::DirectoryOf(next),
                platform::NameOf(next));
            if (found.size() == 1) next = FolderOf(L.FArchiveFile) + found[0].Name;
        }
        FVisitedCabinets.insert(L.FVolumeName);
        for (const auto& v : FVisitedCabinets)
            if (EqualNoCase(v, next)) return L.Stop(); // a set that names itself or loops
        if (!L.RequestVolume(next, FCabNextDisk)) {
            L.FCancel = true;
            return L.Stop();
        }
        std::string disk = FCabNextDisk;
        if (!L.OpenVolume(next)) {
            L.OpenVolume(L.FArchiveFile);
            L.RaiseError(next, "", "0", arcerr::ReadError);
        }
        if (!OpenCabinet(false)) return L.Stop();
        L.FStepOffset = L.FHeaderPos - 1;
        return;
    }
    uint8_t record[cab::kFileFixedSize + cab::kMaxNameSize + 1];
    const int64_t n = L.ReadAt(L.FHeaderStart, record, sizeof record);
    size_t at = 0;
    cab::TCabFileRecord f;
    if (n <= 0 || !cab::ReadCabFileRecord(record, size_t(n), at, f)) return L.TruncatedError();
    L.FStepOffset = L.FHeaderStart + int64_t(at);
    --FCabFilesLeft;
    const uint16_t attribs = f.attribs;
    if (attribs & cab::kAttrNameIsUtf8) {
        L.FEntry.FileName = f.name;
        std::replace(L.FEntry.FileName.begin(), L.FEntry.FileName.end(), '/', '\\');
    } else {
        L.SetEntryName(f.name);
    }
    L.FireReadFile();
    const uint16_t folder = f.folder;
    // a folder continued from the previous cabinet, or going over this one from
    // the previous to the next: both were listed in an earlier cabinet
    if (folder == cab::kFolderContinuedFromPrev || folder == cab::kFolderContinuedPrevAndNext) return;
    if (!L.Match()) return;
    uint16_t type = 0;
    if (!FCabFolderTypes.empty()) {
        size_t index = folder == cab::kFolderContinuedToNext ? FCabFolderTypes.size() - 1 : folder;
        type = FCabFolderTypes[std::min(index, FCabFolderTypes.size() - 1)];
    }
    L.FEntry.DateTime = L.ConvertDate((static_cast<uint32_t>(f.date) << 16) | f.time);
    L.FEntry.VersionMadeBy = FCabVersionMinor;
    L.FEntry.VersionNeeded = FCabVersionMajor;
    L.FEntry.PackedSize = L.FEntry.UnpackedSize = f.size;
    L.FEntry.CRC = 0;
    L.FEntry.Encrypted = false;
    L.FEntry.MethodCode = type;
    L.MethodName(type, 0, L.FEntry.MethodText);
    L.FEntry.InternalAttr = attribs;
    L.FEntry.ExternalAttr = attribs;
    L.Report(L.FHeaderStart);
}

std::unique_ptr<TListerWalk> NewCabWalk(TArcLister& lister) {
    return std::make_unique<TArcLister::TCabWalk>(lister);
}

} // namespace mv
