#include "app/scripts/BackupRunner.h"

#include "app/common/LangStr.h"
#include "app/common/Sounds.h"
#include "app/common/StrUtils.h"
#include "controls/toolkit/files/TreeScanner.h"
#include "platform/FileSystem.h"
#include "zipwriter/ZipEngine.h"
#include "zipwriter/ZipEngineTypes.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <unordered_set>

namespace mv {

using platform::Fs;

namespace {

// The zip writer's results as the run reads them.
constexpr int zeBadZip = 1050, zeIncompleteZip = 1051, zeNotAZip = 1052, zeCancelled = 1054, zeOther = -50;

// The nearest folder of a path that exists ("/" at worst).
std::string ExistingFolderOf(const std::string& path) {
    std::string p = platform::DirectoryOf(path);
    while (!p.empty() && p != "/" && !platform::IsDirectory(p)) p = platform::DirectoryOf(p);
    return p.empty() ? "/" : p;
}

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    return home && *home ? home : "/";
}

// Replaces the extension of the name part (none added to an empty extension).
std::string ReplaceExtension(const std::string& name, const std::string& ext) {
    const size_t slash = name.rfind('/');
    const size_t dot = name.rfind('.');
    const std::string stem = (dot != std::string::npos && (slash == std::string::npos || dot > slash))
                                 ? name.substr(0, dot)
                                 : name;
    return stem + ext;
}

} // namespace

bool BackupDriveAvailable(const std::string& path) {
    if (path.empty() || path[0] != '/') return false;
    // The folder need not exist yet: its nearest existing ancestor tells the drive.
    std::string folder = platform::DirectoryOf(path);
    for (;;) {
        platform::VolumeInfo info;
        int error = 0;
        if (Fs().GetVolumeInfo(folder.empty() ? "/" : folder, info, error))
            return info.Kind != platform::DriveKind::NoRoot;
        if ((error != ENOENT && error != ENOTDIR) || folder.empty() || folder == "/") return false;
        folder = platform::DirectoryOf(folder);
    }
}

TBackupRunner::TBackupRunner(TZipEngine& engine, TBackupVendor& vendor) : FEngine(engine), FVendor(vendor) {
    Now = [] { return static_cast<int64_t>(std::time(nullptr)); };
}

TBackupRunner::~TBackupRunner() = default;

std::string TBackupRunner::ArquivoZipEditExit(const std::string& name, bool selfExtracting) {
    std::string n = TrimText(name);
    if (n.empty()) n = platform::JoinPath(platform::JoinPath(HomeFolder(), "Backups"), "Backup.zip");
    return ReplaceExtension(n, selfExtracting ? ".run" : ".zip");
}

void TBackupRunner::DoStatus(const std::string& text) {
    FStatusText = text;
    if (OnStatus) OnStatus(text);
}

void TBackupRunner::Pump() {
    if (ProcessMessages) ProcessMessages();
}

void TBackupRunner::AddWarning(const std::string& line) {
    ++FRecord.Warnings;
    FWarnings->push_back(line);
}

void TBackupRunner::Cancel() {
    if (!FRunning) return;
    DoStatus(LoadLangStr(347));
    FRecord.Cancelled = true;
    FEngine.CancelOperation();
    FVendor.VzSetAbort(1);
    Pump();
}

// Makes the archive's folder when it is missing. A failure is shown (or, unattended,
// recorded) and the run goes on: the archive operation then reports its own result.
void TBackupRunner::PrepareFolder(const std::string& archive) {
    const std::string folder = platform::DirectoryOf(archive);
    if (folder.empty() || platform::IsDirectory(folder)) return;
    try {
        std::string path;
        size_t pos = 0;
        while (pos != std::string::npos) {
            pos = folder.find('/', pos + 1);
            path = folder.substr(0, pos);
            if (!path.empty() && !platform::IsDirectory(path)) Fs().CreateDirectory(path);
        }
    } catch (const platform::FileError&) {
        const std::string text = LoadLangStr(335) + "\n" + LoadLangStr(336);
        if (OnError)
            OnError(text);
        else
            FWarnings->push_back(LoadLangStr(335));
    }
}

