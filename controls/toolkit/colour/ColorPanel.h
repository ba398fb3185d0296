#pragma once
// A panel whose bevels are shaded from its own colour, so that a panel of any colour
// looks raised or sunk.
#include "platform/ui/CustomControl.h"
#include "platform/ui/Labels.h"
#include "platform/ui/Panels.h"

namespace mv {

// The top-left and bottom-right colours of a bevel of the panel's colour: brightened
// and darkened by 64, the other way round for a lowered bevel.
struct TBevelColors {
    TColor TopLeft, BottomRight;
};
TBevelColors ColorPanelBevel(TColor color, TBevelCut cut);

class TColorPanel : public TCustomControl {
public:
    explicit TColorPanel(TComponent* owner);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value) { FAlignment = value; Invalidate(); }
    TBevelCut BevelInner() const { return FBevelInner; }
    void SetBevelInner(TBevelCut value) { FBevelInner = value; Invalidate(); }
    TBevelCut BevelOuter() const { return FBevelOuter; }
    void SetBevelOuter(TBevelCut value) { FBevelOuter = value; Invalidate(); }
    int BevelWidth() const { return FBevelWidth; }
    void SetBevelWidth(int value) { FBevelWidth = value; Invalidate(); }
    int BorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(int value) { FBorderWidth = value; Invalidate(); }
    // The rectangle of the last painting.
    const TRect& PaintedRect() const { return FRect; }

    void Paint() override;
    // Draws the bevels and the border and shrinks rect by them.
    virtual void PaintBevels(TRect& rect);

private:
    TAlignment FAlignment = TAlignment::taCenter;
    TBevelCut FBevelInner = TBevelCut::bvNone;
    TBevelCut FBevelOuter = TBevelCut::bvRaised;
    int FBevelWidth = 1;
    int FBorderWidth = 0;
    TRect FRect{0, 0, 0, 0};
};

} // namespace mv
