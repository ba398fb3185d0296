// RAR5 filters checked against independent readers: no tool here writes RAR, so the
// test writes a small RAR5 archive by hand whose compressed stream carries literal
// bytes and one filter record (delta, x86 calls, ARM branches), decodes it with our
// decompressor, stores that result's CRC in the member header, and requires the
// peers (bsdtar, unar) to extract exactly the same bytes.
#include "archive/libraries/rar/RarUnpack.h"
#include "tests/archive/libraries/rar/RarTestArchives.h"

#include <gtest/gtest.h>

using namespace mv;
using namespace mv::unrar;
namespace fs = std::filesystem;

namespace {

using rartest::Append;
using rartest::BitWriter;

// One compressed block: main table with literals (0..254 in 8 bits, 255 and the
// filter symbol 256 in 9 bits), every other table empty.
std::vector<uint8_t> CompressedStream(const std::vector<uint8_t>& literals, int filterType,
                                      uint32_t channels) {
    BitWriter w;
    // Code-length alphabet: symbols 0, 8, 9 and 19 (long zero run) get 2-bit codes.
    for (int i = 0; i < 20; ++i) w.Put((i == 0 || i == 8 || i == 9 || i == 19) ? 2 : 0, 4);
    auto code = [&](int sym) { w.Put(sym == 0 ? 0 : sym == 8 ? 1 : sym == 9 ? 2 : 3, 2); };
    auto zeros = [&](uint32_t n) { // 11..138 zeros
        code(19);
        w.Put(n - 11, 7);
    };
    for (int i = 0; i < 255; ++i) code(8);
    code(9); // 255
    code(9); // 256 (filter)
    zeros(306 - 257);
    zeros(64 + 16 + 44);
    auto literal = [&](uint8_t b) {
        if (b < 255)
            w.Put(b, 8);
        else
            w.Put(0x1fe, 9);
    };
    if (filterType >= 0) {
        w.Put(0x1ff, 9);
        w.Put(0, 2); // block start: one byte
        w.Put(0, 8);
        uint32_t len = uint32_t(literals.size());
        w.Put(1, 2); // block length: two bytes, low byte first
        w.Put(len & 0xff, 8);
        w.Put(len >> 8, 8);
        w.Put(uint32_t(filterType), 3);
        if (filterType == 0) w.Put(channels - 1, 5);
    }
    for (uint8_t b : literals) literal(b);
    int used = w.Finish();
    std::vector<uint8_t> body = w.bytes;
    uint32_t size = uint32_t(body.size());
    uint8_t flags = uint8_t(0x80 | 0x40 | (1 << 3) | (used - 1)); // tables, last block, 2 size bytes
    uint8_t check = uint8_t(0x5a ^ flags ^ (size & 0xff) ^ (size >> 8));
    std::vector<uint8_t> out = {flags, check, uint8_t(size), uint8_t(size >> 8)};
    Append(out, body);
    return out;
}

} // namespace

TEST(Rar5Filters, PeersExtractWhatWeDecode) {
    bool bsdtar = mvtest::RequireTool("bsdtar"), unar = mvtest::RequireTool("unar");
    // Literals shaped for each filter: call opcodes with addresses, ARM BL words, channels.
    std::vector<uint8_t> x86 = mvtest::TextBytes(3000, 7);
    for (size_t i = 16; i + 5 < x86.size(); i += 37) {
        x86[i] = (i & 1) ? 0xe8 : 0xe9;
        x86[i + 4] = (i & 2) ? 0xff : 0x00;
    }
    std::vector<uint8_t> arm = mvtest::RandomBytes(2048, 3);
    for (size_t i = 3; i < arm.size(); i += 12) arm[i] = 0xeb;
    std::vector<uint8_t> delta = mvtest::RandomBytes(1500, 5);
    struct Case {
        const char* name;
        int type;
        uint32_t channels;
        const std::vector<uint8_t>* data;
    } cases[] = {{"plain", -1, 0, &x86},
                 {"delta3", 0, 3, &delta},
                 {"e8", 1, 0, &x86},
                 {"e8e9", 2, 0, &x86},
                 {"arm", 3, 0, &arm}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto packed = CompressedStream(*c.data, c.type, c.channels);
        RarUnpack unpack;
        MemoryInput in(packed);
        MemoryOutput out;
        unpack.Unpack(50, false, in, out, c.data->size());
        ASSERT_EQ(out.bytes.size(), c.data->size());
        if (c.type >= 0) {
            EXPECT_NE(out.bytes, *c.data) << "the filter changed nothing";
        }
        uint32_t crc = mvtest::ReferenceCrc32(out.bytes.data(), out.bytes.size());
        mvtest::TempDir dir;
        mvtest::WriteFileBytes(dir / "f.rar", rartest::Archive5(packed, c.data->size(), crc,
                                                                3 << 7 /* method 3, 128 KiB dictionary */));
        rartest::ExpectPeersExtract(dir / "f.rar", "data.bin", out.bytes, unar, bsdtar);
    }
}
