#include "controls/toolkit/hints/BalloonGeometry.h"

#include <algorithm>
#include <cstddef>

namespace mv {

std::vector<std::string> SplitHintLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t i = 0;
    while (i < text.size()) {
        size_t start = i;
        while (i < text.size() && static_cast<unsigned char>(text[i]) >= 32) ++i;
        if (i > start) lines.push_back(text.substr(start, i - start));
        while (i < text.size() && static_cast<unsigned char>(text[i]) < 32) ++i;
    }
    return lines;
}

TTextBlock MeasureHintText(const std::string& text, const TLineMeasure& measure) {
    TTextBlock block;
    int running = 0;
    for (const std::string& line : SplitHintLines(text)) {
        const TPoint size = measure(line);
        block.Width = std::max(block.Width, size.X);
        running += size.Y;
        block.Height = std::max(block.Height, running);
    }
    return block;
}

std::vector<TPlacedLine> PlaceHintLines(const std::string& text, const TRect& rect, int alignment,
                                        const TTextBlock& block, const TLineMeasure& measure) {
    std::vector<TPlacedLine> out;
    int running = 0;
    for (const std::string& line : SplitHintLines(text)) {
        const TPoint size = measure(line);
        int offset = 0;
        if (alignment == 1)
            offset = block.Width - size.X;
        else if (alignment == 2)
            offset = (block.Width - size.X) / 2;
        const int x = rect.Left + (rect.Width() - block.Width) / 2 + offset;
        const int y = rect.Top + (rect.Height() - block.Height) / 2 + running;
        out.push_back({line, {x, y}});
        running += size.Y;
    }
    return out;
}

TBalloonLayout LayoutBalloon(const TBalloonInput& in) {
    TBalloonLayout out;
    const int L = in.HintRect.Left, T = in.HintRect.Top;
    int W = std::max(in.Text.Width, 30);
    int H = in.Text.Height;
    out.TextWidth = W;
    out.TextHeight = H;
    // Margins of 5 round the text, 20 for the tail, 5 for the shadow.
    int right = L + W + 15;
    int bottom = T + H + 35;
    if (in.IconWidth > 0 && in.IconHeight > 0) {
        right += (3 * in.IconWidth) / 2;
        W += (3 * in.IconWidth) / 2;
        if ((3 * in.IconHeight) / 2 > H) {
            H = (3 * in.IconHeight) / 2;
            bottom = T + H + 35;
        }
    }
    out.Outline = {{5, 0},           {W + 10, 0}, {W + 13, 2}, {W + 15, 5}, {W + 15, H + 5}, {W + 13, H + 8},
                   {W + 10, H + 10}, {5, H + 10}, {2, H + 8},  {0, H + 5},  {0, 5},          {1, 2}};

    const int mx = in.Mouse.X, my = in.Mouse.Y;
    out.ToTheRight = in.ScreenWidth > mx + (right - L);
    out.Below = (bottom - T) > my;
    if (out.Below && (right - L) < mx) out.ToTheRight = false;

    out.Region = TRegion::FromPolygon(out.Outline, TPolyFillMode::pfWinding);
    if (out.Below) {
        for (TPoint& p : out.Outline) p.Y += 20;
        out.Region.Offset(0, 20);
    }
    std::vector<TPoint> tail;
    size_t insertAfter;
    if (out.Below) {
        insertAfter = 0;
        tail = out.ToTheRight ? std::vector<TPoint>{{30, 20}, {0, 0}, {10, 17}, {10, 20}}
                              : std::vector<TPoint>{{W, 20}, {W, 16}, {W + 20, 0}, {W - 20, 20}};
    } else {
        insertAfter = 6;
        tail = out.ToTheRight
                   ? std::vector<TPoint>{{10, H + 10}, {10, H + 13}, {0, H + 30}, {30, H + 10}}
                   : std::vector<TPoint>{{W - 20, H + 10}, {W + 10, H + 30}, {W, H + 13}, {W, H + 10}};
    }
    {
        const TRegion tailRegion = TRegion::FromPolygon(tail, TPolyFillMode::pfAlternate);
        TRegion joined;
        joined.Combine(out.Region, tailRegion, TRegionCombine::rcOr);
        out.Region = joined;
        if (in.ShadowOn) {
            TRegion shadow = out.Region;
            shadow.Offset(5, 5);
            TRegion withShadow;
            withShadow.Combine(out.Region, shadow, TRegionCombine::rcOr);
            out.Region = withShadow;
        }
        // Each point goes in at the same place, so they end up in reverse order.
        for (const TPoint& p : tail)
            out.Outline.insert(out.Outline.begin() + static_cast<std::ptrdiff_t>(insertAfter) + 1, p);
    }

    const int dx = out.ToTheRight ? mx - L : mx - right;
    const int dy = out.Below ? my - T : my - bottom;
    out.Bounds = Bounds(L + dx, T + dy, (right - L) + 5, bottom - T);
    TRect text = Bounds(0, 0, out.Bounds.Width(), out.Bounds.Height());
    if (out.Below)
        text.Top += 20;
    else
        text.Bottom -= 20;
    out.TextRect = Rect(text.Left + 5, text.Top + 5, text.Right - 5, text.Bottom - 5);
    return out;
}

} // namespace mv
