#pragma once
// Formatting a drive. The program never formats a disk itself: on this system the
// desktop's disk utility (GNOME Disks) formats a removable drive's device in its own
// format dialog. The layer finds the drive (the mounted file system that holds a path),
// refuses drives that are not removable, and answers as the shell's format call always
// did: 0 for a format done, SHFMT_ERROR, SHFMT_CANCEL or SHFMT_NOFORMAT otherwise.
#include <memory>
#include <string>

namespace mv::platform {

constexpr int SHFMT_ERROR = -1, SHFMT_CANCEL = -2, SHFMT_NOFORMAT = -3;

struct FormatDriveRequest {
    std::string Path;      // a folder on the drive to format
    int DriveNumber = 0;   // 0 for "A", 1 for "B", ...
    unsigned FormatId = 0; // capacity identifier (0 the default)
    unsigned Options = 0;  // 1 quick format (or the format type on the older family)
};

struct FormatDriveResult {
    int Code = SHFMT_ERROR;
    // No disk utility is installed: the caller tells the user how to format instead.
    bool NoFormatter = false;
};

class FormatDriveLayer {
public:
    virtual ~FormatDriveLayer() = default;
    // True when results come as the newer family of the shell gives them (0 for
    // success); the older family answered 6 for success.
    virtual bool NewerResults() const { return true; }
    virtual FormatDriveResult Format(const FormatDriveRequest& request) = 0;
};

// The real layer: the mount of the path; SHFMT_NOFORMAT for a drive that is not
// removable; GNOME Disks' format dialog for the mount's device when it is installed
// (0 when it ends without an error, SHFMT_ERROR otherwise), else NoFormatter.
class DiskUtilityFormatLayer : public FormatDriveLayer {
public:
    // sysRoot and the program name are for tests ("/sys", "gnome-disks").
    explicit DiskUtilityFormatLayer(std::string sysRoot = "/sys", std::string program = "gnome-disks");
    FormatDriveResult Format(const FormatDriveRequest& request) override;

private:
    std::string FSysRoot;
    std::string FProgram;
};

// The layer the format dialogs use; tests put a fake in its place (null: the real one).
FormatDriveLayer& CurrentFormatDriveLayer();
void SetFormatDriveLayer(std::unique_ptr<FormatDriveLayer> layer);

// The full path of a program found on PATH, or empty.
std::string FindProgramOnPath(const std::string& program);

} // namespace mv::platform
