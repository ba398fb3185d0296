// ACE 2 archives whose file blocks carry 64-bit sizes: the lister reads the
// fields after the sizes where the block has them, as the ACE library does.
#include "archive/framework/Crc.h"
#include "tests/archive/lister/ListerTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace mvtest;

namespace {

void Add16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(uint8_t(v)), b.push_back(uint8_t(v >> 8));
}
void Add32(std::vector<uint8_t>& b, uint32_t v) {
    Add16(b, uint16_t(v)), Add16(b, uint16_t(v >> 16));
}

// A block: header CRC (the low word of the CRC-32 register), size, header.
void AddBlock(std::vector<uint8_t>& out, const std::vector<uint8_t>& header) {
    uint32_t reg = mv::CrcSeed;
    mv::UpdateCRC32(header.data(), header.size(), reg);
    Add16(out, uint16_t(reg));
    Add16(out, uint16_t(header.size()));
    out.insert(out.end(), header.begin(), header.end());
}

TEST(ArcListerAce, WideFileBlocksListTheirOwnFields) {
    const std::string data = "stored member data";
    const std::string name = "folder\\wide.txt";
    const uint32_t dosTime = (uint32_t(44) << 25 | 3u << 21 | 9u << 16) | (10u << 11 | 20u << 5);
    std::vector<uint8_t> archive;
    std::vector<uint8_t> main(31, 0);
    std::memcpy(main.data() + 3, "**ACE**", 7);
    main[10] = main[11] = 20;
    AddBlock(archive, main);
    std::vector<uint8_t> file;
    file.push_back(3); // a file block with 64-bit sizes
    Add16(file, 0x0001 | 0x0004);
    Add32(file, uint32_t(data.size())), Add32(file, 0); // packed
    Add32(file, uint32_t(data.size())), Add32(file, 0); // unpacked
    Add32(file, dosTime);
    Add32(file, 0x20);
    uint32_t crc = mv::CrcSeed;
    mv::UpdateCRC32(reinterpret_cast<const uint8_t*>(data.data()), data.size(), crc);
    Add32(file, crc);                     // the register without its final inversion
    file.push_back(0), file.push_back(0); // stored
    Add16(file, 0), Add16(file, 0);
    Add16(file, uint16_t(name.size()));
    file.insert(file.end(), name.begin(), name.end());
    AddBlock(archive, file);
    archive.insert(archive.end(), data.begin(), data.end());

    TempDir dir;
    WriteFileBytes(dir / "wide.ace", archive);
    const ListResult r = ListArchive((dir / "wide.ace").string());
    EXPECT_EQ(r.type, mv::TArcType::atACE);
    ASSERT_TRUE(r.ok);
    EXPECT_TRUE(r.errors.empty());
    ASSERT_EQ(r.entries.size(), 1u);
    EXPECT_EQ(r.entries[0].name, "folder/wide.txt");
    EXPECT_EQ(r.entries[0].unpacked, int64_t(data.size()));
    EXPECT_EQ(r.entries[0].packed, int64_t(data.size()));
    EXPECT_EQ(r.entries[0].crc, crc ^ 0xFFFFFFFFu);
    EXPECT_EQ(r.entries[0].attr, 0x20u);
}

} // namespace
