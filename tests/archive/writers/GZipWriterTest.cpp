// The GZip writer against gzip and 7z: every file written passes gzip -t and
// 7z t, gives back the bytes, keeps the bare name and the modification time.
#include "archive/writers/GZipWriter.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace mv;
using namespace mvtest;

namespace {

int GZip(const fs::path& archive, const std::vector<std::string>& specs,
         std::function<void(TGZip&)> setup = {}) {
    TGZip gz;
    gz.SetArchiveFile(archive.string());
    for (const auto& s : specs) gz.FileSpecList().push_back(s);
    if (setup) setup(gz);
    gz.Compress();
    return gz.LastError();
}

} // namespace

TEST(GZipWriter, PeersReadEveryKindOfFile) {
    MV_REQUIRE_TOOL("gzip");
    TempDir t;
    fs::create_directories(t / "src");
    fs::create_directories(t / "out");
    const std::vector<std::pair<std::string, std::vector<uint8_t>>> files = {
        {"text.txt", TextBytes(120000, 1)},
        {"random.bin", RandomBytes(70000, 2)},
        {"one.bin", {0x41}},
        {"empty.txt", {}},
    };
    for (const auto& [name, data] : files) {
        WriteFileBytes(t / "src" / name, data);
        fs::last_write_time(t / "src" / name, fs::file_time_type::clock::now() - std::chrono::hours(48));
    }
    EXPECT_EQ(GZip(t / "out" / "x.gz", {(t / "src" / "*").string()}), 0);
    for (const auto& [name, data] : files) {
        fs::path gz = t / "out" / (name + ".gz");
        ASSERT_TRUE(fs::exists(gz)) << name;
        auto r = mvtest::Run("gzip -t " + Quote(gz.string()));
        EXPECT_EQ(r.exitCode, 0) << name << r.output;
        r = mvtest::Run("gzip -dc " + Quote(gz.string()) + " > " + Quote((t / "back").string()));
        EXPECT_EQ(r.exitCode, 0) << r.output;
        EXPECT_EQ(ReadFileBytes(t / "back"), data) << name;
        auto bytes = ReadFileBytes(gz);
        ASSERT_GT(bytes.size(), 18u);
        EXPECT_EQ(bytes[2], 8) << "always method 8";
        // The bare name, and the time in Unix seconds.
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data() + 10)), name);
        auto st = mvtest::Run("stat -c %Y " + Quote((t / "src" / name).string()));
        uint32_t mtime = bytes[4] | bytes[5] << 8 | bytes[6] << 16 | static_cast<uint32_t>(bytes[7]) << 24;
        EXPECT_EQ(std::to_string(mtime) + "\n", st.output);
        if (RequireTool("7z")) {
            r = mvtest::Run("7z t " + Quote(gz.string()));
            EXPECT_EQ(r.exitCode, 0) << name << r.output;
        }
    }
}

TEST(GZipWriter, SkipAnswerKeepsTheOldFileAndDeleteIsRefused) {
    TempDir t;
    WriteFileBytes(t / "a.txt", TextBytes(1000, 3));
    WriteFileText(t / "a.txt.gz", "old");
    EXPECT_EQ(GZip(t / "a.gz", {(t / "a.txt").string()},
                   [](TGZip& g) {
                       g.OnFileExists = [](TObject*, const std::string&, TDateTime, TOverwriteMode& m) {
                           m = TOverwriteMode::omSkip;
                       };
                   }),
              0);
    EXPECT_EQ(ReadFileBytes(t / "a.txt.gz"), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(GZip(t / "a.gz", {(t / "a.txt").string()}, [](TGZip& g) { g.SetSwitch(TSwitch::swDelete); }),
              26859);
    // Moving: the source goes once its member is written.
    EXPECT_EQ(GZip(t / "a.gz", {(t / "a.txt").string()}, [](TGZip& g) { g.SetSwitch(TSwitch::swMove); }), 0);
    EXPECT_FALSE(fs::exists(t / "a.txt"));
    EXPECT_GT(fs::file_size(t / "a.txt.gz"), 20u);
}
