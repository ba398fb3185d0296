// The options in morvelan.ini: the yes/no and number rules, the first-run rule (only a
// missing GridLines key is a first run), a round trip of every key, the temporary folder
// normalised, and the open dialog's geometry defaults by screen width.
#include "app/settings/Options.h"

#include "app/common/StrUtils.h"
#include "tests/support/DesktopFixture.h"

#include <gtest/gtest.h>

namespace mv {
namespace {

using mvtest::TempDir;
namespace fs = std::filesystem;

TEST(Options, YesNoAndNumberRules) {
    for (const char* yes : {"S", "t", "V", "SIM", "sim", " Sim "}) EXPECT_TRUE(SimNaoToBool(yes)) << yes;
    for (const char* no : {"N", "x", "", "NAO", "yes", "SI"}) EXPECT_FALSE(SimNaoToBool(no)) << no;
    EXPECT_EQ(BoolToSimNao(true), "SIM");
    EXPECT_EQ(BoolToSimNao(false), "NAO");
    EXPECT_EQ(StrToIntNoDots("1.0", 7), 10);
    EXPECT_EQ(StrToIntNoDots("abc", 7), 7);
}

TEST(Options, FirstRunOnlyWhenGridLinesIsMissing) {
    TempDir t;
    struct Case {
        const char* gridLines; // null: key missing
        bool firstRun;
        bool grid;
    };
    const Case cases[] = {{nullptr, true, true}, {"SIM", false, true}, {"NAO", false, false},
                          {"sim", false, true},  {"x", false, false},  {"", false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.gridLines ? c.gridLines : "(missing)");
        const std::string path = (t / "morvelan.ini").string();
        fs::remove(path);
        platform::IniFile ini(path);
        if (c.gridLines) ini.WriteString(OptionsSection, "GridLines", c.gridLines);
        ini.WriteString(OptionsSection, "Sons", "NAO");
        ini.WriteString(OptionsSection, "Visualizador", "/usr/bin/less");
        ini.WriteString(OptionsSection, "Virus", "/usr/bin/clamscan");
        TOptions options;
        options.Virus = "kept";
        ReadOptions(ini, options);
        EXPECT_EQ(options.GridLines, c.grid);
        // A first run gives first-run values and reads nothing; otherwise the user's
        // viewer, scanner and sound choice survive.
        EXPECT_EQ(options.Sons, c.firstRun);
        EXPECT_EQ(options.Visualizador, c.firstRun ? "" : "/usr/bin/less");
        EXPECT_EQ(options.Virus, c.firstRun ? "kept" : "/usr/bin/clamscan");
        EXPECT_EQ(options.PastaTemporaria, SystemTempFolder());
    }
}

TEST(Options, MissingKeysTakeTheirDefaults) {
    TempDir t;
    platform::IniFile ini((t / "morvelan.ini").string());
    ini.WriteString(OptionsSection, "GridLines", "SIM");
    ini.WriteString(OptionsSection, "PastaExtrair", "3");
    ini.WriteString(OptionsSection, "LarguraColuna", "1.");
    TOptions options;
    options.Associacao = options.Sons = options.MenudeContexto = false;
    ReadOptions(ini, options);
    EXPECT_TRUE(options.Associacao && options.Sons && options.MenudeContexto);
    EXPECT_EQ(options.LarguraColuna, 1);
    EXPECT_EQ(options.PastaIniciar, pfLastUsed);
    EXPECT_EQ(options.PastaExtrair, pfFixed);
    EXPECT_EQ(options.PastaAdicionar, pfLastUsed);
    EXPECT_EQ(options.Visualizador, ""); // the default text viewer
    EXPECT_EQ(options.PastaTemporaria, SystemTempFolder());
}

TEST(Options, EveryKeyRoundTrips) {
    TempDir t;
    platform::IniFile ini((t / "morvelan.ini").string());
    TOptions out;
    out.GridLines = false;
    out.Associacao = false;
    out.Sons = false;
    out.MenudeContexto = false;
    out.LarguraColuna = 1;
    out.PastaIniciar = pfCurrentOrArchive;
    out.PastaIniciarFixa = "  /home/u/archives  ";
    out.UltimaPastaIniciar = "/home/u/last";
    out.PastaExtrair = pfFixed;
    out.PastaExtrairFixa = "/home/u/out";
    out.UltimaPastaExtrair = "/home/u/out2";
    out.PastaAdicionar = pfFixed;
    out.PastaAdicionarFixa = "/home/u/add";
    out.UltimaPastaAdicionar = "/home/u/add2";
    out.Visualizador = " /usr/bin/less ";
    out.Virus = "/usr/bin/clamscan";
    out.VirusParametros = "-r --bell";
    out.Email = " thunderbird ";
    out.PastaTemporaria = "/var/tmp/mv/";
    WriteOptions(ini, out);
    EXPECT_EQ(ini.ReadString(OptionsSection, "GridLines", ""), "NAO");
    EXPECT_EQ(ini.ReadString(OptionsSection, "PastaExtrair", ""), "3");

    TOptions in;
    ReadOptions(ini, in);
    EXPECT_FALSE(in.GridLines || in.Associacao || in.Sons || in.MenudeContexto);
    EXPECT_EQ(in.LarguraColuna, 1);
    EXPECT_EQ(in.PastaIniciar, pfCurrentOrArchive);
    EXPECT_EQ(in.PastaIniciarFixa, "/home/u/archives"); // texts are trimmed when written
    EXPECT_EQ(in.UltimaPastaIniciar, "/home/u/last");
    EXPECT_EQ(in.PastaExtrair, pfFixed);
    EXPECT_EQ(in.PastaExtrairFixa, "/home/u/out");
    EXPECT_EQ(in.UltimaPastaExtrair, "/home/u/out2");
    EXPECT_EQ(in.PastaAdicionar, pfFixed);
    EXPECT_EQ(in.PastaAdicionarFixa, "/home/u/add");
    EXPECT_EQ(in.UltimaPastaAdicionar, "/home/u/add2");
    EXPECT_EQ(in.Visualizador, "/usr/bin/less");
    EXPECT_EQ(in.Virus, "/usr/bin/clamscan");
    EXPECT_EQ(in.VirusParametros, "-r --bell");
    // Email is written as held; the ini rules trim every value when it is read back.
    EXPECT_EQ(in.Email, "thunderbird");
    EXPECT_EQ(in.PastaTemporaria, "/var/tmp/mv/");
}

TEST(Options, TemporaryFolderIsNormalisedWhenRead) {
    const std::pair<std::string, std::string> cases[] = {
        {"", SystemTempFolder()}, {"   ", SystemTempFolder()}, {"/var/tmp", "/var/tmp/"}, {"/var/tmp/", "/var/tmp/"}};
    for (const auto& [in, out] : cases) EXPECT_EQ(NormaliseTempFolder(in), out) << in;
    EXPECT_EQ(SystemTempFolder().back(), '/');
}

TEST(Options, ResetKeepsTheFixedAndScannerTexts) {
    TOptions o;
    o.GridLines = false;
    o.LarguraColuna = 1;
    o.PastaExtrairFixa = "/fixed";
    o.Virus = "/scan";
    o.Email = "mail";
    o.Visualizador = "/viewer";
    ResetOptions(o);
    EXPECT_TRUE(o.GridLines);
    EXPECT_EQ(o.LarguraColuna, 0);
    EXPECT_EQ(o.PastaExtrairFixa, "/fixed");
    EXPECT_EQ(o.Virus, "/scan");
    EXPECT_EQ(o.Email, "");
    EXPECT_EQ(o.Visualizador, "");
}

TEST(Options, DialogGeometryDefaultsByScreenWidthAndRoundTrip) {
    TempDir t;
    platform::IniFile ini((t / "morvelan.ini").string());
    const TDialogGeometry narrow = ReadDialogGeometry(ini, 700), wide = ReadDialogGeometry(ini, 701);
    EXPECT_EQ(narrow.Height, 425);
    EXPECT_EQ(narrow.Width, 571);
    EXPECT_EQ(narrow.Split, 159);
    EXPECT_EQ(wide.Height, 471);
    EXPECT_EQ(wide.Width, 715);
    EXPECT_EQ(wide.Split, 211);
    EXPECT_FALSE(narrow.Maximized || narrow.Tree || narrow.List);

    TDialogGeometry g{500, 800, true, 250, true, false};
    WriteDialogGeometry(ini, g);
    EXPECT_EQ(ini.ReadString(MainMenuSection, "DialogState", ""), "1");
    EXPECT_EQ(ini.ReadString(MainMenuSection, "DialogArvore", ""), "SIM");
    EXPECT_EQ(ini.ReadString(MainMenuSection, "DialogLista", ""), "NAO");
    const TDialogGeometry back = ReadDialogGeometry(ini, 640);
    EXPECT_EQ(back.Height, 500);
    EXPECT_EQ(back.Width, 800);
    EXPECT_TRUE(back.Maximized);
    EXPECT_EQ(back.Split, 250);
    EXPECT_TRUE(back.Tree);
    EXPECT_FALSE(back.List);
    ini.WriteString(MainMenuSection, "DialogState", "7");
    EXPECT_TRUE(ReadDialogGeometry(ini, 640).Maximized); // any non-zero maximises
}

} // namespace
} // namespace mv
