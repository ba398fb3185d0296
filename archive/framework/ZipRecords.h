#pragma once
// The records of the ZIP format as the archive components read and write them:
// local file header (30 bytes), central directory record (46), end of central
// directory record (22), the data descriptor and the spanning marker ("PK" 7 8).
// JAR archives use the same records. All values are little-endian and are read
// and written field by field from byte buffers whose size is always checked.
//
// Zip64 is not supported: a record that needs it (a size, offset or count at
// its 0xFFFF... escape value, or a Zip64 end record) is recognised and reported
// as such so that the caller refuses it clearly (25256) instead of misreading it.
#include "archive/framework/Bytes.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace mv {

// --- Signatures and sizes ---

constexpr uint32_t ZipLocalSignature = 0x04034B50;     // "PK" 3 4
constexpr uint32_t ZipCentralSignature = 0x02014B50;   // "PK" 1 2
constexpr uint32_t ZipEndSignature = 0x06054B50;       // "PK" 5 6
constexpr uint32_t ZipSpanSignature = 0x08074B50;      // "PK" 7 8: spanning marker and data descriptor
constexpr uint32_t Zip64EndSignature = 0x06064B50;     // "PK" 6 6
constexpr uint32_t Zip64LocatorSignature = 0x07064B50; // "PK" 6 7
constexpr size_t ZipLocalHeaderSize = 30;
constexpr size_t ZipCentralRecordSize = 46;
constexpr size_t ZipEndRecordSize = 22;
constexpr size_t Zip64LocatorSize = 20;
constexpr size_t ZipMaxCommentLength = 65535;
// The largest end-record search window: the record and the longest comment.
constexpr size_t ZipMaxEndWindow = ZipEndRecordSize + ZipMaxCommentLength;

// General-purpose flag bits.
constexpr uint16_t ZipFlagEncrypted = 0x0001;
constexpr uint16_t ZipFlagDeflateBits = 0x0006;
constexpr uint16_t ZipFlagDataDescriptor = 0x0008;
constexpr uint16_t ZipFlagUtf8 = 0x0800;

// "Version made by": the host in the high byte. Unix hosts (and OS X, a Unix)
// keep the file's mode in the high 16 bits of the external attributes.
constexpr uint8_t ZipHostUnix = 3;
constexpr uint8_t ZipHostOsX = 19;
constexpr bool ZipUnixHost(uint16_t versionMadeBy) {
    return (versionMadeBy >> 8) == ZipHostUnix || (versionMadeBy >> 8) == ZipHostOsX;
}
// What this system writes as "version made by": Unix, specification 2.0.
constexpr uint16_t ZipMadeByUnix = (uint16_t(ZipHostUnix) << 8) | 20;
// External attributes of a file with Unix permission bits `mode`: the regular-file
// mode in the high word, the DOS attributes in the low byte.
constexpr uint32_t ZipUnixAttributes(uint32_t dosAttributes, uint32_t mode, bool folder = false) {
    return ((folder ? 0040000u : 0100000u) | (mode & 0777u)) << 16 | (dosAttributes & 0xFFu);
}

// Methods this system writes.
constexpr uint16_t ZipMethodStored = 0;
constexpr uint16_t ZipMethodDeflated = 8;

// The deflate level in flag bits 1-2: level 1 gives 0x06, 2 gives 0x04, 9 gives
// 0x02, every other level 0.
uint16_t ZipDeflateFlagBits(int level);

// --- Records ---

struct TZipLocalHeader {
    uint32_t Signature = ZipLocalSignature;
    uint16_t VersionNeeded = 0;
    uint16_t Flags = 0;
    uint16_t Method = 0;
    uint32_t DosDateTime = 0; // DOS time in the low word, date in the high word
    uint32_t Crc32 = 0;
    uint32_t CompressedSize = 0; // includes the 12-byte encryption header
    uint32_t UncompressedSize = 0;
    uint16_t NameLength = 0;
    uint16_t ExtraLength = 0;
};

