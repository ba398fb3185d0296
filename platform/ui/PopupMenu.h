#pragma once
// Popup menus: a component holding menu items that pops up at a screen point, and the
// tracked menu of entries built on the fly (a context menu) that returns the chosen
// entry's identifier instead of firing events. Both go through a replaceable tracker so
// that tests see and answer every menu shown.
#include "platform/ui/Control.h"
#include "platform/ui/Menu.h"

#include <functional>
#include <string>
#include <vector>

namespace mv {

class TPopupMenu : public TComponent {
public:
    explicit TPopupMenu(TComponent* owner);
    ~TPopupMenu() override;
    TMenuItem* Items() const { return FItems; }
    // The control the menu was popped up for.
    TComponent* PopupComponent() const { return FPopupComponent; }
    void SetPopupComponent(TComponent* value) { FPopupComponent = value; }
    // Popped up by the control's own right click.
    bool AutoPopup() const { return FAutoPopup; }
    void SetAutoPopup(bool value) { FAutoPopup = value; }
    // Shows the menu at a screen point (without waiting).
    virtual void Popup(int x, int y);
    TNotifyEvent OnPopup;

private:
    TMenuItem* FItems;
    TComponent* FPopupComponent = nullptr;
    bool FAutoPopup = true;
};

// One entry of a tracked menu: Id 0 with no items is a separator.
struct TTrackMenuEntry {
    int Id = 0;
    std::string Caption;
    bool Default = false;
    bool Grayed = false;
    std::vector<TTrackMenuEntry> Items;
};

// Shows entries at a screen point and waits for a choice: the identifier chosen, 0 when
// the menu was closed. highlighted hears each entry the pointer or keys move to.
int TrackPopupMenu(const std::vector<TTrackMenuEntry>& entries, TPoint screen, TControl* owner,
                   const std::function<void(int id)>& highlighted);

// What a test puts in place of the screen: it sees every popup (the menu, null for a
// tracked menu, and its entries) and answers tracked menus with an identifier.
struct TMenuTracker {
    std::function<void(TPopupMenu* menu, TPoint screen)> Popup;
    std::function<int(const std::vector<TTrackMenuEntry>& entries, TPoint screen,
                      const std::function<void(int id)>& highlighted)>
        Track;
};
// Replaces the tracker (an empty one: menus are shown on screen); the old one back.
TMenuTracker SetMenuTracker(TMenuTracker tracker);

// A control's point in screen coordinates, and back.
TPoint ClientToScreen(const TControl& control, TPoint point);
TPoint ScreenToClient(const TControl& control, TPoint point);

} // namespace mv
