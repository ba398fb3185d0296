// The ARC decoders on hand-made streams: the run-length step, the squeezed tree
// checks, crunched data from a small encoder in this file (both hashes), the
// dynamic LZW width byte, undefined codes and the declared-size limit.
#include "archive/codecs/ArcDecode.h"
#include "tests/archive/codecs/ArcCrunchEncoder.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace mv;

namespace {

std::vector<uint8_t> Decode(uint8_t method, const std::vector<uint8_t>& in, uint64_t limit = 1 << 20) {
    MemoryInput src(in);
    MemoryOutput dst;
    ArcDecode(method, src, dst, limit);
    return dst.bytes;
}

int ErrorOf(uint8_t method, const std::vector<uint8_t>& in) {
    try {
        Decode(method, in);
    } catch (const ECodecError& e) {
        return e.Code();
    }
    return 0;
}

} // namespace

TEST(ArcDecode, RunLengthStep) {
    // 0x90 0 is one literal 0x90 and leaves the last byte as it was; 0x90 n repeats it n - 1 times.
    EXPECT_EQ(Decode(3, {'a', 0x90, 0x00, 0x90, 4, 'b'}),
              (std::vector<uint8_t>{'a', 0x90, 'a', 'a', 'a', 'b'}));
    EXPECT_EQ(Decode(3, {'x', 0x90, 1}), (std::vector<uint8_t>{'x'}));
    EXPECT_EQ(Decode(2, {1, 0x90, 0}), (std::vector<uint8_t>{1, 0x90, 0}));
    EXPECT_EQ(Decode(3, {'z', 0x90, 255}).size(), 255u);
}

TEST(ArcDecode, SqueezedTrees) {
    EXPECT_TRUE(Decode(4, {0, 0, 0xFF, 0xFF}).empty()); // no nodes: no output
    // One node: bit 0 is 'A', bit 1 ends the data. Bits 0,0,0,1 -> "AAA".
    const std::vector<uint8_t> one = {1, 0, uint8_t(-('A' + 1)), 0xFF, 0xFF, 0xFE, 0x08};
    EXPECT_EQ(Decode(4, one), (std::vector<uint8_t>{'A', 'A', 'A'}));
    EXPECT_EQ(ErrorOf(4, {1, 1}), 25152);                            // more than 256 nodes
    EXPECT_EQ(ErrorOf(4, {1, 0, 5, 0, 0xFF, 0xFE, 0}), 25152);       // child beyond the node count
    EXPECT_EQ(ErrorOf(4, {1, 0, 0x00, 0xFE, 0xFF, 0xFE, 0}), 25152); // below the end symbol
}

TEST(ArcDecode, CrunchedBothHashesRoundTrip) {
    const auto text = mvtest::TextBytes(20000, 7);
    auto runs = text;
    runs.insert(runs.end(), 3000, 'Q');
    runs.push_back(0x90);
    for (uint8_t method : {5, 6, 7}) {
        SCOPED_TRACE(int(method));
        for (const std::vector<uint8_t>* data : {&text, static_cast<const std::vector<uint8_t>*>(&runs)}) {
            const auto packed = arctest::Crunch(*data, method);
            EXPECT_EQ(Decode(method, packed), *data);
        }
    }
}

TEST(ArcDecode, DynamicLzwChecks) {
    EXPECT_EQ(ErrorOf(8, {11, 0, 0}), 25134);
    // 9-bit codes 'a', then 300 (beyond the next free code 257).
    const std::vector<uint8_t> bad = {'a', uint8_t((300 << 1) & 0xFF), uint8_t(300 >> 7), 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(ErrorOf(9, bad), 25139);
    EXPECT_TRUE(Decode(8, {12}).empty());
    EXPECT_EQ(ErrorOf(10, {0}), 25326);
}

TEST(ArcDecode, NeverPassesDeclaredSize) {
    EXPECT_EQ(Decode(3, {'z', 0x90, 255}, 10).size(), 10u);
    const auto packed = arctest::Crunch(mvtest::TextBytes(5000, 3), 5);
    EXPECT_EQ(Decode(5, packed, 100).size(), 100u);
}
