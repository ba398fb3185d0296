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

} // namespace mv
