#include "controls/toolkit/colour/ColorMan.h"

#include <cmath>

namespace mv {

void SplitRGB(TColor color, int& r, int& g, int& b) {
    r = color & 0xFF;
    g = (color >> 8) & 0xFF;
    b = (color >> 16) & 0xFF;
}

int ClampChannel(double value) {
    const double rounded = std::nearbyint(value); // the default rounding: ties to even
    if (rounded > 255) return 255;
    if (rounded < 0) return 0;
    return static_cast<int>(rounded);
}

TColor GreyOf(TColor color) {
    int r, g, b;
    SplitRGB(color, r, g, b);
    // In integers: the weighted sum over 100, halves going to the even neighbour.
    const int sum = 20 * r + 50 * g + 30 * b;
    int grey = sum / 100;
    const int rest = sum % 100;
    if (rest > 50 || (rest == 50 && (grey & 1))) ++grey;
    return RGB(grey, grey, grey);
}

bool IsLightColor(TColor color) {
    return GetRValue(GreyOf(color)) >= 128;
}

TColor Brighten(TColor color, int n) {
    int r, g, b;
    SplitRGB(ColorToRGB(color), r, g, b);
    return RGB(ClampChannel(r + n), ClampChannel(g + n), ClampChannel(b + n));
}

TColor Darken(TColor color, int n) {
    return Brighten(color, -n);
}

} // namespace mv
