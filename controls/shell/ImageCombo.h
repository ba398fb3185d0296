#pragma once
// Combo boxes of the shell dialogs: one that reports the list's closing and the end of a
// selection and hands deleted item data to its owner, and the image combo on it whose
// entries show an image from an image list, indented by their level, and a caption.
#include "platform/ui/ImageList.h"
#include "platform/ui/OwnerDrawCombo.h"

#include <functional>
#include <string>

namespace mv {

using TMvDeleteComboItemEvent = std::function<void(TComponent* sender, void* item)>;

class TMvCustomCombobox : public TOwnerDrawComboBox {
public:
    explicit TMvCustomCombobox(TComponent* owner) : TOwnerDrawComboBox(owner) {}
    TMvDeleteComboItemEvent OnDeleteItem;
    TNotifyEvent OnCloseUp, OnSelEndCancel, OnSelEndOk;

protected:
    void DoDeleteItem(void* data) override;
    void DoCloseUp() override;
    void DoSelEndCancel() override;
    void DoSelEndOk() override;
};

class TMvCombobox : public TMvCustomCombobox {
public:
    explicit TMvCombobox(TComponent* owner) : TMvCustomCombobox(owner) {}
};

class TMvCustomImageCombo;

class TMvImageComboItem {
public:
    TMvCustomImageCombo* Combo() const { return FCombo; }
    int Index() const { return FIndex; }
    int Indent() const { return FIndent; }
    void SetIndent(int value) { FIndent = value; }
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int value) { FImageIndex = value; }
    int OverlayIndex() const { return FOverlayIndex; }
    // -1: no overlay; repaints the combo.
    void SetOverlayIndex(int value);
    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& value) { FCaption = value; }
    // An object of the owning control's choosing; never created or freed by the item.
    void* Data() const { return FData; }
    void SetData(void* value) { FData = value; }

private:
    friend class TMvCustomImageCombo;
    TMvCustomImageCombo* FCombo = nullptr;
    int FIndex = -1;
    int FIndent = 0;
    int FImageIndex = -1;
    int FOverlayIndex = -1;
    std::string FCaption;
    void* FData = nullptr;
};

using TMvDeleteImageComboItemEvent = std::function<void(TComponent* sender, TMvImageComboItem* item)>;
using TMvDrawComboItemEvent = std::function<void(TComponent* sender, int index, const TRect& rect, TComboDrawState state)>;

class TMvCustomImageCombo : public TMvCustomCombobox {
public:
    explicit TMvCustomImageCombo(TComponent* owner);
    ~TMvCustomImageCombo() override;

    virtual TMvImageComboItem* AddImageItem(const std::string& caption, int imageIndex, int indent);
    TMvImageComboItem* Item(int index) const;
    TImageList* Images() const { return FImages; }
    void SetImages(TImageList* value);
    int IndentPixels() const { return FIndentPixels; }
    void SetIndentPixels(int value);
    // Item height: the font's text height + 2, or the images' height when larger.
    void UpdateItemHeight();

    // Replaces the base class's event of that name: called with the item object.
    TMvDeleteImageComboItemEvent OnDeleteImageItem;
    // When set, draws the items instead of the combo.
    TMvDrawComboItemEvent OnDrawItem;

protected:
    void DrawItem(int index, const TRect& rect, TComboDrawState state) override;
    void DoDeleteItem(void* data) override;
    void Notification(TComponent* component, TOperation operation) override;
    void FontChanged() override;

private:
    TImageList* FImages = nullptr;
    int FIndentPixels = 12;
    bool FInFontChange = false;
};

class TMvImageCombo : public TMvCustomImageCombo {
public:
    explicit TMvImageCombo(TComponent* owner) : TMvCustomImageCombo(owner) {}
};

} // namespace mv
