#include "platform/ui/Panels.h"

#include "platform/ui/QtBridge.h"

#include <QPaintEvent>
#include <QProgressBar>
#include <QWidget>
#include <algorithm>

namespace mv {
namespace {

// A windowed control's widget that paints through a callback.
class PaintedWidget : public QWidget {
public:
    explicit PaintedWidget(std::function<void(QPainter&)> paint) : FPaint(std::move(paint)) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        Guarded([&] { FPaint(painter); });
    }

private:
    std::function<void(QPainter&)> FPaint;
};

void DrawEdge(QPainter& p, const QRect& r, bool raised) {
    const QColor light = ToQColor(clBtnHighlight), dark = ToQColor(clBtnShadow);
    p.setPen(raised ? light : dark);
    p.drawLine(r.left(), r.top(), r.right(), r.top());
    p.drawLine(r.left(), r.top(), r.left(), r.bottom());
    p.setPen(raised ? dark : light);
    p.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    p.drawLine(r.right(), r.top(), r.right(), r.bottom());
}

} // namespace

// ---- TPanel ----

TPanel::TPanel(TComponent* owner) : TWinControl(owner), FCanvas(std::make_unique<TCanvas>()) {
    AttachWidget(new PaintedWidget([this](QPainter& p) {
        FCanvas->Data().Painter = &p;
        PaintPanel(*FCanvas);
        FCanvas->Data().Painter = nullptr;
    }));
    SetBounds(0, 0, 185, 41);
}

void TPanel::SetText(const std::string& value) {
    TControl::SetText(value);
    Invalidate();
}

void TPanel::SetBevelOuter(TBevelCut value) {
    FBevelOuter = value;
    Invalidate();
}

void TPanel::SetBevelInner(TBevelCut value) {
    FBevelInner = value;
    Invalidate();
}

void TPanel::PaintPanel(TCanvas& canvas) {
    canvas.Font().Assign(FFont);
    WithPainter(canvas, [&](QPainter& p) {
        QRect r(0, 0, Width(), Height());
        p.fillRect(r, ToQColor(Color()));
        if (FBevelOuter != TBevelCut::bvNone) {
            DrawEdge(p, r.adjusted(0, 0, -1, -1), FBevelOuter == TBevelCut::bvRaised);
            r.adjust(1, 1, -1, -1);
        }
        if (FBevelInner != TBevelCut::bvNone)
            DrawEdge(p, r.adjusted(0, 0, -1, -1), FBevelInner == TBevelCut::bvRaised);
        if (!FText.empty()) {
            p.setPen(ToQColor(FFont.Color()));
            p.drawText(QRect(0, 0, Width(), Height()), Qt::AlignCenter | Qt::TextShowMnemonic, ToQ(FText));
        }
    });
}

// ---- TBevel ----

TBevel::TBevel(TComponent* owner) : TGraphicControl(owner) {
    SetBounds(0, 0, 50, 50);
}

void TBevel::SetShape(TBevelShape value) {
    FShape = value;
    Invalidate();
}

void TBevel::SetStyle(TBevelStyle value) {
    FStyle = value;
    Invalidate();
}

void TBevel::Paint() {
    WithPainter(Canvas(), [&](QPainter& p) {
        const QColor first = ToQColor(FStyle == TBevelStyle::bsLowered ? clBtnShadow : clBtnHighlight);
        const QColor second = ToQColor(FStyle == TBevelStyle::bsLowered ? clBtnHighlight : clBtnShadow);
        const int w = Width(), h = Height();
        auto line = [&](int x1, int y1, int x2, int y2, const QColor& c) {
            p.setPen(c);
            p.drawLine(x1, y1, x2, y2);
        };
        switch (FShape) {
        case TBevelShape::bsBox:
            DrawEdge(p, QRect(0, 0, w - 1, h - 1), FStyle == TBevelStyle::bsRaised);
            break;
        case TBevelShape::bsFrame:
            p.setPen(first);
            p.drawRect(0, 0, w - 2, h - 2);
            p.setPen(second);
            p.drawRect(1, 1, w - 2, h - 2);
            break;
        case TBevelShape::bsTopLine:
            line(0, 0, w, 0, first);
            line(0, 1, w, 1, second);
            break;
        case TBevelShape::bsBottomLine:
            line(0, h - 2, w, h - 2, first);
            line(0, h - 1, w, h - 1, second);
            break;
        case TBevelShape::bsLeftLine:
            line(0, 0, 0, h, first);
            line(1, 0, 1, h, second);
            break;
        case TBevelShape::bsRightLine:
            line(w - 2, 0, w - 2, h, first);
            line(w - 1, 0, w - 1, h, second);
            break;
        case TBevelShape::bsSpacer:
            break;
        }
    });
}

// ---- TImage ----

TImage::TImage(TComponent* owner) : TGraphicControl(owner) {
    SetBounds(0, 0, 105, 105);
}

void TImage::PictureChanged() {
    if (FAutoSize && !FPicture.Empty()) SetBounds(Left(), Top(), FPicture.Width(), FPicture.Height());
    Invalidate();
}

void TImage::SetStretch(bool value) {
    FStretch = value;
    Invalidate();
}

void TImage::SetCenter(bool value) {
    FCenter = value;
    Invalidate();
}

void TImage::SetAutoSize(bool value) {
    FAutoSize = value;
    PictureChanged();
}

void TImage::Paint() {
    if (FPicture.Empty()) return;
    TCanvas& canvas = Canvas();
    const TRect source = Rect(0, 0, FPicture.Width(), FPicture.Height());
    if (FStretch) {
        canvas.CopyRect(Rect(0, 0, Width(), Height()), FPicture, source);
    } else if (FCenter) {
        canvas.Draw((Width() - FPicture.Width()) / 2, (Height() - FPicture.Height()) / 2, FPicture);
    } else {
        canvas.Draw(0, 0, FPicture);
    }
}

// ---- TProgressBar ----

TProgressBar::TProgressBar(TComponent* owner) : TWinControl(owner) {
    auto* bar = new QProgressBar();
    bar->setTextVisible(false);
    AttachWidget(bar);
    SetBounds(0, 0, 150, 16);
    SetRange(0, 100);
}

void TProgressBar::SetRange(int min, int max) {
    FMin = min;
    FMax = std::max(min, max);
    static_cast<QProgressBar*>(Widget())->setRange(FMin, FMax);
    SetPosition(FPosition);
}

void TProgressBar::SetPosition(int value) {
    FPosition = std::clamp(value, FMin, FMax);
    static_cast<QProgressBar*>(Widget())->setValue(FPosition);
}

} // namespace mv
