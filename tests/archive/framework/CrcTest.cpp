#include "archive/framework/Crc.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace mv;

namespace {
const std::string CheckText = "123456789";
const uint8_t* Bytes(const std::string& s) {
    return reinterpret_cast<const uint8_t*>(s.data());
}

uint16_t BitwiseCrc16(const uint8_t* p, size_t n, uint16_t reg) {
    for (size_t i = 0; i < n; ++i) {
        reg ^= p[i];
        for (int k = 0; k < 8; ++k) reg = (reg & 1) ? (reg >> 1) ^ 0xA001 : reg >> 1;
    }
    return reg;
}
} // namespace

TEST(Crc, PublishedCheckValuesAndTables) {
    EXPECT_EQ(Crc32Of(Bytes(CheckText), CheckText.size()), 0xCBF43926u);
    EXPECT_EQ(Crc16Of(Bytes(CheckText), CheckText.size()), 0xBB3Du);
    EXPECT_EQ(Crc32Of(nullptr, 0), 0u);
    EXPECT_EQ(Crc32Table[0], 0u);
    EXPECT_EQ(Crc32Table[1], 0x77073096u);
    EXPECT_EQ(Crc32Table[255], 0x2D02EF8Du);
    EXPECT_EQ(Crc16Table[1], 0xC0C1u);
    EXPECT_EQ(Crc16Table[255], 0x4040u);
    EXPECT_EQ(CrcSeed, 0xFFFFFFFFu);
    // One step is the update rule of the table.
    uint32_t reg = CrcSeed;
    for (char c : CheckText) reg = Crc32Step(reg, static_cast<uint8_t>(c));
    EXPECT_EQ(~reg, 0xCBF43926u);
}

// Every length class (table path, folded path, fold tails of every size, the
// carry-less multiply path and its 16-byte tails) at odd alignments agrees with
// a bitwise CRC, with and without the processor's carry-less multiply.
TEST(Crc, AgreesWithBitwiseCrcOnAllPathsAndAlignments) {
    const auto data = mvtest::RandomBytes(70000, 7);
    std::vector<size_t> sizes = {
        63,   64,   65,   79,   80,    81,    127,   128,          129,         143,
        0,    1,    7,    8,    15,    16,    17,    100,          909,         910,
        1399, 1400, 1401, 2048, 3005,  3006,  3014,  12023,        12024,       12025,
        5000, 9000, 9001, 9009, 32768, 65536, 69990, 16384 + 3006, 16384 + 3013};
    for (size_t n = 12024; n < 12024 + 64; ++n) sizes.push_back(n);
    const bool accelerated = Crc32UsesClmul();
    for (bool clmul : {true, false}) {
        SetCrc32Clmul(clmul);
        SCOPED_TRACE(Crc32UsesClmul() ? "carry-less multiply" : "portable");
        for (size_t n : sizes) {
            for (size_t offset : {0, 3}) {
                SCOPED_TRACE(n);
                SCOPED_TRACE(offset);
                EXPECT_EQ(Crc32Of(data.data() + offset, n), mvtest::ReferenceCrc32(data.data() + offset, n));
                EXPECT_EQ(Crc16Of(data.data() + offset, n), BitwiseCrc16(data.data() + offset, n, 0));
            }
        }
    }
    SetCrc32Clmul(accelerated);
}

// The register runs on across pieces: a CRC taken piece by piece equals the
// CRC of the whole, whatever the piece sizes.
TEST(Crc, RunningRegisterAcrossPieces) {
    const auto data = mvtest::RandomBytes(60000, 11);
    const uint32_t whole = mvtest::ReferenceCrc32(data.data(), data.size());
    for (size_t piece : {1, 13, 64, 100, 4096, 13000, 32768}) {
        SCOPED_TRACE(piece);
        uint32_t reg = CrcSeed;
        uint16_t reg16 = 0;
        for (size_t pos = 0; pos < data.size(); pos += piece) {
            size_t n = std::min(piece, data.size() - pos);
            UpdateCRC32(data.data() + pos, n, reg);
            UpdateCRC16(data.data() + pos, n, reg16);
        }
        EXPECT_EQ(~reg, whole);
        EXPECT_EQ(reg16, BitwiseCrc16(data.data(), data.size(), 0));
    }
}
