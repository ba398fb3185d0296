// The lister's walk of ARC and PAK archives: its start and its step.
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

void TArcLister::StartArc() {
    FStepSize = 29;
}

void TArcLister::StepArc() {
    std::vector<uint8_t>& rec = FStepBuffer;
    bool isArc = FArcType == TArcType::atArc || FArcType == TArcType::atArcExe;
    if (rec[0] != 0x1A) return HeaderError();
    uint8_t method = rec[1];
    if (method == 0) return Stop();
    if (isArc && method == 31) {
        // end of a directory: the marker is two bytes; the next header follows it
        FStepOffset = FHeaderStart + 2;
        if (FArcDirectory.size() > 1) {
            std::string d = FArcDirectory.substr(0, FArcDirectory.size() - 1);
            size_t bs = d.find_last_of('\\');
            FArcDirectory = bs == std::string::npos ? std::string() : d.substr(0, bs + 1);
        } else {
            FArcDirectory.clear();
        }
        return;
    }
    FArcHeaderMethod = method;
    int64_t packed = LE32(rec.data() + 15);
    uint32_t dos = (static_cast<uint32_t>(LE16(rec.data() + 19)) << 16) | LE16(rec.data() + 21);
    uint16_t crc = LE16(rec.data() + 23);
    int64_t unpacked = LE32(rec.data() + 25);
    if (method == 1) {
        // the oldest stored form has a 25-byte header without the original size
        FStepOffset = FHeaderStart + 25;
        unpacked = packed;
    }
    SetEntryName(ZeroTerminated(rec.data() + 2, 13));
    bool dirEntry = isArc && method == 30;
    if (dirEntry) {
        FArcDirectory += FEntry.FileName + "\\";
        FEntry.FileName.clear();
        packed = unpacked = 0;
    }
    if (isArc) FEntry.FileName = FArcDirectory + FEntry.FileName;
    FireReadFile();
    bool report = (dirEntry && FShowBlankDirs) || (!dirEntry && Match());
    if (report) {
        FEntry.DateTime = ConvertDate(dos);
        FEntry.VersionMadeBy = FEntry.VersionNeeded = 0;
        FEntry.PackedSize = packed;
        FEntry.UnpackedSize = unpacked;
        FEntry.CRC = crc;
        FEntry.Encrypted = false;
        FEntry.MethodCode = method;
        MethodName(method, 0, FEntry.MethodText);
        FEntry.InternalAttr = FEntry.ExternalAttr = dirEntry ? 16 : 32;
        Report(FHeaderStart);
    }
    FStepOffset += packed;
}

} // namespace mv
