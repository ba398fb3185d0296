// The explorer pane of the main window as its users meet it, on the offscreen platform
// in a fresh desktop: the pane toggle with its toolbar swap and its own buttons, an
// archive opened by selecting it in the file list, entries dragged from the archive
// list onto the pane (onto a file, empty space, a tree node; existing files asked
// about), files and folders dragged from the pane onto the archive list (the mask
// prompt only with folders), other programs' text/uri-list drops (files only: no
// prompt and no recursion; folders: one prompt), a drop with no archive open (a new
// ZIP, or an existing file opened and left alone), and a drag inside the archive
// list refused. Drops are real drop events sent to the real widgets, carrying the
// program's drag type or text/uri-list. Screenshots of the icon and details views.
#include "app/mainwindow/ExplorerPane.h"

#include "app/common/LangStr.h"
#include "app/dialogs/SmallPrompts.h"
#include "app/mainwindow/DropFiles.h"
#include "app/mainwindow/FormPrincipal.h"
#include "app/operations/ArchiveOperations.h"
#include "controls/listview/ExtListView.h"
#include "controls/shell/ShellList.h"
#include "controls/shell/ShellTree.h"
#include "controls/toolkit/docking/ToolDock.h"
#include "platform/IniFile.h"
#include "platform/AppPaths.h"
#include "platform/Sound.h"
#include "platform/ui/Buttons.h"
#include "platform/ui/Menu.h"
#include "platform/ui/ModalDriver.h"
#include "platform/ui/Panels.h"
#include "platform/ui/StdControls.h"
#include "platform/ui/Graphics.h"
#include "tests/app/UserInput.h"
#include "tests/support/DesktopFixture.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>
#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>

