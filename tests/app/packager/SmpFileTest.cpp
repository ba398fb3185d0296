// The wizard's settings file: the exact file written, the round trip, the
// rules of loading and the failures.
#include "app/common/LangStr.h"
#include "app/packager/SmpFile.h"
#include "platform/FakeFileSystem.h"
#include "platform/IniFile.h"
#include "tests/support/TestSupport.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace mv {
namespace fs = mvtest::fs;
namespace {

using mvtest::TempDir;
using mvtest::WriteFileText;

std::string ReadText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TSfxWizard Sample() {
    TSfxWizard w;
    w.ResetWizard("/out/x.zip");
    w.ChooseProfessionalMode();
    auto& s = w.Settings();
    s.Versao16 = true;
    s.Versao32 = false;
    s.Titulo = "Setup";
    s.PastaDefault = "<Temp>\\app";
    s.Introducao = {"Line one", "Line two"};
    s.ModificaPasta = false;
    s.PerguntarSobrescrever = false;
    s.SempreSobrescrever = true;
    s.NenhumaProtecao = false;
    s.ProtecaoComSenha = true;
    s.Senha = "se cret";
    for (size_t i = 0; i < 36; ++i) s.Textos[i] = IsSfxGroupNode(int(i)) ? "<desabilita>" : "t" + std::to_string(i);
    s.Textos[4] = "";
    s.Textos[7] = "Entre com a senha: ";
    s.Textos[12] = "first\r\nsecond";
    s.GrupoProgramas = true;
    s.TituloRegistro = "Tools";
    s.Extensoes = true;
    s.ProgramGroupGrid[1] = {"<Destino>\\tool", "Tool"};
    s.ExtensaoGrid[1] = {"txt", "<Destino>\\ed", "Text file"};
    s.MostrarTexto = false;
    s.ArquivoTexto = "ignored";
    w.SetExecutarAplicacao(true);
    s.Aplicacao = "<Destino>\\setup";
    s.Parametros = "--fast";
    s.Instalacao = true;
    s.Icone = "  /icons/a.ico ";
    s.Destino = "/out/x.run";
    return w;
}

std::string Golden() {
    std::string m;
    for (int i = 0; i < 36; ++i) {
        std::string v = IsSfxGroupNode(i) ? "<desabilita>" : "t" + std::to_string(i);
        if (i == 4) v = "";
        if (i == 7) v = "\"Entre com a senha: \"";
        if (i == 12) v = "first<br>second";
        m += "M" + std::to_string(i) + "=" + v + "\n";
    }
    std::string p, e;
    for (int i = 1; i <= 10; ++i) {
        p += "P" + std::to_string(i) + "=" + (i == 1 ? "<Destino>\\tool|Tool" : "|") + "\n";
        e += "E" + std::to_string(i) + "=" + (i == 1 ? "txt|<Destino>\\ed|Text file" : "||") + "\n";
    }
    return "[Passo1]\nModoBasico=0\nModoProfissional=1\nVersao16=1\nVersao32=0\n\n"
           "[Passo3]\nTitulo=Setup\nPastaDefault=<Temp>\\app\nIntroducao0=Line one\nIntroducao1=Line two\n"
           "Introducao2=EndOfLines\n\n"
           "[Passo4]\nModificarPasta=0\nCriarPasta=1\nBarraProgresso=1\nPerguntarSobrescrever=0\n"
           "SempreSobrescrever=1\nNuncaSobrescrever=0\n\n"
           "[Passo5]\nRgNenhumaProtecao=0\nRgProtecaoComSenha=1\nRgProtecaoExclusiva=0\nSenha=se cret\n\n"
           "[Passo6]\n" +
           m + "\n[Passo7]\nGrupoProgramas=1\nTitulo=Tools\nExtensoes=1\n" + p + e +
           "\n[Passo8]\nMostrarTexto=0\nTexto=\nExecutarAplicacao=1\nAplicacao=<Destino>\\setup\n"
           "Parametros=--fast\nInstall=1\nIcone=/icons/a.ico\n\n"
           "[Final]\nDestino=/out/x.run\n";
}

TEST(SmpFile, WritesTheGoldenFileOwnerReadableAndLoadsItBack) {
    TempDir dir;
    const TSfxWizard w = Sample();
    const std::string name = SaveSmpFile(w, (dir / "conf").string());
    EXPECT_EQ(name, (dir / "conf.smp").string());
    EXPECT_EQ(ReadText(name), Golden());
    struct stat st {};
    ASSERT_EQ(::stat(name.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    WriteFileText(dir / "a.ico", "icon");
    TSfxWizard loaded;
    loaded.ResetWizard("/elsewhere.zip");
    ASSERT_TRUE(LoadSmpFile(loaded, name));
    TSfxSettings expected = w.Settings();
    expected.ArquivoTexto = "";                   // not saved while its box is off
    expected.Icone = TSfxWizard::DefaultIcon();   // /icons/a.ico does not exist here
    EXPECT_EQ(loaded.Settings().Textos, expected.Textos);
    EXPECT_TRUE(loaded.Settings() == expected);
}

TEST(SmpFile, LoadRules) {
    const int32_t saved = LanguageBase();
    SetLanguageBase(lbPortuguese);
    TempDir dir;
    struct Row {
        const char* what;
        std::string file;
        std::function<void(const TSfxSettings&)> check;
    };
    std::string noMarker = "[Passo3]\n";
    for (int i = 0; i < 300; ++i) noMarker += "Introducao" + std::to_string(i) + "=l" + std::to_string(i) + "\n";
    const Row rows[] = {
        {"no end marker: 251 lines", noMarker,
         [](const TSfxSettings& s) {
             ASSERT_EQ(s.Introducao.size(), 251u);
             EXPECT_EQ(s.Introducao.back(), "l250");
         }},
        {"empty memo", "[Passo3]\nIntroducao0=EndOfLines\n",
         [](const TSfxSettings& s) { EXPECT_TRUE(s.Introducao.empty()); }},
        {"rows split at their bars",
         "[Passo7]\nGrupoProgramas=1\nExtensoes=1\nP3=abc\nP4=|\nE2=zip|app\nE3=a|b|c|d\n",
         [](const TSfxSettings& s) {
             EXPECT_EQ(s.ProgramGroupGrid[3], (std::array<std::string, 2>{"", "abc"}));
             EXPECT_EQ(s.ProgramGroupGrid[4], (std::array<std::string, 2>{"", ""}));
             EXPECT_EQ(s.ExtensaoGrid[2], (std::array<std::string, 3>{"zip", "app", ""}));
             EXPECT_EQ(s.ExtensaoGrid[3], (std::array<std::string, 3>{"a", "b", "c|d"}));
             EXPECT_EQ(s.ProgramGroupGrid[5][1], "keep");
         }},
        {"group box off: title and rows ignored",
         "[Passo7]\nGrupoProgramas=0\nTitulo=T\nP1=a|b\n",
         [](const TSfxSettings& s) {
             EXPECT_EQ(s.TituloRegistro, "");
             EXPECT_EQ(s.ProgramGroupGrid[1][0], "");
         }},
        {"run-after off: program ignored", "[Passo8]\nExecutarAplicacao=0\nAplicacao=x\nInstall=1\n",
         [](const TSfxSettings& s) {
             EXPECT_EQ(s.Aplicacao, "");
             EXPECT_FALSE(s.Instalacao);
         }},
        {"missing Senha is no password", "[Passo5]\nRgNenhumaProtecao=0\nRgProtecaoComSenha=1\n",
         [](const TSfxSettings& s) {
             EXPECT_TRUE(s.ProtecaoComSenha);
             EXPECT_EQ(s.Senha, "");
         }},
        {"missing ModoProfissional after ModoBasico=1", "[Passo1]\nModoBasico=1\n",
         [](const TSfxSettings& s) {
             EXPECT_TRUE(s.ModoBasico);
             EXPECT_FALSE(s.ModoProfissional);
         }},
        {"missing icon falls back, the rest still loads", "[Passo8]\nIcone=/no/such.ico\n[Final]\nDestino=/d.run\n",
         [](const TSfxSettings& s) {
             EXPECT_EQ(s.Icone, TSfxWizard::DefaultIcon());
             EXPECT_EQ(s.Destino, "/d.run");
         }},
        {"group nodes never take text", "[Passo6]\nM0=Messages\nM1=Done\n",
         [](const TSfxSettings& s) {
             EXPECT_EQ(s.Textos[0], "<desabilita>");
             EXPECT_EQ(s.Textos[1], "Done");
         }},
        {"legacy 8-bit text", std::string("[Passo3]\nTitulo=Instala\xe7\xe3o\n"),
         [](const TSfxSettings& s) { EXPECT_EQ(s.Titulo, "Instalação"); }},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        WriteFileText(dir / "case.SMP", r.file);
        TSfxWizard w;
        w.ResetWizard("/a.zip");
        w.Settings().ProgramGroupGrid[5] = {"", "keep"};
        ASSERT_TRUE(LoadSmpFile(w, (dir / "case.SMP").string()));
        r.check(w.Settings());
    }
    SetLanguageBase(saved);
}

TEST(SmpFile, OnlyExistingSmpNamesLoad) {
    TempDir dir;
    WriteFileText(dir / "a.txt", "[Passo3]\nTitulo=X\n");
    TSfxWizard w;
    w.ResetWizard("/a.zip");
    const TSfxSettings before = w.Settings();
    EXPECT_FALSE(LoadSmpFile(w, (dir / "a.txt").string()));
    EXPECT_FALSE(LoadSmpFile(w, (dir / "none.smp").string()));
    EXPECT_TRUE(w.Settings() == before);
}

TEST(SmpFile, SavingKeepsForeignKeysAndReportsAReadOnlyFolder) {
    TempDir dir;
    WriteFileText(dir / "k.smp", "[Mine]\nkey=value\n");
    SaveSmpFile(Sample(), (dir / "k.smp").string());
    EXPECT_EQ(platform::IniFile((dir / "k.smp").string()).ReadString("Mine", "key", ""), "value");

    // A folder the user may not write to: the file cannot be made (the fake
    // file system refuses it as a read-only folder would, even for the superuser).
    const std::string target = (dir / "ro/x.smp").string();
    fs::create_directories(dir / "ro");
    platform::FakeFileSystem fake;
    platform::ScopedFileSystem use(fake);
    fake.FailOpensOf(target, EACCES);
    try {
        SaveSmpFile(Sample(), target);
        ADD_FAILURE() << "no error";
    } catch (const platform::EIniFileException& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + target);
    }
    EXPECT_FALSE(fs::exists(target));
}

} // namespace
} // namespace mv
