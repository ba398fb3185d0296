#include "app/dialogs/SmallPrompts.h"

#include "app/common/LangStr.h"
#include "app/common/MessageBox.h"
#include "app/common/Sounds.h"
#include "platform/DriveInfo.h"
#include "platform/FileSystem.h"
#include "platform/ui/StdControls.h"

#include <memory>

namespace mv {
namespace {

TDiskViewerOpener diskViewerOpener;

// The overwrite prompt's "yes to all".
constexpr int mrYesToAll = 5;

// The form's frame: a fixed dialog centred on the screen, its caption a text number
// that TranslateForm replaces.
void SetUpPrompt(TForm& form, const std::string& name, int captionNumber, int clientWidth, int clientHeight) {
    form.SetName(name);
    form.SetScaled(false);
    form.SetBorderStyle(TFormBorderStyle::bsDialog);
    form.SetBorderIcons(biSystemMenu);
    form.SetPosition(TPosition::poScreenCenter);
    form.SetCaption(captionNumber ? std::to_string(captionNumber) : std::string());
    form.SetClientWidth(clientWidth);
    form.SetClientHeight(clientHeight);
}

void Translate(TForm& form) {
    TranslateForm(form);
    FixFormFonts(form);
}

TLabel* AddLabel(TForm& form, const std::string& name, int number, int left, int top) {
    auto* label = new TLabel(&form);
    label->SetName(name);
    label->SetParent(&form);
    label->SetAutoSize(true);
    label->SetTag(number);
    label->SetLeft(left);
    label->SetTop(top);
    return label;
}

template <typename TButtonClass>
TButtonClass* AddButton(TForm& form, const std::string& name, int number, int modalResult, TRect bounds) {
    auto* button = new TButtonClass(&form);
    button->SetName(name);
    button->SetParent(&form);
    button->SetTag(number);
    button->SetModalResult(modalResult);
    button->SetBounds(bounds.Left, bounds.Top, bounds.Right - bounds.Left, bounds.Bottom - bounds.Top);
    return button;
}

TEdit* AddEdit(TForm& form, const std::string& name, TRect bounds) {
    auto* edit = new TEdit(&form);
    edit->SetName(name);
    edit->SetParent(&form);
    edit->SetBounds(bounds.Left, bounds.Top, bounds.Right - bounds.Left, bounds.Bottom - bounds.Top);
    return edit;
}

TCheckBox* AddCheck(TForm& form, const std::string& name, int number, TRect bounds) {
    auto* check = new TCheckBox(&form);
    check->SetName(name);
    check->SetParent(&form);
    check->SetTag(number);
    check->SetBounds(bounds.Left, bounds.Top, bounds.Right - bounds.Left, bounds.Bottom - bounds.Top);
    return check;
}

TRect Box(int left, int top, int width, int height) {
    return Bounds(left, top, width, height);
}

// --- The prompts' pictures, drawn here: a sheet of paper, a floppy disk, a question ---

enum class TGlyph { gFile, gDisk, gQuestion };

TImage* AddGlyph(TForm& form, const std::string& name, TGlyph glyph, int left, int top) {
    auto* image = new TImage(&form);
    image->SetName(name);
    image->SetParent(&form);
    image->SetBounds(left, top, 32, 32);
    TBitmap& bmp = image->Picture();
    bmp.SetSize(32, 32);
    TCanvas& c = bmp.Canvas();
    c.SetBrushColor(clBtnFace);
    c.SetBrushStyle(TBrushStyle::bsSolid);
    c.FillRect(Bounds(0, 0, 32, 32));
    c.SetPenColor(clBlack);
    c.SetPenWidth(1);
    switch (glyph) {
    case TGlyph::gFile:
        c.SetBrushColor(clWhite);
        c.Rectangle(Bounds(6, 2, 20, 28));
        c.MoveTo(19, 2);
        c.LineTo(25, 8);
        for (int y = 10; y <= 24; y += 4) {
            c.MoveTo(9, y);
            c.LineTo(22, y);
        }
        break;
    case TGlyph::gDisk:
        c.SetBrushColor(clNavy);
        c.Rectangle(Bounds(3, 3, 26, 26));
        c.SetBrushColor(clSilver);
        c.Rectangle(Bounds(9, 3, 14, 9));
        c.SetBrushColor(clWhite);
        c.Rectangle(Bounds(7, 16, 18, 13));
        break;
    case TGlyph::gQuestion:
        c.SetBrushColor(clYellow);
        c.Rectangle(Bounds(2, 2, 28, 28));
        c.SetPenWidth(3);
        c.MoveTo(11, 10);
        c.LineTo(15, 7);
        c.LineTo(20, 9);
        c.LineTo(20, 14);
        c.LineTo(16, 17);
        c.LineTo(16, 20);
        c.MoveTo(16, 24);
        c.LineTo(16, 25);
        break;
    }
    image->PictureChanged();
    return image;
}

} // namespace

void SetDiskViewerOpener(TDiskViewerOpener opener) {
    diskViewerOpener = std::move(opener);
}

// --- Overwrite ----------------------------------------------------------------------------

TfrmOverwrite::TfrmOverwrite(TComponent* owner) : TForm(owner) {
    SetUpPrompt(*this, "frmOverwrite", 415, 400, 196);
    Image3 = AddGlyph(*this, "Image3", TGlyph::gQuestion, 12, 8);
    TituloLbl = AddLabel(*this, "TituloLbl", 0, 56, 14);
    TituloLbl->Font().SetStyle(fsBold);
    AddLabel(*this, "Label1", 416, 56, 40);
    Image1 = AddGlyph(*this, "Image1", TGlyph::gFile, 56, 60);
    TamanhoOriginalLbl = AddLabel(*this, "TamanhoOriginalLbl", 0, 100, 64);
    DataOriginalLbl = AddLabel(*this, "DataOriginalLbl", 0, 100, 80);
    AddLabel(*this, "Label2", 456, 56, 100);
    Image2 = AddGlyph(*this, "Image2", TGlyph::gFile, 56, 120);
    TamanhoDestinoLbl = AddLabel(*this, "TamanhoDestinoLbl", 0, 100, 124);
    DataDestinoLbl = AddLabel(*this, "DataDestinoLbl", 0, 100, 140);
    BitBtn1 = AddButton<TBitBtn>(*this, "BitBtn1", 232, mrYes, Box(12, 164, 88, 25));
    BitBtn2 = AddButton<TBitBtn>(*this, "BitBtn2", 233, mrNo, Box(106, 164, 88, 25));
    BitBtn3 = AddButton<TBitBtn>(*this, "BitBtn3", 417, mrYesToAll, Box(200, 164, 88, 25));
    BitBtn4 = AddButton<TBitBtn>(*this, "BitBtn4", 121, mrCancel, Box(294, 164, 88, 25));
    BitBtn1->SetDefault(true);
    BitBtn4->SetCancel(true);
    SetActiveControl(BitBtn1);
    OnShow = [](TComponent*) { PlaySoundRes("NOTICIA"); };
    Translate(*this);
}

int TfrmOverwrite::ShowModal() {
    SetActiveControl(BitBtn1);
    const int result = TForm::ShowModal();
    PlaySoundRes(result == mrYes || result == mrYesToAll ? "BEEP" : "CLICK");
    return result;
}

// --- Next disk ----------------------------------------------------------------------------

TFrmNovoDisco::TFrmNovoDisco(TComponent* owner) : TForm(owner) {
    SetUpPrompt(*this, "FrmNovoDisco", 234, 360, 132);
    Image1 = AddGlyph(*this, "Image1", TGlyph::gDisk, 14, 16);
    MensagemLb = AddLabel(*this, "MensagemLb", 0, 56, 12);
    MensagemLb->SetAutoSize(false);
    MensagemLb->SetWordWrap(true);
    MensagemLb->SetAlignment(TAlignment::taCenter);
    MensagemLb->SetBounds(56, 12, 290, 64);
    Button1 = AddButton<TButton>(*this, "Button1", 187, mrOk, Box(14, 96, 100, 25));
    Button2 = AddButton<TButton>(*this, "Button2", 121, mrCancel, Box(122, 96, 100, 25));
    NavegaBtn = AddButton<TButton>(*this, "NavegaBtn", 414, mrNone, Box(230, 96, 116, 25));
    Button1->SetDefault(true);
    Button2->SetCancel(true);
    NavegaBtn->OnClick = [this](TComponent*) { NavegaBtnClick(); };
    OnShow = [](TComponent*) { PlaySoundRes("NOTICIA"); };
    Translate(*this);
}

int TFrmNovoDisco::ShowModal() {
    const int result = TForm::ShowModal();
    PlaySoundRes(result == mrOk ? "BEEP" : "CLICK");
    return result;
}

void TFrmNovoDisco::NavegaBtnClick() {
    PlaySoundRes("BEEP");
    if (!platform::DriveAvailable(FPath)) {
        ShowMessageBox(LoadLangStr(652), mkError, mbOKOnly, 0, -1, -1);
        return;
    }
    SetSoundsEnabled(false);
    std::string folder = platform::DirectoryOf(FPath);
    if (folder.empty()) folder = FPath;
    if (diskViewerOpener)
        diskViewerOpener(folder, platform::DriveKindOf(FPath) == platform::DriveKind::Removable);
}

// --- Entry password -------------------------------------------------------------------------

TFrmSenha::TFrmSenha(TComponent* owner) : TForm(owner) {
    SetUpPrompt(*this, "FrmSenha", 0, 330, 100);
    Label1 = AddLabel(*this, "Label1", 424, 12, 12);
    SenhaEdit = AddEdit(*this, "SenhaEdit", Box(12, 32, 306, 21));
    SenhaEdit->SetPasswordChar('*');
    OkBtn = AddButton<TButton>(*this, "OkBtn", 187, mrOk, Box(12, 66, 96, 25));
    DescartarBtn = AddButton<TButton>(*this, "DescartarBtn", 425, mrIgnore, Box(117, 66, 96, 25));
    CancelarBtn = AddButton<TButton>(*this, "CancelarBtn", 121, mrCancel, Box(222, 66, 96, 25));
    OkBtn->SetDefault(true);
    CancelarBtn->SetCancel(true);
    Translate(*this);
    SenhaEdit->SetTextValue("");
    SetActiveControl(SenhaEdit);
}

int TFrmSenha::ShowModal() {
    const int result = TForm::ShowModal();
    PlaySoundRes(result == mrOk ? "BEEP" : "CLICK");
    return result;
}

// --- New password ---------------------------------------------------------------------------

TFrmPassword::TFrmPassword(TComponent* owner) : TForm(owner) {
    SetUpPrompt(*this, "FrmPassword", 391, 300, 138);
    SenhaLbl = AddLabel(*this, "SenhaLbl", 375, 12, 14);
    SenhaEdit = AddEdit(*this, "SenhaEdit", Box(110, 10, 178, 21));
    ConfirmacaoLbl = AddLabel(*this, "ConfirmacaoLbl", 638, 12, 44);
    ConfirmacaoEdit = AddEdit(*this, "ConfirmacaoEdit", Box(110, 40, 178, 21));
    SenhaEdit->SetPasswordChar('*');
    ConfirmacaoEdit->SetPasswordChar('*');
    MascaraChk = AddCheck(*this, "MascaraChk", 639, Box(110, 70, 178, 17));
    MascaraChk->SetChecked(true);
    MascaraChk->OnClick = [this](TComponent*) { MascaraChkClick(); };
    OkBtn = AddButton<TButton>(*this, "OkBtn", 187, mrNone, Box(110, 102, 86, 25));
    Button2 = AddButton<TButton>(*this, "Button2", 121, mrCancel, Box(202, 102, 86, 25));
    OkBtn->SetDefault(true);
    Button2->SetCancel(true);
    OkBtn->OnClick = [this](TComponent*) { OkBtnClick(); };
    Translate(*this);
    SetActiveControl(SenhaEdit);
}

void TFrmPassword::OkBtnClick() {
    if (SenhaEdit->Text() == ConfirmacaoEdit->Text()) {
        SetModalResult(mrOk);
        return;
    }
    ShowMessageBox(LoadLangStr(394) + "\n\n" + LoadLangStr(395), mkError, mbOKOnly, 0, -1, -1);
    SenhaEdit->SetTextValue("");
    ConfirmacaoEdit->SetTextValue("");
    SenhaEdit->SetFocus();
    SetActiveControl(SenhaEdit);
}

void TFrmPassword::MascaraChkClick() {
    const char shown = MascaraChk->Checked() ? '*' : '\0';
    SenhaEdit->SetPasswordChar(shown);
    ConfirmacaoEdit->SetPasswordChar(shown);
}

// --- Mask ----------------------------------------------------------------------------------

TFrmMascara::TFrmMascara(TComponent* owner) : TForm(owner) {
    SetUpPrompt(*this, "FrmMascara", 412, 280, 104);
    MascaraLbl = AddLabel(*this, "MascaraLbl", 411, 12, 14);
    MascaraEdit = AddEdit(*this, "MascaraEdit", Box(80, 10, 188, 21));
    SubPastasChk = AddCheck(*this, "SubPastasChk", 413, Box(80, 40, 188, 17));
    SubPastasChk->SetChecked(true);
    BitBtn1 = AddButton<TBitBtn>(*this, "BitBtn1", 187, mrOk, Box(80, 68, 90, 25));
    BitBtn2 = AddButton<TBitBtn>(*this, "BitBtn2", 121, mrCancel, Box(178, 68, 90, 25));
    BitBtn1->SetDefault(true);
    BitBtn2->SetCancel(true);
    Translate(*this);
    SetActiveControl(MascaraEdit);
}

int TFrmMascara::ShowModal() {
    const int result = TForm::ShowModal();
    PlaySoundRes(result == mrOk ? "BEEP" : "CLICK");
    return result;
}

// --- Associations ---------------------------------------------------------------------------

TFrmAssociacao::TFrmAssociacao(TComponent* owner) : TForm(owner) {
    SetUpPrompt(*this, "FrmAssociacao", 234, 380, 150);
    AddGlyph(*this, "Image1", TGlyph::gQuestion, 12, 12);
    Label1 = AddLabel(*this, "Label1", 229, 56, 10);
    Label1->SetAutoSize(false);
    Label1->SetWordWrap(true);
    Label1->SetBounds(56, 10, 312, 56);
    Label2 = AddLabel(*this, "Label2", 230, 56, 72);
    Button1 = AddButton<TButton>(*this, "Button1", 232, mrYes, Box(56, 112, 96, 25));
    Button2 = AddButton<TButton>(*this, "Button2", 233, mrCancel, Box(160, 112, 96, 25));
    NaoAvisarChk = AddCheck(*this, "NaoAvisarChk", 231, Box(56, 90, 312, 17));
    Button1->SetDefault(true);
    Button2->SetCancel(true);
    Application->ProcessMessages();
    OnShow = [](TComponent*) {
        if (Application) Application->ProcessMessages();
    };
    Translate(*this);
}

int ShowNextDiskPrompt(const std::string& message, const std::string& archivePath) {
    auto form = std::make_unique<TFrmNovoDisco>(nullptr);
    form->MensagemLb->SetCaption(message);
    form->SetPath(archivePath);
    return form->ShowModal();
}

int ShowAssociationPrompt(bool& dontAskAgain) {
    auto form = std::make_unique<TFrmAssociacao>(nullptr);
    const int result = form->ShowModal();
    dontAskAgain = form->NaoAvisarChk->Checked();
    return result;
}

} // namespace mv
