#pragma once
// One run of the search form: walks the chosen folder (or the chosen names in it) with
// a tree scanner, searches every file it finds with one TArcSearch component, and
// reports the files that match with their matching members. It keeps the run's totals
// (files inspected, bytes, seconds) and stops at once when cancelled: the walk ends,
// the running archive's search is cancelled and no further file is opened.
//
// It knows nothing of widgets: the form hands in its status line, its message pump
// and its password question. (The engine stays out of this header: its event types
// and the form library's share names.)

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace mv {

class TArcSearch;
class TTreeScanner;

// What to search and where.
struct TSearchRequest {
    std::string Folder;             // the folder the list shows; empty: nothing to search
    std::vector<std::string> Names; // selected names in it (empty: the whole folder)
    std::vector<bool> NameIsFolder; // per name: a folder is searched as a whole
    bool Subfolders = true;
    bool ArchivesOnly = true;
    bool CaseSensitive = false;
    int Mode = 0; // 0 ASCII, 1 binary, 2 decimal, 3 hexadecimal, 4 octal
    std::string Text;
};

// A file that matched: its full name and its matching members (none for a plain file).
struct TSearchHit {
    std::string File;
    std::vector<std::string> Members;
};

// The run's totals.
struct TSearchTotals {
    int FilesInspected = 0; // finished file searches that covered at least one member or file
    int64_t Bytes = 0;      // per file the larger of its size and the bytes searched
    double Seconds = 0;     // the engine's elapsed-time reports added up
};

// The extensions the archives-only choice searches (upper case, with the dot).
bool HasArchiveExtension(const std::string& fileName);

class TSearchRun {
public:
    TSearchRun();
    ~TSearchRun();
    TSearchRun(const TSearchRun&) = delete;
    TSearchRun& operator=(const TSearchRun&) = delete;

    // The status line: text 176 at the start, 180 + file + " --> " + member per member.
    std::function<void(const std::string& text)> OnStatus;
    // A matching file, reported as soon as its search ends.
    std::function<void(const TSearchHit& hit)> OnHit;
    // Lets the user interface run (a Cancel click arrives through it).
    std::function<void()> ProcessMessages;
    // Asks the password of an encrypted member; false when the user cancelled.
    std::function<bool(const std::string& member, std::string& password)> AskPassword;

    // Runs the whole search; returns when it is done or cancelled.
    void Execute(const TSearchRequest& request);
    // Stops a running search (from an event handler run by the pump).
    void Cancel();
    bool Running() const { return FRunning; }
    bool Cancelled() const { return FCancelled; }
    const TSearchTotals& Totals() const { return FTotals; }
    // The search component (its settings persist between runs: the text, passwords).
    TArcSearch& Component() { return *FSearch; }
    // The text of the last search.
    std::string SearchText() const;

private:
    void SearchFile(const std::string& path, int64_t size, bool archivesOnly);
    void Walk(const std::string& folder, const std::string& mask, bool recursive, bool archivesOnly);

    std::unique_ptr<TArcSearch> FSearch;
    TTreeScanner* FScanner = nullptr; // the walk under way, or null
    std::set<std::string> FSearched;  // each file is searched once per run
    TSearchTotals FTotals;
    int64_t FCurrentSize = 0;
    bool FRunning = false;
    bool FCancelled = false;
};

// The summary box's text: 177 + count, a line break, 178 + kilobytes
// ("#,###,###,###,###"), two line breaks, 179 + seconds ("##0") + "s".
std::string SearchSummaryText(const TSearchTotals& totals);

} // namespace mv
