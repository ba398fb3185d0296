#include "platform/ui/Edits.h"

#include "platform/ui/QtBridge.h"

#include <QLineEdit>
#include <QPlainTextEdit>
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

// ---- TMemo ----

TMemo::TMemo(TComponent* owner) : TWinControl(owner) {
    auto* edit = new QPlainTextEdit();
    edit->setTabChangesFocus(true);
    AttachWidget(edit);
    SetTabStop(true);
    SetBounds(0, 0, 185, 89);
    QObject::connect(edit, &QPlainTextEdit::textChanged, edit, [this] {
        Guarded([this] {
            if (OnChange) OnChange(this);
        });
    });
}

std::string TMemo::GetText() const {
    return FromQ(static_cast<QPlainTextEdit*>(Widget())->toPlainText());
}

void TMemo::SetText(const std::string& value) {
    auto* edit = static_cast<QPlainTextEdit*>(Widget());
    if (FromQ(edit->toPlainText()) != value) edit->setPlainText(ToQ(value));
}

void TMemo::SetReadOnly(bool value) {
    FReadOnly = value;
    static_cast<QPlainTextEdit*>(Widget())->setReadOnly(value);
}

void TMemo::SetWordWrap(bool value) {
    FWordWrap = value;
    static_cast<QPlainTextEdit*>(Widget())->setLineWrapMode(value ? QPlainTextEdit::WidgetWidth
                                                                  : QPlainTextEdit::NoWrap);
}

} // namespace mv
