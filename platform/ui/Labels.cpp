#include "platform/ui/Labels.h"

#include "platform/ui/QtBridge.h"

#include <QFontMetrics>
#include <QWidget>
#include <algorithm>
#include <cctype>

namespace mv {
namespace {

int LabelTextFlags(bool wordWrap, TAlignment alignment) {
    int flags = Qt::TextShowMnemonic | Qt::AlignTop;
    if (wordWrap) flags |= Qt::TextWordWrap;
    switch (alignment) {
    case TAlignment::taRightJustify:
        flags |= Qt::AlignRight;
        break;
    case TAlignment::taCenter:
        flags |= Qt::AlignHCenter;
        break;
    default:
        flags |= Qt::AlignLeft;
        break;
    }
    return flags;
}

} // namespace

std::string StripAccelChars(const std::string& caption) {
    std::string out;
    out.reserve(caption.size());
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&') {
            if (i + 1 < caption.size() && caption[i + 1] == '&') {
                out += '&';
                ++i;
            }
            continue;
        }
        out += caption[i];
    }
    return out;
}

char AccelCharOf(const std::string& caption) {
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        if (caption[i + 1] == '&') {
            ++i;
            continue;
        }
        const auto c = static_cast<unsigned char>(caption[i + 1]);
        if (c < 0x21 || c >= 0x80) return 0; // only plain printable characters are typed with Alt
        return static_cast<char>(std::tolower(c));
    }
    return 0;
}

bool IsAccel(char key, const std::string& caption) {
    const char accel = AccelCharOf(caption);
    return accel != 0 && std::tolower(static_cast<unsigned char>(key)) == accel;
}

// ---- TLabel ----

TLabel::TLabel(TComponent* owner) : TGraphicControl(owner) {
    SetBounds(0, 0, 65, 13);
    Widget()->setAttribute(Qt::WA_TransparentForMouseEvents, false);
}

void TLabel::SetText(const std::string& value) {
    TControl::SetText(value);
    AdjustSize();
    Invalidate();
}

void TLabel::SetAutoSize(bool value) {
    FAutoSize = value;
    AdjustSize();
}

void TLabel::SetWordWrap(bool value) {
    FWordWrap = value;
    AdjustSize();
    Invalidate();
}

void TLabel::SetAlignment(TAlignment value) {
    FAlignment = value;
    Invalidate();
}

void TLabel::SetTransparent(bool value) {
    FTransparent = value;
    Invalidate();
}

int TLabel::TextExtentWidth() const {
    const QFontMetrics metrics(ToQFont(FFont));
    const QRect r = metrics.boundingRect(QRect(0, 0, 100000, 100000), LabelTextFlags(false, FAlignment),
                                         ToQ(FText.empty() ? std::string(" ") : FText));
    return FText.empty() ? 0 : r.width();
}

int TLabel::TextExtentHeight(int wrapWidth) const {
    const QFontMetrics metrics(ToQFont(FFont));
    const bool wrap = wrapWidth >= 0;
    const QRect r =
        metrics.boundingRect(QRect(0, 0, wrap ? std::max(1, wrapWidth) : 100000, 100000),
                             LabelTextFlags(wrap, FAlignment), ToQ(FText.empty() ? std::string(" ") : FText));
    return std::max(r.height(), metrics.height());
}

void TLabel::AdjustSize() {
    if (!FAutoSize) return;
    if (FWordWrap)
        SetBounds(Left(), Top(), Width(), TextExtentHeight(Width()));
    else
        SetBounds(Left(), Top(), TextExtentWidth(), TextExtentHeight());
}

void TLabel::Paint() {
    TCanvas& canvas = Canvas();
    canvas.Font().Assign(FFont);
    WithPainter(canvas, [&](QPainter& p) {
        // A label takes its parent's colour, as labels sit on dialogs and panels.
        if (!FTransparent)
            p.fillRect(0, 0, Width(), Height(), ToQColor(Parent() ? Parent()->Color() : Color()));
        p.setPen(ToQColor(Enabled() ? FFont.Color() : clGrayText));
        p.drawText(QRect(0, 0, Width(), Height()), LabelTextFlags(FWordWrap, FAlignment), ToQ(FText));
    });
}

} // namespace mv
