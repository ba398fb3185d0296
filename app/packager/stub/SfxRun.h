#pragma once
// One run of a self-extracting installer: its questions, the extraction, the
// program group, the associations, the readme and the program to run after.
//
// Exit codes: 0 done, 1 error, 2 cancelled, 3 licence declined.
#include <map>
#include <string>
#include <vector>

namespace mv::sfx {

// The codes of folder values: %e the installer's folder, %t the temporary
// folder, %r a new random subfolder, %s, %w, %v and %p the per-user stand-ins
// for the system, Windows, fixed-disk and programs folders, %% a "%". "\"
// becomes "/". Unknown codes stay as they are.
std::string ExpandFolderCodes(const std::string& text, const std::string& selfFolder);
// The codes of messages: %d the destination, %e the error number, %f the file,
// %n the disk, %c the host name, %s the share (none here), %% a "%".
std::string ExpandMessageCodes(const std::string& text, const std::map<char, std::string>& values);

// Splits a parameter text into arguments the way a shell would quote them
// (blanks separate, single and double quotes group, backslash escapes), but
// runs no shell.
std::vector<std::string> SplitArguments(const std::string& text);

// The file name of a desktop entry and of its group, made of the group's name:
// lower-case letters, digits and "-".
std::string DesktopId(const std::string& name);

struct TSfxOptions {
    std::string Self;   // the installer's own file
    std::string Target; // --target
    bool Quiet = false;
    bool TerminalOnly = false; // the terminal stub
};

int RunInstaller(const TSfxOptions& options);

} // namespace mv::sfx
