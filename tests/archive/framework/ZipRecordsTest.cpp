#include "archive/framework/ZipRecords.h"
#include "archive/framework/Crc.h"
#include "archive/framework/ZipCrypt.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace mv;
using mvtest::Quote;

namespace {

struct Member {
    std::string name;
    std::vector<uint8_t> data;
};

void Append(std::vector<uint8_t>& out, const uint8_t* p, size_t n) {
    out.insert(out.end(), p, p + n);
}

// A ZIP of stored members written with our records, encrypted when a password
// is given (an empty member is stored plain, as the writer does).
std::vector<uint8_t> WriteStoredZip(const std::vector<Member>& members, const std::string& password) {
    std::vector<uint8_t> out, central;
    for (const auto& m : members) {
        const uint32_t crc = Crc32Of(m.data.data(), m.data.size());
        const bool encrypt = !password.empty() && !m.data.empty();
        TZipLocalHeader h;
        h.VersionNeeded = 20;
        h.Flags = encrypt ? ZipFlagEncrypted : 0;
        h.Method = ZipMethodStored;
        h.DosDateTime = (uint32_t(0x5A21) << 16) | 0x6C20; // 2025-01-01 13:33:00
        h.Crc32 = crc;
        h.CompressedSize = static_cast<uint32_t>(m.data.size() + (encrypt ? ZipEncryptHeaderSize : 0));
        h.UncompressedSize = static_cast<uint32_t>(m.data.size());
        h.NameLength = static_cast<uint16_t>(m.name.size());
        TZipCentralRecord c;
        c.VersionMadeBy = 20;
        c.VersionNeeded = 20;
        c.Flags = h.Flags;
        c.Method = h.Method;
        c.DosDateTime = h.DosDateTime;
        c.Crc32 = crc;
        c.CompressedSize = h.CompressedSize;
        c.UncompressedSize = h.UncompressedSize;
        c.NameLength = h.NameLength;
        c.ExternalAttributes = 0x20;
        c.LocalHeaderOffset = static_cast<uint32_t>(out.size());

        uint8_t buf[ZipCentralRecordSize];
        WriteZipLocalHeader(h, buf);
        Append(out, buf, ZipLocalHeaderSize);
        Append(out, reinterpret_cast<const uint8_t*>(m.name.data()), m.name.size());
        if (encrypt) {
            TZipKeys keys;
            uint8_t header[ZipEncryptHeaderSize];
            ZipMakeEncryptHeader(keys, password, crc, header);
            Append(out, header, sizeof header);
            std::vector<uint8_t> cipher(m.data.size());
            keys.EncryptBlock(m.data.data(), cipher.data(), m.data.size());
            Append(out, cipher.data(), cipher.size());
        } else {
            Append(out, m.data.data(), m.data.size());
        }
        WriteZipCentralRecord(c, buf);
        Append(central, buf, ZipCentralRecordSize);
        Append(central, reinterpret_cast<const uint8_t*>(m.name.data()), m.name.size());
    }
    TZipEndRecord e;
    e.EntriesOnDisk = e.EntriesTotal = static_cast<uint16_t>(members.size());
    e.CentralSize = static_cast<uint32_t>(central.size());
    e.CentralOffset = static_cast<uint32_t>(out.size());
    Append(out, central.data(), central.size());
    uint8_t buf[ZipEndRecordSize];
    WriteZipEndRecord(e, buf);
    Append(out, buf, sizeof buf);
    return out;
}

std::vector<Member> SampleMembers() {
    return {{"text.txt", mvtest::TextBytes(5000, 1)},
            {"random.bin", mvtest::RandomBytes(70000, 2)},
            {"empty.txt", {}},
            {"dir/small.txt", {'a', 'b', 'c'}}};
}

} // namespace

