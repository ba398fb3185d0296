#include "controls/toolkit/files/TypeAheadCombo.h"

namespace mv {

namespace {
constexpr uint16_t VK_BACK = 0x08, VK_DELETE = 0x2E;
}

TTypeAheadCombo::TTypeAheadCombo(TComponent* owner) : TComboBox(owner) {
    // The completion below is the only one: the edit part's own would fight it.
    SetBuiltInCompletion(false);
}

void TTypeAheadCombo::SetCharCase(TEditCharCase value) {
    if (value == FCharCase) return;
    FCharCase = value;
    // The edit part takes the case at once, as a new window with the style would.
    if (Style() != TComboBoxStyle::csDropDownList) {
        FCompleting = true;
        SetTextValue(ApplyCharCase(Text(), value));
        FCompleting = false;
    }
}

void TTypeAheadCombo::KeyDown(uint16_t& key, TShiftState shift) {
    TComboBox::KeyDown(key, shift);
    if (key == 0) return;
    FLastKey = key;
    // Control characters arrive as key codes only (Enter is 13, Esc 27).
    if (static_cast<unsigned char>(FEditKeyByTab) < 0x20 &&
        key == static_cast<unsigned char>(FEditKeyByTab) && shift == 0) {
        key = 0;
        FocusNextControl();
    }
}

void TTypeAheadCombo::KeyPress(char& key) {
    const char typed = key;
    key = CaseOfKey(key, FCharCase);
    if (key == FEditKeyByTab) {
        key = 0;
        FocusNextControl();
        return;
    }
    TComboBox::KeyPress(key);
    if (key != 0 && key != typed) {
        // The key was replaced: the edit part gets the replacement, as if typed.
        const char replacement = key;
        key = 0;
        SetSelText(std::string(1, replacement));
    }
}

void TTypeAheadCombo::SetText(const std::string& value) {
    // Text set by the program is not typed: it is not completed.
    const bool was = FSettingText;
    FSettingText = true;
    TComboBox::SetText(value);
    FSettingText = was;
}

void TTypeAheadCombo::Change() {
    if (FCompleting) return; // the completion's own text change
    TComboBox::Change();
    if (FSettingText || !FComplete || Style() == TComboBoxStyle::csDropDownList) return;
    if (FLastKey == VK_BACK || FLastKey == VK_DELETE) return;
    const std::string text = Text();
    const size_t typed = CharCount(text);
    // An emptied field stays empty: there is nothing typed to complete.
    if (typed == 0 || typed < FMinLengthComplete || Items().Count() == 0) return;
    std::string rest;
    if (FindCompletion(text, Items().Lines(), rest) < 0) return;
    bool doComplete = true;
    if (OnComplete) OnComplete(this, FLastKey, rest, doComplete);
    if (!doComplete) return;
    FCompleting = true;
    SetTextValue(ApplyCharCase(text + rest, FCharCase));
    FCompleting = false;
    SetEditSel(static_cast<int>(typed), -1);
}

} // namespace mv
