// The list file as the program receives it: its items, and deletion only of
// the context-menu handler's own files.
#include "app/operations/ListFile.h"
#include "platform/FileSystem.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

namespace {

using namespace mvtest;
using Items = std::vector<std::string>;

class EnvVar {
public:
    EnvVar(const char* name, const char* value) : name(name) {
        if (const char* old = std::getenv(name)) previous = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~EnvVar() {
        if (previous)
            ::setenv(name, previous->c_str(), 1);
        else
            ::unsetenv(name);
    }

private:
    const char* name;
    std::optional<std::string> previous;
};

class ListFileTest : public ::testing::Test {
protected:
    ListFileTest() { fs::create_directories(lists); }
    TempDir runtime;
    fs::path lists = runtime / "morvelan";
    EnvVar runtimeEnv{"XDG_RUNTIME_DIR", runtime.Path().c_str()};
};

TEST_F(ListFileTest, WhichFilesAreDeleted) {
    TempDir elsewhere;
    fs::create_directories(lists / "sub");
    struct Case {
        const char* name;
        fs::path path;
        bool own;
    };
    const Case cases[] = {
        {"own", lists / "Morvelan-a1B2c3.tmp", true},
        {"own-with-double-slash", runtime / "morvelan//Morvelan-Zz9999.tmp", true},
        {"other-folder", elsewhere / "Morvelan-a1B2c3.tmp", false},
        {"subfolder", lists / "sub/Morvelan-a1B2c3.tmp", false},
        {"hand-named", lists / "notes.txt", false},
        {"short-unique-part", lists / "Morvelan-abc.tmp", false},
        {"other-case", lists / "morvelan-a1B2c3.tmp", false},
        {"other-suffix", lists / "Morvelan-a1B2c3.txt", false},
        {"odd-character", lists / "Morvelan-a1B2c..tmp", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFileText(c.path, "/p/a.zip\r\n/q/b.rar\r\n");
        EXPECT_EQ(mv::IsShellListFile(c.path.string()), c.own);
        EXPECT_EQ(mv::TakeListFile(c.path.string()), (Items{"/p/a.zip", "/q/b.rar"}));
        EXPECT_EQ(fs::exists(c.path), !c.own);
    }
}

TEST_F(ListFileTest, LinkWithTheNameIsNotOurs) {
    TempDir elsewhere;
    fs::path target = elsewhere / "precious.txt";
    WriteFileText(target, "/x\n");
    fs::path link = lists / "Morvelan-Qw3rty.tmp";
    fs::create_symlink(target, link);
    EXPECT_FALSE(mv::IsShellListFile(link.string()));
    EXPECT_EQ(mv::TakeListFile(link.string()), (Items{"/x"}));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(fs::exists(target));
}

TEST_F(ListFileTest, FallbackFolderWithoutRuntimeFolder) {
    TempDir temp;
    EnvVar noRuntime("XDG_RUNTIME_DIR", nullptr);
    EnvVar tmpdir("TMPDIR", temp.Path().c_str());
    fs::path file = temp / "Morvelan-x1y2z3.tmp";
    WriteFileText(file, "/a\r\n");
    fs::path inRuntime = lists / "Morvelan-x1y2z3.tmp";
    WriteFileText(inRuntime, "/a\r\n");
    EXPECT_FALSE(mv::IsShellListFile(inRuntime.string()));
    EXPECT_TRUE(mv::IsShellListFile(file.string()));
    mv::TakeListFile(file.string());
    EXPECT_FALSE(fs::exists(file));
}

TEST_F(ListFileTest, LinesAreTakenAsTheyStand) {
    struct Case {
        const char* name;
        std::string bytes;
        Items items;
    };
    const Case cases[] = {
        {"crlf", "/a\r\n/b\r\n", {"/a", "/b"}},
        {"lf", "/a\n/b\n", {"/a", "/b"}},
        {"no-final-line-end", "/a\r\n/b", {"/a", "/b"}},
        {"blank-lines", "\r\n/a\r\n  \r\n\r\n/b\r\n", {"/a", "/b"}},
        {"blanks-belong-to-names", " /a b \r\n", {" /a b "}},
        {"not-utf8", "/caf\xE9\r\n/\xC3\xA9t\xC3\xA9\r\n", {"/caf\xE9", "/\xC3\xA9t\xC3\xA9"}},
        {"empty", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::path file = lists / "Morvelan-L1n3s0.tmp";
        WriteFileBytes(file, std::vector<uint8_t>(c.bytes.begin(), c.bytes.end()));
        EXPECT_EQ(mv::TakeListFile(file.string()), c.items);
        EXPECT_FALSE(fs::exists(file));
    }
}

TEST_F(ListFileTest, ManyAndLongNames) {
    std::string longName = "/" + std::string(4095, 'n');
    std::string bytes;
    Items expected;
    for (int i = 0; i < 5000; ++i) {
        expected.push_back("/d/" + std::to_string(i));
        bytes += expected.back() + "\r\n";
    }
    expected.push_back(longName);
    bytes += longName + "\r\n";
    fs::path file = lists / "Morvelan-M4ny00.tmp";
    WriteFileBytes(file, std::vector<uint8_t>(bytes.begin(), bytes.end()));
    EXPECT_EQ(mv::TakeListFile(file.string()), expected);
}

TEST_F(ListFileTest, MissingFileRaises) {
    fs::path file = lists / "Morvelan-G0n3zz.tmp";
    EXPECT_THROW(mv::TakeListFile(file.string()), mv::platform::FileError);
}

} // namespace
