#include "platform/desktop/DesktopIntegration.h"

#include "platform/AppPaths.h"
#include "platform/FileOps.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace mv::desktop {

using namespace mv::platform;

namespace {


std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string Join(const std::vector<std::string>& items, const std::string& separator, bool trailing) {
    std::string out;
    for (const std::string& item : items) {
        out += item;
        out += separator;
    }
    if (!trailing && !out.empty()) out.resize(out.size() - separator.size());
    return out;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        pos = end + 1;
    }
    return lines;
}

std::string Trim(const std::string& text) {
    size_t a = 0, b = text.size();
    while (a < b && (text[a] == ' ' || text[a] == '\t')) ++a;
    while (b > a && (text[b - 1] == ' ' || text[b - 1] == '\t')) --b;
    return text.substr(a, b - a);
}

// A value of a desktop-entry key: line breaks, tabs and backslashes escaped.
std::string EntryValue(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\t') out += "\\t";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out;
}

// A list value: the items with ";" escaped, each followed by ";".
std::string EntryList(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items) {
        for (char c : EntryValue(item)) {
            if (c == ';') out += "\\;";
            else out += c;
        }
        out += ';';
    }
    return out;
}

std::string XmlText(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out += c;
        }
    }
    return out;
}

// Runs a program found on PATH and waits for it, its output thrown away; false when it
// is not installed or fails.
bool RunQuietly(const std::vector<std::string>& argv) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t child = 0;
    const int started = posix_spawnp(&child, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) return false;
    int status = 0;
    while (waitpid(child, &status, 0) < 0)
        if (errno != EINTR) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string ApplicationEntryPath() {
    return JoinPath(ApplicationsDir(), ApplicationEntryName);
}

std::string MimePackagePath() {
    return JoinPath(XdgDataHome(), "mime/packages/morvelan.xml");
}

std::string MimeAppsPath() {
    return JoinPath(XdgConfigHome(), "mimeapps.list");
}

std::string ApplicationExec(const std::string& programPath) {
    return QuoteExecArgument(programPath) + " %f";
}

// The value of Key= in the first group of a desktop entry; empty when missing.
std::string EntryKey(const std::string& text, const std::string& key) {
    for (const std::string& line : SplitLines(text)) {
        if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
        if (!line.empty() && line[0] == '[' && line != "[Desktop Entry]") break;
    }
    return {};
}

} // namespace

// --- Archive types ----------------------------------------------------------------------

const std::vector<TArchiveMimeType>& ArchiveMimeTypes() {
    static const std::vector<TArchiveMimeType> types = {
        {"application/zip", ".zip", "", false},
        {"application/x-arj", ".arj", "", false},
        {"application/x-bh", ".bh", "BH archive", true},
        {"application/x-zoo", ".zoo", "", false},
        {"application/x-tar", ".tar", "", false},
        {"application/vnd.rar", ".rar", "", false},
        {"application/x-lha", ".lha", "", false},
        {"application/x-lha", ".lzh", "", false},
        {"application/gzip", ".gz", "", false},
        {"application/vnd.ms-cab-compressed", ".cab", "", false},
        // The shared database knows ARC by its content only; the package adds the name.
        {"application/x-arc", ".arc", "ARC archive", true},
        {"application/x-pak", ".pak", "", false},
        {"application/x-ha", ".ha", "HA archive", true},
        {"text/x-uuencode", ".uue", "", false},
        {"application/x-java-archive", ".jar", "", false},
        {"text/x-xxencode", ".xxe", "XXEncoded file", true},
    };
    return types;
}

std::vector<std::string> ArchiveMimeTypeNames() {
    std::vector<std::string> names;
    for (const TArchiveMimeType& type : ArchiveMimeTypes())
        if (std::find(names.begin(), names.end(), type.MimeType) == names.end()) names.push_back(type.MimeType);
    return names;
}

// --- Desktop entries ----------------------------------------------------------------------

std::string QuoteExecArgument(const std::string& argument) {
    static const std::string reserved = " \t\n\"'\\><~|&;$*?#()`";
    std::string inner;
    bool quote = argument.empty();
    for (char c : argument) {
        if (reserved.find(c) != std::string::npos || c == '=') quote = true;
        if (c == '"' || c == '`' || c == '$' || c == '\\') inner += '\\';
        inner += c;
        if (c == '%') inner += '%';
    }
    std::string out = quote ? "\"" + inner + "\"" : inner;
    // The string level of the desktop file escapes backslashes once more.
    std::string escaped;
    for (char c : out) {
        if (c == '\\') escaped += "\\\\";
        else escaped += c;
    }
    return escaped;
}

