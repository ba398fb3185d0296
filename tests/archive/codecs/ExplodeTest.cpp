// Explode on the imploded members of the corpus (4 KiB window with two trees, 8 KiB
// window with three trees), and its errors.
#include "archive/codecs/Explode.h"
#include "tests/archive/codecs/ZipDecodeTestSupport.h"

#include <gtest/gtest.h>

using namespace mv;

namespace {
int ErrorOf(const std::vector<uint8_t>& data, uint64_t size, uint16_t flags) {
    MemoryInput in(data);
    MemoryOutput out(size);
    try {
        Explode(in, out, size, flags);
    } catch (const ECodecError& e) {
        return e.Code();
    }
    return 0;
}
} // namespace

TEST(Explode, DecodesBothWindowsAndTreeCounts) {
    int seen[8] = {};
    for (const auto& m : mvtest::RawZipMembers(mvtest::CorpusDir() / "zip/pkzip1_implode.zip")) {
        if (m.method != 6) continue;
        SCOPED_TRACE(m.name);
        MemoryInput in(m.data);
        MemoryOutput out(m.unpackedSize);
        Explode(in, out, m.unpackedSize, m.flags);
        EXPECT_EQ(out.bytes.size(), m.unpackedSize);
        EXPECT_EQ(mvtest::ReferenceCrc32(out.bytes.data(), out.bytes.size()), m.crc);
        seen[m.flags & 6]++;
    }
    EXPECT_EQ(seen[0], 1); // 4 KiB, two trees
    EXPECT_EQ(seen[6], 1); // 8 KiB, three trees
}

TEST(Explode, Errors) {
    // A length tree of 64 one-bit codes: the codes overflow.
    std::vector<uint8_t> overfull = {3, 0xF0, 0xF0, 0xF0, 0xF0};
    EXPECT_EQ(ErrorOf(overfull, 10, 0), 25293);
    // A tree description that ends early, and one with too many lengths.
    EXPECT_EQ(ErrorOf({5, 0xF5}, 10, 0), 25109);
    EXPECT_EQ(ErrorOf({4, 0xF5, 0xF5, 0xF5, 0xF5, 0xF5}, 10, 0), 25109);
    for (const auto& m : mvtest::RawZipMembers(mvtest::CorpusDir() / "zip/pkzip1_implode.zip")) {
        if (m.method != 6) continue;
        std::vector<uint8_t> cut(m.data.begin(), m.data.begin() + m.data.size() / 2);
        EXPECT_EQ(ErrorOf(cut, m.unpackedSize, m.flags), 25109) << m.name;
        EXPECT_EQ(ErrorOf(m.data, 500, m.flags), 0); // stops at the declared size
    }
}
