#include "controls/toolkit/docking/ToolDock.h"

#include "platform/ui/Drawing.h"
#include "platform/ui/SysMetrics.h"

#include <algorithm>

namespace mv {

namespace {
constexpr uint16_t VK_CONTROL = 17, VK_ESCAPE = 27;

template <typename T> void Erase(std::vector<T*>& list, const T* item) {
    list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

int CaptionHeightMetric() {
    return GetSystemMetrics(SM_CYSMCAPTION);
}

// The floating windows of the program: they show and hide as the application
// becomes active or inactive.
std::vector<TCustomToolWindow*>& FloatingWindows() {
    static std::vector<TCustomToolWindow*> list;
    return list;
}
int activationListener = 0;

void SetFloatingRegistered(TCustomToolWindow* w, bool floating) {
    auto& list = FloatingWindows();
    const bool present = std::find(list.begin(), list.end(), w) != list.end();
    if (floating && !present) {
        list.push_back(w);
        if (list.size() == 1)
            activationListener = AddActivationListener([] {
                for (auto* window : std::vector<TCustomToolWindow*>(FloatingWindows())) window->RefreshVisibility();
            });
    } else if (!floating && present) {
        Erase(list, w);
        if (list.empty()) RemoveActivationListener(activationListener);
    }
}
} // namespace

// ---- TToolDock ----

TToolDock::TToolDock(TComponent* owner) : TCustomControl(owner) {
    SetTabStop(false);
    SetColor(clBtnFace);
    SetAlign(TAlign::alTop);
}

TToolDock::~TToolDock() {
    BeginDestruction();
    // The bars hear of it now: the ones inside go down with the dock's children.
    for (auto* bar : std::vector<TCustomToolWindow*>(FMemberList)) {
        RemoveFreeNotification(bar);
        bar->DockDestroyed(this);
    }
    FMemberList.clear();
    FShownList.clear();
}

void TToolDock::SetParent(TWinControl* value) {
    if (dynamic_cast<TToolDock*>(value) || dynamic_cast<TCustomToolWindow*>(value))
        throw EInvalidOperation("A TToolDock control cannot be placed inside a tool window or another TToolDock");
    TCustomControl::SetParent(value);
}

void TToolDock::SetAllowDrag(bool value) {
    FAllowDrag = value;
    for (auto* bar : FShownList) bar->Rearrange(), bar->Invalidate();
}

void TToolDock::SetBoundLines(TDockBoundLines value) {
    FBoundLines = value;
    LayoutBars(false);
    Invalidate();
}

void TToolDock::SetFixAlign(bool value) {
    FFixAlign = value;
    LayoutBars(false);
}

void TToolDock::SetPosition(TDockPosition value) {
    if (value == FPosition) return;
    if (ControlCount() > 0)
        throw EInvalidOperation("Cannot change Position of a TToolDock if it already contains controls");
    FPosition = value;
    static const TAlign aligns[] = {TAlign::alTop, TAlign::alBottom, TAlign::alLeft, TAlign::alRight};
    SetAlign(aligns[static_cast<int>(value)]);
}

TRect TToolDock::ClientRect() const {
    TRect r = Rect(0, 0, Width(), Height());
    if (FBoundLines & blTop) ++r.Top;
    if (FBoundLines & blBottom) --r.Bottom;
    if (FBoundLines & blLeft) ++r.Left;
    if (FBoundLines & blRight) --r.Right;
    r.Right = std::max(r.Left, r.Right);
    r.Bottom = std::max(r.Top, r.Bottom);
    return r;
}

void TToolDock::EnableArrange() {
    if (FLock.Enable()) LayoutBars(FLock.CommitPositions());
}

std::vector<TDockBarRecord> TToolDock::Records() const {
    std::vector<TDockBarRecord> records;
    for (size_t i = 0; i < FMemberList.size(); ++i) {
        const auto* bar = FMemberList[i];
        TDockBarRecord r;
        r.Id = static_cast<int>(i);
        r.DockRow = bar->DockRow();
        r.DockPos = bar->DockPos();
        r.Width = bar->Width();
        r.Height = bar->Height();
        r.FullSize = bar->FullSize();
        r.Shown = bar->TControl::Parent() == this && bar->Visible();
        r.SizeForOrientation = bar->GetSizeForOrientation(DockKind());
        records.push_back(r);
    }
    return records;
}

void TToolDock::LayoutBars(bool commit) {
    if (Destroying() || !FLock.Request(commit, false)) return;
    FLock.Begin();
    try {
        auto records = Records();
        TDockArrangeInput in;
        in.Position = FPosition;
        in.ClientWidth = ClientWidth();
        in.ClientHeight = ClientHeight();
        in.FixAlign = FFixAlign;
        in.LimitToOneRow = FLimitToOneRow;
        in.Commit = FLock.CommitPositions();
        const auto result = DockArrange(records, in);
        std::vector<TCustomToolWindow*> sorted;
        for (const auto& r : records) {
            auto* bar = FMemberList[static_cast<size_t>(r.Id)];
            bar->StoreDockPlace(r.DockRow, r.DockPos);
            sorted.push_back(bar);
        }
        FMemberList = sorted;
        std::stable_sort(FShownList.begin(), FShownList.end(), [&](TCustomToolWindow* a, TCustomToolWindow* b) {
            return std::find(sorted.begin(), sorted.end(), a) < std::find(sorted.begin(), sorted.end(), b);
        });
        FRowThickness = result.RowThickness;
        const TRect client = ClientRect();
        for (const auto& placed : result.Placed) {
            auto* bar = FMemberList[static_cast<size_t>(std::find_if(records.begin(), records.end(), [&](const TDockBarRecord& r) {
                                                          return r.Id == placed.Id;
                                                      }) - records.begin())];
            bar->BeginPlacing();
            try {
                bar->SetBounds(client.Left + placed.Bounds.Left, client.Top + placed.Bounds.Top,
                               placed.Bounds.Width(), placed.Bounds.Height());
            } catch (...) {
                bar->EndPlacing();
                throw;
            }
            bar->EndPlacing();
        }
        SizeDock(result.Thickness);
        ++FArrangeCount;
    } catch (...) {
        FLock.End();
        throw;
    }
    FLock.End();
}

void TToolDock::SizeDock(int thickness) {
    const bool horizontal = DockKind() == dkHorizontal;
    const int nonClient = horizontal ? Height() - ClientHeight() : Width() - ClientWidth();
    const int size = thickness + nonClient;
    if ((horizontal ? Height() : Width()) == size) return;
    FSizing = true;
    switch (Align()) {
    case TAlign::alTop: SetBounds(Left(), Top(), Width(), size); break;
    case TAlign::alLeft: SetBounds(Left(), Top(), size, Height()); break;
    case TAlign::alBottom: SetBounds(Left(), Top() + Height() - size, Width(), size); break;
    case TAlign::alRight: SetBounds(Left() + Width() - size, Top(), size, Height()); break;
    default: break;
    }
    FSizing = false;
    if (Parent()) Parent()->Realign();
}

void TToolDock::Resized() {
    TCustomControl::Resized();
    if (FSizing || Destroying()) return;
    // Only a change of size re-arranges (a parent re-aligning its children may set
    // the same bounds again).
    if (Width() == FArrangedWidth && Height() == FArrangedHeight) return;
    FArrangedWidth = Width(), FArrangedHeight = Height();
    LayoutBars(false);
    if (OnResize) OnResize(this);
}

void TToolDock::SetMember(bool add, TCustomToolWindow* bar) {
    const bool present = std::find(FMemberList.begin(), FMemberList.end(), bar) != FMemberList.end();
    if (add && !present) {
        FMemberList.push_back(bar);
        FreeNotification(bar);
    } else if (!add && present) {
        Erase(FMemberList, bar);
    }
    SyncShown(bar, false);
}

void TToolDock::SyncShown(TCustomToolWindow* bar, bool forceRemove) {
    const bool shown = !forceRemove && bar->TControl::Parent() == this && bar->Visible();
    const bool was = std::find(FShownList.begin(), FShownList.end(), bar) != FShownList.end();
    if (shown == was) return;
    if (shown)
        FShownList.push_back(bar);
    else
        Erase(FShownList, bar);
    LayoutBars(false);
    if (OnInsertRemoveBar) OnInsertRemoveBar(this, shown, bar);
}

int TToolDock::LastRow() const {
    return DockLastRow(Records());
}

int TToolDock::BarsInRow(int row, TCustomToolWindow* except) const {
    int n = 0;
    for (auto* bar : FMemberList)
        if (bar != except && bar->DockRow() == row) ++n;
    return n;
}

void TToolDock::OpenRow(int row) {
    for (auto* bar : FMemberList)
        if (bar->DockRow() >= row) bar->StoreDockPlace(bar->DockRow() + 1, bar->DockPos());
}

void TToolDock::MeasureRows() {
    FRowThickness = DockMeasureRows(Records());
}

int TToolDock::RowThicknessOf(int row, TCustomToolWindow* bar) const {
    int size = DockRowThicknessOf(FRowThickness, row);
    if (size == 0 && bar) size = bar->GetSizeForOrientation(DockKind());
    return size;
}

int TToolDock::RowUnderDrop(int coordinate, bool& insertBefore) const {
    return DockRowUnderDrop(FRowThickness, LastRow(), coordinate, insertBefore);
}

void TToolDock::Notification(TComponent* component, TOperation operation) {
    TCustomControl::Notification(component, operation);
    if (operation == TOperation::opRemove) {
        auto* bar = dynamic_cast<TCustomToolWindow*>(component);
        if (!bar) return;
        Erase(FMemberList, bar);
        Erase(FShownList, bar);
    }
}

void TToolDock::Paint() {
    auto& c = Canvas();
    c.SetBrushColor(Color());
    c.FillRect(Rect(0, 0, Width(), Height()));
    if (FBoundLines == 0 || FShownList.empty()) return;
    const int w = Width(), h = Height();
    c.SetPenColor(clBtnShadow);
    if (FBoundLines & blTop) c.MoveTo(0, 0), c.LineTo(w, 0);
    if (FBoundLines & blLeft) c.MoveTo(0, 0), c.LineTo(0, h);
    c.SetPenColor(clBtnHighlight);
    if (FBoundLines & blBottom) c.MoveTo(0, h - 1), c.LineTo(w, h - 1);
    if (FBoundLines & blRight) c.MoveTo(w - 1, 0), c.LineTo(w - 1, h);
}

// ---- TFloatingWindowParent ----

TFloatingWindowParent::TFloatingWindowParent(TComponent* owner) : TForm(owner) {
    SetBorderStyle(TFormBorderStyle::bsNone);
    SetShowHint(true);
    SetBounds(0, 0, 0, 0);
}

// ---- TCustomToolWindow ----

TCustomToolWindow::TCustomToolWindow(TComponent* owner) : TCustomControl(owner) {
    SetTabStop(false);
    SetColor(clBtnFace);
}

TCustomToolWindow::~TCustomToolWindow() {
    BeginDestruction();
    SetFloatingRegistered(this, false);
    if (GetCaptureControl() == this) ReleaseCapture();
    if (FLastDock && FLastDock != FDockedTo) FLastDock->SetMember(false, this);
    if (FDockedTo) FDockedTo->SetMember(false, this);
    for (TToolDock* d : {FLastDock, FDockedTo, FDefaultDock})
        if (d) RemoveFreeNotification(d);
    if (FFloatingHost) {
        TControl::SetParent(nullptr);
        if (FFloatingHost->OwnerForm) RemoveFreeNotification(FFloatingHost->OwnerForm);
        delete FFloatingHost;
        FFloatingHost = nullptr;
    }
}

TForm* TCustomToolWindow::OwnerForm() const {
    if (FFloatingHost && TControl::Parent() == FFloatingHost) return FFloatingHost->OwnerForm;
    return ParentForm();
}

TNonClient TCustomToolWindow::NonClientFor(TToolDock* dock) const {
    if (dock)
        return DockedNonClient(dock->DockKind(), dock->AllowDrag(), FDragHandleStyle, FCloseButtonWhenDocked);
    const int fx = GetSystemMetrics(FResizable ? SM_CXFRAME : SM_CXDLGFRAME);
    const int fy = GetSystemMetrics(FResizable ? SM_CYFRAME : SM_CYDLGFRAME);
    return FloatingNonClient(fx, fy, CaptionHeightMetric(), FShowCaption);
}

TNonClient TCustomToolWindow::NonClient() const {
    if (FDockedTo) return NonClientFor(FDockedTo);
    if (Floating()) return NonClientFor(nullptr);
    return {};
}

TRect TCustomToolWindow::ClientRect() const {
    const TNonClient n = NonClient();
    return Rect(n.Left, n.Top, std::max(n.Left, Width() - n.Right), std::max(n.Top, Height() - n.Bottom));
}

TFloatingFrame TCustomToolWindow::FloatingFrame() const {
    TFloatingFrame f;
    f.Width = Width(), f.Height = Height();
    f.Fx = GetSystemMetrics(FResizable ? SM_CXFRAME : SM_CXDLGFRAME);
    f.Fy = GetSystemMetrics(FResizable ? SM_CYFRAME : SM_CYDLGFRAME);
    f.CaptionHeight = CaptionHeightMetric();
    f.ShowCaption = FShowCaption, f.CloseButton = FCloseButton, f.Resizable = FResizable;
    f.CornerSizing = CornerSizing();
    return f;
}

int TCustomToolWindow::HitTest(int x, int y) const {
    if (Floating()) return FloatingHitTest(FloatingFrame(), x, y);
    if (FDockedTo && FCloseButtonWhenDocked && FDockedTo->AllowDrag()) {
        const TRect r = DockedCloseButtonRect(FDockedTo->DockKind(), ClientWidth());
        if (x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom) return HTCLOSE;
    }
    return HTCLIENT;
}

void TCustomToolWindow::SetParent(TWinControl* value) {
    auto* newDock = dynamic_cast<TToolDock*>(value);
    auto* form = dynamic_cast<TForm*>(value);
    if (value && !newDock && !form)
        throw EInvalidOperation("A tool window can only be placed on a TToolDock or directly on the form");
    TWinControl* target = value;
    TFloatingWindowParent* replacedHost = nullptr;
    if (form && !dynamic_cast<TFloatingWindowParent*>(form)) {
        if (!FFloatingHost || FFloatingHost->OwnerForm != form) {
            auto host = std::make_unique<TFloatingWindowParent>(nullptr);
            host->OwnerForm = form;
            MakeFloatingToolForm(*host, form, FFloatingMode == TToolWindowFloatingMode::fmOnTopOfAllForms);
            replacedHost = FFloatingHost;
            FFloatingHost = host.release();
            FreeNotification(form);
        }
        target = FFloatingHost;
    }
    TWinControl* oldParent = TControl::Parent();
    auto* oldDock = dynamic_cast<TToolDock*>(oldParent);
    if (target == oldParent) {
        FDockedTo = newDock;
        UpdateFloatingRegistration();
        return;
    }
    const bool destroying = Destroying();
    if (!destroying && value) {
        if (OnDockChanging) OnDockChanging(this);
        if (OnDockChangingEx) OnDockChangingEx(this, newDock);
        if (OnRecreating) OnRecreating(this);
    }
    ++FHideCount, ++FMoveEventLock;
    RefreshVisibility();
    if (oldDock) oldDock->DisableArrange();
    if (newDock) newDock->DisableArrange();
    ++FPlacingCount;
    try {
        if (value) {
            if (!destroying && OnDockChangingHidden) OnDockChangingHidden(this, newDock);
            if (FHasPrevDockKind) ResizeToContents(FPrevDockKind, newDock, false);
        }
        LockContents();
        if (oldDock) {
            if (!FUseLastDock) oldDock->SetMember(false, this);
            oldDock->SyncShown(this, true);
        }
        TControl::SetParent(nullptr);
        FDockedTo = newDock;
        TControl::SetParent(target);
        // The new place asks for its own layout of the contents (run at the unlock).
        FContentsPending = true;
        if (auto* oldHost = dynamic_cast<TFloatingWindowParent*>(oldParent)) {
            if (oldHost == FFloatingHost) FFloatingHost = nullptr;
            if (oldHost == replacedHost) replacedHost = nullptr;
            delete oldHost;
        }
        delete replacedHost;
        if (newDock) {
            if (FUseLastDock) {
                SetLastDock(newDock);
                newDock->SyncShown(this, false);
            } else
                newDock->SetMember(true, this);
        }
        UpdateFloatingRegistration();
        UnlockContents();
    } catch (...) {
        FDockedTo = dynamic_cast<TToolDock*>(TControl::Parent());
        --FPlacingCount, --FHideCount, --FMoveEventLock;
        FContentsLock = 0;
        if (newDock) newDock->EnableArrange();
        if (oldDock) oldDock->EnableArrange();
        throw;
    }
    --FPlacingCount;
    if (newDock) newDock->EnableArrange();
    if (oldDock) oldDock->EnableArrange();
    if (value) {
        FPrevDockKind = newDock ? newDock->DockKind() : dkNone;
        FHasPrevDockKind = true;
    }
    --FHideCount, --FMoveEventLock;
    RefreshVisibility();
    if (value) DoMove();
    if (!destroying && value) {
        if (OnRecreated) OnRecreated(this);
        if (OnDockChanged) OnDockChanged(this);
    }
}

void TCustomToolWindow::SetDockedTo(TToolDock* value) {
    if (value) {
        SetParent(value);
        return;
    }
    TForm* form = OwnerForm();
    if (!form) throw EInvalidOperation("Control '" + Name() + "' has no parent window");
    SetParent(form);
}

void TCustomToolWindow::UpdateFloatingRegistration() {
    SetFloatingRegistered(this, Floating());
    if (!Floating()) return;
    TCustomControl::SetBounds(0, 0, Width(), Height());
    MoveHost();
}

void TCustomToolWindow::MoveHost() {
    if (FFloatingHost && Floating()) FFloatingHost->SetBounds(FFloatLeft, FFloatTop, Width(), Height());
}

void TCustomToolWindow::DoMove() {
    if (FMoveEventLock == 0 && OnMove) OnMove(this);
}

void TCustomToolWindow::SetDockRow(int value) {
    FDockRow = value;
    if (FDockedTo) FDockedTo->LayoutBars(false);
}

void TCustomToolWindow::SetDockPos(int value) {
    FDockPos = value;
    if (FDockedTo) FDockedTo->LayoutBars(false);
}

void TCustomToolWindow::SetFullSize(bool value) {
    FFullSize = value;
    Rearrange();
    if (FDockedTo) FDockedTo->LayoutBars(false);
}

void TCustomToolWindow::SetLastDock(TToolDock* value) {
    if (FUseLastDock && FDockedTo) value = FDockedTo;
    if (value == FLastDock) return;
    if (FLastDock && FLastDock != TControl::Parent()) FLastDock->SetMember(false, this);
    FLastDock = value;
    if (value) {
        FUseLastDock = true;
        FreeNotification(value);
        value->SetMember(true, this);
    }
}

void TCustomToolWindow::SetUseLastDock(bool value) {
    FUseLastDock = value;
    SetLastDock(value ? FDockedTo : nullptr);
}

void TCustomToolWindow::SetDefaultDock(TToolDock* value) {
    FDefaultDock = value;
    if (value) FreeNotification(value);
}

void TCustomToolWindow::SetFloatingMode(TToolWindowFloatingMode value) {
    FFloatingMode = value;
    if (FFloatingHost)
        MakeFloatingToolForm(*FFloatingHost, FFloatingHost->OwnerForm, value == TToolWindowFloatingMode::fmOnTopOfAllForms);
}

void TCustomToolWindow::SetDragHandleStyle(TDragHandleStyle value) {
    FDragHandleStyle = value;
    Rearrange();
    Invalidate();
}

void TCustomToolWindow::SetCloseButton(bool value) {
    FCloseButton = value;
    Invalidate();
}

void TCustomToolWindow::SetCloseButtonWhenDocked(bool value) {
    FCloseButtonWhenDocked = value;
    Rearrange();
    Invalidate();
}

void TCustomToolWindow::SetShowCaption(bool value) {
    FShowCaption = value;
    Rearrange();
    Invalidate();
}

void TCustomToolWindow::SetResizable(bool value) {
    FResizable = value;
    Rearrange();
    Invalidate();
}

void TCustomToolWindow::SetBorderSingle(bool value) {
    FBorderSingle = value;
    Invalidate();
}

void TCustomToolWindow::DockDestroyed(TToolDock* dock) {
    if (FDefaultDock == dock) FDefaultDock = nullptr;
    if (FLastDock == dock) FLastDock = nullptr;
    if (FDockedTo == dock) FDockedTo = nullptr;
}

void TCustomToolWindow::Notification(TComponent* component, TOperation operation) {
    TCustomControl::Notification(component, operation);
    if (operation != TOperation::opRemove) return;
    if (component == FDefaultDock) FDefaultDock = nullptr;
    if (component == FLastDock) FLastDock = nullptr;
    if (component == FDockedTo) FDockedTo = nullptr;
    if (FFloatingHost && component == FFloatingHost->OwnerForm) {
        // The form goes: the window goes with it off the screen.
        TControl::SetParent(nullptr);
        delete FFloatingHost;
        FFloatingHost = nullptr;
    }
}

void TCustomToolWindow::SetBounds(int left, int top, int width, int height) {
    if (FPlacingCount == 0 && (width != Width() || height != Height())) SizeChanged(width, height);
    if (Floating()) {
        TCustomControl::SetBounds(0, 0, width, height);
        MoveHost();
        return;
    }
    TCustomControl::SetBounds(left, top, width, height);
}

void TCustomToolWindow::Resized() {
    TCustomControl::Resized();
    Invalidate();
    if (OnResize && FLoaded) OnResize(this);
}

void TCustomToolWindow::ResizeToContents(int dockKind, TToolDock* dock, bool resize) {
    if (FContentsLock >= 1 || !FLoaded || Destroying()) {
        FContentsPending = true;
        return;
    }
    FContentsPending = false;
    ++FContentsLock;
    TPoint size = LayoutControls(true, dockKind, dock);
    if (resize) {
        const TNonClient nc = NonClientFor(dock);
        if (FDockedTo) {
            FDockedTo->MeasureRows();
            const int r = FDockedTo->RowThicknessOf(FDockRow, this);
            if (FDockedTo->DockKind() == dkVertical) {
                size.X = std::max(size.X, r);
                if (FFullSize) size.Y = FDockedTo->ClientHeight() - nc.Height();
            } else {
                size.Y = std::max(size.Y, r);
                if (FFullSize) size.X = FDockedTo->ClientWidth() - nc.Width();
            }
        }
        if (size.X + nc.Width() != Width() || size.Y + nc.Height() != Height()) {
            ++FPlacingCount;
            SetBounds(Left(), Top(), size.X + nc.Width(), size.Y + nc.Height());
            --FPlacingCount;
            if (FDockedTo) FDockedTo->LayoutBars(false);
        }
    }
    --FContentsLock;
}

void TCustomToolWindow::Rearrange() {
    ResizeToContents(FDockedTo ? FDockedTo->DockKind() : dkNone, FDockedTo, true);
}

void TCustomToolWindow::UnlockContents() {
    if (--FContentsLock <= 0) {
        FContentsLock = 0;
        if (FContentsPending) Rearrange();
    }
}

void TCustomToolWindow::Loaded() {
    FLoaded = true;
    Rearrange();
}

void TCustomToolWindow::KeepOnScreen(bool onlyIfFullyOff) {
    if (!Floating()) return;
    const TRect r = Bounds(FFloatLeft, FFloatTop, Width(), Height());
    const TRect moved = KeepRectOnScreen(r, WorkAreaAt({(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2}), onlyIfFullyOff);
    if (moved.Left == r.Left && moved.Top == r.Top) return;
    FFloatLeft = moved.Left, FFloatTop = moved.Top;
    MoveHost();
}

bool TCustomToolWindow::VisibleNow() const {
    TVisibleNowInput in;
    in.Showing = Visible() && TControl::Parent() != nullptr;
    in.HideCount = FHideCount;
    in.Floating = Floating();
    in.FloatingMode = FFloatingMode;
    TForm* form = OwnerForm();
    in.FormExists = form && form->Widget();
    in.FormVisible = form && form->Visible() && ControlShowing(*form);
    in.FormMinimised = form && form->WindowState() == TWindowState::wsMinimized;
    in.HideWhenInactive = FHideWhenInactive;
    in.ApplicationActive = ApplicationActive();
    return mv::VisibleNow(in);
}

void TCustomToolWindow::RefreshVisibility() {
    const bool inactive = Floating() && !FHideWhenInactive && !ApplicationActive();
    if (inactive != FInactiveCaption) {
        FInactiveCaption = inactive;
        Invalidate();
    }
    const bool shown = VisibleNow();
    ApplyVisible(shown);
    if (Floating()) FFloatingHost->SetVisible(shown);
}

void TCustomToolWindow::SetVisible(bool value) {
    if (value == Visible()) return;
    TControl::SetVisible(value);
    if (FDockedTo) FDockedTo->SyncShown(this, false);
    RefreshVisibility();
    if (OnVisibleChanged) OnVisibleChanged(this);
}

TPoint TCustomToolWindow::ScreenPoint(int x, int y) const {
    return ControlToScreen(*this, {x, y});
}

// -- Mouse: drag, resize, close button --

void TCustomToolWindow::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TCustomControl::MouseDown(button, shift, x, y);
    if (button != TMouseButton::mbLeft) return;
    if (DragRunning()) {
        FDrag.LeftDown();
        CaptureLost();
        return;
    }
    if (FSizing) {
        EndResize(false);
        return;
    }
    if (FCloseTracker.Tracking()) {
        FCloseTracker.Cancel();
        ReleaseCapture();
        Invalidate();
        return;
    }
    if (shift & ssDouble) {
        DoubleClick();
        return;
    }
    if (Floating()) {
        // A press brings the window up, and its form with it; the window itself does
        // not take the activation.
        if (TForm* form = FFloatingHost->OwnerForm;
            form && ClickActivatesForm(FFloatingMode, FActivateParent, FormActive(*FFloatingHost)))
            ActivateForm(*form);
    }
    const int hit = HitTest(x, y);
    if (hit == HTCLOSE) {
        FCloseTracker.Press();
        SetCaptureControl(this);
        Invalidate();
        return;
    }
    if (Floating() && hit >= HTLEFT && hit <= HTBOTTOMRIGHT) {
        StartResize(hit, ScreenPoint(x, y));
        return;
    }
    if (hit != HTCLIENT) return;
    if (FDockedTo && !FDockedTo->AllowDrag()) return;
    StartDrag(x, y, shift);
}

void TCustomToolWindow::MouseMove(TShiftState shift, int x, int y) {
    TCustomControl::MouseMove(shift, x, y);
    if (DragRunning()) {
        FDrag.CtrlChanged((shift & ssCtrl) != 0);
        FDrag.Move(ScreenPoint(x, y));
        SetForbiddenCursor(FDrag.ForbiddenCursor());
    } else if (FSizing)
        TrackResize(ScreenPoint(x, y));
    else if (FCloseTracker.Tracking()) {
        const bool was = FCloseTracker.Down();
        FCloseTracker.Move(HitTest(x, y) == HTCLOSE);
        if (was != FCloseTracker.Down()) Invalidate();
    }
}

void TCustomToolWindow::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    TCustomControl::MouseUp(button, shift, x, y);
    if (button != TMouseButton::mbLeft) return;
    if (DragRunning()) {
        FDrag.LeftUp();
        ReleaseCapture();
        ReleaseKeyboard(*this);
        SetForbiddenCursor(false);
        ApplyDrag();
    } else if (FSizing)
        EndResize(true);
    else if (FCloseTracker.Tracking()) {
        const bool close = FCloseTracker.Release();
        ReleaseCapture();
        Invalidate();
        if (close) {
            SetVisible(false);
            if (OnClose) OnClose(this);
        }
    }
}

void TCustomToolWindow::KeyDown(uint16_t& key, TShiftState shift) {
    TCustomControl::KeyDown(key, shift);
    if (DragRunning()) {
        if (key == VK_ESCAPE && (shift & (ssShift | ssCtrl | ssAlt)) == 0) {
            FDrag.Escape();
            CaptureLost();
        } else if (key == VK_CONTROL)
            FDrag.CtrlChanged(true);
        key = 0;
    } else if (FSizing) {
        if (key == VK_ESCAPE) EndResize(false);
        key = 0;
    } else if (key == VK_ESCAPE && Floating() && FFloatingHost->OwnerForm) {
        if (auto* form = FFloatingHost->OwnerForm) form->SetFocus();
    }
}

void TCustomToolWindow::CaptureLost() {
    if (DragRunning()) FDrag.CaptureLost();
    if (FSizing) EndResize(false);
    if (FCloseTracker.Tracking()) FCloseTracker.Cancel(), Invalidate();
    if (GetCaptureControl() == this) ReleaseCapture();
    ReleaseKeyboard(*this);
    SetForbiddenCursor(false);
    if (FOutline) FOutline->Hide();
}

void TCustomToolWindow::StartDrag(int x, int y, TShiftState shift) {
    std::vector<TToolDock*> docks;
    if (FDockMode == TToolWindowDockMode::dmCannotFloatOrChangeDocks) {
        if (FDockedTo) docks.push_back(FDockedTo);
    } else if (TForm* form = OwnerForm()) {
        std::function<void(TWinControl*)> walk = [&](TWinControl* c) {
            for (int pos = 0; pos < 4; ++pos)
                for (int i = 0; i < c->ControlCount(); ++i) {
                    auto* d = dynamic_cast<TToolDock*>(c->Controls(i));
                    if (d && static_cast<int>(d->Position()) == pos && ControlShowing(*d) && d->AllowDrag() &&
                        (FDockableTo & DockableBit(d->Position())))
                        docks.push_back(d);
                }
            for (int i = 0; i < c->ControlCount(); ++i) {
                auto* w = dynamic_cast<TWinControl*>(c->Controls(i));
                if (!w || dynamic_cast<TToolDock*>(w) || dynamic_cast<TCustomToolWindow*>(w) || !ControlShowing(*w))
                    continue;
                walk(w);
            }
        };
        walk(form);
    }
    const int kind = FDockedTo ? FDockedTo->DockKind() : dkNone;
    std::vector<TDragCandidate> candidates;
    for (size_t i = 0; i < docks.size(); ++i) {
        TToolDock* d = docks[i];
        const TNonClient nc = NonClientFor(d);
        const TPoint client = d == FDockedTo ? TPoint{ClientWidth(), ClientHeight()} : LayoutControls(false, kind, d);
        TRect screen = ScreenRectOf(*d);
        candidates.push_back({screen, d->DockKind() == dkVertical, {client.X + nc.Width(), client.Y + nc.Height()},
                              static_cast<int>(i)});
    }
    const TNonClient floatNc = NonClientFor(nullptr);
    const TPoint floatClient = LayoutControls(false, kind, nullptr);
    FDrag.WorkAreaAt = [](TPoint p) { return WorkAreaAt(p); };
    FDrag.OnRequestDock = [this, docks](int id, bool& accept) {
        TToolDock* d = docks[static_cast<size_t>(id)];
        if (d->OnRequestDock) d->OnRequestDock(d, this, accept);
    };
    if (!FOutline) FOutline = std::make_unique<TOutlineOverlay>();
    FDrag.OnOutline = [this](const TRect&, const TRect& now, int thickness) { FOutline->Show(now, thickness); };
    FDragDocks = docks;
    SetCaptureControl(this);
    GrabKeyboard(*this);
    FDrag.Start({x, y}, {Width(), Height()}, (shift & ssCtrl) != 0, FDockMode != TToolWindowDockMode::dmCanFloat,
                std::move(candidates), {floatClient.X + floatNc.Width(), floatClient.Y + floatNc.Height()}, floatNc,
                ScreenPoint(x, y));
    SetForbiddenCursor(FDrag.ForbiddenCursor());
}

void TCustomToolWindow::ApplyDrag() {
    if (!FDrag.ShouldApply()) return;
    const TRect outline = FDrag.Outline();
    if (FDrag.Target() >= 0) {
        TToolDock* d = FDragDocks[static_cast<size_t>(FDrag.Target())];
        const TPoint origin = ControlToScreen(*d, {d->ClientRect().Left, d->ClientRect().Top});
        const TRect local = Rect(outline.Left - origin.X, outline.Top - origin.Y, outline.Right - origin.X,
                                 outline.Bottom - origin.Y);
        d->MeasureRows();
        const bool vertical = d->DockKind() == dkVertical;
        const int mid = vertical ? (local.Left + local.Right) / 2 : (local.Top + local.Bottom) / 2;
        bool insertBefore = false;
        int row = d->RowUnderDrop(mid, insertBefore);
        if (insertBefore)
            d->OpenRow(row);
        else if (FFullSize && d->BarsInRow(row, this) > 0)
            d->OpenRow(++row);
        StoreDockPlace(row, vertical ? local.Top : local.Left);
        SetParent(d);
        d->LayoutBars(true);
    } else {
        FFloatLeft = outline.Left, FFloatTop = outline.Top;
        if (!Floating())
            SetParent(OwnerForm());
        else
            MoveHost();
    }
    KeepOnScreen(true);
}

void TCustomToolWindow::DoubleClick() {
    if (FDockedTo) {
        if (FDockMode != TToolWindowDockMode::dmCanFloat) return;
        SetParent(OwnerForm());
        KeepOnScreen(true);
    } else if (Floating()) {
        if (FLastDock)
            SetParent(FLastDock);
        else if (FDefaultDock) {
            StoreDockPlace(0, -8);
            SetParent(FDefaultDock);
        }
    }
}

void TCustomToolWindow::StartResize(int hitTest, TPoint at) {
    FSizing = true;
    FSizingHit = hitTest;
    FSizingFrom = at;
    FSizingStart = FSizingNew = Bounds(FFloatLeft, FFloatTop, Width(), Height());
    ResizeBegin(hitTest);
    SetCaptureControl(this);
    GrabKeyboard(*this);
    if (!FOutline) FOutline = std::make_unique<TOutlineOverlay>();
    FOutline->Show(FSizingNew, FloatingFrame().Fx);
}

void TCustomToolWindow::TrackResize(TPoint at) {
    const TNonClient nc = NonClient();
    const TPoint min = GetMinimumSize();
    FSizingNew = ResizeTrackRect(FSizingStart, FSizingHit, at.X - FSizingFrom.X, at.Y - FSizingFrom.Y,
                                 min.X + nc.Width(), min.Y + nc.Height());
    ResizeTrack(FSizingNew, FSizingStart);
    FOutline->Show(FSizingNew, FloatingFrame().Fx);
}

void TCustomToolWindow::EndResize(bool accepted) {
    FSizing = false;
    if (GetCaptureControl() == this) ReleaseCapture();
    ReleaseKeyboard(*this);
    if (FOutline) FOutline->Hide();
    ResizeEnd(accepted);
    if (!accepted) return;
    FFloatLeft = FSizingNew.Left, FFloatTop = FSizingNew.Top;
    LockContents();
    SetBounds(0, 0, FSizingNew.Width(), FSizingNew.Height());
    UnlockContents();
    KeepOnScreen(true);
}

// -- Painting --

void TCustomToolWindow::Paint() {
    auto& c = Canvas();
    c.SetBrushColor(Color());
    c.FillRect(Rect(0, 0, Width(), Height()));
    if (Floating())
        PaintFloating();
    else if (FDockedTo)
        PaintDocked();
}

void TCustomToolWindow::PaintDocked() {
    auto& c = Canvas();
    TRect r = Rect(0, 0, Width(), Height());
    if (FBorderSingle)
        DrawEdge(c, r, BDR_RAISEDINNER, BF_RECT);
    else {
        c.SetBrushColor(Color());
        c.FrameRect(r);
    }
    if (!FDockedTo->AllowDrag()) return;
    const bool vertical = FDockedTo->DockKind() == dkVertical;
    const int a = vertical ? ClientWidth() : ClientHeight();
    const auto handle = DragHandleMetrics(FDragHandleStyle, FCloseButtonWhenDocked);
    int from = 2, to = a + 2;
    if (FCloseButtonWhenDocked) (vertical ? to : from) = vertical ? a - 10 : 14;
    for (int k = 0; k < handle.Bars; ++k) {
        const int d = handle.FirstGrip + 3 * k;
        TRect bar = vertical ? Rect(from, d, to, d + 3) : Rect(d, from, d + 3, to);
        DrawEdge(c, bar, BDR_RAISEDINNER, BF_RECT | BF_MIDDLE);
        if (vertical)
            c.SetPixel(a + 1, d, clBtnHighlight);
        else
            c.SetPixel(d, a + 1, clBtnHighlight);
    }
    if (FCloseButtonWhenDocked) {
        TRect b = DockedCloseButtonRect(FDockedTo->DockKind(), ClientWidth());
        DrawFrameControl(c, b, DFC_CAPTION, DFCS_CAPTIONCLOSE | (FCloseTracker.Down() ? DFCS_PUSHED : 0));
    }
}

void TCustomToolWindow::PaintFloating() {
    auto& c = Canvas();
    const TFloatingFrame f = FloatingFrame();
    TRect r = Rect(0, 0, Width(), Height());
    c.SetBrushColor(clBtnFace);
    c.FillRect(r);
    DrawEdge(c, r, EDGE_RAISED, BF_RECT);
    const TColor caption = FInactiveCaption ? clInactiveCaption : clActiveCaption;
    if (FShowCaption) {
        TRect cr = f.CaptionRect();
        if (FCloseButton) cr.Right = f.CloseButtonRect().Left;
        c.SetBrushColor(caption);
        c.FillRect(cr);
        c.Font().SetColor(FInactiveCaption ? clInactiveCaptionText : clCaptionText);
        const TRect textArea = Rect(cr.Left + 1, cr.Top, cr.Right - 1, cr.Bottom);
        const std::string shown =
            ShortenCaption(Caption(), textArea.Width(), [&](const std::string& s) { return c.TextWidth(s); });
        c.SetBrushStyle(TBrushStyle::bsClear);
        c.TextRect(textArea, textArea.Left, textArea.Top + (textArea.Height() - c.TextHeight(shown)) / 2, shown);
        c.SetBrushStyle(TBrushStyle::bsSolid);
        c.SetPenColor(clBtnFace);
        const int y = f.Fy + f.CaptionHeight - 1;
        c.MoveTo(f.Fx, y);
        c.LineTo(Width() - f.Fx, y);
    }
    if (FCloseButton && FShowCaption) {
        TRect b = f.CloseButtonRect();
        c.SetBrushColor(caption);
        c.FrameRect(b);
        TRect inner = Rect(b.Left + 1, b.Top + 1, b.Right - 1, b.Bottom - 1);
        DrawFrameControl(c, inner, DFC_CAPTION, DFCS_CAPTIONCLOSE | (FCloseTracker.Down() ? DFCS_PUSHED : 0));
    }
}

// ---- TDockToolbarSep ----

TDockToolbarSep::TDockToolbarSep(TComponent* owner) : TGraphicControl(owner) {
    SetBounds(0, 0, 6, 6);
}

TCustomDockToolbar* TDockToolbarSep::Toolbar() const {
    return dynamic_cast<TCustomDockToolbar*>(Parent());
}

void TDockToolbarSep::SetParent(TWinControl* value) {
    if (value && !dynamic_cast<TCustomDockToolbar*>(value))
        throw EInvalidOperation("TDockToolbarSep can only be placed on a TDockToolbar");
    TControl::SetParent(value);
    if (auto* bar = Toolbar()) bar->Rearrange();
}

void TDockToolbarSep::SetBlank(bool value) {
    FBlank = value;
    Invalidate();
    if (auto* bar = Toolbar()) bar->Invalidate();
}

void TDockToolbarSep::SetSizeHorz(int value) {
    FSizeHorz = std::max(1, value);
    if (auto* bar = Toolbar()) bar->Rearrange();
}

void TDockToolbarSep::SetSizeVert(int value) {
    FSizeVert = std::max(1, value);
    if (auto* bar = Toolbar()) bar->Rearrange();
}

void TDockToolbarSep::Paint() {
    if (FBlank) return;
    auto& c = Canvas();
    auto* bar = Toolbar();
    const bool vertical = bar && bar->DockedTo() && bar->DockedTo()->DockKind() == dkVertical;
    if (vertical) {
        c.SetPenColor(clBtnShadow), c.MoveTo(0, Height() / 2 - 1), c.LineTo(Width(), Height() / 2 - 1);
        c.SetPenColor(clBtnHighlight), c.MoveTo(0, Height() / 2), c.LineTo(Width(), Height() / 2);
    } else {
        c.SetPenColor(clBtnShadow), c.MoveTo(Width() / 2 - 1, 0), c.LineTo(Width() / 2 - 1, Height());
        c.SetPenColor(clBtnHighlight), c.MoveTo(Width() / 2, 0), c.LineTo(Width() / 2, Height());
    }
}

void TDockToolbarSep::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TGraphicControl::MouseDown(button, shift, x, y);
    if (auto* bar = Toolbar()) bar->MouseDown(button, shift, Left() + x, Top() + y);
}

