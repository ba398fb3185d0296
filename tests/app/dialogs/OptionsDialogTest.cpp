// The options dialog driven through its widgets and the modal driver: what it shows,
// what applying copies back (every control to its option, the temporary folder
// normalised), what Cancel and Reset-then-Cancel leave alone, the context menu
// registered or removed at once and only on a change, the folder and program
// buttons through their dialogs; then, through the main window's Options menu,
// morvelan.ini byte-identical after Cancel and holding the new values after apply.
// Screenshots of the three pages in the three languages.
#include "app/dialogs/OptionsDialog.h"

#include "app/common/LangStr.h"
#include "app/common/Sounds.h"
#include "app/mainwindow/FormPrincipal.h"
#include "app/mainwindow/OpenArchiveDialog.h"
#include "app/shell/Install.h"
#include "controls/listview/ExtListView.h"
#include "controls/shell/dialogs/MvFolderBrowseDlg.h"
#include "controls/toolkit/colour/ExtPageControl.h"
#include "platform/AppPaths.h"
#include "platform/FileOps.h"
#include "platform/IniFile.h"
#include "platform/Sound.h"
#include "platform/desktop/ShellNamespace.h"
#include "platform/ui/Menu.h"
#include "platform/ui/ModalDriver.h"
#include "platform/ui/StdControls.h"
#include "shellext/ContextMenuRegistration.h"
#include "tests/app/UserInput.h"
#include "tests/support/DesktopFixture.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QTimer>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace mv {

// Field by field, so that a failure names the option.
void PrintTo(const TOptions& o, std::ostream* os) {
    *os << "{" << o.GridLines << o.Associacao << o.Sons << o.MenudeContexto << " " << o.LarguraColuna << " "
        << o.PastaIniciar << "[" << o.PastaIniciarFixa << "] " << o.PastaExtrair << "[" << o.PastaExtrairFixa << "] "
        << o.PastaAdicionar << "[" << o.PastaAdicionarFixa << "] V[" << o.Visualizador << "] A[" << o.Virus << "|"
        << o.VirusParametros << "] E[" << o.Email << "] T[" << o.PastaTemporaria << "]}";
}

namespace {

namespace fs = std::filesystem;
using mvtest::TempDir;

using mvtest::UserClick;

// Types into an edit field as the user does (the field's text replaced).
void UserType(TEdit* edit, const std::string& text) {
    auto* line = qobject_cast<QLineEdit*>(edit->Widget());
    ASSERT_NE(line, nullptr);
    line->selectAll();
    line->insert(QString::fromStdString(text));
}

void Pump() {
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

// Options that differ from the first-run values in every field.
TOptions Unusual() {
    TOptions o;
    o.GridLines = false;
    o.Associacao = false;
    o.Sons = false;
    o.MenudeContexto = false;
    o.LarguraColuna = 1;
    o.PastaIniciar = 1;
    o.PastaIniciarFixa = "/srv/start";
    o.UltimaPastaIniciar = "/srv/last-start";
    o.PastaExtrair = 3;
    o.PastaExtrairFixa = "/srv/extract";
    o.UltimaPastaExtrair = "/srv/last-extract";
    o.PastaAdicionar = 1;
    o.PastaAdicionarFixa = "/srv/add";
    o.UltimaPastaAdicionar = "/srv/last-add";
    o.Visualizador = "/usr/bin/viewer";
    o.Virus = "/usr/bin/scanner";
    o.VirusParametros = "--all";
    o.Email = "/usr/bin/mailer";
    o.PastaTemporaria = "/srv/tmp/";
    return o;
}

std::map<std::string, int64_t> Times(const fs::path& root) {
    std::map<std::string, int64_t> times;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        struct stat st{};
        if (e.is_regular_file() && ::stat(e.path().c_str(), &st) == 0)
            times[e.path().string()] = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    }
    return times;
}

std::vector<std::string> ActionFiles() {
    std::vector<std::string> paths;
    for (const auto& f :
         shellext::FileManagerActionFiles(shellext::DefaultActionFolders(), platform::HelperPath("mvshell-host")))
        paths.push_back(f.Path);
    return paths;
}

class OptionsDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        SetLanguageBase(lbPortuguese);
        SetSoundBackEnd(std::make_unique<TSilentSound>());
    }
    void TearDown() override {
        SetLanguageBase(lbPortuguese);
        SetOpenArchiveDialogRunner({});
        SetSoundsOption(true); // applied options switch the process's sounds

        QEventLoop loop;
        QTimer::singleShot(0, &loop, &QEventLoop::quit);
        loop.exec();
    }
    // Shows the dialog on the options; act is the user's doing while it is up, then the
    // button with that modal result is clicked (99: none, act closes it itself).
    bool Run(TOptions& options, int result, std::function<void(TFormConfig&)> act, int page = 0) {
        TModalDriver driver;
        driver.Queue({TModalAction::maClickResult, result, std::nullopt,
                      [&](TForm& f) { act(dynamic_cast<TFormConfig&>(f)); }});
        for (auto& answer : nested) driver.Queue(answer);
        nested.clear();
        const bool ok = ShowOptionsDialog(options, page, [this](bool on) { gridLines.push_back(on); });
        shown = driver.Shown();
        return ok;
    }
    mvtest::DesktopFixture desk;
    std::vector<TModalAnswer> nested;
    std::vector<TShownForm> shown;
    std::vector<bool> gridLines;
};

