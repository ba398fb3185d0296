// The lister's walk of InstallShield (MsGZ) archives: its start and its step.
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

void TArcLister::StartMsGZ() {
    FWalk = Walk::MsGZ;
    FStepSize = 29;
    uint8_t h[255];
    if (!ReadExactAt(FHeaderPos - 1, h, 255)) return TruncatedError();
    // the directory table (offset at 41, count at 49) and the file table after it
    int64_t dirOffset = LE32(h + 41);
    uint16_t dirCount = LE16(h + 49);
    if (dirOffset <= 0 || dirOffset >= FEndOffset) return TruncatedError();
    int64_t pos = dirOffset;
    for (int i = 0; i < dirCount; ++i) {
        // file count (2), record length (2), name length (2), name, padding
        uint8_t r[6];
        if (!ReadExactAt(pos, r, 6)) return TruncatedError();
        uint16_t len = LE16(r + 2), nameLen = LE16(r + 4);
        if (len < 6 || nameLen > len - 6) return HeaderError();
        std::string name(nameLen, '\0');
        if (!ReadExactAt(pos + 6, name.data(), nameLen)) return TruncatedError();
        FMsGZDirs.push_back(name);
        pos += len;
    }
    // each file record begins with a byte the walk does not use: the step record
    // starts one byte into it
    FHeaderPos = pos + 2;
}

void TArcLister::StepMsGZ() {
    const uint8_t* r = FStepBuffer.data();
    uint16_t dirIndex = LE16(r);
    int64_t unpacked = LE32(r + 2);
    int64_t packed = LE32(r + 6);
    int64_t offset = LE32(r + 10);
    uint32_t dos = LE32(r + 14);
    uint32_t attr = LE32(r + 18);
    int64_t recordLength = LE16(r + 22);
    uint8_t nameLen = r[28];
    if (recordLength < 30 + nameLen) return HeaderError();
    uint8_t name[256];
    if (!ReadExactAt(FStepOffset, name, nameLen)) return TruncatedError();
    std::string n = FixedName(name, nameLen);
    // a directory index outside the table leaves the name without a folder
    if (dirIndex < FMsGZDirs.size() && !FMsGZDirs[dirIndex].empty()) n = FMsGZDirs[dirIndex] + "\\" + n;
    SetEntryName(n);
    // the next window, one byte into the next record (the last record ends the file)
    FStepOffset = FHeaderStart + recordLength;
    if (FStepOffset == FEndOffset + 1) FStepOffset = FEndOffset;
    FireReadFile();
    if (!Match()) return;
    FEntry.UnpackedSize = unpacked;
    FEntry.PackedSize = packed;
    FEntry.CRC = 0;
    FEntry.Encrypted = false;
    FEntry.MethodText.clear();
    FEntry.MethodCode = 0;
    FEntry.ExternalAttr = attr;
    FEntry.InternalAttr = static_cast<uint16_t>(attr);
    // date first, then time
    FEntry.DateTime = ConvertDate((dos << 16) | (dos >> 16));
    Report(offset);
}

} // namespace mv
