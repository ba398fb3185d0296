// The ZIP writer against the real world: what it writes passes unzip, 7z,
// zipinfo and bsdtar and extracts byte-exactly; updates and deletions keep every
// other entry byte for byte, also entries made by zip, 7z, bsdtar and python
// with extra fields and data descriptors.
#include "archive/writers/ZipWriter.h"

#include "archive/lister/ArcLister.h"
#include "archive/readers/ReaderFactory.h"

#include "archive/framework/ZipRecords.h"
#include "platform/FakeFileSystem.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>

using namespace mv;
using namespace mvtest;

namespace {

// One entry of an archive as it stands in the file.
struct TRawEntry {
    std::vector<uint8_t> local;   // local header to the end of the data descriptor
    std::vector<uint8_t> central; // central record without its local-header offset
    TZipCentralRecord record;
};

std::map<std::string, TRawEntry> ReadRaw(const fs::path& path) {
    auto d = ReadFileBytes(path);
    std::map<std::string, TRawEntry> out;
    size_t e = d.size() >= 22 ? d.size() - 22 : 0;
    while (e > 0 && LE32(d.data() + e) != ZipEndSignature) --e;
    TZipEndRecord end;
    EXPECT_EQ(ReadZipEndRecord(d.data() + e, d.size() - e, end), TZipRecordStatus::zrOk);
    size_t p = end.CentralOffset;
    for (int i = 0; i < end.EntriesTotal; ++i) {
        TRawEntry r;
        EXPECT_EQ(ReadZipCentralRecord(d.data() + p, d.size() - p, r.record), TZipRecordStatus::zrOk);
        size_t len = 46 + r.record.NameLength + r.record.ExtraLength + r.record.CommentLength;
        std::string name(reinterpret_cast<const char*>(d.data() + p + 46), r.record.NameLength);
        r.central.assign(d.begin() + p, d.begin() + p + 42);
        r.central.insert(r.central.end(), d.begin() + p + 46, d.begin() + p + len);
        p += len;
        size_t off = r.record.LocalHeaderOffset;
        TZipLocalHeader lh;
        EXPECT_EQ(ReadZipLocalHeader(d.data() + off, d.size() - off, lh), TZipRecordStatus::zrOk);
        size_t endData = off + 30 + lh.NameLength + lh.ExtraLength + r.record.CompressedSize;
        if (r.record.Flags & ZipFlagDataDescriptor)
            endData += LE32(d.data() + endData) == ZipSpanSignature ? 16 : 12;
        r.local.assign(d.begin() + off, d.begin() + endData);
        out[name] = std::move(r);
    }
    return out;
}

// A folder of files to add: text, random, empty, already-compressed names, a sub-folder.
void MakeTree(const fs::path& dir) {
    fs::create_directories(dir / "sub" / "deeper");
    WriteFileBytes(dir / "text.txt", TextBytes(150000, 1));
    WriteFileBytes(dir / "random.bin", RandomBytes(90000, 2));
    WriteFileBytes(dir / "small.bin", RandomBytes(300, 3));
    WriteFileBytes(dir / "empty.txt", {});
    WriteFileBytes(dir / "sub" / "code.c", TextBytes(40000, 4));
    WriteFileBytes(dir / "sub" / "deeper" / "zeros.dat", std::vector<uint8_t>(200000));
}

struct TWriteOptions {
    int level = 7;
    std::string password;
    bool recurse = true;
    bool jar = false;
};

// Adds the files named by specs to archive; answers LastError().
int Write(const fs::path& archive, const std::vector<std::string>& specs, const TWriteOptions& o = {},
          std::function<void(TZip&)> setup = {}) {
    std::unique_ptr<TZip> zip = o.jar ? std::make_unique<TJar>() : std::make_unique<TZip>();
    zip->SetArchiveFile(archive.string());
    zip->SetRecurseDirs(o.recurse);
    zip->SetPassword(o.password);
    if (o.level == 0)
        zip->SetCompressMethod(TCompressMethod::cmStore);
    else
        zip->SetDeflateLevel(static_cast<uint8_t>(o.level));
    for (const auto& s : specs) zip->FileSpecList().push_back(s);
    zip->OnReplaceFile = [](TObject*, const std::string&, const std::string&, TDateTime, TDateTime, int64_t,
                            int64_t, int, int, bool& replace) { replace = true; };
    if (setup) setup(*zip);
    zip->Compress();
    return zip->LastError();
}

int Delete(const fs::path& archive, const std::vector<std::string>& specs) {
    TZip zip;
    zip.SetArchiveFile(archive.string());
    zip.SetSwitch(TSwitch::swDelete);
    for (const auto& s : specs) zip.FileSpecList().push_back(s);
    zip.Compress();
    return zip.LastError();
}

// Every file under dir equals the file of the same relative path under out.
void ExpectSameTree(const fs::path& dir, const fs::path& out) {
    int n = 0;
    for (auto& e : fs::recursive_directory_iterator(dir)) {
        if (!e.is_regular_file()) continue;
        auto rel = fs::relative(e.path(), dir);
        EXPECT_EQ(ReadFileBytes(out / rel), ReadFileBytes(e.path())) << rel;
        ++n;
    }
    EXPECT_GT(n, 0);
}

void ExpectPeersAccept(const fs::path& archive, const std::string& password) {
    std::string a = Quote(archive.string());
    std::string pw = password.empty() ? "" : " -P " + Quote(password);
    auto r = mvtest::Run("unzip -t" + pw + " " + a);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    r = mvtest::Run("7z t -p" + Quote(password) + " " + a);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    r = mvtest::Run("zipinfo " + a);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    if (password.empty()) {
        r = mvtest::Run("bsdtar -tf " + a);
        EXPECT_EQ(r.exitCode, 0) << r.output;
    }
}

} // namespace

