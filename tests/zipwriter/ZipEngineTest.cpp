// The zip writer component end to end: directories of peer-made archives,
// encryption, create/update/freshen/delete, failures that must leave the old
// archive alone, and sets of parts on fake removable disks and in block files.
#include "zipwriter/ZipEngine.h"
#include "platform/FakeFileSystem.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <cstdio>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace mv;
using mvtest::Quote;
namespace fs = std::filesystem;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string l;
    while (std::getline(in, l))
        if (!l.empty()) out.push_back(l);
    return out;
}

// unzip -t and 7z t (with the password when given) accept the archive.
void ExpectPeersAccept(const fs::path& zip, const std::string& pw = "") {
    SCOPED_TRACE(zip.string());
    if (mvtest::RequireTool("unzip")) {
        auto r = mvtest::Run("unzip -t " + (pw.empty() ? "" : "-P " + Quote(pw) + " ") + Quote(zip.string()));
        EXPECT_EQ(r.exitCode, 0) << r.output;
        if (!pw.empty()) {
            EXPECT_NE(mvtest::Run("unzip -t -P wrong" + pw + " " + Quote(zip.string())).exitCode, 0);
        }
    }
    if (mvtest::RequireTool("7z")) {
        auto r = mvtest::Run("7z t " + (pw.empty() ? std::string("-p-") : "-p" + Quote(pw)) + " " +
                             Quote(zip.string()));
        EXPECT_EQ(r.exitCode, 0) << r.output;
    }
}

std::vector<std::string> OurNames(const fs::path& zip) {
    TZipEngine z;
    z.SetZipName(zip.string());
    std::vector<std::string> out;
    for (int i = 0; i < z.Count(); ++i) out.push_back(z.Entry(i).FullName());
    return out;
}

// The raw bytes of every entry (local header to the end of its data), by name.
std::map<std::string, std::vector<uint8_t>> RawEntries(const fs::path& zip) {
    auto bytes = mvtest::ReadFileBytes(zip);
    TZipEngine z;
    z.SetZipName(zip.string());
    std::map<std::string, std::vector<uint8_t>> out;
    for (int i = 0; i < z.Count(); ++i) {
        const auto& e = z.Entry(i);
        size_t off = e.LocalHeaderOffset;
        size_t len = 30 + (bytes[off + 26] | bytes[off + 27] << 8) +
                     (bytes[off + 28] | bytes[off + 29] << 8) + e.CompressedSize;
        out[e.FullName()] = std::vector<uint8_t>(bytes.begin() + off, bytes.begin() + off + len);
    }
    return out;
}

std::set<std::string> FolderNames(const fs::path& dir) {
    std::set<std::string> s;
    for (auto& e : fs::directory_iterator(dir)) s.insert(e.path().filename().string());
    return s;
}

struct Tree {
    mvtest::TempDir dir;
    fs::path src() const { return dir / "src"; }
    Tree() {
        fs::create_directories(src() / "sub");
        mvtest::WriteFileBytes(src() / "a.txt", mvtest::TextBytes(20000, 1));
        mvtest::WriteFileBytes(src() / "b.bin", mvtest::RandomBytes(30000, 2));
        mvtest::WriteFileBytes(src() / "sub" / "c.txt", mvtest::TextBytes(3000, 3));
    }
    std::string s(const std::string& n) const { return (src() / n).string(); }
};

// --- directories of archives made by peers ---

TEST(ZipDirectory, PeerArchivesListAsZipinfoAndWriteBack) {
    MV_REQUIRE_TOOL("zip");
    MV_REQUIRE_TOOL("zipinfo");
    Tree t;
    mvtest::WriteFileText(t.src() / "\xc3\xbc.txt", "umlaut\n");
    std::vector<std::pair<std::string, std::string>> makers = {
        {"zip.zip", "cd " + Quote(t.src().string()) +
                        " && zip -q -r ../zip.zip . && echo 'a comment' | zip -q -z ../zip.zip"},
    };
    if (mvtest::RequireTool("7z"))
        makers.push_back(
            {"7z.zip", "cd " + Quote(t.src().string()) + " && 7z a -tzip -bd ../7z.zip . >/dev/null"});
    if (mvtest::RequireTool("python3"))
        makers.push_back(
            {"py.zip", "python3 -c \"import zipfile,sys; z=zipfile.ZipFile(sys.stdout.buffer,'w',"
                       "zipfile.ZIP_DEFLATED); z.writestr('a.txt','x'*5000); z.writestr('d/b.txt',"
                       "'hello'); z.writestr('d/e.bin', bytes(range(256))*40); z.close()\" | cat > " +
                           Quote((t.dir / "py.zip").string())});
    for (const auto& [name, cmd] : makers) {
        SCOPED_TRACE(name);
        ASSERT_EQ(mvtest::Run(cmd).exitCode, 0);
        const fs::path zip = t.dir / name;
        auto expected = Lines(mvtest::Run("zipinfo -1 " + Quote(zip.string())).output);
        EXPECT_EQ(OurNames(zip), expected);
        const auto before = RawEntries(zip);
        std::string commentBefore;
        {
            TZipEngine z;
            z.SetZipName(zip.string());
            commentBefore = z.ZipComment();
            EXPECT_EQ(z.Zip(), 0); // nothing to add: every entry written back
        }
        ExpectPeersAccept(zip);
        EXPECT_EQ(RawEntries(zip), before);
        EXPECT_EQ(OurNames(zip), expected);
        TZipEngine z;
        z.SetZipName(zip.string());
        EXPECT_EQ(z.ZipComment(), commentBefore);
        if (name == "zip.zip") {
            EXPECT_EQ(commentBefore, "a comment");
        }
    }
}

