#pragma once
// The questions the archive operations ask beyond the main window's own boxes, and
// what the extract dialog hands back. Kept free of the engines' and the forms' headers
// so that both sides can include it.
#include <functional>
#include <string>

namespace mv {

class TOperationPrompts {
public:
    virtual ~TOperationPrompts() = default;
    // The new-disk prompt with its message and the archive whose folder its browse
    // button shows: 1 go on, 2 cancel.
    virtual int AskNextVolume(const std::string& message, const std::string& archivePath) = 0;
};

// The program's prompts: the new-disk form.
class TFormPrompts : public TOperationPrompts {
public:
    int AskNextVolume(const std::string& message, const std::string& archivePath) override;
};

// What the extract dialog starts from, and what it hands back.
struct TExtractChoice {
    std::string Folder;         // in: proposed destination; out: the chosen one
    std::string Mask = "*";     // out: the mask, or "*" for all entries
    bool Selected = false;      // in: entries are selected; out: extract only those
    bool StoredFolders = true;  // in and out: use the entries' stored folders
    int OverwriteMode = 7;      // out: 5 overwrite without asking, 7 ask
};
// Runs the extract dialog: true on OK.
using TExtractDialogRunner = std::function<bool(TExtractChoice& choice)>;

} // namespace mv
