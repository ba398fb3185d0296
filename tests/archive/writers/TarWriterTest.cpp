// The TAR writer against GNU tar, bsdtar and 7z: archives and gzipped archives
// list and extract byte-exactly with the right times, long names and folders
// included; updates keep the entries of archives made by tar byte for byte.
#include "archive/writers/TarWriter.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace mv;
using namespace mvtest;

namespace {

const std::string LongDir = "a-folder-with-a-rather-long-name-to-pass-the-field/and-another-one-below-it-too";

void MakeTree(const fs::path& dir) {
    fs::create_directories(dir / "sub" / LongDir);
    WriteFileBytes(dir / "text.txt", TextBytes(30000, 1));
    WriteFileBytes(dir / "one.bin", {0x42});
    WriteFileBytes(dir / "block.bin", RandomBytes(512, 2));
    WriteFileBytes(dir / "empty.txt", {});
    WriteFileBytes(dir / "sub" / "code.c", TextBytes(5000, 4));
    WriteFileBytes(dir / "sub" / LongDir / "file-with-a-long-name-as-well.dat", RandomBytes(3000, 5));
    for (auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file())
            fs::last_write_time(e.path(), fs::file_time_type::clock::now() - std::chrono::hours(30));
}

int Tar(const fs::path& archive, const std::vector<std::string>& specs, bool gzip = false,
        std::function<void(TTar&)> setup = {}) {
    TTar tar;
    tar.SetArchiveFile(archive.string());
    tar.SetRecurseDirs(true);
    if (gzip) tar.SetCompressMethod(TCompressMethod::cmGzipTar);
    for (const auto& s : specs) tar.FileSpecList().push_back(s);
    tar.OnReplaceFile = [](TObject*, const std::string&, const std::string&, TDateTime, TDateTime, int64_t,
                           int64_t, int, int, bool& replace) { replace = true; };
    if (setup) setup(tar);
    tar.Compress();
    return tar.LastError();
}

void ExpectSameTree(const fs::path& dir, const fs::path& out) {
    int n = 0;
    for (auto& e : fs::recursive_directory_iterator(dir)) {
        if (!e.is_regular_file()) continue;
        auto rel = fs::relative(e.path(), dir);
        EXPECT_EQ(ReadFileBytes(out / rel), ReadFileBytes(e.path())) << rel;
        auto a = mvtest::Run("stat -c %Y " + Quote(e.path().string())).output;
        auto b = mvtest::Run("stat -c %Y " + Quote((out / rel).string())).output;
        EXPECT_EQ(a, b) << rel;
        ++n;
    }
    EXPECT_GT(n, 0);
}

} // namespace

TEST(TarWriter, TarAndBsdtarExtractWhatWeWrite) {
    MV_REQUIRE_TOOL("tar");
    TempDir t;
    MakeTree(t / "src");
    fs::path arc = t / "x.tar";
    EXPECT_EQ(Tar(arc, {(t / "src" / "*").string()}), 0);
    auto bytes = ReadFileBytes(arc);
    ASSERT_EQ(bytes.size() % 512, 0u);
    // Two end blocks.
    for (size_t i = bytes.size() - 1024; i < bytes.size(); ++i) ASSERT_EQ(bytes[i], 0);
    auto r = mvtest::Run("tar -tvf " + Quote(arc.string()));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find(LongDir + "/file-with-a-long-name-as-well.dat"), std::string::npos) << r.output;
    fs::create_directories(t / "gnu");
    r = mvtest::Run("tar -xf " + Quote(arc.string()) + " -C " + Quote((t / "gnu").string()));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    ExpectSameTree(t / "src", t / "gnu");
    if (RequireTool("bsdtar")) {
        fs::create_directories(t / "bsd");
        r = mvtest::Run("bsdtar -xf " + Quote(arc.string()) + " -C " + Quote((t / "bsd").string()));
        EXPECT_EQ(r.exitCode, 0) << r.output;
        ExpectSameTree(t / "src", t / "bsd");
    }
    if (RequireTool("7z")) {
        r = mvtest::Run("7z t " + Quote(arc.string()));
        EXPECT_EQ(r.exitCode, 0) << r.output;
    }
}