// ---- TCustomDockToolbar ----

TCustomDockToolbar::TCustomDockToolbar(TComponent* owner) : TCustomToolWindow(owner) {}
TCustomDockToolbar::~TCustomDockToolbar() = default;

void TCustomDockToolbar::SetFloatRightX(int value) {
    if (value == FFloatRightX) return;
    FFloatRightX = value;
    if (Floating()) Rearrange();
}

void TCustomDockToolbar::InsertControl(TControl* control) {
    if (auto* sep = dynamic_cast<TDockToolbarSep*>(control))
        sep->SetParent(this);
    else
        control->SetParent(this);
    Rearrange();
}

bool TCustomDockToolbar::IsSeparatorControl(const TControl* control) const {
    return dynamic_cast<const TDockToolbarSep*>(control) != nullptr;
}

std::vector<TControl*> TCustomDockToolbar::LaidOut() const {
    // The layout order follows insertions: a new child goes last, a removed one leaves.
    auto& order = const_cast<std::vector<TControl*>&>(FControlOrder);
    std::vector<TControl*> children;
    for (int i = 0; i < ControlCount(); ++i) children.push_back(Controls(i));
    order.erase(std::remove_if(order.begin(), order.end(),
                               [&](TControl* c) { return std::find(children.begin(), children.end(), c) == children.end(); }),
                order.end());
    for (auto* c : children)
        if (std::find(order.begin(), order.end(), c) == order.end()) order.push_back(c);
    std::vector<TControl*> shown;
    for (auto* c : order)
        if (c->Visible()) shown.push_back(c);
    return shown;
}

