// The lister's driver: its events, the file specification, the size query,
// cancel, and the errors it raises before any walk.
#include "tests/archive/lister/ListerTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <set>

using namespace mvtest;

namespace {

std::string Corpus(const std::string& rel) {
    return (CorpusDir() / rel).string();
}

struct Recorder {
    std::vector<std::string> events;
    std::vector<int> errors;
    void Attach(mv::TArcLister& l) {
        l.OnActivate = [this](mv::TObject*) { events.push_back("activate"); };
        l.OnDeactivate = [this](mv::TObject*) { events.push_back("deactivate"); };
        l.OnReadBegin = [this](mv::TObject*) { events.push_back("begin"); };
        l.OnReadEnd = [this](mv::TObject*) { events.push_back("end"); };
        l.OnReadFile = [this](mv::TObject*, const std::string& n) { events.push_back("file " + n); };
        l.OnRead = [this, &l](mv::TObject*, int64_t, int n) {
            events.push_back("read " + std::to_string(n) + " " + l.EntryInfo().FileName);
        };
        l.OnTotals = [this](mv::TObject*, int n) { events.push_back("totals " + std::to_string(n)); };
        l.OnError = [this](mv::TObject*, const std::string&, const std::string&, const std::string&,
                           int code) { errors.push_back(code); };
    }
};

} // namespace

TEST(ArcListerEvents, OrderOfEventsAndTheFileSpecification) {
    mv::TArcLister l;
    Recorder rec;
    rec.Attach(l);
    l.SetFileSpec({"*.exe", "*.txt"});
    l.SetArchiveFile(Corpus("rar/rar15_sc.rar"));
    ASSERT_TRUE(l.Activate());
    // OnReadFile for every header before the test; numbers only for reported entries
    std::vector<std::string> want = {
        "activate", "file EXE",           "file EXE\\TEST.EXE", "begin", "read 1 EXE\\TEST.EXE", "end",
        "file JPG", "file JPG\\TEST.JPG", "file TECT.TXT",      "begin", "read 2 TECT.TXT",      "end",
        "totals 2", "deactivate"};
    EXPECT_EQ(rec.events, want);
    EXPECT_EQ(l.FileCount(), 2);
    EXPECT_EQ(l.TotalUnpacked(), 45056 + 15498);
    EXPECT_TRUE(rec.errors.empty());
}

TEST(ArcListerEvents, ErrorsBeforeTheWalk) {
    TempDir dir;
    mv::TArcLister l;
    Recorder rec;
    rec.Attach(l);
    l.SetFileSpec({"*.*"});
    EXPECT_FALSE(l.Activate()); // no archive: false, nothing reported
    EXPECT_TRUE(rec.errors.empty());
    l.SetArchiveFile((dir / "missing.zip").string());
    EXPECT_FALSE(l.Activate());
    ASSERT_EQ(rec.errors.size(), 1u);
    EXPECT_EQ(rec.errors[0], 25172);
    WriteFileBytes(dir / "noise.bin", RandomBytes(4000, 3));
    l.SetArchiveFile((dir / "noise.bin").string());
    EXPECT_FALSE(l.Activate());
    ASSERT_EQ(rec.errors.size(), 2u);
    EXPECT_EQ(rec.errors.back(), 25327);
    l.OnRead = nullptr;
    l.SetArchiveFile(Corpus("arj/stored.arj"));
    EXPECT_FALSE(l.Activate());
    ASSERT_EQ(rec.errors.size(), 3u);
    EXPECT_EQ(rec.errors.back(), 25270);
}

