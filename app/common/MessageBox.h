#pragma once
// The program's own message box and input box (an animated icon, buttons with
// translated captions), and the font fix every form applies.
#include <cstdint>
#include <functional>
#include <string>

namespace mv {

class TForm;

// Message kinds.
constexpr uint8_t mkWarning = 0, mkError = 1, mkInformation = 2, mkQuestion = 3, mkPlain = 4;

// Button set: bit n stands for the n-th button; buttons always appear in this order.
using TMsgButtons = uint16_t;
constexpr TMsgButtons mbYes = 1 << 0, mbNo = 1 << 1, mbOK = 1 << 2, mbCancel = 1 << 3, mbAbort = 1 << 4,
                      mbRetry = 1 << 5, mbIgnore = 1 << 6, mbAll = 1 << 7, mbHelp = 1 << 8;
constexpr TMsgButtons mbYesNo = mbYes | mbNo; // 3, for questions
constexpr TMsgButtons mbOKOnly = mbOK;        // 4, for warnings, errors and information

// Layout of both boxes, in pixels.
constexpr int MsgButtonGap = 7, MsgSideMargin = 10, MsgButtonWidth = 75, MsgButtonHeight = 25,
              MsgTextLeft = 60;

// Shows the box modally and returns the modal result of the button that closed it
// (6 yes, 7 no, 1 OK, 2 cancel, 3 abort, 4 retry, 5 ignore, 8 all). A negative X or Y
// centres the box on the screen.
int ShowMessageBox(const std::string& msg, uint8_t kind, TMsgButtons buttons, int helpContext, int x, int y);

// Shows a prompt; returns "@OK@" when OK closed it ("the edit field's text instead when
// there is one), else "@Cancel@". Buttons: 1 OK, 2 Cancel, 3 both. HasEdit: 1 shows the
// edit field holding the trimmed default text.
std::string ShowInputBox(const std::string& caption, const std::string& prompt, const std::string& note,
                         int buttons, int hasEdit, const std::string& defaultText);

// At a resolution other than 96 dots per inch: scaling off and the fonts of the form's
// labels, edits, buttons, group boxes, check boxes, radio buttons and page controls
// become "Arial". Nothing at 96.
void FixFormFonts(TForm& form);

// What the Help button of a message box does with its help context; unset: nothing.
void SetHelpHandler(std::function<void(int helpContext)> handler);

// Makes the application show exceptions that reach its exception boundary in an error
// message box.
void ShowExceptionsInMessageBox();

} // namespace mv
