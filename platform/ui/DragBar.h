#pragma once
// A dragging bar drawn above a control and all its children: a checkerboard of black
// and see-through pixels (pixel (x, y) black where x and y differ in parity) that lets
// the panes show through while the user drags a splitter without moving them live.
#include "platform/ui/Control.h"

#include <memory>

namespace mv {

class TDragBar {
public:
    explicit TDragBar(TWinControl& owner);
    ~TDragBar();
    TDragBar(const TDragBar&) = delete;
    TDragBar& operator=(const TDragBar&) = delete;

    // Shows the bar over `rect` (owner's client co-ordinates), on top of every child.
    void Show(const TRect& rect);
    void Hide();
    bool Visible() const;
    TRect Rect() const { return FRect; }

private:
    QWidget* FWidget = nullptr; // a child of the owner's widget, deleted with it
    TRect FRect{};
};

} // namespace mv
