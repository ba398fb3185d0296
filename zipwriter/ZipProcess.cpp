// The run behind Zip and DeleteEntries: expands the files to add, walks the
// entries of the existing archive (copying kept ones byte for byte, replacing
// or deleting matched ones), compresses and writes the new files through the
// shared deflate encoder, writes the central directory and the end record
// (over several parts when spanning), and puts the new archive in place of the
// old one by a rename once everything is written and flushed.
//
// New files are deflated on every core: while one file is written, worker
// threads already compress the files after it (TDeflateAhead), and a large file
// is cut into pieces compressed at once. Everything the caller sees (events,
// progress, the pump and its cancel) stays on the calling thread and in file
// order, and the archive is the same byte for byte whatever the thread count.
#include "archive/codecs/DeflatePieces.h"
#include "archive/framework/Crc.h"
#include "archive/framework/ZipRecords.h"
#include "platform/CodePage.h"
#include "platform/LocalTime.h"
#include "zipwriter/WildMatch.h"
#include "zipwriter/ZipEngine.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <random>
#include <unordered_map>

namespace mv {

using platform::Fs;

namespace {

constexpr size_t StoreBlock = 16000;
constexpr int64_t MinBlockSize = 65536;
constexpr uint64_t MaxZipValue = 0xFFFFFFFEull;

bool EndsWithSlash(const std::string& s) {
    return !s.empty() && s.back() == '/';
}

// A stored folder made safe: no leading "/", no "." or ".." components, "/" at the end.
std::string CleanFolder(const std::string& folder) {
    std::string out;
    size_t p = 0;
    while (p < folder.size()) {
        size_t q = folder.find('/', p);
        if (q == std::string::npos) q = folder.size();
        std::string part = folder.substr(p, q - p);
        if (!part.empty() && part != "." && part != "..") out += part + "/";
        p = q + 1;
    }
    return out;
}

// A path made comparable: no "./" steps, no doubled "/".
std::string NormalPath(const std::string& path) {
    bool absolute = !path.empty() && path[0] == '/';
    std::vector<std::string> parts;
    size_t p = 0;
    while (p <= path.size()) {
        size_t q = path.find('/', p);
        if (q == std::string::npos) q = path.size();
        std::string part = path.substr(p, q - p);
        if (part == "..") {
            if (!parts.empty() && parts.back() != "..")
                parts.pop_back();
            else if (!absolute)
                parts.push_back(part);
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        p = q + 1;
    }
    std::string out = absolute ? "/" : "";
    for (size_t i = 0; i < parts.size(); ++i) out += (i ? "/" : "") + parts[i];
    return out;
}

uint16_t LevelFlagBits(int level) {
    return level <= 2 ? 0x0004 : (level >= 8 ? 0x0002 : 0);
}

[[noreturn]] void RaiseFileError(const platform::FileError& e) {
    if (e.Code() == ENOSPC || e.Code() == EFBIG || e.Code() == EDQUOT)
        throw ENotEnoughRoom(ZipEngineText(204));
    throw EZipEngineError(e.what());
}

} // namespace

// The state of one run of ProcessFiles.
struct TZipEngine::TRun {
    explicit TRun(TZipEngine& e) : e(e) {}
    TZipEngine& e;

    bool updating = false;
    TMultiMode mode = TMultiMode::mmNone;
    std::string outputName; // the file being written (a part, or the temporary file)
    std::unique_ptr<TLFNFileStream> output;
    std::vector<std::string> createdParts;
    std::unique_ptr<TSortedZip> byName;
    std::unique_ptr<TSortedZip> physical;
    TEndCentral newEnd;
    int processed = 0;
    int64_t totalBytes = 0;
    int64_t bytesDone = 0;
    int64_t fileBytesDone = 0;
    int64_t fileSize = 0;
    std::vector<std::string> disposeList;
    int64_t room = 0;
    int currentDisk = 0;
    uint32_t lastSerial = 0;
    std::string lastLabel, lastUuid;

    // The current file.
    std::unique_ptr<TLFNFileStream> source;
    std::unique_ptr<TLFNFileStream> work;
    uint32_t crc = CrcSeed;
    uint64_t readCount = 0;
    uint64_t packedCount = 0;
    bool encrypting = false;
    TZipKeys keys;
    std::vector<uint8_t> cipherBuffer;

    // Lines of FilesList still to add (empty strings are deleted lines).
    std::vector<std::string> lines;
    std::vector<char> alive;

    bool unnamed = false;

    // Compression ahead over the new files of the run (none with one thread):
    // the index of the file being written (SIZE_MAX: none is written through
    // it) and the next index to offer to the workers.
    std::unique_ptr<TDeflateAhead> ahead;
    size_t aheadTurn = SIZE_MAX;
    size_t aheadCursor = 0;
    void StartAhead(const std::vector<std::string>& files);
    void AheadTurn(size_t index);
    void StopAhead();
    TDeflateOptions DeflateOptions() const;

    bool Spanning() const { return mode != TMultiMode::mmNone; }
    void NameOutput(const std::string& zipName);
    int64_t RoomLeft() const { return room - output->Position(); }

