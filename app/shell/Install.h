#pragma once
// Installing the program into the user's desktop and taking it out again: the version
// step at every start (file-manager actions, the desktop launcher and the uninstall menu
// entry), the check of the file associations with its prompt, and the removal ("/INST",
// "/DEINST"). Plus the small shell and disk routines these steps use.
#include "app/settings/Options.h"
#include "platform/IniFile.h"
#include "platform/RegistryStore.h"

#include <functional>
#include <string>

namespace mv {

// The version the install step writes and compares.
constexpr const char* InstalledVersion = "3.0.016";
constexpr const char* VersionKey = "\\Software\\Morvelan\\Versao";
// The exit code of a run that only installed or removed the program.
constexpr int ExitAfterVerb = 167;

// Registers (true) or removes (false) the context-menu handler: its keys in the registry
// store and the file managers' action files, which call mvshell-host beside the program.
// Errors are ignored, as registration must never stop a start.
void RegisterContextMenu(bool on);

// Special folders: 0 the desktop, 2 the menu's programs folder (desktop entries).
constexpr int sfDesktop = 0, sfPrograms = 2;
std::string GetSpecialFolder(int folder);

// The icon names that stand for the numbered icons of the program's icon library.
std::string IconName(int iconIndex);

// Writes a launcher (a desktop entry) at linkFile: description as its name, target with
// the arguments as its command, the working folder, the icon (iconFile when given, else
// the numbered icon). A launcher on the desktop is marked executable.
void CreateShortcut(const std::string& description, const std::string& target, const std::string& workingFolder,
                    int iconIndex, const std::string& linkFile, const std::string& iconFile,
                    const std::string& arguments);

// The launchers the install step writes.
std::string DesktopLauncherPath();
std::string UninstallEntryPath();

// At every start (and for "/INST"): nothing when the store already holds this version;
// otherwise writes the version, registers the context menu and writes the desktop
// launcher (when the user has a desktop folder) and the uninstall entry. Answers true when it did the work.
bool InstallStep(platform::RegistryStore& store);

// True when every archive type is associated with this program: our desktop entry with
// the expected command (compared without case) lists it, and mimeapps.list names it.
bool AssociationsRight();
// At a plain start unless "Associacao" is "NAO": when the associations are not right,
// asks (TFrmAssociacao). Yes writes the desktop entry, our MIME package and our
// mimeapps.list lines; No with "don't ask again" writes Associacao=NAO and clears the
// option in memory too, so that the options written at exit keep it. Answers the
// prompt's modal result, or 0 when nothing was asked.
int CheckAssociations(platform::IniFile& ini, TOptions& options);
// Whether the start runs the check: only a plain start (no arguments) whose raw
// "Associacao" value is not "NAO" (any case, blanks around ignored).
bool ShouldCheckAssociations(const platform::IniFile& ini, int argumentCount);
// The Yes branch alone.
void RegisterAssociations();

// The list of program files a portable copy ships (one name per line, relative to the
// program's folder); the only files uninstalling a portable copy deletes.
constexpr const char* ManifestName = "morvelan.files";

// Whether uninstalling deletes program files from folder: only a portable copy's, and
// never from a root folder.
bool MayDeleteProgramFiles(const std::string& folder, bool portable);

// "/DEINST": asks (590, 591); Yes removes the desktop integration, the context menu and
// the store's Colunas, MorvelanLastFiles and Versao keys. A portable copy also deletes
// the files its manifest lists (never the files of a program in a root folder, never an
// installed copy's files). Answers false when the user said No.
bool UninstallProgram(platform::RegistryStore& store);

// The verbs, as the program's start calls them; both answer the exit code.
int RunInstallVerb();
int RunUninstallVerb();

// (2 ^ bits per pixel) ^ planes in 32-bit integer arithmetic: 32-bit colour gives 0.
int32_t ColourCount(int bitsPerPixel, int planes);

} // namespace mv
