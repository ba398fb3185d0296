#pragma once
// Root of the archive components: the archive file and its detected type, the
// passwords, the disk manager, the volume numbering and the current entry.
// TArcMain > TReadWriteObj > TZipCommon > (writers' base, readers' base, TArcLister).
#include "archive/framework/ArcEvents.h"
#include "archive/framework/ArcStream.h"
#include "archive/framework/ArcType.h"
#include "archive/framework/EntryInfo.h"
#include "archive/framework/ZipRecords.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace mv {

class TZipCommon;
class TDiskManager;
class TArcFileAttr;
class TArcTimer;
class TArcFileList;

// The one component that runs an operation (nil when none); the Cancel command
// and the password prompt act on it.
extern TZipCommon* ActiveArchiveComponent;

class TArcMain {
public:
    TArcMain();
    virtual ~TArcMain();
    TArcMain(const TArcMain&) = delete;
    TArcMain& operator=(const TArcMain&) = delete;

    // The archive path. Setting a name detects its type (readers, lister) and
    // sets up the volume numbering; an empty name clears the active component.
    const std::string& ArchiveFile() const { return FArchiveFile; }
    virtual void SetArchiveFile(const std::string& value);
    TArcType ArcType() const { return FArcType; }
    // Runs the type detection (the value is ignored); writers override it to fix their type.
    virtual void SetArcType(TArcType value);

    bool UseStoredDirs() const { return FUseStoredDirs; }
    void SetUseStoredDirs(bool v) { FUseStoredDirs = v; }
    int PasswordAttempts() const { return FPasswordAttempts; }
    void SetPasswordAttempts(int v) { FPasswordAttempts = v; }
    int ZipCmntBufSize() const { return FZipCmntBufSize; }
    // Clamped to 2000..32767.
    void SetZipCmntBufSize(int v);
    const std::string& Password() const { return FPassword; }
    void SetPassword(const std::string& v) { FPassword = v; }
    const std::vector<std::string>& Passwords() const { return FPasswords; }
    void SetPasswords(const std::vector<std::string>& v) { FPasswords = v; }
    const std::string& CurrentVolume() const { return FCurrentVolume; }

    int64_t ArchiveSize() const { return FArchiveSize; }
    int64_t ArchiveOffset() const { return FArchiveOffset; }
    uint32_t ArchiveDate() const { return FArchiveDate; }
    uint8_t ZipProbeFlags() const { return FZipProbeFlags; }
    int64_t HeaderPos() const { return FHeaderPos; }
    int FileCount() const { return FFileCount; }
    int64_t TotalPacked() const { return FTotalPacked; }
    int64_t TotalUnpacked() const { return FTotalUnpacked; }
    char VolumeLetter() const { return FVolumeLetter; }
    int VolumeNumber() const { return FVolumeNumber; }

    TDiskManager& DiskManager() { return *FDiskManager; }
    TArcFileAttr& FileAttribute() { return *FFileAttribute; }
    TArcTimer& Timer() { return *FTimer; }
    TArcFileList& FoundFiles() { return *FFoundFiles; }

    // The current entry (valid inside OnRead).
    const TArcEntryInfo& EntryInfo() const { return FEntry; }
    TArcEntryInfo& EntryInfo() { return FEntry; }

    // Sets VolumeLetter and VolumeNumber from the archive's extension (ACE, ARJ, RAR).
    void SetupVolumeNumbering();
    // Gives the drive that holds the archive to the disk manager.
    void SetDiskDrive();

    // Opaque value for the program (routes events, as a form's Tag).
    int Tag() const { return FTag; }
    void SetTag(int v) { FTag = v; }

protected:
    // Detects the type of ArchiveFile and sets ArcType, ArchiveSize, ArchiveOffset,
    // ArchiveDate, ZipProbeFlags and the ZIP probe records.
    virtual void DetectArcType();

    bool FUseStoredDirs = true;
    int FPasswordAttempts = 3;
    std::unique_ptr<TArcFileAttr> FFileAttribute;
    int FZipCmntBufSize = 0;
    std::string FPassword;
    std::string FCurrentVolume;
    std::unique_ptr<TDiskManager> FDiskManager;
    TArcType FArcType = TArcType::atNA;
    int FGarblePos = 1;      // 1-based position in Password of the next ARJ garbling character
    int64_t FBlockStart = 0; // bytes of the current entry still to be read by a writer's encoder
    std::unique_ptr<TArcTimer> FTimer;
    int FFileCount = 0;
    int64_t FBytesLeft = 0;
    std::unique_ptr<TArcStream> FArchiveStream; // the archive opened by an operation
    uint8_t FZipProbeFlags = 0;
    std::unique_ptr<TArcFileList> FFoundFiles;
    char FVolumeLetter = 0;
    int FVolumeNumber = 0;
    TZipEndRecord FZipEndRecord; // the last records read by the ZIP probes of detection
    TZipCentralRecord FZipCentralRecord;
    TZipLocalHeader FZipLocalHeader;
    std::string FArchiveFile;
    int64_t FArchiveOffset = 1; // where the archive data begins, 1-based
    int64_t FHeaderPos = 1;     // 1-based position of the header being processed
    int64_t FVolumeSize = 0;
    int64_t FReadPos = 0;
    uint32_t FArchiveDate = 0;
    int64_t FArchiveSize = 0;
    std::vector<std::string> FPasswords;
    int64_t FTotalPacked = 0;
    int64_t FTotalUnpacked = 0;
    std::unique_ptr<TArcStream> FInputStream; // the file being added by a writer
    TArcEntryInfo FEntry;
    int FTag = 0;
};

} // namespace mv
