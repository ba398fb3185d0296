// The reader driver through the ZIP reader: output paths that never leave the
// target folder (a table of hostile names and links made in the test), the
// overwrite decisions, OnBegin, the password chain, the file specification,
// dates and attributes.
#include "archive/framework/ArcErrors.h"
#include "archive/readers/UnZip.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <map>
#include <sys/stat.h>

using namespace mv;
namespace fs = std::filesystem;

namespace {

struct Entry {
    std::string name;
    std::string data;
    uint32_t unixMode = 0100644; // 0: none (DOS attributes only)
    uint32_t dosAttr = 0;
};

// Writes a ZIP with any names (python's zipfile stores them as given).
void MakeZip(const fs::path& archive, const std::vector<Entry>& entries) {
    std::string script =
        "import zipfile\nz = zipfile.ZipFile(" + mvtest::Quote(archive.string()) + ", 'w')\n";
    auto py = [](const std::string& s) {
        std::string out = "b'";
        for (unsigned char c : s) {
            char buf[8];
            snprintf(buf, sizeof buf, "\\x%02x", c);
            out += buf;
        }
        return out + "'";
    };
    for (const auto& e : entries) {
        script += "i = zipfile.ZipInfo(" + py(e.name) + ".decode('utf-8'), (2011, 3, 13, 10, 20, 30))\n";
        script += "i.external_attr = " + std::to_string((e.unixMode << 16) | e.dosAttr) + "\n";
        script += "i.create_system = " + std::string(e.unixMode ? "3" : "0") + "\n";
        script += "z.writestr(i, " + py(e.data) + ")\n";
    }
    script += "z.close()\n";
    mvtest::TempDir t;
    mvtest::WriteFileText(t / "make.py", script);
    auto r = mvtest::Run("python3 " + mvtest::Quote((t / "make.py").string()));
    ASSERT_EQ(r.exitCode, 0) << r.output;
}

struct Outcome {
    std::vector<int> errors;
    int extracted = 0;
    int count = 0;
};

Outcome Extract(TUnZIP& z, const fs::path& archive, const fs::path& dir) {
    Outcome r;
    z.SetArchiveFile(archive.string());
    z.SetExtractDir(dir.string());
    if (z.FileSpec().empty()) z.FileSpecList() = {"*.*"};
    z.OnError = [&](TObject*, const std::string&, const std::string&, const std::string&, int code) {
        r.errors.push_back(code);
    };
    try {
        r.count = z.Extract();
    } catch (const E_RAISE& e) {
        r.errors.push_back(e.ErrorCode());
    }
    r.extracted = z.ExtractedCount();
    return r;
}

std::vector<std::string> Files(const fs::path& dir) {
    std::vector<std::string> out;
    if (!fs::exists(dir)) return out;
    for (auto& e : fs::recursive_directory_iterator(dir))
        if (!e.is_directory() || e.is_symlink()) out.push_back(fs::relative(e.path(), dir).string());
    std::sort(out.begin(), out.end());
    return out;
}

std::string Text(const fs::path& p) {
    auto b = mvtest::ReadFileBytes(p);
    return std::string(b.begin(), b.end());
}

bool Has(const std::vector<int>& v, int code) {
    return std::find(v.begin(), v.end(), code) != v.end();
}

} // namespace

