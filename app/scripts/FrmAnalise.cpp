#include "app/scripts/FrmAnalise.h"

#include "app/common/LangStr.h"
#include "app/common/MessageBox.h"
#include "app/common/Sounds.h"
#include "app/common/FormBuild.h"
#include "controls/listview/ExtListView.h"
#include "controls/shell/ShellUtils.h"
#include "controls/shell/SystemImages.h"
#include "controls/toolkit/colour/ExtPageControl.h"
#include "controls/toolkit/files/TreeScanner.h"
#include "controls/toolkit/placement/FormPlacement.h"
#include "platform/AppPaths.h"
#include "platform/IniFile.h"
#include "platform/ui/StdControls.h"

#include <algorithm>
#include <unordered_map>

namespace mv {

namespace {

// Column captions by the kind of column.
int CaptionOf(TAnalysisColumn c) {
    switch (c) {
    case TAnalysisColumn::acName: return 30;
    case TAnalysisColumn::acExtension: return 595;
    case TAnalysisColumn::acSize: return 33;
    case TAnalysisColumn::acDate: return 32;
    case TAnalysisColumn::acFolder: return 36;
    }
    return 30;
}

// Width of a column from its widest text: the name leaves room for the icon.
int WidthFor(TAnalysisColumn c, int textWidth) {
    if (textWidth == 0) return 0;
    switch (c) {
    case TAnalysisColumn::acName: return textWidth + 35;
    case TAnalysisColumn::acExtension: return textWidth + 18;
    default: return textWidth + 15;
    }
}

} // namespace

TFrmAnalise::TFrmAnalise(TComponent* owner, const std::string& iniFileName)
    : TForm(owner), FIniFileName(iniFileName.empty() ? platform::IniFilePath() : iniFileName) {
    SetName("FrmAnalise");
    SetScaled(false);
    SetPosition(TPosition::poScreenCenter);
    SetCaption(LoadLangStr(428) + "  -  " + LoadLangStr(441));
    SetShowHint(true);
    SetClientWidth(752);
    SetClientHeight(556);

    auto* bottom = AddControl<TPanel>(*this, *this, "BottomPn", 0, 516, 752, 40);
    bottom->SetAlign(TAlign::alBottom);
    bottom->SetBevelOuter(TBevelCut::bvNone);
    OkBtn = AddCaptioned<TButton>(*bottom, *this, "OkBtn", 660, 8, 84, 25, 187);
    OkBtn->SetHint(LoadLangStr(184));
    OkBtn->SetDefault(true);
    OkBtn->SetCancel(true);
    OkBtn->OnClick = [this](TComponent*) { SetModalResult(mrOk); };
    ProgressPn = AddControl<TPanel>(*bottom, *this, "ProgressPn", 8, 4, 560, 32);
    ProgressPn->SetBevelOuter(TBevelCut::bvNone);
    ProgressLabel = AddControl<TLabel>(*ProgressPn, *this, "ProgressLabel", 0, 0, 560, 14);
    ProgressBar1 = AddControl<TProgressBar>(*ProgressPn, *this, "ProgressBar1", 0, 16, 560, 14);
    ProgressPn->SetVisible(false);

    PageControl1 = AddControl<TExtPageControl>(*this, *this, "PageControl1", 0, 0, 752, 516);
    PageControl1->SetAlign(TAlign::alClient);
    PageControl1->SetTabPosition(TExtTabPosition::tabPosTop);
    PageControl1->TabActiveFont().SetStyle(fsBold);
    ArquivosTs = PageControl1->AddPage(LoadLangStr(47));
    ArquivosTs->SetName("ArquivosTs");
    ExcluidosTs = PageControl1->AddPage(LoadLangStr(186));
    ExcluidosTs->SetName("ExcluidosTs");
    PageControl1->OnChange = [](TComponent*) { PlaySoundRes("CLICK"); };

    ArquivosLv = AddControl<TExtListView>(*ArquivosTs, *this, "ArquivosLv", 0, 0, 744, 200);
    ArquivosLv->SetAlign(TAlign::alTop);
    BackupLabel = AddControl<TLabel>(*ArquivosTs, *this, "BackupLabel", 0, 470, 744, 18);
    BackupLabel->SetAlign(TAlign::alBottom);
    NovosGb = AddControl<TPanel>(*ArquivosTs, *this, "NovosGb", 0, 200, 355, 270);
    NovosGb->SetAlign(TAlign::alLeft);
    ModificadosGb = AddControl<TPanel>(*ArquivosTs, *this, "ModificadosGb", 355, 200, 389, 270);
    ModificadosGb->SetAlign(TAlign::alClient);
    for (TPanel* box : {NovosGb, ModificadosGb}) {
        box->SetBevelOuter(TBevelCut::bvNone);
        auto* title = AddCaptioned<TLabel>(*box, *this, "", 0, 0, box->Width(), 18, box == NovosGb ? 189 : 190);
        title->SetAlign(TAlign::alTop);
        title->Font().SetStyle(fsBold);
    }
    NovosLv = AddControl<TExtListView>(*NovosGb, *this, "NovosLv", 0, 18, 355, 252);
    NovosLv->SetAlign(TAlign::alClient);
    ModificadosLv = AddControl<TExtListView>(*ModificadosGb, *this, "ModificadosLv", 0, 18, 389, 252);
    ModificadosLv->SetAlign(TAlign::alClient);
    ExcluidosLv = AddControl<TExtListView>(*ExcluidosTs, *this, "ExcluidosLv", 0, 0, 744, 470);
    ExcluidosLv->SetAlign(TAlign::alClient);
    ExcluidosLabel = AddControl<TLabel>(*ExcluidosTs, *this, "ExcluidosLabel", 0, 470, 744, 18);
    ExcluidosLabel->SetAlign(TAlign::alBottom);

    SetUpView(ArquivosLv, FAnalysis.Copied());
    SetUpView(NovosLv, FAnalysis.New());
    SetUpView(ModificadosLv, FAnalysis.Changed());
    SetUpView(ExcluidosLv, FAnalysis.Excluded());
    FAnalysis.IconOf = [cache = std::unordered_map<std::string, int>()](const std::string& ext) mutable {
        auto it = cache.find(ext);
        if (it == cache.end()) it = cache.emplace(ext, GetFileIconIndex("x" + ext, 0)).first;
        return it->second;
    };

    FixFormFonts(*this);
    FormPlacement = new TFormPlacement(this);
    FormPlacement->SetName("FormPlacement");
    FormPlacement->SetIniFileName(FIniFileName);
    FormPlacement->SetIniSection(AnalysisFormSection);
    FormPlacement->MinMaxInfo().SetMinTrackHeight(468);
    FormPlacement->MinMaxInfo().SetMinTrackWidth(610);
    {
        const platform::IniFile ini(FIniFileName);
        NovosGb->SetWidth(static_cast<int>(ini.ReadInteger(AnalysisFormSection, "Largura Novos", NovosGb->Width())));
        ArquivosLv->SetHeight(
            static_cast<int>(ini.ReadInteger(AnalysisFormSection, "Altura Arquivos", ArquivosLv->Height())));
    }
    OnShow = [this](TComponent*) {
        FShowing = true;
        if (!FAnalysed) Analyse();
    };
    // A modal end hides the form without closing it: the settings go when it hides.
    OnHide = [this](TComponent*) {
        if (!FShowing) return;
        FShowing = false;
        PlaySoundRes("CLICK");
        WriteSettings();
    };
    FormPlacement->Loaded();
}

TFrmAnalise::~TFrmAnalise() = default;

void TFrmAnalise::SetUpView(TExtListView* view, TAnalysisView& rows) {
    view->SetVirtualMode(true);
    view->SetMultiSelect(true);
    view->SetExtendedStyles(LVX(lvxFullRowSelect));
    view->SetSmallImages(GetSystemImageList(0));
    for (TAnalysisColumn c : rows.Columns()) {
        TListColumn* column = view->Columns().Add();
        column->SetCaption(LoadLangStr(CaptionOf(c)));
        column->SetWidth(80);
        if (c == TAnalysisColumn::acSize) column->SetAlignment(TAlignment::taRightJustify);
    }
    view->SetAutoColumnSort(TAutoColumnSort::acsSortToggle);
    view->SetAutoSortAscending(false);
    view->SetAutoResort(false);
    view->SetShowSortArrows(true);
    view->SetReverseSortArrows(true);
    view->OnVMGetItemInfo = [&rows](TComponent*, int item, int subItem, TLVVMMaskItems& mask, int& image, intptr_t&,
                                    uint32_t&, uint32_t&, int& indent, std::string& text) {
        if (item < 0 || item >= rows.Count()) return;
        if (mask & (1 << lvifText)) text = rows.CellText(item, subItem);
        image = rows.Item(item).ImageIndex;
        indent = 0;
    };
    view->OnSortFinished = [this, view, &rows](TComponent*, int column, bool ascending) {
        rows.Sort(column < 0 ? 0 : column, ascending);
        view->SetVirtualItemCount(rows.Count(), 2);
        if (view->SelCount() > 0) view->ClearSelection();
        (void)this;
    };
    view->Loaded();
}

void TFrmAnalise::ShowView(TExtListView* view, TAnalysisView& rows) {
    rows.Sort(rows.SortColumn(), rows.Ascending());
    view->SetVirtualItemCount(rows.Count(), 2);
    const std::vector<std::string> widest = rows.WidestTexts();
    TBitmap measure;
    measure.SetSize(1, 1);
    measure.Canvas().Font().Assign(view->Font());
    for (size_t c = 0; c < widest.size() && static_cast<int>(c) < view->Columns().Count(); ++c) {
        TListColumn* column = view->Columns().Items(static_cast<int>(c));
        int width = WidthFor(rows.Columns()[c], widest[c].empty() ? 0 : measure.Canvas().TextWidth(widest[c]));
        // A shown column keeps room for its title and the sort arrow.
        if (width > 0) width = std::max(width, measure.Canvas().TextWidth(column->Caption()) + 24);
        column->SetWidth(width);
    }
    view->Invalidate();
}

void TFrmAnalise::Analyse() {
    FAnalysed = true;
    SetCursor(TCursor::crHourGlass);
    for (TExtListView* v : {ArquivosLv, NovosLv, ModificadosLv, ExcluidosLv}) v->SetVirtualItemCount(0, 2);
    ProgressPn->SetVisible(true);
    ProgressLabel->SetCaption(LoadLangStr(59));
    ProgressBar1->SetRange(0, std::max(1, FScriptLines.Count() - 1));
    TTreeScanner scanner;
    scanner.ProcessMessages = [] {
        if (Application) Application->ProcessMessages();
    };
    try {
        FAnalysis.Analyse(FScriptLines.Lines(), scanner, [this](int done, int) { ProgressBar1->SetPosition(done); });
    } catch (const std::exception& e) {
        ShowMessageBox(e.what(), mkError, mbOKOnly, 0, -1, -1);
    }
    ProgressLabel->SetCaption(LoadLangStr(630));
    BackupLabel->SetCaption(TBackupAnalysis::TotalsText(FAnalysis.Copied().Count(), FAnalysis.CopiedBytes()));
    ExcluidosLabel->SetCaption(TBackupAnalysis::TotalsText(FAnalysis.Excluded().Count(), FAnalysis.ExcludedBytes()));
    ShowView(ArquivosLv, FAnalysis.Copied());
    ShowView(NovosLv, FAnalysis.New());
    ShowView(ModificadosLv, FAnalysis.Changed());
    ShowView(ExcluidosLv, FAnalysis.Excluded());
    ProgressPn->SetVisible(false);
    SetCursor(TCursor::crDefault);
}

void TFrmAnalise::WriteSettings() {
    try {
        platform::IniFile ini(FIniFileName);
        ini.WriteInteger(AnalysisFormSection, "Largura Novos", NovosGb->Width());
        ini.WriteInteger(AnalysisFormSection, "Altura Arquivos", ArquivosLv->Height());
    } catch (const std::exception&) {
        // Settings that cannot be written are not worth an error box when closing.
    }
}

} // namespace mv
