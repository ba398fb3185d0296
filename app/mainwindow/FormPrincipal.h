#pragma once
// The archive manager's main window: its menu bar, the docked toolbars, the archive
// list (a virtual list served by TArchiveList), the explorer pane, the status bar
// with its five panels and the floating progress window. It is the view the archive
// opener fills, the place the commands that choose the open archive start from, and
// it keeps its geometry, toolbars, columns, explorer pane and reopen list between
// runs ("morvelan.ini" and the registry store).
#include "app/mainwindow/ArchiveList.h"
#include "app/mainwindow/ArchiveOpener.h"
#include "app/mainwindow/MainWindowView.h"
#include "app/mainwindow/ProgramStart.h"
#include "app/mainwindow/WindowState.h"
#include "app/operations/AddCommand.h"
#include "app/operations/ArchiveOperations.h"
#include "app/settings/Options.h"
#include "app/settings/ReopenList.h"
#include "platform/ui/Form.h"

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace mv {

class TArchiveOperations;
class TButton;
class TCommandLine;
class TExtListView;
class TMainCommands;
class TDockToolbar;
class TDropFiles;
class TExplorerPane;
class TFormPlacement;
class THistMenu;
class TLabel;
class TMenuBar;
class TMenuItem;
class TMvMainMenu;
class TPanel;
class TProgressBar;
class TSpeedButton;
class TToolDock;
class TToolWindow;

// The window's own process-wide state.
struct TMainWindowStart {
    TStartDecision Decision;
    int ArgumentCount = 0; // the program's arguments (its own name not counted)
};

class TFormPrincipal : public TForm, public TMainWindowView {
public:
    explicit TFormPrincipal(TComponent* owner, TMainWindowStart start = {});
    ~TFormPrincipal() override;

    // ---- components
    TMvMainMenu* MenuPrincipal = nullptr;
    TMenuBar* MenuBar1 = nullptr;
    TMenuItem *Arquivo1 = nullptr, *Novo1 = nullptr, *AbrirArquivo1 = nullptr, *Reabrir1 = nullptr,
              *mnuFecharArquivo1 = nullptr, *Sair1 = nullptr;
    TMenuItem *Acoes1 = nullptr, *mnuAdicionar1 = nullptr, *Extrair1 = nullptr, *Excluir1 = nullptr,
              *Visualizar1 = nullptr, *AntiVirus1 = nullptr, *Sfx1 = nullptr, *Email1 = nullptr,
              *Refresh1 = nullptr, *EspecificarTipo1 = nullptr;
    TMenuItem *Opcoes1 = nullptr, *Explorer1 = nullptr, *Ordenar1 = nullptr;
    std::array<TMenuItem*, 4> EstiloItems{}; // large icons, small icons, list, details
    TMenuItem *Ajuda1 = nullptr, *AjudadoMorvelan1 = nullptr;
    THistMenu* HistMenu = nullptr;
    TToolDock* DockSuperior = nullptr;
    TDockToolbar *tbAcao = nullptr, *tbUtilitario = nullptr;
    TSpeedButton *NovoBtn = nullptr, *AbrirBtn = nullptr, *AdicionarBtn = nullptr, *ExtrairBtn = nullptr;
    TSpeedButton *ExplorerBtn = nullptr, *ExecutaveisBtn = nullptr, *AntiVirusBtn = nullptr, *EmailBtn = nullptr;
    TPanel* PanelExplorer = nullptr;
    TExtListView* ArquivosLv = nullptr;
    TPanel* StatusBar1 = nullptr;
    std::array<TPanel*, 5> StatusFrames{};
    std::array<TLabel*, 5> StatusPanels{};
    TPanel* StatusSimpleFrame = nullptr;
    TLabel* StatusSimple = nullptr;
    TToolWindow* ProgressWindow = nullptr;
    TLabel *ProgressFolderLbl = nullptr, *ProgressFileLbl = nullptr, *ProgressMessageLbl = nullptr;
    TProgressBar* ProgressBar = nullptr;
    TButton* CancelarBtn = nullptr;
    TFormPlacement* FormPlacement = nullptr;

    // ---- state
    TArchiveList& List() { return FList; }
    TArchiveOpener& Opener() { return *FOpener; }
    TReopenList& History() { return FHistory; }
    TOptions& Options() { return FOptions; }
    const std::vector<std::string>& StartFailures() const { return FStartFailures; }
    const std::vector<std::string>& ShutdownFailures() const { return FShutdownFailures; }
    // The exit code the window asks for (QuitMarker after a command-line verb).
    int ExitCode() const { return FExitCode; }
    // The texts of the status bar as shown: the five panels, or the one simple text.
    std::string StatusPanelText(int index) const;
    std::string StatusSimpleText() const;
    bool StatusSimpleMode() const;
    // The verb runner (the verbs come with their own commands); it answers the exit code.
    std::function<int(const TStartDecision&)> RunVerb;

    // ---- commands
    void AbrirArquivo1Click();
    void HistMenuClick(const std::string& caption);
    void mnuFecharArquivo1Click();
    void Refresh1Click();
    void EspecificarTipo1Click();
    void Sair1Click();
    void AjudadoMorvelan1Click();
    void Ordenar1Click();
    void Explorer1Click();
    void EstiloClick(int style);
    void StatusBar1Click();
    // Search: the search form on the machine's drives; a result it chose is opened here.
    TMenuItem* Procurar1 = nullptr;
    void ProcurarBtnClick();

    // ---- options dialog and explorer pane
    TMenuItem* Configurar1 = nullptr;
    // The options dialog on one of its pages; applying changes the options in memory.
    void ConfigBtnClick(int page = 0);
    TExplorerPane& Explorer() { return *FExplorer; }
    TDropFiles& Drops() { return *FDrops; }
    // The command line of this run, once: a verb, or the archive to open.
    void ProcessCommandLine();
    // The message that runs ProcessCommandLine once the message loop runs.
    static constexpr uint32_t WM_PROCESSCOMMANDLINE = WM_USER + 0x101;
    // The reopen menu shows the reopen list again.
    void RefreshReopenMenu();

    // ---- archive operations
    // Extraction, addition and deletion on the open archive, with the busy state, the
    // progress window's Cancel and the temporary folders; every command reaches them here.
    TArchiveOperations& Operations() { return *FOperations; }
    // The extract command (menu Extrair, ExtrairBtn).
    void mnuExtrair1Click();
    // The progress window's Cancel.
    void CancelarBtnClick();
    // Adding: the add command (menu Adicionar, AdicionarBtn) on the open archive, and
    // New (menu Novo, NovoBtn): the save dialog, then the add command for a new
    // archive. The command-line verbs reach the command through AddCommand().
    TAddCommand& AddCommand() { return *FAddCommand; }
    void mnuAdicionar1Click();
    void Novo1Click();
    // The save dialog of New (title 63): true with the chosen name; unset, the program's.
    std::function<bool(const std::string& initialDir, std::string& fileName)> NewArchiveDialog;

    // ---- the commands on the open archive, the letter keys and the verbs
    TMenuItem* Scripts1 = nullptr;
    TMainCommands& Commands() { return *FCommands; }
    TCommandLine& CommandLine() { return *FCommandLine; }
    void ArquivosLvDblClick();
    void mnuExcluir1Click();
    void AntiVirusBtnClick();
    void BtnEmailClick();
    void ExecutaveisBtnClick();
    void ScriptsBtnClick();
    // The window's letter keys (the list and the window see them; text fields do not).
    void FormKeyPress(char& key);
    // Commands other parts of the program bind (unset: the key does nothing).
    std::function<void(const std::string& page)> OptionsCommand;
    std::function<void()> SearchCommand;

    // ---- what ends the window (the program calls them in its order)
    void FormClose();
    void FormDestroy();

    // ---- the view the opener fills
    void SetVirtualItemCount(int count) override;
    int CurrentSortColumn() const override;
    bool CurrentSortAscending() const override;
    std::vector<int> SelectedItems() const override;
    void ClearSelection() override;
    void BeginListUpdate() override;
    void EndListUpdate() override;
    void AutoSizeColumns() override;
    void SetStatusText(const std::string& text) override;
    void SetStatusPanels(const std::array<std::string, 5>& panels) override;
    void SetCaption(const std::string& caption) override;
    void EnableCommands(const TCommandState& state) override;
    void SetBusyCursor(bool busy) override;
    void ShowProgressWindow(bool visible) override;
    void SetProgressCaption(const std::string& text) override;
    void SetProgressFolder(const std::string& text) override;
    void SetProgressFile(const std::string& text) override;
    void SetProgressMessage(const std::string& text) override;
    void SetProgressPercent(int percent) override;
    void ProcessMessages() override;
    int ShowMessage(const std::string& text, uint8_t kind, uint16_t buttons) override;
    int AskPassword(const std::string& entryName, std::string& password) override;
    int AskOverwrite(const std::string& title, const std::string& existingSize, const std::string& existingTime,
                     const std::string& newSize, const std::string& newTime) override;

protected:
    void Dispatch(TMessage& message) override;

private:
    void CreateMenus();
    void CreateToolbars();
    void CreateList();
    void CreateStatusBar();
    void CreateProgressWindow();
    void LoadSavedState();
    TExplorerSettings CurrentExplorerSettings() const;
    void ApplyExplorerSettings(const TExplorerSettings& settings);
    void LayoutStatusPanels();
    void CreateOptionsAndExplorer();
    std::unique_ptr<TDropFiles> FDrops;
    std::unique_ptr<TExplorerPane> FExplorer;
    void CreateOperations();
    void OperationBusyChanged(bool busy);
    void CreateCommands();

    TMainWindowStart FStart;
    TArchiveList FList;
    TReopenList FHistory;
    TOptions FOptions;
    std::unique_ptr<TArchiveOpener> FOpener;
    std::unique_ptr<TMainCommands> FCommands;
    std::unique_ptr<TCommandLine> FCommandLine;
    std::array<std::string, ArcTypeCount> FTypeNames;
    int FExplorerStyle = 4;
    int FExitCode = 0;
    bool FCommandLineDone = false;
    bool FClosed = false;
    bool FDestroyed = false;
    int FBusy = 0;
    std::vector<std::string> FStartFailures;
    std::vector<std::string> FShutdownFailures;

    // ---- archive operations
    std::unique_ptr<TOperationPrompts> FPrompts;
    std::unique_ptr<TArchiveOperations> FOperations;
    std::unique_ptr<TAddCommand> FAddCommand;
    // While an operation runs: every command's enabled state before it was disabled,
    // and the list's and the window's own handlers, put back when it ends.
    std::vector<std::pair<TMenuItem*, bool>> FBusyMenuStates;
    std::vector<std::pair<TSpeedButton*, bool>> FBusyButtonStates;
    TNotifyEvent FBusyListDblClick;
    TKeyEvent FBusyListKeyDown;
    TKeyPressEvent FBusyListKeyPress, FBusyFormKeyPress;
    bool FBusyPaneEnabled = true;
    bool FCommandsHeld = false;
    // The command state the opener gave while the commands were held.
    std::unique_ptr<TCommandState> FHeldCommandState;
};

} // namespace mv
