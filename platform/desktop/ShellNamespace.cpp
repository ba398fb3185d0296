#include "platform/desktop/ShellNamespace.h"

#include "platform/AppPaths.h"
#include "platform/MountTable.h"
#include "resources/StringTable.h"

#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QMimeDatabase>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace mv::desktop {

using platform::DriveKind;

namespace {

std::atomic<int32_t> namesBase{20000};

void PutLe(std::vector<uint8_t>& out, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
uint64_t GetLe(const uint8_t* p, int bytes) {
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

bool ValidComponent(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

std::string StripTrailingSlashes(std::string p) {
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}

// Where each item of a decoded list lies: the path of the folder that holds the items
// after it ("" while inside the virtual part).
struct TResolved {
    std::vector<TShellItem> Items;
    std::string Path; // of the last item; "" for the Desktop and Computer
};

bool Resolve(const TIdList& list, TResolved& out) {
    if (!DecodeIdList(list, out.Items)) return false;
    std::string path;
    for (size_t i = 0; i < out.Items.size(); ++i) {
        const TShellItem& it = out.Items[i];
        switch (it.Kind) {
        case TShellItemKind::skHome: path = platform::HomeDir(); break;
        case TShellItemKind::skComputer: path.clear(); break;
        case TShellItemKind::skVolume: path = it.Name; break;
        case TShellItemKind::skFolder:
        case TShellItemKind::skFile:
            path = JoinPath(i == 0 ? platform::DesktopDir() : path, it.Name);
            break;
        }
    }
    out.Path = path;
    return true;
}

// The item a path names now, in a folder listing: lstat tells a link, stat its target.
bool StatItem(const std::string& path, const std::string& name, TShellItem& item) {
    struct stat ls {}, st {};
    if (::lstat(path.c_str(), &ls) != 0) return false;
    item.Link = S_ISLNK(ls.st_mode);
    if (item.Link && ::stat(path.c_str(), &st) != 0) st = ls; // a dangling link is a file
    else if (!item.Link) st = ls;
    item.Kind = S_ISDIR(st.st_mode) ? TShellItemKind::skFolder : TShellItemKind::skFile;
    item.Size = item.Kind == TShellItemKind::skFile ? static_cast<uint64_t>(st.st_size) : 0;
    item.Modified = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    item.Name = name;
    return true;
}

std::string VirtualName(int which) {
    std::string s = LoadStr(namesBase.load() + 700 + which);
    if (!s.empty()) return s;
    static const char* const fallback[] = {"Desktop", "Home", "Computer"};
    return fallback[which];
}

bool IsUnder(const std::string& path, const std::string& folder) {
    if (folder == "/") return path.size() > 1 && path[0] == '/';
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           path[folder.size()] == '/';
}

// Appends the items for the components of rest (relative, "/"-separated) below base.
int AppendComponents(std::vector<TShellItem>& items, std::string base, const std::string& rest) {
    size_t pos = 0;
    while (pos < rest.size()) {
        size_t end = rest.find('/', pos);
        if (end == std::string::npos) end = rest.size();
        std::string name = rest.substr(pos, end - pos);
        pos = end + 1;
        if (name.empty() || name == ".") continue;
        if (name == "..") return EINVAL;
        base = JoinPath(base, name);
        TShellItem it;
        if (!StatItem(base, name, it)) return errno ? errno : ENOENT;
        if (!items.empty() && items.back().Kind == TShellItemKind::skFile) return ENOTDIR;
        items.push_back(it);
    }
    return 0;
}

int KindRank(TShellItemKind k) {
    switch (k) {
    case TShellItemKind::skHome: return 0;
    case TShellItemKind::skComputer: return 1;
    case TShellItemKind::skVolume: return 2;
    case TShellItemKind::skFolder: return 3;
    case TShellItemKind::skFile: return 4;
    }
    return 5;
}

int CompareNames(const std::string& a, const std::string& b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        int ca = static_cast<unsigned char>(a[i]), cb = static_cast<unsigned char>(b[i]);
        if (ca >= 'A' && ca <= 'Z') ca += 32;
        if (cb >= 'A' && cb <= 'Z') cb += 32;
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
}

} // namespace

void SetNamespaceLanguageBase(int32_t base) { namesBase = base; }

std::string NamespaceText(int32_t number) { return LoadStr(namesBase.load() + number); }

std::vector<uint8_t> EncodeShellItem(const TShellItem& item) {
    std::vector<uint8_t> out;
    size_t count = ShellItemHeaderSize + item.Name.size();
    if (count > 0xFFFF) return out;
    out.reserve(count);
    PutLe(out, count, 2);
    out.push_back(static_cast<uint8_t>(item.Kind));
    out.push_back(item.Link ? 1 : 0);
    PutLe(out, item.Size, 8);
    PutLe(out, static_cast<uint64_t>(item.Modified), 8);
    out.insert(out.end(), item.Name.begin(), item.Name.end());
    return out;
}

bool DecodeIdList(const TIdList& list, std::vector<TShellItem>& items) {
    items.clear();
    size_t pos = 0;
    while (true) {
        if (pos + 2 > list.size()) return false;
        size_t count = GetLe(&list[pos], 2);
        if (count == 0) return pos + 2 == list.size();
        if (count < ShellItemHeaderSize || pos + count > list.size()) return false;
        TShellItem it;
        uint8_t kind = list[pos + 2];
        if (kind < 1 || kind > 5) return false;
        it.Kind = static_cast<TShellItemKind>(kind);
        it.Link = (list[pos + 3] & 1) != 0;
        it.Size = GetLe(&list[pos + 4], 8);
        it.Modified = static_cast<int64_t>(GetLe(&list[pos + 12], 8));
        it.Name.assign(reinterpret_cast<const char*>(&list[pos + ShellItemHeaderSize]), count - ShellItemHeaderSize);
        // Where the kind may stand.
        TShellItemKind prev = items.empty() ? TShellItemKind::skHome : items.back().Kind;
        bool first = items.empty();
        switch (it.Kind) {
        case TShellItemKind::skHome:
        case TShellItemKind::skComputer:
            if (!first || !it.Name.empty()) return false;
            break;
        case TShellItemKind::skVolume:
            if (first || prev != TShellItemKind::skComputer || it.Name.empty() || it.Name[0] != '/') return false;
            break;
        case TShellItemKind::skFolder:
        case TShellItemKind::skFile:
            if (!first && (prev == TShellItemKind::skComputer || prev == TShellItemKind::skFile)) return false;
            if (!ValidComponent(it.Name)) return false;
            break;
        }
        items.push_back(std::move(it));
        pos += count;
    }
}

TIdList IdListOfItems(const std::vector<TShellItem>& items) {
    TIdList out;
    for (const TShellItem& it : items) {
        std::vector<uint8_t> b = EncodeShellItem(it);
        if (b.empty()) return {};
        out.insert(out.end(), b.begin(), b.end());
    }
    out.push_back(0);
    out.push_back(0);
    return out;
}

std::string IdListToPath(const TIdList& list) {
    TResolved r;
    if (!Resolve(list, r)) return {};
    return r.Path;
}

std::vector<std::string> VolumeMountPoints() {
    std::vector<std::string> out{"/"};
    for (const platform::MountEntry& m : platform::ReadMountTable()) {
        if (m.MountPoint == "/" || m.MountPoint.empty()) continue;
        DriveKind kind = platform::KindOfMount(m, "/sys");
        bool device = m.Source.rfind("/dev/", 0) == 0 && m.Source.rfind("/dev/loop", 0) != 0;
        if (kind == DriveKind::Remote || ((kind == DriveKind::Fixed || kind == DriveKind::Removable ||
                                            kind == DriveKind::CdRom) && device))
            out.push_back(m.MountPoint);
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

int PathToIdList(const std::string& rawPath, TIdList& list) {
    list.clear();
    if (rawPath.empty() || rawPath[0] != '/') return EINVAL;
    std::string path = StripTrailingSlashes(rawPath);
    std::vector<TShellItem> items;
    std::string home = StripTrailingSlashes(platform::HomeDir());
    std::string base, rest;
    if (!home.empty() && home != "/" && (path == home || IsUnder(path, home))) {
        TShellItem h;
        h.Kind = TShellItemKind::skHome;
        items.push_back(h);
        base = home;
        rest = path.size() > home.size() ? path.substr(home.size() + 1) : "";
    } else {
        std::string best = "/";
        for (const std::string& m : VolumeMountPoints())
            if ((path == m || IsUnder(path, m)) && m.size() > best.size()) best = m;
        TShellItem c, v;
        c.Kind = TShellItemKind::skComputer;
        v.Kind = TShellItemKind::skVolume;
        v.Name = best;
        items.push_back(c);
        items.push_back(v);
        base = best;
        rest = path.size() > best.size() ? path.substr(best == "/" ? 1 : best.size() + 1) : "";
    }
    struct stat st {};
    if (::stat(base.c_str(), &st) != 0) return errno ? errno : ENOENT;
    if (int e = AppendComponents(items, base, rest)) return e;
    list = IdListOfItems(items);
    return list.empty() ? ENAMETOOLONG : 0;
}

std::string SpecialFolderDir(int csidl) {
    switch (csidl) {
    case csidlPersonal: return platform::HomeDir();
    case csidlDesktopDirectory: return platform::DesktopDir();
    case csidlSendTo: return platform::XdgDataHome() + "/morvelan/SendTo";
    default: return {};
    }
}

int SpecialFolderIdList(int csidl, TIdList& list) {
    list.clear();
    TShellItem it;
    switch (csidl) {
    case csidlDesktop: list = {0, 0}; return 0;
    case csidlPersonal: it.Kind = TShellItemKind::skHome; list = IdListOfItems({it}); return 0;
    case csidlDrives: it.Kind = TShellItemKind::skComputer; list = IdListOfItems({it}); return 0;
    case csidlSendTo: {
        std::string dir = SpecialFolderDir(csidl);
        std::string partial;
        for (size_t pos = 1; pos <= dir.size(); ++pos)
            if (pos == dir.size() || dir[pos] == '/') ::mkdir(dir.substr(0, pos).c_str(), 0700);
        return PathToIdList(dir, list);
    }
    case csidlDesktopDirectory: return PathToIdList(SpecialFolderDir(csidl), list);
    default: return EINVAL;
    }
}

int EnumFolder(const TIdList& folder, uint32_t flags, std::vector<TIdList>& out) {
    out.clear();
    TResolved r;
    if (!Resolve(folder, r)) return EINVAL;
    auto want = [&](const TShellItem& it) {
        bool hidden = !it.Name.empty() && it.Name[0] == '.';
        if (hidden && !(flags & shcontIncludeHidden)) return false;
        bool isFolder = it.Kind != TShellItemKind::skFile;
        return isFolder ? (flags & shcontFolders) != 0 : (flags & shcontNonFolders) != 0;
    };
    auto add = [&](const TShellItem& it) {
        if (!want(it)) return;
        TIdList one = IdListOfItems({it});
        if (!one.empty()) out.push_back(std::move(one));
    };
    if (r.Items.empty() || (r.Items.back().Kind == TShellItemKind::skComputer)) {
        if (r.Items.empty()) {
            TShellItem h, c;
            h.Kind = TShellItemKind::skHome;
            c.Kind = TShellItemKind::skComputer;
            add(h);
            add(c);
            r.Path = platform::DesktopDir();
            struct stat st {};
            if (::stat(r.Path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return 0;
        } else {
            for (const std::string& m : VolumeMountPoints()) {
                TShellItem v;
                v.Kind = TShellItemKind::skVolume;
                v.Name = m;
                add(v);
            }
            return 0;
        }
    }
    if (!r.Items.empty() && r.Items.back().Kind == TShellItemKind::skFile) return ENOTDIR;
    DIR* d = ::opendir(r.Path.c_str());
    if (!d) return errno ? errno : EACCES;
    while (dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        TShellItem it;
        if (StatItem(JoinPath(r.Path, name), name, it)) add(it);
    }
    ::closedir(d);
    return 0;
}

bool ItemAttributes(const TIdList& absolute, uint32_t& mask) {
    TResolved r;
    if (!Resolve(absolute, r)) {
        mask = 0;
        return false;
    }
    uint32_t a = 0;
    const uint32_t folderBits = sfgaoFolder | sfgaoHasSubfolder | sfgaoFileSysAncestor;
    if (r.Items.empty() || r.Items.back().Kind == TShellItemKind::skComputer) {
        a = folderBits;
    } else {
        struct stat ls {}, st {};
        if (::lstat(r.Path.c_str(), &ls) != 0) {
            mask = 0;
            return false;
        }
        if (::stat(r.Path.c_str(), &st) != 0) st = ls;
        const TShellItem& last = r.Items.back();
        bool isDir = S_ISDIR(st.st_mode);
        a = sfgaoFileSystem | sfgaoHasPropSheet;
        if (isDir) a |= sfgaoFolder | sfgaoFileSysAncestor | sfgaoDropTarget;
        if (last.Kind == TShellItemKind::skFolder || last.Kind == TShellItemKind::skFile)
            a |= sfgaoCanCopy | sfgaoCanMove | sfgaoCanLink | sfgaoCanRename | sfgaoCanDelete;
        if (S_ISLNK(ls.st_mode)) a |= sfgaoLink;
        if (!last.Name.empty() && last.Name[0] == '.' && last.Kind != TShellItemKind::skVolume) a |= sfgaoHidden;
        if ((mask & sfgaoReadOnly) && ::access(r.Path.c_str(), W_OK) != 0) a |= sfgaoReadOnly;
        if (last.Kind == TShellItemKind::skVolume) {
            platform::MountEntry m;
            if (platform::FindMount(platform::ReadMountTable(), r.Path, m) &&
                platform::KindOfMount(m, "/sys") == DriveKind::Removable)
                a |= sfgaoRemovable;
        }
        if (isDir && (mask & sfgaoHasSubfolder)) {
            if (DIR* d = ::opendir(r.Path.c_str())) {
                while (dirent* e = ::readdir(d)) {
                    std::string n = e->d_name;
                    if (n == "." || n == "..") continue;
                    struct stat cs {};
                    if (::stat(JoinPath(r.Path, n).c_str(), &cs) == 0 && S_ISDIR(cs.st_mode)) {
                        a |= sfgaoHasSubfolder;
                        break;
                    }
                }
                ::closedir(d);
            }
        }
    }
    mask &= a | sfgaoValidate;
    mask &= ~sfgaoValidate;
    return true;
}

int CompareIdLists(const TIdList& a, const TIdList& b) {
    std::vector<TShellItem> ia, ib;
    bool okA = DecodeIdList(a, ia), okB = DecodeIdList(b, ib);
    if (!okA || !okB) return okA == okB ? 0 : (okA ? -1 : 1);
    size_t n = std::min(ia.size(), ib.size());
    for (size_t i = 0; i < n; ++i) {
        int ra = KindRank(ia[i].Kind), rb = KindRank(ib[i].Kind);
        if (ra != rb) return ra < rb ? -1 : 1;
        if (int c = CompareNames(ia[i].Name, ib[i].Name)) return c;
    }
    if (ia.size() != ib.size()) return ia.size() < ib.size() ? -1 : 1;
    return 0;
}

std::string IdListDisplayName(const TIdList& absolute, int kind) {
    TResolved r;
    if (!Resolve(absolute, r)) return {};
    if (r.Items.empty()) return kind == shgdnForParsing ? platform::DesktopDir() : VirtualName(0);
    const TShellItem& last = r.Items.back();
    if (kind == shgdnForParsing) {
        if (last.Kind == TShellItemKind::skComputer) return "::computer";
        return r.Path;
    }
    switch (last.Kind) {
    case TShellItemKind::skHome: return VirtualName(1);
    case TShellItemKind::skComputer: return VirtualName(2);
    case TShellItemKind::skVolume: {
        if (last.Name == "/") return "/";
        return last.Name.substr(last.Name.rfind('/') + 1);
    }
    default: return last.Name;
    }
}

namespace {
QMimeType MimeOf(const std::string& path) {
    static std::mutex lock;
    std::lock_guard<std::mutex> guard(lock);
    static QMimeDatabase db;
    return db.mimeTypeForFile(QString::fromStdString(path));
}
} // namespace

std::string ItemMimeType(const TIdList& absolute) {
    std::string path = IdListToPath(absolute);
    if (path.empty()) return {};
    return MimeOf(path).name().toStdString();
}

std::string ItemTypeName(const TIdList& absolute) {
    std::string path = IdListToPath(absolute);
    if (path.empty()) return {};
    return MimeOf(path).comment().toStdString();
}

int RenameItem(const TIdList& absolute, const std::string& newName, TIdList& newItem) {
    newItem.clear();
    TResolved r;
    if (!Resolve(absolute, r) || r.Items.empty()) return EINVAL;
    const TShellItem& last = r.Items.back();
    if (last.Kind != TShellItemKind::skFolder && last.Kind != TShellItemKind::skFile) return EPERM;
    if (!ValidComponent(newName)) return EINVAL;
    std::string folder = r.Path.substr(0, r.Path.size() - last.Name.size());
    std::string target = folder + newName;
    if (newName != last.Name) {
        // Never replace what is there: the kernel refuses for us where it can.
        if (::renameat2(AT_FDCWD, r.Path.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) != 0) {
            if (errno != EINVAL && errno != ENOSYS) return errno;
            struct stat st {};
            if (::lstat(target.c_str(), &st) == 0) return EEXIST;
            if (::rename(r.Path.c_str(), target.c_str()) != 0) return errno;
        }
    }
    TShellItem it;
    if (!StatItem(target, newName, it)) return errno ? errno : ENOENT;
    newItem = IdListOfItems({it});
    return 0;
}

// --- Icons ------------------------------------------------------------------------------

namespace {

enum class TFallback { File, Folder, FolderOpen, Drive, Removable, Computer, Home, Desktop, Share, Link };

struct TIconEntry {
    std::string ThemeName;
    TFallback Fallback;
};

struct TIconTable {
    std::mutex Lock;
    std::vector<TIconEntry> Entries{{"text-x-generic", TFallback::File},
                                    {"folder", TFallback::Folder},
                                    {"folder-open", TFallback::FolderOpen},
                                    {"drive-harddisk", TFallback::Drive},
                                    {"drive-removable-media", TFallback::Removable},
                                    {"computer", TFallback::Computer},
                                    {"user-home", TFallback::Home},
                                    {"user-desktop", TFallback::Desktop},
                                    {"emblem-shared", TFallback::Share},
                                    {"emblem-symbolic-link", TFallback::Link}};
    int IndexOf(const std::string& theme, TFallback fb) {
        std::lock_guard<std::mutex> g(Lock);
        for (size_t i = 0; i < Entries.size(); ++i)
            if (Entries[i].ThemeName == theme) return static_cast<int>(i);
        Entries.push_back({theme, fb});
        return static_cast<int>(Entries.size() - 1);
    }
};

TIconTable& Icons() {
    static TIconTable table;
    return table;
}

constexpr int iconFile = 0, iconFolder = 1, iconFolderOpen = 2, iconDrive = 3, iconRemovable = 4, iconComputer = 5,
              iconHome = 6, iconDesktop = 7, iconShare = 8, iconLink = 9;

int MimeIconIndex(const QMimeType& mime) {
    if (!mime.isValid() || mime.name() == "application/octet-stream") return iconFile;
    QString name = mime.iconName();
    if (name.isEmpty()) name = mime.genericIconName();
    if (name.isEmpty()) return iconFile;
    return Icons().IndexOf(name.toStdString(), TFallback::File);
}

// Our own pictures, for desktops without an icon theme (and for tests).
QImage DrawFallback(TFallback kind, int size) {
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    const double s = size / 16.0;
    p.scale(s, s);
    QPen outline(QColor(60, 60, 60));
    outline.setWidthF(1.0 / s < 0.7 ? 0.7 : 1.0 / s);
    p.setPen(outline);
    switch (kind) {
    case TFallback::File:
        p.setBrush(QColor(250, 250, 250));
        p.drawPolygon(QPolygonF({{3, 1}, {10, 1}, {13, 4}, {13, 15}, {3, 15}}));
        p.drawLine(QPointF(5, 7), QPointF(11, 7));
        p.drawLine(QPointF(5, 10), QPointF(11, 10));
        break;
    case TFallback::Folder:
    case TFallback::FolderOpen:
        p.setBrush(QColor(232, 190, 80));
        p.drawPolygon(QPolygonF({{1, 3}, {6, 3}, {7, 5}, {15, 5}, {15, 14}, {1, 14}}));
        if (kind == TFallback::FolderOpen) {
            p.setBrush(QColor(250, 220, 120));
            p.drawPolygon(QPolygonF({{3, 8}, {16, 8}, {14, 14}, {1, 14}}));
        }
        break;
    case TFallback::Drive:
    case TFallback::Removable:
        p.setBrush(kind == TFallback::Drive ? QColor(170, 170, 180) : QColor(120, 160, 210));
        p.drawRoundedRect(QRectF(1, 5, 14, 7), 1.5, 1.5);
        p.setBrush(QColor(60, 200, 60));
        p.drawEllipse(QRectF(11, 8, 2, 2));
        break;
    case TFallback::Computer:
        p.setBrush(QColor(90, 140, 210));
        p.drawRect(QRectF(1, 2, 14, 9));
        p.setBrush(QColor(150, 150, 150));
        p.drawRect(QRectF(5, 12, 6, 2));
        break;
    case TFallback::Home:
        p.setBrush(QColor(210, 90, 70));
        p.drawPolygon(QPolygonF({{8, 1}, {15, 8}, {13, 8}, {13, 15}, {3, 15}, {3, 8}, {1, 8}}));
        break;
    case TFallback::Desktop:
        p.setBrush(QColor(60, 130, 190));
        p.drawRect(QRectF(1, 2, 14, 10));
        p.drawLine(QPointF(4, 14), QPointF(12, 14));
        break;
    case TFallback::Share:
        p.setBrush(QColor(70, 120, 200));
        p.drawEllipse(QRectF(1, 9, 6, 6));
        break;
    case TFallback::Link:
        p.setBrush(QColor(255, 255, 255));
        p.drawRect(QRectF(0.5, 9.5, 6, 6));
        p.drawLine(QPointF(2, 14), QPointF(5, 11));
        p.drawLine(QPointF(3, 11), QPointF(5, 11));
        p.drawLine(QPointF(5, 11), QPointF(5, 13));
        break;
    }
    return img;
}

} // namespace

int IdListIconIndex(const TIdList& absolute, uint32_t flags) {
    TResolved r;
    if (!Resolve(absolute, r)) return iconFile;
    if (r.Items.empty()) return iconDesktop;
    const TShellItem& last = r.Items.back();
    switch (last.Kind) {
    case TShellItemKind::skHome: return iconHome;
    case TShellItemKind::skComputer: return iconComputer;
    case TShellItemKind::skVolume: {
        platform::MountEntry m;
        if (platform::FindMount(platform::ReadMountTable(), last.Name, m) &&
            platform::KindOfMount(m, "/sys") == DriveKind::Removable)
            return iconRemovable;
        return iconDrive;
    }
    case TShellItemKind::skFolder: return (flags & shgfiOpenIcon) ? iconFolderOpen : iconFolder;
    case TShellItemKind::skFile: return MimeIconIndex(MimeOf(r.Path));
    }
    return iconFile;
}

int FileNameIconIndex(const std::string& name, uint32_t) {
    static std::mutex lock;
    std::lock_guard<std::mutex> guard(lock);
    static QMimeDatabase db;
    return MimeIconIndex(db.mimeTypeForFile(QString::fromStdString(name), QMimeDatabase::MatchExtension));
}

int OverlayIconIndex(int overlay) {
    if (overlay == 1) return iconShare;
    if (overlay == 2) return iconLink;
    return -1;
}

int IconCount() {
    std::lock_guard<std::mutex> g(Icons().Lock);
    return static_cast<int>(Icons().Entries.size());
}

TIconPixels IconPixels(int index, int size) {
    TIconPixels out;
    if (size <= 0 || size > 256) return out;
    TIconEntry entry;
    {
        std::lock_guard<std::mutex> g(Icons().Lock);
        if (index < 0 || index >= static_cast<int>(Icons().Entries.size())) return out;
        entry = Icons().Entries[index];
    }
    QImage img;
    if (QGuiApplication::instance() && QIcon::hasThemeIcon(QString::fromStdString(entry.ThemeName))) {
        QIcon icon = QIcon::fromTheme(QString::fromStdString(entry.ThemeName));
        img = icon.pixmap(size, size).toImage();
    }
    if (img.isNull() || img.width() != size || img.height() != size) img = DrawFallback(entry.Fallback, size);
    img = img.convertToFormat(QImage::Format_ARGB32);
    out.Width = img.width();
    out.Height = img.height();
    out.Argb.resize(static_cast<size_t>(out.Width) * out.Height);
    for (int y = 0; y < out.Height; ++y) {
        const auto* line = reinterpret_cast<const uint32_t*>(img.constScanLine(y));
        std::copy(line, line + out.Width, out.Argb.begin() + static_cast<ptrdiff_t>(y) * out.Width);
    }
    return out;
}

} // namespace mv::desktop

namespace mv::desktop {

bool OnRemovableMedia(const std::string& path) {
    platform::MountEntry m;
    return !path.empty() && platform::FindMount(platform::ReadMountTable(), path, m) &&
           platform::KindOfMount(m, "/sys") == platform::DriveKind::Removable;
}

bool IsMountPoint(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    for (const platform::MountEntry& m : platform::ReadMountTable())
        if (m.MountPoint == p) return true;
    return false;
}

} // namespace mv::desktop
