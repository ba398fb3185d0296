#include "zipwriter/ZipEngine.h"

#include "archive/framework/ZipRecords.h"
#include "platform/LocalTime.h"
#include "zipwriter/WildMatch.h"

#include <algorithm>
#include <ctime>

namespace mv {

using platform::Fs;

namespace {
const char* const UserCanceledLoadingDisk = "User canceled loading new disk.";
} // namespace

// --- TUnzipEngine ---

TUnzipEngine::TUnzipEngine() {
    ZipEngineText(176); // registers the component's texts with the string tables
    OnGetNextDisk = [this](TObject*, int nextDisk, std::string& name) { BuiltInDiskRequest(nextDisk, name); };
}

TUnzipEngine::~TUnzipEngine() {
    FSorted.reset();
    FPhysical.reset();
    FArchive.reset();
}

void TUnzipEngine::DropDirectory() {
    FSorted.reset();
    FPhysical.reset();
    FCurrentList = nullptr;
    FHaveDirectory = false;
}

void TUnzipEngine::SetZipName(const std::string& nameIn) {
    // File names on Linux differ by case: only the very same name is the same archive.
    if (nameIn == FZipName) return;
    std::string name = nameIn;
    if (!name.empty() && name.back() == '?') {
        std::string folder = platform::DirectoryOf(name.substr(0, name.size() - 1));
        if (folder.empty() || !platform::IsDirectory(folder)) folder.assign(1, '/');
        std::string chosen =
            Ui.ChooseFile ? Ui.ChooseFile(ZipEngineText(176), ZipEngineText(177), folder) : "";
        if (chosen.empty()) throw EUserCanceled(ZipEngineText(186));
        name = chosen;
    }
    FZipName = name;
    DropDirectory();
    FArchiveDate = 0;
    FArchiveSize = 0;
    FEndCentral.Clear();
    FArchive.reset();
    FRebuilt = false;
}

void TUnzipEngine::SetDestDir(const std::string& dir) {
    if (dir != "?") {
        FDestDir = dir;
    } else {
        std::string start = platform::IsDirectory(FDestDir) ? FDestDir : ".";
        std::string chosen = Ui.ChooseFolder ? Ui.ChooseFolder(start) : "";
        if (chosen.empty()) throw EUserCanceled(ZipEngineText(178));
        FDestDir = chosen;
    }
    if (FDestDir.size() > 1 && FDestDir.back() == '/') FDestDir.pop_back();
}

void TUnzipEngine::SetRootDir(const std::string& dir) {
    FRootDir = dir;
    if (!FRootDir.empty() && FRootDir.back() != '/') FRootDir += '/';
}

void TUnzipEngine::SetSortMode(TZipSortMode mode) {
    if (FHaveDirectory) SortEntries(mode);
    FSortMode = mode;
}

void TUnzipEngine::Assign(const TUnzipEngine& s) {
    SetZipName(s.FZipName);
    FDestDir = s.FDestDir;
    FRootDir = s.FRootDir;
    FSortMode = s.FSortMode;
    FRecreateDirs = s.FRecreateDirs;
    FOverwriteMode = s.FOverwriteMode;
    FFilesList = s.FFilesList;
    FDoAll = s.FDoAll;
    FIncompleteZipMode = s.FIncompleteZipMode;
    FKeepZipOpen = s.FKeepZipOpen;
    FDoProcessMessages = s.FDoProcessMessages;
    FRetainAttributes = s.FRetainAttributes;
    FReplaceReadOnly = s.FReplaceReadOnly;
    OnStartUnZipInfo = s.OnStartUnZipInfo;
    OnStartUnZip = s.OnStartUnZip;
    OnEndUnZip = s.OnEndUnZip;
    OnPromptForOverwrite = s.OnPromptForOverwrite;
    OnBadPassword = s.OnBadPassword;
    OnBadCRC = s.OnBadCRC;
    OnUnZipComplete = s.OnUnZipComplete;
    OnGetNextBuffer = s.OnGetNextBuffer;
    OnFilePercentDone = s.OnFilePercentDone;
    OnTotalPercentDone = s.OnTotalPercentDone;
    OnGetNextDisk = s.OnGetNextDisk;
    OnInCompleteZip = s.OnInCompleteZip;
}

void TUnzipEngine::CheckIndex(int index) {
    if (!FZipName.empty() && platform::Exists(FZipName)) {
        OpenZip();
        CloseZip();
    }
    if (!FCurrentList || index < 0 || index >= FCurrentList->Count())
        throw EListError(ZipEngineTextInt(179, index));
}

int TUnzipEngine::Count() {
    if (FZipName.empty() || !platform::Exists(FZipName)) return FCurrentList ? FCurrentList->Count() : 0;
    OpenZip();
    CloseZip();
    return FCurrentList ? FCurrentList->Count() : 0;
}

TZipHeaderInfo& TUnzipEngine::Entry(int index) {
    CheckIndex(index);
    return *FCurrentList->Item(index);
}

int64_t TUnzipEngine::GetDateTime(int index) {
    uint32_t dos = Entry(index).DateTime;
    platform::LocalDateTime t;
    if (!platform::SplitDosDateTime(CheckDosDateTime(dos), t))
        return static_cast<int64_t>(std::time(nullptr));
    return platform::UnixTimeOfDos(CheckDosDateTime(dos));
}

int64_t TUnzipEngine::GetUnCompressedSize(int index) {
    return Entry(index).UncompressedSize;
}

std::string TUnzipEngine::GetFileComment(int index) {
    return Entry(index).Comment();
}

void TUnzipEngine::SetFileComment(int index, const std::string& text) {
    TZipHeaderInfo& e = Entry(index);
    if (e.Comment() == text && (e.CommentLoaded() || text.empty())) return;
    e.SetComment(text.empty() ? std::nullopt : std::optional<std::string>(text));
    FEndCentral.Pending = true;
}

std::string TUnzipEngine::ZipComment() {
    if (!FZipName.empty() && platform::Exists(FZipName)) {
        OpenZip();
        CloseZip();
    }
    return FEndCentral.Comment ? *FEndCentral.Comment : std::string();
}

void TUnzipEngine::SetZipComment(const std::string& text) {
    if (ZipComment() == text) return;
    FEndCentral.SetComment(text);
    FEndCentral.Pending = true;
}

int64_t TUnzipEngine::FileModTime(const std::string& name) {
    platform::FileInfo info;
    return Fs().StatTarget(name, info) ? info.ModTime : 0;
}

void TUnzipEngine::OpenZip() {
    platform::FileInfo info;
    if (!Fs().StatTarget(FZipName, info)) throw ENotAZipFile(ZipEngineText(183) + " " + FZipName);
    if (!FArchive)
        FArchive = std::make_unique<TLFNFileStream>(FZipName, FFlushFilesOnClose, TFileOpen::foRead);
    // The directory is read again whenever the file may have changed.
    if (!FHaveDirectory || info.ModTime != FArchiveDate || info.Size != FArchiveSize) ReadZip();
}

void TUnzipEngine::CloseZip() {
    if (!FKeepZipOpen) FArchive.reset();
}

void TUnzipEngine::ClearZip() {
    FArchive.reset();
    DropDirectory();
    FEndCentral.Clear();
    FRebuilt = false;
    FArchiveDate = 0;
    FArchiveSize = 0;
    FNumberOfDisks = 1;
    SetMultiMode(TMultiMode::mmNone);
    FZipName.clear();
}

void TUnzipEngine::SortEntries(TZipSortMode mode) {
    FSorted.reset();
    FSortMode = mode;
    if (!FPhysical) {
        FCurrentList = nullptr;
        return;
    }
    if (mode == TZipSortMode::ByNone) {
        FCurrentList = FPhysical.get();
        return;
    }
    FSorted = std::make_unique<TSortedZip>(mode, false, TDuplicates::dupAccept);
    for (int i = 0; i < FPhysical->Count(); ++i) FSorted->Add(FPhysical->Get(i));
    FCurrentList = FSorted.get();
}

void TUnzipEngine::Pump(bool force) {
    if (!FDoProcessMessages) return;
    const uint64_t now = platform::TickCountMs();
    if (force || now - FLastPump >= 50) {
        FLastPump = now;
        if (Ui.ProcessMessages) Ui.ProcessMessages();
    }
    if (FCancel) {
        FCancel = false;
        throw EUserCanceled(ZipEngineText(181));
    }
}

void TUnzipEngine::BuiltInDiskRequest(int nextDisk, std::string& name) {
    if (GetMultiMode() == TMultiMode::mmSpan) {
        const std::string text = ZipEngineText(184) + std::to_string(nextDisk) + ZipEngineText(185);
        if (!Ui.Confirm || !Ui.Confirm("", text)) name.clear();
    } else {
        name = ChangeFileExt(name, PartExtension(nextDisk));
    }
}

std::unique_ptr<TLFNFileStream> TUnzipEngine::GetDisk(int n, const std::function<bool(TLFNFileStream&)>& fits) {
    FArchive.reset();
    constexpr int MaxDiskRequests = 10;
    std::string previous;
    for (int attempt = 0;; ++attempt) {
        std::string name = FZipName;
        if (OnGetNextDisk) OnGetNextDisk(this, n, name);
        if (name.empty()) throw EUserCanceled(UserCanceledLoadingDisk);
        const bool spanned = GetMultiMode() == TMultiMode::mmSpan;
        // Labels decide only on media that carry a label of a set: here labels
        // can rarely be written, and a disk without one is known by its file.
        bool labelled = false, labelOk = true;
        if (GetCheckDiskLabels() && spanned) {
            platform::VolumeInfo vol;
            int err = 0;
            const std::string dir = platform::DirectoryOf(name);
            if (Fs().GetVolumeInfo(dir.empty() ? "." : dir, vol, err) &&
                vol.Label.find("PKBACK# ") != std::string::npos) {
                labelled = true;
                const std::string label = vol.Label.substr(0, 11);
                labelOk = label.size() >= 3 && label.substr(label.size() - 3) == ThreeDigits(n);
            }
        }
        if (labelOk && platform::Exists(name)) {
            auto stream = std::make_unique<TLFNFileStream>(name, false, TFileOpen::foRead);
            bool known = true;
            if (spanned && !labelled) {
                if (n == 1) {
                    // The first disk of a set begins with the set's marker or a local header.
                    uint8_t sig[4] = {0, 0, 0, 0};
                    stream->Seek(0, soFromBeginning);
                    known = stream->Read(sig, 4) == 4 &&
                            (LE32(sig) == ZipSpanSignature || LE32(sig) == ZipLocalSignature);
                }
                if (known && fits) known = fits(*stream);
                stream->Seek(0, soFromBeginning);
            }
            if (known) {
                FCurrentDisk = n - 1;
                FArchiveDate = FileModTime(name);
                FZipName = name;
                return stream;
            }
        }
        // The same answer twice for a part that is not there, or a wrong disk
        // again and again: no endless asking.
        if ((attempt > 0 && name == previous && !platform::Exists(name)) || attempt + 1 >= MaxDiskRequests)
            throw EUserCanceled(UserCanceledLoadingDisk);
        previous = name;
    }
}

namespace {
// Reads up to count bytes into out, appending.
size_t ReadAppend(TS_BufferStream& s, std::string& out, size_t count) {
    size_t done = 0;
    char buf[65536];
    while (done < count) {
        size_t k = s.Read(buf, std::min(sizeof buf, count - done));
        if (k == 0) break;
        out.append(buf, k);
        done += k;
    }
    return done;
}
} // namespace

void TUnzipEngine::ReadZip() {
    TS_BufferStream& stream = *FArchive;
    platform::FileInfo info;
    Fs().StatTarget(FZipName, info);
    FArchiveDate = info.ModTime;
    FArchiveSize = info.Size;
    DropDirectory();
    FRebuilt = false;
    FUsedZfc = false;
    FEndCentral.Clear();

    int64_t endPos = 0;
    TEndSearch found = FindEndCentral(FEndCentral, stream, endPos);
    std::unique_ptr<TLFNFileStream> zfc;
    if (found == TEndSearch::esNotFound) {
        const std::string zfcName = ChangeFileExt(FZipName, ".zfc");
        if (platform::Exists(zfcName)) {
            zfc = std::make_unique<TLFNFileStream>(zfcName, false, TFileOpen::foRead);
            int64_t zpos;
            TEndCentral rec;
            if (FindEndCentral(rec, *zfc, zpos) == TEndSearch::esFound) {
                FEndCentral = rec;
                FUsedZfc = true;
                found = TEndSearch::esFound;
            } else {
                zfc.reset();
            }
        }
    }
    if (found == TEndSearch::esZip64) {
        FEndCentral.Clear();
        throw EBadZipFile(BadZipText("Zip64 archives are not supported"));
    }
    auto broken = [this, &stream]() {
        TIncompleteZipMode mode = FIncompleteZipMode;
        if (OnInCompleteZip) OnInCompleteZip(this, mode);
        if (mode != TIncompleteZipMode::izAssumeBad) throw EBadZipFile(ZipEngineText(183));
        if (!RebuildFromLocalHeaders(stream)) {
            ClearZip();
            throw EBadZipFile(ZipEngineText(183));
        }
    };
    if (found == TEndSearch::esNotFound) {
        TIncompleteZipMode mode = FIncompleteZipMode;
        if (OnInCompleteZip) OnInCompleteZip(this, mode);
        if (mode == TIncompleteZipMode::izAssumeNotAZip) throw ENotAZipFile(ZipEngineText(183));
        if (mode == TIncompleteZipMode::izAssumeMulti) throw EIncompleteZip(ZipEngineText(182));
        if (!RebuildFromLocalHeaders(stream)) {
            ClearZip();
            throw EBadZipFile(ZipEngineText(183));
        }
        FCurrentList = FPhysical.get();
        FHaveDirectory = true;
        SortEntries(FSortMode);
        return;
    }

    FCurrentDisk = FUsedZfc ? 0 : FEndCentral.ThisDisk;
    if (FEndCentral.ThisDisk != 0) {
        platform::VolumeInfo vol;
        int err = 0;
        std::string dir = platform::DirectoryOf(FZipName);
        bool removable = Fs().GetVolumeInfo(dir.empty() ? "." : dir, vol, err) &&
                         vol.Kind == platform::DriveKind::Removable;
        SetMultiMode(removable ? TMultiMode::mmSpan : TMultiMode::mmBlocks);
    } else {
        SetMultiMode(TMultiMode::mmNone);
    }
    FPhysical = std::make_unique<TSortedZip>(TZipSortMode::ByNone, true, TDuplicates::dupError);
    FCurrentList = FPhysical.get();

    std::string directory;
    if (FEndCentral.TotalEntries != 0) {
        if (FUsedZfc) {
            zfc->Seek(0, soFromBeginning);
            ReadAppend(*zfc, directory, FEndCentral.CentralSize);
        } else {
            std::unique_ptr<TLFNFileStream> part;
            TS_BufferStream* source = &stream;
            if (GetMultiMode() != TMultiMode::mmNone && FEndCentral.StartDisk != FCurrentDisk) {
                // The disk where the directory begins holds a central record there.
                const uint32_t at = FEndCentral.CentralOffset;
                part = GetDisk(FEndCentral.StartDisk + 1, [at](TLFNFileStream& s) {
                    uint8_t sig[4] = {0, 0, 0, 0};
                    s.Seek(at, soFromBeginning);
                    return s.Read(sig, 4) == 4 && LE32(sig) == ZipCentralSignature;
                });
                source = part.get();
            }
            source->Seek(FEndCentral.CentralOffset, soFromBeginning);
            ReadAppend(*source, directory, FEndCentral.CentralSize);
            // A directory that goes on over the next parts.
            while (directory.size() < FEndCentral.CentralSize && GetMultiMode() != TMultiMode::mmNone &&
                   FCurrentDisk < FEndCentral.ThisDisk) {
                // A later disk of the directory never begins as the first disk does.
                part = GetDisk(FCurrentDisk + 2, [](TLFNFileStream& s) {
                    uint8_t sig[4] = {0, 0, 0, 0};
                    s.Seek(0, soFromBeginning);
                    return s.Read(sig, 4) != 4 || LE32(sig) != ZipSpanSignature;
                });
                if (ReadAppend(*part, directory, FEndCentral.CentralSize - directory.size()) == 0) break;
            }
        }
        if (directory.size() < 4 ||
            LE32(reinterpret_cast<const uint8_t*>(directory.data())) != ZipCentralSignature) {
            broken();
            FHaveDirectory = true;
            SortEntries(FSortMode);
            return;
        }
    }
    size_t offset = 0;
    for (unsigned i = 0; i < FEndCentral.TotalEntries; ++i) {
        auto rec = std::make_unique<TZipHeaderInfo>();
        if (!rec->ReadCentralFromBytes(directory, offset)) {
            broken();
            FHaveDirectory = true;
            SortEntries(FSortMode);
            return;
        }
        rec->CentralHeaderOffset += FEndCentral.CentralOffset;
        if (rec->CompressedSize == 0xFFFFFFFF || rec->UncompressedSize == 0xFFFFFFFF ||
            rec->LocalHeaderOffset == 0xFFFFFFFF || rec->DiskNumberStart == 0xFFFF) {
            DropDirectory();
            throw EBadZipFile(BadZipText("Zip64 archives are not supported"));
        }
        // A list refuses a duplicate record (by throwing or ignoring it): the
        // record stays ours then and is freed, never leaked.
        FPhysical->Add(rec.get());
        if (FPhysical->LastInserted()) rec.release();
    }
    FNumberOfDisks = FEndCentral.ThisDisk + 1;
    FCurrentDisk = FUsedZfc ? 0 : FEndCentral.ThisDisk;
    FHaveDirectory = true;
    SortEntries(FSortMode);
}

bool TUnzipEngine::RebuildFromLocalHeaders(TS_BufferStream& stream) {
    FRebuilt = true;
    DropDirectory();
    const int64_t size = stream.Size();
    int64_t pos = 0;
    std::string lower = LowerCase(FZipName);
    if (lower.size() > 4 && lower.substr(lower.size() - 4) == ".exe") pos = 14000;
    // Look for the first local header whose version-needed high byte is small.
    std::vector<uint8_t> buf(1 << 16);
    int64_t found = -1;
    uint64_t sinceCheck = 0;
    while (pos < size && found < 0) {
        stream.Seek(pos, soFromBeginning);
        size_t n = stream.Read(buf.data(), buf.size());
        if (n < 6) break;
        for (size_t i = 0; i + 6 <= n; ++i) {
            if (buf[i] == 'P' && buf[i + 1] == 'K' && buf[i + 2] == 3 && buf[i + 3] == 4 && buf[i + 5] < 10) {
                found = pos + static_cast<int64_t>(i);
                break;
            }
            if (++sinceCheck >= 10240) {
                sinceCheck = 0;
                Pump();
            }
        }
        pos += static_cast<int64_t>(n) - 5;
    }
    if (found < 0) return false;
    FPhysical = std::make_unique<TSortedZip>(TZipSortMode::ByNone, true, TDuplicates::dupIgnore);
    FCurrentList = FPhysical.get();
    int64_t at = found;
    unsigned count = 0;
    while (at < size && count < ZipEngineMaxEntries) {
        stream.Seek(at, soFromBeginning);
        auto rec = std::make_unique<TZipHeaderInfo>();
        if (!rec->ReadLocalFromStream(stream)) break;
        int64_t next = at + rec->LocalSize() + rec->CompressedSize;
        if (rec->HasDataDescriptor() && rec->CompressedSize == 0) {
            // The sizes follow the data: the entry ends before the next header.
            int64_t scan = at + rec->LocalSize();
            next = -1;
            while (scan < size && next < 0) {
                stream.Seek(scan, soFromBeginning);
                size_t n = stream.Read(buf.data(), buf.size());
                if (n < 4) break;
                for (size_t i = 0; i + 4 <= n; ++i)
                    if (buf[i] == 'P' && buf[i + 1] == 'K' && (buf[i + 2] == 3 || buf[i + 2] == 1) &&
                        buf[i + 3] == buf[i + 2] + 1) {
                        next = scan + static_cast<int64_t>(i);
                        break;
                    }
                scan += static_cast<int64_t>(n) - 3;
                Pump();
            }
            if (next < 0) next = size;
        } else if (rec->HasDataDescriptor()) {
            next += 16;
        }
        // A list refuses a duplicate record (by throwing or ignoring it): the
        // record stays ours then and is freed, never leaked.
        FPhysical->Add(rec.get());
        if (FPhysical->LastInserted()) rec.release();
        ++count;
        if (next <= at) break;
        at = next;
    }
    FEndCentral.Clear();
    FEndCentral.CentralOffset = static_cast<uint32_t>(std::min<int64_t>(at, 0xFFFFFFFF));
    FEndCentral.TotalEntries = static_cast<uint16_t>(count);
    FEndCentral.EntriesOnDisk = static_cast<uint16_t>(count);
    FCurrentDisk = 0;
    FNumberOfDisks = 1;
    return true;
}

// --- TZipEngine ---

TZipEngine::TZipEngine() : FDeflater(std::make_unique<TDeflateEncoder>()) {}

TZipEngine::~TZipEngine() = default;

void TZipEngine::SetZipName(const std::string& name) {
    if (name == FZipName) return;
    if (FEndCentral.Pending && !FZipName.empty() && !FBusy) {
        // A changed comment is written before another archive is taken up.
        FFilesList.clear();
        ProcessFiles();
        FEndCentral.Pending = false;
    }
    TUnzipEngine::SetZipName(name);
}

void TZipEngine::SetStorePaths(bool v) {
    FStorePaths = v;
    if (!v) {
        FStoreVolumes = false;
        FRelativePaths = false;
    }
}

void TZipEngine::SetRelativePaths(bool v) {
    FRelativePaths = v;
    if (v) {
        FStorePaths = true;
        FRecurse = true;
    }
}

void TZipEngine::SetStoreVolumes(bool v) {
    FStoreVolumes = v;
    if (v) FStorePaths = true;
}

void TZipEngine::Assign(const TZipEngine& s) {
    TUnzipEngine::Assign(s);
    FPackLevel = s.FPackLevel;
    FRecurse = s.FRecurse;
    FDispose = s.FDispose;
    FStorePaths = s.FStorePaths;
    FRelativePaths = s.FRelativePaths;
    FStoreVolumes = s.FStoreVolumes;
    FZipAction = s.FZipAction;
    FMultiZipInfo.Assign(s.FMultiZipInfo);
    FStore83Names = s.FStore83Names;
    FTempPath = s.FTempPath;
    FSkipIfArchiveBitNotSet = s.FSkipIfArchiveBitNotSet;
    FResetArchiveBitOnZip = s.FResetArchiveBitOnZip;
    FExcludeList = s.FExcludeList;
    FNoCompressList = s.FNoCompressList;
    FAddDirEntriesOnRecurse = s.FAddDirEntriesOnRecurse;
    OnStartZipInfo = s.OnStartZipInfo;
    OnStartZip = s.OnStartZip;
    OnEndZip = s.OnEndZip;
    OnDisposeFile = s.OnDisposeFile;
    OnDeleteEntry = s.OnDeleteEntry;
    OnNoSuchFile = s.OnNoSuchFile;
    OnZipComplete = s.OnZipComplete;
    OnUpdate = s.OnUpdate;
    OnProcuraPath = s.OnProcuraPath;
    OnSkippingFile = s.OnSkippingFile;
}

void TZipEngine::Loaded() {
    TUnzipEngine::Loaded();
    SetCheckDiskLabels(FMultiZipInfo.CheckDiskLabels());
    SetMultiMode(FMultiZipInfo.MultiMode());
}

int TZipEngine::Zip() {
    FDeleteMode = false;
    int n = ProcessFiles();
    if (OnZipComplete) OnZipComplete(this, n);
    return n;
}

void TZipEngine::DeleteEntries() {
    FDeleteMode = true;
    try {
        ProcessFiles();
    } catch (...) {
        FDeleteMode = false;
        throw;
    }
    FDeleteMode = false;
}

} // namespace mv
