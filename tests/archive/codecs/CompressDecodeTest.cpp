// The .Z decoder against files made by compress at each code width, the
// corpus, and hand-made hostile streams.
#include "archive/codecs/CompressDecode.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace mv;
using namespace mvtest;

namespace {

struct TDecoded {
    std::vector<uint8_t> bytes;
    bool complete = false;
    int error = 0;
};

TDecoded Decode(const std::vector<uint8_t>& z, size_t limit = SIZE_MAX) {
    TDecoded d;
    MemoryInput in(z);
    MemoryOutput out(limit);
    try {
        auto r = CompressDecode(in, out);
        d.complete = r.Complete;
        EXPECT_EQ(r.Written, out.bytes.size());
    } catch (const ECodecError& e) {
        d.error = e.Code();
    }
    d.bytes = out.bytes;
    return d;
}

// Packs codes least significant bit first at a fixed width after a header.
std::vector<uint8_t> Pack(uint8_t mode, const std::vector<uint32_t>& codes, int width = 9) {
    std::vector<uint8_t> z = {0x1F, 0x9D, mode};
    uint64_t acc = 0;
    int n = 0;
    for (uint32_t c : codes) {
        acc |= uint64_t(c) << n;
        n += width;
        while (n >= 8) {
            z.push_back(uint8_t(acc));
            acc >>= 8;
            n -= 8;
        }
    }
    if (n) z.push_back(uint8_t(acc));
    return z;
}

} // namespace

TEST(CompressDecode, EveryWidthFromCompress) {
    MV_REQUIRE_TOOL("compress");
    TempDir dir;
    // Mixed text and random data over 64 KiB: the table fills and resets.
    auto data = TextBytes(150000, 5);
    auto noise = RandomBytes(30000, 9);
    data.insert(data.begin() + 60000, noise.begin(), noise.end());
    WriteFileBytes(dir / "in.bin", data);
    for (int bits : {10, 12, 13, 16}) {
        SCOPED_TRACE(bits);
        auto r = mvtest::Run("compress -b " + std::to_string(bits) + " -c in.bin > out.Z", dir.Path());
        ASSERT_EQ(r.exitCode, 0) << r.output;
        auto d = Decode(ReadFileBytes(dir / "out.Z"));
        EXPECT_EQ(d.error, 0);
        EXPECT_TRUE(d.complete);
        EXPECT_TRUE(d.bytes == data);
    }
}

TEST(CompressDecode, Corpus) {
    for (const auto& e : ReadManifest()) {
        if (e.format != "compress") continue;
        SCOPED_TRACE(e.path);
        auto d = Decode(ReadFileBytes(CorpusDir() / e.path));
        EXPECT_EQ(d.error, 0);
        EXPECT_TRUE(d.complete);
        ASSERT_EQ(e.listing.size(), 1u);
        EXPECT_EQ(d.bytes.size(), e.listing[0].size);
        EXPECT_EQ(ReferenceCrc32(d.bytes.data(), d.bytes.size()), e.listing[0].crc);
    }
}

TEST(CompressDecode, BlockModeClearAndRepeat) {
    // a, b, 257 = "ab", 259 = the entry being made ("ab" + "a"), clear; the rest
    // of the group of eight codes is padding; then c, d, 257 = "cd" (table anew).
    auto z = Pack(0x90, {97, 98, 257, 259, 256, 0, 0, 0, 99, 100, 257});
    auto d = Decode(z);
    EXPECT_EQ(d.error, 0);
    EXPECT_TRUE(d.complete);
    EXPECT_EQ(std::string(d.bytes.begin(), d.bytes.end()), "abababacdcd");
}

TEST(CompressDecode, HostileStreams) {
    EXPECT_EQ(Decode(Pack(0x90, {300})).error, 25139);   // first code not a byte
    EXPECT_EQ(Decode(Pack(0xB0, {97})).error, 25138);    // mode bits 0x60
    EXPECT_EQ(Decode(Pack(0x91, {97})).error, 25134);    // widest code 17
    EXPECT_EQ(Decode(Pack(0x9F, {97})).error, 25134);    // widest code 31
    EXPECT_EQ(Decode(Pack(0x88, {97})).error, 25134);    // widest code 8
    EXPECT_EQ(Decode({0x1F, 0x9D}).error, 25139);        // no mode byte
    auto beyond = Decode(Pack(0x90, {97, 98, 400, 99})); // code past the next entry
    EXPECT_EQ(beyond.error, 0);
    EXPECT_FALSE(beyond.complete);
    EXPECT_EQ(std::string(beyond.bytes.begin(), beyond.bytes.end()), "ab");
    auto empty = Decode(Pack(0x90, {}));
    EXPECT_TRUE(empty.complete);
    EXPECT_TRUE(empty.bytes.empty());
    // An LZW bomb stops at the output's limit.
    std::vector<uint32_t> codes = {97};
    for (uint32_t c = 257; c < 511; ++c) codes.push_back(c);
    EXPECT_EQ(Decode(Pack(0x90, codes), 1000).error, 25109);
}
