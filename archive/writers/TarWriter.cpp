// The TAR writer on the writer driver.
#include "archive/writers/TarWriter.h"

#include "archive/formats/tar/TarFormat.h"
#include "archive/framework/SharedRoutines.h"
#include "archive/writers/GZipWriter.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <cstring>
#include <ctime>

namespace mv {

using platform::Fs;

namespace {

constexpr size_t Block = 512;

// A header with the common fields: name (at most 100 bytes), mode, owner,
// size, time, type and the ustar magic. mode: the file's permission bits (0:
// none known, read and write for all, as a new file gets them before the umask).
void MakeHeader(uint8_t* h, const std::string& name, uint64_t size, int64_t mtime, char type,
                uint32_t mode = 0) {
    std::memset(h, 0, Block);
    std::memcpy(h, name.data(), std::min<size_t>(name.size(), 100));
    IntToOctalField(0100000 | (mode ? (mode & 07777) : 0666), 8, true, h + 100);
    IntToOctalField(0, 8, true, h + 108);
    IntToOctalField(0, 8, true, h + 116);
    IntToOctalField(size, 12, false, h + 124);
    IntToOctalField(static_cast<uint64_t>(std::max<int64_t>(mtime, 0)), 12, false, h + 136);
    h[156] = static_cast<uint8_t>(type);
    std::memcpy(h + 257, "ustar", 6);
    std::memcpy(h + 263, "00", 2);
    WriteTarChecksum(h);
}

} // namespace

TTar::TTar() {
    FOwnExt = ".tar";
    FDefaultExt = ".tar";
    FAllowedMethods = (1u << static_cast<unsigned>(TCompressMethod::cmTarred)) |
                      (1u << static_cast<unsigned>(TCompressMethod::cmGzipTar));
    FCompressMethod = TCompressMethod::cmTarred;
    FStoredDirNames = TStoredDirNames::sdRelative;
    FArcType = TArcType::atTar;
}

TTar::~TTar() = default;

void TTar::SetArcType(TArcType) {
    FArcType = TArcType::atTar;
    AddDefaultExt();
}

bool TTar::CompressFile(size_t index) {
    THeadObject& head = *FEntryList[index].Head;
    const std::string& path = head.SourcePath;
    std::string name;
    if (!BeginNewEntry(head, name)) return false;
    std::string stored = SafeStoredName(name);
    if (stored.empty()) {
        DoError(path, "", "0", arcerr::InvalidName);
        return false;
    }
    FEntry.FileName = SlashToBackslash(stored);
    std::unique_ptr<platform::File> src = OpenSource(head);
    if (!src) return false;
    platform::FileInfo info;
    if (!Fs().Stat(path, info)) info.ModTime = 0;
    int64_t mtime = info.ModTime;
    if (FDateAttribute == TDateAttribute::daSysDate)
        mtime = static_cast<int64_t>(std::time(nullptr));
    else if (FDateAttribute == TDateAttribute::daMaxFileDate)
        mtime = DateTimeToUnixTime(DosDateTimeToDateTime(FMaxFileDate));

    int64_t start = Output().Position();
    uint8_t h[Block];
    uint64_t copied = 0;
    const bool written = WriteNewEntry(path, start, [&] {
        if (stored.size() > 100) {
            // The whole name in a long-name record before the header.
            std::string data = stored + '\0';
            MakeHeader(h, "././@LongLink", data.size(), 0, 'L');
            Output().Write(h, Block);
            data.resize((data.size() + Block - 1) / Block * Block, '\0');
            Output().Write(data.data(), data.size());
        }
        int64_t headerPos = Output().Position();
        MakeHeader(h, stored.substr(0, 100), head.NewSize, mtime, '0', head.NewMode);
        Output().Write(h, Block);
        std::vector<uint8_t> buf(1 << 16);
        int64_t operationTotal = FTotalUnpacked;
        for (;;) {
            size_t n;
            try {
                n = src->Read(buf.data(), buf.size());
            } catch (const std::exception&) {
                throw EEntryFailed{arcerr::ReadError};
            }
            if (n == 0) break;
            Output().Write(buf.data(), n);
            copied += n;
            FBytesLeft -= static_cast<int64_t>(n);
            DoProgress(static_cast<int64_t>(n), static_cast<int64_t>(head.NewSize), operationTotal);
            if (FCancel) RaiseError(FArchiveFile, "", "0", arcerr::UserAbort);
        }
        if (copied != head.NewSize) {
            // The file changed since it was found: the header tells what was copied.
            MakeHeader(h, stored.substr(0, 100), copied, mtime, '0', head.NewMode);
            int64_t end = Output().Position();
            Output().Seek(headerPos);
            Output().Write(h, Block);
            Output().Seek(end);
        }
        size_t pad = static_cast<size_t>((Block - copied % Block) % Block);
        if (pad) {
            std::vector<uint8_t> zeros(pad, 0);
            Output().Write(zeros.data(), pad);
        }
    });
    if (!written) return false;
    head.Header.assign(h, h + Block);
    head.OriginalSize = head.StoredSize = copied;
    head.DosDateTime = FileDosDateTime(mtime);
    head.Attributes = head.NewAttributes;
    return NewEntryWritten(head, start, static_cast<uint64_t>(Output().Position() - start), copied);
}

void TTar::ScanExistingEntries() {
    platform::File& in = ArchiveIn();
    const int64_t size = OldArchiveSize();
    int64_t pos = 0, entryStart = 0;
    TTarPending pending;
    bool waiting = false; // long-name or extended headers wait for their entry
    uint8_t h[Block];
    while (pos + static_cast<int64_t>(Block) <= size) {
        if (in.ReadAt(pos, h, Block) != Block) RaiseError(FArchiveFile, "", "0", arcerr::ReadError);
        if (TarIsZeroBlock(h)) break; // the end blocks
        // A header that is not one would drop what follows it: refuse the update.
        if (!TarChecksumMatches(h)) RaiseError(FArchiveFile, "", "0", arcerr::NoHeader);
        TTarHeader header = ReadTarHeader(h);
        if (!header.SizeValid || header.Size > size) RaiseError(FArchiveFile, "", "0", arcerr::NoHeader);
        const int64_t next = pos + static_cast<int64_t>(Block) + header.PaddedSize();
        if (next > size) RaiseError(FArchiveFile, "", "0", arcerr::NoHeader);
        if (!waiting) entryStart = pos;
        if (header.Type == TarTypeLongName || header.Type == TarTypeLongLink || header.Type == TarTypePax) {
            if (header.Size <= TarMaxRecord) {
                std::string d(static_cast<size_t>(header.Size), '\0');
                if (in.ReadAt(pos + static_cast<int64_t>(Block), d.data(), d.size()) != d.size())
                    RaiseError(FArchiveFile, "", "0", arcerr::ReadError);
                pending.Take(header.Type, d);
            }
            waiting = true;
            pos = next;
            continue;
        }
        pending.Apply(header);
        std::string name = header.Name;
        if (header.Type == TarTypePaxGlobal)
            name.assign(1, '\x01').append(std::to_string(pos)); // a global header names no file
        waiting = false;
        std::string entryName = SlashToBackslash(name);
        while (entryName.size() > 1 && entryName.back() == '\\') entryName.pop_back();
        pos = next;
        auto head = std::make_unique<THeadObject>();
        head->Header.assign(h, h + Block);
        head->Offset = entryStart;
        head->StoredSize = static_cast<uint64_t>(next - entryStart);
        head->OriginalSize = static_cast<uint64_t>(header.Size);
        head->DosDateTime = FileDosDateTime(std::max<int64_t>(header.MTime, 0));
        head->Attributes = platform::faArchive;
        KeepOldEntry(entryName, std::move(head));
    }
}

void TTar::WriteTrailer() {
    std::vector<uint8_t> zeros(2 * Block, 0);
    try {
        Output().Write(zeros.data(), zeros.size());
    } catch (const std::exception& e) {
        RaiseFileError(e, arcerr::WriteError, FArchiveFile);
    }
}

void TTar::ReportNewEntries() {
    ReportEntries(Block);
}

void TTar::FillEntryInfo(const THeadObject& head) {
    if (head.Header.size() < Block) return TCompBase::FillEntryInfo(head);
    {
        const uint8_t* h = head.Header.data();
        uint64_t mtime = 0, sum = 0;
        OctalStrToInt(std::string_view(reinterpret_cast<const char*>(h + 136), 12), mtime);
        OctalStrToInt(std::string_view(reinterpret_cast<const char*>(h + 148), 8), sum);
        FEntry.DateTime = UnixTimeToDateTime(static_cast<int64_t>(mtime));
        FEntry.PackedSize = FEntry.UnpackedSize = static_cast<int64_t>(head.OriginalSize);
        FEntry.CRC = static_cast<uint32_t>(sum);
        FEntry.MethodText = "Tarred";
        FEntry.MethodCode = 0;
        FEntry.ExternalAttr = 32;
        FEntry.Ratio = CompressRatio(FEntry.PackedSize, FEntry.UnpackedSize);
    }
}

namespace {

// The file begins with the gzip magic.
bool IsGzipFile(const std::string& path) {
    try {
        auto f = platform::Fs().Open(path, platform::OpenMode::Read);
        uint8_t magic[2] = {};
        return f && f->Read(magic, 2) == 2 && magic[0] == 0x1F && magic[1] == 0x8B;
    } catch (const std::exception&) {
        return false;
    }
}

// A name that already says gzip: the tar.gz keeps it.
bool HasGzipExtension(const std::string& path) {
    std::string lower = path;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    auto endsWith = [&](const char* ext) {
        const size_t n = std::strlen(ext);
        return lower.size() > n && lower.compare(lower.size() - n, n, ext) == 0;
    };
    return endsWith(".tgz") || endsWith(".gz");
}

} // namespace

void TTar::CompressArchive() {
    if (RefusesPassword()) return;
    if (FCompressMethod == TCompressMethod::cmGzipTar && FSwitch != TSwitch::swRead &&
        IsGzipFile(FArchiveFile)) {
        // The tar is written under the archive's name and gzipped afterwards:
        // an existing tar.gz would be read as a tar and replaced by the new
        // files alone. Refused before anything is written.
        DoError(FArchiveFile, "", "0", arcerr::InvalidArcType);
        return;
    }
    TCompBase::CompressArchive();
}

bool TTar::ReadBackNames(std::unordered_set<std::string>& names) {
    if (FCompressMethod != TCompressMethod::cmGzipTar) return TCompBase::ReadBackNames(names);
    names = FTarNames;
    return FTarNamesRead;
}

void TTar::AfterCompress() {
    if (FCompressMethod != TCompressMethod::cmGzipTar || !FReplaced) return;
    // Moved sources are checked against the tar before it is gzipped.
    FTarNamesRead = FSwitch == TSwitch::swMove && FVerifyBeforeDelete && TCompBase::ReadBackNames(FTarNames);
    try {
        TGZip gz;
        std::string tarName = FArchiveFile;
        gz.SetDefaultExt(".gz");
        gz.SetArchiveFile(tarName + ".gz");
        gz.FileSpecList().clear();
        gz.FileSpecList().push_back(tarName);
        // The tar goes only once its member was written.
        gz.SetSwitch(TSwitch::swMove);
        gz.SetDeleteOptions(TDeleteOptions::doFinal); // the intermediate tar is no user's file
        gz.SetRecurseDirs(false);
        gz.SetStoredDirNames(TStoredDirNames::sdNone);
        gz.SetDefaultDir(DefaultDir());
        gz.SetConfirmOverwrites(false);
        gz.OnBegin = OnBegin;
        gz.OnEnd = OnEnd;
        gz.OnProgress = OnProgress;
        gz.OnError = OnError;
        gz.Compress();
        if (gz.Cancel()) FCancel = true;
        // x.tgz became x.tgz.gz and the tar x.tgz went: the tar.gz takes its name.
        const std::string gzName = tarName + ".gz";
        if (HasGzipExtension(tarName) && platform::Exists(gzName) && !platform::Exists(tarName))
            platform::Fs().Rename(gzName, tarName);
        ActiveArchiveComponent = this;
    } catch (...) {
    }
}

} // namespace mv