TEST(ZipDirectory, RefusesAndRepairs) {
    mvtest::TempDir dir;
    // An empty file is an archive without entries.
    mvtest::WriteFileBytes(dir / "empty.zip", {});
    EXPECT_EQ(OurNames(dir / "empty.zip").size(), 0u);
    // Junk without an end record: incomplete by default, not a zip on request.
    mvtest::WriteFileBytes(dir / "junk.zip", mvtest::RandomBytes(1000, 4));
    {
        TZipEngine z;
        z.SetZipName((dir / "junk.zip").string());
        EXPECT_THROW(z.Count(), EIncompleteZip);
        z.OnInCompleteZip = [](TObject*, TIncompleteZipMode& m) { m = TIncompleteZipMode::izAssumeNotAZip; };
        try {
            z.Count();
            FAIL();
        } catch (const ENotAZipFile& e) {
            EXPECT_STREQ(e.what(), "Não é um arquivo Zip válido!");
        }
    }
    if (mvtest::RequireTool("zip")) {
        mvtest::WriteFileText(dir / "f.txt", "hello hello hello\n");
        ASSERT_EQ(mvtest::Run("cd " + Quote(dir.Path().string()) + " && zip -q -fz z64.zip f.txt").exitCode,
                  0);
        TZipEngine z;
        z.SetZipName((dir / "z64.zip").string());
        EXPECT_THROW(z.Count(), EBadZipFile);
        // A cut archive is listed from its local headers when the handler allows it.
        ASSERT_EQ(mvtest::Run("cd " + Quote(dir.Path().string()) + " && zip -q cut.zip f.txt").exitCode, 0);
        auto bytes = mvtest::ReadFileBytes(dir / "cut.zip");
        bytes.resize(bytes.size() - 30);
        mvtest::WriteFileBytes(dir / "cut.zip", bytes);
        TZipEngine c;
        c.SetZipName((dir / "cut.zip").string());
        c.OnInCompleteZip = [](TObject*, TIncompleteZipMode& m) { m = TIncompleteZipMode::izAssumeBad; };
        ASSERT_EQ(c.Count(), 1);
        EXPECT_EQ(c.Entry(0).FullName(), "f.txt");
        EXPECT_TRUE(c.Rebuilt());
        c.SetFilesList({(dir / "f.txt").string()});
        EXPECT_THROW(c.Zip(), EBadZipFile); // a rebuilt directory is for listing only
    }
    TZipEngine z;
    try {
        z.GetDateTime(-1);
        FAIL();
    } catch (const EListError& e) {
        EXPECT_STREQ(e.what(), "Índice -1 está fora do tamanho");
    }
}

TEST(ZipEngine, DefaultsAndCoupledSetters) {
    TZipEngine z;
    EXPECT_EQ(z.ThisVersion(), 220);
    EXPECT_EQ(z.PackLevel(), 6);
    EXPECT_EQ(z.ZipAction(), TZipAction::zaUpdate);
    EXPECT_EQ(z.MultiZipInfo().BlockSize(), 1457600);
    EXPECT_TRUE(z.MultiZipInfo().CheckDiskLabels());
    EXPECT_EQ(z.SourceShareMode(), 32);
    z.SetRelativePaths(true);
    EXPECT_TRUE(z.StorePaths());
    EXPECT_TRUE(z.Recurse());
    z.SetStoreVolumes(true);
    z.SetStorePaths(false);
    EXPECT_FALSE(z.RelativePaths());
    EXPECT_FALSE(z.StoreVolumes());
    z.SetPackLevel(42);
    EXPECT_EQ(z.PackLevel(), 9);
    z.SetRootDir("/x");
    EXPECT_EQ(z.RootDir(), "/x/");
    EXPECT_THROW(z.SetZipName("/nowhere/a.zip?"), EUserCanceled);
    TZipEngine copy;
    copy.Assign(z);
    EXPECT_EQ(copy.PackLevel(), 9);
    z.MultiZipInfo().SetBlockSize(5);
    EXPECT_EQ(copy.MultiZipInfo().BlockSize(), 1457600);
}

// --- encryption ---

