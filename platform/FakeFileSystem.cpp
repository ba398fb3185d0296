#include "platform/FakeFileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace mv::platform {

namespace {

uint64_t TreeBytes(FileSystem& fs, const std::string& dir) {
    uint64_t total = 0;
    FileInfo info;
    if (!fs.Stat(dir, info) || !info.IsDirectory) return 0;
    for (const auto& e : fs.ListDirectory(dir)) {
        if (e.Info.IsDirectory)
            total += TreeBytes(fs, JoinPath(dir, e.Name));
        else if (e.Info.IsRegular)
            total += e.Info.Size;
    }
    return total;
}

bool Inside(const std::string& path, const std::string& root) {
    return path == root || (path.size() > root.size() && path.compare(0, root.size(), root) == 0 &&
                            (root.back() == '/' || path[root.size()] == '/'));
}

} // namespace

// --- FakeDrive ---

FakeDrive::FakeDrive(std::string rootPath, uint64_t capacity, DriveKind kind, std::string label,
                     uint32_t serial)
    : root(std::move(rootPath)), capacity(capacity), kind(kind) {
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    FileSystem& fs = FileSystem::Real();
    if (!IsDirectory(root)) fs.CreateDirectory(root);
    if (!IsDirectory(root + ".media")) fs.CreateDirectory(root + ".media");
    media.push_back({std::move(label), serial});
    current = 0;
}

std::string FakeDrive::MediumStore(int number) const {
    return root + ".media/" + std::to_string(number);
}

uint64_t FakeDrive::UsedBytes() const {
    return HasMedium() ? TreeBytes(FileSystem::Real(), root) : 0;
}

uint64_t FakeDrive::FreeBytes() const {
    uint64_t used = UsedBytes();
    return used >= capacity ? 0 : capacity - used;
}

const std::string& FakeDrive::Label() const {
    static const std::string none;
    return HasMedium() ? media[static_cast<size_t>(current)].label : none;
}

uint32_t FakeDrive::Serial() const {
    return HasMedium() ? media[static_cast<size_t>(current)].serial : 0;
}

void FakeDrive::SetLabel(const std::string& label) {
    if (HasMedium()) media[static_cast<size_t>(current)].label = label;
}

void FakeDrive::PutAside() {
    if (!HasMedium()) return;
    FileSystem::Real().Rename(root, MediumStore(current));
    current = -1;
}

int FakeDrive::SwapMedium(const std::string& label, uint32_t serial) {
    PutAside();
    media.push_back({label, serial});
    FileSystem::Real().CreateDirectory(root);
    current = static_cast<int>(media.size()) - 1;
    return current;
}

void FakeDrive::InsertMedium(int number) {
    if (number < 0 || number >= static_cast<int>(media.size()) || number == current) return;
    PutAside();
    FileSystem::Real().Rename(MediumStore(number), root);
    current = number;
}

void FakeDrive::EjectMedium() {
    PutAside();
}

int FakeDrive::TakeVolumeReadFailure() {
    if (volumeReadFailures <= 0) return 0;
    --volumeReadFailures;
    return EIO;
}

// --- the file wrapper that applies capacity and faults ---

class FaultyFile final : public File {
public:
    FaultyFile(FakeFileSystem& owner, std::unique_ptr<File> inner) : owner(owner), inner(std::move(inner)) {}

    size_t Read(void* buffer, size_t count) override {
        auto limit = owner.readLimits.find(Path());
        if (limit != owner.readLimits.end()) {
            uint64_t pos = static_cast<uint64_t>(inner->Position());
            if (count > 0 && pos >= limit->second) throw FileError(EIO, Path(), "cannot read");
            count = static_cast<size_t>(std::min<uint64_t>(count, limit->second - pos));
        }
        if (owner.readBudget) {
            if (*owner.readBudget == 0) throw FileError(EIO, Path(), "cannot read");
            count = static_cast<size_t>(std::min<uint64_t>(count, *owner.readBudget));
        }
        size_t n = inner->Read(buffer, count);
        if (owner.readBudget) *owner.readBudget -= n;
        return n;
    }

