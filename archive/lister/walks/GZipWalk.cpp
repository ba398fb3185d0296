// The lister's walk of gzip and compress files: its start and its step.
#include "archive/formats/gzip/GZipFormat.h"
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

void TArcLister::StartGZip() {
    FStepSize = 10;
}

void TArcLister::StepGZip() {
    const uint8_t* r = FStepBuffer.data();
    uint16_t magic = LE16(r);
    if (magic != 0x1E1F && magic != 0x8B1F && magic != 0x9D1F && magic != 0x9E1F && magic != 0xA01F)
        return HeaderError();
    FGZipMagic = magic;
    const bool gzip = HasGZipHeader(magic);
    uint8_t method = r[2];
    uint8_t flags = r[3];
    int64_t pos = FHeaderStart + GZipHeaderSize;
    FEntry.CRC = 0;
    FEntry.Encrypted = false;
    TGZipHeader h;
    if (gzip) {
        const auto readAt = [this](int64_t at, uint8_t* buffer, int64_t n) { return ReadAt(at, buffer, n); };
        if (ReadGZipHeader(readAt, FHeaderStart, FEndOffset, h) != TGZipHeaderStatus::ghOk)
            return TruncatedError();
        pos = h.DataPos;
        FEntry.DateTime = UnixTimeToDateTime(h.MTime);
    } else if (magic == CompressMagic) {
        platform::FileInfo info;
        FEntry.DateTime =
            platform::Fs().Stat(FArchiveFile, info) ? UnixTimeToDateTime(info.ModTime) : DateTime1980;
    } else {
        FEntry.DateTime = UnixTimeToDateTime(LE32(r + 4));
    }
    std::string name;
    if (gzip && (flags & GZipFlagName)) {
        name = h.Name.substr(0, GZipNameKept);
    } else {
        std::string file = platform::NameOf(FArchiveFile);
        size_t dot = file.find_last_of('.');
        name = dot == std::string::npos ? file : file.substr(0, dot);
    }
    if (gzip) {
        if (pos + int64_t(GZipTrailerSize) > FEndOffset) return TruncatedError();
        uint8_t t[8];
        if (!ReadExactAt(FEndOffset - 8, t, 8)) return TruncatedError();
        int64_t trailerStart = FEndOffset - 8;
        if (LE32(t) == 0x00008B1F && FEndOffset >= 12) {
            // a member that carries its name in a trailer after the data
            uint8_t l[4];
            if (!ReadExactAt(FEndOffset - 12, l, 4)) return TruncatedError();
            int64_t len = LE32(l);
            if (len < 8 || FEndOffset - len - 16 < pos) return HeaderError();
            uint8_t nb[256];
            uint8_t nameLen = static_cast<uint8_t>(len & 0xFF);
            if (!ReadExactAt(FEndOffset - len - 8, nb, nameLen)) return TruncatedError();
            name = FixedName(nb, nameLen);
            trailerStart = FEndOffset - len - 16;
            if (!ReadExactAt(trailerStart, t, 8)) return TruncatedError();
        }
        FEntry.CRC = LE32(t);
        FEntry.UnpackedSize = LE32(t + 4);
        FEntry.PackedSize = trailerStart - pos;
        FEntry.Encrypted = flags & GZipFlagEncrypted;
    } else {
        FEntry.PackedSize = FEntry.UnpackedSize = FEndOffset - 10;
    }
    SetEntryName(name);
    ++FFileCount;
    FireReadFile();
    if (OnRead) {
        platform::FileInfo info;
        uint32_t attr = platform::Fs().Stat(FArchiveFile, info) ? info.Attributes : 0;
        FEntry.ExternalAttr = (attr == 0 || attr == 63 || attr == 128) ? 0 : attr;
        FEntry.MethodCode = method;
        MethodName(method, flags, FEntry.MethodText);
        FTotalPacked += FEntry.PackedSize;
        FTotalUnpacked += FEntry.UnpackedSize;
        Report(FHeaderStart, false);
    }
    // one entry per file
    FStepOffset = FEndOffset;
    Stop();
}

} // namespace mv
