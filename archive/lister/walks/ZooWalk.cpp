// The lister's walk of ZOO archives: its start and its step.
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

void TArcLister::StartZoo() {
    FStepSize = 56; // the end entry has no name part
    FHeaderPos = 1;
}

void TArcLister::StepZoo() {
    const uint8_t* r = FStepBuffer.data();
    if (FHeaderStart == 0) {
        // the archive header: its start offset and the check that is its negation
        uint32_t start = LE32(r + 24), minus = LE32(r + 28);
        if (LE32(r + 20) != 0xFDC4A7DCu || static_cast<uint32_t>(start + minus) != 0) return HeaderError();
        uint16_t commentLen = LE16(r + 39);
        int64_t commentPos = LE32(r + 35);
        if (commentLen && commentPos > 0 && commentPos + commentLen <= FEndOffset) {
            FArchiveComment.assign(commentLen, '\0');
            ReadExactAt(commentPos, FArchiveComment.data(), commentLen);
        }
        if (start < 34 || start >= FEndOffset) return HeaderError();
        FStepOffset = start;
        return;
    }
    if (LE32(r) != 0xFDC4A7DCu) return HeaderError();
    uint8_t type = r[4];
    uint8_t method = r[5];
    int64_t next = LE32(r + 6);
    if (next == 0) return Stop(); // the end entry carries no file
    if (next <= FHeaderStart) return HeaderError();
    FStepOffset = next;
    if (r[30]) return; // deleted entry
    uint16_t commentLen = LE16(r + 36);
    int64_t commentPos = LE32(r + 32);
    if (commentLen && commentPos > 0 && commentPos + commentLen <= FEndOffset) {
        FEntryComment.assign(commentLen, '\0');
        ReadExactAt(commentPos, FEntryComment.data(), commentLen);
    }
    std::string shortName = ZeroTerminated(r + 38, 13);
    std::string longName, dir;
    if (type == 2) {
        uint8_t lens[2];
        if (!ReadExactAt(FHeaderStart + 56, lens, 2)) return TruncatedError();
        uint8_t nameLen = lens[0], dirLen = lens[1];
        std::vector<uint8_t> v(nameLen + dirLen);
        if (!v.empty() && !ReadExactAt(FHeaderStart + 58, v.data(), static_cast<int64_t>(v.size())))
            return TruncatedError();
        longName = ZeroTerminated(v.data(), nameLen);
        dir = ZeroTerminated(v.data() + nameLen, dirLen);
    }
    std::string name;
    if (!dir.empty()) {
        std::replace(dir.begin(), dir.end(), '/', '\\');
        name = dir + "\\";
    }
    name += longName.empty() ? shortName : longName;
    SetEntryName(name);
    FireReadFile();
    if (!Match()) return;
    FEntry.DateTime = ConvertDate((static_cast<uint32_t>(LE16(r + 14)) << 16) | LE16(r + 16));
    FEntry.VersionMadeBy = r[28];
    FEntry.VersionNeeded = r[29];
    FEntry.PackedSize = LE32(r + 24);
    FEntry.UnpackedSize = LE32(r + 20);
    FEntry.CRC = LE16(r + 18);
    FEntry.Encrypted = false;
    FEntry.MethodCode = method;
    MethodName(method, 0, FEntry.MethodText);
    FEntry.InternalAttr = 0;
    FEntry.ExternalAttr = 0;
    Report(FHeaderStart);
}

} // namespace mv
