#include "controls/toolkit/docking/DockLayoutModel.h"

#include <algorithm>

namespace mv {

int DockLastRow(const std::vector<TDockBarRecord>& bars) {
    int last = -1;
    for (const auto& b : bars) last = std::max(last, b.DockRow);
    return last;
}

int DockBarsInRow(const std::vector<TDockBarRecord>& bars, int row, int exceptId) {
    int n = 0;
    for (const auto& b : bars)
        if (b.DockRow == row && b.Id != exceptId) ++n;
    return n;
}

void DockOpenRow(std::vector<TDockBarRecord>& bars, int row) {
    for (auto& b : bars)
        if (b.DockRow >= row) ++b.DockRow;
}

std::vector<int> DockMeasureRows(const std::vector<TDockBarRecord>& bars) {
    std::vector<int> rows(static_cast<size_t>(std::max(0, DockLastRow(bars) + 1)), 0);
    for (const auto& b : bars) {
        if (!b.Shown || b.DockRow < 0) continue;
        int& r = rows[static_cast<size_t>(b.DockRow)];
        r = std::max({r, b.SizeForOrientation, 8});
    }
    return rows;
}

int DockRowThicknessOf(const std::vector<int>& rowThickness, int row) {
    return row >= 0 && row < static_cast<int>(rowThickness.size()) ? rowThickness[static_cast<size_t>(row)] : 0;
}

TDockArrangeResult DockArrange(std::vector<TDockBarRecord>& bars, const TDockArrangeInput& input) {
    TDockArrangeResult result;
    const bool horizontal = DockKindOf(input.Position) == dkHorizontal;
    if (std::none_of(bars.begin(), bars.end(), [](const TDockBarRecord& b) { return b.Shown; })) {
        result.Thickness = input.FixAlign ? 1 : 0;
        return result;
    }
    if (input.LimitToOneRow)
        for (auto& b : bars) b.DockRow = 0;
    // Close up empty rows, several in a row included.
    for (int row = 0, last = DockLastRow(bars); row <= last;) {
        if (std::any_of(bars.begin(), bars.end(), [&](const TDockBarRecord& b) { return b.DockRow == row; })) {
            ++row;
            continue;
        }
        for (auto& b : bars)
            if (b.DockRow > row) --b.DockRow;
        --last;
    }
    std::stable_sort(bars.begin(), bars.end(), [](const TDockBarRecord& a, const TDockBarRecord& b) {
        return a.DockRow != b.DockRow ? a.DockRow < b.DockRow : a.DockPos < b.DockPos;
    });
    // A full-size bar gets its row to itself; the others move out one row.
    for (int row = 0; row <= DockLastRow(bars); ++row) {
        for (size_t i = 0; i < bars.size(); ++i) {
            if (bars[i].DockRow != row || !bars[i].FullSize) continue;
            if (DockBarsInRow(bars, row, bars[i].Id) == 0) continue;
            for (size_t j = 0; j < bars.size(); ++j)
                if (j != i && bars[j].DockRow >= row) ++bars[j].DockRow;
        }
    }
    result.RowThickness = DockMeasureRows(bars);
    const int rowCount = static_cast<int>(result.RowThickness.size());
    auto extent = [&](const TDockBarRecord& b) { return horizontal ? b.Width : b.Height; };
    // Push pass: bars that overlap are pushed apart along the row.
    for (int row = 0; row < rowCount; ++row) {
        int c = 0;
        for (auto& b : bars) {
            if (b.DockRow != row || !b.Shown) continue;
            if (b.FullSize)
                b.DockPos = 0;
            else {
                if (c >= b.DockPos)
                    b.DockPos = c;
                else
                    c = b.DockPos;
                c += extent(b);
            }
        }
    }
    // Pull pass, on a copy: a row that fits ends inside the dock; one that does not
    // starts at 0 and runs over the far end.
    std::vector<int> p(bars.size());
    for (size_t j = 0; j < bars.size(); ++j) p[j] = bars[j].DockPos;
    const int clientAlong = horizontal ? input.ClientWidth : input.ClientHeight;
    for (int row = 0; row < rowCount; ++row) {
        int c = clientAlong;
        for (size_t k = bars.size(); k-- > 0;) {
            const auto& b = bars[k];
            if (b.DockRow != row || !b.Shown || b.FullSize) continue;
            c -= extent(b);
            if (c < p[k]) p[k] = c;
            c = p[k];
        }
        int d = 0;
        for (size_t k = 0; k < bars.size(); ++k) {
            const auto& b = bars[k];
            if (b.DockRow != row || !b.Shown || b.FullSize) continue;
            if (d >= p[k]) p[k] = d;
            d = p[k] + extent(b);
        }
    }
    if (input.Commit)
        for (size_t j = 0; j < bars.size(); ++j) bars[j].DockPos = p[j];
    int t = 0;
    for (int row = 0; row < rowCount; ++row) {
        int s = result.RowThickness[static_cast<size_t>(row)];
        if (s != 0) s += 4;
        for (size_t k = 0; k < bars.size(); ++k) {
            const auto& b = bars[k];
            if (b.DockRow != row || !b.Shown) continue;
            TDockPlacedBar placed;
            placed.Id = b.Id;
            if (horizontal)
                placed.Bounds = Bounds(p[k], t, b.FullSize ? input.ClientWidth : b.Width, s);
            else
                placed.Bounds = Bounds(t, p[k], s, b.FullSize ? input.ClientHeight : b.Height);
            result.Placed.push_back(placed);
        }
        t += s;
    }
    result.Thickness = t;
    return result;
}

int DockRowUnderDrop(const std::vector<int>& rowThickness, int lastRow, int coordinate, bool& insertBefore) {
    insertBefore = false;
    int b = 0;
    for (int row = 0; row <= lastRow + 1; ++row) {
        const int size = DockRowThicknessOf(rowThickness, row);
        if (size == 0 && row <= lastRow) continue;
        const int e = row == lastRow + 1 ? INT_MAX : b + size + 4;
        if (coordinate < b + 5) {
            insertBefore = true;
            return row;
        }
        if (coordinate < e - 5) return row;
        b = e;
    }
    return 0;
}

int DockRowUnderPoint(const std::vector<int>& rowThickness, int lastRow, int coordinate) {
    int s = 0;
    for (int row = 0; row <= lastRow; ++row) {
        const int size = DockRowThicknessOf(rowThickness, row);
        if (size == 0) continue;
        s += size + 4;
        if (s > coordinate) return row;
    }
    return lastRow + 1;
}

bool TDockArrangeLock::Request(bool commit, bool loading) {
    if (commit) FCommitPositions = true;
    if (FLayoutLock > 0 || loading) {
        FLayoutPending = true;
        return false;
    }
    return true;
}

} // namespace mv
