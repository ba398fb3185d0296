#pragma once
// One run of a backup script: scan its items, decide what goes into the archive
// against the last backup, write (whole, updated or self-extracting), list the
// result to count it, optionally test it, and hand the run record back.
//
// The archive is written by the zip writer; listing, testing and self-extractors go
// through the vendor library's calls (TBackupVendor). The run never blocks on a
// question of its own: what it would ask goes through the hooks below, which answer
// "go on" when unassigned (the unattended run).
//
// A whole (non-update) run writes the new archive beside the old one and renames it
// over the old one only when it is complete: a failed or cancelled run keeps the
// previous backup. Only a multi-volume run, which must start on an empty medium,
// removes the old archive first.
#include "app/scripts/BackupLists.h"
#include "app/scripts/BackupVendor.h"
#include "app/scripts/ScriptFiles.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace mv {

class TZipEngine;

struct TBackupOptions {
    bool SelfExtracting = false;
    bool MultiVolume = false; // volume mode index 0
    bool UpdateOnly = false;
    bool ClearDisk = false;
};

// The run record the manager reads after the run.
struct TRunRecord {
    int Status = rsNeverRun;
    int TestStatus = tsNotTested;
    int Warnings = 0;
    int Result = 0;
    uint64_t TotalSize = 0;
    uint64_t PackedSize = 0;
    int64_t Files = 0;
    int Disks = 1;
    int64_t ElapsedSeconds = 0;
    uint64_t FreeK = 0;
    bool Cancelled = false;
    bool Testing = false;
    bool UpdateMode = false;
    // The previous archive was removed before writing (multi-volume, cleared disk).
    bool OldArchiveRemoved = false;
    // Codes handed to the manager for its run-level warning lines (0: none).
    int ZipResultCode = 0;
    int TestResultCode = 0;
    // Set when the archive reached the free space measured at the start of the run.
    bool DiskFull = false;
    std::string ArchiveWritten;
};

class TBackupRunner {
public:
    TBackupRunner(TZipEngine& engine, TBackupVendor& vendor);
    ~TBackupRunner();
    TBackupRunner(const TBackupRunner&) = delete;
    TBackupRunner& operator=(const TBackupRunner&) = delete;

    // The script's ".srp" lines (header at line 0).
    TArquivosLb& ScriptLines() { return FScriptLines; }
    // The script's ".sra" (the last backup); a missing file reads as empty.
    const std::string& LastBackupFile() const { return FLastBackupFile; }
    void SetLastBackupFile(const std::string& v) { FLastBackupFile = v; }
    const std::string& ArquivoZip() const { return FArquivoZip; }
    void SetArquivoZip(const std::string& v) { FArquivoZip = v; }
    TBackupOptions& Options() { return FOptions; }
    bool TestWanted() const { return FTestWanted; }
    void SetTestWanted(bool v) { FTestWanted = v; }
    // Owned by the manager; filled here.
    void SetWarningsList(std::vector<std::string>* list) { FWarnings = list; }

    const TRunRecord& Record() const { return FRecord; }
    const TBackupLists& Lists() const { return FLists; }
    // The lines the manager writes as the new ".sra".
    const std::vector<std::string>& ToZipLines() const { return FLists.ToZipLines; }
    bool Running() const { return FRunning; }
    const std::string& StatusText() const { return FStatusText; }

    // The archive name rule: an empty name becomes "Backup.zip" in the user's Backups
    // folder; the extension becomes ".run" for a self-extracting backup, else ".zip".
    static std::string ArquivoZipEditExit(const std::string& name, bool selfExtracting);

    // The whole run (the Start button).
    void Run();
    // Stops a running run (after the user confirmed): the engines are asked to stop.
    void Cancel();

    // Hooks. OnStatus: the status line; OnProgress: file being processed and percent;
    // ProcessMessages: the message pump; OnError: an error box of the interactive run
    // (unassigned: recorded as a warning line instead).
    std::function<void(const std::string& text)> OnStatus;
    std::function<void(const std::string& file, int percent)> OnProgress;
    std::function<void()> ProcessMessages;
    std::function<void(const std::string& text)> OnError;
    // Current time (unix seconds); replaceable for tests.
    std::function<int64_t()> Now;

private:
    void DoStatus(const std::string& text);
    void Pump();
    void AddWarning(const std::string& line);
    void PrepareFolder(const std::string& archive);
    bool ClearRemovableDisk(const std::string& archive);
    int RunZipEngine(const std::vector<std::string>& files, bool remove, const std::string& target);
    void RunSequence(const std::string& archive);

    TZipEngine& FEngine;
    TBackupVendor& FVendor;
    TArquivosLb FScriptLines;
    std::string FLastBackupFile;
    std::string FArquivoZip;
    TBackupOptions FOptions;
    bool FTestWanted = false;
    std::vector<std::string>* FWarnings = nullptr;
    std::vector<std::string> FOwnWarnings;
    TRunRecord FRecord;
    TBackupLists FLists;
    bool FRunning = false;
    std::string FStatusText;
};

// True when the drive that holds path answers (its nearest existing folder can be
// reached and the file system that holds it reads).
bool BackupDriveAvailable(const std::string& path);

} // namespace mv
