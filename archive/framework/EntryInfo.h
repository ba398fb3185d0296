#pragma once
// The current entry of the lister or of a writer: what the application reads
// inside OnRead to show one row of the archive list.
#include <cstdint>
#include <string>

namespace mv {

// Days since 1899-12-30, fraction = time of day (local time). 29221 is 1980-01-01.
using TDateTime = double;
constexpr TDateTime DateTime1980 = 29221.0;

struct TArcEntryInfo {
    std::string FileName; // stored path, "\" as separator, UTF-8
    bool Encrypted = false;
    int64_t PackedSize = 0;
    int64_t UnpackedSize = 0;
    uint8_t Ratio = 0; // percent saved
    uint32_t CRC = 0;  // the format's check value (CRC-16 zero-extended; 0 where none)
    std::string MethodText;
    uint16_t MethodCode = 0;
    TDateTime DateTime = 0;
    uint16_t VersionMadeBy = 0;
    uint16_t VersionNeeded = 0;
    uint16_t InternalAttr = 0;
    uint32_t ExternalAttr = 0;
};

} // namespace mv
