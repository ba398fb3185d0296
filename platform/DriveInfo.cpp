#include "platform/DriveInfo.h"

#include <cerrno>

namespace mv::platform {
namespace {

bool Searchable(const std::string& path) {
    FileInfo info;
    // The owner's, group's or others' search bit, as the user of a desktop program
    // normally owns or may enter the folders it works in; a fake file system answers
    // through its own Stat.
    if (!Fs().StatTarget(path, info) || !info.IsDirectory) return false;
    return (info.Mode & 0111) != 0;
}

} // namespace

bool DriveAvailable(const std::string& path) {
    if (path.empty() || path[0] != '/') return false;
    // The drive of a path is asked through the path, or, while it does not exist (a file
    // still to be written), through its nearest existing folder.
    std::string probe = path;
    VolumeInfo volume;
    int error = 0;
    while (!Fs().GetVolumeInfo(probe, volume, error)) {
        if ((error != ENOENT && error != ENOTDIR) || probe.size() <= 1) return false;
        probe = DirectoryOf(probe);
    }
    return volume.Kind != DriveKind::NoRoot && Searchable(volume.MountPoint.empty() ? "/" : volume.MountPoint);
}

bool FolderAvailable(const std::string& path) {
    if (path.empty()) return false;
    try {
        if (!Searchable(path)) return false;
        // A folder on a drive without its medium cannot be entered.
        VolumeInfo volume;
        int error = 0;
        return Fs().GetVolumeInfo(path, volume, error);
    } catch (const FileError&) {
        return false;
    }
}

DriveKind DriveKindOf(const std::string& path) {
    VolumeInfo volume;
    int error = 0;
    if (path.empty() || !Fs().GetVolumeInfo(path, volume, error)) return DriveKind::NoRoot;
    return volume.Kind;
}

uint64_t DriveFreeBytes(const std::string& path) {
    SpaceInfo space;
    int error = 0;
    if (path.empty() || !Fs().GetSpace(path, space, error)) return 0;
    return space.FreeBytes;
}

std::string PathWithoutDrive(const std::string& path) {
    size_t start = 0;
    while (start < path.size() && path[start] == '/') ++start;
    return path.substr(start);
}

} // namespace mv::platform
