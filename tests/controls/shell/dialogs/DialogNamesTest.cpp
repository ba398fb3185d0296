// What the file dialogs make of typed text: joining names to the folder shown, quoted
// names, the syntax check, the default extension, the filter list and which check a
// chosen file brings.
#include "controls/shell/dialogs/DialogNames.h"

#include <gtest/gtest.h>

namespace mv {
namespace {

TEST(DialogNames, CombinePath) {
    struct Row {
        const char* dir;
        const char* name;
        const char* expected;
    };
    const Row rows[] = {
        {"/a/b", "x", "/a/b/x"},
        {"/a/b/", "x", "/a/b/x"},
        {"/a/b", "../x", "/a/x"},
        {"/a/b", ".../x", "/x"},
        {"/a/b", "..../x", "/x"}, // never above the root
        {"/a/b", "./x", "/a/b/x"},
        {"/a/b", "/x", "/x"},
        {"/a/b", "/c/../x", "/x"},
        {"/a/b", "c//d/", "/a/b/c/d"},
        {"/a/b", "..", "/a"},
        {"/a/b", "...", "/"},
        {"/", "x", "/x"},
        {"", "x", "/x"}, // a folder without a path puts names under the root
        {"/a/b", "", ""},
        {"/a/...", "x", "/a/.../x"}, // the folder's own names stand as they are
        {"/a/b", "C:\\x", "/a/b/C:\\x"}, // a colon and a backslash are plain characters
        {"/a/b", "dir with blank/y z", "/a/b/dir with blank/y z"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.dir) + " + " + row.name);
        EXPECT_EQ(CombinePath(row.dir, row.name), row.expected);
    }
    // No length limit.
    const std::string longName(2000, 'n');
    EXPECT_EQ(CombinePath("/d", longName), "/d/" + longName);
}

TEST(DialogNames, SplitFileNames) {
    struct Row {
        const char* text;
        std::vector<std::string> expected;
    };
    const Row rows[] = {
        {"one.zip", {"one.zip"}},
        {"  name with blanks.zip  ", {"  name with blanks.zip"}},
        {"\"a.zip\" \"b.zip\"", {"a.zip", "b.zip"}},
        {"\"a.zip\"\t\"b c.zip\"", {"a.zip", "b c.zip"}},
        {"\"a.zip\" plain name \"b.zip\"", {"a.zip", "plain name", "b.zip"}},
        {"\"a.zip\"c d\"e\"", {"a.zip", "c d", "e"}},
        {"\"\" \"x\"", {"x"}},
        {"\"unclosed", {"unclosed"}},
        {"", {}},
        {"   ", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(SplitFileNames(row.text), row.expected);
    }
}

TEST(DialogNames, SyntaxCheckRefusesOnlyWhatAPathCannotHold) {
    EXPECT_TRUE(IsValidFileNameText("a/b|c<d>e\\\\f"));
    EXPECT_TRUE(IsValidFileNameText(std::string(255, 'x')));
    EXPECT_FALSE(IsValidFileNameText(std::string(256, 'x')));
    EXPECT_FALSE(IsValidFileNameText("/d/" + std::string(256, 'x') + "/y"));
    EXPECT_FALSE(IsValidFileNameText(std::string("a\0b", 3)));
}

TEST(DialogNames, DefaultExtension) {
    const TMvRegisteredExt registered = [](const std::string& ext) { return ext == "txt" || ext == "TXT"; };
    struct Row {
        const char* full;
        const char* defaultExt;
        bool different_before;
        const char* expected;
        bool different_after;
    };
    const Row rows[] = {
        {"/d/x", "zip", true, "/d/x.zip", false},
        {"/d/x.", "zip", true, "/d/x.zip", false},
        {"/d/x.zip", "zip", true, "/d/x.zip", false},
        {"/d/x.ZIP", "zip", true, "/d/x.ZIP", false},
        {"/d/x.txt", "zip", false, "/d/x.txt", true},
        {"/d/x.abc", "zip", true, "/d/x.abc.zip", false},
        {"/d/.profile", "zip", true, "/d/.profile.zip", false},
        {"/d.e/x", "zip", true, "/d.e/x.zip", false},
        {"/d/x", "", true, "/d/x", true}, // no default extension: nothing changes
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.full);
        bool different = row.different_before;
        EXPECT_EQ(ApplyDefaultExt(row.full, row.defaultExt, registered, different), row.expected);
        EXPECT_EQ(different, row.different_after);
    }
}

TEST(DialogNames, ParseFilter) {
    EXPECT_EQ(ParseFilter("Archives|*.zip;*.jar|All|*"),
              (std::vector<TMvFilterEntry>{{"Archives", "*.zip;*.jar"}, {"All", "*"}}));
    EXPECT_EQ(ParseFilter("Only a description"), (std::vector<TMvFilterEntry>{{"Only a description", ""}}));
    EXPECT_EQ(ParseFilter("A|*.a|"), (std::vector<TMvFilterEntry>{{"A", "*.a"}}));
    EXPECT_TRUE(ParseFilter("").empty());
}

TEST(DialogNames, NameAndFolderParts) {
    EXPECT_EQ(NamePart("/a/b.zip"), "b.zip");
    EXPECT_EQ(FolderPart("/a/b.zip"), "/a");
    EXPECT_EQ(FolderPart("/b.zip"), "/");
    EXPECT_EQ(FolderPart("b.zip"), "");
    EXPECT_TRUE(HasWildcard("/a/*.txt"));
    EXPECT_TRUE(HasWildcard("x?.zip"));
    EXPECT_FALSE(HasWildcard("/a*b/x.zip"));
}

TEST(DialogNames, CheckFileCases) {
    using enum TMvFileCheck;
    struct Row {
        TMvOpenOptions options;
        bool exists, readOnly, folderExists;
        TMvFileCheck expected;
    };
    const Row rows[] = {
        {0, true, true, true, fcPass},
        {ptofNoReadOnlyReturn, true, true, true, fcReadOnly},
        {ptofNoReadOnlyReturn | ptofOverwritePrompt, true, true, true, fcReadOnly},
        {ptofNoReadOnlyReturn | ptofOverwritePrompt, true, false, true, fcOverwrite},
        {ptofOverwritePrompt, true, true, true, fcOverwrite},
        {ptofFileMustExist | ptofCreatePrompt, true, false, true, fcPass},
        {ptofFileMustExist | ptofCreatePrompt, false, false, true, fcFileMissing},
        {ptofCreatePrompt, false, false, true, fcCreate},
        {ptofOverwritePrompt, false, false, true, fcPass},
        {ptofPathMustExist | ptofFileMustExist, false, false, false, fcPathMissing},
        {ptofFileMustExist, false, false, false, fcFileMissing},
        {0, false, false, false, fcPass},
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(i);
        const Row& r = rows[i];
        EXPECT_EQ(CheckFileCase(r.options, r.exists, r.readOnly, r.folderExists), r.expected);
    }
}

} // namespace
} // namespace mv
