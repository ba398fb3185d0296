#pragma once
// The program's options in "morvelan.ini", section "Configuracoes": read when the main
// window is created, written when it is destroyed, reset to their first-run values by
// the options dialog. The same file keeps, in "Menu Principal", the size and view of the
// open and save dialogs.
#include "platform/IniFile.h"

#include <cstdint>
#include <string>

namespace mv {

constexpr const char* OptionsSection = "Configuracoes";
constexpr const char* MainMenuSection = "Menu Principal";

// Folder choices of PastaIniciar, PastaExtrair and PastaAdicionar.
constexpr int16_t pfCurrentOrArchive = 1, pfLastUsed = 2, pfFixed = 3;

struct TOptions {
    bool GridLines = true;
    bool Associacao = true;
    bool Sons = true;
    bool MenudeContexto = true;
    int16_t LarguraColuna = 0; // 0 columns sized to their content, 1 sized by the user
    int16_t PastaIniciar = pfLastUsed;
    std::string PastaIniciarFixa, UltimaPastaIniciar;
    int16_t PastaExtrair = pfLastUsed;
    std::string PastaExtrairFixa, UltimaPastaExtrair;
    int16_t PastaAdicionar = pfLastUsed;
    std::string PastaAdicionarFixa, UltimaPastaAdicionar;
    // Viewer for entries whose type has no application; empty: the user's default
    // application for plain text.
    std::string Visualizador;
    std::string Virus, VirusParametros;
    std::string Email;
    // Temporary folder of every operation, always ending in "/".
    std::string PastaTemporaria;

    bool operator==(const TOptions&) const = default;
};

// "S", "T", "V" or "SIM" in any case (blanks around ignored) is yes, anything else no.
bool SimNaoToBool(const std::string& text);
// "SIM" or "NAO".
std::string BoolToSimNao(bool value);

// The system's temporary folder with a final "/".
std::string SystemTempFolder();
// A temporary-folder option as the operations use it: trimmed, with a final "/", and the
// system's temporary folder when empty.
std::string NormaliseTempFolder(const std::string& folder);

// Loads the options. A file without the GridLines key is a first run: the options get
// their first-run values (ResetOptions) and nothing more is read. Otherwise every key is
// read with the yes/no rule and its default when missing.
void ReadOptions(const platform::IniFile& ini, TOptions& options);
// The first-run values; the fixed, last-used and scanner texts keep theirs.
void ResetOptions(TOptions& options);
// Writes every key: yes/no as "SIM"/"NAO", numbers in decimal, texts trimmed except
// Email and PastaTemporaria, written as held.
void WriteOptions(platform::IniFile& ini, const TOptions& options);

// The open and save dialogs' size and view (one set of keys for both).
struct TDialogGeometry {
    int Height = 0;
    int Width = 0;
    bool Maximized = false;
    int Split = 0;
    bool Tree = false; // the folder tree is shown
    bool List = false; // list view (else details)
};

// Defaults by the screen's width: up to 700 pixels 425 x 571 with the splitter at 159,
// wider 471 x 715 at 211.
TDialogGeometry ReadDialogGeometry(const platform::IniFile& ini, int screenWidth);
void WriteDialogGeometry(platform::IniFile& ini, const TDialogGeometry& geometry);

} // namespace mv
