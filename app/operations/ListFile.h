#pragma once
// The receiving side of the context-menu handler's list file (verb "ASQ"):
// the items it names, and whether it is one of the handler's own files, the
// only kind the program deletes after reading. A list file named by hand on
// the command line is read and kept.
#include <string>
#include <vector>

namespace mv {

// True when the path names a list file the handler writes: a regular file
// (not a link) named like one, directly in the folder of list files.
bool IsShellListFile(const std::string& path);

// The items of a list file: every line without its line end (CR LF or LF),
// as it stands, blank lines skipped. Raises platform::FileError when the file
// cannot be read.
std::vector<std::string> ReadListFileItems(const std::string& path);

// Reads the list file and then deletes it when it is the handler's own; a
// failed deletion is ignored (the runtime folder is emptied at logout).
std::vector<std::string> TakeListFile(const std::string& path);

} // namespace mv
