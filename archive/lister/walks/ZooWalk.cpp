// The lister's walk of ZOO archives: its start and its step.
#include "archive/formats/zoo/ZooFormat.h"
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

class TArcLister::TZooWalk final : public TListerWalk {
public:
    using TListerWalk::TListerWalk;
    void Start() override;
    void Step() override;
    TWalkTrailer Trailer() const override { return TWalkTrailer::Nothing; }
    TWalkClosing Closing() const override { return TWalkClosing::EndRecord; }
};

void TArcLister::TZooWalk::Start() {
    L.FStepSize = ZooEntryFixedSize; // the end entry has no variable part
    L.FHeaderPos = 1;
}

void TArcLister::TZooWalk::Step() {
    const uint8_t* r = L.FStepBuffer.data();
    if (L.FHeaderStart == 0) {
        TZooArchiveHeader header;
        if (!ReadZooArchiveHeader(r, L.FStepBuffer.size(), header)) return L.HeaderError();
        if (header.CommentLength && header.CommentPos > 0 &&
            header.CommentPos + header.CommentLength <= L.FEndOffset) {
            L.FArchiveComment.assign(header.CommentLength, '\0');
            L.ReadExactAt(header.CommentPos, L.FArchiveComment.data(), header.CommentLength);
        }
        if (header.FirstEntry < int64_t(ZooArchiveHeaderSize) || header.FirstEntry >= L.FEndOffset)
            return L.HeaderError();
        L.FStepOffset = header.FirstEntry;
        return;
    }
    uint8_t e[ZooEntrySize] = {};
    std::copy(r, r + ZooEntryFixedSize, e);
    TZooEntry entry;
    // the lengths of the variable part follow the fixed part
    const bool lengths = L.ReadExactAt(L.FHeaderStart + int64_t(ZooEntryFixedSize), e + ZooEntryFixedSize, 2);
    if (!ReadZooEntry(e, lengths ? ZooEntrySize : ZooEntryFixedSize, entry)) return L.HeaderError();
    if (entry.Next == 0) return L.Stop(); // the end entry carries no file
    if (entry.Next <= L.FHeaderStart) return L.HeaderError();
    L.FStepOffset = entry.Next;
    if (entry.Deleted) return;
    if (entry.CommentLength && entry.CommentPos > 0 &&
        entry.CommentPos + entry.CommentLength <= L.FEndOffset) {
        L.FEntryComment.assign(entry.CommentLength, '\0');
        L.ReadExactAt(entry.CommentPos, L.FEntryComment.data(), entry.CommentLength);
    }
    if (entry.Type == 2 && !lengths) return L.TruncatedError();
    std::vector<uint8_t> v(entry.NameLength + entry.DirLength);
    if (!v.empty() &&
        !L.ReadExactAt(L.FHeaderStart + int64_t(ZooEntrySize), v.data(), static_cast<int64_t>(v.size())))
        return L.TruncatedError();
    L.SetEntryName(ZooEntryPath(entry, v.data()));
    L.FireReadFile();
    if (!L.Match()) return;
    L.FEntry.DateTime = L.ConvertDate(entry.DosDateTime);
    L.FEntry.VersionMadeBy = entry.VersionMajor;
    L.FEntry.VersionNeeded = entry.VersionMinor;
    L.FEntry.PackedSize = entry.PackedSize;
    L.FEntry.UnpackedSize = entry.UnpackedSize;
    L.FEntry.CRC = entry.Crc;
    L.FEntry.Encrypted = false;
    L.FEntry.MethodCode = entry.Method;
    L.MethodName(entry.Method, 0, L.FEntry.MethodText);
    L.FEntry.InternalAttr = 0;
    L.FEntry.ExternalAttr = 0;
    L.Report(L.FHeaderStart);
}

std::unique_ptr<TListerWalk> NewZooWalk(TArcLister& lister) {
    return std::make_unique<TArcLister::TZooWalk>(lister);
}

} // namespace mv
