#pragma once
// Internal to the desktop layer: conversions between the class library's values and
// Qt's, and the Qt objects behind bitmaps and canvases. Never included outside
// platform/ui.
#include "platform/ui/Graphics.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QRegion>
#include <QString>
#include <functional>
#include <optional>
#include <string>

namespace mv {

inline QString ToQ(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}
inline std::string FromQ(const QString& s) {
    return s.toUtf8().toStdString();
}

QColor ToQColor(TColor color);
TColor FromQColor(const QColor& color);
// The palette of an item view on the system colours: window background and text,
// highlight and highlighted text.
QPalette ItemViewPalette(QPalette palette);
// The Qt font for a class-library font: the family mapped to the bundled one, the
// size turned into pixels at 96 dots per inch.
QFont ToQFont(const TFont& font);

struct TBitmap::Impl {
    QImage Image;
};

struct TCanvas::Impl {
    QImage* Image = nullptr;     // drawing on a bitmap
    TBitmap* Bitmap = nullptr;   // that bitmap (for its monochrome flag)
    QPainter* Painter = nullptr; // drawing on a control while it paints
    QImage Pattern;              // the pattern brush, when one is set
    std::optional<QRegion> Clip; // the clipping region, when one is set
};

struct TRegion::Impl {
    QRegion Region;
};

QRect ToQRect(const TRect& r);
// The brush of a canvas: its pattern or its colour.
QBrush CanvasBrush(const TCanvas& canvas);
// The pen of a canvas (no pen for psClear).
QPen CanvasPen(const TCanvas& canvas);

// Runs fn with a painter on the canvas's target, set up with its font and clipping;
// does nothing when the canvas has no target.
void WithPainter(TCanvas& canvas, const std::function<void(QPainter&)>& fn);

// Runs fn inside the class library's exception boundary: an exception is handed to
// the application's handler and never reaches Qt.
void Guarded(const std::function<void()>& fn);

} // namespace mv
