// ARJ method 4 against archives made by arj and the corpus; methods 1-3 of the
// same archives through the static-Huffman decoder; hostile streams.
#include "archive/codecs/ArjDecode.h"
#include "archive/codecs/LzhDecode.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace mv;
using namespace mvtest;

namespace {

uint32_t Le32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}
uint16_t Le16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}

struct TArjMember {
    std::string name;
    int method = 0;
    uint32_t crc = 0;
    uint32_t size = 0;
    std::vector<uint8_t> packed;
};

// A minimal walk over a plain ARJ archive (main header at offset 0).
std::vector<TArjMember> Members(const std::vector<uint8_t>& arc) {
    std::vector<TArjMember> list;
    size_t pos = 0;
    bool main = true;
    while (pos + 4 <= arc.size()) {
        EXPECT_EQ(Le16(&arc[pos]), 0xEA60);
        uint16_t size = Le16(&arc[pos + 2]);
        pos += 4;
        if (size == 0) break;
        const uint8_t* h = &arc[pos];
        pos += size + 4;
        for (uint16_t ext; (ext = Le16(&arc[pos])) != 0;) pos += 2 + ext + 4;
        pos += 2;
        if (main) {
            main = false;
            continue;
        }
        TArjMember m;
        m.name = reinterpret_cast<const char*>(h + h[0]);
        m.method = h[5];
        uint32_t packed = Le32(h + 12);
        m.size = Le32(h + 16);
        m.crc = Le32(h + 20);
        m.packed.assign(arc.begin() + pos, arc.begin() + pos + packed);
        pos += packed;
        list.push_back(std::move(m));
    }
    return list;
}

std::vector<uint8_t> Decode(const TArjMember& m) {
    MemoryInput in(m.packed);
    MemoryOutput out(m.size);
    if (m.method == 4)
        EXPECT_EQ(ArjDecodeFast(in, out, m.size), m.size);
    else if (m.method == 0)
        out.bytes = m.packed;
    else
        EXPECT_EQ(Lzh3Decode(in, out, m.size, LzhParamsArj), m.size);
    return out.bytes;
}

int ErrorOf(const std::vector<uint8_t>& packed, uint64_t size) {
    MemoryInput in(packed);
    MemoryOutput out(size);
    try {
        ArjDecodeFast(in, out, size);
    } catch (const ECodecError& e) {
        return e.Code();
    }
    return 0;
}

} // namespace

TEST(ArjDecode, MethodsFromArjRoundTrip) {
    MV_REQUIRE_TOOL("arj");
    TempDir dir;
    std::vector<std::pair<std::string, std::vector<uint8_t>>> files = {
        {"text.txt", TextBytes(300000, 7)}, // several window flushes
        {"random.bin", RandomBytes(40000, 3)},
        {"runs.bin", std::vector<uint8_t>(70000, 'a')},
        {"one.txt", {'x'}},
    };
    for (auto& [name, data] : files) WriteFileBytes(dir / name, data);
    for (int method = 1; method <= 4; ++method) {
        SCOPED_TRACE(method);
        std::string arc = "m" + std::to_string(method) + ".arj";
        auto r = mvtest::Run("arj a -m" + std::to_string(method) + " -y " + arc +
                                 " text.txt random.bin runs.bin one.txt",
                             dir.Path());
        ASSERT_EQ(r.exitCode, 0) << r.output;
        auto members = Members(ReadFileBytes(dir / arc));
        ASSERT_EQ(members.size(), files.size());
        for (auto& m : members) {
            SCOPED_TRACE(m.name);
            auto bytes = Decode(m);
            EXPECT_EQ(ReferenceCrc32(bytes.data(), bytes.size()), m.crc);
            EXPECT_EQ(bytes, ReadFileBytes(dir / m.name));
        }
    }
}

TEST(ArjDecode, CorpusMethodFour) {
    auto arc = ReadFileBytes(CorpusDir() / "arj" / "method4.arj");
    auto members = Members(arc);
    ASSERT_FALSE(members.empty());
    for (auto& m : members) {
        ASSERT_EQ(m.method, 4);
        auto bytes = Decode(m);
        EXPECT_EQ(bytes.size(), m.size);
        EXPECT_EQ(ReferenceCrc32(bytes.data(), bytes.size()), m.crc);
    }
}

TEST(ArjDecode, HostileStreams) {
    // "0" literal 'A' (0 + 8 bits), then a match of 3 bytes at distance 2 (before the start).
    std::vector<uint8_t> early = {0x20, 0xC0, 0x04, 0x00}; // 0 01000001 | 10 0 | 0 000000001
    EXPECT_EQ(ErrorOf(early, 10), 25139);
    // Truncated: a huge declared size from a few literal bytes ends with 25236, not gigabytes.
    EXPECT_EQ(ErrorOf({0x00, 0x00}, uint64_t(1) << 32), 25236);
    EXPECT_EQ(ErrorOf({}, 100), 25236);
    // Declared size 0 reads nothing.
    EXPECT_EQ(ErrorOf({}, 0), 0);
}

TEST(ArjDecode, NeverWritesPastTheDeclaredSize) {
    // Literal 'a' then a long match of 256 at distance 1; declared 5 bytes.
    // bits: 0 01100001 | 1111111 1111111 (c=254) | 0 000000000 (ptr 0)
    std::vector<uint8_t> s = {0x30, 0xFF, 0xFE, 0x00, 0x00};
    MemoryInput in(s);
    MemoryOutput out(5);
    EXPECT_EQ(ArjDecodeFast(in, out, 5), 5u);
    EXPECT_EQ(out.bytes, std::vector<uint8_t>(5, 'a'));
}