TEST(ZipWriter, ArchivesPassEveryPeerAndExtractByteExactly) {
    MV_REQUIRE_TOOL("unzip");
    MV_REQUIRE_TOOL("7z");
    MV_REQUIRE_TOOL("bsdtar");
    TempDir t;
    MakeTree(t / "src");
    struct TCase {
        int level;
        const char* password;
    } cases[] = {{0, ""}, {1, ""}, {2, ""}, {6, ""}, {7, ""}, {9, ""}, {0, "pw"}, {1, "se cret"}, {9, "pw"}};
    for (const auto& c : cases) {
        SCOPED_TRACE("level " + std::to_string(c.level) + " password '" + c.password + "'");
        fs::path zip = t / ("l" + std::to_string(c.level) + c.password + ".zip");
        TWriteOptions o;
        o.level = c.level;
        o.password = c.password;
        ASSERT_EQ(Write(zip, {(t / "src" / "*").string()}, o), 0);
        ExpectPeersAccept(zip, c.password);
        fs::path out = t / ("out" + std::to_string(c.level) + c.password);
        std::string pw = *c.password ? std::string(" -P ") + Quote(c.password) : "";
        auto r = mvtest::Run("unzip -q" + pw + " " + Quote(zip.string()) + " -d " + Quote(out.string()));
        ASSERT_EQ(r.exitCode, 0) << r.output;
        ExpectSameTree(t / "src", out);
        auto raw = ReadRaw(zip);
        ASSERT_EQ(raw.size(), 6u);
        EXPECT_TRUE(raw.count("sub/deeper/zeros.dat"));
        for (auto& [name, e] : raw) {
            SCOPED_TRACE(name);
            EXPECT_EQ(e.record.ExtraLength, 0);
            // Made as a Unix host makes it: the file's mode above its DOS attributes.
            EXPECT_EQ(e.record.VersionMadeBy, ZipMadeByUnix);
            EXPECT_EQ(e.record.ExternalAttributes >> 16 & 0170000, 0100000u);
            if (e.record.UncompressedSize == 0) {
                // An empty file: stored, plain, nothing in it.
                EXPECT_EQ(e.record.Method, 0);
                EXPECT_EQ(e.record.Flags, 0);
                EXPECT_EQ(e.record.CompressedSize, 0u);
                EXPECT_EQ(e.record.Crc32, 0u);
                continue;
            }
            EXPECT_EQ((e.record.Flags & 1) != 0, *c.password != 0);
            if (c.level == 0) {
                EXPECT_EQ(e.record.Method, 0);
                EXPECT_EQ(e.record.CompressedSize, e.record.UncompressedSize + (*c.password ? 12 : 0));
            }
        }
        if (c.level != 0) {
            // A short incompressible file becomes a stored member.
            EXPECT_EQ(raw["small.bin"].record.Method, 0);
            EXPECT_EQ(raw["text.txt"].record.Method, 8);
            EXPECT_EQ(raw["text.txt"].record.Flags & 6, ZipDeflateFlagBits(c.level));
            EXPECT_EQ(raw["text.txt"].record.InternalAttributes, 1);
            EXPECT_EQ(raw["random.bin"].record.InternalAttributes, 0);
        }
    }
}

