// The writer driver under faults: whatever fails (no space after N bytes, a
// source that cannot be read, a cancel, a failed replace), the old archive is
// left bit-identical, the error is reported, no temporary file stays behind,
// and moved sources are deleted only after the new archive is in place.
#include "archive/writers/ZipWriter.h"

#include "platform/FakeFileSystem.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace mv;
using namespace mvtest;

namespace {

std::vector<std::string> Listing(const fs::path& dir) {
    std::vector<std::string> names;
    for (auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct TFixture {
    TempDir t;
    fs::path archive = t / "arc" / "old.zip";
    std::vector<uint8_t> original;

    TFixture() {
        fs::create_directories(t / "arc");
        WriteFileBytes(t / "first" / "keep1.txt", TextBytes(40000, 1));
        WriteFileBytes(t / "first" / "keep2.bin", RandomBytes(30000, 2));
        WriteFileBytes(t / "first" / "change.txt", TextBytes(20000, 3));
        EXPECT_EQ(Run(TSwitch::swAdd, {(t / "first" / "*").string()}), 0);
        original = ReadFileBytes(archive);
        WriteFileBytes(t / "new" / "a_added.txt", TextBytes(50000, 4));
        WriteFileBytes(t / "new" / "change.txt", TextBytes(25000, 5));
        WriteFileBytes(t / "new" / "z_added.bin", RandomBytes(20000, 6));
    }

    int Run(TSwitch sw, const std::vector<std::string>& specs, std::function<void(TZip&)> setup = {},
            int* count = nullptr) {
        TZip zip;
        zip.SetArchiveFile(archive.string());
        zip.SetSwitch(sw);
        for (const auto& s : specs) zip.FileSpecList().push_back(s);
        zip.OnReplaceFile = [](TObject*, const std::string&, const std::string&, TDateTime, TDateTime,
                               int64_t, int64_t, int, int, bool& replace) { replace = true; };
        if (setup) setup(zip);
        int n = zip.Compress();
        if (count) *count = n;
        return zip.LastError();
    }
    std::string NewSpec() { return (t / "new" / "*").string(); }
    void ExpectUntouched() {
        EXPECT_EQ(ReadFileBytes(archive), original);
        EXPECT_EQ(Listing(t / "arc"), std::vector<std::string>{"old.zip"});
    }
};

} // namespace

TEST(CompBase, NoSpaceAtAnyPointKeepsTheOldArchive) {
    // The size of the archive the update writes, from the same update on a copy.
    uint64_t full = 0;
    {
        TFixture probe;
        EXPECT_EQ(probe.Run(TSwitch::swAdd, {probe.NewSpec()}), 0);
        full = ReadFileBytes(probe.archive).size();
    }
    TFixture f;
    platform::FakeFileSystem fake;
    platform::ScopedFileSystem use(fake);
    for (uint64_t n :
         {uint64_t{0}, uint64_t{1}, uint64_t{29}, uint64_t{4000}, full / 3, full / 2, full - 23, full - 1}) {
        SCOPED_TRACE(n);
        fake.ClearFaults();
        fake.FailWritesAfter(n);
        EXPECT_EQ(f.Run(TSwitch::swAdd, {f.NewSpec()}), 25136);
        f.ExpectUntouched();
    }
    fake.ClearFaults();
    fake.FailWritesAfter(full + 4096); // headers are written twice
    // With room enough the same update goes through.
    EXPECT_EQ(f.Run(TSwitch::swAdd, {f.NewSpec()}), 0);
    EXPECT_EQ(ReadFileBytes(f.archive).size(), full);
    EXPECT_EQ(Listing(f.t / "arc"), std::vector<std::string>{"old.zip"});
}

TEST(CompBase, FailedReplaceAndCancelKeepTheOldArchive) {
    TFixture f;
    {
        platform::FakeFileSystem fake;
        platform::ScopedFileSystem use(fake);
        fake.FailRenames(true);
        EXPECT_EQ(f.Run(TSwitch::swAdd, {f.NewSpec()}), 25136);
        f.ExpectUntouched();
        fake.ClearFaults();
        fake.FailFlushes(true);
        EXPECT_EQ(f.Run(TSwitch::swDelete, {"keep1.txt"}), 25136);
        f.ExpectUntouched();
    }
    // Cancel in the middle of the work, also of a deletion.
    for (TSwitch sw : {TSwitch::swAdd, TSwitch::swMove, TSwitch::swDelete}) {
        int calls = 0;
        EXPECT_EQ(f.Run(sw,
                        sw == TSwitch::swDelete ? std::vector<std::string>{"keep1.txt"}
                                                : std::vector<std::string>{f.NewSpec()},
                        [&](TZip& zip) {
                            zip.OnProgress = [&](TObject*, uint8_t, uint8_t) {
                                if (++calls == (sw == TSwitch::swDelete ? 1 : 3)) zip.SetCancel(true);
                            };
                        }),
                  25400);
        f.ExpectUntouched();
        EXPECT_TRUE(fs::exists(f.t / "new" / "a_added.txt"));
    }
}

TEST(CompBase, UnreadableSourcesAreSkippedAndReplacedEntriesKeepTheirOldCopy) {
    TFixture f;
    // The replacement of change.txt vanishes before it is read: the old entry stays.
    std::vector<int> errors;
    int count = 0;
    EXPECT_EQ(f.Run(
                  TSwitch::swAdd, {f.NewSpec()},
                  [&](TZip& zip) {
                      zip.OnBegin = [&](TObject*, const std::string& name, int, bool&) {
                          if (name == "change.txt") fs::remove(f.t / "new" / "change.txt");
                      };
                      zip.OnError = [&](TObject*, const std::string&, const std::string&, const std::string&,
                                        int code) { errors.push_back(code); };
                  },
                  &count),
              25235);
    EXPECT_EQ(errors, std::vector<int>{25235});
    EXPECT_EQ(count, 2);
    auto r = mvtest::Run("unzip -p " + Quote(f.archive.string()) + " change.txt");
    EXPECT_EQ(std::vector<uint8_t>(r.output.begin(), r.output.end()), TextBytes(20000, 3));
    EXPECT_EQ(mvtest::Run("unzip -tq " + Quote(f.archive.string())).exitCode, 0);

    // A source that fails in the middle of its data: the entry is left out,
    // the rest of the archive is written.
    TFixture g;
    platform::FakeFileSystem fake;
    platform::ScopedFileSystem use(fake);
    EXPECT_EQ(g.Run(TSwitch::swAdd, {g.NewSpec()},
                    [&](TZip& zip) {
                        zip.OnBegin = [&](TObject*, const std::string& name, int, bool&) {
                            if (name == "z_added.bin") fake.FailReadsAfter(5000);
                        };
                    }),
              25236);
    fake.ClearFaults();
    auto list = mvtest::Run("unzip -l " + Quote(g.archive.string())).output;
    EXPECT_NE(list.find("a_added.txt"), std::string::npos);
    EXPECT_EQ(list.find("z_added.bin"), std::string::npos);
    EXPECT_EQ(mvtest::Run("unzip -tq " + Quote(g.archive.string())).exitCode, 0);
    EXPECT_EQ(Listing(g.t / "arc"), std::vector<std::string>{"old.zip"});
}

TEST(CompBase, MovedSourcesGoOnlyAfterTheArchiveIsInPlace) {
    {
        // A failure: every source stays.
        TFixture f;
        platform::FakeFileSystem fake;
        platform::ScopedFileSystem use(fake);
        fake.FailWritesAfter(60000);
        EXPECT_EQ(f.Run(TSwitch::swMove, {f.NewSpec()}), 25136);
        f.ExpectUntouched();
        EXPECT_EQ(Listing(f.t / "new"),
                  (std::vector<std::string>{"a_added.txt", "change.txt", "z_added.bin"}));
    }
    // Success: the sources written are deleted, one that failed stays.
    TFixture f;
    platform::FakeFileSystem fake;
    platform::ScopedFileSystem use(fake);
    EXPECT_EQ(f.Run(TSwitch::swMove, {f.NewSpec()},
                    [&](TZip& zip) {
                        zip.OnBegin = [&](TObject*, const std::string& name, int, bool&) {
                            if (name == "z_added.bin") fake.FailReadsAfter(100);
                        };
                        zip.OnEnd = [&](TObject*, const std::string&, bool) { fake.ClearFaults(); };
                        // The failed source's fault ends with it: the new archive is read back whole.
                        auto reported = zip.OnError;
                        zip.OnError = [&fake, reported](TObject* s, const std::string& fn, const std::string& m,
                                                        const std::string& v, int code) {
                            fake.ClearFaults();
                            if (reported) reported(s, fn, m, v, code);
                        };
                    }),
              25236);
    fake.ClearFaults();
    EXPECT_EQ(Listing(f.t / "new"), std::vector<std::string>{"z_added.bin"});
    auto list = mvtest::Run("unzip -l " + Quote(f.archive.string())).output;
    EXPECT_NE(list.find("a_added.txt"), std::string::npos);
}

TEST(CompBase, NothingChangedLeavesTheArchiveAlone) {
    TFixture f;
    struct stat before {};
    ASSERT_EQ(stat(f.archive.c_str(), &before), 0);
    int count = -1;
    EXPECT_EQ(f.Run(TSwitch::swAdd, {(f.t / "first" / "*").string()}, {}, &count), 0);
    EXPECT_EQ(count, 0);
    struct stat after {};
    ASSERT_EQ(stat(f.archive.c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
    f.ExpectUntouched();
}

TEST(CompBase, ReadOnlyArchiveNeedsConsent) {
    TFixture f;
    fs::permissions(f.archive, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_EQ(f.Run(TSwitch::swAdd, {f.NewSpec()}), 25136);
    f.ExpectUntouched();
    EXPECT_EQ(f.Run(TSwitch::swAdd, {f.NewSpec()},
                    [](TZip& zip) {
                        zip.OnNonWriteableArchive = [](TObject*, const std::string&, bool& write) {
                            write = true;
                        };
                    }),
              0);
    EXPECT_NE(ReadFileBytes(f.archive), f.original);
}

TEST(CompBase, StoredNamesAndExclusions) {
    TempDir t;
    WriteFileBytes(t / "top" / "dir" / "a.txt", TextBytes(100, 1));
    WriteFileBytes(t / "top" / "dir" / "sub" / "b.txt", TextBytes(100, 2));
    WriteFileBytes(t / "top" / "dir" / "sub" / "skip.tmp", TextBytes(100, 3));
    struct TCase {
        TStoredDirNames mode;
        std::vector<std::string> names;
    } cases[] = {
        {TStoredDirNames::sdNone, {"a.txt", "b.txt"}},
        {TStoredDirNames::sdRelative, {"a.txt", "sub/b.txt"}},
        {TStoredDirNames::sdRelativeStoreStart, {"dir/a.txt", "dir/sub/b.txt"}},
    };
    for (const auto& c : cases) {
        fs::path zipPath = t / "n.zip";
        fs::remove(zipPath);
        TZip zip;
        zip.SetArchiveFile(zipPath.string());
        zip.SetRecurseDirs(true);
        zip.SetStoredDirNames(c.mode);
        zip.FileSpecList().push_back((t / "top" / "dir" / "*").string());
        zip.SetExcludeSpec({"*.tmp"});
        std::vector<std::string> reported;
        zip.OnRead = [&](TObject*, int64_t, int) { reported.push_back(zip.EntryInfo().FileName); };
        zip.Compress();
        EXPECT_EQ(zip.LastError(), 0);
        std::vector<std::string> expected = c.names;
        for (auto& n : expected) std::replace(n.begin(), n.end(), '/', '\\');
        EXPECT_EQ(reported, expected);
    }
    // sdAbsolute stores the whole path, without its leading "/".
    TZip zip;
    zip.SetArchiveFile((t / "abs.zip").string());
    zip.SetStoredDirNames(TStoredDirNames::sdAbsolute);
    zip.FileSpecList().push_back((t / "top" / "dir" / "a.txt").string());
    zip.Compress();
    auto list = mvtest::Run("unzip -Z1 " + Quote((t / "abs.zip").string())).output;
    EXPECT_EQ(list, (t / "top" / "dir" / "a.txt").string().substr(1) + "\n");
}

TEST(CompBase, NeverAddsTheArchiveToItself) {
    TempDir t;
    WriteFileText(t / "a.txt", "hello");
    for (int round = 0; round < 2; ++round) {
        TZip zip;
        zip.SetArchiveFile((t / "x.zip").string());
        zip.FileSpecList().push_back((t / "*").string());
        std::vector<std::string> added;
        zip.OnRead = [&](TObject*, int64_t, int) { added.push_back(zip.EntryInfo().FileName); };
        zip.Compress();
        EXPECT_EQ(zip.LastError(), 0);
        EXPECT_EQ(added, round == 0 ? std::vector<std::string>{"a.txt"} : std::vector<std::string>{});
    }
    EXPECT_EQ(Listing(t.Path()), (std::vector<std::string>{"a.txt", "x.zip"}));
}
