#pragma once
// The analysis window: what a run of the shown script would copy now, which of those
// files are new or changed since the last backup, and which the exclude items hold
// back, in four lists that ask the analysis for every cell they show.
#include "app/scripts/BackupAnalysis.h"
#include "app/scripts/ScriptFiles.h"
#include "platform/ui/Form.h"

#include <string>
#include <vector>

namespace mv {

class TExtPageControl;
class TExtTabSheet;
class TExtListView;
class TLabel;
class TPanel;
class TProgressBar;
class TButton;
class TFormPlacement;

constexpr const char* AnalysisFormSection = "Form Analise";

class TFrmAnalise : public TForm {
public:
    // iniFileName: the settings file (empty: the program's morvelan.ini).
    explicit TFrmAnalise(TComponent* owner, const std::string& iniFileName = {});
    ~TFrmAnalise() override;

    // The script's ".srp" lines and its last backup (the ".sra" lines).
    TArquivosLb& ScriptLines() { return FScriptLines; }
    void SetLastBackup(const std::vector<std::string>& lines) { FAnalysis.SetLastBackup(lines); }
    TBackupAnalysis& Analysis() { return FAnalysis; }
    // Scans and fills the views; done once each time the window is shown.
    void Analyse();

    TExtPageControl* PageControl1 = nullptr;
    TExtTabSheet* ArquivosTs = nullptr;
    TExtTabSheet* ExcluidosTs = nullptr;
    TExtListView* ArquivosLv = nullptr;
    TPanel* NovosGb = nullptr;
    TPanel* ModificadosGb = nullptr;
    TExtListView* NovosLv = nullptr;
    TExtListView* ModificadosLv = nullptr;
    TExtListView* ExcluidosLv = nullptr;
    TLabel* BackupLabel = nullptr;
    TLabel* ExcluidosLabel = nullptr;
    TPanel* ProgressPn = nullptr;
    TLabel* ProgressLabel = nullptr;
    TProgressBar* ProgressBar1 = nullptr;
    TButton* OkBtn = nullptr;
    TFormPlacement* FormPlacement = nullptr;

private:
    void SetUpView(TExtListView* view, TAnalysisView& rows);
    void ShowView(TExtListView* view, TAnalysisView& rows);
    void WriteSettings();

    std::string FIniFileName;
    TArquivosLb FScriptLines;
    TBackupAnalysis FAnalysis;
    bool FAnalysed = false;
    bool FShowing = false;
};

} // namespace mv
