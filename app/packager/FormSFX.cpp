#include "app/packager/FormSFX.h"

#include "app/common/FormBuild.h"
#include "app/common/LangStr.h"
#include "app/common/MessageBox.h"
#include "app/common/Sounds.h"
#include "app/packager/SfxBuild.h"
#include "app/common/SfxPlaceholders.h"
#include "app/packager/SmpFile.h"
#include "controls/shell/dialogs/MvOpenDlg.h"
#include "controls/toolkit/colour/ExtPageControl.h"
#include "platform/AppPaths.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/ui/StdControls.h"

#include <algorithm>
#include <memory>

namespace mv {

namespace {

std::string Joined(const std::vector<std::string>& lines) {
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) out += (i ? "\n" : "") + lines[i];
    return out;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    if (text.empty()) return out;
    size_t start = 0;
    for (;;) {
        const size_t nl = text.find('\n', start);
        std::string line = text.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out.push_back(line);
        if (nl == std::string::npos) return out;
        start = nl + 1;
    }
}

// A small button beside a field that opens a file dialog for it.
TButton* AddBrowse(TWinControl& parent, TComponent& owner, const char* name, int x, int y) {
    auto* b = AddControl<TButton>(parent, owner, name, x, y, 36, 22);
    b->SetCaption("...");
    return b;
}

// One run of the program's open or save dialog: title and filter are string
// numbers (title 0: the dialog's own), the first filter chosen; true with the
// chosen full name.
bool ChooseFile(bool save, int title, int filter, const std::string& initialDir, const std::string& proposed,
                std::string& chosen) {
    std::unique_ptr<TMvFileDlg> dialog;
    if (save) dialog = std::make_unique<TMvSaveDlg>(nullptr);
    else dialog = std::make_unique<TMvOpenDlg>(nullptr);
    dialog->SetOptions(DefaultOpenOptions | ptofPathMustExist | ptofShowTree | (save ? 0 : ptofFileMustExist));
    if (title) dialog->SetTitle(LoadLangStr(title));
    dialog->SetFilter(LoadLangStr(filter));
    dialog->SetFilterIndex(1);
    const bool folder = !initialDir.empty() && platform::IsDirectory(initialDir);
    // A proposed name goes in with its folder, where the dialog starts.
    if (!proposed.empty()) dialog->SetFileName(folder ? platform::JoinPath(initialDir, proposed) : proposed);
    else if (folder) dialog->SetInitialDir(initialDir);
    if (!dialog->Execute() || dialog->Files().empty()) return false;
    chosen = dialog->Files().front();
    return true;
}

// The memo shows "\n" line ends; texts loaded from a settings file carry CR LF.
std::string MemoText(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != '\r') out += c;
    return out;
}

constexpr TColor White = 0xFFFFFF;
constexpr TColor Grey = 12632256;

} // namespace

