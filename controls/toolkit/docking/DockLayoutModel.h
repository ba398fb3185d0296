#pragma once
// The dock's arrangement without a display: the bars it holds are records (row,
// position along the row, size, full-size flag, shown flag and their thickness for
// this dock), and one arrange turns them into bounds inside the dock, new rows and
// positions, and the dock's thickness. Row lookups for drops and the arrange lock
// live here too, so that the dock control only feeds records in and applies results.
#include "platform/ui/Graphics.h"

#include <climits>
#include <vector>

namespace mv {

enum class TDockPosition { dpTop, dpBottom, dpLeft, dpRight };

// The kind of place a tool window is in: 0 floating, 1 a horizontal dock (top or
// bottom), 2 a vertical dock (left or right).
constexpr int dkNone = 0, dkHorizontal = 1, dkVertical = 2;
inline int DockKindOf(TDockPosition position) {
    return position == TDockPosition::dpTop || position == TDockPosition::dpBottom ? dkHorizontal : dkVertical;
}

// One member of a dock as the arrange sees it. `Id` is the caller's handle for the
// bar; the arrange reorders the member list, so results are looked up by it.
struct TDockBarRecord {
    int Id = 0;
    int DockRow = 0;
    int DockPos = -1;
    int Width = 0, Height = 0;
    bool FullSize = false;
    bool Shown = true;
    int SizeForOrientation = 0; // thickness of the bar in a row of this dock
};

struct TDockArrangeInput {
    TDockPosition Position = TDockPosition::dpTop;
    int ClientWidth = 0, ClientHeight = 0;
    bool FixAlign = false;
    bool LimitToOneRow = false;
    bool Commit = false;
};

struct TDockPlacedBar {
    int Id = 0;
    TRect Bounds; // in the dock's client area
};

struct TDockArrangeResult {
    std::vector<TDockPlacedBar> Placed; // the shown bars, in row and position order
    std::vector<int> RowThickness;
    int Thickness = 0; // the dock's new client size across (height or width)
};

// The largest row of the member list, -1 for no member.
int DockLastRow(const std::vector<TDockBarRecord>& bars);
int DockBarsInRow(const std::vector<TDockBarRecord>& bars, int row, int exceptId);
// Every member from `row` on moves one row further out.
void DockOpenRow(std::vector<TDockBarRecord>& bars, int row);
// The thickness of each row: the thickest shown bar in it (at least 8), 0 for a row
// without a shown bar.
std::vector<int> DockMeasureRows(const std::vector<TDockBarRecord>& bars);
// The thickness of a row, 0 out of range.
int DockRowThicknessOf(const std::vector<int>& rowThickness, int row);

// One arrange: bars (the member list) come back sorted by row and position, with
// empty rows closed up, full-size bars alone in their rows and positions pushed
// apart (or, with Commit, pulled back to fit the dock). Bars with the same row and
// position keep their order in the member list, so the same records always give the
// same layout.
TDockArrangeResult DockArrange(std::vector<TDockBarRecord>& bars, const TDockArrangeInput& input);

// The row under a coordinate across the dock during a drop; within 5 pixels of the
// boundary before a row, insertBefore says a new row opens there.
int DockRowUnderDrop(const std::vector<int>& rowThickness, int lastRow, int coordinate, bool& insertBefore);
// The plain row lookup (a bar moved by hand inside its dock).
int DockRowUnderPoint(const std::vector<int>& rowThickness, int lastRow, int coordinate);

// The dock's arrange lock: requests while locked are remembered (with the strongest
// commit asked for) and run once when the last lock goes.
class TDockArrangeLock {
public:
    int LayoutLock() const { return FLayoutLock; }
    bool LayoutPending() const { return FLayoutPending; }
    bool CommitPositions() const { return FCommitPositions; }
    void Disable() { ++FLayoutLock; }
    // True when a pending arrange must run now (the caller then calls Begin).
    bool Enable() { return --FLayoutLock == 0 && FLayoutPending; }
    // Asks for an arrange; true when it may run now (and then Begin/End frame it),
    // false when it was deferred.
    bool Request(bool commit, bool loading);
    void Begin() { ++FLayoutLock; }
    void End() {
        --FLayoutLock;
        FLayoutPending = false;
        FCommitPositions = false;
    }

private:
    int FLayoutLock = 0;
    bool FLayoutPending = false;
    bool FCommitPositions = false;
};

} // namespace mv
