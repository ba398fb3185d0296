// mvarc type FILE: the detected archive type (its display name, trimmed), the
// archive offset and the file size, tab-separated on one line.
#include "Command.h"

#include "archive/framework/ArcDetect.h"
#include "platform/FileSystem.h"

#include <cerrno>
#include <iostream>

namespace {

// The comment buffer size the archive components use by default.
constexpr int32_t DefaultZipCmntBufSize = 32000;

std::string Trimmed(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

int RunType(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        std::cerr << "usage: mvarc type FILE\n";
        return 2;
    }
    const std::string& path = args[0];
    // A file that cannot be read is an error with the system's text; a folder,
    // device or pipe is no archive file (and a pipe is never opened).
    mv::platform::FileInfo info;
    if (mv::platform::Fs().Stat(path, info) && !info.IsSymlink && !info.IsRegular) {
        std::cerr << "mvarc: " << path << ": "
                  << (info.IsDirectory ? mv::platform::ErrorText(EISDIR) : std::string("not a regular file"))
                  << "\n";
        return 1;
    }
    try {
        auto file = mv::platform::Fs().Open(path, mv::platform::OpenMode::Read);
        uint8_t probe;
        file->Read(&probe, 1);
    } catch (const mv::platform::FileError& e) {
        std::cerr << "mvarc: " << path << ": " << mv::platform::ErrorText(e.Code()) << "\n";
        return 1;
    }
    mv::TArcDetection d;
    mv::DetectArcType(path, DefaultZipCmntBufSize, d);
    std::cout << Trimmed(mv::ArcTypeName(d.ArcType)) << "\t" << d.ArchiveOffset << "\t" << d.ArchiveSize
              << "\n";
    return 0;
}

mvarc::CommandRegistrar registrar("type", RunType, "type FILE");

} // namespace
