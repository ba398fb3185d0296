#include "archive/framework/ArcDetect.h"
#include "archive/framework/ZipRecords.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

using namespace mv;
using enum TArcType;
using mvtest::Quote;

namespace {

TDetectDriveQuery DriveOf(bool removable, int32_t diskNumber = 0) {
    return [=](const std::string&) { return TDetectDrive{removable, diskNumber}; };
}

TArcDetection Detect(const mvtest::fs::path& p, bool removable = false, int32_t diskNumber = 0) {
    TArcDetection d;
    DetectArcType(p.string(), 32000, d, DriveOf(removable, diskNumber));
    return d;
}

std::string Name(TArcType t) {
    return ArcTypeName(t);
}

std::vector<uint8_t> Bytes(const std::string& s) {
    return std::vector<uint8_t>(s.begin(), s.end());
}

void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
    if (b.size() < at + 2) b.resize(at + 2);
    PutLE16(&b[at], v);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    if (b.size() < at + 4) b.resize(at + 4);
    PutLE32(&b[at], v);
}

// A DOS executable stub of `size` bytes whose header says the image ends at imageEnd.
std::vector<uint8_t> DosStub(size_t size, size_t imageEnd) {
    std::vector<uint8_t> b(size, 0x90);
    b[0] = 'M';
    b[1] = 'Z';
    Put16(b, 2, static_cast<uint16_t>(imageEnd % 512));
    Put16(b, 4, static_cast<uint16_t>((imageEnd + 511) / 512));
    return b;
}

// A minimal 32-bit Windows executable whose string table holds `strings`
// (entry 0 upwards) and whose file is padded to `size` bytes.
std::vector<uint8_t> PeWithStrings(const std::vector<std::string>& strings, size_t size) {
    std::vector<uint8_t> b(0x200, 0);
    b[0] = 'M';
    b[1] = 'Z';
    Put32(b, 0x3C, 0x40);
    Put32(b, 0x40, 0x00004550);
    Put16(b, 0x44, 0x14C);
    Put16(b, 0x46, 1);   // one section
    Put16(b, 0x54, 224); // optional header size
    const size_t opt = 0x58;
    Put16(b, opt, 0x10B);
    Put32(b, opt + 92, 16);          // data directories
    Put32(b, opt + 96 + 16, 0x1000); // resource directory RVA
    const size_t sec = opt + 224;
    // Resource section: root -> type 6 -> block 1 -> language -> data.
    std::vector<uint8_t> r(0x58, 0);
    Put16(r, 0x0E, 1);
    Put32(r, 0x10, 6);
    Put32(r, 0x14, 0x80000018);
    Put16(r, 0x18 + 0x0E, 1);
    Put32(r, 0x18 + 0x10, 1);
    Put32(r, 0x18 + 0x14, 0x80000030);
    Put16(r, 0x30 + 0x0E, 1);
    Put32(r, 0x30 + 0x10, 0x409);
    Put32(r, 0x30 + 0x14, 0x48);
    std::vector<uint8_t> table;
    for (size_t i = 0; i < 16; ++i) {
        const std::string s = i < strings.size() ? strings[i] : "";
        table.push_back(static_cast<uint8_t>(s.size()));
        table.push_back(0);
        for (char c : s) {
            table.push_back(static_cast<uint8_t>(c));
            table.push_back(0);
        }
    }
    Put32(r, 0x48, 0x1000 + 0x58);
    Put32(r, 0x4C, static_cast<uint32_t>(table.size()));
    r.insert(r.end(), table.begin(), table.end());
    Put32(b, opt + 96 + 20, static_cast<uint32_t>(r.size()));
    Put32(b, sec + 8, static_cast<uint32_t>(r.size()));
    Put32(b, sec + 12, 0x1000);
    Put32(b, sec + 16, static_cast<uint32_t>(r.size()));
    Put32(b, sec + 20, 0x200);
    b.insert(b.end(), r.begin(), r.end());
    if (b.size() < size) b.resize(size, 0);
    return b;
}

