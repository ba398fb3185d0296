#pragma once
// A windowed control that paints everything itself through its canvas and may show a
// vertical scroll bar at its right edge; it takes the focus and hears mouse and keys
// through the typed handlers.
#include "platform/ui/Control.h"

#include <memory>

namespace mv {

class TCustomControl : public TWinControl {
public:
    explicit TCustomControl(TComponent* owner);
    ~TCustomControl() override;
    TCanvas& Canvas() { return *FCanvas; }

    // Paints the control; called with Canvas drawing on it.
    virtual void Paint() {}
    // Paints the whole control onto a bitmap of its size (for off-screen copies).
    void PaintTo(TBitmap& bitmap);

    // The vertical scroll bar: shown when max > 0; positions 0..max, a page of `page`.
    void SetVertScroll(int max, int page, int position);
    int VertScrollPosition() const;
    bool VertScrollVisible() const;
    // The width of the area left of the scroll bar.
    int PaintWidth() const;

protected:
    // The scroll bar moved to a new position.
    virtual void Scrolled(int /*position*/) {}
    void Resized() override;

private:
    friend class CustomControlWidget;
    void PlaceScrollBar();
    std::unique_ptr<TCanvas> FCanvas;
};

} // namespace mv