TEST(ZipEngine, EncryptedArchivePassesPeers) {
    Tree t;
    mvtest::WriteFileBytes(t.src() / "empty.txt", {});
    const fs::path zip = t.dir / "enc.zip";
    TZipEngine z;
    z.SetZipName(zip.string());
    z.SetPassword("s3cret");
    z.SetFilesList({t.s("a.txt"), t.s("b.bin"), t.s("empty.txt")});
    z.SetNoCompressList({"*.bin"});
    EXPECT_EQ(z.Zip(), 3);
    ExpectPeersAccept(zip, "s3cret");
    TZipEngine r;
    r.SetZipName(zip.string());
    ASSERT_EQ(r.Count(), 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(r.Entry(i).Flags & 1, 1);
    EXPECT_EQ(r.Entry(1).CompressedSize, 30000u + 12); // stored: n + 12
    EXPECT_EQ(r.Entry(2).CompressedSize, 12u);
}

// --- create, update, freshen, delete ---

TEST(ZipEngine, CreateUpdateFreshenDeleteTable) {
    Tree t;
    const fs::path zip = t.dir / "t.zip";
    const std::string zs = zip.string();
    {
        TZipEngine z;
        z.SetZipName(zs);
        z.SetFilesList({t.s("a.txt"), t.s("b.bin"), t.s("sub/c.txt"), t.s("a.txt")});
        std::vector<int> reasons;
        z.OnSkippingFile = [&](TObject*, int reason, const std::string&, int, bool&) {
            reasons.push_back(reason);
        };
        EXPECT_EQ(z.Zip(), 3);
        EXPECT_EQ(reasons, std::vector<int>{1});
    }
    ExpectPeersAccept(zip);
    EXPECT_EQ(OurNames(zip), (std::vector<std::string>{"a.txt", "b.bin", "c.txt"}));

    struct Step {
        const char* what;
        std::function<int(TZipEngine&)> run;
        std::vector<std::string> names;
        std::set<std::string> changed;
    };
    auto touch = [&](const std::string& n, int64_t dt) {
        auto p = t.src() / n;
        fs::last_write_time(p, fs::last_write_time(p) + std::chrono::seconds(dt));
    };
    std::vector<Step> steps = {
        {"update, same date: kept",
         [&](TZipEngine& z) {
             z.SetZipAction(TZipAction::zaUpdate);
             z.SetFilesList({t.s("a.txt")});
             return z.Zip();
         },
         {"a.txt", "b.bin", "c.txt"},
         {}},
        {"replace: replaced in place",
         [&](TZipEngine& z) {
             mvtest::WriteFileBytes(t.src() / "a.txt", mvtest::TextBytes(25000, 9));
             z.SetZipAction(TZipAction::zaReplace);
             z.SetFilesList({t.s("a.txt")});
             return z.Zip();
         },
         {"a.txt", "b.bin", "c.txt"},
         {"a.txt"}},
        {"update, newer file and a new one",
         [&](TZipEngine& z) {
             mvtest::WriteFileBytes(t.src() / "sub" / "c.txt", mvtest::TextBytes(4000, 10));
             touch("sub/c.txt", 10);
             mvtest::WriteFileText(t.src() / "new.txt", "new\n");
             z.SetZipAction(TZipAction::zaUpdate);
             z.SetFilesList({t.s("sub/c.txt"), t.s("new.txt")});
             return z.Zip();
         },
         {"a.txt", "b.bin", "c.txt", "new.txt"},
         {"c.txt", "new.txt"}},
        {"freshen right after naming the archive",
         [&](TZipEngine& z) {
             mvtest::WriteFileBytes(t.src() / "b.bin", mvtest::RandomBytes(1000, 11));
             touch("b.bin", 20);
             mvtest::WriteFileText(t.src() / "other.txt", "not in the archive\n");
             z.SetZipAction(TZipAction::zaFreshen);
             z.SetFilesList({t.s("b.bin"), t.s("other.txt")});
             return z.Zip();
         },
         {"a.txt", "b.bin", "c.txt", "new.txt"},
         {"b.bin"}},
        {"mask over the archive's own folder",
         [&](TZipEngine& z) {
             mvtest::WriteFileText(t.dir / "top.txt", "top\n");
             z.SetZipAction(TZipAction::zaUpdate);
             z.SetFilesList({(t.dir / "*").string()});
             return z.Zip();
         },
         {"a.txt", "b.bin", "c.txt", "new.txt", "top.txt"},
         {"top.txt"}},
        {"delete by mask",
         [&](TZipEngine& z) {
             z.SetFilesList({"*.txt"});
             int n = 0;
             z.OnDeleteEntry = [&](TObject*, const std::string& name, bool& skip) {
                 skip = name == "a.txt"; // the mask goes on after a skipped entry
                 n += !skip;
             };
             z.DeleteEntries();
             return n;
         },
         {"a.txt", "b.bin"},
         {}},
        {"delete by name",
         [&](TZipEngine& z) {
             z.SetFilesList({"B.BIN"});
             z.DeleteEntries();
             return 1;
         },
         {"a.txt"},
         {}},
    };
    std::vector<int> expectedCounts = {0, 1, 2, 1, 1, 3, 1};
    for (size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE(steps[i].what);
        const auto before = RawEntries(zip);
        TZipEngine z;
        z.SetZipName(zs);
        EXPECT_EQ(steps[i].run(z), expectedCounts[i]);
        ExpectPeersAccept(zip);
        EXPECT_EQ(OurNames(zip), steps[i].names);
        const auto after = RawEntries(zip);
        for (const auto& [name, raw] : after) {
            if (steps[i].changed.count(name) || !before.count(name)) continue;
            EXPECT_EQ(raw, before.at(name)) << name << " changed";
        }
        for (const auto& n : steps[i].changed)
            if (before.count(n)) {
                EXPECT_NE(after.at(n), before.at(n)) << n;
            }
        for (const auto& f : FolderNames(t.dir.Path())) EXPECT_EQ(f.rfind("KPZ", 0), std::string::npos) << f;
    }
    // An empty list on a missing archive: the end record alone.
    TZipEngine e;
    e.SetZipName((t.dir / "none.zip").string());
    e.Zip();
    EXPECT_EQ(fs::file_size(t.dir / "none.zip"), 22u);
}

// mvarc add -E and delete -E run through the component; our reader tests the results.
TEST(ZipEngine, MvarcSwitchAndOurReader) {
    Tree t;
    const std::string zip = (t.dir / "m.zip").string(), mvarc = Quote(mvtest::MvarcPath());
    for (const std::string pw : {"", "pw"}) {
        SCOPED_TRACE("password '" + pw + "'");
        const std::string p = pw.empty() ? "" : " -p " + pw;
        fs::remove(zip);
        auto add = mvtest::Run(mvarc + " add " + Quote(zip) + " -E -r" + p + " " + Quote(t.src().string()));
        ASSERT_EQ(add.exitCode, 0) << add.output;
        auto test = mvtest::Run(mvarc + " test " + Quote(zip) + p);
        EXPECT_EQ(test.exitCode, 0) << test.output;
        auto del = mvtest::Run(mvarc + " delete " + Quote(zip) + " -E '*.bin'");
        ASSERT_EQ(del.exitCode, 0) << del.output;
        test = mvtest::Run(mvarc + " test " + Quote(zip) + p);
        EXPECT_EQ(test.exitCode, 0) << test.output;
        EXPECT_EQ(test.output.find("b.bin"), std::string::npos);
        ExpectPeersAccept(zip, pw);
    }
}

// --- failures leave the old archive alone ---

TEST(ZipEngine, FailuresLeaveOldArchiveAndSources) {
    Tree t;
    const fs::path zip = t.dir / "t.zip";
    {
        TZipEngine z;
        z.SetZipName(zip.string());
        z.SetFilesList({t.s("a.txt"), t.s("b.bin")});
        z.Zip();
    }
    const auto old = mvtest::ReadFileBytes(zip);
    const auto names = FolderNames(t.dir.Path());
    mvtest::WriteFileBytes(t.src() / "a.txt", mvtest::TextBytes(40000, 5));
    struct Fault {
        const char* what;
        std::function<void(platform::FakeFileSystem&, TZipEngine&)> arm;
    };
    std::vector<Fault> faults = {
        {"no space", [](platform::FakeFileSystem& f, TZipEngine&) { f.FailWritesAfter(20000); }},
        {"read error", [](platform::FakeFileSystem& f, TZipEngine&) { f.FailReadsAfter(60000); }},
        {"replace fails", [](platform::FakeFileSystem& f, TZipEngine&) { f.FailRenames(true); }},
        {"cancel",
         [](platform::FakeFileSystem&, TZipEngine& z) {
             z.OnEndZip = [&z](TObject*, const std::string&, int64_t, int64_t, int64_t) {
                 z.CancelOperation();
             };
         }},
        {"handler throws",
         [](platform::FakeFileSystem&, TZipEngine& z) {
             z.OnStartZip = [](TObject*, const std::string&, TZipHeaderInfo&, bool&) {
                 throw std::runtime_error("x");
             };
         }},
    };
    for (const auto& f : faults) {
        SCOPED_TRACE(f.what);
        platform::FakeFileSystem fake;
        platform::ScopedFileSystem use(fake);
        TZipEngine z;
        z.SetZipName(zip.string());
        z.SetZipAction(TZipAction::zaReplace);
        z.SetDispose(true);
        z.SetFilesList({t.s("a.txt"), t.s("sub/c.txt")});
        f.arm(fake, z);
        EXPECT_ANY_THROW(z.Zip());
        fake.ClearFaults();
        EXPECT_EQ(mvtest::ReadFileBytes(zip), old);
        EXPECT_EQ(FolderNames(t.dir.Path()), names);
        EXPECT_TRUE(fs::exists(t.src() / "a.txt"));
        EXPECT_TRUE(fs::exists(t.src() / "sub" / "c.txt"));
    }
    // A replacing file that cannot be opened keeps the old entry.
    if (geteuid() != 0) {
        chmod((t.src() / "a.txt").c_str(), 0);
        TZipEngine z;
        z.SetZipName(zip.string());
        z.SetZipAction(TZipAction::zaReplace);
        z.SetFilesList({t.s("a.txt")});
        int skipped = 0;
        z.OnSkippingFile = [&](TObject*, int reason, const std::string&, int, bool&) {
            skipped += reason == 2;
        };
        EXPECT_EQ(z.Zip(), 0);
        EXPECT_EQ(skipped, 1);
        EXPECT_EQ(OurNames(zip), (std::vector<std::string>{"a.txt", "b.bin"}));
        chmod((t.src() / "a.txt").c_str(), 0644);
    }
    // A replacing name that holds no file data (a pipe) keeps the old entry too,
    // whoever runs the test.
    {
        fs::create_directories(t.dir / "pipes");
        ASSERT_EQ(mkfifo((t.dir / "pipes" / "a.txt").c_str(), 0600), 0);
        const auto before = RawEntries(zip);
        TZipEngine z;
        z.SetZipName(zip.string());
        z.SetZipAction(TZipAction::zaReplace);
        z.SetFilesList({(t.dir / "pipes" / "a.txt").string()});
        int skipped = 0;
        z.OnSkippingFile = [&](TObject*, int reason, const std::string&, int, bool&) {
            skipped += reason == 2;
        };
        EXPECT_EQ(z.Zip(), 0);
        EXPECT_EQ(skipped, 1);
        EXPECT_EQ(RawEntries(zip), before);
        fs::remove_all(t.dir / "pipes");
    }
    // Moving: the sources go only after the archive is in place.
    TZipEngine z;
    z.SetZipName(zip.string());
    z.SetDispose(true);
    z.SetFilesList({t.s("sub/c.txt")});
    EXPECT_EQ(z.Zip(), 1);
    EXPECT_FALSE(fs::exists(t.src() / "sub" / "c.txt"));
    ExpectPeersAccept(zip);
}

TEST(ZipEngine, KilledRunLeavesOldArchive) {
    mvtest::TempDir dir;
    const fs::path zip = dir / "k.zip";
    mvtest::WriteFileText(dir / "small.txt", "small\n");
    ASSERT_EQ(mvtest::Run(Quote(mvtest::MvarcPath()) + " zadd " + Quote(zip.string()) + " " +
                          Quote((dir / "small.txt").string()))
                  .exitCode,
              0);
    const auto old = mvtest::ReadFileBytes(zip);
    mvtest::WriteFileBytes(dir / "big.bin", mvtest::TextBytes(24 << 20, 7));
    // The writer is killed once its new archive, a file without a name in the
    // archive's folder, holds 64 KiB: the kill lands in the middle of the write
    // whatever the machine's speed. The script tells the size it saw and how
    // the writer ended.
    const std::string script =
        Quote(mvtest::MvarcPath()) + " zadd " + Quote(zip.string()) + " -l 9 " +
        Quote((dir / "big.bin").string()) + " >/dev/null 2>&1 & pid=$!\n" +
        "seen=0\n"
        "while [ $seen -lt 65536 ] && kill -0 $pid 2>/dev/null; do\n"
        "  for f in /proc/$pid/fd/*; do\n"
        "    case \"$(readlink $f 2>/dev/null)\" in " + Quote(dir.Path().string()) + "/*\"(deleted)\")\n"
        "      s=$(stat -L -c %s $f 2>/dev/null || echo 0); [ \"$s\" -gt $seen ] && seen=$s;;\n"
        "    esac\n"
        "  done\n"
        "  sleep 0.01\n"
        "done\n"
        "kill -9 $pid 2>/dev/null; wait $pid 2>/dev/null; echo \"status=$? seen=$seen\"\n";
    const auto run = mvtest::Run(script);
    unsigned status = 0, seen = 0;
    const size_t report = run.output.find("status=");
    ASSERT_NE(report, std::string::npos) << run.output;
    ASSERT_EQ(std::sscanf(run.output.c_str() + report, "status=%u seen=%u", &status, &seen), 2) << run.output;
    EXPECT_EQ(status, 128u + 9u) << "the writer ended before the kill";
    EXPECT_GE(seen, 65536u) << "the kill did not land while the new archive was being written";
    EXPECT_EQ(mvtest::ReadFileBytes(zip), old);
    // The new archive had no name yet: nothing is left behind.
    EXPECT_EQ(FolderNames(dir.Path()), (std::set<std::string>{"big.bin", "k.zip", "small.txt"}));
}

// --- parts ---

void RenameSetAndTest(const std::vector<fs::path>& parts, const fs::path& out, const std::string& pw) {
    fs::create_directories(out);
    for (size_t i = 0; i < parts.size(); ++i) {
        char ext[32];
        std::snprintf(ext, sizeof ext, ".z%02zu", i + 1);
        fs::copy_file(parts[i],
                      out / (i + 1 == parts.size() ? std::string("set.zip") : "set" + std::string(ext)));
    }
    // Our own reader takes the renamed set as well.
    auto ours = mvtest::Run(Quote(mvtest::MvarcPath()) + " test " + Quote((out / "set.zip").string()) +
                            (pw.empty() ? std::string() : " -p " + Quote(pw)));
    EXPECT_EQ(ours.exitCode, 0) << ours.output;
    if (!mvtest::RequireTool("7z")) return;
    auto r = mvtest::Run("7z t " + (pw.empty() ? std::string("-p-") : "-p" + Quote(pw)) + " " +
                         Quote((out / "set.zip").string()));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    auto x = mvtest::Run("cd " + Quote(out.string()) + " && 7z x -y -oext " +
                         (pw.empty() ? std::string("-p-") : "-p" + Quote(pw)) + " set.zip");
    EXPECT_EQ(x.exitCode, 0) << x.output;
}

TEST(ZipEngine, SpannedOverThreeFakeDisksAndBlockFiles) {
    for (const std::string pw : {"", "pw"}) {
        SCOPED_TRACE("password '" + pw + "'");
        mvtest::TempDir dir;
        fs::create_directories(dir / "src");
        for (int i = 0; i < 3; ++i)
            mvtest::WriteFileBytes(dir / "src" / ("f" + std::to_string(i) + ".bin"),
                                   mvtest::RandomBytes(70000, 20 + i));
        const std::vector<std::string> files = {(dir / "src/f0.bin").string(), (dir / "src/f1.bin").string(),
                                                (dir / "src/f2.bin").string()};
        {
            platform::FakeFileSystem fake;
            platform::ScopedFileSystem use(fake);
            auto& drive =
                fake.AddDrive((dir / "floppy").string(), 100000, platform::DriveKind::Removable, "", 1);
            drive.SetLabelWritable(true);
            std::vector<int> media = {drive.CurrentMedium()};
            std::vector<int> asked;
            TZipEngine z;
            z.SetZipName((dir / "floppy" / "set.zip").string());
            z.SetMultiMode(TMultiMode::mmSpan);
            z.SetPassword(pw);
            z.OnGetNextDisk = [&](TObject*, int n, std::string&) {
                asked.push_back(n);
                media.push_back(drive.SwapMedium("", 100 + n));
            };
            z.SetFilesList(files);
            EXPECT_EQ(z.Zip(), 3);
            EXPECT_GE(asked.size(), 2u);
            for (size_t k = 0; k < asked.size(); ++k) EXPECT_EQ(asked[k], int(k) + 2);
            ASSERT_GE(media.size(), 3u);
            std::vector<fs::path> parts;
            for (size_t m = 0; m < media.size(); ++m) {
                drive.InsertMedium(media[m]);
                EXPECT_EQ(drive.Label(), "PKBACK# " + ThreeDigits(int(m) + 1));
                fs::path copy = dir / ("disk" + std::to_string(m));
                fs::copy_file(dir / "floppy" / "set.zip", copy);
                EXPECT_LE(fs::file_size(copy), 100000u);
                parts.push_back(copy);
            }
            RenameSetAndTest(parts, dir / "span", pw);
        }
        {
            TZipEngine z;
            const fs::path base = dir / "blocks" / "b.zip";
            fs::create_directories(base.parent_path());
            mvtest::WriteFileText(dir / "blocks" / "b.009", "stale part of an earlier run");
            z.SetZipName(base.string());
            z.SetMultiMode(TMultiMode::mmBlocks);
            z.MultiZipInfo().SetFirstBlockSize(2 * 65536);
            z.MultiZipInfo().SetBlockSize(65536);
            z.MultiZipInfo().SetSaveZipInfoOnFirstDisk(true);
            z.SetPassword(pw);
            z.SetFilesList(files);
            EXPECT_EQ(z.Zip(), 3);
            EXPECT_EQ(fs::path(z.ZipName()).filename(), "b.003");
            EXPECT_EQ(fs::file_size(dir / "blocks" / "b.001"), 2u * 65536);
            EXPECT_EQ(fs::file_size(dir / "blocks" / "b.002"), 65536u);
            EXPECT_TRUE(fs::exists(dir / "blocks" / "b.zfc"));
            EXPECT_TRUE(fs::exists(dir / "blocks" / "b.009")); // not consecutive: not ours
            // Read back by the component itself: the directory of the set.
            TZipEngine r;
            r.SetZipName((dir / "blocks" / "b.003").string());
            EXPECT_EQ(r.Count(), 3);
            EXPECT_EQ(r.GetMultiMode(), TMultiMode::mmBlocks);
            // An update of a set of parts is refused before anything is written.
            r.SetFilesList(files);
            EXPECT_THROW(r.Zip(), EBadZipFile);
            RenameSetAndTest({dir / "blocks" / "b.001", dir / "blocks" / "b.002", dir / "blocks" / "b.003"},
                             dir / "bl", pw);
        }
    }
}

} // namespace

