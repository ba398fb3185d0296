// The ZIP reader against the real world: every ZIP and JAR of the corpus, and
// archives made in the test by zip and 7z, extract byte for byte with their
// dates; damaged members end with their error numbers and leave no file.
#include "archive/readers/UnZip.h"
#include "archive/framework/ArcErrors.h"
#include "archive/framework/ZipCrypt.h"
#include "archive/readers/ReaderFactory.h"
#include "platform/FakeFileSystem.h"
#include "tests/archive/readers/ReaderTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <sys/stat.h>
#include <utime.h>

using namespace mv;
namespace fs = std::filesystem;

namespace {

using readertest::Outcome;
using readertest::Tree;

// The password is offered once when a member asks for one, as the program's prompt would.
Outcome ExtractAll(const fs::path& archive, const fs::path& dir, const std::string& password = {},
                   std::vector<std::string> specs = {"*.*"}) {
    return readertest::ExtractAll(archive, dir,
                                  {.password = password,
                                   .volumes = false,
                                   .ends = false,
                                   .askWithoutPassword = true,
                                   .raisedAsError = true,
                                   .spec = std::move(specs)});
}

// A small tree of text and binary files with known (even-second) dates.
void MakeSourceTree(const fs::path& dir) {
    fs::create_directories(dir / "sub" / "deeper");
    mvtest::WriteFileBytes(dir / "text.txt", mvtest::TextBytes(40000, 1));
    mvtest::WriteFileBytes(dir / "random.bin", mvtest::RandomBytes(30000, 2));
    mvtest::WriteFileBytes(dir / "empty.dat", {});
    mvtest::WriteFileBytes(dir / "sub" / "mixed.dat", mvtest::TextBytes(25000, 3));
    mvtest::WriteFileBytes(dir / "sub" / "deeper" / "small.txt", mvtest::TextBytes(100, 4));
    int64_t t = 1300000000;
    for (auto& e : fs::recursive_directory_iterator(dir)) {
        if (!e.is_regular_file()) continue;
        struct utimbuf times {
            t, t
        };
        utime(e.path().c_str(), &times);
        t += 86400 + 3600 + 62;
    }
}

int64_t MTime(const fs::path& p) {
    struct stat st {};
    stat(p.c_str(), &st);
    return st.st_mtime;
}

void ExpectSameTree(const fs::path& source, const fs::path& extracted, bool dates = true) {
    auto want = Tree(source), got = Tree(extracted);
    ASSERT_EQ(want.size(), got.size());
    for (const auto& [name, bytes] : want) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(got.count(name));
        EXPECT_TRUE(got[name] == bytes);
        if (dates) {
            EXPECT_EQ(MTime(extracted / name), MTime(source / name));
        }
    }
}

