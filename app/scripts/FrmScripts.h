#pragma once
// The backup script manager: one tab per script, the shown script's options and the
// statistics of its last run, and the commands New, Files, Analyse, Delete, Schedule,
// Run and Appearance. It owns the header line of every script file and hands a run's
// results over to the script's files.
#include "app/scripts/ScriptFiles.h"
#include "app/scripts/ScriptManager.h"
#include "app/scripts/ScriptsAppearance.h"
#include "platform/ui/Form.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace mv {

class TComponent;
class TBackupRunner;
class TToolDock;
class TDockToolbar;
class TColorButton;
class TColorPanel;
class TExtPageControl;
class TLabel;
class TEdit;
class TButton;
class TCheckBox;
class TComboBox;
class TRadioGroup;
class TGroupBox;
class TPanel;
class TTimer;
class TFormPlacement;
class TFrmArquivos;

// Shows the manager modally over owner (may be null) and returns when it closes.
// scriptName: a script to select and run as soon as the window is up (the "/S"
// switch; empty for none). unattended: the run starts by itself without its window
// and the manager closes afterwards (wait mode). Returns the exit code the manager
// leaves in wait mode: 168 when the run ended done and its test neither failed nor was
// cancelled, 169 when it did not or when no script has that name; 0 otherwise.
int ShowScriptManager(TComponent* owner, const std::string& scriptName = {}, bool unattended = false);

class TFrmScripts : public TForm {
public:
    // scriptsFolder and iniFileName: empty for the user's own.
    explicit TFrmScripts(TComponent* owner, const std::string& scriptsFolder = {},
                         const std::string& iniFileName = {});
    ~TFrmScripts() override;

    // The script to run when the window comes up (upper-cased), and wait mode.
    void SetPendingScript(const std::string& name);
    void SetWaitMode(bool value) { FWaitMode = value; }
    // The exit code of a command-line run (0 when none ran).
    int ExitCode() const { return FExitCode; }

    const std::vector<std::string>& ScriptNames() const { return FNames; }
    // The script shown on the active tab ("" when none).
    std::string ShownScript() const;
    const TScriptStore& Store() const { return FStore; }

    // Commands.
    void NovoScriptBtnClick();
    void CriarScriptBtnClick();
    void HideNewScriptBar();
    void ArquivosBtnClick();
    void VerificaScriptBtnClick();
    void ExcluiScriptBtnClick();
    void AgendarBtnClick();
    void ExecutaBtnClick();
    void AparenciaBtnClick();
    void AvisosBtnClick();
    void CriaAtalhoBtnClick();
    void DialogBtnClick();
    // A click on one of the options (volume, self-extracting, date, clear, test, update).
    void OptionClick();
    // The destination was changed.
    void DestinoChanged();
    // Writes the shown script's header from the controls.
    void LocGravaConfiguracoes();
    // Shows a script: selects its tab and reads its header into the controls.
    void ReadScriptHeader(const std::string& name);
    // The window's letter keys; true when the key was taken.
    bool FormKey(char key);

    // The look (Part of the appearance dialog): applied at once.
    TScriptsAppearance Appearance() const;
    void ApplyAppearance(const TScriptsAppearance& appearance);
    void SetIconsOnly(bool value);
    bool IconsOnly() const;
    // Docks the toolbar (0 top, 1 bottom, 2 left, 3 right) or floats it (4).
    void SetToolbarPosition(int position);
    int ToolbarPosition() const;
    // The floating shape (0 horizontal .. 3 three columns).
    void SetFloatingShape(int shape);
    int FloatingShape() const;
    // Writes "FloatRightX" of the floating shape to morvelan.ini (it depends on the
    // icons-only state too).
    void WriteFloatingShape();
    const std::string& IniFileName() const { return FIniFileName; }

    // Seams. RunRunner runs a prepared runner (default: the run window, or the run
    // itself in wait mode); StartProgram starts the scheduler; the scheduler's socket
    // and program and the desktop folder default to the user's.
    std::function<void(TBackupRunner& runner, bool unattended)> RunRunner;
    std::function<void(const std::string& program, const std::string& arguments)> StartProgram;
    std::string SchedulerSocket;
    std::string SchedulerProgram;
    bool SchedulerProgramSet = false;
    std::string DesktopFolder;
    // The analysis window is shown through this (tests inspect it); default ShowModal.
    std::function<int(TForm& form)> ShowChild;

    TToolDock* dockSuperior = nullptr;
    TToolDock* dockInferior = nullptr;
    TToolDock* dockEsquerda = nullptr;
    TToolDock* dockDireita = nullptr;
    TDockToolbar* tbAcoes = nullptr;
    TColorButton* AparenciaBtn = nullptr;
    TColorButton* NovoScriptBtn = nullptr;
    TColorButton* ArquivosBtn = nullptr;
    TColorButton* VerificaScriptBtn = nullptr;
    TColorButton* ExcluiScriptBtn = nullptr;
    TColorButton* AgendarBtn = nullptr;
    TColorButton* ExecutaBtn = nullptr;
    TExtPageControl* ScriptPageControl = nullptr;
    TColorPanel* DetalhesPn = nullptr;
    TGroupBox* UltimaGb = nullptr;
    TLabel* DestinoLabel = nullptr;
    TLabel* DataLabel = nullptr;
    TLabel* TamanhoLabel = nullptr;
    TLabel* TamanhoCompactadoLabel = nullptr;
    TLabel* TempoLabel = nullptr;
    TLabel* CopiaLabel = nullptr;
    TLabel* Testelabel = nullptr;
    TLabel* AvisosLabel = nullptr;
    TButton* AvisosBtn = nullptr;
    TGroupBox* OpcoesGb = nullptr;
    TEdit* DestinoEdit = nullptr;
    TButton* DialogBtn = nullptr;
    TCheckBox* IncluirDataChk = nullptr;
    TComboBox* CompressaoCb = nullptr;
    TRadioGroup* MultiVolumeRb = nullptr;
    TCheckBox* CriarSfx = nullptr;
    TCheckBox* LimpaDiscosChk = nullptr;
    TCheckBox* VerificarBackupChk = nullptr;
    TCheckBox* ApenasAtualizaChk = nullptr;
    TButton* CriaAtalhoBtn = nullptr;
    TPanel* ScriptTb = nullptr;
    TEdit* ScriptEdit = nullptr;
    TButton* CriarScriptBtn = nullptr;
    TTimer* TempoTm = nullptr;
    TFormPlacement* FormPlacement = nullptr;
    std::unique_ptr<TFrmArquivos> ListEditor;

protected:
    void Resized() override;

private:
    void CreateToolbar();
    void CreateDetails();
    void LayoutDetails();
    void FormShow();
    void FormCloseActions();
    void RunPendingScript();
    void AddTab(const std::string& name);
    int PageOfScript(const std::string& name) const;
    void PageChanged();
    void SetCommandsEnabled(bool value);
    TScriptOptions OptionsFromControls() const;
    void OptionsToControls(const TScriptOptions& options);
    void ApplyLabel(TLabel* label, const TLabelText& text);
    void RunShownScript();

    TScriptStore FStore;
    std::string FIniFileName;
    std::vector<std::string> FNames;
    std::vector<std::string> FPageNames; // per page; "" for a deleted script's hidden page
    TScriptHeader FHeader;
    bool FHeaderRead = false;
    std::string FPendingScript;
    bool FWaitMode = false;
    int FExitCode = 0;
    bool FUpdating = false;
    bool FShown = false;
    int FFloatingShape = 0;
    bool FOppositeSide = false;
};

} // namespace mv
