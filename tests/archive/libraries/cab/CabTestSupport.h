#pragma once
// Test side of the cabinet library: file callbacks over POSIX descriptors and
// an extractor that walks a cabinet set into memory the way the reader does.
#include "archive/libraries/cab/Cabinet.h"

#include <fcntl.h>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace cabtest {

using namespace mv::cab;

// Output handles at and above this number are memory buffers of the extractor.
constexpr intptr_t kMemoryHandle = 1 << 20;

struct Sink {
    std::vector<std::vector<uint8_t>> buffers;
    std::map<std::string, std::vector<uint8_t>> files;
    std::vector<std::string> order;
    std::string nextCabinet;
    int partials = 0;
    int nextCabinetRequests = 0;
    int openHandles = 0;
    bool refuseNext = false;
    std::string only; // extract just this name when set
};

inline intptr_t OpenCb(void* user, const char* name, int oflag, int pmode, int* err) {
    int flags = (oflag & 0x0100) ? O_CREAT | O_TRUNC : 0;
    flags |= (oflag & 3) == 2 ? O_RDWR : (oflag & 3) == 1 ? O_WRONLY : O_RDONLY;
    int fd = ::open(name, flags | O_CLOEXEC, pmode ? pmode : 0644);
    *err = fd < 0 ? errno : 0;
    if (fd >= 0 && user) static_cast<Sink*>(user)->openHandles++;
    return fd;
}
inline uint32_t ReadCb(void*, intptr_t h, void* buf, uint32_t n, int* err) {
    ssize_t r = ::read(static_cast<int>(h), buf, n);
    *err = r < 0 ? errno : 0;
    return r < 0 ? 0 : static_cast<uint32_t>(r);
}
inline uint32_t WriteCb(void* user, intptr_t h, const void* buf, uint32_t n, int* err) {
    *err = 0;
    if (h >= kMemoryHandle) {
        auto& b = static_cast<Sink*>(user)->buffers.at(static_cast<size_t>(h - kMemoryHandle));
        b.insert(b.end(), static_cast<const uint8_t*>(buf), static_cast<const uint8_t*>(buf) + n);
        return n;
    }
    ssize_t r = ::write(static_cast<int>(h), buf, n);
    *err = r < 0 ? errno : 0;
    return r < 0 ? 0 : static_cast<uint32_t>(r);
}
inline int CloseCb(void* user, intptr_t h, int* err) {
    *err = ::close(static_cast<int>(h)) == 0 ? 0 : errno;
    if (user) static_cast<Sink*>(user)->openHandles--;
    return 0;
}
inline int64_t SeekCb(void*, intptr_t h, int64_t d, int origin, int* err) {
    off_t r = ::lseek(static_cast<int>(h), d, origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : SEEK_END);
    *err = r < 0 ? errno : 0;
    return r;
}
inline int DeleteCb(void*, const char* name, int* err) {
    *err = ::unlink(name) == 0 ? 0 : errno;
    return 0;
}

inline TCabFileCallbacks Callbacks(Sink* sink) {
    TCabFileCallbacks cb;
    cb.User = sink;
    cb.Alloc = [](uint32_t n) -> void* { return ::operator new(n); };
    cb.Free = [](void* p) { ::operator delete(p); };
    cb.Open = OpenCb;
    cb.Read = ReadCb;
    cb.Write = WriteCb;
    cb.Close = CloseCb;
    cb.Seek = SeekCb;
    cb.Delete = DeleteCb;
    return cb;
}

inline intptr_t Notify(TFdiNotificationType kind, TFdiNotification* n) {
    Sink& s = *static_cast<Sink*>(n->pv);
    switch (kind) {
    case fdintCabinetInfo:
        s.nextCabinet = n->psz1;
        return 0;
    case fdintPartialFile:
        s.partials++;
        return 0;
    case fdintCopyFile:
        if (!s.only.empty() && s.only != n->psz1) return 0;
        s.buffers.emplace_back();
        return kMemoryHandle + static_cast<intptr_t>(s.buffers.size() - 1);
    case fdintCloseFileInfo:
        s.files[n->psz1] = s.buffers.at(static_cast<size_t>(n->hf - kMemoryHandle));
        s.order.push_back(n->psz1);
        return 1;
    case fdintNextCabinet:
        s.nextCabinetRequests++;
        return s.refuseNext ? -1 : 0;
    default:
        return 0;
    }
}

// Extracts a cabinet and the cabinets after it in its folder. Returns false and
// the error record on the first failing copy call.
inline bool ExtractSet(const std::string& dir, const std::string& first, Sink& sink, TCabErrorRecord& error) {
    TCabFileCallbacks cb = Callbacks(&sink);
    TFdiContext* ctx = FdiCreate(cb, -1, &error);
    if (!ctx) return false;
    std::string name = first;
    bool ok = true;
    for (int guard = 0; guard < 100 && !name.empty(); ++guard) {
        sink.nextCabinet.clear();
        if (!FdiCopy(ctx, name.c_str(), dir.c_str(), 0, Notify, nullptr, &sink)) {
            ok = false;
            break;
        }
        name = sink.nextCabinet;
    }
    FdiDestroy(ctx);
    return ok;
}

} // namespace cabtest
