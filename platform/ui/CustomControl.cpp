#include "platform/ui/CustomControl.h"

#include "platform/ui/QtBridge.h"
#include "platform/ui/SysMetrics.h"

#include <QPaintEvent>
#include <QScrollBar>
#include <QWidget>

namespace mv {

class CustomControlWidget : public QWidget {
public:
    explicit CustomControlWidget(TCustomControl* control) : FControl(control) {
        setFocusPolicy(Qt::StrongFocus);
        Bar = new QScrollBar(Qt::Vertical, this);
        Bar->hide();
        Bar->setFocusPolicy(Qt::NoFocus);
        QObject::connect(Bar, &QScrollBar::valueChanged, this, [this](int value) {
            if (Updating) return;
            Guarded([&] { FControl->Scrolled(value); });
            update();
        });
    }
    QScrollBar* Bar;
    bool Updating = false;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setClipRect(0, 0, FControl->PaintWidth(), height());
        auto& canvas = FControl->Canvas().Data();
        canvas.Painter = &painter;
        Guarded([&] { FControl->Paint(); });
        canvas.Painter = nullptr;
    }
    void wheelEvent(QWheelEvent* event) override {
        if (Bar->isVisible()) Bar->setValue(Bar->value() - event->angleDelta().y() / 40);
    }

private:
    TCustomControl* FControl;
};

namespace {
CustomControlWidget* WidgetOf(const TCustomControl* control) {
    return static_cast<CustomControlWidget*>(control->Widget());
}
} // namespace

TCustomControl::TCustomControl(TComponent* owner) : TWinControl(owner), FCanvas(std::make_unique<TCanvas>()) {
    AttachWidget(new CustomControlWidget(this));
    SetTabStop(true);
}

TCustomControl::~TCustomControl() = default;

void TCustomControl::PaintTo(TBitmap& bitmap) {
    bitmap.SetSize(0, 0);
    bitmap.SetSize(Width(), Height());
    QPainter painter(&bitmap.Data().Image);
    painter.setClipRect(0, 0, PaintWidth(), Height());
    auto& canvas = FCanvas->Data();
    canvas.Painter = &painter;
    Guarded([&] { Paint(); });
    canvas.Painter = nullptr;
}

void TCustomControl::SetVertScroll(int max, int page, int position) {
    auto* w = WidgetOf(this);
    w->Updating = true;
    w->Bar->setRange(0, std::max(0, max));
    w->Bar->setPageStep(std::max(1, page));
    w->Bar->setValue(position);
    w->Bar->setVisible(max > 0);
    w->Updating = false;
    PlaceScrollBar();
    Invalidate();
}

void TCustomControl::PlaceScrollBar() {
    const int bar = GetSystemMetrics(SM_CXVSCROLL);
    WidgetOf(this)->Bar->setGeometry(Width() - bar, 0, bar, Height());
}

int TCustomControl::VertScrollPosition() const {
    return WidgetOf(this)->Bar->value();
}

bool TCustomControl::VertScrollVisible() const {
    return WidgetOf(this)->Bar->maximum() > 0;
}

int TCustomControl::PaintWidth() const {
    return std::max(0, Width() - (VertScrollVisible() ? GetSystemMetrics(SM_CXVSCROLL) : 0));
}

void TCustomControl::Resized() {
    TWinControl::Resized();
    PlaceScrollBar();
    Invalidate();
}

} // namespace mv
