#pragma once
// The ACE decompressors: ACE 1.0 LZ77 with Huffman codes, and the ACE 2.0 blocked
// method on top of it (plain LZ77, DELTA and EXE segments, the SOUND predictor;
// PIC segments are refused as unsupported). Pure code over CodecInput/CodecOutput.
//
// Why it is fast: the bit reader keeps a 64-bit buffer refilled a 32-bit word at a
// time, each Huffman symbol is one table look-up of at most 11 bits, and matches
// are copied inside a window that grows with the real output up to the 4 MiB
// the format can address (never sized from the header's dictionary field).
//
// One decoder carries the window of a solid archive from member to member; a
// non-solid archive resets it at every member.
#include "archive/codecs/CodecIo.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace mv::unace {

// Error numbers the decoder throws (ECodecError).
constexpr int kErrAceCorrupt = 25151;     // damaged or undecodable data
constexpr int kErrAceUnsupported = 25326; // a compression type or mode we do not know

class AceDecoder {
public:
    AceDecoder();
    ~AceDecoder();
    // Forgets the window (a new solid stream, or every member of a non-solid archive).
    void ResetWindow();
    // Decodes one member of compression type 1 (LZ77) or 2 (blocked) producing
    // exactly size bytes.
    void Decode(int type, CodecInput& in, CodecOutput& out, uint64_t size);
    // Stored bytes of a solid archive join the window.
    void AppendToWindow(const uint8_t* data, size_t n);
    // The window's state, so a member decoded with a wrong password can be undone.
    struct Snapshot {
        std::vector<uint8_t> window;
        uint64_t count = 0;
    };
    void Save(Snapshot& s) const;
    void Restore(const Snapshot& s);

private:
    struct Impl;
    std::unique_ptr<Impl> FImpl;
};

} // namespace mv::unace
