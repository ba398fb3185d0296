#include "platform/ui/Menu.h"

#include "platform/ui/Form.h"
#include "platform/ui/QtBridge.h"

#include <QAction>
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
    if (FEnabled && OnClick) OnClick(this);
}

} // namespace mv
