// The BH reader on archives built here header by header (no tool writes BH):
// stored, fuse (our LZH encoder) and deflate (our encoder) members, encrypted
// members and the password chain, unknown methods and damaged archives.
#include "archive/readers/UnBh.h"
#include "archive/codecs/Deflate.h"
#include "archive/codecs/LzhEncode.h"
#include "archive/framework/ZipCrypt.h"
#include "tests/archive/readers/UnArcTestSupport.h"

using namespace oldarc;

namespace {

constexpr uint32_t kDos = 0x5A216000; // 2025-01-01 12:00

struct BhMember {
    std::string name;
    uint8_t method;
    std::vector<uint8_t> plain;
    std::string password = {}; // non-empty: encrypted
    uint8_t flags = 0;         // beyond the encryption bit
};

std::vector<uint8_t> Pack(uint8_t method, const std::vector<uint8_t>& d) {
    mv::MemoryInput in(d);
    mv::MemoryOutput out;
    if (method == 1)
        mv::FuseCompress(in, out);
    else if (method == 2 || method == 8)
        mv::Deflate(in, out, mv::TDeflateOptions{});
    else
        return d;
    return out.bytes;
}

std::vector<uint8_t> BuildBh(const std::vector<BhMember>& ms) {
    std::vector<uint8_t> a;
    for (const auto& m : ms) {
        const uint32_t crc = mvtest::ReferenceCrc32(m.plain.data(), m.plain.size());
        std::vector<uint8_t> data = Pack(m.method, m.plain);
        uint8_t flags = m.flags;
        if (!m.password.empty()) {
            flags |= 1;
            mv::TZipKeys keys;
            uint8_t header[12];
            const uint32_t check = (flags & 8) ? kDos << 16 : crc;
            // Fixed header bytes (not random ones), so that whether a wrong
            // password passes the one-byte check is the same on every run.
            keys.InitKeys(m.password);
            for (int i = 0; i < 10; ++i) header[i] = keys.EncryptByte(static_cast<uint8_t>(0x30 + i));
            header[10] = keys.EncryptByte(static_cast<uint8_t>(check >> 16));
            header[11] = keys.EncryptByte(static_cast<uint8_t>(check >> 24));
            std::vector<uint8_t> enc(data.size());
            if (!data.empty()) keys.EncryptBlock(data.data(), enc.data(), data.size());
            data.assign(header, header + 12);
            data.insert(data.end(), enc.begin(), enc.end());
        }
        std::vector<uint8_t> h;
        Put32(h, 0x07054842);
        Put16(h, 1);
        h.insert(h.end(), {0, 20, 20, flags, m.method});
        Put32(h, kDos);
        Put32(h, uint32_t(data.size()));
        Put32(h, uint32_t(m.plain.size()));
        Put32(h, crc);
        Put16(h, 32);
        Put32(h, 0);
        Put16(h, uint32_t(m.name.size()));
        Put16(h, 0);
        a.insert(a.end(), h.begin(), h.end());
        a.insert(a.end(), m.name.begin(), m.name.end());
        a.insert(a.end(), data.begin(), data.end());
    }
    return a;
}

} // namespace

TEST(UnBh, MethodsExtractByteExactly) {
    const auto text = mvtest::TextBytes(50000, 21);
    const auto bin = mvtest::RandomBytes(3000, 22);
    mvtest::TempDir dir;
    const auto archive = dir / "t.bh";
    mvtest::WriteFileBytes(archive, BuildBh({{"STORED.BIN", 0, bin},
                                             {"FUSE.TXT", 1, text},
                                             {"DEFL8.TXT", 8, text},
                                             {"DEFL2.TXT", 2, text},
                                             {"sub\\EMPTY.TXT", 0, {}}}));
    mvtest::TempDir out;
    Outcome o = ExtractAll(archive, out.Path());
    EXPECT_TRUE(o.errors.empty());
    auto tree = Tree(out.Path());
    EXPECT_EQ(tree.size(), 5u);
    EXPECT_EQ(tree["STORED.BIN"], bin);
    EXPECT_EQ(tree["FUSE.TXT"], text);
    EXPECT_EQ(tree["DEFL8.TXT"], text);
    EXPECT_EQ(tree["DEFL2.TXT"], text);
    EXPECT_TRUE(tree.count("sub/EMPTY.TXT"));
}

