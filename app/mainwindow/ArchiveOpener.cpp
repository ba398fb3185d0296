#include "app/mainwindow/ArchiveOpener.h"

#include "app/common/LangStr.h"
#include "app/common/MessageBox.h"
#include "app/common/StrUtils.h"
#include "app/mainwindow/ArchiveRows.h"
#include "archive/framework/ArcErrors.h"
#include "archive/libraries/vendorzip/VendorZip.h"
#include "archive/lister/ArcLister.h"

#include <filesystem>
#include <utility>

namespace mv {

namespace {

bool IsZipFamily(TArcType t) {
    return t == TArcType::atZip || t == TArcType::atZipExe || t == TArcType::atZipMV;
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::exists(path, ec);
}

// Rows published at once: more than any window shows, so the first screen is full.
constexpr int FirstScreenRows = 200;
// Rows between two looks at the clock while a listing runs (a few milliseconds).
constexpr int RowsBetweenLooks = 4096;
// How often a running listing publishes its rows and pumps the window's events.
constexpr auto PublishInterval = std::chrono::milliseconds(100);

} // namespace

TArchiveOpener::TArchiveOpener(TMainWindowView& view, TArchiveList& list, TReopenList& history)
    : FView(view), FList(list), FHistory(history), FLister(std::make_unique<TArcLister>()),
      FVendor(list, view) {
    FLister->SetFileSpec({"*"});
    FLister->OnActivate = [this](TObject*) { ListerActivate(); };
    FLister->OnDeactivate = [this](TObject*) { ListerDeactivate(); };
    FLister->OnRead = [this](TObject*, int64_t, int) { ListerRead(); };
    FLister->OnError = [this](TObject*, const std::string&, const std::string&, const std::string&,
                              int code) {
        if (!FListerError) FListerError = code;
    };
    FVendor.VzReceiverTag = [this] { return FLister->Tag(); };
    FVendor.ArchiveName = [this] { return FLister->ArchiveFile(); };
    FVendor.ArchiveIsSelfExtracting = [this] { return FLister->ArcType() == TArcType::atZipExe; };
    FVendor.ArchiveIsMultiVolume = [this] { return FLister->ArcType() == TArcType::atZipMV; };
    VendorZipInitDLL();
    FVzInstance = VzCreateVendorZipA();
    VzSetVendorZipWindow(FVzInstance, [this](uint32_t event, void* block) { VendorEvent(event, block); });
    // No archive, no rows: the list starts empty (no blank row to select).
    FView.SetVirtualItemCount(0);
}

TArchiveOpener::~TArchiveOpener() {
    VzSetVendorZipWindow(FVzInstance, {});
    VzDestroyVendorZip(FVzInstance);
}

const std::string& TArchiveOpener::ArchiveFile() const {
    return FLister->ArchiveFile();
}

TArcType TArchiveOpener::ArcType() const {
    return FLister->ArcType();
}

void TArchiveOpener::VendorEvent(uint32_t event, void* block) {
    FVendor.HandleEvent(FVzInstance, event, block);
}

void TArchiveOpener::ShowError(const std::string& text, uint8_t kind) {
    if (!text.empty()) FView.ShowMessage(text, kind, mbOKOnly);
}

// ---- the listing ---------------------------------------------------------------------

void TArchiveOpener::ListerActivate() {
    if (FLister->Tag() != VzReceiverMainWindow) return;
    FView.SetBusyCursor(true);
    FView.SetStatusText(LoadLangStr(62));
    FList.ClearList();
    FView.SetVirtualItemCount(0);
    FLastPublished = std::chrono::steady_clock::now();
    FList.BeginFill([this](int rowCount) { return RowsGrown(rowCount); }, FirstScreenRows);
}

void TArchiveOpener::ListerDeactivate() {
    if (FLister->Tag() != VzReceiverMainWindow) return;
    FList.EndFill();
    FView.SetBusyCursor(false);
    FView.ShowProgressWindow(false);
    if (FListingStopped) {
        // Stopped for what the user asked meanwhile: no part of this archive stays.
        FList.ClearList();
        FView.ClearSelection();
        FView.SetVirtualItemCount(0);
    } else {
        // The current sort applied again: the key list of its column is sorted and
        // the row count reaches the list view.
        SortFinished(FView.CurrentSortColumn(), FView.CurrentSortAscending());
        if (AutoSizeColumns) FView.AutoSizeColumns();
    }
    FView.SetStatusText("");
}

int TArchiveOpener::RowsGrown(int rowCount) {
    const auto now = std::chrono::steady_clock::now();
    if (rowCount == FirstScreenRows || now - FLastPublished >= PublishInterval) {
        FLastPublished = now;
        if (!FListingStopped) FView.SetVirtualItemCount(rowCount);
        FView.ProcessMessages();
    }
    return rowCount + RowsBetweenLooks;
}

bool TArchiveOpener::DeferWhileListing(std::function<void()> request) {
    if (!FListing) return false;
    FPending = std::move(request);
    FListingStopped = true;
    FLister->SetCancel(true);
    VzSetAbort(FVzInstance, 1);
    return true;
}

void TArchiveOpener::ListerRead() {
    const TArcEntryInfo& e = FLister->EntryInfo();
    switch (FLister->Tag()) {
    case VzReceiverMainWindow: {
        std::string attributes;
        FLister->AttrToText(e.ExternalAttr, ' ', attributes);
        FList.AddRow(RowFromEntry(e, attributes));
        break;
    }
    case VzReceiverWizard:
        if (TFormSFXFields* w = FVendor.Wizard) {
            const std::string line = LoadLangStr(500) + "\\" + e.FileName;
            w->ArquivosLb.push_back(line);
            w->ArquivoTextoEdit.push_back(line);
            w->AplicacaoEdit.push_back(line);
            w->ParametrosEdit.push_back(line);
        }
        break;
    default:
        break;
    }
}

void TArchiveOpener::List() {
    if (DeferWhileListing([this] { List(); })) return;
    const TArcType type = FLister->ArcType();
    std::string error;
    uint8_t errorKind = mkError;
    FListing = true;
    FListingStopped = false;
    struct TListingEnd {
        bool& listing;
        ~TListingEnd() { listing = false; }
    } listingEnd{FListing};
    // While the listing pumps the window's events only Close stays enabled.
    FView.EnableCommands({false, false, true});
    FView.BeginListUpdate();
    if (IsZipFamily(type)) {
        ListerActivate();
        ResetVendorZip(FVzInstance, FLister->ArchiveFile(), TempFolder);
        FVendor.BeginRun();
        const int code = VzListZipContents(FVzInstance);
        error = code == vzr::NotAZip ? LoadLangStr(44) : VendorErrorText(code, LoadLangStr(43));
        ListerDeactivate();
    } else {
        FList.ClearList();
        if (type == TArcType::atNA || type == TArcType::atFileOpenErr || type == TArcType::atUnknown) {
            // Not listed; the count still reaches the list view, so no rows of the
            // last archive stay behind. Say why nothing is listed.
            SortFinished(FView.CurrentSortColumn(), FView.CurrentSortAscending());
            if (!FLister->ArchiveFile().empty()) {
                if (!FileExists(FLister->ArchiveFile())) {
                    error = ArcErrorMessage(arcerr::FileNotFound);
                    errorKind = mkInformation;
                } else if (type == TArcType::atFileOpenErr) {
                    error = ArcErrorMessage(arcerr::OpenError);
                } else {
                    error = LoadLangStr(44);
                }
            }
        } else {
            FListerError = 0;
            FLister->ClearLastError();
            FLister->Activate();
            // An error that cut the listing short, also when the entries before it were listed.
            const int code = FListerError ? FListerError : FLister->LastError();
            if (code) error = ArcErrorMessage(code);
        }
    }
    FView.EndListUpdate();
    FListing = false;
    FView.EnableCommands(CommandStateFor(FLister->ArcType()));
    if (FListingStopped) {
        // What the user asked for while the listing ran runs now, in its place.
        FListingStopped = false;
        FLister->SetCancel(false);
        VzSetAbort(FVzInstance, 0);
        DisplayTotals(false);
        if (auto request = std::exchange(FPending, nullptr)) request();
        return;
    }
    DisplayTotals(false);
    FHistory.UpdateReopenList(FLister->ArchiveFile());
    ShowError(error, errorKind);
}

// ---- commands -----------------------------------------------------------------------

TCommandState TArchiveOpener::CommandStateFor(TArcType type) {
    TCommandState s;
    s.CanAdd = IsCompressibleArcType(type);
    s.CanExtract = IsDecompressibleArcType(type);
    if (type == TArcType::atCab) s.CanAdd = false;
    if (type == TArcType::atZipExe) s.CanAdd = true;
    if (type == TArcType::atZipMV) s.CanExtract = true;
    s.CanClose = s.CanAdd || s.CanExtract;
    return s;
}

std::string TArchiveOpener::Caption() const {
    std::string caption = MainCaptionPrefix;
    if (IsValidArcType(FLister->ArcType()) && !FLister->ArchiveFile().empty())
        caption += FLister->ArchiveFile() + " (" + FFileSpecText + ")";
    return caption;
}

void TArchiveOpener::EnableMenus() {
    FView.EnableCommands(CommandStateFor(FLister->ArcType()));
    FView.SetCaption(Caption());
    FHistory.UpdateReopenList(FLister->ArchiveFile());
}

bool TArchiveOpener::OpenArchive(const std::string& path) {
    if (!FileExists(path)) {
        ShowError(ArcErrorMessage(arcerr::FileNotFound) + "\n" + path, mkInformation);
        return false;
    }
    if (DeferWhileListing([this, path] { OpenArchive(path); })) return true;
    FFileSpecText = "*";
    FLister->SetFileSpec({FFileSpecText});
    FLister->SetArchiveFile(path);
    List();
    EnableMenus();
    return true;
}

bool TArchiveOpener::ReopenArchive(const std::string& path) {
    if (DeferWhileListing([this, path] { ReopenArchive(path); })) return true;
    CloseArchive();
    return OpenArchive(path);
}

void TArchiveOpener::CloseArchive() {
    if (DeferWhileListing([this] { CloseArchive(); })) return;
    FLister->SetArchiveFile("");
    FList.ClearList();
    FView.ClearSelection();
    FView.SetVirtualItemCount(0);
    // The status bar counts no rows any more (it kept the closed archive's totals).
    DisplayTotals(false);
    FFileSpecText = "*";
    FLister->SetFileSpec({FFileSpecText});
    EnableMenus();
}

void TArchiveOpener::SetFileSpec(const std::string& text) {
    if (DeferWhileListing([this, text] { SetFileSpec(text); })) return;
    const std::string trimmed = TrimText(text);
    if (!trimmed.empty()) FFileSpecText = trimmed;
    FLister->SetFileSpec({FFileSpecText});
    if (!FLister->ArchiveFile().empty()) {
        List();
        EnableMenus();
    }
}

// ---- sorting and totals -----------------------------------------------------------------

void TArchiveOpener::SortFinished(int column, bool ascending) {
    const int count = FList.SortFinished(column, ascending);
    FView.SetVirtualItemCount(count);
    if (!FView.SelectedItems().empty()) {
        FView.ClearSelection();
        DisplayTotals(false);
    }
}

void TArchiveOpener::DisplayTotals(bool selectedOnly) {
    // The totals come when the listing ends, never of the rows received so far.
    if (FListing) return;
    std::vector<int> items;
    if (selectedOnly) items = FView.SelectedItems();
    const TListTotals totals = FList.Totals(items);
    std::string typeName;
    if (totals.Count >= 1) {
        // A plain ZIP is detected again: it may have become self-extracting or split.
        if (FLister->ArcType() == TArcType::atZip) FLister->SetArchiveFile(FLister->ArchiveFile());
        typeName = TypeName ? TypeName(FLister->ArcType()) : ArcTypeName(FLister->ArcType());
    }
    FView.SetStatusPanels(TotalsPanels(totals, typeName));
}

void TArchiveOpener::StatusBarClick() {
    FView.ClearSelection();
    DisplayTotals(false);
}

} // namespace mv
