#pragma once
// What happens when files reach the archive list and when archive entries leave it:
// files and folders dragged from the explorer pane, or dropped from another program,
// are added to the open archive (a new ZIP archive is asked for when none is open);
// entries dragged onto the pane are extracted into the folder they were dropped on.
// No widgets here: the window hands in the paths, the folder and its prompts.
#include "app/mainwindow/ArchiveOpener.h"
#include "app/mainwindow/MainWindowView.h"
#include "app/settings/Options.h"

#include <functional>
#include <string>
#include <vector>

namespace mv {

class TArchiveOperations;

// The mask typed into the mask prompt as the add uses it: trimmed; empty or a single
// character is "*.*"; a leading "." gets "*" in front ("txt" stays as typed).
std::string DropMask(const std::string& typed);

// One item dragged from the pane: its path, and whether it is a folder.
struct TDraggedItem {
    std::string Path;
    bool Folder = false;
};

// The mask prompt: mask in (proposed) and out, include subfolders out; false on Cancel.
using TMaskPromptRunner = std::function<bool(std::string& mask, bool& subFolders)>;
// The dialog that names a new archive (title string 63, start folder by PastaIniciar);
// false on Cancel.
using TNewArchiveDialogRunner = std::function<bool(const std::string& title, const std::string& initialDir,
                                                   std::string& fileName)>;

class TDropFiles {
public:
    TDropFiles(TMainWindowView& view, TArchiveOpener& opener, TOptions& options);

    // The operations of the window (they run the engines); unset, nothing is added or
    // extracted.
    std::function<TArchiveOperations*()> Operations;
    // The mask prompt and the new archive's dialog; unset, nothing is added where
    // they would be needed.
    TMaskPromptRunner AskMask;
    TNewArchiveDialogRunner AskNewArchive;
    // Told when the open archive changed or was written (the reopen menu follows).
    std::function<void()> OnArchiveChanged;

    // Items dragged from the pane's list (fromTree false) or its tree (fromTree true).
    // The mask question comes when the tree is the source or a folder is among the
    // items. True when something was added.
    bool AddDragged(const std::vector<TDraggedItem>& items, bool fromTree);
    // Paths dropped by another program: existing files as they are, anything else as a
    // folder with the mask (asked once for all of them); without the question, no
    // subfolders. True when something was added.
    bool AddDropped(const std::vector<std::string>& paths);
    // Entries (stored names) dragged onto a folder of the pane: extracted into it
    // without their stored folders, asking before replacing a file. True on success.
    bool ExtractDragged(const std::vector<std::string>& entries, const std::string& folder);

private:
    bool AddSpecs(const std::vector<std::string>& specs, bool recurse);
    // The open archive, or a new one named by the user; false when the add is off.
    bool ArchiveForAdd(bool& newArchive);
    bool Mask(std::string& mask, bool& subFolders);

    TMainWindowView& FView;
    TArchiveOpener& FOpener;
    TOptions& FOptions;
};

} // namespace mv
