#pragma once
// Archive type detection: which of the archive types a file is, found from the
// file itself (a signature at the start, a self-extracting stub in front of
// the archive, the ZIP end record at the end of the file, a UUE "begin" line or
// a valid TAR header checksum), with where the archive data begins, the file's
// size and its age.
//
// Detection never raises and never reads outside the bytes it actually read:
// a file that cannot be opened is atFileOpenErr; one it cannot place is
// atUnknown, atNA or atUnsupported.
#include "archive/framework/ArcType.h"
#include "archive/framework/ZipRecords.h"

#include <cstdint>
#include <functional>
#include <string>

namespace mv {

class TDiskManager;

// The DOS date and time detection gives when the type is invalid or the file's
// age cannot be read: 1980-01-01 00:00:00.
constexpr uint32_t ArchiveDateUnknown = 0x00210000;

// What detection sets (the fields of the archive components that hold them).
struct TArcDetection {
    TArcType ArcType = TArcType::atNA;
    // Size of the file in bytes.
    int64_t ArchiveSize = 0;
    // Where the archive data begins when a stub or leading bytes precede it; 1
    // when nothing precedes. As the probes find it: the 1-based start of an
    // embedded ARJ, LHA, RAR or ARC archive, the 0-based offset of the first
    // ZIP local header of a self-extractor, the ZIP central directory offset
    // when the end-record chain is complete, else the number of leading zero
    // bytes of a ZIP.
    int64_t ArchiveOffset = 1;
    // The file's age as a DOS date and time (time in the low word).
    uint32_t ArchiveDate = ArchiveDateUnknown;
    // Bit 0: a ZIP end record was found; bit 3: the central record it points
    // to was found; bit 4: a ZIP local header was found.
    uint8_t ZipProbeFlags = 0;
    // The last records read by the ZIP probes.
    TZipEndRecord ZipEndRecord;
    TZipCentralRecord ZipCentralRecord;
    TZipLocalHeader ZipLocalHeader;
};

// ZipProbeFlags bits.
constexpr uint8_t ZipProbeEndRecord = 0x01;
constexpr uint8_t ZipProbeCentral = 0x08;
constexpr uint8_t ZipProbeLocal = 0x10;

// What detection asks of the component's disk manager about the drive that
// holds the archive: whether it is removable (spanned ZIP sets live on
// removable disks) and the spanned-set disk number of its label.
struct TDetectDrive {
    bool Removable = false;
    int32_t DiskNumber = 0;
};
using TDetectDriveQuery = std::function<TDetectDrive(const std::string& archiveFile)>;

// Sets the disk manager's drive from the archive file and answers from it.
TDetectDrive DiskManagerDrive(TDiskManager& manager, const std::string& archiveFile);
// The same through a disk manager of its own.
TDetectDrive RealDetectDrive(const std::string& archiveFile);

// Where detection reads the file from. Reads never raise.
class TDetectSource {
public:
    virtual ~TDetectSource() = default;
    // The size of the file; false when it cannot be read.
    virtual bool Size(int64_t& size) = 0;
    // Up to count bytes at position; fewer at the end of the file, 0 on an error.
    virtual size_t ReadAt(int64_t position, uint8_t* buffer, size_t count) = 0;
    // The file's age as a DOS date and time; false when it cannot be read.
    virtual bool DosDate(uint32_t& dosDateTime) = 0;
};

// Detection of the file archiveFile. zipCmntBufSize is the component's ZIP
// comment buffer size (it sets the end-record search window). The drive is
// asked only when a ZIP probe needs it. Fields are left untouched where the
// algorithm says so (ArchiveDate when the file cannot be opened).
void DetectArcType(const std::string& archiveFile, int32_t zipCmntBufSize, TArcDetection& result,
                   const TDetectDriveQuery& drive = RealDetectDrive);

// The same on any source; archiveFile only gives the name (its extension and
// its drive).
void DetectArcTypeFrom(TDetectSource& source, const std::string& archiveFile, int32_t zipCmntBufSize,
                       TArcDetection& result, const TDetectDriveQuery& drive);

// The string-table entries first..first+count-1 of a Windows executable (at
// most five characters each, as ASCII; empty when missing or not ASCII), read
// with every offset and size checked. Empty strings when the file is no
// executable with a string table.
std::vector<std::string> ReadExeStringEntries(TDetectSource& source, int64_t fileSize, int first, int count);

} // namespace mv
