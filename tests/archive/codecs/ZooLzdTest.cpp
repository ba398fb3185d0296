// ZOO's LZW decoder: streams from the small encoder in ZooLzdEncoder.h (up to
// 13-bit codes and a full-table clear), the end code, undefined codes, input
// that ends early and the declared-size limit.
#include "archive/codecs/ZooLzd.h"
#include "tests/archive/codecs/ZooLzdEncoder.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace mv;

namespace {
std::vector<uint8_t> Decode(const std::vector<uint8_t>& in, uint64_t limit = 1 << 22) {
    MemoryInput src(in);
    MemoryOutput dst;
    ZooLzdDecode(src, dst, limit);
    return dst.bytes;
}
} // namespace

TEST(ZooLzd, RoundTripsThroughAllWidths) {
    auto runs = std::vector<uint8_t>(5000, 'r');
    const std::vector<std::vector<uint8_t>> inputs = {{},
                                                      {'x'},
                                                      mvtest::TextBytes(1000, 1),
                                                      mvtest::TextBytes(120000, 2),
                                                      runs,
                                                      mvtest::RandomBytes(40000, 3)};
    for (const auto& d : inputs) {
        SCOPED_TRACE(d.size());
        EXPECT_EQ(Decode(zootest::LzdEncode(d)), d);
    }
}

TEST(ZooLzd, EndsAndRejects) {
    // The end code stops decoding: bytes after it are ignored.
    auto packed = zootest::LzdEncode({'a', 'b'});
    packed.insert(packed.end(), {0xFF, 0xFF, 0xFF});
    EXPECT_EQ(Decode(packed), (std::vector<uint8_t>{'a', 'b'}));
    // clear, 'a', then code 300 (the next free code is 258).
    std::vector<uint8_t> bad;
    uint64_t acc = 256 | uint64_t('a') << 9 | uint64_t(300) << 18;
    for (int i = 0; i < 4; ++i) bad.push_back(uint8_t(acc >> (8 * i)));
    try {
        Decode(bad);
        FAIL();
    } catch (const ECodecError& e) {
        EXPECT_EQ(e.Code(), 25139);
    }
    // Input that ends before the end code ends the data; the limit is kept.
    const auto text = mvtest::TextBytes(20000, 5);
    auto cut = zootest::LzdEncode(text);
    cut.resize(cut.size() / 2);
    const auto part = Decode(cut);
    EXPECT_LT(part.size(), text.size());
    EXPECT_TRUE(std::equal(part.begin(), part.end(), text.begin()));
    EXPECT_EQ(Decode(zootest::LzdEncode(text), 777).size(), 777u);
}
