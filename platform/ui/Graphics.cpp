#include "platform/ui/Graphics.h"

#include "platform/ui/QtBridge.h"
#include "platform/ui/SysMetrics.h"
#include "resources/ResourceData.h"

#include <QFontMetrics>
#include <QPolygon>
#include <algorithm>
#include <cmath>

namespace mv {
namespace {

bool IsMonospaceFamily(const std::string& name) {
    return name.find("Courier") != std::string::npos || name.find("Mono") != std::string::npos ||
           name == "Fixedsys" || name == "Terminal";
}

} // namespace

TColor ColorToRGB(TColor color) {
    if (color & clSystemColor) return GetSysColor(color & 0xFF);
    return color & 0xFFFFFF;
}

QPalette ItemViewPalette(QPalette palette) {
    palette.setColor(QPalette::Base, ToQColor(clWindow));
    palette.setColor(QPalette::Text, ToQColor(clWindowText));
    palette.setColor(QPalette::Highlight, ToQColor(clHighlight));
    palette.setColor(QPalette::HighlightedText, ToQColor(clHighlightText));
    return palette;
}

QColor ToQColor(TColor color) {
    const TColor rgb = ColorToRGB(color);
    return QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}

TColor FromQColor(const QColor& color) {
    return color.red() | (color.green() << 8) | (color.blue() << 16);
}

QFont ToQFont(const TFont& font) {
    QFont q(IsMonospaceFamily(font.Name()) ? QStringLiteral("Liberation Mono")
                                           : QStringLiteral("Liberation Sans"));
    q.setPixelSize(std::max(1, -font.Height()));
    q.setBold(font.Style() & fsBold);
    q.setItalic(font.Style() & fsItalic);
    q.setUnderline(font.Style() & fsUnderline);
    q.setStrikeOut(font.Style() & fsStrikeOut);
    q.setHintingPreference(QFont::PreferFullHinting);
    return q;
}

// ---- TFont ----

void TFont::SetName(const std::string& value) {
    if (FName == value) return;
    FName = value;
    Changed();
}

void TFont::SetSize(int value) {
    if (FSize == value) return;
    FSize = value;
    Changed();
}

int TFont::Height() const {
    return -static_cast<int>(std::lround(FSize * static_cast<double>(ScreenPixelsPerInch) / 72.0));
}

void TFont::SetStyle(uint8_t value) {
    if (FStyle == value) return;
    FStyle = value;
    Changed();
}

void TFont::SetColor(TColor value) {
    if (FColor == value) return;
    FColor = value;
    Changed();
}

void TFont::Assign(const TFont& other) {
    FName = other.FName;
    FSize = other.FSize;
    FStyle = other.FStyle;
    FColor = other.FColor;
    Changed();
}

// ---- TBitmap ----

TBitmap::TBitmap() : FImpl(std::make_unique<Impl>()) {}
TBitmap::~TBitmap() = default;

int TBitmap::Width() const {
    return FImpl->Image.width();
}
int TBitmap::Height() const {
    return FImpl->Image.height();
}

void TBitmap::SetSize(int width, int height) {
    if (width <= 0 || height <= 0) {
        FImpl->Image = QImage();
        return;
    }
    if (width == Width() && height == Height()) return;
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    if (!FImpl->Image.isNull()) {
        QPainter p(&image);
        p.drawImage(0, 0, FImpl->Image);
    }
    FImpl->Image = image;
}

void TBitmap::Assign(const TBitmap& other) {
    if (&other == this) return;
    FImpl->Image = other.FImpl->Image.copy();
    FMonochrome = other.FMonochrome;
    FTransparent = other.FTransparent;
    FTransparentMode = other.FTransparentMode;
    FTransparentColor = other.FTransparentColor;
}

bool TBitmap::LoadFromMemory(std::span<const uint8_t> data) {
    QImage image;
    if (data.empty() || !image.loadFromData(data.data(), static_cast<int>(data.size()))) {
        FImpl->Image = QImage();
        return false;
    }
    FImpl->Image = image.convertToFormat(QImage::Format_RGB32);
    return true;
}

bool TBitmap::LoadFromFile(const std::string& path) {
    QImage image;
    if (!image.load(ToQ(path))) {
        FImpl->Image = QImage();
        return false;
    }
    FImpl->Image = image.convertToFormat(QImage::Format_RGB32);
    return true;
}

bool TBitmap::LoadFromResourceName(const std::string& name) {
    return LoadFromMemory(FindResourceData(TResourceKind::rkBitmap, name));
}

bool TBitmap::SaveToFile(const std::string& path) const {
    return FImpl->Image.save(ToQ(path));
}

TColor TBitmap::Pixel(int x, int y) const {
    if (!FImpl->Image.valid(x, y)) return clNone;
    const QRgb c = FImpl->Image.pixel(x, y);
    return RGB(qRed(c), qGreen(c), qBlue(c));
}

void TBitmap::SetPixel(int x, int y, TColor color) {
    if (FImpl->Image.valid(x, y)) FImpl->Image.setPixel(x, y, ToQColor(color).rgb());
}

TCanvas& TBitmap::Canvas() {
    if (!FCanvas) FCanvas = std::make_unique<TCanvas>();
    FCanvas->Data().Image = &FImpl->Image;
    FCanvas->Data().Bitmap = this;
    return *FCanvas;
}

void TBitmap::SetMonochrome(bool value) {
    if (value && !FMonochrome) {
        QImage& image = FImpl->Image;
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                line[x] = (line[x] & 0xFFFFFF) == 0xFFFFFF ? 0xFFFFFFFF : 0xFF000000;
        }
    }
    FMonochrome = value;
}

