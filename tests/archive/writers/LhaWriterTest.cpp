// The LHA writer against lhasa, lha and 7z: what we write tests and extracts
// byte-exactly (folders, empty, incompressible and small files, each method);
// adding to archives that lha made, level 0, 1 and 2, keeps their entries byte
// for byte.
#include "archive/writers/LhaWriter.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace mv;
using namespace mvtest;

namespace {

void MakeTree(const fs::path& dir) {
    WriteFileBytes(dir / "text.txt", TextBytes(60000, 1));
    WriteFileBytes(dir / "random.bin", RandomBytes(20000, 2));
    WriteFileBytes(dir / "ten.bin", TextBytes(10, 3));
    WriteFileBytes(dir / "empty.txt", {});
    WriteFileBytes(dir / "old.zip", TextBytes(3000, 6));
    WriteFileBytes(dir / "sub" / "deeper" / "code.c", TextBytes(9000, 4));
}

int Lha(const fs::path& archive, const std::vector<std::string>& specs,
        TCompressMethod method = TCompressMethod::cmFrozen5, std::function<void(TLha&)> setup = {}) {
    TLha lha;
    lha.SetArchiveFile(archive.string());
    lha.SetRecurseDirs(true);
    lha.SetCompressMethod(method);
    for (const auto& s : specs) lha.FileSpecList().push_back(s);
    lha.OnReplaceFile = [](TObject*, const std::string&, const std::string&, TDateTime, TDateTime, int64_t,
                           int64_t, int, int, bool& replace) { replace = true; };
    if (setup) setup(lha);
    lha.Compress();
    return lha.LastError();
}

void ExpectSameTree(const fs::path& dir, const fs::path& out) {
    int n = 0;
    for (auto& e : fs::recursive_directory_iterator(dir)) {
        if (!e.is_regular_file()) continue;
        auto rel = fs::relative(e.path(), dir);
        EXPECT_EQ(ReadFileBytes(out / rel), ReadFileBytes(e.path())) << rel;
        ++n;
    }
    EXPECT_GT(n, 0);
}

// The method letter of the entry named name (level-0 headers of our own).
char MethodOf(const std::vector<uint8_t>& a, const std::string& name) {
    size_t p = 0;
    while (p + 24 <= a.size() && a[p] != 0) {
        size_t n = a[p + 21];
        std::string stored(reinterpret_cast<const char*>(a.data() + p + 22), n);
        uint32_t packed = a[p + 7] | a[p + 8] << 8 | a[p + 9] << 16 | static_cast<uint32_t>(a[p + 10]) << 24;
        if (stored == name) return static_cast<char>(a[p + 5]);
        p += 2 + a[p] + packed;
    }
    return 0;
}

} // namespace

TEST(LhaWriter, PeersTestAndExtractEachMethod) {
    MV_REQUIRE_TOOL("lhasa");
    for (auto method : {TCompressMethod::cmFrozen5, TCompressMethod::cmFrozen1, TCompressMethod::cmStore}) {
        TempDir t;
        MakeTree(t / "src");
        fs::path arc = t / "x.lzh";
        EXPECT_EQ(Lha(arc, {(t / "src" / "*").string()}, method), 0);
        auto a = ReadFileBytes(arc);
        EXPECT_EQ(MethodOf(a, "empty.txt"), '0');
        EXPECT_EQ(MethodOf(a, "ten.bin"), '0');
        EXPECT_EQ(MethodOf(a, "random.bin"), '0');
        EXPECT_EQ(MethodOf(a, "old.zip"), '0');
        char want = method == TCompressMethod::cmFrozen5   ? '5'
                    : method == TCompressMethod::cmFrozen1 ? '1'
                                                           : '0';
        EXPECT_EQ(MethodOf(a, "text.txt"), want);
        EXPECT_EQ(MethodOf(a, "sub\\deeper\\code.c"), want);
        auto r = mvtest::Run("lhasa t " + Quote(arc.string()));
        EXPECT_EQ(r.exitCode, 0) << r.output;
        fs::create_directories(t / "out");
        r = mvtest::Run("lhasa xq " + Quote(arc.string()), t / "out");
        EXPECT_EQ(r.exitCode, 0) << r.output;
        ExpectSameTree(t / "src", t / "out");
        if (RequireTool("lha")) {
            r = mvtest::Run("lha t " + Quote(arc.string()));
            EXPECT_EQ(r.exitCode, 0) << r.output;
        }
        if (RequireTool("7z") && method != TCompressMethod::cmFrozen1) {
            r = mvtest::Run("7z t " + Quote(arc.string()));
            EXPECT_EQ(r.exitCode, 0) << r.output;
        }
    }
}

