#include "controls/toolkit/docking/ToolbarLayoutModel.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace mv {

int ToolbarSizeForOrientation(const std::vector<TToolbarItem>& items, int dockKind) {
    int size = 8;
    for (const auto& c : items)
        if (!c.Separator) size = std::max(size, dockKind == dkVertical ? c.Width : c.Height);
    return size;
}

TToolbarLayout LayoutToolbar(const std::vector<TToolbarItem>& items, int dockKind, int floatRightX, int slot) {
    TToolbarLayout out;
    out.Bounds.resize(items.size());
    const bool floating = dockKind == dkNone;
    const bool vertical = dockKind == dkVertical;
    const int lineStartAcross = floating ? 2 : 0, endAcross = floating ? 1 : 0;
    const int startAlong = floating ? 4 : 0, endAlong = floating ? 4 : 0;
    int rightX = INT_MAX;
    if (floating && floatRightX != 0) {
        rightX = floatRightX;
        for (const auto& c : items)
            if (!c.Separator) rightX = std::max(rightX, c.Width + 8);
    }
    const int rowSize = ToolbarSizeForOrientation(items, dockKind);
    // Groups: a new one starts at the first control and after every separator.
    std::vector<std::vector<size_t>> groups;
    for (size_t k = 0; k < items.size(); ++k) {
        if (groups.empty() || items[groups.back().back()].Separator) groups.emplace_back();
        groups.back().push_back(k);
    }
    int y = lineStartAcross, x = startAlong, maxX = x;
    bool forceNewLine = false;
    long prevSeparator = -1;
    int maxXBeforeSeparator = maxX;
    for (size_t i = 0; i < groups.size(); ++i) {
        int total = 0;
        for (size_t k : groups[i])
            if (!items[k].Separator) total += vertical ? items[k].Height : items[k].Width;
        // Each addition is done in 64 bits: the unwrapped limit is the largest integer.
        if (floating && (forceNewLine || static_cast<long long>(rightX) < static_cast<long long>(x) + total + endAlong)) {
            forceNewLine = false;
            x = startAlong;
            if (i > 0) {
                y += rowSize + 6;
                if (prevSeparator >= 0) {
                    maxX = maxXBeforeSeparator;
                    auto& r = out.Bounds[static_cast<size_t>(prevSeparator)];
                    r.Right = r.Left; // the separator at the break takes no room
                    out.WrapLines.push_back({y, items[static_cast<size_t>(prevSeparator)].Blank});
                }
            }
        }
        maxX = std::max(maxX, x);
        for (size_t k : groups[i]) {
            const auto& c = items[k];
            const int extent = c.Separator ? (vertical ? c.SizeVert : c.SizeHorz) : (vertical ? c.Height : c.Width);
            if (floating && !c.Separator && static_cast<long long>(rightX) < static_cast<long long>(x) + extent + endAlong) {
                x = startAlong;
                y += rowSize;
                forceNewLine = true;
            }
            if (vertical)
                out.Bounds[k] = c.Separator ? Bounds(y, x, slot, c.SizeVert)
                                            : Bounds(y + (slot - c.Width) / 2, x, c.Width, c.Height);
            else
                out.Bounds[k] = c.Separator ? Bounds(x, y, c.SizeHorz, slot)
                                            : Bounds(x, y + (slot - c.Height) / 2, c.Width, c.Height);
            x += extent;
            if (c.Separator) maxXBeforeSeparator = maxX;
            maxX = std::max(maxX, x);
        }
        prevSeparator = items[groups[i].back()].Separator ? static_cast<long>(groups[i].back()) : -1;
    }
    if (items.empty()) maxX = startAlong + 8;
    const int along = maxX + endAlong, across = y + rowSize + endAcross;
    out.Width = vertical ? across : along;
    out.Height = vertical ? along : across;
    return out;
}

