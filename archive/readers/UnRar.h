#pragma once
// TUnRAR extracts the members of RAR archives (RAR 1.5 to 4.x and RAR5, plain or
// self-extracting, solid, multi-volume, AES encrypted) through our RAR library
// (platform/unrar). The library decodes; this reader decides per member where the
// output goes, runs the password round, follows volumes through OnNextVolume and
// checks each member's CRC.
//
// While an extraction runs, the reader is the process-wide active RAR reader: the
// library's data and volume callbacks are plain functions that address it.
#include "archive/readers/UnBase.h"

#include <cstdint>
#include <exception>
#include <memory>
#include <string>

namespace mv {

namespace unrar {
struct RarArchive;
struct RARHeaderData;
} // namespace unrar

class TUnRAR : public TUnBase {
public:
    TUnRAR();
    ~TUnRAR() override;

protected:
    void ExtractArchive(std::unique_ptr<TArcStream>& file, TArcStream* stream) override;

private:
    // The library's callbacks: they reach the active reader and never let an exception out.
    static int DataCallback(unsigned char* addr, int size);
    static int VolumeCallback(char* arcName, int mode);
    int OnData(const uint8_t* addr, int size);
    int OnVolume(char* arcName, int mode);

    // Opens the current archive with the library; raises the mapped error on failure.
    unrar::RarArchive* OpenLibrary(const std::string& name);
    // Counts the members and totals of one volume through the library (no decoding).
    void CountVolume(const std::string& name, bool firstVolume);
    // Handles one member; false ends the extraction.
    bool ExtractMember(unrar::RarArchive* handle, const unrar::RARHeaderData& header);
    // Processes the member into its output: the library's result code.
    int ProcessMember(unrar::RarArchive* handle, const unrar::RARHeaderData& header, const std::string& name,
                      const std::string& reportName, bool& crcPass, bool& decoded);
    // The password round of an encrypted member: the first candidate the library
    // accepts, processed. 1 accepted, 0 member failed, -1 the extraction ends.
    int PasswordRound(unrar::RarArchive* handle, const unrar::RARHeaderData& header, const std::string& name,
                      const std::string& reportName, bool& crcPass, bool& decoded);

    // State of the member being processed (read by the callbacks).
    std::unique_ptr<TArcStream> FOut;
    bool FSkipping = false;
    bool FCancelled = false;
    int64_t FMemberWritten = 0;
    int64_t FMemberSize = 0;
    uint32_t FExpectedCrc = 0;
    std::string FMemberStoredName; // to find the member's continuation in a new volume
    std::exception_ptr FCallbackError;
    int FVolumeIndex = 0;
};

} // namespace mv
