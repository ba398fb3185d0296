// The JAR writer on archives made by Java tools (data descriptors, the 0xCAFE
// extra field of the first entry, folder entries, an archive comment): deleting
// entries leaves an archive every peer accepts; a read-only archive is only
// written when the handler allows it.
#include "archive/writers/ZipWriter.h"

#include "resources/ArcErrorNumbers.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

using namespace mv;
using namespace mvtest;

namespace {

int DeleteFromJar(const fs::path& archive, const std::vector<std::string>& specs,
                  std::function<void(TJar&)> setup = {}) {
    TJar jar;
    jar.SetArchiveFile(archive.string());
    jar.SetSwitch(TSwitch::swDelete);
    for (const auto& s : specs) jar.FileSpecList().push_back(s);
    if (setup) setup(jar);
    jar.Compress();
    return jar.LastError();
}

// The names unzip lists, one a line.
std::set<std::string> Names(const fs::path& archive) {
    std::set<std::string> out;
    std::istringstream in(mvtest::Run("unzip -Z1 " + Quote(archive.string())).output);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) out.insert(line);
    return out;
}

void ExpectPeersAccept(const fs::path& archive) {
    const std::string a = Quote(archive.string());
    auto r = mvtest::Run("unzip -t " + a);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    r = mvtest::Run("7z t " + a);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    if (HaveTool("jar")) {
        r = mvtest::Run("jar tf " + a);
        EXPECT_EQ(r.exitCode, 0) << r.output;
    }
}

// A copy of a file that this user may write.
fs::path WritableCopy(const fs::path& from, const fs::path& to) {
    fs::copy_file(from, to);
    fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write);
    return to;
}

} // namespace

TEST(JarWriter, DeletesFromJarsMadeByJavaTools) {
    MV_REQUIRE_TOOL("unzip");
    MV_REQUIRE_TOOL("7z");
    TempDir t;
    std::vector<fs::path> jars = {CorpusDir() / "jar" / "jar_tool_manifest.jar"};
    if (HaveTool("jar")) {
        // The jar tool's own layout: folder entries, the 0xCAFE marker, descriptors.
        WriteFileBytes(t / "src" / "pkg" / "a.txt", TextBytes(3000, 1));
        WriteFileBytes(t / "src" / "pkg" / "b.bin", RandomBytes(5000, 2));
        ASSERT_EQ(mvtest::Run("jar cf ../made.jar .", t / "src").exitCode, 0);
        jars.push_back(t / "made.jar");
    }
    for (const fs::path& original : jars) {
        const auto all = Names(original);
        ASSERT_GE(all.size(), 2u);
        for (const std::string& victim : all) {
            if (victim.back() == '/') continue;
            SCOPED_TRACE(original.filename().string() + " less " + victim);
            const fs::path jar = WritableCopy(original, t / "work.jar");
            EXPECT_EQ(DeleteFromJar(jar, {victim}), 0);
            auto expected = all;
            expected.erase(victim);
            EXPECT_EQ(Names(jar), expected);
            ExpectPeersAccept(jar);
            fs::remove(jar);
        }
    }
    // The folder entry of a JAR that holds nothing else.
    const fs::path dirOnly = WritableCopy(CorpusDir() / "jar" / "dir_only.jar", t / "dir.jar");
    EXPECT_EQ(DeleteFromJar(dirOnly, {"somedir/"}), 0);
    // Only the end record is left.
    EXPECT_EQ(fs::file_size(dirOnly), 22u);
    auto r = mvtest::Run("7z t " + Quote(dirOnly.string()));
    EXPECT_EQ(r.exitCode, 0) << r.output;
}

TEST(JarWriter, AReadOnlyJarIsWrittenOnlyWhenTheHandlerAllows) {
    MV_REQUIRE_TOOL("unzip");
    MV_REQUIRE_TOOL("7z");
    TempDir t;
    const fs::path jar = t / "ro.jar";
    fs::copy_file(CorpusDir() / "jar" / "jar_tool_manifest.jar", jar);
    fs::permissions(jar, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const auto before = ReadFileBytes(jar);
    // No handler, or one that declines: the archive stays as it was.
    EXPECT_EQ(DeleteFromJar(jar, {"tmp.class"}), arcerr::WriteError);
    EXPECT_EQ(DeleteFromJar(jar, {"tmp.class"},
                            [](TJar& w) {
                                w.OnNonWriteableArchive = [](TObject*, const std::string&, bool& write) {
                                    write = false;
                                };
                            }),
              arcerr::WriteError);
    EXPECT_EQ(ReadFileBytes(jar), before);
    int asked = 0;
    EXPECT_EQ(DeleteFromJar(jar, {"tmp.class"},
                            [&](TJar& w) {
                                w.OnNonWriteableArchive = [&](TObject*, const std::string& name, bool& write) {
                                    EXPECT_EQ(name, jar.string());
                                    ++asked;
                                    write = true;
                                };
                            }),
              0);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(Names(jar), (std::set<std::string>{"META-INF/MANIFEST.MF"}));
    ExpectPeersAccept(jar);
}
