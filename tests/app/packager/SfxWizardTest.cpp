// The wizard's logic: navigation and modes, the text tree, the folder menu,
// the final actions and the destination.
#include "app/common/LangStr.h"
#include "app/packager/SfxWizard.h"

#include <gtest/gtest.h>

namespace mv {
namespace {

struct LanguageScope {
    explicit LanguageScope(int32_t base) : saved(LanguageBase()) { SetLanguageBase(base); }
    ~LanguageScope() { SetLanguageBase(saved); }
    int32_t saved;
};

TEST(SfxWizard, NavigationFollowsTheMode) {
    LanguageScope pt(lbPortuguese);
    struct Row {
        bool basic;
        std::vector<int> forward; // the steps visited going forward from 1
        std::vector<std::string> captions;
    };
    const Row rows[] = {
        {true, {1, 2, 8}, {"Passo 1..2", "Passo 2..2", "Criando o arquivo SFX"}},
        {false,
         {1, 2, 3, 4, 5, 6, 7, 8},
         {"Passo 1..7", "Passo 2..7", "Passo 3..7", "Passo 4..7", "Passo 5..7", "Passo 6..7", "Passo 7..7",
          "Criando o arquivo SFX"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.basic ? "basic" : "professional");
        TSfxWizard w;
        w.ResetWizard("/a/b.zip");
        if (r.basic) w.ChooseBasicMode();
        else w.ChooseProfessionalMode();
        std::vector<int> seen = {w.Step()};
        std::vector<std::string> captions = {w.Caption()};
        EXPECT_FALSE(w.CanGoBack());
        while (w.CanGoForward()) {
            w.Forward();
            seen.push_back(w.Step());
            captions.push_back(w.Caption());
        }
        EXPECT_EQ(seen, r.forward);
        EXPECT_EQ(captions, r.captions);
        std::vector<int> back = {w.Step()};
        while (w.CanGoBack()) {
            w.Back();
            back.push_back(w.Step());
        }
        EXPECT_EQ(back, std::vector<int>(r.forward.rbegin(), r.forward.rend()));
    }
}

TEST(SfxWizard, ModeSwitchResetsPagesButKeepsTitleIntroFolderAndGrids) {
    LanguageScope en(lbEnglish);
    TSfxWizard w;
    w.ResetWizard("/a/b.zip");
    auto& s = w.Settings();
    s.Titulo = "Mine";
    s.Introducao = {"one", "two"};
    s.PastaDefault = "<Temp>\\x";
    s.ProgramGroupGrid[1] = {"app", "App"};
    s.ExtensaoGrid[2] = {"txt", "ed", "Text"};
    s.ModificaPasta = false;
    s.NuncaSobrescrever = true;
    s.PerguntarSobrescrever = false;
    s.ProtecaoComSenha = true;
    s.NenhumaProtecao = false;
    s.Senha = "pw";
    s.Textos[1] = "changed";
    s.Textos[34] = "kept";
    s.GrupoProgramas = true;
    s.TituloRegistro = "Group";
    s.MostrarTexto = true;
    w.SetExecutarAplicacao(true);
    s.Instalacao = true;
    s.Icone = "/x.ico";
    w.ChooseProfessionalMode();
    EXPECT_EQ(s.Titulo, "Mine");
    EXPECT_EQ(s.Introducao, (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(s.PastaDefault, "<Temp>\\x");
    EXPECT_EQ(s.ProgramGroupGrid[1][1], "App");
    EXPECT_EQ(s.ExtensaoGrid[2][2], "Text");
    EXPECT_TRUE(s.ModificaPasta);
    EXPECT_TRUE(s.PerguntarSobrescrever);
    EXPECT_FALSE(s.NuncaSobrescrever);
    EXPECT_TRUE(s.NenhumaProtecao);
    EXPECT_EQ(s.Senha, "");
    EXPECT_EQ(s.Textos[1], "All files were copied successfully.");
    EXPECT_EQ(s.Textos[34], "kept");
    EXPECT_FALSE(s.GrupoProgramas);
    EXPECT_EQ(s.TituloRegistro, "");
    EXPECT_FALSE(s.MostrarTexto || s.ExecutarAplicacao || s.Instalacao);
    EXPECT_EQ(s.Icone, TSfxWizard::DefaultIcon());
}

TEST(SfxWizard, TextTreeDefaultsAndEditor) {
    LanguageScope pt(lbPortuguese);
    TSfxWizard w;
    w.ResetWizard("");
    const auto& t = w.Settings().Textos;
    for (int i : {0, 5, 13, 19}) EXPECT_EQ(t[static_cast<size_t>(i)], "<desabilita>") << i;
    EXPECT_EQ(t[4], "");
    EXPECT_EQ(t[7], "Entre com a senha: ");
    EXPECT_EQ(t[12], "O arquivo <Arquivo> já existe. Deseja sobrescrever este arquivo ?");
    EXPECT_EQ(t[20], "&Ok");
    EXPECT_EQ(t[32], "&Discordar");
    EXPECT_EQ(SfxTextCaption(20), 0);
    EXPECT_EQ(SfxTextCaption(32), 557);
    for (int group : {0, 5, 13, 19}) {
        w.SelectText(group);
        EXPECT_FALSE(w.EditorEnabled());
        EXPECT_EQ(w.EditorText(), "");
    }
    w.SelectText(12);
    EXPECT_TRUE(w.EditorEnabled());
    w.SetEditorText("Replace <Arquivo>?");
    w.LeaveEditor();
    EXPECT_EQ(w.Settings().Textos[12], "Replace <Arquivo>?");
    w.SelectText(5);
    w.LeaveEditor();
    EXPECT_EQ(w.Settings().Textos[5], "<desabilita>");
}

TEST(SfxWizard, FolderMenuAppendsToItsTarget) {
    LanguageScope pt(lbPortuguese);
    const std::string tags[] = {"<Windows>\\", "<WindowsSystem>\\", "<Temp>\\", "<Aleatoria>\\",
                                "<PastaSFX>\\", "<ArquivosdeProgramas>\\", "<HD>\\"};
    for (int item = 0; item < SfxFolderMenuCount; ++item) {
        EXPECT_EQ(SfxFolderMenuPlaceholder(item), tags[item]);
        EXPECT_EQ(SfxFolderMenuCaption(item), 565 + item);
    }
    TSfxWizard w;
    w.AppendPlaceholder(TSfxFolderTarget::DefaultFolder, 2);
    w.AppendPlaceholder(TSfxFolderTarget::DefaultFolder, 3);
    w.AppendPlaceholder(TSfxFolderTarget::Readme, 4);
    w.AppendPlaceholder(TSfxFolderTarget::Application, 5);
    w.AppendPlaceholder(TSfxFolderTarget::Parameters, 6);
    EXPECT_EQ(w.Settings().PastaDefault, "<Temp>\\<Aleatoria>\\");
    EXPECT_EQ(w.Settings().ArquivoTexto, "<PastaSFX>\\");
    EXPECT_EQ(w.Settings().Aplicacao, "<ArquivosdeProgramas>\\");
    EXPECT_EQ(w.Settings().Parametros, "<HD>\\");
}

TEST(SfxWizard, ResetDestinationAndFinalActions) {
    TSfxWizard w;
    w.ResetWizard("/data/set.tar");
    EXPECT_EQ(w.Settings().Destino, "/data/set.run");
    EXPECT_EQ(w.Step(), 1);
    EXPECT_TRUE(w.Settings().Versao32);
    w.SetDestinationFromDialog("/out/inst.exe");
    EXPECT_EQ(w.Settings().Destino, "/out/inst.run");
    w.SetExecutarAplicacao(true);
    w.Settings().Instalacao = true;
    w.SetExecutarAplicacao(false);
    EXPECT_FALSE(w.Settings().Instalacao);
}

} // namespace
} // namespace mv