TEST(UnBh, PasswordChain) {
    const auto text = mvtest::TextBytes(4000, 23);
    mvtest::TempDir dir;
    const auto archive = dir / "p.bh";
    mvtest::WriteFileBytes(archive, BuildBh({{"A.TXT", 8, text, "listed"},
                                             {"B.TXT", 0, text, "typed", 8},
                                             {"C.TXT", 1, text, "typed"},
                                             {"D.TXT", 0, {'d'}}}));
    {
        // "listed" from Passwords, "typed" asked once and then tried first.
        int prompts = 0;
        Options opt;
        opt.passwords = {"listed"};
        opt.answers = {"typed"};
        opt.prompts = &prompts;
        mvtest::TempDir out;
        Outcome o = ExtractAll(archive, out.Path(), opt);
        EXPECT_TRUE(o.errors.empty());
        EXPECT_EQ(prompts, 1);
        auto tree = Tree(out.Path());
        EXPECT_EQ(tree.size(), 4u);
        EXPECT_EQ(tree["A.TXT"], text);
        EXPECT_EQ(tree["B.TXT"], text);
        EXPECT_EQ(tree["C.TXT"], text);
    }
    {
        // Wrong answers: 26517 each, then 26522, and the extraction ends.
        Options opt;
        opt.answers = {"no", "nope", "never"};
        mvtest::TempDir out;
        Outcome o = ExtractAll(archive, out.Path(), opt);
        EXPECT_EQ(o.errors, (std::vector<int>{26517, 26517, 26517, 26522}));
        EXPECT_TRUE(Tree(out.Path()).empty());
    }
    {
        // No handler: 25270.
        mvtest::TempDir out;
        Outcome o = ExtractAll(archive, out.Path());
        EXPECT_EQ(o.errors, std::vector<int>{25270});
        EXPECT_TRUE(Tree(out.Path()).empty());
    }
}

TEST(UnBh, DamagedArchives) {
    mvtest::TempDir dir;
    const auto text = mvtest::TextBytes(6000, 24);
    {
        // Method 5: 25326; the next member still extracts.
        mvtest::WriteFileBytes(dir / "m.bh", BuildBh({{"ODD.TXT", 5, {'x'}}, {"OK.TXT", 0, {'k'}}}));
        mvtest::TempDir out;
        Outcome o = ExtractAll(dir / "m.bh", out.Path());
        EXPECT_EQ(o.errors, std::vector<int>{25326});
        EXPECT_EQ(Tree(out.Path()).size(), 1u);
    }
    for (uint8_t method : {0, 1, 8}) {
        // Truncated data: a failed member, no file.
        auto a = BuildBh({{"CUT.TXT", method, text}});
        a.erase(a.end() - 100, a.end());
        mvtest::WriteFileBytes(dir / "cut.bh", a);
        mvtest::TempDir out;
        Outcome o = ExtractAll(dir / "cut.bh", out.Path());
        EXPECT_TRUE(Tree(out.Path()).empty()) << int(method);
        ASSERT_EQ(o.ends.size(), 1u);
        EXPECT_FALSE(o.ends[0].second);
    }
    {
        // A traversal name, then a packed size of 0xFFFFFFFF: the walk ends after
        // it, its 10 declared bytes are there and pass their check, nothing outside.
        mvtest::TempDir out;
        Outcome o = ExtractAll(mvtest::FixtureDir() / "hostile" / "bh_huge_traversal.bh", out.Path());
        auto tree = Tree(out.Path());
        EXPECT_EQ(tree.size(), 2u);
        EXPECT_TRUE(tree.count("evil.txt"));
        EXPECT_EQ(tree["big.txt"].size(), 10u);
    }
}
