#include "controls/shell/dialogs/Splitter.h"

namespace mv {

TMvPane::TMvPane(TComponent* owner, int index) : TMvGroup(owner), FIndex(index) {
    SetFrameStyle(TMvFrameStyle::ptfsLowered);
    SetColor(clBtnFace);
}

TMvSplitter::TMvSplitter(TComponent* owner) : TCustomControl(owner) {
    SetVertScroll(0, 0, 0); // no scroll bar: paint the full width
    SetBounds(0, 0, 200, 140);
    for (int i = 0; i < 2; ++i) {
        FPanes[i] = new TMvPane(this, i); // owned by the splitter
        FPanes[i]->SetParent(this);
    }
    FModel.SetSizeQuiet(Width());
    FModel.OnLayout = [this] { LayoutPanes(); };
    FModel.OnChange = [this] {
        if (OnChange) OnChange(this);
    };
    FModel.OnResize = [this] {
        if (OnResize) OnResize(this);
    };
    FModel.OnSplitterDrag = [this](int p) {
        if (OnSplitterDrag) OnSplitterDrag(this, p);
    };
    FModel.OnSplitterDrop = [this](int p) {
        if (OnSplitterDrop) OnSplitterDrop(this, p);
    };
    // The inverted bar: drawing it twice restores the screen, so a second draw at the
    // same place erases it.
    FDragBar = std::make_unique<TDragBar>(*this);
    FModel.OnDrawBar = [this](int x) {
        FBarAt = FBarAt == x ? -1 : x;
        if (FBarAt < 0)
            FDragBar->Hide();
        else
            FDragBar->Show(FStyle == TMvSplitterStyle::ptstVertical ? Bounds(FBarAt, 0, FSplitterWidth, Height())
                                                                    : Bounds(0, FBarAt, Width(), FSplitterWidth));
    };
    ApplyCursor();
    FModel.OnCapture = [this](bool capture) {
        if (capture) SetCaptureControl(this);
        else if (GetCaptureControl() == this) ReleaseCapture();
    };
    // "Drag full windows" has no desktop setting to read here: the user mode drags live.
    FModel.SetFullDrag(true);
    FLoading = false;
    LayoutPanes();
}

void TMvSplitter::SetStyle(TMvSplitterStyle value) {
    if (value == FStyle) return;
    FStyle = value;
    ApplyCursor();
    FModel.SetSizeQuiet(Along());
    LayoutPanes();
}

// The panes keep their own cursor; between them, the bar shows which way it moves.
void TMvSplitter::ApplyCursor() {
    SetCursor(FStyle == TMvSplitterStyle::ptstVertical ? TCursor::crHSplit : TCursor::crVSplit);
}

void TMvSplitter::SetSplitterWidth(int value) {
    FSplitterWidth = value;
    LayoutPanes();
}

void TMvSplitter::SetFullDragMode(TMvFullDragMode value) {
    FFullDragMode = value;
    FModel.SetFullDrag(value != TMvFullDragMode::ptfdOff);
}

void TMvSplitter::SetPaneMinSize(int index, int value) {
    FPanes[index & 1]->FMinSize = value;
    FModel.SetMinSize(index, value);
}

void TMvSplitter::LayoutPanes() {
    if (FLoading || !FPanes[0] || !FPanes[1]) return;
    const int p = FModel.Position();
    if (FStyle == TMvSplitterStyle::ptstVertical) {
        FPanes[0]->SetBounds(0, 0, p, Height());
        FPanes[1]->SetBounds(p + FSplitterWidth, 0, Width() - p - FSplitterWidth, Height());
    } else {
        FPanes[0]->SetBounds(0, 0, Width(), p);
        FPanes[1]->SetBounds(0, p + FSplitterWidth, Width(), Height() - p - FSplitterWidth);
    }
    Invalidate();
}

void TMvSplitter::Resized() {
    TCustomControl::Resized();
    if (FLoading) return;
    FModel.Resize(Along());
}

void TMvSplitter::Paint() {
    TCanvas& c = Canvas();
    c.SetBrushStyle(TBrushStyle::bsSolid);
    c.SetBrushColor(Color());
    c.FillRect({0, 0, Width(), Height()});
}

void TMvSplitter::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TCustomControl::MouseDown(button, shift, x, y);
    FModel.MouseDown(button, FStyle == TMvSplitterStyle::ptstVertical ? x : y);
}

void TMvSplitter::MouseMove(TShiftState shift, int x, int y) {
    TCustomControl::MouseMove(shift, x, y);
    FModel.MouseMove(FStyle == TMvSplitterStyle::ptstVertical ? x : y);
}

void TMvSplitter::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    TCustomControl::MouseUp(button, shift, x, y);
    FModel.MouseUp(button, FStyle == TMvSplitterStyle::ptstVertical ? x : y);
}

} // namespace mv
