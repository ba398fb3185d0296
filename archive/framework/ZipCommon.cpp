#include "archive/framework/ZipCommon.h"

#include "archive/framework/ArcFileList.h"
#include "archive/framework/ArcTimer.h"
#include "archive/framework/DiskManager.h"
#include "archive/framework/SharedRoutines.h"
#include "resources/ArcErrorTexts.h"
#include "platform/FileOps.h"
#include "platform/FileSystem.h"

#include <chrono>
#include <cmath>

namespace mv {

namespace {
std::function<void()>& PumpHook() {
    static std::function<void()> pump;
    return pump;
}
} // namespace

void SetProcessMessagesHook(std::function<void()> pump) {
    PumpHook() = std::move(pump);
}

void ProcessMessages() {
    auto& pump = PumpHook();
    if (!pump) return;
    // at most one pump every 50 ms: the pump is far slower than a header step
    static std::chrono::steady_clock::time_point last{};
    auto now = std::chrono::steady_clock::now();
    if (now - last < std::chrono::milliseconds(50)) return;
    last = now;
    pump();
}

TZipCommon::TZipCommon() {
    ProgressProc = [this] { DefaultProgress(); };
}

TZipCommon::~TZipCommon() {
    if (ActiveArchiveComponent == this) ActiveArchiveComponent = nullptr;
}

void TZipCommon::SetFileSpec(std::vector<std::string> v) {
    NormalizeSpecList(v);
    FFileSpec = std::move(v);
}

void TZipCommon::SetExcludeSpec(std::vector<std::string> v) {
    NormalizeSpecList(v);
    FExcludeSpec = std::move(v);
}

void TZipCommon::SetCancel(bool value) {
    FCancel = value;
    ProcessMessages();
}

void TZipCommon::SetFileName(const std::string& name) {
    FEntry.FileName = name;
}

std::string TZipCommon::GetNextVolumeName(const std::string& name, int n) {
    if (n < 0 || name.empty()) return {};
    size_t slash = name.find_last_of('/');
    std::string folder = slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
    std::string file = slash == std::string::npos ? name : name.substr(slash + 1);
    // the base name keeps every dot but the extension's ("my.backup.arj" -> "my.backup")
    size_t dot = file.find_last_of('.');
    if (dot != std::string::npos) file.resize(dot);
    if (FArcType == TArcType::atRar || FArcType == TArcType::atRarExe) {
        // each time the number comes round to a new hundred the letter moves on
        // (x.rar: letter "q", volume 0 is x.r00, volume 100 x.s00); past "z" comes "0"
        n %= 100;
        if (n == 0) FVolumeLetter = FVolumeLetter >= 'z' ? '0' : char(FVolumeLetter + 1);
    }
    std::string ext;
    if (n <= 9)
        ext = std::string(".") + FVolumeLetter + "0" + std::to_string(n);
    else if (n <= 99)
        ext = std::string(".") + FVolumeLetter + std::to_string(n);
    else
        ext = '.' + std::to_string(n); // a char: a literal here makes GCC 12 warn of a false overlap
    return folder + file + ext;
}

TDateTime TZipCommon::ConvertDate(uint32_t dosDateTime) {
    return DosDateTimeToDateTime(dosDateTime);
}

bool TZipCommon::OpenOutputFile(std::unique_ptr<TArcStream>& file, const std::string& name, int64_t size,
                                int64_t start) {
    switch (FWriteMode) {
    case rwFile: {
        try {
            std::string folder = platform::DirectoryOf(name);
            if (!folder.empty()) ForceDirs(folder);
            file = std::make_unique<TArcFileStream>(
                platform::Fs().Open(name, platform::OpenMode::CreateTruncate));
            return true;
        } catch (const std::exception&) {
        }
        // a read-only file: clear the attribute once and try again
        platform::FileInfo info;
        if (!platform::Fs().Stat(name, info) || !info.IsRegular || !(info.Attributes & platform::faReadOnly))
            return false;
        try {
            platform::Fs().SetReadOnly(name, false);
            file = std::make_unique<TArcFileStream>(
                platform::Fs().Open(name, platform::OpenMode::CreateTruncate));
            return true;
        } catch (const std::exception&) {
            return false;
        }
    }
    case rwUserStream:
        if (!FUserStream) return false;
        FUserStream->BeginMember(name.substr(0, 255), size, start);
        return true;
    case rwCallStream:
        // a temporary file of our own, created exclusively, removed with its stream
        FTempStream = TTempFileStream::Create(TempDir(), "arc");
        if (!FTempStream) DoError("TempFile", "", "0", arcerr::OpenError);
        return FTempStream != nullptr;
    case rwMemoryStream:
        return FMemoryStream != nullptr;
    default:
        return false;
    }
}

bool TZipCommon::CloseOutputFile(std::unique_ptr<TArcStream>& file) {
    switch (FWriteMode) {
    case rwFile: {
        bool ok = true;
        if (auto* fs = dynamic_cast<TArcFileStream*>(file.get())) ok = fs->Close();
        file.reset();
        return ok;
    }
    case rwCallStream:
        FTempStream.reset(); // the temporary file goes with its stream
        return true;
    case rwUserStream:
    case rwMemoryStream:
        return true;
    default:
        return false;
    }
}

std::string TZipCommon::TempDir() const {
    if (!FTempDir.empty() && platform::IsDirectory(FTempDir)) return FTempDir;
    return AppendBackslash(platform::Fs().TempDirectory());
}

void TZipCommon::SetTempDir(const std::string& v) {
    std::string dir = v;
    while (!dir.empty() && dir.back() == ' ') dir.pop_back();
    if (dir.empty()) {
        FTempDir = AppendBackslash(platform::Fs().TempDirectory());
        return;
    }
    dir = AppendBackslash(dir);
    if (!platform::IsDirectory(dir)) {
        bool create = false;
        if (OnConfirmCreateTempDir)
            OnConfirmCreateTempDir(this, dir, dir + "\n\n" + ArcErrorMessage(arcerr::CreateTempDir), create);
        if (create) {
            try {
                platform::ForceDirectories(RemoveTrailingBackslash(dir));
            } catch (const std::exception&) {
                create = false;
            }
        }
        if (!create || !platform::IsDirectory(dir)) dir = AppendBackslash(platform::Fs().TempDirectory());
    }
    FTempDir = dir;
}

std::string TZipCommon::MakeTempFileName() {
    try {
        auto f = platform::Fs().CreateTempFile(TempDir(), "arc");
        std::string path = f->Path();
        f->Close();
        return path;
    } catch (const std::exception&) {
        DoError("TempFile", "", "0", arcerr::OpenError);
        return {};
    }
}

int TZipCommon::ReportedCode(int eCode) {
    if (ActiveArchiveComponent && ActiveArchiveComponent->Cancel()) return arcerr::UserAbort;
    return eCode;
}

void TZipCommon::RaiseError(const std::string& fn, const std::string& msgEx, const std::string& volumeID,
                            int eCode) {
    FTimer->Pause();
    eCode = ReportedCode(eCode);
    FLastError = eCode;
    if (OnError) OnError(this, fn, msgEx, volumeID, eCode);
    FTimer->Resume();
    throw E_RAISE(eCode, fn, msgEx, volumeID);
}

void TZipCommon::DoError(const std::string& fn, const std::string& msgEx, const std::string& volumeID,
                         int eCode) {
    FLastError = ReportedCode(eCode);
    if (!OnError) return;
    FTimer->Pause();
    OnError(this, fn, msgEx, volumeID, ReportedCode(eCode));
    FTimer->Resume();
}

bool TZipCommon::RequestVolume(std::string& volumeName, const std::string& volumeID) {
    // a numeric volume id above 999 is refused
    bool numeric = !volumeID.empty() && volumeID.size() < 10;
    for (char c : volumeID)
        if (c < '0' || c > '9') numeric = false;
    if (numeric && std::stol(volumeID) > 999) {
        DoError(volumeName, "", volumeID, arcerr::TooManyVolumes);
        return false;
    }
    if (volumeName.empty()) {
        DoError(volumeName, "", volumeID, arcerr::InvalidName);
        return false;
    }
    if (!OnNextVolume) {
        FReadPos = FVolumeSize;
        return false;
    }
    if (volumeName.find('/') == std::string::npos) volumeName = "./" + volumeName;
    // The handler is asked until the volume it names exists; a handler that
    // keeps answering "go on" without a file is asked at most 100 times.
    for (int attempt = 0; attempt < 100; ++attempt) {
        bool cancel = true;
        bool exists = platform::Exists(volumeName);
        OnNextVolume(this, volumeName, volumeID, exists, cancel);
        if (cancel) return false;
        if (platform::Exists(volumeName)) {
            ++FVolumeNumber;
            return true;
        }
    }
    return false;
}

bool TZipCommon::NextVolume(std::unique_ptr<TArcStream>& file, std::string& volumeName) {
    if (!OnNextVolume) return false;
    volumeName = GetNextVolumeName(volumeName, FVolumeNumber);
    if (!RequestVolume(volumeName, std::to_string(FVolumeNumber))) return false;
    if (!CloseArchive(file)) RaiseError(volumeName, "", std::to_string(FVolumeNumber), arcerr::CloseError);
    if (!OpenArchiveRead(file, volumeName)) {
        OpenArchiveRead(file, FArchiveFile);
        RaiseError(volumeName, "", std::to_string(FVolumeNumber), arcerr::ReadError);
    }
    FCurrentVolume = volumeName;
    FArchiveSize = file->Size();
    return true;
}

bool TZipCommon::ReopenNextDisk(std::unique_ptr<TArcStream>& file) {
    if (!CloseArchive(file))
        RaiseError(FCurrentVolume, "", std::to_string(FVolumeNumber), arcerr::CloseError);
    if (!OpenArchiveRead(file, FArchiveFile)) RaiseError(FArchiveFile, "", "0", arcerr::ReadError);
    FArchiveSize = FVolumeSize = file->Size();
    bool ok = FDiskManager->ReadDiskInfo();
    FCurrentVolume = FDiskManager->VolumeLabel();
    FVolumeNumber = static_cast<int>(FDiskManager->DiskNumber());
    return ok;
}

bool TZipCommon::OpenArchiveRead(std::unique_ptr<TArcStream>& file, const std::string& name) {
    auto f = TArcFileStream::OpenRead(name);
    if (!f) return false;
    file = std::move(f);
    return true;
}

bool TZipCommon::CloseArchive(std::unique_ptr<TArcStream>& file) {
    bool ok = true;
    if (auto* fs = dynamic_cast<TArcFileStream*>(file.get())) ok = fs->Close();
    file.reset();
    return ok;
}

bool TZipCommon::IsFileSpecMatch(const std::string& name, bool namesOnly) const {
    bool matched = false;
    for (const auto& line : FFileSpec) {
        if (line == "*.*" || WildcardMatch(line, name, namesOnly)) {
            matched = true;
            break;
        }
    }
    if (!matched) return false;
    for (const auto& line : FExcludeSpec) {
        if (line == "*.*" || WildcardMatch(line, name, false)) return false;
    }
    return true;
}

bool TZipCommon::IsExcluded(const std::string& name) {
    std::string saved = FEntry.FileName;
    bool excluded = false;
    for (const auto& line : FExcludeSpec) {
        SetFileName(line);
        if (WildcardMatch(FEntry.FileName, name, false)) {
            excluded = true;
            break;
        }
    }
    FEntry.FileName = saved;
    return excluded;
}

bool TZipCommon::IsMultiFileSpec(const std::vector<std::string>& list) const {
    if (list.size() > 1)
        return static_cast<int64_t>(FFoundFiles->Count()) < static_cast<int64_t>(list.size());
    return list.size() == 1 && list[0].find('*') != std::string::npos;
}

uint8_t TZipCommon::Percent(int64_t part, int64_t total) {
    if (total < 1) return 0;
    // in floating point: part * 100 may not fit in 64 bits for hostile values
    double p = std::round(static_cast<double>(part) * 100.0 / static_cast<double>(total));
    if (p < 0) return 0;
    if (p > 100) return 100;
    return static_cast<uint8_t>(p);
}

void TZipCommon::DoProgress(int64_t done, int64_t total, int64_t operationTotal) {
    FProgressByFile = Percent(done, total);
    FProgressByArchive = Percent(operationTotal - FBytesLeft, operationTotal);
    if (ProgressProc) ProgressProc();
}

void TZipCommon::DefaultProgress() {
    ProcessMessages();
    if (OnProgress) OnProgress(this, FProgressByFile, FProgressByArchive);
}

uint16_t TZipCommon::DeflateFlagBits(uint16_t flags) const {
    switch (FDeflateLevel) {
    case 1:
        return flags | 6;
    case 2:
        return flags | 4;
    case 9:
        return flags | 2;
    default:
        return flags;
    }
}

} // namespace mv
