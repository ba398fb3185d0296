#include "app/operations/ZipEngineRun.h"

#include "app/common/StrUtils.h"
#include "zipwriter/ZipEngine.h"
#include "zipwriter/ZipEngineTypes.h"

namespace mv {

TZipEngineRunner::TZipEngineRunner() : FEngine(std::make_unique<TZipEngine>()) {
    FEngine->OnStartZip = [this](TObject*, const std::string& name, TZipHeaderInfo&, bool&) {
        if (OnStartFile) OnStartFile(name);
    };
    FEngine->OnTotalPercentDone = [this](TObject*, int percent) {
        if (OnTotalPercent) OnTotalPercent(percent);
    };
    FEngine->Ui.ProcessMessages = [this] {
        if (ProcessMessages) ProcessMessages();
    };
}

TZipEngineRunner::~TZipEngineRunner() = default;

void TZipEngineRunner::Prepare(const std::string& zipName, const std::string& tempPath) {
    FEngine->SetZipName(TrimText(zipName));
    FEngine->SetSourceShareMode(64);
    FEngine->MultiZipInfo().SetCheckDiskLabels(false);
    FEngine->SetZipAction(TZipAction::zaReplace);
    FEngine->FilesList().clear();
    FEngine->ExcludeList().clear();
    FEngine->SetTempPath(tempPath);
}

int TZipEngineRunner::Run(const std::vector<std::string>* list, const std::vector<std::string>* exclusions,
                          bool recurse, int mode, bool multiDisk, bool storePaths) {
    if (list) FEngine->SetFilesList(*list);
    if (exclusions) FEngine->SetExcludeList(*exclusions);
    FEngine->SetRecurse(recurse);
    FEngine->SetStorePaths(storePaths);
    FEngine->MultiZipInfo().SetMultiMode(multiDisk ? TMultiMode::mmSpan : TMultiMode::mmNone);
    try {
        if (mode == 0)
            FEngine->Zip();
        else if (mode == 2)
            FEngine->DeleteEntries();
    } catch (const EBadZipFile&) {
        return 1050;
    } catch (const EIncompleteZip&) {
        return 1051;
    } catch (const ENotAZipFile&) {
        return 1052;
    } catch (const EUserCanceled&) {
        return 1054;
    } catch (const std::exception&) {
        return -50;
    }
    return 0;
}

void TZipEngineRunner::Cancel() {
    FEngine->CancelOperation();
}

} // namespace mv
