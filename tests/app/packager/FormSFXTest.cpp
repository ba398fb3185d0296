// The wizard's window as the user meets it, under the offscreen platform and
// answered by the modal driver: the pages walked in both modes (a screenshot of
// each page in each language), the folder menu, the text editor, loading a
// settings file from the first page and saving one from the last.
#include "app/common/LangStr.h"
#include "app/packager/FormSFX.h"
#include "app/packager/SmpFile.h"
#include "controls/toolkit/colour/ExtPageControl.h"
#include "platform/ui/ModalDriver.h"
#include "platform/ui/StdControls.h"
#include "tests/support/DesktopFixture.h"
#include "tests/support/TestSupport.h"

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

    TModalDriver driver;
    driver.Queue({TModalAction::maClickResult, mrOk, (dir / "again").string(), {}});
    form.TituloEdit->SetTextValue("Saved title");
    form.SalvarBtn->SetEnabled(true);
    form.SalvarBtn->Click();
    EXPECT_EQ(driver.Unanswered(), 0);
    TSfxWizard check;
    ASSERT_TRUE(LoadSmpFile(check, (dir / "again.smp").string()));
    EXPECT_EQ(check.Settings().Titulo, "Saved title");
}

} // namespace
} // namespace mv
