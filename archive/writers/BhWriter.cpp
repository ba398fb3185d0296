// The BH writer on the writer driver.
#include "archive/writers/BhWriter.h"

#include "archive/codecs/LzhEncode.h"
#include "archive/framework/Crc.h"
#include "archive/framework/SharedRoutines.h"
#include "archive/framework/ZipCrypt.h"
#include "archive/framework/ZipRecords.h"
#include "archive/writers/GZipWriter.h"

#include <algorithm>
#include <cstring>

namespace mv {

using platform::Fs;

namespace {

constexpr size_t HeaderSize = 37;
constexpr uint32_t BhSignature = 0x07054842;

} // namespace

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

void TBlakHole::OldEntryFacts(const THeadObject& head, uint32_t& date, uint64_t& size, uint32_t& attr) const {
    date = head.DosDateTime;
    size = head.OriginalSize;
    attr = head.Attributes;
}

bool TBlakHole::CompressFile(size_t index) {
    THeadObject& head = *FEntryList[index].Head;
    const std::string path = head.SourcePath;
    SetFileName(path);
    std::string name = FEntry.FileName;
    if (!BeforeCompressFile(name, FFileCount)) return false;
    std::string safe = SafeStoredName(name);
    bool utf8 = false;
    std::string stored = safe.empty() ? std::string() : BackslashToSlash(AnsiToOemPath(safe, &utf8));
    if (stored.empty() || utf8 || stored.size() > 0xFFFF - HeaderSize) {
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
    if (size > 0xFFFFFFF0ull) RaiseError(path, "", "0", wrerr::TooLarge);

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
    uint64_t packed = 0;
    uint32_t crc = 0;
    uint8_t method = 0, flags = 0;
    const bool written = WriteNewEntry(path, start, [&] {
        Output().Write(h, HeaderSize);
        Output().Write(stored.data(), stored.size());
        if (size > 0) {
            uint32_t preCrc = 0;
            if (encrypt) {
                // The check bytes of the encryption header need the CRC first.
                try {
                    preCrc = StreamCRC32(*src) ^ 0xFFFFFFFFu;
                } catch (const std::exception&) {
                    throw EEntryFailed{wrerr::ReadError};
                }
            }
            TCompressMethod how = FCompressMethod;
            if (FStoreAlreadyCompressedFiles && IsAlreadyCompressedName(name)) how = TCompressMethod::cmStore;
            int64_t operationTotal = FTotalUnpacked;
            for (int attempt = 0; attempt < 2; ++attempt) {
                src->Seek(0);
                Output().Seek(dataStart);
                TZipKeys keys;
                if (encrypt) {
                    // A fresh encryption header for each attempt.
                    uint8_t eh[ZipEncryptHeaderSize];
                    ZipMakeEncryptHeader(keys, FPassword, preCrc, eh);
                    Output().Write(eh, sizeof eh);
                }
                TWriterSource in(*src, [&](size_t k) {
                    if (attempt == 0) FBytesLeft -= static_cast<int64_t>(k);
                    DoProgress(static_cast<int64_t>(k), static_cast<int64_t>(size), operationTotal);
                });
                TWriterOutput out(Output(), encrypt ? &keys : nullptr, FCancel);
                bool unpackable = false;
                flags = encrypt ? 1 : 0;
                try {
                    if (how == TCompressMethod::cmFuse) {
                        method = 1;
                        unpackable = FuseCompress(in, out).Unpackable;
                    } else if (how == TCompressMethod::cmDeflate) {
                        method = 8;
                        TDeflateOptions o;
                        o.Level = FDeflateLevel;
                        o.WholeMemberStore = true;
                        TDeflateResult r = FEncoder.Deflate(in, out, o);
                        if (r.Unpackable)
                            method = 0; // the raw bytes were written: a stored entry
                        else
                            flags |= static_cast<uint8_t>(ZipDeflateFlagBits(FDeflateLevel));
                    } else {
                        method = 0;
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
                crc = in.Crc32 ^ 0xFFFFFFFFu;
                packed = out.Count + (encrypt ? ZipEncryptHeaderSize : 0);
                if (in.Total != size || (encrypt && crc != preCrc))
                    throw EEntryFailed{wrerr::ReadError}; // the file changed meanwhile
                FUnpackable = unpackable;
                if (!unpackable) break;
                how = TCompressMethod::cmStore;
            }
        }
        h[9] = flags;
        h[10] = method;
        PutLE32(h + 15, static_cast<uint32_t>(packed));
        PutLE32(h + 23, crc);
        const int64_t end = dataStart + static_cast<int64_t>(packed);
        Output().SetSize(end);
        Output().Seek(start);
        Output().Write(h, HeaderSize);
        Output().Seek(end);
    });
    if (!written) return false;
    head.Header.assign(h, h + HeaderSize);
    head.OriginalSize = size;
    head.StoredSize = HeaderSize + stored.size() + packed;
    head.DosDateTime = date;
    head.Attributes = LE16(h + 27);
    head.NewOffset = start;
    head.NewLength = head.StoredSize;
    FPackedCount = packed;
    FTotalPacked += static_cast<int64_t>(packed);
    if (OnEnd) OnEnd(this, FEntry.FileName, true);
    return true;
}

void TBlakHole::ScanExistingEntries() {
    platform::File& in = ArchiveIn();
    const int64_t size = OldArchiveSize();
    int64_t pos = 0;
    uint8_t h[HeaderSize];
    while (pos < size) {
        // Anything but a whole entry would be lost: leave the archive as it is.
        if (pos + static_cast<int64_t>(HeaderSize) > size || in.ReadAt(pos, h, HeaderSize) != HeaderSize ||
            LE32(h) != BhSignature)
            RaiseError(FArchiveFile, "", "0", wrerr::NoHeader);
        uint16_t nameLength = LE16(h + 33);
        uint16_t headerSize = LE16(h + 4);
        int64_t next = pos + std::max<int64_t>(headerSize, HeaderSize + nameLength) + LE32(h + 15);
        if (nameLength == 0 || next <= pos || next > size) RaiseError(FArchiveFile, "", "0", wrerr::NoHeader);
        std::string raw(nameLength, '\0');
        if (in.ReadAt(pos + static_cast<int64_t>(HeaderSize), raw.data(), nameLength) != nameLength)
            RaiseError(FArchiveFile, "", "0", wrerr::ReadError);
        std::string name = OemToAnsiPath(SlashToBackslash(raw));
        int64_t entryStart = pos;
        pos = next;
        auto head = std::make_unique<THeadObject>();
        head->Header.assign(h, h + HeaderSize);
        head->Offset = entryStart;
        head->StoredSize = static_cast<uint64_t>(next - entryStart);
        head->OriginalSize = LE32(h + 19);
        head->DosDateTime = LE32(h + 11);
        head->Attributes = LE16(h + 27);
        KeepOldEntry(name, std::move(head));
    }
}

void TBlakHole::ReportNewEntries() {
    for (size_t i = 0; i < FEntryList.size(); ++i) {
        const THeadObject& head = *FEntryList[i].Head;
        if (head.Status == THeadObject::hsSkip) continue;
        FTotalUnpacked += static_cast<int64_t>(head.OriginalSize);
        if (!head.Written || FSwitch == TSwitch::swDelete || head.Header.size() < HeaderSize) continue;
        const uint8_t* h = head.Header.data();
        FEntry = TArcEntryInfo{};
        FEntry.FileName = FEntryList[i].Name;
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
        if (OnRead) OnRead(this, head.NewOffset, static_cast<int>(i));
    }
}

} // namespace mv
