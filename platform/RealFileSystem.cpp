// The real file system: POSIX calls, /proc/self/mountinfo, sysfs and
// /dev/disk for the drive questions.
#include "platform/FileSystem.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace mv::platform {

namespace {

class PosixFile final : public File {
public:
    PosixFile(int fd, std::string path) : fd(fd), path(std::move(path)) {}
    ~PosixFile() override {
        if (fd >= 0) ::close(fd);
    }

    size_t Read(void* buffer, size_t count) override {
        CheckOpen();
        size_t done = 0;
        auto* p = static_cast<uint8_t*>(buffer);
        while (done < count) {
            ssize_t n = ::pread(fd, p + done, count - done, position);
            if (n < 0) {
                if (errno == EINTR) continue;
                throw FileError(errno, path, "cannot read");
            }
            if (n == 0) break;
            done += static_cast<size_t>(n);
            position += n;
        }
        return done;
    }

    void Write(const void* buffer, size_t count) override {
        CheckOpen();
        size_t done = 0;
        auto* p = static_cast<const uint8_t*>(buffer);
        while (done < count) {
            ssize_t n = ::pwrite(fd, p + done, count - done, position);
            if (n < 0) {
                if (errno == EINTR) continue;
                throw FileError(errno, path, "cannot write");
            }
            if (n == 0) throw FileError(ENOSPC, path, "cannot write");
            done += static_cast<size_t>(n);
            position += n;
        }
    }

    void Seek(int64_t pos) override {
        CheckOpen();
        if (pos < 0) throw FileError(EINVAL, path, "cannot seek in");
        position = pos;
    }
    int64_t Position() const override { return position; }
    int64_t Size() override {
        CheckOpen();
        struct stat st;
        if (::fstat(fd, &st) != 0) throw FileError(errno, path, "cannot read the size of");
        return st.st_size;
    }
    void SetSize(int64_t size) override {
        CheckOpen();
        if (size < 0 || ::ftruncate(fd, size) != 0)
            throw FileError(size < 0 ? EINVAL : errno, path, "cannot resize");
    }
    void Flush() override {
        CheckOpen();
        if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS)
            throw FileError(errno, path, "cannot flush");
    }
    void Close() override {
        if (fd < 0) return;
        int f = fd;
        fd = -1;
        if (::close(f) != 0 && errno != EINTR) throw FileError(errno, path, "cannot close");
    }
    bool IsOpen() const override { return fd >= 0; }
    const std::string& Path() const override { return path; }

private:
    void CheckOpen() const {
        if (fd < 0) throw FileError(EBADF, path, "file is closed:");
    }
    int fd;
    std::string path;
    int64_t position = 0;
};

void FillInfo(const std::string& name, const struct stat& st, FileInfo& info) {
    info.Size = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
    info.ModTime = st.st_mtime;
    info.Mode = st.st_mode;
    info.IsDirectory = S_ISDIR(st.st_mode);
    info.IsSymlink = S_ISLNK(st.st_mode);
    info.IsRegular = S_ISREG(st.st_mode);
    info.Attributes = DosAttributes(name, st.st_mode);
}

bool IsOctal(char c) {
    return c >= '0' && c <= '7';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Undoes the octal escapes ("\040") of /proc/self/mountinfo.
std::string UnescapeMount(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && IsOctal(s[i + 1]) && IsOctal(s[i + 2]) && IsOctal(s[i + 3])) {
            out += static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}

// Undoes the "\x20" escapes of /dev/disk/by-label names.
std::string UnescapeHex(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] == 'x' && HexValue(s[i + 2]) >= 0 &&
            HexValue(s[i + 3]) >= 0) {
            out += static_cast<char>(HexValue(s[i + 2]) * 16 + HexValue(s[i + 3]));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}

struct MountEntry {
    std::string mountPoint;
    std::string fsType;
    std::string source;
    unsigned major = 0, minor = 0;
    bool readOnly = false;
};

