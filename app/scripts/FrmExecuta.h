#pragma once
// The small window of one backup run: the archive to write, the file being
// processed, the sizes, a progress bar and the status, with Start, Cancel/Close and
// "View destination". The run itself is the TBackupRunner it shows.
#include "app/scripts/BackupRunner.h"
#include "platform/ui/Form.h"

namespace mv {

class TEdit;
class TButton;
class TLabel;
class TProgressBar;

// Exit code of a session closed with the runner's Close button.
constexpr int ecRunnerClosed = 167;

class TFrmExecuta : public TForm {
public:
    TFrmExecuta(TComponent* owner, TBackupRunner& runner);

    TBackupRunner& Runner() { return FRunner; }
    TEdit* ArquivoZipEdit = nullptr;
    TButton* DialogBtn = nullptr;
    TEdit* OrigemEdit = nullptr;
    TEdit* ArquivoEdit = nullptr;
    TLabel* TArqLbl = nullptr;
    TLabel* TBackupLbl = nullptr;
    TLabel* TUnidadeLbl = nullptr;
    TProgressBar* ProgressBar1 = nullptr;
    TLabel* StatusLabel = nullptr;
    TButton* IniciaBtn = nullptr;
    TButton* CancelaBtn = nullptr;
    TButton* NavegaBtn = nullptr;

    // The process exit code the window asks for (167 after Close; 0 otherwise).
    int ExitCode() const { return FExitCode; }

    // The archive name rule applied to the edit's text.
    void ArquivoZipEditExit();
    void IniciaBtnClick();
    void CancelaBtnClick();
    void NavegaBtnClick();

private:
    TBackupRunner& FRunner;
    int FExitCode = 0;
};

} // namespace mv
