// Dot-files and dot-folders: a tree with hidden names at several depths added by
// every writer (and by the zip writer component through mvarc). With hidden files
// asked for, the peer's listing holds every file; without, none of the hidden
// ones, and what the run reports (its count, the folders announced through
// OnRecurseDir, the "not found" error for a named hidden file) tells what was left out.
#include "archive/framework/ArcErrors.h"
#include "archive/framework/ArcFileAttr.h"
#include "archive/framework/ZipRecords.h"
#include "archive/writers/CompBase.h"
#include "archive/writers/WriterFactory.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>

using namespace mv;
using namespace mvtest;

namespace {

using Names = std::set<std::string>;

const char* const kTreeFiles[] = {
    "a.txt",
    "root.bin",
    ".top",
    "sub/b.txt",
    "sub/.dotfile",
    "sub/.cfg/c.txt",
    "sub/.cfg/.deep/d.bin",
    ".config/app/e.txt",
    ".config/.f",
    "x/y/z/.g",
    "x/y/z/h.txt",
};

bool IsHiddenPath(const std::string& rel) {
    std::istringstream in(rel);
    for (std::string part; std::getline(in, part, '/');)
        if (!part.empty() && part[0] == '.') return true;
    return false;
}

void MakeTree(const fs::path& root) {
    uint32_t seed = 1;
    for (const char* f : kTreeFiles) {
        fs::create_directories((root / f).parent_path());
        WriteFileBytes(root / f, TextBytes(200 + 37 * seed, seed));
        ++seed;
    }
    fs::create_directories(root / ".emptydot");
}

Names Expected(bool hidden) {
    Names out;
    for (const char* f : kTreeFiles)
        if (hidden || !IsHiddenPath(f)) out.insert(f);
    return out;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (!line.empty()) out.push_back(line);
    }
    return out;
}

// File names (folders left out) as a peer lists them.
Names FilesOnly(const std::vector<std::string>& names) {
    Names out;
    for (std::string n : names) {
        std::replace(n.begin(), n.end(), '\\', '/');
        if (n.empty() || n.back() == '/' || n.rfind("META-INF/", 0) == 0) continue;
        out.insert(n);
    }
    return out;
}

// No other tool reads BH: its headers are walked here (37 bytes, name length at 33,
// packed size at 15, the name after the header).
Names ListBh(const fs::path& arc) {
    auto a = ReadFileBytes(arc);
    std::vector<std::string> names;
    size_t p = 0;
    while (p + 37 <= a.size()) {
        const uint8_t* h = a.data() + p;
        if (LE32(h) != 0x07054842u) break;
        const size_t n = LE16(h + 33);
        const size_t packed = LE32(h + 15);
        if (p + 37 + n > a.size()) break;
        names.emplace_back(reinterpret_cast<const char*>(h + 37), n);
        p += 37 + n + packed;
    }
    EXPECT_EQ(p, a.size()) << "BH headers do not end at the end of the file";
    return FilesOnly(names);
}

Names PeerListing(const std::string& type, const fs::path& arc) {
    if (type == "bh") return ListBh(arc);
    std::string cmd;
    if (type == "zip" || type == "jar")
        cmd = "unzip -Z1 ";
    else if (type == "lha")
        cmd = "lha l ";
    else if (type == "cab")
        cmd = "cabextract -l ";
    else if (type == "tar")
        cmd = "tar tf ";
    else if (type == "tgz")
        cmd = "tar tzf ";
    auto r = mvtest::Run(cmd + Quote(arc.string()));
    EXPECT_EQ(r.exitCode, 0) << cmd << r.output;
    std::vector<std::string> names;
    const auto lines = Lines(r.output);
    if (type == "lha") {
        // The name is the last column of the lines between the two dashed rules.
        int rules = 0;
        for (const auto& l : lines) {
            if (l.rfind("----", 0) == 0) {
                ++rules;
                continue;
            }
            if (rules == 1) names.push_back(l.substr(l.find_last_of(' ') + 1));
        }
    } else if (type == "cab") {
        for (const auto& l : lines) {
            const size_t bar = l.rfind(" | ");
            if (bar != std::string::npos && l.find("Name") == std::string::npos)
                names.push_back(l.substr(bar + 3));
        }
    } else {
        names = lines;
    }
    return FilesOnly(names);
}

struct WriterRun {
    int count = 0;
    std::vector<int> errors;
    Names folders; // announced through OnRecurseDir, relative, ending in "/"
};

WriterRun AddTree(const std::string& type, const fs::path& arc, const fs::path& root, bool hidden,
                  const std::vector<std::string>& specs = {}) {
    auto w = MakeWriter(type);
    EXPECT_TRUE(w) << type;
    WriterRun r;
    if (!w) return r;
    w->SetArchiveFile(arc.string());
    w->SetTempDir(arc.parent_path().string());
    w->SetRecurseDirs(true);
    w->FileAttribute().SetftHidden(hidden);
    if (specs.empty())
        w->FileSpecList().push_back((root / "*").string());
    else
        for (const auto& s : specs) w->FileSpecList().push_back(s);
    const std::string prefix = root.string() + "/";
    w->OnRecurseDir = [&](TObject*, const std::string& dir) {
        r.folders.insert(dir.rfind(prefix, 0) == 0 ? dir.substr(prefix.size()) : dir);
    };
    w->OnError = [&](TObject*, const std::string&, const std::string&, const std::string&, int code) {
        r.errors.push_back(code);
    };
    r.count = w->Compress();
    return r;
}