// The mount that holds an absolute, resolved path: the longest mount point
// that is a prefix of it (the last one listed wins on equal points).
bool FindMount(const std::string& path, MountEntry& found) {
    std::ifstream in("/proc/self/mountinfo");
    if (!in) return false;
    std::string line;
    size_t bestLen = 0;
    bool any = false;
    while (std::getline(in, line)) {
        std::istringstream ls(line);
        std::string id, parent, devno, root, mountPoint, options;
        ls >> id >> parent >> devno >> root >> mountPoint >> options;
        std::string field;
        while (ls >> field && field != "-") {
        }
        MountEntry e;
        ls >> e.fsType >> e.source;
        e.mountPoint = UnescapeMount(mountPoint);
        e.source = UnescapeMount(e.source);
        e.readOnly = options.rfind("ro", 0) == 0 && (options.size() == 2 || options[2] == ',');
        if (sscanf(devno.c_str(), "%u:%u", &e.major, &e.minor) != 2) continue;
        const std::string& mp = e.mountPoint;
        bool prefix =
            mp == "/" || path == mp ||
            (path.size() > mp.size() && path.compare(0, mp.size(), mp) == 0 && path[mp.size()] == '/');
        if (prefix && mp.size() >= bestLen) {
            bestLen = mp.size();
            found = e;
            any = true;
        }
    }
    return any;
}

// The resolved absolute form of a path, or of its nearest existing ancestor.
std::string ResolvePath(const std::string& path) {
    std::string p = path.empty() ? "." : path;
    for (;;) {
        char buf[PATH_MAX];
        if (::realpath(p.c_str(), buf)) return buf;
        std::string parent = DirectoryOf(p);
        if (parent.empty()) parent = ".";
        if (parent == p) return "";
        p = parent;
    }
}

std::string ReadSmallFile(const std::string& path) {
    std::ifstream in(path);
    std::string s;
    std::getline(in, s);
    return s;
}

// Removable flag of the block device major:minor (a partition asks its disk).
bool IsRemovableDevice(unsigned major, unsigned minor) {
    if (major == 0) return false;
    std::string base = "/sys/dev/block/" + std::to_string(major) + ":" + std::to_string(minor);
    char buf[PATH_MAX];
    if (!::realpath(base.c_str(), buf)) return false;
    std::string dev = buf;
    if (::access((dev + "/partition").c_str(), F_OK) == 0) dev = DirectoryOf(dev);
    return ReadSmallFile(dev + "/removable") == "1";
}

bool SameDevice(const std::string& link, const MountEntry& m) {
    struct stat st;
    if (::stat(link.c_str(), &st) == 0 && S_ISBLK(st.st_mode) && m.major != 0 &&
        major(st.st_rdev) == m.major && minor(st.st_rdev) == m.minor)
        return true;
    char a[PATH_MAX], b[PATH_MAX];
    return !m.source.empty() && m.source[0] == '/' && ::realpath(link.c_str(), a) &&
           ::realpath(m.source.c_str(), b) && std::strcmp(a, b) == 0;
}

// The name of the /dev/disk/<folder> link that points at the mount's device.
std::string FindDiskLink(const std::string& folder, const MountEntry& m) {
    DIR* d = ::opendir(folder.c_str());
    if (!d) return "";
    std::string found;
    while (dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        if (SameDevice(folder + "/" + name, m)) {
            found = UnescapeHex(name);
            break;
        }
    }
    ::closedir(d);
    return found;
}

uint32_t SerialFromUuid(const std::string& uuid) {
    uint32_t v = 0;
    int digits = 0;
    for (char c : uuid) {
        if (digits == 8) break;
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            continue;
        v = (v << 4) | static_cast<uint32_t>(d);
        ++digits;
    }
    return v;
}

