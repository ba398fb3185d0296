// The LZX decoder over arbitrary folders of data blocks (see fuzz/FrameDecoderFuzz.h).
#include "archive/codecs/LzxDecode.h"
#include "fuzz/FrameDecoderFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return mvfuzz::FuzzFrameDecoder<mv::TLzxDecoder>(data, size);
}
