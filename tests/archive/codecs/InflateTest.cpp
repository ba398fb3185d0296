// Inflate against zlib (the reference) on many streams, in memory and streaming,
// and one hand-made stream per error of the error table.
#include "archive/codecs/Inflate.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>

using namespace mv;

namespace {

std::vector<uint8_t> ZlibRawDeflate(const std::vector<uint8_t>& data, int level,
                                    int strategy = Z_DEFAULT_STRATEGY, int memLevel = 8) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, -15, memLevel, strategy), Z_OK);
    std::vector<uint8_t> out(deflateBound(&z, data.size()) + 16);
    z.next_in = const_cast<uint8_t*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// Hands out the input in pieces of varying size, as a reader reading from disk would.
class ChunkedInput : public CodecInput {
public:
    ChunkedInput(const std::vector<uint8_t>& d, uint32_t seed) : data(d), state(seed | 1) {}
    size_t Read(uint8_t* buf, size_t n) override {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        size_t k = std::min({n, data.size() - pos, static_cast<size_t>(1 + state % 5000)});
        std::copy(data.begin() + pos, data.begin() + pos + k, buf);
        pos += k;
        return k;
    }

private:
    const std::vector<uint8_t>& data;
    size_t pos = 0;
    uint32_t state;
};

std::vector<uint8_t> Payload(size_t n, uint32_t seed) {
    switch (seed % 4) {
    case 0:
        return mvtest::TextBytes(n, seed);
    case 1:
        return mvtest::RandomBytes(n, seed);
    case 2: { // runs and short repeats: distances 1..7 and long matches
        std::vector<uint8_t> v;
        auto r = mvtest::RandomBytes(n + 16, seed);
        while (v.size() < n) {
            size_t run = 1 + r[v.size() % r.size()] % 300;
            size_t period = 1 + r[(v.size() + 1) % r.size()] % 7;
            for (size_t i = 0; i < run && v.size() < n; ++i) v.push_back(r[(v.size() % period) + 2]);
        }
        return v;
    }
    default: { // text and binary mixed
        auto t = mvtest::TextBytes(n, seed);
        auto b = mvtest::RandomBytes(n, seed + 1);
        for (size_t i = 0; i < n; i += 4096)
            if ((i / 4096) % 3 == 1)
                std::copy(b.begin() + i, b.begin() + std::min(n, i + 1024), t.begin() + i);
        return t;
    }
    }
}

struct BitWriter {
    std::vector<uint8_t> bytes;
    uint32_t acc = 0;
    unsigned n = 0;
    void Put(uint32_t v, unsigned bits) {
        for (unsigned i = 0; i < bits; ++i) {
            acc |= ((v >> i) & 1u) << n;
            if (++n == 8) {
                bytes.push_back(static_cast<uint8_t>(acc));
                acc = 0;
                n = 0;
            }
        }
    }
    void PutCode(uint32_t code, unsigned len) { // Huffman codes go most significant bit first
        for (unsigned i = len; i-- > 0;) Put((code >> i) & 1u, 1);
    }
    std::vector<uint8_t> Done() {
        if (n) bytes.push_back(static_cast<uint8_t>(acc));
        return bytes;
    }
};

int ErrorOf(const std::vector<uint8_t>& stream, size_t capacity = 1 << 20) {
    std::vector<uint8_t> out(capacity);
    try {
        InflateMemory(stream.data(), stream.size(), out.data(), out.size());
    } catch (const ECodecError& e) {
        int memoryCode = e.Code();
        // The streaming form must agree.
        MemoryInput in(stream);
        MemoryOutput sink(capacity);
        try {
            Inflate(in, sink, capacity);
        } catch (const ECodecError& e2) {
            EXPECT_EQ(e2.Code(), memoryCode);
            EXPECT_LE(sink.bytes.size(), capacity);
            return memoryCode;
        }
        ADD_FAILURE() << "streaming form accepted what the memory form refused";
        return memoryCode;
    }
    return 0;
}

// Runs a check once with the decoding loop the processor is given by default
// and once with the plain one, and leaves the default in place.
template <class F> void WithEachLoop(F check) {
    const bool original = InflateUsesBmi2();
    for (bool bmi2 : {true, false}) {
        SetInflateBmi2(bmi2);
        SCOPED_TRACE(InflateUsesBmi2() ? "BMI2 loop" : "plain loop");
        check();
    }
    SetInflateBmi2(original);
    EXPECT_EQ(InflateUsesBmi2(), original);
}

} // namespace

