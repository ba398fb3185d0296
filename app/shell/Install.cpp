#include "app/shell/Install.h"

#include "app/common/LangStr.h"
#include "app/common/MessageBox.h"
#include "app/common/StrUtils.h"
#include "app/dialogs/SmallPrompts.h"
#include "platform/AppPaths.h"
#include "platform/FileOps.h"
#include "platform/FileSystem.h"
#include "platform/desktop/DesktopIntegration.h"
#include "shellext/ContextMenuRegistration.h"

#include <algorithm>
#include <exception>

namespace mv {

using namespace mv::platform;

namespace {

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    for (char c : text + " ") {
        if (c == ' ' || c == '\t') {
            if (!word.empty()) words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    return words;
}

// Deletes the files a portable copy's manifest lists, then the folders left empty.
void DeletePortableFiles(const std::string& folder) {
    std::string manifest;
    if (!ReadTextFile(JoinPath(folder, ManifestName), manifest)) return;
    std::vector<std::string> parents;
    size_t pos = 0;
    while (pos < manifest.size()) {
        size_t end = manifest.find('\n', pos);
        if (end == std::string::npos) end = manifest.size();
        const std::string name = TrimText(manifest.substr(pos, end - pos));
        pos = end + 1;
        // Only plain relative names below the folder: nothing absolute, no "..".
        if (name.empty() || name[0] == '/' || name[0] == '#') continue;
        if (("/" + name + "/").find("/../") != std::string::npos) continue;
        if (("/" + name + "/").find("/./") != std::string::npos) continue;
        const std::string path = JoinPath(folder, name);
        FileInfo info;
        if (!Fs().Stat(path, info) || info.IsDirectory) continue;
        RemoveFileIfExists(path);
        for (std::string dir = DirectoryOf(name); !dir.empty() && dir != "/"; dir = DirectoryOf(dir))
            parents.push_back(dir);
    }
    RemoveFileIfExists(JoinPath(folder, ManifestName));
    std::sort(parents.begin(), parents.end(), [](const std::string& a, const std::string& b) {
        return a.size() > b.size();
    });
    for (const std::string& dir : parents) RemoveFolderIfEmpty(JoinPath(folder, dir));
    RemoveFolderIfEmpty(folder);
}

} // namespace

void RegisterContextMenu(bool on) {
    try {
        shellext::RegisterContextMenuHandler(on, ProgramDir(), shellext::DefaultActionFolders());
    } catch (const std::exception&) {
        // Registration never stops a start or an uninstall.
    }
}

std::string GetSpecialFolder(int folder) {
    switch (folder) {
    case sfDesktop: return DesktopDir();
    case sfPrograms: return ApplicationsDir();
    default: return {};
    }
}

std::string IconName(int iconIndex) {
    return iconIndex == 17 ? "morvelan-uninstall" : "morvelan";
}

void CreateShortcut(const std::string& description, const std::string& target, const std::string& workingFolder,
                    int iconIndex, const std::string& linkFile, const std::string& iconFile,
                    const std::string& arguments) {
    desktop::TDesktopEntry entry;
    entry.Name = description;
    entry.Exec = desktop::QuoteExecArgument(target);
    for (const std::string& word : Words(arguments)) entry.Exec += " " + desktop::QuoteExecArgument(word);
    entry.Path = workingFolder;
    entry.Icon = iconFile.empty() ? IconName(iconIndex) : iconFile;
    entry.Categories = {"Utility", "Archiving"};
    desktop::WriteLauncher(linkFile, entry, DirectoryOf(linkFile) == DesktopDir());
}

std::string DesktopLauncherPath() {
    return JoinPath(GetSpecialFolder(sfDesktop), desktop::ApplicationEntryName);
}

std::string UninstallEntryPath() {
    return JoinPath(GetSpecialFolder(sfPrograms), std::string("morvelan/") + desktop::UninstallEntryName);
}

bool InstallStep(RegistryStore& store) {
    std::string version;
    try {
        if (store.OpenKeyReadOnly(VersionKey)) {
            version = TrimText(store.ReadString(""));
            store.CloseKey();
        }
    } catch (const std::exception&) {
        version.clear();
    }
    if (version == InstalledVersion) return false;
    // Linux replaces a running program's files freely: there is no staged library to
    // swap in and no restart to ask for.
    store.OpenKey(VersionKey, true);
    store.WriteString("", InstalledVersion);
    store.CloseKey();
    RegisterContextMenu(true);
    try {
        // The launcher goes on an existing desktop only: a user without a desktop folder
        // does not get one made.
        if (IsDirectory(GetSpecialFolder(sfDesktop)))
            CreateShortcut("Morvelan", ProgramPath(), ProgramDir(), 0, DesktopLauncherPath(), "", "");
        CreateShortcut(LoadLangStr(624), ProgramPath(), ProgramDir(), 17, UninstallEntryPath(), "",
                       "/DEINST MORVELAN");
    } catch (const std::exception&) {
        // A launcher that cannot be written is no reason to stop.
    }
    return true;
}

bool AssociationsRight() {
    if (!desktop::ApplicationEntryMatches(ProgramPath())) return false;
    if (!desktop::MimePackageMatches()) return false;
    for (const std::string& type : desktop::ArchiveMimeTypeNames())
        if (!desktop::IsDefaultApplication(type)) return false;
    return true;
}

void RegisterAssociations() {
    desktop::WriteApplicationEntry(ProgramPath(), LoadLangStr(418));
    desktop::WriteMimePackage();
    desktop::SetDefaultApplications(desktop::ArchiveMimeTypeNames());
    desktop::RefreshDesktopDatabases();
}

bool ShouldCheckAssociations(const IniFile& ini, int argumentCount) {
    return argumentCount == 0 && Upper(TrimText(ini.ReadString(OptionsSection, "Associacao", ""))) != "NAO";
}

int CheckAssociations(IniFile& ini, TOptions& options) {
    if (AssociationsRight()) return 0;
    bool dontAsk = false;
    const int result = ShowAssociationPrompt(dontAsk);
    if (result == mrYes) {
        RegisterAssociations();
    } else if (dontAsk) {
        ini.WriteString(OptionsSection, "Associacao", BoolToSimNao(false));
        options.Associacao = false;
    }
    return result;
}

bool MayDeleteProgramFiles(const std::string& folder, bool portable) {
    return portable && !folder.empty() && folder.find_first_not_of('/') != std::string::npos;
}

bool UninstallProgram(RegistryStore& store) {
    if (ShowMessageBox(LoadLangStr(590) + "\n" + LoadLangStr(591), mkQuestion, mbYesNo, 0, -1, -1) != mrYes)
        return false;
    try {
        // Program files: only a portable copy's own files, listed in its manifest; a
        // program in a root folder or an installed one (its files belong to the package
        // manager or to whoever installed it) keeps them.
        const std::string folder = ProgramDir();
        if (MayDeleteProgramFiles(folder, IsPortable())) DeletePortableFiles(folder);
    } catch (const std::exception&) {
    }
    try {
        RegisterContextMenu(false);
        desktop::RemoveDesktopIntegration({DesktopLauncherPath(), UninstallEntryPath()});
        RemoveFolderIfEmpty(DirectoryOf(UninstallEntryPath()));
    } catch (const std::exception&) {
    }
    for (const char* key : {"\\Software\\Morvelan\\Colunas", "\\Software\\Morvelan\\MorvelanLastFiles",
                            "\\Software\\Morvelan\\Versao"}) {
        try {
            store.DeleteKey(key);
        } catch (const std::exception&) {
        }
    }
    return true;
}

int RunInstallVerb() {
    RegistryStore store(RegistryFilePath());
    InstallStep(store);
    return ExitAfterVerb;
}

int RunUninstallVerb() {
    RegistryStore store(RegistryFilePath());
    UninstallProgram(store);
    return ExitAfterVerb;
}

int32_t ColourCount(int bitsPerPixel, int planes) {
    uint32_t colours = 1;
    for (int i = 0; i < bitsPerPixel; ++i) colours *= 2u; // wraps to 0 at 32 bits
    uint32_t count = 1;
    for (int i = 0; i < planes; ++i) count *= colours;
    return static_cast<int32_t>(count);
}

} // namespace mv