TColor TBitmap::TransparentColor() const {
    if (FTransparentMode == TTransparentMode::tmFixed && FTransparentColor != clDefault)
        return FTransparentColor;
    if (Empty()) return clDefault;
    return Pixel(0, Height() - 1);
}

void TBitmap::SetTransparentColor(TColor value) {
    FTransparentColor = value;
    FTransparentMode = value == clDefault ? TTransparentMode::tmAuto : TTransparentMode::tmFixed;
}

void TBitmap::CreateMask(TColor transparent, TBitmap& mask) const {
    mask.SetSize(0, 0);
    mask.SetSize(Width(), Height());
    mask.FMonochrome = true;
    const QRgb key = ToQColor(transparent).rgb() & 0xFFFFFF;
    const QImage& image = FImpl->Image;
    QImage& out = mask.FImpl->Image;
    for (int y = 0; y < image.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < image.width(); ++x) line[x] = (in[x] & 0xFFFFFF) == key ? 0xFFFFFFFF : 0xFF000000;
    }
}

// ---- TRegion ----

TRegion::TRegion() : FImpl(std::make_unique<Impl>()) {}
TRegion::~TRegion() = default;
TRegion::TRegion(const TRegion& other) : FImpl(std::make_unique<Impl>(*other.FImpl)) {}
TRegion& TRegion::operator=(const TRegion& other) {
    *FImpl = *other.FImpl;
    return *this;
}

TRegion TRegion::FromRect(const TRect& rect) {
    TRegion r;
    r.FImpl->Region = QRegion(ToQRect(rect));
    return r;
}

TRegion TRegion::FromEllipse(const TRect& rect) {
    TRegion r;
    r.FImpl->Region = QRegion(ToQRect(rect), QRegion::Ellipse);
    return r;
}

TRegion TRegion::FromPolygon(const std::vector<TPoint>& points, TPolyFillMode mode) {
    QPolygon polygon;
    for (const TPoint& p : points) polygon << QPoint(p.X, p.Y);
    TRegion r;
    r.FImpl->Region = QRegion(polygon, mode == TPolyFillMode::pfWinding ? Qt::WindingFill : Qt::OddEvenFill);
    return r;
}

void TRegion::Combine(const TRegion& a, const TRegion& b, TRegionCombine mode) {
    const QRegion& qa = a.FImpl->Region;
    const QRegion& qb = b.FImpl->Region;
    switch (mode) {
    case TRegionCombine::rcAnd:
        FImpl->Region = qa.intersected(qb);
        break;
    case TRegionCombine::rcOr:
        FImpl->Region = qa.united(qb);
        break;
    case TRegionCombine::rcXor:
        FImpl->Region = qa.xored(qb);
        break;
    case TRegionCombine::rcDiff:
        FImpl->Region = qa.subtracted(qb);
        break;
    case TRegionCombine::rcCopy:
        FImpl->Region = qa;
        break;
    }
}

