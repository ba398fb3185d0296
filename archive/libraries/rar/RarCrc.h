#pragma once
// CRC-32 (the polynomial of ZIP and RAR) for the RAR layer: the archive's header and
// data checks and the recognition of standard filter code. Slicing by 8 bytes keeps
// it well above disk speed.
#include <cstddef>
#include <cstdint>

namespace mv::unrar {

// Continues a CRC-32: start with 0, feed the data over any number of calls; the result is the final CRC.
uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t size);

} // namespace mv::unrar
