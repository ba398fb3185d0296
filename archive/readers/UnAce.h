#pragma once
// TUnACE extracts the members of ACE archives (ACE 1.0 and 2.0 compression, solid,
// multi-volume .ace/.c00/.c01..., encrypted members) through our ACE library
// (archive/libraries/ace). The library walks and decodes; the shared part of the
// library readers (TUnLibrary) decides per member where the output goes, runs
// the password round, follows volumes through OnNextVolume and checks each
// member's CRC.
//
// The library's data and volume callbacks carry the reader that set them.
#include "archive/readers/UnLibrary.h"

#include <memory>
#include <string>

namespace mv {

namespace unace {
struct AceArchive;
} // namespace unace

class TUnACE : public TUnLibrary {
public:
    TUnACE();
    ~TUnACE() override;

protected:
    void ExtractArchive(std::unique_ptr<TArcStream>& file, TArcStream* stream) override;

private:
    // Opens the current archive with the library; raises the mapped error on failure.
    unace::AceArchive* OpenLibrary(const std::string& name);
    // Counts the members and totals of the first volume (no decoding).
    void CountVolume(const std::string& name);
};

} // namespace mv
