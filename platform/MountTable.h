#pragma once
// How the real file system answers the drive questions: the mount table
// (/proc/self/mountinfo), the removable flag of block devices in sysfs, and the
// names of /dev/disk/by-label and by-uuid. Split out of the real file system so
// that the tests can feed it tables and sysfs trees of their own.
#include "platform/FileSystem.h"

#include <string>
#include <vector>

namespace mv::platform {

struct MountEntry {
    std::string MountPoint;
    std::string FileSystemName;
    std::string Source;
    unsigned Major = 0;
    unsigned Minor = 0;
    bool ReadOnly = false;
};

// The entries of a mountinfo text, in order, with the octal escapes ("\040") undone.
std::vector<MountEntry> ParseMountInfo(const std::string& text);
// The mount table of this process (empty when it cannot be read).
std::vector<MountEntry> ReadMountTable();
// The mount that holds an absolute, resolved path: the longest mount point that
// is a prefix of it (of equal ones the last listed, which hides the others).
bool FindMount(const std::vector<MountEntry>& table, const std::string& path, MountEntry& found);
// The removable flag of block device major:minor under a sysfs root ("/sys");
// a partition answers for its disk.
bool IsRemovableDevice(const std::string& sysRoot, unsigned major, unsigned minor);
// Remote for network file systems, CD-ROM for iso9660/udf, RAM disk for tmpfs and
// ramfs, removable by the sysfs flag, else fixed.
DriveKind KindOfMount(const MountEntry& mount, const std::string& sysRoot);
// Undoes the "\x20" escapes of /dev/disk/by-label names.
std::string UnescapeHex(const std::string& s);
// The first 8 hexadecimal digits of a file-system UUID ("ABCD-1234" -> 0xABCD1234).
uint32_t SerialFromUuid(const std::string& uuid);

} // namespace mv::platform