TEST_F(OptionsDialogTest, ShowsTheOptionsAndApplyCopiesEveryControlBack) {
    TOptions options = Unusual();
    options.MenudeContexto = true;
    const bool ok = Run(options, mrOk, [](TFormConfig& f) {
        // what the controls show
        EXPECT_FALSE(f.ChkGridLines->Checked());
        EXPECT_FALSE(f.ChkAssociacao->Checked());
        EXPECT_FALSE(f.ChkSons->Checked());
        EXPECT_TRUE(f.MenuContextoChk->Checked());
        EXPECT_EQ(f.RbLarguraColuna->ItemIndex(), 1);
        EXPECT_TRUE(f.RbIniciar1->Checked());
        EXPECT_TRUE(f.RbExtrair3->Checked());
        EXPECT_TRUE(f.RbAdicionar1->Checked());
        EXPECT_FALSE(f.RbIniciar2->Checked() || f.RbIniciar3->Checked() || f.RbExtrair1->Checked() ||
                     f.RbAdicionar3->Checked());
        EXPECT_EQ(f.IniciarPastaFixaEdit->Text(), "/srv/start");
        EXPECT_EQ(f.ExtrairPastaFixaEdit->Text(), "/srv/extract");
        EXPECT_EQ(f.AdicionarPastaFixaEdit->Text(), "/srv/add");
        EXPECT_EQ(f.PastaTemporariaEdit->Text(), "/srv/tmp/");
        EXPECT_EQ(f.VisualizadorEdit->Text(), "/usr/bin/viewer");
        EXPECT_EQ(f.VirusEdit->Text(), "/usr/bin/scanner");
        EXPECT_EQ(f.VirusParametrosEdit->Text(), "--all");
        EXPECT_EQ(f.EmailPrgEdit->Text(), "/usr/bin/mailer");
        EXPECT_EQ(f.PageControl1->ActivePageIndex(), OptionsPagePrincipal);
        // the user changes every one of them
        f.RegisterContextMenu = [](bool) {};
        for (TControl* c : std::initializer_list<TControl*>{f.ChkGridLines, f.ChkAssociacao, f.ChkSons,
                                                             f.MenuContextoChk, f.RbIniciar2, f.RbExtrair1})
            UserClick(c);
        f.RbLarguraColuna->SetItemIndex(0);
        UserClick(f.RbAdicionar3);
        UserType(f.IniciarPastaFixaEdit, "  /new/start  ");
        UserType(f.ExtrairPastaFixaEdit, "/new/extract");
        UserType(f.AdicionarPastaFixaEdit, "/new/add");
        UserType(f.PastaTemporariaEdit, " /new/tmp ");
        UserType(f.VisualizadorEdit, "/bin/less");
        UserType(f.VirusEdit, "/bin/clamscan");
        UserType(f.VirusParametrosEdit, "-r ");
        UserType(f.EmailPrgEdit, " /bin/mail");
    });
    EXPECT_TRUE(ok);
    TOptions expected = Unusual();
    expected.GridLines = expected.Associacao = expected.Sons = true;
    expected.MenudeContexto = false;
    expected.LarguraColuna = 0;
    expected.PastaIniciar = 2;
    expected.PastaIniciarFixa = "  /new/start  "; // texts as typed: the ini writer trims them
    expected.PastaExtrair = 1;
    expected.PastaExtrairFixa = "/new/extract";
    expected.PastaAdicionar = 3;
    expected.PastaAdicionarFixa = "/new/add";
    expected.PastaTemporaria = "/new/tmp/";
    expected.Visualizador = "/bin/less";
    expected.Virus = "/bin/clamscan";
    expected.VirusParametros = "-r ";
    expected.Email = " /bin/mail";
    EXPECT_EQ(options, expected);
    EXPECT_EQ(gridLines, std::vector<bool>{true});
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].Caption, "Configurações");
    EXPECT_EQ(shown[0].ModalResult, mrOk);
}

