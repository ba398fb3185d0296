// The real file system: POSIX calls, /proc/self/mountinfo, sysfs and
// /dev/disk for the drive questions.
#include "platform/FileSystem.h"
#include "platform/MountTable.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <unordered_map>

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
    void LinkAs(const std::string& target) override {
        CheckOpen();
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) != 0)
            throw FileError(errno, target, "cannot give a name to");
        path = target;
    }
    void SetModTime(int64_t unixTime) override {
        CheckOpen();
        struct timespec times[2];
        times[0].tv_sec = 0;
        times[0].tv_nsec = UTIME_OMIT;
        times[1].tv_sec = static_cast<time_t>(unixTime);
        times[1].tv_nsec = 0;
        if (::futimens(fd, times) != 0) throw FileError(errno, path, "cannot set the date of");
    }
    void SetPermissions(uint32_t mode) override {
        CheckOpen();
        if (::fchmod(fd, static_cast<mode_t>(mode & 07777)) != 0)
            throw FileError(errno, path, "cannot set the permissions of");
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

// The resolved absolute form of a path, or of its nearest existing ancestor.
std::string ResolvePath(const std::string& path) {
    std::string p = path.empty() ? std::string(".") : path;
    for (;;) {
        char buf[PATH_MAX];
        if (::realpath(p.c_str(), buf)) return std::string(buf);
        std::string parent = DirectoryOf(p);
        if (parent.empty()) parent.push_back('.');
        if (parent == p) return std::string();
        p.swap(parent);
    }
}

bool SameDevice(const std::string& link, const MountEntry& m) {
    struct stat st;
    if (::stat(link.c_str(), &st) == 0 && S_ISBLK(st.st_mode) && m.Major != 0 &&
        major(st.st_rdev) == m.Major && minor(st.st_rdev) == m.Minor)
        return true;
    char a[PATH_MAX], b[PATH_MAX];
    return !m.Source.empty() && m.Source[0] == '/' && ::realpath(link.c_str(), a) &&
           ::realpath(m.Source.c_str(), b) && std::strcmp(a, b) == 0;
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

// The components of a relative path below a root; false when one is empty,
// "." or "..", or the path is absolute.
bool SplitBeneath(const std::string& relative, std::vector<std::string>& parts) {
    parts.clear();
    if (relative.empty() || relative[0] == '/') return false;
    size_t start = 0;
    for (;;) {
        size_t slash = relative.find('/', start);
        std::string part =
            relative.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (part.empty() || part == "." || part == "..") return false;
        parts.push_back(std::move(part));
        if (slash == std::string::npos) return true;
        start = slash + 1;
    }
}

// Descends from root through the folders of parts (all but the last), never
// following a symbolic link; answers the descriptor of the last folder.
int OpenFolderChain(const std::string& root, const std::vector<std::string>& parts, size_t count, bool create,
                    const std::string& shown) {
    int dir = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) throw FileError(errno, root, "cannot open the folder");
    for (size_t i = 0; i < count; ++i) {
        int next = ::openat(dir, parts[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0 && errno == ENOENT && create) {
            if (::mkdirat(dir, parts[i].c_str(), 0777) != 0 && errno != EEXIST) {
                int err = errno;
                ::close(dir);
                throw FileError(err, shown, "cannot create the folder");
            }
            next = ::openat(dir, parts[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        }
        int err = errno;
        ::close(dir);
        if (next < 0) throw FileError(err, shown, "cannot open the folder of");
        dir = next;
    }
    return dir;
}

// Only regular files are opened (a folder, pipe or device is refused); the
// descriptor is switched back to blocking reads and writes.
std::unique_ptr<File> Checked(int fd, const std::string& path) {
    struct stat st;
    int statResult = ::fstat(fd, &st);
    if (statResult != 0 || !S_ISREG(st.st_mode)) {
        int err = statResult != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        throw FileError(err, path, "cannot open (not a regular file)");
    }
    int fl = ::fcntl(fd, F_GETFL);
    if (fl >= 0) ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
    return std::make_unique<PosixFile>(fd, path);
}

// The output of one extraction: the root and every folder below it that the run
// entered are held open (O_PATH), so a file's folder is reached by one lookup
// of a known descriptor, folders are made once, and no name is resolved again
// from the root. A folder is entered without following a symbolic link.
class RealOutputTree final : public OutputTree {
public:
    RealOutputTree(std::string root, int rootFd) : OutputTree(std::move(root)), rootFd(rootFd) {
        std::random_device seed;
        state = (uint64_t(seed()) << 32) ^ seed() ^ uint64_t(::getpid());
    }
    ~RealOutputTree() override {
        ForgetFolders();
        ::close(rootFd);
    }

    void CreateFolders(const std::string& relative) override { Folder(relative); }

    std::unique_ptr<File> CreateTemp(const std::string& relativeFolder, const std::string& prefix,
                                     uint32_t mode) override {
        const int dir = Folder(relativeFolder);
        const std::string folder = relativeFolder.empty() ? Root() : JoinPath(Root(), relativeFolder);
        static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        for (int attempt = 0; attempt < 1000; ++attempt) {
            std::string name = prefix;
            state = state * 6364136223846793005ull + 1442695040888963407ull;
            uint64_t bits = state >> 16;
            for (int i = 0; i < 6; ++i, bits /= 62) name += letters[bits % 62];
            const int fd = ::openat(dir, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                    static_cast<mode_t>(mode & 0777));
            if (fd >= 0) return std::make_unique<PosixFile>(fd, JoinPath(folder, name));
            if (errno != EEXIST && errno != EINTR)
                throw FileError(errno, JoinPath(folder, name), "cannot create a temporary file");
        }
        throw FileError(EEXIST, folder, "cannot create a temporary file in");
    }

    void Rename(const std::string& from, const std::string& to) override {
        const int fromDir = Folder(DirectoryOf(from));
        const int toDir = Folder(DirectoryOf(to));
        if (::renameat(fromDir, NameOf(from).c_str(), toDir, NameOf(to).c_str()) != 0)
            throw FileError(errno, JoinPath(Root(), from), "cannot rename to " + JoinPath(Root(), to) + ":");
    }

    void RemoveFile(const std::string& relative) override {
        if (::unlinkat(Folder(DirectoryOf(relative)), NameOf(relative).c_str(), 0) != 0)
            throw FileError(errno, JoinPath(Root(), relative), "cannot delete");
    }

private:
    // Descriptors kept open at most; beyond them the known folders are let go
    // and entered again when needed.
    static constexpr size_t kMaxOpenFolders = 256;

    int Folder(const std::string& relative) {
        if (relative.empty()) return rootFd;
        if (auto it = folders.find(relative); it != folders.end()) return it->second;
        if (folders.size() >= kMaxOpenFolders) ForgetFolders();
        return Enter(relative);
    }

    int Enter(const std::string& relative) {
        if (relative.empty()) return rootFd;
        if (auto it = folders.find(relative); it != folders.end()) return it->second;
        const std::string name = NameOf(relative);
        const std::string shown = JoinPath(Root(), relative);
        if (relative[0] == '/' || name.empty() || name == "." || name == "..")
            throw FileError(EINVAL, shown, "refused to open");
        const int parent = Enter(DirectoryOf(relative));
        const int flags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
        int fd = ::openat(parent, name.c_str(), flags);
        if (fd < 0 && errno == ENOENT) {
            if (::mkdirat(parent, name.c_str(), 0777) != 0 && errno != EEXIST)
                throw FileError(errno, shown, "cannot create the folder");
            fd = ::openat(parent, name.c_str(), flags);
        }
        if (fd < 0) throw FileError(errno, shown, "cannot open the folder of");
        folders.emplace(relative, fd);
        return fd;
    }

    void ForgetFolders() {
        for (const auto& f : folders) ::close(f.second);
        folders.clear();
    }

    int rootFd;
    std::unordered_map<std::string, int> folders;
    uint64_t state = 0;
};

class RealFileSystem final : public FileSystem {
public:
    std::unique_ptr<OutputTree> OpenOutputTree(const std::string& root) override {
        const int fd = ::open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) throw FileError(errno, root, "cannot open the folder");
        return std::make_unique<RealOutputTree>(root, fd);
    }

    std::unique_ptr<File> OpenBeneath(const std::string& root, const std::string& relative, OpenMode mode,
                                      bool createFolders) override {
        std::string shown = JoinPath(root, relative);
        std::vector<std::string> parts;
        if (!SplitBeneath(relative, parts)) throw FileError(EINVAL, shown, "refused to open");
        int dir = OpenFolderChain(root, parts, parts.size() - 1, createFolders, shown);
        int flags = O_CLOEXEC | O_NOFOLLOW;
        switch (mode) {
        case OpenMode::Read:
            flags |= O_RDONLY;
            break;
        case OpenMode::ReadWrite:
            flags |= O_RDWR;
            break;
        case OpenMode::CreateTruncate:
            flags |= O_RDWR | O_CREAT | O_TRUNC;
            break;
        case OpenMode::CreateNew:
            flags |= O_RDWR | O_CREAT | O_EXCL;
            break;
        }
        int fd;
        do {
            fd = ::openat(dir, parts.back().c_str(), flags | O_NONBLOCK, 0666);
        } while (fd < 0 && errno == EINTR);
        int err = errno;
        ::close(dir);
        if (fd < 0) throw FileError(err, shown, "cannot open");
        return Checked(fd, shown);
    }

    void CreateDirectoriesBeneath(const std::string& root, const std::string& relative) override {
        std::string shown = JoinPath(root, relative);
        std::vector<std::string> parts;
        if (!SplitBeneath(relative, parts)) throw FileError(EINVAL, shown, "refused to create");
        ::close(OpenFolderChain(root, parts, parts.size(), true, shown));
    }

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
            // Not blocking, so that a named pipe given as an archive cannot hang the open.
            fd = ::open(path.c_str(), flags | O_NONBLOCK, 0666);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) throw FileError(errno, path, "cannot open");
        return Checked(fd, path);
    }

    bool Stat(const std::string& path, FileInfo& info) override {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0) return false;
        FillInfo(NameOf(path), st, info);
        return true;
    }

    bool StatTarget(const std::string& path, FileInfo& info) override {
        struct stat st;
        if (::stat(path.c_str(), &st) != 0) return false;
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

    std::unique_ptr<File> CreateUnnamedFile(const std::string& dir) override {
        struct stat st;
        if (::stat("/proc/self/fd", &st) != 0) return nullptr; // no way to name it later
        const std::string folder = dir.empty() ? TempDirectory() : dir;
        int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (fd < 0) return nullptr;
        return std::make_unique<PosixFile>(fd, JoinPath(folder, "(unnamed)"));
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
        if (resolved.empty() || !FindMount(ReadMountTable(), resolved, m)) {
            errorCode = ENOENT;
            info.Kind = DriveKind::NoRoot;
            return false;
        }
        info.MountPoint = m.MountPoint;
        info.FileSystemName = m.FileSystemName;
        info.FileSystemFlags = 0x1 | 0x2 | 0x4;
        if (m.ReadOnly) info.FileSystemFlags |= 0x80000;
        info.Kind = KindOfMount(m, "/sys");
        // A network file system is not asked anything more: a server that does not
        // answer would block here.
        if (info.Kind == DriveKind::Remote) return true;
        struct statvfs vfs;
        if (::statvfs(m.MountPoint.c_str(), &vfs) != 0) {
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