void TRegion::Offset(int dx, int dy) {
    FImpl->Region.translate(dx, dy);
}

bool TRegion::Contains(int x, int y) const {
    return FImpl->Region.contains(QPoint(x, y));
}

bool TRegion::Empty() const {
    return FImpl->Region.isEmpty();
}

TRect TRegion::BoundingRect() const {
    const QRect r = FImpl->Region.boundingRect();
    return r.isEmpty() ? TRect{} : Bounds(r.x(), r.y(), r.width(), r.height());
}

// ---- Raster operations ----

uint32_t ApplyRasterOp(uint32_t rop, uint32_t pattern, uint32_t source, uint32_t dest) {
    const uint32_t code = (rop >> 16) & 0xFF;
    uint32_t result = 0;
    for (uint32_t i = 0; i < 8; ++i) {
        if (!(code & (1u << i))) continue;
        const uint32_t p = (i & 4) ? pattern : ~pattern;
        const uint32_t s = (i & 2) ? source : ~source;
        const uint32_t d = (i & 1) ? dest : ~dest;
        result |= p & s & d;
    }
    return result & 0xFFFFFF;
}

namespace {

bool UsesSource(uint32_t rop) {
    const uint32_t code = (rop >> 16) & 0xFF;
    return ((code >> 2) & 0x33) != (code & 0x33);
}

uint32_t ToMono(uint32_t rgb) {
    const int luminance = (static_cast<int>((rgb >> 16) & 0xFF) + static_cast<int>((rgb >> 8) & 0xFF) +
                           static_cast<int>(rgb & 0xFF)) /
                          3;
    return luminance >= 128 ? 0xFFFFFF : 0;
}

// The pattern at a destination pixel: the pattern brush's tile or the brush colour.
uint32_t PatternAt(const TCanvas& canvas, int x, int y) {
    const QImage& pattern = canvas.Data().Pattern;
    if (!pattern.isNull()) {
        const int px = ((x % pattern.width()) + pattern.width()) % pattern.width();
        const int py = ((y % pattern.height()) + pattern.height()) % pattern.height();
        return pattern.pixel(px, py) & 0xFFFFFF;
    }
    return ToQColor(canvas.BrushColor()).rgb() & 0xFFFFFF;
}

} // namespace

QRect ToQRect(const TRect& r) {
    return QRect(r.Left, r.Top, r.Width(), r.Height());
}

QBrush CanvasBrush(const TCanvas& canvas) {
    if (!canvas.Data().Pattern.isNull()) return QBrush(canvas.Data().Pattern);
    return QBrush(ToQColor(canvas.BrushColor()));
}

QPen CanvasPen(const TCanvas& canvas) {
    if (canvas.PenStyle() == TPenStyle::psClear) return QPen(Qt::NoPen);
    QPen pen(ToQColor(canvas.PenColor()), std::max(1, canvas.PenWidth()));
    switch (canvas.PenStyle()) {
    case TPenStyle::psDash:
        pen.setDashPattern({6, 2});
        break;
    case TPenStyle::psDot:
        pen.setDashPattern({1, 1});
        break;
    case TPenStyle::psDashDot:
        pen.setDashPattern({3, 1, 1, 1});
        break;
    case TPenStyle::psDashDotDot:
        pen.setDashPattern({3, 1, 1, 1, 1, 1});
        break;
    default:
        break;
    }
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
    return pen;
}

// ---- TCanvas ----

TCanvas::TCanvas() : FImpl(std::make_unique<Impl>()) {}
TCanvas::~TCanvas() = default;

void WithPainter(TCanvas& canvas, const std::function<void(QPainter&)>& fn) {
    auto& impl = canvas.Data();
    auto setUp = [&](QPainter& p) {
        p.setFont(ToQFont(canvas.Font()));
        if (impl.Clip) p.setClipRegion(*impl.Clip, Qt::IntersectClip);
        // Pixel-exact drawing, as device contexts draw.
        p.setRenderHint(QPainter::Antialiasing, false);
    };
    if (impl.Painter) {
        impl.Painter->save();
        setUp(*impl.Painter);
        fn(*impl.Painter);
        impl.Painter->restore();
        return;
    }
    if (!impl.Image || impl.Image->isNull()) return;
    QPainter painter(impl.Image);
    setUp(painter);
    fn(painter);
}