TEST_F(OptionsDialogTest, TheTemporaryFolderIsNormalisedOnApply) {
    const std::pair<std::string, std::string> cases[] = {
        {"", SystemTempFolder()}, {"   ", SystemTempFolder()}, {"/x", "/x/"}, {" /y/ ", "/y/"}, {"/z/w", "/z/w/"}};
    for (const auto& [typed, expected] : cases) {
        SCOPED_TRACE("[" + typed + "]");
        TOptions options = Unusual();
        Run(options, mrOk, [&](TFormConfig& f) { UserType(f.PastaTemporariaEdit, typed); });
        EXPECT_EQ(options.PastaTemporaria, expected);
    }
}

TEST_F(OptionsDialogTest, CancelAndResetThenCancelChangeNothing) {
    struct Case {
        const char* what;
        bool reset;
        int result;
    };
    for (const Case& c : {Case{"cancel button", false, mrCancel}, Case{"reset then cancel", true, mrCancel},
                          Case{"reset then Esc", true, 98}}) {
        SCOPED_TRACE(c.what);
        TOptions options = Unusual();
        bool registered = false;
        Run(options, c.result == 98 ? 99 : c.result, [&](TFormConfig& f) {
            f.RegisterContextMenu = [&](bool) { registered = true; };
            UserClick(f.ChkGridLines);
            UserType(f.VirusEdit, "/changed");
            if (c.reset) {
                UserClick(f.ResetaBtn);
                // the controls show the first-run values at once
                EXPECT_TRUE(f.ChkGridLines->Checked());
                EXPECT_TRUE(f.MenuContextoChk->Checked());
                EXPECT_TRUE(f.RbIniciar2->Checked());
                EXPECT_EQ(f.VisualizadorEdit->Text(), "");
                EXPECT_EQ(f.PastaTemporariaEdit->Text(), SystemTempFolder());
            }
            if (c.result == 98) PerformModalAction(f, TModalAction::maEscape);
        });
        EXPECT_EQ(options, Unusual());
        EXPECT_TRUE(gridLines.empty());
        EXPECT_FALSE(registered);
    }
}

TEST_F(OptionsDialogTest, ResetThenApplyTakesTheFirstRunValuesAndKeepsTheFixedTexts) {
    TOptions options = Unusual();
    Run(options, mrOk, [](TFormConfig& f) {
        f.RegisterContextMenu = [](bool) {};
        UserClick(f.ResetaBtn);
    });
    TOptions expected = Unusual();
    ResetOptions(expected);
    EXPECT_EQ(options, expected);
    EXPECT_EQ(options.PastaExtrairFixa, "/srv/extract");
    EXPECT_EQ(options.Virus, "/usr/bin/scanner");
}

TEST_F(OptionsDialogTest, TheContextMenuIsRegisteredOrRemovedAtOnceAndOnlyOnAChange) {
    RegisterContextMenu(true);
    ASSERT_FALSE(ActionFiles().empty());
    TOptions options = Unusual();
    options.MenudeContexto = true;
    // Applying without touching the box leaves every file of the desktop as it was.
    const auto before = Times(desk.Root());
    Run(options, mrOk, [](TFormConfig&) {});
    auto after = Times(desk.Root());
    EXPECT_EQ(after, before);
    // Unchecked and applied: the action files go at once.
    Run(options, mrOk, [](TFormConfig& f) { UserClick(f.MenuContextoChk); });
    EXPECT_FALSE(options.MenudeContexto);
    for (const std::string& file : ActionFiles()) EXPECT_FALSE(fs::exists(file)) << file;
    // Checked again: they come back.
    Run(options, mrOk, [](TFormConfig& f) { UserClick(f.MenuContextoChk); });
    EXPECT_TRUE(options.MenudeContexto);
    for (const std::string& file : ActionFiles()) EXPECT_TRUE(fs::exists(file)) << file;
    // Cancel after unchecking: nothing removed.
    Run(options, mrCancel, [](TFormConfig& f) { UserClick(f.MenuContextoChk); });
    for (const std::string& file : ActionFiles()) EXPECT_TRUE(fs::exists(file)) << file;
    RegisterContextMenu(false);
}

