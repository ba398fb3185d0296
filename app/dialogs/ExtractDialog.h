#pragma once
// The extract dialog: where and what to extract from the open archive. A destination
// folder (typed, picked from a ten-entry history, or chosen in the folder tree),
// whether existing files are overwritten or confirmed, whether stored folder names are
// used, and which entries (the selected ones, all, or those matching a mask). The
// history, the tree's width and visibility and the view style live in morvelan.ini.
#include "app/operations/OperationPrompts.h"
#include "platform/ui/Form.h"

#include <string>

namespace mv {

class TLabel;
class TButton;
class TBitBtn;
class TEdit;
class TCheckBox;
class TRadioGroup;
class TRadioButton;
class TGroupBox;
class TPanel;
class TSpeedButton;
class TTypeAheadCombo;
class TFormPlacement;
class TMvShellTree;
class TMvShellList;

// Sections and keys of morvelan.ini.
constexpr const char* ExtractHistorySection = "Extrair";
constexpr const char* ExtractFormSection = "Form Extrair";
constexpr int ExtractHistorySize = 10;

class TfrmExtract : public TForm {
public:
    // iniFileName: the settings file (empty: the program's morvelan.ini).
    explicit TfrmExtract(TComponent* owner, const std::string& iniFileName = {});
    ~TfrmExtract() override;

    // The folder selected in the tree (the destination offered when the form shows).
    std::string SelectedFolder() const;
    void SelectFolder(const std::string& folder);
    // The folder the folder list shows.
    std::string ListFolder() const;
    const std::string& IniFileName() const { return FIniFileName; }

    TTypeAheadCombo* DestinoCb;
    TSpeedButton* VaiBtn;
    TSpeedButton* ParentButton;
    TSpeedButton* NovaPastaBtn;
    TSpeedButton* ArvoreBtn;
    TSpeedButton* SpeedButton1;
    TSpeedButton* SpeedButton2;
    TSpeedButton* SpeedButton3;
    TSpeedButton* SpeedButton4;
    TMvShellTree* ArvoreTv;
    TPanel* Splitter1;
    TMvShellList* ArquivosLv;
    TRadioGroup* ArquivosRg;
    TCheckBox* UsaPastaChk;
    TGroupBox* ExtrairRg;
    TRadioButton* SelecionadosRb;
    TRadioButton* TodosRb;
    TRadioButton* MascaraRb;
    TEdit* MascaraEdit;
    TLabel* ExemploLbl;
    TBitBtn* ExtrairBtn;
    TBitBtn* BitBtn2 = nullptr;
    TFormPlacement* FormPlacement;

    // The view style of the folder list: 0 large icons, 1 small icons, 2 list, 3 details.
    int ViewStyle() const { return FViewStyle; }
    int TreeWidth() const;

    void ExtrairBtnClick();
    void VaiBtnClick();
    void ParentButtonClick();
    void NovaPastaBtnClick();
    void ArvoreBtnClick();

protected:
    void Resized() override;

private:
    void Layout();
    void ApplyTreeVisibility();
    void SetViewStyle(int style);
    void SaveHistory();
    void ReadSettings();
    void WriteSettings();
    // Asks whether to create a missing folder and creates it: true when it exists afterwards.
    bool OfferToCreate(const std::string& folder);
    void GoToFolder(const std::string& folder);

    std::string FIniFileName;
    int FViewStyle = 3;
    int FTreeWidth = 169;
};

// Shows the extract dialog for the choice: the proposed folder (none when it cannot be
// reached), the stored-folder choice, confirmation of overwrites, and the selected
// entries when some are selected, else all. On OK the choice holds the folder, the mask
// ("*" for all), whether only the selected entries go, the stored-folder choice and the
// overwrite mode (5 overwrite, 7 ask). False on Cancel.
bool ShowExtractDialog(TExtractChoice& choice, const std::string& iniFileName = {});

} // namespace mv
