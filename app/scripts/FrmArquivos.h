#pragma once
// The include and exclude lists editor of one backup script: a file list to pick
// folders and files from, and the two lists of what the backup includes and excludes.
// Each entry's check box tells its kind (grayed a single file, checked a folder with
// its subfolders, unchecked a folder alone).
#include "app/scripts/ListEditor.h"
#include "platform/ui/Form.h"

#include <memory>
#include <string>
#include <vector>

namespace mv {

class TMvShellList;
class TMvShellCombo;
class TMvCheckListBox;
class TSpeedButton;
class TButton;
class TLabel;
class TPanel;
class TFormPlacement;
class TFileDropSite;

constexpr const char* ListEditorFormSection = "Form Arquivos";

class TFrmArquivos : public TForm {
public:
    // iniFileName: the settings file (empty: the program's morvelan.ini).
    explicit TFrmArquivos(TComponent* owner, const std::string& iniFileName = {});
    ~TFrmArquivos() override;

    // The script's lines (line 0 the header); filled by the manager before each use.
    TArquivosLb& ScriptLines() { return FScriptLines; }
    // Empties both lists and the lines (before each use).
    void Reset();

    // Commands.
    void AdicionaBtnClick(bool include);
    void RemoveBtnClick(bool include);
    void OkBtnClick();
    // A drop on a list: names from the file manager or the file list (as Add), or the
    // selected entry of the other list (moved over).
    void DropFiles(bool include, const std::vector<std::string>& paths);
    void DropFromOtherList(bool include);
    // The picked items of the file list: its selection.
    std::vector<TPickedItem> PickedItems();
    // Adds picked items to a list, asking the mask when a folder is among them.
    void AddItems(bool include, const std::vector<TPickedItem>& items);

    TMvShellCombo* MvShellCombo1 = nullptr;
    TSpeedButton* ParentButton = nullptr;
    TSpeedButton* SpeedButton1 = nullptr;
    TSpeedButton* SpeedButton2 = nullptr;
    TSpeedButton* SpeedButton3 = nullptr;
    TSpeedButton* SpeedButton4 = nullptr;
    TSpeedButton* CheckBoxBtn = nullptr;
    TMvShellList* ArquivosLv = nullptr;
    TPanel* IncluidosPn = nullptr;
    TPanel* ExcluidosPn = nullptr;
    TLabel* IncluidosLbl = nullptr;
    TLabel* ExcluidosLbl = nullptr;
    TMvCheckListBox* AdicionadosLb = nullptr;
    TMvCheckListBox* ExcluidosLb = nullptr;
    TButton* AdicionaIncluidosBtn = nullptr;
    TButton* AdicionaExcluidosBtn = nullptr;
    TButton* RemoveIncluidosBtn = nullptr;
    TButton* RemoveExcluidosBtn = nullptr;
    TButton* OkBtn = nullptr;
    TButton* CancelBtn = nullptr;
    TFormPlacement* FormPlacement = nullptr;

protected:
    void Resized() override;

private:
    TMvCheckListBox* ListOf(bool include) const { return include ? AdicionadosLb : ExcluidosLb; }
    void Layout();
    void SetUpList(TMvCheckListBox* list, bool include);
    void WriteSettings();

    std::string FIniFileName;
    TArquivosLb FScriptLines;
    TEntryStateRule FIncludeRule, FExcludeRule;
    std::unique_ptr<TFileDropSite> FIncludeDrop, FExcludeDrop;
    TMvCheckListBox* FDragSource = nullptr;
    int FDragIndex = -1;
    int FListWidth = 450;
    int FExcludeHeight = 227;
    bool FShowing = false;
};

} // namespace mv
