// Our ACE library against the corpus (ACE 1.0 and 2.0, solid, encrypted, stored,
// two volumes): every member decodes to the manifest's CRC; the cipher and key
// against known vectors; damaged and truncated archives end with result codes,
// never a crash or a hang.
#include "archive/libraries/ace/Unace.h"
#include "archive/framework/Crc.h"
#include "archive/libraries/ace/AceCrypt.h"
#include "archive/libraries/ace/AceDecode.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <set>

using namespace mv;
using namespace mv::unace;
namespace fs = std::filesystem;

namespace {

uint32_t gCrc = 0;
uint64_t gBytes = 0;
int Data(unsigned char* p, int n) {
    UpdateCRC32(p, size_t(n), gCrc);
    gBytes += uint64_t(n);
    return 1;
}
int Volume(char*, int mode) {
    return mode == ACE_VOL_NOTIFY ? 1 : 0;
}

struct Result {
    std::set<uint32_t> crcs; // standard CRC-32 of every non-empty member that decoded
    std::vector<int> codes;  // process results of every member
    int members = 0;
    int end = 0;
};

Result TestArchive(const fs::path& path, const std::string& password = {}) {
    Result res;
    ACEOpenArchiveData od;
    od.ArcName = path.string();
    od.DataProc = Data;
    od.VolumeProc = Volume;
    AceHandle h = ACEOpenArchive(&od);
    if (!h) {
        res.end = od.OpenResult;
        return res;
    }
    if (!password.empty()) ACESetPassword(h, password.c_str());
    ACEHeaderData hd;
    int r;
    while ((r = ACEReadHeader(h, &hd)) == ACE_SUCCESS && res.members < 1000) {
        ++res.members;
        gCrc = CrcSeed;
        gBytes = 0;
        int pr = ACEProcessFile(h, ACE_TEST);
        res.codes.push_back(pr);
        if (pr == ACE_SUCCESS && gBytes > 0) {
            EXPECT_EQ(gCrc, hd.FileCRC) << hd.FileName;
            res.crcs.insert(~gCrc);
        }
    }
    res.end = r;
    ACECloseArchive(h);
    return res;
}

std::set<uint32_t> ManifestCrcs(const std::string& rel) {
    std::set<uint32_t> out;
    for (const auto& e : mvtest::ReadManifest())
        if (e.path == rel || (rel == "ace/split.ace" && e.path == "ace/split.c00"))
            for (const auto& m : e.listing)
                if (m.size > 0) out.insert(m.crc);
    return out;
}

} // namespace

TEST(Unace, CorpusMembersDecodeToTheirCrc) {
    const fs::path dir = mvtest::CorpusDir() / "ace";
    if (!fs::exists(dir)) GTEST_SKIP() << "no corpus";
    for (const char* name : {"license1.ace", "license2.ace", "method1.ace", "method1_solid.ace",
                             "method2.ace", "method2_solid.ace", "store.ace", "split.ace", "encrypted.ace"}) {
        SCOPED_TRACE(name);
        const std::string rel = std::string("ace/") + name;
        Result r = TestArchive(dir / name, std::string(name) == "encrypted.ace" ? "test" : "");
        EXPECT_EQ(r.end, ACE_END_ARCHIVE);
        for (int c : r.codes) EXPECT_EQ(c, ACE_SUCCESS);
        EXPECT_EQ(r.crcs, ManifestCrcs(rel));
    }
}

TEST(Unace, WrongOrMissingPasswordGives131) {
    const fs::path file = mvtest::CorpusDir() / "ace" / "encrypted.ace";
    if (!fs::exists(file)) GTEST_SKIP() << "no corpus";
    for (const char* pw : {"", "wrong"}) {
        Result r = TestArchive(file, pw);
        EXPECT_EQ(r.end, ACE_END_ARCHIVE);
        EXPECT_TRUE(r.crcs.empty());
        int failures = 0;
        for (int c : r.codes)
            if (c != ACE_SUCCESS) {
                ++failures;
                EXPECT_TRUE(c == ACE_ERR_PASSWORD || c == ACE_ERR_CRC) << c;
            }
        EXPECT_EQ(failures, 3);
    }
}

