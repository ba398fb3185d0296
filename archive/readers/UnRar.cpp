#include "archive/readers/UnRar.h"

#include "archive/framework/ArcTimer.h"
#include "archive/framework/SharedRoutines.h"
#include "platform/unrar/Unrar.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace mv {

using namespace unrar;

namespace {

constexpr int kErrCrc = 25151;
constexpr int kErrBadPassword = 26517;

// The library's result codes and the component's error numbers.
int RarErrorId(int code) {
    switch (code) {
    case ERAR_END_ARCHIVE:
        return 25161;
    case ERAR_NO_MEMORY:
        return 25253;
    case ERAR_BAD_DATA:
        return 25108;
    case ERAR_BAD_ARCHIVE:
    case ERAR_UNKNOWN_FORMAT:
        return 25242;
    case ERAR_EOPEN:
        return 25235;
    case ERAR_ECREATE:
    case ERAR_EWRITE:
        return 25136;
    case ERAR_ECLOSE:
        return 25137;
    case ERAR_EREAD:
        return 25236;
    case ERAR_BROKEN_VOLUMES:
        return 25135;
    case ERAR_BAD_PASSWORD:
        return kErrBadPassword;
    default:
        return 25108; // every code the library gives is mapped; anything else is a header fault
    }
}

// The reader the library's callbacks address while an extraction runs.
TUnRAR* gActiveRarReader = nullptr;

struct CloseRar {
    void operator()(RarArchive* h) const { RARCloseArchive(h); }
};
using RarPtr = std::unique_ptr<RarArchive, CloseRar>;

bool IsDirectory(const RARHeaderData& h) {
    if ((h.Flags & RHDF_DIRECTORY) == RHDF_DIRECTORY) return true;
    if (h.HostOS == 3) return (h.FileAttr & 0xF000) == 0x4000;
    return (h.FileAttr & 0x10) != 0;
}

std::string MemberName(const RARHeaderData& h) {
    return h.FileNameW.empty() ? OemToAnsiPath(h.FileName) : Utf8ToAnsiPath(h.FileNameW);
}

// DOS attributes for the output: Unix hosts give a mode (directory 16, else 32,
// permissions in the high word); other hosts give DOS attributes.
uint32_t OutputAttributes(const RARHeaderData& h) {
    if (h.HostOS == 3) return ((h.FileAttr & 0xF000) == 0x4000 ? 16u : 32u) | ((h.FileAttr & 07777u) << 16);
    return h.FileAttr & 0xFF;
}

} // namespace

TUnRAR::TUnRAR() = default;
TUnRAR::~TUnRAR() {
    if (gActiveRarReader == this) gActiveRarReader = nullptr;
}

int TUnRAR::DataCallback(unsigned char* addr, int size) {
    TUnRAR* r = gActiveRarReader;
    if (!r) return 0;
    return r->OnData(addr, size);
}

int TUnRAR::VolumeCallback(char* arcName, int mode) {
    TUnRAR* r = gActiveRarReader;
    if (!r) return 0;
    return r->OnVolume(arcName, mode);
}

