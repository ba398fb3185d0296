#pragma once
// The menu bar of a form: a line along the top of its client area that shows the
// items below one root menu item as the menus the user opens. The items' shortcuts
// work while the form is active. A menu that draws its items itself answers
// OnMeasureItem and OnDrawItem: the bar and its pop-ups then size and paint each item
// through those answers; an item the handlers leave alone looks as usual.
#include "platform/ui/Control.h"
#include "platform/ui/Graphics.h"

#include <functional>
#include <memory>

class QAction;
class QMenuBar;

namespace mv {

class TMenuItem;

// True when the handler sized the item (width and height set).
using TMenuBarMeasureEvent = std::function<bool(TMenuItem* item, int& width, int& height)>;
// True when the handler painted the item on the canvas inside rect.
using TMenuBarDrawEvent =
    std::function<bool(TMenuItem* item, TCanvas& canvas, const TRect& rect, TOwnerDrawState state)>;

class TMenuBar : public TWinControl {
public:
    explicit TMenuBar(TComponent* owner);
    ~TMenuBar() override;

    TMenuItem* Items() const { return FItems; }
    // Shows the children of root; null empties the bar.
    void SetItems(TMenuItem* root);
    // The children of the root changed (added, removed): the bar and every pop-up below
    // it are made again from the items.
    void Rebuild();

    TMenuBarMeasureEvent OnMeasureItem;
    TMenuBarDrawEvent OnDrawItem;

    // The item shown by an action of the bar or of one of its pop-ups, or null.
    TMenuItem* ItemOfAction(const QAction* action) const;
    // How many items were sized and painted by the handlers (for callers that check the
    // drawing reaches them).
    int OwnerMeasured() const { return FOwnerMeasured; }
    int OwnerPainted() const { return FOwnerPainted; }

    // Internal: the style of the bar and its pop-ups asks through these.
    bool MeasureThrough(const QAction* action, int& width, int& height);
    bool PaintThrough(const QAction* action, void* painter, const TRect& rect, TOwnerDrawState state);

private:
    void StyleMenus(TMenuItem* item);
    QMenuBar* FBar = nullptr;
    TMenuItem* FItems = nullptr;
    void* FStyle = nullptr; // the proxy style (owned by the bar's widget)
    int FOwnerMeasured = 0;
    int FOwnerPainted = 0;
};

} // namespace mv