TEST(ZipWriter, StoresArchivesButDeflatesPrograms) {
    MV_REQUIRE_TOOL("unzip");
    TempDir t;
    for (const char* n : {"a.zip", "b.CAB", "c.exe", "d.txt"})
        WriteFileBytes(t / "in" / n, TextBytes(5000, 5));
    fs::path jar = t / "x.jar";
    TWriteOptions o;
    o.jar = true;
    ASSERT_EQ(Write(jar, {(t / "in" / "*.*").string()}, o), 0);
    auto raw = ReadRaw(jar);
    EXPECT_EQ(raw["a.zip"].record.Method, 0);
    EXPECT_EQ(raw["b.CAB"].record.Method, 0);
    EXPECT_EQ(raw["c.exe"].record.Method, 8);
    EXPECT_EQ(raw["d.txt"].record.Method, 8);
    EXPECT_EQ(mvtest::Run("unzip -t " + Quote(jar.string())).exitCode, 0);
}

TEST(ZipWriter, TypeAndDefaultExtension) {
    TZip zip;
    EXPECT_EQ(zip.ArcType(), TArcType::atNA);
    zip.SetArchiveFile("/tmp/some/archive");
    EXPECT_EQ(zip.ArcType(), TArcType::atZip);
    EXPECT_EQ(zip.ArchiveFile(), "/tmp/some/archive.zip");
    zip.SetDefaultExt("zipper");
    EXPECT_EQ(zip.DefaultExt(), ".zip");
    TJar jar;
    jar.SetArchiveFile("/tmp/x");
    EXPECT_EQ(jar.ArcType(), TArcType::atJar);
    EXPECT_EQ(jar.ArchiveFile(), "/tmp/x.jar");
}

TEST(ZipWriter, UpdateAndDeleteKeepOtherEntriesByteForByte) {
    MV_REQUIRE_TOOL("zip");
    MV_REQUIRE_TOOL("7z");
    MV_REQUIRE_TOOL("bsdtar");
    MV_REQUIRE_TOOL("python3");
    TempDir t;
    MakeTree(t / "src");
    const std::string src = Quote((t / "src").string());
    // Archives of the peers: Info-ZIP (extra fields), 7-Zip, bsdtar and python
    // (data descriptors, with and without signature).
    ASSERT_EQ(mvtest::Run("zip -q -r ../zip.zip .", t / "src").exitCode, 0);
    ASSERT_EQ(mvtest::Run("7z a -bd -bso0 ../7z.zip .", t / "src").exitCode, 0);
    ASSERT_EQ(mvtest::Run("bsdtar --format zip -cf ../bsd.zip .", t / "src").exitCode, 0);
    ASSERT_EQ(mvtest::Run("python3 -c \"import zipfile,io\n"
                          "class S(io.RawIOBase):\n"
                          "  def __init__(s): s.b=bytearray()\n"
                          "  def writable(s): return True\n"
                          "  def write(s,d): s.b+=d; return len(d)\n"
                          "s=S()\n"
                          "with zipfile.ZipFile(s,'w',zipfile.ZIP_DEFLATED) as z:\n"
                          "  z.writestr('one.txt', b'one '*500)\n"
                          "  z.writestr('two.txt', b'two '*500)\n"
                          "  z.writestr('three.txt', b'three '*500)\n"
                          "open('py.zip','wb').write(bytes(s.b))\"",
                          t.Path())
                  .exitCode,
              0);
    WriteFileBytes(t / "new" / "added.txt", TextBytes(3000, 9));
    WriteFileBytes(t / "new" / "text.txt", TextBytes(1234, 10)); // replaces text.txt of the archives
    for (const char* name : {"zip.zip", "7z.zip", "bsd.zip", "py.zip"}) {
        SCOPED_TRACE(name);
        fs::path archive = t / name;
        auto before = ReadRaw(archive);
        ASSERT_EQ(Write(archive, {(t / "new" / "*").string()}), 0);
        auto after = ReadRaw(archive);
        ASSERT_EQ(mvtest::Run("unzip -tq " + Quote(archive.string())).exitCode, 0);
        EXPECT_TRUE(after.count("added.txt"));
        for (auto& [n, e] : before) {
            SCOPED_TRACE(n);
            ASSERT_TRUE(after.count(n));
            if (n == "text.txt") {
                EXPECT_EQ(after[n].record.UncompressedSize, 1234u);
                continue;
            }
            EXPECT_EQ(after[n].local, e.local);
            EXPECT_EQ(after[n].central, e.central);
        }
        // Deleting one entry keeps the others as they were too.
        auto kept = ReadRaw(archive);
        std::string victim = std::string(name) == "py.zip" ? "two.txt" : "random.bin";
        ASSERT_EQ(Delete(archive, {victim}), 0);
        auto rest = ReadRaw(archive);
        EXPECT_EQ(rest.size(), kept.size() - 1);
        EXPECT_FALSE(rest.count(victim));
        for (auto& [n, e] : rest) {
            EXPECT_EQ(e.local, kept[n].local) << n;
            EXPECT_EQ(e.central, kept[n].central) << n;
        }
        EXPECT_EQ(mvtest::Run("unzip -tq " + Quote(archive.string())).exitCode, 0);
        EXPECT_EQ(mvtest::Run("7z t " + Quote(archive.string())).exitCode, 0);
    }
}

