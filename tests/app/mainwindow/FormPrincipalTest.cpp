// The main window as its users meet it, on the offscreen platform in a fresh desktop:
// archives opened through the File menu and the open dialog, the command line and the
// reopen menu; the list shown by the virtual list view and sorted by header clicks;
// the totals in the status bar; the boxes of bad input; the menu bar with shortcut
// texts, a default item, radio items and owner drawing; and what the window keeps
// after it closes. Screenshots in the three languages.
#include "app/mainwindow/FormPrincipal.h"

#include "app/common/LangStr.h"
#include "app/mainwindow/ArchiveRows.h"
#include "app/mainwindow/OpenArchiveDialog.h"
#include "app/settings/Options.h"
#include "archive/framework/ArcErrors.h"
#include "controls/listview/ExtListView.h"
#include "controls/toolkit/docking/ToolDock.h"
#include "controls/toolkit/menus/HistMenu.h"
#include "controls/toolkit/menus/MvMenus.h"
#include "platform/AppPaths.h"
#include "platform/IniFile.h"
#include "platform/RegistryStore.h"
#include "platform/ui/Labels.h"
#include "platform/ui/Menu.h"
#include "platform/ui/MenuBar.h"
#include "platform/ui/ModalDriver.h"
#include "platform/ui/Panels.h"
#include "tests/app/mainwindow/ListerRows.h"
#include "tests/app/mainwindow/PeerListings.h"
#include "tests/support/DesktopFixture.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPixmap>
#include <QWidget>
#include <gtest/gtest.h>
#include <iostream>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace mv {
namespace {

using mvtest::CorpusDir;
using mvtest::TempDir;
namespace fs = std::filesystem;

struct Lang {
    const char* name;
    int32_t base;
};
const Lang Langs[] = {{"pt", lbPortuguese}, {"en", lbEnglish}, {"es", lbSpanish}};

std::string Shot(const std::string& name) {
    return mvtest::ScreenshotFolder("mainwindow") + "/" + name + ".png";
}

void Pump() {
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

// A real click on a header item of the list.
void ClickHeader(TListView& list, int column) {
    QWidget* header = list.HeaderWidget();
    const TRect r = list.HeaderItemRect(column);
    const QPoint at((r.Left + r.Right) / 2, r.Height() / 2);
    for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, QPointF(at), QPointF(header->mapToGlobal(at)), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(header, &event);
    }
    Pump();
}

// The open dialog answers with this file (empty: the user cancels).
struct DialogAnswer {
    explicit DialogAnswer(std::string file) {
        SetOpenArchiveDialogRunner([this, file](TForm*, const TOpenArchiveRequest& request, std::string& chosen) {
            requests.push_back(request);
            chosen = file;
            return !file.empty();
        });
    }
    ~DialogAnswer() { SetOpenArchiveDialogRunner({}); }
    std::vector<TOpenArchiveRequest> requests;
};

// Opens a file as the user does: File, Open..., the dialog's answer.
void OpenThroughMenu(TFormPrincipal& form, const std::string& file) {
    DialogAnswer answer(file);
    form.AbrirArquivo1->Action()->trigger();
    Pump();
    ASSERT_EQ(answer.requests.size(), 1u);
    EXPECT_EQ(answer.requests[0].Title, LoadLangStr(72));
    EXPECT_EQ(answer.requests[0].Filter, LoadLangStr(26001));
}

// A small ZIP made by Info-ZIP: four files of different sizes, one in a folder, one
// with a ";" in its name.
std::string MakeZip(const TempDir& dir) {
    fs::create_directories(dir / "src/sub");
    mvtest::WriteFileBytes(dir / "src/big.bin", mvtest::RandomBytes(5000, 1));
    mvtest::WriteFileBytes(dir / "src/a.txt", mvtest::TextBytes(100, 2));
    mvtest::WriteFileBytes(dir / "src/sub/c.txt", mvtest::TextBytes(10, 3));
    mvtest::WriteFileBytes(dir / "src/semi;colon.txt", mvtest::TextBytes(1200, 4));
    const std::string zip = (dir / "listed.zip").string();
    const auto r = mvtest::Run("zip -q -X -D " + Quote(zip) + " big.bin a.txt sub/c.txt 'semi;colon.txt'", dir / "src");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    return zip;
}

std::vector<int64_t> ShownSizes(TFormPrincipal& form) {
    std::vector<int64_t> sizes;
    for (int i = 0; i < form.ArquivosLv->RowCount(); ++i)
        sizes.push_back(form.List().Rows()[static_cast<size_t>(form.List().RowIndexOf(i))].Size);
    return sizes;
}

struct Window {
    mvtest::DesktopFixture desktop;
    std::unique_ptr<TFormPrincipal> form;
    explicit Window(TMainWindowStart start = {}) {
        EnsureApplication();
        form = std::make_unique<TFormPrincipal>(nullptr, start);
        form->Show();
        Pump();
    }
};

TEST(FormPrincipal, EmptyListedAndSortedWindowInThreeLanguages) {
    MV_REQUIRE_TOOL("zip");
    const int32_t old = LanguageBase();
    for (const Lang& lang : Langs) {
        SCOPED_TRACE(lang.name);
        SetLanguageBase(lang.base);
        TempDir dir;
        const std::string zip = MakeZip(dir);
        Window w;
        TFormPrincipal& f = *w.form;
        // Empty: no phantom row, the start caption, the commands of no archive.
        EXPECT_EQ(f.ArquivosLv->RowCount(), 0);
        EXPECT_EQ(f.Caption(), "Morvelan 3.0.016 -- " + LoadLangStr(890));
        EXPECT_FALSE(f.mnuFecharArquivo1->Enabled());
        EXPECT_FALSE(f.Extrair1->Enabled());
        EXPECT_EQ(f.ArquivosLv->Columns()[3]->Caption(), LoadLangStr(33));
        EXPECT_EQ(f.tbAcao->Caption(), LoadLangStr(621));
        EXPECT_TRUE(SaveControlImage(f, Shot(std::string("empty-") + lang.name)));

        OpenThroughMenu(f, zip);
        EXPECT_EQ(f.Caption(), std::string(MainCaptionPrefix) + zip + " (*)");
        ASSERT_EQ(f.ArquivosLv->RowCount(), 4);
        EXPECT_TRUE(f.mnuFecharArquivo1->Enabled());
        EXPECT_TRUE(f.Extrair1->Enabled());
        EXPECT_TRUE(f.mnuAdicionar1->Enabled());
        EXPECT_EQ(f.StatusPanelText(1), LoadLangStr(47) + ": 4");
        EXPECT_EQ(f.StatusPanelText(2), LoadLangStr(33) + ": " + FormatThousands(5000 + 100 + 10 + 1200));
        EXPECT_FALSE(f.StatusSimpleMode());
        // The cells the list view draws come from the rows: the ";" stays in its name.
        std::set<std::string> names;
        for (int i = 0; i < 4; ++i) names.insert(f.ArquivosLv->CellText(i, 0));
        EXPECT_EQ(names, (std::set<std::string>{"big.bin", "a.txt", "c.txt", "semi;colon.txt"}));
        EXPECT_TRUE(SaveControlImage(f, Shot(std::string("listed-zip-") + lang.name)));

        // A header click sorts ascending, a second one descending.
        ClickHeader(*f.ArquivosLv, colTamanho);
        EXPECT_EQ(ShownSizes(f), (std::vector<int64_t>{10, 100, 1200, 5000}));
        ClickHeader(*f.ArquivosLv, colTamanho);
        EXPECT_EQ(ShownSizes(f), (std::vector<int64_t>{5000, 1200, 100, 10}));
        EXPECT_EQ(f.ArquivosLv->CellText(0, 0), "big.bin");
        EXPECT_EQ(f.ArquivosLv->CellText(0, colTamanho), FormatThousands(5000));
        EXPECT_TRUE(SaveControlImage(f, Shot(std::string("sorted-size-descending-") + lang.name)));

        // Every column both ways, by the header (a column sized to its empty texts
        // is widened first, so that there is a header to click).
        for (int column = 0; column < ArchiveColumnCount; ++column) {
            if (f.ArquivosLv->Columns()[column]->Width() < 20) f.ArquivosLv->Columns()[column]->SetWidth(60);
            for (int click = 0; click < 2; ++click) {
                ClickHeader(*f.ArquivosLv, column);
                const bool ascending = f.List().SortAscending();
                EXPECT_EQ(f.List().SortColumn(), column);
                for (int i = 1; i < 4; ++i) {
                    const TArchiveRow a = f.List().GetCachedRow(i - 1), b = f.List().GetCachedRow(i);
                    TSortKey ka{SortKeyOf(a, column), 0}, kb{SortKeyOf(b, column), 0};
                    EXPECT_FALSE(ascending ? SortKeyLess(kb, ka) : SortKeyLess(ka, kb)) << column;
                }
            }
        }

        // Close: the caption alone, no rows, the commands of no archive.
        f.mnuFecharArquivo1->Action()->trigger();
        Pump();
        EXPECT_EQ(f.Caption(), MainCaptionPrefix);
        EXPECT_EQ(f.ArquivosLv->RowCount(), 0);
        EXPECT_FALSE(f.mnuFecharArquivo1->Enabled());
    }
    SetLanguageBase(old);
}

TEST(FormPrincipal, TheOpenDialogChoosesTheArchiveInThreeLanguages) {
    MV_REQUIRE_TOOL("zip");
    const int32_t old = LanguageBase();
    const fs::path home = fs::current_path();
    for (const Lang& lang : Langs) {
        SCOPED_TRACE(lang.name);
        SetLanguageBase(lang.base);
        TempDir dir;
        const std::string zip = MakeZip(dir);
        Window w;
        TFormPrincipal& f = *w.form;
        f.Options().PastaIniciar = pfFixed;
        f.Options().PastaIniciarFixa = dir.Path().string();
        TModalDriver driver;
        // The user types the name and presses Enter in the real dialog.
        driver.Queue({TModalAction::maEnter, mrNone, std::string("listed.zip"), [&](TForm& form) {
                          EXPECT_TRUE(SaveControlImage(form, Shot(std::string("open-dialog-") + lang.name)));
                      }});
        f.AbrirArquivo1->Action()->trigger();
        Pump();
        ASSERT_EQ(driver.Shown().size(), 1u);
        EXPECT_EQ(driver.Shown()[0].Caption, LoadLangStr(72));
        EXPECT_EQ(f.Caption(), std::string(MainCaptionPrefix) + zip + " (*)");
        EXPECT_EQ(f.ArquivosLv->RowCount(), 4);
        EXPECT_EQ(f.Options().UltimaPastaIniciar, dir.Path().string());
        // Cancelled: nothing changes.
        driver.PressEscape();
        f.AbrirArquivo1->Action()->trigger();
        Pump();
        EXPECT_EQ(f.ArquivosLv->RowCount(), 4);
        fs::current_path(home); // the dialog leaves the process in the folder it showed
    }
    SetLanguageBase(old);
}

TEST(FormPrincipal, EveryReadableTypeListsAsItsPeerDoes) {
    MV_REQUIRE_TOOL("7z");
    MV_REQUIRE_TOOL("lsar");
    enum class Peer { SevenZip, Lsar, Manifest };
    const struct {
        const char* path;
        Peer peer;
    } cases[] = {
        {"zip/infozip_deflate_dirs.zip", Peer::SevenZip}, {"jar/jar_tool_manifest.jar", Peer::SevenZip},
        {"arj/arj020b.arj", Peer::SevenZip},              {"lha/lha213_subdir.lzh", Peer::SevenZip},
        {"cab/makecab_mszip.cab", Peer::SevenZip},        {"rar/rar3_subdirs.rar", Peer::SevenZip},
        {"tar/ustar_perl.tar", Peer::SevenZip},           {"gzip/license.gz", Peer::SevenZip},
        {"zoo/zoo_default_lzw.zoo", Peer::Lsar},          {"arc/arc601.arc", Peer::Lsar},
        {"arc/pak100.pak", Peer::Lsar},                   {"ace/method1.ace", Peer::Manifest},
        {"ha/ha_copy.ha", Peer::Manifest},
    };
    SetLanguageBase(lbPortuguese);
    Window w;
    TFormPrincipal& f = *w.form;
    TModalDriver driver; // any box would be recorded
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const std::string path = (CorpusDir() / c.path).string();
        OpenThroughMenu(f, path);
        EXPECT_TRUE(driver.Shown().empty());
        const PeerListing peer = c.peer == Peer::SevenZip ? SevenZipListing(path)
                                 : c.peer == Peer::Lsar   ? LsarListing(path)
                                                          : ManifestListing(c.path);
        ASSERT_FALSE(peer.empty());
        const bool zip = f.Opener().ArcType() == TArcType::atZip || f.Opener().ArcType() == TArcType::atJar;
        const auto dosDates = zip ? ZipDosDates(path) : std::map<std::string, std::string>{};
        // What the list view shows, by stored name: name, folder, size, CRC and date cells.
        std::map<std::string, int> shown;
        for (int i = 0; i < f.ArquivosLv->RowCount(); ++i)
            shown[f.ArquivosLv->CellText(i, colCaminho) + f.ArquivosLv->CellText(i, colNome)] = i;
        for (auto [name, p] : peer) {
            if (p.Folder) continue;
            SCOPED_TRACE(name);
            auto it = shown.find(name);
            ASSERT_NE(it, shown.end());
            const TArchiveRow row = f.List().GetCachedRow(it->second);
            EXPECT_EQ(f.ArquivosLv->CellText(it->second, colTamanho), FormatThousands(p.Size));
            EXPECT_EQ(row.Size, p.Size);
            if (!p.Crc.empty()) {
                EXPECT_EQ(f.ArquivosLv->CellText(it->second, colCrc), p.Crc);
            }
            if (zip) p.Date = dosDates.at(name);
            if (!p.Date.empty()) {
                EXPECT_EQ(SortKeyOf(row, colModificado), p.Date);
                EXPECT_EQ(f.ArquivosLv->CellText(it->second, colModificado), RowDateText(row.Modified));
            }
        }
        EXPECT_EQ(f.Caption(), std::string(MainCaptionPrefix) + path + " (*)");
        EXPECT_EQ(f.StatusPanelText(1), LoadLangStr(47) + ": " + std::to_string(f.ArquivosLv->RowCount()));
    }
}

