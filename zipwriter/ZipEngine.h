#pragma once
// The zip writer component: TUnzipEngine holds the archive name, the directory
// of the open archive, the common settings and the progress events; TZipEngine
// adds the writing (Zip, DeleteEntries), its deflate engine, traditional
// encryption and spanning over removable disks or numbered block files, with
// TMultiZipInfo holding the spanning settings.
//
// A run writes a complete new archive beside the old one and renames it over
// the old one only when everything was written; kept entries are copied byte
// for byte; on any failure the old archive is left exactly as it was, and every
// failure is an exception of the component's classes (ZipEngineTypes.h).
#include "archive/codecs/Deflate.h"
#include "archive/framework/ZipCrypt.h"
#include "zipwriter/BufferStream.h"
#include "zipwriter/ZipHeader.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace mv {

// Event types (Sender first; reference arguments are written back by the handler).
using TStartZipInfo = std::function<void(TObject* Sender, int NumFiles, int64_t TotalBytes,
                                         TEndCentral& EndCentralRecord, bool& StopNow)>;
using TStartZipEvent =
    std::function<void(TObject* Sender, const std::string& FName, TZipHeaderInfo& ZipHeader, bool& Skip)>;
using TEndZipFileEvent =
    std::function<void(TObject* Sender, const std::string& FName, int64_t UncompressedSize,
                       int64_t CompressedSize, int64_t CurrentZipSize)>;
using TDisposeEvent = std::function<void(TObject* Sender, const std::string& FName, bool& Skip)>;
using TDeleteEvent = std::function<void(TObject* Sender, const std::string& FName, bool& Skip)>;
using TNoSuchFileEvent = std::function<void(TObject* Sender, const std::string& FName)>;
using TZipComplete = std::function<void(TObject* Sender, int FileCount)>;
using TUpdateEvent = std::function<void(TObject* Sender, TUpdateAction UDAction, int FileIndex)>;
using TProcuraPath = std::function<void(TObject* Sender, const std::string& FName, std::string& TmpFileName)>;
using TFilePercentDone = std::function<void(TObject* Sender, int Percent)>;
using TTotalPercentDone = std::function<void(TObject* Sender, int Percent)>;
using TSkippingFile = std::function<void(TObject* Sender, TSkipReason Reason, const std::string& FName,
                                         int FileIndex, bool& Retry)>;
using TGetNextDisk = std::function<void(TObject* Sender, int NextDisk, std::string& FName)>;
using TIncompleteZip = std::function<void(TObject* Sender, TIncompleteZipMode& IncompleteMode)>;
// Declared for extraction; this component never raises them.
using TStartUnzipInfo = std::function<void(TObject* Sender, int NumFiles, int64_t TotalBytes, bool& StopNow)>;
using TStartUnZipEvent = std::function<void(TObject* Sender, int FileIndex, std::string& FName, bool& Skip)>;
using TEndUnZipEvent = std::function<void(TObject* Sender, int FileIndex, const std::string& FName)>;
using TPromptForOverwrite =
    std::function<void(TObject* Sender, bool& OverWriteIt, int FileIndex, std::string& FName)>;
using TBadPassword = std::function<void(TObject* Sender, int FileIndex, std::string& NewPassword)>;
using TBadCRC = std::function<void(TObject* Sender, int CalcCRC, int StoredCRC, int FileIndex)>;
using TUnZipComplete = std::function<void(TObject* Sender, int FileCount)>;

// The user interface the component may need (choosers, the disk prompt, message
// boxes, the message pump). Unassigned, a chooser or prompt answers "cancel",
// a message shows nowhere and the pump does nothing: the component never blocks.
struct TZipEngineUi {
    // Answers the chosen name, or empty for cancel.
    std::function<std::string(const std::string& title, const std::string& filter, const std::string& folder)>
        ChooseFile;
    std::function<std::string(const std::string& start)> ChooseFolder;
    // OK/Cancel box; true for OK.
    std::function<bool(const std::string& caption, const std::string& text)> Confirm;
    std::function<void(const std::string& caption, const std::string& text)> ShowMessage;
    std::function<void()> ProcessMessages;
};

