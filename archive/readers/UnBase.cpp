#include "archive/readers/UnBase.h"

#include "archive/codecs/ZipDecode.h"
#include "archive/framework/ArcFileList.h"
#include "archive/framework/ArcTimer.h"
#include "archive/framework/DiskManager.h"
#include "archive/framework/SharedRoutines.h"
#include "platform/FileSystem.h"
#include "platform/LocalTime.h"

#include <algorithm>
#include <vector>

namespace mv {

namespace {

// Types whose archives an outside library opens and closes itself.
bool IsLibraryArcType(TArcType t) {
    return t == TArcType::atACE || t == TArcType::atCab || t == TArcType::atRar;
}

std::vector<std::string> SplitComponents(const std::string& name) {
    std::vector<std::string> parts;
    std::string cur;
    for (char c : name) {
        if (c == '/' || c == '\\') {
            parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    parts.push_back(cur);
    return parts;
}

} // namespace

std::string SafeRelativePath(const std::string& storedName, bool useStoredDirs) {
    std::string name = storedName;
    // A drive prefix only at the start ("C:" or "C:\"); a ":" elsewhere is part of a name.
    if (name.size() >= 2 && name[1] == ':' &&
        ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z')))
        name.erase(0, 2);
    std::vector<std::string> kept;
    for (auto& part : SplitComponents(name)) {
        if (part.empty() || part == "." || part == "..") continue;
        if (part.find('\0') != std::string::npos) return {};
        kept.push_back(std::move(part));
    }
    // A name that ends with a separator names a folder, not a file.
    if (!name.empty() && (name.back() == '/' || name.back() == '\\')) return {};
    if (kept.empty()) return {};
    if (!useStoredDirs) return kept.back();
    std::string out;
    for (size_t i = 0; i < kept.size(); ++i) {
        if (i) out += '/';
        out += kept[i];
    }
    return out;
}

bool MakeFoldersBelow(const std::string& root, const std::string& relativeFolder) {
    std::string relative;
    for (const auto& part : SplitComponents(relativeFolder)) {
        if (part.empty()) continue;
        if (part == "." || part == "..") return false;
        if (!relative.empty()) relative += '/';
        relative += part;
    }
    if (relative.empty()) return true;
    try {
        // Each folder is made or entered without following a link, and never above root.
        platform::Fs().CreateDirectoriesBeneath(root.empty() ? "." : root, relative);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool ReadFully(TArcStream& f, uint8_t* buf, int64_t n) {
    int64_t got = 0;
    while (got < n) {
        const int64_t k = f.Read(buf + got, n - got);
        if (k <= 0) return false;
        got += k;
    }
    return true;
}

TUnBase::TUnBase() {
    FAsciiTranslation = false;
    FDateAttribute = TDateAttribute::daFileDate;
}

TUnBase::~TUnBase() {
    // An output still open here belongs to a member that never finished.
    std::unique_ptr<TArcStream> none;
    DiscardOutput(none);
}

uint32_t TUnBase::NewFileMode() {
    // Reading the umask means setting it: done once per run.
    if (FNewFileMode == ~0u) FNewFileMode = platform::Fs().DefaultFileMode();
    return FNewFileMode;
}

int TUnBase::Extract() {
    FReadMode = rwFile;
    FWriteMode = rwFile;
    return RunExtract();
}

int TUnBase::ExtractToSink() {
    FReadMode = rwFile;
    FWriteMode = rwSink;
    return RunExtract();
}

void TUnBase::ExtractArchive(std::unique_ptr<TArcStream>&, TArcStream*) {}

int TUnBase::RunExtract() {
    ActiveArchiveComponent = this;
    FFileCount = 0;
    FMaxFileDate = 0;
    FReadPos = 0;
    FExtractedCount = 0;
    FFailedCount = 0;
    FLinksSkipped = 0;
    FNewFileMode = ~0u;
    FOutputTree.reset();
    FMemberPending = false;
    FBytesLeft = 0;
    FProgressByArchive = 0;
    FTotalPacked = 0;
    FTotalUnpacked = 0;
    SetCancel(false);
    ProgressProc = [this] { DefaultProgress(); };
    if (FCpuType == TCpuType::cpt80486) FCpuType = TCpuType::cptAuto;

    FCurrentVolume = FArchiveFile;
    const std::string savedArchive = FArchiveFile;
    // The answers of OnFileExists hold for this run only.
    const TOverwriteMode savedOverwrite = FOverwriteMode;

    if (FArchiveFile.empty()) RaiseError("", "", "0", arcerr::FileNotFound);
    if (!IsDecompressibleArcType(FArcType)) RaiseError(FArchiveFile, "", "0", arcerr::InvalidArcType);
    const bool library = IsLibraryArcType(FArcType);
    if (!library && !OpenArchiveRead(FArchiveStream, FArchiveFile))
        RaiseError(FArchiveFile, "", "0", arcerr::OpenError);

    std::unique_ptr<TArcStream> noOutput;
    auto cleanUp = [&] {
        DiscardOutput(noOutput);
        FOutputTree.reset();
        SettleMember();
        FoundFiles().Done();
        if (OnElapsedTime) {
            FTimer->Stop();
            OnElapsedTime(this, FTimer->Elapsed());
        }
        DoDeactivate();
        if (!library) CloseArchive(FArchiveStream);
        FArchiveStream.reset();
        FArchiveFile = savedArchive;
        FOverwriteMode = savedOverwrite;
    };
    try {
        DoActivate();
        FPassword.clear();
        FEntry.FileName.clear();
        FVolumeSize = FArchiveSize;
        FHeaderPos = FArchiveOffset;
        if (FWriteMode == rwFile || FWriteMode == rwCallStream || FWriteMode == rwMemoryStream) {
            FDiskManager->SetDrive(FExtractDir.empty()
                                       ? (savedArchive.empty() ? "." : platform::DirectoryOf(savedArchive))
                                       : FExtractDir);
            FExtractDriveType = FDiskManager->DriveType();
        }
        if (OnElapsedTime) FTimer->Start();
        FoundFiles().Init();
        ExtractArchive(FArchiveStream, nullptr);
    } catch (...) {
        cleanUp();
        throw;
    }
    cleanUp();
    return FFileCount;
}

void TUnBase::SetFileName(const std::string& name) {
    if (name.empty()) {
        FEntry.FileName.clear();
        return;
    }
    if (FExtractDir.empty()) {
        // No output folder: the archive's folder, else the current one.
        std::string folder = FArchiveFile.empty() ? std::string() : platform::DirectoryOf(FArchiveFile);
        if (folder.empty()) folder.push_back('.');
        FExtractDir.swap(folder);
    }
    const std::string relative = SafeRelativePath(name, FUseStoredDirs);
    FEntry.FileName = relative.empty() ? std::string() : platform::JoinPath(FExtractDir, relative);
}

bool TUnBase::ExtractFolderEntry(const std::string& storedName) {
    if (FWriteMode != rwFile || !FUseStoredDirs || FCancel) return false;
    std::string bare = storedName;
    while (!bare.empty() && (bare.back() == '/' || bare.back() == '\\')) bare.pop_back();
    if (bare.empty() || !IsFileSpecMatch(bare, false)) return false;
    const std::string relative = SafeRelativePath(bare, true);
    if (relative.empty()) return false;
    const std::string root = OutputRoot();
    if (!OpenOutputTree(root)) return false;
    try {
        FOutputTree->CreateFolders(relative);
    } catch (const std::exception&) {
        DoError(platform::JoinPath(root, relative), "", "0", arcerr::CannotCreateFolder);
        return false;
    }
    return true;
}

std::string TUnBase::OutputRoot() const {
    std::string root = FExtractDir.empty() ? "." : FExtractDir;
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    return root;
}

bool TUnBase::OpenOutputTree(const std::string& root) {
    if (FOutputTree && FOutputTree->Root() == root) return true;
    FOutputTree.reset();
    try {
        // The output folder itself is the user's choice and may be made as it is.
        if (!platform::IsDirectory(root)) ForceDirs(root);
        FOutputTree = platform::Fs().OpenOutputTree(root);
        return true;
    } catch (const std::exception&) {
        DoError(root, "", "0", arcerr::CannotCreateFolder);
        return false;
    }
}

void TUnBase::SkipLinkMember(const std::string& storedName, const std::string& target) {
    if (FWriteMode != rwFile || FCancel || !IsFileSpecMatch(storedName, false)) return;
    ++FLinksSkipped;
    DoError(storedName, target, "0", arcerr::Discarded);
}

bool TUnBase::OpenOutputFile(std::unique_ptr<TArcStream>& file, const std::string& name, int64_t size,
                             int64_t start) {
    if (FWriteMode == rwSink) return true;
    if (FWriteMode != rwFile) return TZipCommon::OpenOutputFile(file, name, size, start);
    DiscardOutput(file);
    FOutputRefused = false;
    if (name.empty()) return false;
    const std::string root = OutputRoot();
    const bool belowRoot = name.size() > root.size() + 1 && name.compare(0, root.size(), root) == 0 &&
                           (root.back() == '/' || name[root.size()] == '/');
    if (belowRoot) {
        // The folders below the output folder come from the archive: made or
        // entered once per run through the output tree, never through a link.
        const std::string relative = name.substr(root.size() + (root.back() == '/' ? 0 : 1));
        const std::string folder = platform::DirectoryOf(relative);
        if (!OpenOutputTree(root)) return false;
        try {
            if (!folder.empty()) FOutputTree->CreateFolders(folder);
        } catch (const std::exception&) {
            DoError(name, "", "0", arcerr::CannotCreateFolder);
            FOutputRefused = true;
            return false;
        }
        try {
            auto temp = FOutputTree->CreateTemp(folder, ".mvx-", NewFileMode());
            FOutputTemp = temp->Path();
            FOutputGuard.Set(FOutputTemp);
            FOutputTempRelative = platform::JoinPath(folder, platform::NameOf(FOutputTemp));
            FOutputTargetRelative = relative;
            FOutputTarget = name;
            file = std::make_unique<TArcFileStream>(std::move(temp));
            return true;
        } catch (const std::exception&) {
            return false;
        }
    }
    // A name the program chose in OnRenameCompressedFile, outside the output folder.
    const std::string folder = platform::DirectoryOf(name);
    try {
        if (!folder.empty() && !platform::IsDirectory(folder)) ForceDirs(folder);
    } catch (const std::exception&) {
        DoError(folder, "", "0", arcerr::CannotCreateFolder);
        return false;
    }
    try {
        auto temp = platform::Fs().CreateTempFile(folder.empty() ? "." : folder, ".mvx-");
        FOutputTemp = temp->Path();
        FOutputGuard.Set(FOutputTemp);
        FOutputTarget = name;
        file = std::make_unique<TArcFileStream>(std::move(temp));
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void TUnBase::DiscardOutput(std::unique_ptr<TArcStream>& file) {
    if (auto* fs = dynamic_cast<TArcFileStream*>(file.get())) fs->Close();
    file.reset();
    if (!FOutputTemp.empty()) {
        try {
            if (!FOutputTempRelative.empty() && FOutputTree)
                FOutputTree->RemoveFile(FOutputTempRelative);
            else
                platform::Fs().RemoveFile(FOutputTemp);
        } catch (const std::exception&) {
        }
    }
    FOutputGuard.Release();
    FOutputTemp.clear();
    FOutputTarget.clear();
    FOutputTempRelative.clear();
    FOutputTargetRelative.clear();
}

bool TUnBase::BeforeExtractFile(std::string& name, TDateTime fileDate, bool& exists) {
    FTimer->Pause();
    struct Resume {
        TArcTimer& t;
        ~Resume() { t.Resume(); }
    } resume{*FTimer};
    if (OnProgress) OnProgress(this, 0, FProgressByArchive);
    platform::FileInfo info;
    exists = !FEntry.FileName.empty() && FWriteMode != rwSink && platform::Fs().Stat(FEntry.FileName, info);
    const bool toFiles = FWriteMode == rwFile || FWriteMode == rwCallStream;
    if (FConfirmOverwrites && exists && toFiles) {
        if (OnFileExists)
            OnFileExists(this, FEntry.FileName, fileDate, FOverwriteMode);
        else
            FOverwriteMode = TOverwriteMode::omSkip;
    }
    FBeginDeclined = false;
    if (!exists || (FOverwriteMode == TOverwriteMode::omOverwrite && !FCancel)) {
        ++FFileCount;
        std::string announced = toFiles ? FEntry.FileName : name;
        bool extract = true;
        if (OnBegin) OnBegin(this, announced, FFileCount, extract);
        if (extract && toFiles && OnRenameCompressedFile) OnRenameCompressedFile(this, announced);
        if (extract) {
            if (toFiles)
                FEntry.FileName = announced;
            else
                name = announced;
        } else {
            FBeginDeclined = true;
        }
    }
    return !FCancel;
}

void TUnBase::SettleMember() {
    if (FMemberPending) ++FFailedCount;
    FMemberPending = false;
}

int64_t TUnBase::DecryptWriteBlock(TArcStream* File, TArcStream* Stream, const uint8_t* Buffer, bool Decrypt,
                                   int CrcMode, int64_t Count, int DoCrc) {
    try {
        return TZipCommon::DecryptWriteBlock(File, Stream, Buffer, Decrypt, CrcMode, Count, DoCrc);
    } catch (const E_RAISE& e) {
        if (e.ErrorCode() != arcerr::WriteError) throw;
        std::string reason;
        if (auto* f = dynamic_cast<TArcFileStream*>(FWriteMode == rwCallStream ? Stream : File))
            if (f->LastError()) reason = platform::ErrorText(f->LastError());
        RaiseError(FOutputTarget.empty() ? FEntry.FileName : FOutputTarget, reason, "0", arcerr::WriteError);
    }
    return 0;
}

TMemberDecision TUnBase::DecideMember(std::string& name, TDateTime fileDate, int64_t packedSize) {
    SettleMember();
    bool exists = false;
    if (!BeforeExtractFile(name, fileDate, exists)) return TMemberDecision::mdStop;
    if ((exists && FOverwriteMode == TOverwriteMode::omSkip) || FBeginDeclined) {
        FBytesLeft -= packedSize;
        DoProgress(0, 0, FTotalPacked);
        return TMemberDecision::mdSkip;
    }
    FMemberPending = true;
    return TMemberDecision::mdExtract;
}

bool TUnBase::AfterExtractFile(std::unique_ptr<TArcStream>& file, TArcStream* stream, uint32_t attr,
                               uint32_t dosDate, const std::string& name, bool complete, int64_t unixTime) {
    (void)stream;
    (void)name;
    if (FWriteMode != rwFile) {
        CloseOutputFile(file);
        if (complete)
            FMemberPending = false;
        else
            SettleMember();
        return complete;
    }
    if (FOutputTemp.empty()) {
        SettleMember();
        return false;
    }
    auto* out = dynamic_cast<TArcFileStream*>(file.get());
    if (complete && out) {
        // Mode and date go on the open file, after its last write.
        try {
            // Permissions: those of a new file (the file was made with them), or the
            // member's own (no set-id or sticky bits, umask applied).
            const uint32_t unixMode = attr >> 16;
            if (FRestoreFileAttr && unixMode && (unixMode & 0170000) == 0100000) {
                const uint32_t umask = ~NewFileMode() & 0666;
                const uint32_t mode = unixMode & 0777 & ~umask;
                if (mode != NewFileMode()) out->File().SetPermissions(mode);
            }
        } catch (const std::exception&) {
            // a mode that cannot be set does not fail the member
        }
        try {
            if (FDateAttribute == TDateAttribute::daFileDate)
                out->File().SetModTime(unixTime >= 0 ? unixTime : platform::UnixTimeOfDos(dosDate));
            else if (FDateAttribute == TDateAttribute::daMaxFileDate)
                out->File().SetModTime(platform::UnixTimeOfDos(FMaxFileDate));
        } catch (const std::exception&) {
            // nor a date that cannot be set
        }
    }
    bool closed = true;
    int closeError = 0;
    if (out) {
        closed = out->Close();
        closeError = out->LastError();
    }
    file.reset();
    if (!complete || !closed) {
        // A member whose data already failed to be written was reported then.
        if (!closed && complete)
            DoError(FOutputTarget, closeError ? platform::ErrorText(closeError) : "", "0", arcerr::WriteError);
        DiscardOutput(file);
        SettleMember();
        return false;
    }
    const std::string target = FOutputTarget;
    try {
        if (!FOutputTempRelative.empty() && FOutputTree)
            FOutputTree->Rename(FOutputTempRelative, FOutputTargetRelative);
        else
            platform::Fs().Rename(FOutputTemp, target);
    } catch (const std::exception&) {
        DoError(target, "", "0", arcerr::OpenError);
        DiscardOutput(file);
        SettleMember();
        return false;
    }
    FMemberPending = false;
    FOutputGuard.Release();
    FOutputTemp.clear();
    FOutputTarget.clear();
    FOutputTempRelative.clear();
    FOutputTargetRelative.clear();
    if (FRestoreFileAttr && (attr & 0xFF) != 32 && (attr & platform::faReadOnly)) {
        try {
            platform::Fs().SetReadOnly(target, true);
        } catch (const std::exception&) {
        }
    }
    ++FExtractedCount;
    return true;
}

std::string TUnBase::ReportName(const std::string& name) const {
    return (FWriteMode == rwFile || FWriteMode == rwCallStream) ? FEntry.FileName : name;
}

TMemberDecision TUnBase::BeginMember(const std::string& storedName, TDateTime fileDate, int64_t packedSize,
                                     std::string& name) {
    SetFileName(storedName);
    if (FEntry.FileName.empty() && FWriteMode != rwSink) {
        DoError(storedName, "", "0", arcerr::InvalidName);
        FBytesLeft -= packedSize;
        return TMemberDecision::mdSkip;
    }
    name = storedName;
    return DecideMember(name, fileDate, packedSize);
}

bool TUnBase::OpenMemberOutput(std::unique_ptr<TArcStream>& out, int64_t size) {
    if (OpenOutputFile(out, FEntry.FileName, size, 0)) return true;
    if (!OutputRefused()) RaiseError(FEntry.FileName, "", "0", arcerr::OpenError);
    return false;
}

void TUnBase::CloseMemberInput() {
    FBytesLeft -= FMemberBytesLeft;
    FMemberBytesLeft = 0;
}

void TUnBase::RefuseMember(const std::string& reportName, int error, int64_t packedLeft) {
    SettleMember();
    DoError(reportName, "", "0", error);
    FBytesLeft -= packedLeft;
    if (OnEnd) OnEnd(this, reportName, false);
}

bool TUnBase::EndMember(std::unique_ptr<TArcStream>& out, uint32_t attr, uint32_t dosDate,
                        const std::string& name, const std::string& reportName, bool decoded, bool crcPass,
                        int64_t unixTime) {
    if (decoded && !crcPass && !OnEnd) DoError(reportName, "", "0", arcerr::CrcError);
    AfterExtractFile(out, nullptr, attr, dosDate, name, crcPass, unixTime);
    if (OnEnd && (decoded || !FCancel)) OnEnd(this, reportName, crcPass);
    return !FCancel;
}

bool TUnBase::SingleExactSpec() const {
    return FFileSpec.size() == 1 && FFileSpec[0].find_first_of("*?") == std::string::npos;
}

int TUnBase::FindPassword(const std::string& name, const std::function<bool(const std::string&)>& fits) {
    if (fits(FPassword)) return 1;
    for (const auto& p : FPasswords)
        if (fits(p)) {
            FPassword = p;
            return 1;
        }
    if (!OnGetPassword) {
        DoError(name, "OnGetPassword", "0", arcerr::EventNotAssigned);
        return 0;
    }
    for (int attempt = 0; attempt < FPasswordAttempts; ++attempt) {
        std::string typed;
        bool tryAgain = true;
        FTimer->Pause();
        OnGetPassword(this, name, typed, tryAgain);
        FTimer->Resume();
        if (!tryAgain) break;
        if (fits(typed)) {
            FPassword = typed;
            FPasswords.insert(FPasswords.begin(), typed);
            return 1;
        }
        DoError(name, "", "0", arcerr::BadPassword);
    }
    DoError(name, "", "0", arcerr::PasswordFailed);
    return -1;
}

int64_t TUnBase::CopyStoredMember(TArcStream* inFile, TArcStream* stream,
                                  std::unique_ptr<TArcStream>& outFile, const std::string& name, bool decrypt,
                                  int crcMode) {
    (void)name;
    const int64_t total = FMemberBytesLeft;
    std::vector<uint8_t> buffer(32768);
    int64_t done = 0;
    while (FMemberBytesLeft > 0) {
        const int64_t want = std::min<int64_t>(FMemberBytesLeft, static_cast<int64_t>(buffer.size()));
        const int64_t got = ReadProc(inFile, stream, buffer.data(), decrypt, crcNone, want, 0);
        if (got < 0) RaiseError(FCurrentVolume, "", "0", arcerr::ReadError);
        if (got == 0) break;
        ExtractWriteProc(outFile.get(), stream, buffer.data(), false, crcMode, got, 1);
        FMemberBytesLeft -= got;
        FBytesLeft -= got;
        done += got;
        DoProgress(done, total, FTotalPacked);
        if (FCancel) break;
    }
    return done;
}

bool TUnBase::DecodeZipMember(TMemberInput& input, std::unique_ptr<TArcStream>& out, uint16_t method,
                              uint16_t flags, int64_t unpackedSize, const std::string& name) {
    SetCrc32Register(0xFFFFFFFFu);
    TMemberOutput output(*this, out.get(), nullptr, crc32);
    const uint64_t unpacked = static_cast<uint64_t>(unpackedSize < 0 ? 0 : unpackedSize);
    bool decoded = true;
    try {
        DecodeZipData(method, flags, input, output, unpacked);
        if (output.Written() != unpacked && !FCancel) {
            DoError(name, "", "0", method == 0 ? arcerr::ReadError : arcerr::BlockError);
            decoded = false;
        }
    } catch (const ECodecError& e) {
        DoError(name, "", "0", e.Code());
        decoded = false;
    } catch (const E_RAISE&) {
        decoded = false; // reported already
    }
    return decoded && !FCancel;
}

size_t TUnBase::TMemberInput::Read(uint8_t* buf, size_t n) {
    for (;;) {
        const int64_t want = std::min<int64_t>(reader.FMemberBytesLeft, static_cast<int64_t>(n));
        if (want <= 0) return 0;
        const int64_t got = reader.ReadProc(file, stream, buf, decrypt, crcNone, want, 0);
        if (got < 0) reader.RaiseError(reader.FCurrentVolume, "", "0", arcerr::ReadError);
        if (got == 0) {
            TArcStream* next = NextVolume ? NextVolume() : nullptr;
            if (!next) return 0;
            file = next;
            continue;
        }
        reader.FMemberBytesLeft -= got;
        reader.FBytesLeft -= got;
        return static_cast<size_t>(got);
    }
}

size_t TUnBase::TMemberInput::ReadFull(uint8_t* buf, size_t n) {
    size_t got = 0;
    while (got < n) {
        const size_t k = Read(buf + got, n - got);
        if (k == 0) break;
        got += k;
    }
    return got;
}

void TUnBase::TMemberOutput::Write(const uint8_t* buf, size_t n) {
    reader.ExtractWriteProc(file, stream, buf, false, crcMode, static_cast<int64_t>(n), 1);
    written += n;
    reader.DoProgress(reader.FMemberPackedTotal - reader.FMemberBytesLeft, reader.FMemberPackedTotal,
                      reader.FTotalPacked);
}

} // namespace mv
