#include "platform/ui/ItemList.h"

#include "platform/ui/QtBridge.h"

#include <algorithm>

namespace mv {

// ---- TItemList ----

void TItemList::SetStrings(int index, const std::string& value) {
    FItems.at(static_cast<size_t>(index)) = value;
    Changed();
}

int TItemList::Add(const std::string& value) {
    FItems.push_back(value);
    Changed();
    return Count() - 1;
}

void TItemList::Insert(int index, const std::string& value) {
    index = std::clamp(index, 0, Count());
    FItems.insert(FItems.begin() + index, value);
    Changed();
}

void TItemList::Delete(int index) {
    if (index < 0 || index >= Count()) return;
    FItems.erase(FItems.begin() + index);
    Changed();
}

void TItemList::Clear() {
    FItems.clear();
    Changed();
}

int TItemList::IndexOf(const std::string& value) const {
    auto it = std::find(FItems.begin(), FItems.end(), value);
    return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

void TItemList::Assign(const std::vector<std::string>& values) {
    FItems = values;
    Changed();
}

} // namespace mv
