#include "platform/ui/Docking.h"

#include "platform/ui/QtBridge.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QScreen>
#include <QWidget>
#include <utility>
#include <vector>

namespace mv {

void MakeFloatingToolForm(TForm& host, TForm* owner, bool onTopOfAll) {
    QWidget* w = host.Widget();
    const bool wasVisible = w->isVisible();
    Qt::WindowFlags flags = Qt::Tool | Qt::FramelessWindowHint;
    if (onTopOfAll) flags |= Qt::WindowStaysOnTopHint;
    if (owner && owner->Widget() && !onTopOfAll)
        w->setParent(owner->Widget(), flags);
    else
        w->setParent(nullptr, flags);
    w->setAttribute(Qt::WA_ShowWithoutActivating);
    w->move(host.Left(), host.Top());
    if (wasVisible) w->show();
}

TPoint ControlToScreen(const TControl& control, TPoint point) {
    const QPoint p = control.Widget()->mapToGlobal(QPoint(point.X, point.Y));
    return {p.x(), p.y()};
}

TRect ScreenRectOf(const TControl& control) {
    const TPoint p = ControlToScreen(control, {0, 0});
    return Bounds(p.X, p.Y, control.Widget()->width(), control.Widget()->height());
}

bool ControlShowing(const TControl& control) {
    return control.Widget() && control.Widget()->isVisible();
}

TPoint CursorScreenPos() {
    const QPoint p = QCursor::pos();
    return {p.x(), p.y()};
}

void ActivateForm(TForm& form) {
    if (!form.Widget()) return;
    form.Widget()->raise();
    form.Widget()->activateWindow();
}

bool FormActive(const TForm& form) {
    return form.Widget() && form.Widget()->isActiveWindow();
}

bool ApplicationActive() {
    return QApplication::activeWindow() != nullptr;
}

namespace {
struct ActivationListeners {
    std::vector<std::pair<int, std::function<void()>>> List;
    int Next = 1;
    QMetaObject::Connection Connection;
};
ActivationListeners& Listeners() {
    static ActivationListeners listeners;
    return listeners;
}
} // namespace

int AddActivationListener(std::function<void()> fn) {
    auto& l = Listeners();
    if (l.List.empty() && qApp)
        l.Connection = QObject::connect(qApp, &QGuiApplication::applicationStateChanged, [](Qt::ApplicationState) {
            const auto copy = Listeners().List;
            for (const auto& [id, f] : copy) Guarded(f);
        });
    l.List.emplace_back(l.Next, std::move(fn));
    return l.Next++;
}

void RemoveActivationListener(int id) {
    auto& l = Listeners();
    std::erase_if(l.List, [id](const auto& e) { return e.first == id; });
    if (l.List.empty()) QObject::disconnect(l.Connection);
}

void GrabKeyboard(TControl& control) {
    if (control.Widget() && control.Widget()->isVisible()) control.Widget()->grabKeyboard();
}

void ReleaseKeyboard(TControl& control) {
    if (control.Widget()) control.Widget()->releaseKeyboard();
}

void SetForbiddenCursor(bool on) {
    static bool active = false;
    if (on == active) return;
    active = on;
    if (on)
        QGuiApplication::setOverrideCursor(Qt::ForbiddenCursor);
    else
        QGuiApplication::restoreOverrideCursor();
}

TRect WorkAreaAt(TPoint point) {
    QScreen* screen = QGuiApplication::screenAt(QPoint(point.X, point.Y));
    if (!screen) {
        // The nearest screen: the one whose work area is closest to the point.
        long long best = -1;
        for (QScreen* s : QGuiApplication::screens()) {
            const QRect r = s->availableGeometry();
            const long long dx = point.X < r.left() ? r.left() - point.X : point.X > r.right() ? point.X - r.right() : 0;
            const long long dy = point.Y < r.top() ? r.top() - point.Y : point.Y > r.bottom() ? point.Y - r.bottom() : 0;
            const long long d = dx * dx + dy * dy;
            if (best < 0 || d < best) best = d, screen = s;
        }
    }
    if (!screen) return Bounds(0, 0, ScreenWidth(), ScreenHeight());
    const QRect r = screen->availableGeometry();
    return Bounds(r.x(), r.y(), r.width(), r.height());
}

// A top-level that lets every input through and paints a frame in the 50 % halftone
// pattern over whatever lies below.
class OutlineWidget : public QWidget {
public:
    OutlineWidget()
        : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                               Qt::WindowTransparentForInput | Qt::X11BypassWindowManagerHint) {
        setAttribute(Qt::WA_TranslucentBackground);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_ShowWithoutActivating);
    }
    int Thickness = 1;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        QImage pattern(8, 8, QImage::Format_ARGB32);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) pattern.setPixel(x, y, (x + y) % 2 ? qRgba(0, 0, 0, 255) : qRgba(255, 255, 255, 255));
        const QBrush brush(pattern);
        const int t = Thickness;
        p.fillRect(0, 0, width(), t, brush);
        p.fillRect(0, height() - t, width(), t, brush);
        p.fillRect(0, t, t, height() - 2 * t, brush);
        p.fillRect(width() - t, t, t, height() - 2 * t, brush);
    }
};

struct TOutlineOverlay::Impl {
    OutlineWidget Widget;
};

TOutlineOverlay::TOutlineOverlay() : FImpl(std::make_unique<Impl>()) {}
TOutlineOverlay::~TOutlineOverlay() = default;

void TOutlineOverlay::Show(const TRect& rect, int thickness) {
    FRect = rect;
    if (rect.Width() <= 0 || rect.Height() <= 0) {
        Hide();
        return;
    }
    auto& w = FImpl->Widget;
    w.Thickness = std::max(1, thickness);
    QRegion frame(0, 0, rect.Width(), rect.Height());
    frame -= QRegion(w.Thickness, w.Thickness, rect.Width() - 2 * w.Thickness, rect.Height() - 2 * w.Thickness);
    w.setGeometry(rect.Left, rect.Top, rect.Width(), rect.Height());
    w.setMask(frame);
    w.show();
    w.update();
}

void TOutlineOverlay::Hide() {
    FRect = TRect{};
    FImpl->Widget.hide();
}

bool TOutlineOverlay::Visible() const {
    return FImpl->Widget.isVisible();
}

} // namespace mv
