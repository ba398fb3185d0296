#pragma once
// Frames and groups: a framed label without a window of its own, and a container
// whose frame is drawn around the area its children are laid out in, in eleven styles.
#include "platform/ui/Control.h"
#include "platform/ui/CustomControl.h"
#include "platform/ui/Labels.h"

#include <functional>
#include <string>

namespace mv {

enum class TMvFrameStyle {
    ptfsNone, ptfsGroup, ptfsLowered, ptfsRaised, ptfsDint, ptfsBump, ptfsSingle, ptfsHorzLine, ptfsHorzEdge,
    ptfsVertLine, ptfsVertEdge
};

using TMvFramePaintEvent = std::function<void(TComponent* sender, TCanvas& canvas)>;

// The inset of the content on each side of a style. For ptfsGroup the top is the
// caption height (the height of "0" in the font) when there is a caption, else 2.
TRect FrameInsets(TMvFrameStyle style, int captionHeight, bool hasCaption);
// The control's rectangle less its style's insets.
TRect FrameContentRect(TMvFrameStyle style, const TRect& bounds, int captionHeight, bool hasCaption);

// Draws the frame of a style on rect (the caption of ptfsGroup included).
void DrawMvFrame(TCanvas& canvas, const TRect& rect, TMvFrameStyle style, const std::string& caption, TColor color,
                 bool enabled);

// A framed label.
class TMvFrame : public TGraphicControl {
public:
    explicit TMvFrame(TComponent* owner);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value) { FAlignment = value; Invalidate(); }
    bool DefaultDrawing() const { return FDefaultDrawing; }
    void SetDefaultDrawing(bool value) { FDefaultDrawing = value; Invalidate(); }
    int FrameSpace() const { return FFrameSpace; }
    void SetFrameSpace(int value) { FFrameSpace = value; Invalidate(); }
    TMvFrameStyle FrameStyle() const { return FFrameStyle; }
    void SetFrameStyle(TMvFrameStyle value) { FFrameStyle = value; Invalidate(); }
    TMvFramePaintEvent OnPaint;
    void Paint() override;

private:
    TAlignment FAlignment = TAlignment::taCenter;
    bool FDefaultDrawing = true;
    int FFrameSpace = 2;
    TMvFrameStyle FFrameStyle = TMvFrameStyle::ptfsLowered;
};

// A framed container: its children are laid out in ClientRect (the bounds less the
// frame), in client co-ordinates; PlaceChild puts a child there.
class TMvGroup : public TCustomControl {
public:
    explicit TMvGroup(TComponent* owner);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value) { FAlignment = value; Invalidate(); }
    bool DefaultDrawing() const { return FDefaultDrawing; }
    void SetDefaultDrawing(bool value) { FDefaultDrawing = value; Invalidate(); }
    int FrameSpace() const { return FFrameSpace; }
    void SetFrameSpace(int value) { FFrameSpace = value; Invalidate(); }
    TMvFrameStyle FrameStyle() const { return FFrameStyle; }
    void SetFrameStyle(TMvFrameStyle value);
    TMvFramePaintEvent OnPaint;

    // The client area inside the frame, in the control's co-ordinates.
    TRect ClientRect();
    // Places a child at (x, y, w, h) of the client area; it moves with the frame.
    void PlaceChild(TControl* child, int x, int y, int width, int height);
    // Sets Enabled of the group and of every child to the value.
    void SetGroupEnabled(bool value);
    // Re-measures the frame after a font or caption change, moving the children.
    void FrameChanged();

    void Paint() override;
    virtual void DrawFrame(TCanvas& canvas, const TRect& rect);

protected:
    void FontChanged() override;
    void SetText(const std::string& value) override;

private:
    TPoint FOrigin{2, 2}; // the client area's top-left the children were placed against
    TAlignment FAlignment = TAlignment::taCenter;
    bool FDefaultDrawing = true;
    int FFrameSpace = 2;
    TMvFrameStyle FFrameStyle = TMvFrameStyle::ptfsGroup;
};

} // namespace mv
