// The list view's view styles and its selection notice, on the real widgets: details
// show the header and every column; the other styles the names alone (also of columns
// added later), large icons in rows as tall as the large images; a selection change of
// standard items is told as well as one of owner data; the selection as drawn, focused
// and not.
#include "platform/ui/Buttons.h"
#include "platform/ui/Form.h"
#include "platform/ui/Graphics.h"
#include "platform/ui/ImageList.h"
#include "platform/ui/ListView.h"
#include "platform/ui/ModalDriver.h"
#include "platform/ui/QtBridge.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHeaderView>
#include <QPalette>
#include <QWidget>
#include <QTableView>
#include <gtest/gtest.h>

namespace mv {
namespace {

class CountingList : public TListView {
public:
    using TListView::TListView;
    int Changes = 0;
    void SelectionChanged() override { ++Changes; }
};

TEST(ListViewStyles, DetailsShowEveryColumnTheOtherStylesTheNamesAlone) {
    EnsureApplication();
    TForm form(nullptr);
    form.SetBounds(0, 0, 400, 300);
    auto* list = new CountingList(&form);
    list->SetParent(&form);
    list->SetBounds(0, 0, 400, 300);
    TImageList small(nullptr), large(nullptr);
    small.SetHeight(16);
    large.SetHeight(32);
    list->SetSmallImages(&small);
    list->SetLargeImages(&large);
    for (const char* title : {"Name", "Size"}) list->Columns().Add()->SetCaption(title);
    for (const char* name : {"a", "b", "c"}) list->Items().Add()->SetCaption(name);
    form.Show();
    QApplication::processEvents();
    auto* table = qobject_cast<QTableView*>(list->Widget());
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(list->ViewStyle(), TViewStyle::vsReport);
    const int reportRow = list->RowHeight();

    struct Case {
        TViewStyle style;
        bool header;
        bool tall;
    };
    const Case cases[] = {{TViewStyle::vsIcon, false, true},
                          {TViewStyle::vsSmallIcon, false, false},
                          {TViewStyle::vsList, false, false},
                          {TViewStyle::vsReport, true, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.style));
        list->SetViewStyle(c.style);
        QApplication::processEvents();
        EXPECT_EQ(table->horizontalHeader()->isVisible(), c.header);
        EXPECT_FALSE(table->isColumnHidden(0));
        EXPECT_EQ(table->isColumnHidden(1), !c.header);
        if (c.tall)
            EXPECT_GE(list->RowHeight(), 33);
        else
            EXPECT_EQ(list->RowHeight(), reportRow);
    }
    // A column added while the names alone show stays hidden until details.
    list->SetViewStyle(TViewStyle::vsList);
    list->Columns().Add()->SetCaption("Type");
    EXPECT_TRUE(table->isColumnHidden(2));
    list->SetViewStyle(TViewStyle::vsReport);
    EXPECT_FALSE(table->isColumnHidden(2));

    const int before = list->Changes;
    list->SetItemState(1, LVIS_SELECTED, LVIS_SELECTED);
    EXPECT_GT(list->Changes, before);
    list->SetLargeImages(nullptr);
    list->SetSmallImages(nullptr);
}

int CountColour(const TBitmap& picture, const TRect& area, TColor colour) {
    int n = 0;
    for (int y = std::max(area.Top, 0); y < std::min(area.Bottom, picture.Height()); ++y)
        for (int x = std::max(area.Left, 0); x < std::min(area.Right, picture.Width()); ++x)
            if (picture.Pixel(x, y) == colour) ++n;
    return n;
}

// A selected row shows the highlight while the list has the focus; without it, the
// button face where the list keeps its selection shown, and nothing where it hides it.
// The caption editor still highlights its selected text.
TEST(ListViewStyles, TheSelectionIsDrawnAsTheFocusAndHideSelectionSay) {
    EnsureApplication();
    TForm form(nullptr);
    form.SetClientWidth(300);
    form.SetClientHeight(200);
    auto* list = new TListView(&form);
    list->SetParent(&form);
    list->SetBounds(0, 0, 300, 160);
    list->SetViewStyle(TViewStyle::vsReport);
    list->SetExtendedStyle(LVS_EX_FULLROWSELECT);
    for (const char* title : {"Name", "Size"}) list->Columns().Add()->SetCaption(title);
    list->Columns()[0]->SetWidth(150);
    list->Columns()[1]->SetWidth(100);
    for (const char* name : {"first", "second", "third"}) list->Items().Add()->SetCaption(name);
    auto* other = new TButton(&form); // takes the focus away from the list
    other->SetParent(&form);
    other->SetBounds(0, 165, 75, 25);
    form.Show();
    QApplication::processEvents();
    list->Items().Item(1)->SetSelected(true);
    const TColor highlight = ColorToRGB(clHighlight), face = ColorToRGB(clBtnFace);
    struct TCase {
        bool focused, hide;
        int highlightAtLeast, highlightAtMost, faceAtLeast;
    };
    const TRect row = list->ItemRect(1);
    const int area = row.Width() * row.Height();
    // The rows, below the header (the picture has it; the item rectangles do not).
    const TRect rows = Rect(0, 20, 300, 160);
    for (const TCase& c : {TCase{true, true, area / 4, area, 0}, TCase{false, false, 0, 0, area / 4},
                           TCase{false, true, 0, 0, 0}}) {
        SCOPED_TRACE(std::to_string(c.focused) + "/" + std::to_string(c.hide));
        list->SetHideSelection(c.hide);
        if (c.focused)
            list->SetFocus();
        else
            other->SetFocus();
        QApplication::processEvents();
        ASSERT_EQ(list->Focused(), c.focused);
        TBitmap shot;
        ASSERT_TRUE(GrabControlImage(*list, shot));
        const int marked = CountColour(shot, rows, highlight);
        EXPECT_GE(marked, c.highlightAtLeast);
        EXPECT_LE(marked, c.highlightAtMost);
        EXPECT_GE(CountColour(shot, rows, face), c.faceAtLeast);
        if (c.faceAtLeast == 0) {
            EXPECT_LE(CountColour(shot, rows, face), area / 8);
        }
    }
    ASSERT_TRUE(list->EditCaption(1));
    QWidget* editor = list->EditorWidget();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->palette().color(QPalette::Highlight), ToQColor(clHighlight));
    list->EndEditing(false);
}

} // namespace
} // namespace mv
