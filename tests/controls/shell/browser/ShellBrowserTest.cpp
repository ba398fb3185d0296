// The shell tree, list and folder combo as their owners meet them, on a temporary
// folder tree under a fresh home: lazy expansion, selection by path (hidden folders
// too), vanished folders, keyboard travel with the list following after its delay (on a
// manual clock), renaming that keeps the three controls together, the list's filters,
// columns, sorting and refresh by difference, the combo's indents and GoUp, drag and
// drop, context menus, custom drawing and the header's sort arrows. Screenshots of the
// three together in the three languages.
#include "controls/shell/ShellCombo.h"
#include "controls/shell/ShellList.h"
#include "controls/shell/ShellTree.h"
#include "platform/RegistryStore.h"
#include "platform/ui/Form.h"
#include "platform/ui/ImageList.h"
#include "platform/ui/MimeData.h"
#include "platform/ui/ModalDriver.h"
#include "platform/ui/SysMetrics.h"
#include "tests/support/DesktopFixture.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QImage>
#include <QPainter>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <QWidget>
#include <fstream>
#include <gtest/gtest.h>
#include <set>

namespace mv {
namespace {

namespace fs = std::filesystem;
using desktop::IdListDisplayName;
using desktop::TShellItem;
using desktop::TShellItemKind;

void WriteFile(const fs::path& path, size_t bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << std::string(bytes, 'x');
}

// A folder tree under the fixture's home:
//   data/alpha/a1, data/alpha/a2/deep, data/beta, data/gamma, data/.hidden/inner,
//   and a few files in data.
struct Tree {
    mvtest::DesktopFixture desk;
    fs::path data = desk.Home() / "data";
    Tree() {
        for (const char* d : {"alpha/a1", "alpha/a2/deep", "beta", "gamma", ".hidden/inner"})
            fs::create_directories(data / d);
        WriteFile(data / "notes.txt", 10);
        WriteFile(data / "readme.md", 2000);
        WriteFile(data / "image.png", 5000);
        EnsureApplication();
        desktop::SetNamespaceLanguageBase(20000);
    }
    std::string P(const std::string& relative) const { return (data / relative).string(); }
};

TIdList PidlOf(const std::string& path) {
    TIdList pidl;
    EXPECT_EQ(PathToPidl(path, pidl), S_OK) << path;
    return pidl;
}

std::vector<std::string> ChildTexts(TTreeNode* node) {
    std::vector<std::string> out;
    for (int i = 0; i < node->Count(); ++i) out.push_back(node->Item(i)->Text());
    return out;
}

std::set<std::string> ListNames(TMvCustomShellList& list) {
    std::set<std::string> out;
    for (int i = 0; i < list.Items().Count(); ++i) out.insert(list.CellText(i, 0));
    return out;
}

int RowOf(TMvCustomShellList& list, const std::string& name) {
    for (int i = 0; i < list.Items().Count(); ++i)
        if (list.CellText(i, 0) == name) return i;
    return -1;
}

TTreeNode* ChildNamed(TTreeNode* node, const std::string& name) {
    for (int i = 0; node && i < node->Count(); ++i)
        if (node->Item(i)->Text() == name) return node->Item(i);
    return nullptr;
}

void Key(TControl& control, int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QWidget* w = control.Widget();
    QKeyEvent press(QEvent::KeyPress, key, mods);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, mods);
    QApplication::sendEvent(w, &release);
}

void Click(QWidget* w, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), QPointF(w->mapToGlobal(at)), button, button,
                      Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), QPointF(w->mapToGlobal(at)), button,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &release);
}

// Presses the left button at a point and moves it far enough to start a drag.
void DragFrom(QWidget* w, QPoint at) {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), QPointF(w->mapToGlobal(at)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    const QPoint to = at + QPoint(QApplication::startDragDistance() + 5, 0);
    QMouseEvent move(QEvent::MouseMove, QPointF(to), QPointF(w->mapToGlobal(to)), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(w, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(to), QPointF(w->mapToGlobal(to)), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &release);
}

// Types a new name into an open label editor and presses Enter.
void TypeIntoEditor(QWidget* editor, const std::string& text) {
    ASSERT_NE(editor, nullptr);
    auto* edit = qobject_cast<QLineEdit*>(editor);
    ASSERT_NE(edit, nullptr);
    edit->selectAll();
    edit->setText(QString::fromStdString(text));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(editor, &enter);
    QApplication::processEvents();
}

// ---- Tree ----

TEST(ShellTree, FillsLazilyAndSelectsByPath) {
    Tree t;
    TMvManualClock clock;
    TForm form(nullptr);
    TMvShellTree tree(&form);
    tree.SetParent(&form);
    int fills = 0;
    tree.OnFillStart = [&](TComponent*) { ++fills; };
    tree.BaseFolder().SetPath(t.data.string());
    TTreeNode* root = tree.Items().GetFirstNode();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->Text(), "data");
    EXPECT_TRUE(root->Expanded());
    // Folders only, in the folder's order, the hidden one with its cut look.
    EXPECT_EQ(ChildTexts(root), (std::vector<std::string>{".hidden", "alpha", "beta", "gamma"}));
    EXPECT_TRUE(ChildNamed(root, ".hidden")->Cut());
    TTreeNode* alpha = ChildNamed(root, "alpha");
    // Not filled until expanded, but with its button.
    EXPECT_TRUE(alpha->HasChildren());
    EXPECT_EQ(alpha->Count(), 0);
    EXPECT_FALSE(ChildNamed(root, "beta")->HasChildren());
    const int before = fills;
    alpha->Expand(false);
    EXPECT_EQ(fills, before + 1);
    EXPECT_EQ(ChildTexts(alpha), (std::vector<std::string>{"a1", "a2"}));
    EXPECT_FALSE(ChildNamed(alpha, "a1")->HasChildren());
    EXPECT_TRUE(ChildNamed(alpha, "a2")->HasChildren());

    tree.SetPath(t.P("alpha/a2/deep"));
    ASSERT_NE(tree.Selected(), nullptr);
    EXPECT_EQ(tree.Selected()->Text(), "deep");
    EXPECT_EQ(tree.GetSelectedPath(), t.P("alpha/a2/deep"));
    EXPECT_EQ(tree.CurrentFolder().GetPath(), t.P("alpha/a2/deep"));
    EXPECT_EQ(tree.GetItemData(tree.Selected()->AbsoluteIndex())->GetPath(), t.P("alpha/a2/deep"));
    // GoUp climbs, and stops at the root.
    tree.GoUp(2);
    EXPECT_EQ(tree.GetSelectedPath(), t.P("alpha"));
    tree.GoUp(5);
    EXPECT_EQ(tree.GetSelectedPath(), t.data.string());
    // A path outside the base leaves the selection alone.
    tree.SetPath(t.desk.Home().string());
    EXPECT_EQ(tree.Selected()->Text(), "data");
}