namespace {

// Encryption filters the encoder's output without touching its window: the
// encrypted entry decrypts to exactly the bytes of the unencrypted run.
TEST(ZipEngine, EncryptionIsAPostFilter) {
    mvtest::TempDir dir;
    auto r = mvtest::RandomBytes(40 * 1024, 31);
    std::vector<uint8_t> input = r;
    input.insert(input.end(), r.begin() + 16 * 1024, r.begin() + 24 * 1024);
    auto text = mvtest::TextBytes(20 * 1024, 32);
    input.insert(input.end(), text.begin(), text.end());
    mvtest::WriteFileBytes(dir / "in.bin", input);
    auto entryData = [&](const std::string& pw) {
        const fs::path zip = dir / (pw.empty() ? "plain.zip" : "enc.zip");
        TZipEngine z;
        z.SetZipName(zip.string());
        z.SetPassword(pw);
        z.RandomBytes = [](uint8_t* b, size_t n) {
            for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 7);
        };
        z.SetFilesList({(dir / "in.bin").string()});
        z.Zip();
        auto bytes = mvtest::ReadFileBytes(zip);
        size_t off = 30 + (bytes[26] | bytes[27] << 8);
        TZipEngine rd;
        rd.SetZipName(zip.string());
        return std::vector<uint8_t>(bytes.begin() + off, bytes.begin() + off + rd.Entry(0).CompressedSize);
    };
    auto plain = entryData("");
    auto enc = entryData("pw");
    ASSERT_EQ(enc.size(), plain.size() + 12);
    TZipKeys keys;
    keys.InitKeys("pw");
    std::vector<uint8_t> dec(enc.size());
    keys.DecryptBlock(enc.data(), dec.data(), enc.size());
    EXPECT_TRUE(std::equal(plain.begin(), plain.end(), dec.begin() + 12));
}

