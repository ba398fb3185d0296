// The extended list view as its owners meet it, on a shown form driven through the
// header with mouse events: header clicks toggling the sort with the inverted events,
// the arrows and header images drawn, update counting, the column settings kept in
// the registry store across a header drag, and a virtual list of a million rows that
// asks only for the rows it shows. Screenshots in the three languages.
#include "controls/listview/ExtListView.h"
#include "platform/RegistryStore.h"
#include "platform/ui/Form.h"
#include "platform/ui/ImageList.h"
#include "platform/ui/ModalDriver.h"
#include "tests/support/DesktopFixture.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>
#include <gtest/gtest.h>
#include <set>

namespace mv {
namespace {

const TLocaleDateFormat MonthFirst{'/', ':', "M/d/yyyy"};
const char* Key = "Software\\Morvelan\\Colunas";

struct Lang {
    const char* name;
    std::vector<std::string> titles;
};
const std::vector<Lang> Langs = {
    {"pt", {"Nome", "Tamanho", "Data"}},
    {"en", {"Name", "Size", "Date"}},
    {"es", {"Nombre", "Tamaño", "Fecha"}},
};

void Send(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(at), QPointF(w->mapToGlobal(at)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

// A real click on a header item: press and release on the header's viewport.
void ClickHeader(TListView& list, int column) {
    QWidget* header = list.HeaderWidget();
    const TRect r = list.HeaderItemRect(column);
    const QPoint at((r.Left + r.Right) / 2, r.Height() / 2);
    Send(header, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    Send(header, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    QApplication::processEvents();
}

// Drags a header item by the mouse so that it lands in front of the first one.
void DragHeaderToFront(TListView& list, int column) {
    QWidget* header = list.HeaderWidget();
    const TRect r = list.HeaderItemRect(column);
    QPoint at((r.Left + r.Right) / 2, r.Height() / 2);
    Send(header, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    while (at.x() > 3) {
        at.rx() = std::max(3, at.x() - 10);
        Send(header, QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton);
    }
    Send(header, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    QApplication::processEvents();
}

// Where an arrow bitmap appears in a picture: its top-left corner, or (-1, -1).
TPoint FindBitmap(const TBitmap& picture, const TBitmap& pattern, const TRect& area) {
    for (int y = area.Top; y + pattern.Height() <= area.Bottom; ++y)
        for (int x = area.Left; x + pattern.Width() <= area.Right; ++x) {
            bool same = true;
            for (int py = 0; py < pattern.Height() && same; ++py)
                for (int px = 0; px < pattern.Width() && same; ++px)
                    same = picture.Pixel(x + px, y + py) == pattern.Pixel(px, py);
            if (same) return Point(x, y);
        }
    return Point(-1, -1);
}

int CountColour(const TBitmap& picture, const TRect& area, TColor colour) {
    int n = 0;
    for (int y = area.Top; y < area.Bottom; ++y)
        for (int x = area.Left; x < area.Right; ++x)
            if (picture.Pixel(x, y) == colour) ++n;
    return n;
}

// A header item's rectangle in the control's picture.
TRect HeaderArea(TListView& list, int column) {
    const TRect r = list.HeaderItemRect(column);
    const TPoint o = list.HeaderOrigin();
    return Rect(r.Left + o.X, r.Top + o.Y, r.Right + o.X, r.Bottom + o.Y);
}

void Square(TBitmap& strip, int index, TColor colour) {
    for (int y = 3; y < 13; ++y)
        for (int x = 3; x < 13; ++x) strip.SetPixel(index * 16 + x, y, colour);
}

struct SortLog {
    std::vector<std::pair<int, bool>> begins, finishes;
    void Clear() {
        begins.clear();
        finishes.clear();
    }
};

struct Fixture {
    std::unique_ptr<TForm> form;
    TExtListView* list = nullptr;
    TImageList* images = nullptr;
    SortLog log;

    explicit Fixture(const std::vector<std::string>& titles, int width = 440) {
        EnsureApplication();
        form = std::make_unique<TForm>(nullptr);
        form->SetBorderStyle(TFormBorderStyle::bsDialog);
        form->SetCaption("ExtListView");
        form->SetClientWidth(width);
        form->SetClientHeight(150);
        images = new TImageList(form.get());
        TBitmap strip;
        strip.SetSize(32, 16);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 32; ++x) strip.SetPixel(x, y, 0xFF00FF);
        Square(strip, 0, clRed);
        Square(strip, 1, clBlue);
        images->AddMasked(strip, 0xFF00FF);
        list = new TExtListView(form.get());
        list->SetParent(form.get());
        list->SetBounds(8, 8, width - 16, 134);
        list->SetDateFormat(MonthFirst);
        const int widths[] = {160, 110, 130};
        for (size_t i = 0; i < titles.size(); ++i) {
            TListColumn* c = list->Columns().Add();
            c->SetCaption(titles[i]);
            c->SetWidth(widths[i % 3]);
            if (i == 1) c->SetAlignment(TAlignment::taRightJustify);
            list->ColumnsFormat().Add();
        }
        list->OnSortBegin = [this](TComponent*, int column, bool ascending) { log.begins.push_back({column, ascending}); };
        list->OnSortFinished = [this](TComponent*, int column, bool ascending) {
            log.finishes.push_back({column, ascending});
        };
    }
    void AddRows() {
        const char* rows[][3] = {{"b.txt", "10", "01/02/1999"}, {"a.txt", "9", "12/31/1998"}, {"c.txt", "100", "06/15/1998"}};
        for (auto& row : rows) {
            TListItem* item = list->Items().Add();
            item->SetCaption(row[0]);
            item->SubItems() = {row[1], row[2]};
            item->SetImageIndex(0);
            item->Changed();
        }
    }
    std::vector<std::string> Column(int sub) {
        std::vector<std::string> out;
        for (int i = 0; i < list->Items().Count(); ++i)
            out.push_back(sub < 0 ? list->Items()[i]->Caption() : list->Items()[i]->SubItems()[static_cast<size_t>(sub)]);
        return out;
    }
    void Show() {
        form->Show();
        QApplication::processEvents();
    }
};

TEST(ExtListView, HeaderClicksToggleTheSortWithInvertedEventsAndDrawArrows) {
    for (const Lang& lang : Langs) {
        SCOPED_TRACE(lang.name);
        Fixture f(lang.titles);
        TExtListView& list = *f.list;
        // As the application sets its lists up.
        list.SetAutoColumnSort(TAutoColumnSort::acsSortToggle);
        list.SetAutoSortAscending(false);
        list.SetReverseSortArrows(true);
        list.SetShowSortArrows(true);
        list.SetSmallImages(f.images);
        list.ColumnsFormat()[1]->SetImageIndex(0); // right of the title
        list.ColumnsFormat()[2]->SetImageIndex(1);
        list.ColumnsFormat()[2]->SetImageAlignment(TColumnImageAlign::ciaLeftOfText);
        f.AddRows();
        list.Loaded();
        // Loading sorts by the first column with the flag clear: the events say ascending.
        ASSERT_EQ(f.log.begins.size(), 1u);
        EXPECT_EQ(f.log.begins[0], std::make_pair(0, true));
        EXPECT_EQ(f.log.finishes[0], std::make_pair(0, true));
        EXPECT_EQ(f.Column(-1), (std::vector<std::string>{"c.txt", "b.txt", "a.txt"}));
        f.Show();
        f.log.Clear();

        // First click on Size: the flag clear, sizes compared as numbers, negated.
        ClickHeader(list, 1);
        EXPECT_EQ(list.CurrentSortColumn(), 1);
        EXPECT_FALSE(list.CurrentSortAscending());
        ASSERT_EQ(f.log.finishes.size(), 1u);
        EXPECT_EQ(f.log.begins[0], std::make_pair(1, true));
        EXPECT_EQ(f.log.finishes[0], std::make_pair(1, true));
        EXPECT_EQ(f.Column(0), (std::vector<std::string>{"100", "10", "9"}));
        list.Repaint();
        ASSERT_TRUE(SaveControlImage(*f.form, mvtest::ScreenshotFolder("listview") + "/report_sort_arrow_" + lang.name + ".png"));
        TBitmap shot;
        ASSERT_TRUE(GrabControlImage(list, shot));
        // The arrow shown is DownArrow, which holds the upward drawing; in Size only.
        TBitmap upward;
        DrawUpArrow(upward, list.DownArrow()->Width());
        const TPoint arrow = FindBitmap(shot, upward, HeaderArea(list, 1));
        EXPECT_GE(arrow.X, 0) << "no arrow in the sort column";
        EXPECT_EQ(FindBitmap(shot, upward, HeaderArea(list, 0)).X, -1);
        EXPECT_EQ(FindBitmap(shot, upward, HeaderArea(list, 2)).X, -1);
        // Header images: red right of the Size title, blue left of the Date title.
        EXPECT_GT(CountColour(shot, HeaderArea(list, 1), clRed), 50);
        const TRect date = HeaderArea(list, 2);
        EXPECT_GT(CountColour(shot, Rect(date.Left, date.Top, date.Left + 30, date.Bottom), clBlue), 50);

        // Second click on the same column: the flag set, ascending, the events say false.
        f.log.Clear();
        ClickHeader(list, 1);
        EXPECT_TRUE(list.CurrentSortAscending());
        ASSERT_EQ(f.log.finishes.size(), 1u);
        EXPECT_EQ(f.log.finishes[0], std::make_pair(1, false));
        EXPECT_EQ(f.Column(0), (std::vector<std::string>{"9", "10", "100"}));
        list.Repaint();
        ASSERT_TRUE(GrabControlImage(list, shot));
        TBitmap downward;
        DrawDownArrow(downward, list.UpArrow()->Width());
        EXPECT_GE(FindBitmap(shot, downward, HeaderArea(list, 1)).X, 0);

        // Dates compare as dates.
        f.log.Clear();
        ClickHeader(list, 2);
        EXPECT_FALSE(list.CurrentSortAscending());
        EXPECT_EQ(f.Column(1), (std::vector<std::string>{"01/02/1999", "12/31/1998", "06/15/1998"}));
    }
}

TEST(ExtListView, SortKindsUpdateCountingAndTheOwnersCompare) {
    Fixture f({"Name", "Size", "Date"});
    TExtListView& list = *f.list;
    list.SetAutoColumnSort(TAutoColumnSort::acsSort);
    list.SetShowSortArrows(true);
    f.AddRows();
    list.Loaded();
    f.Show();
    f.log.Clear();
    // acsSort keeps the direction on every click.
    ClickHeader(list, 1);
    ClickHeader(list, 1);
    ASSERT_EQ(f.log.finishes.size(), 2u);
    EXPECT_EQ(f.log.finishes[0], std::make_pair(1, false));
    EXPECT_EQ(f.log.finishes[1], std::make_pair(1, false));
    EXPECT_EQ(f.Column(0), (std::vector<std::string>{"9", "10", "100"}));
    // acsNoSort: no sort and no arrow, but the clicked column becomes the sort column.
    list.SetAutoColumnSort(TAutoColumnSort::acsNoSort);
    f.log.Clear();
    ClickHeader(list, 2);
    EXPECT_TRUE(f.log.finishes.empty());
    EXPECT_EQ(list.CurrentSortColumn(), 2);
    list.Repaint();
    TBitmap shot;
    ASSERT_TRUE(GrabControlImage(list, shot));
    TBitmap up;
    DrawUpArrow(up, list.UpArrow()->Width());
    EXPECT_EQ(FindBitmap(shot, up, Rect(0, 0, shot.Width(), list.HeaderHeight() + 4)).X, -1);

    // A re-sort inside nested updates runs once, at the outer EndUpdate.
    list.SetAutoColumnSort(TAutoColumnSort::acsSort);
    f.log.Clear();
    list.BeginUpdate();
    list.BeginUpdate();
    list.Resort();
    TListItem* added = list.Items().Add(); // AutoResort asks again
    added->SetCaption("0.txt");
    added->SubItems() = {"5", "01/01/2000"};
    list.Resort();
    list.EndUpdate();
    EXPECT_TRUE(f.log.finishes.empty());
    EXPECT_TRUE(list.ResortPending());
    list.EndUpdate();
    EXPECT_EQ(f.log.finishes.size(), 1u);
    EXPECT_EQ(f.Column(1), (std::vector<std::string>{"06/15/1998", "12/31/1998", "01/02/1999", "01/01/2000"}));
    list.EndUpdate(); // unbalanced
    EXPECT_EQ(list.UpdateCount(), 0);

    // The owner's compare gets the sub-item index (-1 for the caption), the sort events
    // the column.
    std::vector<int> columnsSeen;
    list.OnSortItems = [&](TComponent*, TListItem* a, TListItem* b, int column, int& result) {
        columnsSeen.push_back(column);
        result = a->Caption().compare(b->Caption());
    };
    f.log.Clear();
    ClickHeader(list, 0);
    ASSERT_FALSE(columnsSeen.empty());
    EXPECT_EQ(std::set<int>(columnsSeen.begin(), columnsSeen.end()), std::set<int>{-1});
    EXPECT_EQ(f.log.finishes.back().first, 0);
    EXPECT_EQ(f.Column(-1), (std::vector<std::string>{"0.txt", "a.txt", "b.txt", "c.txt"}));
}

TEST(ExtListView, ColumnSettingsSurviveAHeaderDrag) {
    mvtest::DesktopFixture desktop;
    {
        Fixture f({"Name", "Size", "Date"});
        TExtListView& list = *f.list;
        list.Columns()[0]->SetWidth(200);
        list.Columns()[1]->SetWidth(60);
        list.Columns()[2]->SetWidth(100);
        list.SetExtendedStyles(LVX(lvxHeaderDragDrop));
        list.SetAutoColumnSort(TAutoColumnSort::acsSort);
        list.SaveSettings().SetAutoSave(true);
        list.SaveSettings().SetRegistryKey(Key);
        f.AddRows();
        list.Loaded();
        f.Show();
        DragHeaderToFront(list, 1);
        EXPECT_EQ(list.ColumnOrder(), (std::vector<int>{1, 0, 2}));
        ASSERT_NE(list.GetColumnAtDisplayPos(0), nullptr);
        EXPECT_EQ(list.GetColumnAtDisplayPos(0)->Index(), 1);
        EXPECT_EQ(list.GetColumnDisplayPos(0), 1);
        // What is drawn first follows the display order too.
        EXPECT_EQ(list.GetSubItemText(0, -1), list.Items()[0]->SubItems()[0]);
        // A click on the item shown first sorts by the column shown there.
        f.log.Clear();
        ClickHeader(list, 1);
        EXPECT_EQ(list.CurrentSortColumn(), 1);
        ASSERT_EQ(f.log.finishes.size(), 1u);
        EXPECT_EQ(f.log.finishes[0].first, 1);
        ASSERT_TRUE(SaveControlImage(*f.form, mvtest::ScreenshotFolder("listview") + "/report_column_moved.png"));
    } // the form goes: the settings are saved
    platform::RegistryStore store;
    ASSERT_TRUE(store.OpenKeyReadOnly(std::string("\\") + Key + "\\Columns"));
    EXPECT_EQ(store.ReadString("Order"), "1,0,2");
    EXPECT_EQ(store.ReadString("Sizes"), "60,200,100");
    ASSERT_TRUE(store.OpenKeyReadOnly(std::string("\\") + Key + "\\Sort"));
    EXPECT_EQ(store.ReadString("SortCol"), "1");

    auto load = [&](int columns) {
        auto f = std::make_unique<Fixture>(std::vector<std::string>(static_cast<size_t>(columns), "c"));
        f->list->SetAutoColumnSort(TAutoColumnSort::acsSort);
        f->list->SaveSettings().SetAutoSave(true);
        f->list->SaveSettings().SetRegistryKey(Key);
        f->list->SaveSettings().SetSaveCurrentSort(true);
        f->AddRows();
        f->list->Loaded();
        return f;
    };
    {
        auto f = load(3);
        EXPECT_EQ(f->list->ColumnOrder(), (std::vector<int>{1, 0, 2}));
        EXPECT_EQ(f->list->Columns()[0]->Width(), 200);
        EXPECT_EQ(f->list->Columns()[1]->Width(), 60);
        EXPECT_EQ(f->list->Columns()[2]->Width(), 100);
        EXPECT_EQ(f->list->CurrentSortColumn(), 1);
        f->list->SaveSettings().SetAutoSave(false);
    }
    // Damaged or short orders are ignored as a whole; a far sort column is clamped; a
    // stored clear flag sorts with the flag clear and the events say ascending.
    const struct {
        const char* order;
        std::vector<int> expected;
    } orders[] = {{"1,1,2", {0, 1, 2}}, {"2", {0, 1, 2}}, {"x,y,z", {0, 1, 2}}, {"2,0,1", {2, 0, 1}},
                  {"0,1,7", {0, 1, 2}}};
    for (const auto& o : orders) {
        SCOPED_TRACE(o.order);
        {
            platform::RegistryStore w;
            ASSERT_TRUE(w.OpenKey(std::string("\\") + Key + "\\Columns", true));
            w.WriteString("Order", o.order);
            ASSERT_TRUE(w.OpenKey(std::string("\\") + Key + "\\Sort", true));
            w.WriteString("SortCol", "9");
            w.WriteString("Ascending", "0");
        }
        auto f = load(3);
        EXPECT_EQ(f->list->ColumnOrder(), o.expected);
        EXPECT_EQ(f->list->CurrentSortColumn(), 2);
        EXPECT_FALSE(f->list->CurrentSortAscending());
        ASSERT_FALSE(f->log.finishes.empty());
        EXPECT_EQ(f->log.finishes.back(), std::make_pair(2, true));
        f->list->SaveSettings().SetAutoSave(false);
    }
    {
        auto f = load(5);
        EXPECT_EQ(f->list->CurrentSortColumn(), 4);
        f->list->SaveSettings().SetAutoSave(false);
    }
}

// An owner of a virtual list: a million rows it makes up, counting what it is asked.
struct Owner {
    std::set<int> rows;
    int requests = 0;
    std::vector<TLVCacheHint> hints;
    std::vector<TLVStateChange> changes;
    void Clear() {
        rows.clear();
        requests = 0;
        hints.clear();
    }
};

TEST(ExtListView, VirtualListAsksOnlyForTheRowsItShows) {
    for (const Lang& lang : Langs) {
        SCOPED_TRACE(lang.name);
        Fixture f(lang.titles);
        TExtListView& list = *f.list;
        Owner owner;
        list.SetVirtualMode(true);
        list.SetExtendedStyles(LVX(lvxFullRowSelect) | LVX(lvxHeaderDragDrop));
        list.SetSmallImages(f.images);
        list.OnVMGetItemInfo = [&](TComponent*, int item, int subItem, TLVVMMaskItems& mask, int& image, intptr_t&,
                                   uint32_t&, uint32_t&, int& indent, std::string& text) {
            ++owner.requests;
            owner.rows.insert(item);
            if (subItem == 0) {
                image = item % 2;
                indent = 0;
            }
            if (mask & (1 << lvifText))
                text = subItem == 0 ? "arquivo" + std::to_string(item) + ".txt"
                                    : subItem == 1 ? std::to_string(item * 7 % 1000) : "01/02/1999";
        };
        list.OnVMCacheHint = [&](TComponent*, TLVCacheHint& hint) { owner.hints.push_back(hint); };
        list.OnVMStateChanged = [&](TComponent*, const TLVStateChange& c) { owner.changes.push_back(c); };
        list.SetVirtualItemCount(1000000, 2);
        EXPECT_EQ(owner.requests, 0); // the count is applied without touching a row
        EXPECT_EQ(list.RowCount(), 1000000);
        list.Loaded();
        f.Show();
        owner.Clear();
        TBitmap shot;
        ASSERT_TRUE(GrabControlImage(list, shot)); // paints
        int from = -1, to = -1;
        list.VisibleRange(from, to);
        ASSERT_EQ(from, 0);
        ASSERT_GT(to, 3);
        ASSERT_LT(to, 20);
        ASSERT_FALSE(owner.hints.empty());
        EXPECT_EQ(owner.hints.front().From, from);
        EXPECT_EQ(owner.hints.front().To, to);
        ASSERT_FALSE(owner.rows.empty());
        EXPECT_GE(*owner.rows.begin(), from);
        EXPECT_LE(*owner.rows.rbegin(), to);
        EXPECT_LE(owner.requests, (to - from + 1) * 3);

        // To the end.
        list.ScrollToRow(999999);
        owner.Clear();
        ASSERT_TRUE(GrabControlImage(list, shot));
        list.VisibleRange(from, to);
        EXPECT_EQ(to, 999999);
        ASSERT_FALSE(owner.rows.empty());
        EXPECT_GE(*owner.rows.begin(), from);
        EXPECT_EQ(*owner.rows.rbegin(), 999999);
        EXPECT_EQ(owner.hints.back().To, 999999);
        list.SetItemState(999998, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        list.Repaint();
        ASSERT_TRUE(SaveControlImage(*f.form, mvtest::ScreenshotFolder("listview") + "/virtual_million_end_" + lang.name + ".png"));
        ASSERT_TRUE(GrabControlImage(list, shot));
        const TRect row = list.ItemRect(999998);
        const TPoint o = list.RowsOrigin();
        EXPECT_GT(CountColour(shot, Rect(o.X + 200, o.Y + row.Top, o.X + 380, o.Y + row.Bottom),
                              ColorToRGB(clHighlight)), 100); // full-row selection
        EXPECT_EQ(list.CellText(999999, 0), "arquivo999999.txt");
    }
}

TEST(ExtListView, VirtualSelectionWalkRequestsAndColumnOrder) {
    Fixture f({"Name", "Size", "Date"});
    TExtListView& list = *f.list;
    Owner owner;
    list.SetVirtualMode(true);
    std::string longText(300, 'a');
    list.OnVMGetItemInfo = [&](TComponent*, int item, int subItem, TLVVMMaskItems&, int&, intptr_t&, uint32_t&,
                               uint32_t&, int&, std::string& text) {
        ++owner.requests;
        text = item == 3 ? longText : "r" + std::to_string(item) + "c" + std::to_string(subItem);
    };
    list.OnVMStateChanged = [&](TComponent*, const TLVStateChange& c) { owner.changes.push_back(c); };
    list.SetVirtualItemCount(50, 2);
    list.Loaded();
    f.Show();
    // No state condition: the first row; selected: none yet.
    EXPECT_EQ(list.GetNextItemIndex(-1, 4, 1), 0);
    EXPECT_EQ(list.GetNextItemIndex(-1, 4, 16), -1);
    list.SetItemState(5, LVIS_SELECTED, LVIS_SELECTED);
    list.SetItemState(7, LVIS_SELECTED, LVIS_SELECTED);
    list.SetItemState(30, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    std::vector<int> walk;
    for (int i = list.GetNextItemIndex(-1, 4, 16); i >= 0; i = list.GetNextItemIndex(i, 4, 16)) walk.push_back(i);
    EXPECT_EQ(walk, (std::vector<int>{5, 7, 30}));
    EXPECT_EQ(list.GetNextItemIndex(-1, 4, 8), 30);
    EXPECT_EQ(list.GetNextItemIndex(10, 2, 16), 7); // above
    EXPECT_EQ(list.GetNextItemIndex(7, 3, 16), 30); // below
    EXPECT_EQ(list.GetNextItemIndex(7, 0, 1), -1);  // nothing beside in a report
    EXPECT_EQ(list.SelCount(), 3);
    ASSERT_GE(owner.changes.size(), 3u);
    EXPECT_EQ(owner.changes[0].From, 5);
    EXPECT_EQ(owner.changes[0].NewState, LVIS_SELECTED);

    // Typing in the list asks the owner to find the item; Enter activates it.
    std::vector<TLVFindInfo> finds;
    list.OnVMFindItem = [&](TComponent*, const TLVFindInfo& info, int& found) {
        finds.push_back(info);
        found = 12;
    };
    int activated = 0;
    list.OnItemActivate = [&](TComponent*) { ++activated; };
    list.SetFocus();
    for (auto [key, text] : {std::pair{Qt::Key_R, "r"}, std::pair{Qt::Key_Return, "\r"}}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString::fromLatin1(text));
        QApplication::sendEvent(list.Widget(), &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString::fromLatin1(text));
        QApplication::sendEvent(list.Widget(), &release);
    }
    ASSERT_EQ(finds.size(), 1u);
    EXPECT_EQ(finds[0].Text, "r");
    EXPECT_EQ(finds[0].Start, 30);
    EXPECT_TRUE(finds[0].Flags & LVFI_STRING);
    EXPECT_EQ(list.ItemFocused(), 12);
    EXPECT_EQ(activated, 1);

    // The cell-request contract.
    owner.requests = 0;
    std::vector<char> buffer(LVCellTextMax + 1, 'x');
    TLVItemRequest request;
    request.Item = -1;
    request.Mask = LVIF_TEXT;
    request.Text = buffer.data();
    request.TextMax = 260;
    list.GetDispInfo(request);
    EXPECT_EQ(owner.requests, 0); // index -1 asks nothing
    EXPECT_EQ(buffer[0], 'x');
    request.Item = 3;
    request.Image = 42;
    list.GetDispInfo(request);
    EXPECT_EQ(owner.requests, 1);
    EXPECT_EQ(std::string(buffer.data()), std::string(259, 'a'));
    EXPECT_EQ(request.Image, 42); // left alone by the owner
    request.Mask = LVIF_IMAGE; // no text asked: the buffer is not written
    buffer[0] = 'x';
    list.GetDispInfo(request);
    EXPECT_EQ(buffer[0], 'x');

    // After a column move, texts and positions follow the display order.
    ASSERT_TRUE(list.SetColumnOrder(3, {2, 0, 1}));
    EXPECT_EQ(list.GetSubItemText(4, -1), "r4c2");
    EXPECT_EQ(list.GetSubItemText(4, 0), "r4c0");
    EXPECT_EQ(list.GetColumnAtDisplayPos(2)->Index(), 1);
    EXPECT_FALSE(list.SetColumnOrder(3, {2, 2, 1})); // no permutation: kept
    EXPECT_EQ(list.ColumnOrder(), (std::vector<int>{2, 0, 1}));
    std::vector<int> order;
    EXPECT_TRUE(list.GetColumnOrder(5, order));
    EXPECT_EQ(order, (std::vector<int>{2, 0, 1, 3, 4}));
}

TEST(ExtListView, OwnerDrawnRowsTakeOverOrFollowTheDefault) {
    Fixture f({"Name", "Size", "Date"});
    TExtListView& list = *f.list;
    int measured = 0;
    list.OnMeasureItem = [&](TComponent*, int& height) {
        measured = height;
        height = 24;
    };
    list.SetStyle(TLVStyle::lvOwnerDrawFixed);
    EXPECT_EQ(list.RowHeight(), 24);
    EXPECT_GT(measured, 8);
    f.AddRows();
    list.Loaded();
    std::vector<int> drawn, after;
    list.OnDrawItem = [&](TComponent*, TCanvas& canvas, int index, const TRect& rect, TOwnerDrawState, bool& def,
                          bool&) {
        drawn.push_back(index);
        def = index != 1; // the owner draws row 1 itself
        if (index == 1) {
            canvas.SetBrushColor(clLime);
            canvas.FillRect(rect);
        }
    };
    list.OnAfterDefaultDrawItem = [&](TComponent*, TCanvas&, int index, const TRect&, TOwnerDrawState) {
        after.push_back(index);
    };
    list.Items()[0]->SetSelected(true);
    list.SetFocus();
    f.Show();
    drawn.clear();
    TBitmap shot;
    ASSERT_TRUE(GrabControlImage(list, shot));
    EXPECT_EQ(std::set<int>(drawn.begin(), drawn.end()), (std::set<int>{0, 1, 2}));
    EXPECT_EQ(std::set<int>(after.begin(), after.end()), (std::set<int>{0, 2}));
    const TPoint o = list.RowsOrigin();
    const TRect r1 = list.ItemRect(1);
    EXPECT_GT(CountColour(shot, Rect(o.X, o.Y + r1.Top, o.X + 300, o.Y + r1.Bottom), clLime), 1000);
    const TRect r0 = list.ItemRect(0);
    EXPECT_GT(CountColour(shot, Rect(o.X, o.Y + r0.Top, o.X + 160, o.Y + r0.Bottom), ColorToRGB(clHighlight)) +
                  CountColour(shot, Rect(o.X, o.Y + r0.Top, o.X + 160, o.Y + r0.Bottom), ColorToRGB(clBtnFace)),
              50);
}

} // namespace
} // namespace mv
