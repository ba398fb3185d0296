#pragma once
// Controls: components that are seen on a form. Each control owns the Qt widget that
// shows it; its properties apply to the live widget at once. A control is placed in
// its parent's client area; destroying a windowed control destroys the controls it
// holds.
#include "platform/ui/Component.h"
#include "platform/ui/Graphics.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QWidget;
class QObject;

namespace mv {

class TWinControl;
class TForm;

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
// Cursors: the built-in ones, and numbers the program registers (RegisterCursor).
// crHSplit: a bar dragged left and right; crVSplit: up and down.
enum class TCursor : int { crDefault, crArrow, crHandPoint, crHourGlass, crIBeam, crHSplit, crVSplit };

// A message to a control: one of the program's own numbered messages, posted and
// handled later on the user-interface thread, or one of the few the class library
// itself sends through a control's window procedure (below).
struct TMessage {
    uint32_t Msg = 0;
    intptr_t WParam = 0;
    intptr_t LParam = 0;
    intptr_t Result = 0;
};

// The messages the class library sends through window procedures. A control's
// destruction always sends WM_DESTROY; a form asks WM_GETMINMAXINFO (LParam: a
// TMinMaxInfo*) whenever it applies its size limits. Numbers from WM_USER on are
// the program's own.
constexpr uint32_t WM_DESTROY = 0x0002, WM_SIZE = 0x0005, WM_QUIT = 0x0012, WM_GETMINMAXINFO = 0x0024,
                   WM_NCHITTEST = 0x0084, WM_SYSCOMMAND = 0x0112, WM_USER = 0x0400;

// Size limits of a window, as a form asks its window procedure for them.
struct TMinMaxInfo {
    TPoint ptReserved;
    TPoint ptMaxSize;      // size when maximised
    TPoint ptMaxPosition;  // position when maximised
    TPoint ptMinTrackSize; // smallest size the user can give it
    TPoint ptMaxTrackSize; // largest size the user can give it
};

// A window procedure: gets every message a control receives.
using TWndMethod = std::function<void(TMessage& message)>;

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

// The state bits of an owner-drawn item (list boxes, list views, menus).
using TOwnerDrawState = uint32_t;
constexpr TOwnerDrawState odSelected = 0x1, odGrayed = 0x2, odDisabled = 0x4, odChecked = 0x8, odFocused = 0x10,
                          odDefault = 0x20;
// Modifier keys and mouse buttons held during an input event.
using TShiftState = uint8_t;
constexpr TShiftState ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32,
                      ssDouble = 64;
using TMouseEvent =
    std::function<void(TComponent* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TComponent* sender, TShiftState shift, int x, int y)>;
using TKeyEvent = std::function<void(TComponent* sender, uint16_t& key, TShiftState shift)>;
using TKeyPressEvent = std::function<void(TComponent* sender, char& key)>;

class TControl : public TComponent {
public:
    explicit TControl(TComponent* owner);
    ~TControl() override;

    TWinControl* Parent() const { return FParent; }
    void SetParent(TWinControl* value);
    // The form that holds this control (itself for a form), or null.
    TForm* ParentForm() const;

    int Left() const { return FLeft; }
    int Top() const { return FTop; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void SetLeft(int value) { SetBounds(value, FTop, FWidth, FHeight); }
    void SetTop(int value) { SetBounds(FLeft, value, FWidth, FHeight); }
    void SetWidth(int value) { SetBounds(FLeft, FTop, value, FHeight); }
    void SetHeight(int value) { SetBounds(FLeft, FTop, FWidth, value); }
    TRect BoundsRect() const { return Bounds(FLeft, FTop, FWidth, FHeight); }
    virtual void SetBounds(int left, int top, int width, int height);
    virtual int ClientWidth() const { return FWidth; }
    virtual int ClientHeight() const { return FHeight; }

    TAlign Align() const { return FAlign; }
    void SetAlign(TAlign value);
    bool Visible() const { return FVisible; }
    void SetVisible(bool value);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);

    // The text a control shows (a button's or label's caption, an edit's text).
    std::string Caption() const { return GetText(); }
    void SetCaption(const std::string& value) { SetText(value); }
    const std::string& Hint() const { return FHint; }
    void SetHint(const std::string& value);
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool value) { FShowHint = value; }
    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor value);
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    TFont& Font() { return FFont; }
    const TFont& Font() const { return FFont; }
    bool ParentFont() const { return FParentFont; }
    void SetParentFont(bool value) { FParentFont = value; }

    void Invalidate();
    void Repaint();
    // Simulates a click (fires OnClick through DoClick).
    virtual void Click();

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TKeyEvent OnKeyDown;
    TKeyPressEvent OnKeyPress;

    // The control's own handling of a message; the default does nothing.
    virtual void Dispatch(TMessage& message);

    // The window procedure every message goes through: WndProc (which dispatches) until
    // someone installs another. Whoever installs one keeps the one it replaces and
    // calls it for what it does not swallow; `installer` tells later readers who put
    // the current one in place (null for the control's own).
    const TWndMethod& WindowProc() const { return FWindowProc; }
    void SetWindowProc(TWndMethod proc, const void* installer);
    const void* WindowProcInstaller() const { return FWindowProcInstaller; }
    // The control's own handling of a message, below every installed procedure.
    void DefWindowProc(TMessage& message) { WndProc(message); }
    // Sends a message through the window procedure at once and returns its result.
    intptr_t Perform(uint32_t msg, intptr_t wParam, intptr_t lParam);

    // Input as the class library delivers it from the control's widget (also callable
    // by tests). The defaults fire the events.
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void KeyDown(uint16_t& key, TShiftState shift);
    virtual void KeyPress(char& key);
    // The mouse capture was taken away (another control took it, or the window lost it).
    virtual void CaptureLost() {}
    // The pointer came over the control, or left it.
    virtual void MouseEnter() {}
    virtual void MouseLeave() {}
    // The left button was double-clicked over the control (delivered after MouseDown
    // with ssDouble); the default fires DblClick.
    virtual void LeftDoubleClick() { DblClick(); }
    // Fires OnDblClick.
    virtual void DblClick();
    // The accelerator of the control's caption (Alt with its marked letter, given in
    // lower case) was pressed in the control's window; true when the control acted on
    // it. Reaches only controls that asked for it with SetHandlesAccelerator.
    virtual bool DialogChar(char key);

    // The widget that shows this control; for the layer's own use and for tests.
    QWidget* Widget() const { return FWidget; }

