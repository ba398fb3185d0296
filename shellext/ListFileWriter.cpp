#include "shellext/ListFileWriter.h"

#include "shellext/ListFileFormat.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mv::shellext {

namespace {

bool WriteAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

TListFileResult WriteListFile(const std::vector<std::string>& paths, std::string& listFile) {
    std::string text;
    for (const std::string& p : paths) {
        if (p.find_first_of("\r\n") != std::string::npos) return TListFileResult::lfLineBreak;
        text += p;
        text += "\r\n";
    }
    std::string folder = ListFileFolder(std::getenv("XDG_RUNTIME_DIR"), std::getenv("TMPDIR"));
    // The runtime folder is the user's own; our folder in it is private.
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return TListFileResult::lfCannotWrite;
    std::string pattern = folder + "/" + std::string(ListFilePrefix) + "XXXXXX" + std::string(ListFileSuffix);
    int fd = ::mkstemps(pattern.data(), static_cast<int>(ListFileSuffix.size()));
    if (fd < 0) return TListFileResult::lfCannotWrite;
    bool ok = WriteAll(fd, text);
    if (::close(fd) != 0) ok = false;
    if (!ok) {
        ::unlink(pattern.c_str());
        return TListFileResult::lfCannotWrite;
    }
    listFile = pattern;
    return TListFileResult::lfOk;
}

} // namespace mv::shellext
