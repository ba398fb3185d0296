// The formats' record parsers on hand-made records: every field where the
// format puts it, and a record cut short or damaged answered as such, never
// read past its buffer.
#include "archive/formats/ace/AceFormat.h"
#include "archive/formats/arj/ArjFormat.h"
#include "archive/formats/cab/CabFormat.h"
#include "archive/formats/gzip/GZipFormat.h"
#include "archive/formats/rar/RarFormat.h"
#include "archive/framework/Crc.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace mv;

namespace {

using Bytes = std::vector<uint8_t>;

void Add16(Bytes& b, uint16_t v) {
    b.push_back(uint8_t(v)), b.push_back(uint8_t(v >> 8));
}
void Add32(Bytes& b, uint32_t v) {
    Add16(b, uint16_t(v)), Add16(b, uint16_t(v >> 16));
}
void Add64(Bytes& b, uint64_t v) {
    Add32(b, uint32_t(v)), Add32(b, uint32_t(v >> 32));
}
void AddText(Bytes& b, const std::string& s) {
    b.insert(b.end(), s.begin(), s.end());
}

TReadAt ReaderOf(const Bytes& data) {
    return [&data](int64_t pos, uint8_t* buffer, int64_t n) -> int64_t {
        if (pos < 0 || pos >= int64_t(data.size())) return 0;
        const int64_t k = std::min<int64_t>(n, int64_t(data.size()) - pos);
        std::memcpy(buffer, data.data() + pos, size_t(k));
        return k;
    };
}

// --- ACE

// An ACE 2 file block with 64-bit sizes: the fields after them sit 8 bytes later
// than in a 32-bit block.
Bytes WideAceFileBlock(const std::string& name) {
    Bytes h;
    h.push_back(AceWideFileBlock);
    Add16(h, AceFlagAddSize | AceFlagWideSizes);
    Add64(h, 0x100000005ull); // packed
    Add64(h, 0x200000007ull); // unpacked
    Add32(h, 0x5A8E6C21);     // DOS date and time
    Add32(h, 0x20);           // attributes
    Add32(h, 0xCAFEBABE);     // CRC register
    h.push_back(1);           // method
    h.push_back(3);           // quality
    Add16(h, 0);              // parameters
    Add16(h, 0);              // reserved
    Add16(h, uint16_t(name.size()));
    AddText(h, name);
    return h;
}

Bytes AceHead(const Bytes& header) {
    uint32_t reg = CrcSeed;
    UpdateCRC32(header.data(), header.size(), reg);
    Bytes head;
    Add16(head, uint16_t(reg));
    Add16(head, uint16_t(header.size()));
    return head;
}

TEST(AceRecords, WideFileBlockFieldsFollowTheirSizes) {
    const Bytes h = WideAceFileBlock("dir\\wide.bin");
    TAceBlock block;
    ASSERT_TRUE(ReadAceBlock(AceHead(h).data(), h.data(), h.size(), block));
    EXPECT_TRUE(block.CrcOk);
    TAceFile f;
    ASSERT_TRUE(ReadAceFile(block, f));
    EXPECT_EQ(f.PackSize, 0x100000005ull);
    EXPECT_EQ(f.UnpSize, 0x200000007ull);
    EXPECT_EQ(f.FileTime, 0x5A8E6C21u);
    EXPECT_EQ(f.Attr, 0x20u);
    EXPECT_EQ(f.Crc, 0xCAFEBABEu);
    EXPECT_EQ(f.Method, 1);
    EXPECT_EQ(f.Quality, 3);
    EXPECT_EQ(f.Name, "dir\\wide.bin");
}

TEST(AceRecords, DamagedBlocksAreRefused) {
    const Bytes good = WideAceFileBlock("a");
    struct Case {
        const char* what;
        size_t keep; // bytes of the header kept
        uint16_t flags;
        bool blockOk, fileOk, crcOk;
    };
    const Case cases[] = {
        {"whole", good.size(), AceFlagAddSize | AceFlagWideSizes, true, true, true},
        {"name cut", good.size() - 1, AceFlagAddSize | AceFlagWideSizes, true, false, true},
        {"sizes cut", 9, AceFlagAddSize | AceFlagWideSizes, false, false, true},
        {"wide block without wide sizes", good.size(), AceFlagAddSize, true, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes h(good.begin(), good.begin() + long(c.keep));
        h[1] = uint8_t(c.flags), h[2] = uint8_t(c.flags >> 8);
        TAceBlock block;
        EXPECT_EQ(ReadAceBlock(AceHead(h).data(), h.data(), h.size(), block), c.blockOk);
        if (!c.blockOk) continue;
        EXPECT_EQ(block.CrcOk, c.crcOk);
        TAceFile f;
        EXPECT_EQ(ReadAceFile(block, f), c.fileOk);
    }
    Bytes head = AceHead(good);
    head[0] ^= 1;
    TAceBlock block;
    ASSERT_TRUE(ReadAceBlock(head.data(), good.data(), good.size(), block));
    EXPECT_FALSE(block.CrcOk);
}

// --- ARJ

Bytes ArjHeader(uint16_t basicSize, int extended, bool goodCrc = true) {
    Bytes basic(basicSize, 0);
    if (basicSize > 0) basic[0] = uint8_t(std::min<int>(basicSize, 30));
    Bytes out;
    Add16(out, ArjHeaderId);
    Add16(out, basicSize);
    if (basicSize == 0) return out;
    out.insert(out.end(), basic.begin(), basic.end());
    Add32(out, Crc32Of(basic.data(), basic.size()) ^ (goodCrc ? 0u : 1u));
    for (int i = 0; i < extended; ++i) {
        Add16(out, 2);
        Add16(out, 0);
        Add32(out, 0);
    }
    Add16(out, 0);
    return out;
}

TEST(ArjRecords, StatusOfEveryKindOfHeader) {
    struct Case {
        const char* what;
        Bytes data;
        TArjHeaderStatus status;
    };
    Bytes badId = ArjHeader(30, 0);
    badId[0] = 0;
    const Bytes whole = ArjHeader(30, 0);
    const Bytes cut(whole.begin(), whole.end() - 3);
    const Case cases[] = {
        {"member header", ArjHeader(30, 1), TArjHeaderStatus::ahOk},
        {"end of the archive", ArjHeader(0, 0), TArjHeaderStatus::ahEnd},
        {"no id", badId, TArjHeaderStatus::ahBadFrame},
        {"basic header too large", ArjHeader(ArjMaxBasicSize + 1, 0), TArjHeaderStatus::ahBadFrame},
        {"cut short", cut, TArjHeaderStatus::ahShort},
        {"wrong CRC", ArjHeader(30, 0, false), TArjHeaderStatus::ahBadCrc},
        {"too many extended headers", ArjHeader(30, ArjMaxExtendedHeaders + 2),
         TArjHeaderStatus::ahBadExtended},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TArjHeader h;
        EXPECT_EQ(ReadArjHeader(ReaderOf(c.data), 0, int64_t(c.data.size()), h), c.status);
        if (c.status == TArjHeaderStatus::ahOk) {
            EXPECT_EQ(h.DataPos, int64_t(c.data.size()));
        }
    }
}

// --- GZip

TEST(GZipRecords, OptionalFieldsAndTheirEnds) {
    Bytes full(GZipHeaderSize);
    PutGZipHeader(full.data(), GZipFlagExtra | GZipFlagName | GZipFlagComment | GZipFlagHeaderCrc, 0x12345678,
                  2, 3);
    Add16(full, 3);
    AddText(full, "xyz");
    AddText(full, std::string("name.txt") + '\0');
    AddText(full, std::string("a comment") + '\0');
    Add16(full, 0xBEEF);
    const size_t headerEnd = full.size();
    AddText(full, "packed data and trailer");
    TGZipHeader h;
    ASSERT_EQ(ReadGZipHeader(ReaderOf(full), 0, int64_t(full.size()), h), TGZipHeaderStatus::ghOk);
    EXPECT_EQ(h.Magic, GZipMagic);
    EXPECT_EQ(h.Method, GZipMethodDeflate);
    EXPECT_EQ(h.MTime, 0x12345678u);
    EXPECT_EQ(h.ExtraFlags, 2);
    EXPECT_EQ(h.Name, "name.txt");
    EXPECT_EQ(h.DataPos, int64_t(headerEnd));
    // Cut anywhere inside the header, it is a header cut short.
    for (size_t n = 0; n < headerEnd; ++n) {
        SCOPED_TRACE(n);
        const Bytes cut(full.begin(), full.begin() + long(n));
        EXPECT_EQ(ReadGZipHeader(ReaderOf(cut), 0, int64_t(cut.size()), h), TGZipHeaderStatus::ghShort);
    }
}

TEST(GZipRecords, LongNameIsKeptUpToTheLimitAndSkippedToItsEnd) {
    Bytes data(GZipHeaderSize);
    PutGZipHeader(data.data(), GZipFlagName, 0, 0, 3);
    AddText(data, std::string(GZipMaxText + 10, 'n') + '\0');
    TGZipHeader h;
    ASSERT_EQ(ReadGZipHeader(ReaderOf(data), 0, int64_t(data.size()), h), TGZipHeaderStatus::ghOk);
    EXPECT_EQ(h.Name.size(), GZipMaxText);
    EXPECT_EQ(h.DataPos, int64_t(data.size()));
}

// --- RAR

TEST(RarRecords, MarkersOfBothGenerations) {
    EXPECT_EQ(RarMarkAt(reinterpret_cast<const uint8_t*>("Rar!\x1A\x07\x00"), 7), 4);
    EXPECT_EQ(RarMarkAt(reinterpret_cast<const uint8_t*>("Rar!\x1A\x07\x01\x00"), 8), 5);
    EXPECT_EQ(RarMarkAt(reinterpret_cast<const uint8_t*>("Rar!\x1A\x07\x01"), 7), 0);
    EXPECT_EQ(RarMarkAt(reinterpret_cast<const uint8_t*>("Rar!\x1A\x08\x00"), 7), 0);
}

// A RAR 5 file header with a name, a Unix-time record and an encryption record.
Bytes MakeRar5File(const std::string& name) {
    Bytes fields;
    fields.push_back(uint8_t(Rar5FileHeader));
    fields.push_back(uint8_t(Rar5HasExtra | Rar5HasData));
    Bytes extra;
    // times: size, type 3, flags (Unix time, modification time), the time
    extra.push_back(6), extra.push_back(3), extra.push_back(0x03), Add32(extra, 1700000000);
    // encryption: size, type 1, version 0, flags 1 (check), lg2 15, salt, IV, check
    Bytes crypt = {1, 0, 1, 15};
    crypt.insert(crypt.end(), 16, 0xAA);
    crypt.insert(crypt.end(), 16, 0xBB);
    crypt.insert(crypt.end(), 12, 0xCC);
    extra.push_back(uint8_t(crypt.size()));
    extra.insert(extra.end(), crypt.begin(), crypt.end());
    fields.push_back(uint8_t(extra.size()));
    fields.push_back(100);                     // data size
    fields.push_back(uint8_t(Rar5FileHasCrc)); // file flags
    fields.push_back(42);                      // unpacked size
    fields.push_back(0x20);                    // attributes
    Add32(fields, 0x11223344);                 // data CRC
    fields.push_back(0);                       // compression
    fields.push_back(1);                       // host: Unix
    fields.push_back(uint8_t(name.size()));
    AddText(fields, name);
    fields.insert(fields.end(), extra.begin(), extra.end());
    Bytes sized;
    sized.push_back(uint8_t(fields.size()));
    sized.insert(sized.end(), fields.begin(), fields.end());
    Bytes out;
    Add32(out, Crc32Of(sized.data(), sized.size()));
    out.insert(out.end(), sized.begin(), sized.end());
    return out;
}

TEST(RarRecords, Rar5FileHeaderWithItsRecords) {
    const Bytes h = MakeRar5File("dir/file.txt");
    uint64_t size = 0;
    size_t prefix = 0;
    ASSERT_TRUE(ReadRar5HeaderSize(h.data(), h.size(), size, prefix));
    EXPECT_EQ(prefix + size, h.size());
    TRar5Header hd;
    ASSERT_TRUE(ReadRar5Header(h.data(), h.size(), hd));
    EXPECT_TRUE(hd.CrcMatches);
    EXPECT_EQ(hd.Type, Rar5FileHeader);
    EXPECT_EQ(hd.DataSize, 100u);
    TRar5File f;
    ASSERT_TRUE(ReadRar5File(h.data(), h.size(), hd, f));
    EXPECT_EQ(f.Name, "dir/file.txt");
    EXPECT_EQ(f.UnpSize, 42u);
    EXPECT_EQ(f.Crc, 0x11223344u);
    EXPECT_EQ(f.HostOS, 1u);
    EXPECT_TRUE(f.HasExtraTime);
    EXPECT_EQ(f.ExtraTime, 1700000000);
    EXPECT_TRUE(f.Encrypted);
    EXPECT_TRUE(f.Crypt.Complete);
    EXPECT_TRUE(f.Crypt.CheckPresent);
    EXPECT_EQ(f.Crypt.Lg2Count, 15);
    EXPECT_EQ(f.Crypt.Salt[0], 0xAA);
    EXPECT_EQ(f.Crypt.Iv[15], 0xBB);
    EXPECT_EQ(f.Crypt.Check[11], 0xCC);
    // Any byte flipped fails the CRC; the header cut anywhere never reads past it.
    for (size_t i = 0; i < h.size(); ++i) {
        Bytes bad = h;
        bad[i] ^= 0x40;
        TRar5Header b;
        ReadRar5Header(bad.data(), bad.size(), b);
        EXPECT_FALSE(b.CrcMatches) << i;
        const Bytes cut(h.begin(), h.begin() + long(i));
        if (ReadRar5Header(cut.data(), cut.size(), b)) ReadRar5File(cut.data(), cut.size(), b, f);
    }
}

TEST(RarRecords, UnicodeNamePackedAgainstTheOemName) {
    // "ab" in the OEM part; the Unicode part: high byte 0x04, flags 0b01'00'11'00
    // (a byte with the high byte, a byte alone, two OEM bytes, a byte alone).
    const uint8_t oem[] = {'a', 'b', 'c', 'd'};
    const uint8_t enc[] = {0x04, 0x4C, 0x10, 'x', 0x00, 'y'};
    // 0x4C: 01 (0x0410), 00 ('x'), 11 with length 0 (two OEM bytes), 00 ('y')
    const std::string name = DecodeRarUnicodeName(oem, sizeof oem, enc, sizeof enc);
    EXPECT_EQ(name, "\xD0\x90xcdy");
    EXPECT_EQ(DecodeRarUnicodeName(oem, sizeof oem, enc, 0), "");
}

// --- CAB

// A cabinet's first bytes: the fixed header, reserve sizes, the next cabinet's
// names, one folder (with a reserve byte) and one file record.
Bytes CabinetStart(const std::string& fileName) {
    Bytes b;
    AddText(b, "MSCF");
    Add32(b, 0);
    Add32(b, 1000); // cabinet size
    Add32(b, 0);
    Add32(b, 0); // files offset: set below
    Add32(b, 0);
    b.push_back(3), b.push_back(1);
    Add16(b, 1); // folders
    Add16(b, 1); // files
    Add16(b, cab::kFlagReserve | cab::kFlagNextCabinet);
    Add16(b, 0x1234), Add16(b, 0);
    Add16(b, 2), b.push_back(1), b.push_back(0), Add16(b, 0xFFFF); // reserve sizes and header reserve
    AddText(b, std::string("next.cab") + '\0' + "disk 2" + '\0');
    Add32(b, 500), Add16(b, 3), Add16(b, 1), b.push_back(0xEE); // folder and its reserve byte
    const uint32_t files = uint32_t(b.size());
    b[16] = uint8_t(files), b[17] = uint8_t(files >> 8);
    Add32(b, 77), Add32(b, 0), Add16(b, 0), Add16(b, 0x5A8E), Add16(b, 0x6C21), Add16(b, 0x20);
    AddText(b, fileName + '\0');
    return b;
}

TEST(CabRecords, PreludeAndFileRecords) {
    const Bytes b = CabinetStart("dir\\file.txt");
    cab::TCabHeader h;
    ASSERT_TRUE(cab::ReadCabFixedHeader(b.data(), h));
    EXPECT_EQ(h.cabinetSize, 1000u);
    EXPECT_EQ(h.versionMajor, 1);
    size_t at = 0;
    ASSERT_TRUE(cab::ReadCabPrelude(b.data(), b.size(), h, at));
    EXPECT_EQ(h.nextCabinet, "next.cab");
    EXPECT_EQ(h.nextDisk, "disk 2");
    ASSERT_EQ(h.folders.size(), 1u);
    EXPECT_EQ(h.folders[0].dataOffset, 500u);
    EXPECT_EQ(h.folders[0].compression, 1);
    EXPECT_EQ(at, size_t(h.filesOffset));
    cab::TCabFileRecord f;
    ASSERT_TRUE(cab::ReadCabFileRecord(b.data(), b.size(), at, f));
    EXPECT_EQ(f.size, 77u);
    EXPECT_EQ(f.attribs, 0x20);
    EXPECT_EQ(f.name, "dir\\file.txt");
    EXPECT_EQ(at, b.size());
    // Cut anywhere after the fixed header, the records are refused.
    for (size_t n = cab::kHeaderSize; n < b.size(); ++n) {
        SCOPED_TRACE(n);
        cab::TCabHeader c;
        cab::ReadCabFixedHeader(b.data(), c);
        size_t pos = 0;
        const bool prelude = cab::ReadCabPrelude(b.data(), n, c, pos);
        EXPECT_FALSE(prelude && cab::ReadCabFileRecord(b.data(), n, pos, f));
    }
    Bytes notCab = b;
    notCab[0] = 'X';
    EXPECT_FALSE(cab::ReadCabFixedHeader(notCab.data(), h));
}

TEST(CabRecords, NamesLongerThanTheLimitAreRefused) {
    for (size_t length : {cab::kMaxNameSize, cab::kMaxNameSize + 1}) {
        SCOPED_TRACE(length);
        const Bytes b = CabinetStart(std::string(length, 'n'));
        cab::TCabHeader h;
        cab::ReadCabFixedHeader(b.data(), h);
        size_t at = 0;
        ASSERT_TRUE(cab::ReadCabPrelude(b.data(), b.size(), h, at));
        cab::TCabFileRecord f;
        EXPECT_EQ(cab::ReadCabFileRecord(b.data(), b.size(), at, f), length <= cab::kMaxNameSize);
    }
}

} // namespace
