#include "platform/ui/Form.h"

#include "platform/ui/QtBridge.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QEventLoop>
#include <QPointer>
#include <QResizeEvent>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <cstdio>

namespace mv {

TApplication* Application = nullptr;

namespace {

TModalFormHook modalFormHook;

// The window of a form. A dialog window gives Enter to the default (or focused)
// button; Esc clicks the form's cancel button; the close box closes the form.
class FormWindow : public QDialog {
public:
    explicit FormWindow(TForm* form) : FForm(form) {}

protected:
    void reject() override {
        Guarded([this] { FForm->ClickCancelButton(); });
    }
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        Guarded([this] { FForm->CloseFromWindow(); });
    }
    void resizeEvent(QResizeEvent* event) override {
        QDialog::resizeEvent(event);
        if (event->spontaneous())
            Guarded([&] { FForm->WindowResized(event->size().width(), event->size().height()); });
    }

private:
    TForm* FForm;
};

template <typename Fn> TButtonControl* FindButton(const TWinControl* parent, Fn pred) {
    for (int i = 0; i < parent->ControlCount(); ++i) {
        TControl* c = parent->Controls(i);
        if (auto* b = dynamic_cast<TButtonControl*>(c); b && pred(b) && b->Visible() && b->Enabled())
            return b;
        if (auto* w = dynamic_cast<TWinControl*>(c))
            if (TButtonControl* found = FindButton(w, pred)) return found;
    }
    return nullptr;
}

} // namespace

void Guarded(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const std::exception& e) {
        if (Application)
            Application->HandleException(e);
        else
            std::fprintf(stderr, "Morvelan: %s\n", e.what());
    } catch (...) {
        if (Application)
            Application->HandleException(std::string("Unknown error"));
        else
            std::fprintf(stderr, "Morvelan: unknown error\n");
    }
}

void SetModalFormHook(TModalFormHook hook) {
    modalFormHook = std::move(hook);
}

// ---- TForm ----

TForm::TForm(TComponent* owner) : TWinControl(owner) {
    EnsureApplication();
    auto* window = new FormWindow(this);
    window->setSizeGripEnabled(false);
    AttachWidget(window);
    SetColor(clBtnFace);
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, ToQColor(clBtnFace));
    window->setPalette(palette);
    window->setAutoFillBackground(true);
    SetVisible(false);
    window->hide();
    SetBounds(0, 0, 320, 240);
    ApplyWindowFlags();
}

TForm::~TForm() {
    BeginDestruction();
    Guarded([this] {
        if (OnDestroy) OnDestroy(this);
    });
    if (Application && Application->MainForm() == this) Application->SetMainForm(nullptr);
    if (Widget()) Widget()->hide();
}

bool TForm::Sizeable() const {
    return FBorderStyle == TFormBorderStyle::bsSizeable || FBorderStyle == TFormBorderStyle::bsSizeToolWin;
}

TMinMaxInfo TForm::AskSizeLimits() {
    // The system's answer first (the whole screen, the frame hanging off its edges
    // when maximised); the window procedure may change any of it.
    TMinMaxInfo info;
    const int frame = FrameWidth();
    info.ptMaxSize = {ScreenWidth() + 2 * frame, ScreenHeight() + 2 * frame};
    info.ptMaxPosition = {-frame, -frame};
    info.ptMinTrackSize = {112, 27};
    info.ptMaxTrackSize = {ScreenWidth() + 2 * frame + 12, ScreenHeight() + 2 * frame + 12};
    if (FAskingLimits || Destroying()) return info;
    FAskingLimits = true;
    Guarded([&] { Perform(WM_GETMINMAXINFO, 0, reinterpret_cast<intptr_t>(&info)); });
    FAskingLimits = false;
    return info;
}

void TForm::UpdateSizeLimits() {
    FSizeLimits = AskSizeLimits();
    ApplyBounds();
    if (Sizeable()) {
        const int w = std::clamp(Width(), FSizeLimits.ptMinTrackSize.X,
                                 std::max(FSizeLimits.ptMinTrackSize.X, FSizeLimits.ptMaxTrackSize.X));
        const int h = std::clamp(Height(), FSizeLimits.ptMinTrackSize.Y,
                                 std::max(FSizeLimits.ptMinTrackSize.Y, FSizeLimits.ptMaxTrackSize.Y));
        if (w != Width() || h != Height()) TWinControl::SetBounds(Left(), Top(), w, h);
    }
}