TEST(FormPrincipal, AZipListsTheSameThroughTheVendorLibraryAndTheLister) {
    SetLanguageBase(lbPortuguese);
    Window w;
    const std::string path = (CorpusDir() / "zip/infozip_deflate_dirs.zip").string();
    OpenThroughMenu(*w.form, path);
    TArchiveList viaLister;
    ASSERT_TRUE(ListWithLister(path, viaLister));
    const TArchiveList& shown = w.form->List();
    ASSERT_GT(shown.RowCount(), 0);
    ASSERT_EQ(shown.RowCount(), viaLister.RowCount());
    for (int i = 0; i < shown.RowCount(); ++i)
        for (int column = 0; column < ArchiveColumnCount; ++column)
            if (column != colAtrib) {
                EXPECT_EQ(SortKeyOf(shown.Rows()[static_cast<size_t>(i)], column),
                          SortKeyOf(viaLister.Rows()[static_cast<size_t>(i)], column));
            }
}

TEST(FormPrincipal, TotalsOfAllRowsAndOfASelection) {
    MV_REQUIRE_TOOL("zip");
    SetLanguageBase(lbPortuguese);
    TempDir dir;
    const std::string zip = MakeZip(dir);
    Window w;
    TFormPrincipal& f = *w.form;
    OpenThroughMenu(f, zip);
    ClickHeader(*f.ArquivosLv, colTamanho); // 10, 100, 1200, 5000
    f.ArquivosLv->SetItemState(1, LVIS_SELECTED, LVIS_SELECTED);
    f.ArquivosLv->SetItemState(3, LVIS_SELECTED, LVIS_SELECTED);
    EXPECT_EQ(f.StatusPanelText(1), LoadLangStr(46) + "2");
    EXPECT_EQ(f.StatusPanelText(2), LoadLangStr(33) + ": " + FormatThousands(5100));
    EXPECT_EQ(f.StatusPanelText(0), ArchiveTypeNames()[static_cast<size_t>(TArcType::atZip)]);
    // A click on a row: that row alone.
    {
        QWidget* rows = f.ArquivosLv->RowsWidget();
        const TRect r = f.ArquivosLv->ItemRect(0);
        const QPoint at(40, (r.Top + r.Bottom) / 2);
        for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent event(type, QPointF(at), QPointF(rows->mapToGlobal(at)), Qt::LeftButton,
                              type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(rows, &event);
        }
        Pump();
        EXPECT_EQ(f.StatusPanelText(1), LoadLangStr(46) + "1");
        EXPECT_EQ(f.StatusPanelText(2), LoadLangStr(33) + ": " + FormatThousands(10));
    }
    // The panels in their order, also after the listing's simple text came and went.
    for (size_t i = 1; i < f.StatusFrames.size(); ++i) EXPECT_GT(f.StatusFrames[i]->Left(), f.StatusFrames[i - 1]->Left());
    // A click on the status bar: nothing selected, all rows counted.
    f.StatusPanels[2]->Click();
    EXPECT_EQ(f.ArquivosLv->SelCount(), 0);
    EXPECT_EQ(f.StatusPanelText(1), LoadLangStr(47) + ": 4");
    EXPECT_EQ(f.StatusPanelText(2), LoadLangStr(33) + ": " + FormatThousands(6310));
}

