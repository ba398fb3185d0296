#pragma once
// What a run of a backup script would take, without writing anything: the files it
// would copy, which of them are new or changed since the last backup, and the files
// its exclude items hold back. The scan is the runner's (ScanScriptItems) and the
// classification is the runner's (BuildBackupLists), so the analysis shows exactly
// what a run would do.
//
// Each view keeps structured rows and sorts them by their values: sizes compare as
// 64-bit numbers (a 1.5 GB file sorts after a 999 MB one) and names may hold ";".
#include "app/scripts/BackupLists.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace mv {

class TTreeScanner;

// One file found by the scan.
struct TAnalysisFile {
    std::string Path;
    uint64_t Size = 0;
    int64_t ModTime = 0;
    // Whether the file can be opened for reading: -1 not known yet (asked when its row
    // is first shown), 0 no (the date column shows string 192 "Arquivo Aberto  "), 1 yes.
    int8_t Readable = -1;
    std::string Line; // its BackupFileLine
};

// Columns of the views.
enum class TAnalysisColumn { acName, acExtension, acSize, acDate, acFolder };

// One row as the views show it.
struct TAnalysisRow {
    int ImageIndex = 0;
    std::string Name;      // the file name, without a three-letter extension
    std::string Extension; // ".ext" in lower case
    uint64_t Size = 0;
    int64_t ModTime = 0;
    mutable int8_t Readable = -1; // as TAnalysisFile's; settled when the date is shown
    std::string Folder;           // with its final "/"
    std::string Path;
};

// The name and extension columns of a file name.
std::string AnalysisNameOf(const std::string& fileName);
std::string AnalysisExtensionOf(const std::string& fileName);

// One view: its rows, its columns and its order. Item i of the view is row Order()[i]
// when ascending, the mirror when descending (a second sort by the same column
// reverses the order without sorting again).
class TAnalysisView {
public:
    void Clear();
    void AddRow(TAnalysisRow row);
    int Count() const { return static_cast<int>(FRows.size()); }
    const std::vector<TAnalysisColumn>& Columns() const { return FColumns; }
    void SetColumns(std::vector<TAnalysisColumn> columns) { FColumns = std::move(columns); }

    // Sorts by the view column (an index into Columns()).
    void Sort(int column, bool ascending);
    int SortColumn() const { return FSortColumn; }
    bool Ascending() const { return FAscending; }
    // The row shown as view item i.
    const TAnalysisRow& Item(int index) const;
    // The text of view item i in view column c: name, extension, size "#,###,###",
    // date "dd/mm/yyyy hh:nn" (or string 192), folder; empty outside the columns.
    std::string CellText(int index, int column) const;
    // The widest text of each view column over all rows (for the column widths); a
    // date whose file was not opened yet counts as a date.
    std::vector<std::string> WidestTexts() const;

private:
    std::vector<TAnalysisRow> FRows;
    std::vector<TAnalysisColumn> FColumns;
    std::vector<int> FOrder;
    bool FSorted = false;
    int FSortColumn = 0;
    bool FAscending = true;
};

class TBackupAnalysis {
public:
    TBackupAnalysis();

    // The last backup: the lines of the script's ".sra" (a missing file: none).
    void SetLastBackup(const std::vector<std::string>& lines);
    // Scans the script's items (lines 1.. of its ".srp") and classifies the files.
    // progress(done, total) runs between items; the scanner's ProcessMessages pumps.
    void Analyse(const std::vector<std::string>& scriptLines, TTreeScanner& scanner,
                 const std::function<void(int done, int total)>& progress = {});
    // The classification of files already scanned.
    void Classify(const std::vector<TAnalysisFile>& found, const std::vector<TAnalysisFile>& excluded);

    // The shell's small-icon index of an extension (unset: 0).
    std::function<int(const std::string& extension)> IconOf;

    TAnalysisView& Copied() { return FCopied; }
    TAnalysisView& New() { return FNew; }
    TAnalysisView& Changed() { return FChanged; }
    TAnalysisView& Excluded() { return FExcluded; }
    uint64_t CopiedBytes() const { return FCopiedBytes; }
    uint64_t ExcludedBytes() const { return FExcludedBytes; }
    const TBackupLists& Lists() const { return FLists; }

    // "<n> arquivos, <K>K" of a view and its bytes (BackupLabel, ExcludedLabel).
    static std::string TotalsText(int count, uint64_t bytes);

private:
    static std::string TrimLine(const std::string& line);
    TAnalysisRow RowOf(const TAnalysisFile& file) const;

    std::vector<std::string> FLastLines;
    TAnalysisView FCopied, FNew, FChanged, FExcluded;
    uint64_t FCopiedBytes = 0, FExcludedBytes = 0;
    TBackupLists FLists;
};

} // namespace mv
