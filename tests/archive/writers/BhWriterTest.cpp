// The BH writer: no other tool reads BH, so each entry is checked here field by
// field, its data decrypted with the password and unpacked with our inflate and
// -lh5- decoders against the file's bytes and CRC; updates keep old entries.
#include "archive/writers/BhWriter.h"

#include "archive/codecs/Inflate.h"
#include "archive/codecs/LzhDecode.h"
#include "archive/framework/Crc.h"
#include "archive/framework/ZipCrypt.h"
#include "archive/framework/ZipRecords.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <map>

using namespace mv;
using namespace mvtest;

namespace {

struct TBhEntry {
    std::vector<uint8_t> raw; // header, name and packed data
    uint8_t flags = 0, method = 0;
    uint32_t packed = 0, size = 0, crc = 0, date = 0;
    std::vector<uint8_t> data; // unpacked
};

std::map<std::string, TBhEntry> ReadBh(const fs::path& path, const std::string& password) {
    auto a = ReadFileBytes(path);
    std::map<std::string, TBhEntry> out;
    size_t p = 0;
    while (p < a.size()) {
        EXPECT_GE(a.size() - p, 37u);
        if (a.size() - p < 37) break;
        const uint8_t* h = a.data() + p;
        EXPECT_EQ(LE32(h), 0x07054842u);
        TBhEntry e;
        uint16_t n = LE16(h + 33);
        EXPECT_EQ(LE16(h + 4), 37 + n);
        EXPECT_EQ(h[6], 37);
        e.flags = h[9];
        e.method = h[10];
        e.date = LE32(h + 11);
        e.packed = LE32(h + 15);
        e.size = LE32(h + 19);
        e.crc = LE32(h + 23);
        std::string name(reinterpret_cast<const char*>(h + 37), n);
        std::vector<uint8_t> d(a.begin() + p + 37 + n, a.begin() + p + 37 + n + e.packed);
        e.raw.assign(a.begin() + p, a.begin() + p + 37 + n + e.packed);
        if (e.flags & 1) {
            TZipKeys keys;
            EXPECT_TRUE(ZipTestEncryptHeader(keys, d.data(), e.flags, password, e.date, e.crc)) << name;
            std::vector<uint8_t> plain(d.size() - 12);
            keys.DecryptBlock(d.data() + 12, plain.data(), plain.size());
            d = plain;
        }
        MemoryInput in(d);
        MemoryOutput o(e.size);
        if (e.method == 0) {
            e.data = d;
        } else if (e.method == 8) {
            Inflate(in, o, e.size);
            e.data = o.bytes;
        } else if (e.method == 1) {
            EXPECT_EQ(d.back(), 0) << "fuse ends in a zero byte";
            Lzh3Decode(in, o, e.size, LzhParamsLh5);
            e.data = o.bytes;
        }
        EXPECT_EQ(e.data.size(), e.size) << name;
        EXPECT_EQ(e.size ? Crc32Of(e.data.data(), e.data.size()) : 0u, e.crc) << name;
        p += 37 + n + e.packed;
        out[name] = std::move(e);
    }
    return out;
}

void MakeTree(const fs::path& dir) {
    WriteFileBytes(dir / "text.txt", TextBytes(50000, 1));
    WriteFileBytes(dir / "random.bin", RandomBytes(20000, 2));
    WriteFileBytes(dir / "small.txt", TextBytes(20, 3));
    WriteFileBytes(dir / "empty.txt", {});
    WriteFileBytes(dir / "old.zip", TextBytes(3000, 6));
    WriteFileBytes(dir / "sub" / "code.c", TextBytes(9000, 4));
}

int Bh(const fs::path& archive, const std::vector<std::string>& specs, TCompressMethod method,
       const std::string& password) {
    TBlakHole bh;
    bh.SetArchiveFile(archive.string());
    bh.SetRecurseDirs(true);
    bh.SetCompressMethod(method);
    bh.SetPassword(password);
    for (const auto& s : specs) bh.FileSpecList().push_back(s);
    bh.OnReplaceFile = [](TObject*, const std::string&, const std::string&, TDateTime, TDateTime, int64_t,
                          int64_t, int, int, bool& replace) { replace = true; };
    bh.Compress();
    return bh.LastError();
}

} // namespace

TEST(BhWriter, EveryMethodWithAndWithoutPasswordRoundTrips) {
    for (auto method : {TCompressMethod::cmFuse, TCompressMethod::cmDeflate, TCompressMethod::cmStore}) {
        for (std::string password : {"", "secret"}) {
            TempDir t;
            MakeTree(t / "src");
            fs::path arc = t / "x.bh";
            ASSERT_EQ(Bh(arc, {(t / "src" / "*").string()}, method, password), 0);
            auto entries = ReadBh(arc, password);
            ASSERT_EQ(entries.size(), 6u);
            for (auto& [name, e] : entries) {
                auto src = ReadFileBytes(t / "src" / name);
                EXPECT_EQ(e.data, src) << name;
                if (src.empty()) {
                    EXPECT_EQ(e.flags, 0);
                    EXPECT_EQ(e.method, 0);
                    EXPECT_EQ(e.packed, 0u);
                } else {
                    EXPECT_EQ(e.flags & 1, password.empty() ? 0 : 1) << name;
                }
            }
            EXPECT_EQ(entries["old.zip"].method, 0);
            EXPECT_EQ(entries["random.bin"].method, 0);
            uint8_t want = method == TCompressMethod::cmFuse      ? 1
                           : method == TCompressMethod::cmDeflate ? 8
                                                                  : 0;
            EXPECT_EQ(entries["text.txt"].method, want);
            EXPECT_EQ(entries["sub/code.c"].method, want);
        }
    }
}

TEST(BhWriter, UpdateKeepsOtherEntriesAndRefusesDamagedArchives) {
    TempDir t;
    MakeTree(t / "src");
    fs::path arc = t / "x.bh";
    ASSERT_EQ(Bh(arc, {(t / "src" / "*").string()}, TCompressMethod::cmFuse, "pw"), 0);
    auto before = ReadBh(arc, "pw");
    WriteFileBytes(t / "src" / "text.txt", TextBytes(51000, 7));
    ASSERT_EQ(Bh(arc, {(t / "src" / "text.txt").string()}, TCompressMethod::cmDeflate, ""), 0);
    auto after = ReadBh(arc, "pw");
    ASSERT_EQ(after.size(), before.size());
    for (auto& [name, e] : before)
        if (name != "text.txt") {
            EXPECT_EQ(after[name].raw, e.raw) << name;
        }
    EXPECT_EQ(after["text.txt"].data, TextBytes(51000, 7));
    EXPECT_EQ(after["text.txt"].flags & 1, 0);
    std::vector<uint8_t> junk(300, 0x11);
    WriteFileBytes(t / "j.bh", junk);
    EXPECT_NE(Bh(t / "j.bh", {(t / "src" / "small.txt").string()}, TCompressMethod::cmFuse, ""), 0);
    EXPECT_EQ(ReadFileBytes(t / "j.bh"), junk);
}