namespace mv {
namespace {

namespace fs = std::filesystem;
using mvtest::Quote;
using mvtest::TempDir;

void Pump() {
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

// A click, then the events it posted.
void UserClick(TControl* control) {
    mvtest::UserClick(control);
    Pump();
}

QWidget* Viewport(TControl& control) {
    if (auto* area = qobject_cast<QAbstractScrollArea*>(control.Widget())) return area->viewport();
    return control.Widget();
}

// A drag that enters the control and is dropped at a point of its rows' area, as Qt
// delivers it; true when the drop was taken.
bool Drop(TControl& control, QMimeData& data, QPoint at) {
    QWidget* receiver = Viewport(control);
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(receiver, &enter);
    QDragMoveEvent move(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(receiver, &move);
    const bool moveAccepted = move.isAccepted() && move.dropAction() != Qt::IgnoreAction;
    QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(receiver, &drop);
    Pump();
    return moveAccepted && drop.isAccepted() && drop.dropAction() != Qt::IgnoreAction;
}

// The program's own drag data, as a drag from that source carries it.
std::unique_ptr<QMimeData> Internal(const std::string& source, const std::vector<std::string>& items = {}) {
    auto data = std::make_unique<QMimeData>();
    for (const TMimeBlock& b : InternalDragBlocks(source, items))
        data->setData(QString::fromStdString(b.MimeType),
                      QByteArray(reinterpret_cast<const char*>(b.Data.data()), static_cast<int>(b.Data.size())));
    return data;
}

// Another program's drop: a text/uri-list of the names (local paths become file URLs).
std::unique_ptr<QMimeData> External(const std::vector<std::string>& names) {
    auto data = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const std::string& n : names) {
        const QString q = QString::fromStdString(n);
        urls.push_back(q.startsWith('/') ? QUrl::fromLocalFile(q) : QUrl(q));
    }
    data->setUrls(urls);
    return data;
}

QPoint Centre(const TRect& r) {
    return QPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
}

std::string Bytes(const fs::path& p) {
    const auto b = mvtest::ReadFileBytes(p);
    return std::string(b.begin(), b.end());
}

// The names a ZIP holds, by Info-ZIP's own listing.
std::set<std::string> ZipNames(const fs::path& zip) {
    const auto r = mvtest::Run("unzip -Z1 " + Quote(zip.string()));
    std::set<std::string> names;
    size_t pos = 0;
    while (pos < r.output.size()) {
        size_t end = r.output.find('\n', pos);
        if (end == std::string::npos) end = r.output.size();
        const std::string line = r.output.substr(pos, end - pos);
        if (!line.empty() && line.back() != '/') names.insert(line);
        pos = end + 1;
    }
    return names;
}

// The stored name of a file added with its folders (the path without its first "/").
std::string Stored(const fs::path& p) {
    return p.string().substr(1);
}

struct Window {
    mvtest::DesktopFixture desk;
    fs::path root; // the fixture folder, under the home folder
    std::unique_ptr<TFormPrincipal> form;

    Window() {
        EnsureApplication();
        SetSoundBackEnd(std::make_unique<TSilentSound>());
        root = desk.Home() / "work";
        fs::create_directories(root);
        root = fs::canonical(root);
        form = std::make_unique<TFormPrincipal>(nullptr);
        form->SetBounds(20, 20, 900, 720);
        form->Show();
        form->PanelExplorer->SetHeight(300);
        if (!form->Explorer().Shown()) form->Explorer1Click();
        Pump();
    }
    ~Window() {
        SetNewArchiveDialogRunner({});
        form->FormClose();
        form.reset();
    }
    TExplorerPane& Pane() { return form->Explorer(); }
    // The pane's tree (and so its list) on a folder.
    void ShowFolder(const fs::path& folder) {
        Pane().ArvoreTv->SetPath(folder.string());
        Pane().ArvoreTv->FlushPendingSync(true);
        Pump();
        ASSERT_EQ(Pane().ArquivosView->Folder().GetPath(), folder.string());
    }
    int Row(const std::string& name) {
        const int row = Pane().ArquivosView->IndexOfName(name);
        EXPECT_GE(row, 0) << name;
        return row;
    }
    // Selects these items of the file list (and nothing else).
    void SelectInList(const std::vector<std::string>& names) {
        TExplorerShellList& list = *Pane().ArquivosView;
        list.ClearSelection();
        for (const std::string& n : names) list.SetItemState(Row(n), LVIS_SELECTED, LVIS_SELECTED);
        Pump();
    }
    void SelectAllEntries() {
        form->ArquivosLv->SelectAll();
        Pump();
    }
    std::string OpenArchive() const { return form->Opener().ArchiveFile(); }
};

// A ZIP made by Info-ZIP with a file in a folder.
fs::path MakeZip(const fs::path& dir, const std::string& name = "entries.zip") {
    const fs::path src = dir / ("src-" + name);
    fs::create_directories(src / "sub");
    mvtest::WriteFileBytes(src / "a.txt", mvtest::TextBytes(700, 1));
    mvtest::WriteFileBytes(src / "big.bin", mvtest::RandomBytes(9000, 2));
    mvtest::WriteFileBytes(src / "sub/c.txt", mvtest::TextBytes(50, 3));
    const fs::path zip = dir / name;
    const auto r = mvtest::Run("zip -q -X -D -r " + Quote(zip.string()) + " a.txt big.bin sub", src);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    return zip;
}

TEST(ExplorerPane, MaskRules) {
    const std::pair<const char*, const char*> cases[] = {{"txt", "txt"},       {".txt", "*.txt"}, {"x", "*.*"},
                                                         {"", "*.*"},          {"  ", "*.*"},     {" *.c ", "*.c"},
                                                         {"a*.doc", "a*.doc"}, {".", "*.*"}};
    for (const auto& [typed, mask] : cases) EXPECT_EQ(DropMask(typed), mask) << "[" << typed << "]";
}

TEST(ExplorerPane, DragDataNamesItsSource) {
    EXPECT_EQ(InternalDragSource(InternalDragBlocks(SourceArchiveList, {"a.txt", "sub\\c.txt"})), "ARQUIVOSLV");
    EXPECT_EQ(InternalDragSource(InternalDragBlocks(SourceShellTree, {})), "ARVORETV");
    EXPECT_EQ(InternalDragSource({{"text/uri-list", {}}}), "");
    const std::string uris = "file:///tmp/a%20b.txt\r\nhttp://example.org/x\r\n# comment\r\nfile:///tmp/c\r\n";
    EXPECT_EQ(DroppedLocalFiles({{"text/uri-list", std::vector<uint8_t>(uris.begin(), uris.end())}}),
              (std::vector<std::string>{"/tmp/a b.txt", "/tmp/c"}));
}

TEST(ExplorerPane, ToggleSwapsToolbarsAndTheButtonsWorkInThreeLanguages) {
    MV_NEED_TOOL("zip");
    const std::pair<const char*, int32_t> langs[] = {{"pt", lbPortuguese}, {"en", lbEnglish}, {"es", lbSpanish}};
    for (const auto& [name, base] : langs) {
        SCOPED_TRACE(name);
        SetLanguageBase(base);
        Window w;
        ::setenv("XDG_DATA_DIRS", "/usr/share", 1); // the shared MIME database (restored by the fixture)
        TExplorerPane& p = w.Pane();
        const fs::path zip = MakeZip(w.root);
        fs::create_directories(w.root / "inner/deeper");
        mvtest::WriteFileText(w.root / "notes.txt", "text");
        const struct timespec stamp[2] = {{1773500825, 0}, {1773500825, 0}}; // 2026-03-14 15:07:05 UTC
        ::utimensat(AT_FDCWD, (w.root / "notes.txt").c_str(), stamp, 0);
        w.form->Opener().OpenArchive(zip.string());
        w.ShowFolder(w.root);
        // Shown: the explorer toolbars instead of the window's own.
        EXPECT_TRUE(w.form->PanelExplorer->Visible());
        EXPECT_TRUE(p.Splitter2->Visible());
        for (TDockToolbar* bar : {p.tbExplorerAcao, p.tbExplorerUtilitario, p.tbExplorerFuncoes})
            EXPECT_TRUE(bar->Visible()) << bar->Name();
        EXPECT_FALSE(w.form->tbAcao->Visible());
        EXPECT_FALSE(w.form->tbUtilitario->Visible());
        // Above the archive list.
        EXPECT_LT(w.form->PanelExplorer->Top(), w.form->ArquivosLv->Top());
        // The copies of the commands follow their buttons.
        for (const auto& [copy, source] : p.CommandButtons) EXPECT_EQ(copy->Enabled(), source->Enabled()) << copy->Name();
        // Every caption fits its button, and the three toolbars fit the window side by side.
        TCanvas canvas;
        for (const auto& [copy, source] : p.CommandButtons) {
            canvas.Font().Assign(copy->Font());
            EXPECT_GE(copy->Width(), canvas.TextWidth(copy->Caption()) + 8) << copy->Caption();
        }
        // So does every caption of the window's own toolbars.
        for (TSpeedButton* b : {w.form->NovoBtn, w.form->AbrirBtn, w.form->AdicionarBtn, w.form->ExtrairBtn,
                                w.form->ExplorerBtn, w.form->ExecutaveisBtn, w.form->AntiVirusBtn, w.form->EmailBtn}) {
            canvas.Font().Assign(b->Font());
            EXPECT_GE(b->Width(), canvas.TextWidth(b->Caption()) + 8) << b->Caption();
        }
        EXPECT_LE(p.tbExplorerAcao->Left() + p.tbExplorerAcao->Width(), p.tbExplorerUtilitario->Left());
        EXPECT_LE(p.tbExplorerUtilitario->Left() + p.tbExplorerUtilitario->Width(), p.tbExplorerFuncoes->Left());
        EXPECT_LE(p.tbExplorerFuncoes->Left() + p.tbExplorerFuncoes->Width(), w.form->ClientWidth());
        EXPECT_EQ(p.tbExplorerFuncoes->Top(), p.tbExplorerAcao->Top());
        // The view buttons: large icons, then details.
        UserClick(p.LargeIconsBtn);
        EXPECT_EQ(p.ArquivosView->ViewStyle(), TViewStyle::vsIcon);
        EXPECT_EQ(p.Estilo(), 1);
        w.SelectInList({"notes.txt"});
        EXPECT_TRUE(SaveControlImage(*w.form, mvtest::ScreenshotFolder("explorer") + "/explorer-icons-" + name + ".png"));
        UserClick(p.ListBtn);
        EXPECT_EQ(p.ArquivosView->ViewStyle(), TViewStyle::vsList);
        UserClick(p.DetailsBtn);
        EXPECT_EQ(p.ArquivosView->ViewStyle(), TViewStyle::vsReport);
        EXPECT_EQ(p.Estilo(), 4);
        // Details: the file's type, and its time as the archive list writes times.
        const int notes = w.Row("notes.txt");
        EXPECT_NE(p.ArquivosView->CellText(notes, 2), "");
        EXPECT_EQ(p.ArquivosView->CellText(notes, 3), base == lbEnglish ? "03/14/26 15:07" : "14/03/26 15:07");
        EXPECT_TRUE(SaveControlImage(*w.form, mvtest::ScreenshotFolder("explorer") + "/explorer-details-" + name + ".png"));
        // Tree button: the tree and its splitter go and come back.
        UserClick(p.ArvoreBtn);
        EXPECT_FALSE(p.ArvoreTv->Visible());
        EXPECT_EQ(p.Splitter1->Width(), 0);
        UserClick(p.ArvoreBtn);
        EXPECT_TRUE(p.ArvoreTv->Visible());
        EXPECT_EQ(p.Splitter1->Width(), 7);
        // Up one level, and a new folder in the list's folder.
        w.ShowFolder(w.root / "inner/deeper");
        UserClick(p.UpOneLevelBtn);
        Pump();
        EXPECT_EQ(p.ArvoreTv->GetSelectedPath(), (w.root / "inner").string());
        size_t before = 0;
        for ([[maybe_unused]] const auto& e : fs::directory_iterator(w.root / "inner")) ++before;
        UserClick(p.NovaPastaBtn);
        p.ArquivosView->EndEditing(true);
        Pump();
        size_t after = 0;
        for ([[maybe_unused]] const auto& e : fs::directory_iterator(w.root / "inner")) ++after;
        EXPECT_EQ(after, before + 1);
        // Hidden again: the window's toolbars come back.
        w.form->Explorer1->Action()->trigger();
        Pump();
        EXPECT_FALSE(w.form->PanelExplorer->Visible());
        EXPECT_FALSE(p.tbExplorerFuncoes->Visible());
        EXPECT_TRUE(w.form->tbAcao->Visible());
        EXPECT_TRUE(w.form->tbUtilitario->Visible());
    }
    SetLanguageBase(lbPortuguese);
}

TEST(ExplorerPane, SelectingAnArchiveInTheListOpensIt) {
    MV_NEED_TOOL("zip");
    Window w;
    const fs::path one = MakeZip(w.root, "one.zip");
    const fs::path two = MakeZip(w.root, "two.zip");
    mvtest::WriteFileText(w.root / "plain.txt", "no archive");
    mvtest::WriteFileText(w.root / "fake.zip", "no archive either");
    w.ShowFolder(w.root);
    struct Case {
        const char* select;
        std::string open; // expected afterwards
    };
    const Case cases[] = {{"one.zip", one.string()}, {"plain.txt", one.string()}, {"fake.zip", one.string()},
                          {"src-two.zip", one.string()}, {"two.zip", two.string()}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.select);
        w.SelectInList({c.select});
        EXPECT_EQ(w.OpenArchive(), c.open);
    }
    EXPECT_EQ(w.form->ArquivosLv->RowCount(), 3);
}

TEST(ExplorerPane, EntriesDraggedOntoThePaneAreExtractedWhereTheyLand) {
    MV_NEED_TOOL("zip");
    Window w;
    const fs::path zip = MakeZip(w.root);
    const fs::path src = w.root / "src-entries.zip";
    for (const char* d : {"target", "target/inside", "bytree"}) fs::create_directories(w.root / d);
    mvtest::WriteFileText(w.root / "target/marker.txt", "m");
    w.form->Opener().OpenArchive(zip.string());
    w.SelectAllEntries();
    TExplorerPane& p = w.Pane();

    // Onto a file of the list: into that file's folder, without the stored folders.
    w.ShowFolder(w.root / "target");
    auto data = Internal(SourceArchiveList, {"a.txt"});
    ASSERT_TRUE(Drop(*p.ArquivosView, *data, Centre(p.ArquivosView->ItemRect(w.Row("marker.txt")))));
    for (const char* f : {"a.txt", "big.bin"}) EXPECT_EQ(Bytes(w.root / "target" / f), Bytes(src / f)) << f;
    EXPECT_EQ(Bytes(w.root / "target/c.txt"), Bytes(src / "sub/c.txt"));
    EXPECT_FALSE(fs::exists(w.root / "target/sub"));
    // The list shows the new files at once.
    EXPECT_GE(p.ArquivosView->IndexOfName("big.bin"), 0);

    // Onto a folder of the list: into it.
    data = Internal(SourceArchiveList);
    ASSERT_TRUE(Drop(*p.ArquivosView, *data, Centre(p.ArquivosView->ItemRect(w.Row("inside")))));
    EXPECT_EQ(Bytes(w.root / "target/inside/big.bin"), Bytes(src / "big.bin"));

    // Onto empty space: into the list's folder, asking before replacing.
    mvtest::WriteFileText(w.root / "target/a.txt", "keep me");
    mvtest::WriteFileText(w.root / "target/big.bin", "replace me");
    mvtest::WriteFileText(w.root / "target/c.txt", "keep me too");
    {
        TModalDriver driver;
        const std::string archiveBefore = Bytes(zip);
        // a.txt is kept; while the question is up, the operation runs: a drop on the
        // archive list then adds nothing.
        driver.Click(mrNo, [&](TForm&) {
            auto other = External({(w.root / "target/marker.txt").string()});
            Drop(*w.form->ArquivosLv, *other, QPoint(30, 30));
            EXPECT_EQ(Bytes(zip), archiveBefore);
        });
        driver.Click(mrYes); // big.bin is replaced
        driver.Click(mrNo);  // c.txt (there since the first drop) is kept
        data = Internal(SourceArchiveList);
        const int h = Viewport(*p.ArquivosView)->height();
        ASSERT_TRUE(Drop(*p.ArquivosView, *data, QPoint(20, h - 4)));
        EXPECT_EQ(driver.Pending(), 0);
        EXPECT_EQ(driver.Shown().size(), 3u);
    }
    EXPECT_EQ(Bytes(w.root / "target/a.txt"), "keep me");
    EXPECT_EQ(Bytes(w.root / "target/c.txt"), "keep me too");
    EXPECT_EQ(Bytes(w.root / "target/big.bin"), Bytes(src / "big.bin"));

    // Onto a tree node: into the node's folder.
    w.ShowFolder(w.root / "bytree");
    TTreeNode* node = p.ArvoreTv->Selected();
    ASSERT_NE(node, nullptr);
    data = Internal(SourceArchiveList);
    ASSERT_TRUE(Drop(*p.ArvoreTv, *data, Centre(node->DisplayRect(true))));
    EXPECT_EQ(Bytes(w.root / "bytree/c.txt"), Bytes(src / "sub/c.txt"));

    // Only the archive list's drags are taken by the pane.
    data = Internal(SourceShellList, {(w.root / "target/marker.txt").string()});
    EXPECT_FALSE(Drop(*p.ArquivosView, *data, QPoint(20, 20)));
    data = External({(w.root / "target/marker.txt").string()});
    EXPECT_FALSE(Drop(*p.ArquivosView, *data, QPoint(20, 20)));
}

TEST(ExplorerPane, ItemsDraggedFromThePaneAreAddedToTheOpenArchive) {
    MV_NEED_TOOL("zip");
    MV_NEED_TOOL("unzip");
    Window w;
    const fs::path zip = MakeZip(w.root);
    const fs::path items = w.root / "items";
    fs::create_directories(items / "folder/deep");
    mvtest::WriteFileText(items / "one.txt", "one");
    mvtest::WriteFileText(items / "two.dat", "two");
    mvtest::WriteFileText(items / "folder/f.txt", "f");
    mvtest::WriteFileText(items / "folder/g.dat", "g");
    mvtest::WriteFileText(items / "folder/deep/d.txt", "d");
    w.form->Opener().OpenArchive(zip.string());
    w.ShowFolder(items);
    TExplorerPane& p = w.Pane();
    const std::set<std::string> first = ZipNames(zip);

    // Files only: no mask prompt.
    {
        TModalDriver driver;
        w.SelectInList({"one.txt", "two.dat"});
        auto data = Internal(SourceShellList);
        ASSERT_TRUE(Drop(*w.form->ArquivosLv, *data, QPoint(30, 30)));
        EXPECT_TRUE(driver.Shown().empty());
    }
    std::set<std::string> expected = first;
    expected.insert({Stored(items / "one.txt"), Stored(items / "two.dat")});
    EXPECT_EQ(ZipNames(zip), expected);
    EXPECT_EQ(w.form->ArquivosLv->RowCount(), static_cast<int>(expected.size()));
    EXPECT_EQ(w.OpenArchive(), zip.string());

    // A folder: the mask prompt, once; "txt" without a dot is taken as typed, so only
    // names ending in "txt" match; subfolders as the box says.
    struct Case {
        const char* typed;
        bool subFolders;
        std::vector<std::string> added;
    };
    const Case cases[] = {
        {".dat", false, {"folder/g.dat"}},
        {"x", true, {"folder/f.txt", "folder/deep/d.txt"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        TModalDriver driver;
        driver.Queue({TModalAction::maEnter, mrNone, std::string(c.typed), [&](TForm& form) {
                          dynamic_cast<TFrmMascara&>(form).SubPastasChk->SetChecked(c.subFolders);
                      }});
        w.SelectInList({"folder"});
        auto data = Internal(SourceShellList);
        ASSERT_TRUE(Drop(*w.form->ArquivosLv, *data, QPoint(30, 30)));
        ASSERT_EQ(driver.Shown().size(), 1u);
        for (const std::string& a : c.added) expected.insert(Stored(items / a));
        EXPECT_EQ(ZipNames(zip), expected);
    }
    // The mask prompt cancelled: nothing is added.
    {
        TModalDriver driver;
        driver.PressEscape();
        const auto before = Bytes(zip);
        auto data = Internal(SourceShellTree);
        ASSERT_TRUE(Drop(*w.form->ArquivosLv, *data, QPoint(30, 30)));
        EXPECT_EQ(driver.Shown().size(), 1u);
        EXPECT_EQ(Bytes(zip), before);
    }
    EXPECT_EQ(mvtest::Run("unzip -tq " + Quote(zip.string())).exitCode, 0);

    // A drag inside the archive list is refused and changes nothing.
    const auto before = Bytes(zip);
    w.SelectAllEntries();
    auto data = Internal(SourceArchiveList);
    EXPECT_FALSE(Drop(*w.form->ArquivosLv, *data, QPoint(30, 30)));
    EXPECT_EQ(Bytes(zip), before);
    (void)p;
}

TEST(ExplorerPane, OtherProgramsDropsAddFilesAndAskOnceForFolders) {
    MV_NEED_TOOL("zip");
    MV_NEED_TOOL("unzip");
    Window w;
    const fs::path zip = MakeZip(w.root);
    const fs::path items = w.root / "dropped";
    for (const char* d : {"f1/sub", "f2"}) fs::create_directories(items / d);
    mvtest::WriteFileText(items / "x.txt", "x");
    mvtest::WriteFileText(items / "y.bin", "y");
    mvtest::WriteFileText(items / "f1/a.txt", "a");
    mvtest::WriteFileText(items / "f1/sub/b.txt", "b");
    mvtest::WriteFileText(items / "f2/c.txt", "c");
    w.form->Opener().OpenArchive(zip.string());
    std::set<std::string> expected = ZipNames(zip);

    // Files only, with a web address among them: no question, only the local files.
    {
        TModalDriver driver;
        auto data = External({(items / "x.txt").string(), "https://example.org/page.html", (items / "y.bin").string()});
        ASSERT_TRUE(Drop(*w.form->ArquivosLv, *data, QPoint(30, 30)));
        EXPECT_TRUE(driver.Shown().empty());
    }
    expected.insert({Stored(items / "x.txt"), Stored(items / "y.bin")});
    EXPECT_EQ(ZipNames(zip), expected);

    // Two folders and a file: one question for both folders.
    {
        TModalDriver driver;
        driver.Queue({TModalAction::maEnter, mrNone, std::string("*.txt"), {}});
        auto data = External({(items / "f1").string(), (items / "f2").string(), (items / "x.txt").string()});
        ASSERT_TRUE(Drop(*w.form->ArquivosLv, *data, QPoint(30, 30)));
        EXPECT_EQ(driver.Shown().size(), 1u);
        EXPECT_EQ(driver.Pending(), 0);
    }
    expected.insert({Stored(items / "f1/a.txt"), Stored(items / "f1/sub/b.txt"), Stored(items / "f2/c.txt")});
    EXPECT_EQ(ZipNames(zip), expected);
    EXPECT_EQ(mvtest::Run("unzip -tq " + Quote(zip.string())).exitCode, 0);

    // A drop of only web addresses is refused.
    auto data = External({"https://example.org/a.zip"});
    EXPECT_FALSE(Drop(*w.form->ArquivosLv, *data, QPoint(30, 30)));
}

TEST(ExplorerPane, ADropWithNoArchiveOpenMakesANewZipOrOpensAnExistingFile) {
    MV_NEED_TOOL("zip");
    MV_NEED_TOOL("unzip");
    Window w;
    const fs::path items = w.root / "loose";
    fs::create_directories(items);
    mvtest::WriteFileBytes(items / "p.bin", mvtest::RandomBytes(3000, 7));
    mvtest::WriteFileText(items / "q.txt", "q");
    ASSERT_EQ(w.OpenArchive(), "");

    // Cancel of the save dialog: nothing happens.
    std::vector<std::string> titles;
    std::string answer;
    SetNewArchiveDialogRunner([&](const std::string& title, const std::string&, std::string& file) {
        titles.push_back(title);
        file = answer;
        return !answer.empty();
    });
    auto data = External({(items / "p.bin").string()});
    ASSERT_TRUE(Drop(*w.form->ArquivosLv, *data, QPoint(30, 30)));
    EXPECT_EQ(w.OpenArchive(), "");

    // A new name: its extension becomes ".zip" and the archive is made and listed.
    answer = (w.root / "made.arj").string();
    data = External({(items / "p.bin").string(), (items / "q.txt").string()});
    ASSERT_TRUE(Drop(*w.form->ArquivosLv, *data, QPoint(30, 30)));
    const fs::path made = w.root / "made.zip";
    ASSERT_TRUE(fs::exists(made));
    EXPECT_FALSE(fs::exists(w.root / "made.arj"));
    EXPECT_EQ(w.OpenArchive(), made.string());
    EXPECT_EQ(ZipNames(made), (std::set<std::string>{Stored(items / "p.bin"), Stored(items / "q.txt")}));
    EXPECT_EQ(mvtest::Run("unzip -tq " + Quote(made.string())).exitCode, 0);
    EXPECT_EQ(w.form->ArquivosLv->RowCount(), 2);
    ASSERT_EQ(titles.size(), 2u);
    EXPECT_EQ(titles[0], LoadLangStr(63));

    // An existing file named: the question; Yes opens it and adds nothing.
    w.form->mnuFecharArquivo1Click();
    const fs::path existing = MakeZip(w.root, "existing.zip");
    const auto before = Bytes(existing);
    answer = existing.string();
    {
        TModalDriver driver;
        driver.Click(mrYes);
        data = External({(items / "q.txt").string()});
        ASSERT_TRUE(Drop(*w.form->ArquivosLv, *data, QPoint(30, 30)));
        ASSERT_EQ(driver.Shown().size(), 1u);
        EXPECT_NE(std::find(driver.Shown()[0].Texts.begin(), driver.Shown()[0].Texts.end(), LoadLangStr(64)),
                  driver.Shown()[0].Texts.end());
    }
    EXPECT_EQ(w.OpenArchive(), existing.string());
    EXPECT_EQ(Bytes(existing), before);
    EXPECT_EQ(w.form->ArquivosLv->RowCount(), 3);
}

TEST(ExplorerPane, TheSectionExplorerKeepsThePane) {
    {
        Window w;
        TExplorerPane& p = w.Pane();
        UserClick(p.SmallIconsBtn);
        UserClick(p.ArvoreBtn);
        w.form->FormClose();
        const platform::IniFile ini(platform::IniFilePath());
        EXPECT_EQ(ini.ReadString("Explorer", "Estilo", ""), "2");
        EXPECT_EQ(ini.ReadString("Explorer", "Arvore", ""), "NAO");
        EXPECT_EQ(ini.ReadString("Explorer", "Ativo", ""), "SIM");
    }
}

} // namespace
} // namespace mv
