#include "archive/readers/UnRar.h"

#include "archive/framework/SharedRoutines.h"
#include "archive/libraries/rar/Unrar.h"

namespace mv {

using namespace unrar;

namespace {

// The library's result codes and the component's error numbers.
int RarErrorId(int code) {
    switch (code) {
    case ERAR_END_ARCHIVE:
        return arcerr::ArchiveEndNotFound;
    case ERAR_NO_MEMORY:
        return arcerr::OutOfMemory;
    case ERAR_BAD_DATA:
        return arcerr::HeaderError;
    case ERAR_BAD_ARCHIVE:
    case ERAR_UNKNOWN_FORMAT:
        return arcerr::InvalidArcType;
    case ERAR_EOPEN:
        return arcerr::OpenError;
    case ERAR_ECREATE:
    case ERAR_EWRITE:
        return arcerr::WriteError;
    case ERAR_ECLOSE:
        return arcerr::CloseError;
    case ERAR_EREAD:
        return arcerr::ReadError;
    case ERAR_BROKEN_VOLUMES:
        return arcerr::BrokenVolumeSequence;
    case ERAR_BAD_PASSWORD:
        return arcerr::BadPassword;
    default:
        return arcerr::HeaderError; // every code the library gives is mapped; anything else is a header fault
    }
}

// A member's failure that no password mends: a cipher we cannot decrypt is a
// protected member, anything else keeps its own number.
int RarPasswordErrorId(int code) {
    return code == ERAR_UNKNOWN_FORMAT ? arcerr::PasswordProtected : RarErrorId(code);
}

const TLibraryTraits kRarTraits{
    .Success = RAR_SUCCESS,
    .MissingVolume = ERAR_BROKEN_VOLUMES,
    .NoMemory = ERAR_NO_MEMORY,
    .ReadFailed = ERAR_EREAD,
    .WriteFailed = ERAR_EWRITE,
    .CreateFailed = ERAR_ECREATE,
    .BadPassword = ERAR_BAD_PASSWORD,
    .VolumeNameSize = size_t(kVolumeNameSize),
    .Aborted = std::nullopt,
    .CrcFailed = std::nullopt,
    .ErrorId = RarErrorId,
    .PasswordErrorId = RarPasswordErrorId,
};

struct CloseRar {
    void operator()(RarArchive* h) const { RARCloseArchive(h); }
};
using RarPtr = std::unique_ptr<RarArchive, CloseRar>;

bool IsDirectory(const RARHeaderData& h) {
    if ((h.Flags & RHDF_DIRECTORY) == RHDF_DIRECTORY) return true;
    if (h.HostOS == 3) return (h.FileAttr & 0xF000) == 0x4000;
    return (h.FileAttr & 0x10) != 0;
}

// DOS attributes for the output: Unix hosts give a mode (directory 16, else 32,
// permissions in the high word); other hosts give DOS attributes.
uint32_t OutputAttributes(const RARHeaderData& h) {
    if (h.HostOS == 3) return ((h.FileAttr & 0xF000) == 0x4000 ? 16u : 32u) | ((h.FileAttr & 07777u) << 16);
    return h.FileAttr & 0xFF;
}

TLibraryMember MemberOf(const RARHeaderData& h) {
    TLibraryMember m;
    m.Name = h.FileNameW.empty() ? OemToAnsiPath(h.FileName) : Utf8ToAnsiPath(h.FileNameW);
    m.Directory = IsDirectory(h);
    m.Encrypted = (h.Flags & RHDF_ENCRYPTED) != 0;
    m.DosDate = h.FileTime;
    m.PackedSize = int64_t(h.PackSize);
    m.UnpackedSize = int64_t(h.UnpSize);
    m.Attributes = OutputAttributes(h);
    // Other kinds are checked by the library (keyed or split CRC) or have nothing stored to check.
    if (h.CrcKind == kCrcPlain) m.ExpectedCrcRegister = ~h.FileCRC;
    return m;
}

} // namespace

TUnRAR::TUnRAR() : TUnLibrary(kRarTraits) {}
TUnRAR::~TUnRAR() = default;

RarArchive* TUnRAR::OpenLibrary(const std::string& name) {
    RAROpenArchiveData od;
    od.ArcName = name;
    od.OpenMode = RAR_OM_EXTRACT;
    RarArchive* h = RAROpenArchive(&od);
    if (!h) RaiseError(name, "", "0", RarErrorId(od.OpenResult));
    // The callbacks carry this reader.
    RARSetProcessDataProc(h, [this](unsigned char* addr, int size) { return TakeData(addr, size); });
    RARSetChangeVolProc(
        h, [this](char* arcName, int mode) { return ChangeVolume(arcName, mode == RAR_VOL_ASK); });
    return h;
}

void TUnRAR::CountVolume(const std::string& name, bool firstVolume) {
    // Totals for progress: the members of the set that will be extracted.
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
    // The walk goes on over every volume that is there (nobody is asked for a
    // missing one): the totals count the whole set.
    RARSetChangeVolProc(h.get(), [](char*, int mode) { return mode == RAR_VOL_NOTIFY ? 1 : 0; });
    while (RARReadHeader(h.get(), &hd) == RAR_SUCCESS && ++guard < 1000000) {
        CountMember(MemberOf(hd));
        if (RARProcessFile(h.get(), RAR_SKIP) != RAR_SUCCESS) break;
    }
}

void TUnRAR::ExtractArchive(std::unique_ptr<TArcStream>&, TArcStream*) {
    StartWalk();
    CountVolume(FArchiveFile, true);
    FBytesLeft = FTotalUnpacked;

    RarPtr h(OpenLibrary(FArchiveFile));
    if (!FPassword.empty()) RARSetPassword(h.get(), FPassword.c_str());
    const TLibraryMemberCalls calls{
        .Skip =
            [&] {
                // The library reports a skipped member's bytes too: they only move progress.
                FSkipping = true;
                const int r = RARProcessFile(h.get(), RAR_SKIP);
                FSkipping = false;
                return r;
            },
        .Test = [&] { return RARProcessFile(h.get(), RAR_TEST); },
        .SetPassword = [&](const std::string& p) { RARSetPassword(h.get(), p.c_str()); },
    };
    bool first = true;
    while (!Cancel()) {
        RARHeaderData hd;
        int r = CallLibrary([&] { return RARReadHeader(h.get(), &hd); });
        if (r == ERAR_END_ARCHIVE) break;
        if (r == ERAR_BAD_PASSWORD && first) {
            // Encrypted headers: the archive opens again for each candidate password.
            TPasswordCandidates candidates(*this, KnownPasswords(false), FArchiveFile, false);
            std::string candidate;
            bool accepted = false;
            while (!accepted && candidates.Next(candidate)) {
                h.reset(OpenLibrary(FArchiveFile));
                RARSetPassword(h.get(), candidate.c_str());
                r = RARReadHeader(h.get(), &hd);
                if (r != ERAR_BAD_PASSWORD) {
                    accepted = true;
                    FPassword = candidate;
                }
            }
            if (!accepted) {
                FFileSpec.clear();
                DoError(FArchiveFile, "", "0", arcerr::BadPassword);
                return;
            }
            if (r == ERAR_END_ARCHIVE) break;
        }
        first = false;
        if (r != RAR_SUCCESS) RaiseError(FCurrentVolume, "", std::to_string(FVolumeNumber), RarErrorId(r));
        if (!ExtractLibraryMember(MemberOf(hd), calls)) break;
    }
}

} // namespace mv
