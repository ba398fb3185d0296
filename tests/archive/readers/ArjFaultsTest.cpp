// ARJ faults found by outside testing: a garbled member without a password is
// reported and fails; a wrong password reads as a password error; a
// self-extractor whose archive starts far into the file extracts; method 4 of
// archiver version 1 is refused.
#include "archive/readers/UnArj.h"

#include "archive/framework/Crc.h"
#include "tests/archive/readers/ReaderTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace mv;
using namespace mvtest;
using readertest::Outcome;
using readertest::Tree;

namespace {

std::string Mvarc() { return Quote(MvarcPath()); }

// A DOS program header whose image ends at imageSize, then the archive.
std::vector<uint8_t> SelfExtractor(const std::vector<uint8_t>& arj, size_t imageSize) {
    std::vector<uint8_t> exe(imageSize, 0);
    exe[0] = 'M';
    exe[1] = 'Z';
    const size_t last = imageSize % 512, pages = imageSize / 512 + (last ? 1 : 0);
    exe[2] = uint8_t(last), exe[3] = uint8_t(last >> 8);
    exe[4] = uint8_t(pages), exe[5] = uint8_t(pages >> 8);
    exe.insert(exe.end(), arj.begin(), arj.end());
    return exe;
}

} // namespace

TEST(ArjFaults, GarbledMemberWithoutPasswordFails) {
    MV_REQUIRE_TOOL("arj");
    TempDir t;
    WriteFileBytes(t / "src" / "secret.txt", TextBytes(5000, 1));
    WriteFileBytes(t / "src" / "plain.txt", TextBytes(3000, 2));
    ASSERT_EQ(mvtest::Run("arj a -y -m1 -gsecret ../g.arj secret.txt", t / "src").exitCode, 0);
    ASSERT_EQ(mvtest::Run("arj a -y -m1 ../g.arj plain.txt", t / "src").exitCode, 0);
    // Without a handler and with one that gives no password: reported as
    // protected, failed, and the plain member still comes out.
    for (bool handler : {false, true}) {
        SCOPED_TRACE(handler);
        TempDir out;
        TUnARJ reader;
        Outcome o = readertest::Extract(reader, t / "g.arj", out.Path(),
                                        {.password = {}, .ends = false, .askWithoutPassword = handler});
        EXPECT_TRUE(readertest::Reported(o, arcerr::PasswordProtected));
        EXPECT_EQ(reader.FailedCount(), 1);
        EXPECT_FALSE(o.cancelled);
        EXPECT_FALSE(fs::exists(out / "secret.txt"));
        EXPECT_EQ(ReadFileBytes(out / "plain.txt"), TextBytes(3000, 2));
    }
    auto r = mvtest::Run(Mvarc() + " extract " + Quote((t / "g.arj").string()) + " " + Quote((t / "o").string()));
    EXPECT_NE(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("25290"), std::string::npos) << r.output;
    r = mvtest::Run(Mvarc() + " test " + Quote((t / "g.arj").string()));
    EXPECT_NE(r.exitCode, 0) << r.output;
}

TEST(ArjFaults, WrongPasswordReadsAsAPasswordError) {
    MV_REQUIRE_TOOL("arj");
    TempDir t;
    WriteFileBytes(t / "src" / "text.txt", TextBytes(60000, 3));
    for (int method : {1, 4}) {
        SCOPED_TRACE(method);
        const std::string name = "w" + std::to_string(method) + ".arj";
        ASSERT_EQ(mvtest::Run("arj a -y -m" + std::to_string(method) + " -gsecret ../" + name + " text.txt",
                              t / "src")
                      .exitCode,
                  0);
        for (const std::string password : {"public", "x", "secreT"}) {
            SCOPED_TRACE(password);
            TempDir out;
            TUnARJ reader;
            Outcome o = readertest::Extract(reader, t / name, out.Path(),
                                            {.password = password, .ends = false, .raisedAsError = true});
            EXPECT_TRUE(readertest::Reported(o, 26517));
            for (int e : o.errors) EXPECT_TRUE(e == 26517 || e == 25151) << e;
            EXPECT_TRUE(Tree(out.Path()).empty());
        }
    }
}

TEST(ArjFaults, SelfExtractorWithTheArchiveFarIntoTheFile) {
    MV_REQUIRE_TOOL("arj");
    TempDir t;
    WriteFileBytes(t / "f.bin", RandomBytes(3000, 4));
    WriteFileBytes(t / "g.txt", TextBytes(8000, 5));
    ASSERT_EQ(mvtest::Run("arj a -y -m1 a.arj f.bin g.txt", t.Path()).exitCode, 0);
    const auto arj = ReadFileBytes(t / "a.arj");
    for (size_t image : {size_t(3000), size_t(30000), size_t(70001)}) {
        SCOPED_TRACE(image);
        WriteFileBytes(t / "s.exe", SelfExtractor(arj, image));
        TempDir out;
        Outcome o = readertest::ExtractAll(t / "s.exe", out.Path());
        EXPECT_TRUE(o.errors.empty()) << (o.errors.empty() ? 0 : o.errors.front());
        EXPECT_EQ(o.extracted, 2);
        EXPECT_EQ(ReadFileBytes(out / "f.bin"), RandomBytes(3000, 4));
        EXPECT_EQ(ReadFileBytes(out / "g.txt"), TextBytes(8000, 5));
    }
}

TEST(ArjFaults, MethodFourOfArchiverVersionOneIsRefused) {
    MV_REQUIRE_TOOL("arj");
    TempDir t;
    WriteFileBytes(t / "f.txt", TextBytes(4000, 6));
    ASSERT_EQ(mvtest::Run("arj a -y -m4 a.arj f.txt", t.Path()).exitCode, 0);
    auto arj = ReadFileBytes(t / "a.arj");
    // The local header follows the main header: id, size, basic header, CRC, extended size 0.
    const size_t local = 4 + size_t(arj[2] | arj[3] << 8) + 4 + 2;
    ASSERT_EQ(arj[local], 0x60);
    const size_t basic = size_t(arj[local + 2] | arj[local + 3] << 8);
    ASSERT_EQ(arj[local + 4 + 5], 4); // method 4
    arj[local + 4 + 1] = 1;           // archiver version 1
    const uint32_t crc = Crc32Of(&arj[local + 4], basic);
    for (int i = 0; i < 4; ++i) arj[local + 4 + basic + size_t(i)] = uint8_t(crc >> (8 * i));
    WriteFileBytes(t / "v1.arj", arj);
    TempDir out;
    TUnARJ reader;
    Outcome o = readertest::Extract(reader, t / "v1.arj", out.Path(), {.password = {}, .raisedAsError = true});
    EXPECT_TRUE(readertest::Reported(o, arcerr::UnknownMethod));
    EXPECT_TRUE(Tree(out.Path()).empty());
}
