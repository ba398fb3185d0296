#pragma once
// The member header of gzip files: a 10-byte fixed part (magic, method, flags,
// Unix time, extra flags, host), then the optional fields its flags announce
// (extra field, NUL-ended name and comment, header CRC), and an 8-byte trailer
// (CRC-32 and size) after the data. The .Z (compress), pack and SCO LZH files
// share the first two bytes' 0x1F and have no header of this kind. The lister,
// the gzip reader and the gzip writer (which lists the file it replaces) read
// the header through ReadGZipHeader.
#include "archive/framework/Bytes.h"

#include <cstdint>
#include <string>

namespace mv {

constexpr uint16_t GZipMagic = 0x8B1F;     // 1F 8B
constexpr uint16_t GZipOldMagic = 0x9E1F;  // 1F 9E: gzip's older magic
constexpr uint16_t CompressMagic = 0x9D1F; // 1F 9D: .Z
constexpr size_t GZipHeaderSize = 10;
constexpr size_t GZipTrailerSize = 8;
constexpr uint8_t GZipMethodDeflate = 8;

constexpr uint8_t GZipFlagHeaderCrc = 0x02;
constexpr uint8_t GZipFlagExtra = 0x04;
constexpr uint8_t GZipFlagName = 0x08;
constexpr uint8_t GZipFlagComment = 0x10;
constexpr uint8_t GZipFlagEncrypted = 0x20;
constexpr uint8_t GZipFlagReserved = 0xC0;

// The most of a name or comment kept; the field may be longer.
constexpr size_t GZipMaxText = 0xFFFF;
// What the lister and the reader take of a stored name: the first 255 bytes,
// a name's length limit on the systems that write gzip files.
constexpr size_t GZipNameKept = 255;

// True for the two magics that have this header.
constexpr bool HasGZipHeader(uint16_t magic) {
    return magic == GZipMagic || magic == GZipOldMagic;
}

struct TGZipHeader {
    uint16_t Magic = 0;
    uint8_t Method = 0;
    uint8_t Flags = 0;
    uint32_t MTime = 0;     // Unix time; 0 when not stored
    uint8_t ExtraFlags = 0; // deflate: 2 the best compression, 4 the fastest
    std::string Name;       // the stored name (at most GZipMaxText bytes); empty when none
    int64_t DataPos = 0;    // where the packed data begins
};

enum class TGZipHeaderStatus {
    ghOk,
    ghShort, // the file ends inside the header
};

// Reads the member header at pos of a file of fileSize bytes (the magic is the
// caller's to check).
TGZipHeaderStatus ReadGZipHeader(const TReadAt& readAt, int64_t pos, int64_t fileSize, TGZipHeader& header);

// Writes the fixed part (GZipHeaderSize bytes) of a deflated member's header
// whose optional fields the flags announce.
void PutGZipHeader(uint8_t* out, uint8_t flags, uint32_t mtime, uint8_t extraFlags, uint8_t host);

} // namespace mv