TEST(ZipWriter, RefusesWhatItCannotWrite) {
    TempDir t;
    // A file that is no ZIP archive is not replaced by a new one.
    WriteFileBytes(t / "not.zip", TextBytes(1000, 11));
    WriteFileBytes(t / "f.txt", TextBytes(100, 12));
    EXPECT_EQ(Write(t / "not.zip", {(t / "f.txt").string()}), 25259);
    EXPECT_EQ(ReadFileBytes(t / "not.zip"), TextBytes(1000, 11));
    // A file of 4 GiB or more: refused (no Zip64), the archive stays as it was.
    ASSERT_EQ(Write(t / "a.zip", {(t / "f.txt").string()}), 0);
    auto before = ReadFileBytes(t / "a.zip");
    { std::ofstream big(t / "big.bin", std::ios::binary); }
    fs::resize_file(t / "big.bin", (uint64_t{4} << 30) + 1);
    EXPECT_EQ(Write(t / "a.zip", {(t / "big.bin").string()}), 25256);
    EXPECT_EQ(ReadFileBytes(t / "a.zip"), before);
    fs::remove(t / "big.bin");
    // Deleting from an archive that does not exist: nothing to do.
    EXPECT_EQ(Delete(t / "none.zip", {"x"}), 26859);
    EXPECT_FALSE(fs::exists(t / "none.zip"));
    std::vector<std::string> names;
    for (auto& e : fs::directory_iterator(t.Path())) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a.zip", "f.txt", "not.zip"}));
}

