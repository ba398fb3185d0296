#pragma once
// The vendor zip library: the calls, parameter blocks, events and result codes
// of the zip library the archive manager, the self-extractor packager and the
// backup runner drive, built on our own engines: the lister and the ZIP reader
// list, test and extract; the zip writer component zips, updates and removes.
//
// How a caller uses it:
//   VendorZipInitDLL(); h = VzCreateVendorZipA(); VzSetVendorZipWindow(h, receiver);
//   VzSetZipFilenameA(h, "/x/a.zip"); ...setters...; code = VzZip(h);
//   VzDestroyVendorZip(h); VendorZipShutdownDLL();
// During an operation the receiver is called synchronously, on the caller's
// thread, with the event number and a pointer to that event's parameter block;
// answers are written into the block before the receiver returns. VzSetAbort(h, 1)
// from a receiver (or from anything the receiver pumps) ends the operation at the
// next block with 517. An operation started while another one of the same
// instance runs is refused with 516.
//
// Texts are UTF-8, zero-terminated. Names and paths travel in 260-byte fields: a
// name that does not fit (259 bytes and a NUL) is refused with code 529, never
// cut; a size that does not fit its 32-bit field is refused with 529 as well.
// Running counters of the progress and totals events (events 10 and 12) stop at
// the largest value of their field.
#include <cstddef>
#include <cstdint>
#include <functional>

