// The lister's walk of ACE archives: its start and its step.
#include "archive/formats/ace/AceFormat.h"
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

class TArcLister::TAceWalk final : public TListerWalk {
public:
    using TListerWalk::TListerWalk;
    void Start() override;
    void Step() override;
    TWalkTrailer Trailer() const override { return TWalkTrailer::Zeros; }
    TWalkClosing Closing() const override { return TWalkClosing::Open; }

private:
    // Reads the main header at pos into the version and host; next: where the next block starts.
    bool ReadMainHeader(int64_t pos, int64_t& next);

    int64_t FAccPacked = 0, FAccUnpacked = 0; // parts of an entry over several volumes
    uint8_t FAceVersion = 0, FAceHost = 0;    // the main header's
};

bool TArcLister::TAceWalk::ReadMainHeader(int64_t pos, int64_t& next) {
    uint8_t head[AceBlockHeadSize];
    if (!L.ReadExactAt(pos, head, sizeof head)) return false;
    const uint16_t size = AceHeaderSizeOf(head);
    if (size < AceMainMinSize || pos + int64_t(AceBlockHeadSize) + size > L.FEndOffset) return false;
    std::vector<uint8_t> h(size);
    TAceBlock block;
    TAceMain main;
    if (!L.ReadExactAt(pos + AceBlockHeadSize, h.data(), size) ||
        !ReadAceBlock(head, h.data(), size, block) || !ReadAceMain(block, main))
        return false;
    FAceVersion = main.Version;
    FAceHost = main.Host;
    // the next block follows the whole header, whatever optional fields it holds
    next = pos + AceBlockHeadSize + size;
    return true;
}

void TArcLister::TAceWalk::Start() {
    int64_t next = 0;
    if (!ReadMainHeader(L.FHeaderPos - 1, next)) {
        L.HeaderError();
        return;
    }
    L.FStepSize = 7;
    L.FHeaderPos = next + 1;
}

void TArcLister::TAceWalk::Step() {
    const uint16_t headSize = AceHeaderSizeOf(L.FStepBuffer.data());
    const int64_t headerEnd = L.FHeaderStart + int64_t(AceBlockHeadSize) + headSize;
    if (headSize < 3 || headerEnd > L.FEndOffset) {
        L.TruncatedError();
        return;
    }
    std::vector<uint8_t> h(headSize);
    if (!L.ReadExactAt(L.FHeaderStart + AceBlockHeadSize, h.data(), headSize)) {
        L.TruncatedError();
        return;
    }
    TAceBlock block;
    const bool fieldsOk = ReadAceBlock(L.FStepBuffer.data(), h.data(), headSize, block);
    if (!block.CrcOk || !fieldsOk) return L.HeaderError();
    if (!block.IsFile()) {
        // recovery records and other blocks are stepped over by their sizes
        if (block.Type == AceMainBlock || block.AddSize > uint64_t(MaxEntrySize)) return L.HeaderError();
        L.FStepOffset = headerEnd + int64_t(block.AddSize);
        return;
    }
    TAceFile f;
    if (!ReadAceFile(block, f) || f.PackSize > uint64_t(MaxEntrySize) || f.UnpSize > uint64_t(MaxEntrySize))
        return L.HeaderError();
    const int64_t packed = int64_t(f.PackSize);
    L.SetEntryName(f.Name);
    L.FStepOffset = headerEnd + packed;
    // an entry over several volumes is reported once, by its last part, with the
    // packed sizes of its parts summed
    if (f.Flags & AceFlagContinued)
        FAccPacked += packed;
    else
        FAccPacked = packed;
    FAccUnpacked = int64_t(f.UnpSize);
    if (f.Flags & AceFlagContinues) {
        std::string name = L.GetNextVolumeName(L.FArchiveFile, L.FVolumeNumber);
        if (!L.OnNextVolume || !L.RequestVolume(name, std::to_string(L.FVolumeNumber))) {
            L.FCancel = true;
            return L.Stop();
        }
        if (!L.OpenVolume(name)) L.RaiseError(name, "", std::to_string(L.FVolumeNumber), arcerr::OpenError);
        int64_t next = 0;
        if (!ReadMainHeader(0, next)) return L.HeaderError();
        L.FStepOffset = next;
        L.FHeaderPos = next + 1;
        return;
    }
    L.FireReadFile();
    if (!L.Match()) return;
    L.FEntry.DateTime = L.ConvertDate(f.FileTime);
    L.FEntry.VersionMadeBy = L.FEntry.VersionNeeded = FAceVersion;
    L.FEntry.PackedSize = FAccPacked;
    L.FEntry.UnpackedSize = FAccUnpacked;
    // the header keeps the CRC register without its final inversion
    L.FEntry.CRC = f.Crc ^ 0xFFFFFFFFu;
    L.FEntry.Encrypted = f.Flags & AceFlagPassword;
    L.FEntry.MethodCode = f.Quality;
    L.MethodName(f.Quality, 0, L.FEntry.MethodText);
    L.FEntry.InternalAttr = static_cast<uint16_t>(f.Attr);
    L.FEntry.ExternalAttr = f.Attr;
    L.Report(L.FHeaderStart);
}

std::unique_ptr<TListerWalk> NewAceWalk(TArcLister& lister) {
    return std::make_unique<TArcLister::TAceWalk>(lister);
}

} // namespace mv
