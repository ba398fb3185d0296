// Unshrink on the shrunk members of the corpus' PKZIP 1.x archives, and its errors.
#include "archive/codecs/Unshrink.h"
#include "tests/archive/codecs/ZipDecodeTestSupport.h"

#include <gtest/gtest.h>

using namespace mv;

namespace {
int ErrorOf(const std::vector<uint8_t>& data, uint64_t size) {
    MemoryInput in(data);
    MemoryOutput out(size);
    try {
        Unshrink(in, out, size);
    } catch (const ECodecError& e) {
        return e.Code();
    }
    return 0;
}
} // namespace

TEST(Unshrink, DecodesCorpusMembers) {
    int decoded = 0;
    for (const char* archive : {"zip/pkzip1_shrink.zip", "zip/pkzip1_reduce1.zip"}) {
        for (const auto& m : mvtest::RawZipMembers(mvtest::CorpusDir() / archive)) {
            if (m.method != 1) continue;
            SCOPED_TRACE(std::string(archive) + " " + m.name);
            MemoryInput in(m.data);
            MemoryOutput out(m.unpackedSize);
            Unshrink(in, out, m.unpackedSize);
            EXPECT_EQ(out.bytes.size(), m.unpackedSize);
            EXPECT_EQ(mvtest::ReferenceCrc32(out.bytes.data(), out.bytes.size()), m.crc);
            ++decoded;
        }
    }
    EXPECT_GE(decoded, 3);
}

TEST(Unshrink, Errors) {
    auto members = mvtest::RawZipMembers(mvtest::CorpusDir() / "zip/pkzip1_shrink.zip");
    ASSERT_FALSE(members.empty());
    const auto& m = members[0];
    ASSERT_EQ(m.method, 1);
    // Data that ends before the unpacked size is reached.
    std::vector<uint8_t> cut(m.data.begin(), m.data.begin() + m.data.size() / 2);
    EXPECT_EQ(ErrorOf(cut, m.unpackedSize), 25109);
    EXPECT_EQ(ErrorOf({}, 10), 25109);           // no first code
    EXPECT_EQ(ErrorOf({0x00, 0x03}, 10), 25109); // first code 256 is not a byte
    // 'A', then control code 256 followed by 3.
    EXPECT_EQ(ErrorOf({0x41, 0x00, 0x0E, 0x00}, 10), 25109);
    // 'A', then 256,1 five times: the code size would pass 13 bits.
    std::vector<bool> bitsOut;
    auto put = [&](unsigned v, unsigned n) {
        for (unsigned b = 0; b < n; ++b) bitsOut.push_back((v >> b) & 1);
    };
    put(0x41, 9);
    for (unsigned size = 9; size < 14; ++size) {
        put(256, size);
        put(1, size);
    }
    std::vector<uint8_t> grow((bitsOut.size() + 7) / 8, 0);
    for (size_t i = 0; i < bitsOut.size(); ++i) grow[i / 8] |= bitsOut[i] << (i % 8);
    EXPECT_EQ(ErrorOf(grow, 100), 25109);
    // Never more than the declared size, and a zero size reads nothing.
    MemoryInput in(m.data);
    MemoryOutput out(100);
    Unshrink(in, out, 100);
    EXPECT_EQ(out.bytes.size(), 100u);
    EXPECT_EQ(ErrorOf({}, 0), 0);
}