std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Detection over bytes in memory.
struct TMemSource : TDetectSource {
    std::vector<uint8_t> d;
    bool Size(int64_t& s) override {
        s = int64_t(d.size());
        return true;
    }
    size_t ReadAt(int64_t p, uint8_t* b, size_t n) override {
        if (p < 0 || size_t(p) > d.size()) return 0;
        const size_t k = std::min(n, d.size() - size_t(p));
        std::copy(d.begin() + p, d.begin() + p + int64_t(k), b);
        return k;
    }
    bool DosDate(uint32_t&) override { return false; }
};

} // namespace

// Every file of the corpus is detected as the type its folder names, on a
// fixed and on a removable drive, except where the detection rules give
// another answer: those are listed with the reason.
TEST(ArcDetect, CorpusFilesAreDetectedAsTheirFolderSays) {
    const std::map<std::string, std::set<TArcType>> byFolder = {
        {"zip", {atZip}}, {"jar", {atJar}},        {"arj", {atArj}},   {"lha", {atLha}},
        {"zoo", {atZoo}}, {"arc", {atArc, atPak}}, {"ha", {atHa}},     {"ace", {atACE}},
        {"rar", {atRar}}, {"cab", {atCab}},        {"gzip", {atGZip}}, {"compress", {atGZip}},
        {"tar", {atTar}}, {"uue", {atUue}},        {"msgz", {atMsGZ}}};
    struct Exception {
        TArcType fixed, removable;
        const char* why;
    };
    const std::map<std::string, Exception> exceptions = {
        {"lha/lha213_sfx.exe", {atLhaExe, atLhaExe, "self-extractor"}},
        {"lha/lhmelt_winsfx32.exe", {atLhaExe, atLhaExe, "self-extractor"}},
        {"zip/infozip_split.z01", {atZip, atZipMV, "first disk of a spanned set: PK 7 8"}},
        {"zip/infozip_split.zip", {atUnknown, atZipMV, "last disk: its local headers are on the first"}},
        {"zip/prefix1024_not_exe.zip",
         {atUnknown, atZipMV, "junk before an archive whose offsets count from its own start"}},
        {"rar/rar5_sfx.exe", {atUnknown, atUnknown, "its stub is 128000 zero bytes, not an executable"}},
        {"compress/tiny.data.Z", {atFileOpenErr, atFileOpenErr, "fewer than 20 bytes"}},
    };
    const auto manifest = mvtest::ReadManifest();
    ASSERT_GE(manifest.size(), 100u);
    for (const auto& e : manifest) {
        SCOPED_TRACE(e.path);
        const auto path = mvtest::CorpusDir() / e.path;
        for (bool removable : {false, true}) {
            SCOPED_TRACE(removable ? "removable" : "fixed");
            const auto d = Detect(path, removable);
            auto ex = exceptions.find(e.path);
            if (ex != exceptions.end()) {
                EXPECT_EQ(Name(d.ArcType), Name(removable ? ex->second.removable : ex->second.fixed))
                    << ex->second.why;
            } else {
                ASSERT_TRUE(byFolder.count(e.format)) << e.format;
                EXPECT_TRUE(byFolder.at(e.format).count(d.ArcType)) << Name(d.ArcType);
            }
            EXPECT_EQ(uint64_t(d.ArchiveSize), e.size);
            if (IsValidArcType(d.ArcType))
                EXPECT_NE(d.ArchiveDate, ArchiveDateUnknown);
            else
                EXPECT_EQ(d.ArchiveDate, ArchiveDateUnknown);
        }
    }
}