TEST(Inflate, MatchesZlibOnManyStreams) {
    WithEachLoop([] {
        const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
        for (uint32_t seed = 1; seed <= 400; ++seed) {
            size_t size = (seed % 10 == 0) ? 150000 + seed * 7 : (seed * 2654435761u) % 9000;
            auto data = Payload(size, seed);
            int level = static_cast<int>(seed % 10);
            int strategy = strategies[(seed / 10) % 5];
            auto stream = ZlibRawDeflate(data, level, strategy, 1 + seed % 9);
            SCOPED_TRACE("seed " + std::to_string(seed));

            std::vector<uint8_t> out(data.size() + 1);
            size_t consumed = 0;
            size_t got = InflateMemory(stream.data(), stream.size(), out.data(), out.size(), &consumed);
            ASSERT_EQ(got, data.size());
            out.resize(got);
            ASSERT_TRUE(out == data);
            EXPECT_EQ(consumed, stream.size());

            ChunkedInput in(stream, seed);
            MemoryOutput sink(data.size());
            InflateResult r = Inflate(in, sink, data.size());
            ASSERT_TRUE(sink.bytes == data);
            EXPECT_EQ(r.written, data.size());
            EXPECT_TRUE(r.complete);
        }
    });
}

// Every match copy path: periods 1..40 (fill, doubling short periods, word
// copies that overlap their own output, 16-byte pieces) with match lengths around
// the 32- and 40-byte unconditional copies and the pieces after them.
TEST(Inflate, MatchCopiesForEveryShortDistance) {
    auto noise = mvtest::RandomBytes(64 * 41, 7);
    std::vector<uint8_t> data;
    for (size_t period = 1; period <= 40; ++period)
        for (size_t length :
             {3, 4, 7, 8, 9, 15, 16, 17, 31, 32, 33, 39, 40, 41, 48, 56, 57, 63, 64, 65, 258, 300}) {
            const size_t start = data.size();
            data.insert(data.end(), noise.begin() + period * 64, noise.begin() + period * 64 + period);
            for (size_t i = 0; i < length; ++i) data.push_back(data[start + i % period]);
            data.insert(data.end(), noise.begin() + length % 50, noise.begin() + length % 50 + 9);
        }
    WithEachLoop([&] {
        for (int level : {1, 9}) {
            auto stream = ZlibRawDeflate(data, level);
            std::vector<uint8_t> out(data.size());
            ASSERT_EQ(InflateMemory(stream.data(), stream.size(), out.data(), out.size()), data.size());
            EXPECT_TRUE(out == data);
            ChunkedInput in(stream, 5);
            MemoryOutput sink(data.size());
            Inflate(in, sink, data.size());
            EXPECT_TRUE(sink.bytes == data);
        }
    });
}

// Outputs and inputs that end around the margins the fast loop keeps (16 input
// bytes, 320 output bytes): the memory form with room for exactly the output and
// with one byte too few, and the stream cut short by one byte.
TEST(Inflate, StreamsEndingAroundTheFastLoopMargins) {
    std::vector<size_t> sizes = {1, 2, 8, 15, 16, 17, 40, 41};
    for (size_t n = 300; n <= 340; ++n) sizes.push_back(n);
    for (size_t n : {600, 639, 640, 641, 4096, 20000}) sizes.push_back(n);
    WithEachLoop([&] {
        for (size_t n : sizes)
            for (int level : {0, 1, 6}) {
                SCOPED_TRACE("size " + std::to_string(n) + " level " + std::to_string(level));
                auto data = Payload(n, static_cast<uint32_t>(n + level));
                auto stream = ZlibRawDeflate(data, level);
                std::vector<uint8_t> out(n);
                size_t consumed = 0;
                ASSERT_EQ(InflateMemory(stream.data(), stream.size(), out.data(), out.size(), &consumed), n);
                EXPECT_TRUE(out == data);
                EXPECT_EQ(consumed, stream.size());
                EXPECT_EQ(ErrorOf(stream, n - 1), 25109);
                auto cut = stream;
                cut.pop_back();
                EXPECT_EQ(ErrorOf(cut, n), 25109);
                MemoryInput in(stream);
                MemoryOutput sink(n);
                InflateResult r = Inflate(in, sink, n);
                EXPECT_TRUE(sink.bytes == data);
                EXPECT_EQ(r.consumed, stream.size());
            }
    });
}

