#pragma once
// Panels, bevels, images and progress bars.
#include "platform/ui/Control.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace mv {

enum class TBevelCut { bvNone, bvLowered, bvRaised };

// A plain area with an optional bevel and a centred caption.
class TPanel : public TWinControl {
public:
    explicit TPanel(TComponent* owner);
    TBevelCut BevelOuter() const { return FBevelOuter; }
    void SetBevelOuter(TBevelCut value);
    TBevelCut BevelInner() const { return FBevelInner; }
    void SetBevelInner(TBevelCut value);
    void PaintPanel(TCanvas& canvas);

protected:
    void SetText(const std::string& value) override;

private:
    TBevelCut FBevelOuter = TBevelCut::bvRaised;
    TBevelCut FBevelInner = TBevelCut::bvNone;
    std::unique_ptr<TCanvas> FCanvas;
};

enum class TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
enum class TBevelStyle { bsLowered, bsRaised };

// An etched line or frame.
class TBevel : public TGraphicControl {
public:
    explicit TBevel(TComponent* owner);
    TBevelShape Shape() const { return FShape; }
    void SetShape(TBevelShape value);
    TBevelStyle Style() const { return FStyle; }
    void SetStyle(TBevelStyle value);
    void Paint() override;

private:
    TBevelShape FShape = TBevelShape::bsBox;
    TBevelStyle FStyle = TBevelStyle::bsLowered;
};

// A picture on its parent, drawn at its corner, centred or stretched.
class TImage : public TGraphicControl {
public:
    explicit TImage(TComponent* owner);
    TBitmap& Picture() { return FPicture; }
    // Call after changing Picture.
    void PictureChanged();
    bool Stretch() const { return FStretch; }
    void SetStretch(bool value);
    bool Center() const { return FCenter; }
    void SetCenter(bool value);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool value);
    void Paint() override;

private:
    TBitmap FPicture;
    bool FStretch = false;
    bool FCenter = false;
    bool FAutoSize = false;
};

class TProgressBar : public TWinControl {
public:
    explicit TProgressBar(TComponent* owner);
    int Min() const { return FMin; }
    int Max() const { return FMax; }
    void SetRange(int min, int max);
    int Position() const { return FPosition; }
    // Kept within Min..Max.
    void SetPosition(int value);

private:
    int FMin = 0, FMax = 100, FPosition = 0;
};

} // namespace mv
