// The lister's walk of BH archives: its start and its step.
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

void TArcLister::StartBh() {
    FStepSize = 37;
}

void TArcLister::StepBh() {
    const uint8_t* r = FStepBuffer.data();
    if (LE32(r) != 0x07054842 || LE16(r + 4) == 0) return Stop();
    uint8_t nameLen = r[33];
    uint8_t name[256];
    if (!ReadExactAt(FStepOffset, name, nameLen)) return TruncatedError();
    FStepOffset += nameLen;
    int64_t packed = LE32(r + 15);
    SetEntryName(FixedName(name, nameLen));
    FireReadFile();
    if (Match()) {
        FEntry.DateTime = ConvertDate(LE32(r + 11));
        FEntry.VersionMadeBy = r[7];
        FEntry.VersionNeeded = r[8];
        FEntry.PackedSize = packed;
        FEntry.UnpackedSize = LE32(r + 19);
        FEntry.CRC = LE32(r + 23);
        FEntry.Encrypted = r[9] & 1;
        FEntry.MethodCode = r[10];
        MethodName(r[10], r[9], FEntry.MethodText);
        FEntry.InternalAttr = LE16(r + 27);
        FEntry.ExternalAttr = LE16(r + 27);
        Report(FHeaderStart);
    }
    FStepOffset += packed;
}

} // namespace mv
