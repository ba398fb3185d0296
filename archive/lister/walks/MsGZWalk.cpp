// The lister's walk of InstallShield (MsGZ) archives: its start and its step.
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

class TArcLister::TMsGZWalk final : public TListerWalk {
public:
    using TListerWalk::TListerWalk;
    void Start() override;
    void Step() override;
    TWalkTrailer Trailer() const override { return TWalkTrailer::Zeros; }
    TWalkClosing Closing() const override { return TWalkClosing::Open; }

private:
    std::vector<std::string> FMsGZDirs; // the directory table
};

void TArcLister::TMsGZWalk::Start() {
    L.FStepSize = 29;
    uint8_t h[255];
    if (!L.ReadExactAt(L.FHeaderPos - 1, h, 255)) return L.TruncatedError();
    // the directory table (offset at 41, count at 49) and the file table after it
    int64_t dirOffset = LE32(h + 41);
    uint16_t dirCount = LE16(h + 49);
    if (dirOffset <= 0 || dirOffset >= L.FEndOffset) return L.TruncatedError();
    int64_t pos = dirOffset;
    for (int i = 0; i < dirCount; ++i) {
        // file count (2), record length (2), name length (2), name, padding
        uint8_t r[6];
        if (!L.ReadExactAt(pos, r, 6)) return L.TruncatedError();
        uint16_t len = LE16(r + 2), nameLen = LE16(r + 4);
        if (len < 6 || nameLen > len - 6) return L.HeaderError();
        std::string name(nameLen, '\0');
        if (!L.ReadExactAt(pos + 6, name.data(), nameLen)) return L.TruncatedError();
        FMsGZDirs.push_back(name);
        pos += len;
    }
    // each file record begins with a byte the walk does not use: the step record
    // starts one byte into it
    L.FHeaderPos = pos + 2;
}

void TArcLister::TMsGZWalk::Step() {
    const uint8_t* r = L.FStepBuffer.data();
    uint16_t dirIndex = LE16(r);
    int64_t unpacked = LE32(r + 2);
    int64_t packed = LE32(r + 6);
    int64_t offset = LE32(r + 10);
    uint32_t dos = LE32(r + 14);
    uint32_t attr = LE32(r + 18);
    int64_t recordLength = LE16(r + 22);
    uint8_t nameLen = r[28];
    if (recordLength < 30 + nameLen) return L.HeaderError();
    uint8_t name[256];
    if (!L.ReadExactAt(L.FStepOffset, name, nameLen)) return L.TruncatedError();
    std::string n = FixedName(name, nameLen);
    // a directory index outside the table leaves the name without a folder
    if (dirIndex < FMsGZDirs.size() && !FMsGZDirs[dirIndex].empty()) n = FMsGZDirs[dirIndex] + "\\" + n;
    L.SetEntryName(n);
    // the next window, one byte into the next record (the last record ends the file)
    L.FStepOffset = L.FHeaderStart + recordLength;
    if (L.FStepOffset == L.FEndOffset + 1) L.FStepOffset = L.FEndOffset;
    L.FireReadFile();
    if (!L.Match()) return;
    L.FEntry.UnpackedSize = unpacked;
    L.FEntry.PackedSize = packed;
    L.FEntry.CRC = 0;
    L.FEntry.Encrypted = false;
    L.FEntry.MethodText.clear();
    L.FEntry.MethodCode = 0;
    L.FEntry.ExternalAttr = attr;
    L.FEntry.InternalAttr = static_cast<uint16_t>(attr);
    // date first, then time
    L.FEntry.DateTime = L.ConvertDate((dos << 16) | (dos >> 16));
    L.Report(offset);
}

std::unique_ptr<TListerWalk> NewMsGZWalk(TArcLister& lister) {
    return std::make_unique<TArcLister::TMsGZWalk>(lister);
}

} // namespace mv