struct TZipCentralRecord {
    uint32_t Signature = ZipCentralSignature;
    uint16_t VersionMadeBy = 0;
    uint16_t VersionNeeded = 0;
    uint16_t Flags = 0;
    uint16_t Method = 0;
    uint32_t DosDateTime = 0;
    uint32_t Crc32 = 0;
    uint32_t CompressedSize = 0;
    uint32_t UncompressedSize = 0;
    uint16_t NameLength = 0;
    uint16_t ExtraLength = 0;
    uint16_t CommentLength = 0;
    uint16_t DiskNumberStart = 0;
    uint16_t InternalAttributes = 0;
    uint32_t ExternalAttributes = 0;
    uint32_t LocalHeaderOffset = 0;
};

struct TZipEndRecord {
    uint32_t Signature = ZipEndSignature;
    uint16_t ThisDisk = 0;
    uint16_t CentralDisk = 0;
    uint16_t EntriesOnDisk = 0;
    uint16_t EntriesTotal = 0;
    uint32_t CentralSize = 0;
    uint32_t CentralOffset = 0;
    uint16_t CommentLength = 0;
};

// The data descriptor after an entry's data when flag bit 3 is set, with or
// without its "PK" 7 8 signature.
struct TZipDataDescriptor {
    bool HasSignature = true;
    uint32_t Crc32 = 0;
    uint32_t CompressedSize = 0;
    uint32_t UncompressedSize = 0;
    size_t Size() const { return HasSignature ? 16 : 12; }
};

enum class TZipRecordStatus {
    zrOk,
    zrShort,        // fewer bytes than the record needs
    zrBadSignature, // the bytes are not this record
    zrZip64,        // the record is read, but its values need Zip64 (refuse: 25256)
};

// Decode a record from the first bytes of buffer[0, size). The record is
// filled whenever the status is zrOk or zrZip64.
TZipRecordStatus ReadZipLocalHeader(const uint8_t* buffer, size_t size, TZipLocalHeader& header);
TZipRecordStatus ReadZipCentralRecord(const uint8_t* buffer, size_t size, TZipCentralRecord& record);
TZipRecordStatus ReadZipEndRecord(const uint8_t* buffer, size_t size, TZipEndRecord& record);
// hasSignature: read the descriptor with its signature (an error when absent);
// without it the 12 bytes are taken as they stand.
TZipRecordStatus ReadZipDataDescriptor(const uint8_t* buffer, size_t size, bool hasSignature,
                                       TZipDataDescriptor& descriptor);

// Encode a record into out, which holds at least its size.
void WriteZipLocalHeader(const TZipLocalHeader& header, uint8_t out[ZipLocalHeaderSize]);
void WriteZipCentralRecord(const TZipCentralRecord& record, uint8_t out[ZipCentralRecordSize]);
void WriteZipEndRecord(const TZipEndRecord& record, uint8_t out[ZipEndRecordSize]);
void WriteZipDataDescriptor(const TZipDataDescriptor& descriptor, uint8_t* out);

// True when a value cannot be stored without Zip64 (sizes and offsets of 4 GiB
// or more, counts of 65535 or more): writers refuse such entries (25256).
inline bool NeedsZip64(uint64_t sizeOrOffset) {
    return sizeOrOffset >= 0xFFFFFFFFull;
}
inline bool NeedsZip64Count(uint64_t count) {
    return count >= 0xFFFFull;
}

// The UTF-8 form of a name that a writer stored beside its code-page form (extra
// field 0x7075); taken only while it belongs to the name as stored (its CRC-32).
bool ZipUnicodePathExtra(const uint8_t* extra, size_t size, const std::string& raw, std::string& utf8);

// The modification time (seconds since 1970) of an extended timestamp (extra
// field 0x5455) when it holds one; false otherwise.
bool ZipUnixTimeExtra(const uint8_t* extra, size_t size, int64_t& mtime);

} // namespace mv
