#include "controls/toolkit/colour/Gradient.h"

#include "controls/toolkit/colour/ColorMan.h"

#include <algorithm>

namespace mv {

std::vector<TGradientBand> GradientBands(const TRect& rect, const std::vector<TColor>& colors,
                                         int transitions, int direction, int step) {
    std::vector<TGradientBand> bands;
    if (rect.Right == 0 || rect.Bottom == 0 || colors.empty()) return bands;
    if (step < 1) step = 1;
    if (transitions < 1) transitions = 3;
    transitions = std::min(transitions, static_cast<int>(colors.size()) - 1);
    const bool across = direction == 1;
    if (transitions < 1) {
        bands.push_back({rect, ColorToRGB(colors[0])});
        return bands;
    }
    int position = across ? rect.Left : rect.Top;
    const int end = across ? rect.Right : rect.Bottom;
    // A rectangle thinner than the number of changes still gets a band length of 1.
    const int length = std::max(1, (end - position) / transitions);
    int nextChange = length;
    int index = 1;
    TColor from = ColorToRGB(colors[0]);
    TColor to = ColorToRGB(transitions > 1 ? colors[1] : colors[0]);
    int r, g, b;
    SplitRGB(from, r, g, b);
    double cr = r, cg = g, cb = b;
    while (position <= end) {
        const TRect band = across ? TRect{position, rect.Top, position + step, rect.Bottom}
                                  : TRect{rect.Left, position, rect.Right, position + step};
        bands.push_back({band, RGB(ClampChannel(cr), ClampChannel(cg), ClampChannel(cb))});
        position += step;
        if (position >= nextChange) {
            nextChange += length;
            index = std::min(index + 1, transitions);
            from = to;
            to = ColorToRGB(colors[static_cast<size_t>(index)]);
        }
        int fr, fg, fb, tr, tg, tb;
        SplitRGB(from, fr, fg, fb);
        SplitRGB(to, tr, tg, tb);
        cr += static_cast<double>(tr - fr) / length * step;
        cg += static_cast<double>(tg - fg) / length * step;
        cb += static_cast<double>(tb - fb) / length * step;
    }
    return bands;
}

void Gradient(TCanvas& canvas, const TRect& rect, const std::vector<TColor>& colors, int transitions,
              int direction, int step) {
    const TColor brushColor = canvas.BrushColor();
    const TBrushStyle brushStyle = canvas.BrushStyle();
    canvas.SetBrushStyle(TBrushStyle::bsSolid);
    for (const TGradientBand& band : GradientBands(rect, colors, transitions, direction, step)) {
        canvas.SetBrushColor(band.Color);
        canvas.FillRect(band.Rect);
    }
    canvas.SetBrushColor(brushColor);
    canvas.SetBrushStyle(brushStyle);
}

} // namespace mv
