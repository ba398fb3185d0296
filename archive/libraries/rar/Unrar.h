#pragma once
// Our RAR library: the calls, records, callbacks and result codes the RAR reader
// uses to list, test and extract RAR archives (RAR 1.5 to 4.x and RAR5, solid,
// multi-volume, AES encrypted). Decoding is done by our own decompressors
// (RarUnpack); archive walking, volumes and decryption live here.
//
// Usage, per archive: RAROpenArchive, RARSetProcessDataProc / RARSetChangeVolProc,
// then RARReadHeader before each member and RARProcessFile for it (skip it, or
// decode it into the data callback), RARSetPassword before processing an
// encrypted member, RARCloseArchive. The callbacks are function objects that
// carry their caller; the volumes are read through the platform's file system.
// Where decoded bytes go is the caller's business: the library writes no file.
#include <cstdint>
#include <functional>
#include <string>

namespace mv::unrar {

// Result codes.
enum : int {
    RAR_SUCCESS = 0,
    ERAR_END_ARCHIVE = 10,
    ERAR_NO_MEMORY = 11,
    ERAR_BAD_DATA = 12,
    ERAR_BAD_ARCHIVE = 13,
    ERAR_UNKNOWN_FORMAT = 14, // also: a compression or encryption method we cannot decode
    ERAR_EOPEN = 15,
    ERAR_ECREATE = 16,
    ERAR_ECLOSE = 17,
    ERAR_EREAD = 18,
    ERAR_EWRITE = 19,
    ERAR_BROKEN_VOLUMES = 21, // a volume was refused or cannot be found
    ERAR_BAD_PASSWORD = 22,   // password missing or wrong
};

// Open modes and operations. An archive opened for listing only walks headers:
// skipping a member never decodes it, even in a solid archive.
enum : int { RAR_OM_LIST = 0, RAR_OM_EXTRACT = 1 };
enum : int { RAR_SKIP = 0, RAR_TEST = 1 };
// Volume callback modes: 0 asks for a volume that is missing, 1 tells that a volume was opened.
enum : int { RAR_VOL_ASK = 0, RAR_VOL_NOTIFY = 1 };
// Size of the volume name buffer handed to the volume callback (a full path fits).
constexpr int kVolumeNameSize = 4096;

// Header flags as RAR 1.5-4 defines them (RAR5 members are mapped onto them).
enum : uint32_t {
    RHDF_SPLITBEFORE = 0x01,
    RHDF_SPLITAFTER = 0x02,
    RHDF_ENCRYPTED = 0x04,
    RHDF_SOLID = 0x10,
    RHDF_DIRECTORY = 0xE0,
};

// How the member's data check works.
enum : int {
    kCrcPlain = 0,     // FileCRC is the CRC-32 of the data; the caller can compare
    kCrcByLibrary = 1, // the library checks the data (FileCRC is a keyed form, or the member is
                       // split over volumes and its last part holds the CRC)
    kCrcNone = 2,      // no CRC-32 stored (RAR5 with another hash); nothing to compare
};

struct RAROpenArchiveData {
    std::string ArcName; // in: the volume to open
    int OpenMode = RAR_OM_EXTRACT;
    int OpenResult = 0; // out
    char* CmtBuf = nullptr;
    unsigned CmtBufSize = 0;
};

struct RARHeaderData {
    std::string ArcName;   // the volume holding this header
    std::string FileName;  // name bytes as stored (OEM for RAR 1.5-4 without Unicode), "\" separated
    std::string FileNameW; // UTF-8 name when the archive gives it (Unicode names, RAR5, Unix UTF-8)
    uint32_t Flags = 0;
    uint64_t PackSize = 0;
    uint64_t UnpSize = 0;
    uint32_t HostOS = 0; // 0 MS-DOS, 1 OS/2, 2 Windows, 3 Unix, 4 Mac OS, 5 BeOS
    uint32_t FileCRC = 0;
    uint32_t FileTime = 0; // DOS date and time, local time
    uint32_t UnpVer = 0;
    uint32_t Method = 0;
    uint32_t FileAttr = 0;
    int CrcKind = kCrcPlain;
};

// The volume callback may write another name into arcName (kVolumeNameSize bytes); 0 ends the set.
using RARChangeVolProc = std::function<int(char* arcName, int mode)>;
// Takes size decoded bytes; 0 or -1 stops the member.
using RARProcessDataProc = std::function<int(unsigned char* addr, int size)>;

struct RarArchive; // the open archive behind a handle
using RarHandle = RarArchive*;

RarHandle RAROpenArchive(RAROpenArchiveData* data);
int RARCloseArchive(RarHandle handle);
int RARReadHeader(RarHandle handle, RARHeaderData* header);
int RARProcessFile(RarHandle handle, int operation); // RAR_SKIP or RAR_TEST
void RARSetChangeVolProc(RarHandle handle, RARChangeVolProc proc);
void RARSetProcessDataProc(RarHandle handle, RARProcessDataProc proc);
void RARSetPassword(RarHandle handle, const char* password);

// The name the next volume of a set would have ("x.part1.rar" -> "x.part2.rar",
// "x.rar" -> "x.r00" -> "x.r01").
std::string RarNextVolumeName(const std::string& name, bool newNumbering);

} // namespace mv::unrar
