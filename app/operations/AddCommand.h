#pragma once
// The add command: files and folders put into the open archive, or into a new one.
// It shows the add dialog, then writes through one of three engines:
// - the writer of the archive components for LHA, BH, CAB, TAR, GZip and JAR;
// - the zip writer component for plain ZIP archives, also spanned over removable
//   disks (forced, or automatically when the files would not fit);
// - the vendor zip library for ZIP archives cut into parts of a chosen size on a
//   fixed drive, and for self-extracting ZIP archives.
// Every engine writes the new archive beside the old one and puts it in place only
// when it is complete, so a failure leaves an existing archive as it was. "Move"
// deletes only the source files that the new archive is read back to hold, and
// nothing after a failure.
#include "archive/framework/ArcOptions.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace mv {

class TMainWindowView;
class TArchiveOpener;
class TArchiveOperations;
struct TOptions;

// The archive types the add dialog can create, in the order of its type radios.
enum class TAddArchiveKind { akZip, akLha, akBh, akCab, akGZip, akTar, akJar };

// How the folders of added files are stored.
enum class TAddPathMode { apNone, apRelative, apFull };

// What the add command starts the dialog from.
struct TAddSetup {
    std::string Archive;             // the archive's path
    bool NewArchive = false;         // the type may still be chosen
    bool ShowDestination = false;    // a caller's list: the destination edit is shown
    std::vector<std::string> Items;  // a caller's paths (files, or folders to add whole)
    std::string StartFolder;         // the folder the shell list shows first ("" = drives)
    TAddArchiveKind Kind = TAddArchiveKind::akZip;
    bool SelfExtracting = false;     // the archive is a self-extracting ZIP
    int ArgumentCount = 0;           // the program's command-line arguments
};

// One file the dialog's scan found: its path without the drive part, and the folder
// (without drive) of the specification that found it.
struct TFoundFile {
    std::string Name;
    std::string Root;
};

// What the add dialog hands back after OK.
struct TAddChoice {
    std::string Archive;                    // the destination (shown) or the setup's archive
    TAddArchiveKind Kind = TAddArchiveKind::akZip;
    std::string MethodText;                 // the chosen method's text
    int MethodIndex = 0;                    // its index in the method list
    TSwitch Action = TSwitch::swAdd;        // swAdd or swMove
    bool AttrArchive = true, AttrReadOnly = true, AttrHidden = true, AttrSystem = true;
    std::string MultiDisk;                  // the multi-disk choice's text ("" when off)
    std::string PartSizeText = "1457600";   // the dialog's byte count as typed
    TAddPathMode PathMode = TAddPathMode::apRelative;
    std::string Prefix;                     // the path put in front of stored names
    std::string Password;                   // trimmed; empty for none
    std::vector<std::string> FileSpecs;     // what the engine is handed
    bool AnyRecursive = false;
    std::vector<TFoundFile> Found;          // sorted by Name
    int64_t TotalBytes = 0;                 // the size of the files found
    // The last folder the shell list showed.
    std::string CurrentFolder;
};

// Runs the add dialog: true on OK with the choice filled.
using TAddDialogRunner = std::function<bool(const TAddSetup& setup, TAddChoice& choice)>;

// The stored name of a source file by the dialog's path choice and prefix (folders
// separated by "/"). Relative names need the dialog's found files (sorted by Name); a
// file not found keeps its path without drive. Letter case is kept.
std::string AddStoredName(const std::string& source, TAddPathMode mode, const std::string& prefix,
                          const std::vector<TFoundFile>& found);

// Which engine writes, and how, for the add command's choices.
enum class TAddEngine { aeComponent, aeZipEngine, aeVendor };
struct TEnginePlan {
    TAddEngine Engine = TAddEngine::aeZipEngine;
    bool Span = false;      // spanned over removable disks (zip writer)
    int64_t PartSize = 0;   // parts of this size (vendor library); 0 none
    bool NeedsPreview = false; // "Automatic": spanning depends on the files' total size
};
// The plan for a ZIP choice: kind of drive, new archive or not, self-extracting, the
// multi-disk text and the part size text.
TEnginePlan PlanZipEngine(bool removable, bool newArchive, bool selfExtracting, const std::string& multiDisk,
                          const std::string& partSizeText);

class TAddCommand {
public:
    TAddCommand(TMainWindowView& view, TArchiveOpener& opener, TArchiveOperations& operations,
                TOptions& options);

    // The add dialog; unset, the program's form runs (ShowAddDialog).
    TAddDialogRunner AddDialog;
    // An archive was written to: it goes into the reopen history.
    std::function<void(const std::string& archive)> OnArchiveUsed;
    // The free bytes of a drive (for "Automatic" spanning); unset, the file
    // system answers.
    std::function<uint64_t(const std::string& path)> FreeBytes;
    // The new-disk prompt of a span (message, archive): 1 go on; unset, the program's.
    std::function<int(const std::string& message, const std::string& archive)> AskNextDisk;
    // The program's command-line arguments (with two or more the dialog does not
    // count while the user adds).
    int ArgumentCount = 0;

    // The command: the dialog, then the writing, then the list refreshed. newArchive:
    // the type may be chosen; list: paths given by the caller (files, or folders
    // added whole with their subfolders). True when an archive was written.
    bool AddFiles(bool newArchive, const std::vector<std::string>* list = nullptr);

    // The "New" command once its save dialog named the file: the open archive is
    // closed, the name becomes the archive's and the command runs for a new archive.
    bool NewArchive(const std::string& path);

    // What the last run did (for tests and the verbs).
    TEnginePlan LastPlan() const { return FLastPlan; }
    const std::vector<std::string>& LastDeleted() const { return FLastDeleted; }
    TArchiveOpener& Opener() { return FOpener; }

private:
    bool WriteThroughComponent(const TAddChoice& choice);
    bool WriteZip(const TAddChoice& choice, bool newArchive);
    void DeleteMovedSources(const TAddChoice& choice, const std::vector<std::pair<std::string, std::string>>& stored);
    void RemoveEmptiedFolders(const TAddChoice& choice);
    void Refresh(const std::string& archive);

    TMainWindowView& FView;
    TArchiveOpener& FOpener;
    TArchiveOperations& FOperations;
    TOptions& FOptions;
    TEnginePlan FLastPlan;
    std::vector<std::string> FLastDeleted;
};

// The entry point of the command-line verbs "A", "AS" and "ASQ": the add command for
// archive with the caller's items (files, or folders added whole), the type choice
// enabled when the archive does not exist yet. True when an archive was written.
bool RunAddCommand(TAddCommand& command, const std::string& archive, const std::vector<std::string>& items);

} // namespace mv
