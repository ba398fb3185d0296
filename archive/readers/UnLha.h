#pragma once
// TUnLHA extracts the members of LHA/LZH archives (plain or self-extracting)
// that match FileSpec: a scan pass walks the headers of every level (0 to 3)
// and collects the matching members; an extract pass reads each header again
// and decodes its data by method (-lh0- stored, -lh1- adaptive Huffman,
// -lh4-, -lh5-, -lh6- static Huffman) with the CRC-16 check.
#include "archive/readers/UnBase.h"

#include <cstdint>
#include <vector>

namespace mv {

class TUnLHA : public TUnBase {
public:
    TUnLHA();
    ~TUnLHA() override;

protected:
    void ExtractArchive(std::unique_ptr<TArcStream>& file, TArcStream* stream) override;

private:
    // A member found by the scan pass.
    struct TLhaMember {
        int64_t Offset = 0;
        int64_t PackedSize = 0;
        int64_t UnpackedSize = 0;
    };
    void Scan(TArcStream& file, int64_t start, std::vector<TLhaMember>& members);
    // Extracts one member; false when the extraction is to end.
    bool ExtractMember(TArcStream& file, const TLhaMember& m);
};

} // namespace mv
