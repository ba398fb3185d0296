#include "archive/codecs/LzhDecode.h"

#include "tests/archive/codecs/LhaTestFrame.h"

#include <gtest/gtest.h>

using namespace mv;
using namespace lhatest;

namespace {

TLzh3Params ParamsFor(char letter) {
    switch (letter) {
    case '4':
        return LzhParamsLh4;
    case '5':
        return LzhParamsLh5;
    case '6':
        return LzhParamsLh6;
    default:
        return LzhParamsLh7;
    }
}

std::vector<uint8_t> Decode(const std::vector<uint8_t>& packed, uint64_t size, const TLzh3Params& p) {
    MemoryInput in(packed);
    MemoryOutput out(size);
    uint64_t n = Lzh3Decode(in, out, size, p);
    EXPECT_EQ(n, out.bytes.size());
    return out.bytes;
}

int ErrorOf(const std::vector<uint8_t>& packed, uint64_t size, const TLzh3Params& p,
            size_t* written = nullptr) {
    MemoryInput in(packed);
    MemoryOutput out(size);
    int code = 0;
    try {
        Lzh3Decode(in, out, size, p);
    } catch (const ECodecError& e) {
        code = e.Code();
    }
    if (written) *written = out.bytes.size();
    return code;
}

// A block header: count, one-symbol code-length code, one-symbol literal code
// (symbol lit), one-symbol position code (symbol pos) with pbit-wide fields.
void SingleSymbolBlock(TBitWriter& w, uint32_t count, uint32_t lit, uint32_t pos, int pbit) {
    w.Put(16, count);
    w.Put(5, 0);
    w.Put(5, 0);
    w.Put(9, 0);
    w.Put(9, lit);
    w.Put(pbit, 0);
    w.Put(pbit, pos);
}

} // namespace