// Archives made here by the peer tools.
TEST(ArcDetect, PeerArchivesAreDetected) {
    mvtest::TempDir dir;
    mvtest::WriteFileBytes(dir / "a.txt", mvtest::TextBytes(20000, 1));
    mvtest::WriteFileBytes(dir / "b.bin", mvtest::RandomBytes(3000, 2));
    struct Case {
        const char* tool;
        std::string command;
        std::string file;
        TArcType type;
    };
    const std::vector<Case> cases = {
        {"zip", "zip -q z.zip a.txt b.bin", "z.zip", atZip},
        {"zip", "echo hello | zip -q -z zc.zip a.txt", "zc.zip", atZip},
        {"zip", "zip -q x.JAR a.txt", "x.JAR", atJar},
        {"zip", "zip -q y.jar a.txt", "y.jar", atJar},
        {"7z", "7z a -bd -tzip s.zip a.txt b.bin >/dev/null", "s.zip", atZip},
        {"7z", "7z a -bd -ttar s.tar a.txt >/dev/null", "s.tar", atTar},
        {"7z", "7z a -bd -tgzip s.gz a.txt >/dev/null", "s.gz", atGZip},
        {"arj", "arj a -y r.arj a.txt b.bin >/dev/null", "r.arj", atArj},
        {"jlha", "jlha aq l.lzh a.txt b.bin", "l.lzh", atLha},
        {"gcab", "gcab -c -z c.cab a.txt b.bin", "c.cab", atCab},
        {"tar", "tar cf t.tar a.txt b.bin", "t.tar", atTar},
        {"tar", "tar --format=ustar -cf u.tar a.txt", "u.tar", atTar},
        {"tar", "tar --format=v7 -cf v.tar a.txt", "v.tar", atTar},
        {"tar", "tar -V label -cf lab.tar a.txt", "lab.tar", atTar},
        {"gzip", "gzip -c a.txt > g.gz", "g.gz", atGZip},
        {"compress", "compress -c a.txt > c.Z", "c.Z", atGZip},
        {"uuencode", "uuencode b.bin b.bin > u.uue", "u.uue", atUue},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        if (!mvtest::RequireTool(c.tool)) continue;
        auto r = mvtest::Run(c.command, dir.Path());
        ASSERT_EQ(r.exitCode, 0) << r.output;
        const auto d = Detect(dir / c.file);
        EXPECT_EQ(Name(d.ArcType), Name(c.type));
        if (c.type == atZip || c.type == atJar) {
            EXPECT_EQ(d.ZipProbeFlags, 0x19);
        }
    }
    // A TAR that begins with a volume header is found through its second header.
    auto d = Detect(dir / "lab.tar");
    EXPECT_EQ(d.ArchiveOffset, 513);
    // The date is the file's age as a local DOS date and time (tests run in UTC).
    ASSERT_EQ(mvtest::Run("TZ=UTC touch -d '2001-02-03 04:05:06' t.tar", dir.Path()).exitCode, 0);
    d = Detect(dir / "t.tar");
    EXPECT_EQ(d.ArchiveDate, (uint32_t((21 << 9) | (2 << 5) | 3) << 16) | ((4 << 11) | (5 << 5) | 3));
}