TEST(ShellTree, NavigatingToAHiddenFolderAddsItsNode) {
    Tree t;
    TMvManualClock clock;
    TForm form(nullptr);
    TMvShellTree tree(&form);
    tree.SetParent(&form);
    tree.SetOptions(tree.Options() & ~PTSTO(ptstoShowHidden));
    tree.BaseFolder().SetPath(t.data.string());
    TTreeNode* root = tree.Items().GetFirstNode();
    EXPECT_EQ(ChildTexts(root), (std::vector<std::string>{"alpha", "beta", "gamma"}));
    tree.SetPath(t.P(".hidden/inner"));
    ASSERT_NE(tree.Selected(), nullptr);
    EXPECT_EQ(tree.Selected()->Text(), "inner");
    EXPECT_EQ(tree.Selected()->Parent()->Text(), ".hidden");
    EXPECT_TRUE(tree.Selected()->Parent()->Cut());
    EXPECT_EQ(tree.GetSelectedPath(), t.P(".hidden/inner"));
}

TEST(ShellTree, AVanishedFolderSelectsItsParent) {
    Tree t;
    TMvManualClock clock;
    TForm form(nullptr);
    TMvShellTree tree(&form);
    TMvShellList list(&form);
    tree.SetParent(&form);
    list.SetParent(&form);
    tree.SetShellList(&list);
    tree.BaseFolder().SetPath(t.data.string());
    tree.SetPath(t.P("alpha/a2/deep"));
    EXPECT_EQ(list.Folder().GetPath(), t.P("alpha/a2/deep"));
    fs::remove_all(t.data / "alpha/a2/deep");
    tree.Refresh();
    ASSERT_NE(tree.Selected(), nullptr);
    EXPECT_EQ(tree.GetSelectedPath(), t.P("alpha/a2"));
    EXPECT_EQ(list.Folder().GetPath(), t.P("alpha/a2"));
    // A whole branch going: the selection climbs to the nearest folder still there, and
    // a new folder appears.
    fs::remove_all(t.data / "alpha");
    fs::create_directories(t.data / "delta");
    tree.Refresh();
    EXPECT_EQ(tree.GetSelectedPath(), t.data.string());
    EXPECT_EQ(ChildTexts(tree.Items().GetFirstNode()), (std::vector<std::string>{".hidden", "beta", "delta", "gamma"}));
    EXPECT_EQ(list.Folder().GetPath(), t.data.string());
}

TEST(ShellTree, KeyboardTravelMovesTheListOnceAfterItsDelay) {
    Tree t;
    TMvManualClock clock;
    TForm form(nullptr);
    form.SetBounds(0, 0, 400, 300);
    TMvShellTree tree(&form);
    TMvShellList list(&form);
    tree.SetParent(&form);
    list.SetParent(&form);
    tree.SetBounds(0, 0, 200, 300);
    tree.SetShellList(&list);
    tree.BaseFolder().SetPath(t.data.string());
    form.Show();
    QApplication::processEvents();
    tree.SetPath(t.P(".hidden"));
    EXPECT_EQ(list.Folder().GetPath(), t.P(".hidden"));
    int fills = 0;
    list.OnFillStart = [&](TComponent*) { ++fills; };
    tree.SetFocus();
    // Three steps down, 100 ms apart: the list stays until the keys rest for 500 ms.
    for (int i = 0; i < 3; ++i) {
        Key(tree, Qt::Key_Down);
        clock.Advance(100);
    }
    EXPECT_EQ(tree.Selected()->Text(), "gamma");
    EXPECT_EQ(list.Folder().GetPath(), t.P(".hidden"));
    EXPECT_TRUE(tree.LinkTimer().Enabled());
    clock.Advance(399);
    EXPECT_EQ(list.Folder().GetPath(), t.P(".hidden"));
    EXPECT_EQ(fills, 0);
    clock.Advance(1);
    EXPECT_EQ(list.Folder().GetPath(), t.P("gamma"));
    EXPECT_EQ(fills, 1);
    clock.Advance(5000);
    EXPECT_EQ(fills, 1);
    // A click moves it at once.
    TTreeNode* beta = ChildNamed(tree.Items().GetFirstNode(), "beta");
    const TRect r = beta->DisplayRect(true);
    Click(tree.RowsWidget(), QPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2));
    EXPECT_EQ(tree.Selected(), beta);
    EXPECT_EQ(list.Folder().GetPath(), t.P("beta"));
    EXPECT_EQ(fills, 2);
    // A list acting on its items first flushes a move still pending.
    Key(tree, Qt::Key_Down);
    EXPECT_EQ(list.Folder().GetPath(), t.P("beta"));
    list.FlushPendingSync(true);
    EXPECT_EQ(list.Folder().GetPath(), t.P("gamma"));
}

