#pragma once
// A line handed to a program of the same user through a local (unix-domain) socket,
// the way the desktop's own helpers wake each other. The socket is a file in the
// user's runtime folder, so only that user reaches it.
#include <string>

namespace mv::platform {

// Connects to the socket at path, writes text and a line feed and closes. False when
// nothing listens there (no file, refused, or the write failed); never waits longer
// than the connect and one short write.
bool SendLocalSocketLine(const std::string& path, const std::string& text);

} // namespace mv::platform