int TUnRAR::OnData(const uint8_t* addr, int size) {
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

int TUnRAR::OnVolume(char* arcName, int mode) {
    try {
        if (!OnNextVolume) return 0; // without a handler the set ends at the first volume change
        std::string name(arcName);
        if (mode == RAR_VOL_ASK) {
            // The proposed volume is missing: the handler may find it or name another.
            if (!RequestVolume(name, std::to_string(FVolumeIndex + 1))) {
                if (Cancel()) FCancelled = true;
                return 0;
            }
            if (name.size() + 1 > size_t(kVolumeNameSize)) return 0;
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

RarArchive* TUnRAR::OpenLibrary(const std::string& name) {
    RAROpenArchiveData od;
    od.ArcName = name;
    od.OpenMode = RAR_OM_EXTRACT;
    RarArchive* h = RAROpenArchive(&od);
    if (!h) RaiseError(name, "", "0", RarErrorId(od.OpenResult));
    return h;
}

void TUnRAR::CountVolume(const std::string& name, bool firstVolume) {
    // Totals for progress: the members of this volume that will be extracted.
    RAROpenArchiveData od;
    od.ArcName = name;
    od.OpenMode = RAR_OM_LIST;
    RarPtr h(RAROpenArchive(&od));
    if (!h) return;
    if (firstVolume) {
        FTotalPacked = FTotalUnpacked = 0;
        FMaxFileDate = 0;
    }
    RARHeaderData hd;
    int guard = 0;
    // No volume callback: the walk stops at the end of this volume.
    RARSetChangeVolProc(h.get(), [](char*, int) { return 0; });
    while (RARReadHeader(h.get(), &hd) == RAR_SUCCESS && ++guard < 1000000) {
        if (!IsDirectory(hd) && IsFileSpecMatch(MemberName(hd), false)) {
            FTotalPacked += int64_t(hd.PackSize);
            FTotalUnpacked += int64_t(hd.UnpSize);
            if (hd.FileTime > FMaxFileDate) FMaxFileDate = hd.FileTime;
        }
        if (RARProcessFile(h.get(), RAR_SKIP, nullptr, nullptr) != RAR_SUCCESS) break;
    }
}

void TUnRAR::ExtractArchive(std::unique_ptr<TArcStream>&, TArcStream*) {
    struct ActiveGuard {
        explicit ActiveGuard(TUnRAR* r) { gActiveRarReader = r; }
        ~ActiveGuard() { gActiveRarReader = nullptr; }
    } guard(this);
    FCurrentVolume = FArchiveFile;
    FVolumeIndex = 0;
    FVolumeNumber = 0;
    CountVolume(FArchiveFile, true);
    FBytesLeft = FTotalUnpacked;

    RarPtr h(OpenLibrary(FArchiveFile));
    RARSetProcessDataProc(h.get(), DataCallback);
    RARSetChangeVolProc(h.get(), VolumeCallback);
    if (!FPassword.empty()) RARSetPassword(h.get(), FPassword.c_str());
    bool first = true;
    while (!Cancel()) {
        RARHeaderData hd;
        FCallbackError = nullptr;
        int r = RARReadHeader(h.get(), &hd);
        if (FCallbackError) std::rethrow_exception(FCallbackError);
        if (r == ERAR_END_ARCHIVE) break;
        if (r == ERAR_BAD_PASSWORD && first) {
            // Encrypted headers: the archive opens again for each candidate password.
            std::vector<std::string> candidates;
            for (const auto& p : FPasswords)
                if (!p.empty() && p != FPassword) candidates.push_back(p);
            bool accepted = false;
            size_t next = 0;
            for (int asked = 0; !accepted;) {
                std::string candidate;
                if (next < candidates.size()) {
                    candidate = candidates[next++];
                } else {
                    if (!OnGetPassword || asked >= FPasswordAttempts) break;
                    ++asked;
                    bool tryAgain = true;
                    OnGetPassword(this, FArchiveFile, candidate, tryAgain);
                    if (!tryAgain) break;
                    if (candidate.empty()) continue;
                }
                h.reset(OpenLibrary(FArchiveFile));
                RARSetProcessDataProc(h.get(), DataCallback);
                RARSetChangeVolProc(h.get(), VolumeCallback);
                RARSetPassword(h.get(), candidate.c_str());
                r = RARReadHeader(h.get(), &hd);
                if (r != ERAR_BAD_PASSWORD) {
                    accepted = true;
                    FPassword = candidate;
                }
            }
            if (!accepted) {
                FFileSpec.clear();
                DoError(FArchiveFile, "", "0", kErrBadPassword);
                return;
            }
            if (r == ERAR_END_ARCHIVE) break;
        }
        first = false;
        if (r != RAR_SUCCESS) RaiseError(FCurrentVolume, "", std::to_string(FVolumeNumber), RarErrorId(r));
        if (!ExtractMember(h.get(), hd)) break;
    }
}

bool TUnRAR::ExtractMember(RarArchive* h, const RARHeaderData& hd) {
    const std::string name = MemberName(hd);
    auto skip = [&]() {
        FSkipping = true;
        FCallbackError = nullptr;
        int r = RARProcessFile(h, RAR_SKIP, nullptr, nullptr);
        FSkipping = false;
        if (FCallbackError) std::rethrow_exception(FCallbackError);
        // Skipping fails only when the set cannot go on (a volume) or memory runs out.
        if (r == ERAR_BROKEN_VOLUMES || r == ERAR_NO_MEMORY || r == ERAR_EREAD)
            RaiseError(FCurrentVolume, "", std::to_string(FVolumeNumber), RarErrorId(r));
        return true;
    };
    if (IsDirectory(hd) || !IsFileSpecMatch(name, false)) return skip();
    SetFileName(name);
    if (FEntry.FileName.empty() && FWriteMode != rwSink) {
        DoError(name, "", "0", arcerr::InvalidName);
        return skip();
    }
    std::string decided = name;
    switch (DecideMember(decided, ConvertDate(hd.FileTime), int64_t(hd.PackSize))) {
    case TMemberDecision::mdStop:
        return false;
    case TMemberDecision::mdSkip:
        return skip();
    case TMemberDecision::mdExtract:
        break;
    }
    const std::string reportName =
        (FWriteMode == rwFile || FWriteMode == rwCallStream) ? FEntry.FileName : name;
    bool crcPass = false, decoded = false;
    int r;
    if (hd.Flags & RHDF_ENCRYPTED) {
        int accepted = PasswordRound(h, hd, name, reportName, crcPass, decoded);
        if (accepted < 0) return false;
        r = accepted == 1 ? RAR_SUCCESS : -1;
    } else {
        r = ProcessMember(h, hd, name, reportName, crcPass, decoded);
    }
    if (r > 0) {
        // Failures the set cannot go on after end the extraction; the others end the member.
        if (r == ERAR_BROKEN_VOLUMES || r == ERAR_NO_MEMORY || r == ERAR_EWRITE || r == ERAR_ECREATE)
            RaiseError(r == ERAR_BROKEN_VOLUMES ? FCurrentVolume : reportName, "",
                       std::to_string(FVolumeNumber), RarErrorId(r));
        if (!FCancelled && !Cancel()) DoError(reportName, "", "0", RarErrorId(r));
    }
    if (decoded && !crcPass && !OnEnd) DoError(reportName, "", "0", kErrCrc);
    if (OnEnd && (decoded || !Cancel())) OnEnd(this, reportName, crcPass);
    return !Cancel() && !FCancelled;
}

int TUnRAR::ProcessMember(RarArchive* h, const RARHeaderData& hd, const std::string& name,
                          const std::string& reportName, bool& crcPass, bool& decoded) {
    (void)reportName;
    crcPass = decoded = false;
    FCancelled = false;
    FMemberWritten = 0;
    FMemberSize = int64_t(hd.UnpSize);
    FExpectedCrc = hd.FileCRC;
    FCallbackError = nullptr;
    FOut.reset();
    if (!OpenOutputFile(FOut, FEntry.FileName, int64_t(hd.UnpSize), 0)) {
        if (!OutputRefused()) RaiseError(FEntry.FileName, "", "0", arcerr::OpenError);
        FSkipping = true;
        RARProcessFile(h, RAR_SKIP, nullptr, nullptr);
        FSkipping = false;
        return 0;
    }
    SetCrc32Register(0xFFFFFFFFu);
    // The bytes come through the data callback into the shared output driver, which
    // writes a new file beside the target and puts it in place only after success.
    int r = RARProcessFile(h, RAR_TEST, nullptr, nullptr);
    if (FCallbackError) {
        DiscardOutput(FOut);
        std::rethrow_exception(FCallbackError);
    }
    decoded = r == RAR_SUCCESS && !FCancelled && !Cancel();
    if (decoded) {
        if (hd.CrcKind == kCrcPlain)
            crcPass = Crc32Register() == ~FExpectedCrc;
        else
            crcPass = true; // checked by the library (keyed or split CRC) or nothing stored to check
    }
    AfterExtractFile(FOut, nullptr, OutputAttributes(hd), hd.FileTime, name, decoded && crcPass);
    return r;
}

int TUnRAR::PasswordRound(RarArchive* h, const RARHeaderData& hd, const std::string& name,
                          const std::string& reportName, bool& crcPass, bool& decoded) {
    // Candidates: the preset Password (also without a handler), the known
    // passwords, then up to PasswordAttempts answers of OnGetPassword.
    std::vector<std::string> candidates;
    if (!FPassword.empty()) candidates.push_back(FPassword);
    for (const auto& p : FPasswords)
        if (!p.empty() && p != FPassword) candidates.push_back(p);
    size_t next = 0;
    int asked = 0;
    for (;;) {
        std::string candidate;
        if (next < candidates.size()) {
            candidate = candidates[next++];
        } else {
            if (!OnGetPassword || FPasswordAttempts <= 0 || asked >= FPasswordAttempts) break;
            ++asked;
            bool tryAgain = true;
            FTimer->Pause();
            OnGetPassword(this, reportName, candidate, tryAgain);
            FTimer->Resume();
            if (!tryAgain) break;
            if (candidate.empty()) continue;
        }
        // The library keeps a member refused for its password ready for the next try.
        RARSetPassword(h, candidate.c_str());
        int r = ProcessMember(h, hd, name, reportName, crcPass, decoded);
        if (r == RAR_SUCCESS) {
            FPassword = candidate;
            if (std::find(FPasswords.begin(), FPasswords.end(), candidate) == FPasswords.end())
                FPasswords.insert(FPasswords.begin(), candidate);
            return 1;
        }
        if (FCancelled || Cancel()) return 0;
        if (r == ERAR_BAD_PASSWORD) {
            FPassword.clear();
            continue;
        }
        // Another failure: no password helps (a cipher we cannot decrypt, damaged data).
        DoError(reportName, "", "0", r == ERAR_UNKNOWN_FORMAT ? arcerr::PasswordProtected : RarErrorId(r));
        if (r == ERAR_BROKEN_VOLUMES || r == ERAR_NO_MEMORY || r == ERAR_EWRITE || r == ERAR_ECREATE)
            RaiseError(reportName, "", std::to_string(FVolumeNumber), RarErrorId(r));
        return 0;
    }
    FFileSpec.clear();
    DoError(reportName, "", "0", kErrBadPassword);
    return -1;
}

} // namespace mv
