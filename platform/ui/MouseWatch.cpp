#include "platform/ui/MouseWatch.h"

#include "platform/ui/Form.h"
#include "platform/ui/QtBridge.h"

#include <QApplication>
#include <QMouseEvent>
#include <QObject>

namespace mv {

namespace {

struct WatchState {
    TMouseWatchHandler Handler;
    TPoint Last;
    QObject* Filter = nullptr;
};

WatchState& State() {
    static WatchState state;
    return state;
}

// Sees every event the application delivers. Moves without a button reach only the
// widgets that track the mouse, but every one reaches its window first: the watch
// hears them there.
class MouseWatchFilter : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseMove && (watched->isWidgetType() || watched->isWindowType())) {
            const QPoint at = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
            const TPoint p{at.x(), at.y()};
            // One move is seen by its window and then by the widgets it travels through.
            if (!(p == State().Last)) Guarded([&] { WatchMouseMove(p); });
        }
        return false;
    }
};

void EnsureFilter() {
    if (State().Filter) return;
    EnsureApplication();
    State().Filter = new MouseWatchFilter();
    State().Filter->setParent(qApp);
    qApp->installEventFilter(State().Filter);
}

} // namespace

TMouseWatchHandler SetMouseWatchHandler(TMouseWatchHandler handler) {
    EnsureFilter();
    TMouseWatchHandler old = std::move(State().Handler);
    State().Handler = std::move(handler);
    return old;
}

const TMouseWatchHandler& MouseWatchHandler() {
    return State().Handler;
}

TPoint LastMousePosition() {
    return State().Last;
}

void WatchMouseMove(const TPoint& screen) {
    State().Last = screen;
    if (State().Handler) {
        TMouseWatchHandler handler = State().Handler; // it may replace itself
        handler(screen);
    }
}

} // namespace mv
