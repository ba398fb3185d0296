#pragma once
// MSZIP, the deflate flavour of cabinet folders: every data block holds "CK"
// and a deflate stream of at most 32 KiB of output, and a block may refer back
// to the 32 KiB that the previous blocks of the folder produced.
#include "archive/codecs/CodecIo.h"
#include "archive/codecs/Deflate.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace mv {

class TMsZipDecoder {
public:
    // Back to the state of a folder's start (no history).
    void Reset() { history.clear(); }
    // Decodes one data block into exactly outSize (1..32768) bytes; anything
    // else is 25139.
    void DecodeFrame(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize);

private:
    std::vector<uint8_t> history;
    std::vector<uint8_t> source;
    std::vector<uint8_t> target;
};

class TMsZipEncoder {
public:
    // Compresses one block of at most 32 KiB into "CK" plus a deflate stream
    // that stands on its own (so any reader, with or without history, decodes it).
    // The result never exceeds n + 12 bytes.
    std::vector<uint8_t> EncodeFrame(const uint8_t* in, size_t n);

private:
    TDeflateEncoder encoder;
};

} // namespace mv
