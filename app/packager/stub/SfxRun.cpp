#include "app/packager/stub/SfxRun.h"

#include "app/packager/stub/SfxContainer.h"
#include "app/packager/stub/SfxUi.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace mv::sfx {

namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

std::string Home() {
    const std::string h = Env("HOME");
    return h.empty() ? "/tmp" : h;
}

std::string DataHome() {
    const std::string d = Env("XDG_DATA_HOME");
    return d.empty() || d[0] != '/' ? Home() + "/.local/share" : d;
}

std::string ConfigHome() {
    const std::string d = Env("XDG_CONFIG_HOME");
    return d.empty() || d[0] != '/' ? Home() + "/.config" : d;
}

std::string Trim(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) return {};
    const size_t b = s.find_last_not_of(" \t\r\n");
    return s.substr(a, b - a + 1);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!Trim(line).empty()) out.push_back(line);
    }
    return out;
}

std::string RandomName(const std::string& parent) {
    static std::mt19937 random(std::random_device{}());
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (;;) {
        std::string name;
        for (int i = 0; i < 8; ++i) name += letters[random() % 36];
        if (!platform::Exists(platform::JoinPath(parent.empty() ? "." : parent, name))) return name;
    }
}

void MakeFolders(const std::string& path) {
    std::string so_far;
    size_t start = 0;
    if (!path.empty() && path[0] == '/') {
        so_far = "/";
        start = 1;
    }
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        const std::string part = path.substr(start, end - start);
        if (!part.empty()) {
            so_far = so_far.empty() || so_far == "/" ? so_far + part : so_far + "/" + part;
            if (!platform::IsDirectory(so_far)) platform::Fs().CreateDirectory(so_far);
        }
        start = end + 1;
    }
}

void WriteText(const std::string& path, const std::string& text) {
    MakeFolders(platform::DirectoryOf(path));
    platform::AtomicWriter w(path);
    w.Output().Write(text.data(), text.size());
    w.Commit();
}

// An argument of a desktop entry's Exec key, quoted as the entry specification asks.
std::string ExecArgument(const std::string& arg) {
    std::string quoted;
    bool needs = arg.empty();
    for (char c : arg) {
        if (std::string(" \t\n\"'\\><~|&;$*?#()`").find(c) != std::string::npos) needs = true;
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        if (c == '%') quoted += '%';
        quoted += c;
    }
    std::string out = needs ? "\"" + quoted + "\"" : quoted;
    // The key's value is itself a string whose backslashes are escaped.
    std::string escaped;
    for (char c : out) {
        if (c == '\\') escaped += '\\';
        escaped += c;
    }
    return escaped;
}

// A desktop entry's string value: line breaks and backslashes escaped.
std::string EntryValue(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') continue;
        else out += c;
    }
    return out;
}

std::string XmlText(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '&') out += "&amp;";
        else if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else if (c == '"') out += "&quot;";
        else out += c;
    }
    return out;
}

// The MIME type shared-mime-info already gives "*.ext", or "".
std::string KnownMimeType(const std::string& ext) {
    std::string dirs = Env("XDG_DATA_DIRS");
    if (dirs.empty()) dirs = "/usr/local/share:/usr/share";
    dirs = DataHome() + ":" + dirs;
    const std::string glob = "*." + ext;
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::ifstream in(dirs.substr(start, end - start) + "/mime/globs2");
        for (std::string line; std::getline(in, line);) {
            if (line.empty() || line[0] == '#') continue;
            const size_t a = line.find(':');
            const size_t b = a == std::string::npos ? a : line.find(':', a + 1);
            if (b == std::string::npos) continue;
            size_t c = line.find(':', b + 1);
            if (c == std::string::npos) c = line.size();
            std::string pattern = line.substr(b + 1, c - b - 1);
            std::transform(pattern.begin(), pattern.end(), pattern.begin(),
                           [](unsigned char ch) { return std::tolower(ch); });
            if (pattern == glob) return line.substr(a + 1, b - a - 1);
        }
        start = end + 1;
    }
    return {};
}