std::vector<TToolbarItem> TCustomDockToolbar::Items(int) const {
    std::vector<TToolbarItem> items;
    for (auto* c : LaidOut()) {
        TToolbarItem item;
        item.Width = c->Width(), item.Height = c->Height();
        if (auto* sep = dynamic_cast<TDockToolbarSep*>(c)) {
            item.Separator = true;
            item.Blank = sep->Blank();
            item.SizeHorz = sep->SizeHorz(), item.SizeVert = sep->SizeVert();
        }
        items.push_back(item);
    }
    return items;
}

int TCustomDockToolbar::GetSizeForOrientation(int dockKind) const {
    return ToolbarSizeForOrientation(Items(dockKind), dockKind);
}

TPoint TCustomDockToolbar::LayoutControls(bool canMoveControls, int, TToolDock* dockingTo) {
    const int kind = dockingTo ? dockingTo->DockKind() : dkNone;
    const auto items = Items(kind);
    int slot = ToolbarSizeForOrientation(items, kind);
    if (dockingTo && dockingTo == DockedTo()) {
        dockingTo->MeasureRows();
        slot = dockingTo->RowThicknessOf(DockRow(), this);
    }
    const auto layout = LayoutToolbar(items, kind, FFloatRightX, slot);
    if (canMoveControls) {
        const TNonClient nc = NonClientFor(dockingTo);
        const auto controls = LaidOut();
        for (size_t i = 0; i < controls.size(); ++i) {
            const TRect& b = layout.Bounds[i];
            controls[i]->SetBounds(nc.Left + b.Left, nc.Top + b.Top, b.Width(), b.Height());
        }
        FWrapLines = layout.WrapLines;
    }
    return {layout.Width, layout.Height};
}

