#include "platform/ui/Buttons.h"

#include "platform/ui/Form.h"
#include "platform/ui/QtBridge.h"

#include <QIcon>
#include <QPixmap>
#include <QPushButton>
#include <QToolButton>
#include <algorithm>

namespace mv {

// ---- TButton ----

TButton::TButton(TComponent* owner) : TButtonControl(owner) {
    auto* button = new QPushButton();
    AttachWidget(button);
    SetTabStop(true);
    SetBounds(0, 0, 75, 25);
    QObject::connect(button, &QPushButton::clicked, button, [this] { Guarded([this] { Click(); }); });
}

void TButton::SetText(const std::string& value) {
    TControl::SetText(value);
    static_cast<QPushButton*>(Widget())->setText(ToQ(value));
}

void TButton::SetDefault(bool value) {
    TButtonControl::SetDefault(value);
    static_cast<QPushButton*>(Widget())->setDefault(value);
}

void TButton::Click() {
    if (TForm* form = ParentForm(); form && FModalResult != mrNone) form->SetModalResult(FModalResult);
    TControl::Click();
}

// ---- TBitBtn ----

TBitBtn::TBitBtn(TComponent* owner) : TButton(owner) {}

void TBitBtn::GlyphChanged() {
    auto* button = static_cast<QPushButton*>(Widget());
    if (FGlyph.Empty()) {
        button->setIcon(QIcon());
        return;
    }
    button->setIcon(QIcon(QPixmap::fromImage(FGlyph.Data().Image)));
    button->setIconSize(QSize(FGlyph.Width(), FGlyph.Height()));
}

// ---- TSpeedButton ----

TSpeedButton::TSpeedButton(TComponent* owner) : TControl(owner) {
    auto* button = new QToolButton();
    button->setFocusPolicy(Qt::NoFocus);
    AttachWidget(button);
    SetBounds(0, 0, 23, 22);
    QObject::connect(button, &QToolButton::clicked, button, [this] { Guarded([this] { Click(); }); });
}

void TSpeedButton::SetText(const std::string& value) {
    TControl::SetText(value);
    static_cast<QToolButton*>(Widget())->setText(ToQ(value));
}

void TSpeedButton::SetDown(bool value) {
    if (FGroupIndex == 0) value = false;
    if (FDown == value) {
        static_cast<QToolButton*>(Widget())->setChecked(value);
        return;
    }
    if (!value && !FAllowAllUp && FGroupIndex > 0) {
        // The last button of a group that allows no "all up" stays down.
        bool anotherDown = false;
        if (Parent())
            for (int i = 0; i < Parent()->ControlCount(); ++i) {
                auto* other = dynamic_cast<TSpeedButton*>(Parent()->Controls(i));
                if (other && other != this && other->FGroupIndex == FGroupIndex && other->FDown)
                    anotherDown = true;
            }
        if (!anotherDown) {
            static_cast<QToolButton*>(Widget())->setChecked(true);
            return;
        }
    }
    FDown = value;
    static_cast<QToolButton*>(Widget())->setChecked(value);
    if (value && Parent())
        for (int i = 0; i < Parent()->ControlCount(); ++i) {
            auto* other = dynamic_cast<TSpeedButton*>(Parent()->Controls(i));
            if (other && other != this && other->FGroupIndex == FGroupIndex && other->FDown) {
                other->FDown = false;
                static_cast<QToolButton*>(other->Widget())->setChecked(false);
            }
        }
}

void TSpeedButton::SetGroupIndex(int value) {
    FGroupIndex = value;
    static_cast<QToolButton*>(Widget())->setCheckable(value > 0);
}

void TSpeedButton::SetFlat(bool value) {
    FFlat = value;
    static_cast<QToolButton*>(Widget())->setAutoRaise(value);
}

void TSpeedButton::Click() {
    if (FGroupIndex > 0) SetDown(FAllowAllUp ? !FDown : true);
    TControl::Click();
}

} // namespace mv
