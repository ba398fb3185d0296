#pragma once
// The blocks of ACE archives: a 16-bit header CRC (the low word of the CRC-32
// register over the header, without its final inversion), a 16-bit header
// size, then the header from its type on: type, flags, and, when flag 1 says
// so, the size of the data after the header (64-bit in the wide blocks of ACE
// 2). Block 0 is the main header ("**ACE**"), 1 a file, 3 a wide file. The
// lister and the ACE library read them through these parsers.
//
// The lister does not hold the main header's CRC against it: it lists what the
// archive's file blocks say, each of which it checks; the library, which
// extracts, refuses a main header whose CRC does not match.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mv {

constexpr size_t AceBlockHeadSize = 4; // header CRC and header size
constexpr size_t AceMainMinSize = 26;  // the main header from its type on
constexpr uint8_t AceMainBlock = 0;
constexpr uint8_t AceFileBlock = 1;
constexpr uint8_t AceWideFileBlock = 3;

constexpr uint16_t AceFlagAddSize = 0x0001;
constexpr uint16_t AceFlagWideSizes = 0x0004;
constexpr uint16_t AceFlagMultiVolume = 0x0800; // main header
constexpr uint16_t AceFlagSolid = 0x8000;       // main header
constexpr uint16_t AceFlagContinued = 0x1000;   // file: a part after the first
constexpr uint16_t AceFlagContinues = 0x2000;   // file: more parts follow
constexpr uint16_t AceFlagPassword = 0x4000;    // file

// One block: the header bytes from its type on, their CRC checked.
struct TAceBlock {
    uint8_t Type = 0;
    uint16_t Flags = 0;
    uint64_t AddSize = 0; // the data after the header (flag 1)
    bool CrcOk = false;
    std::vector<uint8_t> H; // the header size's bytes from the type on
    bool IsFile() const { return Type == AceFileBlock || Type == AceWideFileBlock; }
};

// Decodes a block from its head (AceBlockHeadSize bytes) and the header bytes
// after it (size, as the head says). False when the header is too short for
// its fields.
bool ReadAceBlock(const uint8_t* head, const uint8_t* header, size_t size, TAceBlock& block);

// The header size a block's head announces.
uint16_t AceHeaderSizeOf(const uint8_t* head);

// The main header's fields.
struct TAceMain {
    uint16_t Flags = 0;
    uint8_t Version = 0; // the version needed to extract
    uint8_t Host = 0;
    uint8_t VolumeNumber = 0;
};
// False when the block is not a main header.
bool ReadAceMain(const TAceBlock& block, TAceMain& main);

// A file block's fields.
struct TAceFile {
    uint16_t Flags = 0;
    uint64_t PackSize = 0;
    uint64_t UnpSize = 0;
    uint32_t FileTime = 0; // DOS date and time
    uint32_t Attr = 0;
    uint32_t Crc = 0; // the CRC-32 register without its final inversion
    uint8_t Method = 0;
    uint8_t Quality = 0;
    std::string Name; // as stored (OEM, "\" separated), up to a NUL
};
// False when the block is malformed (its sizes do not match its kind, or its
// fields run past it).
bool ReadAceFile(const TAceBlock& block, TAceFile& file);

} // namespace mv
