#pragma once
// Starts the main program for a menu command: an argument vector, no shell,
// descriptors other than the standard three closed, in a session of its own,
// not waited for.
//
// When MVSHELL_SPAWN_RECORD names a file, the vector is appended to that file
// instead of being started (the tests read it back): each argument as its
// decimal length, ":" and its bytes, the record closed by a line feed.
#include <string>
#include <vector>

namespace mv::shellext {

constexpr const char* SpawnRecordVariable = "MVSHELL_SPAWN_RECORD";

// False when the program could not be started (or the record not written).
bool StartDetached(const std::vector<std::string>& argv);

} // namespace mv::shellext
