// The uuencode and xxencode reader on arbitrary input (see ReaderFuzzHarness.h).
#include "archive/readers/UnUue.h"
#include "fuzz/ReaderFuzzHarness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return mvfuzz::FuzzReader(
        data, size, "UnUue", ".uue", [] { return std::unique_ptr<mv::TUnBase>(new mv::TUUDecode); },
        mvfuzz::AnswerPasswordA);
}
