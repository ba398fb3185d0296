#include "app/scripts/FrmScripts.h"

#include "app/common/ExecuteFile.h"
#include "app/common/LangStr.h"
#include "app/common/MessageBox.h"
#include "app/common/Sounds.h"
#include "app/common/StrUtils.h"
#include "app/scripts/BackupRunner.h"
#include "app/scripts/BackupVendor.h"
#include "app/scripts/FrmAnalise.h"
#include "app/scripts/FrmAparenciaScript.h"
#include "app/scripts/FrmArquivos.h"
#include "app/scripts/FrmExecuta.h"
#include "app/common/FormBuild.h"
#include "app/scripts/ScriptRun.h"
#include "app/settings/Options.h"
#include "controls/shell/dialogs/MvOpenDlg.h"
#include "controls/toolkit/colour/ColorButton.h"
#include "controls/toolkit/colour/ColorPanel.h"
#include "controls/toolkit/colour/ExtPageControl.h"
#include "controls/toolkit/docking/ToolDock.h"
#include "controls/toolkit/docking/ToolWindowPositions.h"
#include "controls/toolkit/placement/FormPlacement.h"
#include "platform/AppPaths.h"
#include "platform/DriveInfo.h"
#include "platform/FileOps.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/ui/StdControls.h"
#include "platform/ui/Timer.h"

#include <algorithm>
#include <ctime>

