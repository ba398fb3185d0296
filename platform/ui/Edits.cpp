#include "platform/ui/Edits.h"

#include "platform/ui/QtBridge.h"

#include <QLineEdit>
#include <algorithm>

namespace mv {

// ---- TEdit ----

TEdit::TEdit(TComponent* owner) : TWinControl(owner) {
    auto* edit = new QLineEdit();
    AttachWidget(edit);
    SetTabStop(true);
    SetBounds(0, 0, 121, 21);
    QObject::connect(edit, &QLineEdit::textChanged, edit, [this] {
        Guarded([this] {
            if (OnChange) OnChange(this);
        });
    });
}

std::string TEdit::GetText() const {
    return FromQ(static_cast<QLineEdit*>(Widget())->text());
}

void TEdit::SetText(const std::string& value) {
    static_cast<QLineEdit*>(Widget())->setText(ToQ(value));
}

void TEdit::SetMaxLength(int value) {
    FMaxLength = value;
    static_cast<QLineEdit*>(Widget())->setMaxLength(value > 0 ? value : 32767);
}

void TEdit::SetPasswordChar(char value) {
    FPasswordChar = value;
    static_cast<QLineEdit*>(Widget())->setEchoMode(value ? QLineEdit::Password : QLineEdit::Normal);
}

void TEdit::SetReadOnly(bool value) {
    FReadOnly = value;
    static_cast<QLineEdit*>(Widget())->setReadOnly(value);
}

void TEdit::SelectAll() {
    static_cast<QLineEdit*>(Widget())->selectAll();
}

} // namespace mv
