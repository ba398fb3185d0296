#pragma once
// The records of RAR archives: the marker of both generations, the blocks of
// RAR 1.5 to 4 (a 7-byte base of CRC, type, flags and size, then the block's
// own fields) and the headers of RAR 5 (CRC-32, a variable-length size, then
// fields in variable-length numbers with an extra area at the end). The lister
// and the RAR library read them through these parsers; both read every field
// from a buffer whose size is checked.
//
// The lister and the library treat a few fields differently on purpose: the
// library checks the CRC of every file block (it extracts the data the header
// describes) while the lister checks only blocks of version 2.0 on without a
// file comment (older archivers wrote sums it cannot verify); and the library
// takes a RAR 5 file's time from the times record when there is one, the lister
// from the base header first, as it has always listed it.
#include <cstddef>
#include <cstdint>
#include <string>

namespace mv {

// --- Markers ---

constexpr size_t RarMarkSize = 7;  // "Rar!" 1A 07 00
constexpr size_t Rar5MarkSize = 8; // "Rar!" 1A 07 01 00
// The kind of marker at p (n bytes there): 4 for RAR 1.5-4, 5 for RAR 5, 0 for none.
int RarMarkAt(const uint8_t* p, size_t n);

// --- RAR 1.5 to 4 ---

constexpr size_t RarBlockBaseSize = 7;
constexpr size_t RarMainHeaderSize = 13;
constexpr size_t RarFileHeaderMinSize = 32;

constexpr uint8_t RarMainBlock = 0x73;
constexpr uint8_t RarFileBlock = 0x74;
constexpr uint8_t RarSubBlock = 0x7A;
constexpr uint8_t RarEndBlock = 0x7B;

// Main header flags.
constexpr uint16_t RarMainVolume = 0x0001;
constexpr uint16_t RarMainSolid = 0x0008;
constexpr uint16_t RarMainNewNumbering = 0x0010;
constexpr uint16_t RarMainEncryptedHeaders = 0x0080;
// Block flags (file blocks and others).
constexpr uint16_t RarFileSplitBefore = 0x0001;
constexpr uint16_t RarFileSplitAfter = 0x0002;
constexpr uint16_t RarFileEncrypted = 0x0004;
constexpr uint16_t RarFileComment = 0x0008;
constexpr uint16_t RarFileSolid = 0x0010;
constexpr uint16_t RarFileDirectoryMask = 0x00E0;
constexpr uint16_t RarFileLarge = 0x0100;
constexpr uint16_t RarFileUnicode = 0x0200;
constexpr uint16_t RarFileSalt = 0x0400;
constexpr uint16_t RarBlockLongData = 0x8000;
// End block flags.
constexpr uint16_t RarEndNextVolume = 0x0001;

// The base of every block: CRC (low word of a CRC-32), type, flags, size.
struct TRarBlockBase {
    uint16_t HeadCrc = 0;
    uint8_t Type = 0;
    uint16_t Flags = 0;
    uint16_t HeadSize = 0;
};
// Decodes the RarBlockBaseSize bytes at p.
TRarBlockBase ReadRarBlockBase(const uint8_t* p);

// The main header (RarMainHeaderSize bytes at p after the marker): false when it
// is not one.
bool ReadRarMainHeader(const uint8_t* p, uint16_t& flags, uint16_t& headSize);

// What a block carries after its header: the packed data of a file block, the
// data of a block with RarBlockLongData; 0 for the rest. The header h holds
// size bytes (at least RarBlockBaseSize).
uint32_t RarBlockDataSize(const uint8_t* h, size_t size);

// The CRC of a file block: the low word of the CRC-32 of the header after the
// CRC field; a block with a file comment (RAR 1.5-2) may carry it over the
// header up to the name's end instead.
bool RarFileHeaderCrcMatches(const uint8_t* h, size_t size);

struct TRarFileHeader {
    uint16_t Flags = 0;
    uint64_t PackSize = 0;
    uint64_t UnpSize = 0;
    uint8_t HostOS = 0;
    uint32_t FileCrc = 0;
    uint32_t FileTime = 0; // DOS date and time
    uint8_t UnpVer = 0;
    uint8_t Method = 0;
    uint32_t Attr = 0;
    std::string NameField;   // the name field as stored
    std::string Name;        // the stored name up to its NUL (OEM, or UTF-8 from Unix hosts)
    std::string UnicodeName; // RarFileUnicode: the Unicode form packed after the NUL, decoded to UTF-8
    bool NameHasNul = false; // a NUL stands in the name field
    bool HasSalt = false;
    uint8_t Salt[8] = {};
    bool IsDirectory() const { return (Flags & RarFileDirectoryMask) == RarFileDirectoryMask; }
};

// Reads a file block from its whole header h (size bytes): false when the fields
// do not fit the header.
bool ReadRarFileHeader(const uint8_t* h, size_t size, TRarFileHeader& file);

// RAR 2.x/3.x Unicode names: the Unicode form packed against the OEM name (a high
// byte, then per character 2-bit opcodes), decoded to UTF-8. Empty when enc is.
std::string DecodeRarUnicodeName(const uint8_t* name, size_t nameLen, const uint8_t* enc, size_t encSize);

// --- RAR 5 ---

constexpr uint32_t Rar5MaxHeaderSize = 0x200000;
constexpr uint64_t Rar5MainHeader = 1;
constexpr uint64_t Rar5FileHeader = 2;
constexpr uint64_t Rar5ServiceHeader = 3;
constexpr uint64_t Rar5CryptHeader = 4;
constexpr uint64_t Rar5EndHeader = 5;
// General header flags.
constexpr uint64_t Rar5HasExtra = 0x01;
constexpr uint64_t Rar5HasData = 0x02;
constexpr uint64_t Rar5SplitBefore = 0x08;
constexpr uint64_t Rar5SplitAfter = 0x10;
// File header flags.
constexpr uint64_t Rar5FileDirectory = 0x01;
constexpr uint64_t Rar5FileHasTime = 0x02;
constexpr uint64_t Rar5FileHasCrc = 0x04;
constexpr uint64_t Rar5FileUnknownSize = 0x08;
// Main header flags.
constexpr uint64_t Rar5ArchiveVolume = 0x01;
constexpr uint64_t Rar5ArchiveSolid = 0x04;
// Extra records of a file header.
constexpr uint64_t Rar5ExtraCrypt = 1;
constexpr uint64_t Rar5ExtraTime = 3;

// The start of a header: the size of the part after CRC and size field (Size)
// and the length of CRC and size field (Prefix). False when n bytes at p do not
// hold a size.
bool ReadRar5HeaderSize(const uint8_t* p, size_t n, uint64_t& size, size_t& prefix);

// The general fields of a whole header h (size bytes, CRC included).
struct TRar5Header {
    uint32_t Crc = 0;
    uint64_t Type = 0;
    uint64_t Flags = 0;
    uint64_t ExtraSize = 0;
    uint64_t DataSize = 0;
    size_t FieldsAt = 0; // where the type's own fields begin
    size_t ExtraAt = 0;  // where the extra area begins (size - ExtraSize)
    bool CrcMatches = false;
};
// False when the general fields do not fit the header or the extra area
// overlaps them.
bool ReadRar5Header(const uint8_t* h, size_t size, TRar5Header& header);

// The encryption fields of a file's crypt record or of the archive crypt header.
struct TRar5Crypt {
    uint64_t Version = 0;
    uint64_t Flags = 0; // 0x01: a password check follows; 0x02: checksums are MACs
    uint8_t Lg2Count = 0;
    uint8_t Salt[16] = {};
    uint8_t Iv[16] = {}; // files only
    bool CheckPresent = false;
    uint8_t Check[12] = {};
    bool Complete = false; // every field was there and the version is known
};

struct TRar5File {
    uint64_t FileFlags = 0;
    uint64_t UnpSize = 0;
    uint64_t Attributes = 0;
    uint32_t MTime = 0; // Rar5FileHasTime: Unix time
    uint32_t Crc = 0;   // Rar5FileHasCrc
    uint64_t CompInfo = 0;
    uint64_t HostOS = 0; // 0 Windows, 1 Unix
    std::string Name;    // UTF-8, "/" separators
    size_t NameEnd = 0;  // where the name ends in the header
    bool Encrypted = false;
    TRar5Crypt Crypt;
    bool HasExtraTime = false;
    int64_t ExtraTime = -1; // the times record's modification time (Unix; may be before 1970)
};
// The file fields of a file or service header read by ReadRar5Header: false
// when they run past the header. The extra records are read as far as they are
// well formed.
bool ReadRar5File(const uint8_t* h, size_t size, const TRar5Header& header, TRar5File& file);

// The archive crypt header's fields (headers after it are encrypted).
bool ReadRar5CryptHeader(const uint8_t* h, size_t size, const TRar5Header& header, TRar5Crypt& crypt);

} // namespace mv
