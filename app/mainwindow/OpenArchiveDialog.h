#pragma once
// How the main window asks the user for an archive to open: the title, the filter
// and the start folder go in, the chosen file comes out. The program runs the real
// open dialog behind it; tests put their own answer in its place.
#include <functional>
#include <string>

namespace mv {

class TForm;

struct TOpenArchiveRequest {
    std::string Title;      // string 72
    std::string Filter;     // "description|patterns", string 26001
    std::string InitialDir; // empty: the dialog's own start
};

// True with the chosen file when the user pressed Open.
using TOpenArchiveDialogRunner =
    std::function<bool(TForm* owner, const TOpenArchiveRequest& request, std::string& fileName)>;

// Replaces the runner (an empty one goes back to the program's dialog).
void SetOpenArchiveDialogRunner(TOpenArchiveDialogRunner runner);
bool RunOpenArchiveDialog(TForm* owner, const TOpenArchiveRequest& request, std::string& fileName);

} // namespace mv
