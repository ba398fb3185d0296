// Writing cabinets through the compression interface: stored, MSZIP and LZX
// cabinets with several folders and empty files, checked by cabextract, gcab
// and 7z and read back by our own decompression interface.
#include "archive/codecs/LzxDecode.h"
#include "archive/codecs/LzxEncode.h"
#include "tests/archive/libraries/cab/CabTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sys/stat.h>

using namespace mvtest;
using namespace cabtest;

namespace {

struct Writer {
    std::string tempDir;
    int tempCount = 0;
    bool refuseNext = true;
};

intptr_t OpenInfo(void* user, const char* name, uint16_t* date, uint16_t* time, uint16_t* attribs, int* err) {
    (void)user;
    *date = (46 << 9) | (3 << 5) | 14; // 2026-03-14
    *time = (12 << 11) | (30 << 5);
    *attribs = 0x20;
    return OpenCb(nullptr, name, 0x8000, 0, err);
}

bool TempFile(void* user, char* buffer, int size) {
    Writer& w = *static_cast<Writer*>(user);
    std::string n = w.tempDir + "/fci" + std::to_string(++w.tempCount) + ".tmp";
    if (static_cast<int>(n.size()) >= size) return false;
    std::strcpy(buffer, n.c_str());
    return true;
}

// Writes `files` (stored name -> source path) into dir/name.cab with one code.
bool MakeCabinet(const std::string& dir, const std::string& name,
                 const std::vector<std::pair<std::string, std::string>>& files, uint16_t code,
                 uint32_t threshold, TCabErrorRecord& err, uint32_t limit = 0x7FFFFFFF) {
    Writer w{dir};
    TFciCallbacks cb;
    cb.Files = Callbacks(nullptr);
    cb.GetTempFile = TempFile;
    TCabParameters p;
    p.cb = limit;
    p.cbFolderThresh = threshold;
    std::snprintf(p.szCab, sizeof p.szCab, "%s", name.c_str());
    std::snprintf(p.szCabPath, sizeof p.szCabPath, "%s/", dir.c_str());
    TFciContext* ctx = FciCreate(&err, cb, p, &w);
    if (!ctx) return false;
    bool ok = true;
    for (auto& [stored, source] : files)
        ok = ok && FciAddFile(ctx, source.c_str(), stored.c_str(), false, nullptr, nullptr, OpenInfo, code);
    ok = ok && FciFlushCabinet(
                   ctx, false, [](void*, TCabParameters*, uint32_t) { return false; }, nullptr);
    FciDestroy(ctx);
    return ok;
}

struct Case {
    const char* label;
    uint16_t code;
};

TEST(Fci, CabinetsPassPeersAndReadBack) {
    TempDir dir;
    fs::create_directories(dir / "src");
    std::vector<std::pair<std::string, std::vector<uint8_t>>> inputs = {
        {"text.txt", TextBytes(300000, 7)},
        {"sub/random.bin", RandomBytes(120000, 8)},
        {"empty", {}},
        {"sub/deeper/more.txt", TextBytes(150000, 9)},
        {"small.txt", TextBytes(1000, 10)},
    };
    std::vector<std::pair<std::string, std::string>> files;
    for (size_t i = 0; i < inputs.size(); ++i) {
        std::string src = (dir / "src" / std::to_string(i)).string();
        WriteFileBytes(src, inputs[i].second);
        files.push_back({inputs[i].first, src});
    }
    std::map<std::string, uint64_t> sizes;
    for (Case c : {Case{"none", 0}, Case{"mszip", 1}, Case{"lzx15", 0x0F03}, Case{"lzx21", 0x1503}}) {
        SCOPED_TRACE(c.label);
        std::string name = std::string(c.label) + ".cab";
        TCabErrorRecord err;
        // A low threshold gives several folders.
        ASSERT_TRUE(MakeCabinet(dir.Path().string(), name, files, c.code, 200000, err)) << err.erfOper;
        sizes[c.label] = fs::file_size(dir / name);
        Sink sink;
        ASSERT_TRUE(ExtractSet(dir.Path().string() + "/", name, sink, err))
            << err.erfOper << " " << err.erfType;
        ASSERT_EQ(sink.files.size(), inputs.size());
        for (auto& [n, d] : inputs) {
            std::string stored = n;
            for (char& ch : stored)
                if (ch == '/') ch = '\\';
            EXPECT_EQ(sink.files[stored], d) << n;
        }
        if (RequireTool("cabextract")) {
            auto r = mvtest::Run("cabextract -t " + name, dir.Path());
            EXPECT_EQ(r.exitCode, 0) << r.output;
            fs::path out = dir / (std::string("x-") + c.label);
            r = mvtest::Run("cabextract -q -d " + out.string() + " " + name, dir.Path());
            EXPECT_EQ(r.exitCode, 0) << r.output;
            for (auto& [n, d] : inputs) EXPECT_EQ(ReadFileBytes(out / n), d) << n;
        }
        if (RequireTool("gcab") && c.code < 3) {
            auto r = mvtest::Run("gcab -t " + name, dir.Path());
            EXPECT_EQ(r.exitCode, 0) << r.output;
        }
        if (RequireTool("7z")) {
            auto r = mvtest::Run("7z t " + name, dir.Path());
            EXPECT_EQ(r.exitCode, 0) << r.output;
        }
    }
    EXPECT_LT(sizes["lzx21"], sizes["none"]);
    EXPECT_LT(sizes["mszip"], sizes["none"]);
}

TEST(Fci, LzxSmallerThanMsZipOnText) {
    TempDir dir;
    WriteFileBytes(dir / "t", TextBytes(400000, 5));
    TCabErrorRecord err;
    ASSERT_TRUE(MakeCabinet(dir.Path().string(), "z.cab", {{"t", (dir / "t").string()}}, 1, 900000, err));
    ASSERT_TRUE(
        MakeCabinet(dir.Path().string(), "l.cab", {{"t", (dir / "t").string()}}, 0x1503, 900000, err));
    EXPECT_LT(fs::file_size(dir / "l.cab"), fs::file_size(dir / "z.cab"));
    std::printf("text 400000: MSZIP %ju, LZX %ju\n", uintmax_t(fs::file_size(dir / "z.cab")),
                uintmax_t(fs::file_size(dir / "l.cab")));
}

TEST(Fci, QuantumAndBadCodesAreRefused) {
    TempDir dir;
    WriteFileBytes(dir / "a", TextBytes(100, 1));
    for (uint16_t code : {uint16_t(0x1572), uint16_t(0x0E03), uint16_t(0x1603), uint16_t(4)}) {
        TCabErrorRecord err;
        EXPECT_FALSE(
            MakeCabinet(dir.Path().string(), "q.cab", {{"a", (dir / "a").string()}}, code, 900000, err));
        EXPECT_TRUE(err.fError);
        EXPECT_EQ(err.erfOper, fcieBadComprType);
    }
}

TEST(Fci, MissingSourceAndRefusedNextCabinet) {
    TempDir dir;
    TCabErrorRecord err;
    EXPECT_FALSE(
        MakeCabinet(dir.Path().string(), "m.cab", {{"a", (dir / "missing").string()}}, 1, 900000, err));
    EXPECT_EQ(err.erfOper, fcieOpenSrc);
    WriteFileBytes(dir / "a", RandomBytes(5000, 1));
    EXPECT_FALSE(
        MakeCabinet(dir.Path().string(), "m.cab", {{"a", (dir / "a").string()}}, 0, 900000, err, 1000));
    EXPECT_EQ(err.erfOper, fcieUserAbort);
    EXPECT_FALSE(fs::exists(dir / "m.cab"));
}

TEST(LzxCodec, RoundTripOverWindows) {
    auto text = TextBytes(200000, 3);
    auto rnd = RandomBytes(40000, 4);
    std::vector<uint8_t> data = text;
    data.insert(data.end(), rnd.begin(), rnd.end());
    data.insert(data.end(), text.begin(), text.begin() + 70000); // far repeat
    for (unsigned bits : {15u, 17u, 21u}) {
        SCOPED_TRACE(bits);
        mv::TLzxEncoder enc(bits);
        mv::TLzxDecoder dec(bits);
        std::vector<uint8_t> back;
        for (size_t at = 0; at < data.size(); at += 32768) {
            size_t n = std::min<size_t>(32768, data.size() - at);
            auto packed = enc.EncodeFrame(data.data() + at, n);
            std::vector<uint8_t> out(n);
            dec.DecodeFrame(packed.data(), packed.size(), out.data(), n);
            back.insert(back.end(), out.begin(), out.end());
        }
        EXPECT_TRUE(back == data);
    }
}

// Short periods (matches that overlap themselves closely), long runs and
// repeats far back, over a small window so that matches wrap around the
// decoder's ring many times.
TEST(LzxCodec, RoundTripOfOverlappingAndWrappingMatches) {
    std::vector<uint8_t> data;
    for (unsigned period = 1; period <= 9; ++period)
        for (size_t i = 0; i < 7000 + period * 333; ++i) data.push_back(static_cast<uint8_t>('a' + i % period));
    auto text = TextBytes(90000, 11);
    auto rnd = RandomBytes(30000, 12);
    for (int round = 0; round < 4; ++round) {
        data.insert(data.end(), text.begin() + round * 1000, text.end());
        data.insert(data.end(), rnd.begin(), rnd.end());
        data.insert(data.end(), 5000 + round, static_cast<uint8_t>(round));
    }
    for (unsigned bits : {15u, 16u}) {
        SCOPED_TRACE(bits);
        mv::TLzxEncoder enc(bits);
        mv::TLzxDecoder dec(bits);
        size_t packedTotal = 0;
        std::vector<uint8_t> back;
        for (size_t at = 0; at < data.size(); at += 32768) {
            size_t n = std::min<size_t>(32768, data.size() - at);
            auto packed = enc.EncodeFrame(data.data() + at, n);
            packedTotal += packed.size();
            std::vector<uint8_t> out(n);
            dec.DecodeFrame(packed.data(), packed.size(), out.data(), n);
            back.insert(back.end(), out.begin(), out.end());
        }
        EXPECT_TRUE(back == data);
        EXPECT_LT(packedTotal, data.size() / 3);
    }
}

} // namespace

