#include "app/operations/ListFile.h"

#include "platform/FileSystem.h"
#include "shellext/ListFileFormat.h"

#include <cstdlib>

namespace mv {

using namespace platform;

namespace {

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

} // namespace

bool IsShellListFile(const std::string& path) {
    if (!shellext::IsListFileName(NameOf(path))) return false;
    std::string folder = shellext::ListFileFolder(std::getenv("XDG_RUNTIME_DIR"), std::getenv("TMPDIR"));
    if (WithoutTrailingSlashes(DirectoryOf(path)) != WithoutTrailingSlashes(folder)) return false;
    FileInfo info;
    return Fs().Stat(path, info) && info.IsRegular && !info.IsSymlink;
}

std::vector<std::string> ReadListFileItems(const std::string& path) {
    auto file = Fs().Open(path, OpenMode::Read);
    std::string text;
    char buffer[16384];
    for (;;) {
        size_t n = file->Read(buffer, sizeof buffer);
        if (n == 0) break;
        text.append(buffer, n);
    }
    std::vector<std::string> items;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // Names are kept byte for byte: blanks at either end belong to the name.
        if (line.find_first_not_of(" \t\r") != std::string::npos) items.push_back(std::move(line));
        start = end + 1;
    }
    return items;
}

std::vector<std::string> TakeListFile(const std::string& path) {
    bool own = IsShellListFile(path);
    std::vector<std::string> items = ReadListFileItems(path);
    if (own) {
        try {
            Fs().RemoveFile(path);
        } catch (const FileError&) {
        }
    }
    return items;
}

} // namespace mv