TEST(ShellTree, RenameKeepsTreeListAndComboTogether) {
    Tree t;
    TMvManualClock clock;
    TForm form(nullptr);
    form.SetBounds(0, 0, 600, 400);
    TMvShellTree tree(&form);
    TMvShellList list(&form);
    TMvShellCombo combo(&form);
    for (TControl* c : std::vector<TControl*>{&tree, &list, &combo}) c->SetParent(&form);
    tree.SetBounds(0, 30, 200, 300);
    combo.SetBounds(0, 0, 300, 22);
    tree.SetShellList(&list);
    combo.SetShellTree(&tree);
    tree.BaseFolder().SetPath(t.data.string());
    form.Show();
    QApplication::processEvents();
    tree.SetPath(t.P("alpha"));
    EXPECT_EQ(combo.CurrentFolder().GetPath(), t.P("alpha"));
    EXPECT_EQ(combo.Item(combo.ItemIndex())->Caption(), "alpha");
    EXPECT_EQ(ListNames(list), (std::set<std::string>{"a1", "a2"}));
    int treeFills = 0;
    tree.OnFillStart = [&](TComponent*) { ++treeFills; };
    // F2, a new name typed into the editor, Enter.
    tree.SetFocus();
    Key(tree, Qt::Key_F2);
    ASSERT_TRUE(tree.IsEditing());
    TypeIntoEditor(tree.EditorWidget(), "alfa");
    EXPECT_FALSE(tree.IsEditing());
    EXPECT_TRUE(fs::is_directory(t.data / "alfa"));
    EXPECT_FALSE(fs::exists(t.data / "alpha"));
    EXPECT_EQ(tree.Selected()->Text(), "alfa");
    EXPECT_EQ(tree.GetSelectedPath(), t.P("alfa"));
    EXPECT_EQ(list.Folder().GetPath(), t.P("alfa"));
    EXPECT_EQ(ListNames(list), (std::set<std::string>{"a1", "a2"}));
    EXPECT_EQ(combo.CurrentFolder().GetPath(), t.P("alfa"));
    EXPECT_EQ(combo.Item(combo.ItemIndex())->Caption(), "alfa");
    // Its own change notification brings no refresh; the next one does.
    TMessage own{WMShellChangeNotify, 0, 0, 0};
    tree.Dispatch(own);
    EXPECT_FALSE(tree.LinkTimer().Enabled());
    tree.Dispatch(own);
    EXPECT_TRUE(tree.LinkTimer().Enabled());
    EXPECT_EQ(treeFills, 0);
    // A name the file system cannot take keeps the old one: it is never cut.
    Key(tree, Qt::Key_F2);
    TypeIntoEditor(tree.EditorWidget(), std::string(300, 'n'));
    EXPECT_EQ(tree.Selected()->Text(), "alfa");
    EXPECT_TRUE(fs::is_directory(t.data / "alfa"));
}