void TCustomDockToolbar::ResizeBegin(int hitTest) {
    FSavedFloatRightX = FFloatRightX;
    const TNonClient nc = NonClientFor(nullptr);
    FSizeTable = std::make_unique<TToolbarSizeTable>();
    FSizeTable->Build(
        [this](int rightX) {
            FFloatRightX = rightX;
            return LayoutControls(false, dkNone, nullptr);
        },
        nc.Width(), nc.Height(), GetSizeForOrientation(dkNone) + 8, nc.Left, hitTest);
    FFloatRightX = FSavedFloatRightX;
    FSizeTable->Begin(Width(), Height());
}

void TCustomDockToolbar::ResizeTrack(TRect& newRect, const TRect& origRect) {
    if (!FSizeTable) return;
    // The edge being dragged stands for the pointer.
    newRect = FSizeTable->Track(origRect, {newRect.Left == origRect.Left ? newRect.Right : newRect.Left,
                                           newRect.Top == origRect.Top ? newRect.Bottom : newRect.Top});
}

void TCustomDockToolbar::ResizeEnd(bool accepted) {
    if (accepted && FSizeTable) SetFloatRightX(FSizeTable->CandidateFloatRightX());
    FSizeTable.reset();
}

void TCustomDockToolbar::ReadPositionData(const TIntRead& read) {
    SetFloatRightX(read("FloatRightX", 0));
}

