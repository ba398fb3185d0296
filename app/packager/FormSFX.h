#pragma once
// The self-extractor wizard's window: seven pages and a final page over the
// extended page control, the navigation buttons, and the build and save
// buttons of the final page. Its logic lives in TSfxWizard; this form shows the
// wizard's state in its controls and reads it back before each action.
#include "app/packager/SfxWizard.h"
#include "platform/ui/Form.h"

#include <array>
#include <string>
#include <vector>

namespace mv {

class TButton;
class TCheckBox;
class TComboBox;
class TEdit;
class TExtPageControl;
class TGroupBox;
class TLabel;
class TListBox;
class TMemo;
class TProgressBar;
class TRadioButton;

class TFormSFX : public TForm {
public:
    // archive: the archive the installer is made of; entries: its entry names.
    TFormSFX(TComponent* owner, std::string archive, const std::vector<std::string>& entries);

    TSfxWizard& Wizard() { return FWizard; }

    // Back to step 1 with every default (the destination from the archive's name).
    void ResetWizard();

    TExtPageControl* Pages = nullptr;
    // Page 1
    TEdit* ConfigEdit = nullptr;
    TButton* OpenBtn = nullptr;
    TRadioButton* RgModoBasico = nullptr;
    TRadioButton* RgModoProfissional = nullptr;
    TRadioButton* Rg16Bits = nullptr;
    TRadioButton* Rg32Bits = nullptr;
    // Page 2
    TEdit* TituloEdit = nullptr;
    TMemo* Memo = nullptr; // the introduction
    TEdit* PastaDefaultEdit = nullptr;
    TButton* EspecialBtn = nullptr;
    // Page 3
    TCheckBox* ModificaPastaChk = nullptr;
    TCheckBox* CriarPastaChk = nullptr;
    TCheckBox* BarraProgressoChk = nullptr;
    TRadioButton* RgPerguntaSobrescrever = nullptr;
    TRadioButton* RgSempreSobrescrever = nullptr;
    TRadioButton* RgNuncaSobrescrever = nullptr;
    // Page 4
    TRadioButton* RgNenhumaProtecao = nullptr;
    TRadioButton* RgProtecaoComSenha = nullptr;
    TEdit* SenhaEdit = nullptr;
    TRadioButton* RgProtecaoExclusiva = nullptr;
    // Page 5
    TListBox* TreeView = nullptr;
    TMemo* ItemSelecionado = nullptr;
    // Page 6
    TCheckBox* GrupoProgramasChk = nullptr;
    TEdit* TituloRegistroEdit = nullptr;
    std::array<std::array<TEdit*, 2>, 11> ProgramGroupGrid {};
    TCheckBox* ExtensoesChk = nullptr;
    std::array<std::array<TEdit*, 3>, 11> ExtensaoGrid {};
    TButton* PGButton = nullptr;  // the archive's files for the program-group grid
    TButton* EXTButton = nullptr; // the archive's files for the extension grid
    TListBox* ArquivosLb = nullptr;
    // Page 7
    TCheckBox* MostrarTextoChk = nullptr;
    TComboBox* ArquivoTextoEdit = nullptr;
    TButton* Especial1Btn = nullptr;
    TButton* Browse1Btn = nullptr;
    TCheckBox* ExecutarAplicacaoChk = nullptr;
    TComboBox* AplicacaoEdit = nullptr;
    TButton* Especial2Btn = nullptr;
    TButton* Browse2Btn = nullptr;
    TComboBox* ParametrosEdit = nullptr;
    TButton* Especial3Btn = nullptr;
    TButton* Browse3Btn = nullptr;
    TCheckBox* InstalacaoChk = nullptr;
    TEdit* ImagemEscolhidaEdit = nullptr;
    TButton* IconePadraoBtn = nullptr;
    TButton* ProcurarBtn = nullptr;
    // Page 8
    TEdit* DestinoEdit = nullptr;
    TButton* DestinoBrowser = nullptr;
    TButton* CriarBtn = nullptr;
    TButton* SalvarBtn = nullptr;
    TLabel* StatusLb = nullptr;
    TProgressBar* ProgressBar1 = nullptr;
    // Everywhere
    TButton* VoltarBtn = nullptr;
    TButton* AvancarBtn = nullptr;
    TButton* SairBtn = nullptr;
    TListBox* FolderMenu = nullptr; // the folder menu, shown under the button that opened it

    void AvancarBtnClick();
    void VoltarBtnClick();
    void RgModoBasicoClick();
    void RgModoProfissionalClick();
    void ConfigEditChange();
    void ConfigEditExit();
    void OpenBtnClick();
    // The folder-menu buttons: 1 default folder, 2 readme, 3 application, 4 parameters.
    void EspecialBtnClick(TSfxFolderTarget target);
    void FolderMenuClick(int item);
    void TreeViewChange();
    void ItemSelecionadoExit();
    void GrupoProgramasChkClick();
    void ExtensoesChkClick();
    // The grids' browse buttons show or hide the archive's file list for the
    // grid's application cell that has the focus (else its first empty one);
    // choosing a file writes it there and hides the list.
    void PGButtonClick();
    void EXTButtonClick();
    void ArquivosLbClick();
    void MostrarTextoChkClick();
    void ExecutarAplicacaoChkClick();
    void IconePadraoBtnClick();
    void ProcurarBtnClick();
    // The browse buttons of the readme (2), the application (3) and the parameters (4).
    void BrowseBtnClick(TSfxFolderTarget target);
    void DestinoBrowserClick();
    void CriarBtnClick();
    void SalvarBtnClick();

    // Control values into the wizard, and the wizard's state into the controls.
    void ReadControls();
    void ShowWizard();

private:
    void ShowStep();
    void EnableBoxes();
    void GridButtonClick(bool extensions);
    TSfxWizard FWizard;
    std::string FArchive;
    TSfxFolderTarget FMenuTarget = TSfxFolderTarget::DefaultFolder;
    bool FShowing = false;
    TEdit* FGridCell = nullptr; // the cell the file list writes into
};

} // namespace mv