uint16_t Get16(const std::vector<uint8_t>& b, size_t p) {
    return static_cast<uint16_t>(b[p] | b[p + 1] << 8);
}
uint32_t Get32(const std::vector<uint8_t>& b, size_t p) {
    return Get16(b, p) | static_cast<uint32_t>(Get16(b, p + 2)) << 16;
}
void Put16(std::vector<uint8_t>& b, size_t p, uint16_t v) {
    b[p] = static_cast<uint8_t>(v);
    b[p + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(std::vector<uint8_t>& b, size_t p, uint32_t v) {
    Put16(b, p, static_cast<uint16_t>(v));
    Put16(b, p + 2, static_cast<uint16_t>(v >> 16));
}
// The central record of a one-member archive.
size_t FindCentral(const std::vector<uint8_t>& b) {
    for (size_t p = b.size() - 22; p-- > 0;)
        if (Get32(b, p) == 0x02014B50) return p;
    return 0;
}

} // namespace

TEST(UnZip, CorpusArchivesExtractByteExactly) {
    int checked = 0;
    for (const auto& entry : mvtest::ReadManifest()) {
        if (entry.format != "zip" && entry.format != "jar") continue;
        if (entry.path.ends_with(".z01")) continue; // a later volume: extracted with its set
        SCOPED_TRACE(entry.path);
        mvtest::TempDir out;
        Outcome o = ExtractAll(mvtest::CorpusDir() / entry.path, out.Path(), entry.password);
        EXPECT_TRUE(o.errors.empty()) << "first error " << (o.errors.empty() ? 0 : o.errors[0]);
        auto tree = Tree(out.Path());
        size_t files = 0;
        for (const auto& m : entry.listing) {
            if (m.name.ends_with("/")) continue; // folders are not extracted as files
            ++files;
            SCOPED_TRACE(m.name);
            auto it = tree.find(m.name);
            ASSERT_NE(it, tree.end());
            EXPECT_EQ(it->second.size(), m.size);
            EXPECT_EQ(mvtest::ReferenceCrc32(it->second.data(), it->second.size()), m.crc);
        }
        EXPECT_EQ(tree.size(), files);
        ++checked;
    }
    EXPECT_GE(checked, 14);
}

TEST(UnZip, ZipLevelsPasswordAndSplitWithDates) {
    MV_REQUIRE_TOOL("zip");
    mvtest::TempDir t;
    MakeSourceTree(t / "src");
    struct Case {
        std::string options;
        std::string password;
    };
    std::vector<Case> cases;
    for (int level = 0; level <= 9; ++level) cases.push_back({"-" + std::to_string(level), ""});
    cases.push_back({"-6 -P s3cret", "s3cret"});
    cases.push_back({"-0 -P s3cret", "s3cret"});
    cases.push_back({"-6 -s 64k", ""});
    for (size_t i = 0; i < cases.size(); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE("zip " + c.options);
        const fs::path archive = t / ("a" + std::to_string(i) + ".zip");
        auto r = mvtest::Run("zip -q -r -X " + c.options + " " + mvtest::Quote(archive.string()) + " .",
                             t / "src");
        ASSERT_EQ(r.exitCode, 0) << r.output;
        const fs::path out = t / ("out" + std::to_string(i));
        Outcome o = ExtractAll(archive, out, c.password);
        EXPECT_TRUE(o.errors.empty()) << o.errors[0];
        ExpectSameTree(t / "src", out);
    }
}

TEST(UnZip, SevenZipLevelsWithDates) {
    MV_REQUIRE_TOOL("7z");
    mvtest::TempDir t;
    MakeSourceTree(t / "src");
    for (int level : {1, 3, 5, 7, 9}) {
        SCOPED_TRACE("7z -mx" + std::to_string(level));
        const fs::path archive = t / ("s" + std::to_string(level) + ".zip");
        auto r = mvtest::Run("7z a -tzip -bd -mx" + std::to_string(level) + " " +
                                 mvtest::Quote(archive.string()) + " . >/dev/null",
                             t / "src");
        ASSERT_EQ(r.exitCode, 0) << r.output;
        const fs::path out = t / ("out" + std::to_string(level));
        Outcome o = ExtractAll(archive, out);
        EXPECT_TRUE(o.errors.empty());
        ExpectSameTree(t / "src", out);
    }
    // 7-Zip's traditional encryption.
    const fs::path archive = t / "enc.zip";
    ASSERT_EQ(mvtest::Run("7z a -tzip -bd -mem=ZipCrypto -pfoo " + mvtest::Quote(archive.string()) +
                              " . >/dev/null",
                          t / "src")
                  .exitCode,
              0);
    Outcome o = ExtractAll(archive, t / "enc", "foo");
    EXPECT_TRUE(o.errors.empty());
    ExpectSameTree(t / "src", t / "enc");
}

// One member per damage: each ends with its number, writes nothing and keeps an
// existing file of the same name as it was.
TEST(UnZip, DamagedMembersLeaveNoFile) {
    MV_REQUIRE_TOOL("zip");
    mvtest::TempDir t;
    const auto payload = mvtest::TextBytes(30000, 9);
    mvtest::WriteFileBytes(t / "m.txt", payload);
    ASSERT_EQ(mvtest::Run("zip -q -X -9 deflated.zip m.txt", t.Path()).exitCode, 0);
    ASSERT_EQ(mvtest::Run("zip -q -X -0 stored.zip m.txt", t.Path()).exitCode, 0);
    ASSERT_EQ(mvtest::Run("zip -q -X -P right enc.zip m.txt", t.Path()).exitCode, 0);
    auto deflated = mvtest::ReadFileBytes(t / "deflated.zip");
    auto stored = mvtest::ReadFileBytes(t / "stored.zip");
    const size_t dataAt = 30 + 5; // local header + "m.txt", no extra field with -X
    ASSERT_EQ(Get16(stored, 28), 0);

    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        std::string password;
        int code;
    };
    std::vector<Case> cases;
    {
        auto b = stored; // one changed byte of stored data
        b[dataAt + 100] ^= 0x55;
        cases.push_back({"CRC mismatch", b, "", 25151});
    }
    {
        auto b = deflated; // the member's data cut to half: its sizes say so in both headers
        const size_t central = FindCentral(b);
        const uint32_t half = Get32(b, 18) / 2;
        Put32(b, 18, half);
        Put32(b, central + 20, half);
        cases.push_back({"truncated member", b, "", 25109});
    }
    {
        auto b = deflated; // method 99
        Put16(b, 8, 99);
        Put16(b, FindCentral(b) + 10, 99);
        cases.push_back({"unknown method", b, "", 25326});
    }
    {
        // zip writes a random encryption header, which one wrong password in 256
        // passes: take one that its check byte refuses.
        auto b = mvtest::ReadFileBytes(t / "enc.zip");
        std::string wrong;
        for (int i = 0; wrong.empty() && i < 1000; ++i) {
            std::string candidate = "wrong" + std::to_string(i);
            mv::TZipKeys keys;
            if (!mv::ZipTestEncryptHeader(keys, b.data() + dataAt, Get16(b, 6), candidate, Get32(b, 10),
                                          Get32(b, 14), nullptr))
                wrong = candidate;
        }
        cases.push_back({"wrong password", b, wrong, 26517});
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        mvtest::TempDir d;
        mvtest::WriteFileBytes(d / "x.zip", c.bytes);
        // Fresh target: nothing may appear.
        Outcome o = ExtractAll(d / "x.zip", d / "fresh", c.password);
        ASSERT_FALSE(o.errors.empty());
        EXPECT_NE(std::find(o.errors.begin(), o.errors.end(), c.code), o.errors.end()) << o.errors[0];
        EXPECT_EQ(o.extracted, 0);
        EXPECT_TRUE(Tree(d / "fresh").empty());
        // Existing file: kept byte for byte.
        mvtest::WriteFileText(d / "old" / "m.txt", "the user's own file");
        ExtractAll(d / "x.zip", d / "old", c.password);
        EXPECT_EQ(Tree(d / "old").size(), 1u);
        auto kept = mvtest::ReadFileBytes(d / "old" / "m.txt");
        EXPECT_EQ(std::string(kept.begin(), kept.end()), "the user's own file");
    }
}

