#pragma once
// Member headers of LHA/LZH archives, levels 0 to 3, with their extended
// headers (file name, directory name), read with bounds checks from any
// byte source. The lister, the LHA reader and the LHA writer (which copies the
// members of an archive it updates) all walk an archive with ReadLhaHeader.
//
// The lister also checks the header checksum of levels 0 and 1 and the
// "-xxx-" frame of the method, reporting a damaged header (25108); the reader
// and the writer do not, since the data's CRC-16 catches the damage that
// matters to them and old archivers wrote checksums that do not match.
#include "archive/framework/Bytes.h"

#include <cstdint>
#include <string>

namespace mv {

// Reads up to n bytes at absolute position pos; the count read.
using TLhaReadAt = TReadAt;

constexpr uint8_t LhaOsUnix = 'U';

struct TLhaHeader {
    int64_t Offset = 0;     // of the header in the file
    int64_t DataOffset = 0; // of the packed data
    int64_t PackedSize = 0; // data only (level 1: without the extended headers)
    int64_t UnpackedSize = 0;
    int64_t Next = 0;    // where the next header begins
    char Method[6] = {}; // "-lh5-"
    uint8_t Level = 0;
    uint8_t Attribute = 0;    // DOS attribute byte (levels 0, 1)
    uint32_t DosDateTime = 0; // levels 0, 1
    int64_t UnixTime = 0;     // levels 2, 3 (level 1: from its Unix time extension, else 0)
    uint8_t Os = 0;           // the writer's host ('U': Unix, 'M': DOS...); 0 when not stored
    uint32_t UnixMode = 0;    // from the Unix mode extension; 0 when none
    bool HasUnixTime = false; // UnixTime holds the member's date
    uint16_t Crc = 0;         // CRC-16 of the unpacked data
    bool SumOk = true;        // levels 0, 1: the header checksum matches
    std::string RawName;      // directory and file name as stored, directory part ending in "\"
    std::string Name;         // the system's form: UTF-8 with "\" separators

    // The method letter when the method is one of "-lh?-", else 0.
    char MethodLetter() const;
    bool IsDirectory() const { return MethodLetter() == 'd'; }
};

enum class TLhaHeaderStatus {
    lhsOk,
    lhsEnd,              // an end mark (header size 0) or no full header left
    lhsBad,              // malformed header: 25108
    lhsUnsupportedLevel, // a header level above 3: 25328
};

// Reads the header at pos of a file of fileSize bytes.
TLhaHeaderStatus ReadLhaHeader(const TLhaReadAt& readAt, int64_t pos, int64_t fileSize, TLhaHeader& header);

// A stored directory name in the stored form: the separators 0xFF, "/" and "\"
// become "\" (never the second byte of a double-byte character), blanks and
// control characters are trimmed from both ends, and one "\" is appended.
// Empty stays empty.
std::string LhaDirectoryName(const std::string& stored);

} // namespace mv
