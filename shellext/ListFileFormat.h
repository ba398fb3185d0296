#pragma once
// The list file through which the context-menu handler hands several selected
// items to the main program: one unique file per command, in the user's
// runtime folder, every path on its own line ending in CR LF, UTF-8 (the
// names' bytes as they are), no header. The handler writes it; the program
// reads it for the verb "ASQ" and deletes it only when it is one of these.
#include <cstddef>
#include <string>
#include <string_view>

namespace mv::shellext {

constexpr std::string_view ListFilePrefix = "Morvelan-";
constexpr std::string_view ListFileSuffix = ".tmp";
constexpr size_t ListFileUniqueLength = 6; // the characters mkstemps puts in place of "XXXXXX"

// The folder of the list files: $XDG_RUNTIME_DIR/morvelan when that variable
// names an absolute folder, otherwise the temporary folder ($TMPDIR or /tmp).
inline std::string ListFileFolder(const char* runtimeDir, const char* tempDir) {
    if (runtimeDir && runtimeDir[0] == '/') return std::string(runtimeDir) + "/morvelan";
    if (tempDir && tempDir[0] == '/') return tempDir;
    return "/tmp";
}

// True for a file name the handler makes: the prefix, six characters of
// letters and digits, the suffix.
inline bool IsListFileName(std::string_view name) {
    if (name.size() != ListFilePrefix.size() + ListFileUniqueLength + ListFileSuffix.size()) return false;
    if (name.substr(0, ListFilePrefix.size()) != ListFilePrefix) return false;
    if (name.substr(name.size() - ListFileSuffix.size()) != ListFileSuffix) return false;
    for (char c : name.substr(ListFilePrefix.size(), ListFileUniqueLength)) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!ok) return false;
    }
    return true;
}

} // namespace mv::shellext