void TForm::SetBounds(int left, int top, int width, int height) {
    if (Sizeable() && !Destroying()) {
        FSizeLimits = AskSizeLimits();
        const TMinMaxInfo& l = FSizeLimits;
        width = std::clamp(width, l.ptMinTrackSize.X, std::max(l.ptMinTrackSize.X, l.ptMaxTrackSize.X));
        height = std::clamp(height, l.ptMinTrackSize.Y, std::max(l.ptMinTrackSize.Y, l.ptMaxTrackSize.Y));
    }
    TWinControl::SetBounds(left, top, width, height);
    if (FWindowState == TWindowState::wsNormal) FNormalBounds = BoundsRect();
}

void TForm::SetWindowState(TWindowState value) {
    if (FWindowState == value) return;
    if (FWindowState == TWindowState::wsNormal) FNormalBounds = BoundsRect();
    FWindowState = value;
    ApplyWindowState();
}

void TForm::ApplyWindowState() {
    QWidget* window = Widget();
    if (!window || !window->isVisible()) return;
    switch (FWindowState) {
    case TWindowState::wsNormal:
        window->showNormal();
        break;
    case TWindowState::wsMinimized:
        window->showMinimized();
        break;
    case TWindowState::wsMaximized:
        window->showMaximized();
        break;
    }
}

TWindowPlacement TForm::GetWindowPlacement() const {
    TWindowPlacement placement;
    placement.flags = FPlacementFlags;
    placement.ptMinPosition = FMinPosition;
    placement.ptMaxPosition = FMaxPosition;
    placement.rcNormalPosition = FWindowState == TWindowState::wsNormal ? BoundsRect() : FNormalBounds;
    if (!Visible())
        placement.showCmd = SW_HIDE;
    else if (FWindowState == TWindowState::wsMinimized)
        placement.showCmd = SW_SHOWMINIMIZED;
    else if (FWindowState == TWindowState::wsMaximized)
        placement.showCmd = SW_SHOWMAXIMIZED;
    else
        placement.showCmd = SW_SHOWNORMAL;
    return placement;
}

void TForm::SetWindowPlacement(const TWindowPlacement& placement) {
    FPlacementFlags = placement.flags;
    FMinPosition = placement.ptMinPosition;
    FMaxPosition = placement.ptMaxPosition;
    const TRect& r = placement.rcNormalPosition;
    FNormalBounds = r;
    if (FWindowState == TWindowState::wsNormal) SetBounds(r.Left, r.Top, r.Width(), r.Height());
    switch (placement.showCmd) {
    case SW_HIDE:
        return;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
        SetWindowState(TWindowState::wsMinimized);
        break;
    case SW_SHOWMAXIMIZED:
        SetWindowState(TWindowState::wsMaximized);
        break;
    case SW_SHOWNORMAL:
    case SW_RESTORE:
        SetWindowState(TWindowState::wsNormal);
        break;
    default:
        break;
    }
    if (FWindowState == TWindowState::wsNormal) SetBounds(r.Left, r.Top, r.Width(), r.Height());
    SetVisible(true);
}

int TForm::FrameWidth() const {
    switch (FBorderStyle) {
    case TFormBorderStyle::bsNone:
        return 0;
    case TFormBorderStyle::bsSizeable:
    case TFormBorderStyle::bsSizeToolWin:
        return 4;
    default:
        return 3;
    }
}

int TForm::CaptionHeight() const {
    switch (FBorderStyle) {
    case TFormBorderStyle::bsNone:
        return 0;
    case TFormBorderStyle::bsToolWindow:
    case TFormBorderStyle::bsSizeToolWin:
        return 16;
    default:
        return 19;
    }
}

int TForm::ClientWidth() const {
    return std::max(0, Width() - 2 * FrameWidth());
}
int TForm::ClientHeight() const {
    return std::max(0, Height() - 2 * FrameWidth() - CaptionHeight());
}
void TForm::SetClientWidth(int value) {
    SetWidth(value + 2 * FrameWidth());
}
void TForm::SetClientHeight(int value) {
    SetHeight(value + 2 * FrameWidth() + CaptionHeight());
}

void TForm::ApplyBounds() {
    if (!Widget()) return;
    Widget()->setGeometry(Left() + FrameWidth(), Top() + FrameWidth() + CaptionHeight(), ClientWidth(),
                          ClientHeight());
    if (!Sizeable())
        Widget()->setFixedSize(ClientWidth(), ClientHeight());
    else {
        // The user sizes the window within the limits last answered (outer sizes,
        // turned into client sizes for the window).
        const int frameX = 2 * FrameWidth(), frameY = 2 * FrameWidth() + CaptionHeight();
        const TMinMaxInfo& l = FSizeLimits;
        if (l.ptMaxTrackSize.X == 0 && l.ptMaxTrackSize.Y == 0) {
            Widget()->setMinimumSize(0, 0);
            Widget()->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        } else {
            Widget()->setMinimumSize(std::max(0, l.ptMinTrackSize.X - frameX),
                                     std::max(0, l.ptMinTrackSize.Y - frameY));
            Widget()->setMaximumSize(std::min(QWIDGETSIZE_MAX, std::max(0, l.ptMaxTrackSize.X - frameX)),
                                     std::min(QWIDGETSIZE_MAX, std::max(0, l.ptMaxTrackSize.Y - frameY)));
        }
    }
}

