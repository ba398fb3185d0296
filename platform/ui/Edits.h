#pragma once
// Edit fields.
#include "platform/ui/Control.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace mv {

class TEdit : public TWinControl {
public:
    explicit TEdit(TComponent* owner);
    std::string Text() const { return GetText(); }
    void SetTextValue(const std::string& value) { SetText(value); }
    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int value);
    char PasswordChar() const { return FPasswordChar; }
    void SetPasswordChar(char value);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value);
    void SelectAll();
    TNotifyEvent OnChange;

protected:
    std::string GetText() const override;
    void SetText(const std::string& value) override;

private:
    int FMaxLength = 0;
    char FPasswordChar = 0;
    bool FReadOnly = false;
};

// A multi-line edit field: its text holds the lines separated by "\n".
class TMemo : public TWinControl {
public:
    explicit TMemo(TComponent* owner);
    std::string Text() const { return GetText(); }
    void SetTextValue(const std::string& value) { SetText(value); }
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool value);
    TNotifyEvent OnChange;

protected:
    std::string GetText() const override;
    void SetText(const std::string& value) override;

private:
    bool FReadOnly = false;
    bool FWordWrap = true;
};

} // namespace mv
