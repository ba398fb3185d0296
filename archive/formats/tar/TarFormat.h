#pragma once
// The records of tar archives: 512-byte header blocks (v7, ustar, GNU) with
// their number fields, and the records that carry a long name or pax values
// for the member after them. The lister, the TAR reader and the TAR writer
// read and check these records only here.
//
// The lister and the reader walk the same records but answer a damaged header
// differently on purpose: the lister reports the first header that fails its
// checksum (25108) and ends, because a listing must show that the archive is
// damaged; the reader passes over it block by block and extracts every member
// it can still find. Both take a member's name, size and time from here, so
// what the lister shows is what the reader extracts.
#include <cstddef>
#include <cstdint>
#include <string>

namespace mv {

constexpr int64_t TarBlockSize = 512;
// Long names and pax records larger than this are no names: the reader passes
// over them, the lister reports a damaged header.
constexpr int64_t TarMaxRecord = int64_t(1) << 20;

// A number field: octal digits with blanks or NULs around them, or GNU base-256
// (first byte 0x80, then the value big-endian). -1 when the field holds no
// number, a negative one or one past 2^63 - 1.
int64_t TarNumber(const uint8_t* field, size_t n);

// True when all 512 bytes are zero (the end blocks).
bool TarIsZeroBlock(const uint8_t* block);

// The header block's checksum: the sum of its bytes with the checksum field
// counted as blanks, unsigned or (as some old tars wrote it) signed.
// storedSum: the checksum field's value (-1 when it is no number).
bool TarChecksumMatches(const uint8_t* block, int64_t* storedSum = nullptr);

// Writes the checksum of a header block whose other fields are set: six octal
// digits right-aligned with leading blanks, a NUL and a blank.
void WriteTarChecksum(uint8_t* block);

// Record types.
constexpr char TarTypeRegular = '0';
constexpr char TarTypeHardLink = '1';
constexpr char TarTypeFolder = '5';
constexpr char TarTypeContiguous = '7';
constexpr char TarTypeLongName = 'L'; // GNU: the next member's name
constexpr char TarTypeLongLink = 'K'; // GNU: the next member's link target
constexpr char TarTypePax = 'x';      // pax values for the next member
constexpr char TarTypePaxGlobal = 'g';

// Records that describe the next member instead of being one (long names, pax
// values) or that describe the archive (global pax values, volume labels, the
// continuation of a multi-volume member).
bool TarIsMetaRecord(char type);
// Regular files, old-style files (type NUL), contiguous files and hard links:
// the members the reader extracts and the lister reports.
bool TarIsFileMember(char type);

// One header block with what the records before it said about it applied.
struct TTarHeader {
    char Type = TarTypeRegular;
    std::string Name;     // as stored: "/" separators, not trimmed, no code-page conversion
    std::string LinkName; // hard and symbolic links: the target
    int64_t Size = 0;     // the size field (or the pax size); hard links repeat their target's size
    int64_t MTime = -1;   // Unix time; -1 when the field holds no number
    int64_t Mode = -1;    // the mode field's permission bits; -1 when it holds no number
    int64_t Checksum = 0; // the stored checksum's value
    bool SizeValid = true;

    // The bytes of data that follow the block, and those rounded up to whole blocks.
    int64_t DataSize() const;
    int64_t PaddedSize() const { return (DataSize() + TarBlockSize - 1) / TarBlockSize * TarBlockSize; }
};

// What long-name and pax records said about the next member. Take() collects
// a record's data; Apply() fills a header from it and forgets it.
struct TTarPending {
    std::string LongName, LongLink, PaxPath, PaxLink;
    int64_t PaxSize = -1, PaxMTime = -1;

    void Take(char type, const std::string& data);
    void Apply(TTarHeader& header);
    void Clear() { *this = TTarPending{}; }
};

// Reads the fields of a header block whose checksum matched. The name is the
// name field, behind the ustar prefix when there is one (the GNU "ustar  "
// magic keeps other fields in that area).
TTarHeader ReadTarHeader(const uint8_t* block);

// pax records ("length key=value\n" each): path, linkpath, size and mtime.
void ParseTarPax(const std::string& data, TTarPending& pending);

} // namespace mv
