// The list view's sorting rules without a display: the smart comparison's table, the
// date and number readers, the arrow drawings, the extended-style rules, and the merge
// sort with a comparison that is no consistent order.
#include "controls/listview/ExtListView.h"
#include "controls/listview/ListViewSort.h"

#include "platform/ui/Form.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>

namespace mv {
namespace {

const TLocaleDateFormat MonthFirst{'/', ':', "M/d/yyyy"};
const TLocaleDateFormat DayFirst{'/', ':', "dd/MM/yyyy"};

void Ensure() {
    EnsureApplication();
}

TEST(SmartCompare, TypedTable) {
    Ensure();
    struct Case {
        const char* a;
        const char* b;
        TAutoSortStyle style;
        const TLocaleDateFormat& format;
        int expected;
    } cases[] = {
        {"9", "10", TAutoSortStyle::assSmart, MonthFirst, -1},        // numbers
        {"10", "9", TAutoSortStyle::assSmart, MonthFirst, 1},
        {"10", "9", TAutoSortStyle::assDefault, MonthFirst, -1},      // texts
        {"1.5", "abc", TAutoSortStyle::assSmart, MonthFirst, -1},     // a number and a text: texts
        {"-2.5e1", "-3", TAutoSortStyle::assSmart, MonthFirst, -1},   // -25 < -3
        {"1,000", "999", TAutoSortStyle::assSmart, MonthFirst, -1},   // not a number: "1" < "9" as text
        {"01/02/1999", "12/31/1998", TAutoSortStyle::assSmart, MonthFirst, 1}, // dates across the year
        {"01/02/1999", "12/31/1998", TAutoSortStyle::assDefault, MonthFirst, -1},
        {"02/01/1999", "31/12/1998", TAutoSortStyle::assSmart, DayFirst, 1},
        {"01/02/1999 10:00", "01/02/1999 9:30", TAutoSortStyle::assSmart, MonthFirst, 1},
        {"10:15", "9:45", TAutoSortStyle::assSmart, MonthFirst, 1},  // times
        {"abc", "ABC", TAutoSortStyle::assSmart, MonthFirst, -1},     // lower case first
        {"abc", "abd", TAutoSortStyle::assSmart, MonthFirst, -1},
        {"same", "same", TAutoSortStyle::assSmart, MonthFirst, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
        EXPECT_EQ(SmartCompareTexts(c.a, c.b, c.style, c.format), c.expected);
    }
}

TEST(SmartCompare, NumberAndDateReaders) {
    const struct {
        const char* text;
        bool number;
    } numbers[] = {{"10", true}, {"-1.5", true}, {"+3", true}, {"2e10", true}, {".5", true},
                   {"1,000", false}, {"1.2.3", false}, {"", false}, {"e5", false}, {"inf", false},
                   {"nan", false}, {"12abc", false}, {"0x10", false}};
    for (const auto& n : numbers) {
        SCOPED_TRACE(n.text);
        EXPECT_EQ(IsNumberText(n.text), n.number);
    }
    const struct {
        const char* text;
        bool date;
    } dates[] = {{"12/31/1998", true}, {"13/31/1998", false}, {"1/2", false}, {"2/30/2000", false},
                 {"2/29/2000", true}, {"12/31/98", true},     {"10:30", true}, {"25:00", false},
                 {"00:00", false} /* the value 0 counts as no date */, {"abc", false}, {"1998/", false}};
    for (const auto& d : dates) {
        SCOPED_TRACE(d.text);
        EXPECT_EQ(IsDateText(d.text, MonthFirst), d.date);
    }
}

TEST(SmartCompare, MergeSortSurvivesAnInconsistentCompare) {
    Ensure();
    // The smart rule on a mixed column is no order: 9 < 10 as numbers, "10" < "1a" and
    // "1a" < "9" as texts. Every element must still come out once.
    std::vector<std::string> texts;
    for (int i = 0; i < 300; ++i) texts.push_back(i % 3 == 0 ? std::to_string(i) : std::to_string(i % 17) + "a");
    const auto order = SafeMergeSortOrder(static_cast<int>(texts.size()), [&](int a, int b) {
        return SmartCompareTexts(texts[a], texts[b], TAutoSortStyle::assSmart, MonthFirst);
    });
    std::vector<int> sorted = order;
    std::sort(sorted.begin(), sorted.end());
    for (int i = 0; i < static_cast<int>(sorted.size()); ++i) ASSERT_EQ(sorted[i], i);
    // A random answer each time: still a permutation, and it ends.
    std::mt19937 random(7);
    const auto chaos = SafeMergeSortOrder(1000, [&](int, int) { return static_cast<int>(random() % 3) - 1; });
    std::vector<int> seen = chaos;
    std::sort(seen.begin(), seen.end());
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(seen[i], i);
    // On a consistent order it is a stable sort.
    std::vector<int> keys;
    for (int i = 0; i < 500; ++i) keys.push_back(static_cast<int>(random() % 20));
    const auto stable = SafeMergeSortOrder(500, [&](int a, int b) { return keys[a] - keys[b]; });
    std::vector<int> expected(500);
    for (int i = 0; i < 500; ++i) expected[i] = i;
    std::stable_sort(expected.begin(), expected.end(), [&](int a, int b) { return keys[a] < keys[b]; });
    EXPECT_EQ(stable, expected);
}

TEST(SortArrows, PixelsOfBothDrawings) {
    Ensure();
    const TColor face = ColorToRGB(clBtnFace), shadow = ColorToRGB(clBtnShadow),
                 light = ColorToRGB(clBtnHighlight);
    TBitmap down, up;
    DrawDownArrow(down, 8);
    DrawUpArrow(up, 8);
    ASSERT_EQ(down.Width(), 8);
    // Downward: highlight along the top and down the left side to (3, 6), shadow up the
    // right side from (4, 6) to (7, 0).
    EXPECT_EQ(down.Pixel(0, 0), light);
    EXPECT_EQ(down.Pixel(6, 0), light);
    EXPECT_EQ(down.Pixel(7, 0), shadow);
    EXPECT_EQ(down.Pixel(4, 6), shadow);
    EXPECT_EQ(down.Pixel(3, 6), light);
    EXPECT_EQ(down.Pixel(3, 3), face);
    EXPECT_EQ(down.Pixel(3, 7), face);
    // Upward: shadow along the bottom and up the right side, highlight up the left side;
    // the apex pixel (4, 0) is face.
    EXPECT_EQ(up.Pixel(0, 7), shadow);
    EXPECT_EQ(up.Pixel(7, 7), shadow);
    EXPECT_EQ(up.Pixel(4, 0), face);
    EXPECT_EQ(up.Pixel(3, 0), face);
    EXPECT_EQ(up.Pixel(3, 4), face);
    int lights = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            if (up.Pixel(x, y) == light) {
                ++lights;
                EXPECT_LT(x, 4) << x << "," << y; // the left side only
            }
    EXPECT_GE(lights, 6);
    // The size follows the font: "Wy" less 6, even.
    TFont font;
    font.SetName("MS Sans Serif");
    font.SetSize(8);
    const int s = SortArrowSize(font);
    EXPECT_GT(s, 0);
    EXPECT_EQ(s % 2, 0);
    font.SetSize(2);
    EXPECT_EQ(SortArrowSize(font), 0);
}

TEST(ExtendedStyles, Normalisation) {
    const struct {
        TLVExtendedStyles in, out;
    } table[] = {
        {LVX(lvxUnderlineHot), static_cast<TLVExtendedStyles>(LVX(lvxUnderlineHot) | LVX(lvxOneClickActivate))},
        {static_cast<TLVExtendedStyles>(LVX(lvxUnderlineHot) | LVX(lvxTwoClickActivate)),
         static_cast<TLVExtendedStyles>(LVX(lvxUnderlineHot) | LVX(lvxTwoClickActivate))},
        {static_cast<TLVExtendedStyles>(LVX(lvxUnderlineCold) | LVX(lvxTwoClickActivate)),
         static_cast<TLVExtendedStyles>(LVX(lvxUnderlineCold) | LVX(lvxTwoClickActivate) | LVX(lvxOneClickActivate))},
        {LVX(lvxGridLines), LVX(lvxGridLines)},
    };
    for (const auto& row : table) EXPECT_EQ(NormaliseExtendedStyles(row.in), row.out);
    EXPECT_EQ(ExtendedStylesToFlags(static_cast<TLVExtendedStyles>(LVX(lvxFullRowSelect) | LVX(lvxUnderlineCold))),
              LVS_EX_FULLROWSELECT | LVS_EX_UNDERLINECOLD);
    EXPECT_EQ(FlagsToExtendedStyles(LVS_EX_HEADERDRAGDROP | LVS_EX_GRIDLINES),
              static_cast<TLVExtendedStyles>(LVX(lvxHeaderDragDrop) | LVX(lvxGridLines)));
}

TEST(CellRequest, TextIsCutToTheBuffer) {
    std::vector<char> buffer(LVCellTextMax * 4 + 1, 'x');
    TLVItemRequest request;
    request.Text = buffer.data();
    request.TextMax = 260;
    SetRequestText(request, std::string(300, 'a'));
    EXPECT_EQ(std::string(buffer.data()).size(), 259u);
    EXPECT_EQ(buffer[259], '\0');
    // Characters, not bytes: a two-byte letter is never cut in half.
    std::string accents;
    for (int i = 0; i < 300; ++i) accents += "\xC3\xA3";
    SetRequestText(request, accents);
    EXPECT_EQ(std::string(buffer.data()), accents.substr(0, 518));
}

} // namespace
} // namespace mv
