#include "archive/readers/UnAce.h"

#include "archive/framework/ArcTimer.h"
#include "archive/framework/SharedRoutines.h"
#include "platform/unace/Unace.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace mv {

using namespace unace;

namespace {

constexpr int kErrCrc = 25151;
constexpr int kErrBadPassword = 26517;

// The library's result codes and the component's error numbers.
int AceErrorId(int code) {
    switch (code) {
    case ACE_ERR_MEMORY:
        return 25253;
    case ACE_ERR_NOT_FOUND:
        return arcerr::FileNotFound;
    case ACE_ERR_DISK_FULL:
        return 25159;
    case ACE_ERR_OPEN:
        return arcerr::OpenError;
    case ACE_ERR_READ:
        return arcerr::ReadError;
    case ACE_ERR_WRITE:
        return arcerr::WriteError;
    case ACE_ERR_HEADER:
        return arcerr::HeaderError;
    case ACE_ERR_CRC:
        return kErrCrc;
    case ACE_ERR_UNSUPPORTED:
    case 132:
        return arcerr::InvalidArcType;
    case ACE_ERR_PASSWORD:
        return kErrBadPassword;
    case ACE_ERR_ABORT:
        return arcerr::UserAbort;
    default:
        return 0;
    }
}

TUnACE* gActiveAceReader = nullptr;

struct CloseAce {
    void operator()(AceArchive* h) const { ACECloseArchive(h); }
};
using AcePtr = std::unique_ptr<AceArchive, CloseAce>;

bool IsDirectory(const ACEHeaderData& h) {
    return (h.FileAttr & 0x10) != 0;
}

std::string MemberName(const ACEHeaderData& h) {
    return OemToAnsiPath(h.FileName);
}

} // namespace

TUnACE::TUnACE() = default;
TUnACE::~TUnACE() {
    if (gActiveAceReader == this) gActiveAceReader = nullptr;
}

int TUnACE::DataCallback(unsigned char* addr, int size) {
    TUnACE* r = gActiveAceReader;
    if (!r) return 0;
    return r->OnData(addr, size);
}

int TUnACE::VolumeCallback(char* arcName, int mode) {
    TUnACE* r = gActiveAceReader;
    if (!r) return 0;
    return r->OnVolume(arcName, mode);
}

