#include "app/dialogs/AddDialog.h"

#include "app/common/LangStr.h"
#include "app/common/MessageBox.h"
#include "app/common/SfxPlaceholders.h"
#include "app/common/Sounds.h"
#include "app/common/StrUtils.h"
#include "app/dialogs/SmallPrompts.h"
#include "app/mainwindow/ArchiveList.h"
#include "controls/shell/ShellCombo.h"
#include "controls/shell/ShellData.h"
#include "controls/shell/ShellList.h"
#include "controls/shell/dialogs/MvOpenDlg.h"
#include "controls/toolkit/checklist/CheckListBox.h"
#include "controls/toolkit/files/TreeScanner.h"
#include "controls/toolkit/placement/FormPlacement.h"
#include "platform/AppPaths.h"
#include "platform/DriveInfo.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/ui/ListView.h"
#include "platform/ui/StdControls.h"

#include <algorithm>
#include <memory>

namespace mv {
namespace {

constexpr int ButtonSize = 23;
constexpr TColor GreyCaption = 8421504;

// The texts of the method lists, by type; a number is a string of the tables.
struct TMethodList {
    std::vector<std::string> Items;
    std::string Default;
    bool MultiDisk;
    bool Password;
};

std::string Text(int number) {
    return LoadLangStr(number);
}

TMethodList MethodsOf(TAddArchiveKind kind) {
    switch (kind) {
    case TAddArchiveKind::akZip:
        return {{Text(74), Text(635), Text(637), Text(636)}, Text(637), true, true};
    case TAddArchiveKind::akLha:
        return {{Text(74), "Frozen1", "Frozen5"}, "Frozen5", false, false};
    case TAddArchiveKind::akCab:
        return {{Text(74), "MsZip", "Quantum", "Lzx"}, "MsZip", false, false};
    case TAddArchiveKind::akBh:
        return {{Text(635), Text(637), Text(636)}, Text(637), false, true};
    case TAddArchiveKind::akGZip:
        return {{Text(635), Text(637), Text(636)}, Text(637), false, false};
    case TAddArchiveKind::akTar:
        return {{"Tarred", "GzipTar"}, "Tarred", false, false};
    case TAddArchiveKind::akJar:
        return {{Text(635), Text(637), Text(636)}, Text(637), false, true};
    }
    return {};
}

std::string WithSeparator(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder.push_back('/');
    return folder;
}

TSpeedButton* AddSpeedButton(TWinControl& parent, TForm& form, const std::string& name, int hint,
                             const std::string& symbol) {
    auto* button = new TSpeedButton(&form);
    button->SetName(name);
    button->SetParent(&parent);
    if (hint) button->SetHint(std::to_string(hint));
    button->SetCaption(symbol);
    return button;
}

template <class T> T* AddControl(TWinControl& parent, TForm& form, const std::string& name, int tag = 0) {
    auto* control = new T(&form);
    control->SetName(name);
    control->SetParent(&parent);
    if (tag) control->SetTag(tag);
    return control;
}

// A padlock, open or shut, on the button's face colour.
void DrawPadlockGlyph(TBitmap& bmp, bool shut) {
    bmp.SetSize(24, 24);
    TCanvas& c = bmp.Canvas();
    c.SetBrushColor(clBtnFace);
    c.SetBrushStyle(TBrushStyle::bsSolid);
    c.FillRect(Bounds(0, 0, 24, 24));
    c.SetPenColor(clBlack);
    c.SetPenWidth(2);
    // the shackle: shut, both legs reach the body; open, the right leg stands up
    c.MoveTo(8, 12);
    c.LineTo(8, 6);
    c.LineTo(10, 3);
    c.LineTo(14, 3);
    c.LineTo(16, 6);
    c.LineTo(16, shut ? 12 : 8);
    if (!shut) {
        // drawn again lifted: the shackle out of the body
        c.SetPenColor(clBtnFace);
        c.MoveTo(16, 8);
        c.LineTo(16, 12);
        c.SetPenColor(clBlack);
    }
    c.SetPenWidth(1);
    c.SetBrushColor(shut ? clYellow : clSilver);
    c.Rectangle(Bounds(5, 11, 14, 11));
    c.SetBrushColor(clBlack);
    c.Rectangle(Bounds(11, 14, 2, 5));
}

} // namespace

std::string AddKindExtension(TAddArchiveKind kind) {
    switch (kind) {
    case TAddArchiveKind::akZip:
        return ".zip";
    case TAddArchiveKind::akLha:
        return ".lha";
    case TAddArchiveKind::akBh:
        return ".bh";
    case TAddArchiveKind::akCab:
        return ".cab";
    case TAddArchiveKind::akGZip:
        return ".gz";
    case TAddArchiveKind::akTar:
        return ".tar";
    case TAddArchiveKind::akJar:
        return ".jar";
    }
    return ".zip";
}

TfrmAddFiles::TfrmAddFiles(TComponent* owner, const std::string& iniFileName)
    : TForm(owner), FIniFileName(iniFileName.empty() ? platform::IniFilePath() : iniFileName) {
    SetName("frmAddFiles");
    SetScaled(false);
    SetBorderStyle(TFormBorderStyle::bsSizeable);
    SetPosition(TPosition::poScreenCenter);
    SetHelpContext(1010);
    SetShowHint(true);

    MvShellCombo1 = AddControl<TMvShellCombo>(*this, *this, "MvShellCombo1");
    ParentButton = AddSpeedButton(*this, *this, "ParentButton", 154, "\u2191");
    CheckBoxBtn = AddSpeedButton(*this, *this, "CheckBoxBtn", 228, "\u2611");
    CheckBoxBtn->SetGroupIndex(3);
    CheckBoxBtn->SetAllowAllUp(true);
    SpeedButton1 = AddSpeedButton(*this, *this, "SpeedButton1", 157, "\u25A0");
    SpeedButton2 = AddSpeedButton(*this, *this, "SpeedButton2", 158, "\u25AA");
    SpeedButton3 = AddSpeedButton(*this, *this, "SpeedButton3", 159, "\u25AC");
    SpeedButton4 = AddSpeedButton(*this, *this, "SpeedButton4", 160, "\u25D8");
    int tag = 0;
    for (TSpeedButton* b : {SpeedButton1, SpeedButton2, SpeedButton3, SpeedButton4}) {
        b->SetGroupIndex(2);
        b->SetTag(tag++);
        b->OnClick = [](TComponent*) { PlaySoundRes("CLEK"); };
    }
    SpeedButton4->SetDown(true);

    ArquivosLv = AddControl<TMvShellList>(*this, *this, "ArquivosLv");
    ArquivosLv->SetMultiSelect(true);
    ArquivosLv->SetFileFilter("*.*");
    ArquivosLv->SetOptions(ArquivosLv->Options() | PTSLO(ptsloShowHidden) | PTSLO(ptsloDynamicRefresh) |
                           PTSLO(ptsloOleDrag));
    MvShellCombo1->SetShellList(ArquivosLv);

    btnAddDir = AddControl<TButton>(*this, *this, "btnAddDir", 2);
    btnAddDir->SetHint("361");
    RemoverItemBtn = AddControl<TButton>(*this, *this, "RemoverItemBtn", 362);
    RemoverItemBtn->SetHint("363");

    AdicionadosLb = AddControl<TMvCheckListBox>(*this, *this, "AdicionadosLb");
    AdicionadosLb->SetCheckKind(TCheckKind::ckCheckMarks);
    AdicionadosLb->SetAllowGrayed(true);
    AdicionadosLb->SetHint("364");

    Label1 = AddControl<TLabel>(*this, *this, "Label1", 365);
    Label2 = AddControl<TLabel>(*this, *this, "Label2", 366);
    Label3 = AddControl<TLabel>(*this, *this, "Label3", 367);
    ArquivosLB = AddControl<TLabel>(*this, *this, "ArquivosLB");
    PastasLb = AddControl<TLabel>(*this, *this, "PastasLb");
    TamanhoLb = AddControl<TLabel>(*this, *this, "TamanhoLb");
    CompactadosLb = AddControl<TLabel>(*this, *this, "CompactadosLb");

    GroupBox1 = AddControl<TGroupBox>(*this, *this, "GroupBox1", 368);
    rbZip = AddControl<TRadioButton>(*GroupBox1, *this, "rbZip", 384);
    rbLha = AddControl<TRadioButton>(*GroupBox1, *this, "rbLha", 385);
    rbBh = AddControl<TRadioButton>(*GroupBox1, *this, "rbBh", 386);
    rbCab = AddControl<TRadioButton>(*GroupBox1, *this, "rbCab", 387);
    RbGnu = AddControl<TRadioButton>(*GroupBox1, *this, "RbGnu", 388);
    RbTar = AddControl<TRadioButton>(*GroupBox1, *this, "RbTar", 389);
    RbJar = AddControl<TRadioButton>(*GroupBox1, *this, "RbJar", 390);

    MetodoLbl = AddControl<TLabel>(*this, *this, "MetodoLbl", 374);
    MetodoCb = AddControl<TComboBox>(*this, *this, "MetodoCb");
    MetodoCb->SetStyle(TComboBoxStyle::csDropDownList);
    AcaoLbl = AddControl<TLabel>(*this, *this, "AcaoLbl", 650);
    AcaoCb = AddControl<TComboBox>(*this, *this, "AcaoCb");
    AcaoCb->SetStyle(TComboBoxStyle::csDropDownList);

    GroupBox2 = AddControl<TGroupBox>(*this, *this, "GroupBox2", 377);
    ckbArchive = AddControl<TCheckBox>(*GroupBox2, *this, "ckbArchive", 378);
    ckbReadOnly = AddControl<TCheckBox>(*GroupBox2, *this, "ckbReadOnly", 379);
    ckbHidden = AddControl<TCheckBox>(*GroupBox2, *this, "ckbHidden", 381);
    ckbSysFile = AddControl<TCheckBox>(*GroupBox2, *this, "ckbSysFile", 382);
    for (TCheckBox* box : {ckbArchive, ckbReadOnly, ckbHidden, ckbSysFile}) {
        box->SetChecked(true);
        box->OnClick = [](TComponent*) { PlaySoundRes("CLEK"); };
    }

    MultiDiscosGB = AddControl<TGroupBox>(*this, *this, "MultiDiscosGB", 615);
    MultiDiscosCb = AddControl<TComboBox>(*MultiDiscosGB, *this, "MultiDiscosCb");
    MultiDiscosCb->SetStyle(TComboBoxStyle::csDropDownList);
    Label6 = AddControl<TLabel>(*MultiDiscosGB, *this, "Label6", 616);
    BytesEdit = AddControl<TEdit>(*MultiDiscosGB, *this, "BytesEdit");

    GroupBox3 = AddControl<TGroupBox>(*this, *this, "GroupBox3", 643);
    NaoGravarRb = AddControl<TRadioButton>(*GroupBox3, *this, "NaoGravarRb", 644);
    GravarCaminhoRelativoRb = AddControl<TRadioButton>(*GroupBox3, *this, "GravarCaminhoRelativoRb", 645);
    GravarCaminhoCompletoRb = AddControl<TRadioButton>(*GroupBox3, *this, "GravarCaminhoCompletoRb", 646);
    CaminhoLbl = AddControl<TLabel>(*GroupBox3, *this, "CaminhoLbl", 647);
    CaminhoEdit = AddControl<TEdit>(*GroupBox3, *this, "CaminhoEdit");

    BtnPassword = AddControl<TBitBtn>(*this, *this, "BtnPassword");
    BtnPassword->SetHint("260");
    CadeadoAbertoImage = AddControl<TImage>(*this, *this, "CadeadoAbertoImage");
    CadeadoFechadoImage = AddControl<TImage>(*this, *this, "CadeadoFechadoImage");
    DrawPadlockGlyph(CadeadoAbertoImage->Picture(), false);
    DrawPadlockGlyph(CadeadoFechadoImage->Picture(), true);
    CadeadoAbertoImage->PictureChanged();
    CadeadoFechadoImage->PictureChanged();
    CadeadoAbertoImage->SetVisible(false);
    CadeadoFechadoImage->SetVisible(false);

    ArquivosPanel = AddControl<TPanel>(*this, *this, "ArquivosPanel");
    ArquivosPanel->SetBevelOuter(TBevelCut::bvNone);
    DestinoLbl = AddControl<TLabel>(*ArquivosPanel, *this, "DestinoLbl", 322);
    DestinoEdit = AddControl<TEdit>(*ArquivosPanel, *this, "DestinoEdit");
    DialogBtn = AddSpeedButton(*ArquivosPanel, *this, "DialogBtn", 0, "...");

    btnOK = AddControl<TBitBtn>(*this, *this, "btnOK", 594);
    btnOK->SetHint("383");
    btnOK->SetDefault(true);
    btnOK->SetEnabled(false);
    CancelarBtn = AddControl<TBitBtn>(*this, *this, "CancelarBtn", 121);
    CancelarBtn->SetModalResult(mrCancel);
    CancelarBtn->SetCancel(true);

    FormPlacement = new TFormPlacement(this);
    FormPlacement->SetName("FormPlacement");

    // texts, fonts and the size by the screen
    TranslateForm(*this);
    FixFormFonts(*this);
    SetCaption(LoadLangStr(648));
    ArquivosPanel->SetCaption("");
    ParentButton->SetCaption("\u2191");
    CheckBoxBtn->SetCaption("\u2713");
    SpeedButton1->SetCaption("\u25A0");
    SpeedButton2->SetCaption("\u25AA");
    SpeedButton3->SetCaption("\u25AC");
    SpeedButton4->SetCaption("\u25D8");
    DialogBtn->SetCaption("...");
    BytesEdit->SetTextValue("1457600");
    if (ScreenWidth() > 700) {
        SetClientWidth(741);
        SetClientHeight(528);
        FListWidth = 424;
    } else {
        SetClientWidth(620);
        SetClientHeight(528);
        FListWidth = 300;
    }
    FormPlacement->SetIniFileName(FIniFileName);
    FormPlacement->SetIniSection(AddFormSection);
    ReadSettings();
    AcaoCb->Items().Clear();
    AcaoCb->Items().Add(LoadLangStr(648));
    AcaoCb->Items().Add(LoadLangStr(649));
    AcaoCb->SetItemIndex(0);
    GravarCaminhoRelativoRb->SetChecked(true);
    ArquivosPanel->SetVisible(false);
    DrawPadlock();

    // events
    ParentButton->OnClick = [this](TComponent*) {
        PlaySoundRes("CLEK");
        ArquivosLv->GoUp(1);
    };
    CheckBoxBtn->OnClick = [this](TComponent*) { CheckBoxBtnClick(); };
    btnAddDir->OnClick = [this](TComponent*) { btnAddDirClick(); };
    RemoverItemBtn->OnClick = [this](TComponent*) { RemoverItemBtnClick(); };
    ArquivosLv->OnClick = [this](TComponent*) {
        PlaySoundRes("CLEK");
        if (!CheckBoxBtn->Down()) return;
        // check mode: a click on an item marks it or takes its mark away
        const int row = ArquivosLv->ItemFocused();
        if (row >= 0) SetListItemChecked(row, !ListItemChecked(row));
    };
    // A double click on a file adds it; on a folder the list opens it.
    ArquivosLv->OnDblClickOpen = [this](TComponent*, bool& handled) {
        TMvShListData* data = ArquivosLv->GetSelectedData();
        if (!data || data->IsFolder()) return;
        handled = true;
        btnAddDirClick();
    };
    AdicionadosLb->OnClick = [](TComponent*) { PlaySoundRes("CLEK"); };
    AdicionadosLb->OnStateChange = [this](TComponent*, int index) { SpecStateChanged(index); };
    const std::pair<TRadioButton*, TAddArchiveKind> radios[] = {
        {rbZip, TAddArchiveKind::akZip}, {rbLha, TAddArchiveKind::akLha},   {rbBh, TAddArchiveKind::akBh},
        {rbCab, TAddArchiveKind::akCab}, {RbGnu, TAddArchiveKind::akGZip}, {RbTar, TAddArchiveKind::akTar},
        {RbJar, TAddArchiveKind::akJar}};
    for (const auto& [radio, kind] : radios) {
        const TAddArchiveKind k = kind;
        radio->OnClick = [this, k](TComponent*) { TypeClick(k); };
    }
    MetodoCb->OnChange = [](TComponent*) { PlaySoundRes("CLEK"); };
    MultiDiscosCb->OnChange = [this](TComponent*) {
        const bool parts = MultiDiscosCb->Text() == LoadLangStr(614);
        Label6->SetEnabled(parts);
        BytesEdit->SetEnabled(parts);
    };
    DestinoEdit->OnChange = [this](TComponent*) { DestinoEditChange(); };
    DialogBtn->OnClick = [this](TComponent*) { DialogBtnClick(); };
    BtnPassword->OnClick = [this](TComponent*) { BtnPasswordClick(); };
    btnOK->OnClick = [this](TComponent*) { btnOKClick(); };
    OnShow = [this](TComponent*) {
        SetSoundsEnabled(true);
        // shown with items: they are counted now
        if (AdicionadosLb->Items().Count() > 0) {
            ScanFileSpecs(true, 0);
            UpdateOkButton();
        }
    };
    OnClose = [this](TComponent*, TCloseAction&) {
        WriteSettings();
        PlaySoundRes(ModalResult() == mrOk ? "BEEP" : "CLICK");
    };
    rbZip->SetChecked(true);
    TypeClick(TAddArchiveKind::akZip);
    Layout();
}

TfrmAddFiles::~TfrmAddFiles() = default;

void TfrmAddFiles::Resized() {
    TForm::Resized();
    if (FormPlacement) Layout();
}

void TfrmAddFiles::Layout() {
    const int w = ClientWidth(), h = ClientHeight();
    const int m = 8;
    const int listWidth = std::clamp(FListWidth, 120, std::max(120, w - 300));
    // the folder row and the folder list
    int x = m + listWidth - 6 * ButtonSize;
    MvShellCombo1->SetBounds(m, m, x - m - 4, 22);
    for (TSpeedButton* b : {ParentButton, CheckBoxBtn, SpeedButton1, SpeedButton2, SpeedButton3, SpeedButton4}) {
        b->SetBounds(x, m, ButtonSize, 22);
        x += ButtonSize;
    }
    const int top = m + 28;
    const int lowerTop = h - 256;
    ArquivosLv->SetBounds(m, top, listWidth, lowerTop - top - 6);
    // the buttons between the lists, the specifications and their totals
    const int middle = m + listWidth + 6;
    btnAddDir->SetBounds(middle, top + 40, 88, 25);
    RemoverItemBtn->SetBounds(middle, top + 72, 88, 25);
    const int right = middle + 94;
    const int rightWidth = w - m - right;
    AdicionadosLb->SetBounds(right, top, rightWidth, lowerTop - top - 62);
    const int totalsTop = lowerTop - 58;
    const TLabel* titles[] = {Label1, Label2, Label3};
    TLabel* values[] = {ArquivosLB, PastasLb, TamanhoLb};
    for (int i = 0; i < 3; ++i) {
        const_cast<TLabel*>(titles[i])->SetBounds(right, totalsTop + 17 * i, 70, 16);
        values[i]->SetBounds(right + 72, totalsTop + 17 * i, rightWidth - 72, 16);
    }
    CompactadosLb->SetBounds(right, totalsTop + 51, rightWidth, 1);
    // the options
    GroupBox1->SetBounds(m, lowerTop, 160, 170);
    TRadioButton* types[] = {rbZip, rbLha, rbBh, rbCab, RbGnu, RbTar, RbJar};
    for (int i = 0; i < 7; ++i) types[i]->SetBounds(10, 18 + 21 * i, 144, 19);
    const int col2 = m + 168;
    MetodoLbl->SetBounds(col2, lowerTop + 2, 150, 16);
    MetodoCb->SetBounds(col2, lowerTop + 18, 150, 22);
    AcaoLbl->SetBounds(col2, lowerTop + 46, 150, 16);
    AcaoCb->SetBounds(col2, lowerTop + 62, 150, 22);
    GroupBox2->SetBounds(col2, lowerTop + 90, 150, 80);
    ckbArchive->SetBounds(8, 16, 136, 15);
    ckbReadOnly->SetBounds(8, 31, 136, 15);
    ckbHidden->SetBounds(8, 46, 136, 15);
    ckbSysFile->SetBounds(8, 61, 136, 15);
    const int col3 = col2 + 158;
    const int col3Width = w - m - col3;
    MultiDiscosGB->SetBounds(col3, lowerTop, col3Width - 56, 76);
    MultiDiscosCb->SetBounds(8, 18, col3Width - 72, 22);
    Label6->SetBounds(8, 48, 50, 16);
    BytesEdit->SetBounds(60, 46, 100, 21);
    BtnPassword->SetBounds(w - m - 48, lowerTop + 8, 48, 48);
    CadeadoAbertoImage->SetBounds(w - m - 48, lowerTop + 58, 24, 24);
    CadeadoFechadoImage->SetBounds(w - m - 24, lowerTop + 58, 24, 24);
    GroupBox3->SetBounds(col3, lowerTop + 82, col3Width, 88);
    NaoGravarRb->SetBounds(8, 18, col3Width - 16, 18);
    GravarCaminhoRelativoRb->SetBounds(8, 36, col3Width / 2 - 8, 18);
    GravarCaminhoCompletoRb->SetBounds(col3Width / 2, 36, col3Width / 2 - 8, 18);
    CaminhoLbl->SetBounds(8, 62, 100, 16);
    CaminhoEdit->SetBounds(110, 60, col3Width - 118, 21);
    // the destination and the buttons
    const int bottom = h - m - 25;
    ArquivosPanel->SetBounds(m, lowerTop + 178, w - 2 * m, 28);
    DestinoLbl->SetBounds(0, 6, 70, 16);
    DestinoEdit->SetBounds(72, 3, w - 2 * m - 72 - 30, 21);
    DialogBtn->SetBounds(w - 2 * m - 26, 2, 24, 23);
    btnOK->SetBounds(w - m - 2 * 96 - 6, bottom, 96, 25);
    CancelarBtn->SetBounds(w - m - 96, bottom, 96, 25);
}

void TfrmAddFiles::ReadSettings() {
    platform::IniFile ini(FIniFileName);
    const int width = static_cast<int>(ini.ReadInteger(AddFormSection, "Largura Grid", FListWidth));
    if (width > 0) FListWidth = width;
}

void TfrmAddFiles::WriteSettings() {
    try {
        platform::IniFile ini(FIniFileName);
        ini.WriteInteger(AddFormSection, "Largura Grid", FListWidth);
    } catch (const std::exception&) {
        // the settings file cannot be written: the list's width is not kept
    }
}

std::string TfrmAddFiles::CurrentFolder() {
    return ArquivosLv->Folder().GetPath();
}

void TfrmAddFiles::SetCurrentFolder(const std::string& folder) {
    if (folder.empty()) {
        ArquivosLv->Folder().SetSpecialFolder(17); // the drives
        return;
    }
    std::string path = folder;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    ArquivosLv->Folder().SetPath(path);
}

bool TfrmAddFiles::DestinationShown() const {
    return ArquivosPanel->Visible();
}

void TfrmAddFiles::ShowDestination(bool show) {
    ArquivosPanel->SetVisible(show);
}

TRadioButton* TfrmAddFiles::TypeRadio(TAddArchiveKind kind) const {
    switch (kind) {
    case TAddArchiveKind::akZip:
        return rbZip;
    case TAddArchiveKind::akLha:
        return rbLha;
    case TAddArchiveKind::akBh:
        return rbBh;
    case TAddArchiveKind::akCab:
        return rbCab;
    case TAddArchiveKind::akGZip:
        return RbGnu;
    case TAddArchiveKind::akTar:
        return RbTar;
    case TAddArchiveKind::akJar:
        return RbJar;
    }
    return rbZip;
}

TAddArchiveKind TfrmAddFiles::CheckedKind() const {
    for (TAddArchiveKind k : {TAddArchiveKind::akZip, TAddArchiveKind::akLha, TAddArchiveKind::akBh,
                              TAddArchiveKind::akCab, TAddArchiveKind::akGZip, TAddArchiveKind::akTar,
                              TAddArchiveKind::akJar})
        if (TypeRadio(k)->Checked()) return k;
    return TAddArchiveKind::akZip;
}

// ---- picking ----------------------------------------------------------------------------

void TfrmAddFiles::CheckBoxBtnClick() {
    PlaySoundRes("CLEK");
    const bool checks = CheckBoxBtn->Down();
    ArquivosLv->SetMultiSelect(!checks);
    if (!checks) {
        for (int row = 0; row < ArquivosLv->RowCount(); ++row) SetListItemChecked(row, false);
        FCheckedListItems.clear();
    }
}

bool TfrmAddFiles::ListItemChecked(int row) const {
    return row >= 0 && row < ArquivosLv->RowCount() && (ArquivosLv->ItemState(row, LVIS_DROPHILITED) != 0);
}

void TfrmAddFiles::SetListItemChecked(int row, bool checked) {
    if (row < 0 || row >= ArquivosLv->RowCount()) return;
    // A marked item is shown highlighted as a drop target is.
    ArquivosLv->SetItemState(row, checked ? LVIS_DROPHILITED : 0, LVIS_DROPHILITED);
}

std::vector<std::pair<std::string, bool>> TfrmAddFiles::ChosenListItems() {
    std::vector<std::pair<std::string, bool>> items;
    const bool checks = CheckBoxBtn->Down();
    for (int row = 0; row < ArquivosLv->RowCount(); ++row) {
        const bool chosen = checks ? ListItemChecked(row) : ArquivosLv->ItemState(row, LVIS_SELECTED) != 0;
        if (!chosen) continue;
        TMvShListData* data = ArquivosLv->GetItemData(row);
        if (!data) continue;
        items.emplace_back(data->GetPath(), data->IsFolder());
    }
    return items;
}

void TfrmAddFiles::btnAddDirClick() {
    AddItems(ChosenListItems());
}

void TfrmAddFiles::AddSpecification(const std::string& text, bool folder, bool recursive) {
    FSettingState = true;
    const int index = AdicionadosLb->Items().Add(text);
    AdicionadosLb->SetItemState(index, !folder ? TCheckBoxState::cbGrayed
                                               : (recursive ? TCheckBoxState::cbChecked : TCheckBoxState::cbUnchecked));
    FSettingState = false;
}

void TfrmAddFiles::AddItems(const std::vector<std::pair<std::string, bool>>& items) {
    PlaySoundRes("BEEP");
    const int start = AdicionadosLb->Items().Count();
    std::string mask = "*.*";
    bool subfolders = false;
    const bool anyFolder = std::any_of(items.begin(), items.end(), [](const auto& i) { return i.second; });
    if (anyFolder) {
        TFrmMascara prompt(nullptr);
        prompt.MascaraEdit->SetTextValue("*.*");
        if (prompt.ShowModal() != mrOk) return;
        mask = TrimText(prompt.MascaraEdit->Text());
        if (mask.size() <= 1) mask = "*.*";
        if (mask[0] == '.') mask = "*" + mask;
        subfolders = prompt.SubPastasChk->Checked();
    }
    SetCursor(TCursor::crHourGlass);
    for (const auto& [path, folder] : items) {
        if (path.empty()) continue; // no place in the file system
        const std::string text = folder ? WithSeparator(path) + mask : path;
        bool there = false;
        for (int i = 0; i < AdicionadosLb->Items().Count() && !there; ++i)
            there = AdicionadosLb->Items().Strings(i) == text;
        if (there) continue;
        AddSpecification(text, folder, subfolders);
    }
    btnOK->SetEnabled(false);
    if (ArgumentCount < 2) {
        ScanFileSpecs(false, start);
        UpdateOkButton();
    }
    SetCursor(TCursor::crDefault);
}

void TfrmAddFiles::SpecStateChanged(int index) {
    if (FSettingState || index < 0 || index >= AdicionadosLb->Items().Count()) return;
    // The list's own cycle is unchecked, grey, checked: grey and checked trade places,
    // so that a folder alternates between checked and unchecked and a file stays grey.
    FSettingState = true;
    const TCheckBoxState state = AdicionadosLb->GetItemState(index);
    if (state == TCheckBoxState::cbGrayed)
        AdicionadosLb->SetItemState(index, TCheckBoxState::cbChecked);
    else if (state == TCheckBoxState::cbChecked)
        AdicionadosLb->SetItemState(index, TCheckBoxState::cbGrayed);
    FSettingState = false;
    ScanFileSpecs(true, 0);
}

void TfrmAddFiles::RemoverItemBtnClick() {
    PlaySoundRes("LIXO");
    // the check list box selects one item: the current one goes
    const int index = AdicionadosLb->ItemIndex();
    if (index >= 0 && index < AdicionadosLb->Items().Count()) AdicionadosLb->Items().Delete(index);
    ScanFileSpecs(true, 0);
    UpdateOkButton();
}

void TfrmAddFiles::UpdateOkButton() {
    btnOK->SetEnabled(AdicionadosLb->Items().Count() > 0);
}

// ---- counting ---------------------------------------------------------------------------

void TfrmAddFiles::ShowTotals() {
    if (FClosingOk) return;
    ArquivosLB->SetCaption(FormatThousands(FilesFound));
    PastasLb->SetCaption(FormatThousands(FoldersFound));
    TamanhoLb->SetCaption(FormatThousands(BytesFound) + " bytes");
}

void TfrmAddFiles::ScanFileSpecs(bool clear, int from) {
    if (clear) {
        for (TLabel* l : {ArquivosLB, PastasLb, TamanhoLb}) l->SetCaption("");
        FilesFound = FoldersFound = BytesFound = 0;
        FileSpecs.clear();
        Found.clear();
        AnyRecursive = false;
        from = 0;
    }
    const int count = AdicionadosLb->Items().Count();
    for (int i = std::max(from, 0); i < count; ++i)
        if (AdicionadosLb->GetItemState(i) == TCheckBoxState::cbChecked) AnyRecursive = true;
    for (int i = std::max(from, 0); i < count; ++i) {
        const std::string text = TrimText(AdicionadosLb->Items().Strings(i));
        const TCheckBoxState state = AdicionadosLb->GetItemState(i);
        // An unchecked folder next to a recursive one would be walked recursively by
        // the engine: its files go one by one instead.
        const bool expand = !(state == TCheckBoxState::cbGrayed || !AnyRecursive || state == TCheckBoxState::cbChecked);
        if (!expand) FileSpecs.push_back(text);
        const std::string folder = platform::DirectoryOf(text);
        const std::string root = platform::PathWithoutDrive(WithSeparator(folder));
        TTreeScanner scanner;
        scanner.SetFileMask(platform::NameOf(text));
        scanner.SetRecursive(state == TCheckBoxState::cbChecked);
        scanner.SetInitialDirectory(folder);
        scanner.OnFileFound = [&](TTreeScanner* s) {
            const std::string& path = s->FileFound();
            if (expand) FileSpecs.push_back(path);
            ++FilesFound;
            BytesFound += s->FileSize();
            ShowTotals();
            Found.push_back({platform::PathWithoutDrive(path), root});
        };
        const std::string start = TTreeScanner::NormalisedDirectory(folder);
        scanner.OnDirectoryFound = [&](TTreeScanner* s) {
            // the subfolders a recursive walk enters, not its own start
            if (state != TCheckBoxState::cbChecked || s->FileFound() == start) return;
            ++FoldersFound;
            ShowTotals();
        };
        if (state == TCheckBoxState::cbGrayed) {
            // one file: exactly that file, whatever its name holds
            platform::FileInfo info;
            if (platform::Fs().Stat(text, info) && info.IsRegular) {
                ++FilesFound;
                BytesFound += static_cast<int64_t>(info.Size);
                Found.push_back({platform::PathWithoutDrive(text), root});
            }
            continue;
        }
        scanner.Scan();
    }
    ShowTotals();
}

// ---- the options ----------------------------------------------------------------------

void TfrmAddFiles::TypeClick(TAddArchiveKind kind) {
    PlaySoundRes("CLEK");
    const TMethodList list = MethodsOf(kind);
    MetodoCb->Items().Clear();
    for (const std::string& item : list.Items) MetodoCb->Items().Add(item);
    const auto at = std::find(list.Items.begin(), list.Items.end(), list.Default);
    MetodoCb->SetItemIndex(at == list.Items.end() ? 0 : static_cast<int>(at - list.Items.begin()));
    MultiDiscosGB->SetEnabled(list.MultiDisk);
    MultiDiscosCb->SetEnabled(list.MultiDisk);
    MultiDiscosGB->Font().SetColor(list.MultiDisk ? clBlack : GreyCaption);
    if (list.MultiDisk) UpdateMultiDisk();
    BtnPassword->SetEnabled(list.Password);
    if (DestinationShown()) {
        const std::string destination = DestinoEdit->Text();
        if (!TrimText(destination).empty()) DestinoEdit->SetTextValue(ReplaceExt(destination, AddKindExtension(kind)));
    }
}

void TfrmAddFiles::UpdateMultiDisk() {
    if (DestinationShown()) {
        MultiDiscosCb->Items().Clear();
        const std::string destination = TrimText(DestinoEdit->Text());
        const bool removable = !destination.empty() &&
                               platform::DriveKindOf(platform::DirectoryOf(destination)) == platform::DriveKind::Removable;
        if (removable) {
            MultiDiscosCb->Items().Add(LoadLangStr(612));
            MultiDiscosCb->Items().Add(LoadLangStr(613));
            MultiDiscosCb->Items().Add(LoadLangStr(372));
        } else {
            MultiDiscosCb->Items().Add(LoadLangStr(613));
            MultiDiscosCb->Items().Add(LoadLangStr(614));
        }
        MultiDiscosCb->SetItemIndex(0);
    }
    const bool parts = MultiDiscosCb->Text() == LoadLangStr(614);
    Label6->SetEnabled(parts);
    BytesEdit->SetEnabled(parts);
}

void TfrmAddFiles::DestinoEditChange() {
    if (rbZip->Checked() && MultiDiscosGB->Enabled()) UpdateMultiDisk();
    btnOK->SetEnabled(!TrimText(platform::NameOf(DestinoEdit->Text())).empty());
}

void TfrmAddFiles::DialogBtnClick() {
    PlaySoundRes("CLEK");
    TMvSaveDlg dialog(nullptr);
    dialog.SetTitle(LoadLangStr(574));
    dialog.SetFilter("*.*|*.*");
    const std::string folder = platform::DirectoryOf(TrimText(DestinoEdit->Text()));
    if (!folder.empty() && platform::DriveAvailable(folder)) dialog.SetInitialDir(folder);
    if (!dialog.Execute()) return;
    DestinoEdit->SetTextValue(ReplaceExt(dialog.FileName(), AddKindExtension(CheckedKind())));
}

void TfrmAddFiles::DrawPadlock() {
    DrawPadlockGlyph(BtnPassword->Glyph(), PasswordSet());
    BtnPassword->GlyphChanged();
}

void TfrmAddFiles::BtnPasswordClick() {
    PlaySoundRes("BEEP");
    ChosenPassword.clear();
    TFrmPassword prompt(nullptr);
    if (prompt.ShowModal() == mrOk) ChosenPassword = TrimText(prompt.SenhaEdit->Text());
    DrawPadlock();
}

void TfrmAddFiles::btnOKClick() {
    if (AdicionadosLb->Items().Count() == 0) return;
    FClosingOk = true;
    SetModalResult(mrOk);
    // one name, one root: sorted by name, the roots travel with them
    std::stable_sort(Found.begin(), Found.end(),
                     [](const TFoundFile& a, const TFoundFile& b) { return a.Name < b.Name; });
}

// ---- the command's side -----------------------------------------------------------------

bool ShowAddDialog(const TAddSetup& setup, TAddChoice& choice, const std::string& iniFileName) {
    auto form = std::make_unique<TfrmAddFiles>(nullptr, iniFileName);
    form->ArgumentCount = setup.ArgumentCount;
    if (!setup.Items.empty()) {
        // a caller's list: the destination is shown and each item goes in as it is
        form->ShowDestination(true);
        form->DestinoEdit->SetTextValue(setup.Archive);
        for (const std::string& item : setup.Items) {
            if (platform::IsDirectory(item))
                form->AddSpecification(WithSeparator(item) + "*.*", true, true);
            else
                form->AddSpecification(item, false, false);
        }
        form->ScanFileSpecs(true, 0);
        form->btnOK->SetEnabled(form->AdicionadosLb->Items().Count() > 0);
        form->SetActiveControl(form->DestinoEdit);
    }
    form->SetCurrentFolder(setup.StartFolder.empty() || !platform::FolderAvailable(setup.StartFolder)
                               ? std::string()
                               : setup.StartFolder);
    form->TypeRadio(setup.Kind)->SetChecked(true);
    form->TypeClick(setup.Kind);
    for (TAddArchiveKind k : {TAddArchiveKind::akZip, TAddArchiveKind::akLha, TAddArchiveKind::akBh,
                              TAddArchiveKind::akCab, TAddArchiveKind::akGZip, TAddArchiveKind::akTar,
                              TAddArchiveKind::akJar})
        form->TypeRadio(k)->SetEnabled(setup.NewArchive);
    // the multi-disk choices by the archive's drive
    const bool removable = platform::DriveKindOf(platform::DirectoryOf(setup.Archive)) == platform::DriveKind::Removable;
    form->MultiDiscosCb->Items().Clear();
    if (removable) {
        form->MultiDiscosCb->Items().Add(LoadLangStr(612));
        form->MultiDiscosCb->Items().Add(LoadLangStr(613));
        form->MultiDiscosCb->Items().Add(LoadLangStr(372));
    } else {
        form->MultiDiscosCb->Items().Add(LoadLangStr(613));
        form->MultiDiscosCb->Items().Add(LoadLangStr(614));
    }
    form->MultiDiscosCb->SetItemIndex(0);
    form->UpdateMultiDisk();
    if (!setup.NewArchive || setup.Kind != TAddArchiveKind::akZip) {
        form->MultiDiscosGB->SetEnabled(false);
        form->MultiDiscosCb->SetEnabled(false);
        form->MultiDiscosGB->Font().SetColor(GreyCaption);
    }
    form->GravarCaminhoRelativoRb->SetChecked(true);
    form->AcaoCb->SetItemIndex(0);
    form->SetCaption(LoadLangStr(76) + setup.Archive);
    if (form->ShowModal() != mrOk) return false;

    choice.Archive = form->DestinationShown() ? TrimText(form->DestinoEdit->Text()) : setup.Archive;
    choice.Kind = form->CheckedKind();
    choice.MethodIndex = form->MetodoCb->ItemIndex();
    choice.MethodText = form->MetodoCb->Text();
    choice.Action = form->AcaoCb->ItemIndex() == 1 ? TSwitch::swMove : TSwitch::swAdd;
    choice.AttrArchive = form->ckbArchive->Checked();
    choice.AttrReadOnly = form->ckbReadOnly->Checked();
    choice.AttrHidden = form->ckbHidden->Checked();
    choice.AttrSystem = form->ckbSysFile->Checked();
    choice.MultiDisk = form->MultiDiscosCb->Enabled() ? form->MultiDiscosCb->Text() : std::string();
    choice.PartSizeText = form->BytesEdit->Text();
    choice.PathMode = form->NaoGravarRb->Checked()             ? TAddPathMode::apNone
                      : form->GravarCaminhoCompletoRb->Checked() ? TAddPathMode::apFull
                                                                 : TAddPathMode::apRelative;
    choice.Prefix = TrimText(form->CaminhoEdit->Text());
    choice.Password = form->ChosenPassword;
    choice.FileSpecs = form->FileSpecs;
    choice.AnyRecursive = form->AnyRecursive;
    choice.Found = form->Found;
    choice.TotalBytes = form->BytesFound;
    choice.CurrentFolder = form->CurrentFolder();
    return true;
}

} // namespace mv
