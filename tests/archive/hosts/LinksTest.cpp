// Symbolic links are never created on extraction nor followed when adding:
// each one met is reported (26800) and counted, never passed over silently,
// and everything else goes on as usual.
#include "archive/readers/UnTar.h"
#include "archive/readers/UnZip.h"
#include "archive/writers/GZipWriter.h"
#include "archive/writers/TarWriter.h"
#include "archive/writers/ZipWriter.h"
#include "tests/archive/lister/ListerTestSupport.h"
#include "tests/archive/readers/ReaderTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <set>

using namespace mv;
namespace fs = std::filesystem;

namespace {

// A folder with two files, a link to one of them, and a link to a folder.
void MakeLinkedTree(const fs::path& dir) {
    mvtest::WriteFileBytes(dir / "a.txt", mvtest::TextBytes(500, 1));
    mvtest::WriteFileBytes(dir / "sub" / "b.txt", mvtest::TextBytes(700, 2));
    fs::create_symlink("a.txt", dir / "link.txt");
    fs::create_directory_symlink("sub", dir / "sublink");
}

int Count(const std::vector<int>& v, int code) {
    return int(std::count(v.begin(), v.end(), code));
}

} // namespace

// Peers store links as links: our reader makes neither of them, reports each
// one and extracts the rest.
TEST(Links, StoredLinksAreReportedNotCreated) {
    mvtest::TempDir t;
    MakeLinkedTree(t / "src");
    struct Case {
        std::string tool, archive, command; // command run in src; %a the archive
    };
    const std::vector<Case> cases = {
        {"zip", "z.zip", "zip -q -r -y %a ."},
        {"tar", "t.tar", "tar -cf %a a.txt sub link.txt sublink"},
        {"bsdtar", "b.tar", "bsdtar -cf %a a.txt sub link.txt sublink"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        if (!mvtest::RequireTool(c.tool)) continue;
        std::string cmd = c.command;
        cmd.replace(cmd.find("%a"), 2, mvtest::Quote((t / c.archive).string()));
        auto r = mvtest::Run(cmd, t / "src");
        ASSERT_EQ(r.exitCode, 0) << r.output;
        const fs::path out = t / ("out-" + c.archive);
        auto reader = NewReaderFor((t / c.archive).string());
        ASSERT_TRUE(reader);
        readertest::Outcome o = readertest::Run(*reader, out);
        EXPECT_EQ(Count(o.errors, arcerr::Discarded), 2);
        EXPECT_EQ(o.errors.size(), 2u);
        EXPECT_EQ(reader->LinksSkipped(), 2);
        EXPECT_EQ(reader->FailedCount(), 0);
        EXPECT_FALSE(fs::is_symlink(out / "link.txt"));
        EXPECT_FALSE(fs::exists(out / "link.txt"));
        EXPECT_FALSE(fs::exists(fs::symlink_status(out / "sublink")));
        auto tree = readertest::Tree(out);
        EXPECT_EQ(tree.size(), 2u);
        EXPECT_EQ(tree["a.txt"], mvtest::ReadFileBytes(t / "src" / "a.txt"));
        EXPECT_EQ(tree["sub/b.txt"], mvtest::ReadFileBytes(t / "src" / "sub" / "b.txt"));
        // A spec that leaves the links out hears nothing of them.
        const fs::path only = t / ("only-" + c.archive);
        readertest::Outcome o2 = readertest::Run(*reader, only, {.password = {}, .spec = {"a.txt"}});
        EXPECT_TRUE(o2.errors.empty());
        EXPECT_EQ(reader->LinksSkipped(), 0);
        EXPECT_TRUE(fs::exists(only / "a.txt"));
    }
}

// Our writers' search meets the links: each is reported and counted, the
// archive holds the regular files only.
TEST(Links, WritersReportLinksTheyMeet) {
    mvtest::TempDir t;
    MakeLinkedTree(t / "src");
    auto run = [&](TCompBase& w, const fs::path& archive, bool recurse) {
        std::vector<std::string> reported;
        w.SetArchiveFile(archive.string());
        w.SetRecurseDirs(recurse);
        w.FileSpecList().push_back((t / "src" / "*").string());
        w.OnError = [&](TObject*, const std::string& fn, const std::string&, const std::string&, int code) {
            if (code == arcerr::Discarded) reported.push_back(fs::path(fn).filename().string());
        };
        w.Compress();
        std::sort(reported.begin(), reported.end());
        EXPECT_EQ(reported, (std::vector<std::string>{"link.txt", "sublink"}));
        EXPECT_EQ(w.LinksSkipped(), 2);
    };
    {
        TZip zip;
        run(zip, t / "our.zip", true);
        EXPECT_EQ(zip.CompressedCount(), 2);
        std::set<std::string> names;
        for (const auto& e : mvtest::ListArchive((t / "our.zip").string()).entries) names.insert(e.name);
        EXPECT_EQ(names, (std::set<std::string>{"a.txt", "sub/b.txt"}));
    }
    {
        TTar tar;
        run(tar, t / "our.tar", true);
        EXPECT_EQ(tar.CompressedCount(), 2);
    }
    {
        TGZip gz;
        run(gz, t / "our.gz", false);
        EXPECT_EQ(gz.CompressedCount(), 1); // a.txt alone: gzip takes no folders
    }
}