TEST(FormPrincipal, BadInputGivesItsBoxAndTheWindowStaysUsable) {
    MV_REQUIRE_TOOL("zip");
    SetLanguageBase(lbPortuguese);
    TempDir dir;
    const std::string good = MakeZip(dir);
    // A damaged ZIP: its central directory cut off.
    auto bytes = mvtest::ReadFileBytes(good);
    bytes.resize(bytes.size() - 30);
    mvtest::WriteFileBytes(dir / "damaged.zip", bytes);
    mvtest::WriteFileText(dir / "notes.zip", "these are plain notes, not an archive\n");
    mvtest::WriteFileText(dir / "notes.txt", "these are plain notes, not an archive\n");
    mvtest::WriteFileBytes(dir / "locked.arj", mvtest::ReadFileBytes(CorpusDir() / "arj/arj020b.arj"));
    ::chmod((dir / "locked.arj").c_str(), 0);
    const bool canLock = ::access((dir / "locked.arj").c_str(), R_OK) != 0;
    struct Case {
        std::string file;
        std::string text; // the box says this
    };
    std::vector<Case> cases = {
        {(dir / "damaged.zip").string(), ""},
        {(dir / "notes.zip").string(), LoadLangStr(44)},
        {(dir / "notes.txt").string(), LoadLangStr(44)},
    };
    if (canLock) cases.push_back({(dir / "locked.arj").string(), ArcErrorMessage(arcerr::OpenError)});
    else std::cout << "[ NOTE ] running with rights that read any file: the unreadable file is not tried\n";
    Window w;
    TFormPrincipal& f = *w.form;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        TModalDriver driver;
        driver.PressEnter();
        OpenThroughMenu(f, c.file);
        ASSERT_EQ(driver.Shown().size(), 1u);
        std::string texts;
        for (const std::string& t : driver.Shown()[0].Texts) texts += t + "\n";
        if (!c.text.empty()) {
            EXPECT_NE(texts.find(c.text), std::string::npos) << texts;
        }
        // Usable: the next archive lists.
        OpenThroughMenu(f, good);
        EXPECT_EQ(f.ArquivosLv->RowCount(), 4);
    }
    // A missing file: from the reopen menu (its entry stays) and from the command line.
    const std::string missing = (dir / "gone.zip").string();
    fs::copy_file(good, missing);
    OpenThroughMenu(f, missing);
    fs::remove(missing);
    {
        TModalDriver driver;
        driver.PressEnter();
        f.HistMenuClick(missing);
        ASSERT_EQ(driver.Shown().size(), 1u);
        EXPECT_NE(driver.Shown()[0].Texts.size(), 0u);
        std::string texts;
        for (const std::string& t : driver.Shown()[0].Texts) texts += t + "\n";
        EXPECT_NE(texts.find(ArcErrorMessage(arcerr::FileNotFound)), std::string::npos) << texts;
    }
    bool kept = false;
    for (int i = 0; i < f.HistMenu->EntryCount(); ++i) kept |= f.HistMenu->Entry(i)->Caption() == missing;
    EXPECT_TRUE(kept);
    ::chmod((dir / "locked.arj").c_str(), 0600);
}