TEST(ArcListerEvents, EmptyZipReports25108WithoutFailing) {
    MV_REQUIRE_TOOL("zip");
    TempDir dir;
    WriteFileBytes(dir / "a.txt", TextBytes(10, 1));
    ASSERT_EQ(mvtest::Run("zip -q e.zip a.txt && zip -qd e.zip a.txt", dir.Path()).exitCode, 0);
    mv::TArcLister l;
    Recorder rec;
    rec.Attach(l);
    l.SetFileSpec({"*.*"});
    l.SetArchiveFile((dir / "e.zip").string());
    EXPECT_TRUE(l.Activate());
    ASSERT_EQ(rec.errors.size(), 1u);
    EXPECT_EQ(rec.errors[0], 25108);
    EXPECT_EQ(rec.events.back(), "deactivate");
    EXPECT_EQ(rec.events[rec.events.size() - 2], "totals 0");
}

TEST(ArcListerEvents, CancelFromOnReadEndsTheWalkAfterTheStep) {
    mv::TArcLister l;
    Recorder rec;
    rec.Attach(l);
    l.SetFileSpec({"*.*"});
    l.OnRead = [&](mv::TObject*, int64_t, int) {
        rec.events.push_back("read");
        l.SetCancel(true);
    };
    l.SetArchiveFile(Corpus("ace/method1.ace"));
    EXPECT_TRUE(l.Activate());
    EXPECT_FALSE(l.Completed());
    EXPECT_EQ(std::count(rec.events.begin(), rec.events.end(), "read"), 1);
    EXPECT_EQ(rec.events.back(), "deactivate");
    EXPECT_EQ(rec.events[rec.events.size() - 2], "totals 1");
}

TEST(ArcListerEvents, SizeQueryComparesTheStoredPathExactly) {
    mv::TArcLister l;
    Recorder rec;
    rec.Attach(l);
    l.SetFileSpec({"*.txt"});
    l.SetArchiveFile(Corpus("rar/rar15_sc.rar"));
    EXPECT_EQ(l.GetUnpackedSize("JPG\\TEST.JPG"), 40372);
    EXPECT_EQ(l.GetUnpackedSize("JPG/TEST.JPG"), 40372);
    EXPECT_EQ(l.GetUnpackedSize("TEST.JPG"), 0);   // the whole stored path
    EXPECT_EQ(l.GetUnpackedSize("JPG\\*.JPG"), 0); // not a mask
    EXPECT_EQ(l.GetUnpackedSize(""), -1);
    // the six events and the specification stay as they were, and fired nothing
    // (OnReadFile is no listing event: it still tells each header)
    for (const auto& e : rec.events) EXPECT_EQ(e.rfind("file ", 0), 0u) << e;
    ASSERT_EQ(l.FileSpec().size(), 1u);
    EXPECT_EQ(l.FileSpec()[0], "*.txt");
    rec.events.clear();
    ASSERT_TRUE(l.Activate());
    EXPECT_EQ(std::count(rec.events.begin(), rec.events.end(), "read 1 TECT.TXT"), 1);
    EXPECT_EQ(rec.events.back(), "deactivate");
    TempDir dir;
    WriteFileBytes(dir / "x.arj",
                   {0x60, 0xEA, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17});
    l.SetArchiveFile((dir / "x.arj").string());
    EXPECT_EQ(l.GetUnpackedSize("a"), -1); // unreadable
    EXPECT_EQ(l.FileSpec()[0], "*.txt");
}

TEST(ArcListerEvents, ZipFoldersOnlyWithShowBlankDirsAndUncounted) {
    mv::TArcLister l;
    Recorder rec;
    rec.Attach(l);
    l.SetFileSpec({"*.*"});
    l.SetShowBlankDirs(true);
    l.SetArchiveFile(Corpus("zip/infozip_deflate_dirs.zip"));
    ASSERT_TRUE(l.Activate());
    EXPECT_EQ(l.FileCount(), 1);
    int reads = 0;
    for (const auto& e : rec.events) reads += e.rfind("read ", 0) == 0;
    EXPECT_EQ(reads, 2); // the folder repeats the running number
}

