#pragma once
// The colour button's logic without a display: its state machine (press, move in and
// out, release, groups, auto-repeat), the glyph count rules, the face colours and
// insets of its eleven styles, and the layout of glyph and caption.
#include "platform/ui/Control.h"
#include "platform/ui/Graphics.h"

#include <functional>

namespace mv {

enum class TClrButtonStyle {
    bsWin31, bsNew, bsEllipse, bsTab, bsIE4, bsSideDownTab, bsGlass, bsFlat, bsOwnerDraw, bsMicroposeGame, bsGradient
};
enum class TClrButtonState { bsUp, bsDisabled, bsDown, bsExclusive };
enum class TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
enum TButtonOption : uint8_t { boShowMouseFocus = 1, boRepeatable = 2, boDitherPattern = 4, boAutoBlackWhiteText = 8 };
using TButtonOptions = uint8_t;

// The four face colours for base colour c, pressed or not.
struct TFaceColors {
    TColor Hi, Sh, Dk, Lt;
};
TFaceColors FaceColors(TColor c, bool pressed);
// The inset of the content rectangle of a style.
int StyleBorder(TClrButtonStyle style);
// The content rectangle of a style inside the client rectangle; pressed shrinks it by
// one more on every side.
TRect ContentRect(TClrButtonStyle style, const TRect& client, bool pressed);

// NumGlyphs as set: above 4 counts as 4, 0 and below are ignored (current kept).
int NormalizeNumGlyphs(int value, int current);
// NumGlyphs after a glyph of this size is set: a strip whose width is a whole
// multiple of its height counts that many images when there are 4 or fewer, else 1;
// any other shape keeps the current count.
int NumGlyphsForStrip(int width, int height, int current);

// Where glyph and caption go in the content rectangle.
struct TButtonLayoutResult {
    TPoint GlyphPos;
    TRect TextRect;
    int Margin = 0;
    int Spacing = 0;
};
TButtonLayoutResult CalcButtonLayout(const TRect& content, int glyphWidth, int glyphHeight, int textWidth,
                                     int textHeight, TButtonLayout layout, int margin, int spacing);

class TColorButtonModel {
public:
    TClrButtonState State() const { return FState; }
    bool Down() const { return FDown; }
    void SetDown(bool value);
    int GroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(int value);
    bool AllowAllUp() const { return FAllowAllUp; }
    void SetAllowAllUp(bool value);
    TButtonOptions Options() const { return FOptions; }
    void SetOptions(TButtonOptions value) { FOptions = value; }
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);
    // Paint's rule, without a repaint: a disabled control is in the disabled state and
    // not dragging; an enabled one leaves the disabled state.
    void SyncEnabled(bool enabled);
    bool Dragging() const { return FDragging; }
    bool MouseInControl() const { return FMouseIn; }
    bool Pressed() const { return FState == TClrButtonState::bsDown || FState == TClrButtonState::bsExclusive; }

    // A button of the same group went down (or changed its AllowAllUp).
    void GroupPressed(int groupIndex, const TColorButtonModel& sender);

    // Input; width and height are the client size.
    void MouseDown(TMouseButton button);
    void MouseMove(int x, int y, int width, int height);
    void MouseUp(TMouseButton button, int x, int y, int width, int height);
    void MouseEnter();
    void MouseLeave();
    // A tick of the repeat timer; holdsCapture tells whether the button holds the mouse.
    void RepeatTick(bool holdsCapture);

    std::function<void()> OnRepaint;
    std::function<void()> OnClick;          // plays the click sound, then the click event
    std::function<void()> OnMouseOverSound;
    std::function<void()> OnTellGroup;      // broadcast GroupPressed to the siblings
    std::function<void(int interval)> OnStartRepeat;
    std::function<void()> OnStopRepeat;

private:
    void Fire(const std::function<void()>& f) {
        if (f) f();
    }
    void SetState(TClrButtonState value, bool repaint = true);
    void TellGroup();

    TClrButtonState FState = TClrButtonState::bsUp;
    bool FDown = false;
    int FGroupIndex = 0;
    bool FAllowAllUp = false;
    TButtonOptions FOptions = boShowMouseFocus | boDitherPattern | boAutoBlackWhiteText;
    bool FEnabled = true;
    bool FDragging = false;
    bool FMouseIn = false;
};

} // namespace mv
