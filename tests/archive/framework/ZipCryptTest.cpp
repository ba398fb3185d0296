#include "archive/framework/ZipCrypt.h"
#include "archive/framework/Crc.h"
#include "archive/framework/ZipRecords.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace mv;
using mvtest::Quote;

namespace {

// One member of a peer archive: its central record and where its data is.
struct PeerMember {
    std::string name;
    TZipCentralRecord central;
    TZipLocalHeader local;
    size_t dataPos = 0;
};

std::vector<PeerMember> ReadPeerZip(const std::vector<uint8_t>& bytes) {
    std::vector<PeerMember> out;
    size_t endPos = bytes.size() - ZipEndRecordSize;
    while (endPos > 0 && LE32(&bytes[endPos]) != ZipEndSignature) --endPos;
    TZipEndRecord end;
    EXPECT_EQ(ReadZipEndRecord(&bytes[endPos], bytes.size() - endPos, end), TZipRecordStatus::zrOk);
    size_t pos = end.CentralOffset;
    for (int i = 0; i < end.EntriesTotal; ++i) {
        PeerMember m;
        EXPECT_EQ(ReadZipCentralRecord(&bytes[pos], bytes.size() - pos, m.central), TZipRecordStatus::zrOk);
        m.name.assign(reinterpret_cast<const char*>(&bytes[pos + ZipCentralRecordSize]),
                      m.central.NameLength);
        const size_t lh = m.central.LocalHeaderOffset;
        EXPECT_EQ(ReadZipLocalHeader(&bytes[lh], bytes.size() - lh, m.local), TZipRecordStatus::zrOk);
        m.dataPos = lh + ZipLocalHeaderSize + m.local.NameLength + m.local.ExtraLength;
        out.push_back(m);
        pos += ZipCentralRecordSize + m.central.NameLength + m.central.ExtraLength + m.central.CommentLength;
    }
    return out;
}

struct Opened {
    bool headerOk = false;
    std::vector<uint8_t> data;
};

// Tests the header of a stored encrypted member and decrypts its data.
Opened OpenStored(const std::vector<uint8_t>& bytes, const PeerMember& m, const std::string& password) {
    Opened r;
    TZipKeys keys;
    r.headerOk = ZipTestEncryptHeader(keys, &bytes[m.dataPos], m.central.Flags, password,
                                      m.central.DosDateTime, m.central.Crc32);
    const size_t n = m.central.CompressedSize - ZipEncryptHeaderSize;
    r.data.resize(n);
    keys.DecryptBlock(&bytes[m.dataPos + ZipEncryptHeaderSize], r.data.data(), n);
    return r;
}

} // namespace

TEST(ZipCrypt, KeysFollowThePublishedRules) {
    TZipKeys keys;
    EXPECT_EQ(keys.Key0(), 0x12345678u);
    EXPECT_EQ(keys.Key1(), 0x23456789u);
    EXPECT_EQ(keys.Key2(), 0x34567890u);
    keys.InitKeys("");
    EXPECT_EQ(keys.Key2(), 0x34567890u);
    // One update by hand.
    keys.UpdateKeys('a');
    uint32_t k0 = Crc32Step(0x12345678u, 'a');
    uint32_t k1 = (0x23456789u + (k0 & 0xFF)) * 134775813u + 1;
    uint32_t k2 = Crc32Step(0x34567890u, static_cast<uint8_t>(k1 >> 24));
    EXPECT_EQ(keys.Key0(), k0);
    EXPECT_EQ(keys.Key1(), k1);
    EXPECT_EQ(keys.Key2(), k2);

    // A password of 300 characters uses all of them.
    std::string longPassword(300, 'x');
    TZipKeys a, b;
    a.InitKeys(longPassword);
    b.InitKeys(longPassword.substr(0, 299) + "y");
    EXPECT_NE(a.Key0(), b.Key0());
}

TEST(ZipCrypt, BlocksGoToASeparateOutputAndRoundTrip) {
    const auto plain = mvtest::RandomBytes(1000, 3);
    const auto copy = plain;
    TZipKeys enc, dec;
    uint8_t header[ZipEncryptHeaderSize];
    ZipMakeEncryptHeader(enc, "pw", 0xA1B2C3D4, header);
    std::vector<uint8_t> cipher(plain.size()), back(plain.size());
    enc.EncryptBlock(plain.data(), cipher.data(), plain.size());
    EXPECT_EQ(plain, copy); // the input is never changed
    EXPECT_NE(cipher, plain);
    uint8_t decrypted[ZipEncryptHeaderSize];
    ASSERT_TRUE(ZipTestEncryptHeader(dec, header, 0, "pw", 0, 0xA1B2C3D4, decrypted));
    EXPECT_EQ(decrypted[10], 0xB2);
    EXPECT_EQ(decrypted[11], 0xA1);
    dec.DecryptBlock(cipher.data(), back.data(), cipher.size());
    EXPECT_EQ(back, plain);
    // Empty password: false. Data-descriptor flag: the check byte is the time's high byte.
    EXPECT_FALSE(ZipTestEncryptHeader(dec, header, 0, "", 0, 0xA1B2C3D4));
    EXPECT_FALSE(ZipTestEncryptHeader(dec, header, ZipFlagDataDescriptor, "pw", 0x0000B100, 0xA1B2C3D4) &&
                 ZipTestEncryptHeader(dec, header, ZipFlagDataDescriptor, "pw", 0x00000000, 0xA1B2C3D4));
    EXPECT_TRUE(ZipTestEncryptHeader(dec, header, ZipFlagDataDescriptor, "pw", 0x1234A100, 0));
    EXPECT_EQ(ZipEncryptCheckByte(ZipFlagDataDescriptor, 0x1234A1FF, 0x99000000), 0xA1);
    EXPECT_EQ(ZipEncryptCheckByte(0, 0x1234A1FF, 0x99000000), 0x99);
    // Two headers in a row differ in their random bytes.
    uint8_t second[ZipEncryptHeaderSize];
    ZipMakeEncryptHeader(enc, "pw", 0xA1B2C3D4, second);
    EXPECT_NE(std::vector<uint8_t>(header, header + 10), std::vector<uint8_t>(second, second + 10));
}