// ZIP placement: leading zeros, a self-extractor stub (offsets adjusted by
// zip -A or not), a spanned set, and end-record signatures in a comment.
TEST(ArcDetect, ZipPlacementAndSpannedSets) {
    MV_REQUIRE_TOOL("zip");
    mvtest::TempDir dir;
    mvtest::WriteFileBytes(dir / "a.txt", mvtest::TextBytes(5000, 3));
    ASSERT_EQ(mvtest::Run("zip -q z.zip a.txt", dir.Path()).exitCode, 0);
    const auto zip = mvtest::ReadFileBytes(dir / "z.zip");
    TZipEndRecord end;
    ASSERT_EQ(ReadZipEndRecord(&zip[zip.size() - 22], 22, end), TZipRecordStatus::zrOk);

    auto d = Detect(dir / "z.zip");
    EXPECT_EQ(Name(d.ArcType), Name(atZip));
    EXPECT_EQ(d.ArchiveOffset, int64_t(end.CentralOffset));
    EXPECT_EQ(d.ZipEndRecord.CentralOffset, end.CentralOffset);
    EXPECT_EQ(d.ZipLocalHeader.UncompressedSize, 5000u);

    // Leading zeros: the chain no longer holds; the offset is the zero count.
    mvtest::WriteFileBytes(dir / "zeros.zip", Concat(std::vector<uint8_t>(100, 0), zip));
    d = Detect(dir / "zeros.zip");
    EXPECT_EQ(Name(d.ArcType), Name(atZip));
    EXPECT_EQ(d.ArchiveOffset, 100);

    // A stub of 30000 bytes: unadjusted offsets are found by the local-header search.
    mvtest::WriteFileBytes(dir / "sfx.exe", Concat(DosStub(30000, 0), zip));
    d = Detect(dir / "sfx.exe");
    EXPECT_EQ(Name(d.ArcType), Name(atZipExe));
    EXPECT_EQ(d.ArchiveOffset, 30000);
    // zip -A adjusts them: the end record chain holds.
    ASSERT_EQ(mvtest::Run("zip -q -A sfx.exe", dir.Path()).exitCode, 0);
    d = Detect(dir / "sfx.exe");
    EXPECT_EQ(Name(d.ArcType), Name(atZipExe));
    EXPECT_EQ(d.ArchiveOffset, int64_t(end.CentralOffset) + 30000);
    EXPECT_EQ(d.ZipProbeFlags, 0x19);
    // Known stub sizes.
    mvtest::WriteFileBytes(dir / "stub.exe", Concat(DosStub(15770, 0), zip));
    d = Detect(dir / "stub.exe");
    EXPECT_EQ(Name(d.ArcType), Name(atZipExe));
    EXPECT_EQ(d.ArchiveOffset, 15770);
    EXPECT_EQ(d.ZipProbeFlags, 0x10);

    // An end-record signature inside the archive comment is passed over.
    auto withComment = zip;
    const std::string fake = "PK\x05\x06 junk that looks like an end record";
    PutLE16(&withComment[withComment.size() - 2], static_cast<uint16_t>(fake.size()));
    withComment.insert(withComment.end(), fake.begin(), fake.end());
    mvtest::WriteFileBytes(dir / "comment.zip", withComment);
    d = Detect(dir / "comment.zip");
    EXPECT_EQ(Name(d.ArcType), Name(atZip));
    EXPECT_EQ(d.ZipProbeFlags, 0x19);
    EXPECT_EQ(d.ArchiveOffset, int64_t(end.CentralOffset));

    // A spanned set made by zip -s: the first disk begins with PK 7 8.
    mvtest::WriteFileBytes(dir / "big.bin", mvtest::RandomBytes(150000, 4));
    ASSERT_EQ(mvtest::Run("zip -q -s 64k span.zip big.bin", dir.Path()).exitCode, 0);
    EXPECT_EQ(Name(Detect(dir / "span.z01").ArcType), Name(atZip));
    EXPECT_EQ(Name(Detect(dir / "span.z01", true).ArcType), Name(atZipMV));
    EXPECT_EQ(Name(Detect(dir / "span.zip", true).ArcType), Name(atZipMV));
    // A disk of a spanned set (label with a disk number) without local headers.
    EXPECT_EQ(Name(Detect(dir / "span.z02", true, 2).ArcType), Name(atZipMV));
}

