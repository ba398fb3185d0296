#include "platform/FileOps.h"

#include "platform/AppPaths.h"
#include "platform/FileSystem.h"

#include <cerrno>
#include <ctime>
#include <unistd.h>

namespace mv::platform {

void ForceDirectories(const std::string& path) {
    if (path.empty() || IsDirectory(path)) return;
    const std::string parent = DirectoryOf(path);
    if (!parent.empty() && parent != path) ForceDirectories(parent);
    try {
        Fs().CreateDirectory(path);
    } catch (const FileError& e) {
        if (e.Code() != EEXIST || !IsDirectory(path)) throw;
    }
}

namespace {

// Empties folder (never following a link); answers true when nothing is left in it.
bool EmptyFolder(const std::string& folder) {
    std::vector<DirEntry> entries;
    try {
        entries = Fs().ListDirectory(folder);
    } catch (const FileError&) {
        // A folder that cannot be listed may just lack the owner's read or search bit.
        try {
            Fs().SetPermissions(folder, 0700);
            entries = Fs().ListDirectory(folder);
        } catch (const FileError&) {
            return false;
        }
    }
    bool all = true;
    for (const DirEntry& entry : entries) {
        const std::string path = JoinPath(folder, entry.Name);
        if (entry.Info.IsDirectory && !entry.Info.IsSymlink) {
            all = DeleteFolder(path, true) && all;
            continue;
        }
        try {
            Fs().RemoveFile(path);
        } catch (const FileError& e) {
            // Deleting needs the folder's write permission, not the file's.
            bool gone = false;
            if (e.Code() == EACCES || e.Code() == EPERM) {
                try {
                    Fs().SetPermissions(folder, 0700);
                    Fs().RemoveFile(path);
                    gone = true;
                } catch (const FileError&) {
                }
            }
            all = all && gone;
        }
    }
    return all;
}

} // namespace

bool DeleteFolder(const std::string& folder, bool removeFolder) {
    FileInfo info;
    if (folder.empty() || !Fs().Stat(folder, info)) return true;
    // A link given as the folder itself is removed as a link; its target stays.
    if (info.IsSymlink || !info.IsDirectory) {
        if (!removeFolder) return true;
        try {
            Fs().RemoveFile(folder);
            return true;
        } catch (const FileError&) {
            return false;
        }
    }
    if ((info.Mode & 0700) != 0700) {
        try {
            Fs().SetPermissions(folder, (info.Mode & 07777) | 0700);
        } catch (const FileError&) {
        }
    }
    bool all = EmptyFolder(folder);
    if (removeFolder && all) {
        try {
            Fs().RemoveDirectory(folder);
        } catch (const FileError&) {
            all = false;
        }
    }
    return all;
}

bool ReadTextFile(const std::string& path, std::string& text) {
    text.clear();
    try {
        auto file = Fs().Open(path, OpenMode::Read);
        char buffer[8192];
        size_t n;
        while ((n = file->Read(buffer, sizeof buffer)) > 0) text.append(buffer, n);
        return true;
    } catch (const FileError&) {
        text.clear();
        return false;
    }
}

bool WriteTextFileIfChanged(const std::string& path, const std::string& text, unsigned mode) {
    std::string old;
    FileInfo info;
    const bool exists = Fs().Stat(path, info) && info.IsRegular;
    if (exists && ReadTextFile(path, old) && old == text) {
        if (mode != 0 && (info.Mode & 07777) != mode) Fs().SetPermissions(path, mode);
        return false;
    }
    ForceDirectories(DirectoryOf(path));
    AtomicWriter writer(path);
    writer.Output().Write(text.data(), text.size());
    writer.Commit(); // gives the old file's permissions, or a new file's
    if (mode != 0) Fs().SetPermissions(path, mode);
    return true;
}

bool RemoveFileIfExists(const std::string& path) {
    FileInfo info;
    if (!Fs().Stat(path, info) || info.IsDirectory) return false;
    try {
        Fs().RemoveFile(path);
        return true;
    } catch (const FileError&) {
        return false;
    }
}

bool RemoveFolderIfEmpty(const std::string& path) {
    FileInfo info;
    if (!Fs().Stat(path, info) || !info.IsDirectory || info.IsSymlink) return false;
    try {
        if (!Fs().ListDirectory(path).empty()) return false;
        Fs().RemoveDirectory(path);
        return true;
    } catch (const FileError&) {
        return false;
    }
}

// --- Trash --------------------------------------------------------------------------

namespace {

std::string MountPointOf(const std::string& path) {
    std::string probe = path;
    FileInfo info;
    while (probe.size() > 1 && !Fs().Stat(probe, info)) probe = DirectoryOf(probe);
    VolumeInfo volume;
    int error = 0;
    if (!Fs().GetVolumeInfo(probe, volume, error)) return {};
    return volume.MountPoint.empty() ? "/" : volume.MountPoint;
}

// Path as a trash record holds it: bytes outside the unreserved set percent-encoded.
std::string EncodeTrashPath(const std::string& path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '/' || c == '-' ||
            c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string LocalDeletionDate() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

bool UsableTopTrash(const std::string& topTrash) {
    FileInfo info;
    return Fs().Stat(topTrash, info) && info.IsDirectory && !info.IsSymlink && (info.Mode & 01000) != 0;
}

} // namespace

std::string TrashDirFor(const std::string& path) {
    const std::string home = JoinPath(XdgDataHome(), "Trash");
    const std::string mount = MountPointOf(path);
    if (mount.empty()) return {};
    if (MountPointOf(home) == mount) return home;
    const std::string uid = std::to_string(getuid());
    const std::string shared = JoinPath(mount, ".Trash");
    if (UsableTopTrash(shared)) return JoinPath(shared, uid);
    return JoinPath(mount, ".Trash-" + uid);
}

bool MoveToTrash(const std::string& path, std::string& error) {
    error.clear();
    FileInfo item;
    if (path.empty() || path[0] != '/' || !Fs().Stat(path, item)) {
        error = ErrorText(ENOENT);
        return false;
    }
    const std::string trash = TrashDirFor(path);
    if (trash.empty()) {
        error = ErrorText(ENODEV);
        return false;
    }
    try {
        for (const char* sub : {"", "/files", "/info"}) {
            const std::string dir = trash + sub;
            if (!IsDirectory(dir)) {
                ForceDirectories(dir);
                Fs().SetPermissions(dir, 0700);
            }
        }
        const std::string name = NameOf(path);
        const std::string record = "[Trash Info]\nPath=" + EncodeTrashPath(path) +
                                   "\nDeletionDate=" + LocalDeletionDate() + "\n";
        for (int n = 1; n < 10000; ++n) {
            const std::string base = n == 1 ? name : name + "." + std::to_string(n);
            const std::string info = trash + "/info/" + base + ".trashinfo";
            const std::string target = trash + "/files/" + base;
            std::unique_ptr<File> out;
            try {
                out = Fs().Open(info, OpenMode::CreateNew);
            } catch (const FileError& e) {
                if (e.Code() == EEXIST) continue;
                throw;
            }
            FileInfo existing;
            if (Fs().Stat(target, existing)) {
                out.reset();
                Fs().RemoveFile(info); // a leftover without its record holds this name
                continue;
            }
            out->Write(record.data(), record.size());
            out->Close();
            try {
                Fs().Rename(path, target);
            } catch (const FileError&) {
                Fs().RemoveFile(info);
                throw;
            }
            return true;
        }
        error = ErrorText(EEXIST);
    } catch (const FileError& e) {
        error = e.what();
    }
    return false;
}

} // namespace mv::platform
