// Archive type detection.
//
// Every index into a buffer is checked against the bytes actually read into
// it, sizes and offsets are 64-bit, and the ZIP end record is searched in a
// window of its own (up to the longest comment a ZIP can hold), passing over
// end-record signatures that stand inside a comment or inside member data.
#include "archive/framework/ArcDetect.h"

#include "archive/framework/DiskManager.h"
#include "platform/FileSystem.h"
#include "platform/LocalTime.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

namespace mv {

namespace {

using enum TArcType;

constexpr size_t HeadBufferSize = 32768;
constexpr size_t HeadReadSize = 32767;
constexpr int64_t MinDetectSize = 20;
// Self-extractor stubs of known size that the ZIP data follows directly.
constexpr int64_t ZipSfxStubSizes[] = {7612, 15770, 25661};
// Where the searches for archive data inside an executable begin.
constexpr int64_t LocateZipFrom = 25000;
constexpr int64_t EmbeddedScanFrom = 17000;
constexpr size_t EmbeddedScanBlocks = 6;
constexpr size_t UueProbeSize = 2500;
constexpr size_t TarBlock = 512;

class TFileSource : public TDetectSource {
public:
    explicit TFileSource(std::unique_ptr<platform::File> file) : file(std::move(file)) {}
    bool Size(int64_t& size) override {
        try {
            size = file->Size();
            return size >= 0;
        } catch (const std::exception&) {
            return false;
        }
    }
    size_t ReadAt(int64_t position, uint8_t* buffer, size_t count) override {
        if (position < 0) return 0;
        try {
            return file->ReadAt(position, buffer, count);
        } catch (const std::exception&) {
            return 0;
        }
    }
    bool DosDate(uint32_t& dosDateTime) override {
        platform::FileInfo info;
        if (!platform::Fs().Stat(file->Path(), info)) return false;
        dosDateTime = platform::DosDateTimeOf(info.ModTime);
        return true;
    }
    void Close() {
        try {
            file->Close();
        } catch (const std::exception&) {
        }
    }

private:
    std::unique_ptr<platform::File> file;
};

std::string UpperExtension(const std::string& fileName) {
    const size_t slash = fileName.find_last_of('/');
    const size_t dot = fileName.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = fileName.substr(dot);
    for (char& c : ext)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return ext;
}

class TDetector {
public:
    TDetector(TDetectSource& source, const std::string& archiveFile, int32_t zipCmntBufSize, TArcDetection& r,
              const TDetectDriveQuery& drive)
        : src(source), archiveFile(archiveFile), zipCmntBufSize(zipCmntBufSize), r(r), driveQuery(drive) {}

    void Detect();

private:
    // Drive facts, asked once when first needed.
    const TDetectDrive& Drive() {
        if (!driveKnown) {
            if (driveQuery) {
                try {
                    drive = driveQuery(archiveFile);
                } catch (const std::exception&) {
                    drive = {};
                }
            }
            driveKnown = true;
        }
        return drive;
    }
    bool Removable() { return Drive().Removable; }

    // Reads exactly n bytes at pos; false when fewer came.
    bool ReadExact(int64_t pos, uint8_t* buf, size_t n) {
        if (pos < 0 || pos > size) return false;
        return src.ReadAt(pos, buf, n) == n;
    }
    bool Read32(int64_t pos, uint32_t& v) {
        uint8_t b[4];
        if (!ReadExact(pos, b, 4)) return false;
        v = LE32(b);
        return true;
    }
    TByteView Head() const { return TByteView(head.data(), headLen); }

    TArcType ArcTypeFromSignature(int mode, uint32_t signature, int64_t at);
    bool LhaMethodAt(int64_t at);
    bool FindZipSfxStub();
    int64_t FindZipEndRecord();
    int64_t LocateZipData();
    int64_t ScanForEmbeddedArchive(int64_t start);
    bool ProbeUue();
    bool ProbeTar();
    bool TryResourceOffsets();
    bool TryImageEnd();
    void Finish(bool opened);

