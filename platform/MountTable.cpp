#include "platform/MountTable.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace mv::platform {

namespace {

bool IsOctal(char c) {
    return c >= '0' && c <= '7';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string UnescapeOctal(const std::string& s) {
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

std::string ReadFirstLine(const std::string& path) {
    std::ifstream in(path);
    std::string s;
    std::getline(in, s);
    return s;
}

} // namespace

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

std::vector<MountEntry> ParseMountInfo(const std::string& text) {
    std::vector<MountEntry> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        // id parent major:minor root mount-point options [optional fields] - type source super-options
        std::istringstream ls(line);
        std::string id, parent, devno, root, mountPoint, options, field;
        if (!(ls >> id >> parent >> devno >> root >> mountPoint >> options)) continue;
        bool dash = false;
        while (ls >> field)
            if (field == "-") {
                dash = true;
                break;
            }
        MountEntry e;
        if (!dash || !(ls >> e.FileSystemName)) continue;
        ls >> e.Source;
        if (std::sscanf(devno.c_str(), "%u:%u", &e.Major, &e.Minor) != 2) continue;
        e.MountPoint = UnescapeOctal(mountPoint);
        e.Source = UnescapeOctal(e.Source);
        e.ReadOnly = options == "ro" || options.rfind("ro,", 0) == 0;
        out.push_back(std::move(e));
    }
    return out;
}

std::vector<MountEntry> ReadMountTable() {
    std::ifstream in("/proc/self/mountinfo");
    if (!in) return {};
    std::stringstream all;
    all << in.rdbuf();
    return ParseMountInfo(all.str());
}

bool FindMount(const std::vector<MountEntry>& table, const std::string& path, MountEntry& found) {
    size_t bestLen = 0;
    bool any = false;
    for (const auto& e : table) {
        const std::string& mp = e.MountPoint;
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

bool IsRemovableDevice(const std::string& sysRoot, unsigned major, unsigned minor) {
    if (major == 0) return false; // no block device behind it
    std::string base = sysRoot + "/dev/block/" + std::to_string(major) + ":" + std::to_string(minor);
    char buf[PATH_MAX];
    if (!::realpath(base.c_str(), buf)) return false;
    std::string dev = buf;
    if (::access((dev + "/partition").c_str(), F_OK) == 0) dev = DirectoryOf(dev);
    return ReadFirstLine(dev + "/removable") == "1";
}

DriveKind KindOfMount(const MountEntry& m, const std::string& sysRoot) {
    static const char* const remote[] = {
        "nfs",  "nfs4",      "cifs",  "smb3",       "smbfs",          "ncpfs",  "9p",         "afs",
        "ceph", "glusterfs", "davfs", "fuse.sshfs", "fuse.glusterfs", "lustre", "fuse.davfs2"};
    for (const char* r : remote)
        if (m.FileSystemName == r) return DriveKind::Remote;
    if (m.FileSystemName == "iso9660" || m.FileSystemName == "udf") return DriveKind::CdRom;
    if (m.FileSystemName == "tmpfs" || m.FileSystemName == "ramfs") return DriveKind::RamDisk;
    if (IsRemovableDevice(sysRoot, m.Major, m.Minor)) return DriveKind::Removable;
    return DriveKind::Fixed;
}

uint32_t SerialFromUuid(const std::string& uuid) {
    uint32_t v = 0;
    int digits = 0;
    for (char c : uuid) {
        if (digits == 8) break;
        int d = HexValue(c);
        if (d < 0) continue;
        v = (v << 4) | static_cast<uint32_t>(d);
        ++digits;
    }
    return v;
}

} // namespace mv::platform