TEST(TarWriter, GzippedTarReplacesTheTar) {
    MV_REQUIRE_TOOL("tar");
    TempDir t;
    MakeTree(t / "src");
    fs::path arc = t / "x.tar";
    EXPECT_EQ(Tar(arc, {(t / "src" / "*").string()}, true), 0);
    EXPECT_FALSE(fs::exists(arc));
    ASSERT_TRUE(fs::exists(t / "x.tar.gz"));
    auto r = mvtest::Run("gzip -t " + Quote((t / "x.tar.gz").string()));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    fs::create_directories(t / "out");
    r = mvtest::Run("tar -xzf " + Quote((t / "x.tar.gz").string()) + " -C " + Quote((t / "out").string()));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    ExpectSameTree(t / "src", t / "out");
    if (RequireTool("bsdtar")) {
        r = mvtest::Run("bsdtar -tf " + Quote((t / "x.tar.gz").string()));
        EXPECT_EQ(r.exitCode, 0) << r.output;
    }
}

TEST(TarWriter, UpdateKeepsEntriesOfTarArchivesByteForByte) {
    MV_REQUIRE_TOOL("tar");
    for (const char* format : {"gnu", "ustar", "pax"}) {
        TempDir t;
        MakeTree(t / "src");
        fs::path arc = t / "x.tar";
        auto r = mvtest::Run(std::string("tar --format=") + format + " -cf " + Quote(arc.string()) +
                                 " text.txt sub",
                             t / "src");
        ASSERT_EQ(r.exitCode, 0) << r.output;
        auto before = ReadFileBytes(arc);
        WriteFileBytes(t / "new" / "added.txt", TextBytes(700, 9));
        EXPECT_EQ(Tar(arc, {(t / "new" / "added.txt").string()}), 0) << format;
        auto after = ReadFileBytes(arc);
        // Everything before tar's end blocks stays as it was.
        size_t end = before.size();
        while (end >= 512 && std::all_of(before.begin() + end - 512, before.begin() + end,
                                         [](uint8_t b) { return b == 0; }))
            end -= 512;
        ASSERT_GE(after.size(), end);
        EXPECT_TRUE(std::equal(before.begin(), before.begin() + end, after.begin())) << format;
        fs::create_directories(t / "out");
        r = mvtest::Run("tar -xf " + Quote(arc.string()) + " -C " + Quote((t / "out").string()));
        EXPECT_EQ(r.exitCode, 0) << r.output;
        EXPECT_EQ(ReadFileBytes(t / "out" / "added.txt"), TextBytes(700, 9));
        EXPECT_EQ(ReadFileBytes(t / "out" / "sub" / LongDir / "file-with-a-long-name-as-well.dat"),
                  RandomBytes(3000, 5));
    }
}

TEST(TarWriter, NamesAreNeverAbsoluteNorClimbing) {
    TempDir t;
    WriteFileBytes(t / "src" / "a.txt", TextBytes(100, 1));
    fs::path arc = t / "x.tar";
    EXPECT_EQ(Tar(arc, {(t / "src" / "a.txt").string()}, false,
                  [](TTar& tar) { tar.SetStoredDirNames(TStoredDirNames::sdAbsolute); }),
              0);
    auto bytes = ReadFileBytes(arc);
    EXPECT_NE(bytes[0], '/');
    // A name renamed to climb out is refused.
    fs::path arc2 = t / "y.tar";
    Tar(arc2, {(t / "src" / "a.txt").string()}, false, [](TTar& tar) {
        tar.OnRenameCompressedFile = [](TObject*, std::string& name) { name = "..\\..\\evil.txt"; };
    });
    EXPECT_FALSE(fs::exists(arc2));
}

TEST(TarWriter, NotATarIsNeverOverwritten) {
    TempDir t;
    WriteFileText(t / "x.tar", std::string(2048, 'z'));
    WriteFileBytes(t / "a.txt", TextBytes(100, 1));
    EXPECT_EQ(Tar(t / "x.tar", {(t / "a.txt").string()}), 25259);
    EXPECT_EQ(ReadFileBytes(t / "x.tar"), std::vector<uint8_t>(2048, 'z'));
}
