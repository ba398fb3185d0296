#pragma once
// The add dialog: what to put into an archive. The user picks files and folders from
// a shell folder list into a list of specifications (a grey mark: one file; a checked
// folder: with its subfolders; an unchecked folder: that folder only, each folder
// with a mask), chooses the archive type and its method, add or move, the kinds of
// files by attribute, multi-disk spanning or parts, how folder paths are stored and a
// password. While the user picks, the dialog counts the files, folders and bytes the
// specifications cover, and keeps for every file found the folder of the
// specification that found it, from which relative stored names are made.
#include "app/operations/AddCommand.h"
#include "platform/ui/Form.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace mv {

class TLabel;
class TBitBtn;
class TButton;
class TEdit;
class TCheckBox;
class TComboBox;
class TRadioButton;
class TGroupBox;
class TPanel;
class TImage;
class TSpeedButton;
class TFormPlacement;
class TMvShellCombo;
class TMvShellList;
class TMvCheckListBox;
class TTreeScanner;

constexpr const char* AddFormSection = "Form Adicionar";

class TfrmAddFiles : public TForm {
public:
    // iniFileName: the settings file (empty: the program's morvelan.ini).
    explicit TfrmAddFiles(TComponent* owner, const std::string& iniFileName = {});
    ~TfrmAddFiles() override;

    // ---- controls
    TMvShellCombo* MvShellCombo1;
    TMvShellList* ArquivosLv;
    TSpeedButton *ParentButton, *CheckBoxBtn;
    TSpeedButton *SpeedButton1, *SpeedButton2, *SpeedButton3, *SpeedButton4;
    TButton *btnAddDir, *RemoverItemBtn;
    TMvCheckListBox* AdicionadosLb;
    TLabel *Label1, *Label2, *Label3;
    TLabel *ArquivosLB, *PastasLb, *TamanhoLb, *CompactadosLb;
    TGroupBox* GroupBox1;
    TRadioButton *rbZip, *rbLha, *rbBh, *rbCab, *RbGnu, *RbTar, *RbJar;
    TLabel* MetodoLbl;
    TComboBox* MetodoCb;
    TLabel* AcaoLbl;
    TComboBox* AcaoCb;
    TGroupBox* GroupBox2;
    TCheckBox *ckbArchive, *ckbReadOnly, *ckbHidden, *ckbSysFile;
    TGroupBox* MultiDiscosGB;
    TComboBox* MultiDiscosCb;
    TLabel* Label6;
    TEdit* BytesEdit;
    TGroupBox* GroupBox3;
    TRadioButton *NaoGravarRb, *GravarCaminhoRelativoRb, *GravarCaminhoCompletoRb;
    TLabel* CaminhoLbl;
    TEdit* CaminhoEdit;
    TBitBtn* BtnPassword;
    TImage *CadeadoAbertoImage, *CadeadoFechadoImage;
    TPanel* ArquivosPanel;
    TLabel* DestinoLbl;
    TEdit* DestinoEdit;
    TSpeedButton* DialogBtn;
    TBitBtn *btnOK, *CancelarBtn;
    TFormPlacement* FormPlacement;

    // ---- what the add command reads after OK
    std::vector<std::string> FileSpecs;
    // Every file the scan found: its path without drive and the folder (without
    // drive) of the specification that found it; sorted by name after OK.
    std::vector<TFoundFile> Found;
    bool AnyRecursive = false;
    std::string ChosenPassword;
    int64_t FilesFound = 0, FoldersFound = 0, BytesFound = 0;
    // The program's command-line arguments: with two or more, adding does not count.
    int ArgumentCount = 0;

    // ---- operations
    // Recounts the specifications from item from on; clear empties the totals and
    // lists first and starts at item 0.
    void ScanFileSpecs(bool clear, int from);
    // Adds paths as specifications: a folder gets "/" and the mask asked for (the
    // mask prompt appears once when any folder is among them); a file is added as
    // it is (grey). An item already there, or without a path, is skipped.
    void AddItems(const std::vector<std::pair<std::string, bool>>& items);
    // Adds one specification with its mark (pre-filled lists), without counting.
    void AddSpecification(const std::string& text, bool folder, bool recursive);
    // The list items the user chose: selected ones, or the checked ones in check mode.
    std::vector<std::pair<std::string, bool>> ChosenListItems();
    // Marks an item of the folder list in check mode.
    void SetListItemChecked(int row, bool checked);
    bool ListItemChecked(int row) const;
    // The folder the shell list shows.
    std::string CurrentFolder();
    void SetCurrentFolder(const std::string& folder);
    // The type radios, their kind and which one is checked.
    TRadioButton* TypeRadio(TAddArchiveKind kind) const;
    TAddArchiveKind CheckedKind() const;
    // Whether the destination panel is shown.
    bool DestinationShown() const;
    void ShowDestination(bool show);
    bool PasswordSet() const { return !ChosenPassword.empty(); }
    int ListWidth() const { return FListWidth; }

    void btnAddDirClick();
    void RemoverItemBtnClick();
    void TypeClick(TAddArchiveKind kind);
    void UpdateMultiDisk();
    void DestinoEditChange();
    void DialogBtnClick();
    void BtnPasswordClick();
    void btnOKClick();
    void CheckBoxBtnClick();

protected:
    void Resized() override;

private:
    void Layout();
    void SetListStates(int index);
    void SpecStateChanged(int index);
    void UpdateOkButton();
    void ShowTotals();
    void DrawPadlock();
    void ReadSettings();
    void WriteSettings();

    std::string FIniFileName;
    int FListWidth = 424;
    bool FSettingState = false;
    bool FClosingOk = false;
    std::vector<std::string> FCheckedListItems; // paths marked in check mode
};

// Shows the add dialog for the setup: false on Cancel; on OK the choice is filled.
bool ShowAddDialog(const TAddSetup& setup, TAddChoice& choice, const std::string& iniFileName = {});

// The extension of an archive kind (".zip", ".lha", ...).
std::string AddKindExtension(TAddArchiveKind kind);

} // namespace mv
