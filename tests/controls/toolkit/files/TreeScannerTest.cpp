// The directory walker: event order, masks, stop flag, and the Linux rules (dot
// files, case twins, FIFOs, symbolic links), checked against find(1).
#include "controls/toolkit/files/TreeScanner.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <sys/stat.h>

namespace mv {
namespace {

namespace fs = mvtest::fs;

// Records every event as "F <file> <size>", "D <folder>" or "E <folder>" (done).
struct Recorder {
    std::vector<std::string> events;
    explicit Recorder(TTreeScanner& s) {
        s.OnFileFound = [this](TTreeScanner* t) {
            events.push_back("F " + t->FileFound() + " " + std::to_string(t->FileSize()));
        };
        s.OnDirectoryFound = [this](TTreeScanner* t) { events.push_back("D " + t->FileFound()); };
        s.OnDirectoryDone = [this](TTreeScanner* t) { events.push_back("E " + t->FileFound()); };
    }
};

void Touch(const fs::path& p, size_t size = 1) {
    fs::create_directories(p.parent_path());
    mvtest::WriteFileText(p, std::string(size, 'x'));
}

TEST(TreeScanner, OrderFilesFirstThenFoldersDepthFirst) {
    mvtest::TempDir dir;
    const std::string r = dir.Path().string() + "/";
    Touch(dir / "b.txt", 2);
    Touch(dir / "A.txt", 3);
    Touch(dir / "c.doc", 1);
    Touch(dir / "sub2" / "z.txt", 4);
    Touch(dir / "Sub1" / "y.txt", 5);
    fs::create_directories(dir / "sub2" / "empty");
    TTreeScanner s;
    Recorder rec(s);
    s.SetInitialDirectory(dir.Path().string());
    s.SetFileMask("*.txt");
    s.Scan();
    const std::vector<std::string> want = {
        "D " + r,
        "F " + r + "A.txt 3",
        "F " + r + "b.txt 2",
        "D " + r + "Sub1/",
        "F " + r + "Sub1/y.txt 5",
        "E " + r + "Sub1/y.txt",
        "D " + r + "sub2/",
        "F " + r + "sub2/z.txt 4",
        "D " + r + "sub2/empty/",
        "E " + r + "sub2/empty/",
        "E " + r + "sub2/empty/",
        "E " + r + "sub2/empty/",
    };
    // OnDirectoryDone sees FileFound as the last event left it.
    EXPECT_EQ(rec.events, want);
    EXPECT_FALSE(s.SearchInProgress());
}

TEST(TreeScanner, EmptyFolderAndNonRecursive) {
    mvtest::TempDir dir;
    const std::string r = dir.Path().string() + "/";
    {
        TTreeScanner s;
        Recorder rec(s);
        s.SetInitialDirectory(r + "///");
        s.Scan();
        EXPECT_EQ(rec.events, (std::vector<std::string>{"D " + r, "E " + r}));
    }
    Touch(dir / "a" / "deep.txt");
    Touch(dir / "top.txt");
    TTreeScanner s;
    Recorder rec(s);
    s.SetInitialDirectory(dir.Path().string());
    s.SetRecursive(false);
    s.SetFileMask("*.TXT");
    s.Scan();
    EXPECT_EQ(rec.events,
              (std::vector<std::string>{"D " + r, "F " + r + "top.txt 1", "D " + r + "a/", "E " + r + "a/"}));
}

TEST(TreeScanner, InitialDirectoryIsNormalised) {
    EXPECT_EQ(TTreeScanner::NormalisedDirectory("/"), "/");
    EXPECT_EQ(TTreeScanner::NormalisedDirectory("/data"), "/data/");
    EXPECT_EQ(TTreeScanner::NormalisedDirectory("/data/"), "/data/");
    EXPECT_EQ(TTreeScanner::NormalisedDirectory("").back(), '/');
}

TEST(TreeScanner, StopTakesEffectAtTheNextFolder) {
    mvtest::TempDir dir;
    Touch(dir / "a1.txt");
    Touch(dir / "a2.txt");
    Touch(dir / "s" / "x.txt");
    TTreeScanner s;
    int files = 0, pumps = 0;
    s.ProcessMessages = [&] { ++pumps; };
    s.OnFileFound = [&](TTreeScanner* t) {
        ++files;
        t->ContinueScan = false;
    };
    s.SetInitialDirectory(dir.Path().string());
    s.Scan();
    EXPECT_EQ(files, 2); // the folder's files are all reported, the subfolder is not entered
    EXPECT_EQ(pumps, 2);
}

TEST(TreeScanner, CaseTwinsFifosAndSymlinkLoops) {
    mvtest::TempDir dir;
    const std::string r = dir.Path().string() + "/";
    Touch(dir / "a.txt", 1);
    Touch(dir / "A.txt", 2);
    Touch(dir / "real" / "f.txt", 3);
    ASSERT_EQ(mkfifo((dir / "pipe.txt").c_str(), 0600), 0);
    fs::create_directory_symlink(dir.Path(), dir / "real" / "loop");
    fs::create_symlink(dir / "real" / "f.txt", dir / "link.txt");
    TTreeScanner s;
    Recorder rec(s);
    s.SetInitialDirectory(dir.Path().string());
    s.Scan();
    std::vector<std::string> files;
    for (const auto& e : rec.events)
        if (e[0] == 'F') files.push_back(e);
    EXPECT_EQ(files, (std::vector<std::string>{"F " + r + "A.txt 2", "F " + r + "a.txt 1",
                                               "F " + r + "link.txt 3", "F " + r + "real/f.txt 3"}));
}

TEST(TreeScanner, FindsTheSameFilesAsFindWithDotFiles) {
    mvtest::TempDir dir;
    Touch(dir / ".hidden");
    Touch(dir / "v.txt");
    Touch(dir / ".cfg" / "x");
    Touch(dir / ".cfg" / ".deeper" / ".y");
    Touch(dir / "d" / ".e" / "f" / "g.bin");
    Touch(dir / "d" / "noext");
    fs::create_directories(dir / ".emptydot");
    TTreeScanner s;
    std::vector<std::string> ours;
    s.OnFileFound = [&](TTreeScanner* t) { ours.push_back(t->FileFound()); };
    s.SetInitialDirectory(dir.Path().string());
    s.SetFileMask("*.*");
    s.Scan();
    const auto run = mvtest::Run("find " + mvtest::Quote(dir.Path().string()) + " -type f");
    ASSERT_EQ(run.exitCode, 0);
    std::vector<std::string> theirs;
    std::istringstream in(run.output);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) theirs.push_back(line);
    std::sort(ours.begin(), ours.end());
    std::sort(theirs.begin(), theirs.end());
    EXPECT_EQ(ours.size(), 6u);
    EXPECT_EQ(ours, theirs);
}

} // namespace
} // namespace mv
