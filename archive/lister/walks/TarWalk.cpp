// The lister's walk of tar archives: its start and its step.
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

void TArcLister::StartTar() {
    FStepSize = TarBlockSize;
}

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

} // namespace mv
