// The tar walk: 512-byte header blocks checked by their checksum, each followed
// by its data padded to a multiple of 512 bytes. Positions are 64-bit and every
// step must move forward within the file, so no header can make the walk loop.
#include "archive/readers/UnTar.h"

#include "archive/formats/tar/TarFormat.h"
#include "archive/framework/SharedRoutines.h"
#include "archive/framework/TextUtils.h"
#include "platform/CodePage.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

namespace mv {

namespace {

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
    uint32_t Mode = 0; // permission bits (0: none stored)
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
        TTarPending pending;
        int64_t pos = 0;
        uint8_t h[TarBlockSize];
        while (!FCancel && pos + TarBlockSize <= archiveSize) {
            if (!ReadAt(*file, pos, h, TarBlockSize)) break;
            if (!TarChecksumMatches(h)) {
                pos += TarBlockSize; // not a header (end blocks, damage): try the next block
                continue;
            }
            TTarHeader header = ReadTarHeader(h);
            const int64_t dataPos = pos + TarBlockSize;
            if (TarIsMetaRecord(header.Type)) {
                if (header.Type != TarTypePaxGlobal && header.Size <= TarMaxRecord &&
                    dataPos + header.Size <= archiveSize) {
                    std::string data(size_t(header.Size), '\0');
                    if (ReadAt(*file, dataPos, reinterpret_cast<uint8_t*>(data.data()), header.Size))
                        pending.Take(header.Type, data);
                }
                pos = dataPos + header.PaddedSize();
                continue;
            }
            pending.Apply(header);
            const int64_t next = dataPos + header.PaddedSize();
            const std::string name = Utf8OrOem(TrimBlanks(header.Name));
            if (name.empty()) break; // an empty name ends the archive
            const bool folder = header.Type == TarTypeFolder || name.back() == '/';
            if (folder) ExtractFolderEntry(name);
            // A symbolic link is never created: it is reported instead.
            if (!folder && header.Type == '2') SkipLinkMember(name, Utf8OrOem(TrimBlanks(header.LinkName)));
            if (!folder && TarIsFileMember(header.Type) && IsFileSpecMatch(name, false)) {
                TTarMember m;
                m.Name = name;
                m.LinkName = Utf8OrOem(TrimBlanks(header.LinkName));
                m.Type = header.Type == TarTypeHardLink ? '1' : '0';
                m.DataPos = dataPos;
                m.Size = header.DataSize();
                m.MTime = std::max<int64_t>(header.MTime, 0);
                m.Mode = header.Mode > 0 ? uint32_t(header.Mode) : 0;
                members.push_back(m);
                FTotalPacked += m.Size;
                FTotalUnpacked += m.Size;
                FMaxFileDate = std::max(FMaxFileDate, FileDosDateTime(m.MTime));
                if (singleExact) break;
            }
            if (next <= pos) break;
            pos = next;
        }
        // The archive ends inside a block: it was cut short.
        if (!FCancel && pos < archiveSize && pos + TarBlockSize > archiveSize)
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
    if (!file.Seek(m.DataPos)) RaiseError(reportName, "", "0", arcerr::SeekError);
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
    // The stored mode goes with the DOS attributes as a regular file's mode.
    const uint32_t attr = m.Mode ? (32u | (0100000u | (m.Mode & 0777u)) << 16) : 32u;
    if (AfterExtractFile(out, stream, attr, dosDate, name, ok, m.MTime > 0 ? m.MTime : -1)) {
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
            DoError(reportName, m.LinkName, "0", arcerr::Discarded);
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
        DoError(reportName, m.LinkName, "0", arcerr::Discarded);
        return;
    }
    auto source = TArcFileStream::OpenRead(it->second);
    if (!source) {
        DoError(reportName, m.LinkName, "0", arcerr::Discarded);
        return;
    }
    TTarMember copy = m;
    copy.Type = '0';
    copy.DataPos = 0;
    copy.Size = source->Size();
    ExtractMember(*source, stream, copy);
}

} // namespace mv
