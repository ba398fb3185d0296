#pragma once
// Forms (top-level windows, shown modelessly or modally with a modal result) and the
// application object (title, message processing, the exception boundary).
#include "platform/ui/Control.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace mv {

// Modal results.
constexpr int mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6, mrNo = 7,
              mrAll = 8;

enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TBorderIcon : uint8_t { biSystemMenu = 1, biMinimize = 2, biMaximize = 4, biHelp = 8 };
enum class TPosition { poDesigned, poDefault, poScreenCenter, poMainFormCenter };
enum class TCloseAction { caNone, caHide, caFree, caMinimize };
enum class TWindowState { wsNormal, wsMinimized, wsMaximized };

// Show commands of a window placement.
constexpr int SW_HIDE = 0, SW_SHOWNORMAL = 1, SW_SHOWMINIMIZED = 2, SW_SHOWMAXIMIZED = 3,
              SW_SHOWNOACTIVATE = 4, SW_SHOW = 5, SW_MINIMIZE = 6, SW_SHOWMINNOACTIVE = 7, SW_SHOWNA = 8,
              SW_RESTORE = 9;

// Where a window is and how it is shown: its normal rectangle (also while minimised or
// maximised), its show command, and the minimised and maximised positions. The flags
// and the minimised position mean nothing to the desktop; they are kept as given.
struct TWindowPlacement {
    int flags = 0;
    int showCmd = SW_SHOWNORMAL;
    TPoint ptMinPosition{-1, -1};
    TPoint ptMaxPosition{-1, -1};
    TRect rcNormalPosition;
};

class TForm : public TWinControl {
public:
    explicit TForm(TComponent* owner);
    ~TForm() override;

    // Width and Height are the outer size of the window, border and caption included;
    // the client area is smaller by the frame of the border style (fixed metrics).
    int ClientWidth() const override;
    int ClientHeight() const override;
    void SetClientWidth(int value);
    void SetClientHeight(int value);
    int FrameWidth() const; // one side
    int CaptionHeight() const;

    TFormBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TFormBorderStyle value);
    uint8_t BorderIcons() const { return FBorderIcons; }
    void SetBorderIcons(uint8_t value);
    TPosition Position() const { return FPosition; }
    void SetPosition(TPosition value);
    int HelpContext() const { return FHelpContext; }
    void SetHelpContext(int value) { FHelpContext = value; }
    bool Scaled() const { return FScaled; }
    void SetScaled(bool value) { FScaled = value; }
    int PixelsPerInch() const { return FPixelsPerInch; }
    void SetPixelsPerInch(int value) { FPixelsPerInch = value; }
    TWinControl* ActiveControl() const { return FActiveControl; }
    void SetActiveControl(TWinControl* value);

    TWindowState WindowState() const { return FWindowState; }
    void SetWindowState(TWindowState value);
    // The window placement; applying one with SW_HIDE (0) changes no visibility.
    TWindowPlacement GetWindowPlacement() const;
    void SetWindowPlacement(const TWindowPlacement& placement);

    // Width and Height kept within the size limits the window procedure answers to
    // WM_GETMINMAXINFO (asked on every change of bounds and by UpdateSizeLimits);
    // sizeable forms only, as the others keep the size they are given.
    void SetBounds(int left, int top, int width, int height) override;
    // Asks the window procedure for the size limits again and applies them.
    void UpdateSizeLimits();
    // The limits last answered.
    const TMinMaxInfo& SizeLimits() const { return FSizeLimits; }

    int ModalResult() const { return FModalResult; }
    void SetModalResult(int value);
    bool Modal() const { return FModal; }

    // Shows the form modally and returns its modal result (mrCancel when it was closed
    // through its close box).
    int ShowModal();
    void Close();

    // Clicks the form's default button (Enter) or its cancel button (Esc); false when
    // the form has none.
    bool ClickDefaultButton();
    bool ClickCancelButton();
    // The buttons of this form with the Default or Cancel role, or null.
    TButtonControl* DefaultButton() const;
    TButtonControl* CancelButton() const;

    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    // Fired first when the form is destroyed, while its controls still exist.
    TNotifyEvent OnDestroy;
    std::function<void(TComponent* sender, TCloseAction& action)> OnClose;
    std::function<void(TComponent* sender, bool& canClose)> OnCloseQuery;

    // Called by the window when the user closes it.
    void CloseFromWindow();
    // Called by the window when the user resized it.
    void WindowResized(int clientWidth, int clientHeight);

protected:
    void SetText(const std::string& value) override;
    void ApplyBounds() override;
    void ApplyVisible(bool value) override;
    virtual void DoShow();
    virtual void DoHide();

private:
    void ApplyWindowFlags();
    void PlaceOnScreen();
    void ApplyWindowState();
    TMinMaxInfo AskSizeLimits();
    bool Sizeable() const;

    TFormBorderStyle FBorderStyle = TFormBorderStyle::bsSizeable;
    uint8_t FBorderIcons = biSystemMenu | biMinimize | biMaximize;
    TPosition FPosition = TPosition::poDesigned;
    int FHelpContext = 0;
    bool FScaled = true;
    int FPixelsPerInch = ScreenPixelsPerInch;
    TWinControl* FActiveControl = nullptr;
    int FModalResult = mrNone;
    bool FModal = false;
    void* FModalLoop = nullptr;
    bool FClosing = false;
    // Close() already asked OnCloseQuery and ran OnClose for the modal run ending now.
    bool FCloseAsked = false;
    TWindowState FWindowState = TWindowState::wsNormal;
    TRect FNormalBounds;
    TPoint FMinPosition{-1, -1};
    TPoint FMaxPosition{-1, -1};
    int FPlacementFlags = 0;
    TMinMaxInfo FSizeLimits;
    bool FAskingLimits = false;
};

// Hook run once a modal form is on screen (after its OnShow), before the user can act,
// and again when it has closed with its modal result; tests answer forms through it
// (see ModalDriver.h). Null: nothing runs.
enum class TModalPhase { mpShown, mpClosed };
using TModalFormHook = std::function<void(TForm& form, TModalPhase phase)>;
void SetModalFormHook(TModalFormHook hook);

class TApplication {
public:
    TApplication();
    ~TApplication();

    const std::string& Title() const { return FTitle; }
    // The running program's file.
    std::string ExeName() const;
    // The program's main form (the first form made with CreateForm in the program; set
    // by the program), or null.
    TForm* MainForm() const { return FMainForm; }
    void SetMainForm(TForm* value) { FMainForm = value; }
    void SetTitle(const std::string& value);
    // Lets pending events (painting, input, posted messages) run.
    void ProcessMessages();
    // Runs the message loop until Terminate; returns the exit code.
    int Run();
    void Terminate(int exitCode = 0);

    // The exception boundary: an exception that leaves an event handler ends up here.
    // OnException shows it; unassigned, its message goes to standard error.
    void HandleException(const std::exception& error);
    void HandleException(const std::string& message);
    std::function<void(const std::string& message)> OnException;

private:
    std::string FTitle = "Morvelan";
    TForm* FMainForm = nullptr;
};

// The one application object. CreateApplication makes it (and the Qt application under
// it) once; EnsureApplication makes it with an empty command line when none exists yet.
extern TApplication* Application;
TApplication& CreateApplication(int& argc, char** argv);
TApplication& EnsureApplication();

// Size of the screen the forms are centred on.
int ScreenWidth();
int ScreenHeight();
// The work areas of all screens (desktop co-ordinates), the primary one first.
std::vector<TRect> ScreenWorkAreas();

} // namespace mv