// An uncompressed block as other encoders write it for data that does not
// shrink: its bytes run on over several frames and around the decoder's ring,
// and come back exactly; a frame cut short is refused.
TEST(LzxCodec, UncompressedBlockOverFramesAndTheRing) {
    const size_t size = 3 * 32768 + 1000; // more than the 64 KiB ring of a 15-bit window
    const auto data = RandomBytes(size, 21);
    // Bits go most significant first into 16-bit little-endian words.
    std::vector<uint8_t> head;
    uint32_t acc = 0;
    int bits = 0;
    auto put = [&](uint32_t v, int n) {
        for (int i = n - 1; i >= 0; --i) {
            acc = acc << 1 | ((v >> i) & 1);
            if (++bits == 16) {
                head.push_back(static_cast<uint8_t>(acc));
                head.push_back(static_cast<uint8_t>(acc >> 8));
                acc = 0;
                bits = 0;
            }
        }
    };
    put(0, 1);                          // no E8 translation
    put(3, 3);                          // uncompressed block
    put(static_cast<uint32_t>(size >> 8), 16);
    put(static_cast<uint32_t>(size & 0xFF), 8);
    put(0, 4);                          // to the word boundary
    for (uint32_t r : {1u, 2u, 3u})     // the repeated offsets
        for (int k = 0; k < 4; ++k) head.push_back(static_cast<uint8_t>(r >> (8 * k)));
    ASSERT_EQ(bits, 0);
    mv::TLzxDecoder dec(15);
    std::vector<uint8_t> back;
    for (size_t at = 0; at < size; at += 32768) {
        const size_t n = std::min<size_t>(32768, size - at);
        std::vector<uint8_t> frame = at == 0 ? head : std::vector<uint8_t>();
        frame.insert(frame.end(), data.begin() + static_cast<long>(at), data.begin() + static_cast<long>(at + n));
        std::vector<uint8_t> out(n);
        dec.DecodeFrame(frame.data(), frame.size(), out.data(), n);
        back.insert(back.end(), out.begin(), out.end());
    }
    EXPECT_TRUE(back == data);

    mv::TLzxDecoder cut(15);
    std::vector<uint8_t> frame = head;
    frame.insert(frame.end(), data.begin(), data.begin() + 30000);
    std::vector<uint8_t> out(32768);
    EXPECT_THROW(cut.DecodeFrame(frame.data(), frame.size(), out.data(), out.size()), mv::ECodecError);
}
