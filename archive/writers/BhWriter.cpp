// The BH writer on the writer driver.
#include "archive/writers/BhWriter.h"

#include "archive/codecs/LzhEncode.h"
#include "archive/formats/bh/BhFormat.h"
#include "archive/framework/SharedRoutines.h"
#include "archive/framework/TextUtils.h"
#include "archive/framework/ZipRecords.h"
#include "archive/writers/GZipWriter.h"
#include "platform/CodePage.h"

#include <algorithm>
#include <cstring>

namespace mv {

using platform::Fs;

namespace {

constexpr size_t HeaderSize = BhHeaderSize;

} // namespace

std::string TBlakHole::StoredName(const std::string& path, const std::string& name) {
    constexpr size_t maxLength = 0xFFFF - HeaderSize;
    bool utf8 = false;
    std::string stored = OemOrUtf8EntryName(path, name, maxLength, utf8);
    if (stored.empty()) return {};
    // The format has no mark for UTF-8: its readers take a name that is valid
    // UTF-8 as UTF-8 and other bytes as OEM. An OEM form that would read back
    // as UTF-8 ("├º" is C3 A7) is stored in UTF-8 too, so every name reads
    // back as it was.
    if (!utf8 && !platform::IsAscii(stored) && IsValidUtf8(stored)) {
        stored = FEntry.FileName; // the name in UTF-8, "\" separated
        if (stored.size() > maxLength) {
            DoError(path, "", "0", arcerr::InvalidName);
            return {};
        }
    }
    return BackslashToSlash(stored);
}

TBlakHole::TBlakHole() {
    FOwnExt = ".bh";
    FDefaultExt = ".bh";
    FAllowedMethods = (1u << static_cast<unsigned>(TCompressMethod::cmStore)) |
                      (1u << static_cast<unsigned>(TCompressMethod::cmDeflate)) |
                      (1u << static_cast<unsigned>(TCompressMethod::cmFuse));
    FCompressMethod = TCompressMethod::cmFuse;
    SetDeflateType(TDeflateType::dtDeflateN);
    FStoredDirNames = TStoredDirNames::sdRelative;
    FArcType = TArcType::atNA;
}

TBlakHole::~TBlakHole() = default;

void TBlakHole::SetArcType(TArcType) {
    FArcType = FArchiveFile.empty() ? TArcType::atNA : TArcType::atBh;
    AddDefaultExt();
}

bool TBlakHole::CompressFile(size_t index) {
    THeadObject& head = *FEntryList[index].Head;
    const std::string& path = head.SourcePath;
    std::string name;
    if (!BeginNewEntry(head, name)) return false;
    const std::string stored = StoredName(path, name);
    if (stored.empty()) return false;
    std::unique_ptr<platform::File> src = OpenSource(head);
    if (!src) return false;
    const uint64_t size = SourceSize(*src, head);
    if (size > 0xFFFFFFF0ull) RaiseError(path, "", "0", arcerr::TooLarge);

    // Every field is set for this entry alone: nothing carries over from another.
    uint8_t h[HeaderSize] = {};
    PutLE32(h, BhSignature);
    PutLE16(h + 4, static_cast<uint16_t>(HeaderSize + stored.size()));
    h[6] = HeaderSize;
    const uint32_t date = CurrentDosDateTime(head.NewDate);
    PutLE32(h + 11, date);
    PutLE32(h + 19, static_cast<uint32_t>(size));
    PutLE16(h + 27, static_cast<uint16_t>(head.NewAttributes & 0xFFFF));
    PutLE16(h + 33, static_cast<uint16_t>(stored.size()));
    const bool encrypt = !FPassword.empty() && size > 0;

    const int64_t start = Output().Position();
    const int64_t dataStart = start + static_cast<int64_t>(HeaderSize + stored.size());
    TPackedData data;
    uint8_t method = 0, flags = 0;
    const bool written = WriteNewEntry(path, start, [&] {
        Output().Write(h, HeaderSize);
        Output().Write(stored.data(), stored.size());
        if (size > 0) {
            const uint32_t crc = encrypt ? SourceCrc32(*src) : 0;
            auto pack = [&](TCompressMethod how, TWriterSource& in, TWriterOutput& out) {
                flags = encrypt ? 1 : 0;
                if (how == TCompressMethod::cmFuse) {
                    method = 1;
                    return FuseCompress(in, out).Unpackable;
                }
                if (how == TCompressMethod::cmDeflate) {
                    method = 8;
                    TDeflateOptions o;
                    o.Level = FDeflateLevel;
                    o.WholeMemberStore = true;
                    if (FEncoder.Deflate(in, out, o).Unpackable)
                        method = 0; // the raw bytes were written: a stored entry
                    else
                        flags |= static_cast<uint8_t>(ZipDeflateFlagBits(FDeflateLevel));
                    return false;
                }
                method = 0;
                StoreStream(in, out);
                return false;
            };
            data = PackEntryData(*src, dataStart, size, MethodFor(name), encrypt ? &crc : nullptr, pack);
        }
        h[9] = flags;
        h[10] = method;
        PutLE32(h + 15, static_cast<uint32_t>(data.Packed));
        PutLE32(h + 23, data.Crc32);
        const int64_t end = dataStart + static_cast<int64_t>(data.Packed);
        Output().SetSize(end);
        Output().Seek(start);
        Output().Write(h, HeaderSize);
        Output().Seek(end);
    });
    if (!written) return false;
    head.Header.assign(h, h + HeaderSize);
    head.OriginalSize = size;
    head.StoredSize = HeaderSize + stored.size() + data.Packed;
    head.DosDateTime = date;
    head.Attributes = LE16(h + 27);
    FPackedCount = data.Packed;
    return NewEntryWritten(head, start, head.StoredSize, data.Packed);
}

void TBlakHole::ScanExistingEntries() {
    platform::File& in = ArchiveIn();
    const int64_t size = OldArchiveSize();
    int64_t pos = 0;
    uint8_t h[HeaderSize];
    while (pos < size) {
        // Anything but a whole entry would be lost: leave the archive as it is.
        TBhHeader header;
        if (pos + static_cast<int64_t>(HeaderSize) > size || in.ReadAt(pos, h, HeaderSize) != HeaderSize ||
            LE32(h) != BhSignature)
            RaiseError(FArchiveFile, "", "0", arcerr::NoHeader);
        ReadBhHeader(h, header);
        const uint16_t nameLength = header.NameLength;
        const int64_t next = pos + header.DataStart() + header.PackedSize;
        if (nameLength == 0 || next <= pos || next > size) RaiseError(FArchiveFile, "", "0", arcerr::NoHeader);
        std::string raw(nameLength, '\0');
        if (in.ReadAt(pos + static_cast<int64_t>(HeaderSize), raw.data(), nameLength) != nameLength)
            RaiseError(FArchiveFile, "", "0", arcerr::ReadError);
        std::string name = HostNameToAnsiPath(SlashToBackslash(raw), true);
        int64_t entryStart = pos;
        pos = next;
        auto head = std::make_unique<THeadObject>();
        head->Header.assign(h, h + HeaderSize);
        head->Offset = entryStart;
        head->StoredSize = static_cast<uint64_t>(next - entryStart);
        head->OriginalSize = static_cast<uint64_t>(header.UnpackedSize);
        head->DosDateTime = header.DosDateTime;
        head->Attributes = header.Attributes;
        KeepOldEntry(name, std::move(head));
    }
}

void TBlakHole::ReportNewEntries() {
    ReportEntries(HeaderSize);
}

void TBlakHole::FillEntryInfo(const THeadObject& head) {
    if (head.Header.size() < HeaderSize) return TCompBase::FillEntryInfo(head);
    {
        const uint8_t* h = head.Header.data();
        FEntry.VersionMadeBy = h[7];
        FEntry.VersionNeeded = h[8];
        FEntry.PackedSize = LE32(h + 15);
        FEntry.UnpackedSize = LE32(h + 19);
        FEntry.CRC = LE32(h + 23);
        FEntry.Encrypted = (h[9] & 1) != 0;
        FEntry.MethodCode = h[10];
        MethodName(h[10], h[9], FEntry.MethodText);
        FEntry.ExternalAttr = LE16(h + 27);
        FEntry.Ratio = CompressRatio(FEntry.PackedSize, FEntry.UnpackedSize);
        if (static_cast<int32_t>(head.DosDateTime) > 0) FEntry.DateTime = ConvertDate(head.DosDateTime);
    }
}

} // namespace mv
