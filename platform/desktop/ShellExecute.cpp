#include "platform/desktop/ShellExecute.h"

#include "platform/desktop/Mime.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace mv {
namespace {

namespace fs = std::filesystem;

std::string Env(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value && *value ? std::string(value) : fallback;
}

std::string Home() {
    return Env("HOME", "/");
}

std::vector<std::string> SplitColon(const std::string& list) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(':', start);
        if (end == std::string::npos) end = list.size();
        if (end > start) out.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

std::vector<std::string> DataDirs() {
    std::vector<std::string> dirs{Env("XDG_DATA_HOME", Home() + "/.local/share")};
    for (auto& d : SplitColon(Env("XDG_DATA_DIRS", "/usr/local/share:/usr/share"))) dirs.push_back(d);
    return dirs;
}

std::vector<std::string> MimeAppsLists() {
    std::vector<std::string> files{Env("XDG_CONFIG_HOME", Home() + "/.config") + "/mimeapps.list"};
    for (auto& d : SplitColon(Env("XDG_CONFIG_DIRS", "/etc/xdg"))) files.push_back(d + "/mimeapps.list");
    for (auto& d : DataDirs()) files.push_back(d + "/applications/mimeapps.list");
    return files;
}

std::string Trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return {};
    const auto e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

// Reads the keys of one group of a desktop-style key file.
std::vector<std::pair<std::string, std::string>> ReadGroup(const std::string& path,
                                                           const std::string& group) {
    std::vector<std::pair<std::string, std::string>> out;
    std::ifstream in(path);
    std::string line;
    bool inGroup = false;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == '#') continue;
        if (line.front() == '[') {
            inGroup = line == "[" + group + "]";
            continue;
        }
        if (!inGroup) continue;
        const auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        out.emplace_back(Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)));
    }
    return out;
}

std::vector<std::string> SplitSemicolon(const std::string& list) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start < list.size()) {
        size_t end = list.find(';', start);
        if (end == std::string::npos) end = list.size();
        std::string item = Trim(list.substr(start, end - start));
        if (!item.empty()) out.push_back(item);
        start = end + 1;
    }
    return out;
}

std::string FindDesktopEntry(const std::string& id) {
    for (const auto& dir : DataDirs()) {
        const std::string path = dir + "/applications/" + id;
        struct stat st {};
        if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return path;
    }
    return {};
}

std::string EntryForExactType(const std::string& mime) {
    for (const char* group : {"Default Applications", "Added Associations"})
        for (const auto& list : MimeAppsLists()) {
            std::vector<std::string> removed;
            for (auto& [key, value] : ReadGroup(list, "Removed Associations"))
                if (key == mime) removed = SplitSemicolon(value);
            for (auto& [key, value] : ReadGroup(list, group)) {
                if (key != mime) continue;
                for (const auto& id : SplitSemicolon(value)) {
                    if (std::find(removed.begin(), removed.end(), id) != removed.end()) continue;
                    if (std::string path = FindDesktopEntry(id); !path.empty()) return path;
                }
            }
        }
    // No association in the lists: an installed application that declares the type.
    for (const auto& dir : DataDirs()) {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(dir + "/applications", ec))
            if (entry.path().extension() == ".desktop") names.push_back(entry.path().string());
        std::sort(names.begin(), names.end());
        for (const auto& path : names)
            for (auto& [key, value] : ReadGroup(path, "Desktop Entry"))
                if (key == "MimeType") {
                    const auto types = SplitSemicolon(value);
                    if (std::find(types.begin(), types.end(), mime) != types.end()) return path;
                }
    }
    return {};
}

// Undoes the escapes of a key file value (\s \n \t \r \\).
std::string UnescapeValue(const std::string& value) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            const char c = value[++i];
            out += c == 's' ? ' ' : c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
        } else {
            out += value[i];
        }
    }
    return out;
}

