// Deflate on several threads: the stream is the same byte for byte whatever
// the number of threads, decodes to the input, matches the plain encoder for
// a member of one piece, and stops on a cancel; the members of a run made
// ahead come out as each would alone.
#include "archive/codecs/DeflatePieces.h"
#include "archive/codecs/Inflate.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace mv;
using namespace mvtest;

namespace {

// Text, random bytes and repeats far apart, over `pieces` pieces and a bit.
std::vector<uint8_t> Mixed(size_t size) {
    std::vector<uint8_t> d;
    for (uint32_t seed = 1; d.size() < size; ++seed) {
        auto t = seed % 3 == 0 ? RandomBytes(300000, seed) : TextBytes(400000, seed);
        d.insert(d.end(), t.begin(), t.end());
    }
    d.resize(size);
    return d;
}

std::vector<uint8_t> Pack(const std::vector<uint8_t>& data, int level, unsigned threads,
                          TDeflateResult* result = nullptr) {
    TDeflateEncoder enc;
    MemoryInput in(data);
    MemoryOutput out;
    TDeflateOptions o;
    o.Level = level;
    o.WholeMemberStore = false;
    TDeflateResult r = DeflateInPieces(enc, in, out, o, threads);
    if (result) *result = r;
    return out.bytes;
}

std::vector<uint8_t> Unpack(const std::vector<uint8_t>& packed, size_t size) {
    std::vector<uint8_t> back(size + 1);
    size_t n = InflateMemory(packed.data(), packed.size(), back.data(), back.size());
    back.resize(n);
    return back;
}

class TCancelAfter : public CodecOutput {
public:
    explicit TCancelAfter(int writes) : left(writes) {}
    void Write(const uint8_t*, size_t n) override {
        bytes += n;
        --left;
    }
    bool Cancelled() const override { return left <= 0; }
    int left;
    size_t bytes = 0;
};

} // namespace

TEST(DeflatePieces, SameStreamForAnyThreadCountAndDecodes) {
    // Exactly three pieces, and three pieces and a bit (a short last piece).
    for (size_t size : {3 * kDeflatePieceSize, 3 * kDeflatePieceSize + 12345}) {
        const auto data = Mixed(size);
        for (int level : {1, 6, 9}) {
            SCOPED_TRACE(testing::Message() << "size " << size << " level " << level);
            TDeflateResult r;
            const auto one = Pack(data, level, 1, &r);
            EXPECT_EQ(r.UnpackedSize, size);
            EXPECT_EQ(r.PackedSize, one.size());
            EXPECT_FALSE(r.Unpackable);
            EXPECT_FALSE(r.Cancelled);
            EXPECT_LT(one.size(), size);
            EXPECT_TRUE(Unpack(one, size) == data);
            for (unsigned threads : {2u, 3u, 8u}) EXPECT_TRUE(Pack(data, level, threads) == one) << threads;
        }
    }
}

TEST(DeflatePieces, OnePieceIsThePlainEncodersStream) {
    for (size_t size : {size_t{0}, size_t{1000}, kDeflatePieceSize}) {
        const auto data = Mixed(size);
        TDeflateEncoder plain;
        MemoryInput in(data);
        MemoryOutput out;
        TDeflateOptions o;
        o.Level = 6;
        TDeflateResult expected = plain.Deflate(in, out, o);
        TDeflateEncoder enc;
        MemoryInput in2(data);
        MemoryOutput out2;
        TDeflateResult got = DeflateInPieces(enc, in2, out2, o, 4);
        EXPECT_TRUE(out2.bytes == out.bytes) << size;
        EXPECT_EQ(got.Unpackable, expected.Unpackable) << size;
        EXPECT_EQ(got.PackedSize, expected.PackedSize) << size;
    }
}

TEST(DeflatePieces, PiecesReachBackIntoTheirPredecessor) {
    // 20 KB of random bytes just before a piece boundary and again just after
    // it: the second copy costs almost nothing, as it does in one stream.
    auto block = RandomBytes(20000, 5);
    std::vector<uint8_t> data(kDeflatePieceSize - block.size(), 'x');
    data.insert(data.end(), block.begin(), block.end());
    data.insert(data.end(), block.begin(), block.end());
    data.insert(data.end(), 100000, 'y');
    const auto packed = Pack(data, 6, 2);
    EXPECT_TRUE(Unpack(packed, data.size()) == data);
    EXPECT_LT(packed.size(), 20000u + 3000u);
}

TEST(DeflatePieces, CancelStopsAtOnce) {
    const auto data = Mixed(20 * kDeflatePieceSize);
    for (unsigned threads : {1u, 4u}) {
        TDeflateEncoder enc;
        MemoryInput in(data);
        TCancelAfter out(2);
        TDeflateOptions o;
        TDeflateResult r = DeflateInPieces(enc, in, out, o, threads);
        EXPECT_TRUE(r.Cancelled) << threads;
        EXPECT_LT(in.Position(), data.size()) << threads;
    }
}

TEST(DeflatePieces, ThreadCountOnThisMachine) {
    EXPECT_GE(CompressionThreads(), 1u);
    OverrideCompressionThreads(3);
    EXPECT_EQ(CompressionThreads(), 3u);
    OverrideCompressionThreads(0);
    EXPECT_GE(CompressionThreads(), 1u);
}

TEST(DeflatePieces, RunOfSmallMembersIsReadFarAheadWithBoundedMembers) {
    // Many small members and two of several pieces: each member's stream is
    // the one it gets alone, and the members read ahead go well past a few per
    // thread (small ones are counted by their bytes) but never past the bound
    // on members ahead, each of which may hold its source open.
    std::vector<std::vector<uint8_t>> run;
    for (uint32_t i = 0; i < 200; ++i)
        run.push_back(i % 5 == 0 ? RandomBytes(1000 + 37 * i, i) : TextBytes(2000 + 90 * i, i));
    run[50] = Mixed(2 * kDeflatePieceSize + 999);
    run[120] = Mixed(kDeflatePieceSize + 1);
    TDeflateOptions o;
    o.Level = 6;
    o.WholeMemberStore = true;
    o.ClassifyText = true;
    std::vector<std::vector<uint8_t>> alone;
    for (const auto& member : run) {
        TDeflateEncoder enc;
        MemoryInput in(member);
        MemoryOutput out;
        DeflateInPieces(enc, in, out, o, 1);
        alone.push_back(out.bytes);
    }
    for (unsigned threads : {2u, 3u, 8u}) {
        SCOPED_TRACE(threads);
        size_t offered = 0, turn = 0, furthest = 0;
        TDeflateAhead ahead(threads, [&](TDeflateAhead::TMember& m) {
            if (offered >= run.size()) return false;
            m.Key = offered;
            m.Options = o;
            m.Input = std::make_unique<MemoryInput>(run[offered]);
            furthest = std::max(furthest, offered - turn);
            ++offered;
            return true;
        });
        TDeflateEncoder enc;
        for (turn = 0; turn < run.size(); ++turn) {
            ahead.Turn(turn);
            MemoryInput in(run[turn]);
            MemoryOutput out;
            TDeflateResult r = ahead.Deflate(turn, enc, in, out, o);
            EXPECT_FALSE(r.Cancelled);
            EXPECT_TRUE(out.bytes == alone[turn]) << turn;
        }
        EXPECT_GT(furthest, 4 * size_t{threads});
        EXPECT_LE(furthest, 8 * size_t{threads} + 1);
    }
}
