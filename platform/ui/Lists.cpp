#include "platform/ui/Lists.h"

#include "platform/ui/QtBridge.h"

#include <QComboBox>
#include <QListWidget>
#include <algorithm>

namespace mv {

// ---- TCustomListBox ----

TCustomListBox::TCustomListBox(TComponent* owner) : TWinControl(owner) {
    auto* list = new QListWidget();
    AttachWidget(list);
    SetTabStop(true);
    SetBounds(0, 0, 121, 97);
    FItems.OnChange = [this] { Refill(); };
    QObject::connect(list, &QListWidget::itemClicked, list,
                     [this] { Guarded([this] { TControl::Click(); }); });
}

void TCustomListBox::Refill() {
    auto* list = static_cast<QListWidget*>(Widget());
    list->clear();
    for (const auto& line : FItems.Lines()) list->addItem(ToQ(line));
}

int TCustomListBox::ItemIndex() const {
    return static_cast<QListWidget*>(Widget())->currentRow();
}
void TCustomListBox::SetItemIndex(int value) {
    static_cast<QListWidget*>(Widget())->setCurrentRow(value);
}

void TCustomListBox::SetMultiSelect(bool value) {
    FMultiSelect = value;
    static_cast<QListWidget*>(Widget())->setSelectionMode(value ? QAbstractItemView::ExtendedSelection
                                                                : QAbstractItemView::SingleSelection);
}

bool TCustomListBox::Selected(int index) const {
    auto* item = static_cast<QListWidget*>(Widget())->item(index);
    return item && item->isSelected();
}

void TCustomListBox::SetSelected(int index, bool value) {
    if (auto* item = static_cast<QListWidget*>(Widget())->item(index)) item->setSelected(value);
}

int TCustomListBox::SelCount() const {
    return static_cast<int>(static_cast<QListWidget*>(Widget())->selectedItems().size());
}

// ---- TComboBox ----

TComboBox::TComboBox(TComponent* owner) : TWinControl(owner) {
    auto* combo = new QComboBox();
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    AttachWidget(combo);
    SetTabStop(true);
    SetBounds(0, 0, 145, 21);
    FItems.OnChange = [this] { Refill(); };
    auto changed = [this] {
        if (FFilling) return;
        Guarded([this] {
            if (OnChange) OnChange(this);
        });
    };
    QObject::connect(combo, &QComboBox::currentTextChanged, combo, changed);
}

void TComboBox::Refill() {
    auto* combo = static_cast<QComboBox*>(Widget());
    const QString text = combo->currentText();
    FFilling = true;
    combo->clear();
    for (const auto& line : FItems.Lines()) combo->addItem(ToQ(line));
    if (FStyle == TComboBoxStyle::csDropDownList)
        combo->setCurrentIndex(-1);
    else
        combo->setEditText(text);
    FFilling = false;
}

int TComboBox::ItemIndex() const {
    auto* combo = static_cast<QComboBox*>(Widget());
    // An edited text that is no item selects nothing.
    const int index = combo->currentIndex();
    if (index >= 0 && combo->isEditable() && combo->currentText() != combo->itemText(index)) return -1;
    return index;
}

void TComboBox::SetItemIndex(int value) {
    auto* combo = static_cast<QComboBox*>(Widget());
    combo->setCurrentIndex(value >= 0 && value < FItems.Count() ? value : -1);
    if (value < 0 && combo->isEditable()) combo->setEditText(QString());
}

std::string TComboBox::GetText() const {
    return FromQ(static_cast<QComboBox*>(Widget())->currentText());
}

void TComboBox::SetText(const std::string& value) {
    auto* combo = static_cast<QComboBox*>(Widget());
    if (combo->isEditable())
        combo->setEditText(ToQ(value));
    else
        combo->setCurrentIndex(combo->findText(ToQ(value)));
}

void TComboBox::SetStyle(TComboBoxStyle value) {
    FStyle = value;
    static_cast<QComboBox*>(Widget())->setEditable(value != TComboBoxStyle::csDropDownList);
    static_cast<QComboBox*>(Widget())->setInsertPolicy(QComboBox::NoInsert);
}

void TComboBox::SetDropDownCount(int value) {
    FDropDownCount = value;
    static_cast<QComboBox*>(Widget())->setMaxVisibleItems(std::max(1, value));
}

} // namespace mv
