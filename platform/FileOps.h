#pragma once
// Folder routines over the file-system seam: making folders, deleting a folder tree
// without ever following a symbolic link out of it, writing a small file only when its
// content changes, and the freedesktop trash.
#include <string>

namespace mv::platform {

// Makes path and every missing folder above it. Raises FileError when one cannot be made.
void ForceDirectories(const std::string& path);

// Deletes every file below folder and each subfolder after emptying it, and, when asked,
// the folder itself. Best effort: whatever cannot be deleted stays and the rest goes on.
// A symbolic link is deleted as a link (what it points to is never touched); read-only
// folders below are made writable for the owner so that they can be emptied. Answers
// true when everything asked for is gone.
bool DeleteFolder(const std::string& folder, bool removeFolder);

// The whole content of a small text file; false when it cannot be read.
bool ReadTextFile(const std::string& path, std::string& text);
// Writes text to path through a temporary file, unless the file already holds exactly
// that text; makes the missing folders. The permission bits are set when mode is not 0.
// Answers true when the file was written. Raises FileError on failure, leaving the old
// file as it was.
bool WriteTextFileIfChanged(const std::string& path, const std::string& text, unsigned mode = 0);
// Removes a file; true when it was there and went.
bool RemoveFileIfExists(const std::string& path);
// Removes a folder when it is empty; true when it went.
bool RemoveFolderIfEmpty(const std::string& path);

// Moves a file or folder into the freedesktop trash: $XDG_DATA_HOME/Trash when it lies on
// the same file system as the home trash, else "$topdir/.Trash/$uid" (an existing,
// sticky, real folder) or "$topdir/.Trash-$uid" on its own file system. Writes the
// ".trashinfo" record first and moves the item after it. False (with error set to the
// reason) when no trash can take it; the item then stays where it was.
bool MoveToTrash(const std::string& path, std::string& error);
// The trash folder MoveToTrash would use for path ("" when none).
std::string TrashDirFor(const std::string& path);

} // namespace mv::platform
