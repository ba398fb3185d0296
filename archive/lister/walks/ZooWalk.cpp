// The lister's walk of ZOO archives: its start and its step.
#include "archive/formats/zoo/ZooFormat.h"
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

void TArcLister::StartZoo() {
    FStepSize = ZooEntryFixedSize; // the end entry has no variable part
    FHeaderPos = 1;
}

void TArcLister::StepZoo() {
    const uint8_t* r = FStepBuffer.data();
    if (FHeaderStart == 0) {
        TZooArchiveHeader header;
        if (!ReadZooArchiveHeader(r, FStepBuffer.size(), header)) return HeaderError();
        if (header.CommentLength && header.CommentPos > 0 &&
            header.CommentPos + header.CommentLength <= FEndOffset) {
            FArchiveComment.assign(header.CommentLength, '\0');
            ReadExactAt(header.CommentPos, FArchiveComment.data(), header.CommentLength);
        }
        if (header.FirstEntry < int64_t(ZooArchiveHeaderSize) || header.FirstEntry >= FEndOffset)
            return HeaderError();
        FStepOffset = header.FirstEntry;
        return;
    }
    uint8_t e[ZooEntrySize] = {};
    std::copy(r, r + ZooEntryFixedSize, e);
    TZooEntry entry;
    // the lengths of the variable part follow the fixed part
    const bool lengths = ReadExactAt(FHeaderStart + int64_t(ZooEntryFixedSize), e + ZooEntryFixedSize, 2);
    if (!ReadZooEntry(e, lengths ? ZooEntrySize : ZooEntryFixedSize, entry)) return HeaderError();
    if (entry.Next == 0) return Stop(); // the end entry carries no file
    if (entry.Next <= FHeaderStart) return HeaderError();
    FStepOffset = entry.Next;
    if (entry.Deleted) return;
    if (entry.CommentLength && entry.CommentPos > 0 && entry.CommentPos + entry.CommentLength <= FEndOffset) {
        FEntryComment.assign(entry.CommentLength, '\0');
        ReadExactAt(entry.CommentPos, FEntryComment.data(), entry.CommentLength);
    }
    if (entry.Type == 2 && !lengths) return TruncatedError();
    std::vector<uint8_t> v(entry.NameLength + entry.DirLength);
    if (!v.empty() &&
        !ReadExactAt(FHeaderStart + int64_t(ZooEntrySize), v.data(), static_cast<int64_t>(v.size())))
        return TruncatedError();
    SetEntryName(ZooEntryPath(entry, v.data()));
    FireReadFile();
    if (!Match()) return;
    FEntry.DateTime = ConvertDate(entry.DosDateTime);
    FEntry.VersionMadeBy = entry.VersionMajor;
    FEntry.VersionNeeded = entry.VersionMinor;
    FEntry.PackedSize = entry.PackedSize;
    FEntry.UnpackedSize = entry.UnpackedSize;
    FEntry.CRC = entry.Crc;
    FEntry.Encrypted = false;
    FEntry.MethodCode = entry.Method;
    MethodName(entry.Method, 0, FEntry.MethodText);
    FEntry.InternalAttr = 0;
    FEntry.ExternalAttr = 0;
    Report(FHeaderStart);
}

} // namespace mv
