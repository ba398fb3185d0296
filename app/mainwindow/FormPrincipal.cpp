#include "app/mainwindow/FormPrincipal.h"

#include "app/commands/CommandLine.h"
#include "app/commands/MainCommands.h"
#include "app/common/ExecuteFile.h"
#include "app/common/LangStr.h"
#include "app/common/MessageBox.h"
#include "app/common/Sounds.h"
#include "app/common/StrUtils.h"
#include "app/dialogs/OptionsDialog.h"
#include "app/dialogs/ExtractDialog.h"
#include "app/dialogs/DiskViewer.h"
#include "app/dialogs/SmallPrompts.h"
#include "app/mainwindow/ArchiveRows.h"
#include "app/common/SfxPlaceholders.h"
#include "app/mainwindow/DropFiles.h"
#include "app/mainwindow/ExplorerPane.h"
#include "app/mainwindow/OpenArchiveDialog.h"
#include "app/mainwindow/ToolbarButtons.h"
#include "app/search/FormProcura.h"
#include "controls/shell/dialogs/MvOpenDlg.h"
#include "app/operations/ArchiveOperations.h"
#include "app/packager/FormSFX.h"
#include "app/scripts/FrmScripts.h"
#include "controls/listview/ExtListView.h"
#include "controls/shell/ShellUtils.h"
#include "controls/shell/SystemImages.h"
#include "controls/toolkit/docking/ToolDock.h"
#include "controls/toolkit/docking/ToolWindowPositions.h"
#include "controls/toolkit/files/SmallUtils.h"
#include "controls/toolkit/menus/HistMenu.h"
#include "controls/toolkit/menus/MvMenus.h"
#include "controls/toolkit/placement/FormPlacement.h"
#include "platform/AppPaths.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/RegistryStore.h"
#include "platform/ui/Buttons.h"
#include "platform/ui/Edits.h"
#include "platform/ui/Labels.h"
#include "platform/ui/ListView.h"
#include "platform/ui/MenuBar.h"
#include "platform/ui/Panels.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <unordered_map>