int TUnACE::OnData(const uint8_t* addr, int size) {
    try {
        if (size <= 0) return 1;
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

int TUnACE::OnVolume(char* arcName, int mode) {
    try {
        if (!OnNextVolume) return 0; // without a handler the set ends at the first volume change
        std::string name(arcName);
        if (mode == ACE_VOL_ASK) {
            if (!RequestVolume(name, std::to_string(FVolumeIndex + 1))) {
                if (Cancel()) FCancelled = true;
                return 0;
            }
            if (name.size() + 1 > size_t(kVolumeNameSize)) return 0;
            std::memcpy(arcName, name.c_str(), name.size() + 1);
            return 1;
        }
        ++FVolumeIndex;
        FVolumeNumber = FVolumeIndex;
        FCurrentVolume = name;
        return 1;
    } catch (...) {
        FCallbackError = std::current_exception();
        return 0;
    }
}

AceArchive* TUnACE::OpenLibrary(const std::string& name) {
    ACEOpenArchiveData od;
    od.ArcName = name;
    od.OpenMode = ACE_OM_EXTRACT;
    od.DataProc = DataCallback;
    od.VolumeProc = VolumeCallback;
    AceArchive* h = ACEOpenArchive(&od);
    if (!h)
        RaiseError(name, "", "0", AceErrorId(od.OpenResult) ? AceErrorId(od.OpenResult) : arcerr::OpenError);
    return h;
}

void TUnACE::CountVolume(const std::string& name) {
    ACEOpenArchiveData od;
    od.ArcName = name;
    od.OpenMode = ACE_OM_LIST;
    od.VolumeProc = [](char*, int) { return 0; }; // counting stays in this volume
    AcePtr h(ACEOpenArchive(&od));
    FTotalPacked = FTotalUnpacked = 0;
    FMaxFileDate = 0;
    if (!h) return;
    ACEHeaderData hd;
    int guard = 0;
    while (ACEReadHeader(h.get(), &hd) == ACE_SUCCESS && ++guard < 1000000) {
        if (!IsDirectory(hd) && IsFileSpecMatch(MemberName(hd), false)) {
            FTotalPacked += int64_t(hd.PackSize);
            FTotalUnpacked += int64_t(hd.UnpSize);
            if (hd.FileTime > FMaxFileDate) FMaxFileDate = hd.FileTime;
        }
        if (ACEProcessFile(h.get(), ACE_SKIP, nullptr) != ACE_SUCCESS) break;
    }
}

void TUnACE::ExtractArchive(std::unique_ptr<TArcStream>&, TArcStream*) {
    struct ActiveGuard {
        explicit ActiveGuard(TUnACE* r) { gActiveAceReader = r; }
        ~ActiveGuard() { gActiveAceReader = nullptr; }
    } guard(this);
    FCurrentVolume = FArchiveFile;
    FVolumeIndex = 0;
    FVolumeNumber = 0;
    CountVolume(FArchiveFile);
    FBytesLeft = FTotalUnpacked;

    AcePtr h(OpenLibrary(FArchiveFile));
    if (!FPassword.empty()) ACESetPassword(h.get(), FPassword.c_str());
    while (!Cancel()) {
        ACEHeaderData hd;
        FCallbackError = nullptr;
        int r = ACEReadHeader(h.get(), &hd);
        if (FCallbackError) std::rethrow_exception(FCallbackError);
        if (r == ACE_END_ARCHIVE) break;
        if (r != ACE_SUCCESS) RaiseError(FCurrentVolume, "", std::to_string(FVolumeNumber), AceErrorId(r));
        if (!ExtractMember(h.get(), hd)) break;
    }
}

bool TUnACE::ExtractMember(AceArchive* h, const ACEHeaderData& hd) {
    const std::string name = MemberName(hd);
    auto skip = [&]() {
        FCallbackError = nullptr;
        int r = ACEProcessFile(h, ACE_SKIP, nullptr);
        if (FCallbackError) std::rethrow_exception(FCallbackError);
        // Skipping fails only when the set cannot go on (a volume) or memory runs out.
        if (r == ACE_ERR_NOT_FOUND || r == ACE_ERR_MEMORY || r == ACE_ERR_READ)
            RaiseError(FCurrentVolume, "", std::to_string(FVolumeNumber), AceErrorId(r));
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
    if (hd.Flags & ACE_FLAG_ENCRYPTED) {
        int accepted = PasswordRound(h, hd, name, reportName, crcPass, decoded);
        if (accepted < 0) return false;
        r = accepted == 1 ? ACE_SUCCESS : -1;
    } else {
        r = ProcessMember(h, hd, name, crcPass, decoded);
    }
    if (r > 0) {
        // Failures the set cannot go on after end the extraction; the others end the member.
        if (r == ACE_ERR_NOT_FOUND || r == ACE_ERR_MEMORY || r == ACE_ERR_WRITE || r == ACE_ERR_DISK_FULL)
            RaiseError(r == ACE_ERR_NOT_FOUND ? FCurrentVolume : reportName, "",
                       std::to_string(FVolumeNumber), AceErrorId(r));
        if (r == ACE_ERR_ABORT) {
            FCancelled = true;
            DoError(reportName, "", "0", arcerr::UserAbort);
        } else if (!FCancelled && !Cancel() && r != ACE_ERR_CRC) {
            DoError(reportName, "", "0", AceErrorId(r));
        }
    }
    // A damaged member is a failed CRC test: OnEnd tells it, or the error does without a handler.
    if (((decoded && !crcPass) || r == ACE_ERR_CRC) && !OnEnd) DoError(reportName, "", "0", kErrCrc);
    if (OnEnd && (decoded || r == ACE_ERR_CRC || !Cancel())) OnEnd(this, reportName, crcPass);
    return !Cancel() && !FCancelled;
}

int TUnACE::ProcessMember(AceArchive* h, const ACEHeaderData& hd, const std::string& name, bool& crcPass,
                          bool& decoded) {
    crcPass = decoded = false;
    FCancelled = false;
    FMemberWritten = 0;
    FMemberSize = int64_t(hd.UnpSize);
    FCallbackError = nullptr;
    FOut.reset();
    if (!OpenOutputFile(FOut, FEntry.FileName, int64_t(hd.UnpSize), 0)) {
        if (!OutputRefused()) RaiseError(FEntry.FileName, "", "0", arcerr::OpenError);
        ACEProcessFile(h, ACE_SKIP, nullptr);
        return 0;
    }
    SetCrc32Register(0xFFFFFFFFu);
    // The bytes come through the data callback into the shared output driver, which
    // writes a new file beside the target and puts it in place only after success.
    int r = ACEProcessFile(h, ACE_TEST, nullptr);
    if (FCallbackError) {
        DiscardOutput(FOut);
        std::rethrow_exception(FCallbackError);
    }
    decoded = r == ACE_SUCCESS && !FCancelled && !Cancel();
    if (decoded) crcPass = Crc32Register() == hd.FileCRC;
    AfterExtractFile(FOut, nullptr, hd.FileAttr & 0xFF, hd.FileTime, name, decoded && crcPass);
    return r;
}

int TUnACE::PasswordRound(AceArchive* h, const ACEHeaderData& hd, const std::string& name,
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
        ACESetPassword(h, candidate.c_str());
        int r = ProcessMember(h, hd, name, crcPass, decoded);
        if (r == ACE_SUCCESS) {
            FPassword = candidate;
            if (std::find(FPasswords.begin(), FPasswords.end(), candidate) == FPasswords.end())
                FPasswords.insert(FPasswords.begin(), candidate);
            return 1;
        }
        if (FCancelled || Cancel() || r == ACE_ERR_ABORT) return 0;
        if (r == ACE_ERR_PASSWORD) {
            FPassword.clear();
            continue;
        }
        DoError(reportName, "", "0", AceErrorId(r));
        if (r == ACE_ERR_NOT_FOUND || r == ACE_ERR_MEMORY || r == ACE_ERR_WRITE || r == ACE_ERR_DISK_FULL)
            RaiseError(reportName, "", std::to_string(FVolumeNumber), AceErrorId(r));
        return 0;
    }
    FFileSpec.clear();
    DoError(reportName, "", "0", kErrBadPassword);
    return -1;
}

} // namespace mv
