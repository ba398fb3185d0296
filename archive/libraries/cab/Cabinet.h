#pragma once
// Our cabinet library: reading cabinets and cabinet sets (the decompression
// interface) and writing cabinets (the compression interface), with every byte
// of file input and output going through callbacks the caller supplies.
//
// The callbacks are plain function pointers with a user pointer; the library
// calls them and never lets its own exceptions out: every entry point answers
// success or failure and fills the caller's error record. Callbacks must not
// throw either (the file handlers catch everything at their boundary).
//
// Compression codes: the low nibble is the kind (0 none, 1 MSZIP, 2 Quantum,
// 3 LZX); for LZX bits 8..12 hold the window bits (15..21); for Quantum bits
// 4..7 hold the level and bits 8..12 the window bits (10..21).
#include <cstddef>
#include <cstdint>
#include <string>

namespace mv::cab {

// The error record both interfaces fill on failure.
struct TCabErrorRecord {
    int erfOper = 0; // the interface's error code (below)
    int erfType = 0; // a further number (the decoder's error number, or errno)
    bool fError = false;
};

// Error codes of the decompression interface.
enum TFdiError {
    fdieNone = 0,
    fdieCabinetNotFound = 1,
    fdieNotACabinet = 2,
    fdieUnknownCabinetVersion = 3,
    fdieCorruptCabinet = 4,
    fdieAllocFail = 5,
    fdieBadCompressionType = 6,
    fdieMdiFail = 7,
    fdieTargetFile = 8,
    fdieReserveMismatch = 9,
    fdieWrongCabinet = 10,
    fdieUserAbort = 11,
};

// Error codes of the compression interface.
enum TFciError {
    fcieNone = 0,
    fcieOpenSrc = 1,
    fcieReadSrc = 2,
    fcieAllocFail = 3,
    fcieTempFile = 4,
    fcieBadComprType = 5,
    fcieCabFile = 6,
    fcieUserAbort = 7,
    fcieMciFail = 8,
    fcieCabFormatLimit = 9,
};

// Open flags the library hands to the open callback.
constexpr int cabOpenRead = 0x0000;
constexpr int cabOpenWrite = 0x0001;
constexpr int cabOpenReadWrite = 0x0002;
constexpr int cabOpenCreate = 0x0100;
constexpr int cabOpenBinary = 0x8000;

// The file callbacks. Handles are non-negative; -1 is failure. `err` receives 0
// or the system's error number.
struct TCabFileCallbacks {
    void* User = nullptr;
    void* (*Alloc)(uint32_t size) = nullptr;
    void (*Free)(void* block) = nullptr;
    intptr_t (*Open)(void* user, const char* name, int oflag, int pmode, int* err) = nullptr;
    uint32_t (*Read)(void* user, intptr_t handle, void* buffer, uint32_t count, int* err) = nullptr;
    uint32_t (*Write)(void* user, intptr_t handle, const void* buffer, uint32_t count, int* err) = nullptr;
    int (*Close)(void* user, intptr_t handle, int* err) = nullptr;
    int64_t (*Seek)(void* user, intptr_t handle, int64_t distance, int origin, int* err) = nullptr;
    int (*Delete)(void* user, const char* name, int* err) = nullptr;
};

// ---------------------------------------------------------------------------
// Decompression interface.

struct TFdiContext;

struct TFdiCabinetInfo {
    int64_t cbCabinet = 0;
    uint16_t cFolders = 0;
    uint16_t cFiles = 0;
    uint16_t setID = 0;
    uint16_t iCabinet = 0;
    bool fReserve = false;
    bool hasprev = false;
    bool hasnext = false;
};

enum TFdiNotificationType {
    fdintCabinetInfo = 0,
    fdintPartialFile = 1,
    fdintCopyFile = 2,
    fdintCloseFileInfo = 3,
    fdintNextCabinet = 4,
    fdintEnumerate = 5,
};

struct TFdiNotification {
    int64_t cb = 0;
    const char* psz1 = nullptr;
    const char* psz2 = nullptr;
    char* psz3 = nullptr; // cabinet path; writable (256 bytes) for the next-cabinet notification
    void* pv = nullptr;   // the user pointer of the copy call
    intptr_t hf = 0;
    uint16_t date = 0;
    uint16_t time = 0;
    uint16_t attribs = 0;
    uint16_t setID = 0;
    uint16_t iCabinet = 0;
    uint16_t iFolder = 0;
    uint16_t typeCompress = 0; // copy file: the compression code of the file's folder
    int fdie = 0;
};

// Copy file: answers the output handle, 0 to skip, -1 to abort. Close file info:
// answers non-zero on success. Next cabinet: 0 to go on (psz3 may be changed),
// -1 to abort. Others: 0.
using TFdiNotify = intptr_t (*)(TFdiNotificationType kind, TFdiNotification* notification);

// cpuType is accepted for compatibility and has no effect.
TFdiContext* FdiCreate(const TCabFileCallbacks& callbacks, int cpuType, TCabErrorRecord* error);
bool FdiIsCabinet(TFdiContext* context, intptr_t handle, TFdiCabinetInfo* info);
// Extracts the files that start in cabinetPath + cabinetName. A folder continued
// into the next cabinet is followed there (after the next-cabinet notification);
// its decoding state is kept, so that the copy call for that next cabinet goes
// on with the files that start there.
bool FdiCopy(TFdiContext* context, const char* cabinetName, const char* cabinetPath, int flags,
             TFdiNotify notify, void* decrypt, void* user);
bool FdiDestroy(TFdiContext* context);
// Cabinets name the next one of their set as DOS did, in any case: the path
// itself when it exists, else a file of its folder whose name differs only in
// case, else the path unchanged.
std::string FindCabinetIgnoringCase(const std::string& path);

// ---------------------------------------------------------------------------
// Compression interface.

struct TFciContext;

struct TCabParameters {
    uint32_t cb = 0;             // largest cabinet size
    uint32_t cbFolderThresh = 0; // start a new folder after this many input bytes
    uint32_t cbReserveCFHeader = 0;
    uint32_t cbReserveCFFolder = 0;
    uint32_t cbReserveCFData = 0;
    int iCab = 0;
    int iDisk = 0;
    bool fFailOnIncompressible = false;
    uint16_t setID = 0;
    char szDisk[256] = {};
    char szCab[256] = {};
    char szCabPath[4096] = {}; // concatenated with szCab as it stands; a whole folder path
};

struct TFciCallbacks {
    TCabFileCallbacks Files;
    int (*FilePlaced)(void* user, TCabParameters* cab, const char* file, int64_t size,
                      bool continuation) = nullptr;
    bool (*GetTempFile)(void* user, char* buffer, int size) = nullptr;
};

using TFciGetNextCabinet = bool (*)(void* user, TCabParameters* cab, uint32_t previousSize);
using TFciStatus = int (*)(void* user, unsigned type, uint32_t cb1, uint32_t cb2);
// Opens a source file for reading and gives its DOS date, time and attributes;
// answers the handle, or -1 with err set.
using TFciGetOpenInfo = intptr_t (*)(void* user, const char* name, uint16_t* date, uint16_t* time,
                                     uint16_t* attribs, int* err);

TFciContext* FciCreate(TCabErrorRecord* error, const TFciCallbacks& callbacks, const TCabParameters& cab,
                       void* user);
bool FciAddFile(TFciContext* context, const char* sourceFile, const char* fileName, bool execute,
                TFciGetNextCabinet getNextCabinet, TFciStatus status, TFciGetOpenInfo getOpenInfo,
                uint16_t typeCompress);
bool FciFlushFolder(TFciContext* context, TFciGetNextCabinet getNextCabinet, TFciStatus status);
bool FciFlushCabinet(TFciContext* context, bool getNextCab, TFciGetNextCabinet getNextCabinet,
                     TFciStatus status);
bool FciDestroy(TFciContext* context);

// The data-block checksum of the cabinet format (0 stands for "none").
uint32_t CabChecksum(const uint8_t* data, size_t size, uint32_t seed);

} // namespace mv::cab