// Empties a removable medium before the backup. Only the mount root of a drive known
// to be removable is cleared, never "/" nor the home folder; links are removed as
// links. Answers whether anything was cleared.
bool TBackupRunner::ClearRemovableDisk(const std::string& archive) {
    platform::VolumeInfo info;
    int error = 0;
    if (!Fs().GetVolumeInfo(ExistingFolderOf(archive), info, error)) return false;
    if (info.Kind != platform::DriveKind::Removable) return false;
    const std::string root = info.MountPoint;
    if (root.empty() || root == "/" || root == HomeFolder() || root[0] != '/') return false;
    DoStatus(LoadLangStr(334));
    for (const platform::DirEntry& e : Fs().ListDirectory(root)) {
        try {
            platform::RemoveTree(platform::JoinPath(root, e.Name));
        } catch (const platform::FileError&) {
        }
    }
    return true;
}

int TBackupRunner::RunZipEngine(const std::vector<std::string>& files, bool remove,
                                const std::string& target) {
    FEngine.SetZipName(target);
    FEngine.SetFilesList(files);
    FEngine.ExcludeList().clear();
    FEngine.SetRecurse(false);
    FEngine.SetStorePaths(true);
    FEngine.SetRelativePaths(false);
    FEngine.SetMultiMode(FOptions.MultiVolume ? TMultiMode::mmSpan : TMultiMode::mmNone);
    FEngine.Ui.ProcessMessages = [this] { Pump(); };
    FEngine.OnSkippingFile = [this](TObject*, TSkipReason reason, const std::string& name, int, bool& retry) {
        retry = false;
        if (reason == 2) AddWarning(FormatBackupWarningLine(ArchiveNameOf(name), LoadLangStr(92)));
    };
    FEngine.OnEndZip = [this](TObject*, const std::string& name, int64_t, int64_t, int64_t zipSize) {
        if (FRecord.FreeK > 0 && static_cast<uint64_t>(zipSize) / 1024 >= FRecord.FreeK)
            FRecord.DiskFull = true;
        if (OnProgress) OnProgress(name, 100);
    };
    try {
        if (FRecord.Cancelled) throw EUserCanceled("cancelled");
        if (remove)
            FEngine.DeleteEntries();
        else
            FEngine.Zip();
        FEngine.CloseZip();
        return 0;
    } catch (const EUserCanceled&) {
        FEngine.CloseZip();
        return zeCancelled;
    } catch (const EBadZipFile&) {
        FEngine.CloseZip();
        return zeBadZip;
    } catch (const EIncompleteZip&) {
        FEngine.CloseZip();
        return zeIncompleteZip;
    } catch (const ENotAZipFile&) {
        FEngine.CloseZip();
        return zeNotAZip;
    } catch (const std::exception&) {
        FEngine.CloseZip();
        return zeOther;
    }
}

void TBackupRunner::Run() {
    if (FRunning) return;
    if (!FWarnings) FWarnings = &FOwnWarnings;
    PlaySoundRes("BEEP");
    const std::string archive = TrimText(FArquivoZip);
    FRecord = TRunRecord();
    FLists = TBackupLists();
    if (!BackupDriveAvailable(archive)) {
        FRecord.Status = rsErrors;
        FRecord.Warnings = 1;
        FWarnings->push_back(LoadLangStr(608));
        return;
    }
    FRunning = true;
    const int64_t start = Now();
    try {
        RunSequence(archive);
    } catch (const std::exception& e) {
        // A failure outside the archive operations (a text file, the folder walk):
        // the run ends with errors and says why.
        FRecord.Status = rsErrors;
        FRecord.Cancelled = true;
        AddWarning(e.what());
        FLists.ToZipLines.clear();
    }
    FRecord.ElapsedSeconds = Now() - start;
    FRunning = false;
}

