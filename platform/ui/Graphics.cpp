#include "platform/ui/Graphics.h"

#include "platform/ui/QtBridge.h"
#include "resources/ResourceData.h"

#include <QFontMetrics>
#include <cmath>

namespace mv {
namespace {

// The fixed system colour table (indexed like the classic system colour numbers).
TColor SystemColor(int index) {
    switch (index) {
    case 5:
        return clWhite; // window
    case 8:
        return clBlack; // window text
    case 13:
        return 0x6A240A; // highlight
    case 14:
        return clWhite; // highlight text
    case 15:
        return 0xC8D0D4; // button face
    case 16:
        return 0x99A8AC; // button shadow
    case 17:
        return clGray; // grey text
    case 18:
        return clBlack; // button text
    case 20:
        return clWhite; // button highlight
    case 24:
        return 0xE1FFFF; // hint background
    default:
        return clGray;
    }
}

bool IsMonospaceFamily(const std::string& name) {
    return name.find("Courier") != std::string::npos || name.find("Mono") != std::string::npos ||
           name == "Fixedsys" || name == "Terminal";
}

} // namespace

TColor ColorToRGB(TColor color) {
    if (color & clSystemColor) return SystemColor(color & 0xFF);
    return color & 0xFFFFFF;
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
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    FImpl->Image = image;
}

void TBitmap::Assign(const TBitmap& other) {
    FImpl->Image = other.FImpl->Image.copy();
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
    return FromQColor(FImpl->Image.pixelColor(x, y));
}

void TBitmap::SetPixel(int x, int y, TColor color) {
    if (FImpl->Image.valid(x, y)) FImpl->Image.setPixelColor(x, y, ToQColor(color));
}

TCanvas& TBitmap::Canvas() {
    if (!FCanvas) FCanvas = std::make_unique<TCanvas>();
    FCanvas->Data().Image = &FImpl->Image;
    return *FCanvas;
}

// ---- TCanvas ----

TCanvas::TCanvas() : FImpl(std::make_unique<Impl>()) {}
TCanvas::~TCanvas() = default;

void WithPainter(TCanvas& canvas, const std::function<void(QPainter&)>& fn) {
    auto& impl = canvas.Data();
    if (impl.Painter) {
        impl.Painter->save();
        impl.Painter->setFont(ToQFont(canvas.Font()));
        fn(*impl.Painter);
        impl.Painter->restore();
        return;
    }
    if (!impl.Image || impl.Image->isNull()) return;
    QPainter painter(impl.Image);
    painter.setFont(ToQFont(canvas.Font()));
    fn(painter);
}

void TCanvas::FillRect(const TRect& r) {
    if (FBrushStyle == TBrushStyle::bsClear) return;
    WithPainter(
        *this, [&](QPainter& p) { p.fillRect(r.Left, r.Top, r.Width(), r.Height(), ToQColor(FBrushColor)); });
}

void TCanvas::Rectangle(const TRect& r) {
    WithPainter(*this, [&](QPainter& p) {
        if (FBrushStyle == TBrushStyle::bsSolid)
            p.fillRect(r.Left, r.Top, r.Width(), r.Height(), ToQColor(FBrushColor));
        p.setPen(QPen(ToQColor(FPenColor), FPenWidth));
        p.drawRect(r.Left, r.Top, r.Width() - 1, r.Height() - 1);
    });
}

void TCanvas::MoveTo(int x, int y) {
    FPenX = x;
    FPenY = y;
}

void TCanvas::LineTo(int x, int y) {
    WithPainter(*this, [&](QPainter& p) {
        p.setPen(QPen(ToQColor(FPenColor), FPenWidth));
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
}

int TCanvas::TextWidth(const std::string& text) const {
    return QFontMetrics(ToQFont(FFont)).horizontalAdvance(ToQ(text));
}

int TCanvas::TextHeight(const std::string&) const {
    return QFontMetrics(ToQFont(FFont)).height();
}

void TCanvas::Draw(int x, int y, const TBitmap& bitmap) {
    WithPainter(*this, [&](QPainter& p) { p.drawImage(x, y, bitmap.Data().Image); });
}

void TCanvas::CopyRect(const TRect& dest, const TBitmap& source, const TRect& src) {
    WithPainter(*this, [&](QPainter& p) {
        p.drawImage(QRect(dest.Left, dest.Top, dest.Width(), dest.Height()), source.Data().Image,
                    QRect(src.Left, src.Top, src.Width(), src.Height()));
    });
}

void TCanvas::BrushCopy(const TRect& dest, const TBitmap& source, const TRect& src, TColor transparent) {
    QImage part = source.Data().Image.copy(src.Left, src.Top, src.Width(), src.Height());
    const QRgb from = ToQColor(transparent).rgb();
    const QRgb to = ToQColor(FBrushColor).rgb();
    for (int y = 0; y < part.height(); ++y)
        for (int x = 0; x < part.width(); ++x)
            if ((part.pixel(x, y) & 0xFFFFFF) == (from & 0xFFFFFF)) part.setPixel(x, y, to);
    WithPainter(*this, [&](QPainter& p) {
        p.drawImage(QRect(dest.Left, dest.Top, dest.Width(), dest.Height()), part);
    });
}

} // namespace mv
