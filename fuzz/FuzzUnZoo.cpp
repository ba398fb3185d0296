// The ZOO reader on arbitrary archives (see ReaderFuzzHarness.h).
#include "archive/readers/UnZoo.h"
#include "fuzz/ReaderFuzzHarness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return mvfuzz::FuzzReader(
        data, size, "unzoo", ".zoo", [] { return std::unique_ptr<mv::TUnBase>(new mv::TUnZOO); },
        [](mv::TUnBase& r) { r.SetPasswords({"a"}); });
}
