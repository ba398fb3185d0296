#pragma once
// The folder dialog: a resizable form with a shell folder tree from which the user
// picks a folder, with buttons that create and delete folders in place. Cancel keeps
// the previous choice; the next run starts in the folder chosen last.
#include "controls/shell/ShellLocator.h"
#include "controls/shell/dialogs/Frames.h"
#include "controls/shell/dialogs/MvOpenDlg.h"
#include "platform/ui/Buttons.h"
#include "platform/ui/Form.h"
#include "platform/ui/Panels.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace mv {

class TMvShellTree;
class TMvFrmFolderBrowseDlg;

// Options of the folder dialog, one bit per option in this order.
using TMvFolderBrowseDlgOptions = uint16_t;
constexpr TMvFolderBrowseDlgOptions ptfbCreateDeleteButtons = 1u << 0, ptfbContextMenus = 1u << 1,
                                    ptfbReadOnly = 1u << 2, ptfbIncludeNonFolders = 1u << 3,
                                    ptfbOleDrag = 1u << 4, ptfbOleDrop = 1u << 5,
                                    ptfbCreateFolderIcon = 1u << 6, ptfbDeleteFolderIcon = 1u << 7,
                                    ptfbVirtualFolders = 1u << 8, ptfbShowHidden = 1u << 9;
constexpr TMvFolderBrowseDlgOptions DefaultFolderBrowseOptions =
    ptfbContextMenus | ptfbCreateFolderIcon | ptfbDeleteFolderIcon | ptfbShowHidden;

// The selection moved to a folder (its absolute list).
using TMvFolderBrowseSelChangeEvent = std::function<void(TComponent* sender, const TIdList& newSel)>;

class TMvCustomFolderBrowseDlg : public TMvDialog {
public:
    explicit TMvCustomFolderBrowseDlg(TComponent* owner);
    ~TMvCustomFolderBrowseDlg() override;

    // The tree's root (the Desktop when empty).
    TMvShellLocator& BaseFolder() { return FBaseFolder; }
    void SetBaseFolder(const TMvShellLocator& value) { FBaseFolder.Assign(&value); }
    TMvFolderBrowseDlgOptions Options() const { return FOptions; }
    void SetOptions(TMvFolderBrowseDlgOptions value) { FOptions = value; }
    // The text above the tree; empty unless set.
    const std::string& StatusText() const { return FStatusText; }
    void SetStatusText(const std::string& value) { FStatusText = value; }
    // Where the tree starts and, after OK, the folder chosen.
    TMvShellLocator& SelectedFolder() { return FSelectedFolder; }
    // The file-system path of the chosen folder (empty for folders outside it).
    std::string GetSelectedPath();
    // The form while it is shown, else null.
    TMvFrmFolderBrowseDlg* Form() const { return FForm; }

    TMvFolderBrowseSelChangeEvent OnSelChange;
    // Handed to the form's tree when a run starts.
    TMvShAddItemEvent OnAddItem;
    TMvShTvCustomDrawEvent OnTvCustomDrawSh;
    TMvShTvCustomDrawEvent OnTvCustomDrawShEx;

protected:
    bool DoExecute() override;
    virtual std::unique_ptr<TMvFrmFolderBrowseDlg> CreateForm();
    virtual void InitForm(TMvFrmFolderBrowseDlg& form);
    virtual void ReadForm(TMvFrmFolderBrowseDlg& form);

private:
    TMvFrmFolderBrowseDlg* FForm = nullptr;
    TMvShellLocator FBaseFolder;
    TMvFolderBrowseDlgOptions FOptions = DefaultFolderBrowseOptions;
    std::string FStatusText;
    TMvShellLocator FSelectedFolder;
};

class TMvFolderBrowseDlg : public TMvCustomFolderBrowseDlg {
public:
    explicit TMvFolderBrowseDlg(TComponent* owner) : TMvCustomFolderBrowseDlg(owner) {}
};

class TMvFrmFolderBrowseDlg : public TForm {
public:
    explicit TMvFrmFolderBrowseDlg(TComponent* owner);
    ~TMvFrmFolderBrowseDlg() override;

    TSpeedButton* CreateNewFolderBtn = nullptr;
    TSpeedButton* DeleteFolderBtn = nullptr;
    TMvFrame* StatusTxt = nullptr;
    TMvShellTree* MvShellTree1 = nullptr;
    TPanel* ButtonPanel = nullptr;
    TButton* OkBtn = nullptr;
    TButton* CancelBtn = nullptr;
    TButton* CreateBtn = nullptr;
    TButton* DeleteBtn = nullptr;

    TMvFolderBrowseDlgOptions Options() const { return FOptions; }
    virtual void SetOptions(TMvFolderBrowseDlgOptions value);
    // The tree's root and its current folder.
    void SetBaseFolder(TMvShellLocator& value);
    void SetCurrentFolder(TMvShellLocator& value);
    TMvShellLocator& CurrentFolder() { return FCurrentFolder; }

    void CreateBtnClick(TComponent* sender);
    void DeleteBtnClick(TComponent* sender);
    // The tree's selection moved to a folder with this path ("" outside the file
    // system); firstNode: it is the tree's first node.
    void SelectionChanged(const TIdList& absolute, const std::string& path, bool firstNode);
    void FormResize();

    TNotifyEvent OnFormShow;
    TNotifyEvent OnFormClose;
    TMvFolderBrowseSelChangeEvent OnSelChange;

protected:
    void DoShow() override;
    void DoHide() override;
    void Resized() override;
    void WndProc(TMessage& message) override;

private:
    void MvShellTree1Change();
    TMvFolderBrowseDlgOptions FOptions = DefaultFolderBrowseOptions;
    TMvShellLocator FCurrentFolder;
    bool FAutoFill = false;
};

} // namespace mv
