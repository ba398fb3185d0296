// The lister's walk of HA archives: its start and its step.
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

void TArcLister::StartHa() {
    uint8_t h[4];
    if (!ReadExactAt(0, h, 4)) return TruncatedError();
    FHaCount = LE16(h + 2);
    FHeaderPos = 4; // the window starts one byte before the first entry header
    FStepSize = 18;
}

void TArcLister::StepHa() {
    if (FHaCount <= 0) return Stop();
    const uint8_t* r = FStepBuffer.data();
    uint8_t vm = r[1];
    int64_t packed = LE32(r + 2);
    int64_t unpacked = LE32(r + 6);
    uint32_t crc = LE32(r + 10);
    uint32_t time = LE32(r + 14);
    uint8_t buf[512];
    int64_t n = ReadAt(FStepOffset, buf, sizeof buf);
    if (n <= 0) return TruncatedError();
    size_t p = 0;
    auto cstr = [&](std::string& s) {
        size_t k = p;
        while (k < static_cast<size_t>(n) && buf[k]) ++k;
        if (k >= static_cast<size_t>(n)) return false;
        s.assign(reinterpret_cast<const char*>(buf + p), k - p);
        p = k + 1;
        return true;
    };
    std::string path, name;
    if (!cstr(path) || !cstr(name) || p >= static_cast<size_t>(n)) return TruncatedError();
    uint8_t machineLen = buf[p];
    // the next window starts one byte before the next header
    FStepOffset += static_cast<int64_t>(p) + 1 + machineLen + packed - 1;
    if (--FHaCount == 0) {
        // the last entry: its data must end with the file
        if (FStepOffset + 1 > FEndOffset) return TruncatedError();
        FStepOffset = FEndOffset;
    }
    for (char& c : path)
        if (static_cast<unsigned char>(c) == 0xFF) c = '/';
    SetEntryName(path + name);
    FireReadFile();
    uint8_t method = vm & 0x0F;
    if (!Match()) return;
    FEntry.DateTime = UnixTimeToDateTime(time);
    FEntry.VersionMadeBy = FEntry.VersionNeeded = vm >> 4;
    FEntry.PackedSize = packed;
    FEntry.UnpackedSize = unpacked;
    FEntry.CRC = crc;
    FEntry.Encrypted = false;
    FEntry.MethodCode = method;
    MethodName(method, 0, FEntry.MethodText);
    FEntry.InternalAttr = FEntry.ExternalAttr = 32;
    Report(FHeaderStart + 1);
}

} // namespace mv