// Splits an Exec line: blanks separate, double quotes group, and inside quotes a
// backslash escapes " ` $ and itself.
std::vector<std::string> SplitExec(const std::string& exec) {
    std::vector<std::string> out;
    std::string current;
    bool inQuotes = false, have = false;
    for (size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (inQuotes) {
            if (c == '\\' && i + 1 < exec.size()) {
                current += exec[++i];
            } else if (c == '"') {
                inQuotes = false;
            } else {
                current += c;
            }
        } else if (c == '"') {
            inQuotes = have = true;
        } else if (c == ' ' || c == '\t') {
            if (have) out.push_back(current);
            current.clear();
            have = false;
        } else {
            current += c;
            have = true;
        }
    }
    if (have) out.push_back(current);
    return out;
}

bool IsUrl(const std::string& file, std::string& scheme) {
    const auto colon = file.find(':');
    if (colon == std::string::npos || colon < 2) return false;
    for (size_t i = 0; i < colon; ++i)
        if (!std::isalnum(static_cast<unsigned char>(file[i])) && file[i] != '+' && file[i] != '-' &&
            file[i] != '.')
            return false;
    if (file.compare(colon, 3, "://") != 0 && file.compare(0, colon, "mailto") != 0) return false;
    scheme = file.substr(0, colon);
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    return true;
}

std::string ResolveProgram(const std::string& program) {
    if (program.find('/') != std::string::npos) return program;
    for (const auto& dir : SplitColon(Env("PATH", "/usr/local/bin:/usr/bin:/bin"))) {
        const std::string candidate = dir + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return program;
}

int ErrnoToCode(int error) {
    switch (error) {
    case ENOENT:
        return seFileNotFound;
    case ENOTDIR:
        return sePathNotFound;
    case EACCES:
    case EPERM:
        return seAccessDenied;
    case ENOEXEC:
        return seBadFormat;
    default:
        return seOutOfResources;
    }
}

// Starts a program detached (it outlives us and is never waited for); returns the
// shell code: started, or the reason exec failed.
int Spawn(const std::vector<std::string>& command, const std::string& folder) {
    if (command.empty()) return seNoAssociation;
    std::vector<std::string> args = command;
    args[0] = ResolveProgram(args[0]);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return seOutOfResources;
    const pid_t child = fork();
    if (child < 0) {
        close(fds[0]);
        close(fds[1]);
        return seOutOfResources;
    }
    if (child == 0) {
        setsid();
        if (fork() != 0) _exit(0);
        int error = 0;
        if (!folder.empty() && chdir(folder.c_str()) != 0)
            error = errno;
        else {
            execv(argv[0], argv.data());
            error = errno;
        }
        if (write(fds[1], &error, sizeof error) < 0) _exit(127);
        _exit(127);
    }
    close(fds[1]);
    waitpid(child, nullptr, 0);
    int error = 0;
    const ssize_t n = read(fds[0], &error, sizeof error);
    close(fds[0]);
    return n == static_cast<ssize_t>(sizeof error) ? ErrnoToCode(error) : seStarted;
}

} // namespace

std::vector<std::string> SplitParameters(const std::string& parameters) {
    std::vector<std::string> out;
    std::string current;
    bool inQuotes = false, have = false;
    for (char c : parameters) {
        if (c == '"') {
            inQuotes = !inQuotes;
            have = true;
        } else if ((c == ' ' || c == '\t') && !inQuotes) {
            if (have) out.push_back(current);
            current.clear();
            have = false;
        } else {
            current += c;
            have = true;
        }
    }
    if (have) out.push_back(current);
    return out;
}

std::string DefaultApplicationEntry(const std::string& mimeType) {
    if (std::string path = EntryForExactType(mimeType); !path.empty()) return path;
    for (const std::string& parent : MimeTypeAncestors(mimeType))
        if (std::string path = EntryForExactType(parent); !path.empty()) return path;
    return {};
}