TFormSFX::TFormSFX(TComponent* owner, std::string archive, const std::vector<std::string>& entries)
    : TForm(owner), FArchive(std::move(archive)) {
    SetName("FormSFX");
    SetScaled(false);
    SetBorderStyle(TFormBorderStyle::bsDialog);
    SetPosition(TPosition::poScreenCenter);
    SetClientWidth(800);
    SetClientHeight(530);

    Pages = AddControl<TExtPageControl>(*this, *this, "Pages", 8, 8, 784, 470);
    for (int caption : {235, 247, 252, 260, 265, 267, 271, 280}) Pages->AddPage(LoadLangStr(caption));
    Pages->SetTabPosition(TExtTabPosition::tabPosLeft);
    // Wide enough for the longest page title of every language in two lines.
    Pages->SetTabWidth(170);
    Pages->SetTabHeight(40);
    Pages->SetTabWordWrap(true);
    auto page = [this](int i) -> TWinControl& { return *Pages->Page(i); };

    // 1: settings file, mode, stub
    AddCaptioned<TLabel>(page(0), *this, "ConfigLbl", 12, 14, 300, 16, 245);
    ConfigEdit = AddControl<TEdit>(page(0), *this, "ConfigEdit", 12, 34, 520, 22);
    OpenBtn = AddBrowse(page(0), *this, "OpenBtn", 536, 34);
    auto* modes = AddCaptioned<TGroupBox>(page(0), *this, "ModoGrp", 12, 72, 560, 80, 237);
    RgModoBasico = AddCaptioned<TRadioButton>(*modes, *this, "RgModoBasico", 14, 22, 500, 22, 238);
    RgModoProfissional = AddCaptioned<TRadioButton>(*modes, *this, "RgModoProfissional", 14, 48, 500, 22, 239);
    auto* stubs = AddCaptioned<TGroupBox>(page(0), *this, "VersaoGrp", 12, 166, 560, 80, 240);
    Rg16Bits = AddCaptioned<TRadioButton>(*stubs, *this, "Rg16Bits", 14, 22, 540, 22, 241);
    Rg32Bits = AddCaptioned<TRadioButton>(*stubs, *this, "Rg32Bits", 14, 48, 540, 22, 242);

    // 2: presentation
    AddCaptioned<TLabel>(page(1), *this, "TituloLbl", 12, 14, 300, 16, 248);
    TituloEdit = AddControl<TEdit>(page(1), *this, "TituloEdit", 12, 34, 560, 22);
    AddCaptioned<TLabel>(page(1), *this, "IntroLbl", 12, 66, 300, 16, 249);
    Memo = AddControl<TMemo>(page(1), *this, "Memo", 12, 86, 560, 150);
    AddCaptioned<TLabel>(page(1), *this, "PastaLbl", 12, 248, 300, 16, 250);
    PastaDefaultEdit = AddControl<TEdit>(page(1), *this, "PastaDefaultEdit", 12, 268, 520, 22);
    EspecialBtn = AddControl<TButton>(page(1), *this, "EspecialBtn", 536, 268, 36, 22);
    EspecialBtn->SetCaption(">>");
    auto* note = AddCaptioned<TLabel>(page(1), *this, "NotaLbl", 12, 296, 560, 32, 251);
    note->SetWordWrap(true);

    // 3: advanced options
    ModificaPastaChk = AddCaptioned<TCheckBox>(page(2), *this, "ModificaPastaChk", 12, 14, 560, 22, 253);
    CriarPastaChk = AddCaptioned<TCheckBox>(page(2), *this, "CriarPastaChk", 12, 40, 560, 22, 254);
    BarraProgressoChk = AddCaptioned<TCheckBox>(page(2), *this, "BarraProgressoChk", 12, 66, 560, 22, 255);
    auto* existing = AddCaptioned<TGroupBox>(page(2), *this, "SobrescreverGrp", 12, 100, 560, 110, 256);
    RgPerguntaSobrescrever = AddCaptioned<TRadioButton>(*existing, *this, "RgPerguntaSobrescrever", 14, 24, 530, 22, 257);
    RgSempreSobrescrever = AddCaptioned<TRadioButton>(*existing, *this, "RgSempreSobrescrever", 14, 50, 530, 22, 258);
    RgNuncaSobrescrever = AddCaptioned<TRadioButton>(*existing, *this, "RgNuncaSobrescrever", 14, 76, 530, 22, 259);

    // 4: protection
    RgNenhumaProtecao = AddCaptioned<TRadioButton>(page(3), *this, "RgNenhumaProtecao", 12, 14, 560, 22, 261);
    RgProtecaoComSenha = AddCaptioned<TRadioButton>(page(3), *this, "RgProtecaoComSenha", 12, 44, 560, 22, 262);
    AddCaptioned<TLabel>(page(3), *this, "SenhaLbl", 36, 76, 80, 16, 263);
    SenhaEdit = AddControl<TEdit>(page(3), *this, "SenhaEdit", 120, 72, 240, 22);
    RgProtecaoExclusiva = AddCaptioned<TRadioButton>(page(3), *this, "RgProtecaoExclusiva", 12, 108, 560, 22, 264);

    // 5: messages and buttons
    TreeView = AddControl<TListBox>(page(4), *this, "TreeView", 12, 12, 560, 270);
    for (int i = 0; i < SfxTextCount; ++i) {
        const int caption = SfxTextCaption(i);
        const std::string text = caption ? LoadLangStr(caption) : "OK";
        TreeView->Items().Add(IsSfxGroupNode(i) ? text : "      " + text);
    }
    AddCaptioned<TLabel>(page(4), *this, "ItemLbl", 12, 290, 300, 16, 266);
    ItemSelecionado = AddControl<TMemo>(page(4), *this, "ItemSelecionado", 12, 310, 560, 120);

    // 6: program group and associations
    GrupoProgramasChk = AddCaptioned<TCheckBox>(page(5), *this, "GrupoProgramasChk", 12, 8, 280, 22, 268);
    AddCaptioned<TLabel>(page(5), *this, "TituloRegistroLbl", 12, 36, 100, 16, 269);
    TituloRegistroEdit = AddControl<TEdit>(page(5), *this, "TituloRegistroEdit", 12, 54, 280, 22);
    ExtensoesChk = AddCaptioned<TCheckBox>(page(5), *this, "ExtensoesChk", 304, 8, 280, 22, 270);
    const int gridTop = 84;
    for (int r = 0; r <= 10; ++r) {
        const int y = gridTop + r * 22;
        for (int c = 0; c < 2; ++c) {
            auto* e = AddControl<TEdit>(page(5), *this, "", 12 + c * 140, y, c ? 140 : 138, 21);
            e->SetName("ProgramGroupGrid_" + std::to_string(r) + "_" + std::to_string(c));
            if (r == 0) e->SetReadOnly(true);
            ProgramGroupGrid[static_cast<size_t>(r)][static_cast<size_t>(c)] = e;
        }
        const int widths[] = {68, 110, 118};
        int x = 304;
        for (int c = 0; c < 3; ++c) {
            auto* e = AddControl<TEdit>(page(5), *this, "", x, y, widths[c] - 2, 21);
            e->SetName("ExtensaoGrid_" + std::to_string(r) + "_" + std::to_string(c));
            if (r == 0) e->SetReadOnly(true);
            ExtensaoGrid[static_cast<size_t>(r)][static_cast<size_t>(c)] = e;
            x += widths[c];
        }
    }
    const int buttonsTop = gridTop + 11 * 22 + 4;
    PGButton = AddBrowse(page(5), *this, "PGButton", 12, buttonsTop);
    EXTButton = AddBrowse(page(5), *this, "EXTButton", 304 + 68, buttonsTop);
    // The buttons leave the focus in the grid, so that they know its current cell.
    PGButton->SetTabStop(false);
    EXTButton->SetTabStop(false);
    ArquivosLb = AddControl<TListBox>(page(5), *this, "ArquivosLb", 12, buttonsTop + 26, 584, 100);
    ArquivosLb->SetVisible(false);

    // 7: final actions
    MostrarTextoChk = AddCaptioned<TCheckBox>(page(6), *this, "MostrarTextoChk", 12, 10, 560, 22, 272);
    ArquivoTextoEdit = AddControl<TComboBox>(page(6), *this, "ArquivoTextoEdit", 36, 36, 456, 22);
    Especial1Btn = AddControl<TButton>(page(6), *this, "Especial1Btn", 496, 36, 36, 22);
    Browse1Btn = AddBrowse(page(6), *this, "Browse1Btn", 536, 36);
    ExecutarAplicacaoChk = AddCaptioned<TCheckBox>(page(6), *this, "ExecutarAplicacaoChk", 12, 76, 560, 22, 273);
    AddCaptioned<TLabel>(page(6), *this, "AplicacaoLbl", 36, 104, 100, 16, 274);
    AplicacaoEdit = AddControl<TComboBox>(page(6), *this, "AplicacaoEdit", 36, 122, 456, 22);
    Especial2Btn = AddControl<TButton>(page(6), *this, "Especial2Btn", 496, 122, 36, 22);
    Browse2Btn = AddBrowse(page(6), *this, "Browse2Btn", 536, 122);
    AddCaptioned<TLabel>(page(6), *this, "ParametrosLbl", 36, 150, 100, 16, 275);
    ParametrosEdit = AddControl<TComboBox>(page(6), *this, "ParametrosEdit", 36, 168, 456, 22);
    Especial3Btn = AddControl<TButton>(page(6), *this, "Especial3Btn", 496, 168, 36, 22);
    Browse3Btn = AddBrowse(page(6), *this, "Browse3Btn", 536, 168);
    InstalacaoChk = AddCaptioned<TCheckBox>(page(6), *this, "InstalacaoChk", 36, 198, 536, 22, 276);
    auto* icon = AddCaptioned<TGroupBox>(page(6), *this, "IconeGrp", 12, 236, 560, 64, 277);
    ImagemEscolhidaEdit = AddControl<TEdit>(*icon, *this, "ImagemEscolhidaEdit", 12, 26, 300, 22);
    IconePadraoBtn = AddCaptioned<TButton>(*icon, *this, "IconePadraoBtn", 320, 24, 112, 26, 278);
    ProcurarBtn = AddCaptioned<TButton>(*icon, *this, "ProcurarBtn", 440, 24, 108, 26, 279);
    for (TComboBox* box : {ArquivoTextoEdit, AplicacaoEdit, ParametrosEdit})
        for (const auto& entry : entries) box->Items().Add(LoadLangStr(500) + "\\" + entry);
    for (const auto& entry : entries) ArquivosLb->Items().Add(LoadLangStr(500) + "\\" + entry);
    for (TButton* b : {Especial1Btn, Especial2Btn, Especial3Btn}) b->SetCaption(">>");

    // 8: final page
    AddCaptioned<TLabel>(page(7), *this, "DestinoLbl", 12, 14, 300, 16, 322);
    DestinoEdit = AddControl<TEdit>(page(7), *this, "DestinoEdit", 12, 34, 520, 22);
    DestinoBrowser = AddBrowse(page(7), *this, "DestinoBrowser", 536, 34);
    CriarBtn = AddCaptioned<TButton>(page(7), *this, "CriarBtn", 12, 80, 270, 32, 282);
    SalvarBtn = AddCaptioned<TButton>(page(7), *this, "SalvarBtn", 302, 80, 270, 32, 283);
    StatusLb = AddControl<TLabel>(page(7), *this, "StatusLb", 12, 130, 560, 16);
    ProgressBar1 = AddControl<TProgressBar>(page(7), *this, "ProgressBar1", 12, 152, 560, 18);
    ProgressBar1->SetRange(0, 100);

    FolderMenu = AddControl<TListBox>(*this, *this, "FolderMenu", 0, 0, 260, 7 * 18 + 6);
    for (int item = 0; item < SfxFolderMenuCount; ++item)
        FolderMenu->Items().Add(LoadLangStr(SfxFolderMenuCaption(item)));
    FolderMenu->SetVisible(false);

    VoltarBtn = AddCaptioned<TButton>(*this, *this, "VoltarBtn", 464, 490, 104, 30, 243);
    AvancarBtn = AddCaptioned<TButton>(*this, *this, "AvancarBtn", 576, 490, 104, 30, 244);
    AvancarBtn->SetDefault(true);
    SairBtn = AddCaptioned<TButton>(*this, *this, "SairBtn", 688, 490, 104, 30, 172);
    SairBtn->SetCancel(true);

    AvancarBtn->OnClick = [this](TComponent*) { AvancarBtnClick(); };
    VoltarBtn->OnClick = [this](TComponent*) { VoltarBtnClick(); };
    SairBtn->OnClick = [this](TComponent*) { Close(); };
    RgModoBasico->OnClick = [this](TComponent*) { RgModoBasicoClick(); };
    RgModoProfissional->OnClick = [this](TComponent*) { RgModoProfissionalClick(); };
    ConfigEdit->OnChange = [this](TComponent*) { ConfigEditChange(); };
    OpenBtn->OnClick = [this](TComponent*) { OpenBtnClick(); };
    Browse1Btn->OnClick = [this](TComponent*) { BrowseBtnClick(TSfxFolderTarget::Readme); };
    Browse2Btn->OnClick = [this](TComponent*) { BrowseBtnClick(TSfxFolderTarget::Application); };
    Browse3Btn->OnClick = [this](TComponent*) { BrowseBtnClick(TSfxFolderTarget::Parameters); };
    ProcurarBtn->OnClick = [this](TComponent*) { ProcurarBtnClick(); };
    DestinoBrowser->OnClick = [this](TComponent*) { DestinoBrowserClick(); };
    PGButton->OnClick = [this](TComponent*) { PGButtonClick(); };
    EXTButton->OnClick = [this](TComponent*) { EXTButtonClick(); };
    ArquivosLb->OnClick = [this](TComponent*) { ArquivosLbClick(); };
    EspecialBtn->OnClick = [this](TComponent*) { EspecialBtnClick(TSfxFolderTarget::DefaultFolder); };
    Especial1Btn->OnClick = [this](TComponent*) { EspecialBtnClick(TSfxFolderTarget::Readme); };
    Especial2Btn->OnClick = [this](TComponent*) { EspecialBtnClick(TSfxFolderTarget::Application); };
    Especial3Btn->OnClick = [this](TComponent*) { EspecialBtnClick(TSfxFolderTarget::Parameters); };
    FolderMenu->OnClick = [this](TComponent*) { FolderMenuClick(FolderMenu->ItemIndex()); };
    TreeView->OnClick = [this](TComponent*) { TreeViewChange(); };
    ItemSelecionado->OnChange = [this](TComponent*) { ItemSelecionadoExit(); };
    GrupoProgramasChk->OnClick = [this](TComponent*) { GrupoProgramasChkClick(); };
    ExtensoesChk->OnClick = [this](TComponent*) { ExtensoesChkClick(); };
    MostrarTextoChk->OnClick = [this](TComponent*) { MostrarTextoChkClick(); };
    ExecutarAplicacaoChk->OnClick = [this](TComponent*) { ExecutarAplicacaoChkClick(); };
    IconePadraoBtn->OnClick = [this](TComponent*) { IconePadraoBtnClick(); };
    CriarBtn->OnClick = [this](TComponent*) { CriarBtnClick(); };
    SalvarBtn->OnClick = [this](TComponent*) { SalvarBtnClick(); };
    OnShow = [](TComponent*) { SetSoundsEnabled(true); };
    OnClose = [](TComponent*, TCloseAction&) { PlaySoundRes("CLICK"); };

    ResetWizard();
}