    void Write(const void* buffer, size_t count) override {
        uint64_t allowed = count;
        if (owner.writeBudget) allowed = std::min<uint64_t>(allowed, *owner.writeBudget);
        if (FakeDrive* drive = owner.DriveOf(Path())) {
            // Only growth of the file takes space on the drive.
            int64_t size = inner->Size();
            int64_t end = inner->Position() + static_cast<int64_t>(count);
            uint64_t growth = end > size ? static_cast<uint64_t>(end - size) : 0;
            uint64_t free = growth ? drive->FreeBytes() : 0;
            if (growth > free) allowed = std::min<uint64_t>(allowed, count - (growth - free));
        }
        if (allowed > 0) inner->Write(buffer, static_cast<size_t>(allowed));
        if (owner.writeBudget) *owner.writeBudget -= allowed;
        if (allowed < count) throw FileError(ENOSPC, Path(), "cannot write");
    }

    void Seek(int64_t position) override { inner->Seek(position); }
    int64_t Position() const override { return inner->Position(); }
    int64_t Size() override { return inner->Size(); }
    void SetSize(int64_t size) override { inner->SetSize(size); }
    void Flush() override {
        if (owner.failFlushes) throw FileError(EIO, Path(), "cannot flush");
        inner->Flush();
    }
    void Close() override {
        if (owner.failFlushes && inner->IsOpen()) {
            inner->Close();
            throw FileError(EIO, Path(), "cannot close");
        }
        inner->Close();
    }
    bool IsOpen() const override { return inner->IsOpen(); }
    const std::string& Path() const override { return inner->Path(); }

private:
    FakeFileSystem& owner;
    std::unique_ptr<File> inner;
};

// --- FakeFileSystem ---

FakeFileSystem::FakeFileSystem() : real(FileSystem::Real()) {}
FakeFileSystem::~FakeFileSystem() = default;

FakeDrive& FakeFileSystem::AddDrive(const std::string& root, uint64_t capacity, DriveKind kind,
                                    const std::string& label, uint32_t serial) {
    drives.push_back(std::make_unique<FakeDrive>(root, capacity, kind, label, serial));
    return *drives.back();
}

FakeDrive* FakeFileSystem::DriveOf(const std::string& path) {
    FakeDrive* best = nullptr;
    for (auto& d : drives)
        if (Inside(path, d->Root()) && (!best || d->Root().size() > best->Root().size())) best = d.get();
    return best;
}

void FakeFileSystem::ClearFaults() {
    readLimits.clear();
    openFailures.clear();
    writeBudget.reset();
    readBudget.reset();
    failRenames = false;
    failFlushes = false;
}

std::unique_ptr<File> FakeFileSystem::Wrap(std::unique_ptr<File> inner) {
    return std::make_unique<FaultyFile>(*this, std::move(inner));
}

void FakeFileSystem::CheckMedium(const std::string& path) {
    FakeDrive* d = DriveOf(path);
    if (d && !d->HasMedium()) throw FileError(ENOMEDIUM, path, "no medium in the drive of");
}