// A match may reach back the whole 32 KiB window and no further: a stored block
// of 32 KiB, then a fixed block with matches of distance 32768.
TEST(Inflate, MatchesReachBackTheWholeWindow) {
    auto history = mvtest::RandomBytes(32768, 11);
    auto build = [&](bool oneTooFar) {
        BitWriter w; // a stored block, not final, of 32768 bytes
        w.bytes = {0x00, 0x00, 0x80, 0xFF, 0x7F};
        w.bytes.insert(w.bytes.end(), history.begin(), history.end());
        w.Put(1, 1); // fixed, final
        w.Put(1, 2);
        if (oneTooFar) w.PutCode(0x30 + 'x', 8); // one literal moves the window on
        w.PutCode(0xC5, 8);                      // length 258 (code 285)
        w.PutCode(29, 5);                        // distance 24577 + 8191 = 32768
        w.Put(8191, 13);
        w.PutCode(1, 7); // length 3 (code 257)
        w.PutCode(29, 5);
        w.Put(8191, 13);
        for (int i = 0; i < 40; ++i) w.PutCode(0x30 + 'a', 8); // input enough for the fast loop
        w.PutCode(0, 7);                                       // end of block
        return w.Done();
    };
    std::vector<uint8_t> want = history;
    for (size_t i = 0; i < 258 + 3; ++i) want.push_back(want[want.size() - 32768]);
    want.insert(want.end(), 40, 'a');
    WithEachLoop([&] {
        auto stream = build(false);
        std::vector<uint8_t> out(want.size() + 100);
        ASSERT_EQ(InflateMemory(stream.data(), stream.size(), out.data(), out.size()), want.size());
        out.resize(want.size());
        EXPECT_TRUE(out == want);
        ChunkedInput in(stream, 9);
        MemoryOutput sink;
        Inflate(in, sink);
        EXPECT_TRUE(sink.bytes == want);

        // With the literal first, the same distance still reaches the first byte;
        // written as a stream that lacks its first stored byte, it reaches too far.
        auto further = build(true);
        std::vector<uint8_t> wantFurther = history;
        wantFurther.push_back('x');
        for (size_t i = 0; i < 258 + 3; ++i) wantFurther.push_back(wantFurther[wantFurther.size() - 32768]);
        wantFurther.insert(wantFurther.end(), 40, 'a');
        out.assign(wantFurther.size(), 0);
        ASSERT_EQ(InflateMemory(further.data(), further.size(), out.data(), out.size()), wantFurther.size());
        EXPECT_TRUE(out == wantFurther);
        auto shortHistory = stream;
        shortHistory[1] = 0xFF; // stored length 32767
        shortHistory[2] = 0x7F;
        shortHistory[3] = 0x00;
        shortHistory[4] = 0x80;
        shortHistory.erase(shortHistory.begin() + 5);
        EXPECT_EQ(ErrorOf(shortHistory), 25109);
    });
}

