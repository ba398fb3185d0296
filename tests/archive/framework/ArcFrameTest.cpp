// The component frame: volume naming, block input and output by mode with their
// CRC and cipher hooks, error reporting with the cancel rule, the error texts,
// file specifications, progress and the entry texts.
#include "archive/framework/ArcTimer.h"
#include "archive/framework/Crc.h"
#include "archive/framework/ZipCommon.h"
#include "archive/framework/ZipCrypt.h"
#include "platform/FileSystem.h"

#include "resources/ArcErrorTexts.h"
#include "tests/support/TestSupport.h"
#include <filesystem>

#include <gtest/gtest.h>

using namespace mv;

namespace {

// A component whose type is fixed instead of detected.
class TFixedComponent : public TZipCommon {
public:
    explicit TFixedComponent(TArcType type) : fixed(type) { FArcType = type; }
    void DetectArcType() override { FArcType = fixed; }
    void Use(TArcType t) { fixed = FArcType = t; }

private:
    TArcType fixed;
};

// A stream that accepts at most `room` bytes.
class TShortStream : public TMemoryStream {
public:
    explicit TShortStream(int64_t room) : room(room) {}
    int64_t Write(const void* b, int64_t n) override {
        int64_t k = std::min(n, room);
        room -= k;
        return TMemoryStream::Write(b, k);
    }

private:
    int64_t room;
};

} // namespace

