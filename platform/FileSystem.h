#pragma once
// The file-system and drive layer. Everything above platform/ reaches files,
// folders and drives only through the FileSystem interface below, so that the
// tests can put a fake drive or an injected fault in place of the real system
// (see FakeFileSystem.h).
//
// Paths are UTF-8 with "/" separators. Positions and sizes are 64-bit. Every
// failure raises FileError with the system's error number, except where a
// function says it answers false.
#include "platform/TempFileGuard.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace mv::platform {

// A failure of the file system: the system error number (errno) and the path.
class FileError : public std::runtime_error {
public:
    FileError(int code, const std::string& path, const std::string& what);
    int Code() const { return FCode; }
    const std::string& Path() const { return FPath; }

private:
    int FCode;
    std::string FPath;
};

// The text the system gives for an error number.
std::string ErrorText(int code);

// DOS attribute bits as the archive formats store them.
enum : uint8_t {
    faReadOnly = 0x01,
    faHidden = 0x02,
    faSysFile = 0x04,
    faVolumeID = 0x08,
    faDirectory = 0x10,
    faArchive = 0x20,
};

// What the file system says about one name (symbolic links are not followed).
struct FileInfo {
    uint64_t Size = 0;
    int64_t ModTime = 0;    // seconds since 1970-01-01 UTC
    uint32_t Mode = 0;      // unix permission and type bits
    uint8_t Attributes = 0; // DOS attributes (DosAttributes below)
    bool IsDirectory = false;
    bool IsSymlink = false;
    bool IsRegular = false;
};

// DOS attributes of a name: folder 0x10; read-only when the owner may not
// write; hidden for names that begin with "."; archive on every file; system never.
uint8_t DosAttributes(const std::string& name, uint32_t mode);

struct DirEntry {
    std::string Name; // the name alone, without the folder
    FileInfo Info;
};

// DOS mask matching for enumeration: "*" any run, "?" one character (a whole
// UTF-8 character), ASCII letters compare without case; "*.*" and "*" match every
// name, "name." matches only names without an extension, and "name.*" also matches
// "name" alone. Runs in O(mask x name) time at worst, whatever the mask.
bool MatchesDosMask(const std::string& mask, const std::string& name);

enum class OpenMode {
    Read,           // existing file, read only
    ReadWrite,      // existing file, read and write
    CreateTruncate, // create or empty, read and write; never through a symbolic link
    CreateNew,      // create, failing when the name exists; never through a symbolic link
};

// An open file. Reads and writes move the position; Close reports every failure
// of the last writes. The destructor closes an open file without reporting.
class File {
public:
    virtual ~File() = default;
    // Reads up to count bytes; fewer only at the end of the file.
    virtual size_t Read(void* buffer, size_t count) = 0;
    // Writes all count bytes or raises (a full disk raises ENOSPC, never a short write).
    virtual void Write(const void* buffer, size_t count) = 0;
    virtual void Seek(int64_t position) = 0;
    virtual int64_t Position() const = 0;
    virtual int64_t Size() = 0;
    virtual void SetSize(int64_t size) = 0;
    // Pushes the written data to the medium (fsync).
    virtual void Flush() = 0;
    // Closes; raises when the close fails. A second call does nothing.
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    virtual const std::string& Path() const = 0;

    // Gives a file made by CreateUnnamedFile the name path, which must not exist
    // yet (EEXIST). Other files raise ENOTSUP.
    virtual void LinkAs(const std::string& path);
    // Sets the file's modification time (the real file sets it on the open file;
    // the next write would move it again).
    virtual void SetModTime(int64_t unixTime);
    // Sets the permission bits of the open file.
    virtual void SetPermissions(uint32_t mode);

    // Reads exactly count bytes or raises FileError(EIO) at the end of the file.
    void ReadExact(void* buffer, size_t count);
    // Reads up to count bytes at position (moves the position).
    size_t ReadAt(int64_t position, void* buffer, size_t count);
};

