// The ARJ walk: a main header (found by its id and header CRC within the first
// 25,000 bytes), then a local header before each member's packed data, all
// framed as id 0xEA60, size, basic header, CRC-32, extended headers. Members
// are extracted as the walk meets them; a member whose part ends a volume
// continues with the first member of the next volume.
#include "archive/readers/UnArj.h"

#include "archive/codecs/ArjDecode.h"
#include "archive/codecs/LzhDecode.h"
#include "archive/formats/arj/ArjFormat.h"
#include "archive/framework/Crc.h"
#include "archive/framework/SharedRoutines.h"
#include "archive/framework/TextUtils.h"
#include "archive/framework/ZipRecords.h"
#include "platform/CodePage.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace mv {

// A member's header with what the reader derives from it.
struct TUnARJ::THeader : TArjHeader {
    // The DOS date of the member: Unix hosts store Unix seconds.
    uint32_t DosDate() const {
        return Host() == ArjHostUnix ? FileDosDateTime(int64_t(DateTime())) : DateTime();
    }
    // The date to the second where the host stored Unix seconds (-1: none).
    int64_t UnixTime() const { return Host() == ArjHostUnix ? int64_t(DateTime()) : -1; }
    // DOS attributes in the low byte; Unix permissions in the high word, as a
    // regular file's mode (the field holds the permission bits alone).
    uint32_t Attributes() const {
        if (Host() == ArjHostUnix)
            return 0x20u | ((Mode() & 0200) ? 0u : 0x01u) | (0100000u | (Mode() & 0777u)) << 16;
        return (Mode() & 0x27) | 0x20u;
    }
};

struct TUnARJ::TOpenMember {
    std::unique_ptr<TArcStream> Out;
    std::string Name, ReportName;
    uint32_t Attributes = 32, DosDate = 0;
    int64_t UnixTime = -1;
    bool Ok = true;
    bool Reported = false; // an error of its own was reported: its check is not
    bool Garbled = false;
    bool NoPassword = false; // garbled, and no password was given for it
    bool Open = false;
};

TUnARJ::TUnARJ() = default;
TUnARJ::~TUnARJ() = default;

bool TUnARJ::ReadHeader(TArcStream& file, int64_t pos, THeader& h, int member) {
    const std::string detail = std::to_string(member);
    if (!file.Seek(pos)) RaiseError(FArchiveFile, detail, "0", arcerr::SeekError);
    const TArjHeaderStatus status = ReadArjHeader(ReadAtOf(file), pos, file.Size(), h);
    if (status == TArjHeaderStatus::ahEnd) return false;
    if (status == TArjHeaderStatus::ahShort) RaiseError(FArchiveFile, detail, "0", arcerr::ReadError);
    if (status == TArjHeaderStatus::ahBadCrc) RaiseError(FArchiveFile, detail, "0", arcerr::HeaderCrcError);
    if (status != TArjHeaderStatus::ahOk) RaiseError(FArchiveFile, detail, "0", arcerr::HeaderError);
    if (h.Size() < ArjMinLocalSize) RaiseError(FArchiveFile, detail, "0", arcerr::HeaderError);
    return true;
}

int64_t TUnARJ::FindMainHeader(TArcStream& file, int64_t from) {
    const int64_t size = file.Size();
    if (from < 0 || from >= size) return -1;
    const int64_t limit = std::min<int64_t>(size - from - 2, ArjMainSearchLimit);
    std::vector<uint8_t> buf(size_t(std::max<int64_t>(
        0, std::min<int64_t>(size - from, ArjMainSearchLimit + 2 + 4 + ArjMaxBasicSize + 4))));
    if (!file.Seek(from) || !ReadFully(file, buf.data(), int64_t(buf.size()))) return -1;
    for (int64_t i = 0; i < limit; ++i) {
        if (LE16(&buf[size_t(i)]) != ArjHeaderId) continue;
        if (size_t(i) + 4 > buf.size()) break;
        const int basic = LE16(&buf[size_t(i) + 2]);
        if (basic < int(ArjMinLocalSize) || basic > ArjMaxBasicSize || size_t(i) + 4 + basic + 4 > buf.size())
            continue;
        if (Crc32Of(&buf[size_t(i) + 4], size_t(basic)) == LE32(&buf[size_t(i) + 4 + basic])) return from + i;
    }
    return -1;
}