Names ExpectedFolders(bool hidden) {
    Names out;
    for (const char* f : kTreeFiles) {
        std::string p = f;
        for (size_t s = p.find('/'); s != std::string::npos; s = p.find('/', s + 1)) {
            std::string dir = p.substr(0, s + 1);
            if (hidden || !IsHiddenPath(dir)) out.insert(dir);
        }
    }
    if (hidden) out.insert(".emptydot/");
    return out;
}

const char* const kTreeWriters[] = {"zip", "jar", "lha", "bh", "cab", "tar", "tgz"};

TEST(HiddenFiles, EveryWriterTakesDotNamesExactlyWhenAskedFor) {
    for (const char* type : kTreeWriters) {
        for (bool hidden : {true, false}) {
            SCOPED_TRACE(std::string(type) + (hidden ? " with hidden files" : " without hidden files"));
            TempDir dir;
            const fs::path root = dir.Path() / "tree";
            MakeTree(root);
            const fs::path arc = dir.Path() / (std::string("out.") + type);
            WriterRun r = AddTree(type, arc, root, hidden);
            EXPECT_TRUE(r.errors.empty()) << r.errors.front();
            const Names want = Expected(hidden);
            EXPECT_EQ(PeerListing(type, arc), want);
            // The count the run reports is what went in; what it does not count
            // is exactly the hidden files.
            EXPECT_EQ(r.count, static_cast<int>(want.size()));
            EXPECT_EQ(std::size(kTreeFiles) - static_cast<size_t>(r.count),
                      hidden ? 0u : Expected(true).size() - want.size());
            EXPECT_EQ(r.folders, ExpectedFolders(hidden));
        }
    }
}

TEST(HiddenFiles, DefaultAttributeChoiceTakesHiddenFiles) {
    TempDir dir;
    const fs::path root = dir.Path() / "tree";
    MakeTree(root);
    auto w = MakeWriter("zip");
    ASSERT_TRUE(w);
    EXPECT_TRUE(w->FileAttribute().ftHidden());
    EXPECT_TRUE(w->FileAttribute().ftAnyFile());
    const fs::path arc = dir.Path() / "d.zip";
    w->SetArchiveFile(arc.string());
    w->SetTempDir(dir.Path().string());
    w->SetRecurseDirs(true);
    w->FileSpecList().push_back((root / "*").string());
    EXPECT_EQ(w->Compress(), static_cast<int>(std::size(kTreeFiles)));
    EXPECT_EQ(PeerListing("zip", arc), Expected(true));
}

TEST(HiddenFiles, NamedHiddenFileNotAskedForIsReportedNotFound) {
    TempDir dir;
    const fs::path root = dir.Path() / "tree";
    MakeTree(root);
    const fs::path arc = dir.Path() / "n.zip";
    WriterRun r = AddTree("zip", arc, root, false, {(root / ".top").string(), (root / "a.txt").string()});
    EXPECT_EQ(r.count, 1);
    EXPECT_EQ(r.errors, std::vector<int>{arcerr::FileNotFound});
    EXPECT_EQ(PeerListing("zip", arc), Names{"a.txt"});
}

TEST(HiddenFiles, GZipTakesHiddenFilesOfTheFolderWhenAskedFor) {
    for (bool hidden : {true, false}) {
        SCOPED_TRACE(hidden ? "with hidden files" : "without hidden files");
        TempDir dir;
        const fs::path root = dir.Path() / "tree";
        MakeTree(root);
        const fs::path out = dir.Path() / "out";
        fs::create_directories(out);
        WriterRun r = AddTree("gzip", out / "x.gz", root, hidden);
        Names made;
        for (auto& e : fs::directory_iterator(out)) {
            made.insert(e.path().filename().string());
            auto t = mvtest::Run("gzip -t " + Quote(e.path().string()));
            EXPECT_EQ(t.exitCode, 0) << t.output;
        }
        Names want{"a.txt.gz", "root.bin.gz"};
        if (hidden) want.insert(".top.gz");
        EXPECT_EQ(made, want);
        EXPECT_EQ(r.count, static_cast<int>(want.size()));
        EXPECT_TRUE(r.errors.empty());
    }
}

// The route: mvarc add -r of a tree, through the writer driver and the
// zip writer component (-E), which has no attribute choice and takes everything.
TEST(HiddenFiles, MvarcAddTakesDotFoldersAndLeavesThemOutOnRequest) {
    TempDir dir;
    const fs::path root = dir.Path() / "tree";
    MakeTree(root);
    struct Case {
        const char* name;
        std::string options;
        bool hidden;
        bool engine;
    };
    const Case cases[] = {
        {"default", "-r", true, false},
        {"hidden", "-r --hidden", true, false},
        {"nohidden", "-r --no-hidden", false, false},
        {"engine", "-E -r", true, true},
        {"enginehidden", "-E -r --hidden", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path arc = dir.Path() / (std::string(c.name) + ".zip");
        auto r = mvtest::Run(Quote(MvarcPath()) + " add " + Quote(arc.string()) + " " + c.options + " tree",
                             dir.Path());
        ASSERT_EQ(r.exitCode, 0) << r.output;
        Names want;
        for (const auto& n : Expected(c.hidden)) want.insert(c.engine ? "tree/" + n : n);
        EXPECT_EQ(PeerListing("zip", arc), want);
        if (!c.engine) {
            EXPECT_NE(r.output.find(std::to_string(want.size()) + " added"), std::string::npos) << r.output;
        }
        EXPECT_EQ(mvtest::Run("unzip -tq " + Quote(arc.string())).exitCode, 0);
    }
    auto refused = mvtest::Run(Quote(MvarcPath()) + " add -E " + Quote((dir.Path() / "r.zip").string()) +
                                   " --no-hidden tree",
                               dir.Path());
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_FALSE(fs::exists(dir.Path() / "r.zip"));
}

} // namespace
