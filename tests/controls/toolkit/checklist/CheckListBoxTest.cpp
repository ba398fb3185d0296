// The check list box: its click and key state machine as a table (no display), the
// saved states, input through the real widget, and every check kind x state x enabled
// flag in one screenshot with pixel probes.
#include "controls/toolkit/checklist/CheckListBox.h"
#include "platform/ui/Form.h"
#include "platform/ui/ModalDriver.h"
#include "platform/ui/StdControls.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <unistd.h>

namespace mv {
namespace {

std::string ShotPath(const std::string& name) {
    const auto folder = std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() /
                        "screenshots" / "controls";
    std::filesystem::create_directories(folder);
    return (folder / name).string();
}

char Letter(TCheckBoxState s) {
    return s == TCheckBoxState::cbChecked ? 'C' : s == TCheckBoxState::cbGrayed ? 'G' : 'U';
}

std::string States(const TCheckListModel& m) {
    std::string out;
    for (int i = 0; i < m.Count(); ++i) out += Letter(m.GetItemState(i));
    return out;
}

TEST(CheckListModel, ClickAndKeyStateMachine) {
    struct Row {
        const char* name;
        TCheckKind kind;
        bool allowGrayed;
        std::string disabled; // indexes of disabled items
        std::vector<std::string> actions;
        std::string states; // after all actions
        int clickChecks;
        std::string changes; // indexes that fired OnStateChange
    };
    const auto marks = TCheckKind::ckCheckMarks, boxes = TCheckKind::ckCheckBoxes,
               radio = TCheckKind::ckRadioButtons;
    const std::vector<Row> rows = {
        {"grayed cycle, first click", marks, true, "", {"click 0 5"}, "GUUU", 1, "0"},
        {"grayed cycle, second click", marks, true, "", {"click 0 5", "click 0 5"}, "CUUU", 2, "00"},
        {"grayed cycle, third click",
         marks,
         true,
         "",
         {"click 0 5", "click 0 5", "click 0 17"},
         "UUUU",
         3,
         "000"},
        {"a click on the text only selects", marks, true, "", {"click 1 18", "click 1 60"}, "UUUU", 0, ""},
        {"no grayed without AllowGrayed", boxes, false, "", {"click 2 0", "click 2 0"}, "UUUU", 2, "22"},
        {"space toggles the current item", boxes, false, "", {"click 3 40", "key  "}, "UUUC", 1, "3"},
        {"space without a current item", boxes, false, "", {"key  "}, "UUUU", 0, ""},
        {"radio never grayed", radio, true, "", {"click 1 5"}, "UCUU", 1, "1"},
        // A radio list starts with its first item checked.
        {"checking a radio item unchecks the others",
         radio,
         false,
         "",
         {"click 0 5", "click 2 5"},
         "UUCU",
         2,
         "2"},
        {"a radio item cannot be unchecked", radio, false, "", {"click 2 5", "click 2 5"}, "UUCU", 2, "2"},
        {"grayed set on radio reads unchecked", radio, false, "", {"set 3 G"}, "CUUU", 0, "3"},
        {"plus skips a disabled item", boxes, false, "1", {"key +"}, "CUCC", 1, "023"},
        {"minus unchecks the enabled ones",
         boxes,
         false,
         "1",
         {"set 1 C", "set 2 G", "key -"},
         "UCUU",
         1,
         "122"},
        {"plus and minus do nothing to radio items",
         radio,
         false,
         "",
         {"set 1 C", "key +", "key -"},
         "UCUU",
         0,
         "1"},
        {"a disabled item does not toggle", boxes, false, "2", {"click 2 5"}, "UUUU", 0, ""},
        {"checked index writes a radio state",
         radio,
         false,
         "",
         {"checked 3", "checked -1"},
         "CUUU",
         0,
         "30"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TCheckListModel m;
        for (const char* t : {"alpha", "beta", "gamma", "delta"}) m.Add(t);
        m.SetCheckKind(row.kind);
        m.SetAllowGrayed(row.allowGrayed);
        for (char c : row.disabled) m.SetItemEnabled(c - '0', false);
        int clickChecks = 0;
        std::string changes;
        m.OnClickCheck = [&] { ++clickChecks; };
        m.OnStateChange = [&](int i) { changes += static_cast<char>('0' + i); };
        for (const std::string& a : row.actions) {
            std::istringstream in(a);
            std::string verb;
            in >> verb;
            if (verb == "click") {
                int index, x;
                in >> index >> x;
                m.MouseDown(index, x);
            } else if (verb == "key") {
                m.KeyPress(a.back());
            } else if (verb == "set") {
                int index;
                char s;
                in >> index >> s;
                m.SetItemState(index, s == 'C'   ? TCheckBoxState::cbChecked
                                      : s == 'G' ? TCheckBoxState::cbGrayed
                                                 : TCheckBoxState::cbUnchecked);
            } else if (verb == "checked") {
                int index;
                in >> index;
                m.SetCheckedIndex(index);
            }
        }
        EXPECT_EQ(States(m), row.states);
        EXPECT_EQ(clickChecks, row.clickChecks);
        EXPECT_EQ(changes, row.changes);
    }
}

TEST(CheckListModel, RulesAroundTheItems) {
    TCheckListModel m;
    for (const char* t : {"delta", "Alpha", "charlie", "bravo"}) m.Add(t);
    m.SetItemState(0, TCheckBoxState::cbChecked);
    m.SetItemEnabled(2, false);
    m.SetItemState(3, TCheckBoxState::cbGrayed);
    // Sorting carries each item's state and enabled flag along.
    m.SetSorted(true);
    EXPECT_EQ(m.Strings(0), "Alpha");
    EXPECT_EQ(m.Strings(3), "delta");
    EXPECT_EQ(States(m), "UGUC");
    EXPECT_FALSE(m.ItemEnabled(2));
    EXPECT_EQ(m.Add("baker"), 1);
    m.Exchange(0, 4);
    EXPECT_EQ(m.Strings(0), "delta");
    EXPECT_EQ(Letter(m.GetItemState(0)), 'C');
    // Indexes the list does not have.
    try {
        m.GetItemState(9);
        FAIL();
    } catch (const EListError& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (9)");
    }
    EXPECT_THROW(m.SetItemEnabled(-1, true), EListError);
    m.ToggleItem(42); // ignored
    // Switching to radio buttons leaves exactly one item checked.
    TCheckListModel r;
    for (const char* t : {"a", "b", "c"}) r.Add(t);
    r.SetItemState(1, TCheckBoxState::cbGrayed);
    r.SetCheckKind(TCheckKind::ckRadioButtons);
    EXPECT_EQ(States(r), "CUU");
    EXPECT_EQ(r.CheckedIndex(), 0);
    EXPECT_FALSE(r.AllowGrayed());
    EXPECT_EQ(CheckCellIndex(TCheckKind::ckCheckMarks, TCheckBoxState::cbChecked, false), 16);
    EXPECT_EQ(CheckCellIndex(TCheckKind::ckRadioButtons, TCheckBoxState::cbGrayed, true), 8);
}

struct TempIni {
    std::filesystem::path path;
    TempIni() {
        path =
            std::filesystem::temp_directory_path() / ("mv-checklist-" + std::to_string(::getpid()) + ".ini");
        std::filesystem::remove(path);
    }
    ~TempIni() { std::filesystem::remove(path); }
    std::string Text() const {
        std::ifstream in(path);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
};

TEST(CheckListModel, SavedStatesAreCountAndItemN) {
    TempIni ini;
    TIniPlacementStorage storage(ini.path.string());
    storage.WriteString("Lists", "Stale", "1");
    TCheckListModel m;
    for (const char* t : {"a", "b", "c"}) m.Add(t);
    m.SetItemState(1, TCheckBoxState::cbChecked);
    m.SetItemState(2, TCheckBoxState::cbGrayed);
    m.SaveStates(storage, "Lists");
    EXPECT_EQ(ini.Text(), "[Lists]\nCount=3\nItem0=0\nItem1=1\nItem2=2\n");
    // A larger count touches only the items there are.
    storage.WriteInteger("Lists", "Count", 7);
    storage.WriteInteger("Lists", "Item0", 2);
    storage.WriteInteger("Lists", "Item5", 1);
    TCheckListModel two;
    two.Add("x");
    two.Add("y");
    two.LoadStates(storage, "Lists");
    EXPECT_EQ(States(two), "GC");
    // Radio buttons stop after the first checked item.
    TCheckListModel radio;
    for (const char* t : {"a", "b", "c"}) radio.Add(t);
    radio.SetCheckKind(TCheckKind::ckRadioButtons);
    storage.WriteInteger("Lists", "Item0", 0);
    storage.WriteInteger("Lists", "Item1", 1);
    storage.WriteInteger("Lists", "Item2", 1);
    radio.LoadStates(storage, "Lists");
    EXPECT_EQ(States(radio), "UCU");
    // Damaged values read as unchecked.
    storage.WriteString("Lists", "Item0", "x9");
    storage.WriteString("Lists", "Item1", "-4");
    TCheckListModel damaged;
    damaged.Add("a");
    damaged.Add("b");
    damaged.SetItemState(0, TCheckBoxState::cbChecked);
    damaged.LoadStates(storage, "Lists");
    EXPECT_EQ(States(damaged), "UU");
}

void SendClick(QWidget* w, int x, int y) {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(x, y), w->mapToGlobal(QPointF(x, y)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(x, y), w->mapToGlobal(QPointF(x, y)),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &release);
}

void SendKey(QWidget* w, int key, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &press);
}

TEST(CheckListBox, TheWidgetTogglesOnClicksAndKeysAndKeepsStatesThroughItsPlacement) {
    EnsureApplication();
    TempIni ini;
    auto form = std::make_unique<TForm>(nullptr);
    form->SetBounds(0, 0, 300, 200);
    auto* placement = new TFormPlacement(form.get());
    placement->SetIniFileName(ini.path.string());
    placement->SetIniSection("Form Arquivos");
    auto* list = new TMvCheckListBox(form.get());
    list->SetName("IncluidosLb");
    list->SetParent(form.get());
    list->SetBounds(8, 8, 200, 120);
    list->SetIniStorage(placement);
    list->SetAllowGrayed(true);
    list->SetCheckKind(TCheckKind::ckCheckMarks);
    for (const char* t : {"/home", "/etc", "/var"}) list->Items().Add(t);
    int clicks = 0;
    list->OnClickCheck = [&](TComponent*) { ++clicks; };
    form->Show();
    QApplication::processEvents();
    const int h = list->ItemHeight();
    SendClick(list->Widget(), 5, h + 2);         // check area of item 1: grayed
    SendClick(list->Widget(), 60, 2 * h + 2);    // text of item 2: selects only
    SendKey(list->Widget(), Qt::Key_Space, " "); // toggles item 2
    SendKey(list->Widget(), Qt::Key_Up, QString());
    SendKey(list->Widget(), Qt::Key_Space, " "); // item 1: grayed -> checked
    EXPECT_EQ(list->ItemIndex(), 1);
    EXPECT_EQ(States(list->Items()), "UCG");
    EXPECT_EQ(clicks, 3);
    placement->SavePlacement();
    EXPECT_EQ(list->StatesSection(), "Form Arquivos\\TFormIncluidosLb");
    const std::string text = ini.Text();
    EXPECT_NE(text.find("[Form Arquivos\\TFormIncluidosLb]\nCount=3\nItem0=0\nItem1=1\nItem2=2\n"),
              std::string::npos)
        << text;
    list->SetAllStates(TCheckBoxState::cbUnchecked, false);
    placement->RestorePlacement();
    EXPECT_EQ(States(list->Items()), "UCG");
}

TEST(CheckListBox, EveryKindStateAndEnabledFlagInOneScreenshot) {
    EnsureApplication();
    auto form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(TFormBorderStyle::bsDialog);
    form->SetCaption("Check list box");
    form->SetClientWidth(3 * 160 + 4 * 8);
    form->SetClientHeight(6 * 16 + 4 + 16 + 8);
    const char* kindNames[3] = {"Box", "Radio", "Mark"};
    const char* stateNames[3] = {"unchecked", "checked", "grayed"};
    const TCheckBoxState states[3] = {TCheckBoxState::cbUnchecked, TCheckBoxState::cbChecked,
                                      TCheckBoxState::cbGrayed};
    // Check boxes and marks: the three states enabled, then disabled, in one list each.
    // Radio items: one checked per list and never grayed, so a list per enabled flag and
    // per checked item shows every cell there is.
    struct Spec {
        TCheckKind kind;
        std::vector<std::pair<TCheckBoxState, bool>> items;
        TRect bounds;
    };
    const int itemsHeight = 6 * 16 + 4;
    std::vector<Spec> specs;
    std::vector<std::pair<TCheckBoxState, bool>> six;
    for (int i = 0; i < 6; ++i) six.push_back({states[i % 3], i < 3});
    specs.push_back({TCheckKind::ckCheckBoxes, six, Bounds(8, 8, 160, itemsHeight)});
    specs.push_back({TCheckKind::ckRadioButtons,
                     {{TCheckBoxState::cbChecked, true},
                      {TCheckBoxState::cbUnchecked, true},
                      {TCheckBoxState::cbGrayed, true}},
                     Bounds(176, 8, 160, 3 * 16 + 2)});
    specs.push_back({TCheckKind::ckRadioButtons,
                     {{TCheckBoxState::cbUnchecked, false},
                      {TCheckBoxState::cbChecked, false},
                      {TCheckBoxState::cbGrayed, false}},
                     Bounds(176, 8 + 3 * 16 + 2, 160, 3 * 16 + 2)});
    specs.push_back({TCheckKind::ckCheckMarks, six, Bounds(344, 8, 160, itemsHeight)});
    std::vector<TMvCheckListBox*> lists;
    for (const Spec& spec : specs) {
        auto* list = new TMvCheckListBox(form.get());
        list->SetParent(form.get());
        list->SetBounds(spec.bounds.Left, spec.bounds.Top, spec.bounds.Width(), spec.bounds.Height());
        list->SetStyle(TListBoxStyle::lbOwnerDrawFixed);
        list->SetAllowGrayed(true);
        list->SetCheckKind(spec.kind);
        for (const auto& [state, enabled] : spec.items) {
            const int i = list->Items().Add(std::string(kindNames[static_cast<int>(spec.kind)]) + ": " +
                                            stateNames[static_cast<int>(state)] + (enabled ? "" : " (off)"));
            list->Items().SetItemEnabled(i, enabled);
        }
        for (int i = 0; i < static_cast<int>(spec.items.size()); ++i)
            if (spec.items[i].first != TCheckBoxState::cbUnchecked)
                list->Items().SetItemState(i, spec.items[i].first);
        lists.push_back(list);
    }
    auto* grid = new TLabel(form.get());
    grid->SetParent(form.get());
    grid->SetCaption("A grayed radio item reads as unchecked and shows the unchecked cell.");
    grid->SetBounds(8, itemsHeight + 14, 480, 14);
    form->Show();
    QApplication::processEvents();
    ASSERT_TRUE(SaveControlImage(*form, ShotPath("checklistbox.png")));

    // Probes: every check area shows its cell of the check images (see-through pixels
    // on the list's colour), and every item's text is drawn.
    const TBitmap& images = CheckImages();
    const TColor key = images.TransparentColor();
    std::set<int> cellsSeen;
    for (size_t l = 0; l < lists.size(); ++l) {
        TBitmap shot;
        ASSERT_TRUE(GrabControlImage(*lists[l], shot));
        const int h = lists[l]->ItemHeight();
        for (int i = 0; i < lists[l]->Items().Count(); ++i) {
            SCOPED_TRACE(lists[l]->Items().Strings(i));
            const int cell =
                CheckCellIndex(lists[l]->CheckKind(), lists[l]->GetItemState(i), lists[l]->ItemEnabled(i));
            cellsSeen.insert(cell);
            const int cellX = (cell % 6) * CheckCellWidth, cellY = (cell / 6) * CheckCellHeight;
            const int x0 = (CheckWidth - CheckCellWidth) / 2, y0 = i * h + (h - CheckCellHeight) / 2;
            int differing = 0;
            for (int y = 0; y < CheckCellHeight; ++y)
                for (int x = 0; x < CheckCellWidth; ++x) {
                    const TColor want = images.Pixel(cellX + x, cellY + y);
                    const TColor expected = want == key ? ColorToRGB(clWindow) : want;
                    if (shot.Pixel(x0 + x, y0 + y) != expected) ++differing;
                }
            EXPECT_EQ(differing, 0);
            int ink = 0;
            for (int y = i * h; y < (i + 1) * h; ++y)
                for (int x = CheckWidth + 2; x < 120; ++x)
                    if (GetGValue(shot.Pixel(x, y)) < 0xA0) ++ink;
            EXPECT_GT(ink, 10);
        }
    }
    // Every cell but the two grayed radio ones appears.
    EXPECT_EQ(cellsSeen.size(), 16u);
    // The glyphs themselves, against the system colours.
    TBitmap boxes, radios, marks;
    GrabControlImage(*lists[0], boxes);
    GrabControlImage(*lists[1], radios);
    GrabControlImage(*lists[3], marks);
    const int h = lists[0]->ItemHeight();
    const int bx = (CheckWidth - CheckCellWidth) / 2 + 1, by = (h - CheckCellHeight) / 2;
    auto elbow = [&](const TBitmap& b, int item) { return b.Pixel(bx + 3, item * h + by + 7); };
    EXPECT_EQ(elbow(boxes, 0), ColorToRGB(clWindow));    // unchecked
    EXPECT_EQ(elbow(boxes, 1), clBlack);                 // checked
    EXPECT_EQ(elbow(boxes, 2), ColorToRGB(clBtnShadow)); // grayed
    EXPECT_EQ(elbow(boxes, 4), ColorToRGB(clGrayText));  // checked, disabled
    EXPECT_EQ(radios.Pixel(bx + 6, by + 6), clBlack);    // the checked radio's dot
    EXPECT_EQ(radios.Pixel(bx + 6, h + by + 6), ColorToRGB(clWindow));
    EXPECT_EQ(marks.Pixel(1 + 4, h + (h - CheckCellHeight) / 2 + 3 + 4), clBlack);
    EXPECT_EQ(marks.Pixel(1 + 4, 2 * h + (h - CheckCellHeight) / 2 + 3 + 4), ColorToRGB(clBtnShadow));
}

} // namespace
} // namespace mv
