#pragma once
// How the program becomes part of the user's desktop, the freedesktop way: its desktop
// entry (the launcher menus and "open with"), a MIME package for the archive types the
// shared MIME database lacks, the user's default applications (mimeapps.list, only our
// own lines), launchers on the desktop and in the menu, and the actions of the file
// managers (Dolphin service menus, Nautilus and Caja scripts, Nemo actions, Thunar's
// uca.xml merged with the user's own actions).
//
// Every writer is idempotent: a file whose content is already right is not rewritten,
// so a second install leaves every modification time as it was. Every remover takes
// away exactly what the writers put there and nothing else. The folders come from the
// XDG variables (see platform/AppPaths.h), so tests run in fixture folders.
#include <string>
#include <vector>

namespace mv::desktop {

// --- Archive types --------------------------------------------------------------------

// One archive type the program opens.
struct TArchiveMimeType {
    std::string MimeType;  // "application/zip"
    std::string Extension; // ".zip", lower case
    std::string Comment;   // English description (our own types only)
    bool Ours = false;     // defined by our MIME package (the shared database lacks it)
};

// The program's archive types, in the order the associations are compared and written.
const std::vector<TArchiveMimeType>& ArchiveMimeTypes();
// Every MIME type of that table once, in table order.
std::vector<std::string> ArchiveMimeTypeNames();

// --- Desktop entries ------------------------------------------------------------------

struct TDesktopEntry {
    std::string Name;
    std::string GenericName;
    std::string Comment;
    std::string Exec;     // the command line, already quoted
    std::string Path;     // working folder; empty: none
    std::string Icon;     // icon name or absolute path
    std::vector<std::string> MimeTypes;
    std::vector<std::string> Categories;
    bool NoDisplay = false;
};

// Text of a desktop entry (Type=Application), valid for desktop-file-validate.
std::string DesktopEntryText(const TDesktopEntry& entry);
// Quotes one argument for an Exec line (the desktop entry specification's rules).
std::string QuoteExecArgument(const std::string& argument);

// The file names of our desktop entries.
constexpr const char* ApplicationEntryName = "morvelan.desktop";
constexpr const char* UninstallEntryName = "morvelan-uninstall.desktop";

// $XDG_DATA_HOME/applications/morvelan.desktop: "<program> %f", MimeType= every archive
// type, Icon=morvelan, Comment = description. True when the file was (re)written.
bool WriteApplicationEntry(const std::string& programPath, const std::string& description);
bool ApplicationEntryMatches(const std::string& programPath); // exists, Exec as expected (any case), lists every type

// --- MIME package ---------------------------------------------------------------------

// Text of our MIME package (the types marked Ours), valid shared-mime-info XML.
std::string MimePackageText();
// $XDG_DATA_HOME/mime/packages/morvelan.xml, then update-mime-database on
// $XDG_DATA_HOME/mime when that program is installed. True when the file was written.
bool WriteMimePackage();
// True when the package file holds exactly MimePackageText().
bool MimePackageMatches();

// --- Default applications (mimeapps.list) ---------------------------------------------

// Puts morvelan.desktop first for each type in [Default Applications] of
// $XDG_CONFIG_HOME/mimeapps.list. A type that named other applications keeps them after
// ours; every other line and section stays as it was.
bool SetDefaultApplications(const std::vector<std::string>& mimeTypes);
// Takes morvelan.desktop out of every line of [Default Applications] and [Added
// Associations]; a line left empty goes, other lines stay, and a file left with nothing
// but those section headers goes too.
bool RemoveDefaultApplications();
// True when mimeapps.list names morvelan.desktop first for the type.
bool IsDefaultApplication(const std::string& mimeType);

// --- Launchers ------------------------------------------------------------------------

// A launcher (a desktop entry) at path; the one on the desktop is marked executable, as
// file managers ask before trusting a launcher. True when written.
bool WriteLauncher(const std::string& path, const TDesktopEntry& entry, bool executable);

// --- File-manager actions -------------------------------------------------------------

// Which selections an action is offered for: the kind of item, and how many.
enum class TActionTarget { atFiles, atFolders, atAll };
enum class TActionSelection { asAny, asSingle, asMultiple };

// One entry of the file managers' context menus. The command is an argument vector; the
// writer appends the file manager's own placeholder for the selected paths ("%F", or the
// script's arguments). Files written per action: Dolphin
// $XDG_DATA_HOME/kio/servicemenus/morvelan-<Id>.desktop (executable), Nautilus
// $XDG_DATA_HOME/nautilus/scripts/Morvelan/<Name> and Caja
// $XDG_CONFIG_HOME/caja/scripts/Morvelan/<Name> (executable scripts), Nemo
// $XDG_DATA_HOME/nemo/actions/morvelan-<Id>.nemo_action, and one <action> with the
// unique id "morvelan-<Id>" in $XDG_CONFIG_HOME/Thunar/uca.xml.
struct TFileManagerAction {
    std::string Id;   // short, [a-z0-9-]: "extract-here"; names the action files
    std::string Name; // menu text
    std::string Icon; // icon name; empty: none
    TActionTarget Target = TActionTarget::atAll;
    TActionSelection Selection = TActionSelection::asAny; // where the file manager can tell
    std::vector<std::string> MimeTypes; // empty: any file
    std::vector<std::string> Command;   // program and its leading arguments
};

// Writes the actions for every supported file manager, replacing whatever set of our
// actions was there before (actions no longer listed are removed). Thunar's uca.xml
// keeps every action that is not ours. True when some file changed.
bool WriteFileManagerActions(const std::vector<TFileManagerAction>& actions);
// Removes every action file of ours and our actions from uca.xml. True when some file changed.
bool RemoveFileManagerActions();
// True when the action files of the given set are all in place with this content.
bool FileManagerActionsMatch(const std::vector<TFileManagerAction>& actions);
// The files the actions live in (those that exist now), for tests and reports.
std::vector<std::string> FileManagerActionFiles();

// --- Databases ------------------------------------------------------------------------

// Runs update-desktop-database on $XDG_DATA_HOME/applications and update-mime-database
// on $XDG_DATA_HOME/mime, each when installed; missing programs are no error.
void RefreshDesktopDatabases();

// --- Everything ------------------------------------------------------------------------

// Removes the application entry, the MIME package, our mimeapps.list lines, the action
// files and the given launchers, then refreshes the databases. True when something went.
bool RemoveDesktopIntegration(const std::vector<std::string>& launchers);

} // namespace mv::desktop
