#pragma once
// Docks along the edges of a form and the tool windows they hold: toolbars (a line
// of controls broken into groups by separators) and free-form tool windows. A tool
// window is docked (its parent is a dock) or floating (its parent is a frameless
// tool window of its own above its form). The user drags it by its handle or
// caption to another dock or off the docks, double-clicks it to float or dock it
// again, sizes it by its floating frame and closes it with its close button. The
// arrangement rules, layouts, zones and drag decisions are in the models beside
// this file; the controls feed them and apply their results.
#include "controls/toolkit/docking/DockLayoutModel.h"
#include "controls/toolkit/docking/ToolWindowModel.h"
#include "controls/toolkit/docking/ToolbarLayoutModel.h"
#include "platform/ui/CustomControl.h"
#include "platform/ui/Docking.h"
#include "platform/ui/Form.h"

#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

namespace mv {

class TCustomToolWindow;
class TToolDock;

// Raised for a placement the docks do not allow.
class EInvalidOperation : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum TDockBoundLine : uint8_t { blTop = 1, blBottom = 2, blLeft = 4, blRight = 8 };
using TDockBoundLines = uint8_t;
using TDockableTo = uint8_t; // bit (1 << position) per TDockPosition
constexpr TDockableTo AllDockPositions = 0x0F;
inline TDockableTo DockableBit(TDockPosition p) {
    return static_cast<TDockableTo>(1u << static_cast<unsigned>(p));
}

using TInsertRemoveEvent = std::function<void(TComponent* sender, bool inserting, TCustomToolWindow* bar)>;
using TRequestDockEvent = std::function<void(TComponent* sender, TCustomToolWindow* bar, bool& accept)>;
using TDockChangingExEvent = std::function<void(TComponent* sender, TToolDock* dockingTo)>;

class TToolDock : public TCustomControl {
public:
    explicit TToolDock(TComponent* owner);
    ~TToolDock() override;

    // Docks sit on forms and panels, never in a tool window or another dock.
    void SetParent(TWinControl* value);
    bool AllowDrag() const { return FAllowDrag; }
    void SetAllowDrag(bool value);
    TDockBoundLines BoundLines() const { return FBoundLines; }
    void SetBoundLines(TDockBoundLines value);
    bool FixAlign() const { return FFixAlign; }
    void SetFixAlign(bool value);
    bool LimitToOneRow() const { return FLimitToOneRow; }
    void SetLimitToOneRow(bool value) { FLimitToOneRow = value; }
    TDockPosition Position() const { return FPosition; }
    void SetPosition(TDockPosition value);

    TInsertRemoveEvent OnInsertRemoveBar;
    TRequestDockEvent OnRequestDock;
    TNotifyEvent OnResize;

    void DisableArrange() { FLock.Disable(); }
    void EnableArrange();
    void LayoutBars(bool commit);
    void SetMember(bool add, TCustomToolWindow* bar);
    void SyncShown(TCustomToolWindow* bar, bool forceRemove);
    int LastRow() const;
    int BarsInRow(int row, TCustomToolWindow* except) const;
    void OpenRow(int row);
    void MeasureRows();
    int RowThicknessOf(int row, TCustomToolWindow* bar) const;
    int RowUnderDrop(int coordinate, bool& insertBefore) const;
    const std::vector<TCustomToolWindow*>& MemberList() const { return FMemberList; }
    const std::vector<TCustomToolWindow*>& ShownList() const { return FShownList; }
    int DockKind() const { return DockKindOf(FPosition); }
    // Number of arranges run (for callers that batch changes).
    int ArrangeCount() const { return FArrangeCount; }
    // The client area inside the bound lines.
    TRect ClientRect() const;
    int ClientWidth() const override { return ClientRect().Width(); }
    int ClientHeight() const override { return ClientRect().Height(); }

