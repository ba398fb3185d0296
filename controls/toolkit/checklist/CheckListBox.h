#pragma once
// The check list box: a list whose items each carry a three-state check, drawn as a
// check box, a radio button or a check mark left of the text, and an enabled flag.
// The user toggles a check by clicking in the check area or with space; "+" and "-"
// check or uncheck every item. The states can be kept in a form placement's section.
// The logic lives in TCheckListModel; this control draws it and feeds it input.
#include "controls/toolkit/checklist/CheckListModel.h"
#include "controls/toolkit/placement/FormPlacement.h"
#include "platform/ui/CustomControl.h"

#include <functional>
#include <memory>
#include <string>

namespace mv {

enum class TListBoxStyle { lbStandard, lbOwnerDrawFixed };
using TDrawItemEvent =
    std::function<void(TComponent* control, int index, const TRect& rect, TOwnerDrawState state)>;

// The check images (6 x 3 cells of 16 x 13: check boxes, radio buttons, check marks;
// enabled unchecked, checked, grayed, then the same disabled), drawn once for the
// whole program; their see-through colour is the bottom-left pixel's.
const TBitmap& CheckImages();

class TMvCheckListBox : public TCustomControl {
public:
    explicit TMvCheckListBox(TComponent* owner);
    ~TMvCheckListBox() override;

    // The items, their states and the rules.
    TCheckListModel& Items() { return FModel; }
    const TCheckListModel& Items() const { return FModel; }
    TCheckBoxState GetItemState(int index) const { return FModel.GetItemState(index); }
    void SetItemState(int index, TCheckBoxState state) { FModel.SetItemState(index, state); }
    bool GetItemChecked(int index) const { return FModel.GetItemChecked(index); }
    void SetItemChecked(int index, bool value) { FModel.SetItemChecked(index, value); }
    bool ItemEnabled(int index) const { return FModel.ItemEnabled(index); }
    void SetItemEnabled(int index, bool value) { FModel.SetItemEnabled(index, value); }
    int CheckedIndex() const { return FModel.CheckedIndex(); }
    void SetCheckedIndex(int value) { FModel.SetCheckedIndex(value); }
    bool AllowGrayed() const { return FModel.AllowGrayed(); }
    void SetAllowGrayed(bool value) { FModel.SetAllowGrayed(value); }
    TCheckKind CheckKind() const { return FModel.CheckKind(); }
    void SetCheckKind(TCheckKind value) { FModel.SetCheckKind(value); }
    void SetAllStates(TCheckBoxState state, bool enabledOnly) { FModel.SetAllStates(state, enabledOnly); }
    void ToggleItem(int index) { FModel.ToggleItem(index); }
    void Clear() { FModel.Clear(); }
    int ItemIndex() const { return FModel.ItemIndex(); }
    void SetItemIndex(int value);

    // The height of an item: the larger of the font's height of "Wg" and the cell's,
    // and with lbOwnerDrawFixed at least ItemHeight as set (16).
    int ItemHeight() const;
    void SetItemHeight(int value);
    TListBoxStyle Style() const { return FStyle; }
    void SetStyle(TListBoxStyle value);
    int TopIndex() const { return FTopIndex; }
    void SetTopIndex(int value);
    // Selected items are drawn on the button face instead while the list has no focus.
    bool GraySelection() const { return FGraySelection; }
    void SetGraySelection(bool value);
    // Tab stops every Round(TabWidth x width of "0" / 4) pixels; 0: no tab stops.
    int TabWidth() const { return FTabWidth; }
    void SetTabWidth(int value);
    // The item at a point (-1 for none; with existing false, where an item would be).
    int ItemAtPos(const TPoint& point, bool existing) const;
    TRect ItemRect(int index) const;

    // The placement whose save and restore also keep the check states.
    TFormPlacement* IniStorage() const { return FIniLink.IniObject(); }
    void SetIniStorage(TFormPlacement* value) { FIniLink.SetIniObject(value); }
    // The section the states go to: the placement's root section and this control's
    // default section.
    std::string StatesSection() const;

    TNotifyEvent OnClickCheck;
    std::function<void(TComponent* sender, int index)> OnStateChange;
    // Draws an item's text part (lbOwnerDrawFixed only); unassigned: the text.
    TDrawItemEvent OnDrawItem;

    void Paint() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void KeyDown(uint16_t& key, TShiftState shift) override;
    void KeyPress(char& key) override;

protected:
    virtual void DoClickCheck();
    virtual void DoStateChange(int index);
    // Draws the text part of an item.
    virtual void DrawItem(int index, const TRect& rect, TOwnerDrawState state);
    void Scrolled(int position) override;
    void Resized() override;
    void FontChanged() override;

private:
    void UpdateScroll();
    void MakeVisible(int index);
    TCheckListModel FModel;
    TIniLink FIniLink;
    TBitmap FCell;
    TListBoxStyle FStyle = TListBoxStyle::lbStandard;
    int FItemHeight = 16;
    int FTopIndex = 0;
    bool FGraySelection = false;
    int FTabWidth = 0;
};

} // namespace mv
