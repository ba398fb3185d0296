#pragma once
// The program's own file dialogs: the dialog base every shell dialog shares (re-entry
// guard, form size and state kept between runs), the file dialog with its open and
// save variants, and the resizable form they show: a folder combo, a folder tree and a
// file list beside each other, the name edit and the type combo. The form turns what
// the user typed or chose into full names and checks them against the options.
#include "controls/shell/ImageCombo.h"
#include "controls/shell/ShellList.h"
#include "controls/shell/ShellTree.h"
#include "controls/shell/dialogs/DialogNames.h"
#include "controls/shell/dialogs/Splitter.h"
#include "platform/ui/Buttons.h"
#include "platform/ui/Checks.h"
#include "platform/ui/Edits.h"
#include "platform/ui/Form.h"
#include "platform/ui/Labels.h"
#include "platform/ui/Lists.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Panels.h"

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace mv {

class TMvShellTree;
class TPopupMenu;
class TMvShellList;
class TMvShellCombo;
class TMvFrmOpenDlg;

// Message kinds and button sets of the dialogs' message boxes.
enum class TMvDlgMsgKind { dmkWarning, dmkConfirmation };
enum class TMvDlgMsgButtons { dmbOK, dmbYesNo };
// Shows one message box of a dialog and returns the modal result of the button that
// closed it (mrOk, mrYes, mrNo, mrCancel for the close box).
using TMvDialogMessageService = std::function<int(const std::string& text, const std::string& caption,
                                                  TMvDlgMsgKind kind, TMvDlgMsgButtons buttons)>;
// The program hands in its message box; unset, a plain modal box of the dialogs' own is
// shown (a form, so the modal driver answers it like any other).
void SetDialogMessageService(TMvDialogMessageService service);
int ShowDialogMessage(const std::string& text, const std::string& caption, TMvDlgMsgKind kind,
                      TMvDlgMsgButtons buttons);

// Whether an extension (without its dot) is a file type the desktop knows; tests swap it.
void SetRegisteredExtensionTest(TMvRegisteredExt test);
bool IsRegisteredExtension(const std::string& extension);

using THelpEvent = std::function<bool(uint16_t command, intptr_t data, bool& callHelp)>;

// The base of all shell dialogs: form size and state kept between runs, and Execute
// guarded against running twice at once.
class TMvDialog : public TComponent {
public:
    explicit TMvDialog(TComponent* owner);
    ~TMvDialog() override;

    // True when the user chose OK. Raises when the dialog is already running.
    bool Execute();

    int FormWidth() const { return FFormWidth; }
    void SetFormWidth(int value) { FFormWidth = value; }
    int FormHeight() const { return FFormHeight; }
    void SetFormHeight(int value) { FFormHeight = value; }
    TWindowState FormWindowState() const { return FFormWindowState; }
    void SetFormWindowState(TWindowState value) { FFormWindowState = value; }
    const std::string& Title() const { return FTitle; }
    void SetTitle(const std::string& value) { FTitle = value; }

    // The kept geometry as a little-endian stream: width and height (int32 each), the
    // window state (1 byte); the file dialog adds its tree flag (1 byte) and splitter
    // position (int32).
    virtual void ReadFormGeometry(std::istream& stream);
    virtual void WriteFormGeometry(std::ostream& stream) const;

    TNotifyEvent OnInitialized;
    TNotifyEvent OnFormShow;
    TNotifyEvent OnFormClose;

protected:
    virtual void DoInitialized();
    virtual bool DoExecute() = 0;

    // One run of a dialog's form: `current` points at the form while it is up (also
    // when a step raises), the form is prepared before it is shown and read back after
    // it closes, whatever the button. True when it closed with OK.
    template <class TDlgForm, class TPrepare, class TReadBack>
    bool RunForm(TDlgForm*& current, std::unique_ptr<TDlgForm> form, TPrepare prepare, TReadBack readBack) {
        struct TClear {
            TDlgForm*& Form;
            ~TClear() { Form = nullptr; }
        } clear{current};
        prepare(*form);
        current = form.get();
        DoInitialized();
        const bool ok = form->ShowModal() == mrOk;
        readBack(*form);
        return ok;
    }

    int FFormWidth = -1;
    int FFormHeight = -1;
    TWindowState FFormWindowState = TWindowState::wsNormal;
    std::string FTitle;

private:
    bool FExecuting = false;
};

// The file dialog: options, filter, default extension, starting folder and the chosen
// names, carried into the form before a run and back out of it afterwards.
class TMvFileDlg : public TMvDialog {
public:
    explicit TMvFileDlg(TComponent* owner);
    ~TMvFileDlg() override;

    std::vector<std::string>& HistoryList() { return FHistoryList; }
    void SetHistoryList(const std::vector<std::string>& value) { FHistoryList = value; }
    TMvOpenOptions Options() const;
    void SetOptions(TMvOpenOptions value);
    const std::string& DefaultExt() const { return FDefaultExt; }
    void SetDefaultExt(const std::string& value) { FDefaultExt = value; }
    // The chosen full names after a run.
    std::vector<std::string>& Files() { return FFiles; }
    const std::vector<std::string>& Files() const { return FFiles; }
    // The form's current name while it is shown; else the first chosen name or empty.
    std::string FileName() const;
    void SetFileName(const std::string& value);
    const std::string& Filter() const { return FFilter; }
    void SetFilter(const std::string& value);
    // 1-based; while the form is shown, the type combo's entry (0 when it is empty).
    int FilterIndex() const;
    void SetFilterIndex(int value);
    int HelpContext() const { return FHelpContext; }
    void SetHelpContext(int value) { FHelpContext = value; }
    const std::string& InitialDir() const { return FInitialDir; }
    void SetInitialDir(const std::string& value) { FInitialDir = value; }
    int FormSplitterPos() const { return FFormSplitterPos; }
    void SetFormSplitterPos(int value);
    // The form while it is shown, else null.
    TMvFrmOpenDlg* Form() const { return FForm; }

    void ReadFormGeometry(std::istream& stream) override;
    void WriteFormGeometry(std::ostream& stream) const override;

    TNotifyEvent OnFolderChanged;
    TNotifyEvent OnSelectionChanged;
    TNotifyEvent OnTypeChanged;
    THelpEvent OnHelp;
    // Handed to the form's list and tree when a run starts. OnAddComboItem is kept but
    // the form does not use it.
    TMvShAddItemEvent OnAddListItem;
    TMvShAddItemEvent OnAddTreeItem;
    TMvShAddItemEvent OnAddComboItem;
    TMvShLvCustomDrawEvent OnLvCustomDrawSh;
    TMvShLvCustomDrawEvent OnLvCustomDrawShEx;
    TMvShTvCustomDrawEvent OnTvCustomDrawSh;
    TMvShTvCustomDrawEvent OnTvCustomDrawShEx;

protected:
    bool DoExecute() override;
    virtual std::unique_ptr<TMvFrmOpenDlg> CreateForm();
    virtual void InitForm(TMvFrmOpenDlg& form);
    virtual void ReadForm(TMvFrmOpenDlg& form);

private:
    std::vector<std::string> FHistoryList;
    TMvOpenOptions FOptions = DefaultOpenOptions;
    std::string FDefaultExt;
    std::vector<std::string> FFiles;
    std::string FFilter;
    int FFilterIndex = 1;
    int FHelpContext = 0;
    std::string FInitialDir;
    int FFormSplitterPos = -1;
    TMvFrmOpenDlg* FForm = nullptr;
};

class TMvCustomOpenDlg : public TMvFileDlg {
public:
    explicit TMvCustomOpenDlg(TComponent* owner) : TMvFileDlg(owner) {}

protected:
    void InitForm(TMvFrmOpenDlg& form) override;
};
class TMvOpenDlg : public TMvCustomOpenDlg {
public:
    explicit TMvOpenDlg(TComponent* owner) : TMvCustomOpenDlg(owner) {}
};

class TMvCustomSaveDlg : public TMvFileDlg {
public:
    explicit TMvCustomSaveDlg(TComponent* owner) : TMvFileDlg(owner) {}

protected:
    void InitForm(TMvFrmOpenDlg& form) override;
};
class TMvSaveDlg : public TMvCustomSaveDlg {
public:
    explicit TMvSaveDlg(TComponent* owner) : TMvCustomSaveDlg(owner) {}
};

// Runs an open dialog once, as the main window's open command does: the filter, the
// filter index, the starting folder and the title (empty: "Open") go in; true with the
// chosen full names when the user chose OK. The dialog keeps nothing between calls; a
// window that wants its size kept owns a TMvOpenDlg instead.
bool ExecuteOpenArchiveDialog(const std::string& filter, int filterIndex, const std::string& initialDir,
                              const std::string& title, bool multiSelect, std::vector<std::string>& files);

// The form of the file dialogs.
class TMvFrmOpenDlg : public TForm {
public:
    explicit TMvFrmOpenDlg(TComponent* owner);
    ~TMvFrmOpenDlg() override;

    // Controls.
    TLabel* LookInTxt = nullptr;
    TMvShellCombo* MvShellCombo1 = nullptr;
    TSpeedButton* UpOneLevelBtn = nullptr;
    TSpeedButton* ShowDesktopBtn = nullptr;
    TSpeedButton* CreateNewFolderBtn = nullptr;
    TSpeedButton* ShowTreeBtn = nullptr;
    TSpeedButton* ListBtn = nullptr;
    TSpeedButton* DetailsBtn = nullptr;
    TMvGroup* SplitterContainer = nullptr;
    TMvSplitter* MvSplitter1 = nullptr;
    TMvShellTree* MvShellTree1 = nullptr;
    TMvShellList* MvShellList1 = nullptr;
    TPanel* Panel1 = nullptr;
    TLabel* FileNameTxt = nullptr;
    TLabel* FilesOfTypeTxt = nullptr;
    TEdit* FileNameEdt = nullptr;
    TComboBox* FileNameCbx = nullptr;
    TMvCombobox* FileTypesCbx = nullptr;
    TButton* OpenBtn = nullptr;
    TButton* CancelBtn = nullptr;
    TCheckBox* ReadOnlyChk = nullptr;
    TButton* HelpBtn = nullptr;
    TPopupMenu* LvPopup = nullptr;
    TMenuItem* View1Mitm = nullptr;
    TMenuItem* LargeIcons1Mitm = nullptr;
    TMenuItem* Smallicons1MItm = nullptr;
    TMenuItem* List1Mitm = nullptr;
    TMenuItem* Details1Mitm = nullptr;
    TMenuItem* Paste1Mitm = nullptr;
    TMenuItem* New1Mitm = nullptr;
    TMenuItem* Folder1Mitm = nullptr;
    TMenuItem* Properties1Mitm = nullptr;

    TMvOpenOptions Options() const { return FOptions; }
    virtual void SetOptions(TMvOpenOptions value);
    const std::string& DefaultExt() const { return FDefaultExt; }
    void SetDefaultExt(const std::string& value) { FDefaultExt = value; }
    void SetFilter(const std::string& filter);
    // 1-based; 0 when the type combo is empty.
    int FilterIndex() const;
    void SetFilterIndex(int value);
    // The starting folder (also shown in the list at once).
    void SetInitialDir(const std::string& value);
    const std::string& InitialDir() const { return FInitialDir; }
    // The full names accepted by the last validation.
    const std::vector<std::string>& Results() const { return FResults; }
    // The folder the list shows ("" for folders outside the file system).
    std::string CurrentDir() const;
    // Shows a folder in the combo, the tree and the list.
    void NavigateTo(const std::string& path);
    // The typed wildcard filter, empty when none.
    const std::string& TypedFilter() const { return FTypedFilter; }
    // The mask the list shows files by.
    std::string ListFileFilter() const;
    bool Shown() const { return FShownFlag; }

    // Handlers other code calls.
    void ViewBtnClick(TComponent* sender);
    void ShowTreeBtnClick(TComponent* sender);
    void ShowTree(bool show);
    // The form's keys (F4, F5, F12), handled before the focused control's.
    void FormKeyDown(uint16_t& key, TShiftState shift);
    void FileTypesCbxSelEndOk(TComponent* sender);
    // The list's selection moved: its files' names go into the edit.
    void ListSelectionChanged();
    // Validates typed text: true when every name passed; Results() holds the names.
    bool ValidateNames(const std::string& text);
    // The questions and refusals for one chosen file; true when it may be used.
    bool CheckFile(const std::string& full);
    // The close query of OK.
    void FormCloseQuery(TComponent* sender, bool& canClose);

    TNotifyEvent OnTypeChanged;
    TNotifyEvent OnFolderChanged;
    TNotifyEvent OnSelectionChanged;
    TNotifyEvent OnFormShow;
    TNotifyEvent OnFormClose;
    THelpEvent OnHelp;
    int DialogHelpContext = 0;

protected:
    void DoShow() override;
    void DoHide() override;
    void Resized() override;
    void WndProc(TMessage& message) override;
    virtual void DoFormClose();
    virtual void DoFolderChanged();
    virtual void DoSelectionChanged();
    virtual void DoFormShow();
    virtual void DoTypeChanged();
    virtual void LocalizeTexts();

private:
    void BuildControls();
    void FormResize();
    void CreateNewFolderClick();
    void ApplyListFilter(const std::string& mask);
    bool IsFolder(const std::string& path) const;
    void SelectEditText();

    TMvOpenOptions FOptions = DefaultOpenOptions;
    std::string FDefaultExt;
    std::string FInitialDir;
    std::vector<std::string> FResults;
    std::vector<std::string> FMasks; // one per entry of the type combo
    std::string FTypedFilter;
    bool FShownFlag = false;
    bool FNameFromList = false;
    bool FSettingEdit = false;
    std::string FTreeFolder; // the folder the tree showed when the name was last cleared
    TControl* FSizeGrip = nullptr;
};

} // namespace mv