    void Paint() override;

protected:
    void Notification(TComponent* component, TOperation operation) override;
    void Resized() override;

private:
    std::vector<TDockBarRecord> Records() const;
    void SizeDock(int thickness);
    bool FAllowDrag = true;
    TDockBoundLines FBoundLines = 0;
    bool FFixAlign = false;
    bool FLimitToOneRow = false;
    TDockPosition FPosition = TDockPosition::dpTop;
    std::vector<TCustomToolWindow*> FMemberList;
    std::vector<TCustomToolWindow*> FShownList;
    std::vector<int> FRowThickness;
    TDockArrangeLock FLock;
    int FArrangeCount = 0;
    bool FSizing = false;
    int FArrangedWidth = -1, FArrangedHeight = -1;
};

// The frameless top-level a floating tool window sits in.
class TFloatingWindowParent : public TForm {
public:
    explicit TFloatingWindowParent(TComponent* owner);
    TForm* OwnerForm = nullptr;
    bool ShouldShow = false;
};

class TCustomToolWindow : public TCustomControl {
public:
    explicit TCustomToolWindow(TComponent* owner);
    ~TCustomToolWindow() override;

    // Docks in a dock, floats (a form), or leaves (null): the dock/float switch.
    void SetParent(TWinControl* value);
    TToolDock* DockedTo() const { return FDockedTo; }
    void SetDockedTo(TToolDock* value);
    bool Docked() const { return FDockedTo != nullptr; }
    bool Floating() const { return FFloatingHost != nullptr && TControl::Parent() == FFloatingHost; }
    TFloatingWindowParent* FloatingHost() const { return FFloatingHost; }
    // The form the window belongs to (through its dock, or its floating host's owner).
    TForm* OwnerForm() const;

    int DockRow() const { return FDockRow; }
    void SetDockRow(int value);
    int DockPos() const { return FDockPos; }
    void SetDockPos(int value);
    // Stores row and position without arranging (the drop and the loader do so).
    void StoreDockPlace(int row, int pos) { FDockRow = row, FDockPos = pos; }
    bool FullSize() const { return FFullSize; }
    void SetFullSize(bool value);
    TToolDock* LastDock() const { return FLastDock; }
    void SetLastDock(TToolDock* value);
    bool UseLastDock() const { return FUseLastDock; }
    void SetUseLastDock(bool value);
    TToolDock* DefaultDock() const { return FDefaultDock; }
    void SetDefaultDock(TToolDock* value);
    TDockableTo DockableTo() const { return FDockableTo; }
    void SetDockableTo(TDockableTo value) { FDockableTo = value; }
    TToolWindowDockMode DockMode() const { return FDockMode; }
    void SetDockMode(TToolWindowDockMode value) { FDockMode = value; }
    TToolWindowFloatingMode FloatingMode() const { return FFloatingMode; }
    void SetFloatingMode(TToolWindowFloatingMode value);
    TDragHandleStyle DragHandleStyle() const { return FDragHandleStyle; }
    void SetDragHandleStyle(TDragHandleStyle value);
    bool CloseButton() const { return FCloseButton; }
    void SetCloseButton(bool value);
    bool CloseButtonWhenDocked() const { return FCloseButtonWhenDocked; }
    void SetCloseButtonWhenDocked(bool value);
    bool ShowCaption() const { return FShowCaption; }
    void SetShowCaption(bool value);
    bool Resizable() const { return FResizable; }
    void SetResizable(bool value);
    bool HideWhenInactive() const { return FHideWhenInactive; }
    void SetHideWhenInactive(bool value) { FHideWhenInactive = value; }
    bool ActivateParent() const { return FActivateParent; }
    void SetActivateParent(bool value) { FActivateParent = value; }
    bool BorderSingle() const { return FBorderSingle; }
    void SetBorderSingle(bool value);
    int FloatLeft() const { return FFloatLeft; }
    int FloatTop() const { return FFloatTop; }
    void SetFloatingPosition(int left, int top) { FFloatLeft = left, FFloatTop = top; }
    bool CloseButtonDown() const { return FCloseTracker.Down(); }
    bool InactiveCaption() const { return FInactiveCaption; }

    // The sizes of the frame around the client area, for the current place.
    TNonClient NonClient() const;
    TNonClient NonClientFor(TToolDock* dock) const;
    TRect ClientRect() const;
    int ClientWidth() const override { return ClientRect().Width(); }
    int ClientHeight() const override { return ClientRect().Height(); }
    // The floating frame's caption, close button and hit-test codes.
    TFloatingFrame FloatingFrame() const;
    int HitTest(int x, int y) const;

    void SetBounds(int left, int top, int width, int height) override;
    void Rearrange();
    void LockContents() { ++FContentsLock; }
    void UnlockContents();
    void KeepOnScreen(bool onlyIfFullyOff);
    // Whether the window is to be seen now, and making it so.
    bool VisibleNow() const;
    void RefreshVisibility();
    int PlacingCount() const { return FPlacingCount; }
    void BeginPlacing() { ++FPlacingCount; }
    void EndPlacing() { --FPlacingCount; }