    TDetectSource& src;
    const std::string& archiveFile;
    int32_t zipCmntBufSize;
    TArcDetection& r;
    const TDetectDriveQuery& driveQuery;
    TDetectDrive drive;
    bool driveKnown = false;
    int64_t size = 0;
    std::vector<uint8_t> head;
    size_t headLen = 0;
};

// An LHA header at `at`: its method "-lh?-" or "-lz?-" two bytes in.
bool TDetector::LhaMethodAt(int64_t at) {
    uint8_t m[5];
    return ReadExact(at + 2, m, 5) && m[0] == '-' && m[1] == 'l' && (m[2] == 'h' || m[2] == 'z') &&
           m[4] == '-';
}

// Mode 1: the signature (read at `at`) stands at the start of the file; mode 0:
// inside an executable. The first test that matches decides.
TArcType TDetector::ArcTypeFromSignature(int mode, uint32_t s, int64_t at) {
    const uint32_t low = s & 0xFFFF;
    const uint32_t high = s >> 16;
    auto pick = [mode](TArcType atStart, TArcType inExe) {
        return mode == 1 ? atStart : mode == 0 ? inExe : atNA;
    };
    // The first two bytes of an LHA header are its size and checksum, which can
    // be any pair, "PK", the gzip magics or an ARC marker among them: a whole
    // method name after them decides first.
    if (high == 0x6C2D && LhaMethodAt(at)) return pick(atLha, atLhaExe);
    if (low == 0x4B50 && high == 0x0807) {
        r.ZipProbeFlags |= ZipProbeLocal;
        return Removable() ? atZipMV : atZip;
    }
    if (low == 0x4B50 && high == 0x0201) {
        if (!Removable()) return atNA;
        FindZipEndRecord();
        return atZipMV;
    }
    if (low == 0x4B50 && high == 0x3447) return atNA;
    if (low == 0x4B50) return pick(atZip, atZipExe);
    if (s == 0x4643534D) return pick(atCab, atUnsupported);
    if (s == 0x07054842) return pick(atBh, atBhExe);
    if (s == 0x8C655D13) return pick(atMsGZ, atUnsupported);
    if (low == 0x4148) return pick(atHa, atUnsupported);
    if (low == 0x8B1F || low == 0x9D1F || low == 0x9E1F || low == 0x1E1F || low == 0x2125 || low == 0xA01F)
        return pick(atGZip, atUnsupported);
    if (low == 0xEA60) return pick(atArj, atArjExe);
    if (low == 0x4F5A) return pick(atZoo, atUnsupported);
    if (high == 0x6C2D) return pick(atLha, atLhaExe);
    if (s == 0x21726152) return pick(atRar, atRarExe);
    if (low == 0x0A1A || low == 0x0B1A) return pick(atPak, atPakExe);
    if (low == 0x1E1A || low == 0x021A) return pick(atArc, atUnsupported);
    if (low == 0x081A || low == 0x091A) return pick(atArc, atArcExe);
    // ARC archives whose first member uses another of the ARC methods 1 to 7
    // (stored, packed, squeezed, crunched).
    if ((low & 0xFF) == 0x1A && (low >> 8) >= 1 && (low >> 8) <= 7) return pick(atArc, atUnsupported);
    if (low == 0x92B7 || low == 0xDFB7) {
        r.ArchiveOffset = 7717;
        return atArcExe;
    }
    return atUnknown;
}

// A ZIP self-extractor whose stub has one of the known sizes.
bool TDetector::FindZipSfxStub() {
    r.ArcType = atZipExe;
    for (size_t i = 0; i < std::size(ZipSfxStubSizes); ++i) {
        const int64_t stub = ZipSfxStubSizes[i];
        uint32_t sig;
        if (size >= stub + 5 && Read32(stub, sig) && sig == ZipLocalSignature) {
            r.ArchiveOffset = stub;
            if (i < 2) r.ZipProbeFlags = ZipProbeLocal;
            return true;
        }
    }
    r.ArcType = atNA;
    return false;
}

// Searches the end of the file backwards for the ZIP end record and follows
// its chain: central record at the directory offset, local header at that
// record's offset. A candidate whose chain holds, or else whose comment ends
// exactly at the end of the file, is taken; other signatures (inside a
// comment or member data) are passed over. With no such candidate the last
// signature in the file decides, as it stands. Answers the central directory
// offset when the whole chain holds, else 0.
int64_t TDetector::FindZipEndRecord() {
    const int64_t want = int64_t(zipCmntBufSize) + 23;
    int64_t window;
    if (want <= size && zipCmntBufSize >= 0)
        window = want;
    else if (zipCmntBufSize == 0)
        window = 23;
    else if (size > int64_t(HeadBufferSize))
        window = HeadBufferSize;
    else
        window = size - 1;
    window = std::min<int64_t>(window, int64_t(ZipMaxEndWindow) + 1);
    r.ZipProbeFlags = 0;
    if (window <= 0 || size <= window) return 0;

    std::vector<uint8_t> tail(static_cast<size_t>(window));
    const int64_t tailStart = size - window;
    const size_t got = src.ReadAt(tailStart, tail.data(), tail.size());
    if (got < ZipEndRecordSize) return 0;

    struct Outcome {
        uint8_t flags = 0;
        int64_t result = 0;
        TZipEndRecord end;
        TZipCentralRecord central;
        TZipLocalHeader local;
        bool exactComment = false;
    };
    auto follow = [&](size_t pos) {
        Outcome o;
        // The record lies inside the bytes read.
        if (ReadZipEndRecord(&tail[pos], got - pos, o.end) == TZipRecordStatus::zrBadSignature) return o;
        o.flags |= ZipProbeEndRecord;
        o.exactComment = tailStart + int64_t(pos) + int64_t(ZipEndRecordSize) + o.end.CommentLength == size;
        uint8_t buf[ZipCentralRecordSize];
        const int64_t centralPos = o.end.CentralOffset;
        if (!ReadExact(centralPos, buf, ZipCentralRecordSize)) return o;
        if (ReadZipCentralRecord(buf, ZipCentralRecordSize, o.central) == TZipRecordStatus::zrBadSignature)
            return o;
        o.flags |= ZipProbeCentral;
        if (!ReadExact(o.central.LocalHeaderOffset, buf, ZipLocalHeaderSize)) return o;
        if (ReadZipLocalHeader(buf, ZipLocalHeaderSize, o.local) == TZipRecordStatus::zrBadSignature)
            return o;
        o.flags |= ZipProbeLocal;
        o.result = centralPos;
        return o;
    };

    std::optional<Outcome> first, exact;
    // Candidates from the last place a whole record fits down to 1 (the
    // window's first byte is not tried).
    for (size_t pos = got - ZipEndRecordSize; pos >= 1; --pos) {
        if (LE32(&tail[pos]) != ZipEndSignature) continue;
        Outcome o = follow(pos);
        if (!(o.flags & ZipProbeEndRecord)) continue;
        const bool chain = (o.flags & (ZipProbeCentral | ZipProbeLocal)) == (ZipProbeCentral | ZipProbeLocal);
        if (!first) first = o;
        if (chain) {
            first = o;
            break;
        }
        if (o.exactComment && !exact) exact = o;
    }
    const Outcome* pick = nullptr;
    if (first && (first->flags & ZipProbeLocal))
        pick = &*first;
    else if (exact)
        pick = &*exact;
    else if (first)
        pick = &*first;
    if (!pick) return 0;
    r.ZipProbeFlags = pick->flags;
    r.ZipEndRecord = pick->end;
    if (pick->flags & ZipProbeCentral) r.ZipCentralRecord = pick->central;
    if (pick->flags & ZipProbeLocal) r.ZipLocalHeader = pick->local;
    return pick->result;
}

// ZIP data inside an executable whose end record does not lead to it.
int64_t TDetector::LocateZipData() {
    r.ArcType = atUnknown;
    FindZipEndRecord();
    const int64_t central = r.ZipEndRecord.CentralOffset;
    if (central < size && (r.ZipProbeFlags & ZipProbeEndRecord)) {
        uint8_t buf[ZipCentralRecordSize];
        TZipCentralRecord record;
        if (central > 0 && ReadExact(central, buf, sizeof buf) &&
            ReadZipCentralRecord(buf, sizeof buf, record) != TZipRecordStatus::zrBadSignature)
            return central;
    }
    if (size > LocateZipFrom) {
        std::vector<uint8_t> block(HeadBufferSize);
        const size_t got = src.ReadAt(LocateZipFrom, block.data(), block.size());
        for (size_t i = 0; i + 4 <= got; ++i) {
            if (LE32(&block[i]) == ZipLocalSignature) {
                r.ZipProbeFlags = ZipProbeLocal;
                return LocateZipFrom + int64_t(i);
            }
        }
    }
    return 0;
}

// An LHA, ZIP or RAR archive appended to an executable. The scanned region is
// read as one piece, so a signature is found wherever it stands in it.
int64_t TDetector::ScanForEmbeddedArchive(int64_t start) {
    r.ArcType = atUnknown;
    if (size <= start) return 0;
    const int64_t want = std::min<int64_t>(size - start, int64_t(EmbeddedScanBlocks * HeadBufferSize));
    std::vector<uint8_t> buf(static_cast<size_t>(want));
    const size_t got = src.ReadAt(start, buf.data(), buf.size());
    TByteView v(buf.data(), got);
    for (size_t i = 0; i < got; ++i) {
        const int64_t p = start + int64_t(i);
        if (buf[i] == '-' && p + 5 < size && v.U8(i + 1) == 'l' && v.U8(i + 2) == 'h' && v.Has(i + 4, 1) &&
            buf[i + 4] == '-') {
            r.ArcType = atLhaExe;
            return p - 1;
        }
        if (v.Has(i, 4) && LE32(&buf[i]) == ZipLocalSignature) {
            r.ArcType = atZipExe;
            r.ZipProbeFlags = ZipProbeLocal;
            return p;
        }
        if (v.Matches(i, "Rar!", 4)) {
            r.ArcType = atRarExe;
            return p + 1;
        }
    }
    return 0;
}

bool TDetector::ProbeUue() {
    std::vector<uint8_t> buf(static_cast<size_t>(std::min<int64_t>(size, UueProbeSize)));
    const size_t got = src.ReadAt(0, buf.data(), buf.size());
    TByteView v(buf.data(), got);
    for (size_t i = 0; i < got; ++i) {
        if ((i == 0 || buf[i - 1] == '\n') && v.Matches(i, "begin ", 6)) {
            r.ArcType = atUue;
            r.ArchiveOffset = 1;
            return true;
        }
    }
    return false;
}

// A TAR header: the stored checksum equals the sum of the header's bytes with
// the checksum field counted as blanks (taken as unsigned bytes, or as signed
// bytes as some old tar programs summed them).
bool TDetector::ProbeTar() {
    if (size <= int64_t(TarBlock)) return false;
    uint8_t h[TarBlock];
    if (!ReadExact(0, h, TarBlock)) return false;
    if (h[156] == 'V') {
        r.ArchiveOffset = 513;
        if (513 + int64_t(TarBlock) >= size || !ReadExact(TarBlock, h, TarBlock)) return false;
    }
    uint64_t stored = 0;
    for (int i = 148; i < 156; ++i)
        if (h[i] >= '0' && h[i] <= '7') stored = (stored << 3) | uint64_t(h[i] - '0');
    int64_t sumUnsigned = 0, sumSigned = 0;
    for (size_t i = 0; i < TarBlock; ++i) {
        const int v = (i >= 148 && i < 156) ? ' ' : h[i];
        sumUnsigned += v;
        sumSigned += (i >= 148 && i < 156) ? ' ' : static_cast<int8_t>(h[i]);
    }
    if (int64_t(stored) == sumUnsigned || int64_t(stored) == sumSigned) {
        r.ArcType = atTar;
        return true;
    }
    r.ArchiveOffset = 1;
    return false;
}

// The archive offsets an installer keeps in its string table (entries 1 to 4).
bool TDetector::TryResourceOffsets() {
    const auto entries = ReadExeStringEntries(src, size, 1, 4);
    for (const auto& text : entries) {
        if (text.empty()) break;
        int64_t offset = 0;
        bool digits = true;
        for (char c : text) {
            if (c < '0' || c > '9')
                digits = false;
            else
                offset = offset * 10 + (c - '0');
        }
        if (!digits || offset >= size) break;
        r.ArchiveOffset = offset;
        uint32_t sig;
        if (!Read32(offset, sig)) continue;
        r.ArcType = ArcTypeFromSignature(0, sig, offset);
        if (r.ArcType != atUnknown) {
            r.ZipProbeFlags = ZipProbeLocal;
            return true;
        }
    }
    return false;
}

// An archive appended right after the executable image that the DOS header
// describes.
bool TDetector::TryImageEnd() {
    const TByteView h = Head();
    const int64_t lastPage = h.U16(2);
    const int64_t pages = h.U16(4);
    // A last page of 0 bytes is a full page.
    int64_t end = lastPage == 0 ? pages * 512 : (pages - 1) * 512 + lastPage;
    if (end <= 0 || end + 4 >= size) return false;
    uint8_t b[4];
    if (!ReadExact(end, b, 4)) return false;
    if (b[2] == 0x60 && b[3] == 0xEA) end += 2; // an ARJ header at end + 2
    r.ArchiveOffset = end + 1;
    if (r.ArchiveOffset + 4 >= size) return false;
    uint32_t sig;
    if (!Read32(end, sig) || sig == ZipLocalSignature) return false;
    r.ArcType = ArcTypeFromSignature(0, sig, end);
    return IsValidArcType(r.ArcType);
}

void TDetector::Finish(bool opened) {
    if (!opened) return;
    if (!IsValidArcType(r.ArcType)) {
        r.ArchiveDate = ArchiveDateUnknown;
        return;
    }
    if (r.ArcType == atZip && UpperExtension(archiveFile) == ArcExtensions[17]) r.ArcType = atJar;
    uint32_t date = 0;
    r.ArchiveDate = src.DosDate(date) ? date : ArchiveDateUnknown;
}

void TDetector::Detect() {
    r.ArcType = atFileOpenErr;
    r.ArchiveOffset = 1;
    r.ZipProbeFlags = 0;
    if (!src.Size(size)) return Finish(true);
    r.ArchiveSize = size;
    if (size < MinDetectSize) return Finish(true);
    head.resize(HeadBufferSize);
    headLen = src.ReadAt(0, head.data(), HeadReadSize);
    const TByteView h = Head();

    if (h.Matches(0, "MZ", 2)) {
        r.ArcType = atUnknown;
        if (FindZipSfxStub()) return Finish(true);
        if (TryResourceOffsets()) return Finish(true);
        if (TryImageEnd()) return Finish(true);
        r.ZipEndRecord.Signature = 0;
        r.ArchiveOffset = FindZipEndRecord();
        if (r.ArchiveOffset > 0) {
            r.ArcType = atZipExe;
            return Finish(true);
        }
        if (r.ZipEndRecord.Signature == ZipEndSignature) {
            r.ArchiveOffset = LocateZipData();
            if (r.ArchiveOffset > 0) r.ArcType = atZipExe;
        } else {
            r.ArchiveOffset = ScanForEmbeddedArchive(EmbeddedScanFrom);
        }
        return Finish(true);
    }

    // Self-extracting installers for Linux: a program or a script with a zip after
    // it. Only a zip whose end record is found counts; anything else is detected
    // as usual.
    if (h.Matches(0, "\x7F" "ELF", 4) || h.Matches(0, "#!", 2)) {
        r.ZipEndRecord.Signature = 0;
        // The installer's end record carries a comment: look through the longest one.
        const int32_t saved = zipCmntBufSize;
        zipCmntBufSize = std::max<int32_t>(zipCmntBufSize, int32_t(ZipMaxCommentLength));
        const int64_t at = FindZipEndRecord();
        zipCmntBufSize = saved;
        if (at > 0) {
            r.ArchiveOffset = at;
            r.ArcType = atZipExe;
            return Finish(true);
        }
        r.ZipProbeFlags = 0;
        r.ArchiveOffset = 1;
    }

    size_t zeros = 0;
    while (zeros < headLen && head[zeros] == 0) ++zeros;
    const uint32_t sig = uint32_t(h.U8(zeros)) | (uint32_t(h.U8(zeros + 1)) << 8) |
                         (uint32_t(h.U8(zeros + 2)) << 16) | (uint32_t(h.U8(zeros + 3)) << 24);
    r.ArcType = ArcTypeFromSignature(1, sig, static_cast<int64_t>(zeros));
    const bool ace = h.Matches(7, "**ACE**", 7);
    if (r.ArcType == atJar || r.ArcType == atZip || r.ArcType == atZipExe) {
        r.ArchiveOffset = FindZipEndRecord();
        if (r.ArchiveOffset == 0) {
            r.ArchiveOffset = int64_t(zeros);
            r.ZipProbeFlags |= ZipProbeLocal;
        }
        if (Removable() && !(r.ZipProbeFlags & ZipProbeEndRecord)) r.ArcType = atZipMV;
    } else if (r.ArcType != atZipMV && ace) {
        r.ArcType = atACE;
    }
    if (!IsValidArcType(r.ArcType)) {
        if (Removable() && Drive().DiskNumber > 0) {
            r.ArchiveOffset = FindZipEndRecord();
            if (r.ZipProbeFlags < ZipProbeLocal) r.ArcType = atZipMV;
        } else if (ace) {
            r.ArcType = atACE;
        } else if (!ProbeUue() && !ProbeTar()) {
            r.ArchiveOffset = FindZipEndRecord();
            const uint8_t f = r.ZipProbeFlags;
            if ((f & ZipProbeLocal) && (f & ZipProbeEndRecord))
                r.ArcType = atZip;
            else if (Removable() && (f & ZipProbeEndRecord) && !(f & ZipProbeLocal))
                r.ArcType = atZipMV;
        }
    }
    Finish(true);
}

// --- The string table of a Windows executable ---

constexpr uint32_t RtString = 6;
constexpr size_t MaxSections = 96;
constexpr size_t MaxResourceEntries = 4096;

struct TPeSection {
    uint32_t VirtualAddress, VirtualSize, RawSize, RawPointer;
};

class TPeReader {
public:
    TPeReader(TDetectSource& src, int64_t size) : src(src), size(size) {}