TEST(ShellTree, DefaultKeysRunTheirVerbs) {
    Tree t;
    TMvManualClock clock;
    TForm form(nullptr);
    TMvShellTree tree(&form);
    tree.SetParent(&form);
    tree.BaseFolder().SetPath(t.data.string());
    form.Show();
    tree.SetPath(t.P("gamma"));
    tree.SetFocus();
    int asked = 0;
    SetShellPrompts({[&](const std::string&) {
                         ++asked;
                         return true;
                     },
                     {}});
    // Shift+Del deletes as Del does (to the trash, or after the questions).
    Key(tree, Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_FALSE(fs::exists(t.data / "gamma"));
    EXPECT_EQ(ChildNamed(tree.Items().GetFirstNode(), "gamma"), nullptr);
    SetShellPrompts({});
    // Ctrl+A is not the tree's.
    uint16_t key = 'A';
    tree.KeyDown(key, ssCtrl);
    EXPECT_EQ(key, 'A');
    (void)asked;
}

TEST(ShellTree, ADragKeepsTheRefreshAskedForMeanwhile) {
    Tree t;
    TMvManualClock clock;
    TForm form(nullptr);
    TMvShellTree tree(&form);
    tree.SetParent(&form);
    tree.BaseFolder().SetPath(t.data.string());
    TTreeNode* beta = ChildNamed(tree.Items().GetFirstNode(), "beta");
    bool sawData = false;
    const TDragHook old = SetDragHook([&](TControl& source, const TMimeBlocks& blocks, uint32_t allowed) {
        EXPECT_EQ(&source, &tree);
        EXPECT_EQ(allowed, DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK);
        for (const TMimeBlock& b : blocks)
            if (b.MimeType == "text/uri-list")
                sawData = std::string(b.Data.begin(), b.Data.end()).find("/data/beta") != std::string::npos;
        // A folder appears while the drag goes on; its notification comes meanwhile.
        fs::create_directories(t.data / "epsilon");
        TMessage change{WMShellChangeNotify, 0, 0, 0};
        tree.Dispatch(change);
        EXPECT_TRUE(tree.RefreshPending());
        return DROPEFFECT_NONE; // cancelled
    });
    form.Show();
    QApplication::processEvents();
    const TRect r = beta->DisplayRect(true);
    DragFrom(tree.RowsWidget(), QPoint(r.Left + 4, (r.Top + r.Bottom) / 2));
    SetDragHook(old);
    EXPECT_TRUE(sawData);
    EXPECT_FALSE(tree.RefreshPending());
    EXPECT_NE(ChildNamed(tree.Items().GetFirstNode(), "epsilon"), nullptr);
}

TEST(ShellTree, ADropOnANodeCopiesIntoItsFolder) {
    Tree t;
    TMvManualClock clock;
    TForm form(nullptr);
    form.SetBounds(0, 0, 300, 300);
    TMvShellTree tree(&form);
    tree.SetParent(&form);
    tree.SetBounds(0, 0, 300, 300);
    tree.BaseFolder().SetPath(t.data.string());
    form.Show();
    QApplication::processEvents();
    const TIdList abs = PidlOf(t.P("notes.txt"));
    const TMvIdListArray chain(abs);
    auto* data = new TShellDataObject(chain.Ancestor(1), {chain.Item(chain.Count() - 1)});
    data->AddRef();
    TTreeNode* gamma = ChildNamed(tree.Items().GetFirstNode(), "gamma");
    const TRect r = gamma->DisplayRect(true);
    const TPoint at = Point(r.Left + 3, (r.Top + r.Bottom) / 2);
    const uint32_t all = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    // Entering and moving over the node probes its folder and highlights it.
    EXPECT_EQ(tree.OleDragEnter(data, MK_LBUTTON | MK_CONTROL, at, all), DROPEFFECT_COPY);
    EXPECT_TRUE(gamma->DropTarget());
    EXPECT_EQ(tree.OleDragOver(MK_LBUTTON | MK_CONTROL, at, all), DROPEFFECT_COPY | DROPEFFECT_SCROLL);
    EXPECT_EQ(tree.OleDrop(MK_CONTROL, at, all), DROPEFFECT_COPY);
    data->Release();
    EXPECT_TRUE(fs::exists(t.data / "gamma/notes.txt"));
    EXPECT_TRUE(fs::exists(t.data / "notes.txt"));
    EXPECT_FALSE(gamma->DropTarget());
}

// ---- List ----

TEST(ShellList, FiltersAndFillsLargeFolders) {
    Tree t;
    TMvManualClock clock;
    TForm form(nullptr);
    TMvShellList list(&form);
    list.SetParent(&form);
    list.Folder().SetPath(t.data.string());
    EXPECT_EQ(ListNames(list), (std::set<std::string>{".hidden", "alpha", "beta", "gamma", "image.png", "notes.txt",
                                                        "readme.md"}));
    list.SetFileFilter("*.TXT; *.md");
    EXPECT_EQ(ListNames(list),
              (std::set<std::string>{".hidden", "alpha", "beta", "gamma", "notes.txt", "readme.md"}));
    for (const char* everything : {"*.*", "*"}) {
        list.SetFileFilter(everything);
        EXPECT_EQ(list.Items().Count(), 7) << everything;
    }
    list.SetFileFilter("");
    // More than 500 items fill completely.
    fs::path many = t.data / "many";
    fs::create_directories(many);
    for (int i = 0; i < 620; ++i) WriteFile(many / ("f" + std::to_string(i) + ".dat"), 1);
    list.Folder().SetPath(many.string());
    EXPECT_EQ(list.Items().Count(), 620);
}

TEST(ShellList, RefreshShowsAddedDeletedAndModifiedItems) {
    Tree t;
    TMvManualClock clock;
    TForm form(nullptr);
    TMvShellList list(&form);
    list.SetParent(&form);
    list.Folder().SetPath(t.data.string());
    const int readme = RowOf(list, "readme.md");
    ASSERT_GE(readme, 0);
    TMvShListData* kept = list.GetItemData(readme);
    EXPECT_EQ(list.CellText(RowOf(list, "notes.txt"), 1), "1KB");
    WriteFile(t.data / "added.txt", 1);
    fs::remove(t.data / "image.png");
    WriteFile(t.data / "notes.txt", 3000);
    list.Refresh();
    EXPECT_EQ(ListNames(list), (std::set<std::string>{".hidden", "added.txt", "alpha", "beta", "gamma", "notes.txt",
                                                        "readme.md"}));
    EXPECT_EQ(list.CellText(RowOf(list, "notes.txt"), 1), "3KB");
    // The untouched item is the same item.
    EXPECT_EQ(list.GetItemData(RowOf(list, "readme.md")), kept);
    // Sorted still: folders first, then files by name.
    std::vector<std::string> order;
    for (int i = 0; i < list.Items().Count(); ++i) order.push_back(list.CellText(i, 0));
    EXPECT_EQ(order, (std::vector<std::string>{".hidden", "alpha", "beta", "gamma", "added.txt", "notes.txt",
                                               "readme.md"}));
}

TEST(ShellList, ColumnsFollowTheFileManagerSettingAndKeepTheirWidths) {
    Tree t;
    TMvManualClock clock;
    auto writeCols = [](std::vector<int> widths) {
        platform::RegistryStore store;
        ASSERT_TRUE(store.OpenKey("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer", true));
        std::vector<uint8_t> bytes;
        for (int w : widths) {
            bytes.push_back(static_cast<uint8_t>(w & 0xFF));
            bytes.push_back(static_cast<uint8_t>(w >> 8));
        }
        store.WriteBinaryData("DirectoryCols", bytes);
    };
    auto widthsOf = [](TMvCustomShellList& list) {
        std::vector<int> w;
        for (int i = 0; i < list.Columns().Count(); ++i) w.push_back(list.Columns()[i]->Width());
        return w;
    };
    writeCols({150, 80, 90, 110, 50});
    TForm form(nullptr);
    {
        TMvShellList list(&form);
        list.SetParent(&form);
        list.Folder().SetPath(t.data.string());
        EXPECT_EQ(list.ColumnSetupKind(), 2);
        std::vector<std::string> titles;
        for (int i = 0; i < list.Columns().Count(); ++i) titles.push_back(list.Columns()[i]->Caption());
        // In the language of the namespace (English in these tests).
        EXPECT_EQ(titles, (std::vector<std::string>{"Name", "Size", "Type", "Modified"}));
        EXPECT_EQ(list.Columns()[1]->Alignment(), TAlignment::taRightJustify);
        EXPECT_EQ(widthsOf(list), (std::vector<int>{150, 80, 90, 110}));
        list.Columns()[0]->SetWidth(222);
    }
    {
        // The same setting: the widths the last list left.
        TMvShellList list(&form);
        list.SetParent(&form);
        list.Folder().SetPath(t.data.string());
        EXPECT_EQ(widthsOf(list), (std::vector<int>{222, 80, 90, 110}));
    }
    // A changed setting replaces the kept widths; a short one keeps the defaults for
    // the rest.
    writeCols({170, 70});
    TMvShellList list(&form);
    list.SetParent(&form);
    list.Folder().SetPath(t.data.string());
    EXPECT_EQ(widthsOf(list), (std::vector<int>{170, 70, 100, 120}));
}

TEST(ShellList, HeaderClicksSortByEachColumn) {
    Tree t;
    TMvManualClock clock;
    TForm form(nullptr);
    form.SetBounds(0, 0, 600, 300);
    TMvShellList list(&form);
    list.SetParent(&form);
    list.SetBounds(0, 0, 600, 300);
    list.Folder().SetPath(t.data.string());
    form.Show();
    QApplication::processEvents();
    auto files = [&] {
        std::vector<std::string> out;
        for (int i = 0; i < list.Items().Count(); ++i)
            if (list.CellText(i, 0).find('.') != std::string::npos && list.CellText(i, 0)[0] != '.')
                out.push_back(list.CellText(i, 0));
        return out;
    };
    EXPECT_EQ(list.SortColumnValue(), 1);
    EXPECT_EQ(list.SortColumn(), 0);
    list.ColumnClick(1);
    EXPECT_EQ(list.SortColumnValue(), 2);
    EXPECT_EQ(list.SortColumn(), 1);
    EXPECT_EQ(list.SortArrowDown(), 1);
    EXPECT_EQ(files(), (std::vector<std::string>{"notes.txt", "readme.md", "image.png"}));
    list.ColumnClick(1);
    EXPECT_EQ(list.SortColumnValue(), -2);
    EXPECT_EQ(list.SortArrowDown(), 0);
    EXPECT_EQ(files(), (std::vector<std::string>{"image.png", "readme.md", "notes.txt"}));
    // Descending puts the folders last.
    EXPECT_EQ(list.CellText(list.Items().Count() - 1, 0), ".hidden");
}

TEST(ShellList, BackspaceAndEnterTravelThroughTheLinkedTree) {
    Tree t;
    TMvManualClock clock;
    TForm form(nullptr);
    TMvShellTree tree(&form);
    TMvShellList list(&form);
    tree.SetParent(&form);
    list.SetParent(&form);
    tree.SetShellList(&list);
    tree.BaseFolder().SetPath(t.data.string());
    form.Show();
    tree.SetPath(t.P("alpha"));
    list.SetFocus();
    const int a2 = RowOf(list, "a2");
    list.SetItemState(a2, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    Key(list, Qt::Key_Return);
    EXPECT_EQ(tree.GetSelectedPath(), t.P("alpha/a2"));
    EXPECT_EQ(list.Folder().GetPath(), t.P("alpha/a2"));
    EXPECT_EQ(ListNames(list), (std::set<std::string>{"deep"}));
    Key(list, Qt::Key_Backspace);
    EXPECT_EQ(tree.GetSelectedPath(), t.P("alpha"));
    EXPECT_EQ(list.Folder().GetPath(), t.P("alpha"));
    // A file is offered to the owner before the shell opens it.
    tree.SetPath(t.data.string());
    int offered = 0;
    list.OnDblClickOpen = [&](TComponent*, bool& handled) {
        ++offered;
        handled = true;
    };
    const int notes = RowOf(list, "notes.txt");
    list.ClearSelection();
    list.SetItemState(notes, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    Key(list, Qt::Key_Return);
    EXPECT_EQ(offered, 1);
    EXPECT_EQ(list.Folder().GetPath(), t.data.string());
}

TEST(ShellList, NewFoldersAreNumberedAndEditedAndRenamed) {
    Tree t;
    TMvManualClock clock;
    TForm form(nullptr);
    TMvShellList list(&form);
    list.SetParent(&form);
    list.Folder().SetPath(t.P("beta"));
    form.Show();
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(list.CreateNewFolder(i == 9));
    EXPECT_TRUE(fs::is_directory(t.data / "beta/Nova pasta"));
    for (int n = 2; n <= 10; ++n) EXPECT_TRUE(fs::is_directory(t.data / ("beta/Nova pasta (" + std::to_string(n) + ")")));
    EXPECT_EQ(list.Items().Count(), 10);
    QApplication::processEvents(); // the posted edit of the last one
    ASSERT_TRUE(list.IsEditing());
    TypeIntoEditor(list.EditorWidget(), "renamed");
    EXPECT_TRUE(fs::is_directory(t.data / "beta/renamed"));
    EXPECT_GE(RowOf(list, "renamed"), 0);
    EXPECT_LT(RowOf(list, "Nova pasta (10)"), 0);
}

TEST(ShellList, ContextMenuRenameStartsAnEditByItsVerb) {
    Tree t;
    TMvManualClock clock;
    TForm form(nullptr);
    TMvShellList list(&form);
    list.SetParent(&form);
    list.Folder().SetPath(t.data.string());
    form.Show();
    const int row = RowOf(list, "notes.txt");
    list.SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    // The identifier the menu gives the rename command.
    TShellFolderRef folder;
    ASSERT_EQ(BindToFolder(PidlOf(t.data.string()), folder), S_OK);
    std::unique_ptr<TShellContextMenu> probe;
    std::vector<TShellMenuEntry> probeEntries;
    ASSERT_EQ(GetContextMenu(folder, {list.GetItemData(row)->RelIdList()}, CMF_EXPLORE | CMF_CANRENAME,
                             FirstShellCommand, probe, probeEntries),
              S_OK);
    const int renameId = FirstShellCommand + FindVerbCommand(*probe, "rename");
    ASSERT_GE(renameId, FirstShellCommand);
    std::vector<std::string> captions;
    const TMenuTracker old = SetMenuTracker(
        {{}, [&](const std::vector<TTrackMenuEntry>& entries, TPoint, const std::function<void(int)>&) {
             for (const TTrackMenuEntry& e : entries) captions.push_back(e.Caption);
             return renameId;
         }});
    uint16_t key = 0x79; // Shift+F10
    list.KeyDown(key, ssShift);
    SetMenuTracker(old);
    EXPECT_EQ(key, 0);
    EXPECT_FALSE(captions.empty());
    EXPECT_TRUE(list.IsEditing());
    list.EndEditing(false);
}

TEST(ShellList, ADropOnAFolderItemMovesTheFilesThere) {
    Tree t;
    TMvManualClock clock;
    TForm form(nullptr);
    form.SetBounds(0, 0, 500, 400);
    TMvShellList list(&form);
    list.SetParent(&form);
    list.SetBounds(0, 0, 500, 400);
    list.Folder().SetPath(t.data.string());
    form.Show();
    QApplication::processEvents();
    TIdList parent = PidlOf(t.data.string());
    TIdList item;
    {
        TIdList abs = PidlOf(t.P("readme.md"));
        TMvIdListArray a(abs);
        item = a.Item(a.Count() - 1);
    }
    auto* data = new TShellDataObject(parent, {item});
    data->AddRef();
    const TRect r = list.ItemRect(RowOf(list, "beta"));
    const TPoint at = Point(r.Left + 20, (r.Top + r.Bottom) / 2);
    const uint32_t all = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    EXPECT_NE(list.OleDragEnter(data, MK_LBUTTON | MK_SHIFT, at, all) & 7, 0u);
    EXPECT_TRUE(list.ItemState(RowOf(list, "beta"), LVIS_DROPHILITED));
    EXPECT_EQ(list.OleDrop(MK_SHIFT, at, all), DROPEFFECT_MOVE);
    data->Release();
    EXPECT_TRUE(fs::exists(t.data / "beta/readme.md"));
    EXPECT_FALSE(fs::exists(t.data / "readme.md"));
    EXPECT_FALSE(list.ItemState(RowOf(list, "beta"), LVIS_DROPHILITED));
}

TEST(ShellList, FilesDroppedByAnotherProgramArrive) {
    Tree t;
    TMvManualClock clock;
    const fs::path outside = t.desk.Root() / "outside.txt";
    WriteFile(outside, 42);
    TForm form(nullptr);
    form.SetBounds(0, 0, 500, 400);
    TMvShellList list(&form);
    list.SetParent(&form);
    list.SetBounds(0, 0, 500, 400);
    list.Folder().SetPath(t.P("beta"));
    form.Show();
    QApplication::processEvents();
    // Another program's drag: the files as a URI list, dropped on the empty rows.
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(outside.string()))});
    QWidget* rows = list.RowsWidget();
    const QPoint at(40, 200);
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::ControlModifier);
    QApplication::sendEvent(rows, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDragMoveEvent move(at, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::ControlModifier);
    QApplication::sendEvent(rows, &move);
    EXPECT_EQ(move.dropAction(), Qt::CopyAction);
    QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::ControlModifier);
    QApplication::sendEvent(rows, &drop);
    EXPECT_TRUE(fs::exists(t.data / "beta/outside.txt"));
    EXPECT_TRUE(fs::exists(outside));
    list.Refresh();
    EXPECT_EQ(ListNames(list), (std::set<std::string>{"outside.txt"}));
}

