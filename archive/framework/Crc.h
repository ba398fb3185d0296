#pragma once
// The two running CRCs of the archive formats.
//
// CRC-32 is the published one of ZIP, GZip, ARJ, CAB and the traditional zip
// encryption (reflected polynomial 0xEDB88320); CRC-16 is the one of ARC and LHA
// (reflected polynomial 0xA001). Both registers are updated by the same rule,
// register := table[(register xor byte) and 0xFF] xor (register shr 8), over the
// raw register: callers start a CRC-32 from CrcSeed and invert it at the end
// themselves (the formats differ in that), and start a CRC-16 from 0.
#include <cstddef>
#include <cstdint>

namespace mv {

// The value from which the formats start the CRC-32 register.
constexpr uint32_t CrcSeed = 0xFFFFFFFF;

// The published tables, 256 entries each.
extern const uint32_t* const Crc32Table;
extern const uint16_t* const Crc16Table;

// One step of the CRC-32 register with one byte (the traditional zip encryption
// updates its keys with it).
inline uint32_t Crc32Step(uint32_t reg, uint8_t byte) {
    return Crc32Table[(reg ^ byte) & 0xFF] ^ (reg >> 8);
}

// Apply the update rule to count bytes of buffer.
void UpdateCRC32(const uint8_t* buffer, size_t count, uint32_t& reg);
void UpdateCRC16(const uint8_t* buffer, size_t count, uint16_t& reg);

// The finished CRC-32 of a whole buffer (started from CrcSeed, inverted at the
// end: the value stored in ZIP, GZip and ARJ headers), and the CRC-16 of ARC and
// LHA (started from 0).
uint32_t Crc32Of(const uint8_t* buffer, size_t count);

// Whether CRC-32 runs on the processor's carry-less multiply (where it has one);
// tests switch it off to check the portable path too.
bool Crc32UsesClmul();
void SetCrc32Clmul(bool enabled);
uint16_t Crc16Of(const uint8_t* buffer, size_t count);

} // namespace mv
