#pragma once
// What the lister's walks (archive/lister/walks/) share besides the lister
// itself.
#include <cstddef>
#include <cstdint>
#include <string>

namespace mv::listerwalk {

// Sizes over this are no quantity of any of the listed formats and no file this
// system handles: they mark a hostile or broken header.
constexpr int64_t MaxEntrySize = int64_t(1) << 62;

// Folder of a path with its "/" (empty when none).
inline std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

} // namespace mv::listerwalk
