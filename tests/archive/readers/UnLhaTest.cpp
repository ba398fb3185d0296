#include "archive/codecs/Lh1Codec.h"
#include "archive/codecs/LzhDecode.h"
#include "archive/framework/Crc.h"
#include "archive/readers/UnLhaHeader.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

using namespace mv;

namespace {

struct TWalk {
    std::vector<TLhaHeader> headers;
    TLhaHeaderStatus last = TLhaHeaderStatus::lhsEnd;
};

TLhaReadAt ReaderOf(const std::vector<uint8_t>& a) {
    return [&a](int64_t pos, uint8_t* buf, int64_t n) -> int64_t {
        if (pos < 0 || pos >= int64_t(a.size())) return 0;
        int64_t k = std::min<int64_t>(n, int64_t(a.size()) - pos);
        std::memcpy(buf, a.data() + pos, size_t(k));
        return k;
    };
}

// The first offset holding a header that parses (the archive may follow a program).
int64_t FindStart(const std::vector<uint8_t>& a) {
    for (size_t i = 0; i + 7 < a.size(); ++i) {
        if (a[i + 2] == '-' && a[i + 3] == 'l' && a[i + 6] == '-') {
            TLhaHeader h;
            if (ReadLhaHeader(ReaderOf(a), int64_t(i), int64_t(a.size()), h) == TLhaHeaderStatus::lhsOk)
                return int64_t(i);
        }
    }
    return -1;
}

TWalk Walk(const std::vector<uint8_t>& a, int64_t start = 0) {
    TWalk w;
    int64_t pos = start;
    for (;;) {
        TLhaHeader h;
        w.last = ReadLhaHeader(ReaderOf(a), pos, int64_t(a.size()), h);
        if (w.last != TLhaHeaderStatus::lhsOk) break;
        w.headers.push_back(h);
        if (h.Next <= pos) break;
        pos = h.Next;
    }
    return w;
}

// Decodes one member with the codecs; the error number, or 0.
int DecodeMember(const std::vector<uint8_t>& a, const TLhaHeader& h, std::vector<uint8_t>& out) {
    MemoryInput in(a.data() + h.DataOffset,
                   size_t(std::min<int64_t>(h.PackedSize, int64_t(a.size()) - h.DataOffset)));
    MemoryOutput sink(size_t(h.UnpackedSize));
    try {
        switch (h.MethodLetter()) {
        case '0':
            sink.Write(a.data() + h.DataOffset, size_t(h.UnpackedSize));
            break;
        case '1':
            Lh1Decompress(in, sink, uint64_t(h.UnpackedSize));
            break;
        case '4':
            Lzh3Decode(in, sink, uint64_t(h.UnpackedSize), LzhParamsLh4);
            break;
        case '5':
            Lzh3Decode(in, sink, uint64_t(h.UnpackedSize), LzhParamsLh5);
            break;
        case '6':
            Lzh3Decode(in, sink, uint64_t(h.UnpackedSize), LzhParamsLh6);
            break;
        default:
            return 25326;
        }
    } catch (const ECodecError& e) {
        return e.Code();
    }
    out = sink.bytes;
    return Crc16Of(out.data(), out.size()) == h.Crc ? 0 : 25151;
}

} // namespace

TEST(LhaHeader, DirectoryNamesTakeEverySeparatorButDoubleByteSecondHalves) {
    EXPECT_EQ(LhaDirectoryName("sub\xFF"
                               "deeper\xFF"),
              "sub\\deeper\\");
    EXPECT_EQ(LhaDirectoryName("  a/b\\c \x01"), "a\\b\\c\\");
    EXPECT_EQ(LhaDirectoryName("\x83\x5C"
                               "x"),
              "\x83\x5C"
              "x\\"); // 0x5C after a lead byte stays
    EXPECT_EQ(LhaDirectoryName(""), "");
}

TEST(LhaHeader, CorpusArchivesWalkAndDecode) {
    auto manifest = mvtest::ReadManifest();
    int seen = 0;
    for (const auto& e : manifest) {
        if (e.format != "lha") continue;
        SCOPED_TRACE(e.path);
        ++seen;
        auto a = mvtest::ReadFileBytes(mvtest::CorpusDir() / e.path);
        int64_t start = FindStart(a);
        ASSERT_GE(start, 0);
        TWalk w = Walk(a, start);
        EXPECT_EQ(w.last, TLhaHeaderStatus::lhsEnd);
        std::map<std::string, const mvtest::CorpusEntry::Member*> expected;
        for (const auto& m : e.listing) expected[m.name] = &m;
        int files = 0;
        for (const auto& h : w.headers) {
            if (h.IsDirectory()) continue;
            ++files;
            std::string name = h.Name;
            for (char& c : name)
                if (c == '\\') c = '/';
            auto it = expected.find(name);
            ASSERT_NE(it, expected.end()) << name;
            EXPECT_EQ(uint64_t(h.UnpackedSize), it->second->size);
            std::vector<uint8_t> out;
            int code = DecodeMember(a, h, out);
            std::string method(h.Method, 5);
            if (method == "-lh7-" || method == "-lz5-" || method == "-lz4-" || method == "-lzs-") {
                EXPECT_EQ(code, 25326) << method;
            } else {
                EXPECT_EQ(code, 0) << method;
                uint32_t want = it->second->crc;
                // The manifest's CRC-32 for this one is wrong: lhasa extracts the same
                // GPL-2 text as the other archives (CRC-32 4e46f4a1), which also
                // matches the member's own CRC-16.
                if (e.path == "lha/lharc113_lh1.lzh" && want == 0xec3cad2fu) want = 0x4e46f4a1u;
                EXPECT_EQ(mvtest::ReferenceCrc32(out.data(), out.size()), want) << method;
            }
        }
        EXPECT_EQ(size_t(files), e.listing.size());
    }
    EXPECT_GE(seen, 10);
}

