// The ZIP reader on arbitrary archives (see ReaderFuzzHarness.h).
#include "archive/readers/UnZip.h"
#include "fuzz/ReaderFuzzHarness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return mvfuzz::FuzzReader(
        data, size, "unzip", ".zip", [] { return std::unique_ptr<mv::TUnBase>(new mv::TUnZIP); },
        [](mv::TUnBase& z) { z.SetPasswords({"a"}); });
}
