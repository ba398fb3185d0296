// Deflate encoder: every output is inflated by zlib (an independent decoder)
// and compared with the input, over edge inputs and all levels.
#include "archive/codecs/Deflate.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>

using namespace mv;

namespace {

struct TCompressed {
    std::vector<uint8_t> bytes;
    TDeflateResult result;
};

TCompressed Compress(const std::vector<uint8_t>& data, int level, bool wholeStore = true,
                     bool classify = false) {
    MemoryInput in(data);
    MemoryOutput out;
    TDeflateOptions o;
    o.Level = level;
    o.WholeMemberStore = wholeStore;
    o.ClassifyText = classify;
    TCompressed c;
    c.result = Deflate(in, out, o);
    c.bytes = std::move(out.bytes);
    return c;
}

// Raw inflate by zlib; fails the test on any zlib error or trailing bytes.
std::vector<uint8_t> ZInflate(const std::vector<uint8_t>& packed, size_t expected) {
    std::vector<uint8_t> out(expected + 1);
    z_stream z{};
    EXPECT_EQ(inflateInit2(&z, -15), Z_OK);
    z.next_in = const_cast<uint8_t*>(packed.data());
    z.avail_in = static_cast<uInt>(packed.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    int rc = inflate(&z, Z_FINISH);
    EXPECT_EQ(rc, Z_STREAM_END) << (z.msg ? z.msg : "");
    EXPECT_EQ(z.avail_in, 0u) << "bytes after the end of the stream";
    out.resize(z.total_out);
    inflateEnd(&z);
    return out;
}

size_t ZlibSize(const std::vector<uint8_t>& data, int level) {
    z_stream z{};
    deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::vector<uint8_t> out(deflateBound(&z, data.size()));
    z.next_in = const_cast<uint8_t*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    size_t n = z.total_out;
    deflateEnd(&z);
    return n;
}

std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> v;
    for (const auto& p : parts) v.insert(v.end(), p.begin(), p.end());
    return v;
}

std::vector<uint8_t> Runs(size_t n) {
    // Runs of 258 and 259 equal bytes, so that matches meet the window's ends.
    std::vector<uint8_t> v;
    uint8_t c = 'a';
    while (v.size() < n) {
        v.insert(v.end(), (v.size() / 258) % 2 ? 259 : 258, c);
        c = static_cast<uint8_t>(c == 'z' ? 'a' : c + 1);
    }
    v.resize(n);
    return v;
}

struct TInput {
    const char* name;
    std::vector<uint8_t> data;
};

std::vector<TInput> Inputs() {
    using mvtest::RandomBytes;
    using mvtest::TextBytes;
    auto random40k = RandomBytes(40 * 1024, 7);
    std::vector<uint8_t> copy(random40k.begin() + 16 * 1024, random40k.begin() + 24 * 1024);
    return {
        {"one byte", {'x'}},
        {"three bytes", {'a', 'b', 'c'}},
        {"zeros 1000", std::vector<uint8_t>(1000)},
        {"random 1000", RandomBytes(1000, 1)},
        {"text 32767", TextBytes(32767, 2)},
        {"text 32768", TextBytes(32768, 3)},
        {"text 65536", TextBytes(65536, 4)},
        {"text 65537", TextBytes(65537, 5)},
        {"runs 70000", Runs(70000)},
        {"random 70000", RandomBytes(70000, 6)},
        {"mixed", Concat({random40k, copy, TextBytes(20 * 1024, 8)})},
        {"text+random+zeros",
         Concat({TextBytes(100000, 9), RandomBytes(50000, 10), std::vector<uint8_t>(90000)})},
    };
}

} // namespace

TEST(Deflate, RoundTripThroughZlibAtEveryLevel) {
    for (const auto& input : Inputs()) {
        for (int level = 1; level <= 9; ++level) {
            SCOPED_TRACE(std::string(input.name) + " level " + std::to_string(level));
            auto c = Compress(input.data, level);
            EXPECT_EQ(c.result.UnpackedSize, input.data.size());
            EXPECT_EQ(c.result.PackedSize, c.bytes.size());
            if (c.result.Unpackable) {
                EXPECT_EQ(c.bytes, input.data);
                EXPECT_LE(input.data.size(), 65536u);
            } else {
                EXPECT_EQ(ZInflate(c.bytes, input.data.size()), input.data);
            }
            // Without the whole-member shortcut the output is always a stream.
            auto g = Compress(input.data, level, false);
            EXPECT_FALSE(g.result.Unpackable);
            EXPECT_EQ(ZInflate(g.bytes, input.data.size()), input.data);
        }
    }
}

