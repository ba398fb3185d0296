// Compression on several threads through the zip writer component: the same
// archive bytes with 1, 2 or 8 threads, and unzip accepts them.
#include "archive/codecs/DeflatePieces.h"
#include "zipwriter/ZipEngine.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace mv;
using namespace mvtest;

namespace {

struct TThreads {
    explicit TThreads(unsigned n) { OverrideCompressionThreads(n); }
    ~TThreads() { OverrideCompressionThreads(0); }
};

} // namespace

TEST(ZipEngineThreads, SameBytesForAnyThreadCount) {
    MV_REQUIRE_TOOL("unzip");
    TempDir t;
    fs::create_directories(t / "src");
    std::vector<uint8_t> big;
    for (uint32_t seed = 1; big.size() < 3 * kDeflatePieceSize; ++seed) {
        auto part = seed % 4 == 0 ? RandomBytes(200000, seed) : TextBytes(300000, seed);
        big.insert(big.end(), part.begin(), part.end());
    }
    WriteFileBytes(t / "src" / "big.txt", big);
    WriteFileBytes(t / "src" / "small.txt", TextBytes(5000, 9));
    const auto when = fs::file_time_type::clock::now() - std::chrono::hours(72);
    fs::last_write_time(t / "src" / "big.txt", when);
    fs::last_write_time(t / "src" / "small.txt", when);
    std::vector<uint8_t> first;
    for (unsigned threads : {1u, 2u, 8u}) {
        SCOPED_TRACE(threads);
        TThreads use(threads);
        const fs::path archive = t / ("e" + std::to_string(threads) + ".zip");
        TZipEngine z;
        z.SetZipName(archive.string());
        z.SetRootDir((t / "src").string());
        z.SetFilesList({(t / "src" / "big.txt").string(), (t / "src" / "small.txt").string()});
        EXPECT_EQ(z.Zip(), 2);
        auto bytes = ReadFileBytes(archive);
        if (first.empty()) {
            first = bytes;
            auto r = mvtest::Run("unzip -t " + Quote(archive.string()));
            EXPECT_EQ(r.exitCode, 0) << r.output;
        } else {
            EXPECT_TRUE(bytes == first);
        }
    }
}
