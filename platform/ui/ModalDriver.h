#pragma once
// Answers modal forms for tests. While a driver exists, every form shown modally is
// recorded (caption and the texts of its controls) and answered with the next queued
// answer: a real key press (Enter, Esc), the window's close box, or a click on the
// button with a given modal result, optionally after typing into the form's first edit
// field and after an inspection callback (layout checks, screenshots). A form shown with
// no answer queued is closed through its close box and counted as unanswered.
#include "platform/ui/Form.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace mv {

enum class TModalAction { maEnter, maEscape, maCloseBox, maClickResult };

struct TModalAnswer {
    TModalAction Action = TModalAction::maEnter;
    int ModalResult = mrNone;                 // for maClickResult
    std::optional<std::string> EditText;      // typed into the first edit field first
    std::function<void(TForm& form)> Inspect; // runs while the form is on screen
};

struct TShownForm {
    std::string Caption;
    std::vector<std::string> Texts; // captions of labels, buttons and other controls, in order
    int ModalResult = mrNone;       // filled when the form has closed
};

class TModalDriver {
public:
    TModalDriver();
    ~TModalDriver();
    TModalDriver(const TModalDriver&) = delete;
    TModalDriver& operator=(const TModalDriver&) = delete;

    void Queue(TModalAnswer answer);
    void PressEnter(std::function<void(TForm&)> inspect = {});
    void PressEscape(std::function<void(TForm&)> inspect = {});
    void CloseBox(std::function<void(TForm&)> inspect = {});
    void Click(int modalResult, std::function<void(TForm&)> inspect = {});

    const std::vector<TShownForm>& Shown() const { return FShown; }
    int Pending() const { return static_cast<int>(FAnswers.size()); }
    int Unanswered() const { return FUnanswered; }

private:
    void Answer(TForm& form);
    void Closed(TForm& form);
    std::vector<TModalAnswer> FAnswers;
    std::vector<TShownForm> FShown;
    std::vector<TForm*> FOpen; // forms shown and not yet closed, with their record
    std::vector<size_t> FOpenRecord;
    int FUnanswered = 0;
};

// Presses Enter or Esc on a form (a real key event to its focused control), closes it
// through its close box, or clicks its button with the given modal result.
void PerformModalAction(TForm& form, TModalAction action, int modalResult = mrNone);

// Every control of a form (or other parent) in parent order, depth first.
std::vector<TControl*> AllControls(const TWinControl& parent);

// Saves what the control shows as a PNG file; false when it cannot.
bool SaveControlImage(TControl& control, const std::string& pngPath);
// Grabs a control as it is shown into a bitmap (for pixel probes); false without a widget.
bool GrabControlImage(TControl& control, TBitmap& image);

} // namespace mv
