// Reading cabinets through the decompression interface: the corpus (none,
// MSZIP, LZX, Quantum, a five-cabinet set with reserved areas), cabinets made by
// gcab, and damaged cabinets.
#include "tests/archive/libraries/cab/CabTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace mvtest;
using namespace cabtest;

namespace {

std::string Slashed(std::string s) {
    for (char& c : s)
        if (c == '\\') c = '/';
    return s;
}

TEST(Fdi, CorpusCabinetsExtractByteExactly) {
    int checked = 0;
    for (const CorpusEntry& e : ReadManifest()) {
        if (e.format != "cab" || e.listing.empty()) continue;
        SCOPED_TRACE(e.path);
        fs::path p = CorpusDir() / e.path;
        Sink sink;
        TCabErrorRecord err;
        ASSERT_TRUE(ExtractSet(p.parent_path().string() + "/", p.filename().string(), sink, err))
            << "oper " << err.erfOper << " type " << err.erfType;
        ASSERT_EQ(sink.files.size(), e.listing.size());
        for (const auto& m : e.listing) {
            auto it = sink.files.end();
            for (auto i = sink.files.begin(); i != sink.files.end(); ++i)
                if (Slashed(i->first) == m.name) it = i;
            ASSERT_NE(it, sink.files.end()) << m.name;
            EXPECT_EQ(it->second.size(), m.size) << m.name;
            EXPECT_EQ(ReferenceCrc32(it->second.data(), it->second.size()), m.crc) << m.name;
        }
        EXPECT_EQ(sink.openHandles, 0);
        ++checked;
    }
    EXPECT_GE(checked, 5);
}

TEST(Fdi, RefusedNextCabinetFails) {
    fs::path p = CorpusDir() / "cab/split-1.cab";
    Sink sink;
    sink.refuseNext = true;
    TCabErrorRecord err;
    EXPECT_FALSE(ExtractSet(p.parent_path().string() + "/", p.filename().string(), sink, err));
    EXPECT_TRUE(err.fError);
    EXPECT_EQ(err.erfOper, fdieUserAbort);
    EXPECT_EQ(sink.openHandles, 0);
}

TEST(Fdi, GcabCabinetsExtractByteExactly) {
    MV_REQUIRE_TOOL("gcab");
    TempDir dir;
    fs::create_directories(dir / "in/sub");
    std::vector<std::pair<std::string, std::vector<uint8_t>>> inputs = {
        {"in/a.txt", TextBytes(100000, 1)},
        {"in/sub/b.bin", RandomBytes(70000, 2)},
        {"in/empty", {}},
    };
    for (auto& [n, d] : inputs) WriteFileBytes(dir / n, d);
    for (const char* opt : {"", "-z"}) {
        SCOPED_TRACE(opt);
        auto r = mvtest::Run(std::string("gcab -c ") + opt + " out.cab in/a.txt in/sub/b.bin in/empty",
                             dir.Path());
        ASSERT_EQ(r.exitCode, 0) << r.output;
        Sink sink;
        TCabErrorRecord err;
        ASSERT_TRUE(ExtractSet(dir.Path().string() + "/", "out.cab", sink, err)) << err.erfOper;
        ASSERT_EQ(sink.files.size(), inputs.size());
        for (auto& [n, d] : inputs) {
            bool found = false;
            for (auto& [name, bytes] : sink.files)
                if (Slashed(name) == n) {
                    found = true;
                    EXPECT_EQ(bytes, d) << n;
                }
            EXPECT_TRUE(found) << n;
        }
    }
}

TEST(Fdi, DamagedCabinetsFailCleanly) {
    auto good = ReadFileBytes(CorpusDir() / "cab/makecab_lzx.cab");
    TempDir dir;
    for (size_t cut : {size_t(10), size_t(40), good.size() / 2, good.size() - 3}) {
        SCOPED_TRACE(cut);
        WriteFileBytes(dir / "t.cab", std::vector<uint8_t>(good.begin(), good.begin() + cut));
        Sink sink;
        TCabErrorRecord err;
        EXPECT_FALSE(ExtractSet(dir.Path().string() + "/", "t.cab", sink, err));
        EXPECT_TRUE(err.fError);
        EXPECT_EQ(sink.openHandles, 0);
    }
    // Every byte flipped in turn: never a crash, never more than the declared sizes.
    for (size_t i = 0; i < good.size(); ++i) {
        auto bad = good;
        bad[i] ^= 0x5A;
        WriteFileBytes(dir / "t.cab", bad);
        Sink sink;
        TCabErrorRecord err;
        ExtractSet(dir.Path().string() + "/", "t.cab", sink, err);
        for (auto& b : sink.buffers) EXPECT_LE(b.size(), 34000u);
        EXPECT_EQ(sink.openHandles, 0);
    }
}

TEST(Fdi, IsCabinet) {
    Sink sink;
    TCabErrorRecord err;
    TCabFileCallbacks cb = Callbacks(nullptr);
    TFdiContext* ctx = FdiCreate(cb, -1, &err);
    ASSERT_NE(ctx, nullptr);
    int e = 0;
    intptr_t h = OpenCb(nullptr, (CorpusDir() / "cab/split-2.cab").c_str(), 0x8000, 0, &e);
    TFdiCabinetInfo info;
    EXPECT_TRUE(FdiIsCabinet(ctx, h, &info));
    EXPECT_EQ(info.iCabinet, 1);
    EXPECT_TRUE(info.hasprev && info.hasnext && info.fReserve);
    CloseCb(nullptr, h, &e);
    h = OpenCb(nullptr, (CorpusDir() / "MANIFEST.tsv").c_str(), 0x8000, 0, &e);
    EXPECT_FALSE(FdiIsCabinet(ctx, h, &info));
    EXPECT_EQ(err.erfOper, fdieNotACabinet);
    CloseCb(nullptr, h, &e);
    FdiDestroy(ctx);
}

} // namespace
