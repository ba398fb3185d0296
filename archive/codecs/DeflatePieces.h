#pragma once
// Deflate on every core: a large member is cut into pieces of a fixed size that
// worker threads compress at once, each piece primed with the last 32 KiB of
// the one before and ending on a byte boundary, so that the pieces join into
// one deflate stream. The pieces depend only on the input, never on the number
// of threads: the output is the same byte for byte with one thread or many.
//
// Everything the caller sees happens on the calling thread and in order: the
// input is read there (so its read hook's CRC and progress events fire as
// before), the output is written there piece after piece, and its Cancelled()
// is polled there while the workers run; a cancel stops the workers within
// their current piece. A member no longer than one piece is compressed exactly
// as TDeflateEncoder::Deflate would, on the calling thread.
#include "archive/codecs/Deflate.h"

#include <cstddef>
#include <functional>
#include <memory>

namespace mv {

// Input bytes per piece.
constexpr size_t kDeflatePieceSize = size_t{1} << 20;

// The threads compression uses on this machine: one per core (one when the
// count is unknown).
unsigned CompressionThreads();
// For tests and benchmarks: every later compression uses `threads` threads
// (0 goes back to one per core).
void OverrideCompressionThreads(unsigned threads);

// Compresses everything `in` yields into one raw deflate stream on `out` with
// `threads` workers (0: CompressionThreads()). `encoder` serves the one-piece
// case. The result is as TDeflateEncoder::Deflate's; a member of more than one
// piece is never Unpackable. A worker's failure is rethrown here.
TDeflateResult DeflateInPieces(TDeflateEncoder& encoder, CodecInput& in, CodecOutput& out,
                               const TDeflateOptions& options, unsigned threads = 0);

// The members of a run compressed ahead of their turn. While the calling thread
// writes one member, the workers already compress the next ones: the writer
// offers them in run order through `next` (each with its options and an input
// that reads the source without any event), and Fill() reads them piece by
// piece, a few pieces' worth of bytes per thread ahead (and a bounded number
// of members, however small), on the calling thread. At a
// member's turn, Deflate() reads it again through the writer's own input (so its
// events fire as before, in order) and takes a piece made ahead only where it
// was made from the very same bytes, with the same flags and history; anything
// else is compressed anew. The pieces are cut exactly as DeflateInPieces cuts
// them, so the output is the same whatever the number of threads.
class TDeflateAhead {
public:
    struct TMember {
        size_t Key = 0; // the member's place in the run; keys only grow
        TDeflateOptions Options;
        std::unique_ptr<CodecInput> Input; // dropped once read or at the member's turn
    };
    // Offers the next member after the ones offered before; false when none is left.
    using TNext = std::function<bool(TMember&)>;

    // `threads` workers (at least two; with one there is nothing to do ahead).
    TDeflateAhead(unsigned threads, TNext next);
    ~TDeflateAhead();
    TDeflateAhead(const TDeflateAhead&) = delete;
    TDeflateAhead& operator=(const TDeflateAhead&) = delete;

    // The run reached member `key`: members before it are forgotten, and it is
    // read ahead no further (its input goes back to the writer untouched since).
    void Turn(size_t key);
    // Reads and queues more pieces while there is room.
    void Fill();
    // Member `key`'s turn: as DeflateInPieces, with the pieces made ahead.
    TDeflateResult Deflate(size_t key, TDeflateEncoder& encoder, CodecInput& in, CodecOutput& out,
                           const TDeflateOptions& options);

    struct TState;

private:
    std::unique_ptr<TState> FState;
};

} // namespace mv
