#pragma once
// TUnRAR extracts the members of RAR archives (RAR 1.5 to 4.x and RAR5, plain or
// self-extracting, solid, multi-volume, AES encrypted) through our RAR library
// (archive/libraries/rar). The library decodes; the shared part of the library readers
// (TUnLibrary) decides per member where the output goes, runs the password
// round, follows volumes through OnNextVolume and checks each member's CRC. This
// reader adds the round for archives whose headers are encrypted.
//
// The library's data and volume callbacks carry the reader that set them.
#include "archive/readers/UnLibrary.h"

#include <memory>
#include <string>

namespace mv {

namespace unrar {
struct RarArchive;
} // namespace unrar

class TUnRAR : public TUnLibrary {
public:
    TUnRAR();
    ~TUnRAR() override;

protected:
    void ExtractArchive(std::unique_ptr<TArcStream>& file, TArcStream* stream) override;

private:
    // Opens the current archive with the library and sets its callbacks; raises
    // the mapped error on failure.
    unrar::RarArchive* OpenLibrary(const std::string& name);
    // Counts the members and totals of one volume through the library (no decoding).
    void CountVolume(const std::string& name, bool firstVolume);
};

} // namespace mv
