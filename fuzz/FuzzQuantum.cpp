// The Quantum decoder over arbitrary folders of data blocks (see fuzz/FrameDecoderFuzz.h).
#include "archive/codecs/QuantumDecode.h"
#include "fuzz/FrameDecoderFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return mvfuzz::FuzzFrameDecoder<mv::TQuantumDecoder>(data, size);
}