namespace mv {

namespace {

// Texts of the window that the string tables hold.
enum : int32_t {
    sMenuNovo = 870,
    sMenuAbrir,
    sMenuReabrir,
    sMenuAcoes,
    sMenuVisualizar,
    sMenuAtualizar,
    sMenuEspecificarTipo,
    sMenuAjuda,
    sMenuAjudaMorvelan,
    sMenuAntiVirus,
    sMenuSfx,
    sMenuEmail,
    sProgressCaption,
    sMenuOpcoes,
    sMenuExplorer,
    sMenuOrdenar,
    sMenuIconesGrandes,
    sMenuIconesPequenos,
    sMenuLista,
    sMenuDetalhes,
    sMakerLine,
    sExplorerPlaceholder,
    sBtnNovo,
    sBtnAdicionar,
    sBtnExtrair,
    sBtnExplorer,
};

// The progress window's captions of its folder and file labels.
constexpr int32_t sProgressFolder = 3000, sProgressFile = 3001;

constexpr const char* ColumnsKey = "Software\\Morvelan\\Colunas";
constexpr const char* HistoryBaseKey = "Software\\Morvelan\\MorvelanLastFiles";
// The open dialog's filter (one text in every language).
constexpr int32_t OpenFilterText = 26001;

template <typename T> T* Make(TComponent* owner, const char* name) {
    auto* c = new T(owner); // owned by the form
    c->SetName(name);
    return c;
}

TMenuItem* AddItem(TMenuItem* parent, TComponent* owner, const char* name, const std::string& caption,
                   std::function<void()> click = {}) {
    auto* item = Make<TMenuItem>(owner, name);
    item->SetCaption(caption);
    if (click) item->OnClick = [click](TComponent*) { click(); };
    parent->Add(item);
    return item;
}

TMenuItem* AddSeparator(TMenuItem* parent, TComponent* owner) {
    auto* item = new TMenuItem(owner);
    item->SetCaption("-");
    parent->Add(item);
    return item;
}

// The index of a file type's icon, looked up once per extension: listing a large
// archive asks for it once per entry.
int32_t CachedIconIndex(const std::string& fileName) {
    static std::unordered_map<std::string, int32_t> cache;
    const size_t dot = fileName.rfind('.');
    std::string ext = dot == std::string::npos ? std::string() : fileName.substr(dot);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    auto it = cache.find(ext);
    if (it != cache.end()) return it->second;
    const int32_t index = GetFileIconIndex("x" + ext, 0);
    cache.emplace(ext, index);
    return index;
}

} // namespace

TFormPrincipal::TFormPrincipal(TComponent* owner, TMainWindowStart start) : TForm(owner), FStart(std::move(start)) {
    SetName("FormPrincipal");
    SetScaled(false);
    SetBounds(80, 60, 760, 500);
    // FormCreate: sounds on, the language's type names, the vendor instance and the lists.
    SetSoundsEnabled(true);
    FixFormFonts(*this);
    FTypeNames = ArchiveTypeNames();

    CreateMenus();
    CreateToolbars();
    CreateStatusBar();
    PanelExplorer = Make<TPanel>(this, "PanelExplorer");
    PanelExplorer->SetAlign(TAlign::alBottom);
    PanelExplorer->SetHeight(182);
    PanelExplorer->SetCaption(LoadLangStr(sExplorerPlaceholder));
    PanelExplorer->SetParent(this);
    PanelExplorer->SetVisible(false);
    CreateList();
    CreateProgressWindow();

    SetFileIconIndexHook(CachedIconIndex);
    FOpener = std::make_unique<TArchiveOpener>(*this, FList, FHistory);
    FOpener->TypeName = [this](TArcType t) { return FTypeNames.at(static_cast<size_t>(t)); };

    // The options, then the hidden start of a command-line run.
    try {
        const platform::IniFile ini(platform::IniFilePath());
        ReadOptions(ini, FOptions);
    } catch (const std::exception& e) {
        FStartFailures.emplace_back(e.what());
    }
    FOpener->TempFolder = FOptions.PastaTemporaria;
    FOpener->AutoSizeColumns = FOptions.LarguraColuna == 0;
    CreateOperations();
    ArquivosLv->SetExtendedStyles(ArquivosLv->ExtendedStyles() |
                                  (FOptions.GridLines ? LVX(lvxGridLines) : TLVExtendedStyles(0)));

    FormPlacement = Make<TFormPlacement>(this, "FormPlacement");
    FormPlacement->SetIniFileName(platform::IniFilePath());
    FormPlacement->SetOptions(fpState | fpPosition);
    if (FStart.Decision.Hidden) FormPlacement->SetActive(false);

    CreateOptionsAndExplorer();
    LoadSavedState();
    FOpener->EnableMenus();
    SetCaption(std::string("Morvelan 3.0.016 -- ") + LoadLangStr(sMakerLine));

    OnShow = [this](TComponent*) {
        if (FStart.ArgumentCount < 2) PlaySoundRes("INICIO");
        // The archive of the command line opens once the window is on screen.
        if (FStart.ArgumentCount == 1) PostMessage(this, WM_PROCESSCOMMANDLINE, 0, 0);
    };
    OnClose = [this](TComponent*, TCloseAction&) { FormClose(); };
    FormPlacement->Loaded();
    CreateCommands();
}

TFormPrincipal::~TFormPrincipal() {
    FormDestroy();
}

// ---- building -------------------------------------------------------------------------

void TFormPrincipal::CreateMenus() {
    MenuPrincipal = Make<TMvMainMenu>(this, "MenuPrincipal");
    TMenuItem* root = MenuPrincipal->Items();
    Arquivo1 = AddItem(root, this, "Arquivo1", LoadLangStr(378));
    Novo1 = AddItem(Arquivo1, this, "Novo1", LoadLangStr(sMenuNovo), [this] { Novo1Click(); });
    Novo1->SetShortCut("Ctrl+N");
    AbrirArquivo1 = AddItem(Arquivo1, this, "AbrirArquivo1", LoadLangStr(sMenuAbrir), [this] { AbrirArquivo1Click(); });
    AbrirArquivo1->SetShortCut(LanguageBase() == lbEnglish ? "Ctrl+O" : "Ctrl+B");
    AbrirArquivo1->SetDefault(true);
    Reabrir1 = AddItem(Arquivo1, this, "Reabrir1", LoadLangStr(sMenuReabrir));
    mnuFecharArquivo1 =
        AddItem(Arquivo1, this, "mnuFecharArquivo1", LoadLangStr(11), [this] { mnuFecharArquivo1Click(); });
    AddSeparator(Arquivo1, this);
    Sair1 = AddItem(Arquivo1, this, "Sair1", LoadLangStr(172), [this] { Sair1Click(); });

    Acoes1 = AddItem(root, this, "Acoes1", LoadLangStr(sMenuAcoes));
    mnuAdicionar1 = AddItem(Acoes1, this, "mnuAdicionar1", LoadLangStr(2), [this] { mnuAdicionar1Click(); });
    mnuAdicionar1->SetShortCut("Ctrl+A");
    Extrair1 = AddItem(Acoes1, this, "Extrair1", LoadLangStr(3), [this] { mnuExtrair1Click(); });
    Excluir1 = AddItem(Acoes1, this, "Excluir1", LoadLangStr(707));
    Excluir1->SetShortCut("Del");
    Visualizar1 = AddItem(Acoes1, this, "Visualizar1", LoadLangStr(sMenuVisualizar));
    AddSeparator(Acoes1, this);
    AntiVirus1 = AddItem(Acoes1, this, "AntiVirus1", LoadLangStr(sMenuAntiVirus));
    Sfx1 = AddItem(Acoes1, this, "Sfx1", LoadLangStr(sMenuSfx));
    Email1 = AddItem(Acoes1, this, "Email1", LoadLangStr(sMenuEmail));
    // The search form, and the disk viewer the next-disk prompt opens.
    Procurar1 = AddItem(Acoes1, this, "Procurar1", LoadLangStr(165), [this] { ProcurarBtnClick(); });
    SetDiskViewerOpener([](const std::string& folder, bool formatEnabled) { ShowDiskViewer(folder, formatEnabled); });
    AddSeparator(Acoes1, this);
    Refresh1 = AddItem(Acoes1, this, "Refresh1", LoadLangStr(sMenuAtualizar), [this] { Refresh1Click(); });
    Refresh1->SetShortCut("F5");
    EspecificarTipo1 =
        AddItem(Acoes1, this, "EspecificarTipo1", LoadLangStr(sMenuEspecificarTipo), [this] { EspecificarTipo1Click(); });

    Opcoes1 = AddItem(root, this, "Opcoes1", LoadLangStr(sMenuOpcoes));
    Explorer1 = AddItem(Opcoes1, this, "Explorer1", LoadLangStr(sMenuExplorer), [this] { Explorer1Click(); });
    AddSeparator(Opcoes1, this);
    const char* styleNames[] = {"IconesGrandes1", "IconesPequenos1", "Lista1", "Detalhes1"};
    for (int i = 0; i < 4; ++i) {
        EstiloItems[static_cast<size_t>(i)] = AddItem(Opcoes1, this, styleNames[i], LoadLangStr(sMenuIconesGrandes + i),
                                                      [this, i] { EstiloClick(i + 1); });
        EstiloItems[static_cast<size_t>(i)]->SetRadioItem(true);
        EstiloItems[static_cast<size_t>(i)]->SetGroupIndex(1);
    }
    AddSeparator(Opcoes1, this);
    Ordenar1 = AddItem(Opcoes1, this, "Ordenar1", LoadLangStr(sMenuOrdenar), [this] { Ordenar1Click(); });

    Ajuda1 = AddItem(root, this, "Ajuda1", LoadLangStr(sMenuAjuda));
    AjudadoMorvelan1 =
        AddItem(Ajuda1, this, "AjudadoMorvelan1", LoadLangStr(sMenuAjudaMorvelan), [this] { AjudadoMorvelan1Click(); });
    AjudadoMorvelan1->SetShortCut("F1");

    HistMenu = Make<THistMenu>(this, "HistMenu");
    HistMenu->SetMenuItem(Reabrir1);
    HistMenu->SetMaxHistory(10);
    HistMenu->SetBaseKey(HistoryBaseKey);
    HistMenu->OnClick = [this](TComponent*, const std::string& caption, int) { HistMenuClick(caption); };

    // The bar shows the menu; the items are drawn by the menu through the form's
    // messages whenever it draws them itself.
    MenuBar1 = Make<TMenuBar>(this, "MenuBar1");
    MenuBar1->SetParent(this);
    MenuBar1->OnMeasureItem = [this](TMenuItem* item, int& width, int& height) {
        if (!MenuPrincipal->OwnerDraw()) return false;
        TMeasureItemStruct m;
        m.Item = item;
        if (Perform(WM_MEASUREITEM, 0, reinterpret_cast<intptr_t>(&m)) == 0) return false;
        width = m.ItemWidth;
        height = m.ItemHeight;
        return true;
    };
    MenuBar1->OnDrawItem = [this](TMenuItem* item, TCanvas& canvas, const TRect& rect, TOwnerDrawState state) {
        if (!MenuPrincipal->OwnerDraw()) return false;
        TDrawItemStruct d;
        d.Item = item;
        d.ItemState = state;
        d.Canvas = &canvas;
        d.RcItem = rect;
        return Perform(WM_DRAWITEM, 0, reinterpret_cast<intptr_t>(&d)) != 0;
    };
    MenuBar1->SetItems(root);
}

void TFormPrincipal::CreateToolbars() {
    DockSuperior = Make<TToolDock>(this, "DockSuperior");
    DockSuperior->SetPosition(TDockPosition::dpTop);
    DockSuperior->SetParent(this);
    auto button = [this](TDockToolbar* bar, const char* name, const std::string& caption, const std::string& hint,
                         std::function<void()> click) {
        TSpeedButton* b = AddToolbarButton(*this, bar, name, caption, hint, 72);
        if (click) b->OnClick = [click](TComponent*) { click(); };
        return b;
    };
    tbAcao = Make<TDockToolbar>(this, "tbAcao");
    tbAcao->SetCaption(LoadLangStr(621));
    tbAcao->SetHideWhenInactive(false);
    NovoBtn = button(tbAcao, "NovoBtn", LoadLangStr(sBtnNovo), LoadLangStr(sMenuNovo), [this] { Novo1Click(); });
    AbrirBtn = button(tbAcao, "AbrirBtn", LoadLangStr(620), LoadLangStr(sMenuAbrir), [this] { AbrirArquivo1Click(); });
    tbAcao->InsertControl(new TDockToolbarSep(this));
    AdicionarBtn = button(tbAcao, "AdicionarBtn", LoadLangStr(sBtnAdicionar), LoadLangStr(2), [this] { mnuAdicionar1Click(); });
    ExtrairBtn = button(tbAcao, "ExtrairBtn", LoadLangStr(sBtnExtrair), LoadLangStr(3), [this] { mnuExtrair1Click(); });
    tbAcao->Loaded();
    tbUtilitario = Make<TDockToolbar>(this, "tbUtilitario");
    tbUtilitario->SetCaption(LoadLangStr(622));
    tbUtilitario->SetHideWhenInactive(false);
    ExplorerBtn = button(tbUtilitario, "ExplorerBtn", LoadLangStr(sBtnExplorer), LoadLangStr(sMenuExplorer),
                         [this] { Explorer1Click(); });
    ExecutaveisBtn = button(tbUtilitario, "ExecutaveisBtn", StripChar(LoadLangStr(sMenuSfx), '&'), LoadLangStr(sMenuSfx), {});
    AntiVirusBtn =
        button(tbUtilitario, "AntiVirusBtn", StripChar(LoadLangStr(sMenuAntiVirus), '&'), LoadLangStr(sMenuAntiVirus), {});
    EmailBtn = button(tbUtilitario, "EmailBtn", StripChar(LoadLangStr(sMenuEmail), '&'), LoadLangStr(sMenuEmail), {});
    tbUtilitario->Loaded();
    tbAcao->SetParent(DockSuperior);
    tbUtilitario->StoreDockPlace(0, 330);
    tbUtilitario->SetParent(DockSuperior);
}

void TFormPrincipal::CreateList() {
    ArquivosLv = Make<TDragListView>(this, "ArquivosLv");
    ArquivosLv->SetAlign(TAlign::alClient);
    ArquivosLv->SetParent(this);
    ArquivosLv->SetVirtualMode(true);
    ArquivosLv->SetMultiSelect(true);
    ArquivosLv->SetExtendedStyles(LVX(lvxFullRowSelect) | LVX(lvxHeaderDragDrop));
    const TAlignment aligns[ArchiveColumnCount] = {
        TAlignment::taLeftJustify,  TAlignment::taLeftJustify,  TAlignment::taCenter,
        TAlignment::taRightJustify, TAlignment::taRightJustify, TAlignment::taRightJustify,
        TAlignment::taLeftJustify,  TAlignment::taCenter,       TAlignment::taCenter};
    for (int i = 0; i < ArchiveColumnCount; ++i) {
        TListColumn* c = ArquivosLv->Columns().Add();
        c->SetCaption(LoadLangStr(30 + i));
        c->SetWidth(i == 0 ? 200 : 80);
        c->SetAlignment(aligns[i]);
    }
    // First click on a header: the flag the sort runs with is clear, so the event
    // (which receives its inverse) sorts the rows ascending.
    ArquivosLv->SetAutoColumnSort(TAutoColumnSort::acsSortToggle);
    ArquivosLv->SetAutoSortAscending(false);
    ArquivosLv->SetAutoResort(false);
    ArquivosLv->SetShowSortArrows(true);
    ArquivosLv->SetReverseSortArrows(true);
    ArquivosLv->SaveSettings().SetAutoSave(true);
    ArquivosLv->SaveSettings().SetRegistryKey(ColumnsKey);
    ArquivosLv->SaveSettings().SetSaveColumnSizes(true);
    ArquivosLv->SaveSettings().SetSaveCurrentSort(true);
    ArquivosLv->ExtSaveSettings().SetSaveColumnOrder(true);
    ArquivosLv->SetSmallImages(GetSystemImageList(0));

    ArquivosLv->OnVMCacheHint = [this](TComponent*, TLVCacheHint& hint) {
        if (FList.RowCount() > 0) FList.FillRowCache(hint.From, hint.To);
    };
    ArquivosLv->OnVMGetItemInfo = [this](TComponent*, int item, int subItem, TLVVMMaskItems& mask, int& image,
                                         intptr_t&, uint32_t&, uint32_t&, int& indent, std::string& text) {
        if (FList.RowCount() == 0 || !FOpener) return;
        if (mask & (1 << lvifText)) text = FList.CellText(item, subItem, FOpener->ArcType() == TArcType::atCab);
        indent = 0;
        image = FList.ImageIndex(item);
    };
    ArquivosLv->OnSortFinished = [this](TComponent*, int column, bool ascending) {
        if (!FOpener) return; // the saved sort applied while the window is made
        try {
            FOpener->SortFinished(column, ascending);
        } catch (...) {
            // A sort that fails leaves the list as it was.
        }
    };
    // Rows chosen by a click, the keys or a range: the status bar shows their totals.
    ArquivosLv->OnVMStateChanged = [this](TComponent*, const TLVStateChange&) {
        if (FOpener) FOpener->DisplayTotals(true);
    };
    ArquivosLv->Loaded();
}

void TFormPrincipal::CreateStatusBar() {
    StatusBar1 = Make<TPanel>(this, "StatusBar1");
    StatusBar1->SetAlign(TAlign::alBottom);
    StatusBar1->SetHeight(20);
    StatusBar1->SetBevelOuter(TBevelCut::bvNone);
    StatusBar1->SetParent(this);
    StatusBar1->OnClick = [this](TComponent*) { StatusBar1Click(); };
    int left = 0;
    std::vector<std::pair<TPanel*, TAlign>> aligns;
    auto panel = [this, &left, &aligns](const std::string& name, TAlign align, int width, TPanel*& frame) {
        frame = new TPanel(this);
        frame->SetName(name + "Frame");
        frame->SetBevelOuter(TBevelCut::bvLowered);
        // Panels aligned to the left keep the order of their places.
        frame->SetBounds(left, 0, width, 20);
        left += width;
        aligns.push_back({frame, align});
        frame->SetParent(StatusBar1);
        frame->OnClick = [this](TComponent*) { StatusBar1Click(); };
        auto* label = new TLabel(this);
        label->SetName(name);
        label->SetBounds(4, 2, width > 8 ? width - 8 : 100, 16);
        label->SetAlign(TAlign::alClient);
        label->SetParent(frame);
        label->OnClick = [this](TComponent*) { StatusBar1Click(); };
        return label;
    };
    const int widths[5] = {110, 130, 180, 180, 0};
    for (size_t i = 0; i < 5; ++i)
        StatusPanels[i] = panel("StatusPanel" + std::to_string(i), i == 4 ? TAlign::alClient : TAlign::alLeft,
                                widths[i], StatusFrames[i]);
    left = 0;
    StatusSimple = panel("StatusSimple", TAlign::alClient, 0, StatusSimpleFrame);
    StatusSimpleFrame->SetVisible(false);
    // Aligned once all are in place, so that they keep their order.
    for (auto& [frame, align] : aligns) frame->SetAlign(align);
}

void TFormPrincipal::CreateProgressWindow() {
    ProgressWindow = Make<TToolWindow>(this, "ProgressWindow");
    ProgressWindow->SetCaption(LoadLangStr(sProgressCaption));
    ProgressWindow->SetHideWhenInactive(false);
    ProgressWindow->Loaded();
    ProgressWindow->SetClientAreaSize(300, 114);
    auto label = [this](const char* name, int left, int top, int width) {
        auto* l = Make<TLabel>(this, name);
        l->SetBounds(left, top, width, 16);
        l->SetParent(ProgressWindow);
        return l;
    };
    // The folder and the file under way, each after its caption.
    label("ProgressFolderCaption", 6, 4, 60)->SetCaption(LoadLangStr(sProgressFolder));
    label("ProgressFileCaption", 6, 22, 60)->SetCaption(LoadLangStr(sProgressFile));
    ProgressFolderLbl = label("ProgressFolderLbl", 68, 4, 226);
    ProgressFileLbl = label("ProgressFileLbl", 68, 22, 226);
    ProgressMessageLbl = label("ProgressMessageLbl", 6, 40, 288);
    ProgressBar = Make<TProgressBar>(this, "ProgressBar");
    ProgressBar->SetBounds(6, 60, 288, 16);
    ProgressBar->SetRange(0, 100);
    ProgressBar->SetParent(ProgressWindow);
    CancelarBtn = Make<TButton>(this, "CancelarBtn");
    CancelarBtn->SetCaption(LoadLangStr(121));
    CancelarBtn->SetBounds(112, 84, 76, 24);
    CancelarBtn->OnClick = [this](TComponent*) { CancelarBtnClick(); };
    CancelarBtn->SetParent(ProgressWindow);
    ProgressWindow->SetParent(this); // floating above the window
    ProgressWindow->SetVisible(false);
}

// Tool windows, the reopen list and the explorer pane as they were left. A saved
// state that cannot be read gives the designed layout and an empty history: the
// program still starts.
void TFormPrincipal::LoadSavedState() {
    try {
        platform::RegistryStore store;
        FHistory.Load(store);
    } catch (const std::exception& e) {
        FStartFailures.emplace_back(e.what());
    }
    RefreshReopenMenu();
    try {
        const platform::IniFile ini(platform::IniFilePath());
        ApplyExplorerSettings(ReadExplorerSettings(ini));
    } catch (const std::exception& e) {
        FStartFailures.emplace_back(e.what());
    }
    try {
        LoadToolWindowPositions(*this, platform::IniFilePath());
    } catch (const std::exception& e) {
        FStartFailures.emplace_back(e.what());
    }
    ProgressWindow->SetVisible(false);
}

void TFormPrincipal::RefreshReopenMenu() {
    while (HistMenu->EntryCount() > 0) delete HistMenu->Entry(HistMenu->EntryCount() - 1);
    HistMenu->SetItemCount(0);
    for (const TReopenItem& item : FHistory.Items()) HistMenu->AddItem(item.Caption, item.Tag);
    Reabrir1->SetEnabled(HistMenu->EntryCount() > 0);
    if (MenuBar1) MenuBar1->Rebuild();
}

TExplorerSettings TFormPrincipal::CurrentExplorerSettings() const {
    TExplorerSettings s;
    s.PaneShown = PanelExplorer->Visible();
    s.PaneHeight = PanelExplorer->Height();
    s.Style = FExplorerStyle;
    if (FExplorer) {
        s.TreeWidth = FExplorer->TreeWidth();
        s.TreeShown = FExplorer->TreeShown();
        s.Style = FExplorer->Estilo();
    }
    return s;
}

void TFormPrincipal::ApplyExplorerSettings(const TExplorerSettings& settings) {
    PanelExplorer->SetHeight(settings.PaneHeight);
    PanelExplorer->SetVisible(settings.PaneShown);
    Explorer1->SetChecked(settings.PaneShown);
    if (FExplorer) {
        FExplorer->SetEstilo(settings.Style);
        FExplorer->SetTreeWidth(settings.TreeWidth);
        FExplorer->SetTreeShown(settings.TreeShown);
        FExplorer->ShowExplorerPane(settings.PaneShown);
    }
    // A style outside 1..4 presses no view button.
    FExplorerStyle = settings.Style;
    for (int i = 0; i < 4; ++i) EstiloItems[static_cast<size_t>(i)]->SetChecked(settings.Style == i + 1);
}

// ---- commands ---------------------------------------------------------------------------

void TFormPrincipal::AbrirArquivo1Click() {
    PlaySoundRes("CLICK");
    TOpenArchiveRequest request;
    request.Title = LoadLangStr(72);
    request.Filter = LoadLangStr(OpenFilterText);
    std::string folder;
    if (FOptions.PastaIniciar == pfLastUsed) folder = FOptions.UltimaPastaIniciar;
    else if (FOptions.PastaIniciar == pfFixed) folder = FOptions.PastaIniciarFixa;
    std::error_code ec;
    if (!folder.empty() && !std::filesystem::is_directory(folder, ec)) folder.clear();
    request.InitialDir = folder;
    std::string chosen;
    if (!RunOpenArchiveDialog(this, request, chosen) || chosen.empty()) return;
    FOptions.UltimaPastaIniciar = std::filesystem::path(chosen).parent_path().string();
    // A name that does not exist is left alone, as the dialog lets it through.
    if (!std::filesystem::exists(chosen, ec)) return;
    FOpener->OpenArchive(chosen);
    RefreshReopenMenu();
}

// ---- adding -------------------------------------------------------------------------

void TFormPrincipal::mnuAdicionar1Click() {
    if (!FAddCommand || FOperations->Busy() || !mnuAdicionar1->Enabled()) return;
    PlaySoundRes("CLICK");
    SetSoundsEnabled(false);
    FAddCommand->AddFiles(false);
    RefreshReopenMenu();
}

void TFormPrincipal::Novo1Click() {
    if (!FAddCommand || FOperations->Busy()) return;
    PlaySoundRes("CLICK");
    std::string folder;
    if (FOptions.PastaIniciar == pfLastUsed) folder = FOptions.UltimaPastaIniciar;
    else if (FOptions.PastaIniciar == pfFixed) folder = FOptions.PastaIniciarFixa;
    std::error_code ec;
    if (!folder.empty() && !std::filesystem::is_directory(folder, ec)) folder.clear();
    std::string chosen;
    if (NewArchiveDialog) {
        if (!NewArchiveDialog(folder, chosen)) return;
    } else {
        TMvSaveDlg dialog(nullptr);
        dialog.SetTitle(LoadLangStr(63));
        dialog.SetFilterIndex(1);
        dialog.SetInitialDir(folder);
        if (!dialog.Execute()) return;
        chosen = dialog.FileName();
    }
    chosen = TrimText(chosen);
    if (chosen.empty()) return;
    FOptions.UltimaPastaIniciar = std::filesystem::path(chosen).parent_path().string();
    chosen = ReplaceExt(chosen, ".zip");
    if (std::filesystem::exists(chosen, ec)) {
        if (ShowMessage(LoadLangStr(64), mkQuestion, mbYesNo) == 6) {
            FOpener->OpenArchive(chosen);
            RefreshReopenMenu();
        }
        return;
    }
    FAddCommand->NewArchive(chosen);
    RefreshReopenMenu();
}

void TFormPrincipal::HistMenuClick(const std::string& caption) {
    FOpener->ReopenArchive(caption);
    RefreshReopenMenu();
}

void TFormPrincipal::mnuFecharArquivo1Click() {
    FOpener->CloseArchive();
    RefreshReopenMenu();
}

void TFormPrincipal::Refresh1Click() {
    FOpener->List();
    RefreshReopenMenu();
}

void TFormPrincipal::EspecificarTipo1Click() {
    const std::string answer =
        ShowInputBox(LoadLangStr(66), LoadLangStr(67), LoadLangStr(68) + "* , *.txt, *.exe", 3, 1, FOpener->FileSpecText());
    if (answer == "@Cancel@") return;
    FOpener->SetFileSpec(answer == "@OK@" ? std::string() : answer);
    RefreshReopenMenu();
}

void TFormPrincipal::Sair1Click() {
    Close();
}

void TFormPrincipal::AjudadoMorvelan1Click() {
    const std::string lang = LanguageBase() == lbPortuguese ? "pt" : LanguageBase() == lbSpanish ? "es" : "en";
    const std::string page = platform::ResourceDir() + "/help/" + lang + "/index.html";
    std::error_code ec;
    if (std::filesystem::exists(page, ec)) ExecuteFile(page, "", "", swShowNormal);
}

void TFormPrincipal::Ordenar1Click() {
    ShowMessage(LoadLangStr(71), mkInformation, mbOKOnly);
}

void TFormPrincipal::Explorer1Click() {
    FExplorer->ExplorerBtnClick();
    Explorer1->SetChecked(FExplorer->Shown());
}

void TFormPrincipal::EstiloClick(int style) {
    FExplorerStyle = style;
    for (int i = 0; i < 4; ++i) EstiloItems[static_cast<size_t>(i)]->SetChecked(style == i + 1);
    if (style >= 1 && style <= 4) FExplorer->LargeIconsBtnClick(style - 1);
}

void TFormPrincipal::StatusBar1Click() {
    FOpener->StatusBarClick();
}

void TFormPrincipal::ProcurarBtnClick() {
    PlaySoundRes("CLICK");
    SetSoundsEnabled(false);
    std::string chosen;
    if (!ShowSearchForm(chosen)) return;
    FOpener->OpenArchive(chosen);
    RefreshReopenMenu();
}

void TFormPrincipal::ProcessCommandLine() {
    if (FCommandLineDone || FExitCode == QuitMarker) return;
    FCommandLineDone = true;
    const TStartDecision& d = FStart.Decision;
    if (d.Kind == TStartKind::OpenArchive) {
        FOpener->OpenArchive(d.Archive);
        RefreshReopenMenu();
    } else if (d.Kind == TStartKind::Verb) {
        // A verb runs with the window hidden and ends the program.
        int code = QuitMarker;
        if (RunVerb) code = RunVerb(d);
        FExitCode = code;
        if (Application) Application->Terminate(code);
    }
}

void TFormPrincipal::Dispatch(TMessage& message) {
    if (message.Msg == WM_PROCESSCOMMANDLINE) {
        ProcessCommandLine();
        return;
    }
    TForm::Dispatch(message);
}

// ---- options dialog and explorer pane -----------------------------------------------

void TFormPrincipal::CreateOptionsAndExplorer() {
    // The sounds follow the option read with the others.
    SetSoundsOption(FOptions.Sons);
    AddSeparator(Opcoes1, this);
    Configurar1 = AddItem(Opcoes1, this, "Configurar1", LoadLangStr(3200), [this] { ConfigBtnClick(); });
    MenuBar1->Rebuild();
    // The explorer pane in PanelExplorer, and what drops on the archive list do.
    FDrops = std::make_unique<TDropFiles>(*this, *FOpener, FOptions);
    FDrops->Operations = [this] { return FOperations.get(); };
    FExplorer = std::make_unique<TExplorerPane>(*this, *PanelExplorer, *DockSuperior,
                                                std::array<TDockToolbar*, 2>{tbAcao, tbUtilitario},
                                                static_cast<TDragListView&>(*ArquivosLv), *FOpener, *FDrops);
    FExplorer->OnArchiveChanged = [this] { RefreshReopenMenu(); };
}

void TFormPrincipal::ConfigBtnClick(int page) {
    PlaySoundRes("CLICK");
    SetSoundsEnabled(false);
    const bool applied = ShowOptionsDialog(FOptions, page, [this](bool on) {
        const TLVExtendedStyles styles = ArquivosLv->ExtendedStyles();
        ArquivosLv->SetExtendedStyles(static_cast<TLVExtendedStyles>(on ? styles | LVX(lvxGridLines) : styles & ~LVX(lvxGridLines)));
    });
    if (!applied) return;
    FOpener->TempFolder = FOptions.PastaTemporaria;
    FOpener->AutoSizeColumns = FOptions.LarguraColuna == 0;
    if (FOperations) FOperations->TempFolder = FOptions.PastaTemporaria;
}

// ---- the commands on the open archive, the letter keys and the verbs ----------------------

void TFormPrincipal::CreateCommands() {
    FCommands = std::make_unique<TMainCommands>(*this, *FOpener, FList, *FOperations, FOptions);
    FCommands->OpenOptions = [this](const std::string& page) {
        if (OptionsCommand) OptionsCommand(page);
    };
    FCommands->RunWizard = [this](const std::string& archive, const std::vector<std::string>& entries) {
        TFormSFX wizard(this, archive, entries);
        wizard.ResetWizard();
        wizard.ShowModal();
    };
    FCommands->RunScripts = [this] { ShowScriptManager(this); };

    FCommandLine = std::make_unique<TCommandLine>(*this, *FOpener, *FOperations, FOptions, std::cerr);
    FCommandLine->ExtractDialog = FOperations->ExtractDialog;
    // AS and ASQ: the add dialog on the new archive's name with the items, which
    // writes the archive the user confirms there.
    FCommandLine->AddFiles = [this](const std::string& archive, const std::vector<std::string>& items) {
        RunAddCommand(*FAddCommand, archive, items);
    };
    FCommandLine->RunWizard = FCommands->RunWizard;
    FCommandLine->RunScripts = [this](const std::string& script) { ShowScriptManager(this, script); };
    FCommandLine->EntryNames = [this] {
        FOpener->List();
        std::vector<std::string> names;
        for (const TArchiveRow& row : FList.Rows()) names.push_back(row.StoredName());
        return names;
    };
    RunVerb = [this](const TStartDecision& d) { return FCommandLine->Run(d); };
    // The anti-virus question and the letter keys open the options on the programs'
    // page or the first one, and the search form.
    OptionsCommand = [this](const std::string& page) {
        ConfigBtnClick(page == VirusOptionsPage ? OptionsPageProgramas : OptionsPagePrincipal);
    };
    SearchCommand = [this] { ProcurarBtnClick(); };

    Scripts1 = new TMenuItem(this);
    Scripts1->SetName("Scripts1");
    Scripts1->SetCaption(LoadLangStr(3050));
    Acoes1->Add(Scripts1);
    const auto bind = [](auto* control, std::function<void()> click) {
        control->OnClick = [click](TComponent*) { click(); };
    };
    bind(Visualizar1, [this] { ArquivosLvDblClick(); });
    bind(Excluir1, [this] { mnuExcluir1Click(); });
    bind(AntiVirus1, [this] { AntiVirusBtnClick(); });
    bind(AntiVirusBtn, [this] { AntiVirusBtnClick(); });
    bind(Email1, [this] { BtnEmailClick(); });
    bind(EmailBtn, [this] { BtnEmailClick(); });
    bind(Sfx1, [this] { ExecutaveisBtnClick(); });
    bind(ExecutaveisBtn, [this] { ExecutaveisBtnClick(); });
    bind(Scripts1, [this] { ScriptsBtnClick(); });
    ArquivosLv->OnDblClick = [this](TComponent*) { ArquivosLvDblClick(); };
    ArquivosLv->OnKeyDown = [this](TComponent*, uint16_t& key, TShiftState shift) {
        if (key == 46 && shift == 0) {
            key = 0;
            mnuExcluir1Click();
        }
    };
    ArquivosLv->OnKeyPress = [this](TComponent*, char& key) { FormKeyPress(key); };
    OnKeyPress = [this](TComponent*, char& key) { FormKeyPress(key); };
    if (MenuBar1) MenuBar1->Rebuild();
}

void TFormPrincipal::ArquivosLvDblClick() {
    FCommands->View();
}

void TFormPrincipal::mnuExcluir1Click() {
    FCommands->Delete();
    RefreshReopenMenu();
}

void TFormPrincipal::AntiVirusBtnClick() {
    FCommands->AntiVirus();
}

void TFormPrincipal::BtnEmailClick() {
    FCommands->Email();
}

void TFormPrincipal::ExecutaveisBtnClick() {
    FCommands->Wizard();
}

void TFormPrincipal::ScriptsBtnClick() {
    FCommands->Scripts();
}

void TFormPrincipal::FormKeyPress(char& key) {
    if (!FOperations || FOperations->Busy()) return;
    const TKeyCommand command = KeyCommandFor(key, LanguageBase());
    if (command == TKeyCommand::kcNone) return;
    key = 0;
    switch (command) {
    case TKeyCommand::kcAdd:
        if (mnuAdicionar1->Enabled()) mnuAdicionar1->Click();
        break;
    case TKeyCommand::kcOptions:
        if (OptionsCommand) OptionsCommand({});
        break;
    case TKeyCommand::kcExtract:
        if (Extrair1->Enabled()) Extrair1->Click();
        break;
    case TKeyCommand::kcWizard:
        ExecutaveisBtnClick();
        break;
    case TKeyCommand::kcEmail:
        BtnEmailClick();
        break;
    case TKeyCommand::kcNewArchive:
        Novo1->Click();
        break;
    case TKeyCommand::kcScripts:
        ScriptsBtnClick();
        break;
    case TKeyCommand::kcAntiVirus:
        if (AntiVirusBtn->Enabled()) AntiVirusBtnClick();
        break;
    case TKeyCommand::kcExplorer:
        Explorer1Click();
        break;
    case TKeyCommand::kcOpen:
        AbrirArquivo1Click();
        break;
    case TKeyCommand::kcSearch:
        if (SearchCommand) SearchCommand();
        break;
    case TKeyCommand::kcNone:
        break;
    }
}

// ---- ending -----------------------------------------------------------------------------

void TFormPrincipal::FormClose() {
    if (FClosed) return;
    FClosed = true;
    SetVisible(false);
    // A hidden command-line run leaves the saved layout as it is.
    if (FStart.Decision.Hidden) {
        if (Application && Application->MainForm() == this) Application->Terminate(FExitCode);
        return;
    }
    try {
        SaveToolWindowPositions(*this, platform::IniFilePath());
    } catch (const std::exception& e) {
        FShutdownFailures.emplace_back(e.what());
    }
    try {
        platform::IniFile ini(platform::IniFilePath());
        WriteExplorerSettings(ini, CurrentExplorerSettings());
    } catch (const std::exception& e) {
        FShutdownFailures.emplace_back(e.what());
    }
    if (Application && Application->MainForm() == this) Application->Terminate(FExitCode);
}

void TFormPrincipal::FormDestroy() {
    if (FDestroyed) return;
    FDestroyed = true;
    // The controls outlive this part of the window: they ask nothing of it any more.
    ArquivosLv->OnVMGetItemInfo = nullptr;
    ArquivosLv->OnVMCacheHint = nullptr;
    ArquivosLv->OnSortFinished = nullptr;
    ArquivosLv->OnVMStateChanged = nullptr;
    HistMenu->OnClick = nullptr;
    FExplorer.reset();
    MenuBar1->OnMeasureItem = nullptr;
    MenuBar1->OnDrawItem = nullptr;
    OnShow = nullptr;
    OnClose = nullptr;
    OnCloseQuery = nullptr;
    CancelarBtn->OnClick = nullptr;
    // The temporary folders of this run go; the engines pump no more through the window.
    FAddCommand.reset();
    if (FOperations) {
        FOperations->RemoveTempFiles();
        FOperations->OnBusyChanged = nullptr;
    }
    SetEngineMessagePump({});
    TShutdownSteps steps;
    steps.DestroyVendorInstance = [this] {
        // The commands lean on the operations, and they on the opener's vendor instance
        // and lister.
        FCommandLine.reset();
        FCommands.reset();
        FOperations.reset();
        FOpener.reset();
    };
    steps.HideWindow = [this] { SetVisible(false); };
    steps.SaveReopenHistory = [this] {
        platform::RegistryStore store;
        FHistory.Save(store);
    };
    steps.WriteOptions = [this] {
        // Only a window that was shown writes its options: a hidden command-line run
        // leaves the user's settings as they are.
        if (FStart.Decision.Hidden) return;
        platform::IniFile ini(platform::IniFilePath());
        WriteOptions(ini, FOptions);
    };
    steps.FreeLists = [this] {
        FList.ClearList();
        SetFileIconIndexHook({});
    };
    steps.SetBusyCursor = [this](bool busy) { SetBusyCursor(busy); };
    auto more = ShutDownMainWindow(steps);
    FShutdownFailures.insert(FShutdownFailures.end(), more.begin(), more.end());
}

// ---- archive operations ------------------------------------------------------------------

void TFormPrincipal::CreateOperations() {
    FPrompts = std::make_unique<TFormPrompts>();
    FOperations = std::make_unique<TArchiveOperations>(*this, *FOpener, FList, *FPrompts);
    FOperations->TempFolder = FOptions.PastaTemporaria;
    FOperations->ExtractDialog = [](TExtractChoice& choice) { return ShowExtractDialog(choice); };
    FOperations->OnBusyChanged = [this](bool busy) { OperationBusyChanged(busy); };
    FAddCommand = std::make_unique<TAddCommand>(*this, *FOpener, *FOperations, FOptions);
    FAddCommand->ArgumentCount = FStart.ArgumentCount;
    FAddCommand->OnArchiveUsed = [this](const std::string&) { RefreshReopenMenu(); };
    // The engines' long loops let the window's messages run, so that it repaints and
    // its Cancel button can be pressed.
    SetEngineMessagePump([this] { ProcessMessages(); });
    // Closing the window waits for the running operation (its Cancel ends it sooner).
    OnCloseQuery = [this](TComponent*, bool& canClose) {
        if (FOperations && FOperations->Busy()) canClose = false;
    };
}

// While an operation runs, nothing else starts: every menu item and button, the
// reopen menu, the explorer pane and the list's own commands (double click, keys)
// are held; only the progress window's Cancel acts. Afterwards each gets back the state it had.
void TFormPrincipal::OperationBusyChanged(bool busy) {
    if (busy == FCommandsHeld) return;
    if (busy) {
        FCommandsHeld = true;
        FBusyMenuStates.clear();
        FBusyButtonStates.clear();
        std::function<void(TMenuItem*)> hold = [&](TMenuItem* item) {
            for (int i = 0; i < item->Count(); ++i) {
                TMenuItem* child = item->Items(i);
                FBusyMenuStates.emplace_back(child, child->Enabled());
                child->SetEnabled(false);
                hold(child);
            }
        };
        hold(MenuPrincipal->Items());
        for (TSpeedButton* b : {NovoBtn, AbrirBtn, AdicionarBtn, ExtrairBtn, ExplorerBtn, ExecutaveisBtn,
                                AntiVirusBtn, EmailBtn}) {
            FBusyButtonStates.emplace_back(b, b->Enabled());
            b->SetEnabled(false);
        }
        FBusyListDblClick = std::exchange(ArquivosLv->OnDblClick, nullptr);
        FBusyListKeyDown = std::exchange(ArquivosLv->OnKeyDown, nullptr);
        FBusyListKeyPress = std::exchange(ArquivosLv->OnKeyPress, nullptr);
        FBusyFormKeyPress = std::exchange(OnKeyPress, nullptr);
        FBusyPaneEnabled = PanelExplorer->Enabled();
        PanelExplorer->SetEnabled(false);
        if (FExplorer) FExplorer->SyncCommandButtons();
        CancelarBtn->SetEnabled(true);
        return;
    }
    FCommandsHeld = false;
    for (auto& [item, enabled] : FBusyMenuStates) item->SetEnabled(enabled);
    for (auto& [button, enabled] : FBusyButtonStates) button->SetEnabled(enabled);
    FBusyMenuStates.clear();
    FBusyButtonStates.clear();
    ArquivosLv->OnDblClick = std::move(FBusyListDblClick);
    ArquivosLv->OnKeyDown = std::move(FBusyListKeyDown);
    ArquivosLv->OnKeyPress = std::move(FBusyListKeyPress);
    OnKeyPress = std::move(FBusyFormKeyPress);
    PanelExplorer->SetEnabled(FBusyPaneEnabled);
    if (FExplorer) FExplorer->SyncCommandButtons();
    FBusyListDblClick = nullptr;
    FBusyListKeyDown = nullptr;
    FBusyListKeyPress = nullptr;
    FBusyFormKeyPress = nullptr;
    if (FHeldCommandState) {
        const TCommandState state = *FHeldCommandState;
        FHeldCommandState.reset();
        EnableCommands(state);
    }
}

void TFormPrincipal::mnuExtrair1Click() {
    if (!FOperations || FOperations->Busy() || !Extrair1->Enabled()) return;
    PlaySoundRes("CLICK");
    // The dialog turns the sounds back on when it shows.
    SetSoundsEnabled(false);
    std::string proposed;
    switch (FOptions.PastaExtrair) {
    case pfCurrentOrArchive:
        proposed = platform::DirectoryOf(FOpener->ArchiveFile());
        break;
    case pfLastUsed:
        proposed = FOptions.UltimaPastaExtrair;
        break;
    case pfFixed:
        proposed = FOptions.PastaExtrairFixa;
        break;
    default:
        break;
    }
    std::string chosen;
    FOperations->ExtractCommand(proposed, true, &chosen);
    if (!chosen.empty()) FOptions.UltimaPastaExtrair = chosen;
    SetSoundsEnabled(true);
}

void TFormPrincipal::CancelarBtnClick() {
    if (FOperations) FOperations->CancelarBtnClick();
}

// ---- the view ---------------------------------------------------------------------------

void TFormPrincipal::SetVirtualItemCount(int count) {
    ArquivosLv->SetVirtualItemCount(count, 2);
}

int TFormPrincipal::CurrentSortColumn() const {
    return ArquivosLv->CurrentSortColumn();
}

bool TFormPrincipal::CurrentSortAscending() const {
    // What the list view's sort event would say: the inverse of its flag.
    return !ArquivosLv->CurrentSortAscending();
}

std::vector<int> TFormPrincipal::SelectedItems() const {
    std::vector<int> items;
    for (int i = ArquivosLv->GetNextItemIndex(-1, 4, 16); i >= 0; i = ArquivosLv->GetNextItemIndex(i, 4, 16))
        items.push_back(i);
    return items;
}

void TFormPrincipal::ClearSelection() {
    ArquivosLv->ClearSelection();
}

void TFormPrincipal::BeginListUpdate() {
    ArquivosLv->BeginUpdate();
}

void TFormPrincipal::EndListUpdate() {
    ArquivosLv->EndUpdate();
}

void TFormPrincipal::AutoSizeColumns() {
    TCanvas canvas;
    canvas.Font().Assign(ArquivosLv->Font());
    // A text is as wide as its characters, each measured once: a large archive has
    // nine texts per row to measure, and measuring each whole text costs far more.
    std::array<int, 128> ascii;
    ascii.fill(-1);
    std::unordered_map<std::string, int> others;
    const auto textWidth = [&](const std::string& text) {
        int width = 0;
        for (size_t i = 0; i < text.size();) {
            const auto lead = static_cast<unsigned char>(text[i]);
            if (lead < 0x80) {
                int& w = ascii[lead];
                if (w < 0) w = canvas.TextWidth(std::string(1, static_cast<char>(lead)));
                width += w;
                ++i;
                continue;
            }
            const size_t n = std::min(text.size() - i, size_t(lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1));
            const std::string character = text.substr(i, n);
            auto it = others.find(character);
            if (it == others.end()) it = others.emplace(character, canvas.TextWidth(character)).first;
            width += it->second;
            i += n;
        }
        return width;
    };
    const auto widths = FList.AutoColumnWidths(textWidth);
    ArquivosLv->BeginUpdate();
    for (int i = 0; i < ArchiveColumnCount; ++i) {
        TListColumn* column = ArquivosLv->Columns()[i];
        int width = widths[static_cast<size_t>(i)];
        // A shown column is never narrower than its title with room for the sort arrow.
        if (width > 0) width = std::max(width, textWidth(column->Caption()) + 24);
        column->SetWidth(width);
    }
    ArquivosLv->EndUpdate();
}

void TFormPrincipal::SetStatusText(const std::string& text) {
    const bool simple = !text.empty();
    StatusSimple->SetCaption(text);
    StatusSimpleFrame->SetVisible(simple);
    // Hidden from the last and shown from the first, the panels keep their places.
    if (simple)
        for (auto it = StatusFrames.rbegin(); it != StatusFrames.rend(); ++it) (*it)->SetVisible(false);
    else
        for (TPanel* p : StatusFrames) p->SetVisible(true);
    StatusBar1->Repaint();
}

void TFormPrincipal::SetStatusPanels(const std::array<std::string, 5>& panels) {
    for (size_t i = 0; i < panels.size(); ++i) StatusPanels[i]->SetCaption(panels[i]);
    StatusBar1->Repaint();
}

std::string TFormPrincipal::StatusPanelText(int index) const {
    return StatusPanels.at(static_cast<size_t>(index))->Caption();
}

std::string TFormPrincipal::StatusSimpleText() const {
    return StatusSimpleFrame->Visible() ? StatusSimple->Caption() : std::string();
}

bool TFormPrincipal::StatusSimpleMode() const {
    return StatusSimpleFrame->Visible();
}

void TFormPrincipal::SetCaption(const std::string& caption) {
    TControl::SetCaption(caption);
}

void TFormPrincipal::EnableCommands(const TCommandState& state) {
    if (FCommandsHeld) {
        // Applied when the running operation ends and gives the commands back.
        FHeldCommandState = std::make_unique<TCommandState>(state);
        return;
    }
    for (TMenuItem* item : {mnuAdicionar1, Excluir1}) item->SetEnabled(state.CanAdd);
    AdicionarBtn->SetEnabled(state.CanAdd);
    for (TMenuItem* item : {Extrair1, Visualizar1, AntiVirus1, Sfx1, Email1}) item->SetEnabled(state.CanExtract);
    for (TSpeedButton* b : {ExtrairBtn, AntiVirusBtn, ExecutaveisBtn, EmailBtn}) b->SetEnabled(state.CanExtract);
    mnuFecharArquivo1->SetEnabled(state.CanClose);
    if (FExplorer) FExplorer->SyncCommandButtons();
}

void TFormPrincipal::SetBusyCursor(bool busy) {
    FBusy = busy ? FBusy + 1 : (FBusy > 0 ? FBusy - 1 : 0);
    SetCursor(FBusy > 0 ? TCursor::crHourGlass : TCursor::crDefault);
    if (!busy) ArquivosLv->SetFocus();
}

void TFormPrincipal::ShowProgressWindow(bool visible) {
    // Each operation shows its progress in the middle of the screen.
    if (visible && !ProgressWindow->Visible() && ProgressWindow->Floating()) {
        TForm* host = ProgressWindow->FloatingHost();
        host->SetBounds((ScreenWidth() - host->Width()) / 2, (ScreenHeight() - host->Height()) / 2, host->Width(),
                        host->Height());
    }
    ProgressWindow->SetVisible(visible);
}

void TFormPrincipal::SetProgressCaption(const std::string& text) {
    ProgressWindow->SetCaption(text);
}

void TFormPrincipal::SetProgressFolder(const std::string& text) {
    ProgressFolderLbl->SetCaption(text);
}

void TFormPrincipal::SetProgressFile(const std::string& text) {
    ProgressFileLbl->SetCaption(text);
}

void TFormPrincipal::SetProgressMessage(const std::string& text) {
    ProgressMessageLbl->SetCaption(text);
}

void TFormPrincipal::SetProgressPercent(int percent) {
    ProgressBar->SetPosition(percent);
}

void TFormPrincipal::ProcessMessages() {
    if (Application) Application->ProcessMessages();
}

int TFormPrincipal::ShowMessage(const std::string& text, uint8_t kind, uint16_t buttons) {
    return ShowMessageBox(text, kind, buttons, 0, -1, -1);
}

int TFormPrincipal::AskPassword(const std::string& entryName, std::string& password) {
    TFrmSenha form(nullptr);
    form.SetCaption(entryName);
    const int result = form.ShowModal();
    if (result == 1) password = form.SenhaEdit->Text();
    return result;
}

int TFormPrincipal::AskOverwrite(const std::string& title, const std::string& existingSize,
                                 const std::string& existingTime, const std::string& newSize,
                                 const std::string& newTime) {
    TfrmOverwrite form(nullptr);
    form.TituloLbl->SetCaption(title);
    form.TamanhoOriginalLbl->SetCaption(existingSize);
    form.DataOriginalLbl->SetCaption(existingTime);
    form.TamanhoDestinoLbl->SetCaption(newSize);
    form.DataDestinoLbl->SetCaption(newTime);
    return form.ShowModal();
}

} // namespace mv