TEST(FormPrincipal, CommandLineArchiveOpensOnceTheWindowShows) {
    SetLanguageBase(lbEnglish);
    const std::string path = (CorpusDir() / "arj/arj020b.arj").string();
    TMainWindowStart start;
    start.Decision = DecideStart({path}, "", [](const std::string&) { return true; });
    start.ArgumentCount = 1;
    Window w(start);
    Pump();
    EXPECT_EQ(w.form->Caption(), std::string(MainCaptionPrefix) + path + " (*)");
    EXPECT_GT(w.form->ArquivosLv->RowCount(), 0);
    // Shown again: the command line is not run twice.
    w.form->mnuFecharArquivo1Click();
    w.form->Hide();
    w.form->Show();
    Pump();
    EXPECT_EQ(w.form->ArquivosLv->RowCount(), 0);
}

TEST(FormPrincipal, AHiddenCommandLineRunLeavesTheSavedLayoutAlone) {
    SetLanguageBase(lbPortuguese);
    mvtest::DesktopFixture desktop;
    EnsureApplication();
    {
        platform::IniFile ini(platform::IniFilePath());
        ini.WriteString("Explorer", "Ativo", "SIM");
        ini.WriteInteger("Explorer", "AView", 240);
    }
    TMainWindowStart start;
    start.Decision = DecideStart({"E", "a.zip", "/tmp/out"}, "", [](const std::string&) { return true; });
    start.ArgumentCount = 3;
    ASSERT_TRUE(start.Decision.Hidden);
    int verbs = 0;
    {
        TFormPrincipal f(nullptr, start);
        f.RunVerb = [&](const TStartDecision& d) {
            ++verbs;
            EXPECT_EQ(d.Verb, "E");
            return QuitMarker;
        };
        f.ProcessCommandLine();
        f.ProcessCommandLine(); // once only
        EXPECT_EQ(f.ExitCode(), QuitMarker);
        EXPECT_FALSE(f.Visible());
        f.PanelExplorer->SetVisible(false);
        f.FormClose();
    }
    EXPECT_EQ(verbs, 1);
    const platform::IniFile ini(platform::IniFilePath());
    EXPECT_EQ(ini.ReadString("Explorer", "Ativo", ""), "SIM");
    EXPECT_EQ(ini.ReadInteger("Explorer", "AView", 0), 240);
    EXPECT_FALSE(ini.SectionExists("Configuracoes"));
}

