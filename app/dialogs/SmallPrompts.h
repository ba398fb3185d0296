#pragma once
// The small modal prompts of the archive operations and the add dialog: overwrite an
// existing file, insert the next disk, the password of an entry, a new password with its
// confirmation, the mask for adding folders, and whether to register the file
// associations. Each is translated when created and plays the program's sounds; the
// caller fills the fields, calls ShowModal and acts on the modal result.
#include "platform/ui/Form.h"

#include <functional>
#include <string>

namespace mv {

class TLabel;
class TButton;
class TBitBtn;
class TEdit;
class TCheckBox;
class TImage;

// Replace an existing file? 6 yes, 7 no, 5 yes to all, 2 cancel. Made once and reused.
class TfrmOverwrite : public TForm {
public:
    explicit TfrmOverwrite(TComponent* owner);
    // Shows the form; Yes and Yes to all sound "BEEP", No and Cancel "CLICK".
    int ShowModal();

    TLabel* TituloLbl;          // the file's name
    TLabel* TamanhoOriginalLbl; // the file on disk
    TLabel* DataOriginalLbl;
    TLabel* TamanhoDestinoLbl; // the incoming file
    TLabel* DataDestinoLbl;
    TImage* Image1;
    TImage* Image2;
    TImage* Image3;
    TBitBtn* BitBtn1; // yes
    TBitBtn* BitBtn2; // no
    TBitBtn* BitBtn3; // yes to all
    TBitBtn* BitBtn4; // cancel
};

// Insert the next disk: 1 go on, 2 cancel. The browse button looks at the disk.
class TFrmNovoDisco : public TForm {
public:
    explicit TFrmNovoDisco(TComponent* owner);
    // Shows the form; "BEEP" after OK, else "CLICK".
    int ShowModal();

    const std::string& Path() const { return FPath; }
    void SetPath(const std::string& value) { FPath = value; }

    TLabel* MensagemLb;
    TImage* Image1;
    TButton* Button1;
    TButton* Button2;
    TButton* NavegaBtn;

private:
    void NavegaBtnClick();
    std::string FPath; // the archive's path
};

// Opens the disk viewer on a folder, modally, with its format button enabled or not.
// The program's disk viewer installs itself here; unset, browsing shows nothing.
using TDiskViewerOpener = std::function<void(const std::string& folder, bool formatEnabled)>;
void SetDiskViewerOpener(TDiskViewerOpener opener);

// The password of an encrypted entry: 1 use it, 5 skip this entry, 2 cancel.
class TFrmSenha : public TForm {
public:
    explicit TFrmSenha(TComponent* owner);
    // Shows the form; "BEEP" after OK, else "CLICK".
    int ShowModal();

    TLabel* Label1;
    TEdit* SenhaEdit;
    TButton* OkBtn;
    TButton* DescartarBtn;
    TButton* CancelarBtn;
};

// A new password typed twice: 1 when both match, 2 cancel.
class TFrmPassword : public TForm {
public:
    explicit TFrmPassword(TComponent* owner);

    TLabel* SenhaLbl;
    TLabel* ConfirmacaoLbl;
    TEdit* SenhaEdit;
    TEdit* ConfirmacaoEdit;
    TCheckBox* MascaraChk;
    TButton* OkBtn;
    TButton* Button2;

private:
    void OkBtnClick();
    void MascaraChkClick();
};

// The mask and subfolder choice for adding folders: 1 OK, 2 cancel.
class TFrmMascara : public TForm {
public:
    explicit TFrmMascara(TComponent* owner);
    // Shows the form; "BEEP" after OK, else "CLICK".
    int ShowModal();

    TLabel* MascaraLbl;
    TEdit* MascaraEdit;
    TCheckBox* SubPastasChk;
    TBitBtn* BitBtn1;
    TBitBtn* BitBtn2;
};

// Register the file associations? 6 yes, 2 no; "don't ask again" below.
class TFrmAssociacao : public TForm {
public:
    explicit TFrmAssociacao(TComponent* owner);

    TLabel* Label1;
    TLabel* Label2;
    TButton* Button1;
    TButton* Button2;
    TCheckBox* NaoAvisarChk;
};

// The prompts that free themselves when they close, as one call each.
// Next disk: the message and the archive's path; answers the modal result.
int ShowNextDiskPrompt(const std::string& message, const std::string& archivePath);
// Associations: answers the modal result and whether "don't ask again" was ticked.
int ShowAssociationPrompt(bool& dontAskAgain);

} // namespace mv
