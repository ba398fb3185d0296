#include "platform/ui/Lists.h"

#include "platform/ui/QtBridge.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
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
        Guarded([this] { Change(); });
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
    ApplyCompletion();
}

void TComboBox::Change() {
    if (OnChange) OnChange(this);
}

void TComboBox::SetBuiltInCompletion(bool value) {
    FBuiltInCompletion = value;
    ApplyCompletion();
}

void TComboBox::ApplyCompletion() {
    auto* combo = static_cast<QComboBox*>(Widget());
    if (!FBuiltInCompletion && combo->isEditable()) combo->setCompleter(nullptr);
}

namespace {

// Positions in the edit part count characters; Qt counts UTF-16 units.
int UnitsToChars(const QString& text, int units) {
    return static_cast<int>(text.left(units).toUcs4().size());
}
int CharsToUnits(const QString& text, int chars) {
    int units = 0;
    for (int c = 0; c < chars && units < text.size(); ++c)
        units += text.at(units).isHighSurrogate() && units + 1 < text.size() ? 2 : 1;
    return units;
}

} // namespace

int TComboBox::SelStart() const {
    auto* edit = static_cast<QComboBox*>(Widget())->lineEdit();
    if (!edit) return 0;
    const int units = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
    return UnitsToChars(edit->text(), units);
}

int TComboBox::SelLength() const {
    auto* edit = static_cast<QComboBox*>(Widget())->lineEdit();
    if (!edit || !edit->hasSelectedText()) return 0;
    const int start = edit->selectionStart();
    return UnitsToChars(edit->text(), start + static_cast<int>(edit->selectedText().size())) -
           UnitsToChars(edit->text(), start);
}

void TComboBox::SetEditSel(int start, int end) {
    auto* edit = static_cast<QComboBox*>(Widget())->lineEdit();
    if (!edit) return;
    const QString text = edit->text();
    const int from = CharsToUnits(text, std::max(0, start));
    const int to = end < 0 ? static_cast<int>(text.size()) : CharsToUnits(text, end);
    edit->setSelection(from, std::max(0, to - from));
    // setSelection leaves the cursor at the end of the selection, as the edit control does.
}

void TComboBox::SetSelText(const std::string& value) {
    if (auto* edit = static_cast<QComboBox*>(Widget())->lineEdit()) edit->insert(ToQ(value));
}

void TComboBox::FocusNextControl() {
    QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
    QApplication::sendEvent(Widget(), &tab);
}

void TComboBox::SetDropDownCount(int value) {
    FDropDownCount = value;
    static_cast<QComboBox*>(Widget())->setMaxVisibleItems(std::max(1, value));
}

} // namespace mv
