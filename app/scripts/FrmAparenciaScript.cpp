#include "app/scripts/FrmAparenciaScript.h"

#include "app/common/LangStr.h"
#include "app/common/MessageBox.h"
#include "app/common/Sounds.h"
#include "app/common/StrUtils.h"
#include "app/scripts/FrmScripts.h"
#include "app/common/FormBuild.h"
#include "app/scripts/ScriptsAppearance.h"
#include "platform/ui/StdControls.h"

#include <algorithm>

namespace mv {

TFrmAparenciaScript::TFrmAparenciaScript(TComponent* owner, TFrmScripts& manager)
    : TForm(owner), FManager(manager) {
    SetName("FrmAparenciaScript");
    SetScaled(false);
    SetBorderStyle(TFormBorderStyle::bsDialog);
    SetPosition(TPosition::poScreenCenter);
    SetCaption(LoadLangStr(198));
    SetClientWidth(430);
    SetClientHeight(330);

    auto* toolbar = AddCaptioned<TGroupBox>(*this, *this, "BarraGb", 8, 8, 414, 150, 3250);
    PosicaoBarraFerramentasRb = AddCaptioned<TRadioGroup>(*toolbar, *this, "PosicaoBarraFerramentasRb", 10, 18, 190,
                                                          124, 200);
    for (int s = 210; s <= 214; ++s) PosicaoBarraFerramentasRb->Items().Add(LoadLangStr(s));
    BarraFlutuanteRb = AddCaptioned<TRadioGroup>(*toolbar, *this, "BarraFlutuanteRb", 210, 18, 194, 100, 215);
    for (int s = 216; s <= 219; ++s) BarraFlutuanteRb->Items().Add(LoadLangStr(s));
    ApenasIconesChk = AddCaptioned<TCheckBox>(*toolbar, *this, "ApenasIconesChk", 210, 122, 194, 20, 220);

    auto* tabs = AddCaptioned<TGroupBox>(*this, *this, "PastasGb", 8, 164, 414, 124, 3251);
    PosicaoPastasRB = AddCaptioned<TRadioGroup>(*tabs, *this, "PosicaoPastasRB", 10, 18, 190, 98, 200);
    for (int s = 202; s <= 205; ++s) PosicaoPastasRB->Items().Add(LoadLangStr(s));
    UsarLadoOpostoChk = AddCaptioned<TCheckBox>(*tabs, *this, "UsarLadoOpostoChk", 210, 20, 194, 20, 206);
    AddCaptioned<TLabel>(*tabs, *this, "AlturaLbl", 210, 52, 90, 16, 3252);
    AlturaPastasEdit = AddControl<TEdit>(*tabs, *this, "AlturaPastasEdit", 300, 48, 60, 22);
    AddCaptioned<TLabel>(*tabs, *this, "LarguraLbl", 210, 82, 90, 16, 3253);
    LarguraPastasEdit = AddControl<TEdit>(*tabs, *this, "LarguraPastasEdit", 300, 78, 60, 22);

    DicaLabel = AddCaptioned<TLabel>(*this, *this, "DicaLabel", 8, 294, 320, 32, 221);
    DicaLabel->SetWordWrap(true);
    OkBtn = AddCaptioned<TButton>(*this, *this, "OkBtn", 338, 296, 84, 25, 187);
    OkBtn->SetDefault(true);
    OkBtn->SetCancel(true);
    OkBtn->OnClick = [this](TComponent*) { SetModalResult(mrOk); };

    // Filled from the manager.
    FFilling = true;
    const int position = manager.ToolbarPosition();
    PosicaoBarraFerramentasRb->SetItemIndex(position);
    BarraFlutuanteRb->SetEnabled(position == ppFloating);
    BarraFlutuanteRb->SetItemIndex(position == ppFloating ? manager.FloatingShape() : fsHorizontal);
    const TScriptsAppearance a = manager.Appearance();
    ApenasIconesChk->SetChecked(a.IconsOnly);
    PosicaoPastasRB->SetItemIndex(a.TabPosition);
    UsarLadoOpostoChk->SetChecked(a.OppositeSide);
    AlturaPastasEdit->SetTextValue(std::to_string(a.TabHeight));
    LarguraPastasEdit->SetTextValue(std::to_string(a.TabWidth));
    FFilling = false;

    PosicaoBarraFerramentasRb->OnClick = [this](TComponent*) { PosicaoBarraClick(); };
    BarraFlutuanteRb->OnClick = [this](TComponent*) { BarraFlutuanteClick(); };
    ApenasIconesChk->OnClick = [this](TComponent*) { ApenasIconesClick(); };
    PosicaoPastasRB->OnClick = [this](TComponent*) { PastasChanged(); };
    UsarLadoOpostoChk->OnClick = [this](TComponent*) { PastasChanged(); };
    AlturaPastasEdit->OnChange = [this](TComponent*) { PastasChanged(); };
    LarguraPastasEdit->OnChange = [this](TComponent*) { PastasChanged(); };
    OnClose = [](TComponent*, TCloseAction&) { PlaySoundRes("CLICK"); };
    FixFormFonts(*this);
}

void TFrmAparenciaScript::PosicaoBarraClick() {
    if (FFilling) return;
    PlaySoundRes("CLEK");
    const int position = PosicaoBarraFerramentasRb->ItemIndex();
    FManager.SetToolbarPosition(position);
    BarraFlutuanteRb->SetEnabled(position == ppFloating);
    Invalidate();
}

void TFrmAparenciaScript::BarraFlutuanteClick() {
    if (FFilling) return;
    PlaySoundRes("CLEK");
    FManager.SetFloatingShape(std::max(0, BarraFlutuanteRb->ItemIndex()));
    FManager.WriteFloatingShape();
}

void TFrmAparenciaScript::ApenasIconesClick() {
    if (FFilling) return;
    PlaySoundRes("CLEK");
    FManager.SetIconsOnly(ApenasIconesChk->Checked());
    FManager.WriteFloatingShape();
}

void TFrmAparenciaScript::PastasChanged() {
    if (FFilling) return;
    PlaySoundRes("CLEK");
    TScriptsAppearance a = FManager.Appearance();
    a.TabPosition = std::max(0, PosicaoPastasRB->ItemIndex());
    a.OppositeSide = UsarLadoOpostoChk->Checked();
    a.TabHeight = std::clamp(StrToIntNoDots(TrimText(AlturaPastasEdit->Text()), a.TabHeight), MinTabHeight, MaxTabHeight);
    a.TabWidth = std::clamp(StrToIntNoDots(TrimText(LarguraPastasEdit->Text()), a.TabWidth), MinTabWidth, MaxTabWidth);
    FManager.ApplyAppearance(a);
}

} // namespace mv
