#include "app/mainwindow/ExplorerPane.h"

#include "app/common/LangStr.h"
#include "app/common/Sounds.h"
#include "app/common/StrUtils.h"
#include "app/dialogs/SmallPrompts.h"
#include "app/mainwindow/ToolbarButtons.h"
#include "app/operations/ArchiveOperations.h"
#include "archive/framework/ArcDetect.h"
#include "controls/shell/ShellDataObject.h"
#include "controls/shell/SystemImages.h"
#include "controls/shell/dialogs/MvOpenDlg.h"
#include "controls/toolkit/docking/ToolDock.h"
#include "controls/toolkit/files/SmallUtils.h"
#include "platform/FileSystem.h"
#include "platform/ui/Buttons.h"
#include "platform/ui/Form.h"
#include "platform/ui/Panels.h"

#include <algorithm>
#include <memory>

namespace mv {

namespace {

std::string BlockText(const TMimeBlocks& blocks, const std::string& type, bool& found) {
    found = false;
    for (const TMimeBlock& b : blocks)
        if (b.MimeType == type) {
            found = true;
            return std::string(b.Data.begin(), b.Data.end());
        }
    return {};
}

// What a drop target remembers between the drag's entering and its moves.
struct TDropState {
    uint32_t Effect = 0;
};

// The least width of the copies of the window's buttons, in pixels: each is as wide
// as its caption needs, so that the three toolbars share one row.
constexpr int CopyMinWidth = 56;

TNewArchiveDialogRunner& NewArchiveRunner() {
    static TNewArchiveDialogRunner runner;
    return runner;
}

} // namespace

void SetNewArchiveDialogRunner(TNewArchiveDialogRunner runner) {
    NewArchiveRunner() = std::move(runner);
}

bool RunNewArchiveDialog(const std::string& title, const std::string& initialDir, std::string& fileName) {
    if (NewArchiveRunner()) return NewArchiveRunner()(title, initialDir, fileName);
    // The program's save dialog, as the New command shows it.
    TMvSaveDlg dialog(nullptr);
    dialog.SetTitle(title);
    dialog.SetFilterIndex(1);
    dialog.SetInitialDir(initialDir);
    if (!dialog.Execute() || dialog.Files().empty()) return false;
    fileName = dialog.Files().front();
    return true;
}

bool RunMaskPrompt(std::string& mask, bool& subFolders) {
    auto form = std::make_unique<TFrmMascara>(nullptr);
    form->MascaraEdit->SetTextValue(mask);
    if (form->ShowModal() != mrOk) return false;
    mask = form->MascaraEdit->Text();
    subFolders = form->SubPastasChk->Checked();
    return true;
}

// ---- drag data ------------------------------------------------------------------------

TMimeBlocks InternalDragBlocks(const std::string& source, const std::vector<std::string>& items) {
    std::string text = source + "\n";
    for (const std::string& item : items) text += item + "\n";
    return {{InternalDragMime, std::vector<uint8_t>(text.begin(), text.end())}};
}

std::string InternalDragSource(const TMimeBlocks& blocks) {
    bool found = false;
    const std::string text = BlockText(blocks, InternalDragMime, found);
    if (!found) return {};
    return text.substr(0, text.find('\n'));
}

std::vector<std::string> DroppedLocalFiles(const TMimeBlocks& blocks) {
    bool found = false;
    const std::string text = BlockText(blocks, "text/uri-list", found);
    return found ? PathsOfUriList(text) : std::vector<std::string>{};
}

// ---- the controls ---------------------------------------------------------------------

void TDragListView::BeginDrag(int row, TMouseButton button) {
    if (OnBeginDrag) OnBeginDrag(row, button);
}

void TExplorerShellList::BeginDrag(int /*index*/, TMouseButton button) {
    if (OnBeginDrag) OnBeginDrag(button);
}

void TExplorerShellList::SelectionChanged() {
    TMvShellList::SelectionChanged();
    if (OnChange) OnChange(this);
}

void TExplorerShellTree::BeginDrag(TTreeNode* node, TMouseButton button) {
    if (OnBeginDrag) OnBeginDrag(node, button);
}

// ---- the pane -------------------------------------------------------------------------

TExplorerPane::TExplorerPane(TForm& window, TPanel& panel, TToolDock& dock, std::array<TDockToolbar*, 2> plainToolbars,
                             TDragListView& archiveList, TArchiveOpener& opener, TDropFiles& drops)
    : FWindow(window), FPanel(panel), FDock(dock), FPlain(plainToolbars), FArchiveList(archiveList), FOpener(opener),
      FDrops(drops) {
    FPanel.SetCaption("");
    FPanel.SetBevelOuter(TBevelCut::bvNone);
    if (!FDrops.AskMask) FDrops.AskMask = RunMaskPrompt;
    if (!FDrops.AskNewArchive) FDrops.AskNewArchive = RunNewArchiveDialog;

    ArvoreTv = new TExplorerShellTree(&window);
    ArvoreTv->SetName("ArvoreTv");
    ArvoreTv->SetOptions(ArvoreTv->Options() & ~(PTSTO(ptstoOleDrag) | PTSTO(ptstoOleDrop)));
    ArvoreTv->SetParent(&FPanel);
    ArvoreTv->SetBounds(0, 0, FTreeWidth, FPanel.Height());
    ArvoreTv->SetAlign(TAlign::alLeft);
    Splitter1 = new TPanel(&window);
    Splitter1->SetName("Splitter1");
    Splitter1->SetCaption("");
    Splitter1->SetBevelOuter(TBevelCut::bvNone);
    Splitter1->SetParent(&FPanel);
    Splitter1->SetBounds(FTreeWidth, 0, 7, FPanel.Height());
    Splitter1->SetAlign(TAlign::alLeft);
    ArquivosView = new TExplorerShellList(&window);
    ArquivosView->SetName("ArquivosView");
    ArquivosView->SetOptions(ArquivosView->Options() & ~(PTSLO(ptsloOleDrag) | PTSLO(ptsloOleDrop)));
    ArquivosView->SetParent(&FPanel);
    ArquivosView->SetMultiSelect(true);
    ArquivosView->SetLargeImages(GetSystemImageList(1));
    ArquivosView->SetAlign(TAlign::alClient);
    ArvoreTv->SetShellList(ArquivosView);

    // The bar between the pane and the archive list.
    Splitter2 = new TPanel(&window);
    Splitter2->SetName("Splitter2");
    Splitter2->SetCaption("");
    Splitter2->SetBevelOuter(TBevelCut::bvNone);
    Splitter2->SetHeight(5);
    Splitter2->SetVisible(false);
    Splitter2->SetParent(&window);
    Splitter2->SetAlign(TAlign::alTop);
    FPanel.SetAlign(TAlign::alTop);

    CreateToolbars(plainToolbars);

    ArquivosView->OnClick = [](TComponent*) { PlaySoundRes("CLEK"); };
    ArvoreTv->OnClick = [](TComponent*) { PlaySoundRes("CLEK"); };
    ArquivosView->OnChange = [this](TComponent*) { ArquivosViewChange(); };
    ArquivosView->OnBeginDrag = [this](TMouseButton) { StartListDrag(); };
    ArvoreTv->OnBeginDrag = [this](TTreeNode* node, TMouseButton) { StartTreeDrag(node); };
    FArchiveList.OnBeginDrag = [this](int, TMouseButton button) {
        if (button == TMouseButton::mbLeft) StartArchiveDrag();
    };

    // Drop targets: the pane takes entries from the archive list; the archive list
    // takes items of the pane and other programs' files.
    auto target = [](std::function<uint32_t(const TMimeBlocks&)> accepts,
                     std::function<uint32_t(const TMimeBlocks&, TPoint)> drop) {
        auto state = std::make_shared<TDropState>();
        TDropTargetEvents events;
        events.DragEnter = [state, accepts](const TMimeBlocks& blocks, uint32_t, TPoint, uint32_t effect) {
            state->Effect = accepts(blocks) & effect;
            return state->Effect;
        };
        events.DragOver = [state](uint32_t, TPoint, uint32_t effect) { return state->Effect & effect; };
        events.DragLeave = [state] { state->Effect = 0; };
        events.Drop = [state, drop](const TMimeBlocks& blocks, uint32_t, TPoint at, uint32_t) {
            state->Effect = 0;
            return drop(blocks, at);
        };
        return events;
    };
    const auto fromArchiveList = [](const TMimeBlocks& blocks) -> uint32_t {
        return InternalDragSource(blocks) == SourceArchiveList ? 1 : 0;
    };
    RegisterDragDrop(*ArquivosView, target(fromArchiveList, [this](const TMimeBlocks& b, TPoint at) {
                         return ArquivosViewDragDrop(b, at);
                     }));
    RegisterDragDrop(*ArvoreTv, target(fromArchiveList, [this](const TMimeBlocks& b, TPoint at) {
                         return ArvoreTvDragDrop(b, at);
                     }));
    RegisterDragDrop(FArchiveList, target(
                                       [](const TMimeBlocks& blocks) -> uint32_t {
                                           const std::string source = InternalDragSource(blocks);
                                           if (source == SourceShellList || source == SourceShellTree) return 1;
                                           return source.empty() && !DroppedLocalFiles(blocks).empty() ? 1 : 0;
                                       },
                                       [this](const TMimeBlocks& b, TPoint at) { return ArquivosLvDragDrop(b, at); }));
    Layout();
}

TExplorerPane::~TExplorerPane() {
    FArchiveList.OnBeginDrag = nullptr;
    RevokeDragDrop(FArchiveList);
    ArquivosView->OnChange = nullptr;
    ArquivosView->OnBeginDrag = nullptr;
    ArvoreTv->OnBeginDrag = nullptr;
}

void TExplorerPane::CreateToolbars(std::array<TDockToolbar*, 2> plainToolbars) {
    // The window's toolbars again, narrower, beside the pane's own functions.
    tbExplorerAcao = new TDockToolbar(&FWindow);
    tbExplorerAcao->SetName("tbExplorerAcao");
    tbExplorerAcao->SetCaption(LoadLangStr(621));
    tbExplorerUtilitario = new TDockToolbar(&FWindow);
    tbExplorerUtilitario->SetName("tbExplorerUtilitario");
    tbExplorerUtilitario->SetCaption(LoadLangStr(622));
    int index = 0;
    for (TDockToolbar* plain : plainToolbars) {
        TDockToolbar* bar = index++ == 0 ? tbExplorerAcao : tbExplorerUtilitario;
        bar->SetHideWhenInactive(false);
        for (int i = 0; i < plain->ControlCount(); ++i) {
            TControl* c = plain->Controls(i);
            auto* source = dynamic_cast<TSpeedButton*>(c);
            if (!source) {
                bar->InsertControl(new TDockToolbarSep(&FWindow));
                continue;
            }
            const std::string name = "Btn" + source->Name().substr(0, source->Name().size() - 3);
            TSpeedButton* copy = AddToolbarButton(FWindow, bar, name.c_str(), source->Caption(), source->Hint(), CopyMinWidth);
            copy->OnClick = [source](TComponent*) {
                if (source->Enabled()) source->Click();
            };
            CommandButtons.emplace_back(copy, source);
        }
        bar->Loaded();
        bar->SetVisible(false);
    }
    tbExplorerFuncoes = new TDockToolbar(&FWindow);
    tbExplorerFuncoes->SetName("tbExplorerFuncoes");
    tbExplorerFuncoes->SetCaption(LoadLangStr(623));
    tbExplorerFuncoes->SetHideWhenInactive(false);
    ArvoreBtn = AddToolbarButton(FWindow, tbExplorerFuncoes, "ArvoreBtn", "\u2261", LoadLangStr(155), 26);
    ArvoreBtn->SetGroupIndex(1);
    ArvoreBtn->SetAllowAllUp(true);
    ArvoreBtn->SetDown(true);
    UpOneLevelBtn = AddToolbarButton(FWindow, tbExplorerFuncoes, "UpOneLevelBtn", "\u2191", LoadLangStr(154), 26);
    NovaPastaBtn = AddToolbarButton(FWindow, tbExplorerFuncoes, "NovaPastaBtn", "+", LoadLangStr(156), 26);
    tbExplorerFuncoes->InsertControl(new TDockToolbarSep(&FWindow));
    const char* names[] = {"LargeIconsBtn", "SmallIconsBtn", "ListBtn", "DetailsBtn"};
    const char* symbols[] = {"\u25A0", "\u25AA", "\u25AC", "\u25D8"};
    TSpeedButton** buttons[] = {&LargeIconsBtn, &SmallIconsBtn, &ListBtn, &DetailsBtn};
    for (int tag = 0; tag < 4; ++tag) {
        TSpeedButton* b = AddToolbarButton(FWindow, tbExplorerFuncoes, names[tag], symbols[tag], LoadLangStr(157 + tag), 26);
        b->SetGroupIndex(2);
        b->SetTag(tag);
        b->OnClick = [this, tag](TComponent*) { LargeIconsBtnClick(tag); };
        *buttons[tag] = b;
    }
    DetailsBtn->SetDown(true);
    ArvoreBtn->OnClick = [this](TComponent*) { ArvoreBtnClick(); };
    UpOneLevelBtn->OnClick = [this](TComponent*) { UpOneLevelBtnClick(); };
    NovaPastaBtn->OnClick = [this](TComponent*) { NovaPastaBtnClick(); };
    tbExplorerFuncoes->Loaded();
    tbExplorerFuncoes->SetVisible(false);
    tbExplorerAcao->SetParent(&FDock);
    tbExplorerUtilitario->StoreDockPlace(0, 300);
    tbExplorerUtilitario->SetParent(&FDock);
    tbExplorerFuncoes->StoreDockPlace(0, 560);
    tbExplorerFuncoes->SetParent(&FDock);
}

void TExplorerPane::Layout() {
    const bool tree = ArvoreBtn->Down();
    ArvoreTv->SetWidth(FTreeWidth);
    ArvoreTv->SetVisible(tree);
    Splitter1->SetWidth(tree ? 7 : 0);
    Splitter1->SetVisible(tree);
    // Left-aligned controls keep their order by position.
    ArvoreTv->SetLeft(0);
    Splitter1->SetLeft(tree ? FTreeWidth : 0);
    FPanel.Realign();
}

bool TExplorerPane::Shown() const {
    return FPanel.Visible();
}

void TExplorerPane::ShowExplorerPane(bool on) {
    // Below the toolbars' dock, in this order, whatever moved before.
    FPanel.SetTop(100000);
    Splitter2->SetTop(100001);
    FPanel.SetVisible(on);
    Splitter2->SetVisible(on);
    for (TDockToolbar* bar : {tbExplorerAcao, tbExplorerUtilitario, tbExplorerFuncoes}) bar->SetVisible(on);
    for (TDockToolbar* bar : FPlain) bar->SetVisible(!on);
    if (on) SyncCommandButtons();
}

void TExplorerPane::ExplorerBtnClick() {
    PlaySoundRes("CLICK");
    ShowExplorerPane(!Shown());
}

void TExplorerPane::SyncCommandButtons() {
    for (const auto& [copy, source] : CommandButtons) copy->SetEnabled(source->Enabled());
}

void TExplorerPane::ArvoreBtnClick() {
    PlaySoundRes("CLEK");
    Layout();
}

void TExplorerPane::UpOneLevelBtnClick() {
    PlaySoundRes("CLEK");
    ArvoreTv->GoUp(1);
    ArvoreTv->FlushPendingSync(true);
}

void TExplorerPane::NovaPastaBtnClick() {
    PlaySoundRes("CLEK");
    ArquivosView->CreateNewFolder(true);
}

void TExplorerPane::LargeIconsBtnClick(int tag) {
    PlaySoundRes("CLEK");
    FStyle = std::clamp(tag, 0, 3);
    TSpeedButton* buttons[] = {LargeIconsBtn, SmallIconsBtn, ListBtn, DetailsBtn};
    buttons[FStyle]->SetDown(true);
    const TViewStyle styles[] = {TViewStyle::vsIcon, TViewStyle::vsSmallIcon, TViewStyle::vsList, TViewStyle::vsReport};
    ArquivosView->SetViewStyle(styles[FStyle]);
}

int TExplorerPane::Estilo() const {
    const TSpeedButton* buttons[] = {LargeIconsBtn, SmallIconsBtn, ListBtn, DetailsBtn};
    for (int i = 0; i < 4; ++i)
        if (buttons[i]->Down()) return i + 1;
    return 0;
}

void TExplorerPane::SetEstilo(int estilo) {
    if (estilo >= 1 && estilo <= 4) {
        // Set as the window comes up: no sound.
        const bool sounds = SoundsEnabled();
        SetSoundsEnabled(false);
        LargeIconsBtnClick(estilo - 1);
        SetSoundsEnabled(sounds);
        return;
    }
    for (TSpeedButton* b : {LargeIconsBtn, SmallIconsBtn, ListBtn, DetailsBtn}) b->SetDown(false);
}

bool TExplorerPane::TreeShown() const {
    return ArvoreBtn->Down();
}

void TExplorerPane::SetTreeShown(bool on) {
    ArvoreBtn->SetDown(on);
    Layout();
}

void TExplorerPane::SetTreeWidth(int width) {
    FTreeWidth = width > 0 ? width : DefaultTreeWidth;
    Layout();
}

void TExplorerPane::ArquivosViewChange() {
    TMvShListData* data = ArquivosView->GetSelectedData();
    if (!data || data->IsFolder()) return;
    const std::string path = data->GetPath();
    if (path.empty() || TrimText(path) == TrimText(FOpener.ArchiveFile())) return;
    // Only an archive is opened; any other file leaves the open archive as it is.
    TArcDetection detection;
    DetectArcType(path, 0, detection);
    const TArcType type = detection.ArcType;
    if (type == TArcType::atNA || type == TArcType::atFileOpenErr || type == TArcType::atUnknown ||
        type == TArcType::atUnsupported)
        return;
    if (TArchiveOperations* operations = FDrops.Operations ? FDrops.Operations() : nullptr;
        operations && operations->Busy())
        return;
    FOpener.OpenArchive(path);
    if (OnArchiveChanged) OnArchiveChanged();
    ArquivosView->SetFocus();
}

// ---- drags ----------------------------------------------------------------------------

void TExplorerPane::StartArchiveDrag() {
    TArchiveOperations* operations = FDrops.Operations ? FDrops.Operations() : nullptr;
    if (FDragging || !operations || operations->Busy()) return;
    const std::vector<std::string> names = operations->SelectedEntryNames();
    if (names.empty()) return;
    FDragging = true;
    ExecDrag(FArchiveList, InternalDragBlocks(SourceArchiveList, names), 1);
    FDragging = false;
}

void TExplorerPane::StartListDrag() {
    TMvShListData* data = ArquivosView->GetSelectedData();
    if (FDragging || !data) return;
    const std::string path = data->GetPath();
    // The open archive is not dragged onto itself.
    if (path.empty() || path == FOpener.ArchiveFile()) return;
    std::vector<std::string> items;
    for (int i = 0; i < ArquivosView->RowCount(); ++i)
        if (ArquivosView->ItemState(i, LVIS_SELECTED))
            if (TMvShListData* d = ArquivosView->GetItemData(i)) items.push_back(d->GetPath());
    FDragging = true;
    ExecDrag(*ArquivosView, InternalDragBlocks(SourceShellList, items), 1);
    FDragging = false;
}

void TExplorerPane::StartTreeDrag(TTreeNode* node) {
    if (FDragging || !node) return;
    TMvShTreeData* data = ArvoreTv->NodeData(node);
    if (!data || data->GetPath().empty()) return;
    FDragging = true;
    ExecDrag(*ArvoreTv, InternalDragBlocks(SourceShellTree, {data->GetPath()}), 1);
    FDragging = false;
}

// ---- drops ----------------------------------------------------------------------------

std::string TExplorerPane::ListDropFolder(TPoint at) {
    const int row = ArquivosView->GetItemAt(at.X, at.Y);
    if (row >= 0)
        if (TMvShListData* data = ArquivosView->GetItemData(row)) {
            const std::string path = data->GetPath();
            if (!path.empty()) return data->IsFolder() ? path : platform::DirectoryOf(path);
        }
    return ArquivosView->Folder().GetPath();
}

std::string TExplorerPane::TreeDropFolder(TPoint at) {
    if (TTreeNode* node = ArvoreTv->GetNodeAt(at.X, at.Y))
        if (TMvShTreeData* data = ArvoreTv->NodeData(node)) {
            const std::string path = data->GetPath();
            if (!path.empty()) return path;
        }
    return ArvoreTv->GetSelectedPath();
}

uint32_t TExplorerPane::ArquivosViewDragDrop(const TMimeBlocks& blocks, TPoint at) {
    if (InternalDragSource(blocks) != SourceArchiveList) return 0;
    TArchiveOperations* operations = FDrops.Operations ? FDrops.Operations() : nullptr;
    const std::string folder = ListDropFolder(at);
    if (operations && !folder.empty()) FDrops.ExtractDragged(operations->SelectedEntryNames(), folder);
    // The new files show, also after a failure.
    ArquivosView->Refresh();
    ArvoreTv->Refresh();
    return 1;
}

uint32_t TExplorerPane::ArvoreTvDragDrop(const TMimeBlocks& blocks, TPoint at) {
    if (InternalDragSource(blocks) != SourceArchiveList) return 0;
    TArchiveOperations* operations = FDrops.Operations ? FDrops.Operations() : nullptr;
    const std::string folder = TreeDropFolder(at);
    if (operations && !folder.empty()) FDrops.ExtractDragged(operations->SelectedEntryNames(), folder);
    ArquivosView->Refresh();
    ArvoreTv->Refresh();
    return 1;
}

uint32_t TExplorerPane::ArquivosLvDragDrop(const TMimeBlocks& blocks, TPoint) {
    const std::string source = InternalDragSource(blocks);
    if (source == SourceShellList) {
        std::vector<TDraggedItem> items;
        for (int i = 0; i < ArquivosView->RowCount(); ++i)
            if (ArquivosView->ItemState(i, LVIS_SELECTED))
                if (TMvShListData* d = ArquivosView->GetItemData(i); d && !d->GetPath().empty())
                    items.push_back({d->GetPath(), d->IsFolder()});
        FDrops.AddDragged(items, false);
    } else if (source == SourceShellTree) {
        const std::string folder = ArvoreTv->GetSelectedPath();
        if (!folder.empty()) FDrops.AddDragged({{folder, true}}, true);
    } else if (source.empty()) {
        // Another program's files (DropFile1).
        const std::vector<std::string> files = DroppedLocalFiles(blocks);
        if (files.empty()) return 0;
        FDrops.AddDropped(files);
    } else {
        // A drag inside the archive list is refused.
        return 0;
    }
    if (OnArchiveChanged) OnArchiveChanged();
    return 1;
}

} // namespace mv
