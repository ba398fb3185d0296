#pragma once
// Our ACE library: the calls, records, callbacks and result codes the ACE reader
// uses to test and extract ACE archives (ACE 1.0 and 2.0 compression, solid,
// multi-volume .ace/.c00/.c01..., encrypted members). Decoding is done by our own
// decompressors (AceDecode) and cipher (AceCrypt); archive walking and volumes live
// here.
//
// Usage, per archive: ACEOpenArchive (the data and volume callbacks come in the
// open record), then ACEReadHeader before each member and ACEProcessFile for it
// (skip it, or decode it into the data callback), ACESetPassword before
// processing an encrypted member, ACECloseArchive. A member refused for its
// password stays ready for the next try. The callbacks are function objects that
// carry their caller; the volumes are read through the platform's file system.
// Where decoded bytes go is the caller's business: the library writes no file.
#include <cstdint>
#include <functional>
#include <string>

namespace mv::unace {

// Result codes.
enum : int {
    ACE_SUCCESS = 0,
    ACE_ERR_MEMORY = 1,
    ACE_END_ARCHIVE = 2,   // no further member
    ACE_ERR_NOT_FOUND = 3, // also: a volume of the set cannot be found
    ACE_ERR_DISK_FULL = 4,
    ACE_ERR_OPEN = 5,
    ACE_ERR_READ = 6, // a read failed or the data ends early
    ACE_ERR_WRITE = 7,
    ACE_ERR_HEADER = 8,        // a damaged block header (bad size or header CRC)
    ACE_ERR_CRC = 9,           // damaged compressed data or a CRC mismatch
    ACE_ERR_UNSUPPORTED = 128, // not an ACE archive, or a method or mode we cannot decode
    ACE_ERR_PASSWORD = 131,    // an encrypted member that does not decode: wrong password or damage
    ACE_ERR_ABORT = 255,       // the data callback asked to stop
};

enum : int { ACE_OM_LIST = 0, ACE_OM_EXTRACT = 1 };
enum : int { ACE_SKIP = 0, ACE_TEST = 1 };
// Volume callback modes: 0 asks for a volume that is missing, 1 tells that a volume was opened.
enum : int { ACE_VOL_ASK = 0, ACE_VOL_NOTIFY = 1 };
constexpr int kVolumeNameSize = 4096;

// File header flags.
enum : uint32_t {
    ACE_FLAG_COMMENT = 0x0002,
    ACE_FLAG_CONTINUED = 0x1000, // continued from the previous volume
    ACE_FLAG_CONTINUES = 0x2000, // continued in the next volume
    ACE_FLAG_ENCRYPTED = 0x4000,
    ACE_FLAG_SOLID = 0x8000,
};

using ACEProcessDataProc = std::function<int(unsigned char* addr, int size)>; // 0 stops
// May write another name into arcName (kVolumeNameSize bytes); 0 stops.
using ACEChangeVolProc = std::function<int(char* arcName, int mode)>;

struct ACEOpenArchiveData {
    std::string ArcName; // in: the volume to open
    int OpenMode = ACE_OM_EXTRACT;
    int OpenResult = 0; // out
    ACEProcessDataProc DataProc;
    ACEChangeVolProc VolumeProc;
};

struct ACEHeaderData {
    std::string ArcName;  // the volume holding this header
    std::string FileName; // name bytes as stored (OEM), "\" separated
    uint32_t Flags = 0;
    uint64_t PackSize = 0;
    uint64_t UnpSize = 0;
    uint32_t FileCRC = 0;  // the CRC-32 register without its final inversion
    uint32_t FileTime = 0; // DOS date and time
    uint32_t FileAttr = 0;
    uint32_t HostOS = 0;
    int Type = 0; // 0 stored, 1 ACE 1.0, 2 ACE 2.0
    int Quality = 0;
};

struct AceArchive;
using AceHandle = AceArchive*;

AceHandle ACEOpenArchive(ACEOpenArchiveData* data);
int ACECloseArchive(AceHandle handle);
int ACEReadHeader(AceHandle handle, ACEHeaderData* header);
int ACEProcessFile(AceHandle handle, int operation); // ACE_SKIP or ACE_TEST
void ACESetPassword(AceHandle handle, const char* password);

// The name of the volume after this one ("x.ace" -> "x.c00" -> "x.c01" ... "x.c99" -> "x.d00").
std::string AceNextVolumeName(const std::string& name);

} // namespace mv::unace