TEST(FormPrincipal, MenuBarShortcutsDefaultRadioItemsAndOwnerDrawing) {
    for (const Lang& lang : Langs) {
        SCOPED_TRACE(lang.name);
        SetLanguageBase(lang.base);
        Window w;
        TFormPrincipal& f = *w.form;
        EXPECT_EQ(f.AbrirArquivo1->Action()->shortcut().toString().toStdString(),
                  lang.base == lbEnglish ? "Ctrl+O" : "Ctrl+B");
        EXPECT_EQ(f.Refresh1->Action()->shortcut().toString().toStdString(), "F5");
        EXPECT_TRUE(f.AbrirArquivo1->Action()->font().bold());
        EXPECT_FALSE(f.Novo1->Action()->font().bold());
        // The view styles: one radio item checked at a time.
        EXPECT_TRUE(f.EstiloItems[3]->Checked());
        f.EstiloItems[1]->Action()->trigger();
        EXPECT_TRUE(f.EstiloItems[1]->Checked());
        EXPECT_FALSE(f.EstiloItems[3]->Checked());
        EXPECT_FALSE(f.EstiloItems[3]->Action()->isChecked());
        ASSERT_NE(f.EstiloItems[1]->Action()->actionGroup(), nullptr);
        // The shortcut works while the window is active.
        {
            DialogAnswer answer("");
            f.AbrirArquivo1->Action()->activate(QAction::Trigger);
            EXPECT_EQ(answer.requests.size(), 1u);
        }
        // The menu draws its items itself: the bar and its pop-ups go through it.
        f.MenuPrincipal->SetStyle(TMvMenuStyle::msOwnerDraw);
        ASSERT_TRUE(f.MenuPrincipal->Hooked());
        f.MenuBar1->Rebuild();
        QMenu* menu = f.Arquivo1->SubMenu();
        ASSERT_NE(menu, nullptr);
        menu->popup(f.MenuBar1->Widget()->mapToGlobal(QPoint(0, f.MenuBar1->Height())));
        Pump();
        const QPixmap pixmap = menu->grab();
        EXPECT_TRUE(pixmap.save(QString::fromStdString(Shot(std::string("owner-drawn-menu-") + lang.name))));
        menu->hide();
        // The view styles: a bullet beside the checked radio item.
        QMenu* options = f.Opcoes1->SubMenu();
        ASSERT_NE(options, nullptr);
        options->popup(f.MenuBar1->Widget()->mapToGlobal(QPoint(100, f.MenuBar1->Height())));
        Pump();
        EXPECT_TRUE(options->grab().save(QString::fromStdString(Shot(std::string("owner-drawn-radio-menu-") + lang.name))));
        options->hide();
        EXPECT_GT(f.MenuBar1->OwnerMeasured(), 0);
        EXPECT_GT(f.MenuBar1->OwnerPainted(), 0);
        EXPECT_TRUE(SaveControlImage(*f.MenuBar1, Shot(std::string("menu-bar-") + lang.name)));
    }
}

