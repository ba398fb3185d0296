#pragma once
// The appearance dialog of the script manager: where its toolbar sits and its shape
// while it floats, whether its buttons show captions, and where the script tabs stand
// and how large they are. Every change applies to the manager at once.
#include "platform/ui/Form.h"

namespace mv {

class TFrmScripts;
class TCheckBox;
class TRadioGroup;
class TEdit;
class TLabel;
class TButton;

class TFrmAparenciaScript : public TForm {
public:
    TFrmAparenciaScript(TComponent* owner, TFrmScripts& manager);

    void PosicaoBarraClick();
    void BarraFlutuanteClick();
    void ApenasIconesClick();
    void PastasChanged();

    TCheckBox* ApenasIconesChk = nullptr;
    TRadioGroup* PosicaoBarraFerramentasRb = nullptr;
    TRadioGroup* BarraFlutuanteRb = nullptr;
    TRadioGroup* PosicaoPastasRB = nullptr;
    TCheckBox* UsarLadoOpostoChk = nullptr;
    TEdit* AlturaPastasEdit = nullptr;
    TEdit* LarguraPastasEdit = nullptr;
    TLabel* DicaLabel = nullptr;
    TButton* OkBtn = nullptr;

private:
    TFrmScripts& FManager;
    bool FFilling = false;
};

} // namespace mv
