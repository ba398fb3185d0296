#pragma once
// TUnACE extracts the members of ACE archives (ACE 1.0 and 2.0 compression, solid,
// multi-volume .ace/.c00/.c01..., encrypted members) through our ACE library
// (platform/unace). The library walks and decodes; this reader decides per member
// where the output goes, runs the password round, follows volumes through
// OnNextVolume and checks each member's CRC.
//
// While an extraction runs, the reader is the process-wide active ACE reader: the
// library's data and volume callbacks are plain functions that address it.
#include "archive/readers/UnBase.h"

#include <cstdint>
#include <exception>
#include <memory>
#include <string>

namespace mv {

namespace unace {
struct AceArchive;
struct ACEHeaderData;
} // namespace unace

class TUnACE : public TUnBase {
public:
    TUnACE();
    ~TUnACE() override;

protected:
    void ExtractArchive(std::unique_ptr<TArcStream>& file, TArcStream* stream) override;

private:
    // The library's callbacks: they reach the active reader and never let an exception out.
    static int DataCallback(unsigned char* addr, int size);
    static int VolumeCallback(char* arcName, int mode);
    int OnData(const uint8_t* addr, int size);
    int OnVolume(char* arcName, int mode);

    // Opens the current archive with the library; raises the mapped error on failure.
    unace::AceArchive* OpenLibrary(const std::string& name);
    // Counts the members and totals of the first volume (no decoding).
    void CountVolume(const std::string& name);
    // Handles one member; false ends the extraction.
    bool ExtractMember(unace::AceArchive* handle, const unace::ACEHeaderData& header);
    // Processes the member into its output: the library's result code.
    int ProcessMember(unace::AceArchive* handle, const unace::ACEHeaderData& header, const std::string& name,
                      bool& crcPass, bool& decoded);
    // The password round of an encrypted member. 1 accepted, 0 member failed, -1 the extraction ends.
    int PasswordRound(unace::AceArchive* handle, const unace::ACEHeaderData& header, const std::string& name,
                      const std::string& reportName, bool& crcPass, bool& decoded);

    std::unique_ptr<TArcStream> FOut;
    bool FCancelled = false;
    int64_t FMemberWritten = 0;
    int64_t FMemberSize = 0;
    std::exception_ptr FCallbackError;
    int FVolumeIndex = 0;
};

} // namespace mv
