#include "controls/shell/ImageCombo.h"

#include <cstdlib>

namespace mv {

void TMvCustomCombobox::DoDeleteItem(void* data) {
    if (OnDeleteItem) OnDeleteItem(this, data);
}
void TMvCustomCombobox::DoCloseUp() {
    if (OnCloseUp) OnCloseUp(this);
}
void TMvCustomCombobox::DoSelEndCancel() {
    if (OnSelEndCancel) OnSelEndCancel(this);
}
void TMvCustomCombobox::DoSelEndOk() {
    if (OnSelEndOk) OnSelEndOk(this);
}

void TMvImageComboItem::SetOverlayIndex(int value) {
    FOverlayIndex = value;
    if (FCombo) FCombo->Invalidate();
}

TMvCustomImageCombo::TMvCustomImageCombo(TComponent* owner) : TMvCustomCombobox(owner) {
    SetExtendedUI(true);
    UpdateItemHeight();
}

TMvCustomImageCombo::~TMvCustomImageCombo() {
    // Every item object is freed through DoDeleteItem while this class still stands.
    ClearItems();
    if (FImages) FImages->RemoveFreeNotification(this);
}

TMvImageComboItem* TMvCustomImageCombo::AddImageItem(const std::string& caption, int imageIndex, int indent) {
    auto* item = new TMvImageComboItem; // owned by its entry: freed in DoDeleteItem
    item->FCombo = this;
    item->FCaption = caption;
    item->FImageIndex = imageIndex;
    item->FIndent = indent;
    item->FIndex = AddItem("", item);
    return item;
}

TMvImageComboItem* TMvCustomImageCombo::Item(int index) const {
    return static_cast<TMvImageComboItem*>(ItemData(index));
}

void TMvCustomImageCombo::SetImages(TImageList* value) {
    if (FImages == value) return;
    if (FImages) FImages->RemoveFreeNotification(this);
    FImages = value;
    if (FImages) FImages->FreeNotification(this);
    Invalidate();
    UpdateItemHeight();
}

void TMvCustomImageCombo::SetIndentPixels(int value) {
    if (value == FIndentPixels) return;
    FIndentPixels = value;
    Invalidate();
}

void TMvCustomImageCombo::UpdateItemHeight() {
    TCanvas& canvas = Canvas();
    canvas.Font().Assign(Font());
    int height = std::abs(canvas.TextHeight("Wy")) + 2;
    if (FImages && FImages->Height() > height) height = FImages->Height();
    SetItemHeight(height);
}

void TMvCustomImageCombo::FontChanged() {
    TMvCustomCombobox::FontChanged();
    if (FInFontChange) return;
    FInFontChange = true;
    UpdateItemHeight();
    FInFontChange = false;
}

void TMvCustomImageCombo::Notification(TComponent* component, TOperation operation) {
    TMvCustomCombobox::Notification(component, operation);
    if (operation == TOperation::opRemove && component == FImages) {
        FImages = nullptr;
        Invalidate();
    }
}

void TMvCustomImageCombo::DoDeleteItem(void* data) {
    auto* item = static_cast<TMvImageComboItem*>(data);
    if (OnDeleteImageItem) OnDeleteImageItem(this, item);
    delete item;
}

void TMvCustomImageCombo::DrawItem(int index, const TRect& rect, TComboDrawState state) {
    if (OnDrawItem) {
        OnDrawItem(this, index, rect, state);
        return;
    }
    TMvImageComboItem* item = Item(index);
    if (!item) return;
    TCanvas& canvas = Canvas();
    const bool selected = (state & odsSelected) != 0;
    // The closed combo's own field draws its entry without indentation.
    const int level = (state & odsComboBoxEdit) ? 0 : item->Indent();
    const TColor highlight = canvas.BrushColor();
    canvas.SetBrushColor(Color());
    canvas.FillRect(rect);
    int x0 = 4 + level * FIndentPixels + rect.Left + 1;
    if (FImages) {
        TDrawingStyle style = TDrawingStyle::dsNormal;
        if (selected) {
            FImages->SetBlendColor(clHighlight);
            style = TDrawingStyle::dsSelected;
        }
        const int x = level * FIndentPixels + rect.Left + 2;
        const int y = (rect.Top + rect.Bottom - FImages->Height()) / 2;
        if (item->OverlayIndex() >= 0) FImages->DrawOverlay(canvas, x, y, item->ImageIndex(), item->OverlayIndex());
        else FImages->Draw(canvas, x, y, item->ImageIndex(), style, TImageType::itImage);
        x0 = FImages->Width() + 4 + level * FIndentPixels + rect.Left + 1;
    }
    if (!item->Caption().empty()) {
        // Only the caption's rectangle shows the highlight.
        canvas.SetBrushColor(selected ? clHighlight : highlight);
        const TRect text = Rect(x0, rect.Top, x0 + canvas.TextWidth(item->Caption()) + 3, rect.Bottom);
        canvas.TextRect(text, x0 + 1, rect.Top + 1, item->Caption());
    }
}

} // namespace mv
