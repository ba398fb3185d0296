#include "platform/ui/PopupMenu.h"

#include "platform/ui/Form.h"
#include "platform/ui/QtBridge.h"

#include <QAction>
#include <QMenu>
#include <QWidget>
#include <map>

namespace mv {

namespace {
TMenuTracker& Tracker() {
    static TMenuTracker tracker;
    return tracker;
}
} // namespace

TMenuTracker SetMenuTracker(TMenuTracker tracker) {
    TMenuTracker old = std::move(Tracker());
    Tracker() = std::move(tracker);
    return old;
}

TPopupMenu::TPopupMenu(TComponent* owner) : TComponent(owner), FItems(new TMenuItem(this)) {}

TPopupMenu::~TPopupMenu() = default;

void TPopupMenu::Popup(int x, int y) {
    if (OnPopup) OnPopup(this);
    if (Tracker().Popup) {
        Tracker().Popup(this, Point(x, y));
        return;
    }
    auto* menu = new QMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (int i = 0; i < FItems->Count(); ++i) menu->addAction(FItems->Items(i)->Action());
    menu->popup(QPoint(x, y));
}

namespace {
void AddEntries(QMenu* menu, const std::vector<TTrackMenuEntry>& entries, std::map<QAction*, int>& ids) {
    for (const TTrackMenuEntry& entry : entries) {
        if (!entry.Items.empty()) {
            QMenu* sub = menu->addMenu(ToQ(entry.Caption));
            AddEntries(sub, entry.Items, ids);
            continue;
        }
        if (entry.Id == 0) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(ToQ(entry.Caption));
        action->setEnabled(!entry.Grayed);
        if (entry.Default) {
            QFont font = action->font();
            font.setBold(true);
            action->setFont(font);
        }
        ids[action] = entry.Id;
    }
}
} // namespace

int TrackPopupMenu(const std::vector<TTrackMenuEntry>& entries, TPoint screen, TControl* owner,
                   const std::function<void(int id)>& highlighted) {
    if (Tracker().Track) return Tracker().Track(entries, screen, highlighted);
    QMenu menu(owner ? owner->Widget() : nullptr);
    std::map<QAction*, int> ids;
    AddEntries(&menu, entries, ids);
    QObject::connect(&menu, &QMenu::hovered, &menu, [&](QAction* action) {
        auto it = ids.find(action);
        if (it != ids.end() && highlighted) Guarded([&] { highlighted(it->second); });
    });
    QAction* chosen = menu.exec(QPoint(screen.X, screen.Y));
    auto it = ids.find(chosen);
    return it == ids.end() ? 0 : it->second;
}

TPoint ClientToScreen(const TControl& control, TPoint point) {
    if (!control.Widget()) return point;
    const QPoint p = control.Widget()->mapToGlobal(QPoint(point.X, point.Y));
    return Point(p.x(), p.y());
}

TPoint ScreenToClient(const TControl& control, TPoint point) {
    if (!control.Widget()) return point;
    const QPoint p = control.Widget()->mapFromGlobal(QPoint(point.X, point.Y));
    return Point(p.x(), p.y());
}

} // namespace mv
