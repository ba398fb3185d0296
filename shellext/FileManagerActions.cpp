#include "shellext/FileManagerActions.h"

#include "platform/FileSystem.h"
#include "shellext/ContextMenuRules.h"

#include <cstdlib>

namespace mv::shellext {

using namespace platform;

namespace {

// One command as the file managers offer it. The labels are the menu texts
// without their accelerators; the two whose menu text names the item say which
// name they use, since a fixed label cannot show it.
struct TAction {
    TSelectionKind Kind;
    uint32_t Offset;
    const char* Id; // the action's name inside the files
    const char* Label;
};

constexpr TAction ArchiveActions[] = {
    {TSelectionKind::skArchive, 0, "extractTo", "Extrair para..."},
    {TSelectionKind::skArchive, 1, "extractHere", "Extrair para pasta (nome do arquivo)"},
    {TSelectionKind::skArchive, 2, "makeSfx", "Transforma em Auto-Extrator (.EXE)"},
};
constexpr TAction SingleActions[] = {
    {TSelectionKind::skSingle, 0, "compress", "Compactar para ZIP"},
    {TSelectionKind::skSingle, 1, "compressNamed", "Compactar para ZIP (nome do item)"},
};
constexpr TAction SeveralActions[] = {
    {TSelectionKind::skSeveral, 0, "compressSeveral", "Compactar para ZIP"},
};

// The archive extensions of the menu's archive test, for the file managers
// that filter by name (the host checks the selection again).
constexpr const char* ArchiveExtensions[] = {"zip", "jar", "arj", "rar", "ace", "cab", "lha", "lhz", "lzh",
                                             "gz",  "z",   "tar", "zoo", "arc", "pak", "bh",  "ha"};
constexpr const char* ArchiveMimeTypes =
    "application/zip;application/java-archive;application/x-arj;application/vnd.rar;application/x-rar;"
    "application/x-ace;application/vnd.ms-cab-compressed;application/x-lha;application/x-lzh-compressed;"
    "application/gzip;application/x-compressed-tar;application/x-compress;application/x-tar;"
    "application/x-zoo;application/x-arc;";
constexpr const char* AnyMimeTypes = "application/octet-stream;inode/directory;";

constexpr const char* ThunarIdPrefix = "morvelan-";
constexpr const char* ThunarSkeleton = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n</actions>\n";

std::string Action(const TAction& a) {
    return std::string(KindName(a.Kind)) + ":" + std::to_string(a.Offset);
}

std::string Help(const TAction& a) {
    return HelpText(a.Kind, a.Offset);
}

// A program path as the first word of a desktop-entry Exec value: in double
// quotes with the reserved characters escaped, then the key file's own
// backslash escape.
std::string DesktopExecProgram(const std::string& path) {
    std::string quoted = "\"";
    for (char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    std::string value;
    for (char c : quoted) {
        if (c == '\\') value += '\\';
        value += c;
    }
    return value;
}

// A word for the POSIX shell: in single quotes.
std::string ShellWord(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

std::string XmlText(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// The shell command that picks the compress command of the selection's size:
// the single kind for one item, the several kind for more.
std::string CompressByCountScript(const std::string& hostPath, const std::string& argumentsWord) {
    return "if [ \"$#\" -gt 1 ]; then kind=several; else kind=single; fi; exec " + ShellWord(hostPath) +
           " --invoke \"$kind:0\" -- " + argumentsWord;
}

// A Dolphin service menu with its actions; KDE 5 also wants the plugin type.
std::string ServiceMenu(const std::string& hostPath, const char* mimeTypes, const std::string& urlLimit,
                        const TAction* actions, size_t count, bool kde5) {
    std::string ids;
    for (size_t i = 0; i < count; ++i) ids += std::string(actions[i].Id) + ";";
    std::string exec = DesktopExecProgram(hostPath);
    std::string text = "[Desktop Entry]\n"
                       "Type=Application\n"
                       "Name=Morvelan\n"
                       "NoDisplay=true\n"
                       "Exec=" +
                       exec +
                       " --menu %F\n"
                       "Icon=morvelan\n"
                       "MimeType=" +
                       std::string(mimeTypes) +
                       "\n"
                       "Actions=" +
                       ids +
                       "\n"
                       "X-KDE-Submenu=Morvelan\n" +
                       urlLimit;
    if (kde5) text += "X-KDE-ServiceTypes=KonqPopupMenu/Plugin\n";
    for (size_t i = 0; i < count; ++i) {
        const TAction& a = actions[i];
        text += "\n[Desktop Action " + std::string(a.Id) +
                "]\n"
                "Name=" +
                a.Label +
                "\n"
                "Icon=morvelan\n"
                "Exec=" +
                exec + " --invoke " + Action(a) + " -- %F\n";
    }
    return text;
}

std::string NemoAction(const std::string& hostPath, const TAction& a) {
    std::string extensions;
    if (a.Kind == TSelectionKind::skArchive) {
        for (const char* e : ArchiveExtensions) extensions += std::string(e) + ";";
    } else {
        extensions = "any;";
    }
    return "[Nemo Action]\n"
           "Name=" +
           std::string(a.Label) +
           "\n"
           "Comment=" +
           Help(a) +
           "\n"
           "Exec=" +
           DesktopExecProgram(hostPath) + " --invoke " + Action(a) +
           " -- %F\n"
           "Icon-Name=morvelan\n"
           "Selection=" +
           (a.Kind == TSelectionKind::skSeveral ? "m" : "s") +
           "\n"
           "Extensions=" +
           extensions +
           "\n"
           "Quote=double\n";
}

std::string ScriptFor(const std::string& hostPath, const TAction& a) {
    return "#!/bin/sh\n# Morvelan: " + Help(a) + "\nexec " + ShellWord(hostPath) + " --invoke " + Action(a) +
           " -- \"$@\"\n";
}

void AddScripts(std::vector<TActionFile>& files, const std::string& folder, const std::string& hostPath) {
    for (const TAction& a : ArchiveActions)
        files.push_back({JoinPath(folder, a.Label), ScriptFor(hostPath, a), 0755});
    // One "Compactar para ZIP" for one item or several: these menus do not tell them apart.
    files.push_back({JoinPath(folder, SingleActions[0].Label),
                     "#!/bin/sh\n# Morvelan: " + Help(SingleActions[0]) + "\n" +
                         CompressByCountScript(hostPath, "\"$@\"") + "\n",
                     0755});
    files.push_back({JoinPath(folder, SingleActions[1].Label), ScriptFor(hostPath, SingleActions[1]), 0755});
}

void MakeFolders(const std::string& dir) {
    if (dir.empty() || IsDirectory(dir)) return;
    std::string parent = DirectoryOf(dir);
    if (!parent.empty() && parent != dir) MakeFolders(parent);
    try {
        Fs().CreateDirectory(dir);
    } catch (const FileError& e) {
        if (!IsDirectory(dir)) throw;
    }
}

bool ReadText(const std::string& path, std::string& text) {
    FileInfo info;
    if (!Fs().Stat(path, info) || !info.IsRegular) return false;
    auto file = Fs().Open(path, OpenMode::Read);
    char buffer[16384];
    text.clear();
    for (;;) {
        size_t n = file->Read(buffer, sizeof buffer);
        if (n == 0) break;
        text.append(buffer, n);
    }
    return true;
}

// Writes a file only when its text or mode differ from what is there.
void WriteIfChanged(const std::string& path, const std::string& text, uint32_t mode) {
    std::string old;
    FileInfo info;
    bool same = ReadText(path, old) && old == text && Fs().Stat(path, info);
    if (same && (info.Mode & 07777) == mode) return;
    if (!same) {
        MakeFolders(DirectoryOf(path));
        AtomicWriter writer(path);
        writer.Output().Write(text.data(), text.size());
        writer.Commit();
    }
    Fs().SetPermissions(path, mode);
}

void RemoveIfPresent(const std::string& path) {
    FileInfo info;
    if (Fs().Stat(path, info) && !info.IsDirectory) Fs().RemoveFile(path);
}

void RemoveFolderIfEmpty(const std::string& dir) {
    if (IsDirectory(dir) && Fs().ListDirectory(dir).empty()) Fs().RemoveDirectory(dir);
}

std::string NautilusFolder(const TActionFolders& f) {
    return JoinPath(f.DataHome, "nautilus/scripts/Morvelan");
}
std::string CajaFolder(const TActionFolders& f) {
    return JoinPath(f.ConfigHome, "caja/scripts/Morvelan");
}

} // namespace

TActionFolders DefaultActionFolders() {
    const char* home = std::getenv("HOME");
    std::string h = home ? home : "";
    const char* data = std::getenv("XDG_DATA_HOME");
    const char* config = std::getenv("XDG_CONFIG_HOME");
    TActionFolders f;
    f.DataHome = data && data[0] == '/' ? data : JoinPath(h, ".local/share");
    f.ConfigHome = config && config[0] == '/' ? config : JoinPath(h, ".config");
    return f;
}

std::vector<TActionFile> FileManagerActionFiles(const TActionFolders& folders, const std::string& hostPath) {
    std::vector<TActionFile> files;
    const std::string one = "X-KDE-MaxNumberOfUrls=1\n", many = "X-KDE-MinNumberOfUrls=2\n";
    for (bool kde5 : {false, true}) {
        std::string dir = JoinPath(folders.DataHome, kde5 ? "kservices5/ServiceMenus" : "kio/servicemenus");
        files.push_back({JoinPath(dir, "morvelan-extract.desktop"),
                         ServiceMenu(hostPath, ArchiveMimeTypes, one, ArchiveActions, 3, kde5), 0755});
        files.push_back({JoinPath(dir, "morvelan-compress.desktop"),
                         ServiceMenu(hostPath, AnyMimeTypes, one, SingleActions, 2, kde5), 0755});
        files.push_back({JoinPath(dir, "morvelan-compress-several.desktop"),
                         ServiceMenu(hostPath, AnyMimeTypes, many, SeveralActions, 1, kde5), 0755});
    }
    AddScripts(files, NautilusFolder(folders), hostPath);
    AddScripts(files, CajaFolder(folders), hostPath);
    std::string nemo = JoinPath(folders.DataHome, "nemo/actions");
    for (const auto* group : {ArchiveActions, SingleActions, SeveralActions}) {
        size_t n = group == ArchiveActions ? 3 : group == SingleActions ? 2 : 1;
        for (size_t i = 0; i < n; ++i) {
            const TAction& a = group[i];
            std::string name =
                "morvelan-" + std::string(KindName(a.Kind)) + "-" + std::to_string(a.Offset) + ".nemo_action";
            files.push_back({JoinPath(nemo, name), NemoAction(hostPath, a), 0644});
        }
    }
    return files;
}

std::string ThunarActionsFile(const TActionFolders& folders) {
    return JoinPath(folders.ConfigHome, "Thunar/uca.xml");
}

std::string ThunarActions(const std::string& hostPath) {
    std::string archivePatterns;
    for (const char* e : ArchiveExtensions) {
        std::string upper = e;
        for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        archivePatterns += std::string("*.") + e + ";*." + upper + ";";
    }
    archivePatterns.pop_back();
    const std::string anyFiles =
        "<directories/><audio-files/><image-files/><other-files/><text-files/><video-files/>";
    auto element = [](const std::string& id, const std::string& label, const std::string& command,
                      const std::string& help, const std::string& patterns, const std::string& kinds) {
        return "<action>\n"
               "\t<icon>morvelan</icon>\n"
               "\t<name>" +
               XmlText(label) +
               "</name>\n"
               "\t<unique-id>" +
               id +
               "</unique-id>\n"
               "\t<command>" +
               XmlText(command) +
               "</command>\n"
               "\t<description>" +
               XmlText(help) +
               "</description>\n"
               "\t<patterns>" +
               XmlText(patterns) +
               "</patterns>\n"
               "\t" +
               kinds +
               "\n"
               "</action>\n";
    };
    std::string out;
    for (const TAction& a : ArchiveActions)
        out += element(ThunarIdPrefix + std::string("archive-") + std::to_string(a.Offset), a.Label,
                       ShellWord(hostPath) + " --invoke " + Action(a) + " -- %F", Help(a), archivePatterns,
                       "<other-files/>");
    // One "Compactar para ZIP" for one item or several, chosen by the count.
    out += element(std::string(ThunarIdPrefix) + "compress-0", SingleActions[0].Label,
                   "sh -c " + ShellWord(CompressByCountScript(hostPath, "\"$@\"")) + " sh %F",
                   Help(SingleActions[0]), "*", anyFiles);
    out += element(std::string(ThunarIdPrefix) + "single-1", SingleActions[1].Label,
                   ShellWord(hostPath) + " --invoke " + Action(SingleActions[1]) + " -- %F",
                   Help(SingleActions[1]), "*", anyFiles);
    return out;
}

bool MergeThunarActions(const std::string& existing, const std::string& ours, std::string& merged) {
    std::string text = existing;
    if (text.find_first_not_of(" \t\r\n") == std::string::npos) text = ThunarSkeleton;
    size_t close = text.rfind("</actions>");
    if (close == std::string::npos || text.find("<actions>") == std::string::npos) return false;
    // Take our actions out, each with its line.
    size_t pos = 0;
    while ((pos = text.find("<action>", pos)) != std::string::npos) {
        size_t end = text.find("</action>", pos);
        if (end == std::string::npos) break;
        end += std::string("</action>").size();
        std::string block = text.substr(pos, end - pos);
        if (block.find(std::string("<unique-id>") + ThunarIdPrefix) == std::string::npos) {
            pos = end;
            continue;
        }
        size_t from = pos;
        while (from > 0 && (text[from - 1] == ' ' || text[from - 1] == '\t')) --from;
        if (end < text.size() && text[end] == '\n') ++end;
        text.erase(from, end - from);
        pos = from;
    }
    close = text.rfind("</actions>");
    size_t lineStart = close;
    while (lineStart > 0 && (text[lineStart - 1] == ' ' || text[lineStart - 1] == '\t')) --lineStart;
    if (lineStart > 0 && text[lineStart - 1] != '\n') {
        // "</actions>" shares its line with other text: put ours on lines of their own.
        text.insert(close, "\n");
        lineStart = close + 1;
    }
    text.insert(lineStart, ours);
    merged = text;
    return true;
}

void InstallFileManagerActions(const TActionFolders& folders, const std::string& hostPath) {
    for (const TActionFile& f : FileManagerActionFiles(folders, hostPath))
        WriteIfChanged(f.Path, f.Text, f.Mode);
    std::string uca = ThunarActionsFile(folders), existing, merged;
    ReadText(uca, existing);
    if (!MergeThunarActions(existing, ThunarActions(hostPath), merged)) return;
    if (merged == existing) return;
    bool created = !Exists(uca);
    MakeFolders(DirectoryOf(uca));
    AtomicWriter writer(uca);
    writer.Output().Write(merged.data(), merged.size());
    writer.Commit();
    // A file we start is readable by all, whatever the umask; another keeps its mode.
    if (created) Fs().SetPermissions(uca, 0644);
}

void RemoveFileManagerActions(const TActionFolders& folders) {
    for (const TActionFile& f : FileManagerActionFiles(folders, "")) RemoveIfPresent(f.Path);
    RemoveFolderIfEmpty(NautilusFolder(folders));
    RemoveFolderIfEmpty(CajaFolder(folders));
    std::string uca = ThunarActionsFile(folders), existing, merged;
    if (!ReadText(uca, existing)) return;
    if (!MergeThunarActions(existing, "", merged) || merged == existing) return;
    if (merged == ThunarSkeleton) {
        // Nothing but our own actions was in it.
        Fs().RemoveFile(uca);
        return;
    }
    AtomicWriter writer(uca);
    writer.Output().Write(merged.data(), merged.size());
    writer.Commit();
}

} // namespace mv::shellext
