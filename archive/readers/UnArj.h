#pragma once
// TUnARJ extracts the members of ARJ archives (plain and self-extracting) that
// match FileSpec: stored, methods 1-3 (static Huffman), method 4, garbled
// members (password), and members split over volumes (x.arj, x.a01, ...),
// each part checked against its own CRC-32. Archives made on Unix hosts carry
// Unix modes and times, which are read as such.
#include "archive/readers/UnBase.h"

#include <cstdint>
#include <string>

namespace mv {

class TUnARJ : public TUnBase {
public:
    TUnARJ();
    ~TUnARJ() override;

protected:
    void ExtractArchive(std::unique_ptr<TArcStream>& file, TArcStream* stream) override;

private:
    struct THeader;
    struct TOpenMember;
    // Reads the header at pos: false at the end header (size 0).
    bool ReadHeader(TArcStream& file, int64_t pos, THeader& h, int member);
    // The main header searched from byte `from` on, over at most 25,000 bytes; -1 when none.
    int64_t FindMainHeader(TArcStream& file, int64_t from);
    // Decodes one part of a member into the open output; true when its CRC matched.
    bool DecodePart(TArcStream& file, TArcStream* stream, const THeader& h, TOpenMember& m);
    void FinishMember(TArcStream* stream, TOpenMember& m);
    bool GetPassword(const std::string& name);
};

} // namespace mv
