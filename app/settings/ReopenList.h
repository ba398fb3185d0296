#pragma once
// The list of recently opened archives behind the reopen menu: at most MaxHistory
// entries, each with an age number (0 the oldest), shown sorted by name. Kept in the
// registry store under Software\Morvelan\MorvelanLastFiles\HistMenu as C0.. (names) and
// T0.. (age numbers).
#include "platform/RegistryStore.h"

#include <string>
#include <vector>

namespace mv {

struct TReopenItem {
    std::string Caption; // the archive's path
    int Tag = 0;         // age number, 0 the oldest
};

constexpr const char* HistoryKey = "\\Software\\Morvelan\\MorvelanLastFiles\\HistMenu";

class TReopenList {
public:
    int MaxHistory() const { return FMaxHistory; }
    void SetMaxHistory(int value) { FMaxHistory = value < 1 ? 1 : value; }
    const std::vector<TReopenItem>& Items() const { return FItems; }

    // After an open, a listing or an add: an archive already listed (the same path,
    // blanks around ignored) leaves the list as it is; a new one is appended with the
    // next age number, the oldest goes when there are more than MaxHistory, and the
    // entries are sorted by name.
    void UpdateReopenList(const std::string& archiveName);

    // Reads the list from the store. Best effort: an entry whose name or age cannot be
    // read is left out, and a store that cannot be read gives an empty list.
    void Load(platform::RegistryStore& store);
    // Replaces the stored list with this one.
    void Save(platform::RegistryStore& store) const;

private:
    int FMaxHistory = 10;
    std::vector<TReopenItem> FItems;
};

} // namespace mv
