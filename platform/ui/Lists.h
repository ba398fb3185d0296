#pragma once
// List boxes, combo boxes, and the column titles of list views.
#include "platform/ui/Control.h"
#include "platform/ui/ItemList.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace mv {

class TCustomListBox : public TWinControl {
public:
    explicit TCustomListBox(TComponent* owner);
    TItemList& Items() { return FItems; }
    int ItemIndex() const;
    void SetItemIndex(int value);
    bool MultiSelect() const { return FMultiSelect; }
    void SetMultiSelect(bool value);
    bool Selected(int index) const;
    void SetSelected(int index, bool value);
    int SelCount() const;

private:
    void Refill();
    TItemList FItems;
    bool FMultiSelect = false;
};

class TListBox : public TCustomListBox {
public:
    explicit TListBox(TComponent* owner) : TCustomListBox(owner) {}
};

enum class TComboBoxStyle { csDropDown, csSimple, csDropDownList };

// An edit field with a drop-down list of items (or a plain drop-down list).
class TComboBox : public TWinControl {
public:
    explicit TComboBox(TComponent* owner);
    TItemList& Items() { return FItems; }
    int ItemIndex() const;
    void SetItemIndex(int value);
    std::string Text() const { return GetText(); }
    void SetTextValue(const std::string& value) { SetText(value); }
    TComboBoxStyle Style() const { return FStyle; }
    void SetStyle(TComboBoxStyle value);
    int DropDownCount() const { return FDropDownCount; }
    void SetDropDownCount(int value);
    TNotifyEvent OnChange;

    // The selection in the edit part, in characters.
    int SelStart() const;
    int SelLength() const;
    // Selects the characters from start to end (end -1: to the end of the text).
    void SetEditSel(int start, int end);
    // Replaces the selection (or inserts at the cursor) as typing does.
    void SetSelText(const std::string& value);

protected:
    std::string GetText() const override;
    void SetText(const std::string& value) override;
    // The text of the edit part changed (by the user or the program); fires OnChange.
    virtual void Change();
    // Moves the focus to the next control of the form, as Tab does.
    void FocusNextControl();
    // Whether the edit part completes typed text by itself from the items (it does
    // unless a control that completes on its own turns it off).
    void SetBuiltInCompletion(bool value);

private:
    void Refill();
    void ApplyCompletion();
    TItemList FItems;
    TComboBoxStyle FStyle = TComboBoxStyle::csDropDown;
    int FDropDownCount = 8;
    bool FFilling = false;
    bool FBuiltInCompletion = true;
};

// A control with column titles (the list views); translation rewrites them.
class TColumnTitles {
public:
    virtual ~TColumnTitles() = default;
    virtual int ColumnTitleCount() const = 0;
    virtual std::string ColumnTitle(int index) const = 0;
    virtual void SetColumnTitle(int index, const std::string& value) = 0;
};

} // namespace mv
