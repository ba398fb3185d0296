#pragma once
// One volume of a multi-volume archive, read through the platform's file system
// so that its faults reach the library's walk: a failed read answers what it
// got, which the walk takes for a short or damaged volume.
#include "platform/FileSystem.h"

#include <cstdint>
#include <memory>
#include <string>

namespace mv::libraries {

class VolumeFile {
public:
    // True when path names a regular file (through links): a volume that can be opened.
    static bool Exists(const std::string& path) {
        platform::FileInfo info;
        return platform::Fs().StatTarget(path, info) && info.IsRegular;
    }
    bool Open(const std::string& path) {
        Close();
        if (!Exists(path)) return false;
        try {
            FFile = platform::Fs().Open(path, platform::OpenMode::Read);
            FSize = uint64_t(FFile->Size());
        } catch (const platform::FileError&) {
            Close();
            return false;
        }
        FName = path;
        return true;
    }
    void Close() {
        FFile.reset();
        FSize = 0;
        FName.clear();
    }
    // Reads up to n bytes at pos; returns the count (short at the end of the file or on a failure).
    size_t ReadAt(uint64_t pos, uint8_t* buf, size_t n) const {
        if (!FFile || pos >= FSize) return 0;
        try {
            return FFile->ReadAt(int64_t(pos), buf, n);
        } catch (const platform::FileError&) {
            return 0;
        }
    }
    uint64_t Size() const { return FSize; }
    const std::string& Name() const { return FName; }
    bool IsOpen() const { return FFile != nullptr; }

private:
    std::unique_ptr<platform::File> FFile;
    uint64_t FSize = 0;
    std::string FName;
};

} // namespace mv::libraries
