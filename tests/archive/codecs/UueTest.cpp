// uuencoded and xxencoded lines: alphabets, counts, short and long lines.
#include "archive/codecs/Uue.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace mv;

namespace {

std::string DecodeText(const TUueAlphabet& a, const std::string& line, bool* shortLine = nullptr) {
    uint8_t out[64];
    int n = UueDecodeLine(a, line.data(), line.size(), out, shortLine);
    return n < 0 ? "<none>" : std::string(reinterpret_cast<char*>(out), size_t(n));
}

} // namespace

TEST(Uue, DecodesLinesOfBothAlphabets) {
    // What uuencode and uuenview -x write for the 6 bytes "hello\n".
    EXPECT_EQ(DecodeText(UuAlphabet(), "&:&5L;&\\*"), "hello\n");
    EXPECT_EQ(DecodeText(XxAlphabet(), "4O4JgP4w8"), "hello\n");
    // A blank in place of "`" reads as 0.
    EXPECT_EQ(DecodeText(UuAlphabet(), "#86)C"), "abc");
    EXPECT_EQ(DecodeText(UuAlphabet(), "\"86( "), "ab");
    EXPECT_EQ(DecodeText(UuAlphabet(), "\"86(`"), "ab");
    EXPECT_EQ(DecodeText(UuAlphabet(), "`"), "");
    EXPECT_EQ(DecodeText(XxAlphabet(), "+"), "");
    // Not a data line.
    EXPECT_EQ(DecodeText(UuAlphabet(), "~abc"), "<none>");
    EXPECT_EQ(DecodeText(UuAlphabet(), ""), "<none>");
}

TEST(Uue, ShortLinesReadMissingCharactersAsZero) {
    bool shortLine = false;
    EXPECT_EQ(DecodeText(UuAlphabet(), "#86", &shortLine), std::string("a`\0", 3));
    EXPECT_TRUE(shortLine);
    // A count of 63 needs 85 characters; a line holding only the count gives 63 zeros.
    EXPECT_EQ(DecodeText(UuAlphabet(), "_", &shortLine), std::string(63, '\0'));
    EXPECT_TRUE(shortLine);
    DecodeText(UuAlphabet(), "#86)C", &shortLine);
    EXPECT_FALSE(shortLine);
}

TEST(Uue, GuessesTheAlphabetOfTheFirstLine) {
    EXPECT_EQ(&UueGuessAlphabet("M86)C", 5), &UuAlphabet());
    EXPECT_EQ(&UueGuessAlphabet("h+0-1", 5), &XxAlphabet());
    EXPECT_EQ(&UueGuessAlphabet("&:&5L;&\\*", 9), &UuAlphabet());
    EXPECT_EQ(&UueGuessAlphabet("4O4JgP4w8", 9), &XxAlphabet());
    EXPECT_EQ(&UueGuessAlphabet("zzz", 3), &UuAlphabet());
}

TEST(Uue, TableAlphabet) {
    std::string chars = "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    TUueAlphabet a = UueTableAlphabet(chars);
    EXPECT_EQ(a.FullLine, 'h');
    EXPECT_EQ(DecodeText(a, "4O4JgP4w8"), "hello\n");
    EXPECT_EQ(a.Value[uint8_t('~')], -2);
}