TEST(ArcFrame, VolumeNumberingFromTheArchiveName) {
    struct Row {
        TArcType type;
        const char* name;
        char letter;
        int number;
    } rows[] = {
        {TArcType::atRar, "/d/x.r05", 'r', 6}, {TArcType::atRar, "/d/x.rar", 'q', 0},
        {TArcType::atArj, "/d/x.arj", 'a', 1}, {TArcType::atArj, "/d/x.a01", 'a', 2},
        {TArcType::atACE, "/d/x.ace", 'c', 0}, {TArcType::atACE, "/d/X.ACE", 'C', 0},
        {TArcType::atRar, "/d/x", 'q', 0},     {TArcType::atZip, "/d/x.z01", 0, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        TFixedComponent c(r.type);
        c.SetArchiveFile(r.name);
        EXPECT_EQ(c.VolumeNumber(), r.number);
        if (r.letter) {
            EXPECT_EQ(c.VolumeLetter(), r.letter);
        }
    }
}

TEST(ArcFrame, NextVolumeNames) {
    TFixedComponent rar(TArcType::atRar);
    rar.SetArchiveFile("/d/x.rar");
    EXPECT_EQ(rar.GetNextVolumeName("/d/x.rar", 0), "/d/x.r00");
    EXPECT_EQ(rar.GetNextVolumeName("/d/x.rar", 1), "/d/x.r01");
    EXPECT_EQ(rar.GetNextVolumeName("/d/x.rar", 99), "/d/x.r99");
    EXPECT_EQ(rar.GetNextVolumeName("/d/x.rar", 100), "/d/x.s00");
    EXPECT_EQ(rar.GetNextVolumeName("/d/x.rar", -1), "");
    EXPECT_EQ(rar.GetNextVolumeName("", 3), "");
    TFixedComponent arj(TArcType::atArj);
    arj.SetArchiveFile("/d/my.backup.arj");
    // every dot but the extension's stays in the name
    EXPECT_EQ(arj.GetNextVolumeName("/d/my.backup.arj", 1), "/d/my.backup.a01");
    EXPECT_EQ(arj.GetNextVolumeName("/d/my.backup.arj", 12), "/d/my.backup.a12");
    TFixedComponent ace(TArcType::atACE);
    ace.SetArchiveFile("/d/x.ace");
    EXPECT_EQ(ace.GetNextVolumeName("/d/x.ace", 0), "/d/x.c00");
    EXPECT_EQ(ace.GetNextVolumeName("/d/x.ace", 100), "/d/x.100");
}

TEST(ArcFrame, ZipCommentBufferIsClamped) {
    TFixedComponent c(TArcType::atZip);
    c.SetZipCmntBufSize(100);
    EXPECT_EQ(c.ZipCmntBufSize(), 2000);
    c.SetZipCmntBufSize(40000);
    EXPECT_EQ(c.ZipCmntBufSize(), 32767);
}

TEST(ArcFrame, BlockReadsByModeWithCrc) {
    TFixedComponent c(TArcType::atTar);
    std::vector<uint8_t> data = mvtest::RandomBytes(1000, 5);
    uint32_t want = mvtest::ReferenceCrc32(data.data(), data.size());
    std::vector<uint8_t> buf(1000);
    // mode 3: MemoryStream
    TMemoryStream ms(data);
    c.SetMemoryStream(&ms);
    c.SetReadMode(rwMemoryStream);
    c.SetCrc32Register(CrcSeed);
    EXPECT_EQ(c.ReadProc(nullptr, nullptr, buf.data(), false, crc32, 1000, 0), 1000);
    EXPECT_EQ(c.Crc32Register() ^ 0xFFFFFFFFu, want);
    EXPECT_EQ(buf, data);
    // mode 4: memory at MemoryPointer, never past its length
    c.SetMemoryPointer(data.data(), 600);
    c.SetReadMode(rwMemoryPointer);
    EXPECT_EQ(c.ReadProc(nullptr, nullptr, buf.data(), false, crcNone, 1000, 0), 600);
    EXPECT_EQ(c.ReadProc(nullptr, nullptr, buf.data(), false, crcNone, 1000, 0), 0);
    // mode 2: the stream of the call; CRC-16
    TMemoryStream arg(data);
    c.SetReadMode(rwCallStream);
    c.SetCrc16Register(0);
    EXPECT_EQ(c.ReadProc(nullptr, &arg, buf.data(), false, crc16, 1000, 0), 1000);
    EXPECT_EQ(c.Crc16Register(), Crc16Of(data.data(), data.size()));
    // mode 1 without a UserStream: a stream error
    c.SetReadMode(rwUserStream);
    EXPECT_EQ(c.ReadProc(nullptr, nullptr, buf.data(), false, crcNone, 10, 0), -1);
    EXPECT_EQ(c.ReadProc(nullptr, nullptr, buf.data(), false, crcNone, 0, 0), 0);
}

TEST(ArcFrame, EncryptingAndDecryptingWritesLeaveTheCallersBufferAlone) {
    TFixedComponent c(TArcType::atZip);
    std::vector<uint8_t> plain = mvtest::TextBytes(5000, 9);
    const std::vector<uint8_t> original = plain;
    TMemoryStream out;
    c.SetWriteMode(rwMemoryStream);
    c.SetMemoryStream(&out);
    c.ZipKeys().InitKeys("secret");
    c.SetCrc32Register(CrcSeed);
    EXPECT_EQ(c.CompressWriteProc(nullptr, nullptr, plain.data(), true, crc32, 5000, 1), 5000);
    EXPECT_EQ(plain, original);
    EXPECT_EQ(c.Crc32Register() ^ 0xFFFFFFFFu, mvtest::ReferenceCrc32(plain.data(), plain.size()));
    EXPECT_NE(out.Data(), plain);
    // decrypting the written bytes gives the plain text back, the input untouched
    std::vector<uint8_t> cipher = out.Data();
    const std::vector<uint8_t> cipherCopy = cipher;
    TMemoryStream back;
    c.SetMemoryStream(&back);
    c.ZipKeys().InitKeys("secret");
    EXPECT_EQ(c.ExtractWriteProc(nullptr, nullptr, cipher.data(), true, crcNone, 5000, 0), 5000);
    EXPECT_EQ(back.Data(), plain);
    EXPECT_EQ(cipher, cipherCopy);
}

TEST(ArcFrame, ArjGarblingOnRead) {
    TFixedComponent c(TArcType::atArj);
    c.SetPassword("ab");
    c.SetGarblePos(1);
    std::vector<uint8_t> data = {1, 2, 3};
    TMemoryStream ms(data);
    c.SetReadMode(rwMemoryStream);
    c.SetMemoryStream(&ms);
    uint8_t buf[3];
    EXPECT_EQ(c.ReadProc(nullptr, nullptr, buf, true, crcNone, 3, 0), 3);
    EXPECT_EQ(buf[0], 1 ^ 'a');
    EXPECT_EQ(buf[1], 2 ^ 'b');
    EXPECT_EQ(buf[2], 3 ^ 'a');
}

TEST(ArcFrame, ShortWriteRaises25136AndModeFourWritesNothing) {
    TFixedComponent c(TArcType::atTar);
    TShortStream s(10);
    c.SetWriteMode(rwCallStream);
    uint8_t buf[20] = {};
    try {
        c.ExtractWriteProc(nullptr, &s, buf, false, crcNone, 20, 0);
        FAIL() << "no exception";
    } catch (const E_RAISE& e) {
        EXPECT_EQ(e.ErrorCode(), 25136);
        EXPECT_STREQ(e.what(), "Erro de gravação no arquivo");
    }
    c.SetWriteMode(rwMemoryPointer);
    EXPECT_EQ(c.ExtractWriteProc(nullptr, nullptr, buf, false, crcNone, 20, 0), 20);
}

TEST(ArcFrame, AsciiTranslationKeepsCarriageReturnsAcrossBlocks) {
    TFixedComponent c(TArcType::atGZip);
    TMemoryStream out;
    c.SetWriteMode(rwMemoryStream);
    c.SetMemoryStream(&out);
    c.SetAsciiTranslation(true);
    std::string a = "one\ntwo\r", b = "\nthree\n";
    EXPECT_EQ(c.ExtractWriteProc(nullptr, nullptr, reinterpret_cast<const uint8_t*>(a.data()), false, crcNone,
                                 int64_t(a.size()), 0),
              int64_t(a.size()));
    c.ExtractWriteProc(nullptr, nullptr, reinterpret_cast<const uint8_t*>(b.data()), false, crcNone,
                       int64_t(b.size()), 0);
    EXPECT_EQ(std::string(out.Data().begin(), out.Data().end()), "one\r\ntwo\r\nthree\r\n");
}

TEST(ArcFrame, RaiseErrorReportsThenRaisesWithTheText) {
    TFixedComponent c(TArcType::atZip);
    std::vector<std::string> seen;
    c.OnError = [&](TObject* sender, const std::string& fn, const std::string& msgEx, const std::string& vol,
                    int code) {
        EXPECT_EQ(sender, &c);
        seen.push_back(fn + "|" + msgEx + "|" + vol + "|" + std::to_string(code));
    };
    try {
        c.RaiseError("a.zip", "more", "3", 25136);
        FAIL();
    } catch (const E_RAISE& e) {
        EXPECT_EQ(e.ErrorCode(), 25136);
        EXPECT_EQ(std::string(e.what()), "Erro de gravação no arquivo");
    }
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], "a.zip|more|3|25136");
    // without a handler it still raises
    c.OnError = nullptr;
    EXPECT_THROW(c.RaiseError("", "", "0", 25172), E_RAISE);
    EXPECT_EQ(c.LastError(), 25172);
    // DoError never raises
    EXPECT_NO_THROW(c.DoError("", "", "0", 25108));
}