// Sets type=desktopId under [Default Applications] of mimeapps.list, keeping everything else.
void SetDefaultApplication(const std::string& type, const std::string& desktopId) {
    const std::string path = ConfigHome() + "/mimeapps.list";
    std::vector<std::string> lines;
    {
        std::ifstream in(path);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
    }
    const std::string section = "[Default Applications]";
    auto at = std::find(lines.begin(), lines.end(), section);
    if (at == lines.end()) {
        lines.push_back(section);
        lines.push_back(type + "=" + desktopId + ";");
    } else {
        auto it = at + 1;
        bool set = false;
        for (; it != lines.end() && !(it->size() && (*it)[0] == '['); ++it) {
            if (it->rfind(type + "=", 0) == 0) {
                *it = type + "=" + desktopId + ";";
                set = true;
            }
        }
        if (!set) lines.insert(it, type + "=" + desktopId + ";");
    }
    std::string text;
    for (const auto& l : lines) text += l + "\n";
    WriteText(path, text);
}

class TRun {
public:
    TRun(const TSfxOptions& options, TSfxContainer& c, TSfxUi& ui) : options(options), c(c), ui(ui) {}

    int Run() {
        title = c.Setting("string.1");
        if (title.empty()) title = "Installer";
        selfFolder = platform::DirectoryOf(options.Self);

        const std::string intro = c.Setting("message.3");
        if (!intro.empty() && ui.Choose(title, intro, {Button(9), Button(10)}, 1, 0) == 1) return 2;
        const std::string licence = c.Setting("message.4");
        if (!licence.empty() && ui.Choose(title, licence, {Button(11), Button(12)}, 1, 0) == 1) return 3;

        if (int r = ChooseFolder()) return r;
        if (int r = ChoosePassword()) return r;
        if (int r = Extract()) return r;
        if (failures) {
            std::map<char, std::string> values = {{'d', folder}, {'e', std::to_string(lastError)}};
            ui.Choose(title, ExpandMessageCodes(c.Setting("message.1"), values), {Button(0)}, 0, 0);
            return 1;
        }
        const std::string group = Trim(c.Setting("group"));
        id = DesktopId(group.empty() ? title : group);
        SaveIcon();
        if (!group.empty()) MakeGroup(group);
        MakeAssociations();
        const std::string done = c.Setting("message.0");
        if (!done.empty()) ui.Choose(title, ExpandMessageCodes(done, {{'d', folder}}), {Button(0)}, 0, 0);
        ShowReadme();
        return RunAfter();
    }

private:
    std::string Button(int i) {
        static const char* const fallback[] = {"OK",  "Cancel", "Abort", "Skip",     "Skip all", "Yes",     "No",
                                               "All", "None",   "Continue", "Exit", "Agree",    "Disagree"};
        const std::string b = c.Setting("button." + std::to_string(i));
        return b.empty() ? fallback[i] : b;
    }

