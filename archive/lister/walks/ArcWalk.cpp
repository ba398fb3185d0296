// The lister's walk of ARC and PAK archives: its start and its step.
#include "archive/formats/arc/ArcFormat.h"
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

class TArcLister::TArcWalk final : public TListerWalk {
public:
    using TListerWalk::TListerWalk;
    void Start() override;
    void Step() override;
    TWalkTrailer Trailer() const override { return TWalkTrailer::ArcEndMark; }
    TWalkClosing Closing() const override { return TWalkClosing::EndRecord; }

private:
    std::string FArcDirectory; // the current directory
};

void TArcLister::TArcWalk::Start() {
    L.FStepSize = 29;
}

void TArcLister::TArcWalk::Step() {
    const TArcRecord r = ReadArcRecord(L.FStepBuffer.data(), L.FStepBuffer.size());
    switch (r.Kind) {
    case TArcRecordKind::arkBad:
    case TArcRecordKind::arkShort:
        return L.HeaderError();
    case TArcRecordKind::arkEnd:
        return L.Stop();
    case TArcRecordKind::arkDirEnd:
        // the marker is two bytes; the next header follows it
        L.FStepOffset = L.FHeaderStart + r.HeaderSize;
        FArcDirectory = ArcParentFolder(FArcDirectory);
        return;
    case TArcRecordKind::arkDirStart:
    case TArcRecordKind::arkMember:
        break;
    }
    L.FArcHeaderMethod = r.Method;
    L.FStepOffset = L.FHeaderStart + r.HeaderSize;
    int64_t packed = r.PackedSize, unpacked = r.UnpackedSize;
    L.SetEntryName(r.Name);
    const bool dirEntry = r.Kind == TArcRecordKind::arkDirStart;
    if (dirEntry) {
        FArcDirectory += L.FEntry.FileName + "\\";
        L.FEntry.FileName.clear();
        packed = unpacked = 0;
    }
    L.FEntry.FileName = FArcDirectory + L.FEntry.FileName;
    L.FireReadFile();
    const bool report = (dirEntry && L.FShowBlankDirs) || (!dirEntry && L.Match());
    if (report) {
        L.FEntry.DateTime = L.ConvertDate(r.DosDateTime);
        L.FEntry.VersionMadeBy = L.FEntry.VersionNeeded = 0;
        L.FEntry.PackedSize = packed;
        L.FEntry.UnpackedSize = unpacked;
        L.FEntry.CRC = r.Crc;
        L.FEntry.Encrypted = false;
        L.FEntry.MethodCode = r.Method;
        L.MethodName(r.Method, 0, L.FEntry.MethodText);
        L.FEntry.InternalAttr = L.FEntry.ExternalAttr = dirEntry ? 16 : 32;
        L.Report(L.FHeaderStart);
    }
    L.FStepOffset += packed;
}

std::unique_ptr<TListerWalk> NewArcWalk(TArcLister& lister) {
    return std::make_unique<TArcLister::TArcWalk>(lister);
}

} // namespace mv