TEST(ShellList, ADragKeepsTheRefreshAskedForMeanwhile) {
    Tree t;
    TMvManualClock clock;
    TForm form(nullptr);
    TMvShellList list(&form);
    list.SetParent(&form);
    list.Folder().SetPath(t.data.string());
    const TDragHook old = SetDragHook([&](TControl&, const TMimeBlocks&, uint32_t) {
        WriteFile(t.data / "late.txt", 1);
        TMessage change{WMShellChangeNotify, 0, 0, 0};
        list.Dispatch(change);
        EXPECT_TRUE(list.RefreshPending());
        EXPECT_FALSE(list.RefreshTimer().Enabled());
        return DROPEFFECT_NONE;
    });
    form.Show();
    QApplication::processEvents();
    const TRect r = list.ItemRect(RowOf(list, "notes.txt"));
    DragFrom(list.RowsWidget(), QPoint(r.Left + 20, (r.Top + r.Bottom) / 2));
    SetDragHook(old);
    EXPECT_GE(RowOf(list, "late.txt"), 0);
    EXPECT_FALSE(list.RefreshPending());
}

// ---- Combo ----

TEST(ShellCombo, IndentsFollowTheChainAndGoUpMovesTheList) {
    Tree t;
    TMvManualClock clock;
    TForm form(nullptr);
    TMvShellList list(&form);
    TMvShellCombo combo(&form);
    list.SetParent(&form);
    combo.SetParent(&form);
    combo.SetShellList(&list);
    combo.CurrentFolder().SetPath(t.P("alpha/a2"));
    EXPECT_EQ(list.Folder().GetPath(), t.P("alpha/a2"));
    ASSERT_GT(combo.Count(), 5);
    EXPECT_EQ(combo.Item(0)->Indent(), 0);
    EXPECT_EQ(combo.Item(0)->Caption(), IdListDisplayName({0, 0}, desktop::shgdnNormal));
    // Desktop's children at 1, the volumes under Computer at 2, the chain below Home.
    TIdList computer;
    ASSERT_EQ(GetSpecialFolderPidl(desktop::csidlDrives, computer), S_OK);
    bool sawVolume = false;
    std::vector<std::pair<std::string, int>> chain;
    for (int i = 1; i < combo.Count(); ++i) {
        TMvImageComboItem* item = combo.Item(i);
        TMvShComboData* data = combo.ComboData(i);
        ASSERT_NE(data, nullptr);
        if (TMvIdListArray(data->AbsIdList()).Count() == 1) {
            EXPECT_EQ(item->Indent(), 1) << item->Caption();
        }
        if (TMvIdListArray(data->ParentIdList()).Count() == 1 &&
            ComparePidls(data->ParentIdList(), computer) == 0) {
            EXPECT_EQ(item->Indent(), 2);
            sawVolume = true;
        }
        if (PidlToPath(data->AbsIdList()).rfind(t.data.string(), 0) == 0)
            chain.emplace_back(item->Caption(), item->Indent());
    }
    EXPECT_TRUE(sawVolume);
    EXPECT_EQ(chain, (std::vector<std::pair<std::string, int>>{{"data", 2}, {"alpha", 3}, {"a2", 4}}));
    const int selected = combo.ItemIndex();
    EXPECT_EQ(combo.Item(selected)->Caption(), "a2");
    EXPECT_EQ(combo.Item(selected)->ImageIndex(),
              GetPidlIconIndex(PidlOf(t.P("alpha/a2")), desktop::shgfiSmallIcon | desktop::shgfiOpenIcon));
    combo.GoUp(1);
    EXPECT_EQ(combo.Item(combo.ItemIndex())->Caption(), "alpha");
    EXPECT_EQ(list.Folder().GetPath(), t.P("alpha"));
    // The list moves the combo in turn.
    list.Folder().SetPath(t.P("beta"));
    EXPECT_EQ(combo.Item(combo.ItemIndex())->Caption(), "beta");
    // The Desktop itself: the Desktop selected.
    combo.CurrentFolder().SetPidl({0, 0});
    EXPECT_EQ(combo.ItemIndex(), 0);
    // Linking a tree while a list is linked is refused.
    TMvShellTree tree(&form);
    combo.SetShellTree(&tree);
    EXPECT_EQ(combo.ShellTree(), nullptr);
    EXPECT_EQ(combo.ShellList(), &list);
}