class TMultiZipInfo : public TObject {
public:
    int64_t BlockSize() const { return FBlockSize; }
    void SetBlockSize(int64_t v) { FBlockSize = v; }
    int64_t FirstBlockSize() const { return FFirstBlockSize; }
    void SetFirstBlockSize(int64_t v) { FFirstBlockSize = v; }
    int64_t SaveOnFirstDisk() const { return FSaveOnFirstDisk; }
    void SetSaveOnFirstDisk(int64_t v) { FSaveOnFirstDisk = v; }
    bool SaveZipInfoOnFirstDisk() const { return FSaveZipInfoOnFirstDisk; }
    void SetSaveZipInfoOnFirstDisk(bool v) { FSaveZipInfoOnFirstDisk = v; }
    TMultiMode MultiMode() const { return FMultiMode; }
    void SetMultiMode(TMultiMode v) { FMultiMode = v; }
    bool CheckDiskLabels() const { return FCheckDiskLabels; }
    void SetCheckDiskLabels(bool v) { FCheckDiskLabels = v; }
    bool WriteDiskLabels() const { return FWriteDiskLabels; }
    void SetWriteDiskLabels(bool v) { FWriteDiskLabels = v; }
    void Assign(const TMultiZipInfo& s) { *this = s; }
    TMultiZipInfo() = default;
    TMultiZipInfo(const TMultiZipInfo&) = default;
    TMultiZipInfo& operator=(const TMultiZipInfo&) = default;

private:
    int64_t FBlockSize = 1457600;
    int64_t FFirstBlockSize = 1457600;
    int64_t FSaveOnFirstDisk = 0;
    bool FSaveZipInfoOnFirstDisk = false;
    TMultiMode FMultiMode = TMultiMode::mmNone;
    bool FCheckDiskLabels = true;
    bool FWriteDiskLabels = true;
};

class TUnzipEngine : public TObject {
public:
    TUnzipEngine();
    ~TUnzipEngine() override;
    TUnzipEngine(const TUnzipEngine&) = delete;
    TUnzipEngine& operator=(const TUnzipEngine&) = delete;

    int ThisVersion() const { return 220; }
    const std::string& ZipName() const { return FZipName; }
    virtual void SetZipName(const std::string& name);
    const std::string& DestDir() const { return FDestDir; }
    void SetDestDir(const std::string& dir);
    const std::string& RootDir() const { return FRootDir; }
    void SetRootDir(const std::string& dir);
    TZipSortMode SortMode() const { return FSortMode; }
    void SetSortMode(TZipSortMode mode);
    bool RecreateDirs() const { return FRecreateDirs; }
    void SetRecreateDirs(bool v) { FRecreateDirs = v; }
    TUZOverwriteMode OverwriteMode() const { return FOverwriteMode; }
    void SetOverwriteMode(TUZOverwriteMode v) { FOverwriteMode = v; }
    std::vector<std::string>& FilesList() { return FFilesList; }
    void SetFilesList(const std::vector<std::string>& lines) { FFilesList = lines; }
    bool DoAll() const { return FDoAll; }
    void SetDoAll(bool v) { FDoAll = v; }
    TIncompleteZipMode IncompleteZipMode() const { return FIncompleteZipMode; }
    void SetIncompleteZipMode(TIncompleteZipMode v) { FIncompleteZipMode = v; }
    bool KeepZipOpen() const { return FKeepZipOpen; }
    void SetKeepZipOpen(bool v) { FKeepZipOpen = v; }
    bool DoProcessMessages() const { return FDoProcessMessages; }
    void SetDoProcessMessages(bool v) { FDoProcessMessages = v; }
    bool RetainAttributes() const { return FRetainAttributes; }
    void SetRetainAttributes(bool v) { FRetainAttributes = v; }
    bool ReplaceReadOnly() const { return FReplaceReadOnly; }
    void SetReplaceReadOnly(bool v) { FReplaceReadOnly = v; }
    bool FlushFilesOnClose() const { return FFlushFilesOnClose; }
    void SetFlushFilesOnClose(bool v) { FFlushFilesOnClose = v; }

    virtual bool GetCheckDiskLabels() const { return FCheckDiskLabelsFlag; }
    virtual void SetCheckDiskLabels(bool v) { FCheckDiskLabelsFlag = v; }
    virtual TMultiMode GetMultiMode() const { return FMultiModeFlag; }
    virtual void SetMultiMode(TMultiMode v) { FMultiModeFlag = v; }

    const std::string& Password() const { return FPassword; }
    void SetPassword(const std::string& p) { FPassword = p; }
    uint16_t SourceShareMode() const { return FSourceShareMode; }
    void SetSourceShareMode(uint16_t v) { FSourceShareMode = v; }