std::vector<std::string> DesktopEntryCommand(const std::string& entryPath, const std::string& file) {
    std::string exec, name;
    for (auto& [key, value] : ReadGroup(entryPath, "Desktop Entry")) {
        if (key == "Exec") exec = UnescapeValue(value);
        if (key == "Name") name = value;
    }
    std::vector<std::string> out;
    bool fileGiven = false;
    for (const std::string& token : SplitExec(exec)) {
        if (token == "%f" || token == "%F" || token == "%u" || token == "%U") {
            out.push_back(file);
            fileGiven = true;
            continue;
        }
        if (token == "%i" || token == "%d" || token == "%D" || token == "%n" || token == "%N" ||
            token == "%v" || token == "%m")
            continue;
        std::string expanded;
        for (size_t i = 0; i < token.size(); ++i) {
            if (token[i] != '%' || i + 1 >= token.size()) {
                expanded += token[i];
                continue;
            }
            const char code = token[++i];
            if (code == '%')
                expanded += '%';
            else if (code == 'f' || code == 'F' || code == 'u' || code == 'U') {
                expanded += file;
                fileGiven = true;
            } else if (code == 'c')
                expanded += name;
            else if (code == 'k')
                expanded += entryPath;
        }
        out.push_back(expanded);
    }
    if (out.empty()) return out;
    if (!fileGiven) out.push_back(file);
    return out;
}

namespace {

// Types whose files are programs or launchers: opening one would run it.
bool IsRunnableType(const std::string& mimeType) {
    static const char* const runnable[] = {
        "application/x-executable",  "application/x-pie-executable", "application/x-sharedlib",
        "application/x-shellscript", "application/x-ms-dos-executable", "application/x-msdownload",
        "application/x-desktop",     "application/vnd.microsoft.portable-executable",
        "application/x-perl",        "application/x-python", "text/x-python", "text/x-python3",
        "application/x-ruby",        "application/x-csh", "application/x-java-archive",
        "application/x-ms-shortcut", "application/x-mswinurl", "application/x-bat",
        "application/x-msi",         "application/x-elf"};
    std::vector<std::string> types{mimeType};
    for (const std::string& parent : MimeTypeAncestors(mimeType)) types.push_back(parent);
    for (const std::string& type : types)
        for (const char* r : runnable)
            if (type == r) return true;
    return false;
}

} // namespace

int ShellOpenDocument(const std::string& path, const std::string& asType) {
    struct stat st {};
    if (path.empty() || stat(path.c_str(), &st) != 0) return seFileNotFound;
    if (!S_ISREG(st.st_mode)) return seNoAssociation;
    const std::string type = asType.empty() ? MimeTypeOfPath(path) : asType;
    if (IsRunnableType(type)) return seNoAssociation;
    const std::string entry = DefaultApplicationEntry(type);
    if (entry.empty()) return seNoAssociation;
    return Spawn(DesktopEntryCommand(entry, path), {});
}

int ShellStartProgram(const std::vector<std::string>& command, const std::string& folder) {
    if (command.empty() || command[0].empty()) return seFileNotFound;
    return Spawn(command, folder);
}

int ShellOpen(const std::string& file, const std::string& parameters, const std::string& folder) {
    if (file.empty()) return seFileNotFound;
    std::string scheme;
    if (IsUrl(file, scheme)) {
        const std::string entry = DefaultApplicationEntry("x-scheme-handler/" + scheme);
        if (entry.empty()) return seNoAssociation;
        return Spawn(DesktopEntryCommand(entry, file), folder);
    }
    std::string path = file;
    if (path.front() != '/') path = (folder.empty() ? fs::current_path().string() : folder) + "/" + path;
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        const std::string parent = fs::path(path).parent_path().string();
        struct stat pst {};
        return (stat(parent.c_str(), &pst) == 0 && S_ISDIR(pst.st_mode)) ? seFileNotFound : sePathNotFound;
    }
    if (S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0) {
        std::vector<std::string> command{path};
        for (auto& p : SplitParameters(parameters)) command.push_back(p);
        return Spawn(command, folder);
    }
    const std::string entry = DefaultApplicationEntry(MimeTypeOfPath(path));
    if (entry.empty()) return seNoAssociation;
    return Spawn(DesktopEntryCommand(entry, path), folder);
}

} // namespace mv