// One small file per signature row, at the start of the file and inside an
// executable.
TEST(ArcDetect, SignatureTable) {
    mvtest::TempDir dir;
    struct Row {
        std::vector<uint8_t> start;
        TArcType atStart, inExe;
    };
    const std::vector<Row> rows = {
        {{'M', 'S', 'C', 'F'}, atCab, atUnsupported},
        {{'B', 'H', 0x05, 0x07}, atBh, atBhExe},
        {{0x13, 0x5D, 0x65, 0x8C}, atMsGZ, atUnsupported},
        {{'H', 'A', 2, 0}, atHa, atUnsupported},
        {{0x1F, 0x8B, 8, 0}, atGZip, atUnsupported},
        {{0x1F, 0x9D, 0x90, 0}, atGZip, atUnsupported},
        {{0x1F, 0xA0, 0, 0}, atGZip, atUnsupported},
        {{0x60, 0xEA, 0x20, 0}, atArj, atArjExe},
        {{'Z', 'O', 'O', ' '}, atZoo, atUnsupported},
        {{0x20, 0x00, '-', 'l'}, atLha, atLhaExe},
        {{'R', 'a', 'r', '!'}, atRar, atRarExe},
        {{0x1A, 0x0A, 0, 0}, atPak, atPakExe},
        {{0x1A, 0x02, 0, 0}, atArc, atUnsupported},
        {{0x1A, 0x04, 0, 0}, atArc, atUnsupported},
        {{0x1A, 0x08, 0, 0}, atArc, atArcExe},
        // LHA headers whose size and checksum bytes look like another format's
        // magic: the method name after them decides.
        {{0x1F, 0x1E, '-', 'l', 'h', '5', '-'}, atLha, atLhaExe},
        {{0x1F, 0x8B, '-', 'l', 'h', '0', '-'}, atLha, atLhaExe},
        {{'P', 'K', '-', 'l', 'h', '5', '-'}, atLha, atLhaExe},
        {{0x60, 0xEA, '-', 'l', 'z', 's', '-'}, atLha, atLhaExe},
        {{0x1A, 0x08, '-', 'l', 'h', '1', '-'}, atLha, atLhaExe},
        {{'H', 'A', '-', 'l', 'h', '6', '-'}, atLha, atLhaExe},
        {{'P', 'K', 'G', '4'}, atNA, atNA},
        {{'P', 'K', 1, 2}, atNA, atNA},
    };
    int n = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(n);
        auto bytes = row.start;
        bytes.resize(40, 0x55);
        const auto p = dir / ("f" + std::to_string(n++));
        mvtest::WriteFileBytes(p, bytes);
        EXPECT_EQ(Name(Detect(p).ArcType), Name(row.atStart));
        // Inside an executable, at the offset its string table gives.
        auto exe = PeWithStrings({"", "2048"}, 2048);
        exe.insert(exe.end(), bytes.begin(), bytes.end());
        mvtest::WriteFileBytes(p, exe);
        const auto d = Detect(p);
        if (row.inExe != atNA) {
            EXPECT_EQ(Name(d.ArcType), Name(row.inExe));
            EXPECT_EQ(d.ArchiveOffset, 2048);
        }
    }
    // "**ACE**" at byte 7.
    auto ace = Bytes("0123456**ACE**......................");
    mvtest::WriteFileBytes(dir / "x.ace", ace);
    EXPECT_EQ(Name(Detect(dir / "x.ace").ArcType), Name(atACE));
    // 0xB7 0x92 places an ARC self-extractor at 7717.
    std::vector<uint8_t> arcExe = {0xB7, 0x92};
    arcExe.resize(64, 1);
    mvtest::WriteFileBytes(dir / "arc.exe", arcExe);
    auto d = Detect(dir / "arc.exe");
    EXPECT_EQ(Name(d.ArcType), Name(atArcExe));
    EXPECT_EQ(d.ArchiveOffset, 7717);
    // PK 7 8 at the start: fixed gives ZIP, removable a spanned set; PK 1 2 on a fixed disk is no archive.
    std::vector<uint8_t> marker = {'P', 'K', 7, 8};
    marker.resize(64, 0x41);
    mvtest::WriteFileBytes(dir / "m.zip", marker);
    EXPECT_EQ(Name(Detect(dir / "m.zip").ArcType), Name(atZip));
    EXPECT_EQ(Name(Detect(dir / "m.zip", true).ArcType), Name(atZipMV));
    EXPECT_EQ(Detect(dir / "m.zip").ZipProbeFlags & ZipProbeLocal, ZipProbeLocal);
}