namespace mv {

// ---- result codes -------------------------------------------------------------
// One table for every code the library returns or reports as a reason. The
// callers treat 0 as success, 517, 518 and 528 as "cancelled" and 519 from a
// listing as "no zip archive". 118, 509 and 526 count as success for callers but
// are never returned (a failure must not pass for success).
namespace vzr {
constexpr int16_t Ok = 0;
// Skip reasons (event 6), not failures:
constexpr int16_t SkipExcluded = 1;      // excluded by a mask
constexpr int16_t SkipAttribute = 2;     // excluded by its attributes (or a folder)
constexpr int16_t SkipArchiveItself = 3; // the archive being written
constexpr int16_t SkipSpecialFile = 6;   // FIFO, socket or device
constexpr int16_t DuplicateName = 13;    // two files give one stored name (paths not kept)
constexpr int16_t KeptExisting = 14;     // extraction: the existing file was kept
// Per-entry failures (event 6 or 17 reason, and the result when nothing worse happened):
constexpr int16_t WriteFailed = 102; // an extracted file could not be written
constexpr int16_t CannotOpen = 103;  // a file to add could not be opened
constexpr int16_t ReadFailed = 104;  // a file to add failed while it was read
constexpr int16_t BadPassword = 106; // an encrypted entry was skipped without its password
constexpr int16_t CrcError = 107;    // the data does not match its CRC-32
constexpr int16_t BadEntry = 109;    // a damaged entry, or a name that leaves the target folder
constexpr int16_t BadMethod = 110;   // a method no reader decodes
constexpr int16_t BadData = 111;     // compressed data that does not decode
constexpr int16_t CannotMakeFolder = 112;
// Operation failures:
constexpr int16_t NothingToDo = 500;       // nothing to add; an archive without entries
constexpr int16_t ArchiveCorrupt = 502;    // directory unreadable or inconsistent
constexpr int16_t ZipWriteError = 507;     // the zip could not be written (full disk, read-only...)
constexpr int16_t ZipReadError = 508;      // the zip could not be read
constexpr int16_t TempFileError = 504;     // no temporary file or folder could be made
constexpr int16_t MultiVolume = 510;       // remove on an archive of several parts
constexpr int16_t MultiVolumeUpdate = 515; // split an existing archive into parts
constexpr int16_t OutOfMemory = 511;
constexpr int16_t StubMissing = 512;    // the self-extractor stub file does not exist
constexpr int16_t StubUnreadable = 514; // the stub cannot be read or is empty
constexpr int16_t Busy = 516;           // another operation of this instance is running
constexpr int16_t Aborted = 517;        // VzSetAbort(1)
constexpr int16_t DiskAbandoned = 518;  // the insert-disk event answered 0
constexpr int16_t NotAZip = 519;
constexpr int16_t SomeSkipped = 527; // finished, but some files were skipped for a failure
constexpr int16_t PasswordCancelled = 528;
// Ours (no text of their own in the program's table):
constexpr int16_t DoesNotFit = 529;    // a name or size does not fit its field in the blocks
constexpr int16_t BadSplitSize = 530;  // a split size below 65536 bytes
constexpr int16_t BadHandle = 531;     // no instance with that handle
constexpr int16_t InternalError = 999; // an unexpected failure caught at the boundary
} // namespace vzr

// Running operation (VzGetCurrentOperation).
namespace vzop {
constexpr int32_t Idle = 0;
constexpr int32_t Listing = 1;
constexpr int32_t Previewing = 2;
constexpr int32_t Adding = 3;
constexpr int32_t Extracting = 4;
constexpr int32_t Removing = 5;
constexpr int32_t Testing = 6;
} // namespace vzop

// ---- events and their parameter blocks -----------------------------------------
constexpr uint32_t WM_VENDORZIP = 0x0A13;
constexpr size_t VzNameSize = 260;

namespace vzev {
constexpr uint32_t Listing = 1;
constexpr uint32_t Processing = 2;
constexpr uint32_t InsertDisk = 3;
constexpr uint32_t StoredName = 4;
constexpr uint32_t Skipping = 6;
constexpr uint32_t Removing = 7;
constexpr uint32_t FileBegin = 9;
constexpr uint32_t Progress = 10;
constexpr uint32_t Totals = 12;
constexpr uint32_t Warning = 17;
constexpr uint32_t BadPassword = 18;
constexpr uint32_t Replacing = 19;
} // namespace vzev

// A broken-down local time, 16 bytes.
struct TVzSystemTime {
    uint16_t wYear = 0;
    uint16_t wMonth = 0;
    uint16_t wDayOfWeek = 0; // 0 Sunday
    uint16_t wDay = 0;
    uint16_t wHour = 0;
    uint16_t wMinute = 0;
    uint16_t wSecond = 0;
    uint16_t wMilliseconds = 0;
};

// Every block starts with its size in bytes and the instance handle (offset 4).
struct TVzListingBlock { // event 1
    uint32_t Size = sizeof(TVzListingBlock);
    uint32_t Handle = 0;
    char Name[VzNameSize] = {};
    uint8_t Reserved1[1292 - 268] = {};
    int32_t FileSize = 0;
    int32_t PackedSize = 0;
    int16_t Ratio = 0;
    uint8_t Reserved2[2] = {};
    int16_t Attributes = 0;
    uint8_t Reserved3[2] = {};
    uint32_t Crc = 0;
    TVzSystemTime Modified;
    uint8_t Reserved4[1364 - 1328] = {};
    uint32_t Encrypted = 0; // 1 yes
    uint8_t Reserved5[4] = {};
    uint32_t NotShown = 0; // 1: a folder entry, not to be shown as a file
};

struct TVzNameBlock { // events 2 (processing) and 7 (removing)
    uint32_t Size = sizeof(TVzNameBlock);
    uint32_t Handle = 0;
    char Name[VzNameSize] = {};
};

struct TVzInsertDiskBlock { // event 3
    uint32_t Size = sizeof(TVzInsertDiskBlock);
    uint32_t Handle = 0;
    uint32_t DiskNumber = 0; // 0: the last disk
    uint8_t Answer = 1;      // written: 1 inserted, 0 abandon
    uint8_t Reserved[3] = {};
};

struct TVzStoredNameBlock { // event 4
    uint32_t Size = sizeof(TVzStoredNameBlock);
    uint32_t Handle = 0;
    char Name[VzNameSize] = {}; // may be rewritten (NUL-padded)
    uint8_t Reserved[1292 - 268] = {};
    char SourcePath[VzNameSize] = {};
};

struct TVzSkippingBlock { // event 6
    uint32_t Size = sizeof(TVzSkippingBlock);
    uint32_t Handle = 0;
    uint8_t Reserved1[1292 - 8] = {};
    char Name[VzNameSize] = {};
    uint8_t Reserved2[1624 - 1552] = {};
    int32_t Reason = 0;
};

struct TVzFileBeginBlock { // event 9
    uint32_t Size = sizeof(TVzFileBeginBlock);
    uint32_t Handle = 0;
    char Name[VzNameSize] = {};
    int32_t FileSize = 0;
    uint8_t Reserved[4] = {};
    uint32_t Continuing = 0; // non-zero: the entry goes on from an earlier part
    int16_t Percent = 0;
    uint8_t Reserved2[2] = {};
};

struct TVzProgressBlock { // event 10
    uint32_t Size = sizeof(TVzProgressBlock);
    uint32_t Handle = 0;
    uint8_t Reserved1[24 - 8] = {};
    int32_t SourceBytesDone = 0; // of the whole operation
    uint8_t Reserved2[36 - 28] = {};
    int16_t Percent = 0; // of the whole operation
    uint8_t Reserved3[2] = {};
    int32_t OutputBytes = 0; // of the whole operation
    int16_t Ratio = 0;
    uint8_t Reserved4[2] = {};
};

struct TVzTotalsBlock { // event 12
    uint32_t Size = sizeof(TVzTotalsBlock);
    uint32_t Handle = 0;
    uint8_t Reserved1[20 - 8] = {};
    int32_t TotalBytes = 0;
    uint8_t Reserved2[32 - 24] = {};
    int32_t TotalOutputBytes = 0;
};

struct TVzWarningBlock { // event 17
    uint32_t Size = sizeof(TVzWarningBlock);
    uint32_t Handle = 0;
    char Name[VzNameSize] = {};
    int32_t Code = 0;
};

struct TVzBadPasswordBlock { // event 18
    uint32_t Size = sizeof(TVzBadPasswordBlock);
    uint32_t Handle = 0;
    char Name[VzNameSize] = {};
    char NewPassword[VzNameSize] = {}; // written
    uint32_t Retry = 0;                // written: 1 retry with NewPassword, 0 skip the entry
};

struct TVzReplacingBlock { // event 19
    uint32_t Size = sizeof(TVzReplacingBlock);
    uint32_t Handle = 0;
    uint8_t Reserved1[1292 - 8] = {};
    uint32_t ExistingSize = 0;
    uint8_t Reserved5[4] = {};
    TVzSystemTime ExistingTime;
    uint8_t Reserved2[1348 - 1316] = {};
    char Name[VzNameSize] = {};
    uint32_t NewSize = 0;
    uint8_t Reserved3[4] = {};
    TVzSystemTime NewTime;
    uint8_t Reserved4[1664 - 1632] = {};
    uint32_t Replace = 0; // written: 1 replace, 0 keep
};

#define MV_VZ_AT(type, field, offset) static_assert(offsetof(type, field) == (offset), #type "." #field)
MV_VZ_AT(TVzListingBlock, Handle, 4);
MV_VZ_AT(TVzListingBlock, Name, 8);
MV_VZ_AT(TVzListingBlock, FileSize, 1292);
MV_VZ_AT(TVzListingBlock, PackedSize, 1296);
MV_VZ_AT(TVzListingBlock, Ratio, 1300);
MV_VZ_AT(TVzListingBlock, Attributes, 1304);
MV_VZ_AT(TVzListingBlock, Crc, 1308);
MV_VZ_AT(TVzListingBlock, Modified, 1312);
MV_VZ_AT(TVzListingBlock, Encrypted, 1364);
MV_VZ_AT(TVzListingBlock, NotShown, 1372);
MV_VZ_AT(TVzNameBlock, Handle, 4);
MV_VZ_AT(TVzNameBlock, Name, 8);
MV_VZ_AT(TVzInsertDiskBlock, Handle, 4);
MV_VZ_AT(TVzInsertDiskBlock, DiskNumber, 8);
MV_VZ_AT(TVzInsertDiskBlock, Answer, 12);
MV_VZ_AT(TVzStoredNameBlock, Handle, 4);
MV_VZ_AT(TVzStoredNameBlock, Name, 8);
MV_VZ_AT(TVzStoredNameBlock, SourcePath, 1292);
MV_VZ_AT(TVzSkippingBlock, Handle, 4);
MV_VZ_AT(TVzSkippingBlock, Name, 1292);
MV_VZ_AT(TVzSkippingBlock, Reason, 1624);
MV_VZ_AT(TVzFileBeginBlock, Handle, 4);
MV_VZ_AT(TVzFileBeginBlock, Name, 8);
MV_VZ_AT(TVzFileBeginBlock, FileSize, 268);
MV_VZ_AT(TVzFileBeginBlock, Continuing, 276);
MV_VZ_AT(TVzFileBeginBlock, Percent, 280);
MV_VZ_AT(TVzProgressBlock, Handle, 4);
MV_VZ_AT(TVzProgressBlock, SourceBytesDone, 24);
MV_VZ_AT(TVzProgressBlock, Percent, 36);
MV_VZ_AT(TVzProgressBlock, OutputBytes, 40);
MV_VZ_AT(TVzProgressBlock, Ratio, 44);
MV_VZ_AT(TVzTotalsBlock, Handle, 4);
MV_VZ_AT(TVzTotalsBlock, TotalBytes, 20);
MV_VZ_AT(TVzTotalsBlock, TotalOutputBytes, 32);
MV_VZ_AT(TVzWarningBlock, Handle, 4);
MV_VZ_AT(TVzWarningBlock, Name, 8);
MV_VZ_AT(TVzWarningBlock, Code, 268);
MV_VZ_AT(TVzBadPasswordBlock, Handle, 4);
MV_VZ_AT(TVzBadPasswordBlock, Name, 8);
MV_VZ_AT(TVzBadPasswordBlock, NewPassword, 268);
MV_VZ_AT(TVzBadPasswordBlock, Retry, 528);
MV_VZ_AT(TVzReplacingBlock, Handle, 4);
MV_VZ_AT(TVzReplacingBlock, ExistingSize, 1292);
MV_VZ_AT(TVzReplacingBlock, ExistingTime, 1300);
MV_VZ_AT(TVzReplacingBlock, Name, 1348);
MV_VZ_AT(TVzReplacingBlock, NewSize, 1608);
MV_VZ_AT(TVzReplacingBlock, NewTime, 1616);
MV_VZ_AT(TVzReplacingBlock, Replace, 1664);
static_assert(sizeof(TVzSystemTime) == 16);
#undef MV_VZ_AT

// The bound receiver: (event number, parameter block of that event). It stands
// where the window and its message handler stood.
using TVzReceiver = std::function<void(uint32_t event, void* block)>;

// ---- lifetime ------------------------------------------------------------------
// Global set-up and teardown; both may be called more than once. Shutdown
// destroys the instances that are left.
void VendorZipInitDLL();
void VendorZipShutdownDLL();
// A new instance with the library's defaults; its handle (never 0).
uint32_t VzCreateVendorZipA();
void VzSetVendorZipWindow(uint32_t handle, TVzReceiver receiver);
// Frees the instance: 0, 516 while one of its operations runs, 531 for no such handle.
int16_t VzDestroyVendorZip(uint32_t handle);

// ---- setters (handle, value) -----------------------------------------------------
void VzSetZipFilenameA(uint32_t handle, const char* text);
// Paths or masks, one per line (CR-LF or LF between them).
void VzSetFilesToProcessA(uint32_t handle, const char* text);
void VzSetFilesToExcludeA(uint32_t handle, const char* text);
void VzSetUnzipToFolderA(uint32_t handle, const char* text);
void VzSetEncryptionPasswordA(uint32_t handle, const char* text);
void VzSetTempFolderA(uint32_t handle, const char* text);
// 16-bit switches: 1 on, 0 off.
void VzSetPreservePaths(uint32_t handle, int16_t value);
void VzSetProcessSubfolders(uint32_t handle, int16_t value);
void VzSetSpanMultipleDisks(uint32_t handle, int16_t value);
void VzSetUseTempFile(uint32_t handle, int16_t value);
void VzSetZipOpenedFiles(uint32_t handle, int16_t value);
void VzSetAbort(uint32_t handle, int16_t value);
void VzSetCompressionLevel(uint32_t handle, int32_t value); // 0 stored .. 9
void VzSetExcludedFileAttributes(uint32_t handle, int32_t value);
void VzSetSplitSize(uint32_t handle, int32_t value); // bytes; 0 no parts
void VzSetExtraHeaders(uint32_t handle, int32_t value);
// Self-extractor settings: a non-empty stub module turns VzZip into a build of
// a self-extracting container (stub, settings block, zip).
void VzSetSfxBinaryModuleA(uint32_t handle, const char* path);
void VzSetSfxStringsA(uint32_t handle, int32_t index, const char* text);  // 0..4
void VzSetSfxMessagesA(uint32_t handle, int32_t index, const char* text); // 0..12
void VzSetSfxButtonsA(uint32_t handle, int32_t index, const char* text);  // 0..12
void VzSetSfxDefaultUnzipToFolderA(uint32_t handle, const char* text);
void VzSetSfxDefaultPasswordA(uint32_t handle, const char* text);
void VzSetSfxExistingFileBehavior(uint32_t handle, int32_t value); // 0 ask, 1 never, 2 always
void VzSetSfxProgramGroupA(uint32_t handle, const char* text);
void VzSetSfxProgramGroupItemsA(uint32_t handle, const char* text);
void VzSetSfxExtensionsToAssociateA(uint32_t handle, const char* text);
void VzSetSfxReadmeFileA(uint32_t handle, const char* text);
void VzSetSfxExecuteAfterA(uint32_t handle, const char* text);
void VzSetSfxIconFilenameA(uint32_t handle, const char* text);
void VzSetSfxInstallMode(uint32_t handle, int32_t value);

// ---- operations (handle) -> result code --------------------------------------------
int16_t VzListZipContents(uint32_t handle);
int16_t VzPreviewFiles(uint32_t handle);
int16_t VzZip(uint32_t handle);
int16_t VzUnzip(uint32_t handle);
int16_t VzRemoveFiles(uint32_t handle);
// `all` 1 tests every entry (the only value the callers use); 0 tests the
// entries that match the files to process.
int16_t VzTestZipFile(uint32_t handle, int16_t all = 1);
int32_t VzGetCurrentOperation(uint32_t handle);

} // namespace mv
