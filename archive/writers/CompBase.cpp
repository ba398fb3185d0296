// The writer driver: collects the files to add, merges them with the entries of
// the old archive, has the format write the new archive beside the old one and
// puts it in the old one's place only when everything was written.
#include "archive/writers/CompBase.h"

#include "archive/framework/ArcFileAttr.h"
#include "archive/framework/ArcTimer.h"
#include "archive/framework/DiskManager.h"
#include "archive/framework/SharedRoutines.h"
#include "archive/framework/TextUtils.h"
#include "archive/framework/ZipCrypt.h"
#include "archive/writers/GZipWriter.h"
#include "platform/FileOps.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <ctime>
#include <filesystem>

namespace mv {

using platform::Fs;

namespace {

std::string CurrentFolder() {
    std::error_code ec;
    auto p = std::filesystem::current_path(ec);
    return ec ? std::string("/") : AppendBackslash(p.string());
}

// An absolute, lexically normal path with "/" separators.
std::string FullPath(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    std::filesystem::path p(path);
    if (p.is_relative()) p = std::filesystem::path(CurrentFolder()) / p;
    return p.lexically_normal().string();
}

bool HasExtension(const std::string& path) {
    std::string name = platform::NameOf(path);
    size_t dot = name.find_last_of('.');
    return dot != std::string::npos && dot > 0;
}

constexpr int MaxFolderDepth = 256;

} // namespace

TCompBase::TCompBase() {
    FArcType = TArcType::atBh;
    FDateAttribute = TDateAttribute::daFileDate;
    SetDeflateType(TDeflateType::dtDeflateN);
}

TCompBase::~TCompBase() = default;

void TCompBase::SetCompressMethod(TCompressMethod value) {
    if (FAllowedMethods & (1u << static_cast<unsigned>(value))) FCompressMethod = value;
}

void TCompBase::SetDeflateType(TDeflateType value) {
    FDeflateType = value;
    FDeflateLevel = DeflateLevelOf(value);
}

const std::string& TCompBase::DefaultDir() {
    FDefaultDir = TrimBlanks(FDefaultDir);
    if (FDefaultDir.empty()) FDefaultDir = CurrentFolder();
    return FDefaultDir;
}

void TCompBase::SetDefaultDir(const std::string& value) {
    std::string v = TrimBlanks(value);
    if (v.empty() || !platform::IsDirectory(v)) v = CurrentFolder();
    FDefaultDir = AppendBackslash(v);
}

void TCompBase::SetDefaultExt(const std::string& value) {
    std::string old = FDefaultExt;
    std::string v = value;
    if (v.empty() || v == ".") {
        v = FOwnExt;
    } else {
        if (v[0] != '.') v = "." + v;
        if (v.size() > 4) v.resize(4);
        for (auto& c : v) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    FDefaultExt = v;
    if (FArchiveFile.empty()) return;
    if (!HasExtension(FArchiveFile)) {
        FArchiveFile += FDefaultExt;
    } else if (!old.empty()) {
        size_t dot = FArchiveFile.find_last_of('.');
        std::string ext = FArchiveFile.substr(dot);
        std::string a = ext, b = old;
        for (auto& c : a) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        for (auto& c : b) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (a == b) FArchiveFile = FArchiveFile.substr(0, dot) + FDefaultExt;
    }
}

void TCompBase::AddDefaultExt() {
    if (!FArchiveFile.empty() && !HasExtension(FArchiveFile)) FArchiveFile += FDefaultExt;
}

void TCompBase::SetFileName(const std::string& name) {
    std::string n = name;
    std::replace(n.begin(), n.end(), '\\', '/');
    switch (FStoredDirNames) {
    case TStoredDirNames::sdNone:
        n = platform::NameOf(n);
        break;
    case TStoredDirNames::sdAbsolute:
    case TStoredDirNames::sdAbsoluteNoDrv:
        // There are no drive letters here, and ":" is a legal character of a
        // name: both keep the whole path, made relative (never "/..." in an archive).
        break;
    case TStoredDirNames::sdRelative:
        if (!FSpecFolder.empty() && n.compare(0, FSpecFolder.size(), FSpecFolder) == 0)
            n = n.substr(FSpecFolder.size());
        break;
    case TStoredDirNames::sdRelativeStoreStart: {
        std::string parent = platform::DirectoryOf(RemoveTrailingBackslash(FSpecFolder));
        parent = AppendBackslash(parent);
        if (parent.size() > 1 && n.compare(0, parent.size(), parent) == 0) n = n.substr(parent.size());
        break;
    }
    }
    while (!n.empty() && n[0] == '/') n.erase(0, 1);
    FEntry.FileName = SlashToBackslash(n);
}

uint32_t TCompBase::CurrentDosDateTime(uint32_t fileDate) const {
    switch (FDateAttribute) {
    case TDateAttribute::daSysDate:
        return FileDosDateTime(static_cast<int64_t>(std::time(nullptr)));
    case TDateAttribute::daMaxFileDate:
        return FMaxFileDate;
    default:
        return fileDate;
    }
}

bool TCompBase::SpecMatches(const std::vector<std::string>& specs, const std::string& storedName) {
    for (const auto& line : specs) {
        std::string mask = line;
        std::replace(mask.begin(), mask.end(), '/', '\\');
        bool namesOnly = mask.find('\\') == std::string::npos;
        if (WildcardMatch(mask, storedName, namesOnly)) return true;
    }
    return false;
}

bool TCompBase::IsExcludedName(const std::string& storedName) const {
    return SpecMatches(FExcludeSpec, storedName);
}

bool TCompBase::IsDeletedName(const std::string& storedName) const {
    if (FSwitch != TSwitch::swDelete) return false;
    // Whole paths: "a.txt" names the entry a.txt, never dir\a.txt. A stored
    // name that begins with ".\" (as some tools write them) is the same path.
    std::string name = storedName;
    std::replace(name.begin(), name.end(), '/', '\\');
    while (name.compare(0, 2, ".\\") == 0) name.erase(0, 2);
    for (const auto& line : FFileSpec) {
        std::string mask = line;
        std::replace(mask.begin(), mask.end(), '/', '\\');
        if (WildcardMatch(mask, name, false)) return true;
    }
    return false;
}

bool TCompBase::BeforeCompressFile(std::string& name, int count) {
    if (OnProgress) DoProgress(0, 1, FTotalUnpacked);
    bool extract = true;
    if (OnBegin) OnBegin(this, name, count, extract);
    if (extract && OnRenameCompressedFile) OnRenameCompressedFile(this, name);
    return extract;
}

void TCompBase::RaiseFileError(const std::exception& e, int code, const std::string& name) {
    auto* fe = dynamic_cast<const platform::FileError*>(&e);
    RaiseError(fe ? fe->Path() : name, e.what(), "0", code);
    throw E_RAISE(code);
}

void TCompBase::IndexEntry(size_t index, const std::string& storedName) {
    FEntryIndex.emplace(storedName, index);
}

bool TCompBase::WriteNewEntry(const std::string& path, int64_t start, const std::function<void()>& write) {
    try {
        write();
    } catch (const EEntryFailed& f) {
        // This entry alone fails: the archive goes on without it.
        try {
            Output().SetSize(start);
            Output().Seek(start);
        } catch (const std::exception& e) {
            RaiseFileError(e, arcerr::WriteError, FArchiveFile);
        }
        DoError(path, "", "0", f.Code);
        return false;
    } catch (const E_RAISE&) {
        throw;
    } catch (const std::exception& e) {
        RaiseFileError(e, arcerr::WriteError, FArchiveFile);
    }
    return true;
}

bool TCompBase::BeginNewEntry(const THeadObject& head, std::string& name) {
    SetFileName(head.SourcePath);
    name = FEntry.FileName;
    return BeforeCompressFile(name, FFileCount);
}

std::string TCompBase::OemEntryName(const std::string& path, const std::string& name, size_t maxLength) {
    const std::string safe = SafeStoredName(name);
    bool utf8 = false;
    std::string stored = safe.empty() ? std::string() : AnsiToOemPath(safe, &utf8);
    if (stored.empty() || utf8 || stored.size() > maxLength) {
        DoError(path, "", "0", arcerr::InvalidName);
        return {};
    }
    FEntry.FileName = SlashToBackslash(safe);
    return stored;
}

std::string TCompBase::OemOrUtf8EntryName(const std::string& path, const std::string& name, size_t maxLength,
                                          bool& utf8) {
    const std::string safe = SafeStoredName(name);
    utf8 = false;
    const std::string stored = safe.empty() ? std::string() : AnsiToOemPath(safe, &utf8);
    if (stored.empty() || stored.size() > maxLength) {
        DoError(path, "", "0", arcerr::InvalidName);
        return {};
    }
    FEntry.FileName = SlashToBackslash(safe);
    return stored;
}

std::unique_ptr<platform::File> TCompBase::OpenSource(const THeadObject& head) {
    if (FAheadTurn < FEntryList.size() && FEntryList[FAheadTurn].Head.get() == &head)
        if (auto src = TakeAheadSource(FAheadTurn)) return src;
    try {
        return Fs().Open(head.SourcePath, platform::OpenMode::Read);
    } catch (const std::exception&) {
        // An unreadable source is skipped and not counted.
        FBytesLeft -= static_cast<int64_t>(head.NewSize);
        DoError(head.SourcePath, "", "0", arcerr::OpenError);
        return nullptr;
    }
}

uint64_t TCompBase::SourceSize(platform::File& src, const THeadObject& head) {
    try {
        return static_cast<uint64_t>(src.Size());
    } catch (const std::exception&) {
        return head.NewSize;
    }
}

TCompressMethod TCompBase::MethodFor(const std::string& name) const {
    if (FStoreAlreadyCompressedFiles && IsAlreadyCompressedName(name)) return TCompressMethod::cmStore;
    return FCompressMethod;
}

uint32_t TCompBase::SourceCrc32(platform::File& src) {
    try {
        return StreamCRC32(src) ^ 0xFFFFFFFFu;
    } catch (const std::exception&) {
        throw EEntryFailed{arcerr::ReadError};
    }
}

void TCompBase::WriteEncryptHeader(TZipKeys& keys, uint32_t crc) {
    uint8_t eh[ZipEncryptHeaderSize];
    ZipMakeEncryptHeader(keys, FPassword, crc, eh);
    Output().Write(eh, sizeof eh);
}

TCompBase::TPackedData TCompBase::PackEntryData(platform::File& src, int64_t dataStart, uint64_t size,
                                                TCompressMethod method, const uint32_t* encryptCrc,
                                                const TPackMethod& pack) {
    TPackedData data;
    const int64_t operationTotal = FTotalUnpacked;
    for (int pass = 0; pass < 2; ++pass) {
        src.Seek(0);
        Output().Seek(dataStart);
        TZipKeys keys;
        if (encryptCrc) WriteEncryptHeader(keys, *encryptCrc);
        TWriterSource in(src, [&](size_t k) {
            if (pass == 0) FBytesLeft -= static_cast<int64_t>(k);
            DoProgress(static_cast<int64_t>(k), static_cast<int64_t>(size), operationTotal);
        });
        TWriterOutput out(Output(), encryptCrc ? &keys : nullptr, FCancel);
        bool unpackable = false;
        try {
            unpackable = pack(method, in, out);
        } catch (const ECodecError& e) {
            throw EEntryFailed{e.Code()};
        }
        if (FCancel) RaiseError(FArchiveFile, "", "0", arcerr::UserAbort);
        data.Total = in.Total;
        data.Crc32 = in.Crc32 ^ 0xFFFFFFFFu;
        data.Crc16 = in.Crc16;
        data.Packed = out.Count + (encryptCrc ? ZipEncryptHeaderSize : 0);
        FUnpackable = unpackable;
        // An encoder that found the data does not shrink may stop before the
        // end of the source: the data goes again, stored, and that pass is checked.
        if (unpackable && pass == 0) {
            method = TCompressMethod::cmStore;
            continue;
        }
        if (in.Total != size || (encryptCrc && data.Crc32 != *encryptCrc))
            throw EEntryFailed{arcerr::ReadError}; // the file changed meanwhile
        break;
    }
    return data;
}

bool TCompBase::NewEntryWritten(THeadObject& head, int64_t start, uint64_t length, uint64_t packed) {
    head.NewOffset = start;
    head.NewLength = length;
    FTotalPacked += static_cast<int64_t>(packed);
    if (OnEnd) OnEnd(this, FEntry.FileName, true);
    return true;
}

void TCompBase::ReportEntries(size_t minHeader) {
    for (size_t i = 0; i < FEntryList.size(); ++i) {
        const THeadObject& head = *FEntryList[i].Head;
        if (head.Status == THeadObject::hsSkip) continue;
        FTotalUnpacked += static_cast<int64_t>(head.OriginalSize);
        if (!head.Written || FSwitch == TSwitch::swDelete || head.Header.size() < minHeader) continue;
        FEntry = TArcEntryInfo{};
        FEntry.FileName = FEntryList[i].Name;
        FillEntryInfo(head);
        if (OnRead) OnRead(this, head.NewOffset, static_cast<int>(i));
    }
}

void TCompBase::FillEntryInfo(const THeadObject& head) {
    FEntry.UnpackedSize = static_cast<int64_t>(head.OriginalSize);
    FEntry.PackedSize = static_cast<int64_t>(head.StoredSize);
    FEntry.ExternalAttr = head.Attributes;
    FEntry.Ratio = CompressRatio(FEntry.PackedSize, FEntry.UnpackedSize);
    if (static_cast<int32_t>(head.DosDateTime) > 0) FEntry.DateTime = ConvertDate(head.DosDateTime);
}

bool TCompBase::RefusesPassword() {
    if (FSwitch == TSwitch::swRead || FSwitch == TSwitch::swDelete || FPassword.empty() || EncryptsEntries())
        return false;
    DoError(FArchiveFile, "Password", "0", arcerr::InvalidArcType);
    return true;
}

void TCompBase::ListExistingEntries() {
    FFileCount = 0;
    if (!OnRead) return;
    try {
        FArchiveIn = Fs().Open(FArchiveFile, platform::OpenMode::Read);
        ScanExistingEntries();
        for (const auto& line : FEntryList) {
            // Entries that name no file (a tar's global header) are not listed.
            if (line.Name.empty() || line.Name[0] == '\x01') continue;
            FEntry = TArcEntryInfo{};
            FEntry.FileName = line.Name;
            FillEntryInfo(*line.Head);
            BeforeListEntry(line.Name);
            ++FFileCount;
            OnRead(this, line.Head->Offset, FFileCount);
        }
    } catch (const E_RAISE&) {
    } catch (const std::exception&) {
        DoError(FArchiveFile, "", "0", arcerr::ReadError);
    }
    FArchiveIn.reset();
    FEntryList.clear();
    FEntryIndex.clear();
    FSpecIndexList.clear();
}

int64_t TCompBase::OldArchiveSize() {
    try {
        return ArchiveIn().Size();
    } catch (const std::exception& e) {
        RaiseFileError(e, arcerr::ReadError, FArchiveFile);
    }
}

bool TCompBase::KeepOldEntry(const std::string& name, std::unique_ptr<THeadObject> head) {
    if (IsDeletedName(name)) {
        ++FDeletedCount;
        return false;
    }
    head->Status = THeadObject::hsKeep;
    FEntryList.push_back({name, std::move(head)});
    FSpecIndexList.push_back(0);
    IndexEntry(FEntryList.size() - 1, name);
    return true;
}

// ---- the operation -------------------------------------------------------

int TCompBase::Compress() {
    FReplaced = false;
    ActiveArchiveComponent = this;
    FCancel = false;
    ClearLastError();
    FMaxFileDate = 0;
    FFileCount = 0;
    FTotalPacked = FTotalUnpacked = 0;
    FProgressByArchive = 0;
    FBytesLeft = 0;
    FCompressedCount = FDeletedCount = 0;
    FLinksSkipped = 0;
    FSpecFolder.clear();
    FCurrentVolume = FArchiveFile;
    ProgressProc = [this] { DefaultProgress(); };
    FSpecIndexList.clear();
    FWrittenSources.clear();
    if (!FArchiveFile.empty()) CompressArchive();
    FSpecIndexList.clear();
    FFileCount = FSwitch == TSwitch::swDelete ? FDeletedCount : FCompressedCount;
    return FFileCount;
}

void TCompBase::CompressArchive() {
    try {
        platform::FileInfo info;
        FArchiveIsNew = !Fs().Stat(FArchiveFile, info);
        if (FSwitch == TSwitch::swRead) {
            if (!FArchiveIsNew) ListExistingEntries();
            return;
        }
        if (FSwitch == TSwitch::swDelete && FArchiveIsNew)
            RaiseError(FArchiveFile, "", "0", arcerr::NothingToDo);
        if (RefusesPassword()) throw E_RAISE(arcerr::InvalidArcType);
        if (!FArchiveIsNew) {
            if (!info.IsRegular) RaiseError(FArchiveFile, "", "0", arcerr::WriteError);
            if (info.Attributes & platform::faReadOnly) {
                bool writeToFile = false;
                if (OnNonWriteableArchive) OnNonWriteableArchive(this, FArchiveFile, writeToFile);
                // Without a handler, or when it declines, the archive stays untouched.
                if (!writeToFile) RaiseError(FArchiveFile, "", "0", arcerr::WriteError);
                try {
                    Fs().SetReadOnly(FArchiveFile, false);
                } catch (const std::exception& e) {
                    RaiseFileError(e, arcerr::WriteError, FArchiveFile);
                }
            }
        }
        DoActivate();
        if (!FArchiveIsNew) {
            try {
                FArchiveIn = Fs().Open(FArchiveFile, platform::OpenMode::Read);
            } catch (const std::exception& e) {
                RaiseFileError(e, arcerr::OpenError, FArchiveFile);
            }
        }
        SetDiskDrive();
        try {
            if (DiskManager().DriveType() == TDiskManager::dtRemovable) {
                FTempFile = Fs().CreateTempFile(TempDir(), "arc");
                FTempFileName = FTempFile->Path();
                FOutput = FTempFile.get();
            } else {
                FWriter = std::make_unique<platform::AtomicWriter>(FArchiveFile);
                FTempFileName = FWriter->TempPath();
                FOutput = &FWriter->Output();
            }
        } catch (const std::exception& e) {
            RaiseFileError(e, arcerr::OpenError, FArchiveFile);
        }
        if (!FArchiveIsNew) {
            if (FSwitch == TSwitch::swDelete) FExcludeSpec.clear();
            ScanExistingEntries();
        }
        BuildArchive();
        AfterCompress();
    } catch (const E_RAISE&) {
        // reported through OnError already
    } catch (const platform::FileError& e) {
        DoError(e.Path(), e.what(), "0", arcerr::WriteError);
    } catch (const std::exception& e) {
        DoError(FArchiveFile, e.what(), "0", arcerr::WriteError);
    }
    // A run that failed before its archive was put in place changed nothing:
    // it reports no entries added or deleted.
    if (!FReplaced) FCompressedCount = FDeletedCount = 0;
    // Clean-up, always: the temporary file goes unless it became the archive.
    FArchiveIn.reset();
    FOutput = nullptr;
    FWriter.reset();
    if (FTempFile) {
        FTempFile.reset();
        try {
            if (platform::Exists(FTempFileName)) Fs().RemoveFile(FTempFileName);
        } catch (const std::exception&) {
        }
    }
    FEntryList.clear();
    FEntryIndex.clear();
    if (FSwitch == TSwitch::swMove && FReplaced) {
        DoProgress(0, 0, 0);
        DeleteMovedFiles();
    }
    DoDeactivate();
    if (OnElapsedTime) {
        DoProgress(0, 0, 0);
        OnElapsedTime(this, Timer().Elapsed());
    }
}

void TCompBase::BuildArchive() {
    if (FSwitch != TSwitch::swDelete) {
        for (size_t i = 0; i < FFileSpec.size(); ++i) {
            ProcessMessages();
            if (FCancel) RaiseError(FArchiveFile, "", "0", arcerr::UserAbort);
            CollectFiles(i);
        }
    }
    FBytesLeft = FTotalUnpacked;
    if (OnElapsedTime) Timer().Start();
    try {
        CompressFiles();
    } catch (...) {
        Timer().Stop();
        throw;
    }
    Timer().Stop();
    FinishArchive();
    if (FReplaced) ReportNewEntries();
}

void TCompBase::CollectFiles(size_t specIndex) {
    std::string line = FFileSpec[specIndex];
    std::replace(line.begin(), line.end(), '\\', '/');
    if (line.find('/') == std::string::npos) line = DefaultDir() + line;
    line = FullPath(line);
    FSpecFolder = AppendBackslash(platform::DirectoryOf(line));
    std::string mask = platform::NameOf(line);
    // A line without wildcards that names an existing file means that file alone,
    // also in a recursive run: same-named files in subfolders are not taken.
    const bool recurse = FRecurseDirs;
    platform::FileInfo info;
    if (mask.find_first_of("*?") == std::string::npos && Fs().Stat(line, info) && info.IsRegular)
        FRecurseDirs = false;
    const bool found = AddMatchingFiles(specIndex, mask, FSpecFolder, 0);
    FRecurseDirs = recurse;
    if (found) FFileSpec[specIndex] = line;
}

bool TCompBase::AttrPassesFilter(uint8_t attr) {
    if (attr & platform::faDirectory) return false;
    TArcFileAttr& f = FileAttribute();
    bool base;
    if (attr & platform::faArchive)
        base = f.ftArchive();
    else if (attr == 0 || (attr & 0x3F))
        base = f.ftZeroAttr();
    else
        base = true;
    if (attr & platform::faReadOnly)
        base = base || f.ftReadOnly();
    else if (attr & platform::faHidden)
        base = base || f.ftHidden();
    else if (attr & platform::faSysFile)
        base = base || f.ftSysFile();
    return base;
}

bool TCompBase::AttrLeftOutBySearch(uint8_t attr) {
    const int asked = FileAttribute().ftFileAttr();
    return (attr & ~asked & (platform::faHidden | platform::faSysFile | platform::faVolumeID)) != 0;
}

void TCompBase::SkipLink(const std::string& path) {
    ++FLinksSkipped;
    DoError(path, "", "0", arcerr::Discarded);
}

bool TCompBase::AddMatchingFiles(size_t specIndex, const std::string& mask, const std::string& folder,
                                 int depth) {
    std::vector<platform::DirEntry> found;
    try {
        found = platform::ListMatching(RemoveTrailingBackslash(folder), mask);
    } catch (const std::exception&) {
        found.clear();
    }
    bool any = false;
    for (const auto& e : found) {
        ProcessMessages();
        if (FCancel) return any;
        // Regular files only: no folders, links, devices or pipes; a link is reported.
        if (AttrLeftOutBySearch(e.Info.Attributes)) continue;
        std::string path = folder + e.Name;
        if (e.Info.IsSymlink) {
            any = true;
            SkipLink(path);
            continue;
        }
        if (!e.Info.IsRegular) continue;
        any = true;
        // Never the archive itself, nor the new archive being written beside it.
        if (path == FArchiveFile || path == FTempFileName) continue;
        if (!AttrPassesFilter(e.Info.Attributes)) continue;
        SetFileName(path);
        // The name the entry will be stored under, so that it meets the old entry
        // of that name (the same hook runs again when the entry is written).
        if (OnRenameCompressedFile) OnRenameCompressedFile(this, FEntry.FileName);
        if (IsExcludedName(FEntry.FileName)) continue;
        if (FileTooLarge(e.Info.Size)) RaiseError(path, "", "0", arcerr::TooLarge);
        uint32_t date = FileDosDateTime(e.Info.ModTime);
        if (date > FMaxFileDate) FMaxFileDate = date;
        AddFileEntry(specIndex, path, e.Info.Attributes, date, e.Info.Size, e.Info.Mode);
    }
    if (!any && depth == 0 && !FRecurseDirs) {
        DoError(mask, "", "0", arcerr::FileNotFound);
        return false;
    }
    if (FRecurseDirs && depth < MaxFolderDepth) {
        std::vector<platform::DirEntry> all;
        try {
            all = Fs().ListDirectory(RemoveTrailingBackslash(folder));
        } catch (const std::exception&) {
            all.clear();
        }
        std::sort(all.begin(), all.end(), [](const auto& a, const auto& b) { return a.Name < b.Name; });
        for (const auto& d : all) {
            ProcessMessages();
            if (FCancel) return any;
            // Only "." and ".." are passed over by name; a hidden (dot) folder is
            // walked when hidden files are asked for.
            if (!d.Info.IsDirectory || d.Info.IsSymlink || d.Name.empty() || d.Name == "." || d.Name == "..")
                continue;
            if (AttrLeftOutBySearch(d.Info.Attributes)) continue;
            std::string sub = folder + d.Name + "/";
            if (OnRecurseDir) OnRecurseDir(this, sub);
            if (AddMatchingFiles(specIndex, mask, sub, depth + 1)) any = true;
        }
    }
    if (!any && depth == 0) {
        DoError(mask, "", "0", arcerr::FileNotFound);
        return false;
    }
    return any;
}

void TCompBase::OldEntryFacts(const THeadObject& head, uint32_t& date, uint64_t& size, uint32_t& attr) const {
    date = head.DosDateTime;
    size = head.OriginalSize;
    attr = head.Attributes;
}

int TCompBase::AddFileEntry(size_t specIndex, const std::string& path, uint32_t attr, uint32_t date,
                            uint64_t size, uint32_t mode) {
    const std::string stored = FEntry.FileName;
    int found = -1;
    auto it = FEntryIndex.find(stored);
    if (it != FEntryIndex.end()) found = static_cast<int>(it->second);
    if (found < 0) {
        auto head = std::make_unique<THeadObject>();
        head->OriginalSize = head->StoredSize = size;
        head->DosDateTime = date;
        head->Attributes = attr;
        head->Status = THeadObject::hsNew;
        head->SourcePath = path;
        head->NewSize = size;
        head->NewDate = date;
        head->NewAttributes = attr;
        head->NewMode = mode & 07777;
        FEntryList.push_back({path, std::move(head)});
        FSpecIndexList.push_back(specIndex + 1);
        IndexEntry(FEntryList.size() - 1, stored);
        FTotalUnpacked += static_cast<int64_t>(size);
        return -1;
    }
    THeadObject& head = *FEntryList[found].Head;
    if (head.Status != THeadObject::hsKeep)
        return found; // a second file with the same stored name: the first stays
    uint32_t oldDate, oldAttr;
    uint64_t oldSize;
    OldEntryFacts(head, oldDate, oldSize, oldAttr);
    // The DOS attributes are compared: a format may keep a Unix mode above them.
    if ((oldSize != size || oldDate != date || (oldAttr & 0xFF) != (attr & 0xFF)) && OnReplaceFile) {
        bool replace = true;
        OnReplaceFile(this, FEntryList[found].Name, path, ConvertDate(oldDate), ConvertDate(date),
                      static_cast<int64_t>(oldSize), static_cast<int64_t>(size), static_cast<int>(oldAttr),
                      static_cast<int>(attr), replace);
        if (replace) {
            head.Status = THeadObject::hsReplace;
            head.SourcePath = path;
            head.NewSize = size;
            head.NewDate = date;
            head.NewAttributes = attr;
            head.NewMode = mode & 07777;
            FSpecIndexList[found] = specIndex + 1;
            FTotalUnpacked += static_cast<int64_t>(size) - static_cast<int64_t>(oldSize);
        }
    }
    return found;
}

namespace {

// A source read ahead for the workers: its bytes as they stand, without events.
class TAheadInput : public CodecInput {
public:
    explicit TAheadInput(platform::File& file) : FFile(file) {}
    size_t Read(uint8_t* buf, size_t n) override { return FFile.Read(buf, n); }

private:
    platform::File& FFile;
};

} // namespace

void TCompBase::StartAhead(size_t count, TAheadOffer offer) {
    StopAhead();
    const unsigned threads = CompressionThreads();
    if (threads < 2) return;
    FAhead = std::make_unique<TDeflateAhead>(threads, [this, count, offer](TDeflateAhead::TMember& m) {
        while (FAheadCursor < count) {
            const size_t k = FAheadCursor++;
            std::string path;
            TDeflateOptions options;
            if (!offer(k, path, options)) continue;
            std::unique_ptr<platform::File> src;
            try {
                src = Fs().Open(path, platform::OpenMode::Read);
            } catch (const std::exception&) {
                continue; // reported at its turn
            }
            m.Key = k;
            m.Options = options;
            m.Input = std::make_unique<TAheadInput>(*src);
            FAheadFiles[k] = std::move(src);
            return true;
        }
        return false;
    });
}

void TCompBase::AheadTurn(size_t index) {
    if (!FAhead) return;
    FAheadTurn = index;
    FAheadCursor = std::max(FAheadCursor, index + 1);
    FAhead->Turn(index); // the workers' reader lets go of this file and those before
    FAheadFiles.erase(FAheadFiles.begin(), FAheadFiles.lower_bound(index));
}

std::unique_ptr<platform::File> TCompBase::TakeAheadSource(size_t index) {
    auto it = FAheadFiles.find(index);
    if (!FAhead || index != FAheadTurn || it == FAheadFiles.end()) return nullptr;
    std::unique_ptr<platform::File> src = std::move(it->second);
    FAheadFiles.erase(it);
    try {
        src->Seek(0);
        return src;
    } catch (const std::exception&) {
        return nullptr; // opened again, as if never opened ahead
    }
}

void TCompBase::StopAhead() {
    FAhead.reset(); // joins the workers, drops their reader
    FAheadFiles.clear();
    FAheadTurn = FAheadCursor = 0;
}

TDeflateResult TCompBase::DeflateEntry(TDeflateEncoder& encoder, CodecInput& in, CodecOutput& out,
                                       const TDeflateOptions& options) {
    if (FAhead) return FAhead->Deflate(FAheadTurn, encoder, in, out, options);
    return DeflateInPieces(encoder, in, out, options);
}

void TCompBase::CompressFiles() {
    // The workers and the sources opened for them end with the loop, however it ends.
    struct TAheadScope {
        TCompBase& self;
        ~TAheadScope() { self.StopAhead(); }
    } aheadScope{*this};
    StartAhead(FEntryList.size(), [this](size_t k, std::string& path, TDeflateOptions& options) {
        const THeadObject& head = *FEntryList[k].Head;
        if (head.Status != THeadObject::hsNew && head.Status != THeadObject::hsReplace) return false;
        if (!DeflatesAhead(head, options)) return false;
        path = head.SourcePath;
        return true;
    });
    size_t previousSpec = 0;
    for (size_t i = 0; i < FEntryList.size(); ++i) {
        FFileCount = static_cast<int>(i + 1);
        AheadTurn(i);
        ProcessMessages();
        // A cancel ends the whole operation: the old archive stays as it was.
        if (FCancel) RaiseError(FArchiveFile, "", "0", arcerr::UserAbort);
        THeadObject& head = *FEntryList[i].Head;
        FBlockStart = static_cast<int64_t>(head.StoredSize);
        if (FSwitch != TSwitch::swDelete && i < FSpecIndexList.size() && FSpecIndexList[i] != previousSpec &&
            FSpecIndexList[i] != 0) {
            previousSpec = FSpecIndexList[i];
            std::string line = FFileSpec[previousSpec - 1];
            std::replace(line.begin(), line.end(), '\\', '/');
            FSpecFolder = AppendBackslash(platform::DirectoryOf(FullPath(line)));
        }
        if (head.Status == THeadObject::hsNew || head.Status == THeadObject::hsReplace) {
            bool replacing = head.Status == THeadObject::hsReplace;
            if (CompressFile(i)) {
                ++FCompressedCount;
                head.Written = true;
                FEntryList[i].Name = FEntry.FileName;
                FWrittenSources.emplace_back(head.SourcePath, FEntry.FileName);
            } else if (replacing) {
                // The new file could not be read: the old entry stays.
                head.Status = THeadObject::hsKeep;
            } else {
                head.Status = THeadObject::hsSkip;
            }
        }
        if (head.Status == THeadObject::hsKeep) CopyEntry(i);
    }
}

void TCompBase::CopyEntry(size_t index) {
    THeadObject& head = *FEntryList[index].Head;
    try {
        FArchiveIn->Seek(head.Offset);
    } catch (const std::exception& e) {
        RaiseFileError(e, arcerr::WriteError, FArchiveFile);
    }
    CopyBlock(head.StoredSize);
}

void TCompBase::CopyBlock(uint64_t count) {
    std::vector<uint8_t> buf(std::min<uint64_t>(count, 1u << 20));
    while (count > 0) {
        size_t piece = static_cast<size_t>(std::min<uint64_t>(count, buf.size()));
        size_t n = 0;
        try {
            n = FArchiveIn->Read(buf.data(), piece);
        } catch (const std::exception& e) {
            RaiseFileError(e, arcerr::ReadError, FArchiveFile);
        }
        if (n != piece) RaiseError(FArchiveFile, "", "0", arcerr::WriteError);
        try {
            FOutput->Write(buf.data(), n);
        } catch (const std::exception& e) {
            RaiseFileError(e, arcerr::WriteError, FArchiveFile);
        }
        count -= n;
        FBytesLeft -= static_cast<int64_t>(n);
        DoProgress(static_cast<int64_t>(n), static_cast<int64_t>(n), FTotalUnpacked);
        if (FCancel) RaiseError(FArchiveFile, "", "0", arcerr::UserAbort);
    }
}

void TCompBase::FinishArchive() {
    FReplaced = false;
    // Nothing new and nothing deleted: the old archive stays as it is.
    if (FCompressedCount == 0 && FDeletedCount == 0) return;
    WriteTrailer();
    FReplaced = ReplaceArchive();
}

bool TCompBase::ReplaceArchive() {
    try {
        FOutput = nullptr;
        FArchiveIn.reset();
        if (FWriter) {
            FWriter->Commit();
        } else {
            FTempFile->Flush();
            FTempFile->Close();
            FTempFile.reset();
            platform::ReplaceFile(FTempFileName, FArchiveFile);
        }
        return true;
    } catch (const std::exception& e) {
        RaiseFileError(e, arcerr::WriteError, FArchiveFile);
    }
}

void TCompBase::DeleteMovedFiles() {
    std::unordered_set<std::string> held;
    if (FVerifyBeforeDelete && !ReadBackNames(held)) return;
    for (const auto& [path, stored] : FWrittenSources) {
        ProcessMessages();
        if (FCancel) return;
        if (FVerifyBeforeDelete && !held.count(stored)) {
            DoError(path, "", "0", arcerr::DeleteError);
            continue;
        }
        DeleteSource(path);
    }
}

bool TCompBase::DeleteSource(const std::string& path) {
    if (FDeleteOptions == TDeleteOptions::doAllowUndo) {
        std::string reason;
        if (platform::MoveToTrash(path, reason)) return true;
        DoError(path, reason, "0", arcerr::DeleteError);
        return false;
    }
    try {
        Fs().RemoveFile(path);
        return true;
    } catch (const std::exception& e) {
        DoError(path, e.what(), "0", arcerr::DeleteError);
        return false;
    }
}

bool TCompBase::ReadBackNames(std::unordered_set<std::string>& names) {
    names.clear();
    const TSwitch saved = FSwitch;
    bool ok = true;
    try {
        FArchiveIn = Fs().Open(FArchiveFile, platform::OpenMode::Read);
        FSwitch = TSwitch::swAdd; // every entry read is kept, none deleted
        ScanExistingEntries();
        for (const auto& line : FEntryList) names.insert(line.Name);
    } catch (const E_RAISE&) {
        ok = false;
    } catch (const std::exception&) {
        DoError(FArchiveFile, "", "0", arcerr::ReadError);
        ok = false;
    }
    FSwitch = saved;
    FArchiveIn.reset();
    FEntryList.clear();
    FEntryIndex.clear();
    FSpecIndexList.clear();
    return ok;
}

} // namespace mv