TEST(LhaHeader, PeerArchivesOfEveryLevelWalk) {
    MV_REQUIRE_TOOL("lha");
    mvtest::TempDir dir;
    std::filesystem::create_directories(dir / "sub/deeper");
    auto text = mvtest::TextBytes(30000, 1);
    mvtest::WriteFileBytes(dir / "top.txt", text);
    mvtest::WriteFileBytes(dir / "sub/deeper/inner.bin", mvtest::RandomBytes(5000, 2));
    mvtest::WriteFileBytes(dir / "sub/empty.txt", {});
    for (const char* cmd : {"c0", "c1", "c2", "c0o6", "c2z"}) {
        SCOPED_TRACE(cmd);
        auto r = mvtest::Run(std::string("lha ") + cmd + " a.lzh top.txt sub </dev/null", dir.Path());
        ASSERT_EQ(r.exitCode, 0) << r.output;
        auto a = mvtest::ReadFileBytes(dir / "a.lzh");
        TWalk w = Walk(a);
        EXPECT_EQ(w.last, TLhaHeaderStatus::lhsEnd);
        std::map<std::string, std::vector<uint8_t>> got;
        for (const auto& h : w.headers) {
            if (h.IsDirectory()) continue;
            std::vector<uint8_t> out;
            EXPECT_EQ(DecodeMember(a, h, out), 0) << h.Name;
            got[h.Name] = out;
        }
        EXPECT_EQ(got["top.txt"], text);
        EXPECT_EQ(got["sub\\deeper\\inner.bin"], mvtest::RandomBytes(5000, 2));
        EXPECT_TRUE(got.count("sub\\empty.txt"));
        std::filesystem::remove(dir / "a.lzh");
    }
}

TEST(LhaHeader, HostileFixtures) {
    auto read = [](const char* name) {
        return mvtest::ReadFileBytes(mvtest::FixtureDir() / "hostile" / name);
    };
    {
        auto a = read("lha_traversal.lzh");
        TWalk w = Walk(a);
        ASSERT_EQ(w.headers.size(), 3u);
        EXPECT_EQ(w.headers[0].Name, "..\\..\\evil.txt");
        EXPECT_EQ(w.headers[1].Name, "..\\..\\evil2.txt");
        EXPECT_EQ(w.headers[2].Name, "\\tmp\\abs.txt");
    }
    {
        auto a = read("lha_bad_header_size.lzh");
        TWalk w = Walk(a);
        EXPECT_EQ(w.headers.size(), 1u);
        EXPECT_EQ(w.last, TLhaHeaderStatus::lhsBad);
    }
    {
        auto a = read("lha_level1_ext_past_data.lzh");
        EXPECT_EQ(Walk(a).last, TLhaHeaderStatus::lhsBad);
    }
    struct Case {
        const char* file;
        int code;
    } decodes[] = {{"lha_truncated_huge.lzh", 25236}, {"lha_bad_huffman.lzh", 25120}};
    for (const auto& c : decodes) {
        SCOPED_TRACE(c.file);
        auto a = read(c.file);
        TWalk w = Walk(a);
        ASSERT_EQ(w.headers.size(), 1u);
        std::vector<uint8_t> out;
        EXPECT_EQ(DecodeMember(a, w.headers[0], out), c.code);
    }
}

TEST(LhaHeader, TruncatedAndOversizedHeadersAreBad) {
    auto a = mvtest::ReadFileBytes(mvtest::FixtureDir() / "hostile" / "lha_traversal.lzh");
    for (size_t cut : {size_t(23), size_t(30)}) {
        std::vector<uint8_t> b(a.begin(), a.begin() + long(cut));
        TLhaHeader h;
        EXPECT_NE(ReadLhaHeader(ReaderOf(b), 0, int64_t(b.size()), h), TLhaHeaderStatus::lhsOk) << cut;
    }
    // A header level above 3.
    std::vector<uint8_t> c(a.begin(), a.begin() + 40);
    c[20] = 4;
    TLhaHeader h;
    EXPECT_EQ(ReadLhaHeader(ReaderOf(c), 0, int64_t(c.size()), h), TLhaHeaderStatus::lhsUnsupportedLevel);
}
