#include "platform/ui/Component.h"

#include <algorithm>

namespace mv {

TComponent::TComponent(TComponent* owner) {
    if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
    DestroyComponents();
    if (FOwner) FOwner->RemoveComponent(this);
}

TComponent* TComponent::FindComponent(const std::string& name) const {
    for (TComponent* c : FComponents)
        if (c->FName == name) return c;
    return nullptr;
}

void TComponent::DestroyComponents() {
    // Each destroyed component removes itself (and whatever it destroys in turn) from
    // this list, so the list is read afresh on every round.
    while (!FComponents.empty()) delete FComponents.back();
}

void TComponent::Notification(TComponent*, TOperation) {}

void TComponent::InsertComponent(TComponent* component) {
    FComponents.push_back(component);
    component->FOwner = this;
    Notification(component, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
    auto it = std::find(FComponents.begin(), FComponents.end(), component);
    if (it == FComponents.end()) return;
    FComponents.erase(it);
    component->FOwner = nullptr;
    Notification(component, TOperation::opRemove);
}

} // namespace mv
