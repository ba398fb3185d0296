#include "archive/codecs/LzhEncode.h"
#include "archive/codecs/LzhDecode.h"
#include "archive/codecs/LzhEncodeTree.h"

#include "tests/archive/codecs/LhaTestFrame.h"

#include <gtest/gtest.h>

using namespace mv;
using namespace lhatest;

namespace {

struct TEncoded {
    TLzhEncodeResult result;
    std::vector<uint8_t> bytes;
};

TEncoded Encode(const std::vector<uint8_t>& data, bool fuse = false) {
    MemoryInput in(data);
    MemoryOutput out;
    TEncoded e;
    e.result = fuse ? FuseCompress(in, out) : Lzh5Compress(in, out);
    e.bytes = out.bytes;
    return e;
}

std::vector<uint8_t> Decode(const std::vector<uint8_t>& packed, uint64_t size) {
    MemoryInput in(packed);
    MemoryOutput out(size);
    Lzh3Decode(in, out, size, LzhParamsLh5);
    return out.bytes;
}

std::vector<uint8_t> RepeatsAt(size_t distance, size_t total) {
    auto block = mvtest::RandomBytes(300, 21);
    std::vector<uint8_t> out = block;
    auto filler = mvtest::RandomBytes(distance - block.size(), 22);
    out.insert(out.end(), filler.begin(), filler.end());
    while (out.size() < total) out.insert(out.end(), block.begin(), block.end());
    return out;
}

// Matches of length 3 + k occur Fib(k) times (k = 0..20), in shuffled order,
// copied from a short random block: natural code lengths run past 16, so the
// encoder has to limit them.
std::vector<uint8_t> FibonacciMatches() {
    auto base = mvtest::RandomBytes(1500, 23);
    std::vector<int> lengths;
    uint32_t a = 1, b = 1;
    for (int k = 0; k < 21; ++k) {
        lengths.insert(lengths.end(), a, 3 + k);
        uint32_t c = a + b;
        a = b;
        b = c;
    }
    uint32_t x = 99;
    auto next = [&] { return x ^= x << 13, x ^= x >> 17, x ^= x << 5, x; };
    for (size_t i = lengths.size() - 1; i > 0; --i) std::swap(lengths[i], lengths[next() % (i + 1)]);
    std::vector<uint8_t> out = base;
    for (int len : lengths) {
        size_t off = next() % (base.size() - 32);
        out.insert(out.end(), base.begin() + long(off), base.begin() + long(off) + len);
    }
    return out;
}

} // namespace

