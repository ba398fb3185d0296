// The lister's walk of tar archives: its start and its step.
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

class TArcLister::TTarWalk final : public TListerWalk {
public:
    using TListerWalk::TListerWalk;
    void Start() override;
    void Step() override;
    TWalkTrailer Trailer() const override { return TWalkTrailer::TarZeros; }
    TWalkClosing Closing() const override { return TWalkClosing::Open; }

private:
    TTarPending FTarPending; // long names and pax values for the next member
};

void TArcLister::TTarWalk::Start() {
    L.FStepSize = TarBlockSize;
}

void TArcLister::TTarWalk::Step() {
    const uint8_t* h = L.FStepBuffer.data();
    if (TarIsZeroBlock(h)) return L.Stop(); // end blocks
    int64_t stored = 0;
    if (!TarChecksumMatches(h, &stored)) return L.HeaderError();
    TTarHeader header = ReadTarHeader(h);
    if (!header.SizeValid || header.Size > MaxEntrySize) return L.HeaderError();
    const int64_t dataStart = L.FStepOffset;
    if (TarIsMetaRecord(header.Type)) {
        const int64_t dataEnd = dataStart + header.PaddedSize();
        if (dataEnd > L.FEndOffset) return L.TruncatedError();
        L.FStepOffset = dataEnd;
        if (header.Type == TarTypeLongName || header.Type == TarTypeLongLink || header.Type == TarTypePax) {
            if (header.Size > TarMaxRecord) return L.HeaderError();
            std::string data(static_cast<size_t>(header.Size), '\0');
            if (!L.ReadExactAt(dataStart, data.data(), header.Size)) return L.HeaderError();
            FTarPending.Take(header.Type, data);
        }
        return;
    }
    FTarPending.Apply(header);
    std::string name = header.Name;
    std::replace(name.begin(), name.end(), '/', '\\');
    name = TrimBlanks(name);
    if (name.empty()) return L.Stop();
    if (IsValidUtf8(name))
        L.FEntry.FileName = name;
    else
        L.SetEntryName(name);
    L.FStepOffset = dataStart + header.PaddedSize();
    L.FireReadFile();
    if (!L.IsFileSpecMatch(L.FEntry.FileName, !L.FShowBlankDirs)) return;
    if (!TarIsFileMember(header.Type)) return;
    L.FEntry.DateTime = header.MTime > 0 ? UnixTimeToDateTime(header.MTime) : DateTime1980;
    L.FEntry.PackedSize = L.FEntry.UnpackedSize = header.Size;
    L.FEntry.CRC = static_cast<uint32_t>(stored);
    L.FEntry.Encrypted = false;
    L.FEntry.MethodCode = 0;
    L.MethodName(0, 0, L.FEntry.MethodText);
    L.FEntry.InternalAttr = 0;
    L.FEntry.ExternalAttr = 0;
    L.FEntry.VersionMadeBy = L.FEntry.VersionNeeded = 0;
    L.Report(L.FHeaderStart);
}

std::unique_ptr<TListerWalk> NewTarWalk(TArcLister& lister) {
    return std::make_unique<TArcLister::TTarWalk>(lister);
}

} // namespace mv
