#pragma once
// The search form: the user types a text (or a byte sequence), picks a folder or some
// names in it, and every archive there (and, on request, every other file) is searched;
// the files that match are listed in a tree with their matching members below them. A
// double click on a result (or Enter) closes the form with that archive chosen, for the
// main window to open.
#include "app/search/SearchRun.h"
#include "platform/ui/Form.h"

#include <string>

namespace mv {

class TLabel;
class TEdit;
class TBitBtn;
class TSpeedButton;
class TRadioGroup;
class TCheckBox;
class TGroupBox;
class TPanel;
class TTreeView;
class TTreeNode;
class TFormPlacement;
class TMvShellCombo;
class TMvShellList;

constexpr const char* SearchFormSection = "FormProcura";

class TFormProcura : public TForm {
public:
    // iniFileName: the settings file (empty: the program's morvelan.ini).
    explicit TFormProcura(TComponent* owner, const std::string& iniFileName = {});
    ~TFormProcura() override;

    TLabel* Label1;
    TEdit* Edit1;
    TBitBtn* ProcuraBtn;
    TBitBtn* CancelarBtn;
    TBitBtn* FecharBtn;
    TMvShellCombo* MvShellCombo1;
    TSpeedButton* ParentButton;
    TSpeedButton* SpeedButton1;
    TSpeedButton* SpeedButton2;
    TSpeedButton* SpeedButton3;
    TSpeedButton* SpeedButton4;
    TMvShellList* ArquivosLv;
    TRadioGroup* RadioGroup1;
    TCheckBox* cbDiferencia;
    TCheckBox* SubPastasChk;
    TCheckBox* SoCompactadosChk;
    TGroupBox* GroupBox1;
    TTreeView* TreeView1;
    TPanel* StatusBar1;
    TLabel* StatusText;
    TFormPlacement* FormPlacement;

    TSearchRun& Run() { return FRun; }
    // The status line as shown.
    std::string StatusBarText() const;
    // The view style of the folder list: 0 large icons, 1 small icons, 2 list, 3 details.
    int ViewStyle() const { return FViewStyle; }
    // The archive a result chose (empty: none); the form closes then.
    const std::string& ChosenArchive() const { return FChosenArchive; }
    // Points the folder list at a folder.
    void SetFolder(const std::string& folder);
    std::string Folder() const;

    void ProcuraBtnClick();
    void CancelarBtnClick();
    void FecharBtnClick();
    // Opens the result under the selection: its archive (a member gives its archive).
    void OpenSelectedResult();

protected:
    void Resized() override;

private:
    void Layout();
    void SetStatus(const std::string& text);
    void SetViewStyle(int style);
    void AddHit(const TSearchHit& hit);
    bool AskPassword(const std::string& member, std::string& password);
    TSearchRequest BuildRequest();

    TSearchRun FRun;
    std::string FIniFileName;
    std::string FChosenArchive;
    int FViewStyle = 3;
    bool FClosing = false;
};

// Shows the search form modally on a folder (empty: the machine's drives). True when
// a result was chosen; chosenArchive then holds its archive.
bool ShowSearchForm(std::string& chosenArchive, const std::string& folder = {}, const std::string& iniFileName = {});

// The password question of the search: the member's name as caption, text 181 as the
// prompt, the typed text masked. False when cancelled.
bool AskSearchPassword(const std::string& member, std::string& password);

} // namespace mv
