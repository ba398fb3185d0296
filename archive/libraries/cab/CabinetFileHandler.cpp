#include "archive/libraries/cab/CabinetFileHandler.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <new>

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

TStreamCabinetFileHandler::TStreamCabinetFileHandler() = default;
// The files still open close without reporting.
TStreamCabinetFileHandler::~TStreamCabinetFileHandler() = default;

platform::File* TStreamCabinetFileHandler::Find(intptr_t handle) const {
    auto it = FStreams.find(handle);
    return it == FStreams.end() ? nullptr : it->second.get();
}

intptr_t TStreamCabinetFileHandler::Open(const std::string& fileName, int openFlags, int permissionMode,
                                         int& error) {
    using platform::OpenMode;
    const bool create = (openFlags & 0x0100) != 0;
    const OpenMode mode = create                      ? OpenMode::CreateTruncate
                          : (openFlags & 0x0003) != 0 ? OpenMode::ReadWrite
                                                      : OpenMode::Read;
    try {
        auto file = platform::Fs().Open(fileName, mode);
        if (create && permissionMode)
            platform::Fs().SetPermissions(fileName, static_cast<uint32_t>(permissionMode & 0777) | 0600);
        const intptr_t handle = FNextHandle++;
        FStreams.emplace(handle, std::move(file));
        error = 0;
        return handle;
    } catch (const platform::FileError& e) {
        error = e.Code() ? e.Code() : EIO;
    } catch (const std::bad_alloc&) {
        error = ENOMEM;
    }
    return -1;
}

uint32_t TStreamCabinetFileHandler::Read(intptr_t handle, void* buffer, uint32_t count, int& error) {
    platform::File* f = Find(handle);
    if (!f) {
        error = EBADF;
        return 0;
    }
    try {
        error = 0; // the end of the file is a short count without an error
        return static_cast<uint32_t>(f->Read(buffer, count));
    } catch (const platform::FileError& e) {
        error = e.Code() ? e.Code() : EIO;
        return 0;
    }
}

uint32_t TStreamCabinetFileHandler::Write(intptr_t handle, const void* buffer, uint32_t count, int& error) {
    platform::File* f = Find(handle);
    if (!f) {
        error = EBADF;
        return 0;
    }
    try {
        f->Write(buffer, count);
        error = 0;
        return count;
    } catch (const platform::FileError& e) {
        error = e.Code() ? e.Code() : EIO;
        return 0;
    }
}

int TStreamCabinetFileHandler::Close(intptr_t handle, int& error) {
    auto it = FStreams.find(handle);
    error = 0;
    if (it == FStreams.end()) return 0;
    std::unique_ptr<platform::File> f = std::move(it->second);
    FStreams.erase(it);
    try {
        f->Close();
    } catch (const platform::FileError& e) {
        error = e.Code() ? e.Code() : EIO;
        return -1;
    }
    return 0;
}

int64_t TStreamCabinetFileHandler::Seek(intptr_t handle, int64_t distance, int origin, int& error) {
    platform::File* f = Find(handle);
    if (!f) {
        error = EBADF;
        return -1;
    }
    try {
        const int64_t base = origin == 1 ? f->Position() : origin == 2 ? f->Size() : 0;
        if (base + distance < 0) {
            error = EINVAL;
            return -1;
        }
        f->Seek(base + distance);
        error = 0;
        return f->Position();
    } catch (const platform::FileError& e) {
        error = e.Code() ? e.Code() : EIO;
        return -1;
    }
}

int TStreamCabinetFileHandler::Delete(const std::string& fileName, int& error) {
    try {
        platform::Fs().RemoveFile(fileName);
        error = 0;
    } catch (const platform::FileError& e) {
        error = e.Code() ? e.Code() : EIO;
    }
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
