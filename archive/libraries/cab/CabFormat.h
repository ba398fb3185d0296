#pragma once
// Cabinet records as both interfaces of the cabinet library see them, and the
// bounds-checked little-endian helpers they are read and written with.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mv::cab {

constexpr size_t kHeaderSize = 36;
constexpr size_t kFolderSize = 8;
constexpr size_t kFileFixedSize = 16;
constexpr size_t kDataHeaderSize = 8;
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

inline uint16_t Get16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
inline uint32_t Get32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline void Put16(std::vector<uint8_t>& v, uint16_t x) {
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
}
inline void Put32(std::vector<uint8_t>& v, uint32_t x) {
    Put16(v, static_cast<uint16_t>(x));
    Put16(v, static_cast<uint16_t>(x >> 16));
}

} // namespace mv::cab
