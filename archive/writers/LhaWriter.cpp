// The LHA writer on the writer driver.
#include "archive/writers/LhaWriter.h"

#include "archive/codecs/Lh1Codec.h"
#include "archive/codecs/LzhEncode.h"
#include "archive/framework/SharedRoutines.h"
#include "archive/framework/ZipRecords.h"
#include "archive/formats/lha/LhaHeader.h"
#include "archive/writers/GZipWriter.h"
#include "platform/LocalTime.h"

#include <algorithm>
#include <cstring>

namespace mv {

using platform::Fs;

namespace {

constexpr size_t FixedSize = 22;
// Longest stored name a one-byte header size can hold.
constexpr size_t MaxNameLength = 255 - FixedSize;
// The Unix extension after the CRC of a level-0 header: host 'U', its version,
// the Unix time, the mode, the owner and the group.
constexpr size_t UnixExtensionSize = 12;

// The header checksum: bytes 2 to the end of the header, name and CRC included.
uint8_t HeaderSum(const std::vector<uint8_t>& h) {
    uint32_t sum = 0;
    for (size_t i = 2; i < h.size(); ++i) sum += h[i];
    return static_cast<uint8_t>(sum);
}

} // namespace

TLha::TLha() {
    FOwnExt = ".lha";
    FDefaultExt = ".lha";
    FAllowedMethods = (1u << static_cast<unsigned>(TCompressMethod::cmStore)) |
                      (1u << static_cast<unsigned>(TCompressMethod::cmFrozen1)) |
                      (1u << static_cast<unsigned>(TCompressMethod::cmFrozen5));
    FCompressMethod = TCompressMethod::cmFrozen5;
    FStoredDirNames = TStoredDirNames::sdRelative;
    FArcType = TArcType::atNA;
}

TLha::~TLha() = default;

void TLha::SetArcType(TArcType) {
    FArcType = FArchiveFile.empty() ? TArcType::atNA : TArcType::atLha;
    AddDefaultExt();
}

bool TLha::CompressFile(size_t index) {
    THeadObject& head = *FEntryList[index].Head;
    const std::string& path = head.SourcePath;
    std::string name;
    if (!BeginNewEntry(head, name)) return false;
    // A name the header cannot hold is refused. A name not in the archive's code
    // page is stored in UTF-8, and the header's Unix extension says that a Unix
    // host wrote it (with the file's mode and time), so that readers on Unix take
    // it as it stands.
    bool utf8 = false;
    const std::string stored = OemOrUtf8EntryName(path, name, MaxNameLength - UnixExtensionSize, utf8);
    if (stored.empty()) return false;
    std::unique_ptr<platform::File> src = OpenSource(head);
    if (!src) return false;
    const uint64_t size = SourceSize(*src, head);
    if (size > 0xFFFFFFFFull) RaiseError(path, "", "0", arcerr::TooLarge);

    const size_t extension = utf8 ? UnixExtensionSize : 0;
    std::vector<uint8_t> h(FixedSize + stored.size() + 2 + extension, 0);
    h[0] = static_cast<uint8_t>(FixedSize + stored.size() + extension);
    std::memcpy(h.data() + 2, "-lh0-", 5);
    uint32_t date = CurrentDosDateTime(head.NewDate);
    PutLE32(h.data() + 15, date);
    h[19] = static_cast<uint8_t>(head.NewAttributes & 0xFF);
    h[20] = 0; // level 0
    h[21] = static_cast<uint8_t>(stored.size());
    std::memcpy(h.data() + FixedSize, stored.data(), stored.size());
    if (utf8) {
        uint8_t* x = h.data() + FixedSize + stored.size() + 2;
        x[0] = LhaOsUnix;
        x[1] = 0; // the extension's version
        PutLE32(x + 2, static_cast<uint32_t>(platform::UnixTimeOfDos(date)));
        PutLE16(x + 6, static_cast<uint16_t>(0100000 | (head.NewMode ? (head.NewMode & 0777) : 0644)));
        // owner and group (x + 8, x + 10) stay 0: the extracting user owns the files
    }

    const int64_t start = Output().Position();
    const int64_t dataStart = start + static_cast<int64_t>(h.size());
    TPackedData data;
    char letter = '0';
    const bool written = WriteNewEntry(path, start, [&] {
        Output().Write(h.data(), h.size());
        if (size > 0) {
            auto pack = [&](TCompressMethod how, TWriterSource& in, TWriterOutput& out) {
                if (how == TCompressMethod::cmFrozen5) {
                    letter = '5';
                    return Lzh5Compress(in, out).Unpackable;
                }
                if (how == TCompressMethod::cmFrozen1) {
                    letter = '1';
                    Lh1Compress(in, out);
                    // A stream that does not gain is stored as well.
                    return out.Count >= in.Total;
                }
                letter = '0';
                StoreStream(in, out);
                return false;
            };
            data = PackEntryData(*src, dataStart, size, MethodFor(name), nullptr, pack);
        }
        h[5] = static_cast<uint8_t>(letter);
        PutLE32(h.data() + 7, static_cast<uint32_t>(data.Packed));
        PutLE32(h.data() + 11, static_cast<uint32_t>(data.Total));
        PutLE16(h.data() + FixedSize + stored.size(), data.Crc16);
        h[1] = HeaderSum(h);
        const int64_t end = dataStart + static_cast<int64_t>(data.Packed);
        Output().SetSize(end);
        Output().Seek(start);
        Output().Write(h.data(), h.size());
        Output().Seek(end);
    });
    if (!written) return false;
    head.Header = h;
    head.OriginalSize = data.Total;
    head.StoredSize = h.size() + data.Packed;
    head.DosDateTime = date;
    head.Attributes = h[19];
    head.Word = data.Crc16;
    FPackedCount = data.Packed;
    return NewEntryWritten(head, start, h.size() + data.Packed, data.Packed);
}

void TLha::ScanExistingEntries() {
    platform::File& in = ArchiveIn();
    const int64_t size = OldArchiveSize();
    TLhaReadAt readAt = [&in](int64_t pos, uint8_t* buf, int64_t n) -> int64_t {
        return static_cast<int64_t>(in.ReadAt(pos, buf, static_cast<size_t>(n)));
    };
    int64_t pos = 0;
    while (pos < size) {
        TLhaHeader h;
        TLhaHeaderStatus st = ReadLhaHeader(readAt, pos, size, h);
        if (st == TLhaHeaderStatus::lhsEnd) break;
        // An entry that cannot be walked over would be lost: leave the archive as it is.
        if (st != TLhaHeaderStatus::lhsOk || h.Next <= pos || h.Next > size)
            RaiseError(FArchiveFile, "", "0",
                       st == TLhaHeaderStatus::lhsUnsupportedLevel ? arcerr::VersionNotSupported
                                                                   : arcerr::HeaderError);
        std::string name = h.Name;
        while (name.size() > 1 && name.back() == '\\') name.pop_back();
        int64_t entryStart = pos;
        pos = h.Next;
        auto head = std::make_unique<THeadObject>();
        head->Offset = entryStart;
        head->StoredSize = static_cast<uint64_t>(h.Next - entryStart);
        head->OriginalSize = static_cast<uint64_t>(h.UnpackedSize);
        head->DosDateTime = h.HasUnixTime ? FileDosDateTime(h.UnixTime) : h.DosDateTime;
        head->Attributes = h.Level >= 2 ? uint8_t(platform::faArchive) : h.Attribute;
        head->Word = h.Crc;
        // The facts a listing tells, where a header of levels 0 and 1 keeps them.
        head->Header.assign(FixedSize, 0);
        std::memcpy(head->Header.data() + 2, h.Method, 5);
        PutLE32(head->Header.data() + 7, static_cast<uint32_t>(h.PackedSize));
        PutLE32(head->Header.data() + 11, static_cast<uint32_t>(h.UnpackedSize));
        PutLE32(head->Header.data() + 15, head->DosDateTime);
        head->Header[19] = static_cast<uint8_t>(head->Attributes);
        head->Header[20] = h.Level;
        KeepOldEntry(name, std::move(head));
    }
}

void TLha::WriteTrailer() {
    // The end mark: a header size of 0.
    const uint8_t end = 0;
    try {
        Output().Write(&end, 1);
    } catch (const std::exception& e) {
        RaiseFileError(e, arcerr::WriteError, FArchiveFile);
    }
}

void TLha::ReportNewEntries() {
    ReportEntries(FixedSize);
}

void TLha::FillEntryInfo(const THeadObject& head) {
    if (head.Header.size() < FixedSize) return TCompBase::FillEntryInfo(head);
    {
        const uint8_t* h = head.Header.data();
        FEntry.VersionMadeBy = 122;
        FEntry.VersionNeeded = 112;
        FEntry.PackedSize = LE32(h + 7);
        FEntry.UnpackedSize = LE32(h + 11);
        FEntry.CRC = head.Word;
        FEntry.MethodCode = h[5];
        MethodName(h[5], 0, FEntry.MethodText);
        FEntry.ExternalAttr = h[19];
        FEntry.Ratio = CompressRatio(FEntry.PackedSize, FEntry.UnpackedSize);
        if (static_cast<int32_t>(head.DosDateTime) > 0) FEntry.DateTime = ConvertDate(head.DosDateTime);
    }
}

} // namespace mv
