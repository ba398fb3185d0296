// The lister's walk of BH archives: its start and its step.
#include "archive/formats/bh/BhFormat.h"
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

void TArcLister::StartBh() {
    FStepSize = BhHeaderSize;
}

void TArcLister::StepBh() {
    TBhHeader h;
    if (!ReadBhHeader(FStepBuffer.data(), h)) return Stop();
    std::vector<uint8_t> name(h.NameLength);
    if (!ReadExactAt(FStepOffset, name.data(), h.NameLength)) return TruncatedError();
    FStepOffset = FHeaderStart + h.DataStart();
    // A name in valid UTF-8 is read as UTF-8 (the writer stores so the names with no OEM form).
    SetEntryName(FixedName(name.data(), name.size()), true);
    FireReadFile();
    if (Match()) {
        FEntry.DateTime = ConvertDate(h.DosDateTime);
        FEntry.VersionMadeBy = h.VersionMadeBy;
        FEntry.VersionNeeded = h.VersionNeeded;
        FEntry.PackedSize = h.PackedSize;
        FEntry.UnpackedSize = h.UnpackedSize;
        FEntry.CRC = h.Crc;
        FEntry.Encrypted = h.Flags & BhFlagEncrypted;
        FEntry.MethodCode = h.Method;
        MethodName(h.Method, h.Flags, FEntry.MethodText);
        FEntry.InternalAttr = h.Attributes;
        FEntry.ExternalAttr = h.Attributes;
        Report(FHeaderStart);
    }
    FStepOffset += h.PackedSize;
}

} // namespace mv