// An ARC archive with a folder: its entries are listed under the folder's path;
// with ShowBlankDirs the folder itself is listed as its path and "\".
TEST(ArcListerEvents, ArcFolders) {
    auto header = [](uint8_t method, const char* name, uint32_t size) {
        std::vector<uint8_t> h(29, 0);
        h[0] = 0x1A;
        h[1] = method;
        for (int i = 0; name[i] && i < 12; ++i) h[2 + i] = uint8_t(name[i]);
        for (int i = 0; i < 4; ++i) h[15 + i] = h[25 + i] = uint8_t(size >> (8 * i));
        h[19] = 0x21; // 1980-01-01
        return h;
    };
    std::vector<uint8_t> arc;
    auto add = [&](const std::vector<uint8_t>& v) { arc.insert(arc.end(), v.begin(), v.end()); };
    add(header(2, "TOP.TXT", 3));
    add({'a', 'b', 'c'});
    add(header(30, "SUB", 0));
    add(header(2, "IN.TXT", 2));
    add({'x', 'y'});
    add({0x1A, 31}); // end of the folder
    add(header(2, "LAST.TXT", 1));
    add({'z'});
    add({0x1A, 0});
    TempDir dir;
    WriteFileBytes(dir / "f.arc", arc);
    for (bool dirs : {false, true}) {
        ListResult r = ListArchive((dir / "f.arc").string(), dirs, false);
        ASSERT_TRUE(r.completed);
        std::vector<std::string> names;
        for (const auto& e : r.entries) names.push_back(e.name);
        std::vector<std::string> want = {"TOP.TXT", "SUB/IN.TXT", "LAST.TXT"};
        if (dirs) want.insert(want.begin() + 1, "SUB/");
        EXPECT_EQ(names, want);
    }
}

#include "archive/framework/DiskManager.h"
#include "platform/FakeFileSystem.h"

// A set spanned over removable disks, opened on its first disk: the lister asks
// for the last disk (where the directory is) and lists from there.
TEST(ArcListerEvents, SpannedZipAsksForTheLastDisk) {
    MV_REQUIRE_TOOL("zip");
    TempDir dir;
    WriteFileBytes(dir / "big.bin", RandomBytes(150000, 4));
    ASSERT_EQ(mvtest::Run("zip -q -s 64k span.zip big.bin", dir.Path()).exitCode, 0);
    mv::platform::FakeFileSystem fakes;
    std::string root = (dir / "drive").string();
    auto& drive = fakes.AddDrive(root, 1 << 20, mv::platform::DriveKind::Removable, "PKBACK# 001", 1);
    mv::platform::ScopedFileSystem scope(fakes);
    WriteFileBytes(dir / "drive/x.zip", ReadFileBytes(dir / "span.z01"));
    int last = drive.SwapMedium("PKBACK# 003", 3);
    (void)last;
    WriteFileBytes(dir / "drive/x.zip", ReadFileBytes(dir / "span.zip"));
    drive.InsertMedium(0);

    mv::TArcLister l;
    Recorder rec;
    rec.Attach(l);
    l.SetFileSpec({"*.*"});
    int asked = 0;
    l.OnGetZipLastDisk = [&](mv::TObject*, bool& cancel) {
        ++asked;
        drive.InsertMedium(1);
        cancel = false;
    };
    l.SetArchiveFile(root + "/x.zip");
    ASSERT_EQ(static_cast<int>(l.ArcType()), static_cast<int>(mv::TArcType::atZipMV));
    EXPECT_TRUE(l.Activate());
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(l.FileCount(), 1);
    EXPECT_EQ(l.EntryInfo().FileName, "big.bin");
    EXPECT_EQ(l.EntryInfo().UnpackedSize, 150000);
    EXPECT_TRUE(rec.errors.empty());

    // without a handler the first disk is walked by its local headers: its entry
    // goes on past the disk, which is reported
    drive.InsertMedium(0);
    mv::TArcLister plain;
    plain.SetFileSpec({"*.*"});
    plain.OnRead = [](mv::TObject*, int64_t, int) {};
    plain.SetArchiveFile(root + "/x.zip");
    plain.Activate();
    EXPECT_FALSE(plain.Completed());
    EXPECT_NE(plain.LastError(), 0);
}

