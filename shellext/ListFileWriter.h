#pragma once
// Writes the list file of a several-item command (see ListFileFormat.h).
#include <string>
#include <vector>

namespace mv::shellext {

enum class TListFileResult { lfOk, lfLineBreak, lfCannotWrite };

// Creates a new list file holding the paths, one per line with CR LF, and
// answers its path. A path holding a line break cannot be carried by the
// format and is refused before anything is written; on a write failure the
// partial file is removed.
TListFileResult WriteListFile(const std::vector<std::string>& paths, std::string& listFile);

} // namespace mv::shellext