void TFormSFX::ResetWizard() {
    FWizard.ResetWizard(FArchive);
    ShowWizard();
}

void TFormSFX::ShowWizard() {
    FShowing = true;
    const TSfxSettings& s = FWizard.Settings();
    RgModoBasico->SetChecked(s.ModoBasico);
    RgModoProfissional->SetChecked(s.ModoProfissional);
    Rg16Bits->SetChecked(s.Versao16);
    Rg32Bits->SetChecked(s.Versao32);
    TituloEdit->SetTextValue(s.Titulo);
    Memo->SetTextValue(MemoText(Joined(s.Introducao)));
    PastaDefaultEdit->SetTextValue(s.PastaDefault);
    ModificaPastaChk->SetChecked(s.ModificaPasta);
    CriarPastaChk->SetChecked(s.CriarPasta);
    BarraProgressoChk->SetChecked(s.BarraProgresso);
    RgPerguntaSobrescrever->SetChecked(s.PerguntarSobrescrever);
    RgSempreSobrescrever->SetChecked(s.SempreSobrescrever);
    RgNuncaSobrescrever->SetChecked(s.NuncaSobrescrever);
    RgNenhumaProtecao->SetChecked(s.NenhumaProtecao);
    RgProtecaoComSenha->SetChecked(s.ProtecaoComSenha);
    RgProtecaoExclusiva->SetChecked(s.ProtecaoExclusiva);
    SenhaEdit->SetTextValue(s.Senha);
    FWizard.SelectText(TreeView->ItemIndex());
    ItemSelecionado->SetTextValue(MemoText(FWizard.EditorText()));
    ItemSelecionado->SetEnabled(FWizard.EditorEnabled());
    GrupoProgramasChk->SetChecked(s.GrupoProgramas);
    TituloRegistroEdit->SetTextValue(s.TituloRegistro);
    ExtensoesChk->SetChecked(s.Extensoes);
    for (size_t r = 0; r <= 10; ++r) {
        for (size_t c = 0; c < 2; ++c) ProgramGroupGrid[r][c]->SetTextValue(s.ProgramGroupGrid[r][c]);
        for (size_t c = 0; c < 3; ++c) ExtensaoGrid[r][c]->SetTextValue(s.ExtensaoGrid[r][c]);
    }
    MostrarTextoChk->SetChecked(s.MostrarTexto);
    ArquivoTextoEdit->SetTextValue(s.ArquivoTexto);
    ExecutarAplicacaoChk->SetChecked(s.ExecutarAplicacao);
    AplicacaoEdit->SetTextValue(s.Aplicacao);
    ParametrosEdit->SetTextValue(s.Parametros);
    InstalacaoChk->SetChecked(s.Instalacao);
    ImagemEscolhidaEdit->SetTextValue(s.Icone);
    DestinoEdit->SetTextValue(s.Destino);
    EnableBoxes();
    ShowStep();
    FShowing = false;
}

