#include "platform/FormatDrive.h"

#include "platform/MountTable.h"

#include <cerrno>
#include <cstdlib>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace mv::platform {

std::string FindProgramOnPath(const std::string& program) {
    if (program.find('/') != std::string::npos) return access(program.c_str(), X_OK) == 0 ? program : "";
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        if (!dir.empty()) {
            const std::string full = dir + "/" + program;
            struct stat st {};
            if (stat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(full.c_str(), X_OK) == 0)
                return full;
        }
        start = end + 1;
    }
    return "";
}

DiskUtilityFormatLayer::DiskUtilityFormatLayer(std::string sysRoot, std::string program)
    : FSysRoot(std::move(sysRoot)), FProgram(std::move(program)) {}

FormatDriveResult DiskUtilityFormatLayer::Format(const FormatDriveRequest& request) {
    FormatDriveResult result;
    char* resolved = realpath(request.Path.c_str(), nullptr);
    if (!resolved) return result;
    const std::string path = resolved;
    std::free(resolved);
    MountEntry mount;
    if (!FindMount(ReadMountTable(), path, mount)) return result;
    // Only removable media: a fixed disk holds the system and the user's files.
    if (KindOfMount(mount, FSysRoot) != DriveKind::Removable || mount.Source.rfind("/dev/", 0) != 0) {
        result.Code = SHFMT_NOFORMAT;
        return result;
    }
    const std::string program = FindProgramOnPath(FProgram);
    if (program.empty()) {
        result.NoFormatter = true;
        return result;
    }
    std::vector<std::string> args = {program, "--block-device", mount.Source, "--format-device"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawn(&child, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return result;
    int status = 0;
    while (waitpid(child, &status, 0) < 0)
        if (errno != EINTR) return result;
    result.Code = WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : SHFMT_ERROR;
    return result;
}

namespace {
std::unique_ptr<FormatDriveLayer>& Slot() {
    static std::unique_ptr<FormatDriveLayer> layer;
    return layer;
}
} // namespace

FormatDriveLayer& CurrentFormatDriveLayer() {
    if (!Slot()) Slot() = std::make_unique<DiskUtilityFormatLayer>();
    return *Slot();
}

void SetFormatDriveLayer(std::unique_ptr<FormatDriveLayer> layer) {
    Slot() = std::move(layer);
}

} // namespace mv::platform
