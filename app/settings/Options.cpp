#include "app/settings/Options.h"

#include "app/common/StrUtils.h"
#include "platform/FileSystem.h"

namespace mv {
namespace {

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

int16_t ReadMode(const platform::IniFile& ini, const char* key, const char* defaultText) {
    return static_cast<int16_t>(
        StrToIntNoDots(ini.ReadString(OptionsSection, key, defaultText), StrToIntNoDots(defaultText, 0)));
}

bool ReadYesNo(const platform::IniFile& ini, const char* key) {
    return SimNaoToBool(ini.ReadString(OptionsSection, key, "SIM"));
}

} // namespace

bool SimNaoToBool(const std::string& text) {
    const std::string value = Upper(TrimText(text));
    return value == "S" || value == "T" || value == "V" || value == "SIM";
}

std::string BoolToSimNao(bool value) {
    return value ? "SIM" : "NAO";
}

std::string SystemTempFolder() {
    std::string folder = platform::Fs().TempDirectory();
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

std::string NormaliseTempFolder(const std::string& folder) {
    std::string value = TrimText(folder);
    if (value.empty()) return SystemTempFolder();
    if (value.back() != '/') value += '/';
    return value;
}

void ResetOptions(TOptions& options) {
    options.GridLines = true;
    options.Associacao = true;
    options.Sons = true;
    options.MenudeContexto = true;
    options.LarguraColuna = 0;
    options.PastaIniciar = options.PastaExtrair = options.PastaAdicionar = pfLastUsed;
    options.Visualizador.clear();
    options.Email.clear();
    options.PastaTemporaria = SystemTempFolder();
}

void ReadOptions(const platform::IniFile& ini, TOptions& options) {
    // Only a missing key marks a first run: a hand-edited or damaged value must not wipe
    // the user's viewer, scanner and folders.
    if (!ini.ValueExists(OptionsSection, "GridLines")) {
        ResetOptions(options);
        return;
    }
    options.GridLines = SimNaoToBool(ini.ReadString(OptionsSection, "GridLines", ""));
    options.Associacao = ReadYesNo(ini, "Associacao");
    options.Sons = ReadYesNo(ini, "Sons");
    options.MenudeContexto = ReadYesNo(ini, "MenudeContexto");
    options.LarguraColuna = ReadMode(ini, "LarguraColuna", "0");
    options.PastaIniciar = ReadMode(ini, "PastaIniciar", "2");
    options.PastaIniciarFixa = ini.ReadString(OptionsSection, "PastaIniciarFixa", "");
    options.UltimaPastaIniciar = ini.ReadString(OptionsSection, "UltimaPastaIniciar", "");
    options.PastaExtrair = ReadMode(ini, "PastaExtrair", "2");
    options.PastaExtrairFixa = ini.ReadString(OptionsSection, "PastaExtrairFixa", "");
    options.UltimaPastaExtrair = ini.ReadString(OptionsSection, "UltimaPastaExtrair", "");
    options.PastaAdicionar = ReadMode(ini, "PastaAdicionar", "2");
    options.PastaAdicionarFixa = ini.ReadString(OptionsSection, "PastaAdicionarFixa", "");
    options.UltimaPastaAdicionar = ini.ReadString(OptionsSection, "UltimaPastaAdicionar", "");
    options.Visualizador = ini.ReadString(OptionsSection, "Visualizador", "");
    options.Virus = ini.ReadString(OptionsSection, "Virus", "");
    options.VirusParametros = ini.ReadString(OptionsSection, "VirusParametros", "");
    options.Email = ini.ReadString(OptionsSection, "Email", "");
    options.PastaTemporaria = NormaliseTempFolder(ini.ReadString(OptionsSection, "PastaTemporaria", ""));
}

void WriteOptions(platform::IniFile& ini, const TOptions& options) {
    auto text = [&](const char* key, const std::string& value) { ini.WriteString(OptionsSection, key, value); };
    text("GridLines", BoolToSimNao(options.GridLines));
    text("Associacao", BoolToSimNao(options.Associacao));
    text("Sons", BoolToSimNao(options.Sons));
    text("MenudeContexto", BoolToSimNao(options.MenudeContexto));
    text("LarguraColuna", std::to_string(options.LarguraColuna));
    text("PastaIniciar", std::to_string(options.PastaIniciar));
    text("PastaIniciarFixa", TrimText(options.PastaIniciarFixa));
    text("UltimaPastaIniciar", TrimText(options.UltimaPastaIniciar));
    text("PastaExtrair", std::to_string(options.PastaExtrair));
    text("PastaExtrairFixa", TrimText(options.PastaExtrairFixa));
    text("UltimaPastaExtrair", TrimText(options.UltimaPastaExtrair));
    text("PastaAdicionar", std::to_string(options.PastaAdicionar));
    text("PastaAdicionarFixa", TrimText(options.PastaAdicionarFixa));
    text("UltimaPastaAdicionar", TrimText(options.UltimaPastaAdicionar));
    text("Visualizador", TrimText(options.Visualizador));
    text("Virus", TrimText(options.Virus));
    text("VirusParametros", TrimText(options.VirusParametros));
    text("Email", options.Email);
    text("PastaTemporaria", options.PastaTemporaria);
}

TDialogGeometry ReadDialogGeometry(const platform::IniFile& ini, int screenWidth) {
    const bool small = screenWidth <= 700;
    TDialogGeometry g;
    auto number = [&](const char* key, int fallback) {
        return StrToIntNoDots(ini.ReadString(MainMenuSection, key, std::to_string(fallback)), fallback);
    };
    g.Height = number("DialogAltura", small ? 425 : 471);
    g.Width = number("DialogLargura", small ? 571 : 715);
    g.Maximized = number("DialogState", 0) != 0;
    g.Split = number("DialogSplit", small ? 159 : 211);
    g.Tree = SimNaoToBool(ini.ReadString(MainMenuSection, "DialogArvore", "N"));
    g.List = SimNaoToBool(ini.ReadString(MainMenuSection, "DialogLista", "N"));
    return g;
}

void WriteDialogGeometry(platform::IniFile& ini, const TDialogGeometry& g) {
    ini.WriteString(MainMenuSection, "DialogAltura", std::to_string(g.Height));
    ini.WriteString(MainMenuSection, "DialogLargura", std::to_string(g.Width));
    ini.WriteString(MainMenuSection, "DialogState", g.Maximized ? "1" : "0");
    ini.WriteString(MainMenuSection, "DialogSplit", std::to_string(g.Split));
    ini.WriteString(MainMenuSection, "DialogArvore", BoolToSimNao(g.Tree));
    ini.WriteString(MainMenuSection, "DialogLista", BoolToSimNao(g.List));
}

} // namespace mv
