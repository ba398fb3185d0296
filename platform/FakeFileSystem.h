#pragma once
// A file system for tests: the real one, plus fake drives and injected faults.
// A fake drive is a real folder that stands for a drive's mount point, with a
// capacity, a kind (removable, fixed, remote), and a medium that has a label and
// a serial and can be swapped for another; with no medium in it, its files
// cannot be reached (ENOMEDIUM). Faults: no space after N bytes written, read
// errors after N bytes read (or from an offset of one file on), files that
// cannot be opened, failing renames and flushes.
// Paths belong to a fake drive when they begin with its root (absolute paths, as
// given; the first medium is number 0). The media put aside live in the folder
// "<root>.media". Install it with ScopedFileSystem so that everything above uses it.
#include "platform/FileSystem.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace mv::platform {

class FakeDrive {
public:
    // root: the folder that stands for the mount point (created when missing),
    // holding a first medium with the given label and serial.
    FakeDrive(std::string root, uint64_t capacity, DriveKind kind, std::string label, uint32_t serial);

    const std::string& Root() const { return root; }
    uint64_t Capacity() const { return capacity; }
    void SetCapacity(uint64_t bytes) { capacity = bytes; }
    DriveKind Kind() const { return kind; }
    // Bytes held by the files of the medium in the drive.
    uint64_t UsedBytes() const;
    uint64_t FreeBytes() const;

    bool HasMedium() const { return current >= 0; }
    const std::string& Label() const;
    uint32_t Serial() const;
    // Takes the medium out (kept aside) and puts a new empty one in. Answers its number.
    int SwapMedium(const std::string& label, uint32_t serial);
    // Puts a medium that was taken out back in (the one in the drive goes aside).
    void InsertMedium(int number);
    // Takes the medium out and leaves the drive empty.
    void EjectMedium();
    int CurrentMedium() const { return current; }

    // Whether SetVolumeLabel may change the label of this drive's media.
    void SetLabelWritable(bool writable) { labelWritable = writable; }
    bool LabelWritable() const { return labelWritable; }
    void SetLabel(const std::string& label);

    // The next `count` volume reads fail with EIO (a medium that cannot be read yet).
    void FailVolumeReads(int count) { volumeReadFailures = count; }
    int TakeVolumeReadFailure();

private:
    struct Medium {
        std::string label;
        uint32_t serial;
    };
    std::string MediumStore(int number) const;
    void PutAside();

    std::string root;
    uint64_t capacity;
    DriveKind kind;
    std::vector<Medium> media;
    int current = -1;
    bool labelWritable = false;
    int volumeReadFailures = 0;
};

class FakeFileSystem : public FileSystem {
public:
    FakeFileSystem();
    ~FakeFileSystem() override;

    FakeDrive& AddDrive(const std::string& root, uint64_t capacity, DriveKind kind, const std::string& label,
                        uint32_t serial);
    // The fake drive that holds a path, or nullptr.
    FakeDrive* DriveOf(const std::string& path);

    // Writes through this file system fail with ENOSPC once `bytes` more bytes were written.
    void FailWritesAfter(uint64_t bytes) { writeBudget = bytes; }
    // Reads through this file system fail with EIO once `bytes` more bytes were read.
    void FailReadsAfter(uint64_t bytes) { readBudget = bytes; }
    // Reads of one file fail with EIO from byte `offset` of that file on (what lies
    // before it reads normally).
    void FailReadsOf(const std::string& path, uint64_t offset) { readLimits[path] = offset; }
    // Opening one file (in any mode) fails with the given system error number.
    void FailOpensOf(const std::string& path, int errorCode) { openFailures[path] = errorCode; }
    void FailRenames(bool fail) { failRenames = fail; }
    void FailFlushes(bool fail) { failFlushes = fail; }
    void ClearFaults();

    std::unique_ptr<File> Open(const std::string& path, OpenMode mode) override;
    std::unique_ptr<File> OpenBeneath(const std::string& root, const std::string& relative, OpenMode mode,
                                      bool createFolders) override;
    void CreateDirectoriesBeneath(const std::string& root, const std::string& relative) override;
    bool Stat(const std::string& path, FileInfo& info) override;
    bool StatTarget(const std::string& path, FileInfo& info) override { return real.StatTarget(path, info); }
    std::vector<DirEntry> ListDirectory(const std::string& path) override;
    void CreateDirectory(const std::string& path) override;
    void RemoveFile(const std::string& path) override;
    void RemoveDirectory(const std::string& path) override;
    void Rename(const std::string& from, const std::string& to) override;
    void SetModTime(const std::string& path, int64_t unixTime) override;
    void SetReadOnly(const std::string& path, bool readOnly) override;
    void SetPermissions(const std::string& path, uint32_t mode) override;
    uint32_t DefaultFileMode() override;
    std::string TempDirectory() override;
    std::unique_ptr<File> CreateTempFile(const std::string& dir, const std::string& prefix) override;
    std::string CreateTempDirectory(const std::string& dir, const std::string& prefix) override;
    bool GetVolumeInfo(const std::string& path, VolumeInfo& info, int& errorCode) override;
    bool GetSpace(const std::string& path, SpaceInfo& space, int& errorCode) override;
    bool SetVolumeLabel(const std::string& path, const std::string& label, int& errorCode) override;

private:
    friend class FaultyFile;
    std::unique_ptr<File> Wrap(std::unique_ptr<File> inner);
    // Raises ENOMEDIUM for a path on a fake drive without a medium.
    void CheckMedium(const std::string& path);

    FileSystem& real;
    std::vector<std::unique_ptr<FakeDrive>> drives;
    std::optional<uint64_t> writeBudget;
    std::optional<uint64_t> readBudget;
    std::map<std::string, uint64_t> readLimits;
    std::map<std::string, int> openFailures;
    bool failRenames = false;
    bool failFlushes = false;
};

} // namespace mv::platform