std::unique_ptr<File> FakeFileSystem::Open(const std::string& path, OpenMode mode) {
    CheckMedium(path);
    auto failure = openFailures.find(path);
    if (failure != openFailures.end()) throw FileError(failure->second, path, "cannot open");
    return Wrap(real.Open(path, mode));
}
std::unique_ptr<File> FakeFileSystem::OpenBeneath(const std::string& root, const std::string& relative,
                                                  OpenMode mode, bool createFolders) {
    std::string path = JoinPath(root, relative);
    CheckMedium(path);
    auto failure = openFailures.find(path);
    if (failure != openFailures.end()) throw FileError(failure->second, path, "cannot open");
    return Wrap(real.OpenBeneath(root, relative, mode, createFolders));
}
void FakeFileSystem::CreateDirectoriesBeneath(const std::string& root, const std::string& relative) {
    CheckMedium(JoinPath(root, relative));
    real.CreateDirectoriesBeneath(root, relative);
}
bool FakeFileSystem::Stat(const std::string& path, FileInfo& info) {
    FakeDrive* d = DriveOf(path);
    if (d && !d->HasMedium()) return false;
    return real.Stat(path, info);
}
std::vector<DirEntry> FakeFileSystem::ListDirectory(const std::string& path) {
    CheckMedium(path);
    return real.ListDirectory(path);
}
void FakeFileSystem::CreateDirectory(const std::string& path) {
    CheckMedium(path);
    real.CreateDirectory(path);
}
void FakeFileSystem::RemoveFile(const std::string& path) {
    CheckMedium(path);
    real.RemoveFile(path);
}
void FakeFileSystem::RemoveDirectory(const std::string& path) {
    CheckMedium(path);
    real.RemoveDirectory(path);
}
void FakeFileSystem::Rename(const std::string& from, const std::string& to) {
    CheckMedium(from);
    CheckMedium(to);
    if (failRenames) throw FileError(EIO, from, "cannot rename to " + to + ":");
    // Two fake drives, or a fake drive and the rest, are different file systems.
    if (DriveOf(from) != DriveOf(to)) throw FileError(EXDEV, from, "cannot rename to " + to + ":");
    real.Rename(from, to);
}
void FakeFileSystem::SetModTime(const std::string& path, int64_t unixTime) {
    real.SetModTime(path, unixTime);
}
void FakeFileSystem::SetReadOnly(const std::string& path, bool readOnly) {
    real.SetReadOnly(path, readOnly);
}
void FakeFileSystem::SetPermissions(const std::string& path, uint32_t mode) {
    real.SetPermissions(path, mode);
}
uint32_t FakeFileSystem::DefaultFileMode() {
    return real.DefaultFileMode();
}
std::string FakeFileSystem::TempDirectory() {
    return real.TempDirectory();
}
std::unique_ptr<File> FakeFileSystem::CreateTempFile(const std::string& dir, const std::string& prefix) {
    CheckMedium(dir);
    return Wrap(real.CreateTempFile(dir, prefix));
}
std::string FakeFileSystem::CreateTempDirectory(const std::string& dir, const std::string& prefix) {
    return real.CreateTempDirectory(dir, prefix);
}

bool FakeFileSystem::GetVolumeInfo(const std::string& path, VolumeInfo& info, int& errorCode) {
    FakeDrive* d = DriveOf(path);
    if (!d) return real.GetVolumeInfo(path, info, errorCode);
    info = VolumeInfo{};
    errorCode = d->TakeVolumeReadFailure();
    if (errorCode) return false;
    if (!d->HasMedium()) {
        errorCode = ENOMEDIUM;
        return false;
    }
    info.MountPoint = d->Root();
    info.FileSystemName = d->Kind() == DriveKind::Remote ? "nfs" : "vfat";
    info.Label = d->Label();
    info.Serial = d->Serial();
    char uuid[16];
    std::snprintf(uuid, sizeof uuid, "%04X-%04X", d->Serial() >> 16, d->Serial() & 0xFFFF);
    info.Uuid = uuid;
    info.MaxComponentLength = 255;
    info.FileSystemFlags = 0x2 | 0x4;
    info.Kind = d->Kind();
    return true;
}

bool FakeFileSystem::GetSpace(const std::string& path, SpaceInfo& space, int& errorCode) {
    FakeDrive* d = DriveOf(path);
    if (!d) return real.GetSpace(path, space, errorCode);
    space = SpaceInfo{};
    errorCode = 0;
    if (!d->HasMedium()) {
        errorCode = ENOMEDIUM;
        return false;
    }
    space.BlockSize = 512;
    space.TotalBytes = d->Capacity();
    space.FreeBytes = d->FreeBytes();
    space.TotalBlocks = space.TotalBytes / 512;
    space.FreeBlocks = space.FreeBytes / 512;
    return true;
}

bool FakeFileSystem::SetVolumeLabel(const std::string& path, const std::string& label, int& errorCode) {
    FakeDrive* d = DriveOf(path);
    if (!d) return real.SetVolumeLabel(path, label, errorCode);
    errorCode = 0;
    if (!d->HasMedium()) {
        errorCode = ENOMEDIUM;
        return false;
    }
    if (!d->LabelWritable()) {
        errorCode = EPERM;
        return false;
    }
    d->SetLabel(label);
    return true;
}

} // namespace mv::platform
