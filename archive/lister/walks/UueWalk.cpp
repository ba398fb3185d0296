// The lister's walk of UUE files: its start and its step.
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

void TArcLister::ListUue() {
    FWalk = Walk::None;
    FStepSize = 0;
    int64_t n = std::min<int64_t>(FArchiveSize, 32768);
    std::vector<uint8_t> buf(static_cast<size_t>(n));
    if (ReadAt(0, buf.data(), n) != n) return TruncatedError();
    std::string text(buf.begin(), buf.end());
    size_t at = std::string::npos;
    for (size_t pos = 0; pos + 6 <= text.size(); ++pos) {
        if ((pos == 0 || text[pos - 1] == '\n') && text.compare(pos, 6, "begin ") == 0) {
            at = pos;
            break;
        }
    }
    if (at == std::string::npos) {
        DoError(FVolumeName, "", "0", arcerr::NoBeginLine); // no begin line
        FErrorReported = true;
        return;
    }
    // "begin MODE NAME": the name is the rest of the line, cut at its first blank
    size_t modeStart = at + 6;
    while (modeStart < text.size() && text[modeStart] == ' ') ++modeStart;
    size_t blank = text.find(' ', modeStart);
    size_t eol = text.find_first_of("\r\n", modeStart);
    if (blank == std::string::npos || (eol != std::string::npos && blank > eol)) {
        DoError(FVolumeName, "", "0", arcerr::HeaderError);
        FErrorReported = true;
        return;
    }
    size_t nameStart = blank + 1;
    size_t nameEnd = eol == std::string::npos ? text.size() : eol;
    std::string name = text.substr(nameStart, std::min<size_t>(nameEnd - nameStart, 255));
    size_t cut = name.find(' ');
    if (cut != std::string::npos) name.resize(cut);
    FEntry.FileName = name;
    FireReadFile();
    if (FListMode != 0 && FListMode != 2) return;
    platform::FileInfo info;
    FEntry.DateTime =
        platform::Fs().Stat(FArchiveFile, info) ? UnixTimeToDateTime(info.ModTime) : DateTime1980;
    FEntry.VersionMadeBy = FEntry.VersionNeeded = 0;
    FEntry.PackedSize = FEntry.UnpackedSize = FArchiveSize;
    FEntry.CRC = 0;
    FEntry.Encrypted = false;
    FEntry.MethodText.clear();
    FEntry.MethodCode = 0;
    FEntry.InternalAttr = FEntry.ExternalAttr = 32;
    Report(0);
}

} // namespace mv
