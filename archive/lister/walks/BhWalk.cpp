// The lister's walk of BH archives: its start and its step.
#include "archive/formats/bh/BhFormat.h"
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

class TArcLister::TBhWalk final : public TListerWalk {
public:
    using TListerWalk::TListerWalk;
    void Start() override;
    void Step() override;
    TWalkTrailer Trailer() const override { return TWalkTrailer::Zeros; }
    TWalkClosing Closing() const override { return TWalkClosing::Open; }
};

void TArcLister::TBhWalk::Start() {
    L.FStepSize = BhHeaderSize;
}

void TArcLister::TBhWalk::Step() {
    TBhHeader h;
    if (!ReadBhHeader(L.FStepBuffer.data(), h)) return L.Stop();
    std::vector<uint8_t> name(h.NameLength);
    if (!L.ReadExactAt(L.FStepOffset, name.data(), h.NameLength)) return L.TruncatedError();
    L.FStepOffset = L.FHeaderStart + h.DataStart();
    // A name in valid UTF-8 is read as UTF-8 (the writer stores so the names with no OEM form).
    L.SetEntryName(FixedName(name.data(), name.size()), true);
    L.FireReadFile();
    if (L.Match()) {
        L.FEntry.DateTime = L.ConvertDate(h.DosDateTime);
        L.FEntry.VersionMadeBy = h.VersionMadeBy;
        L.FEntry.VersionNeeded = h.VersionNeeded;
        L.FEntry.PackedSize = h.PackedSize;
        L.FEntry.UnpackedSize = h.UnpackedSize;
        L.FEntry.CRC = h.Crc;
        L.FEntry.Encrypted = h.Flags & BhFlagEncrypted;
        L.FEntry.MethodCode = h.Method;
        L.MethodName(h.Method, h.Flags, L.FEntry.MethodText);
        L.FEntry.InternalAttr = h.Attributes;
        L.FEntry.ExternalAttr = h.Attributes;
        L.Report(L.FHeaderStart);
    }
    L.FStepOffset += h.PackedSize;
}

std::unique_ptr<TListerWalk> NewBhWalk(TArcLister& lister) {
    return std::make_unique<TArcLister::TBhWalk>(lister);
}

} // namespace mv
