// The ZIP and JAR writers on the writer driver.
#include "archive/writers/ZipWriter.h"

#include "archive/codecs/DeflatePieces.h"
#include "archive/framework/Crc.h"
#include "archive/framework/DiskManager.h"
#include "archive/framework/SharedRoutines.h"
#include "archive/framework/ZipCrypt.h"
#include "archive/writers/GZipWriter.h"
#include "platform/CodePage.h"

#include <algorithm>
#include <cstring>

namespace mv {

using platform::Fs;

// ---- TZip / TJar -----------------------------------------------------------

TZip::TZip() {
    FOwnExt = ".zip";
    FDefaultExt = ".zip";
    FAllowedMethods = (1u << static_cast<unsigned>(TCompressMethod::cmStore)) |
                      (1u << static_cast<unsigned>(TCompressMethod::cmDeflate));
    FCompressMethod = TCompressMethod::cmDeflate;
    SetDeflateType(TDeflateType::dtDeflateN);
    FStoredDirNames = TStoredDirNames::sdRelative;
    FStoreAlreadyCompressedFiles = true;
    FVerifyBeforeDelete = true;
    FArcType = TArcType::atNA;
}

TZip::~TZip() = default;

void TZip::SetArcType(TArcType) {
    FArcType = FArchiveFile.empty() ? TArcType::atNA : TArcType::atZip;
    AddDefaultExt();
}

TJar::TJar() {
    FOwnExt = ".jar";
    FDefaultExt = ".jar";
}

void TJar::SetArcType(TArcType) {
    FArcType = FArchiveFile.empty() ? TArcType::atNA : TArcType::atJar;
    AddDefaultExt();
}

void TZip::OldEntryFacts(const THeadObject& head, uint32_t& date, uint64_t& size, uint32_t& attr) const {
    TByteView v(head.Header.data(), head.Header.size());
    date = v.U32(12);
    size = v.U32(24);
    attr = v.U32(38);
}

// ---- the old archive ---------------------------------------------------------

void TZip::ReadOldDirectory(std::vector<TOldEntry>& entries) {
    entries.clear();
    FArchiveComment.clear();
    FStubSize = 0;
    platform::File& in = ArchiveIn();
    const int64_t size = OldArchiveSize();
    if (size == 0) return; // an empty file holds no entries
    size_t tail = static_cast<size_t>(std::min<int64_t>(size, static_cast<int64_t>(ZipMaxEndWindow)));
    std::vector<uint8_t> buf(tail);
    int64_t tailStart = size - static_cast<int64_t>(tail);
    try {
        if (in.ReadAt(tailStart, buf.data(), tail) != tail)
            RaiseError(FArchiveFile, "", "0", arcerr::ReadError);
    } catch (const E_RAISE&) {
        throw;
    } catch (const std::exception& e) {
        RaiseFileError(e, arcerr::ReadError, FArchiveFile);
    }
    // The end record: searched backwards; it must account for its comment and
    // point at a central directory that lies before it.
    TZipEndRecord end;
    int64_t endPos = -1;
    for (size_t i = tail >= ZipEndRecordSize ? tail - ZipEndRecordSize + 1 : 0; i-- > 0;) {
        if (LE32(buf.data() + i) != ZipEndSignature) continue;
        auto st = ReadZipEndRecord(buf.data() + i, tail - i, end);
        if (st == TZipRecordStatus::zrShort || st == TZipRecordStatus::zrBadSignature) continue;
        if (i + ZipEndRecordSize + end.CommentLength > tail) continue;
        int64_t pos = tailStart + static_cast<int64_t>(i);
        if (st == TZipRecordStatus::zrZip64) RaiseError(FArchiveFile, "", "0", arcerr::TooLarge);
        if (static_cast<int64_t>(end.CentralSize) > pos) continue;
        endPos = pos;
        FArchiveComment.assign(buf.begin() + i + ZipEndRecordSize,
                               buf.begin() + i + ZipEndRecordSize + end.CommentLength);
        break;
    }
    // A non-empty file without a directory is not rewritten as a new archive:
    // that would lose everything it holds.
    if (endPos < 0) RaiseError(FArchiveFile, "", "0", arcerr::NoHeader);
    if (endPos >= 20) {
        uint8_t loc[4];
        if (in.ReadAt(endPos - 20, loc, 4) == 4 && LE32(loc) == Zip64LocatorSignature)
            RaiseError(FArchiveFile, "", "0", arcerr::TooLarge);
    }
    // A part of a spanned set cannot be updated in place.
    if (end.ThisDisk != 0 || end.CentralDisk != 0 || end.EntriesOnDisk != end.EntriesTotal)
        RaiseError(FArchiveFile, "", "0", arcerr::InvalidArcType);
    int64_t centralStart = endPos - static_cast<int64_t>(end.CentralSize);
    // Bytes in front of the archive that its offsets do not count (a stub).
    int64_t delta = centralStart - static_cast<int64_t>(end.CentralOffset);
    if (delta < 0) RaiseError(FArchiveFile, "", "0", arcerr::NoHeader);

    std::vector<uint8_t> dir(end.CentralSize);
    try {
        if (in.ReadAt(centralStart, dir.data(), dir.size()) != dir.size())
            RaiseError(FArchiveFile, "", "0", arcerr::ReadError);
    } catch (const E_RAISE&) {
        throw;
    } catch (const std::exception& e) {
        RaiseFileError(e, arcerr::ReadError, FArchiveFile);
    }
    size_t pos = 0;
    int64_t firstLocal = centralStart;
    for (uint32_t k = 0; k < end.EntriesTotal; ++k) {
        TOldEntry e;
        auto st = ReadZipCentralRecord(dir.data() + pos, dir.size() - pos, e.Record);
        if (st == TZipRecordStatus::zrZip64) RaiseError(FArchiveFile, "", "0", arcerr::TooLarge);
        if (st != TZipRecordStatus::zrOk) RaiseError(FArchiveFile, "", "0", arcerr::NoHeader);
        size_t len =
            ZipCentralRecordSize + e.Record.NameLength + e.Record.ExtraLength + e.Record.CommentLength;
        if (len > dir.size() - pos) RaiseError(FArchiveFile, "", "0", arcerr::NoHeader);
        e.Central.assign(dir.begin() + pos, dir.begin() + pos + len);
        std::string raw(reinterpret_cast<const char*>(dir.data() + pos + ZipCentralRecordSize),
                        e.Record.NameLength);
        e.Name = (e.Record.Flags & ZipFlagUtf8)
                     ? Utf8ToAnsiPath(raw)
                     : HostNameToAnsiPath(raw, ZipUnixHost(e.Record.VersionMadeBy));
        pos += len;
        // The entry's own local header says how long its extra field is.
        e.Offset = static_cast<int64_t>(e.Record.LocalHeaderOffset) + delta;
        uint8_t lh[ZipLocalHeaderSize];
        TZipLocalHeader local;
        if (e.Offset + static_cast<int64_t>(ZipLocalHeaderSize) > centralStart ||
            in.ReadAt(e.Offset, lh, sizeof lh) != sizeof lh ||
            ReadZipLocalHeader(lh, sizeof lh, local) != TZipRecordStatus::zrOk)
            RaiseError(FArchiveFile, "", "0", arcerr::NoHeader);
        int64_t dataEnd = e.Offset + static_cast<int64_t>(ZipLocalHeaderSize) + local.NameLength +
                          local.ExtraLength + static_cast<int64_t>(e.Record.CompressedSize);
        if (dataEnd > centralStart) RaiseError(FArchiveFile, "", "0", arcerr::NoHeader);
        int64_t after = dataEnd;
        if (e.Record.Flags & ZipFlagDataDescriptor) {
            // With or without its signature; a signature that is really the next
            // header is no descriptor.
            uint8_t d[4] = {};
            bool sig =
                dataEnd + 16 <= centralStart && in.ReadAt(dataEnd, d, 4) == 4 && LE32(d) == ZipSpanSignature;
            after = dataEnd + (sig ? 16 : 12);
            if (after > centralStart) RaiseError(FArchiveFile, "", "0", arcerr::NoHeader);
        }
        e.Length = static_cast<uint64_t>(after - e.Offset);
        firstLocal = std::min(firstLocal, e.Offset);
        entries.push_back(std::move(e));
    }
    FStubSize = firstLocal;
}

void TZip::ScanExistingEntries() {
    std::vector<TOldEntry> entries;
    ReadOldDirectory(entries);
    // A self-extractor stub (or any bytes before the first entry) stays in front.
    if (FStubSize > 0) {
        try {
            ArchiveIn().Seek(0);
        } catch (const std::exception& e) {
            RaiseFileError(e, arcerr::ReadError, FArchiveFile);
        }
        CopyBlock(static_cast<uint64_t>(FStubSize));
    }
    for (auto& e : entries) {
        auto head = std::make_unique<THeadObject>();
        head->Header = std::move(e.Central);
        head->Offset = e.Offset;
        head->StoredSize = e.Length;
        head->OriginalSize = e.Record.UncompressedSize;
        head->DosDateTime = e.Record.DosDateTime;
        head->Attributes = e.Record.ExternalAttributes;
        if (KeepOldEntry(e.Name, std::move(head))) FTotalUnpacked += static_cast<int64_t>(e.Length);
    }
}

void TZip::CopyEntry(size_t index) {
    THeadObject& head = *FEntryList[index].Head;
    int64_t at = Output().Position();
    if (NeedsZip64(static_cast<uint64_t>(at))) RaiseError(FArchiveFile, "", "0", arcerr::TooLarge);
    PutLE32(head.Header.data() + 42, static_cast<uint32_t>(at));
    PutLE16(head.Header.data() + 34, 0);
    head.NewOffset = at;
    head.NewLength = head.StoredSize;
    TCompBase::CopyEntry(index);
}

// ---- a new entry -------------------------------------------------------------

bool TZip::DeflatesAhead(const THeadObject& head, TDeflateOptions& options) const {
    if (MethodFor(platform::NameOf(head.SourcePath)) == TCompressMethod::cmStore) return false;
    options.Level = FDeflateLevel;
    options.WholeMemberStore = true;
    options.ClassifyText = true;
    return true;
}

bool TZip::CompressFile(size_t index) {
    THeadObject& head = *FEntryList[index].Head;
    const std::string& path = head.SourcePath;
    std::string name;
    if (!BeginNewEntry(head, name)) return false;
    FEntry.FileName = name;

    std::unique_ptr<platform::File> src = OpenSource(head);
    if (!src) return false;
    int64_t start = Output().Position();
    if (NeedsZip64(static_cast<uint64_t>(start))) RaiseError(FArchiveFile, "", "0", arcerr::TooLarge);

    bool utf8 = false;
    std::string stored = BackslashToSlash(AnsiToOemPath(name, &utf8));
    // An entry made as a Unix host makes it (with the file's mode) keeps the name
    // in UTF-8 and says so: readers on Unix take such names as they stand.
    if (head.NewMode && !utf8 && !platform::IsAscii(name)) {
        stored = BackslashToSlash(Utf8ToAnsiPath(name));
        utf8 = true;
    }
    if (stored.size() > 0xFFFF || stored.empty()) {
        DoError(path, "", "0", arcerr::InvalidName);
        return false;
    }
    const bool store = MethodFor(name) == TCompressMethod::cmStore;
    const uint64_t expected = SourceSize(*src, head);
    if (FileTooLarge(expected)) RaiseError(path, "", "0", arcerr::TooLarge);

    TZipLocalHeader local;
    local.VersionNeeded = 20;
    local.Flags = utf8 ? ZipFlagUtf8 : 0;
    bool encrypt = !FPassword.empty() && expected > 0;
    if (encrypt) local.Flags |= ZipFlagEncrypted;
    local.Method = store ? ZipMethodStored : ZipMethodDeflated;
    local.DosDateTime = CurrentDosDateTime(head.NewDate);
    local.NameLength = static_cast<uint16_t>(stored.size());
    uint8_t lh[ZipLocalHeaderSize];
    int textKind = -1;
    const bool written = WriteNewEntry(path, start, [&] {
        WriteZipLocalHeader(local, lh);
        Output().Write(lh, sizeof lh);
        Output().Write(stored.data(), stored.size());
        try {
            uint32_t preCrc = 0;
            TZipKeys keys;
            if (encrypt) {
                preCrc = SourceCrc32(*src);
                WriteEncryptHeader(keys, preCrc);
            }
            int64_t operationTotal = FTotalUnpacked;
            TWriterSource in(
                *src,
                [&](size_t k) {
                    FBytesLeft -= static_cast<int64_t>(k);
                    DoProgress(static_cast<int64_t>(k), static_cast<int64_t>(expected), operationTotal);
                },
                false);
            TWriterOutput out(Output(), encrypt ? &keys : nullptr, FCancel);
            if (store) {
                if (!StoreStream(in, out)) RaiseError(FArchiveFile, "", "0", arcerr::UserAbort);
            } else {
                TDeflateOptions o;
                o.Level = FDeflateLevel;
                o.WholeMemberStore = true;
                o.ClassifyText = true;
                TDeflateResult r = DeflateEntry(FEncoder, in, out, o);
                if (r.Cancelled) RaiseError(FArchiveFile, "", "0", arcerr::UserAbort);
                textKind = r.TextKind;
                FUnpackable = r.Unpackable;
                if (r.Unpackable)
                    local.Method = ZipMethodStored;
                else
                    local.Flags |= ZipDeflateFlagBits(FDeflateLevel);
            }
            local.Crc32 = in.Total ? (in.Crc32 ^ 0xFFFFFFFFu) : 0;
            if (FileTooLarge(in.Total)) RaiseError(path, "", "0", arcerr::TooLarge);
            // The file changed between the two passes: its check bytes are wrong.
            if (encrypt && local.Crc32 != preCrc) throw EEntryFailed{arcerr::ReadError};
            local.UncompressedSize = static_cast<uint32_t>(in.Total);
            uint64_t packed = out.Count + (encrypt ? ZipEncryptHeaderSize : 0);
            if (in.Total == 0) {
                // An empty file is stored plain, whatever was asked.
                local.Method = ZipMethodStored;
                local.Flags &= ZipFlagUtf8;
                packed = 0;
                Output().SetSize(start + static_cast<int64_t>(ZipLocalHeaderSize + stored.size()));
                Output().Seek(start + static_cast<int64_t>(ZipLocalHeaderSize + stored.size()));
            }
            if (FileTooLarge(packed) ||
                NeedsZip64(static_cast<uint64_t>(start) + ZipLocalHeaderSize + stored.size() + packed))
                RaiseError(FArchiveFile, "", "0", arcerr::TooLarge);
            local.CompressedSize = static_cast<uint32_t>(packed);
            FPackedCount = packed;
        } catch (const ECodecError& e) {
            throw EEntryFailed{e.Code()};
        }
        int64_t endPos = Output().Position();
        WriteZipLocalHeader(local, lh);
        Output().Seek(start);
        Output().Write(lh, sizeof lh);
        Output().Seek(endPos);
    });
    if (!written) return false;

    TZipCentralRecord c;
    // A file found with Unix permissions is stored as a Unix host stores it, so
    // that they come back on extraction; the DOS attributes stay in the low byte.
    c.VersionMadeBy = head.NewMode ? ZipMadeByUnix : 20;
    c.VersionNeeded = 9;
    c.Flags = local.Flags;
    c.Method = local.Method;
    c.DosDateTime = local.DosDateTime;
    c.Crc32 = local.Crc32;
    c.CompressedSize = local.CompressedSize;
    c.UncompressedSize = local.UncompressedSize;
    c.NameLength = local.NameLength;
    // 1 ("text") only for what looks like text: readers that convert line ends
    // of text entries must not touch binary ones.
    c.InternalAttributes = textKind == 1 ? 1 : 0;
    c.ExternalAttributes =
        head.NewMode ? ZipUnixAttributes(head.NewAttributes, head.NewMode) : head.NewAttributes;
    c.LocalHeaderOffset = static_cast<uint32_t>(start);
    head.Header.assign(ZipCentralRecordSize, 0);
    WriteZipCentralRecord(c, head.Header.data());
    head.Header.insert(head.Header.end(), stored.begin(), stored.end());
    head.OriginalSize = c.UncompressedSize;
    head.StoredSize = c.CompressedSize;
    head.DosDateTime = c.DosDateTime;
    head.Attributes = c.ExternalAttributes;
    return NewEntryWritten(head, start, ZipLocalHeaderSize + stored.size() + c.CompressedSize,
                           c.CompressedSize);
}

// ---- the directory -------------------------------------------------------------

void TZip::WriteTrailer() {
    try {
        int64_t start = Output().Position();
        if (NeedsZip64(static_cast<uint64_t>(start))) RaiseError(FArchiveFile, "", "0", arcerr::TooLarge);
        uint64_t count = 0;
        std::vector<uint8_t> dir;
        for (const auto& line : FEntryList) {
            const THeadObject& head = *line.Head;
            if (head.Status == THeadObject::hsSkip) continue;
            dir.insert(dir.end(), head.Header.begin(), head.Header.end());
            ++count;
        }
        if (NeedsZip64Count(count) || NeedsZip64(static_cast<uint64_t>(start) + dir.size()))
            RaiseError(FArchiveFile, "", "0", arcerr::TooLarge);
        Output().Write(dir.data(), dir.size());
        TZipEndRecord end;
        end.EntriesOnDisk = end.EntriesTotal = static_cast<uint16_t>(count);
        end.CentralSize = static_cast<uint32_t>(dir.size());
        end.CentralOffset = static_cast<uint32_t>(start);
        end.CommentLength = static_cast<uint16_t>(FArchiveComment.size());
        uint8_t er[ZipEndRecordSize];
        WriteZipEndRecord(end, er);
        Output().Write(er, sizeof er);
        if (!FArchiveComment.empty()) Output().Write(FArchiveComment.data(), FArchiveComment.size());
    } catch (const E_RAISE&) {
        throw;
    } catch (const std::exception& e) {
        RaiseFileError(e, arcerr::WriteError, FArchiveFile);
    }
}

bool TZip::ReadBackNames(std::unordered_set<std::string>& names) {
    if (!FSpanned) return TCompBase::ReadBackNames(names);
    names = FSpanNames;
    return true;
}

bool TZip::ReplaceArchive() {
    FSpanned = false;
    FSpanNames.clear();
    if (FWriter) return TCompBase::ReplaceArchive();
    uint64_t size = 0, room = 0;
    try {
        size = static_cast<uint64_t>(FTempFile->Size());
        platform::SpaceInfo space;
        int err = 0;
        std::string dir = platform::DirectoryOf(FArchiveFile);
        if (Fs().GetSpace(dir.empty() ? "." : dir, space, err)) room = space.FreeBytes;
        platform::FileInfo old;
        if (Fs().Stat(FArchiveFile, old)) room += old.Size;
    } catch (const std::exception& e) {
        RaiseFileError(e, arcerr::WriteError, FArchiveFile);
    }
    if (size <= room) return TCompBase::ReplaceArchive();
    SpanArchive();
    return true;
}

void TZip::SpanArchive() {
    // Without a way to ask for the next disk the set could never be finished:
    // refused before anything on the disk is touched.
    if (!OnInsertDiskette) RaiseError(FArchiveFile, "OnInsertDiskette", "0", arcerr::EventNotAssigned);
    FArchiveIn.reset();
    platform::File& temp = *FTempFile;
    std::unique_ptr<platform::File> disk;
    int diskNumber = -1; // number of this disk, 0 for the first
    uint64_t left = 0;   // bytes left on this disk
    // What was written on the disk last finished, to know it when it is still in
    // the drive: its serial, and the size and CRC of its part.
    uint32_t diskCrc = CrcSeed;
    uint64_t diskBytes = 0;
    uint32_t writtenSerial = 0;
    uint64_t writtenBytes = 0;
    uint32_t writtenCrc = 0;
    const std::string dir = platform::DirectoryOf(FArchiveFile);
    const std::string drive = dir.empty() ? "." : dir;
    auto readSpace = [&](uint64_t& freeBytes, uint64_t& totalBytes) {
        platform::SpaceInfo space;
        int err = 0;
        freeBytes = totalBytes = 0;
        if (Fs().GetSpace(drive, space, err)) {
            freeBytes = space.FreeBytes;
            totalBytes = space.TotalBytes;
        }
    };
    // The disk in the drive holds the part written last: its serial says so when
    // the media have serials, else the part itself, byte for byte.
    auto holdsWrittenPart = [&]() {
        if (diskNumber < 0) return false;
        DiskManager().ReadDiskInfo();
        if (writtenSerial != 0 && DiskManager().Serial() != 0) return DiskManager().Serial() == writtenSerial;
        platform::FileInfo info;
        if (!Fs().Stat(FArchiveFile, info) || info.Size != writtenBytes) return false;
        try {
            auto f = Fs().Open(FArchiveFile, platform::OpenMode::Read);
            return StreamCRC32(*f) == writtenCrc;
        } catch (const std::exception&) {
            return false;
        }
    };
    // A user who never changes the disk is not asked forever.
    constexpr int MaxDiskRequests = 10;
    auto nextDisk = [&]() {
        if (disk) {
            // Everything must be on the medium before the user takes it out.
            disk->Flush();
            disk->Close();
            disk.reset();
            DiskManager().ReadDiskInfo();
            writtenSerial = DiskManager().Serial();
            writtenBytes = diskBytes;
            writtenCrc = diskCrc;
        }
        int wanted = diskNumber + 2; // label number of the disk to come
        uint64_t freeBytes = 0, totalBytes = 0;
        readSpace(freeBytes, totalBytes);
        if (diskNumber < 0) {
            // The first disk is the one in the drive: an old archive on it is
            // written over, so its room counts.
            platform::FileInfo old;
            if (Fs().Stat(FArchiveFile, old) && old.IsRegular) freeBytes += old.Size;
        }
        // Every disk after the first is asked for: the one in the drive holds the
        // part just written.
        if (diskNumber >= 0 || freeBytes <= 33) {
            for (int request = 0;; ++request) {
                if (request == MaxDiskRequests)
                    RaiseError(FArchiveFile, "", std::to_string(wanted), arcerr::WriteError);
                bool cancel = true;
                OnInsertDiskette(this, std::to_string(wanted), static_cast<int64_t>(totalBytes),
                                 static_cast<int64_t>(freeBytes), cancel);
                if (cancel) {
                    FCancel = true;
                    RaiseError(FArchiveFile, "", std::to_string(wanted), arcerr::UserAbort);
                }
                if (holdsWrittenPart()) {
                    readSpace(freeBytes, totalBytes);
                    continue;
                }
                platform::FileInfo existing;
                if (Fs().Stat(FArchiveFile, existing)) {
                    TOverwriteMode mode = TOverwriteMode::omOverwrite;
                    if (OnFileExists)
                        OnFileExists(this, FArchiveFile, ConvertDate(FileDosDateTime(existing.ModTime)),
                                     mode);
                    if (mode == TOverwriteMode::omSkip) {
                        FCancel = true;
                        RaiseError(FArchiveFile, "", std::to_string(wanted), arcerr::UserAbort);
                    }
                    Fs().RemoveFile(FArchiveFile);
                }
                readSpace(freeBytes, totalBytes);
                if (freeBytes > 29) break;
            }
        }
        ++diskNumber;
        if (!DiskManager().SetVolumeLabel(TDiskManager::SpanDiskLabel(diskNumber + 1)))
            DoError(FArchiveFile, "", std::to_string(diskNumber + 1), arcerr::VolumeLabelWriteError);
        disk = Fs().Open(FArchiveFile, platform::OpenMode::CreateTruncate);
        left = freeBytes;
        diskCrc = CrcSeed;
        diskBytes = 0;
    };
    auto put = [&](const uint8_t* p, size_t n) {
        while (n > 0) {
            if (left == 0) nextDisk();
            size_t k = static_cast<size_t>(std::min<uint64_t>(n, left));
            disk->Write(p, k);
            UpdateCRC32(p, k, diskCrc);
            diskBytes += k;
            left -= k;
            p += k;
            n -= k;
        }
    };
    try {
        DiskManager().SetDrive(drive);
        nextDisk();
        uint8_t marker[4];
        PutLE32(marker, ZipSpanSignature);
        put(marker, 4);
        std::vector<uint8_t> buf(1 << 16);
        uint64_t count = 0;
        int64_t total = 0;
        for (auto& line : FEntryList)
            if (line.Head->Status != THeadObject::hsSkip) total += static_cast<int64_t>(line.Head->NewLength);
        int64_t done = 0;
        for (auto& line : FEntryList) {
            THeadObject& head = *line.Head;
            if (head.Status == THeadObject::hsSkip) continue;
            if (left < ZipLocalHeaderSize) nextDisk();
            PutLE32(head.Header.data() + 42, static_cast<uint32_t>(disk->Position()));
            PutLE16(head.Header.data() + 34, static_cast<uint16_t>(diskNumber));
            ++count;
            temp.Seek(head.NewOffset);
            uint64_t length = head.NewLength;
            while (length > 0) {
                size_t piece = static_cast<size_t>(std::min<uint64_t>(length, buf.size()));
                temp.ReadExact(buf.data(), piece);
                put(buf.data(), piece);
                length -= piece;
                done += static_cast<int64_t>(piece);
                DoProgress(done, total, total);
            }
        }
        if (left == 0) nextDisk();
        uint16_t centralDisk = static_cast<uint16_t>(diskNumber);
        uint32_t centralOffset = static_cast<uint32_t>(disk->Position());
        uint64_t centralSize = 0;
        for (auto& line : FEntryList) {
            const THeadObject& head = *line.Head;
            if (head.Status == THeadObject::hsSkip) continue;
            put(head.Header.data(), head.Header.size());
            centralSize += head.Header.size();
        }
        if (left < ZipEndRecordSize) nextDisk();
        TZipEndRecord end;
        end.ThisDisk = static_cast<uint16_t>(diskNumber);
        end.CentralDisk = centralDisk;
        end.EntriesOnDisk = end.EntriesTotal = static_cast<uint16_t>(count);
        end.CentralSize = static_cast<uint32_t>(centralSize);
        end.CentralOffset = centralOffset;
        end.CommentLength = static_cast<uint16_t>(FArchiveComment.size());
        uint8_t er[ZipEndRecordSize];
        WriteZipEndRecord(end, er);
        put(er, sizeof er);
        if (!FArchiveComment.empty()) put(FArchiveComment.data(), FArchiveComment.size());
        disk->Flush();
        disk->Close();
        disk.reset();
        // The last disk, with the directory, read back as it stands on the medium.
        {
            auto back = Fs().Open(FArchiveFile, platform::OpenMode::Read);
            if (static_cast<uint64_t>(back->Size()) != diskBytes || StreamCRC32(*back) != diskCrc)
                RaiseError(FArchiveFile, "", std::to_string(diskNumber + 1), arcerr::WriteError);
        }
        for (const auto& line : FEntryList)
            if (line.Head->Status != THeadObject::hsSkip) FSpanNames.insert(line.Name);
        FSpanned = true;
    } catch (const E_RAISE&) {
        throw;
    } catch (const std::exception& e) {
        RaiseFileError(e, arcerr::WriteError, FArchiveFile);
    }
}

void TZip::SetEntryInfo(const uint8_t* central, const std::string& name) {
    TZipCentralRecord c;
    ReadZipCentralRecord(central, ZipCentralRecordSize, c);
    FEntry = TArcEntryInfo{};
    FEntry.FileName = name;
    FEntry.VersionMadeBy = c.VersionMadeBy;
    FEntry.VersionNeeded = c.VersionNeeded;
    FEntry.PackedSize = c.CompressedSize;
    FEntry.UnpackedSize = c.UncompressedSize;
    FEntry.CRC = c.Crc32;
    FEntry.Encrypted = (c.Flags & ZipFlagEncrypted) != 0;
    FEntry.MethodCode = c.Method;
    MethodName(c.Method, c.Flags, FEntry.MethodText);
    FEntry.ExternalAttr = c.ExternalAttributes;
    FEntry.InternalAttr = c.InternalAttributes;
    FEntry.Ratio = CompressRatio(c.CompressedSize, c.UncompressedSize);
    if (static_cast<int32_t>(c.DosDateTime) > 0) FEntry.DateTime = ConvertDate(c.DosDateTime);
}

void TZip::ReportNewEntries() {
    for (size_t i = 0; i < FEntryList.size(); ++i) {
        const THeadObject& head = *FEntryList[i].Head;
        if (head.Status == THeadObject::hsSkip) continue;
        TByteView v(head.Header.data(), head.Header.size());
        FTotalUnpacked += v.U32(24);
        if (!head.Written || FSwitch == TSwitch::swDelete) continue;
        SetEntryInfo(head.Header.data(), FEntryList[i].Name);
        if (OnRead) OnRead(this, v.U32(42), static_cast<int>(i));
    }
}

void TZip::ListExistingEntries() {
    FFileCount = 0;
    if (!OnRead) return;
    try {
        FArchiveIn = Fs().Open(FArchiveFile, platform::OpenMode::Read);
        std::vector<TOldEntry> entries;
        ReadOldDirectory(entries);
        for (const auto& e : entries) {
            SetEntryInfo(e.Central.data(), e.Name);
            BeforeListEntry(e.Name);
            ++FFileCount;
            OnRead(this, e.Offset, FFileCount);
        }
    } catch (const E_RAISE&) {
    } catch (const std::exception&) {
        DoError(FArchiveFile, "", "0", arcerr::ReadError);
    }
    FArchiveIn.reset();
}

} // namespace mv
