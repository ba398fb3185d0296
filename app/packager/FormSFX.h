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
    TRadioButton* RgModoBasico = nullptr;
    TRadioButton* RgModoProfissional = nullptr;
    TRadioButton* Rg16Bits = nullptr;
    TRadioButton* Rg32Bits = nullptr;
    // Page 2
    TEdit* TituloEdit = nullptr;
    TEdit* Memo = nullptr; // the introduction, its lines separated by line breaks
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
    TEdit* ItemSelecionado = nullptr;
    // Page 6
    TCheckBox* GrupoProgramasChk = nullptr;
    TEdit* TituloRegistroEdit = nullptr;
    std::array<std::array<TEdit*, 2>, 11> ProgramGroupGrid {};
    TCheckBox* ExtensoesChk = nullptr;
    std::array<std::array<TEdit*, 3>, 11> ExtensaoGrid {};
    TListBox* ArquivosLb = nullptr;
    // Page 7
    TCheckBox* MostrarTextoChk = nullptr;
    TComboBox* ArquivoTextoEdit = nullptr;
    TButton* Especial1Btn = nullptr;
    TCheckBox* ExecutarAplicacaoChk = nullptr;
    TComboBox* AplicacaoEdit = nullptr;
    TButton* Especial2Btn = nullptr;
    TComboBox* ParametrosEdit = nullptr;
    TButton* Especial3Btn = nullptr;
    TCheckBox* InstalacaoChk = nullptr;
    TEdit* ImagemEscolhidaEdit = nullptr;
    TButton* IconePadraoBtn = nullptr;
    // Page 8
    TEdit* DestinoEdit = nullptr;
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
    // The folder-menu buttons: 1 default folder, 2 readme, 3 application, 4 parameters.
    void EspecialBtnClick(TSfxFolderTarget target);
    void FolderMenuClick(int item);
    void TreeViewChange();
    void ItemSelecionadoExit();
    void GrupoProgramasChkClick();
    void ExtensoesChkClick();
    void MostrarTextoChkClick();
    void ExecutarAplicacaoChkClick();
    void IconePadraoBtnClick();
    void CriarBtnClick();
    void SalvarBtnClick();

    // Control values into the wizard, and the wizard's state into the controls.
    void ReadControls();
    void ShowWizard();

private:
    void ShowStep();
    void EnableBoxes();
    TSfxWizard FWizard;
    std::string FArchive;
    TSfxFolderTarget FMenuTarget = TSfxFolderTarget::DefaultFolder;
    bool FShowing = false;
};

} // namespace mv