TEST(UnBase, SafeRelativePathTable) {
    struct Case {
        const char* stored;
        const char* withDirs;
        const char* withoutDirs;
    } cases[] = {
        {"a/b.txt", "a/b.txt", "b.txt"},
        {"a\\b.txt", "a/b.txt", "b.txt"},
        {"../x", "x", "x"},
        {"a/../../x", "a/x", "x"},
        {"/etc/x", "etc/x", "x"},
        {"C:\\x", "x", "x"},
        {"C:x", "x", "x"},
        {"c:/w/x", "w/x", "x"},
        {"\\\\srv\\share\\x", "srv/share/x", "x"},
        {"d/a:b.txt", "d/a:b.txt", "a:b.txt"},
        {"./a/./b", "a/b", "b"},
        {"", "", ""},
        {".", "", ""},
        {"..", "", ""},
        {"dir/", "", ""},
        {"C:\\", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        EXPECT_EQ(SafeRelativePath(c.stored, true), c.withDirs);
        EXPECT_EQ(SafeRelativePath(c.stored, false), c.withoutDirs);
    }
}

TEST(UnBase, HostileNamesStayInsideTheTarget) {
    mvtest::TempDir t;
    const fs::path archive = t / "hostile.zip";
    struct Case {
        std::string name;
        std::string landsAt; // empty: refused
    } cases[] = {
        {"../evil1.txt", "evil1.txt"},
        {"a/../../evil2.txt", "a/evil2.txt"},
        {"/abs/evil3.txt", "abs/evil3.txt"},
        {"C:\\win\\evil4.txt", "win/evil4.txt"},
        {"C:evil5.txt", "evil5.txt"},
        {"\\\\srv\\share\\evil6.txt", "srv/share/evil6.txt"},
        {"d/a:b.txt", "d/a:b.txt"},
        {"./dot/./x7.txt", "dot/x7.txt"},
        {"a\\b8.txt", "a/b8.txt"},
        {"..", ""},
        {"../../", ""},
    };
    std::vector<Entry> entries;
    for (const auto& c : cases) entries.push_back({c.name, "payload of " + c.name});
    MakeZip(archive, entries);
    const fs::path parent = t / "parent";
    const fs::path target = parent / "target";
    fs::create_directories(target);
    TUnZIP z;
    Outcome r = Extract(z, archive, target);
    std::vector<std::string> want;
    for (const auto& c : cases) {
        if (c.landsAt.empty()) continue;
        want.push_back(c.landsAt);
        EXPECT_EQ(Text(target / c.landsAt), "payload of " + c.name) << c.name;
    }
    std::sort(want.begin(), want.end());
    EXPECT_EQ(Files(target), want);
    EXPECT_EQ(Files(parent).size(), want.size()); // nothing beside the target
    EXPECT_TRUE(Has(r.errors, arcerr::InvalidName));
    EXPECT_FALSE(fs::exists(t / "evil1.txt"));
}

TEST(UnBase, SymbolicLinksInTheWayAreNotFollowed) {
    mvtest::TempDir t;
    const fs::path target = t / "target", outside = t / "outside";
    fs::create_directories(target);
    fs::create_directories(outside);
    mvtest::WriteFileText(outside / "secret.txt", "outside file");
    fs::create_directory_symlink(outside, target / "link");
    fs::create_symlink(outside / "secret.txt", target / "victim.txt");
    MakeZip(t / "a.zip", {{"link/x9.txt", "through a folder link"},
                          {"victim.txt", "replaces the link"},
                          {"lnk", "/etc", 0120777},
                          {"lnk/x10.txt", "below a link made by the archive"}});
    TUnZIP z;
    z.SetConfirmOverwrites(false);
    Outcome r = Extract(z, t / "a.zip", target);
    EXPECT_TRUE(Has(r.errors, 25156));
    // Nothing reached the outside folder, whose file is unchanged.
    EXPECT_EQ(Files(outside), std::vector<std::string>{"secret.txt"});
    EXPECT_EQ(Text(outside / "secret.txt"), "outside file");
    // The link named like a member was replaced by a plain file.
    EXPECT_FALSE(fs::is_symlink(target / "victim.txt"));
    EXPECT_EQ(Text(target / "victim.txt"), "replaces the link");
    // A link stored in the archive is reported and never made; the member below
    // its name lands in a real folder inside the target.
    EXPECT_TRUE(Has(r.errors, arcerr::Discarded));
    EXPECT_EQ(z.LinksSkipped(), 1);
    EXPECT_FALSE(fs::is_symlink(target / "lnk"));
    EXPECT_TRUE(fs::is_directory(target / "lnk"));
    EXPECT_EQ(Text(target / "lnk" / "x10.txt"), "below a link made by the archive");
}

TEST(UnBase, OverwriteDecisions) {
    mvtest::TempDir t;
    MakeZip(t / "a.zip", {{"f.txt", "new"}});
    enum Handler { none, overwrite, skip };
    struct Case {
        bool confirm;
        Handler handler;
        TOverwriteMode mode;
        bool replaced;
    } cases[] = {
        {true, none, TOverwriteMode::omOverwrite, false},
        {true, overwrite, TOverwriteMode::omOverwrite, true},
        {true, skip, TOverwriteMode::omOverwrite, false},
        {false, none, TOverwriteMode::omOverwrite, true},
        {false, none, TOverwriteMode::omSkip, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.confirm) + " " + std::to_string(c.handler) + " " +
                     std::to_string(static_cast<int>(c.mode)));
        mvtest::TempDir d;
        mvtest::WriteFileText(d / "f.txt", "old");
        TUnZIP z;
        z.SetConfirmOverwrites(c.confirm);
        z.SetOverwriteMode(c.mode);
        int asked = 0;
        if (c.handler != none)
            z.OnFileExists = [&](TObject*, const std::string& fn, TDateTime, TOverwriteMode& mode) {
                ++asked;
                EXPECT_EQ(fn, (d / "f.txt").string());
                mode = c.handler == overwrite ? TOverwriteMode::omOverwrite : TOverwriteMode::omSkip;
            };
        Extract(z, t / "a.zip", d.Path());
        EXPECT_EQ(Text(d / "f.txt"), c.replaced ? "new" : "old");
        EXPECT_EQ(asked, c.handler != none ? 1 : 0);
        EXPECT_EQ(z.OverwriteMode(), c.mode);  // the answers hold for one run only
        EXPECT_EQ(Files(d.Path()).size(), 1u); // no temporary file left
        // A file that does not exist is always extracted.
        fs::remove(d / "f.txt");
        Extract(z, t / "a.zip", d.Path());
        EXPECT_EQ(Text(d / "f.txt"), "new");
    }
}

