#include "archive/readers/UnBh.h"

#include "archive/codecs/LzhDecode.h"
#include "archive/formats/bh/BhFormat.h"
#include "archive/framework/SharedRoutines.h"
#include "archive/framework/ZipCrypt.h"
#include "archive/framework/ZipRecords.h"

#include <algorithm>

namespace mv {

namespace {

// The packed bytes of a member's data: an encryption header is not data.
int64_t DataSize(const TUnBH::TBhMember& m) {
    return m.PackedSize - ((m.Flags & BhFlagEncrypted) ? 12 : 0);
}

} // namespace

void TUnBH::ExtractArchive(std::unique_ptr<TArcStream>& file, TArcStream* stream) {
    (void)stream;
    ExtractListedArchive(file, &TUnBH::Collect, &TUnBH::ExtractMember, DataSize);
}

void TUnBH::Collect(TArcStream& file, std::vector<TBhMember>& members) {
    const bool singleExact = SingleExactSpec();
    const int64_t size = file.Size();
    int64_t pos = FArchiveOffset > 0 ? FArchiveOffset - 1 : 0;
    while (pos + int64_t(BhHeaderSize) <= size && !FCancel) {
        uint8_t h[BhHeaderSize];
        if (!file.Seek(pos)) RaiseError(FArchiveFile, "", "0", arcerr::SeekError);
        if (file.Read(h, BhHeaderSize) != int64_t(BhHeaderSize)) break;
        TBhHeader header;
        if (!ReadBhHeader(h, header)) break;
        std::string raw(header.NameLength, '\0');
        if (header.NameLength &&
            file.Read(reinterpret_cast<uint8_t*>(raw.data()), header.NameLength) != header.NameLength) {
            DoError(FArchiveFile, "", "0", arcerr::ReadError);
            break;
        }
        TBhMember m;
        m.Flags = header.Flags;
        m.Method = header.Method;
        m.DosDate = header.DosDateTime;
        m.PackedSize = header.PackedSize;
        m.UnpackedSize = header.UnpackedSize;
        m.Crc = header.Crc;
        m.Attributes = header.Attributes;
        m.DataOffset = pos + header.DataStart();
        m.Name = HostNameToAnsiPath(raw, true); // valid UTF-8 is UTF-8, other bytes OEM
        pos = m.DataOffset + m.PackedSize; // strictly forward, in 64 bits
        const bool usable = !(m.Flags & BhFlagEncrypted) || m.PackedSize >= 12;
        if (!usable || m.Name.empty() || !IsFileSpecMatch(m.Name, false)) continue;
        members.push_back(m);
        if (singleExact) break;
    }
}

bool TUnBH::TestPassword(const TBhMember& m, const uint8_t header[12], const std::string& password) {
    return ZipTestEncryptHeader(ZipKeys(), header, m.Flags, password, m.DosDate, m.Crc);
}

int TUnBH::AcceptPassword(const TBhMember& m, const uint8_t header[12]) {
    const int found = FindPassword(m.Name, [&](const std::string& p) { return TestPassword(m, header, p); });
    return found == 1 ? 1 : -1;
}

bool TUnBH::ExtractMember(TArcStream& file, const TBhMember& m) {
    std::string name;
    const TMemberDecision decision = BeginMember(m.Name, ConvertDate(m.DosDate), m.PackedSize, name);
    if (decision != TMemberDecision::mdExtract) return decision == TMemberDecision::mdSkip;
    const std::string reportName = ReportName(name);
    if (!file.Seek(m.DataOffset)) RaiseError(FArchiveFile, "", "0", arcerr::SeekError);
    FMemberBytesLeft = m.PackedSize;
    FMemberPackedTotal = m.PackedSize;
    TMemberInput input(*this, &file, nullptr, false);
    const bool encrypted = m.Flags & BhFlagEncrypted;
    if (encrypted) {
        uint8_t header[12];
        if (input.ReadFull(header, sizeof header) != sizeof header || AcceptPassword(m, header) != 1) {
            // No password fits: the member fails its check and the extraction ends.
            CloseMemberInput();
            if (OnEnd)
                OnEnd(this, reportName, false);
            else
                DoError(reportName, "", "0", arcerr::CrcError);
            return false;
        }
        input.SetDecrypt(true);
    }
    const bool known = m.Method == 0 || m.Method == 1 || m.Method == 2 || m.Method == 8;
    if (!known) {
        CloseMemberInput();
        RefuseMember(reportName, arcerr::UnknownMethod, 0);
        return true;
    }
    std::unique_ptr<TArcStream> out;
    if (!OpenMemberOutput(out, m.UnpackedSize)) {
        CloseMemberInput();
        return true;
    }
    const uint64_t unpacked = static_cast<uint64_t>(m.UnpackedSize);
    bool decoded = true;
    if (m.Method == 1) {
        SetCrc32Register(0xFFFFFFFFu);
        TMemberOutput output(*this, out.get(), nullptr, crc32);
        try {
            decoded = Lzh3Decode(input, output, unpacked, LzhParamsFuse) == unpacked;
            if (!decoded && !FCancel) DoError(reportName, "", "0", arcerr::ReadError);
        } catch (const ECodecError& e) {
            DoError(reportName, "", "0", e.Code());
            decoded = false;
        } catch (const E_RAISE&) {
            decoded = false; // reported already
        }
    } else {
        // stored (0) and deflated (2, 8) through the ZIP decoders
        decoded = DecodeZipMember(input, out, m.Method == 0 ? 0 : 8, 0, m.UnpackedSize, reportName);
    }
    if (FCancel) decoded = false;
    CloseMemberInput();
    // The stored CRC is accepted as the running register or its final form.
    const uint32_t reg = Crc32Register();
    const bool crcPass = decoded && (m.Crc == reg || m.Crc == (reg ^ 0xFFFFFFFFu));
    return EndMember(out, m.Attributes, m.DosDate, name, reportName, decoded, crcPass);
}

} // namespace mv
