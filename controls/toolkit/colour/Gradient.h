#pragma once
// The multi-colour gradient fill: bands of solid colour running through a list of
// colours, from top to bottom or from left to right.
#include "platform/ui/Graphics.h"

#include <vector>

namespace mv {

struct TGradientBand {
    TRect Rect;
    TColor Color;
    bool operator==(const TGradientBand&) const = default;
};

// The bands Gradient fills, in order. Direction 1 runs from left to right (vertical
// bands), any other from top to bottom; Step is the band thickness (below 1 counts as
// 1); Transitions is the number of colour changes (below 1 counts as 3), never more
// than the colours given allow, so that no colour past the list is read; one colour
// gives a solid fill. The band length is the extent over Transitions, at least 1, and
// the first change falls at that co-ordinate itself (not counted from the rectangle's
// start). The colour runs on from where it was at each change; the last band may reach
// past the end by up to Step - 1. Nothing when the rectangle's right or bottom is 0 or
// there are no colours.
std::vector<TGradientBand> GradientBands(const TRect& rect, const std::vector<TColor>& colors,
                                         int transitions, int direction, int step);

// Fills the bands on the canvas (the brush is left as it was).
void Gradient(TCanvas& canvas, const TRect& rect, const std::vector<TColor>& colors, int transitions,
              int direction, int step);

} // namespace mv