TEST_F(OptionsDialogTest, FolderButtonsUseTheFolderDialogAndCheckTheFixedRadio) {
    const fs::path folder = desk.Home() / "chosen";
    fs::create_directories(folder / "deeper");
    const std::string path = fs::canonical(folder / "deeper").string();
    desktop::SetNamespaceLanguageBase(lbPortuguese);
    TOptions options = Unusual();
    options.PastaIniciar = 2;
    struct Button {
        const char* name;
        std::function<TButton*(TFormConfig&)> button;
        std::function<TEdit*(TFormConfig&)> edit;
        std::function<TRadioButton*(TFormConfig&)> fixed;
    };
    const Button buttons[] = {
        {"DialogBtn", [](TFormConfig& f) { return f.DialogBtn; }, [](TFormConfig& f) { return f.IniciarPastaFixaEdit; },
         [](TFormConfig& f) { return f.RbIniciar3; }},
        {"DialogExtrairBtn", [](TFormConfig& f) { return f.DialogExtrairBtn; },
         [](TFormConfig& f) { return f.ExtrairPastaFixaEdit; }, [](TFormConfig& f) { return f.RbExtrair3; }},
        {"AdicionarDialogBtn", [](TFormConfig& f) { return f.AdicionarDialogBtn; },
         [](TFormConfig& f) { return f.AdicionarPastaFixaEdit; }, [](TFormConfig& f) { return f.RbAdicionar3; }},
        {"BitBtn3", [](TFormConfig& f) { return f.BitBtn3; }, [](TFormConfig& f) { return f.PastaTemporariaEdit; },
         nullptr},
    };
    for (const Button& b : buttons) {
        SCOPED_TRACE(b.name);
        for (bool ok : {false, true}) {
            // The folder dialog: the user picks the folder, then OK or Esc.
            TModalAnswer pick{ok ? TModalAction::maEnter : TModalAction::maEscape, mrNone, std::nullopt,
                              [&](TForm& form) {
                                  auto& frm = dynamic_cast<TMvFrmFolderBrowseDlg&>(form);
                                  TIdList pidl;
                                  ASSERT_TRUE(Succeeded(PathToPidl(path, pidl)));
                                  frm.SelectionChanged(pidl, path, false);
                              }};
            nested.push_back(pick);
            std::string text;
            bool fixedChecked = false;
            Run(options, mrCancel, [&](TFormConfig& f) {
                UserClick(b.button(f));
                text = b.edit(f)->Text();
                if (b.fixed) fixedChecked = b.fixed(f)->Checked();
            });
            ASSERT_EQ(shown.size(), 2u);
            if (ok) {
                EXPECT_EQ(text, path);
            } else {
                EXPECT_NE(text, path);
            }
            if (b.fixed) {
                EXPECT_TRUE(fixedChecked);
            }
        }
    }
    desktop::SetNamespaceLanguageBase(lbEnglish);
}

TEST_F(OptionsDialogTest, ProgramButtonsUseTheOpenDialog) {
    std::vector<TOpenArchiveRequest> requests;
    std::string answer = "/opt/tools/program";
    SetOpenArchiveDialogRunner([&](TForm*, const TOpenArchiveRequest& r, std::string& file) {
        requests.push_back(r);
        file = answer;
        return !answer.empty();
    });
    TOptions options = Unusual();
    Run(
        options, mrOk,
        [&](TFormConfig& f) {
            UserClick(f.VisualizadorDialog);
            UserClick(f.VirusBtn);
            answer.clear(); // the user cancels the third one
            UserClick(f.EmailBtn);
        },
        OptionsPageProgramas);
    ASSERT_EQ(requests.size(), 3u);
    for (const auto& r : requests) {
        EXPECT_EQ(r.Title, "Abrir");
        EXPECT_EQ(r.Filter, "Todos os Arquivos|*.*");
        EXPECT_EQ(r.InitialDir, "");
    }
    EXPECT_EQ(options.Visualizador, "/opt/tools/program");
    EXPECT_EQ(options.Virus, "/opt/tools/program");
    EXPECT_EQ(options.Email, "/usr/bin/mailer");
}