// Archives appended to a DOS executable image.
TEST(ArcDetect, ArchiveAfterTheExecutableImage) {
    MV_REQUIRE_TOOL("arj");
    mvtest::TempDir dir;
    mvtest::WriteFileBytes(dir / "a.txt", mvtest::TextBytes(3000, 7));
    ASSERT_EQ(mvtest::Run("arj a -y r.arj a.txt >/dev/null", dir.Path()).exitCode, 0);
    const auto arj = mvtest::ReadFileBytes(dir / "r.arj");
    // The image ends at 1024 (a last page of 0 bytes is a full page).
    mvtest::WriteFileBytes(dir / "sfx.exe", Concat(DosStub(1024, 1024), arj));
    auto d = Detect(dir / "sfx.exe");
    EXPECT_EQ(Name(d.ArcType), Name(atArjExe));
    EXPECT_EQ(d.ArchiveOffset, 1025);
    // An ARJ header 2 bytes after the image end places the archive 2 bytes further.
    auto two = DosStub(1026, 1024);
    mvtest::WriteFileBytes(dir / "sfx2.exe", Concat(two, arj));
    d = Detect(dir / "sfx2.exe");
    EXPECT_EQ(Name(d.ArcType), Name(atArjExe));
    EXPECT_EQ(d.ArchiveOffset, 1027);
    // An LHA archive after 17000 bytes of an executable is found by the scan.
    if (mvtest::RequireTool("jlha")) {
        ASSERT_EQ(mvtest::Run("jlha aq l.lzh a.txt", dir.Path()).exitCode, 0);
        mvtest::WriteFileBytes(dir / "lsfx.exe",
                               Concat(DosStub(40000, 0), mvtest::ReadFileBytes(dir / "l.lzh")));
        d = Detect(dir / "lsfx.exe");
        EXPECT_EQ(Name(d.ArcType), Name(atLhaExe));
        EXPECT_EQ(d.ArchiveOffset, 40001);
    }
    // A RAR signature straddling two 32 KiB blocks of the scan is still seen.
    auto rar = DosStub(17000 + 32768 - 2, 0);
    const auto sig = Bytes("Rar!\x1a\x07");
    rar.insert(rar.end(), sig.begin(), sig.end());
    rar.resize(rar.size() + 100, 0);
    mvtest::WriteFileBytes(dir / "rsfx.exe", rar);
    d = Detect(dir / "rsfx.exe");
    EXPECT_EQ(Name(d.ArcType), Name(atRarExe));
    EXPECT_EQ(d.ArchiveOffset, 17000 + 32768 - 2 + 1);
}

TEST(ArcDetect, SmallMissingAndUnreadableFiles) {
    mvtest::TempDir dir;
    TArcDetection d;
    DetectArcType("", 32000, d, DriveOf(false));
    EXPECT_EQ(d.ArcType, atNA);
    // A missing file: atFileOpenErr and the date untouched.
    d.ArchiveDate = 12345;
    DetectArcType((dir / "missing").string(), 32000, d, DriveOf(false));
    EXPECT_EQ(d.ArcType, atFileOpenErr);
    EXPECT_EQ(d.ArchiveDate, 12345u);
    // 19 bytes: too small to tell; 20 bytes of a gzip header: GZip.
    std::vector<uint8_t> gz = {0x1F, 0x8B, 8, 0};
    gz.resize(19, 0);
    mvtest::WriteFileBytes(dir / "19.gz", gz);
    EXPECT_EQ(Detect(dir / "19.gz").ArcType, atFileOpenErr);
    gz.resize(20, 0);
    mvtest::WriteFileBytes(dir / "20.gz", gz);
    EXPECT_EQ(Detect(dir / "20.gz").ArcType, atGZip);
    // Plain text is no archive.
    mvtest::WriteFileText(dir / "t.txt", std::string(3000, 'x'));
    d = Detect(dir / "t.txt");
    EXPECT_EQ(d.ArcType, atUnknown);
    EXPECT_EQ(d.ArchiveDate, ArchiveDateUnknown);
    // A folder or a pipe is not opened as an archive (a pipe would wait for a writer).
    EXPECT_EQ(Detect(dir.Path()).ArcType, atFileOpenErr);
    ASSERT_EQ(mvtest::Run("mkfifo pipe", dir.Path()).exitCode, 0);
    EXPECT_EQ(Detect(dir / "pipe").ArcType, atFileOpenErr);
    // A link to an archive is followed.
    ASSERT_EQ(mvtest::Run("ln -s 20.gz link.gz", dir.Path()).exitCode, 0);
    EXPECT_EQ(Detect(dir / "link.gz").ArcType, atGZip);
}