void TCustomDockToolbar::WritePositionData(const TIntWrite& write) {
    write("FloatRightX", FFloatRightX);
}

void TCustomDockToolbar::Loaded() {
    // The designed order of the controls is the order of their places.
    const bool vertical = DockedTo() && DockedTo()->DockKind() == dkVertical;
    LaidOut();
    std::stable_sort(FControlOrder.begin(), FControlOrder.end(), [vertical](TControl* a, TControl* b) {
        return vertical ? a->Top() < b->Top() : a->Left() < b->Left();
    });
    TCustomToolWindow::Loaded();
}

void TCustomDockToolbar::Paint() {
    TCustomToolWindow::Paint();
    if (!Floating()) return;
    auto& c = Canvas();
    const TRect client = ClientRect();
    for (const auto& line : FWrapLines) {
        if (line.Blank) continue;
        const int y = client.Top + line.Y;
        c.SetPenColor(clBtnShadow), c.MoveTo(client.Left + 1, y - 4), c.LineTo(client.Right - 1, y - 4);
        c.SetPenColor(clBtnHighlight), c.MoveTo(client.Left + 1, y - 3), c.LineTo(client.Right - 1, y - 3);
    }
}

// ---- TToolWindow ----

TToolWindow::TToolWindow(TComponent* owner) : TCustomToolWindow(owner) {
    BeginPlacing();
    SetBounds(0, 0, 32, 32);
    EndPlacing();
}