TEST(ArcFrame, CancelOfTheActiveComponentTurnsEveryReportInto25400) {
    TFixedComponent active(TArcType::atZip), other(TArcType::atZip);
    int seenActive = 0, seenOther = 0;
    active.OnError = [&](TObject*, const std::string&, const std::string&, const std::string&, int code) {
        seenActive = code;
    };
    other.OnError = [&](TObject*, const std::string&, const std::string&, const std::string&, int code) {
        seenOther = code;
    };
    ActiveArchiveComponent = &active;
    active.SetCancel(true);
    try {
        active.RaiseError("x", "", "0", 25136);
    } catch (const E_RAISE& e) {
        EXPECT_EQ(e.ErrorCode(), 25400);
        EXPECT_STREQ(e.what(), "Abortado pelo usuário");
    }
    EXPECT_EQ(seenActive, 25400);
    // the test reads the active component's Cancel, whoever reports
    other.DoError("x", "", "0", 25108);
    EXPECT_EQ(seenOther, 25400);
    active.SetCancel(false);
    other.DoError("x", "", "0", 25108);
    EXPECT_EQ(seenOther, 25108);
    ActiveArchiveComponent = &other;
    active.SetCancel(true);
    other.DoError("x", "", "0", 25108);
    EXPECT_EQ(seenOther, 25108); // a component that is not the active one keeps its number
    ActiveArchiveComponent = nullptr;
}

TEST(ArcFrame, ErrorTextsTable) {
    int count = 0;
    const ArcErrorTextEntry* t = ArcErrorTexts(count);
    EXPECT_EQ(count, 101);
    for (int i = 1; i < count; ++i) EXPECT_LT(t[i - 1].number, t[i].number);
    EXPECT_STREQ(ArcErrorText(25102), "O arquivo é somente leitura");
    EXPECT_STREQ(ArcErrorText(25400), "Abortado pelo usuário");
    EXPECT_STREQ(ArcErrorText(26899), "Diretório não existente... Criar?");
    EXPECT_EQ(ArcErrorText(25100), nullptr);
    EXPECT_EQ(ArcErrorMessage(25999), "Error #25999");
    // every number the frame and the lister name has a text
    for (int n : {25108, 25123, 25136, 25137, 25172, 25235, 25236, 25242, 25243, 25250, 25253, 25256, 25270,
                  25290, 25326, 25327, 25328, 25400})
        EXPECT_NE(ArcErrorText(n), nullptr) << n;
}

