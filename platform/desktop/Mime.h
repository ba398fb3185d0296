#pragma once
// MIME types as the desktop gives them, from the shared MIME database.
#include <string>
#include <vector>

namespace mv {

// The MIME type the desktop gives a path ("inode/directory" for folders).
std::string MimeTypeOfPath(const std::string& path);
// The types a MIME type inherits from, nearest first; empty for an unknown type.
std::vector<std::string> MimeTypeAncestors(const std::string& mimeType);
// Whether the desktop knows a file type by this extension (without its dot, any case).
bool IsKnownExtension(const std::string& extension);

} // namespace mv