namespace {

// Runs fn with the pen set up: its colour, style and mode.
void WithPen(TCanvas& canvas, const std::function<void(QPainter&)>& fn) {
    WithPainter(canvas, [&](QPainter& p) {
        p.setPen(CanvasPen(canvas));
        switch (canvas.PenMode()) {
        case TPenMode::pmXor:
            p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
            break;
        case TPenMode::pmNot:
            p.setPen(QPen(Qt::white, std::max(1, canvas.PenWidth())));
            p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
            break;
        case TPenMode::pmNotXor:
            p.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
            break;
        default:
            break;
        }
        fn(p);
    });
}

QBrush ShapeBrush(const TCanvas& canvas) {
    return canvas.BrushStyle() == TBrushStyle::bsClear ? QBrush(Qt::NoBrush) : CanvasBrush(canvas);
}

} // namespace

void TCanvas::SetBrushBitmap(const TBitmap* pattern) {
    FImpl->Pattern = pattern && !pattern->Empty() ? pattern->Data().Image.copy() : QImage();
}

bool TCanvas::HasBrushBitmap() const {
    return !FImpl->Pattern.isNull();
}

int TCanvas::Width() const {
    return FImpl->Image ? FImpl->Image->width() : 0;
}

int TCanvas::Height() const {
    return FImpl->Image ? FImpl->Image->height() : 0;
}

TColor TCanvas::Pixel(int x, int y) const {
    if (!FImpl->Image || !FImpl->Image->valid(x, y)) return clNone;
    const QRgb c = FImpl->Image->pixel(x, y);
    return RGB(qRed(c), qGreen(c), qBlue(c));
}

void TCanvas::SetPixel(int x, int y, TColor color) {
    if (FImpl->Image && FImpl->Image->valid(x, y)) {
        if (FImpl->Clip && !FImpl->Clip->contains(QPoint(x, y))) return;
        FImpl->Image->setPixel(x, y, ToQColor(color).rgb());
        return;
    }
    WithPainter(*this, [&](QPainter& p) { p.fillRect(x, y, 1, 1, ToQColor(color)); });
}

void TCanvas::FillRect(const TRect& r) {
    if (FBrushStyle == TBrushStyle::bsClear) return;
    WithPainter(*this, [&](QPainter& p) { p.fillRect(ToQRect(r), CanvasBrush(*this)); });
}

void TCanvas::FrameRect(const TRect& r) {
    if (r.Width() <= 0 || r.Height() <= 0) return;
    WithPainter(*this, [&](QPainter& p) {
        const QBrush brush = CanvasBrush(*this);
        p.fillRect(QRect(r.Left, r.Top, r.Width(), 1), brush);
        p.fillRect(QRect(r.Left, r.Bottom - 1, r.Width(), 1), brush);
        p.fillRect(QRect(r.Left, r.Top, 1, r.Height()), brush);
        p.fillRect(QRect(r.Right - 1, r.Top, 1, r.Height()), brush);
    });
}

void TCanvas::DrawFocusRect(const TRect& r) {
    if (r.Width() <= 0 || r.Height() <= 0) return;
    // Every other pixel of the frame inverted, counted along each edge from the corner.
    WithPainter(*this, [&](QPainter& p) {
        p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        auto dot = [&](int x, int y) { p.fillRect(x, y, 1, 1, Qt::white); };
        for (int x = r.Left; x < r.Right; x += 2) {
            dot(x, r.Top);
            if (r.Height() > 1) dot(x, r.Bottom - 1);
        }
        for (int y = r.Top + 2; y < r.Bottom - 1; y += 2) {
            dot(r.Left, y);
            if (r.Width() > 1) dot(r.Right - 1, y);
        }
    });
}

