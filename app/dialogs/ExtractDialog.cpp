#include "app/dialogs/ExtractDialog.h"

#include "app/common/LangStr.h"
#include "app/common/MessageBox.h"
#include "app/common/Sounds.h"
#include "app/common/StrUtils.h"
#include "app/dialogs/ShellBrowseParts.h"
#include "app/settings/Options.h"
#include "controls/shell/ShellList.h"
#include "controls/shell/ShellTree.h"
#include "controls/toolkit/files/TypeAheadCombo.h"
#include "controls/toolkit/placement/FormPlacement.h"
#include "platform/AppPaths.h"
#include "platform/FileOps.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/ui/StdControls.h"

#include <algorithm>
#include <memory>

namespace mv {
namespace {

constexpr int DefaultTreeWidth = 169;
constexpr int ButtonSize = 23;

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::string WithSeparator(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder.push_back('/');
    return folder;
}

TSpeedButton* AddSpeedButton(TForm& form, const std::string& name, int hint, const std::string& symbol) {
    auto* button = new TSpeedButton(&form);
    button->SetName(name);
    button->SetParent(&form);
    button->SetHint(std::to_string(hint));
    button->SetFlat(true);
    button->SetCaption(symbol);
    return button;
}

} // namespace

TfrmExtract::TfrmExtract(TComponent* owner, const std::string& iniFileName)
    : TForm(owner), FIniFileName(iniFileName.empty() ? platform::IniFilePath() : iniFileName) {
    SetName("frmExtract");
    SetScaled(false);
    SetBorderStyle(TFormBorderStyle::bsSizeable);
    SetPosition(TPosition::poScreenCenter);
    SetCaption("410");
    SetShowHint(true);

    DestinoCb = new TTypeAheadCombo(this);
    DestinoCb->SetName("DestinoCb");
    DestinoCb->SetParent(this);
    DestinoCb->SetCharCase(TEditCharCase::ecNormal);
    DestinoCb->SetMinLengthComplete(1);
    DestinoCb->SetDropDownCount(ExtractHistorySize);

    VaiBtn = AddSpeedButton(*this, "VaiBtn", 397, "");
    ParentButton = AddSpeedButton(*this, "ParentButton", 154, "");
    NovaPastaBtn = AddSpeedButton(*this, "NovaPastaBtn", 156, "");
    ArvoreBtn = AddSpeedButton(*this, "ArvoreBtn", 155, "");
    ArvoreBtn->SetGroupIndex(1);
    ArvoreBtn->SetAllowAllUp(true);
    SpeedButton1 = AddSpeedButton(*this, "SpeedButton1", 157, "");
    SpeedButton2 = AddSpeedButton(*this, "SpeedButton2", 158, "");
    SpeedButton3 = AddSpeedButton(*this, "SpeedButton3", 159, "");
    SpeedButton4 = AddSpeedButton(*this, "SpeedButton4", 160, "");
    BindViewStyleButtons({SpeedButton1, SpeedButton2, SpeedButton3, SpeedButton4},
                         [this](int style) { SetViewStyle(style); });

    AddShellBrowser(*this, ArvoreTv, Splitter1, ArquivosLv);

    ArquivosRg = new TRadioGroup(this);
    ArquivosRg->SetName("ArquivosRg");
    ArquivosRg->SetParent(this);
    ArquivosRg->SetTag(398);
    ArquivosRg->Items().Add("399");
    ArquivosRg->Items().Add("400");
    ArquivosRg->SetItemIndex(1);

    UsaPastaChk = new TCheckBox(this);
    UsaPastaChk->SetName("UsaPastaChk");
    UsaPastaChk->SetParent(this);
    UsaPastaChk->SetTag(401);
    UsaPastaChk->SetChecked(true);

    ExtrairRg = new TGroupBox(this);
    ExtrairRg->SetName("ExtrairRg");
    ExtrairRg->SetParent(this);
    ExtrairRg->SetTag(402);
    auto addRadio = [this](const std::string& name, int number) {
        auto* radio = new TRadioButton(this);
        radio->SetName(name);
        radio->SetParent(ExtrairRg);
        radio->SetTag(number);
        radio->OnClick = [](TComponent*) { PlaySoundRes("CLEK"); };
        return radio;
    };
    SelecionadosRb = addRadio("SelecionadosRb", 403);
    TodosRb = addRadio("TodosRb", 404);
    MascaraRb = addRadio("MascaraRb", 405);
    MascaraEdit = new TEdit(this);
    MascaraEdit->SetName("MascaraEdit");
    MascaraEdit->SetParent(ExtrairRg);
    ExemploLbl = new TLabel(this);
    ExemploLbl->SetName("ExemploLbl");
    ExemploLbl->SetParent(ExtrairRg);
    ExemploLbl->SetAutoSize(true);
    TodosRb->SetChecked(true);

    ExtrairBtn = new TBitBtn(this);
    ExtrairBtn->SetName("ExtrairBtn");
    ExtrairBtn->SetParent(this);
    ExtrairBtn->SetTag(3);
    ExtrairBtn->SetHint("406");
    ExtrairBtn->SetDefault(true);
    BitBtn2 = new TBitBtn(this);
    BitBtn2->SetName("BitBtn2");
    BitBtn2->SetParent(this);
    BitBtn2->SetTag(121);
    BitBtn2->SetModalResult(mrCancel);
    BitBtn2->SetCancel(true);

    FormPlacement = new TFormPlacement(this);
    FormPlacement->SetName("FormPlacement");

    // 1. texts and fonts
    TranslateForm(*this);
    FixFormFonts(*this);
    VaiBtn->SetCaption("\u2192");
    ParentButton->SetCaption("\u2191");
    NovaPastaBtn->SetCaption("+");
    ArvoreBtn->SetCaption("\u2261");
    SpeedButton1->SetCaption("\u25A0");
    SpeedButton2->SetCaption("\u25AA");
    SpeedButton3->SetCaption("\u25AC");
    SpeedButton4->SetCaption("\u25D8");
    ExemploLbl->SetCaption("Ex.: *.txt");
    Splitter1->SetCaption("");

    // 2. size by the screen
    if (ScreenWidth() > 700) {
        SetClientWidth(724);
        SetClientHeight(535);
    } else {
        SetClientWidth(567);
        SetClientHeight(424);
    }
    // 3. placement and an empty history
    FormPlacement->SetIniFileName(FIniFileName);
    FormPlacement->SetIniSection(ExtractFormSection);
    DestinoCb->Items().Clear();
    // 4. and 5. the form's settings and the history
    ReadSettings();

    VaiBtn->OnClick = [this](TComponent*) { VaiBtnClick(); };
    ParentButton->OnClick = [this](TComponent*) { ParentButtonClick(); };
    NovaPastaBtn->OnClick = [this](TComponent*) { NovaPastaBtnClick(); };
    // The folder list moved: its folder becomes the destination.
    ArquivosLv->OnFolderChanged = [this](TComponent*) {
        const std::string folder = ListFolder();
        if (!folder.empty()) DestinoCb->SetTextValue(WithSeparator(folder));
    };
    ArquivosLv->OnClick = [](TComponent*) { PlaySoundRes("CLEK"); };
    ArvoreTv->OnClick = [](TComponent*) { PlaySoundRes("CLEK"); };
    ArvoreBtn->OnClick = [this](TComponent*) { ArvoreBtnClick(); };
    ExtrairBtn->OnClick = [this](TComponent*) { ExtrairBtnClick(); };
    UsaPastaChk->OnClick = [](TComponent*) { PlaySoundRes("CLEK"); };
    ArquivosRg->OnClick = [](TComponent*) { PlaySoundRes("CLEK"); };
    OnShow = [this](TComponent*) {
        SetSoundsEnabled(true);
        DestinoCb->SetTextValue(SelectedFolder());
        DestinoCb->SetEditSel(0, -1);
        SetActiveControl(DestinoCb);
    };
    OnClose = [this](TComponent*, TCloseAction&) {
        PlaySoundRes(ModalResult() == mrOk ? "BEEP" : "CLICK");
        WriteSettings();
    };
    Layout();
}

TfrmExtract::~TfrmExtract() = default;

void TfrmExtract::Resized() {
    TForm::Resized();
    if (BitBtn2) Layout();
}

int TfrmExtract::TreeWidth() const {
    return FTreeWidth;
}

std::string TfrmExtract::SelectedFolder() const {
    const std::string folder = ArvoreTv->GetSelectedPath();
    return folder.empty() ? std::string() : WithSeparator(folder);
}

void TfrmExtract::SelectFolder(const std::string& folder) {
    if (folder.empty()) return;
    std::string path = folder;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    ArvoreTv->SetPath(path);
    ArvoreTv->FlushPendingSync(true);
}

std::string TfrmExtract::ListFolder() const {
    return ArquivosLv->Folder().GetPath();
}

void TfrmExtract::Layout() {
    const int w = ClientWidth(), h = ClientHeight();
    const int margin = 8;
    // the destination row: the combo, then the buttons
    int x = w - margin - 8 * ButtonSize - 8;
    DestinoCb->SetBounds(margin, margin, x - 2 * margin, 22);
    for (TSpeedButton* b : {VaiBtn, ParentButton, NovaPastaBtn, ArvoreBtn}) {
        b->SetBounds(x, margin, ButtonSize, 22);
        x += ButtonSize;
    }
    x += 8;
    for (TSpeedButton* b : {SpeedButton1, SpeedButton2, SpeedButton3, SpeedButton4}) {
        b->SetBounds(x, margin, ButtonSize, 22);
        x += ButtonSize;
    }
    // the options at the bottom
    const int optionsHeight = 118;
    const int optionsTop = h - margin - optionsHeight;
    const int left = (w - 3 * margin) / 2;
    ArquivosRg->SetBounds(margin, optionsTop, left, 64);
    UsaPastaChk->SetBounds(margin + 4, optionsTop + 72, left - 4, 20);
    ExtrairRg->SetBounds(2 * margin + left, optionsTop, w - 3 * margin - left, 88);
    const int groupWidth = ExtrairRg->Width();
    SelecionadosRb->SetBounds(10, 18, groupWidth - 20, 20);
    TodosRb->SetBounds(10, 40, groupWidth - 20, 20);
    MascaraRb->SetBounds(10, 62, 90, 20);
    MascaraEdit->SetBounds(104, 61, 100, 21);
    ExemploLbl->SetBounds(212, 64, groupWidth - 220, 16);
    ExtrairBtn->SetBounds(w - margin - 2 * 96 - 6, h - margin - 25, 96, 25);
    BitBtn2->SetBounds(w - margin - 96, h - margin - 25, 96, 25);
    // the folder tree and the folder list between them
    const int top = margin + 22 + 6;
    const int paneHeight = optionsTop - margin - top;
    const bool tree = ArvoreBtn->Down();
    const int treeWidth = tree ? std::min(FTreeWidth, w / 2) : 0;
    if (tree) ArvoreTv->SetBounds(margin, top, treeWidth, paneHeight);
    ArvoreTv->SetVisible(tree);
    const int splitter = tree ? 10 : 0;
    Splitter1->SetBounds(margin + treeWidth, top, splitter, paneHeight);
    Splitter1->SetVisible(tree);
    const int listLeft = margin + treeWidth + splitter;
    ArquivosLv->SetBounds(listLeft, top, w - margin - listLeft, paneHeight);
}

void TfrmExtract::ApplyTreeVisibility() {
    Layout();
}

void TfrmExtract::SetViewStyle(int style) {
    FViewStyle = std::clamp(style, 0, 3);
    TSpeedButton* buttons[] = {SpeedButton1, SpeedButton2, SpeedButton3, SpeedButton4};
    buttons[FViewStyle]->SetDown(true);
}

void TfrmExtract::ReadSettings() {
    platform::IniFile ini(FIniFileName);
    const int treeWidth = static_cast<int>(ini.ReadInteger(ExtractFormSection, "Largura Arvore", DefaultTreeWidth));
    FTreeWidth = treeWidth > 0 ? treeWidth : DefaultTreeWidth;
    ArvoreBtn->SetDown(SimNaoToBool(ini.ReadString(ExtractFormSection, "Arvore", "S")));
    const int style = static_cast<int>(ini.ReadInteger(ExtractFormSection, "Estilo", 4));
    SetViewStyle((style >= 1 && style <= 4 ? style : 4) - 1);
    ApplyTreeVisibility();
    for (int i = 1; i <= ExtractHistorySize; ++i)
        DestinoCb->Items().Add(ini.ReadString(ExtractHistorySection, "Diretorio" + std::to_string(i), ""));
}

void TfrmExtract::WriteSettings() {
    try {
        platform::IniFile ini(FIniFileName);
        ini.WriteInteger(ExtractFormSection, "Largura Arvore", FTreeWidth);
        ini.WriteString(ExtractFormSection, "Arvore", ArvoreBtn->Down() ? "SIM" : "NAO");
        ini.WriteInteger(ExtractFormSection, "Estilo", FViewStyle + 1);
    } catch (const std::exception&) {
        // the settings file cannot be written: the dialog's look is not kept
    }
}

void TfrmExtract::SaveHistory() {
    const std::string destination = TrimText(DestinoCb->Text());
    const std::string key = Upper(destination);
    for (int i = 0; i < DestinoCb->Items().Count() && i < ExtractHistorySize; ++i)
        if (Upper(DestinoCb->Items()[i]) == key) return;
    try {
        platform::IniFile ini(FIniFileName);
        ini.WriteString(ExtractHistorySection, "Diretorio1", destination);
        for (int i = 2; i <= ExtractHistorySize; ++i) {
            const int item = i - 2;
            ini.WriteString(ExtractHistorySection, "Diretorio" + std::to_string(i),
                            item < DestinoCb->Items().Count() ? DestinoCb->Items()[item] : std::string());
        }
    } catch (const std::exception&) {
        // the history is not kept; the extraction goes on
    }
}

bool TfrmExtract::OfferToCreate(const std::string& folder) {
    const std::string question = folder + " " + LoadLangStr(407) + "\n\n" + LoadLangStr(408);
    if (ShowMessageBox(question, mkQuestion, mbYesNo, 0, -1, -1) != mrYes) {
        DestinoCb->SetFocus();
        return false;
    }
    try {
        platform::ForceDirectories(folder);
    } catch (const std::exception&) {
    }
    if (platform::IsDirectory(folder)) return true;
    ShowMessageBox(LoadLangStr(409), mkInformation, mbOKOnly, 0, -1, -1);
    return false;
}

void TfrmExtract::ExtrairBtnClick() {
    PlaySoundRes("CLEK");
    std::string destination = TrimText(DestinoCb->Text());
    DestinoCb->SetTextValue(destination);
    if (destination.empty()) return;
    destination = WithSeparator(destination);
    DestinoCb->SetTextValue(destination);
    if (platform::IsDirectory(destination)) {
        SelectFolder(destination);
        SaveHistory();
        SetModalResult(mrOk);
        return;
    }
    // A folder made here is extracted to by a second press.
    OfferToCreate(destination);
}

void TfrmExtract::GoToFolder(const std::string& folder) {
    SelectFolder(folder);
    DestinoCb->SetTextValue(WithSeparator(folder));
}

void TfrmExtract::VaiBtnClick() {
    PlaySoundRes("CLEK");
    const std::string folder = TrimText(DestinoCb->Text());
    if (folder.empty()) return;
    if (platform::IsDirectory(folder) || OfferToCreate(WithSeparator(folder))) GoToFolder(folder);
}

void TfrmExtract::ParentButtonClick() {
    PlaySoundRes("CLEK");
    std::string folder = ListFolder();
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    if (folder.empty()) return;
    const std::string parent = platform::DirectoryOf(folder);
    if (!parent.empty()) GoToFolder(parent);
}

void TfrmExtract::NovaPastaBtnClick() {
    PlaySoundRes("CLEK");
    ArquivosLv->CreateNewFolder(true);
}

void TfrmExtract::ArvoreBtnClick() {
    PlaySoundRes("CLEK");
    ApplyTreeVisibility();
}

bool ShowExtractDialog(TExtractChoice& choice, const std::string& iniFileName) {
    auto form = std::make_unique<TfrmExtract>(nullptr, iniFileName);
    const bool available = !choice.Folder.empty() && platform::IsDirectory(choice.Folder);
    form->SelectFolder(available ? WithSeparator(choice.Folder) : std::string());
    form->UsaPastaChk->SetChecked(choice.StoredFolders);
    form->ArquivosRg->SetItemIndex(1);
    form->SelecionadosRb->SetEnabled(choice.Selected);
    if (choice.Selected)
        form->SelecionadosRb->SetChecked(true);
    else
        form->TodosRb->SetChecked(true);
    if (form->ShowModal() != mrOk) return false;
    choice.Folder = form->DestinoCb->Text();
    choice.OverwriteMode = form->ArquivosRg->ItemIndex() == 0 ? 5 : 7;
    choice.Selected = form->SelecionadosRb->Checked();
    if (form->MascaraRb->Checked())
        choice.Mask = TrimText(form->MascaraEdit->Text());
    else
        choice.Mask = "*";
    choice.StoredFolders = form->UsaPastaChk->Checked();
    return true;
}

} // namespace mv
