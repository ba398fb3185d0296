#pragma once
// Menu items: a caption, a hint, a tag and the items below it. Each item owns the Qt
// action that shows it; an item with items below it carries a submenu.
#include "platform/ui/Component.h"

#include <string>
#include <vector>

class QAction;
class QMenu;

namespace mv {

class TMenuItem : public TComponent {
public:
    explicit TMenuItem(TComponent* owner);
    ~TMenuItem() override;

    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& value);
    const std::string& Hint() const { return FHint; }
    void SetHint(const std::string& value);
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);
    bool Visible() const { return FVisible; }
    void SetVisible(bool value);
    bool Checked() const { return FChecked; }
    void SetChecked(bool value);

    TMenuItem* ParentItem() const { return FParentItem; }
    int Count() const { return static_cast<int>(FItems.size()); }
    TMenuItem* Items(int index) const { return FItems.at(static_cast<size_t>(index)); }
    void Add(TMenuItem* item);
    void Remove(TMenuItem* item);
    void Click();
    TNotifyEvent OnClick;

    QAction* Action() const { return FAction; }
    QMenu* SubMenu() const { return FSubMenu; }

private:
    std::string FCaption;
    std::string FHint;
    bool FEnabled = true;
    bool FVisible = true;
    bool FChecked = false;
    TMenuItem* FParentItem = nullptr;
    std::vector<TMenuItem*> FItems;
    QAction* FAction = nullptr;
    QMenu* FSubMenu = nullptr;
};

} // namespace mv