void TFormSFX::ReadControls() {
    TSfxSettings& s = FWizard.Settings();
    s.ModoBasico = RgModoBasico->Checked();
    s.ModoProfissional = RgModoProfissional->Checked();
    s.Versao16 = Rg16Bits->Checked();
    s.Versao32 = Rg32Bits->Checked();
    s.Titulo = TituloEdit->Text();
    s.Introducao = Lines(Memo->Text());
    s.PastaDefault = PastaDefaultEdit->Text();
    s.ModificaPasta = ModificaPastaChk->Checked();
    s.CriarPasta = CriarPastaChk->Checked();
    s.BarraProgresso = BarraProgressoChk->Checked();
    s.PerguntarSobrescrever = RgPerguntaSobrescrever->Checked();
    s.SempreSobrescrever = RgSempreSobrescrever->Checked();
    s.NuncaSobrescrever = RgNuncaSobrescrever->Checked();
    s.NenhumaProtecao = RgNenhumaProtecao->Checked();
    s.ProtecaoComSenha = RgProtecaoComSenha->Checked();
    s.ProtecaoExclusiva = RgProtecaoExclusiva->Checked();
    s.Senha = SenhaEdit->Text();
    s.GrupoProgramas = GrupoProgramasChk->Checked();
    s.TituloRegistro = TituloRegistroEdit->Text();
    s.Extensoes = ExtensoesChk->Checked();
    for (size_t r = 1; r <= 10; ++r) {
        for (size_t c = 0; c < 2; ++c) s.ProgramGroupGrid[r][c] = ProgramGroupGrid[r][c]->Text();
        for (size_t c = 0; c < 3; ++c) s.ExtensaoGrid[r][c] = ExtensaoGrid[r][c]->Text();
    }
    s.MostrarTexto = MostrarTextoChk->Checked();
    s.ArquivoTexto = ArquivoTextoEdit->Text();
    s.ExecutarAplicacao = ExecutarAplicacaoChk->Checked();
    s.Aplicacao = AplicacaoEdit->Text();
    s.Parametros = ParametrosEdit->Text();
    s.Instalacao = InstalacaoChk->Checked();
    s.Icone = ImagemEscolhidaEdit->Text();
    s.Destino = DestinoEdit->Text();
}