    // A path value of the settings: folder codes, and %d for the destination.
    std::string ResolvePath(const std::string& text) {
        std::string withDest;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '%' && i + 1 < text.size() && (text[i + 1] == 'd' || text[i + 1] == 'D')) {
                withDest += folder;
                ++i;
            } else if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == '%') {
                withDest += "%%";
                ++i;
            } else {
                withDest += text[i];
            }
        }
        std::string out = ExpandFolderCodes(withDest, selfFolder);
        while (out.find("//") != std::string::npos) out.replace(out.find("//"), 2, "/");
        return out;
    }

    bool ConfirmCancel() {
        const std::string text = c.Setting("message.9");
        if (text.empty()) return true;
        return ui.Choose(title, text, {Button(5), Button(6)}, 0, 0) == 0;
    }

    int ChooseFolder() {
        const std::string stored = c.Setting("folder");
        folder = options.Target.empty() ? ExpandFolderCodes(stored.empty() ? "%e" : stored, selfFolder)
                                        : options.Target;
        const std::string prompt = c.Setting("message.5");
        const bool prompting = !prompt.empty() && options.Target.empty();
        for (;;) {
            if (prompting) {
                const std::string label = c.Setting("string.2");
                if (!ui.AskText(title, label.empty() ? prompt : prompt + "\n" + label, folder, false, true)) {
                    if (ConfirmCancel()) return 2;
                    continue;
                }
                folder = ExpandFolderCodes(folder, selfFolder);
            }
            if (folder.empty()) folder = ".";
            if (folder[0] != '/') {
                char cwd[PATH_MAX];
                if (getcwd(cwd, sizeof cwd)) folder = platform::JoinPath(cwd, folder);
            }
            while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
            platform::FileInfo info;
            if (platform::Fs().StatTarget(folder, info)) {
                if (info.IsDirectory) return 0;
                return FolderFailed();
            }
            const std::string ask = c.Setting("message.10");
            if (!ask.empty() &&
                ui.Choose(title, ExpandMessageCodes(ask, {{'d', folder}}), {Button(5), Button(6)}, 1, 0) == 1) {
                if (prompting) continue;
                return 2;
            }
            // Record each level this run makes, so that install mode removes only those.
            std::vector<std::string> missing;
            for (std::string p = folder; p.size() > 1 && !platform::Exists(p); p = platform::DirectoryOf(p))
                missing.push_back(p);
            try {
                MakeFolders(folder);
            } catch (const platform::FileError&) {
                return FolderFailed();
            }
            createdFolders.insert(createdFolders.end(), missing.rbegin(), missing.rend());
            return 0;
        }
    }

    int FolderFailed() {
        ui.Choose(title, ExpandMessageCodes(c.Setting("message.2"), {{'d', folder}}), {Button(0)}, 0, 0);
        return 1;
    }

    int ChoosePassword() {
        password = c.Setting("password");
        if (!password.empty() || !c.AnyEncrypted()) return 0;
        const TSfxEntry* first = nullptr;
        for (const auto& e : c.Entries())
            if (e.Encrypted()) {
                first = &e;
                break;
            }
        std::string prompt = c.Setting("message.6");
        if (prompt.empty()) prompt = "Password:";
        for (;;) {
            std::string typed;
            if (!ui.AskText(title, prompt, typed, true, false)) {
                if (ConfirmCancel()) return 2;
                continue;
            }
            if (c.PasswordOpens(*first, typed)) {
                password = typed;
                return 0;
            }
        }
    }

    int Extract() {
        uint64_t total = 0, done = 0;
        for (const auto& e : c.Entries()) total += e.Size;
        const int policy = std::atoi(c.Setting("existing").c_str());
        const std::string progressLabel = c.Setting("string.0");
        const std::string fileLabel = c.Setting("message.12");
        bool all = false, none = false;
        const mode_t mask = umask(0);
        umask(mask);
        for (const auto& e : c.Entries()) {
            const std::string safe = SafeEntryName(e.Name);
            if (safe.empty()) {
                std::cerr << "refused: " << e.Name << "\n";
                Fail(109);
                continue;
            }
            const bool newFolder = e.IsFolder() && !platform::Exists(folder + "/" + safe);
            NoteMissingFolders(e.IsFolder() ? safe : platform::DirectoryOf(safe));
            if (e.IsFolder()) {
                try {
                    platform::Fs().CreateDirectoriesBeneath(folder, safe);
                    // A folder this run made takes its stored mode once its files are in
                    // (a read-only folder must not keep them out); one that was there keeps its own.
                    if (newFolder && (e.UnixMode() & 0777)) folderModes.emplace_back(folder + "/" + safe, e.UnixMode() & 0777);
                } catch (const platform::FileError&) {
                    Fail(112);
                }
                continue;
            }
            const std::string path = folder + "/" + safe;
            platform::FileInfo info;
            const bool existed = platform::Fs().Stat(path, info);
            if (existed) {
                if (info.IsDirectory) {
                    Fail(102);
                    continue;
                }
                if (policy == 1 || none) continue;
                if (policy == 0 && !all) {
                    const std::string text =
                        ExpandMessageCodes(c.Setting("message.11"), {{'f', safe}, {'d', folder}});
                    const int pick =
                        ui.Choose(title, text, {Button(5), Button(6), Button(7), Button(8), Button(1)}, 4, 1);
                    if (pick == 1) continue;
                    if (pick == 3) {
                        none = true;
                        continue;
                    }
                    if (pick == 4) {
                        if (ConfirmCancel()) return 2;
                        continue;
                    }
                    if (pick == 2) all = true;
                }
                // Never write through a link that stands where the file goes: replace the link.
                if (info.IsSymlink) platform::Fs().RemoveFile(path);
            }
            ui.Progress(total ? static_cast<int>(done * 100 / total) : 100, progressLabel, fileLabel, safe);
            try {
                auto out = platform::Fs().OpenBeneath(folder, safe, platform::OpenMode::CreateTruncate, true);
                if (!existed) createdFiles.push_back(path);
                try {
                    c.Extract(e, password, *out);
                    out->Close();
                } catch (const EContainerError&) {
                    out.reset();
                    if (!existed) {
                        platform::Fs().RemoveFile(path);
                        createdFiles.pop_back();
                    }
                    Fail(e.Encrypted() ? 106 : 107);
                    continue;
                }
                const uint32_t mode = e.UnixMode() & 0777;
                platform::Fs().SetPermissions(path, (mode ? mode : 0666) & ~mask);
                platform::Fs().SetModTime(path, DosToUnix(e.DosDateTime));
            } catch (const platform::FileError&) {
                Fail(102);
                continue;
            }
            done += e.Size;
        }
        for (auto it = folderModes.rbegin(); it != folderModes.rend(); ++it) {
            try {
                platform::Fs().SetPermissions(it->first, it->second & ~mask);
            } catch (const platform::FileError&) {
            }
        }
        if (!progressLabel.empty()) ui.Progress(100, progressLabel, fileLabel, "");
        ui.ProgressDone();
        return 0;
    }

    void NoteMissingFolders(const std::string& relative) {
        std::string p;
        std::istringstream in(relative);
        for (std::string part; std::getline(in, part, '/');) {
            if (part.empty()) continue;
            p = p.empty() ? part : p + "/" + part;
            const std::string full = folder + "/" + p;
            if (!platform::Exists(full) &&
                std::find(createdFolders.begin(), createdFolders.end(), full) == createdFolders.end())
                createdFolders.push_back(full);
        }
    }

    static int64_t DosToUnix(uint32_t dos) {
        std::tm t {};
        t.tm_year = static_cast<int>((dos >> 25) & 0x7F) + 80;
        t.tm_mon = static_cast<int>((dos >> 21) & 0x0F) - 1;
        t.tm_mday = static_cast<int>((dos >> 16) & 0x1F);
        t.tm_hour = static_cast<int>((dos >> 11) & 0x1F);
        t.tm_min = static_cast<int>((dos >> 5) & 0x3F);
        t.tm_sec = static_cast<int>((dos & 0x1F) * 2);
        t.tm_isdst = -1;
        const time_t r = mktime(&t);
        return r == static_cast<time_t>(-1) ? std::time(nullptr) : r;
    }

    void Fail(int code) {
        ++failures;
        lastError = code;
    }

    void SaveIcon() {
        const std::string bytes = c.Setting("icon");
        if (bytes.empty()) return;
        iconPath = DataHome() + "/icons/morvelan-sfx-" + id + ".ico";
        try {
            WriteText(iconPath, bytes);
        } catch (const platform::FileError&) {
            iconPath.clear();
        }
    }

    std::string DesktopEntry(const std::string& name, const std::string& app, const std::string& extra) {
        std::string text = "[Desktop Entry]\nType=Application\nName=" + EntryValue(name) + "\nExec=" +
                           ExecArgument(app) + extra.substr(0, extra.find('\n')) + "\n";
        const std::string dir = platform::DirectoryOf(app);
        if (!dir.empty()) text += "Path=" + EntryValue(dir) + "\n";
        if (!iconPath.empty()) text += "Icon=" + EntryValue(iconPath) + "\n";
        const size_t nl = extra.find('\n');
        if (nl != std::string::npos) text += extra.substr(nl + 1);
        return text;
    }

    void MakeGroup(const std::string& group) {
        const std::string apps = DataHome() + "/applications/";
        std::string includes;
        int n = 0;
        for (const auto& line : Lines(c.Setting("group.items"))) {
            const size_t bar = line.find('|');
            const std::string app = ResolvePath(Trim(line.substr(0, bar)));
            std::string description = bar == std::string::npos ? "" : Trim(line.substr(bar + 1));
            if (app.empty()) continue;
            if (description.empty()) description = platform::NameOf(app);
            const std::string file = "morvelan-sfx-" + id + "-" + std::to_string(++n) + ".desktop";
            try {
                WriteText(apps + file, DesktopEntry(description, app, ""));
                includes += "      <Filename>" + XmlText(file) + "</Filename>\n";
            } catch (const platform::FileError&) {
            }
        }
        try {
            WriteText(DataHome() + "/desktop-directories/morvelan-sfx-" + id + ".directory",
                      "[Desktop Entry]\nType=Directory\nName=" + EntryValue(group) + "\n");
            WriteText(ConfigHome() + "/menus/applications-merged/morvelan-sfx-" + id + ".menu",
                      "<!DOCTYPE Menu PUBLIC \"-//freedesktop//DTD Menu 1.0//EN\"\n"
                      " \"http://www.freedesktop.org/standards/menu-spec/1.0/menu.dtd\">\n"
                      "<Menu>\n  <Name>Applications</Name>\n  <Menu>\n    <Name>morvelan-sfx-" +
                          id + "</Name>\n    <Directory>morvelan-sfx-" + id +
                          ".directory</Directory>\n    <Include>\n" + includes +
                          "    </Include>\n  </Menu>\n</Menu>\n");
        } catch (const platform::FileError&) {
        }
        if (!FindProgram("update-desktop-database").empty())
            RunProgram({"update-desktop-database", DataHome() + "/applications"});
    }

    void MakeAssociations() {
        const auto lines = Lines(c.Setting("assoc"));
        if (lines.empty()) return;
        std::string packageTypes;
        std::vector<std::pair<std::string, std::string>> defaults;
        int n = 0;
        for (const auto& line : lines) {
            const size_t a = line.find('|');
            if (a == std::string::npos) continue;
            const size_t b = line.find('|', a + 1);
            const std::string app = ResolvePath(Trim(line.substr(0, a)));
            std::string ext = Trim(line.substr(a + 1, b == std::string::npos ? std::string::npos : b - a - 1));
            const std::string description = b == std::string::npos ? "" : Trim(line.substr(b + 1));
            while (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
            std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char ch) { return std::tolower(ch); });
            if (app.empty() || ext.empty() || ext.find_first_of("/*?[]") != std::string::npos) continue;
            std::string type = KnownMimeType(ext);
            if (type.empty()) {
                type = "application/x-morvelan-" + id + "-" + DesktopId(ext);
                packageTypes += "  <mime-type type=\"" + XmlText(type) + "\">\n    <comment>" +
                                XmlText(description.empty() ? ext : description) + "</comment>\n    <glob pattern=\"*." +
                                XmlText(ext) + "\"/>\n  </mime-type>\n";
            }
            const std::string file = "morvelan-sfx-" + id + "-open-" + std::to_string(++n) + ".desktop";
            try {
                WriteText(DataHome() + "/applications/" + file,
                          DesktopEntry(platform::NameOf(app), app, " %f\nNoDisplay=true\nMimeType=" + type + ";\n"));
                defaults.emplace_back(type, file);
            } catch (const platform::FileError&) {
            }
        }
        if (!packageTypes.empty()) {
            try {
                WriteText(DataHome() + "/mime/packages/morvelan-sfx-" + id + ".xml",
                          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<mime-info "
                          "xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n" +
                              packageTypes + "</mime-info>\n");
            } catch (const platform::FileError&) {
            }
            if (!FindProgram("update-mime-database").empty())
                RunProgram({"update-mime-database", DataHome() + "/mime"});
        }
        for (const auto& [type, file] : defaults) {
            try {
                SetDefaultApplication(type, file);
            } catch (const platform::FileError&) {
            }
        }
    }

    void ShowReadme() {
        const std::string readme = Trim(c.Setting("readme"));
        if (readme.empty() || options.Quiet) return;
        const std::string path = ResolvePath(readme);
        if (ui.Graphical() && !FindProgram("xdg-open").empty()) RunProgram({"xdg-open", path});
        else ui.ShowFile(title, path);
    }

    int RunAfter() {
        const std::string run = c.Setting("run");
        if (Trim(run).empty()) return 0;
        const size_t bar = run.find('|');
        const std::string app = ResolvePath(Trim(run.substr(0, bar)));
        std::vector<std::string> argv;
        struct stat st {};
        if (stat(app.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(app.c_str(), X_OK) == 0) {
            argv.push_back(app);
            if (bar != std::string::npos)
                for (auto& a : SplitArguments(ResolvePath(Trim(run.substr(bar + 1))))) argv.push_back(a);
        } else {
            argv = {"xdg-open", app};
        }
        const bool install = c.Setting("install") == "1";
        if (install) {
            RunProgram(argv, nullptr, folder);
            RemoveCreated();
            return 0;
        }
        std::fflush(nullptr);
        const pid_t pid = fork();
        if (pid == 0) {
            setsid();
            if (fork() != 0) _exit(0);
            if (chdir(folder.c_str()) != 0) _exit(127);
            std::vector<char*> args;
            for (auto& a : argv) args.push_back(a.data());
            args.push_back(nullptr);
            execvp(args[0], args.data());
            _exit(127);
        }
        if (pid > 0) waitpid(pid, nullptr, 0);
        return 0;
    }

    // Install mode: removes the files and folders this run made, and nothing else.
    void RemoveCreated() {
        for (const auto& f : createdFolders) chmod(f.c_str(), 0700); // a read-only folder of ours gives its files up
        for (const auto& f : createdFiles) unlink(f.c_str());
        for (auto it = createdFolders.rbegin(); it != createdFolders.rend(); ++it) rmdir(it->c_str());
    }

    const TSfxOptions& options;
    TSfxContainer& c;
    TSfxUi& ui;
    std::string title, selfFolder, folder, password, id, iconPath;
    std::vector<std::string> createdFiles, createdFolders;
    std::vector<std::pair<std::string, uint32_t>> folderModes;
    int failures = 0;
    int lastError = 0;
};

} // namespace

