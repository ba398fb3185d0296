#include "platform/cabinet/CabinetFileHandler.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace mv {

namespace {
std::string CabinetErrorText(int code, int type) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "Cabinet error %d (type %d)", code, type);
    return buf;
}
} // namespace

ECabinetError::ECabinetError(int code, int type)
    : std::runtime_error(CabinetErrorText(code, type)), FCode(code), FType(type) {}

TStreamCabinetFileHandler::~TStreamCabinetFileHandler() {
    while (!FStreams.empty()) {
        ::close(FStreams.back());
        FStreams.pop_back();
    }
}

bool TStreamCabinetFileHandler::Owns(intptr_t handle) const {
    return std::find(FStreams.begin(), FStreams.end(), static_cast<int>(handle)) != FStreams.end() &&
           handle >= 0;
}

intptr_t TStreamCabinetFileHandler::Open(const std::string& fileName, int openFlags, int permissionMode,
                                         int& error) {
    int flags;
    if (openFlags & 0x0100)
        flags = O_CREAT | O_TRUNC | O_RDWR;
    else if (openFlags & 0x0002)
        flags = O_RDWR;
    else if (openFlags & 0x0001)
        flags = O_WRONLY;
    else
        flags = O_RDONLY;
    int fd =
        ::open(fileName.c_str(), flags | O_CLOEXEC, permissionMode ? (permissionMode & 0777) | 0600 : 0644);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    try {
        FStreams.push_back(fd);
    } catch (...) {
        ::close(fd);
        error = ENOMEM;
        return -1;
    }
    error = 0;
    return fd;
}

uint32_t TStreamCabinetFileHandler::Read(intptr_t handle, void* buffer, uint32_t count, int& error) {
    if (!Owns(handle)) {
        error = -1;
        return 0;
    }
    uint32_t done = 0;
    error = 0;
    while (done < count) {
        ssize_t r = ::read(static_cast<int>(handle), static_cast<char*>(buffer) + done, count - done);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) error = errno; // the end of the file is a short count without an error
        if (r <= 0) break;
        done += static_cast<uint32_t>(r);
    }
    return done;
}

uint32_t TStreamCabinetFileHandler::Write(intptr_t handle, const void* buffer, uint32_t count, int& error) {
    if (!Owns(handle)) {
        error = -1;
        return 0;
    }
    uint32_t done = 0;
    while (done < count) {
        ssize_t r = ::write(static_cast<int>(handle), static_cast<const char*>(buffer) + done, count - done);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        done += static_cast<uint32_t>(r);
    }
    error = done == count ? 0 : (errno ? errno : ENOSPC);
    return done;
}

int TStreamCabinetFileHandler::Close(intptr_t handle, int& error) {
    auto it = std::find(FStreams.begin(), FStreams.end(), static_cast<int>(handle));
    if (it != FStreams.end()) {
        ::close(*it);
        FStreams.erase(it);
    }
    error = 0;
    return 0;
}

int64_t TStreamCabinetFileHandler::Seek(intptr_t handle, int64_t distance, int origin, int& error) {
    if (!Owns(handle)) {
        error = -1;
        return 0;
    }
    int whence = origin == 1 ? SEEK_CUR : origin == 2 ? SEEK_END : SEEK_SET;
    off_t r = ::lseek(static_cast<int>(handle), static_cast<off_t>(distance), whence);
    error = 0;
    if (r < 0 || (origin == 0 && r != distance)) error = errno ? errno : EINVAL;
    return r;
}

int TStreamCabinetFileHandler::Delete(const std::string& fileName, int& error) {
    error = ::unlink(fileName.c_str()) == 0 ? 0 : errno;
    return 0;
}

void* CabMemoryAllocate(uint32_t size) {
    return std::malloc(size ? size : 1);
}

int CabMemoryFree(void* block) {
    std::free(block);
    return 0;
}

uint16_t CabCompressionType(int type, int level, int memory) {
    return static_cast<uint16_t>(type | (level << 4) | (memory << 8));
}

uint16_t CabLzxCompression(int windowBits) {
    return static_cast<uint16_t>(windowBits * 256 + 3);
}

void RaiseCabinetError(int code, int type) {
    throw ECabinetError(code, type);
}

cab::TCabFileCallbacks CabinetCallbacks(TCabinetFileHandler& handler) {
    cab::TCabFileCallbacks cb;
    cb.User = &handler;
    cb.Alloc = [](uint32_t size) { return CabMemoryAllocate(size); };
    cb.Free = [](void* p) { CabMemoryFree(p); };
    cb.Open = [](void* user, const char* name, int oflag, int pmode, int* err) -> intptr_t {
        *err = 0;
        try {
            return static_cast<TCabinetFileHandler*>(user)->Open(name, oflag, pmode, *err);
        } catch (...) {
            if (!*err) *err = -1;
            return -1;
        }
    };
    cb.Read = [](void* user, intptr_t h, void* buf, uint32_t n, int* err) -> uint32_t {
        *err = 0;
        try {
            return static_cast<TCabinetFileHandler*>(user)->Read(h, buf, n, *err);
        } catch (...) {
            *err = -1;
            return 0;
        }
    };
    cb.Write = [](void* user, intptr_t h, const void* buf, uint32_t n, int* err) -> uint32_t {
        *err = 0;
        try {
            return static_cast<TCabinetFileHandler*>(user)->Write(h, buf, n, *err);
        } catch (...) {
            *err = -1;
            return 0;
        }
    };
    cb.Close = [](void* user, intptr_t h, int* err) -> int {
        *err = 0;
        try {
            return static_cast<TCabinetFileHandler*>(user)->Close(h, *err);
        } catch (...) {
            *err = -1;
            return -1;
        }
    };
    cb.Seek = [](void* user, intptr_t h, int64_t d, int origin, int* err) -> int64_t {
        *err = 0;
        try {
            return static_cast<TCabinetFileHandler*>(user)->Seek(h, d, origin, *err);
        } catch (...) {
            *err = -1;
            return -1;
        }
    };
    cb.Delete = [](void* user, const char* name, int* err) -> int {
        *err = 0;
        try {
            return static_cast<TCabinetFileHandler*>(user)->Delete(name, *err);
        } catch (...) {
            *err = -1;
            return -1;
        }
    };
    return cb;
}

} // namespace mv
