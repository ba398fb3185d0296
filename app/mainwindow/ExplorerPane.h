#pragma once
// The explorer pane of the main window: a folder tree and a file list of the machine
// above the archive list, with its own toolbar (tree, up one level, new folder and the
// four view styles) and the toolbars swapped while it shows. Selecting an archive in
// the file list opens it; archive entries dragged onto the pane are extracted there;
// files and folders dragged from the pane, or dropped by another program, onto the
// archive list are added to the archive.
//
// Drags inside the program carry our own MIME type with the name of the control they
// come from (ARQUIVOSLV, ARQUIVOSVIEW, ARVORETV) and its items; each drop target
// accepts only the sources it serves. Other programs' drops are text/uri-list, and
// only their local files count.
#include "app/mainwindow/DropFiles.h"
#include "controls/listview/ExtListView.h"
#include "controls/shell/ShellList.h"
#include "controls/shell/ShellTree.h"
#include "platform/ui/MimeData.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace mv {

class TDockToolbar;
class TForm;
class TPanel;
class TSpeedButton;
class TToolDock;

constexpr const char* InternalDragMime = "application/x-morvelan-drag";
// The drag sources by name.
constexpr const char* SourceArchiveList = "ARQUIVOSLV";
constexpr const char* SourceShellList = "ARQUIVOSVIEW";
constexpr const char* SourceShellTree = "ARVORETV";

// An internal drag's data: the source's name on the first line, one item a line.
TMimeBlocks InternalDragBlocks(const std::string& source, const std::vector<std::string>& items);
// The source named by an internal drag's data; empty when the data is not one.
std::string InternalDragSource(const TMimeBlocks& blocks);
// The local files of another program's drop (text/uri-list), in its order.
std::vector<std::string> DroppedLocalFiles(const TMimeBlocks& blocks);

// The dialog that names a new archive: the program's save dialog, or what a test put
// in its place (an empty runner goes back to the program's).
void SetNewArchiveDialogRunner(TNewArchiveDialogRunner runner);
bool RunNewArchiveDialog(const std::string& title, const std::string& initialDir, std::string& fileName);
// The mask prompt (TFrmMascara) with the proposed mask; false on Cancel.
bool RunMaskPrompt(std::string& mask, bool& subFolders);

// The archive list as a drag source: a drag with a button held starts a drag of its
// selected entries.
class TDragListView : public TExtListView {
public:
    using TExtListView::TExtListView;
    std::function<void(int row, TMouseButton button)> OnBeginDrag;
    void BeginDrag(int row, TMouseButton button) override;
};

// The pane's file list: its drags are the program's own, and its selection is told.
class TExplorerShellList : public TMvShellList {
public:
    using TMvShellList::TMvShellList;
    std::function<void(TMouseButton button)> OnBeginDrag;
    TNotifyEvent OnChange;

protected:
    void BeginDrag(int index, TMouseButton button) override;
    void SelectionChanged() override;
};

class TExplorerShellTree : public TMvShellTree {
public:
    using TMvShellTree::TMvShellTree;
    std::function<void(TTreeNode* node, TMouseButton button)> OnBeginDrag;

protected:
    void BeginDrag(TTreeNode* node, TMouseButton button) override;
};

// The pane's settings in section "Explorer" of morvelan.ini.
constexpr int DefaultTreeWidth = 204;

class TExplorerPane {
public:
    // panel: the window's PanelExplorer; dock: the toolbars' dock; plainToolbars: the
    // window's own toolbars (hidden while the pane shows); archiveList: the window's list.
    TExplorerPane(TForm& window, TPanel& panel, TToolDock& dock, std::array<TDockToolbar*, 2> plainToolbars,
                  TDragListView& archiveList, TArchiveOpener& opener, TDropFiles& drops);
    ~TExplorerPane();
    TExplorerPane(const TExplorerPane&) = delete;
    TExplorerPane& operator=(const TExplorerPane&) = delete;

    TExplorerShellTree* ArvoreTv = nullptr;
    TPanel* Splitter1 = nullptr;
    TExplorerShellList* ArquivosView = nullptr;
    TPanel* Splitter2 = nullptr;
    TDockToolbar *tbExplorerAcao = nullptr, *tbExplorerUtilitario = nullptr, *tbExplorerFuncoes = nullptr;
    TSpeedButton *ArvoreBtn = nullptr, *UpOneLevelBtn = nullptr, *NovaPastaBtn = nullptr;
    TSpeedButton *LargeIconsBtn = nullptr, *SmallIconsBtn = nullptr, *ListBtn = nullptr, *DetailsBtn = nullptr;
    // The explorer toolbars' copies of the window's buttons, each beside the button it
    // stands for.
    std::vector<std::pair<TSpeedButton*, TSpeedButton*>> CommandButtons;

    // Told after an archive was opened, added to or created from the pane.
    std::function<void()> OnArchiveChanged;

    bool Shown() const;
    // PanelExplorer and Splitter2 shown or hidden, the toolbars swapped in one update.
    void ShowExplorerPane(bool on);
    void ExplorerBtnClick();
    void ArvoreBtnClick();
    void UpOneLevelBtnClick();
    void NovaPastaBtnClick();
    // A view button by its Tag: 0 large icons, 1 small icons, 2 list, 3 details.
    void LargeIconsBtnClick(int tag);
    // The file list's selection changed: a selected archive is opened.
    void ArquivosViewChange();
    // The explorer toolbars' copies follow their buttons' enabled state.
    void SyncCommandButtons();

    // ---- settings ("Explorer" section): Estilo 1..4 (0 none), tree shown and width.
    int Estilo() const;
    void SetEstilo(int estilo);
    bool TreeShown() const;
    void SetTreeShown(bool on);
    int TreeWidth() const { return FTreeWidth; }
    void SetTreeWidth(int width);

    // ---- drops (points of the target's rows area)
    uint32_t ArquivosViewDragDrop(const TMimeBlocks& blocks, TPoint at);
    uint32_t ArvoreTvDragDrop(const TMimeBlocks& blocks, TPoint at);
    uint32_t ArquivosLvDragDrop(const TMimeBlocks& blocks, TPoint at);

    // The folder an extraction dropped on the file list goes to: the item under the
    // point (a folder itself, a file its folder), else the list's folder.
    std::string ListDropFolder(TPoint at);
    std::string TreeDropFolder(TPoint at);

private:
    void CreateToolbars(std::array<TDockToolbar*, 2> plainToolbars);
    void Layout();
    void StartListDrag();
    void StartTreeDrag(TTreeNode* node);
    void StartArchiveDrag();

    TForm& FWindow;
    TPanel& FPanel;
    TToolDock& FDock;
    std::array<TDockToolbar*, 2> FPlain;
    TDragListView& FArchiveList;
    TArchiveOpener& FOpener;
    TDropFiles& FDrops;
    int FTreeWidth = DefaultTreeWidth;
    int FStyle = 3;
    bool FDragging = false;
};

} // namespace mv
