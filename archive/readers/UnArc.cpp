#include "archive/readers/UnArc.h"

#include "archive/codecs/ArcDecode.h"
#include "archive/formats/arc/ArcFormat.h"
#include "archive/framework/SharedRoutines.h"
#include "archive/framework/ZipRecords.h"

#include <algorithm>

namespace mv {

void TUnARC::ExtractArchive(std::unique_ptr<TArcStream>& file, TArcStream* stream) {
    (void)stream;
    ExtractListedArchive(file, &TUnARC::Collect, &TUnARC::ExtractMember);
}

void TUnARC::Collect(TArcStream& file, std::vector<TArcMember>& members) {
    const bool singleExact = SingleExactSpec();
    const int64_t size = file.Size();
    int64_t pos = FArchiveOffset > 0 ? FArchiveOffset - 1 : 0;
    std::string path; // the current PAK directory, "\" after each component
    bool ended = false; // the end marker or the one member asked for was reached
    while (pos + 2 <= size && !FCancel) {
        uint8_t h[ArcHeaderSize] = {};
        const int64_t avail = std::min<int64_t>(ArcHeaderSize, size - pos);
        if (!file.Seek(pos) || file.Read(h, avail) != avail)
            RaiseError(FArchiveFile, "", "0", arcerr::ReadError);
        const TArcRecord r = ReadArcRecord(h, size_t(avail));
        if (r.Kind == TArcRecordKind::arkEnd) ended = true;
        if (r.Kind == TArcRecordKind::arkEnd || r.Kind == TArcRecordKind::arkBad) break;
        if (r.Kind == TArcRecordKind::arkDirEnd) {
            path = ArcParentFolder(path);
            pos += r.HeaderSize;
            continue;
        }
        if (r.Kind == TArcRecordKind::arkShort) {
            DoError(FArchiveFile, "", "0", arcerr::ReadError);
            break;
        }
        const std::string name = OemToAnsiPath(r.Name);
        if (r.Kind == TArcRecordKind::arkDirStart) {
            path += name + "\\";
            pos += r.HeaderSize;
            continue;
        }
        TArcMember m;
        m.Method = r.Method;
        m.PackedSize = r.PackedSize;
        m.DosDate = r.DosDateTime;
        m.Crc = r.Crc;
        m.UnpackedSize = r.UnpackedSize;
        m.DataOffset = pos + r.HeaderSize;
        m.Name = path + name;
        pos = m.DataOffset + m.PackedSize; // strictly forward, in 64 bits
        if (m.Name.empty() || !IsFileSpecMatch(m.Name, false)) continue;
        members.push_back(m);
        if (singleExact) {
            ended = true;
            break;
        }
    }
    // The file ends before the end marker (inside a member's data or its header): cut short.
    if (!ended && !FCancel && pos + 2 > size) DoError(FArchiveFile, "", "0", arcerr::ReadError);
}

bool TUnARC::ExtractMember(TArcStream& file, const TArcMember& m) {
    std::string name;
    const TMemberDecision decision = BeginMember(m.Name, ConvertDate(m.DosDate), m.PackedSize, name);
    if (decision != TMemberDecision::mdExtract) return decision == TMemberDecision::mdSkip;
    const std::string reportName = ReportName(name);
    if (!IsArcMethodSupported(m.Method)) {
        RefuseMember(reportName, arcerr::UnknownMethod, m.PackedSize);
        return true;
    }
    std::unique_ptr<TArcStream> out;
    if (!OpenOutputFile(out, FEntry.FileName, m.UnpackedSize, 0)) {
        // Unlike the other readers, a member whose output cannot be opened is reported and passed over.
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
    CloseMemberInput();
    const bool crcPass =
        decoded && written == static_cast<uint64_t>(m.UnpackedSize) && Crc16Register() == m.Crc;
    return EndMember(out, 32, m.DosDate, name, reportName, decoded, crcPass);
}

} // namespace mv
