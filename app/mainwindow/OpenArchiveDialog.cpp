#include "app/mainwindow/OpenArchiveDialog.h"

#include "controls/shell/dialogs/MvOpenDlg.h"

#include <vector>

namespace mv {

namespace {

TOpenArchiveDialogRunner& Runner() {
    static TOpenArchiveDialogRunner runner;
    return runner;
}

// The program's open dialog: one file, the filter's first entry.
bool RunProgramDialog(TForm*, const TOpenArchiveRequest& request, std::string& fileName) {
    std::vector<std::string> files;
    if (!ExecuteOpenArchiveDialog(request.Filter, 1, request.InitialDir, request.Title, false, files) ||
        files.empty())
        return false;
    fileName = files.front();
    return true;
}

} // namespace

void SetOpenArchiveDialogRunner(TOpenArchiveDialogRunner runner) {
    Runner() = std::move(runner);
}

bool RunOpenArchiveDialog(TForm* owner, const TOpenArchiveRequest& request, std::string& fileName) {
    if (Runner()) return Runner()(owner, request, fileName);
    return RunProgramDialog(owner, request, fileName);
}

} // namespace mv