TEST(ArcDetect, ExecutableStringTableReader) {
    TMemSource m;
    m.d = PeWithStrings({"zero", "12", "123456789", "", "x4"}, 0);
    auto s = ReadExeStringEntries(m, int64_t(m.d.size()), 1, 4);
    ASSERT_EQ(s.size(), 4u);
    EXPECT_EQ(s[0], "12");
    EXPECT_EQ(s[1], "12345"); // at most five characters
    EXPECT_EQ(s[2], "");
    EXPECT_EQ(s[3], "x4");
    // Every truncation of the file reads without a fault and finds less.
    for (size_t cut = 0; cut < m.d.size(); cut += 7) {
        std::vector<uint8_t> whole = m.d;
        m.d.resize(cut);
        auto t = ReadExeStringEntries(m, int64_t(m.d.size()), 1, 4);
        EXPECT_EQ(t.size(), 4u);
        m.d = whole;
    }
}

TEST(ArcDetect, MvarcTypePrintsTypeOffsetAndSize) {
    MV_REQUIRE_TOOL("zip");
    mvtest::TempDir dir;
    mvtest::WriteFileBytes(dir / "a.txt", mvtest::TextBytes(1000, 8));
    ASSERT_EQ(mvtest::Run("zip -q z.zip a.txt", dir.Path()).exitCode, 0);
    const auto d = Detect(dir / "z.zip");
    auto r = mvtest::Run(Quote(mvtest::MvarcPath()) + " type z.zip", dir.Path());
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output,
              "ZIP\t" + std::to_string(d.ArchiveOffset) + "\t" + std::to_string(d.ArchiveSize) + "\n");
    r = mvtest::Run(Quote(mvtest::MvarcPath()) + " type " +
                    Quote(mvtest::CorpusDir().string() + "/msgz/is3_fast.Z"));
    EXPECT_EQ(r.output, "MsGZ\t1\t18854\n");
    r = mvtest::Run(Quote(mvtest::MvarcPath()) + " type missing.zip", dir.Path());
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.output.find("No such file"), std::string::npos) << r.output;
}

// Truncated and damaged copies of real archives and self-extractors are
// placed or refused without a fault (the sanitizers watch every read).
TEST(ArcDetect, TruncatedAndDamagedFilesNeverFault) {
    const std::vector<std::string> files = {"lha/lha213_sfx.exe", "zip/infozip_deflate_dirs.zip",
                                            "tar/ustar_perl.tar", "zip/zip64_streamed.zip",
                                            "cab/makecab_lzx.cab"};
    for (const auto& f : files) {
        SCOPED_TRACE(f);
        const auto whole = mvtest::ReadFileBytes(mvtest::CorpusDir() / f);
        TMemSource m;
        for (size_t cut = 0; cut <= whole.size(); cut += cut < 64 ? 1 : 97) {
            m.d.assign(whole.begin(), whole.begin() + int64_t(cut));
            TArcDetection d;
            DetectArcTypeFrom(m, f, 32000, d, DriveOf(cut & 1));
            EXPECT_EQ(d.ArchiveSize, int64_t(cut));
        }
        // Every 4-byte field of the end record and the last central record set to extremes.
        m.d = whole;
        for (size_t at = whole.size() > 120 ? whole.size() - 120 : 0; at + 4 <= whole.size(); ++at) {
            for (uint32_t v : {0u, 0xFFFFFFFFu, 0x7FFFFFFFu, uint32_t(whole.size())}) {
                PutLE32(&m.d[at], v);
                TArcDetection d;
                DetectArcTypeFrom(m, f, 32000, d, DriveOf(false));
                m.d = whole;
            }
        }
    }
}
