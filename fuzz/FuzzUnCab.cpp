// Feeds arbitrary bytes to the cabinet library's reading side as one cabinet
// held in memory (named "a.cab"; every other name is missing), extracting every
// file into memory. Checks that nothing is read or written out of range and
// that no file grows beyond its declared size.
#include "archive/libraries/cab/Cabinet.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Memory {
    const uint8_t* data;
    size_t size;
    int64_t pos = 0;
    int64_t declared = 0;
    int64_t written = 0;
};

intptr_t Notify(mv::cab::TFdiNotificationType kind, mv::cab::TFdiNotification* n) {
    auto* m = static_cast<Memory*>(n->pv);
    if (kind == mv::cab::fdintCopyFile) {
        m->declared = n->cb;
        m->written = 0;
        return 1000;
    }
    if (kind == mv::cab::fdintCloseFileInfo) return 1;
    return 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Memory m{data, size};
    mv::cab::TCabFileCallbacks cb;
    cb.User = &m;
    cb.Open = [](void*, const char* name, int, int, int* err) -> intptr_t {
        *err = 0;
        if (std::strcmp(name, "a.cab") != 0) {
            *err = 2;
            return -1;
        }
        return 3;
    };
    cb.Read = [](void* u, intptr_t, void* buf, uint32_t n, int* err) -> uint32_t {
        auto* mm = static_cast<Memory*>(u);
        *err = 0;
        if (mm->pos < 0) return 0;
        int64_t left = static_cast<int64_t>(mm->size) - mm->pos;
        uint32_t k = left <= 0 ? 0 : static_cast<uint32_t>(left < n ? left : n);
        std::memcpy(buf, mm->data + mm->pos, k);
        mm->pos += k;
        return k;
    };
    cb.Write = [](void* u, intptr_t, const void*, uint32_t n, int* err) -> uint32_t {
        auto* mm = static_cast<Memory*>(u);
        *err = 0;
        mm->written += n;
        if (mm->written > mm->declared) __builtin_trap();
        return n;
    };
    cb.Close = [](void*, intptr_t, int* err) -> int {
        *err = 0;
        return 0;
    };
    cb.Seek = [](void* u, intptr_t, int64_t d, int origin, int* err) -> int64_t {
        auto* mm = static_cast<Memory*>(u);
        *err = 0;
        int64_t base = origin == 0 ? 0 : origin == 1 ? mm->pos : static_cast<int64_t>(mm->size);
        mm->pos = base + d;
        return mm->pos;
    };
    mv::cab::TCabErrorRecord error;
    mv::cab::TFdiContext* ctx = mv::cab::FdiCreate(cb, -1, &error);
    if (!ctx) return 0;
    mv::cab::FdiCopy(ctx, "a.cab", "", 0, Notify, nullptr, &m);
    mv::cab::FdiDestroy(ctx);
    return 0;
}
