#include "platform/ui/WindowShape.h"

#include "platform/ui/Drawing.h"
#include "platform/ui/Form.h"
#include "platform/ui/MouseWatch.h"
#include "platform/ui/QtBridge.h"

#include <QApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace mv {

// The window of a hint: a frameless tool tip that never takes the focus.
class HintWidget : public QWidget {
public:
    explicit HintWidget(THintWindow* window)
        : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                               Qt::WindowDoesNotAcceptFocus),
          FWindow(window) {
        setAttribute(Qt::WA_ShowWithoutActivating);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        auto& canvas = FWindow->Canvas().Data();
        canvas.Painter = &painter;
        Guarded([&] { FWindow->Paint(); });
        canvas.Painter = nullptr;
    }

private:
    THintWindow* FWindow;
};

THintWindow::THintWindow(TComponent* owner) : TWinControl(owner), FCanvas(std::make_unique<TCanvas>()) {
    AttachWidget(new HintWidget(this));
    SetColor(clInfoBk);
    SetVisible(false);
}

THintWindow::~THintWindow() = default;

void THintWindow::ApplyVisible(bool value) {
    if (Widget()) Widget()->setVisible(value);
}

TRect THintWindow::CalcHintRect(int maxWidth, const std::string& hint) {
    FCanvas->Font().Assign(Font());
    TRect r{0, 0, maxWidth, 0};
    DrawText(*FCanvas, hint, r, DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
    return Rect(0, 0, r.Right + 6, r.Bottom + 2);
}

void THintWindow::ActivateHint(const TRect& rect, const std::string& hint) {
    SetCaption(hint);
    SetBounds(rect.Left, rect.Top, rect.Width(), rect.Height());
    ShowNoActivate();
}

void THintWindow::ReleaseHandle() {
    SetVisible(false);
}

void THintWindow::Paint() {
    TCanvas& c = *FCanvas;
    c.Font().Assign(Font());
    c.Font().SetColor(clInfoText);
    c.SetBrushColor(Color());
    c.FillRect(Rect(0, 0, Width(), Height()));
    if (FBorder) {
        c.SetBrushColor(clBlack);
        c.FrameRect(Rect(0, 0, Width(), Height()));
    }
    c.SetBrushStyle(TBrushStyle::bsClear);
    TRect r = Rect(3, 1, Width() - 3, Height() - 1);
    DrawText(c, Caption(), r, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
    c.SetBrushStyle(TBrushStyle::bsSolid);
}

void THintWindow::PaintTo(TBitmap& bitmap) {
    bitmap.SetSize(0, 0);
    bitmap.SetSize(Width(), Height());
    QPainter painter(&bitmap.Data().Image);
    auto& canvas = FCanvas->Data();
    canvas.Painter = &painter;
    Guarded([&] { Paint(); });
    canvas.Painter = nullptr;
}

void THintWindow::SetWindowRgn(const TRegion* region) {
    if (region) {
        FRegion = *region;
        Widget()->setMask(region->Data().Region);
    } else {
        FRegion.reset();
        Widget()->clearMask();
    }
    Widget()->update();
}

void THintWindow::ShowNoActivate() {
    ApplyBounds();
    SetVisible(true);
    Widget()->raise();
    Widget()->update();
}

bool THintWindow::Showing() const {
    return Widget()->isVisible();
}

// The application's hints: a timer started by mouse moves over a widget with a hint,
// and the one hint window of the current class.
namespace {

struct HintState {
    THintSettings Settings;
    THintWindowFactory Factory;
    std::unique_ptr<THintWindow> Window;
    QPointer<QWidget> Target; // the widget whose hint is waiting or shown
    QTimer* ShowTimer = nullptr;
    QTimer* HideTimer = nullptr;
    QObject* Filter = nullptr;
};

// Lives as long as the application object (which is never destroyed), so that its
// window never outlives the widgets' world at exit.
HintState& Hints() {
    static HintState* state = new HintState();
    return *state;
}

void ShowHintText(const std::string& hint) {
    HintState& h = Hints();
    if (!h.Window) h.Window = h.Factory ? h.Factory() : std::make_unique<THintWindow>(nullptr);
    if (!h.Window) return;
    const TPoint mouse = LastMousePosition();
    TRect r = h.Window->CalcHintRect(300, hint);
    // Below the mouse pointer, as hints have always opened.
    const int left = mouse.X, top = mouse.Y + 20;
    h.Window->ActivateHint(Bounds(left, top, r.Width(), r.Height()), hint);
    if (h.HideTimer) h.HideTimer->start(std::max(1, h.Settings.HintHidePause));
}

// The widget under the mouse that has a hint: the widget or the nearest parent with one.
QWidget* HintTarget(QObject* watched) {
    if (!watched->isWidgetType()) return nullptr;
    for (auto* w = static_cast<QWidget*>(watched); w; w = w->parentWidget()) {
        if (!w->toolTip().isEmpty()) return w;
        if (w->isWindow()) break;
    }
    return nullptr;
}

class HintFilter : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        HintState& h = Hints();
        switch (event->type()) {
        case QEvent::ToolTip:
            return true; // hints are shown by the hint window class, never by Qt
        case QEvent::MouseMove: {
            if (h.Window && watched == h.Window->Widget()) return false;
            if (!watched->isWidgetType() && !watched->isWindowType()) return false;
            // The widget under the mouse, whoever hears the move (its window does always).
            const QPoint at = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
            QWidget* under = QApplication::widgetAt(at);
            if (under && h.Window && under->window() == h.Window->Widget()) return false;
            QWidget* target = under ? HintTarget(under) : nullptr;
            if (target != h.Target) {
                CancelHint();
                h.Target = target;
                if (target && h.Settings.ShowHint) h.ShowTimer->start(std::max(1, h.Settings.HintPause));
            }
            return false;
        }
        case QEvent::Leave:
            if (watched == h.Target) CancelHint();
            return false;
        case QEvent::MouseButtonPress:
        case QEvent::KeyPress:
        case QEvent::Wheel:
            if (h.Window && h.Window->Showing()) CancelHint();
            return false;
        default:
            return false;
        }
    }
};

void EnsureHintFilter() {
    HintState& h = Hints();
    if (h.Filter) return;
    EnsureApplication();
    h.Filter = new HintFilter();
    h.Filter->setParent(qApp);
    h.ShowTimer = new QTimer(h.Filter);
    h.ShowTimer->setSingleShot(true);
    QObject::connect(h.ShowTimer, &QTimer::timeout, h.Filter, [] {
        HintState& s = Hints();
        if (s.Target && s.Settings.ShowHint) Guarded([&] { ShowHintText(FromQ(s.Target->toolTip())); });
    });
    h.HideTimer = new QTimer(h.Filter);
    h.HideTimer->setSingleShot(true);
    QObject::connect(h.HideTimer, &QTimer::timeout, h.Filter, [] {
        if (Hints().Window) Hints().Window->ReleaseHandle();
    });
    qApp->installEventFilter(h.Filter);
}

} // namespace

THintSettings& ApplicationHints() {
    return Hints().Settings;
}

void SetHintWindowClass(THintWindowFactory factory) {
    HintState& h = Hints();
    h.Window.reset();
    h.Factory = std::move(factory);
    EnsureHintFilter();
}

bool HintWindowClassSet() {
    return static_cast<bool>(Hints().Factory);
}

THintWindow* CurrentHintWindow() {
    return Hints().Window.get();
}

bool ShowControlHint(TControl& control) {
    HintState& h = Hints();
    if (control.Hint().empty() || !h.Settings.ShowHint) return false;
    EnsureHintFilter();
    h.Target = control.Widget();
    ShowHintText(control.Hint());
    return h.Window != nullptr;
}

void CancelHint() {
    HintState& h = Hints();
    if (h.ShowTimer) h.ShowTimer->stop();
    if (h.HideTimer) h.HideTimer->stop();
    h.Target = nullptr;
    if (h.Window) h.Window->ReleaseHandle();
}

} // namespace mv