// The output of one extraction below a root folder. The folders it makes or
// enters stay known for its lifetime (the real one keeps them open), so each
// path component is checked, and made when missing, once per run and never
// through a symbolic link; a file is written under a new temporary name in
// its folder and put in place by one rename. Names are relative to the root,
// with "/" separators, and follow the rules of FileSystem::OpenBeneath.
class OutputTree {
public:
    explicit OutputTree(std::string root) : root(std::move(root)) {}
    virtual ~OutputTree() = default;
    OutputTree(const OutputTree&) = delete;
    OutputTree& operator=(const OutputTree&) = delete;
    const std::string& Root() const { return root; }

    // Makes every missing folder of relative.
    virtual void CreateFolders(const std::string& relative);
    // A new, empty file with a temporary name ("<prefix>" and six characters)
    // in the folder relativeFolder ("" for the root), its folders made first;
    // mode: its permission bits, the umask already applied by the caller.
    // File::Path() is its full name.
    virtual std::unique_ptr<File> CreateTemp(const std::string& relativeFolder, const std::string& prefix,
                                             uint32_t mode);
    // Renames within one folder: from and to are names relative to the root
    // whose folders match; a file at `to` is replaced.
    virtual void Rename(const std::string& from, const std::string& to);
    virtual void RemoveFile(const std::string& relative);

private:
    std::string root;
};

// What kind of drive holds a path.
enum class DriveKind {
    Unknown,
    NoRoot, // the path leads to no mounted file system
    Removable,
    Fixed,
    Remote,
    CdRom,
    RamDisk,
};

// The file system that holds a path.
struct VolumeInfo {
    std::string MountPoint;
    std::string FileSystemName; // "ext4", "vfat", ...
    std::string Label;          // empty when the volume has none
    std::string Uuid;           // empty when the volume has none
    uint32_t Serial = 0;        // first 8 hex digits of the UUID ("ABCD-1234" -> 0xABCD1234); 0 when none
    uint32_t MaxComponentLength = 255;
    uint32_t FileSystemFlags = 0; // 0x1 case-sensitive, 0x2 case preserved, 0x4 unicode, 0x80000 read-only
    DriveKind Kind = DriveKind::Unknown;
};

struct SpaceInfo {
    uint64_t BlockSize = 0;
    uint64_t TotalBlocks = 0;
    uint64_t FreeBlocks = 0; // available to this user
    uint64_t TotalBytes = 0;
    uint64_t FreeBytes = 0;
};

// The injectable interface. Current() is the one the system uses; tests install
// another with ScopedFileSystem.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    virtual std::unique_ptr<File> Open(const std::string& path, OpenMode mode) = 0;
    // False when the name does not exist (or cannot be reached); raises on nothing.
    virtual bool Stat(const std::string& path, FileInfo& info) = 0;
    // As Stat, but a symbolic link answers for what it leads to (false when it
    // leads nowhere). Without an override it is Stat.
    virtual bool StatTarget(const std::string& path, FileInfo& info) { return Stat(path, info); }
    // Every entry of a folder except "." and "..", in no particular order.
    virtual std::vector<DirEntry> ListDirectory(const std::string& path) = 0;
    virtual void CreateDirectory(const std::string& path) = 0; // raises EEXIST when it exists

    // For extraction: opens root + "/" + relative without following any symbolic
    // link below root, and without leaving it. relative uses "/" and must not be
    // absolute nor hold "." or ".." or empty components (EINVAL); a symbolic link
    // on the way raises ELOOP (or ENOTDIR). With createFolders the missing folders
    // on the way are made. File::Path() is root + "/" + relative.
    virtual std::unique_ptr<File> OpenBeneath(const std::string& root, const std::string& relative,
                                              OpenMode mode, bool createFolders) = 0;
    // Makes every missing folder of root + "/" + relative under the same rules.
    virtual void CreateDirectoriesBeneath(const std::string& root, const std::string& relative) = 0;
    // The output of an extraction below root (which must exist). Without an
    // override it works through the calls of this interface.
    virtual std::unique_ptr<OutputTree> OpenOutputTree(const std::string& root);
    virtual void RemoveFile(const std::string& path) = 0;
    virtual void RemoveDirectory(const std::string& path) = 0; // empty folders only
    virtual void Rename(const std::string& from, const std::string& to) = 0;
    virtual void SetModTime(const std::string& path, int64_t unixTime) = 0;
    // Read-only clears every write bit; writable gives the owner write permission back.
    virtual void SetReadOnly(const std::string& path, bool readOnly) = 0;
    // Sets the unix permission bits (never through a symbolic link).
    virtual void SetPermissions(const std::string& path, uint32_t mode) = 0;
    // The permission bits a new file gets (0666 less the umask).
    virtual uint32_t DefaultFileMode() = 0;

    // $TMPDIR, else "/tmp".
    virtual std::string TempDirectory() = 0;
    // A new file "<dir>/<prefix>XXXXXX" made by mkstemp (dir empty: TempDirectory());
    // the open descriptor is used, the name is never reopened. File::Path() gives the name.
    virtual std::unique_ptr<File> CreateTempFile(const std::string& dir, const std::string& prefix) = 0;
    // A new file without a name in dir (O_TMPFILE): it vanishes when closed, or
    // when the process dies, unless File::LinkAs names it. Null when the file
    // system cannot make one (the caller then uses CreateTempFile).
    virtual std::unique_ptr<File> CreateUnnamedFile(const std::string& dir);
    // A new folder "<dir>/<prefix>XXXXXX" made by mkdtemp; answers its path.
    virtual std::string CreateTempDirectory(const std::string& dir, const std::string& prefix) = 0;

    // The volume that holds path. False (with errorCode set) when it cannot be read.
    virtual bool GetVolumeInfo(const std::string& path, VolumeInfo& info, int& errorCode) = 0;
    // Total and free space of the volume that holds path (statvfs). False with errorCode on failure.
    virtual bool GetSpace(const std::string& path, SpaceInfo& space, int& errorCode) = 0;
    // Writing a volume label needs privileges this system does not ask for: the real
    // file system always answers false with errorCode EPERM.
    virtual bool SetVolumeLabel(const std::string& path, const std::string& label, int& errorCode) = 0;

    // The file system in use; the real one unless a test installed another.
    static FileSystem& Current();
    // The real file system.
    static FileSystem& Real();
};