TEST(ZipRecords, FieldsRoundTripByteForByteOnPeerArchives) {
    MV_REQUIRE_TOOL("zip");
    mvtest::TempDir dir;
    mvtest::WriteFileBytes(dir / "a.txt", mvtest::TextBytes(3000, 5));
    mvtest::WriteFileBytes(dir / "b.bin", mvtest::RandomBytes(100, 6));
    ASSERT_EQ(mvtest::Run("echo 'a comment' | zip -q -X -z t.zip a.txt b.bin", dir.Path()).exitCode, 0);
    const auto bytes = mvtest::ReadFileBytes(dir / "t.zip");
    // The end record: the last signature in the file.
    size_t endPos = bytes.size() - ZipEndRecordSize;
    while (endPos > 0 && LE32(&bytes[endPos]) != ZipEndSignature) --endPos;
    TZipEndRecord end;
    ASSERT_EQ(ReadZipEndRecord(&bytes[endPos], bytes.size() - endPos, end), TZipRecordStatus::zrOk);
    EXPECT_EQ(end.EntriesTotal, 2);
    EXPECT_EQ(endPos + ZipEndRecordSize + end.CommentLength, bytes.size());
    uint8_t out[ZipCentralRecordSize];
    WriteZipEndRecord(end, out);
    EXPECT_EQ(std::vector<uint8_t>(out, out + ZipEndRecordSize),
              std::vector<uint8_t>(&bytes[endPos], &bytes[endPos] + ZipEndRecordSize));

    size_t pos = end.CentralOffset;
    for (int i = 0; i < end.EntriesTotal; ++i) {
        TZipCentralRecord c;
        ASSERT_EQ(ReadZipCentralRecord(&bytes[pos], bytes.size() - pos, c), TZipRecordStatus::zrOk);
        WriteZipCentralRecord(c, out);
        EXPECT_EQ(std::vector<uint8_t>(out, out + ZipCentralRecordSize),
                  std::vector<uint8_t>(&bytes[pos], &bytes[pos] + ZipCentralRecordSize));
        TZipLocalHeader h;
        ASSERT_EQ(ReadZipLocalHeader(&bytes[c.LocalHeaderOffset], bytes.size() - c.LocalHeaderOffset, h),
                  TZipRecordStatus::zrOk);
        EXPECT_EQ(h.Crc32, c.Crc32);
        EXPECT_EQ(h.CompressedSize, c.CompressedSize);
        WriteZipLocalHeader(h, out);
        EXPECT_EQ(std::vector<uint8_t>(out, out + ZipLocalHeaderSize),
                  std::vector<uint8_t>(&bytes[c.LocalHeaderOffset], &bytes[c.LocalHeaderOffset] + 30));
        pos += ZipCentralRecordSize + c.NameLength + c.ExtraLength + c.CommentLength;
    }
}

TEST(ZipRecords, ShortWrongAndZip64RecordsAreToldApart) {
    uint8_t buf[ZipCentralRecordSize] = {};
    TZipLocalHeader h;
    TZipCentralRecord c;
    TZipEndRecord e;
    TZipDataDescriptor d;
    EXPECT_EQ(ReadZipLocalHeader(buf, 29, h), TZipRecordStatus::zrShort);
    EXPECT_EQ(ReadZipLocalHeader(buf, 30, h), TZipRecordStatus::zrBadSignature);
    EXPECT_EQ(ReadZipCentralRecord(buf, 45, c), TZipRecordStatus::zrShort);
    EXPECT_EQ(ReadZipEndRecord(buf, 21, e), TZipRecordStatus::zrShort);
    EXPECT_EQ(ReadZipDataDescriptor(buf, 15, true, d), TZipRecordStatus::zrShort);
    EXPECT_EQ(ReadZipDataDescriptor(buf, 16, true, d), TZipRecordStatus::zrBadSignature);
    EXPECT_EQ(ReadZipDataDescriptor(buf, 12, false, d), TZipRecordStatus::zrOk);

    h.CompressedSize = 0xFFFFFFFF;
    WriteZipLocalHeader(h, buf);
    EXPECT_EQ(ReadZipLocalHeader(buf, 30, h), TZipRecordStatus::zrZip64);
    e.EntriesTotal = 0xFFFF;
    WriteZipEndRecord(e, buf);
    EXPECT_EQ(ReadZipEndRecord(buf, 22, e), TZipRecordStatus::zrZip64);
    c.LocalHeaderOffset = 0xFFFFFFFF;
    WriteZipCentralRecord(c, buf);
    EXPECT_EQ(ReadZipCentralRecord(buf, 46, c), TZipRecordStatus::zrZip64);
    EXPECT_TRUE(NeedsZip64(0xFFFFFFFFull));
    EXPECT_FALSE(NeedsZip64(0xFFFFFFFEull));
    EXPECT_TRUE(NeedsZip64Count(65535));

    // A data descriptor written with and without its signature reads back.
    d = {true, 0x11223344, 5, 7};
    WriteZipDataDescriptor(d, buf);
    EXPECT_EQ(LE32(buf), ZipSpanSignature);
    TZipDataDescriptor back;
    ASSERT_EQ(ReadZipDataDescriptor(buf, 16, true, back), TZipRecordStatus::zrOk);
    EXPECT_EQ(back.Crc32, 0x11223344u);
    EXPECT_EQ(back.UncompressedSize, 7u);

    EXPECT_EQ(ZipDeflateFlagBits(1), 0x06);
    EXPECT_EQ(ZipDeflateFlagBits(2), 0x04);
    EXPECT_EQ(ZipDeflateFlagBits(9), 0x02);
    EXPECT_EQ(ZipDeflateFlagBits(6), 0x00);

    TByteView view(buf, 3);
    EXPECT_EQ(view.U32(0), 0u); // would pass the end
    EXPECT_EQ(view.U16(2), 0u);
    EXPECT_TRUE(view.Has(3, 0));
    EXPECT_FALSE(view.Has(4, 0));
    EXPECT_FALSE(view.Has(1, SIZE_MAX));
}