TEST(ShellCombo, AHiddenFirstChainEntryIsStillSelected) {
    Tree t;
    TMvManualClock clock;
    fs::create_directories(t.desk.Home() / "Desktop/.secret");
    TForm form(nullptr);
    TMvShellCombo combo(&form);
    combo.SetParent(&form);
    TShellItem secret;
    secret.Kind = TShellItemKind::skFolder;
    secret.Name = ".secret";
    const TIdList pidl = desktop::IdListOfItems({secret});
    ASSERT_EQ(PidlToPath(pidl), (t.desk.Home() / "Desktop/.secret").string());
    combo.CurrentFolder().SetPidl(pidl);
    ASSERT_GT(combo.ItemIndex(), 0);
    EXPECT_EQ(combo.Item(combo.ItemIndex())->Caption(), ".secret");
    EXPECT_EQ(combo.Item(combo.ItemIndex())->Indent(), 1);
}

// ---- Bases: custom drawing, context menus, header arrows ----

TEST(TreeListBases, CustomDrawAnswersByStage) {
    EnsureApplication();
    TForm form(nullptr);
    TMvCustomTreeView tree(&form);
    TMvCustomListView list(&form);
    TCustomDrawInfo pre;
    pre.DrawStage = CDDS_PREPAINT;
    EXPECT_EQ(tree.CustomDraw(pre), CDRF_DODEFAULT);
    EXPECT_EQ(list.CustomDraw(pre), CDRF_NOTIFYITEMDRAW);
    // A colour change: the text colour, no new font; a size change: a new font.
    tree.OnCustomDrawItem = [](TComponent*, TMvCustomDraw* cd, TTreeNode*) { cd->Font().SetColor(clRed); };
    TTreeNode* node = tree.Items().AddChild(nullptr, "n");
    TCustomDrawInfo item;
    item.DrawStage = CDDS_ITEMPREPAINT;
    item.ItemSpec = reinterpret_cast<intptr_t>(node);
    item.CurrentFont.Assign(tree.Font());
    EXPECT_EQ(tree.CustomDraw(pre), CDRF_NOTIFYITEMDRAW);
    EXPECT_EQ(tree.CustomDraw(item) & ~CDRF_NOTIFYITEMDRAW, CDRF_DODEFAULT);
    EXPECT_EQ(item.TextColor, clRed);
    tree.OnCustomDrawItem = [](TComponent*, TMvCustomDraw* cd, TTreeNode*) {
        cd->Font().SetSize(14);
        cd->Brush().SetColor(clYellow);
    };
    EXPECT_EQ(tree.CustomDraw(item) & ~CDRF_NOTIFYITEMDRAW, CDRF_NEWFONT);
    EXPECT_EQ(item.CurrentFont.Size(), 14);
    EXPECT_EQ(item.TextBkColor, clYellow);
    tree.OnCustomDrawItem = [](TComponent*, TMvCustomDraw* cd, TTreeNode*) { cd->SkipDefault = true; };
    EXPECT_EQ(tree.CustomDraw(item) & ~CDRF_NOTIFYITEMDRAW, CDRF_SKIPDEFAULT);
    ASSERT_NE(tree.CurrentCustomDraw(), nullptr);
    EXPECT_EQ(tree.CurrentCustomDraw()->Stage(), 4);
}

