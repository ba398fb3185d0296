#pragma once
// A combo box that completes the text typed into its edit part with the first item that
// begins with it, forces the case of typed letters, and turns a chosen key (Enter by
// default) into a move to the next control.
#include "controls/toolkit/files/TypeAheadModel.h"
#include "platform/ui/Lists.h"

#include <cstdint>
#include <functional>
#include <string>

namespace mv {

// Key: the last key code; completeWith holds the rest to add and may be changed;
// doComplete false refuses the completion.
using TOnComplete =
    std::function<void(TComponent* sender, uint16_t key, std::string& completeWith, bool& doComplete)>;

class TTypeAheadCombo : public TComboBox {
public:
    explicit TTypeAheadCombo(TComponent* owner);

    TEditCharCase CharCase() const { return FCharCase; }
    void SetCharCase(TEditCharCase value);
    bool Complete() const { return FComplete; }
    void SetComplete(bool value) { FComplete = value; }
    uint16_t MinLengthComplete() const { return FMinLengthComplete; }
    void SetMinLengthComplete(uint16_t value) { FMinLengthComplete = value; }
    char EditKeyByTab() const { return FEditKeyByTab; }
    void SetEditKeyByTab(char value) { FEditKeyByTab = value; }
    TOnComplete OnComplete;

    void KeyDown(uint16_t& key, TShiftState shift) override;
    void KeyPress(char& key) override;

protected:
    void Change() override;
    void SetText(const std::string& value) override;

private:
    TEditCharCase FCharCase = TEditCharCase::ecUpperCase;
    bool FComplete = true;
    uint16_t FLastKey = 0;
    uint16_t FMinLengthComplete = 0;
    char FEditKeyByTab = '\r';
    bool FCompleting = false;
    bool FSettingText = false;
};

} // namespace mv