TEST(Unace, RefusedMemberStaysReadyForTheNextPassword) {
    const fs::path file = mvtest::CorpusDir() / "ace" / "encrypted.ace";
    if (!fs::exists(file)) GTEST_SKIP() << "no corpus";
    ACEOpenArchiveData od;
    od.ArcName = file.string();
    od.DataProc = Data;
    AceHandle h = ACEOpenArchive(&od);
    ASSERT_NE(h, nullptr);
    ACEHeaderData hd;
    std::set<uint32_t> crcs;
    while (ACEReadHeader(h, &hd) == ACE_SUCCESS) {
        if (!(hd.Flags & ACE_FLAG_ENCRYPTED)) {
            EXPECT_EQ(ACEProcessFile(h, ACE_TEST), ACE_SUCCESS);
            continue;
        }
        ACESetPassword(h, "nope");
        gCrc = CrcSeed;
        EXPECT_EQ(ACEProcessFile(h, ACE_TEST), ACE_ERR_PASSWORD);
        ACESetPassword(h, "test");
        gCrc = CrcSeed;
        EXPECT_EQ(ACEProcessFile(h, ACE_TEST), ACE_SUCCESS);
        crcs.insert(~gCrc);
    }
    ACECloseArchive(h);
    EXPECT_EQ(crcs, ManifestCrcs("ace/encrypted.ace"));
}

TEST(Unace, KeyAndCipherVectors) {
    uint32_t key[5];
    AceKeyFromPassword("123456789", key);
    const uint32_t want[5] = {0xB70ECB9C, 0xC63C99E5, 0xF1E50085, 0x4E0246FE, 0x3571369E};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(key[i], want[i]);
    AceKeyFromPassword("test", key);
    EXPECT_EQ(key[0], 0x56FAA4F4u);
    EXPECT_EQ(key[4], 0xFE4AE668u);
    AceCipher c;
    c.SetPassword("123456789");
    uint8_t data[16] = {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
                        0xc7, 0xc7, 0xc7, 0xc7, 0xc7, 0xc7, 0xc7, 0xc7};
    c.Decrypt(data, 16);
    const uint8_t plain[16] = {0xb7, 0x77, 0x46, 0x40, 0x35, 0x2e, 0x65, 0x72,
                               0x65, 0x45, 0x05, 0xc4, 0xa5, 0x85, 0x29, 0xbc};
    EXPECT_EQ(std::vector<uint8_t>(data, data + 16), std::vector<uint8_t>(plain, plain + 16));
}

TEST(Unace, NextVolumeNames) {
    EXPECT_EQ(AceNextVolumeName("/a/x.ace"), "/a/x.c00");
    EXPECT_EQ(AceNextVolumeName("/a/x.c00"), "/a/x.c01");
    EXPECT_EQ(AceNextVolumeName("/a/X.ACE"), "/a/X.C00");
    EXPECT_EQ(AceNextVolumeName("/a/x.c09"), "/a/x.c10");
}

TEST(Unace, MissingVolumeEndsTheSplitMember) {
    const fs::path src = mvtest::CorpusDir() / "ace" / "split.ace";
    if (!fs::exists(src)) GTEST_SKIP() << "no corpus";
    mvtest::TempDir tmp;
    fs::copy_file(src, tmp / "split.ace");
    Result r = TestArchive(tmp / "split.ace");
    ASSERT_FALSE(r.codes.empty());
    EXPECT_EQ(r.codes.back(), ACE_ERR_NOT_FOUND);
}

TEST(Unace, DamagedArchivesEndWithCodes) {
    const fs::path dir = mvtest::CorpusDir() / "ace";
    if (!fs::exists(dir)) GTEST_SKIP() << "no corpus";
    mvtest::TempDir tmp;
    for (const char* name : {"license1.ace", "license2.ace", "method2.ace"}) {
        const auto bytes = mvtest::ReadFileBytes(dir / name);
        const auto full = TestArchive(dir / name).crcs;
        // Truncations across the headers and the data, and bit flips in the first tables.
        for (size_t cut = 1; cut < bytes.size(); cut += bytes.size() / 37 + 1) {
            std::vector<uint8_t> b(bytes.begin(), bytes.begin() + long(cut));
            mvtest::WriteFileBytes(tmp / "t.ace", b);
            EXPECT_NE(TestArchive(tmp / "t.ace").crcs, full) << cut;
        }
        for (size_t at = 95; at < 160 && at < bytes.size(); at += 3) {
            std::vector<uint8_t> b = bytes;
            b[at] ^= 0x21;
            mvtest::WriteFileBytes(tmp / "f.ace", b);
            TestArchive(tmp / "f.ace");
        }
    }
}

TEST(Unace, HugeDictionaryAndTinyInputStayBounded) {
    // Random input decodes to an error, never past its declared size.
    for (uint32_t seed = 1; seed < 40; ++seed) {
        auto junk = mvtest::RandomBytes(64 + seed * 7, seed);
        for (int type : {1, 2}) {
            MemoryInput in(junk);
            MemoryOutput out(1 << 20);
            AceDecoder d;
            try {
                d.Decode(type, in, out, 1 << 20);
            } catch (const ECodecError&) {
            }
            EXPECT_LE(out.bytes.size(), size_t(1) << 20);
        }
    }
}