    bool Open() {
        uint8_t dos[64];
        if (!Read(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return false;
        const int64_t pe = LE32(dos + 0x3C);
        uint8_t coff[24];
        if (!Read(pe, coff, sizeof coff) || LE32(coff) != 0x00004550) return false; // "PE\0\0"
        const size_t sectionCount = LE16(coff + 6);
        const size_t optionalSize = LE16(coff + 20);
        std::vector<uint8_t> opt(optionalSize);
        if (!Read(pe + 24, opt.data(), opt.size())) return false;
        TByteView o(opt.data(), opt.size());
        size_t dirs;
        if (o.U16(0) == 0x10B)
            dirs = 96;
        else if (o.U16(0) == 0x20B)
            dirs = 112;
        else
            return false;
        const uint32_t dirCount = o.U32(dirs - 4);
        if (dirCount <= 2 || !o.Has(dirs + 2 * 8, 8)) return false;
        resourceRva = o.U32(dirs + 2 * 8);
        resourceSize = o.U32(dirs + 2 * 8 + 4);
        if (resourceRva == 0 || resourceSize == 0) return false;
        const size_t count = std::min(sectionCount, MaxSections);
        std::vector<uint8_t> table(count * 40);
        if (!Read(pe + 24 + int64_t(optionalSize), table.data(), table.size())) return false;
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* s = &table[i * 40];
            sections.push_back({LE32(s + 12), LE32(s + 8), LE32(s + 16), LE32(s + 20)});
        }
        return RvaToOffset(resourceRva, resourceBase);
    }

    // The data of the string block `block` (16 strings), first language.
    bool StringBlock(uint32_t block, int64_t& offset, uint32_t& length) {
        uint32_t typeDir, nameDir, langEntry;
        if (!FindEntry(0, RtString, true, typeDir)) return false;
        if (!FindEntry(typeDir, block, true, nameDir)) return false;
        if (!FirstEntry(nameDir, langEntry)) return false;
        uint8_t data[16];
        if (langEntry & 0x80000000u) return false;
        if (langEntry > resourceSize || !Read(resourceBase + langEntry, data, sizeof data)) return false;
        length = LE32(data + 4);
        return RvaToOffset(LE32(data), offset);
    }

    bool Read(int64_t pos, uint8_t* buf, size_t n) {
        if (pos < 0 || pos > size || int64_t(n) > size - pos) return false;
        return src.ReadAt(pos, buf, n) == n;
    }

private:
    bool RvaToOffset(uint32_t rva, int64_t& offset) const {
        for (const auto& s : sections) {
            const uint64_t extent = std::max(s.VirtualSize, s.RawSize);
            if (rva >= s.VirtualAddress && uint64_t(rva) - s.VirtualAddress < extent &&
                rva - s.VirtualAddress < s.RawSize) {
                offset = int64_t(s.RawPointer) + (rva - s.VirtualAddress);
                return offset < size;
            }
        }
        return false;
    }

    // Reads the entries of the directory at dirOffset (relative to the
    // resource section).
    bool Entries(uint32_t dirOffset, std::vector<uint8_t>& entries) {
        uint8_t header[16];
        if (dirOffset > resourceSize || !Read(resourceBase + dirOffset, header, sizeof header)) return false;
        const size_t count =
            std::min<size_t>(size_t(LE16(header + 12)) + LE16(header + 14), MaxResourceEntries);
        entries.resize(count * 8);
        const int64_t at = resourceBase + dirOffset + 16;
        const int64_t avail = std::max<int64_t>(0, size - at);
        entries.resize(std::min<size_t>(entries.size(), static_cast<size_t>(avail)) / 8 * 8);
        return Read(at, entries.data(), entries.size());
    }

    bool FindEntry(uint32_t dirOffset, uint32_t id, bool wantDirectory, uint32_t& target) {
        std::vector<uint8_t> e;
        if (!Entries(dirOffset, e)) return false;
        for (size_t i = 0; i + 8 <= e.size(); i += 8) {
            const uint32_t name = LE32(&e[i]);
            const uint32_t data = LE32(&e[i + 4]);
            if ((name & 0x80000000u) || name != id) continue;
            if (bool(data & 0x80000000u) != wantDirectory) return false;
            target = data & 0x7FFFFFFFu;
            return true;
        }
        return false;
    }

    bool FirstEntry(uint32_t dirOffset, uint32_t& target) {
        std::vector<uint8_t> e;
        if (!Entries(dirOffset, e) || e.size() < 8) return false;
        target = LE32(&e[4]);
        return true;
    }

    TDetectSource& src;
    int64_t size;
    uint32_t resourceRva = 0, resourceSize = 0;
    int64_t resourceBase = 0;
    std::vector<TPeSection> sections;
};

} // namespace

std::vector<std::string> ReadExeStringEntries(TDetectSource& source, int64_t fileSize, int first, int count) {
    std::vector<std::string> out(static_cast<size_t>(std::max(count, 0)));
    TPeReader pe(source, fileSize);
    if (count <= 0 || first < 0 || !pe.Open()) return out;
    uint32_t currentBlock = UINT32_MAX;
    int64_t offset = 0;
    uint32_t length = 0;
    bool haveBlock = false;
    for (int i = 0; i < count; ++i) {
        const int id = first + i;
        const uint32_t block = uint32_t(id / 16) + 1;
        if (block != currentBlock) {
            currentBlock = block;
            haveBlock = pe.StringBlock(block, offset, length);
        }
        if (!haveBlock) continue;
        // Walk the block's strings (length-prefixed UTF-16) to the one asked for.
        int64_t pos = offset;
        const int64_t end = offset + length;
        bool found = true;
        for (int k = 0; k < id % 16; ++k) {
            uint8_t len[2];
            if (pos + 2 > end || !pe.Read(pos, len, 2)) {
                found = false;
                break;
            }
            pos += 2 + 2 * int64_t(LE16(len));
        }
        uint8_t len[2];
        if (!found || pos + 2 > end || !pe.Read(pos, len, 2)) continue;
        const size_t chars = std::min<size_t>(LE16(len), 5);
        uint8_t text[10];
        if (pos + 2 + int64_t(chars) * 2 > end || !pe.Read(pos + 2, text, chars * 2)) continue;
        std::string s;
        for (size_t c = 0; c < chars; ++c) {
            const uint16_t unit = LE16(text + 2 * c);
            if (unit == 0 || unit > 0x7F) break;
            s.push_back(static_cast<char>(unit));
        }
        out[static_cast<size_t>(i)] = s;
    }
    return out;
}

TDetectDrive DiskManagerDrive(TDiskManager& manager, const std::string& archiveFile) {
    manager.SetDrive(archiveFile);
    TDetectDrive d;
    d.Removable = manager.DriveType() == TDiskManager::dtRemovable;
    d.DiskNumber = manager.DiskNumber();
    return d;
}

TDetectDrive RealDetectDrive(const std::string& archiveFile) {
    TDiskManager manager;
    return DiskManagerDrive(manager, archiveFile);
}

void DetectArcTypeFrom(TDetectSource& source, const std::string& archiveFile, int32_t zipCmntBufSize,
                       TArcDetection& result, const TDetectDriveQuery& drive) {
    if (archiveFile.empty()) {
        result.ArcType = atNA;
        return;
    }
    TDetector(source, archiveFile, zipCmntBufSize, result, drive).Detect();
}

void DetectArcType(const std::string& archiveFile, int32_t zipCmntBufSize, TArcDetection& result,
                   const TDetectDriveQuery& drive) {
    if (archiveFile.empty()) {
        result.ArcType = atNA;
        return;
    }
    result.ArcType = atFileOpenErr;
    // Only regular files (or links to them) are archives: a folder, a device or
    // a pipe is refused before it is opened (opening a pipe would wait for a
    // writer).
    platform::FileInfo info;
    if (platform::Fs().Stat(archiveFile, info) && !info.IsSymlink && !info.IsRegular) return;
    std::unique_ptr<platform::File> file;
    try {
        file = platform::Fs().Open(archiveFile, platform::OpenMode::Read);
    } catch (const std::exception&) {
        return; // the type stays atFileOpenErr, the date untouched
    }
    TFileSource source(std::move(file));
    TDetector(source, archiveFile, zipCmntBufSize, result, drive).Detect();
    source.Close();
}

} // namespace mv
