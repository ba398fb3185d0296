#include "app/dialogs/OptionsDialog.h"

#include "app/common/FormBuild.h"
#include "app/common/LangStr.h"
#include "app/common/MessageBox.h"
#include "app/common/Sounds.h"
#include "app/common/StrUtils.h"
#include "app/mainwindow/OpenArchiveDialog.h"
#include "app/shell/Install.h"
#include "controls/shell/dialogs/MvFolderBrowseDlg.h"
#include "controls/toolkit/colour/ExtPageControl.h"
#include "platform/ui/StdControls.h"

#include <memory>

namespace mv {

namespace {

// A note of several lines in its box.
TLabel* AddNote(TWinControl& parent, TComponent& owner, const char* name, int x, int y, int w, int h, int text) {
    TLabel* note = AddCaptioned<TLabel>(parent, owner, name, x, y, w, h, text);
    note->SetAutoSize(false);
    note->SetWordWrap(true);
    note->SetBounds(x, y, w, h);
    return note;
}

// The radio of a folder mode (1, 2 or 3) that is checked; 0 when none is.
int16_t CheckedMode(TRadioButton* one, TRadioButton* two, TRadioButton* three) {
    if (one->Checked()) return 1;
    if (two->Checked()) return 2;
    if (three->Checked()) return 3;
    return 0;
}

void CheckMode(int16_t mode, TRadioButton* one, TRadioButton* two, TRadioButton* three) {
    one->SetChecked(mode == 1);
    two->SetChecked(mode == 2);
    three->SetChecked(mode == 3);
}

constexpr int PageWidth = 452, FormWidth = 484;

} // namespace

TFormConfig::TFormConfig(TComponent* owner, TOptions& options) : TForm(owner), FOptions(options) {
    SetName("FormConfig");
    SetScaled(false);
    SetBorderStyle(TFormBorderStyle::bsDialog);
    SetPosition(TPosition::poScreenCenter);
    SetCaption(LoadLangStr(162));
    SetShowHint(true);
    SetClientWidth(FormWidth);
    SetClientHeight(462);

    PageControl1 = AddControl<TExtPageControl>(*this, *this, "PageControl1", 8, 8, FormWidth - 16, 380);
    TabSheet1 = PageControl1->AddPage(LoadLangStr(122));
    TabSheet2 = PageControl1->AddPage(LoadLangStr(123));
    LocalProgramasTb = PageControl1->AddPage(LoadLangStr(124));
    TabSheet1->SetName("TabSheet1");
    TabSheet2->SetName("TabSheet2");
    LocalProgramasTb->SetName("LocalProgramasTb");
    const int w = PageWidth - 24;

    // ---- main page
    ChkGridLines = AddCaptioned<TCheckBox>(*TabSheet1, *this, "ChkGridLines", 12, 14, w, 22, 125);
    ChkAssociacao = AddCaptioned<TCheckBox>(*TabSheet1, *this, "ChkAssociacao", 12, 40, w, 22, 126);
    ChkSons = AddCaptioned<TCheckBox>(*TabSheet1, *this, "ChkSons", 12, 66, w, 22, 128);
    MenuContextoChk = AddCaptioned<TCheckBox>(*TabSheet1, *this, "MenuContextoChk", 12, 92, w, 22, 628);
    RbLarguraColuna = AddCaptioned<TRadioGroup>(*TabSheet1, *this, "RbLarguraColuna", 12, 126, w, 76, 129);
    RbLarguraColuna->Items().Add(LoadLangStr(130));
    RbLarguraColuna->Items().Add(LoadLangStr(131));
    ResetaBtn = AddCaptioned<TButton>(*TabSheet1, *this, "ResetaBtn", 12, 220, 220, 27, 119);
    ResetaBtn->SetHint(LoadLangStr(561));
    ResetaBtn->SetShowHint(true);

    // ---- default folders: a group per mode, the fixed folder beside its radio
    auto folderGroup = [&](const char* name, int top, int caption, const char* radioNames[3], const int radioTexts[3],
                           TRadioButton*& one, TRadioButton*& two, TRadioButton*& three, const char* editName,
                           TEdit*& edit, const char* buttonName, TButton*& button) {
        auto* group = AddCaptioned<TGroupBox>(*TabSheet2, *this, name, 8, top, w + 8, 86, caption);
        one = AddCaptioned<TRadioButton>(*group, *this, radioNames[0], 10, 18, w - 16, 20, radioTexts[0]);
        two = AddCaptioned<TRadioButton>(*group, *this, radioNames[1], 10, 38, w - 16, 20, radioTexts[1]);
        three = AddCaptioned<TRadioButton>(*group, *this, radioNames[2], 10, 60, 120, 20, radioTexts[2]);
        edit = AddControl<TEdit>(*group, *this, editName, 134, 59, w - 168, 21);
        button = AddControl<TButton>(*group, *this, buttonName, w - 30, 59, 28, 21);
        button->SetCaption("...");
    };
    const char* iniciar[3] = {"RbIniciar1", "RbIniciar2", "RbIniciar3"};
    const int iniciarTexts[3] = {136, 137, 138};
    folderGroup("GbIniciar", 6, 133, iniciar, iniciarTexts, RbIniciar1, RbIniciar2, RbIniciar3,
                "IniciarPastaFixaEdit", IniciarPastaFixaEdit, "DialogBtn", DialogBtn);
    const char* extrair[3] = {"RbExtrair1", "RbExtrair2", "RbExtrair3"};
    const int extrairTexts[3] = {139, 140, 141};
    folderGroup("GbExtrair", 96, 134, extrair, extrairTexts, RbExtrair1, RbExtrair2, RbExtrair3,
                "ExtrairPastaFixaEdit", ExtrairPastaFixaEdit, "DialogExtrairBtn", DialogExtrairBtn);
    const char* adicionar[3] = {"RbAdicionar1", "RbAdicionar2", "RbAdicionar3"};
    const int adicionarTexts[3] = {142, 143, 144};
    folderGroup("GbAdicionar", 186, 135, adicionar, adicionarTexts, RbAdicionar1, RbAdicionar2, RbAdicionar3,
                "AdicionarPastaFixaEdit", AdicionarPastaFixaEdit, "AdicionarDialogBtn", AdicionarDialogBtn);
    auto* temp = AddCaptioned<TGroupBox>(*TabSheet2, *this, "GbTemporaria", 8, 276, w + 8, 52, 634);
    PastaTemporariaEdit = AddControl<TEdit>(*temp, *this, "PastaTemporariaEdit", 10, 20, w - 44, 21);
    BitBtn3 = AddControl<TButton>(*temp, *this, "BitBtn3", w - 30, 20, 28, 21);
    BitBtn3->SetCaption("...");

    // ---- program locations
    auto* viewer = AddCaptioned<TGroupBox>(*LocalProgramasTb, *this, "GbVisualizador", 8, 6, w + 8, 88, 145);
    AddCaptioned<TLabel>(*viewer, *this, "VisualizadorLbl", 10, 22, 80, 16, 146);
    VisualizadorEdit = AddControl<TEdit>(*viewer, *this, "VisualizadorEdit", 92, 20, w - 126, 21);
    VisualizadorDialog = AddControl<TButton>(*viewer, *this, "VisualizadorDialog", w - 30, 20, 28, 21);
    VisualizadorDialog->SetCaption("...");
    AddNote(*viewer, *this, "VisualizadorNota", 10, 48, w - 12, 34, 147);
    auto* virus = AddCaptioned<TGroupBox>(*LocalProgramasTb, *this, "GbVirus", 8, 100, w + 8, 112, 148);
    AddCaptioned<TLabel>(*virus, *this, "VirusLbl", 10, 22, 80, 16, 149);
    VirusEdit = AddControl<TEdit>(*virus, *this, "VirusEdit", 92, 20, w - 126, 21);
    VirusBtn = AddControl<TButton>(*virus, *this, "VirusBtn", w - 30, 20, 28, 21);
    VirusBtn->SetCaption("...");
    AddCaptioned<TLabel>(*virus, *this, "VirusParametrosLbl", 10, 48, 80, 16, 150);
    VirusParametrosEdit = AddControl<TEdit>(*virus, *this, "VirusParametrosEdit", 92, 46, w - 126, 21);
    AddNote(*virus, *this, "VirusNota", 10, 74, w - 12, 34, 151);
    auto* email = AddCaptioned<TGroupBox>(*LocalProgramasTb, *this, "GbEmail", 8, 218, w + 8, 76, 633);
    AddCaptioned<TLabel>(*email, *this, "EmailLbl", 10, 22, 80, 16, 632);
    EmailPrgEdit = AddControl<TEdit>(*email, *this, "EmailPrgEdit", 92, 20, w - 126, 21);
    EmailBtn = AddControl<TButton>(*email, *this, "EmailBtn", w - 30, 20, 28, 21);
    EmailBtn->SetCaption("...");
    AddNote(*email, *this, "EmailNota", 10, 48, w - 12, 20, 631);

    // ---- under the pages
    NotaLbl = AddNote(*this, *this, "NotaLbl", 10, 394, FormWidth - 20, 30, 132);
    BitBtn1 = AddCaptioned<TBitBtn>(*this, *this, "BitBtn1", FormWidth - 8 - 2 * 96 - 6, 428, 96, 27, 120);
    BitBtn1->SetModalResult(mrOk);
    BitBtn1->SetDefault(true);
    BitBtn2 = AddCaptioned<TBitBtn>(*this, *this, "BitBtn2", FormWidth - 8 - 96, 428, 96, 27, 121);
    BitBtn2->SetModalResult(mrCancel);
    BitBtn2->SetCancel(true);

    FolderDialog = new TMvFolderBrowseDlg(this);
    FolderDialog->SetName("FolderDialog");
    FolderDialog->SetOptions(ptfbContextMenus | ptfbCreateDeleteButtons | ptfbVirtualFolders | ptfbShowHidden);

    FixFormFonts(*this);
    PageControl1->SetActivePageIndex(OptionsPagePrincipal);
    RegisterContextMenu = [](bool on) { mv::RegisterContextMenu(on); };

    // ---- events
    PageControl1->OnChange = [](TComponent*) { PlaySoundRes("CLICK"); };
    for (TControl* c : std::initializer_list<TControl*>{ChkGridLines, ChkAssociacao, ChkSons, MenuContextoChk,
                                                         RbLarguraColuna, RbIniciar1, RbIniciar2, RbExtrair1,
                                                         RbExtrair2, RbAdicionar1, RbAdicionar2})
        c->OnClick = [](TComponent*) { PlaySoundRes("CLEK"); };
    // Entering a "fixed" radio takes the user to its folder field.
    const std::pair<TRadioButton*, TEdit*> fixed[] = {{RbIniciar3, IniciarPastaFixaEdit},
                                                      {RbExtrair3, ExtrairPastaFixaEdit},
                                                      {RbAdicionar3, AdicionarPastaFixaEdit}};
    for (const auto& [radio, edit] : fixed) {
        radio->OnClick = [radio, edit](TComponent*) {
            PlaySoundRes("CLEK");
            radio->SetChecked(true);
            edit->SetFocus();
        };
    }
    ResetaBtn->OnClick = [this](TComponent*) { ResetaBtnClick(); };
    DialogBtn->OnClick = [this](TComponent*) { ChooseFolder(RbIniciar3, IniciarPastaFixaEdit); };
    DialogExtrairBtn->OnClick = [this](TComponent*) { ChooseFolder(RbExtrair3, ExtrairPastaFixaEdit); };
    AdicionarDialogBtn->OnClick = [this](TComponent*) { ChooseFolder(RbAdicionar3, AdicionarPastaFixaEdit); };
    BitBtn3->OnClick = [this](TComponent*) { ChooseFolder(nullptr, PastaTemporariaEdit); };
    VisualizadorDialog->OnClick = [this](TComponent*) { ChooseProgram(VisualizadorEdit); };
    VirusBtn->OnClick = [this](TComponent*) { ChooseProgram(VirusEdit); };
    EmailBtn->OnClick = [this](TComponent*) { ChooseProgram(EmailPrgEdit); };
    BitBtn1->OnClick = [this](TComponent*) { BitBtn1Click(); };
    OnShow = [this](TComponent*) {
        FillControls(FOptions);
        SetSoundsEnabled(true);
    };
    OnClose = [this](TComponent*, TCloseAction&) { PlaySoundRes(ModalResult() == mrOk ? "BEEP" : "CLICK"); };
}

TFormConfig::~TFormConfig() = default;

void TFormConfig::FillControls(const TOptions& o) {
    ChkGridLines->SetChecked(o.GridLines);
    ChkAssociacao->SetChecked(o.Associacao);
    ChkSons->SetChecked(o.Sons);
    MenuContextoChk->SetChecked(o.MenudeContexto);
    RbLarguraColuna->SetItemIndex(o.LarguraColuna);
    CheckMode(o.PastaIniciar, RbIniciar1, RbIniciar2, RbIniciar3);
    IniciarPastaFixaEdit->SetTextValue(o.PastaIniciarFixa);
    CheckMode(o.PastaExtrair, RbExtrair1, RbExtrair2, RbExtrair3);
    ExtrairPastaFixaEdit->SetTextValue(o.PastaExtrairFixa);
    CheckMode(o.PastaAdicionar, RbAdicionar1, RbAdicionar2, RbAdicionar3);
    AdicionarPastaFixaEdit->SetTextValue(o.PastaAdicionarFixa);
    PastaTemporariaEdit->SetTextValue(o.PastaTemporaria);
    VisualizadorEdit->SetTextValue(o.Visualizador);
    VirusEdit->SetTextValue(o.Virus);
    VirusParametrosEdit->SetTextValue(o.VirusParametros);
    EmailPrgEdit->SetTextValue(o.Email);
}

void TFormConfig::BitBtn1Click() {
    const bool gridLines = ChkGridLines->Checked();
    if (ApplyGridLines) ApplyGridLines(gridLines);
    FOptions.GridLines = gridLines;
    FOptions.Associacao = ChkAssociacao->Checked();
    FOptions.Sons = ChkSons->Checked();
    SetSoundsOption(FOptions.Sons);
    if (RbLarguraColuna->ItemIndex() >= 0) FOptions.LarguraColuna = static_cast<int16_t>(RbLarguraColuna->ItemIndex());
    // No radio checked keeps the mode the options had.
    if (const int16_t m = CheckedMode(RbIniciar1, RbIniciar2, RbIniciar3)) FOptions.PastaIniciar = m;
    FOptions.PastaIniciarFixa = IniciarPastaFixaEdit->Text();
    if (const int16_t m = CheckedMode(RbExtrair1, RbExtrair2, RbExtrair3)) FOptions.PastaExtrair = m;
    FOptions.PastaExtrairFixa = ExtrairPastaFixaEdit->Text();
    if (const int16_t m = CheckedMode(RbAdicionar1, RbAdicionar2, RbAdicionar3)) FOptions.PastaAdicionar = m;
    FOptions.PastaAdicionarFixa = AdicionarPastaFixaEdit->Text();
    FOptions.Visualizador = VisualizadorEdit->Text();
    FOptions.Virus = VirusEdit->Text();
    FOptions.VirusParametros = VirusParametrosEdit->Text();
    FOptions.Email = EmailPrgEdit->Text();
    // The context menu is registered or removed now, and only when the choice changed.
    const bool contextMenu = MenuContextoChk->Checked();
    if (contextMenu != FOptions.MenudeContexto) {
        FOptions.MenudeContexto = contextMenu;
        if (RegisterContextMenu) RegisterContextMenu(contextMenu);
    }
    FOptions.PastaTemporaria = NormaliseTempFolder(PastaTemporariaEdit->Text());
    SetModalResult(mrOk);
}

void TFormConfig::ResetaBtnClick() {
    PlaySoundRes("CLICK");
    // The first-run values go into the controls only: Cancel still leaves the options
    // as they were, and "A&plicar" takes them over like any other change.
    TOptions defaults = FOptions;
    ResetOptions(defaults);
    FillControls(defaults);
}

void TFormConfig::ChooseFolder(TRadioButton* fixedRadio, TEdit* field) {
    PlaySoundRes("CLEK");
    if (fixedRadio) fixedRadio->SetChecked(true);
    field->SetFocus();
    const std::string current = TrimText(field->Text());
    if (!current.empty()) FolderDialog->SelectedFolder().SetPath(current);
    if (!FolderDialog->Execute()) return;
    const std::string folder = FolderDialog->GetSelectedPath();
    if (!folder.empty()) field->SetTextValue(folder);
}

void TFormConfig::ChooseProgram(TEdit* field) {
    PlaySoundRes("CLEK");
    TOpenArchiveRequest request;
    request.Title = LoadLangStr(620);
    request.Filter = LoadLangStr(518);
    std::string chosen;
    if (RunOpenArchiveDialog(this, request, chosen) && !chosen.empty()) field->SetTextValue(chosen);
}

bool ShowOptionsDialog(TOptions& options, int page, std::function<void(bool on)> applyGridLines) {
    auto form = std::make_unique<TFormConfig>(nullptr, options);
    form->ApplyGridLines = std::move(applyGridLines);
    form->PageControl1->SetActivePageIndex(page);
    return form->ShowModal() == mrOk;
}

} // namespace mv
