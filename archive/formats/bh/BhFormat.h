#pragma once
// The member header of BH archives: a 37-byte fixed part, then the name. The
// lister, the BH reader and the BH writer (which keeps the members of an
// archive it updates) read it only here; the writer also builds it.
//
// The name length is a 16-bit field, and the data starts after the header
// size the header records when that is larger than the fixed part and the
// name (room the format keeps for extensions).
#include <cstddef>
#include <cstdint>

namespace mv {

constexpr uint32_t BhSignature = 0x07054842;
constexpr size_t BhHeaderSize = 37;
constexpr uint8_t BhFlagEncrypted = 0x01;

struct TBhHeader {
    uint16_t HeaderSize = 0; // as recorded: fixed part and name
    uint8_t VersionMadeBy = 0;
    uint8_t VersionNeeded = 0;
    uint8_t Flags = 0;
    uint8_t Method = 0;
    uint32_t DosDateTime = 0;
    int64_t PackedSize = 0; // with the 12-byte encryption header of an encrypted member
    int64_t UnpackedSize = 0;
    uint32_t Crc = 0;
    uint16_t Attributes = 0;
    uint16_t NameLength = 0;

    // Where the data starts, counted from the header's first byte.
    int64_t DataStart() const;
};

// Reads the fixed part at h (BhHeaderSize bytes). False when it is no member
// header: a wrong signature, or a zero header size (the end of the archive).
bool ReadBhHeader(const uint8_t* h, TBhHeader& header);

} // namespace mv
