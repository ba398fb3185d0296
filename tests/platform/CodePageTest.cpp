#include "platform/CodePage.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace mv::platform;

TEST(CodePage, AllBytesRoundTrip) {
    for (auto page : {OemCodePage::cp437, OemCodePage::cp850}) {
        std::string all;
        for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
        std::string utf8 = OemToUtf8(all, page);
        std::string back;
        EXPECT_TRUE(Utf8ToOem(utf8, back, page));
        EXPECT_EQ(back, all);
    }
}

TEST(CodePage, KnownCharacters) {
    struct Row {
        OemCodePage page;
        const char* oem;
        const char* utf8;
    } rows[] = {
        {OemCodePage::cp437, "\x80\x87\x82", "\xC3\x87\xC3\xA7\xC3\xA9"}, // Ççé
        {OemCodePage::cp437, "\xE1", "\xC3\x9F"},                         // ß
        {OemCodePage::cp437, "\xC6", "\xE2\x95\x9E"},                     // box drawing
        {OemCodePage::cp850, "\xC6", "\xC3\xA3"},                         // ã
        {OemCodePage::cp850, "\xC7", "\xC3\x83"},                         // Ã
        {OemCodePage::cp437, "a/b", "a/b"},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(OemToUtf8(r.oem, r.page), r.utf8);
        std::string back;
        EXPECT_TRUE(Utf8ToOem(r.utf8, back, r.page));
        EXPECT_EQ(back, r.oem);
    }
}

TEST(CodePage, UnrepresentableCharacters) {
    std::string out;
    EXPECT_FALSE(Utf8ToOem("\xC3\xA3", out, OemCodePage::cp437)); // ã not in 437
    EXPECT_EQ(out, "_");
    EXPECT_FALSE(Utf8ToOem("a\xE4\xB8\xAD.txt", out)); // CJK
    EXPECT_EQ(out, "a_.txt");
    EXPECT_FALSE(Utf8ToOem("\xFF\xC3", out)); // broken UTF-8
    EXPECT_EQ(out, "__");
    EXPECT_TRUE(HasOemForm("plain.txt"));
    EXPECT_TRUE(IsAscii("plain.txt"));
    EXPECT_FALSE(IsAscii("\xC3\xA9"));
    EXPECT_EQ(DefaultOemCodePage(), OemCodePage::cp437);
}

// The tables agree with iconv, an independent converter.
TEST(CodePage, AgreesWithIconv) {
    MV_REQUIRE_TOOL("iconv");
    mvtest::TempDir t;
    std::vector<uint8_t> high;
    for (int b = 0x80; b < 0x100; ++b) high.push_back(static_cast<uint8_t>(b));
    mvtest::WriteFileBytes(t / "high", high);
    struct {
        OemCodePage page;
        const char* name;
    } pages[] = {{OemCodePage::cp437, "CP437"}, {OemCodePage::cp850, "CP850"}};
    for (const auto& p : pages) {
        SCOPED_TRACE(p.name);
        auto r = mvtest::Run(std::string("iconv -f ") + p.name + " -t UTF-8 " +
                             mvtest::Quote((t / "high").string()));
        ASSERT_EQ(r.exitCode, 0) << r.output;
        EXPECT_EQ(OemToUtf8(std::string(high.begin(), high.end()), p.page), r.output);
    }
}