void TFormSFX::ShowStep() {
    const int step = FWizard.Step();
    for (int i = 0; i < 8; ++i) {
        Pages->SetTabVisible(i, !FWizard.Basic() || i < 2 || i == 7);
        Pages->SetPageEnabled(i, i == step - 1);
    }
    Pages->SetActivePageIndex(step - 1);
    VoltarBtn->SetEnabled(FWizard.CanGoBack());
    AvancarBtn->SetEnabled(FWizard.CanGoForward());
    SetCaption(FWizard.Caption());
    if (step == 8) {
        StatusLb->SetVisible(false);
        ProgressBar1->SetVisible(false);
    }
    FolderMenu->SetVisible(false);
}

void TFormSFX::EnableBoxes() {
    const TSfxSettings& s = FWizard.Settings();
    const auto shade = [](TWinControl* c, bool on) {
        c->SetEnabled(on);
        c->SetColor(on ? White : Grey);
    };
    shade(TituloRegistroEdit, s.GrupoProgramas);
    PGButton->SetEnabled(s.GrupoProgramas);
    EXTButton->SetEnabled(s.Extensoes);
    if (!s.GrupoProgramas && !s.Extensoes) ArquivosLb->SetVisible(false);
    for (size_t r = 1; r <= 10; ++r) {
        for (TEdit* e : ProgramGroupGrid[r]) shade(e, s.GrupoProgramas);
        for (TEdit* e : ExtensaoGrid[r]) shade(e, s.Extensoes);
    }
    for (TControl* c : std::initializer_list<TControl*>{ArquivoTextoEdit, Especial1Btn, Browse1Btn})
        c->SetEnabled(s.MostrarTexto);
    for (TControl* c : std::initializer_list<TControl*>{AplicacaoEdit, Especial2Btn, Browse2Btn, ParametrosEdit,
                                                        Especial3Btn, Browse3Btn, InstalacaoChk})
        c->SetEnabled(s.ExecutarAplicacao);
}