void TCanvas::Rectangle(const TRect& r) {
    if (r.Width() <= 0 || r.Height() <= 0) return;
    WithPen(*this, [&](QPainter& p) {
        if (FBrushStyle == TBrushStyle::bsSolid) {
            const QPainter::CompositionMode mode = p.compositionMode();
            p.setCompositionMode(QPainter::CompositionMode_SourceOver);
            p.fillRect(ToQRect(r), CanvasBrush(*this));
            p.setCompositionMode(mode);
        }
        if (FPenStyle != TPenStyle::psClear) {
            // The pen runs inside the rectangle, as device contexts draw it.
            const int w = std::max(1, FPenWidth);
            const QBrush brush(p.pen().color());
            if (FPenStyle == TPenStyle::psSolid) {
                p.fillRect(QRect(r.Left, r.Top, r.Width(), w), brush);
                p.fillRect(QRect(r.Left, r.Bottom - w, r.Width(), w), brush);
                p.fillRect(QRect(r.Left, r.Top + w, w, r.Height() - 2 * w), brush);
                p.fillRect(QRect(r.Right - w, r.Top + w, w, r.Height() - 2 * w), brush);
            } else {
                p.setBrush(Qt::NoBrush);
                p.drawRect(QRect(r.Left, r.Top, r.Width() - 1, r.Height() - 1));
            }
        }
    });
}

void TCanvas::RoundRect(const TRect& r, int cornerWidth, int cornerHeight) {
    if (r.Width() <= 0 || r.Height() <= 0) return;
    WithPen(*this, [&](QPainter& p) {
        p.setBrush(ShapeBrush(*this));
        p.drawRoundedRect(QRect(r.Left, r.Top, r.Width() - 1, r.Height() - 1), cornerWidth / 2.0,
                          cornerHeight / 2.0);
    });
}

void TCanvas::Ellipse(const TRect& r) {
    if (r.Width() <= 0 || r.Height() <= 0) return;
    WithPen(*this, [&](QPainter& p) {
        p.setBrush(ShapeBrush(*this));
        p.drawEllipse(QRect(r.Left, r.Top, r.Width() - 1, r.Height() - 1));
    });
}

void TCanvas::Arc(const TRect& b, const TPoint& start, const TPoint& end) {
    if (b.Width() <= 0 || b.Height() <= 0) return;
    const double cx = (b.Left + b.Right) / 2.0, cy = (b.Top + b.Bottom) / 2.0;
    auto angle = [&](const TPoint& pt) { return std::atan2(-(pt.Y - cy), pt.X - cx) * 180.0 / M_PI; };
    const double a0 = angle(start);
    double span = angle(end) - a0;
    while (span <= 0) span += 360.0;
    WithPen(*this, [&](QPainter& p) {
        p.drawArc(QRect(b.Left, b.Top, b.Width() - 1, b.Height() - 1), static_cast<int>(std::lround(a0 * 16)),
                  static_cast<int>(std::lround(span * 16)));
    });
}

void TCanvas::Polyline(const std::vector<TPoint>& points) {
    if (points.size() < 2) return;
    QPolygon polygon;
    for (const TPoint& pt : points) polygon << QPoint(pt.X, pt.Y);
    WithPen(*this, [&](QPainter& p) { p.drawPolyline(polygon); });
    FPenX = points.back().X;
    FPenY = points.back().Y;
}

void TCanvas::Polygon(const std::vector<TPoint>& points) {
    if (points.size() < 2) return;
    QPolygon polygon;
    for (const TPoint& pt : points) polygon << QPoint(pt.X, pt.Y);
    WithPen(*this, [&](QPainter& p) {
        p.setBrush(ShapeBrush(*this));
        p.drawPolygon(polygon, Qt::OddEvenFill);
    });
}

void TCanvas::MoveTo(int x, int y) {
    FPenX = x;
    FPenY = y;
}

void TCanvas::LineTo(int x, int y) {
    // The end point is not drawn, as device contexts draw lines (the flat cap of the
    // canvas pen leaves it out).
    WithPen(*this, [&](QPainter& p) {
        if (x == FPenX && y == FPenY) return;
        p.drawLine(FPenX, FPenY, x, y);
    });
    FPenX = x;
    FPenY = y;
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
    WithPainter(*this, [&](QPainter& p) {
        const QFontMetrics metrics(p.font());
        if (FBrushStyle == TBrushStyle::bsSolid)
            p.fillRect(x, y, metrics.horizontalAdvance(ToQ(text)), metrics.height(), ToQColor(FBrushColor));
        p.setPen(ToQColor(FFont.Color()));
        p.drawText(x, y + metrics.ascent(), ToQ(text));
    });
    FPenX = x + TextWidth(text);
    FPenY = y;
}

