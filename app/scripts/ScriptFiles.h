#pragma once
// Backup scripts on disk. A script <name> is the files <name>.srp (a fixed-column
// header line, then one line per include or exclude item), <name>.sra (the files
// of its last backup, one dated line each) and <name>.sre (the warnings of its last
// run); "Morvelan.SRL" names the scripts in tab order. All live in the per-user
// scripts folder ($XDG_DATA_HOME/morvelan/scripts).
//
// The files are written UTF-8 with CR LF line ends, always through a temporary file
// renamed over the old one, so a failed write leaves the old file as it was. Lines
// that are not valid UTF-8 are read as Windows-1252 (scripts written by older
// versions). Fixed columns count characters, not bytes.
#include "controls/toolkit/files/TypeAheadModel.h" // CharCount
#include <cstdint>
#include <string>
#include <vector>

namespace mv {

// --- Text of fixed columns -------------------------------------------------------

// Characters [first, first + count) of a UTF-8 text (0-based, clipped at the end).
std::string CharSubstr(const std::string& text, size_t first, size_t count = std::string::npos);
// The text cut or padded with blanks on the right to exactly width characters.
std::string FitLeft(const std::string& text, size_t width);
// The text padded with blanks on the left to width characters, or cut to its last width.
std::string FitRight(const std::string& text, size_t width);
// A line read from an old 8-bit file: kept when it is valid UTF-8, else taken as Windows-1252.
std::string LegacyLineToUtf8(const std::string& line);

// --- Dates as the script files write them ------------------------------------------

// "dd/mm/yyyy ddd" (string 454) with the three-letter day name of the current language,
// always 14 characters.
std::string FormatScriptDate(int64_t unixTime);
// "hh:mm" of an instant.
std::string FormatScriptTime(int64_t unixTime);
// "hh:nn:ss" of a duration in seconds (hours above 99 show 99).
std::string FormatElapsed(int64_t seconds);

// --- The header line ---------------------------------------------------------------

// Field widths of the header (columns counted from 1 in the comments).
constexpr size_t shArchiveWidth = 65, shDateWidth = 14, shTimeWidth = 5, shElapsedWidth = 8, shSizeWidth = 8,
                 shDisksWidth = 4, shFilesWidth = 9, shWarningsWidth = 6, shReservedWidth = 503,
                 shDestinationColumn = 640;

// Run statuses and test statuses kept in the header and in the run record.
constexpr int rsNeverRun = 0, rsErrors = 1, rsCancelled = 2, rsDone = 3;
constexpr int tsNotTested = 0, tsErrors = 1, tsCancelled = 2, tsPassed = 3;

struct TScriptHeader {
    bool TestAfterBackup = true;  // column 1
    int Method = 2;               // column 2: 0 none, 1 fast, 2 normal, 3 slow
    bool ClearDisk = false;       // column 3
    int LastStatus = rsNeverRun;  // column 4
    int TestStatus = tsNotTested; // column 5
    // Columns 6-126 and 129-134 as they stand in the file; written back unchanged.
    std::string Archive = std::string(shArchiveWidth, ' ');
    std::string Date = std::string(shDateWidth, ' ');
    std::string Time = std::string(shTimeWidth, ' ');
    std::string Elapsed = "00:00:00";
    std::string TotalK = "       1";
    std::string PackedK = "       1";
    std::string Disks = "   1";
    std::string Files = std::string(shFilesWidth, ' ');
    int VolumeMode = 1;      // column 127: 0 multi-volume, 1 not
    bool UpdateOnly = false; // column 128
    std::string Warnings = "000000";
    bool SelfExtracting = false; // column 135
    bool DateInName = false;     // column 136
    std::string Destination;     // column 640 to the end, trimmed
};

// Reads a header line. Short or damaged lines read the defaults of the missing or
// unreadable fields; nothing raises.
TScriptHeader ParseScriptHeader(const std::string& line);
// Writes a header line: every field fitted to its width, so the destination always
// starts at column 640.
std::string FormatScriptHeader(const TScriptHeader& header);
// The header of a new script: its destination is $HOME/Backups/<name>.zip.
TScriptHeader NewScriptHeader(const std::string& name);
// The warnings count of the header (0 when it does not read).
int HeaderWarnings(const TScriptHeader& header);

// What a run hands back to the header (the manager's statistics).
struct TRunStatistics {
    int Status = rsNeverRun;
    int TestStatus = tsNotTested;
    int Warnings = 0;
    std::string Archive;  // the archive written
    int64_t Finished = 0; // when the run ended (unix time)
    int64_t ElapsedSeconds = 0;
    uint64_t TotalBytes = 0;
    uint64_t PackedBytes = 0;
    int Disks = 1;
    int64_t Files = 0;
};
// Writes a run's results into the statistics fields: the archive fitted to its 65
// characters (a longer one keeps its tail after "..."), the sizes in K zero-padded to
// 8 digits (clamped at 99999999), the counts left-aligned and clamped to their widths.
void StoreRunStatistics(TScriptHeader& header, const TRunStatistics& run);

// --- Item lines -----------------------------------------------------------------------

struct TScriptItem {
    bool FolderItem = true; // "S": a folder with a mask; "N": a single file
    bool Recurse = false;   // "S": scan subfolders
    bool Include = true;    // "S": include list; "N": exclude list
    std::string Path;       // folder + "/" + mask, or the file's full path
};
TScriptItem ParseScriptItem(const std::string& line);
std::string FormatScriptItem(const TScriptItem& item);

// How an item is scanned: its folder part, its mask ("*.*" when the name part is
// blank) and whether subfolders are walked.
struct TItemScan {
    std::string Folder;
    std::string Mask;
    bool Recurse = false;
};
TItemScan ItemScanOf(const TScriptItem& item);

// The lines of one script in memory: line 0 the header, then the items.
class TArquivosLb {
public:
    std::vector<std::string>& Lines() { return FLines; }
    const std::vector<std::string>& Lines() const { return FLines; }
    void SetLines(std::vector<std::string> lines) { FLines = std::move(lines); }
    int Count() const { return static_cast<int>(FLines.size()); }

