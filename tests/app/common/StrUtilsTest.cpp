// The shared string routines.
#include "app/common/StrUtils.h"

#include <gtest/gtest.h>

namespace mv {
namespace {

TEST(StrUtils, CutFirstField) {
    std::string line = " C:\\Dados ;S;N;extra";
    std::string field;
    CutFirstField(line, field);
    EXPECT_EQ(field, "C:\\Dados");
    EXPECT_EQ(line, "S;N;extra");
    std::string noSeparator = "abc";
    field = "previous";
    CutFirstField(noSeparator, field);
    EXPECT_EQ(field, "");
    EXPECT_EQ(noSeparator, "abc");
    std::string empty = ";rest";
    CutFirstField(empty, field);
    EXPECT_EQ(field, "");
    EXPECT_EQ(empty, "rest");
}

TEST(StrUtils, ZeroPad) {
    EXPECT_EQ(ZeroPad("  42", 5), "00042");
    EXPECT_EQ(ZeroPad("123456", 3), "123456");
    EXPECT_EQ(ZeroPad(" 123 ", 3), " 123 "); // long enough once trimmed: untouched
    EXPECT_EQ(ZeroPad("", 2), "00");
    EXPECT_EQ(ZeroPad("7", 0), "7");
}

TEST(StrUtils, RepeatStr) {
    EXPECT_EQ(RepeatStr("ab", 3), "ababab");
    EXPECT_EQ(RepeatStr("ab", 0), "");
    EXPECT_EQ(RepeatStr("ab", -2), "");
}

TEST(StrUtils, StrToIntNoDots) {
    const struct {
        const char* text;
        int fallback;
        int expected;
    } rows[] = {{"1.234", 0, 1234},
                {"abc", 7, 7},
                {" 12 ", 0, 12},
                {"", 5, 5},
                {"1.234.567", 0, 1234567},
                {"-3", 0, -3},
                {"12a", 9, 9},
                {"99999999999", 4, 4},
                {"+8", 0, 8},
                {"2147483647", 0, 2147483647}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(StrToIntNoDots(row.text, row.fallback), row.expected);
    }
}

TEST(StrUtils, StrToFloatNoDots) {
    EXPECT_DOUBLE_EQ(StrToFloatNoDots("1.234.567"), 1234567.0);
    EXPECT_DOUBLE_EQ(StrToFloatNoDots("1.234,5"), 1234.5);
    EXPECT_DOUBLE_EQ(StrToFloatNoDots(" 42 "), 42.0);
    EXPECT_DOUBLE_EQ(StrToFloatNoDots("x"), 0.0);
    EXPECT_DOUBLE_EQ(StrToFloatNoDots(""), 0.0);
    EXPECT_DOUBLE_EQ(StrToFloatNoDots("1e999"), 0.0);
}

TEST(StrUtils, StrictConversionRaises) {
    EXPECT_EQ(StrToIntStrict(" 42"), 42);
    EXPECT_THROW(StrToIntStrict(""), EConvertError);
    EXPECT_THROW(StrToIntStrict("42 "), EConvertError);
    EXPECT_THROW(StrToIntStrict("4x"), EConvertError);
}

} // namespace
} // namespace mv