TEST(ZipEngine, StoredNamesAreSafeAndEventsFire) {
    Tree t;
    const fs::path zip = t.dir / "n.zip";
    TZipEngine z;
    z.SetZipName(zip.string());
    z.SetStorePaths(true);
    z.SetRootDir(t.src().string());
    z.SetRelativePaths(true);
    z.SetFilesList({t.s("sub/../a.txt"), t.s("sub/c.txt"), t.s("b.bin")});
    z.OnStartZip = [](TObject*, const std::string& name, TZipHeaderInfo& h, bool&) {
        if (name.ends_with("b.bin")) h.SetDirectory("../../etc/");
    };
    int infoCalls = 0, last = -1;
    z.OnStartZipInfo = [&](TObject*, int n, int64_t total, TEndCentral&, bool&) {
        ++infoCalls;
        EXPECT_EQ(n, 3);
        EXPECT_EQ(total, 53000);
    };
    z.OnTotalPercentDone = [&](TObject*, int p) {
        EXPECT_GE(p, last);
        last = p;
    };
    z.CancelOperation(); // a cancel while idle does not stop the next run
    EXPECT_EQ(z.Zip(), 3);
    EXPECT_EQ(infoCalls, 1);
    EXPECT_EQ(last, 100);
    EXPECT_EQ(OurNames(zip), (std::vector<std::string>{"a.txt", "sub/c.txt", "etc/b.bin"}));
    ExpectPeersAccept(zip);
    // Our own lister reads what the component wrote, with the sources' CRCs.
    auto list = mvtest::Run(Quote(mvtest::MvarcPath()) + " list " + Quote(zip.string()));
    ASSERT_EQ(list.exitCode, 0) << list.output;
    auto a = mvtest::ReadFileBytes(t.src() / "a.txt");
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08X", mvtest::ReferenceCrc32(a.data(), a.size()));
    EXPECT_NE(list.output.find(crc), std::string::npos) << list.output;
    // A stop from OnStartZipInfo cancels with text 187 and leaves the archive.
    const auto old = mvtest::ReadFileBytes(zip);
    TZipEngine s;
    s.SetZipName(zip.string());
    mvtest::WriteFileText(t.src() / "new.txt", "new\n");
    s.SetFilesList({t.s("new.txt")});
    s.OnStartZipInfo = [](TObject*, int, int64_t, TEndCentral&, bool& stop) { stop = true; };
    try {
        s.Zip();
        FAIL();
    } catch (const EUserCanceled& e) {
        EXPECT_STREQ(e.what(), "Usuário cancelou a operação.");
    }
    EXPECT_EQ(mvtest::ReadFileBytes(zip), old);
}