    void Run();
    void ExpandFilesList();
    bool IsInList(const std::vector<std::string>& masks, const std::string& name) const;
    bool StoredName(const std::string& name, std::string& folder, std::string& file) const;
    bool HasDirectoryEntry(const std::string& name);
    void ReadOldDirectory();
    void ProcessOldEntries();
    void CopyOldEntry(TZipHeaderInfo& rec, const TZipHeaderInfo& old);
    bool ZipOneFile(const std::string& name, TZipHeaderInfo& rec);
    void AddEntry(TZipHeaderInfo* rec, const std::string& line);
    void WriteOutput(const uint8_t* data, size_t n);
    size_t ReadSource(uint8_t* data, size_t n);
    void NextPart();
    void OpenPart();
    void ClosePart();
    void WriteDiskLabel();
    void CopyTempToParts();
    void WriteDirectory();
    void Succeed(const std::string& zipName);
    void Fail();
    void SaveZipConfigFile();
    std::string TempFolder() const;
    void Progress(size_t n);
};

namespace {
class TSourceInput : public CodecInput {
public:
    explicit TSourceInput(std::function<size_t(uint8_t*, size_t)> fn) : fn(std::move(fn)) {}
    size_t Read(uint8_t* buf, size_t n) override { return fn(buf, n); }

private:
    std::function<size_t(uint8_t*, size_t)> fn;
};
// Answers a cancel asked meanwhile (`cancelled`), so that the workers stop at
// once while the calling thread waits for them.
class TSinkOutput : public CodecOutput {
public:
    TSinkOutput(std::function<void(const uint8_t*, size_t)> fn, std::function<bool()> cancelled)
        : fn(std::move(fn)), cancelled(std::move(cancelled)) {}
    void Write(const uint8_t* buf, size_t n) override { fn(buf, n); }
    bool Cancelled() const override { return cancelled(); }

private:
    std::function<void(const uint8_t*, size_t)> fn;
    std::function<bool()> cancelled;
};
// A source read ahead for the workers: its bytes as they stand, without events.
class TAheadInput : public CodecInput {
public:
    explicit TAheadInput(std::unique_ptr<platform::File> file) : file(std::move(file)) {}
    size_t Read(uint8_t* buf, size_t n) override { return file->Read(buf, n); }

private:
    std::unique_ptr<platform::File> file;
};
} // namespace

TDeflateOptions TZipEngine::TRun::DeflateOptions() const {
    TDeflateOptions options;
    options.Level = e.FPackLevel;
    options.WholeMemberStore = true;
    options.ClassifyText = true;
    return options;
}

void TZipEngine::TRun::StartAhead(const std::vector<std::string>& files) {
    StopAhead();
    const unsigned threads = CompressionThreads();
    if (threads < 2 || e.FPackLevel == 0) return;
    ahead = std::make_unique<TDeflateAhead>(threads, [this, &files](TDeflateAhead::TMember& m) {
        while (aheadCursor < files.size()) {
            const size_t k = aheadCursor++;
            const std::string& name = files[k];
            if (EndsWithSlash(name)) continue;
            // As its turn will store it, unless an OnStartZip handler renames it.
            std::string folder, file;
            if (!StoredName(name, folder, file) || IsInList(e.FNoCompressList, LowerCase(file))) continue;
            // Regular files only: a pipe or a device is never read ahead.
            platform::FileInfo info;
            if (!Fs().StatTarget(name, info) || !info.IsRegular || info.Size > MaxZipValue) continue;
            std::unique_ptr<platform::File> f;
            try {
                f = Fs().Open(name, platform::OpenMode::Read);
            } catch (const std::exception&) {
                continue; // its turn meets the failure and reports it
            }
            m.Key = k;
            m.Options = DeflateOptions();
            m.Input = std::make_unique<TAheadInput>(std::move(f));
            return true;
        }
        return false;
    });
}

void TZipEngine::TRun::AheadTurn(size_t index) {
    if (!ahead) return;
    aheadTurn = index;
    aheadCursor = std::max(aheadCursor, index + 1);
    ahead->Turn(index);
    // The workers keep busy while a file is stored or a folder written.
    ahead->Fill();
}

void TZipEngine::TRun::StopAhead() {
    ahead.reset(); // joins the workers and closes the sources opened for them
    aheadTurn = SIZE_MAX;
    aheadCursor = 0;
}

void TZipEngine::TRun::NameOutput(const std::string& zipName) {
    output->FlushToMedium();
    std::string d = platform::DirectoryOf(zipName);
    if (d.empty()) d = ".";
    std::random_device rd;
    for (int attempt = 0;; ++attempt) {
        std::string name = platform::JoinPath(d, "KPZ" + std::to_string(rd() % 1000000000u));
        try {
            output->Underlying().LinkAs(name);
            outputName = name;
            return;
        } catch (const platform::FileError& e) {
            if (e.Code() != EEXIST || attempt > 100) throw;
        }
    }
}

std::string TZipEngine::TRun::TempFolder() const {
    if (!e.FTempPath.empty() && platform::IsDirectory(e.FTempPath)) return e.FTempPath;
    return Fs().TempDirectory();
}

bool TZipEngine::TRun::IsInList(const std::vector<std::string>& masks, const std::string& name) const {
    for (const auto& m : masks) {
        if (m.empty()) continue;
        const std::string subject = m.find('/') != std::string::npos ? name : platform::NameOf(name);
        if (WildcardMatch(m, subject)) return true;
    }
    return false;
}

// The folder and name a file is stored under; one rule for storing and for
// matching against existing entries. False when nothing may be stored.
bool TZipEngine::TRun::StoredName(const std::string& nameIn, std::string& folder, std::string& file) const {
    std::string name = nameIn;
    const bool isFolder = EndsWithSlash(name);
    if (isFolder) name.pop_back();
    std::string dir = isFolder ? name : platform::DirectoryOf(name);
    file = isFolder ? std::string() : platform::NameOf(name);
    folder.clear();
    if (e.FStorePaths) {
        std::string d = NormalPath(dir);
        if (!d.empty() && d != "/") d += "/";
        if (e.FRelativePaths && !e.FRootDir.empty()) {
            std::string root = NormalPath(e.FRootDir);
            if (!root.empty() && root != "/") root += "/";
            if (d.compare(0, root.size(), root) == 0) d = d.substr(root.size());
        }
        folder = CleanFolder(d);
    }
    if (isFolder) return !folder.empty();
    return !file.empty();
}

bool TZipEngine::TRun::HasDirectoryEntry(const std::string& name) {
    std::string folder, file;
    if (!StoredName(name, folder, file) || !e.FPhysical) return false;
    const std::string key = folder + file;
    for (int i = 0; i < e.FPhysical->Count(); ++i)
        if (CompareText(e.FPhysical->Item(i)->FullName(), key) == 0) return true;
    return false;
}

void TZipEngine::TRun::ExpandFilesList() {
    totalBytes = 0;
    bytesDone = 0;
    std::vector<std::string> masks;
    std::vector<std::string> out;
    const bool freshen = e.FZipAction == TZipAction::zaFreshen;
    for (std::string line : e.FFilesList) {
        if (line.empty()) continue;
        if (EndsWithSlash(line)) {
            out.push_back(line);
            continue;
        }
        platform::FileInfo info;
        const bool literal = Fs().StatTarget(line, info) || (line.find('/') == std::string::npos &&
                                                             Fs().StatTarget(e.FRootDir + line, info));
        if (!literal && HasWildcards(line)) {
            masks.push_back(line);
            continue;
        }
        if (line.find('/') == std::string::npos) line = e.FRootDir + line;
        if (IsInList(e.FExcludeList, line)) continue;
        if (!Fs().StatTarget(line, info)) {
            if (e.OnNoSuchFile) e.OnNoSuchFile(&e, line);
            continue;
        }
        if (freshen && !HasDirectoryEntry(line)) continue;
        totalBytes += static_cast<int64_t>(info.Size);
        out.push_back(line);
    }
    const std::string self = NormalPath(e.FZipName);
    for (std::string mask : masks) {
        bool recurse = e.FRecurse;
        if (!mask.empty() && mask[0] == '|') {
            recurse = false;
            mask.erase(0, 1);
        } else if (!mask.empty() && mask[0] == '>') {
            recurse = true;
            mask.erase(0, 1);
        }
        std::string folder = platform::DirectoryOf(mask);
        std::string filePart = platform::NameOf(mask);
        if (mask.find('/') == std::string::npos) folder = e.FRootDir;
        if (folder.empty()) folder = "./";
        if (!HasWildcards(folder) && !platform::IsDirectory(folder)) continue;
        TDirSearch search(folder, recurse, filePart);
        std::string name;
        uint64_t size = 0;
        while (search.NextFile(name, size)) {
            std::string shown = name.rfind("./", 0) == 0 && mask.rfind("./", 0) != 0 ? name.substr(2) : name;
            if (EndsWithSlash(shown)) {
                if (recurse && e.FAddDirEntriesOnRecurse) out.push_back(shown);
                continue;
            }
            if (IsInList(e.FExcludeList, shown)) continue;
            if (NormalPath(shown) == self) continue; // never the archive itself
            if (freshen && !HasDirectoryEntry(shown)) continue;
            out.push_back(shown);
            totalBytes += static_cast<int64_t>(size);
        }
    }
    e.FFilesList = out;
}

void TZipEngine::TRun::ReadOldDirectory() {
    // The directory is read afresh for every run: a file replaced behind our back
    // with the same date must not be updated from stale offsets.
    e.FHaveDirectory = false;
    e.FArchive.reset();
    e.OpenZip();
    if (e.FRebuilt || e.FUsedZfc)
        throw EBadZipFile(BadZipText("the directory was rebuilt; the archive cannot be updated"));
    if (e.FEndCentral.ThisDisk != 0 || e.GetMultiMode() != TMultiMode::mmNone)
        throw EBadZipFile(BadZipText("an archive of several parts cannot be updated"));
    const int count = e.FPhysical ? e.FPhysical->Count() : 0;
    // Every entry must lie whole before the directory, without overlapping the next.
    const uint64_t limit = e.FEndCentral.CentralOffset;
    TS_BufferStream& in = *e.FArchive;
    for (int i = 0; i < count; ++i) {
        TZipHeaderInfo& h = *e.FPhysical->Item(i);
        if (h.DiskNumberStart != 0)
            throw EBadZipFile(BadZipText("an archive of several parts cannot be updated"));
        uint8_t buf[ZipLocalHeaderSize];
        in.Seek(h.LocalHeaderOffset, soFromBeginning);
        TZipLocalHeader lh;
        if (uint64_t(h.LocalHeaderOffset) + ZipLocalHeaderSize > limit ||
            in.Read(buf, sizeof buf) != sizeof buf ||
            ReadZipLocalHeader(buf, sizeof buf, lh) == TZipRecordStatus::zrShort ||
            LE32(buf) != ZipLocalSignature)
            throw EBadZipFile(BadZipText("an entry's local header is missing"));
        uint64_t span = ZipLocalHeaderSize + uint64_t(lh.NameLength) + lh.ExtraLength + h.CompressedSize;
        if (h.HasDataDescriptor()) {
            uint8_t sig[4] = {0, 0, 0, 0};
            if (uint64_t(h.LocalHeaderOffset) + span + 4 <= limit) {
                in.Seek(int64_t(h.LocalHeaderOffset + span), soFromBeginning);
                in.Read(sig, 4);
            }
            span += LE32(sig) == ZipSpanSignature ? 16 : 12;
        }
        if (uint64_t(h.LocalHeaderOffset) + span > limit)
            throw EBadZipFile(BadZipText("an entry reaches beyond the directory"));
        const uint64_t next = i + 1 < count ? e.FPhysical->Item(i + 1)->LocalHeaderOffset : limit;
        if (uint64_t(h.LocalHeaderOffset) + span > next) throw EBadZipFile(BadZipText("entries overlap"));
        h.LocalSpan = span;
    }
}

void TZipEngine::TRun::Progress(size_t n) {
    fileBytesDone += static_cast<int64_t>(n);
    if (e.OnFilePercentDone) {
        int p = Percentage(fileBytesDone, fileSize);
        e.OnFilePercentDone(&e, Spanning() ? p / 2 : p);
    }
    if (e.OnTotalPercentDone) {
        bytesDone += static_cast<int64_t>(n);
        e.OnTotalPercentDone(&e, Percentage(bytesDone, totalBytes));
    }
}

size_t TZipEngine::TRun::ReadSource(uint8_t* data, size_t n) {
    size_t k = source->Read(data, n);
    if (k == 0) return 0;
    readCount += k;
    if (readCount > MaxZipValue) throw EZipEngineError(BadZipText("files of 4 GiB or more need Zip64"));
    UpdateCRC32(data, k, crc);
    Progress(k);
    return k;
}

void TZipEngine::TRun::WriteOutput(const uint8_t* data, size_t n) {
    const uint8_t* bytes = data;
    if (encrypting) {
        // Encrypted into a buffer of our own: the encoder's window keeps its plain bytes.
        cipherBuffer.resize(n);
        keys.EncryptBlock(data, cipherBuffer.data(), n);
        bytes = cipherBuffer.data();
    }
    (work ? *work : *output).Write(bytes, n);
    packedCount += n;
    if (packedCount > MaxZipValue) throw EZipEngineError(BadZipText("entries of 4 GiB or more need Zip64"));
    e.Pump();
}

void TZipEngine::TRun::OpenPart() {
    output = std::make_unique<TLFNFileStream>(outputName, true, TFileOpen::foCreate);
    if (mode == TMultiMode::mmBlocks) createdParts.push_back(outputName);
}

void TZipEngine::TRun::ClosePart() {
    if (!output) return;
    // A finished part goes to the medium before anyone may take the medium out.
    output->SetFlushOnDestroy(true);
    output->Close();
    output.reset();
}

void TZipEngine::TRun::WriteDiskLabel() {
    if (mode != TMultiMode::mmSpan || !e.FMultiZipInfo.WriteDiskLabels()) return;
    std::string dir = platform::DirectoryOf(outputName);
    if (dir.empty()) dir = ".";
    platform::VolumeInfo vol;
    int err = 0;
    if (!Fs().GetVolumeInfo(dir, vol, err) || vol.Kind != platform::DriveKind::Removable) return;
    // Failures are of no consequence: parts are told apart by their file names.
    Fs().SetVolumeLabel(dir, "", err);
    Fs().SetVolumeLabel(dir, "PKBACK# " + ThreeDigits(currentDisk + 1), err);
}

void TZipEngine::TRun::NextPart() {
    if (mode == TMultiMode::mmNone) return;
    if (mode == TMultiMode::mmBlocks) {
        ClosePart();
        ++currentDisk;
        outputName = ChangeFileExt(e.FZipName, PartExtension(currentDisk + 1));
        room = e.FMultiZipInfo.BlockSize();
    } else {
        ClosePart();
        WriteDiskLabel();
        std::string dir = platform::DirectoryOf(outputName);
        platform::VolumeInfo vol;
        int err = 0;
        if (Fs().GetVolumeInfo(dir.empty() ? "." : dir, vol, err)) {
            lastSerial = vol.Serial;
            lastLabel = vol.Label;
            lastUuid = vol.Uuid;
        }
        std::string name;
        for (int attempt = 0;; ++attempt) {
            name = outputName;
            if (e.OnGetNextDisk) e.OnGetNextDisk(&e, currentDisk + 2, name);
            if (name.empty() || attempt > 20) throw EUserCanceled(ZipEngineText(187));
            // The medium just written must not be taken for the next one.
            std::string d = platform::DirectoryOf(name);
            platform::VolumeInfo now;
            if (Fs().GetVolumeInfo(d.empty() ? "." : d, now, err) &&
                now.Kind == platform::DriveKind::Removable && now.Serial == lastSerial &&
                now.Label == lastLabel && now.Uuid == lastUuid)
                continue;
            break;
        }
        outputName = name;
        ++currentDisk;
        if (platform::Exists(outputName)) Fs().RemoveFile(outputName);
        platform::SpaceInfo space;
        std::string d = platform::DirectoryOf(outputName);
        room = Fs().GetSpace(d.empty() ? "." : d, space, err) ? static_cast<int64_t>(space.FreeBytes) : 0;
        room = std::min<int64_t>(room, int64_t(MaxZipValue));
    }
    OpenPart();
}

void TZipEngine::TRun::CopyTempToParts() {
    // The header rewritten into the part must stay where it is.
    const int64_t workSize = work->Size();
    if (RoomLeft() <= 0) NextPart();
    const int64_t whole = workSize + static_cast<int64_t>(readCount);
    int64_t done = static_cast<int64_t>(readCount);
    if (e.OnTotalPercentDone) totalBytes -= static_cast<int64_t>(readCount) - workSize;
    work->Seek(0, soFromBeginning);
    int64_t remaining = workSize;
    std::vector<uint8_t> buf(StoreBlock);
    while (remaining > 0) {
        if (RoomLeft() <= 0) {
            NextPart();
            if (RoomLeft() <= 0) throw ENotEnoughRoom(ZipEngineText(204));
        }
        int64_t chunk = std::min(RoomLeft(), remaining);
        while (chunk > 0) {
            size_t piece = static_cast<size_t>(std::min<int64_t>(chunk, StoreBlock));
            if (work->Read(buf.data(), piece) != piece) throw EZipEngineError("work file cannot be read");
            output->Write(buf.data(), piece);
            chunk -= static_cast<int64_t>(piece);
            remaining -= static_cast<int64_t>(piece);
            done += static_cast<int64_t>(piece);
            if (e.OnFilePercentDone) e.OnFilePercentDone(&e, Percentage(done, whole));
            if (e.OnTotalPercentDone) {
                bytesDone += static_cast<int64_t>(piece);
                e.OnTotalPercentDone(&e, Percentage(bytesDone, totalBytes));
            }
            e.Pump();
        }
        if (remaining > 0 || RoomLeft() <= 0) NextPart();
    }
}

void TZipEngine::TRun::AddEntry(TZipHeaderInfo* rec, const std::string& line) {
    // Ours until both lists hold it: a refused record is freed, not leaked.
    std::unique_ptr<TZipHeaderInfo> owned(rec);
    if (physical->Count() >= int(ZipEngineMaxEntries))
        throw EZipEngineError(BadZipText("more than 65534 entries need Zip64"));
    processed++;
    byName->Add(rec);
    physical->Add(rec);
    owned.release();
    newEnd.TotalEntries++;
    newEnd.EntriesOnDisk++;
    if (e.FDispose && !line.empty() && !EndsWithSlash(line)) disposeList.push_back(line);
}

bool TZipEngine::TRun::ZipOneFile(const std::string& name, TZipHeaderInfo& rec) {
    const bool isFolder = EndsWithSlash(name);
    platform::FileInfo info;
    std::string folder, file;
    if (!StoredName(name, folder, file)) return false;
    if (isFolder) {
        std::string bare = name.substr(0, name.size() - 1);
        uint32_t dos = FileDosDateTime(bare);
        rec.DateTime = dos ? dos : CheckDosDateTime(platform::DosDateTimeOf(std::time(nullptr)));
        rec.CompressedSize = rec.UncompressedSize = 0;
        rec.Method = 0;
        rec.InternalAttributes = 2;
        rec.Crc32 = 0;
    } else {
        if (!Fs().StatTarget(name, info)) return false;
        bool retry = false;
        if (!info.IsRegular) {
            // Folders, pipes, devices and sockets hold no file data to store.
            if (e.OnSkippingFile) e.OnSkippingFile(&e, 2, name, -1, retry);
            return false;
        }
        if (info.Size > MaxZipValue) throw EZipEngineError(BadZipText("files of 4 GiB or more need Zip64"));
        for (;;) {
            try {
                source = std::make_unique<TLFNFileStream>(name, false, TFileOpen::foRead);
                break;
            } catch (const platform::FileError&) {
                retry = false;
                if (e.OnSkippingFile) e.OnSkippingFile(&e, 2, name, -1, retry);
                if (!retry) return false;
            }
        }
        // Stored as a Unix host stores a file: its mode in the high word, so that
        // extraction gives the permissions back, and the DOS attributes below.
        rec.VersionMadeBy = ZipMadeByUnix;
        rec.ExternalAttributes = ZipUnixAttributes(info.Attributes, info.Mode);
        rec.DateTime = CheckDosDateTime(platform::DosDateTimeOf(info.ModTime));
        rec.UncompressedSize = static_cast<uint32_t>(info.Size);
        fileSize = static_cast<int64_t>(info.Size);
    }
    rec.SetDirectory(folder);
    rec.SetFileName(file);
    rec.InternalAttributes = 2;
    rec.DiskNumberStart = static_cast<uint16_t>(currentDisk);

    bool skip = false;
    if (e.OnStartZip) e.OnStartZip(&e, name, rec, skip);
    // The handler may have set any folder: it is made safe again.
    rec.SetDirectory(CleanFolder(rec.Directory()));
    if (!skip && !isFolder && rec.FileName().empty()) skip = true;
    if (!skip && isFolder && rec.Directory().empty()) skip = true;
    if (skip) {
        totalBytes -= fileSize;
        source.reset();
        return false;
    }
    int found;
    if (byName->Find(&rec, found)) {
        bool retry = false;
        if (e.OnSkippingFile) e.OnSkippingFile(&e, 1, name, -1, retry);
        totalBytes -= fileSize;
        source.reset();
        return false;
    }

    if (Spanning()) {
        if (int64_t(rec.LocalSize()) >= RoomLeft()) NextPart();
        rec.DiskNumberStart = static_cast<uint16_t>(currentDisk);
    }
    if (uint64_t(output->Position()) > MaxZipValue)
        throw EZipEngineError(BadZipText("archives of 4 GiB or more need Zip64"));
    rec.SaveLocalToStream(*output);
    if (isFolder) {
        if (e.OnEndZip) e.OnEndZip(&e, name, 0, 0, 0);
        return true;
    }
    try {
        if (Spanning())
            work = std::make_unique<TLFNFileStream>(Fs().CreateTempFile(TempFolder(), "KPZ"), false);
        const bool password = !e.FPassword.empty();
        uint32_t prepass = 0;
        packedCount = 0;
        encrypting = false;
        if (password) {
            // The header's check bytes need the CRC before the data is written.
            uint32_t c = CrcSeed;
            std::vector<uint8_t> buf(1 << 16);
            for (;;) {
                size_t k = source->Read(buf.data(), buf.size());
                if (k == 0) break;
                UpdateCRC32(buf.data(), k, c);
                e.Pump();
            }
            prepass = ~c;
            rec.Crc32 = prepass;
            source->Seek(0, soFromBeginning);
            uint8_t header[ZipEncryptHeaderSize];
            uint8_t random[10];
            e.RandomBytes(random, sizeof random);
            keys.InitKeys(e.FPassword);
            for (int i = 0; i < 10; ++i) header[i] = keys.EncryptByte(random[i]);
            header[10] = keys.EncryptByte(static_cast<uint8_t>(prepass >> 16));
            header[11] = keys.EncryptByte(static_cast<uint8_t>(prepass >> 24));
            WriteOutput(header, sizeof header);
            encrypting = true;
        }
        crc = CrcSeed;
        readCount = 0;
        fileBytesDone = 0;
        if (e.FPackLevel == 0 || IsInList(e.FNoCompressList, LowerCase(rec.FileName()))) {
            std::vector<uint8_t> buf(StoreBlock);
            for (;;) {
                size_t k = ReadSource(buf.data(), buf.size());
                if (k == 0) break;
                WriteOutput(buf.data(), k);
            }
            rec.Method = 0;
            rec.InternalAttributes = 0;
        } else {
            TSourceInput in([this](uint8_t* b, size_t n) { return ReadSource(b, n); });
            TSinkOutput out([this](const uint8_t* b, size_t n) { WriteOutput(b, n); },
                            [this] { return e.FDoProcessMessages && e.FCancel; });
            const TDeflateOptions options = DeflateOptions();
            TDeflateResult r = ahead && aheadTurn != SIZE_MAX
                                   ? ahead->Deflate(aheadTurn, *e.FDeflater, in, out, options)
                                   : DeflateInPieces(*e.FDeflater, in, out, options);
            if (r.Cancelled) {
                e.FCancel = false; // taken, as the pump takes it
                throw EUserCanceled(ZipEngineText(181));
            }
            rec.InternalAttributes = static_cast<uint16_t>(r.TextKind > 0 ? 1 : 0);
            if (r.Unpackable) {
                rec.Method = 0;
                rec.Flags &= static_cast<uint16_t>(~ZipFlagDeflateBits);
            } else {
                rec.Method = 8;
                rec.Flags =
                    static_cast<uint16_t>((rec.Flags & ~ZipFlagDeflateBits) | LevelFlagBits(e.FPackLevel));
            }
        }
        encrypting = false;
        rec.Crc32 = ~crc;
        if (password && rec.Crc32 != prepass)
            throw EZipEngineError(BadZipText("the file changed while it was being stored: " + name));
        if (password) rec.Flags |= ZipFlagEncrypted;
        rec.UncompressedSize = static_cast<uint32_t>(readCount);
        rec.CompressedSize = static_cast<uint32_t>(packedCount);
        const int64_t resume = output->Position();
        output->Seek(rec.LocalHeaderOffset, soFromBeginning);
        rec.SaveLocalToStream(*output);
        if (Spanning()) {
            output->Seek(resume, soFromBeginning);
            CopyTempToParts();
        } else {
            output->Seek(resume, soFromBeginning);
        }
        if (work) {
            std::string workName = work->FileName();
            work.reset();
            Fs().RemoveFile(workName);
        }
        source.reset();
    } catch (...) {
        if (work) {
            std::string workName = work->FileName();
            work.reset();
            try {
                Fs().RemoveFile(workName);
            } catch (...) {
            }
        }
        source.reset();
        throw;
    }
    if (e.OnEndZip) e.OnEndZip(&e, name, rec.UncompressedSize, rec.CompressedSize, output->Position());
    return true;
}

void TZipEngine::TRun::CopyOldEntry(TZipHeaderInfo& rec, const TZipHeaderInfo& old) {
    TS_BufferStream& in = *e.FArchive;
    in.Seek(old.LocalHeaderOffset, soFromBeginning);
    rec.LocalHeaderOffset = static_cast<uint32_t>(output->Position());
    rec.DiskNumberStart = 0;
    if (uint64_t(output->Position()) + old.LocalSpan > MaxZipValue)
        throw EZipEngineError(BadZipText("archives of 4 GiB or more need Zip64"));
    std::vector<uint8_t> buf(1 << 20);
    uint64_t left = old.LocalSpan;
    while (left > 0) {
        size_t k = static_cast<size_t>(std::min<uint64_t>(left, buf.size()));
        if (in.Read(buf.data(), k) != k) throw EBadZipFile(BadZipText("an entry is cut short"));
        output->Write(buf.data(), k);
        left -= k;
        e.Pump();
    }
}

void TZipEngine::TRun::ProcessOldEntries() {
    const int count = e.FPhysical ? e.FPhysical->Count() : 0;
    // Each line's candidate name is worked out once; entries are looked up by it.
    std::unordered_map<std::string, std::vector<size_t>> candidates;
    std::vector<size_t> maskLines;
    std::vector<int64_t> fileTimes(lines.size(), 0);
    for (size_t j = 0; j < lines.size(); ++j) {
        const std::string& line = lines[j];
        if (e.FDeleteMode && HasWildcards(line)) {
            maskLines.push_back(j);
            continue;
        }
        std::string candidate;
        if (e.FDeleteMode) {
            candidate = LowerCase(line);
        } else {
            std::string folder, file;
            if (!StoredName(line, folder, file)) continue;
            candidate = LowerCase(folder + file);
        }
        if (e.OnProcuraPath) e.OnProcuraPath(&e, line, candidate);
        candidates[LowerCase(candidate)].push_back(j);
    }
    for (int i = 0; i < count; ++i) {
        const TZipHeaderInfo& old = *e.FPhysical->Item(i);
        auto rec = std::make_unique<TZipHeaderInfo>();
        rec->Assign(old);
        bool keep = true, matched = false;
        const std::string full = LowerCase(old.FullName());
        // The first live line that matches this entry.
        size_t j = SIZE_MAX;
        auto it = candidates.find(full);
        if (it != candidates.end())
            for (size_t k : it->second)
                if (alive[k]) {
                    j = k;
                    break;
                }
        for (size_t k : maskLines) {
            if (k >= j || !alive[k]) continue;
            const std::string mask = LowerCase(lines[k]);
            const std::string subject =
                mask.find('/') != std::string::npos ? full : LowerCase(old.FileName());
            if (WildcardMatch(mask, subject)) {
                j = k;
                break;
            }
        }
        if (j != SIZE_MAX) {
            matched = true;
            const std::string line = lines[j];
            if (!e.FDeleteMode && e.FZipAction != TZipAction::zaReplace) {
                if (!fileTimes[j]) fileTimes[j] = platform::UnixTimeOfDos(FileDosDateTime(line));
                if (platform::UnixTimeOfDos(CheckDosDateTime(old.DateTime)) >= fileTimes[j]) {
                    alive[j] = 0; // the entry is up to date
                    goto decided;
                }
            }
            bool skip = false;
            if (e.FDeleteMode) {
                if (e.OnDeleteEntry) e.OnDeleteEntry(&e, old.FullName(), skip);
                if (!skip) processed++;
                if (!HasWildcards(line)) alive[j] = 0;
                keep = skip;
            } else {
                if (e.OnUpdate) e.OnUpdate(&e, 0, i);
                auto fresh = std::make_unique<TZipHeaderInfo>();
                const bool added = ZipOneFile(line, *fresh);
                alive[j] = 0;
                if (added) {
                    AddEntry(fresh.release(), line);
                    keep = false;
                } else {
                    keep = true; // the old entry stays when its file cannot be stored
                }
            }
        }
    decided:
        if (keep) {
            if (matched && e.OnUpdate) e.OnUpdate(&e, 1, i);
            CopyOldEntry(*rec, old);
            if (physical->Count() >= int(ZipEngineMaxEntries))
                throw EZipEngineError(BadZipText("more than 65534 entries need Zip64"));
            byName->Add(rec.get());
            physical->Add(rec.release());
            newEnd.TotalEntries++;
            newEnd.EntriesOnDisk++;
        }
    }
}

void TZipEngine::TRun::WriteDirectory() {
    newEnd.CentralOffset = static_cast<uint32_t>(output->Position());
    newEnd.StartDisk = static_cast<uint16_t>(currentDisk);
    int64_t earlier = 0;
    int64_t mark = output->Position();
    int onThisDisk = 0;
    for (int k = 0; k < physical->Count(); ++k) {
        const TZipHeaderInfo& h = *physical->Item(k);
        if (Spanning() && RoomLeft() < int64_t(h.CentralSize())) {
            earlier += output->Position() - mark;
            NextPart();
            onThisDisk = 0;
            if (k == 0) {
                newEnd.CentralOffset = 0;
                newEnd.StartDisk = static_cast<uint16_t>(currentDisk);
            }
            mark = 0;
        }
        h.SaveCentralToStream(*output);
        ++onThisDisk;
        e.Pump();
    }
    const int64_t size = output->Position() + earlier - mark;
    newEnd.CentralSize = static_cast<uint32_t>(size);
    if (Spanning() && RoomLeft() < int64_t(22 + newEnd.CommentLength)) {
        NextPart();
        onThisDisk = 0;
    }
    if (uint64_t(output->Position()) > MaxZipValue || uint64_t(size) > MaxZipValue)
        throw EZipEngineError(BadZipText("archives of 4 GiB or more need Zip64"));
    newEnd.ThisDisk = static_cast<uint16_t>(currentDisk);
    newEnd.TotalEntries = static_cast<uint16_t>(physical->Count());
    newEnd.EntriesOnDisk = static_cast<uint16_t>(Spanning() ? onThisDisk : physical->Count());
    newEnd.SaveToStream(*output);
    if (mode == TMultiMode::mmSpan) WriteDiskLabel();
}

void TZipEngine::TRun::SaveZipConfigFile() {
    if (mode == TMultiMode::mmSpan) {
        try {
            auto first = e.GetDisk(1);
            first.reset();
        } catch (const EZipEngineError&) {
            return;
        }
    }
    const std::string name = ChangeFileExt(e.FZipName, ".zfc");
    std::unique_ptr<TLFNFileStream> f;
    try {
        f = std::make_unique<TLFNFileStream>(name, true, TFileOpen::foCreate);
    } catch (const std::exception&) {
        if (e.Ui.ShowMessage) e.Ui.ShowMessage("", "Unable to create Zip Configuration File to disk");
        return;
    }
    try {
        for (int k = 0; k < e.FPhysical->Count(); ++k) e.FPhysical->Item(k)->SaveCentralToStream(*f);
        newEnd.SaveToStream(*f);
        f->Close();
    } catch (const std::exception&) {
        f.reset();
        if (e.Ui.ShowMessage) e.Ui.ShowMessage("", "Unable to save Zip Configuration File to disk");
    }
}

void TZipEngine::TRun::Fail() {
    source.reset();
    if (work) {
        std::string w = work->FileName();
        work.reset();
        try {
            Fs().RemoveFile(w);
        } catch (...) {
        }
    }
    output.reset();
    auto remove = [](const std::string& n) {
        try {
            if (platform::Exists(n)) Fs().RemoveFile(n);
        } catch (...) {
        }
    };
    if (mode == TMultiMode::mmBlocks) {
        for (const auto& p : createdParts) remove(p);
    } else if (!outputName.empty()) {
        remove(outputName);
    }
}

void TZipEngine::TRun::Run() {
    const std::string zipName = e.FZipName;
    mode = e.GetMultiMode();
    if (mode == TMultiMode::mmBlocks &&
        (e.FMultiZipInfo.BlockSize() < MinBlockSize || e.FMultiZipInfo.FirstBlockSize() < MinBlockSize))
        throw EZipEngineError("block files must hold at least 65536 bytes");
    platform::FileInfo zipInfo;
    updating = Fs().StatTarget(zipName, zipInfo);
    if (updating) {
        if (mode != TMultiMode::mmNone)
            throw EBadZipFile(BadZipText("an existing archive cannot be updated in several parts"));
        TEndCentral pending = e.FEndCentral;
        const bool hadPending = pending.Pending;
        std::vector<std::optional<std::string>> pendingComments;
        if (hadPending && e.FPhysical)
            for (int i = 0; i < e.FPhysical->Count(); ++i)
                pendingComments.push_back(e.FPhysical->Item(i)->CommentLoaded()
                                              ? std::optional<std::string>(e.FPhysical->Item(i)->Comment())
                                              : std::nullopt);
        const int oldCount = e.FPhysical ? e.FPhysical->Count() : 0;
        ReadOldDirectory();
        if (hadPending) {
            // Comments changed since the directory was read are carried into the new one.
            if (pending.Comment) e.FEndCentral.SetComment(*pending.Comment);
            if (e.FPhysical && e.FPhysical->Count() == oldCount)
                for (int i = 0; i < oldCount; ++i)
                    if (pendingComments[size_t(i)])
                        e.FPhysical->Item(i)->SetComment(pendingComments[size_t(i)]);
        }
        e.SetMultiMode(mode);
    }
    const bool filesNamed = !e.FDeleteMode && !e.FFilesList.empty();
    if (filesNamed) ExpandFilesList();
    // Files were named but none of them is there: nothing is written, neither an
    // empty new archive nor a copy of the old one.
    if (filesNamed && e.FFilesList.empty()) return;
    lines = e.FFilesList;
    alive.assign(lines.size(), 1);

    // Room of the first part.
    if (mode == TMultiMode::mmSpan) {
        platform::SpaceInfo space;
        int err = 0;
        std::string d = platform::DirectoryOf(zipName);
        room = Fs().GetSpace(d.empty() ? "." : d, space, err) ? static_cast<int64_t>(space.FreeBytes) : 0;
        room -= e.FMultiZipInfo.SaveOnFirstDisk();
        if (e.FMultiZipInfo.SaveZipInfoOnFirstDisk()) {
            int64_t reserve =
                22 + (e.FEndCentral.Comment ? int64_t(e.FEndCentral.Comment->size()) : 0) + 2048;
            for (const auto& l : lines) reserve += 46 + int64_t(l.size());
            room -= reserve;
        }
        room = std::min<int64_t>(room, int64_t(MaxZipValue));
        if (room < 1024) throw ENotEnoughRoom(ZipEngineText(204));
    } else if (mode == TMultiMode::mmBlocks) {
        room = e.FMultiZipInfo.FirstBlockSize();
    }

    byName = std::make_unique<TSortedZip>(TZipSortMode::ByName, false, TDuplicates::dupError);
    physical = std::make_unique<TSortedZip>(TZipSortMode::ByNone, true, TDuplicates::dupError);
    if (updating || e.FEndCentral.Pending) {
        newEnd.Assign(e.FEndCentral);
        newEnd.TotalEntries = newEnd.EntriesOnDisk = 0;
    }
    newEnd.Pending = false;

    try {
        if (mode == TMultiMode::mmBlocks) {
            outputName = ChangeFileExt(zipName, ".001");
            OpenPart();
        } else if (mode == TMultiMode::mmSpan) {
            outputName = zipName;
            OpenPart();
        } else {
            // Written beside the archive and renamed over it at the end. A file
            // without a name while it is written leaves nothing behind when the
            // process dies; it gets its temporary name only once it is complete.
            std::string d = platform::DirectoryOf(zipName);
            auto temp = Fs().CreateUnnamedFile(d.empty() ? "." : d);
            unnamed = temp != nullptr;
            if (!temp) temp = Fs().CreateTempFile(d.empty() ? "." : d, "KPZ");
            outputName = unnamed ? std::string() : temp->Path();
            output = std::make_unique<TLFNFileStream>(std::move(temp), true);
        }
        if (updating) {
            // Bytes before the first entry (a self-extractor's program) stay as they are.
            uint64_t first = e.FEndCentral.CentralOffset;
            if (e.FPhysical)
                for (int i = 0; i < e.FPhysical->Count(); ++i)
                    first = std::min<uint64_t>(first, e.FPhysical->Item(i)->LocalHeaderOffset);
            if (first > 0) {
                TZipHeaderInfo prefix;
                prefix.LocalHeaderOffset = 0;
                prefix.LocalSpan = first;
                TZipHeaderInfo scratch;
                CopyOldEntry(scratch, prefix);
            }
            ProcessOldEntries();
        }
        if (!e.FDeleteMode) {
            std::vector<std::string> rest;
            for (size_t j = 0; j < lines.size(); ++j)
                if (alive[j]) rest.push_back(lines[j]);
            if (!rest.empty()) {
                bool stop = false;
                if (e.OnStartZipInfo) e.OnStartZipInfo(&e, int(rest.size()), totalBytes, newEnd, stop);
                if (stop) throw EUserCanceled(ZipEngineText(187));
                if (Spanning()) totalBytes *= 2;
                // The workers end with the loop, however it ends.
                struct TAheadScope {
                    TRun& run;
                    ~TAheadScope() { run.StopAhead(); }
                } aheadScope{*this};
                StartAhead(rest);
                for (size_t k = 0; k < rest.size(); ++k) {
                    // A cancel asked at the end of the file before stops here.
                    e.Pump();
                    AheadTurn(k);
                    auto rec = std::make_unique<TZipHeaderInfo>();
                    if (ZipOneFile(rest[k], *rec)) AddEntry(rec.release(), rest[k]);
                }
            }
        }
        WriteDirectory();
        if (unnamed) NameOutput(zipName);
        ClosePart();
        e.Pump(true);
        Succeed(zipName);
    } catch (const platform::FileError& err) {
        Fail();
        RaiseFileError(err);
    } catch (const ECodecError& err) {
        Fail();
        throw EZipEngineError(err.what());
    } catch (...) {
        Fail();
        throw;
    }
}

void TZipEngine::TRun::Succeed(const std::string& zipName) {
    e.FArchive.reset();
    std::string finalName = zipName;
    if (mode == TMultiMode::mmBlocks) {
        if (currentDisk == 0) {
            Fs().Rename(outputName, zipName);
        } else {
            finalName = outputName;
        }
        createdParts.clear();
        // Parts of an earlier, longer run with the same name would be taken for this set.
        for (int n = currentDisk + 2; n <= 999; ++n) {
            std::string stale = ChangeFileExt(zipName, PartExtension(n));
            if (!platform::Exists(stale)) break;
            Fs().RemoveFile(stale);
        }
    } else if (mode == TMultiMode::mmNone) {
        platform::FileInfo old;
        uint32_t perms =
            Fs().StatTarget(zipName, old) && old.IsRegular ? (old.Mode & 07777) : Fs().DefaultFileMode();
        Fs().SetPermissions(outputName, perms);
        Fs().Rename(outputName, zipName);
    }
    outputName.clear();
    e.FZipName = finalName;
    if (e.FDispose) {
        for (const auto& n : disposeList) {
            bool skip = false;
            if (e.OnDisposeFile) e.OnDisposeFile(&e, n, skip);
            if (skip) continue;
            try {
                Fs().RemoveFile(n);
            } catch (const platform::FileError&) {
                // A source that cannot be removed stays; the archive holds it anyway.
            }
        }
    }
    e.FSorted.reset();
    e.FPhysical = std::move(physical);
    e.FCurrentList = e.FPhysical.get();
    e.FEndCentral = newEnd;
    e.FHaveDirectory = true;
    e.FRebuilt = false;
    e.FUsedZfc = false;
    platform::FileInfo info;
    if (Fs().StatTarget(e.FZipName, info)) {
        e.FArchiveDate = info.ModTime;
        e.FArchiveSize = info.Size;
    }
    e.FNumberOfDisks = currentDisk + 1;
    if (mode != TMultiMode::mmNone && e.OnTotalPercentDone) e.OnTotalPercentDone(&e, 100);
    if (mode != TMultiMode::mmNone && e.FMultiZipInfo.SaveZipInfoOnFirstDisk() && newEnd.ThisDisk != 0)
        SaveZipConfigFile();
    if (mode != TMultiMode::mmNone) e.FHaveDirectory = false; // read again from the parts when asked
}

int TZipEngine::ProcessFiles() {
    std::string name = FZipName;
    while (!name.empty() && name.front() == ' ') name.erase(0, 1);
    while (!name.empty() && name.back() == ' ') name.pop_back();
    if (name.empty()) return 0;
    if (FBusy) throw EZipEngineError("the zip writer is already running an operation");
    FZipName = name;
    FBusy = true;
    FCancel = false;
    if (!RandomBytes)
        RandomBytes = [](uint8_t* b, size_t n) {
            std::random_device rd;
            for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(rd());
        };
    const TZipSortMode savedSort = FSortMode;
    const bool savedKeep = FKeepZipOpen;
    FKeepZipOpen = true;
    SortEntries(TZipSortMode::ByNone);
    TRun run(*this);
    int result = 0;
    try {
        run.Run();
        result = run.processed;
    } catch (...) {
        FSortMode = savedSort;
        FKeepZipOpen = savedKeep;
        if (FHaveDirectory) SortEntries(savedSort);
        FArchive.reset();
        FFilesList.clear();
        FBusy = false;
        throw;
    }
    FKeepZipOpen = savedKeep;
    if (FHaveDirectory) SortEntries(savedSort);
    FSortMode = savedSort;
    FArchive.reset();
    FFilesList.clear();
    FBusy = false;
    return result;
}

} // namespace mv
