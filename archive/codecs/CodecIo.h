#pragma once
// The contract between a codec and whatever feeds it. A codec pulls compressed
// bytes from a CodecInput and pushes decoded bytes to a CodecOutput; it knows
// nothing of files, volumes, encryption or CRCs, which the reader or writer
// behind these interfaces supplies. This keeps each codec testable on memory
// buffers and lets the same codec serve files, streams, memory and the search.
//
// A codec reports a failure by throwing ECodecError with the archive
// components' error number (the reader turns it into its error report), and
// stops quietly when Cancelled() answers true.
#include "resources/ArcErrorNumbers.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace mv {

class ECodecError : public std::runtime_error {
public:
    explicit ECodecError(int code, const std::string& what = {})
        : std::runtime_error(what.empty() ? "codec error " + std::to_string(code) : what), FCode(code) {}
    int Code() const { return FCode; }

private:
    int FCode;
};

class CodecInput {
public:
    virtual ~CodecInput() = default;
    // Reads up to n bytes into buf; returns the count, 0 when the member's data is exhausted.
    virtual size_t Read(uint8_t* buf, size_t n) = 0;
};

class CodecOutput {
public:
    virtual ~CodecOutput() = default;
    // Takes n decoded bytes; throws on a write failure.
    virtual void Write(const uint8_t* buf, size_t n) = 0;
    // Polled by long loops; a true answer makes the codec stop without an error.
    virtual bool Cancelled() const { return false; }
};

// Memory adaptors, used by tests, benchmarks and in-memory work.
class MemoryInput : public CodecInput {
public:
    MemoryInput(const uint8_t* data, size_t size) : data(data), size(size) {}
    explicit MemoryInput(const std::vector<uint8_t>& v) : data(v.data()), size(v.size()) {}
    size_t Read(uint8_t* buf, size_t n) override {
        size_t k = n < size - pos ? n : size - pos;
        if (k) std::memcpy(buf, data + pos, k);
        pos += k;
        return k;
    }
    size_t Position() const { return pos; }

private:
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
};

class MemoryOutput : public CodecOutput {
public:
    // limit: the most bytes accepted; more is an error (25109), so a hostile stream
    // cannot grow the buffer beyond what the caller expects.
    explicit MemoryOutput(size_t limit = SIZE_MAX) : limit(limit) {}
    void Write(const uint8_t* buf, size_t n) override {
        if (n > limit - bytes.size())
            throw ECodecError(arcerr::BlockError, "output exceeds the declared size");
        bytes.insert(bytes.end(), buf, buf + n);
    }
    std::vector<uint8_t> bytes;

private:
    size_t limit;
};

} // namespace mv