TEST(TreeListBases, ContextMenusByMouseAndKeyboard) {
    EnsureApplication();
    TForm form(nullptr);
    form.SetBounds(0, 0, 300, 300);
    TMvCustomTreeView tree(&form);
    tree.SetParent(&form);
    tree.SetBounds(0, 0, 300, 300);
    TPopupMenu menu(&form);
    tree.SetPopupMenu(&menu);
    TTreeNode* node = tree.Items().AddChild(nullptr, "node");
    form.Show();
    QApplication::processEvents();
    std::vector<TPoint> shown;
    const TMenuTracker old = SetMenuTracker({[&](TPopupMenu* m, TPoint at) {
                                                 EXPECT_EQ(m, &menu);
                                                 EXPECT_EQ(m->PopupComponent(), &tree);
                                                 shown.push_back(at);
                                             },
                                             {}});
    int events = 0;
    tree.OnNodeContextMenu = [&](TComponent*, TTreeNode* n, TPoint&, TPopupMenu*&) {
        EXPECT_EQ(n, node);
        ++events;
    };
    // A right click on a node: one menu, not a second on button up.
    const TRect r = node->DisplayRect(true);
    Click(tree.RowsWidget(), QPoint(r.Left + 3, (r.Top + r.Bottom) / 2), Qt::RightButton);
    EXPECT_EQ(shown.size(), 1u);
    EXPECT_EQ(events, 1);
    // Shift+F10 without a selected node: the menu at the tree's top-left corner.
    tree.SetSelected(nullptr);
    uint16_t key = 0x79;
    tree.KeyDown(key, ssShift);
    EXPECT_EQ(key, 0);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1], ClientToScreen(tree, Point(0, 0)));
    SetMenuTracker(old);
}

