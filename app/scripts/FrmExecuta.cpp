#include "app/scripts/FrmExecuta.h"

#include "app/common/ExecuteFile.h"
#include "app/common/LangStr.h"
#include "app/common/MessageBox.h"
#include "app/common/StrUtils.h"
#include "app/common/FormBuild.h"
#include "platform/DriveInfo.h"
#include "platform/FileSystem.h"
#include "platform/ui/StdControls.h"

namespace mv {

namespace {

std::string KText(uint64_t bytes) {
    std::string digits = std::to_string(bytes / 1024);
    for (size_t i = digits.size(); i > 3; i -= 3) digits.insert(i - 3, 1, '.');
    return digits + " K";
}

} // namespace

TFrmExecuta::TFrmExecuta(TComponent* owner, TBackupRunner& runner) : TForm(owner), FRunner(runner) {
    SetName("FrmExecuta");
    SetScaled(false);
    SetBorderStyle(TFormBorderStyle::bsDialog);
    SetPosition(TPosition::poScreenCenter);
    SetClientWidth(460);
    SetClientHeight(250);
    SetCaption(LoadLangStr(327));

    ArquivoZipEdit = AddControl<TEdit>(*this, *this, "ArquivoZipEdit", 10, 10, 400, 21);
    ArquivoZipEdit->SetTextValue(runner.ArquivoZip());
    DialogBtn = AddControl<TButton>(*this, *this, "DialogBtn", 415, 10, 35, 21);
    DialogBtn->SetCaption("...");
    OrigemEdit = AddControl<TEdit>(*this, *this, "OrigemEdit", 10, 40, 440, 21);
    OrigemEdit->SetReadOnly(true);
    ArquivoEdit = AddControl<TEdit>(*this, *this, "ArquivoEdit", 10, 66, 440, 21);
    ArquivoEdit->SetReadOnly(true);
    TArqLbl = AddControl<TLabel>(*this, *this, "TArqLbl", 10, 96, 140, 16);
    TArqLbl->SetCaption(LoadLangStr(324));
    TBackupLbl = AddControl<TLabel>(*this, *this, "TBackupLbl", 160, 96, 140, 16);
    TBackupLbl->SetCaption(LoadLangStr(325));
    TUnidadeLbl = AddControl<TLabel>(*this, *this, "TUnidadeLbl", 310, 96, 140, 16);
    TUnidadeLbl->SetCaption(LoadLangStr(326));
    ProgressBar1 = AddControl<TProgressBar>(*this, *this, "ProgressBar1", 10, 140, 440, 18);
    StatusLabel = AddControl<TLabel>(*this, *this, "StatusLabel", 10, 166, 440, 16);
    IniciaBtn = AddControl<TButton>(*this, *this, "IniciaBtn", 10, 210, 120, 27);
    IniciaBtn->SetCaption(LoadLangStr(330));
    IniciaBtn->SetDefault(true);
    CancelaBtn = AddControl<TButton>(*this, *this, "CancelaBtn", 140, 210, 120, 27);
    CancelaBtn->SetCaption(LoadLangStr(11));
    CancelaBtn->SetHint(LoadLangStr(184));
    CancelaBtn->SetCancel(true);
    NavegaBtn = AddControl<TButton>(*this, *this, "NavegaBtn", 300, 210, 150, 27);
    NavegaBtn->SetCaption(LoadLangStr(328));

    IniciaBtn->OnClick = [this](TComponent*) { IniciaBtnClick(); };
    CancelaBtn->OnClick = [this](TComponent*) { CancelaBtnClick(); };
    NavegaBtn->OnClick = [this](TComponent*) { NavegaBtnClick(); };

    runner.OnStatus = [this](const std::string& text) { StatusLabel->SetCaption(text); };
    runner.OnProgress = [this](const std::string& file, int percent) {
        OrigemEdit->SetTextValue(platform::DirectoryOf(file));
        ArquivoEdit->SetTextValue(platform::NameOf(file) + " (" + std::to_string(percent) + "%)");
        ProgressBar1->SetPosition(percent);
    };
    runner.OnError = [](const std::string& text) { ShowMessageBox(text, mkError, mbOKOnly, 0, -1, -1); };
    runner.ProcessMessages = [] {
        if (Application) Application->ProcessMessages();
    };
}

void TFrmExecuta::ArquivoZipEditExit() {
    ArquivoZipEdit->SetTextValue(
        TBackupRunner::ArquivoZipEditExit(ArquivoZipEdit->Text(), FRunner.Options().SelfExtracting));
}

void TFrmExecuta::IniciaBtnClick() {
    if (FRunner.Running()) return;
    FRunner.SetArquivoZip(ArquivoZipEdit->Text());
    ArquivoZipEdit->SetEnabled(false);
    NavegaBtn->SetEnabled(false);
    IniciaBtn->SetEnabled(false);
    CancelaBtn->SetCaption(LoadLangStr(121));
    CancelaBtn->SetHint(LoadLangStr(332));
    FRunner.Run();
    const TRunRecord& r = FRunner.Record();
    TArqLbl->SetCaption(LoadLangStr(324) + ": " + KText(r.TotalSize));
    TBackupLbl->SetCaption(LoadLangStr(325) + ": " + KText(r.PackedSize));
    TUnidadeLbl->SetCaption(TrimText(LoadLangStr(326)) + ": " + KText(r.FreeK * 1024));
    StatusLabel->SetCaption(FRunner.StatusText().empty() && r.Status == rsErrors ? LoadLangStr(340)
                                                                                 : FRunner.StatusText());
    CancelaBtn->SetCaption(LoadLangStr(11));
    CancelaBtn->SetHint(LoadLangStr(184));
    ArquivoZipEdit->SetEnabled(true);
    NavegaBtn->SetEnabled(true);
    IniciaBtn->SetEnabled(true);
}

void TFrmExecuta::CancelaBtnClick() {
    if (FRunner.Running()) {
        if (ShowMessageBox(LoadLangStr(346), mkQuestion, mbYesNo, 0, -1, -1) == mrYes) FRunner.Cancel();
        return;
    }
    FExitCode = ecRunnerClosed;
    Close();
}

void TFrmExecuta::NavegaBtnClick() {
    if (!platform::DriveAvailable(TrimText(ArquivoZipEdit->Text()))) {
        ShowMessageBox(LoadLangStr(652), mkError, mbOKOnly, 0, -1, -1);
        return;
    }
    ExecuteFile(platform::DirectoryOf(ArquivoZipEdit->Text()), "", "", 1);
}

} // namespace mv
