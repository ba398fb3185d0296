#pragma once
// Window hooks: a component that watches, and may swallow, every message of one
// windowed control through events before and after the control's own window
// procedure. Hooks on one control share one control hook, which replaces the control's
// window procedure while any hook is attached; all control hooks live in one
// program-wide list with a hidden window for work deferred until the current message
// is done.
#include "platform/ui/Component.h"
#include "platform/ui/Control.h"

#include <functional>
#include <memory>
#include <vector>

namespace mv {

// The list's own messages: hook a control again, free an empty control hook (LParam:
// the control hook).
constexpr uint32_t CM_RECREATEWINDOW = 0xB052, CM_DESTROYHOOK = 0xB053;

using THookMessageEvent = std::function<void(TComponent* sender, TMessage& msg, bool& handled)>;

class TControlHook;

class TMvWindowHook : public TComponent {
public:
    explicit TMvWindowHook(TComponent* owner);
    ~TMvWindowHook() override;

    bool Active() const { return FActive; }
    void SetActive(bool value);
    // The control of the attached control hook, else the one asked for.
    TWinControl* WinControl() const;
    void SetWinControl(TWinControl* value);

    THookMessageEvent BeforeMessage;
    THookMessageEvent AfterMessage;

    // Attaches to the control's control hook (made when missing) or detaches.
    void HookControl();
    void UnhookControl();

protected:
    virtual void DoBeforeMessage(TMessage& msg, bool& handled);
    virtual void DoAfterMessage(TMessage& msg, bool& handled);
    void Notification(TComponent* component, TOperation operation) override;

private:
    friend class TControlHook;
    bool FActive = true;
    TWinControl* FControl = nullptr;
    TControlHook* FControlHook = nullptr;
};

// The shared window procedure of one control. It hears of its control's end, so that
// it never touches a control that is gone.
class TControlHook : public TComponent {
public:
    explicit TControlHook(TWinControl* control);
    ~TControlHook() override;
    TControlHook(const TControlHook&) = delete;
    TControlHook& operator=(const TControlHook&) = delete;

    TWinControl* Control() const { return FControl; }
    int HookCount() const { return static_cast<int>(FHooks.size()); }
    bool Hooked() const { return FHooked; }
    void AddHook(TMvWindowHook* hook);
    void RemoveHook(TMvWindowHook* hook);
    // Puts this hook's window procedure in place (keeping the one it replaces), or the
    // replaced one back when this one is still in place; over a procedure installed
    // later, unhooking leaves the chain as it is.
    void HookControl();
    void UnhookControl();

protected:
    void Notification(TComponent* component, TOperation operation) override;

private:
    void WndProc(TMessage& msg);
    void NotifyHooks(bool before, TMessage& msg, bool& handled);
    TWinControl* FControl;
    TWndMethod FPrevProc;
    bool FHooked = false;
    bool FDestroying = false;
    std::vector<TMvWindowHook*> FHooks;
};

// The program-wide list of control hooks.
class THookList {
public:
    static THookList& Instance();
    ~THookList();
    TControlHook* Find(TWinControl* control) const;
    TControlHook* FindOrCreate(TWinControl* control);
    int Count() const { return static_cast<int>(FHooks.size()); }
    // Frees an empty control hook once the current message is done.
    void DeferFree(TControlHook* hook);
    // Takes a control hook out of the list (it is being destroyed).
    void Remove(TControlHook* hook);
    // The hidden window the deferred work is posted to.
    TMessageWindow& Window();

private:
    THookList() = default;
    void HandleMessage(TMessage& msg);
    std::vector<std::unique_ptr<TControlHook>> FHooks;
    std::unique_ptr<TMessageWindow> FWindow;
    bool FDestroying = false;
};

} // namespace mv
