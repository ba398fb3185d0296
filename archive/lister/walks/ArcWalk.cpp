// The lister's walk of ARC and PAK archives: its start and its step.
#include "archive/formats/arc/ArcFormat.h"
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

void TArcLister::StartArc() {
    FStepSize = 29;
}

void TArcLister::StepArc() {
    const TArcRecord r = ReadArcRecord(FStepBuffer.data(), FStepBuffer.size());
    switch (r.Kind) {
    case TArcRecordKind::arkBad:
    case TArcRecordKind::arkShort:
        return HeaderError();
    case TArcRecordKind::arkEnd:
        return Stop();
    case TArcRecordKind::arkDirEnd:
        // the marker is two bytes; the next header follows it
        FStepOffset = FHeaderStart + r.HeaderSize;
        FArcDirectory = ArcParentFolder(FArcDirectory);
        return;
    case TArcRecordKind::arkDirStart:
    case TArcRecordKind::arkMember:
        break;
    }
    FArcHeaderMethod = r.Method;
    FStepOffset = FHeaderStart + r.HeaderSize;
    int64_t packed = r.PackedSize, unpacked = r.UnpackedSize;
    SetEntryName(r.Name);
    const bool dirEntry = r.Kind == TArcRecordKind::arkDirStart;
    if (dirEntry) {
        FArcDirectory += FEntry.FileName + "\\";
        FEntry.FileName.clear();
        packed = unpacked = 0;
    }
    FEntry.FileName = FArcDirectory + FEntry.FileName;
    FireReadFile();
    const bool report = (dirEntry && FShowBlankDirs) || (!dirEntry && Match());
    if (report) {
        FEntry.DateTime = ConvertDate(r.DosDateTime);
        FEntry.VersionMadeBy = FEntry.VersionNeeded = 0;
        FEntry.PackedSize = packed;
        FEntry.UnpackedSize = unpacked;
        FEntry.CRC = r.Crc;
        FEntry.Encrypted = false;
        FEntry.MethodCode = r.Method;
        MethodName(r.Method, 0, FEntry.MethodText);
        FEntry.InternalAttr = FEntry.ExternalAttr = dirEntry ? 16 : 32;
        Report(FHeaderStart);
    }
    FStepOffset += packed;
}

} // namespace mv
