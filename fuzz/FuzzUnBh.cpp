// The BH reader on arbitrary archives (see ReaderFuzzHarness.h).
#include "archive/readers/UnBh.h"
#include "fuzz/ReaderFuzzHarness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return mvfuzz::FuzzReader(
        data, size, "unbh", ".bh", [] { return std::unique_ptr<mv::TUnBase>(new mv::TUnBH); },
        [](mv::TUnBase& r) { r.SetPasswords({"a"}); });
}
