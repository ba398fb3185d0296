#include "controls/toolkit/checklist/CheckListModel.h"

#include <algorithm>
#include <cctype>

namespace mv {
namespace {

bool LessNoCase(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
}

} // namespace

int CheckCellIndex(TCheckKind kind, TCheckBoxState state, bool enabled) {
    return CheckImageColumns * static_cast<int>(kind) + (enabled ? 0 : 3) + static_cast<int>(state);
}

TCheckListModel::Item& TCheckListModel::At(int index) {
    if (index < 0 || index >= Count())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return FItems[static_cast<size_t>(index)];
}

const TCheckListModel::Item& TCheckListModel::At(int index) const {
    return const_cast<TCheckListModel*>(this)->At(index);
}

const std::string& TCheckListModel::Strings(int index) const {
    return At(index).Text;
}

void TCheckListModel::SetStrings(int index, const std::string& text) {
    At(index).Text = text;
    Invalidate(-1);
}

int TCheckListModel::Add(const std::string& text) {
    int index = Count();
    if (FSorted)
        index = static_cast<int>(
            std::upper_bound(FItems.begin(), FItems.end(), text,
                             [](const std::string& t, const Item& i) { return LessNoCase(t, i.Text); }) -
            FItems.begin());
    FItems.insert(FItems.begin() + index, Item{text});
    if (FItemIndex >= index) ++FItemIndex;
    Invalidate(-1);
    return index;
}

void TCheckListModel::Insert(int index, const std::string& text) {
    if (index < 0 || index > Count())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    FItems.insert(FItems.begin() + index, Item{text});
    if (FItemIndex >= index) ++FItemIndex;
    Invalidate(-1);
}

void TCheckListModel::Delete(int index) {
    At(index);
    FItems.erase(FItems.begin() + index);
    if (FItemIndex == index)
        FItemIndex = -1;
    else if (FItemIndex > index)
        --FItemIndex;
    Invalidate(-1);
}

void TCheckListModel::Clear() {
    FItems.clear();
    FItemIndex = -1;
    Invalidate(-1);
}

void TCheckListModel::Exchange(int a, int b) {
    std::swap(At(a), At(b));
    Invalidate(-1);
}

void TCheckListModel::Move(int from, int to) {
    Item item = At(from);
    At(to);
    FItems.erase(FItems.begin() + from);
    FItems.insert(FItems.begin() + to, item);
    Invalidate(-1);
}

void TCheckListModel::SetSorted(bool value) {
    if (FSorted == value) return;
    FSorted = value;
    // States and enabled flags travel with their items.
    if (value)
        std::stable_sort(FItems.begin(), FItems.end(),
                         [](const Item& a, const Item& b) { return LessNoCase(a.Text, b.Text); });
    Invalidate(-1);
}

int32_t TCheckListModel::Data(int index) const {
    return At(index).Data;
}

void TCheckListModel::SetData(int index, int32_t value) {
    At(index).Data = value;
}

TCheckBoxState TCheckListModel::GetItemState(int index) const {
    const TCheckBoxState state = At(index).State;
    if (FCheckKind == TCheckKind::ckRadioButtons && state != TCheckBoxState::cbChecked)
        return TCheckBoxState::cbUnchecked;
    return state;
}

void TCheckListModel::SetItemState(int index, TCheckBoxState state) {
    if (state == GetItemState(index) && !FForce) return;
    if (FCheckKind == TCheckKind::ckRadioButtons && state == TCheckBoxState::cbUnchecked &&
        GetItemState(index) == TCheckBoxState::cbChecked)
        return; // a radio item is unchecked only by checking another
    At(index).State = state;
    if (FCheckKind == TCheckKind::ckRadioButtons && state == TCheckBoxState::cbChecked)
        for (int i = Count() - 1; i >= 0; --i)
            if (i != index && GetItemState(i) == TCheckBoxState::cbChecked) {
                At(i).State = TCheckBoxState::cbUnchecked;
                Invalidate(i);
            }
    Invalidate(index);
    if (!FReading && OnStateChange) OnStateChange(index);
}

bool TCheckListModel::GetItemChecked(int index) const {
    return GetItemState(index) == TCheckBoxState::cbChecked;
}

void TCheckListModel::SetItemChecked(int index, bool value) {
    SetItemState(index, value ? TCheckBoxState::cbChecked : TCheckBoxState::cbUnchecked);
}

bool TCheckListModel::ItemEnabled(int index) const {
    return At(index).Enabled;
}

void TCheckListModel::SetItemEnabled(int index, bool value) {
    if (At(index).Enabled == value) return;
    At(index).Enabled = value;
    Invalidate(index);
}

int TCheckListModel::CheckedIndex() const {
    if (FCheckKind != TCheckKind::ckRadioButtons) return -1;
    for (int i = 0; i < Count(); ++i)
        if (GetItemState(i) == TCheckBoxState::cbChecked) return i;
    return -1;
}

void TCheckListModel::SetCheckedIndex(int value) {
    if (FCheckKind == TCheckKind::ckRadioButtons && Count() > 0)
        SetItemState(std::max(value, 0), TCheckBoxState::cbChecked);
}

void TCheckListModel::SetCheckKind(TCheckKind value) {
    if (FCheckKind == value) return;
    FCheckKind = value;
    UpdateCheckStates();
    Invalidate(-1);
}

void TCheckListModel::SetAllStates(TCheckBoxState state, bool enabledOnly) {
    if (FCheckKind == TCheckKind::ckRadioButtons) return;
    for (int i = 0; i < Count(); ++i)
        if (!enabledOnly || ItemEnabled(i)) SetItemState(i, state);
}

void TCheckListModel::ToggleItem(int index) {
    if (index < 0 || index >= Count() || !ItemEnabled(index)) return;
    TCheckBoxState next = TCheckBoxState::cbChecked;
    switch (GetItemState(index)) {
    case TCheckBoxState::cbUnchecked:
        next = AllowGrayed() ? TCheckBoxState::cbGrayed : TCheckBoxState::cbChecked;
        break;
    case TCheckBoxState::cbChecked:
        next = TCheckBoxState::cbUnchecked;
        break;
    case TCheckBoxState::cbGrayed:
        next = TCheckBoxState::cbChecked;
        break;
    }
    SetItemState(index, next);
    if (OnClickCheck) OnClickCheck();
}

void TCheckListModel::UpdateCheckStates() {
    if (FCheckKind != TCheckKind::ckRadioButtons || Count() == 0) return;
    FForce = true;
    SetItemState(std::max(CheckedIndex(), 0), TCheckBoxState::cbChecked);
    FForce = false;
}

void TCheckListModel::SetItemIndex(int value) {
    FItemIndex = value >= 0 && value < Count() ? value : -1;
    Invalidate(-1);
}

void TCheckListModel::MouseDown(int index, int x) {
    if (index < 0 || index >= Count()) return;
    SetItemIndex(index);
    if (x >= 0 && x < CheckWidth) ToggleItem(index);
}

bool TCheckListModel::KeyPress(char key) {
    switch (key) {
    case ' ':
        ToggleItem(FItemIndex);
        return true;
    case '+':
    case '-':
        if (FCheckKind != TCheckKind::ckRadioButtons) {
            SetAllStates(key == '+' ? TCheckBoxState::cbChecked : TCheckBoxState::cbUnchecked, true);
            if (OnClickCheck) OnClickCheck();
        }
        return false;
    default:
        return false;
    }
}

void TCheckListModel::SaveStates(TPlacementStorage& storage, const std::string& section) const {
    storage.EraseSection(section);
    storage.WriteInteger(section, "Count", Count());
    for (int i = 0; i < Count(); ++i)
        storage.WriteInteger(section, "Item" + std::to_string(i), static_cast<int>(GetItemState(i)));
}

void TCheckListModel::LoadStates(const TPlacementStorage& storage, const std::string& section) {
    const int count = std::min(storage.ReadInteger(section, "Count", 0), Count());
    for (int i = 0; i < count; ++i) {
        const int value = storage.ReadInteger(section, "Item" + std::to_string(i), 0);
        // Stored numbers outside the three states read as unchecked.
        const TCheckBoxState state =
            value >= 0 && value <= 2 ? static_cast<TCheckBoxState>(value) : TCheckBoxState::cbUnchecked;
        SetItemState(i, state);
        if (FCheckKind == TCheckKind::ckRadioButtons && state == TCheckBoxState::cbChecked) break;
    }
}

} // namespace mv
