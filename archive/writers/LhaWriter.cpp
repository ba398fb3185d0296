// The LHA writer on the writer driver.
#include "archive/writers/LhaWriter.h"

#include "archive/codecs/Lh1Codec.h"
#include "archive/codecs/LzhEncode.h"
#include "archive/framework/SharedRoutines.h"
#include "archive/framework/ZipRecords.h"
#include "archive/readers/UnLhaHeader.h"
#include "archive/writers/GZipWriter.h"

#include <algorithm>
#include <cstring>

namespace mv {

using platform::Fs;

namespace {

constexpr size_t FixedSize = 22;
// Longest stored name a one-byte header size can hold.
constexpr size_t MaxNameLength = 255 - FixedSize;

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

void TLha::OldEntryFacts(const THeadObject& head, uint32_t& date, uint64_t& size, uint32_t& attr) const {
    date = head.DosDateTime;
    size = head.OriginalSize;
    attr = head.Attributes;
}

bool TLha::CompressFile(size_t index) {
    THeadObject& head = *FEntryList[index].Head;
    const std::string path = head.SourcePath;
    SetFileName(path);
    std::string name = FEntry.FileName;
    if (!BeforeCompressFile(name, FFileCount)) return false;
    std::string safe = SafeStoredName(name);
    bool utf8 = false;
    std::string stored = safe.empty() ? std::string() : AnsiToOemPath(SlashToBackslash(safe), &utf8);
    // A name the header cannot hold, or not in the archive's code page, is refused.
    if (stored.empty() || utf8 || stored.size() > MaxNameLength) {
        DoError(path, "", "0", 25243);
        return false;
    }
    FEntry.FileName = SlashToBackslash(safe);
    std::unique_ptr<platform::File> src;
    try {
        src = Fs().Open(path, platform::OpenMode::Read);
    } catch (const std::exception&) {
        FBytesLeft -= static_cast<int64_t>(head.NewSize);
        DoError(path, "", "0", wrerr::OpenError);
        return false;
    }
    uint64_t size = head.NewSize;
    try {
        size = static_cast<uint64_t>(src->Size());
    } catch (const std::exception&) {
    }
    if (size > 0xFFFFFFFFull) RaiseError(path, "", "0", wrerr::TooLarge);

    std::vector<uint8_t> h(FixedSize + stored.size() + 2, 0);
    h[0] = static_cast<uint8_t>(FixedSize + stored.size());
    std::memcpy(h.data() + 2, "-lh0-", 5);
    uint32_t date = CurrentDosDateTime(head.NewDate);
    PutLE32(h.data() + 15, date);
    h[19] = static_cast<uint8_t>(head.NewAttributes & 0xFF);
    h[20] = 0; // level 0
    h[21] = static_cast<uint8_t>(stored.size());
    std::memcpy(h.data() + FixedSize, stored.data(), stored.size());

    const int64_t start = Output().Position();
    const int64_t dataStart = start + static_cast<int64_t>(h.size());
    uint64_t packed = 0;
    uint16_t crc = 0;
    uint64_t total = 0;
    char letter = '0';
    const bool written = WriteNewEntry(path, start, [&] {
        Output().Write(h.data(), h.size());
        if (size > 0) {
            TCompressMethod method = FCompressMethod;
            if (FStoreAlreadyCompressedFiles && IsAlreadyCompressedName(name))
                method = TCompressMethod::cmStore;
            int64_t operationTotal = FTotalUnpacked;
            for (int attempt = 0; attempt < 2; ++attempt) {
                src->Seek(0);
                Output().Seek(dataStart);
                TWriterSource in(*src, [&](size_t k) {
                    if (attempt == 0) FBytesLeft -= static_cast<int64_t>(k);
                    DoProgress(static_cast<int64_t>(k), static_cast<int64_t>(size), operationTotal);
                });
                TWriterOutput out(Output(), nullptr, FCancel);
                bool unpackable = false;
                try {
                    if (method == TCompressMethod::cmFrozen5) {
                        letter = '5';
                        TLzhEncodeResult r = Lzh5Compress(in, out);
                        unpackable = r.Unpackable;
                    } else if (method == TCompressMethod::cmFrozen1) {
                        letter = '1';
                        Lh1Compress(in, out);
                        // A stream that does not gain is stored as well.
                        unpackable = out.Count >= in.Total;
                    } else {
                        letter = '0';
                        std::vector<uint8_t> buf(1 << 16);
                        for (;;) {
                            size_t n = in.Read(buf.data(), buf.size());
                            if (n == 0) break;
                            out.Write(buf.data(), n);
                            if (FCancel) break;
                        }
                    }
                } catch (const ECodecError& e) {
                    throw EEntryFailed{e.Code()};
                }
                if (FCancel) RaiseError(FArchiveFile, "", "0", wrerr::UserAbort);
                crc = in.Crc16;
                total = in.Total;
                packed = out.Count;
                FUnpackable = unpackable;
                if (!unpackable) break;
                method = TCompressMethod::cmStore;
            }
            if (total != size) throw EEntryFailed{wrerr::ReadError}; // the file changed meanwhile
        }
        h[5] = static_cast<uint8_t>(letter);
        PutLE32(h.data() + 7, static_cast<uint32_t>(packed));
        PutLE32(h.data() + 11, static_cast<uint32_t>(total));
        PutLE16(h.data() + FixedSize + stored.size(), crc);
        h[1] = HeaderSum(h);
        const int64_t end = dataStart + static_cast<int64_t>(packed);
        Output().SetSize(end);
        Output().Seek(start);
        Output().Write(h.data(), h.size());
        Output().Seek(end);
    });
    if (!written) return false;
    head.Header = h;
    head.OriginalSize = total;
    head.StoredSize = h.size() + packed;
    head.DosDateTime = date;
    head.Attributes = h[19];
    head.Word = crc;
    head.NewOffset = start;
    head.NewLength = h.size() + packed;
    FPackedCount = packed;
    FTotalPacked += static_cast<int64_t>(packed);
    if (OnEnd) OnEnd(this, FEntry.FileName, true);
    return true;
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
            RaiseError(FArchiveFile, "", "0", st == TLhaHeaderStatus::lhsUnsupportedLevel ? 25328 : 25108);
        std::string name = h.Name;
        while (name.size() > 1 && name.back() == '\\') name.pop_back();
        int64_t entryStart = pos;
        pos = h.Next;
        auto head = std::make_unique<THeadObject>();
        head->Offset = entryStart;
        head->StoredSize = static_cast<uint64_t>(h.Next - entryStart);
        head->OriginalSize = static_cast<uint64_t>(h.UnpackedSize);
        head->DosDateTime = h.Level >= 2 ? FileDosDateTime(h.UnixTime) : h.DosDateTime;
        head->Attributes = h.Level >= 2 ? platform::faArchive : h.Attribute;
        head->Word = h.Crc;
        KeepOldEntry(name, std::move(head));
    }
}

void TLha::WriteTrailer() {
    // The end mark: a header size of 0.
    const uint8_t end = 0;
    try {
        Output().Write(&end, 1);
    } catch (const std::exception& e) {
        RaiseFileError(e, wrerr::WriteError, FArchiveFile);
    }
}

void TLha::ReportNewEntries() {
    for (size_t i = 0; i < FEntryList.size(); ++i) {
        const THeadObject& head = *FEntryList[i].Head;
        if (head.Status == THeadObject::hsSkip) continue;
        FTotalUnpacked += static_cast<int64_t>(head.OriginalSize);
        if (!head.Written || FSwitch == TSwitch::swDelete || head.Header.size() < FixedSize) continue;
        const uint8_t* h = head.Header.data();
        FEntry = TArcEntryInfo{};
        FEntry.FileName = FEntryList[i].Name;
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
        if (OnRead) OnRead(this, head.NewOffset, static_cast<int>(i));
    }
}

} // namespace mv
