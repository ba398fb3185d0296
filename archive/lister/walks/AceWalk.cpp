// The lister's walk of ACE archives: its start and its step.
#include "archive/formats/ace/AceFormat.h"
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

bool TArcLister::ReadAceMainHeader(int64_t pos, int64_t& next) {
    uint8_t head[AceBlockHeadSize];
    if (!ReadExactAt(pos, head, sizeof head)) return false;
    const uint16_t size = AceHeaderSizeOf(head);
    if (size < AceMainMinSize || pos + int64_t(AceBlockHeadSize) + size > FEndOffset) return false;
    std::vector<uint8_t> h(size);
    TAceBlock block;
    TAceMain main;
    if (!ReadExactAt(pos + AceBlockHeadSize, h.data(), size) || !ReadAceBlock(head, h.data(), size, block) ||
        !ReadAceMain(block, main))
        return false;
    FAceVersion = main.Version;
    FAceHost = main.Host;
    // the next block follows the whole header, whatever optional fields it holds
    next = pos + AceBlockHeadSize + size;
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
    const uint16_t headSize = AceHeaderSizeOf(FStepBuffer.data());
    const int64_t headerEnd = FHeaderStart + int64_t(AceBlockHeadSize) + headSize;
    if (headSize < 3 || headerEnd > FEndOffset) {
        TruncatedError();
        return;
    }
    std::vector<uint8_t> h(headSize);
    if (!ReadExactAt(FHeaderStart + AceBlockHeadSize, h.data(), headSize)) {
        TruncatedError();
        return;
    }
    TAceBlock block;
    const bool fieldsOk = ReadAceBlock(FStepBuffer.data(), h.data(), headSize, block);
    if (!block.CrcOk || !fieldsOk) return HeaderError();
    if (!block.IsFile()) {
        // recovery records and other blocks are stepped over by their sizes
        if (block.Type == AceMainBlock || block.AddSize > uint64_t(MaxEntrySize)) return HeaderError();
        FStepOffset = headerEnd + int64_t(block.AddSize);
        return;
    }
    TAceFile f;
    if (!ReadAceFile(block, f) || f.PackSize > uint64_t(MaxEntrySize) || f.UnpSize > uint64_t(MaxEntrySize))
        return HeaderError();
    const int64_t packed = int64_t(f.PackSize);
    SetEntryName(f.Name);
    FStepOffset = headerEnd + packed;
    // an entry over several volumes is reported once, by its last part, with the
    // packed sizes of its parts summed
    if (f.Flags & AceFlagContinued)
        FAccPacked += packed;
    else
        FAccPacked = packed;
    FAccUnpacked = int64_t(f.UnpSize);
    if (f.Flags & AceFlagContinues) {
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
    FEntry.DateTime = ConvertDate(f.FileTime);
    FEntry.VersionMadeBy = FEntry.VersionNeeded = FAceVersion;
    FEntry.PackedSize = FAccPacked;
    FEntry.UnpackedSize = FAccUnpacked;
    // the header keeps the CRC register without its final inversion
    FEntry.CRC = f.Crc ^ 0xFFFFFFFFu;
    FEntry.Encrypted = f.Flags & AceFlagPassword;
    FEntry.MethodCode = f.Quality;
    MethodName(f.Quality, 0, FEntry.MethodText);
    FEntry.InternalAttr = static_cast<uint16_t>(f.Attr);
    FEntry.ExternalAttr = f.Attr;
    Report(FHeaderStart);
}

} // namespace mv