std::string ExpandFolderCodes(const std::string& text, const std::string& selfFolder) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (ch == '\\') {
            out += '/';
            continue;
        }
        if (ch != '%' || i + 1 >= text.size()) {
            out += ch;
            continue;
        }
        const char code = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i + 1])));
        std::string value;
        bool known = true;
        switch (code) {
        case '%': value = "%"; break;
        case 'e': value = selfFolder; break;
        case 't': value = Env("TMPDIR").empty() ? "/tmp" : Env("TMPDIR"); break;
        case 'r': {
            std::string parent = out;
            while (parent.size() > 1 && parent.back() == '/') parent.pop_back();
            value = RandomName(parent);
            break;
        }
        case 's': value = Home() + "/.local/lib"; break;
        case 'w': value = DataHome(); break;
        case 'v': value = Home(); break;
        case 'p': value = Home() + "/.local/opt"; break;
        default: known = false;
        }
        if (!known) {
            out += ch;
            continue;
        }
        out += value;
        ++i;
    }
    return out;
}

std::string ExpandMessageCodes(const std::string& text, const std::map<char, std::string>& values) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%' || i + 1 >= text.size()) {
            out += text[i];
            continue;
        }
        const char code = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i + 1])));
        if (code == '%') {
            out += '%';
        } else if (code == 'c') {
            char host[256] = {};
            gethostname(host, sizeof host - 1);
            out += host;
        } else if (code == 's') {
        } else if (const auto it = values.find(code); it != values.end()) {
            out += it->second;
        } else if (code == 'd' || code == 'e' || code == 'f' || code == 'n') {
        } else {
            out += text[i];
            continue;
        }
        ++i;
    }
    return out;
}

