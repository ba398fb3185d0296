// MSZIP blocks over the project's inflate and deflate.
//
// Inflate knows nothing of a preset history. A block that refers back into the
// previous blocks is decoded by putting the last 32 KiB of output in front of
// it as one stored deflate block: the block's own stream starts on a byte
// boundary after "CK", exactly where a stored block ends, so the two join into
// one valid stream and back-references reach the history. The history part of
// the output is then dropped. This costs one extra 32 KiB copy per block.
#include "archive/codecs/MsZip.h"

#include "archive/codecs/Inflate.h"
#include "resources/ArcErrorNumbers.h"

#include <cstring>

namespace mv {

namespace {
constexpr size_t kHistory = 32768;
} // namespace

void TMsZipDecoder::DecodeFrame(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize) {
    if (outSize == 0 || outSize > 32768)
        throw ECodecError(arcerr::CorruptEntry, "MSZIP block size out of range");
    if (inSize < 2 || in[0] != 'C' || in[1] != 'K')
        throw ECodecError(arcerr::CorruptEntry, "MSZIP block without its signature");
    const size_t h = history.size();
    source.resize(5 + h + inSize - 2);
    size_t at = 0;
    if (h) {
        source[0] = 0; // not final, stored
        source[1] = static_cast<uint8_t>(h);
        source[2] = static_cast<uint8_t>(h >> 8);
        source[3] = static_cast<uint8_t>(~h);
        source[4] = static_cast<uint8_t>(~h >> 8);
        std::memcpy(source.data() + 5, history.data(), h);
        at = 5 + h;
    }
    std::memcpy(source.data() + at, in + 2, inSize - 2);
    source.resize(at + inSize - 2);
    target.resize(h + outSize + 1);
    size_t got;
    try {
        got = InflateMemory(source.data(), source.size(), target.data(), target.size());
    } catch (const ECodecError&) {
        throw ECodecError(arcerr::CorruptEntry, "MSZIP block damaged");
    }
    if (got != h + outSize) throw ECodecError(arcerr::CorruptEntry, "MSZIP block of the wrong size");
    std::memcpy(out, target.data() + h, outSize);
    // Keep the last 32 KiB of output as history for the next block.
    if (outSize >= kHistory) {
        history.assign(out + outSize - kHistory, out + outSize);
    } else {
        size_t keep = std::min(kHistory - outSize, h);
        std::vector<uint8_t> next(target.data() + h - keep, target.data() + h + outSize);
        history.swap(next);
    }
}

std::vector<uint8_t> TMsZipEncoder::EncodeFrame(const uint8_t* in, size_t n) {
    MemoryInput src(in, n);
    MemoryOutput dst;
    dst.bytes.reserve(n + 16);
    dst.bytes.push_back('C');
    dst.bytes.push_back('K');
    TDeflateOptions options;
    options.WholeMemberStore = false;
    encoder.Deflate(src, dst, options);
    if (dst.bytes.size() > n + 12) {
        // Fall back to one stored final block (never larger than n + 7).
        dst.bytes.resize(2);
        dst.bytes.push_back(1);
        dst.bytes.push_back(static_cast<uint8_t>(n));
        dst.bytes.push_back(static_cast<uint8_t>(n >> 8));
        dst.bytes.push_back(static_cast<uint8_t>(~n));
        dst.bytes.push_back(static_cast<uint8_t>(~n >> 8));
        dst.bytes.insert(dst.bytes.end(), in, in + n);
    }
    return dst.bytes;
}

} // namespace mv
