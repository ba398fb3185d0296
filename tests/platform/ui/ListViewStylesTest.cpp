// The list view's view styles and its selection notice, on the real widgets: details
// show the header and every column; the other styles the names alone (also of columns
// added later), large icons in rows as tall as the large images; a selection change of
// standard items is told as well as one of owner data.
#include "platform/ui/Form.h"
#include "platform/ui/ImageList.h"
#include "platform/ui/ListView.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHeaderView>
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

} // namespace
} // namespace mv
