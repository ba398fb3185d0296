// The wizard's window as the user meets it, under the offscreen platform and
// answered by the modal driver: the pages walked in both modes (a screenshot of
// each page in each language), the folder menu, the text editor, loading a
// settings file from the first page and saving one from the last.
#include "app/common/LangStr.h"
#include "app/packager/FormSFX.h"
#include "app/packager/SmpFile.h"
#include "controls/shell/dialogs/MvOpenDlg.h"
#include "controls/toolkit/colour/ExtPageControl.h"
#include "platform/ui/ModalDriver.h"
#include "platform/ui/StdControls.h"
#include "tests/support/DesktopFixture.h"
#include "tests/support/TestSupport.h"

#include <functional>
#include <gtest/gtest.h>

namespace mv {
namespace {

namespace fs = mvtest::fs;

struct LanguageScope {
    explicit LanguageScope(int32_t base) : saved(LanguageBase()) { SetLanguageBase(base); }
    ~LanguageScope() { SetLanguageBase(saved); }
    int32_t saved;
};

const char* LanguageName(int32_t base) {
    return base == lbPortuguese ? "pt" : base == lbEnglish ? "en" : "es";
}

TEST(FormSFX, EveryPageInBothModesInEachLanguage) {
    EnsureApplication();
    const std::string folder = mvtest::ScreenshotFolder("packager");
    for (int32_t base : {lbPortuguese, lbEnglish, lbSpanish}) {
        SCOPED_TRACE(LanguageName(base));
        LanguageScope language(base);
        for (bool basic : {true, false}) {
            TFormSFX form(nullptr, "/data/set.zip", {"setup.sh", "docs/readme.txt"});
            TModalDriver driver;
            driver.PressEscape([&](TForm& f) {
                (basic ? form.RgModoBasico : form.RgModoProfissional)->Click();
                std::vector<int> pages;
                for (;;) {
                    pages.push_back(form.Pages->ActivePageIndex() + 1);
                    EXPECT_EQ(f.Caption(), form.Wizard().Caption());
                    EXPECT_EQ(form.VoltarBtn->Enabled(), pages.size() > 1);
                    EXPECT_TRUE(SaveControlImage(f, folder + "/wizard-" + (basic ? "basic" : "professional") +
                                                        "-page" + std::to_string(pages.back()) + "-" +
                                                        LanguageName(base) + ".png"));
                    if (!form.AvancarBtn->Enabled()) break;
                    form.AvancarBtn->Click();
                }
                EXPECT_EQ(pages, basic ? std::vector<int>({1, 2, 8}) : std::vector<int>({1, 2, 3, 4, 5, 6, 7, 8}));
                EXPECT_EQ(f.Caption(), LoadLangStr(512));
                EXPECT_FALSE(form.StatusLb->Visible());
                form.VoltarBtn->Click();
                EXPECT_EQ(form.Pages->ActivePageIndex() + 1, basic ? 2 : 7);
            });
            form.ShowModal();
            EXPECT_EQ(driver.Unanswered(), 0);
            EXPECT_EQ(form.DestinoEdit->Text(), "/data/set.run");
        }
    }
}

TEST(FormSFX, FolderMenuEditorAndFinalActions) {
    EnsureApplication();
    LanguageScope language(lbPortuguese);
    TFormSFX form(nullptr, "/data/set.zip", {"setup.sh"});
    form.RgModoProfissional->Click();
    form.EspecialBtn->Click();
    EXPECT_TRUE(form.FolderMenu->Visible());
    EXPECT_EQ(form.FolderMenu->Items().Count(), 7);
    form.FolderMenuClick(2);
    EXPECT_FALSE(form.FolderMenu->Visible());
    form.EspecialBtn->Click();
    form.FolderMenuClick(3);
    EXPECT_EQ(form.PastaDefaultEdit->Text(), "<Temp>\\<Aleatoria>\\");
    EXPECT_EQ(form.AplicacaoEdit->Items()[0], "<Destino>\\setup.sh");

    form.TreeView->SetItemIndex(5);
    form.TreeViewChange();
    EXPECT_FALSE(form.ItemSelecionado->Enabled());
    form.TreeView->SetItemIndex(7);
    form.TreeViewChange();
    EXPECT_TRUE(form.ItemSelecionado->Enabled());
    EXPECT_EQ(form.ItemSelecionado->Text(), "Entre com a senha: ");
    form.ItemSelecionado->SetTextValue("Senha:");
    EXPECT_EQ(form.Wizard().Settings().Textos[7], "Senha:");

    EXPECT_FALSE(form.AplicacaoEdit->Enabled());
    form.ExecutarAplicacaoChk->SetChecked(true);
    form.ExecutarAplicacaoChk->Click();
    EXPECT_TRUE(form.AplicacaoEdit->Enabled());
    form.InstalacaoChk->SetChecked(true);
    form.ExecutarAplicacaoChk->SetChecked(false);
    form.ExecutarAplicacaoChk->Click();
    EXPECT_FALSE(form.InstalacaoChk->Checked());
    EXPECT_FALSE(form.InstalacaoChk->Enabled());
}

TEST(FormSFX, TypingASettingsFileLoadsItAndSaveWritesOne) {
    EnsureApplication();
    LanguageScope language(lbEnglish);
    mvtest::TempDir dir;
    TSfxWizard saved;
    saved.ResetWizard("/data/set.zip");
    saved.ChooseProfessionalMode();
    saved.Settings().Titulo = "Loaded title";
    saved.Settings().GrupoProgramas = true;
    saved.Settings().TituloRegistro = "Tools";
    fs::rename(SaveSmpFile(saved, (dir / "a").string()), dir / "a.SMP");

    TFormSFX form(nullptr, "/data/set.zip", {});
    form.ConfigEdit->SetTextValue((dir / "a.SMP").string());
    form.ConfigEditChange(); // what typing into the field fires
    EXPECT_TRUE(form.RgModoProfissional->Checked());
    EXPECT_EQ(form.TituloEdit->Text(), "Loaded title");
    EXPECT_EQ(form.TituloRegistroEdit->Text(), "Tools");
    EXPECT_TRUE(form.TituloRegistroEdit->Enabled());
    form.ConfigEdit->SetTextValue("a.txt");
    form.ConfigEditExit();
    EXPECT_EQ(form.ConfigEdit->Text(), "");

    // The save dialog proposes the destination's name as a settings file; a name typed without extension gets ".smp".
    TModalDriver driver;
    std::string proposed;
    driver.Queue({TModalAction::maEnter, mrNone, (dir / "again").string(),
                  [&](TForm& f) { proposed = dynamic_cast<TMvFrmOpenDlg&>(f).FileNameEdt->Text(); }});
    form.TituloEdit->SetTextValue("Saved title");
    form.SalvarBtn->SetEnabled(true);
    form.SalvarBtn->Click();
    EXPECT_EQ(driver.Unanswered(), 0);
    EXPECT_EQ(proposed, "set.smp");
    TSfxWizard check;
    ASSERT_TRUE(LoadSmpFile(check, (dir / "again.smp").string()));
    EXPECT_EQ(check.Settings().Titulo, "Saved title");
}

// Every browse button opens the program's file dialog with its title, and what
// the user chose there lands in its field; a cancelled dialog changes nothing.
TEST(FormSFX, BrowseButtonsFillTheirFieldsThroughTheFileDialogs) {
    EnsureApplication();
    LanguageScope language(lbEnglish);
    mvtest::TempDir dir;
    for (const char* f : {"readme.txt", "setup.sh", "app.ico"}) mvtest::WriteFileText(dir / f, "x");
    TSfxWizard saved;
    saved.ResetWizard((dir / "set.zip").string());
    saved.Settings().Titulo = "From the dialog";
    SaveSmpFile(saved, (dir / "conf").string());

    TFormSFX form(nullptr, (dir / "set.zip").string(), {"setup.sh"});
    form.RgModoProfissional->Click();
    form.MostrarTextoChk->SetChecked(true);
    form.MostrarTextoChk->Click();
    form.ExecutarAplicacaoChk->SetChecked(true);
    form.ExecutarAplicacaoChk->Click();
    struct Row {
        const char* what;
        TButton* button;
        std::string typed;
        std::string caption;
        std::function<std::string()> field;
        std::string expected;
    };
    const std::string d = dir.Path().string();
    const Row rows[] = {
        {"settings file", form.OpenBtn, d + "/conf.smp", "Open", [&] { return form.TituloEdit->Text(); },
         "From the dialog"},
        {"readme", form.Browse1Btn, d + "/readme.txt", "Open", [&] { return form.Wizard().Settings().ArquivoTexto; },
         d + "/readme.txt"},
        {"application", form.Browse2Btn, d + "/setup.sh", "Open", [&] { return form.AplicacaoEdit->Text(); },
         d + "/setup.sh"},
        {"parameters", form.Browse3Btn, d + "/readme.txt", "Open", [&] { return form.ParametrosEdit->Text(); },
         d + "/readme.txt"},
        {"icon", form.ProcurarBtn, d + "/app.ico", "Open", [&] { return form.Wizard().Settings().Icone; },
         d + "/app.ico"},
        {"destination", form.DestinoBrowser, d + "/out.bin", "Destination File",
         [&] { return form.DestinoEdit->Text(); }, d + "/out.run"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        {
            TModalDriver driver;
            driver.PressEscape();
            const std::string before = row.field();
            row.button->Click();
            EXPECT_EQ(row.field(), before);
            ASSERT_EQ(driver.Shown().size(), 1u);
            EXPECT_EQ(driver.Shown()[0].Caption, row.caption);
        }
        TModalDriver driver;
        driver.Queue({TModalAction::maEnter, mrNone, row.typed, {}});
        row.button->Click();
        EXPECT_EQ(driver.Unanswered(), 0);
        EXPECT_EQ(row.field(), row.expected);
    }
    EXPECT_EQ(form.ConfigEdit->Text(), d + "/conf.smp");
}

// The grids' browse buttons: the archive's list is shown, and the file chosen goes
// into the application cell that has the focus, else the first empty one.
TEST(FormSFX, GridBrowseButtonsWriteTheChosenFileIntoTheApplicationCell) {
    EnsureApplication();
    LanguageScope language(lbPortuguese);
    TFormSFX form(nullptr, "/data/set.zip", {"setup.sh", "bin/tool"});
    form.RgModoProfissional->Click();
    EXPECT_FALSE(form.PGButton->Enabled());
    form.GrupoProgramasChk->SetChecked(true);
    form.GrupoProgramasChk->Click();
    form.ExtensoesChk->SetChecked(true);
    form.ExtensoesChk->Click();
    EXPECT_TRUE(form.PGButton->Enabled());
    form.ProgramGroupGrid[1][0]->SetTextValue("taken");

    form.PGButton->Click();
    EXPECT_TRUE(form.ArquivosLb->Visible());
    form.ArquivosLb->SetItemIndex(1);
    form.ArquivosLbClick();
    EXPECT_FALSE(form.ArquivosLb->Visible());
    EXPECT_EQ(form.ProgramGroupGrid[2][0]->Text(), "<Destino>\\bin/tool");
    EXPECT_EQ(form.Wizard().Settings().ProgramGroupGrid[2][0], "<Destino>\\bin/tool");

    form.EXTButton->Click();
    form.EXTButton->Click(); // a second click hides the list again
    EXPECT_FALSE(form.ArquivosLb->Visible());
    form.EXTButton->Click();
    form.ArquivosLb->SetItemIndex(0);
    form.ArquivosLbClick();
    EXPECT_EQ(form.ExtensaoGrid[1][1]->Text(), "<Destino>\\setup.sh");

    // With the focus in a cell of the application column, that cell is the one written.
    for (int step = 1; step < 6; ++step) form.AvancarBtn->Click();
    ASSERT_EQ(form.Pages->ActivePageIndex(), 5);
    TModalDriver driver;
    driver.PressEscape([&](TForm& f) {
        form.ProgramGroupGrid[5][0]->SetFocus();
        ASSERT_TRUE(form.ProgramGroupGrid[5][0]->Focused());
        form.PGButton->Click();
        EXPECT_TRUE(form.ArquivosLb->Visible());
        EXPECT_TRUE(SaveControlImage(f, mvtest::ScreenshotFolder("packager") + "/wizard-grid-file-list-pt.png"));
        form.ArquivosLb->SetItemIndex(0);
        form.ArquivosLbClick();
    });
    form.ShowModal();
    EXPECT_EQ(form.ProgramGroupGrid[5][0]->Text(), "<Destino>\\setup.sh");
    EXPECT_EQ(form.ProgramGroupGrid[3][0]->Text(), "");
}

// The introduction and the message editor are memos: line breaks stay in the texts.
TEST(FormSFX, IntroductionAndLicenceKeepTheirLines) {
    EnsureApplication();
    LanguageScope language(lbEnglish);
    TFormSFX form(nullptr, "/data/set.zip", {});
    form.RgModoProfissional->Click();
    form.Memo->SetTextValue("First line\nSecond line");
    form.TreeView->SetItemIndex(4);
    form.TreeViewChange();
    EXPECT_TRUE(form.ItemSelecionado->Enabled());
    form.ItemSelecionado->SetTextValue("You agree to:\n1. this\n2. that");
    form.AvancarBtn->Click();
    EXPECT_EQ(form.Wizard().Settings().Introducao, (std::vector<std::string>{"First line", "Second line"}));
    EXPECT_EQ(form.Wizard().Settings().Textos[4], "You agree to:\n1. this\n2. that");
    form.TreeView->SetItemIndex(1);
    form.TreeViewChange();
    form.TreeView->SetItemIndex(4);
    form.TreeViewChange();
    EXPECT_EQ(form.ItemSelecionado->Text(), "You agree to:\n1. this\n2. that");
}

} // namespace
} // namespace mv