void TForm::WindowResized(int clientWidth, int clientHeight) {
    if (clientWidth == ClientWidth() && clientHeight == ClientHeight()) return;
    SetBounds(Left(), Top(), clientWidth + 2 * FrameWidth(),
              clientHeight + 2 * FrameWidth() + CaptionHeight());
}

void TForm::SetText(const std::string& value) {
    TControl::SetText(value);
    Widget()->setWindowTitle(ToQ(value));
}

void TForm::SetBorderStyle(TFormBorderStyle value) {
    FBorderStyle = value;
    ApplyWindowFlags();
    ApplyBounds();
}

void TForm::SetBorderIcons(uint8_t value) {
    FBorderIcons = value;
    ApplyWindowFlags();
}

void TForm::ApplyWindowFlags() {
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint;
    if (FBorderStyle == TFormBorderStyle::bsNone)
        flags |= Qt::FramelessWindowHint;
    else {
        flags |= Qt::WindowTitleHint;
        const bool dialog = FBorderStyle == TFormBorderStyle::bsDialog;
        if (FBorderIcons & biSystemMenu) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        if (!dialog && (FBorderIcons & biSystemMenu) && (FBorderIcons & biMinimize))
            flags |= Qt::WindowMinimizeButtonHint;
        if (!dialog && (FBorderIcons & biSystemMenu) && (FBorderIcons & biMaximize))
            flags |= Qt::WindowMaximizeButtonHint;
        if (FBorderStyle == TFormBorderStyle::bsToolWindow || FBorderStyle == TFormBorderStyle::bsSizeToolWin)
            flags |= Qt::Tool;
    }
    const bool wasVisible = Widget()->isVisible();
    Widget()->setWindowFlags(flags);
    if (wasVisible) Widget()->show();
}

void TForm::SetPosition(TPosition value) {
    FPosition = value;
}

void TForm::SetActiveControl(TWinControl* value) {
    FActiveControl = value;
    if (value && Widget()->isVisible()) value->SetFocus();
}

void TForm::PlaceOnScreen() {
    if (FPosition == TPosition::poScreenCenter || (FPosition == TPosition::poMainFormCenter)) {
        SetBounds((ScreenWidth() - Width()) / 2, (ScreenHeight() - Height()) / 2, Width(), Height());
    }
}

void TForm::SetModalResult(int value) {
    FModalResult = value;
    if (FModal && value != mrNone && FModalLoop) static_cast<QEventLoop*>(FModalLoop)->quit();
}

void TForm::DoShow() {
    if (OnShow) OnShow(this);
}

void TForm::DoHide() {
    if (OnHide) OnHide(this);
}

