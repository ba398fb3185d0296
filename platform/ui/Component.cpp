#include "platform/ui/Component.h"

#include <algorithm>
#include <cstdlib>
#include <cxxabi.h>
#include <memory>
#include <typeinfo>

namespace mv {

TComponent::TComponent(TComponent* owner) {
    if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
    FDestroying = true;
    // Those that asked to hear of this one's end hear it before anything is torn down.
    while (!FFreeNotifies.empty()) {
        TComponent* other = FFreeNotifies.back();
        FFreeNotifies.pop_back();
        auto& theirs = other->FFreeNotifies;
        theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
        other->Notification(this, TOperation::opRemove);
    }
    DestroyComponents();
    if (FOwner) FOwner->RemoveComponent(this);
}

void TComponent::FreeNotification(TComponent* component) {
    if (!component || component == this) return;
    if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), component) == FFreeNotifies.end())
        FFreeNotifies.push_back(component);
    auto& theirs = component->FFreeNotifies;
    if (std::find(theirs.begin(), theirs.end(), this) == theirs.end()) theirs.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
    if (!component) return;
    FFreeNotifies.erase(std::remove(FFreeNotifies.begin(), FFreeNotifies.end(), component),
                        FFreeNotifies.end());
    auto& theirs = component->FFreeNotifies;
    theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
}

std::string TComponent::ClassName() const {
    const char* mangled = typeid(*this).name();
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(abi::__cxa_demangle(mangled, nullptr, nullptr, &status),
                                                     std::free);
    std::string name = status == 0 && demangled ? demangled.get() : mangled;
    const size_t colon = name.rfind("::");
    return colon == std::string::npos ? name : name.substr(colon + 2);
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