TEST_F(OptionsDialogTest, ThreePagesInThreeLanguages) {
    const std::pair<const char*, int32_t> langs[] = {{"pt", lbPortuguese}, {"en", lbEnglish}, {"es", lbSpanish}};
    const std::string folder = mvtest::ScreenshotFolder("options");
    for (const auto& [name, base] : langs) {
        SCOPED_TRACE(name);
        SetLanguageBase(base);
        TOptions options = Unusual();
        options.PastaTemporaria = "/tmp/";
        Run(options, mrCancel, [&](TFormConfig& f) {
            EXPECT_EQ(f.Caption(), LoadLangStr(162));
            const char* pages[] = {"principal", "pastas", "programas"};
            for (int p = 0; p < 3; ++p) {
                f.PageControl1->SetActivePageIndex(p);
                Pump();
                EXPECT_TRUE(SaveControlImage(f, folder + "/options-" + pages[p] + "-" + name + ".png"));
            }
        });
    }
}

// ---- through the main window ------------------------------------------------------------

struct MainWindow {
    std::unique_ptr<TFormPrincipal> form;
    MainWindow() {
        form = std::make_unique<TFormPrincipal>(nullptr);
        form->Show();
        Pump();
    }
    void Close() {
        form->FormClose();
        form.reset();
    }
};

std::string FileText(const std::string& path) {
    std::string text;
    platform::ReadTextFile(path, text);
    return text;
}

TEST_F(OptionsDialogTest, TheOptionsMenuOpensItAndCancelLeavesTheIniFileAsItWas) {
    // A first run leaves a complete settings file.
    {
        MainWindow w;
        w.Close();
    }
    const std::string ini = platform::IniFilePath();
    {
        platform::IniFile file(ini);
        WriteOptions(file, Unusual());
    }
    {
        MainWindow w;
        w.Close();
    }
    const std::string before = FileText(ini);
    ASSERT_NE(before.find("Virus=/usr/bin/scanner"), std::string::npos);
    for (bool reset : {false, true}) {
        SCOPED_TRACE(reset ? "reset then cancel" : "cancel");
        MainWindow w;
        EXPECT_EQ(w.form->Options(), Unusual());
        TModalDriver driver;
        driver.Click(mrCancel, [&](TForm& f) {
            auto& config = dynamic_cast<TFormConfig&>(f);
            UserClick(config.ChkSons);
            UserType(config.EmailPrgEdit, "/other");
            if (reset) UserClick(config.ResetaBtn);
        });
        w.form->Configurar1->Action()->trigger();
        Pump();
        ASSERT_EQ(driver.Shown().size(), 1u);
        EXPECT_EQ(driver.Shown()[0].Caption, LoadLangStr(162));
        EXPECT_EQ(w.form->Options(), Unusual());
        w.Close();
        EXPECT_EQ(FileText(ini), before);
    }
    // Applied: the archive list gets its grid lines now, the file the values at the end.
    MainWindow w;
    EXPECT_FALSE(w.form->ArquivosLv->ExtendedStyles() & LVX(lvxGridLines));
    TModalDriver driver;
    driver.Click(mrOk, [&](TForm& f) {
        auto& config = dynamic_cast<TFormConfig&>(f);
        config.RegisterContextMenu = [](bool) {};
        UserClick(config.ChkGridLines);
        UserType(config.VirusEdit, "/bin/other-scanner");
    });
    w.form->Configurar1->Action()->trigger();
    Pump();
    EXPECT_TRUE(w.form->ArquivosLv->ExtendedStyles() & LVX(lvxGridLines));
    w.Close();
    platform::IniFile file(ini);
    EXPECT_EQ(file.ReadString(OptionsSection, "GridLines", ""), "SIM");
    EXPECT_EQ(file.ReadString(OptionsSection, "Virus", ""), "/bin/other-scanner");
}

} // namespace
} // namespace mv
