#pragma once
// The removable-disk manager every archive component owns: the drive that holds
// the archive or the output, its kind, volume label and serial, the number of a
// spanned-ZIP disk as written in its label, and the free and total space. While
// a drive cannot be read it asks through OnAskRetry whether to retry; with no
// handler it gives up at once (never waits for a user who is not there).
//
// Here a "drive" is the file system that holds a path; Drive() is that path.
// The drive is read when it is set; nothing polls it.
#include "platform/FileSystem.h"

#include <cstdint>
#include <functional>
#include <string>

namespace mv {

// Space of a drive. Counts and byte totals are 64-bit, so drives of 4 GiB and
// more are reported exactly.
struct TDiskSpace {
    uint32_t SectorsPerCluster = 0;
    uint32_t BytesPerSector = 0;
    uint64_t FreeClusters = 0;
    uint64_t TotalClusters = 0;
    uint64_t TotalBytes = 0;
    uint64_t FreeBytes = 0;
};

// What GetVolumeInfo reads about a drive.
struct TDiskVolumeInfo {
    std::string Label;
    uint32_t Serial = 0;
    uint32_t MaxComponentLength = 0;
    uint32_t FileSystemFlags = 0;
    std::string FileSystemName;
};

// The marker of a spanned-ZIP disk label: "PKBACK# " and the disk number in three digits.
inline constexpr const char* kSpanLabelMarker = "PKBACK# ";

class TDiskManager {
public:
    // Drive types (the system's numbering).
    enum : uint8_t {
        dtUnknown = 0,
        dtNoRoot = 1,
        dtRemovable = 2,
        dtFixed = 3,
        dtRemote = 4,
        dtCdRom = 5,
        dtRamDisk = 6,
    };

    TDiskManager() = default;
    TDiskManager(const TDiskManager&) = delete;
    TDiskManager& operator=(const TDiskManager&) = delete;

    const std::string& Drive() const { return FDrive; }
    // Stores the drive, then ReadDiskInfo.
    void SetDrive(const std::string& Drive);
    const std::string& VolumeLabel() const { return FVolumeLabel; }
    const std::string& DriveTypeName() const { return FDriveTypeName; }
    const TDiskSpace& Space() const { return FSpace; }
    const std::string& SerialText() const { return FSerialText; }
    uint32_t Serial() const { return FSerial; }
    uint32_t MaxComponentLength() const { return FMaxComponentLength; }
    uint32_t FileSystemFlags() const { return FFileSystemFlags; }
    uint8_t DriveType() const { return FDriveType; }
    const std::string& FileSystemName() const { return FFileSystemName; }
    uint8_t MediaType() const { return FMediaType; }
    // False after the user cancelled while the drive could not be read.
    bool Ready() const { return FReady; }
    int32_t DiskNumber() const { return FDiskNumber; }

    // Reads label, serial, kind and space of Drive(), asking to retry while it
    // cannot be read. Answers and sets Ready(): false when the user cancelled.
    bool ReadDiskInfo();
    // Writes NewLabel as the drive's label when it differs. Answers whether the
    // label is now NewLabel (true when it already was). Without the privileges to
    // write labels this answers false.
    bool SetVolumeLabel(const std::string& NewLabel);
    // Network drives answer true without reading (all fields 0). Otherwise the
    // space of the drive's file system; false when it cannot be read.
    bool ReadFreeSpace(const std::string& Drive, TDiskSpace& Space);
    // Removable drives only (else false): reads the space into Space(), asking to
    // retry until it succeeds (true) or the user cancels (false).
    bool ReadFreeSpaceChecked(const std::string& Drive);
    // The floppy form factor: not known here, always 0 ("Unknown").
    uint8_t GetMediaType(const std::string& Drive);
    // 0 unless Label holds "PKBACK# "; else the text after its last occurrence as a
    // number when it is only digits, not empty and fits; else 0.
    static int32_t DiskNumberFromLabel(const std::string& Label);
    // The label of spanned-ZIP disk Number: "PKBACK# " and three digits.
    static std::string SpanDiskLabel(int Number);
    // The name of a drive type (or media type 7, 8).
    static std::string DriveTypeNameOf(uint8_t Index);
    // Reads the volume of Drive; an empty Drive answers false.
    bool GetVolumeInfo(const std::string& Drive, TDiskVolumeInfo& Info);
    // Asks through OnAskRetry with the text: Drive + "/" + "não está acessível." +
    // two line breaks + the system's text of the last error. True for Retry.
    bool AskRetry(const std::string& Drive);

    // Asked while a drive cannot be read; set Retry to try again. Unassigned: cancel.
    std::function<void(TDiskManager* Sender, const std::string& Text, bool& Retry)> OnAskRetry;

protected:
    bool DoAskRetry(const std::string& Text);

private:
    uint8_t DriveTypeOf(const std::string& Drive);

    std::string FDrive;
    std::string FVolumeLabel;
    std::string FDriveTypeName;
    TDiskSpace FSpace;
    std::string FSerialText;
    uint32_t FSerial = 0;
    uint32_t FMaxComponentLength = 0;
    uint32_t FFileSystemFlags = 0;
    uint8_t FDriveType = dtUnknown;
    std::string FFileSystemName;
    uint8_t FMediaType = 0;
    bool FReady = false;
    int32_t FDiskNumber = 0;
    int lastError = 0;
};

} // namespace mv
