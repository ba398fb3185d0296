#include "controls/toolkit/files/CopyFile.h"

#include "platform/FileSystem.h"

#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

namespace mv {

namespace {

// The folder part of a name, "" for a bare name.
std::string FolderPart(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash == 0 ? 1 : slash);
}

std::string NamePart(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// True when both names lead to one file: the same text, or (both existing) the
// same file reached through a link or another spelling of its folder.
bool SameFile(const std::string& a, const std::string& b) {
    if (a == b) return true;
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

} // namespace

void TCopyFile::DoError(const std::string& fileName, int code) {
    if (OnError) OnError(this, fileName, code);
}

void TCopyFile::DoProgress() {
    if (OnProgress) OnProgress(this);
    if (ProcessMessages) ProcessMessages();
}

bool TCopyFile::CheckNotSame() {
    if (!SameFile(FFileSource, FFileDestination)) return true;
    DoError(FFileDestination, 3);
    return false;
}

bool TCopyFile::CheckSource() {
    platform::FileInfo info;
    if (platform::Fs().StatTarget(FFileSource, info) && !info.IsDirectory) return true;
    DoError(FFileSource, 0);
    return false;
}

// There are no drive letters here: the root of an absolute destination is "/",
// that of a relative one the current folder.
bool TCopyFile::CheckDrive() {
    const std::string root = !FFileDestination.empty() && FFileDestination[0] == '/' ? "/" : ".";
    if (platform::IsDirectory(root)) return true;
    DoError(root, 1);
    return false;
}

bool TCopyFile::CheckFolder() {
    const std::string folder = FolderPart(FFileDestination);
    if (folder.empty() || platform::IsDirectory(folder)) return true;
    bool allow = FCreateDirectory;
    if (!allow && OnCreateDirectory) OnCreateDirectory(this, folder, allow);
    if (!allow) return false;
    // Every missing level, from the top down.
    std::vector<std::string> missing;
    for (std::string p = folder; !p.empty() && p != "/" && !platform::Exists(p); p = FolderPart(p))
        missing.push_back(p);
    try {
        for (auto it = missing.rbegin(); it != missing.rend(); ++it) platform::Fs().CreateDirectory(*it);
    } catch (const platform::FileError&) {
    }
    if (platform::IsDirectory(folder)) return true;
    DoError(folder, 2);
    return false;
}

bool TCopyFile::CheckDestination(bool askOverwrite) {
    const std::string name = NamePart(FFileDestination);
    if (name.empty() || name == ".") {
        DoError(FFileDestination, 3);
        return false;
    }
    platform::FileInfo info;
    if (!platform::Fs().Stat(FFileDestination, info)) return true;
    if (askOverwrite) {
        bool allow = FOverwrite;
        if (!allow && OnOverwrite) {
            OnOverwrite(this, FFileDestination, allow);
            if (allow) return true;
            DoError(FFileDestination, 7);
            return false;
        }
        if (allow) return true;
    }
    DoError(FFileDestination, 7);
    return false;
}

bool TCopyFile::CheckSameFolder() {
    if (FolderPart(FFileSource) == FolderPart(FFileDestination)) return true;
    DoError(FFileDestination, 3);
    return false;
}

bool TCopyFile::Copy(bool copyAttributes, bool copyDate) {
    platform::FileInfo info;
    std::unique_ptr<platform::File> in;
    int64_t size = 0;
    try {
        if (!platform::Fs().StatTarget(FFileSource, info)) throw platform::FileError(ENOENT, FFileSource, "");
        in = platform::Fs().Open(FFileSource, platform::OpenMode::Read);
        size = in->Size();
    } catch (const platform::FileError&) {
        DoError(FFileSource, 4);
        return false;
    }
    const int64_t step = 100 / (size / FBufferSize + 2);
    FProgress = 0;
    DoProgress();

    std::unique_ptr<platform::AtomicWriter> out;
    try {
        out = std::make_unique<platform::AtomicWriter>(FFileDestination);
    } catch (const platform::FileError&) {
        DoError(FFileDestination, 5);
        return false;
    }
    FProgress = static_cast<int>(std::min<int64_t>(100, FProgress + step));
    DoProgress();
    std::vector<uint8_t> buffer(static_cast<size_t>(FBufferSize));
    int64_t total = 0;
    try {
        for (;;) {
            const size_t got = in->Read(buffer.data(), buffer.size());
            if (got > 0) {
                out->Output().Write(buffer.data(), got);
                total += static_cast<int64_t>(got);
                FProgress = static_cast<int>(std::min<int64_t>(100, FProgress + step));
                DoProgress();
            }
            if (got < buffer.size()) break;
        }
    } catch (const platform::FileError&) {
        // a failed read or write: the count below tells
    }
    FProgress = 100;
    DoProgress();
    in.reset();
    if (total != size) {
        DoError(FFileDestination, 6);
        return false;
    }
    try {
        out->Commit();
    } catch (const platform::FileError&) {
        DoError(FFileDestination, 6);
        return false;
    }
    try {
        if (copyDate) platform::Fs().SetModTime(FFileDestination, info.ModTime);
        if (copyAttributes) platform::Fs().SetPermissions(FFileDestination, info.Mode & 07777);
    } catch (const platform::FileError&) {
        // the data is in place; a date or mode that cannot be set is no failure of the copy
    }
    return true;
}

bool TCopyFile::Execute() {
    switch (FAction) {
    case TFileAction::faCopy:
        return CheckNotSame() && CheckSource() && CheckDrive() && CheckFolder() && CheckDestination(true) &&
               Copy(FAttributes, FDateTime);
    case TFileAction::faMove:
        if (!(CheckNotSame() && CheckSource() && CheckDrive() && CheckFolder() && CheckDestination(false)))
            return false;
        // A failed copy leaves no destination behind (it is written beside it first).
        if (!Copy(true, true)) return false;
        try {
            platform::Fs().RemoveFile(FFileSource);
            return true;
        } catch (const platform::FileError&) {
            return false;
        }
    case TFileAction::faDelete:
        if (!CheckSource()) return false;
        try {
            platform::Fs().RemoveFile(FFileSource);
            return true;
        } catch (const platform::FileError&) {
            DoError(FFileSource, 9);
            return false;
        }
    case TFileAction::faRename:
        if (!(CheckNotSame() && CheckSource() && CheckDrive() && CheckFolder() && CheckDestination(false) &&
              CheckSameFolder()))
            return false;
        try {
            platform::Fs().Rename(FFileSource, FFileDestination);
            return true;
        } catch (const platform::FileError&) {
            DoError(FFileDestination, 8);
            return false;
        }
    }
    return false;
}

} // namespace mv
