#pragma once
// The file side of the cabinet library shared by the CAB reader and the CAB
// writer: a file handler that serves the library's open, read, write, close,
// seek and delete callbacks from files it owns, the memory callbacks, the
// packing of compression codes and the cabinet exception.
#include "archive/libraries/cab/Cabinet.h"
#include "platform/FileSystem.h"

#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace mv {

// "Cabinet error %d (type %d)" with the library's error code and type.
class ECabinetError : public std::runtime_error {
public:
    ECabinetError(int code, int type);
    int Code() const { return FCode; }
    int Type() const { return FType; }

private:
    int FCode;
    int FType;
};

class TCabinetFileHandler {
public:
    virtual ~TCabinetFileHandler() = default;
    virtual intptr_t Open(const std::string& fileName, int openFlags, int permissionMode, int& error) = 0;
    virtual uint32_t Read(intptr_t handle, void* buffer, uint32_t count, int& error) = 0;
    virtual uint32_t Write(intptr_t handle, const void* buffer, uint32_t count, int& error) = 0;
    virtual int Close(intptr_t handle, int& error) = 0;
    virtual int64_t Seek(intptr_t handle, int64_t distance, int origin, int& error) = 0;
    virtual int Delete(const std::string& fileName, int& error) = 0;
};

// Serves the callbacks from files it opened itself through the platform's file
// system (so that its faults reach the cabinet reader and writer); a handle is
// the number of one of them (from 256, apart from 0, which tells the library
// to skip a member, and the small numbers callers hand out for outputs of their own).
// Every file still open is closed on destruction.
class TStreamCabinetFileHandler : public TCabinetFileHandler {
public:
    TStreamCabinetFileHandler();
    ~TStreamCabinetFileHandler() override;
    TStreamCabinetFileHandler(const TStreamCabinetFileHandler&) = delete;
    TStreamCabinetFileHandler& operator=(const TStreamCabinetFileHandler&) = delete;

    // Flags: 0x0100 create (truncates; never through a symbolic link), else
    // 0x0002 or 0x0001 an existing file for writing, else read. Sharing bits
    // (0x0400) have no meaning here. A created file gets permissionMode (with
    // the owner's read and write) when one is given.
    intptr_t Open(const std::string& fileName, int openFlags, int permissionMode, int& error) override;
    uint32_t Read(intptr_t handle, void* buffer, uint32_t count, int& error) override;
    uint32_t Write(intptr_t handle, const void* buffer, uint32_t count, int& error) override;
    // A close that fails (the last writes did not reach the medium) answers -1 with the error.
    int Close(intptr_t handle, int& error) override;
    int64_t Seek(intptr_t handle, int64_t distance, int origin, int& error) override;
    int Delete(const std::string& fileName, int& error) override;

    size_t OpenCount() const { return FStreams.size(); }

private:
    platform::File* Find(intptr_t handle) const;
    std::map<intptr_t, std::unique_ptr<platform::File>> FStreams;
    intptr_t FNextHandle = 256;
};

// The library's memory callbacks.
void* CabMemoryAllocate(uint32_t size);
int CabMemoryFree(void* block);

// Compression codes: type | level << 4 | memory << 8, and LZX with a window.
uint16_t CabCompressionType(int type, int level, int memory);
uint16_t CabLzxCompression(int windowBits);
[[noreturn]] void RaiseCabinetError(int code, int type);

// The library's file callbacks bound to a handler; no exception crosses them
// (a failing call answers the library's failure value).
cab::TCabFileCallbacks CabinetCallbacks(TCabinetFileHandler& handler);

} // namespace mv