protected:
    // The control's default window procedure: hands the message to Dispatch.
    virtual void WndProc(TMessage& message);
    // Takes ownership of the widget that shows this control and applies the current
    // properties to it. Called once by each concrete control's constructor.
    void AttachWidget(QWidget* widget);
    // For controls that draw their own caption: the caption's accelerator reaches
    // DialogChar while the control's window is active.
    void SetHandlesAccelerator(bool value);
    // The captions whose accelerators reach DialogChar (the control's own text by
    // default); a control that shows several calls UpdateAccelerator when they change.
    virtual std::vector<std::string> AcceleratorCaptions() const;
    void UpdateAccelerator();
    virtual std::string GetText() const { return FText; }
    virtual void SetText(const std::string& value);
    virtual void DoClick();
    // Called after the font changed; controls whose size follows their text re-measure.
    virtual void FontChanged();
    // Called after the bounds changed.
    virtual void Resized() {}
    // Shows or hides the widget after Visible changed; a control without a parent is
    // never shown on its own.
    virtual void ApplyVisible(bool value);
    // Moves the widget to the control's bounds (a form maps them to its window).
    virtual void ApplyBounds();

    std::string FText;
    TFont FFont;

private:
    friend class TWinControl;
    void ApplyFont();

    TWinControl* FParent = nullptr;
    QWidget* FWidget = nullptr;
    std::unique_ptr<QObject> FEventFilter;
    bool FHandlesAccelerator = false;
    std::vector<QObject*> FAcceleratorShortcuts; // owned by the widget
    TWndMethod FWindowProc;
    const void* FWindowProcInstaller = nullptr;
    int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
    TAlign FAlign = TAlign::alNone;
    bool FVisible = true;
    bool FEnabled = true;
    std::string FHint;
    bool FShowHint = false;
    TCursor FCursor = TCursor::crDefault;
    TColor FColor = clBtnFace;
    bool FParentFont = true;
};

// A control that holds other controls.
class TWinControl : public TControl {
public:
    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;

    int ControlCount() const { return static_cast<int>(FControls.size()); }
    TControl* Controls(int index) const { return FControls.at(static_cast<size_t>(index)); }
    int TabOrder() const;
    void SetTabOrder(int value);
    bool TabStop() const { return FTabStop; }
    void SetTabStop(bool value);
    void SetFocus();
    bool Focused() const;
    // Lays out the controls aligned to the client area's edges.
    void Realign();
    // The widget children are placed on; their Left and Top count from its corner.
    virtual QWidget* ClientWidget() const { return Widget(); }

protected:
    void Resized() override;

private:
    friend class TControl;
    void InsertControl(TControl* control);
    void RemoveControl(TControl* control);
    std::vector<TControl*> FControls;
    std::vector<TWinControl*> FTabList;
    bool FTabStop = false;
    bool FAligning = false;
};

// A push button as its form sees it: Enter clicks the form's default button, Esc its
// cancel button. The concrete buttons derive from it, so that forms need not know them.
class TButtonControl : public TWinControl {
public:
    explicit TButtonControl(TComponent* owner) : TWinControl(owner) {}
    bool Default() const { return FDefault; }
    virtual void SetDefault(bool value) { FDefault = value; }
    bool Cancel() const { return FCancel; }
    void SetCancel(bool value) { FCancel = value; }

private:
    bool FDefault = false;
    bool FCancel = false;
};

// A control without a window of its own that paints itself through Canvas.
class TGraphicControl : public TControl {
public:
    explicit TGraphicControl(TComponent* owner);
    ~TGraphicControl() override;
    TCanvas& Canvas() { return *FCanvas; }

    // Paints the control; called with Canvas drawing on it.
    virtual void Paint() {}

private:
    std::unique_ptr<TCanvas> FCanvas;
};

// A window that is never seen, only there to receive posted messages (for objects
// that are no control, such as program-wide lists that defer work).
class TMessageWindow : public TControl {
public:
    explicit TMessageWindow(TWndMethod handler);
    ~TMessageWindow() override;
    void Dispatch(TMessage& message) override;

private:
    TWndMethod FHandler;
};

// Mouse capture: while a control holds it, every mouse event goes to it, wherever the
// pointer is. Taking it from another control tells that one through CaptureLost.
void SetCaptureControl(TControl* control);
TControl* GetCaptureControl();
void ReleaseCapture();

// The screen's cursor table: registers a cursor drawn by the program (its picture, a
// mask that is white where the picture is see-through, and its hot spot) under a
// number; controls then use static_cast<TCursor>(number).
void RegisterCursor(int number, const TBitmap& image, const TBitmap* mask, int hotX, int hotY);
bool CursorRegistered(int number);

// Posts one of the program's own messages to a control; it is handled later by the
// control's Dispatch on the user-interface thread. May be called from any thread, as
// long as the control outlives the call.
void PostMessage(TControl* control, uint32_t msg, intptr_t wParam, intptr_t lParam);

} // namespace mv
