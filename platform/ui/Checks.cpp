#include "platform/ui/Checks.h"

#include "platform/ui/QtBridge.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QRadioButton>
#include <algorithm>

namespace mv {

// ---- TCheckBox, TRadioButton, TGroupBox ----

TCheckBox::TCheckBox(TComponent* owner) : TWinControl(owner) {
    auto* box = new QCheckBox();
    AttachWidget(box);
    SetTabStop(true);
    SetBounds(0, 0, 97, 17);
    QObject::connect(box, &QCheckBox::clicked, box, [this] { Guarded([this] { TControl::Click(); }); });
}

bool TCheckBox::Checked() const {
    return static_cast<QCheckBox*>(Widget())->isChecked();
}
void TCheckBox::SetChecked(bool value) {
    static_cast<QCheckBox*>(Widget())->setChecked(value);
}
void TCheckBox::SetText(const std::string& value) {
    TControl::SetText(value);
    static_cast<QCheckBox*>(Widget())->setText(ToQ(value));
}

TRadioButton::TRadioButton(TComponent* owner) : TWinControl(owner) {
    auto* button = new QRadioButton();
    AttachWidget(button);
    SetTabStop(true);
    SetBounds(0, 0, 113, 17);
    QObject::connect(button, &QRadioButton::clicked, button,
                     [this] { Guarded([this] { TControl::Click(); }); });
}

bool TRadioButton::Checked() const {
    return static_cast<QRadioButton*>(Widget())->isChecked();
}
void TRadioButton::SetChecked(bool value) {
    static_cast<QRadioButton*>(Widget())->setChecked(value);
}
void TRadioButton::SetText(const std::string& value) {
    TControl::SetText(value);
    static_cast<QRadioButton*>(Widget())->setText(ToQ(value));
}

TGroupBox::TGroupBox(TComponent* owner) : TWinControl(owner) {
    AttachWidget(new QGroupBox());
    SetBounds(0, 0, 185, 105);
}

void TGroupBox::SetText(const std::string& value) {
    TControl::SetText(value);
    static_cast<QGroupBox*>(Widget())->setTitle(ToQ(value));
}

// ---- TRadioGroup ----

TRadioGroup::TRadioGroup(TComponent* owner) : TWinControl(owner) {
    AttachWidget(new QGroupBox());
    SetBounds(0, 0, 185, 105);
    FItems.OnChange = [this] { RebuildButtons(); };
}

TRadioGroup::~TRadioGroup() = default;

void TRadioGroup::SetText(const std::string& value) {
    TControl::SetText(value);
    static_cast<QGroupBox*>(Widget())->setTitle(ToQ(value));
}

void TRadioGroup::RebuildButtons() {
    FButtons.clear();
    for (int i = 0; i < FItems.Count(); ++i) {
        auto owned = std::make_unique<QRadioButton>(ToQ(FItems[i]), Widget());
        QRadioButton* button = owned.get();
        button->setFont(Widget()->font());
        button->setChecked(i == FItemIndex);
        QObject::connect(button, &QRadioButton::clicked, button, [this, i] {
            Guarded([this, i] {
                FItemIndex = i;
                TControl::Click();
            });
        });
        button->show();
        FButtons.push_back(std::move(owned));
    }
    if (FItemIndex >= FItems.Count()) FItemIndex = -1;
    ArrangeButtons();
}

void TRadioGroup::ArrangeButtons() {
    if (FButtons.empty()) return;
    const int columns = std::max(1, FColumns);
    const int rows = (static_cast<int>(FButtons.size()) + columns - 1) / columns;
    const int top = 15, left = 8;
    const int columnWidth = (Width() - left * 2) / columns;
    const int rowHeight = std::max(1, (Height() - top - 4) / std::max(1, rows));
    for (size_t i = 0; i < FButtons.size(); ++i) {
        const int column = static_cast<int>(i) / rows, row = static_cast<int>(i) % rows;
        FButtons[i]->setGeometry(left + column * columnWidth, top + row * rowHeight, columnWidth,
                                 std::min(rowHeight, 20));
    }
}

void TRadioGroup::Resized() {
    TWinControl::Resized();
    ArrangeButtons();
}

void TRadioGroup::SetItemIndex(int value) {
    if (value < -1 || value >= FItems.Count()) value = -1;
    FItemIndex = value;
    for (size_t i = 0; i < FButtons.size(); ++i) FButtons[i]->setChecked(static_cast<int>(i) == value);
}

void TRadioGroup::SetColumns(int value) {
    FColumns = std::clamp(value, 1, 16);
    ArrangeButtons();
}

} // namespace mv