TEST(UnBase, OnBeginCanDeclineAMember) {
    mvtest::TempDir t;
    MakeZip(t / "a.zip", {{"keep.txt", "1"}, {"drop.txt", "2"}});
    TUnZIP z;
    std::vector<std::string> announced;
    z.OnBegin = [&](TObject*, const std::string& fn, int, bool& extract) {
        announced.push_back(fs::path(fn).filename().string());
        extract = fn.find("drop") == std::string::npos;
    };
    Outcome r = Extract(z, t / "a.zip", t / "out");
    EXPECT_EQ(Files(t / "out"), std::vector<std::string>{"keep.txt"});
    EXPECT_EQ(announced, (std::vector<std::string>{"keep.txt", "drop.txt"}));
    EXPECT_TRUE(r.errors.empty());
}

TEST(UnBase, PasswordChain) {
    const fs::path archive = mvtest::CorpusDir() / "zip" / "zipcrypto_stored.zip";
    mvtest::TempDir t;
    {
        // A password found in Passwords stays in Password for the next members.
        TUnZIP z;
        z.SetPasswords({"wrong", "test"});
        Outcome r = Extract(z, archive, t / "a");
        EXPECT_TRUE(r.errors.empty());
        EXPECT_EQ(r.extracted, 8);
        EXPECT_EQ(z.Password(), "test");
    }
    {
        // A typed password that passes moves to the front of Passwords; asked once.
        TUnZIP z;
        z.SetPasswords({"other"});
        int asked = 0;
        z.OnGetPassword = [&](TObject*, const std::string&, std::string& pw, bool& again) {
            ++asked;
            pw = "test";
            again = true;
        };
        Outcome r = Extract(z, archive, t / "b");
        EXPECT_EQ(r.extracted, 8);
        EXPECT_EQ(asked, 1);
        ASSERT_FALSE(z.Passwords().empty());
        EXPECT_EQ(z.Passwords().front(), "test");
    }
    {
        // Three wrong answers: 26517 three times, then 26522, and the extraction ends.
        TUnZIP z;
        int asked = 0;
        z.OnGetPassword = [&](TObject*, const std::string&, std::string& pw, bool& again) {
            ++asked;
            pw = "nope";
            again = true;
        };
        Outcome r = Extract(z, archive, t / "c");
        EXPECT_EQ(asked, 3);
        EXPECT_EQ(r.errors, (std::vector<int>{26517, 26517, 26517, 26522}));
        EXPECT_EQ(r.extracted, 0);
        EXPECT_TRUE(Files(t / "c").empty());
    }
    {
        // Without a password event each encrypted member reports 25270 and is left out.
        TUnZIP z;
        Outcome r = Extract(z, archive, t / "d");
        EXPECT_EQ(std::count(r.errors.begin(), r.errors.end(), 25270), 8);
        EXPECT_TRUE(Files(t / "d").empty());
    }
}

