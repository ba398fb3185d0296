// Unreduce on the reduced members (factors 1 to 4) of the corpus' PKZIP archives.
#include "archive/codecs/Unreduce.h"
#include "tests/archive/codecs/ZipDecodeTestSupport.h"

#include <gtest/gtest.h>

using namespace mv;

TEST(Unreduce, DecodesEveryFactor) {
    for (int factor = 1; factor <= 4; ++factor) {
        const std::string archive = "zip/pkzip1_reduce" + std::to_string(factor) + ".zip";
        int decoded = 0;
        for (const auto& m : mvtest::RawZipMembers(mvtest::CorpusDir() / archive)) {
            if (m.method < 2 || m.method > 5) continue;
            SCOPED_TRACE(archive + " " + m.name);
            ASSERT_EQ(m.method, factor + 1);
            MemoryInput in(m.data);
            MemoryOutput out(m.unpackedSize);
            Unreduce(in, out, m.unpackedSize, factor);
            EXPECT_EQ(out.bytes.size(), m.unpackedSize);
            EXPECT_EQ(mvtest::ReferenceCrc32(out.bytes.data(), out.bytes.size()), m.crc);
            ++decoded;
        }
        EXPECT_EQ(decoded, 2) << archive;
    }
}

TEST(Unreduce, TruncatedDataAndDeclaredSize) {
    auto members = mvtest::RawZipMembers(mvtest::CorpusDir() / "zip/pkzip1_reduce3.zip");
    for (const auto& m : members) {
        if (m.method != 4) continue;
        std::vector<uint8_t> cut(m.data.begin(), m.data.begin() + m.data.size() * 2 / 3);
        MemoryInput in(cut);
        MemoryOutput out(m.unpackedSize);
        try {
            Unreduce(in, out, m.unpackedSize, 3);
            ADD_FAILURE() << "truncated member accepted";
        } catch (const ECodecError& e) {
            EXPECT_EQ(e.Code(), 25109);
        }
        MemoryInput whole(m.data);
        MemoryOutput part(1000);
        Unreduce(whole, part, 1000, 3); // stops at the declared size
        EXPECT_EQ(part.bytes.size(), 1000u);
        return;
    }
    FAIL() << "no reduced member";
}