// Number of deflate blocks in a raw stream, counted by zlib stopping at each
// block's end.
int ZlibBlockCount(const std::vector<uint8_t>& packed, size_t expected) {
    std::vector<uint8_t> out(expected + 1);
    z_stream z{};
    inflateInit2(&z, -15);
    z.next_in = const_cast<uint8_t*>(packed.data());
    z.avail_in = static_cast<uInt>(packed.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    int blocks = 0;
    for (;;) {
        int rc = inflate(&z, Z_BLOCK);
        if (rc != Z_OK && rc != Z_STREAM_END) {
            ADD_FAILURE() << "zlib: " << rc;
            break;
        }
        if (z.data_type & 128) ++blocks;
        if (rc == Z_STREAM_END) break;
    }
    inflateEnd(&z);
    return blocks;
}

TEST(Deflate, DataThatChangesKindGetsBlocksOfItsOwn) {
    // Letters, then bytes of the upper half in a skewed spread: one block over
    // both would code each part with the other's statistics. The stream must
    // split where the data changes and so cost no more than the two parts
    // compressed apart.
    auto text = mvtest::TextBytes(120000, 21);
    std::vector<uint8_t> high(120000);
    uint32_t x = 99;
    for (auto& b : high) {
        x = x * 1103515245u + 12345u;
        uint32_t r = (x >> 16) & 0xFF;
        b = static_cast<uint8_t>(128 + ((r * r) >> 9));
    }
    auto both = Concat({text, high});
    for (int level : {1, 2, 3, 6, 9}) {
        SCOPED_TRACE("level " + std::to_string(level));
        auto c = Compress(both, level, false);
        EXPECT_EQ(ZInflate(c.bytes, both.size()), both);
        EXPECT_GE(ZlibBlockCount(c.bytes, both.size()), 2);
        size_t apart = Compress(text, level, false).bytes.size() + Compress(high, level, false).bytes.size();
        EXPECT_LE(c.bytes.size(), apart + apart / 100);
    }
}

TEST(Deflate, EmptyInput) {
    auto c = Compress({}, 7);
    EXPECT_TRUE(c.result.Unpackable);
    EXPECT_EQ(c.result.PackedSize, 0u);
    EXPECT_TRUE(c.bytes.empty());
    // A stream is still a stream when the member cannot be stored (gzip).
    auto g = Compress({}, 7, false);
    EXPECT_FALSE(g.result.Unpackable);
    EXPECT_FALSE(g.bytes.empty());
    EXPECT_TRUE(ZInflate(g.bytes, 0).empty());
}

TEST(Deflate, ShortIncompressibleInputIsStoredRaw) {
    auto data = mvtest::RandomBytes(20000, 11);
    for (int level : {1, 2, 7, 9}) {
        auto c = Compress(data, level);
        EXPECT_TRUE(c.result.Unpackable);
        EXPECT_EQ(c.bytes, data);
    }
    // Larger than one block: coded as stored blocks inside a stream, barely larger.
    auto big = mvtest::RandomBytes(300000, 12);
    auto c = Compress(big, 9);
    EXPECT_FALSE(c.result.Unpackable);
    EXPECT_LT(c.bytes.size(), big.size() + big.size() / 1000 + 64);
    EXPECT_EQ(ZInflate(c.bytes, big.size()), big);
}

TEST(Deflate, LevelsDifferAndRatioMatchesZlib) {
    auto data = mvtest::TextBytes(400000, 13);
    auto fast = Compress(data, 1);
    auto best = Compress(data, 9);
    EXPECT_NE(fast.bytes, best.bytes);
    EXPECT_LT(best.bytes.size(), fast.bytes.size());
    // Level 2 spends more work than level 1 and must not compress worse.
    EXPECT_LE(Compress(data, 2).bytes.size(), fast.bytes.size());
    // Level 6 walks shorter chains than zlib's (48 positions against 128), for
    // speed: on this text of 16 random words, where the best match of a
    // position hides deep in long chains, it may come out a little larger
    // (on real files it is smaller than zlib's; see the deflate benchmark).
    for (int level : {1, 2, 6, 9}) {
        SCOPED_TRACE(level);
        auto c = Compress(data, level);
        EXPECT_LE(static_cast<double>(c.bytes.size()), ZlibSize(data, level) * (level == 6 ? 1.03 : 1.01));
    }
}

TEST(Deflate, LongRunsCompressToAlmostNothing) {
    std::vector<uint8_t> zeros(1 << 20);
    for (int level : {1, 9}) {
        auto c = Compress(zeros, level);
        EXPECT_LE(c.bytes.size(), ZlibSize(zeros, level));
        EXPECT_EQ(ZInflate(c.bytes, zeros.size()), zeros);
    }
}

TEST(Deflate, ClassifiesTextAndBinary) {
    EXPECT_EQ(Compress(mvtest::TextBytes(5000, 14), 7, true, true).result.TextKind, 1);
    EXPECT_EQ(Compress(mvtest::RandomBytes(5000, 15), 7, true, true).result.TextKind, 0);
    EXPECT_EQ(Compress(mvtest::TextBytes(5000, 14), 7).result.TextKind, -1);
}

namespace {
struct TFailingInput : CodecInput {
    std::vector<uint8_t> data = mvtest::TextBytes(100000, 16);
    size_t pos = 0;
    size_t Read(uint8_t* buf, size_t n) override {
        if (pos >= 50000) throw ECodecError(25236);
        size_t k = std::min(n, std::min<size_t>(1000, data.size() - pos));
        std::memcpy(buf, data.data() + pos, k);
        pos += k;
        return k;
    }
};
struct TCancellingOutput : MemoryOutput {
    bool Cancelled() const override { return bytes.size() > 0; }
};
} // namespace

TEST(Deflate, ReadErrorPassesThrough) {
    TFailingInput in;
    MemoryOutput out;
    try {
        Deflate(in, out, TDeflateOptions{});
        FAIL() << "no error";
    } catch (const ECodecError& e) {
        EXPECT_EQ(e.Code(), 25236);
    }
}

TEST(Deflate, CancelStops) {
    auto data = mvtest::RandomBytes(500000, 17);
    MemoryInput in(data);
    TCancellingOutput out;
    auto r = Deflate(in, out, TDeflateOptions{});
    EXPECT_TRUE(r.Cancelled);
    EXPECT_LT(in.Position(), data.size());
}

TEST(Deflate, EncoderIsReusableAcrossLevels) {
    TDeflateEncoder encoder;
    auto a = mvtest::TextBytes(80000, 18);
    auto b = mvtest::RandomBytes(100, 19);
    // Levels 1 and 7 use different match tables; each member's bytes must not
    // depend on what the encoder compressed before.
    for (int level : {7, 1}) {
        SCOPED_TRACE(level);
        TDeflateOptions o;
        o.Level = level;
        auto fresh = Compress(a, level);
        for (int round = 0; round < 2; ++round) {
            MemoryInput ia(a), ib(b);
            MemoryOutput oa, ob;
            encoder.Deflate(ia, oa, o);
            auto rb = encoder.Deflate(ib, ob, o);
            EXPECT_EQ(ZInflate(oa.bytes, a.size()), a);
            EXPECT_TRUE(rb.Unpackable);
            EXPECT_EQ(oa.bytes, fresh.bytes);
        }
    }
}

// A member's bytes never depend on what the encoder held before, also at its very
// end, where the last positions are hashed with the bytes after the input: the same
// text after a different one comes out as from a fresh encoder (so that members
// compressed on any worker come out the same).
TEST(Deflate, MemberEndsDoNotSeeTheMemberBefore) {
    for (int level : {1, 2, 6, 9}) {
        SCOPED_TRACE(level);
        TDeflateEncoder encoder;
        TDeflateOptions o;
        o.Level = level;
        for (uint32_t seed = 0; seed < 24; ++seed) {
            const auto before = mvtest::TextBytes(70000, 100 + seed);
            const auto member = mvtest::TextBytes(3000 + seed * 977, 200 + seed % 3);
            MemoryInput ia(before), ib(member);
            MemoryOutput oa, ob;
            encoder.Deflate(ia, oa, o);
            encoder.Deflate(ib, ob, o);
            ASSERT_EQ(ob.bytes, Compress(member, level).bytes) << "seed " << seed;
        }
    }
}

namespace {
// Hands the source over a few bytes at a time, as a slow read hook may.
struct TTrickleInput : CodecInput {
    const std::vector<uint8_t>& data;
    size_t pos = 0;
    explicit TTrickleInput(const std::vector<uint8_t>& d) : data(d) {}
    size_t Read(uint8_t* buf, size_t n) override {
        size_t k = std::min(n, std::min<size_t>(1 + pos % 7, data.size() - pos));
        std::memcpy(buf, data.data() + pos, k);
        pos += k;
        return k;
    }
};
} // namespace

TEST(Deflate, SmallReadsGiveTheSameStream) {
    auto data = Concat({mvtest::TextBytes(50000, 20), Runs(20000)});
    for (int level : {1, 6}) {
        SCOPED_TRACE(level);
        TTrickleInput in(data);
        MemoryOutput out;
        TDeflateOptions o;
        o.Level = level;
        Deflate(in, out, o);
        EXPECT_EQ(out.bytes, Compress(data, level).bytes);
    }
}

TEST(Deflate, FastestLevelFindsMatchesAfterIncompressibleData) {
    // Level 1 searches fewer positions while nothing matches; a copy that
    // follows a long incompressible stretch must still be found at once.
    auto random = mvtest::RandomBytes(64 * 1024, 21);
    auto data = Concat({random, std::vector<uint8_t>(random.end() - 16 * 1024, random.end())});
    auto c = Compress(data, 1);
    EXPECT_EQ(ZInflate(c.bytes, data.size()), data);
    EXPECT_LT(c.bytes.size(), random.size() + 1024);
}

TEST(Deflate, CopiesAtTheEdgeOfTheWindow) {
    // Random data with 1000-byte copies from just inside, at and beyond the
    // farthest distance a match may reach. Every level must decode exactly,
    // and find at least the copy from 32000 bytes back.
    auto data = mvtest::RandomBytes(240000, 31);
    const uint32_t distances[] = {32000, 32506, 32767, 32768, 32769};
    size_t at = 40000;
    for (uint32_t d : distances) {
        std::memcpy(data.data() + at, data.data() + at - d, 1000);
        at += 40000;
    }
    for (int level = 1; level <= 9; ++level) {
        SCOPED_TRACE(level);
        auto c = Compress(data, level, false);
        EXPECT_EQ(ZInflate(c.bytes, data.size()), data);
        EXPECT_LT(c.bytes.size(), data.size() - 500);
    }
}
