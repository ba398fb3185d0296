#include "platform/ui/ImageList.h"

#include "platform/ui/QtBridge.h"
#include "resources/ResourceData.h"

#include <algorithm>

namespace mv {

struct TIcon::Impl {
    QImage Image; // ARGB32, alpha 0 where see-through
};

struct TImageList::Entry {
    QImage Image; // ARGB32, alpha 0 where see-through
};

namespace {

// A picture and its mask as one image with an alpha channel.
QImage Combine(const QImage& image, const QImage* mask) {
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    if (!mask) return out;
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x)
            if (mask->valid(x, y) && (mask->pixel(x, y) & 0xFFFFFF) == 0xFFFFFF) out.setPixel(x, y, 0);
    return out;
}

QImage MaskedByColor(const QImage& image, TColor transparent) {
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    if (out.isNull()) return out;
    const QRgb key = transparent == clDefault ? (image.pixel(0, image.height() - 1) & 0xFFFFFF)
                                              : (ToQColor(transparent).rgb() & 0xFFFFFF);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x)
            if ((out.pixel(x, y) & 0xFFFFFF) == key) out.setPixel(x, y, 0);
    return out;
}

// The shape of an image: one colour where it is opaque, see-through elsewhere.
QImage Shape(const QImage& image, const QColor& color) {
    QImage out(image.size(), QImage::Format_ARGB32);
    out.fill(Qt::transparent);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y))) out.setPixelColor(x, y, color);
    return out;
}

QImage Blend(const QImage& image, const QColor& with, int percent) {
    QImage out = image;
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) {
            const QRgb c = out.pixel(x, y);
            if (!qAlpha(c)) continue;
            auto mix = [&](int a, int b) { return (a * (100 - percent) + b * percent) / 100; };
            out.setPixel(x, y,
                         qRgba(mix(qRed(c), with.red()), mix(qGreen(c), with.green()),
                               mix(qBlue(c), with.blue()), 255));
        }
    return out;
}

} // namespace

// ---- TIcon ----

TIcon::TIcon() : FImpl(std::make_unique<Impl>()) {}
TIcon::~TIcon() = default;

int TIcon::Width() const {
    return FImpl->Image.width();
}
int TIcon::Height() const {
    return FImpl->Image.height();
}

void TIcon::Assign(const TIcon& other) {
    FImpl->Image = other.FImpl->Image.copy();
}

void TIcon::AssignBitmap(const TBitmap& image, const TBitmap* mask) {
    FImpl->Image = Combine(image.Data().Image, mask ? &mask->Data().Image : nullptr);
}

void TIcon::AssignMasked(const TBitmap& image, TColor transparent) {
    FImpl->Image = MaskedByColor(image.Data().Image, transparent);
}

bool TIcon::LoadFromResourceName(const std::string& name) {
    const auto data = FindResourceData(TResourceKind::rkBitmap, name);
    QImage image;
    if (data.empty() || !image.loadFromData(data.data(), static_cast<int>(data.size()))) {
        FImpl->Image = QImage();
        return false;
    }
    FImpl->Image = image.convertToFormat(QImage::Format_ARGB32);
    return true;
}

bool TIcon::Opaque(int x, int y) const {
    return FImpl->Image.valid(x, y) && qAlpha(FImpl->Image.pixel(x, y)) != 0;
}

TColor TIcon::Pixel(int x, int y) const {
    if (!FImpl->Image.valid(x, y)) return clNone;
    const QRgb c = FImpl->Image.pixel(x, y);
    return RGB(qRed(c), qGreen(c), qBlue(c));
}

void DrawIcon(TCanvas& canvas, int x, int y, const TIcon& icon) {
    WithPainter(canvas, [&](QPainter& p) { p.drawImage(x, y, icon.Data().Image); });
}

// ---- TImageList ----

TImageList::TImageList(TComponent* owner) : TComponent(owner) {}
TImageList::~TImageList() = default;

void TImageList::Changed() {
    if (OnChange) OnChange(this);
}

void TImageList::SetWidth(int value) {
    value = std::max(1, value);
    if (value == FWidth) return;
    FWidth = value;
    Clear();
}

void TImageList::SetHeight(int value) {
    value = std::max(1, value);
    if (value == FHeight) return;
    FHeight = value;
    Clear();
}

int TImageList::Add(const TBitmap& image, const TBitmap* mask) {
    if (image.Empty()) return -1;
    const QImage combined = Combine(image.Data().Image, mask ? &mask->Data().Image : nullptr);
    const int first = Count();
    const int pieces = std::max(1, combined.width() / FWidth);
    for (int i = 0; i < pieces; ++i) {
        auto entry = std::make_unique<Entry>();
        QImage piece(FWidth, FHeight, QImage::Format_ARGB32);
        piece.fill(Qt::transparent);
        QPainter p(&piece);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(0, 0, combined, i * FWidth, 0, FWidth, FHeight);
        p.end();
        entry->Image = piece;
        FImages.push_back(std::move(entry));
    }
    Changed();
    return first;
}

