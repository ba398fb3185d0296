#pragma once
// The records of ZOO archives: the archive header (its text, the tag, the
// offset of the first entry and that offset's negation as a check, the archive
// comment) and the directory entries chained by their next-entry offsets, each
// with an optional variable part holding a long name and a directory. The
// lister and the ZOO reader read these records only here.
//
// The lister reports the archive comment and each entry's comment and, with
// ShowBlankDirs, nothing more; the reader has no use for comments. A damaged
// entry ends both walks with the same error.
#include <cstddef>
#include <cstdint>
#include <string>

namespace mv {

constexpr uint32_t ZooTag = 0xFDC4A7DCu;
constexpr size_t ZooArchiveHeaderSize = 34; // up to the first entry's offset and its check
constexpr size_t ZooEntryFixedSize = 56;    // without the lengths of the variable part
constexpr size_t ZooEntrySize = 58;         // with them

struct TZooArchiveHeader {
    int64_t FirstEntry = 0;
    int64_t CommentPos = 0;     // 0 without a comment
    uint16_t CommentLength = 0; // read when the header bytes reach it (41 bytes)
};

// Reads the archive header of which n bytes were read. False when the tag or
// the check of the first entry's offset is wrong.
bool ReadZooArchiveHeader(const uint8_t* h, size_t n, TZooArchiveHeader& header);

struct TZooEntry {
    uint8_t Type = 0; // 2: with a variable part
    uint8_t Method = 0;
    int64_t Next = 0; // 0: the end entry, which carries no member
    int64_t DataOffset = 0;
    uint32_t DosDateTime = 0;
    uint16_t Crc = 0; // CRC-16 of the unpacked data
    int64_t UnpackedSize = 0;
    int64_t PackedSize = 0;
    uint8_t VersionMajor = 0, VersionMinor = 0;
    bool Deleted = false;
    int64_t CommentPos = 0;
    uint16_t CommentLength = 0;
    std::string ShortName;
    uint8_t NameLength = 0, DirLength = 0; // the variable part (Type 2, when read)

    bool HasVariablePart() const { return Type == 2 && NameLength + DirLength > 0; }
};

// Reads the entry of which n bytes were read (ZooEntryFixedSize at least; the
// variable part's lengths when n reaches ZooEntrySize). False on a wrong tag.
bool ReadZooEntry(const uint8_t* e, size_t n, TZooEntry& entry);

// The entry's stored path: its directory (with "\" separators) and its long
// name, or its short name when it has no long one. `variable` holds the
// NameLength + DirLength bytes of the variable part (or nothing).
std::string ZooEntryPath(const TZooEntry& entry, const uint8_t* variable);

} // namespace mv
