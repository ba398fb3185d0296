#include "archive/codecs/Lh1Codec.h"

#include "tests/archive/codecs/LhaTestFrame.h"

#include <gtest/gtest.h>

using namespace mv;
using namespace lhatest;

namespace {

std::vector<uint8_t> Encode(const std::vector<uint8_t>& data) {
    MemoryInput in(data);
    MemoryOutput out;
    uint64_t n = Lh1Compress(in, out);
    EXPECT_EQ(n, out.bytes.size());
    return out.bytes;
}

std::vector<uint8_t> Decode(const std::vector<uint8_t>& packed, uint64_t size) {
    MemoryInput in(packed);
    MemoryOutput out(size);
    Lh1Decompress(in, out, size);
    return out.bytes;
}

std::vector<uint8_t> Cat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

TEST(Lh1Codec, RoundTrips) {
    struct Case {
        const char* what;
        std::vector<uint8_t> data;
    } cases[] = {
        {"70 equal bytes", std::vector<uint8_t>(70, 'a')},
        {"leading blanks", Cat(std::vector<uint8_t>(200, ' '), mvtest::TextBytes(3000, 1))},
        {"5 KB text", mvtest::TextBytes(5000, 2)},
        {"300 KB mixed (tree rebuilds)", MixedBytes(300000, 3)},
        {"random", mvtest::RandomBytes(20000, 4)},
        {"one byte", {0x42}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto packed = Encode(c.data);
        EXPECT_EQ(Decode(packed, c.data.size()), c.data);
        EXPECT_EQ(Crc16(Decode(packed, c.data.size())), Crc16(c.data));
    }
}

TEST(Lh1Codec, SeventyEqualBytesAreOneLiteralAndTwoMatches) {
    // One literal plus two matches at distance 0 packs into a handful of bytes.
    auto packed = Encode(std::vector<uint8_t>(70, 'a'));
    EXPECT_LE(packed.size(), 8u);
}

TEST(Lh1Codec, EmptyInputWritesNothing) {
    EXPECT_TRUE(Encode({}).empty());
    EXPECT_TRUE(Decode({}, 0).empty());
}

TEST(Lh1Codec, CorpusMembersDecode) {
    for (const char* name : {"lha/lharc113_lh1.lzh", "lha/lhaos2_h0_lh1.lzh"}) {
        SCOPED_TRACE(name);
        auto path = mvtest::CorpusDir() / name;
        if (!std::filesystem::exists(path)) GTEST_SKIP() << "corpus missing";
        TMember m = FirstMember(mvtest::ReadFileBytes(path));
        ASSERT_EQ(m.method, "-lh1-");
        auto out = Decode(m.packed, m.size);
        ASSERT_EQ(out.size(), m.size);
        EXPECT_EQ(Crc16(out), m.crc);
    }
}

TEST(Lh1Codec, OurStreamsPassPeerTests) {
    MV_REQUIRE_TOOL("lhasa");
    mvtest::TempDir dir;
    auto data = Cat(mvtest::TextBytes(40000, 5), MixedBytes(60000, 6));
    auto archive = WrapLevel0("-lh1-", "data.bin", Encode(data), data);
    mvtest::WriteFileBytes(dir / "lh1.lzh", archive);
    auto r = mvtest::Run("lhasa t lh1.lzh", dir.Path());
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(r.output.find("CRC"), std::string::npos) << r.output;
}

TEST(Lh1Codec, TruncatedStreamWithHugeDeclaredSizeStops) {
    auto data = mvtest::TextBytes(30000, 7);
    auto packed = Encode(data);
    packed.resize(packed.size() / 2);
    MemoryInput in(packed);
    MemoryOutput out;
    int code = 0;
    try {
        Lh1Decompress(in, out, uint64_t(1) << 32);
    } catch (const ECodecError& e) {
        code = e.Code();
    }
    EXPECT_EQ(code, 25236);
    EXPECT_LT(out.bytes.size(), 100000u);
}