TEST(LhaWriter, AddingToArchivesOfEveryLevelKeepsTheirEntries) {
    MV_REQUIRE_TOOL("lha");
    MV_REQUIRE_TOOL("lhasa");
    for (const char* level : {"0", "1", "2"}) {
        TempDir t;
        MakeTree(t / "src");
        fs::path arc = t / "x.lzh";
        auto r = mvtest::Run(std::string("lha c") + level + "q " + Quote(arc.string()) + " text.txt sub",
                             t / "src");
        ASSERT_EQ(r.exitCode, 0) << r.output;
        auto before = ReadFileBytes(arc);
        ASSERT_FALSE(before.empty());
        WriteFileBytes(t / "new" / "added.txt", TextBytes(5000, 8));
        EXPECT_EQ(Lha(arc, {(t / "new" / "added.txt").string()}), 0) << level;
        auto after = ReadFileBytes(arc);
        // The old entries come first, unchanged (their end mark is replaced).
        ASSERT_GT(after.size(), before.size());
        EXPECT_TRUE(std::equal(before.begin(), before.end() - 1, after.begin())) << level;
        r = mvtest::Run("lhasa t " + Quote(arc.string()));
        EXPECT_EQ(r.exitCode, 0) << level << r.output;
        fs::create_directories(t / "out");
        r = mvtest::Run("lhasa xq " + Quote(arc.string()), t / "out");
        EXPECT_EQ(r.exitCode, 0) << r.output;
        EXPECT_EQ(ReadFileBytes(t / "out" / "added.txt"), TextBytes(5000, 8));
        EXPECT_EQ(ReadFileBytes(t / "out" / "text.txt"), TextBytes(60000, 1));
        EXPECT_EQ(ReadFileBytes(t / "out" / "sub" / "deeper" / "code.c"), TextBytes(9000, 4));
    }
}

TEST(LhaWriter, DeleteAndReplaceKeepTheRest) {
    TempDir t;
    MakeTree(t / "src");
    fs::path arc = t / "x.lha";
    ASSERT_EQ(Lha(arc, {(t / "src" / "*").string()}), 0);
    WriteFileBytes(t / "src" / "text.txt", TextBytes(61000, 9));
    ASSERT_EQ(Lha(arc, {(t / "src" / "text.txt").string()}), 0);
    auto a = ReadFileBytes(arc);
    EXPECT_EQ(MethodOf(a, "text.txt"), '5');
    TLha del;
    del.SetArchiveFile(arc.string());
    del.SetSwitch(TSwitch::swDelete);
    del.FileSpecList().push_back("random.bin");
    EXPECT_EQ(del.Compress(), 1);
    a = ReadFileBytes(arc);
    EXPECT_EQ(MethodOf(a, "random.bin"), 0);
    if (RequireTool("lhasa")) {
        fs::create_directories(t / "out");
        auto r = mvtest::Run("lhasa xq " + Quote(arc.string()), t / "out");
        EXPECT_EQ(r.exitCode, 0) << r.output;
        EXPECT_EQ(ReadFileBytes(t / "out" / "text.txt"), TextBytes(61000, 9));
        EXPECT_FALSE(fs::exists(t / "out" / "random.bin"));
    }
}

TEST(LhaWriter, HostileNamesAndDamagedArchives) {
    TempDir t;
    WriteFileBytes(t / "a.txt", TextBytes(100, 1));
    Lha(t / "y.lzh", {(t / "a.txt").string()}, TCompressMethod::cmFrozen5,
        [](TLha& l) { l.OnRenameCompressedFile = [](TObject*, std::string& n) { n = "..\\evil.txt"; }; });
    EXPECT_FALSE(fs::exists(t / "y.lzh"));
    Lha(t / "z.lzh", {(t / "a.txt").string()}, TCompressMethod::cmFrozen5, [](TLha& l) {
        l.OnRenameCompressedFile = [](TObject*, std::string& n) { n = "\\\\abs\\.\\a.txt"; };
    });
    auto a = ReadFileBytes(t / "z.lzh");
    EXPECT_NE(MethodOf(a, "abs\\a.txt"), 0);
    // Something that is not an LHA archive stays as it is.
    std::vector<uint8_t> junk(500, 0x55);
    WriteFileBytes(t / "j.lzh", junk);
    EXPECT_NE(Lha(t / "j.lzh", {(t / "a.txt").string()}), 0);
    EXPECT_EQ(ReadFileBytes(t / "j.lzh"), junk);
}