// A set whose central directory starts three disks before the last one: after
// the last disk the lister asks for the directory's disks in turn, lists every
// entry, and a cancel at a prompt ends the listing.
TEST(ArcListerEvents, SpannedZipDirectoryOverSeveralDisks) {
    MV_REQUIRE_TOOL("zip");
    TempDir dir;
    fs::create_directories(dir / "f");
    for (int i = 1; i <= 1500; ++i)
        WriteFileText(dir / "f" / ("file-with-a-fairly-long-name-number-" + std::to_string(i) + ".txt"),
                      "content " + std::to_string(i) + "\n");
    ASSERT_EQ(mvtest::Run("zip -q -r -s 64k span.zip f", dir.Path()).exitCode, 0);
    std::vector<fs::path> pieces;
    for (int i = 1;; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "span.z%02d", i);
        if (!fs::exists(dir / name)) break;
        pieces.push_back(dir / name);
    }
    pieces.push_back(dir / "span.zip");
    ASSERT_GE(pieces.size(), 5u);

    mv::platform::FakeFileSystem fakes;
    std::string root = (dir / "drive").string();
    auto& drive = fakes.AddDrive(root, 1 << 20, mv::platform::DriveKind::Removable,
                                 mv::TDiskManager::SpanDiskLabel(1), 1);
    mv::platform::ScopedFileSystem scope(fakes);
    std::vector<int> media;
    for (size_t i = 0; i < pieces.size(); ++i) {
        uint32_t number = static_cast<uint32_t>(i + 1);
        media.push_back(i == 0 ? drive.CurrentMedium()
                               : drive.SwapMedium(mv::TDiskManager::SpanDiskLabel(int(number)), number));
        WriteFileBytes(dir / "drive/x.zip", ReadFileBytes(pieces[i]));
    }
    for (bool cancelSecond : {false, true}) {
        SCOPED_TRACE(cancelSecond);
        drive.InsertMedium(media[0]);
        mv::TArcLister l;
        Recorder rec;
        rec.Attach(l);
        l.SetFileSpec({"*.*"});
        std::vector<std::string> asked;
        l.OnGetZipLastDisk = [&](mv::TObject*, bool& cancel) {
            drive.InsertMedium(media.back());
            cancel = false;
        };
        l.OnGetZipNextDisk = [&](mv::TObject*, const std::string& number, bool& cancel) {
            asked.push_back(number);
            cancel = cancelSecond && asked.size() == 2;
            if (!cancel) drive.InsertMedium(media.at(std::stoul(number) - 1));
        };
        l.SetArchiveFile(root + "/x.zip");
        ASSERT_EQ(static_cast<int>(l.ArcType()), static_cast<int>(mv::TArcType::atZipMV));
        l.Activate();
        if (cancelSecond) {
            EXPECT_FALSE(l.Completed());
            EXPECT_EQ(l.FileCount(), 0);
            continue;
        }
        EXPECT_TRUE(l.Completed());
        EXPECT_TRUE(rec.errors.empty());
        const size_t last = pieces.size();
        EXPECT_EQ(asked, (std::vector<std::string>{std::to_string(last - 3), std::to_string(last - 2),
                                                   std::to_string(last - 1)}));
        EXPECT_EQ(l.FileCount(), 1500);
        std::set<std::string> names, want;
        for (const auto& e : rec.events)
            if (e.rfind("read ", 0) == 0) names.insert(e.substr(e.find(' ', 5) + 1));
        for (int i = 1; i <= 1500; ++i)
            want.insert("f\\file-with-a-fairly-long-name-number-" + std::to_string(i) + ".txt");
        EXPECT_EQ(names, want);
    }
}
