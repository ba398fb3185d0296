#pragma once
// The splitter's logic without a display: the bar position clamped by the panes'
// smallest sizes, the ratio kept through resizes, and the drag of the bar as a state
// machine (press, move, release with the same button, cancel).
#include "platform/ui/Control.h"

#include <functional>

namespace mv {

enum class TMvSplitterStyle { ptstVertical, ptstHorizontal };
enum class TMvFullDragMode { ptfdOff, ptfdOn, ptfdUser };

class TMvSplitterModel {
public:
    // The size along the split axis (width for vertical, height for horizontal).
    int Size() const { return FSize; }
    int Position() const { return FPosition; }
    void SetPosition(int value) { SetPositionEx(value, true); }
    void SetPositionEx(int value, bool updateRatio);
    int MinSize(int pane) const { return FMinSize[pane & 1]; }
    void SetMinSize(int pane, int value) { FMinSize[pane & 1] = value; }
    bool Proportional() const { return FProportional; }
    void SetProportional(bool value) { FProportional = value; }
    float Ratio() const { return FRatio; }
    bool FullDrag() const { return FFullDrag; }
    void SetFullDrag(bool value) { FFullDrag = value; }
    bool Dragging() const { return FDragging; }
    int DragCoord() const { return FDragCoord; }
    int Offset() const { return FOffset; }

    // The control's size along the axis changed.
    void Resize(int size, bool forceProportional = false);
    void SetSizeQuiet(int size) { FSize = size; }

    void MouseDown(TMouseButton button, int coord);
    void MouseMove(int coord);
    void MouseUp(TMouseButton button, int coord);
    // A cancel or a lost capture.
    void EndDrag();

    std::function<void()> OnChange;
    std::function<void()> OnLayout;             // lay the panes out
    std::function<void(int position)> OnSplitterDrag;
    std::function<void(int position)> OnSplitterDrop;
    std::function<void()> OnResize;
    // Draws (or erases: drawing twice restores) the inverted bar at bar coordinate x.
    std::function<void(int x)> OnDrawBar;
    std::function<void(bool capture)> OnCapture;

private:
    int Clamp(int coord) const;
    void MoveBar(int coord);
    void UpdateRatio() { FRatio = FSize == 0 ? 0.5f : static_cast<float>(FPosition) / static_cast<float>(FSize); }

    int FSize = 200;
    int FPosition = 65;
    int FMinSize[2] = {20, 20};
    bool FProportional = true;
    float FRatio = 65.0f / 200.0f;
    bool FFullDrag = true;
    bool FDragging = false;
    int FDragCoord = -1;
    int FOffset = 0;
    TMouseButton FButton = TMouseButton::mbLeft;
};

} // namespace mv
