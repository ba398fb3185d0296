// The extended page control's rules: tab-to-page index with hidden tabs, the next
// enabled sheet, disabled pages refused, position, style and size rules, font choice,
// hints and the tab text geometry.
#include "controls/toolkit/colour/ExtPageModel.h"

#include <gtest/gtest.h>

namespace mv {
namespace {

TExtPageModel Make(const std::string& spec) { // per page: 'e' enabled, 'd' disabled, 'h' hidden tab, 'x' both
    TExtPageModel m;
    for (char c : spec) m.Pages().push_back({std::string("Page ") + c, c == 'e' || c == 'h', c == 'e' || c == 'd'});
    return m;
}

TEST(ExtPageModel, TabIndexToPageIndex) {
    struct Row {
        const char* pages;
        std::vector<int> pageOfTab;
    };
    const std::vector<Row> rows = {
        {"eee", {0, 1, 2}},
        {"hee", {1, 2}},
        {"ehed", {0, 2, 3}},
        {"hhhe", {3}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.pages);
        TExtPageModel m = Make(row.pages);
        EXPECT_EQ(m.TabCount(), static_cast<int>(row.pageOfTab.size()));
        for (size_t t = 0; t < row.pageOfTab.size(); ++t) EXPECT_EQ(m.TabIndexToPageIndex(static_cast<int>(t)), row.pageOfTab[t]);
        try {
            m.TabIndexToPageIndex(static_cast<int>(row.pageOfTab.size()));
            ADD_FAILURE() << "no error";
        } catch (const EExtPageInvalidCall& e) {
            EXPECT_EQ(std::string(e.what()),
                      "Function GetPageIndexByTabIndex of component ExtPageControl1 of class TExtPageControl was "
                      "called with an invalid parameter (CurrentTabIndex = " +
                          std::to_string(row.pageOfTab.size()) + ").");
        }
    }
}

TEST(ExtPageModel, NextEnabledSheetAndDisabledPages) {
    struct Row {
        const char* pages;
        int active;
        bool forward, wrap;
        int result;
    };
    const std::vector<Row> rows = {
        {"eeee", 1, true, false, 2},  {"eede", 1, true, false, 3},  {"eedd", 1, true, false, 1},
        {"eedd", 1, true, true, 0},   {"deed", 2, true, true, 1},   {"eeee", 2, false, false, 1},
        {"deee", 1, false, false, 1}, {"deee", 1, false, true, 3},  {"ehee", 0, true, false, 1}, // hidden tabs count
        {"edde", 3, false, false, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.pages) + " from " + std::to_string(row.active));
        TExtPageModel m = Make(row.pages);
        ASSERT_TRUE(m.SetActivePage(row.active));
        m.ActivateNextEnabledSheet(row.forward, row.wrap);
        EXPECT_EQ(m.ActivePage(), row.result);
    }
    TExtPageModel m = Make("ede");
    int changes = 0;
    m.OnChange = [&] { ++changes; };
    EXPECT_TRUE(m.SetActivePage(0));
    EXPECT_FALSE(m.SetActivePage(1)); // a disabled page is refused
    EXPECT_FALSE(m.SetActivePage(0)); // so is the active one
    m.OnChanging = [] { return false; };
    EXPECT_FALSE(m.SetActivePage(2));
    EXPECT_EQ(m.ActivePage(), 0);
    EXPECT_EQ(changes, 1);
    m.Pages()[1].Caption = "&Options";
    EXPECT_EQ(m.AcceleratorPage('o'), 1);
    EXPECT_EQ(m.AcceleratorPage('x'), -1);
}

TEST(ExtPageModel, PositionStyleAndSizeRules) {
    TExtPageModel m;
    m.SetTabPosition(TExtTabPosition::tabPosLeft);
    EXPECT_EQ(m.TabWidth(), 70);
    EXPECT_EQ(m.TabHeight(), 35);
    EXPECT_EQ(m.LayoutTabWidth(), 35); // vertical tabs are measured turned
    EXPECT_EQ(m.LayoutTabHeight(), 70);
    m.SetTabWidth(90);
    m.SetTabHeight(30);
    EXPECT_EQ(m.LayoutTabHeight(), 90);
    EXPECT_EQ(m.LayoutTabWidth(), 30);
    m.SetTabPosition(TExtTabPosition::tabPosRight); // within the pair nothing is passed
    EXPECT_EQ(m.LayoutTabHeight(), 90);
    m.SetTabStyle(TExtTabStyle::tabStButton);
    EXPECT_EQ(m.TabPosition(), TExtTabPosition::tabPosTop);
    EXPECT_EQ(m.LayoutTabWidth(), 90);
    EXPECT_EQ(m.LayoutTabHeight(), 30);
    m.SetTabPosition(TExtTabPosition::tabPosBottom);
    EXPECT_EQ(m.TabStyle(), TExtTabStyle::tabStDefault);

    EXPECT_TRUE(UseActiveTabFont(10, 10));
    EXPECT_TRUE(UseActiveTabFont(11, 10));
    EXPECT_FALSE(UseActiveTabFont(10, 11));

    EXPECT_EQ(AdjustDisplayRect({100, 4, 300, 200}, TExtTabPosition::tabPosLeft), (TRect{98, 0, 304, 204}));
    EXPECT_EQ(AdjustDisplayRect({4, 30, 300, 200}, TExtTabPosition::tabPosTop), (TRect{0, 28, 304, 204}));
    EXPECT_EQ(AdjustDisplayRect({4, 4, 300, 170}, TExtTabPosition::tabPosBottom), (TRect{0, 0, 304, 172}));
    EXPECT_EQ(TabHintPosition({10, 20, 100, 50}), (TPoint{13, 51}));
}

TEST(ExtPageModel, HintsAndTabTextGeometry) {
    TExtPageModel m = Make("ehee");
    m.TabHints() = {"first", "second", "third"};
    EXPECT_EQ(m.TabHint(0), "first");
    EXPECT_EQ(m.TabHint(1), "third"); // tab 1 is page 2
    EXPECT_EQ(m.TabHint(2), "");      // page 3 has no line
    EXPECT_EQ(m.TabHint(-1), "");
    EXPECT_EQ(m.TabHint(7), "");

    TPoint pos;
    // Left-aligned with the left tabs' offset: 90 x 30 tab, text 40 x 13.
    TRect box = TabTextBox({0, 0, 90, 30}, {8, 0}, 40, 13, 0, pos);
    EXPECT_EQ(box.Left, 10);
    EXPECT_EQ(box.Top, 2 + (26 - 13) / 2);
    EXPECT_EQ(pos, (TPoint{2, 8}));
    // Centred with a glyph offset.
    box = TabTextBox({0, 0, 90, 30}, {21, 0}, 40, 13, 2, pos);
    EXPECT_EQ(box.Left, 2 + 21 + (86 - 21 - 40) / 2);
    EXPECT_EQ(box.Width(), 40);
    // Text taller and wider than the box is clamped.
    box = TabTextBox({0, 0, 30, 10}, {0, 0}, 100, 40, 2, pos);
    EXPECT_EQ(box.Height(), 6);
    EXPECT_EQ(box.Width(), 26);
}

} // namespace
} // namespace mv
