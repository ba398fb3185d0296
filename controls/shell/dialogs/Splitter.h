#pragma once
// A container of two framed panes side by side or one above the other, with a bar
// between them that the user drags.
#include "controls/shell/dialogs/Frames.h"
#include "controls/shell/dialogs/SplitterModel.h"
#include "platform/ui/DragBar.h"

#include <functional>
#include <memory>

namespace mv {

class TMvPane : public TMvGroup {
public:
    TMvPane(TComponent* owner, int index);
    int MinSize() const { return FMinSize; }
    int Index() const { return FIndex; }

private:
    friend class TMvSplitter;
    int FMinSize = 20;
    int FIndex;
};

using TMvSplitterDragEvent = std::function<void(TComponent* sender, int position)>;

class TMvSplitter : public TCustomControl {
public:
    explicit TMvSplitter(TComponent* owner);
    TMvSplitterModel& Model() { return FModel; }
    TMvPane& Pane(int index) { return *FPanes[index & 1]; }
    TMvSplitterStyle Style() const { return FStyle; }
    void SetStyle(TMvSplitterStyle value);
    int SplitterWidth() const { return FSplitterWidth; }
    void SetSplitterWidth(int value);
    int Position() const { return FModel.Position(); }
    void SetPosition(int value) { FModel.SetPosition(value); }
    bool Proportional() const { return FModel.Proportional(); }
    void SetProportional(bool value) { FModel.SetProportional(value); }
    TMvFullDragMode FullDragMode() const { return FFullDragMode; }
    void SetFullDragMode(TMvFullDragMode value);
    int PaneMinSize(int index) const { return FPanes[index & 1]->FMinSize; }
    void SetPaneMinSize(int index, int value);
    // Where the inverted bar is drawn during a drag without full drag (-1: none); it is
    // drawn over the panes.
    int BarShownAt() const { return FBarAt; }
    const TDragBar& DragBar() const { return *FDragBar; }

    TNotifyEvent OnChange;
    TNotifyEvent OnResize;
    TMvSplitterDragEvent OnSplitterDrag;
    TMvSplitterDragEvent OnSplitterDrop;

    void Paint() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void CaptureLost() override { FModel.EndDrag(); }
    void LayoutPanes();

protected:
    void Resized() override;

private:
    int Along() const { return FStyle == TMvSplitterStyle::ptstVertical ? Width() : Height(); }
    TMvSplitterModel FModel;
    TMvPane* FPanes[2] = {nullptr, nullptr};
    TMvSplitterStyle FStyle = TMvSplitterStyle::ptstVertical;
    int FSplitterWidth = 3;
    TMvFullDragMode FFullDragMode = TMvFullDragMode::ptfdUser;
    int FBarAt = -1;
    std::unique_ptr<TDragBar> FDragBar;
    void ApplyCursor();
    bool FLoading = true;
};

} // namespace mv
