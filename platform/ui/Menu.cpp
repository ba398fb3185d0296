#include "platform/ui/Menu.h"

#include "platform/ui/Form.h"
#include "platform/ui/QtBridge.h"

#include <QAction>
#include <QActionGroup>
#include <QFont>
#include <QKeySequence>
#include <QMenu>
#include <algorithm>

namespace mv {

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner) {
    EnsureApplication();
    FAction = new QAction();
    QObject::connect(FAction, &QAction::triggered, FAction, [this] { Guarded([this] { Click(); }); });
}

TMenuItem::~TMenuItem() {
    if (FParentItem) FParentItem->Remove(this);
    for (TMenuItem* item : FItems) item->FParentItem = nullptr;
    // The action may be delivering this item's click: Qt deletes it afterwards.
    QObject::disconnect(FAction, nullptr, nullptr, nullptr);
    if (FSubMenu) FSubMenu->deleteLater();
    if (FRadioGroup) {
        FRadioGroup->removeAction(FAction);
        FRadioGroup->deleteLater();
    }
    FAction->deleteLater();
}

void TMenuItem::SetCaption(const std::string& value) {
    FCaption = value;
    FAction->setText(ToQ(value));
    FAction->setSeparator(value == "-");
}

void TMenuItem::SetHint(const std::string& value) {
    FHint = value;
    FAction->setStatusTip(ToQ(value));
    FAction->setToolTip(ToQ(value));
}

void TMenuItem::SetEnabled(bool value) {
    FEnabled = value;
    FAction->setEnabled(value);
}

void TMenuItem::SetVisible(bool value) {
    FVisible = value;
    FAction->setVisible(value);
}

void TMenuItem::SetChecked(bool value) {
    FChecked = value;
    FAction->setCheckable(value || FAction->isCheckable());
    FAction->setChecked(value);
    if (value && FRadioItem && FParentItem)
        for (TMenuItem* sibling : FParentItem->FItems)
            if (sibling != this && sibling->FRadioItem && sibling->FGroupIndex == FGroupIndex && sibling->FChecked)
                sibling->SetChecked(false);
}

void TMenuItem::SetShortCut(const std::string& value) {
    FShortCut = value;
    FAction->setShortcut(QKeySequence(ToQ(value)));
    // The form's window holds the action (see TMenuBar), so the key works while it is active.
    FAction->setShortcutContext(Qt::WindowShortcut);
}

void TMenuItem::SetDefault(bool value) {
    FDefault = value;
    QFont font = FAction->font();
    font.setBold(value);
    FAction->setFont(font);
}

void TMenuItem::SetRadioItem(bool value) {
    FRadioItem = value;
    if (value && !FRadioGroup) {
        // A group of one: Qt draws the round mark for the actions of an exclusive group,
        // and the checks of the siblings are kept by SetChecked, not by Qt.
        FRadioGroup = new QActionGroup(nullptr);
        FRadioGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
        FRadioGroup->addAction(FAction);
    } else if (!value && FRadioGroup) {
        FRadioGroup->removeAction(FAction);
        FRadioGroup->deleteLater();
        FRadioGroup = nullptr;
    }
    FAction->setCheckable(value || FChecked);
}

void TMenuItem::SetGroupIndex(int value) {
    FGroupIndex = value;
}

void TMenuItem::Add(TMenuItem* item) {
    if (!item || item->FParentItem == this) return;
    if (item->FParentItem) item->FParentItem->Remove(item);
    if (!FSubMenu) {
        FSubMenu = new QMenu();
        FAction->setMenu(FSubMenu);
    }
    FItems.push_back(item);
    item->FParentItem = this;
    FSubMenu->addAction(item->FAction);
}

void TMenuItem::Remove(TMenuItem* item) {
    auto it = std::find(FItems.begin(), FItems.end(), item);
    if (it == FItems.end()) return;
    FItems.erase(it);
    item->FParentItem = nullptr;
    if (FSubMenu) FSubMenu->removeAction(item->FAction);
}

void TMenuItem::Click() {
    // Qt toggles a checkable action as it triggers it; the item's own state rules.
    if (FAction->isCheckable() && FAction->isChecked() != FChecked) FAction->setChecked(FChecked);
    if (FEnabled && OnClick) OnClick(this);
}

} // namespace mv
