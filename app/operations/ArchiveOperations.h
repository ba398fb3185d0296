#pragma once
// The operations the main window runs on the open archive: extraction (through the
// reader of the archive's type, or the vendor zip library for the ZIP types),
// addition (through the writer of the type or the zip writer component), deletion of
// entries, and what surrounds them: the busy state, the progress window, the
// temporary folders, and the handlers of the engines' events (progress, overwrite,
// password and next-volume questions, errors).
//
// One operation runs at a time. From its start to its end the operations are busy:
// every command refuses to start, and only the progress window's Cancel acts (it
// sets the running engine's cancel flag). Every failure reaches the user as one
// message box with the engine's text.
#include "app/mainwindow/ArchiveList.h"
#include "app/mainwindow/ArchiveOpener.h"
#include "app/mainwindow/MainWindowView.h"
#include "app/operations/OperationPrompts.h"
#include "archive/framework/ArcOptions.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace mv {

class TUnBase;
class TCompBase;
class TZipEngineRunner;

// The message pump the engines' long loops call (at most every 50 ms), so that the
// window repaints and its Cancel can be pressed; empty: nothing is pumped.
void SetEngineMessagePump(std::function<void()> pump);

class TArchiveOperations {
public:
    TArchiveOperations(TMainWindowView& view, TArchiveOpener& opener, TArchiveList& list,
                       TOperationPrompts& prompts);
    ~TArchiveOperations();
    TArchiveOperations(const TArchiveOperations&) = delete;
    TArchiveOperations& operator=(const TArchiveOperations&) = delete;

    // The temporary folder of the options (PastaTemporaria), ending in "/"; a value
    // that is empty or not a folder stands for the system's temporary folder.
    std::string TempFolder;
    // "nnss" of the current time, the start of a temporary extraction folder's name.
    std::function<std::string()> MinutesSeconds;
    // The extract dialog; unset, the extract command does nothing.
    TExtractDialogRunner ExtractDialog;
    // Told when the busy state changes, so that the window disables its commands.
    std::function<void(bool busy)> OnBusyChanged;
    // The folders and files to remove at exit; only what this program made.
    std::vector<std::string> TempCleanupList;

    bool Busy() const { return FBusy; }

    // ---- commands of the main window
    // The extract command: the dialog, then the extraction of the selected entries,
    // of all, or of those matching the mask. False when nothing was extracted
    // (busy, no archive, dialog cancelled, no reader). chosenFolder, when given, takes
    // the folder chosen in the dialog as soon as the user confirms it. Selected
    // entries of a CAB archive are extracted only after the question on solid CAB
    // extraction (69, 70). The status bar shows the totals of all rows afterwards.
    bool ExtractCommand(const std::string& proposedFolder = {}, bool storedFolders = true,
                        std::string* chosenFolder = nullptr);
    // The stored names of the selected entries of the list ("\" between folders).
    std::vector<std::string> SelectedEntryNames() const;

    // ---- the operations
    // Extracts the entries matching specs (masks or names) into target; an empty
    // target is a new temporary folder, answered in tempFolder and kept for removal
    // at exit. overwriteMode 5 replaces existing files without asking, 7 asks.
    // literalNames: specs are entry names, matched exactly (a name holding "*" or
    // "?" selects only itself). Answers whether the extraction ran without error.
    bool ExtractArchive(const std::vector<std::string>& specs, const std::string& target, bool storedFolders,
                        std::string& tempFolder, int overwriteMode, bool literalNames = false);
    // Whether the open archive's type has a reader; a warning (423) when not.
    bool ReaderForArchive();
    // Whether the open archive's type has a writer; a message (48) for a type that
    // can never be written.
    bool CompressorForArchive();
    // Adds the files of specs: through the zip writer component when forced or for
    // ZIP types, else through the writer of the type.
    bool AddToArchive(const std::vector<std::string>& specs, bool recurse, bool forceZipWriter, TSwitch mode,
                      TStoredDirNames storedDirNames);
    // Deletes the named entries from the open archive after the question (40); the
    // list is filled again afterwards.
    bool DeleteFromArchive(const std::vector<std::string>& names);
    // The zip writer component on the open archive, for the next run.
    void PrepareZipEngine();
    // Runs the zip writer component: mode 0 adds, 2 deletes. 0 on success, else
    // 1050 bad zip, 1051 incomplete, 1052 not a zip, 1054 cancelled, -50 other.
    int RunZipEngine(const std::vector<std::string>* list, const std::vector<std::string>* exclusions,
                     bool recurse, int mode, bool multiDisk, bool storePaths);
    // The vendor library adds (or removes, with remove) on the open archive.
    int VendorZipAddOrRemove(const std::vector<std::string>* process, const std::vector<std::string>* exclude,
                             bool subfolders, bool preservePaths, bool spanDisks, bool remove);

    // ---- the progress window's Cancel
    void CancelarBtnClick();
    // Removes the temporary folders and files, last first, as well as it can.
    void RemoveTempFiles();

    TZipEngineRunner& ZipEngine() { return *FZipEngine; }

private:
    class TBusyScope;
    friend class TBusyScope;
    void BeginBusy();
    void EndBusy();
    bool ExtractThroughReader(const std::vector<std::string>& specs, const std::string& target,
                              bool storedFolders, bool literalNames);
    bool ExtractThroughVendor(const std::vector<std::string>& specs, const std::string& target,
                              bool storedFolders);
    std::string NewTempFolder();
    void BindReader(TUnBase& reader);
    void BindWriter(TCompBase& writer);
    void ShowError(const std::string& text);
    std::string OverwriteTitle(int textNumber, const std::string& path) const;
    // The overwrite protocol: answers whether to replace; cancel is set when the
    // operation is to stop.
    bool AskReplace(int textNumber, const std::string& path, int64_t oldSize, TDateTime oldDate,
                    int64_t newSize, TDateTime newDate, bool& cancel);
    void ReaderFileExists(TUnBase& reader, const std::string& path, TDateTime date, TOverwriteMode& mode);
    void AskPassword(const std::string& name, std::string& password, bool& tryAgain);
    void NextVolume(std::string& volumeName, const std::string& volumeID, bool exists, bool& cancel);
    std::unique_ptr<TUnBase> NewReaderForType(TArcType type);
    std::unique_ptr<TCompBase> NewWriterForType(TArcType type, bool& compressible);

    TMainWindowView& FView;
    TArchiveOpener& FOpener;
    TArchiveList& FList;
    TOperationPrompts& FPrompts;
    std::unique_ptr<TZipEngineRunner> FZipEngine;
    bool FBusy = false;
    // The running extraction through a reader: the output paths of the entries
    // chosen by name, and the unpacked size of every entry by its output path.
    bool FLiteral = false;
    std::set<std::string> FChosenOutputs;
    std::vector<std::pair<std::string, int64_t>> FOutputSizes;
    std::unique_ptr<TCompBase> FSelectedCompressor;
    int FLastPercent = 0;
    bool FErrorShown = false;
    bool FCancelled = false;
};

} // namespace mv
