#include "archive/readers/UnLha.h"

#include "archive/codecs/Lh1Codec.h"
#include "archive/codecs/LzhDecode.h"
#include "archive/framework/SharedRoutines.h"
#include "archive/formats/lha/LhaHeader.h"

#include <algorithm>
#include <new>

namespace mv {

namespace {

bool HasWildcardChar(const std::string& s) {
    return s.find_first_of("*?") != std::string::npos;
}

// DOS date and time of a member: levels 0 and 1 store it, levels 2 and 3 (and
// level 1 with its Unix time extension) store Unix seconds.
uint32_t MemberDosDate(const TLhaHeader& h) {
    if (!h.HasUnixTime) return h.DosDateTime;
    return DateTimeToDosDateTime(UnixTimeToDateTime(h.UnixTime));
}

// The DOS attribute byte, with a stored Unix mode in the high word as a regular
// file's mode.
uint32_t MemberAttributes(const TLhaHeader& h) {
    if (!h.UnixMode) return h.Attribute;
    return uint32_t(h.Attribute) | (0100000u | (h.UnixMode & 0777u)) << 16;
}
} // namespace

TUnLHA::TUnLHA() = default;
TUnLHA::~TUnLHA() = default;

void TUnLHA::ExtractArchive(std::unique_ptr<TArcStream>& file, TArcStream* stream) {
    (void)stream;
    try {
        if (!file) RaiseError(FArchiveFile, "", "0", arcerr::OpenError);
        // The first header; a zero byte there means the archive starts 128
        // bytes further on.
        int64_t start = std::max<int64_t>(0, FArchiveOffset - 1);
        uint8_t first = 0;
        if (ReadAtOf(*file)(start, &first, 1) == 1 && first == 0) {
            start += 128;
            FArchiveOffset += 128;
        }
        std::vector<TLhaMember> members;
        Scan(*file, start, members);
        FBytesLeft = FTotalPacked;
        for (const auto& m : members) {
            if (FCancel) break;
            if (!ExtractMember(*file, m)) break;
        }
    } catch (const E_RAISE&) {
        // reported through OnError already: the operation ends here
    } catch (const std::bad_alloc&) {
        DoError(FArchiveFile, "", "0", arcerr::OutOfMemory);
    }
}

void TUnLHA::Scan(TArcStream& file, int64_t start, std::vector<TLhaMember>& members) {
    const TLhaReadAt readAt = ReadAtOf(file);
    const int64_t size = file.Size();
    const bool single =
        FFileSpec.size() == 1 && !HasWildcardChar(FFileSpec[0]) && !IsMultiFileSpec(FFileSpec);
    FFileCount = 0;
    FTotalPacked = FTotalUnpacked = 0;
    int64_t pos = start;
    while (!FCancel) {
        TLhaHeader h;
        const TLhaHeaderStatus status = ReadLhaHeader(readAt, pos, size, h);
        if (status == TLhaHeaderStatus::lhsEnd) break;
        if (status == TLhaHeaderStatus::lhsBad) {
            DoError(FArchiveFile, "", "0", arcerr::HeaderError);
            break;
        }
        if (status == TLhaHeaderStatus::lhsUnsupportedLevel) {
            DoError(FArchiveFile, "", "0", arcerr::VersionNotSupported);
            break;
        }
        // A stored folder is made; a symbolic link ("name|target") is not: it is reported.
        const size_t bar = h.IsDirectory() ? h.Name.find('|') : std::string::npos;
        if (h.IsDirectory() && bar == std::string::npos) ExtractFolderEntry(h.Name);
        if (bar != std::string::npos) SkipLinkMember(h.Name.substr(0, bar), h.Name.substr(bar + 1));
        if (!h.IsDirectory() && !h.Name.empty() && IsFileSpecMatch(h.Name, false)) {
            members.push_back({h.Offset, h.PackedSize, h.UnpackedSize});
            FMaxFileDate = std::max(FMaxFileDate, MemberDosDate(h));
            FTotalPacked += h.PackedSize;
            FTotalUnpacked += h.UnpackedSize;
            if (single) break;
        }
        pos = h.Next; // always beyond the header just read
    }
}

bool TUnLHA::ExtractMember(TArcStream& file, const TLhaMember& m) {
    TLhaHeader h;
    if (!file.Seek(m.Offset)) RaiseError(FArchiveFile, "", "0", arcerr::SeekError);
    if (ReadLhaHeader(ReadAtOf(file), m.Offset, file.Size(), h) != TLhaHeaderStatus::lhsOk)
        RaiseError(FArchiveFile, "", "0", arcerr::HeaderError);
    const uint32_t dosDate = MemberDosDate(h);
    std::string name;
    const TMemberDecision decision = BeginMember(h.Name, ConvertDate(dosDate), m.PackedSize, name);
    if (decision != TMemberDecision::mdExtract) return decision == TMemberDecision::mdSkip;
    const std::string reportName = ReportName(name);

    // Only "-lh?-" names the LHA methods: "-lz5-" and the like are other
    // formats' methods that share a letter.
    const char method = h.MethodLetter();
    if (method != '0' && method != '1' && method != '4' && method != '5' && method != '6')
        RaiseError(reportName, std::string(h.Method, 5), "0", arcerr::UnknownMethod);

    if (!file.Seek(h.DataOffset)) RaiseError(FArchiveFile, "", "0", arcerr::SeekError);
    std::unique_ptr<TArcStream> out;
    if (!OpenMemberOutput(out, m.UnpackedSize)) {
        FBytesLeft -= m.PackedSize;
        return true;
    }
    FMemberBytesLeft = m.PackedSize;
    FMemberPackedTotal = m.PackedSize;
    SetCrc16Register(0);
    const uint64_t unpacked = static_cast<uint64_t>(m.UnpackedSize);
    TMemberInput input(*this, &file, nullptr, false);
    TMemberOutput output(*this, out.get(), nullptr, crc16);
    int codecError = 0;
    try {
        switch (method) {
        case '0': {
            // Stored: never more than the declared size.
            FMemberBytesLeft = std::min(m.PackedSize, m.UnpackedSize);
            std::vector<uint8_t> buf(32768);
            for (size_t got; !FCancel && (got = input.Read(buf.data(), buf.size())) > 0;)
                output.Write(buf.data(), got);
            break;
        }
        case '1':
            Lh1Decompress(input, output, unpacked);
            break;
        case '4':
            Lzh3Decode(input, output, unpacked, LzhParamsLh4);
            break;
        case '5':
            Lzh3Decode(input, output, unpacked, LzhParamsLh5);
            break;
        case '6':
            Lzh3Decode(input, output, unpacked, LzhParamsLh6);
            break;
        }
    } catch (const ECodecError& e) {
        codecError = e.Code();
    } catch (...) {
        // A raised error (write failure, read error): no partial output stays.
        DiscardOutput(out);
        throw;
    }
    CloseMemberInput();
    if (!codecError && !FCancel && output.Written() != unpacked) codecError = arcerr::ReadError;
    if (codecError) {
        // Errors inside a member end the whole extraction; its output is dropped.
        AfterExtractFile(out, nullptr, h.Attribute, dosDate, name, false);
        RaiseError(reportName, "", "0", codecError);
    }
    const bool decoded = !FCancel;
    const bool crcPass = decoded && Crc16Register() == h.Crc;
    return EndMember(out, MemberAttributes(h), dosDate, name, reportName, decoded, crcPass,
                     h.HasUnixTime ? h.UnixTime : -1);
}

} // namespace mv