    // The directory of the open archive (read on demand), in the current sort order.
    int Count();
    TZipHeaderInfo& Entry(int index);
    // Modification date (unix time) of entry i; an invalid DOS date gives now.
    int64_t GetDateTime(int index);
    int64_t GetUnCompressedSize(int index);
    std::string GetFileComment(int index);
    void SetFileComment(int index, const std::string& text);
    std::string ZipComment();
    void SetZipComment(const std::string& text);
    const TEndCentral& EndCentral() const { return FEndCentral; }
    int NumberOfDisks() const { return FNumberOfDisks; }
    // True when the directory was rebuilt from local headers (listing only).
    bool Rebuilt() const { return FRebuilt; }

    void Assign(const TUnzipEngine& source);
    virtual void Loaded() {}

    // Reads the directory of ZipName when none is held or the file changed.
    void OpenZip();
    void CloseZip();
    void ClearZip();
    void SortEntries(TZipSortMode mode);
    void CancelOperation() { FCancel = true; }

    TZipEngineUi Ui;

    TStartUnzipInfo OnStartUnZipInfo;
    TStartUnZipEvent OnStartUnZip;
    TEndUnZipEvent OnEndUnZip;
    TPromptForOverwrite OnPromptForOverwrite;
    TBadPassword OnBadPassword;
    TBadCRC OnBadCRC;
    TUnZipComplete OnUnZipComplete;
    std::function<void(TObject*, char*&, const std::string&, int, int, bool&)> OnGetNextBuffer;
    TFilePercentDone OnFilePercentDone;
    TTotalPercentDone OnTotalPercentDone;
    TGetNextDisk OnGetNextDisk;
    TIncompleteZip OnInCompleteZip;

protected:
    void ReadZip();
    bool RebuildFromLocalHeaders(TS_BufferStream& stream);
    // While reading a set of parts: asks for part n (1-based) and opens it.
    // Asks for disk n of a spanned set (part n of a block set) until it is there.
    // A disk is known by its "PKBACK# " label when the medium has one, else by
    // its file: it must be there and, when given, fits must accept it (the
    // first disk must begin as a set does). A disk that does not fit is asked
    // for again a few times, then the loading ends as cancelled.
    std::unique_ptr<TLFNFileStream> GetDisk(int n, const std::function<bool(TLFNFileStream&)>& fits = {});
    void BuiltInDiskRequest(int nextDisk, std::string& name);
    // Pumps messages (at most every 50 ms) and raises EUserCanceled when cancelled.
    void Pump(bool force = false);
    void DropDirectory();
    int64_t FileModTime(const std::string& name);
    void CheckIndex(int index);

    std::string FZipName;
    std::string FDestDir;
    std::string FRootDir;
    TZipSortMode FSortMode = TZipSortMode::ByNone;
    bool FRecreateDirs = false;
    TUZOverwriteMode FOverwriteMode = TUZOverwriteMode::Prompt;
    std::vector<std::string> FFilesList;
    bool FDoAll = false;
    TIncompleteZipMode FIncompleteZipMode = TIncompleteZipMode::izAssumeMulti;
    bool FKeepZipOpen = false;
    bool FDoProcessMessages = true;
    bool FRetainAttributes = true;
    bool FReplaceReadOnly = false;
    bool FFlushFilesOnClose = false;
    bool FCheckDiskLabelsFlag = true;
    TMultiMode FMultiModeFlag = TMultiMode::mmNone;
    std::string FPassword;
    uint16_t FSourceShareMode = 32;

    // The directory: the physical list (owning, disk then offset) and the
    // current sorted list (the physical one for ByNone).
    std::unique_ptr<TSortedZip> FPhysical;
    std::unique_ptr<TSortedZip> FSorted;
    TSortedZip* FCurrentList = nullptr;
    TEndCentral FEndCentral;
    std::unique_ptr<TLFNFileStream> FArchive;
    bool FHaveDirectory = false;
    int64_t FArchiveDate = 0;
    uint64_t FArchiveSize = 0;
    int FCurrentDisk = 0;
    int FNumberOfDisks = 1;
    bool FRebuilt = false;
    bool FUsedZfc = false;
    bool FCancel = false;
    uint64_t FLastPump = 0;
    bool FBusy = false;
};

class TZipEngine : public TUnzipEngine {
public:
    TZipEngine();
    ~TZipEngine() override;