bool TUnARJ::GetPassword(const std::string& name) {
    if (!FPassword.empty()) return true;
    if (!OnGetPassword) return false;
    for (int attempt = 0; FPassword.empty() && attempt < std::max(1, FPasswordAttempts); ++attempt) {
        std::string answer;
        bool again = true;
        OnGetPassword(this, name, answer, again);
        if (!again) return false;
        FPassword = answer;
    }
    return !FPassword.empty();
}

bool TUnARJ::DecodePart(TArcStream& file, TArcStream* stream, const THeader& h, TOpenMember& m) {
    if (!file.Seek(h.DataPos)) RaiseError(m.ReportName, "", "0", arcerr::SeekError);
    FMemberBytesLeft = h.Packed();
    FMemberPackedTotal = h.Packed();
    SetCrc32Register(CrcSeed);
    const bool garbled = (h.Flags() & ArjFlagGarbled) != 0;
    const std::string savedPassword = FPassword;
    bool decoded = true;
    if (garbled) {
        if (!GetPassword(m.ReportName)) {
            // Without a password the member cannot be read: it is reported as
            // protected and fails; the other members go on.
            DoError(m.ReportName, "", "0", arcerr::PasswordProtected);
            m.Reported = true;
            m.NoPassword = true;
            FBytesLeft -= FMemberBytesLeft;
            FMemberBytesLeft = 0;
            return false;
        }
        FPassword = ShiftStringBytes(false, FPassword, h.PasswordModifier());
        SetGarblePos(1);
    }
    const std::string plainPassword = garbled ? ShiftStringBytes(true, FPassword, h.PasswordModifier()) : "";
    try {
        TMemberInput input(*this, &file, stream, garbled);
        TMemberOutput output(*this, m.Out.get(), stream, crc32);
        const uint64_t size = h.Unpacked();
        uint64_t written = 0;
        if (h.Method() == 0) {
            written = uint64_t(CopyStoredMember(&file, stream, m.Out, m.ReportName, garbled, crc32));
        } else if (h.Method() == 4) {
            written = ArjDecodeFast(input, output, size);
        } else {
            written = Lzh3Decode(input, output, size, LzhParamsArj);
        }
        if (written != size && !FCancel) {
            DoError(m.ReportName, "", "0", arcerr::ReadError);
            decoded = false;
            m.Reported = true;
        }
    } catch (const ECodecError& e) {
        // Garbled data that does not decode is what a wrong password gives: it
        // is reported as a password error below, not as the codec's.
        if (!garbled) DoError(m.ReportName, "", "0", e.Code());
        decoded = false;
        m.Reported = true;
    } catch (const E_RAISE&) {
        decoded = false;
        m.Reported = true;
    }
    if (garbled) FPassword = plainPassword;
    (void)savedPassword;
    CloseMemberInput();
    if (FCancel) return false;
    return decoded && (Crc32Register() ^ CrcSeed) == h.Crc();
}

void TUnARJ::FinishMember(TArcStream* stream, TOpenMember& m) {
    if (!m.Open) return;
    m.Open = false;
    const bool ok = m.Ok && !FCancel;
    AfterExtractFile(m.Out, stream, m.Attributes, m.DosDate, m.Name, ok, m.UnixTime);
    if (OnEnd)
        OnEnd(this, m.ReportName, ok);
    else if (!ok && !FCancel && !m.Reported)
        DoError(m.ReportName, std::to_string(FFileCount), "0", arcerr::CrcError);
    if (!ok && m.Garbled && !m.NoPassword && !FCancel) RaiseError(m.ReportName, "", "0", arcerr::BadPassword);
}