TEST(ZipEngine, BlockSetStalePartsAndDirectoryCopy) {
    mvtest::TempDir dir;
    mvtest::WriteFileBytes(dir / "f.bin", mvtest::RandomBytes(150000, 40));
    mvtest::WriteFileText(dir / "b.004", "stale");
    mvtest::WriteFileText(dir / "b.005", "stale");
    TZipEngine z;
    z.SetZipName((dir / "b.zip").string());
    z.SetMultiMode(TMultiMode::mmBlocks);
    z.MultiZipInfo().SetBlockSize(65536);
    z.MultiZipInfo().SetFirstBlockSize(65536);
    z.MultiZipInfo().SetSaveZipInfoOnFirstDisk(true);
    z.SetFilesList({(dir / "f.bin").string()});
    EXPECT_EQ(z.Zip(), 1);
    EXPECT_EQ(fs::path(z.ZipName()).filename(), "b.003");
    EXPECT_FALSE(fs::exists(dir / "b.004"));
    EXPECT_FALSE(fs::exists(dir / "b.005"));
    // The first part holds no end record: the directory comes from the ".zfc" copy.
    TZipEngine r;
    r.SetZipName((dir / "b.001").string());
    ASSERT_EQ(r.Count(), 1);
    EXPECT_EQ(r.Entry(0).FullName(), "f.bin");
    // Sizes below 64 KiB are refused before anything is written.
    TZipEngine small;
    small.SetZipName((dir / "s.zip").string());
    small.SetMultiMode(TMultiMode::mmBlocks);
    small.MultiZipInfo().SetBlockSize(1000);
    small.SetFilesList({(dir / "f.bin").string()});
    EXPECT_THROW(small.Zip(), EZipEngineError);
    EXPECT_FALSE(fs::exists(dir / "s.001"));
}

} // namespace

