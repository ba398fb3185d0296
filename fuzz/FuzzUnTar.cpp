// The tar reader on arbitrary input (see ReaderFuzzHarness.h).
#include "archive/readers/UnTar.h"
#include "fuzz/ReaderFuzzHarness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return mvfuzz::FuzzReader(
        data, size, "UnTar", ".tar", [] { return std::unique_ptr<mv::TUnBase>(new mv::TUnTAR); },
        mvfuzz::AnswerPasswordA);
}
