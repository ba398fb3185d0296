#pragma once
// How the program becomes part of the user's desktop, the freedesktop way: its desktop
// entry (the launcher menus and "open with"), a MIME package for the archive types the
// shared MIME database lacks, the user's default applications (mimeapps.list, only our
// own lines), and launchers on the desktop and in the menu. (The file managers' context
// actions are the shell extension's: shellext/FileManagerActions.h.)
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

// --- Databases ------------------------------------------------------------------------

// Runs update-desktop-database on $XDG_DATA_HOME/applications and update-mime-database
// on $XDG_DATA_HOME/mime, each when installed; missing programs are no error.
void RefreshDesktopDatabases();

// --- Everything ------------------------------------------------------------------------

// Removes the application entry, the MIME package, our mimeapps.list lines and the given
// launchers, then refreshes the databases. True when something went.
bool RemoveDesktopIntegration(const std::vector<std::string>& launchers);

} // namespace mv::desktop
