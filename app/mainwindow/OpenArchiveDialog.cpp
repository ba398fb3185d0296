#include "app/mainwindow/OpenArchiveDialog.h"

namespace mv {

namespace {

TOpenArchiveDialogRunner& Runner() {
    static TOpenArchiveDialogRunner runner;
    return runner;
}

// The program's open dialog.
bool RunProgramDialog(TForm*, const TOpenArchiveRequest&, std::string&) {
    return false;
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
