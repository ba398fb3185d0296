// The lister's walk of UUE files: its start and its step.
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

class TArcLister::TUueWalk final : public TListerWalk {
public:
    using TListerWalk::TListerWalk;
    // UUE holds one file: the start lists it and leaves no step to take.
    void Start() override;
    void Step() override {}
    TWalkTrailer Trailer() const override { return TWalkTrailer::Anything; }
    TWalkClosing Closing() const override { return TWalkClosing::Open; }
};

void TArcLister::TUueWalk::Start() {
    L.FStepSize = 0;
    int64_t n = std::min<int64_t>(L.FArchiveSize, 32768);
    std::vector<uint8_t> buf(static_cast<size_t>(n));
    if (L.ReadAt(0, buf.data(), n) != n) return L.TruncatedError();
    std::string text(buf.begin(), buf.end());
    size_t at = std::string::npos;
    for (size_t pos = 0; pos + 6 <= text.size(); ++pos) {
        if ((pos == 0 || text[pos - 1] == '\n') && text.compare(pos, 6, "begin ") == 0) {
            at = pos;
            break;
        }
    }
    if (at == std::string::npos) {
        L.DoError(L.FVolumeName, "", "0", arcerr::NoBeginLine); // no begin line
        L.FErrorReported = true;
        return;
    }
    // "begin MODE NAME": the name is the rest of the line, cut at its first blank
    size_t modeStart = at + 6;
    while (modeStart < text.size() && text[modeStart] == ' ') ++modeStart;
    size_t blank = text.find(' ', modeStart);
    size_t eol = text.find_first_of("\r\n", modeStart);
    if (blank == std::string::npos || (eol != std::string::npos && blank > eol)) {
        L.DoError(L.FVolumeName, "", "0", arcerr::HeaderError);
        L.FErrorReported = true;
        return;
    }
    size_t nameStart = blank + 1;
    size_t nameEnd = eol == std::string::npos ? text.size() : eol;
    std::string name = text.substr(nameStart, std::min<size_t>(nameEnd - nameStart, 255));
    size_t cut = name.find(' ');
    if (cut != std::string::npos) name.resize(cut);
    L.FEntry.FileName = name;
    L.FireReadFile();
    if (L.FListMode != 0 && L.FListMode != 2) return;
    platform::FileInfo info;
    L.FEntry.DateTime =
        platform::Fs().Stat(L.FArchiveFile, info) ? UnixTimeToDateTime(info.ModTime) : DateTime1980;
    L.FEntry.VersionMadeBy = L.FEntry.VersionNeeded = 0;
    L.FEntry.PackedSize = L.FEntry.UnpackedSize = L.FArchiveSize;
    L.FEntry.CRC = 0;
    L.FEntry.Encrypted = false;
    L.FEntry.MethodText.clear();
    L.FEntry.MethodCode = 0;
    L.FEntry.InternalAttr = L.FEntry.ExternalAttr = 32;
    L.Report(0);
}

std::unique_ptr<TListerWalk> NewUueWalk(TArcLister& lister) {
    return std::make_unique<TArcLister::TUueWalk>(lister);
}

} // namespace mv
