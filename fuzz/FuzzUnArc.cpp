// The ARC reader on arbitrary archives (see ReaderFuzzHarness.h).
#include "archive/readers/UnArc.h"
#include "fuzz/ReaderFuzzHarness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return mvfuzz::FuzzReader(
        data, size, "unarc", ".arc", [] { return std::unique_ptr<mv::TUnBase>(new mv::TUnARC); },
        [](mv::TUnBase& r) { r.SetPasswords({"a"}); });
}
