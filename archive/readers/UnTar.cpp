// The tar walk: 512-byte header blocks checked by their checksum, each followed
// by its data padded to a multiple of 512 bytes. Positions are 64-bit and every
// step must move forward within the file, so no header can make the walk loop.
#include "archive/readers/UnTar.h"

#include "archive/framework/SharedRoutines.h"
#include "platform/CodePage.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

namespace mv {

namespace {

constexpr int kErrSeek = 25292;
constexpr int kErrDiscarded = 26800;
constexpr int64_t kBlock = 512;
// Long names and pax records larger than this are not names: passed over.
constexpr int64_t kMaxRecord = 1 << 20;

std::string Field(const uint8_t* h, size_t offset, size_t length) {
    const char* p = reinterpret_cast<const char*>(h + offset);
    size_t n = 0;
    while (n < length && p[n] != '\0') ++n;
    return std::string(p, n);
}

// Trimmed of blanks and control characters at both ends.
std::string Trim(std::string s) {
    auto keep = [](unsigned char c) { return c > ' '; };
    size_t b = 0, e = s.size();
    while (b < e && !keep(s[b])) ++b;
    while (e > b && !keep(s[e - 1])) --e;
    return s.substr(b, e - b);
}

bool ChecksumMatches(const uint8_t* h) {
    uint64_t stored = 0;
    if (!OctalStrToInt(std::string_view(reinterpret_cast<const char*>(h + 148), 8), stored)) return false;
    uint32_t sum = 0;
    int32_t signedSum = 0;
    for (int i = 0; i < kBlock; ++i) {
        uint8_t b = (i >= 148 && i < 156) ? ' ' : h[i];
        sum += b;
        signedSum += int8_t(b);
    }
    // Some old tars summed signed bytes.
    return stored == sum || int64_t(stored) == int64_t(signedSum);
}

// Stored names are UTF-8 on the systems that make tar files today; names
// that are not valid UTF-8 come from the OEM code page.
std::string NameToUtf8(const std::string& raw) {
    size_t pos = 0;
    uint32_t cp;
    while (pos < raw.size())
        if (!platform::DecodeUtf8(raw, pos, cp)) return platform::OemToUtf8(raw);
    return raw;
}

// pax records: "length key=value\n" each.
void ParsePax(const std::string& data, std::string& path, std::string& linkPath, int64_t& size,
              int64_t& mtime) {
    size_t p = 0;
    while (p < data.size()) {
        size_t sp = data.find(' ', p);
        if (sp == std::string::npos) break;
        uint64_t len = 0;
        for (size_t i = p; i < sp; ++i) {
            if (data[i] < '0' || data[i] > '9' || len > data.size()) return;
            len = len * 10 + uint64_t(data[i] - '0');
        }
        if (len <= sp - p || p + len > data.size()) return;
        std::string rec = data.substr(sp + 1, p + len - sp - 1);
        if (!rec.empty() && rec.back() == '\n') rec.pop_back();
        size_t eq = rec.find('=');
        if (eq != std::string::npos) {
            std::string key = rec.substr(0, eq), value = rec.substr(eq + 1);
            if (key == "path")
                path = value;
            else if (key == "linkpath")
                linkPath = value;
            else if (key == "size" || key == "mtime") {
                int64_t v = 0;
                size_t i = 0;
                while (i < value.size() && value[i] >= '0' && value[i] <= '9' && v < (int64_t(1) << 55))
                    v = v * 10 + (value[i++] - '0');
                if (i > 0 && (i == value.size() || value[i] == '.')) (key == "size" ? size : mtime) = v;
            }
        }
        p += len;
    }
}

bool ReadAt(TArcStream& file, int64_t pos, uint8_t* buf, int64_t n) {
    return file.Seek(pos) && ReadFully(file, buf, n);
}

} // namespace

struct TUnTAR::TTarMember {
    std::string Name;     // UTF-8, as stored ("/" separators)
    std::string LinkName; // hard links: the target
    char Type = '0';
    int64_t DataPos = 0;
    int64_t Size = 0;
    int64_t MTime = 0;
};

TUnTAR::TUnTAR() = default;
TUnTAR::~TUnTAR() = default;

void TUnTAR::ExtractArchive(std::unique_ptr<TArcStream>& file, TArcStream* stream) {
    FExtracted.clear();
    FPassed.clear();
    try {
        if (!file) RaiseError(FArchiveFile, "", "0", arcerr::OpenError);
        const int64_t archiveSize = file->Size();
        const bool singleExact = SingleExactSpec();
        std::vector<TTarMember> members;
        std::string longName, longLink, paxPath, paxLink;
        int64_t paxSize = -1, paxTime = -1;
        int64_t pos = 0;
        uint8_t h[kBlock];
        while (!FCancel && pos + kBlock <= archiveSize) {
            if (!ReadAt(*file, pos, h, kBlock)) break;
            if (!ChecksumMatches(h)) {
                pos += kBlock; // not a header (end blocks, damage): try the next block
                continue;
            }
            uint64_t size = 0;
            OctalStrToInt(std::string_view(reinterpret_cast<const char*>(h + 124), 12), size);
            uint64_t mtime = 0;
            OctalStrToInt(std::string_view(reinterpret_cast<const char*>(h + 136), 12), mtime);
            const char type = char(h[156]);
            const int64_t dataPos = pos + kBlock;
            int64_t memberSize = type == 'x' || type == 'g' || type == 'L' || type == 'K' || paxSize < 0
                                     ? int64_t(std::min<uint64_t>(size, uint64_t(INT64_MAX / 2)))
                                     : paxSize;
            // Hard links, symbolic links, devices, FIFOs and folders carry no data.
            if (type == '1' || type == '2' || type == '3' || type == '4' || type == '5' || type == '6')
                memberSize = 0;
            const int64_t next = dataPos + (memberSize + kBlock - 1) / kBlock * kBlock;
            if (type == 'L' || type == 'K' || type == 'x') {
                if (memberSize <= kMaxRecord && dataPos + memberSize <= archiveSize) {
                    std::string data(size_t(memberSize), '\0');
                    if (ReadAt(*file, dataPos, reinterpret_cast<uint8_t*>(data.data()), memberSize)) {
                        if (type == 'x') {
                            ParsePax(data, paxPath, paxLink, paxSize, paxTime);
                        } else {
                            data.resize(std::strlen(data.c_str()));
                            (type == 'L' ? longName : longLink) = data;
                        }
                    }
                }
                pos = next;
                continue;
            }
            if (type == 'g' || type == 'V' || type == 'M') { // global records, volume labels
                pos = next;
                continue;
            }
            // The member's name: long name, pax path, else ustar prefix + name.
            std::string name;
            if (!paxPath.empty())
                name = paxPath;
            else if (!longName.empty())
                name = longName;
            else {
                name = Field(h, 0, 100);
                if (std::memcmp(h + 257, "ustar", 5) == 0 && h[345] != 0 &&
                    std::memcmp(h + 257, "ustar  ", 7) != 0)
                    name = Field(h, 345, 155) + "/" + name;
            }
            std::string link = !paxLink.empty() ? paxLink : !longLink.empty() ? longLink : Field(h, 157, 100);
            longName.clear(), longLink.clear(), paxPath.clear(), paxLink.clear();
            const int64_t time = paxTime >= 0 ? paxTime : int64_t(mtime);
            paxSize = paxTime = -1;
            name = NameToUtf8(Trim(name));
            if (name.empty()) break; // an empty name ends the archive
            const bool folder = type == '5' || name.back() == '/';
            const bool regular = type == '0' || type == '\0' || type == '7' || type == '1';
            if (!folder && regular && IsFileSpecMatch(name, false)) {
                TTarMember m;
                m.Name = name;
                m.LinkName = NameToUtf8(Trim(link));
                m.Type = type == '1' ? '1' : '0';
                m.DataPos = dataPos;
                m.Size = memberSize;
                m.MTime = time;
                members.push_back(m);
                FTotalPacked += memberSize;
                FTotalUnpacked += memberSize;
                FMaxFileDate = std::max(FMaxFileDate, FileDosDateTime(time));
                if (singleExact) break;
            }
            if (next <= pos) break;
            pos = next;
        }
        // The archive ends inside a block: it was cut short.
        if (!FCancel && pos < archiveSize && pos + kBlock > archiveSize)
            DoError(FArchiveFile, "", "0", arcerr::ReadError);
        FBytesLeft = FTotalPacked;
        for (const auto& m : members) {
            if (FCancel) break;
            ExtractMember(*file, stream, m);
        }
    } catch (const E_RAISE&) {
        // reported through OnError already
    }
}

void TUnTAR::ExtractMember(TArcStream& file, TArcStream* stream, const TTarMember& m) {
    SetFileName(m.Name);
    if (FEntry.FileName.empty() && FWriteMode != rwSink) {
        DoError(m.Name, "", "0", arcerr::InvalidName);
        return;
    }
    if (m.Type == '1') {
        ExtractHardLink(file, stream, m);
        return;
    }
    std::string name = m.Name;
    const uint32_t dosDate = FileDosDateTime(m.MTime);
    switch (DecideMember(name, DosDateTimeToDateTime(dosDate), m.Size)) {
    case TMemberDecision::mdStop:
        FCancel = true;
        return;
    case TMemberDecision::mdSkip:
        return;
    case TMemberDecision::mdExtract:
        break;
    }
    const std::string reportName = ReportName(name);
    if (!file.Seek(m.DataPos)) RaiseError(reportName, "", "0", kErrSeek);
    std::unique_ptr<TArcStream> out;
    if (!OpenMemberOutput(out, m.Size)) return;
    FMemberBytesLeft = m.Size;
    FMemberPackedTotal = m.Size;
    bool ok = true;
    try {
        ok = CopyStoredMember(&file, stream, out, reportName, false, crcNone) == m.Size;
        if (!ok) DoError(reportName, "", "0", arcerr::ReadError);
    } catch (const E_RAISE&) {
        ok = false;
    }
    if (FCancel) ok = false;
    CloseMemberInput();
    const std::string target = FEntry.FileName;
    if (AfterExtractFile(out, stream, 32, dosDate, name, ok)) {
        if (FWriteMode == rwFile)
            FExtracted[m.Name] = target;
        else
            FPassed[m.Name] = {m.DataPos, m.Size};
    }
    // A member that failed was reported where it failed (tar members have no check).
    if (OnEnd) OnEnd(this, reportName, ok);
}

// A hard link: a copy of its target when that was extracted before it in this
// run (read from where this run put it, so never from outside the output
// folder); otherwise the member is passed over and reported.
void TUnTAR::ExtractHardLink(TArcStream& file, TArcStream* stream, const TTarMember& m) {
    const std::string reportName = FWriteMode == rwFile ? FEntry.FileName : m.Name;
    if (FWriteMode != rwFile) {
        // No file was written: the link's data is its target's, read from the archive.
        auto passed = FPassed.find(m.LinkName);
        if (passed == FPassed.end()) {
            DoError(reportName, m.LinkName, "0", kErrDiscarded);
            return;
        }
        TTarMember copy = m;
        copy.Type = '0';
        copy.DataPos = passed->second.first;
        copy.Size = passed->second.second;
        ExtractMember(file, stream, copy);
        return;
    }
    auto it = FExtracted.find(m.LinkName);
    if (it == FExtracted.end()) {
        DoError(reportName, m.LinkName, "0", kErrDiscarded);
        return;
    }
    auto source = TArcFileStream::OpenRead(it->second);
    if (!source) {
        DoError(reportName, m.LinkName, "0", kErrDiscarded);
        return;
    }
    TTarMember copy = m;
    copy.Type = '0';
    copy.DataPos = 0;
    copy.Size = source->Size();
    ExtractMember(*source, stream, copy);
}

} // namespace mv