void TToolbarSizeTable::Build(const std::function<TPoint(int)>& layout, int frameW, int frameH, int minWidth,
                              int leftFrame, int hitTest) {
    FEntries.clear();
    FHitTest = hitTest;
    FLeftFrame = leftFrame;
    FByHeight = hitTest == HTTOP || hitTest == HTBOTTOM;
    FChanged = false;
    FHaveShrinking = false;
    const TPoint unwrapped = layout(0);
    FEntries.push_back({unwrapped.X + frameW, unwrapped.Y + frameH});
    int lastWidth = unwrapped.X;
    for (int x = unwrapped.X - 1; x >= minWidth; --x) {
        if (x > lastWidth) continue;
        const TPoint size = layout(x);
        if (size.X == x) {
            const TEntry e{size.X + frameW, size.Y + frameH};
            if (FEntries.size() > 1 && FEntries.back().Height == e.Height) FEntries.pop_back();
            const bool duplicate = std::any_of(FEntries.begin(), FEntries.end(), [&](const TEntry& o) {
                return o.Width == e.Width && o.Height == e.Height;
            });
            if (!duplicate) FEntries.push_back(e);
        }
        lastWidth = size.X;
    }
    std::stable_sort(FEntries.begin(), FEntries.end(), [this](const TEntry& a, const TEntry& b) {
        return FByHeight ? a.Height > b.Height : a.Width > b.Width;
    });
}

void TToolbarSizeTable::Begin(int width, int height) {
    FSnap = 12;
    const int current = FByHeight ? height : width;
    for (size_t i = 0; i < FEntries.size(); ++i) {
        if (FEntries[i].Width != width || FEntries[i].Height != height) continue;
        auto along = [&](size_t k) { return FByHeight ? FEntries[k].Height : FEntries[k].Width; };
        if (i > 0) FSnap = std::min(FSnap, std::abs(along(i - 1) - current) - 1);
        if (i + 1 < FEntries.size()) FSnap = std::min(FSnap, std::abs(along(i + 1) - current) - 1);
    }
    FSnap = std::max(FSnap, 0);
}

TRect TToolbarSizeTable::Track(const TRect& start, TPoint pointer) {
    int e = 0, s = 0;
    switch (FHitTest) {
    case HTRIGHT: e = pointer.X - start.Left, s = start.Width(); break;
    case HTLEFT: e = start.Right - pointer.X, s = start.Width(); break;
    case HTBOTTOM: e = pointer.Y - start.Top, s = start.Height(); break;
    default: e = start.Bottom - pointer.Y, s = start.Height(); break;
    }
    const bool shrinking = e < s;
    if (!FChanged || !FHaveShrinking || shrinking != FShrinking)
        if (s - FSnap <= e && e < s + FSnap) e = s;
    FShrinking = shrinking;
    FHaveShrinking = true;
    TRect r = start;
    if (FEntries.empty()) return r;
    const size_t unwrappedIndex = FByHeight ? FEntries.size() - 1 : 0;
    auto along = [&](size_t k) { return FByHeight ? FEntries[k].Height : FEntries[k].Width; };
    auto apply = [&](size_t k) {
        const auto& entry = FEntries[k];
        r = start;
        switch (FHitTest) {
        case HTRIGHT: r.Right = r.Left + entry.Width, r.Bottom = r.Top + entry.Height; break;
        case HTLEFT: r.Left = r.Right - entry.Width, r.Bottom = r.Top + entry.Height; break;
        case HTBOTTOM: r.Bottom = r.Top + entry.Height, r.Right = r.Left + entry.Width; break;
        default: r.Top = r.Bottom - entry.Height, r.Right = r.Left + entry.Width; break;
        }
        FCandidate = k == unwrappedIndex ? 0 : entry.Width - 2 * FLeftFrame;
    };
    if (e > s) {
        for (size_t k = 0; k < FEntries.size(); ++k)
            if (k == 0 || along(k) > e) apply(k);
    } else {
        for (size_t k = FEntries.size(); k-- > 0;)
            if (k == FEntries.size() - 1 || along(k) <= e) apply(k);
    }
    if (!(r.Left == start.Left && r.Top == start.Top && r.Right == start.Right && r.Bottom == start.Bottom))
        FChanged = true;
    return r;
}

} // namespace mv