// Our records with the traditional encryption make archives the peers accept.
TEST(ZipRecords, EncryptedArchivePassesPeerTests) {
    MV_REQUIRE_TOOL("unzip");
    MV_REQUIRE_TOOL("7z");
    mvtest::TempDir dir;
    const std::string password = "s3cret pässword";
    mvtest::WriteFileBytes(dir / "enc.zip", WriteStoredZip(SampleMembers(), password));
    auto r = mvtest::Run("unzip -t -P " + Quote(password) + " enc.zip", dir.Path());
    EXPECT_EQ(r.exitCode, 0) << r.output;
    r = mvtest::Run("7z t -p" + Quote(password) + " enc.zip", dir.Path());
    EXPECT_EQ(r.exitCode, 0) << r.output;
    // And the peers refuse it with another password.
    r = mvtest::Run("unzip -t -P wrong enc.zip", dir.Path());
    EXPECT_NE(r.exitCode, 0) << r.output;

    mvtest::WriteFileBytes(dir / "plain.zip", WriteStoredZip(SampleMembers(), ""));
    r = mvtest::Run("unzip -t plain.zip", dir.Path());
    EXPECT_EQ(r.exitCode, 0) << r.output;
    // An encrypted stored member of n bytes has compressed size n + 12.
    const auto bytes = mvtest::ReadFileBytes(dir / "enc.zip");
    TZipLocalHeader h;
    ASSERT_EQ(ReadZipLocalHeader(bytes.data(), bytes.size(), h), TZipRecordStatus::zrOk);
    EXPECT_EQ(h.CompressedSize, 5000u + 12u);
}

// Archives that need Zip64 are recognised as such (and so refused), never
// read with their escape values taken as sizes.
TEST(ZipRecords, Zip64ArchivesAreRecognised) {
    MV_REQUIRE_TOOL("zip");
    mvtest::TempDir dir;
    mvtest::WriteFileText(dir / "h.txt", "hello\n");
    ASSERT_EQ(mvtest::Run("zip -q -fz z64.zip h.txt", dir.Path()).exitCode, 0);
    const auto bytes = mvtest::ReadFileBytes(dir / "z64.zip");
    TZipLocalHeader h;
    EXPECT_EQ(ReadZipLocalHeader(bytes.data(), bytes.size(), h), TZipRecordStatus::zrZip64);
    TZipEndRecord e;
    EXPECT_EQ(ReadZipEndRecord(&bytes[bytes.size() - ZipEndRecordSize], ZipEndRecordSize, e),
              TZipRecordStatus::zrZip64);
    // The Zip64 locator stands right before the end record.
    EXPECT_EQ(LE32(&bytes[bytes.size() - ZipEndRecordSize - Zip64LocatorSize]), Zip64LocatorSignature);
}
