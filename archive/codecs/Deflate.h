#pragma once
// Deflate encoder (RFC 1951): the compressor behind method 8 of the ZIP and JAR
// writers, the GZip and BH writers, and the zip writer component. One engine
// serves them all; the few points where they differ are options.
//
// The engine is an LZ77 coder (a quick greedy one with two candidates per hash
// at levels 1 and 2, the one with hash chains and the classic level table at
// 3..9), followed by per-block Huffman coding that picks stored, fixed or
// dynamic codes by size and ends a block where the data changes. It pulls the
// source through a CodecInput (the writer's read hook: CRC, progress, read
// errors) and pushes the compressed bytes through a CodecOutput (the writer's
// write hook: encryption, counting, spanning). It never changes bytes it has
// handed over, so an encrypting hook must encrypt into a buffer of its own.
#include "archive/codecs/CodecIo.h"

#include <cstdint>
#include <memory>

namespace mv {

struct TDeflateOptions {
    // Effort 1..9 (1..3 greedy, 4..9 lazy). Values
    // below 1 are taken as 1, above 9 as 9; storing a member (level 0) is the
    // caller's business.
    int Level = 7;
    // When the whole member fits in one block that is not smaller coded than
    // raw, write the raw bytes with no block header and answer Unpackable: the
    // caller records the member as stored (method 0). ZIP and BH use this; the
    // GZip writer must not (a gzip member always holds a deflate stream), nor
    // any caller that cannot change the member's method afterwards.
    bool WholeMemberStore = true;
    // Classify the member as text or binary by the literals of its first block
    // (for a ZIP internal-attributes field).
    bool ClassifyText = false;
    // History that precedes the input (its last 32 KiB are used): matches may
    // reach back into it, as a decoder that has already produced it allows.
    const uint8_t* Dictionary = nullptr;
    size_t DictionarySize = 0;
    // Leave the stream open for another to follow: the last block is not
    // marked final and an empty stored block ends the output on a byte boundary.
    bool EndOnByteBoundary = false;
};

struct TDeflateResult {
    uint64_t UnpackedSize = 0; // bytes read from the input
    uint64_t PackedSize = 0;   // bytes handed to the output
    // The output is the input itself, without any deflate framing: store the
    // member with method 0 (only with WholeMemberStore; also for empty input).
    bool Unpackable = false;
    // The output's Cancelled() answered true; the output is incomplete.
    bool Cancelled = false;
    // With ClassifyText: 1 text, 0 binary; -1 when not classified.
    int TextKind = -1;
};

// A deflate encoder whose working memory (about 480 KiB for levels 1 and 2,
// 545 KiB for the others, 675 KiB once both have been used) is allocated on first
// use and reused for every member it compresses; the state of one member lives only
// inside one call of Deflate. Not for use by two threads at once.
class TDeflateEncoder {
public:
    TDeflateEncoder();
    ~TDeflateEncoder();
    TDeflateEncoder(const TDeflateEncoder&) = delete;
    TDeflateEncoder& operator=(const TDeflateEncoder&) = delete;

    // Compresses everything `in` yields into one raw deflate stream on `out`.
    // Read and write failures pass through as the hooks' exceptions.
    TDeflateResult Deflate(CodecInput& in, CodecOutput& out, const TDeflateOptions& options);

private:
    struct State;
    std::unique_ptr<State> FState;
};

// One-shot form: a fresh encoder for one member.
TDeflateResult Deflate(CodecInput& in, CodecOutput& out, const TDeflateOptions& options);

} // namespace mv
