#include "zipwriter/ZipHeader.h"

#include "archive/framework/Crc.h"
#include "archive/framework/ZipRecords.h"
#include "platform/CodePage.h"

#include <algorithm>
#include <vector>

namespace mv {

namespace {
const std::string EmptyText;

void WriteAll(TS_BufferStream& stream, const void* data, size_t n) {
    if (n) stream.Write(data, n);
}
} // namespace

// --- TZipHeaderInfo ---

void TZipHeaderInfo::EncodeName() {
    const std::string full = FDirectory + FFileName;
    std::string oem;
    // A record made as a Unix host makes it keeps a name outside ASCII in UTF-8,
    // flagged: readers on Unix take such names as they stand.
    const bool unixName = ZipUnixHost(VersionMadeBy) && !platform::IsAscii(full);
    if (!unixName && platform::Utf8ToOem(full, oem)) {
        FStoredName = oem;
        Flags &= static_cast<uint16_t>(~ZipFlagUtf8);
    } else {
        FStoredName = full;
        Flags |= ZipFlagUtf8;
    }
}

void TZipHeaderInfo::SetFileName(const std::string& s) {
    if (s == FFileName && !FStoredName.empty()) return;
    FFileName = s;
    EncodeName();
}

void TZipHeaderInfo::SetDirectory(const std::string& in) {
    std::string s = in;
    if (!s.empty() && s.back() != '/') s += '/';
    if (s == FDirectory && !FStoredName.empty()) return;
    FDirectory = s;
    EncodeName();
}

const std::string& TZipHeaderInfo::Comment() const {
    return FComment ? *FComment : EmptyText;
}

void TZipHeaderInfo::SetComment(const std::optional<std::string>& text) {
    FComment = text;
    FCommentLength = text ? static_cast<uint16_t>(std::min<size_t>(text->size(), 0xFFFF)) : 0;
    if (FComment && FComment->size() > 0xFFFF) FComment->resize(0xFFFF);
}

void TZipHeaderInfo::Assign(const TZipHeaderInfo& s) {
    VersionMadeBy = s.VersionMadeBy;
    VersionNeeded = s.VersionNeeded;
    Flags = s.Flags;
    Method = s.Method;
    DateTime = s.DateTime;
    Crc32 = s.Crc32;
    CompressedSize = s.CompressedSize;
    UncompressedSize = s.UncompressedSize;
    CentralExtraLength = s.CentralExtraLength;
    LocalExtraLength = s.LocalExtraLength;
    DiskNumberStart = s.DiskNumberStart;
    InternalAttributes = s.InternalAttributes;
    ExternalAttributes = s.ExternalAttributes;
    LocalHeaderOffset = s.LocalHeaderOffset;
    CentralHeaderOffset = s.CentralHeaderOffset;
    FFileName = s.FFileName;
    FDirectory = s.FDirectory;
    FStoredName = s.FStoredName;
    FCommentLength = s.FCommentLength;
    FComment = s.FCommentLength && s.FComment ? s.FComment : std::nullopt;
    FromArchive = s.FromArchive;
    LocalSpan = s.LocalSpan;
    CentralExtra = s.CentralExtra;
}

void TZipHeaderInfo::SaveLocalToStream(TS_BufferStream& stream) {
    LocalHeaderOffset = static_cast<uint32_t>(stream.Position());
    TZipLocalHeader h;
    h.VersionNeeded = VersionNeeded;
    h.Flags = Flags;
    h.Method = Method;
    h.DosDateTime = DateTime;
    h.Crc32 = Crc32;
    h.CompressedSize = CompressedSize;
    h.UncompressedSize = UncompressedSize;
    h.NameLength = NameLength();
    h.ExtraLength = LocalExtraLength;
    uint8_t buf[ZipLocalHeaderSize];
    WriteZipLocalHeader(h, buf);
    WriteAll(stream, buf, sizeof buf);
    WriteAll(stream, FStoredName.data(), FStoredName.size());
}

void TZipHeaderInfo::SaveCentralToStream(TS_BufferStream& stream) const {
    TZipCentralRecord r;
    r.VersionMadeBy = VersionMadeBy;
    r.VersionNeeded = VersionNeeded;
    r.Flags = Flags;
    r.Method = Method;
    r.DosDateTime = DateTime;
    r.Crc32 = Crc32;
    r.CompressedSize = CompressedSize;
    r.UncompressedSize = UncompressedSize;
    r.NameLength = NameLength();
    r.ExtraLength = static_cast<uint16_t>(CentralExtra.size());
    r.CommentLength = FCommentLength;
    r.DiskNumberStart = DiskNumberStart;
    r.InternalAttributes = InternalAttributes;
    r.ExternalAttributes = ExternalAttributes;
    r.LocalHeaderOffset = LocalHeaderOffset;
    uint8_t buf[ZipCentralRecordSize];
    WriteZipCentralRecord(r, buf);
    WriteAll(stream, buf, sizeof buf);
    WriteAll(stream, FStoredName.data(), FStoredName.size());
    WriteAll(stream, CentralExtra.data(), CentralExtra.size());
    if (FCommentLength) {
        std::string c = Comment();
        c.resize(FCommentLength, '\0');
        WriteAll(stream, c.data(), c.size());
    }
}

namespace {
// The stored name as the component handles it: UTF-8 with "/" between folders.
bool IsUtf8(const std::string& s) {
    size_t pos = 0;
    uint32_t c;
    while (pos < s.size())
        if (!platform::DecodeUtf8(s, pos, c)) return false;
    return true;
}

// Names are UTF-8 with flag bit 11, and also when a Unix system wrote them
// (its names are its own bytes, UTF-8 on every current system); else OEM.
std::string DecodeName(const std::string& stored, uint16_t flags, uint16_t madeBy = 0) {
    const int host = madeBy >> 8;
    const bool utf8 = (flags & ZipFlagUtf8) || ((host == 3 || host == 19) && IsUtf8(stored));
    std::string s = utf8 ? stored : platform::OemToUtf8(stored);
    std::replace(s.begin(), s.end(), '\\', '/');
    return s;
}
} // namespace

bool TZipHeaderInfo::ReadCentralFromBytes(const std::string& bytes, size_t& offset) {
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    if (offset > bytes.size()) return false;
    TZipCentralRecord r;
    if (ReadZipCentralRecord(data + offset, bytes.size() - offset, r) == TZipRecordStatus::zrShort)
        return false;
    if (r.Signature != ZipCentralSignature || LE32(data + offset) != ZipCentralSignature) return false;
    size_t need = ZipCentralRecordSize + size_t(r.NameLength) + r.ExtraLength + r.CommentLength;
    if (need > bytes.size() - offset) return false;
    VersionMadeBy = r.VersionMadeBy;
    VersionNeeded = r.VersionNeeded;
    Flags = r.Flags;
    Method = r.Method;
    DateTime = r.DosDateTime;
    Crc32 = r.Crc32;
    CompressedSize = r.CompressedSize;
    UncompressedSize = r.UncompressedSize;
    DiskNumberStart = r.DiskNumberStart;
    InternalAttributes = r.InternalAttributes;
    ExternalAttributes = r.ExternalAttributes;
    LocalHeaderOffset = r.LocalHeaderOffset;
    CentralHeaderOffset = static_cast<uint32_t>(offset);
    size_t p = offset + ZipCentralRecordSize;
    FStoredName = bytes.substr(p, r.NameLength);
    p += r.NameLength;
    CentralExtra = bytes.substr(p, r.ExtraLength);
    CentralExtraLength = r.ExtraLength;
    p += r.ExtraLength;
    FComment = bytes.substr(p, r.CommentLength);
    FCommentLength = r.CommentLength;
    if (!FCommentLength) FComment.reset();
    std::string name = DecodeName(FStoredName, Flags, VersionMadeBy);
    // A UTF-8 form of the name in the extra field (0x7075, version 1) holds when
    // it belongs to this very stored name (its CRC matches).
    for (size_t x = 0; x + 4 <= CentralExtra.size();) {
        const auto* xp = reinterpret_cast<const uint8_t*>(CentralExtra.data()) + x;
        const uint16_t id = LE16(xp), len = LE16(xp + 2);
        if (x + 4 + len > CentralExtra.size()) break;
        if (id == 0x7075 && len >= 5 && xp[4] == 1 && !(Flags & ZipFlagUtf8) &&
            LE32(xp + 5) ==
                Crc32Of(reinterpret_cast<const uint8_t*>(FStoredName.data()), FStoredName.size())) {
            std::string utf8(reinterpret_cast<const char*>(xp + 9), len - 5u);
            std::replace(utf8.begin(), utf8.end(), '\\', '/');
            name = utf8;
        }
        x += 4u + len;
    }
    size_t slash = name.rfind('/');
    FDirectory = slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
    FFileName = slash == std::string::npos ? name : name.substr(slash + 1);
    FromArchive = true;
    offset += need;
    return true;
}

bool TZipHeaderInfo::ReadLocalFromStream(TS_BufferStream& stream) {
    const int64_t start = stream.Position();
    uint8_t buf[ZipLocalHeaderSize];
    TZipLocalHeader h;
    if (stream.Read(buf, sizeof buf) != sizeof buf ||
        ReadZipLocalHeader(buf, sizeof buf, h) == TZipRecordStatus::zrShort ||
        h.Signature != ZipLocalSignature || LE32(buf) != ZipLocalSignature) {
        stream.Seek(start, soFromBeginning);
        return false;
    }
    std::string name(h.NameLength, '\0');
    if (stream.Read(name.data(), name.size()) != name.size()) {
        stream.Seek(start, soFromBeginning);
        return false;
    }
    VersionMadeBy = 0;
    VersionNeeded = h.VersionNeeded;
    Flags = h.Flags;
    Method = h.Method;
    DateTime = h.DosDateTime;
    Crc32 = h.Crc32;
    CompressedSize = h.CompressedSize;
    UncompressedSize = h.UncompressedSize;
    LocalExtraLength = h.ExtraLength;
    CentralExtraLength = 0;
    DiskNumberStart = 0;
    InternalAttributes = 0;
    ExternalAttributes = 0;
    CentralHeaderOffset = 0;
    LocalHeaderOffset = static_cast<uint32_t>(start);
    FStoredName = name;
    SetComment(std::nullopt);
    const std::string decoded = DecodeName(name, Flags);
    size_t slash = decoded.rfind('/');
    FDirectory = slash == std::string::npos ? std::string() : decoded.substr(0, slash + 1);
    FFileName = slash == std::string::npos ? decoded : decoded.substr(slash + 1);
    FromArchive = true;
    return true;
}

// --- TEndCentral ---

void TEndCentral::Clear() {
    *this = TEndCentral();
}

void TEndCentral::Assign(const TEndCentral& s) {
    Signature = s.Signature;
    ThisDisk = s.ThisDisk;
    StartDisk = s.StartDisk;
    EntriesOnDisk = s.EntriesOnDisk;
    TotalEntries = s.TotalEntries;
    CentralSize = s.CentralSize;
    CentralOffset = s.CentralOffset;
    CommentLength = s.CommentLength;
    Comment = s.Comment;
    if (Comment) CommentLength = static_cast<uint16_t>(Comment->size());
    CommentOffset = s.CommentOffset;
}

void TEndCentral::SetComment(const std::string& text) {
    Comment = text.substr(0, 0xFFFF);
    CommentLength = static_cast<uint16_t>(Comment->size());
}

void TEndCentral::SaveToStream(TS_BufferStream& stream) const {
    TZipEndRecord r;
    r.ThisDisk = ThisDisk;
    r.CentralDisk = StartDisk;
    r.EntriesOnDisk = EntriesOnDisk;
    r.EntriesTotal = TotalEntries;
    r.CentralSize = CentralSize;
    r.CentralOffset = CentralOffset;
    r.CommentLength = Comment ? static_cast<uint16_t>(Comment->size()) : 0;
    uint8_t buf[ZipEndRecordSize];
    WriteZipEndRecord(r, buf);
    WriteAll(stream, buf, sizeof buf);
    if (Comment) WriteAll(stream, Comment->data(), Comment->size());
}

// --- TSortedZip ---

namespace {
int Rate(const TZipHeaderInfo& h) {
    return Percentage(h.CompressedSize, h.UncompressedSize);
}
int64_t DateValue(uint32_t dos) {
    return dos == 0 ? 0 : static_cast<int64_t>(CheckDosDateTime(dos));
}
} // namespace

int TSortedZip::Compare(const TObject* ao, const TObject* bo) const {
    const auto& a = *static_cast<const TZipHeaderInfo*>(ao);
    const auto& b = *static_cast<const TZipHeaderInfo*>(bo);
    switch (FSortMode) {
    case TZipSortMode::ByName:
        return CompareText(a.FullName(), b.FullName());
    case TZipSortMode::ByFileName:
        return CompareText(a.FileName(), b.FileName());
    case TZipSortMode::ByDirectoryName:
        return CompareText(a.Directory(), b.Directory());
    case TZipSortMode::ByDate:
        return DateValue(b.DateTime) > DateValue(a.DateTime) ? 1 : -1;
    case TZipSortMode::ByCompressedSize:
        return b.CompressedSize > a.CompressedSize ? 1 : -1;
    case TZipSortMode::ByUnCompressedSize:
        return b.UncompressedSize > a.UncompressedSize ? 1 : -1;
    case TZipSortMode::ByRate:
        return Rate(b) - Rate(a);
    case TZipSortMode::ByNone:
    default:
        if (a.DiskNumberStart != b.DiskNumberStart) return int(a.DiskNumberStart) - int(b.DiskNumberStart);
        return a.LocalHeaderOffset > b.LocalHeaderOffset
                   ? 1
                   : (a.LocalHeaderOffset == b.LocalHeaderOffset ? 0 : -1);
    }
}

// --- end record search ---

TEndSearch FindEndCentral(TEndCentral& record, TS_BufferStream& file, int64_t& endPosition) {
    const int64_t size = file.Size();
    if (size < static_cast<int64_t>(ZipEndRecordSize))
        return size == 0 ? TEndSearch::esEmpty : TEndSearch::esNotFound;
    const size_t n = static_cast<size_t>(std::min<int64_t>(size, ZipMaxEndWindow));
    std::vector<uint8_t> tail(n);
    const int64_t base = size - static_cast<int64_t>(n);
    file.Seek(base, soFromBeginning);
    if (file.Read(tail.data(), n) != n) return TEndSearch::esNotFound;

    auto directoryStartsAt = [&](uint32_t offset) {
        uint8_t sig[4];
        if (offset > static_cast<uint64_t>(size) - 4) return false;
        file.Seek(offset, soFromBeginning);
        return file.Read(sig, 4) == 4 && LE32(sig) == ZipCentralSignature;
    };
    // Two passes: records that end exactly at the end of the file first, then
    // records followed by junk.
    for (int pass = 0; pass < 2; ++pass) {
        for (size_t pos = n - ZipEndRecordSize + 1; pos-- > 0;) {
            if (LE32(tail.data() + pos) != ZipEndSignature) continue;
            TZipEndRecord r;
            ReadZipEndRecord(tail.data() + pos, n - pos, r);
            const size_t end = pos + ZipEndRecordSize + r.CommentLength;
            if (end > n) continue;
            if ((pass == 0) != (end == n)) continue;
            const int64_t at = base + static_cast<int64_t>(pos);
            const bool zip64 = r.EntriesTotal == 0xFFFF || r.EntriesOnDisk == 0xFFFF ||
                               r.CentralSize == 0xFFFFFFFF || r.CentralOffset == 0xFFFFFFFF ||
                               (pos >= Zip64LocatorSize &&
                                LE32(tail.data() + pos - Zip64LocatorSize) == Zip64LocatorSignature);
            if (!zip64 && r.ThisDisk == 0 && r.CentralDisk == 0) {
                // One part: the directory must lie before the record and start with a header.
                if (uint64_t(r.CentralOffset) + r.CentralSize > uint64_t(at)) continue;
                if (r.EntriesTotal > 0 && !directoryStartsAt(r.CentralOffset)) continue;
                if (r.EntriesTotal == 0 && r.CentralSize != 0) continue;
                if (r.EntriesOnDisk != r.EntriesTotal) continue;
            }
            record.Clear();
            record.ThisDisk = r.ThisDisk;
            record.StartDisk = r.CentralDisk;
            record.EntriesOnDisk = r.EntriesOnDisk;
            record.TotalEntries = r.EntriesTotal;
            record.CentralSize = r.CentralSize;
            record.CentralOffset = r.CentralOffset;
            record.CommentLength = r.CommentLength;
            record.CommentOffset = at + static_cast<int64_t>(ZipEndRecordSize);
            record.Comment = std::string(reinterpret_cast<const char*>(tail.data() + pos + ZipEndRecordSize),
                                         r.CommentLength);
            endPosition = at;
            return zip64 ? TEndSearch::esZip64 : TEndSearch::esFound;
        }
    }
    return TEndSearch::esNotFound;
}

} // namespace mv
