#include "archive/readers/UnZoo.h"

#include "archive/codecs/LzhDecode.h"
#include "archive/codecs/ZooLzd.h"
#include "archive/formats/zoo/ZooFormat.h"
#include "archive/framework/SharedRoutines.h"
#include "archive/framework/TextUtils.h"
#include "archive/framework/ZipRecords.h"

#include <algorithm>

namespace mv {

namespace {

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
    uint8_t h[ZooArchiveHeaderSize];
    if (!file.Seek(0) || file.Read(h, sizeof h) != static_cast<int64_t>(sizeof h))
        RaiseError(FArchiveFile, "", "0", arcerr::ReadError);
    TZooArchiveHeader header;
    if (!ReadZooArchiveHeader(h, sizeof h, header) || header.FirstEntry < int64_t(sizeof h) ||
        header.FirstEntry >= size)
        RaiseError(FArchiveFile, "", "0", arcerr::HeaderError);
    int64_t pos = header.FirstEntry;
    while (!FCancel) {
        // The last entry may be cut short at the end of the file: only its
        // tag and its zero next offset count.
        uint8_t e[ZooEntrySize] = {};
        const int64_t got = file.Seek(pos) ? file.Read(e, ZooEntrySize) : -1;
        if (got < 10) {
            DoError(FArchiveFile, "", "0", arcerr::ReadError);
            break;
        }
        TZooEntry entry;
        if (!ReadZooEntry(e, size_t(got), entry)) {
            DoError(FArchiveFile, "", "0", arcerr::HeaderError);
            break;
        }
        const int64_t next = entry.Next;
        if (next == 0) break; // the last entry carries no member
        if (got != int64_t(ZooEntrySize)) {
            DoError(FArchiveFile, "", "0", arcerr::ReadError);
            break;
        }
        const bool deleted = entry.Deleted;
        TZooMember m;
        m.Method = entry.Method;
        m.DataOffset = entry.DataOffset;
        m.DosDate = entry.DosDateTime;
        m.Crc = entry.Crc;
        m.UnpackedSize = entry.UnpackedSize;
        m.PackedSize = entry.PackedSize;
        std::vector<uint8_t> v(entry.NameLength + entry.DirLength);
        if (entry.HasVariablePart() &&
            (!file.Seek(pos + int64_t(ZooEntrySize)) ||
             file.Read(v.data(), static_cast<int64_t>(v.size())) != static_cast<int64_t>(v.size()))) {
            DoError(FArchiveFile, "", "0", arcerr::ReadError);
            break;
        }
        const std::string path = ZooEntryPath(entry, v.data());
        const std::string name = path.substr(path.find_last_of('\\') + 1);
        m.Name = OemToAnsiPath(path);
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
