#include "app/mainwindow/DropFiles.h"

#include "app/common/LangStr.h"
#include "app/common/MessageBox.h"
#include "app/common/SfxPlaceholders.h"
#include "app/common/StrUtils.h"
#include "app/operations/ArchiveOperations.h"
#include "archive/lister/ArcLister.h"
#include "platform/FileSystem.h"

#include <memory>

namespace mv {

namespace {

// The message box's answer Yes.
constexpr int AnswerYes = 6;

bool IsFile(const std::string& path) {
    return platform::Exists(path) && !platform::IsDirectory(path);
}

std::string WithSeparator(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder.push_back('/');
    return folder;
}

} // namespace

std::string DropMask(const std::string& typed) {
    std::string mask = TrimText(typed);
    if (mask.size() <= 1) return "*.*";
    if (mask.front() == '.') mask.insert(mask.begin(), '*');
    return mask;
}

TDropFiles::TDropFiles(TMainWindowView& view, TArchiveOpener& opener, TOptions& options)
    : FView(view), FOpener(opener), FOptions(options) {}

bool TDropFiles::Mask(std::string& mask, bool& subFolders) {
    std::string typed = "*.*";
    subFolders = true;
    if (!AskMask || !AskMask(typed, subFolders)) return false;
    mask = DropMask(typed);
    return true;
}

bool TDropFiles::AddDragged(const std::vector<TDraggedItem>& items, bool fromTree) {
    if (items.empty()) return false;
    bool anyFolder = fromTree;
    for (const TDraggedItem& item : items) anyFolder = anyFolder || item.Folder;
    std::string mask;
    bool subFolders = false;
    if (anyFolder && !Mask(mask, subFolders)) {
        FOpener.DisplayTotals(false);
        return false;
    }
    std::vector<std::string> specs;
    for (const TDraggedItem& item : items)
        specs.push_back(item.Folder || fromTree ? WithSeparator(item.Path) + mask : item.Path);
    return AddSpecs(specs, subFolders);
}

bool TDropFiles::AddDropped(const std::vector<std::string>& paths) {
    std::vector<std::string> files;
    bool anyOther = false;
    for (const std::string& path : paths) {
        // A name with a line break cannot be handed on to the engines' lists.
        if (path.empty() || path.find('\n') != std::string::npos || path.find('\r') != std::string::npos) continue;
        if (IsFile(path)) files.push_back(path);
        else anyOther = true;
    }
    if (files.empty() && !anyOther) return false;
    std::string mask;
    bool subFolders = false;
    if (anyOther && !Mask(mask, subFolders)) {
        FOpener.DisplayTotals(false);
        return false;
    }
    std::vector<std::string> specs;
    for (const std::string& path : paths) {
        if (path.empty() || path.find('\n') != std::string::npos || path.find('\r') != std::string::npos) continue;
        specs.push_back(IsFile(path) ? path : WithSeparator(path) + mask);
    }
    return AddSpecs(specs, subFolders);
}

bool TDropFiles::ArchiveForAdd(bool& newArchive) {
    newArchive = false;
    const std::string open = TrimText(FOpener.ArchiveFile());
    if (!open.empty() && IsFile(open)) return true;
    // No archive: a new one is named as the New command names it.
    std::string folder;
    if (FOptions.PastaIniciar == pfLastUsed) folder = FOptions.UltimaPastaIniciar;
    else if (FOptions.PastaIniciar == pfFixed) folder = FOptions.PastaIniciarFixa;
    if (!folder.empty() && !platform::IsDirectory(folder)) folder.clear();
    std::string chosen;
    if (!AskNewArchive || !AskNewArchive(LoadLangStr(63), folder, chosen) || TrimText(chosen).empty()) return false;
    chosen = TrimText(chosen);
    FOptions.UltimaPastaIniciar = platform::DirectoryOf(chosen);
    const std::string name = ReplaceExt(chosen, ".zip");
    if (platform::Exists(name)) {
        // An existing file is opened, and nothing is added to it.
        if (FView.ShowMessage(LoadLangStr(64), mkQuestion, mbYesNo) == AnswerYes) {
            FOpener.OpenArchive(name);
            if (OnArchiveChanged) OnArchiveChanged();
        }
        return false;
    }
    FOpener.CloseArchive();
    FOpener.Lister().SetArchiveFile(name);
    newArchive = true;
    return true;
}

bool TDropFiles::AddSpecs(const std::vector<std::string>& specs, bool recurse) {
    TArchiveOperations* operations = Operations ? Operations() : nullptr;
    if (!operations || operations->Busy() || specs.empty()) return false;
    bool newArchive = false;
    if (!ArchiveForAdd(newArchive)) {
        FOpener.DisplayTotals(false);
        return false;
    }
    const std::string archive = TrimText(FOpener.ArchiveFile());
    const bool ok = operations->AddToArchive(specs, recurse, newArchive, TSwitch::swAdd, TStoredDirNames::sdRelative);
    // The archive is read again (its type detected again) and listed; a new archive
    // that was not written is closed instead of reported missing.
    if (IsFile(archive))
        FOpener.OpenArchive(archive);
    else
        FOpener.CloseArchive();
    if (OnArchiveChanged) OnArchiveChanged();
    FOpener.DisplayTotals(false);
    return ok;
}

bool TDropFiles::ExtractDragged(const std::vector<std::string>& entries, const std::string& folder) {
    TArchiveOperations* operations = Operations ? Operations() : nullptr;
    if (!operations || operations->Busy() || entries.empty() || folder.empty()) return false;
    std::string temp;
    return operations->ExtractArchive(entries, WithSeparator(folder), false, temp, 7, true);
}

} // namespace mv
