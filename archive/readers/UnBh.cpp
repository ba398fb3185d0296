#include "archive/readers/UnBh.h"

#include "archive/codecs/LzhDecode.h"
#include "archive/framework/ArcTimer.h"
#include "archive/framework/SharedRoutines.h"
#include "archive/framework/ZipCrypt.h"

#include <algorithm>

namespace mv {

namespace {
constexpr int kErrCrc = 25151;
constexpr int kErrSeek = 25292;
constexpr int kErrBadPassword = 26517;
constexpr int kErrPasswordFailed = 26522;
constexpr uint32_t kSignature = 0x07054842u;
constexpr int64_t kHeaderSize = 37;
constexpr uint8_t kFlagEncrypted = 0x01;

uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
bool HasWildcard(const std::string& s) {
    return s.find_first_of("*?") != std::string::npos;
}
} // namespace

void TUnBH::ExtractArchive(std::unique_ptr<TArcStream>& file, TArcStream* stream) {
    (void)stream;
    try {
        if (!file) RaiseError(FArchiveFile, "", "0", arcerr::OpenError);
        std::vector<TBhMember> members;
        Collect(*file, members);
        FTotalPacked = FTotalUnpacked = 0;
        for (const auto& m : members) {
            FTotalPacked += m.PackedSize - ((m.Flags & kFlagEncrypted) ? 12 : 0);
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

void TUnBH::Collect(TArcStream& file, std::vector<TBhMember>& members) {
    const bool singleExact = FFileSpec.size() == 1 && !HasWildcard(FFileSpec[0]);
    const int64_t size = file.Size();
    int64_t pos = FArchiveOffset > 0 ? FArchiveOffset - 1 : 0;
    while (pos + kHeaderSize <= size && !FCancel) {
        uint8_t h[kHeaderSize];
        if (!file.Seek(pos)) RaiseError(FArchiveFile, "", "0", kErrSeek);
        if (file.Read(h, kHeaderSize) != kHeaderSize) break;
        if (Le32(h) != kSignature || Le16(h + 4) == 0) break;
        const uint16_t nameLength = Le16(h + 33);
        std::string raw(nameLength, '\0');
        if (nameLength && file.Read(reinterpret_cast<uint8_t*>(raw.data()), nameLength) != nameLength) {
            DoError(FArchiveFile, "", "0", arcerr::ReadError);
            break;
        }
        TBhMember m;
        m.Flags = h[9];
        m.Method = h[10];
        m.DosDate = Le32(h + 11);
        m.PackedSize = Le32(h + 15);
        m.UnpackedSize = Le32(h + 19);
        m.Crc = Le32(h + 23);
        m.Attributes = Le16(h + 27);
        m.DataOffset = pos + kHeaderSize + nameLength;
        m.Name = OemToAnsiPath(raw);
        pos = m.DataOffset + m.PackedSize; // strictly forward, in 64 bits
        const bool usable = !(m.Flags & kFlagEncrypted) || m.PackedSize >= 12;
        if (!usable || m.Name.empty() || !IsFileSpecMatch(m.Name, false)) continue;
        members.push_back(m);
        if (singleExact) break;
    }
}

bool TUnBH::TestPassword(const TBhMember& m, const uint8_t header[12], const std::string& password) {
    return ZipTestEncryptHeader(ZipKeys(), header, m.Flags, password, m.DosDate, m.Crc);
}

int TUnBH::AcceptPassword(const TBhMember& m, const uint8_t header[12]) {
    if (TestPassword(m, header, FPassword)) return 1;
    for (const auto& p : FPasswords)
        if (TestPassword(m, header, p)) {
            FPassword = p;
            return 1;
        }
    if (!OnGetPassword) {
        DoError(m.Name, "OnGetPassword", "0", arcerr::EventNotAssigned);
        return -1;
    }
    for (int attempt = 0; attempt < FPasswordAttempts; ++attempt) {
        std::string typed;
        bool tryAgain = true;
        FTimer->Pause();
        OnGetPassword(this, m.Name, typed, tryAgain);
        FTimer->Resume();
        if (!tryAgain) break;
        if (TestPassword(m, header, typed)) {
            FPassword = typed;
            FPasswords.insert(FPasswords.begin(), typed);
            return 1;
        }
        DoError(m.Name, "", "0", kErrBadPassword);
    }
    DoError(m.Name, "", "0", kErrPasswordFailed);
    return -1;
}

bool TUnBH::ExtractMember(TArcStream& file, const TBhMember& m) {
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
    if (!file.Seek(m.DataOffset)) RaiseError(FArchiveFile, "", "0", kErrSeek);
    FMemberBytesLeft = m.PackedSize;
    FMemberPackedTotal = m.PackedSize;
    TMemberInput input(*this, &file, nullptr, false);
    const bool encrypted = m.Flags & kFlagEncrypted;
    if (encrypted) {
        uint8_t header[12];
        size_t got = 0;
        while (got < sizeof header) {
            const size_t k = input.Read(header + got, sizeof header - got);
            if (k == 0) break;
            got += k;
        }
        if (got != sizeof header || AcceptPassword(m, header) != 1) {
            // No password fits: the member fails its check and the extraction ends.
            FBytesLeft -= FMemberBytesLeft;
            FMemberBytesLeft = 0;
            if (OnEnd)
                OnEnd(this, reportName, false);
            else
                DoError(reportName, "", "0", kErrCrc);
            return false;
        }
        input.SetDecrypt(true);
    }
    const bool known = m.Method == 0 || m.Method == 1 || m.Method == 2 || m.Method == 8;
    if (!known) {
        DoError(reportName, "", "0", arcerr::UnknownMethod);
        FBytesLeft -= FMemberBytesLeft;
        FMemberBytesLeft = 0;
        if (OnEnd) OnEnd(this, reportName, false);
        return true;
    }
    std::unique_ptr<TArcStream> out;
    if (!OpenOutputFile(out, FEntry.FileName, m.UnpackedSize, 0)) {
        if (!OutputRefused()) RaiseError(FEntry.FileName, "", "0", arcerr::OpenError);
        FBytesLeft -= FMemberBytesLeft;
        FMemberBytesLeft = 0;
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
    FBytesLeft -= FMemberBytesLeft;
    FMemberBytesLeft = 0;
    // The stored CRC is accepted as the running register or its final form.
    const uint32_t reg = Crc32Register();
    const bool crcPass = decoded && (m.Crc == reg || m.Crc == (reg ^ 0xFFFFFFFFu));
    if (decoded && !crcPass && !OnEnd) DoError(reportName, "", "0", kErrCrc);
    AfterExtractFile(out, nullptr, m.Attributes, m.DosDate, name, crcPass);
    if (OnEnd && !FCancel) OnEnd(this, reportName, crcPass);
    return !FCancel;
}

} // namespace mv
