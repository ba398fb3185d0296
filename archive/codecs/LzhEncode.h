#pragma once
// LZ77 + static-Huffman compressor with an 8 KiB dictionary: the LHA -lh5-
// method and the BH "fuse" method (the same stream with one trailing byte).
// The writer's CodecInput supplies the file (and keeps the running CRC), its
// CodecOutput takes the packed bytes (and encrypts them when the entry is
// encrypted); the matching decoder is Lzh3Decode with LzhParamsLh5.
#include "archive/codecs/CodecIo.h"

#include <cstdint>

namespace mv {

struct TLzhEncodeResult {
    // Set when the packed form would not be smaller than the input; the bytes
    // already written are then to be discarded and the file stored.
    bool Unpackable = false;
    // Bytes written to the output by this call (the writer's PackedCount).
    uint64_t PackedCount = 0;
};

// Compresses all of `input` as one -lh5- stream. An empty input, or one that
// does not shrink, comes back Unpackable. Stops quietly (Unpackable set) when
// output.Cancelled() answers true.
TLzhEncodeResult Lzh5Compress(CodecInput& input, CodecOutput& output);

// The same stream followed by one 0x00 byte, as the BH fuse method stores it.
TLzhEncodeResult FuseCompress(CodecInput& input, CodecOutput& output);

} // namespace mv