DriveKind KindOf(const MountEntry& m) {
    static const char* const remote[] = {
        "nfs",       "nfs4",       "cifs",           "smb3",  "smbfs",       "ncpfs",  "9p",   "afs",  "ceph",
        "glusterfs", "fuse.sshfs", "fuse.glusterfs", "davfs", "fuse.davfs2", "lustre", "gfs2", "ocfs2"};
    for (const char* r : remote)
        if (m.fsType == r) return DriveKind::Remote;
    if (m.fsType == "iso9660" || m.fsType == "udf") return DriveKind::CdRom;
    if (m.fsType == "tmpfs" || m.fsType == "ramfs") return DriveKind::RamDisk;
    if (IsRemovableDevice(m.major, m.minor)) return DriveKind::Removable;
    return DriveKind::Fixed;
}

class RealFileSystem final : public FileSystem {
public:
    std::unique_ptr<File> Open(const std::string& path, OpenMode mode) override {
        int flags = O_CLOEXEC;
        switch (mode) {
        case OpenMode::Read:
            flags |= O_RDONLY;
            break;
        case OpenMode::ReadWrite:
            flags |= O_RDWR;
            break;
        case OpenMode::CreateTruncate:
            flags |= O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW;
            break;
        case OpenMode::CreateNew:
            flags |= O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW;
            break;
        }
        int fd;
        do {
            fd = ::open(path.c_str(), flags, 0666);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) throw FileError(errno, path, "cannot open");
        struct stat st;
        if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
            ::close(fd);
            throw FileError(EISDIR, path, "cannot open");
        }
        return std::make_unique<PosixFile>(fd, path);
    }

    bool Stat(const std::string& path, FileInfo& info) override {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0) return false;
        FillInfo(NameOf(path), st, info);
        return true;
    }

    std::vector<DirEntry> ListDirectory(const std::string& path) override {
        DIR* d = ::opendir(path.c_str());
        if (!d) throw FileError(errno, path, "cannot read the folder");
        std::vector<DirEntry> out;
        int dfd = ::dirfd(d);
        for (;;) {
            errno = 0;
            dirent* e = ::readdir(d);
            if (!e) {
                int err = errno;
                ::closedir(d);
                if (err) throw FileError(err, path, "cannot read the folder");
                break;
            }
            std::string name = e->d_name;
            if (name == "." || name == "..") continue;
            struct stat st;
            if (::fstatat(dfd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue; // vanished meanwhile
            DirEntry entry;
            entry.Name = name;
            FillInfo(name, st, entry.Info);
            out.push_back(std::move(entry));
        }
        return out;
    }

    void CreateDirectory(const std::string& path) override {
        if (::mkdir(path.c_str(), 0777) != 0) throw FileError(errno, path, "cannot create the folder");
    }
    void RemoveFile(const std::string& path) override {
        if (::unlink(path.c_str()) != 0) throw FileError(errno, path, "cannot delete");
    }
    void RemoveDirectory(const std::string& path) override {
        if (::rmdir(path.c_str()) != 0) throw FileError(errno, path, "cannot delete the folder");
    }
    void Rename(const std::string& from, const std::string& to) override {
        if (::rename(from.c_str(), to.c_str()) != 0)
            throw FileError(errno, from, "cannot rename to " + to + ":");
    }
    void SetModTime(const std::string& path, int64_t unixTime) override {
        struct timespec times[2];
        times[0].tv_sec = 0;
        times[0].tv_nsec = UTIME_OMIT;
        times[1].tv_sec = static_cast<time_t>(unixTime);
        times[1].tv_nsec = 0;
        if (::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0)
            throw FileError(errno, path, "cannot set the date of");
    }
    void SetReadOnly(const std::string& path, bool readOnly) override {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0) throw FileError(errno, path, "cannot set the attributes of");
        if (S_ISLNK(st.st_mode)) return; // never through a symbolic link
        mode_t mode = st.st_mode & 07777;
        mode = readOnly ? (mode & ~(S_IWUSR | S_IWGRP | S_IWOTH)) : (mode | S_IWUSR);
        if (::chmod(path.c_str(), mode) != 0) throw FileError(errno, path, "cannot set the attributes of");
    }

    void SetPermissions(const std::string& path, uint32_t mode) override {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0) throw FileError(errno, path, "cannot set the permissions of");
        if (S_ISLNK(st.st_mode)) return;
        if (::chmod(path.c_str(), static_cast<mode_t>(mode & 07777)) != 0)
            throw FileError(errno, path, "cannot set the permissions of");
    }
    uint32_t DefaultFileMode() override {
        // umask can only be read by setting it; the engines run on one thread.
        mode_t mask = ::umask(022);
        ::umask(mask);
        return 0666u & ~static_cast<uint32_t>(mask);
    }

    std::string TempDirectory() override {
        const char* t = std::getenv("TMPDIR");
        return (t && *t) ? std::string(t) : std::string("/tmp");
    }

    std::unique_ptr<File> CreateTempFile(const std::string& dir, const std::string& prefix) override {
        std::string tmpl = JoinPath(dir.empty() ? TempDirectory() : dir, prefix + "XXXXXX");
        std::vector<char> buf(tmpl.begin(), tmpl.end());
        buf.push_back('\0');
        int fd = ::mkostemp(buf.data(), O_CLOEXEC);
        if (fd < 0) throw FileError(errno, tmpl, "cannot create a temporary file");
        return std::make_unique<PosixFile>(fd, std::string(buf.data()));
    }

    std::string CreateTempDirectory(const std::string& dir, const std::string& prefix) override {
        std::string tmpl = JoinPath(dir.empty() ? TempDirectory() : dir, prefix + "XXXXXX");
        std::vector<char> buf(tmpl.begin(), tmpl.end());
        buf.push_back('\0');
        if (!::mkdtemp(buf.data())) throw FileError(errno, tmpl, "cannot create a temporary folder");
        return buf.data();
    }

    bool GetVolumeInfo(const std::string& path, VolumeInfo& info, int& errorCode) override {
        info = VolumeInfo{};
        errorCode = 0;
        if (path.empty()) {
            errorCode = ENOENT;
            info.Kind = DriveKind::NoRoot;
            return false;
        }
        std::string resolved = ResolvePath(path);
        MountEntry m;
        if (resolved.empty() || !FindMount(resolved, m)) {
            errorCode = ENOENT;
            info.Kind = DriveKind::NoRoot;
            return false;
        }
        info.MountPoint = m.mountPoint;
        info.FileSystemName = m.fsType;
        info.FileSystemFlags = 0x1 | 0x2 | 0x4;
        if (m.readOnly) info.FileSystemFlags |= 0x80000;
        info.Kind = KindOf(m);
        // A network file system is not asked anything more: a server that does not
        // answer would block here.
        if (info.Kind == DriveKind::Remote) return true;
        struct statvfs vfs;
        if (::statvfs(m.mountPoint.c_str(), &vfs) != 0) {
            errorCode = errno;
            return false;
        }
        info.MaxComponentLength = static_cast<uint32_t>(vfs.f_namemax);
        if (vfs.f_flag & ST_RDONLY) info.FileSystemFlags |= 0x80000;
        info.Label = FindDiskLink("/dev/disk/by-label", m);
        info.Uuid = FindDiskLink("/dev/disk/by-uuid", m);
        info.Serial = SerialFromUuid(info.Uuid);
        return true;
    }

    bool GetSpace(const std::string& path, SpaceInfo& space, int& errorCode) override {
        space = SpaceInfo{};
        errorCode = 0;
        std::string resolved = ResolvePath(path);
        struct statvfs vfs;
        if (resolved.empty() || ::statvfs(resolved.c_str(), &vfs) != 0) {
            errorCode = resolved.empty() ? ENOENT : errno;
            return false;
        }
        space.BlockSize = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
        space.TotalBlocks = vfs.f_blocks;
        space.FreeBlocks = vfs.f_bavail;
        space.TotalBytes = space.BlockSize * space.TotalBlocks;
        space.FreeBytes = space.BlockSize * space.FreeBlocks;
        return true;
    }

    bool SetVolumeLabel(const std::string&, const std::string&, int& errorCode) override {
        errorCode = EPERM;
        return false;
    }
};

} // namespace

FileSystem& FileSystem::Real() {
    static RealFileSystem real;
    return real;
}

} // namespace mv::platform
