#pragma once
// The items of a check list and their three-state checks, apart from any window: the
// state rules (radio items, grayed states, enabled flags), the user's toggling by mouse
// and key, and the saved form of the states ("Count" and "Item<n>" in a section).
#include "controls/toolkit/placement/PlacementModel.h"

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace mv {

enum class TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };
enum class TCheckKind { ckCheckBoxes, ckRadioButtons, ckCheckMarks };

// An index the list does not have: "List index out of bounds (%d)".
class EListError : public std::out_of_range {
public:
    using std::out_of_range::out_of_range;
};

// The check images: 6 columns x 3 rows of 16 x 13 cells; the cell of an item.
constexpr int CheckCellWidth = 16, CheckCellHeight = 13, CheckImageColumns = 6, CheckImageRows = 3;
// The check area at the left of every item.
constexpr int CheckWidth = CheckCellWidth + 2;
int CheckCellIndex(TCheckKind kind, TCheckBoxState state, bool enabled);

class TCheckListModel {
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    const std::string& Strings(int index) const;
    void SetStrings(int index, const std::string& text);
    // Adds in order (sorted case-insensitively when Sorted); returns the new index.
    int Add(const std::string& text);
    void Insert(int index, const std::string& text);
    void Delete(int index);
    void Clear();
    // Moving and exchanging carry each item's state and enabled flag along.
    void Exchange(int a, int b);
    void Move(int from, int to);
    bool Sorted() const { return FSorted; }
    void SetSorted(bool value);

    int32_t Data(int index) const;
    void SetData(int index, int32_t value);

    // The stored state; with radio buttons only checked is reported (grayed reads as
    // unchecked).
    TCheckBoxState GetItemState(int index) const;
    // Sets a state: nothing when it is the current one (unless forced); a radio item is
    // not unchecked directly; checking a radio item unchecks the others (last first).
    // Fires OnStateChange unless reading saved items.
    void SetItemState(int index, TCheckBoxState state);
    bool GetItemChecked(int index) const;
    void SetItemChecked(int index, bool value);
    bool ItemEnabled(int index) const;
    void SetItemEnabled(int index, bool value);
    // Radio buttons: the first checked item or -1; -1 for other kinds.
    int CheckedIndex() const;
    void SetCheckedIndex(int value);
    // Only for check boxes and check marks.
    bool AllowGrayed() const { return FAllowGrayed && FCheckKind != TCheckKind::ckRadioButtons; }
    void SetAllowGrayed(bool value) { FAllowGrayed = value; }
    TCheckKind CheckKind() const { return FCheckKind; }
    void SetCheckKind(TCheckKind value);
    // Check boxes and check marks only: every item (or every enabled one) gets State.
    void SetAllStates(TCheckBoxState state, bool enabledOnly);
    // The user's toggle of an enabled item within the list: unchecked becomes grayed
    // (when allowed) or checked, checked unchecked, grayed checked; then OnClickCheck.
    void ToggleItem(int index);
    // With radio buttons, exactly one item checked (the first checked, else item 0).
    void UpdateCheckStates();

    // The current item (the keyboard's), -1 for none.
    int ItemIndex() const { return FItemIndex; }
    void SetItemIndex(int value);

    // Input: a left press on item `index` (-1: none) at `x` pixels from the item's left
    // edge toggles it inside the check area; space toggles the current item (consumed:
    // true); "+" and "-" check or uncheck every enabled item (check boxes and marks)
    // and fire OnClickCheck once, and are passed on (false).
    void MouseDown(int index, int x);
    bool KeyPress(char key);

    // Saved states: the section is erased, then "Count" and "Item0", "Item1", ... are
    // written with the states as numbers. Loading reads "Count" (limited to the items
    // there are) and sets each state, stopping after the first checked radio item.
    void SaveStates(TPlacementStorage& storage, const std::string& section) const;
    void LoadStates(const TPlacementStorage& storage, const std::string& section);

    // While saved items are read in, state changes fire no event.
    void SetReading(bool value) { FReading = value; }

    std::function<void(int index)> OnStateChange;
    std::function<void()> OnClickCheck;
    // A check area (or, index -1, everything) needs painting again.
    std::function<void(int index)> OnInvalidate;

private:
    struct Item {
        std::string Text;
        int32_t Data = 0;
        TCheckBoxState State = TCheckBoxState::cbUnchecked;
        bool Enabled = true;
    };
    Item& At(int index);
    const Item& At(int index) const;
    void Invalidate(int index) {
        if (OnInvalidate) OnInvalidate(index);
    }
    std::vector<Item> FItems;
    bool FSorted = false;
    bool FAllowGrayed = false;
    TCheckKind FCheckKind = TCheckKind::ckCheckBoxes;
    bool FForce = false;
    bool FReading = false;
    int FItemIndex = -1;
};

} // namespace mv
