#pragma once
// Cabinet records: the fixed header ("MSCF"), the optional reserve sizes, the
// names of the previous and next cabinets, the folder records and the file
// records, each name NUL-ended and at most 255 bytes. The cabinet library (its
// reading and its writing side) and the lister read and write them through
// these helpers, every field from a buffer whose size is checked.
#include "archive/framework/Bytes.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mv::cab {

constexpr size_t kHeaderSize = 36;
constexpr size_t kFolderSize = 8;
constexpr size_t kFileFixedSize = 16;
constexpr size_t kDataHeaderSize = 8;
constexpr size_t kMaxNameSize = 255;
constexpr uint32_t kFrameSize = 32768;

constexpr uint16_t kFlagPrevCabinet = 0x0001;
constexpr uint16_t kFlagNextCabinet = 0x0002;
constexpr uint16_t kFlagReserve = 0x0004;

constexpr uint16_t kFolderContinuedFromPrev = 0xFFFD;
constexpr uint16_t kFolderContinuedToNext = 0xFFFE;
constexpr uint16_t kFolderContinuedPrevAndNext = 0xFFFF;

constexpr uint16_t kAttrNameIsUtf8 = 0x80;

struct TCabFolderRecord {
    uint32_t dataOffset = 0;
    uint16_t blockCount = 0;
    uint16_t compression = 0;
};

struct TCabFileRecord {
    uint32_t size = 0;
    uint32_t folderOffset = 0;
    uint16_t folder = 0;
    uint16_t date = 0;
    uint16_t time = 0;
    uint16_t attribs = 0;
    std::string name;
};

struct TCabHeader {
    uint32_t cabinetSize = 0;
    uint32_t filesOffset = 0;
    uint8_t versionMinor = 0;
    uint8_t versionMajor = 0;
    uint16_t folderCount = 0;
    uint16_t fileCount = 0;
    uint16_t flags = 0;
    uint16_t setID = 0;
    uint16_t iCabinet = 0;
    uint16_t reserveHeader = 0;
    uint8_t reserveFolder = 0;
    uint8_t reserveData = 0;
    std::string prevCabinet, prevDisk, nextCabinet, nextDisk;
    std::vector<TCabFolderRecord> folders;
    std::vector<TCabFileRecord> files;
};

// The fixed header from its kHeaderSize bytes: false when they are no cabinet.
bool ReadCabFixedHeader(const uint8_t* fixed, TCabHeader& h);

// What follows the fixed header up to the folder records' end: the reserve
// sizes, the cabinet names and the folder records, read from p[kHeaderSize,
// end) of the cabinet's first bytes. False when they run past end. at is left
// after the last folder record.
bool ReadCabPrelude(const uint8_t* p, size_t end, TCabHeader& h, size_t& at);

// One file record at p[at, end): its fixed part and its name; at moves past it.
// False when it runs past end or the name is longer than kMaxNameSize.
bool ReadCabFileRecord(const uint8_t* p, size_t end, size_t& at, TCabFileRecord& f);

// Little-endian fields appended to a record being written.
inline void Put16(std::vector<uint8_t>& v, uint16_t x) {
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
}
inline void Put32(std::vector<uint8_t>& v, uint32_t x) {
    Put16(v, static_cast<uint16_t>(x));
    Put16(v, static_cast<uint16_t>(x >> 16));
}

} // namespace mv::cab
