// The gzip and .Z reader on arbitrary input (see ReaderFuzzHarness.h).
#include "archive/readers/UnGZip.h"
#include "fuzz/ReaderFuzzHarness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return mvfuzz::FuzzReader(
        data, size, "UnGZip", ".gz", [] { return mv::NewGZipReader(); }, mvfuzz::AnswerPasswordA);
}
