#pragma once
// The toolbar's line layout without a display: its controls (in layout order) go in
// a line along the dock, centred across the row, in groups closed by separators;
// floating, the line wraps at the wrap width. Also the table of sizes a floating
// toolbar offers while the user sizes it, and the snapping of the dragged edge to
// those sizes.
#include "controls/toolkit/docking/DockLayoutModel.h"

#include <functional>
#include <vector>

namespace mv {

struct TToolbarItem {
    int Width = 0, Height = 0;
    bool Separator = false;
    bool Blank = false;
    int SizeHorz = 6, SizeVert = 6; // separators: extent along a horizontal or floating line, a vertical dock
};

// A line break after a separator in a floating layout: the new line's top and
// whether that separator draws nothing.
struct TWrapLine {
    int Y = 0;
    bool Blank = false;
};

struct TToolbarLayout {
    int Width = 0, Height = 0;  // client size
    std::vector<TRect> Bounds;  // per item, in the item order given
    std::vector<TWrapLine> WrapLines;
};

// The thickness of the toolbar in a row of that kind of place: 8, or the tallest
// (vertical dock: widest) control that is not a separator.
int ToolbarSizeForOrientation(const std::vector<TToolbarItem>& items, int dockKind);

// Lays the items out for a place of kind dockKind (dkNone: floating, wrapping at
// floatRightX when it is not 0). slot is the thickness the controls are centred in
// (the row's thickness when the toolbar stays in its dock, else its own).
TToolbarLayout LayoutToolbar(const std::vector<TToolbarItem>& items, int dockKind, int floatRightX, int slot);
inline TToolbarLayout LayoutToolbar(const std::vector<TToolbarItem>& items, int dockKind, int floatRightX) {
    return LayoutToolbar(items, dockKind, floatRightX, ToolbarSizeForOrientation(items, dockKind));
}

// Hit-test codes of the edges and corners of a floating window.
constexpr int HTCLIENT = 1, HTLEFT = 10, HTRIGHT = 11, HTTOP = 12, HTTOPLEFT = 13, HTTOPRIGHT = 14,
              HTBOTTOM = 15, HTBOTTOMLEFT = 16, HTBOTTOMRIGHT = 17, HTCLOSE = 20;

// The sizes a floating toolbar may take while one of its edges is dragged.
class TToolbarSizeTable {
public:
    struct TEntry {
        int Width = 0, Height = 0; // outer sizes
    };
    // layout(wrapWidth) gives the client size for a wrap width (0: no wrapping);
    // frameW/frameH are the floating non-client sizes; minWidth the narrowest trial
    // width (the thickness for floating plus 8); leftFrame the frame's left width.
    void Build(const std::function<TPoint(int floatRightX)>& layout, int frameW, int frameH, int minWidth,
               int leftFrame, int hitTest);
    const std::vector<TEntry>& Entries() const { return FEntries; }
    // Sets the snap distance for a window now of that outer size.
    void Begin(int width, int height);
    // The dragged rectangle for a pointer at `pointer` (screen), from the starting
    // bounds `start`.
    TRect Track(const TRect& start, TPoint pointer);
    // The wrap width the last Track chose (0 for the unwrapped layout).
    int CandidateFloatRightX() const { return FCandidate; }
    int SnapDistance() const { return FSnap; }

private:
    std::vector<TEntry> FEntries;
    int FHitTest = HTRIGHT;
    bool FByHeight = false;
    int FLeftFrame = 0;
    int FSnap = 12;
    int FCandidate = 0;
    bool FChanged = false;
    bool FHaveShrinking = false;
    bool FShrinking = false;
};

} // namespace mv
