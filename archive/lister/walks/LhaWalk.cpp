// The lister's walk of LHA and LZH archives: its start and its step.
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
    SetEntryName(h.RawName, h.Os == LhaOsUnix);
    FireReadFile();
    if (!Match()) return;
    FEntry.DateTime = h.HasUnixTime ? UnixTimeToDateTime(h.UnixTime) : ConvertDate(h.DosDateTime);
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

} // namespace mv
