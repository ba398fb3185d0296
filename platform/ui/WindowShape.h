#pragma once
// Hint windows: small top-level windows that show a hint next to the mouse. They never
// take the focus, stay above the other windows, paint everything through their canvas
// and may be given a shape (a window region) outside which nothing of them is seen.
#include "platform/ui/Control.h"

#include <memory>
#include <optional>
#include <string>

namespace mv {

// The pen and brush a window's owner-drawn outline is drawn with.
struct TPen {
    TColor Color = clBlack;
    int Width = 1;
    TPenStyle Style = TPenStyle::psSolid;
    void Assign(const TPen& other) { *this = other; }
};
struct TBrush {
    TColor Color = clWhite;
    TBrushStyle Style = TBrushStyle::bsSolid;
    void Assign(const TBrush& other) { *this = other; }
};

class THintWindow : public TWinControl {
public:
    explicit THintWindow(TComponent* owner);
    ~THintWindow() override;
    TCanvas& Canvas() { return *FCanvas; }

    // The rectangle a hint needs (from the screen origin): the text with a margin.
    virtual TRect CalcHintRect(int maxWidth, const std::string& hint);
    // Takes the hint text and shows the window over rect (screen co-ordinates).
    virtual void ActivateHint(const TRect& rect, const std::string& hint);
    // Hides the window.
    void ReleaseHandle();
    // Paints the window; the default draws the text on the hint colours in a frame.
    virtual void Paint();
    // Paints the whole window onto a bitmap of its size (for off-screen copies).
    void PaintTo(TBitmap& bitmap);

    // The window's shape in window co-ordinates; null takes the shape away.
    void SetWindowRgn(const TRegion* region);
    const std::optional<TRegion>& WindowRgn() const { return FRegion; }
    // Moves the window to its bounds and shows it above every other window without
    // activating it.
    void ShowNoActivate();
    bool Showing() const;

protected:
    // The one-pixel frame of the default look (windows drawn otherwise turn it off).
    bool Border() const { return FBorder; }
    void SetBorder(bool value) { FBorder = value; }
    void ApplyVisible(bool value) override;

private:
    std::unique_ptr<TCanvas> FCanvas;
    std::optional<TRegion> FRegion;
    bool FBorder = true;
};

// Makes the hint windows the application shows; replaces the default class.
using THintWindowFactory = std::function<std::unique_ptr<THintWindow>()>;

// How the application shows the hints of its controls: after the mouse rests for
// HintPause milliseconds over a control with a hint, a window of the hint window class
// shows it for HintHidePause milliseconds, or until the mouse leaves or a key or button
// is pressed.
struct THintSettings {
    bool ShowHint = true;
    int HintPause = 500;
    int HintHidePause = 2500;
};
THintSettings& ApplicationHints();
// Sets the hint window class (null: the default THintWindow) and re-creates the window
// shown next.
void SetHintWindowClass(THintWindowFactory factory);
bool HintWindowClassSet();
// The hint window now shown, or null.
THintWindow* CurrentHintWindow();
// Shows the hint of a control at once, as the resting mouse would (the mouse position
// as the watch last saw it); false when the control has no hint or hints are off.
bool ShowControlHint(TControl& control);
void CancelHint();

} // namespace mv