std::string DesktopEntryText(const TDesktopEntry& entry) {
    std::string text = "[Desktop Entry]\nType=Application\nVersion=1.0\n";
    text += "Name=" + EntryValue(entry.Name) + "\n";
    if (!entry.GenericName.empty()) text += "GenericName=" + EntryValue(entry.GenericName) + "\n";
    if (!entry.Comment.empty()) text += "Comment=" + EntryValue(entry.Comment) + "\n";
    text += "Exec=" + entry.Exec + "\n";
    if (!entry.Path.empty()) text += "Path=" + EntryValue(entry.Path) + "\n";
    if (!entry.Icon.empty()) text += "Icon=" + EntryValue(entry.Icon) + "\n";
    text += "Terminal=false\n";
    if (entry.NoDisplay) text += "NoDisplay=true\n";
    if (!entry.MimeTypes.empty()) text += "MimeType=" + EntryList(entry.MimeTypes) + "\n";
    if (!entry.Categories.empty()) text += "Categories=" + EntryList(entry.Categories) + "\n";
    return text;
}

bool WriteApplicationEntry(const std::string& programPath, const std::string& description) {
    TDesktopEntry entry;
    entry.Name = "Morvelan";
    entry.GenericName = "Archive Manager";
    entry.Comment = description;
    entry.Exec = ApplicationExec(programPath);
    entry.Icon = "morvelan";
    entry.MimeTypes = ArchiveMimeTypeNames();
    entry.Categories = {"Utility", "Archiving", "Compression"};
    return WriteTextFileIfChanged(ApplicationEntryPath(), DesktopEntryText(entry));
}

bool ApplicationEntryMatches(const std::string& programPath) {
    std::string text;
    if (!ReadTextFile(ApplicationEntryPath(), text)) return false;
    if (Lower(EntryKey(text, "Exec")) != Lower(ApplicationExec(programPath))) return false;
    const std::string listed = ";" + EntryKey(text, "MimeType");
    for (const std::string& type : ArchiveMimeTypeNames())
        if (listed.find(";" + type + ";") == std::string::npos) return false;
    return true;
}

// --- MIME package -------------------------------------------------------------------------

std::string MimePackageText() {
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
    for (const TArchiveMimeType& type : ArchiveMimeTypes()) {
        if (!type.Ours) continue;
        text += "  <mime-type type=\"" + XmlText(type.MimeType) + "\">\n";
        text += "    <comment>" + XmlText(type.Comment) + "</comment>\n";
        if (type.MimeType.rfind("text/", 0) == 0) text += "    <sub-class-of type=\"text/plain\"/>\n";
        text += "    <glob pattern=\"*" + XmlText(type.Extension) + "\"/>\n";
        text += "  </mime-type>\n";
    }
    return text + "</mime-info>\n";
}

bool WriteMimePackage() {
    const bool written = WriteTextFileIfChanged(MimePackagePath(), MimePackageText());
    if (written) RunQuietly({"update-mime-database", JoinPath(XdgDataHome(), "mime")});
    return written;
}

bool MimePackageMatches() {
    std::string text;
    return ReadTextFile(MimePackagePath(), text) && text == MimePackageText();
}

// --- mimeapps.list -------------------------------------------------------------------------

namespace {

struct TListFile {
    std::vector<std::string> Lines;
    bool EndsWithBreak = true;
};

TListFile ReadMimeApps() {
    TListFile file;
    std::string text;
    if (ReadTextFile(MimeAppsPath(), text)) {
        file.Lines = SplitLines(text);
        file.EndsWithBreak = text.empty() || text.back() == '\n';
    }
    return file;
}

bool WriteMimeApps(const TListFile& file) {
    std::string text = Join(file.Lines, "\n", false);
    if (!file.Lines.empty()) text += "\n";
    return WriteTextFileIfChanged(MimeAppsPath(), text);
}

// Line range [first, last) of a section's body; first = npos when it is missing.
std::pair<size_t, size_t> SectionRange(const std::vector<std::string>& lines, const std::string& name) {
    size_t first = std::string::npos;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string line = Trim(lines[i]);
        if (!line.empty() && line[0] == '[') {
            if (first != std::string::npos) return {first, i};
            if (line == "[" + name + "]") first = i + 1;
        }
    }
    return {first, lines.size()};
}

std::vector<std::string> SplitList(const std::string& value) {
    std::vector<std::string> items;
    size_t pos = 0;
    while (pos <= value.size()) {
        size_t end = value.find(';', pos);
        if (end == std::string::npos) end = value.size();
        const std::string item = Trim(value.substr(pos, end - pos));
        if (!item.empty()) items.push_back(item);
        pos = end + 1;
    }
    return items;
}

