#include "app/commands/CommandLine.h"

#include "app/common/LangStr.h"
#include "app/common/MessageBox.h"
#include "app/common/Sounds.h"
#include "app/common/StrUtils.h"
#include "app/mainwindow/PackagerFields.h"
#include "app/operations/ArchiveOperations.h"
#include "app/operations/ListFile.h"
#include "archive/lister/ArcLister.h"
#include "platform/FileOps.h"
#include "platform/FileSystem.h"

#include <cctype>
#include <filesystem>

namespace mv {

namespace {

namespace fs = std::filesystem;

bool IsFile(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

bool Exists(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

std::string Absolute(const std::string& path) {
    std::error_code ec;
    const fs::path p = fs::absolute(path, ec);
    return ec ? path : p.lexically_normal().string();
}

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// A path as the add commands take it: a file as it is, anything else (a folder)
// with "*" below it, its content taken recursively.
std::string AddSpec(const std::string& path) {
    if (IsFile(path)) return path;
    std::string spec = path;
    if (spec.empty() || spec.back() != '/') spec += '/';
    return spec + "*";
}

} // namespace

int ListerTag(TArchiveOpener& opener) {
    return opener.Lister().Tag();
}

std::vector<std::string> ListerFileSpec(TArchiveOpener& opener) {
    return opener.Lister().FileSpec();
}

std::string FolderOfPath(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NewArchiveName(const std::string& folder) {
    const std::string stem = folder + LoadLangStr(618);
    int n = 1;
    while (n < 10000 && Exists(stem + std::to_string(n) + ".zip")) ++n;
    return stem + std::to_string(n) + ".zip";
}

TCommandLine::TCommandLine(TMainWindowView& view, TArchiveOpener& opener, TArchiveOperations& operations,
                           TOptions& options, std::ostream& errors)
    : FView(view), FOpener(opener), FOperations(operations), FOptions(options), FErrors(errors) {}

int TCommandLine::Run(const TStartDecision& decision) {
    const std::string& verb = decision.Verb;
    const std::vector<std::string>& a = decision.Arguments;
    const auto arg = [&a](size_t i) { return i < a.size() ? a[i] : std::string(); };
    SetSoundsEnabled(decision.SoundsAllowed);
    try {
        if (verb == "/S") {
            PlaySoundRes("INICIO");
            if (RunScripts) RunScripts(Upper(TrimText(arg(0))));
        } else if (verb == "E") {
            Extract(arg(0), arg(1));
        } else if (verb == "ES") {
            ExtractWithDialog(arg(0));
        } else if (verb == "A") {
            Add(arg(0), arg(1));
        } else if (verb == "AS") {
            if (!Exists(arg(0))) {
                NotFound(arg(0));
            } else {
                const std::string file = Absolute(arg(0));
                AddToNew(FolderOfPath(file), {file});
            }
        } else if (verb == "ASQ") {
            const std::string listFile = arg(0);
            std::vector<std::string> items;
            try {
                items = ReadListFileItems(listFile);
            } catch (const std::exception&) {
                NotFound(listFile);
                return QuitMarker;
            }
            // Only the context-menu handler's own list file is removed; a file named
            // by hand stays where it is.
            const bool own = IsShellListFile(listFile);
            if (!items.empty()) AddToNew(FolderOfPath(arg(1)), items);
            if (own) platform::RemoveFileIfExists(listFile);
        } else if (verb == "SFX") {
            Wizard(arg(0));
        }
    } catch (const std::exception& e) {
        FErrors << "morvelan: " << e.what() << "\n";
    } catch (...) {
        FErrors << "morvelan: " << verb << "\n";
    }
    return QuitMarker;
}

bool TCommandLine::UseArchive(const std::string& archive) {
    if (!IsFile(archive)) {
        NotFound(archive);
        return false;
    }
    FOpener.Lister().SetTag(VzReceiverMainWindow);
    FOpener.Lister().SetArchiveFile(Absolute(archive));
    FOpener.Lister().SetFileSpec({"*"});
    return true;
}

void TCommandLine::NotFound(const std::string& path) {
    FErrors << "morvelan: " << path << ": " << LoadLangStr(407) << "\n";
}

void TCommandLine::Extract(const std::string& archive, const std::string& folder) {
    if (!UseArchive(archive)) return;
    std::string temp;
    FOperations.ExtractArchive({"*"}, Absolute(folder), true, temp, 7);
}

void TCommandLine::ExtractWithDialog(const std::string& archive) {
    if (!UseArchive(archive)) return;
    TExtractChoice choice;
    switch (FOptions.PastaExtrair) {
    case pfCurrentOrArchive:
        choice.Folder = FolderOfPath(FOpener.ArchiveFile());
        break;
    case pfFixed:
        choice.Folder = FOptions.PastaExtrairFixa;
        break;
    default:
        choice.Folder = FOptions.UltimaPastaExtrair;
        break;
    }
    choice.Mask = "*";
    choice.Selected = false;
    choice.StoredFolders = true;
    if (!ExtractDialog || !ExtractDialog(choice)) return;
    FOptions.UltimaPastaExtrair = choice.Folder;
    std::string temp;
    FOperations.ExtractArchive({choice.Mask.empty() ? "*" : choice.Mask}, choice.Folder, choice.StoredFolders, temp,
                               choice.OverwriteMode);
}

void TCommandLine::Add(const std::string& archive, const std::string& path) {
    if (!Exists(path)) {
        NotFound(path);
        return;
    }
    const std::string target = Absolute(archive);
    FOpener.Lister().SetTag(VzReceiverMainWindow);
    FOpener.Lister().SetArchiveFile(target);
    // The verb writes ZIP archives only: an existing archive of another type is
    // left alone rather than overwritten with a ZIP.
    const TArcType type = FOpener.ArcType();
    if (IsFile(target) && type != TArcType::atZip && type != TArcType::atZipExe) {
        FErrors << "morvelan: " << LoadLangStr(48) << ": " << target << "\n";
        return;
    }
    FOperations.AddToArchive({AddSpec(Absolute(path))}, true, true, TSwitch::swAdd,
                             TStoredDirNames::sdAbsoluteNoDrv);
}

void TCommandLine::AddToNew(const std::string& folder, const std::vector<std::string>& items) {
    FOpener.Lister().SetTag(VzReceiverMainWindow);
    if (AddFiles) AddFiles(NewArchiveName(folder), items);
}

void TCommandLine::Wizard(const std::string& archive) {
    if (!UseArchive(archive)) return;
    // The entries are listed for the wizard's file lists before the lister is handed over.
    std::vector<std::string> entries;
    if (EntryNames) entries = EntryNames();
    FOpener.Lister().SetTag(VzReceiverWizard);
    FOpener.Lister().SetFileSpec({"*.*"});
    if (RunWizard) RunWizard(FOpener.ArchiveFile(), entries);
}

} // namespace mv