TEST(LzhEncode, RoundTripsAndUnpackableInputs) {
    struct Case {
        const char* what;
        std::vector<uint8_t> data;
        bool unpackable;
    } cases[] = {
        {"100 KB text", mvtest::TextBytes(100000, 1), false},
        {"20 KB random", mvtest::RandomBytes(20000, 2), true},
        {"3 bytes", {1, 2, 3}, true},
        {"empty", {}, true},
        {"1000 equal bytes", std::vector<uint8_t>(1000, 'z'), false},
        {"repeats at distance 8191", RepeatsAt(8191, 40000), false},
        {"repeats at distance 8192", RepeatsAt(8192, 40000), false},
        {"several blocks, slides", MixedBytes(400000, 3), false},
        {"Fibonacci frequencies", FibonacciMatches(), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto e = Encode(c.data);
        EXPECT_EQ(e.result.Unpackable, c.unpackable);
        if (e.result.Unpackable) continue;
        EXPECT_EQ(e.result.PackedCount, e.bytes.size());
        EXPECT_LT(e.bytes.size(), c.data.size());
        EXPECT_EQ(Decode(e.bytes, c.data.size()), c.data);
    }
}

TEST(LzhEncode, FuseIsTheSameStreamPlusOneZeroByte) {
    auto data = mvtest::TextBytes(30000, 4);
    auto lh5 = Encode(data);
    auto fuse = Encode(data, true);
    ASSERT_FALSE(fuse.result.Unpackable);
    ASSERT_EQ(fuse.bytes.size(), lh5.bytes.size() + 1);
    EXPECT_EQ(fuse.result.PackedCount, fuse.bytes.size());
    EXPECT_TRUE(std::equal(lh5.bytes.begin(), lh5.bytes.end(), fuse.bytes.begin()));
    EXPECT_EQ(fuse.bytes.back(), 0);
}

TEST(LzhEncode, PeersAcceptOurMembers) {
    // Several members, so the stream ends at different bit positions.
    mvtest::TempDir dir;
    std::vector<std::vector<uint8_t>> inputs = {MixedBytes(300000, 5), mvtest::TextBytes(50001, 6),
                                                mvtest::TextBytes(7777, 7), std::vector<uint8_t>(1000, 'z'),
                                                RepeatsAt(8191, 30000)};
    std::vector<uint8_t> archive;
    for (size_t i = 0; i < inputs.size(); ++i) {
        auto e = Encode(inputs[i]);
        ASSERT_FALSE(e.result.Unpackable);
        auto member = WrapLevel0("-lh5-", "m" + std::to_string(i) + ".bin", e.bytes, inputs[i]);
        archive.insert(archive.end(), member.begin(), member.end() - 1); // without the end byte
        mvtest::WriteFileBytes(dir / ("m" + std::to_string(i) + ".ref"), inputs[i]);
    }
    archive.push_back(0);
    mvtest::WriteFileBytes(dir / "ours.lzh", archive);
    const char* commands[] = {"lhasa t ours.lzh", "7z t ours.lzh", "lha t ours.lzh </dev/null"};
    for (const char* cmd : commands) {
        std::string tool = std::string(cmd).substr(0, std::string(cmd).find(' '));
        if (!mvtest::RequireTool(tool)) continue;
        SCOPED_TRACE(cmd);
        auto r = mvtest::Run(cmd, dir.Path());
        EXPECT_EQ(r.exitCode, 0) << r.output;
        // jlha answers 0 even when a member fails; it says so in its output.
        EXPECT_EQ(r.output.find("Exception"), std::string::npos) << r.output;
    }
    if (mvtest::RequireTool("lhasa")) {
        for (size_t i = 0; i < inputs.size(); ++i) {
            std::string n = "m" + std::to_string(i);
            auto r = mvtest::Run("lhasa pq ours.lzh " + n + ".bin > " + n + ".out && cmp " + n + ".out " + n +
                                     ".ref",
                                 dir.Path());
            EXPECT_EQ(r.exitCode, 0) << n << r.output;
        }
    }
}

TEST(LzhEncode, NoLargerThanJlhaOnText) {
    MV_REQUIRE_TOOL("lha");
    mvtest::TempDir dir;
    auto data = mvtest::TextBytes(200000, 6);
    TMember m = FirstMember(MakeWithJlha(dir, "c0", data));
    auto e = Encode(data);
    EXPECT_LE(e.bytes.size(), m.packed.size() + m.packed.size() / 50) << "jlha " << m.packed.size();
}

TEST(LzhEncode, CodeLengthsAreLimitedTo16Bits) {
    // Fibonacci frequencies over 30 symbols give a natural depth of 29.
    uint16_t freq[30];
    uint32_t a = 1, b = 1;
    for (int i = 0; i < 30; ++i) {
        freq[i] = uint16_t(std::min<uint32_t>(a, 60000));
        uint32_t c = a + b;
        a = b;
        b = c;
    }
    uint8_t lengths[30];
    uint16_t codes[30];
    TLzhTreeBuilder builder;
    ASSERT_GE(builder.Make(30, freq, lengths, codes), 30);
    uint32_t kraft = 0;
    for (int i = 0; i < 30; ++i) {
        EXPECT_GE(lengths[i], 1);
        EXPECT_LE(lengths[i], 16);
        kraft += 1u << (16 - lengths[i]);
    }
    EXPECT_EQ(kraft, 1u << 16);
    // Rarer symbols never get shorter codes than more frequent ones.
    for (int i = 1; i < 30; ++i) EXPECT_LE(lengths[i], lengths[i - 1]);
}