void TFormSFX::AvancarBtnClick() {
    PlaySoundRes("BEEP");
    ReadControls();
    FWizard.LeaveEditor();
    FWizard.Forward();
    ShowStep();
}

void TFormSFX::VoltarBtnClick() {
    PlaySoundRes("BEEP");
    ReadControls();
    FWizard.LeaveEditor();
    FWizard.Back();
    ShowStep();
}

void TFormSFX::RgModoBasicoClick() {
    if (FShowing) return;
    PlaySoundRes("CLEK");
    ReadControls();
    FWizard.ChooseBasicMode();
    ShowWizard();
}

void TFormSFX::RgModoProfissionalClick() {
    if (FShowing) return;
    PlaySoundRes("CLEK");
    ReadControls();
    FWizard.ChooseProfessionalMode();
    ShowWizard();
}

void TFormSFX::ConfigEditChange() {
    if (FShowing) return;
    ReadControls();
    if (LoadSmpFile(FWizard, ConfigEdit->Text())) ShowWizard();
}

void TFormSFX::ConfigEditExit() {
    std::string text = ConfigEdit->Text();
    const size_t a = text.find_first_not_of(' ');
    text = a == std::string::npos ? "" : text.substr(a, text.find_last_not_of(' ') - a + 1);
    std::string ext = text.size() >= 4 ? text.substr(text.size() - 4) : "";
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::toupper(c); });
    FShowing = true;
    ConfigEdit->SetTextValue(ext == ".SMP" && platform::Exists(text) ? text : "");
    FShowing = false;
}

