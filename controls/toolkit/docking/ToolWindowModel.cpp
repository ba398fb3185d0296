#include "controls/toolkit/docking/ToolWindowModel.h"

#include <algorithm>
#include <cstdint>

namespace mv {

TDragHandleMetrics DragHandleMetrics(TDragHandleStyle style, bool closeButtonWhenDocked) {
    TDragHandleMetrics m;
    switch (style) {
    case TDragHandleStyle::dhDouble: m = {9, 4, 2}; break;
    case TDragHandleStyle::dhNone: m = {0, 0, 0}; break;
    case TDragHandleStyle::dhSingle: m = {6, 3, 1}; break;
    }
    if (closeButtonWhenDocked) {
        m.Size = 14;
        if (style == TDragHandleStyle::dhDouble) m.FirstGrip = 5;
        if (style == TDragHandleStyle::dhSingle) m.FirstGrip = 7;
    }
    return m;
}

TNonClient DockedNonClient(int dockKind, bool allowDrag, TDragHandleStyle style, bool closeButtonWhenDocked) {
    TNonClient n{2, 2, 2, 2};
    if (allowDrag) {
        const int handle = DragHandleMetrics(style, closeButtonWhenDocked).Size;
        if (dockKind == dkVertical)
            n.Top += handle;
        else
            n.Left += handle;
    }
    return n;
}

TNonClient FloatingNonClient(int fx, int fy, int captionHeight, bool showCaption) {
    return {fx, fy + (showCaption ? captionHeight : 0), fx, fy};
}

TRect TFloatingFrame::ClientRect() const {
    const TNonClient n = FloatingNonClient(Fx, Fy, CaptionHeight, ShowCaption);
    return Rect(n.Left, n.Top, Width - n.Right, Height - n.Bottom);
}

TRect TFloatingFrame::CaptionRect() const {
    TRect r = Bounds(Fx, Fy, Width - 2 * Fx, CaptionHeight - 1);
    if (!CloseButton) r.Right -= r.Height();
    return r;
}

TRect TFloatingFrame::CloseButtonRect() const {
    const int side = CaptionHeight - 1;
    const int right = Width - Fx;
    return Rect(right - side, Fy, right, Fy + side);
}

static bool Inside(const TRect& r, int x, int y) {
    return x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom;
}

int FloatingHitTest(const TFloatingFrame& f, int x, int y) {
    if (Inside(f.ClientRect(), x, y)) return HTCLIENT;
    if (f.ShowCaption) {
        if (f.CloseButton && Inside(f.CloseButtonRect(), x, y)) return HTCLOSE;
        if (Inside(f.CaptionRect(), x, y)) return HTCLIENT;
    }
    if (!f.Resizable) return 0;
    const int w = f.Width, h = f.Height;
    const bool left = x >= 0 && x < f.Fx, right = x >= w - f.Fx - 1 && x < w;
    const bool top = y >= 0 && y < f.Fy, bottom = y >= h - f.Fy - 1 && y < h;
    if (f.CornerSizing) {
        const int l = f.CaptionHeight + f.Fx - 1;
        if (left) return y < l ? HTTOPLEFT : y >= h - l ? HTBOTTOMLEFT : HTLEFT;
        if (right) return y < l ? HTTOPRIGHT : y >= h - l ? HTBOTTOMRIGHT : HTRIGHT;
        if (top) return x < l ? HTTOPLEFT : x >= w - l ? HTTOPRIGHT : HTTOP;
        if (bottom) return x < l ? HTBOTTOMLEFT : x >= w - l ? HTBOTTOMRIGHT : HTBOTTOM;
        return 0;
    }
    if (top) return HTTOP;
    if (bottom) return HTBOTTOM;
    if (left) return HTLEFT;
    if (right) return HTRIGHT;
    return 0;
}

TRect DockedCloseButtonRect(int dockKind, int clientWidth) {
    return dockKind == dkVertical ? Bounds(clientWidth - 9, 3, 11, 11) : Bounds(3, 2, 11, 11);
}

namespace {
// Byte offsets of the starts of the UTF-8 characters of s.
std::vector<size_t> CharStarts(const std::string& s) {
    std::vector<size_t> starts;
    for (size_t i = 0; i < s.size(); ++i)
        if ((static_cast<uint8_t>(s[i]) & 0xC0) != 0x80) starts.push_back(i);
    return starts;
}
} // namespace

std::string ShortenCaption(const std::string& text, int width, const std::function<int(const std::string&)>& measure) {
    if (measure(text) <= width) return text;
    std::string head = text;
    std::string shown = head + "...";
    while (measure(shown) > width) {
        const auto starts = CharStarts(head);
        if (starts.size() + 3 <= 4 || starts.empty()) break;
        head.erase(starts.back());
        shown = head + "...";
    }
    return shown;
}

TRect ResizeTrackRect(const TRect& start, int k, int dx, int dy, int minWidth, int minHeight) {
    TRect r = start;
    const bool horz = k == HTLEFT || k == HTRIGHT || k == HTTOPLEFT || k == HTTOPRIGHT || k == HTBOTTOMLEFT ||
                      k == HTBOTTOMRIGHT;
    const bool leftEdge = k == HTLEFT || k == HTTOPLEFT || k == HTBOTTOMLEFT;
    const bool vert = k >= HTTOP && k <= HTBOTTOMRIGHT;
    const bool topEdge = k == HTTOP || k == HTTOPLEFT || k == HTTOPRIGHT;
    if (horz) (leftEdge ? r.Left : r.Right) += dx;
    if (vert) (topEdge ? r.Top : r.Bottom) += dy;
    if (r.Width() < minWidth) {
        if (horz && leftEdge)
            r.Left = r.Right - minWidth;
        else
            r.Right = r.Left + minWidth;
    }
    if (r.Height() < minHeight) {
        if (vert && topEdge)
            r.Top = r.Bottom - minHeight;
        else
            r.Bottom = r.Top + minHeight;
    }
    return r;
}

TRect KeepRectOnScreen(const TRect& b, const TRect& w, bool onlyIfFullyOff) {
    if (onlyIfFullyOff && b.Left < w.Right && b.Right > w.Left && b.Top < w.Bottom && b.Bottom > w.Top) return b;
    TRect r = b;
    auto shift = [&](int dx, int dy) { r.Left += dx, r.Right += dx, r.Top += dy, r.Bottom += dy; };
    if (r.Right > w.Right) shift(w.Right - r.Right, 0);
    if (r.Bottom > w.Bottom) shift(0, w.Bottom - r.Bottom);
    if (r.Left < w.Left) shift(w.Left - r.Left, 0);
    if (r.Top < w.Top) shift(0, w.Top - r.Top);
    return r;
}

bool VisibleNow(const TVisibleNowInput& in) {
    if (!in.Showing || in.HideCount != 0) return false;
    if (!in.Floating) return true;
    if (in.FloatingMode == TToolWindowFloatingMode::fmOnTopOfParentForm) {
        if (!in.FormExists || in.ApplicationMinimised || !in.FormVisible || in.FormMinimised) return false;
    }
    if (in.HideWhenInactive && !in.ApplicationActive) return false;
    return true;
}

bool ClickActivatesForm(TToolWindowFloatingMode mode, bool activateParent, bool windowActive) {
    return mode == TToolWindowFloatingMode::fmOnTopOfParentForm && activateParent && !windowActive;
}

TActivationPass ActivationPass(bool windowVisible, bool formJustDeactivated) {
    if (!windowVisible) return TActivationPass::apOtherWindow;
    return formJustDeactivated ? TActivationPass::apStay : TActivationPass::apForm;
}

int MulDiv(int number, int numerator, int denominator) {
    if (denominator == 0) return 0;
    const int64_t p = static_cast<int64_t>(number) * numerator;
    // Rounds half away from zero, as the system's multiply-divide does.
    const int64_t half = (denominator < 0 ? -denominator : denominator) / 2;
    const int64_t q = (p + (p >= 0 ? half : -half)) / denominator;
    return static_cast<int>(q);
}

void TToolWindowDrag::Start(TPoint dragPoint, TPoint windowSize, bool ctrlDown, bool cannotFloat,
                            std::vector<TDragCandidate> candidates, TPoint floatingSize, TNonClient floatFrame,
                            TPoint cursor) {
    FDragPoint = dragPoint;
    FSize0 = {windowSize.X - 1, windowSize.Y - 1};
    FNoDock = ctrlDown;
    FCannotFloat = cannotFloat;
    FCandidates = std::move(candidates);
    for (auto& c : FCandidates) {
        // An empty dock is 0 pixels thick; it still takes drops on a 2-pixel band.
        if (c.Vertical && c.ScreenRect.Left == c.ScreenRect.Right) --c.ScreenRect.Left, ++c.ScreenRect.Right;
        if (!c.Vertical && c.ScreenRect.Top == c.ScreenRect.Bottom) --c.ScreenRect.Top, ++c.ScreenRect.Bottom;
    }
    FFloatingSize = floatingSize;
    FFloatFrame = floatFrame;
    FCursor = cursor;
    FOutline = TRect{};
    FTarget = -1;
    FState = TDragState::dsDragging;
    Evaluate();
}

void TToolWindowDrag::Move(TPoint cursor) {
    if (FState != TDragState::dsDragging) return;
    FCursor = cursor;
    Evaluate();
}

void TToolWindowDrag::CtrlChanged(bool down) {
    if (FState != TDragState::dsDragging || down == FNoDock) return;
    FNoDock = down;
    Evaluate();
}

TRect TToolWindowDrag::OutlineFor(TPoint s) const {
    const int left = FCursor.X - MulDiv(s.X - 1, FDragPoint.X, FSize0.X);
    const int top = FCursor.Y - MulDiv(s.Y - 1, FDragPoint.Y, FSize0.Y);
    return Bounds(left, top, s.X, s.Y);
}

static bool Intersects(const TRect& a, const TRect& b) {
    return a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom;
}

void TToolWindowDrag::Evaluate() {
    const TRect oldOutline = FOutline;
    FTarget = -1;
    const TDragCandidate* target = nullptr;
    TPoint c = FCursor;
    if (!FNoDock) {
        const int f = MulDiv(32, FDragPoint.X, FSize0.X), g = MulDiv(20, FDragPoint.Y, FSize0.Y);
        for (const auto& d : FCandidates) {
            const TRect& r = d.ScreenRect;
            if (!(r.Left - 32 + f <= c.X && c.X <= r.Right - 1 + f)) continue;
            if (d.Vertical && !(r.Top <= c.Y && c.Y < r.Bottom)) continue;
            if (!(r.Top - 20 + g <= c.Y && c.Y <= r.Bottom - 1 + g)) continue;
            if (!Intersects(OutlineFor(d.TargetSize), r)) continue;
            bool accept = true;
            if (OnRequestDock) OnRequestDock(d.Id, accept);
            if (!accept) continue;
            target = &d;
            break;
        }
    }
    TRect work = WorkAreaAt ? WorkAreaAt(c) : Rect(-100000, -100000, 100000, 100000);
    if (!target) {
        c.X = std::clamp(c.X, work.Left, std::max(work.Left, work.Right - 1));
        c.Y = std::clamp(c.Y, work.Top, std::max(work.Top, work.Bottom - 1));
        FCursor = c;
        work = WorkAreaAt ? WorkAreaAt(c) : work;
    }
    TRect outline;
    if (target) {
        FTarget = target->Id;
        outline = OutlineFor(target->TargetSize);
    } else {
        outline = OutlineFor(FFloatingSize);
        const TRect inner = Rect(work.Left + FFloatFrame.Left + 4, work.Top + FFloatFrame.Bottom + 4,
                                 work.Right - FFloatFrame.Right - 4, work.Bottom - FFloatFrame.Bottom - 4);
        auto shift = [&](int dx, int dy) {
            outline.Left += dx, outline.Right += dx, outline.Top += dy, outline.Bottom += dy;
        };
        if (outline.Bottom < inner.Top) shift(0, inner.Top - outline.Bottom);
        if (outline.Top > inner.Bottom) shift(0, inner.Bottom - outline.Top);
        if (outline.Right < inner.Left) shift(inner.Left - outline.Right, 0);
        if (outline.Left > inner.Right) shift(inner.Right - outline.Left, 0);
        const int minTop = work.Top - FFloatFrame.Top + 4;
        if (outline.Top < minTop) shift(0, minTop - outline.Top);
    }
    FForbidden = FCannotFloat && !target;
    if (FForbidden) outline = TRect{};
    FOutline = outline;
    if (OnOutline) OnOutline(oldOutline, FOutline, OutlineThickness());
}

void TToolWindowDrag::End(TDragState state) {
    if (FState != TDragState::dsDragging) return;
    FState = state;
    if (OnOutline) OnOutline(FOutline, TRect{}, OutlineThickness());
}

TPoint DockDropPlace(std::vector<TDockBarRecord>& bars, const std::vector<int>& rowThickness, const TRect& outline,
                     bool vertical, bool fullSize, int selfId) {
    const int mid = vertical ? (outline.Left + outline.Right) / 2 : (outline.Top + outline.Bottom) / 2;
    bool insertBefore = false;
    int row = DockRowUnderDrop(rowThickness, DockLastRow(bars), mid, insertBefore);
    if (insertBefore)
        DockOpenRow(bars, row);
    else if (fullSize && DockBarsInRow(bars, row, selfId) > 0) {
        ++row;
        DockOpenRow(bars, row);
    }
    return {row, vertical ? outline.Top : outline.Left};
}

} // namespace mv
