#pragma once
// A drop-down list combo box whose items the control draws itself: each item carries a
// text and a data pointer; the closed field and every row of the list are painted by
// DrawItem on Canvas. It reports the list's closing and the end of a selection (taken
// or cancelled), hands every deleted item's data to DoDeleteItem, and can take the
// arrow keys to open the list (the extended user interface).
#include "platform/ui/Control.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace mv {

using TComboDrawState = uint32_t;
// A selected row; the combo's own closed field.
constexpr TComboDrawState odsSelected = 0x1, odsComboBoxEdit = 0x1000;

class TOwnerDrawComboBox : public TWinControl {
public:
    explicit TOwnerDrawComboBox(TComponent* owner);
    ~TOwnerDrawComboBox() override;

    int Count() const { return static_cast<int>(FData.size()); }
    // Appends an item; its position.
    int AddItem(const std::string& text, void* data);
    void DeleteItem(int index);
    void ClearItems();
    void* ItemData(int index) const;
    std::string ItemText(int index) const;
    int ItemIndex() const;
    void SetItemIndex(int value);
    int ItemHeight() const { return FItemHeight; }
    void SetItemHeight(int value);
    int DropDownCount() const { return FDropDownCount; }
    void SetDropDownCount(int value);
    bool DroppedDown() const;
    void SetDroppedDown(bool value);
    bool ExtendedUI() const { return FExtendedUI; }
    void SetExtendedUI(bool value) { FExtendedUI = value; }
    TCanvas& Canvas() { return *FCanvas; }
    // The list's own picture (for screenshots): the open list below the field.
    bool SaveDroppedDownImage(const std::string& pngPath);
    // Paints one item as the list or the field would, onto a bitmap of the rect's size.
    void PaintItemTo(TBitmap& bitmap, int index, TComboDrawState state);

    TNotifyEvent OnChange;

protected:
    // Draws an item (index -1: the field with nothing selected) in rect on Canvas, whose
    // font and brush are set for the state. The default writes the text.
    virtual void DrawItem(int index, const TRect& rect, TComboDrawState state);
    virtual void DoDeleteItem(void* /*data*/) {}
    virtual void DoCloseUp() {}
    virtual void DoSelEndOk() {}
    virtual void DoSelEndCancel() {}
    // The colour the background is erased with: the owner form's, else the window colour.
    TColor BackgroundColor() const;

private:
    friend class OwnerDrawComboWidget;
    friend class OwnerDrawComboDelegate;
    void PaintItem(int index, const TRect& rect, TComboDrawState state);
    std::vector<void*> FData;
    int FItemHeight = 16;
    int FDropDownCount = 8;
    bool FExtendedUI = true;
    bool FActivated = false;
    std::unique_ptr<TCanvas> FCanvas;
};

} // namespace mv
