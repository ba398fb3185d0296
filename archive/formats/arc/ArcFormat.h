#pragma once
// The records of ARC and PAK archives: a 29-byte header per member (25 bytes
// for the oldest stored form, which has no unpacked size), a 2-byte end mark,
// and PAK's directory records: method 30 opens a directory that the members
// after it belong to, method 31 (a 2-byte record) closes it. The lister and
// the ARC reader read these records only here.
//
// A header whose marker is wrong ends both walks, but the lister reports it
// as a damaged header (25108) while the reader extracts what came before it
// without complaint, as the format's own tools do with trailing junk.
#include <cstddef>
#include <cstdint>
#include <string>

namespace mv {

constexpr uint8_t ArcMarker = 0x1A;
constexpr uint8_t ArcMethodDirStart = 30;
constexpr uint8_t ArcMethodDirEnd = 31;
constexpr size_t ArcHeaderSize = 29;
constexpr size_t ArcOldHeaderSize = 25; // method 1
constexpr size_t ArcDirEndSize = 2;

enum class TArcRecordKind {
    arkEnd,   // method 0: the end of the archive
    arkBad,   // no marker
    arkShort, // fewer bytes than the record needs
    arkMember,
    arkDirStart, // a directory record: Name opens a directory
    arkDirEnd,   // the end of the current directory (ArcDirEndSize bytes)
};

struct TArcRecord {
    TArcRecordKind Kind = TArcRecordKind::arkBad;
    uint8_t Method = 0;
    std::string Name; // as stored (OEM), at most 12 characters
    int64_t PackedSize = 0;
    int64_t UnpackedSize = 0;
    uint32_t DosDateTime = 0;
    uint16_t Crc = 0; // CRC-16 of the unpacked data
    int64_t HeaderSize = 0;
};

// Reads the record at the start of h, of which `available` bytes were read.
TArcRecord ReadArcRecord(const uint8_t* h, size_t available);

// The directory path without its last component ("a\b\" gives "a\").
std::string ArcParentFolder(const std::string& path);

} // namespace mv
