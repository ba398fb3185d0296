#include "controls/shell/dialogs/SplitterModel.h"

#include <cmath>

namespace mv {

void TMvSplitterModel::SetPositionEx(int value, bool updateRatio) {
    // The lower bound wins when both apply.
    if (value > FSize - FMinSize[1]) value = FSize - FMinSize[1];
    if (value < FMinSize[0]) value = FMinSize[0];
    if (value == FPosition) return;
    FPosition = value;
    if (OnLayout) OnLayout();
    if (updateRatio) UpdateRatio();
    if (OnChange) OnChange();
}

void TMvSplitterModel::Resize(int size, bool forceProportional) {
    FSize = size;
    if (forceProportional || FProportional)
        SetPositionEx(static_cast<int>(std::lround(static_cast<double>(FSize) * static_cast<double>(FRatio))), false);
    else
        SetPositionEx(FPosition, false); // a fixed position stays, within the panes' smallest sizes
    if (OnResize) OnResize();
    if (OnLayout) OnLayout();
}

int TMvSplitterModel::Clamp(int coord) const {
    if (coord - FOffset > FSize - FMinSize[1]) coord = FSize - FMinSize[1] + FOffset;
    if (coord - FOffset < FMinSize[0]) coord = FMinSize[0] + FOffset;
    return coord;
}

void TMvSplitterModel::MoveBar(int coord) {
    if (!FFullDrag) {
        if (FDragCoord >= 0 && OnDrawBar) OnDrawBar(FDragCoord - FOffset);
        FDragCoord = coord;
        if (coord >= 0 && OnDrawBar) OnDrawBar(coord - FOffset);
    } else if (coord >= 0) {
        FDragCoord = coord;
        SetPosition(coord - FOffset);
    } else {
        FDragCoord = coord;
    }
    if (OnSplitterDrag) OnSplitterDrag(FDragCoord);
}

void TMvSplitterModel::MouseDown(TMouseButton button, int coord) {
    if (FDragging) {
        EndDrag();
        return;
    }
    if (button != TMouseButton::mbLeft) return;
    if (OnCapture) OnCapture(true);
    FButton = button;
    FOffset = coord - FPosition; // pane 1's far edge is the position
    coord = Clamp(coord);
    FDragging = true;
    FDragCoord = -1;
    MoveBar(coord);
}

void TMvSplitterModel::MouseMove(int coord) {
    if (!FDragging) return;
    coord = Clamp(coord);
    if (coord != FDragCoord) MoveBar(coord);
}

void TMvSplitterModel::MouseUp(TMouseButton button, int coord) {
    if (!FDragging || button != FButton) return;
    MouseMove(coord);
    const int old = FPosition;
    FPosition = FDragCoord - FOffset;
    EndDrag();
    if (OnLayout) OnLayout();
    UpdateRatio();
    if (OnSplitterDrop) OnSplitterDrop(FPosition);
    if (FPosition != old && OnChange) OnChange();
}

void TMvSplitterModel::EndDrag() {
    if (!FDragging) return;
    MoveBar(-1);
    FDragging = false;
    if (OnCapture) OnCapture(false);
}

} // namespace mv
