#pragma once
// The options dialog: three pages over the program's in-memory options (the main
// window holds them and writes them to morvelan.ini when it ends). Showing copies the
// options into the controls; "A&plicar" copies the controls back, switches the archive
// list's grid lines and registers or removes the file managers' context menu at once
// when that choice changed. Reset only refills the controls with the first-run values,
// so Cancel after Reset leaves every option as it was.
#include "app/settings/Options.h"
#include "platform/ui/Form.h"

#include <functional>
#include <string>

namespace mv {

class TBitBtn;
class TButton;
class TCheckBox;
class TEdit;
class TExtPageControl;
class TExtTabSheet;
class TGroupBox;
class TLabel;
class TMvFolderBrowseDlg;
class TRadioButton;
class TRadioGroup;

// The pages, in order.
constexpr int OptionsPagePrincipal = 0, OptionsPagePastas = 1, OptionsPageProgramas = 2;

class TFormConfig : public TForm {
public:
    // options: the main window's options, changed only by "A&plicar".
    TFormConfig(TComponent* owner, TOptions& options);
    ~TFormConfig() override;

    TExtPageControl* PageControl1 = nullptr;
    TExtTabSheet *TabSheet1 = nullptr, *TabSheet2 = nullptr, *LocalProgramasTb = nullptr;
    // main page
    TCheckBox *ChkGridLines = nullptr, *ChkAssociacao = nullptr, *ChkSons = nullptr, *MenuContextoChk = nullptr;
    TRadioGroup* RbLarguraColuna = nullptr;
    TButton* ResetaBtn = nullptr;
    // default folders
    TRadioButton *RbIniciar1 = nullptr, *RbIniciar2 = nullptr, *RbIniciar3 = nullptr;
    TEdit* IniciarPastaFixaEdit = nullptr;
    TButton* DialogBtn = nullptr;
    TRadioButton *RbExtrair1 = nullptr, *RbExtrair2 = nullptr, *RbExtrair3 = nullptr;
    TEdit* ExtrairPastaFixaEdit = nullptr;
    TButton* DialogExtrairBtn = nullptr;
    TRadioButton *RbAdicionar1 = nullptr, *RbAdicionar2 = nullptr, *RbAdicionar3 = nullptr;
    TEdit* AdicionarPastaFixaEdit = nullptr;
    TButton* AdicionarDialogBtn = nullptr;
    TEdit* PastaTemporariaEdit = nullptr;
    TButton* BitBtn3 = nullptr;
    // program locations
    TEdit* VisualizadorEdit = nullptr;
    TButton* VisualizadorDialog = nullptr;
    TEdit *VirusEdit = nullptr, *VirusParametrosEdit = nullptr;
    TButton* VirusBtn = nullptr;
    TEdit* EmailPrgEdit = nullptr;
    TButton* EmailBtn = nullptr;
    TLabel* NotaLbl = nullptr;
    TBitBtn *BitBtn1 = nullptr, *BitBtn2 = nullptr;
    TMvFolderBrowseDlg* FolderDialog = nullptr;

    // What applying does beyond the options: the archive list's grid lines, and the
    // registration of the context menu (the program's own by default).
    std::function<void(bool on)> ApplyGridLines;
    std::function<void(bool on)> RegisterContextMenu;

    // The controls show these options.
    void FillControls(const TOptions& options);
    // "A&plicar": the controls become the options.
    void BitBtn1Click();
    void ResetaBtnClick();
    // A folder button: the fixed radio of its group (when it has one) is checked, the
    // folder dialog runs, and the chosen folder goes into the field.
    void ChooseFolder(TRadioButton* fixedRadio, TEdit* field);
    // A program button: the open dialog runs, and the chosen file goes into the field.
    void ChooseProgram(TEdit* field);

private:
    TOptions& FOptions;
};

// Shows the options dialog modally on a page; true when the options were applied.
bool ShowOptionsDialog(TOptions& options, int page = OptionsPagePrincipal,
                       std::function<void(bool on)> applyGridLines = {});

} // namespace mv