TEST(LzhDecode, PeerArchivesDecodeByteExactly) {
    MV_REQUIRE_TOOL("lha");
    mvtest::TempDir dir;
    std::vector<uint8_t> repeated = mvtest::RandomBytes(3000, 7);
    std::vector<uint8_t> far = repeated;
    auto gap = mvtest::TextBytes(27000, 8);
    far.insert(far.end(), gap.begin(), gap.end());
    far.insert(far.end(), repeated.begin(), repeated.end());
    struct Case {
        const char* command;
        std::vector<uint8_t> data;
    } cases[] = {
        {"c0", mvtest::TextBytes(100000, 1)}, {"c0", MixedBytes(300000, 2)},
        {"c0o6", MixedBytes(300000, 3)},      {"c0o6", far},
        {"c0o7", MixedBytes(200000, 4)},      {"c0", std::vector<uint8_t>(70000, 'x')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        auto archive = MakeWithJlha(dir, c.command, c.data);
        ASSERT_FALSE(archive.empty());
        TMember m = FirstMember(archive);
        ASSERT_EQ(m.size, c.data.size());
        EXPECT_EQ(Decode(m.packed, m.size, ParamsFor(m.method[3])), c.data) << m.method;
        EXPECT_EQ(Crc16(c.data), m.crc);
    }
}

TEST(LzhDecode, PatchedLh4MemberDecodes) {
    MV_REQUIRE_TOOL("lha");
    mvtest::TempDir dir;
    auto data = mvtest::TextBytes(3500, 9);
    auto archive = MakeWithJlha(dir, "c0", data);
    ASSERT_FALSE(archive.empty());
    TMember m = FirstMember(archive);
    ASSERT_EQ(m.method, "-lh5-");
    EXPECT_EQ(Decode(m.packed, m.size, LzhParamsLh4), data);
}

TEST(LzhDecode, DeclaredSizeBoundsTheOutput) {
    MV_REQUIRE_TOOL("lha");
    mvtest::TempDir dir;
    auto data = mvtest::TextBytes(50000, 10);
    TMember m = FirstMember(MakeWithJlha(dir, "c0", data));
    for (uint64_t size : {uint64_t(1), uint64_t(4097), uint64_t(49999)}) {
        auto out = Decode(m.packed, size, LzhParamsLh5);
        ASSERT_EQ(out.size(), size);
        EXPECT_TRUE(std::equal(out.begin(), out.end(), data.begin()));
    }
}

TEST(LzhDecode, EndBlockAndSingleSymbolForms) {
    // A first block count of 0 ends the member at once without an error.
    EXPECT_TRUE(Decode({0, 0}, 100, LzhParamsLh5).empty());
    // One-symbol literal code: every code is 'A' and takes no bits.
    TBitWriter w;
    SingleSymbolBlock(w, 5, 'A', 0, 4);
    w.Put(16, 0);
    EXPECT_EQ(Decode(w.Finish(), 100, LzhParamsLh5), std::vector<uint8_t>(5, 'A'));
    // A one-symbol match code (length 256, distance 0) after one literal.
    TBitWriter m;
    SingleSymbolBlock(m, 1, 'B', 0, 4);
    SingleSymbolBlock(m, 2, 509, 0, 4);
    m.Put(16, 0);
    EXPECT_EQ(Decode(m.Finish(), 1000, LzhParamsLh5), std::vector<uint8_t>(513, 'B'));
}

TEST(LzhDecode, CorruptStreamsEndWithTheirErrorNumbers) {
    struct Case {
        const char* what;
        std::vector<uint8_t> stream;
        TLzh3Params params;
        int code;
    };
    std::vector<Case> cases;
    {
        TBitWriter w; // incomplete code-length code: lengths 1 and 2 only
        w.Put(16, 1), w.Put(5, 2), w.Put(3, 1), w.Put(3, 2);
        cases.push_back({"incomplete code", w.Finish(), LzhParamsLh5, 25120});
    }
    {
        TBitWriter w; // oversubscribed: three codes of length 1
        w.Put(16, 1), w.Put(5, 3), w.Put(3, 1), w.Put(3, 1), w.Put(3, 1), w.Put(2, 0);
        cases.push_back({"oversubscribed code", w.Finish(), LzhParamsLh5, 25120});
    }
    {
        TBitWriter w; // more code lengths than the alphabet holds
        w.Put(16, 1), w.Put(5, 25);
        cases.push_back({"count past alphabet", w.Finish(), LzhParamsLh5, 25120});
    }
    {
        TBitWriter w; // a code length grown past 16 by its unary extension
        w.Put(16, 1), w.Put(5, 2), w.Put(3, 7), w.Put(12, 0xFFF), w.Put(1, 0);
        cases.push_back({"length over 16", w.Finish(), LzhParamsLh5, 25120});
    }
    {
        TBitWriter w; // one-symbol literal code naming symbol 511
        w.Put(16, 1), w.Put(5, 0), w.Put(5, 0), w.Put(9, 0), w.Put(9, 511);
        cases.push_back({"single literal out of range", w.Finish(), LzhParamsLh5, 25120});
    }
    {
        TBitWriter w; // one-symbol position code naming symbol 15 of 14
        SingleSymbolBlock(w, 1, 300, 15, 4);
        cases.push_back({"single position out of range", w.Finish(), LzhParamsLh5, 25120});
    }
    {
        TBitWriter w; // code-length code {0:1, 1:2, 2:2}; literal count 10; a run of 20+ zeros
        w.Put(16, 1), w.Put(5, 3), w.Put(3, 1), w.Put(3, 2), w.Put(3, 2), w.Put(2, 0);
        w.Put(9, 10), w.Put(2, 3), w.Put(9, 0); // symbol 2 (code 11), run 20 > 10
        cases.push_back({"zero run past count", w.Finish(), LzhParamsLh5, 25120});
    }
    {
        TBitWriter w; // -lh6-: a match at distance 32768 + x, beyond the 32 KiB history
        SingleSymbolBlock(w, 1, 300, 16, 5);
        w.Put(15, 5);
        cases.push_back({"distance beyond the window", w.Finish(), LzhParamsLh6, 25139});
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ErrorOf(c.stream, 100000, c.params), c.code);
    }
}

TEST(LzhDecode, TruncatedDataWithHugeDeclaredSizeStopsEarly) {
    MV_REQUIRE_TOOL("lha");
    mvtest::TempDir dir;
    auto data = MixedBytes(200000, 11);
    TMember m = FirstMember(MakeWithJlha(dir, "c0", data));
    std::vector<uint8_t> half(m.packed.begin(), m.packed.begin() + long(m.packed.size() / 2));
    size_t written = 0;
    EXPECT_EQ(ErrorOf(half, uint64_t(1) << 32, LzhParamsLh5, &written), 25236);
    EXPECT_LT(written, data.size());
    // An empty input reads as an end block: nothing is invented.
    EXPECT_EQ(ErrorOf({}, uint64_t(1) << 32, LzhParamsLh5, &written), 0);
    EXPECT_EQ(written, 0u);
}
