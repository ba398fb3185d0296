#pragma once
// Check boxes, radio buttons, group boxes and radio groups.
#include "platform/ui/Control.h"
#include "platform/ui/ItemList.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QRadioButton;

namespace mv {

class TCheckBox : public TWinControl {
public:
    explicit TCheckBox(TComponent* owner);
    bool Checked() const;
    void SetChecked(bool value);

protected:
    void SetText(const std::string& value) override;
};

class TRadioButton : public TWinControl {
public:
    explicit TRadioButton(TComponent* owner);
    bool Checked() const;
    void SetChecked(bool value);

protected:
    void SetText(const std::string& value) override;
};

class TGroupBox : public TWinControl {
public:
    explicit TGroupBox(TComponent* owner);

protected:
    void SetText(const std::string& value) override;
};

// A group box holding one radio button per item.
class TRadioGroup : public TWinControl {
public:
    explicit TRadioGroup(TComponent* owner);
    ~TRadioGroup() override;
    TItemList& Items() { return FItems; }
    int ItemIndex() const { return FItemIndex; }
    void SetItemIndex(int value);
    int Columns() const { return FColumns; }
    void SetColumns(int value);

protected:
    void SetText(const std::string& value) override;
    void Resized() override;

private:
    void RebuildButtons();
    void ArrangeButtons();
    TItemList FItems;
    int FItemIndex = -1;
    int FColumns = 1;
    std::vector<std::unique_ptr<QRadioButton>> FButtons;
};

} // namespace mv
