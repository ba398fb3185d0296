#include "archive/readers/UnArc.h"

#include "archive/codecs/ArcDecode.h"
#include "archive/framework/SharedRoutines.h"

#include <algorithm>

namespace mv {

namespace {
constexpr int kErrCrc = 25151;
constexpr uint8_t kMarker = 0x1A;
constexpr uint8_t kDirStart = 30;
constexpr uint8_t kDirEnd = 31;

uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
std::string ShortName(const uint8_t* p, size_t n) {
    size_t k = 0;
    while (k < n && p[k]) ++k;
    return std::string(reinterpret_cast<const char*>(p), k);
}
bool HasWildcard(const std::string& s) {
    return s.find_first_of("*?") != std::string::npos;
}
} // namespace

void TUnARC::ExtractArchive(std::unique_ptr<TArcStream>& file, TArcStream* stream) {
    (void)stream;
    try {
        if (!file) RaiseError(FArchiveFile, "", "0", arcerr::OpenError);
        std::vector<TArcMember> members;
        Collect(*file, members);
        FTotalPacked = FTotalUnpacked = 0;
        for (const auto& m : members) {
            FTotalPacked += m.PackedSize;
            FTotalUnpacked += m.UnpackedSize;
            FMaxFileDate = std::max(FMaxFileDate, m.DosDate);
        }
        FBytesLeft = FTotalPacked;
        for (const auto& m : members) {
            if (FCancel) break;
            if (!ExtractMember(*file, m)) break;
        }
    } catch (const E_RAISE&) {
        // reported through OnError already: the operation ends quietly
    }
}

void TUnARC::Collect(TArcStream& file, std::vector<TArcMember>& members) {
    const bool singleExact = FFileSpec.size() == 1 && !HasWildcard(FFileSpec[0]);
    const int64_t size = file.Size();
    int64_t pos = FArchiveOffset > 0 ? FArchiveOffset - 1 : 0;
    std::string path; // the current PAK directory, "\" after each component
    while (pos + 2 <= size && !FCancel) {
        uint8_t h[29] = {};
        const int64_t avail = std::min<int64_t>(29, size - pos);
        if (!file.Seek(pos) || file.Read(h, avail) != avail)
            RaiseError(FArchiveFile, "", "0", arcerr::ReadError);
        if (h[0] != kMarker || h[1] == 0) break;
        const uint8_t method = h[1];
        if (method == kDirEnd) {
            // a two-byte marker: back to the parent directory
            if (!path.empty()) {
                path.pop_back();
                const size_t cut = path.find_last_of('\\');
                path.erase(cut == std::string::npos ? 0 : cut + 1);
            }
            pos += 2;
            continue;
        }
        // The oldest stored form has no unpacked-size field: its header is 25 bytes.
        const int64_t headerSize = method == 1 ? 25 : 29;
        if (avail < headerSize) {
            DoError(FArchiveFile, "", "0", arcerr::ReadError);
            break;
        }
        const std::string name = OemToAnsiPath(ShortName(h + 2, 13));
        if (method == kDirStart) {
            path += name + "\\";
            pos += headerSize;
            continue;
        }
        TArcMember m;
        m.Method = method;
        m.PackedSize = Le32(h + 15);
        m.DosDate = static_cast<uint32_t>(Le16(h + 19)) << 16 | Le16(h + 21);
        m.Crc = Le16(h + 23);
        m.UnpackedSize = method == 1 ? m.PackedSize : static_cast<int64_t>(Le32(h + 25));
        m.DataOffset = pos + headerSize;
        m.Name = path + name;
        pos = m.DataOffset + m.PackedSize; // strictly forward, in 64 bits
        if (m.Name.empty() || !IsFileSpecMatch(m.Name, false)) continue;
        members.push_back(m);
        if (singleExact) break;
    }
}

bool TUnARC::ExtractMember(TArcStream& file, const TArcMember& m) {
    SetFileName(m.Name);
    if (FEntry.FileName.empty() && FWriteMode != rwSink) {
        DoError(m.Name, "", "0", arcerr::InvalidName);
        FBytesLeft -= m.PackedSize;
        return true;
    }
    std::string name = m.Name;
    switch (DecideMember(name, ConvertDate(m.DosDate), m.PackedSize)) {
    case TMemberDecision::mdStop:
        return false;
    case TMemberDecision::mdSkip:
        return true;
    case TMemberDecision::mdExtract:
        break;
    }
    const std::string reportName =
        (FWriteMode == rwFile || FWriteMode == rwCallStream) ? FEntry.FileName : name;
    if (!IsArcMethodSupported(m.Method)) {
        DoError(reportName, "", "0", arcerr::UnknownMethod);
        FBytesLeft -= m.PackedSize;
        if (OnEnd) OnEnd(this, reportName, false);
        return true;
    }
    std::unique_ptr<TArcStream> out;
    if (!OpenOutputFile(out, FEntry.FileName, m.UnpackedSize, 0)) {
        if (!OutputRefused()) DoError(FEntry.FileName, "", "0", arcerr::OpenError);
        FBytesLeft -= m.PackedSize;
        if (OnEnd) OnEnd(this, reportName, false);
        return true;
    }
    if (!file.Seek(m.DataOffset)) RaiseError(FArchiveFile, "", "0", arcerr::ReadError);
    FMemberBytesLeft = m.PackedSize;
    FMemberPackedTotal = m.PackedSize;
    TMemberInput input(*this, &file, nullptr, false);
    SetCrc16Register(0);
    TMemberOutput output(*this, out.get(), nullptr, crc16);
    bool decoded = true; // the decoder ran to the end of the data
    uint64_t written = 0;
    try {
        written =
            ArcDecode(m.Method, input, output, static_cast<uint64_t>(std::max<int64_t>(m.UnpackedSize, 0)));
    } catch (const ECodecError& e) {
        DoError(reportName, "", "0", e.Code());
        decoded = false;
    } catch (const E_RAISE&) {
        decoded = false; // reported already
    }
    if (FCancel) decoded = false;
    FBytesLeft -= FMemberBytesLeft;
    FMemberBytesLeft = 0;
    const bool crcPass =
        decoded && written == static_cast<uint64_t>(m.UnpackedSize) && Crc16Register() == m.Crc;
    if (decoded && !crcPass && !OnEnd) DoError(reportName, "", "0", kErrCrc);
    AfterExtractFile(out, nullptr, 32, m.DosDate, name, crcPass);
    if (OnEnd && !FCancel) OnEnd(this, reportName, crcPass);
    return !FCancel;
}

} // namespace mv