namespace mv {

namespace {

constexpr TColor AlertText = clWhite, AlertBack = clRed, NormalText = clNavy;

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

TExtTabPosition TabPositionOf(int stored) {
    switch (stored) {
    case tpTop: return TExtTabPosition::tabPosTop;
    case tpBottom: return TExtTabPosition::tabPosBottom;
    case tpRight: return TExtTabPosition::tabPosRight;
    default: return TExtTabPosition::tabPosLeft;
    }
}

int StoredTabPosition(TExtTabPosition p) {
    switch (p) {
    case TExtTabPosition::tabPosTop: return tpTop;
    case TExtTabPosition::tabPosBottom: return tpBottom;
    case TExtTabPosition::tabPosRight: return tpRight;
    default: return tpLeft;
    }
}

int64_t Now() {
    return static_cast<int64_t>(std::time(nullptr));
}

} // namespace

TFrmScripts::TFrmScripts(TComponent* owner, const std::string& scriptsFolder, const std::string& iniFileName)
    : TForm(owner), FStore(scriptsFolder.empty() ? DefaultScriptsFolder() : scriptsFolder),
      FIniFileName(iniFileName.empty() ? platform::IniFilePath() : iniFileName) {
    SetName("FrmScripts");
    SetScaled(false);
    SetPosition(TPosition::poScreenCenter);
    SetCaption(LoadLangStr(441));
    SetShowHint(true);
    SetClientWidth(700);
    SetClientHeight(520);

    CreateToolbar();
    ScriptPageControl = AddControl<TExtPageControl>(*this, *this, "ScriptPageControl", 0, 40, 700, 430);
    ScriptPageControl->SetAlign(TAlign::alClient);
    ScriptPageControl->Hottrack().Enabled = true;
    ScriptPageControl->TabActiveFont().SetStyle(fsBold);
    ScriptPageControl->OnChange = [this](TComponent*) { PageChanged(); };
    CreateDetails();

    ScriptTb = AddControl<TPanel>(*this, *this, "ScriptTb", 0, 0, 330, 78);
    ScriptTb->SetBevelOuter(TBevelCut::bvRaised);
    auto* title = AddCaptioned<TLabel>(*ScriptTb, *this, "ScriptTbTitle", 8, 6, 300, 16, 559);
    title->Font().SetStyle(fsBold);
    AddCaptioned<TLabel>(*ScriptTb, *this, "ScriptEditLbl", 8, 28, 120, 16, 3264);
    ScriptEdit = AddControl<TEdit>(*ScriptTb, *this, "ScriptEdit", 8, 46, 200, 22);
    ScriptEdit->SetMaxLength(static_cast<int>(MaxScriptNameLength));
    CriarScriptBtn = AddCaptioned<TButton>(*ScriptTb, *this, "CriarScriptBtn", 214, 45, 108, 25, 560);
    CriarScriptBtn->OnClick = [this](TComponent*) {
        PlaySoundRes("BEEP");
        CriarScriptBtnClick();
    };
    ScriptTb->SetVisible(false);

    TempoTm = new TTimer(this);
    TempoTm->SetName("TempoTm");
    TempoTm->SetInterval(1);
    TempoTm->SetEnabled(false);
    TempoTm->OnTimer = [this](TComponent*) {
        TempoTm->SetEnabled(false);
        if (!FPendingScript.empty()) {
            RunPendingScript();
            return;
        }
        Close();
    };

    FixFormFonts(*this);
    FormPlacement = new TFormPlacement(this);
    FormPlacement->SetName("FormPlacement");
    FormPlacement->SetIniFileName(FIniFileName);
    FormPlacement->SetIniSection(ScriptFormSection);
    FormPlacement->MinMaxInfo().SetMinTrackHeight(440);
    FormPlacement->MinMaxInfo().SetMinTrackWidth(620);
    try {
        LoadToolWindowPositions(*this, FIniFileName);
    } catch (const std::exception&) {
        // Positions that cannot be read leave the toolbar where it was made.
    }
    OnShow = [this](TComponent*) { FormShow(); };
    OnClose = [this](TComponent*, TCloseAction&) { FormCloseActions(); };
    OnKeyPress = [this](TComponent*, char& key) {
        if (FormKey(key)) key = 0;
    };
    OnKeyDown = [this](TComponent*, uint16_t& key, TShiftState) {
        if (key != 27) return;
        key = 0;
        if (ScriptTb->Visible()) HideNewScriptBar();
        else Close();
    };
    FormPlacement->Loaded();
    ListEditor = std::make_unique<TFrmArquivos>(nullptr, FIniFileName);
}

TFrmScripts::~TFrmScripts() = default;

void TFrmScripts::CreateToolbar() {
    const std::pair<TToolDock**, TDockPosition> docks[] = {{&dockSuperior, TDockPosition::dpTop},
                                                           {&dockInferior, TDockPosition::dpBottom},
                                                           {&dockEsquerda, TDockPosition::dpLeft},
                                                           {&dockDireita, TDockPosition::dpRight}};
    const char* dockNames[] = {"dockSuperior", "dockInferior", "dockEsquerda", "dockDireita"};
    int tag = 0;
    for (const auto& [dock, position] : docks) {
        *dock = new TToolDock(this);
        (*dock)->SetName(dockNames[tag]);
        (*dock)->SetTag(tag++);
        (*dock)->SetPosition(position);
        (*dock)->SetParent(this);
    }
    tbAcoes = new TDockToolbar(this);
    tbAcoes->SetName("tbAcoes");
    tbAcoes->SetCaption(LoadLangStr(441));
    tbAcoes->SetHideWhenInactive(false);
    auto button = [this](const char* name, int caption, int hint, std::function<void()> click) {
        auto* b = new TColorButton(this);
        b->SetName(name);
        b->SetCaption(LoadLangStr(caption));
        b->SetHint(LoadLangStr(hint));
        b->SetShowHint(true);
        b->SetStyle(TClrButtonStyle::bsGradient);
        b->SetMargin(CaptionButtonMargin);
        b->SetBounds(0, 0, CaptionButtonWidth, 30);
        b->SetTag(caption);
        b->OnClick = [click](TComponent*) {
            PlaySoundRes("BEEP");
            click();
        };
        tbAcoes->InsertControl(b);
        return b;
    };
    AparenciaBtn = button("AparenciaBtn", 426, 431, [this] { AparenciaBtnClick(); });
    NovoScriptBtn = button("NovoScriptBtn", 26, 432, [this] { NovoScriptBtnClick(); });
    ArquivosBtn = button("ArquivosBtn", 427, 433, [this] { ArquivosBtnClick(); });
    VerificaScriptBtn = button("VerificaScriptBtn", 428, 434, [this] { VerificaScriptBtnClick(); });
    ExcluiScriptBtn = button("ExcluiScriptBtn", 429, 435, [this] { ExcluiScriptBtnClick(); });
    AgendarBtn = button("AgendarBtn", 607, 611, [this] { AgendarBtnClick(); });
    ExecutaBtn = button("ExecutaBtn", 430, 436, [this] { ExecutaBtnClick(); });
    tbAcoes->Loaded();
    tbAcoes->SetParent(dockSuperior);
}

void TFrmScripts::CreateDetails() {
    DetalhesPn = new TColorPanel(this);
    DetalhesPn->SetName("DetalhesPn");
    DetalhesPn->SetBevelOuter(TBevelCut::bvNone);
    DetalhesPn->SetBounds(0, 0, 560, 400);

    UltimaGb = AddCaptioned<TGroupBox>(*DetalhesPn, *this, "UltimaGb", 8, 4, 540, 150, 3257);
    const std::pair<int, TLabel**> rows[] = {{3258, &DestinoLabel}, {3259, &DataLabel},  {3262, &TempoLabel},
                                             {3260, &TamanhoLabel}, {3261, &TamanhoCompactadoLabel}};
    int y = 20;
    for (const auto& [caption, label] : rows) {
        AddCaptioned<TLabel>(*UltimaGb, *this, "", 10, y, 96, 16, caption);
        *label = AddControl<TLabel>(*UltimaGb, *this, "", 110, y, 420, 16);
        y += 18;
    }
    DestinoLabel->SetName("DestinoLabel");
    DataLabel->SetName("DataLabel");
    TempoLabel->SetName("TempoLabel");
    TamanhoLabel->SetName("TamanhoLabel");
    TamanhoCompactadoLabel->SetName("TamanhoCompactadoLabel");
    // The status labels sit on panels of their own, whose colour is the labels' back
    // colour (white on red for a failure).
    auto statusLabel = [this](TWinControl& parent, const char* name, int x, int top, int w) {
        auto* back = AddControl<TPanel>(parent, *this, "", x, top, w, 18);
        back->SetBevelOuter(TBevelCut::bvNone);
        auto* label = AddControl<TLabel>(*back, *this, name, 4, 1, w - 8, 16);
        label->SetTransparent(false);
        return label;
    };
    CopiaLabel = statusLabel(*UltimaGb, "CopiaLabel", 8, y + 2, 262);
    Testelabel = statusLabel(*UltimaGb, "Testelabel", 272, y + 2, 260);
    AvisosLabel = statusLabel(*DetalhesPn, "AvisosLabel", 8, 160, 420);
    AvisosBtn = AddCaptioned<TButton>(*DetalhesPn, *this, "AvisosBtn", 460, 156, 88, 25, 603);
    AvisosBtn->OnClick = [this](TComponent*) { AvisosBtnClick(); };

    OpcoesGb = AddCaptioned<TGroupBox>(*DetalhesPn, *this, "OpcoesGb", 8, 186, 540, 206, 3263);
    AddCaptioned<TLabel>(*OpcoesGb, *this, "DestinoLbl", 10, 20, 100, 16, 3255);
    DestinoEdit = AddControl<TEdit>(*OpcoesGb, *this, "DestinoEdit", 10, 38, 480, 22);
    DestinoEdit->OnChange = [this](TComponent*) { DestinoChanged(); };
    DialogBtn = AddControl<TButton>(*OpcoesGb, *this, "DialogBtn", 494, 37, 36, 24);
    DialogBtn->SetCaption("...");
    DialogBtn->OnClick = [this](TComponent*) { DialogBtnClick(); };
    IncluirDataChk = AddCaptioned<TCheckBox>(*OpcoesGb, *this, "IncluirDataChk", 10, 64, 520, 20, 629);
    AddCaptioned<TLabel>(*OpcoesGb, *this, "CompressaoLbl", 10, 92, 100, 16, 3256);
    CompressaoCb = AddControl<TComboBox>(*OpcoesGb, *this, "CompressaoCb", 110, 88, 150, 22);
    CompressaoCb->SetStyle(TComboBoxStyle::csDropDownList);
    for (int s : {74, 635, 637, 636}) CompressaoCb->Items().Add(LoadLangStr(s));
    MultiVolumeRb = AddControl<TRadioGroup>(*OpcoesGb, *this, "MultiVolumeRb", 270, 84, 260, 64);
    MultiVolumeRb->Items().Add(LoadLangStr(462));
    MultiVolumeRb->Items().Add(LoadLangStr(463));
    CriarSfx = AddCaptioned<TCheckBox>(*OpcoesGb, *this, "CriarSfx", 10, 116, 255, 20, 627);
    LimpaDiscosChk = AddCaptioned<TCheckBox>(*OpcoesGb, *this, "LimpaDiscosChk", 10, 152, 520, 20, 465);
    VerificarBackupChk = AddCaptioned<TCheckBox>(*OpcoesGb, *this, "VerificarBackupChk", 10, 174, 255, 20, 440);
    ApenasAtualizaChk = AddCaptioned<TCheckBox>(*OpcoesGb, *this, "ApenasAtualizaChk", 270, 174, 260, 20, 466);
    for (TControl* c : std::initializer_list<TControl*>{IncluirDataChk, MultiVolumeRb, CriarSfx, LimpaDiscosChk,
                                                         VerificarBackupChk, ApenasAtualizaChk})
        c->OnClick = [this](TComponent*) {
            if (FUpdating) return;
            PlaySoundRes("CLEK");
            OptionClick();
        };
    CriaAtalhoBtn = AddCaptioned<TButton>(*DetalhesPn, *this, "CriaAtalhoBtn", 8, 398, 200, 25, 459);
    CriaAtalhoBtn->SetHint(LoadLangStr(460));
    CriaAtalhoBtn->OnClick = [this](TComponent*) {
        PlaySoundRes("BEEP");
        CriaAtalhoBtnClick();
    };
    DetalhesPn->SetVisible(false);
}

void TFrmScripts::Resized() {
    TForm::Resized();
    if (ScriptTb && ScriptTb->Visible())
        ScriptTb->SetBounds((ClientWidth() - ScriptTb->Width()) / 2, (ClientHeight() - ScriptTb->Height()) / 2,
                            ScriptTb->Width(), ScriptTb->Height());
}

// --- Tabs and headers -------------------------------------------------------------------

void TFrmScripts::SetPendingScript(const std::string& name) {
    FPendingScript = Upper(TrimText(name));
}

std::string TFrmScripts::ShownScript() const {
    const int page = ScriptPageControl->ActivePageIndex();
    if (page < 0 || page >= static_cast<int>(FPageNames.size())) return {};
    return FPageNames[static_cast<size_t>(page)];
}

int TFrmScripts::PageOfScript(const std::string& name) const {
    for (size_t i = 0; i < FPageNames.size(); ++i)
        if (!FPageNames[i].empty() && Upper(FPageNames[i]) == Upper(name)) return static_cast<int>(i);
    return -1;
}

void TFrmScripts::AddTab(const std::string& name) {
    ScriptPageControl->AddPage(name);
    FPageNames.push_back(name);
}

void TFrmScripts::PageChanged() {
    if (FUpdating) return;
    const std::string name = ShownScript();
    if (!name.empty()) ReadScriptHeader(name);
}

void TFrmScripts::FormShow() {
    if (FShown) return;
    FShown = true;
    try {
        ApplyAppearance(ReadScriptsAppearance(platform::IniFile(FIniFileName)));
    } catch (const std::exception&) {
        // An unreadable settings file leaves the defaults.
    }
    try {
        platform::ForceDirectories(FStore.Folder());
        FNames = FStore.ReadScriptList();
    } catch (const std::exception& e) {
        if (!FWaitMode) ShowMessageBox(e.what(), mkError, mbOKOnly, 0, -1, -1);
    }
    FUpdating = true;
    for (const std::string& name : FNames) AddTab(name);
    FUpdating = false;
    if (!FNames.empty() && FPendingScript.empty()) ReadScriptHeader(ShownScript());
    if (!FPendingScript.empty()) TempoTm->SetEnabled(true);
    SetSoundsEnabled(!FWaitMode);
}

void TFrmScripts::RunPendingScript() {
    const std::string pending = FPendingScript;
    FPendingScript.clear();
    const int page = PageOfScript(pending);
    if (page < 0) {
        if (!FNames.empty()) ReadScriptHeader(ShownScript());
        if (FWaitMode) {
            // Nobody waits at the window of an unattended run: it ends with its failure.
            std::fprintf(stderr, "morvelan: no backup script named \"%s\"\n", pending.c_str());
            FExitCode = ecScriptFailed;
            Close();
        }
        return;
    }
    ReadScriptHeader(FPageNames[static_cast<size_t>(page)]);
    RunShownScript();
    TempoTm->SetEnabled(true); // its tick closes the window
}

void TFrmScripts::ReadScriptHeader(const std::string& name) {
    const int page = PageOfScript(name);
    if (page < 0) {
        DetalhesPn->SetVisible(false);
        return;
    }
    FUpdating = true;
    if (ScriptPageControl->ActivePageIndex() != page) ScriptPageControl->SetActivePageIndex(page);
    DetalhesPn->SetParent(ScriptPageControl->Page(page));
    DetalhesPn->SetAlign(TAlign::alClient);
    DetalhesPn->SetVisible(true);
    FUpdating = false;
    try {
        FHeader = FStore.ReadHeader(FPageNames[static_cast<size_t>(page)]);
        FHeaderRead = true;
    } catch (const std::exception& e) {
        // The controls keep their previous values.
        FHeaderRead = false;
        ShowMessageBox(LoadLangStr(3265) + name + "\n" + e.what(), mkError, mbOKOnly, 0, -1, -1);
        return;
    }
    FUpdating = true;
    CompressaoCb->SetItemIndex(FHeader.Method >= 0 && FHeader.Method <= 3 ? FHeader.Method : 2);
    DestinoEdit->SetTextValue(FHeader.Destination);
    OptionsToControls(OptionsOfHeader(FHeader));
    FUpdating = false;
    DestinoChanged();

    const TRunLabels l = RunLabelsOf(FHeader);
    ApplyLabel(CopiaLabel, l.Copy);
    ApplyLabel(Testelabel, l.Test);
    DestinoLabel->SetCaption(l.Destination);
    DataLabel->SetCaption(l.Date);
    TempoLabel->SetCaption(l.Elapsed);
    TamanhoLabel->SetCaption(l.Size);
    TamanhoCompactadoLabel->SetCaption(l.Packed);
    AvisosBtn->SetEnabled(l.WarningsEnabled);
    ApplyLabel(AvisosLabel, FHeader.LastStatus == rsNeverRun ? TLabelText{} : l.Warnings);
}

void TFrmScripts::ApplyLabel(TLabel* label, const TLabelText& text) {
    label->SetCaption(text.Text);
    label->Font().SetColor(text.Alert ? AlertText : NormalText);
    if (label->Parent()) label->Parent()->SetColor(text.Alert && !text.Text.empty() ? AlertBack : clBtnFace);
    label->Invalidate();
}

TScriptOptions TFrmScripts::OptionsFromControls() const {
    TScriptOptions o;
    o.Test = VerificarBackupChk->Checked();
    o.ClearDisk = LimpaDiscosChk->Checked();
    o.ClearDiskEnabled = LimpaDiscosChk->Enabled();
    o.VolumeMode = MultiVolumeRb->ItemIndex() == 0 ? 0 : 1;
    o.SelfExtracting = CriarSfx->Checked();
    o.DateInName = IncluirDataChk->Checked();
    o.UpdateOnly = ApenasAtualizaChk->Checked();
    o.UpdateEnabled = ApenasAtualizaChk->Enabled();
    return o;
}

void TFrmScripts::OptionsToControls(const TScriptOptions& o) {
    const bool was = FUpdating;
    FUpdating = true;
    VerificarBackupChk->SetChecked(o.Test);
    LimpaDiscosChk->SetChecked(o.ClearDisk);
    LimpaDiscosChk->SetEnabled(o.ClearDiskEnabled);
    MultiVolumeRb->SetItemIndex(o.VolumeMode);
    CriarSfx->SetChecked(o.SelfExtracting);
    IncluirDataChk->SetChecked(o.DateInName);
    ApenasAtualizaChk->SetChecked(o.UpdateOnly);
    ApenasAtualizaChk->SetEnabled(o.UpdateEnabled);
    FUpdating = was;
}

void TFrmScripts::OptionClick() {
    TScriptOptions o = OptionsFromControls();
    ApplyUpdateRule(o);
    OptionsToControls(o);
    // The header is kept as the options change (the original wrote it when an option
    // lost the focus, which every later command also causes).
    LocGravaConfiguracoes();
}

void TFrmScripts::DestinoChanged() {
    if (FUpdating) return;
    TScriptOptions o = OptionsFromControls();
    const std::string destination = TrimText(DestinoEdit->Text());
    const bool removable =
        !destination.empty() && platform::DriveKindOf(destination) == platform::DriveKind::Removable;
    ApplyDestinationRule(o, removable);
    ApplyUpdateRule(o);
    OptionsToControls(o);
}

void TFrmScripts::LocGravaConfiguracoes() {
    const std::string name = ShownScript();
    if (name.empty() || !FHeaderRead) return;
    TScriptHeader header = FHeader;
    StoreOptions(header, OptionsFromControls());
    header.Method = std::max(0, CompressaoCb->ItemIndex());
    header.Destination = TrimText(DestinoEdit->Text());
    try {
        FStore.WriteHeader(name, header);
        FHeader = header;
    } catch (const std::exception& e) {
        ShowMessageBox(e.what(), mkError, mbOKOnly, 0, -1, -1);
    }
}

// --- Commands -------------------------------------------------------------------------

void TFrmScripts::SetCommandsEnabled(bool value) {
    DetalhesPn->SetEnabled(value);
    ScriptPageControl->SetEnabled(value);
    for (TColorButton* b : {AparenciaBtn, NovoScriptBtn, ArquivosBtn, VerificaScriptBtn, ExcluiScriptBtn, AgendarBtn,
                            ExecutaBtn})
        b->SetEnabled(value);
}

void TFrmScripts::NovoScriptBtnClick() {
    ScriptTb->SetBounds((ClientWidth() - ScriptTb->Width()) / 2, (ClientHeight() - ScriptTb->Height()) / 2,
                        ScriptTb->Width(), ScriptTb->Height());
    ScriptEdit->SetTextValue("");
    ScriptTb->SetVisible(true);
    SetCommandsEnabled(false);
    ScriptEdit->SetFocus();
}

void TFrmScripts::HideNewScriptBar() {
    ScriptTb->SetVisible(false);
    SetCommandsEnabled(true);
}

void TFrmScripts::CriarScriptBtnClick() {
    LocGravaConfiguracoes();
    std::string name = ScriptEdit->Text();
    TNewScriptResult result;
    try {
        result = FStore.CreateScript(name, FNames);
    } catch (const std::exception& e) {
        ShowMessageBox(e.what(), mkError, mbOKOnly, 0, -1, -1);
        return;
    }
    ScriptEdit->SetTextValue(name);
    switch (result) {
    case TNewScriptResult::nsForbiddenChar:
        ShowMessageBox(LoadLangStr(596) + "\n" + ForbiddenScriptNameChars, mkError, mbOKOnly, 0, -1, -1);
        return;
    case TNewScriptResult::nsDuplicate: ShowMessageBox(LoadLangStr(451), mkWarning, mbOKOnly, 0, -1, -1); return;
    case TNewScriptResult::nsEmpty: return;
    case TNewScriptResult::nsCreated: break;
    }
    FUpdating = true;
    AddTab(name);
    FUpdating = false;
    HideNewScriptBar();
    ReadScriptHeader(name);
}

void TFrmScripts::ArquivosBtnClick() {
    const std::string name = ShownScript();
    if (name.empty()) return;
    LocGravaConfiguracoes();
    ListEditor->Reset();
    try {
        ListEditor->ScriptLines().SetLines(FStore.ReadScriptLines(name));
    } catch (const std::exception& e) {
        // Without its header the script cannot be edited: saving would lose it.
        ShowMessageBox(LoadLangStr(3265) + name + "\n" + e.what(), mkError, mbOKOnly, 0, -1, -1);
        return;
    }
    if (ListEditor->ScriptLines().Count() == 0) return;
    ListEditor->SetCaption(LoadLangStr(453) + name);
    const int result = ShowChild ? ShowChild(*ListEditor) : ListEditor->ShowModal();
    if (result != mrOk) return;
    try {
        std::vector<std::string> lines = ListEditor->ScriptLines().Lines();
        lines[0] = FStore.ReadScriptLines(name).at(0); // the header as it stands now
        WriteScriptTextLines(FStore.HeaderPath(name), lines);
    } catch (const std::exception& e) {
        ShowMessageBox(e.what(), mkError, mbOKOnly, 0, -1, -1);
    }
}

void TFrmScripts::VerificaScriptBtnClick() {
    const std::string name = ShownScript();
    if (name.empty()) return;
    LocGravaConfiguracoes();
    TFrmAnalise analysis(this, FIniFileName);
    try {
        analysis.ScriptLines().SetLines(FStore.ReadScriptLines(name));
        analysis.SetLastBackup(ReadScriptTextLinesIfAny(FStore.LastBackupPath(name)));
    } catch (const std::exception& e) {
        ShowMessageBox(LoadLangStr(3265) + name + "\n" + e.what(), mkError, mbOKOnly, 0, -1, -1);
        return;
    }
    analysis.SetCaption(LoadLangStr(428) + "  -  " + name);
    if (ShowChild) ShowChild(analysis);
    else analysis.ShowModal();
}

void TFrmScripts::ExcluiScriptBtnClick() {
    const std::string name = ShownScript();
    if (name.empty()) return;
    LocGravaConfiguracoes();
    if (ShowMessageBox(LoadLangStr(452) + name + " ?", mkQuestion, mbYesNo, 0, -1, -1) != mrYes) return;
    try {
        FStore.DeleteScript(name, FNames);
    } catch (const std::exception& e) {
        ShowMessageBox(e.what(), mkError, mbOKOnly, 0, -1, -1);
        return;
    }
    // Pages are not taken away: the deleted script's page loses its tab.
    const int page = ScriptPageControl->ActivePageIndex();
    FPageNames[static_cast<size_t>(page)].clear();
    FHeaderRead = false;
    FUpdating = true;
    ScriptPageControl->SetTabVisible(page, false);
    FUpdating = false;
    for (size_t i = 0; i < FPageNames.size(); ++i)
        if (!FPageNames[i].empty()) {
            ReadScriptHeader(FPageNames[i]);
            return;
        }
    DetalhesPn->SetVisible(false);
}

void TFrmScripts::AgendarBtnClick() {
    const std::string socket = SchedulerSocket.empty() ? SchedulerSocketPath() : SchedulerSocket;
    const std::string program = SchedulerProgramSet ? SchedulerProgram : FindSchedulerProgram();
    auto start = StartProgram ? StartProgram : [](const std::string& file, const std::string& args) {
        ExecuteFile(file, args, platform::DirectoryOf(file), swShow);
    };
    if (HandOverToScheduler(socket, program, start) == TScheduleResult::srNotInstalled)
        ShowMessageBox(LoadLangStr(3254), mkInformation, mbOKOnly, 0, -1, -1);
}

void TFrmScripts::RunShownScript() {
    const std::string name = ShownScript();
    if (name.empty()) return;
    LocGravaConfiguracoes();
    TBackupVendor vendor;
    TRunRecord record;
    try {
        record = RunStoredScript(
            FStore, name, vendor,
            [this](TBackupRunner& runner) {
                if (RunRunner) {
                    RunRunner(runner, FWaitMode);
                } else if (FWaitMode) {
                    runner.Run();
                } else {
                    TFrmExecuta window(this, runner);
                    window.ShowModal();
                }
            },
            Now);
    } catch (const std::exception& e) {
        if (!FWaitMode) ShowMessageBox(LoadLangStr(3265) + name + "\n" + e.what(), mkError, mbOKOnly, 0, -1, -1);
        record.Status = rsErrors;
    }
    ReadScriptHeader(name);
    if (FWaitMode) FExitCode = ExitCodeOfRun(record);
}

void TFrmScripts::ExecutaBtnClick() {
    RunShownScript();
}

void TFrmScripts::AparenciaBtnClick() {
    TFrmAparenciaScript dialog(this, *this);
    if (ShowChild) ShowChild(dialog);
    else dialog.ShowModal();
}

void TFrmScripts::AvisosBtnClick() {
    const std::string name = ShownScript();
    if (name.empty()) return;
    TOptions options;
    try {
        ReadOptions(platform::IniFile(FIniFileName), options);
    } catch (const std::exception&) {
    }
    const std::string warnings = FStore.WarningsPath(name);
    if (TrimText(options.Visualizador).empty()) ExecuteFile(warnings, "", FStore.Folder(), swShow);
    else ExecuteFile(options.Visualizador, "\"" + warnings + "\"", FStore.Folder(), swShow);
}

void TFrmScripts::CriaAtalhoBtnClick() {
    const std::string name = ShownScript();
    if (name.empty()) return;
    const std::string folder = DesktopFolder.empty() ? platform::DesktopDir() : DesktopFolder;
    if (CreateScriptShortcut(name, folder, platform::ProgramPath()).empty()) {
        ShowMessageBox(LoadLangStr(3266) + " " + folder, mkError, mbOKOnly, 0, -1, -1);
        return;
    }
    ShowMessageBox(LoadLangStr(455), mkInformation, mbOKOnly, 0, -1, -1);
}

void TFrmScripts::DialogBtnClick() {
    TMvSaveDlg dialog(this);
    dialog.SetFileName(TrimText(DestinoEdit->Text()));
    dialog.SetFilter("Zip|*.zip");
    if (!dialog.Execute()) return;
    DestinoEdit->SetTextValue(dialog.FileName());
    LocGravaConfiguracoes();
}

bool TFrmScripts::FormKey(char key) {
    if (ScriptTb->Visible()) return false; // the new name is being typed
    switch (CommandOfKey(key, LanguageBase())) {
    case TScriptCommand::scNone: return false;
    case TScriptCommand::scAnalyse:
        if (VerificaScriptBtn->Enabled()) VerificaScriptBtnClick();
        break;
    case TScriptCommand::scMethod:
        if (CompressaoCb->Enabled()) CompressaoCb->SetFocus();
        break;
    case TScriptCommand::scDestination:
        if (DestinoEdit->Enabled()) DestinoEdit->SetFocus();
        break;
    case TScriptCommand::scWarnings:
        if (AvisosBtn->Enabled()) AvisosBtnClick();
        break;
    case TScriptCommand::scClearDisk:
        if (LimpaDiscosChk->Enabled()) {
            LimpaDiscosChk->SetChecked(!LimpaDiscosChk->Checked());
            OptionClick();
        }
        break;
    case TScriptCommand::scTest:
        if (VerificarBackupChk->Enabled()) {
            VerificarBackupChk->SetChecked(!VerificarBackupChk->Checked());
            OptionClick();
        }
        break;
    case TScriptCommand::scRun:
        if (ExecutaBtn->Enabled()) ExecutaBtnClick();
        break;
    case TScriptCommand::scSchedule:
        if (AgendarBtn->Enabled()) AgendarBtnClick();
        break;
    case TScriptCommand::scNew:
        if (NovoScriptBtn->Enabled()) NovoScriptBtnClick();
        break;
    case TScriptCommand::scAppearance:
        if (AparenciaBtn->Enabled()) AparenciaBtnClick();
        break;
    case TScriptCommand::scFiles:
        if (ArquivosBtn->Enabled()) ArquivosBtnClick();
        break;
    }
    return true;
}

void TFrmScripts::FormCloseActions() {
    PlaySoundRes("CLICK");
    try {
        SaveToolWindowPositions(*this, FIniFileName);
        platform::IniFile ini(FIniFileName);
        WriteScriptsAppearance(ini, Appearance());
        ini.WriteInteger("tbacoes", "FloatRightX", FloatRightXOfShape(FFloatingShape, IconsOnly()));
        ini.WriteInteger(ScriptToolbarSection, "Forma Flutuante", FFloatingShape);
    } catch (const std::exception&) {
        // Settings that cannot be written are not worth an error box when closing.
    }
    LocGravaConfiguracoes();
    ListEditor->Reset();
}

// --- Appearance -----------------------------------------------------------------------

TScriptsAppearance TFrmScripts::Appearance() const {
    TScriptsAppearance a;
    a.IconsOnly = IconsOnly();
    a.TabPosition = StoredTabPosition(ScriptPageControl->Model().TabPosition());
    a.TabHeight = ScriptPageControl->Model().TabHeight();
    a.TabWidth = ScriptPageControl->Model().TabWidth();
    a.OppositeSide = FOppositeSide;
    return a;
}

void TFrmScripts::ApplyAppearance(const TScriptsAppearance& a) {
    SetIconsOnly(a.IconsOnly);
    ScriptPageControl->LockPaint();
    ScriptPageControl->SetTabPosition(TabPositionOf(a.TabPosition));
    ScriptPageControl->SetTabHeight(a.TabHeight);
    ScriptPageControl->SetTabWidth(a.TabWidth);
    FOppositeSide = a.OppositeSide;
    ScriptPageControl->UnlockPaint();
}

void TFrmScripts::SetIconsOnly(bool value) {
    for (TColorButton* b : {AparenciaBtn, NovoScriptBtn, ArquivosBtn, VerificaScriptBtn, ExcluiScriptBtn, AgendarBtn,
                            ExecutaBtn}) {
        b->SetCaption(value ? "" : LoadLangStr(b->Tag()));
        b->SetMargin(value ? IconButtonMargin : CaptionButtonMargin);
        b->SetWidth(value ? IconButtonWidth : CaptionButtonWidth);
    }
    tbAcoes->SetFloatRightX(FloatRightXOfShape(FFloatingShape, value));
    tbAcoes->Rearrange();
}

bool TFrmScripts::IconsOnly() const {
    return AparenciaBtn->Margin() == IconButtonMargin;
}

void TFrmScripts::SetToolbarPosition(int position) {
    TToolDock* docks[] = {dockSuperior, dockInferior, dockEsquerda, dockDireita};
    if (position >= 0 && position < 4) tbAcoes->SetDockedTo(docks[position]);
    else tbAcoes->SetDockedTo(nullptr);
}

int TFrmScripts::ToolbarPosition() const {
    TToolDock* dock = tbAcoes->DockedTo();
    return dock ? dock->Tag() : ppFloating;
}

void TFrmScripts::SetFloatingShape(int shape) {
    FFloatingShape = std::clamp(shape, fsHorizontal, fsThreeColumns);
    tbAcoes->SetFloatRightX(FloatRightXOfShape(FFloatingShape, IconsOnly()));
    tbAcoes->Rearrange();
}

void TFrmScripts::WriteFloatingShape() {
    try {
        platform::IniFile ini(FIniFileName);
        ini.WriteInteger("tbacoes", "FloatRightX", FloatRightXOfShape(FFloatingShape, IconsOnly()));
    } catch (const std::exception& e) {
        ShowMessageBox(e.what(), mkError, mbOKOnly, 0, -1, -1);
    }
}

int TFrmScripts::FloatingShape() const {
    return FFloatingShape;
}

// --- Entry point ----------------------------------------------------------------------

int ShowScriptManager(TComponent* owner, const std::string& scriptName, bool unattended) {
    TFrmScripts form(owner);
    form.SetPendingScript(scriptName);
    form.SetWaitMode(unattended);
    form.ShowModal();
    return form.ExitCode();
}

} // namespace mv