TEST(ZipWriter, SpansThreeRemovableDisks) {
    MV_REQUIRE_TOOL("zip");
    MV_REQUIRE_TOOL("unzip");
    TempDir t;
    WriteFileBytes(t / "src" / "a.bin", RandomBytes(150000, 13));
    WriteFileBytes(t / "src" / "b.txt", TextBytes(50000, 14));
    platform::FakeFileSystem fake;
    platform::ScopedFileSystem use(fake);
    fs::path root = t / "floppy";
    auto& drive = fake.AddDrive(root.string(), 65000, platform::DriveKind::Removable, "", 1);
    drive.SetLabelWritable(true);
    std::vector<std::string> labels;
    std::vector<int> media = {drive.CurrentMedium()};
    int asked = 0;
    int rc = Write(root / "set.zip", {(t / "src" / "*").string()}, {}, [&](TZip& zip) {
        zip.OnInsertDiskette = [&](TObject*, const std::string& volume, int64_t, int64_t, bool& cancel) {
            ++asked;
            EXPECT_EQ(volume, std::to_string(asked + 1));
            labels.push_back(drive.Label());
            media.push_back(drive.SwapMedium("", 2 + asked));
            cancel = false;
        };
    });
    ASSERT_EQ(rc, 0);
    labels.push_back(drive.Label());
    ASSERT_EQ(asked, 2);
    EXPECT_EQ(labels, (std::vector<std::string>{"PKBACK# 001", "PKBACK# 002", "PKBACK# 003"}));
    // Take the disks out, name them as a split set, join and test.
    std::vector<std::vector<uint8_t>> parts;
    for (int m : media) {
        drive.InsertMedium(m);
        parts.push_back(ReadFileBytes(root / "set.zip"));
    }
    EXPECT_EQ(LE32(parts[0].data()), ZipSpanSignature);
    // Our lister reads the set from its first disk, asking for the last.
    drive.InsertMedium(media[0]);
    TArcLister lister;
    lister.SetFileSpec({"*.*"});
    std::vector<std::string> listed;
    lister.OnRead = [&](TObject*, int64_t, int) { listed.push_back(lister.EntryInfo().FileName); };
    lister.OnGetZipLastDisk = [&](TObject*, bool& cancel) {
        drive.InsertMedium(media[2]);
        cancel = false;
    };
    lister.SetArchiveFile((root / "set.zip").string());
    EXPECT_EQ(lister.ArcType(), TArcType::atZipMV);
    EXPECT_TRUE(lister.Activate());
    EXPECT_EQ(listed, (std::vector<std::string>{"a.bin", "b.txt"}));
    WriteFileBytes(t / "j" / "set.z01", parts[0]);
    WriteFileBytes(t / "j" / "set.z02", parts[1]);
    WriteFileBytes(t / "j" / "set.zip", parts[2]);
    auto r = mvtest::Run("zip -q -s 0 set.zip --out joined.zip && unzip -q joined.zip -d out", t / "j");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    ExpectSameTree(t / "src", t / "j" / "out");
}

TEST(ZipWriter, MvarcAddAndDelete) {
    MV_REQUIRE_TOOL("unzip");
    TempDir t;
    MakeTree(t / "src");
    std::string m = Quote(MvarcPath());
    std::string zip = Quote((t / "m.zip").string());
    auto r = mvtest::Run(m + " add " + zip + " -l 9 -p pw -r src", t.Path());
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(mvtest::Run("unzip -tq -P pw " + zip).exitCode, 0);
    r = mvtest::Run(m + " delete " + zip + " 'sub\\*' random.bin", t.Path());
    ASSERT_EQ(r.exitCode, 0) << r.output;
    auto names = mvtest::Run("unzip -Z1 " + zip).output;
    EXPECT_EQ(names, "empty.txt\nsmall.bin\ntext.txt\n");
    // A failure gives its number and a non-zero status.
    r = mvtest::Run(m + " delete " + Quote((t / "none.zip").string()) + " x", t.Path());
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.output.find("26859"), std::string::npos);
}

TEST(ZipWriter, ListsTheEntriesOfAnArchive) {
    MV_REQUIRE_TOOL("zip");
    TempDir t;
    MakeTree(t / "src");
    ASSERT_EQ(mvtest::Run("zip -q -r ../z.zip .", t / "src").exitCode, 0);
    TZip zip;
    zip.SetArchiveFile((t / "z.zip").string());
    zip.SetSwitch(TSwitch::swRead);
    std::vector<std::string> names;
    std::vector<int> numbers;
    zip.OnRead = [&](TObject*, int64_t, int n) {
        numbers.push_back(n);
        if (zip.EntryInfo().UnpackedSize == 150000) {
            EXPECT_EQ(zip.EntryInfo().MethodCode, 8);
        }
        names.push_back(zip.EntryInfo().FileName);
    };
    EXPECT_EQ(zip.Compress(), 0);
    EXPECT_EQ(zip.LastError(), 0);
    EXPECT_EQ(names.size(), 8u); // six files and two folders
    EXPECT_EQ(numbers.front(), 1);
    EXPECT_EQ(numbers.back(), 8);
    EXPECT_NE(std::find(names.begin(), names.end(), "sub\\deeper\\zeros.dat"), names.end());
}

