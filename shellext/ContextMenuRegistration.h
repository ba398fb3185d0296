#pragma once
// The main program's registration of the context-menu handler: the handler's
// keys in the registry store (class key, server path, the "*", "Folder" and
// "Directory" handler keys) and, for the Linux file managers, the action files
// that reach the same commands through mvshell-host.
#include "shellext/FileManagerActions.h"

#include <string>

namespace mv::shellext {

// The folder of the running program, with its trailing "/"; libmvshell.so,
// mvshell-host and morvelan lie in it.
std::string ProgramFolder();

// With true writes the keys and the action files; with false removes them.
// Both may be repeated and change nothing the second time. Errors are
// ignored, as a registry that cannot be written leaves the menu as it was.
void RegisterContextMenuHandler(bool registerHandler, const std::string& programFolder = ProgramFolder(),
                                const TActionFolders& folders = DefaultActionFolders());

} // namespace mv::shellext