void TCanvas::TextRect(const TRect& r, int x, int y, const std::string& text) {
    WithPainter(*this, [&](QPainter& p) {
        p.setClipRect(ToQRect(r), Qt::IntersectClip);
        const QFontMetrics metrics(p.font());
        if (FBrushStyle == TBrushStyle::bsSolid) p.fillRect(ToQRect(r), ToQColor(FBrushColor));
        p.setPen(ToQColor(FFont.Color()));
        p.drawText(x, y + metrics.ascent(), ToQ(text));
    });
}

int TCanvas::TextWidth(const std::string& text) const {
    return QFontMetrics(ToQFont(FFont)).horizontalAdvance(ToQ(text));
}

int TCanvas::TextHeight(const std::string&) const {
    return QFontMetrics(ToQFont(FFont)).height();
}

void TCanvas::Draw(int x, int y, const TBitmap& bitmap) {
    if (bitmap.Empty()) return;
    if (bitmap.Transparent()) {
        TBitmap mask;
        bitmap.CreateMask(bitmap.TransparentColor(), mask);
        QImage image = bitmap.Data().Image.convertToFormat(QImage::Format_ARGB32);
        for (int yy = 0; yy < image.height(); ++yy)
            for (int xx = 0; xx < image.width(); ++xx)
                if (mask.Data().Image.pixel(xx, yy) & 0xFFFFFF) image.setPixel(xx, yy, 0);
        WithPainter(*this, [&](QPainter& p) { p.drawImage(x, y, image); });
        return;
    }
    StretchBlt(Bounds(x, y, bitmap.Width(), bitmap.Height()), bitmap,
               Rect(0, 0, bitmap.Width(), bitmap.Height()), SRCCOPY);
}

void TCanvas::StretchDraw(const TRect& dest, const TBitmap& bitmap) {
    StretchBlt(dest, bitmap, Rect(0, 0, bitmap.Width(), bitmap.Height()), SRCCOPY);
}

void TCanvas::CopyRect(const TRect& dest, const TBitmap& source, const TRect& src) {
    StretchBlt(dest, source, src, FCopyMode);
}

void TCanvas::BrushCopy(const TRect& dest, const TBitmap& source, const TRect& src, TColor transparent) {
    QImage part = source.Data().Image.copy(src.Left, src.Top, src.Width(), src.Height());
    const QRgb from = ToQColor(transparent).rgb();
    const QRgb to = ToQColor(FBrushColor).rgb();
    for (int y = 0; y < part.height(); ++y)
        for (int x = 0; x < part.width(); ++x)
            if ((part.pixel(x, y) & 0xFFFFFF) == (from & 0xFFFFFF)) part.setPixel(x, y, to);
    WithPainter(*this, [&](QPainter& p) { p.drawImage(ToQRect(dest), part); });
}

