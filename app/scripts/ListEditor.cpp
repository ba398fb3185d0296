#include "app/scripts/ListEditor.h"

#include "app/common/StrUtils.h"

#include <algorithm>

namespace mv {

namespace {

bool Holds(const TCheckListModel& list, const std::string& text) {
    for (int i = 0; i < list.Count(); ++i)
        if (list.Strings(i) == text) return true;
    return false;
}

int Append(TCheckListModel& list, const std::string& text, TCheckBoxState state) {
    // States set here are no user's click: they raise no state event.
    const int index = list.Add(text);
    list.SetReading(true);
    list.SetItemState(index, state);
    list.SetReading(false);
    return index;
}

void StoreList(TArquivosLb& lines, const TCheckListModel& list, bool include) {
    for (int i = 0; i < list.Count(); ++i) {
        const TCheckBoxState state = list.GetItemState(i);
        lines.AddEntry(state != TCheckBoxState::cbGrayed, state == TCheckBoxState::cbChecked, list.Strings(i), include);
    }
}

} // namespace

void FillItemLists(const TArquivosLb& lines, TCheckListModel& included, TCheckListModel& excluded) {
    included.Clear();
    excluded.Clear();
    for (int i = 1; i < lines.Count(); ++i) {
        if (lines.Lines()[static_cast<size_t>(i)].size() < 3) continue;
        const TCheckBoxState state = !lines.NotGrayed(i)
                                         ? TCheckBoxState::cbGrayed
                                         : (lines.Recurse(i) ? TCheckBoxState::cbChecked : TCheckBoxState::cbUnchecked);
        Append(lines.Include(i) ? included : excluded, lines.GetFileName(i), state);
    }
}

void StoreItemLists(TArquivosLb& lines, const TCheckListModel& included, const TCheckListModel& excluded) {
    std::vector<std::string>& all = lines.Lines();
    if (all.size() > 1) all.resize(1);
    StoreList(lines, included, true);
    StoreList(lines, excluded, false);
}

std::string NormaliseFolderMask(const std::string& text) {
    std::string mask = TrimText(text);
    if (mask.size() <= 1) return "*.*";
    if (mask.front() == '.') mask.insert(mask.begin(), '*');
    return mask;
}

bool AnyFolderPicked(const std::vector<TPickedItem>& items) {
    return std::any_of(items.begin(), items.end(), [](const TPickedItem& i) { return i.Folder && !i.Path.empty(); });
}

int AddPickedItems(TCheckListModel& list, const std::vector<TPickedItem>& items, const std::string& mask,
                   bool subfolders) {
    int added = 0;
    for (const TPickedItem& item : items) {
        if (item.Path.empty() || item.Path.front() != '/') continue;
        std::string text = item.Path;
        if (item.Folder) {
            if (text.size() > 1 && text.back() == '/') text.pop_back();
            text += (text == "/" ? "" : "/") + mask;
        }
        if (Holds(list, text)) continue;
        Append(list, text,
               item.Folder ? (subfolders ? TCheckBoxState::cbChecked : TCheckBoxState::cbUnchecked)
                           : TCheckBoxState::cbGrayed);
        ++added;
    }
    return added;
}

void TransferEntries(TCheckListModel& from, const std::vector<int>& selected, TCheckListModel& to) {
    for (int index : selected) {
        if (index < 0 || index >= from.Count()) continue;
        if (!Holds(to, from.Strings(index))) Append(to, from.Strings(index), from.GetItemState(index));
    }
    RemoveEntries(from, selected);
}

void RemoveEntries(TCheckListModel& list, std::vector<int> selected) {
    std::sort(selected.begin(), selected.end());
    selected.erase(std::unique(selected.begin(), selected.end()), selected.end());
    for (auto it = selected.rbegin(); it != selected.rend(); ++it)
        if (*it >= 0 && *it < list.Count()) list.Delete(*it);
}

void TEntryStateRule::StateChanged(TCheckListModel& list, int index) {
    if (FIgnoreNext) {
        FIgnoreNext = false;
        return;
    }
    if (index < 0 || index >= list.Count()) return;
    const TCheckBoxState state = list.GetItemState(index);
    TCheckBoxState next = state;
    if (state == TCheckBoxState::cbGrayed) next = TCheckBoxState::cbChecked;
    else if (state == TCheckBoxState::cbChecked) next = TCheckBoxState::cbGrayed;
    if (next == state) return;
    FIgnoreNext = true;
    list.SetItemState(index, next);
    // A state set by code raises no event on every list; the mark must not outlive it.
    FIgnoreNext = false;
}

} // namespace mv