void TBackupRunner::RunSequence(const std::string& archive) {
    // Nothing of an earlier run carries over: the disk-full flag belongs to this run.
    FRecord.DiskFull = false;
    FRecord.ArchiveWritten = archive;
    FRecord.UpdateMode = !FOptions.MultiVolume && FOptions.UpdateOnly && platform::Exists(archive);

    bool cleared = false;
    if (!FRecord.UpdateMode && FOptions.ClearDisk) cleared = ClearRemovableDisk(archive);
    if (!FRecord.UpdateMode && FOptions.MultiVolume && !cleared && platform::Exists(archive)) {
        // A spanned set starts on an empty first disk: the old archive goes first.
        DoStatus(LoadLangStr(333));
        Fs().RemoveFile(archive);
        cleared = true;
    }

    PrepareFolder(archive);
    platform::SpaceInfo space;
    int error = 0;
    if (Fs().GetSpace(ExistingFolderOf(archive), space, error)) FRecord.FreeK = space.FreeBytes / 1024;

    DoStatus(LoadLangStr(617));
    const std::vector<std::string> lastLines =
        FLastBackupFile.empty() ? std::vector<std::string>() : ReadScriptTextLinesIfAny(FLastBackupFile);
    FRecord.Cancelled = false;

    TTreeScanner scanner;
    scanner.ProcessMessages = [this] { Pump(); };
    std::vector<std::string> found, excluded;
    ScanScriptItems(FScriptLines.Lines(), scanner, found, excluded, [this](TTreeScanner& s) {
        Pump();
        if (FRecord.Cancelled) s.ContinueScan = false;
    });
    FLists = BuildBackupLists(found, excluded, lastLines);

    const bool cancelledByScan = FRecord.Cancelled;
    const uint64_t freeK = FRecord.FreeK;
    const bool updateMode = FRecord.UpdateMode;
    FRecord = TRunRecord();
    FRecord.FreeK = freeK;
    FRecord.UpdateMode = updateMode;
    FRecord.OldArchiveRemoved = cleared;
    FRecord.ArchiveWritten = archive;
    FRecord.Cancelled = cancelledByScan;
    FEngine.SetZipAction(TZipAction::zaReplace);

    int result = 0;
    if (!FRecord.Cancelled) {
        if (FRecord.UpdateMode) {
            DoStatus(LoadLangStr(600));
            // The lists already decided what changed: those files replace their entries
            // whatever their dates (a restored older version too).
            if (!FLists.NewOrChanged.empty()) result = RunZipEngine(FLists.NewOrChanged, false, archive);
            if (!FLists.DeletedNames.empty() && !FRecord.Cancelled && result == 0)
                result = RunZipEngine(FLists.DeletedNames, true, archive);
        } else if (FOptions.SelfExtracting) {
            FVendor.ResetVendorZip(archive);
            TSfxTexts texts;
            texts.BinaryModule = "VzSfx32.bin";
            texts.DefaultUnzipToFolder = "%e";
            texts.IconFilename = "sp.ico";
            const int strings[5] = {481, 467, 482, 483, 484};
            for (int i = 0; i < 5; ++i) texts.Strings[i] = LoadLangStr(strings[i]);
            const int messages[13] = {470, 471, 472, 468, 0, 473, 474, 475, 476, 477, 478, 479, 480};
            for (int i = 0; i < 13; ++i) texts.Messages[i] = messages[i] ? LoadLangStr(messages[i]) : "";
            const int buttons[13] = {187, 121, 284, 425, 485, 232, 233, 287, 486, 487, 172, 488, 489};
            for (int i = 0; i < 13; ++i) texts.Buttons[i] = LoadLangStr(buttons[i]);
            FVendor.OnWarning = [this](const std::string& name, int code) {
                std::string reason = "#";
                reason += std::to_string(code);
                if (code > 12 && code != 14) AddWarning(FormatBackupWarningLine(name, reason));
            };
            FVendor.ProcessMessages = [this] { Pump(); };
            result = FVendor.VzZipSelfExtracting(FLists.ToZipPaths, FOptions.MultiVolume, texts);
            if (result == vzSomeSkipped) AddWarning(LoadLangStr(293)); // skipped files are never silent
            if (result == vzNoTextA || result == vzNoTextB || result == vzSomeSkipped) result = 0;
            if (FRecord.Cancelled && result == 0) result = vzAborted;
            FVendor.ResetVendorZip(archive);
        } else if (FLists.ToZipPaths.empty()) {
            result = vzZipEmpty;
        } else if (FOptions.MultiVolume) {
            result = RunZipEngine(FLists.ToZipPaths, false, archive);
        } else {
            // Written beside the old archive, which it replaces only when complete.
            const std::string work = Fs().CreateTempDirectory(platform::DirectoryOf(archive), ".mvbackup-");
            const std::string temp = platform::JoinPath(work, platform::NameOf(archive));
            result = RunZipEngine(FLists.ToZipPaths, false, temp);
            try {
                if (result == 0 && !FRecord.Cancelled) platform::ReplaceFile(temp, archive);
            } catch (const platform::FileError&) {
                result = zeOther;
            }
            platform::RemoveTree(work);
        }
    }

    std::unordered_set<std::string> listed;
    if (result == 0 && !FRecord.Cancelled) {
        FVendor.ResetVendorZip(archive);
        DoStatus(LoadLangStr(625));
        const int16_t listing = FVendor.VzListZipContents([&](const TBackupVendor::TListedEntry& e) {
            if (e.NotShown) return;
            FRecord.TotalSize += e.Size;
            FRecord.PackedSize += e.PackedSize;
            ++FRecord.Files;
            listed.insert(e.Name);
        });
        // An archive that cannot be listed is no finished backup.
        if (listing != 0 && !FRecord.Cancelled) result = listing;
    }

    if (FRecord.Cancelled) result = 341;
    FRecord.Result = result;
    if (result == 0) {
        FRecord.Status = rsDone;
    } else if (FRecord.Cancelled) {
        FRecord.Status = rsCancelled;
    } else {
        FRecord.Status = rsErrors;
        ++FRecord.Warnings; // the manager's run-level line
        FRecord.Cancelled = true;
        FRecord.ZipResultCode = result;
    }

    if (!FRecord.Cancelled && FTestWanted && FRecord.Result == 0) {
        FRecord.Testing = true;
        FVendor.ResetVendorZip(archive);
        int test = FVendor.VzTestZipFile(1);
        FRecord.Testing = false;
        if (test == 0) {
            FRecord.TestStatus = tsPassed;
        } else if (FRecord.Cancelled) {
            FRecord.TestStatus = tsCancelled;
            test = 0;
        } else {
            if (test == vzSomeSkipped) DoStatus(LoadLangStr(338));
            FRecord.TestStatus = tsErrors;
            ++FRecord.Warnings;
            if (test == vzNoTextA || test == vzNoTextB || test == vzSomeSkipped) test = 0;
        }
        FRecord.TestResultCode = test;
    }

    switch (FRecord.Status) {
    case rsErrors:
        DoStatus(LoadLangStr(340));
        break;
    case rsCancelled:
        DoStatus(LoadLangStr(341));
        break;
    default:
        DoStatus(LoadLangStr(342 + FRecord.TestStatus));
        break;
    }

    // The next last-backup list holds only what the archive really holds.
    std::vector<std::string> kept;
    for (const std::string& line : FLists.ToZipLines)
        if (listed.count(ArchiveNameOf(BackupLinePath(line)))) kept.push_back(line);
    FLists.ToZipLines = std::move(kept);
}

} // namespace mv
