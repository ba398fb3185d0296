#pragma once
// TUnZOO extracts the members of ZOO archives: the archive header, a chain of
// 58-byte directory entries with their variable part (long name, directory),
// methods 0 (stored), 1 (LZW) and 2 (LZH), and a CRC-16 per member. Deleted
// entries, which ZOO keeps in the chain, are passed over.
#include "archive/readers/UnBase.h"

#include <cstdint>
#include <string>
#include <vector>

namespace mv {

class TUnZOO : public TUnBase {
public:
    struct TZooMember {
        uint8_t Method = 0;
        uint32_t DosDate = 0;
        uint16_t Crc = 0;
        int64_t PackedSize = 0;
        int64_t UnpackedSize = 0;
        int64_t DataOffset = 0;
        std::string Name; // the directory and the name, UTF-8
    };

protected:
    void ExtractArchive(std::unique_ptr<TArcStream>& file, TArcStream* stream) override;

private:
    void Collect(TArcStream& file, std::vector<TZooMember>& members);
    bool ExtractMember(TArcStream& file, const TZooMember& m);
};

} // namespace mv
