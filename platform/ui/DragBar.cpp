#include "platform/ui/DragBar.h"

#include <QPainter>
#include <QPointer>
#include <QWidget>

namespace mv {
namespace {

class DragBarWidget : public QWidget {
public:
    explicit DragBarWidget(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setAutoFillBackground(false);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        // The checkerboard is anchored to the owner, so it does not crawl as the bar moves.
        const QPoint origin = pos();
        for (int y = 0; y < height(); ++y)
            for (int x = 0; x < width(); ++x)
                if (((x + origin.x()) & 1) != ((y + origin.y()) & 1)) painter.fillRect(x, y, 1, 1, Qt::black);
    }
};

} // namespace

TDragBar::TDragBar(TWinControl& owner) {
    if (QWidget* parent = owner.ClientWidget()) {
        FWidget = new DragBarWidget(parent);
        FWidget->hide();
    }
}

TDragBar::~TDragBar() {
    delete FWidget;
}

void TDragBar::Show(const TRect& rect) {
    FRect = rect;
    if (!FWidget) return;
    FWidget->setGeometry(rect.Left, rect.Top, rect.Right - rect.Left, rect.Bottom - rect.Top);
    FWidget->raise();
    FWidget->show();
    FWidget->update();
}

void TDragBar::Hide() {
    FRect = {};
    if (FWidget) FWidget->hide();
}

bool TDragBar::Visible() const {
    return FWidget && FWidget->isVisible();
}

} // namespace mv
