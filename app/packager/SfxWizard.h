#pragma once
// The logic of the self-extractor wizard (the form TFormSFX shows it): its
// steps and modes, the customisable texts and their tree, the folder menu, the
// program-group and association grids, the final actions and the destination.
// No widgets here; the form feeds it the user's actions and shows its state.
#include <array>
#include <string>
#include <vector>

namespace mv {

// Everything the wizard collects; what the settings file saves and the build reads.
struct TSfxSettings {
    bool ModoBasico = true;
    bool ModoProfissional = false;
    bool Versao16 = false;
    bool Versao32 = true;
    std::string Titulo;
    std::vector<std::string> Introducao; // the memo's lines
    std::string PastaDefault;
    bool ModificaPasta = true;
    bool CriarPasta = true;
    bool BarraProgresso = true;
    bool PerguntarSobrescrever = true;
    bool SempreSobrescrever = false;
    bool NuncaSobrescrever = false;
    bool NenhumaProtecao = true;
    bool ProtecaoComSenha = false;
    bool ProtecaoExclusiva = false;
    std::string Senha;
    std::array<std::string, 36> Textos;
    bool GrupoProgramas = false;
    std::string TituloRegistro;
    // Row 0 is the title row; rows 1 to 10 hold the data.
    std::array<std::array<std::string, 2>, 11> ProgramGroupGrid;
    bool Extensoes = false;
    std::array<std::array<std::string, 3>, 11> ExtensaoGrid;
    bool MostrarTexto = false;
    std::string ArquivoTexto;
    bool ExecutarAplicacao = false;
    std::string Aplicacao;
    std::string Parametros;
    bool Instalacao = false;
    std::string Icone;
    std::string Destino;

    bool operator==(const TSfxSettings&) const = default;
};

// The customisable texts: 33 used entries, in the order of the tree.
constexpr int SfxTextCount = 33;
// Group nodes of the tree (they hold the marker, string 510, and are never edited).
bool IsSfxGroupNode(int index);
// The tree caption's string number of an entry (0 for the fixed caption "OK").
int SfxTextCaption(int index);
// The default text of an entry in the current language (the marker for a group node).
std::string SfxDefaultText(int index);

// Where a folder-menu item appends its placeholder.
enum class TSfxFolderTarget { DefaultFolder = 1, Readme = 2, Application = 3, Parameters = 4 };

// The folder menu's seven items (strings 565 to 571) and what each appends.
constexpr int SfxFolderMenuCount = 7;
int SfxFolderMenuCaption(int item);
std::string SfxFolderMenuPlaceholder(int item);

// The extension the installers get.
inline constexpr const char* SfxExtension = ".run";

class TSfxWizard {
public:
    TSfxWizard();

    TSfxSettings& Settings() { return FSettings; }
    const TSfxSettings& Settings() const { return FSettings; }

    // Back to step 1 with every default; the destination is the archive's name
    // with the installer's extension.
    void ResetWizard(const std::string& archiveName);
    // Pages 3 to 7 back to their defaults (the grids keep their cells).
    void ResetPages();

    int Step() const { return FStep; }
    bool Basic() const { return FSettings.ModoBasico; }
    void Forward();
    void Back();
    bool CanGoBack() const { return FStep != 1; }
    bool CanGoForward() const { return FStep != 8; }
    // The page shown for the current step (1 to 8).
    int Page() const { return FStep; }
    // "Passo 1..2", ..., or on the final page "Criando o arquivo SFX".
    std::string Caption() const;

    // The mode buttons: the mode, the caption of its first step, pages 3 to 7 reset.
    void ChooseBasicMode();
    void ChooseProfessionalMode();

    // The text editor: selecting a node shows its text (enabled) or, for a
    // group node, empties and disables the editor; leaving the editor stores it.
    void SelectText(int index);
    bool EditorEnabled() const { return FEditorEnabled; }
    const std::string& EditorText() const { return FEditorText; }
    void SetEditorText(const std::string& text) { FEditorText = text; }
    void LeaveEditor();

    // A folder-menu item (0 to 6) for a target: appends its placeholder and "\".
    void AppendPlaceholder(TSfxFolderTarget target, int item);
    std::string& FolderTargetText(TSfxFolderTarget target);

    // The boxes of the final actions: unticking run-after unticks install mode.
    void SetExecutarAplicacao(bool on);

    // The default icon: the resource folder's "sp.ico".
    static std::string DefaultIcon();
    void SetDefaultIcon() { FSettings.Icone = DefaultIcon(); }

    // The destination chosen in a save dialog: its extension becomes the installer's.
    void SetDestinationFromDialog(const std::string& path);

private:
    TSfxSettings FSettings;
    int FStep = 1;
    int FEditorIndex = -1;
    bool FEditorEnabled = false;
    std::string FEditorText;
};

} // namespace mv