TEST(ZipWriter, NamesOutsideAsciiAreFlaggedUtf8) {
    MV_REQUIRE_TOOL("python3");
    TempDir t;
    WriteFileText(t / "in" / "caf\xC3\xA9.txt", "one");
    WriteFileText(t / "in" / "\xE6\x97\xA5\xE6\x9C\xAC.txt", "two");
    ASSERT_EQ(Write(t / "n.zip", {(t / "in" / "*").string()}), 0);
    auto r =
        mvtest::Run("python3 -c \"import zipfile\n"
                    "for i in zipfile.ZipFile('n.zip').infolist(): print(i.filename.encode('utf-8').hex(), "
                    "i.flag_bits & 0x800)\"",
                    t.Path());
    ASSERT_EQ(r.exitCode, 0) << r.output;
    // Entries made as a Unix host makes them keep their names in UTF-8, flagged,
    // whether or not the DOS code page has them (café) or not (the Japanese name).
    EXPECT_EQ(r.output, "636166c3a92e747874 2048\ne697a5e69cac2e747874 2048\n");
}

TEST(ZipWriter, KeepsAStubInFrontAndTheArchiveComment) {
    MV_REQUIRE_TOOL("zip");
    MV_REQUIRE_TOOL("unzip");
    TempDir t;
    WriteFileBytes(t / "a.txt", TextBytes(5000, 20));
    WriteFileBytes(t / "b.txt", TextBytes(6000, 21));
    ASSERT_EQ(
        mvtest::Run("zip -q plain.zip a.txt && echo 'the comment' | zip -q -z plain.zip", t.Path()).exitCode,
        0);
    // A self-extractor: a stub, then the archive with its offsets adjusted by zip -A.
    auto stub = RandomBytes(3000, 22);
    auto plain = ReadFileBytes(t / "plain.zip");
    std::vector<uint8_t> sfx = stub;
    sfx.insert(sfx.end(), plain.begin(), plain.end());
    WriteFileBytes(t / "sfx.zip", sfx);
    ASSERT_EQ(mvtest::Run("zip -q -A sfx.zip", t.Path()).exitCode, 0);
    for (const char* name : {"plain.zip", "sfx.zip"}) {
        SCOPED_TRACE(name);
        auto before = ReadFileBytes(t / name);
        ASSERT_EQ(Write(t / name, {(t / "b.txt").string()}), 0);
        auto after = ReadFileBytes(t / name);
        size_t stubSize = std::string(name) == "sfx.zip" ? stub.size() : 0;
        EXPECT_TRUE(std::equal(before.begin(), before.begin() + stubSize, after.begin()));
        auto r = mvtest::Run("unzip -t " + Quote((t / name).string()));
        EXPECT_EQ(r.exitCode, 0) << r.output;
        EXPECT_NE(r.output.find("the comment"), std::string::npos) << r.output;
        EXPECT_NE(r.output.find("b.txt"), std::string::npos);
    }
}

TEST(ZipWriter, OurReaderExtractsWhatWeWrite) {
    TempDir t;
    MakeTree(t / "src");
    for (const auto& [level, password] :
         std::vector<std::pair<int, std::string>>{{0, ""}, {2, "pw"}, {9, ""}}) {
        SCOPED_TRACE(level);
        fs::path zip = t / ("r" + std::to_string(level) + ".zip");
        TWriteOptions o;
        o.level = level;
        o.password = password;
        ASSERT_EQ(Write(zip, {(t / "src" / "*").string()}, o), 0);
        auto reader = NewReaderFor(zip.string());
        ASSERT_TRUE(reader);
        fs::path out = t / ("x" + std::to_string(level));
        reader->SetExtractDir(out.string());
        reader->FileSpecList() = {"*.*"};
        reader->SetPasswordAttempts(1);
        reader->OnGetPassword = [&](TObject*, const std::string&, std::string& answer, bool& again) {
            answer = password;
            again = !password.empty();
        };
        std::vector<int> errors;
        reader->OnError = [&](TObject*, const std::string&, const std::string&, const std::string&,
                              int code) { errors.push_back(code); };
        reader->Extract();
        EXPECT_TRUE(errors.empty());
        EXPECT_EQ(reader->ExtractedCount(), 6);
        ExpectSameTree(t / "src", out);
    }
}
