#pragma once
// Starting programs and opening files the way the desktop does. A program (an
// executable file) is started with its parameters; any other file, a folder or a URL is
// opened with the user's default application for its type, found by the freedesktop
// rules: the MIME type of the file, the [Default Applications] (then [Added
// Associations]) of the mimeapps.list files in the XDG configuration and data folders,
// or else a desktop entry that lists the type; its Exec line gets the path.
// Results follow the shell's codes: above 32 is success.
#include "platform/desktop/Mime.h"

#include <string>
#include <vector>

namespace mv {

constexpr int seOutOfResources = 0, seFileNotFound = 2, sePathNotFound = 3, seAccessDenied = 5,
              seBadFormat = 11, seNoAssociation = 31, seStarted = 42;

// Opens or starts `file` (relative names count from `folder` when one is given, else
// from the current folder) with `parameters` (for programs; quoted as on a command
// line), in `folder`. Does not wait for the program. No text is cut, however long.
int ShellOpen(const std::string& file, const std::string& parameters, const std::string& folder);

// Opens a document with the default application for its type (or for asType when
// one is given), never starting the file itself: a program, a script or a launcher
// has no association here (seNoAssociation), so a file taken out of an archive is
// never run.
int ShellOpenDocument(const std::string& path, const std::string& asType = {});
// Starts a program with its arguments as they are, one argument each (no shell, no
// splitting), in folder. A bare name is looked up on PATH.
int ShellStartProgram(const std::vector<std::string>& command, const std::string& folder);

// The pieces, for tests.
// Path of the desktop entry of the default application for a MIME type (or one of its
// parents), or empty when there is none.
std::string DefaultApplicationEntry(const std::string& mimeType);
// The program and arguments of a desktop entry's Exec line for one file, with its
// field codes expanded; empty when the entry has no usable Exec line.
std::vector<std::string> DesktopEntryCommand(const std::string& entryPath, const std::string& file);
// Splits parameters the way a command line is split: blanks separate, double quotes group.
std::vector<std::string> SplitParameters(const std::string& parameters);

} // namespace mv