// Stored blocks between Huffman blocks: the bytes the fast loop has already
// taken into its bit buffer must come back as the stored block's content.
TEST(Inflate, StoredBlocksBetweenHuffmanBlocks) {
    auto first = Payload(50000, 21);
    auto stored = mvtest::RandomBytes(3000, 22);
    auto last = Payload(30000, 23);
    z_stream z{};
    ASSERT_EQ(deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::vector<uint8_t> stream(200000);
    z.next_out = stream.data();
    z.avail_out = static_cast<uInt>(stream.size());
    auto feed = [&](const std::vector<uint8_t>& part, int flush) {
        z.next_in = const_cast<uint8_t*>(part.data());
        z.avail_in = static_cast<uInt>(part.size());
        EXPECT_NE(deflate(&z, flush), Z_STREAM_ERROR);
        EXPECT_EQ(z.avail_in, 0u);
    };
    feed(first, Z_NO_FLUSH);
    ASSERT_EQ(deflateParams(&z, 0, Z_DEFAULT_STRATEGY), Z_OK); // ends the Huffman block
    feed(stored, Z_FULL_FLUSH);                                // stored blocks
    ASSERT_EQ(deflateParams(&z, 1, Z_DEFAULT_STRATEGY), Z_OK);
    feed(last, Z_FINISH);
    stream.resize(z.total_out);
    deflateEnd(&z);
    ASSERT_NE(std::search(stream.begin(), stream.end(), stored.begin(), stored.begin() + 1000), stream.end())
        << "the middle part is not stored";
    std::vector<uint8_t> data = first;
    data.insert(data.end(), stored.begin(), stored.end());
    data.insert(data.end(), last.begin(), last.end());
    WithEachLoop([&] {
        std::vector<uint8_t> out(data.size());
        size_t consumed = 0;
        ASSERT_EQ(InflateMemory(stream.data(), stream.size(), out.data(), out.size(), &consumed),
                  data.size());
        EXPECT_TRUE(out == data);
        EXPECT_EQ(consumed, stream.size());
        for (uint32_t seed : {1u, 2u, 3u}) {
            ChunkedInput in(stream, seed);
            MemoryOutput sink(data.size());
            Inflate(in, sink, data.size());
            EXPECT_TRUE(sink.bytes == data);
        }
    });
}

TEST(Inflate, ExactCapacityAndTrailingBytes) {
    auto data = Payload(70000, 3);
    auto stream = ZlibRawDeflate(data, 6);
    const size_t streamSize = stream.size();
    stream.insert(stream.end(), {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17});
    std::vector<uint8_t> out(data.size());
    size_t consumed = 0;
    EXPECT_EQ(InflateMemory(stream.data(), stream.size(), out.data(), out.size(), &consumed), data.size());
    EXPECT_EQ(consumed, streamSize);
    EXPECT_TRUE(out == data);
    MemoryInput in(stream);
    MemoryOutput sink;
    InflateResult r = Inflate(in, sink, data.size());
    EXPECT_EQ(r.consumed, streamSize);
    EXPECT_TRUE(sink.bytes == data);
}

TEST(Inflate, EmptyInputGivesEmptyOutput) {
    MemoryInput in(nullptr, 0);
    MemoryOutput sink;
    InflateResult r = Inflate(in, sink, 0);
    EXPECT_EQ(r.written, 0u);
    EXPECT_TRUE(sink.bytes.empty());
    EXPECT_EQ(InflateMemory(nullptr, 0, nullptr, 0), 0u);
}

TEST(Inflate, ErrorTable) {
    struct Case {
        const char* what;
        std::vector<uint8_t> stream;
        int code;
    };
    std::vector<Case> cases;
    cases.push_back({"block type 3", {0x07}, 25109});
    cases.push_back({"stored NLEN not the complement of LEN", {0x01, 0x05, 0x00, 0x00, 0x00, 'a'}, 25109});
    {
        BitWriter w; // dynamic block declaring 287 literal/length codes
        w.Put(1, 1);
        w.Put(2, 2);
        w.Put(30, 5);
        w.Put(0, 5);
        w.Put(0, 4);
        cases.push_back({"too many literal/length codes", w.Done(), 25247});
    }
    {
        BitWriter w; // fixed block: a match before any output
        w.Put(1, 1);
        w.Put(1, 2);
        w.PutCode(1, 7); // length code 257
        w.PutCode(0, 5); // distance 1
        cases.push_back({"distance before the start of the output", w.Done(), 25109});
    }
    {
        BitWriter w; // fixed block using literal/length code 286
        w.Put(1, 1);
        w.Put(1, 2);
        w.PutCode(0xC6, 8);
        cases.push_back({"literal/length code 286", w.Done(), 25109});
    }
    auto dynamicWithCodeLengthCodes = [](unsigned a, unsigned b) { // two 1-bit code-length codes
        static const unsigned order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
        BitWriter w;
        w.Put(1, 1);
        w.Put(2, 2);
        w.Put(0, 5);  // 257 literal/length codes
        w.Put(0, 5);  // 1 distance code
        w.Put(15, 4); // 19 code-length codes
        for (unsigned i = 0; i < 19; ++i) w.Put(order[i] == a || order[i] == b ? 1 : 0, 3);
        return w;
    };
    {
        BitWriter w = dynamicWithCodeLengthCodes(1, 2); // 1 -> code 0, 2 -> code 1
        for (int i = 0; i < 258; ++i) w.PutCode(0, 1);  // every length 1: over-subscribed
        cases.push_back({"literal/length code set that cannot be built", w.Done(), 25138});
    }
    {
        BitWriter w = dynamicWithCodeLengthCodes(1, 16); // 1 -> code 0, 16 -> code 1
        w.PutCode(1, 1);
        w.Put(0, 2);
        cases.push_back({"repeat without a previous length", w.Done(), 25138});
    }
    {
        auto data = Payload(20000, 8);
        auto stream = ZlibRawDeflate(data, 6);
        stream.resize(stream.size() / 2);
        cases.push_back({"data ends early", stream, 25109});
    }
    WithEachLoop([&] {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.what);
            EXPECT_EQ(ErrorOf(c.stream), c.code);
        }
    });
}

TEST(Inflate, NeverWritesBeyondTheDeclaredSize) {
    std::vector<uint8_t> zeros(10 << 20, 0);
    auto bomb = ZlibRawDeflate(zeros, 9);
    ASSERT_LT(bomb.size(), 20000u);
    MemoryInput in(bomb);
    MemoryOutput sink(1024);
    try {
        Inflate(in, sink, 1024);
        FAIL() << "a stream decoding beyond the declared size was accepted";
    } catch (const ECodecError& e) {
        EXPECT_EQ(e.Code(), 25109);
    }
    EXPECT_LE(sink.bytes.size(), 1024u);
    EXPECT_EQ(ErrorOf(bomb, 1024), 25109);
}

TEST(Inflate, StopsWhenCancelled) {
    struct CancellingOutput : MemoryOutput {
        bool Cancelled() const override { return bytes.size() > 0; }
    } sink;
    auto data = Payload(1 << 20, 4);
    auto stream = ZlibRawDeflate(data, 1);
    MemoryInput in(stream);
    InflateResult r = Inflate(in, sink);
    EXPECT_FALSE(r.complete);
    EXPECT_LT(sink.bytes.size(), data.size());
}