    std::string GetFileName(int index) const; // characters 4 to the end
    bool NotGrayed(int index) const;          // flag 1
    bool Recurse(int index) const;            // flag 2
    bool Include(int index) const;            // flag 3
    void AddEntry(bool notGrayed, bool recurse, const std::string& path, bool include);

private:
    std::vector<std::string> FLines;
};

// --- Last-backup lines ---------------------------------------------------------------

// "dd/mm/yyyy hh:nn" of a file's last-write time followed at once by its path.
std::string FormatBackupFileLine(int64_t modTime, const std::string& path);
// The date part ("" for a short line) and the path (from character 17).
std::string BackupLineDate(const std::string& line);
std::string BackupLinePath(const std::string& line);
// The name a file has inside the archive: its path without the leading "/".
std::string ArchiveNameOf(const std::string& path);
// The date that marks a file as changed whatever its stamp.
extern const char* const SentinelBackupDate;
// The lines to keep as the last backup of a run that started at runStart: a file
// whose stamp lies in or after the run's starting minute gets the sentinel date, so
// that a change made later within that same minute is still seen as a change.
std::vector<std::string> LinesForLastBackup(const std::vector<std::string>& lines, int64_t runStart);

// One warning line for a file: stored name, "  -  ", then the reason's text.
std::string FormatBackupWarningLine(const std::string& storedName, const std::string& reasonText);

// --- Files ------------------------------------------------------------------------------

// Every line of a text file (CR LF or LF), legacy lines converted. Raises
// platform::FileError when the file cannot be read.
std::vector<std::string> ReadScriptTextLines(const std::string& path);
// The lines, or none when the file does not exist.
std::vector<std::string> ReadScriptTextLinesIfAny(const std::string& path);
// Replaces the file with these lines (CR LF after each) through a temporary file.
void WriteScriptTextLines(const std::string& path, const std::vector<std::string>& lines);

// The per-user scripts folder: "scripts" in the program's data folder
// ($XDG_DATA_HOME/morvelan/scripts, else
// $HOME/.local/share/morvelan/scripts).
std::string DefaultScriptsFolder();

// Outcome of the new-script rules.
enum class TNewScriptResult { nsCreated, nsEmpty, nsForbiddenChar, nsDuplicate };

// The characters a script name must not hold, in the order the message lists them.
extern const char* const ForbiddenScriptNameChars;
// Name field limit, in characters.
constexpr size_t MaxScriptNameLength = 30;

// The scripts of one folder.
class TScriptStore {
public:
    explicit TScriptStore(std::string folder);
    const std::string& Folder() const { return FFolder; }

    std::string ListPath() const;                              // "Morvelan.SRL"
    std::string HeaderPath(const std::string& name) const;     // <name>.srp
    std::string LastBackupPath(const std::string& name) const; // <name>.sra
    std::string WarningsPath(const std::string& name) const;   // <name>.sre

    // The names of the list file whose ".srp" exists, in file order; a missing list
    // file gives none.
    std::vector<std::string> ReadScriptList() const;
    void WriteScriptList(const std::vector<std::string>& names) const;
    // The name of the list that equals name without regard to case, or "".
    std::string FindScript(const std::vector<std::string>& names, const std::string& name) const;

    // The new-script command: the name is cut to the field's 30 characters and trimmed
    // (written back to name); a forbidden character or a name already listed (without
    // regard to case) refuses it; otherwise the name joins the list, the list file is
    // rewritten and <name>.srp is created with the default header.
    TNewScriptResult CreateScript(std::string& name, std::vector<std::string>& names) const;
    // Removes the name from the list, deletes the three files the program made for it
    // (missing ones are no error) and rewrites the list file.
    void DeleteScript(const std::string& name, std::vector<std::string>& names) const;

    // The ".srp" lines of a script, and its header.
    std::vector<std::string> ReadScriptLines(const std::string& name) const;
    TScriptHeader ReadHeader(const std::string& name) const;
    // Rewrites line 1 of the ".srp" and keeps the item lines.
    void WriteHeader(const std::string& name, const TScriptHeader& header) const;

private:
    std::string FFolder;
};

} // namespace mv