// Splits "key=value" with the key trimmed; false for other lines.
bool KeyValue(const std::string& line, std::string& key, std::string& value) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos || Trim(line).empty() || Trim(line)[0] == '#') return false;
    key = Trim(line.substr(0, eq));
    value = line.substr(eq + 1);
    return true;
}

} // namespace

bool SetDefaultApplications(const std::vector<std::string>& mimeTypes) {
    TListFile file = ReadMimeApps();
    auto [first, last] = SectionRange(file.Lines, "Default Applications");
    if (first == std::string::npos) {
        if (!file.Lines.empty() && !Trim(file.Lines.back()).empty()) file.Lines.push_back("");
        file.Lines.push_back("[Default Applications]");
        first = last = file.Lines.size();
    }
    for (const std::string& type : mimeTypes) {
        bool found = false;
        for (size_t i = first; i < last; ++i) {
            std::string key, value;
            if (!KeyValue(file.Lines[i], key, value) || key != type) continue;
            std::vector<std::string> items = SplitList(value);
            items.erase(std::remove(items.begin(), items.end(), ApplicationEntryName), items.end());
            items.insert(items.begin(), ApplicationEntryName);
            file.Lines[i] = type + "=" + Join(items, ";", true);
            found = true;
            break;
        }
        if (found) continue;
        // New lines go after the section's last non-blank line.
        size_t at = last;
        while (at > first && Trim(file.Lines[at - 1]).empty()) --at;
        file.Lines.insert(file.Lines.begin() + static_cast<std::ptrdiff_t>(at),
                          type + "=" + std::string(ApplicationEntryName) + ";");
        ++last;
    }
    return WriteMimeApps(file);
}

bool RemoveDefaultApplications() {
    TListFile file = ReadMimeApps();
    if (file.Lines.empty()) return false;
    bool changed = false;
    for (const char* section : {"Default Applications", "Added Associations"}) {
        auto [first, last] = SectionRange(file.Lines, section);
        if (first == std::string::npos) continue;
        for (size_t i = first; i < last;) {
            std::string key, value;
            if (!KeyValue(file.Lines[i], key, value)) {
                ++i;
                continue;
            }
            std::vector<std::string> items = SplitList(value);
            const size_t before = items.size();
            items.erase(std::remove(items.begin(), items.end(), ApplicationEntryName), items.end());
            if (items.size() == before) {
                ++i;
                continue;
            }
            changed = true;
            if (items.empty()) {
                file.Lines.erase(file.Lines.begin() + static_cast<std::ptrdiff_t>(i));
                --last;
            } else {
                file.Lines[i] = key + "=" + Join(items, ";", true);
                ++i;
            }
        }
    }
    if (!changed) return false;
    // A file that held nothing but our lines goes with them.
    const bool onlyOurs = std::all_of(file.Lines.begin(), file.Lines.end(), [](const std::string& line) {
        const std::string t = Trim(line);
        return t.empty() || t == "[Default Applications]" || t == "[Added Associations]";
    });
    if (onlyOurs) return RemoveFileIfExists(MimeAppsPath());
    return WriteMimeApps(file);
}

bool IsDefaultApplication(const std::string& mimeType) {
    const TListFile file = ReadMimeApps();
    auto [first, last] = SectionRange(file.Lines, "Default Applications");
    if (first == std::string::npos) return false;
    for (size_t i = first; i < last; ++i) {
        std::string key, value;
        if (!KeyValue(file.Lines[i], key, value) || key != mimeType) continue;
        const std::vector<std::string> items = SplitList(value);
        return !items.empty() && items.front() == ApplicationEntryName;
    }
    return false;
}

// --- Launchers --------------------------------------------------------------------------

bool WriteLauncher(const std::string& path, const TDesktopEntry& entry, bool executable) {
    return WriteTextFileIfChanged(path, DesktopEntryText(entry), executable ? 0755u : 0644u);
}

// --- Databases and removal --------------------------------------------------------------------

void RefreshDesktopDatabases() {
    if (IsDirectory(ApplicationsDir())) RunQuietly({"update-desktop-database", "-q", ApplicationsDir()});
    const std::string mime = JoinPath(XdgDataHome(), "mime");
    if (IsDirectory(JoinPath(mime, "packages"))) RunQuietly({"update-mime-database", mime});
}

bool RemoveDesktopIntegration(const std::vector<std::string>& launchers) {
    bool changed = RemoveFileIfExists(ApplicationEntryPath());
    changed = RemoveFileIfExists(MimePackagePath()) || changed;
    changed = RemoveDefaultApplications() || changed;
    for (const std::string& launcher : launchers) changed = RemoveFileIfExists(launcher) || changed;
    if (changed) RefreshDesktopDatabases();
    return changed;
}

} // namespace mv::desktop
