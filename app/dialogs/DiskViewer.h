#pragma once
// The disk viewer: a look at the destination disk while a multi-disk operation waits
// for the next disk. The disk's folders and files, its free space, deleting files or
// folders to the trash to make room, and formatting the disk when it is removable.
// The tree's width and visibility and the view style live in morvelan.ini
// ("Form Visualizar"); the window placement is shared with the extract dialog.
#include "platform/ui/Form.h"

#include <cstdint>
#include <string>

namespace mv {

class TLabel;
class TEdit;
class TBitBtn;
class TSpeedButton;
class TPanel;
class TFormPlacement;
class TMvShellCombo;
class TMvShellTree;
class TMvShellList;

constexpr const char* DiskViewerSection = "Form Visualizar";

class TFrmExplorer : public TForm {
public:
    // iniFileName: the settings file (empty: the program's morvelan.ini).
    explicit TFrmExplorer(TComponent* owner, const std::string& iniFileName = {});
    ~TFrmExplorer() override;

    TMvShellCombo* MvShellCombo1;
    TSpeedButton* UpOneLevelBtn;
    TSpeedButton* ArvoreBtn;
    TSpeedButton* DeleteBtn;
    TSpeedButton* LargeIconsBtn;
    TSpeedButton* SmallIconsBtn;
    TSpeedButton* ListBtn;
    TSpeedButton* DetailsBtn;
    TMvShellTree* ArvoreTv;
    TPanel* Splitter1;
    TMvShellList* ArquivosLv;
    TEdit* EspacoLivreEdit;
    TLabel* Label1;
    TBitBtn* FormatarBtn;
    TBitBtn* SairBtn;
    TFormPlacement* FormPlacement;

    // Shows a folder in the tree and the list.
    void SetFolder(const std::string& folder);
    // The folder the viewer shows (the tree's current folder, else the list's).
    std::string CurrentFolder();
    // Reads the free space of the shown folder's drive into EspacoLivreEdit.
    void UpdateFreeSpace();
    // The view style: 0 large icons, 1 small icons, 2 list, 3 details.
    int ViewStyle() const { return FViewStyle; }
    int TreeWidth() const { return FTreeWidth; }

    void DeleteBtnClick();
    void FormatarBtnClick();
    void UpOneLevelBtnClick();
    void ArvoreBtnClick();
    void RefreshViews();

protected:
    void Resized() override;

private:
    void Layout();
    void SetViewStyle(int style);
    void ReadSettings();
    void WriteSettings();

    std::string FIniFileName;
    int FViewStyle = 3;
    int FTreeWidth = 169;
};

// The free-space text: whole kilobytes as "###,###,###,##0 " followed by text 360.
std::string FreeSpaceText(uint64_t freeBytes);

// Shows the disk viewer modally on a folder; the format button is enabled only when
// formatEnabled is set and the folder lies on a removable drive.
void ShowDiskViewer(const std::string& folder, bool formatEnabled, const std::string& iniFileName = {});

} // namespace mv