namespace {

// A set whose directory begins on one disk and goes on over the next: reading
// it asks for those disks, checks their labels, and asks again for a wrong one.
TEST(ZipEngine, SpannedDirectoryReadAcrossDisksWithLabels) {
    mvtest::TempDir dir;
    fs::create_directories(dir / "src");
    std::vector<std::string> files;
    for (int i = 0; i < 300; ++i) {
        std::string name = std::string(140, 'n') + std::to_string(1000 + i) + ".txt";
        mvtest::WriteFileBytes(dir / "src" / name, mvtest::TextBytes(100, 50 + i));
        files.push_back((dir / "src" / name).string());
    }
    platform::FakeFileSystem fake;
    platform::ScopedFileSystem use(fake);
    auto& drive = fake.AddDrive((dir / "floppy").string(), 70000, platform::DriveKind::Removable, "", 1);
    drive.SetLabelWritable(true);
    std::vector<int> media = {drive.CurrentMedium()};
    const std::string set = (dir / "floppy" / "set.zip").string();
    {
        TZipEngine z;
        z.SetZipName(set);
        z.SetMultiMode(TMultiMode::mmSpan);
        z.SetPackLevel(0);
        z.OnGetNextDisk = [&](TObject*, int, std::string&) {
            media.push_back(drive.SwapMedium("", 200 + int(media.size())));
        };
        z.SetFilesList(files);
        EXPECT_EQ(z.Zip(), 300);
    }
    ASSERT_GE(media.size(), 3u);
    TZipEngine r;
    r.SetZipName(set);
    std::vector<int> asked;
    bool wrongOnce = true;
    r.OnGetNextDisk = [&](TObject*, int n, std::string&) {
        asked.push_back(n);
        // The first time, the user puts in the first disk instead of the one asked for.
        drive.InsertMedium(media[size_t(wrongOnce && n != 1 ? 0 : n - 1)]);
        wrongOnce = false;
    };
    EXPECT_EQ(r.Count(), 300);
    EXPECT_EQ(r.GetMultiMode(), TMultiMode::mmSpan);
    ASSERT_GE(asked.size(), 3u);
    EXPECT_EQ(asked[0], asked[1]); // asked again after the wrong label
    // No disk at all: the fixed English text.
    TZipEngine none;
    drive.InsertMedium(media.back());
    none.SetZipName(set);
    none.OnGetNextDisk = [](TObject*, int, std::string& name) { name.clear(); };
    try {
        none.Count();
        FAIL();
    } catch (const EUserCanceled& e) {
        EXPECT_STREQ(e.what(), "User canceled loading new disk.");
    }
}

// A changed archive comment is written when the component turns to another archive.
TEST(ZipEngine, PendingCommentIsWrittenOnRename) {
    Tree t;
    const fs::path zip = t.dir / "c.zip";
    TZipEngine z;
    z.SetZipName(zip.string());
    z.SetFilesList({t.s("a.txt")});
    z.Zip();
    z.SetZipComment("backup of today");
    z.SetZipName((t.dir / "other.zip").string());
    TZipEngine r;
    r.SetZipName(zip.string());
    EXPECT_EQ(r.ZipComment(), "backup of today");
    EXPECT_EQ(OurNames(zip), std::vector<std::string>{"a.txt"});
    ExpectPeersAccept(zip);
}

} // namespace
