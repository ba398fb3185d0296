#include "controls/toolkit/placement/WindowHook.h"

#include "platform/ui/Form.h"

#include <algorithm>
#include <exception>

namespace mv {
namespace {

// Errors of a hook's handler go to the application's handler; the other hooks still run.
template <typename Fn> void Reported(Fn&& fn) {
    try {
        fn();
    } catch (const std::exception& e) {
        EnsureApplication().HandleException(e);
    } catch (...) {
        EnsureApplication().HandleException(std::string("Unknown error"));
    }
}

} // namespace

// ---- TMvWindowHook ----

TMvWindowHook::TMvWindowHook(TComponent* owner) : TComponent(owner) {}

TMvWindowHook::~TMvWindowHook() {
    FActive = false;
    SetWinControl(nullptr);
}

void TMvWindowHook::SetActive(bool value) {
    if (FActive == value) return;
    FActive = value;
    if (value)
        HookControl();
    else
        UnhookControl();
}

TWinControl* TMvWindowHook::WinControl() const {
    return FControlHook ? FControlHook->Control() : FControl;
}

void TMvWindowHook::HookControl() {
    if (!FActive || !FControl || Destroying() || FControlHook) return;
    TControlHook* hook = THookList::Instance().FindOrCreate(FControl);
    hook->AddHook(this);
}

void TMvWindowHook::UnhookControl() {
    if (FControlHook) FControlHook->RemoveHook(this);
}

void TMvWindowHook::SetWinControl(TWinControl* value) {
    if (value == FControl) return;
    const bool wasActive = FActive;
    TControlHook* old = FControlHook;
    UnhookControl();
    if (FControl) RemoveFreeNotification(FControl);
    FControl = value;
    if (value) FreeNotification(value);
    if (old && old->HookCount() == 0) THookList::Instance().DeferFree(old);
    if (wasActive && value) HookControl();
}

void TMvWindowHook::DoBeforeMessage(TMessage& msg, bool& handled) {
    if (BeforeMessage) BeforeMessage(this, msg, handled);
}

void TMvWindowHook::DoAfterMessage(TMessage& msg, bool& handled) {
    if (AfterMessage) AfterMessage(this, msg, handled);
}

void TMvWindowHook::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove && component == FControl) SetWinControl(nullptr);
}

// ---- TControlHook ----

TControlHook::TControlHook(TWinControl* control) : TComponent(nullptr), FControl(control) {
    if (control) FreeNotification(control);
}

TControlHook::~TControlHook() {
    FDestroying = true;
    BeginDestruction();
    while (!FHooks.empty()) {
        TMvWindowHook* hook = FHooks.back();
        RemoveHook(hook);
    }
    UnhookControl();
}

void TControlHook::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove && component == FControl) {
        FControl = nullptr;
        FHooked = false;
        FPrevProc = nullptr;
    }
}

void TControlHook::AddHook(TMvWindowHook* hook) {
    if (std::find(FHooks.begin(), FHooks.end(), hook) == FHooks.end()) FHooks.push_back(hook);
    hook->FControlHook = this;
    HookControl();
}

void TControlHook::RemoveHook(TMvWindowHook* hook) {
    hook->FControlHook = nullptr;
    FHooks.erase(std::remove(FHooks.begin(), FHooks.end(), hook), FHooks.end());
    if (FHooks.empty()) UnhookControl();
}

void TControlHook::HookControl() {
    if (!FControl || FControl->Destroying() || FDestroying) return;
    if (FControl->WindowProcInstaller() == this) return;
    FPrevProc = FControl->WindowProc();
    FControl->SetWindowProc([this](TMessage& msg) { WndProc(msg); }, this);
    FHooked = true;
}

void TControlHook::UnhookControl() {
    if (FControl && FHooked && FControl->WindowProcInstaller() == this)
        FControl->SetWindowProc(FPrevProc, nullptr);
    // A procedure installed over this one stays; the chain below it is not touched.
    FPrevProc = nullptr;
    FHooked = false;
}