TEST(ArcFrame, FileSpecMatching) {
    TFixedComponent c(TArcType::atZip);
    EXPECT_FALSE(c.IsFileSpecMatch("a.txt", true)); // an empty FileSpec matches nothing
    c.SetFileSpec({"/some/folder/*.TXT", ""});
    ASSERT_EQ(c.FileSpec().size(), 1u);
    EXPECT_EQ(c.FileSpec()[0], "*.TXT");
    EXPECT_TRUE(c.IsFileSpecMatch("dir\\a.txt", true));
    EXPECT_FALSE(c.IsFileSpecMatch("a.doc", true));
    c.SetFileSpec({"*.*"});
    c.SetExcludeSpec({"*.*"});
    EXPECT_FALSE(c.IsFileSpecMatch("a.txt", true));
    c.SetExcludeSpec({"*.doc"});
    EXPECT_TRUE(c.IsFileSpecMatch("a.txt", true));
    EXPECT_FALSE(c.IsFileSpecMatch("a.doc", true));
}

TEST(ArcFrame, ProgressIn64Bits) {
    TFixedComponent c(TArcType::atZip);
    std::vector<std::pair<int, int>> seen;
    c.OnProgress = [&](TObject*, uint8_t f, uint8_t a) { seen.push_back({f, a}); };
    c.DoProgress(int64_t(3) << 32, int64_t(4) << 32, 0);
    c.DoProgress(5, 0, 0);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].first, 75);
    EXPECT_EQ(seen[1].first, 0);
    EXPECT_EQ(TZipCommon::Percent(30'000'000, 40'000'000), 75);
    EXPECT_EQ(TZipCommon::Percent(-5, 10), 0);
    EXPECT_EQ(TZipCommon::Percent(50, 10), 100);
    c.SetDeflateLevel(1);
    EXPECT_EQ(c.DeflateFlagBits(0), 6);
    c.SetDeflateLevel(9);
    EXPECT_EQ(c.DeflateFlagBits(0), 2);
}

TEST(ArcFrame, CompressRatio) {
    EXPECT_EQ(TZipCommon::CompressRatio(50, 100), 50);
    EXPECT_EQ(TZipCommon::CompressRatio(99, 100), 1);
    EXPECT_EQ(TZipCommon::CompressRatio(100, 100), 0);
    EXPECT_EQ(TZipCommon::CompressRatio(0, 100), 0);
    EXPECT_EQ(TZipCommon::CompressRatio(1000, 200000), 99);
    EXPECT_EQ(TZipCommon::CompressRatio(0, 0), 0);
    EXPECT_EQ(TZipCommon::CompressRatio(101, 100), 0);
    EXPECT_EQ(TZipCommon::CompressRatio(50'000'000, 100'000'000), 50);
    EXPECT_EQ(TZipCommon::CompressRatio(3'000'000'000LL, 4'000'000'000LL), 25);
}

