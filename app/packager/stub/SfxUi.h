#pragma once
// How the installer talks to the person running it: terminal prompts, the
// desktop's dialog programs (kdialog or zenity), answers read from a file
// (MORVELAN_SFX_ANSWERS, for scripted runs), or none at all (--quiet, where
// every question takes its default and a question without one ends the run).
#include <memory>
#include <string>
#include <vector>

namespace mv::sfx {

// A question that has no answer in the current mode (quiet, or scripted answers used up).
struct ENoAnswer {};

class TSfxUi {
public:
    virtual ~TSfxUi() = default;
    // Shows text with the buttons; the index of the chosen one. Closing the
    // window or end of input answers cancelIndex. quietDefault is the answer of
    // a quiet run (-1: none, the run ends).
    virtual int Choose(const std::string& title, const std::string& text, const std::vector<std::string>& buttons,
                       int cancelIndex, int quietDefault) = 0;
    // Asks for a line of text, value prefilled; false when cancelled.
    virtual bool AskText(const std::string& title, const std::string& prompt, std::string& value, bool secret,
                         bool quietHasDefault) = 0;
    // Extraction progress: percent of the bytes, the label and the current file.
    virtual void Progress(int percent, const std::string& label, const std::string& fileLabel,
                          const std::string& file) = 0;
    virtual void ProgressDone() {}
    // Shows a text file (the readme) when there is no desktop to open it.
    virtual void ShowFile(const std::string& title, const std::string& path) = 0;
    // True when a desktop session can open files and dialogs.
    virtual bool Graphical() const { return false; }
};

// Button captions lose their "&" accelerator marks ("&&" stays one "&").
std::string StripAccelerator(const std::string& caption);

std::unique_ptr<TSfxUi> MakeQuietUi();
std::unique_ptr<TSfxUi> MakeTerminalUi();
std::unique_ptr<TSfxUi> MakeScriptedUi(const std::string& answersFile);
// kdialog or zenity when a desktop session is present and one of them is
// installed; null otherwise.
std::unique_ptr<TSfxUi> MakeDialogUi();

// Runs a program (searched in PATH) with its arguments, without a shell;
// waits and answers its exit status (-1 when it could not be started). Its
// standard output goes to *out when given.
int RunProgram(const std::vector<std::string>& argv, std::string* out = nullptr, const std::string& folder = {});
// The full path of a program found in PATH, or "".
std::string FindProgram(const std::string& name);

} // namespace mv::sfx
