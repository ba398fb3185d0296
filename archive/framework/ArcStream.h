#pragma once
// Byte streams the archive components read from and write to: the archive file,
// a stream handed in by the program, memory. Positions and sizes are 64-bit.
#include "archive/framework/Bytes.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace mv {

class TArcStream {
public:
    virtual ~TArcStream() = default;
    // Reads up to count bytes at the current position; the count read, -1 on an error.
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    // Writes count bytes at the current position; the count written, -1 on an error.
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    virtual bool Seek(int64_t position) = 0;
    virtual int64_t Position() const = 0;
    // The size, -1 when it cannot be told.
    virtual int64_t Size() const = 0;
    // A writer's member stream is told which member follows (name, size, start
    // position) before the member's bytes are written to it.
    virtual void BeginMember(const std::string& name, int64_t size, int64_t start) {
        (void)name, (void)size, (void)start;
    }
};

// Reads of a stream at absolute positions, for the formats' header parsers: the
// stream is moved to pos and read until n bytes are in or it ends.
TReadAt ReadAtOf(TArcStream& stream);

// A growing stream in memory.
class TMemoryStream : public TArcStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<uint8_t> data) : FData(std::move(data)) {}
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    bool Seek(int64_t position) override;
    int64_t Position() const override { return FPosition; }
    int64_t Size() const override { return static_cast<int64_t>(FData.size()); }
    const std::vector<uint8_t>& Data() const { return FData; }
    std::vector<uint8_t>& Data() { return FData; }
    void Clear() { FData.clear(), FPosition = 0; }

private:
    std::vector<uint8_t> FData;
    int64_t FPosition = 0;
};

// A read-only view of bytes owned elsewhere.
class TMemoryViewStream : public TArcStream {
public:
    TMemoryViewStream(const uint8_t* data, int64_t size) : FData(data), FSize(size < 0 ? 0 : size) {}
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void*, int64_t) override { return -1; }
    bool Seek(int64_t position) override;
    int64_t Position() const override { return FPosition; }
    int64_t Size() const override { return FSize; }

private:
    const uint8_t* FData;
    int64_t FSize;
    int64_t FPosition = 0;
};

namespace platform {
class File;
}

// A file of the file-system layer as a stream; failures become -1 / false.
class TArcFileStream : public TArcStream {
public:
    explicit TArcFileStream(std::unique_ptr<platform::File> file);
    ~TArcFileStream() override;
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    bool Seek(int64_t position) override;
    int64_t Position() const override;
    int64_t Size() const override;
    // Closes the file; false when the close failed (the last writes were lost).
    bool Close();
    const std::string& Path() const;
    platform::File& File() { return *FFile; }
    // The system's error number of the last write or close that failed (0: none).
    int LastError() const { return FLastError; }

    // Opens an existing file read-only; nullptr when it cannot be opened.
    static std::unique_ptr<TArcFileStream> OpenRead(const std::string& path);

private:
    std::unique_ptr<platform::File> FFile;
    int64_t FSize = -1; // cached size of a file opened for reading
    bool FReadOnly = false;
    int FLastError = 0;
};

// A temporary file made for one member (writers' output in mode 2): created
// exclusively under a folder with a prefix, removed when the stream goes.
class TTempFileStream : public TArcFileStream {
public:
    // Creates "<folder>/<prefix>XXXXXX" (folder empty: the system's temporary folder);
    // nullptr when no file can be made.
    static std::unique_ptr<TTempFileStream> Create(const std::string& folder, const std::string& prefix);
    ~TTempFileStream() override;

private:
    using TArcFileStream::TArcFileStream;
    std::string FName;
};

} // namespace mv
