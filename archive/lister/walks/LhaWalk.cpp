// The lister's walk of LHA and LZH archives: its start and its step.
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

class TArcLister::TLhaWalk final : public TListerWalk {
public:
    using TListerWalk::TListerWalk;
    void Start() override;
    void Step() override;
    TWalkTrailer Trailer() const override { return TWalkTrailer::LhaEndMark; }
    TWalkClosing Closing() const override { return TWalkClosing::Open; }
};

void TArcLister::TLhaWalk::Start() {
    L.FStepSize = 22;
    uint8_t first = 0;
    if (L.ReadExactAt(L.FHeaderPos - 1, &first, 1) && first == 0 && L.FHeaderPos - 1 + 128 < L.FEndOffset)
        L.FHeaderPos += 128;
}

void TArcLister::TLhaWalk::Step() {
    TLhaHeader h;
    const auto readAt = [this](int64_t pos, uint8_t* buffer, int64_t n) { return L.ReadAt(pos, buffer, n); };
    switch (ReadLhaHeader(readAt, L.FHeaderStart, L.FEndOffset, h)) {
    case TLhaHeaderStatus::lhsOk:
        break;
    case TLhaHeaderStatus::lhsEnd:
        return L.Stop(); // end of the archive
    case TLhaHeaderStatus::lhsUnsupportedLevel:
        if (!L.FErrorReported) {
            L.FErrorReported = true;
            L.DoError(L.FVolumeName, "", "0", arcerr::VersionNotSupported);
        }
        return L.Stop();
    case TLhaHeaderStatus::lhsBad:
        return L.HeaderError();
    }
    if (h.Method[0] != '-' || h.Method[4] != '-' || !h.SumOk) return L.HeaderError();
    L.FStepOffset = h.Next;
    L.SetEntryName(h.RawName, h.Os == LhaOsUnix);
    L.FireReadFile();
    if (!L.Match()) return;
    L.FEntry.DateTime = h.HasUnixTime ? UnixTimeToDateTime(h.UnixTime) : L.ConvertDate(h.DosDateTime);
    L.FEntry.VersionMadeBy = L.FEntry.VersionNeeded = 0;
    L.FEntry.PackedSize = std::min(h.PackedSize, h.UnpackedSize);
    L.FEntry.UnpackedSize = h.UnpackedSize;
    L.FEntry.CRC = h.Crc;
    L.FEntry.Encrypted = false;
    const uint8_t method = static_cast<uint8_t>(h.Method[3]);
    L.FEntry.MethodCode = method;
    L.MethodName(method, 0, L.FEntry.MethodText);
    L.FEntry.InternalAttr = 32;
    L.FEntry.ExternalAttr = h.Attribute;
    L.Report(L.FHeaderStart);
}

std::unique_ptr<TListerWalk> NewLhaWalk(TArcLister& lister) {
    return std::make_unique<TArcLister::TLhaWalk>(lister);
}

} // namespace mv