void TUnARJ::ExtractArchive(std::unique_ptr<TArcStream>& file, TArcStream* stream) {
    TOpenMember m;
    try {
        if (!file) RaiseError(FArchiveFile, "", "0", arcerr::OpenError);
        std::string volumeName = FArchiveFile;
        // A self-extractor's archive starts where detection found it.
        const bool selfExtractor = FArcType == TArcType::atArjExe;
        int64_t start = FindMainHeader(*file, selfExtractor ? std::max<int64_t>(0, FArchiveOffset - 1) : 0);
        if (start < 0) RaiseError(FArchiveFile, "", "0", arcerr::InvalidArcType);
        int volume = 0;
        int member = 0;
        bool continuing = false; // the open member goes on in this volume
        for (;;) {
            THeader main;
            if (!ReadHeader(*file, start, main, 0)) break;
            const bool multiVolume = (main.Flags() & ArjFlagVolume) != 0;
            int64_t pos = main.DataPos;
            THeader h;
            while (!FCancel && ReadHeader(*file, pos, h, ++member)) {
                const int64_t next = h.DataPos + int64_t(h.Packed());
                if (h.MinVersion() > 3) RaiseError(FArchiveFile, std::to_string(member), "0", arcerr::VersionError);
                // Method 4 came with archiver version 2: a version 1 header naming it is damaged.
                if (h.Method() > 4 || (h.Method() == 4 && h.ArjVersion() == 1))
                    RaiseError(FArchiveFile, std::to_string(member), "0", arcerr::UnknownMethod);
                const bool folder = h.FileType() == ArjTypeFolder;
                const std::string name = Utf8OrOem(h.Name());
                if (continuing) {
                    // The first member of this volume carries the rest of the open one.
                    continuing = false;
                    if (!DecodePart(*file, stream, h, m)) m.Ok = false;
                    if (m.Ok && (h.Flags() & ArjFlagVolume)) {
                        continuing = true;
                        break;
                    }
                    FinishMember(stream, m);
                } else if (folder) {
                    ExtractFolderEntry(name);
                } else if (IsFileSpecMatch(name, false)) {
                    FTotalPacked += h.Packed();
                    FBytesLeft += h.Packed();
                    SetFileName(name);
                    std::string decided = name;
                    bool extract = true;
                    if (FEntry.FileName.empty() && FWriteMode != rwSink) {
                        DoError(name, "", "0", arcerr::InvalidName);
                        extract = false;
                    } else {
                        switch (DecideMember(decided, DosDateTimeToDateTime(h.DosDate()), h.Packed())) {
                        case TMemberDecision::mdStop:
                            return;
                        case TMemberDecision::mdSkip:
                            extract = false;
                            break;
                        case TMemberDecision::mdExtract:
                            break;
                        }
                    }
                    if (extract) {
                        m = TOpenMember();
                        m.Name = decided;
                        m.ReportName = ReportName(decided);
                        m.Attributes = h.Attributes();
                        m.DosDate = h.DosDate();
                        m.UnixTime = h.UnixTime();
                        m.Garbled = (h.Flags() & ArjFlagGarbled) != 0;
                        if (OpenMemberOutput(m.Out, h.Unpacked())) {
                            m.Open = true;
                            m.Ok = DecodePart(*file, stream, h, m);
                            if (m.Ok && (h.Flags() & ArjFlagVolume)) {
                                continuing = true;
                                break;
                            }
                            FinishMember(stream, m);
                        }
                    }
                }
                if (next <= pos) RaiseError(FArchiveFile, std::to_string(member), "0", arcerr::HeaderError);
                pos = next;
            }
            if (FCancel || (!multiVolume && !continuing)) break;
            FVolumeNumber = ++volume;
            if (!NextVolume(file, volumeName)) break;
            start = FindMainHeader(*file, 0);
            if (start < 0) RaiseError(volumeName, "", std::to_string(volume), arcerr::InvalidArcType);
        }
        // A member whose next part never came is incomplete.
        if (m.Open) {
            m.Ok = false;
            FinishMember(stream, m);
        }
    } catch (const E_RAISE&) {
        if (m.Open) {
            m.Open = false;
            AfterExtractFile(m.Out, stream, m.Attributes, m.DosDate, m.Name, false);
        }
    }
}

} // namespace mv