    // Sizing hooks of the subclasses.
    virtual int GetSizeForOrientation(int dockKind) const = 0;
    virtual TPoint GetMinimumSize() const = 0;
    virtual TPoint LayoutControls(bool canMoveControls, int wasDockKind, TToolDock* dockingTo) = 0;
    virtual void SizeChanged(int /*newWidth*/, int /*newHeight*/) {}
    virtual bool IsSeparatorControl(const TControl* /*control*/) const { return false; }
    virtual bool CornerSizing() const { return true; }
    virtual void ResizeBegin(int /*hitTest*/) {}
    virtual void ResizeTrack(TRect& /*newRect*/, const TRect& /*origRect*/) {}
    virtual void ResizeEnd(bool /*accepted*/) {}
    // Saved position extras (see ToolWindowPositions.h).
    using TIntRead = std::function<int(const std::string& key, int defaultValue)>;
    using TIntWrite = std::function<void(const std::string& key, int value)>;
    virtual void ReadPositionData(const TIntRead& /*read*/) {}
    virtual void WritePositionData(const TIntWrite& /*write*/) {}
    // Called by a form built in code once its controls are in place.
    virtual void Loaded();

    // The drag, the floating resize and the close button (as the mouse feeds them).
    const TToolWindowDrag& Drag() const { return FDrag; }
    bool DragRunning() const { return FDrag.State() == TDragState::dsDragging; }
    bool Sizing() const { return FSizing; }
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void KeyDown(uint16_t& key, TShiftState shift) override;
    void CaptureLost() override;
    void DoubleClick();

    void Paint() override;

    TNotifyEvent OnClose;
    TNotifyEvent OnDockChanged;
    TNotifyEvent OnDockChanging;
    TDockChangingExEvent OnDockChangingEx;
    TDockChangingExEvent OnDockChangingHidden;
    TNotifyEvent OnMove;
    TNotifyEvent OnRecreated;
    TNotifyEvent OnRecreating;
    TNotifyEvent OnResize;
    TNotifyEvent OnVisibleChanged;

    // A dock that this window knows is going away.
    void DockDestroyed(TToolDock* dock);
    // The visible property, with the dock told.
    void SetVisible(bool value);

protected:
    void Notification(TComponent* component, TOperation operation) override;
    void Resized() override;
    void ResizeToContents(int dockKind, TToolDock* dock, bool resize);
    // Where (screen) a mouse point of the window is.
    TPoint ScreenPoint(int x, int y) const;

private:
    void StartDrag(int x, int y, TShiftState shift);
    void ApplyDrag();
    void StartResize(int hitTest, TPoint at);
    void TrackResize(TPoint at);
    void EndResize(bool accepted);
    void UpdateFloatingRegistration();
    void MoveHost();
    void PaintDocked();
    void PaintFloating();
    void DoMove();

    TToolDock* FDockedTo = nullptr;
    TToolDock* FLastDock = nullptr;
    TToolDock* FDefaultDock = nullptr;
    TFloatingWindowParent* FFloatingHost = nullptr;
    int FDockRow = 0, FDockPos = -1;
    bool FFullSize = false;
    bool FUseLastDock = true;
    TDockableTo FDockableTo = AllDockPositions;
    TToolWindowDockMode FDockMode = TToolWindowDockMode::dmCanFloat;
    TToolWindowFloatingMode FFloatingMode = TToolWindowFloatingMode::fmOnTopOfParentForm;
    TDragHandleStyle FDragHandleStyle = TDragHandleStyle::dhDouble;
    bool FCloseButton = true, FCloseButtonWhenDocked = false, FShowCaption = true, FResizable = true;
    bool FHideWhenInactive = true, FActivateParent = true, FBorderSingle = true;
    int FFloatLeft = 0, FFloatTop = 0;
    int FHideCount = 0, FMoveEventLock = 0, FPlacingCount = 0, FContentsLock = 0;
    bool FContentsPending = false;
    int FPrevDockKind = dkNone;
    bool FHasPrevDockKind = false;
    bool FInactiveCaption = false;
    bool FLoaded = false;
    TToolWindowDrag FDrag;
    std::vector<TToolDock*> FDragDocks;
    TCloseButtonTracker FCloseTracker;
    std::unique_ptr<TOutlineOverlay> FOutline;
    bool FSizing = false;
    int FSizingHit = 0;
    TRect FSizingStart, FSizingNew;
    TPoint FSizingFrom;
};

class TCustomDockToolbar;

// A separator between groups of a toolbar's controls.
class TDockToolbarSep : public TGraphicControl {
public:
    explicit TDockToolbarSep(TComponent* owner);
    void SetParent(TWinControl* value);
    bool Blank() const { return FBlank; }
    void SetBlank(bool value);
    int SizeHorz() const { return FSizeHorz; }
    void SetSizeHorz(int value);
    int SizeVert() const { return FSizeVert; }
    void SetSizeVert(int value);
    void Paint() override;
    // A press on a separator is a press on the toolbar.
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;

private:
    TCustomDockToolbar* Toolbar() const;
    bool FBlank = false;
    int FSizeHorz = 6, FSizeVert = 6;
};

class TCustomDockToolbar : public TCustomToolWindow {
public:
    explicit TCustomDockToolbar(TComponent* owner);
    ~TCustomDockToolbar() override;

