#pragma once
// The shape of a balloon hint, without a window: the hint text split into lines and
// measured, the body outline with its tail towards the mouse in one of four placements,
// the window's region (body, tail and the shadow), where the window goes and where the
// text is drawn.
#include "platform/ui/Graphics.h"

#include <functional>
#include <string>
#include <vector>

namespace mv {

// The lines of a hint text: maximal runs of characters of code 32 and above; the
// control characters between them (line breaks, empty lines) only separate lines.
std::vector<std::string> SplitHintLines(const std::string& text);

// Width and height of one line as the font draws it.
using TLineMeasure = std::function<TPoint(const std::string& line)>;

struct TTextBlock {
    int Width = 0;
    int Height = 0;
};
// The block of lines: as wide as the widest, as high as all of them together.
TTextBlock MeasureHintText(const std::string& text, const TLineMeasure& measure);

struct TBalloonLayout {
    int TextWidth = 0; // the measured text (at least 30 wide)
    int TextHeight = 0;
    bool ToTheRight = false;
    bool Below = false;
    std::vector<TPoint> Outline; // 12 points for the body, 16 with the tail
    TRegion Region;              // the window's shape in window co-ordinates
    TRect Bounds;                // the window on the screen
    TRect TextRect;              // where the text block is drawn, in window co-ordinates
};

struct TBalloonInput {
    TRect HintRect;    // the rectangle the application asks the hint to take (its left and top count)
    TTextBlock Text;   // the measured text
    int IconWidth = 0; // 0 without an icon
    int IconHeight = 0;
    TPoint Mouse; // the last mouse position on the screen
    int ScreenWidth = 0;
    bool ShadowOn = true;
};

TBalloonLayout LayoutBalloon(const TBalloonInput& in);

// The line positions of a text block drawn into rect: the top-left corner of each line,
// aligned inside the block (0 left, 1 right, 2 centre) and the block centred in rect.
struct TPlacedLine {
    std::string Text;
    TPoint At;
};
std::vector<TPlacedLine> PlaceHintLines(const std::string& text, const TRect& rect, int alignment,
                                        const TTextBlock& block, const TLineMeasure& measure);

} // namespace mv