// Archives encrypted by the peers (zip -P checks the DOS time, 7-Zip the CRC)
// open with our keys; a wrong password is told apart by the header check, and
// where the check passes by chance, by the CRC.
TEST(ZipCrypt, PeerArchivesDecryptWithOurKeys) {
    MV_REQUIRE_TOOL("zip");
    MV_REQUIRE_TOOL("7z");
    mvtest::TempDir dir;
    std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
    for (int i = 0; i < 6; ++i)
        files.push_back({"f" + std::to_string(i) + ".bin", mvtest::TextBytes(2000 + 777 * i, 20 + i)});
    std::string names;
    for (const auto& [name, data] : files) {
        mvtest::WriteFileBytes(dir / name, data);
        names += " " + name;
    }
    const std::string password = "Tr0ub4dor&3";
    struct Case {
        std::string command;
        bool timeCheck;
    };
    const std::vector<Case> cases = {
        {"zip -q -0 -P " + Quote(password) + " z.zip" + names, true},
        {"7z a -bd -tzip -mx0 -mem=ZipCrypto -p" + Quote(password) + " z.zip" + names, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        std::filesystem::remove(dir / "z.zip");
        auto r = mvtest::Run(c.command, dir.Path());
        ASSERT_EQ(r.exitCode, 0) << r.output;
        const auto bytes = mvtest::ReadFileBytes(dir / "z.zip");
        const auto members = ReadPeerZip(bytes);
        ASSERT_EQ(members.size(), files.size());
        int wrongRejected = 0;
        for (size_t i = 0; i < members.size(); ++i) {
            const auto& m = members[i];
            SCOPED_TRACE(m.name);
            ASSERT_EQ(m.central.Method, ZipMethodStored);
            ASSERT_TRUE(m.central.Flags & ZipFlagEncrypted);
            EXPECT_EQ((m.central.Flags & ZipFlagDataDescriptor) != 0, c.timeCheck);
            auto opened = OpenStored(bytes, m, password);
            EXPECT_TRUE(opened.headerOk);
            EXPECT_EQ(opened.data, files[i].second);
            EXPECT_EQ(Crc32Of(opened.data.data(), opened.data.size()), m.central.Crc32);

            auto wrong = OpenStored(bytes, m, password + "!");
            if (!wrong.headerOk)
                ++wrongRejected;
            else
                EXPECT_NE(Crc32Of(wrong.data.data(), wrong.data.size()), m.central.Crc32);
        }
        // Each member passes a wrong password by chance once in 256 times.
        EXPECT_GE(wrongRejected, 4);
    }
    // A deflated member made by zip -P passes the header check as well.
    auto r = mvtest::Run("zip -q -P " + Quote(password) + " d.zip" + names, dir.Path());
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const auto bytes = mvtest::ReadFileBytes(dir / "d.zip");
    for (const auto& m : ReadPeerZip(bytes)) {
        TZipKeys keys;
        EXPECT_TRUE(ZipTestEncryptHeader(keys, &bytes[m.dataPos], m.central.Flags, password,
                                         m.central.DosDateTime, m.central.Crc32))
            << m.name;
    }
}

TEST(ZipCrypt, ArjGarblingCyclesThroughThePassword) {
    const std::string password = "abc";
    const std::vector<uint8_t> in = {1, 2, 3, 4, 5, 6, 7};
    std::vector<uint8_t> out(in.size());
    int pos = 2;
    ArjGarble(in.data(), out.data(), in.size(), password, pos);
    const std::vector<uint8_t> want = {uint8_t(1 ^ 'b'), uint8_t(2 ^ 'c'), uint8_t(3 ^ 'a'), uint8_t(4 ^ 'b'),
                                       uint8_t(5 ^ 'c'), uint8_t(6 ^ 'a'), uint8_t(7 ^ 'b')};
    EXPECT_EQ(out, want);
    EXPECT_EQ(pos, 3);
    // Applying it again from the same position gives the input back.
    std::vector<uint8_t> back(in.size());
    pos = 2;
    ArjGarble(out.data(), back.data(), out.size(), password, pos);
    EXPECT_EQ(back, in);
    // An empty password copies; a position outside the password starts at 1.
    pos = 1;
    ArjGarble(in.data(), back.data(), in.size(), "", pos);
    EXPECT_EQ(back, in);
    pos = 99;
    ArjGarble(in.data(), back.data(), 1, password, pos);
    EXPECT_EQ(back[0], 1 ^ 'a');
    EXPECT_EQ(pos, 2);
}
