// The small shared routines: maximum and minimum, stripping, words, the extra cursors.
#include "controls/toolkit/files/SmallUtils.h"
#include "platform/ui/Control.h"
#include "platform/ui/Form.h"

#include <gtest/gtest.h>

namespace mv {
namespace {

TEST(SmallUtils, MaximumAndMinimumGiveBOnEquality) {
    struct Row {
        int a, b, max, min;
    };
    for (const Row& r : {Row{1, 2, 2, 1}, Row{2, 1, 2, 1}, Row{-5, -5, -5, -5}, Row{0, -1, 0, -1}}) {
        SCOPED_TRACE(std::to_string(r.a) + "," + std::to_string(r.b));
        EXPECT_EQ(MaxOfTwo(r.a, r.b), r.max);
        EXPECT_EQ(MinOfTwo(r.a, r.b), r.min);
    }
}

TEST(SmallUtils, StripChar) {
    EXPECT_EQ(StripChar("&&Open", '&'), "Open");
    EXPECT_EQ(StripChar("E&xit", '&'), "Exit");
    EXPECT_EQ(StripChar("", '&'), "");
    EXPECT_EQ(StripChar("&&&", '&'), "");
}

TEST(SmallUtils, WordsAreRunsBetweenDelimiters) {
    struct Row {
        std::string text;
        std::string delims;
        int n;
        int start;
        std::string word;
    };
    const std::vector<Row> rows = {
        {",,a,,b,", ",", 1, 3, "a"},
        {",,a,,b,", ",", 2, 6, "b"},
        {",,a,,b,", ",", 3, 0, ""},
        {"10,20,30,40", ",", 4, 10, "40"},
        {"10,20,30,40", ",", 5, 0, ""},
        {"one two;three", " ;", 3, 9, "three"},
        {"", ",", 1, 0, ""},
        {",,,", ",", 1, 0, ""},
        {"abc", ",", 0, 0, ""},
        {"abc", ",", 1, 1, "abc"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text + " #" + std::to_string(r.n));
        EXPECT_EQ(WordStartAt(r.n, r.text, r.delims), r.start);
        EXPECT_EQ(WordAt(r.n, r.text, r.delims), r.word);
    }
}

TEST(SmallUtils, TheTwoCursorsAreRegisteredUnderTheirNumbers) {
    EnsureApplication();
    EXPECT_FALSE(CursorRegistered(crHandCursor));
    RegisterExtraCursors();
    EXPECT_TRUE(CursorRegistered(14000));
    EXPECT_TRUE(CursorRegistered(14001));
}

} // namespace
} // namespace mv
