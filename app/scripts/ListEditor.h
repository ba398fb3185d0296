#pragma once
// The rules of the include and exclude lists editor, apart from its window: a
// script's item lines become entries of two three-state check lists and back, the
// folder mask typed by the user is normalised, picked folders and files become
// entries, a click keeps each entry's kind, and entries move between the lists.
//
// An entry's state is its item's kind: grayed a single file, checked a folder whose
// subfolders are scanned, unchecked a folder without its subfolders.
#include "app/scripts/ScriptFiles.h"
#include "controls/toolkit/checklist/CheckListModel.h"

#include <string>
#include <vector>

namespace mv {

// The lines 1.. of a script into the include and the exclude list (both emptied first).
void FillItemLists(const TArquivosLb& lines, TCheckListModel& included, TCheckListModel& excluded);
// Line 0 kept, then one item line per include entry and one per exclude entry, in
// list order.
void StoreItemLists(TArquivosLb& lines, const TCheckListModel& included, const TCheckListModel& excluded);

// The mask of the mask dialog: trimmed; empty or a single character gives "*.*", a
// leading "." gets "*" in front.
std::string NormaliseFolderMask(const std::string& text);

// Something picked in the file list.
struct TPickedItem {
    std::string Path; // its local path; empty for what is not a local file or folder
    bool Folder = false;
};
// Whether any picked item is a folder (the mask dialog is asked then).
bool AnyFolderPicked(const std::vector<TPickedItem>& items);
// Adds the picked items to the list: a folder as folder + "/" + mask, checked when its
// subfolders are scanned; a file as its path, grayed. Items without a local path and
// texts the list already holds are skipped. Returns how many entries were added.
int AddPickedItems(TCheckListModel& list, const std::vector<TPickedItem>& items, const std::string& mask,
                   bool subfolders);

// Moves the selected entries of one list to the other: each entry the target lacks
// is appended with its state, then the selected entries leave the source. Entries
// that were not selected stay where they are.
void TransferEntries(TCheckListModel& from, const std::vector<int>& selected, TCheckListModel& to);
// Deletes the given entries.
void RemoveEntries(TCheckListModel& list, std::vector<int> selected);

// The click rule: a click that made an entry grayed sets it checked, one that made it
// checked sets it grayed, so a folder toggles between checked and unchecked and a file
// stays grayed. The change made here raises a state event of its own, which is ignored.
class TEntryStateRule {
public:
    void StateChanged(TCheckListModel& list, int index);

private:
    bool FIgnoreNext = false;
};

} // namespace mv