// Installs a file system as Current() for the lifetime of this object.
class ScopedFileSystem {
public:
    explicit ScopedFileSystem(FileSystem& fs);
    ~ScopedFileSystem();
    ScopedFileSystem(const ScopedFileSystem&) = delete;
    ScopedFileSystem& operator=(const ScopedFileSystem&) = delete;

private:
    FileSystem* previous;
};

// --- Routines over FileSystem::Current() ---

inline FileSystem& Fs() {
    return FileSystem::Current();
}

// The folder part of a path ("" for a bare name, "/" for "/x").
std::string DirectoryOf(const std::string& path);
// The name part of a path.
std::string NameOf(const std::string& path);
// a + "/" + b, without doubling the "/".
std::string JoinPath(const std::string& a, const std::string& b);

bool Exists(const std::string& path);
bool IsDirectory(const std::string& path);
// The entries of a folder whose names match a DOS mask, sorted by name.
std::vector<DirEntry> ListMatching(const std::string& directory, const std::string& mask);
// Removes a file or a folder with everything in it; a missing name is no error.
void RemoveTree(const std::string& path);

// Moves a finished file over target: the data of source is flushed, it takes the
// permissions of the old target (or those of a new file), then it is renamed over target. When source lies on
// another file system (EXDEV) it is copied into a temporary file beside target, flushed, renamed over target,
// and source is removed. On any failure target is left exactly as it was.
void ReplaceFile(const std::string& source, const std::string& target);

// Writes a new version of a file beside it and replaces the old one only when
// everything was written: Output() is a temporary file in the target's folder;
// Commit() gives it the permissions of the old target (or those of a new file),
// flushes, closes and renames it over the target. Destroyed without
// Commit(), or when Commit() fails, the temporary file is removed and the target
// is untouched.
class AtomicWriter {
public:
    explicit AtomicWriter(const std::string& target);
    ~AtomicWriter();
    AtomicWriter(const AtomicWriter&) = delete;
    AtomicWriter& operator=(const AtomicWriter&) = delete;

    File& Output() { return *output; }
    const std::string& TempPath() const { return tempPath; }
    void Commit();

private:
    std::string target;
    std::string tempPath;
    std::unique_ptr<File> output;
    bool committed = false;
    TempFileGuard guard; // removes the temporary file when SIGINT or SIGTERM stops the run
};

} // namespace mv::platform
