// The lister's walk of HA archives: its start and its step.
#include "archive/formats/lha/LhaHeader.h"
#include "archive/formats/tar/TarFormat.h"
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

class TArcLister::THaWalk final : public TListerWalk {
public:
    using TListerWalk::TListerWalk;
    void Start() override;
    void Step() override;
    TWalkTrailer Trailer() const override { return TWalkTrailer::Zeros; }
    TWalkClosing Closing() const override { return TWalkClosing::CountedEntries; }
    int EntriesLeft() const override { return FHaCount; }

private:
    int FHaCount = 0; // entries not reached yet
};

void TArcLister::THaWalk::Start() {
    uint8_t h[4];
    if (!L.ReadExactAt(0, h, 4)) return L.TruncatedError();
    FHaCount = LE16(h + 2);
    L.FHeaderPos = 4; // the window starts one byte before the first entry header
    L.FStepSize = 18;
}

void TArcLister::THaWalk::Step() {
    if (FHaCount <= 0) return L.Stop();
    const uint8_t* r = L.FStepBuffer.data();
    uint8_t vm = r[1];
    int64_t packed = LE32(r + 2);
    int64_t unpacked = LE32(r + 6);
    uint32_t crc = LE32(r + 10);
    uint32_t time = LE32(r + 14);
    uint8_t buf[512];
    int64_t n = L.ReadAt(L.FStepOffset, buf, sizeof buf);
    if (n <= 0) return L.TruncatedError();
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
    if (!cstr(path) || !cstr(name) || p >= static_cast<size_t>(n)) return L.TruncatedError();
    uint8_t machineLen = buf[p];
    // the next window starts one byte before the next header
    L.FStepOffset += static_cast<int64_t>(p) + 1 + machineLen + packed - 1;
    if (--FHaCount == 0) {
        // the last entry: its data must end with the file
        if (L.FStepOffset + 1 > L.FEndOffset) return L.TruncatedError();
        L.FStepOffset = L.FEndOffset;
    }
    for (char& c : path)
        if (static_cast<unsigned char>(c) == 0xFF) c = '/';
    L.SetEntryName(path + name);
    L.FireReadFile();
    uint8_t method = vm & 0x0F;
    if (!L.Match()) return;
    L.FEntry.DateTime = UnixTimeToDateTime(time);
    L.FEntry.VersionMadeBy = L.FEntry.VersionNeeded = vm >> 4;
    L.FEntry.PackedSize = packed;
    L.FEntry.UnpackedSize = unpacked;
    L.FEntry.CRC = crc;
    L.FEntry.Encrypted = false;
    L.FEntry.MethodCode = method;
    L.MethodName(method, 0, L.FEntry.MethodText);
    L.FEntry.InternalAttr = L.FEntry.ExternalAttr = 32;
    L.Report(L.FHeaderStart + 1);
}

std::unique_ptr<TListerWalk> NewHaWalk(TArcLister& lister) {
    return std::make_unique<TArcLister::THaWalk>(lister);
}

} // namespace mv
