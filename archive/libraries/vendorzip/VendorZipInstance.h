#pragma once
// One instance of the vendor zip library: its settings, its bound receiver and
// the operations. Private to the library; callers use VendorZip.h.
#include "archive/framework/EntryInfo.h"
#include "archive/libraries/vendorzip/VendorZip.h"

#include <array>
#include <string>
#include <vector>

namespace mv {

// The self-extractor settings VzZip writes into the container's settings block.
struct TVzSfxSettings {
    std::string BinaryModule;
    std::array<std::string, 5> Strings;
    std::array<std::string, 13> Messages;
    std::array<std::string, 13> Buttons;
    std::string DefaultUnzipToFolder;
    std::string DefaultPassword;
    int32_t ExistingFileBehavior = 0;
    std::string ProgramGroup;
    std::string ProgramGroupItems;
    std::string ExtensionsToAssociate;
    std::string ReadmeFile;
    std::string ExecuteAfter;
    std::string IconFilename;
    int32_t InstallMode = 0;
};

// A file chosen for adding: where it is read from and the name it is stored under.
struct TVzSource {
    std::string Path;   // as given to the zip writer ("/" at the end for a folder entry)
    std::string Stored; // stored name, "/" between folders
    uint64_t Size = 0;
    bool Folder = false;
};

// An entry of the archive as the lister reports it.
struct TVzEntry {
    std::string Name; // stored name, "/" between folders
    int64_t Size = 0;
    int64_t Packed = 0;
    uint32_t Crc = 0;
    TDateTime Modified = 0;
    uint32_t Attributes = 0;
    bool Encrypted = false;
    bool Folder = false;
};

class TVendorZip {
public:
    explicit TVendorZip(uint32_t handle) : FHandle(handle) {}

    uint32_t Handle() const { return FHandle; }
    bool Busy() const { return FOperation != vzop::Idle; }
    int32_t CurrentOperation() const { return FOperation; }

    // Runs one operation: refuses it while another runs (516), keeps the current
    // operation number, and turns anything thrown into a code (never lets it out).
    int16_t Run(int32_t operation, int16_t (TVendorZip::*body)());

    int16_t List();
    int16_t Preview();
    int16_t Zip();
    int16_t Unzip();
    int16_t Remove();
    int16_t Test();

    // ---- settings (the setters write them directly)
    std::string FZipFilename, FFilesToProcess, FFilesToExclude, FUnzipToFolder, FEncryptionPassword,
        FTempFolder;
    bool FPreservePaths = true;
    bool FProcessSubfolders = true;
    bool FSpanMultipleDisks = true;
    bool FUseTempFile = true;
    bool FZipOpenedFiles = false;
    bool FAbort = false;
    int32_t FCompressionLevel = 6;
    int32_t FExcludedFileAttributes = 24;
    int32_t FSplitSize = 0;
    int32_t FExtraHeaders = 0;
    bool FTestAll = true;
    TVzSfxSettings FSfx;
    TVzReceiver FReceiver;

private:
    // ---- events: the block gets the handle, goes to the receiver, and comes back answered
    template <class Block> void Fire(uint32_t event, Block& block) {
        block.Handle = FHandle;
        if (FReceiver) FReceiver(event, &block);
    }
    // Each returns false when a name does not fit its field (nothing is fired then).
    bool FireName(uint32_t event, const std::string& name);
    bool FireFileBegin(const std::string& name, int64_t size, int16_t percent);
    void FireProgress(int64_t sourceDone, int16_t percent, int64_t outputBytes);
    void FireTotals(int64_t totalBytes, int64_t totalOutput);
    void FireSkipping(const std::string& name, int32_t reason);
    void FireWarning(const std::string& name, int32_t code);

    // The archive's entries through the lister (result code; 0 when listed).
    // `each` answers false to stop the listing; `keep` keeps the entries in `entries`.
    // (Defined and used in the reading operations' file only.)
    template <class Each> int16_t ReadEntries(std::vector<TVzEntry>& entries, Each&& each, bool keep = true);
    int16_t ReadSetEntries(std::vector<TVzEntry>& entries,
                           const std::function<bool(const TArcEntryInfo&)>& each, bool keep);
    // The files to add: the lines to process walked, filtered and named; skipped
    // files reported through event 6. Sets FSkippedForFailure and FDuplicate.
    void SelectSources(std::vector<TVzSource>& sources);
    // The extraction and test run shared by VzUnzip and VzTestZipFile.
    int16_t ReadMembers(bool toFiles);
    int16_t ZipTo(const std::string& target, const std::vector<TVzSource>& sources, int64_t splitSize,
                  bool span);
    int16_t SplitZip(const std::vector<TVzSource>& sources);
    int16_t WriteSelfExtractor(const std::vector<TVzSource>& sources);
    // The result of a finished run from what was noted on the way.
    int16_t Outcome() const;

    uint32_t FHandle;
    int32_t FOperation = vzop::Idle;
    // ---- per-run notes
    int16_t FFirstFailure = 0; // first per-entry failure (107, 106, ...)
    int16_t FCancelCode = 0;   // 517, 518 or 528 once the run is to end
    bool FSkippedForFailure = false;
    bool FDuplicate = false;
};

// An entry as the lister describes it, its name with "/" between folders.
TVzEntry VzEntryOf(const TArcEntryInfo& info);
// The 260-byte field of a name: false (field left empty) when it does not fit with its NUL.
bool PutVzName(char (&field)[VzNameSize], const std::string& text);
// A broken-down local time of a TDateTime (2-second precision of the ZIP format kept).
TVzSystemTime VzSystemTime(TDateTime value);
// A value for a signed 32-bit field: the largest one when it does not fit.
int32_t VzClamp32(int64_t value);
// The lines of a CR-LF (or LF) list, without empty ones.
std::vector<std::string> VzLines(const std::string& text);

} // namespace mv
