#pragma once
// The tool window's rules without a display: its frame metrics, the hit-test zones
// of a floating frame, the caption shortened to fit, the close button's press, the
// floating resize with its minimum, the drag that decides where the window lands
// (a state machine fed by moves, Ctrl, Esc and button presses), keeping a floating
// window on screen and the predicate that says whether it is shown now.
#include "controls/toolkit/docking/DockLayoutModel.h"
#include "controls/toolkit/docking/ToolbarLayoutModel.h"

#include <functional>
#include <string>
#include <vector>

namespace mv {

enum class TDragHandleStyle { dhDouble, dhNone, dhSingle };
enum class TToolWindowDockMode { dmCanFloat, dmCannotFloat, dmCannotFloatOrChangeDocks };
enum class TToolWindowFloatingMode { fmOnTopOfParentForm, fmOnTopOfAllForms };

// The drag handle of a docked window: its size, where its first grip bar starts and
// how many bars it has.
struct TDragHandleMetrics {
    int Size = 0;
    int FirstGrip = 0;
    int Bars = 0;
};
TDragHandleMetrics DragHandleMetrics(TDragHandleStyle style, bool closeButtonWhenDocked);

// The non-client sizes of a window, per side.
struct TNonClient {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    int Width() const { return Left + Right; }
    int Height() const { return Top + Bottom; }
};
// Docked: 2 on every side, plus the drag handle at the start (left in a horizontal
// dock, top in a vertical one) when the dock allows dragging.
TNonClient DockedNonClient(int dockKind, bool allowDrag, TDragHandleStyle style, bool closeButtonWhenDocked);
// Floating: the frame (fx, fy) on every side and the caption on top.
TNonClient FloatingNonClient(int fx, int fy, int captionHeight, bool showCaption);

// What a point of a floating window is: 1 client or caption, 20 the close button,
// 10..17 a sizing edge or corner, 0 the frame.
struct TFloatingFrame {
    int Width = 0, Height = 0; // outer size
    int Fx = 0, Fy = 0;
    int CaptionHeight = 0;
    bool ShowCaption = true;
    bool CloseButton = true;
    bool Resizable = true;
    bool CornerSizing = true;
    TRect CaptionRect() const;
    TRect CloseButtonRect() const;
    TRect ClientRect() const;
};
int FloatingHitTest(const TFloatingFrame& frame, int x, int y);
// The docked close button (11 x 11) in window coordinates.
TRect DockedCloseButtonRect(int dockKind, int clientWidth);

// The caption text that fits `width` pixels: the text itself, or its longest head
// followed by "..." (never fewer than four characters in all). Characters, not
// bytes, are taken off.
std::string ShortenCaption(const std::string& text, int width, const std::function<int(const std::string&)>& measure);

// The close button's press: pushed while the pointer is on it; a release on it
// closes.
class TCloseButtonTracker {
public:
    bool Down() const { return FDown; }
    bool Tracking() const { return FTracking; }
    void Press() { FTracking = FDown = true; }
    void Move(bool onButton) {
        if (FTracking) FDown = onButton;
    }
    // The left button went up: true when the window is to close.
    bool Release() {
        const bool accept = FTracking && FDown;
        Cancel();
        return accept;
    }
    // Keys, other buttons and a lost capture end the press without closing.
    void Cancel() { FTracking = FDown = false; }

private:
    bool FTracking = false;
    bool FDown = false;
};

// The floating resize: the starting bounds with the edges that the hit-test code
// moves shifted by (dx, dy), kept at least minWidth x minHeight (outer) with the
// opposite edge fixed.
TRect ResizeTrackRect(const TRect& start, int hitTest, int dx, int dy, int minWidth, int minHeight);

// A floating window that is off every screen comes back: within the work area; with
// onlyIfFullyOff, a window that still touches the work area stays.
TRect KeepRectOnScreen(const TRect& bounds, const TRect& workArea, bool onlyIfFullyOff);

// Whether a tool window is on screen now.
struct TVisibleNowInput {
    bool Showing = false; // Visible, with a parent
    int HideCount = 0;
    bool Floating = false;
    TToolWindowFloatingMode FloatingMode = TToolWindowFloatingMode::fmOnTopOfParentForm;
    bool FormExists = false; // the top-level form has a window
    bool FormVisible = false;
    bool FormMinimised = false;
    bool ApplicationMinimised = false;
    bool HideWhenInactive = true;
    bool ApplicationActive = false; // the application has an active window
};
bool VisibleNow(const TVisibleNowInput& in);

// A press on a floating window brings its form forward (and activates it) when the
// window floats over its own form, asks for it, and is not the active window itself.
bool ClickActivatesForm(TToolWindowFloatingMode mode, bool activateParent, bool windowActive);
// Where activation goes when a floating window is activated: a hidden window passes
// it to another top-level window of the program, a shown one to its form (unless
// the form is the window that was just deactivated, so that the two do not trade it
// back and forth).
enum class TActivationPass { apStay, apForm, apOtherWindow };
TActivationPass ActivationPass(bool windowVisible, bool formJustDeactivated);

// Windows' rounding multiply-then-divide; 0 for a zero divisor (a window one pixel
// across has no grab ratio).
int MulDiv(int number, int numerator, int denominator);

// A dock the drag may land on, as the drag sees it.
struct TDragCandidate {
    TRect ScreenRect;       // the dock on screen (empty docks are widened in Start)
    bool Vertical = false;
    TPoint TargetSize;      // the outer size the window would have there
    int Id = 0;
};

enum class TDragState { dsIdle, dsDragging, dsAccepted, dsCancelled };

class TToolWindowDrag {
public:
    // dragPoint: the grab point in window coordinates; windowSize: the window's
    // outer size; floatingSize: its outer size when floating; floatFrame: the
    // floating frame's sides (its top with the caption), thickness: the floating
    // outline's thickness.
    void Start(TPoint dragPoint, TPoint windowSize, bool ctrlDown, bool cannotFloat,
               std::vector<TDragCandidate> candidates, TPoint floatingSize, TNonClient floatFrame, TPoint cursor);

