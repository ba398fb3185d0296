#pragma once
// TTreeScanner walks a folder tree depth-first and reports, folder by folder, the
// files that match a mask and the folders it enters. Within a folder the files come
// first, then the subfolders, each in case-insensitive name order (names that differ
// only in case both come, in byte order); a folder is walked to the end, with its
// OnDirectoryDone, before its next sibling starts.
//
// The walk runs on the caller's thread and lets the caller's interface breathe
// through ProcessMessages once per folder; clearing ContinueScan (from an event or
// from code run by the pump) stops it when the next folder is entered.
//
// Linux rules: only "." and ".." are left out, so hidden (dot) files and folders are
// reported like any other; a symbolic link to a folder is not followed (it could lead
// back up the tree); a symbolic link to a file counts as that file; FIFOs, sockets
// and devices are not files to back up and are skipped. A folder that cannot be read
// is walked as an empty one.
#include <cstdint>
#include <functional>
#include <string>

namespace mv {

class TTreeScanner {
public:
    using TNotifyEvent = std::function<void(TTreeScanner* Sender)>;

    TNotifyEvent OnFileFound;
    TNotifyEvent OnDirectoryFound;
    TNotifyEvent OnDirectoryDone;
    // The owner's message pump, run once per folder; unassigned, nothing runs.
    std::function<void()> ProcessMessages;

    // The current file's full name, or the folder just entered (ending in "/").
    const std::string& FileFound() const { return FFileFound; }
    // Size in bytes of the current file; 0 outside file events.
    int64_t FileSize() const { return FFileSize; }
    const std::string& InitialDirectory() const { return FInitialDirectory; }
    void SetInitialDirectory(const std::string& v) { FInitialDirectory = v; }
    const std::string& FileMask() const { return FFileMask; }
    void SetFileMask(const std::string& v) { FFileMask = v; }
    bool SearchInProgress() const { return FSearchInProgress; }
    bool Recursive() const { return FRecursive; }
    void SetRecursive(bool v) { FRecursive = v; }
    // Free for the owner (the backup runner marks include and exclude walks with it).
    int Tag() const { return FTag; }
    void SetTag(int v) { FTag = v; }

    // Set by Scan; the caller clears it to stop.
    bool ContinueScan = true;

    // Runs a whole walk from InitialDirectory (the current folder when empty).
    void Scan();
    // Walks one folder; path ends in "/".
    void ScanFolder(const std::string& path);

    // The folder a walk starts from: the current folder for an empty text, always
    // ending in exactly one "/" ("/" stays "/").
    static std::string NormalisedDirectory(const std::string& directory);

protected:
    void DoFileFound();
    void DoDirectoryFound();
    void DoDirectoryDone();

private:
    std::string FFileFound;
    int64_t FFileSize = 0;
    std::string FInitialDirectory;
    std::string FFileMask = "*.*";
    bool FSearchInProgress = false;
    bool FRecursive = true;
    int FTag = 0;
};

} // namespace mv