TEST(FormPrincipal, GeometryToolbarsColumnsExplorerAndReopenListSurviveAClose) {
    SetLanguageBase(lbPortuguese);
    mvtest::DesktopFixture desktop;
    EnsureApplication();
    const std::string path = (CorpusDir() / "zip/infozip_deflate_dirs.zip").string();
    {
        TFormPrincipal f(nullptr);
        f.Show();
        Pump();
        OpenThroughMenu(f, path);
        f.SetBounds(40, 30, 700, 460);
        f.ArquivosLv->Columns()[0]->SetWidth(150);
        f.tbUtilitario->SetDockRow(1);
        f.Explorer1->Action()->trigger();
        f.EstiloClick(2);
        Pump();
        f.Sair1->Action()->trigger(); // closes: placement, tool windows, explorer pane
        Pump();
    } // destroyed: columns, reopen list, options
    const platform::IniFile ini(platform::IniFilePath());
    EXPECT_EQ(ini.ReadString("Explorer", "Ativo", ""), "SIM");
    EXPECT_EQ(ini.ReadInteger("Explorer", "Estilo", 0), 2);
    EXPECT_TRUE(ini.SectionExists("tbUtilitario"));
    EXPECT_TRUE(ini.SectionExists("ProgressWindow"));
    bool placement = false;
    for (const std::string& section : ini.ReadSections()) placement |= ini.ValueExists(section, "NormPos");
    EXPECT_TRUE(placement);
    {
        platform::RegistryStore store;
        ASSERT_TRUE(store.OpenKeyReadOnly(HistoryKey));
        EXPECT_EQ(store.ReadString("C0"), path);
        store.CloseKey();
        ASSERT_TRUE(store.OpenKeyReadOnly("\\Software\\Morvelan\\Colunas\\Columns"));
        EXPECT_EQ(store.ReadString("Sizes").rfind("150,", 0), 0u) << store.ReadString("Sizes");
    }
    TFormPrincipal f(nullptr);
    f.Show();
    Pump();
    EXPECT_EQ(f.Width(), 700);
    EXPECT_EQ(f.Height(), 460);
    EXPECT_EQ(f.ArquivosLv->Columns()[0]->Width(), 150);
    EXPECT_EQ(f.tbUtilitario->DockRow(), 1);
    EXPECT_TRUE(f.PanelExplorer->Visible());
    EXPECT_TRUE(f.EstiloItems[1]->Checked());
    ASSERT_EQ(f.HistMenu->EntryCount(), 1);
    EXPECT_EQ(f.HistMenu->Entry(0)->Caption(), path);
    // The entry reopens the archive.
    f.HistMenu->Entry(0)->Action()->trigger();
    Pump();
    EXPECT_EQ(f.Caption(), std::string(MainCaptionPrefix) + path + " (*)");
    EXPECT_GT(f.ArquivosLv->RowCount(), 0);
}

TEST(FormPrincipal, ADamagedReopenListStillStartsTheWindow) {
    SetLanguageBase(lbPortuguese);
    mvtest::DesktopFixture desktop;
    EnsureApplication();
    {
        platform::RegistryStore store;
        ASSERT_TRUE(store.OpenKey(HistoryKey, true));
        store.WriteString("C0", "/tmp/a.zip");
        store.WriteString("T0", "not a number");
        store.WriteString("C1", "/tmp/b.zip");
        store.WriteInteger("T1", 1);
    }
    TFormPrincipal f(nullptr);
    f.Show();
    Pump();
    EXPECT_TRUE(f.Visible());
    EXPECT_LE(f.HistMenu->EntryCount(), 2);
}

} // namespace
} // namespace mv