void TFormSFX::OpenBtnClick() {
    PlaySoundRes("CLEK");
    std::string name;
    // The chosen name goes into the field, whose change loads the file.
    if (ChooseFile(false, 620, 619, platform::HomeDir(), "", name)) ConfigEdit->SetTextValue(name);
}

void TFormSFX::EspecialBtnClick(TSfxFolderTarget target) {
    PlaySoundRes("CLEK");
    FMenuTarget = target;
    TControl* button = target == TSfxFolderTarget::DefaultFolder ? static_cast<TControl*>(EspecialBtn)
                       : target == TSfxFolderTarget::Readme      ? Especial1Btn
                       : target == TSfxFolderTarget::Application ? Especial2Btn
                                                                 : Especial3Btn;
    // Below the button, in the form's coordinates (the page lies inside the page control).
    const TRect page = Pages->DisplayRect();
    FolderMenu->SetBounds(std::min(Pages->Left() + page.Left + button->Left(), ClientWidth() - 264),
                          Pages->Top() + page.Top + button->Top() + button->Height() + 4, 260, 7 * 18 + 6);
    FolderMenu->SetItemIndex(-1);
    FolderMenu->SetVisible(true);
}

void TFormSFX::FolderMenuClick(int item) {
    FolderMenu->SetVisible(false);
    if (item < 0) return;
    ReadControls();
    FWizard.AppendPlaceholder(FMenuTarget, item);
    const std::string& text = FWizard.FolderTargetText(FMenuTarget);
    TWinControl* field = nullptr;
    switch (FMenuTarget) {
    case TSfxFolderTarget::DefaultFolder: PastaDefaultEdit->SetTextValue(text); field = PastaDefaultEdit; break;
    case TSfxFolderTarget::Readme: ArquivoTextoEdit->SetTextValue(text); field = ArquivoTextoEdit; break;
    case TSfxFolderTarget::Application: AplicacaoEdit->SetTextValue(text); field = AplicacaoEdit; break;
    case TSfxFolderTarget::Parameters: ParametrosEdit->SetTextValue(text); field = ParametrosEdit; break;
    }
    if (field && field->Visible()) field->SetFocus();
}

void TFormSFX::TreeViewChange() {
    FWizard.SelectText(TreeView->ItemIndex());
    FShowing = true;
    ItemSelecionado->SetTextValue(MemoText(FWizard.EditorText()));
    ItemSelecionado->SetEnabled(FWizard.EditorEnabled());
    FShowing = false;
}

void TFormSFX::ItemSelecionadoExit() {
    if (FShowing) return;
    FWizard.SetEditorText(ItemSelecionado->Text());
    FWizard.LeaveEditor();
}

void TFormSFX::GrupoProgramasChkClick() {
    FWizard.Settings().GrupoProgramas = GrupoProgramasChk->Checked();
    EnableBoxes();
}

void TFormSFX::ExtensoesChkClick() {
    FWizard.Settings().Extensoes = ExtensoesChk->Checked();
    EnableBoxes();
}

void TFormSFX::MostrarTextoChkClick() {
    FWizard.Settings().MostrarTexto = MostrarTextoChk->Checked();
    EnableBoxes();
}

void TFormSFX::ExecutarAplicacaoChkClick() {
    FWizard.SetExecutarAplicacao(ExecutarAplicacaoChk->Checked());
    InstalacaoChk->SetChecked(FWizard.Settings().Instalacao);
    EnableBoxes();
}

