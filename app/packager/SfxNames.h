#pragma once
// Names the packager gives its files.
#include <string>

namespace mv {

// The name with its extension (from the last dot of the file name, when there
// is one) replaced by ext, which holds its dot; an empty ext only removes it.
inline std::string ReplaceExtension(const std::string& name, const std::string& ext) {
    const size_t slash = name.rfind('/');
    const size_t dot = name.rfind('.');
    const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExt ? name.substr(0, dot) : name) + ext;
}

} // namespace mv