TEST(TreeListBases, SortArrowBoxesAndNarrowColumns) {
    EnsureApplication();
    struct Case {
        TRect from;
        TRect box;
    };
    for (const Case& c : {Case{Rect(2, 2, 60, 15), Rect(2, 4, 10, 11)}, Case{Rect(4, 2, 60, 19), Rect(4, 5, 14, 14)},
                          Case{Rect(0, 2, 60, 22), Rect(0, 5, 12, 16)}}) {
        const TRect box = SortArrowBox(c.from);
        SCOPED_TRACE(c.from.Bottom);
        EXPECT_EQ(box, c.box);
    }
    auto shadowPixels = [](TMvLvHeaderSortDisplayMode mode, int width, bool sort) {
        TBitmap b;
        b.SetSize(width, 20);
        b.Canvas().SetBrushColor(clBtnFace);
        b.Canvas().FillRect(Rect(0, 0, width, 20));
        DrawSortHeaderItem(b.Canvas(), Rect(0, 0, width, 20), "", TAlignment::taLeftJustify, mode, sort, true, width);
        int n = 0;
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < width; ++x) n += b.Pixel(x, y) == GetSysColor(16);
        return n;
    };
    EXPECT_EQ(shadowPixels(TMvLvHeaderSortDisplayMode::ptlvLeftAlign, 10, true), 0);
    EXPECT_GT(shadowPixels(TMvLvHeaderSortDisplayMode::ptlvLeftAlign, 60, true), 0);
    EXPECT_EQ(shadowPixels(TMvLvHeaderSortDisplayMode::ptlvLeftAlign, 60, false), 0);
    EXPECT_GT(shadowPixels(TMvLvHeaderSortDisplayMode::ptlvRightAlign, 60, true), 0);
    EXPECT_EQ(shadowPixels(TMvLvHeaderSortDisplayMode::ptlvNone, 60, true), 0);
}

// ---- Screenshots ----

TEST(ShellBrowser, ScreenshotsOfTreeListAndCombo) {
    Tree t;
    TMvManualClock clock;
    const std::string folder = mvtest::ScreenshotFolder("shell-browser");
    struct Lang {
        const char* name;
        int base;
    };
    for (const Lang& lang : {Lang{"pt", 10000}, Lang{"en", 20000}, Lang{"es", 50000}}) {
        desktop::SetNamespaceLanguageBase(lang.base);
        TForm form(nullptr);
        form.SetBounds(0, 0, 720, 420);
        TMvShellCombo combo(&form);
        TMvShellTree tree(&form);
        TMvShellList list(&form);
        for (TControl* c : std::vector<TControl*>{&combo, &tree, &list}) c->SetParent(&form);
        combo.SetBounds(8, 8, 300, 22);
        tree.SetBounds(8, 38, 220, 370);
        list.SetBounds(236, 38, 476, 370);
        tree.SetShellList(&list);
        combo.SetShellTree(&tree);
        tree.SetPath(t.P("alpha"));
        tree.SetPath(t.data.string());
        list.SetSortColumnValue(2);
        form.Show();
        QApplication::processEvents();
        EXPECT_EQ(combo.Item(combo.ItemIndex())->Caption(), "data");
        const std::string base = folder + "/tree-list-combo-" + lang.name;
        combo.SetDroppedDown(true);
        QApplication::processEvents();
        EXPECT_TRUE(combo.SaveDroppedDownImage(base + "-combo-open.png"));
        // The form with the combo's list open over it, as the user sees it.
        QImage picture = form.Widget()->grab().toImage().convertToFormat(QImage::Format_ARGB32);
        const QImage open(QString::fromStdString(base + "-combo-open.png"));
        ASSERT_FALSE(open.isNull());
        EXPECT_GT(open.height(), combo.Height() * 3);
        {
            QPainter painter(&picture);
            painter.drawImage(combo.Left(), combo.Top(), open);
        }
        EXPECT_TRUE(picture.save(QString::fromStdString(base + ".png"), "PNG"));
        combo.SetDroppedDown(false);
        QApplication::processEvents();
        // The sort arrow is in the header of the size column.
        TBitmap shot;
        ASSERT_TRUE(GrabControlImage(list, shot));
        const TRect h = list.HeaderItemRect(1);
        const TPoint o = list.HeaderOrigin();
        int shadow = 0;
        for (int y = o.Y + h.Top; y < o.Y + h.Bottom; ++y)
            for (int x = o.X + h.Left; x < o.X + h.Right; ++x) shadow += shot.Pixel(x, y) == GetSysColor(16);
        EXPECT_GT(shadow, 3);
    }
    desktop::SetNamespaceLanguageBase(20000);
}

} // namespace
} // namespace mv