int TToolWindow::ClientAreaWidth() const {
    return Parent() ? ClientWidth() : Width();
}

int TToolWindow::ClientAreaHeight() const {
    return Parent() ? ClientHeight() : Height();
}

void TToolWindow::SetClientAreaSize(int width, int height) {
    if (Parent()) {
        const TNonClient nc = NonClient();
        SetBounds(Left(), Top(), width + nc.Width(), height + nc.Height());
    } else
        SetBounds(Left(), Top(), width, height);
    FStoredClientWidth = width, FStoredClientHeight = height;
    if (DockedTo()) DockedTo()->LayoutBars(false);
}

int TToolWindow::GetSizeForOrientation(int dockKind) const {
    return dockKind == dkVertical ? FStoredClientWidth : FStoredClientHeight;
}

TPoint TToolWindow::LayoutControls(bool canMoveControls, int, TToolDock* dockingTo) {
    // The children keep their places in the client area, wherever its corner is in
    // the frame of the new place.
    if (canMoveControls) {
        const TNonClient nc = Parent() ? NonClientFor(dockingTo) : TNonClient{};
        const int dx = nc.Left - FClientOrigin.X, dy = nc.Top - FClientOrigin.Y;
        if (dx != 0 || dy != 0)
            for (int i = 0; i < ControlCount(); ++i) {
                TControl* c = Controls(i);
                c->SetBounds(c->Left() + dx, c->Top() + dy, c->Width(), c->Height());
            }
        FClientOrigin = {nc.Left, nc.Top};
    }
    return {FStoredClientWidth, FStoredClientHeight};
}

void TToolWindow::SizeChanged(int newWidth, int newHeight) {
    if (!Parent()) {
        FStoredClientWidth = newWidth, FStoredClientHeight = newHeight;
        return;
    }
    const TNonClient nc = NonClient();
    FStoredClientWidth = newWidth - nc.Width();
    FStoredClientHeight = newHeight - nc.Height();
}

void TToolWindow::ReadPositionData(const TIntRead& read) {
    if (!Resizable()) return;
    SetClientAreaSize(read("ClientWidth", ClientAreaWidth()), read("ClientHeight", ClientAreaHeight()));
}

void TToolWindow::WritePositionData(const TIntWrite& write) {
    write("ClientWidth", ClientAreaWidth());
    write("ClientHeight", ClientAreaHeight());
}

} // namespace mv
