#pragma once
// TUnBH extracts the members of BH archives: 37-byte local headers followed by
// the name and the data, methods 0 (stored), 1 (fuse, the LZH decoder) and 2
// or 8 (deflate), members encrypted with the traditional zip cipher, and a
// CRC-32 per member.
#include "archive/readers/UnBase.h"

#include <cstdint>
#include <string>
#include <vector>

namespace mv {

class TUnBH : public TUnBase {
public:
    struct TBhMember {
        uint8_t Flags = 0;
        uint8_t Method = 0;
        uint32_t DosDate = 0;
        uint32_t Crc = 0;
        uint16_t Attributes = 32;
        int64_t PackedSize = 0; // as stored: includes the 12-byte encryption header
        int64_t UnpackedSize = 0;
        int64_t DataOffset = 0;
        std::string Name; // UTF-8
    };

protected:
    void ExtractArchive(std::unique_ptr<TArcStream>& file, TArcStream* stream) override;

private:
    void Collect(TArcStream& file, std::vector<TBhMember>& members);
    bool ExtractMember(TArcStream& file, const TBhMember& m);
    // The password chain: 1 accepted, -1 none accepted (the extraction ends).
    int AcceptPassword(const TBhMember& m, const uint8_t header[12]);
    bool TestPassword(const TBhMember& m, const uint8_t header[12], const std::string& password);
};

} // namespace mv