std::vector<std::string> SplitArguments(const std::string& text) {
    std::vector<std::string> args;
    std::string current;
    bool inWord = false;
    char quote = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (quote) {
            if (ch == quote) quote = 0;
            else if (ch == '\\' && quote == '"' && i + 1 < text.size() &&
                     std::string("\"\\$`").find(text[i + 1]) != std::string::npos)
                current += text[++i];
            else current += ch;
        } else if (ch == '\'' || ch == '"') {
            quote = ch;
            inWord = true;
        } else if (ch == '\\' && i + 1 < text.size()) {
            current += text[++i];
            inWord = true;
        } else if (ch == ' ' || ch == '\t' || ch == '\n') {
            if (inWord) args.push_back(current);
            current.clear();
            inWord = false;
        } else {
            current += ch;
            inWord = true;
        }
    }
    if (inWord) args.push_back(current);
    return args;
}

std::string DesktopId(const std::string& name) {
    std::string out;
    for (unsigned char ch : name) {
        if (std::isalnum(ch)) out += static_cast<char>(std::tolower(ch));
        else if (!out.empty() && out.back() != '-') out += '-';
    }
    while (!out.empty() && out.back() == '-') out.pop_back();
    return out.empty() ? "installer" : out.substr(0, 40);
}

int RunInstaller(const TSfxOptions& options) {
    try {
        TSfxContainer container(options.Self);
        std::unique_ptr<TSfxUi> ui;
        const std::string answers = Env("MORVELAN_SFX_ANSWERS");
        if (options.Quiet) ui = MakeQuietUi();
        else if (!answers.empty()) ui = MakeScriptedUi(answers);
        else if (!options.TerminalOnly && container.Setting("ui") != "terminal") ui = MakeDialogUi();
        if (!ui) ui = MakeTerminalUi();
        TRun run(options, container, *ui);
        return run.Run();
    } catch (const EContainerError& e) {
        std::cerr << options.Self << ": " << e.what() << "\n";
        return 1;
    } catch (const ENoAnswer&) {
        std::cerr << options.Self << ": a question has no answer\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << options.Self << ": " << e.what() << "\n";
        return 1;
    }
}

} // namespace mv::sfx
