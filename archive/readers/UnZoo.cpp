#include "archive/readers/UnZoo.h"

#include "archive/codecs/LzhDecode.h"
#include "archive/codecs/ZooLzd.h"
#include "archive/framework/SharedRoutines.h"
#include "archive/framework/TextUtils.h"
#include "archive/framework/ZipRecords.h"

#include <algorithm>

namespace mv {

namespace {
constexpr uint32_t kTag = 0xFDC4A7DCu;
constexpr int64_t kEntrySize = 58;

// Copies the stored bytes of a member, at most `limit` of them.
uint64_t CopyStored(CodecInput& in, CodecOutput& out, uint64_t limit) {
    std::vector<uint8_t> buf(32768);
    uint64_t done = 0;
    while (done < limit && !out.Cancelled()) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(buf.size(), limit - done));
        const size_t got = in.Read(buf.data(), want);
        if (got == 0) break;
        out.Write(buf.data(), got);
        done += got;
    }
    return done;
}
} // namespace

void TUnZOO::ExtractArchive(std::unique_ptr<TArcStream>& file, TArcStream* stream) {
    (void)stream;
    ExtractListedArchive(file, &TUnZOO::Collect, &TUnZOO::ExtractMember);
}

void TUnZOO::Collect(TArcStream& file, std::vector<TZooMember>& members) {
    const bool singleExact = SingleExactSpec();
    const int64_t size = file.Size();
    uint8_t h[34];
    if (!file.Seek(0) || file.Read(h, sizeof h) != static_cast<int64_t>(sizeof h))
        RaiseError(FArchiveFile, "", "0", arcerr::ReadError);
    const uint32_t start = LE32(h + 24);
    if (LE32(h + 20) != kTag || static_cast<uint32_t>(start + LE32(h + 28)) != 0 || start < sizeof h ||
        start >= size)
        RaiseError(FArchiveFile, "", "0", arcerr::HeaderError);
    int64_t pos = start;
    while (!FCancel) {
        // The last entry may be cut short at the end of the file: only its
        // tag and its zero next offset count.
        uint8_t e[kEntrySize] = {};
        const int64_t got = file.Seek(pos) ? file.Read(e, kEntrySize) : -1;
        if (got < 10) {
            DoError(FArchiveFile, "", "0", arcerr::ReadError);
            break;
        }
        if (LE32(e) != kTag) {
            DoError(FArchiveFile, "", "0", arcerr::HeaderError);
            break;
        }
        const int64_t next = LE32(e + 6);
        if (next == 0) break; // the last entry carries no member
        if (got != kEntrySize) {
            DoError(FArchiveFile, "", "0", arcerr::ReadError);
            break;
        }
        const bool deleted = e[30] != 0;
        TZooMember m;
        m.Method = e[5];
        m.DataOffset = LE32(e + 10);
        m.DosDate = static_cast<uint32_t>(LE16(e + 14)) << 16 | LE16(e + 16);
        m.Crc = LE16(e + 18);
        m.UnpackedSize = LE32(e + 20);
        m.PackedSize = LE32(e + 24);
        std::string name = ZeroTerminated(e + 38, 13), dir;
        if (e[4] == 2) {
            // the variable part: long name, then directory
            const size_t nameLength = e[56], dirLength = e[57];
            std::vector<uint8_t> v(nameLength + dirLength);
            if (!v.empty() &&
                (!file.Seek(pos + kEntrySize) ||
                 file.Read(v.data(), static_cast<int64_t>(v.size())) != static_cast<int64_t>(v.size()))) {
                DoError(FArchiveFile, "", "0", arcerr::ReadError);
                break;
            }
            const std::string longName = ZeroTerminated(v.data(), nameLength);
            if (!longName.empty()) name = longName;
            dir = ZeroTerminated(v.data() + nameLength, dirLength);
        }
        std::replace(dir.begin(), dir.end(), '/', '\\');
        if (!dir.empty() && dir.back() != '\\') dir.push_back('\\');
        m.Name = OemToAnsiPath(dir + name);
        if (!deleted && !name.empty() && IsFileSpecMatch(m.Name, false)) {
            members.push_back(m);
            if (singleExact) break;
        }
        // The chain runs strictly forward inside the file: anything else would loop.
        if (next <= pos || next >= size) {
            DoError(FArchiveFile, "", "0", arcerr::HeaderError);
            break;
        }
        pos = next;
    }
}

bool TUnZOO::ExtractMember(TArcStream& file, const TZooMember& m) {
    std::string name;
    const TMemberDecision decision = BeginMember(m.Name, ConvertDate(m.DosDate), m.PackedSize, name);
    if (decision != TMemberDecision::mdExtract) return decision == TMemberDecision::mdSkip;
    const std::string reportName = ReportName(name);
    if (m.Method > 2) {
        RefuseMember(reportName, arcerr::UnknownMethod, m.PackedSize);
        return true;
    }
    std::unique_ptr<TArcStream> out;
    if (!OpenMemberOutput(out, m.UnpackedSize)) {
        FBytesLeft -= m.PackedSize;
        return true;
    }
    if (!file.Seek(m.DataOffset)) RaiseError(FArchiveFile, "", "0", arcerr::ReadError);
    FMemberBytesLeft = m.PackedSize;
    FMemberPackedTotal = m.PackedSize;
    TMemberInput input(*this, &file, nullptr, false);
    SetCrc16Register(0);
    TMemberOutput output(*this, out.get(), nullptr, crc16);
    const uint64_t unpacked = static_cast<uint64_t>(m.UnpackedSize);
    bool decoded = true; // the decoder ran to the end of the data
    uint64_t written = 0;
    try {
        if (m.Method == 0)
            written = CopyStored(input, output, unpacked);
        else if (m.Method == 1)
            written = ZooLzdDecode(input, output, unpacked);
        else
            written = Lzh3Decode(input, output, unpacked, LzhParamsZoo);
    } catch (const ECodecError& e) {
        DoError(reportName, "", "0", e.Code());
        decoded = false;
    } catch (const E_RAISE&) {
        decoded = false; // reported already
    }
    if (FCancel) decoded = false;
    CloseMemberInput();
    const bool crcPass = decoded && written == unpacked && Crc16Register() == m.Crc;
    return EndMember(out, 32, m.DosDate, name, reportName, decoded, crcPass);
}

} // namespace mv