TEST(ArcFrame, MethodAndAttributeTexts) {
    struct Row {
        TArcType type;
        uint16_t code, flags;
        const char* text;
    } rows[] = {
        {TArcType::atZip, 8, 6, "DeflateS"},
        {TArcType::atZip, 8, 4, "DeflateF"},
        {TArcType::atZip, 8, 2, "DeflateX"},
        {TArcType::atZip, 8, 0, "DeflateN"},
        {TArcType::atZip, 0, 0, "Stored"},
        {TArcType::atZip, 6, 0, "Imploded"},
        {TArcType::atZip, 99, 0, "Unknown"},
        {TArcType::atArj, 4, 0, "Fastest"},
        {TArcType::atArj, 9, 0, "Unknown"},
        {TArcType::atCab, 0x1503, 0, "Lzx"},
        {TArcType::atCab, 1, 0, "MsZIP"},
        {TArcType::atGZip, 8, 0, "Deflate"},
        {TArcType::atGZip, 144, 0, "LzwMAGIC"},
        {TArcType::atHa, 14, 0, "Dir"},
        {TArcType::atHa, 7, 0, ""},
        {TArcType::atLha, '5', 0, "Frozen-5"},
        {TArcType::atLha, '0', 0, "Stored"},
        {TArcType::atLha, 'd', 0, "Unknown"},
        {TArcType::atPak, 10, 0, "Crushed"},
        {TArcType::atPak, 8, 0, "VARIBLE"},
        {TArcType::atArc, 8, 0, "Crunched"},
        {TArcType::atArc, 5, 0, "crunched"},
        {TArcType::atRar, '3', 0, "Normal"},
        {TArcType::atTar, 0, 0, "Tarred"},
        {TArcType::atZoo, 2, 0, "Greatest"},
        {TArcType::atACE, 5, 0, "Lzw"},
        {TArcType::atBh, 1, 0, "Fused"},
        {TArcType::atUue, 0, 0, ""},
    };
    for (const auto& r : rows) {
        TFixedComponent c(r.type);
        c.SetArchiveFile("/d/x");
        std::string text = "junk";
        c.MethodName(r.code, r.flags, text);
        EXPECT_EQ(text, r.text) << static_cast<int>(r.type) << " " << r.code;
    }
    TFixedComponent c(TArcType::atZip);
    c.SetArchiveFile("/d/x.zip");
    std::string t;
    c.AttrToText(0x21, '-', t);
    EXPECT_EQ(t, "ar--");
    c.AttrToText(0x10, '-', t);
    EXPECT_EQ(t, "d---");
    c.Use(TArcType::atRar);
    c.AttrToText(0104755, '-', t, 3);
    EXPECT_EQ(t, "-rwsr-xr-x");
    c.AttrToText(02644, '-', t, 3);
    EXPECT_EQ(t, "-rw-r-Sr--");
    c.Use(TArcType::atUnknown);
    c.AttrToText(0x21, '-', t);
    EXPECT_EQ(t, "");
}

TEST(ArcFrame, OutputFilesByMode) {
    mvtest::TempDir dir;
    TFixedComponent c(TArcType::atZip);
    std::unique_ptr<TArcStream> file;
    // mode 0: folders are made, a read-only file is replaced once its attribute is cleared
    std::string target = (dir / "a/b/out.txt").string();
    c.SetWriteMode(rwFile);
    ASSERT_TRUE(c.OpenOutputFile(file, target));
    uint8_t byte = 'x';
    c.ExtractWriteProc(file.get(), nullptr, &byte, false, crcNone, 1, 0);
    EXPECT_TRUE(c.CloseOutputFile(file));
    EXPECT_EQ(mvtest::ReadFileBytes(target).size(), 1u);
    platform::Fs().SetReadOnly(target, true);
    ASSERT_TRUE(c.OpenOutputFile(file, target));
    EXPECT_TRUE(c.CloseOutputFile(file));
    // mode 2: a temporary file under TempDir, gone when closed
    c.SetTempDir(dir.Path().string());
    c.SetWriteMode(rwCallStream);
    ASSERT_TRUE(c.OpenOutputFile(file, "member"));
    auto count = [&] {
        int n = 0;
        for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
            n += e.path().filename().string().rfind("arc", 0) == 0;
        return n;
    };
    EXPECT_EQ(count(), 1);
    EXPECT_TRUE(c.CloseOutputFile(file));
    EXPECT_EQ(count(), 0);
    // modes 1 and 3 need their stream; mode 4 writes nowhere
    c.SetWriteMode(rwUserStream);
    EXPECT_FALSE(c.OpenOutputFile(file, "m"));
    c.SetWriteMode(rwMemoryPointer);
    EXPECT_FALSE(c.OpenOutputFile(file, "m"));
    // a temporary name is made exclusively
    std::string t1 = c.MakeTempFileName(), t2 = c.MakeTempFileName();
    EXPECT_FALSE(t1.empty());
    EXPECT_NE(t1, t2);
}

TEST(ArcFrame, FileTypeNameComesFromTheDesktopLayer) {
    EXPECT_EQ(TZipCommon::FileTypeName("a.txt"), "");
    SetFileTypeNameHook([](const std::string& n) {
        return n.size() > 4 && n.compare(n.size() - 4, 4, ".txt") == 0 ? "Documento de texto"
                                                                       : std::string(100, 'x');
    });
    EXPECT_EQ(TZipCommon::FileTypeName("a.txt"), "Documento de texto");
    EXPECT_EQ(TZipCommon::FileTypeName("a.bin").size(), 80u);
    SetFileTypeNameHook(nullptr);
    EXPECT_EQ(TZipCommon::FileTypeName("a.txt"), "");
}
