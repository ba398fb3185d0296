#include "archive/readers/UnLibrary.h"

#include "archive/framework/ArcTimer.h"
#include "archive/framework/SharedRoutines.h"

#include <algorithm>
#include <cstring>

namespace mv {

bool TUnLibrary::TPasswordCandidates::Next(std::string& candidate) {
    for (;;) {
        if (next < given.size()) {
            candidate = given[next++];
            return true;
        }
        if (!reader.OnGetPassword || reader.FPasswordAttempts <= 0 || asked >= reader.FPasswordAttempts)
            return false;
        ++asked;
        candidate.clear();
        bool tryAgain = true;
        if (pauseTimer) reader.FTimer->Pause();
        reader.OnGetPassword(&reader, askName, candidate, tryAgain);
        if (pauseTimer) reader.FTimer->Resume();
        if (!tryAgain) return false;
        if (!candidate.empty()) return true;
    }
}

std::vector<std::string> TUnLibrary::KnownPasswords(bool withPreset) const {
    std::vector<std::string> out;
    if (withPreset && !FPassword.empty()) out.push_back(FPassword);
    for (const auto& p : FPasswords)
        if (!p.empty() && p != FPassword) out.push_back(p);
    return out;
}

void TUnLibrary::StartWalk() {
    FCurrentVolume = FArchiveFile;
    FVolumeIndex = 0;
    FVolumeNumber = 0;
}

void TUnLibrary::CountMember(const TLibraryMember& m) {
    if (m.Directory || !IsFileSpecMatch(m.Name, false)) return;
    FTotalPacked += m.PackedSize;
    FTotalUnpacked += m.UnpackedSize;
    if (m.DosDate > FMaxFileDate) FMaxFileDate = m.DosDate;
}

int TUnLibrary::TakeData(const uint8_t* addr, int size) {
    try {
        if (size <= 0) return 1;
        if (FSkipping) {
            DoProgress(0, 0, FTotalUnpacked);
            return 1;
        }
        if (Cancel()) {
            FCancelled = true;
            return 0;
        }
        ExtractWriteProc(FOut.get(), nullptr, addr, false, crc32, size, 1);
        FMemberWritten += size;
        FBytesLeft = FBytesLeft > size ? FBytesLeft - size : 0;
        DoProgress(FMemberWritten, FMemberSize, FTotalUnpacked);
        if (Cancel()) {
            FCancelled = true;
            return 0;
        }
        return 1;
    } catch (...) {
        // Nothing may unwind through the library: keep it for after the call.
        FCallbackError = std::current_exception();
        return 0;
    }
}

int TUnLibrary::ChangeVolume(char* arcName, bool missing) {
    try {
        if (!OnNextVolume) return 0; // without a handler the set ends at the first volume change
        std::string name(arcName);
        if (missing) {
            // The proposed volume is missing: the handler may find it or name another.
            if (!RequestVolume(name, std::to_string(FVolumeIndex + 1))) {
                if (Cancel()) FCancelled = true;
                return 0;
            }
            if (name.size() + 1 > FTraits.VolumeNameSize) return 0;
            std::memcpy(arcName, name.c_str(), name.size() + 1);
            return 1;
        }
        // A volume was opened: it is now the current one.
        ++FVolumeIndex;
        FVolumeNumber = FVolumeIndex;
        FCurrentVolume = name;
        return 1;
    } catch (...) {
        FCallbackError = std::current_exception();
        return 0;
    }
}

void TUnLibrary::SkipMember(const TLibraryMemberCalls& calls) {
    const int r = CallLibrary(calls.Skip);
    // Skipping fails only when the set cannot go on (a volume) or memory runs out.
    if (r == FTraits.MissingVolume || r == FTraits.NoMemory || r == FTraits.ReadFailed)
        RaiseError(FCurrentVolume, "", std::to_string(FVolumeNumber), FTraits.ErrorId(r));
}

bool TUnLibrary::EndsSet(int code) const {
    return code == FTraits.MissingVolume || code == FTraits.NoMemory || code == FTraits.WriteFailed ||
           code == FTraits.CreateFailed;
}

bool TUnLibrary::ExtractLibraryMember(const TLibraryMember& m, const TLibraryMemberCalls& calls) {
    auto skip = [&] {
        SkipMember(calls);
        return true;
    };
    if (m.Directory || !IsFileSpecMatch(m.Name, false)) return skip();
    SetFileName(m.Name);
    if (FEntry.FileName.empty() && FWriteMode != rwSink) {
        DoError(m.Name, "", "0", arcerr::InvalidName);
        return skip();
    }
    std::string decided = m.Name;
    switch (DecideMember(decided, ConvertDate(m.DosDate), m.PackedSize)) {
    case TMemberDecision::mdStop:
        return false;
    case TMemberDecision::mdSkip:
        return skip();
    case TMemberDecision::mdExtract:
        break;
    }
    const std::string reportName = ReportName(m.Name);
    bool crcPass = false, decoded = false;
    int r;
    if (m.Encrypted) {
        const int accepted = PasswordRound(m, calls, reportName, crcPass, decoded);
        if (accepted < 0) return false;
        r = accepted == 1 ? FTraits.Success : -1;
    } else {
        r = ProcessMember(m, calls, crcPass, decoded);
    }
    const bool crcFailed = FTraits.CrcFailed == r;
    if (r > 0) {
        // Failures the set cannot go on after end the extraction; the others end the member.
        if (EndsSet(r))
            RaiseError(r == FTraits.MissingVolume ? FCurrentVolume : reportName, "",
                       std::to_string(FVolumeNumber), FTraits.ErrorId(r));
        if (FTraits.Aborted == r) {
            FCancelled = true;
            DoError(reportName, "", "0", arcerr::UserAbort);
        } else if (!FCancelled && !Cancel() && !crcFailed) {
            DoError(reportName, "", "0", FTraits.ErrorId(r));
        }
    }
    // A damaged member is a failed CRC test: OnEnd tells it, or the error does without a handler.
    if (((decoded && !crcPass) || crcFailed) && !OnEnd) DoError(reportName, "", "0", arcerr::CrcError);
    if (OnEnd && (decoded || crcFailed || !Cancel())) OnEnd(this, reportName, crcPass);
    return !Cancel() && !FCancelled;
}

int TUnLibrary::ProcessMember(const TLibraryMember& m, const TLibraryMemberCalls& calls, bool& crcPass,
                              bool& decoded) {
    crcPass = decoded = false;
    FCancelled = false;
    FMemberWritten = 0;
    FMemberSize = m.UnpackedSize;
    FCallbackError = nullptr;
    FOut.reset();
    if (!OpenMemberOutput(FOut, m.UnpackedSize)) {
        // A folder that cannot be made was reported: the member is passed over.
        calls.Skip();
        return FTraits.Success;
    }
    SetCrc32Register(0xFFFFFFFFu);
    // The bytes come through the data callback into the shared output driver, which
    // writes a new file beside the target and puts it in place only after success.
    const int r = calls.Test();
    if (FCallbackError) {
        DiscardOutput(FOut);
        std::rethrow_exception(FCallbackError);
    }
    decoded = r == FTraits.Success && !FCancelled && !Cancel();
    if (decoded) crcPass = !m.ExpectedCrcRegister || Crc32Register() == *m.ExpectedCrcRegister;
    AfterExtractFile(FOut, nullptr, m.Attributes, m.DosDate, m.Name, decoded && crcPass);
    return r;
}

int TUnLibrary::PasswordRound(const TLibraryMember& m, const TLibraryMemberCalls& calls,
                              const std::string& reportName, bool& crcPass, bool& decoded) {
    // Candidates: the preset Password (also without a handler), the known
    // passwords, then up to PasswordAttempts answers of OnGetPassword.
    TPasswordCandidates candidates(*this, KnownPasswords(true), reportName, true);
    std::string candidate;
    while (candidates.Next(candidate)) {
        // The library keeps a member refused for its password ready for the next try.
        calls.SetPassword(candidate);
        const int r = ProcessMember(m, calls, crcPass, decoded);
        if (r == FTraits.Success) {
            FPassword = candidate;
            if (std::find(FPasswords.begin(), FPasswords.end(), candidate) == FPasswords.end())
                FPasswords.insert(FPasswords.begin(), candidate);
            return 1;
        }
        if (FCancelled || Cancel() || FTraits.Aborted == r) return 0;
        if (r == FTraits.BadPassword) {
            FPassword.clear();
            continue;
        }
        // Another failure: no password helps (a cipher we cannot decrypt, damaged data).
        DoError(reportName, "", "0", FTraits.PasswordErrorId(r));
        if (EndsSet(r)) RaiseError(reportName, "", std::to_string(FVolumeNumber), FTraits.ErrorId(r));
        return 0;
    }
    FFileSpec.clear();
    DoError(reportName, "", "0", arcerr::BadPassword);
    return -1;
}

} // namespace mv
