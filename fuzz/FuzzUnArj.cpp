// The ARJ reader on arbitrary input (see ReaderFuzzHarness.h).
#include "archive/readers/UnArj.h"
#include "fuzz/ReaderFuzzHarness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return mvfuzz::FuzzReader(
        data, size, "UnArj", ".arj", [] { return std::unique_ptr<mv::TUnBase>(new mv::TUnARJ); },
        mvfuzz::AnswerPasswordA);
}
