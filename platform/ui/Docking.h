#pragma once
// What dockable tool windows need of the desktop beyond ordinary controls: turning
// a form into a frameless tool window that floats above its owner form, screen
// coordinates of controls, the keyboard grab and the forbidden cursor of a drag, the
// application's active state, and the halftone outline that shows where a dragged
// or sized window will go (an input-transparent window of its own, so that nothing
// is drawn on other programs' windows).
#include "platform/ui/Form.h"

#include <functional>
#include <memory>

namespace mv {

// Makes `host` a frameless tool top-level owned by `owner` (kept above it), or above
// every window of the program when onTopOfAll.
void MakeFloatingToolForm(TForm& host, TForm* owner, bool onTopOfAll);
// The top-left corner of a control on the screen, and a point of it in screen
// coordinates.
TPoint ControlToScreen(const TControl& control, TPoint point);
TRect ScreenRectOf(const TControl& control);
// The control and its parents are shown.
bool ControlShowing(const TControl& control);
// The pointer on the screen.
TPoint CursorScreenPos();
// Raises a form above its siblings and makes it the active window.
void ActivateForm(TForm& form);
// The form's window is the active one.
bool FormActive(const TForm& form);
// The application has an active window.
bool ApplicationActive();
// Calls fn whenever the application becomes active or inactive, until the returned
// number is given back to RemoveActivationListener.
int AddActivationListener(std::function<void()> fn);
void RemoveActivationListener(int id);
// Keys go to the control while a drag runs, wherever the focus is.
void GrabKeyboard(TControl& control);
void ReleaseKeyboard(TControl& control);
// The not-allowed cursor over the whole program, or back to normal.
void SetForbiddenCursor(bool on);
// The work area of the screen nearest to a point.
TRect WorkAreaAt(TPoint point);

// The dashed outline drawn during a drag or a floating resize.
class TOutlineOverlay {
public:
    TOutlineOverlay();
    ~TOutlineOverlay();
    // Shows a frame of that thickness inside `rect` (screen); an empty rect hides it.
    void Show(const TRect& rect, int thickness);
    void Hide();
    bool Visible() const;
    TRect Shown() const { return FRect; }

private:
    struct Impl;
    std::unique_ptr<Impl> FImpl;
    TRect FRect;
};

} // namespace mv
