#pragma once
// Questions about the drive (the mounted file system) that holds a path, asked through
// the file-system seam so that tests answer them with fake drives: is it there, what
// kind is it, how much room is left. Nothing here changes the current folder.
#include "platform/FileSystem.h"

#include <cstdint>
#include <string>

namespace mv::platform {

// True when the file system that holds path answers (it is mounted and, for a drive
// with changeable media, a medium is in it) and its mount point can be searched.
bool DriveAvailable(const std::string& path);
// True when path is a folder that exists and can be searched.
bool FolderAvailable(const std::string& path);
// The kind of drive that holds path; NoRoot when nothing answers.
DriveKind DriveKindOf(const std::string& path);
// Bytes free for this user on the drive that holds path; 0 when it does not answer.
uint64_t DriveFreeBytes(const std::string& path);
// The path without its drive part: the leading "/" goes ("/media/usb/a" -> "media/usb/a").
std::string PathWithoutDrive(const std::string& path);

} // namespace mv::platform
