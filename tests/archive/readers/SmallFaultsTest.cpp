// Smaller reader faults found by outside testing: a "charmap" header gives the
// alphabet of a uuencoded file; testing a tar with hard links passes.
#include "archive/readers/UnUue.h"

#include "tests/archive/readers/ReaderTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace mv;
namespace fs = std::filesystem;

namespace {

// Encodes data in lines of up to 45 bytes with the 64 characters of alphabet.
std::string Encode(const std::vector<uint8_t>& data, const std::string& alphabet) {
    std::string out;
    for (size_t at = 0; at < data.size(); at += 45) {
        const size_t n = std::min<size_t>(45, data.size() - at);
        out += alphabet[n];
        for (size_t i = 0; i < n; i += 3) {
            uint8_t b[3] = {0, 0, 0};
            for (size_t k = 0; k < 3 && i + k < n; ++k) b[k] = data[at + i + k];
            out += alphabet[b[0] >> 2];
            out += alphabet[((b[0] & 3) << 4) | (b[1] >> 4)];
            out += alphabet[((b[1] & 15) << 2) | (b[2] >> 6)];
            out += alphabet[b[2] & 63];
        }
        out += "\n";
    }
    return out + alphabet[0] + "\n";
}

} // namespace

TEST(UueCharmap, TheCharmapHeaderGivesTheAlphabet) {
    // An alphabet of its own: neither the UU nor the XX one.
    const std::string alphabet = "zyxwvutsrqponmlkjihgfedcbaZYXWVUTSRQPONMLKJIHGFEDCBA9876543210-+";
    const auto data = mvtest::RandomBytes(1000, 9);
    for (const std::string& header : {"charmap " + alphabet + "\n",
                                     "charmap\n" + alphabet.substr(0, 32) + "\n" + alphabet.substr(32) + "\n"}) {
        SCOPED_TRACE(header);
        mvtest::TempDir dir;
        mvtest::WriteFileText(dir / "c.uue", "some text\n" + header + "begin 644 c.bin\n" + Encode(data, alphabet) + "end\n");
        TUUDecode reader;
        readertest::Outcome o = readertest::Extract(reader, dir / "c.uue", dir / "out",
                                                    {.password = {}, .ends = false, .raisedAsError = true});
        EXPECT_TRUE(o.errors.empty()) << (o.errors.empty() ? 0 : o.errors.front());
        EXPECT_EQ(mvtest::ReadFileBytes(dir / "out" / "c.bin"), data);
    }
}

// Testing a tar with hard links passes as extracting it does.
TEST(TarHardLinks, TestPassesAsExtractDoes) {
    MV_REQUIRE_TOOL("tar");
    mvtest::TempDir dir;
    mvtest::WriteFileText(dir / "src" / "a.txt", "hello\n");
    mvtest::WriteFileText(dir / "src" / "d" / "c.txt", "inside\n");
    fs::create_hard_link(dir / "src" / "a.txt", dir / "src" / "b.txt");
    fs::create_hard_link(dir / "src" / "d" / "c.txt", dir / "src" / "d" / "e.txt");
    for (const std::string format : {"gnu", "ustar", "pax"}) {
        SCOPED_TRACE(format);
        const std::string tar = (dir / ("h_" + format + ".tar")).string();
        ASSERT_EQ(mvtest::Run("tar cf " + mvtest::Quote(tar) + " --format=" + format + " a.txt b.txt d", dir / "src")
                      .exitCode,
                  0);
        auto r = mvtest::Run(mvtest::Quote(mvtest::MvarcPath()) + " test " + mvtest::Quote(tar));
        EXPECT_EQ(r.exitCode, 0) << r.output;
        EXPECT_NE(r.output.find("tested 4 members"), std::string::npos) << r.output;
        const fs::path out = dir / ("out_" + format);
        r = mvtest::Run(mvtest::Quote(mvtest::MvarcPath()) + " extract " + mvtest::Quote(tar) + " " +
                        mvtest::Quote(out.string()));
        EXPECT_EQ(r.exitCode, 0) << r.output;
        EXPECT_EQ(mvtest::ReadFileBytes(out / "b.txt"), mvtest::ReadFileBytes(dir / "src" / "a.txt"));
        EXPECT_EQ(mvtest::ReadFileBytes(out / "d" / "e.txt"), mvtest::ReadFileBytes(dir / "src" / "d" / "c.txt"));
    }
}

// The progress totals of a RAR or ACE set count the members of every volume.
TEST(VolumeTotals, CountEveryVolume) {
    for (const std::string first : {"rar/rar3_vols.part1.rar", "ace/split.ace"}) {
        SCOPED_TRACE(first);
        mvtest::TempDir t;
        for (const auto& e : fs::directory_iterator(mvtest::CorpusDir() / fs::path(first).parent_path())) {
            const std::string name = e.path().filename().string();
            if (name.rfind(fs::path(first).stem().stem().string(), 0) == 0 ||
                name.rfind(fs::path(first).stem().string(), 0) == 0)
                fs::copy_file(e.path(), t / name);
        }
        const fs::path archive = t / fs::path(first).filename();
        auto reader = mv::NewReaderFor(archive.string());
        ASSERT_TRUE(reader);
        readertest::Outcome o = readertest::Run(*reader, t / "out", {.password = {}, .raisedAsError = true});
        EXPECT_TRUE(o.errors.empty());
        int64_t sizes = 0;
        int files = 0;
        for (const auto& [name, bytes] : readertest::Tree(t / "out")) sizes += int64_t(bytes.size()), ++files;
        EXPECT_GE(files, 2);
        EXPECT_EQ(reader->TotalUnpacked(), sizes);
    }
}
