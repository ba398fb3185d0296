#pragma once
// The headers of ARJ archives: id 0xEA60, the size of the basic header (0 ends
// the archive), the basic header, its CRC-32, then extended headers (size, data
// and CRC each) until a size of 0. The main header and every member's local
// header share this frame. The lister and the ARJ reader read them through
// ReadArjHeader; each tells its own users what a failure means (the lister a
// damaged or a cut-short archive, the reader its read, header and CRC errors).
#include "archive/framework/Bytes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace mv {

constexpr uint16_t ArjHeaderId = 0xEA60;
constexpr uint16_t ArjMaxBasicSize = 2600;
constexpr size_t ArjFrameSize = 4;            // id and size
constexpr size_t ArjMinLocalSize = 30;        // a member's basic header
constexpr size_t ArjMinMainSize = 11;         // the main header's fields the walks use
constexpr int ArjMaxExtendedHeaders = 64;     // more (beyond one) is no archive an archiver wrote
constexpr int64_t ArjMainSearchLimit = 25000; // the main header stands within these bytes

// Flags of the basic header.
constexpr uint8_t ArjFlagGarbled = 0x01;
constexpr uint8_t ArjFlagVolume = 0x04;  // the member (or, in the main header, the archive) goes on
constexpr uint8_t ArjFlagExtFile = 0x08; // the member began in an earlier volume
// Hosts and file types.
constexpr uint8_t ArjHostUnix = 2;
constexpr uint8_t ArjTypeFolder = 3;

// A basic header. The accessors read fields a member's header has (a caller
// checks Basic.size() >= ArjMinLocalSize first; the main header's callers use
// only the first ArjMinMainSize bytes).
struct TArjHeader {
    std::vector<uint8_t> Basic;
    int64_t DataPos = 0; // the first byte after the header and its extended headers

    size_t Size() const { return Basic.size(); }
    uint8_t FirstSize() const { return Basic[0]; }
    uint8_t ArjVersion() const { return Basic[1]; }
    uint8_t MinVersion() const { return Basic[2]; }
    uint8_t Host() const { return Basic[3]; }
    uint8_t Flags() const { return Basic[4]; }
    uint8_t Method() const { return Basic[5]; }
    uint8_t FileType() const { return Basic[6]; }
    uint8_t PasswordModifier() const { return Basic[7]; }
    uint32_t DateTime() const { return LE32(Basic.data() + 8); }
    uint32_t Packed() const { return LE32(Basic.data() + 12); }
    uint32_t Unpacked() const { return LE32(Basic.data() + 16); }
    uint32_t Crc() const { return LE32(Basic.data() + 20); }
    uint16_t Mode() const { return Basic.size() >= 28 ? LE16(Basic.data() + 26) : 0; }
    // The stored name: from the end of the first header part to its NUL.
    std::string Name() const;
};

enum class TArjHeaderStatus {
    ahOk,
    ahEnd,         // a basic header size of 0: the end of the archive
    ahBadFrame,    // no header id, or a size over ArjMaxBasicSize
    ahShort,       // the file ends inside the header
    ahBadCrc,      // the basic header's CRC does not match
    ahBadExtended, // too many extended headers, or they run past the file
};

// Reads the header at pos of a file of fileSize bytes.
TArjHeaderStatus ReadArjHeader(const TReadAt& readAt, int64_t pos, int64_t fileSize, TArjHeader& header);

} // namespace mv
