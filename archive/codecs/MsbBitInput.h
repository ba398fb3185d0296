#pragma once
// The bit input of the LZH-family decoders (LHA, ZOO, BH, ARJ methods 1-4):
// the packed bytes read most significant bit first through a 64-bit buffer
// that one refill tops up to at least 56 bits, eight bytes at a time where
// the chunk allows. A stream that keeps asking for bits well past its packed
// bytes ends with 25236 instead of decoding zeros for ever.
#include "archive/codecs/CodecIo.h"
#include "resources/ArcErrorNumbers.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace mv {

class TMsbBitInput {
public:
    explicit TMsbBitInput(CodecInput& input) : FInput(input), FBuffer(ChunkSize + 8) {
        FNext = FEnd = FBuffer.data();
    }

    // After Refill at least 56 bits are valid.
    inline void Refill() {
        if (FEnd - FNext >= 8) {
            uint64_t v;
            std::memcpy(&v, FNext, 8);
            v = __builtin_bswap64(v);
            FBits |= v >> FCount;
            FNext += (63 - FCount) >> 3;
            FCount |= 56;
        } else {
            RefillSlow();
        }
    }
    // The next n bits (0 <= n <= 32) without consuming them.
    inline uint32_t Peek(int n) const { return static_cast<uint32_t>((FBits >> 1) >> (63 - n)); }
    // The next eight bits.
    inline uint32_t Top8() const { return static_cast<uint32_t>(FBits >> 56); }
    inline void Skip(int n) {
        FBits <<= n;
        FCount -= n;
    }
    // Reads n bits (0 <= n <= 16).
    uint32_t Get(int n) {
        if (n == 0) return 0;
        Refill();
        uint32_t v = Peek(n);
        Skip(n);
        return v;
    }
    uint64_t Bits() const { return FBits; }

    // The hot decoding loop keeps this state in locals (a byte store may alias
    // anything, so members would be reloaded after every output byte) and
    // hands it back before any slow path.
    struct TState {
        uint64_t Bits;
        int Count;
        const uint8_t* Next;
        const uint8_t* End;
    };
    TState Save() const { return {FBits, FCount, FNext, FEnd}; }
    void Load(const TState& st) {
        FBits = st.Bits;
        FCount = st.Count;
        FNext = st.Next;
        FEnd = st.End;
    }

private:
    static constexpr size_t ChunkSize = 32768;
    // Zero bytes allowed past the end of the packed data: the bit buffer reads
    // ahead up to eight bytes, and an encoder may leave a few bits unwritten.
    static constexpr uint32_t PadLimit = 16;

    void RefillSlow() {
        while (FCount <= 56) {
            if (FNext == FEnd) Fill();
            uint64_t b = 0;
            if (FNext < FEnd) {
                b = *FNext++;
            } else if (++FPadBytes > PadLimit) {
                throw ECodecError(arcerr::ReadError, "packed data ends before the declared size");
            }
            FBits |= b << (56 - FCount);
            FCount += 8;
        }
    }
    void Fill() {
        if (FExhausted) return;
        size_t n = FInput.Read(FBuffer.data(), ChunkSize);
        if (n == 0) FExhausted = true;
        FNext = FBuffer.data();
        FEnd = FNext + n;
    }

    CodecInput& FInput;
    std::vector<uint8_t> FBuffer;
    const uint8_t* FNext;
    const uint8_t* FEnd;
    uint64_t FBits = 0;
    int FCount = 0;
    uint32_t FPadBytes = 0;
    bool FExhausted = false;
};

} // namespace mv