void TControlHook::NotifyHooks(bool before, TMessage& msg, bool& handled) {
    if (FHooks.empty() || !FControl || FDestroying) return;
    // While the control is being destroyed only its destroy message is told.
    if (FControl->Destroying() && msg.Msg != WM_DESTROY) return;
    // The last attached hook first; a copy, as handlers may attach or detach hooks.
    const std::vector<TMvWindowHook*> hooks = FHooks;
    for (auto it = hooks.rbegin(); it != hooks.rend(); ++it) {
        if (std::find(FHooks.begin(), FHooks.end(), *it) == FHooks.end()) continue;
        TMvWindowHook* hook = *it;
        Reported([&] {
            if (before)
                hook->DoBeforeMessage(msg, handled);
            else
                hook->DoAfterMessage(msg, handled);
        });
        if (handled) break;
    }
}

void TControlHook::WndProc(TMessage& msg) {
    if (!FControl) return;
    bool handled = false;
    if (msg.Msg != WM_QUIT) NotifyHooks(true, msg, handled);
    if (!handled || msg.Msg == WM_DESTROY) {
        const TWndMethod previous = FPrevProc;
        try {
            if (previous)
                previous(msg);
            else
                FControl->DefWindowProc(msg);
        } catch (...) {
            // The hooks hear of the message even when the control's procedure failed.
            bool afterHandled = false;
            NotifyHooks(false, msg, afterHandled);
            throw;
        }
        bool afterHandled = false;
        NotifyHooks(false, msg, afterHandled);
    }
    if (msg.Msg == WM_DESTROY && FControl) {
        UnhookControl();
        // Windows are not made again here: a destroyed control is gone for good, so
        // this hook forgets it instead of hooking it again later.
        if (FControl->Destroying())
            FControl = nullptr;
        else
            PostMessage(&THookList::Instance().Window(), CM_RECREATEWINDOW, 0,
                        reinterpret_cast<intptr_t>(this));
    }
}

// ---- THookList ----

THookList& THookList::Instance() {
    static THookList list;
    return list;
}

THookList::~THookList() {
    FDestroying = true;
    while (!FHooks.empty()) {
        std::unique_ptr<TControlHook> hook = std::move(FHooks.back());
        FHooks.pop_back();
    }
    FWindow.reset();
}

TMessageWindow& THookList::Window() {
    if (!FWindow) FWindow = std::make_unique<TMessageWindow>([this](TMessage& msg) { HandleMessage(msg); });
    return *FWindow;
}

TControlHook* THookList::Find(TWinControl* control) const {
    for (const auto& hook : FHooks)
        if (hook->Control() == control) return hook.get();
    return nullptr;
}

TControlHook* THookList::FindOrCreate(TWinControl* control) {
    if (TControlHook* hook = Find(control)) return hook;
    FHooks.push_back(std::make_unique<TControlHook>(control));
    return FHooks.back().get();
}

void THookList::DeferFree(TControlHook* hook) {
    if (FDestroying) return;
    PostMessage(&Window(), CM_DESTROYHOOK, 0, reinterpret_cast<intptr_t>(hook));
}

void THookList::Remove(TControlHook* hook) {
    FHooks.erase(std::remove_if(FHooks.begin(), FHooks.end(), [&](const auto& h) { return h.get() == hook; }),
                 FHooks.end());
}

void THookList::HandleMessage(TMessage& msg) {
    auto* target = reinterpret_cast<TControlHook*>(msg.LParam);
    auto it = std::find_if(FHooks.begin(), FHooks.end(), [&](const auto& h) { return h.get() == target; });
    if (it == FHooks.end()) return; // freed already
    if (msg.Msg == CM_RECREATEWINDOW) {
        if ((*it)->HookCount() > 0) (*it)->HookControl();
    } else if (msg.Msg == CM_DESTROYHOOK) {
        // Only when it is still listed and still has no hooks.
        if ((*it)->HookCount() == 0) FHooks.erase(it);
    }
}

} // namespace mv
