#pragma once
// What the main window's archive handlers read and write on the self-extractor
// wizard and on the backup runner while one of them drives an archive operation
// (the lister's Tag says who: 10 the wizard, 50 the runner). The forms own these
// fields; the handlers reach them only through these records, so they work the
// same with the real forms and with a test's records.
#include <cstdint>
#include <string>
#include <vector>

namespace mv {

// Who receives the events of the archive components and of the vendor library.
constexpr int VzReceiverMainWindow = 0, VzReceiverWizard = 10, VzReceiverRunner = 50;

// The self-extractor wizard (receiver 10).
struct TFormSFXFields {
    // Listing the open archive adds one line per entry to each of these lists.
    std::vector<std::string> ArquivosLb, ArquivoTextoEdit, AplicacaoEdit, ParametrosEdit;
    int ProgressBar1 = 0;      // percent
    std::string DestinoEdit;   // the self-extractor to build
    std::string WorkingFolder; // the folder whose files are zipped
};

// The backup runner (receiver 50).
struct TFrmExecutaFields {
    int ProgressBar1 = 0;
    std::string TUnidadeLbl, TBackupLbl, TArqLbl, StatusLabel;
    std::string OrigemEdit, ArquivoEdit, ArquivoZipEdit;
    int64_t PackedTotal = 0, SizeTotal = 0; // added per file
    int Warnings = 0;
    int SkippedFiles = 0;
    std::vector<std::string> WarningLines;
    int FileCount = 0;
    std::vector<std::string> BackedUpNames;
    int64_t FreeKilobytes = 0; // free space of the target disk
    bool Cancelled = false;
    bool AnalysisPass = false, KeepExisting = false, SkipFirst = false;
};

} // namespace mv