TEST(UnZip, MvarcExtractAndTest) {
    mvtest::TempDir t;
    const auto archive = mvtest::CorpusDir() / "zip" / "trad_encrypted_deflate.zip";
    const std::string mvarc = mvtest::Quote(mvtest::MvarcPath());
    auto r = mvtest::Run(mvarc + " extract " + mvtest::Quote(archive.string()) + " " +
                         mvtest::Quote((t / "out").string()) + " -p 12345678 foo.txt");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_TRUE(fs::exists(t / "out" / "foo.txt"));
    EXPECT_FALSE(fs::exists(t / "out" / "bar.txt"));
    r = mvtest::Run(mvarc + " test " + mvtest::Quote(archive.string()) + " -p 12345678");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    r = mvtest::Run(mvarc + " test " + mvtest::Quote(archive.string()) + " -p nope");
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.output.find("error 26517"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("error 26522"), std::string::npos) << r.output;
}

// A set spanned over removable disks: every disk holds a file of the same name,
// told apart by its label ("PKBACK# 001", ...). The reader asks for the last disk
// (the directory), then the first, then each next one.
TEST(UnZip, SpannedOverRemovableDisks) {
    MV_REQUIRE_TOOL("zip");
    mvtest::TempDir t;
    MakeSourceTree(t / "src");
    ASSERT_EQ(
        mvtest::Run("zip -q -r -X -0 -s 64k " + mvtest::Quote((t / "split.zip").string()) + " .", t / "src")
            .exitCode,
        0);
    std::vector<fs::path> parts;
    for (int i = 1; fs::exists(t / ("split.z" + std::string(i < 10 ? "0" : "") + std::to_string(i))); ++i)
        parts.push_back(t / ("split.z" + std::string(i < 10 ? "0" : "") + std::to_string(i)));
    parts.push_back(t / "split.zip");
    ASSERT_GE(parts.size(), 2u);

    platform::FakeFileSystem fake;
    platform::ScopedFileSystem scope(fake);
    auto& drive =
        fake.AddDrive((t / "floppy").string(), 10 << 20, platform::DriveKind::Removable, "PKBACK# 001", 1);
    std::vector<int> media;
    for (size_t i = 0; i < parts.size(); ++i) {
        char label[32];
        snprintf(label, sizeof label, "PKBACK# %03zu", i + 1);
        media.push_back(i == 0 ? drive.CurrentMedium()
                               : drive.SwapMedium(label, static_cast<uint32_t>(i + 1)));
        fs::copy_file(parts[i], t / "floppy" / "set.zip");
    }
    drive.InsertMedium(media[0]); // the user starts with the first disk in the drive

    TUnZIP z;
    std::vector<std::string> asked;
    size_t inDrive = 0;
    z.OnGetZipLastDisk = [&](TObject*, bool& cancel) {
        asked.push_back("last");
        drive.InsertMedium(media[inDrive = media.size() - 1]);
        cancel = false;
    };
    z.OnGetZipFirstDisk = [&](TObject*, bool& cancel) {
        asked.push_back("first");
        drive.InsertMedium(media[inDrive = 0]);
        cancel = false;
    };
    z.OnGetZipNextDisk = [&](TObject*, const std::string&, bool& cancel) {
        asked.push_back("next");
        if (inDrive + 1 >= media.size()) return; // cancel
        drive.InsertMedium(media[++inDrive]);
        cancel = false;
    };
    std::vector<int> errors;
    z.OnError = [&](TObject*, const std::string&, const std::string&, const std::string&, int code) {
        errors.push_back(code);
    };
    z.SetArchiveFile((t / "floppy" / "set.zip").string());
    z.SetExtractDir((t / "out").string());
    z.FileSpecList() = {"*.*"};
    z.Extract();
    EXPECT_TRUE(errors.empty()) << errors[0];
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked.front(), "last");
    EXPECT_NE(std::find(asked.begin(), asked.end(), "first"), asked.end());
    ExpectSameTree(t / "src", t / "out");
}

// The ZIP fixtures of tests/fixtures/hostile: each ends as its README says, and
// nothing is written outside the target folder.
TEST(UnZip, HostileFixtures) {
    struct Case {
        const char* file;
        int code; // 0: no error
        std::vector<std::string> files;
    } cases[] = {
        {"zip_traversal.zip", 0, {"evil.txt", "tmp/abs.txt", "win/drive.txt"}},
        {"zip_symlink_entry.zip", 26800, {"lnk/evil.txt"}}, // the link is reported, never made
        {"zip_bomb_declared.zip", 25109, {}},
        {"zip_name_mismatch.zip", 25248, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        mvtest::TempDir t;
        Outcome o = ExtractAll(mvtest::FixtureDir() / "hostile" / c.file, t / "target");
        if (c.code)
            EXPECT_NE(std::find(o.errors.begin(), o.errors.end(), c.code), o.errors.end());
        else
            EXPECT_TRUE(o.errors.empty());
        std::vector<std::string> got;
        for (const auto& [name, bytes] : Tree(t / "target")) got.push_back(name);
        EXPECT_EQ(got, c.files);
        for (const auto& e : fs::directory_iterator(t.Path())) EXPECT_EQ(e.path().filename(), "target");
    }
}
