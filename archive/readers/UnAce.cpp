#include "archive/readers/UnAce.h"

#include "archive/framework/SharedRoutines.h"
#include "archive/libraries/ace/Unace.h"

namespace mv {

using namespace unace;

namespace {

// The library's result codes and the component's error numbers.
int AceErrorId(int code) {
    switch (code) {
    case ACE_ERR_MEMORY:
        return arcerr::OutOfMemory;
    case ACE_ERR_NOT_FOUND:
        return arcerr::FileNotFound;
    case ACE_ERR_DISK_FULL:
        return arcerr::DiskFull;
    case ACE_ERR_OPEN:
        return arcerr::OpenError;
    case ACE_ERR_READ:
        return arcerr::ReadError;
    case ACE_ERR_WRITE:
        return arcerr::WriteError;
    case ACE_ERR_HEADER:
        return arcerr::HeaderError;
    case ACE_ERR_CRC:
        return arcerr::CrcError;
    case ACE_ERR_UNSUPPORTED:
    case 132:
        return arcerr::InvalidArcType;
    case ACE_ERR_PASSWORD:
        return arcerr::BadPassword;
    case ACE_ERR_ABORT:
        return arcerr::UserAbort;
    default:
        return 0;
    }
}

const TLibraryTraits kAceTraits{
    .Success = ACE_SUCCESS,
    .MissingVolume = ACE_ERR_NOT_FOUND,
    .NoMemory = ACE_ERR_MEMORY,
    .ReadFailed = ACE_ERR_READ,
    .WriteFailed = ACE_ERR_WRITE,
    .CreateFailed = ACE_ERR_DISK_FULL,
    .BadPassword = ACE_ERR_PASSWORD,
    .VolumeNameSize = size_t(kVolumeNameSize),
    .Aborted = ACE_ERR_ABORT,
    .CrcFailed = ACE_ERR_CRC,
    .ErrorId = AceErrorId,
    .PasswordErrorId = AceErrorId,
};

struct CloseAce {
    void operator()(AceArchive* h) const { ACECloseArchive(h); }
};
using AcePtr = std::unique_ptr<AceArchive, CloseAce>;

TLibraryMember MemberOf(const ACEHeaderData& h) {
    TLibraryMember m;
    m.Name = OemToAnsiPath(h.FileName);
    m.Directory = (h.FileAttr & 0x10) != 0;
    m.Encrypted = (h.Flags & ACE_FLAG_ENCRYPTED) != 0;
    m.DosDate = h.FileTime;
    m.PackedSize = int64_t(h.PackSize);
    m.UnpackedSize = int64_t(h.UnpSize);
    m.Attributes = h.FileAttr & 0xFF;
    m.ExpectedCrcRegister = h.FileCRC;
    return m;
}

} // namespace

TUnACE::TUnACE() : TUnLibrary(kAceTraits) {}
TUnACE::~TUnACE() = default;

AceArchive* TUnACE::OpenLibrary(const std::string& name) {
    ACEOpenArchiveData od;
    od.ArcName = name;
    od.OpenMode = ACE_OM_EXTRACT;
    // The callbacks carry this reader.
    od.DataProc = [this](unsigned char* addr, int size) { return TakeData(addr, size); };
    od.VolumeProc = [this](char* arcName, int mode) { return ChangeVolume(arcName, mode == ACE_VOL_ASK); };
    AceArchive* h = ACEOpenArchive(&od);
    if (!h)
        RaiseError(name, "", "0", AceErrorId(od.OpenResult) ? AceErrorId(od.OpenResult) : arcerr::OpenError);
    return h;
}

void TUnACE::CountVolume(const std::string& name) {
    ACEOpenArchiveData od;
    od.ArcName = name;
    od.OpenMode = ACE_OM_LIST;
    // Counting goes on over every volume that is there (nobody is asked for a
    // missing one): the totals count the whole set.
    od.VolumeProc = [](char*, int mode) { return mode == ACE_VOL_NOTIFY ? 1 : 0; };
    AcePtr h(ACEOpenArchive(&od));
    FTotalPacked = FTotalUnpacked = 0;
    FMaxFileDate = 0;
    if (!h) return;
    ACEHeaderData hd;
    int guard = 0;
    while (ACEReadHeader(h.get(), &hd) == ACE_SUCCESS && ++guard < 1000000) {
        CountMember(MemberOf(hd));
        if (ACEProcessFile(h.get(), ACE_SKIP) != ACE_SUCCESS) break;
    }
}

void TUnACE::ExtractArchive(std::unique_ptr<TArcStream>&, TArcStream*) {
    StartWalk();
    CountVolume(FArchiveFile);
    FBytesLeft = FTotalUnpacked;

    AcePtr h(OpenLibrary(FArchiveFile));
    if (!FPassword.empty()) ACESetPassword(h.get(), FPassword.c_str());
    const TLibraryMemberCalls calls{
        .Skip = [&] { return ACEProcessFile(h.get(), ACE_SKIP); },
        .Test = [&] { return ACEProcessFile(h.get(), ACE_TEST); },
        .SetPassword = [&](const std::string& p) { ACESetPassword(h.get(), p.c_str()); },
    };
    while (!Cancel()) {
        ACEHeaderData hd;
        const int r = CallLibrary([&] { return ACEReadHeader(h.get(), &hd); });
        if (r == ACE_END_ARCHIVE) break;
        if (r != ACE_SUCCESS) RaiseError(FCurrentVolume, "", std::to_string(FVolumeNumber), AceErrorId(r));
        if (!ExtractLibraryMember(MemberOf(hd), calls)) break;
    }
}

} // namespace mv
