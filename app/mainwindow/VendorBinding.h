#pragma once
// The glue between the main window and the vendor zip library: the reset of the
// one instance to the program's defaults before every operation, the texts of
// its result codes, conversions of lists, switches and name fields, and the
// handlers of its events. Each handler first looks at who receives the events
// now (VzReceiverTag: the main window, the self-extractor wizard or the backup
// runner) and does nothing for a receiver it does not serve.
#include "app/mainwindow/ArchiveList.h"
#include "app/mainwindow/MainWindowView.h"
#include "app/mainwindow/PackagerFields.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace mv {

// Puts the instance back to the program's defaults for the named archive: level
// 6, no extra headers, no password, no lists, paths kept, subfolders on, no
// unzip folder, spanning on, no self-extractor settings, no split, folders and
// volume labels excluded, a temporary file in tempFolder, abort off.
void ResetVendorZip(uint32_t instance, const std::string& zipName, const std::string& tempFolder);
// The text of a result code, with " (context)" after it when both are not empty;
// empty for 0, negative codes and the codes that count as success.
std::string VendorErrorText(int code, const std::string& context = {});
// The list's items, each followed by CR-LF, as the files to process (process
// true) or to exclude.
void SetXzFileList(uint32_t instance, const std::vector<std::string>* list, bool process);
int16_t BoolToXz(bool b);
// The text before the first NUL of a 260-byte name field; empty without a NUL.
std::string VzNameToStr(const char* field);

class TVendorZipBinding {
public:
    TVendorZipBinding(TArchiveList& list, TMainWindowView& view);

    // Who receives the events now (the lister's Tag).
    std::function<int()> VzReceiverTag;
    // The open archive's name and whether it is a self-extracting or a split ZIP.
    std::function<std::string()> ArchiveName;
    std::function<bool()> ArchiveIsSelfExtracting;
    std::function<bool()> ArchiveIsMultiVolume;
    TFormSFXFields* Wizard = nullptr;
    TFrmExecutaFields* Runner = nullptr;

    // State of the running operation.
    bool StoredNameHookActive = false;
    bool SpanningActive = false; // the add command writes a split zip
    bool DiskFull = false;       // the runner's target disk is full (reset per run)
    int OverwriteAnswer = 0;     // 0 not asked, 6 yes, 7 no, 5 yes to all, 2 cancel
    int64_t VzTotalBytes = 0;    // total output bytes of the last preview
    // The add dialog's stored-name rule while it is open (receiver 0): the source
    // path in, the name to store out.
    std::function<std::string(const std::string& source)> AddStoredName;

    // A new operation starts: the per-run flags go back to their start.
    void BeginRun();
    // The message handler: one handler per event number; others are ignored.
    void HandleEvent(uint32_t instance, uint32_t event, void* block);

private:
    int Receiver() const { return VzReceiverTag ? VzReceiverTag() : VzReceiverMainWindow; }
    void OnListingFile(const void* block);
    void OnProcessingFile(const void* block);
    void OnStoredName(void* block);
    void OnSkippingOrWarning(const std::string& name, int code);
    void OnRemovingFile(const void* block);
    void OnFileBegin(uint32_t instance, const void* block);
    void OnFileProgress(const void* block);
    void OnGlobalStatus(const void* block);
    void OnInvalidPassword(uint32_t instance, void* block);
    void OnReplacingFile(uint32_t instance, void* block);
    void ShowNameParts(const std::string& name);

    TArchiveList& FList;
    TMainWindowView& FView;
    std::string FLastPassword;
    std::string FLastPasswordEntry;
};

} // namespace mv
