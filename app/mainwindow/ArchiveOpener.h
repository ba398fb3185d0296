#pragma once
// Which archive is open, and the filling of the archive list from it: open,
// reopen from the history, close, refresh, the file specification, the listing
// routine every command calls, the enabling of the commands by archive type and
// the caption. ZIP types are listed through the vendor zip library, every other
// type through the lister; both fill the same rows.
//
// Failures reach the user as one message box each: a missing file ("Arquivo não
// encontrado"), a file that cannot be opened ("Erro na abertura do arquivo"), a
// file of no known archive format ("Formato de arquivo desconhecido ou não
// suportado."), and a damaged archive (the lister's error text, or the vendor
// library's result text with "lendo o conteúdo do arquivo" as context). The list
// then shows what could be read, and the window stays usable.
//
// A listing shows its first screen of rows while it runs: the rows received so far
// reach the list view at the first screenful and then a few times a second, with
// the window's events pumped, in the archive's order; the sort, the column widths
// and the totals follow when the listing ends. What the user asks for meanwhile
// (close, open another archive, refresh, a new file specification) stops the
// listing and runs once it has returned; sorting waits for the end of the listing.
#include "app/mainwindow/ArchiveList.h"
#include "app/mainwindow/MainWindowView.h"
#include "app/mainwindow/VendorBinding.h"
#include "app/settings/ReopenList.h"
#include "archive/framework/ArcType.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace mv {

class TArcLister;

// The caption's program name and version.
constexpr const char* MainCaptionPrefix = "Morvelan 3.0.016 - ";

class TArchiveOpener {
public:
    TArchiveOpener(TMainWindowView& view, TArchiveList& list, TReopenList& history);
    ~TArchiveOpener();
    TArchiveOpener(const TArchiveOpener&) = delete;
    TArchiveOpener& operator=(const TArchiveOpener&) = delete;

    TArcLister& Lister() { return *FLister; }
    TVendorZipBinding& Vendor() { return FVendor; }
    uint32_t VzInstance() const { return FVzInstance; }
    const std::string& ArchiveFile() const;
    TArcType ArcType() const;
    const std::string& FileSpecText() const { return FFileSpecText; }

    // Options this part follows: the temporary folder handed to the vendor
    // library, and whether columns are sized to their texts after a listing
    // (LarguraColuna 0).
    std::string TempFolder;
    bool AutoSizeColumns = true;
    // Display names of the archive types (the status bar's first panel).
    std::function<std::string(TArcType)> TypeName;

    // A file chosen to open (dialog, command line, drop): specification "*",
    // listed, commands enabled. A file that does not exist is reported and
    // changes nothing. False when nothing was opened.
    bool OpenArchive(const std::string& path);
    // An entry of the reopen menu: the open archive is closed first (also when it
    // is the same one), then the entry is opened. A vanished archive is reported;
    // its history entry stays.
    bool ReopenArchive(const std::string& path);
    // Close: no archive, empty list, totals of no rows, specification "*", commands for no archive.
    void CloseArchive();
    // Refresh and every command that changes the archive: fills the list again.
    void List();
    // Commands by archive type, and the caption.
    void EnableMenus();
    // OK of the file-type prompt: a non-empty trimmed text becomes the
    // specification; the open archive is listed again.
    void SetFileSpec(const std::string& text);

    // The list view's "sort finished" (a header click, or the end of a listing).
    void SortFinished(int column, bool ascending);
    // The status bar: totals of the selected rows (when some are selected and
    // selectedOnly) or of all rows.
    void DisplayTotals(bool selectedOnly);
    // A click on the status bar: nothing selected, totals of all rows.
    void StatusBarClick();

    // True while a listing fills the archive list.
    bool Listing() const { return FListing; }

    // The caption for the open archive.
    std::string Caption() const;
    // What the commands may do with the open archive's type.
    static TCommandState CommandStateFor(TArcType type);

private:
    void ListerActivate();
    void ListerDeactivate();
    void ListerRead();
    void ShowError(const std::string& text, uint8_t kind);
    // The list grew to rowCount rows while a listing runs: publishes them and
    // pumps the window's events when it is time; answers the count of the next call.
    int RowsGrown(int rowCount);
    // A request made while a listing runs: the listing is stopped and the request
    // kept to run when it returns (the last one wins). False when no listing runs.
    bool DeferWhileListing(std::function<void()> request);
    void VendorEvent(uint32_t event, void* block);

    TMainWindowView& FView;
    TArchiveList& FList;
    TReopenList& FHistory;
    std::unique_ptr<TArcLister> FLister;
    TVendorZipBinding FVendor;
    uint32_t FVzInstance = 0;
    std::string FFileSpecText = "*";
    int FListerError = 0;
    bool FListing = false;          // List() runs
    bool FListingStopped = false;   // and was asked to stop
    std::function<void()> FPending; // what was asked for meanwhile
    std::chrono::steady_clock::time_point FLastPublished;
};

} // namespace mv