void TFormSFX::GridButtonClick(bool extensions) {
    if (ArquivosLb->Visible()) {
        ArquivosLb->SetVisible(false);
        return;
    }
    // The application column: 0 of the program-group grid, 1 of the extension grid.
    const size_t column = extensions ? 1 : 0;
    FGridCell = nullptr;
    for (size_t r = 1; r <= 10 && !FGridCell; ++r) {
        TEdit* cell = extensions ? ExtensaoGrid[r][column] : ProgramGroupGrid[r][column];
        if (cell->Focused()) FGridCell = cell;
    }
    for (size_t r = 1; r <= 10 && !FGridCell; ++r) {
        TEdit* cell = extensions ? ExtensaoGrid[r][column] : ProgramGroupGrid[r][column];
        if (cell->Text().empty()) FGridCell = cell;
    }
    if (!FGridCell) return;
    ArquivosLb->SetItemIndex(-1);
    ArquivosLb->SetVisible(true);
}

void TFormSFX::PGButtonClick() {
    GridButtonClick(false);
}

void TFormSFX::EXTButtonClick() {
    GridButtonClick(true);
}

void TFormSFX::ArquivosLbClick() {
    const int item = ArquivosLb->ItemIndex();
    if (item < 0 || !FGridCell) return;
    FGridCell->SetTextValue(ArquivosLb->Items()[static_cast<size_t>(item)]);
    ArquivosLb->SetVisible(false);
    ReadControls();
    FGridCell->SetFocus();
}

void TFormSFX::BrowseBtnClick(TSfxFolderTarget target) {
    std::string name;
    if (!ChooseFile(false, 620, 518, platform::DirectoryOf(FArchive), "", name)) return;
    TComboBox* field = target == TSfxFolderTarget::Readme        ? ArquivoTextoEdit
                       : target == TSfxFolderTarget::Application ? AplicacaoEdit
                                                                 : ParametrosEdit;
    field->SetTextValue(name);
    ReadControls();
}

void TFormSFX::ProcurarBtnClick() {
    PlaySoundRes("BEEP");
    std::string name;
    if (!ChooseFile(false, 620, 517, platform::DirectoryOf(FWizard.Settings().Icone), "", name)) return;
    const size_t a = name.find_first_not_of(' ');
    name = a == std::string::npos ? "" : name.substr(a, name.find_last_not_of(' ') - a + 1);
    ImagemEscolhidaEdit->SetTextValue(name);
    ReadControls();
}

void TFormSFX::DestinoBrowserClick() {
    ReadControls();
    const std::string destination = FWizard.Settings().Destino;
    std::string name;
    if (!ChooseFile(true, 572, 518, platform::DirectoryOf(destination), platform::NameOf(destination), name)) return;
    FWizard.SetDestinationFromDialog(name);
    DestinoEdit->SetTextValue(FWizard.Settings().Destino);
}

void TFormSFX::IconePadraoBtnClick() {
    PlaySoundRes("BEEP");
    FWizard.SetDefaultIcon();
    ImagemEscolhidaEdit->SetTextValue(FWizard.Settings().Icone);
}

void TFormSFX::CriarBtnClick() {
    ReadControls();
    FWizard.LeaveEditor();
    TSfxBuilder builder;
    builder.StubFolder = platform::ResourceDir();
    builder.OnStatus = [this](const std::string& text) {
        StatusLb->SetCaption(text);
        StatusLb->SetVisible(!text.empty());
    };
    builder.OnProgress = [this](int percent) {
        ProgressBar1->SetVisible(percent >= 0);
        if (percent >= 0) ProgressBar1->SetPosition(percent);
    };
    builder.ProcessMessages = [] {
        if (Application) Application->ProcessMessages();
    };
    builder.Build(FWizard, FArchive);
    DestinoEdit->SetTextValue(FWizard.Settings().Destino);
}

void TFormSFX::SalvarBtnClick() {
    PlaySoundRes("BEEP");
    ReadControls();
    FWizard.LeaveEditor();
    const std::string proposed = platform::NameOf(ReplaceExt(FWizard.Settings().Destino, ".smp"));
    std::string name;
    if (!ChooseFile(true, 0, 619, platform::HomeDir(), proposed, name)) return;
    try {
        SaveSmpFile(FWizard, name);
    } catch (const platform::EIniFileException& e) {
        ShowMessageBox(e.what(), mkError, mbOKOnly, 0, -1, -1);
    }
}

} // namespace mv
