#pragma once
// Least-significant-bit-first bit reading and bounded output for the old ZIP
// methods (shrink, reduce, implode): input comes in blocks of up to 32 KiB, and
// output goes out a buffer at a time, never beyond the member's declared size.
#include "archive/codecs/CodecIo.h"
#include "resources/ArcErrorNumbers.h"

#include <cstdint>
#include <memory>

namespace mv {

class ZipBitReader {
public:
    explicit ZipBitReader(CodecInput& in) : in(in), buffer(new uint8_t[kSize]) {}

    // True when n bits (n <= 32) are available; false when the input ends first.
    bool Have(unsigned n) {
        while (count < n) {
            if (pos == len && !Fill()) return false;
            bits |= static_cast<uint64_t>(buffer[pos++]) << count;
            count += 8;
        }
        return true;
    }
    // Reads n bits; the input ending first is the error "data ends early" (25109).
    uint32_t Get(unsigned n) {
        if (!Have(n)) throw ECodecError(arcerr::BlockError, "compressed data ends early");
        const uint32_t v = static_cast<uint32_t>(bits & ((uint64_t{1} << n) - 1));
        bits >>= n;
        count -= n;
        return v;
    }
    // The next n bits without taking them, zero bits standing in past the end.
    uint32_t Peek(unsigned n) {
        Have(n);
        return static_cast<uint32_t>(bits & ((uint64_t{1} << n) - 1));
    }
    // Takes n bits that Peek showed; taking stand-in bits is 25109.
    void Skip(unsigned n) {
        if (n > count) throw ECodecError(arcerr::BlockError, "compressed data ends early");
        bits >>= n;
        count -= n;
    }

private:
    static constexpr size_t kSize = 32768;
    bool Fill() {
        len = in.Read(buffer.get(), kSize);
        pos = 0;
        return len != 0;
    }
    CodecInput& in;
    std::unique_ptr<uint8_t[]> buffer;
    size_t pos = 0, len = 0;
    uint64_t bits = 0;
    unsigned count = 0;
};

// Collects output and hands it on in pieces. The declared size ends the member:
// bytes past it are not taken (Put answers false), which the decoders take as
// their signal to stop.
class ZipBoundedOutput {
public:
    ZipBoundedOutput(CodecOutput& out, uint64_t declared)
        : out(out), declared(declared), buffer(new uint8_t[kSize]) {}
    bool Put(uint8_t b) {
        if (total == declared) return false;
        buffer[fill++] = b;
        ++total;
        if (fill == kSize) Flush();
        return true;
    }
    void Flush() {
        if (fill) out.Write(buffer.get(), fill);
        fill = 0;
    }
    bool Done() const { return total == declared; }
    uint64_t Total() const { return total; }
    bool Cancelled() const { return out.Cancelled(); }

private:
    static constexpr size_t kSize = 32768;
    CodecOutput& out;
    uint64_t declared;
    std::unique_ptr<uint8_t[]> buffer;
    size_t fill = 0;
    uint64_t total = 0;
};

} // namespace mv
