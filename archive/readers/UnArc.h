#pragma once
// TUnARC extracts the members of ARC and PAK archives: 29-byte entry headers
// (25 bytes for the oldest stored form), PAK directory entries that nest the
// members below a path, the nine ARC methods, and a CRC-16 per member.
#include "archive/readers/UnBase.h"

#include <cstdint>
#include <string>
#include <vector>

namespace mv {

class TUnARC : public TUnBase {
public:
    struct TArcMember {
        uint8_t Method = 0;
        uint32_t DosDate = 0;
        uint16_t Crc = 0;
        int64_t PackedSize = 0;
        int64_t UnpackedSize = 0;
        int64_t DataOffset = 0;
        std::string Name; // the directory path and the entry's name, UTF-8
    };

protected:
    void ExtractArchive(std::unique_ptr<TArcStream>& file, TArcStream* stream) override;

private:
    void Collect(TArcStream& file, std::vector<TArcMember>& members);
    bool ExtractMember(TArcStream& file, const TArcMember& m);
};

} // namespace mv
