#include "platform/AppPaths.h"

#include "platform/FileSystem.h"

#include <cstdlib>
#include <mutex>
#include <pwd.h>
#include <unistd.h>

namespace mv::platform {
namespace {

std::mutex programMutex;
std::string programOverride;

// An environment variable that holds an absolute path, else empty.
std::string AbsoluteEnv(const char* name) {
    const char* value = std::getenv(name);
    if (!value || value[0] != '/') return {};
    std::string text = value;
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    return text;
}

// The value of a key in user-dirs.dirs ("$HOME/Desktop" with $HOME expanded); empty
// when the file or the key is missing.
std::string UserDirsValue(const std::string& key) {
    std::string text;
    try {
        auto file = Fs().Open(JoinPath(XdgConfigHome(), "user-dirs.dirs"), OpenMode::Read);
        char buffer[4096];
        size_t n;
        while ((n = file->Read(buffer, sizeof buffer)) > 0 && text.size() < 65536) text.append(buffer, n);
    } catch (const FileError&) {
        return {};
    }
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (line.rfind(key + "=", 0) != 0) continue;
        std::string value = line.substr(key.size() + 1);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0) value = HomeDir() + value.substr(5);
        if (value.empty() || value[0] != '/') return {};
        return value;
    }
    return {};
}

} // namespace

std::string ProgramPath() {
    {
        std::lock_guard lock(programMutex);
        if (!programOverride.empty()) return programOverride;
    }
    char buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return {};
    return std::string(buffer, static_cast<size_t>(n));
}

void SetProgramPath(const std::string& path) {
    std::lock_guard lock(programMutex);
    programOverride = path;
}

std::string ProgramDir() {
    return DirectoryOf(ProgramPath());
}

std::string HelperPath(const std::string& name) {
    return JoinPath(ProgramDir(), name);
}

bool IsPortable() {
    const std::string ini = JoinPath(ProgramDir(), "morvelan.ini");
    FileInfo info;
    return Fs().Stat(ini, info) && info.IsRegular && access(ini.c_str(), W_OK) == 0;
}

std::string HomeDir() {
    std::string home = AbsoluteEnv("HOME");
    if (!home.empty()) return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/";
}

std::string XdgConfigHome() {
    std::string dir = AbsoluteEnv("XDG_CONFIG_HOME");
    return dir.empty() ? JoinPath(HomeDir(), ".config") : dir;
}

std::string XdgDataHome() {
    std::string dir = AbsoluteEnv("XDG_DATA_HOME");
    return dir.empty() ? JoinPath(HomeDir(), ".local/share") : dir;
}

std::string DesktopDir() {
    std::string dir = UserDirsValue("XDG_DESKTOP_DIR");
    return dir.empty() ? JoinPath(HomeDir(), "Desktop") : dir;
}

std::string ApplicationsDir() {
    return JoinPath(XdgDataHome(), "applications");
}

std::string ConfigDir() {
    return IsPortable() ? ProgramDir() : JoinPath(XdgConfigHome(), "morvelan");
}

std::string DataDir() {
    return IsPortable() ? ProgramDir() : JoinPath(XdgDataHome(), "morvelan");
}

std::string RuntimeDir() {
    std::string dir = AbsoluteEnv("XDG_RUNTIME_DIR");
    if (!dir.empty()) return JoinPath(dir, "morvelan");
    return JoinPath(Fs().TempDirectory(), "morvelan-" + std::to_string(getuid()));
}

std::string ResourceDir() {
    if (IsPortable()) return ProgramDir();
    const std::string shared = JoinPath(DirectoryOf(ProgramDir()), "share/morvelan");
    return IsDirectory(shared) ? shared : ProgramDir();
}

std::string IniFilePath() {
    return JoinPath(ConfigDir(), "morvelan.ini");
}

std::string RegistryFilePath() {
    return JoinPath(ConfigDir(), "registry.ini");
}

} // namespace mv::platform