TEST(UnBase, OneExactNameCollectsOneMember) {
    mvtest::TempDir t;
    MakeZip(t / "a.zip", {{"dup.txt", "first"}, {"dup.txt", "second"}, {"other.txt", "x"}});
    TUnZIP z;
    z.FileSpecList() = {"dup.txt"};
    Outcome r = Extract(z, t / "a.zip", t / "out");
    EXPECT_EQ(r.count, 1);
    EXPECT_EQ(Files(t / "out"), std::vector<std::string>{"dup.txt"});
    EXPECT_EQ(Text(t / "out" / "dup.txt"), "first");
}

TEST(UnBase, DatesAndAttributes) {
    mvtest::TempDir t;
    MakeZip(t / "a.zip", {{"exec.sh", "#!/bin/sh\n", 0104755},
                          {"plain.txt", "p", 0100600},
                          {"readonly.txt", "r", 0, 0x01},
                          {"archive.txt", "a", 0, 0x20}});
    TUnZIP z;
    Extract(z, t / "a.zip", t / "out");
    struct stat st {};
    ASSERT_EQ(stat((t / "out" / "exec.sh").c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IXUSR);
    EXPECT_FALSE(st.st_mode & S_ISUID); // set-id bits never come from an archive
    ASSERT_EQ(stat((t / "out" / "plain.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(stat((t / "out" / "readonly.txt").c_str(), &st), 0);
    EXPECT_FALSE(st.st_mode & 0222);
    ASSERT_EQ(stat((t / "out" / "archive.txt").c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IWUSR);
    // The member's date (2011-03-13 10:20:30 local time; the tests run in UTC).
    EXPECT_EQ(st.st_mtime, 1300011630);

    TUnZIP now;
    now.SetDateAttribute(TDateAttribute::daSysDate);
    now.SetRestoreFileAttr(false);
    Extract(now, t / "a.zip", t / "now");
    ASSERT_EQ(stat((t / "now" / "readonly.txt").c_str(), &st), 0);
    EXPECT_GT(st.st_mtime, std::time(nullptr) - 3600);
    EXPECT_TRUE(st.st_mode & S_IWUSR);
}

TEST(UnBase, CancelLeavesNoPartialFile) {
    MV_REQUIRE_TOOL("zip");
    mvtest::TempDir t;
    mvtest::WriteFileBytes(t / "big.bin", mvtest::TextBytes(3 << 20, 5));
    ASSERT_EQ(mvtest::Run("zip -q -X -1 a.zip big.bin", t.Path()).exitCode, 0);
    mvtest::WriteFileText(t / "out" / "big.bin", "the user's own file");
    TUnZIP z;
    z.SetConfirmOverwrites(false);
    z.OnProgress = [&](TObject*, uint8_t, uint8_t) { z.SetCancel(true); };
    Outcome r = Extract(z, t / "a.zip", t / "out");
    EXPECT_EQ(r.extracted, 0);
    EXPECT_EQ(Files(t / "out"), std::vector<std::string>{"big.bin"});
    EXPECT_EQ(Text(t / "out" / "big.bin"), "the user's own file");
}
