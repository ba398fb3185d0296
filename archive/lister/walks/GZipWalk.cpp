// The lister's walk of gzip and compress files: its start and its step.
#include "archive/formats/gzip/GZipFormat.h"
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

class TArcLister::TGZipWalk final : public TListerWalk {
public:
    using TListerWalk::TListerWalk;
    void Start() override;
    void Step() override;
    TWalkTrailer Trailer() const override { return TWalkTrailer::Anything; }
    TWalkClosing Closing() const override { return TWalkClosing::Open; }
};

void TArcLister::TGZipWalk::Start() {
    L.FStepSize = 10;
}

void TArcLister::TGZipWalk::Step() {
    const uint8_t* r = L.FStepBuffer.data();
    uint16_t magic = LE16(r);
    if (magic != 0x1E1F && magic != 0x8B1F && magic != 0x9D1F && magic != 0x9E1F && magic != 0xA01F)
        return L.HeaderError();
    L.FGZipMagic = magic;
    const bool gzip = HasGZipHeader(magic);
    uint8_t method = r[2];
    uint8_t flags = r[3];
    int64_t pos = L.FHeaderStart + GZipHeaderSize;
    L.FEntry.CRC = 0;
    L.FEntry.Encrypted = false;
    TGZipHeader h;
    if (gzip) {
        const auto readAt = [this](int64_t at, uint8_t* buffer, int64_t n) {
            return L.ReadAt(at, buffer, n);
        };
        if (ReadGZipHeader(readAt, L.FHeaderStart, L.FEndOffset, h) != TGZipHeaderStatus::ghOk)
            return L.TruncatedError();
        pos = h.DataPos;
        L.FEntry.DateTime = UnixTimeToDateTime(h.MTime);
    } else if (magic == CompressMagic) {
        platform::FileInfo info;
        L.FEntry.DateTime =
            platform::Fs().Stat(L.FArchiveFile, info) ? UnixTimeToDateTime(info.ModTime) : DateTime1980;
    } else {
        L.FEntry.DateTime = UnixTimeToDateTime(LE32(r + 4));
    }
    std::string name;
    if (gzip && (flags & GZipFlagName)) {
        name = h.Name.substr(0, GZipNameKept);
    } else {
        std::string file = platform::NameOf(L.FArchiveFile);
        size_t dot = file.find_last_of('.');
        name = dot == std::string::npos ? file : file.substr(0, dot);
    }
    if (gzip) {
        if (pos + int64_t(GZipTrailerSize) > L.FEndOffset) return L.TruncatedError();
        uint8_t t[8];
        if (!L.ReadExactAt(L.FEndOffset - 8, t, 8)) return L.TruncatedError();
        int64_t trailerStart = L.FEndOffset - 8;
        if (LE32(t) == 0x00008B1F && L.FEndOffset >= 12) {
            // a member that carries its name in a trailer after the data
            uint8_t l[4];
            if (!L.ReadExactAt(L.FEndOffset - 12, l, 4)) return L.TruncatedError();
            int64_t len = LE32(l);
            if (len < 8 || L.FEndOffset - len - 16 < pos) return L.HeaderError();
            uint8_t nb[256];
            uint8_t nameLen = static_cast<uint8_t>(len & 0xFF);
            if (!L.ReadExactAt(L.FEndOffset - len - 8, nb, nameLen)) return L.TruncatedError();
            name = FixedName(nb, nameLen);
            trailerStart = L.FEndOffset - len - 16;
            if (!L.ReadExactAt(trailerStart, t, 8)) return L.TruncatedError();
        }
        L.FEntry.CRC = LE32(t);
        L.FEntry.UnpackedSize = LE32(t + 4);
        L.FEntry.PackedSize = trailerStart - pos;
        L.FEntry.Encrypted = flags & GZipFlagEncrypted;
    } else {
        L.FEntry.PackedSize = L.FEntry.UnpackedSize = L.FEndOffset - 10;
    }
    L.SetEntryName(name);
    ++L.FFileCount;
    L.FireReadFile();
    if (L.OnRead) {
        platform::FileInfo info;
        uint32_t attr = platform::Fs().Stat(L.FArchiveFile, info) ? info.Attributes : 0;
        L.FEntry.ExternalAttr = (attr == 0 || attr == 63 || attr == 128) ? 0 : attr;
        L.FEntry.MethodCode = method;
        L.MethodName(method, flags, L.FEntry.MethodText);
        L.FTotalPacked += L.FEntry.PackedSize;
        L.FTotalUnpacked += L.FEntry.UnpackedSize;
        L.Report(L.FHeaderStart, false);
    }
    // one entry per file
    L.FStepOffset = L.FEndOffset;
    L.Stop();
}

std::unique_ptr<TListerWalk> NewGZipWalk(TArcLister& lister) {
    return std::make_unique<TArcLister::TGZipWalk>(lister);
}

} // namespace mv