    void SetZipName(const std::string& name) override;
    bool GetCheckDiskLabels() const override { return FMultiZipInfo.CheckDiskLabels(); }
    void SetCheckDiskLabels(bool v) override {
        FMultiZipInfo.SetCheckDiskLabels(v);
        TUnzipEngine::SetCheckDiskLabels(v);
    }
    TMultiMode GetMultiMode() const override { return FMultiZipInfo.MultiMode(); }
    void SetMultiMode(TMultiMode v) override {
        FMultiZipInfo.SetMultiMode(v);
        TUnzipEngine::SetMultiMode(v);
    }

    int PackLevel() const { return FPackLevel; }
    // Values outside 0..9 are clamped.
    void SetPackLevel(int level) { FPackLevel = level < 0 ? 0 : (level > 9 ? 9 : level); }
    bool Recurse() const { return FRecurse; }
    void SetRecurse(bool v) { FRecurse = v; }
    bool Dispose() const { return FDispose; }
    void SetDispose(bool v) { FDispose = v; }
    bool StorePaths() const { return FStorePaths; }
    void SetStorePaths(bool v);
    bool RelativePaths() const { return FRelativePaths; }
    void SetRelativePaths(bool v);
    bool StoreVolumes() const { return FStoreVolumes; }
    void SetStoreVolumes(bool v);
    TZipAction ZipAction() const { return FZipAction; }
    void SetZipAction(TZipAction v) { FZipAction = v; }
    TMultiZipInfo& MultiZipInfo() { return FMultiZipInfo; }
    void SetMultiZipInfo(const TMultiZipInfo& v) { FMultiZipInfo.Assign(v); }
    bool Store83Names() const { return FStore83Names; }
    void SetStore83Names(bool v) { FStore83Names = v; }
    const std::string& TempPath() const { return FTempPath; }
    void SetTempPath(const std::string& v) { FTempPath = v; }
    bool SkipIfArchiveBitNotSet() const { return FSkipIfArchiveBitNotSet; }
    void SetSkipIfArchiveBitNotSet(bool v) { FSkipIfArchiveBitNotSet = v; }
    bool ResetArchiveBitOnZip() const { return FResetArchiveBitOnZip; }
    void SetResetArchiveBitOnZip(bool v) { FResetArchiveBitOnZip = v; }
    std::vector<std::string>& ExcludeList() { return FExcludeList; }
    void SetExcludeList(const std::vector<std::string>& v) { FExcludeList = v; }
    std::vector<std::string>& NoCompressList() { return FNoCompressList; }
    void SetNoCompressList(const std::vector<std::string>& v) { FNoCompressList = v; }
    bool AddDirEntriesOnRecurse() const { return FAddDirEntriesOnRecurse; }
    void SetAddDirEntriesOnRecurse(bool v) { FAddDirEntriesOnRecurse = v; }

    void Assign(const TZipEngine& source);
    void Loaded() override;

    // Adds (or updates, freshens) the files of FilesList; answers the number added.
    int Zip();
    // Removes the entries named or matched by FilesList.
    void DeleteEntries();

    // The ten random bytes of an encryption header; replaceable for tests.
    std::function<void(uint8_t* bytes, size_t count)> RandomBytes;

    TStartZipInfo OnStartZipInfo;
    TStartZipEvent OnStartZip;
    TEndZipFileEvent OnEndZip;
    TDisposeEvent OnDisposeFile;
    TDeleteEvent OnDeleteEntry;
    TNoSuchFileEvent OnNoSuchFile;
    TZipComplete OnZipComplete;
    TUpdateEvent OnUpdate;
    TProcuraPath OnProcuraPath;
    TSkippingFile OnSkippingFile;

private:
    struct TRun;
    friend struct TRun;
    int ProcessFiles();

    int FPackLevel = 6;
    bool FRecurse = false;
    bool FDispose = false;
    bool FStorePaths = false;
    bool FRelativePaths = false;
    bool FStoreVolumes = false;
    TZipAction FZipAction = TZipAction::zaUpdate;
    TMultiZipInfo FMultiZipInfo;
    bool FStore83Names = false;
    std::string FTempPath;
    bool FSkipIfArchiveBitNotSet = false;
    bool FResetArchiveBitOnZip = false;
    std::vector<std::string> FExcludeList;
    std::vector<std::string> FNoCompressList;
    bool FAddDirEntriesOnRecurse = false;
    bool FDeleteMode = false;
    std::unique_ptr<TDeflateEncoder> FDeflater;
};

} // namespace mv