    // The work area of the screen under a point; the whole screen when unset.
    std::function<TRect(TPoint)> WorkAreaAt;
    // Asked before a dock is taken; set accept false to refuse it.
    std::function<void(int id, bool& accept)> OnRequestDock;
    // The outline changed (old and new; either may be empty).
    std::function<void(const TRect& oldOutline, const TRect& newOutline, int thickness)> OnOutline;

    void Move(TPoint cursor);
    void CtrlChanged(bool down);
    void Escape() { End(TDragState::dsCancelled); }
    // A second left press or a double-click cancels.
    void LeftDown() { End(TDragState::dsCancelled); }
    void LeftUp() { End(TDragState::dsAccepted); }
    void CaptureLost() { End(TDragState::dsCancelled); }

    TDragState State() const { return FState; }
    // The dock the window lands on (its Id), -1 for floating.
    int Target() const { return FTarget; }
    TRect Outline() const { return FOutline; }
    int OutlineThickness() const { return FTarget >= 0 ? 1 : FFloatFrame.Left; }
    bool ForbiddenCursor() const { return FForbidden; }
    // Accepted with a place to go.
    bool ShouldApply() const { return FState == TDragState::dsAccepted && !IsEmpty(FOutline); }
    static bool IsEmpty(const TRect& r) { return r.Right <= r.Left || r.Bottom <= r.Top; }

private:
    void Evaluate();
    void End(TDragState state);
    TRect OutlineFor(TPoint size) const;
    TPoint FDragPoint, FSize0, FFloatingSize, FCursor;
    TNonClient FFloatFrame;
    bool FNoDock = false, FCannotFloat = false, FForbidden = false;
    std::vector<TDragCandidate> FCandidates;
    TDragState FState = TDragState::dsIdle;
    int FTarget = -1;
    TRect FOutline;
};

// Where a window dropped on a dock goes: the row under the middle of the outline (a
// new row within 5 pixels of a row boundary; a full-size window into an occupied row
// gets a new row below it) and the outline's start along the row. Rows are opened in
// bars; returns (row, position).
TPoint DockDropPlace(std::vector<TDockBarRecord>& bars, const std::vector<int>& rowThickness, const TRect& outline,
                     bool vertical, bool fullSize, int selfId);

} // namespace mv
