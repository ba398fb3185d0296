#pragma once
// TUnLibrary: the part the readers that stand on one of our outside-library
// layers (archive/libraries/ace, archive/libraries/rar) share. The library walks the archive
// and decodes; the reader, through this class, decides per member where the
// output goes (or skips it), runs the password round, follows volumes through
// OnNextVolume, takes the decoded bytes from the library's data callback into
// the shared output driver and checks each member's CRC.
//
// A format's reader reads each header with its library, describes the member as
// a TLibraryMember and hands it to ExtractLibraryMember with the library calls
// that skip, decode or set a password for the member the walk is at.
#include "archive/readers/UnBase.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace mv {

// A member as its library's header tells it, in the reader's terms.
struct TLibraryMember {
    std::string Name; // UTF-8
    bool Directory = false;
    bool Encrypted = false;
    uint32_t DosDate = 0;
    int64_t PackedSize = 0;
    int64_t UnpackedSize = 0;
    uint32_t Attributes = 0; // for the output (see AfterExtractFile)
    // What the running CRC-32 register must hold after the data; none when the
    // library checks the data itself (or nothing is stored to check).
    std::optional<uint32_t> ExpectedCrcRegister;
};

// A library's result codes as the member walk tells them apart.
struct TLibraryTraits {
    int Success = 0;
    int MissingVolume = 0; // a volume of the set cannot be found
    int NoMemory = 0;
    int ReadFailed = 0;
    int WriteFailed = 0;
    int CreateFailed = 0;               // the output cannot be made (or the disk is full)
    int BadPassword = 0;                // password missing or wrong
    size_t VolumeNameSize = 0;          // room for a volume name the volume callback writes back
    std::optional<int> Aborted;         // the data callback asked to stop
    std::optional<int> CrcFailed;       // damaged data: reported as a failed check
    int (*ErrorId)(int code) = nullptr; // the component's error number of a result code
    // The error number of a failure no password mends (a member's password round).
    int (*PasswordErrorId)(int code) = nullptr;
};

// The library calls on the member the walk is at.
struct TLibraryMemberCalls {
    std::function<int()> Skip; // passes over it: the result code
    std::function<int()> Test; // decodes it into the data callback: the result code
    std::function<void(const std::string&)> SetPassword;
};

class TUnLibrary : public TUnBase {
public:
    explicit TUnLibrary(const TLibraryTraits& traits) : FTraits(traits) {}

protected:
    // Candidate passwords, one at a time: the given ones first, then up to
    // PasswordAttempts answers of OnGetPassword about `askName` (an empty answer
    // asks again; the timer pauses while it is asked when pauseTimer is set).
    class TPasswordCandidates {
    public:
        TPasswordCandidates(TUnLibrary& reader, std::vector<std::string> given, std::string askName,
                            bool pauseTimer)
            : reader(reader), given(std::move(given)), askName(std::move(askName)), pauseTimer(pauseTimer) {}
        // False when none is left (no handler, attempts used up, or the handler gave up).
        bool Next(std::string& candidate);

    private:
        TUnLibrary& reader;
        std::vector<std::string> given;
        std::string askName;
        bool pauseTimer;
        size_t next = 0;
        int asked = 0;
    };
    // The known Passwords (not empty), without the preset Password; with it first
    // when withPreset is set.
    std::vector<std::string> KnownPasswords(bool withPreset) const;

    // The start of a walk: the archive is the current volume, the first one.
    void StartWalk();
    // Adds a member to the progress totals (directories and members outside
    // FileSpec do not count).
    void CountMember(const TLibraryMember& m);
    // Runs a library call that may reach the callbacks and raises again what
    // they kept (nothing may unwind through the library).
    template <class Call> int CallLibrary(Call&& call) {
        FCallbackError = nullptr;
        const int r = call();
        if (FCallbackError) std::rethrow_exception(FCallbackError);
        return r;
    }

    // Handles one member; false ends the extraction.
    bool ExtractLibraryMember(const TLibraryMember& m, const TLibraryMemberCalls& calls);

    // The data callback: writes the library's bytes to the member's output with
    // the running CRC-32 and reports progress (bytes of a member being skipped
    // only move progress). 0 asks the library to stop.
    int TakeData(const uint8_t* addr, int size);
    // The volume callback: a missing volume is asked of OnNextVolume (which may
    // name another, written back to arcName); an opened one becomes the current
    // volume. 0 ends the set.
    int ChangeVolume(char* arcName, bool missing);

    bool FSkipping = false; // the member is being passed over (its bytes are not written)
    bool FCancelled = false;

private:
    // Passes over the member; a failure the set cannot go on after is raised.
    void SkipMember(const TLibraryMemberCalls& calls);
    // Processes the member into its output: the library's result code.
    int ProcessMember(const TLibraryMember& m, const TLibraryMemberCalls& calls, bool& crcPass,
                      bool& decoded);
    // The password round of an encrypted member: the first candidate the library
    // accepts, processed. 1 accepted, 0 member failed, -1 the extraction ends.
    int PasswordRound(const TLibraryMember& m, const TLibraryMemberCalls& calls,
                      const std::string& reportName, bool& crcPass, bool& decoded);
    // Failures of a member's processing after which the set cannot go on.
    bool EndsSet(int code) const;

    const TLibraryTraits& FTraits;
    // State of the member being processed (read by the callbacks).
    std::unique_ptr<TArcStream> FOut;
    int64_t FMemberWritten = 0;
    int64_t FMemberSize = 0;
    std::exception_ptr FCallbackError;
    int FVolumeIndex = 0;
};

} // namespace mv