int TImageList::AddMasked(const TBitmap& image, TColor maskColor) {
    if (image.Empty()) return -1;
    TBitmap mask;
    image.CreateMask(maskColor == clDefault ? image.Pixel(0, image.Height() - 1) : maskColor, mask);
    return Add(image, &mask);
}

int TImageList::AddIcon(const TIcon& icon) {
    if (icon.Empty()) return -1;
    auto entry = std::make_unique<Entry>();
    entry->Image = icon.Data().Image.scaled(FWidth, FHeight);
    FImages.push_back(std::move(entry));
    Changed();
    return Count() - 1;
}

void TImageList::Replace(int index, const TBitmap& image, const TBitmap* mask) {
    if (index < 0 || index >= Count()) return;
    QImage combined = Combine(image.Data().Image, mask ? &mask->Data().Image : nullptr);
    QImage piece(FWidth, FHeight, QImage::Format_ARGB32);
    piece.fill(Qt::transparent);
    QPainter p(&piece);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(0, 0, combined);
    p.end();
    FImages[static_cast<size_t>(index)]->Image = piece;
    Changed();
}

void TImageList::Delete(int index) {
    if (index < 0 || index >= Count()) return;
    FImages.erase(FImages.begin() + index);
    for (int& o : FOverlays) {
        if (o == index)
            o = -1;
        else if (o > index)
            --o;
    }
    Changed();
}

void TImageList::Clear() {
    FImages.clear();
    for (int& o : FOverlays) o = -1;
    Changed();
}

bool TImageList::Overlay(int imageIndex, int overlay) {
    if (imageIndex < 0 || imageIndex >= Count() || overlay < 0 || overlay > 3) return false;
    FOverlays[overlay] = imageIndex;
    return true;
}

int TImageList::OverlayImage(int overlay) const {
    return overlay < 0 || overlay > 3 ? -1 : FOverlays[overlay];
}

void TImageList::Draw(TCanvas& canvas, int x, int y, int index, bool enabled) const {
    Draw(canvas, x, y, index, FDrawingStyle, FImageType, enabled);
}

void TImageList::Draw(TCanvas& canvas, int x, int y, int index, TDrawingStyle style, TImageType type,
                      bool enabled) const {
    if (index < 0 || index >= Count()) return;
    const QImage& image = FImages[static_cast<size_t>(index)]->Image;
    if (type == TImageType::itMask) {
        // The mask: black where the image is opaque, white elsewhere.
        QImage mask(image.size(), QImage::Format_RGB32);
        for (int yy = 0; yy < image.height(); ++yy)
            for (int xx = 0; xx < image.width(); ++xx)
                mask.setPixel(xx, yy, qAlpha(image.pixel(xx, yy)) ? 0xFF000000 : 0xFFFFFFFF);
        WithPainter(canvas, [&](QPainter& p) { p.drawImage(x, y, mask); });
        return;
    }
    if (!enabled) {
        WithPainter(canvas, [&](QPainter& p) {
            p.drawImage(x + 1, y + 1, Shape(image, ToQColor(clBtnHighlight)));
            p.drawImage(x, y, Shape(image, ToQColor(clBtnShadow)));
        });
        return;
    }
    QImage shown = image;
    const QColor blend = ToQColor(FBlendColor == clNone ? clHighlight : FBlendColor);
    if (style == TDrawingStyle::dsFocus) shown = Blend(image, blend, 25);
    if (style == TDrawingStyle::dsSelected) shown = Blend(image, blend, 50);
    WithPainter(canvas, [&](QPainter& p) {
        if (FBkColor != clNone && style != TDrawingStyle::dsTransparent)
            p.fillRect(x, y, image.width(), image.height(), ToQColor(FBkColor));
        p.drawImage(x, y, shown);
    });
}

void TImageList::DrawOverlay(TCanvas& canvas, int x, int y, int index, int overlay, bool enabled) const {
    Draw(canvas, x, y, index, enabled);
    const int over = OverlayImage(overlay);
    if (over >= 0) Draw(canvas, x, y, over, TDrawingStyle::dsTransparent, TImageType::itImage, enabled);
}

bool TImageList::GetBitmap(int index, TBitmap& image) const {
    if (index < 0 || index >= Count()) return false;
    image.SetSize(0, 0);
    image.SetSize(FWidth, FHeight);
    const QImage& source = FImages[static_cast<size_t>(index)]->Image;
    for (int y = 0; y < FHeight; ++y)
        for (int x = 0; x < FWidth; ++x) {
            const QRgb c = source.pixel(x, y);
            image.SetPixel(x, y, qAlpha(c) ? RGB(qRed(c), qGreen(c), qBlue(c)) : clBlack);
        }
    return true;
}

bool TImageList::GetMask(int index, TBitmap& mask) const {
    if (index < 0 || index >= Count()) return false;
    mask.SetSize(0, 0);
    mask.SetSize(FWidth, FHeight);
    const QImage& source = FImages[static_cast<size_t>(index)]->Image;
    for (int y = 0; y < FHeight; ++y)
        for (int x = 0; x < FWidth; ++x) mask.SetPixel(x, y, qAlpha(source.pixel(x, y)) ? clBlack : clWhite);
    mask.SetMonochrome(true);
    return true;
}

} // namespace mv