void TCanvas::StretchBlt(const TRect& dest, const TBitmap& source, const TRect& src, uint32_t rop,
                         TColor sourceBackground) {
    if (dest.Width() == 0 || dest.Height() == 0) return;
    const bool needsSource = UsesSource(rop);
    if (needsSource && (src.Width() == 0 || src.Height() == 0)) return;
    const QImage& in = source.Data().Image;
    const bool sourceMono = source.Monochrome();
    const bool destMono = FImpl->Bitmap && FImpl->Bitmap->Monochrome();
    const uint32_t destText = ToQColor(FFont.Color()).rgb() & 0xFFFFFF;
    const uint32_t destBack = ToQColor(FBrushColor).rgb() & 0xFFFFFF;
    const uint32_t sourceKey = ToQColor(sourceBackground).rgb() & 0xFFFFFF;
    // The source pixel for a destination pixel, converted between monochrome and colour.
    auto sourceAt = [&](int dx, int dy) -> uint32_t {
        if (!needsSource) return 0;
        const int sx =
            src.Left + static_cast<int>((static_cast<int64_t>(dx - dest.Left) * src.Width()) / dest.Width());
        const int sy =
            src.Top + static_cast<int>((static_cast<int64_t>(dy - dest.Top) * src.Height()) / dest.Height());
        // Outside the source nothing is read: black.
        uint32_t s = in.valid(sx, sy) ? (in.pixel(sx, sy) & 0xFFFFFF) : 0;
        if (sourceMono && !destMono) return s == 0xFFFFFF ? destBack : destText;
        if (!sourceMono && destMono) return s == sourceKey ? 0xFFFFFF : 0;
        return s;
    };
    if (FImpl->Image && !FImpl->Image->isNull() && !FImpl->Painter) {
        QImage& out = *FImpl->Image;
        const int x0 = std::max(0, std::min(dest.Left, dest.Right)),
                  x1 = std::min(out.width(), std::max(dest.Left, dest.Right));
        const int y0 = std::max(0, std::min(dest.Top, dest.Bottom)),
                  y1 = std::min(out.height(), std::max(dest.Top, dest.Bottom));
        for (int y = y0; y < y1; ++y) {
            auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
            for (int x = x0; x < x1; ++x) {
                if (FImpl->Clip && !FImpl->Clip->contains(QPoint(x, y))) continue;
                uint32_t pattern = PatternAt(*this, x, y);
                if (destMono) pattern = ToMono(pattern);
                uint32_t result = ApplyRasterOp(rop, pattern, sourceAt(x, y), line[x] & 0xFFFFFF);
                if (destMono) result = ToMono(result);
                line[x] = 0xFF000000u | result;
            }
        }
        return;
    }
    // Painting a control: the source part is made first, then combined by the painter.
    const int w = std::abs(dest.Width()), h = std::abs(dest.Height());
    const int left = std::min(dest.Left, dest.Right), top = std::min(dest.Top, dest.Bottom);
    QImage part(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint32_t s = sourceAt(left + x, top + y);
            // Operations that ignore the destination are exact here.
            part.setPixel(x, y, 0xFF000000u | ApplyRasterOp(rop, PatternAt(*this, left + x, top + y), s, 0));
        }
    WithPainter(*this, [&](QPainter& p) {
        switch (rop) {
        case SRCAND:
            p.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
            break;
        case SRCPAINT:
            p.setCompositionMode(QPainter::RasterOp_SourceOrDestination);
            break;
        case SRCINVERT:
        case PATINVERT:
            p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
            break;
        case DSTINVERT:
            p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
            part.fill(Qt::white);
            break;
        default:
            break;
        }
        if (rop == PATINVERT)
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    part.setPixel(x, y, 0xFF000000u | PatternAt(*this, left + x, top + y));
        p.drawImage(left, top, part);
    });
}

void TCanvas::PatBlt(const TRect& rect, uint32_t rop) {
    TBitmap none;
    StretchBlt(rect, none, TRect{}, rop);
}

void TCanvas::FillRegion(const TRegion& region) {
    WithPainter(*this, [&](QPainter& p) {
        p.setClipRegion(region.Data().Region, Qt::IntersectClip);
        p.fillRect(region.Data().Region.boundingRect(), CanvasBrush(*this));
    });
}

void TCanvas::FrameRegion(const TRegion& region, int width, int height) {
    // The frame is the region less itself shrunk by the frame's size.
    const QRegion& r = region.Data().Region;
    QRegion inner = r;
    inner = inner.intersected(r.translated(width, 0)).intersected(r.translated(-width, 0));
    inner = inner.intersected(r.translated(0, height)).intersected(r.translated(0, -height));
    const QRegion frame = r.subtracted(inner);
    WithPainter(*this, [&](QPainter& p) {
        p.setClipRegion(frame, Qt::IntersectClip);
        p.fillRect(frame.boundingRect(), CanvasBrush(*this));
    });
}

void TCanvas::SetClipRegion(const TRegion* region) {
    if (region)
        FImpl->Clip = region->Data().Region;
    else
        FImpl->Clip.reset();
}

void TCanvas::ExcludeClipRect(const TRect& rect) {
    QRegion base = FImpl->Clip
                       ? *FImpl->Clip
                       : QRegion(FImpl->Image ? FImpl->Image->rect() : QRect(-32768, -32768, 65535, 65535));
    FImpl->Clip = base.subtracted(QRegion(ToQRect(rect)));
}

bool TCanvas::HasClipRegion() const {
    return FImpl->Clip.has_value();
}

} // namespace mv