void TForm::ApplyVisible(bool value) {
    QWidget* window = Widget();
    if (!window) return;
    if (!value) {
        if (window->isVisible()) {
            window->hide();
            Guarded([this] { DoHide(); });
        }
        return;
    }
    PlaceOnScreen();
    UpdateSizeLimits();
    window->show();
    ApplyWindowState();
    window->raise();
    window->activateWindow();
    if (FActiveControl)
        FActiveControl->SetFocus();
    else {
        // The first control in tab order that takes the focus gets it.
        QWidget* w = window->nextInFocusChain();
        while (w && w != window &&
               !((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(window) && w->isEnabled()))
            w = w->nextInFocusChain();
        if (w && w != window) w->setFocus(Qt::TabFocusReason);
    }
    Guarded([this] { DoShow(); });
}

int TForm::ShowModal() {
    if (FModal) return mrNone;
    FModalResult = mrNone;
    FModal = true;
    // Cleared before the form shows, so that a Close() from OnShow counts as asked.
    FCloseAsked = false;
    QWidget* window = Widget();
    window->setWindowModality(Qt::ApplicationModal);
    if (Visible()) SetVisible(false);
    SetVisible(true);

    QEventLoop loop;
    FModalLoop = &loop;
    if (modalFormHook) {
        TModalFormHook hook = modalFormHook;
        QTimer::singleShot(0, window, [this, hook] { Guarded([&] { hook(*this, TModalPhase::mpShown); }); });
    }
    // A modal result set by a button ends the run only when the form agrees to
    // close: OnCloseQuery may refuse and OnClose may keep the form open (caNone),
    // and both run once, as when the user closes the window.
    for (;;) {
        while (FModalResult == mrNone) loop.exec();
        if (FCloseAsked) break;
        bool canClose = true;
        TCloseAction action = TCloseAction::caHide;
        Guarded([&] {
            if (OnCloseQuery) OnCloseQuery(this, canClose);
            if (canClose && OnClose) OnClose(this, action);
        });
        if (canClose && action != TCloseAction::caNone) break;
        FModalResult = mrNone;
    }
    FCloseAsked = false;
    FModalLoop = nullptr;
    FModal = false;
    SetVisible(false);
    window->setWindowModality(Qt::NonModal);
    if (modalFormHook) {
        TModalFormHook hook = modalFormHook;
        Guarded([&] { hook(*this, TModalPhase::mpClosed); });
    }
    return FModalResult;
}

void TForm::Close() {
    if (FClosing) return;
    bool canClose = true;
    if (OnCloseQuery) OnCloseQuery(this, canClose);
    if (!canClose) return;
    TCloseAction action = TCloseAction::caHide;
    if (OnClose) OnClose(this, action);
    if (action == TCloseAction::caNone) return;
    if (FModal) {
        FCloseAsked = true;
        SetModalResult(mrCancel);
        return;
    }
    FClosing = true;
    SetVisible(false);
    FClosing = false;
}

void TForm::CloseFromWindow() {
    Close();
}

TButtonControl* TForm::DefaultButton() const {
    return FindButton(this, [](TButtonControl* b) { return b->Default(); });
}

TButtonControl* TForm::CancelButton() const {
    return FindButton(this, [](TButtonControl* b) { return b->Cancel(); });
}

bool TForm::ClickDefaultButton() {
    // The focused button takes Enter, as on a dialog; otherwise the default button.
    if (QWidget* w = QApplication::focusWidget()) {
        if (TButtonControl* focused = FindButton(this, [w](TButtonControl* b) { return b->Widget() == w; })) {
            focused->Click();
            return true;
        }
    }
    if (TButtonControl* b = DefaultButton()) {
        b->Click();
        return true;
    }
    return false;
}

bool TForm::ClickCancelButton() {
    if (TButtonControl* b = CancelButton()) {
        b->Click();
        return true;
    }
    return false;
}

// ---- TApplication ----

TApplication::TApplication() = default;
TApplication::~TApplication() = default;

std::string TApplication::ExeName() const {
    return FromQ(QCoreApplication::applicationFilePath());
}

void TApplication::SetTitle(const std::string& value) {
    FTitle = value;
    QApplication::setApplicationDisplayName(ToQ(value));
}

void TApplication::ProcessMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

int TApplication::Run() {
    return QApplication::exec();
}

void TApplication::Terminate(int exitCode) {
    QCoreApplication::exit(exitCode);
}

void TApplication::HandleException(const std::exception& error) {
    HandleException(std::string(error.what()));
}

void TApplication::HandleException(const std::string& message) {
    if (OnException) {
        // A failing handler must not throw back into the event dispatch.
        try {
            OnException(message);
            return;
        } catch (...) {
        }
    }
    std::fprintf(stderr, "Morvelan: %s\n", message.c_str());
}

TApplication& CreateApplication(int& argc, char** argv) {
    if (!QApplication::instance()) new QApplication(argc, argv);
    if (!Application) Application = new TApplication();
    QApplication::setApplicationName(QStringLiteral("morvelan"));
    QApplication::setFont(ToQFont(TFont()));
    return *Application;
}

TApplication& EnsureApplication() {
    if (Application && QApplication::instance()) return *Application;
    static int argc = 1;
    static char name[] = "morvelan";
    static char* argv[] = {name, nullptr};
    return CreateApplication(argc, argv);
}

int ScreenWidth() {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().width() : 1024;
}

int ScreenHeight() {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().height() : 768;
}

std::vector<TRect> ScreenWorkAreas() {
    std::vector<TRect> out;
    QScreen* primary = QGuiApplication::primaryScreen();
    auto add = [&](QScreen* screen) {
        const QRect r = screen->availableGeometry();
        out.push_back(Bounds(r.x(), r.y(), r.width(), r.height()));
    };
    if (primary) add(primary);
    for (QScreen* screen : QGuiApplication::screens())
        if (screen != primary) add(screen);
    if (out.empty()) out.push_back(Bounds(0, 0, ScreenWidth(), ScreenHeight()));
    return out;
}

} // namespace mv

#if defined(__SANITIZE_ADDRESS__)
// Under the leak checker: the font library keeps its caches for the life of the process
// and frees none of them at exit; those are not leaks of ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\nleak:libdbus-1.so\n";
}
#endif
