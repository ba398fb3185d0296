// The handler's rules as pure functions: the archive test, the names taken
// from the first path, and the quoted command line rendered for messages.
#include "shellext/ContextMenuRules.h"

#include <gtest/gtest.h>

namespace {

using namespace mv::shellext;

TEST(ContextMenuRules, ArchiveTest) {
    struct Case {
        const char* path;
        bool archive;
    };
    const Case cases[] = {
        {"/a/b.zip", true},  {"/a/b.ZIP", true},  {"/a/b.tar.gz", true}, {"/a/b.zipx", true},
        {"/a/b.lhz", true},  {"/a/b.lzh", true},  {"/a/b.z", true},      {"/a/b.Bh", true},
        {"/a/b.tgz", false}, {"/a/b.doc", false}, {"/a/b", false},       {"/a.zip/b", false},
        {"/a/b.zip ", true}, {"/a/.zip", true},   {"/a/b.", false},      {"/a/b.zi", false},
        {"/a/b.jar", true},  {"/a/b.7z", false},  {"", false},           {"/a/dir.rar/", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(IsArchiveName(c.path), c.archive);
    }
}

TEST(ContextMenuRules, NamesOfTheFirstPath) {
    struct Case {
        const char* path;
        const char* folder;
        const char* base;
        const char* target;
    };
    const Case cases[] = {
        {"/Docs/report.final.doc", "/Docs/", "report", "/Docs/report"},
        {"/x/Photos.2001", "/x/", "Photos", "/x/Photos"},
        {"/x/.profile", "/x/", "", "/x/"},
        {"/x/plain", "/x/", "plain", "/x/plain"},
        {"/a.b/file", "/a.b/", "file", "/a.b/file"},
        {"/x/dir/", "/x/", "dir", "/x/dir"},
        {"name.txt", "", "name", "name"},
        {"/ lead.txt ", "/", " lead", "/ lead"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        TSelectionNames n = SelectionNames(c.path);
        EXPECT_EQ(n.First, c.path);
        EXPECT_EQ(n.Folder, c.folder);
        EXPECT_EQ(n.Base, c.base);
        EXPECT_EQ(n.Target, c.target);
    }
}

TEST(ContextMenuRules, KindsAndCounts) {
    EXPECT_EQ(SelectionKind({}), TSelectionKind::skNone);
    EXPECT_EQ(SelectionKind({"/a/b.zip"}), TSelectionKind::skArchive);
    EXPECT_EQ(SelectionKind({"/a/b.doc"}), TSelectionKind::skSingle);
    EXPECT_EQ(SelectionKind({"/a/b.zip", "/a/c.zip"}), TSelectionKind::skSeveral);
    for (TSelectionKind k : {TSelectionKind::skNone, TSelectionKind::skArchive, TSelectionKind::skSingle,
                             TSelectionKind::skSeveral}) {
        SCOPED_TRACE(KindName(k));
        EXPECT_EQ(KindFromMenuCount(MenuCount(k)), k);
    }
    TSelectionKind k;
    EXPECT_FALSE(KindFromName("none", k));
    EXPECT_FALSE(KindFromName("Archive", k));
}

TEST(ContextMenuRules, RenderedCommandLine) {
    EXPECT_EQ(RenderCommandLine("/Prog/morvelan", {"ES", "/a/b.zip"}),
              "\"/Prog/morvelan\" \"ES\" \"/a/b.zip\"");
    EXPECT_EQ(RenderCommandLine("morvelan", {"ASQ", "/run/l.tmp", "/p/"}),
              "\"morvelan\" \"ASQ\" \"/run/l.tmp\" \"/p/\"");
}

} // namespace