    int FloatRightX() const { return FFloatRightX; }
    void SetFloatRightX(int value);
    // Puts a control on the toolbar at the end of the layout order.
    void InsertControl(TControl* control);
    void RemoveControl(TControl* control);
    const std::vector<TControl*>& ControlOrder() const { return FControlOrder; }
    const std::vector<TWrapLine>& WrapLines() const { return FWrapLines; }
    const TToolbarSizeTable* SizeTable() const { return FSizeTable.get(); }

    int GetSizeForOrientation(int dockKind) const override;
    TPoint GetMinimumSize() const override { return {0, 0}; }
    TPoint LayoutControls(bool canMoveControls, int wasDockKind, TToolDock* dockingTo) override;
    bool IsSeparatorControl(const TControl* control) const override;
    bool CornerSizing() const override { return false; }
    void ResizeBegin(int hitTest) override;
    void ResizeTrack(TRect& newRect, const TRect& origRect) override;
    void ResizeEnd(bool accepted) override;
    void ReadPositionData(const TIntRead& read) override;
    void WritePositionData(const TIntWrite& write) override;
    void Loaded() override;
    void Paint() override;

private:
    std::vector<TToolbarItem> Items(int dockKind) const;
    std::vector<TControl*> LaidOut() const;
    int FFloatRightX = 0;
    std::vector<TControl*> FControlOrder;
    std::vector<TWrapLine> FWrapLines;
    std::unique_ptr<TToolbarSizeTable> FSizeTable;
    int FSavedFloatRightX = 0;
};

class TDockToolbar : public TCustomDockToolbar {
public:
    explicit TDockToolbar(TComponent* owner) : TCustomDockToolbar(owner) {}
};

class TToolWindow : public TCustomToolWindow {
public:
    explicit TToolWindow(TComponent* owner);

    int ClientAreaWidth() const;
    int ClientAreaHeight() const;
    void SetClientAreaWidth(int value) { SetClientAreaSize(value, ClientAreaHeight()); }
    void SetClientAreaHeight(int value) { SetClientAreaSize(ClientAreaWidth(), value); }
    void SetClientAreaSize(int width, int height);
    int MinClientWidth() const { return FMinClientWidth; }
    void SetMinClientWidth(int value) { FMinClientWidth = value; }
    int MinClientHeight() const { return FMinClientHeight; }
    void SetMinClientHeight(int value) { FMinClientHeight = value; }
    int StoredClientWidth() const { return FStoredClientWidth; }
    int StoredClientHeight() const { return FStoredClientHeight; }

    int GetSizeForOrientation(int dockKind) const override;
    TPoint GetMinimumSize() const override { return {FMinClientWidth, FMinClientHeight}; }
    TPoint LayoutControls(bool canMoveControls, int wasDockKind, TToolDock* dockingTo) override;
    void SizeChanged(int newWidth, int newHeight) override;
    void ReadPositionData(const TIntRead& read) override;
    void WritePositionData(const TIntWrite& write) override;

private:
    int FMinClientWidth = 32, FMinClientHeight = 32;
    int FStoredClientWidth = 32, FStoredClientHeight = 32;
    TPoint FClientOrigin; // where the children's client area starts in the window
};

} // namespace mv
