#pragma once
// Menu items: a caption, a hint, a tag and the items below it. Each item owns the Qt
// action that shows it; an item with items below it carries a submenu.
#include "platform/ui/Component.h"

#include <string>
#include <vector>

class QAction;
class QActionGroup;
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
    // A radio item checked unchecks the other radio items of its group among its siblings.
    void SetChecked(bool value);
    // The key combination shown beside the caption and working while the menu's form is
    // active, in portable text ("Ctrl+O", "F5", "Del"); empty for none.
    const std::string& ShortCut() const { return FShortCut; }
    void SetShortCut(const std::string& value);
    // The item a double-click on the menu's owner chooses: shown in bold.
    bool Default() const { return FDefault; }
    void SetDefault(bool value);
    // Shown with a round mark when checked; one of its group is checked at a time.
    bool RadioItem() const { return FRadioItem; }
    void SetRadioItem(bool value);
    int GroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(int value);

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
    std::string FShortCut;
    bool FDefault = false;
    bool FRadioItem = false;
    int FGroupIndex = 0;
    QActionGroup* FRadioGroup = nullptr; // shows the round mark; the exclusion is ours
    TMenuItem* FParentItem = nullptr;
    std::vector<TMenuItem*> FItems;
    QAction* FAction = nullptr;
    QMenu* FSubMenu = nullptr;
};

} // namespace mv
