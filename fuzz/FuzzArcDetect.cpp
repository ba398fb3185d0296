// Fuzz target for archive type detection: any bytes, read through a memory
// source whose reads are checked against the data, on a fixed and on a
// removable drive, with several comment buffer sizes.
#include "archive/framework/ArcDetect.h"

#include <cstdlib>
#include <cstring>

namespace {

class TMemorySource : public mv::TDetectSource {
public:
    TMemorySource(const uint8_t* data, size_t size) : data(data), size(size) {}
    bool Size(int64_t& s) override {
        s = static_cast<int64_t>(size);
        return true;
    }
    size_t ReadAt(int64_t position, uint8_t* buffer, size_t count) override {
        if (position < 0 || static_cast<uint64_t>(position) > size) return 0;
        const size_t k = std::min(count, size - static_cast<size_t>(position));
        if (k) std::memcpy(buffer, data + position, k);
        return k;
    }
    bool DosDate(uint32_t& d) override {
        d = 0x5A210000;
        return true;
    }

private:
    const uint8_t* data;
    size_t size;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TMemorySource source(data, size);
    const uint8_t mode = size ? data[size - 1] : 0;
    const bool removable = mode & 1;
    const int32_t diskNumber = (mode >> 1) & 3;
    const int32_t commentSizes[] = {32000, 0, 2000, 70000};
    mv::TArcDetection d;
    mv::DetectArcTypeFrom(source, (mode & 8) ? "x.jar" : "x.zip", commentSizes[(mode >> 4) & 3], d,
                          [=](const std::string&) {
                              return mv::TDetectDrive{removable, diskNumber};
                          });
    if (static_cast<int>(d.ArcType) >= mv::ArcTypeCount) std::abort();
    if (d.ArchiveSize != static_cast<int64_t>(size)) std::abort();
    auto strings = mv::ReadExeStringEntries(source, static_cast<int64_t>(size), 1, 4);
    for (const auto& s : strings)
        if (s.size() > 5) std::abort();
    return 0;
}
