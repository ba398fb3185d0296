#pragma once
// The root of the desktop class library: components with a name, a tag and an owner.
// An owner destroys the components it owns when it is destroyed; a component that is
// destroyed first leaves its owner's list and tells the owner through Notification.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace mv {

class TComponent;

using TNotifyEvent = std::function<void(TComponent* sender)>;

enum class TOperation { opInsert, opRemove };

class TComponent {
public:
    explicit TComponent(TComponent* owner);
    virtual ~TComponent();
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return FOwner; }
    // The name of the component's class without its namespace ("TForm", ...).
    std::string ClassName() const;
    const std::string& Name() const { return FName; }
    void SetName(const std::string& value) { FName = value; }
    intptr_t Tag() const { return FTag; }
    void SetTag(intptr_t value) { FTag = value; }

    // The owned components in the order they were created.
    int ComponentCount() const { return static_cast<int>(FComponents.size()); }
    TComponent* Components(int index) const { return FComponents.at(static_cast<size_t>(index)); }
    // The owned component of that name, or null.
    TComponent* FindComponent(const std::string& name) const;
    // Destroys every owned component, last created first.
    void DestroyComponents();

    // Asks to hear (through Notification with opRemove) when `component` is destroyed,
    // though this one does not own it. Either side may go first.
    void FreeNotification(TComponent* component);
    void RemoveFreeNotification(TComponent* component);
    // True from the start of destruction on; handlers use it to skip work on a
    // component that is going away.
    bool Destroying() const { return FDestroying; }

protected:
    // Marks the component as being destroyed; derived destructors call it first, so
    // that what they trigger already sees the mark.
    void BeginDestruction() { FDestroying = true; }
    // Called on the owner when a component is inserted into or removed from its list,
    // and on every component that asked for FreeNotification when one is destroyed.
    virtual void Notification(TComponent* component, TOperation operation);

private:
    void InsertComponent(TComponent* component);
    void RemoveComponent(TComponent* component);

    TComponent* FOwner = nullptr;
    std::string FName;
    intptr_t FTag = 0;
    std::vector<TComponent*> FComponents;
    std::vector<TComponent*> FFreeNotifies;
    bool FDestroying = false;
};

} // namespace mv
